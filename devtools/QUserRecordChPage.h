#pragma once
// One channel page of the recording adapter's settings dialog: the
// channel's protocol and bit timing (presets or custom fields), its record
// filter switch, file format and rotation, the storage buttons and a log
// pane that keeps the newest three lines. The page holds the channel's
// QUserRecordChCfg; the dialog copies between the two.

#include "devtools/QUserRecordChCfg.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class QUserRecordChPage : public QWidget
{
    Q_OBJECT

public:
    explicit QUserRecordChPage(QWidget *parent = nullptr);

    // "[yyyy-MM-dd HH:mm:ss] " and the text, black or red.
    void logAppend(const QString &text, bool error);
    // The log pane's lines, oldest first, and whether each is red.
    QStringList logLines() const;
    QList<bool> logErrors() const;

    QUserRecordChCfg cfg;

    QGroupBox *groupBox_baud;
    QLabel *label_workPro, *label_iso, *label_workMode, *label_aBaud, *label_dBaud;
    QComboBox *comboBox_workPro, *comboBox_iso, *comboBox_workMode, *comboBox_aBaud, *comboBox_dBaud;
    QCheckBox *checkBox_chEnable, *checkBox_selfBaud;

    QGroupBox *groupBox_selfBaud;
    QLabel *label_clkA, *label_clkB;
    QComboBox *comboBox_clkA, *comboBox_clkB;
    QLineEdit *lineEdit_aBrp, *lineEdit_aSjw, *lineEdit_aBs1, *lineEdit_aBs2;
    QLineEdit *lineEdit_dBrp, *lineEdit_dSjw, *lineEdit_dBs1, *lineEdit_dBs2;
    QWidget *widget_dLine; // the data phase's line of the custom group
    QLineEdit *lineEdit_baudText;
    QPushButton *pushButton_baudCal;

    QCheckBox *checkBox_fliterEn;
    QLineEdit *lineEdit_fliterNum;
    QPushButton *pushButton_fliterSet;

    QGroupBox *groupBox_file;
    QComboBox *comboBox_fileFormat, *comboBox_diskPolicy;
    QLineEdit *lineEdit_fileInterval;

    QGroupBox *groupBox_devMgr;
    QPushButton *pushButton_diskFormat, *pushButton_diskCap, *pushButton_devInfo, *pushButton_diskWRTest;
    QPlainTextEdit *plainTextEdit_log;

private:
    void pageUiBuild();
};
