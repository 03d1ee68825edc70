#include "devtools/QUserDlgRepeatCfg.h"

#include "devtools/QUserIdText.h"
#include "widgets/QUserMessageBox.h"
#include "devices/QKemDev.h"

#include <QComboBox>
#include <QDebug>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

class Ui_QUserDlgRepeatCfg
{
public:
    QComboBox *comboBox_devType, *comboBox_devIndex, *comboBox_curMode, *comboBox_baud1, *comboBox_baud2,
        *comboBox_mode;
    QLineEdit *lineEdit_time10, *lineEdit_time11, *lineEdit_time20, *lineEdit_time21;
    QPushButton *pushButton_devOpen, *pushButton_devClose, *pushButton_enable, *pushButton_disable,
        *pushButton_cancel;

    template <class T> static T *named(T *w, const char *name)
    {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    }
    static QFrame *hline(QWidget *w)
    {
        auto *f = new QFrame(w);
        f->setFrameShape(QFrame::HLine);
        f->setFrameShadow(QFrame::Sunken);
        return f;
    }

    // One channel's row: its caption, the bit-rate list and the two timing fields.
    static void channelRow(QGridLayout *g, int row, QWidget *w, const QString &caption, QComboBox *baud,
                           QLineEdit *t0, QLineEdit *t1)
    {
        g->addWidget(new QLabel(caption, w), row, 0);
        g->addWidget(new QLabel(QObject::tr("波 特  率:"), w), row, 1);
        g->addWidget(baud, row, 2);
        g->addWidget(new QLabel(QObject::tr("定时器0: "), w), row, 3);
        g->addWidget(t0, row, 4);
        g->addWidget(new QLabel(QObject::tr("定时器1:"), w), row, 5);
        g->addWidget(t1, row, 6);
    }

    void setupUi(QWidget *w)
    {
        w->setObjectName(QStringLiteral("QUserDlgRepeatCfg"));
        w->resize(617, 282);
        w->setWindowTitle(QStringLiteral("Form"));
        auto *v = new QVBoxLayout(w);

        auto *g1 = new QGridLayout;
        comboBox_devType = named(new QComboBox(w), "comboBox_devType");
        comboBox_devType->addItem(QStringLiteral("USBCAN2"));
        comboBox_devIndex = named(new QComboBox(w), "comboBox_devIndex");
        comboBox_devIndex->addItems({QStringLiteral("0"), QStringLiteral("1")});
        pushButton_devOpen = named(new QPushButton(QObject::tr("打开设备"), w), "pushButton_devOpen");
        pushButton_devClose = named(new QPushButton(QObject::tr("关闭设备"), w), "pushButton_devClose");
        comboBox_curMode = named(new QComboBox(w), "comboBox_curMode");
        g1->addWidget(new QLabel(QObject::tr("设备类型:"), w), 0, 0);
        g1->addWidget(comboBox_devType, 0, 1);
        g1->addWidget(new QLabel(QObject::tr("设备索引:"), w), 0, 2);
        g1->addWidget(comboBox_devIndex, 0, 3);
        g1->addWidget(pushButton_devOpen, 0, 4);
        g1->addWidget(pushButton_devClose, 0, 5);
        g1->addWidget(new QLabel(QObject::tr("当前模式:"), w), 1, 0);
        g1->addWidget(comboBox_curMode, 1, 1);
        g1->setColumnStretch(6, 1);
        v->addLayout(g1);
        v->addWidget(hline(w));

        comboBox_baud1 = named(new QComboBox(w), "comboBox_baud1");
        lineEdit_time10 = named(new QLineEdit(w), "lineEdit_time10");
        lineEdit_time11 = named(new QLineEdit(w), "lineEdit_time11");
        comboBox_baud2 = named(new QComboBox(w), "comboBox_baud2");
        lineEdit_time20 = named(new QLineEdit(w), "lineEdit_time20");
        lineEdit_time21 = named(new QLineEdit(w), "lineEdit_time21");
        for (QComboBox *c : {comboBox_baud1, comboBox_baud2})
            c->setMinimumWidth(110);
        auto *g2 = new QGridLayout;
        channelRow(g2, 0, w, QObject::tr("CAN1参数:"), comboBox_baud1, lineEdit_time10, lineEdit_time11);
        v->addLayout(g2);
        v->addWidget(hline(w));
        auto *g3 = new QGridLayout;
        channelRow(g3, 0, w, QObject::tr("CAN2参数:"), comboBox_baud2, lineEdit_time20, lineEdit_time21);
        v->addLayout(g3);
        v->addWidget(hline(w));

        auto *modeRow = new QHBoxLayout;
        comboBox_mode = named(new QComboBox(w), "comboBox_mode");
        comboBox_mode->setMinimumWidth(120);
        modeRow->addWidget(new QLabel(QObject::tr("中继模式:"), w));
        modeRow->addWidget(comboBox_mode);
        modeRow->addWidget(new QLabel(QObject::tr("(重启设备后生效)"), w));
        modeRow->addStretch();
        v->addLayout(modeRow);
        v->addWidget(hline(w));

        auto *buttons = new QHBoxLayout;
        pushButton_enable = named(new QPushButton(QObject::tr("开启中继"), w), "pushButton_enable");
        pushButton_disable = named(new QPushButton(QObject::tr("关闭中继"), w), "pushButton_disable");
        pushButton_cancel = named(new QPushButton(QObject::tr("退出"), w), "pushButton_cancel");
        buttons->addStretch();
        buttons->addWidget(pushButton_enable);
        buttons->addWidget(pushButton_disable);
        buttons->addWidget(pushButton_cancel);
        v->addLayout(buttons);
    }
};

