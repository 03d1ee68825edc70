#include "devtools/uiDlgUsbcan2Cfg.h"

#include "core/QUserAdapterModels.h"
#include "devtools/QUserDlgParts.h"
#include "devtools/QUserIdText.h"
#include "widgets/QUserMessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

class Ui_uiDlgUsbcan2Cfg
{
public:
    QComboBox *comboBox_devIndex, *comboBox_chIndex, *comboBox_baud, *comboBox_fliterMode, *comboBox_workMode;
    QCheckBox *checkBox_allChannel, *checkBox_selfBaud;
    QLineEdit *lineEdit_btr0, *lineEdit_btr1, *lineEdit_accCode, *lineEdit_maskCode;
    QPushButton *pushButton_ok, *pushButton_cancel;

    template <class T> static T *named(T *w, const char *name)
    {
        w->setObjectName(name);
        return w;
    }
    static QFrame *hline(QWidget *w)
    {
        auto *f = new QFrame(w);
        f->setFrameShape(QFrame::HLine);
        f->setFrameShadow(QFrame::Sunken);
        return f;
    }

    void setupUi(QWidget *w)
    {
        w->setObjectName("uiDlgUsbcan2Cfg");
        w->resize(529, 242);
        w->setWindowTitle("Form");
        auto *v = new QVBoxLayout(w);
        auto *g1 = new QGridLayout;
        comboBox_devIndex = named(new QComboBox(w), "comboBox_devIndex");
        for (int i = 0; i < 10; ++i)
            comboBox_devIndex->addItem(QString::number(i));
        comboBox_chIndex = named(new QComboBox(w), "comboBox_chIndex");
        comboBox_chIndex->addItems({"0", "1"});
        checkBox_allChannel = named(new QCheckBox(QObject::tr("同时打开全部CAN通道"), w), "checkBox_allChannel");
        g1->addWidget(new QLabel(QObject::tr("设备索引:"), w), 0, 0);
        g1->addWidget(comboBox_devIndex, 0, 1);
        g1->addWidget(new QLabel(QObject::tr("通道号:"), w), 0, 2);
        g1->addWidget(comboBox_chIndex, 0, 3);
        g1->addWidget(checkBox_allChannel, 0, 4);
        v->addLayout(g1);
        v->addWidget(hline(w));

        auto *g2 = new QGridLayout;
        comboBox_baud = named(new QComboBox(w), "comboBox_baud");
        lineEdit_btr0 = named(new QLineEdit(w), "lineEdit_btr0");
        checkBox_selfBaud = named(new QCheckBox(QObject::tr("自定义波特率"), w), "checkBox_selfBaud");
        lineEdit_btr1 = named(new QLineEdit(w), "lineEdit_btr1");
        g2->addWidget(new QLabel(QObject::tr("波 特 率:"), w), 0, 0);
        g2->addWidget(comboBox_baud, 0, 1);
        g2->addWidget(new QLabel(QObject::tr("定时器0(TIME0):0x"), w), 0, 2);
        g2->addWidget(lineEdit_btr0, 0, 3);
        g2->addWidget(checkBox_selfBaud, 1, 1);
        g2->addWidget(new QLabel(QObject::tr("定时器1(TIME1):0x"), w), 1, 2);
        g2->addWidget(lineEdit_btr1, 1, 3);
        v->addLayout(g2);
        v->addWidget(hline(w));

        auto *g3 = new QGridLayout;
        comboBox_fliterMode = named(new QComboBox(w), "comboBox_fliterMode");
        comboBox_fliterMode->addItems({QObject::tr("双滤波模式"), QObject::tr("单滤波模式")});
        lineEdit_accCode = named(new QLineEdit("00000000", w), "lineEdit_accCode");
        comboBox_workMode = named(new QComboBox(w), "comboBox_workMode");
        comboBox_workMode->addItems({QObject::tr("正常"), QObject::tr("只听")});
        lineEdit_maskCode = named(new QLineEdit("FFFFFFFF", w), "lineEdit_maskCode");
        g3->addWidget(new QLabel(QObject::tr("滤波模式:"), w), 0, 0);
        g3->addWidget(comboBox_fliterMode, 0, 1);
        g3->addWidget(new QLabel(QObject::tr("验收码:0x"), w), 0, 2);
        g3->addWidget(lineEdit_accCode, 0, 3);
        g3->addWidget(new QLabel(QObject::tr("工作模式:"), w), 1, 0);
        g3->addWidget(comboBox_workMode, 1, 1);
        g3->addWidget(new QLabel(QObject::tr("屏蔽码:0x"), w), 1, 2);
        g3->addWidget(lineEdit_maskCode, 1, 3);
        v->addLayout(g3);
        v->addWidget(hline(w));

        auto *b = new QHBoxLayout;
        pushButton_ok = named(new QPushButton(QObject::tr("确定"), w), "pushButton_ok");
        pushButton_cancel = named(new QPushButton(QObject::tr("取消"), w), "pushButton_cancel");
        b->addStretch();
        b->addWidget(pushButton_ok);
        b->addWidget(pushButton_cancel);
        v->addLayout(b);
    }
};

