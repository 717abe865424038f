#include "App/NavigationState.h"

namespace quorvane {

NavigationState::NavigationState(QObject* parent) : QObject(parent) {}

void NavigationState::setSection(std::optional<AppSection> section) {
    if (section == m_section)
        return;
    m_section = section;
    emit sectionChanged();
}

void NavigationState::setSelectedPlugin(const std::optional<Plugin>& plugin) {
    if (plugin == m_selectedPlugin)
        return;
    m_selectedPlugin = plugin;
    emit selectedPluginChanged();
}

void NavigationState::setQuery(const QString& query) {
    // Any change of the typed text is a change, so the raw comparison is the right one here.
    if (query == m_query)
        return;
    m_query = query;
    emit queryChanged();
}

Binding<std::optional<AppSection>> NavigationState::sectionBinding() {
    return {[this] { return section(); }, [this](std::optional<AppSection> value) { setSection(value); }};
}

Binding<std::optional<Plugin>> NavigationState::selectedPluginBinding() {
    return {[this] { return selectedPlugin(); },
            [this](std::optional<Plugin> value) { setSelectedPlugin(value); }};
}

Binding<QString> NavigationState::queryBinding() {
    return {[this] { return query(); }, [this](QString value) { setQuery(value); }};
}

} // namespace quorvane