namespace {

void logLine(const QString &text)
{
    qDebug() << ">" << text;
}

QString hex2(int v)
{
    return QString::asprintf("%02X", v & 0xFF);
}

} // namespace

QUserDlgRepeatCfg::QUserDlgRepeatCfg(QWidget *parent) : QWidget(parent), ui(new Ui_QUserDlgRepeatCfg)
{
    ui->setupUi(this);
    m_relayA = 0;
    m_relayB = 0;
    for (auto &t : m_time) {
        t[0] = 0x00;
        t[1] = 0x1C;
    }
    uiInit();
    m_typeName = ui->comboBox_devType->currentText();
    m_frame.reset(new Dialog(QStringLiteral(":/res/arrowDouble.png"), QString(), tr("中继配置"), 19));
    uiUpdate();
}

QUserDlgRepeatCfg::~QUserDlgRepeatCfg()
{
    m_frame.release();
    delete ui;
    ui = nullptr;
    if (m_drv) {
        if (m_open)
            m_drv->devClose();
        delete m_drv;
        m_drv = nullptr;
    }
}

int QUserDlgRepeatCfg::dialogExec()
{
    auto *layout = new QHBoxLayout;
    layout->addWidget(this);
    m_frame->setContentLayout(layout, width(), height());
    return m_frame->dlgExec();
}

void QUserDlgRepeatCfg::uiInit()
{
    m_baudTable = QUserUsbcan2Settings::baudTable();
    m_baudList = QStringList{tr("自定义")} + QUserUsbcan2Settings::sortedBaudNames(m_baudTable);

    ui->comboBox_devIndex->clear();
    for (int i = 0; i < 32; ++i)
        ui->comboBox_devIndex->addItem(QString::number(i));
    ui->comboBox_devIndex->setCurrentIndex(0);

    ui->comboBox_curMode->clear();
    ui->comboBox_curMode->addItems({tr("未知"), tr("未开启"), QStringLiteral("CAN1<->CAN2"),
                                    QStringLiteral("CAN1->CAN2"), QStringLiteral("CAN1<-CAN2")});
    ui->comboBox_curMode->setCurrentIndex(0);
    ui->comboBox_curMode->setEnabled(false);

    for (QComboBox *c : {ui->comboBox_baud1, ui->comboBox_baud2}) {
        c->clear();
        c->addItems(m_baudList);
        c->setCurrentIndex(2);
    }
    for (QLineEdit *e : {ui->lineEdit_time10, ui->lineEdit_time20})
        e->setText(QStringLiteral("00"));
    for (QLineEdit *e : {ui->lineEdit_time11, ui->lineEdit_time21})
        e->setText(QStringLiteral("1C"));

    ui->comboBox_mode->clear();
    ui->comboBox_mode->addItems({tr("CAN1<->CAN2"), tr("CAN1->CAN2"), tr("CAN1<-CAN2")});
    ui->comboBox_mode->setCurrentIndex(0);

    connect(ui->pushButton_devOpen, &QPushButton::clicked, this, &QUserDlgRepeatCfg::slotDevOpen);
    connect(ui->pushButton_devClose, &QPushButton::clicked, this, &QUserDlgRepeatCfg::slotDevClose);
    connect(ui->pushButton_enable, &QPushButton::clicked, this, &QUserDlgRepeatCfg::slotRelayEnable);
    connect(ui->pushButton_disable, &QPushButton::clicked, this, &QUserDlgRepeatCfg::slotRelayDisable);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &QUserDlgRepeatCfg::slotCancelExit);
    connect(ui->comboBox_baud1, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int i) { slotsComboxBaud1IndexChanged(ui->comboBox_baud1->itemText(i)); });
    connect(ui->comboBox_baud2, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int i) { slotsComboxBaud2IndexChanged(ui->comboBox_baud2->itemText(i)); });
}

