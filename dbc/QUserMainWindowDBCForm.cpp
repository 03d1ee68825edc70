#include "dbc/QUserMainWindowDBCForm.h"

#include <QAction>
#include <QCoreApplication>
#include <QFont>
#include <QHBoxLayout>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QAction *newAction(QMainWindow *w, const char *name, const char *icon)
{
    QAction *a = new QAction(w);
    a->setObjectName(QString::fromLatin1(name));
    a->setIcon(QIcon(QString::fromLatin1(icon)));
    return a;
}

} // namespace

void Ui_QUserMainWindowDBC::setupUi(QMainWindow *w)
{
    if (w->objectName().isEmpty())
        w->setObjectName(QStringLiteral("QUserMainWindowDBC"));
    w->resize(800, 600);

    actLoadDbc = newAction(w, "actLoadDbc", ":/res/database.png");
    actSave = newAction(w, "actSave", ":/res/save.png");
    actOpen = newAction(w, "actOpen", ":/res/fold.png");
    actDataClr = newAction(w, "actDataClr", ":/res/trash.png");
    actDataStop = newAction(w, "actDataStop", ":/res/stop.png");
    actAutoFit = newAction(w, "actAutoFit", ":/res/scale.png");
    actChartSet = newAction(w, "actChartSet", ":/res/chart.png");
    actHelp = newAction(w, "actHelp", ":/res/msg_icon_question.png");
    actAnalysisSet = newAction(w, "actAnalysisSet", ":/res/gear.png");

    centralwidget = new QWidget(w);
    centralwidget->setObjectName(QStringLiteral("centralwidget"));
    verticalLayout = new QVBoxLayout(centralwidget);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    horizontalLayout_content = new QHBoxLayout;
    horizontalLayout_content->setObjectName(QStringLiteral("horizontalLayout_content"));
    horizontalLayout_content->setSpacing(0);
    verticalLayout->addLayout(horizontalLayout_content);
    w->setCentralWidget(centralwidget);

    menubar = new QMenuBar(w);
    menubar->setObjectName(QStringLiteral("menubar"));
    menu_DBC = new QMenu(menubar);
    menu_DBC->setObjectName(QStringLiteral("menu_DBC"));
    menuDBC = new QMenu(menubar);
    menuDBC->setObjectName(QStringLiteral("menuDBC"));
    menu = new QMenu(menubar);
    menu->setObjectName(QStringLiteral("menu"));
    w->setMenuBar(menubar);

    statusbar = new QStatusBar(w);
    statusbar->setObjectName(QStringLiteral("statusbar"));
    w->setStatusBar(statusbar);

    toolBar = new QToolBar(w);
    toolBar->setObjectName(QStringLiteral("toolBar"));
    QFont font;
    font.setFamily(QStringLiteral("微软雅黑"));
    toolBar->setFont(font);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    w->addToolBar(Qt::RightToolBarArea, toolBar);

    menubar->addAction(menu_DBC->menuAction());
    menubar->addAction(menuDBC->menuAction());
    menubar->addAction(menu->menuAction());
    menu_DBC->addAction(actLoadDbc);
    menu_DBC->addAction(actOpen);
    menu_DBC->addAction(actSave);
    menuDBC->addAction(actChartSet);
    menuDBC->addAction(actAnalysisSet);
    menu->addAction(actHelp);
    toolBar->addAction(actDataClr);
    toolBar->addAction(actDataStop);
    toolBar->addAction(actAutoFit);

    retranslateUi(w);
}

void Ui_QUserMainWindowDBC::retranslateUi(QMainWindow *w)
{
    const char *ctx = "QUserMainWindowDBC";
    auto tr = [ctx](const char *text) { return QCoreApplication::translate(ctx, text); };
    w->setWindowTitle(tr("MainWindow"));
    actLoadDbc->setText(tr("加载DBC"));
    actLoadDbc->setToolTip(tr("加载DBC文件"));
    actSave->setText(tr("保存工程"));
    actSave->setToolTip(tr("保存工程"));
    actOpen->setText(tr("打开工程"));
    actOpen->setToolTip(tr("打开工程文件"));
    actDataClr->setText(tr("数据清空"));
    actDataClr->setToolTip(tr("数据清空"));
    actDataStop->setText(tr("停止显示"));
    actDataStop->setToolTip(tr("停止显示"));
    actAutoFit->setText(tr("自动缩放"));
    actAutoFit->setToolTip(tr("图表自适应"));
    actChartSet->setText(tr("图表设置"));
    actChartSet->setToolTip(tr("图表设置"));
    actHelp->setText(tr("帮助"));
    actHelp->setToolTip(tr("帮助"));
    actAnalysisSet->setText(tr("解析设置"));
    actAnalysisSet->setToolTip(tr("DBC解析设置"));
    menu_DBC->setTitle(tr("文件"));
    menuDBC->setTitle(tr("设置"));
    menu->setTitle(tr("帮助"));
    toolBar->setWindowTitle(tr("toolBar"));
}
