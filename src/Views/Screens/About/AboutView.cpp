#include "Views/Screens/About/AboutView.h"

#include "HelperClient/PluginManagementService.h"
#include "Model/HistoryOperation.h"
#include "Store/AppVersion.h"
#include "Store/PluginInventoryStore.h"
#include "Views/Kit/DetailRow.h"
#include "Views/Kit/FlatSplitter.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/MetricCard.h"
#include "Views/Kit/PageHeader.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PathBox.h"
#include "Views/Kit/RoundedBox.h"
#include "Views/Kit/SymbolLabel.h"
#include "Views/Kit/TextStyle.h"
#include "Views/Screens/Shared/AtomicExport.h"
#include "Views/Screens/Shared/ScreenLayout.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvane {

namespace {

QString text(const char* source) {
    return QCoreApplication::translate("AboutView", source);
}

QFont boldTitle3() {
    QFont font = textFont(TextStyle::title3);
    font.setWeight(QFont::Bold);
    return font;
}

} // namespace

AboutSnapshot aboutSnapshot(const PluginInventoryStore& store, const PluginManagementService& service) {
    AboutSnapshot snapshot;
    snapshot.appVersion = appVersion();
    snapshot.appBuildNumber = applicationBuild();
    snapshot.appVersionLabel = appVersionLabel();
    snapshot.productCount = static_cast<qsizetype>(store.plugins().size());
    snapshot.operationCount = countHistoryOperations(store.history());
    snapshot.checks = service.releaseReadinessChecks();
    snapshot.helperVersion = service.helperVersion();
    snapshot.helperIsReachable = service.helperIsReachable();
    snapshot.lastScanDate = store.lastScanDate();
    snapshot.lastReconciliation = store.lastReconciliation();
    snapshot.inaccessibleLocations = store.inaccessibleLocations();
    snapshot.quarantinedBundleCount = store.quarantinedBundleCount();
    return snapshot;
}

AboutContent aboutContent(const AboutSnapshot& snapshot, const Formatters& formatters) {
    AboutContent content;
    content.allChecksPassed =
        std::all_of(snapshot.checks.begin(), snapshot.checks.end(),
                    [](const DirectDistributionReadinessCheck& check) { return check.passed; });
    content.readinessSummary = releaseReadinessSummary(snapshot.checks);
    const QColor readiness = content.allChecksPassed ? Palette::green() : Palette::amber();
    content.cards = {
        {QStringLiteral("app.badge"), text("Version"), snapshot.appVersion,
         text("Build ") + snapshot.appBuildNumber, Palette::accent()},
        {QStringLiteral("puzzlepiece.extension"), text("Products"), QString::number(snapshot.productCount),
         text("Current inventory"), Palette::green()},
        {QStringLiteral("checkmark.seal"), text("Release Checks"),
         QString::number(passedReadinessCheckCount(snapshot.checks)) + u'/' +
             QString::number(snapshot.checks.size()),
         content.allChecksPassed ? text("Ready for archive test") : text("Action required"), readiness},
        {QStringLiteral("clock.arrow.circlepath"), text("Operations"),
         QString::number(snapshot.operationCount), text("Product actions stored locally"), Palette::accent()},
    };
    content.detailRows = {
        {text("Application"), snapshot.appVersionLabel},
        {text("Helper Build"), snapshot.helperVersion.value_or(text("No response"))},
        {text("Secure Handshake"), snapshot.helperIsReachable ? text("Connected") : text("Not Connected")},
        {text("Last Scan"),
         snapshot.lastScanDate ? formatters.abbreviatedDateShortTime(*snapshot.lastScanDate) : text("Never")},
        {text("Quarantined Bundles"), QString::number(snapshot.quarantinedBundleCount)},
    };
    if (snapshot.lastReconciliation)
        content.reconciliation = snapshot.lastReconciliation->summaryText();
    content.unreadableLocations = snapshot.inaccessibleLocations;
    return content;
}

SaveRequest diagnosticReportSaveRequest() {
    SaveRequest request;
    request.title = text("Export Quorvane Diagnostic Report");
    request.defaultFileName = QStringLiteral("Quorvane-Diagnostic-Report.txt");
    request.nameFilter = text("Plain text (*.txt)");
    request.defaultSuffix = QStringLiteral("txt");
    return request;
}

