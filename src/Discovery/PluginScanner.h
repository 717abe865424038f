#pragma once

#include "Discovery/ScanControl.h"
#include "Discovery/ScanProgress.h"
#include "Discovery/ScanSummary.h"
#include "Model/Plugin.h"
#include "Platform/AudioUnitRegistry.h"
#include "Platform/DirectoryWalker.h"
#include "Platform/MachOHeader.h"
#include "Platform/SyscallError.h"
#include "Shared/SystemRoots.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quorvane {

// Turns the plug-in folders on disk into a fresh list of products. Keeps nothing between calls
// and never writes to disk.
namespace PluginScanner {

// One folder to scan.
struct Location {
    QUrl url;
    QString format;        // "AU", "VST2", "VST3", "AAX" or "CLAP"
    QString fileExtension; // lower case, without the dot

    bool operator==(const Location&) const = default;
};

// One bundle as read from disk, before grouping.
struct DiscoveredBundle {
    QString name;
    QString manufacturer;
    QString version;
    QString format;
    QString architecture; // "Apple Silicon", "Intel", "Universal" or "Unknown"
    qint64 byteSize = 0;
    QString path; // as the walk produced it

    bool operator==(const DiscoveredBundle&) const = default;
};

// Where a scan looks. Production: the literal system folders, the user's home folder and the
// registry built from the system and user Components folders.
struct Environment {
    SystemRoots roots;
    QString homeFolder;
    std::shared_ptr<const AudioUnitRegistry> registry; // none: no registry products
    // How the walks open folders; none: the real open. Tests make folders unreadable with it,
    // since they run as root.
    DirectoryWalker::DirectoryOpener openDirectory;

    static Environment production();
    // The system folders under `roots`, the home folder as given, and the registry of the
    // Components folders beneath both.
    static Environment withRoots(const SystemRoots& roots, const QString& homeFolder);
};

using ProgressCallback = std::function<void(const ScanProgress&)>;

// The whole scan; blocking, for a background thread. `control` must outlive the call, and
// `progress` must return at once. It is called on the scanning thread or on one of the threads
// that read a location's bundles, never on two at once.
ScanSummary scan(const QList<QUrl>& authorizedFolders, ScanControl& control, const ProgressCallback& progress,
                 const Environment& environment = Environment::production());

// The five system rows, then the same five under the home folder; built afresh on each call.
std::vector<Location> standardLocations(const Environment& environment = Environment::production());
// The standard locations at or beneath one of the authorised folders, in table order.
std::vector<Location> selectLocations(const QList<QUrl>& authorizedFolders, const Environment& environment);

std::vector<Plugin> groupBundles(const std::vector<DiscoveredBundle>& bundles);
// None for an empty group. (Sizes are written with formatByteCount, which holds no state.)
std::optional<Plugin> makePlugin(const std::vector<DiscoveredBundle>& group);
// Grouping, registry products and the final order.
std::vector<Plugin> assemblePlugins(const std::vector<DiscoveredBundle>& bundles,
                                    const Environment& environment = Environment::production());
// Collects the failing item's path; true to continue the walk.
bool enumerationErrorHandler(const QString& itemPath, const SyscallError& error, QStringList& inaccessible,
                             ScanControl& control);

// Bundle metadata.

DiscoveredBundle readBundle(const QString& bundlePath, const QString& format, ScanControl& control);
// A string that is not empty once spaces and tabs are trimmed, returned untrimmed.
std::optional<QString> nonBlankString(const QVariant& value);
// Never empty.
QString resolveManufacturer(const QVariantMap& infoDictionary,
                            const std::optional<QString>& bundleIdentifier);
// "Apple Silicon", "Intel", "Universal" or "Unknown".
QString architecture(const std::optional<QString>& executablePath);
QString architectureLabel(MachOArchitecture architecture);
std::optional<quint32> readUInt32(QByteArrayView bytes, qint64 offset, bool littleEndian);
qint64 bundleByteSize(const QString& bundlePath, ScanControl& control);
std::vector<Plugin> audioUnitRegistryPlugins(const Environment& environment = Environment::production());
QString registryDisplayName(const QString& componentName);

} // namespace PluginScanner

// By format; nothing else is compared, so among equal formats the first found leads.
bool discoveredBundleLeadOrder(const PluginScanner::DiscoveredBundle& a,
                               const PluginScanner::DiscoveredBundle& b);
// By format, then by path (plain order).
bool discoveredBundleRecordOrder(const PluginScanner::DiscoveredBundle& a,
                                 const PluginScanner::DiscoveredBundle& b);

} // namespace quorvane
