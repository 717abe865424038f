#pragma once

#include "Platform/FolderBookmark.h"

#include <QByteArray>
#include <QString>

#include <expected>

namespace quorvane {

// Bookmarks of authorised folders and the start of access to them.
class FolderSecurityScope {
public:
    virtual ~FolderSecurityScope() = default;
    [[nodiscard]] virtual std::expected<QByteArray, FolderBookmarkError>
    createBookmark(const QString& folderPath) = 0;
    [[nodiscard]] virtual std::expected<ResolvedFolderBookmark, FolderBookmarkError>
    resolveBookmark(const QByteArray& bookmark) = 0;
    // False when access cannot begin.
    virtual bool startAccessing(const QString& folderPath) = 0;
};

// Bookmarks are the platform's folder tokens. Linux grants folder access by file permissions
// alone, so access always begins.
class PlatformFolderSecurityScope final : public FolderSecurityScope {
public:
    [[nodiscard]] std::expected<QByteArray, FolderBookmarkError>
    createBookmark(const QString& folderPath) override {
        return makeFolderBookmark(folderPath);
    }
    [[nodiscard]] std::expected<ResolvedFolderBookmark, FolderBookmarkError>
    resolveBookmark(const QByteArray& bookmark) override {
        return resolveFolderBookmark(bookmark);
    }
    bool startAccessing(const QString&) override { return true; }
};

} // namespace quorvane
