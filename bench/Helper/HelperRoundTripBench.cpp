// A 256-bundle quarantine and its restore through the testbed helper over its socket, against mv of
// the same 256 folders there and back. Target: the helper takes at most 1.5 times as long as mv.
//
// The helper makes a new operation folder for the quarantine and removes it once the restore has
// emptied it, so mv moves into a new folder too, made before and removed after within its time: a
// folder kept from round to round has already grown to hold 256 entries and is never freed, which
// spares mv work the helper cannot skip. That figure is printed as well, for comparison.

#include "Platform/UnixSocketChannel.h"
#include "Shared/FrameCodec.h"
#include "Shared/PathPolicy.h"
#include "Shared/PrivilegedRequests.h"
#include "Shared/PrivilegedResults.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

using namespace quorvane;

namespace {

constexpr int bundleCount = 256;
constexpr int rounds = 11;
constexpr double targetRatio = 1.5;

QString uuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QString> call(UnixSocketChannel& channel, const char* method, const QByteArray& request) {
    const auto body = encodeFrameBody(FrameEnvelope{1, method, {QString::fromUtf8(request)}});
    if (!body || !channel.writeFrame(*body))
        return std::nullopt;
    const auto reply = channel.readFrame(maxFrameBodySize);
    if (!reply)
        return std::nullopt;
    const auto envelope = decodeFrameBody(*reply);
    if (!envelope || envelope->arguments.isEmpty())
        return std::nullopt;
    return envelope->arguments.front();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool runMv(const QStringList& arguments) {
    QProcess mv;
    mv.start(QStringLiteral("mv"), arguments);
    return mv.waitForFinished(60000) && mv.exitCode() == 0;
}

// mv of every bundle from `plugins` into `target` and back; the time taken, or nothing on failure.
// With `fresh`, `target` is made before and removed after, within the time.
std::optional<double> mvThereAndBack(const QString& plugins, const QString& target, const QStringList& names,
                                     bool fresh) {
    QStringList there{QStringLiteral("-t"), target};
    QStringList home{QStringLiteral("-t"), plugins};
    for (const QString& name : names) {
        there.append(plugins + QLatin1Char('/') + name);
        home.append(target + QLatin1Char('/') + name);
    }
    if (!fresh && !QDir().mkpath(target))
        return std::nullopt;
    QElapsedTimer timer;
    timer.start();
    const bool made = !fresh || QDir().mkdir(target);
    const bool moved = made && runMv(there) && runMv(home);
    const bool removed = moved && (!fresh || QDir().rmdir(target));
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    return removed ? std::optional(elapsed) : std::nullopt;
}

// The three syncs a transaction's record costs (the intent, its name in the folder, the commit mark),
// made alone in `folder` on a file of about the record's size, rewritten in place as the record's is:
// the part of the helper's time that is the disk's, however little else it does. Nothing on failure.
std::optional<double> recordSyncs(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/sync-probe"));
    const int file = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const int directory = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const QByteArray data(64 * 1024, 'x');
    QElapsedTimer timer;
    timer.start();
    const bool synced = file >= 0 && directory >= 0 &&
                        ::pwrite(file, data.constData(), std::size_t(data.size()), 0) == data.size() &&
                        ::fdatasync(file) == 0 && ::fsync(directory) == 0 && ::pwrite(file, "t", 1, 0) == 1 &&
                        ::fdatasync(file) == 0;
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;
    if (file >= 0)
        ::close(file);
    if (directory >= 0)
        ::close(directory);
    return synced ? std::optional(elapsed) : std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString base = QFileInfo(temporary.path()).canonicalFilePath();
    const SystemRoots roots = SystemRoots::underPrefix(base);
    const PathPolicy policy(roots);
    const QString vst3 = policy.approvedSystemPluginRoots().at(2);
    QDir().mkpath(vst3);
    QStringList names;
    for (int index = 0; index < bundleCount; ++index) {
        names.append(QStringLiteral("Bundle-%1.vst3").arg(index));
        QDir().mkpath(vst3 + QLatin1Char('/') + names.back() + QStringLiteral("/Contents/MacOS"));
    }

    QProcess testbed;
    testbed.setProcessChannelMode(QProcess::MergedChannels);
    const QString socketPath = base + QStringLiteral("/run/helper.sock");
    testbed.start(QStringLiteral(QUORVANE_HELPER_TESTBED),
                  {"--root", roots.prefix, "--socket", socketPath, "--client-exe",
                   QCoreApplication::applicationFilePath()});
    QByteArray output;
    while (!output.contains("is ready") && testbed.waitForReadyRead(10000))
        output += testbed.readAll();
    if (!output.contains("is ready")) {
        std::fprintf(stderr, "the testbed did not start: %s\n", output.constData());
        return 1;
    }

    std::vector<double> helperTimes;
    std::vector<double> mvTimes;
    std::vector<double> keptFolderMvTimes;
    std::vector<double> syncTimes;
    for (int round = 0; round < rounds; ++round) {
        const QString operation = uuid();
        PrivilegedQuarantineRequest quarantine{uuid(), {}};
        PrivilegedRestoreRequest restore{uuid(), {}};
        const QString folder = policy.quarantineRoot() + QLatin1Char('/') + operation;
        for (const QString& name : names) {
            quarantine.items.push_back(
                {vst3 + QLatin1Char('/') + name, folder + QLatin1Char('/') + name, operation});
            restore.items.push_back(
                {folder + QLatin1Char('/') + name, vst3 + QLatin1Char('/') + name, operation});
        }
        auto channel = UnixSocketChannel::connectTo(socketPath);
        if (!channel) {
            std::fprintf(stderr, "cannot connect to the testbed\n");
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        const auto moved = call(*channel, FrameMethod::quarantine, encode(quarantine));
        const auto back = call(*channel, FrameMethod::restore, encode(restore));
        helperTimes.push_back(double(timer.nsecsElapsed()) / 1e6);
        const auto movedResult = decodePrivilegedQuarantineResult(moved.value_or(QString()).toUtf8());
        const auto backResult = decodePrivilegedRestoreResult(back.value_or(QString()).toUtf8());
        if (!movedResult || !movedResult->succeeded || !backResult || !backResult->succeeded) {
            std::fprintf(stderr, "the helper round trip failed\n");
            return 1;
        }

        const auto mv =
            mvThereAndBack(vst3, policy.quarantineRoot() + QLatin1Char('/') + uuid(), names, true);
        const auto keptFolderMv =
            mvThereAndBack(vst3, policy.quarantineRoot() + QStringLiteral("/mv-target"), names, false);
        if (!mv || !keptFolderMv) {
            std::fprintf(stderr, "mv failed\n");
            return 1;
        }
        mvTimes.push_back(*mv);
        keptFolderMvTimes.push_back(*keptFolderMv);
        if (const auto syncs = recordSyncs(policy.quarantineRoot()))
            syncTimes.push_back(*syncs);
    }
    testbed.terminate();
    testbed.waitForFinished(10000);

    const double helper = median(helperTimes);
    const double mv = median(mvTimes);
    const double ratio = helper / mv;
    std::printf("256-bundle quarantine + restore through the helper socket: %.2f ms (median of %d)\n", helper,
                rounds);
    std::printf("mv of the same 256 folders into a new folder and back:     %.2f ms (median of %d)\n", mv,
                rounds);
    std::printf("  the same into a folder kept from round to round:         %.2f ms (helper / that %.2fx)\n",
                median(keptFolderMvTimes), helper / median(keptFolderMvTimes));
    if (!syncTimes.empty())
        std::printf("  of the helper's time, the records' syncs alone take about %.2f ms (2 x %.2f ms)\n",
                    2 * median(syncTimes), median(syncTimes));
    std::printf("ratio helper / mv: %.2fx (target <= 1.5x): %s\n", ratio,
                ratio <= targetRatio ? "met" : "NOT met");
    return 0;
}
