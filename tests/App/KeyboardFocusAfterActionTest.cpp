// Keys alone, as a user without a mouse: after an action that rebuilds part of a screen, the focus
// stays on the control that was pressed or its replacement, never in the sidebar; and every stop
// of Tab shows that it holds the focus.

#include "App/RootView.h"
#include "App/Sandbox/Sandbox.h"
#include "IsolatedRootObjects.h"
#include "ScreenWalkSupport.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QPointer>
#include <QScrollArea>
#include <QTest>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using testing::within;

QString describe(const QWidget* widget) {
    if (!widget)
        return QStringLiteral("nothing");
    const auto* button = qobject_cast<const QAbstractButton*>(widget);
    return widget->objectName() + (button ? QStringLiteral(" \"") + button->text() + u'"' : QString());
}

bool isButton(const QWidget* widget, const QString& text) {
    const auto* button = qobject_cast<const QAbstractButton*>(widget);
    return button && button->text() == text;
}

// Presses Tab until the focus is on the button of that text within `screen`; false when a whole
// round does not get there.
bool tabTo(const QString& screen, const QString& text) {
    for (int press = 0; press < 80; ++press) {
        QWidget* focused = QApplication::focusWidget();
        if (!focused)
            return false;
        if (within(focused, screen) && isButton(focused, text))
            return true;
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    return false;
}

// What a key press leads to before the next one: an alert or a notice comes up, or the last one
// goes and the window has the keyboard again.
enum class Then { dialogShows, dialogCloses };

struct Step {
    Qt::Key key;
    Then then;
};

void press(const Step& step, QWidget* window) {
    QPointer<QWidget> before = QApplication::activeModalWidget();
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr) << "nothing holds the keyboard focus";
    QTest::keyClick(focused, step.key);
    if (step.then == Then::dialogShows) {
        ASSERT_TRUE(Sandbox::waitUntil([&] {
            QWidget* modal = QApplication::activeModalWidget();
            return modal && modal != before && modal->isAncestorOf(QApplication::focusWidget());
        })) << "no dialog took the focus; focus on "
            << describe(QApplication::focusWidget()).toStdString() << " modal "
            << describe(QApplication::activeModalWidget()).toStdString();
    } else {
        ASSERT_TRUE(Sandbox::waitUntil([] { return !QApplication::activeModalWidget(); }))
            << "the dialog did not close";
        // The window manager gives the window the keyboard back; the offscreen platform does not.
        QApplication::setActiveWindow(window);
        QApplication::processEvents();
    }
}

// The window over an inventory of every kind, showing `section`, with the keyboard.
struct WindowOfEveryKind {
    testing::IsolatedRootObjects isolated;
    std::unique_ptr<RootView> view;

    explicit WindowOfEveryKind(AppSection section) {
        EXPECT_TRUE(isolated.writeState(testing::inventoryOfEveryKind(isolated)));
        view = std::make_unique<RootView>(isolated.objects(), [](const QString&) { return QPixmap(); });
        view->resize(1440, 900);
        view->show();
        view->activateWindow();
        view->navigation().setSection(section);
        QApplication::processEvents();
    }
};

struct FocusCase {
    const char* name;
    AppSection section;
    QString screen;
    QString pressed;
    std::vector<Step> steps;
    // Where the focus is after the steps: the button of this text, or the control of this name,
    // within this part of the screen.
    QString part;
    QString focused;
    // Ticks the first row with the keyboard before the walk starts.
    bool chooseFirst = false;
};

void PrintTo(const FocusCase& focusCase, std::ostream* out) {
    *out << focusCase.name;
}

class KeyboardFocusAfterAction : public ::testing::TestWithParam<FocusCase> {};

