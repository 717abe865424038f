// The bundle metadata readers of the scanner: names, version, manufacturer, architecture, size and
// the products of the Audio Unit registry. None of them fails; each has its fallback.

#include "Discovery/PluginScanner.h"

#include "Discovery/ScannerTexts.h"
#include "Platform/DirectoryWalker.h"
#include "Platform/MachOHeader.h"
#include "Platform/PropertyList.h"
#include "Support/LocaleText.h"
#include "Support/Paths.h"
#include "Support/PlainText.h"
#include "Support/Uuid.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace quorvane::PluginScanner {

namespace {

const QString displayNameKey = QStringLiteral("CFBundleDisplayName");
const QString nameKey = QStringLiteral("CFBundleName");
const QString shortVersionKey = QStringLiteral("CFBundleShortVersionString");
const QString versionKey = QStringLiteral("CFBundleVersion");
const QString identifierKey = QStringLiteral("CFBundleIdentifier");
const QString executableKey = QStringLiteral("CFBundleExecutable");
const QString legacyExecutableKey = QStringLiteral("NSExecutable");

std::optional<struct stat> linkStatus(const QString& path) {
    struct stat status {};
    if (::lstat(path.toUtf8().constData(), &status) != 0)
        return std::nullopt;
    return status;
}

// A bundle folder held open while it is read, so that its files are looked up from it rather than
// by their whole paths. Opening follows a link, as opening a bundle by its name does; anything
// that is not a folder is no bundle.
class BundleFolder {
public:
    explicit BundleFolder(const QString& path)
        : m_fd(::open(path.toUtf8().constData(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC)) {}
    BundleFolder(const BundleFolder&) = delete;
    BundleFolder& operator=(const BundleFolder&) = delete;
    ~BundleFolder() {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    // Contents/Info.plist, else Info.plist at the top; empty when the list cannot be read.
    QVariantMap info() const {
        if (!isOpen())
            return {};
        const QString deep = QStringLiteral("Contents/Info.plist");
        auto dictionary =
            readPropertyListDictionary(exists(deep) ? deep : QStringLiteral("Info.plist"), m_fd);
        return dictionary ? *dictionary : QVariantMap();
    }

    // Relative to the bundle. Named as the platform names it: by CFBundleExecutable, else by the
    // older NSExecutable, else after the bundle itself; so a bundle whose Info.plist is missing or
    // unreadable still has one.
    std::optional<QString> executable(const QVariantMap& info, const QString& bundlePath) const {
        if (!isOpen())
            return std::nullopt;
        QString name = deletingPathExtension(lastPathComponent(bundlePath));
        for (const QString& key : {executableKey, legacyExecutableKey}) {
            const QVariant value = info.value(key);
            if (value.typeId() == QMetaType::QString && !value.toString().isEmpty()) {
                name = value.toString();
                break;
            }
        }
        // The name comes from the bundle: it may only name a file in its own folder.
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
            name.contains(QLatin1Char('/')) || name.contains(QChar(0)))
            return std::nullopt;
        const QString relative =
            isFolder(QStringLiteral("Contents")) ? QStringLiteral("Contents/MacOS/") + name : name;
        if (!exists(relative))
            return std::nullopt;
        return relative;
    }

private:
    std::optional<struct stat> status(const QString& relative) const {
        struct stat result {};
        if (::fstatat(m_fd, relative.toUtf8().constData(), &result, 0) != 0)
            return std::nullopt;
        return result;
    }
    bool exists(const QString& relative) const { return status(relative).has_value(); }
    bool isFolder(const QString& relative) const {
        const auto result = status(relative);
        return result && S_ISDIR(result->st_mode);
    }

    int m_fd;
};

// Spaces and tabs, without line breaks.
bool isBlankCharacter(QChar character) {
    return character == QLatin1Char('\t') || character.category() == QChar::Separator_Space;
}

bool containsLetter(const QString& text) {
    for (char32_t codePoint : text.toUcs4()) {
        if (QChar::isLetter(codePoint))
            return true;
    }
    return false;
}

// First character of every word upper case, the rest lower case; words end at white space.
QString capitalizedWords(const QString& text) {
    QString result;
    result.reserve(text.size());
    bool wordStart = true;
    for (char32_t codePoint : text.toUcs4()) {
        const QString character = QString::fromUcs4(&codePoint, 1);
        if (QChar::isSpace(codePoint)) {
            result.append(character);
            wordStart = true;
            continue;
        }
        result.append(wordStart ? uppercasedLocaleIndependent(character)
                                : lowercasedLocaleIndependent(character));
        wordStart = false;
    }
    return result;
}

} // namespace

QString architectureLabel(MachOArchitecture architecture) {
    switch (architecture) {
    case MachOArchitecture::appleSilicon:
        return ScannerTexts::appleSilicon;
    case MachOArchitecture::intel:
        return ScannerTexts::intel;
    case MachOArchitecture::universal:
        return ScannerTexts::universal;
    case MachOArchitecture::unknown:
        break;
    }
    return ScannerTexts::unknown;
}

std::optional<QString> nonBlankString(const QVariant& value) {
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = value.toString();
    if (std::all_of(text.begin(), text.end(), isBlankCharacter))
        return std::nullopt;
    return text;
}

QString resolveManufacturer(const QVariantMap& info, const std::optional<QString>& bundleIdentifier) {
    QStringList searchParts;
    for (const std::optional<QString>& part : {nonBlankString(info.value(displayNameKey)),
                                               nonBlankString(info.value(nameKey)), bundleIdentifier}) {
        if (part)
            searchParts.append(*part);
    }
    const QString search = nfc(lowercasedLocaleIndependent(searchParts.join(QLatin1Char(' '))));
    for (const auto& [key, displayName] : ScannerTexts::manufacturerDisplayTable()) {
        if (search.contains(key))
            return displayName;
    }

    for (const QString& key : ScannerTexts::infoPlistManufacturerKeys()) {
        if (auto manufacturer = nonBlankString(info.value(key)))
            return *manufacturer;
    }

    if (bundleIdentifier) {
        const auto& stopWords = ScannerTexts::bundleIdentifierStopWords();
        for (const QString& part : bundleIdentifier->split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
            const QString lowered = lowercasedLocaleIndependent(part);
            if (std::any_of(stopWords.begin(), stopWords.end(),
                            [&](const QString& word) { return plainEqual(word, lowered); }))
                continue;
            if (!containsLetter(part))
                continue;
            return capitalizedWords(QString(part).replace(QLatin1Char('-'), QLatin1Char(' ')));
        }
    }
    return ScannerTexts::unknown;
}

QString architecture(const std::optional<QString>& executable) {
    if (!executable)
        return ScannerTexts::unknown;
    return architectureLabel(machOArchitectureOfFile(*executable));
}

std::optional<quint32> readUInt32(QByteArrayView bytes, qint64 offset, bool littleEndian) {
    return quorvane::readUInt32(bytes, offset, littleEndian);
}

qint64 bundleByteSize(const QString& bundlePath, ScanControl& control) {
    if (const auto status = linkStatus(bundlePath); status && !S_ISDIR(status->st_mode))
        return static_cast<qint64>(status->st_size);
    auto walker = DirectoryWalker::open(bundlePath);
    if (!walker)
        return 0;
    qint64 total = 0;
    while (auto entry = walker->next()) {
        if (control.isCancellationRequested())
            return total;
        if (entry->isRegularFile && entry->fileSize)
            total = total > std::numeric_limits<qint64>::max() - *entry->fileSize
                        ? std::numeric_limits<qint64>::max()
                        : total + *entry->fileSize;
    }
    return total;
}

DiscoveredBundle readBundle(const QString& bundlePath, const QString& format, ScanControl& control) {
    const BundleFolder folder(bundlePath);
    const QVariantMap info = folder.info();
    DiscoveredBundle bundle;
    bundle.name = nonBlankString(info.value(displayNameKey))
                      .or_else([&] { return nonBlankString(info.value(nameKey)); })
                      .value_or(deletingPathExtension(lastPathComponent(bundlePath)));
    bundle.version = nonBlankString(info.value(shortVersionKey))
                         .or_else([&] { return nonBlankString(info.value(versionKey)); })
                         .value_or(ScannerTexts::unavailable);
    const std::optional<QString> identifier = nonBlankString(info.value(identifierKey));
    bundle.manufacturer = resolveManufacturer(info, identifier);
    if (const auto executable = folder.executable(info, bundlePath))
        bundle.architecture = architectureLabel(machOArchitectureOfFile(*executable, folder.fd()));
    else if (lowercasedLocaleIndependent(pathExtension(bundlePath)) == QLatin1String("clap"))
        bundle.architecture = architecture(bundlePath);
    else
        bundle.architecture = architecture(std::nullopt);
    bundle.byteSize = bundleByteSize(bundlePath, control);
    bundle.format = format;
    bundle.path = bundlePath;
    return bundle;
}

QString registryDisplayName(const QString& componentName) {
    const QString trimmed = componentName.trimmed();
    const QString lowered = lowercasedLocaleIndependent(trimmed);
    for (const QString& prefix : ScannerTexts::registryNamePrefixes()) {
        if (lowered.startsWith(lowercasedLocaleIndependent(prefix)))
            return trimmed.mid(prefix.size()).trimmed();
    }
    return trimmed;
}

std::vector<Plugin> audioUnitRegistryPlugins(const Environment& environment) {
    std::vector<Plugin> products;
    if (!environment.registry)
        return products;
    // Keyed by "Waves|" and the cleaned name, lower case; a later component replaces an earlier one.
    std::unordered_map<QString, size_t, PlainHash, PlainEqualTo> indexByKey;
    for (const AudioUnitComponent& component : environment.registry->allComponents()) {
        const QString text =
            lowercasedLocaleIndependent(component.manufacturerName + QLatin1Char(' ') + component.name);
        if (!nfc(text).contains(QLatin1String("waves")))
            continue;
        const QString name = registryDisplayName(component.name);
        if (name.isEmpty() || localizedCaseInsensitiveContains(name, QStringLiteral("WaveShell")))
            continue;
        Plugin plugin;
        plugin.id = makeUuid();
        plugin.name = name;
        plugin.manufacturer = ScannerTexts::waves;
        plugin.version =
            component.versionString.isEmpty() ? ScannerTexts::unavailable : component.versionString;
        plugin.formats = QStringList{ScannerTexts::audioUnitFormat};
        plugin.architecture = ScannerTexts::viaWaveShell;
        plugin.size = ScannerTexts::sharedSize;
        plugin.path = ScannerTexts::registryPath;
        plugin.status = PluginStatus::hostedByShell;
        plugin.isProtected = true;
        plugin.bundles = std::vector<PluginBundleRecord>{};
        const QString key = lowercasedLocaleIndependent(ScannerTexts::waves + QLatin1Char('|') + name);
        if (auto found = indexByKey.find(key); found != indexByKey.end()) {
            products[found->second] = std::move(plugin);
        } else {
            indexByKey.emplace(key, products.size());
            products.push_back(std::move(plugin));
        }
    }
    return products;
}

} // namespace quorvane::PluginScanner
