#include "Views/Kit/PluginTableModel.h"

#include "Views/Kit/Palette.h"
#include "Views/Kit/StatusPill.h"
#include "Views/Kit/TextStyle.h"

#include <QCoreApplication>

#include <numeric>

namespace quorvane {

const std::vector<PluginTableColumn>& pluginTableColumns() {
    static const std::vector<PluginTableColumn> columns{
        {QCoreApplication::translate("PluginTable", "Plugin"), 180, 230},
        {QCoreApplication::translate("PluginTable", "Manufacturer"), 120, 150},
        {QCoreApplication::translate("PluginTable", "Format"), 80, 110},
        {QCoreApplication::translate("PluginTable", "Architecture"), 90, 110},
        {QCoreApplication::translate("PluginTable", "Size"), 70, 80},
        {QCoreApplication::translate("PluginTable", "Status"), 90, 115},
    };
    return columns;
}

PluginTableModel::PluginTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void PluginTableModel::setPlugins(PluginList plugins) {
    std::vector<int> rows(plugins.size());
    std::iota(rows.begin(), rows.end(), 0);
    setPlugins(std::move(plugins), std::move(rows));
}

void PluginTableModel::setPlugins(PluginList plugins, std::vector<int> rows) {
    beginResetModel();
    m_plugins = std::move(plugins);
    m_rows = std::move(rows);
    endResetModel();
}

void PluginTableModel::setRows(std::vector<int> rows) {
    if (rows == m_rows)
        return;
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

namespace {

// Runs of neighbouring values of an ascending list, as (first, last) pairs.
std::vector<std::pair<int, int>> runsOf(const std::vector<int>& ascending) {
    std::vector<std::pair<int, int>> runs;
    for (int value : ascending) {
        if (!runs.empty() && runs.back().second + 1 == value)
            runs.back().second = value;
        else
            runs.emplace_back(value, value);
    }
    return runs;
}

} // namespace

bool PluginTableModel::updatePlugins(PluginList plugins, std::vector<int> rows,
                                     const QSet<QUuid>& changedIDs) {
    // Walks the rows shown and the rows wanted side by side: a product that did not change must be
    // in both, in the same order; a changed one is updated where it stays, else removed or inserted.
    const auto oldAt = [&](size_t row) -> const PluginList::Item& {
        return m_plugins.item(static_cast<size_t>(m_rows[row]));
    };
    const auto newAt = [&](size_t row) -> const PluginList::Item& {
        return plugins.item(static_cast<size_t>(rows[row]));
    };
    std::vector<int> removed;  // rows shown now
    std::vector<int> inserted; // rows wanted
    std::vector<int> updated;  // rows wanted
    std::vector<int> kept;     // what stays of `rows` once the removed rows are gone
    kept.reserve(rows.size());
    size_t from = 0;
    size_t to = 0;
    while (from < m_rows.size() || to < rows.size()) {
        if (from < m_rows.size() && to < rows.size() && oldAt(from)->id == newAt(to)->id) {
            if (oldAt(from) != newAt(to) || changedIDs.contains(newAt(to)->id))
                updated.push_back(static_cast<int>(to));
            kept.push_back(rows[to]);
            ++from;
            ++to;
        } else if (from < m_rows.size() && changedIDs.contains(oldAt(from)->id)) {
            removed.push_back(static_cast<int>(from++));
        } else if (to < rows.size() && changedIDs.contains(newAt(to)->id)) {
            inserted.push_back(static_cast<int>(to++));
        } else {
            return false;
        }
    }
    const auto removedRuns = runsOf(removed);
    for (auto run = removedRuns.rbegin(); run != removedRuns.rend(); ++run) {
        beginRemoveRows({}, run->first, run->second);
        m_rows.erase(m_rows.begin() + run->first, m_rows.begin() + run->second + 1);
        endRemoveRows();
    }
    // The rows left are those kept, in the same order: they now read from the new list.
    m_plugins = std::move(plugins);
    m_rows = std::move(kept);
    for (const auto& [first, last] : runsOf(inserted)) {
        beginInsertRows({}, first, last);
        m_rows.insert(m_rows.begin() + first, rows.begin() + first, rows.begin() + last + 1);
        endInsertRows();
    }
    for (const auto& [first, last] : runsOf(updated))
        Q_EMIT dataChanged(index(first, 0), index(last, columnCount() - 1));
    return true;
}

std::optional<Plugin> PluginTableModel::firstPlugin(const QUuid& id) const {
    const int row = firstRow(id);
    if (row < 0)
        return std::nullopt;
    return pluginAt(row);
}

int PluginTableModel::firstRow(const QUuid& id) const {
    for (size_t row = 0; row < m_rows.size(); ++row) {
        if (m_plugins[static_cast<size_t>(m_rows[row])].id == id)
            return static_cast<int>(row);
    }
    return -1;
}

int PluginTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PluginTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(pluginTableColumns().size());
}

QVariant PluginTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Plugin& plugin = pluginAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case pluginColumn:
            return plugin.name;
        case manufacturerColumn:
            return plugin.manufacturer;
        case formatColumn:
            return plugin.formats.join(QStringLiteral(", "));
        case architectureColumn:
            return plugin.architecture;
        case sizeColumn:
            return plugin.size;
        case statusColumn:
            return statusText(plugin.status);
        }
        return {};
    case Qt::ForegroundRole:
        if (index.column() == manufacturerColumn)
            return Palette::secondaryText();
        if (index.column() == statusColumn)
            return statusColor(plugin.status);
        return {};
    case Qt::FontRole:
        if (index.column() == pluginColumn)
            return systemFont(bodyPixelSize, QFont::DemiBold);
        if (index.column() == statusColumn)
            return textFont(TextStyle::caption);
        return {};
    case pluginIdRole:
        return plugin.id;
    case statusRole:
        return static_cast<int>(plugin.status);
    }
    return {};
}

QVariant PluginTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= static_cast<int>(pluginTableColumns().size()))
        return {};
    return pluginTableColumns()[static_cast<size_t>(section)].title;
}

} // namespace quorvane
