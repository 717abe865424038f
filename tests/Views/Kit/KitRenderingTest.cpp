#include "KitTestSupport.h"

#include "Views/Kit/DetailShell.h"
#include "Views/Kit/FilterMenu.h"
#include "Views/Kit/FlatSplitter.h"
#include "Views/Kit/KitAppearance.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PluginTable.h"
#include "Views/Kit/PluginTableModel.h"
#include "Views/Kit/RoundedBox.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>
#include <QThreadPool>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <map>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <memory>

#include <dlfcn.h>

namespace quorvane {
namespace {

// Work handed to Qt's global pool, counted by the QThreadPool::start below.
std::atomic<int> globalPoolStarts{0};

} // namespace
} // namespace quorvane

// Qt's painting hands its large fills to the global pool through this overload. This definition
// takes Qt's place in this test program, counts the global pool's calls and passes each call on.
void QThreadPool::start(std::function<void()> functionToRun, int priority) {
    using Start = void (*)(QThreadPool*, std::function<void()>, int);
    static const auto qtStart =
        reinterpret_cast<Start>(dlsym(RTLD_NEXT, "_ZN11QThreadPool5startESt8functionIFvvEEi"));
    if (this == QThreadPool::globalInstance())
        ++quorvane::globalPoolStarts;
    qtStart(this, std::move(functionToRun), priority);
}

