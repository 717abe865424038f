#pragma once

#include <QString>

namespace quorvane::FolderAccessTexts {

inline const QString panelTitle = QStringLiteral("Authorize Plugin Folders");
inline const QString panelMessage =
    QStringLiteral("Choose one or more plugin folders that Quorvane may scan and manage.");
inline const QString panelPrompt = QStringLiteral("Authorize Folders");
inline const QString accessCouldNotStart =
    QStringLiteral("Quorvane could not begin secure access to the selected folder.");
// Between a failed folder's name and the reason, and between the lines of several failures.
inline const QString failureSeparator = QStringLiteral(": ");
inline const QString failureLineBreak = QStringLiteral("\n");

inline const QString bookmarksKey = QStringLiteral("QuorvaneAuthorizedFolderBookmarks");
inline const QString legacyBookmarksKey = QStringLiteral("OstrevelAuthorizedFolderBookmarks");

} // namespace quorvane::FolderAccessTexts
