// The DBC send window: form, construction and destruction, the device
// binding, the window's own kemsig binding, the message encoder and the send
// action.
#include "dbc/QUserMainWindowDBCSend.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QToolBar>
#include <QVBoxLayout>

#include <cstring>

#include "core/QUserCanMsg.h"
#include "core/QUserTimer.h"
#include "dbc/DbcRecord.h"
#include "dbc/DbcSignalPage.h"
#include "dbc/DbcWindowTitle.h"
#include "dbc/QKemsigLib.h"
#include "devices/QUserDevChState.h"
#include "devices/QUserDeviceAdapter.h"
#include "resources/OrvaneResources.h"
#include "widgets/QUserProgressDlg.h"
#include "widgets/QUserTableWidget.h"
#include "widgets/QUserTreeWidget.h"

namespace {

void logLine(const QString &text) { qDebug().noquote() << "QUserMainWindowDBCSend" << ">" << text; }

QString &libName()
{
    static QString name = QStringLiteral("kemsig.dll");
    return name;
}

// A hexadecimal setting text as a number; 0 when it does not read.
quint32 hexSetting(const QString &text)
{
    bool ok = false;
    const qulonglong v = text.trimmed().toULongLong(&ok, 16);
    return ok ? quint32(v) : 0;
}

} // namespace

// ---- form -----------------------------------------------------------------------

void Ui_QUserMainWindowDBCSend::setupUi(QMainWindow *w)
{
    if (w->objectName().isEmpty())
        w->setObjectName(QStringLiteral("QUserMainWindowDBCSend"));
    w->resize(800, 600);

    actLoadDbc = new QAction(w);
    actLoadDbc->setObjectName(QStringLiteral("actLoadDbc"));
    actLoadDbc->setIcon(QIcon(QStringLiteral(":/res/database.png")));
    actOpen = new QAction(w);
    actOpen->setObjectName(QStringLiteral("actOpen"));
    actOpen->setIcon(QIcon(QStringLiteral(":/res/fold.png")));
    actSave = new QAction(w);
    actSave->setObjectName(QStringLiteral("actSave"));
    actSave->setIcon(QIcon(QStringLiteral(":/res/save.png")));
    actSet = new QAction(w);
    actSet->setObjectName(QStringLiteral("actSet"));
    actSet->setIcon(QIcon(QStringLiteral(":/res/gear.png")));
    actHelp = new QAction(w);
    actHelp->setObjectName(QStringLiteral("actHelp"));
    actHelp->setIcon(QIcon(QStringLiteral(":/res/msg_icon_question.png")));

    centralwidget = new QWidget(w);
    centralwidget->setObjectName(QStringLiteral("centralwidget"));
    verticalLayout = new QVBoxLayout(centralwidget);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    horizontalLayout_content = new QHBoxLayout;
    horizontalLayout_content->setObjectName(QStringLiteral("horizontalLayout_content"));
    verticalLayout->addLayout(horizontalLayout_content);
    w->setCentralWidget(centralwidget);

    menubar = new QMenuBar(w);
    menubar->setObjectName(QStringLiteral("menubar"));
    menu_DBC = new QMenu(menubar);
    menu_DBC->setObjectName(QStringLiteral("menu_DBC"));
    menuDBC = new QMenu(menubar);
    menuDBC->setObjectName(QStringLiteral("menuDBC"));
    menu = new QMenu(menubar);
    menu->setObjectName(QStringLiteral("menu"));
    w->setMenuBar(menubar);

    statusbar = new QStatusBar(w);
    statusbar->setObjectName(QStringLiteral("statusbar"));
    w->setStatusBar(statusbar);

    toolBar = new QToolBar(w);
    toolBar->setObjectName(QStringLiteral("toolBar"));
    QFont font;
    font.setFamily(QStringLiteral("微软雅黑"));
    toolBar->setFont(font);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    w->addToolBar(Qt::TopToolBarArea, toolBar);

    menubar->addAction(menu_DBC->menuAction());
    menubar->addAction(menuDBC->menuAction());
    menubar->addAction(menu->menuAction());
    menu_DBC->addAction(actLoadDbc);
    menu_DBC->addAction(actOpen);
    menu_DBC->addAction(actSave);
    menuDBC->addAction(actSet);
    menu->addAction(actHelp);
    toolBar->addAction(actLoadDbc);
    toolBar->addAction(actOpen);
    toolBar->addAction(actSave);
    toolBar->addAction(actHelp);

    retranslateUi(w);
}

