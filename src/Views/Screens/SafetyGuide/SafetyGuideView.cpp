#include "Views/Screens/SafetyGuide/SafetyGuideView.h"

#include "Views/Kit/FlatSplitter.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/PageHeader.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/SymbolLabel.h"
#include "Views/Screens/SafetyGuide/SafetyRuleCard.h"
#include "Views/Screens/Shared/SafetyStep.h"
#include "Views/Screens/Shared/ScreenLayout.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>

namespace quorvane {

namespace {

QString text(const char* source) {
    return QCoreApplication::translate("SafetyGuideView", source);
}

// A side of the split: a panel whose column of content sits at the top.
QVBoxLayout* makeSplitPanel(QSplitter* split, const QString& objectName, SymbolLabel* title) {
    QVBoxLayout* column = addSplitPane(split, objectName, 15);
    title->setParent(column->parentWidget());
    QFont bold = textFont(TextStyle::title3);
    bold.setWeight(QFont::Bold);
    title->textLabel()->setFont(bold);
    column->addWidget(title);
    return column;
}

} // namespace

const std::vector<SafetyRule>& safetyRules() {
    static const std::vector<SafetyRule> rules{
        {QStringLiteral("magnifyingglass"), text("Scan"),
         text("Reads standard AU, VST2, VST3, AAX, and CLAP bundle locations without changing them."),
         Palette::accent()},
        {QStringLiteral("shield.checkered"), text("Protect"),
         text("Locks selected products against Quorvane file actions. Shared shells stay safety-locked."),
         Palette::amber()},
        {QStringLiteral("shippingbox"), text("Quarantine"),
         text("Moves only a confirmed format bundle into reversible Quorvane-managed storage."),
         Palette::amber()},
        {QStringLiteral("trash"), text("Trash"),
         text("Available only from verified quarantine and uses the recoverable macOS Trash."),
         Palette::red()},
    };
    return rules;
}

const std::vector<QString>& safetySteps() {
    static const std::vector<QString> steps{
        text("Quit every DAW, audio host, and plugin manager."),
        text("Confirm the exact product, format, and bundle path."),
        text("Protect shared shells and anything you are unsure about."),
        text("Quarantine one disposable plugin first; all detected formats move together."),
        text("Restore immediately if a host or project depends on it."),
    };
    return steps;
}

const std::vector<QString>& safetyBoundaries() {
    static const std::vector<QString> boundaries{
        text("Quorvane never permanently deletes plugin bundles."),
        text("Restore never overwrites an existing bundle."),
        text("Trash is unreachable directly from Inventory."),
        text("Support files and shared shells are not removed automatically."),
        text("A canceled or failed scan keeps the previous inventory intact."),
        text("Every managed move is recorded in operation History."),
    };
    return boundaries;
}

SafetyGuideView::SafetyGuideView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("safetyGuideView"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("safetyGuideScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The guide has no controls: Tab stops at the page itself, so that the arrows and Page Up and
    // Down scroll it, and its edge shows the accent while it has the keyboard.
    scroll->setStyleSheet(
        QStringLiteral("QScrollArea { background: transparent; border: 2px solid transparent; "
                       "border-radius: 8px; } QScrollArea:focus { border-color: %1; }")
            .arg(Palette::accent().name()));
    scroll->viewport()->setAutoFillBackground(false);
    outer->addWidget(scroll);

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("safetyGuideContent"));
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(18);
    column->addWidget(new PageHeader(
        text("Safety Guide"),
        text("Know exactly what Quorvane can change—and what always stays under your control."), nullptr,
        content));

    auto* cards = new QHBoxLayout;
    cards->setSpacing(14);
    for (const SafetyRule& rule : safetyRules())
        cards->addWidget(new SafetyRuleCard(rule.icon, rule.title, rule.detail, rule.color, content), 1,
                         Qt::AlignVCenter);
    column->addLayout(cards);

    auto* split = new FlatSplitter(Qt::Horizontal, Palette::hairline(), content);
    split->setObjectName(QStringLiteral("safetyGuideSplit"));
    split->setChildrenCollapsible(false);
    split->setMinimumHeight(290);
    split->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    auto* steps = makeSplitPanel(split, QStringLiteral("safetyStepsPanel"),
                                 new SymbolLabel(QStringLiteral("checklist"), text("Before moving a plugin"),
                                                 TextStyle::title3, QColor(Qt::white)));
    int number = 0;
    for (const QString& step : safetySteps())
        steps->addWidget(new SafetyStep(++number, step));
    steps->addStretch(1);
    auto* boundaries =
        makeSplitPanel(split, QStringLiteral("safetyBoundariesPanel"),
                       new SymbolLabel(QStringLiteral("lock.shield"), text("Hard safety boundaries"),
                                       TextStyle::title3, Palette::green()));
    for (const QString& boundary : safetyBoundaries())
        boundaries->addWidget(new SafetyBoundary(boundary));
    boundaries->addStretch(1);
    column->addWidget(split);

    column->addWidget(new InfoBar(text("Find Plugins. Not Frustration. When the dependency is uncertain, "
                                       "protect it and leave it installed."),
                                  Palette::accent(), content));
    column->addStretch(1);
    scroll->setWidget(content);
}

} // namespace quorvane
