#include "Views/Kit/PluginTable.h"

#include "Views/Kit/PaintBands.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PluginTableModel.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace quorvane {

namespace {

// Draws every cell of a selected row alike: the style would otherwise draw the current cell of the
// focused table in a lighter shade than the rest of its row. The current row of a focused table
// gets an accent outline instead (lighter on a selected row), so a keyboard user sees where the
// arrows and Space act.
class RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        outlineCurrentRow(painter, option, index);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~QStyle::State_HasFocus;
    }

    static void outlineCurrentRow(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) {
        const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        if (!view || !view->hasFocus() || view->currentIndex().row() != index.row())
            return;
        painter->save();
        // On a selected row, filled with the accent already, a lighter shade of it.
        const bool selected = option.state & QStyle::State_Selected;
        painter->setPen(QPen(selected ? Palette::accent().lighter(170) : Palette::accent(), 2.0));
        const QRect cell = option.rect.adjusted(0, 1, 0, -1);
        painter->drawLine(cell.topLeft(), cell.topRight());
        painter->drawLine(cell.bottomLeft(), cell.bottomRight());
        if (index.column() == 0)
            painter->drawLine(cell.topLeft(), cell.bottomLeft());
        if (index.column() == index.model()->columnCount() - 1)
            painter->drawLine(cell.topRight(), cell.bottomRight());
        painter->restore();
    }
};

// Draws the status cell as the status pill does: a 7 by 7 dot and the text in the status colour.
// On a selected row the text turns white and the dot gets a white ring, since the status colours
// are hard to read on the blue selection.
class StatusCellDelegate : public RowDelegate {
public:
    using RowDelegate::RowDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        background.widget->style()->drawControl(QStyle::CE_ItemViewItem, &background, painter,
                                                background.widget);

        const bool selected = option.state & QStyle::State_Selected;
        const QColor color = index.data(Qt::ForegroundRole).value<QColor>();
        const QString text = index.data(Qt::DisplayRole).toString();
        const QFont font = index.data(Qt::FontRole).value<QFont>();
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRect area = option.rect.adjusted(6, 0, -4, 0);
        const QRectF dot(area.left(), area.center().y() - 3.0, 7, 7);
        painter->setPen(selected ? QPen(Qt::white, 1.0) : QPen(Qt::NoPen));
        painter->setBrush(color);
        painter->drawEllipse(dot);
        painter->setPen(selected ? QColor(Qt::white) : color);
        painter->setFont(font);
        const QRect textArea = area.adjusted(12, 0, 0, 0);
        painter->drawText(textArea, Qt::AlignVCenter | Qt::AlignLeft,
                          QFontMetrics(font).elidedText(text, Qt::ElideRight, textArea.width()));
        painter->restore();
        outlineCurrentRow(painter, option, index);
    }
};

// The column titles in the secondary colour over a hairline, a title that does not fit ending in
// "…". (A style sheet on the sections drops the header's eliding, so the titles are drawn here.)
class PluginTableHeader : public QHeaderView {
public:
    explicit PluginTableHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        if (!rect.isValid())
            return;
        painter->save();
        drawBottomRule(*painter, rect, Palette::hairline());
        const QRect text = rect.adjusted(sectionPadding, 0, -sectionPadding, 0);
        const QString title = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
        painter->setPen(Palette::secondaryText());
        painter->setFont(font());
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                          fontMetrics().elidedText(title, Qt::ElideRight, text.width()));
        painter->restore();
    }

    QSize sectionSizeFromContents(int logicalIndex) const override {
        QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
        size.setHeight(fontMetrics().height() + 2 * 4 + 1);
        return size;
    }

private:
    static constexpr int sectionPadding = 6;
};

} // namespace

