#include "App/Sidebar.h"
#include "App/SectionListModel.h"
#include "App/SidebarCounts.h"
#include "Model/HistoryItem.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/TextStyle.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPixmap>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

QPixmap noImage(const QString&) {
    return {};
}

TEST(SidebarCounts, BadgeTextForTheFiveCountedSectionsOnly) {
    const SidebarCounts counts{12345, 0, 3, 7, 1};
    const std::vector<std::pair<AppSection, std::optional<QString>>> expected = {
        {AppSection::inventory, QStringLiteral("12345")}, {AppSection::protected_, QStringLiteral("0")},
        {AppSection::quarantine, QStringLiteral("3")},    {AppSection::formatCleanup, std::nullopt},
        {AppSection::permanentQuarantine, std::nullopt},  {AppSection::trashRecovery, QStringLiteral("7")},
        {AppSection::history, QStringLiteral("1")},       {AppSection::pluginManagement, std::nullopt},
        {AppSection::safetyGuide, std::nullopt},          {AppSection::about, std::nullopt},
    };
    for (const auto& [section, text] : expected)
        EXPECT_EQ(sidebarBadgeText(section, counts), text) << rawValue(section).toStdString();
    for (AppSection section : {AppSection::inventory, AppSection::protected_, AppSection::quarantine,
                               AppSection::trashRecovery, AppSection::history})
        EXPECT_EQ(sidebarBadgeText(section, SidebarCounts{}), QStringLiteral("0"));
}

TEST(SidebarCounts, ProtectedCountsEveryProtectedProductAndHistoryCountsGroupedOperations) {
    std::vector<Plugin> plugins(4);
    plugins[0].isProtected = true;
    plugins[1].isProtected = true;
    plugins[1].status = PluginStatus::quarantined;
    EXPECT_EQ(countProtectedPlugins(plugins), 2);

    auto line = [](const QString& plugin, HistoryKind kind, const QString& transaction) {
        HistoryItem item;
        item.id = QUuid::createUuid();
        item.plugin = plugin;
        item.kind = kind;
        item.time = QStringLiteral("10:15");
        item.transactionID = transaction;
        item.format = QStringLiteral("AU");
        return item;
    };
    const std::vector<HistoryItem> history = {
        line("Larkspur", HistoryKind::quarantine, "T1"), line("Larkspur", HistoryKind::quarantine, "T1"),
        line("Larkspur", HistoryKind::quarantine, "T1"), line("Aster", HistoryKind::restore, "T2")};
    EXPECT_EQ(countHistoryOperations(history), 2);
    EXPECT_EQ(countHistoryOperations({}), 0);
}

TEST(SectionListModel, RowsInSidebarOrderWithBadgesUnderTheModelTester) {
    SectionListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(model.rowCount(), 10);
    for (int row = 0; row < model.rowCount(); ++row) {
        const AppSection section = allAppSections()[static_cast<size_t>(row)];
        EXPECT_EQ(model.data(model.index(row)).toString(), rawValue(section));
        EXPECT_EQ(model.data(model.index(row), SectionListModel::symbolRole).toString(),
                  appSectionIcon(section));
    }
    model.setCounts({5, 1, 2, 3, 4});
    EXPECT_EQ(model.data(model.index(0), SectionListModel::badgeRole).toString(), QStringLiteral("5"));
    EXPECT_EQ(model.data(model.index(6), SectionListModel::badgeRole).toString(), QStringLiteral("4"));
    EXPECT_FALSE(model.data(model.index(3), SectionListModel::badgeRole).isValid());
}

TEST(Sidebar, WritesTheClickedSectionAndNoneWhenCleared) {
    std::optional<AppSection> section = AppSection::inventory;
    std::vector<std::optional<AppSection>> writes;
    Sidebar sidebar({[&] { return section; },
                     [&](std::optional<AppSection> value) {
                         section = value;
                         writes.push_back(value);
                     }},
                    &noImage);
    QItemSelectionModel* selection = sidebar.list()->selectionModel();
    ASSERT_EQ(selection->selectedRows().size(), 1);
    EXPECT_EQ(selection->selectedRows().front().row(), 0);
    EXPECT_TRUE(writes.empty());

    selection->select(sidebar.model()->index(5), QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(section, AppSection::trashRecovery);
    selection->clearSelection();
    EXPECT_EQ(section, std::nullopt);
    EXPECT_EQ(writes.size(), 2u);

    section = AppSection::about;
    sidebar.refreshSelection();
    EXPECT_EQ(selection->selectedRows().front().row(), 9);
    section = std::nullopt;
    sidebar.refreshSelection();
    EXPECT_TRUE(selection->selectedRows().isEmpty());
    EXPECT_EQ(writes.size(), 2u);
}

TEST(Sidebar, FallsBackToTextsWithoutImages) {
    std::optional<AppSection> section;
    Sidebar sidebar({[&] { return section; }, [&](std::optional<AppSection> value) { section = value; }},
                    &noImage);
    auto* header = sidebar.findChild<QLabel*>(QStringLiteral("sidebarHeader"));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->text(), QStringLiteral("Quorvane"));
    EXPECT_EQ(header->font().pixelSize(), 32);
    EXPECT_EQ(header->font().weight(), QFont::Black);
    EXPECT_GE(header->minimumHeight(), 72);
    EXPECT_EQ(sidebar.findChild<QLabel*>(QStringLiteral("sidebarMascot")), nullptr);
    EXPECT_EQ(sidebar.findChild<QLabel*>(QStringLiteral("sidebarAppMark")), nullptr);
    auto* safe = sidebar.findChild<QLabel*>(QStringLiteral("safeByDesign"));
    EXPECT_EQ(safe->text(), QStringLiteral("Safe by design"));
    EXPECT_EQ(foreground(safe), Palette::accent());
    auto* promise = sidebar.findChild<QLabel*>(QStringLiteral("sidebarPromise"));
    EXPECT_EQ(promise->text(), QStringLiteral("Reversible quarantine. No permanent deletion."));
    EXPECT_EQ(foreground(promise), Palette::secondaryText());
    EXPECT_TRUE(sidebar.list()->selectionModel()->selectedRows().isEmpty());
}

TEST(Sidebar, ShowsTheShippedImagesWhenTheyLoad) {
    std::optional<AppSection> section;
    auto images = [](const QString& name) {
        QPixmap pixmap(name == QStringLiteral("quorvane-mascot") ? QSize(200, 400) : QSize(120, 60));
        pixmap.fill(Qt::red);
        return pixmap;
    };
    Sidebar sidebar({[&] { return section; }, [&](std::optional<AppSection> value) { section = value; }},
                    images);
    auto* header = sidebar.findChild<QLabel*>(QStringLiteral("sidebarHeader"));
    EXPECT_TRUE(header->text().isEmpty());
    EXPECT_EQ(header->accessibleName(), QStringLiteral("Quorvane \u2014 Find Plugins. Not Frustration."));
    auto* mascot = sidebar.findChild<QLabel*>(QStringLiteral("sidebarMascot"));
    ASSERT_NE(mascot, nullptr);
    EXPECT_LE(mascot->maximumHeight(), 300);
    auto* mark = sidebar.findChild<QLabel*>(QStringLiteral("sidebarAppMark"));
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(mark->size(), QSize(28, 28));
}

} // namespace
} // namespace quorvane
