// The "EDS" page of the CANopen window, part two: the PDO configuration.
// The communication and mapping parameters of the four receive and four
// transmit PDOs are edited here, objects are mapped by dragging them from
// the dictionary tree, and the whole configuration is uploaded from or
// downloaded to the node by SDO through the request thread.
#include "canopen/windows/QUserMainWindowCANopen.h"

#include "canopen/windows/QUserCANopenThread.h"
#include "canopen/QUserCANopenUiSetting.h"
#include "canopen/QUserEdsParser.h"
#include "widgets/QUserMessageBox.h"
#include "widgets/QUserTreeWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDebug>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Transmission types of the combo items 0-5; item 6 stands for 2-251.
const int kTransTypes[6] = {0, 1, 252, 253, 254, 255};

int transTypeItem(int type)
{
    for (int i = 0; i < 6; ++i)
        if (kTransTypes[i] == type)
            return i;
    return 6;
}

QString mapRowText(const QUserDictObj &obj)
{
    return QString::asprintf("[%04X,%02X]", obj.index, obj.subIndex) + QLatin1Char('[') + dataTypeText(obj)
        + QLatin1Char(']') + obj.ParameterName;
}

} // namespace

QWidget *QUserMainWindowCANopen::pdoPageCreat()
{
    QWidget *page = new QWidget;
    page->setObjectName(QStringLiteral("widgetPdoPage"));
    QHBoxLayout *layout = new QHBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);

    QGroupBox *setting = new QGroupBox(QStringLiteral("PDO Setting"));
    QGridLayout *g = new QGridLayout(setting);
    pdoTypeCombo = new QComboBox;
    pdoTypeCombo->setObjectName(QStringLiteral("comboBoxPdoType"));
    pdoTypeCombo->addItems({QStringLiteral("RPDO1"), QStringLiteral("RPDO2"), QStringLiteral("RPDO3"),
                            QStringLiteral("RPDO4"), QStringLiteral("TPDO1"), QStringLiteral("TPDO2"),
                            QStringLiteral("TPDO3"), QStringLiteral("TPDO4")});
    pdoEnableChk = new QCheckBox(tr("使能"));
    pdoEnableChk->setObjectName(QStringLiteral("checkBoxPdoEnable"));
    pdoCobIdEdit = new QLineEdit;
    pdoCobIdEdit->setObjectName(QStringLiteral("lineEditPdoCobId"));
    pdoTransTypeCombo = new QComboBox;
    pdoTransTypeCombo->setObjectName(QStringLiteral("comboBoxPdoTransType"));
    pdoTransTypeCombo->addItems({tr("非循环同步"), tr("循环同步"), tr("远程同步"), tr("远程异步"),
                                 tr("异步<制造商特定事件>"), tr("异步<设备子协议特定事件>"), tr("未知类型")});
    pdoInhibitEdit = new QLineEdit;
    pdoInhibitEdit->setObjectName(QStringLiteral("lineEditPdoInhibit"));
    pdoEventEdit = new QLineEdit;
    pdoEventEdit->setObjectName(QStringLiteral("lineEditPdoEvent"));
    pdoSyncStartEdit = new QLineEdit;
    pdoSyncStartEdit->setObjectName(QStringLiteral("lineEditPdoSyncStart"));
    int r = 0;
    g->addWidget(new QLabel(tr("参数类型:")), r, 0);
    g->addWidget(pdoTypeCombo, r, 1);
    g->addWidget(pdoEnableChk, r++, 2);
    g->addWidget(new QLabel(tr("COB-ID:0x")), r, 0);
    g->addWidget(pdoCobIdEdit, r++, 1);
    g->addWidget(new QLabel(tr("传输类型:")), r, 0);
    g->addWidget(pdoTransTypeCombo, r++, 1, 1, 2);
    g->addWidget(new QLabel(tr("约束时间(1/10ms):")), r, 0);
    g->addWidget(pdoInhibitEdit, r++, 1);
    g->addWidget(new QLabel(tr("事件定时时间(ms):")), r, 0);
    g->addWidget(pdoEventEdit, r++, 1);
    g->addWidget(new QLabel(tr("同步起始值:")), r, 0);
    g->addWidget(pdoSyncStartEdit, r, 1);
    g->addWidget(new QLabel(QStringLiteral("(1-240)")), r++, 2);
    const QFont yahei(QStringLiteral("Microsoft YaHei"));
    pdoUploadBtn = new QPushButton(tr("从") + tr("设备中") + tr("读取") + tr("配置"));
    pdoUploadBtn->setObjectName(QStringLiteral("pushButtonPdoUpload"));
    pdoUploadBtn->setFont(yahei);
    pdoDownloadBtn = new QPushButton(tr("往") + tr("设备中") + tr("写") + tr("配置"));
    pdoDownloadBtn->setObjectName(QStringLiteral("pushButtonPdoDownload"));
    pdoDownloadBtn->setFont(yahei);
    QHBoxLayout *buttons = new QHBoxLayout;
    buttons->addWidget(pdoUploadBtn);
    buttons->addWidget(pdoDownloadBtn);
    g->addLayout(buttons, r++, 0, 1, 3);
    g->setRowStretch(r, 1);
    layout->addWidget(setting);

    QGroupBox *mapping = new QGroupBox(tr("映射"));
    QVBoxLayout *mv = new QVBoxLayout(mapping);
    pdoTree = new QUserTreeWidget;
    pdoTree->setObjectName(QStringLiteral("treeWidgetPdo"));
    pdoTree->setHeaderLabel(QStringLiteral("TX/RX PDO"));
    pdoTree->setAcceptDrops(true);
    pdoTree->setDragDropMode(QAbstractItemView::DropOnly);
    pdoTree->setContextMenuPolicy(Qt::CustomContextMenu);
    mv->addWidget(pdoTree);
    layout->addWidget(mapping, 1);

    pdoTreeMenu = new QMenu(this);
    QAction *up = pdoTreeMenu->addAction(QIcon(QStringLiteral(":/res/upArrowGreen.png")), tr("上移一行"));
    QAction *down = pdoTreeMenu->addAction(QIcon(QStringLiteral(":/res/downArrowGreen.png")), tr("下移一行"));
    QAction *del = pdoTreeMenu->addAction(QIcon(QStringLiteral(":/res/errRed.png")), tr("删除当前行"));
    QAction *clr = pdoTreeMenu->addAction(QIcon(QStringLiteral(":/res/trash.png")), tr("清空"));
    connect(up, &QAction::triggered, this, &QUserMainWindowCANopen::slotEdsPdoTreePopMenueActUp);
    connect(down, &QAction::triggered, this, &QUserMainWindowCANopen::slotEdsPdoTreePopMenueActDown);
    connect(del, &QAction::triggered, this, &QUserMainWindowCANopen::slotEdsPdoTreePopMenueActDel);
    connect(clr, &QAction::triggered, this, &QUserMainWindowCANopen::slotEdsPdoTreePopMenueActClr);

    connect(pdoTree, &QUserTreeWidget::userDropEvent, this, &QUserMainWindowCANopen::slotEdsPdoTreeDropEvent);
    connect(pdoTree, &QTreeWidget::itemClicked, this, &QUserMainWindowCANopen::slotEdsPdoTreeWidgetItemClicked);
    connect(pdoTree, &QWidget::customContextMenuRequested, this, &QUserMainWindowCANopen::slotEdsPdoTreeWidgetPopMenue);
    connect(pdoUploadBtn, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotEdsPdoSettingLoadFromDevice);
    connect(pdoDownloadBtn, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotEdsPdoSettingSaveToDevice);

    pdoTreeUpdate();
    pdoSettingShow();
    return page;
}

