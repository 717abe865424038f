#pragma once

#include "Shared/SystemRoots.h"
#include "Support/Paths.h"

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>

#include <sys/stat.h>

#include <optional>

namespace quorvane {

// What the checks of one request found on disk, so that a request of a few hundred items looks up
// each path, and resolves each folder, once rather than once per item and per check. Only the
// helper keeps one, for the handling of one request under its transaction lock, and only until its
// moves start: the moves act on folder handles and look at every entry again through them.
class PathLookups {
public:
    // lstat of `path`, not following a link in its last component; nothing when it fails. A path
    // whose folder was found missing is missing too.
    std::optional<struct stat> linkStatus(const QString& path);
    // resolveSymlinksInPath of a folder.
    SymlinkResolution resolvedFolder(const QString& folder);

private:
    QHash<QString, std::optional<struct stat>> m_statuses;
    QHash<QString, SymlinkResolution> m_folders;
};

// The fixed set of places between which plug-in bundles may be moved, and the checks that a path is
// such a bundle. The application plans with the same checks that the helper enforces, so a plan
// never proposes a move the helper would refuse.
//
// A "URL" here is a standardised absolute path string. No check writes to disk or keeps state; each
// returns the path it vouches for, or nothing, and never says why. Any argument containing a NUL
// character fails: the kernel would see a shorter path than the one checked. With `lookups`, a
// check takes what the disk showed earlier in the same request instead of asking again.
class PathPolicy {
public:
    explicit PathPolicy(SystemRoots roots = SystemRoots::production());

    const SystemRoots& systemRoots() const { return m_roots; }

    // "component", "vst", "vst3", "aaxplugin", "clap": compared with a lower-cased extension.
    static const QStringList& allowedPluginExtensions();
    // Format code (upper case: "AU", "VST2", "VST3", "AAX", "CLAP") → bundle extension.
    static const QMap<QString, QString>& pluginFormatExtensions();

    // The literal production paths, in the order they are tried.
    static const QStringList& literalApprovedSystemPluginRoots();
    static QString literalQuarantineRoot();

    // The same folders under this policy's SystemRoots, standardised, in the same order.
    const QStringList& approvedSystemPluginRoots() const { return m_approvedRoots; }
    const QString& quarantineRoot() const { return m_quarantineRoot; }

    // A bundle at any depth strictly below an approved root, judged by where its parent links lead;
    // the bundle itself must not be a symbolic link. Returns the resolved path.
    std::optional<QString> verifiedSystemPluginURL(const QString& path, PathLookups* lookups = nullptr) const;

    // A bundle directly inside <quarantine root>/<operationID>, named exactly `bundleFileName`.
    // The operation folder may not be a symbolic link. Returns the standardised path.
    std::optional<QString> verifiedQuarantineItemURL(const QString& path, const QString& bundleFileName,
                                                     const QString& operationID,
                                                     PathLookups* lookups = nullptr) const;

    // Helper only. A new top-level item of the Finder Trash folder `trashFolder` that is to receive a
    // bundle with extension `sourceExtension`; nothing need exist there yet, but it must not be a
    // link. Returns the standardised path.
    static std::optional<QString> verifiedTrashDestinationURL(const QString& path, const QString& trashFolder,
                                                              const QString& sourceExtension,
                                                              PathLookups* lookups = nullptr);

    // Helper only. An existing top-level bundle folder (not a link) of the Finder Trash folder
    // `trashFolder` with extension `expectedExtension`. Returns the standardised path.
    static std::optional<QString> verifiedTrashSourceURL(const QString& path, const QString& trashFolder,
                                                         const QString& expectedExtension,
                                                         PathLookups* lookups = nullptr);

private:
    SystemRoots m_roots;
    QStringList m_approvedRoots;
    QString m_quarantineRoot;
};

} // namespace quorvane
