#include "App/RootView.h"
#include "App/NoticePresenter.h"
#include "App/QuorvaneApp.h"
#include "App/SectionListModel.h"
#include "App/Sidebar.h"
#include "IsolatedRootObjects.h"
#include "Shared/PathPolicy.h"
#include "Support/Fixtures/FixturePluginBundles.h"
#include "Support/Fixtures/FixtureRecords.h"
#include "Support/Paths.h"
#include "Support/Uuid.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/RevealInFinder.h"

#include <QApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

QPixmap noImage(const QString&) {
    return {};
}

struct Window {
    std::unique_ptr<testing::IsolatedRootObjects> isolated = std::make_unique<testing::IsolatedRootObjects>();
    std::unique_ptr<RootView> view;
};

Window makeWindow() {
    Window window;
    window.view = std::make_unique<RootView>(window.isolated->objects(), &noImage);
    window.view->resize(1440, 900);
    window.view->show();
    QApplication::processEvents();
    return window;
}

// Each section's screen, by its object name and page title.
struct SectionScreen {
    AppSection section;
    QString objectName;
    QString title;
};
const std::vector<SectionScreen>& sectionScreens() {
    static const std::vector<SectionScreen> screens{
        {AppSection::inventory, QStringLiteral("inventoryView"), QStringLiteral("Plugin Inventory")},
        {AppSection::formatCleanup, QStringLiteral("formatCleanupView"), QStringLiteral("Format Cleanup")},
        {AppSection::history, QStringLiteral("historyView"), QStringLiteral("Operation History")},
        {AppSection::safetyGuide, QStringLiteral("safetyGuideView"), QStringLiteral("Safety Guide")},
        {AppSection::pluginManagement, QStringLiteral("pluginManagementView"),
         QStringLiteral("Plugin Management")},
        {AppSection::about, QStringLiteral("aboutView"), QStringLiteral("About Quorvane")},
        {AppSection::protected_, QStringLiteral("protectedView"), QStringLiteral("Protected Plugins")},
        {AppSection::quarantine, QStringLiteral("quarantineView"), QStringLiteral("Quarantine")},
        {AppSection::permanentQuarantine, QStringLiteral("permanentQuarantineView"),
         QStringLiteral("Permanent Quarantine")},
        {AppSection::trashRecovery, QStringLiteral("trashRecoveryView"), QStringLiteral("Trash Recovery")},
    };
    return screens;
}

QString pageTitle(AppSection section) {
    for (const SectionScreen& screen : sectionScreens()) {
        if (screen.section == section)
            return screen.title;
    }
    return {};
}

std::optional<AppSection> shownSection(const RootView& view) {
    for (const SectionScreen& screen : sectionScreens()) {
        if (view.currentScreen() && view.currentScreen()->objectName() == screen.objectName)
            return screen.section;
    }
    return std::nullopt;
}