// ---- PDO lists and tree ---------------------------------------------------------------------

QList<QUserDictObj> *QUserMainWindowCANopen::pdoListOf(const QString &text, int &n) const
{
    if (text.isEmpty())
        return nullptr;
    n = text.right(1).toInt();
    return text.contains(QLatin1String("RPDO")) ? &edsParser()->rxPdoList : &edsParser()->txPdoList;
}

void QUserMainWindowCANopen::pdoTreeUpdate()
{
    if (!pdoTree)
        return;
    pdoTree->clear();
    const QUserEdsParser *parser = edsParser();
    auto build = [this](const QString &name, const QList<QUserDictObj> &list) {
        QTreeWidgetItem *top = new QTreeWidgetItem(pdoTree);
        top->setText(0, name);
        for (int i = 0; i < list.size(); ++i) {
            QTreeWidgetItem *pdo = new QTreeWidgetItem(top);
            pdo->setText(0, name + QString::number(i + 1));
            for (const QUserDictObj &mapped : list[i].childList) {
                QTreeWidgetItem *row = new QTreeWidgetItem(pdo);
                row->setText(0, mapRowText(mapped));
            }
        }
    };
    build(QStringLiteral("RPDO"), parser->rxPdoList);
    build(QStringLiteral("TPDO"), parser->txPdoList);
    pdoTree->expandAll();
}

