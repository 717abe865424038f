#include "KitTestSupport.h"

#include "Views/Kit/BundleCard.h"
#include "Views/Kit/ConfirmAlert.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/TextStyle.h"

#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using namespace quorvane::testing;

TEST(BundleCard, CarriesTheBundleIdAndLaysTheHeaderOutAboveItsRows) {
    const PluginBundleRecord record = bundle(QStringLiteral("AU"), QStringLiteral("/p/A.component"));
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* card = new BundleCard(record, 9, &window);
    auto* title = makeLabel(QStringLiteral("AU"), TextStyle::body, std::nullopt, card);
    auto* badge = makeLabel(QStringLiteral("Universal"), TextStyle::caption, std::nullopt, card);
    card->addHeader(title, badge);
    auto* row = makeLabel(QStringLiteral("12 MB"), TextStyle::caption, std::nullopt, card);
    card->addRow(row);
    column->addWidget(card);
    window.resize(320, 200);
    window.show();
    QApplication::processEvents();

    EXPECT_EQ(child<QWidget>(&window, QStringLiteral("bundleCard")), card);
    EXPECT_EQ(card->property("bundleId").toString(), record.id());
    EXPECT_EQ(child<QLabel>(card, QStringLiteral("bundleFormat")), title);
    EXPECT_EQ(title->geometry().left(), 12);
    EXPECT_EQ(badge->geometry().right(), card->width() - 13);
    EXPECT_EQ(row->geometry().top(), std::max(title->geometry().bottom(), badge->geometry().bottom()) + 10);
}

TEST(BundleCard, ConfirmationAsksFirstAndActsOnItsOwnCopiesAfterTheButtonIsGone) {
    const PluginBundleRecord record = bundle(QStringLiteral("VST3"), QStringLiteral("/p/A.vst3"));
    const Plugin product = plugin(QStringLiteral("Aster"), {record});
    std::vector<QString> ran;
    QWidget window;
    auto* button =
        makeActionButton(QStringLiteral("Go"), QString(), ButtonStyle::bordered, std::nullopt, &window);
    confirmBeforeRunning(button,
                         {QStringLiteral("Title?"), QStringLiteral("Message."), QStringLiteral("Do It")},
                         product, record, [&ran](const Plugin& p, const PluginBundleRecord& b) {
                             ran.push_back(p.name + QStringLiteral("/") + b.format);
                         });
    window.show();

    button->click();
    QMessageBox* alert = openAlert(&window);
    ASSERT_NO_FATAL_FAILURE(
        expectAlert(alert, QStringLiteral("Title?"), QStringLiteral("Message."), QStringLiteral("Do It")));
    press(alert, QStringLiteral("cancelButton"));
    EXPECT_TRUE(ran.empty());

    button->click();
    delete button;
    press(openAlert(&window), QStringLiteral("actionButton"));
    EXPECT_EQ(ran, std::vector<QString>{QStringLiteral("Aster/VST3")});
}

} // namespace
} // namespace quorvane
