#include "devtools/QUserDlgFd2Set.h"

#include "devtools/QUserDlgFdBaudCalculator.h"
#include "devtools/QUserDlgFliterSet.h"
#include "devtools/QUserDlgParts.h"
#include "widgets/QUserMessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

class Ui_QUserDlgFd2Set
{
public:
    QVBoxLayout *verticalLayout;
    QLabel *label, *label_3, *label_workProcotol, *label_iso, *label_8, *label_aBaud, *label_dBaud;
    QComboBox *comboBox_devIndex, *comboBox_chIndex, *comboBox_workProcotol, *comboBox_iso;
    QComboBox *comboBox_workMode, *comboBox_aBaud, *comboBox_dBaud;
    QCheckBox *checkBox_allChannel, *checkBox_self, *checkBox_filterEnable;
    QLineEdit *lineEdit_selfPara, *lineEdit_fliterNum;
    QPushButton *pushButton_cal, *pushButton_fliterSet, *pushButton_ok, *pushButton_cancel;

    template <class T> static T *named(T *w, const char *name)
    {
        w->setObjectName(name);
        return w;
    }
    static QFrame *hline(QWidget *w, const char *name)
    {
        auto *f = named(new QFrame(w), name);
        f->setFrameShape(QFrame::HLine);
        f->setFrameShadow(QFrame::Sunken);
        return f;
    }
    static QHBoxLayout *row(const char *name, std::initializer_list<QWidget *> ws, bool rightAlign = false)
    {
        auto *h = new QHBoxLayout;
        h->setObjectName(name);
        if (rightAlign)
            h->addStretch();
        for (QWidget *x : ws)
            h->addWidget(x, qobject_cast<QComboBox *>(x) || qobject_cast<QLineEdit *>(x) ? 1 : 0);
        return h;
    }

