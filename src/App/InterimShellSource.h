#pragma once

#include "App/ShellSource.h"

namespace quorvane {

// What the window shows until the inventory store is wired in: plain values with no behaviour of
// their own, an empty inventory (every count 0) and no notice at launch. Tests and the
// screenshot tool set values through it; nothing in it reads the disk or stands for the store.
class InterimShellSource : public ShellSource {
    Q_OBJECT
public:
    using ShellSource::ShellSource;

    SidebarCounts sidebarCounts() const override { return m_counts; }
    std::optional<OperationNotice> notice() const override { return m_notice; }
    void dismissNotice(const QUuid& id) override;

    void setSidebarCounts(const SidebarCounts& counts);
    void setNotice(const std::optional<OperationNotice>& notice);

private:
    SidebarCounts m_counts;
    std::optional<OperationNotice> m_notice;
};

} // namespace quorvane
