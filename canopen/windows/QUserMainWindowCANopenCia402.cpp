// The "CiA402" page of the CANopen window: start, stop and reset a drive,
// run it in profile velocity, torque or position mode, and show whether its
// node reports itself operational. Every button posts a paced frame list to
// the request thread; the GUI thread never waits for the bus.
#include "canopen/windows/QUserMainWindowCANopen.h"

#include "canopen/QUserCANopenUiSetting.h"
#include "canopen/windows/QUserCANopenThread.h"
#include "widgets/QUserMessageBox.h"

#include <QDebug>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

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

int32_t signedOf(QLineEdit *e)
{
    return e ? int32_t(noBlanks(e->text()).toInt(nullptr, 10)) : 0;
}

int32_t unsignedOf(QLineEdit *e)
{
    return e ? int32_t(noBlanks(e->text()).toUInt(nullptr, 10)) : 0;
}

QLineEdit *field(const char *name, const QString &text)
{
    QLineEdit *e = new QLineEdit;
    e->setObjectName(QLatin1String(name));
    e->setText(text);
    return e;
}

QPushButton *button(const char *name, const QString &text)
{
    QPushButton *b = new QPushButton(text);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

QWidget *QUserMainWindowCANopen::cia402PageCreat()
{
    QUserCia402UiSetting &s = uiSetting->cia402;
    QUserCia402UiSetting::Widgets &w = s.w;
    const QFont yahei(QStringLiteral("Microsoft YaHei"));
    const int fontHeight = QFontMetrics(yahei).height();

    QScrollArea *area = new QScrollArea;
    area->setObjectName(QStringLiteral("scrollAreaCia402"));
    area->setWidgetResizable(true);
    QWidget *page = new QWidget;
    QPalette pal = page->palette();
    pal.setBrush(QPalette::Window, Qt::white);
    page->setPalette(pal);
    page->setAutoFillBackground(true);
    QVBoxLayout *layout = new QVBoxLayout(page);

    QHBoxLayout *nodeRow = new QHBoxLayout;
    nodeRow->addWidget(new QLabel(QStringLiteral("Node-ID:")));
    w.Cia402NodeId = field("lineEditCia402NodeId", s.Cia402NodeId);
    w.Cia402NodeId->setPlaceholderText(QStringLiteral("1-127"));
    nodeRow->addWidget(w.Cia402NodeId);
    QLabel *hint = new QLabel(tr("(有效值:10进制数1-127)"));
    hint->setEnabled(false);
    // It wraps rather than widen the page.
    hint->setWordWrap(true);
    nodeRow->addWidget(hint, 1);
    nodeRow->addStretch();
    layout->addLayout(nodeRow);
    QFrame *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    // node state
    QGroupBox *stateGroup = new QGroupBox(tr("设备状态"));
    QHBoxLayout *stateRow = new QHBoxLayout(stateGroup);
    stateRow->addWidget(new QLabel(tr("节点状态:")));
    cia402StateBtn = new QToolButton;
    cia402StateBtn->setObjectName(QStringLiteral("toolButtonCia402State"));
    cia402StateBtn->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    cia402StateBtn->setIconSize(QSize(32, 32));
    cia402StateBtn->setStyleSheet(QStringLiteral("QToolButton{padding-top:12px}"));
    cia402StateBtn->setFont(yahei);
    // Wide enough for the longest of the state texts.
    int stateWidth = fontHeight + 48;
    for (const QString &t : {tr("操作状态"), QString(tr("非") + tr("操作状态")), tr("状态未知")})
        stateWidth = std::max(stateWidth, QFontMetrics(yahei).horizontalAdvance(t) + 16);
    cia402StateBtn->setFixedSize(stateWidth, fontHeight + 48);
    stateRow->addWidget(cia402StateBtn);
    stateRow->addStretch();
    layout->addWidget(stateGroup);

    // device operations
    QGroupBox *opGroup = new QGroupBox(tr("设备操作"));
    QHBoxLayout *opRow = new QHBoxLayout(opGroup);
    struct Op {
        const char *name;
        const char *icon;
        QString text;
        void (QUserMainWindowCANopen::*slot)();
    };
    const Op ops[] = {
        {"toolButtonCia402Start", ":/res/play.png", tr("启动"), &QUserMainWindowCANopen::slotCia402NmtStart},
        {"toolButtonCia402Stop", ":/res/stop.png", tr("停止"), &QUserMainWindowCANopen::slotCia402NmtStop},
        {"toolButtonCia402Restart", ":/res/restart.png", tr("重置"), &QUserMainWindowCANopen::slotCia402NmtRestart},
    };
    bool first = true;
    for (const Op &op : ops) {
        QToolButton *b = new QToolButton;
        b->setObjectName(QLatin1String(op.name));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setIcon(QIcon(QLatin1String(op.icon)));
        b->setIconSize(QSize(32, 32));
        b->setText(op.text);
        b->setStyleSheet(QStringLiteral("QToolButton{padding-top:12px}"));
        b->setFont(yahei);
        const QSize image = QPixmap(QLatin1String(op.icon)).size();
        const int side = std::max(32, image.width()) + fontHeight + 16;
        b->setFixedSize(side, std::max(32, image.height()) + fontHeight + 16);
        b->setAutoRaise(first);
        first = false;
        connect(b, &QToolButton::clicked, this, op.slot);
        opRow->addWidget(b);
    }
    opRow->addStretch();
    layout->addWidget(opGroup);

    // servo control
    QGroupBox *servoGroup = new QGroupBox(tr("伺服控制"));
    QVBoxLayout *servoLayout = new QVBoxLayout(servoGroup);
    QTabWidget *modes = new QTabWidget;
    modes->setObjectName(QStringLiteral("tabWidgetCia402Modes"));
    servoLayout->addWidget(modes);

    auto grid = [](QWidget *host) {
        QGridLayout *g = new QGridLayout(host);
        g->setColumnStretch(3, 1);
        return g;
    };
    auto row = [](QGridLayout *g, int r, const QString &name, QLineEdit *edit, const QString &unit) {
        g->addWidget(new QLabel(name), r, 0);
        g->addWidget(edit, r, 1);
        g->addWidget(new QLabel(unit), r, 2);
    };

    // velocity
    QWidget *vel = new QWidget;
    QGridLayout *vg = grid(vel);
    w.lineEditVelDstSpeed = field("lineEditVelDstSpeed", s.lineEditVelDstSpeed);
    w.lineEditVelAccSpeed = field("lineEditVelAccSpeed", s.lineEditVelAccSpeed);
    w.lineEditVelDecSpeed = field("lineEditVelDecSpeed", s.lineEditVelDecSpeed);
    row(vg, 0, tr("目标速度"), w.lineEditVelDstSpeed, tr("转/分钟"));
    row(vg, 1, tr("加速速度"), w.lineEditVelAccSpeed, tr("转/分钟"));
    row(vg, 2, tr("减速速度"), w.lineEditVelDecSpeed, tr("转/分钟"));
    velStartBtn = button("pushButtonVelStart", tr("开始"));
    QPushButton *velStop = button("pushButtonVelStop", tr("结束"));
    QHBoxLayout *vb = new QHBoxLayout;
    vb->addStretch();
    vb->addWidget(velStartBtn);
    vb->addWidget(velStop);
    vg->addLayout(vb, 3, 0, 1, 4);
    vg->setRowStretch(4, 1);
    connect(velStartBtn, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia402VelStart);
    connect(velStop, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia402VelStop);
    modes->addTab(vel, tr("速度模式"));

    // torque
    QWidget *tor = new QWidget;
    QGridLayout *tg = grid(tor);
    tg->addWidget(new QLabel(tr("扭矩单位:1/1000×额定扭矩")), 0, 0, 1, 3);
    w.lineEditTorDst = field("lineEditTorDst", s.lineEditTorDst);
    w.lineEditTorSlope = field("lineEditTorSlope", s.lineEditTorSlope);
    row(tg, 1, tr("目标扭矩"), w.lineEditTorDst, tr("范围:") + QStringLiteral("1-1000"));
    row(tg, 2, tr("扭矩斜率"), w.lineEditTorSlope, tr("1秒时间内变化的扭矩"));
    torStartBtn = button("pushButtonTorStart", tr("开始"));
    QPushButton *torStop = button("pushButtonTorStop", tr("结束"));
    QHBoxLayout *tb = new QHBoxLayout;
    tb->addStretch();
    tb->addWidget(torStartBtn);
    tb->addWidget(torStop);
    tg->addLayout(tb, 3, 0, 1, 4);
    tg->setRowStretch(4, 1);
    connect(torStartBtn, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia402TorStart);
    connect(torStop, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia402TorStop);
    modes->addTab(tor, tr("扭矩模式"));

    // position: the first field is the profile velocity (0x6081) the move
    // runs at; its settings key keeps its old name.
    QWidget *pos = new QWidget;
    QGridLayout *pg = grid(pos);
    w.linEditPosAAccSpeed = field("linEditPosAAccSpeed", s.linEditPosAAccSpeed);
    w.linEditPosAccSpeed = field("linEditPosAccSpeed", s.linEditPosAccSpeed);
    w.linEditPosDecSpeed = field("linEditPosDecSpeed", s.linEditPosDecSpeed);
    w.lineEditPosAbsDst = field("lineEditPosAbsDst", s.lineEditPosAbsDst);
    w.linEditPosRelDst = field("linEditPosRelDst", s.linEditPosRelDst);
    row(pg, 0, tr("轮廓速度"), w.linEditPosAAccSpeed, tr("转/分钟"));
    row(pg, 1, tr("加速速度"), w.linEditPosAccSpeed, tr("转/分钟"));
    row(pg, 2, tr("减速速度"), w.linEditPosDecSpeed, tr("转/分钟"));
    row(pg, 3, tr("绝对目标"), w.lineEditPosAbsDst, tr("单位:PUU"));
    QPushButton *absStart = button("pushButtonPosAbsStart", tr("开始"));
    QPushButton *absStop = button("pushButtonPosAbsStop", tr("结束"));
    pg->addWidget(absStart, 3, 3, Qt::AlignRight);
    pg->addWidget(absStop, 3, 4);
    row(pg, 4, tr("相对目标"), w.linEditPosRelDst, tr("单位:PUU"));
    QPushButton *relStart = button("pushButtonPosRelStart", tr("开始"));
    QPushButton *relStop = button("pushButtonPosRelStop", tr("结束"));
    pg->addWidget(relStart, 4, 3, Qt::AlignRight);
    pg->addWidget(relStop, 4, 4);
    pg->setRowStretch(5, 1);
    connect(absStart, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia402PosAbsMoveStart);
    connect(absStop, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia402PosAbsMoveStop);
    connect(relStart, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia402PosRelMoveStart);
    connect(relStop, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotCia402PosRelMoveStop);
    modes->addTab(pos, tr("位置模式"));
    layout->addWidget(servoGroup);
    layout->addStretch();
    area->setWidget(page);

    // The indicator follows the node the field names.
    const QString nodeText = noBlanks(w.Cia402NodeId->text());
    cia402ShownNode = nodeText.isEmpty() ? s.nodeId : int(nodeText.toUInt(nullptr, 10) & 0xFF);
    connect(w.Cia402NodeId, &QLineEdit::textChanged, this, [this](const QString &text) {
        const QString t = noBlanks(text);
        if (t.isEmpty())
            return;
        cia402ShownNode = int(t.toUInt(nullptr, 10) & 0xFF);
        cia402StateCheck();
    });
    cia402PanelRefresh();
    return area;
}

// ---- checks -------------------------------------------------------------------------------

bool QUserMainWindowCANopen::cia402NodeIdGet()
{
    QLineEdit *edit = uiSetting->cia402.w.Cia402NodeId;
    const QString text = edit ? noBlanks(edit->text()) : QString();
    if (text.isEmpty()) {
        QUserMessageBox::msgWarning(this, tr("错误"), tr("Node-Id不能为空!"));
        return false;
    }
    uiSetting->cia402.nodeId = uint8_t(text.toUInt(nullptr, 10) & 0xFF);
    return true;
}

bool QUserMainWindowCANopen::cia402FieldCheck(QLineEdit *edit, const QString &word)
{
    if (edit && !noBlanks(edit->text()).isEmpty())
        return true;
    QUserMessageBox::msgWarning(this, tr("错误"), word + tr("不能为空!"));
    return false;
}

bool QUserMainWindowCANopen::cia402VelInputCheck()
{
    const QUserCia402UiSetting::Widgets &w = uiSetting->cia402.w;
    return cia402NodeIdGet() && cia402FieldCheck(w.lineEditVelDstSpeed, tr("目标速度"))
        && cia402FieldCheck(w.lineEditVelAccSpeed, tr("加速度"))
        && cia402FieldCheck(w.lineEditVelDecSpeed, tr("减速度"));
}

bool QUserMainWindowCANopen::cia402TorInputCheck()
{
    const QUserCia402UiSetting::Widgets &w = uiSetting->cia402.w;
    return cia402NodeIdGet() && cia402FieldCheck(w.lineEditTorDst, tr("目标扭矩"))
        && cia402FieldCheck(w.lineEditTorSlope, tr("扭矩斜率"));
}

bool QUserMainWindowCANopen::cia402PosInputCheck()
{
    const QUserCia402UiSetting::Widgets &w = uiSetting->cia402.w;
    return cia402NodeIdGet() && cia402FieldCheck(w.linEditPosAAccSpeed, tr("轮廓速度"))
        && cia402FieldCheck(w.linEditPosAccSpeed, tr("加速度"))
        && cia402FieldCheck(w.linEditPosDecSpeed, tr("减速度"));
}

// ---- panel state ----------------------------------------------------------------------------

int QUserMainWindowCANopen::cia402PanelNode() const
{
    return cia402ShownNode;
}

void QUserMainWindowCANopen::cia402StateCheck()
{
    // The node of the panel on this window's own channel only.
    const int state = decoder.nodeStateOf(cia402PanelNode(), devId);
    if (state == cia402.nodeState)
        return;
    cia402.nodeState = state;
    cia402PanelRefresh();
}

void QUserMainWindowCANopen::cia402PanelRefresh()
{
    if (velStartBtn)
        velStartBtn->setEnabled(!uiSetting->cia402.velRunning);
    if (torStartBtn)
        torStartBtn->setEnabled(!uiSetting->cia402.torRunning);
    if (!cia402StateBtn)
        return;
    // The NMT state is known only from what the node itself said: its
    // heartbeat, a node-guarding answer or its boot-up message. A node not
    // heard from (no heartbeat configured) may well be running: the page
    // says it does not know rather than that the node is not operational.
    switch (cia402.nodeState) {
    case 2:
        cia402StateBtn->setIcon(QIcon(QStringLiteral(":/res/unlock.png")));
        cia402StateBtn->setText(tr("操作状态"));
        cia402StateBtn->setToolTip(QString());
        break;
    case 0:
    case 1:
    case 3:
        cia402StateBtn->setIcon(QIcon(QStringLiteral(":/res/lock.png")));
        cia402StateBtn->setText(tr("非") + tr("操作状态"));
        cia402StateBtn->setToolTip(QString());
        break;
    default:
        cia402StateBtn->setIcon(QIcon(QStringLiteral(":/res/msg_icon_question.png")));
        cia402StateBtn->setText(tr("状态未知"));
        cia402StateBtn->setToolTip(tr("未收到该节点的心跳、节点守护应答或启动报文,NMT状态未知(可为节点配置心跳)"));
        break;
    }
}

void QUserMainWindowCANopen::cia402ListPost(const QVector<QUserCanMsg> &list)
{
    reqMsgListSendPost(list);
}

bool QUserMainWindowCANopen::reqCia402PosStartPost(const QUserCia402Move &move)
{
    // The drive's statusword and mode first: a drive already in "Operation
    // enabled" (a move under way) must not be sent Shutdown.
    QUserDictObj statusword;
    statusword.index = 0x6041;
    statusword.DataType = 0x06; // UNSIGNED16
    statusword.ParameterName = QStringLiteral("Statusword");
    QUserDictObj mode;
    mode.index = 0x6061;
    mode.DataType = 0x02; // INTEGER8
    mode.ParameterName = QStringLiteral("Modes of operation display");
    QUserCANopenReqPara *p = paraNew(QUserCANopenThread::KindCia402PosStart);
    p->sdoList = new QVector<QUserDictObj>{statusword, mode};
    p->nodeId = uiSetting->cia402.nodeId;
    p->cia402Move = move;
    return reqPost(QUserCANopenThread::ReqSdoTransfer, p);
}

void QUserMainWindowCANopen::cia402PosStartFinish(QUserCANopenReqPara *p)
{
    // What could be read decides; a drive that did not answer gets the
    // whole enable sequence, as one that is not enabled.
    const bool ok = p->result == QUserCANopenThread::ResultOk;
    const int read = ok ? 2 : p->sdoPos;
    int statusword = -1;
    int modeDisplay = -1;
    if (p->sdoList && read >= 1)
        statusword = int(p->sdoList->at(0).curValue & 0xFFFFu);
    if (p->sdoList && read >= 2)
        modeDisplay = int(int8_t(uint8_t(p->sdoList->at(1).curValue)));
    if (!ok)
        qDebug() << ">" << QStringLiteral("CiA402 drive state read fail (result %1), statusword %2...")
                               .arg(p->result)
                               .arg(statusword);
    QVector<QUserCanMsg> list;
    if (cia402.posMoveStart(int(p->nodeId), p->cia402Move, statusword, modeDisplay, list))
        cia402ListPost(list);
}

// ---- buttons --------------------------------------------------------------------------------

void QUserMainWindowCANopen::slotCia402NmtStart()
{
    if (!cia402NodeIdGet())
        return;
    QVector<QUserCanMsg> list;
    if (cia402.nmtStart(uiSetting->cia402.nodeId, list))
        cia402ListPost(list);
}

void QUserMainWindowCANopen::slotCia402NmtStop()
{
    if (!cia402NodeIdGet())
        return;
    QVector<QUserCanMsg> list;
    if (cia402.nmtStop(uiSetting->cia402.nodeId, list))
        cia402ListPost(list);
}

void QUserMainWindowCANopen::slotCia402NmtRestart()
{
    if (!cia402NodeIdGet())
        return;
    QVector<QUserCanMsg> list;
    if (cia402.nmtRestart(uiSetting->cia402.nodeId, list))
        cia402ListPost(list);
}

void QUserMainWindowCANopen::slotCia402VelStart()
{
    if (!cia402VelInputCheck())
        return;
    QUserCia402UiSetting &s = uiSetting->cia402;
    const int node = s.nodeId;
    QVector<QUserCanMsg> list;
    cia402.servoEnable(node, 0, list);
    cia402.profileAccSet(node, unsignedOf(s.w.lineEditVelAccSpeed), list);
    cia402.profileDecSet(node, unsignedOf(s.w.lineEditVelDecSpeed), list);
    cia402.targetVelocitySet(node, signedOf(s.w.lineEditVelDstSpeed), list);
    cia402.velStart(node, list);
    s.velRunning = true;
    cia402PanelRefresh();
    cia402ListPost(list);
}

void QUserMainWindowCANopen::slotCia402VelStop()
{
    if (!cia402NodeIdGet())
        return;
    QVector<QUserCanMsg> list;
    cia402.velStop(uiSetting->cia402.nodeId, list);
    cia402ListPost(list);
    uiSetting->cia402.velRunning = false;
    cia402PanelRefresh();
}

void QUserMainWindowCANopen::slotCia402TorStart()
{
    if (!cia402TorInputCheck())
        return;
    QUserCia402UiSetting &s = uiSetting->cia402;
    const int node = s.nodeId;
    QVector<QUserCanMsg> list;
    cia402.servoEnable(node, 1, list);
    cia402.torqueSlopeSet(node, unsignedOf(s.w.lineEditTorSlope), list);
    cia402.targetTorqueSet(node, signedOf(s.w.lineEditTorDst), list);
    cia402.torStart(node, list);
    cia402ListPost(list);
    s.torRunning = true;
    cia402PanelRefresh();
}

void QUserMainWindowCANopen::slotCia402TorStop()
{
    if (!cia402NodeIdGet())
        return;
    QVector<QUserCanMsg> list;
    cia402.torStop(uiSetting->cia402.nodeId, list);
    cia402ListPost(list);
    uiSetting->cia402.torRunning = false;
    cia402PanelRefresh();
}

void QUserMainWindowCANopen::slotCia402PosAbsMoveStart()
{
    QUserCia402UiSetting &s = uiSetting->cia402;
    if (!cia402PosInputCheck() || !cia402FieldCheck(s.w.lineEditPosAbsDst, tr("目标位置")))
        return;
    QUserCia402Move move;
    move.relative = false;
    move.target = signedOf(s.w.lineEditPosAbsDst);
    move.profileVelocity = uint32_t(unsignedOf(s.w.linEditPosAAccSpeed));
    move.acceleration = uint32_t(unsignedOf(s.w.linEditPosAccSpeed));
    move.deceleration = uint32_t(unsignedOf(s.w.linEditPosDecSpeed));
    reqCia402PosStartPost(move);
}

void QUserMainWindowCANopen::slotCia402PosAbsMoveStop()
{
    if (!cia402NodeIdGet())
        return;
    QVector<QUserCanMsg> list;
    cia402.posAbsMoveStop(uiSetting->cia402.nodeId, list);
    cia402ListPost(list);
}

void QUserMainWindowCANopen::slotCia402PosRelMoveStart()
{
    // The same checks as the absolute move: an empty speed field would
    // otherwise send a profile of 0 and leave the drive standing.
    QUserCia402UiSetting &s = uiSetting->cia402;
    if (!cia402PosInputCheck() || !cia402FieldCheck(s.w.linEditPosRelDst, tr("目标位置")))
        return;
    QUserCia402Move move;
    move.relative = true;
    move.target = signedOf(s.w.linEditPosRelDst);
    move.profileVelocity = uint32_t(unsignedOf(s.w.linEditPosAAccSpeed));
    move.acceleration = uint32_t(unsignedOf(s.w.linEditPosAccSpeed));
    move.deceleration = uint32_t(unsignedOf(s.w.linEditPosDecSpeed));
    reqCia402PosStartPost(move);
}

void QUserMainWindowCANopen::slotCia402PosRelMoveStop()
{
    if (!cia402NodeIdGet())
        return;
    QVector<QUserCanMsg> list;
    cia402.posRelMoveStop(uiSetting->cia402.nodeId, list);
    cia402ListPost(list);
}
