#include "App/ClosedTransaction.h"

#include "Model/OperationNotice.h"
#include "Persistence/StateFileLocations.h"
#include "Store/PluginInventoryStore.h"
#include "Support/Paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <memory>
#include <optional>

namespace quorvane::ClosedTransaction {

namespace {

QString text(const char* source) {
    return QCoreApplication::translate("ClosedTransaction", source);
}

// What the note holds: the kind ("quarantine", "restore", "trash", "trashRecovery") and the
// transaction id, on one line.
struct Noted {
    QString kind;
    QString transactionID;
    qsizetype items = 0; // of a journal in the store; not kept in the note
};

std::optional<Noted> inFlight(const PluginInventoryStore& store) {
    const auto noted = [](const char* kind, const auto& journal) {
        return Noted{QString::fromLatin1(kind), journal->transactionID, qsizetype(journal->items.size())};
    };
    if (const auto& journal = store.pendingPrivilegedQuarantine())
        return noted("quarantine", journal);
    if (const auto& journal = store.pendingPrivilegedRestore())
        return noted("restore", journal);
    if (const auto& journal = store.pendingPrivilegedTrash())
        return noted("trash", journal);
    if (const auto& journal = store.pendingPrivilegedTrashRestore())
        return noted("trashRecovery", journal);
    return std::nullopt;
}

// The history line each moved bundle of the kind leaves.
HistoryKind movedLineKind(const QString& kind) {
    if (kind == QLatin1String("quarantine"))
        return HistoryKind::quarantine;
    if (kind == QLatin1String("restore"))
        return HistoryKind::restore;
    if (kind == QLatin1String("trash"))
        return HistoryKind::trash;
    return HistoryKind::trashRestore;
}

QString action(const QString& kind) {
    if (kind == QLatin1String("quarantine"))
        return text("a move to quarantine");
    if (kind == QLatin1String("restore"))
        return text("a restore from quarantine");
    if (kind == QLatin1String("trash"))
        return text("a move to the Trash");
    return text("a recovery from the Trash");
}

QString noteOf(const PluginInventoryStore& store) {
    return notePath(store.environment().applicationSupport);
}

std::optional<Noted> readNote(const QString& path) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QStringList fields = QString::fromUtf8(file.read(1024)).trimmed().split(u' ');
    if (fields.size() != 2 || fields[1].isEmpty())
        return std::nullopt;
    return Noted{fields[0], fields[1]};
}

// What the history holds of the transaction: a line per bundle it moved, and any other line (one
// settling wrote for a bundle found at neither place).
struct Recorded {
    qsizetype moved = 0;
    bool other = false;
};

Recorded recorded(const PluginInventoryStore& store, const Noted& noted) {
    Recorded found;
    const HistoryKind movedKind = movedLineKind(noted.kind);
    for (const HistoryItem& line : store.history()) {
        if (!line.transactionID || line.transactionID->compare(noted.transactionID, Qt::CaseInsensitive) != 0)
            continue;
        if (line.kind == movedKind)
            ++found.moved;
        else
            found.other = true;
    }
    return found;
}

// True once it has told (or found nothing to tell). `journalItems` keeps the size of the noted
// journal while the store holds it.
bool tellWhenSettled(PluginInventoryStore& store, std::optional<qsizetype>& journalItems) {
    const QString path = noteOf(store);
    const std::optional<Noted> noted = readNote(path);
    if (!noted) {
        QFile::remove(path);
        return true;
    }
    // An unreadable state file holds no journal and no history to judge by: wait for a start that
    // reads it.
    if (store.fileActionsBlockedByStorage())
        return false;
    if (const std::optional<Noted> pending = inFlight(store);
        pending && pending->transactionID == noted->transactionID) {
        journalItems = pending->items;
        return false;
    }
    const QString what = action(noted->kind);
    const Recorded found = recorded(store, *noted);
    // A journal settled from the disk may have been half done; settling says what it found.
    const bool partly = found.other || (journalItems && found.moved != 0 && found.moved != *journalItems);
    if (partly) {
        QFile::remove(path);
        return true;
    }
    if (found.moved > 0)
        store.presentNotice(OperationNotice::make(
            text("Last Action Completed"),
            text("Quorvane was closed while %1 was on its way to the privileged helper. The helper completed "
                 "it, and the history records it.")
                .arg(what),
            NoticeStyle::success));
    else
        store.presentNotice(OperationNotice::make(
            text("Last Action Did Not Happen"),
            text(
                "Quorvane was closed while %1 was on its way to the privileged helper. It did not happen: no "
                "plugin files were moved. Do it again if it is still wanted.")
                .arg(what),
            NoticeStyle::warning));
    QFile::remove(path);
    return true;
}

} // namespace

QString notePath(const QString& applicationSupport) {
    if (applicationSupport.isEmpty())
        return {};
    return appendingPathComponent(deletingLastPathComponent(inventoryStateFileURL(applicationSupport)),
                                  QStringLiteral("closed-transaction"));
}

void noteIfInFlight(const PluginInventoryStore& store) {
    const std::optional<Noted> noted = inFlight(store);
    const QString path = noteOf(store);
    if (!noted || path.isEmpty())
        return;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write((noted->kind + u' ' + noted->transactionID + u'\n').toUtf8());
        file.commit();
    }
}

void reportNoted(PluginInventoryStore& store, QObject* context) {
    auto journalItems = std::make_shared<std::optional<qsizetype>>();
    if (tellWhenSettled(store, *journalItems))
        return;
    // A journal left for a helper that is still at work, for the helper's recovery, or to be settled
    // from the disk, is settled later; the note waits for it.
    auto* waiter = new QObject(context);
    QObject::connect(&store, &PluginInventoryStore::pendingPrivilegedTransactionChanged, waiter,
                     [&store, waiter, journalItems] {
                         if (tellWhenSettled(store, *journalItems))
                             waiter->deleteLater();
                     });
}

} // namespace quorvane::ClosedTransaction