PluginTableBase::PluginTableBase(QWidget* parent, QSortFilterProxyModel* filter)
    : RoundedBox(withOpacity(Palette::panel(), 0.42), Palette::hairline(), 10, parent), m_filter(filter) {
    setObjectName(QStringLiteral("pluginTable"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("pluginTableView"));
    m_model = new PluginTableModel(this);
    QAbstractItemModel* shown = m_model;
    if (m_filter) {
        m_filter->setSourceModel(m_model);
        shown = m_filter;
    }
    m_view->setModel(shown);
    if (m_filter) {
        const auto forget = [this] { m_shownRows.reset(); };
        connect(m_filter, &QAbstractItemModel::layoutChanged, this, forget);
        connect(m_filter, &QAbstractItemModel::modelReset, this, forget);
        connect(m_filter, &QAbstractItemModel::rowsInserted, this, forget);
        connect(m_filter, &QAbstractItemModel::rowsRemoved, this, forget);
        connect(m_filter, &QAbstractItemModel::rowsMoved, this, forget);
    }
    m_view->setItemDelegate(new RowDelegate(m_view));
    m_view->setItemDelegateForColumn(PluginTableModel::statusColumn, new StatusCellDelegate(m_view));
    m_view->setSortingEnabled(false);
    m_view->setAlternatingRowColors(false);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setShowGrid(false);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setWordWrap(false);
    // Tab leaves the table for the next control; the arrows move between rows.
    m_view->setTabKeyNavigation(false);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(28);
    m_view->viewport()->setAutoFillBackground(false);
    m_view->setHorizontalHeader(new PluginTableHeader(m_view));
    m_view->setStyleSheet(QStringLiteral("QTableView { background: transparent; border: none; }"
                                         "QHeaderView { background: transparent; }"));
    layout->addWidget(m_view);

    QHeaderView* header = m_view->horizontalHeader();
    header->setSectionsClickable(false);
    header->setSortIndicatorShown(false);
    header->setHighlightSections(false);
    // The header draws nothing of the selection, yet on every paint it asks its selection model
    // whether each section's neighbours are selected in every row: with all 20,000 rows selected
    // that was a third of a repaint. A selection model of its own, always empty, answers at once.
    header->setSelectionModel(new QItemSelectionModel(shown, header));
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const auto& columns = pluginTableColumns();
    header->setMinimumSectionSize(24);
    for (size_t column = 0; column < columns.size(); ++column)
        header->resizeSection(static_cast<int>(column), columns[column].idealWidth);
    // A column the user narrows keeps its own minimum; the fit to the table's width may go below.
    connect(header, &QHeaderView::sectionResized, this, [this, header](int section, int, int size) {
        const auto& all = pluginTableColumns();
        if (!m_fitting && section >= 0 && section < static_cast<int>(all.size()) &&
            size < all[static_cast<size_t>(section)].minimumWidth)
            header->resizeSection(section, all[static_cast<size_t>(section)].minimumWidth);
    });
    // The columns take the width the table has, whenever it changes.
    m_view->viewport()->installEventFilter(this);

    // The outline of the current row spans every cell, and it follows the focus.
    m_view->installEventFilter(this);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, m_view->viewport(),
            qOverload<>(&QWidget::update));

    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_applying)
            userSelectionChanged();
    });
}

bool PluginTableBase::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        m_view->viewport()->update();
    if (watched == m_view->viewport() && event->type() == QEvent::Resize)
        fitColumns(m_view->viewport()->width());
    return RoundedBox::eventFilter(watched, event);
}

std::vector<int> fittedColumnWidths(int width) {
    const auto& columns = pluginTableColumns();
    int ideal = 0;
    int least = 0;
    for (const auto& column : columns) {
        ideal += column.idealWidth;
        least += column.minimumWidth;
    }
    std::vector<int> widths;
    widths.reserve(columns.size());
    for (const auto& column : columns) {
        double share = 0;
        if (width >= ideal) // Room to spare: every column grows with its ideal width.
            share = column.idealWidth * double(width) / ideal;
        else if (width >= least) // From the ideal towards the minimum, each by its own margin.
            share = column.minimumWidth +
                    (column.idealWidth - column.minimumWidth) * double(width - least) / (ideal - least);
        else // Narrower than every minimum: all shrink alike and cut their texts with "…".
            share = column.minimumWidth * double(width) / least;
        widths.push_back(int(share));
    }
    // What rounding left over goes to the last column, so that the row ends at the table's edge.
    int used = 0;
    for (int columnWidth : widths)
        used += columnWidth;
    widths.back() += width - used;
    return widths;
}

void PluginTableBase::fitColumns(int width) {
    if (width <= 0)
        return;
    const std::vector<int> widths = fittedColumnWidths(width);
    m_fitting = true;
    for (size_t column = 0; column < widths.size(); ++column)
        m_view->horizontalHeader()->resizeSection(int(column), widths[column]);
    m_fitting = false;
}

const PluginList& PluginTableBase::plugins() const {
    return m_model->plugins();
}

int PluginTableBase::shownRowCount() const {
    return m_view->model()->rowCount();
}

const Plugin& PluginTableBase::shownPlugin(int row) const {
    if (!m_filter)
        return m_model->pluginAt(row);
    if (!m_shownRows) {
        std::vector<int> rows(static_cast<size_t>(m_filter->rowCount()));
        for (size_t shown = 0; shown < rows.size(); ++shown)
            rows[shown] = m_filter->mapToSource(m_filter->index(static_cast<int>(shown), 0)).row();
        m_shownRows = std::move(rows);
    }
    return m_model->pluginAt((*m_shownRows)[static_cast<size_t>(row)]);
}

