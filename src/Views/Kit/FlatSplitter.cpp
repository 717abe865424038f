#include "Views/Kit/FlatSplitter.h"

#include "Views/Kit/PaintBands.h"

#include <QPainter>

namespace quorvane {

namespace {

class FlatHandle : public QSplitterHandle {
public:
    FlatHandle(Qt::Orientation orientation, QSplitter* parent, const QColor& color)
        : QSplitterHandle(orientation, parent), m_color(color) {}

protected:
    void paintEvent(QPaintEvent*) override {
        if (m_color.alpha() == 0)
            return;
        QPainter painter(this);
        fillInBands(painter, rect(), m_color);
    }

private:
    QColor m_color;
};

} // namespace

FlatSplitter::FlatSplitter(Qt::Orientation orientation, const QColor& handleColor, QWidget* parent)
    : QSplitter(orientation, parent), m_handleColor(handleColor) {}

QSplitterHandle* FlatSplitter::createHandle() {
    return new FlatHandle(orientation(), this, m_handleColor);
}

} // namespace quorvane
