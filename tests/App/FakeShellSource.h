#pragma once

#include "App/ShellSource.h"

namespace quorvane::testing {

// A shell source of plain values that a test sets directly.
class FakeShellSource : public ShellSource {
public:
    using ShellSource::ShellSource;

    SidebarCounts sidebarCounts() const override { return m_counts; }
    std::optional<OperationNotice> notice() const override { return m_notice; }
    void dismissNotice(const QUuid& id) override {
        if (m_notice && m_notice->id == id)
            setNotice(std::nullopt);
    }

    void setNotice(const std::optional<OperationNotice>& notice) {
        if (notice == m_notice)
            return;
        m_notice = notice;
        emit noticeChanged();
    }

private:
    SidebarCounts m_counts;
    std::optional<OperationNotice> m_notice;
};

} // namespace quorvane::testing