namespace quorvane {
namespace {

using testing::bundle;
using testing::plugin;

QImage render(QWidget* widget) {
    widget->show();
    QApplication::processEvents();
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int colourDistance(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// The inspector's page must not paint the window colour over the panel, which also hid the
// panel's rounded corners.
TEST(KitRendering, InspectorShowsThePanelFillBehindItsPage) {
    for (const bool withPlugin : {false, true}) {
        DetailShell shell;
        shell.resize(320, 420);
        if (withPlugin)
            shell.setPlugin(plugin(QStringLiteral("Larkspur")), new QWidget);
        const QImage image = render(&shell);
        EXPECT_EQ(image.pixelColor(160, 400).rgb(), Palette::panel().rgb()) << withPlugin;
        EXPECT_EQ(image.pixelColor(3, 210).rgb(), Palette::panel().rgb()) << withPlugin;
    }
}

// Only the page is see-through: the scroll bar beside it keeps the window's colours, where a
// transparent one shows as a black bar.
TEST(KitRendering, InspectorScrollBarKeepsItsColours) {
    DetailShell shell;
    const QPalette colours = shell.scrollArea()->verticalScrollBar()->palette();
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        EXPECT_EQ(colours.color(role).alpha(), 255) << role;
    EXPECT_EQ(shell.scrollArea()->viewport()->palette().color(QPalette::Window).alpha(), 0);
}

// An enabled check box stands out from the dark background, filled with the accent when ticked; a
// focused one wears a ring in the accent (lighter on the accent fill); a disabled one is faint and
// never shows the accent, ticked or not.
TEST(KitRendering, CheckBoxIndicatorShowsTickFocusAndDisabledState) {
    const std::unique_ptr<QStyle> style(createKitStyle());
    struct Case {
        bool ticked, enabled, focused;
        bool accentFill, ring, faint;
    };
    const Case cases[] = {
        {false, true, false, false, false, false}, {true, true, false, true, false, false},
        {false, true, true, false, true, false},   {true, true, true, true, true, false},
        {false, false, false, false, false, true}, {true, false, false, false, false, true},
    };
    // The strongest contrast of an enabled box, ticked and not, that a disabled one stays well under.
    std::map<bool, int> enabledContrast;
    for (const Case& row : cases) {
        SCOPED_TRACE(::testing::Message() << row.ticked << row.enabled << row.focused);
        QWidget page;
        page.setAutoFillBackground(true);
        QPalette colours = page.palette();
        colours.setColor(QPalette::Window, Palette::background());
        colours.setColor(QPalette::Base, Palette::panel());
        page.setPalette(colours);
        auto* box = new QCheckBox(QStringLiteral("I understand"), &page);
        auto* other = new QCheckBox(QStringLiteral("Other"), &page);
        box->setStyle(style.get());
        box->setChecked(row.ticked);
        box->setEnabled(row.enabled);
        box->move(10, 10);
        box->adjustSize();
        other->move(10, 40);
        page.resize(200, 70);
        page.show();
        QApplication::setActiveWindow(&page);
        (row.focused ? static_cast<QWidget*>(box) : other)->setFocus();
        QApplication::processEvents();
        ASSERT_EQ(box->hasFocus(), row.focused);
        const QImage image = render(&page);

        QStyleOptionButton option;
        option.initFrom(box);
        const QRect indicator =
            style->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).translated(box->pos());
        int strongest = 0;
        bool accent = false;
        bool ring = false;
        const QColor ringColour = row.ticked ? Palette::accent().lighter(170) : Palette::accent();
        for (int y = indicator.top(); y <= indicator.bottom(); ++y) {
            for (int x = indicator.left(); x <= indicator.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                strongest = std::max(strongest, colourDistance(pixel, Palette::background()));
                accent = accent || colourDistance(pixel, Palette::accent()) < 30;
                const bool edge = x <= indicator.left() + 1 || x >= indicator.right() - 1;
                ring = ring || (edge && colourDistance(pixel, ringColour) < 30);
            }
        }
        if (row.enabled && !row.focused)
            enabledContrast[row.ticked] = strongest;
        if (row.faint) {
            EXPECT_LT(strongest, enabledContrast.at(row.ticked) - 100);
        } else {
            EXPECT_GT(strongest, 180);
        }
        EXPECT_EQ(accent, row.accentFill || (row.ring && !row.ticked));
        EXPECT_EQ(ring, row.ring);
    }
}

struct SelectedTable {
    SelectedTable() {
        table.resize(900, 200);
        table.setPlugins({plugin(QStringLiteral("Larkspur Compressor")), plugin(QStringLiteral("Tidewater")),
                          plugin(QStringLiteral("Quillon EQ"))});
        table.show();
        QApplication::setActiveWindow(&table);
        table.view()->setFocus();
        table.view()->selectRow(1);
        image = render(table.view()->viewport());
    }
    int rowMiddle(int row) const {
        return table.view()->rowViewportPosition(row) + table.view()->rowHeight(row) / 2;
    }
    // The blank end of a column's cell.
    int cellEnd(int column) const {
        return table.view()->columnViewportPosition(column) + table.view()->columnWidth(column) - 4;
    }
    // Pixels of the status colour to the right of the status dot.
    int statusTextPixels(int row) const {
        const int left = table.view()->columnViewportPosition(PluginTableModel::statusColumn) + 20;
        const int top = table.view()->rowViewportPosition(row);
        int count = 0;
        for (int y = top; y < top + table.view()->rowHeight(row); ++y) {
            for (int x = left; x < left + 60; ++x)
                count += colourDistance(image.pixelColor(x, y), Palette::green()) < 90 ? 1 : 0;
        }
        return count;
    }

    MultiSelectPluginTable table{{}};
    QImage image;
};

TEST(KitRendering, SelectedRowIsOneColourAcrossItsCells) {
    SelectedTable selected;
    const QColor first = selected.image.pixelColor(selected.cellEnd(0), selected.rowMiddle(1));
    for (int column = 1; column < PluginTableModel::statusColumn; ++column)
        EXPECT_EQ(selected.image.pixelColor(selected.cellEnd(column), selected.rowMiddle(1)).rgb(),
                  first.rgb())
            << column;
    EXPECT_LT(colourDistance(first, selected.table.view()->palette().color(QPalette::Highlight)), 30);
}

TEST(KitRendering, StatusTextOnTheSelectionIsWhite) {
    SelectedTable selected;
    EXPECT_GT(selected.statusTextPixels(0), 0);
    EXPECT_EQ(selected.statusTextPixels(1), 0);
}

// A rounded box is painted in pieces for speed; every pixel must match the whole shape drawn at
// once, for each radius the kit uses, with and without an outline, whole or in part. At a
// fractional scale the two rasterisers may round an edge pixel apart by one step, no more.
TEST(KitRendering, RoundedBoxPiecesMatchTheWholeShape) {
    struct Case {
        QSize size;
        qreal radius;
        bool outlined;
        QRect dirty;
    };
    const QRect all(0, 0, 2000, 2000);
    const Case cases[] = {
        {{1100, 700}, 10, true, all}, {{1100, 700}, 10, true, {37, 3, 500, 690}},
        {{301, 97}, 8, false, all},   {{301, 97}, 8, true, {290, 50, 40, 40}},
        {{640, 120}, 6, true, all},   {{57, 33}, 10, true, all},
        {{90, 300}, 9.5, true, all},  {{1100, 700}, 8, false, {0, 650, 1100, 50}},
        {{200, 20}, 8, true, all},
    };
    const QColor background(30, 30, 32);
    const QColor fill = withOpacity(Palette::panel(), 0.42);
    const QColor stroke = Palette::hairline();
    for (const qreal ratio : {1.0, 1.25, 1.5, 2.0}) {
        for (const Case& box : cases) {
            const QRect rect(QPoint(1, 2), box.size);
            QImage whole((box.size + QSize(3, 4)) * ratio, QImage::Format_ARGB32_Premultiplied);
            whole.setDevicePixelRatio(ratio);
            whole.fill(background);
            QImage pieces = whole;
            {
                QPainter painter(&whole);
                painter.setClipRect(box.dirty & rect);
                painter.setRenderHint(QPainter::Antialiasing);
                QPainterPath path;
                path.addRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), box.radius, box.radius);
                painter.fillPath(path, fill);
                if (box.outlined) {
                    QPen pen(stroke, 1.0);
                    pen.setCapStyle(Qt::FlatCap);
                    pen.setJoinStyle(Qt::MiterJoin);
                    painter.setPen(pen);
                    painter.drawPath(path);
                }
            }
            {
                QPainter painter(&pieces);
                paintRoundedBox(painter, rect, fill, box.outlined ? std::optional(stroke) : std::nullopt,
                                box.radius, box.dirty);
            }
            int largest = 0;
            for (int y = 0; y < whole.height(); ++y) {
                for (int x = 0; x < whole.width(); ++x) {
                    const QRgb a = whole.pixel(x, y);
                    const QRgb b = pieces.pixel(x, y);
                    for (const int shift : {0, 8, 16, 24})
                        largest =
                            std::max(largest, std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)));
                }
            }
            const bool wholeScale = ratio == std::floor(ratio);
            EXPECT_LE(largest, wholeScale ? 0 : 1) << box.size.width() << "x" << box.size.height()
                                                   << " radius " << box.radius << " at " << ratio;
        }
    }
}

