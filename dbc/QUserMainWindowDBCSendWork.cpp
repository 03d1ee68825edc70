// The DBC send window's background part: the runner that shows the modal
// progress dialog while the load worker runs, the handling of the job's
// result, the settings in the system configuration with their dialog, and
// the help.
#include "dbc/QUserMainWindowDBCSend.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEvent>
#include <QEventLoop>
#include <QIcon>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QSplitter>
#include <QTimer>

#include "core/QUserSysCfg.h"
#include "core/QUserTimer.h"
#include "dbc/DbcKemsigLoad.h"
#include "widgets/QUserDlgInfo.h"
#include "widgets/QUserDlgSetting.h"
#include "widgets/QUserProgressDlg.h"
#include "widgets/QUserPrompt.h"

namespace {

void logLine(const QString &text) { qDebug().noquote() << "QUserMainWindowDBCSend" << ">" << text; }

} // namespace

// ---- the load runner --------------------------------------------------------------------

int QUserMainWindowDBCSend::dbcSendWorkRun(QUserDbcSendWork *w, DbcLoadJob *j)
{
    if (!w || !j)
        return -1;
    if (!j->progressDlg) {
        auto *pd = new QUserProgressDlg;
        // A progress dialog arms a timer at construction that would show it
        // on its own; it is shown by the runs only.
        pd->reset();
        pd->setWindowFlags(pd->windowFlags() | Qt::FramelessWindowHint);
        pd->setAttribute(Qt::WA_TranslucentBackground);
        pd->setMinimumDuration(0);
        pd->setWindowIcon(QIcon(QStringLiteral(":/res/msg_icon_info.png")));
        pd->setRange(0, 100);
        pd->setMinimumWidth(200);
        pd->setCancelButtonText(tr("取消"));
        pd->setAutoClose(false);
        j->progressDlg = pd;
        connect(w, &QUserWork::progressValue, pd, &QProgressDialog::setValue, Qt::QueuedConnection);
    }
    QUserProgressDlg *pd = j->progressDlg;
    pd->reset(); // clears the cancel state of the previous run
    pd->setWindowModality(Qt::ApplicationModal);
    pd->setRange(0, 100);
    pd->setValue(0);
    if (j->reqType == DbcLoadJob::ReqLoad) {
        pd->setWindowTitle(tr("加载中..."));
        pd->setLabelText(tr("加载中..."));
        if (!j->progressTimer)
            j->progressTimer = new QUserTimer(j);
        connect(j->progressTimer, &QUserTimer::timeout, this, &QUserMainWindowDBCSend::slotDbcSendWorkTimeout,
                Qt::UniqueConnection);
        j->progressTimer->start(500);
    }
    const QRect g = geometry();
    pd->move(g.x() + g.width() / 2 - pd->width() / 2, g.y() + g.height() / 2 - pd->height() / 2);

    loading = true;
    jobStopped = false;
    j->running.store(true);
    w->reqRun(j->reqType, j);
    QUserPrompt::instance()->exec(pd);
    if (!jobStopped) {
        // The dialog was closed while the job still runs: cancelled.
        loadBusyWait(j);
        j->result = DbcKemsigLoad::Cancelled;
    }
    // What the job's end still has queued for the dialog and the timer
    // belongs to this run, not to the next one.
    QCoreApplication::sendPostedEvents(pd, QEvent::MetaCall);
    if (j->progressTimer)
        QCoreApplication::sendPostedEvents(j->progressTimer, QEvent::MetaCall);
    loading = false;
    return 0;
}

void QUserMainWindowDBCSend::loadBusyWait(DbcLoadJob *j)
{
    logLine(QStringLiteral("DBC Load Cancel, Wait Job Stop..."));
    work->reqStop();
    // The window stays busy, behind the same application-modal dialog,
    // until the worker has let go of the record.
    QUserProgressDlg *pd = j->progressDlg;
    pd->setLabelText(tr("取消中..."));
    pd->setCancelButton(nullptr);
    pd->show();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
        if (jobStopped)
            loop.quit();
    });
    poll.start();
    if (!jobStopped)
        loop.exec();
    poll.stop();
    pd->hide();
    pd->setCancelButtonText(tr("取消"));
}