TEST_P(KeyboardFocusAfterAction, StaysOnThePressedControlOrItsReplacement) {
    const FocusCase& focusCase = GetParam();
    WindowOfEveryKind window(focusCase.section);
    RootView& view = *window.view;
    if (focusCase.chooseFirst)
        ASSERT_NE(testing::chooseWithKeyboard(view, focusCase.screen), nullptr);
    else
        view.findChild<QWidget*>(QStringLiteral("sectionList"))->setFocus(Qt::TabFocusReason);

    ASSERT_TRUE(tabTo(focusCase.screen, focusCase.pressed))
        << describe(QApplication::focusWidget()).toStdString();
    for (const Step& step : focusCase.steps)
        ASSERT_NO_FATAL_FAILURE(press(step, &view));
    ASSERT_TRUE(Sandbox::waitUntil(
        [&] { return !view.managementService().isWorking() && !view.inventoryStore().isScanning(); }));
    QApplication::processEvents();

    QWidget* focused = QApplication::focusWidget();
    EXPECT_TRUE(within(focused, focusCase.part) &&
                (isButton(focused, focusCase.focused) || focused->objectName() == focusCase.focused))
        << "focus on " << describe(focused).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Screens, KeyboardFocusAfterAction,
    ::testing::Values(
        // Alert, then the notice of the change: the card's button is rebuilt as its opposite.
        FocusCase{"RemovingAFormatsProtection",
                  AppSection::protected_,
                  QStringLiteral("protectedView"),
                  QStringLiteral("Remove CLAP Protection\u2026"),
                  {{Qt::Key_Space, Then::dialogShows},
                   {Qt::Key_Return, Then::dialogShows},
                   {Qt::Key_Return, Then::dialogCloses}},
                  QStringLiteral("protectedInspector"),
                  QStringLiteral("Protect CLAP Format")},
        // The product keeps its CLAP protection, so the inspector gains a control above the card:
        // the replacement is found in the card's control, not by its place in the whole inspector.
        FocusCase{"RemovingAFormatsProtectionInTheInventory",
                  AppSection::inventory,
                  QStringLiteral("inventoryView"),
                  QStringLiteral("Remove AU Protection\u2026"),
                  {{Qt::Key_Space, Then::dialogShows},
                   {Qt::Key_Return, Then::dialogShows},
                   {Qt::Key_Return, Then::dialogCloses}},
                  QStringLiteral("pluginInspector"),
                  QStringLiteral("Protect AU Format"),
                  true},
        // The helper cannot be registered here: the button is disabled while the service works.
        FocusCase{"EnablingPluginManagementThatFails",
                  AppSection::pluginManagement,
                  QStringLiteral("pluginManagementView"),
                  QStringLiteral("Enable Plugin Management"),
                  {{Qt::Key_Space, Then::dialogCloses}},
                  QStringLiteral("managementStatusPane"),
                  QStringLiteral("Enable Plugin Management")},
        // "Scan Plugins" gives way to "Cancel Scan" while the scan runs, and comes back after it
        // with the scan's notice.
        FocusCase{"Scanning",
                  AppSection::inventory,
                  QStringLiteral("inventoryView"),
                  QStringLiteral("Scan Plugins"),
                  {{Qt::Key_Space, Then::dialogShows}, {Qt::Key_Return, Then::dialogCloses}},
                  QStringLiteral("scanToolbar"),
                  QStringLiteral("Scan Plugins")},
        // A button that opens another section: the focus goes into the screen shown, not to the
        // sidebar.
        FocusCase{"GoingBackToTheInventory",
                  AppSection::permanentQuarantine,
                  QStringLiteral("permanentQuarantineView"),
                  QStringLiteral("Back to Inventory"),
                  {{Qt::Key_Space, Then::dialogCloses}},
                  QStringLiteral("inventoryView"),
                  QStringLiteral("Authorize Folder\u2026")},
        // The batch bar goes with the selection and the rows are rebuilt: the nearest control is
        // the row below.
        FocusCase{"ClearingTheTrashRecoverySelection",
                  AppSection::trashRecovery,
                  QStringLiteral("trashRecoveryView"),
                  QStringLiteral("Clear Selection"),
                  {{Qt::Key_Space, Then::dialogCloses}},
                  QStringLiteral("trashRecoveryRow"),
                  QStringLiteral("selectToggle"),
                  true}),
    [](const ::testing::TestParamInfo<FocusCase>& param) { return std::string(param.param.name); });

