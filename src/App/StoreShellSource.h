#pragma once

#include "App/ShellSource.h"

#include <QUuid>

#include <optional>

namespace quorvane {

class PluginInventoryStore;

// The shell's view of the inventory store: the five badge counts, recomputed once after the store
// publishes any change (the Trash count also depends on the disk) — one action publishes several
// changes, and each count is a pass over the whole inventory — and the store's notice, which a
// dismissal clears only while it is still the dismissed one.
class StoreShellSource : public ShellSource {
    Q_OBJECT
public:
    explicit StoreShellSource(PluginInventoryStore& store, QObject* parent = nullptr);

    SidebarCounts sidebarCounts() const override { return m_counts; }
    std::optional<OperationNotice> notice() const override;
    void dismissNotice(const QUuid& id) override;

private slots:
    void storeChanged();
    void recount();

private:
    SidebarCounts countsNow() const;
    void publishNotice();

    PluginInventoryStore& m_store;
    SidebarCounts m_counts;
    bool m_recountPending = false;
    std::optional<OperationNotice> m_notice;
};

} // namespace quorvane
