// From socket bytes to disk: frames are decoded, each call goes through the helper's service
// (decoding, policy, transaction) over a small temporary machine, with moves recorded and some of
// them failed. After every input each bundle must still exist exactly once: never lost, never
// doubled, whatever the request said.
//
// Input: one byte choosing the failing forward move (low 3 bits) and rollback step (next 2 bits),
// then frames. "@ROOT@" in a call's arguments stands for the temporary machine's folder, so the
// corpus does not depend on where it runs.

#include "Helper/FaultInjectingMoveOperation.h"
#include "Helper/HelperService.h"
#include "Platform/ConsoleUser.h"
#include "Platform/HomeTrash.h"
#include "Shared/FrameCodec.h"
#include "Shared/PathPolicy.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace quorvane;

constexpr uid_t consoleUid = 60001;
const QString operationID = QStringLiteral("11111111-2222-3333-4444-555555555555");

struct Machine {
    QTemporaryDir folder;
    QString root;
    SystemRoots roots;
    QString home;
};

Machine& machine() {
    static Machine* instance = [] {
        auto* created = new Machine;
        created->root = QFileInfo(created->folder.path()).canonicalFilePath();
        created->roots = SystemRoots{created->root + QStringLiteral("/machine")};
        created->home = created->roots.prefix + QStringLiteral("/home");
        return created;
    }();
    return *instance;
}

void makeBundle(const QString& path) {
    QDir().mkpath(path + QStringLiteral("/Contents"));
}

// The bundles of a fresh machine, by path, with their inodes once made.
std::map<ino_t, QString> buildMachine() {
    Machine& m = machine();
    QDir(m.root).removeRecursively();
    QDir().mkpath(m.root);
    const PathPolicy policy(m.roots);
    for (const QString& root : policy.approvedSystemPluginRoots())
        QDir().mkpath(root);
    const QString vst3 = policy.approvedSystemPluginRoots().at(2);
    const QString components = policy.approvedSystemPluginRoots().at(0);
    const QString operation = policy.quarantineRoot() + QLatin1Char('/') + operationID;
    const QString trash = HomeTrash::filesFolder(m.home);
    QDir().mkpath(trash);
    QDir().mkpath(HomeTrash::infoFolder(m.home));
    for (const QString& folder : {trash, HomeTrash::infoFolder(m.home)})
        (void)::chown(QFile::encodeName(folder).constData(), consoleUid, consoleUid);

    std::map<ino_t, QString> bundles;
    for (const QString& path :
         {vst3 + "/A.vst3", vst3 + "/B.vst3", vst3 + "/Vendor/D.vst3", components + "/C.component",
          operation + "/Q.vst3", operation + "/R.component", trash + "/T.vst3", trash + "/U.component"}) {
        makeBundle(path);
        struct stat status {};
        if (::lstat(QFile::encodeName(path).constData(), &status) == 0)
            bundles[status.st_ino] = path;
    }
    return bundles;
}

void checkConservation(const std::map<ino_t, QString>& bundles) {
    std::map<ino_t, int> seen;
    QDirIterator iterator(machine().root,
                          QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                          QDirIterator::Subdirectories);
    while (iterator.hasNext()) {
        struct stat status {};
        if (::lstat(QFile::encodeName(iterator.next()).constData(), &status) == 0 &&
            S_ISDIR(status.st_mode) && bundles.count(status.st_ino))
            ++seen[status.st_ino];
    }
    for (const auto& [inode, path] : bundles) {
        if (seen[inode] != 1) {
            std::fprintf(stderr, "bundle %s is present %d times\n", qPrintable(path), seen[inode]);
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    QLoggingCategory::setFilterRules(QStringLiteral("com.orsolind.Quorvane.helper.*=false"));
    machine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    FaultPlan plan;
    plan.failMove = data[0] & 7;
    plan.failRollbackStep = (data[0] >> 3) & 3;

    FrameDecoder decoder;
    decoder.append(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));
    std::vector<FrameEnvelope> calls;
    while (calls.size() < 4) {
        auto next = decoder.next();
        if (!next || !*next)
            break;
        calls.push_back(std::move(**next));
    }
    if (calls.empty())
        return 0;

    const auto bundles = buildMachine();
    Machine& m = machine();
    RenameMoveOperation realMove;
    FaultInjectingMoveOperation faults(plan, realMove);
    FixedConsoleUserProvider console(ConsoleUser{consoleUid, QStringLiteral("console"), m.home});
    HelperService service(HelperServiceConfiguration{m.roots, {}, &faults, helperBuild()}, console);
    for (FrameEnvelope& call : calls) {
        for (QString& argument : call.arguments)
            argument.replace(QStringLiteral("@ROOT@"), m.roots.prefix);
        if (const auto body = service.handle(call)) {
            // The reply goes out as an encoded body: it must read back as the answer to this call.
            const auto reply = decodeFrameBody(*body);
            if (!reply || reply->id != call.id)
                std::abort();
            // For checking what the seeds reach: QUORVANE_FUZZ_VERBOSE=1 fuzzer corpus/FILE
            if (std::getenv("QUORVANE_FUZZ_VERBOSE"))
                std::fprintf(stderr, "%s\n", qPrintable(reply->arguments.join(QLatin1Char(' '))));
        }
    }
    checkConservation(bundles);
    return 0;
}
