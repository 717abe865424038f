#pragma once

#include "Model/Plugin.h"
#include "Views/Kit/AppSection.h"
#include "Views/Kit/Binding.h"

#include <QObject>
#include <QString>

#include <optional>

namespace quorvane {

// The navigation state several screens share, owned by the root view: the selected section, the
// product selected in a plugin table and the Inventory screen's search text. Screens get bindings
// to it, so they survive every section switch.
class NavigationState : public QObject {
    Q_OBJECT
public:
    explicit NavigationState(QObject* parent = nullptr);

    // Inventory at launch; none while the user has cleared the sidebar selection.
    std::optional<AppSection> section() const { return m_section; }
    void setSection(std::optional<AppSection> section);
    std::optional<Plugin> selectedPlugin() const { return m_selectedPlugin; }
    void setSelectedPlugin(const std::optional<Plugin>& plugin);
    QString query() const { return m_query; }
    void setQuery(const QString& query);

    Binding<std::optional<AppSection>> sectionBinding();
    Binding<std::optional<Plugin>> selectedPluginBinding();
    Binding<QString> queryBinding();

signals:
    void sectionChanged();
    void selectedPluginChanged();
    void queryChanged();

private:
    std::optional<AppSection> m_section = AppSection::inventory;
    std::optional<Plugin> m_selectedPlugin;
    QString m_query;
};

} // namespace quorvane
