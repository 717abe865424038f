#include "KitTestSupport.h"

#include "Views/Kit/DetailRow.h"
#include "Views/Kit/FilterMenu.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/MetricCard.h"
#include "Views/Kit/PageHeader.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PathBox.h"
#include "Views/Kit/StatusPill.h"
#include "Views/Kit/SymbolLabel.h"
#include "Views/Kit/TextStyle.h"

#include "Support/Fixtures/TemporaryTree.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenu>
#include <QRegularExpression>
#include <QToolButton>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using testing::child;

TEST(PageHeader, ShowsTitleAndSubtitleVerbatimWithActionsAfterTheSpacer) {
    auto* actions = new QWidget;
    PageHeader header(QStringLiteral("<b>Inventory</b>"), QStringLiteral("Every bundle & more"), actions);
    auto* title = child<QLabel>(&header, QStringLiteral("pageTitle"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), QStringLiteral("<b>Inventory</b>"));
    EXPECT_EQ(title->textFormat(), Qt::PlainText);
    EXPECT_EQ(title->font().pixelSize(), 30);
    EXPECT_EQ(title->font().weight(), QFont::Bold);
    auto* subtitle = child<QLabel>(&header, QStringLiteral("pageSubtitle"));
    EXPECT_EQ(subtitle->text(), QStringLiteral("Every bundle & more"));
    EXPECT_EQ(foreground(subtitle), Palette::secondaryText());
    EXPECT_EQ(header.actions(), actions);
    EXPECT_EQ(actions->parentWidget(), &header);

    PageHeader bare(QStringLiteral("History"), QString());
    bare.resize(800, 80);
    bare.show();
    EXPECT_EQ(child<QLabel>(&bare, QStringLiteral("pageTitle"))->x(), 0);
}

struct FilterState {
    QString selection;
    int writes = 0;
    Binding<QString> binding() {
        return {[this] { return selection; },
                [this](QString value) {
                    selection = value;
                    ++writes;
                }};
    }
};

QStringList checkedOptions(const FilterMenu& menu) {
    QStringList checked;
    for (QAction* action : menu.menu()->actions()) {
        if (!action->icon().isNull())
            checked << action->data().toString();
    }
    return checked;
}

TEST(FilterMenu, LabelShowsTheTitleForAllAndOtherwiseTheSelection) {
    FilterState state{QStringLiteral("All")};
    const QStringList options = {QStringLiteral("All"), QStringLiteral("AU"), QStringLiteral("VST3")};
    FilterMenu menu(QStringLiteral("Format"), state.binding(), options);
    EXPECT_EQ(menu.labelText(), QStringLiteral("Format"));
    EXPECT_EQ(checkedOptions(menu), QStringList{QStringLiteral("All")});

    state.selection = QStringLiteral("CLAP");
    menu.refresh();
    EXPECT_EQ(menu.labelText(), QStringLiteral("CLAP"));
    EXPECT_TRUE(checkedOptions(menu).isEmpty());

    QStringList shown;
    for (QAction* action : menu.menu()->actions())
        shown << action->data().toString();
    EXPECT_EQ(shown, options);
}

TEST(FilterMenu, ChoosingAnOptionWritesTheBindingAndMovesTheCheckmark) {
    FilterState state{QStringLiteral("All")};
    FilterMenu menu(QStringLiteral("Format"), state.binding(),
                    {QStringLiteral("All"), QStringLiteral("AU"), QStringLiteral("Rock & Roll")});
    menu.menu()->actions().at(2)->trigger();
    EXPECT_EQ(state.selection, QStringLiteral("Rock & Roll"));
    EXPECT_EQ(state.writes, 1);
    EXPECT_EQ(menu.labelText(), QStringLiteral("Rock & Roll"));
    EXPECT_EQ(checkedOptions(menu), QStringList{QStringLiteral("Rock & Roll")});
}

TEST(FilterMenu, RefreshFollowsTheBindingChangedElsewhereAndBack) {
    FilterState state{QStringLiteral("All")};
    FilterMenu menu(QStringLiteral("Format"), state.binding(), {QStringLiteral("All"), QStringLiteral("AU")});
    for (const QString& chosen : {QStringLiteral("AU"), QStringLiteral("AU"), QStringLiteral("All")}) {
        state.selection = chosen;
        menu.refresh();
        EXPECT_EQ(checkedOptions(menu), QStringList{chosen});
    }
}