// The window's thread paints a tall table, its header and rows, the splitter handle beside it and
// the buttons of the kit without waiting on Qt's pool. (Fusion's tall scroll bar still hands its
// shading to the pool.)
TEST(KitRendering, ATallTableItsSplitterAndButtonsPaintWithoutQtsPool) {
    FlatSplitter split(Qt::Horizontal, Palette::hairline());
    auto* table = new MultiSelectPluginTable({}, &split);
    std::vector<Plugin> plugins;
    for (int index = 0; index < 300; ++index)
        plugins.push_back(plugin(QStringLiteral("Larkspur %1").arg(index)));
    table->setPlugins(std::move(plugins));
    table->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* side = new QWidget;
    auto* buttons = new QVBoxLayout(side);
    for (const ButtonStyle style :
         {ButtonStyle::bordered, ButtonStyle::borderedProminent, ButtonStyle::plain})
        buttons->addWidget(
            new KitButton(QStringLiteral("Export CSV"), QStringLiteral("square.and.arrow.up"), style));
    buttons->addWidget(new FilterMenu(QStringLiteral("Format"), {[] { return QStringLiteral("All"); }, {}},
                                      {QStringLiteral("All"), QStringLiteral("VST3")}));
    split.addWidget(side);
    split.resize(1600, 900);
    split.setSizes({1400, 200});
    render(&split);
    globalPoolStarts = 0;
    render(&split);
    EXPECT_EQ(globalPoolStarts, 0);
}

// A kit button is painted band by band; each look, focused or not, enabled or not, must come out
// as a plain button with the same style sheet paints it in one go.
TEST(KitRendering, KitButtonBandsMatchTheWholeButton) {
    const auto paint = [](QPushButton* button, bool focused, bool enabled) {
        QWidget window;
        button->setParent(&window);
        button->setEnabled(enabled);
        button->setFixedSize(140, 28);
        (new QVBoxLayout(&window))->addWidget(button);
        window.show();
        QApplication::setActiveWindow(&window);
        if (focused)
            button->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        return button->grab().toImage();
    };
    for (const ButtonStyle style :
         {ButtonStyle::bordered, ButtonStyle::borderedProminent, ButtonStyle::plain}) {
        for (const bool focused : {false, true}) {
            for (const bool enabled : {true, false}) {
                auto* kit =
                    new KitButton(QStringLiteral("Export CSV"), QStringLiteral("square.and.arrow.up"), style);
                auto* plain = new QPushButton(kit->text());
                plain->setStyleSheet(kit->styleSheet());
                plain->setFont(kit->font());
                plain->setIcon(kit->icon());
                plain->setAutoDefault(false);
                const QImage whole = paint(plain, focused, enabled);
                EXPECT_EQ(paint(kit, focused, enabled), whole)
                    << buttonStyleName(style).toStdString() << " focused " << focused << " enabled "
                    << enabled;
            }
        }
    }
}

} // namespace
} // namespace quorvane
