// The DBC send window's three lists (file message tree, send list, signal
// list), their menus and dialogs, DBC loading into the tree and the send
// projects.
#include "dbc/QUserMainWindowDBCSend.h"

#include <QAction>
#include <QCursor>
#include <QDataStream>
#include <QDebug>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTableWidgetItem>
#include <QTreeWidgetItem>
#include <QVBoxLayout>

#include <cstring>

#include "core/QUserCanMsg.h"
#include "dbc/DbcLoadNote.h"
#include "dbc/DbcPrjFile.h"
#include "dbc/DbcRecord.h"
#include "dbc/DbcSignalPage.h"
#include "dbc/QKemsigLib.h"
#include "widgets/QUserDlgInfo.h"
#include "widgets/QUserPrompt.h"
#include "widgets/QUserTableWidget.h"
#include "widgets/QUserTreeWidget.h"

namespace {

void logLine(const QString &text) { qDebug().noquote() << "QUserMainWindowDBCSend" << ">" << text; }

const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

void tableSetup(QUserTableWidget *t, const QStringList &headers)
{
    t->setColumnCount(headers.size());
    t->setHorizontalHeaderLabels(headers);
    t->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    t->horizontalHeader()->setStretchLastSection(true);
    t->setAlternatingRowColors(true);
    t->setSortingEnabled(false);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

// No column narrower than its header's text ("物理值(双击编辑)" was cut
// to "sical (double-cl" in English). Called once the table is in the
// window, whose font the header takes.
void headersWhole(QTableWidget *t)
{
    QHeaderView *h = t->horizontalHeader();
    h->ensurePolished();
    const int margin = 2 * h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h) + 4;
    for (int i = 0; i < h->count(); ++i) {
        const QTableWidgetItem *item = t->horizontalHeaderItem(i);
        const int need = item ? h->fontMetrics().horizontalAdvance(item->text()) + margin : 0;
        if (h->sectionSize(i) < need)
            h->resizeSection(i, need);
    }
}

// Columns sized to their contents, the last one still taking the rest of
// the width (sizing to contents leaves it at its own size otherwise).
void columnsFit(QTableWidget *t)
{
    t->resizeColumnsToContents();
    t->horizontalHeader()->setStretchLastSection(false);
    t->horizontalHeader()->setStretchLastSection(true);
}

QTableWidgetItem *fixedItem(const QString &text)
{
    auto *it = new QTableWidgetItem(text);
    it->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return it;
}

QString g16(double v) { return QString::number(v, 'g', 16); }

bool physInRange(const QUserDbcSignal &s) { return s.isPhysicalInRange(); }

// A raw value typed as hexadecimal: a field of the signal's width reads as
// that field (FF of a signed 8-bit signal is -1); a value wider than the
// field keeps its number and shows up as out of range.
qint64 rawFromText(const QUserDbcSignal &s, const QString &text)
{
    bool ok = false;
    const quint64 v = text.trimmed().toULongLong(&ok, 16);
    if (!ok)
        return 0;
    if (s.isSigned && s.nLen >= 1 && s.nLen < 64 && (v >> s.nLen) == 0)
        return DbcSignalRecord::rawFromLib(true, s.nLen, v);
    return qint64(v);
}

// A whole number typed as the physical value of an integer signal with
// factor 1 and offset 0 is its raw value exactly: through a double, a
// 64-bit value above 2^53 would go out rounded.
bool exactRawFromText(const QUserDbcSignal &s, const QString &text, qint64 &raw)
{
    if (s.valType != KDBC_VALTYPE_INTEGER || s.nFactor != 1.0 || s.nOffset != 0.0)
        return false;
    bool ok = false;
    if (s.isSigned) {
        const qint64 v = text.toLongLong(&ok, 10);
        if (ok)
            raw = v;
        return ok;
    }
    const quint64 u = text.toULongLong(&ok, 10);
    if (ok)
        raw = qint64(u);
    return ok;
}

int infoShow(const QString &title, const QString &icon, const QList<QStringList> &rows)
{
    QUserDlgInfo dlg;
    if (icon.isEmpty())
        dlg.dlgInit(title);
    else
        dlg.dlgInitIcon(title, icon);
    dlg.infoSet(rows);
    return dlg.dlgExec();
}

const char *kInfoIcon = ":/res/msg_icon_info.png";

} // namespace

// ---- layout -------------------------------------------------------------------------

