#pragma once

#include "Persistence/PersistedInventory.h"

#include <QString>

#include <expected>

namespace quorvane {

enum class StateFileFailure {
    noLocation,
    folderNotCreated,
    fileNotOpened,
    fileNotWritten,
    fileNotSynced,
    fileNotCommitted,
    folderNotSynced,
    fileNotRead,
    documentNotDecoded,
};

struct StateFileError {
    StateFileFailure failure = StateFileFailure::noLocation;
    // The file or folder concerned.
    QString path;
    // What the system or the decoder reported; may be empty.
    QString reason;

    QString description() const;
    bool operator==(const StateFileError&) const = default;
};

// Creates the folder when needed and replaces the file atomically: the new content is written to
// a temporary file beside it, synced to disk and renamed over the old one, and the folder is
// synced after the rename. On any failure the previous file is left as it was.
[[nodiscard]] std::expected<void, StateFileError> writeStateFile(const PersistedInventory& state,
                                                                 const QString& path);

// Removes the temporary copies that a write interrupted between writing and renaming left beside
// `path` (its name, a dot and six letters or digits). Call it only while no write can run.
void removeStaleStateFileCopies(const QString& path);

// Far beyond any real inventory: 80,000 products make about 90 MB.
inline constexpr qint64 maximumStateFileBytes = qint64(256) * 1024 * 1024;

// Reads and decodes the whole file; the caller migrates the result. Only a regular file is read,
// opened without waiting (a FIFO must not stall the start), and one above maximumStateFileBytes,
// or grown past it while it is read, is refused. The JSON must be strict.
[[nodiscard]] std::expected<PersistedInventory, StateFileError> readStateFile(const QString& path);

} // namespace quorvane