uiDlgUsbcan2Cfg::uiDlgUsbcan2Cfg(QWidget *parent) : QWidget(parent), ui(new Ui_uiDlgUsbcan2Cfg)
{
    ui->setupUi(this);
    uiInit();
}

uiDlgUsbcan2Cfg::~uiDlgUsbcan2Cfg()
{
    delete ui;
}

void uiDlgUsbcan2Cfg::uiInit()
{
    m_baudTable = QUserUsbcan2Settings::baudTable();
    ui->comboBox_baud->clear();
    ui->comboBox_baud->addItems(QUserUsbcan2Settings::sortedBaudNames(m_baudTable));
    ui->comboBox_baud->setCurrentIndex(2);
    ui->comboBox_fliterMode->setCurrentIndex(1);
    ui->comboBox_workMode->setCurrentIndex(0);
    ui->lineEdit_btr0->setEnabled(false);
    ui->lineEdit_btr1->setEnabled(false);
    ui->lineEdit_btr0->setText("00");
    ui->lineEdit_btr1->setText("1C");

    connect(ui->pushButton_ok, &QPushButton::clicked, this, &uiDlgUsbcan2Cfg::okExit);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &uiDlgUsbcan2Cfg::cancelExit);
    connect(ui->comboBox_devIndex, QOverload<int>::of(&QComboBox::activated), this,
            &uiDlgUsbcan2Cfg::slotsComboxDevIndexChanged);
    connect(ui->comboBox_baud, QOverload<int>::of(&QComboBox::activated), this,
            &uiDlgUsbcan2Cfg::slotsComboxBaudIndexChanged);
    connect(ui->checkBox_selfBaud, &QCheckBox::stateChanged, this,
            &uiDlgUsbcan2Cfg::slotsCheckboxSelfBaudStateChange);
}

void uiDlgUsbcan2Cfg::devSet(const QString &name, const QVector<QByteArray> &usage)
{
    m_cfg.devName = name;
    m_usage = usage;
    m_cfg.cfgLoad();
    // Only adapters and channels that can be opened are offered.
    ui->comboBox_devIndex->clear();
    ui->comboBox_chIndex->clear();
    devListUpdate(0);
    cfgToUi();
}

void uiDlgUsbcan2Cfg::devListUpdate(int pos)
{
    if (pos < 0 || m_usage.isEmpty())
        return;
    ui->comboBox_devIndex->clear();
    for (int d = 0; d < m_usage.size(); ++d)
        if (m_usage[d].indexOf(char(0)) >= 0)
            ui->comboBox_devIndex->addItem(QString::number(d));
    if (pos >= ui->comboBox_devIndex->count())
        return;
    ui->comboBox_devIndex->setCurrentIndex(pos);
    // The channels are those of the adapter now selected: a list left from
    // another adapter would offer a channel that is open, or that it lacks.
    ui->comboBox_chIndex->clear();
    const int d = ui->comboBox_devIndex->currentText().toInt();
    if (d >= 0 && d < m_usage.size())
        for (int c = 0; c < m_usage[d].size(); ++c)
            if (m_usage[d].at(c) == char(0))
                ui->comboBox_chIndex->addItem(QString::number(c));
}

