#include "App/RootView.h"
#include "IsolatedRootObjects.h"
#include "ScreenWalkSupport.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QSet>
#include <QTest>

#include <algorithm>
#include <ostream>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using testing::chooseWithKeyboard;
using testing::inventoryOfEveryKind;
using testing::within;

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

// Where the walk must pass, in this order: a widget within the named one, or with ":action" a button
// within it.
bool matches(const QWidget* widget, const QString& landmark) {
    const QStringList parts = landmark.split(QLatin1Char(':'));
    return within(widget, parts.front()) &&
           (parts.size() == 1 || qobject_cast<const QAbstractButton*>(widget));
}

struct Walk {
    AppSection section;
    QString screen;
    // Landmarks the walk from the sidebar reaches in reading order.
    QStringList order;
};

void PrintTo(const Walk& walk, std::ostream* out) {
    *out << walk.screen.toStdString();
}

class KeyboardWalk : public ::testing::TestWithParam<Walk> {};

TEST_P(KeyboardWalk, TabAloneVisitsEveryControlInReadingOrder) {
    const Walk& walkCase = GetParam();
    testing::IsolatedRootObjects isolated;
    ASSERT_TRUE(isolated.writeState(inventoryOfEveryKind(isolated)));
    RootView view(isolated.objects(), [](const QString&) { return QPixmap(); });
    view.resize(1440, 900);
    view.show();
    view.activateWindow();
    view.navigation().setSection(walkCase.section);
    QApplication::processEvents();
    // Whatever a screen shows once something is chosen is part of the walk.
    ASSERT_NE(chooseWithKeyboard(view, walkCase.screen), nullptr);

    // The walk starts in the sidebar and takes in the screen, empty ones included.
    const QSet<QWidget*> stops = tabStops(&view);
    ASSERT_FALSE(stops.isEmpty());
    view.findChild<QWidget*>(QStringLiteral("sectionList"))->setFocus(Qt::TabFocusReason);
    const QList<QWidget*> visited = walk(3 * static_cast<int>(stops.size()) + 40);
    const QSet<QWidget*> reached(visited.begin(), visited.end());
    for (QWidget* stop : stops)
        EXPECT_TRUE(reached.contains(stop)) << stop->metaObject()->className() << " "
                                            << stop->objectName().toStdString() << " never took focus";
    // One round, from the sidebar back to it.
    const auto round = std::find_if(visited.begin(), visited.end(), [](const QWidget* at) {
        return at->objectName() == QStringLiteral("sectionList");
    });
    ASSERT_NE(round, visited.end());
    auto from = visited.begin();
    for (const QString& landmark : walkCase.order) {
        const auto at =
            std::find_if(from, round, [&](const QWidget* widget) { return matches(widget, landmark); });
        EXPECT_NE(at, round) << landmark.toStdString() << " not reached in reading order";
        if (at != round)
            from = at;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryScreen, KeyboardWalk,
    ::testing::Values(
        Walk{AppSection::inventory,
             QStringLiteral("inventoryView"),
             {"scanToolbar", "searchField", "filterBar:action", "batchSelectionBar:action", "pluginTableView",
              "pluginInspector:action"}},
        Walk{AppSection::protected_,
             QStringLiteral("protectedView"),
             {"pluginTableView", "protectedInspector:action"}},
        Walk{AppSection::quarantine,
             QStringLiteral("quarantineView"),
             {"batchSelectionBar:action", "pluginTableView", "quarantineInspector:action"}},
        Walk{AppSection::pluginManagement,
             QStringLiteral("pluginManagementView"),
             {"pageHeader:action", "managementStatusPane:action"}},
        Walk{AppSection::formatCleanup,
             QStringLiteral("formatCleanupView"),
             {"buildPreviewButton", "presetCard_auOnly", "presetCard_custom", "candidatePanel:action",
              "candidateList", "warningsAndExclusions"}},
        Walk{AppSection::history, QStringLiteral("historyView"), {"exportHistoryButton", "historyList"}},
        Walk{AppSection::permanentQuarantine,
             QStringLiteral("permanentQuarantineView"),
             {"pageHeader:action", "ruleList"}},
        Walk{AppSection::trashRecovery,
             QStringLiteral("trashRecoveryView"),
             {"batchSelectionBar:action", "trashRecoveryRow", "trashRecoveryRow:action"}},
        Walk{AppSection::safetyGuide, QStringLiteral("safetyGuideView"), {}},
        Walk{AppSection::about, QStringLiteral("aboutView"), {}}),
    [](const ::testing::TestParamInfo<Walk>& param) { return param.param.screen.toStdString(); });

} // namespace
} // namespace quorvane
