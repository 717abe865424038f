#include "App/NoticePresenter.h"
#include "FakeShellSource.h"
#include "Views/Kit/ConfirmAlert.h"
#include "Views/Kit/TrashConfirmationSheet.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>

#include <functional>
#include <ostream>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

// A key pressed as a user presses it: to whatever holds the keyboard focus, never to a chosen widget.
void press(Qt::Key key) {
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr) << "nothing holds the keyboard focus";
    QTest::keyClick(focused, key);
    QApplication::processEvents();
}

// A window whose own field holds the focus when the dialog opens, as it would while the user types.
struct Window {
    QWidget widget;
    QLineEdit* field = new QLineEdit(&widget);
    Window() {
        widget.resize(800, 600);
        widget.show();
        widget.activateWindow();
        field->setFocus();
        QApplication::processEvents();
    }
};

struct Outcome {
    int actions = 0;
    int cancels = 0;
};

struct DialogCase {
    const char* name;
    // Opens the dialog over the window; returns it.
    std::function<QWidget*(QWidget*, Outcome&)> open;
    std::vector<Qt::Key> keys;
    int actions;
    int cancels;
    bool closes;
};

void PrintTo(const DialogCase& dialogCase, std::ostream* out) {
    *out << dialogCase.name;
}

QWidget* openConfirmation(QWidget* window, Outcome& outcome) {
    QMessageBox* box =
        presentConfirmation(window, QStringLiteral("Restore Plugin?"), QStringLiteral("Message"),
                            QStringLiteral("Restore All Formats"), [&outcome] { ++outcome.actions; });
    QObject::connect(box, &QMessageBox::rejected, [&outcome] { ++outcome.cancels; });
    return box;
}

QWidget* openSheet(QWidget* window, Outcome& outcome) {
    auto* sheet = new BatchTrashConfirmationSheet(
        1, 2, [&outcome] { ++outcome.cancels; }, [&outcome] { ++outcome.actions; }, window, {});
    QObject::connect(sheet, &QDialog::finished, sheet, [] {});
    sheet->open();
    return sheet;
}

class KeyboardDialogs : public ::testing::TestWithParam<DialogCase> {};

TEST_P(KeyboardDialogs, TakeTheFocusAndAnswerEnterAndEscape) {
    const DialogCase& dialogCase = GetParam();
    Window window;
    Outcome outcome;
    QPointer<QWidget> dialog = dialogCase.open(&window.widget, outcome);
    QApplication::processEvents();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(dialog->isVisible());
    ASSERT_TRUE(dialog->isAncestorOf(QApplication::focusWidget())) << "the dialog did not take the focus";
    for (Qt::Key key : dialogCase.keys)
        press(key);
    EXPECT_EQ(outcome.actions, dialogCase.actions);
    EXPECT_EQ(outcome.cancels, dialogCase.cancels);
    EXPECT_EQ(!dialog || !dialog->isVisible(), dialogCase.closes);
}

INSTANTIATE_TEST_SUITE_P(
    AlertsAndSheets, KeyboardDialogs,
    ::testing::Values(
        DialogCase{"AlertEnterActs", openConfirmation, {Qt::Key_Return}, 1, 0, true},
        DialogCase{"AlertEscapeCancels", openConfirmation, {Qt::Key_Escape}, 0, 1, true},
        DialogCase{"SheetEnterWaitsForTheToggle", openSheet, {Qt::Key_Return}, 0, 0, false},
        DialogCase{"SheetEscapeCancels", openSheet, {Qt::Key_Escape}, 0, 1, false},
        // Space ticks the focused acknowledgement; Enter then confirms.
        DialogCase{"SheetSpaceThenEnterConfirms", openSheet, {Qt::Key_Space, Qt::Key_Return}, 1, 0, false}),
    [](const ::testing::TestParamInfo<DialogCase>& param) { return std::string(param.param.name); });

TEST(KeyboardNotice, ANoticeTakesTheFocusSoEnterDismissesIt) {
    Window window;
    testing::FakeShellSource source;
    auto* presenter = new NoticePresenter(source, &window.widget);
    source.setNotice(
        OperationNotice::make(QStringLiteral("Done"), QStringLiteral("Moved."), NoticeStyle::success));
    QApplication::processEvents();
    ASSERT_NE(presenter->alert(), nullptr);
    ASSERT_TRUE(presenter->alert()->isAncestorOf(QApplication::focusWidget()));
    press(Qt::Key_Return);
    EXPECT_FALSE(source.notice().has_value());
    EXPECT_EQ(window.field->text(), QString());
}

} // namespace
} // namespace quorvane
