#include "Views/Screens/Inventory/InventoryFilterModel.h"

#include "Views/Kit/PluginTableModel.h"

#include <QSignalBlocker>

namespace quorvane {

InventoryFilterModel::InventoryFilterModel(const InventoryViewModel& model, QObject* parent)
    : QSortFilterProxyModel(parent), m_model(model) {
    takeChoice();
}

void InventoryFilterModel::takeChoice() {
    m_filter = m_model.rowFilter();
    m_plugins = m_model.sharedActivePlugins();
    m_accepted = m_model.filteredMask();
}

void InventoryFilterModel::refilter() {
    // Re-filtered as a reset of the rows shown: dropping and inserting each run of rows that left or
    // came back costs far more on a large inventory, and so does a layout change, which has the
    // table's row header look at every row. The table shows the bound selection again after it.
    beginResetModel();
    takeChoice();
    {
        const QSignalBlocker quiet(this);
        invalidate();
    }
    endResetModel();
}

bool InventoryFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (sourceParent.isValid())
        return false;
    const auto* rows = static_cast<const PluginTableModel*>(sourceModel());
    const auto index = static_cast<std::size_t>(rows->rows()[static_cast<std::size_t>(sourceRow)]);
    if (rows->plugins().isSameList(m_plugins) && index < m_accepted.size())
        return m_accepted[index] != 0;
    return m_model.acceptsRow(m_filter, rows->plugins(), index);
}

} // namespace quorvane