int highlightedRow(const RootView& view) {
    const auto rows = view.sidebar()->list()->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void settle() {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

TEST(RootView, FreshLaunchShowsInventoryWithItsRowHighlightedAndAnEmptyQuery) {
    Window window = makeWindow();
    EXPECT_EQ(window.view->navigation().section(), AppSection::inventory);
    EXPECT_EQ(shownSection(*window.view), AppSection::inventory);
    EXPECT_EQ(highlightedRow(*window.view), 0);
    EXPECT_TRUE(window.view->navigation().query().isEmpty());
    EXPECT_FALSE(window.view->navigation().selectedPlugin().has_value());
    EXPECT_EQ(window.view->noticePresenter()->alert(), nullptr);
    EXPECT_EQ(window.view->windowTitle(), QStringLiteral("Quorvane"));
}

// Offscreen there is nothing that opens folders, as on a desktop without a file manager.
TEST(RootView, AFolderTheDesktopCannotOpenIsNamedInAWarningNotice) {
    QTemporaryDir folder;
    const QString bundle = folder.filePath(QStringLiteral("Pro-Q 3.vst3"));
    ASSERT_TRUE(QDir().mkdir(bundle));
    struct Road {
        const char* name;
        std::function<void()> request;
        QString expectedFolder;
    };
    const std::vector<Road> roads{
        {"original folder",
         [] { openParentFolder(QStringLiteral("/Library/Audio/Plug-Ins/VST3/Gone.vst3")); },
         QStringLiteral("/Library/Audio/Plug-Ins/VST3")},
        {"reveal", [bundle] { revealInFinder(bundle); }, folder.path()},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        Window window = makeWindow();
        PluginInventoryStore& store = window.view->inventoryStore();
        road.request();
        ASSERT_TRUE(QTest::qWaitFor([&] { return store.notice().has_value(); }, 10000));
        EXPECT_EQ(store.notice()->title, QStringLiteral("Folder Not Opened"));
        EXPECT_EQ(store.notice()->message, QStringLiteral("Quorvane could not open the folder ") +
                                               road.expectedFolder +
                                               QStringLiteral(". No file manager is available to show it."));
        EXPECT_EQ(store.notice()->style, NoticeStyle::warning);
        settle();
        EXPECT_NE(window.view->noticePresenter()->alert(), nullptr);
    }
}

// A quarantine of which one bundle moved and one did not: it blocks every action until settled.
void writeMixedQuarantine(testing::IsolatedRootObjects& isolated) {
    const PathPolicy policy(isolated.roots());
    const QString operation = uuidText(makeUuid());
    std::vector<Plugin> plugins;
    PrivilegedQuarantineRequest journal{uuidText(makeUuid()), {}};
    for (const QString& name : {QStringLiteral("Moved"), QStringLiteral("Kept")}) {
        const QString path = testing::makeBundle(policy.approvedSystemPluginRoots().at(2) + u'/' + name +
                                                 QStringLiteral(".vst3"));
        plugins.push_back(testing::productOfRecords(name, QStringLiteral("Orsolind"),
                                                    {testing::bundleRecord(QStringLiteral("VST3"), path)}));
        journal.items.push_back(
            {path, policy.quarantineRoot() + u'/' + operation + u'/' + lastPathComponent(path), operation});
    }
    QDir().mkpath(deletingLastPathComponent(journal.items[0].destinationPath));
    ASSERT_TRUE(QDir().rename(journal.items[0].sourcePath, journal.items[0].destinationPath));
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    state.plugins = plugins;
    state.pendingPrivilegedQuarantine = journal;
    ASSERT_TRUE(isolated.writeState(state));
}

void expectSettled(RootView& view) {
    view.inventoryStore().waitForIdle();
    settle();
    EXPECT_FALSE(view.inventoryStore().hasPendingPrivilegedTransaction());
    ASSERT_TRUE(view.inventoryStore().notice().has_value());
    EXPECT_EQ(view.inventoryStore().notice()->title, QStringLiteral("Transaction Settled"));
}

// The Inventory screen's "Settle From Disk" records what the disk shows.
TEST(RootView, AMixedTransactionIsSettledFromTheInventoryScreen) {
    testing::IsolatedRootObjects isolated;
    writeMixedQuarantine(isolated);

    RootView view(isolated.objects(), &noImage);
    view.resize(1440, 900);
    view.show();
    settle();
    auto* button = view.currentScreen()->findChild<QPushButton*>(QStringLiteral("settleJournalButton"));
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible());
    button->click();
    expectSettled(view);
    EXPECT_FALSE(button->isVisible());
}

// The other screens that show the blocked bar offer the same way out, reached with keys alone.
TEST(RootView, AMixedTransactionIsSettledWithTheKeyboardFromTheScreensItBlocks) {
    for (const AppSection section : {AppSection::quarantine, AppSection::trashRecovery}) {
        SCOPED_TRACE(pageTitle(section).toStdString());
        testing::IsolatedRootObjects isolated;
        writeMixedQuarantine(isolated);
        RootView view(isolated.objects(), &noImage);
        view.resize(1440, 900);
        view.show();
        view.activateWindow();
        view.navigation().setSection(section);
        settle();

        QWidget* screen = view.currentScreen();
        const auto onSettle = [&] {
            auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
            return button && screen->isAncestorOf(button) &&
                   button->text() == QStringLiteral("Settle From Disk");
        };
        for (int press = 0; press < 80 && QApplication::focusWidget() && !onSettle(); ++press)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_TRUE(onSettle()) << "Tab never reaches \"Settle From Disk\"";
        QPointer<QWidget> button = QApplication::focusWidget();
        QTest::keyClick(button, Qt::Key_Space);
        expectSettled(view);
        ASSERT_FALSE(button.isNull());
        EXPECT_FALSE(button->isVisible());
    }
}

TEST(RootView, EverySectionShowsItsScreen) {
    Window window = makeWindow();
    for (AppSection section : allAppSections()) {
        window.view->navigation().setSection(section);
        EXPECT_EQ(shownSection(*window.view), section);
        auto* title = window.view->currentScreen()->findChild<QLabel*>(QStringLiteral("pageTitle"));
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->text(), pageTitle(section));
        EXPECT_EQ(highlightedRow(*window.view), window.view->sidebar()->model()->row(section));
    }
}