void Ui_QUserMainWindowDBCSend::retranslateUi(QMainWindow *w)
{
    const char *ctx = "QUserMainWindowDBCSend";
    w->setWindowTitle(QCoreApplication::translate(ctx, "MainWindow"));
    actLoadDbc->setText(QCoreApplication::translate(ctx, "加载DBC"));
    actLoadDbc->setToolTip(QCoreApplication::translate(ctx, "加载DBC文件"));
    actOpen->setText(QCoreApplication::translate(ctx, "打开工程"));
    actOpen->setToolTip(QCoreApplication::translate(ctx, "打开工程文件"));
    actSave->setText(QCoreApplication::translate(ctx, "保存工程"));
    actSave->setToolTip(QCoreApplication::translate(ctx, "保存工程"));
    actSet->setText(QCoreApplication::translate(ctx, "参数设置"));
    actSet->setToolTip(QCoreApplication::translate(ctx, "发送参数设置"));
    actHelp->setText(QCoreApplication::translate(ctx, "帮助"));
    actHelp->setToolTip(QCoreApplication::translate(ctx, "帮助"));
    menu_DBC->setTitle(QCoreApplication::translate(ctx, "文件"));
    menuDBC->setTitle(QCoreApplication::translate(ctx, "设置"));
    menu->setTitle(QCoreApplication::translate(ctx, "帮助"));
    toolBar->setWindowTitle(QCoreApplication::translate(ctx, "toolBar"));
}

// ---- construction -------------------------------------------------------------------

QUserMainWindowDBCSend::QUserMainWindowDBCSend(QWidget *parent) : QMainWindow(parent)
{
    orvaneResourcesInit();
    registerCanMsgMetaTypes();
    work = new QUserDbcSendWork;
    ui = new Ui_QUserMainWindowDBCSend;
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    workThread.setWork(work);
    workThread.start();
    // The job's end, seen in the GUI thread: the record is the window's again.
    // Its dialog closes and its progress timer stops in this same delivery:
    // as deliveries of their own, either could come behind the next run's
    // start and cancel a load nobody cancelled.
    connect(
        work, QOverload<>::of(&QUserWork::stop), this,
        [this] {
            jobStopped = true;
            if (job.progressTimer)
                job.progressTimer->stop();
            if (job.progressDlg)
                job.progressDlg->cancel();
        },
        Qt::QueuedConnection);
    dbcSettingLoad();
    listWidgetsCreate();
    kemsigBind();
    windowLayout();
    fileMsgTreeUpdate();
    titleUpdate();
}

QUserMainWindowDBCSend::~QUserMainWindowDBCSend()
{
    dbcSettingSave();
    // A job may still hold the record (a window deleted outright while a
    // load runs): ask it to stop and wait for the thread before anything the
    // job uses goes.
    if (work) {
        disconnect(work, nullptr, this, nullptr);
        work->reqStop();
    }
    if (workThread.thread) {
        workThread.thread->quit();
        workThread.thread->wait();
    }
    delete work;
    work = nullptr;
    workThread.work = nullptr;
    delete workThread.thread;
    workThread.thread = nullptr;

    fileMsgList.clear();
    sendMsgList.clear();
    curMsgRow = -1;
    if (kemsig) {
        if (dbcHandle && kemsig->release)
            kemsig->release(dbcHandle);
        dbcHandle = nullptr;
        kemsig->unload();
        kemsig.reset();
    }
    delete treeWidget;
    treeWidget = nullptr;
    delete msgTable;
    msgTable = nullptr;
    delete sigTable;
    sigTable = nullptr;
    delete ui;
    ui = nullptr;
    // The job record deletes its progress timer and dialog.
}

void QUserMainWindowDBCSend::setLibFileName(const QString &name) { libName() = name; }

