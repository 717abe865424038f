#include "Views/Screens/Shared/ScreenLayout.h"

#include <QApplication>
#include <QSplitter>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

// The inspector keeps its ideal width in an ordinary window and takes a fifth of a wide one; once
// the user drags the divider, the width is theirs.
TEST(ScreenLayout, TheInspectorGrowsWithAWideWindowUntilTheUserSetsItsWidth) {
    QSplitter split(Qt::Horizontal);
    split.setHandleWidth(4);
    auto* table = new QWidget(&split);
    table->setMinimumWidth(pluginTableMinimumWidth);
    auto* inspector = new QWidget(&split);
    sizeInspector(inspector);
    split.addWidget(table);
    split.addWidget(inspector);
    // As the screens have it: the table takes what the user's width leaves.
    split.setStretchFactor(0, 1);
    split.show();
    struct Case {
        int splitWidth;
        int inspectorWidth;
    };
    for (const Case& sized : {Case{1144, 330}, Case{1654, 330}, Case{3544, 708}, Case{1144, 330}}) {
        split.resize(sized.splitWidth, 600);
        QApplication::processEvents();
        EXPECT_EQ(inspector->width(), sized.inspectorWidth) << sized.splitWidth;
    }
    split.setSizes({1144 - 4 - 500, 500});
    emit split.splitterMoved(1144 - 500, 1);
    split.resize(3544, 600);
    QApplication::processEvents();
    EXPECT_EQ(inspector->width(), 500);
}

// A batch bar's reason line is as tall as its text at the width it has: one line in a wide column,
// however the column's widgets are styled.
TEST(ScreenLayout, ABatchReasonLineTakesTheHeightOfItsWrappedText) {
    QWidget column;
    auto* stack = new QVBoxLayout(&column);
    QWidget* line = makeBatchReasonLine(QStringLiteral("Batch action unavailable: a short reason."), &column);
    stack->addWidget(line);
    stack->addStretch(1);
    column.resize(1100, 400);
    column.show();
    QApplication::processEvents();
    EXPECT_EQ(line->height(), line->heightForWidth(line->width()));
}

} // namespace
} // namespace quorvane
