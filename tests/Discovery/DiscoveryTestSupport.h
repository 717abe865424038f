#pragma once

#include "Discovery/PluginScanner.h"
#include "Support/Fixtures/FixtureAudioUnitRegistry.h"
#include "Support/Fixtures/FixturePluginBundles.h"
#include "Support/Fixtures/FixtureQtPrinters.h"
#include "Support/Fixtures/FixtureTextLocale.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <ostream>

namespace quorvane {

inline void PrintTo(const ScanProgress& p, std::ostream* out) {
    *out << "{" << p.format.toStdString() << " " << p.location.toStdString() << " " << p.completedLocations
         << "/" << p.totalLocations << " bundles " << p.discoveredBundles << "}";
}

inline void PrintTo(const Plugin& p, std::ostream* out) {
    *out << "{" << p.manufacturer.toStdString() << "|" << p.name.toStdString() << " " << p.path.toStdString()
         << "}";
}

namespace testing {

// A scan environment beneath a temporary folder: the system folders under root/, the home folder
// at home/, and a registry that answers what the test puts in.
class ScanFixture : public ::testing::Test {
protected:
    void SetUp() override {
        roots = SystemRoots::underPrefix(tree.makeDirectory("root"));
        home = tree.makeDirectory("home");
        registry = std::make_shared<FakeAudioUnitRegistry>();
        rebuildEnvironment();
    }
    void rebuildEnvironment() { environment = PluginScanner::Environment{roots, home, registry, opener}; }
    void setRegistry(std::vector<AudioUnitComponent> components) {
        registry = std::make_shared<FakeAudioUnitRegistry>(std::move(components));
        rebuildEnvironment();
    }

    QString system(const QString& literal) const { return roots.path(literal); }
    QUrl systemUrl(const QString& literal) const { return QUrl::fromLocalFile(system(literal)); }
    // Relative to the tree.
    QString systemRelative(const QString& literal) const { return QStringLiteral("root") + literal; }

    QString writePlugin(const QString& literalFolder, const QString& fileName, const QString& name,
                        const QString& identifier, const QByteArray& executable = thinMachO(cpuTypeArm64)) {
        return writeBundle(
            tree, systemRelative(literalFolder) + QLatin1Char('/') + fileName,
            BundleLayout{bundleInfo(name, identifier, QStringLiteral("1.0")), {}, executable, {}});
    }

    ScanSummary scan(const QList<QUrl>& folders, std::vector<ScanProgress>* reports = nullptr) {
        return PluginScanner::scan(
            folders, control,
            [&](const ScanProgress& progress) {
                if (reports)
                    reports->push_back(progress);
            },
            environment);
    }

    TemporaryTree tree;
    SystemRoots roots;
    QString home;
    std::shared_ptr<FakeAudioUnitRegistry> registry;
    DirectoryWalker::DirectoryOpener opener;
    PluginScanner::Environment environment;
    ScanControl control;

private:
    PinnedTextLocale m_locale;
};

} // namespace testing
} // namespace quorvane
