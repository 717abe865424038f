#pragma once

#include <QString>
#include <QUuid>

namespace quorvane {

enum class NoticeStyle {
    success,
    warning,
};

// The one notice the window shows after an operation. Never stored.
struct OperationNotice {
    QUuid id; // fresh for every notice
    QString title;
    QString message; // one or more full sentences
    NoticeStyle style = NoticeStyle::success;

    // A notice with a fresh id.
    static OperationNotice make(const QString& title, const QString& message, NoticeStyle style);

    bool operator==(const OperationNotice& other) const;
};

} // namespace quorvane
