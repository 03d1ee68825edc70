#include "widgets/Dialog.h"
#include "widgets/QUserMessageBox.h"
#include "tests/support/QUserPromptScript.h"
#include "tests/support/WaitUntil.h"
#include "tests/widgets/WidgetsTestUtil.h"
#include "widgets/uiDlgBasic.h"

#include <QApplication>
#include <QScreen>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QSequentialAnimationGroup>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Box = std::function<int(const QString &, const QString &)>;

struct BoxCase {
    const char *name;
    Box box;
    bool twoButtons;
    bool beeps;
    bool reportsChoice; // returns the frame's result
};

// What the scripted answerer saw inside one box.
struct Seen {
    int buttons = 0;
    int okMaxWidth = 0;
    bool iconShown = false;
    bool titleCentredShown = true;
    QString caption;
    QString text;
};

std::function<int(QDialog *)> inspectAndClick(Seen *seen, bool ok)
{
    return [seen, ok](QDialog *dlg) {
        Dialog *frame = static_cast<Dialog *>(dlg);
        frame->show();
        uiDlgBasic *body = frame->findChild<uiDlgBasic *>();
        if (!body)
            return -99;
        seen->buttons = body->cancelButton() ? 2 : 1;
        seen->okMaxWidth = body->okButton()->maximumWidth();
        seen->iconShown = !body->form()->label_ico->pixmap(Qt::ReturnByValue).isNull();
        seen->titleCentredShown = frame->form()->lab_Title->isVisible();
        seen->caption = frame->form()->label_Tip->text();
        seen->text = body->form()->label_info->text();
        if (ok || !body->cancelButton())
            body->okButton()->click();
        else
            body->cancelButton()->click();
        return dlg->result();
    };
}

} // namespace

TEST(MessageBoxes, EachBoxShowsItsPartsAndReturnsAsSpecified)
{
    const BoxCase cases[] = {
        {"msgCheck", [](auto &t, auto &x) { return QUserMessageBox::msgCheck(nullptr, t, x); }, false, false, false},
        {"msgCheckEx", [](auto &t, auto &x) { return QUserMessageBox::msgCheckEx(nullptr, t, x, 3); }, true, false, false},
        {"msgQuestion", [](auto &t, auto &x) { return QUserMessageBox::msgQuestion(nullptr, t, x); }, false, false, false},
        {"msgQuestionEx", [](auto &t, auto &x) { return QUserMessageBox::msgQuestionEx(nullptr, t, x, 0); }, true, false, true},
        {"msgWarning", [](auto &t, auto &x) { return QUserMessageBox::msgWarning(nullptr, t, x); }, false, true, false},
        {"msgWarningEx", [](auto &t, auto &x) { return QUserMessageBox::msgWarningEx(nullptr, t, x, 1); }, true, true, false},
        {"msgError", [](auto &t, auto &x) { return QUserMessageBox::msgError(nullptr, t, x); }, false, false, false},
        {"msgErrorEx", [](auto &t, auto &x) { return QUserMessageBox::msgErrorEx(nullptr, t, x, 0); }, true, false, false},
    };
    for (const BoxCase &c : cases) {
        for (bool ok : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (ok ? " ok" : " cancel"));
            QUserPromptScript prompts;
            Seen seen;
            prompts.answerExec(inspectAndClick(&seen, ok));
            const int r = c.box(QString::fromUtf8("错误"), QString::fromUtf8("设备打开失败!"));
            EXPECT_EQ(prompts.unanswered(), 0);
            EXPECT_EQ(seen.buttons, c.twoButtons ? 2 : 1);
            if (!c.twoButtons)
                EXPECT_EQ(seen.okMaxWidth, 150);
            else
                EXPECT_GT(seen.okMaxWidth, 150);
            EXPECT_TRUE(seen.iconShown) << "icon paths without suffix resolve to the .png";
            EXPECT_FALSE(seen.titleCentredShown);
            EXPECT_EQ(seen.caption, QString::fromUtf8("错误"));
            EXPECT_EQ(seen.text, QString::fromUtf8("设备打开失败!"));
            EXPECT_EQ(prompts.beeps(), c.beeps ? 1 : 0);
            const int expected = c.reportsChoice ? ((ok || !c.twoButtons) ? 1 : 0) : 0;
            EXPECT_EQ(r, expected);
            ASSERT_EQ(prompts.records().size(), 1);
            EXPECT_TRUE(prompts.records().at(0).text.contains(QString::fromUtf8("设备打开失败!")));
        }
    }
}

TEST(MessageBoxes, QuestionClosedByTitleButtonOrEscapeIsNo)
{
    for (int how = 0; how < 2; ++how) {
        SCOPED_TRACE(how);
        QUserPromptScript prompts;
        prompts.answerExec([how](QDialog *dlg) {
            dlg->show();
            if (how == 0)
                static_cast<Dialog *>(dlg)->form()->btnMenu_Close->click();
            else
                QTest::keyClick(dlg, Qt::Key_Escape);
            return dlg->result();
        });
        EXPECT_EQ(QUserMessageBox::msgQuestionEx(nullptr, "警告", "重启生效,确定切换语言?", 0), 0);
    }
}