void QUserMainWindowDBCSend::windowLayout()
{
    // Left pane: the file's messages.
    QWidget *left = new QWidget;
    QVBoxLayout *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    QLabel *treeLabel = new QLabel(tr("DBC文件消息总表:"));
    treeLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    leftLayout->addWidget(treeLabel);
    QHBoxLayout *filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel(tr("过滤条件:")));
    fliterEdit = new QLineEdit;
    fliterEdit->setObjectName(QStringLiteral("lineEdit_fliter"));
    fliterEdit->setPlaceholderText(tr("输入消息名称或ID(10进制)"));
    filterRow->addWidget(fliterEdit);
    leftLayout->addLayout(filterRow);
    treeWidget->setDragDropMode(QAbstractItemView::DragDrop);
    treeWidget->setDragEnabled(true);
    treeWidget->setAcceptDrops(false);
    treeWidget->setDropIndicatorShown(true);
    treeWidget->setDragDropOverwriteMode(true);
    treeWidget->setFrameShape(QFrame::NoFrame);
    treeWidget->setHeaderHidden(true);
    treeWidget->setColumnCount(1);
    treeWidget->setContextMenuPolicy(Qt::CustomContextMenu);
    leftLayout->addWidget(treeWidget);

    // Right pane, top: the send list.
    QWidget *top = new QWidget;
    QVBoxLayout *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(new QLabel(tr("消息发送列表:")));
    tableSetup(msgTable, {tr("序号"), tr("消息名称"), tr("消息ID"), tr("长度"), tr("数据"), tr("发送"), tr("注释")});
    msgTable->setDragDropMode(QAbstractItemView::DropOnly);
    msgTable->setDragEnabled(false);
    msgTable->setAcceptDrops(true);
    msgTable->setDropIndicatorShown(false);
    msgTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    msgTable->setContextMenuPolicy(Qt::CustomContextMenu);
    topLayout->addWidget(msgTable);

    // Right pane, bottom: the signals of the current send-list message.
    QWidget *bottom = new QWidget;
    QVBoxLayout *bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addWidget(new QLabel(tr("信号信息:")));
    tableSetup(sigTable, {tr("序号"), tr("信号名称"), tr("原始值(十六进制)"), tr("物理值(双击编辑)"), tr("单位"),
                          tr("最小值"), tr("最大值")});
    sigTable->setDragDropMode(QAbstractItemView::NoDragDrop);
    sigTable->setDragEnabled(false);
    sigTable->setAcceptDrops(false);
    sigTable->setEditTriggers(QAbstractItemView::DoubleClicked);
    bottomLayout->addWidget(sigTable);

    splitterRight = new QSplitter(Qt::Vertical);
    splitterRight->addWidget(top);
    splitterRight->addWidget(bottom);
    splitterRoot = new QSplitter(Qt::Horizontal);
    splitterRoot->addWidget(left);
    splitterRoot->addWidget(splitterRight);
    if (spliteRightRate.isEmpty() || !splitterRight->restoreState(spliteRightRate)) {
        splitterRight->setStretchFactor(0, 1);
        splitterRight->setStretchFactor(1, 2);
    }
    if (spliteRootRate.isEmpty() || !splitterRoot->restoreState(spliteRootRate)) {
        splitterRoot->setStretchFactor(0, 3);
        splitterRoot->setStretchFactor(1, 10);
    }
    // Never narrower than the empty tree's text (fileMsgTreeUpdate's).
    left->setMinimumWidth(treeWidget->topLevelTextWidth(tr("列表空!请先导入DBC文件!"), QFont(QStringLiteral("Calibri"), 10)));
    ui->horizontalLayout_content->addWidget(splitterRoot);
    headersWhole(msgTable);
    headersWhole(sigTable);

    // Pop-up menus.
    treePopMenu = new QMenu(this);
    QAction *a = treePopMenu->addAction(QIcon(QStringLiteral(":/res/branch_open.png")), tr("添加到发送列表"));
    connect(a, &QAction::triggered, this, &QUserMainWindowDBCSend::soltFileMsgTreeWidgetPopMenueActAdd);
    a = treePopMenu->addAction(QIcon(QStringLiteral(":/res/branch_open.png")), tr("添加所有消息到发送列表"));
    connect(a, &QAction::triggered, this, &QUserMainWindowDBCSend::soltFileMsgTreeWidgetPopMenueActAddAll);
    a = treePopMenu->addAction(QIcon(QStringLiteral(":/res/trash.png")), tr("删除所有消息"));
    connect(a, &QAction::triggered, this, &QUserMainWindowDBCSend::soltFileMsgTreeWidgetPopMenueActClr);
    a = treePopMenu->addAction(QIcon(QString::fromLatin1(kInfoIcon)), tr("属性"));
    connect(a, &QAction::triggered, this, &QUserMainWindowDBCSend::soltFileMsgTreeWidgetPopMenueActAttribute);

    msgPopMenu = new QMenu(this);
    a = msgPopMenu->addAction(QIcon(QStringLiteral(":/res/upArrowGreen.png")), tr("上移一行"));
    connect(a, &QAction::triggered, this, &QUserMainWindowDBCSend::soltMsgListPopMenueActUp);
    a = msgPopMenu->addAction(QIcon(QStringLiteral(":/res/downArrowGreen.png")), tr("下移一行"));
    connect(a, &QAction::triggered, this, &QUserMainWindowDBCSend::soltMsgListPopMenueActDown);
    a = msgPopMenu->addAction(QIcon(QStringLiteral(":/res/errRed.png")), tr("删除当前行"));
    connect(a, &QAction::triggered, this, &QUserMainWindowDBCSend::soltMsgListPopMenueActDel);
    a = msgPopMenu->addAction(QIcon(QStringLiteral(":/res/trash.png")), tr("清空表格"));
    connect(a, &QAction::triggered, this, &QUserMainWindowDBCSend::soltMsgListPopMenueActClr);

    // Connections.
    connect(treeWidget, &QWidget::customContextMenuRequested, this,
            &QUserMainWindowDBCSend::soltFileMsgTreeWidgetPopMenue);
    connect(treeWidget, &QTreeWidget::itemDoubleClicked, this,
            &QUserMainWindowDBCSend::soltFileMsgTreeWidgetItemDoubleClick);
    connect(msgTable, &QUserTableWidget::userDropEvent, this, &QUserMainWindowDBCSend::slotMsgTabDropEvent);
    connect(msgTable, &QWidget::customContextMenuRequested, this, &QUserMainWindowDBCSend::soltMsgListPopMenue);
    connect(msgTable, &QAbstractItemView::clicked, this, &QUserMainWindowDBCSend::soltMsgListItemClick);
    connect(msgTable, &QAbstractItemView::doubleClicked, this, &QUserMainWindowDBCSend::soltMsgListItemDoubleClick);
    connect(msgTable, &QTableWidget::itemSelectionChanged, this, &QUserMainWindowDBCSend::soltMsgListItemSelChanged);
    connect(fliterEdit, &QLineEdit::textChanged, this, &QUserMainWindowDBCSend::slotDbcMsgFliterChange);
    connect(sigTable, &QAbstractItemView::doubleClicked, this, &QUserMainWindowDBCSend::soltSigListItemDoubleClick);
    connect(sigTable, &QTableWidget::cellDoubleClicked, this, &QUserMainWindowDBCSend::soltSigListCellDoubleClicked);
    connect(sigTable, &QTableWidget::cellChanged, this, &QUserMainWindowDBCSend::soltSigListCellChanged);
    connect(ui->actLoadDbc, &QAction::triggered, this, &QUserMainWindowDBCSend::slotDbcFileLoad);
    connect(ui->actOpen, &QAction::triggered, this, &QUserMainWindowDBCSend::slotDbcPrjLoad);
    connect(ui->actSave, &QAction::triggered, this, &QUserMainWindowDBCSend::slotDbcPrjSave);
    connect(ui->actSet, &QAction::triggered, this, &QUserMainWindowDBCSend::slotDbcSetting);
    connect(ui->actHelp, &QAction::triggered, this, &QUserMainWindowDBCSend::slotDbcHelp);
}

