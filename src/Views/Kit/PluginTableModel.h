#pragma once

#include "Model/Plugin.h"
#include "Model/PluginList.h"

#include <QAbstractTableModel>
#include <QSet>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>
#include <vector>

namespace quorvane {

struct PluginTableColumn {
    QString title;
    int minimumWidth = 0;
    int idealWidth = 0;
};

// The six columns both plugin tables show, in order.
const std::vector<PluginTableColumn>& pluginTableColumns();

// The rows of a plugin table, in the order given; nothing is sorted or filtered here.
class PluginTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        pluginColumn,
        manufacturerColumn,
        formatColumn,
        architectureColumn,
        sizeColumn,
        statusColumn
    };
    enum Role { pluginIdRole = Qt::UserRole + 1, statusRole };

    explicit PluginTableModel(QObject* parent = nullptr);

    // Every product is a row.
    void setPlugins(PluginList plugins);
    // Only the products at `rows` (indices into `plugins`, in row order) are rows.
    void setPlugins(PluginList plugins, std::vector<int> rows);
    // Another choice of rows among the same products; nothing is copied, so a long list stays quick
    // to filter.
    void setRows(std::vector<int> rows);
    // Moves to `plugins` shown at `rows` when only the products with `changedIDs` differ from the
    // rows shown now: their rows are updated, inserted or removed, and every other row stays (with
    // its selection and the current row). Returns false and changes nothing when other rows differ.
    bool updatePlugins(PluginList plugins, std::vector<int> rows, const QSet<QUuid>& changedIDs);
    // Every product given, rows or not.
    const PluginList& plugins() const { return m_plugins; }
    // Indices into plugins(), one per row.
    const std::vector<int>& rows() const { return m_rows; }
    const Plugin& pluginAt(int row) const {
        return m_plugins[static_cast<size_t>(m_rows[static_cast<size_t>(row)])];
    }
    // The first product with that id, walking from the first row.
    std::optional<Plugin> firstPlugin(const QUuid& id) const;
    // The first row whose product has that id, or -1.
    int firstRow(const QUuid& id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    PluginList m_plugins;
    std::vector<int> m_rows;
};

} // namespace quorvane
