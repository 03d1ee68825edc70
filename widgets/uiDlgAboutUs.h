#pragma once
// Content of the about box: logo, program name with version and a link to
// the help page, owner information and OK.

#include <QWidget>

class Dialog;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QSpacerItem;
class QVBoxLayout;

class Ui_uiDlgAboutUs
{
public:
    QVBoxLayout *verticalLayout = nullptr;
    QLabel *label_logo = nullptr;
    QLabel *label_softName = nullptr;
    QLabel *label_owner = nullptr;
    QLabel *label_contact = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QSpacerItem *horizontalSpacer = nullptr;
    QPushButton *pushButton_ok = nullptr;

    void setupUi(QWidget *uiDlgAboutUs);
    void retranslateUi(QWidget *uiDlgAboutUs);
};

class uiDlgAboutUs : public QWidget
{
    Q_OBJECT

public:
    explicit uiDlgAboutUs(QWidget *parent = nullptr);
    ~uiDlgAboutUs() override;

    void setParentDlg(Dialog *dlg);
    Ui_uiDlgAboutUs *form() const { return ui; }

    // The help page the about box links to (the help actions open the same).
    static QString helpPageUrl();
    static QString versionText();

private slots:
    void okExit();

private:
    void contentInit();

    Ui_uiDlgAboutUs *ui = nullptr;
    Dialog *parentDlg = nullptr;
};
