#include "Views/Kit/StatusPill.h"

#include "Views/Kit/Palette.h"
#include "Views/Kit/TextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace quorvane {

namespace {

class StatusDot : public QWidget {
public:
    StatusDot(const QColor& color, QWidget* parent) : QWidget(parent), m_color(color) {
        setObjectName(QStringLiteral("statusDot"));
        setFixedSize(7, 7);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_color);
        painter.drawEllipse(QRectF(rect()));
    }

private:
    QColor m_color;
};

} // namespace

QColor statusColor(PluginStatus status) {
    switch (status) {
    case PluginStatus::ok:
        return Palette::green();
    case PluginStatus::sharedShell:
    case PluginStatus::hostedByShell:
        return Palette::accent();
    case PluginStatus::legacy:
    case PluginStatus::protected_:
    case PluginStatus::partiallyProtected:
    case PluginStatus::quarantined:
    case PluginStatus::partiallyQuarantined:
        return Palette::amber();
    }
    return Palette::amber();
}

QString statusText(PluginStatus status) {
    return rawValue(status);
}

StatusPill::StatusPill(PluginStatus status, QWidget* parent) : QWidget(parent), m_status(status) {
    setObjectName(QStringLiteral("statusPill"));
    const QColor color = statusColor(status);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addWidget(new StatusDot(color, this), 0, Qt::AlignVCenter);
    auto* label = makeLabel(statusText(status), TextStyle::caption, color, this);
    label->setObjectName(QStringLiteral("statusText"));
    layout->addWidget(label, 0, Qt::AlignVCenter);
    setForeground(this, color);
}

QString StatusPill::text() const {
    return statusText(m_status);
}

} // namespace quorvane
