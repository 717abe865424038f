#pragma once

#include "Views/Kit/RoundedBox.h"

#include <QString>
#include <QTextEdit>

class QPushButton;

namespace quorvane {

// Selectable text that wraps anywhere (paths have no spaces) and shows at most `maximumLines`
// lines; the rest is cut on screen but stays in the text.
class WrappingText : public QTextEdit {
    Q_OBJECT
public:
    WrappingText(const QString& text, const QFont& font, int maximumLines, QWidget* parent = nullptr);

    int shownLineCount() const;
    int lineCount() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitHeight();

    int m_maximumLines;
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
