#include "App/NoticePresenter.h"
#include "FakeShellSource.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

void settle() {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

struct Stage {
    testing::FakeShellSource source;
    QWidget window;
    NoticePresenter* presenter;
    Stage() : presenter(new NoticePresenter(source, &window)) { window.show(); }
    void pressOk() {
        ASSERT_NE(presenter->alert(), nullptr);
        auto* ok = presenter->alert()->findChild<QPushButton*>(QStringLiteral("okButton"));
        ASSERT_NE(ok, nullptr);
        ok->click();
        settle();
    }
};

OperationNotice notice(const QString& title, const QString& message,
                       NoticeStyle style = NoticeStyle::success) {
    return OperationNotice::make(title, message, style);
}

TEST(NoticePresenter, ShowsTitleAndMessageVerbatimWithOneOkButton) {
    for (NoticeStyle style : {NoticeStyle::success, NoticeStyle::warning}) {
        Stage stage;
        stage.source.setNotice(
            notice(QStringLiteral("Quarantine <Blocked>"), QStringLiteral("A & B."), style));
        QMessageBox* alert = stage.presenter->alert();
        ASSERT_NE(alert, nullptr);
        EXPECT_TRUE(alert->isVisible());
        EXPECT_EQ(alert->text(), QStringLiteral("Quarantine <Blocked>"));
        EXPECT_EQ(alert->informativeText(), QStringLiteral("A & B."));
        EXPECT_EQ(alert->textFormat(), Qt::PlainText);
        EXPECT_EQ(alert->icon(), QMessageBox::NoIcon);
        ASSERT_EQ(alert->buttons().size(), 1);
        EXPECT_EQ(alert->buttons().front()->text(), QStringLiteral("OK"));
        EXPECT_EQ(alert->defaultButton(), alert->buttons().front());
    }
}

TEST(NoticePresenter, DismissingClearsTheNoticeAndTheNextOneShowsAgainWithEqualTexts) {
    Stage stage;
    const OperationNotice first = notice(QStringLiteral("Done"), QStringLiteral("Moved."));
    stage.source.setNotice(first);
    stage.pressOk();
    EXPECT_FALSE(stage.source.notice().has_value());
    EXPECT_EQ(stage.presenter->alert(), nullptr);

    const OperationNotice again = notice(QStringLiteral("Done"), QStringLiteral("Moved."));
    stage.source.setNotice(again);
    ASSERT_NE(stage.presenter->alert(), nullptr);
    EXPECT_EQ(stage.presenter->shownNoticeId(), again.id);
    stage.pressOk();
    EXPECT_FALSE(stage.source.notice().has_value());
}

TEST(NoticePresenter, AnOldAlertsDismissalNeverClearsANewerNotice) {
    Stage stage;
    const OperationNotice older = notice(QStringLiteral("First"), QStringLiteral("One."));
    stage.source.setNotice(older);
    QPointer<QMessageBox> oldAlert = stage.presenter->alert();
    ASSERT_FALSE(oldAlert.isNull());

    const OperationNotice newer = notice(QStringLiteral("First"), QStringLiteral("One."));
    stage.source.setNotice(newer);
    settle();
    EXPECT_TRUE(oldAlert.isNull() || !oldAlert->isVisible());
    EXPECT_EQ(stage.source.notice(), newer);
    ASSERT_NE(stage.presenter->alert(), nullptr);
    EXPECT_EQ(stage.presenter->shownNoticeId(), newer.id);

    // A late dismissal of the first notice changes nothing.
    stage.source.dismissNotice(older.id);
    EXPECT_EQ(stage.source.notice(), newer);
    EXPECT_NE(stage.presenter->alert(), nullptr);

    stage.pressOk();
    EXPECT_FALSE(stage.source.notice().has_value());
}

TEST(NoticePresenter, AClearedNoticeClosesItsAlertWithoutTouchingTheSource) {
    Stage stage;
    stage.source.setNotice(notice(QStringLiteral("Scan Blocked"), QStringLiteral("Later.")));
    ASSERT_NE(stage.presenter->alert(), nullptr);
    int changes = 0;
    QObject::connect(&stage.source, &ShellSource::noticeChanged, [&] { ++changes; });
    stage.source.setNotice(std::nullopt);
    settle();
    EXPECT_EQ(stage.presenter->alert(), nullptr);
    EXPECT_EQ(changes, 1);
}

TEST(NoticePresenter, ANoticePresentAtStartIsShown) {
    testing::FakeShellSource source;
    source.setNotice(notice(QStringLiteral("Local State Not Saved"), QStringLiteral("Disk full.")));
    QWidget window;
    window.show();
    NoticePresenter presenter(source, &window);
    ASSERT_NE(presenter.alert(), nullptr);
    EXPECT_EQ(presenter.alert()->text(), QStringLiteral("Local State Not Saved"));
}

} // namespace
} // namespace quorvane