QString QUserDlgRepeatCfg::baudNameGet(int timing0, int timing1) const
{
    for (auto it = m_baudTable.cbegin(); it != m_baudTable.cend(); ++it)
        if (it->timing0.toInt(nullptr, 16) == timing0 && it->timing1.toInt(nullptr, 16) == timing1)
            return it.key();
    return QString();
}

void QUserDlgRepeatCfg::channelShow(int channel)
{
    QComboBox *baud = channel == 0 ? ui->comboBox_baud1 : ui->comboBox_baud2;
    QLineEdit *t0 = channel == 0 ? ui->lineEdit_time10 : ui->lineEdit_time20;
    QLineEdit *t1 = channel == 0 ? ui->lineEdit_time11 : ui->lineEdit_time21;
    const QString name = baudNameGet(m_time[channel][0], m_time[channel][1]);
    if (!name.isEmpty()) {
        t0->setEnabled(false);
        t1->setEnabled(false);
        baud->setCurrentIndex(m_baudList.indexOf(name));
    } else {
        baud->setCurrentIndex(0);
        t0->setEnabled(true);
        t1->setEnabled(true);
    }
    t0->setText(hex2(m_time[channel][0]));
    t1->setText(hex2(m_time[channel][1]));
}

void QUserDlgRepeatCfg::uiUpdate()
{
    ui->pushButton_devOpen->setEnabled(!m_open);
    ui->pushButton_devClose->setEnabled(m_open);
    ui->pushButton_disable->setEnabled(m_relayA != 0 || m_relayB != 0);
    ui->pushButton_enable->setEnabled(true);
    if (!m_open) {
        ui->comboBox_curMode->setCurrentIndex(0);
    } else if (m_relayA == 0 && m_relayB == 0) {
        ui->comboBox_curMode->setCurrentIndex(1);
    } else {
        int pos = 2; // both ways, also for any pair not named below
        if (m_relayA == 1 && m_relayB == 0)
            pos = 3;
        else if (m_relayA == 0 && m_relayB == 1)
            pos = 4;
        ui->comboBox_curMode->setCurrentIndex(pos);
        ui->comboBox_mode->setCurrentIndex(pos - 2);
    }
    channelShow(0);
    channelShow(1);
}

void QUserDlgRepeatCfg::baudChanged(QLineEdit *t0, QLineEdit *t1, const QString &text)
{
    const auto it = m_baudTable.constFind(text);
    if (it != m_baudTable.constEnd()) {
        t0->setText(it->timing0);
        t1->setText(it->timing1);
        t0->setEnabled(false);
        t1->setEnabled(false);
    } else {
        t0->setEnabled(true);
        t1->setEnabled(true);
    }
}

void QUserDlgRepeatCfg::slotsComboxBaud1IndexChanged(QString text)
{
    baudChanged(ui->lineEdit_time10, ui->lineEdit_time11, text);
}

void QUserDlgRepeatCfg::slotsComboxBaud2IndexChanged(QString text)
{
    baudChanged(ui->lineEdit_time20, ui->lineEdit_time21, text);
}

