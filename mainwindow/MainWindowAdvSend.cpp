// The advanced send panel: a list of frames for the channel of the current
// data tab, sent cycle after cycle by the channel's advanced sender. The
// table is a view of the sender's list: every edit pushes the whole table
// back into the sender (which stops a running send), every refresh rebuilds
// the table from it.

#include "mainwindow/MainWindow.h"

#include "devices/QUserDevChState.h"
#include "devices/QUserDeviceAdapter.h"
#include "devices/QUserDeviceSendMachine.h"
#include "mainwindow/CanMsgEditDialog.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "traffic/QUserAdvanceSend.h"
#include "widgets/QUserPrompt.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCursor>
#include <QDebug>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QFrame>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum AdvColumn { ColIndex, ColNote, ColId, ColProtocol, ColFormat, ColType, ColLen, ColData, ColCount };

const QChar kWideComma(0xFF0C);

void logMw(const QString &text)
{
    qDebug().noquote() << "MainWindow >" << text;
}

QString noBlanks(QString text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s"));
    text.remove(blanks);
    return text.isNull() ? QStringLiteral("") : text;
}

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

bool MainWindow::uiTabAdvanceSendInit()
{
    if (!layout || !layout->tabSend)
        return false;
    QUserMainWindowLayout::AdvSend &a = layout->adv;
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabAdvanceSend"));
    auto *row = new QHBoxLayout(page);

    auto *table = new QTableWidget(page);
    table->setObjectName(QStringLiteral("advSendTable"));
    table->setColumnCount(ColCount);
    table->setHorizontalHeaderLabels(
        {tr("序号"), tr("注释"), tr("帧ID"), tr("帧协议"), tr("帧格式"), tr("帧类型"), tr("长度"), tr("数据(HEX)")});
    // The protocol column is wider than its neighbours: "CANFD加速" in one line.
    const int widths[ColCount] = {50, 100, 80, 80, 60, 60, 40, 310};
    // No narrower than the header's text (in either language).
    for (int c = 0; c < ColCount; ++c)
        table->setColumnWidth(c, qMax(widths[c], table->horizontalHeader()->sectionSizeHint(c)));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalHeader()->setVisible(true);
    table->horizontalHeader()->setMinimumHeight(10);
    table->verticalHeader()->setVisible(false);
    table->setAlternatingRowColors(true);
    table->setWordWrap(false);
    table->setSortingEnabled(false);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    // As high as the controls beside it; the list scrolls.
    table->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    layout->tabAdvSendTable = table;

    auto *controls = new QVBoxLayout;
    auto labelled = [page](const QString &text, QWidget *editor) {
        auto *r = new QHBoxLayout;
        r->addWidget(new QLabel(text, page));
        r->addWidget(editor);
        return r;
    };
    a.failMode = new QComboBox(page);
    a.failMode->setObjectName(QStringLiteral("advFailMode"));
    a.failMode->addItems({tr("失败停止"), tr("失败继续")});
    a.failMode->setMinimumWidth(120);
    a.loopCnt = new QLineEdit(QStringLiteral("1"), page);
    a.loopCnt->setObjectName(QStringLiteral("advLoopCnt"));
    a.period = new QLineEdit(QStringLiteral("1000"), page);
    a.period->setObjectName(QStringLiteral("advPeriod"));
    a.frameInterval = new QLineEdit(QStringLiteral("10"), page);
    a.frameInterval->setObjectName(QStringLiteral("advFrameInterval"));
    controls->addLayout(labelled(tr("发送模式:"), a.failMode));
    controls->addLayout(labelled(tr("循环次数:"), a.loopCnt));
    controls->addLayout(labelled(tr("每次发送间隔(ms):"), a.period));
    controls->addLayout(labelled(tr("每帧发送间隔(ms):"), a.frameInterval));
    a.start = new QPushButton(tr("发送"), page);
    a.start->setObjectName(QStringLiteral("advStart"));
    a.stop = new QPushButton(tr("停止"), page);
    a.stop->setObjectName(QStringLiteral("advStop"));
    a.load = new QPushButton(tr("加载配置"), page);
    a.load->setObjectName(QStringLiteral("advLoad"));
    a.save = new QPushButton(tr("保存配置"), page);
    a.save->setObjectName(QStringLiteral("advSave"));
    const QFont buttonFont(QStringLiteral("Microsoft YaHei"), 9);
    a.load->setFont(buttonFont);
    a.save->setFont(buttonFont);
    for (QPushButton *b : {a.start, a.stop, a.load, a.save})
        b->setEnabled(false);
    auto *runRow = new QHBoxLayout;
    runRow->addWidget(a.start);
    runRow->addWidget(a.stop);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(a.load);
    fileRow->addWidget(a.save);
    controls->addLayout(runRow);
    controls->addLayout(fileRow);
    controls->addStretch();

    row->addWidget(table, 9);
    row->addLayout(controls, 1);
    // The splitter gives the send panels a small share: the page scrolls
    // rather than pushing the data tabs aside.
    auto *scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(page);
    layout->tabSend->addTab(scroll, tr("高级发送"));

    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("advSendMenu"));
    struct Entry {
        const char *icon;
        QString text;
        void (MainWindow::*slot)();
    };
    const Entry entries[] = {
        {":/res/branch_open.png", tr("新增"), &MainWindow::soltTabAdvanceSendPopMenueActAdd},
        {":/res/Integral.png", tr("复制"), &MainWindow::soltTabAdvanceSendPopMenueActCopy},
        {":/res/branch_close.png", tr("删除"), &MainWindow::soltTabAdvanceSendPopMenueActDel},
        {":/res/modify.png", tr("修改"), &MainWindow::soltTabAdvanceSendPopMenueActEdit},
        {":/res/upArrowGreen.png", tr("上移"), &MainWindow::soltTabAdvanceSendPopMenueActUp},
        {":/res/downArrowGreen.png", tr("下移"), &MainWindow::soltTabAdvanceSendPopMenueActDown},
        {":/res/recycle.png", tr("清空列表"), &MainWindow::soltTabAdvanceSendPopMenueActClr},
    };
    for (const Entry &e : entries) {
        QAction *act = menu->addAction(QIcon(QString::fromLatin1(e.icon)), e.text);
        connect(act, &QAction::triggered, this, e.slot);
    }
    layout->tabAdvSendMenu = menu;

    connect(table, &QTableWidget::customContextMenuRequested, this, &MainWindow::soltTabAdvanceSendPopMenue);
    connect(table, &QTableWidget::cellDoubleClicked, this, &MainWindow::soltTabAdvanceSendCellDoubleClick);
    connect(table, &QTableWidget::cellChanged, this, &MainWindow::soltTabAdvanceSendCellChange);
    // A check box the user toggles is an edit like any other: without this
    // the next tab switch rebuilt the table from the sender and lost it.
    // (The panel's own row writes block the table's signals.)
    connect(table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (item && item->column() == ColIndex)
            tabAdvSendParaSync();
    });
    connect(a.start, &QPushButton::clicked, this, &MainWindow::soltTabAdvSendStart);
    connect(a.stop, &QPushButton::clicked, this, &MainWindow::soltTabAdvSendStop);
    connect(a.load, &QPushButton::clicked, this, &MainWindow::soltTabAdvFileLoad);
    connect(a.save, &QPushButton::clicked, this, &MainWindow::soltTabAdvFileSave);
    return true;
}

