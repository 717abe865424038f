#pragma once

#include <QWidget>

class QLabel;

namespace quorvane {

// One numbered instruction: the number in a filled blue circle, then the text in the secondary
// colour, wrapping under itself with the circle level with its first line. Used by the safety
// guide and the plugin management screen; it has no state and no action.
class SafetyStep : public QWidget {
    Q_OBJECT
public:
    SafetyStep(int number, const QString& text, QWidget* parent = nullptr);

    int number() const { return m_number; }
    QString text() const;

    // The circle's side, in logical pixels.
    static constexpr int circleSize = 24;

private:
    int m_number;
    QLabel* m_text;
};

} // namespace quorvane
