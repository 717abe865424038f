// Times a full plug-in scan against `du -sb` over the same folders, and the scan's growth from
// 5,000 to 20,000 bundles. Prints the figures and the targets they are measured against.

#include "Discovery/PluginScanner.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quorvane;

namespace {

constexpr double scanToDuTarget = 1.5;
constexpr double peakMegabytesTarget = 150;
constexpr double growthTarget = 4.4;

struct Row {
    const char* literal;
    const char* format;
    const char* extension;
};

constexpr Row rows[] = {
    {"/Library/Audio/Plug-Ins/Components", "AU", "component"},
    {"/Library/Audio/Plug-Ins/VST", "VST2", "vst"},
    {"/Library/Audio/Plug-Ins/VST3", "VST3", "vst3"},
    {"/Library/Application Support/Avid/Audio/Plug-Ins", "AAX", "aaxplugin"},
    {"/Library/Audio/Plug-Ins/CLAP", "CLAP", "clap"},
};

void writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    file.write(contents);
}

QByteArray infoPlist(int product, const QString& format, bool withComponents) {
    QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n";
    const QByteArray name = "Product " + QByteArray::number(product);
    const QByteArray vendor = "vendor" + QByteArray::number(product % 97);
    text += "<key>CFBundleName</key><string>" + name + "</string>\n";
    text += "<key>CFBundleIdentifier</key><string>com." + vendor + "." + format.toLatin1().toLower() + ".p" +
            QByteArray::number(product) + "</string>\n";
    text +=
        "<key>CFBundleShortVersionString</key><string>1." + QByteArray::number(product % 10) + "</string>\n";
    text += "<key>CFBundleVersion</key><string>" + QByteArray::number(product) + "</string>\n";
    text += "<key>CFBundleExecutable</key><string>Plugin</string>\n";
    text += "<key>CFBundlePackageType</key><string>BNDL</string>\n";
    if (withComponents) {
        text += "<key>AudioComponents</key><array><dict><key>name</key><string>Waves: Channel " +
                QByteArray::number(product) +
                "</string><key>type</key><string>aufx</string><key>version</key><integer>65792</integer>"
                "</dict></array>\n";
    }
    text += "</dict></plist>\n";
    return text;
}

QByteArray machO(int product) {
    QByteArray bytes;
    const bool universal = product % 3 == 0;
    const auto word = [&](quint32 value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.append(static_cast<char>((value >> shift) & 0xFF));
    };
    if (universal) {
        word(0xCAFEBABE);
        word(2);
        word(0x01000007);
        bytes.append(QByteArray(16, '\0'));
        word(0x0100000C);
        bytes.append(QByteArray(16, '\0'));
    } else {
        bytes.append("\xCF\xFA\xED\xFE\x0C\x00\x00\x01", 8); // thin little-endian arm64
    }
    bytes.append(QByteArray(2048, 'x'));
    return bytes;
}

QStringList treeLocations(const SystemRoots& roots, const QString& home) {
    QStringList locations;
    for (const Row& row : rows) {
        locations.append(roots.path(QString::fromLatin1(row.literal)));
        locations.append(home + QString::fromLatin1(row.literal));
    }
    return locations;
}