QString QUserMainWindowDBCSend::libFileName() { return libName(); }

void QUserMainWindowDBCSend::listWidgetsCreate()
{
    fileMsgList.clear();
    curMsgRow = -1;
    treeWidget = new QUserTreeWidget;
    msgTable = new QUserTableWidget;
    sigTable = new QUserTableWidget;
    dbcHandle = nullptr;
    fdAllowed = 0;
    deviceId.clear();
    devAdapter = nullptr;
}

void QUserMainWindowDBCSend::kemsigBind()
{
    kemsig = std::make_unique<QKemsigLib>(libName());
    if (!kemsig->isLoaded()) {
        logLine(QStringLiteral("Kem DBC Lib Load Fail..."));
        return;
    }
    logLine(QStringLiteral("Kem DBC Lib Load Success..."));
    if (kemsig->init)
        dbcHandle = kemsig->init();
    if (dbcHandle) {
        if (kemsig->setProtocol)
            kemsig->setProtocol(dbcHandle, dbcProtocolType == 1 ? KDBC_PROTOCOL_J1939 : KDBC_PROTOCOL_CAN);
        return;
    }
    logLine(QStringLiteral("DBC库初始化设备失败!!!"));
    QUserMessageBox::msgError(this, tr("错误"), tr("DBC库初始化设备失败!!!"));
}

bool QUserMainWindowDBCSend::kemsigBound() const { return kemsig && kemsig->isLoaded(); }

void QUserMainWindowDBCSend::setDevAdapter(const QString &id, QUserDeviceAdapter *adapter)
{
    deviceId = id;
    devAdapter = adapter;
    titleUpdate();
    if (!devAdapter) {
        logLine(QStringLiteral("ERROR:DBC DevAdapter Set Err, Is NULL..."));
        return;
    }
    QUserDevChState state;
    if (devAdapter->devInfoGet(deviceId, &state))
        fdAllowed = state.fdEnableGet();
    else
        logLine(QStringLiteral("ERROR:DBC DevAdapter Set Err, Dev(%1) Info Get Fail...").arg(deviceId));
}

QString QUserMainWindowDBCSend::channelText() const { return DbcWindowTitle::channelText(deviceId); }

void QUserMainWindowDBCSend::titleUpdate()
{
    const QString channel = channelText();
    setWindowTitle(DbcWindowTitle::compose(tr("DBC发送"), titleFile, channel));
    if (!channelLabel && ui && ui->statusbar) {
        channelLabel = new QLabel(ui->statusbar);
        channelLabel->setObjectName(QStringLiteral("labelSendChannel"));
        ui->statusbar->addPermanentWidget(channelLabel);
    }
    if (channelLabel) {
        channelLabel->setText(channel.isEmpty() ? QString() : tr("发送通道:") + channel);
        channelLabel->setVisible(!channel.isEmpty());
    }
}

void QUserMainWindowDBCSend::closeEvent(QCloseEvent *event)
{
    if (loading) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

// ---- encoding -----------------------------------------------------------------------

bool QUserMainWindowDBCSend::j1939AddrValid(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 2)
        return false;
    bool ok = false;
    const uint v = t.toUInt(&ok, 16);
    return ok && v <= 0xFF;
}

QString QUserMainWindowDBCSend::dbcMsgIdText(quint32 nID, int protocolType, const QString &srcAddr,
                                            const QString &dstAddr)
{
    quint32 id = 0;
    if (protocolType == 1) {
        const quint32 src = hexSetting(srcAddr) & 0xFF;
        id = (nID & 0x1FFFFF00u) | src;
        if (((nID >> 16) & 0xFF) <= 0xEF) {
            // PDU1: the PDU specific byte is the destination address, eight
            // bits wide whatever the setting holds.
            const quint32 dst = hexSetting(dstAddr) & 0xFF;
            id = (id & ~0x0000FF00u) | (dst << 8);
        }
    } else {
        id = nID & 0x1FFFFFFFu;
    }
    return QString::asprintf("%X", id);
}

