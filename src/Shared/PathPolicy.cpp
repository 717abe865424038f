#include "Shared/PathPolicy.h"

#include "Support/Paths.h"
#include "Support/Uuid.h"

#include <QFile>

#include <sys/stat.h>

namespace quorvane {

namespace {

struct Flags {
    bool isDirectory = false;
    bool isSymbolicLink = false;
};

std::optional<struct stat> freshLinkStatus(const QString& path) {
    struct stat info {};
    if (path.contains(QChar(u'\0')) || ::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return info;
}

// Fresh from the disk unless `lookups` already has it, never following a link in the last component.
std::optional<Flags> readFlags(const QString& path, PathLookups* lookups) {
    const auto info = lookups ? lookups->linkStatus(path) : freshLinkStatus(path);
    if (!info)
        return std::nullopt;
    return Flags{S_ISDIR(info->st_mode), S_ISLNK(info->st_mode)};
}

// A failed read counts as "not a link": a path where nothing exists yet may pass.
bool isSymbolicLink(const QString& path, PathLookups* lookups) {
    const auto flags = readFlags(path, lookups);
    return flags && flags->isSymbolicLink;
}

// True when an existing component of `path` is still a link, which happens when resolution gave up
// (a loop, an unreadable link); such a path must not be judged by its text. Only asked when the
// resolution itself could not vouch for the path, since it lstats every prefix.
bool containsSymbolicLink(const QString& path, PathLookups* lookups) {
    QString prefix;
    for (const QString& component : path.split(u'/', Qt::SkipEmptyParts)) {
        prefix += u'/' + component;
        const auto flags = readFlags(prefix, lookups);
        if (!flags)
            return false;
        if (flags->isSymbolicLink)
            return true;
    }
    return false;
}

QString joinedPath(const QString& folder, const QString& name) {
    return folder == QLatin1String("/") ? folder + name : folder + u'/' + name;
}

// resolveSymlinksInPath of a path whose last component is not a link: its folder resolved (once
// per request with `lookups`), then that component, as the resolution itself would take it.
SymlinkResolution resolveBelowFolder(const QString& path, PathLookups* lookups) {
    if (!lookups)
        return resolveSymlinksInPath(path);
    const QString folder = deletingLastPathComponent(path);
    if (folder == path)
        return resolveSymlinksInPath(path);
    const SymlinkResolution resolved = lookups->resolvedFolder(folder);
    return {joinedPath(resolved.path, lastPathComponent(path)), resolved.linkFree};
}

bool hasNul(const QString& text) {
    return text.contains(QChar(u'\0'));
}

bool isAbsolute(const QString& path) {
    return path.startsWith(u'/') && !hasNul(path);
}

bool isAllowedExtension(const QString& extension) {
    return PathPolicy::allowedPluginExtensions().contains(extension.toLower());
}

bool isUsableName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..");
}

} // namespace

std::optional<struct stat> PathLookups::linkStatus(const QString& path) {
    if (const auto found = m_statuses.constFind(path); found != m_statuses.cend())
        return *found;
    const QString folder = deletingLastPathComponent(path);
    const auto folderStatus = m_statuses.constFind(folder);
    const std::optional<struct stat> status =
        folder != path && folderStatus != m_statuses.cend() && !*folderStatus ? std::nullopt
                                                                              : freshLinkStatus(path);
    m_statuses.insert(path, status);
    return status;
}

SymlinkResolution PathLookups::resolvedFolder(const QString& folder) {
    if (const auto found = m_folders.constFind(folder); found != m_folders.cend())
        return *found;
    const SymlinkResolution resolved = resolveSymlinksInPath(folder);
    m_folders.insert(folder, resolved);
    return resolved;
}

PathPolicy::PathPolicy(SystemRoots roots) : m_roots(std::move(roots)) {
    for (const QString& literal : literalApprovedSystemPluginRoots())
        m_approvedRoots.append(standardizedPath(m_roots.path(literal)));
    m_quarantineRoot = standardizedPath(m_roots.path(literalQuarantineRoot()));
}

const QStringList& PathPolicy::allowedPluginExtensions() {
    static const QStringList extensions{QStringLiteral("component"), QStringLiteral("vst"),
                                        QStringLiteral("vst3"), QStringLiteral("aaxplugin"),
                                        QStringLiteral("clap")};
    return extensions;
}

const QMap<QString, QString>& PathPolicy::pluginFormatExtensions() {
    static const QMap<QString, QString> extensions{
        {QStringLiteral("AU"), QStringLiteral("component")},
        {QStringLiteral("VST2"), QStringLiteral("vst")},
        {QStringLiteral("VST3"), QStringLiteral("vst3")},
        {QStringLiteral("AAX"), QStringLiteral("aaxplugin")},
        {QStringLiteral("CLAP"), QStringLiteral("clap")},
    };
    return extensions;
}

const QStringList& PathPolicy::literalApprovedSystemPluginRoots() {
    static const QStringList roots{
        QStringLiteral("/Library/Audio/Plug-Ins/Components"),
        QStringLiteral("/Library/Audio/Plug-Ins/VST"),
        QStringLiteral("/Library/Audio/Plug-Ins/VST3"),
        QStringLiteral("/Library/Audio/Plug-Ins/CLAP"),
        QStringLiteral("/Library/Application Support/Avid/Audio/Plug-Ins"),
        QStringLiteral("/Library/Application Support/Digidesign/Plug-Ins"),
    };
    return roots;
}

QString PathPolicy::literalQuarantineRoot() {
    return QStringLiteral("/Library/Application Support/Quorvane/Quarantine");
}

std::optional<QString> PathPolicy::verifiedSystemPluginURL(const QString& path, PathLookups* lookups) const {
    if (!isAbsolute(path))
        return std::nullopt;
    const QString candidate = standardizedPath(path);
    if (isSymbolicLink(candidate, lookups))
        return std::nullopt;
    const SymlinkResolution resolution = resolveBelowFolder(candidate, lookups);
    const QString& resolved = resolution.path;
    if (!resolution.linkFree && containsSymbolicLink(resolved, lookups))
        return std::nullopt;
    if (!isAllowedExtension(pathExtension(resolved)))
        return std::nullopt;
    for (const QString& root : m_approvedRoots) {
        if (resolved.startsWith(root + u'/'))
            return resolved;
    }
    return std::nullopt;
}

std::optional<QString> PathPolicy::verifiedQuarantineItemURL(const QString& path,
                                                             const QString& bundleFileName,
                                                             const QString& operationID,
                                                             PathLookups* lookups) const {
    if (!isAbsolute(path) || hasNul(bundleFileName) || hasNul(operationID))
        return std::nullopt;
    if (!parseUuid(operationID))
        return std::nullopt;
    if (!isUsableName(bundleFileName))
        return std::nullopt;
    const QString candidate = standardizedPath(path);
    const QString operationFolder = standardizedPath(appendingPathComponent(m_quarantineRoot, operationID));
    if (isSymbolicLink(operationFolder, lookups))
        return std::nullopt;
    if (deletingLastPathComponent(candidate) != operationFolder)
        return std::nullopt;
    if (lastPathComponent(candidate) != bundleFileName)
        return std::nullopt;
    if (!isAllowedExtension(pathExtension(candidate)))
        return std::nullopt;
    // What stands at the path itself is for the transaction to judge: it refuses a link there as a
    // missing bundle or an occupied destination, with the sentence of its kind.
    return candidate;
}

std::optional<QString> PathPolicy::verifiedTrashDestinationURL(const QString& path,
                                                               const QString& trashFolder,
                                                               const QString& sourceExtension,
                                                               PathLookups* lookups) {
    if (!isAbsolute(path) || hasNul(trashFolder) || hasNul(sourceExtension))
        return std::nullopt;
    if (!isAllowedExtension(sourceExtension))
        return std::nullopt;
    const QString trash = standardizedPath(trashFolder);
    const auto trashFlags = readFlags(trash, lookups);
    if (!trashFlags || !trashFlags->isDirectory || trashFlags->isSymbolicLink)
        return std::nullopt;
    const QString candidate = standardizedPath(path);
    if (!isUsableName(lastPathComponent(candidate)))
        return std::nullopt;
    if (pathExtension(candidate).toLower() != sourceExtension.toLower())
        return std::nullopt;
    const QString parent = deletingLastPathComponent(candidate);
    const auto resolvedFolder = [lookups](const QString& folder) {
        return lookups ? lookups->resolvedFolder(folder).path : resolvingSymlinksInPath(folder);
    };
    if (parent != trash && resolvedFolder(parent) != resolvedFolder(trash))
        return std::nullopt;
    if (isSymbolicLink(candidate, lookups))
        return std::nullopt;
    return candidate;
}

std::optional<QString> PathPolicy::verifiedTrashSourceURL(const QString& path, const QString& trashFolder,
                                                          const QString& expectedExtension,
                                                          PathLookups* lookups) {
    if (!isAbsolute(path) || hasNul(trashFolder) || hasNul(expectedExtension))
        return std::nullopt;
    if (!isAllowedExtension(expectedExtension))
        return std::nullopt;
    const QString trash = standardizedPath(trashFolder);
    const QString candidate = standardizedPath(path);
    if (deletingLastPathComponent(candidate) != trash)
        return std::nullopt;
    if (lastPathComponent(candidate).isEmpty())
        return std::nullopt;
    if (pathExtension(candidate).toLower() != expectedExtension.toLower())
        return std::nullopt;
    const auto flags = readFlags(candidate, lookups);
    if (!flags || !flags->isDirectory || flags->isSymbolicLink)
        return std::nullopt;
    return candidate;
}

} // namespace quorvane
