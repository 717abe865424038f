#include "Discovery/PluginScanner.h"

#include "Model/Identity.h"
#include "Platform/DirectoryWalker.h"
#include "Support/LocaleText.h"
#include "Support/ParallelFor.h"
#include "Support/Paths.h"
#include "Support/PlainText.h"
#include "Support/StableSort.h"

#include <QDir>

#include <algorithm>
#include <functional>
#include <mutex>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::PluginScanner {

namespace {

struct StandardRow {
    const char* path;
    const char* format;
    const char* fileExtension;
};

constexpr StandardRow standardRows[] = {
    {"/Library/Audio/Plug-Ins/Components", "AU", "component"},
    {"/Library/Audio/Plug-Ins/VST", "VST2", "vst"},
    {"/Library/Audio/Plug-Ins/VST3", "VST3", "vst3"},
    {"/Library/Application Support/Avid/Audio/Plug-Ins", "AAX", "aaxplugin"},
    {"/Library/Audio/Plug-Ins/CLAP", "CLAP", "clap"},
};

constexpr size_t readerThreads = 4;

QString componentsFolder() {
    return QString::fromLatin1(standardRows[0].path);
}

bool itemExists(const QString& path) {
    struct stat status {};
    return ::stat(path.toUtf8().constData(), &status) == 0;
}

bool isReadable(const QString& path) {
    return ::access(path.toUtf8().constData(), R_OK) == 0;
}

// Standardised and in NFC, for comparison only.
std::optional<QString> comparablePath(const QUrl& url) {
    if (!url.isLocalFile())
        return std::nullopt;
    const QString path = url.toLocalFile();
    if (path.isEmpty())
        return std::nullopt;
    return nfc(standardizedPath(path));
}

QStringList distinctSorted(QStringList paths) {
    stableMergeSort(paths.begin(), paths.end(), plainLess);
    QStringList result;
    for (const QString& path : paths) {
        if (result.isEmpty() || !plainEqual(result.last(), path))
            result.append(path);
    }
    return result;
}

// Reading a bundle is mostly waiting for the file system, so a location's bundles are read by a
// few threads at once; each result goes to its bundle's place in the list, so the outcome is the
// one of reading them in turn. `bundleRead` is told the number read so far after each one, one
// call at a time and with the numbers in order, whichever thread read it. False when a
// cancellation left bundles unread.
bool readBundles(const std::vector<QString>& paths, const QString& format, ScanControl& control,
                 std::vector<DiscoveredBundle>::iterator results,
                 const std::function<void(size_t)>& bundleRead) {
    const size_t helpers = std::min<size_t>(readerThreads - 1, paths.size() / 8);
    std::mutex reporting;
    size_t read = 0;
    forEachIndexInParallel(paths.size(), helpers, [&](size_t k) {
        if (control.isCancellationRequested())
            return;
        results[static_cast<std::ptrdiff_t>(k)] = readBundle(paths[k], format, control);
        const std::lock_guard guard(reporting);
        bundleRead(++read);
    });
    return read == paths.size();
}

} // namespace

Environment Environment::production() {
    return withRoots(SystemRoots::production(), QDir::homePath());
}

Environment Environment::withRoots(const SystemRoots& roots, const QString& homeFolder) {
    Environment environment;
    environment.roots = roots;
    environment.homeFolder = homeFolder;
    const QString components = componentsFolder();
    environment.registry = std::make_shared<ComponentFolderRegistry>(
        QStringList{roots.path(components), appendingPathComponent(homeFolder, components.mid(1))});
    return environment;
}

std::vector<Location> standardLocations(const Environment& environment) {
    std::vector<Location> locations;
    for (const StandardRow& row : standardRows) {
        locations.push_back(
            Location{QUrl::fromLocalFile(environment.roots.path(QString::fromLatin1(row.path))),
                     QString::fromLatin1(row.format), QString::fromLatin1(row.fileExtension)});
    }
    for (const StandardRow& row : standardRows) {
        const QString relative = QString::fromLatin1(row.path).mid(1);
        locations.push_back(
            Location{QUrl::fromLocalFile(appendingPathComponent(environment.homeFolder, relative)),
                     QString::fromLatin1(row.format), QString::fromLatin1(row.fileExtension)});
    }
    return locations;
}

