// The format cleanup screen driven through the real window in the sandbox, with the testbed as the
// helper, over more bundles than one helper transaction may hold.

#include "App/RootView.h"
#include "App/Sandbox/Sandbox.h"
#include "Support/Fixtures/FixturePluginBundles.h"
#include "Support/Fixtures/TemporaryTree.h"
#include "Views/Screens/FormatCleanup/FormatCleanupRunController.h"
#include "Views/Screens/FormatCleanup/FormatCleanupView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

constexpr int extraProducts = 300;

bool writeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

class FormatCleanupEndToEnd : public ::testing::Test {
protected:
    // The sandbox with `extraProducts` more products, each with an AU and a VST2 bundle, scanned.
    void open(Sandbox::Options options = {}) {
        auto made = Sandbox::create(dir.path(QStringLiteral("sandbox")), std::move(options));
        ASSERT_TRUE(made) << made.error().toStdString();
        sandbox = std::move(*made);
        for (int index = 0; index < extraProducts; ++index) {
            const QString name = QStringLiteral("Bulk %1").arg(index, 3, 10, QLatin1Char('0'));
            QVariantMap info = testing::bundleInfo(name, QStringLiteral("com.bulkworks.bulk%1").arg(index),
                                                   QStringLiteral("1.0"));
            info.insert(QStringLiteral("Manufacturer"), QStringLiteral("Bulkworks"));
            for (const auto& [folder, extension] :
                 {std::pair{QStringLiteral("/Library/Audio/Plug-Ins/Components"),
                            QStringLiteral(".component")},
                  std::pair{QStringLiteral("/Library/Audio/Plug-Ins/VST"), QStringLiteral(".vst")}}) {
                const QString contents = sandbox->roots.path(folder) + u'/' + name + extension + "/Contents/";
                ASSERT_TRUE(writeFile(contents + "Info.plist", testing::xmlPropertyList(info)));
                ASSERT_TRUE(writeFile(contents + "MacOS/Plugin", testing::thinMachO(testing::cpuTypeArm64)));
            }
        }
        window = std::make_unique<RootView>(sandbox->objects());
        window->resize(1440, 900);
        window->show();
        ASSERT_TRUE(Sandbox::waitUntil([&] { return service().helperIsReachable(); }))
            << service().lastError().value_or(QString()).toStdString();
        store().startScan(window->folderAccess().authorizedFolders(), &service());
        ASSERT_TRUE(Sandbox::waitUntil([&] { return !store().isScanning() && !service().isWorking(); }));
    }
    void TearDown() override { window.reset(); }

    PluginInventoryStore& store() { return window->inventoryStore(); }
    PluginManagementService& service() { return window->managementService(); }
    FormatCleanupRunController& run() { return window->cleanupRun(); }

    FormatCleanupView* showCleanup() {
        window->navigation().setSection(AppSection::formatCleanup);
        QApplication::processEvents();
        return qobject_cast<FormatCleanupView*>(window->currentScreen());
    }
    void click(QWidget* root, const QString& name) {
        auto* button = root->findChild<QAbstractButton*>(name);
        ASSERT_NE(button, nullptr) << name.toStdString();
        ASSERT_TRUE(button->isEnabled()) << name.toStdString();
        button->click();
        QApplication::processEvents();
    }
    // Previews "Retire VST2" and confirms every proposed bundle; the plan that was confirmed.
    FormatCleanupPlan startRetireVST2() {
        FormatCleanupView* view = showCleanup();
        EXPECT_NE(view, nullptr);
        if (!view)
            return {};
        click(view, QStringLiteral("presetCard_retireVST2"));
        click(view, QStringLiteral("buildPreviewButton"));
        const FormatCleanupPlan plan = *view->viewModel().plan();
        EXPECT_EQ(view->findChild<QListView*>(QStringLiteral("candidateList"))->model()->rowCount(),
                  int(plan.candidates.size()));
        click(view, QStringLiteral("quarantineSelectedButton"));
        QMessageBox* alert = view->confirmation();
        EXPECT_NE(alert, nullptr);
        if (alert) {
            EXPECT_EQ(alert->text(), QStringLiteral("Quarantine Reviewed Formats?"));
            click(alert, QStringLiteral("actionButton"));
        }
        return plan;
    }
    bool waitForRunEnd() {
        if (!Sandbox::waitUntil([&] { return !run().isBusy(); }, 120000))
            return false;
        // The run's closing notice comes once its record is on disk.
        store().waitForIdle();
        return true;
    }

