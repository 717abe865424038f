#include "Views/Kit/TextStyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QPalette>
#include <QTextLayout>

namespace quorvane {

QFont systemFont(int pixelSize, QFont::Weight weight) {
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QFont monospacedFont(int pixelSize) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(pixelSize);
    return font;
}

QFont textFont(TextStyle style) {
    switch (style) {
    case TextStyle::body:
        return systemFont(bodyPixelSize);
    case TextStyle::caption:
        return systemFont(11);
    case TextStyle::caption2:
        return systemFont(10, QFont::Medium);
    case TextStyle::headline:
        return systemFont(bodyPixelSize, QFont::Bold);
    case TextStyle::title3:
        return systemFont(15);
    case TextStyle::title2:
        return systemFont(17);
    }
    return systemFont(bodyPixelSize);
}

void setForeground(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, color);
        palette.setColor(group, QPalette::Text, color);
        palette.setColor(group, QPalette::ButtonText, color);
    }
    widget->setPalette(palette);
}

void clearBackground(QWidget* widget) {
    QPalette palette = widget->palette();
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        palette.setBrush(role, Qt::transparent);
    widget->setPalette(palette);
}

QColor foreground(const QWidget* widget) {
    return widget->palette().color(QPalette::Active, QPalette::WindowText);
}

QLabel* makeLabel(const QString& text, TextStyle style, std::optional<QColor> color, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(textFont(style));
    if (color)
        setForeground(label, *color);
    return label;
}

WrappedText wrapText(const QString& text, const QFont& font, int width, int maximumLines) {
    WrappedText wrapped;
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (wrapped.neededLines++ < maximumLines)
            wrapped.lines.append(text.mid(line.textStart(), line.textLength()));
    }
    layout.endLayout();
    if (wrapped.isCut() && !wrapped.lines.isEmpty()) {
        // The last line shown takes what is left and ends in the ellipsis.
        qsizetype start = 0;
        for (qsizetype index = 0; index + 1 < wrapped.lines.size(); ++index)
            start += wrapped.lines[index].size();
        const QString rest = text.mid(start).simplified();
        const QFontMetrics metrics(font);
        QString last = metrics.elidedText(rest, Qt::ElideRight, width);
        if (!last.endsWith(QChar(0x2026)))
            last = metrics.elidedText(rest + QChar(0x2026), Qt::ElideRight, width);
        wrapped.lines.last() = last;
    }
    return wrapped;
}

} // namespace quorvane