bool MainWindow::tabAdvFailStopGet() const
{
    return !layout || !layout->adv.failMode || layout->adv.failMode->currentIndex() == 0;
}

// ---- rows ------------------------------------------------------------------

bool MainWindow::tabAdvRowMsgSet(int row, const QUserCanMsg &msg)
{
    QTableWidget *table = layout ? layout->tabAdvSendTable : nullptr;
    if (!table || row < 0 || row >= table->rowCount())
        return false;
    const QSignalBlocker quiet(table);
    const int lang = languageCode == 0 ? 0 : 1;
    auto *index = new QTableWidgetItem(QString::number(row));
    index->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    index->setCheckState(msg.rowEnable ? Qt::Checked : Qt::Unchecked);
    table->setItem(row, ColIndex, index);
    // List files separate their fields with commas: a comment keeps none.
    QString note = msg.auxText2;
    note.replace(QLatin1Char(','), kWideComma);
    auto *noteItem = new QTableWidgetItem(note);
    noteItem->setToolTip(tr("注释中的半角逗号\",\"保存为全角逗号\"，\"(配置文件以逗号分隔字段)"));
    table->setItem(row, ColNote, noteItem);
    table->setItem(row, ColId, new QTableWidgetItem(msg.idText));
    table->setItem(row, ColProtocol, new QTableWidgetItem(getProtocolText(lang, msg.protocol)));
    table->setItem(row, ColFormat, new QTableWidgetItem(getFrameFormatText(lang, msg.remote != 0)));
    table->setItem(row, ColType, new QTableWidgetItem(getFrameTypeText(lang, msg.extended != 0)));
    table->setItem(row, ColLen, new QTableWidgetItem(msg.lenText));
    QString data = noBlanks(msg.dataText);
    insertSeparator(data, QStringLiteral(" "), 2);
    table->setItem(row, ColData, new QTableWidgetItem(data));
    return true;
}

