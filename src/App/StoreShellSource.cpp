#include "App/StoreShellSource.h"

#include "Store/PluginInventoryStore.h"

#include <QMetaMethod>

namespace quorvane {

StoreShellSource::StoreShellSource(PluginInventoryStore& store, QObject* parent)
    : ShellSource(parent), m_store(store) {
    m_counts = countsNow();
    m_notice = notice();
    // Every signal the store declares, so that a published value added later is followed too, but
    // the scan's progress: it comes many times a second and moves no badge, and recounting a large
    // inventory each time would hold up the window for the whole scan.
    const QMetaObject& storeType = PluginInventoryStore::staticMetaObject;
    const QMetaMethod follow = staticMetaObject.method(staticMetaObject.indexOfSlot("storeChanged()"));
    const QMetaMethod progress = QMetaMethod::fromSignal(&PluginInventoryStore::scanProgressChanged);
    for (int index = storeType.methodOffset(); index < storeType.methodCount(); ++index) {
        const QMetaMethod method = storeType.method(index);
        if (method.methodType() == QMetaMethod::Signal && method != progress)
            connect(&m_store, method, this, follow);
    }
}

std::optional<OperationNotice> StoreShellSource::notice() const {
    return m_store.notice();
}

void StoreShellSource::dismissNotice(const QUuid& id) {
    m_store.dismissNotice(id);
}

void StoreShellSource::storeChanged() {
    if (!m_recountPending) {
        m_recountPending = true;
        QMetaObject::invokeMethod(this, &StoreShellSource::recount, Qt::QueuedConnection);
    }
    publishNotice();
}

void StoreShellSource::recount() {
    m_recountPending = false;
    if (const SidebarCounts counts = countsNow(); counts != m_counts) {
        m_counts = counts;
        emit sidebarCountsChanged();
    }
}

SidebarCounts StoreShellSource::countsNow() const {
    SidebarCounts counts;
    counts.inventoryCount = m_store.activePluginCount();
    counts.protectedCount = countProtectedPlugins(m_store.plugins());
    counts.quarantineCount = m_store.quarantinedBundleCount();
    counts.trashRecoveryCount = m_store.restorableTrashRecordCount();
    counts.historyCount = countHistoryOperations(m_store.history());
    return counts;
}

void StoreShellSource::publishNotice() {
    std::optional<OperationNotice> current = notice();
    if (current == m_notice)
        return;
    m_notice = std::move(current);
    emit noticeChanged();
}

} // namespace quorvane
