#pragma once

#include <QByteArray>
#include <QString>

#include <expected>

namespace quorvane {

enum class FolderBookmarkError { folderMissing, notAFolder, damagedBookmark };

QString description(FolderBookmarkError error);

struct ResolvedFolderBookmark {
    QString path;
    // The folder at the path is not the one bookmarked (it was replaced); a fresh bookmark of the
    // path should be made.
    bool isStale = false;

    bool operator==(const ResolvedFolderBookmark&) const = default;
};

// An opaque token naming a folder by its path and remembering which folder it was (device and
// inode), so that a folder replaced under the same name is noticed.
[[nodiscard]] std::expected<QByteArray, FolderBookmarkError> makeFolderBookmark(const QString& folderPath);
[[nodiscard]] std::expected<ResolvedFolderBookmark, FolderBookmarkError>
resolveFolderBookmark(const QByteArray& bookmark);

} // namespace quorvane