// ---- adapter operations -------------------------------------------------------

int QUserDlgRepeatCfg::devOpen()
{
    if (!m_drv)
        m_drv = new QKemDev(m_typeName, 4, m_devIndex);
    if (m_drv->devOpenByIndex(m_devIndex) == 0)
        return 0;
    logLine(QStringLiteral("Kem %1 Open Fail...").arg(m_typeName));
    return -1;
}

void QUserDlgRepeatCfg::devClose()
{
    if (m_drv)
        m_drv->devClose();
}

bool QUserDlgRepeatCfg::relaySet(int a, int b)
{
    if (!m_drv)
        return false;
    if (m_drv->relayStatusSet(uint8_t(a), uint8_t(b)))
        return true;
    logLine(QStringLiteral("Kem %1 Repeat Set Fail...").arg(m_typeName));
    return false;
}

bool QUserDlgRepeatCfg::relayGet(int *a, int *b)
{
    if (!m_drv)
        return false;
    int x = 0, y = 0;
    if (m_drv->relayStatusGet(&x, &y)) {
        *a = x & 0xFF;
        *b = y & 0xFF;
        return true;
    }
    logLine(QStringLiteral("Kem %1 Relay Get Fail...").arg(m_typeName));
    return false;
}

bool QUserDlgRepeatCfg::baudSet(int channel, int timing0, int timing1)
{
    if (!m_drv)
        return false;
    if (m_drv->canInitByTiming(channel, uint8_t(timing0), uint8_t(timing1)))
        return true;
    logLine(QStringLiteral("Kem %1 Baud Set Fail...").arg(m_typeName));
    return false;
}

bool QUserDlgRepeatCfg::baudParaGet(int channel, int *timing0, int *timing1)
{
    if (!m_drv)
        return false;
    int x = 0, y = 0;
    if (m_drv->devBaudParaGet(channel, &x, &y)) {
        *timing0 = x & 0xFF;
        *timing1 = y & 0xFF;
        return true;
    }
    logLine(QStringLiteral("Kem %1 Baud Para Get Fail...").arg(m_typeName));
    return false;
}

// ---- actions ----------------------------------------------------------------------

void QUserDlgRepeatCfg::slotDevOpen()
{
    m_typeName = ui->comboBox_devType->currentText();
    m_devIndex = ui->comboBox_devIndex->currentText().toInt(nullptr, 10);
    logLine(QStringLiteral("Kem %1 Open...").arg(m_typeName));
    if (!m_open) {
        if (devOpen() != 0) {
            logLine(QStringLiteral("设备%1打开错误...").arg(m_typeName));
            QUserMessageBox::msgWarning(this, tr("错误"), tr("设备打开错误!"));
            return;
        }
        m_open = true;
    }
    if (!relayGet(&m_relayA, &m_relayB)) {
        logLine(QStringLiteral("设备%1中继状态获取失败...").arg(m_typeName));
        QUserMessageBox::msgWarning(this, tr("错误"), tr("中继状态获取失败!"));
        return;
    }
    logLine(QStringLiteral("设备%1 中继状态<%2,%3>...").arg(m_typeName).arg(m_relayA).arg(m_relayB));
    for (int ch = 0; ch < 2; ++ch) {
        const QString can = ch == 0 ? QStringLiteral("CAN1") : QStringLiteral("CAN2");
        if (!baudParaGet(ch, &m_time[ch][0], &m_time[ch][1])) {
            logLine(QStringLiteral("设备%1 %2波特率获取失败...").arg(m_typeName, can));
            QUserMessageBox::msgWarning(this, tr("错误"), can + tr("波特率获取失败!"));
            return;
        }
        logLine(QStringLiteral("设备%1 %2波特率:<%3,%4>...")
                    .arg(m_typeName, can, QString::number(m_time[ch][0], 16), QString::number(m_time[ch][1], 16)));
    }
    uiUpdate();
}

void QUserDlgRepeatCfg::slotDevClose()
{
    if (!m_open)
        return;
    devClose();
    m_open = false;
    uiUpdate();
}

