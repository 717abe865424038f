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
