#include "widgets/Dialog.h"
#include "widgets/QUserDlgProgress.h"
#include "widgets/QUserLoadingDialog.h"
#include "widgets/QUserProgressDlg.h"
#include "tests/support/QUserPromptScript.h"
#include "tests/widgets/WidgetsTestUtil.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMovie>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

// Watches the frame of a progress widget: whether it was ended, and how.
struct FrameWatch {
    explicit FrameWatch(Dialog *frame) : spy(frame, &QDialog::finished) {}
    bool ended() const { return spy.count() > 0; }
    int result() const { return spy.isEmpty() ? -1 : spy.last().at(0).toInt(); }
    QSignalSpy spy;
};

struct CodeCase {
    const char *name;
    bool autoClose;
    int code;
    int value;
    bool ends;
    int barValue; // bar value afterwards
};

} // namespace

TEST(ProgressDialog, BuildsItsFrameAndForm)
{
    QUserDlgProgress p;
    ASSERT_NE(p.frameDlg(), nullptr);
    EXPECT_EQ(p.frameDlg()->windowTitle(), QString::fromUtf8("执行进度"));
    EXPECT_EQ(p.frameDlg()->tipIconPath(), QStringLiteral(":/res/plane.png"));
    EXPECT_FALSE(p.frameDlg()->form()->lab_Title->isHidden());
    EXPECT_FALSE(p.frameDlg()->form()->btnMenu_Close->isHidden());
    EXPECT_TRUE(p.frameDlg()->form()->btnMenu_Max->isHidden());
    EXPECT_EQ(p.size(), QSize(441, 71));
    EXPECT_EQ(p.form()->label_tip->text(), QStringLiteral("TextLabel"));
    EXPECT_EQ(p.form()->progressBar->minimum(), 0);
    EXPECT_EQ(p.form()->progressBar->maximum(), 100);
    EXPECT_EQ(p.form()->progressBar->value(), 0);
    EXPECT_TRUE(p.setTip(QString::fromUtf8("侦测中")));
    EXPECT_EQ(p.form()->label_tip->text(), QString::fromUtf8("侦测中"));
    EXPECT_TRUE(p.setTitle(QStringLiteral("Baud")));
    EXPECT_EQ(p.frameDlg()->form()->lab_Title->text(), QStringLiteral("Baud"));
}

TEST(ProgressDialog, CodesDriveTheBarAndTheFrame)
{
    const CodeCase cases[] = {
        {"value below max", true, 1000, 40, false, 40},
        {"value at max closes", true, 1000, 100, true, 100},
        {"value above max closes", true, 1000, 250, true, 100},
        {"at max without auto close only updates", false, 1000, 100, false, 100},
        {"finished whatever the value", true, 1001, 0, true, 0},
        {"finished without auto close", false, 1001, 0, true, 0},
        {"other code ignored", true, 999, 100, false, 0},
        {"other code ignored 2", true, 1002, 100, false, 0},
    };
    for (const CodeCase &c : cases) {
        SCOPED_TRACE(c.name);
        QUserDlgProgress p;
        p.setAutoClose(c.autoClose);
        FrameWatch watch(p.frameDlg());
        p.slotProgressValueChange(c.code, c.value);
        EXPECT_EQ(watch.ended(), c.ends);
        if (c.ends) {
            EXPECT_EQ(watch.result(), 1);
        }
        EXPECT_EQ(p.form()->progressBar->value(), c.barValue);
    }
}

TEST(ProgressDialog, RangeRefusalAutoCloseAndExplicitDone)
{
    QUserDlgProgress p;
    FrameWatch watch(p.frameDlg());
    EXPECT_FALSE(p.setRange(5, 5));
    EXPECT_FALSE(p.setRange(9, 3));
    EXPECT_EQ(p.form()->progressBar->maximum(), 100);
    EXPECT_TRUE(p.setRange(-10, 10));
    EXPECT_EQ(p.form()->progressBar->minimum(), -10);
    EXPECT_EQ(p.form()->progressBar->maximum(), 10);

    EXPECT_TRUE(p.setAutoClose(false));
    EXPECT_TRUE(p.setValue(10));
    EXPECT_FALSE(watch.ended());
    EXPECT_TRUE(p.setAutoClose(true)) << "switching auto close on at the maximum closes at once";
    EXPECT_TRUE(watch.ended());
    EXPECT_EQ(watch.result(), 1);

    QUserDlgProgress q;
    FrameWatch qWatch(q.frameDlg());
    q.dlgDone();
    EXPECT_TRUE(qWatch.ended());
    EXPECT_EQ(qWatch.result(), 0);
}

