#include "App/Sidebar.h"

#include "App/SectionListModel.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/RoundedBox.h"
#include "Views/Kit/SymbolIcons.h"
#include "Views/Kit/TextStyle.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace quorvane {

namespace {

QString translated(const char* source) {
    return QCoreApplication::translate("Sidebar", source);
}

namespace text {
const char* const productName = QT_TRANSLATE_NOOP("Sidebar", "Quorvane");
const char* const wordmarkLabel =
    QT_TRANSLATE_NOOP("Sidebar", "Quorvane \u2014 Find Plugins. Not Frustration.");
const char* const safeByDesign = QT_TRANSLATE_NOOP("Sidebar", "Safe by design");
const char* const promise = QT_TRANSLATE_NOOP("Sidebar", "Reversible quarantine. No permanent deletion.");
} // namespace text

// A row: the section's symbol, its title, and on the right the badge in a capsule of white at 0.1.
class SectionRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return {200, 32}; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF row = QRectF(option.rect).adjusted(8, 1, -8, -1);
        if (option.state & QStyle::State_Selected) {
            QPainterPath path;
            path.addRoundedRect(row, 6, 6);
            painter->fillPath(path, withOpacity(Palette::accent(), 0.32));
        } else if (option.state & QStyle::State_MouseOver) {
            QPainterPath path;
            path.addRoundedRect(row, 6, 6);
            painter->fillPath(path, withOpacity(QColor(Qt::white), 0.05));
        }
        // The list draws no focus frame of its own; the current row of the focused list gets one.
        if ((option.state & QStyle::State_HasFocus) && option.widget && option.widget->hasFocus()) {
            QPainterPath path;
            path.addRoundedRect(row.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
            painter->setPen(QPen(Palette::accent(), 1.5));
            painter->drawPath(path);
        }
        const QString symbol = index.data(SectionListModel::symbolRole).toString();
        const QPixmap icon = symbolPixmap(symbol, Palette::accent(), 16);
        const int iconLeft = static_cast<int>(row.left()) + 10;
        painter->drawPixmap(iconLeft, option.rect.center().y() - 8, icon);

        int right = static_cast<int>(row.right()) - 8;
        const QVariant badge = index.data(SectionListModel::badgeRole);
        if (badge.isValid()) {
            const QFont font = textFont(TextStyle::caption2);
            const QFontMetrics metrics(font);
            const QString badgeText = badge.toString();
            const qreal width = metrics.horizontalAdvance(badgeText) + 14;
            const qreal height = metrics.height() + 6;
            const QRectF capsule(right - width, option.rect.center().y() - height / 2.0 + 0.5, width, height);
            QPainterPath path;
            path.addRoundedRect(capsule, height / 2.0, height / 2.0);
            painter->fillPath(path, withOpacity(QColor(Qt::white), 0.1));
            painter->setFont(font);
            painter->setPen(withOpacity(QColor(Qt::white), 0.85));
            painter->drawText(capsule, Qt::AlignCenter, badgeText);
            right = static_cast<int>(capsule.left()) - 6;
        }
        const QFont font = textFont(TextStyle::body);
        painter->setFont(font);
        painter->setPen(QColor(Qt::white));
        const QRect titleArea(iconLeft + 26, option.rect.top(), right - (iconLeft + 26),
                              option.rect.height());
        painter->drawText(
            titleArea, Qt::AlignVCenter | Qt::AlignLeft,
            QFontMetrics(font).elidedText(index.data().toString(), Qt::ElideRight, titleArea.width()));
        painter->restore();
    }
};

} // namespace

