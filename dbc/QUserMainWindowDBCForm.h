#pragma once
// The widget tree of the DBC analysis window's frame (built in code; the
// object names are fixed): nine actions, the menus "文件", "设置" and "帮助",
// the tool bar at the right, and the central widget whose content layout
// the window fills with its splitters.

#include <QString>

class QAction;
class QHBoxLayout;
class QMainWindow;
class QMenu;
class QMenuBar;
class QStatusBar;
class QToolBar;
class QVBoxLayout;
class QWidget;

class Ui_QUserMainWindowDBC
{
public:
    QAction *actLoadDbc = nullptr;
    QAction *actSave = nullptr;
    QAction *actOpen = nullptr;
    QAction *actDataClr = nullptr;
    QAction *actDataStop = nullptr;
    QAction *actAutoFit = nullptr;
    QAction *actChartSet = nullptr;
    QAction *actHelp = nullptr;
    QAction *actAnalysisSet = nullptr;
    QWidget *centralwidget = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *horizontalLayout_content = nullptr;
    QMenuBar *menubar = nullptr;
    QMenu *menu_DBC = nullptr;
    QMenu *menuDBC = nullptr;
    QMenu *menu = nullptr;
    QStatusBar *statusbar = nullptr;
    QToolBar *toolBar = nullptr;

    void setupUi(QMainWindow *w);
    void retranslateUi(QMainWindow *w);
};
