// The "EDS" page of the CANopen window, part one: the dictionary tree with
// its filter and menu, the EDS information table, and the listen list whose
// rows are read from and written to the device by SDO.
#include "canopen/windows/QUserMainWindowCANopen.h"

#include "canopen/windows/QUserCANopenThread.h"
#include "canopen/QUserCANopenUiSetting.h"
#include "canopen/QUserEdsParser.h"
#include "canopen/windows/QUserTableModelEDS.h"
#include "dbc/QUserButtonDelegate.h"
#include "dbc/QUserDbcTableDelegate.h"
#include "widgets/QUserDlgInfo.h"
#include "widgets/QUserMessageBox.h"
#include "widgets/QUserPrompt.h"
#include "widgets/QUserTableView.h"
#include "widgets/QUserTreeWidget.h"

#include <QColorDialog>
#include <QComboBox>
#include <QCursor>
#include <QDebug>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QStandardItem>
#include <QTableWidget>
#include <QTextEdit>
#include <QVBoxLayout>

#include <cstdlib>

namespace {

QFont treeFont()
{
    QFont f(QStringLiteral("Calibri"), 10);
    f.setBold(true);
    return f;
}

QString randomColor()
{
    const int r = std::rand() % 256;
    const int g = std::rand() % 256;
    const int b = std::rand() % 256;
    return QStringLiteral("%1,%2,%3").arg(r).arg(g).arg(b);
}

// The hexadecimal key field of a tree item text ("1018 Identity", "01 Vendor-ID").
QString keyField(const QString &text)
{
    return text.split(QLatin1Char(' ')).value(0);
}

} // namespace

// ---- building -----------------------------------------------------------------------------

QWidget *QUserMainWindowCANopen::dictTreeCreat()
{
    QGroupBox *box = new QGroupBox(tr("对象字典"));
    QVBoxLayout *layout = new QVBoxLayout(box);
    QHBoxLayout *filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel(tr("过滤:")));
    dictFliterEdit = new QLineEdit;
    dictFliterEdit->setObjectName(QStringLiteral("lineEditDictFliter"));
    dictFliterEdit->setPlaceholderText(tr("索引(16进制)或名称"));
    dictFliterEdit->setText(uiSetting->dictFilterText);
    filterRow->addWidget(dictFliterEdit);
    layout->addLayout(filterRow);

    dictTree = new QUserTreeWidget;
    dictTree->setObjectName(QStringLiteral("treeWidgetDict"));
    dictTree->setHeaderHidden(true);
    dictTree->setColumnCount(1);
    // Names whole: the column as wide as the longest one, scrolled across
    // when the pane is narrower.
    dictTree->header()->setStretchLastSection(false);
    dictTree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    dictTree->setTextElideMode(Qt::ElideNone);
    dictTree->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    dictTree->setDragEnabled(true);
    dictTree->setDragDropMode(QAbstractItemView::DragOnly);
    dictTree->setSelectionMode(QAbstractItemView::SingleSelection);
    dictTree->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(dictTree);

    dictTreeMenu = new QMenu(this);
    QAction *add = dictTreeMenu->addAction(QIcon(QStringLiteral(":/res/branch_open.png")), tr("添加到监听列表"));
    QAction *clr = dictTreeMenu->addAction(QIcon(QStringLiteral(":/res/trash.png")), tr("删除所有对象"));
    QAction *attr = dictTreeMenu->addAction(QIcon(QStringLiteral(":/res/msg_icon_info.png")), tr("属性"));
    connect(add, &QAction::triggered, this, &QUserMainWindowCANopen::slotEdsTreeWidgetPopMenueActAdd);
    connect(clr, &QAction::triggered, this, &QUserMainWindowCANopen::slotEdsTreeWidgetPopMenueActClr);
    connect(attr, &QAction::triggered, this, &QUserMainWindowCANopen::slotEdsTreeWidgetPopMenueActAttribute);

    connect(dictFliterEdit, &QLineEdit::textChanged, this, &QUserMainWindowCANopen::slotEdsDictObjListFliterChange);
    connect(dictTree, &QTreeWidget::itemDoubleClicked, this, &QUserMainWindowCANopen::slotEdsTreeWidgetItemDoubleClick);
    connect(dictTree, &QWidget::customContextMenuRequested, this, &QUserMainWindowCANopen::slotEdsTreeWidgetPopMenue);
    edsTreeUpdate();
    return box;
}

