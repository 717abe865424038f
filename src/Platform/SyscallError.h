#pragma once

#include <QString>

namespace quorvane {

// A failed system call: the errno it left, for the few callers that branch on it, and a sentence
// for people.
struct SyscallError {
    int code = 0;

    // One sentence; cross-device moves get their own, because they are refused on purpose.
    QString description() const;

    static SyscallError fromErrno();

    bool operator==(const SyscallError&) const = default;
};

} // namespace quorvane