Sidebar::Sidebar(Binding<std::optional<AppSection>> section, const ImageLoader& images, QWidget* parent)
    : QWidget(parent), m_section(std::move(section)) {
    setObjectName(QStringLiteral("sidebar"));
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Palette::sidebarBackground());
    setPalette(colours);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    const QPixmap wordmark = images ? images(QStringLiteral("quorvane-wordmark")) : QPixmap();
    QLabel* header = nullptr;
    if (!wordmark.isNull()) {
        header = new QLabel(this);
        header->setPixmap(wordmark.scaled(240, 72, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        header->setAccessibleName(translated(text::wordmarkLabel));
    } else {
        header = makeLabel(translated(text::productName), TextStyle::body, QColor(Qt::white), this);
        header->setFont(systemFont(32, QFont::Black));
    }
    header->setObjectName(QStringLiteral("sidebarHeader"));
    header->setMinimumHeight(72);
    header->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setContentsMargins(16, 18, 16, 10);
    stack->addWidget(header);

    m_model = new SectionListModel(this);
    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("sectionList"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new SectionRowDelegate(m_list));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setMouseTracking(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setStyleSheet(QStringLiteral("QListView { background: transparent; outline: none; }"));
    m_list->viewport()->setAutoFillBackground(false);
    stack->addWidget(m_list, 1);

    const QPixmap mascot = images ? images(QStringLiteral("quorvane-mascot")) : QPixmap();
    if (!mascot.isNull()) {
        auto* picture = new QLabel(this);
        picture->setObjectName(QStringLiteral("sidebarMascot"));
        picture->setPixmap(mascot.scaled(273, 300, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        picture->setMaximumHeight(300);
        picture->setAlignment(Qt::AlignCenter);
        picture->setContentsMargins(6, 0, 6, 0);
        stack->addWidget(picture);
    }

    auto* footerHolder = new QWidget(this);
    auto* footerMargins = new QVBoxLayout(footerHolder);
    footerMargins->setContentsMargins(12, 12, 12, 12);
    auto* footer = new PanelFrame(footerHolder);
    footer->setObjectName(QStringLiteral("sidebarFooter"));
    auto* footerStack = new QVBoxLayout(footer);
    footerStack->setContentsMargins(14, 14, 14, 14);
    footerStack->setSpacing(6);
    auto* firstLine = new QHBoxLayout;
    firstLine->setSpacing(8);
    const QPixmap mark = images ? images(QStringLiteral("quorvane-app-mark")) : QPixmap();
    if (!mark.isNull()) {
        auto* markLabel = new QLabel(footer);
        markLabel->setObjectName(QStringLiteral("sidebarAppMark"));
        markLabel->setPixmap(mark.scaled(28, 28, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        markLabel->setFixedSize(28, 28);
        firstLine->addWidget(markLabel);
    }
    auto* safe = makeLabel(translated(text::safeByDesign), TextStyle::body, Palette::accent(), footer);
    safe->setObjectName(QStringLiteral("safeByDesign"));
    firstLine->addWidget(safe);
    firstLine->addStretch(1);
    footerStack->addLayout(firstLine);
    auto* promise =
        makeLabel(translated(text::promise), TextStyle::caption, Palette::secondaryText(), footer);
    promise->setObjectName(QStringLiteral("sidebarPromise"));
    promise->setWordWrap(true);
    footerStack->addWidget(promise);
    footerMargins->addWidget(footer);
    stack->addWidget(footerHolder);

    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_applying)
            return;
        const QModelIndexList rows = m_list->selectionModel()->selectedRows();
        const std::optional<AppSection> chosen =
            rows.isEmpty() ? std::nullopt : m_model->section(rows.front().row());
        if (m_section.set)
            m_section.set(chosen);
    });
    refreshSelection();
}

void Sidebar::setCounts(const SidebarCounts& counts) {
    m_model->setCounts(counts);
}

void Sidebar::refreshSelection() {
    m_applying = true;
    const std::optional<AppSection> current = m_section.get ? m_section.get() : std::nullopt;
    QItemSelectionModel* selection = m_list->selectionModel();
    if (current) {
        const QModelIndex index = m_model->index(m_model->row(*current));
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    } else {
        selection->clearSelection();
    }
    m_applying = false;
}

} // namespace quorvane
