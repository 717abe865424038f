#pragma once

#include "App/SidebarCounts.h"
#include "Model/OperationNotice.h"

#include <QObject>
#include <QUuid>

#include <optional>

namespace quorvane {

// What the window's shell reads from the long-lived objects: the sidebar counts and the one
// notice the window shows. The store's adapter computes the counts as SidebarCounts documents and
// forwards the store's notice; the screens get the objects themselves.
class ShellSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual SidebarCounts sidebarCounts() const = 0;
    virtual std::optional<OperationNotice> notice() const = 0;
    // The alert that showed notice `id` was dismissed: clears the notice only while it is still
    // that one, so a newer notice is never lost.
    virtual void dismissNotice(const QUuid& id) = 0;

signals:
    void sidebarCountsChanged();
    void noticeChanged();
};

} // namespace quorvane
