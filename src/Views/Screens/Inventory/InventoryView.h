#pragma once

#include "Model/Plugin.h"
#include "Views/Kit/Binding.h"
#include "Views/Screens/Inventory/InventoryViewModel.h"
#include "Views/Screens/Shared/ScreenServices.h"

#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QWidget>

#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace quorvane {

class BatchSelectionBar;
class FilterMenu;
class InventoryFilterModel;
class KitButton;
class MultiSelectPluginTable;
class PluginDetailPane;
class PluginFolderAccess;
class PluginInventoryStore;
class PluginManagementService;

// The Inventory screen: a thin widget drawn from its view-model; each part is drawn again only
// when the model's signal for it says it changed. The table holds the active products, changes only the rows
// of the products a change names, and shows them through InventoryFilterModel.
class InventoryView : public QWidget {
    Q_OBJECT
public:
    InventoryView(PluginFolderAccess& folderAccess, PluginManagementService& managementService,
                  PluginInventoryStore& store, Binding<std::optional<Plugin>> selectedPlugin,
                  Binding<QString> query, ScreenServices services, QWidget* parent = nullptr);

    InventoryViewModel& model() const { return *m_model; }
    MultiSelectPluginTable* table() const { return m_table; }
    PluginDetailPane* inspector() const { return m_inspector; }

private:
    void buildHeader(QVBoxLayout* body);
    void buildScanStatusArea(QVBoxLayout* body);
    void buildScanProgressPanel(QVBoxLayout* statusLayout);
    void buildMessageBars(QVBoxLayout* body, PluginInventoryStore& store,
                          PluginManagementService& managementService);
    void buildFilterBar(QVBoxLayout* body);
    void buildTableAndInspector(QVBoxLayout* body);

    // Each part is drawn again when the model says it changed.
    void refreshHeader();
    void refreshStatusArea();
    void showInaccessibleLocations();
    void showHelperBar();
    void showMessageBars();
    void refreshFilters();
    void showMetrics();
    void showFilterMenu(InventoryViewModel::Filter filter);
    void refreshSelectionBlock();
    void refreshTable();
    void refreshInspector();
    void refreshAlerts();

    InventoryViewModel* m_model;

    QLabel* m_subtitle = nullptr;
    QWidget* m_folderLabel = nullptr;
    QLabel* m_folderText = nullptr;
    KitButton* m_exportButton = nullptr;
    KitButton* m_scanButton = nullptr;
    KitButton* m_cancelButton = nullptr;
    QWidget* m_metrics = nullptr;
    QWidget* m_statusArea = nullptr;
    QWidget* m_progressPanel = nullptr;
    QLabel* m_progressTitle = nullptr;
    QLabel* m_progressCount = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_progressLocation = nullptr;
    QWidget* m_preparing = nullptr;
    QWidget* m_limitedPanel = nullptr;
    QVBoxLayout* m_limitedRows = nullptr;
    QWidget* m_messages = nullptr;
    QLineEdit* m_search = nullptr;
    QWidget* m_filterBar = nullptr;
    std::vector<FilterMenu*> m_filterMenus;
    QLabel* m_shownCount = nullptr;
    QPushButton* m_clearFilters = nullptr;
    QWidget* m_selectionBlock = nullptr;
    BatchSelectionBar* m_batchBar = nullptr;
    KitButton* m_protectButton = nullptr;
    KitButton* m_removeButton = nullptr;
    KitButton* m_quarantineButton = nullptr;
    QLabel* m_batchReason = nullptr;
    MultiSelectPluginTable* m_table = nullptr;
    InventoryFilterModel* m_filter = nullptr;
    quint64 m_tableGeneration = 0;
    // The selection the table shows, so an unchanged one is not applied again.
    QSet<QUuid> m_tableIDs;
    bool m_tableFilled = false;
    PluginDetailPane* m_inspector = nullptr;
    QWidget* m_helperBar = nullptr;
    QPointer<QMessageBox> m_batchAlert;
    QPointer<QMessageBox> m_exportAlert;
};

} // namespace quorvane
