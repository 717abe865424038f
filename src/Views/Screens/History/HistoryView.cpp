#include "Views/Screens/History/HistoryView.h"

#include "Store/DisplayTime.h"
#include "Store/PluginInventoryStore.h"
#include "Views/Kit/DetailShell.h"
#include "Views/Kit/InfoBar.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/MetricCard.h"
#include "Views/Kit/PageHeader.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/RoundedBox.h"
#include "Views/Kit/SymbolIcons.h"
#include "Views/Kit/TextStyle.h"
#include "Views/Screens/History/HistoryCsvExport.h"
#include "Views/Screens/Shared/AtomicExport.h"
#include "Views/Screens/Shared/ScreenLayout.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace quorvane {

namespace {

QString text(const char* source) {
    return QCoreApplication::translate("HistoryView", source);
}

constexpr int rowPadding = 16;
constexpr int columnSpacing = 16;
constexpr int timeColumnWidth = 82;
constexpr int iconColumnWidth = 26;
constexpr int lineSpacing = 6;
constexpr int chipSpacing = 8;
constexpr int chipHorizontalPadding = 7;
constexpr int chipVerticalPadding = 3;

QFont nameFont() {
    return systemFont(bodyPixelSize, QFont::DemiBold);
}

QFont chipFont() {
    QFont font = textFont(TextStyle::caption2);
    font.setWeight(QFont::Bold);
    return font;
}

int firstLineHeight() {
    const int chip = QFontMetrics(chipFont()).height() + 2 * chipVerticalPadding;
    return std::max(QFontMetrics(nameFont()).height(), chip);
}

} // namespace

HistoryKindStyle historyKindStyle(HistoryKind kind) {
    const auto style = [](const char* icon, const QColor& color) {
        return HistoryKindStyle{QString::fromLatin1(icon), color};
    };
    switch (kind) {
    case HistoryKind::scan:
        return style("waveform.path.ecg", Palette::accent());
    case HistoryKind::scanCanceled:
        return style("xmark.circle", Palette::secondaryText());
    case HistoryKind::restore:
    case HistoryKind::trashRestore:
        return style("arrow.uturn.backward.circle", Palette::green());
    case HistoryKind::quarantine:
        return style("shippingbox", Palette::amber());
    case HistoryKind::trash:
        return style("trash", Palette::red());
    case HistoryKind::protection:
    case HistoryKind::protectionRemoved:
    case HistoryKind::formatProtection:
    case HistoryKind::formatProtectionRemoved:
        return style("shield.checkered", Palette::accent());
    case HistoryKind::canceled:
        return style("minus.circle", Palette::secondaryText());
    case HistoryKind::reconciliation:
        return style("arrow.triangle.2.circlepath", Palette::accent());
    case HistoryKind::externalRestore:
        return style("arrow.uturn.backward.square", Palette::green());
    case HistoryKind::missingTrashItem:
        return style("trash.slash", Palette::amber());
    case HistoryKind::cleanupPresetStarted:
        return style("slider.horizontal.3", Palette::accent());
    case HistoryKind::cleanupPresetCompleted:
        return style("checkmark.circle", Palette::green());
    case HistoryKind::cleanupPresetPartiallyCompleted:
        return style("exclamationmark.circle", Palette::amber());
    case HistoryKind::cleanupPresetCanceled:
        return style("xmark.circle", Palette::secondaryText());
    }
    return style("waveform.path.ecg", Palette::accent());
}

QString historyOutcome(HistoryKind kind) {
    switch (kind) {
    case HistoryKind::scanCanceled:
    case HistoryKind::canceled:
    case HistoryKind::cleanupPresetCanceled:
        return text("No changes made");
    case HistoryKind::cleanupPresetPartiallyCompleted:
        return text("Partially Completed");
    default:
        return text("Successful");
    }
}

