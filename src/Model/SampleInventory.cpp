#include "Model/SampleInventory.h"

#include "Support/Uuid.h"

namespace quorvane {

namespace {

Plugin sample(const QString& name, const QString& manufacturer, const QString& version,
              const QStringList& formats, const QString& architecture, const QString& size,
              const QString& path, PluginStatus status, bool isProtected) {
    Plugin plugin;
    plugin.id = makeUuid();
    plugin.name = name;
    plugin.manufacturer = manufacturer;
    plugin.version = version;
    plugin.formats = formats;
    plugin.architecture = architecture;
    plugin.size = size;
    plugin.path = path;
    plugin.status = status;
    plugin.isProtected = isProtected;
    return plugin;
}

std::vector<Plugin> makeSampleInventory() {
    const QString universal = QStringLiteral("Universal");
    const QString appleSilicon = QStringLiteral("Apple Silicon");
    const QStringList auVst3 = {QStringLiteral("AU"), QStringLiteral("VST3")};
    const QStringList auVst3Aax = {QStringLiteral("AU"), QStringLiteral("VST3"), QStringLiteral("AAX")};
    return {
        sample(QStringLiteral("FabFilter Pro-Q 3"), QStringLiteral("FabFilter"), QStringLiteral("3.28"),
               auVst3Aax, universal, QStringLiteral("39.8 MB"),
               QStringLiteral("/Library/Audio/Plug-Ins/VST3/FabFilter Pro-Q 3.vst3"),
               PluginStatus::protected_, true),
        sample(QStringLiteral("Waves SSL EV2"), QStringLiteral("Waves"), QStringLiteral("11.0.0"), auVst3,
               universal, QStringLiteral("51.2 MB"),
               QStringLiteral("/Library/Audio/Plug-Ins/Components/SSL EV2.component"), PluginStatus::ok,
               false),
        sample(QStringLiteral("UAD API Vision"), QStringLiteral("Universal Audio"), QStringLiteral("1.0.2"),
               auVst3Aax, appleSilicon, QStringLiteral("78.1 MB"),
               QStringLiteral("/Library/Audio/Plug-Ins/VST3/API Vision.vst3"), PluginStatus::ok, false),
        sample(QStringLiteral("Native Instruments Kontakt 8"), QStringLiteral("Native Instruments"),
               QStringLiteral("8.1.0"), auVst3Aax, universal, QStringLiteral("653.9 MB"),
               QStringLiteral("/Library/Audio/Plug-Ins/VST3/Kontakt 8.vst3"), PluginStatus::protected_, true),
        sample(QStringLiteral("Cradle The God Particle"), QStringLiteral("Cradle"), QStringLiteral("1.2.1"),
               auVst3, QStringLiteral("Intel"), QStringLiteral("12.7 MB"),
               QStringLiteral("/Library/Audio/Plug-Ins/VST3/Cradle The God Particle.vst3"),
               PluginStatus::legacy, false),
        sample(QStringLiteral("Soundtoys Decapitator"), QStringLiteral("Soundtoys"), QStringLiteral("5.3.0"),
               auVst3Aax, universal, QStringLiteral("22.1 MB"),
               QStringLiteral("/Library/Audio/Plug-Ins/Components/Decapitator.component"), PluginStatus::ok,
               false),
        sample(QStringLiteral("iZotope Ozone 11"), QStringLiteral("iZotope"), QStringLiteral("11.0.0"),
               auVst3Aax, appleSilicon, QStringLiteral("292.4 MB"),
               QStringLiteral("/Library/Audio/Plug-Ins/VST3/Ozone 11.vst3"), PluginStatus::ok, false),
        sample(QStringLiteral("ValhallaVintageVerb"), QStringLiteral("Valhalla DSP"), QStringLiteral("2.2.0"),
               auVst3, universal, QStringLiteral("5.4 MB"),
               QStringLiteral("/Library/Audio/Plug-Ins/VST3/ValhallaVintageVerb.vst3"), PluginStatus::ok,
               false),
    };
}

} // namespace

const std::vector<Plugin>& sampleInventory() {
    static const std::vector<Plugin> inventory = makeSampleInventory();
    return inventory;
}

} // namespace quorvane