    void setupUi(QWidget *w)
    {
        w->setObjectName("QUserDlgFd2Set");
        w->resize(529, 286);
        w->setWindowTitle("Form");
        verticalLayout = new QVBoxLayout(w);
        verticalLayout->setObjectName("verticalLayout");

        label = named(new QLabel(QObject::tr("设备索引:"), w), "label");
        comboBox_devIndex = named(new QComboBox(w), "comboBox_devIndex");
        comboBox_devIndex->addItems({"0", "1"});
        label_3 = named(new QLabel(QObject::tr("通道索引:"), w), "label_3");
        comboBox_chIndex = named(new QComboBox(w), "comboBox_chIndex");
        comboBox_chIndex->addItems({"0", "1"});
        checkBox_allChannel = named(new QCheckBox(QObject::tr("打开所有通道"), w), "checkBox_allChannel");
        label_workProcotol = named(new QLabel(QObject::tr("工作协议:"), w), "label_workProcotol");
        comboBox_workProcotol = named(new QComboBox(w), "comboBox_workProcotol");
        comboBox_workProcotol->addItems({"CAN", "CANFD"});
        label_iso = named(new QLabel(QObject::tr("CANFD标准:"), w), "label_iso");
        comboBox_iso = named(new QComboBox(w), "comboBox_iso");
        comboBox_iso->addItems({"NON-ISO", "CANFD-ISO"});
        label_8 = named(new QLabel(QObject::tr("工作模式:"), w), "label_8");
        comboBox_workMode = named(new QComboBox(w), "comboBox_workMode");
        comboBox_workMode->addItems({QObject::tr("正常模式"), QObject::tr("只听模式")});
        label_aBaud = named(new QLabel(QObject::tr("仲裁域波特率:"), w), "label_aBaud");
        comboBox_aBaud = named(new QComboBox(w), "comboBox_aBaud");
        label_dBaud = named(new QLabel(QObject::tr("数据域波特率:"), w), "label_dBaud");
        comboBox_dBaud = named(new QComboBox(w), "comboBox_dBaud");
        checkBox_self = named(new QCheckBox(QObject::tr("自定义波特率(可选项)"), w), "checkBox_self");
        lineEdit_selfPara = named(new QLineEdit(w), "lineEdit_selfPara");
        lineEdit_selfPara->setText("1.0Mbps(80%),5.0Mbps(75%),(60,02C00002,00800001)");
        pushButton_cal = named(new QPushButton(QObject::tr("波特率计算器"), w), "pushButton_cal");
        checkBox_filterEnable = named(new QCheckBox(QObject::tr("开启滤波(可选项)"), w), "checkBox_filterEnable");
        lineEdit_fliterNum = named(new QLineEdit(w), "lineEdit_fliterNum");
        lineEdit_fliterNum->setText(QObject::tr("当前滤波规则数量:1条"));
        pushButton_fliterSet = named(new QPushButton(QObject::tr("滤波配置"), w), "pushButton_fliterSet");
        pushButton_ok = named(new QPushButton(QObject::tr("确定"), w), "pushButton_ok");
        pushButton_cancel = named(new QPushButton(QObject::tr("取消"), w), "pushButton_cancel");

        verticalLayout->addLayout(row("horizontalLayout", {label, comboBox_devIndex, label_3, comboBox_chIndex}));
        verticalLayout->addLayout(row("horizontalLayout_7", {checkBox_allChannel}, true));
        verticalLayout->addWidget(hline(w, "line"));
        verticalLayout->addLayout(
            row("horizontalLayout_3", {label_workProcotol, comboBox_workProcotol, label_iso, comboBox_iso}));
        verticalLayout->addLayout(row("horizontalLayout_5", {label_8, comboBox_workMode}));
        verticalLayout->addWidget(hline(w, "line_2"));
        verticalLayout->addLayout(row("horizontalLayout_4", {label_aBaud, comboBox_aBaud, label_dBaud, comboBox_dBaud}));
        verticalLayout->addWidget(hline(w, "line_3"));
        verticalLayout->addLayout(row("horizontalLayout_6", {checkBox_self}));
        verticalLayout->addLayout(row("horizontalLayout_8", {lineEdit_selfPara, pushButton_cal}));
        verticalLayout->addWidget(checkBox_filterEnable);
        verticalLayout->addLayout(row("horizontalLayout_9", {lineEdit_fliterNum, pushButton_fliterSet}));
        verticalLayout->addStretch();
        auto *buttons = row("horizontalLayout_2", {pushButton_ok, pushButton_cancel}, true);
        verticalLayout->addLayout(buttons);
    }
};

// Decimal list position from a settings text: not a number counts as 0;
// negative or past the end selects the first entry.
static int listPos(const QString &text, int count)
{
    const int v = text.toInt();
    return (v < 0 || v >= count) ? 0 : v;
}

QUserDlgFd2Set::QUserDlgFd2Set(QWidget *parent) : QWidget(parent), ui(new Ui_QUserDlgFd2Set)
{
    ui->setupUi(this);
    m_cfg.constructorDefaults();
    rateListsFill();
    ui->lineEdit_fliterNum->setReadOnly(true);

    connect(ui->pushButton_ok, &QPushButton::clicked, this, &QUserDlgFd2Set::slotOkExit);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &QUserDlgFd2Set::slotCancelExit);
    connect(ui->pushButton_cal, &QPushButton::clicked, this, &QUserDlgFd2Set::slotBaudCal);
    connect(ui->pushButton_fliterSet, &QPushButton::clicked, this, &QUserDlgFd2Set::slotFliterSet);
    connect(ui->comboBox_devIndex, QOverload<int>::of(&QComboBox::activated), this,
            &QUserDlgFd2Set::slotsComboxDevIndexChanged);
    connect(ui->comboBox_workProcotol, QOverload<int>::of(&QComboBox::activated), this,
            &QUserDlgFd2Set::slotsComboxWorkProChanged);
    connect(ui->comboBox_aBaud, QOverload<int>::of(&QComboBox::activated), this,
            &QUserDlgFd2Set::slotsComboxAbaudChanged);
    connect(ui->comboBox_dBaud, QOverload<int>::of(&QComboBox::activated), this,
            &QUserDlgFd2Set::slotsComboxDbaudChanged);
    connect(ui->checkBox_self, &QCheckBox::stateChanged, this, &QUserDlgFd2Set::slotsCheckboxSelfBaudStateChange);
    connect(ui->checkBox_filterEnable, &QCheckBox::stateChanged, this,
            &QUserDlgFd2Set::slotsCheckboxFliterEnStateChange);

    ui->comboBox_workProcotol->setCurrentIndex(1);
    uiStateUpdate();
}