void PluginTableBase::setPlugins(PluginList plugins) {
    replaceRows([&] { m_model->setPlugins(std::move(plugins)); });
}

void PluginTableBase::setPlugins(PluginList plugins, std::vector<int> rows) {
    replaceRows([&] { m_model->setPlugins(std::move(plugins), std::move(rows)); });
}

void PluginTableBase::setRows(std::vector<int> rows) {
    replaceRows([&] { m_model->setRows(std::move(rows)); });
}

bool PluginTableBase::updatePlugins(PluginList plugins, std::vector<int> rows,
                                    const QSet<QUuid>& changedIDs) {
    bool updated = false;
    replaceRows([&] { updated = m_model->updatePlugins(std::move(plugins), std::move(rows), changedIDs); });
    return updated;
}

void PluginTableBase::replaceRows(const std::function<void()>& change) {
    // The model's reset clears the view's selection; that is not the user choosing nothing.
    m_applying = true;
    change();
    m_applying = false;
    applyBoundSelection();
}

void PluginTableBase::selectRows(const std::vector<int>& rows) {
    // Shown already (the binding took what the user just chose): nothing is re-applied, so the
    // current row stays where the keyboard put it and Shift with an arrow goes on from there.
    if (rows == selectedRows())
        return;
    m_applying = true;
    // One range per run of neighbouring rows keeps a large selection quick.
    QItemSelection selection;
    const QAbstractItemModel* shown = m_view->model();
    const int lastColumn = shown->columnCount() - 1;
    for (size_t start = 0; start < rows.size();) {
        size_t end = start;
        while (end + 1 < rows.size() && rows[end + 1] == rows[end] + 1)
            ++end;
        selection.append(
            QItemSelectionRange(shown->index(rows[start], 0), shown->index(rows[end], lastColumn)));
        start = end + 1;
    }
    m_view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    // The current row moves to the first selected one only when it has left the selection.
    const int current = m_view->currentIndex().row();
    if (!rows.empty() && !std::binary_search(rows.begin(), rows.end(), current))
        m_view->selectionModel()->setCurrentIndex(shown->index(rows.front(), 0),
                                                  QItemSelectionModel::NoUpdate);
    m_applying = false;
}

std::vector<int> PluginTableBase::selectedRows() const {
    // Rows are selected whole, so the ranges give the rows without asking row by row.
    std::vector<int> rows;
    for (const QItemSelectionRange& range : m_view->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    }
    // A selection made by the view comes in ascending ranges already.
    if (!std::is_sorted(rows.begin(), rows.end()))
        std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

PluginTable::PluginTable(Binding<std::optional<Plugin>> selectedPlugin, QWidget* parent)
    : PluginTableBase(parent, nullptr), m_selectedPlugin(std::move(selectedPlugin)) {
    view()->setSelectionMode(QAbstractItemView::SingleSelection);
}

void PluginTable::applyBoundSelection() {
    const std::optional<Plugin> bound = m_selectedPlugin.get ? m_selectedPlugin.get() : std::nullopt;
    const int row = bound ? model()->firstRow(bound->id) : -1;
    selectRows(row >= 0 ? std::vector<int>{row} : std::vector<int>{});
}

void PluginTable::userSelectionChanged() {
    const std::vector<int> rows = selectedRows();
    std::optional<Plugin> chosen;
    if (!rows.empty()) {
        const QUuid id = model()->pluginAt(rows.front()).id;
        chosen = model()->firstPlugin(id);
    }
    if (m_selectedPlugin.set)
        m_selectedPlugin.set(chosen);
}

MultiSelectPluginTable::MultiSelectPluginTable(Binding<QSet<QUuid>> selection, QWidget* parent,
                                               QSortFilterProxyModel* filter)
    : PluginTableBase(parent, filter), m_selection(std::move(selection)) {
    view()->setSelectionMode(QAbstractItemView::ExtendedSelection);
}

void MultiSelectPluginTable::applyBoundSelection() {
    const QSet<QUuid> ids = m_selection.get ? m_selection.get() : QSet<QUuid>{};
    std::vector<int> rows;
    if (ids.isEmpty()) {
        selectRows(rows);
        return;
    }
    const int rowCount = shownRowCount();
    for (int row = 0; row < rowCount; ++row) {
        if (ids.contains(shownPlugin(row).id))
            rows.push_back(row);
    }
    selectRows(rows);
}

void MultiSelectPluginTable::userSelectionChanged() {
    const std::vector<int> rows = selectedRows();
    QSet<QUuid> ids;
    ids.reserve(static_cast<qsizetype>(rows.size()));
    for (int row : rows)
        ids.insert(shownPlugin(row).id);
    if (m_selection.set)
        m_selection.set(ids);
}

} // namespace quorvane
