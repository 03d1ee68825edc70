#pragma once
// The widget tree of the CAN message editor's content (built in code; the
// object names are fixed). A plain record of pointers; every widget is a
// child of the content widget.

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QWidget;

class Ui_uiDlgCanMsg
{
public:
    QGroupBox *groupBox_2 = nullptr;
    QLabel *label_label = nullptr;
    QComboBox *comboBox_proco = nullptr;
    QLabel *label_4 = nullptr;
    QComboBox *comboBox_format = nullptr;
    QLabel *label_5 = nullptr;
    QComboBox *comboBox_type = nullptr;
    QLabel *label_9 = nullptr;
    QLineEdit *lineEdit_id = nullptr;
    QLabel *label = nullptr;
    QLabel *label_10 = nullptr;
    QComboBox *comboBox_len = nullptr;
    QLabel *label_note = nullptr;
    QLineEdit *lineEdit_note = nullptr;
    QGroupBox *groupBox = nullptr;
    QTextEdit *textEdit_data = nullptr;
    QFrame *line = nullptr;
    QPushButton *pushButton_ok = nullptr;
    QPushButton *pushButton_cancel = nullptr;

    void setupUi(QWidget *form);
    void retranslateUi(QWidget *form);
};
