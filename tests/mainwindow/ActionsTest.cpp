// The main window's form and what each of its actions reaches; the LIN
// window shell.

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLin.h"
#include "widgets/Dialog.h"
#include "widgets/uiDlgAboutUs.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>

namespace {

QStringList names(const QList<QAction *> &actions)
{
    QStringList out;
    for (QAction *a : actions)
        out << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
    return out;
}

} // namespace

TEST(MainWindowForm, ActionsMenusAndToolBar)
{
    QMainWindow w;
    Ui_MainWindow ui;
    ui.setupUi(&w);
    EXPECT_EQ(w.objectName(), "MainWindow");
    EXPECT_EQ(w.size(), QSize(836, 597));
    EXPECT_EQ(w.font().family(), QString::fromUtf8("微软雅黑"));
    EXPECT_EQ(w.windowTitle(), "OrvaneSuite(Orvane 开发组)");

    struct Row {
        QAction *action;
        const char *name;
        const char *text;
        const char *tip;
        bool checkable;
        bool icon;
    } const rows[] = {
        {ui.actionDataClr, "actionDataClr", "数据清空", "数据清空", false, true},
        {ui.actionShowSet, "actionShowSet", "显示设置", "数据显示设置", false, true},
        {ui.actionLanguageChina, "actionLanguageChina", "简体中文", "简体中文", false, true},
        {ui.actionLanguageEnglish, "actionLanguageEnglish", "English", "English", false, true},
        {ui.actionAboutUs, "actionAboutUs", "软件信息", "软件信息", false, true},
        {ui.actionRepeatCfg, "actionRepeatCfg", "中继配置", "中继配置", false, true},
        {ui.actionFreqChk, "actionFreqChk", "波特率侦测", "波特率侦测", false, true},
        {ui.actionCalculator, "actionCalculator", "波特率计算器", "波特率计算器", false, true},
        {ui.actionStop, "actionStop", "停止显示", "停止显示", true, true},
        {ui.actionFastHelp, "actionFastHelp", "快速使用指南", "快速使用指南", false, false},
        {ui.actionHelp, "actionHelp", "用户手册", "用户手册", false, false},
        {ui.actionShopping, "actionShopping", "产品购买", "产品购买", false, true},
        {ui.actionFileDownload, "actionFileDownload", "资料下载", "资料下载", false, true},
        {ui.actionFirmUpdate, "actionFirmUpdate", "设备升级", "firmUpdate", false, true},
        {ui.actSave, "actSave", "数据保存", "数据保存", false, true},
        {ui.actRecord, "actRecord", "实时保存", "实时保存", true, true},
        {ui.actPlay, "actPlay", "数据回放", "数据回放", false, true},
        {ui.actFliter, "actFliter", "数据过滤", "数据软件过滤", true, true},
        {ui.actTools, "actTools", "工具合集", "工具集", false, true},
        {ui.actDevCAN, "actDevCAN", "CAN/FD适配器", "CAN/FD适配器", false, true},
        {ui.actDevLIN, "actDevLIN", "LIN适配器", "LIN适配器", false, true},
        {ui.actDevRecord, "actDevRecord", "CAN/FD记录仪", "CAN/FD数据记录仪", false, true},
    };
    QStringList order;
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_NE(r.action, nullptr);
        EXPECT_EQ(r.action->objectName(), r.name);
        EXPECT_EQ(r.action->parent(), &w);
        EXPECT_EQ(r.action->text(), QString::fromUtf8(r.text));
        EXPECT_EQ(r.action->toolTip(), QString::fromUtf8(r.tip));
        EXPECT_EQ(r.action->isCheckable(), r.checkable);
        EXPECT_EQ(!r.action->icon().isNull(), r.icon);
        order << r.name;
    }
    // Created in table order.
    QStringList created;
    for (QObject *o : w.children())
        if (qobject_cast<QAction *>(o) && !o->objectName().isEmpty())
            created << o->objectName();
    EXPECT_EQ(created, order);

    // The checkable ones toggle.
    for (QAction *a : {ui.actionStop, ui.actRecord, ui.actFliter}) {
        a->trigger();
        EXPECT_TRUE(a->isChecked());
        a->trigger();
        EXPECT_FALSE(a->isChecked());
    }

    EXPECT_EQ(w.centralWidget(), ui.centralwidget);
    EXPECT_EQ(w.menuBar(), ui.menubar);
    EXPECT_EQ(w.statusBar(), ui.statusbar);
    EXPECT_EQ(ui.menubar->geometry(), QRect(0, 0, 835, 22));

    struct MenuRow {
        QMenu *menu;
        const char *name;
        const char *title;
        QStringList actions;
    } const menus[] = {
        {ui.menu, "menu", "选择设备", {"actDevCAN", "actDevLIN", "actDevRecord"}},
        {ui.menu_2, "menu_2", "设置", {"actionShowSet"}},
        {ui.menu_3, "menu_3", "语言", {"actionLanguageChina", "actionLanguageEnglish"}},
        {ui.menu_5, "menu_5", "工具", {"actionRepeatCfg", "actionFreqChk", "actionCalculator", "actionFirmUpdate"}},
        {ui.menu_4, "menu_4", "帮助",
         {"actionFastHelp", "actionHelp", "actionShopping", "actionFileDownload", "actionAboutUs"}},
    };
    QList<QAction *> bar = ui.menubar->actions();
    ASSERT_EQ(bar.size(), 5);
    for (int i = 0; i < 5; ++i) {
        const MenuRow &m = menus[i];
        SCOPED_TRACE(m.name);
        EXPECT_EQ(bar.at(i), m.menu->menuAction()); // menu bar order
        EXPECT_EQ(m.menu->objectName(), m.name);
        EXPECT_EQ(m.menu->title(), QString::fromUtf8(m.title));
        EXPECT_EQ(names(m.menu->actions()), m.actions);
    }

    EXPECT_EQ(ui.toolBar->objectName(), "toolBar");
    EXPECT_EQ(ui.toolBar->windowTitle(), "toolBar");
    EXPECT_EQ(w.toolBarArea(ui.toolBar), Qt::RightToolBarArea);
    EXPECT_EQ(ui.toolBar->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    EXPECT_EQ(ui.toolBar->sizePolicy().verticalPolicy(), QSizePolicy::Preferred);
    EXPECT_EQ(ui.toolBar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    EXPECT_EQ(names(ui.toolBar->actions()),
              (QStringList{"actionDataClr", "actFliter", "|", "actionStop", "|", "actSave", "actRecord", "actPlay",
                           "actTools"}));
}

class ActionsTest : public MainWindowEnv
{
};

TEST_F(ActionsTest, EveryActionReachesItsSlot)
{
    MainWindow w;
    const QString help = uiDlgAboutUs::helpPageUrl();
    enum Kind { Page, Modal, Quiet };
    struct Row {
        const char *action;
        Kind kind;
        const char *what; // Page: the URL; Modal: the frame's title; Quiet: nothing
    } const rows[] = {
        {"actionDataClr", Quiet, nullptr},
        {"actFliter", Modal, "错误"}, // no channel
        {"actionStop", Quiet, nullptr},
        {"actSave", Modal, "错误"},
        {"actRecord", Modal, "错误"},
        {"actPlay", Modal, "错误"},   // no channel yet: "请先[选择设备]!!!"
        {"actTools", Modal, "工具集"}, // the tools launcher, closed
        {"actionShowSet", Modal, "显示设置"},
        {"actDevCAN", Modal, "选择设备"},
        {"actDevLIN", Modal, "选择设备"},
        {"actDevRecord", Modal, "选择设备"},
        {"actionFastHelp", Page, nullptr}, // the help page
        {"actionHelp", Page, nullptr},     // the same page
        {"actionShopping", Page, "https://orvane.example.org/shop"},
        {"actionFileDownload", Page, "https://orvane.example.org/download"},
        {"actionAboutUs", Modal, "软件信息"},
        {"actionLanguageChina", Modal, "警告"},
        {"actionLanguageEnglish", Modal, "警告"},
        {"actionRepeatCfg", Modal, "中继配置"},
        {"actionFreqChk", Modal, "波特率侦测"},
        {"actionCalculator", Modal, "波特率计算器"},
        {"actionFirmUpdate", Modal, "设备升级"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.action);
        QAction *a = w.findChild<QAction *>(QString::fromLatin1(r.action));
        ASSERT_NE(a, nullptr);
        const int before = prompts.records().size();
        switch (r.kind) {
        case Page:
            prompts.answerUrl(true);
            a->trigger();
            ASSERT_EQ(prompts.records().size(), before + 1);
            EXPECT_EQ(prompts.last().kind, QUserPromptScript::Url);
            EXPECT_EQ(prompts.last().text, r.what ? QString::fromLatin1(r.what) : help);
            break;
        case Quiet:
            a->trigger();
            EXPECT_EQ(prompts.records().size(), before);
            break;
        case Modal:
            prompts.answerExec(0); // closed / cancelled
            a->trigger();
            ASSERT_EQ(prompts.records().size(), before + 1);
            EXPECT_EQ(prompts.last().kind, QUserPromptScript::Exec);
            EXPECT_EQ(prompts.last().title, QString::fromUtf8(r.what));
            break;
        }
    }
    EXPECT_EQ(prompts.unanswered(), 0);
    // The cancelled language questions changed nothing.
    EXPECT_EQ(cfg()->getString("language"), "ZH");
}

// The list load does nothing without a channel beyond its log line: no
// chooser, no box.
TEST_F(ActionsTest, ListLoadWithoutAChannelOnlyLogs)
{
    MainWindow w;
    log.lines.clear();
    for (int i = 0; i < 3; ++i)
        w.soltTabAdvFileLoad();
    EXPECT_EQ(log.lines.filter("加载高级发送配置文件...").size(), 3);
    EXPECT_TRUE(prompts.records().isEmpty());
}

TEST_F(ActionsTest, PageTheSystemCannotOpenShowsTheErrorBox)
{
    MainWindow w;
    for (QAction *a : {w.formGet()->actionHelp, w.formGet()->actionShopping, w.formGet()->actionFileDownload}) {
        SCOPED_TRACE(a->objectName().toStdString());
        prompts.answerUrl(false);
        prompts.answerExec(1);
        a->trigger();
        ASSERT_GE(prompts.records().size(), 2);
        const QUserPromptScript::Record box = prompts.last();
        EXPECT_EQ(box.kind, QUserPromptScript::Exec);
        EXPECT_EQ(box.title, "错误");
        EXPECT_TRUE(box.text.contains("权限不足,调用系统应用失败!")) << box.text.toStdString();
    }
    EXPECT_EQ(prompts.unanswered(), 0);
    EXPECT_EQ(prompts.pending(), 0);
}

TEST_F(ActionsTest, AboutBoxRunsItsContentAndClosesWithOk)
{
    MainWindow w;
    int result = -1;
    QString shown;
    prompts.answerExec([&](QDialog *d) {
        uiDlgAboutUs *about = d->findChild<uiDlgAboutUs *>();
        if (!about)
            return -2;
        shown = about->form()->label_softName->text();
        d->open(); // a modal run in progress, as the real one would be
        about->form()->pushButton_ok->click();
        result = d->result();
        return result;
    });
    w.uiDlgAbout();
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(shown.contains("Orvane V1.1.7")) << shown.toStdString();
    EXPECT_EQ(prompts.last().className, "Dialog");
}

TEST(MainWindowLin, FormOnly)
{
    QUserMainWindowLin w;
    Ui_QUserMainWindowLin *ui = w.form();
    EXPECT_EQ(w.objectName(), "QUserMainWindowLin");
    EXPECT_EQ(w.size(), QSize(800, 600));
    EXPECT_EQ(w.windowTitle(), "MainWindow");
    EXPECT_EQ(ui->actHelp->text(), "帮助");
    EXPECT_EQ(ui->actHelp->toolTip(), "帮助");
    EXPECT_EQ(ui->actClr->text(), "数据清空");
    EXPECT_EQ(ui->actSet->text(), "设备配置");
    for (QAction *a : {ui->actHelp, ui->actClr, ui->actSet})
        EXPECT_FALSE(a->icon().isNull()) << a->objectName().toStdString();
    EXPECT_EQ(ui->menu->title(), "设备操作");
    EXPECT_EQ(ui->menu_2->title(), "帮助");
    EXPECT_EQ(names(ui->menu->actions()), QStringList{"actSet"});
    EXPECT_EQ(names(ui->menu_2->actions()), QStringList{"actHelp"});
    EXPECT_EQ(names(ui->toolBar->actions()), QStringList{"actClr"});
    EXPECT_EQ(w.toolBarArea(ui->toolBar), Qt::RightToolBarArea);
    EXPECT_EQ(ui->menubar->geometry(), QRect(0, 0, 799, 22));
    EXPECT_EQ(w.centralWidget(), ui->centralwidget);
    // Nothing is connected to its actions: triggering them does nothing.
    for (QAction *a : {ui->actHelp, ui->actClr, ui->actSet})
        a->trigger();
    EXPECT_TRUE(w.isEnabled());
}
