#pragma once

#include "Views/Screens/Inventory/InventoryViewModel.h"

#include <QSortFilterProxyModel>

namespace quorvane {

// The rows the Inventory table shows: those of its products that pass the filter menus and the
// search, in store order (nothing is sorted). A new choice re-filters the same products; a change
// of a few products is filtered row by row as the table's model reports it.
class InventoryFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit InventoryFilterModel(const InventoryViewModel& model, QObject* parent = nullptr);

    const InventoryViewModel::RowFilter& rowFilter() const { return m_filter; }
    // Takes the screen's filter and which of its products pass it, without filtering again: rows
    // the table's model changes later are filtered with it.
    void takeChoice();
    // The same, then every row is filtered again.
    void refilter();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    const InventoryViewModel& m_model;
    InventoryViewModel::RowFilter m_filter;
    // The screen's products when the choice was taken, and which of them pass: a row of that list
    // is answered from here instead of being tested again.
    PluginList m_plugins;
    std::vector<char> m_accepted;
};

} // namespace quorvane
