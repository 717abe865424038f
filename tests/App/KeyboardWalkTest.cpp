#include "App/RootView.h"
#include "IsolatedRootObjects.h"
#include "Support/Fixtures/FixtureRecords.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QSet>
#include <QTest>

#include <algorithm>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using testing::bundleRecord;
using testing::productOfRecords;
using testing::quarantinedUnderOperation;

PersistedInventory inventoryOfEveryKind() {
    PersistedInventory state;
    Plugin loose = productOfRecords(
        QStringLiteral("Larkspur"), QStringLiteral("Fernhill"),
        {bundleRecord(QStringLiteral("AU"),
                      QStringLiteral("/Library/Audio/Plug-Ins/Components/Larkspur.component"), false),
         bundleRecord(QStringLiteral("VST3"), QStringLiteral("/Library/Audio/Plug-Ins/VST3/Larkspur.vst3"),
                      false)});
    Plugin kept = productOfRecords(
        QStringLiteral("Tidewater"), QStringLiteral("Oxbow"),
        {bundleRecord(QStringLiteral("AU"),
                      QStringLiteral("/Library/Audio/Plug-Ins/Components/Tidewater.component"), true)});
    kept.status = PluginStatus::protected_;
    Plugin held = productOfRecords(
        QStringLiteral("Quillon"), QStringLiteral("Marrow"),
        {quarantinedUnderOperation(
            bundleRecord(QStringLiteral("AU"),
                         QStringLiteral("/Library/Audio/Plug-Ins/Components/Quillon.component"), false),
            QStringLiteral("6F1C2B9E-3D4A-4E5F-8A7B-1C2D3E4F5A6B"))});
    held.status = PluginStatus::quarantined;
    state.plugins = {loose, kept, held};
    return state;
}

bool within(const QWidget* widget, const QString& ancestorName) {
    for (const QWidget* at = widget; at; at = at->parentWidget()) {
        if (at->objectName() == ancestorName)
            return true;
    }
    return false;
}

QWidget* shownScreen(const RootView& view, const QString& name) {
    for (QWidget* screen : view.findChildren<QWidget*>(name)) {
        if (screen->isVisible())
            return screen;
    }
    return nullptr;
}

// Every control a Tab press may reach: shown, enabled, taking focus from the keyboard.
QSet<QWidget*> tabStops(QWidget* screen) {
    QSet<QWidget*> stops;
    for (QWidget* widget : screen->findChildren<QWidget*>()) {
        if (widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) &&
            !widget->focusProxy())
            stops.insert(widget);
    }
    return stops;
}

// Presses Tab alone, from the current focus, until the focus comes round again.
QList<QWidget*> walk(int presses) {
    QList<QWidget*> visited;
    for (int press = 0; press < presses; ++press) {
        QWidget* focused = QApplication::focusWidget();
        if (!focused)
            break;
        QTest::keyClick(focused, Qt::Key_Tab);
        visited.append(QApplication::focusWidget());
    }
    return visited;
}

struct Walk {
    AppSection section;
    QString screen;
    // The containers Tab must reach once a row is chosen; empty for screens without a table.
    QStringList reaches;
};

class KeyboardWalk : public ::testing::TestWithParam<Walk> {};

TEST_P(KeyboardWalk, TabAloneVisitsEveryControlOfTheScreen) {
    const Walk& walkCase = GetParam();
    testing::IsolatedRootObjects isolated;
    ASSERT_TRUE(isolated.writeState(inventoryOfEveryKind()));
    RootView view(isolated.objects(), [](const QString&) { return QPixmap(); });
    view.resize(1440, 900);
    view.show();
    view.activateWindow();
    view.navigation().setSection(walkCase.section);
    QApplication::processEvents();
    QWidget* screen = shownScreen(view, walkCase.screen);
    ASSERT_NE(screen, nullptr);

    if (!walkCase.reaches.isEmpty()) {
        // A row chosen with the keyboard, as a user would: focus the table, move to a row, Space.
        auto* table = screen->findChild<QAbstractItemView*>(QStringLiteral("pluginTableView"));
        ASSERT_NE(table, nullptr);
        table->setFocus();
        QTest::keyClick(table, Qt::Key_Down);
        QTest::keyClick(table, Qt::Key_Space);
        QApplication::processEvents();
        screen = shownScreen(view, walkCase.screen);
        ASSERT_NE(screen, nullptr);
    }

    // The walk starts in the sidebar and takes in the screen, empty ones included.
    const QSet<QWidget*> stops = tabStops(&view);
    ASSERT_FALSE(stops.isEmpty());
    if (walkCase.reaches.isEmpty())
        view.findChild<QWidget*>(QStringLiteral("sectionList"))->setFocus(Qt::TabFocusReason);
    const QList<QWidget*> visited = walk(3 * static_cast<int>(stops.size()) + 40);
    const QSet<QWidget*> reached(visited.begin(), visited.end());
    for (QWidget* stop : stops)
        EXPECT_TRUE(reached.contains(stop)) << stop->metaObject()->className() << " "
                                            << stop->objectName().toStdString() << " never took focus";
    for (const QString& container : walkCase.reaches)
        EXPECT_TRUE(std::any_of(visited.begin(), visited.end(),
                                [&](const QWidget* at) { return within(at, container); }))
            << container.toStdString() << " not reached";
}

INSTANTIATE_TEST_SUITE_P(
    EveryScreen, KeyboardWalk,
    ::testing::Values(
        Walk{AppSection::inventory,
             QStringLiteral("inventoryView"),
             {QStringLiteral("batchSelectionBar"), QStringLiteral("pluginInspector")}},
        Walk{AppSection::protected_, QStringLiteral("protectedView"), {QStringLiteral("protectedInspector")}},
        Walk{AppSection::quarantine,
             QStringLiteral("quarantineView"),
             {QStringLiteral("batchSelectionBar"), QStringLiteral("quarantineInspector")}},
        Walk{AppSection::pluginManagement, QStringLiteral("pluginManagementView"), {}},
        Walk{AppSection::formatCleanup, QStringLiteral("formatCleanupView"), {}},
        Walk{AppSection::history, QStringLiteral("historyView"), {}},
        Walk{AppSection::permanentQuarantine, QStringLiteral("permanentQuarantineView"), {}},
        Walk{AppSection::trashRecovery, QStringLiteral("trashRecoveryView"), {}},
        Walk{AppSection::safetyGuide, QStringLiteral("safetyGuideView"), {}},
        Walk{AppSection::about, QStringLiteral("aboutView"), {}}),
    [](const ::testing::TestParamInfo<Walk>& param) { return param.param.screen.toStdString(); });

} // namespace
} // namespace quorvane
