#pragma once
// The window shell of the LIN adapters: a main window with its form only
// (a settings menu, a help menu and a clear button on the right tool bar).
// Nothing opens it yet and none of its actions is connected.

#include <QMainWindow>

class QAction;
class QMenu;
class QMenuBar;
class QStatusBar;
class QToolBar;

class Ui_QUserMainWindowLin
{
public:
    QAction *actHelp = nullptr;
    QAction *actClr = nullptr;
    QAction *actSet = nullptr;
    QWidget *centralwidget = nullptr;
    QMenuBar *menubar = nullptr;
    QMenu *menu = nullptr;
    QMenu *menu_2 = nullptr;
    QStatusBar *statusbar = nullptr;
    QToolBar *toolBar = nullptr;

    void setupUi(QMainWindow *QUserMainWindowLin);
    void retranslateUi(QMainWindow *QUserMainWindowLin);
};

class QUserMainWindowLin : public QMainWindow
{
    Q_OBJECT

public:
    explicit QUserMainWindowLin(QWidget *parent = nullptr);
    ~QUserMainWindowLin() override;

    Ui_QUserMainWindowLin *form() const { return ui; }

private:
    Ui_QUserMainWindowLin *ui = nullptr;
};
