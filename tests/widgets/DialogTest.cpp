#include "widgets/Dialog.h"
#include "widgets/QUserDlgSetting.h"
#include "tests/support/QUserPromptScript.h"
#include "core/QUserSysCfg.h"
#include "tests/support/TempWorkDir.h"
#include "tests/widgets/WidgetsTestUtil.h"
#include "widgets/QRibbon.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <gtest/gtest.h>

namespace {

struct FlagCase {
    int flags;
    bool tip, title, min, max, close;
};

} // namespace

TEST(DialogFrame, FlagsShowExactlyTheirParts)
{
    const FlagCase cases[] = {
        {17, true, false, false, false, true},
        {19, true, true, false, false, true},
        {31, true, true, true, true, true},
        {0, false, false, false, false, false},
        {12, false, false, true, true, false},
    };
    for (const FlagCase &c : cases) {
        SCOPED_TRACE(c.flags);
        Dialog d(QStringLiteral("caption"), QStringLiteral("title"), c.flags);
        Ui_Dialog *ui = d.form();
        EXPECT_EQ(!ui->label_Tip->isHidden(), c.tip);
        EXPECT_EQ(!ui->lab_Title->isHidden(), c.title);
        EXPECT_EQ(!ui->btnMenu_Min->isHidden(), c.min);
        EXPECT_EQ(!ui->btnMenu_Max->isHidden(), c.max);
        EXPECT_EQ(!ui->btnMenu_Close->isHidden(), c.close);
        // The bar keeps its 25 px whatever it shows.
        EXPECT_EQ(ui->widget_top->minimumHeight(), 25);
        EXPECT_EQ(ui->widget_top->maximumHeight(), 25);
    }
}

TEST(DialogFrame, TitleTextSetLastIsTheWindowTitle)
{
    Dialog both(QStringLiteral("cap"), QStringLiteral("标题文字"), 3);
    EXPECT_EQ(both.windowTitle(), QString::fromUtf8("标题文字"));
    EXPECT_EQ(both.form()->label_Tip->text(), QStringLiteral("cap"));

    Dialog captionOnly(QStringLiteral("只有提示"), QStringLiteral("unused"), 17);
    EXPECT_EQ(captionOnly.windowTitle(), QString::fromUtf8("只有提示"));

    Dialog plain;
    EXPECT_TRUE(plain.form()->label_Tip->isHidden());
    EXPECT_FALSE(plain.form()->lab_Title->isHidden());
    EXPECT_FALSE(plain.form()->btnMenu_Min->isHidden());
    EXPECT_FALSE(plain.form()->btnMenu_Close->isHidden());
}

TEST(DialogFrame, SetUpFlagsButtonsAndIcon)
{
    Dialog d(QStringLiteral(":/res/chart.png"), QString(), QStringLiteral("t"), 19);
    const Qt::WindowFlags expected = Qt::FramelessWindowHint | Qt::WindowSystemMenuHint
                                     | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;
    EXPECT_EQ(d.windowFlags(), expected | Qt::Window) << std::hex << int(d.windowFlags());
    EXPECT_EQ(d.form()->btnMenu_Min->text(), QString(QChar(0x25AC)));
    EXPECT_EQ(d.form()->btnMenu_Max->text(), QString(QChar(0x2610)));
    EXPECT_EQ(d.form()->btnMenu_Close->text(), QStringLiteral("X"));
    EXPECT_EQ(d.form()->btnMenu_Close->minimumWidth(), 31);
    EXPECT_EQ(d.form()->btnMenu_Close->maximumWidth(), 31);
    EXPECT_TRUE(d.form()->btnMenu_Close->styleSheet().contains("rgba(232,17,35,255)"));
    EXPECT_TRUE(d.form()->btnMenu_Max->toolTip().isEmpty());
    // The icon variant shows the picture, 24 px wide.
    ASSERT_FALSE(d.form()->label_Tip->pixmap(Qt::ReturnByValue).isNull());
    EXPECT_EQ(d.form()->label_Tip->pixmap(Qt::ReturnByValue).width(), 24);
    EXPECT_EQ(d.form()->label_Tip->maximumSize(), QSize(24, 24));
    EXPECT_EQ(d.tipIconPath(), QStringLiteral(":/res/chart.png"));
    EXPECT_FALSE(d.windowIcon().isNull());

    // A path that does not load leaves an empty picture, nothing else.
    d.setTipIcon(QStringLiteral(":/res/no-such-image.png"));
    EXPECT_TRUE(d.form()->label_Tip->pixmap(Qt::ReturnByValue).isNull());

    EXPECT_EQ(d.setBtnVisible(7, false), 0);
    EXPECT_FALSE(d.form()->btnMenu_Close->isHidden());
    d.setBtnVisible(2, false);
    EXPECT_TRUE(d.form()->btnMenu_Close->isHidden());
}

