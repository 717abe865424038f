#include "Discovery/PluginFolderAccess.h"

#include "Discovery/FolderAccessTexts.h"
#include "Support/LocaleText.h"
#include "Support/Paths.h"
#include "Support/StableSort.h"

#include <QStringList>
#include <QVariantList>

namespace quorvane {

namespace {

QString folderPath(const QUrl& url) {
    return url.isLocalFile() ? url.toLocalFile() : url.path();
}

QUrl standardizedFolder(const QUrl& url) {
    return QUrl::fromLocalFile(standardizedPath(folderPath(url)));
}

} // namespace

QString description(FolderAccessError error) {
    switch (error) {
    case FolderAccessError::accessCouldNotStart:
        return FolderAccessTexts::accessCouldNotStart;
    }
    return {};
}

QString description(const FolderAdditionError& error) {
    return std::visit([](auto reason) { return description(reason); }, error);
}

PluginFolderAccess::Services PluginFolderAccess::Services::production(std::shared_ptr<FolderPicker> picker) {
    return Services{std::make_shared<QSettings>(), std::move(picker),
                    std::make_shared<PlatformFolderSecurityScope>()};
}

PluginFolderAccess::PluginFolderAccess(Services services, QObject* parent)
    : QObject(parent), bookmarksKey(FolderAccessTexts::bookmarksKey),
      legacyBookmarksKey(FolderAccessTexts::legacyBookmarksKey), m_services(std::move(services)) {
    restoreBookmarks();
}

void PluginFolderAccess::setAuthorizedFolders(const QList<QUrl>& folders) {
    if (folders == m_authorizedFolders)
        return;
    m_authorizedFolders = folders;
    emit authorizedFoldersChanged();
}

void PluginFolderAccess::setLastError(const std::optional<QString>& message) {
    if (message == m_lastError)
        return;
    m_lastError = message;
    emit lastErrorChanged();
}

FolderPickerRequest PluginFolderAccess::panelRequest() {
    FolderPickerRequest request;
    request.title = FolderAccessTexts::panelTitle;
    request.message = FolderAccessTexts::panelMessage;
    request.prompt = FolderAccessTexts::panelPrompt;
    request.canChooseFiles = false;
    request.canChooseDirectories = true;
    request.canCreateDirectories = false;
    request.allowsMultipleSelection = true;
    return request;
}

std::optional<QList<QByteArray>> PluginFolderAccess::storedArray(const QString& key) const {
    QSettings& settings = *m_services.settings;
    if (!settings.contains(key))
        return std::nullopt;
    const QVariant value = settings.value(key);
    // The settings file keeps an empty array as an empty value, which reads back as invalid.
    if (!value.isValid())
        return QList<QByteArray>{};
    if (value.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QList<QByteArray> bookmarks;
    for (const QVariant& element : value.toList()) {
        if (element.typeId() != QMetaType::QByteArray)
            return std::nullopt;
        bookmarks.append(element.toByteArray());
    }
    return bookmarks;
}

void PluginFolderAccess::restoreBookmarks() {
    std::optional<QList<QByteArray>> stored = storedArray(bookmarksKey);
    if (!stored)
        stored = storedArray(legacyBookmarksKey);
    if (!stored)
        return;
    FolderSecurityScope& scope = *m_services.securityScope;
    for (const QByteArray& bookmark : *stored) {
        auto resolved = scope.resolveBookmark(bookmark);
        if (!resolved) {
            setLastError(description(resolved.error()));
            continue;
        }
        const QUrl folder = standardizedFolder(QUrl::fromLocalFile(resolved->path));
        const QString path = folder.toLocalFile();
        if (!scope.startAccessing(path))
            continue;
        setActiveFolder(folder, path);
        if (resolved->isStale) {
            auto fresh = scope.createBookmark(path);
            if (!fresh) {
                setLastError(description(fresh.error()));
                continue;
            }
            m_bookmarksByPath[path] = *fresh;
        } else {
            m_bookmarksByPath[path] = bookmark;
        }
    }
    publishFolders();
    persistBookmarks();
}

void PluginFolderAccess::authorizeFolders() {
    setLastError(std::nullopt);
    if (!m_services.picker)
        return;
    const std::optional<QList<QUrl>> chosen = m_services.picker->chooseFolders(panelRequest());
    if (!chosen || chosen->isEmpty())
        return;
    QStringList failures;
    for (const QUrl& url : *chosen) {
        const QUrl folder = standardizedFolder(url);
        if (auto added = addFolder(folder); !added) {
            failures.append(lastPathComponent(folder.toLocalFile()) + FolderAccessTexts::failureSeparator +
                            description(added.error()));
        }
    }
    if (!failures.isEmpty())
        setLastError(failures.join(FolderAccessTexts::failureLineBreak));
}

std::expected<void, FolderAdditionError> PluginFolderAccess::addFolder(const QUrl& url) {
    const QUrl folder = standardizedFolder(url);
    const QString path = folder.toLocalFile();
    FolderSecurityScope& scope = *m_services.securityScope;
    auto bookmark = scope.createBookmark(path);
    if (!bookmark)
        return std::unexpected(FolderAdditionError(bookmark.error()));
    if (!m_activeFolders.contains(path)) {
        if (!scope.startAccessing(path))
            return std::unexpected(FolderAdditionError(FolderAccessError::accessCouldNotStart));
        setActiveFolder(folder, path);
    }
    m_bookmarksByPath[path] = *bookmark;
    publishFolders();
    persistBookmarks();
    return {};
}

void PluginFolderAccess::persistBookmarks() {
    QVariantList bookmarks;
    for (const auto& [path, bookmark] : m_bookmarksByPath)
        bookmarks.append(bookmark);
    m_services.settings->setValue(bookmarksKey, bookmarks);
    m_services.settings->sync();
}

void PluginFolderAccess::setActiveFolder(const std::optional<QUrl>& folder, const QString& path) {
    if (folder)
        m_activeFolders[path] = *folder;
    else
        m_activeFolders.erase(path);
}

void PluginFolderAccess::publishFolders() {
    QList<QUrl> folders;
    for (const auto& [path, folder] : m_activeFolders)
        folders.append(folder);
    stableMergeSort(folders.begin(), folders.end(), [](const QUrl& a, const QUrl& b) {
        return localizedCaseInsensitiveCompare(a.toLocalFile(), b.toLocalFile()) < 0;
    });
    setAuthorizedFolders(folders);
}

} // namespace quorvane