// The PDO entry an item stands for (a mapping row stands for its parent).
QUserDictObj *QUserMainWindowCANopen::pdoEntryOf(QTreeWidgetItem *item) const
{
    if (!item)
        return nullptr;
    QString text = item->text(0);
    if (text.isEmpty() || text == QLatin1String("RPDO") || text == QLatin1String("TPDO"))
        return nullptr;
    if (text.startsWith(QLatin1Char('['))) {
        if (!item->parent())
            return nullptr;
        text = item->parent()->text(0);
    }
    int n = 0;
    QList<QUserDictObj> *list = pdoListOf(text, n);
    if (!list || n < 1 || n > list->size())
        return nullptr;
    return &(*list)[n - 1];
}

int QUserMainWindowCANopen::pdoMapItemFind(QTreeWidgetItem *item, QUserDictObj *&pdo) const
{
    pdo = pdoEntryOf(item);
    if (!pdo || !item->text(0).startsWith(QLatin1Char('[')))
        return -1;
    for (int i = 0; i < pdo->childList.size(); ++i)
        if (mapRowText(pdo->childList[i]) == item->text(0))
            return i;
    return -1;
}

bool QUserMainWindowCANopen::pdoMapCheck(const QUserDictObj &pdo, const QUserDictObj &obj, bool rx)
{
    if (!obj.PDOMapping) {
        QUserMessageBox::msgWarning(this, tr("警告"), tr("该对象不支持映射!"));
        return false;
    }
    if (rx && !obj.AccessType.contains(QLatin1Char('w'), Qt::CaseInsensitive)) {
        QUserMessageBox::msgWarning(this, tr("警告"), tr("只读属性的对象只能映射到TPDO中"));
        return false;
    }
    int bits = obj.mapBits();
    for (const QUserDictObj &mapped : pdo.childList)
        bits += mapped.mapBits();
    if (bits > 64) {
        QUserMessageBox::msgWarning(this, tr("警告"), tr("此PDO最大只支持8个字节的数据"));
        return false;
    }
    return true;
}

void QUserMainWindowCANopen::slotEdsPdoTreeDropEvent(QDropEvent *event)
{
    if (!event || !event->mimeData() || !pdoTree)
        return;
    QTreeWidgetItem *target = pdoTree->itemAt(event->pos());
    if (!target)
        return;
    const QMimeData *mime = event->mimeData();
    const QString parentText = mime->text();
    const QString itemText = mime->html();
    bool ok = false;
    QUserDictObj obj;
    if (parentText.isEmpty()) {
        const uint32_t index = itemText.split(QLatin1Char(' ')).value(0).toUInt(&ok, 16);
        if (!ok || !dictObjFind(index, 0, true, obj))
            return;
    } else {
        const uint32_t index = parentText.split(QLatin1Char(' ')).value(0).toUInt(&ok, 16);
        if (!ok)
            return;
        const uint32_t sub = itemText.split(QLatin1Char(' ')).value(0).toUInt(&ok, 16);
        if (!ok || !dictObjFind(index, sub, false, obj))
            return;
    }
    QUserDictObj *pdo = pdoEntryOf(target);
    if (!pdo)
        return;
    QString pdoText = target->text(0).startsWith(QLatin1Char('[')) ? target->parent()->text(0) : target->text(0);
    const bool rx = pdoText.contains(QLatin1String("RPDO"));
    if (!pdoMapCheck(*pdo, obj, rx))
        return;
    obj.childList.clear();
    pdo->childList.append(obj);
    pdoTreeUpdate();
    event->acceptProposedAction();
}