QString QUserMainWindowDBCSend::nameOf(const QString &itemText)
{
    return itemText.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
}

// ---- the file message tree ------------------------------------------------------------

bool QUserMainWindowDBCSend::dbcMsgFliterMatch(const QUserDbcMsg &msg) const
{
    if (fliterText.isEmpty())
        return true;
    bool isNumber = false;
    fliterText.toLongLong(&isNumber, 10);
    if (isNumber)
        return QString::number(msg.nID).contains(fliterText, Qt::CaseSensitive);
    return msg.strName.contains(fliterText, Qt::CaseInsensitive);
}

void QUserMainWindowDBCSend::fileMsgTreeUpdate()
{
    if (!treeWidget)
        return;
    treeWidget->clear();
    QFont font(QStringLiteral("Calibri"), 10);
    if (fileMsgList.isEmpty()) {
        font.setBold(false);
        auto *item = new QTreeWidgetItem(treeWidget);
        item->setText(0, tr("列表空!请先导入DBC文件!"));
        item->setFont(0, font);
        return;
    }
    font.setBold(true);
    for (const QUserDbcMsg &m : fileMsgList) {
        if (!dbcMsgFliterMatch(m))
            continue;
        auto *top = new QTreeWidgetItem(treeWidget);
        top->setText(0, m.strName + QLatin1Char(' ') + QString::number(m.nID));
        top->setFont(0, font);
        for (const QUserDbcSignal &s : m.vSignals) {
            auto *child = new QTreeWidgetItem(top);
            child->setText(0, s.strName);
        }
    }
}

void QUserMainWindowDBCSend::slotDbcMsgFliterChange(const QString &text)
{
    fliterText = text;
    fileMsgTreeUpdate();
}

