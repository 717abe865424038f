#include "Views/Screens/FormatCleanup/FormatCleanupCandidateModel.h"

#include "Views/Kit/Palette.h"
#include "Views/Kit/SymbolIcons.h"
#include "Views/Kit/TextStyle.h"
#include "Views/Screens/FormatCleanup/FormatCleanupViewModel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace quorvane {

namespace {

const std::vector<FormatCleanupCandidate> noCandidates;

constexpr int rowHeight = 54;
constexpr int horizontalPadding = 14;
constexpr int spacing = 12;
constexpr int checkboxSize = 16;

} // namespace

FormatCleanupCandidateModel::FormatCleanupCandidateModel(FormatCleanupViewModel& viewModel, QObject* parent)
    : QAbstractListModel(parent), m_viewModel(viewModel) {
    connect(&m_viewModel, &FormatCleanupViewModel::planChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(&m_viewModel, &FormatCleanupViewModel::selectionChanged, this, [this] {
        if (rowCount() > 0)
            emit dataChanged(index(0), index(rowCount() - 1), {Qt::CheckStateRole});
    });
}

const std::vector<FormatCleanupCandidate>& FormatCleanupCandidateModel::candidates() const {
    return m_viewModel.plan() ? m_viewModel.plan()->candidates : noCandidates;
}

int FormatCleanupCandidateModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(candidates().size());
}

QVariant FormatCleanupCandidateModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const FormatCleanupCandidate& candidate = candidates()[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return candidate.pluginName;
    case Qt::CheckStateRole:
        return m_viewModel.isSelectedAt(std::size_t(index.row())) ? Qt::Checked : Qt::Unchecked;
    case formatRole:
        return candidate.format;
    case detailRole:
        return candidate.manufacturer + QStringLiteral(" \u2022 ") + candidate.path;
    case sizeTextRole:
        return m_viewModel.sizeText(candidate.sizeInBytes);
    case removesLastActiveFormatRole:
        return candidate.removesLastActiveFormat;
    default:
        return {};
    }
}

bool FormatCleanupCandidateModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.row() >= rowCount())
        return false;
    m_viewModel.setSelectedAt(std::size_t(index.row()), value.value<Qt::CheckState>() == Qt::Checked);
    return true;
}

Qt::ItemFlags FormatCleanupCandidateModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

