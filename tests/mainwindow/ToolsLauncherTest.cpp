// The tools launcher and the tool windows the main window opens: the list
// and its frame, a click and a close, the trace viewer from the launcher
// (several at once, placed a quarter of the frame from the main window's
// corner, on the tool-window list), playback from the tool bar on the
// current channel, the channel check of the channel tools, and the tools
// that this build lists disabled.

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "core/QUserDevId.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserDlgTools.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "canopen/windows/QUserMainWindowCANopen.h"
#include "dbc/QUserMainWindowDBC.h"
#include "dbc/QUserMainWindowDBCSend.h"
#include "devices/QUserDeviceAdapter.h"
#include "traffic/windows/QUserDlgPlayBack.h"
#include "traffic/windows/QUserMainWindowCANWatch.h"
#include "widgets/Dialog.h"
#include "widgets/QRibbon.h"

#include <QAction>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QThread>

#include <functional>

namespace {

// Answers the launcher's modal run by clicking the item with `text` (shown,
// so that the click lands where a user's would).
std::function<int(QDialog *)> clickTool(const QString &text, bool *clicked = nullptr)
{
    return [text, clicked](QDialog *d) {
        d->show();
        QApplication::processEvents();
        auto *list = d->findChild<QListWidget *>();
        if (!list)
            return -1;
        for (int i = 0; i < list->count(); ++i) {
            QListWidgetItem *item = list->item(i);
            if (item->text() != text)
                continue;
            const QRect r = list->visualItemRect(item);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
            if (clicked)
                *clicked = true;
        }
        const int result = d->result();
        d->hide();
        return result;
    };
}

QList<QUserMainWindowCANWatch *> viewers()
{
    QList<QUserMainWindowCANWatch *> out;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *v = qobject_cast<QUserMainWindowCANWatch *>(w))
            out << v;
    return out;
}

// Makes a channel's data tab current (the way an opened channel shows).
void channelTabShow(MainWindow &w, const QString &devId)
{
    QTabWidget *tabs = w.layoutGet()->tabDataShow;
    const int index = tabs->addTab(new QWidget, getDevIdTextEx(w.languageCodeGet(), devId));
    tabs->setCurrentIndex(index);
}

} // namespace

using ToolsLauncherTest = MainWindowEnv;

TEST_F(ToolsLauncherTest, TheListAndItsFrame)
{
    QUserDlgTools tools;
    EXPECT_EQ(tools.objectName(), "QUserDlgTools");
    EXPECT_EQ(tools.size(), QSize(648, 353));
    EXPECT_EQ(tools.windowTitle(), "Form");
    EXPECT_EQ(tools.sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(tools.sizePolicy().verticalPolicy(), QSizePolicy::Preferred);
    ASSERT_NE(tools.frameDlg(), nullptr);
    EXPECT_EQ(tools.frameDlg()->form()->lab_Title->text(), "工具集");
    EXPECT_EQ(tools.frameDlg()->tipIconPath(), ":/res/tools.png");
    QListWidget *list = tools.listWidget();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->viewMode(), QListView::IconMode);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->spacing(), 5);
    EXPECT_FALSE(list->dragEnabled());
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_TRUE(list->isSelectionRectVisible());
    const struct {
        const char *text;
        bool enabled;
    } want[] = {{"DBC解析", true}, {"DBC发送", true}, {"CANopen", true}, {"文件查看器", true}};
    ASSERT_EQ(list->count(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(want[i].text);
        QListWidgetItem *item = list->item(i);
        EXPECT_EQ(item->text(), QString::fromUtf8(want[i].text));
        EXPECT_FALSE(item->icon().isNull());
        EXPECT_EQ(bool(item->flags() & Qt::ItemIsEnabled), want[i].enabled);
    }
    // The list fades in.
    auto *fade = qobject_cast<QGraphicsOpacityEffect *>(tools.graphicsEffect());
    ASSERT_NE(fade, nullptr);
    EXPECT_TRUE(tools.toolSelGet().isEmpty());
}

