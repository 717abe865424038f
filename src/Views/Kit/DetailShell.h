#pragma once

#include "Model/Plugin.h"
#include "Views/Kit/FocusKeeper.h"
#include "Views/Kit/RoundedBox.h"

#include <optional>

class QScrollArea;
class QVBoxLayout;

namespace quorvane {

// The platform's "content unavailable" view: a large symbol, a title and a description, centred.
class EmptyState : public QWidget {
    Q_OBJECT
public:
    EmptyState(const QString& symbol, const QString& title, const QString& description,
               QWidget* parent = nullptr);
};

// The frame of every detail pane: a scrolling panel that shows "Select a Plugin" while nothing is
// selected and, for a product, its name and manufacturer above the pane's own content.
class DetailShell : public PanelFrame {
    Q_OBJECT
public:
    explicit DetailShell(QWidget* parent = nullptr);

    // Replaces what the shell shows; `content` is taken over, and dropped when `plugin` is none.
    void setPlugin(const std::optional<Plugin>& plugin, QWidget* content);

    QScrollArea* scrollArea() const { return m_scroll; }
    QWidget* content() const { return m_content; }

protected:
    // A new widget for a pane's own content, to hand to setPlugin. It is made inside the viewport
    // so that it takes the viewport's style as it is built, not once more as it moves in.
    QWidget* newContent() const;

private:
    QScrollArea* m_scroll;
    QWidget* m_content = nullptr;
    // A new page keeps the focus where the old one had it; with no control left, the table beside.
    FocusKeeper m_focus;
};

// Makes `content` a detail pane's own content, named "inspectorContent": a column of sections 16
// pixels apart with no margins, which it returns.
QVBoxLayout* makeDetailColumn(QWidget* content);

} // namespace quorvane
