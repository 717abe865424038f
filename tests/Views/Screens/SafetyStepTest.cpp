#include "Views/Screens/Shared/SafetyStep.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

// The circle keeps its 24-point square and its place beside the first line, whatever the number
// and however far the text wraps.
TEST(SafetyStep, KeepsTheCircleBesideTheFirstLine) {
    const QString longText =
        QStringLiteral("Authorize only the plugin folder needed for a complete inventory scan, "
                       "and nothing else that the scan does not need to read.");
    for (const auto& [number, text] :
         std::vector<std::pair<int, QString>>{{1, QStringLiteral("Short.")}, {12, longText}}) {
        SafetyStep step(number, text);
        step.resize(220, step.heightForWidth(220) > 0 ? step.heightForWidth(220) : 200);
        step.show();
        auto* circle = step.findChild<QWidget*>(QStringLiteral("safetyStepNumber"));
        auto* label = step.findChild<QLabel*>(QStringLiteral("safetyStepText"));
        ASSERT_TRUE(circle && label);
        EXPECT_EQ(step.number(), number);
        EXPECT_EQ(step.text(), text);
        EXPECT_EQ(circle->size(), QSize(SafetyStep::circleSize, SafetyStep::circleSize));
        EXPECT_EQ(circle->y(), label->y());
        EXPECT_LT(circle->geometry().right(), label->x());
        const int oneLine = label->fontMetrics().height();
        if (text == longText)
            EXPECT_GT(label->height(), 2 * oneLine);
        else
            EXPECT_LE(label->height(), SafetyStep::circleSize + oneLine);
    }
}

} // namespace
} // namespace quorvane
