#pragma once

#include "Model/PluginList.h"
#include "Views/Kit/Binding.h"
#include "Views/Kit/RoundedBox.h"

#include <QSet>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAbstractItemModel;
class QSortFilterProxyModel;
class QTableView;

namespace quorvane {

class PluginTableModel;

// The widths of the six columns that fill `width` exactly: each grows with its ideal width when
// there is room to spare, shrinks from its ideal towards its minimum when there is less, and all
// shrink alike below the sum of the minimums.
std::vector<int> fittedColumnWidths(int width);

// What both plugin tables share: the six columns with their widths, no sorting, rows in the order
// given, and the look (panel at 0.42 in a rounded, outlined frame).
class PluginTableBase : public RoundedBox {
    Q_OBJECT
public:
    QTableView* view() const { return m_view; }
    // Every row given; a table with a filter shows only those the filter lets through.
    PluginTableModel* model() const { return m_model; }
    // Every product given; the rows are those of model()->rows().
    const PluginList& plugins() const;
    // The rows shown, through the filter when there is one.
    int shownRowCount() const;
    const Plugin& shownPlugin(int row) const;

    // New rows, replaced without writing the selection binding; the binding keeps its value, and
    // the rows of its products are shown selected when present.
    void setPlugins(PluginList plugins);
    // The same with only the products at `rows` shown, and a new choice among the same products.
    void setPlugins(PluginList plugins, std::vector<int> rows);
    void setRows(std::vector<int> rows);
    // The same where only the products with `changedIDs` differ: only their rows change, and the
    // other rows keep their selection and the current row. False, with nothing changed, otherwise.
    bool updatePlugins(PluginList plugins, std::vector<int> rows, const QSet<QUuid>& changedIDs);
    // Reads the binding again after it changed elsewhere.
    void refreshSelection() { applyBoundSelection(); }
    // Runs a change of the filter's choice without writing the binding, then shows the bound
    // selection; rows still shown keep their selection and the current row.
    void changeShownRows(const std::function<void()>& change) { replaceRows(change); }

protected:
    // With a `filter`, the view shows the model's rows through it.
    PluginTableBase(QWidget* parent, QSortFilterProxyModel* filter);
    bool eventFilter(QObject* watched, QEvent* event) override;
    virtual void applyBoundSelection() = 0;
    virtual void userSelectionChanged() = 0;
    // Selects exactly these rows (ascending) without writing the binding.
    void selectRows(const std::vector<int>& rows);
    // Runs a change of the model's rows without writing the binding, then shows the bound selection.
    void replaceRows(const std::function<void()>& change);
    std::vector<int> selectedRows() const;

private:
    void fitColumns(int width);

    QTableView* m_view;
    PluginTableModel* m_model;
    QSortFilterProxyModel* m_filter;
    // The model's row of each shown row, while the filter's choice stays; asking the filter row by
    // row costs a lookup each, and a selection of every row asks for all of them.
    mutable std::optional<std::vector<int>> m_shownRows;
    bool m_applying = false;
    bool m_fitting = false;
};

// Selects at most one product, bound to an optional whole `Plugin`.
class PluginTable : public PluginTableBase {
    Q_OBJECT
public:
    explicit PluginTable(Binding<std::optional<Plugin>> selectedPlugin, QWidget* parent = nullptr);

protected:
    void applyBoundSelection() override;
    void userSelectionChanged() override;

private:
    Binding<std::optional<Plugin>> m_selectedPlugin;
};

// Selects any number of products, bound to a set of product ids.
class MultiSelectPluginTable : public PluginTableBase {
    Q_OBJECT
public:
    explicit MultiSelectPluginTable(Binding<QSet<QUuid>> selection, QWidget* parent = nullptr,
                                    QSortFilterProxyModel* filter = nullptr);

protected:
    void applyBoundSelection() override;
    void userSelectionChanged() override;

private:
    Binding<QSet<QUuid>> m_selection;
};

} // namespace quorvane