static int posOrFirst(int pos, int count)
{
    return (pos >= 0 && pos < count) ? pos : 0;
}

void uiDlgUsbcan2Cfg::cfgToUi()
{
    int devPos = ui->comboBox_devIndex->findText(m_cfg.devIndex);
    if (devPos < 0)
        devPos = 0;
    // The channel list must be the selected adapter's own: a list left from
    // the first adapter could offer a channel that is open on this one.
    devListUpdate(devPos);
    const int chPos = ui->comboBox_chIndex->findText(m_cfg.channel);
    ui->comboBox_chIndex->setCurrentIndex(chPos >= 0 ? chPos : 0);
    ui->checkBox_allChannel->setChecked(m_cfg.allChannels != QLatin1String("0"));
    ui->comboBox_baud->setCurrentIndex(posOrFirst(m_cfg.baudIndex.toInt(), ui->comboBox_baud->count()));
    ui->checkBox_selfBaud->setChecked(m_cfg.selfBaud != QLatin1String("0"));
    slotsCheckboxSelfBaudStateChange(ui->checkBox_selfBaud->isChecked() ? 2 : 0);
    ui->lineEdit_btr0->setText(m_cfg.timing0);
    ui->lineEdit_btr1->setText(m_cfg.timing1);
    ui->comboBox_fliterMode->setCurrentIndex(posOrFirst(m_cfg.filterMode.toInt(), ui->comboBox_fliterMode->count()));
    ui->comboBox_workMode->setCurrentIndex(posOrFirst(m_cfg.workMode.toInt(), ui->comboBox_workMode->count()));
    ui->lineEdit_accCode->setText(m_cfg.accCode);
    ui->lineEdit_maskCode->setText(m_cfg.accMask);
}

void uiDlgUsbcan2Cfg::cfgFromUi()
{
    m_cfg.devIndex = ui->comboBox_devIndex->currentText();
    m_cfg.channel = ui->comboBox_chIndex->currentText();
    m_cfg.allChannels = ui->checkBox_allChannel->isChecked() ? "1" : "0";
    m_cfg.selfBaud = ui->checkBox_selfBaud->isChecked() ? "1" : "0";
    m_cfg.baudIndex = QString::number(ui->comboBox_baud->currentIndex());
    m_cfg.filterMode = QString::number(ui->comboBox_fliterMode->currentIndex());
    m_cfg.workMode = QString::number(ui->comboBox_workMode->currentIndex());
    m_cfg.timing0 = ui->lineEdit_btr0->text();
    m_cfg.timing1 = ui->lineEdit_btr1->text();
    m_cfg.accCode = ui->lineEdit_accCode->text().trimmed();
    m_cfg.accMask = ui->lineEdit_maskCode->text().trimmed();
}

// A timing byte is 1-2 hexadecimal digits, the code and the mask 1-8; any
// other text would reach the adapter as 0 (an invalid timing).
// Unchecked, a field that is not hexadecimal or too long would reach the
// adapter as 0 or cut, without a word to the user.
bool uiDlgUsbcan2Cfg::fieldsCheck()
{
    struct Field { QLineEdit *edit; int digits; QString what; };
    const Field fields[] = {
        {ui->lineEdit_btr0, 2, tr("定时器0(TIME0)")},
        {ui->lineEdit_btr1, 2, tr("定时器1(TIME1)")},
        {ui->lineEdit_accCode, 8, tr("验收码")},
        {ui->lineEdit_maskCode, 8, tr("屏蔽码")},
    };
    for (const Field &f : fields) {
        uint32_t v = 0;
        if (!devtext::hexFieldParse(f.edit->text(), 1, f.digits, &v)) {
            QUserMessageBox::msgError(this, tr("错误"),
                                      f.what + tr("参数错误,请输入1-%1位十六进制数!!!").arg(f.digits));
            return false;
        }
    }
    return true;
}

