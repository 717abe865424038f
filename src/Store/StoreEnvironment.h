#pragma once

#include "Discovery/PluginScanner.h"
#include "Discovery/ScanControl.h"
#include "Discovery/ScanSummary.h"
#include "Persistence/PersistedInventory.h"
#include "Persistence/StateFile.h"
#include "Shared/SystemRoots.h"
#include "Support/Timestamp.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <expected>
#include <functional>

namespace quorvane {

// Everything the store reads or writes outside itself, so that tests can move all of it beneath a
// temporary folder and replace the scanner, the clock or the state-file write.
struct StoreEnvironment {
    // Runs on the scan thread; it must return a summary in every case and honour `control`.
    using ScanFunction = std::function<ScanSummary(const QList<QUrl>& authorizedFolders, ScanControl& control,
                                                   const PluginScanner::ProgressCallback& progress)>;
    using StateFileWriter = std::function<std::expected<void, StateFileError>(const PersistedInventory& state,
                                                                              const QString& path)>;
    using Clock = std::function<Timestamp()>;
    // Shakes hands with the privileged helper; false at once when the helper is not enabled. Else
    // `done` runs once, later, on the GUI thread, when the helper has answered or cannot.
    using HelperHandshake = std::function<bool(std::function<void()> done)>;

    // The user's Application Support folder, holding "Quorvane" and the earlier "Ostrevel"; empty
    // when there is none.
    QString applicationSupport;
    SystemRoots roots;
    QString homeFolder;
    // The scanner's inputs: its roots, home folder and Audio Unit registry.
    PluginScanner::Environment scanner;
    // Empty: PluginScanner::scan with `scanner`.
    ScanFunction scan;
    // Empty: nothing. Runs on the thread that works out a scan's merge, once it is worked out and
    // before it is handed back; tests hold the merge there while the store changes.
    std::function<void()> scanMerged;
    // Empty: the atomic writeStateFile of the persistence layer. Runs on the store's writer thread
    // once start-up is over.
    StateFileWriter writeStateFile;
    // Empty: Timestamp::now.
    Clock now;
    // Empty: no helper to ask. A journal that looks mixed at launch is settled only after this
    // handshake: with socket activation it starts the helper, which first undoes a transaction a
    // crash cut short.
    HelperHandshake helperHandshake;
    // Empty: statvfs(2). Whether `folder` is on a read-only file system; the store then shows the
    // inventory as last saved, writes nothing, and blocks scans and file actions.
    std::function<bool(const QString& folder)> isReadOnlyFolder;
    // The operating system's version text for the diagnostic report.
    QString operatingSystemVersion;

    // Whether the folder of the state file is on a read-only file system.
    bool dataFolderIsReadOnly() const;

    // The user's folders and the literal system paths.
    static StoreEnvironment production();
    // The given folders, with the real scanner over `roots` and `homeFolder`.
    static StoreEnvironment isolated(const QString& applicationSupport, const SystemRoots& roots,
                                     const QString& homeFolder);
};

} // namespace quorvane