void QUserMainWindowDBCSend::dbcFileLoadResult(DbcLoadJob *j)
{
    if (!j)
        return;
    if (j->progressDlg)
        j->progressDlg->hide();
    switch (j->result) {
    case DbcKemsigLoad::Done:
        fileMsgList = j->messages;
        break;
    case DbcKemsigLoad::EmptyPath:
        logLine(QStringLiteral("DBC文件加载失败,路径空!!!"));
        QUserMessageBox::msgError(this, tr("错误"), tr("DBC文件加载失败,路径空!!!"));
        break;
    case DbcKemsigLoad::LibLoadFailed:
        logLine(QStringLiteral("DBC库加载失败!!!"));
        QUserMessageBox::msgError(this, tr("错误"), tr("DBC库加载失败!!!"));
        break;
    case DbcKemsigLoad::InitFailed:
        logLine(QStringLiteral("DBC库初始化设备失败!!!"));
        QUserMessageBox::msgError(this, tr("错误"), tr("DBC库初始化设备失败!!!"));
        break;
    case DbcKemsigLoad::ParseFailed:
        logLine(QStringLiteral("DBC文件<%1>解析失败!!!").arg(j->dbcFilePath));
        QUserMessageBox::msgError(this, tr("错误"), tr("DBC文件解析失败!!!"));
        break;
    case DbcKemsigLoad::Cancelled:
        logLine(QStringLiteral("DBC文件<%1>加载已取消...").arg(j->dbcFilePath));
        break;
    default:
        break;
    }
    j->messages.clear();
    if (j->progressTimer)
        j->progressTimer->stop();
    if (j->result != DbcKemsigLoad::Cancelled)
        msgBox.tipSuccess(this, tr("操作完成!"), 500);
}

void QUserMainWindowDBCSend::slotDbcSendWorkTimeout(void *p)
{
    auto *j = static_cast<DbcLoadJob *>(p);
    if (!j || !j->progressDlg)
        return;
    j->progressDlg->setValue(j->progressCounter);
    ++j->progressCounter;
}

// ---- settings -----------------------------------------------------------------------------

void QUserMainWindowDBCSend::dbcSettingLoad()
{
    QUserSysCfg *cfg = QUserSysCfg::instance();
    // A value outside its choices (a store edited by hand) is replaced by
    // the default and written back: an unknown FD protocol code would reach
    // the device with every frame.
    dbcProtocolType = cfg->getInt(QStringLiteral("dbcProcotolType"));
    if (dbcProtocolType != 0 && dbcProtocolType != 1) {
        if (dbcProtocolType != -1)
            logLine(QStringLiteral("WARNING:dbcProcotolType %1 Out Of Range[0,1], 0 Used...").arg(dbcProtocolType));
        dbcProtocolType = 0;
        cfg->setInt(QStringLiteral("dbcProcotolType"), 0);
    }
    j1939SrcAddr = cfg->getString(QStringLiteral("dbcMsgSrcAddr"));
    if (j1939SrcAddr.isEmpty())
        j1939SrcAddr = QStringLiteral("FF");
    j1939DstAddr = cfg->getString(QStringLiteral("dbcMsgDstAddr"));
    if (j1939DstAddr.isEmpty())
        j1939DstAddr = QStringLiteral("FF");
    fdSendProcotol = cfg->getInt(QStringLiteral("dbcFdSendProcotol"));
    if (fdSendProcotol < 0 || fdSendProcotol > 2) {
        if (fdSendProcotol != -1)
            logLine(QStringLiteral("WARNING:dbcFdSendProcotol %1 Out Of Range[0,2], 2 Used...").arg(fdSendProcotol));
        fdSendProcotol = 2;
        cfg->setInt(QStringLiteral("dbcFdSendProcotol"), 2);
    }
    spliteRootRate = cfg->getSplitterState(QStringLiteral("dbcSendSpliteRootRate"));
    spliteRightRate = cfg->getSplitterState(QStringLiteral("dbcSendSpliteRightRate"));
}

void QUserMainWindowDBCSend::dbcSettingSave()
{
    QUserSysCfg *cfg = QUserSysCfg::instance();
    cfg->setInt(QStringLiteral("dbcProcotolType"), dbcProtocolType);
    cfg->setString(QStringLiteral("dbcMsgSrcAddr"), j1939SrcAddr);
    cfg->setString(QStringLiteral("dbcMsgDstAddr"), j1939DstAddr);
    cfg->setInt(QStringLiteral("dbcFdSendProcotol"), fdSendProcotol);
    if (splitterRoot)
        cfg->setByteArray(QStringLiteral("dbcSendSpliteRootRate"), splitterRoot->saveState());
    if (splitterRight)
        cfg->setByteArray(QStringLiteral("dbcSendSpliteRightRate"), splitterRight->saveState());
}