TEST(ProgressDialog, RunThroughSeamClosesItselfAtTheMaximum)
{
    QUserPromptScript prompts;
    QPointer<Dialog> frame;
    {
        QUserDlgProgress p;
        frame = p.frameDlg();
        prompts.answerExec([&p](QDialog *dlg) {
            dlg->show();
            for (int v = 0; v <= 100; v += 25)
                p.slotProgressValueChange(1000, v);
            return dlg->result();
        });
        EXPECT_EQ(p.dlgExec(), 1);
        EXPECT_TRUE(frame->isAncestorOf(&p));
        EXPECT_FALSE(frame->isVisible());
    }
    EXPECT_TRUE(frame.isNull()) << "the frame goes with the progress widget";
}

TEST(ProgressDialog, ModelessShowIsDeletedOnClose)
{
    QUserDlgProgress *p = new QUserDlgProgress;
    QPointer<QUserDlgProgress> guard = p;
    QPointer<Dialog> frame = p->frameDlg();
    // Lay it in as dlgExec would, then show modeless.
    QHBoxLayout *layout = new QHBoxLayout;
    layout->addWidget(p);
    frame->setContentLayout(layout, p->width(), p->height());
    p->dlgShow();
    EXPECT_TRUE(frame->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_TRUE(frame->isVisible());
    p->dlgHide();
    EXPECT_FALSE(frame->isVisible());
    frame->close();
    wt::flush();
    EXPECT_TRUE(frame.isNull());
    EXPECT_TRUE(guard.isNull());
}

TEST(ProgressDlgFrameless, FlagsRangeAndDragging)
{
    QUserProgressDlg d;
    EXPECT_TRUE(d.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(d.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(d.minimumDuration(), 0);
    EXPECT_EQ(d.minimum(), 0);
    EXPECT_EQ(d.maximum(), 100);
    EXPECT_EQ(d.minimumWidth(), 200);
    EXPECT_FALSE(d.autoClose());
    EXPECT_FALSE(d.windowIcon().isNull());
    d.setGeometry(100, 100, 260, 120);
    d.show();
    const QPoint start = d.pos();
    wt::press(&d, QPoint(5, 5), start + QPoint(5, 5));
    EXPECT_TRUE(d.draggingState());
    wt::move(&d, QPoint(25, 45), start + QPoint(25, 45));
    EXPECT_EQ(d.pos(), start + QPoint(20, 40));
    wt::release(&d, QPoint(25, 45), start + QPoint(25, 45));
    EXPECT_FALSE(d.draggingState());
    wt::press(&d, QPoint(5, 5), d.pos() + QPoint(5, 5), Qt::MiddleButton);
    EXPECT_FALSE(d.draggingState());
    d.cancel();
}

// The frameless progress dialog paints a background of its own: its text
// does not float over whatever window lies beneath it.
TEST(ProgressDlgFrameless, PaintsItsOwnBackground)
{
    QUserProgressDlg d;
    d.setLabelText(QString::fromUtf8("加载中..."));
    d.setGeometry(100, 100, 260, 120);
    d.setValue(40);
    d.show();
    wt::flush();
    EXPECT_TRUE(d.autoFillBackground());
    QImage img(d.size(), QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    d.render(&img);
    // Corners and edges hold no child widget: only the dialog's own
    // background can cover them.
    for (const QPoint p : {QPoint(1, 1), QPoint(d.width() - 2, 1), QPoint(1, d.height() - 2),
                           QPoint(d.width() - 2, d.height() - 2), QPoint(d.width() / 2, 1)}) {
        EXPECT_EQ(qAlpha(img.pixel(p)), 255) << p.x() << "," << p.y();
    }
    d.cancel();
}

// ---------------------------------------------------------------------------

TEST(LoadingDialog, BuildsTheCard)
{
    QUserLoadingDialog d;
    EXPECT_EQ(d.size(), QSize(250, 250));
    EXPECT_EQ(d.windowFlags() & (Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(d.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(d.tipsLabelWidget()->objectName(), QStringLiteral("tips"));
    EXPECT_EQ(d.tipsLabelWidget()->text(), QString::fromUtf8("加载中,请稍候..."));
    EXPECT_EQ(d.tipsLabelWidget()->geometry(), QRect(5, 130, 220, 50));
    EXPECT_EQ(d.cancelButton()->objectName(), QStringLiteral("cancelBtn"));
    EXPECT_EQ(d.cancelButton()->text(), QString::fromUtf8("取消等待"));
    EXPECT_EQ(d.cancelButton()->geometry(), QRect(25, 180, 180, 35));
    EXPECT_TRUE(d.movieObject()->isValid()) << "the animation resource loads";
    EXPECT_EQ(d.movieObject()->state(), QMovie::Running);
    d.setTipsText(QString::fromUtf8("格式化中"));
    EXPECT_EQ(d.tipsLabelWidget()->text(), QString::fromUtf8("格式化中"));
}

TEST(LoadingDialog, CancelEmitsFirstThenEndsWithMinusOne)
{
    QUserPromptScript prompts;
    QUserLoadingDialog d;
    bool visibleAtSignal = false;
    int emitted = 0;
    QObject::connect(&d, &QUserLoadingDialog::cancelWaiting, [&] {
        ++emitted;
        visibleAtSignal = d.isVisible();
    });
    prompts.answerExec([](QDialog *dlg) {
        dlg->show();
        static_cast<QUserLoadingDialog *>(dlg)->cancelButton()->click();
        return dlg->result();
    });
    EXPECT_EQ(QUserPrompt::instance()->exec(&d), -1);
    EXPECT_EQ(emitted, 1);
    EXPECT_TRUE(visibleAtSignal);
}

TEST(LoadingDialog, WorkerEndHandsOverItsCode)
{
    QUserPromptScript prompts;
    QUserLoadingDialog d;
    EXPECT_EQ(d.userExitCode(), 0);
    prompts.answerExec([](QDialog *dlg) {
        dlg->show();
        QMetaObject::invokeMethod(dlg, "userExitReq", Q_ARG(int, 3));
        return dlg->result();
    });
    EXPECT_EQ(QUserPrompt::instance()->exec(&d), 0);
    EXPECT_EQ(d.userExitCode(), 3);
}

// A card that waits for its job: Esc and the window's close leave it open;
// the job's end still closes it. Closable (the default), Esc closes it.
TEST(LoadingDialog, NotClosableStaysUntilTheJobEnds)
{
    QUserPromptScript prompts;
    for (bool closable : {false, true}) {
        SCOPED_TRACE(closable ? "closable" : "not closable");
        QUserLoadingDialog d;
        d.setCancelBtnShow(false);
        d.setClosable(closable);
        EXPECT_EQ(d.isClosable(), closable);
        int finished = 0;
        QObject::connect(&d, &QDialog::finished, [&] { ++finished; });
        bool openAfterEsc = false, openAfterClose = false;
        prompts.answerExec([&](QDialog *dlg) {
            dlg->show();
            QTest::keyClick(dlg, Qt::Key_Escape);
            openAfterEsc = dlg->isVisible() && finished == 0;
            dlg->close();
            openAfterClose = dlg->isVisible() && finished == 0;
            QMetaObject::invokeMethod(dlg, "userExitReq", Q_ARG(int, 1));
            return dlg->result();
        });
        QUserPrompt::instance()->exec(&d);
        EXPECT_EQ(openAfterEsc, !closable);
        EXPECT_EQ(openAfterClose, !closable);
        if (!closable) {
            EXPECT_EQ(finished, 1) << "once, by the job's end";
        }
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(d.userExitCode(), 1);
    }
}

TEST(LoadingDialog, HiddenCancelIsDisabledAndCentring)
{
    QUserLoadingDialog d;
    d.setCancelBtnShow(false);
    EXPECT_TRUE(d.cancelButton()->isHidden());
    EXPECT_FALSE(d.cancelButton()->isEnabled());
    d.setCancelBtnShow(true);
    EXPECT_FALSE(d.cancelButton()->isHidden());
    EXPECT_TRUE(d.cancelButton()->isEnabled());

    QWidget big;
    big.setGeometry(100, 50, 800, 600);
    d.moveToCenter(&big);
    EXPECT_EQ(d.pos(), QPoint(100 + 275, 50 + 175));
    QWidget small;
    small.setGeometry(10, 20, 101, 40);
    d.moveToCenter(&small);
    EXPECT_EQ(d.pos(), QPoint(10 + (101 - 250) / 2, 20 + (40 - 250) / 2));
    const QPoint before = d.pos();
    d.moveToCenter(nullptr);
    EXPECT_EQ(d.pos(), before);
}

TEST(LoadingDialog, DragsWithTheLeftButton)
{
    QUserLoadingDialog d;
    d.move(300, 300);
    d.show();
    const QPoint start = d.pos();
    wt::press(&d, QPoint(20, 20), start + QPoint(20, 20));
    wt::move(&d, QPoint(30, 10), start + QPoint(30, 10));
    EXPECT_EQ(d.pos(), start + QPoint(10, -10));
    wt::release(&d, QPoint(30, 10), start + QPoint(30, 10));
    wt::move(&d, QPoint(90, 90), start + QPoint(90, 90));
    EXPECT_EQ(d.pos(), start + QPoint(10, -10));
}
