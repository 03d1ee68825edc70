#pragma once
// The form of the main window: its 22 actions, the five menus that the
// ribbon turns into its tabs, the status bar and the tool bar at the right.
// A plain record of pointers; every widget and action is a child of the
// window, which deletes the record itself. Once the ribbon has taken the
// menu bar's place, `menubar` is gone; the menus and actions stay.

class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;
class QStatusBar;
class QToolBar;
class QWidget;

class Ui_MainWindow
{
public:
    QAction *actionDataClr = nullptr;
    QAction *actionShowSet = nullptr;
    QAction *actionLanguageChina = nullptr;
    QAction *actionLanguageEnglish = nullptr;
    QAction *actionAboutUs = nullptr;
    QAction *actionRepeatCfg = nullptr;
    QAction *actionFreqChk = nullptr;
    QAction *actionCalculator = nullptr;
    QAction *actionStop = nullptr;
    QAction *actionFastHelp = nullptr;
    QAction *actionHelp = nullptr;
    QAction *actionShopping = nullptr;
    QAction *actionFileDownload = nullptr;
    QAction *actionFirmUpdate = nullptr;
    QAction *actSave = nullptr;
    QAction *actRecord = nullptr;
    QAction *actPlay = nullptr;
    QAction *actFliter = nullptr;
    QAction *actTools = nullptr;
    QAction *actDevCAN = nullptr;
    QAction *actDevLIN = nullptr;
    QAction *actDevRecord = nullptr;
    QWidget *centralwidget = nullptr;
    QMenuBar *menubar = nullptr;
    QMenu *menu = nullptr;
    QMenu *menu_2 = nullptr;
    QMenu *menu_3 = nullptr;
    QMenu *menu_4 = nullptr;
    QMenu *menu_5 = nullptr;
    QStatusBar *statusbar = nullptr;
    QToolBar *toolBar = nullptr;

    void setupUi(QMainWindow *MainWindow);
    void retranslateUi(QMainWindow *MainWindow);
};
