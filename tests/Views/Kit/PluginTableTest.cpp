#include "KitTestSupport.h"

#include "Views/Kit/BatchSelectionBar.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/PluginTable.h"
#include "Views/Kit/PluginTableModel.h"
#include "Views/Kit/SymbolLabel.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>
#include <numeric>

namespace quorvane {
namespace {

using testing::bundle;
using testing::plugin;

std::vector<Plugin> threePlugins() {
    Plugin two =
        plugin(QStringLiteral("Tidewater"), {bundle(QStringLiteral("AU"), QStringLiteral("/a/T.component")),
                                             bundle(QStringLiteral("VST3"), QStringLiteral("/a/T.vst3"))});
    two.status = PluginStatus::quarantined;
    Plugin none = plugin(QStringLiteral("Shell"), {}, PluginStatus::hostedByShell);
    none.formats.clear();
    return {plugin(QStringLiteral("Larkspur"), {bundle(QStringLiteral("VST3"), QStringLiteral("/a/L.vst3"))}),
            two, none};
}

void selectRow(QTableView* view, int row,
               QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect) {
    view->selectionModel()->select(view->model()->index(row, 0), flags | QItemSelectionModel::Rows);
}

TEST(PluginTableModel, PassesTheModelTesterThroughResets) {
    PluginTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setPlugins(threePlugins());
    model.setPlugins({});
    model.setPlugins(threePlugins());
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 6);
}

// A change of a few products moves only their rows; a change elsewhere is refused untouched.
TEST(PluginTableModel, UpdatesOnlyTheRowsOfTheChangedProducts) {
    const PluginList start(threePlugins());
    const auto id = [&](size_t index) { return start[index].id; };
    struct Case {
        const char* name;
        std::function<void(PluginListEdit&)> change;
        QSet<QUuid> changed;
        std::vector<int> rows; // empty: every product
        bool updated;
        int removedRows, insertedRows;
        std::vector<int> changedRows;
    };
    const std::vector<Case> cases = {
        {"one renamed",
         [](PluginListEdit& edit) { edit.change(1).name = QStringLiteral("Renamed"); },
         {id(1)},
         {},
         true,
         0,
         0,
         {1}},
        {"one gone", [](PluginListEdit& edit) { edit.erase(0); }, {id(0)}, {}, true, 1, 0, {}},
        {"one added",
         [](PluginListEdit& edit) { edit.push_back(plugin(QStringLiteral("New"), {})); },
         {},
         {},
         true,
         0,
         1,
         {}},
        {"one leaves the rows",
         [](PluginListEdit& edit) { edit.change(1).name = QStringLiteral("Hidden"); },
         {id(1)},
         {0, 2},
         true,
         1,
         0,
         {}},
        {"an unchanged one moved", [](PluginListEdit& edit) { edit.erase(0); }, {id(1)}, {}, false, 0, 0, {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        PluginTableModel model;
        model.setPlugins(start);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
        PluginListEdit edit(start);
        test.change(edit);
        const PluginList next = edit.list();
        std::vector<int> rows = test.rows;
        if (rows.empty()) {
            rows.resize(next.size());
            std::iota(rows.begin(), rows.end(), 0);
        }
        QSet<QUuid> changed = test.changed.isEmpty() ? edit.changedIDs() : test.changed;
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy updated(&model, &QAbstractItemModel::dataChanged);
        EXPECT_EQ(model.updatePlugins(next, rows, changed), test.updated);
        EXPECT_EQ(resets.count(), 0);
        EXPECT_EQ(removed.count(), test.removedRows);
        EXPECT_EQ(inserted.count(), test.insertedRows);
        std::vector<int> changedRows;
        for (const QList<QVariant>& signal : updated)
            changedRows.push_back(signal.at(0).toModelIndex().row());
        EXPECT_EQ(changedRows, test.changedRows);
        if (test.updated) {
            EXPECT_EQ(model.rows(), rows);
            ASSERT_EQ(model.rowCount(), static_cast<int>(rows.size()));
            for (int row = 0; row < model.rowCount(); ++row)
                EXPECT_EQ(model.data(model.index(row, 0)).toString(),
                          next[static_cast<size_t>(rows[row])].name);
        } else {
            EXPECT_EQ(model.rowCount(), 3);
            EXPECT_EQ(model.pluginAt(0).name, start[0].name);
        }
    }
}

TEST(PluginTableModel, ColumnsAndCells) {
    const std::vector<std::tuple<QString, int, int>> expected = {
        {"Plugin", 180, 230},      {"Manufacturer", 120, 150}, {"Format", 80, 110},
        {"Architecture", 90, 110}, {"Size", 70, 80},           {"Status", 90, 115}};
    ASSERT_EQ(pluginTableColumns().size(), expected.size());
    PluginTableModel model;
    for (size_t column = 0; column < expected.size(); ++column) {
        EXPECT_EQ(pluginTableColumns()[column].title, std::get<0>(expected[column]));
        EXPECT_EQ(pluginTableColumns()[column].minimumWidth, std::get<1>(expected[column]));
        EXPECT_EQ(pluginTableColumns()[column].idealWidth, std::get<2>(expected[column]));
        EXPECT_EQ(model.headerData(static_cast<int>(column), Qt::Horizontal).toString(),
                  std::get<0>(expected[column]));
    }

    model.setPlugins(threePlugins());
    auto cell = [&](int row, int column, int role = Qt::DisplayRole) {
        return model.data(model.index(row, column), role);
    };
    EXPECT_EQ(cell(0, PluginTableModel::pluginColumn).toString(), QStringLiteral("Larkspur"));
    EXPECT_EQ(cell(0, PluginTableModel::pluginColumn, Qt::FontRole).value<QFont>().weight(), QFont::DemiBold);
    EXPECT_EQ(cell(1, PluginTableModel::formatColumn).toString(), QStringLiteral("AU, VST3"));
    EXPECT_EQ(cell(2, PluginTableModel::formatColumn).toString(), QString());
    EXPECT_EQ(cell(1, PluginTableModel::manufacturerColumn, Qt::ForegroundRole).value<QColor>(),
              Palette::secondaryText());
    EXPECT_EQ(cell(1, PluginTableModel::sizeColumn).toString(), QStringLiteral("24 MB"));
    EXPECT_EQ(cell(1, PluginTableModel::statusColumn).toString(), QStringLiteral("Ready to Restore"));
    EXPECT_EQ(cell(1, PluginTableModel::statusColumn, Qt::ForegroundRole).value<QColor>(), Palette::amber());
    EXPECT_EQ(cell(2, PluginTableModel::statusColumn, Qt::ForegroundRole).value<QColor>(), Palette::accent());
    EXPECT_EQ(cell(0, PluginTableModel::statusColumn, Qt::ForegroundRole).value<QColor>(), Palette::green());
}

// The columns fill the table's width at every size: above their ideal widths all grow, between the
// ideal and the minimum each keeps at least its minimum, and below that all shrink alike.
TEST(PluginTables, ColumnsUseTheWidthTheTableHas) {
    int ideal = 0;
    int least = 0;
    for (const auto& column : pluginTableColumns()) {
        ideal += column.idealWidth;
        least += column.minimumWidth;
    }
    for (const int width : {1400, ideal, (ideal + least) / 2, least, 500}) {
        SCOPED_TRACE(width);
        const std::vector<int> widths = fittedColumnWidths(width);
        ASSERT_EQ(widths.size(), pluginTableColumns().size());
        EXPECT_EQ(std::accumulate(widths.begin(), widths.end(), 0), width);
        for (size_t column = 0; column < widths.size(); ++column) {
            const auto& layout = pluginTableColumns()[column];
            EXPECT_EQ(widths[column] >= layout.idealWidth - 1, width >= ideal) << column;
            if (width >= least) {
                EXPECT_GE(widths[column], layout.minimumWidth) << column;
            }
        }
    }

    // A shown table: the row ends at the table's edge, with nothing to scroll sideways.
    std::optional<Plugin> selected;
    PluginTable table({[&] { return selected; }, [&](std::optional<Plugin> p) { selected = p; }});
    table.setPlugins(threePlugins());
    for (const int width : {1200, 560}) {
        table.resize(width, 300);
        table.show();
        QApplication::processEvents();
        QHeaderView* header = table.view()->horizontalHeader();
        EXPECT_EQ(header->length(), table.view()->viewport()->width()) << width;
        EXPECT_FALSE(table.view()->horizontalScrollBar()->isVisible()) << width;
    }
}

TEST(PluginTables, BothShowTheSameColumnsUnsortedInTheGivenOrder) {
    std::optional<Plugin> selected;
    QSet<QUuid> chosen;
    PluginTable single({[&] { return selected; }, [&](std::optional<Plugin> p) { selected = p; }});
    MultiSelectPluginTable multi({[&] { return chosen; }, [&](QSet<QUuid> s) { chosen = s; }});
    const auto plugins = threePlugins();
    single.setPlugins(plugins);
    multi.setPlugins(plugins);
    for (PluginTableBase* table :
         {static_cast<PluginTableBase*>(&single), static_cast<PluginTableBase*>(&multi)}) {
        EXPECT_FALSE(table->view()->isSortingEnabled());
        EXPECT_FALSE(table->view()->alternatingRowColors());
        QHeaderView* header = table->view()->horizontalHeader();
        for (int column = 0; column < 5; ++column)
            EXPECT_EQ(header->sectionSize(column),
                      pluginTableColumns()[static_cast<size_t>(column)].idealWidth);
        header->resizeSection(0, 50);
        EXPECT_EQ(header->sectionSize(0), 180);
        EXPECT_EQ(table->model()->data(table->model()->index(2, 0)).toString(), QStringLiteral("Shell"));
        EXPECT_EQ(table->fillColor(), withOpacity(Palette::panel(), 0.42));
        EXPECT_EQ(table->strokeColor(), Palette::hairline());
        EXPECT_EQ(table->radius(), 10);
    }
    EXPECT_EQ(single.view()->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(multi.view()->selectionMode(), QAbstractItemView::ExtendedSelection);
}

TEST(PluginTable, SelectingStoresTheFirstProductWithThatIdAndClearingStoresNone) {
    auto plugins = threePlugins();
    Plugin twin = plugins[0];
    twin.name = QStringLiteral("Same id, later row");
    plugins.push_back(twin);
    std::optional<Plugin> selected;
    int writes = 0;
    PluginTable table({[&] { return selected; },
                       [&](std::optional<Plugin> p) {
                           selected = p;
                           ++writes;
                       }});
    table.setPlugins(plugins);
    EXPECT_EQ(writes, 0);

    selectRow(table.view(), 1);
    ASSERT_TRUE(selected.has_value());
    EXPECT_EQ(*selected, plugins[1]);
    selectRow(table.view(), 3);
    EXPECT_EQ(selected->name, QStringLiteral("Larkspur"));
    table.view()->selectionModel()->clearSelection();
    EXPECT_FALSE(selected.has_value());
}

TEST(PluginTable, NewRowsKeepTheBindingAndShowItsRowWhenPresent) {
    const auto plugins = threePlugins();
    std::optional<Plugin> selected = plugins[2];
    int writes = 0;
    PluginTable table({[&] { return selected; },
                       [&](std::optional<Plugin> p) {
                           selected = p;
                           ++writes;
                       }});
    table.setPlugins(plugins);
    ASSERT_EQ(table.view()->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(table.view()->selectionModel()->selectedRows().front().row(), 2);

    table.setPlugins({plugins[0], plugins[1]});
    EXPECT_TRUE(table.view()->selectionModel()->selectedRows().isEmpty());
    EXPECT_EQ(selected, plugins[2]);
    EXPECT_EQ(writes, 0);

    selected = plugins[1];
    table.refreshSelection();
    EXPECT_EQ(table.view()->selectionModel()->selectedRows().front().row(), 1);
    EXPECT_EQ(writes, 0);
}

// Tabbing into a table whose row is already selected shows which row the keys act on, on the
// selection's accent fill too.
TEST(PluginTable, TabbingIntoASelectionShowsTheCurrentRow) {
    const auto plugins = threePlugins();
    std::optional<Plugin> selected = plugins[1];
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* before = new QPushButton(QStringLiteral("Before"), &window);
    auto* table = new PluginTable({[&] { return selected; }, [&](std::optional<Plugin> p) { selected = p; }});
    layout->addWidget(before);
    layout->addWidget(table);
    // The window's selection colour.
    QPalette palette = table->view()->palette();
    palette.setColor(QPalette::Highlight, Palette::accent());
    table->view()->setPalette(palette);
    table->setPlugins(plugins);
    window.resize(900, 400);
    window.show();
    QApplication::setActiveWindow(&window);
    before->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    const QRect row = table->view()->visualRect(table->view()->model()->index(1, 1));
    const auto edge = [&] {
        return table->view()->viewport()->grab().toImage().pixelColor(row.center().x(), row.top() + 1).rgb();
    };
    const QRgb unfocused = edge();
    QTest::keyClick(before, Qt::Key_Tab);
    QApplication::processEvents();
    ASSERT_TRUE(table->view()->hasFocus());
    EXPECT_EQ(table->view()->currentIndex().row(), 1);
    EXPECT_NE(edge(), unfocused);
}

TEST(MultiSelectPluginTable, WritesTheSelectedIdsAndKeepsThemAcrossNewRows) {
    const auto plugins = threePlugins();
    QSet<QUuid> chosen{plugins[0].id, plugins[2].id};
    int writes = 0;
    MultiSelectPluginTable table({[&] { return chosen; },
                                  [&](QSet<QUuid> ids) {
                                      chosen = ids;
                                      ++writes;
                                  }});
    table.setPlugins(plugins);
    EXPECT_EQ(table.view()->selectionModel()->selectedRows().size(), 2);

    table.setPlugins({plugins[0], plugins[1]});
    EXPECT_EQ(chosen, (QSet<QUuid>{plugins[0].id, plugins[2].id}));
    EXPECT_EQ(writes, 0);
    EXPECT_EQ(table.view()->selectionModel()->selectedRows().size(), 1);

    selectRow(table.view(), 1, QItemSelectionModel::Select);
    EXPECT_EQ(chosen, (QSet<QUuid>{plugins[0].id, plugins[1].id}));
    selectRow(table.view(), 0, QItemSelectionModel::Deselect);
    EXPECT_EQ(chosen, QSet<QUuid>{plugins[1].id});
}

TEST(BatchSelectionBar, NounTakesAnSForEveryCountButOne) {
    const std::vector<std::pair<int, QString>> rows = {{0, QStringLiteral("0 plugins selected")},
                                                       {1, QStringLiteral("1 plugin selected")},
                                                       {2, QStringLiteral("2 plugins selected")},
                                                       {3, QStringLiteral("3 plugins selected")},
                                                       {-1, QStringLiteral("-1 plugins selected")}};
    for (const auto& [count, text] : rows) {
        BatchSelectionBar bar(count, QStringLiteral("plugin"));
        EXPECT_EQ(bar.text(), text);
        auto* label = bar.findChild<SymbolLabel*>(QStringLiteral("batchSelectionLabel"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), text);
        EXPECT_EQ(label->symbol(), QStringLiteral("checkmark.circle.fill"));
        EXPECT_EQ(label->color(), Palette::accent());
    }
    EXPECT_EQ(BatchSelectionBar::labelText(2, QStringLiteral("%1 bundle")),
              QStringLiteral("2 %1 bundles selected"));
    auto* actions = new QWidget;
    BatchSelectionBar bar(2, QStringLiteral("bundle"), actions);
    EXPECT_EQ(bar.actions(), actions);
    EXPECT_EQ(bar.fillColor(), withOpacity(Palette::accent(), 0.08));
    EXPECT_EQ(bar.strokeColor(), withOpacity(Palette::accent(), 0.5));
}

} // namespace
} // namespace quorvane