TEST(FilterMenu, WidthLimitDependsOnTheExactManufacturerTitle) {
    FilterState state{QStringLiteral("All")};
    EXPECT_EQ(FilterMenu(QStringLiteral("Manufacturer"), state.binding(), {}).maximumWidth(), 190);
    EXPECT_EQ(FilterMenu(QStringLiteral("manufacturer"), state.binding(), {}).maximumWidth(), 145);
    EXPECT_EQ(FilterMenu(QStringLiteral("Status"), state.binding(), {}).maximumWidth(), 145);
    FilterMenu empty(QStringLiteral("Status"), state.binding(), {});
    EXPECT_TRUE(empty.menu()->actions().isEmpty());
    EXPECT_EQ(empty.labelText(), QStringLiteral("Status"));
}

TEST(InfoBar, TintsItsFillStrokeAndText) {
    InfoBar bar(QStringLiteral("Some <i>text</i>"), Palette::amber());
    EXPECT_EQ(bar.fillColor(), withOpacity(Palette::amber(), 0.08));
    EXPECT_EQ(bar.strokeColor(), withOpacity(Palette::amber(), 0.5));
    EXPECT_EQ(bar.radius(), 8);
    auto* label = bar.findChild<SymbolLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Some <i>text</i>"));
    EXPECT_EQ(label->symbol(), QStringLiteral("info.circle"));
    EXPECT_EQ(foreground(label->textLabel()), Palette::amber());
    EXPECT_EQ(label->textLabel()->textFormat(), Qt::PlainText);
}

TEST(DetailRow, LabelInSecondaryTextAndValueAsGiven) {
    DetailRow row(QStringLiteral("Formats"), QString());
    EXPECT_EQ(foreground(child<QLabel>(&row, QStringLiteral("detailLabel"))), Palette::secondaryText());
    EXPECT_EQ(child<QLabel>(&row, QStringLiteral("detailLabel"))->text(), QStringLiteral("Formats"));
    EXPECT_EQ(child<QLabel>(&row, QStringLiteral("detailValue"))->text(), QString());
}

TEST(PathBox, CopyPutsTheWholePathOnTheClipboardEvenWhenCutOnScreen) {
    QString path = QStringLiteral("/Library/Application Support/Quorvane/Quarantine");
    for (int level = 0; level < 40; ++level)
        path += QStringLiteral("/FolderNumber%1").arg(level);
    PathBox box(QStringLiteral("Current Quarantine Location"), path);
    box.setFixedWidth(300);
    box.show();
    QApplication::processEvents();
    EXPECT_EQ(box.pathText()->text(), path);
    EXPECT_GT(box.pathText()->lineCount(), 3);
    EXPECT_EQ(box.pathText()->shownLineCount(), 3);
    // What is cut says so: the third line ends in the ellipsis, and the tooltip holds the whole path.
    const QString shown = box.pathText()->toPlainText();
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    const QStringList lines = shown.split(QRegularExpression(QStringLiteral("[\n\u2028]")));
    EXPECT_EQ(lines.size(), 3);
    EXPECT_TRUE(path.startsWith(lines.front()));
    EXPECT_EQ(box.pathText()->toolTip(), path);
    EXPECT_EQ(box.pathText()->height(), 3 * QFontMetrics(box.pathText()->font()).lineSpacing() + 2);
    EXPECT_EQ(box.fillColor(), withOpacity(Palette::background(), 0.55));
    EXPECT_FALSE(box.strokeColor().has_value());

    QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
    box.copyButton()->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), path);
}

TEST(MetricCard, IconColumnStaysThirtyEightWideWhateverTheTexts) {
    MetricCard shortCard(QStringLiteral("externaldrive"), QStringLiteral("A"), QStringLiteral("1"), QString(),
                         Palette::accent());
    MetricCard longCard(QStringLiteral("externaldrive"), QString(200, u'W'), QStringLiteral("123456789"),
                        QString(300, u'x'), Palette::green());
    for (MetricCard* card : {&shortCard, &longCard}) {
        card->show();
        QApplication::processEvents();
        EXPECT_EQ(child<QLabel>(card, QStringLiteral("metricIcon"))->width(), 38);
    }
    EXPECT_EQ(child<QLabel>(&longCard, QStringLiteral("metricValue"))->font().pixelSize(), 26);
    EXPECT_EQ(foreground(child<QLabel>(&longCard, QStringLiteral("metricTitle"))), Palette::secondaryText());
    EXPECT_EQ(longCard.color(), Palette::green());
    EXPECT_EQ(longCard.fillColor(), Palette::panel());
    EXPECT_EQ(longCard.strokeColor(), Palette::hairline());
    EXPECT_EQ(longCard.radius(), 10);
}