std::vector<Location> selectLocations(const QList<QUrl>& authorizedFolders, const Environment& environment) {
    QStringList authorized;
    for (const QUrl& url : authorizedFolders) {
        if (auto path = comparablePath(url))
            authorized.append(*path);
    }
    std::vector<Location> selected;
    for (Location& location : standardLocations(environment)) {
        const auto path = comparablePath(location.url);
        if (!path)
            continue;
        const bool covered = std::any_of(authorized.begin(), authorized.end(), [&](const QString& folder) {
            // "/" is above every location, though "/" followed by "/" begins none of them.
            const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
            return plainEqual(*path, folder) || path->startsWith(prefix);
        });
        if (covered)
            selected.push_back(std::move(location));
    }
    return selected;
}

bool enumerationErrorHandler(const QString& itemPath, const SyscallError&, QStringList& inaccessible,
                             ScanControl& control) {
    inaccessible.append(itemPath);
    return !control.isCancellationRequested();
}

ScanSummary scan(const QList<QUrl>& authorizedFolders, ScanControl& control, const ProgressCallback& progress,
                 const Environment& environment) {
    const std::vector<Location> locations = selectLocations(authorizedFolders, environment);
    const int totalLocations = static_cast<int>(locations.size());
    std::vector<DiscoveredBundle> bundles;
    QStringList inaccessible;

    for (int i = 0; i < totalLocations; ++i) {
        if (control.isCancellationRequested())
            break;
        const Location& location = locations[static_cast<size_t>(i)];
        const QString path = location.url.toLocalFile();
        const auto reportCount = [&](int completedLocations, size_t discoveredBundles) {
            if (progress) {
                progress(ScanProgress{location.format, path, completedLocations, totalLocations,
                                      static_cast<int>(discoveredBundles)});
            }
        };
        const auto report = [&](int completedLocations) { reportCount(completedLocations, bundles.size()); };

        report(i);
        if (!itemExists(path)) {
            report(i + 1);
            continue;
        }
        if (!isReadable(path)) {
            inaccessible.append(path);
            report(i + 1);
            continue;
        }
        DirectoryWalker::Options options;
        options.openDirectory = environment.openDirectory;
        options.errorHandler = [&](const QString& itemPath, const SyscallError& error) {
            return enumerationErrorHandler(itemPath, error, inaccessible, control);
        };
        auto walker = DirectoryWalker::open(path, std::move(options));
        if (!walker) {
            inaccessible.append(path);
            report(i + 1);
            continue;
        }
        bool cancelled = false;
        const size_t first = bundles.size();
        std::vector<QString> found;
        while (auto entry = walker->next()) {
            if (control.isCancellationRequested()) {
                cancelled = true;
                break;
            }
            if (lowercasedLocaleIndependent(pathExtension(entry->name)) != location.fileExtension)
                continue;
            walker->skipDescendants();
            found.push_back(entry->path);
        }
        if (cancelled)
            break;
        bundles.resize(first + found.size());
        // A bundle counts as discovered once it has been read, so the count grows through the slow
        // part of the scan rather than before it.
        const bool allRead =
            readBundles(found, location.format, control, bundles.begin() + static_cast<std::ptrdiff_t>(first),
                        [&](size_t read) {
                            if ((first + read) % 10 == 0)
                                reportCount(i, first + read);
                        });
        // One noticed after the last bundle was read ends the scan at the top of the next location.
        if (!allRead)
            break;
        report(i + 1);
    }

    ScanSummary summary;
    summary.wasCancelled = control.isCancellationRequested();
    if (!summary.wasCancelled)
        summary.plugins = assemblePlugins(bundles, environment);
    summary.inaccessibleLocations = distinctSorted(std::move(inaccessible));
    return summary;
}

} // namespace quorvane::PluginScanner