QUserDlgFd2Set::~QUserDlgFd2Set()
{
    m_frame.release();
    delete ui;
}

int QUserDlgFd2Set::fdSupportSet(bool support)
{
    m_cfg.fdSupport = support ? "1" : "0";
    return 1;
}

void QUserDlgFd2Set::rateListsFill()
{
    ui->comboBox_aBaud->clear();
    ui->comboBox_aBaud->addItems(QUserFd2Settings::arbListTexts());
    ui->comboBox_dBaud->clear();
    ui->comboBox_dBaud->addItems(QUserFd2Settings::dataListTexts(m_cfg.modelClock));
}

void QUserDlgFd2Set::dlgInit(const QString &devName, const QString &title,
                             const QVector<QVector<bool>> &openTable)
{
    m_cfg.modelDefaultsSet(devName);
    m_frame.make(":/res/gear.png", title);
    m_openTable = openTable;
    // Only adapters and channels that can be opened are offered: the
    // form's placeholder entries go even when nothing is free.
    ui->comboBox_devIndex->clear();
    ui->comboBox_chIndex->clear();
    devIndexListSet(0);
    m_cfg.cfgFileLoad();
    cfgTextToUi();
    uiStateUpdate();
}

void QUserDlgFd2Set::devIndexListSet(int pos)
{
    if (pos < 0 || m_openTable.isEmpty())
        return;
    ui->comboBox_devIndex->clear();
    for (int d = 0; d < m_openTable.size(); ++d)
        if (m_openTable[d].contains(false))
            ui->comboBox_devIndex->addItem(QString::number(d));
    if (pos >= ui->comboBox_devIndex->count())
        return;
    ui->comboBox_devIndex->setCurrentIndex(pos);
    ui->comboBox_chIndex->clear();
    const int dev = ui->comboBox_devIndex->currentText().toInt();
    if (dev >= 0 && dev < m_openTable.size())
        for (int c = 0; c < m_openTable[dev].size(); ++c)
            if (!m_openTable[dev][c])
                ui->comboBox_chIndex->addItem(QString::number(c));
}

void QUserDlgFd2Set::uiStateUpdate()
{
    if (m_cfg.fdSupport == QLatin1String("1")) {
        const bool fd = ui->comboBox_workProcotol->currentIndex() != 0;
        for (QWidget *w : {static_cast<QWidget *>(ui->label_iso), static_cast<QWidget *>(ui->comboBox_iso),
                           static_cast<QWidget *>(ui->label_dBaud), static_cast<QWidget *>(ui->comboBox_dBaud)})
            w->setVisible(fd);
        ui->label_workProcotol->setVisible(true);
        ui->comboBox_workProcotol->setVisible(true);
        ui->label_aBaud->setText(tr("仲裁域波特率:"));
    } else {
        for (QWidget *w : {static_cast<QWidget *>(ui->label_iso), static_cast<QWidget *>(ui->comboBox_iso),
                           static_cast<QWidget *>(ui->label_dBaud), static_cast<QWidget *>(ui->comboBox_dBaud),
                           static_cast<QWidget *>(ui->label_workProcotol),
                           static_cast<QWidget *>(ui->comboBox_workProcotol)})
            w->setVisible(false);
        ui->label_aBaud->setText(tr("波特率:"));
    }
    const bool self = ui->checkBox_self->isChecked();
    ui->lineEdit_selfPara->setEnabled(self);
    ui->pushButton_cal->setEnabled(self);
    ui->comboBox_aBaud->setEnabled(!self);
    ui->comboBox_dBaud->setEnabled(!self);
    ui->lineEdit_fliterNum->setText(tr("当前过滤器规则数量:") + QString::number(m_cfg.rules.size()));
}

