#include "Views/Screens/SafetyGuide/SafetyGuideView.h"
#include "Views/Screens/SafetyGuide/SafetyRuleCard.h"

#include <QApplication>
#include <QLabel>
#include <QSplitter>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(SafetyGuideViewTest, ShowsRulesStepsAndBoundariesInOrderWithTheirMinimumHeights) {
    SafetyGuideView view;
    view.resize(900, 700);
    view.show();
    QApplication::processEvents();

    const auto cards = view.findChildren<SafetyRuleCard*>();
    ASSERT_EQ(cards.size(), 4);
    QStringList titles;
    for (const SafetyRuleCard* card : cards) {
        titles << card->title();
        EXPECT_GE(card->height(), 154);
    }
    EXPECT_EQ(titles, (QStringList{"Scan", "Protect", "Quarantine", "Trash"}));

    auto* split = view.findChild<QSplitter*>(QStringLiteral("safetyGuideSplit"));
    ASSERT_NE(split, nullptr);
    EXPECT_GE(split->height(), 290);
    QStringList boundaries;
    for (const SafetyBoundary* boundary : split->findChildren<SafetyBoundary*>())
        boundaries << boundary->text();
    EXPECT_EQ(boundaries.size(), 6);
    EXPECT_EQ(boundaries.front(), "Quorvane never permanently deletes plugin bundles.");
    EXPECT_EQ(safetySteps().size(), 5u);

    // A narrow window makes the card texts wrap: the cards grow rather than cut their detail.
    view.resize(620, 700);
    QApplication::processEvents();
    for (const SafetyRuleCard* card : view.findChildren<SafetyRuleCard*>()) {
        const auto* detail = card->findChild<QLabel*>(QStringLiteral("safetyRuleDetail"));
        ASSERT_NE(detail, nullptr);
        EXPECT_TRUE(detail->wordWrap());
        EXPECT_GE(detail->height(), detail->heightForWidth(detail->width())) << card->title().toStdString();
        EXPECT_GE(card->height(), 154);
    }
}

} // namespace
} // namespace quorvane
