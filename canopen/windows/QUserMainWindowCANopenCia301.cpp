// The "CiA301" page of the CANopen window: a hand-operated master console,
// one group per service. Each button reads and checks its inputs, builds one
// frame and sends it at once on the window's channel.
#include "canopen/windows/QUserMainWindowCANopen.h"

#include "canopen/QUserCANopenUiSetting.h"
#include "devices/QUserDeviceAdapter.h"
#include "widgets/QUserMessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cctype>

namespace {

QString noBlanks(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!c.isSpace())
            out += c;
    return out;
}

// Hexadecimal digits and white space only ("0x10" or "-1" are not bytes).
bool hexDigitsOnly(const QString &text)
{
    for (QChar c : text)
        if (!c.isSpace() && !isxdigit(c.toLatin1()))
            return false;
    return true;
}

QFrame *sunkenLine()
{
    QFrame *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLineEdit *lineEdit(const char *name, const QString &text, int maxLength = 0)
{
    QLineEdit *e = new QLineEdit;
    e->setObjectName(QLatin1String(name));
    if (maxLength > 0)
        e->setMaxLength(maxLength);
    e->setText(text);
    return e;
}

QComboBox *comboBox(const char *name, const QStringList &items, const QString &current)
{
    QComboBox *c = new QComboBox;
    c->setObjectName(QLatin1String(name));
    c->addItems(items);
    c->setCurrentText(current);
    return c;
}

QPushButton *button(const char *name, const QString &text)
{
    QPushButton *b = new QPushButton(text);
    b->setObjectName(QLatin1String(name));
    return b;
}

QGroupBox *group(const QString &title, const QList<QList<QWidget *>> &rows)
{
    QGroupBox *g = new QGroupBox(title);
    QVBoxLayout *v = new QVBoxLayout(g);
    for (const QList<QWidget *> &row : rows) {
        QHBoxLayout *h = new QHBoxLayout;
        for (QWidget *w : row) {
            if (w)
                h->addWidget(w);
            else
                h->addStretch();
        }
        v->addLayout(h);
    }
    return g;
}

} // namespace