QWidget *QUserMainWindowCANopen::edsInfoCreat()
{
    QGroupBox *box = new QGroupBox(tr("EDS信息"));
    QVBoxLayout *layout = new QVBoxLayout(box);
    edsInfoTypeCombo = new QComboBox;
    edsInfoTypeCombo->setObjectName(QStringLiteral("comboBoxEdsInfoType"));
    edsInfoTypeCombo->addItems({tr("文件信息"), tr("设备信息")});
    layout->addWidget(edsInfoTypeCombo);
    edsInfoTable = new QTableWidget;
    edsInfoTable->setObjectName(QStringLiteral("tableWidgetEdsInfo"));
    edsInfoTable->setColumnCount(2);
    edsInfoTable->setHorizontalHeaderLabels({tr("属性"), tr("值")});
    edsInfoTable->horizontalHeader()->setStretchLastSection(true);
    edsInfoTable->verticalHeader()->setVisible(false);
    edsInfoTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    edsInfoTable->setAlternatingRowColors(true);
    layout->addWidget(edsInfoTable);
    connect(edsInfoTypeCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &QUserMainWindowCANopen::slotEdsFileInfoTypeChange);
    edsInfoTableUpdate();
    return box;
}

QWidget *QUserMainWindowCANopen::listenListCreat()
{
    QGroupBox *box = new QGroupBox(tr("监听列表"));
    QVBoxLayout *layout = new QVBoxLayout(box);
    listenView = new QUserTableView;
    listenView->setObjectName(QStringLiteral("tableViewListen"));
    if (!listenObjModel)
        listenObjModel = new QUserTableModelEDS;
    listenObjModel->setObjectName(QStringLiteral("listenObjModel"));
    listenView->setUserModel(listenObjModel);
    listenObjModel->setColumnCount(QUserTableModelEDS::ColumnCount);
    listenObjModel->setHorizontalHeaderLabels({tr("序号"), tr("主索引"), tr("子索引"), tr("名称"), tr("颜色"),
                                               tr("更新时间"), tr("当前值(10进制)"), tr("当前值(16进制)"),
                                               tr("最小值"), tr("最大值"), tr("写操作"), tr("读操作"), tr("备注")});
    listenView->setItemDelegateForColumn(QUserTableModelEDS::ColColor, new QUserDbcTableDelegate(listenView));
    listenView->setItemDelegateForColumn(QUserTableModelEDS::ColWrite, new QUserButtonDelegate(listenView));
    listenView->setItemDelegateForColumn(QUserTableModelEDS::ColRead, new QUserButtonDelegate(listenView));
    listenView->setEditTriggers(QAbstractItemView::DoubleClicked);
    listenView->horizontalHeader()->setStretchLastSection(true);
    listenView->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    listenView->verticalHeader()->setVisible(false);
    listenView->setSelectionBehavior(QAbstractItemView::SelectRows);
    listenView->setSelectionMode(QAbstractItemView::SingleSelection);
    listenView->setAlternatingRowColors(true);
    listenView->setAcceptDrops(true);
    listenView->setDragDropMode(QAbstractItemView::DropOnly);
    listenView->setDropIndicatorShown(true);
    listenView->setContextMenuPolicy(Qt::CustomContextMenu);
    listenView->resizeColumnsToContents();

    QHBoxLayout *tableRow = new QHBoxLayout;
    tableRow->setSpacing(0);
    tableRow->addWidget(listenView);
    if (listenView->vScrollBar) {
        tableRow->addWidget(listenView->vScrollBar);
        listenView->vScrollBar->setVisible(true);
    }
    layout->addLayout(tableRow);

    listenMenu = new QMenu(this);
    QAction *up = listenMenu->addAction(QIcon(QStringLiteral(":/res/upArrowGreen.png")), tr("上移一行"));
    QAction *down = listenMenu->addAction(QIcon(QStringLiteral(":/res/downArrowGreen.png")), tr("下移一行"));
    QAction *del = listenMenu->addAction(QIcon(QStringLiteral(":/res/errRed.png")), tr("删除当前行"));
    QAction *clr = listenMenu->addAction(QIcon(QStringLiteral(":/res/trash.png")), tr("清空表格"));
    connect(up, &QAction::triggered, this, &QUserMainWindowCANopen::slotEdsListenObjListTabPopMenueActUp);
    connect(down, &QAction::triggered, this, &QUserMainWindowCANopen::slotEdsListenObjListTabPopMenueActDown);
    connect(del, &QAction::triggered, this, &QUserMainWindowCANopen::slotEdsListenObjListTabPopMenueActDel);
    connect(clr, &QAction::triggered, this, &QUserMainWindowCANopen::slotEdsListenObjListTabPopMenueActClr);

    connect(listenView, &QUserTableView::userDropEvent, this, &QUserMainWindowCANopen::slotEdsListenObjListTabDropEvent);
    connect(listenView, &QAbstractItemView::clicked, this, &QUserMainWindowCANopen::slotEdsListenObjTabItemClick);
    connect(listenView, &QAbstractItemView::doubleClicked, this,
            &QUserMainWindowCANopen::slotEdsListenObjTabItemDoubleClick);
    connect(listenObjModel, &QStandardItemModel::itemChanged, this,
            &QUserMainWindowCANopen::slotEdsListenObjTabItemChanged);
    connect(listenView, &QWidget::customContextMenuRequested, this,
            &QUserMainWindowCANopen::slotEdsListenObjListTabPopMenue);
    return box;
}