bool MainWindow::tabAdvRowAppend(const QUserCanMsg &msg)
{
    QTableWidget *table = layout ? layout->tabAdvSendTable : nullptr;
    if (!table)
        return false;
    const int row = table->rowCount();
    {
        const QSignalBlocker quiet(table);
        table->insertRow(row);
    }
    return tabAdvRowMsgSet(row, msg);
}

bool MainWindow::tabAdvRowMsgGet(int row, QUserCanMsg &msg)
{
    QTableWidget *table = layout ? layout->tabAdvSendTable : nullptr;
    if (!table || row < 0 || row >= table->rowCount())
        return false;
    const QTableWidgetItem *index = table->item(row, ColIndex);
    msg.rowEnable = index && index->checkState() == Qt::Checked ? 1 : 0;
    msg.auxText2 = cellText(table, row, ColNote);
    msg.idText = cellText(table, row, ColId);
    msg.lenText = cellText(table, row, ColLen);
    const int protocol = getProtocolFromText(cellText(table, row, ColProtocol));
    msg.protocol = uint8_t(protocol >= 0 && protocol <= 2 ? protocol : 0);
    msg.remote = isRemoteText(cellText(table, row, ColFormat)) ? 1 : 0;
    msg.extended = isExtendText(cellText(table, row, ColType)) ? 1 : 0;
    msg.dataText = noBlanks(cellText(table, row, ColData));
    msg.fdFlags = msg.protocol == 2 ? 1 : 0;
    return true;
}

// ---- panel and task --------------------------------------------------------

void MainWindow::tabAdvSendParaGet(QUserSendTask &task)
{
    if (!layout || !layout->adv.failMode)
        return;
    const QUserMainWindowLayout::AdvSend &a = layout->adv;
    task.msgList.clear();
    for (int row = 0; row < tabAdvRowCount(); ++row) {
        QUserCanMsg msg;
        if (tabAdvRowMsgGet(row, msg))
            task.msgList.append(msg);
    }
    task.errorMode = uint32_t(qMax(0, a.failMode->currentIndex()));
    task.reqSendCnt = uint32_t(a.loopCnt->text().trimmed().toLongLong());
    task.period = int64_t(a.period->text().trimmed().toULongLong());
    task.frameInterval = int64_t(a.frameInterval->text().trimmed().toInt());
}

void MainWindow::tabAdvSendParaShow(const QUserSendTask &task)
{
    if (!layout || !layout->adv.failMode)
        return;
    QUserMainWindowLayout::AdvSend &a = layout->adv;
    tabAdvListClear();
    for (const QUserCanMsg &msg : task.msgList)
        tabAdvRowAppend(msg);
    if (task.errorMode <= 1)
        a.failMode->setCurrentIndex(int(task.errorMode));
    a.loopCnt->setText(QString::number(task.reqSendCnt));
    a.period->setText(QString::number(qlonglong(task.period)));
    a.frameInterval->setText(QString::number(qlonglong(task.frameInterval)));
    tabAdvSendParaSync();
}

void MainWindow::tabAdvSendParaSync()
{
    const QString devId = curTabDevGet();
    if (devId.isEmpty() || !devAdapter)
        return;
    QUserSendTask task;
    tabAdvSendParaGet(task);
    devAdapter->advanceSendParaSet(devId, task);
}