TEST(MessageBoxes, BoxIsApplicationModalAndParentless)
{
    QUserPromptScript prompts;
    QWidget owner;
    bool modal = false;
    QWidget *parent = &owner;
    prompts.answerExec([&](QDialog *dlg) {
        modal = dlg->windowModality() == Qt::ApplicationModal;
        parent = dlg->parentWidget();
        return 1;
    });
    QUserMessageBox::msgCheck(&owner, "t", "x");
    EXPECT_TRUE(modal);
    EXPECT_EQ(parent, nullptr);
}

TEST(MessageBoxBody, EmptyIconPathLeavesNoPictureAndOkWithoutFrameDoesNothing)
{
    uiDlgBasic body(static_cast<QWidget *>(nullptr));
    EXPECT_TRUE(body.form()->label_ico->text().isEmpty());
    EXPECT_EQ(body.size(), QSize(318, 139));
    body.msgSet("hello", QString());
    EXPECT_EQ(body.form()->label_info->text(), QStringLiteral("hello"));
    EXPECT_TRUE(body.form()->label_ico->pixmap(Qt::ReturnByValue).isNull());
    body.okButton()->click(); // no frame: nothing happens
    body.msgSet("x", ":/res/msg_icon_error.png");
    ASSERT_FALSE(body.form()->label_ico->pixmap(Qt::ReturnByValue).isNull());
    EXPECT_EQ(body.form()->label_ico->pixmap(Qt::ReturnByValue).width(), 42);
    EXPECT_EQ(body.form()->label_ico->maximumSize(), QSize(42, 42));
}

// A box's text breaks only where it must: a short question stays on one
// line (Chinese wraps between any two characters, which breaks a word like
// "语言" in two), a long text wraps to lines no wider than the first limit.
TEST(MessageBoxBody, ShortTextsStayOnOneLineLongOnesWrap)
{
    struct Case {
        const char *text;
        bool oneLine;
    };
    const Case cases[] = {
        {"重启生效,确定切换语言?", true},
        {"The language changes after a restart of the window. Switch now? It wraps between words.", false},
        {"启动失败!存储路径空!!", true},
        {"一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        Dialog frame;
        frame.msgDlgCreatEx(QString::fromUtf8("警告"), QString::fromUtf8(c.text), ":/res/msg_icon_question.png", 0);
        frame.show();
        QCoreApplication::processEvents();
        uiDlgBasic *body = frame.findChild<uiDlgBasic *>();
        ASSERT_NE(body, nullptr);
        QLabel *label = body->form()->label_info;
        const QFontMetrics fm(label->font());
        const QRect wrapped = fm.boundingRect(QRect(0, 0, label->contentsRect().width(), 10000), Qt::TextWordWrap,
                                              label->text());
        const int lines = (wrapped.height() + fm.lineSpacing() / 2) / fm.lineSpacing();
        if (c.oneLine) {
            EXPECT_GE(label->width(), fm.horizontalAdvance(label->text()));
            EXPECT_EQ(lines, 1);
        } else {
            EXPECT_GE(lines, 2);
            EXPECT_LE(frame.width(), QGuiApplication::primaryScreen()->availableGeometry().width());
        }
        EXPECT_LE(wrapped.height(), label->contentsRect().height()) << "the whole text fits in the label";
    }
}

// ---------------------------------------------------------------------------
// Tips

namespace {
struct TipCase {
    int W, H;
    QRect open;
};
} // namespace

TEST(Tips, GeometryOfTheOpenTipAndItsClosedEnd)
{
    const TipCase cases[] = {
        {400, 60, QRect(100, 15, 200, 30)},  // low parent: half its height
        {400, 80, QRect(100, 20, 200, 40)},  // exactly 80: the 40 px tip
        {801, 300, QRect(200, 130, 400, 40)}, // odd width
        {640, 480, QRect(160, 220, 320, 40)},
    };
    for (const TipCase &c : cases) {
        SCOPED_TRACE(QString("%1x%2").arg(c.W).arg(c.H).toStdString());
        QWidget parent;
        parent.resize(c.W, c.H);
        QUserMessageBox box;
        box.tipSuccess(&parent, QString::fromUtf8("设备打开成功!"), 1000);
        QSequentialAnimationGroup *group = box.tipAnimation();
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->duration(), 1200);
        EXPECT_EQ(group->parent(), &parent);
        QLabel *label = box.tipLabelWidget();
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->parentWidget(), &parent);

        group->setCurrentTime(0);
        EXPECT_EQ(label->geometry(), QRect(c.open.x(), c.open.y(), c.open.width(), 0));
        group->setCurrentTime(50);
        EXPECT_EQ(label->geometry().height(), c.open.height() / 2);
        group->setCurrentTime(600); // holding
        EXPECT_EQ(label->geometry(), c.open);
        group->setCurrentTime(1200);
        EXPECT_EQ(label->geometry(), QRect(c.open.x(), c.open.y(), c.open.width(), 0));
    }
}