QWidget *QUserMainWindowCANopen::cia301PageCreat()
{
    QUserCia301UiSetting &s = uiSetting->cia301;
    QUserCia301UiSetting::Widgets &w = s.w;

    QScrollArea *area = new QScrollArea;
    area->setObjectName(QStringLiteral("scrollAreaCia301"));
    area->setWidgetResizable(true);
    area->setAlignment(Qt::Alignment(2));
    QWidget *page = new QWidget;
    QPalette pal = page->palette();
    pal.setBrush(QPalette::Window, Qt::white);
    page->setPalette(pal);
    page->setAutoFillBackground(true);
    QVBoxLayout *layout = new QVBoxLayout(page);

    QHBoxLayout *nodeRow = new QHBoxLayout;
    nodeRow->addWidget(new QLabel(QStringLiteral("Node-ID:")));
    w.Cia301NodeId = lineEdit("lineEditCia301NodeId", s.Cia301NodeId);
    w.Cia301NodeId->setPlaceholderText(QStringLiteral("1-127"));
    nodeRow->addWidget(w.Cia301NodeId);
    QLabel *hint = new QLabel(tr("(有效值:10进制数1-127)"));
    hint->setEnabled(false);
    // It wraps rather than widen the page.
    hint->setWordWrap(true);
    nodeRow->addWidget(hint, 1);
    nodeRow->addStretch();
    layout->addLayout(nodeRow);
    layout->addWidget(sunkenLine());

    const QStringList pdoItems{QStringLiteral("TPDO1"), QStringLiteral("RPDO1"), QStringLiteral("TPDO2"),
                               QStringLiteral("RPDO2"), QStringLiteral("TPDO3"), QStringLiteral("RPDO3"),
                               QStringLiteral("TPDO4"), QStringLiteral("RPDO4")};

    // NMT
    w.comBoxNmtType = comboBox("comBoxNmtType", {tr("启动"), tr("停止"), tr("预操作"), tr("复位"), tr("复位通讯")},
                               s.comBoxNmtType);
    QPushButton *nmtSend = button("pushButtonNmtSend", tr("发送"));
    layout->addWidget(group(tr("NMT命令"), {{new QLabel(QStringLiteral("COB-ID=0x00")), new QLabel(tr("远程操作")),
                                              w.comBoxNmtType, nullptr, nmtSend}}));
    connect(nmtSend, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia301NmtSend);

    // node guarding
    QPushButton *guardGet = button("pushButtonNmtGuardGet", tr("查询"));
    w.comBoxNmtGuardType = comboBox("comBoxNmtGuardType",
                                    {tr("启动状态"), tr("停止状态"), tr("操作状态"), tr("预操作状态")},
                                    s.comBoxNmtGuardType);
    QPushButton *guardAck = button("pushButtonNmtGuardAck", tr("发送"));
    layout->addWidget(group(tr("NMT节点守护"), {{new QLabel(tr("状态查询:")), guardGet, nullptr},
                                                {new QLabel(tr("状态应答:")), w.comBoxNmtGuardType, nullptr, guardAck}}));
    connect(guardGet, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia301NmtGuardStatusGet);
    connect(guardAck, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia301NmtGuardStatusAck);

    // SYNC
    QComboBox *syncType = comboBox("comBoxSyncType", {tr("发送同步报文")}, QString());
    w.lineEditSyncCnt = lineEdit("lineEditSyncCnt", s.lineEditSyncCnt);
    w.lineEditSyncCnt->setPlaceholderText(QStringLiteral("1-32"));
    QPushButton *syncSend = button("pushButtonSyncSend", tr("发送"));
    layout->addWidget(group(tr("SYNC命令"), {{new QLabel(QStringLiteral("COB-ID=0x") + QString::number(0x80, 16)),
                                               new QLabel(tr("远程操作")), syncType, nullptr},
                                              {new QLabel(tr("次数:")), w.lineEditSyncCnt, nullptr, syncSend}}));
    connect(syncSend, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia301SyncSend);

    // EMCY
    w.lineEditErrCode = lineEdit("lineEditErrCode", s.lineEditErrCode);
    w.lineEditErrRegister = lineEdit("lineEditErrRegister", s.lineEditErrRegister);
    w.lineEditUserErrCode = lineEdit("lineEditUserErrCode", s.lineEditUserErrCode);
    QPushButton *emergSend = button("pushButtonEmergSend", tr("发送"));
    QLabel *emcyCob = new QLabel(QStringLiteral("COB-ID=0x") + QString::number(0x80 + s.nodeId, 16));
    emcyCob->setObjectName(QStringLiteral("labelEmcyCobId"));
    layout->addWidget(group(tr("EMERG命令"), {{emcyCob, nullptr},
                                               {new QLabel(tr("紧急错误代码(2BYTE):")), w.lineEditErrCode, nullptr},
                                               {new QLabel(tr("错误寄存器(1BYTE):")), w.lineEditErrRegister, nullptr},
                                               {new QLabel(tr("自定义错误代码(5BYTE):")), w.lineEditUserErrCode,
                                                nullptr, emergSend}}));
    connect(emergSend, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia301EmergSend);

    // PDO
    w.comBoxPdoType = comboBox("comBoxPdoType", pdoItems, s.comBoxPdoType);
    w.lineEditPdoData = lineEdit("lineEditPdoData", s.lineEditPdoData);
    QPushButton *pdoSend = button("pushButtonPdoSend", tr("发送"));
    layout->addWidget(group(tr("PDO命令"), {{new QLabel(tr("类型:")), w.comBoxPdoType, nullptr},
                                             {new QLabel(tr("数据:")), w.lineEditPdoData, nullptr, pdoSend}}));
    connect(pdoSend, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia301PdoSend);

    // remote PDO
    w.comBoxRemotePdoType = comboBox("comBoxRemotePdoType", pdoItems, s.comBoxRemotePdoType);
    QPushButton *remoteSend = button("pushButtonRemotePdoSend", tr("发送"));
    layout->addWidget(
        group(tr("远程PDO请求"), {{new QLabel(tr("类型:")), w.comBoxRemotePdoType, nullptr, remoteSend}}));
    connect(remoteSend, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia301RemotePdoSend);

    // SDO write
    w.lineEditSdoFastWriteIndex = lineEdit("lineEditSdoFastWriteIndex", s.lineEditSdoFastWriteIndex, 4);
    w.lineEditSdoFastWriteSubIndex = lineEdit("lineEditSdoFastWriteSubIndex", s.lineEditSdoFastWriteSubIndex, 2);
    w.comBoxSdoFastWriteLen =
        comboBox("comBoxSdoFastWriteLen", {tr("1字节"), tr("2字节"), tr("3字节"), tr("4字节")}, s.comBoxSdoFastWriteLen);
    w.lineEditSdoFastWriteData = lineEdit("lineEditSdoFastWriteData", s.lineEditSdoFastWriteData);
    QPushButton *sdoWrite = button("pushButtonSdoFastWrite", tr("写入"));
    layout->addWidget(group(tr("快速SDO写操作"),
                            {{new QLabel(tr("索引(2BYTE):0x")), w.lineEditSdoFastWriteIndex, nullptr},
                             {new QLabel(tr("子索引(1BYTE):0x")), w.lineEditSdoFastWriteSubIndex, nullptr},
                             {new QLabel(tr("长度:")), w.comBoxSdoFastWriteLen, nullptr},
                             {new QLabel(tr("数据:")), w.lineEditSdoFastWriteData, nullptr, sdoWrite}}));
    connect(sdoWrite, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia301SdoFastWrite);

    // SDO read
    w.lineEditSdoFastReadIndex = lineEdit("lineEditSdoFastReadIndex", s.lineEditSdoFastReadIndex, 4);
    w.lineEditSdoFastReadSubIndex = lineEdit("lineEditSdoFastReadSubIndex", s.lineEditSdoFastReadSubIndex, 2);
    QPushButton *sdoRead = button("pushButtonSdoFastRead", tr("读取"));
    layout->addWidget(group(tr("快速SDO读操作"),
                            {{new QLabel(tr("索引(2BYTE):0x")), w.lineEditSdoFastReadIndex, nullptr},
                             {new QLabel(tr("子索引(1BYTE):0x")), w.lineEditSdoFastReadSubIndex, nullptr, sdoRead}}));
    connect(sdoRead, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia301SdoFastRead);

    // TIME
    w.dateTimeEdit = new QDateTimeEdit;
    w.dateTimeEdit->setObjectName(QStringLiteral("dateTimeEdit"));
    w.dateTimeEdit->setDisplayFormat(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    w.dateTimeEdit->setCalendarPopup(true);
    bool ok = false;
    const qint64 secs = s.dateTimeEdit.toLongLong(&ok, 10);
    w.dateTimeEdit->setDateTime(ok ? QDateTime::fromSecsSinceEpoch(secs) : QDateTime::currentDateTime());
    w.chkBoxUseSysTime = new QCheckBox(tr("使用系统时间"));
    w.chkBoxUseSysTime->setObjectName(QStringLiteral("chkBoxUseSysTime"));
    w.chkBoxUseSysTime->setChecked(s.chkBoxUseSysTime == QLatin1String("true"));
    QPushButton *timeSend = button("pushButtonTimeSend", tr("发送"));
    layout->addWidget(group(tr("时间设置"), {{w.dateTimeEdit, nullptr}, {w.chkBoxUseSysTime, nullptr, timeSend}}));
    connect(timeSend, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia301TimeSync);

    layout->addStretch();
    area->setWidget(page);
    return area;
}

// ---- node id and sending -------------------------------------------------------------------

bool QUserMainWindowCANopen::cia301NodeIdGet()
{
    QLineEdit *edit = uiSetting->cia301.w.Cia301NodeId;
    const QString text = edit ? noBlanks(edit->text()) : QString();
    if (text.isEmpty()) {
        QUserMessageBox::msgWarning(this, tr("错误"), tr("Node-Id不能为空!"));
        return false;
    }
    uiSetting->cia301.nodeId = uint8_t(text.toUInt(nullptr, 10) & 0xFF);
    return true;
}

bool QUserMainWindowCANopen::sendOne(QUserCanMsg &frame)
{
    if (!devAdapter)
        return false;
    return devAdapter->devSendMsg(devId, frame) != 0;
}

void QUserMainWindowCANopen::slotCia301NmtSend()
{
    if (!cia301NodeIdGet())
        return;
    QUserCanMsg frame;
    if (decoder.nmtMsgCreat(frame, uiSetting->cia301.nodeId, uiSetting->cia301.w.comBoxNmtType->currentIndex()))
        sendOne(frame);
}

void QUserMainWindowCANopen::slotCia301NmtGuardStatusGet()
{
    if (!cia301NodeIdGet())
        return;
    QUserCanMsg frame;
    if (decoder.nmtGuardStatusGetMsgCreat(frame, uiSetting->cia301.nodeId))
        sendOne(frame);
}

void QUserMainWindowCANopen::slotCia301NmtGuardStatusAck()
{
    if (!cia301NodeIdGet())
        return;
    QUserCanMsg frame;
    if (decoder.nmtGuardStatusAckMsgCreat(frame, uiSetting->cia301.nodeId,
                                          uiSetting->cia301.w.comBoxNmtGuardType->currentIndex()))
        sendOne(frame);
}

void QUserMainWindowCANopen::slotCia301SyncSend()
{
    const QString text = noBlanks(uiSetting->cia301.w.lineEditSyncCnt->text());
    if (text.isEmpty()) {
        QUserMessageBox::msgWarning(this, tr("错误"), tr("发送次数不能为空!"));
        return;
    }
    // The field asks for 1-32: a count beyond it is not sent, so that a
    // mistyped number cannot build millions of copies.
    bool ok = false;
    const uint count = text.toUInt(&ok, 10);
    if (!ok || count < 1 || count > kSyncCountMax) {
        QUserMessageBox::msgWarning(this, tr("错误"), tr("发送次数范围:1-%1").arg(kSyncCountMax));
        return;
    }
    QUserCanMsg frame;
    if (!decoder.syncMsgCreat(frame))
        return;
    QVector<QUserCanMsg> list(int(count), frame);
    if (devAdapter)
        devAdapter->devSendMsgList(devId, list);
}

void QUserMainWindowCANopen::slotCia301EmergSend()
{
    if (!cia301NodeIdGet())
        return;
    const QUserCia301UiSetting::Widgets &w = uiSetting->cia301.w;
    const QString code = w.lineEditErrCode->text();
    const QString reg = w.lineEditErrRegister->text();
    const QString user = w.lineEditUserErrCode->text();
    if (code.isEmpty() || reg.isEmpty() || user.isEmpty()) {
        QUserMessageBox::msgWarning(this, tr("错误"), tr("发送参数不能为空!"));
        return;
    }
    if (!hexDigitsOnly(code) || !hexDigitsOnly(reg) || !hexDigitsOnly(user)) {
        QUserMessageBox::msgWarning(this, tr("错误"), tr("数据只能是十六进制数字!"));
        return;
    }
    QUserCanMsg frame;
    if (decoder.emergMsgCreat(frame, uiSetting->cia301.nodeId, code, reg, user))
        sendOne(frame);
}

void QUserMainWindowCANopen::slotCia301PdoSend()
{
    if (!cia301NodeIdGet())
        return;
    QString data = uiSetting->cia301.w.lineEditPdoData->text();
    if (!hexDigitsOnly(data)) {
        QUserMessageBox::msgWarning(this, tr("错误"), tr("数据只能是十六进制数字!"));
        return;
    }
    QUserCanMsg frame;
    if (decoder.pdoMsgCreat(frame, uiSetting->cia301.nodeId, uiSetting->cia301.w.comBoxPdoType->currentIndex(), data))
        sendOne(frame);
}

void QUserMainWindowCANopen::slotCia301RemotePdoSend()
{
    if (!cia301NodeIdGet())
        return;
    QUserCanMsg frame;
    if (decoder.remotePdoMsgCreat(frame, uiSetting->cia301.nodeId,
                                  uiSetting->cia301.w.comBoxRemotePdoType->currentIndex()))
        sendOne(frame);
}

void QUserMainWindowCANopen::slotCia301SdoFastWrite()
{
    if (!cia301NodeIdGet())
        return;
    const QUserCia301UiSetting::Widgets &w = uiSetting->cia301.w;
    const QString index = noBlanks(w.lineEditSdoFastWriteIndex->text());
    if (index.isEmpty()) {
        QUserMessageBox::msgWarning(this, tr("错误"), tr("索引不能为空!"));
        return;
    }
    const QString sub = noBlanks(w.lineEditSdoFastWriteSubIndex->text());
    if (sub.isEmpty()) {
        QUserMessageBox::msgWarning(this, tr("错误"), tr("子索引不能为空!"));
        return;
    }
    QString data = w.lineEditSdoFastWriteData->text();
    if (!hexDigitsOnly(data)) {
        QUserMessageBox::msgWarning(this, tr("错误"), tr("数据只能是十六进制数字!"));
        return;
    }
    QUserCanMsg frame;
    if (decoder.sdoFastWriteMsgCreat(frame, uiSetting->cia301.nodeId, uint16_t(index.toUInt(nullptr, 16)),
                                     sub.toUInt(nullptr, 16), w.comBoxSdoFastWriteLen->currentIndex() + 1, data))
        sendOne(frame);
}

void QUserMainWindowCANopen::slotCia301SdoFastRead()
{
    if (!cia301NodeIdGet())
        return;
    const QUserCia301UiSetting::Widgets &w = uiSetting->cia301.w;
    const QString index = noBlanks(w.lineEditSdoFastReadIndex->text());
    if (index.isEmpty()) {
        QUserMessageBox::msgWarning(this, tr("错误"), tr("索引不能为空!"));
        return;
    }
    const QString sub = noBlanks(w.lineEditSdoFastReadSubIndex->text());
    if (sub.isEmpty()) {
        QUserMessageBox::msgWarning(this, tr("错误"), tr("子索引不能为空!"));
        return;
    }
    QUserCanMsg frame;
    if (decoder.sdoFastReadMsgCreat(frame, uiSetting->cia301.nodeId, uint16_t(index.toUInt(nullptr, 16)),
                                    sub.toUInt(nullptr, 16)))
        sendOne(frame);
}

void QUserMainWindowCANopen::slotCia301TimeSync()
{
    QUserCia301UiSetting &s = uiSetting->cia301;
    const QDateTime when =
        s.w.chkBoxUseSysTime->isChecked() ? QDateTime::currentDateTime() : s.w.dateTimeEdit->dateTime();
    const QDate d = when.date();
    const QTime t = when.time();
    QUserCanMsg frame;
    if (decoder.timeSyncMsgCreat(frame, d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()))
        sendOne(frame);
    s.widgetsRead();
}