void MainWindow::uiTabAdvSendUpdate()
{
    if (!layout || !layout->adv.start)
        return;
    QUserMainWindowLayout::AdvSend &a = layout->adv;
    a.refreshes += 1;
    const QString devId = curTabDevGet();
    if (devId.isEmpty()) {
        for (QPushButton *b : {a.start, a.stop, a.load, a.save})
            b->setEnabled(false);
        return;
    }
    QUserSendTask task;
    if (!devAdapter || !devAdapter->advanceSendParaGet(devId, task))
        return;
    tabAdvListClear();
    for (const QUserCanMsg &msg : qAsConst(task.msgList))
        tabAdvRowAppend(msg);
    a.load->setEnabled(true);
    a.save->setEnabled(true);
    a.start->setEnabled(!task.running);
    a.stop->setEnabled(task.running != 0);
    a.loopCnt->setText(QString::number(task.reqSendCnt));
    a.period->setText(QString::number(qlonglong(task.period)));
    a.frameInterval->setText(QString::number(qlonglong(task.frameInterval)));
}

bool MainWindow::tabDevSelectCheck()
{
    if (!curTabDevGet().isEmpty())
        return true;
    QUserMessageBox::msgWarning(this, tr("错误"), tr("请先[选择设备]!"));
    return false;
}

bool MainWindow::tabAdvSendParaCheck()
{
    if (!tabDevSelectCheck())
        return false;
    QTableWidget *table = layout ? layout->tabAdvSendTable : nullptr;
    int checked = 0;
    for (int row = 0; table && row < table->rowCount(); ++row) {
        const QTableWidgetItem *index = table->item(row, ColIndex);
        if (index && index->checkState() == Qt::Checked)
            ++checked;
    }
    if (checked == 0) {
        // Rows are added unticked: a list with rows but none ticked is not
        // empty, and the user needs to know what to do.
        const int rows = table ? table->rowCount() : 0;
        if (rows == 0) {
            logMw(QStringLiteral("错误:发送列表空!!!..."));
            QUserMessageBox::msgWarning(this, tr("错误"), tr("发送列表空!!!"));
        } else {
            logMw(QStringLiteral("错误:发送列表%1行均未勾选!!!...").arg(rows));
            QUserMessageBox::msgWarning(this, tr("错误"),
                                        tr("发送列表中没有勾选的行,请在\"序号\"列勾选要发送的行!!!"));
        }
        return false;
    }
    QUserSendTask task;
    tabAdvSendParaGet(task);
    if (task.reqSendCnt == 0) {
        QUserMessageBox::msgWarning(this, tr("错误"), tr("循环次数不能为0!!!"));
        return false;
    }
    return true;
}

// ---- context menu ----------------------------------------------------------

void MainWindow::soltTabAdvanceSendPopMenue(QPoint pos)
{
    if (!layout || !layout->tabAdvSendTable || !layout->tabAdvSendMenu) {
        logMw(QStringLiteral("ERROR: PopMenu Not Ready..."));
        return;
    }
    const QModelIndex at = layout->tabAdvSendTable->indexAt(pos);
    QUserMenuIndex &index = layout->tabAdvSendMenuIndex;
    index.row = at.row();
    index.column = at.column();
    index.internalId = at.internalId();
    index.model = at.model();
    layout->tabAdvSendMenu->popup(QCursor::pos());
}

void MainWindow::soltTabAdvanceSendPopMenueActAdd()
{
    logMw(QStringLiteral("新增消息..."));
    if (!tabDevSelectCheck()) {
        logMw(QStringLiteral("错误:操作非法..."));
        return;
    }
    const QString devId = curTabDevGet();
    QUserDevChState state;
    if (!devAdapter || !devAdapter->devInfoGet(devId, &state))
        return;
    const bool fd = state.fdEnableGet();
    QUserCanMsg msg;
    if (fd) {
        msg.protocol = 2;
        QString data;
        for (int i = 0; i < 16; ++i)
            data += QStringLiteral("%1").arg(i * 0x11, 2, 16, QLatin1Char('0')).toUpper();
        data += QString(96, QLatin1Char('0'));
        msg.dataText = data;
    } else {
        msg.protocol = 0;
        msg.dataText = QStringLiteral("11 22 33 44 55 66 77 88");
    }
    msg.idText = QStringLiteral("00000000");
    CanMsgEditDialog dlg(tr("新增"));
    dlg.setMsg(fd, msg);
    if (!dlg.execAccepted())
        return;
    dlg.getMsg(msg);
    tabAdvRowAppend(msg);
    tabAdvSendParaSync();
}

