#pragma once

#include "App/NavigationState.h"
#include "App/RootViewObjects.h"
#include "App/ShellSource.h"
#include "Views/Kit/AppSection.h"
#include "Views/Kit/BundleImages.h"

#include <QWidget>

#include <memory>
#include <optional>

class QSplitter;

namespace quorvane {

class FormatCleanupRunController;
class NoticePresenter;
class Sidebar;

// The view that fills the window: the sidebar on the left, the screen of the selected section on
// the right, and the current notice as the window's alert.
//
// It owns the application's long-lived objects for the window's life, made once in this order:
// the inventory store, the folder-access object and the helper service object, then the shell
// source that adapts the store for the sidebar counts and the notice, and the controller of
// format cleanup runs. The screens get the same instances and bindings to the navigation state;
// each is built afresh whenever its section is shown again.
class RootView : public QWidget {
    Q_OBJECT
public:
    // The production objects.
    explicit RootView(QWidget* parent = nullptr);
    explicit RootView(const RootViewObjects& objects, const ImageLoader& images = bundleImageLoader(),
                      QWidget* parent = nullptr);
    ~RootView() override;

    PluginInventoryStore& inventoryStore() const { return *m_inventoryStore; }
    PluginFolderAccess& folderAccess() const { return *m_folderAccess; }
    PluginManagementService& managementService() const { return *m_managementService; }
    FormatCleanupRunController& cleanupRun() const { return *m_cleanupRun; }
    NavigationState& navigation() { return *m_navigation; }
    ShellSource& shellSource() { return *m_source; }
    Sidebar* sidebar() const { return m_sidebar; }
    QSplitter* splitter() const { return m_splitter; }
    NoticePresenter* noticePresenter() const { return m_notices; }
    const ScreenServices& screenServices() const { return m_screenServices; }
    // The screen in the detail column.
    QWidget* currentScreen() const { return m_screen; }

protected:
    // Tab and Backtab follow the reading order of the sidebar and the shown screen.
    bool focusNextPrevChild(bool next) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showSelectedSection();
    QWidget* makeScreen(AppSection section);
    void refreshCounts();

    // Declared in the order of creation, so they go in reverse order.
    std::unique_ptr<PluginInventoryStore> m_inventoryStore;
    std::unique_ptr<PluginFolderAccess> m_folderAccess;
    std::unique_ptr<PluginManagementService> m_managementService;
    std::unique_ptr<ShellSource> m_source;
    ScreenServices m_screenServices;
    // Beside the store rather than in the Format Cleanup screen, so a run goes on while another
    // section is shown.
    std::unique_ptr<FormatCleanupRunController> m_cleanupRun;
    NavigationState* m_navigation;
    QSplitter* m_splitter;
    Sidebar* m_sidebar;
    QWidget* m_detail;
    QWidget* m_screen = nullptr;
    // No section and Inventory show the same screen, so switching between them keeps it.
    std::optional<AppSection> m_screenSection;
    NoticePresenter* m_notices;
};

} // namespace quorvane