TEST(DialogFrame, TitleBarTakesTheThemeColourAtConstruction)
{
    TempWorkDir dir;
    QUserSysCfg::instance()->setString(QStringLiteral("styleColor"), QStringLiteral("rgb(33,115,70)"));
    Dialog d(QStringLiteral("a"), QStringLiteral("b"), 19);
    EXPECT_EQ(d.form()->widget_top->styleSheet(),
              QStringLiteral("QWidget{color:White;background:rgb(33,115,70)}"));
    QUserSysCfg::instance()->setString(QStringLiteral("styleColor"), QStringLiteral("rgb(183, 71, 42)"));
    // Frames made earlier keep their colour.
    EXPECT_TRUE(d.form()->widget_top->styleSheet().contains("rgb(33,115,70)"));
    Dialog later(QStringLiteral("a"), QStringLiteral("b"), 19);
    EXPECT_TRUE(later.form()->widget_top->styleSheet().contains("rgb(183, 71, 42)"));

    // No usable theme stored (blank, as before the main window has written
    // one): the default blue, not an empty background under the white title.
    QUserSysCfg::instance()->setString(QStringLiteral("styleColor"), QStringLiteral(" "));
    Dialog first(QStringLiteral("a"), QStringLiteral("b"), 19);
    EXPECT_EQ(first.form()->widget_top->styleSheet().toStdString(),
              "QWidget{color:White;background:rgb(43, 87, 154)}");
}

TEST(DialogFrame, MaximiseToggleRestoresGeometryAndSetsToolTips)
{
    Dialog d(QStringLiteral("a"), QStringLiteral("b"), 31);
    d.setGeometry(100, 120, 300, 200);
    d.show();
    const QRect before = d.geometry();
    EXPECT_TRUE(d.form()->btnMenu_Max->toolTip().isEmpty());

    d.form()->btnMenu_Max->click();
    EXPECT_TRUE(d.maximizedState());
    EXPECT_EQ(d.geometry(), QGuiApplication::primaryScreen()->availableGeometry());
    EXPECT_EQ(d.form()->btnMenu_Max->toolTip(), QString::fromUtf8("还原"));
    EXPECT_FALSE(d.isMaximized()) << "plain geometry change, no window-system state";

    // Dragging does not move a maximised frame.
    const QRect maxed = d.geometry();
    wt::press(&d, QPoint(5, 5), d.pos() + QPoint(5, 5));
    wt::move(&d, QPoint(60, 45), d.pos() + QPoint(60, 45));
    wt::release(&d, QPoint(60, 45), d.pos() + QPoint(60, 45));
    EXPECT_EQ(d.geometry(), maxed);

    d.form()->btnMenu_Max->click();
    EXPECT_FALSE(d.maximizedState());
    EXPECT_EQ(d.geometry(), before);
    EXPECT_EQ(d.form()->btnMenu_Max->toolTip(), QString::fromUtf8("最大化"));
}

TEST(DialogFrame, DoubleClickOnTitleTogglesEvenWithoutMaximiseButton)
{
    Dialog d(QStringLiteral("a"), QStringLiteral("b"), 19);
    ASSERT_TRUE(d.form()->btnMenu_Max->isHidden());
    d.setGeometry(50, 60, 320, 180);
    d.show();
    const QRect before = d.geometry();
    QLabel *title = d.form()->lab_Title;
    wt::doubleClick(title, QPoint(3, 3), title->mapToGlobal(QPoint(3, 3)));
    EXPECT_TRUE(d.maximizedState());
    wt::doubleClick(title, QPoint(3, 3), title->mapToGlobal(QPoint(3, 3)));
    EXPECT_FALSE(d.maximizedState());
    EXPECT_EQ(d.geometry(), before);
}