// A click on an item ends the launcher with 0 and leaves the item's text; a
// click on an item that was disabled is no choice; closing the frame leaves
// none.
TEST_F(ToolsLauncherTest, ClickAndClose)
{
    {
        QUserDlgTools tools;
        bool clicked = false;
        prompts.answerExec(clickTool("文件查看器", &clicked));
        EXPECT_EQ(tools.dlgExec(), 0);
        EXPECT_TRUE(clicked);
        EXPECT_EQ(tools.toolSelGet(), "文件查看器");
        EXPECT_EQ(tools.frameDlg()->result(), 0);
    }
    {
        QUserDlgTools tools;
        QListWidgetItem *item = tools.listWidget()->item(0);
        item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
        prompts.answerExec(clickTool("DBC解析"));
        tools.dlgExec();
        EXPECT_TRUE(tools.toolSelGet().isEmpty());
    }
    {
        QUserDlgTools tools;
        prompts.answerExec([](QDialog *d) {
            auto *frame = qobject_cast<Dialog *>(d);
            if (frame)
                frame->form()->btnMenu_Close->click();
            return d->result();
        });
        tools.dlgExec();
        EXPECT_TRUE(tools.toolSelGet().isEmpty());
    }
    EXPECT_EQ(prompts.unanswered(), 0);
}

// "文件查看器" from the launcher, twice: two independent viewers, each with
// the ribbon "文件查看器", placed a quarter of the main window's frame from
// its corner, half the primary screen in size, on the tool-window list. The
// main window closes them (their jobs' threads ended) before it goes.
TEST_F(ToolsLauncherTest, ViewersFromTheLauncher)
{
    QPointer<QUserMainWindowCANWatch> first;
    QPointer<QUserMainWindowCANWatch> second;
    QPointer<QThread> firstThread;
    {
        MainWindow w;
        w.setGeometry(100, 100, 800, 600);
        const QRect frame = w.frameGeometry();
        prompts.answerExec(clickTool("文件查看器"));
        w.formGet()->actTools->trigger();
        prompts.answerExec(clickTool("文件查看器"));
        w.soltTools();
        const QList<QUserMainWindowCANWatch *> open = viewers();
        ASSERT_EQ(open.size(), 2);
        first = open[0];
        second = open[1];
        EXPECT_EQ(w.toolWindowCount(), 2);
        EXPECT_TRUE(log.contains("MainWindow > CAN记录文件查看器启动"));
        const QSize half = QGuiApplication::primaryScreen()->geometry().size() / 2;
        for (QUserMainWindowCANWatch *v : open) {
            EXPECT_EQ(v->parent(), nullptr);
            EXPECT_TRUE(v->isVisible());
            EXPECT_EQ(v->pos(), QPoint(frame.left() + frame.width() / 4, frame.top() + frame.height() / 4));
            // Half the screen, or what its layout needs on a small screen.
            EXPECT_GE(v->width(), half.width());
            EXPECT_GE(v->height(), half.height());
            EXPECT_LE(v->width(), qMax(half.width(), v->minimumSizeHint().width()));
            auto *ribbon = qobject_cast<QRibbon *>(v->menuWidget());
            ASSERT_NE(ribbon, nullptr);
            EXPECT_EQ(v->windowTitle(), "文件查看器");
        }
        EXPECT_NE(first->request().cachePath, second->request().cachePath);
        firstThread = first->workerThread();
        ASSERT_TRUE(firstThread);
        // The user closes one; the list forgets it.
        second->close();
        mwtest::flush();
        EXPECT_TRUE(second.isNull());
        EXPECT_EQ(w.toolWindowCount(), 1);
    }
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(firstThread.isNull());
}

// A main window whose frame spans (100, 100) to (899, 699) puts a new tool
// window at (300, 250).
TEST_F(ToolsLauncherTest, PlacementExample)
{
    MainWindow w;
    w.setGeometry(100, 100, 800, 600);
    if (w.frameGeometry() != QRect(QPoint(100, 100), QPoint(899, 699)))
        GTEST_SKIP() << "this platform draws a window frame";
    w.soltCANwatch();
    const QList<QUserMainWindowCANWatch *> open = viewers();
    ASSERT_EQ(open.size(), 1);
    EXPECT_EQ(open[0]->pos(), QPoint(300, 250));
}

