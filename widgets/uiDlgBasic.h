#pragma once
// The body of a message box: icon, text and OK (or OK and Cancel).

#include <QWidget>

class Dialog;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

class Ui_uiDlgBasic
{
public:
    QVBoxLayout *verticalLayout = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QLabel *label_ico = nullptr;
    QLabel *label_info = nullptr;
    QHBoxLayout *horizontalLayout_button = nullptr;

    void setupUi(QWidget *uiDlgBasic);
    void retranslateUi(QWidget *uiDlgBasic);
};

class uiDlgBasic : public QWidget
{
    Q_OBJECT

public:
    // OK variant.
    explicit uiDlgBasic(QWidget *parent);
    // OK / Cancel variant; mode is not used. Made without parent.
    explicit uiDlgBasic(int mode);
    ~uiDlgBasic() override;

    void setParentDlg(Dialog *dlg);
    void msgSet(const QString &text, const QString &iconPath);

    Ui_uiDlgBasic *form() const { return ui; }
    QPushButton *okButton() const { return btnOk; }
    QPushButton *cancelButton() const { return btnCancel; }

private slots:
    void okExit();
    void cancelExit();

private:
    Ui_uiDlgBasic *ui = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
    Dialog *parentDlg = nullptr;
};
