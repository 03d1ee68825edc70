#pragma once
// The one-line status strip of the main window: device text, transmit and
// receive rates and counts, and the clear button. A label is rewritten only
// when its own value changed.

#include <QString>
#include <QWidget>

class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

struct uiStatusBarInfo {
    quint32 txRate = 0;
    quint32 rxRate = 0;
    quint32 txCount = 0;
    quint32 rxCount = 0;
    QString devInfo;
    bool devAlarm = false; // the device text tells of a fault (a lost adapter): shown in red
};

class Ui_uiStatusBar
{
public:
    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QFrame *line = nullptr;
    QLabel *label_devInfo = nullptr;
    QFrame *line_2 = nullptr;
    QLabel *label_txRate = nullptr;
    QLabel *label_rxRate = nullptr;
    QFrame *line_3 = nullptr;
    QLabel *label_txCnt = nullptr;
    QLabel *label_rxCnt = nullptr;
    QFrame *line_5 = nullptr;
    QPushButton *pushButton_clr = nullptr;

    void setupUi(QWidget *uiStatusBar);
    void retranslateUi(QWidget *uiStatusBar);
};

class uiStatusBar : public QWidget
{
    Q_OBJECT

public:
    explicit uiStatusBar(QWidget *parent = nullptr);
    ~uiStatusBar() override;

    void statusUpdate(const uiStatusBarInfo &info);
    Ui_uiStatusBar *form() const { return ui; }

signals:
    void btnClrClick();

private:
    Ui_uiStatusBar *ui = nullptr;
    uiStatusBarInfo shown;
};