void MainWindow::soltTabAdvanceSendPopMenueActCopy()
{
    logMw(QStringLiteral("复制消息..."));
    if (!tabDevSelectCheck()) {
        logMw(QStringLiteral("错误:操作非法..."));
        return;
    }
    QUserCanMsg msg;
    if (!tabAdvMenuRowMsgGet(msg))
        return;
    tabAdvRowAppend(msg);
    tabAdvSendParaSync();
}

void MainWindow::soltTabAdvanceSendPopMenueActDel()
{
    logMw(QStringLiteral("删除消息..."));
    if (!tabDevSelectCheck()) {
        logMw(QStringLiteral("错误:操作非法..."));
        return;
    }
    if (QUserMessageBox::msgQuestionEx(this, tr("警告"), tr("确定是否删除消息?")) != 1)
        return;
    const QUserMenuIndex &index = layout->tabAdvSendMenuIndex;
    logMw(QStringLiteral("删除处理..ROW:%1").arg(index.row));
    if (!index.isValid())
        return;
    if (tabAdvRowRemove(index.row)) {
        // The rows below move up: their numbers follow at once.
        for (int row = index.row; row < tabAdvRowCount(); ++row) {
            QUserCanMsg msg;
            if (tabAdvRowMsgGet(row, msg))
                tabAdvRowMsgSet(row, msg);
        }
    }
    tabAdvSendParaSync();
}

void MainWindow::soltTabAdvanceSendPopMenueActEdit()
{
    logMw(QStringLiteral("修改消息..."));
    if (!tabDevSelectCheck()) {
        logMw(QStringLiteral("错误:操作非法..."));
        return;
    }
    const QString devId = curTabDevGet();
    QUserSendTask basic;
    if (!devAdapter || !devAdapter->basicSendParaGet(devId, basic))
        return;
    const QUserMenuIndex &index = layout->tabAdvSendMenuIndex;
    QUserCanMsg msg;
    if (!index.isValid() || !tabAdvRowMsgGet(index.row, msg))
        return;
    const int row = index.row;
    CanMsgEditDialog dlg(tr("修改"));
    dlg.setMsg(basic.fdEnable != 0, msg);
    if (!dlg.execAccepted())
        return;
    dlg.getMsg(msg);
    tabAdvRowMsgSet(row, msg);
    tabAdvSendParaSync();
}

void MainWindow::soltTabAdvanceSendPopMenueActUp()
{
    logMw(QStringLiteral("上移消息..."));
    if (!tabDevSelectCheck()) {
        logMw(QStringLiteral("错误:操作非法..."));
        return;
    }
    const QUserMenuIndex &index = layout->tabAdvSendMenuIndex;
    const int r = index.row;
    logMw(QStringLiteral("上移处理..ROW:%1").arg(r));
    if (tabAdvRowCount() <= 1 || !index.isValid() || r == 0 || r >= tabAdvRowCount())
        return;
    QUserCanMsg here, above;
    if (!tabAdvRowMsgGet(r, here) || !tabAdvRowMsgGet(r - 1, above))
        return;
    tabAdvRowMsgSet(r - 1, here);
    tabAdvRowMsgSet(r, above);
    tabAdvSendParaSync();
}

void MainWindow::soltTabAdvanceSendPopMenueActDown()
{
    logMw(QStringLiteral("下移消息..."));
    if (!tabDevSelectCheck()) {
        logMw(QStringLiteral("错误:操作非法..."));
        return;
    }
    const QUserMenuIndex &index = layout->tabAdvSendMenuIndex;
    const int r = index.row;
    logMw(QStringLiteral("下移处理..ROW:%1").arg(r));
    if (tabAdvRowCount() <= 1 || !index.isValid() || r + 1 >= tabAdvRowCount())
        return;
    QUserCanMsg here, below;
    if (!tabAdvRowMsgGet(r, here) || !tabAdvRowMsgGet(r + 1, below))
        return;
    tabAdvRowMsgSet(r + 1, here);
    tabAdvRowMsgSet(r, below);
    tabAdvSendParaSync();
}

