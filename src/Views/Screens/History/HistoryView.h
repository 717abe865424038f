#pragma once

#include "Model/HistoryItem.h"
#include "Model/HistoryKind.h"
#include "Model/HistoryOperation.h"
#include "Views/Screens/Shared/ScreenServices.h"

#include <QAbstractListModel>
#include <QColor>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QUuid>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QListView;
class QStackedWidget;

namespace quorvane {

class PluginInventoryStore;
class KitButton;
class MetricCard;

// The symbol and colour that stand for a kind of history line in a row.
struct HistoryKindStyle {
    QString icon;
    QColor color;
};

HistoryKindStyle historyKindStyle(HistoryKind kind);
// What an operation came to, judged from its kind alone; the CSV's "Result" column too.
QString historyOutcome(HistoryKind kind);

// One row of the history list, everything it shows.
struct HistoryRow {
    QUuid id;
    // The stored time of day, below the date when the operation is not from today.
    QString time;
    HistoryKindStyle style;
    QString plugin;
    QStringList chips;
    // "<n> bundles" for a product transaction of two or more lines; empty otherwise.
    QString bundleCount;
    QString summary;
    QString outcome;
    bool successful = false;
};

// `today` is the local date the time texts are read against: a row of another day shows its date
// above its time.
HistoryRow makeHistoryRow(const HistoryOperation& operation, const QDate& today);

// The four counts above the list; each counts product actions, not lines or bundles.
struct HistoryMetrics {
    qsizetype productActions = 0;
    qsizetype restored = 0;
    qsizetype quarantined = 0;
    qsizetype trashed = 0;
};

HistoryMetrics historyMetrics(const std::vector<HistoryOperation>& operations);

// The grouped history as a list; a row's texts are made only when the row is first asked for, so
// a history of tens of thousands of lines costs one grouping pass.
class HistoryOperationListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        timeRole = Qt::UserRole + 1,
        iconRole,
        colorRole,
        chipsRole,
        bundleCountRole,
        summaryRole,
        outcomeRole,
        successfulRole,
        // False for the last operation's row only.
        dividerRole,
    };

    explicit HistoryOperationListModel(QObject* parent = nullptr);

    void setOperations(std::vector<HistoryOperation> operations, const QDate& today = QDate::currentDate());
    const std::vector<HistoryOperation>& operations() const { return m_operations; }
    // The day the rows were read against.
    const QDate& today() const { return m_today; }
    const HistoryRow& row(int index) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::vector<HistoryOperation> m_operations;
    QDate m_today;
    mutable std::vector<std::unique_ptr<HistoryRow>> m_rows;
};

// Paints one operation row: time, kind symbol, product with its format chips, summary, outcome.
class HistoryRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The operation history: four counts, one row per product action and the CSV export. Reads the
// store only; the export's notice is its one write.
class HistoryView : public QWidget {
    Q_OBJECT
public:
    HistoryView(PluginInventoryStore& store, ScreenServices services, QWidget* parent = nullptr);

    HistoryOperationListModel* listModel() const { return m_model; }
    const std::optional<QString>& exportError() const { return m_exportError; }
    // Runs the export as the button does.
    void exportHistory();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();

    PluginInventoryStore& m_store;
    ScreenServices m_services;
    std::optional<QString> m_exportError;
    HistoryOperationListModel* m_model;
    KitButton* m_exportButton;
    std::vector<MetricCard*> m_cards;
    QStackedWidget* m_content;
    QListView* m_list;
};

} // namespace quorvane