// With the testbed as the helper, failing the restore: the alert, the notice of the safe failure,
// and the inspector rebuilt on the way (its buttons disabled while the helper works, then enabled).
TEST(KeyboardFocusAfterRestore, AFailedRestoreLeavesTheFocusOnRestorePlugin) {
    testing::TemporaryTree dir;
    Sandbox::Options options;
    options.testbedArguments = {QStringLiteral("--fail-move"), QStringLiteral("2")};
    auto made = Sandbox::create(dir.path(QStringLiteral("sandbox")), std::move(options));
    ASSERT_TRUE(made) << made.error().toStdString();
    RootView view((*made)->objects());
    view.resize(1440, 900);
    view.show();
    view.activateWindow();
    PluginInventoryStore& store = view.inventoryStore();
    PluginManagementService& service = view.managementService();
    ASSERT_TRUE(Sandbox::waitUntil([&] { return service.helperIsReachable(); }));
    store.startScan(view.folderAccess().authorizedFolders(), &service);
    ASSERT_TRUE(Sandbox::waitUntil([&] { return !store.isScanning() && !service.isWorking(); }));
    // Two formats of one product, quarantined one by one; the testbed fails the second move of the
    // restore that takes both back.
    for (const QString& format : {QStringLiteral("VST2"), QStringLiteral("VST3")}) {
        const auto product = std::ranges::find(store.plugins(), QStringLiteral("Massive"), &Plugin::name);
        ASSERT_NE(product, store.plugins().end());
        const auto bundles = product->bundleRecords();
        const auto bundle = std::ranges::find(bundles, format, &PluginBundleRecord::format);
        ASSERT_NE(bundle, bundles.end());
        const auto request = store.beginPrivileged<PrivilegedKind::quarantine>({{product->id, bundle->id()}});
        ASSERT_TRUE(request);
        std::optional<bool> committed;
        service.send(*request, [&](const PrivilegedQuarantineResult& result) {
            store.completePrivileged(result, request->transactionID, request->items,
                                     [&](bool value) { committed = value; });
        });
        ASSERT_TRUE(Sandbox::waitUntil([&] { return committed.has_value(); }));
        ASSERT_TRUE(*committed);
        // Its notice goes as a user sends it away.
        ASSERT_TRUE(Sandbox::waitUntil([] { return QApplication::activeModalWidget(); }));
        ASSERT_NO_FATAL_FAILURE(press({Qt::Key_Return, Then::dialogCloses}, &view));
    }

    view.navigation().setSection(AppSection::quarantine);
    QApplication::processEvents();
    ASSERT_NE(testing::chooseWithKeyboard(view, QStringLiteral("quarantineView")), nullptr);
    ASSERT_TRUE(tabTo(QStringLiteral("quarantineView"), QStringLiteral("Restore Plugin\u2026")));
    for (const Step& step : std::vector<Step>{{Qt::Key_Space, Then::dialogShows},
                                              {Qt::Key_Return, Then::dialogShows},
                                              {Qt::Key_Return, Then::dialogCloses}})
        ASSERT_NO_FATAL_FAILURE(press(step, &view));
    ASSERT_EQ(store.quarantinedBundleCount(), 2) << "the restore did not fail";
    QWidget* focused = QApplication::focusWidget();
    EXPECT_TRUE(within(focused, QStringLiteral("quarantineInspector")) &&
                isButton(focused, QStringLiteral("Restore Plugin\u2026")))
        << "focus on " << describe(focused).toStdString();
}

struct Screen {
    AppSection section;
    QString name;
};

void PrintTo(const Screen& screen, std::ostream* out) {
    *out << screen.name.toStdString();
}

class ScrollAreaStops : public ::testing::TestWithParam<Screen> {};

// A scroll area that Tab reaches looks different once it has the keyboard; one that would show
// nothing takes no Tab (its controls take it and show it).
TEST_P(ScrollAreaStops, ShowTheFocusOrTakeNoTab) {
    WindowOfEveryKind window(GetParam().section);
    RootView& view = *window.view;
    QWidget* screen = testing::chooseWithKeyboard(view, GetParam().name);
    ASSERT_NE(screen, nullptr);
    QWidget* sidebar = view.findChild<QWidget*>(QStringLiteral("sectionList"));
    for (QAbstractScrollArea* area : screen->findChildren<QAbstractScrollArea*>()) {
        if (qobject_cast<QAbstractItemView*>(area) || !area->isVisible() ||
            !(area->focusPolicy() & Qt::TabFocus))
            continue;
        sidebar->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        const QImage before = area->grab().toImage();
        area->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        ASSERT_TRUE(area->hasFocus());
        EXPECT_NE(area->grab().toImage(), before) << area->objectName().toStdString() << " shows no focus";
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryScreen, ScrollAreaStops,
    ::testing::Values(Screen{AppSection::inventory, QStringLiteral("inventoryView")},
                      Screen{AppSection::protected_, QStringLiteral("protectedView")},
                      Screen{AppSection::quarantine, QStringLiteral("quarantineView")},
                      Screen{AppSection::pluginManagement, QStringLiteral("pluginManagementView")},
                      Screen{AppSection::formatCleanup, QStringLiteral("formatCleanupView")},
                      Screen{AppSection::history, QStringLiteral("historyView")},
                      Screen{AppSection::permanentQuarantine, QStringLiteral("permanentQuarantineView")},
                      Screen{AppSection::trashRecovery, QStringLiteral("trashRecoveryView")},
                      Screen{AppSection::safetyGuide, QStringLiteral("safetyGuideView")},
                      Screen{AppSection::about, QStringLiteral("aboutView")}),
    [](const ::testing::TestParamInfo<Screen>& param) { return param.param.name.toStdString(); });

} // namespace
} // namespace quorvane
