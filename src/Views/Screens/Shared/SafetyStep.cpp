#include "Views/Screens/Shared/SafetyStep.h"

#include "Views/Kit/Palette.h"
#include "Views/Kit/TextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace quorvane {

namespace {

// The number drawn centred in the circle, so two digits stay centred too.
class StepNumber : public QWidget {
public:
    StepNumber(int number, QWidget* parent) : QWidget(parent), m_number(QString::number(number)) {
        setObjectName(QStringLiteral("safetyStepNumber"));
        setFixedSize(SafetyStep::circleSize, SafetyStep::circleSize);
        QFont font = textFont(TextStyle::caption);
        font.setBold(true);
        setFont(font);
        setAccessibleName(m_number);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Palette::accent());
        painter.drawEllipse(QRectF(rect()));
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, m_number);
    }

private:
    QString m_number;
};

} // namespace

SafetyStep::SafetyStep(int number, const QString& text, QWidget* parent) : QWidget(parent), m_number(number) {
    setObjectName(QStringLiteral("safetyStep"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(11);
    row->addWidget(new StepNumber(number, this), 0, Qt::AlignTop);
    m_text = makeLabel(text, TextStyle::body, Palette::secondaryText(), this);
    m_text->setObjectName(QStringLiteral("safetyStepText"));
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The first line's centre sits at the circle's centre.
    const int lineHeight = m_text->fontMetrics().height();
    m_text->setContentsMargins(0, std::max(0, (circleSize - lineHeight) / 2), 0, 0);
    row->addWidget(m_text, 1, Qt::AlignTop);
}

QString SafetyStep::text() const {
    return m_text->text();
}

} // namespace quorvane
