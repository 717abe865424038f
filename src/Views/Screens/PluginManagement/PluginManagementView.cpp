#include "Views/Screens/PluginManagement/PluginManagementView.h"

#include "HelperClient/PluginManagementService.h"
#include "Store/AppVersion.h"
#include "Views/Kit/FlatSplitter.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/MetricCard.h"
#include "Views/Kit/PageHeader.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/RoundedBox.h"
#include "Views/Kit/SymbolIcons.h"
#include "Views/Kit/SymbolLabel.h"
#include "Views/Kit/TextStyle.h"
#include "Views/Screens/Shared/SafetyStep.h"
#include "Views/Screens/Shared/ScreenLayout.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QShowEvent>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvane {

namespace {

QString text(const char* source) {
    return QCoreApplication::translate("PluginManagementView", source);
}

QFont boldFont(TextStyle style, QFont::Weight weight = QFont::Bold) {
    QFont font = textFont(style);
    font.setWeight(weight);
    return font;
}

QString objectNameOf(PluginManagementAction action) {
    switch (action) {
    case PluginManagementAction::enable:
        return QStringLiteral("enablePluginManagementButton");
    case PluginManagementAction::openApprovalSettings:
        return QStringLiteral("openSystemSettingsButton");
    case PluginManagementAction::repairOrUpdate:
        return QStringLiteral("repairPluginManagementButton");
    case PluginManagementAction::testSecureHelper:
        return QStringLiteral("testSecureHelperButton");
    }
    return {};
}

} // namespace

PluginManagementSnapshot pluginManagementSnapshot(const PluginManagementService& service) {
    PluginManagementSnapshot snapshot;
    snapshot.status = service.status();
    snapshot.helperIsReachable = service.helperIsReachable();
    snapshot.helperVersion = service.helperVersion();
    snapshot.lastError = service.lastError();
    snapshot.lastHandshakeNotice = service.lastHandshakeNotice();
    snapshot.isWorking = service.isWorking();
    snapshot.needsHelperUpdate = service.needsHelperUpdate();
    snapshot.checks = service.releaseReadinessChecks();
    snapshot.appBuildNumber = applicationBuild();
    return snapshot;
}

StatusPresentation statusPresentation(PluginManagementStatus status) {
    switch (status) {
    case PluginManagementStatus::notRegistered:
        return {title(status), QStringLiteral("lock.shield"),
                text("Plugin management has not been enabled on this Mac.")};
    case PluginManagementStatus::requiresApproval:
        return {
            title(status), QStringLiteral("person.badge.key.fill"),
            text("Approve Quorvane under System Settings \u2192 General \u2192 Login Items & Extensions.")};
    case PluginManagementStatus::enabled:
        return {title(status), QStringLiteral("checkmark.shield.fill"),
                text("The administrator-approved helper is registered with macOS.")};
    case PluginManagementStatus::notFound:
        return {title(status), QStringLiteral("exclamationmark.triangle.fill"),
                text("The embedded helper or launch daemon property list could not be found.")};
    case PluginManagementStatus::unavailable:
        break;
    }
    return {title(PluginManagementStatus::unavailable), QStringLiteral("questionmark.diamond.fill"),
            text("macOS returned a helper status Quorvane does not recognize.")};
}

QColor managementStatusColor(PluginManagementStatus status, bool helperIsReachable) {
    switch (status) {
    case PluginManagementStatus::notRegistered:
        return Palette::accent();
    case PluginManagementStatus::requiresApproval:
        return Palette::amber();
    case PluginManagementStatus::enabled:
        return helperIsReachable ? Palette::green() : Palette::accent();
    case PluginManagementStatus::notFound:
    case PluginManagementStatus::unavailable:
        break;
    }
    return Palette::red();
}