void MainWindow::soltTabAdvanceSendPopMenueActClr()
{
    if (!tabDevSelectCheck())
        return;
    if (QUserMessageBox::msgQuestionEx(this, tr("警告"), tr("确定是否清空消息?")) != 1)
        return;
    logMw(QStringLiteral("清空消息..."));
    tabAdvListClear();
    tabAdvSendParaSync();
}

void MainWindow::soltTabAdvanceSendCellDoubleClick(int row, int column)
{
    QTableWidget *table = layout ? layout->tabAdvSendTable : nullptr;
    if (!table)
        return;
    if (column == ColData) {
        table->resizeRowToContents(row);
        return;
    }
    const QString devId = curTabDevGet();
    if (devId.isEmpty() || !devAdapter)
        return;
    QUserCanMsg msg;
    if (!tabAdvRowMsgGet(row, msg))
        return;
    msg.status = MsgTagAdvanceSend;
    devAdapter->devSendMsg(devId, msg);
}

// ---- start, stop, files ----------------------------------------------------

void MainWindow::soltTabAdvSendStart()
{
    if (!tabAdvSendParaCheck())
        return;
    QUserSendTask task;
    tabAdvSendParaGet(task);
    devAdapter->advanceSendStart(curTabDevGet(), task);
}

void MainWindow::soltTabAdvSendStop()
{
    const QString devId = curTabDevGet();
    if (!devId.isEmpty() && devAdapter)
        devAdapter->advanceSendStop(devId);
}

void MainWindow::soltTabAdvFileSave()
{
    logMw(QStringLiteral("保存高级发送配置文件..."));
    if (tabAdvRowCount() == 0) {
        logMw(QStringLiteral("错误:发送列表空..."));
        QUserMessageBox::msgWarning(this, tr("提示"), tr("发送列表空!"));
        return;
    }
    const QString devId = curTabDevGet();
    if (devId.isEmpty() || !devAdapter)
        return;
    QUserSendTask task;
    tabAdvSendParaGet(task);
    devAdapter->advanceSendParaSet(devId, task);
    const QString path = QUserPrompt::instance()->getSaveFileName(this, tr("另存为"), QStringLiteral("../"),
                                                                   QStringLiteral("txt(*.txt)"), nullptr);
    if (path.isEmpty())
        return;
    if (devAdapter->advanceSendCfgSave(devId, path))
        QUserMessageBox::msgCheck(this, tr("提示"), tr("保存成功!"));
    else
        QUserMessageBox::msgWarning(this, tr("错误"), tr("保存失败!"));
}

void MainWindow::soltTabAdvFileLoad()
{
    logMw(QStringLiteral("加载高级发送配置文件..."));
    const QString devId = curTabDevGet();
    if (devId.isEmpty() || !devAdapter)
        return;
    const QString path = QUserPrompt::instance()->getOpenFileName(this, tr("加载配置"), QString(),
                                                                   QStringLiteral("txt(*.txt)"), nullptr);
    if (path.isEmpty())
        return;
    if (!devAdapter->advanceSendCfgLoad(devId, path))
        return;
    QUserSendTask task;
    if (devAdapter->advanceSendParaGet(devId, task))
        tabAdvSendParaShow(task);
    uiTabAdvSendUpdate();
    // Entries the editor would never have let through stay out of the list;
    // the user learns which lines they were.
    QUserDeviceSendMachine *machine = devAdapter->sendMachine(devId);
    const QList<QUserAdvanceSend::Refused> refused =
        machine && machine->advanceSender() ? machine->advanceSender()->loadRefusedGet()
                                            : QList<QUserAdvanceSend::Refused>();
    if (refused.isEmpty())
        return;
    QStringList lines;
    for (const QUserAdvanceSend::Refused &r : refused)
        lines << tr("第%1行: %2").arg(r.line).arg(r.reason);
    QUserMessageBox::msgWarning(this, tr("错误"), tr("以下条目无效,未加载:") + QStringLiteral("\n") + lines.join(QStringLiteral("\n")));
}