AboutView::AboutView(PluginInventoryStore& store, PluginManagementService& service, ScreenServices services,
                     QWidget* parent)
    : QWidget(parent), m_store(store), m_service(service), m_services(std::move(services)) {
    setObjectName(QStringLiteral("aboutView"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(18);

    auto* exportButton = new KitButton(text("Export Diagnostic Report…"),
                                       QStringLiteral("wrench.and.screwdriver"), ButtonStyle::plain);
    exportButton->setObjectName(QStringLiteral("exportDiagnosticReportButton"));
    connect(exportButton, &QPushButton::clicked, this, &AboutView::exportDiagnosticReport);
    column->addWidget(new PageHeader(text("About Quorvane"),
                                     text("Build information, scan health, and support diagnostics."),
                                     exportButton, this));

    m_cards = new QWidget(this);
    m_cards->setObjectName(QStringLiteral("aboutMetrics"));
    auto* cardRow = new QHBoxLayout(m_cards);
    cardRow->setContentsMargins(0, 0, 0, 0);
    cardRow->setSpacing(14);
    column->addWidget(m_cards);

    auto* split = new FlatSplitter(Qt::Horizontal, Palette::hairline(), this);
    split->setObjectName(QStringLiteral("aboutSplit"));
    split->setChildrenCollapsible(false);
    addSplitPane(split, QStringLiteral("releaseCandidatePane"), 16);
    addSplitPane(split, QStringLiteral("folderAccessPane"), 14);
    m_releasePane = split->widget(0);
    m_folderPane = split->widget(1);
    column->addWidget(split, 1);

    column->addWidget(
        new InfoBar(text("Find Plugins. Not Frustration. Quorvane never permanently deletes plugin bundles."),
                    Palette::accent(), this));

    for (auto signal :
         {&PluginInventoryStore::pluginsChanged, &PluginInventoryStore::historyChanged,
          &PluginInventoryStore::lastScanDateChanged, &PluginInventoryStore::lastReconciliationChanged,
          &PluginInventoryStore::inaccessibleLocationsChanged})
        connect(&m_store, signal, this, &AboutView::refresh);
    for (auto signal :
         {&PluginManagementService::statusChanged, &PluginManagementService::helperIsReachableChanged,
          &PluginManagementService::helperVersionChanged})
        connect(&m_service, signal, this, &AboutView::refresh);
    refresh();
}

void AboutView::refresh() {
    const AboutContent content = aboutContent(aboutSnapshot(m_store, m_service), *m_services.formatters);

    auto* cardRow = m_cards->layout();
    clearLayout(cardRow);
    for (const AboutCard& card : content.cards)
        cardRow->addWidget(
            new MetricCard(card.icon, card.title, card.value, card.detail, card.color, m_cards));

    auto* release = static_cast<QVBoxLayout*>(m_releasePane->layout());
    clearLayout(release);
    auto* releaseTitle =
        new SymbolLabel(QStringLiteral("checkmark.shield"), text("Direct Distribution Release Candidate"),
                        TextStyle::title3, Palette::accent(), m_releasePane);
    releaseTitle->setObjectName(QStringLiteral("releaseCandidateTitle"));
    releaseTitle->textLabel()->setFont(boldTitle3());
    release->addWidget(releaseTitle);
    auto* summary = new InfoBar(content.readinessSummary,
                                content.allChecksPassed ? Palette::green() : Palette::amber(), m_releasePane);
    summary->setObjectName(QStringLiteral("readinessSummary"));
    release->addWidget(summary);
    for (const auto& [label, value] : content.detailRows)
        release->addWidget(new DetailRow(label, value, m_releasePane));
    if (content.reconciliation) {
        release->addWidget(makeDivider(m_releasePane));
        auto* heading =
            makeLabel(text("Last Reconciliation"), TextStyle::headline, std::nullopt, m_releasePane);
        heading->setObjectName(QStringLiteral("lastReconciliationTitle"));
        release->addWidget(heading);
        auto* sentence =
            makeLabel(*content.reconciliation, TextStyle::body, Palette::secondaryText(), m_releasePane);
        sentence->setObjectName(QStringLiteral("lastReconciliationText"));
        sentence->setWordWrap(true);
        release->addWidget(sentence);
    }
    release->addStretch(1);

    auto* folders = static_cast<QVBoxLayout*>(m_folderPane->layout());
    clearLayout(folders);
    auto* folderTitle = makeLabel(text("Folder Access"), TextStyle::title3, std::nullopt, m_folderPane);
    folderTitle->setFont(boldTitle3());
    folders->addWidget(folderTitle);
    if (content.unreadableLocations.isEmpty()) {
        auto* clear = new InfoBar(text("No unreadable plugin folders were reported by the last scan."),
                                  Palette::green(), m_folderPane);
        clear->setObjectName(QStringLiteral("noUnreadableFolders"));
        folders->addWidget(clear);
    } else {
        auto* caption = makeLabel(text("These locations could not be read. Quorvane did not request broader "
                                       "access or stop the rest of the scan."),
                                  TextStyle::caption, Palette::secondaryText(), m_folderPane);
        caption->setObjectName(QStringLiteral("unreadableFoldersCaption"));
        caption->setWordWrap(true);
        folders->addWidget(caption);
        for (const QString& location : content.unreadableLocations)
            folders->addWidget(new PathBox(text("Unreadable Location"), location, m_folderPane));
    }
    folders->addStretch(1);
    folders->addWidget(new InfoBar(text("Diagnostic reports omit the full plugin inventory and quarantine "
                                        "operation IDs."),
                                   Palette::accent(), m_folderPane));
}

void AboutView::exportDiagnosticReport() {
    // The section is asked for first; the store places it inside the report it writes.
    const ExportOutcome outcome =
        exportAtomically(*m_services.saveLocation, this, diagnosticReportSaveRequest(), [this] {
            return m_store.diagnosticReport(m_service.diagnosticsSection()).toUtf8();
        });
    switch (outcome.kind) {
    case ExportOutcome::Kind::cancelled:
        return;
    case ExportOutcome::Kind::written:
        m_store.presentNotice(OperationNotice::make(text("Diagnostic Report Exported"),
                                                    text("The support report was saved to the location you "
                                                         "selected."),
                                                    NoticeStyle::success));
        return;
    case ExportOutcome::Kind::failed:
        m_exportError = outcome.error;
        presentExportFailure(this, outcome.error, text("The diagnostic report could not be exported."),
                             [view = QPointer(this)] {
                                 if (view)
                                     view->m_exportError.reset();
                             });
        return;
    }
}

} // namespace quorvane
