#pragma once

#include "Views/Kit/RoundedBox.h"

#include <QString>
#include <QTextEdit>

class QPushButton;

namespace quorvane {

// Selectable text that wraps anywhere (paths have no spaces) and shows at most `maximumLines`
// lines; a text that needs more is cut on screen, its last shown line ending in "…", and stays
// whole in text() and the tooltip.
class WrappingText : public QTextEdit {
    Q_OBJECT
public:
    WrappingText(const QString& text, const QFont& font, int maximumLines, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    int shownLineCount() const;
    // The lines the whole text needs at the present width.
    int lineCount() const { return m_lineCount; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitHeight();

    QString m_text;
    QString m_shown;
    int m_maximumLines;
    int m_lineCount = 1;
};

// A titled file path that can be selected and copied whole to the clipboard.
class PathBox : public RoundedBox {
    Q_OBJECT
public:
    PathBox(const QString& title, const QString& path, QWidget* parent = nullptr);

    QString title() const { return m_title; }
    QString path() const { return m_path; }
    WrappingText* pathText() const { return m_text; }
    QPushButton* copyButton() const { return m_copy; }

private:
    QString m_title;
    QString m_path;
    WrappingText* m_text;
    QPushButton* m_copy;
};

} // namespace quorvane
