#include "Views/Kit/KitButton.h"

#include "Views/Kit/PaintBands.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/SymbolIcons.h"
#include "Views/Kit/TextStyle.h"

#include <QLabel>
#include <QSizePolicy>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace quorvane {

namespace {

QString css(const QColor& color) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(QString::number(color.alphaF(), 'f', 3));
}

// The ring of a focused button is the accent; on a button already filled with it, a lighter one.
QColor focusRing(const QColor& fill) {
    return fill == Palette::accent() ? Palette::accent().lighter(160) : Palette::accent();
}

} // namespace

QString buttonStyleName(ButtonStyle style) {
    switch (style) {
    case ButtonStyle::bordered:
        return QStringLiteral("bordered");
    case ButtonStyle::borderedProminent:
        return QStringLiteral("borderedProminent");
    case ButtonStyle::plain:
        return QStringLiteral("plain");
    }
    return {};
}

KitButton::KitButton(const QString& text, const QString& symbol, ButtonStyle style, QWidget* parent)
    : QPushButton(text, parent), m_style(style), m_symbol(symbol) {
    setProperty("kitButtonStyle", buttonStyleName(style));
    setAutoDefault(false);
    setFont(textFont(TextStyle::body));
    setCursor(Qt::PointingHandCursor);
    applyLook();
}

void KitButton::setTint(const QColor& tint) {
    m_tint = tint;
    setProperty("kitTint", tint.name());
    applyLook();
}

void KitButton::setFullWidth() {
    QSizePolicy policy = sizePolicy();
    policy.setHorizontalPolicy(QSizePolicy::Expanding);
    setSizePolicy(policy);
}

bool KitButton::isFullWidth() const {
    return sizePolicy().horizontalPolicy() == QSizePolicy::Expanding;
}

KitButton* makeActionButton(const QString& text, const QString& symbol, ButtonStyle style,
                            const std::optional<QString>& blockingReason, QWidget* parent) {
    auto* button = new KitButton(text, symbol, style, parent);
    button->setFullWidth();
    button->setEnabled(!blockingReason);
    return button;
}

QLabel* makeBlockingReasonLabel(const QString& reason, QWidget* parent) {
    auto* label = makeLabel(reason, TextStyle::caption2, Palette::amber(), parent);
    label->setObjectName(QStringLiteral("blockingReason"));
    label->setWordWrap(true);
    return label;
}

// As QPushButton paints itself, in bands (see PaintBands.h): the rounded outline of the style
// sheet gives each row several spans, which the raster engine would share out over Qt's pool.
void KitButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    paintInBands(painter, rect(), styledButtonBandRows,
                 [&] { painter.drawControl(QStyle::CE_PushButton, option); });
}

void KitButton::applyLook() {
    const QColor white(Qt::white);
    const QColor disabledText = withOpacity(white, 0.3);
    QColor text = white;
    QString sheet;
    switch (m_style) {
    case ButtonStyle::borderedProminent: {
        const QColor fill = m_tint.value_or(Palette::accent());
        sheet = QStringLiteral("QPushButton { background: %1; color: %2; border: 2px solid %1;"
                               " border-radius: 6px; padding: 4px 10px; }"
                               "QPushButton:hover { background: %3; border-color: %3; }"
                               "QPushButton:pressed { background: %4; border-color: %4; }"
                               "QPushButton:focus { border-color: %7; }"
                               "QPushButton:disabled { background: %5; color: %6; border-color: %5; }")
                    .arg(css(fill), css(white), css(fill.lighter(112)), css(fill.darker(118)),
                         css(withOpacity(white, 0.07)), css(disabledText), css(focusRing(fill)));
        break;
    }
    case ButtonStyle::bordered: {
        text = m_tint.value_or(white);
        const QColor fill = m_tint ? withOpacity(*m_tint, 0.16) : withOpacity(white, 0.1);
        sheet = QStringLiteral(
                    "QPushButton { background: %1; color: %2; border: 1px solid %3; border-radius: 6px;"
                    " padding: 5px 12px; }"
                    "QPushButton:hover { background: %4; }"
                    "QPushButton:pressed { background: %5; }"
                    "QPushButton:focus { border: 2px solid %8; padding: 4px 11px; }"
                    "QPushButton:disabled { background: %6; color: %7; border-color: %6; }")
                    .arg(css(fill), css(text), css(withOpacity(white, 0.08)), css(withOpacity(fill, 1.6)),
                         css(withOpacity(fill, 0.6)), css(withOpacity(white, 0.05)), css(disabledText),
                         css(Palette::accent()));
        break;
    }
    case ButtonStyle::plain:
        text = m_tint.value_or(white);
        sheet =
            QStringLiteral("QPushButton { background: transparent; color: %1; border: none; padding: 2px; }"
                           "QPushButton:pressed { color: %2; }"
                           "QPushButton:focus { border: 1px solid %4; border-radius: 4px; padding: 1px; }"
                           "QPushButton:disabled { color: %3; }")
                .arg(css(text), css(withOpacity(text, 0.6)), css(disabledText), css(Palette::accent()));
        break;
    }
    setStyleSheet(sheet);
    if (!m_symbol.isEmpty())
        setIcon(symbolIcon(m_symbol, text, 16));
}

} // namespace quorvane