TEST(Tips, LabelLooksAndStyles)
{
    QWidget parent;
    parent.resize(300, 200);
    QUserMessageBox box;
    box.tipFail(&parent, QString::fromUtf8("设备打开失败!"), 10);
    QLabel *label = box.tipLabelWidget();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QString::fromUtf8("设备打开失败!"));
    EXPECT_EQ(label->styleSheet(), QString::fromLatin1(QUserMessageBox::kFailStyle));
    EXPECT_TRUE(label->styleSheet().startsWith("background-color:#cc3030"));
    EXPECT_EQ(label->alignment(), Qt::AlignCenter);
    EXPECT_TRUE(label->wordWrap());
    EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(label->isHidden());
    box.tipSuccess(&parent, "ok", 10);
    EXPECT_EQ(box.tipLabelWidget(), label) << "later tips reuse the label";
    EXPECT_TRUE(label->styleSheet().startsWith("background-color:#30cc30"));
    box.tipShow(&parent, "own", 10, "color:red");
    EXPECT_EQ(label->styleSheet(), QStringLiteral("color:red"));
}

TEST(Tips, RunsForHoldTimePlusTwoHundredMillisecondsThenStaysAtZeroHeight)
{
    QWidget parent;
    parent.resize(400, 300);
    parent.show();
    QUserMessageBox box;
    QElapsedTimer clock;
    clock.start();
    box.tipSuccess(&parent, "tip", 300);
    QPointer<QSequentialAnimationGroup> group = box.tipAnimation();
    ASSERT_FALSE(group.isNull());
    EXPECT_EQ(group->totalDuration(), 500) << "opening, the hold time, closing";
    const bool ended = QTest::qWaitFor([&] { return group.isNull(); }, testsupport::kGiveUpMs);
    EXPECT_TRUE(ended) << "the group frees itself when it stops";
    EXPECT_GE(clock.elapsed(), 480);
    EXPECT_EQ(box.tipLabelWidget()->height(), 0);
    EXPECT_FALSE(box.tipLabelWidget()->isHidden());

    // In its hold time the tip stands at full height (looked at on the
    // animation's own time, however late the machine turns events).
    box.tipSuccess(&parent, "tip", 300);
    group = box.tipAnimation();
    ASSERT_FALSE(group.isNull());
    group->pause();
    for (int at : {100, 250, 399}) {
        group->setCurrentTime(at);
        EXPECT_EQ(box.tipLabelWidget()->height(), 40) << at;
    }
    group->setCurrentTime(450);
    EXPECT_LT(box.tipLabelWidget()->height(), 40) << "closing";
    group->setCurrentTime(500);
    EXPECT_EQ(box.tipLabelWidget()->height(), 0);
}

// The first tip's window used to own a label the box kept a raw pointer to;
// the next tip after that window went used freed memory.
TEST(Tips, NextTipAfterTheFirstWindowWentMakesANewLabel)
{
    QUserMessageBox box;
    auto first = std::make_unique<QWidget>();
    first->resize(200, 100);
    box.tipSuccess(first.get(), "one", 50);
    ASSERT_NE(box.tipLabelWidget(), nullptr);
    first.reset();
    EXPECT_EQ(box.tipLabelWidget(), nullptr);

    QWidget second;
    second.resize(300, 100);
    box.tipFail(&second, "two", 50);
    ASSERT_NE(box.tipLabelWidget(), nullptr);
    EXPECT_EQ(box.tipLabelWidget()->parentWidget(), &second);
    EXPECT_EQ(box.tipLabelWidget()->text(), QStringLiteral("two"));
}

TEST(Tips, TipForAnotherWindowShowsInsideThatWindow)
{
    QUserMessageBox box;
    QWidget a, b;
    a.resize(200, 100);
    b.resize(600, 300);
    box.tipSuccess(&a, "a", 50);
    QLabel *label = box.tipLabelWidget();
    box.tipSuccess(&b, "b", 50);
    EXPECT_EQ(box.tipLabelWidget(), label);
    EXPECT_EQ(label->parentWidget(), &b);
    box.tipAnimation()->setCurrentTime(100);
    EXPECT_EQ(label->geometry(), QRect(150, 130, 300, 40));
}

TEST(Tips, BoxDeletesItsLabelAndNullParentIsIgnored)
{
    QWidget parent;
    parent.resize(200, 200);
    QPointer<QLabel> label;
    {
        QUserMessageBox box;
        EXPECT_EQ(box.tipShow(nullptr, "x", 10, QString()), 0);
        EXPECT_EQ(box.tipLabelWidget(), nullptr);
        box.tipSuccess(&parent, "x", 10);
        label = box.tipLabelWidget();
        ASSERT_FALSE(label.isNull());
    }
    EXPECT_TRUE(label.isNull());
}