// A timing byte is 1 or 2 hexadecimal digits (white space anywhere is
// dropped first); any other text is refused rather than written as 0.
bool QUserDlgRepeatCfg::timingFieldRead(QLineEdit *e, int *value) const
{
    QString text = e->text();
    text.remove(QRegExp(QStringLiteral("\\s")));
    uint32_t v = 0;
    if (!devtext::hexFieldParse(text, 1, 2, &v))
        return false;
    *value = int(v);
    return true;
}

bool QUserDlgRepeatCfg::openCheck()
{
    if (m_open)
        return true;
    // Nothing to write to: saying so tells the user what to do, which the
    // failure box of a write would not.
    logLine(QStringLiteral("设备%1未打开,中继状态无法设置...").arg(m_typeName));
    QUserMessageBox::msgWarning(this, tr("错误"), tr("设备未打开,请先[打开设备]再设置中继!"));
    return false;
}

void QUserDlgRepeatCfg::slotRelayEnable()
{
    if (!openCheck())
        return;
    const QString mode = ui->comboBox_mode->currentText();
    auto flagsOf = [](const QString &text, int *a, int *b) {
        if (text == tr("CAN1<->CAN2")) {
            *a = 1;
            *b = 1;
        } else if (text == tr("CAN1->CAN2")) {
            *a = 1;
            *b = 0;
        } else {
            *a = 0;
            *b = 1;
        }
    };
    flagsOf(mode, &m_relayA, &m_relayB);

    int t[2][2] = {};
    QLineEdit *fields[2][2] = {{ui->lineEdit_time10, ui->lineEdit_time11}, {ui->lineEdit_time20, ui->lineEdit_time21}};
    for (int ch = 0; ch < 2; ++ch)
        for (int k = 0; k < 2; ++k)
            if (!timingFieldRead(fields[ch][k], &t[ch][k])) {
                logLine(QStringLiteral("设备%1波特率参数格式错误...").arg(m_typeName));
                QUserMessageBox::msgError(this, tr("错误"), tr("波特率参数错误!"));
                return;
            }
    flagsOf(mode, &m_relayA, &m_relayB);

    if (!relaySet(0, 0)) {
        logLine(QStringLiteral("设备%1中继状态设置失败...").arg(m_typeName));
        QUserMessageBox::msgError(this, tr("错误"), tr("中继状态设置失败!"));
        return;
    }
    for (int ch = 0; ch < 2; ++ch) {
        if (!baudSet(ch, t[ch][0], t[ch][1])) {
            logLine(QStringLiteral("设备%1波特率设置失败...").arg(m_typeName));
            QUserMessageBox::msgError(this, tr("错误"), tr("波特率设置失败!"));
            return;
        }
        m_time[ch][0] = t[ch][0];
        m_time[ch][1] = t[ch][1];
        logLine(QStringLiteral("设备%1 设置%2波特率:<%3,%4>...")
                    .arg(m_typeName, ch == 0 ? QStringLiteral("CAN1") : QStringLiteral("CAN2"),
                         QString::number(t[ch][0], 16), QString::number(t[ch][1], 16)));
    }
    if (!relaySet(m_relayA, m_relayB)) {
        logLine(QStringLiteral("设备%1中继状态设置失败...").arg(m_typeName));
        QUserMessageBox::msgError(this, tr("错误"), tr("中继状态设置失败!"));
        return;
    }
    QUserMessageBox::msgCheck(this, tr("提示"), tr("设置成功!"));
    uiUpdate();
}

void QUserDlgRepeatCfg::slotRelayDisable()
{
    if (!openCheck())
        return;
    m_relayA = 0;
    m_relayB = 0;
    if (!relaySet(0, 0)) {
        logLine(QStringLiteral("设备%1中继状态设置失败...").arg(m_typeName));
        QUserMessageBox::msgError(this, tr("错误"), tr("中继状态设置失败!"));
        return;
    }
    QUserMessageBox::msgCheck(this, tr("提示"), tr("设置成功!"));
    uiUpdate();
}

void QUserDlgRepeatCfg::slotCancelExit()
{
    if (m_frame)
        m_frame->dlgDone(0);
}

void QUserDlgRepeatCfg::slotOkExit()
{
    if (m_frame)
        m_frame->dlgDone(1);
}
