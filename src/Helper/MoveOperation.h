#pragma once

#include "Platform/DirectoryHandle.h"
#include "Platform/SyscallError.h"

#include <QString>

#include <expected>

namespace quorvane {

// One move of a bundle between two held folders, as the transaction asks for it.
struct MoveStep {
    enum class Direction { forward, rollback };

    Direction direction = Direction::forward;
    // 1-based: the n-th forward move, or the n-th rollback step, of the transaction.
    int number = 0;
    const DirectoryHandle& fromFolder;
    QString fromName;
    const DirectoryHandle& toFolder;
    QString toName;

    QString fromPath() const { return fromFolder.path() + QLatin1Char('/') + fromName; }
    QString toPath() const { return toFolder.path() + QLatin1Char('/') + toName; }
};

// The move step of the transactions, replaceable so that tests, the testbed and the fuzzer can
// record moves or make them fail. Whatever it reports, the transaction checks the disk itself.
class MoveOperation {
public:
    virtual ~MoveOperation() = default;
    [[nodiscard]] virtual std::expected<void, SyscallError> move(const MoveStep& step) = 0;
    // Between the two renames of a bundle that passes through the staging folder, once it has been
    // checked there; `number` is that of its forward move. Only the testbed waits here.
    virtual void staged(int number) { (void)number; }
    // Every bundle is moved and checked, just before the transaction is marked committed. Only the
    // testbed waits here.
    virtual void arrived() {}
    // A request has been read and is about to wait for the transaction lock. Only the testbed waits
    // here.
    virtual void beforeLock() {}
};

// The real move: renameat2(RENAME_NOREPLACE) between the held folders. It never replaces, never
// follows a link and never copies, so it either moves the whole bundle or leaves everything as it
// was; a move across file systems fails with EXDEV.
class RenameMoveOperation final : public MoveOperation {
public:
    [[nodiscard]] std::expected<void, SyscallError> move(const MoveStep& step) override {
        return renameNoReplace(step.fromFolder, step.fromName, step.toFolder, step.toName);
    }
};

} // namespace quorvane