TEST(RootView, ClickingARowSwitchesTheScreenAndClearingItShowsInventoryUnhighlighted) {
    Window window = makeWindow();
    QItemSelectionModel* rows = window.view->sidebar()->list()->selectionModel();
    rows->select(window.view->sidebar()->model()->index(6), QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(window.view->navigation().section(), AppSection::history);
    EXPECT_EQ(shownSection(*window.view), AppSection::history);

    rows->clearSelection();
    EXPECT_EQ(window.view->navigation().section(), std::nullopt);
    EXPECT_EQ(shownSection(*window.view), AppSection::inventory);
    EXPECT_EQ(highlightedRow(*window.view), -1);
}

TEST(RootView, ScreensAreBuiltAfreshButNoSectionAndInventoryShareOne) {
    Window window = makeWindow();
    QPointer<QWidget> first = window.view->currentScreen();
    window.view->navigation().setSection(std::nullopt);
    EXPECT_EQ(window.view->currentScreen(), first.data());
    window.view->navigation().setSection(AppSection::protected_);
    window.view->navigation().setSection(AppSection::inventory);
    settle();
    EXPECT_TRUE(first.isNull());
    EXPECT_NE(window.view->currentScreen(), nullptr);
    auto* detail = window.view->findChild<QWidget*>(QStringLiteral("detailColumn"));
    EXPECT_EQ(detail->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 1);
}

TEST(RootView, SelectedPluginAndQuerySurviveSectionSwitchesUntilAScreenOverwritesThePlugin) {
    Window window = makeWindow();
    Plugin product;
    product.id = QUuid::createUuid();
    product.name = QStringLiteral("Larkspur");
    window.view->navigation().selectedPluginBinding().set(product);
    window.view->navigation().queryBinding().set(QStringLiteral("lark"));
    for (AppSection section :
         {AppSection::trashRecovery, AppSection::permanentQuarantine, AppSection::about, AppSection::history})
        window.view->navigation().setSection(section);
    EXPECT_EQ(window.view->navigation().selectedPluginBinding().get(), product);
    EXPECT_EQ(window.view->navigation().queryBinding().get(), QStringLiteral("lark"));

    // The quarantine and protected screens overwrite it when they come into view; the sample
    // inventory quarantines nothing and protects its shells.
    window.view->navigation().setSection(AppSection::quarantine);
    EXPECT_FALSE(window.view->navigation().selectedPlugin().has_value());
    window.view->navigation().selectedPluginBinding().set(product);
    window.view->navigation().setSection(AppSection::protected_);
    const auto shown = window.view->navigation().selectedPlugin();
    EXPECT_TRUE(!shown || shown->protectionLevel() != 0);
    EXPECT_NE(shown, product);
    // So does Inventory; the search text stays.
    window.view->navigation().selectedPluginBinding().set(product);
    window.view->navigation().setSection(AppSection::inventory);
    EXPECT_EQ(window.view->navigation().selectedPluginBinding().get(), std::nullopt);
    EXPECT_EQ(window.view->navigation().queryBinding().get(), QStringLiteral("lark"));
}

TEST(RootView, WindowAndSidebarBounds) {
    Window window = makeWindow();
    EXPECT_EQ(window.view->minimumSize(), QSize(1180, 720));
    window.view->resize(900, 500);
    QApplication::processEvents();
    EXPECT_GE(window.view->width(), 1180);
    EXPECT_GE(window.view->height(), 720);
    Sidebar* sidebar = window.view->sidebar();
    EXPECT_EQ(sidebar->minimumWidth(), 235);
    EXPECT_EQ(sidebar->maximumWidth(), 285);
    window.view->splitter()->setSizes({600, 840});
    QApplication::processEvents();
    EXPECT_LE(sidebar->width(), 285);
    window.view->splitter()->setSizes({10, 1430});
    QApplication::processEvents();
    EXPECT_GE(sidebar->width(), 235);

    const testing::IsolatedRootObjects isolated;
    const auto made = QuorvaneApp::makeWindow(isolated.objects());
    EXPECT_EQ(made->size(), QSize(1440, 900));
}

TEST(RootView, DetailColumnAndWindowAreDarkWhateverTheSystemPalette) {
    QPalette light = QApplication::palette();
    light.setColor(QPalette::Window, Qt::white);
    QApplication::setPalette(light);
    Window window = makeWindow();
    auto* detail = window.view->findChild<QWidget*>(QStringLiteral("detailColumn"));
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->palette().color(QPalette::Window), Palette::background());
    EXPECT_EQ(window.view->sidebar()->palette().color(QPalette::Window), Palette::sidebarBackground());
    QApplication::setPalette(QPalette());
}

} // namespace
} // namespace quorvane