// `count` bundles spread over the five system locations and the five home ones, about 20 files
// each; one product in three has several formats, and some sit in vendor subfolders.
QStringList buildTree(const SystemRoots& roots, const QString& home, int count) {
    const QStringList locations = treeLocations(roots, home);
    for (const QString& location : locations)
        QDir().mkpath(location);
    const QByteArray resource(200, 'r');
    for (int i = 0; i < count; ++i) {
        const int rowIndex = i % 5;
        const Row& row = rows[rowIndex];
        const int product = i / 3;
        const QString location = locations[rowIndex * 2 + (i % 7 == 0 ? 1 : 0)];
        const QString folder =
            i % 4 == 0 ? location + QStringLiteral("/Vendor %1").arg(product % 50) : location;
        const QString bundle =
            folder + QStringLiteral("/Product %1 %2.%3").arg(product).arg(i).arg(row.extension);
        const QString contents = bundle + QStringLiteral("/Contents");
        QDir().mkpath(contents + QStringLiteral("/MacOS"));
        QDir().mkpath(contents + QStringLiteral("/Resources/en.lproj"));
        QDir().mkpath(contents + QStringLiteral("/_CodeSignature"));
        writeFile(contents + QStringLiteral("/Info.plist"),
                  infoPlist(product, QString::fromLatin1(row.format), rowIndex == 0 && i % 10 == 0));
        writeFile(contents + QStringLiteral("/PkgInfo"), "BNDL????");
        writeFile(contents + QStringLiteral("/MacOS/Plugin"), machO(product));
        writeFile(contents + QStringLiteral("/_CodeSignature/CodeResources"), resource);
        writeFile(contents + QStringLiteral("/Resources/en.lproj/InfoPlist.strings"), resource);
        for (int f = 0; f < 15; ++f)
            writeFile(contents + QStringLiteral("/Resources/asset%1.bin").arg(f), resource);
        writeFile(contents + QStringLiteral("/Resources/.hidden"), resource);
    }
    return locations;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

struct Timing {
    double scanMs = 0;
    double duMs = 0;
    size_t products = 0;
    size_t bundles = 0;
};

Timing measure(int bundleCount, int runs, const QString& base) {
    const QString rootFolder = base + QStringLiteral("/root");
    const QString home = base + QStringLiteral("/home");
    // A tree kept from an earlier run (--reuse) is scanned as it is.
    const bool reuse = QFileInfo::exists(rootFolder);
    QDir().mkpath(rootFolder);
    QDir().mkpath(home);
    const SystemRoots roots = SystemRoots::underPrefix(rootFolder);
    const QStringList locations = reuse ? treeLocations(roots, home) : buildTree(roots, home, bundleCount);
    const PluginScanner::Environment environment = PluginScanner::Environment::withRoots(roots, home);
    const QList<QUrl> authorized{QUrl::fromLocalFile(roots.prefix), QUrl::fromLocalFile(home)};

    Timing timing;
    std::vector<double> scans;
    std::vector<double> dus;
    for (int run = 0; run <= runs; ++run) { // run 0 warms the caches
        ScanControl control;
        int reports = 0;
        QElapsedTimer timer;
        timer.start();
        const ScanSummary summary = PluginScanner::scan(
            authorized, control, [&](const ScanProgress&) { ++reports; }, environment);
        const double scanMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        timing.products = summary.plugins.size();
        timing.bundles = 0;
        for (const Plugin& plugin : summary.plugins)
            timing.bundles += plugin.bundles ? plugin.bundles->size() : 0;

        QProcess du;
        du.setStandardOutputFile(QProcess::nullDevice());
        timer.restart();
        du.start(QStringLiteral("du"), QStringList{QStringLiteral("-sb")} + locations);
        du.waitForFinished(-1);
        const double duMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (du.exitStatus() != QProcess::NormalExit || du.exitCode() != 0) {
            std::fprintf(stderr, "du failed\n");
            std::exit(1);
        }
        if (run > 0) {
            scans.push_back(scanMs);
            dus.push_back(duMs);
        }
    }
    timing.scanMs = median(scans);
    timing.duMs = median(dus);
    return timing;
}

const char* verdict(bool met) {
    return met ? "met" : "NOT MET";
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int small = 5000;
    int large = 20000;
    int runs = 5;
    QString reuse; // keeps the small tree in this folder, for profiling
    const QStringList arguments = app.arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--bundles"))
            small = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--large"))
            large = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--runs"))
            runs = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--reuse"))
            reuse = arguments[i + 1];
    }
    if (small <= 0 || large <= 0 || runs <= 0) {
        std::fprintf(stderr, "usage: bench_scan [--bundles N] [--large N] [--runs N] [--reuse DIR]\n");
        return 2;
    }

    QTemporaryDir smallTree;
    const Timing first = measure(small, runs, reuse.isEmpty() ? smallTree.path() : reuse);
    const double firstPeak = peakMegabytes();
    const double ratio = first.scanMs / first.duMs;
    std::printf("bench_scan: %d bundles (about 20 files each), median of %d runs after a warm-up\n", small,
                runs);
    std::printf("  found             %zu products, %zu format bundles\n", first.products, first.bundles);
    std::printf("  scan              %.1f ms\n", first.scanMs);
    std::printf("  du -sb            %.1f ms\n", first.duMs);
    std::printf("  scan / du -sb     %.2f   (target <= %.1f: %s)\n", ratio, scanToDuTarget,
                verdict(ratio <= scanToDuTarget));
    std::printf("  peak RSS          %.1f MB (target <= %.0f MB: %s)\n", firstPeak, peakMegabytesTarget,
                verdict(firstPeak <= peakMegabytesTarget));

    if (!reuse.isEmpty())
        return 0;
    QTemporaryDir largeTree;
    const Timing second = measure(large, runs, largeTree.path());
    const double growth = second.scanMs / first.scanMs;
    std::printf("bench_scan: %d bundles\n", large);
    std::printf("  found             %zu products, %zu format bundles\n", second.products, second.bundles);
    std::printf("  scan              %.1f ms (du -sb %.1f ms)\n", second.scanMs, second.duMs);
    std::printf("  scan %d / scan %d  %.2f   (target <= %.1f: %s)\n", large, small, growth, growthTarget,
                verdict(growth <= growthTarget));
    std::printf("  peak RSS          %.1f MB\n", peakMegabytes());
    return 0;
}