bool QUserMainWindowDBCSend::dbcMsgEncode(QUserDbcMsg &msg)
{
    if (!kemsig || !kemsig->encode) {
        logLine(QStringLiteral("ERROR:DBC Msg Encode Fail,Encode Err..."));
        return false;
    }
    // A DbcMessage is 100 KB: off the stack.
    auto rec = std::make_unique<DbcMessage>();
    std::memset(rec.get(), 0, sizeof(DbcMessage));
    // Only what a frame of the message carries goes to the encoder: the
    // plain signals, the switch and the page it selects. The pages share
    // their bits, so the signals of other pages would overwrite it.
    QUserDbcMsg page = msg;
    page.vSignals.clear();
    for (int i : DbcSignalPage::carried(msg))
        page.vSignals.append(msg.vSignals.at(i));
    DbcMessageRecord::toLib(page, rec.get());
    uint8_t data[64];
    std::memset(data, 0, sizeof data);
    // The encoder gives the message's length; 0 is a frame without data
    // bytes, legal on CAN.
    const uint32_t size = kemsig->encode(dbcHandle, data, sizeof data, rec.get());
    // A length beyond the buffer (a hand-edited project) sends what the
    // buffer holds.
    const int n = int(std::min<uint32_t>(size, sizeof data));
    msg.strFrameId = dbcMsgIdText(msg.nID, dbcProtocolType, j1939SrcAddr, j1939DstAddr);
    msg.strData = bytesToHex(data, n);
    return true;
}

// ---- sending ------------------------------------------------------------------------

void QUserMainWindowDBCSend::soltMsgListItemBtnSendClick()
{
    if (!kemsig)
        return;
    // A row's button sends its own row; without a button (a call from
    // elsewhere) the current row is sent.
    int row = -1;
    QObject *from = sender();
    const QVariant sendRow = from ? from->property("sendRow") : QVariant();
    if (sendRow.isValid())
        row = sendRow.toInt();
    else if (msgTable)
        row = msgTable->currentRow();
    if (row < 0 || row >= sendMsgList.size()) {
        logLine(QStringLiteral("ERROR:DBC Msg Send Fail,Msg Get Fail..."));
        QUserMessageBox::msgError(this, tr("错误"), tr("发送错误,DBC消息获取失败"));
        return;
    }
    QUserDbcMsg &m = sendMsgList[row];
    if (!dbcMsgEncode(m)) {
        logLine(QStringLiteral("ERROR:DBC Msg Send Fail,Encode Err..."));
        QUserMessageBox::msgError(this, tr("错误"), tr("发送错误,DBC消息编码错误"));
        return;
    }
    if (!m.isIdValid()) {
        logLine(QStringLiteral("ERROR:DBC Msg Send Fail,Msg Id Invalid..."));
        QUserMessageBox::msgError(this, tr("错误"), tr("数据ID无效,请检查<参数设置>里的协议类型\r\n是否和DBC文件匹配!"));
        return;
    }

    QUserCanMsg frame;
    frame.sendType = 0;
    frame.status = MsgTagDbcSend;
    const int n = m.strData.size() / 2;
    int len = 0;
    if (fdAllowed) {
        frame.protocol = uint8_t(fdSendProcotol);
        // The device sends the bit-rate switch from bit 0 of the CAN FD
        // flag byte, not from the protocol code.
        if (frame.protocol == 2)
            frame.fdFlags |= 0x01;
        len = std::min(n, 64);
    } else {
        frame.protocol = 0;
        len = std::min(n, 8);
    }
    frame.idText = m.strFrameId;
    frame.remote = 0;
    frame.extended = m.nExtend ? 1 : 0;
    frame.lenText = QString::number(len);
    frame.dataText = m.strData;

    const bool sent = devAdapter && devAdapter->devSendMsg(deviceId, frame);
    if (sent) {
        statusBar()->showMessage(tr("发送成功.."));
        return;
    }
    logLine(QStringLiteral("ERROR:DBC Msg Send Fail,CanMsg Send Fail ..."));
    statusBar()->showMessage(tr("发送失败.."));
    QUserMessageBox::msgError(this, tr("错误"), tr("发送失败.."));
}
