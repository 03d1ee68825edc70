#pragma once
// Progress content widget in its own Dialog frame: a tip line and a bar
// that closes the frame with result 1 when the value reaches the maximum.
// Fed by slotProgressValueChange: code 1000 = value, 1001 = finished.

#include "widgets/Dialog.h"

#include <QWidget>

class QLabel;
class QProgressBar;
class QVBoxLayout;

class Ui_QUserDlgProgress
{
public:
    QVBoxLayout *verticalLayout = nullptr;
    QLabel *label_tip = nullptr;
    QProgressBar *progressBar = nullptr;

    void setupUi(QWidget *w);
    void retranslateUi(QWidget *w);
};

class QUserDlgProgress : public QWidget
{
    Q_OBJECT

public:
    enum Code { CodeValue = 1000, CodeFinished = 1001 };

    explicit QUserDlgProgress(QWidget *parent = nullptr);
    ~QUserDlgProgress() override;

    int dlgExec();
    int dlgShow();
    int dlgHide();
    int dlgDone();
    bool setTitle(const QString &text);
    bool setTip(const QString &text);
    bool setAutoClose(bool on);
    bool setRange(int min, int max);
    bool setValue(int value);

    Dialog *frameDlg() const { return frame.get(); }
    Ui_QUserDlgProgress *form() const { return ui; }
    int value() const { return curValue; }

public slots:
    void slotProgressValueChange(int code, int value);

private:
    void refresh();

    Ui_QUserDlgProgress *ui = nullptr;
    QUserOwnedFrame frame{this};
    bool autoClose = true;
    int minValue = 0;
    int maxValue = 100;
    int curValue = 0;
};
