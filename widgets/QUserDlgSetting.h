#pragma once
// The generic settings dialog: rows of "属性" / "值" / "注释", the value
// being a text, a combo box, a line edit or a check box.

#include "widgets/QUserDlgTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QLayout;
class QPushButton;
class QTableWidget;

// One settings row, a plain value. The editor pointers are filled only in
// the dialog's own rows; they never own the editors (the dialog's table
// does) and turn null when the dialog goes, so copies are always safe: a row
// that owned its editor would delete it a second time after the table, or
// leave its copies pointing at a deleted editor.
struct QUserDlgSettingItem {
    enum Type { Text = 0, Combo = 1, Edit = 2, Check = 3 };

    int itemType = Text;
    QString itemName;
    int comboIndex = 0;
    QString itemComment;
    QString itemValue;
    QPointer<QComboBox> comboBox;
    QStringList comboItems;
    QPointer<QLineEdit> lineEdit;
    QString placeholderText;
    QPointer<QCheckBox> checkBox;
    bool itemChecked = false;
};

class QUserDlgSetting : public QUserDlgTable
{
    Q_OBJECT

public:
    explicit QUserDlgSetting(QWidget *parent = nullptr);
    ~QUserDlgSetting() override;

    bool itemsSet(const QList<QUserDlgSettingItem> &rows);
    QList<QUserDlgSettingItem> *itemsGet() { return &items; }
    void itemsRead();

    QPushButton *okButton() const { return btnOk; }
    QPushButton *cancelButton() const { return btnCancel; }

private slots:
    void slotOkExit();
    void slotCancelExit();

private:
    void clearContent();

    QList<QUserDlgSettingItem> items;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
};
