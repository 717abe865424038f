#pragma once

#include "Views/Kit/RoundedBox.h"

#include <QColor>
#include <QString>
#include <QWidget>

namespace quorvane {

// One of the safety guide's four rules: a large symbol in `color`, a title and a wrapping detail,
// in a panel at least 154 pixels high.
class SafetyRuleCard : public PanelFrame {
    Q_OBJECT
public:
    SafetyRuleCard(const QString& icon, const QString& title, const QString& detail, const QColor& color,
                   QWidget* parent = nullptr);

    QString icon() const { return m_icon; }
    QString title() const { return m_title; }
    QString detail() const { return m_detail; }
    QColor color() const { return m_color; }

private:
    QString m_icon;
    QString m_title;
    QString m_detail;
    QColor m_color;
};

// One hard boundary of the safety guide: a green check and the text, wrapping.
class SafetyBoundary : public QWidget {
    Q_OBJECT
public:
    explicit SafetyBoundary(const QString& text, QWidget* parent = nullptr);

    QString text() const { return m_text; }

private:
    QString m_text;
};

} // namespace quorvane
