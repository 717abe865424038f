#pragma once

#include "Discovery/FolderPicker.h"
#include "Discovery/FolderSecurityScope.h"
#include "Platform/FolderBookmark.h"
#include "Support/PlainText.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSettings>
#include <QString>
#include <QUrl>

#include <expected>
#include <map>
#include <memory>
#include <optional>
#include <variant>

namespace quorvane {

enum class FolderAccessError { accessCouldNotStart };

QString description(FolderAccessError error);

// Why one folder could not be added: its bookmark could not be made, or access did not begin.
using FolderAdditionError = std::variant<FolderBookmarkError, FolderAccessError>;

QString description(const FolderAdditionError& error);

// The plug-in folders the user has authorised, kept as bookmarks in the settings. Lives on the
// GUI thread. Folders are only ever added while the program runs.
class PluginFolderAccess : public QObject {
    Q_OBJECT

public:
    struct Services {
        std::shared_ptr<QSettings> settings;
        std::shared_ptr<FolderPicker> picker; // none: the panel cannot be shown
        std::shared_ptr<FolderSecurityScope> securityScope;

        // The application's settings and the platform's bookmarks.
        static Services production(std::shared_ptr<FolderPicker> picker);
    };

    // Restores the stored folders before it returns.
    explicit PluginFolderAccess(Services services, QObject* parent = nullptr);

    // The folders with open access, by path without regard to letter case.
    const QList<QUrl>& authorizedFolders() const { return m_authorizedFolders; }
    void setAuthorizedFolders(const QList<QUrl>& folders);
    // The last message of a failed restore or authorisation.
    const std::optional<QString>& lastError() const { return m_lastError; }
    void setLastError(const std::optional<QString>& message);

    const QString bookmarksKey;
    // The earlier product's key: read only when the current one holds no valid array; never
    // merged with it, never written or removed.
    const QString legacyBookmarksKey;
    // Keyed by standardised path.
    const std::map<QString, QByteArray, PlainLessThan>& bookmarksByPath() const { return m_bookmarksByPath; }
    const std::map<QString, QUrl, PlainLessThan>& activeFolders() const { return m_activeFolders; }

    void restoreBookmarks();
    // Runs the folder panel and adds the chosen folders.
    void authorizeFolders();
    [[nodiscard]] std::expected<void, FolderAdditionError> addFolder(const QUrl& folder);
    void persistBookmarks();
    void setActiveFolder(const std::optional<QUrl>& folder, const QString& path);

    static FolderPickerRequest panelRequest();

signals:
    void authorizedFoldersChanged();
    void lastErrorChanged();

private:
    std::optional<QList<QByteArray>> storedArray(const QString& key) const;
    void publishFolders();

    Services m_services;
    QList<QUrl> m_authorizedFolders;
    std::optional<QString> m_lastError;
    std::map<QString, QByteArray, PlainLessThan> m_bookmarksByPath;
    std::map<QString, QUrl, PlainLessThan> m_activeFolders;
};

} // namespace quorvane