// The narrowest card of a metric row in the smallest window, holding the longest values the screens show.
TEST(MetricCard, ValueIsShownWholeInTheNarrowestCard) {
    for (const QString& value : {QStringLiteral("Approval Required"), QStringLiteral("Status Unavailable"),
                                 QStringLiteral("Not Connected"), QStringLiteral("Helper Missing")}) {
        MetricCard card(QStringLiteral("gear"), QStringLiteral("Helper Status"), value,
                        QStringLiteral("Action required"), Palette::amber());
        card.resize(250, card.sizeHint().height());
        card.show();
        QApplication::processEvents();
        auto* label = child<QLabel>(&card, QStringLiteral("metricValue"));
        ASSERT_EQ(card.width(), 250);
        EXPECT_EQ(label->text(), value);
        EXPECT_TRUE(label->toolTip().isEmpty()) << value.toStdString();
        EXPECT_LE(QFontMetrics(label->font(), label).horizontalAdvance(label->text()),
                  label->contentsRect().width())
            << value.toStdString();
        EXPECT_LE(label->geometry().right(), card.contentsRect().right());
        EXPECT_EQ(label->font().weight(), QFont::DemiBold);
    }
}

TEST(MetricCard, ValueTooLongForAnyStepIsElidedWithTheWholeValueAsTooltip) {
    const QString value = QStringLiteral("Approval Required Under Login Items");
    MetricCard card(QStringLiteral("gear"), QStringLiteral("A"), value, QString(), Palette::amber());
    card.resize(160, card.sizeHint().height());
    card.show();
    QApplication::processEvents();
    auto* label = child<QLabel>(&card, QStringLiteral("metricValue"));
    EXPECT_TRUE(label->text().endsWith(QChar(0x2026))) << label->text().toStdString();
    EXPECT_EQ(label->toolTip(), value);
    EXPECT_EQ(card.value(), value);
    EXPECT_EQ(label->font().pixelSize(), MetricValueLabel::smallestPixelSize);

    // A short value later shown in place goes back to the full size, without the tooltip.
    card.setValue(QStringLiteral("7"));
    EXPECT_EQ(label->text(), QStringLiteral("7"));
    EXPECT_TRUE(label->toolTip().isEmpty());
    EXPECT_EQ(label->font().pixelSize(), MetricValueLabel::largestPixelSize);
}

TEST(StatusPill, TextAndColourPerStatus) {
    const std::vector<std::tuple<PluginStatus, QString, QColor>> rows = {
        {PluginStatus::ok, QStringLiteral("OK"), Palette::green()},
        {PluginStatus::legacy, QStringLiteral("Legacy"), Palette::amber()},
        {PluginStatus::protected_, QStringLiteral("Protected"), Palette::amber()},
        {PluginStatus::partiallyProtected, QStringLiteral("Partially Protected"), Palette::amber()},
        {PluginStatus::quarantined, QStringLiteral("Ready to Restore"), Palette::amber()},
        {PluginStatus::partiallyQuarantined, QStringLiteral("Partially Quarantined"), Palette::amber()},
        {PluginStatus::sharedShell, QStringLiteral("Shared Shell"), Palette::accent()},
        {PluginStatus::hostedByShell, QStringLiteral("Hosted by WaveShell"), Palette::accent()},
    };
    for (const auto& [status, text, colour] : rows) {
        StatusPill pill(status);
        auto* label = child<QLabel>(&pill, QStringLiteral("statusText"));
        EXPECT_EQ(label->text(), text);
        EXPECT_EQ(foreground(label), colour) << text.toStdString();
        EXPECT_EQ(statusColor(status), colour);
        EXPECT_EQ(child<QWidget>(&pill, QStringLiteral("statusDot"))->size(), QSize(7, 7));
    }
}

TEST(RevealInFinder, SelectsAnExistingItemAndOpensTheParentOfAMissingOne) {
    quorvane::testing::TemporaryTree tree;
    const QString bundlePath = tree.path() + QStringLiteral("/Plug-Ins/Larkspur.vst3");
    ASSERT_TRUE(QDir().mkpath(bundlePath));
    testing::FileManagerRecorder recorder;

    revealInFinder(tree.path() + QStringLiteral("/Plug-Ins/./Larkspur.vst3"));
    revealInFinder(tree.path() + QStringLiteral("/Plug-Ins/Gone.vst3"));
    openParentFolder(QStringLiteral("/Nowhere/At/All.component"));
    const std::vector<testing::FileManagerCall> expected = {
        {QStringLiteral("select"), bundlePath},
        {QStringLiteral("open"), tree.path() + QStringLiteral("/Plug-Ins")},
        {QStringLiteral("open"), QStringLiteral("/Nowhere/At")},
    };
    EXPECT_EQ(recorder.calls, expected);
}

} // namespace
} // namespace quorvane
