#include "Views/Screens/Inventory/InventoryView.h"

#include "Store/PluginInventoryStore.h"
#include "Views/Kit/BatchSelectionBar.h"
#include "Views/Kit/ConfirmAlert.h"
#include "Views/Kit/FilterMenu.h"
#include "Views/Kit/FlatSplitter.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/MetricCard.h"
#include "Views/Kit/PageHeader.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PathBox.h"
#include "Views/Kit/PluginDetailPane.h"
#include "Views/Kit/PluginTable.h"
#include "Views/Kit/PluginTableModel.h"
#include "Views/Kit/ReadingOrder.h"
#include "Views/Kit/RevealInFinder.h"
#include "Views/Kit/RoundedBox.h"
#include "Views/Kit/SymbolLabel.h"
#include "Views/Kit/TextStyle.h"
#include "Views/Screens/Inventory/InventoryFilterModel.h"
#include "Views/Screens/Shared/ScreenLayout.h"
#include "Views/Screens/Shared/SettleJournalButton.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <numeric>

namespace quorvane {

namespace {

namespace text {
const QString title = QStringLiteral("Plugin Inventory");
const QString authorizeFolder = QStringLiteral("Authorize Folder…");
const QString exportCsv = QStringLiteral("Export CSV…");
const QString cancelScan = QStringLiteral("Cancel Scan");
const QString scanPlugins = QStringLiteral("Scan Plugins");
const QString limitedAccess = QStringLiteral("Limited Folder Access");
const QString limitedAccessDetail =
    QStringLiteral("Quorvane completed a partial read-only scan. Grant access only to the listed plugin "
                   "folders, then scan again.");
const QString openParent = QStringLiteral("Open Parent");
const QString searchPlaceholder = QStringLiteral("Search plugins…");
const QString clearFilters = QStringLiteral("Clear Filters");
const QString pluginNoun = QStringLiteral("plugin");
const QString protectSelected = QStringLiteral("Protect Selected");
const QString removeProtection = QStringLiteral("Remove Protection");
const QString quarantineSelected = QStringLiteral("Quarantine Selected…");
const QString clearSelection = QStringLiteral("Clear Selection");
const QString batchUnavailable = QStringLiteral("Batch quarantine unavailable: ");
const QString batchTitle = QStringLiteral("Quarantine Selected Plugins?");
const QString batchAction = QStringLiteral("Move to Quarantine");
const QString exportFailedFallback = QStringLiteral("The inventory could not be exported.");
} // namespace text

// The system's green, which the authorised-folder label uses instead of the palette's.
QColor systemGreen() {
    return QColor::fromRgbF(0.20, 0.78, 0.35);
}

QWidget* makeRow(QWidget* parent, int spacing, QHBoxLayout** layout) {
    auto* row = new QWidget(parent);
    *layout = new QHBoxLayout(row);
    (*layout)->setContentsMargins(0, 0, 0, 0);
    (*layout)->setSpacing(spacing);
    return row;
}

QLabel* makeMonospaced(const QString& content, int pixelSize, QWidget* parent) {
    auto* label = new QLabel(content, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(monospacedFont(pixelSize));
    setForeground(label, Palette::secondaryText());
    return label;
}

} // namespace

InventoryView::InventoryView(PluginFolderAccess& folderAccess, PluginManagementService& managementService,
                             PluginInventoryStore& store, Binding<std::optional<Plugin>> selectedPlugin,
                             Binding<QString> query, ScreenServices services, QWidget* parent)
    : QWidget(parent),
      m_model(new InventoryViewModel(folderAccess, managementService, store, std::move(selectedPlugin),
                                     std::move(query), std::move(services), this)) {
    setObjectName(QStringLiteral("inventoryView"));
    QVBoxLayout* body = makeScreenColumn(this, 22);
    buildHeader(body);
    buildScanStatusArea(body);
    buildMessageBars(body, store, managementService);
    buildFilterBar(body);
    buildTableAndInspector(body);

    m_helperBar = new QWidget(this);
    m_helperBar->setObjectName(QStringLiteral("helperBlockingArea"));
    auto* helperLayout = new QVBoxLayout(m_helperBar);
    helperLayout->setContentsMargins(0, 0, 0, 0);
    body->addWidget(m_helperBar);

    connect(m_model, &InventoryViewModel::headerChanged, this, &InventoryView::refreshHeader);
    connect(m_model, &InventoryViewModel::scanStatusChanged, this, &InventoryView::refreshStatusArea);
    connect(m_model, &InventoryViewModel::helperBlockingChanged, this, &InventoryView::showHelperBar);
    connect(m_model, &InventoryViewModel::filtersChanged, this, [this] {
        refreshFilters();
        refreshTable();
    });
    connect(m_model, &InventoryViewModel::selectionChanged, this, [this] {
        refreshTable();
        refreshSelectionBlock();
    });
    connect(m_model, &InventoryViewModel::inspectorChanged, this, &InventoryView::refreshInspector);
    connect(m_model, &InventoryViewModel::alertsChanged, this, &InventoryView::refreshAlerts);
    m_model->appear();
    refreshHeader();
    refreshStatusArea();
    showHelperBar();
    refreshFilters();
    refreshTable();
    refreshSelectionBlock();
    refreshInspector();
    refreshAlerts();
}

// The page header with the scan toolbar, and the metric cards under it.
void InventoryView::buildHeader(QVBoxLayout* body) {
    QHBoxLayout* toolbarLayout = nullptr;
    QWidget* toolbar = makeRow(this, 12, &toolbarLayout);
    toolbar->setObjectName(QStringLiteral("scanToolbar"));
    auto* authorize = new KitButton(text::authorizeFolder, QStringLiteral("folder.badge.plus"),
                                    ButtonStyle::bordered, toolbar);
    authorize->setObjectName(QStringLiteral("authorizeFolderButton"));
    connect(authorize, &QPushButton::clicked, m_model, &InventoryViewModel::authorizeFolders);
    toolbarLayout->addWidget(authorize);
    auto* folderLabel = new SymbolLabel(QStringLiteral("checkmark.shield.fill"), QString(),
                                        TextStyle::caption, systemGreen(), toolbar);
    folderLabel->setObjectName(QStringLiteral("authorizedFoldersLabel"));
    folderLabel->setMaximumWidth(260);
    m_folderLabel = folderLabel;
    m_folderText = folderLabel->textLabel();
    toolbarLayout->addWidget(folderLabel);
    m_exportButton =
        new KitButton(text::exportCsv, QStringLiteral("square.and.arrow.up"), ButtonStyle::bordered, toolbar);
    m_exportButton->setObjectName(QStringLiteral("exportCSVButton"));
    connect(m_exportButton, &QPushButton::clicked, this, [this] { m_model->exportCSV(this); });
    toolbarLayout->addWidget(m_exportButton);
    m_cancelButton = new KitButton(text::cancelScan, QStringLiteral("xmark"), ButtonStyle::bordered, toolbar);
    m_cancelButton->setObjectName(QStringLiteral("cancelScanButton"));
    connect(m_cancelButton, &QPushButton::clicked, m_model, &InventoryViewModel::cancelScan);
    toolbarLayout->addWidget(m_cancelButton);
    m_scanButton = new KitButton(text::scanPlugins, QStringLiteral("arrow.clockwise"),
                                 ButtonStyle::borderedProminent, toolbar);
    m_scanButton->setObjectName(QStringLiteral("scanPluginsButton"));
    connect(m_scanButton, &QPushButton::clicked, m_model, &InventoryViewModel::scanPlugins);
    toolbarLayout->addWidget(m_scanButton);
    auto* header = new PageHeader(text::title, m_model->subtitle(), toolbar, this);
    m_subtitle = header->findChild<QLabel*>(QStringLiteral("pageSubtitle"));
    body->addWidget(header);

    // Metric cards.
    QHBoxLayout* metricsLayout = nullptr;
    m_metrics = makeRow(this, 14, &metricsLayout);
    m_metrics->setObjectName(QStringLiteral("metricCards"));
    body->addWidget(m_metrics);
    showMetrics();
    connect(m_model, &InventoryViewModel::metricsChanged, this, &InventoryView::showMetrics);
}

// The scan status area: at most one of its three panels shows.
void InventoryView::buildScanStatusArea(QVBoxLayout* body) {
    m_statusArea = new QWidget(this);
    m_statusArea->setObjectName(QStringLiteral("scanStatusArea"));
    auto* statusLayout = new QVBoxLayout(m_statusArea);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    buildScanProgressPanel(statusLayout);

    m_preparing = new QWidget(m_statusArea);
    m_preparing->setObjectName(QStringLiteral("scanPreparing"));
    auto* preparingLayout = new QVBoxLayout(m_preparing);
    preparingLayout->setContentsMargins(0, 0, 0, 0);
    preparingLayout->addWidget(
        makeLabel(InventoryViewModel::preparingText(), TextStyle::body, std::nullopt, m_preparing));
    auto* busy = new QProgressBar(m_preparing);
    busy->setObjectName(QStringLiteral("scanPreparingBar"));
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    preparingLayout->addWidget(busy);
    statusLayout->addWidget(m_preparing);

    m_limitedPanel = new RoundedBox(withOpacity(Palette::amber(), 0.08), withOpacity(Palette::amber(), 0.5),
                                    wellRadius, m_statusArea);
    m_limitedPanel->setObjectName(QStringLiteral("limitedAccessPanel"));
    auto* limitedLayout = new QVBoxLayout(m_limitedPanel);
    limitedLayout->setContentsMargins(12, 12, 12, 12);
    limitedLayout->setSpacing(9);
    limitedLayout->addWidget(new SymbolLabel(QStringLiteral("lock.trianglebadge.exclamationmark"),
                                             text::limitedAccess, TextStyle::headline, Palette::amber(),
                                             m_limitedPanel));
    auto* limitedDetail =
        makeLabel(text::limitedAccessDetail, TextStyle::caption, Palette::secondaryText(), m_limitedPanel);
    limitedDetail->setWordWrap(true);
    limitedLayout->addWidget(limitedDetail);
    m_limitedRows = new QVBoxLayout;
    m_limitedRows->setSpacing(4);
    limitedLayout->addLayout(m_limitedRows);
    statusLayout->addWidget(m_limitedPanel);
    body->addWidget(m_statusArea);
    showInaccessibleLocations();
    connect(m_model, &InventoryViewModel::inaccessibleLocationsChanged, this,
            &InventoryView::showInaccessibleLocations);
}

// The running scan's progress, the first panel of the status area.
void InventoryView::buildScanProgressPanel(QVBoxLayout* statusLayout) {
    m_progressPanel = new RoundedBox(Palette::panel(), std::nullopt, wellRadius, m_statusArea);
    m_progressPanel->setObjectName(QStringLiteral("scanProgressPanel"));
    auto* progressLayout = new QVBoxLayout(m_progressPanel);
    progressLayout->setContentsMargins(12, 12, 12, 12);
    progressLayout->setSpacing(8);
    QHBoxLayout* progressRow = nullptr;
    QWidget* progressHeading = makeRow(m_progressPanel, 8, &progressRow);
    m_progressTitle = makeLabel(QString(), TextStyle::body, std::nullopt, progressHeading);
    m_progressTitle->setObjectName(QStringLiteral("scanProgressTitle"));
    m_progressTitle->setFont(systemFont(bodyPixelSize, QFont::DemiBold));
    m_progressCount = makeMonospaced(QString(), 11, progressHeading);
    m_progressCount->setObjectName(QStringLiteral("scanProgressCount"));
    progressRow->addWidget(m_progressTitle);
    progressRow->addStretch(1);
    progressRow->addWidget(m_progressCount);
    progressLayout->addWidget(progressHeading);
    m_progressBar = new QProgressBar(m_progressPanel);
    m_progressBar->setObjectName(QStringLiteral("scanProgressBar"));
    m_progressBar->setTextVisible(false);
    progressLayout->addWidget(m_progressBar);
    m_progressLocation = makeMonospaced(QString(), 10, m_progressPanel);
    m_progressLocation->setObjectName(QStringLiteral("scanProgressLocation"));
    // One line that never widens the screen: a long path is shortened to the panel's width.
    m_progressLocation->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    progressLayout->addWidget(m_progressLocation);
    statusLayout->addWidget(m_progressPanel);
}

// The message bars and the button that settles an unfinished journal.
void InventoryView::buildMessageBars(QVBoxLayout* body, PluginInventoryStore& store,
                                     PluginManagementService& managementService) {
    m_messages = new QWidget(this);
    m_messages->setObjectName(QStringLiteral("messageBars"));
    auto* messagesLayout = new QVBoxLayout(m_messages);
    messagesLayout->setContentsMargins(0, 0, 0, 0);
    messagesLayout->setSpacing(8);
    body->addWidget(m_messages);
    showMessageBars();
    connect(m_model, &InventoryViewModel::messageBarsChanged, this, &InventoryView::showMessageBars);
    body->addWidget(new SettleJournalButton(store, managementService, this), 0, Qt::AlignLeft);
}

// The search field with its filter menus, and the list header under them.
void InventoryView::buildFilterBar(QVBoxLayout* body) {
    QHBoxLayout* filterLayout = nullptr;
    m_filterBar = makeRow(this, 12, &filterLayout);
    m_filterBar->setObjectName(QStringLiteral("filterBar"));
    m_search = new QLineEdit(m_filterBar);
    m_search->setObjectName(QStringLiteral("searchField"));
    m_search->setPlaceholderText(text::searchPlaceholder);
    // The rounded-border field.
    m_search->setStyleSheet(
        QStringLiteral("QLineEdit { background: %1; border: 1px solid %2; border-radius: 6px;"
                       " padding: 4px 8px; }")
            .arg(Palette::raisedPanel().name(QColor::HexArgb),
                 withOpacity(QColor(Qt::white), 0.2).name(QColor::HexArgb)));
    m_search->setText(m_model->query());
    connect(m_search, &QLineEdit::textChanged, m_model, &InventoryViewModel::setQuery);
    filterLayout->addWidget(m_search, 1);
    m_filterMenus.resize(4, nullptr);
    for (auto filter : {InventoryViewModel::Filter::format, InventoryViewModel::Filter::manufacturer,
                        InventoryViewModel::Filter::architecture, InventoryViewModel::Filter::status})
        showFilterMenu(filter);
    connect(m_model, &InventoryViewModel::optionsChanged, this, &InventoryView::showFilterMenu);
    body->addWidget(m_filterBar);

    QHBoxLayout* listHeaderLayout = nullptr;
    QWidget* listHeader = makeRow(this, 8, &listHeaderLayout);
    listHeader->setObjectName(QStringLiteral("listHeader"));
    m_shownCount = makeLabel(QString(), TextStyle::caption, Palette::secondaryText(), listHeader);
    m_shownCount->setObjectName(QStringLiteral("shownCountLabel"));
    listHeaderLayout->addWidget(m_shownCount);
    listHeaderLayout->addStretch(1);
    auto* clear = new KitButton(text::clearFilters, QString(), ButtonStyle::plain, listHeader);
    clear->setTint(Palette::accent());
    clear->setObjectName(QStringLiteral("clearFiltersButton"));
    connect(clear, &QPushButton::clicked, m_model, &InventoryViewModel::clearFilters);
    m_clearFilters = clear;
    listHeaderLayout->addWidget(clear);
    body->addWidget(listHeader);
}

// The batch bar block, in room kept for it whether or not anything is selected, then the table
// and the inspector.
void InventoryView::buildTableAndInspector(QVBoxLayout* body) {
    m_selectionBlock = new QWidget(this);
    m_selectionBlock->setObjectName(QStringLiteral("selectionBlock"));
    auto* selectionLayout = new QVBoxLayout(m_selectionBlock);
    selectionLayout->setContentsMargins(0, 0, 0, 0);
    selectionLayout->setSpacing(6);
    addBatchArea(body, this)->addWidget(m_selectionBlock);

    // Table and inspector.
    auto* split = new FlatSplitter(Qt::Horizontal, Palette::hairline(), this);
    split->setObjectName(QStringLiteral("inventorySplit"));
    split->setChildrenCollapsible(false);
    m_filter = new InventoryFilterModel(*m_model, this);
    m_table = new MultiSelectPluginTable({[this] { return m_tableIDs = m_model->selectedPluginIDs(); },
                                          [this](QSet<QUuid> ids) {
                                              m_tableIDs = ids;
                                              m_model->setSelectedPluginIDs(ids);
                                          }},
                                         split, m_filter);
    m_table->setMinimumWidth(pluginTableMinimumWidth);
    split->addWidget(m_table);
    PluginDetailPane::Actions actions{
        [this](const Plugin& plugin) { return m_model->quarantineReason(plugin); },
        [this](const Plugin& plugin, const PluginBundleRecord& bundle) {
            return m_model->bundleQuarantineReason(plugin, bundle);
        },
        [this](const Plugin& plugin, bool protect) { m_model->setProtection(plugin, protect); },
        [this](const Plugin& plugin, const PluginBundleRecord& bundle, bool protect) {
            m_model->setBundleProtection(plugin, bundle, protect);
        },
        [this](const Plugin& plugin) { m_model->quarantinePlugins({plugin}); },
        [this](const Plugin& plugin, const PluginBundleRecord& bundle) {
            m_model->quarantineSelections({PluginBundleSelection{plugin.id, bundle.id()}});
        }};
    m_inspector = new PluginDetailPane(std::move(actions), split);
    m_inspector->setMinimumWidth(285);
    m_inspector->setMaximumWidth(350);
    split->addWidget(m_inspector);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    split->setSizes({900, 315});
    body->addWidget(split, 1);
}

void InventoryView::refreshHeader() {
    if (m_subtitle)
        m_subtitle->setText(m_model->subtitle());
    const std::optional<QString> folders = m_model->folderLabel();
    m_folderLabel->setVisible(folders.has_value());
    if (folders) {
        m_folderText->setToolTip(*folders);
        m_folderText->setText(QFontMetrics(m_folderText->font()).elidedText(*folders, Qt::ElideMiddle, 220));
    }
    m_exportButton->setEnabled(m_model->canExport());
    const bool scanning = m_model->isScanning();
    // The scan button and the cancel button take each other's place; the focus goes with them,
    // also behind the scan's notice.
    const QWidget* held = window()->focusWidget();
    m_cancelButton->setVisible(scanning);
    m_scanButton->setVisible(!scanning);
    m_scanButton->setEnabled(m_model->canScan());
    if (held == m_scanButton && scanning)
        giveFocus(m_cancelButton, Qt::OtherFocusReason);
    else if (held == m_cancelButton && !scanning && m_scanButton->isEnabled())
        giveFocus(m_scanButton, Qt::OtherFocusReason);
}

void InventoryView::showMetrics() {
    clearLayout(m_metrics->layout());
    for (const auto& metric : m_model->metrics())
        m_metrics->layout()->addWidget(
            new MetricCard(metric.icon, metric.title, metric.value, metric.detail, metric.color, m_metrics));
}

void InventoryView::refreshStatusArea() {
    const auto area = m_model->scanStatusArea();
    using Area = InventoryViewModel::ScanStatusArea;
    m_statusArea->setVisible(area != Area::none);
    m_progressPanel->setVisible(area == Area::progress);
    m_preparing->setVisible(area == Area::preparing);
    m_limitedPanel->setVisible(area == Area::limitedAccess);
    if (area == Area::progress) {
        m_progressTitle->setText(m_model->scanProgressTitle());
        m_progressCount->setText(m_model->scanProgressCount());
        m_progressBar->setRange(0, m_model->scanProgressTotal());
        m_progressBar->setValue(std::min(m_model->scanProgressValue(), m_model->scanProgressTotal()));
        const QString location = m_model->scanProgressLocation();
        const int width = m_progressLocation->width();
        m_progressLocation->setText(
            width > 0 ? QFontMetrics(m_progressLocation->font()).elidedText(location, Qt::ElideMiddle, width)
                      : location);
        m_progressLocation->setToolTip(location);
    }
}

// The rows of the limited-access panel, made again whenever the locations change.
void InventoryView::showInaccessibleLocations() {
    clearLayout(m_limitedRows);
    for (const QString& location : m_model->inaccessibleLocations()) {
        QHBoxLayout* rowLayout = nullptr;
        QWidget* row = makeRow(m_limitedPanel, 8, &rowLayout);
        row->setObjectName(QStringLiteral("inaccessibleLocationRow"));
        // Selectable, and wrapped anywhere so that a long path never widens the screen.
        auto* path = new WrappingText(location, monospacedFont(10), 3, row);
        path->setObjectName(QStringLiteral("inaccessibleLocation"));
        setForeground(path, Palette::secondaryText());
        rowLayout->addWidget(path, 1);
        auto* open = new KitButton(text::openParent, QString(), ButtonStyle::plain, row);
        open->setObjectName(QStringLiteral("openParentButton"));
        connect(open, &QPushButton::clicked, m_model,
                [model = m_model, location] { model->openParentFolder(location); });
        rowLayout->addWidget(open);
        m_limitedRows->addWidget(row);
    }
}

// The message bars, made again whenever what they say changes.
void InventoryView::showMessageBars() {
    const std::vector<InventoryViewModel::MessageBar> bars = m_model->messageBars();
    clearLayout(m_messages->layout());
    for (const auto& bar : bars)
        m_messages->layout()->addWidget(new InfoBar(bar.text, bar.color, m_messages));
    m_messages->setVisible(!bars.empty());
}

void InventoryView::showHelperBar() {
    const std::optional<QString> helper = m_model->helperBlockingText();
    auto* helperBars = static_cast<QVBoxLayout*>(m_helperBar->layout());
    clearLayout(helperBars);
    addAmberBar(helperBars, helper, QStringLiteral("helperBlockingBar"), m_helperBar);
    m_helperBar->setVisible(helper.has_value());
}

void InventoryView::refreshFilters() {
    if (m_search->text() != m_model->query()) {
        const QSignalBlocker blocker(m_search);
        m_search->setText(m_model->query());
    }
    for (FilterMenu* menu : m_filterMenus)
        menu->refresh();
    m_shownCount->setText(m_model->shownCountText());
    m_clearFilters->setVisible(m_model->hasActiveFilters());
}

// A menu is made again only when its options came or went.
void InventoryView::showFilterMenu(InventoryViewModel::Filter filter) {
    // In the order of the filters.
    static const char* titles[] = {"Format", "Manufacturer", "Architecture", "Status"};
    static const char* names[] = {"formatFilter", "manufacturerFilter", "architectureFilter", "statusFilter"};
    const auto index = static_cast<size_t>(filter);
    auto* menu =
        new FilterMenu(QString::fromLatin1(titles[index]),
                       {[model = m_model, filter] { return model->filter(filter); },
                        [model = m_model, filter](QString value) { model->setFilter(filter, value); }},
                       m_model->options(filter), m_filterBar);
    menu->setObjectName(QString::fromLatin1(names[index]));
    if (FilterMenu* old = m_filterMenus[index]) {
        // The layout hands back the old menu's item, which is ours to delete.
        delete m_filterBar->layout()->replaceWidget(old, menu);
        old->hide();
        old->setParent(nullptr);
        old->deleteLater();
    } else {
        m_filterBar->layout()->addWidget(menu);
    }
    m_filterMenus[index] = menu;
}

void InventoryView::refreshTable() {
    const bool filterMoved = m_model->rowFilter() != m_filter->rowFilter();
    bool applied = false;
    if (!m_tableFilled || m_tableGeneration != m_model->generation()) {
        // The rows the change brings are filtered with the screen's choice of now.
        if (!filterMoved)
            m_filter->takeChoice();
        // A change of a few products changes only their rows; the rest keep their selection.
        const std::optional<QSet<QUuid>> changed =
            m_tableFilled ? m_model->changedSince(m_tableGeneration) : std::nullopt;
        const PluginList& plugins = m_model->sharedActivePlugins();
        std::vector<int> every(plugins.size());
        std::iota(every.begin(), every.end(), 0);
        if (!changed || !m_table->updatePlugins(plugins, std::move(every), *changed))
            m_table->setPlugins(plugins);
        m_tableGeneration = m_model->generation();
        m_tableFilled = true;
        applied = true;
    }
    // A new filter choice re-filters the rows the table has; its products stay as they are.
    if (filterMoved) {
        m_table->changeShownRows([this] { m_filter->refilter(); });
        applied = true;
    }
    if (!applied && m_tableIDs != m_model->selectedPluginIDs())
        m_table->refreshSelection();
}

void InventoryView::refreshSelectionBlock() {
    const bool any = !m_model->selectedPluginIDs().isEmpty();
    m_selectionBlock->setVisible(any);
    if (!any)
        return;
    const int count = m_model->selectedPluginCount();
    if (!m_batchBar) {
        // Built once and updated in place, so a new selection costs no widgets.
        auto* actions = new QWidget;
        auto* actionsLayout = new QHBoxLayout(actions);
        actionsLayout->setContentsMargins(0, 0, 0, 0);
        actionsLayout->setSpacing(8);
        m_protectButton = new KitButton(text::protectSelected, QStringLiteral("shield.checkered"),
                                        ButtonStyle::bordered, actions);
        m_protectButton->setObjectName(QStringLiteral("protectSelectedButton"));
        connect(m_protectButton, &QPushButton::clicked, m_model,
                [model = m_model] { model->setBatchProtection(true); });
        m_removeButton = new KitButton(text::removeProtection, QStringLiteral("shield.slash"),
                                       ButtonStyle::bordered, actions);
        m_removeButton->setObjectName(QStringLiteral("removeProtectionButton"));
        connect(m_removeButton, &QPushButton::clicked, m_model,
                [model = m_model] { model->setBatchProtection(false); });
        m_quarantineButton = new KitButton(text::quarantineSelected, QStringLiteral("shippingbox"),
                                           ButtonStyle::borderedProminent, actions);
        m_quarantineButton->setObjectName(QStringLiteral("quarantineSelectedButton"));
        connect(m_quarantineButton, &QPushButton::clicked, m_model,
                [model = m_model] { model->setConfirmBatchQuarantine(true); });
        auto* clear = new KitButton(text::clearSelection, QString(), ButtonStyle::plain, actions);
        clear->setObjectName(QStringLiteral("clearSelectionButton"));
        connect(clear, &QPushButton::clicked, m_model, &InventoryViewModel::clearSelection);
        for (QWidget* button : {static_cast<QWidget*>(m_protectButton), static_cast<QWidget*>(m_removeButton),
                                static_cast<QWidget*>(m_quarantineButton), static_cast<QWidget*>(clear)})
            actionsLayout->addWidget(button);
        m_batchBar = new BatchSelectionBar(count, text::pluginNoun, actions, m_selectionBlock);
        m_selectionBlock->layout()->addWidget(m_batchBar);
        m_batchReason = makeLabel(QString(), TextStyle::caption2, Palette::amber(), m_selectionBlock);
        m_batchReason->setObjectName(QStringLiteral("batchQuarantineUnavailable"));
        m_batchReason->setWordWrap(true);
        m_selectionBlock->layout()->addWidget(m_batchReason);
    }
    const std::optional<QString> reason = m_model->batchQuarantineReason();
    m_batchBar->setCount(count);
    m_protectButton->setEnabled(m_model->canProtectSelected());
    m_removeButton->setEnabled(m_model->canRemoveProtectionFromSelected());
    m_quarantineButton->setEnabled(!reason);
    m_batchReason->setVisible(reason.has_value());
    m_batchReason->setText(reason ? text::batchUnavailable + *reason : QString());
}

void InventoryView::refreshInspector() {
    const std::optional<Plugin> plugin = m_model->selectedPlugin();
    m_inspector->setPlugin(plugin, plugin ? plugin->bundleRecords() : std::vector<PluginBundleRecord>{});
}

void InventoryView::refreshAlerts() {
    if (m_model->confirmBatchQuarantine() && !m_batchAlert) {
        // The alert names the selection as it is now; confirming moves exactly that, re-planned, even
        // should a scan or another action change the selection meanwhile.
        m_batchAlert =
            presentConfirmation(this, text::batchTitle, m_model->batchQuarantineMessage(), text::batchAction,
                                [model = QPointer<InventoryViewModel>(m_model),
                                 named = activeBundleSelections(m_model->selectedPlugins())] {
                                    if (model)
                                        model->quarantineSelections(named);
                                });
        m_batchAlert->setObjectName(QStringLiteral("batchQuarantineAlert"));
        connect(m_batchAlert, &QMessageBox::finished, m_model,
                [model = m_model] { model->setConfirmBatchQuarantine(false); });
    }
    if (m_model->exportError() && !m_exportAlert) {
        m_exportAlert = presentExportFailure(this, *m_model->exportError(), text::exportFailedFallback,
                                             [model = QPointer<InventoryViewModel>(m_model)] {
                                                 if (model)
                                                     model->dismissExportError();
                                             });
    }
}

} // namespace quorvane
