#include "mainwindow/QUserMainWindowLin.h"

#include "resources/OrvaneResources.h"

#include <QAction>
#include <QCoreApplication>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

namespace {

QAction *linAction(QMainWindow *w, const char *name, const char *icon)
{
    QAction *a = new QAction(w);
    a->setObjectName(QString::fromLatin1(name));
    QIcon ic;
    ic.addFile(QString::fromLatin1(icon), QSize(), QIcon::Normal, QIcon::Off);
    a->setIcon(ic);
    return a;
}

} // namespace

void Ui_QUserMainWindowLin::setupUi(QMainWindow *w)
{
    if (w->objectName().isEmpty())
        w->setObjectName(QStringLiteral("QUserMainWindowLin"));
    w->resize(800, 600);
    actHelp = linAction(w, "actHelp", ":/res/msg_icon_question.png");
    actClr = linAction(w, "actClr", ":/res/trash.png");
    actSet = linAction(w, "actSet", ":/res/gear.png");

    centralwidget = new QWidget(w);
    centralwidget->setObjectName(QStringLiteral("centralwidget"));
    w->setCentralWidget(centralwidget);

    menubar = new QMenuBar(w);
    menubar->setObjectName(QStringLiteral("menubar"));
    menubar->setGeometry(QRect(0, 0, 799, 22));
    menu = new QMenu(menubar);
    menu->setObjectName(QStringLiteral("menu"));
    menu_2 = new QMenu(menubar);
    menu_2->setObjectName(QStringLiteral("menu_2"));
    w->setMenuBar(menubar);

    statusbar = new QStatusBar(w);
    statusbar->setObjectName(QStringLiteral("statusbar"));
    w->setStatusBar(statusbar);

    toolBar = new QToolBar(w);
    toolBar->setObjectName(QStringLiteral("toolBar"));
    w->addToolBar(Qt::RightToolBarArea, toolBar);

    menubar->addAction(menu->menuAction());
    menubar->addAction(menu_2->menuAction());
    menu->addAction(actSet);
    menu_2->addAction(actHelp);
    toolBar->addAction(actClr);

    retranslateUi(w);
    QMetaObject::connectSlotsByName(w);
}

void Ui_QUserMainWindowLin::retranslateUi(QMainWindow *w)
{
    w->setWindowTitle(QCoreApplication::translate("QUserMainWindowLin", "MainWindow"));
    actHelp->setText(QCoreApplication::translate("QUserMainWindowLin", "帮助"));
    actHelp->setToolTip(QCoreApplication::translate("QUserMainWindowLin", "帮助"));
    actClr->setText(QCoreApplication::translate("QUserMainWindowLin", "数据清空"));
    actSet->setText(QCoreApplication::translate("QUserMainWindowLin", "设备配置"));
    menu->setTitle(QCoreApplication::translate("QUserMainWindowLin", "设备操作"));
    menu_2->setTitle(QCoreApplication::translate("QUserMainWindowLin", "帮助"));
    toolBar->setWindowTitle(QCoreApplication::translate("QUserMainWindowLin", "toolBar"));
}

QUserMainWindowLin::QUserMainWindowLin(QWidget *parent) : QMainWindow(parent, Qt::WindowFlags())
{
    orvaneResourcesInit();
    ui = new Ui_QUserMainWindowLin;
    ui->setupUi(this);
}

QUserMainWindowLin::~QUserMainWindowLin()
{
    delete ui;
}
