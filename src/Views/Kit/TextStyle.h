#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include <optional>

class QLabel;
class QWidget;

namespace quorvane {

// The text roles of the views. Sizes are pixels: one point of the original design is one logical
// pixel here.
enum class TextStyle {
    body,
    caption,
    caption2,
    headline,
    title3,
    title2,
};

inline constexpr int bodyPixelSize = 13;

QFont textFont(TextStyle style);
// The application's family at an exact pixel size and weight.
QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal);
QFont monospacedFont(int pixelSize);

// Sets the colour a widget draws its text (and symbol) in.
void setForeground(QWidget* widget, const QColor& color);
QColor foreground(const QWidget* widget);
// Makes the window, base and button colours of `widget` (and so of what it holds) transparent, so
// that whatever lies behind shows through.
void clearBackground(QWidget* widget);

// A label that shows its text verbatim (never as rich text), in a role and optionally a colour.
QLabel* makeLabel(const QString& text, TextStyle style, std::optional<QColor> color = std::nullopt,
                  QWidget* parent = nullptr);

// `text` wrapped to `width` at word boundaries, or anywhere in a word too long for a line.
struct WrappedText {
    // At most the lines asked for; when the text needs more, the last one ends in "…".
    QStringList lines;
    // How many lines the whole text needs.
    int neededLines = 0;
    bool isCut() const { return neededLines > lines.size(); }
};
WrappedText wrapText(const QString& text, const QFont& font, int width, int maximumLines);

} // namespace quorvane