void uiDlgUsbcan2Cfg::okExit()
{
    if (!dlgparts::channelChosen(this, ui->comboBox_devIndex, ui->comboBox_chIndex))
        return;
    if (!fieldsCheck())
        return;
    cfgFromUi();
    m_cfg.cfgSave();
    if (m_frame)
        m_frame->dlgDone(1);
}

void uiDlgUsbcan2Cfg::cancelExit()
{
    if (m_frame)
        m_frame->dlgDone(0);
}

void uiDlgUsbcan2Cfg::slotsComboxDevIndexChanged(int index)
{
    devListUpdate(index);
}

void uiDlgUsbcan2Cfg::slotsComboxBaudIndexChanged(int)
{
    const auto it = m_baudTable.constFind(ui->comboBox_baud->currentText());
    if (it != m_baudTable.constEnd()) {
        ui->lineEdit_btr0->setText(it->timing0);
        ui->lineEdit_btr1->setText(it->timing1);
    }
    ui->lineEdit_btr0->setEnabled(false);
    ui->lineEdit_btr1->setEnabled(false);
}

void uiDlgUsbcan2Cfg::slotsCheckboxSelfBaudStateChange(int state)
{
    ui->lineEdit_btr0->setEnabled(state != 0);
    ui->lineEdit_btr1->setEnabled(state != 0);
}

void uiDlgUsbcan2Cfg::cfgRead(QUserUsbcan2Cfg *cfg)
{
    if (!cfg)
        return;
    uint32_t v = 0;
    cfg->devIndex = ui->comboBox_devIndex->currentText().toInt();
    cfg->channel = ui->comboBox_chIndex->currentText().toInt();
    cfg->allChannels = ui->checkBox_allChannel->isChecked() ? 1 : 0;
    cfg->timing0 = devtext::hexFieldParse(ui->lineEdit_btr0->text(), 1, 2, &v) ? int32_t(v) : 0;
    cfg->timing1 = devtext::hexFieldParse(ui->lineEdit_btr1->text(), 1, 2, &v) ? int32_t(v) : 0;
    cfg->filter = ui->comboBox_fliterMode->currentIndex();
    cfg->accCode = devtext::hexFieldParse(ui->lineEdit_accCode->text(), 1, 8, &v) ? v : 0;
    cfg->accMask = devtext::hexFieldParse(ui->lineEdit_maskCode->text(), 1, 8, &v) ? v : 0;
    cfg->mode = ui->comboBox_workMode->currentIndex();
    cfg->clock = QUserAdapterModels::classicDevice(m_cfg.devName).clockMHz; // 16 MHz
}

Usbcan2CfgDialog::Usbcan2CfgDialog(const QString &title)
    : m_form(new uiDlgUsbcan2Cfg(nullptr)),
      m_frame(new Dialog(":/res/gear.png", QString(), title, 19))
{
}

Usbcan2CfgDialog::~Usbcan2CfgDialog()
{
    // The form lies inside the frame once it has run: take it out first so
    // that each is deleted exactly once.
    if (m_form && m_frame && m_frame->isAncestorOf(m_form))
        m_form->setParent(nullptr);
    delete m_form;
    delete m_frame;
}

void Usbcan2CfgDialog::cfgSet(const QString &name, const QVector<QByteArray> &usage)
{
    if (m_form)
        m_form->devSet(name, usage);
}

int Usbcan2CfgDialog::dialogExec()
{
    if (!m_form)
        return 0;
    m_form->dlgSet(m_frame);
    return m_frame->execContent(m_form);
}

void Usbcan2CfgDialog::cfgGet(QUserUsbcan2Cfg *cfg)
{
    if (m_form)
        m_form->cfgRead(cfg);
}