TEST(DialogFrame, LeftDragMovesTheFrameOtherButtonsDoNot)
{
    Dialog d(QStringLiteral("a"), QStringLiteral("b"), 19);
    d.setGeometry(200, 150, 300, 200);
    d.show();
    const QPoint start = d.pos();

    // Right button: no drag.
    wt::press(&d, QPoint(10, 10), start + QPoint(10, 10), Qt::RightButton);
    EXPECT_FALSE(d.draggingState());
    wt::move(&d, QPoint(40, 40), start + QPoint(40, 40), Qt::RightButton);
    EXPECT_EQ(d.pos(), start);
    wt::release(&d, QPoint(40, 40), start + QPoint(40, 40), Qt::RightButton);

    // A press on the caption label reaches the frame (labels pass it on).
    QLabel *caption = d.form()->label_Tip;
    QTest::mousePress(caption, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_TRUE(d.draggingState());
    wt::release(&d, QPoint(2, 2), caption->mapToGlobal(QPoint(2, 2)));
    EXPECT_FALSE(d.draggingState());

    wt::press(&d, QPoint(10, 10), start + QPoint(10, 10));
    wt::move(&d, QPoint(40, 35), start + QPoint(40, 35));
    EXPECT_EQ(d.pos(), start + QPoint(30, 25));
    // Without the button held nothing moves.
    wt::move(&d, QPoint(90, 90), start + QPoint(90, 90), Qt::NoButton);
    EXPECT_EQ(d.pos(), start + QPoint(30, 25));
    wt::release(&d, QPoint(40, 35), start + QPoint(40, 35));
    wt::move(&d, QPoint(80, 80), start + QPoint(80, 80));
    EXPECT_EQ(d.pos(), start + QPoint(30, 25));
}

TEST(DialogFrame, ModelessFrameClosedByItsButtonDeletesItselfAndSignalsOnce)
{
    QPointer<Dialog> d = new Dialog(QStringLiteral("a"), QStringLiteral("b"), 19);
    QPointer<QWidget> content = new QWidget;
    QHBoxLayout *layout = new QHBoxLayout;
    layout->addWidget(content);
    d->setContentLayout(layout, 200, 100);
    QSignalSpy closed(d.data(), &Dialog::userCloseEvent);
    d->dlgShow();
    EXPECT_TRUE(d->isVisible());
    d->form()->btnMenu_Close->click();
    EXPECT_EQ(closed.count(), 1);
    wt::flush();
    EXPECT_TRUE(d.isNull());
    EXPECT_TRUE(content.isNull()) << "the content dies with its frame";
}

TEST(DialogFrame, SecondContentLayoutReplacesTheFirstAndSizesTheFrame)
{
    Dialog d(QStringLiteral("a"), QStringLiteral("b"), 19);
    QWidget *first = new QWidget;
    QHBoxLayout *l1 = new QHBoxLayout;
    l1->addWidget(first);
    d.setContentLayout(l1, 300, 120);
    const int mainHeight = d.form()->widget_main->height();
    EXPECT_EQ(d.size(), QSize(300, 120 + mainHeight));

    QWidget *second = new QWidget;
    QPointer<QHBoxLayout> l2 = new QHBoxLayout;
    l2->addWidget(second);
    d.setContentLayout(l2, 250, 90);
    EXPECT_EQ(d.form()->widget_content->layout(), l2.data());
    EXPECT_EQ(first->parentWidget(), d.form()->widget_content);
    EXPECT_EQ(second->parentWidget(), d.form()->widget_content);
    EXPECT_EQ(d.width(), 250);
}

TEST(DialogFrame, ModalRunGoesThroughThePromptSeam)
{
    QUserPromptScript prompts;
    prompts.answerExec(1);
    prompts.answerExec([](QDialog *dlg) {
        dlg->show();
        static_cast<Dialog *>(dlg)->form()->btnMenu_Close->click();
        return dlg->result();
    });
    Dialog d(QStringLiteral("a"), QStringLiteral("运行"), 19);
    EXPECT_EQ(d.dlgExec(), 1);
    EXPECT_EQ(d.dlgExec(), 0) << "closing by the title-bar button ends the run with 0";
    EXPECT_EQ(d.dlgExec(), 0) << "no answer queued: as if the user closed it";
    EXPECT_EQ(prompts.unanswered(), 1);
    ASSERT_EQ(prompts.records().size(), 3);
    EXPECT_EQ(prompts.records().at(0).title, QString::fromUtf8("运行"));
    EXPECT_EQ(prompts.records().at(0).className, QStringLiteral("Dialog"));
}

TEST(DialogFrame, DoneEndsTheRunWithItsResult)
{
    QUserPromptScript prompts;
    prompts.answerExec([](QDialog *dlg) {
        static_cast<Dialog *>(dlg)->dlgDone(7);
        return dlg->result();
    });
    Dialog d;
    EXPECT_EQ(d.dlgExec(), 7);
}

// Frames nobody deleted used to stay behind; the content widget owns its
// frame now, and a frame deleted first takes its content without a second
// delete.
TEST(DialogFrameOwnership, ContentWidgetDeletesItsFrame)
{
    QUserPromptScript prompts;
    prompts.answerExec(1);
    QPointer<Dialog> frame;
    {
        QUserDlgSetting setting;
        setting.dlgInit(QStringLiteral("设置"));
        frame = setting.frameDlg();
        ASSERT_FALSE(frame.isNull());
        setting.itemsSet({});
        EXPECT_EQ(setting.dlgExec(), 1);
        EXPECT_TRUE(frame->isAncestorOf(&setting));
    }
    EXPECT_TRUE(frame.isNull()) << "the frame goes with the content widget that made it";
}

TEST(DialogFrameOwnership, FrameDeletedFirstTakesTheContentOnce)
{
    QUserPromptScript prompts;
    prompts.answerExec(0);
    QPointer<QUserDlgSetting> setting = new QUserDlgSetting;
    setting->dlgInit(QStringLiteral("设置"));
    setting->itemsSet({});
    setting->dlgExec();
    QPointer<Dialog> frame = setting->frameDlg();
    delete frame.data();
    EXPECT_TRUE(setting.isNull());
}

TEST(DialogFrameOwnership, SecondInitReleasesTheFirstFrame)
{
    QUserDlgSetting setting;
    setting.dlgInit(QStringLiteral("one"));
    QPointer<Dialog> first = setting.frameDlg();
    setting.dlgInitIcon(QStringLiteral("two"), QStringLiteral(":/res/gear.png"));
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(setting.frameDlg(), nullptr);
    EXPECT_EQ(setting.frameDlg()->windowTitle(), QStringLiteral("two"));
    EXPECT_EQ(setting.frameDlg()->tipIconPath(), QStringLiteral(":/res/gear.png"));
}

// With the program's theme applied to the application (its push-button
// padding among it), the title-bar buttons keep their width and room for
// their glyphs.
TEST(DialogFrame, TitleButtonsKeepRoomForTheirGlyphsUnderTheTheme)
{
    TempWorkDir dir;
    {
        QRibbon scratch; // hands the theme to the application
        qApp->setStyleSheet(QString());
        scratch.setStyleColor(QString::fromLatin1(QRibbon::kBlue));
    }
    ASSERT_TRUE(qApp->styleSheet().contains(QLatin1String("QPushButton")));
    Dialog d(QStringLiteral(":/res/chart.png"), QString(), QStringLiteral("Title"), 31);
    d.resize(400, 200);
    d.show();
    wt::flush();
    for (QPushButton *b : {d.form()->btnMenu_Min, d.form()->btnMenu_Max, d.form()->btnMenu_Close}) {
        SCOPED_TRACE(b->objectName().toStdString());
        QStyleOptionButton opt;
        opt.initFrom(b);
        opt.text = b->text();
        const QRect contents = b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
        EXPECT_EQ(b->width(), 31);
        EXPECT_GE(b->height(), 20);
        EXPECT_GE(contents.width(), b->fontMetrics().horizontalAdvance(b->text()));
        EXPECT_GE(contents.height(), b->fontMetrics().height());
    }
    qApp->setStyleSheet(QString());
}

// The caption at the left of a message box's title bar is shown whole, the
// English texts as well as the Chinese ones.
TEST(DialogFrame, CaptionIsNotCut)
{
    const char *captions[] = {"提示", "计算要点", "Tip", "Error", "Warning", "Question", "Information",
                              "Calculation key points"};
    for (const char *text : captions) {
        const QString caption = QString::fromUtf8(text);
        SCOPED_TRACE(text);
        Dialog d;
        d.msgDlgCreat(caption, QStringLiteral("body"), QStringLiteral(":/res/msg_icon_warning"));
        d.show();
        wt::flush();
        const QLabel *l = d.form()->label_Tip;
        EXPECT_EQ(l->text(), caption);
        const int room = l->contentsRect().width() - 2 * l->margin();
        EXPECT_GE(room, l->fontMetrics().horizontalAdvance(caption));
        EXPECT_GE(l->height(), l->fontMetrics().height());
    }
}