void QUserMainWindowCANopen::slotEdsPdoTreeWidgetItemClicked(QTreeWidgetItem *item, int)
{
    QUserDictObj *pdo = pdoEntryOf(item);
    if (!pdo || !pdoTypeCombo)
        return;
    QString text = item->text(0).startsWith(QLatin1Char('[')) ? item->parent()->text(0) : item->text(0);
    pdoTypeCombo->setCurrentText(text);
}

void QUserMainWindowCANopen::slotEdsPdoTreeWidgetPopMenue(QPoint)
{
    if (!pdoTree || !pdoTreeMenu) {
        qDebug() << "ERROR: PopMenu Not Ready...";
        return;
    }
    pdoTreeMenu->popup(QCursor::pos());
}

void QUserMainWindowCANopen::slotEdsPdoTreePopMenueActUp()
{
    QUserDictObj *pdo = nullptr;
    const int pos = pdoMapItemFind(pdoTree ? pdoTree->currentItem() : nullptr, pdo);
    if (!pdo || pdo->childList.size() < 2)
        return;
    if (pos > 0)
        pdo->childList.swapItemsAt(pos, pos - 1);
    pdoTreeUpdate();
}

void QUserMainWindowCANopen::slotEdsPdoTreePopMenueActDown()
{
    QUserDictObj *pdo = nullptr;
    const int pos = pdoMapItemFind(pdoTree ? pdoTree->currentItem() : nullptr, pdo);
    if (!pdo || pdo->childList.size() < 2)
        return;
    if (pos >= 0 && pos + 1 < pdo->childList.size())
        pdo->childList.swapItemsAt(pos, pos + 1);
    pdoTreeUpdate();
}

void QUserMainWindowCANopen::slotEdsPdoTreePopMenueActDel()
{
    QUserDictObj *pdo = nullptr;
    const int pos = pdoMapItemFind(pdoTree ? pdoTree->currentItem() : nullptr, pdo);
    if (!pdo || pdo->childList.isEmpty())
        return;
    if (pos >= 0)
        pdo->childList.removeAt(pos);
    pdoTreeUpdate();
}

void QUserMainWindowCANopen::slotEdsPdoTreePopMenueActClr()
{
    for (QUserDictObj &pdo : edsParser()->rxPdoList)
        pdo.childList.clear();
    for (QUserDictObj &pdo : edsParser()->txPdoList)
        pdo.childList.clear();
    pdoTreeUpdate();
}

// ---- PDO settings ----------------------------------------------------------------------------

void QUserMainWindowCANopen::pdoSettingConnect(bool on)
{
    if (!pdoTypeCombo)
        return;
    if (!on) {
        pdoTypeCombo->disconnect(this);
        pdoEnableChk->disconnect(this);
        pdoCobIdEdit->disconnect(this);
        pdoInhibitEdit->disconnect(this);
        pdoEventEdit->disconnect(this);
        pdoSyncStartEdit->disconnect(this);
        pdoTransTypeCombo->disconnect(this);
        return;
    }
    connect(pdoTypeCombo, &QComboBox::currentTextChanged, this,
            &QUserMainWindowCANopen::slotEdsPdoSetComboxPdoTypeChanged);
    connect(pdoEnableChk, &QCheckBox::stateChanged, this, &QUserMainWindowCANopen::slotEdsPdoSettingChkBoxStateChanged);
    for (QLineEdit *e : {pdoCobIdEdit, pdoInhibitEdit, pdoEventEdit, pdoSyncStartEdit})
        connect(e, &QLineEdit::textEdited, this, &QUserMainWindowCANopen::slotEdsPdoSettingEdited);
    connect(pdoTransTypeCombo, &QComboBox::currentTextChanged, this, &QUserMainWindowCANopen::slotEdsPdoSettingEdited);
}