PrimaryAction primaryAction(const PluginManagementSnapshot& snapshot) {
    switch (snapshot.status) {
    case PluginManagementStatus::requiresApproval:
        return {PluginManagementAction::openApprovalSettings, text("Open System Settings"),
                QStringLiteral("gear"), true};
    case PluginManagementStatus::enabled:
        if (snapshot.needsHelperUpdate)
            return {PluginManagementAction::repairOrUpdate, text("Repair / Update Plugin Management"),
                    QStringLiteral("arrow.triangle.2.circlepath"), true};
        return {PluginManagementAction::testSecureHelper, text("Test Secure Helper"),
                QStringLiteral("bolt.shield"), true};
    case PluginManagementStatus::notRegistered:
    case PluginManagementStatus::notFound:
    case PluginManagementStatus::unavailable:
        break;
    }
    return {PluginManagementAction::enable, text("Enable Plugin Management"),
            QStringLiteral("person.badge.key.fill"), !snapshot.isWorking};
}

PluginManagementContent pluginManagementContent(const PluginManagementSnapshot& snapshot) {
    PluginManagementContent content;
    content.status = statusPresentation(snapshot.status);
    content.statusColor = managementStatusColor(snapshot.status, snapshot.helperIsReachable);
    content.primary = primaryAction(snapshot);

    const bool enabled = snapshot.status == PluginManagementStatus::enabled;
    content.cards = {
        {content.status.symbol, text("Helper Status"), content.status.title,
         enabled ? text("Registered with macOS") : text("Action required"), content.statusColor},
        {QStringLiteral("arrow.left.arrow.right.circle"), text("Secure Handshake"),
         snapshot.helperIsReachable ? text("Connected") : text("Not Connected"),
         snapshot.helperVersion ? text("Helper Build ") + *snapshot.helperVersion
                                : text("No helper response"),
         snapshot.helperIsReachable ? Palette::green() : Palette::amber()},
        {QStringLiteral("shippingbox.and.arrow.backward"), text("Distribution"), text("Direct"),
         text("Developer ID + notarization path"), Palette::accent()},
    };

    if (snapshot.status == PluginManagementStatus::requiresApproval)
        content.notices.push_back({QStringLiteral("approvalInfoBar"),
                                   text("In Login Items & Extensions, allow Quorvane under App Background "
                                        "Activity, then return here and refresh."),
                                   Palette::amber()});
    if (snapshot.lastError)
        content.notices.push_back(
            {QStringLiteral("lastErrorInfoBar"), *snapshot.lastError, Palette::amber()});
    if (snapshot.lastHandshakeNotice)
        content.notices.push_back({QStringLiteral("handshakeNoticeInfoBar"), *snapshot.lastHandshakeNotice,
                                   snapshot.helperIsReachable ? Palette::green() : Palette::amber()});

    const auto& checks = snapshot.checks;
    content.readinessTitle = text("Build ") + snapshot.appBuildNumber + text(" Release Readiness");
    content.readinessCount = QString::number(passedReadinessCheckCount(checks)) + QLatin1Char('/') +
                             QString::number(static_cast<qsizetype>(checks.size()));
    content.allChecksPassed =
        std::all_of(checks.begin(), checks.end(),
                    [](const DirectDistributionReadinessCheck& check) { return check.passed; });
    for (const DirectDistributionReadinessCheck& check : checks)
        content.readinessRows.push_back({check.id, check.title, check.detail,
                                         check.passed ? QStringLiteral("checkmark.circle.fill")
                                                      : QStringLiteral("exclamationmark.circle.fill"),
                                         check.passed ? Palette::green() : Palette::amber()});
    content.readinessSummary = releaseReadinessSummary(checks);
    return content;
}

const std::vector<QString>& pluginManagementSetupSteps() {
    static const std::vector<QString> steps{
        text("Enable Plugin Management and approve Quorvane in System Settings."),
        text("Refresh Status and confirm all six release-readiness checks pass."),
        text("Authorize only the plugin folder needed for a complete inventory scan."),
        text("Test one disposable plugin before managing production tools."),
    };
    return steps;
}

PluginManagementViewModel::PluginManagementViewModel(PluginManagementService& service,
                                                     std::shared_ptr<DocumentOpener> documents)
    : m_service(service), m_documents(std::move(documents)) {}

PluginManagementContent PluginManagementViewModel::content() const {
    return pluginManagementContent(pluginManagementSnapshot(m_service));
}

void PluginManagementViewModel::refreshStatus() {
    m_service.refreshStatus();
}