    testing::TemporaryTree dir;
    std::unique_ptr<Sandbox> sandbox;
    std::unique_ptr<RootView> window;
};

// A run over more than 256 bundles commits chunk after chunk, also while another section is shown,
// and "Restore Completed Run" puts every bundle back.
TEST_F(FormatCleanupEndToEnd, RunsInChunksAcrossSectionSwitchesAndRestoresEveryBundle) {
    open();
    const FormatCleanupPlan plan = startRetireVST2();
    ASSERT_GT(plan.candidates.size(), 256u);
    EXPECT_EQ(plan.candidates.size(), std::size_t(extraProducts + 2));
    ASSERT_TRUE(run().isBusy());

    // Away from the screen while its first chunk is at the helper, and back while the run goes on.
    QPointer<QWidget> screen = window->currentScreen();
    window->navigation().setSection(AppSection::history);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(screen.isNull());
    EXPECT_TRUE(run().isBusy());
    ASSERT_TRUE(waitForRunEnd());

    const FormatCleanupRunRecord record = store().formatCleanupRuns().front();
    EXPECT_EQ(record.status, FormatCleanupRunStatus::completed);
    EXPECT_EQ(record.childTransactionIDs.size(), 2u);
    EXPECT_EQ(record.selections.size(), plan.candidates.size());
    EXPECT_EQ(store().notice()->title, QStringLiteral("Cleanup Preset Completed"));
    for (const FormatCleanupCandidate& candidate : plan.candidates)
        EXPECT_FALSE(QFileInfo::exists(candidate.path)) << candidate.path.toStdString();
    EXPECT_EQ(store().quarantinedBundleCount(), qsizetype(plan.candidates.size()));

    // Shown again, the screen offers the run for restore.
    FormatCleanupView* view = showCleanup();
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(view->viewModel().recentRuns().size(), 1u);
    EXPECT_EQ(view->viewModel().recentRuns()[0].remaining, qsizetype(plan.candidates.size()));
    click(view, QStringLiteral("restoreCompletedRunButton"));
    ASSERT_TRUE(waitForRunEnd());
    EXPECT_EQ(store().notice()->title, QStringLiteral("Plugins Restored"));
    for (const FormatCleanupCandidate& candidate : plan.candidates)
        EXPECT_TRUE(QFileInfo::exists(candidate.path)) << candidate.path.toStdString();
    EXPECT_EQ(store().quarantinedBundleCount(), 0);
    EXPECT_TRUE(view->viewModel().recentRuns().empty());
}

// A move that fails in the second chunk stops the run: the first chunk stays committed, the rest
// is never moved.
TEST_F(FormatCleanupEndToEnd, FailureInTheSecondChunkLeavesTheRunPartiallyCompleted) {
    Sandbox::Options options;
    options.testbedArguments = {QStringLiteral("--fail-move"), QStringLiteral("5"),
                                QStringLiteral("--fault-transaction"), QStringLiteral("2")};
    open(options);
    const FormatCleanupPlan plan = startRetireVST2();
    ASSERT_GT(plan.candidates.size(), 256u);
    ASSERT_TRUE(waitForRunEnd());

    const FormatCleanupRunRecord record = store().formatCleanupRuns().front();
    EXPECT_EQ(record.status, FormatCleanupRunStatus::partiallyCompleted);
    // Both children were begun; only the first committed.
    EXPECT_EQ(record.childTransactionIDs.size(), 2u);
    EXPECT_EQ(run().completedChunkCount(), 1);
    EXPECT_EQ(store().notice()->title, QStringLiteral("Cleanup Preset Stopped"));
    EXPECT_EQ(store().notice()->message,
              QStringLiteral("1 child transactions completed before the run stopped"));
    EXPECT_EQ(store().quarantinedBundleCount(), 256);
    for (std::size_t index = 0; index < plan.candidates.size(); ++index)
        EXPECT_EQ(QFileInfo::exists(plan.candidates[index].path), index >= 256)
            << plan.candidates[index].path.toStdString();
    EXPECT_FALSE(store().pendingPrivilegedQuarantine().has_value());
}

} // namespace
} // namespace quorvane