FormatCleanupNoteModel::FormatCleanupNoteModel(FormatCleanupViewModel& viewModel, QObject* parent)
    : QAbstractListModel(parent), m_viewModel(viewModel) {
    connect(&m_viewModel, &FormatCleanupViewModel::planChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int FormatCleanupNoteModel::rowCount(const QModelIndex& parent) const {
    const auto& plan = m_viewModel.plan();
    if (parent.isValid() || !plan)
        return 0;
    return int(plan->warnings.size() + plan->exclusions.size());
}

QVariant FormatCleanupNoteModel::data(const QModelIndex& index, int role) const {
    const auto& plan = m_viewModel.plan();
    if (!index.isValid() || !plan || index.row() >= rowCount())
        return {};
    const std::size_t row = std::size_t(index.row());
    const bool warning = row < plan->warnings.size();
    switch (role) {
    case Qt::DisplayRole:
        return warning ? plan->warnings[row].detail : plan->exclusions[row - plan->warnings.size()].detail;
    case Qt::DecorationRole:
        return warning ? symbolIcon(u"exclamationmark.triangle.fill", Palette::amber(), 14)
                       : symbolIcon(u"shield.slash", Palette::secondaryText(), 14);
    case Qt::ForegroundRole:
        return warning ? Palette::amber() : Palette::secondaryText();
    case Qt::FontRole:
        return textFont(TextStyle::caption);
    case isWarningRole:
        return warning;
    default:
        return {};
    }
}

QRect FormatCleanupCandidateDelegate::checkboxRect(const QRect& row) {
    return QRect(row.left() + horizontalPadding, row.center().y() - checkboxSize / 2, checkboxSize,
                 checkboxSize);
}

QSize FormatCleanupCandidateDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(option.rect.width(), rowHeight);
}

void FormatCleanupCandidateDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect row = option.rect;
    if (option.state & QStyle::State_MouseOver)
        painter->fillRect(row, withOpacity(Palette::accent(), 0.06));

    QStyleOptionButton box;
    box.rect = checkboxRect(row);
    box.state = QStyle::State_Enabled |
                (index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked ? QStyle::State_On
                                                                                       : QStyle::State_Off);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, widget);

    // The size on the right, in the secondary colour.
    const QFont sizeFont = monospacedFont(11);
    const QString size = index.data(FormatCleanupCandidateModel::sizeTextRole).toString();
    const int sizeWidth = QFontMetrics(sizeFont).horizontalAdvance(size);
    const int right = row.right() - horizontalPadding;
    painter->setFont(sizeFont);
    painter->setPen(Palette::secondaryText());
    painter->drawText(QRect(right - sizeWidth, row.top(), sizeWidth, row.height()),
                      Qt::AlignVCenter | Qt::AlignRight, size);

    const int left = box.rect.right() + spacing;
    const int textRight = right - sizeWidth - spacing;
    const int top = row.top() + 10;

    // First line: the name, the format badge and the opt-in warning.
    const QFont nameFont = systemFont(bodyPixelSize, QFont::DemiBold);
    const QFontMetrics nameMetrics(nameFont);
    const int lineHeight = nameMetrics.height();
    const QString name = nameMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                                std::max(0, (textRight - left) / 2));
    painter->setFont(nameFont);
    painter->setPen(option.palette.color(QPalette::Text));
    painter->drawText(QRect(left, top, nameMetrics.horizontalAdvance(name), lineHeight), Qt::AlignVCenter,
                      name);
    int x = left + nameMetrics.horizontalAdvance(name) + 8;

    const QFont badgeFont = systemFont(10, QFont::Bold);
    const QFontMetrics badgeMetrics(badgeFont);
    const QString format = index.data(FormatCleanupCandidateModel::formatRole).toString();
    const QRect badge(x, top + (lineHeight - badgeMetrics.height() - 6) / 2,
                      badgeMetrics.horizontalAdvance(format) + 14, badgeMetrics.height() + 6);
    QPainterPath capsule;
    capsule.addRoundedRect(badge, badge.height() / 2.0, badge.height() / 2.0);
    painter->fillPath(capsule, withOpacity(Palette::accent(), 0.12));
    painter->setFont(badgeFont);
    painter->setPen(Palette::accent());
    painter->drawText(badge, Qt::AlignCenter, format);
    x = badge.right() + 8;

    if (index.data(FormatCleanupCandidateModel::removesLastActiveFormatRole).toBool()) {
        const QFont warningFont = textFont(TextStyle::caption2);
        const QPixmap symbol = symbolPixmap(u"exclamationmark.triangle.fill", Palette::amber(), 12);
        painter->drawPixmap(x, top + (lineHeight - 12) / 2, symbol);
        painter->setFont(warningFont);
        painter->setPen(Palette::amber());
        painter->drawText(QRect(x + 16, top, std::max(0, textRight - x - 16), lineHeight), Qt::AlignVCenter,
                          FormatCleanupTexts::noActiveFormatRemaining);
    }

    // Second line: manufacturer and path, truncated in the middle.
    const QFont detailFont = monospacedFont(10);
    const QFontMetrics detailMetrics(detailFont);
    const QString detail =
        detailMetrics.elidedText(index.data(FormatCleanupCandidateModel::detailRole).toString(),
                                 Qt::ElideMiddle, std::max(0, textRight - left));
    painter->setFont(detailFont);
    painter->setPen(Palette::secondaryText());
    painter->drawText(
        QRect(left, top + lineHeight + 3, std::max(0, textRight - left), detailMetrics.height()),
        Qt::AlignVCenter, detail);

    // The divider under the row.
    painter->setPen(Palette::hairline());
    painter->drawLine(row.left(), row.bottom(), row.right(), row.bottom());

    // The row that the arrows move and Space ticks, while the list has the keyboard.
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(Palette::accent(), 2.0));
        painter->drawRoundedRect(QRectF(row).adjusted(1, 1, -1, -1), 6, 6);
    }
    painter->restore();
}

bool FormatCleanupCandidateDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                                 const QStyleOptionViewItem& option,
                                                 const QModelIndex& index) {
    bool toggle = false;
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        toggle = mouse->button() == Qt::LeftButton &&
                 checkboxRect(option.rect).adjusted(-4, -4, 4, 4).contains(mouse->position().toPoint());
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        toggle = key == Qt::Key_Space || key == Qt::Key_Select;
    }
    if (!toggle)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const bool checked = index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
    return model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

} // namespace quorvane
