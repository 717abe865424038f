#pragma once

#include "Helper/MoveOperation.h"

#include <chrono>

namespace quorvane {

// Which steps of every transaction to disturb; 0 disturbs nothing. Used by the testbed and the
// tests only: real permission failures cannot be provoked when the tests run as root.
struct FaultPlan {
    int failMove = 0;
    int failRollbackStep = 0;
    int pauseBeforeMove = 0;
    std::chrono::milliseconds pause{30000};
    // When set, a pause also ends as soon as one byte can be read from this descriptor (or it is
    // closed), so that a test resumes the transaction when it is ready instead of racing a clock.
    int resumeDescriptor = -1;
    // Disturbs only the n-th transaction (1-based) the helper moves anything in; 0: every one.
    int onlyTransaction = 0;
    // Pauses a Trash move or recovery between the two renames of its n-th bundle.
    int pauseBeforePlacement = 0;
    // Pauses once every bundle is moved, before the transaction is marked committed.
    bool pauseBeforeCommit = false;
    // Pauses every request once it has been read, before it takes the transaction lock.
    bool pauseBeforeLock = false;

    bool operator==(const FaultPlan&) const = default;
};

// Fails the chosen steps with EACCES without touching the disk, pauses before the chosen forward
// move or between the chosen bundle's two renames (announcing it on stderr first, so a test knows
// when to act) until the pause elapses or the resume descriptor is readable, and hands every other
// step to the real move.
class FaultInjectingMoveOperation final : public MoveOperation {
public:
    FaultInjectingMoveOperation(FaultPlan plan, MoveOperation& inner) : m_plan(plan), m_inner(inner) {}
    [[nodiscard]] std::expected<void, SyscallError> move(const MoveStep& step) override;
    void staged(int number) override;
    void arrived() override;
    void beforeLock() override;

private:
    bool disturbsThisTransaction() const;

    FaultPlan m_plan;
    MoveOperation& m_inner;
    // Transactions seen so far; the helper runs one at a time.
    int m_transactions = 0;
};

} // namespace quorvane
