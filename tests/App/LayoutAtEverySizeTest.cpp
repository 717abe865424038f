#include "App/RootView.h"
#include "IsolatedRootObjects.h"
#include "ScreenWalkSupport.h"
#include "Views/Kit/PluginTable.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace quorvane {
namespace {

using testing::chooseWithKeyboard;
using testing::inventoryOfEveryKind;
using testing::shownScreen;

const QSize largeWindow(1920, 1200);

struct Screen {
    AppSection section;
    QString name;
};

struct SizeCase {
    Screen screen;
    bool smallest;
};

std::string caseName(const SizeCase& sizeCase) {
    return sizeCase.screen.name.toStdString() + (sizeCase.smallest ? "_smallest" : "_large");
}

// Names the screen and the size in CTest's names and in failure messages, not the case's bytes.
void PrintTo(const SizeCase& sizeCase, std::ostream* out) {
    *out << caseName(sizeCase);
}

QRect inScreen(const QWidget* widget, const QWidget* screen) {
    return QRect(widget->mapTo(screen, QPoint()), widget->size());
}

// A one-line label whose text is wider than the label, so that part of it is simply not drawn.
bool cutWithoutMark(const QLabel* label) {
    if (label->wordWrap() || label->text().isEmpty() || label->textFormat() == Qt::RichText)
        return false;
    const int needed = QFontMetrics(label->font()).horizontalAdvance(label->text());
    return needed > label->contentsRect().width() + 1 && !label->text().endsWith(QChar(0x2026));
}

class LayoutAtEverySize : public ::testing::TestWithParam<SizeCase> {};

// At the smallest window and a large one, every screen keeps to its width: nothing sticks out of
// it or needs a sideways scroll bar, no scroll bar shows with nothing to scroll, the table and the
// inspector share the width without overlapping, and a one-line text that does not fit ends in "…".
TEST_P(LayoutAtEverySize, EveryScreenKeepsToItsWidth) {
    const SizeCase& sizeCase = GetParam();
    testing::IsolatedRootObjects isolated;
    ASSERT_TRUE(isolated.writeState(inventoryOfEveryKind(isolated)));
    RootView view(isolated.objects(), [](const QString&) { return QPixmap(); });
    view.resize(sizeCase.smallest ? view.minimumSize() : largeWindow);
    view.show();
    view.navigation().setSection(sizeCase.screen.section);
    QApplication::processEvents();
    // With something chosen, so that the inspector shows a product, the batch bar a choice and the
    // cleanup screen its preview.
    QWidget* screen = chooseWithKeyboard(view, sizeCase.screen.name);
    ASSERT_NE(screen, nullptr);
    QApplication::processEvents();

    for (QWidget* widget : screen->findChildren<QWidget*>()) {
        if (!widget->isVisible())
            continue;
        const QRect area = inScreen(widget, screen);
        EXPECT_TRUE(area.left() >= 0 && area.right() < screen->width())
            << widget->metaObject()->className() << " " << widget->objectName().toStdString() << " at "
            << area.left() << ".." << area.right() << " of " << screen->width();
        if (auto* scrollBar = qobject_cast<QScrollBar*>(widget)) {
            const std::string owner = scrollBar->parentWidget()->parentWidget()->objectName().toStdString();
            EXPECT_NE(scrollBar->orientation(), Qt::Horizontal) << "sideways scroll bar in " << owner;
            EXPECT_GT(scrollBar->maximum(), 0) << "scroll bar with nothing to scroll in " << owner;
        }
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_FALSE(cutWithoutMark(label)) << "cut: " << label->text().toStdString();
        }
    }
    if (auto* table = screen->findChild<PluginTableBase*>(QStringLiteral("pluginTable"))) {
        auto* split = qobject_cast<QSplitter*>(table->parentWidget());
        ASSERT_NE(split, nullptr);
        const QRect tableArea = inScreen(table, screen);
        const QRect inspectorArea = inScreen(split->widget(1), screen);
        EXPECT_LT(tableArea.right(), inspectorArea.left());
        EXPECT_LE(inspectorArea.right(), inScreen(split, screen).right());
    }
}

const Screen everyScreen[] = {
    {AppSection::inventory, QStringLiteral("inventoryView")},
    {AppSection::protected_, QStringLiteral("protectedView")},
    {AppSection::quarantine, QStringLiteral("quarantineView")},
    {AppSection::formatCleanup, QStringLiteral("formatCleanupView")},
    {AppSection::permanentQuarantine, QStringLiteral("permanentQuarantineView")},
    {AppSection::trashRecovery, QStringLiteral("trashRecoveryView")},
    {AppSection::history, QStringLiteral("historyView")},
    {AppSection::pluginManagement, QStringLiteral("pluginManagementView")},
    {AppSection::safetyGuide, QStringLiteral("safetyGuideView")},
    {AppSection::about, QStringLiteral("aboutView")},
};

std::vector<SizeCase> everyScreenAtBothSizes() {
    std::vector<SizeCase> cases;
    for (const Screen& screen : everyScreen) {
        cases.push_back({screen, true});
        cases.push_back({screen, false});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryScreen, LayoutAtEverySize, ::testing::ValuesIn(everyScreenAtBothSizes()),
                         [](const ::testing::TestParamInfo<SizeCase>& param) {
                             return caseName(param.param);
                         });

// Choosing rows and clearing the choice leaves the table where it is, under the pointer.
TEST(LayoutAtEverySize, TheTableStaysPutWhenASelectionStartsAndEnds) {
    for (const Screen& screen : {everyScreen[0], everyScreen[2]}) {
        SCOPED_TRACE(screen.name.toStdString());
        testing::IsolatedRootObjects isolated;
        ASSERT_TRUE(isolated.writeState(inventoryOfEveryKind(isolated)));
        RootView view(isolated.objects(), [](const QString&) { return QPixmap(); });
        view.resize(view.minimumSize());
        view.show();
        view.navigation().setSection(screen.section);
        QApplication::processEvents();
        auto table = [&] {
            return shownScreen(view, screen.name)->findChild<QTableView*>(QStringLiteral("pluginTableView"));
        };
        const auto top = [&] { return table()->mapTo(&view, QPoint()).y(); };
        const int before = top();
        table()->selectionModel()->select(table()->model()->index(0, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QApplication::processEvents();
        ASSERT_NE(shownScreen(view, screen.name)->findChild<QWidget*>(QStringLiteral("batchSelectionBar")),
                  nullptr);
        EXPECT_EQ(top(), before);
        table()->selectionModel()->clearSelection();
        QApplication::processEvents();
        EXPECT_EQ(top(), before);
    }
}

} // namespace
} // namespace quorvane