HistoryRow makeHistoryRow(const HistoryOperation& operation, const QDate& today) {
    HistoryRow row;
    row.id = operation.id;
    row.time = operation.time;
    const std::optional<Timestamp>& date = operation.items.front().date;
    if (date && date->toDateTime().toLocalTime().date() != today)
        row.time = abbreviatedDateText(*date) + u'\n' + operation.time;
    row.style = historyKindStyle(operation.kind);
    row.plugin = operation.plugin;
    row.chips = operation.formats();
    if (isProductTransaction(operation.kind) && operation.items.size() >= 2)
        row.bundleCount = text("%1 bundles").arg(operation.items.size());
    row.summary = operation.summary();
    row.outcome = historyOutcome(operation.kind);
    row.successful = row.outcome == text("Successful");
    return row;
}

HistoryMetrics historyMetrics(const std::vector<HistoryOperation>& operations) {
    HistoryMetrics metrics;
    metrics.productActions = static_cast<qsizetype>(operations.size());
    for (const HistoryOperation& operation : operations) {
        switch (operation.kind) {
        case HistoryKind::restore:
        case HistoryKind::trashRestore:
            ++metrics.restored;
            break;
        case HistoryKind::quarantine:
            ++metrics.quarantined;
            break;
        case HistoryKind::trash:
            ++metrics.trashed;
            break;
        default:
            break;
        }
    }
    return metrics;
}

HistoryOperationListModel::HistoryOperationListModel(QObject* parent) : QAbstractListModel(parent) {}

void HistoryOperationListModel::setOperations(std::vector<HistoryOperation> operations, const QDate& today) {
    beginResetModel();
    m_operations = std::move(operations);
    m_today = today;
    m_rows.clear();
    m_rows.resize(m_operations.size());
    endResetModel();
}

const HistoryRow& HistoryOperationListModel::row(int index) const {
    auto& cached = m_rows.at(static_cast<std::size_t>(index));
    if (!cached)
        cached = std::make_unique<HistoryRow>(
            makeHistoryRow(m_operations[static_cast<std::size_t>(index)], m_today));
    return *cached;
}

int HistoryOperationListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_operations.size());
}

QVariant HistoryOperationListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const HistoryRow& shown = row(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return shown.plugin;
    case Qt::ToolTipRole:
        return shown.summary;
    case timeRole:
        return shown.time;
    case iconRole:
        return shown.style.icon;
    case colorRole:
        return shown.style.color;
    case chipsRole:
        return shown.chips;
    case bundleCountRole:
        return shown.bundleCount;
    case summaryRole:
        return shown.summary;
    case outcomeRole:
        return shown.outcome;
    case successfulRole:
        return shown.successful;
    case dividerRole:
        return m_operations.back().id != shown.id;
    default:
        return {};
    }
}

QSize HistoryRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const int height = 2 * rowPadding + firstLineHeight() + lineSpacing +
                       QFontMetrics(textFont(TextStyle::caption)).height();
    return {option.rect.width(), height};
}

void HistoryRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect area = option.rect.adjusted(rowPadding, rowPadding, -rowPadding, -rowPadding);
    const QColor secondary = Palette::secondaryText();

    // Time and kind symbol, each centred in its column.
    painter->setFont(monospacedFont(11));
    painter->setPen(secondary);
    const QRect timeRect(area.left(), area.top(), timeColumnWidth, area.height());
    painter->drawText(timeRect, Qt::AlignCenter, index.data(HistoryOperationListModel::timeRole).toString());
    const QRect iconRect(timeRect.right() + 1 + columnSpacing, area.top(), iconColumnWidth, area.height());
    const QPixmap icon = symbolPixmap(index.data(HistoryOperationListModel::iconRole).toString(),
                                      index.data(HistoryOperationListModel::colorRole).value<QColor>(), 18);
    painter->drawPixmap(iconRect.center().x() - 9, iconRect.center().y() - 9, icon);

    // The outcome on the right; the texts take what is left between.
    const QString outcome = index.data(HistoryOperationListModel::outcomeRole).toString();
    const QFont caption = textFont(TextStyle::caption);
    const int outcomeWidth = QFontMetrics(caption).horizontalAdvance(outcome);
    const QRect outcomeRect(area.right() - outcomeWidth, area.top(), outcomeWidth + 1, area.height());
    painter->setFont(caption);
    painter->setPen(index.data(HistoryOperationListModel::successfulRole).toBool() ? Palette::green()
                                                                                   : secondary);
    painter->drawText(outcomeRect, Qt::AlignVCenter | Qt::AlignRight, outcome);

    const int textLeft = iconRect.right() + 1 + columnSpacing;
    const int textRight = outcomeRect.left() - columnSpacing;
    const int firstLine = firstLineHeight();
    const int blockHeight = firstLine + lineSpacing + QFontMetrics(caption).height();
    const int top = area.top() + (area.height() - blockHeight) / 2;
    int x = textLeft;

    const QFont name = nameFont();
    painter->setFont(name);
    painter->setPen(option.palette.color(QPalette::Text));
    // Each text keeps to its one line: a line feed in a name or a detail is drawn as a space
    // rather than spilling over the neighbouring line.
    const int oneLine = Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine;
    const QString plugin =
        QFontMetrics(name).elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                      std::max(0, textRight - x), Qt::TextSingleLine);
    painter->drawText(QRect(x, top, textRight - x, firstLine), oneLine, plugin);
    x += QFontMetrics(name).horizontalAdvance(plugin) + chipSpacing;

    const QFont chip = chipFont();
    const QFontMetrics chipMetrics(chip);
    painter->setFont(chip);
    for (const QString& format : index.data(HistoryOperationListModel::chipsRole).toStringList()) {
        const int width = chipMetrics.horizontalAdvance(format) + 2 * chipHorizontalPadding;
        if (x + width > textRight)
            break;
        const int height = chipMetrics.height() + 2 * chipVerticalPadding;
        const QRectF capsule(x, top + (firstLine - height) / 2.0, width, height);
        QPainterPath path;
        path.addRoundedRect(capsule, height / 2.0, height / 2.0);
        painter->fillPath(path, withOpacity(Palette::accent(), 0.12));
        painter->setPen(Palette::accent());
        painter->drawText(capsule, Qt::AlignCenter, format);
        x += width + chipSpacing;
    }
    const QString bundles = index.data(HistoryOperationListModel::bundleCountRole).toString();
    if (!bundles.isEmpty() && x < textRight) {
        painter->setFont(textFont(TextStyle::caption2));
        painter->setPen(secondary);
        painter->drawText(QRect(x, top, textRight - x, firstLine), Qt::AlignVCenter | Qt::AlignLeft, bundles);
    }

    painter->setFont(caption);
    painter->setPen(secondary);
    const QRect summaryRect(textLeft, top + firstLine + lineSpacing, std::max(0, textRight - textLeft),
                            QFontMetrics(caption).height());
    painter->drawText(
        summaryRect, oneLine,
        QFontMetrics(caption).elidedText(index.data(HistoryOperationListModel::summaryRole).toString(),
                                         Qt::ElideRight, summaryRect.width(), Qt::TextSingleLine));

    // The row the arrows move, while the list has the keyboard: outlined in the accent.
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(Palette::accent(), 2.0));
        painter->drawRoundedRect(QRectF(option.rect).adjusted(1, 1, -1, -1), 6, 6);
    }

    if (index.data(HistoryOperationListModel::dividerRole).toBool()) {
        // The platform's separator, about a quarter white, at 40 %.
        painter->setPen(withOpacity(QColor(Qt::white), 0.25 * 0.4));
        painter->drawLine(option.rect.left(), option.rect.bottom(), option.rect.right(),
                          option.rect.bottom());
    }
    painter->restore();
}