void QUserMainWindowDBCSend::slotDbcSetting()
{
    logLine(QStringLiteral("DBC Send Setting..."));
    QUserDlgSetting dlg;
    dlg.dlgInitIcon(tr("DBC发送参数设置"), QStringLiteral(":/res/gear.png"));
    QList<QUserDlgSettingItem> rows;
    QUserDlgSettingItem it;
    it.itemType = QUserDlgSettingItem::Combo;
    it.itemName = tr("DBC协议类型:");
    it.comboItems = QStringList{tr("CAN普通"), tr("J1939")};
    it.comboIndex = dbcProtocolType;
    it.itemComment = tr("根据实际协议选择");
    rows << it;
    it = QUserDlgSettingItem();
    it.itemType = QUserDlgSettingItem::Edit;
    it.itemName = tr("J1939源地址:");
    it.itemValue = j1939SrcAddr;
    it.itemComment = tr("十六进制格式,00-FF");
    rows << it;
    it.itemName = tr("J1939目的地址:");
    it.itemValue = j1939DstAddr;
    rows << it;
    it = QUserDlgSettingItem();
    it.itemType = QUserDlgSettingItem::Combo;
    it.itemName = tr("FD设备帧协议:");
    it.comboItems = QStringList{tr("CAN"), tr("CANFD"), tr("CANFD加速")};
    it.comboIndex = fdSendProcotol;
    it.itemComment = tr("FD设备工作于于FD模式时有效");
    rows << it;
    dlg.itemsSet(rows);
    // An address is one byte: the editors take at most two hex digits.
    const QRegularExpression addr(QStringLiteral("^[0-9A-Fa-f]{0,2}$"));
    for (int i = 1; i <= 2; ++i) {
        if (QLineEdit *e = dlg.itemsGet()->at(i).lineEdit)
            e->setValidator(new QRegularExpressionValidator(addr, e));
    }
    if (dlg.dlgExec() != 1)
        return;

    const QList<QUserDlgSettingItem> &got = *dlg.itemsGet();
    if (got.size() < 4)
        return;
    const int protocol = got.at(0).comboIndex;
    const QString src = got.at(1).itemValue;
    const QString dst = got.at(2).itemValue;
    const int fd = got.at(3).comboIndex;
    if (!j1939AddrValid(src) || !j1939AddrValid(dst)) {
        // Taken as they are, wider addresses would spill into the PDU format
        // and priority bits of every J1939 identifier.
        logLine(QStringLiteral("ERROR:J1939 Addr Invalid,Src:%1,Dst:%2...").arg(src, dst));
        QUserMessageBox::msgError(this, tr("错误"), tr("J1939地址无效,有效范围:00-FF!"));
        return;
    }
    if (protocol == dbcProtocolType && src == j1939SrcAddr && dst == j1939DstAddr && fd == fdSendProcotol)
        return;
    dbcProtocolType = protocol;
    j1939SrcAddr = src;
    j1939DstAddr = dst;
    fdSendProcotol = fd;
    dbcSettingSave();
}

// ---- help ---------------------------------------------------------------------------------

void QUserMainWindowDBCSend::slotDbcHelp()
{
    QUserDlgInfo dlg;
    dlg.dlgInitIcon(tr("DBC发送帮助"), QStringLiteral(":/res/msg_icon_info.png"));
    QList<QStringList> rows;
    rows << QStringList{tr("操作步骤:"), tr("<加载DBC><选择消息><发送>")};
    rows << QStringList{tr("加载DBC:"), tr("通过菜单[文件]->[加载DBC]加载DBC文件")};
    rows << QStringList{tr("选择消息:"), tr("从左侧\"DBC文件消息总表\"中选择消息添加到右侧消息发送列表")};
    rows << QStringList{tr("选择方法:"), tr("鼠标左键拖拽消息到发送列表,或通过右键弹出菜单添加")};
    rows << QStringList{tr("信号修改:"), tr("双击信号列表中的原始值或物理值进行修改")};
    rows << QStringList{tr("发送方法:"), tr("点击消息发送列表中的[发送]按钮发送该行消息")};
    rows << QStringList{tr("信号值格式:"), tr("原始值是十六进制数,物理值是十进制数")};
    rows << QStringList{tr("保存工程:"), tr("保存当前的发送配置,便于下次快速加载")};
    rows << QStringList{tr("打开工程:"), tr("打开保存的工程文件,加载发送配置")};
    rows << QStringList{tr("属性查看:"), tr("双击消息名称或信号名称可查看其属性")};
    dlg.infoSet(rows);
    dlg.dlgExec();
}
