#include "Views/Screens/Protected/ProtectedView.h"

#include "Store/PluginInventoryStore.h"
#include "Views/Kit/FlatSplitter.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/MetricCard.h"
#include "Views/Kit/PageHeader.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PluginTable.h"
#include "Views/Kit/ProtectedDetailPane.h"
#include "Views/Screens/Shared/ScreenLayout.h"

#include <QHBoxLayout>
#include <QSet>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvane {

ProtectedViewModel::ProtectedViewModel(PluginInventoryStore& store,
                                       Binding<std::optional<Plugin>> selectedPlugin)
    : m_store(store), m_selectedPlugin(std::move(selectedPlugin)) {}

std::vector<Plugin> ProtectedViewModel::protectedPlugins() const {
    std::vector<Plugin> result;
    for (const Plugin& plugin : m_store.plugins()) {
        if (plugin.protectionLevel() != 0)
            result.push_back(plugin);
    }
    return result;
}

ProtectedViewModel::Counts ProtectedViewModel::counts(const std::vector<Plugin>& protectedPlugins) {
    Counts counts;
    counts.products = qsizetype(protectedPlugins.size());
    QSet<QString> manufacturers;
    for (const Plugin& plugin : protectedPlugins) {
        plugin.forEachBundleRecord([&](const PluginBundleRecord& record) {
            if (record.isProtected)
                ++counts.formats;
        });
        manufacturers.insert(plugin.manufacturer);
    }
    counts.manufacturers = manufacturers.size();
    return counts;
}

std::vector<PluginBundleRecord> ProtectedViewModel::inspectorBundles() const {
    const std::optional<Plugin> selected = m_selectedPlugin.get();
    return selected ? selected->bundleRecords() : std::vector<PluginBundleRecord>{};
}

void ProtectedViewModel::appear() {
    const std::vector<Plugin> plugins = protectedPlugins();
    m_selectedPlugin.set(plugins.empty() ? std::nullopt : std::optional(plugins.front()));
}

void ProtectedViewModel::setProtection(const Plugin& plugin, bool protect) {
    const QUuid id = plugin.id;
    m_store.setProtection(plugin, protect);
    reselect(id);
}

void ProtectedViewModel::setBundleProtection(const Plugin& plugin, const PluginBundleRecord& bundle,
                                             bool protect) {
    const QUuid id = plugin.id;
    m_store.setFormatProtection({plugin.id, bundle.id()}, protect);
    reselect(id);
}

void ProtectedViewModel::followStore() {
    if (const std::optional<Plugin> inspected = m_selectedPlugin.get())
        reselect(inspected->id);
}

void ProtectedViewModel::reselect(const QUuid& id) {
    const auto& plugins = m_store.plugins();
    const auto same = std::ranges::find(plugins, id, &Plugin::id);
    if (same != plugins.end() && same->protectionLevel() != 0) {
        m_selectedPlugin.set(*same);
        return;
    }
    appear();
}

ProtectedView::ProtectedView(PluginInventoryStore& store, Binding<std::optional<Plugin>> selectedPlugin,
                             QWidget* parent)
    : QWidget(parent),
      m_model(store, {selectedPlugin.get, [this, set = selectedPlugin.set](std::optional<Plugin> plugin) {
                          set(std::move(plugin));
                          refreshInspector();
                      }}) {
    setObjectName(QStringLiteral("protectedView"));
    auto* column = makeScreenColumn(this);
    column->addWidget(new PageHeader(ProtectedTexts::title, ProtectedTexts::subtitle, nullptr, this));
    m_metrics = makeMetricRow(column);

    auto* split = new FlatSplitter(Qt::Horizontal, Palette::hairline(), this);
    split->setObjectName(QStringLiteral("protectedSplit"));
    split->setChildrenCollapsible(false);
    m_table = new PluginTable({[this] { return m_model.selectedPlugin(); },
                               [this](std::optional<Plugin> plugin) { m_model.select(std::move(plugin)); }},
                              split);
    m_inspector = new ProtectedDetailPane(
        [this](const Plugin& plugin, bool protect) { m_model.setProtection(plugin, protect); },
        [this](const Plugin& plugin, const PluginBundleRecord& bundle, bool protect) {
            m_model.setBundleProtection(plugin, bundle, protect);
        },
        split);
    sizeInspector(m_inspector);
    m_table->setMinimumWidth(pluginTableMinimumWidth);
    split->addWidget(m_table);
    split->addWidget(m_inspector);
    split->setStretchFactor(0, 1);
    column->addWidget(split, 1);
    column->addWidget(new InfoBar(ProtectedTexts::footnote, Palette::accent(), this));

    connect(&store, &PluginInventoryStore::pluginsChanged, this, [this] {
        m_model.followStore();
        refresh();
    });
    m_model.appear();
    refresh();
}

void ProtectedView::refresh() {
    const std::vector<Plugin> plugins = m_model.protectedPlugins();
    const auto counts = ProtectedViewModel::counts(plugins);
    replaceMetrics(
        m_metrics,
        {{QStringLiteral("shield.checkered"), QStringLiteral("Protected Products"),
          QString::number(counts.products), QStringLiteral("Full or partial protection"), Palette::amber()},
         {QStringLiteral("shippingbox"), QStringLiteral("Protected Formats"), QString::number(counts.formats),
          QStringLiteral("Individual format bundles"), Palette::accent()},
         {QStringLiteral("building.2"), QStringLiteral("Manufacturers"),
          QString::number(counts.manufacturers), QStringLiteral("Represented"), Palette::green()}});
    m_table->setPlugins(plugins);
    refreshInspector();
}

void ProtectedView::refreshInspector() {
    m_table->refreshSelection();
    m_inspector->setPlugin(m_model.selectedPlugin(), m_model.inspectorBundles());
}

} // namespace quorvane