// With the welcome tab current the channel tools refuse with the error box;
// the trace viewer needs no channel.
TEST_F(ToolsLauncherTest, ChannelToolsNeedAChannel)
{
    MainWindow w;
    ASSERT_TRUE(w.curTabDevGet().isEmpty());
    const struct {
        void (MainWindow::*slot)();
        const char *log;
    } tools[] = {{&MainWindow::soltTabDataPlay, "数据回放"},
                 {&MainWindow::soltDbcAnalysis, "DBC解析"},
                 {&MainWindow::soltDbcSend, "DBC发送"},
                 {&MainWindow::soltCANopenAnalysis, "CANopen操作"}};
    for (const auto &t : tools) {
        SCOPED_TRACE(t.log);
        prompts.answerExec(1);
        (w.*t.slot)();
        EXPECT_EQ(prompts.last().title, "错误");
        EXPECT_TRUE(prompts.last().text.contains("请先[选择设备]!!!")) << prompts.last().text.toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral("MainWindow > ") + QString::fromUtf8(t.log)));
    }
    EXPECT_EQ(w.toolWindowCount(), 0);
    EXPECT_EQ(prompts.unanswered(), 0);
}

// Playback from the tool bar on the current channel: a modeless dialog of
// its own bound to the channel and the registry, two at once, on the list.
TEST_F(ToolsLauncherTest, PlaybackOnTheCurrentChannel)
{
    QPointer<Dialog> firstFrame;
    {
        MainWindow w;
        channelTabShow(w, "TRNA702-0-1");
        ASSERT_EQ(w.curTabDevGet(), "TRNA702-0-1");
        w.formGet()->actPlay->trigger();
        w.formGet()->actPlay->trigger();
        EXPECT_TRUE(prompts.records().isEmpty());
        EXPECT_EQ(w.toolWindowCount(), 2);
        QList<QUserDlgPlayBack *> dialogs;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *frame = qobject_cast<Dialog *>(top))
                if (auto *d = frame->findChild<QUserDlgPlayBack *>())
                    dialogs << d;
        ASSERT_EQ(dialogs.size(), 2);
        for (QUserDlgPlayBack *d : dialogs) {
            EXPECT_EQ(d->param().devId, "TRNA702-0-1");
            EXPECT_EQ(d->param().devAdapter, w.devAdapterGet());
            EXPECT_TRUE(d->frameDlg()->isVisible());
            EXPECT_FALSE(d->frameDlg()->isModal());
        }
        firstFrame = dialogs[0]->frameDlg();
    }
    EXPECT_TRUE(firstFrame.isNull());
}

// "DBC发送" from the launcher on the current channel, twice: two send
// windows bound to the channel and the registry, each titled (ribbon
// included) "DBC发送" and the channel it sends on, placed a quarter of the frame from the main window's corner
// and on the list, closed with the main window.
TEST_F(ToolsLauncherTest, DbcSendWindowsOnTheCurrentChannel)
{
    QList<QPointer<QUserMainWindowDBCSend>> opened;
    {
        MainWindow w;
        w.setGeometry(100, 100, 800, 600);
        const QRect frame = w.frameGeometry();
        channelTabShow(w, "TRNA702-0-2");
        for (int i = 0; i < 2; ++i) {
            prompts.answerExec(clickTool("DBC发送"));
            w.formGet()->actTools->trigger();
        }
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *s = qobject_cast<QUserMainWindowDBCSend *>(top))
                opened << s;
        ASSERT_EQ(opened.size(), 2);
        EXPECT_EQ(w.toolWindowCount(), 2);
        EXPECT_TRUE(log.contains("MainWindow > DBC发送"));
        for (const auto &s : opened) {
            EXPECT_EQ(s->parent(), nullptr);
            EXPECT_TRUE(s->isVisible());
            EXPECT_EQ(s->devId(), "TRNA702-0-2");
            // What the window is and the channel it sends on, in the
            // ribbon's title too.
            EXPECT_EQ(s->windowTitle(), "DBC发送 - TRNA702 设备:0 通道:2");
            auto *ribbon = qobject_cast<QRibbon *>(s->menuWidget());
            ASSERT_NE(ribbon, nullptr);
            EXPECT_EQ(ribbon->form()->labelTitle->text(), "DBC发送 - TRNA702 设备:0 通道:2");
            EXPECT_EQ(s->pos(), QPoint(frame.left() + frame.width() / 4, frame.top() + frame.height() / 4));
        }
    }
    for (const auto &s : opened)
        EXPECT_TRUE(s.isNull());
}