bool QUserMainWindowDBCSend::fileMsgFind(const QString &name, QUserDbcMsg &out) const
{
    for (const QUserDbcMsg &m : fileMsgList) {
        if (m.strName == name) {
            out = m;
            return true;
        }
    }
    return false;
}

void QUserMainWindowDBCSend::soltFileMsgTreeWidgetPopMenue(const QPoint &)
{
    if (!treeWidget || !treePopMenu) {
        logLine(QStringLiteral("ERROR: PopMenu Not Ready..."));
        return;
    }
    // Not exec(): a pop-up that returns at once, whose actions reach the
    // slots on their own.
    treePopMenu->popup(QCursor::pos());
}

void QUserMainWindowDBCSend::soltFileMsgTreeWidgetPopMenueActAdd()
{
    logLine(QStringLiteral("添加消息到发送列表..."));
    if (fileMsgList.isEmpty()) {
        logLine(QStringLiteral("ERROR:Msg List Is Empty..."));
        return;
    }
    QTreeWidgetItem *item = treeWidget ? treeWidget->currentItem() : nullptr;
    if (!item)
        return;
    const QString text = item->parent() ? item->parent()->text(0) : item->text(0);
    const int r = sendListMsgAdd(nameOf(text));
    if (r == AddExists)
        QUserMessageBox::msgWarning(this, tr("提示"), tr("消息已存在!!!"));
    else if (r == AddMissing)
        QUserMessageBox::msgWarning(this, tr("提示"), tr("消息不存在!!!"));
}

void QUserMainWindowDBCSend::soltFileMsgTreeWidgetPopMenueActAddAll()
{
    logLine(QStringLiteral("添加DBC文件所有信号到发送列表..."));
    if (QUserMessageBox::msgQuestionEx(this, tr("提示"), tr("是否添加所有信号?")) != 1)
        return;
    if (fileMsgList.isEmpty()) {
        logLine(QStringLiteral("ERROR:Msg List Is Empty..."));
        return;
    }
    const QVector<QUserDbcMsg> all = fileMsgList;
    for (const QUserDbcMsg &m : all)
        sendListMsgAdd(m.strName);
    msgBox.tipSuccess(this, tr("操作完成!"), 500);
}

void QUserMainWindowDBCSend::soltFileMsgTreeWidgetPopMenueActClr()
{
    logLine(QStringLiteral("清空DBC文件信号列表..."));
    if (QUserMessageBox::msgQuestionEx(this, tr("警告"), tr("是否删除所有信号?")) != 1)
        return;
    fileMsgList.clear();
    fileMsgTreeUpdate();
}

void QUserMainWindowDBCSend::soltFileMsgTreeWidgetPopMenueActAttribute()
{
    if (fileMsgList.isEmpty()) {
        logLine(QStringLiteral("ERROR:Msg List Is Empty..."));
        return;
    }
    QTreeWidgetItem *item = treeWidget ? treeWidget->currentItem() : nullptr;
    if (!item)
        return;
    QUserDbcMsg m;
    QList<QStringList> rows;
    if (item->parent()) {
        const QString sigName = item->text(0);
        if (fileMsgFind(nameOf(item->parent()->text(0)), m)) {
            for (const QUserDbcSignal &s : m.vSignals) {
                if (s.strName != sigName)
                    continue;
                QUserDbcSignal sig = s;
                sig.msgId = m.nID;
                sig.msgName = m.strName;
                sig.infoRows(rows);
                infoShow(sigName + tr(" 属性"), QString::fromLatin1(kInfoIcon), rows);
                return;
            }
        }
        logLine(QStringLiteral("ERROR:Signal Not Find..."));
        return;
    }
    if (!fileMsgFind(nameOf(item->text(0)), m)) {
        logLine(QStringLiteral("ERROR:Msg Not Find..."));
        return;
    }
    m.infoRows(rows);
    infoShow(m.strName + tr(" 属性"), QString::fromLatin1(kInfoIcon), rows);
}

void QUserMainWindowDBCSend::soltFileMsgTreeWidgetItemDoubleClick(QTreeWidgetItem *item, int column)
{
    if (!item || column != 0 || !item->parent() || fileMsgList.isEmpty())
        return;
    const QString sigName = item->text(0);
    QUserDbcMsg m;
    if (fileMsgFind(nameOf(item->parent()->text(0)), m)) {
        for (const QUserDbcSignal &s : m.vSignals) {
            if (s.strName != sigName)
                continue;
            QUserDbcSignal sig = s;
            sig.msgId = m.nID;
            sig.msgName = m.strName;
            QList<QStringList> rows;
            sig.infoRows(rows);
            infoShow(sigName, QString(), rows);
            return;
        }
    }
    logLine(QStringLiteral("ERROR:Signal Not Find..."));
}

