// A plug-in bundle as anyone who can write in a plug-in folder may shape it: its Info.plist and
// its executable are the input, written into a small bundle in a folder made once. After every
// input the bundle is read with every field filled, its size is what was written, a bundle whose
// Info.plist does not read takes every fallback (its architecture from the executable named after
// the bundle), and the Audio Unit registry lists what a component's Info.plist declares.
//
// Input: one byte of shape (bit 0: Info.plist at the top rather than in Contents; bit 1: an
// executable; bit 2: no Contents folder; bits 3-4: the extension; bit 5: no Info.plist), two bytes
// giving the Info.plist's length (little-endian, cut to what follows), the Info.plist, the
// executable.

#include "Discovery/PluginScanner.h"
#include "Discovery/ScannerTexts.h"
#include "FuzzCheck.h"
#include "Platform/AudioUnitRegistry.h"
#include "Platform/MachOHeader.h"
#include "Platform/PropertyList.h"

#include <QDir>
#include <QFile>

#include <cstdint>
#include <unistd.h>

namespace {

using namespace quorvane;
using fuzz::require;
using fuzz::scratchFolder;

void write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    require(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(), "the bundle is written");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    const unsigned shape = data[0];
    const bool topInfo = shape & 1;
    const bool hasExecutable = shape & 2;
    const bool shallow = shape & 4;
    const char* const extensions[] = {"vst3", "component", "clap", "vst"};
    const QString extension = QString::fromLatin1(extensions[(shape >> 3) & 3]);
    const bool hasInfo = !(shape & 32);
    const QByteArray rest(reinterpret_cast<const char*>(data + 3), qsizetype(size - 3));
    const qsizetype infoLength = std::min<qsizetype>(data[1] | data[2] << 8, rest.size());
    const QByteArray info = rest.first(infoLength);
    const QByteArray executable = rest.sliced(infoLength);

    // Only the files written below are ever in the bundle, so clearing them is enough.
    const QString bundle = scratchFolder() + QStringLiteral("/Fuzz.") + extension;
    for (const char* file : {"/Info.plist", "/Fuzz", "/Contents/Info.plist", "/Contents/MacOS/Fuzz"})
        ::unlink(QFile::encodeName(bundle + QLatin1String(file)).constData());
    for (const char* folder : {"/Contents/MacOS", "/Contents"})
        ::rmdir(QFile::encodeName(bundle + QLatin1String(folder)).constData());
    require(QDir().mkpath(shallow ? bundle : bundle + QStringLiteral("/Contents")),
            "the bundle folder is made");
    qint64 written = 0;
    if (hasInfo) {
        write(bundle + (shallow || topInfo ? QStringLiteral("/Info.plist")
                                           : QStringLiteral("/Contents/Info.plist")),
              info);
        written += info.size();
    }
    if (hasExecutable) {
        write(bundle + (shallow ? QStringLiteral("/Fuzz") : QStringLiteral("/Contents/MacOS/Fuzz")),
              executable);
        written += executable.size();
    }

    ScanControl control;
    const auto read = PluginScanner::readBundle(bundle, QStringLiteral("VST3"), control);
    require(!read.name.isEmpty() && !read.version.isEmpty() && !read.manufacturer.isEmpty(),
            "name, version and manufacturer are never empty");
    require(QStringList({ScannerTexts::appleSilicon, ScannerTexts::intel, ScannerTexts::universal,
                         ScannerTexts::unknown})
                .contains(read.architecture),
            "the architecture is one of the four");
    require(read.format == QStringLiteral("VST3") && read.path == bundle, "format and path are as given");
    require(read.byteSize == written, "the size is what was written");

    std::expected<QVariant, PropertyListError> parsed = std::unexpected(PropertyListError::unreadable);
    if (hasInfo)
        parsed = parsePropertyList(info);
    const bool readable = parsed && parsed->typeId() == QMetaType::QVariantMap;
    // The registry reads the same Info.plist of a component bundle (the only one in the folder).
    if (extension == QLatin1String("component"))
        require(ComponentFolderRegistry({scratchFolder()}).allComponents() ==
                    (readable ? audioComponentsOf(parsed->toMap()) : std::vector<AudioUnitComponent>{}),
                "the registry lists what the component's Info.plist declares");
    if (!readable) {
        require(read.name == QStringLiteral("Fuzz") && read.version == ScannerTexts::unavailable &&
                    read.manufacturer == ScannerTexts::unknown,
                "an unreadable Info.plist gives every fallback");
        require(read.architecture == (hasExecutable
                                          ? PluginScanner::architectureLabel(machOArchitecture(executable))
                                          : ScannerTexts::unknown),
                "without an Info.plist the executable is the bundle's name");
    }
    return 0;
}