void QUserDlgFd2Set::cfgTextToUi()
{
    int devPos = ui->comboBox_devIndex->findText(m_cfg.devIndex);
    if (devPos < 0)
        devPos = 0;
    devIndexListSet(devPos);
    const int chPos = ui->comboBox_chIndex->findText(m_cfg.chIndex);
    ui->comboBox_chIndex->setCurrentIndex(chPos >= 0 ? chPos : 0);
    ui->checkBox_allChannel->setChecked(m_cfg.allChannel != QLatin1String("0"));

    const int proto = m_cfg.fdSupport == QLatin1String("1") ? listPos(m_cfg.protocol, ui->comboBox_workProcotol->count()) : 0;
    ui->comboBox_workProcotol->setCurrentIndex(proto);
    ui->comboBox_iso->setCurrentIndex(listPos(m_cfg.iso, ui->comboBox_iso->count()));
    ui->comboBox_workMode->setCurrentIndex(listPos(m_cfg.workMode, ui->comboBox_workMode->count()));

    rateListsFill();
    ui->comboBox_aBaud->setCurrentIndex(listPos(m_cfg.aBaud, ui->comboBox_aBaud->count()));
    ui->comboBox_dBaud->setCurrentIndex(listPos(m_cfg.dBaud, ui->comboBox_dBaud->count()));

    if (m_cfg.selfBaud == QLatin1String("0")) {
        ui->checkBox_self->setChecked(false);
    } else {
        ui->checkBox_self->setChecked(true);
        ui->comboBox_aBaud->setCurrentIndex(ui->comboBox_aBaud->count() - 1);
        ui->comboBox_dBaud->setCurrentIndex(ui->comboBox_dBaud->count() - 1);
    }
    ui->lineEdit_selfPara->setText(m_cfg.selfBaudText);
    ui->checkBox_filterEnable->setChecked(m_cfg.fliterEnable != QLatin1String("0"));
}

void QUserDlgFd2Set::uiToCfgText()
{
    m_cfg.devIndex = ui->comboBox_devIndex->currentText();
    m_cfg.chIndex = ui->comboBox_chIndex->currentText();
    m_cfg.allChannel = ui->checkBox_allChannel->isChecked() ? "1" : "0";
    m_cfg.selfBaud = ui->checkBox_self->isChecked() ? "1" : "0";
    m_cfg.fliterEnable = ui->checkBox_filterEnable->isChecked() ? "1" : "0";
    m_cfg.protocol = QString::number(ui->comboBox_workProcotol->currentIndex());
    m_cfg.iso = QString::number(ui->comboBox_iso->currentIndex());
    m_cfg.workMode = QString::number(ui->comboBox_workMode->currentIndex());
    m_cfg.aBaud = QString::number(ui->comboBox_aBaud->currentIndex());
    m_cfg.dBaud = QString::number(ui->comboBox_dBaud->currentIndex());
    m_cfg.selfBaudText = ui->lineEdit_selfPara->text();
}

int QUserDlgFd2Set::dialogExec()
{
    if (!m_frame)
        m_frame.make(":/res/gear.png", QString());
    return m_frame.exec();
}

void QUserDlgFd2Set::slotOkExit()
{
    if (!dlgparts::channelChosen(this, ui->comboBox_devIndex, ui->comboBox_chIndex))
        return;
    if (ui->checkBox_self->isChecked() && ui->lineEdit_selfPara->text().trimmed().isEmpty()) {
        QUserMessageBox::msgError(this, tr("错误"), tr("自定义波特率参数不能为空!!!"));
        return;
    }
    uiToCfgText();
    m_cfg.cfgFileSave();
    m_frame.done(1);
}

