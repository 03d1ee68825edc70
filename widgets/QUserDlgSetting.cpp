#include "widgets/QUserDlgSetting.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

QUserDlgSetting::QUserDlgSetting(QWidget *parent) : QUserDlgTable(parent)
{
    setObjectName(QStringLiteral("QUserDlgSetting"));
    resize(518, 276);
    setWindowTitle(QStringLiteral("Form"));
    btnOk = new QPushButton(tr("确定"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(tr("取消"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOk, &QPushButton::clicked, this, &QUserDlgSetting::slotOkExit);
    connect(btnCancel, &QPushButton::clicked, this, &QUserDlgSetting::slotCancelExit);
}

QUserDlgSetting::~QUserDlgSetting()
{
    clearContent();
    delete btnOk;
    delete btnCancel;
    frame.release();
}

void QUserDlgSetting::slotOkExit()
{
    if (!frame)
        return;
    frame->dlgDone(1);
    itemsRead();
}

void QUserDlgSetting::slotCancelExit()
{
    frame.done(0);
}

void QUserDlgSetting::clearContent()
{
    // The buttons live on in the next layout: take them out of the old one
    // before it and its table go.
    if (btnOk)
        btnOk->setParent(nullptr);
    if (btnCancel)
        btnCancel->setParent(nullptr);
    items.clear();
    tableClear(); // deletes the editors in the table's cells
}

bool QUserDlgSetting::itemsSet(const QList<QUserDlgSettingItem> &rows)
{
    clearContent();
    QVBoxLayout *layout = tableStart();
    table->setColumnCount(3);
    table->setHorizontalHeaderLabels(QStringList() << tr("属性") << tr("值") << tr("注释"));
    table->horizontalHeader()->setVisible(true);
    table->horizontalHeader()->setMinimumHeight(10);
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    for (const QUserDlgSettingItem &given : rows) {
        const int r = table->rowCount();
        table->insertRow(r);
        items.append(given);
        QUserDlgSettingItem &row = items.last();
        // Rows from callers never carry editors; the dialog makes its own.
        row.comboBox.clear();
        row.lineEdit.clear();
        row.checkBox.clear();
        switch (row.itemType) {
        case QUserDlgSettingItem::Text:
            table->setItem(r, 0, new QTableWidgetItem(row.itemName));
            table->setItem(r, 1, new QTableWidgetItem(row.itemValue));
            table->setItem(r, 2, new QTableWidgetItem(row.itemComment));
            break;
        case QUserDlgSettingItem::Combo: {
            table->setItem(r, 0, new QTableWidgetItem(row.itemName));
            QComboBox *combo = new QComboBox;
            combo->addItems(row.comboItems);
            combo->setCurrentIndex(row.comboIndex < combo->count() ? row.comboIndex : 0);
            row.comboBox = combo;
            table->setCellWidget(r, 1, combo);
            table->setItem(r, 2, new QTableWidgetItem(row.itemComment));
            break;
        }
        case QUserDlgSettingItem::Edit: {
            table->setItem(r, 0, new QTableWidgetItem(row.itemName));
            QLineEdit *edit = new QLineEdit;
            edit->setText(row.itemValue);
            edit->setPlaceholderText(row.placeholderText);
            row.lineEdit = edit;
            table->setCellWidget(r, 1, edit);
            table->setItem(r, 2, new QTableWidgetItem(row.itemComment));
            break;
        }
        case QUserDlgSettingItem::Check: {
            table->setItem(r, 0, new QTableWidgetItem(row.itemName));
            QCheckBox *box = new QCheckBox;
            box->setText(row.itemValue);
            box->setChecked(row.itemChecked);
            row.checkBox = box;
            table->setCellWidget(r, 1, box);
            table->setItem(r, 2, new QTableWidgetItem(row.itemComment));
            break;
        }
        default:
            break;
        }
    }

    layout->addWidget(table);
    QHBoxLayout *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    setLayout(layout);
    table->resizeRowsToContents();
    table->resizeColumnsToContents();
    return true;
}

void QUserDlgSetting::itemsRead()
{
    for (QUserDlgSettingItem &row : items) {
        switch (row.itemType) {
        case QUserDlgSettingItem::Combo:
            if (row.comboBox) {
                row.itemValue = row.comboBox->currentText();
                row.comboIndex = row.comboBox->currentIndex();
            }
            break;
        case QUserDlgSettingItem::Edit:
            if (row.lineEdit)
                row.itemValue = row.lineEdit->text();
            break;
        case QUserDlgSettingItem::Check:
            if (row.checkBox)
                row.itemChecked = row.checkBox->checkState() == Qt::Checked;
            break;
        default:
            break;
        }
    }
}
