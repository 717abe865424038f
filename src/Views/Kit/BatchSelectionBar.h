#pragma once

#include "Views/Kit/RoundedBox.h"

#include <QString>

namespace quorvane {

class SymbolLabel;

// "<count> <noun>[s] selected" and the screen's batch buttons; the noun takes an "s" for every
// count but 1. The screen decides when the bar is shown.
class BatchSelectionBar : public TintedBar {
    Q_OBJECT
public:
    BatchSelectionBar(int count, const QString& noun, QWidget* actions = nullptr, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    // Shows another count without building the bar again.
    void setCount(int count);
    QWidget* actions() const { return m_actions; }

    static QString labelText(int count, const QString& noun);

private:
    QString m_text;
    QString m_noun;
    QWidget* m_actions;
    SymbolLabel* m_label;
};

} // namespace quorvane
