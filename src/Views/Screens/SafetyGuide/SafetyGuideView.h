#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <vector>

namespace quorvane {

// The fixed content of the safety guide, in the order shown.
struct SafetyRule {
    QString icon;
    QString title;
    QString detail;
    QColor color;
};

const std::vector<SafetyRule>& safetyRules();
// The steps before moving a plugin, numbered from 1.
const std::vector<QString>& safetySteps();
const std::vector<QString>& safetyBoundaries();

// What the application reads and changes, the steps before moving a plugin and the boundaries it
// never crosses. Static: it reads no state and offers no action.
class SafetyGuideView : public QWidget {
    Q_OBJECT
public:
    explicit SafetyGuideView(QWidget* parent = nullptr);
};

} // namespace quorvane
