#include "KitTestSupport.h"

#include "Views/Kit/DetailShell.h"
#include "Views/Kit/KitAppearance.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PluginTable.h"
#include "Views/Kit/PluginTableModel.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QImage>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>

#include <gtest/gtest.h>

#include <memory>

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

// An unticked check box has an outline that stands out from the dark background; a ticked one
// is filled with the accent colour.
TEST(KitRendering, CheckBoxIndicatorStandsOutOnTheDarkBackground) {
    const std::unique_ptr<QStyle> style(createKitStyle());
    for (const bool ticked : {false, true}) {
        QWidget page;
        page.setAutoFillBackground(true);
        QPalette colours = page.palette();
        colours.setColor(QPalette::Window, Palette::background());
        colours.setColor(QPalette::Base, Palette::panel());
        page.setPalette(colours);
        auto* box = new QCheckBox(QStringLiteral("I understand"), &page);
        box->setStyle(style.get());
        box->setChecked(ticked);
        box->move(10, 10);
        box->adjustSize();
        page.resize(200, 50);
        const QImage image = render(&page);

        QStyleOptionButton option;
        option.initFrom(box);
        const QRect indicator =
            style->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).translated(box->pos());
        int strongest = 0;
        bool accent = false;
        for (int y = indicator.top(); y <= indicator.bottom(); ++y) {
            for (int x = indicator.left(); x <= indicator.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                strongest = std::max(strongest, colourDistance(pixel, Palette::background()));
                accent = accent || colourDistance(pixel, Palette::accent()) < 30;
            }
        }
        EXPECT_GT(strongest, 180) << ticked;
        EXPECT_EQ(accent, ticked);
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

} // namespace
} // namespace quorvane