// ---- dictionary tree ----------------------------------------------------------------------

void QUserMainWindowCANopen::edsTreeUpdate()
{
    if (!dictTree)
        return;
    dictTree->clear();
    const QList<QUserDictObj> &dict = edsParser()->dictObjList;
    const QFont font = treeFont();
    if (dict.isEmpty()) {
        QTreeWidgetItem *empty = new QTreeWidgetItem(dictTree);
        empty->setText(0, tr("列表空!请先导入EDS文件!"));
        return;
    }
    const QString filter = uiSetting->dictFilterText;
    bool isHex = false;
    filter.toUInt(&isHex, 16);
    for (const QUserDictObj &obj : dict) {
        if (!filter.isEmpty()) {
            const bool shown = isHex ? QString::number(obj.index, 16).contains(filter, Qt::CaseInsensitive)
                                     : obj.ParameterName.contains(filter, Qt::CaseInsensitive);
            if (!shown)
                continue;
        }
        QTreeWidgetItem *top = new QTreeWidgetItem(dictTree);
        top->setText(0, QString::asprintf("%04X ", obj.index) + obj.ParameterName);
        top->setFont(0, font);
        for (const QUserDictObj &sub : obj.childList) {
            QTreeWidgetItem *child = new QTreeWidgetItem(top);
            child->setText(0, QString::asprintf("%02X ", sub.subIndex) + sub.ParameterName);
            child->setFont(0, font);
        }
    }
}

void QUserMainWindowCANopen::slotEdsDictObjListFliterChange(QString text)
{
    uiSetting->dictFilterText = text;
    edsTreeUpdate();
}

int QUserMainWindowCANopen::dictObjFind(uint32_t index, uint32_t subIndex, bool whole, QUserDictObj &out) const
{
    for (const QUserDictObj &obj : edsParser()->dictObjList) {
        if (obj.index != index)
            continue;
        if (whole) {
            out = obj;
            return 1;
        }
        for (const QUserDictObj &sub : obj.childList) {
            if (sub.subIndex == subIndex) {
                out = sub;
                return 1;
            }
        }
        return 0;
    }
    return 0;
}