// ---- the send list --------------------------------------------------------------------

int QUserMainWindowDBCSend::sendListMsgAdd(const QString &name)
{
    if (name.isEmpty())
        return AddMissing;
    for (const QUserDbcMsg &m : sendMsgList) {
        if (m.strName == name)
            return AddExists;
    }
    QUserDbcMsg m;
    if (!fileMsgFind(name, m))
        return AddMissing;
    sendMsgList.append(m);
    const int row = msgTable->rowCount();
    msgTable->insertRow(row);
    sendListRowWrite(row, m);
    return AddOk;
}

void QUserMainWindowDBCSend::slotMsgTabDropEvent(const QString &text, const QString &html)
{
    const QString name = nameOf(!text.isEmpty() ? text : html);
    const int r = sendListMsgAdd(name);
    if (r == AddExists)
        QUserMessageBox::msgWarning(this, tr("提示"), tr("消息已存在!!!"));
    else if (r == AddMissing)
        QUserMessageBox::msgWarning(this, tr("提示"), tr("消息不存在!!!"));
}

void QUserMainWindowDBCSend::sendListRowWrite(int row, const QUserDbcMsg &m)
{
    msgTable->setItem(row, MsgColIndex, new QTableWidgetItem(QString::number(row)));
    msgTable->setItem(row, MsgColName, new QTableWidgetItem(m.strName));
    msgTable->setItem(row, MsgColId, new QTableWidgetItem(QString::asprintf("0x%X", m.nID & 0x1FFFFFFFu)));
    msgTable->setItem(row, MsgColLen, new QTableWidgetItem(QString::number(m.nSize)));
    msgTable->setItem(row, MsgColData, new QTableWidgetItem(tr("双击查看数据")));
    QWidget *cell = new QWidget;
    QHBoxLayout *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(5, 5, 5, 5);
    QPushButton *btn = new QPushButton(tr("发送"));
    btn->setObjectName(QStringLiteral("btnSend"));
    // The button knows its row: it sends that row's message, whichever row
    // is current.
    btn->setProperty("sendRow", row);
    layout->addWidget(btn);
    connect(btn, &QPushButton::clicked, this, &QUserMainWindowDBCSend::soltMsgListItemBtnSendClick);
    msgTable->setCellWidget(row, MsgColSend, cell);
    msgTable->setItem(row, MsgColComment, new QTableWidgetItem(m.strComment));
}

void QUserMainWindowDBCSend::sendListTableUpdate()
{
    msgTable->clearContents();
    msgTable->setRowCount(0);
    for (int i = 0; i < sendMsgList.size(); ++i) {
        msgTable->insertRow(i);
        sendListRowWrite(i, sendMsgList.at(i));
    }
    columnsFit(msgTable);
    sigListUpdate();
}

void QUserMainWindowDBCSend::sendListClear()
{
    sendMsgList.clear();
    msgTable->clearContents();
    msgTable->setRowCount(0);
    curMsgRow = -1;
    sigListWriting = true;
    sigTable->clearContents();
    sigTable->setRowCount(0);
    sigListWriting = false;
}

void QUserMainWindowDBCSend::setSendListPopIndex(const QModelIndex &index) { msgPopIndex = index; }

void QUserMainWindowDBCSend::soltMsgListPopMenue(const QPoint &pos)
{
    if (!msgTable || !msgPopMenu) {
        logLine(QStringLiteral("ERROR: Listen Sig List PopMenu Not Ready..."));
        return;
    }
    if (msgTable->rowCount() == 0)
        return;
    msgPopIndex = msgTable->indexAt(pos);
    msgPopMenu->popup(QCursor::pos());
}

void QUserMainWindowDBCSend::soltMsgListPopMenueActUp()
{
    const int n = sendMsgList.size();
    const int r = msgPopIndex.isValid() ? msgPopIndex.row() : -1;
    if (n < 2 || r <= 0 || r >= n)
        return;
    sendMsgList.swapItemsAt(r, r - 1);
    sendListTableUpdate();
    msgTable->setCurrentCell(r - 1, MsgColName);
}

void QUserMainWindowDBCSend::soltMsgListPopMenueActDown()
{
    const int n = sendMsgList.size();
    const int r = msgPopIndex.isValid() ? msgPopIndex.row() : -1;
    if (n < 2 || r < 0 || r + 1 >= n)
        return;
    sendMsgList.swapItemsAt(r, r + 1);
    sendListTableUpdate();
    msgTable->setCurrentCell(r + 1, MsgColName);
}

