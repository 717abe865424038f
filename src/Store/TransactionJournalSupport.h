#pragma once

// What the finalisers of the privileged kinds share: how they compare journal paths and how they find
// the bundle records a journal's items name. Only the store's own source files include this.

#include "Model/Identity.h"
#include "Model/Plugin.h"
#include "Persistence/PrivilegedInventoryCommitError.h"
#include "Shared/HomeTrashLocation.h"
#include "Store/BundleRecordIndex.h"
#include "Store/JournalPolicy.h"
#include "Store/PluginInventoryStore.h"
#include "Store/PrivilegedTransactionTexts.h"
#include "Store/TransactionJournals.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace quorvane {

// stat(2), following links, of the path as written.
bool pathExists(const QString& path);

// The form in which the finalisers compare two paths.
inline bool samePath(const QString& a, const QString& b) {
    return plainEqual(pathKey(a), pathKey(b));
}

// Whether two items of one transaction may name the same record.
enum class SharedRecordRule { allowed, refused };

// The record of each item, in item order, up to the first item that has none; `error` says why that
// item has none.
struct JournalItemMatches {
    std::vector<BundleRecordIndex::Location> locations;
    std::optional<PrivilegedInventoryCommitError> error;
};

// Each item's `sourcePath` is looked up by the records' path `by` among the records that
// `accepts(record, item)`; in an inventory without products the first item already has none.
// Matching reads the inventory only.
template <class Item, class Accept>
JournalItemMatches matchJournalItems(const PluginListEdit& plugins, const std::vector<Item>& items,
                                     BundleRecordIndex::By by, Accept accepts, SharedRecordRule sharing) {
    QStringList wanted;
    wanted.reserve(static_cast<qsizetype>(items.size()));
    for (const Item& item : items)
        wanted.append(item.sourcePath);
    const BundleRecordIndex index(plugins, by, wanted);
    JournalItemMatches matches;
    for (const Item& item : items) {
        auto match = index.matchOne(plugins, item.sourcePath,
                                    [&](const PluginBundleRecord& record) { return accepts(record, item); });
        if (match && sharing == SharedRecordRule::refused &&
            std::ranges::find(matches.locations, *match) != matches.locations.end())
            match = std::unexpected(PrivilegedInventoryCommitError::duplicateInventoryRecord);
        if (!match) {
            matches.error = match.error();
            break;
        }
        matches.locations.push_back(*match);
    }
    return matches;
}

template <class Kind>
auto& TransactionJournals::journalOf() {
    if constexpr (Kind::kind == PrivilegedKind::quarantine)
        return m_pendingPrivilegedQuarantine;
    else if constexpr (Kind::kind == PrivilegedKind::restore)
        return m_pendingPrivilegedRestore;
    else if constexpr (Kind::kind == PrivilegedKind::trash)
        return m_pendingPrivilegedTrash;
    else
        return m_pendingPrivilegedTrashRestore;
}

template <class Item>
bool TransactionJournals::everyItemMoved(const std::vector<Item>& items) {
    return std::ranges::all_of(items, [](const Item& item) {
        return !pathExists(item.sourcePath) && pathExists(item.destinationPath);
    });
}

template <class Item>
bool TransactionJournals::noItemMoved(const std::vector<Item>& items) {
    return std::ranges::all_of(items, [](const Item& item) {
        return pathExists(item.sourcePath) && !pathExists(item.destinationPath);
    });
}

template <class Kind>
bool TransactionJournals::dropUnverifiedJournal() {
    auto& journal = journalOf<Kind>();
    if (!journal)
        return false;
    std::optional<QString> reason;
    if constexpr (requires { journalRefusal(*journal, m_store.m_pathPolicy); })
        reason = journalRefusal(*journal, m_store.m_pathPolicy);
    else
        reason = journalRefusal(*journal, m_store.m_pathPolicy, homeTrashFilesFolder(homeFolder()));
    // Then against what the inventory already holds.
    if constexpr (requires { journalRecordRefusal(*journal, m_store.plugins()); }) {
        if (!reason)
            reason = journalRecordRefusal(*journal, m_store.plugins());
    }
    if (!reason)
        return false;
    journal.reset();
    m_store.saveState();
    m_store.reportOperationError(PrivilegedTransactionTexts::Launch::droppedTitle,
                                 PrivilegedTransactionTexts::Launch::dropped(Kind::name, *reason));
    return true;
}

template <class Kind>
std::optional<typename Kind::Request> TransactionJournals::writeJournal(const typename Kind::Request& request,
                                                                        Send<typename Kind::Request> send,
                                                                        PathKeySet scanPaths) {
    const bool callerSends = !send;
    std::shared_ptr<ScanControl> scan = m_store.m_scan.control();
    m_unwrittenJournals.insert(request.transactionID);
    m_store.saveState([this, request, send = std::move(send), scan = std::move(scan),
                       scanPaths = std::move(scanPaths)](const SaveResult& saved) {
        m_unwrittenJournals.remove(request.transactionID);
        schedulePendingCheck();
        if (!saved) {
            auto& journal = journalOf<Kind>();
            if (journal && journal->transactionID == request.transactionID)
                journal.reset();
            m_store.m_scan.forgetTransactionPaths(scan, scanPaths);
            if constexpr (Kind::kind == PrivilegedKind::quarantine)
                unlinkPresetRunChildTransaction(request.transactionID);
            m_store.setLastStorageError(saved.error().description());
            const JournalTexts texts = Kind::texts();
            m_store.reportOperationError(texts.refusalTitle, texts.saveFailure);
        } else {
            m_store.setLastStorageError(std::nullopt);
        }
        if (send) {
            // A journal settled or dropped meanwhile no longer speaks for its request: it never leaves.
            const auto& journal = journalOf<Kind>();
            const bool stillOurs = saved && journal && journal->transactionID == request.transactionID;
            if (stillOurs)
                m_awaitingAnswer.insert(request.transactionID);
            send(stillOurs ? std::optional(request) : std::nullopt);
        }
    });
    if (!callerSends)
        return request;
    // The caller sends the request it gets back: it may leave only once its journal is on disk.
    m_store.waitForIdle();
    const auto& journal = journalOf<Kind>();
    return journal && journal->transactionID == request.transactionID ? journal : std::nullopt;
}

template <class Kind>
void TransactionJournals::finaliseAndSave(const QString& transactionID,
                                          const std::vector<typename Kind::Item>& items,
                                          std::function<void(const std::optional<QString>& failure)> then) {
    Snapshot snapshot = takeSnapshot(Kind::putBack);
    if (const auto finalised = finaliseItems(transactionID, items); !finalised) {
        putBack(std::move(snapshot));
        then(description(finalised.error()));
        return;
    }
    m_closingJournals.insert(transactionID);
    m_store.saveState([this, transactionID, snapshot = std::move(snapshot), then = std::move(then),
                       count = m_store.m_saveCount + 1](const SaveResult& saved) mutable {
        schedulePendingCheck();
        auto& journal = journalOf<Kind>();
        if (saved) {
            m_closingJournals.remove(transactionID);
            if (journal && journal->transactionID == transactionID)
                journal.reset();
            then(std::nullopt);
            return;
        }
        if (count == m_store.m_saveCount) {
            m_closingJournals.remove(transactionID);
            putBack(std::move(snapshot));
        }
        then(saved.error().description());
    });
}

} // namespace quorvane
