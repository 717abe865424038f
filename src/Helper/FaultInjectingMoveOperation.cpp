#include "Helper/FaultInjectingMoveOperation.h"

#include <cerrno>
#include <cstdio>
#include <thread>

namespace quorvane {

std::expected<void, SyscallError> FaultInjectingMoveOperation::move(const MoveStep& step) {
    const bool forward = step.direction == MoveStep::Direction::forward;
    if (forward && step.number == m_plan.pauseBeforeMove) {
        std::fprintf(stderr, "testbed: pausing before move %d\n", step.number);
        std::fflush(stderr);
        std::this_thread::sleep_for(m_plan.pause);
    }
    if ((forward && step.number == m_plan.failMove) || (!forward && step.number == m_plan.failRollbackStep))
        return std::unexpected(SyscallError{EACCES});
    return m_inner.move(step);
}

} // namespace quorvane