void QUserMainWindowDBCSend::soltMsgListPopMenueActDel()
{
    const int r = msgPopIndex.isValid() ? msgPopIndex.row() : -1;
    if (r < 0 || r >= sendMsgList.size())
        return;
    if (QUserMessageBox::msgQuestionEx(this, tr("警告"), tr("是否删除该消息?")) != 1)
        return;
    sendMsgList.removeAt(r);
    sendListTableUpdate();
}

void QUserMainWindowDBCSend::soltMsgListPopMenueActClr()
{
    if (sendMsgList.isEmpty())
        return;
    if (QUserMessageBox::msgQuestionEx(this, tr("警告"), tr("是否删除所有消息?")) != 1)
        return;
    sendListClear();
}

void QUserMainWindowDBCSend::soltMsgListItemClick(const QModelIndex &) {}

void QUserMainWindowDBCSend::soltMsgListItemSelChanged() { sigListUpdate(); }

void QUserMainWindowDBCSend::soltMsgListItemDoubleClick(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const int col = index.column();
    if (col != MsgColName && col != MsgColData)
        return;
    const int row = index.row();
    if (row < 0 || row >= sendMsgList.size()) {
        QUserMessageBox::msgWarning(this, tr("提示"), tr("消息信息获取失败!!!"));
        return;
    }
    QUserDbcMsg &m = sendMsgList[row];
    QList<QStringList> rows;
    if (col == MsgColName) {
        m.infoRows(rows);
        infoShow(m.strName + tr(" 属性"), QString::fromLatin1(kInfoIcon), rows);
        return;
    }
    if (m.nSize == 0) {
        logLine(QStringLiteral("ERROR:Msg Size Equal 0..."));
        QUserMessageBox::msgError(this, tr("错误"), tr("消息参数错误,长度不能等于0!!!"));
        return;
    }
    if (!dbcMsgEncode(m)) {
        logLine(QStringLiteral("ERROR:Msg Encode Err..."));
        QUserMessageBox::msgError(this, tr("错误"), tr("发送错误,DBC消息编码错误"));
        return;
    }
    if (!m.isIdValid()) {
        logLine(QStringLiteral("ERROR:Msg Id Invalid..."));
        QUserMessageBox::msgError(this, tr("错误"), tr("数据ID无效,请检查<参数设置>里的协议类型\r\n是否和DBC文件匹配!"));
        return;
    }
    m.frameInfoRows(rows);
    infoShow(m.strName + tr(" 数据信息"), QString::fromLatin1(kInfoIcon), rows);
}

// ---- the signal list ------------------------------------------------------------------

bool QUserMainWindowDBCSend::signalRecord(const QUserDbcSignal &sig, DbcSignal *rec) const
{
    std::memset(rec, 0, sizeof(DbcSignal));
    return DbcSignalRecord::toLib(sig, rec);
}

void QUserMainWindowDBCSend::sigValueCellsWrite(int row, const QUserDbcSignal &s, bool rawRed, bool physRed)
{
    const bool was = sigListWriting;
    sigListWriting = true;
    QTableWidgetItem *raw = sigTable->item(row, SigColRaw);
    if (!raw) {
        raw = new QTableWidgetItem;
        sigTable->setItem(row, SigColRaw, raw);
    }
    raw->setText(s.rawHexText());
    raw->setForeground(rawRed ? kRed : kBlack);
    QTableWidgetItem *phys = sigTable->item(row, SigColPhysical);
    if (!phys) {
        phys = new QTableWidgetItem;
        sigTable->setItem(row, SigColPhysical, phys);
    }
    phys->setText(g16(s.nPhysicalValue));
    phys->setForeground(physRed ? kRed : kBlack);
    sigListWriting = was;
}

void QUserMainWindowDBCSend::sigListRowWrite(int row, const QUserDbcSignal &s)
{
    sigTable->setItem(row, SigColIndex, fixedItem(QString::number(row)));
    sigTable->setItem(row, SigColName, fixedItem(s.strName));
    sigTable->setItem(row, SigColUnit, fixedItem(s.unit));
    sigTable->setItem(row, SigColMin, fixedItem(g16(s.nMin)));
    sigTable->setItem(row, SigColMax, fixedItem(g16(s.nMax)));
    sigValueCellsWrite(row, s, !s.isRawInRange(), !physInRange(s));
}

void QUserMainWindowDBCSend::sigListUpdate()
{
    sigListWriting = true;
    sigTable->clearContents();
    sigTable->setRowCount(0);
    const int row = msgTable ? msgTable->currentRow() : -1;
    curMsgRow = row >= 0 && row < sendMsgList.size() ? row : -1;
    if (curMsgRow < 0) {
        sigListWriting = false;
        return;
    }
    QUserDbcMsg &m = sendMsgList[curMsgRow];
    if (kemsig && kemsig->calcPhysicalValue) {
        DbcSignal rec;
        for (QUserDbcSignal &s : m.vSignals) {
            signalRecord(s, &rec);
            s.nPhysicalValue = kemsig->calcPhysicalValue(&rec, quint64(s.nRawValue));
        }
    }
    sigTable->setRowCount(m.vSignals.size());
    for (int i = 0; i < m.vSignals.size(); ++i)
        sigListRowWrite(i, m.vSignals.at(i));
    columnsFit(sigTable);
    sigListWriting = false;
}

