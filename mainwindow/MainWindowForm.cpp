#include "mainwindow/MainWindowForm.h"

#include <QAction>
#include <QCoreApplication>
#include <QFont>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QWidget>

namespace {

QAction *makeAction(QMainWindow *w, const char *name, const char *icon, bool checkable = false)
{
    QAction *a = new QAction(w);
    a->setObjectName(QString::fromLatin1(name));
    if (icon) {
        QIcon ic;
        ic.addFile(QString::fromLatin1(icon), QSize(), QIcon::Normal, QIcon::Off);
        a->setIcon(ic);
    }
    if (checkable)
        a->setCheckable(true);
    return a;
}

QString trMain(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

void Ui_MainWindow::setupUi(QMainWindow *MainWindow)
{
    if (MainWindow->objectName().isEmpty())
        MainWindow->setObjectName(QStringLiteral("MainWindow"));
    MainWindow->resize(836, 597);
    QFont font;
    font.setFamily(QString::fromUtf8("微软雅黑"));
    MainWindow->setFont(font);

    actionDataClr = makeAction(MainWindow, "actionDataClr", ":/res/trash.png");
    actionShowSet = makeAction(MainWindow, "actionShowSet", ":/res/plane.png");
    actionLanguageChina = makeAction(MainWindow, "actionLanguageChina", ":/res/languageChina.png");
    actionLanguageEnglish = makeAction(MainWindow, "actionLanguageEnglish", ":/res/languageEnglish.png");
    actionAboutUs = makeAction(MainWindow, "actionAboutUs", ":/res/msg_icon_question.png");
    actionRepeatCfg = makeAction(MainWindow, "actionRepeatCfg", ":/res/arrowDouble.png");
    actionFreqChk = makeAction(MainWindow, "actionFreqChk", ":/res/search.png");
    actionCalculator = makeAction(MainWindow, "actionCalculator", ":/res/cal.png");
    actionStop = makeAction(MainWindow, "actionStop", ":/res/stop.png", true);
    actionFastHelp = makeAction(MainWindow, "actionFastHelp", nullptr);
    actionHelp = makeAction(MainWindow, "actionHelp", nullptr);
    actionShopping = makeAction(MainWindow, "actionShopping", ":/res/cart.png");
    actionFileDownload = makeAction(MainWindow, "actionFileDownload", ":/res/file.png");
    actionFirmUpdate = makeAction(MainWindow, "actionFirmUpdate", ":/res/download.png");
    actSave = makeAction(MainWindow, "actSave", ":/res/save.png");
    actRecord = makeAction(MainWindow, "actRecord", ":/res/record.png", true);
    actPlay = makeAction(MainWindow, "actPlay", ":/res/play.png");
    actFliter = makeAction(MainWindow, "actFliter", ":/res/fliter.png", true);
    actTools = makeAction(MainWindow, "actTools", ":/res/toolsMin.png");
    actDevCAN = makeAction(MainWindow, "actDevCAN", ":/res/devCan.png");
    actDevLIN = makeAction(MainWindow, "actDevLIN", ":/res/devLin.png");
    actDevRecord = makeAction(MainWindow, "actDevRecord", ":/res/devRecord.png");

    centralwidget = new QWidget(MainWindow);
    centralwidget->setObjectName(QStringLiteral("centralwidget"));
    MainWindow->setCentralWidget(centralwidget);

    menubar = new QMenuBar(MainWindow);
    menubar->setObjectName(QStringLiteral("menubar"));
    menubar->setGeometry(QRect(0, 0, 835, 22));
    // The menus belong to the window, not to the bar: the ribbon that takes
    // the bar's place deletes the bar, and the translation step still sets
    // the menus' titles afterwards.
    menu = new QMenu(MainWindow);
    menu->setObjectName(QStringLiteral("menu"));
    menu_2 = new QMenu(MainWindow);
    menu_2->setObjectName(QStringLiteral("menu_2"));
    menu_3 = new QMenu(MainWindow);
    menu_3->setObjectName(QStringLiteral("menu_3"));
    menu_4 = new QMenu(MainWindow);
    menu_4->setObjectName(QStringLiteral("menu_4"));
    menu_5 = new QMenu(MainWindow);
    menu_5->setObjectName(QStringLiteral("menu_5"));
    MainWindow->setMenuBar(menubar);

    statusbar = new QStatusBar(MainWindow);
    statusbar->setObjectName(QStringLiteral("statusbar"));
    MainWindow->setStatusBar(statusbar);

    toolBar = new QToolBar(MainWindow);
    toolBar->setObjectName(QStringLiteral("toolBar"));
    QSizePolicy policy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    policy.setHorizontalStretch(0);
    policy.setVerticalStretch(0);
    policy.setHeightForWidth(toolBar->sizePolicy().hasHeightForWidth());
    toolBar->setSizePolicy(policy);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    // The entries stacked at the right edge fit a window half the height
    // of a 1080-line screen: small icons, tight buttons, no move handle.
    toolBar->setIconSize(QSize(20, 20));
    toolBar->setMovable(false);
    toolBar->setStyleSheet(QStringLiteral("QToolBar { spacing: 0px; } QToolBar QToolButton { padding: 1px; }"));
    MainWindow->addToolBar(Qt::RightToolBarArea, toolBar);

    menubar->addAction(menu->menuAction());
    menubar->addAction(menu_2->menuAction());
    menubar->addAction(menu_3->menuAction());
    menubar->addAction(menu_5->menuAction());
    menubar->addAction(menu_4->menuAction());
    menu->addAction(actDevCAN);
    menu->addAction(actDevLIN);
    menu->addAction(actDevRecord);
    menu_2->addAction(actionShowSet);
    menu_3->addAction(actionLanguageChina);
    menu_3->addAction(actionLanguageEnglish);
    menu_5->addAction(actionRepeatCfg);
    menu_5->addAction(actionFreqChk);
    menu_5->addAction(actionCalculator);
    menu_5->addAction(actionFirmUpdate);
    menu_4->addAction(actionFastHelp);
    menu_4->addAction(actionHelp);
    menu_4->addAction(actionShopping);
    menu_4->addAction(actionFileDownload);
    menu_4->addAction(actionAboutUs);
    toolBar->addAction(actionDataClr);
    toolBar->addAction(actFliter);
    toolBar->addSeparator();
    toolBar->addAction(actionStop);
    toolBar->addSeparator();
    toolBar->addAction(actSave);
    toolBar->addAction(actRecord);
    toolBar->addAction(actPlay);
    toolBar->addAction(actTools);

    retranslateUi(MainWindow);
    QMetaObject::connectSlotsByName(MainWindow);
}

void Ui_MainWindow::retranslateUi(QMainWindow *MainWindow)
{
    MainWindow->setWindowTitle(QCoreApplication::translate("MainWindow", "OrvaneSuite(Orvane 开发组)"));
    struct Texts {
        QAction *action;
        const char *text;
        const char *tip; // null: no tool tip of its own
    } const texts[] = {
        {actionDataClr, QT_TRANSLATE_NOOP("MainWindow", "数据清空"), nullptr},
        {actionShowSet, QT_TRANSLATE_NOOP("MainWindow", "显示设置"), QT_TRANSLATE_NOOP("MainWindow", "数据显示设置")},
        {actionLanguageChina, QT_TRANSLATE_NOOP("MainWindow", "简体中文"), QT_TRANSLATE_NOOP("MainWindow", "简体中文")},
        {actionLanguageEnglish, QT_TRANSLATE_NOOP("MainWindow", "English"), nullptr},
        {actionAboutUs, QT_TRANSLATE_NOOP("MainWindow", "软件信息"), QT_TRANSLATE_NOOP("MainWindow", "软件信息")},
        {actionRepeatCfg, QT_TRANSLATE_NOOP("MainWindow", "中继配置"), QT_TRANSLATE_NOOP("MainWindow", "中继配置")},
        {actionFreqChk, QT_TRANSLATE_NOOP("MainWindow", "波特率侦测"), QT_TRANSLATE_NOOP("MainWindow", "波特率侦测")},
        {actionCalculator, QT_TRANSLATE_NOOP("MainWindow", "波特率计算器"), QT_TRANSLATE_NOOP("MainWindow", "波特率计算器")},
        {actionStop, QT_TRANSLATE_NOOP("MainWindow", "停止显示"), QT_TRANSLATE_NOOP("MainWindow", "停止显示")},
        {actionFastHelp, QT_TRANSLATE_NOOP("MainWindow", "快速使用指南"), QT_TRANSLATE_NOOP("MainWindow", "快速使用指南")},
        {actionHelp, QT_TRANSLATE_NOOP("MainWindow", "用户手册"), QT_TRANSLATE_NOOP("MainWindow", "用户手册")},
        {actionShopping, QT_TRANSLATE_NOOP("MainWindow", "产品购买"), QT_TRANSLATE_NOOP("MainWindow", "产品购买")},
        {actionFileDownload, QT_TRANSLATE_NOOP("MainWindow", "资料下载"), QT_TRANSLATE_NOOP("MainWindow", "资料下载")},
        {actionFirmUpdate, QT_TRANSLATE_NOOP("MainWindow", "设备升级"), QT_TRANSLATE_NOOP("MainWindow", "firmUpdate")},
        {actSave, QT_TRANSLATE_NOOP("MainWindow", "数据保存"), QT_TRANSLATE_NOOP("MainWindow", "数据保存")},
        {actRecord, QT_TRANSLATE_NOOP("MainWindow", "实时保存"), QT_TRANSLATE_NOOP("MainWindow", "实时保存")},
        {actPlay, QT_TRANSLATE_NOOP("MainWindow", "数据回放"), QT_TRANSLATE_NOOP("MainWindow", "数据回放")},
        {actFliter, QT_TRANSLATE_NOOP("MainWindow", "数据过滤"), QT_TRANSLATE_NOOP("MainWindow", "数据软件过滤")},
        {actTools, QT_TRANSLATE_NOOP("MainWindow", "工具合集"), QT_TRANSLATE_NOOP("MainWindow", "工具集")},
        {actDevCAN, QT_TRANSLATE_NOOP("MainWindow", "CAN/FD适配器"), QT_TRANSLATE_NOOP("MainWindow", "CAN/FD适配器")},
        {actDevLIN, QT_TRANSLATE_NOOP("MainWindow", "LIN适配器"), QT_TRANSLATE_NOOP("MainWindow", "LIN适配器")},
        {actDevRecord, QT_TRANSLATE_NOOP("MainWindow", "CAN/FD记录仪"), QT_TRANSLATE_NOOP("MainWindow", "CAN/FD数据记录仪")},
    };
    for (const Texts &t : texts) {
        t.action->setText(trMain(t.text));
        if (t.tip)
            t.action->setToolTip(trMain(t.tip));
    }
    menu->setTitle(QCoreApplication::translate("MainWindow", "选择设备"));
    menu_2->setTitle(QCoreApplication::translate("MainWindow", "设置"));
    menu_3->setTitle(QCoreApplication::translate("MainWindow", "语言"));
    menu_4->setTitle(QCoreApplication::translate("MainWindow", "帮助"));
    menu_5->setTitle(QCoreApplication::translate("MainWindow", "工具"));
    toolBar->setWindowTitle(QCoreApplication::translate("MainWindow", "toolBar"));
}
