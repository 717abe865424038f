#include "Store/TransactionJournals.h"

#include "Store/PluginInventoryStore.h"

#include "Platform/TransactionLockFile.h"
#include "Shared/FrameCodec.h"
#include "Store/PrivilegedJournalKinds.h"
#include "Store/PrivilegedTransactionTexts.h"
#include "Store/TransactionJournalSupport.h"

#include <QPointer>
#include <QTimer>

// At launch every journal an earlier run left is settled against the disk: dropped when nothing
// moved, finalised when everything moved, kept (and said so) when the disk is mixed. The helper's
// transactions are all-or-nothing, but only once they have ended: while the helper still holds its
// transaction lock the disk may be half way, so nothing is concluded until the lock is free. And a
// helper killed in the middle of one undoes it at its next start, so a disk that looks mixed is
// settled only after the helper has been asked (and so started) once.

namespace quorvane {

namespace {

// How often a journal left for a running helper transaction is looked at again.
constexpr int helperTransactionPollMs = 500;

} // namespace

bool TransactionJournals::helperTransactionRunning() const {
    return TransactionLockFile::isHeld(helperTransactionLockPath(m_store.m_environment.roots));
}

template <class Kind>
void TransactionJournals::resolvePending() {
    auto& journal = journalOf<Kind>();
    if (!journal)
        return;
    if (helperTransactionRunning()) {
        waitForHelperTransaction();
        return;
    }
    if (dropUnverifiedJournal<Kind>())
        return;
    const JournalTexts texts = Kind::texts();
    const typename Kind::Request loaded = *journal;
    const bool everythingMoved = everyItemMoved(loaded.items);
    const bool nothingMoved = noItemMoved(loaded.items);

    if (nothingMoved && !everythingMoved) {
        journal.reset();
        m_store.saveState();
        return;
    }
    if (!everythingMoved) {
        if (!awaitHelperRecovery())
            m_store.setLastOperationError(texts.mixed);
        return;
    }

    // A finaliser that throws starts no write; only a commit whose write failed has saved since.
    const quint64 savesBefore = m_store.m_saveCount;
    finaliseAndSave<Kind>(loaded.transactionID, loaded.items,
                          [this, texts, transactionID = loaded.transactionID,
                           savesBefore](const std::optional<QString>& failure) {
                              if (failure) {
                                  // A journal whose finaliser threw stays, or its moved bundles would
                                  // be named by nothing. The quarantine's finaliser skips what it
                                  // applied, so after a failed write its records stay and are
                                  // written without the journal.
                                  if constexpr (!Kind::journalPutBackAtLaunch) {
                                      auto& settled = journalOf<Kind>();
                                      if (settled && settled->transactionID == transactionID &&
                                          m_store.m_saveCount != savesBefore)
                                          settled.reset();
                                      schedulePendingCheck();
                                      m_closingJournals.remove(transactionID);
                                  }
                                  m_store.setLastOperationError(texts.completedUnsaved);
                                  m_store.setLastStorageError(failure);
                                  return;
                              }
                              m_store.setLastStorageError(std::nullopt);
                              if constexpr (Kind::kind == PrivilegedKind::trash)
                                  pruneEmptyQuarantineFolders();
                          });
}

void TransactionJournals::resolveLaunchJournals() {
    resolvePending<Journal<PrivilegedKind::quarantine>>();
    resolvePending<Journal<PrivilegedKind::restore>>();
    resolvePending<Journal<PrivilegedKind::trash>>();
    resolvePending<Journal<PrivilegedKind::trashRecovery>>();
    // Start-up writes at once; later, the runs close only once the journals' commits are on disk.
    if (!m_store.m_stateWriter)
        m_store.m_cleanupRuns.reconcileCleanupPresetRuns();
    else
        m_store.saveState([this](const SaveResult&) { m_store.m_cleanupRuns.reconcileCleanupPresetRuns(); });
}

bool TransactionJournals::awaitHelperRecovery() {
    if (m_launchHandshake != LaunchHandshake::notAsked || !m_store.m_environment.helperHandshake)
        return m_launchHandshake == LaunchHandshake::running;
    m_launchHandshake = LaunchHandshake::running;
    const QPointer<PluginInventoryStore> self(&m_store);
    const bool asked = m_store.m_environment.helperHandshake([self, this] {
        if (!self)
            return;
        // Queued, so that the journals are never looked at again from inside a resolution.
        QMetaObject::invokeMethod(
            self.data(),
            [self, this] {
                if (!self)
                    return;
                m_launchHandshake = LaunchHandshake::done;
                resolveLaunchJournals();
            },
            Qt::QueuedConnection);
    });
    if (!asked)
        m_launchHandshake = LaunchHandshake::done;
    return asked;
}

void TransactionJournals::waitForHelperTransaction() {
    m_store.setLastOperationError(PrivilegedTransactionTexts::Launch::helperStillRunning);
    if (m_helperTransactionWait)
        return;
    m_helperTransactionWait = new QTimer(&m_store);
    m_helperTransactionWait->setInterval(helperTransactionPollMs);
    QObject::connect(m_helperTransactionWait, &QTimer::timeout, &m_store, [this] {
        if (helperTransactionRunning())
            return;
        m_helperTransactionWait->deleteLater();
        m_helperTransactionWait = nullptr;
        m_store.setLastOperationError(std::nullopt);
        resolveLaunchJournals();
    });
    m_helperTransactionWait->start();
}

} // namespace quorvane
