#include "Helper/FaultInjectingMoveOperation.h"

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace quorvane {

namespace {

void pauseUntilResumed(std::chrono::milliseconds pause, int resumeDescriptor) {
    if (resumeDescriptor < 0) {
        std::this_thread::sleep_for(pause);
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + pause;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        pollfd watched{resumeDescriptor, POLLIN, 0};
        const int ready = ::poll(&watched, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready > 0) {
            // One byte per pause, so that a later pause waits for its own.
            char byte = 0;
            (void)::read(resumeDescriptor, &byte, 1);
        }
        return;
    }
}

} // namespace

std::expected<void, SyscallError> FaultInjectingMoveOperation::move(const MoveStep& step) {
    const bool forward = step.direction == MoveStep::Direction::forward;
    if (forward && step.number == 1)
        ++m_transactions;
    if (!disturbsThisTransaction())
        return m_inner.move(step);
    if (forward && step.number == m_plan.pauseBeforeMove) {
        std::fprintf(stderr, "testbed: pausing before move %d\n", step.number);
        std::fflush(stderr);
        pauseUntilResumed(m_plan.pause, m_plan.resumeDescriptor);
    }
    if ((forward && step.number == m_plan.failMove) || (!forward && step.number == m_plan.failRollbackStep))
        return std::unexpected(SyscallError{EACCES});
    return m_inner.move(step);
}

void FaultInjectingMoveOperation::staged(int number) {
    if (disturbsThisTransaction() && number == m_plan.pauseBeforePlacement) {
        std::fprintf(stderr, "testbed: pausing before placing move %d\n", number);
        std::fflush(stderr);
        pauseUntilResumed(m_plan.pause, m_plan.resumeDescriptor);
    }
    m_inner.staged(number);
}

void FaultInjectingMoveOperation::arrived() {
    if (disturbsThisTransaction() && m_plan.pauseBeforeCommit) {
        std::fprintf(stderr, "testbed: pausing before the commit\n");
        std::fflush(stderr);
        pauseUntilResumed(m_plan.pause, m_plan.resumeDescriptor);
    }
    m_inner.arrived();
}

void FaultInjectingMoveOperation::beforeLock() {
    if (m_plan.pauseBeforeLock) {
        std::fprintf(stderr, "testbed: pausing before the transaction lock\n");
        std::fflush(stderr);
        pauseUntilResumed(m_plan.pause, m_plan.resumeDescriptor);
    }
    m_inner.beforeLock();
}

bool FaultInjectingMoveOperation::disturbsThisTransaction() const {
    return m_plan.onlyTransaction == 0 || m_transactions == m_plan.onlyTransaction;
}

} // namespace quorvane