bool QUserMainWindowCANopen::treeItemKey(QTreeWidgetItem *item, uint32_t &index, uint32_t &subIndex,
                                         bool &whole) const
{
    if (!item)
        return false;
    const QString key = keyField(item->text(0));
    bool ok = false;
    if (key.size() == 4) {
        index = key.toUInt(&ok, 16);
        subIndex = 0;
        whole = true;
        return ok;
    }
    if (key.size() == 2 && item->parent()) {
        subIndex = key.toUInt(&ok, 16);
        if (!ok)
            return false;
        index = keyField(item->parent()->text(0)).toUInt(&ok, 16);
        whole = false;
        return ok;
    }
    return false;
}

void QUserMainWindowCANopen::dictObjAttributeShow(const QUserDictObj &obj, bool warnOnFail)
{
    QList<QStringList> rows;
    if (!obj.toString(rows, edsNodeId())) {
        if (warnOnFail)
            QUserMessageBox::msgWarning(this, tr("提示"), tr("格式错误!!!"));
        return;
    }
    QUserDlgInfo dlg;
    dlg.dlgInitIcon(obj.ParameterName, QStringLiteral(":/res/msg_icon_info.png"));
    dlg.infoSet(rows);
    dlg.dlgExec();
}

void QUserMainWindowCANopen::slotEdsTreeWidgetItemDoubleClick(QTreeWidgetItem *item, int column)
{
    if (column != 0)
        return;
    uint32_t index = 0;
    uint32_t sub = 0;
    bool whole = false;
    QUserDictObj obj;
    if (!treeItemKey(item, index, sub, whole) || !dictObjFind(index, sub, whole, obj))
        return;
    dictObjAttributeShow(obj, false);
}

void QUserMainWindowCANopen::slotEdsTreeWidgetPopMenue(QPoint)
{
    if (!dictTree || !dictTreeMenu) {
        qDebug() << "ERROR: PopMenu Not Ready...";
        return;
    }
    dictTreeMenu->popup(QCursor::pos());
}

void QUserMainWindowCANopen::slotEdsTreeWidgetPopMenueActAdd()
{
    if (edsParser()->dictObjList.isEmpty() || !dictTree)
        return;
    QTreeWidgetItem *item = dictTree->currentItem();
    if (!item)
        return;
    const QString key = keyField(item->text(0));
    if (key.size() == 2 && item->parent())
        slotEdsListenObjListTabDropEvent(item->parent()->text(0), item->text(0));
    else if (key.size() == 4)
        slotEdsListenObjListTabDropEvent(QString(), item->text(0));
}

void QUserMainWindowCANopen::slotEdsTreeWidgetPopMenueActClr()
{
    if (edsInfoTable)
        edsInfoTable->setRowCount(0);
    if (dictTree)
        dictTree->clear();
}

void QUserMainWindowCANopen::slotEdsTreeWidgetPopMenueActAttribute()
{
    if (!dictTree)
        return;
    uint32_t index = 0;
    uint32_t sub = 0;
    bool whole = false;
    QUserDictObj obj;
    if (!treeItemKey(dictTree->currentItem(), index, sub, whole) || !dictObjFind(index, sub, whole, obj))
        return;
    dictObjAttributeShow(obj, true);
}

// ---- listen list ----------------------------------------------------------------------------

void QUserMainWindowCANopen::listenObjAdd(QUserDictObj obj)
{
    obj.color = randomColor();
    obj.updateTimeSet();
    if (listenObjModel->dictObjContains(obj)) {
        QUserMessageBox::msgWarning(this, tr("错误"), tr("对象已存在!"));
        return;
    }
    listenObjModel->dictObjAdd(obj);
}

void QUserMainWindowCANopen::slotEdsListenObjListTabDropEvent(QString parentText, QString itemText)
{
    if (!listenObjModel)
        return;
    bool ok = false;
    QUserDictObj obj;
    if (parentText.isEmpty()) {
        const uint32_t index = keyField(itemText).toUInt(&ok, 16);
        if (!ok || !dictObjFind(index, 0, true, obj))
            return;
    } else {
        const uint32_t index = keyField(parentText).toUInt(&ok, 16);
        if (!ok)
            return;
        const uint32_t sub = keyField(itemText).toUInt(&ok, 16);
        if (!ok || !dictObjFind(index, sub, false, obj))
            return;
    }
    if (obj.childList.isEmpty()) {
        listenObjAdd(obj);
    } else {
        for (const QUserDictObj &sub : qAsConst(obj.childList))
            listenObjAdd(sub);
    }
    // The rows are filled first (the model waits out its refresh
    // interval), so that the columns fit the object just added.
    if (listenView && listenObjModel) {
        listenObjModel->rowsFill();
        listenView->resizeColumnsToContents();
    }
}

