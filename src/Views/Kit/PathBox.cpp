#include "Views/Kit/PathBox.h"

#include "Views/Kit/KitButton.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/TextStyle.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QTextBlock>
#include <QTextLayout>
#include <QVBoxLayout>

namespace quorvane {

WrappingText::WrappingText(const QString& text, const QFont& font, int maximumLines, QWidget* parent)
    : QTextEdit(parent), m_text(text), m_maximumLines(maximumLines) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setFocusPolicy(Qt::ClickFocus);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setFont(font);
    document()->setDefaultFont(font);
    document()->setDocumentMargin(0);
    m_shown = text;
    setPlainText(text);
    viewport()->setAutoFillBackground(false);
    clearBackground(this);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMinimumWidth(40);
    fitHeight();
}

int WrappingText::shownLineCount() const {
    return qMin(lineCount(), m_maximumLines);
}

void WrappingText::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    fitHeight();
}

void WrappingText::fitHeight() {
    const int width = viewport()->width() > 0 ? viewport()->width() : 400;
    document()->setTextWidth(width);
    // A little narrower than the document, so that no shown line wraps again there.
    const WrappedText wrapped = wrapText(m_text, font(), width - 2, m_maximumLines);
    m_lineCount = qMax(1, wrapped.neededLines);
    const QString shown = wrapped.isCut() ? wrapped.lines.join(QChar::LineSeparator) : m_text;
    if (shown != m_shown) {
        m_shown = shown;
        setPlainText(shown);
        setToolTip(wrapped.isCut() ? m_text : QString());
    }
    const int lineHeight = QFontMetrics(font()).lineSpacing();
    const int height = shownLineCount() * lineHeight + 2;
    if (this->height() != height)
        setFixedHeight(height);
}

PathBox::PathBox(const QString& title, const QString& path, QWidget* parent)
    : RoundedBox(wellFill(), std::nullopt, wellRadius, parent), m_title(title), m_path(path) {
    setObjectName(QStringLiteral("pathBox"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(7);
    auto* titleLabel = makeLabel(title, TextStyle::caption, Palette::secondaryText(), this);
    titleLabel->setObjectName(QStringLiteral("pathTitle"));
    column->addWidget(titleLabel);

    auto* row = new QHBoxLayout;
    m_text = new WrappingText(path, textFont(TextStyle::caption), 3, this);
    m_text->setObjectName(QStringLiteral("pathText"));
    row->addWidget(m_text, 1, Qt::AlignVCenter);
    m_copy = new KitButton(QString(), QStringLiteral("doc.on.doc"), ButtonStyle::plain, this);
    m_copy->setObjectName(QStringLiteral("copyPathButton"));
    row->addWidget(m_copy, 0, Qt::AlignVCenter);
    column->addLayout(row);

    const QString copied = path;
    connect(m_copy, &QPushButton::clicked, this, [copied] {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(copied);
    });
}

} // namespace quorvane