void PluginManagementViewModel::perform(PluginManagementAction action) {
    switch (action) {
    case PluginManagementAction::enable:
        m_service.registerHelper();
        return;
    case PluginManagementAction::openApprovalSettings:
        openApprovalSettings();
        return;
    case PluginManagementAction::repairOrUpdate:
        m_service.repairRegistration();
        return;
    case PluginManagementAction::testSecureHelper:
        m_service.connectAndHandshake(true);
        return;
    }
}

void PluginManagementViewModel::openApprovalSettings() {
    if (m_documents)
        (void)m_documents->open(m_service.installLayout().approvalHelpPage());
}

PluginManagementView::PluginManagementView(PluginManagementService& service, ScreenServices services,
                                           QWidget* parent)
    : QWidget(parent), m_model(service, services.documents) {
    setObjectName(QStringLiteral("pluginManagementView"));
    // In a window of the smallest height the panels are taller than the screen; they scroll
    // rather than squeeze the readiness summary out of sight.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("pluginManagementScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Its controls take Tab and show it; the area itself would be a stop that shows nothing.
    scroll->setFocusPolicy(Qt::NoFocus);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    content->setObjectName(QStringLiteral("pluginManagementContent"));
    scroll->setWidget(content);
    QVBoxLayout* column = makeScreenColumn(content);
    // Only the height scrolls: the content always takes the viewport's width, as it did unscrolled.
    content->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    column->setSizeConstraint(QLayout::SetNoConstraint);

    auto* refreshButton =
        new KitButton(text("Refresh Status"), QStringLiteral("arrow.clockwise"), ButtonStyle::plain);
    refreshButton->setObjectName(QStringLiteral("refreshStatusButton"));
    connect(refreshButton, &QPushButton::clicked, this, [this] { m_model.refreshStatus(); });
    column->addWidget(new PageHeader(text("Plugin Management"),
                                     text("Administrator-approved access for system plugin folders."),
                                     refreshButton, content));

    m_cards = new QWidget(content);
    m_cards->setObjectName(QStringLiteral("pluginManagementMetrics"));
    auto* cardRow = new QHBoxLayout(m_cards);
    cardRow->setContentsMargins(0, 0, 0, 0);
    cardRow->setSpacing(14);
    column->addWidget(m_cards);

    auto* split = new FlatSplitter(Qt::Horizontal, Qt::transparent, content);
    split->setObjectName(QStringLiteral("pluginManagementSplit"));
    split->setChildrenCollapsible(false);
    m_statusPane = addSplitPane(split, QStringLiteral("managementStatusPane"), 16)->parentWidget();
    m_readinessPane = addSplitPane(split, QStringLiteral("releaseReadinessPane"), 16)->parentWidget();
    m_statusFocus.emplace(m_statusPane, [this] { return this; });
    // The panes share the width evenly whatever they hold, with the cards' gap between them.
    split->setHandleWidth(14);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setSizes({1, 1});
    column->addWidget(split, 1);

    auto* steps = new PanelFrame(content);
    steps->setObjectName(QStringLiteral("setupSteps"));
    auto* stepRow = new QHBoxLayout(steps);
    stepRow->setContentsMargins(14, 14, 14, 14);
    stepRow->setSpacing(14);
    // A step of fewer lines sits level with the middle of the longest.
    int number = 0;
    for (const QString& step : pluginManagementSetupSteps())
        stepRow->addWidget(new SafetyStep(++number, step, steps), 1, Qt::AlignVCenter);
    column->addWidget(steps);

    for (auto signal :
         {&PluginManagementService::statusChanged, &PluginManagementService::helperIsReachableChanged,
          &PluginManagementService::helperVersionChanged, &PluginManagementService::lastErrorChanged,
          &PluginManagementService::lastHandshakeNoticeChanged, &PluginManagementService::isWorkingChanged})
        connect(&service, signal, this, &PluginManagementView::refresh);
    refresh();
}

void PluginManagementView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Every appearance asks for the status again; a window coming back from the dock does not.
    if (!event->spontaneous())
        m_model.refreshStatus();
}

