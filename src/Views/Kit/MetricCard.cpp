#include "Views/Kit/MetricCard.h"

#include "Views/Kit/Palette.h"
#include "Views/Kit/SymbolIcons.h"
#include "Views/Kit/TextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quorvane {

MetricCard::MetricCard(const QString& icon, const QString& title, const QString& value, const QString& detail,
                       const QColor& color, QWidget* parent)
    : PanelFrame(parent), m_icon(icon), m_color(color) {
    setObjectName(QStringLiteral("metricCard"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 16, 16, 16);
    row->setSpacing(14);

    auto* symbol = new QLabel(this);
    symbol->setObjectName(QStringLiteral("metricIcon"));
    symbol->setPixmap(symbolPixmap(icon, color, 27));
    symbol->setFixedWidth(38);
    symbol->setAlignment(Qt::AlignCenter);
    row->addWidget(symbol, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    auto* titleLabel = makeLabel(title, TextStyle::caption, Palette::secondaryText(), this);
    titleLabel->setObjectName(QStringLiteral("metricTitle"));
    m_value = new MetricValueLabel(value, this);
    auto* detailLabel = makeLabel(detail, TextStyle::caption2, Palette::secondaryText(), this);
    detailLabel->setObjectName(QStringLiteral("metricDetail"));
    texts->addWidget(titleLabel);
    texts->addWidget(m_value);
    texts->addWidget(detailLabel);
    row->addLayout(texts);
    row->addStretch(1);
}

QString MetricCard::value() const {
    return m_value->fullText();
}

void MetricCard::setValue(const QString& value) {
    m_value->setFullText(value);
}

namespace {

QFont valueFont(int pixelSize) {
    return systemFont(pixelSize, QFont::DemiBold);
}

} // namespace

MetricValueLabel::MetricValueLabel(const QString& text, QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("metricValue"));
    setTextFormat(Qt::PlainText);
    setFont(valueFont(largestPixelSize));
    setFullText(text);
}

void MetricValueLabel::setFullText(const QString& text) {
    m_fullText = text;
    fit();
    updateGeometry();
}

QSize MetricValueLabel::sizeHint() const {
    const QRect text = QFontMetrics(valueFont(largestPixelSize), this)
                           .boundingRect(0, 0, 2000, 2000, Qt::AlignLeft | Qt::AlignTop, m_fullText);
    const QMargins margins = contentsMargins();
    return {text.width() + margins.left() + margins.right() + 2 * margin(),
            text.height() + margins.top() + margins.bottom() + 2 * margin()};
}

// As tall as at the largest size, so the cards of a row keep one height whatever fits where.
QSize MetricValueLabel::minimumSizeHint() const {
    return {0, sizeHint().height()};
}

void MetricValueLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void MetricValueLabel::fit() {
    const int room = contentsRect().width() - 2 * margin();
    for (int pixelSize = largestPixelSize; pixelSize >= smallestPixelSize; --pixelSize) {
        const QFont font = valueFont(pixelSize);
        if (QFontMetrics(font, this).horizontalAdvance(m_fullText) <= room) {
            setFont(font);
            setText(m_fullText);
            setToolTip(QString());
            return;
        }
    }
    const QFont font = valueFont(smallestPixelSize);
    setFont(font);
    setText(QFontMetrics(font, this).elidedText(m_fullText, Qt::ElideRight, room));
    setToolTip(m_fullText);
}

} // namespace quorvane