void QUserMainWindowCANopen::slotEdsListenObjTabItemClick(QModelIndex index)
{
    if (!index.isValid() || index.row() < 0 || index.column() < 0 || !listenObjModel)
        return;
    QUserDictObj *obj = listenObjModel->dictObjAt(listenObjModel->windowStart() + index.row());
    if (!obj) {
        qDebug() << "错误:字典对象信息获取失败...";
        return;
    }
    if (index.column() == QUserTableModelEDS::ColWrite && obj->isWritable()) {
        obj->isRead = false;
        reqSdoTransferPost({*obj});
    } else if (index.column() == QUserTableModelEDS::ColRead && obj->isReadable()) {
        // const objects (the device name, the identity) are read as well.
        obj->isRead = true;
        reqSdoTransferPost({*obj});
    }
}

void QUserMainWindowCANopen::slotEdsListenObjTabItemDoubleClick(QModelIndex index)
{
    if (!index.isValid() || index.row() < 0 || index.column() < 0 || !listenObjModel)
        return;
    QUserDictObj *obj = listenObjModel->dictObjAt(listenObjModel->windowStart() + index.row());
    if (!obj) {
        qDebug() << "错误:字典对象信息获取失败...";
        return;
    }
    switch (index.column()) {
    case QUserTableModelEDS::ColName:
        dictObjAttributeShow(*obj, true);
        break;
    case QUserTableModelEDS::ColColor: {
        const QStringList parts = obj->color.split(QLatin1Char(','));
        QColor current(parts.value(0).toInt(), parts.value(1).toInt(), parts.value(2).toInt());
        QColorDialog dlg(current, this);
        dlg.setWindowTitle(tr("颜色选择对话框"));
        dlg.setGeometry(200, 200, 300, 300);
        if (QUserPrompt::instance()->exec(&dlg) == QDialog::Accepted) {
            const QColor c = dlg.selectedColor().isValid() ? dlg.selectedColor() : dlg.currentColor();
            obj->color = QStringLiteral("%1,%2,%3").arg(c.red()).arg(c.green()).arg(c.blue());
            listenObjModel->windowUpdate();
        }
        break;
    }
    case QUserTableModelEDS::ColValueDec:
    case QUserTableModelEDS::ColValueHex:
        uiSetting->listenEditRow = index.row();
        uiSetting->listenEditColumn = index.column();
        break;
    default:
        break;
    }
}

void QUserMainWindowCANopen::slotEdsListenObjTabItemChanged(QStandardItem *item)
{
    if (!item || !listenObjModel || listenObjModel->isFilling())
        return;
    if (item->row() != uiSetting->listenEditRow || item->column() != uiSetting->listenEditColumn)
        return;
    uiSetting->listenEditRow = -1;
    uiSetting->listenEditColumn = -1;
    QUserDictObj *obj = listenObjModel->dictObjAt(listenObjModel->windowStart() + item->row());
    if (!obj) {
        qDebug() << "错误:字典对象信息获取失败...";
        return;
    }
    const QString text = item->text().trimmed();
    if (text.isEmpty())
        return;
    if (item->column() == QUserTableModelEDS::ColValueDec)
        // Signed or unsigned, as the cell shows it: an UNSIGNED32 above
        // 2^31 as well as a negative INTEGER16.
        obj->curValue = uint32_t(text.toLongLong(nullptr, 10));
    else
        obj->curValue = text.toUInt(nullptr, 16);
    listenObjModel->windowUpdate();
}