void PluginManagementView::refresh() {
    const PluginManagementContent content = m_model.content();

    auto* cardRow = m_cards->layout();
    clearLayout(cardRow);
    for (const PluginManagementCard& card : content.cards)
        cardRow->addWidget(
            new MetricCard(card.icon, card.title, card.value, card.detail, card.color, m_cards));

    auto* status = static_cast<QVBoxLayout*>(m_statusPane->layout());
    const FocusKeeper::Rebuild keepFocus = m_statusFocus->rebuild();
    clearLayout(status);
    auto* title = new SymbolLabel(content.status.symbol, content.status.title, TextStyle::title2,
                                  content.statusColor, m_statusPane);
    title->setObjectName(QStringLiteral("managementStatusTitle"));
    title->textLabel()->setFont(boldFont(TextStyle::title2));
    status->addWidget(title);
    auto* description =
        makeLabel(content.status.description, TextStyle::body, Palette::secondaryText(), m_statusPane);
    description->setObjectName(QStringLiteral("managementStatusDescription"));
    description->setWordWrap(true);
    status->addWidget(description);
    auto* primary = new KitButton(content.primary.label, content.primary.symbol,
                                  ButtonStyle::borderedProminent, m_statusPane);
    primary->setObjectName(objectNameOf(content.primary.action));
    primary->setMinimumHeight(32);
    primary->setEnabled(content.primary.enabled);
    connect(primary, &QPushButton::clicked, this,
            [this, action = content.primary.action] { m_model.perform(action); });
    status->addWidget(primary, 0, Qt::AlignLeft);
    for (const PluginManagementNotice& notice : content.notices) {
        auto* bar = new InfoBar(notice.text, notice.color, m_statusPane);
        bar->setObjectName(notice.objectName);
        status->addWidget(bar);
    }
    status->addStretch(1);

    auto* readiness = static_cast<QVBoxLayout*>(m_readinessPane->layout());
    clearLayout(readiness);
    auto* header = new QHBoxLayout;
    auto* readinessTitle =
        makeLabel(content.readinessTitle, TextStyle::title3, std::nullopt, m_readinessPane);
    readinessTitle->setObjectName(QStringLiteral("releaseReadinessTitle"));
    readinessTitle->setFont(boldFont(TextStyle::title3));
    header->addWidget(readinessTitle);
    header->addStretch(1);
    auto* count = makeLabel(content.readinessCount, TextStyle::headline,
                            content.allChecksPassed ? Palette::green() : Palette::amber(), m_readinessPane);
    count->setObjectName(QStringLiteral("releaseReadinessCount"));
    QFont digits = monospacedFont(textFont(TextStyle::headline).pixelSize());
    digits.setWeight(QFont::DemiBold);
    count->setFont(digits);
    header->addWidget(count);
    readiness->addLayout(header);
    for (const ReadinessRow& row : content.readinessRows) {
        auto* line = new QWidget(m_readinessPane);
        line->setObjectName(QStringLiteral("readinessCheck-") + row.id);
        line->setProperty("symbol", row.symbol);
        auto* lineLayout = new QHBoxLayout(line);
        lineLayout->setContentsMargins(0, 0, 0, 0);
        lineLayout->setSpacing(10);
        auto* icon = new QLabel(line);
        icon->setObjectName(QStringLiteral("readinessCheckSymbol"));
        icon->setPixmap(symbolPixmap(row.symbol, row.color, 16));
        icon->setFixedSize(16, 16);
        lineLayout->addWidget(icon, 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        auto* checkTitle = makeLabel(row.title, TextStyle::body, std::nullopt, line);
        checkTitle->setObjectName(QStringLiteral("readinessCheckTitle"));
        checkTitle->setFont(boldFont(TextStyle::body, QFont::DemiBold));
        auto* checkDetail = makeLabel(row.detail, TextStyle::caption, Palette::secondaryText(), line);
        checkDetail->setObjectName(QStringLiteral("readinessCheckDetail"));
        checkDetail->setWordWrap(true);
        texts->addWidget(checkTitle);
        texts->addWidget(checkDetail);
        lineLayout->addLayout(texts, 1);
        readiness->addWidget(line);
    }
    auto* summary =
        new InfoBar(content.readinessSummary, content.allChecksPassed ? Palette::green() : Palette::amber(),
                    m_readinessPane);
    summary->setObjectName(QStringLiteral("releaseReadinessSummary"));
    readiness->addWidget(summary);
    readiness->addStretch(1);
}

} // namespace quorvane
