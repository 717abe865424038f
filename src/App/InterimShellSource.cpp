#include "App/InterimShellSource.h"

namespace quorvane {

void InterimShellSource::dismissNotice(const QUuid& id) {
    if (m_notice && m_notice->id == id)
        setNotice(std::nullopt);
}

void InterimShellSource::setSidebarCounts(const SidebarCounts& counts) {
    if (counts == m_counts)
        return;
    m_counts = counts;
    emit sidebarCountsChanged();
}

void InterimShellSource::setNotice(const std::optional<OperationNotice>& notice) {
    if (notice == m_notice)
        return;
    m_notice = notice;
    emit noticeChanged();
}

} // namespace quorvane