// "DBC解析" and "CANopen" from the launcher on the current channel, twice
// each: independent windows, each with its ribbon, placed a quarter of the
// frame from the main window's corner (the CANopen window half the screen in
// size), on the list, and connected to the registry's received batches and
// transmitted frames; closed with the main window.
TEST_F(ToolsLauncherTest, DbcAnalysisAndCanopenWindowsOnTheCurrentChannel)
{
    QList<QPointer<QWidget>> opened;
    {
        MainWindow w;
        w.setGeometry(100, 100, 800, 600);
        const QRect frame = w.frameGeometry();
        const QPoint place(frame.left() + frame.width() / 4, frame.top() + frame.height() / 4);
        channelTabShow(w, "TRNA702-0-1");
        for (const char *tool : {"DBC解析", "DBC解析", "CANopen", "CANopen"}) {
            prompts.answerExec(clickTool(QString::fromUtf8(tool)));
            w.formGet()->actTools->trigger();
        }
        EXPECT_EQ(w.toolWindowCount(), 4);
        EXPECT_TRUE(log.contains("MainWindow > DBC解析"));
        EXPECT_TRUE(log.contains("MainWindow > CANopen操作"));
        QUserDeviceAdapter *registry = w.devAdapterGet();
        QList<QUserMainWindowDBC *> dbc;
        QList<QUserMainWindowCANopen *> canopen;
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *d = qobject_cast<QUserMainWindowDBC *>(top))
                dbc << d;
            if (auto *c = qobject_cast<QUserMainWindowCANopen *>(top))
                canopen << c;
        }
        ASSERT_EQ(dbc.size(), 2);
        ASSERT_EQ(canopen.size(), 2);
        const QSize half = QGuiApplication::primaryScreen()->geometry().size() / 2;
        for (QUserMainWindowDBC *d : dbc) {
            opened << d;
            EXPECT_EQ(d->parent(), nullptr);
            EXPECT_TRUE(d->isVisible());
            EXPECT_EQ(d->windowTitle(), "DBC解析");
            EXPECT_NE(qobject_cast<QRibbon *>(d->menuWidget()), nullptr);
            EXPECT_EQ(d->pos(), place);
            EXPECT_EQ(d->devId(), "TRNA702-0-1");
            // Connected to both signals of the registry (a connection that
            // exists can be broken).
            EXPECT_TRUE(QObject::disconnect(registry, &QUserDeviceAdapter::receiveMsg, d,
                                            QOverload<QString, QVector<QUserCanMsg>>::of(&QUserMainWindowDBC::soltCanMsgRec)));
            EXPECT_TRUE(QObject::disconnect(registry, &QUserDeviceAdapter::sendResultNotify, d,
                                            QOverload<QString, QUserCanMsg>::of(&QUserMainWindowDBC::soltCanMsgRec)));
        }
        for (QUserMainWindowCANopen *c : canopen) {
            opened << c;
            EXPECT_EQ(c->parent(), nullptr);
            EXPECT_TRUE(c->isVisible());
            EXPECT_EQ(c->windowTitle(), "CANopen操作");
            EXPECT_NE(qobject_cast<QRibbon *>(c->menuWidget()), nullptr);
            EXPECT_EQ(c->pos(), place);
            EXPECT_GE(c->width(), half.width());
            EXPECT_GE(c->height(), half.height());
            EXPECT_EQ(c->devIdGet(), "TRNA702-0-1");
            EXPECT_TRUE(QObject::disconnect(registry, &QUserDeviceAdapter::receiveMsg, c,
                                            QOverload<QString, QVector<QUserCanMsg>>::of(&QUserMainWindowCANopen::slotCanMsgRec)));
            EXPECT_TRUE(QObject::disconnect(registry, &QUserDeviceAdapter::sendResultNotify, c,
                                            QOverload<QString, QUserCanMsg>::of(&QUserMainWindowCANopen::slotCanMsgRec)));
        }
    }
    for (const auto &p : opened)
        EXPECT_TRUE(p.isNull());
}