void QUserMainWindowDBCSend::soltSigListCellDoubleClicked(int row, int column)
{
    editRow = row;
    editColumn = column;
}

void QUserMainWindowDBCSend::soltSigListCellChanged(int row, int column)
{
    if (sigListWriting || row != editRow || column != editColumn)
        return;
    logLine(QStringLiteral("Cell<%1,%2> Changed...").arg(row).arg(column));
    sigListValueModify(row, column);
}

void QUserMainWindowDBCSend::sigListValueModify(int row, int column)
{
    if (curMsgRow < 0 || curMsgRow >= sendMsgList.size())
        return;
    QUserDbcMsg &m = sendMsgList[curMsgRow];
    if (row < 0 || row >= m.vSignals.size())
        return;
    if (column != SigColRaw && column != SigColPhysical)
        return;
    QUserDbcSignal &s = m.vSignals[row];
    const QTableWidgetItem *cell = sigTable->item(row, column);
    const QString text = cell ? cell->text().trimmed() : QString();
    if (text.isEmpty()) {
        logLine(QStringLiteral("Signal Modify Fail,Val Is Null..."));
        sigValueCellsWrite(row, s, !s.isRawInRange(), !physInRange(s));
        return;
    }
    const bool haveFn = kemsig && (column == SigColRaw ? kemsig->calcPhysicalValue != nullptr
                                                       : kemsig->calcRawValue != nullptr);
    if (!haveFn) {
        // Without kemsig the other value cannot be worked out: nothing
        // changes.
        logLine(QStringLiteral("ERROR:Kem DBC LIB is invalid..."));
        sigValueCellsWrite(row, s, !s.isRawInRange(), !physInRange(s));
        return;
    }
    DbcSignal rec;
    signalRecord(s, &rec);
    m.nFrameTime = getCurrentMs();
    if (column == SigColRaw) {
        s.nRawValue = rawFromText(s, text);
        s.nPhysicalValue = kemsig->calcPhysicalValue(&rec, quint64(s.nRawValue));
    } else {
        bool ok = false;
        const double v = text.toDouble(&ok);
        s.nPhysicalValue = ok ? v : 0.0;
        qint64 exact = 0;
        if (exactRawFromText(s, text, exact))
            s.nRawValue = exact;
        else
            s.nRawValue = kemsig->calcRawValue(&rec, s.nPhysicalValue);
        // The raw value is rounded to the signal's steps: the cell shows
        // the physical value of the raw value that goes out. A raw value
        // that does not fit keeps the typed value, shown in red.
        if (s.isRawInRange() && kemsig->calcPhysicalValue)
            s.nPhysicalValue = kemsig->calcPhysicalValue(&rec, quint64(s.nRawValue));
    }
    const bool red = !s.isValid();
    sigValueCellsWrite(row, s, red, red);
    switchFollow(m, row);
}

void QUserMainWindowDBCSend::switchFollow(QUserDbcMsg &m, int row)
{
    // A signal of another page was edited: the switch moves to that page,
    // so that the frame carries the value just typed.
    const QUserDbcSignal &s = m.vSignals.at(row);
    if (s.multiplexerType != KDBC_MUX_MULTIPLEXED)
        return;
    const int sw = DbcSignalPage::switchIndex(m);
    if (sw < 0 || DbcSignalPage::switchValue(m.vSignals.at(sw)) == quint64(s.multiplexerValue))
        return;
    QUserDbcSignal &w = m.vSignals[sw];
    w.nRawValue = DbcSignalRecord::rawFromLib(w.isSigned != 0, w.nLen, s.multiplexerValue);
    if (kemsig && kemsig->calcPhysicalValue) {
        DbcSignal rec;
        signalRecord(w, &rec);
        w.nPhysicalValue = kemsig->calcPhysicalValue(&rec, quint64(w.nRawValue));
    }
    logLine(QStringLiteral("Multiplexer %1 -> %2...").arg(w.strName).arg(s.multiplexerValue));
    if (sw < sigTable->rowCount())
        sigValueCellsWrite(sw, w, !w.isRawInRange(), !physInRange(w));
}

