#include "App/ClosedTransaction.h"

#include "Model/OperationNotice.h"
#include "Persistence/StateFileLocations.h"
#include "Store/PluginInventoryStore.h"
#include "Support/Paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

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
};

std::optional<Noted> inFlight(const PluginInventoryStore& store) {
    if (const auto& journal = store.pendingPrivilegedQuarantine())
        return Noted{QStringLiteral("quarantine"), journal->transactionID};
    if (const auto& journal = store.pendingPrivilegedRestore())
        return Noted{QStringLiteral("restore"), journal->transactionID};
    if (const auto& journal = store.pendingPrivilegedTrash())
        return Noted{QStringLiteral("trash"), journal->transactionID};
    if (const auto& journal = store.pendingPrivilegedTrashRestore())
        return Noted{QStringLiteral("trashRecovery"), journal->transactionID};
    return std::nullopt;
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

bool isPending(const PluginInventoryStore& store, const QString& transactionID) {
    const std::optional<Noted> pending = inFlight(store);
    return pending && pending->transactionID == transactionID;
}

bool isInHistory(const PluginInventoryStore& store, const QString& transactionID) {
    for (const HistoryItem& line : store.history()) {
        if (line.transactionID && line.transactionID->compare(transactionID, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// True once it has told (or found nothing to tell).
bool tellWhenSettled(PluginInventoryStore& store) {
    const QString path = noteOf(store);
    const std::optional<Noted> noted = readNote(path);
    if (!noted) {
        QFile::remove(path);
        return true;
    }
    // An unreadable state file holds no journal and no history to judge by: wait for a start that
    // reads it.
    if (store.fileActionsBlockedByStorage() || isPending(store, noted->transactionID))
        return false;
    const QString what = action(noted->kind);
    if (isInHistory(store, noted->transactionID))
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
    if (tellWhenSettled(store))
        return;
    // A journal left for a helper that is still at work, or for the helper's recovery, is settled
    // later; the note waits for it.
    auto* waiter = new QObject(context);
    QObject::connect(&store, &PluginInventoryStore::pendingPrivilegedTransactionChanged, waiter,
                     [&store, waiter] {
                         if (tellWhenSettled(store))
                             waiter->deleteLater();
                     });
}

} // namespace quorvane::ClosedTransaction
