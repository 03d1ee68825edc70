#pragma once
// The tools launcher: a small modal list of the tool windows that the main
// window opens on a click ("DBC解析", "DBC发送", "CANopen", "文件查看器").
// A click ends the list and leaves the item's text as the choice; closing
// the frame leaves no choice.

#include "widgets/Dialog.h"

#include <QString>
#include <QWidget>

class QListWidget;
class QListWidgetItem;

class Ui_QUserDlgTools
{
public:
    void setupUi(QWidget *w);
    void retranslateUi(QWidget *w);
};

class QUserDlgTools : public QWidget
{
    Q_OBJECT
public:
    // One entry of the list.
    struct Tool {
        const char *text; // display text, translated
        const char *icon;
    };
    // The entries in their order.
    static const Tool kTools[4];

    explicit QUserDlgTools(QWidget *parent = nullptr);
    ~QUserDlgTools() override;

    void uiInit();
    // Runs the list modally in its frame; returns 0.
    int dlgExec();
    // The text of the item clicked; empty when none was.
    QString toolSelGet() const { return selText; }

    Dialog *frameDlg() const { return frame.get(); }
    QListWidget *listWidget() const { return list; }

private slots:
    void slotItemClicked(QListWidgetItem *item);
    void slotDlgClose();
    void slotCancelExit();
    void slotOkExit();

private:
    Ui_QUserDlgTools *ui = nullptr;
    QUserOwnedFrame frame{this};
    QListWidget *list = nullptr;
    QString selText;
};
