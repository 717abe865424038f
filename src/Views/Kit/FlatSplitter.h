#pragma once

#include <QColor>
#include <QSplitter>

namespace quorvane {

// A splitter whose handles are one flat colour, drawn by the handles themselves (nothing at all
// when the colour is transparent). A style sheet on a splitter would do the same, but it puts every
// widget below the splitter under the style-sheet style, which makes each new widget and each paint
// slower.
class FlatSplitter : public QSplitter {
    Q_OBJECT
public:
    FlatSplitter(Qt::Orientation orientation, const QColor& handleColor, QWidget* parent = nullptr);

protected:
    QSplitterHandle* createHandle() override;

private:
    QColor m_handleColor;
};

} // namespace quorvane