void QUserMainWindowCANopen::pdoSettingShow()
{
    if (!pdoTypeCombo)
        return;
    pdoSettingConnect(false);
    int n = 0;
    QList<QUserDictObj> *list = pdoListOf(pdoTypeCombo->currentText(), n);
    const bool tx = pdoTypeCombo->currentText().contains(QLatin1String("TPDO"));
    if (list && n >= 1 && n <= list->size()) {
        const QUserDictObj &pdo = list->at(n - 1);
        pdoEnableChk->setEnabled(true);
        pdoEnableChk->setChecked(pdo.pdoEnable);
        pdoTransTypeCombo->setCurrentIndex(transTypeItem(pdo.transmissionType));
        pdoCobIdEdit->setText(QString::asprintf("%X", pdo.cobID));
        const bool event = tx && (pdo.transmissionType == 254 || pdo.transmissionType == 255);
        pdoInhibitEdit->setEnabled(event);
        pdoEventEdit->setEnabled(event);
        pdoInhibitEdit->setText(event ? QString::number(pdo.inhibitTime) : QString());
        pdoEventEdit->setText(event ? QString::number(pdo.eventTime) : QString());
        const bool sync = pdo.transmissionType == 1;
        pdoSyncStartEdit->setEnabled(sync);
        pdoSyncStartEdit->setText(sync ? QString::number(pdo.syncStartValue) : QString());
    } else {
        // A project with fewer than four entries: nothing to show or edit.
        pdoEnableChk->setChecked(false);
        pdoEnableChk->setEnabled(false);
        pdoCobIdEdit->clear();
        for (QLineEdit *e : {pdoInhibitEdit, pdoEventEdit, pdoSyncStartEdit}) {
            e->clear();
            e->setEnabled(false);
        }
    }
    pdoSettingConnect(true);
}

void QUserMainWindowCANopen::pdoSettingRead()
{
    if (!pdoTypeCombo)
        return;
    int n = 0;
    QList<QUserDictObj> *list = pdoListOf(pdoTypeCombo->currentText(), n);
    if (!list || n < 1 || n > list->size())
        return;
    QUserDictObj &pdo = (*list)[n - 1];
    pdo.pdoEnable = pdoEnableChk->isChecked();
    const int item = pdoTransTypeCombo->currentIndex();
    if (item >= 0 && item < 6)
        pdo.transmissionType = uint8_t(kTransTypes[item]);
    pdo.cobID = pdoCobIdEdit->text().trimmed().toUInt(nullptr, 16);
    pdo.inhibitTime = uint16_t(pdoInhibitEdit->text().trimmed().toUInt(nullptr, 10));
    pdo.eventTime = uint16_t(pdoEventEdit->text().trimmed().toUInt(nullptr, 10));
    pdo.syncStartValue = uint8_t(pdoSyncStartEdit->text().trimmed().toUInt(nullptr, 10));
}

void QUserMainWindowCANopen::slotEdsPdoSetComboxPdoTypeChanged(QString)
{
    pdoSettingShow();
}

void QUserMainWindowCANopen::slotEdsPdoSettingEdited(QString)
{
    pdoSettingRead();
    pdoSettingShow();
}

void QUserMainWindowCANopen::slotEdsPdoSettingChkBoxStateChanged(int)
{
    pdoSettingRead();
    pdoSettingShow();
}

// ---- transfers --------------------------------------------------------------------------------

void QUserMainWindowCANopen::slotEdsPdoSettingLoadFromDevice()
{
    edsLogAppend(0, tr("PDO配置从设备上传..."));
    if (edsParser()->dictObjList.isEmpty()) {
        edsLogAppend(2, tr("错误:请先导入EDS文件!!!"));
        QUserMessageBox::msgWarning(this, tr("错误"), tr("错误:请先导入EDS文件!!!"));
        return;
    }
    QVector<QUserDictObj> list;
    edsParser()->pdoUploadListGet(list);
    reqSdoReadListPost(list);
}

void QUserMainWindowCANopen::slotEdsPdoSettingSaveToDevice()
{
    edsLogAppend(0, tr("PDO配置下载到设备..."));
    if (!cia301NodeIdGet())
        return;
    if (edsParser()->dictObjList.isEmpty()) {
        edsLogAppend(2, tr("错误:请先导入EDS文件!!!"));
        QUserMessageBox::msgWarning(this, tr("错误"), tr("错误:请先导入EDS文件!!!"));
        return;
    }
    QUserCanMsg nmt;
    if (!decoder.nmtMsgCreat(nmt, uiSetting->cia301.nodeId, 2))
        return;
    QVector<QUserDictObj> list;
    QStringList notes;
    edsParser()->pdoDownloadListGet(list, &notes);
    for (const QString &note : qAsConst(notes))
        edsLogAppend(1, note);
    reqMsgListSendPost({nmt});
    reqSdoWriteListPost(list);
}