void QUserMainWindowCANopen::slotEdsListenObjListTabPopMenue(QPoint pos)
{
    if (!listenView || !listenObjModel || !listenMenu) {
        qDebug() << "ERROR: Listen Sig List PopMenu Not Ready...";
        return;
    }
    const QModelIndex index = listenView->indexAt(pos);
    uiSetting->listenMenuRow = index.isValid() ? index.row() : -1;
    uiSetting->listenMenuColumn = index.isValid() ? index.column() : -1;
    uiSetting->listenMenuX = pos.x();
    uiSetting->listenMenuY = pos.y();
    listenMenu->popup(QCursor::pos());
}

void QUserMainWindowCANopen::slotEdsListenObjListTabPopMenueActUp()
{
    if (!listenObjModel || uiSetting->listenMenuRow < 0)
        return;
    const int rows = listenObjModel->cacheCount();
    const int r = listenObjModel->windowStart() + uiSetting->listenMenuRow;
    if (rows >= 2 && r > 0 && r < rows)
        listenObjModel->dictObjSwap(r, r - 1);
}

void QUserMainWindowCANopen::slotEdsListenObjListTabPopMenueActDown()
{
    if (!listenObjModel || uiSetting->listenMenuRow < 0)
        return;
    const int rows = listenObjModel->cacheCount();
    const int r = listenObjModel->windowStart() + uiSetting->listenMenuRow;
    if (rows >= 2 && r + 1 < rows)
        listenObjModel->dictObjSwap(r, r + 1);
}

void QUserMainWindowCANopen::slotEdsListenObjListTabPopMenueActDel()
{
    if (!listenObjModel || uiSetting->listenMenuRow < 0)
        return;
    const int r = listenObjModel->windowStart() + uiSetting->listenMenuRow;
    if (r >= listenObjModel->cacheCount())
        return;
    if (QUserMessageBox::msgQuestionEx(this, tr("警告"), tr("是否删除该信号?")) == 1)
        listenObjModel->dictObjRemove(r);
}

void QUserMainWindowCANopen::slotEdsListenObjListTabPopMenueActClr()
{
    if (!listenObjModel || listenObjModel->cacheCount() < 1)
        return;
    if (QUserMessageBox::msgQuestionEx(this, tr("警告"), tr("是否删除所有对象?")) == 1)
        listenObjModel->clear();
}

void QUserMainWindowCANopen::slotCANopenThreadDictObjValueChangeNotice(uint index, uint subIndex, bool isWrite,
                                                                       uint value, uint sizeIndicated)
{
    if (listenObjModel)
        listenObjModel->dictObjValueUpdate(index, subIndex, isWrite, value, int(sizeIndicated));
}

// ---- SDO results ------------------------------------------------------------------------------

void QUserMainWindowCANopen::sdoReqFinish(QUserCANopenReqPara *p)
{
    if (p->result != QUserCANopenThread::ResultOk) {
        QUserDictObj at;
        if (p->sdoList && p->sdoPos >= 0 && p->sdoPos < p->sdoList->size())
            at = p->sdoList->at(p->sdoPos);
        QString line = tr("SDO操作[%1,%2]失败...")
                           .arg(QString::asprintf("%04X", at.index))
                           .arg(QString::asprintf("%02X", at.subIndex));
        if (p->result == QUserCANopenThread::ResultSdoAborted)
            line += tr("中止代码:") + QString::asprintf("0x%08X", p->abortCode) + QStringLiteral("(")
                + QUserCANopenFrame::sdoAbortText(p->abortCode) + QStringLiteral(")");
        else if (p->result == QUserCANopenThread::ResultSdoTimeout)
            line += tr("超时");
        else if (p->result == QUserCANopenThread::ResultSdoRefused)
            line += tr("对象无法用快速SDO传输");
        edsLogAppend(2, line);
        return;
    }
    if (p->kind == QUserCANopenThread::KindPdoUpload && p->sdoList) {
        edsParser()->pdoListFromUpload(*p->sdoList);
        pdoTreeUpdate();
        pdoSettingShow();
    }
    edsLogAppend(0, tr("SDO操作完成..."));
}