HistoryView::HistoryView(PluginInventoryStore& store, ScreenServices services, QWidget* parent)
    : QWidget(parent), m_store(store), m_services(std::move(services)),
      m_model(new HistoryOperationListModel(this)) {
    setObjectName(QStringLiteral("historyView"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 28, 24, 24);
    column->setSpacing(18);

    m_exportButton =
        new KitButton(text("Export History…"), QStringLiteral("square.and.arrow.up"), ButtonStyle::bordered);
    m_exportButton->setObjectName(QStringLiteral("exportHistoryButton"));
    connect(m_exportButton, &QPushButton::clicked, this, &HistoryView::exportHistory);
    column->addWidget(new PageHeader(text("Operation History"),
                                     text("One product action per row, with every affected plugin format "
                                          "kept visible."),
                                     m_exportButton, this));

    auto* cards = new QWidget(this);
    cards->setObjectName(QStringLiteral("historyMetrics"));
    cards->setFixedHeight(94);
    auto* cardRow = new QHBoxLayout(cards);
    cardRow->setContentsMargins(0, 0, 0, 0);
    cardRow->setSpacing(14);
    const auto addCard = [&](const char* icon, const char* title, const char* detail, const QColor& color) {
        m_cards.push_back(
            new MetricCard(QString::fromLatin1(icon), text(title), QString(), text(detail), color, cards));
        cardRow->addWidget(m_cards.back());
    };
    addCard("waveform.path.ecg", "Product Actions", "Grouped transactions", Palette::accent());
    addCard("arrow.uturn.backward", "Restored", "Quarantine + Trash recovery", Palette::green());
    addCard("shippingbox", "Quarantined", "Products quarantined", Palette::amber());
    addCard("trash", "Trashed", "Products in Finder Trash", Palette::red());
    column->addWidget(cards);

    m_content = new QStackedWidget(this);
    m_content->setObjectName(QStringLiteral("historyContent"));
    m_content->addWidget(makeEmptyState(
        QStringLiteral("historyEmptyState"), QStringLiteral("clock.arrow.circlepath"),
        text("No Operation History"), text("Run a scan to begin this session's local history."), nullptr));

    m_list = new QListView;
    m_list->setObjectName(QStringLiteral("historyList"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new HistoryRowDelegate(m_list));
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setMinimumHeight(180);
    auto* listPanel = panel(m_list);
    listPanel->setObjectName(QStringLiteral("historyListPanel"));
    listPanel->layout()->setContentsMargins(1, 1, 1, 1);
    m_content->addWidget(listPanel);
    column->addWidget(m_content, 1);

    column->addWidget(new InfoBar(text("History is stored locally. Multi-format moves appear as one product "
                                       "action while preserving AU, VST2, VST3, AAX, and CLAP details."),
                                  Palette::accent(), this));

    connect(&m_store, &PluginInventoryStore::historyChanged, this, &HistoryView::refresh);
    refresh();
}

void HistoryView::refresh() {
    std::vector<HistoryOperation> operations = groupHistoryOperations(m_store.history());
    const HistoryMetrics metrics = historyMetrics(operations);

    const qsizetype values[] = {metrics.productActions, metrics.restored, metrics.quarantined,
                                metrics.trashed};
    for (std::size_t card = 0; card < m_cards.size(); ++card)
        m_cards[card]->setValue(QString::number(values[card]));

    m_model->setOperations(std::move(operations));
    const bool empty = m_store.history().empty();
    m_exportButton->setEnabled(!empty);
    m_content->setCurrentIndex(empty ? 0 : 1);
}

void HistoryView::showEvent(QShowEvent* event) {
    // A window left open past midnight shows yesterday's rows without their date until they are
    // read again.
    if (m_model->today() != QDate::currentDate())
        refresh();
    QWidget::showEvent(event);
}

void HistoryView::exportHistory() {
    const ExportOutcome outcome = exportAtomically(*m_services.saveLocation, this, historySaveRequest(),
                                                   [this] { return historyCsvDocument(m_store.history()); });
    switch (outcome.kind) {
    case ExportOutcome::Kind::cancelled:
        return;
    case ExportOutcome::Kind::written:
        m_store.presentNotice(OperationNotice::make(
            text("History Exported"),
            text("The operation-history CSV was saved to the location you selected."), NoticeStyle::success));
        return;
    case ExportOutcome::Kind::failed:
        m_exportError = outcome.error;
        presentExportFailure(this, outcome.error, text("The operation history could not be exported."),
                             [view = QPointer(this)] {
                                 if (view)
                                     view->m_exportError.reset();
                             });
        return;
    }
}

} // namespace quorvane
