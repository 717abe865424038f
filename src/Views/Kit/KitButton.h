#pragma once

#include <QColor>
#include <QPushButton>
#include <QString>

#include <optional>

class QLabel;

namespace quorvane {

enum class ButtonStyle {
    bordered,
    borderedProminent,
    plain,
};

// The buttons of the views: a text, an optional leading symbol, one of the three styles and an
// optional tint. The style is kept as the dynamic property "kitButtonStyle" so it can be asserted.
class KitButton : public QPushButton {
    Q_OBJECT
public:
    KitButton(const QString& text, const QString& symbol, ButtonStyle style, QWidget* parent = nullptr);

    ButtonStyle buttonStyle() const { return m_style; }
    QString symbol() const { return m_symbol; }
    std::optional<QColor> tint() const { return m_tint; }
    void setTint(const QColor& tint);
    // Takes all the width its layout offers.
    void setFullWidth();
    bool isFullWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void applyLook();

    ButtonStyle m_style;
    QString m_symbol;
    std::optional<QColor> m_tint;
};

QString buttonStyleName(ButtonStyle style);

// The button of an action the screen may block: full width, disabled while `blockingReason` holds.
KitButton* makeActionButton(const QString& text, const QString& symbol, ButtonStyle style,
                            const std::optional<QString>& blockingReason, QWidget* parent);
// The reason shown above the button it blocks: caption 2 in amber.
QLabel* makeBlockingReasonLabel(const QString& reason, QWidget* parent);

} // namespace quorvane
