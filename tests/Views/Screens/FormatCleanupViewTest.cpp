#include "Views/Screens/FormatCleanup/FormatCleanupView.h"
#include "FormatCleanupTestSupport.h"
#include "Views/Kit/ConfirmAlert.h"
#include "Views/Kit/MetricCard.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/TextStyle.h"
#include "Views/Screens/FormatCleanup/FormatCleanupReview.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

namespace quorvane::testing {
namespace {

class FormatCleanupViewTest : public FormatCleanupTest {
protected:
    void SetUp() override {
        FormatCleanupTest::SetUp();
        start(vst2Products(3));
        view = std::make_unique<FormatCleanupView>(*service, *store, *run, ScreenServices::production());
        view->resize(1200, 900);
        view->show();
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        view.reset();
        FormatCleanupTest::TearDown();
    }
    template <class T = QAbstractButton>
    T* find(const QString& name) const {
        auto* widget = view->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    int reviewPage() const { return find<QStackedWidget>(QStringLiteral("reviewArea"))->currentIndex(); }

    std::unique_ptr<FormatCleanupView> view;
};

TEST_F(FormatCleanupViewTest, PresetsCustomFormatsAndPreviewFollowTheViewModel) {
    EXPECT_TRUE(find<PresetCard>(QStringLiteral("presetCard_auAndVST3"))->isCurrent());
    EXPECT_FALSE(find<QWidget>(QStringLiteral("customFormatRow"))->isVisible());
    EXPECT_EQ(reviewPage(), 0);

    find(QStringLiteral("presetCard_custom"))->click();
    EXPECT_TRUE(find<QWidget>(QStringLiteral("customFormatRow"))->isVisible());
    EXPECT_FALSE(find(QStringLiteral("buildPreviewButton"))->isEnabled());
    find<QCheckBox>(QStringLiteral("customFormat_VST2"))->click();
    ASSERT_TRUE(find(QStringLiteral("buildPreviewButton"))->isEnabled());
    find(QStringLiteral("buildPreviewButton"))->click();
    EXPECT_EQ(reviewPage(), 1);
    auto* list = find<QListView>(QStringLiteral("candidateList"));
    ASSERT_EQ(list->model()->rowCount(), 3);

    // Unticking a row reaches the selection and the alert's message.
    list->model()->setData(list->model()->index(0, 0), Qt::Unchecked, Qt::CheckStateRole);
    EXPECT_EQ(view->viewModel().selected().size(), 2u);
    // The "Selected" card keeps the new count when the window is resized.
    view->resize(1100, 900);
    QCoreApplication::processEvents();
    const QList<MetricCard*> cards = view->findChildren<MetricCard*>(QStringLiteral("metricCard"));
    ASSERT_EQ(cards.size(), 4);
    EXPECT_EQ(cards[1]->findChild<QLabel*>(QStringLiteral("metricTitle"))->text(),
              QStringLiteral("Selected"));
    EXPECT_EQ(cards[1]->value(), QStringLiteral("2"));
    EXPECT_EQ(cards[1]->findChild<QLabel*>(QStringLiteral("metricValue"))->text(), QStringLiteral("2"));
    find(QStringLiteral("quarantineSelectedButton"))->click();
    QPointer<QMessageBox> alert = view->confirmation();
    ASSERT_FALSE(alert.isNull());
    EXPECT_TRUE(alert->informativeText().startsWith(
        QStringLiteral("Quorvane will move 2 exact format bundles across 2 products")));
    // The buttons stand in the desktop's order, the same as in every other alert.
    QPointer<QMessageBox> other = presentConfirmation(view.get(), QStringLiteral("Restore All Formats"),
                                                      QString(), QStringLiteral("Restore All"), {});
    QCoreApplication::processEvents();
    const auto cancelFirst = [](QMessageBox* box, const QString& actionText) {
        auto* cancel = box->findChild<QPushButton*>(QStringLiteral("cancelButton"));
        auto* action = box->findChild<QPushButton*>(QStringLiteral("actionButton"));
        EXPECT_TRUE(cancel && action);
        EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
        EXPECT_EQ(action->text(), actionText);
        return cancel->mapTo(box, QPoint()).x() < action->mapTo(box, QPoint()).x();
    };
    EXPECT_EQ(cancelFirst(alert, QStringLiteral("Start Cleanup Preset")),
              cancelFirst(other, QStringLiteral("Restore All")));
    other->close();

    // Another preset drops the preview and closes the alert.
    find(QStringLiteral("presetCard_noAAX"))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alert.isNull());
    EXPECT_EQ(reviewPage(), 0);
    EXPECT_FALSE(view->viewModel().showConfirmation());
}

// A card takes the keyboard focus with a ring in the accent, and Space chooses its preset.
TEST_F(FormatCleanupViewTest, PresetCardShowsFocusAndSpaceChoosesIt) {
    auto* card = find<PresetCard>(QStringLiteral("presetCard_retireVST2"));
    QApplication::setActiveWindow(view.get());
    const QImage before = card->grab().toImage();
    card->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    ASSERT_TRUE(card->hasFocus());
    const QImage focused = card->grab().toImage();
    EXPECT_NE(before.pixelColor(1, card->height() / 2), focused.pixelColor(1, card->height() / 2));
    EXPECT_EQ(focused.pixelColor(1, card->height() / 2).rgb(), Palette::accent().rgb());
    QTest::keyClick(card, Qt::Key_Space);
    EXPECT_EQ(view->viewModel().preset(), FormatCleanupPresetKind::retireVST2);
    EXPECT_TRUE(card->isCurrent());
}

// The candidate the arrows and Space act on is outlined in the accent while the list has the
// keyboard, and only then.
TEST_F(FormatCleanupViewTest, TheFocusedCandidateListShowsItsCurrentRow) {
    find(QStringLiteral("buildPreviewButton"))->click();
    auto* list = find<QListView>(QStringLiteral("candidateList"));
    ASSERT_GE(list->model()->rowCount(), 2);
    QApplication::setActiveWindow(view.get());
    list->setFocus(Qt::TabFocusReason);
    QTest::keyClick(list, Qt::Key_Down);
    QCoreApplication::processEvents();
    ASSERT_TRUE(list->hasFocus());
    const QRect current = list->visualRect(list->currentIndex());
    ASSERT_TRUE(current.isValid());
    const auto edge = [&] {
        return list->viewport()->grab().toImage().pixelColor(current.left() + 1, current.center().y()).rgb();
    };
    EXPECT_EQ(edge(), Palette::accent().rgb());
    find(QStringLiteral("buildPreviewButton"))->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    EXPECT_NE(edge(), Palette::accent().rgb());
}

// However narrow the cards, a description shows whole lines that fit, the second ending in "…"
// when the rest does not fit.
TEST_F(FormatCleanupViewTest, PresetDescriptionsAreNeverCutMidLine) {
    for (const int width : {700, 1200}) {
        view->resize(width, 900);
        QCoreApplication::processEvents();
        for (PresetCard* card : view->findChildren<PresetCard*>()) {
            const QStringList lines = card->descriptionLinesShown();
            ASSERT_FALSE(lines.isEmpty());
            EXPECT_LE(lines.size(), 2);
            const QFontMetrics metrics(textFont(TextStyle::caption2));
            for (const QString& line : lines)
                EXPECT_LE(metrics.horizontalAdvance(line), card->width() - 24) << line.toStdString();
            const QString whole = lines.join(QString());
            const QString description = card->toolTip();
            if (whole.simplified() != description.simplified()) {
                EXPECT_TRUE(lines.last().endsWith(QChar(0x2026))) << lines.last().toStdString();
            }
            EXPECT_GE(card->height(), 2 * metrics.lineSpacing() + QFontMetrics(card->font()).height() + 24);
        }
    }
}

TEST_F(FormatCleanupViewTest, RestoringTheLastRecentRunRemovesItsRowAndThePanel) {
    view->viewModel().setPreset(FormatCleanupPresetKind::retireVST2);
    view->viewModel().buildCleanupPreview();
    view->viewModel().startCleanupPresetRun();
    store->waitForIdle();
    auto* panel = find<QWidget>(QStringLiteral("recentRunsPanel"));
    ASSERT_TRUE(panel->isVisibleTo(view.get()));
    EXPECT_EQ(find<QLabel>(QStringLiteral("recentRunCaption"))->text(),
              QStringLiteral("3 format bundles remain in Quarantine"));
    // The helper answers at once: the row goes away while its button is still being clicked.
    QTest::mouseClick(find(QStringLiteral("restoreCompletedRunButton")), Qt::LeftButton);
    store->waitForIdle();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(store->quarantinedBundleCount(), 0);
    EXPECT_FALSE(panel->isVisibleTo(view.get()));
    EXPECT_EQ(view->findChild<QAbstractButton*>(QStringLiteral("restoreCompletedRunButton")), nullptr);
}

// Products with VST2 alone, so that retiring VST2 warns for each of them: the first warning short,
// the others long.
class FormatCleanupNotesTest : public FormatCleanupTest {
protected:
    void SetUp() override {
        FormatCleanupTest::SetUp();
        std::vector<Plugin> plugins = vst2Products(1, true, QStringLiteral("A"));
        for (Plugin& plugin : vst2Products(2, true, QStringLiteral("Marrow and Pike Vintage Channel Strip ")))
            plugins.push_back(std::move(plugin));
        start(plugins);
        view = std::make_unique<FormatCleanupView>(*service, *store, *run, ScreenServices::production());
        view->show();
    }
    void TearDown() override {
        view.reset();
        FormatCleanupTest::TearDown();
    }
    std::unique_ptr<FormatCleanupView> view;
};

// A warning row is as tall as its own text wrapped at the list's width, however narrow the window.
TEST_F(FormatCleanupNotesTest, WarningRowsAreAsTallAsTheirWrappedText) {
    view->viewModel().setPreset(FormatCleanupPresetKind::retireVST2);
    view->viewModel().buildCleanupPreview();
    view->findChild<DisclosureGroup*>(QStringLiteral("warningsAndExclusions"))->setOpen(true);
    auto* notes = view->findChild<QListView*>(QStringLiteral("noteList"));
    ASSERT_NE(notes, nullptr);
    ASSERT_GT(notes->model()->rowCount(), 0);
    // The screen's width in the smallest window, and a wide one.
    for (const int width : {900, 1600}) {
        view->resize(width, 1400);
        QCoreApplication::processEvents();
        const QFontMetrics metrics(notes->font());
        for (int row = 0; row < notes->model()->rowCount(); ++row) {
            const QModelIndex index = notes->model()->index(row, 0);
            const QRect shown = notes->visualRect(index);
            // The text's column: the row less its icon and the spacing either side.
            const int column = shown.width() - notes->iconSize().width() - 12;
            const int needed = metrics
                                   .boundingRect(QRect(0, 0, column, 10000), Qt::TextWordWrap,
                                                 index.data(Qt::DisplayRole).toString())
                                   .height();
            EXPECT_GE(shown.height(), needed) << width << " row " << row;
            EXPECT_LE(shown.height(), needed + 8) << width << " row " << row;
            if (width == 900 && row > 0) {
                EXPECT_GT(needed, metrics.lineSpacing() + 2) << "the long warnings no longer wrap here";
            }
        }
    }
}

} // namespace
} // namespace quorvane::testing
