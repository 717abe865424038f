#pragma once

#include "Helper/MoveOperation.h"
#include "Helper/TrashLedger.h"
#include "Platform/ConsoleUser.h"
#include "Platform/HomeTrash.h"
#include "Shared/PathPolicy.h"
#include "Shared/SystemRoots.h"
#include "Support/Fixtures/FixturePluginBundles.h"
#include "Support/Fixtures/TemporaryTree.h"
#include "Support/Paths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>
#include <QUuid>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quorvane::testing {

// The fake console user: as root, an unused uid that the home is handed to, so ownership checks see
// another user; otherwise the tester.
inline uid_t consoleTestUid() {
    return ::geteuid() == 0 ? uid_t(60001) : ::geteuid();
}

inline QString upperUuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

// The helper trusts a client program only when it and its folder are root-owned and closed to
// writes by group and others; a build tree made under a loose umask is tightened here.
inline bool makeTrustworthy(const QString& executable) {
    if (::geteuid() != 0)
        return false;
    for (const QString& path : {executable, executable.left(executable.lastIndexOf(QLatin1Char('/')))}) {
        struct stat status {};
        if (::stat(QFile::encodeName(path).constData(), &status) != 0 || status.st_uid != 0)
            return false;
        if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
            ::chmod(QFile::encodeName(path).constData(), status.st_mode & 07755);
    }
    return true;
}

// One entry of a tree audit: enough to tell that nothing moved, was replaced or changed type.
struct AuditEntry {
    QString path;
    mode_t type = 0;
    dev_t device = 0;
    ino_t inode = 0;

    bool operator==(const AuditEntry&) const = default;
};

inline void PrintTo(const AuditEntry& entry, std::ostream* out) {
    *out << entry.path.toStdString() << " (type " << entry.type << ", inode " << entry.inode << ")";
}

inline std::vector<AuditEntry> auditTree(const QString& root) {
    std::vector<AuditEntry> entries;
    QDirIterator iterator(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                          QDirIterator::Subdirectories);
    while (iterator.hasNext()) {
        const QString path = iterator.next();
        struct stat status {};
        if (::lstat(QFile::encodeName(path).constData(), &status) == 0)
            entries.push_back({path, mode_t(status.st_mode & S_IFMT), status.st_dev, status.st_ino});
    }
    std::sort(entries.begin(), entries.end(),
              [](const AuditEntry& a, const AuditEntry& b) { return a.path < b.path; });
    return entries;
}

inline bool isDirectory(const QString& path) {
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

inline bool existsNoFollow(const QString& path) {
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

// A temporary machine: the approved roots and the quarantine root under a prefix, and a console
// user whose home Trash (files/ and info/) exists and belongs to consoleTestUid.
class HelperTree {
public:
    HelperTree()
        : roots(makeRoots(tree)), policy(roots), home(tree.makeDirectory(QStringLiteral("home/console"))),
          trash(HomeTrash::filesFolder(home)) {
        for (const QString& root : policy.approvedSystemPluginRoots())
            QDir().mkpath(root);
        QDir().mkpath(trash);
        QDir().mkpath(HomeTrash::infoFolder(home));
        for (const QString& folder : {trash, HomeTrash::infoFolder(home), deletingLast(trash)})
            (void)::chown(QFile::encodeName(folder).constData(), consoleTestUid(), consoleTestUid());
        (void)::chown(QFile::encodeName(home).constData(), consoleTestUid(), consoleTestUid());
    }

    static SystemRoots makeRoots(const TemporaryTree& temporary) {
        QDir().mkpath(temporary.path(QStringLiteral("machine")));
        return SystemRoots::underPrefix(temporary.path(QStringLiteral("machine")));
    }

    static QString deletingLast(const QString& path) { return path.left(path.lastIndexOf(QLatin1Char('/'))); }

    QString vst3(const QString& name) const {
        return policy.approvedSystemPluginRoots().at(2) + QLatin1Char('/') + name;
    }
    QString component(const QString& name) const {
        return policy.approvedSystemPluginRoots().at(0) + QLatin1Char('/') + name;
    }
    QString quarantined(const QString& operationID, const QString& name) const {
        return policy.quarantineRoot() + QLatin1Char('/') + operationID + QLatin1Char('/') + name;
    }
    QString trashed(const QString& name) const { return trash + QLatin1Char('/') + name; }

    QString makeBundle(const QString& path) const { return testing::makeBundle(path); }

    std::vector<AuditEntry> audit() const { return auditTree(tree.path()); }

    TemporaryTree tree;
    SystemRoots roots;
    PathPolicy policy;
    QString home;
    QString trash;
    FixedConsoleUserProvider consoleUsers{ConsoleUser{consoleTestUid(), QStringLiteral("console"), home}};
    TrashLedger ledger{policy.quarantineRoot()};
};

// Records every step and hands it to a programmable reaction; the default is the real move.
class ScriptedMoveOperation final : public MoveOperation {
public:
    struct Record {
        MoveStep::Direction direction;
        int number;
        QString from;
        QString to;
    };

    std::function<std::expected<void, SyscallError>(const MoveStep&, MoveOperation& real)> react;
    std::vector<Record> records;

    [[nodiscard]] std::expected<void, SyscallError> move(const MoveStep& step) override {
        records.push_back({step.direction, step.number, step.fromPath(), step.toPath()});
        if (react)
            return react(step, m_real);
        return m_real.move(step);
    }

    [[nodiscard]] static std::expected<void, SyscallError> denied() {
        return std::unexpected(SyscallError{EACCES});
    }

private:
    RenameMoveOperation m_real;
};

} // namespace quorvane::testing