void QUserDlgFd2Set::slotCancelExit()
{
    m_frame.done(0);
}

void QUserDlgFd2Set::slotBaudCal()
{
    QUserDlgFdBaudCalculator cal;
    cal.devTypeSet(m_cfg.devName);
    if (cal.dialogExec() == 1) {
        ui->lineEdit_selfPara->setText(cal.resultTextGet());
        int clock = 0;
        uint32_t arb = 0, data = 0;
        cal.resultGet(clock, arb, data);
        m_cfg.clock = clock;
        m_cfg.selfArbWord = arb;
        m_cfg.selfDataWord = data;
    }
}

void QUserDlgFd2Set::slotFliterSet()
{
    QUserDlgFliterSet editor;
    editor.dlgInit(tr("滤波设置"));
    editor.fliterRulesSet(m_cfg.rules);
    if (editor.dialogExec() == 1) {
        editor.fliterRulesGet(m_cfg.rules);
        uiToCfgText();
        m_cfg.cfgFileSave();
        uiStateUpdate();
    }
}

void QUserDlgFd2Set::slotsComboxDevIndexChanged(int index)
{
    devIndexListSet(index);
    uiStateUpdate();
}

void QUserDlgFd2Set::slotsComboxWorkProChanged(int)
{
    uiStateUpdate();
}

void QUserDlgFd2Set::slotsComboxAbaudChanged(int index)
{
    if (index == ui->comboBox_aBaud->count() - 1)
        ui->checkBox_self->setChecked(true);
}

void QUserDlgFd2Set::slotsComboxDbaudChanged(int index)
{
    if (index == ui->comboBox_dBaud->count() - 1)
        ui->checkBox_self->setChecked(true);
}

void QUserDlgFd2Set::slotsCheckboxSelfBaudStateChange(int)
{
    uiStateUpdate();
}

void QUserDlgFd2Set::slotsCheckboxFliterEnStateChange(int)
{
    uiStateUpdate();
}

int QUserDlgFd2Set::devCfgGet(QUserFd2Cfg *cfg)
{
    if (!cfg)
        return 0;
    cfg->devIndex = ui->comboBox_devIndex->currentText().toInt();
    cfg->channel = ui->comboBox_chIndex->currentText().toInt();
    cfg->allChannels = ui->checkBox_allChannel->isChecked() ? 1 : 0;
    cfg->fdEnable = ui->comboBox_workProcotol->currentIndex() != 0 ? 1 : 0;
    cfg->isoStandard = ui->comboBox_iso->currentIndex() != 0 ? 1 : 0;
    cfg->mode = ui->comboBox_workMode->currentIndex();
    cfg->selfBaud = 0;
    if (!ui->checkBox_self->isChecked()) {
        // Presets are words of the model's own clock.
        cfg->clock = m_cfg.modelClock;
        const QVector<uint32_t> arb = QUserFd2Settings::arbWords(m_cfg.modelClock);
        const QVector<uint32_t> data = QUserFd2Settings::dataWords(m_cfg.modelClock);
        // A list left on its custom entry while custom timing is off names
        // no preset: the first (fastest) one stands in for it.
        const int a = ui->comboBox_aBaud->currentIndex();
        cfg->arbTimingWord = arb.value(a >= 0 && a < arb.size() ? a : 0);
        if (cfg->fdEnable) {
            const int d = ui->comboBox_dBaud->currentIndex();
            cfg->dataTimingWord = data.value(d >= 0 && d < data.size() - 1 ? d : 0);
        }
    } else {
        cfg->selfBaud = 1;
        cfg->clock = m_cfg.clock;
        cfg->selfBaudText = ui->lineEdit_selfPara->text().trimmed();
        cfg->arbTimingWord = m_cfg.selfArbWord;
        cfg->dataTimingWord = m_cfg.selfDataWord;
    }
    cfg->filterEnable = ui->checkBox_filterEnable->isChecked() ? 1 : 0;
    cfg->rules = m_cfg.rules;
    return 1;
}