void QUserMainWindowDBCSend::soltSigListItemDoubleClick(const QModelIndex &index)
{
    if (!index.isValid() || index.column() != SigColName)
        return;
    const int row = index.row();
    if (curMsgRow < 0 || curMsgRow >= sendMsgList.size() || row < 0
        || row >= sendMsgList.at(curMsgRow).vSignals.size()) {
        QUserMessageBox::msgWarning(this, tr("提示"), tr("信号信息获取失败!!!"));
        return;
    }
    const QUserDbcSignal &s = sendMsgList.at(curMsgRow).vSignals.at(row);
    QList<QStringList> rows;
    s.infoRows(rows);
    infoShow(s.strName + tr(" 属性"), QString::fromLatin1(kInfoIcon), rows);
}

// ---- DBC files and projects -------------------------------------------------------------

void QUserMainWindowDBCSend::slotDbcFileLoad()
{
    logLine(QStringLiteral("加载DBC文件..."));
    const QString path =
        QUserPrompt::instance()->getOpenFileName(this, tr("选择DBC文件"), QString(), QStringLiteral("DBC File(*.dbc)"));
    if (path.isEmpty()) {
        logLine(QStringLiteral("DBC文件加载失败,路径空!!!"));
        return;
    }
    dbcFileLoad(path);
}

int QUserMainWindowDBCSend::dbcFileLoad(const QString &path)
{
    if (loading)
        return -1; // one load at a time: the record is the running job's
    job.dbcFilePath = path;
    job.reqType = DbcLoadJob::ReqLoad;
    job.result = 0;
    dbcSendWorkRun(work, &job);
    dbcFileLoadResult(&job);
    if (job.result != 0)
        return job.result;
    dbcPath = path;
    titleFile = QFileInfo(path).fileName();
    titleUpdate();
    fileMsgTreeUpdate();
    // Lines that could not be read, extended multiplexing that is not:
    // the load says so before it says it succeeded.
    const QString note = DbcLoadNote::windowText(job.report);
    if (!note.isEmpty())
        QUserMessageBox::msgWarning(this, tr("提示"), note);
    msgBox.tipSuccess(this, tr("DBC文件加载成功!"), 500);
    return 0;
}

QByteArray QUserMainWindowDBCSend::sendListState() const
{
    QByteArray state;
    if (sendMsgList.isEmpty())
        return state;
    QDataStream out(&state, QIODevice::WriteOnly);
    for (const QUserDbcMsg &m : sendMsgList) {
        out << m.strName << m.nID << quint32(m.vSignals.size());
        for (const QUserDbcSignal &sig : m.vSignals)
            out << sig.strName << sig.nRawValue;
    }
    return state;
}

bool QUserMainWindowDBCSend::editsUnsaved() const
{
    const QByteArray now = sendListState();
    return !now.isEmpty() && now != savedSendList;
}

void QUserMainWindowDBCSend::slotDbcPrjSave()
{
    const QString path = QUserPrompt::instance()->getSaveFileName(this, tr("保存"), QStringLiteral("../"),
                                                                  QStringLiteral("PRJ File(*.prj);"));
    if (path.isEmpty())
        return;
    DbcPrjFile prj;
    prj.setPrjFilePath(path);
    prj.setDbcFilePath(dbcPath);
    prj.addMessageList(sendMsgList);
    if (prj.save() != DbcPrjFile::Ok) {
        // The previous file, if any, is still there (the project file
        // replaces it only when the new one is complete).
        QUserMessageBox::msgError(this, tr("错误"), tr("保存失败!"));
        return;
    }
    logLine(QStringLiteral("DBC Prj File %1<msg:%2,sig:%3> Save Success...").arg(path).arg(sendMsgList.size()).arg(0));
    savedSendList = sendListState();
    titleFile = QFileInfo(path).fileName();
    titleUpdate();
    msgBox.tipSuccess(this, tr("保存成功!"), 1000);
}

void QUserMainWindowDBCSend::slotDbcPrjLoad()
{
    if (loading)
        return;
    const QString path =
        QUserPrompt::instance()->getOpenFileName(this, tr("打开工程"), QString(), QStringLiteral("PRJ File(*.prj)"));
    if (path.isEmpty())
        return;
    DbcPrjFile prj;
    if (prj.load(path) != DbcPrjFile::Ok) {
        QUserMessageBox::msgWarning(this, tr("打开工程"), tr("打开失败,文件解析错误!"));
        return;
    }
    // Only a project that was read replaces the user's send list.
    sendListClear();
    dbcPath = prj.dbcFilePath();
    prj.getMessageList(sendMsgList);
    dbcFileLoad(dbcPath);
    fileMsgTreeUpdate();
    logLine(QStringLiteral("DBC Prj File %1<msg:%2,sig:%3> Load Success...").arg(path).arg(sendMsgList.size()).arg(0));
    sendListTableUpdate();
    savedSendList = sendListState();
    titleFile = QFileInfo(path).fileName();
    titleUpdate();
    msgBox.tipSuccess(this, tr("打开成功!"), 1000);
}
