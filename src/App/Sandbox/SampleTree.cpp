#include "App/Sandbox/SampleTree.h"

#include "Support/Fixtures/FixturePluginBundles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quorvane::SampleTree {

namespace {

enum class Cpu { appleSilicon, intel, universal };

struct Entry {
    const char* name;
    const char* manufacturer;
    const char* identifier;
    const char* format;
    Cpu cpu;
    // Size of the bundle's resource file, in KiB.
    int resourceKiB;
};

struct FormatFolder {
    const char* format;
    const char* folder;
    const char* extension;
};

constexpr FormatFolder formatFolders[] = {
    {"AU", "/Library/Audio/Plug-Ins/Components", "component"},
    {"VST2", "/Library/Audio/Plug-Ins/VST", "vst"},
    {"VST3", "/Library/Audio/Plug-Ins/VST3", "vst3"},
    {"AAX", "/Library/Application Support/Avid/Audio/Plug-Ins", "aaxplugin"},
    {"CLAP", "/Library/Audio/Plug-Ins/CLAP", "clap"},
};

const char* const shellName = "WaveShell1-AU 14.0";

// The manufacturer of most entries is read from their bundle identifier, as for real bundles;
// the Manufacturer key names the rest.
constexpr Entry entries[] = {
    {"Pro-Q 3", "FabFilter", "com.fabfilter.Pro-Q.3", "AU", Cpu::universal, 2048},
    {"Pro-Q 3", "FabFilter", "com.fabfilter.Pro-Q.3", "VST2", Cpu::universal, 2048},
    {"Pro-Q 3", "FabFilter", "com.fabfilter.Pro-Q.3", "VST3", Cpu::universal, 2048},
    {"Pro-Q 3", "FabFilter", "com.fabfilter.Pro-Q.3", "AAX", Cpu::universal, 2048},
    {"Pro-Q 3", "FabFilter", "com.fabfilter.Pro-Q.3", "CLAP", Cpu::universal, 2048},
    {"Pro-R 2", "FabFilter", "com.fabfilter.Pro-R.2", "VST3", Cpu::appleSilicon, 1536},
    {"Massive", "Native Instruments", "com.native-instruments.Massive", "VST2", Cpu::intel, 4096},
    {"Massive", "Native Instruments", "com.native-instruments.Massive", "VST3", Cpu::intel, 4096},
    {"Ozone 11 Equalizer", "iZotope", "com.izotope.Ozone11Equalizer", "VST3", Cpu::universal, 3072},
    {"Ozone 11 Equalizer", "iZotope", "com.izotope.Ozone11Equalizer", "AAX", Cpu::universal, 3072},
    {"Decapitator", "Soundtoys", "com.soundtoys.Decapitator", "AU", Cpu::universal, 1024},
    {"Decapitator", "Soundtoys", "com.soundtoys.Decapitator", "AAX", Cpu::universal, 1024},
    {"VintageVerb", "Valhalla DSP", "com.valhalladsp.VintageVerb", "AU", Cpu::universal, 768},
    {"VintageVerb", "Valhalla DSP", "com.valhalladsp.VintageVerb", "VST3", Cpu::universal, 768},
    {"Surge XT", "Surge Synth Team", "org.surge-synth-team.surge-xt", "CLAP", Cpu::appleSilicon, 5120},
    {"Surge XT", "Surge Synth Team", "org.surge-synth-team.surge-xt", "VST3", Cpu::appleSilicon, 5120},
    {shellName, "Waves", "com.WavesAudio.WaveShell1-AU.14.0", "AU", Cpu::universal, 6144},
    {"WaveShell1-VST3 14.0", "Waves", "com.WavesAudio.WaveShell1-VST3.14.0", "VST3", Cpu::universal, 6144},
};

const FormatFolder& folderOf(const char* format) {
    for (const FormatFolder& folder : formatFolders) {
        if (qstrcmp(folder.format, format) == 0)
            return folder;
    }
    return formatFolders[0];
}

QString bundlePath(const SystemRoots& roots, const Entry& entry) {
    const FormatFolder& folder = folderOf(entry.format);
    return roots.path(QString::fromLatin1(folder.folder)) + u'/' + QString::fromUtf8(entry.name) + u'.' +
           QString::fromLatin1(folder.extension);
}

QByteArray executable(Cpu cpu) {
    using namespace testing;
    switch (cpu) {
    case Cpu::appleSilicon:
        return thinMachO(cpuTypeArm64);
    case Cpu::intel:
        return thinMachO(cpuTypeX86_64);
    case Cpu::universal:
        break;
    }
    return universalMachO({cpuTypeX86_64, cpuTypeArm64});
}

QVariantMap info(const Entry& entry) {
    QVariantMap map = testing::bundleInfo(QString::fromUtf8(entry.name),
                                          QString::fromLatin1(entry.identifier), QStringLiteral("1.4.2"));
    map.insert(QStringLiteral("Manufacturer"), QString::fromUtf8(entry.manufacturer));
    if (qstrcmp(entry.name, shellName) == 0) {
        QVariantList components;
        for (const QString& hosted : shellHostedNames()) {
            QVariantMap component;
            component.insert(QStringLiteral("name"), QStringLiteral("Waves: ") + hosted);
            component.insert(QStringLiteral("version"), 0x0E0000);
            components.append(component);
        }
        map.insert(QStringLiteral("AudioComponents"), components);
    }
    return map;
}

bool writeFile(const QString& path, const QByteArray& contents) {
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

} // namespace

std::vector<SampleBundle> bundles(const SystemRoots& roots) {
    std::vector<SampleBundle> result;
    for (const Entry& entry : entries) {
        result.push_back({QString::fromUtf8(entry.name), QString::fromUtf8(entry.manufacturer),
                          QString::fromLatin1(entry.format), bundlePath(roots, entry)});
    }
    return result;
}

std::vector<QString> shellHostedNames() {
    return {QStringLiteral("CLA-76"), QStringLiteral("H-Delay")};
}

QString protectedManufacturer() {
    return QStringLiteral("Valhalla DSP");
}

QString protectedName() {
    return QStringLiteral("VintageVerb");
}

std::expected<std::vector<SampleBundle>, QString> write(const SystemRoots& roots) {
    for (const FormatFolder& folder : formatFolders) {
        const QString path = roots.path(QString::fromLatin1(folder.folder));
        if (!QDir().mkpath(path))
            return std::unexpected(path);
    }
    for (const Entry& entry : entries) {
        const QString bundle = bundlePath(roots, entry);
        if (QFileInfo::exists(bundle))
            continue;
        const QVariantMap plist = info(entry);
        const QString contents = bundle + QStringLiteral("/Contents/");
        if (!writeFile(contents + QStringLiteral("Info.plist"), testing::xmlPropertyList(plist)) ||
            !writeFile(contents + QStringLiteral("MacOS/") +
                           plist.value(QStringLiteral("CFBundleExecutable")).toString(),
                       executable(entry.cpu)) ||
            !writeFile(contents + QStringLiteral("Resources/Data.bin"),
                       QByteArray(entry.resourceKiB * 1024, '\0')))
            return std::unexpected(bundle);
    }
    return bundles(roots);
}

} // namespace quorvane::SampleTree
