#include "devtools/QUserDlgFdRecordSet.h"

#include "devtools/QUserDlgFdBaudCalculator.h"
#include "devtools/QUserDlgFliterSet.h"
#include "widgets/QUserLoadingDialog.h"
#include "widgets/QUserMessageBox.h"
#include "widgets/QUserPrompt.h"
#include "devtools/QUserRecordCmd.h"
#include "core/QUserBaudFunc.h"
#include "core/QUserKemusbPath.h"
#include "kemusb/include/kcan_api.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QComboBox>
#include <QDebug>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpacerItem>
#include <QTabWidget>
#include <QVBoxLayout>

class Ui_QUserDlgFdRecordSet
{
public:
    QVBoxLayout *verticalLayout;
    QHBoxLayout *horizontalLayout;
    QLabel *label;
    QComboBox *comboBox_devType;
    QPushButton *pushButton_open, *pushButton_close, *pushButton_read, *pushButton_write;
    QTabWidget *tabWidget;
    QWidget *tab, *tab_2;

    template <class T> static T *named(T *w, const char *name)
    {
        w->setObjectName(QLatin1String(name));
        return w;
    }

    void setupUi(QWidget *w)
    {
        w->setObjectName(QStringLiteral("QUserDlgFdRecordSet"));
        w->resize(744, 447);
        w->setWindowTitle(QStringLiteral("Form"));
        verticalLayout = new QVBoxLayout(w);
        verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
        horizontalLayout = new QHBoxLayout;
        horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
        label = named(new QLabel(w), "label");
        comboBox_devType = named(new QComboBox(w), "comboBox_devType");
        comboBox_devType->setMinimumSize(60, 0);
        for (int i = 0; i < recordModelCount(); ++i)
            comboBox_devType->addItem(QString::fromLatin1(recordModel(i).name));
        pushButton_open = named(new QPushButton(w), "pushButton_open");
        pushButton_close = named(new QPushButton(w), "pushButton_close");
        pushButton_read = named(new QPushButton(w), "pushButton_read");
        pushButton_write = named(new QPushButton(w), "pushButton_write");
        for (QWidget *x : {static_cast<QWidget *>(label), static_cast<QWidget *>(comboBox_devType),
                           static_cast<QWidget *>(pushButton_open), static_cast<QWidget *>(pushButton_close),
                           static_cast<QWidget *>(pushButton_read), static_cast<QWidget *>(pushButton_write)})
            horizontalLayout->addWidget(x);
        horizontalLayout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
        verticalLayout->addLayout(horizontalLayout);
        tabWidget = named(new QTabWidget(w), "tabWidget");
        tab = named(new QWidget, "tab");
        tab_2 = named(new QWidget, "tab_2");
        tabWidget->addTab(tab, QStringLiteral("Tab 1"));
        tabWidget->addTab(tab_2, QStringLiteral("Tab 2"));
        verticalLayout->addWidget(tabWidget);
        retranslateUi(w);
    }

    void retranslateUi(QWidget *)
    {
        label->setText(QUserDlgFdRecordSet::tr("设备类型:"));
        pushButton_open->setText(QUserDlgFdRecordSet::tr("打开设备"));
        pushButton_close->setText(QUserDlgFdRecordSet::tr("关闭设备"));
        pushButton_read->setText(QUserDlgFdRecordSet::tr("读取配置"));
        pushButton_write->setText(QUserDlgFdRecordSet::tr("写入配置"));
    }
};

namespace {

void debugLine(const QString &text) { qDebug() << ">" << text; }

// A custom timing field as a number; text that is not one counts as 0.
int fieldValue(const QLineEdit *e) { return e->text().trimmed().toInt(); }

} // namespace

// ---- construction ------------------------------------------------------------

QUserDlgFdRecordSet::QUserDlgFdRecordSet(QWidget *parent) : QWidget(parent), ui(new Ui_QUserDlgFdRecordSet)
{
    ui->setupUi(this);
    // The form's placeholder tabs go.
    while (ui->tabWidget->count() > 0) {
        QWidget *w = ui->tabWidget->widget(0);
        ui->tabWidget->removeTab(0);
        delete w;
    }
    ui->comboBox_devType->setCurrentIndex(1);
    modelSet(1);
    m_devIndex = 0;
    m_open = false;
    pagesSync();

    connect(ui->pushButton_open, &QPushButton::clicked, this, &QUserDlgFdRecordSet::slotsComboxDevOpen);
    connect(ui->pushButton_close, &QPushButton::clicked, this, &QUserDlgFdRecordSet::slotsComboxDevClose);
    connect(ui->pushButton_read, &QPushButton::clicked, this, &QUserDlgFdRecordSet::slotsComboxDevRead);
    connect(ui->pushButton_write, &QPushButton::clicked, this, &QUserDlgFdRecordSet::slotsComboxDevWrite);
    connect(ui->comboBox_devType, QOverload<int>::of(&QComboBox::activated), this,
            &QUserDlgFdRecordSet::slotsComboxDevTypeChanged);
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &QUserDlgFdRecordSet::slotsTabPageChanged);

    m_lib = new QLibrary(QUserKemusbPath::resolve(QStringLiteral("KemControl.dll")));
    if (m_lib->load())
        debugLine(QStringLiteral("KemControl.dll Lib Load Success..."));
    else
        debugLine(QStringLiteral("KemControl.dll Lib Load Fail..."));
    uiRefresh();
}

QUserDlgFdRecordSet::~QUserDlgFdRecordSet()
{
    disconnect(ui->tabWidget, nullptr, this, nullptr);
    m_frame.release();
    // The adapter is closed while its library is still there: unloading
    // first would leave it open inside a library other users still hold.
    devClose(true);
    pagesClear();
    delete ui;
    ui = nullptr;
    if (m_lib) {
        m_lib->unload();
        delete m_lib;
        m_lib = nullptr;
    }
}

bool QUserDlgFdRecordSet::libraryLoaded() const
{
    return m_lib && m_lib->isLoaded();
}

void *QUserDlgFdRecordSet::kcan(const char *name) const
{
    void *fn = m_lib ? reinterpret_cast<void *>(m_lib->resolve(name)) : nullptr;
    if (!fn)
        debugLine(QStringLiteral("ERROR:%1 Resolve Fail...").arg(QLatin1String(name)));
    return fn;
}

#define KCAN_FN(name) reinterpret_cast<decltype(&name)>(kcan(#name))

void QUserDlgFdRecordSet::dlgInit(const QString &devName, const QString &title, const QList<QByteArray> &)
{
    m_devName = devName;
    m_frame.reset(new Dialog(QStringLiteral(":/res/gear.png"), QString(), title, 31));
    modelSet(ui->comboBox_devType->currentIndex());
    for (QUserRecordChPage *p : m_pages)
        p->cfg.modelDefaultsSet(recordModel(ui->comboBox_devType->currentIndex()));
    uiRefresh();
}

int QUserDlgFdRecordSet::dialogExec()
{
    if (!m_frame)
        m_frame.reset(new Dialog(QStringLiteral(":/res/gear.png"), QString(), QString(), 31));
    auto *layout = new QHBoxLayout;
    layout->addWidget(this);
    m_frame->setContentLayout(layout, width(), height());
    return m_frame->dlgExec();
}

void QUserDlgFdRecordSet::slotOkExit()
{
    if (m_frame)
        m_frame->dlgDone(1);
}

void QUserDlgFdRecordSet::slotCancelExit()
{
    if (m_frame)
        m_frame->dlgDone(0);
}

// ---- pages -------------------------------------------------------------------

void QUserDlgFdRecordSet::modelSet(int pos)
{
    const QUserRecordModel &m = recordModel(pos);
    m_devType = m.devType;
    m_presetRow = m.presetRow;
    m_clock = m.clockMHz;
}

void QUserDlgFdRecordSet::pagesSync()
{
    const int wanted = recordModel(ui->comboBox_devType->currentIndex()).channels;
    while (m_pages.size() < wanted)
        pagesAdd();
    while (m_pages.size() > wanted)
        pagesRemove();
}

void QUserDlgFdRecordSet::pagesAdd()
{
    auto *p = new QUserRecordChPage;
    p->comboBox_clkA->addItem(QString::number(m_clock));
    p->comboBox_clkB->addItem(QString::number(m_clock));
    m_pages.append(p);
    ui->tabWidget->addTab(p, QStringLiteral("CAN") + QString::number(ui->tabWidget->count()));

    connect(p->comboBox_workPro, QOverload<int>::of(&QComboBox::activated), this,
            &QUserDlgFdRecordSet::slotsComboxWorkProChanged);
    connect(p->comboBox_aBaud, QOverload<int>::of(&QComboBox::activated), this,
            &QUserDlgFdRecordSet::slotsComboxAbaudChanged);
    connect(p->comboBox_dBaud, QOverload<int>::of(&QComboBox::activated), this,
            &QUserDlgFdRecordSet::slotsComboxDbaudChanged);
    connect(p->checkBox_selfBaud, &QCheckBox::stateChanged, this,
            &QUserDlgFdRecordSet::slotsCheckboxSelfBaudStateChange);
    connect(p->checkBox_fliterEn, &QCheckBox::stateChanged, this,
            &QUserDlgFdRecordSet::slotsCheckboxFliterEnStateChange);
    connect(p->pushButton_fliterSet, &QPushButton::clicked, this, &QUserDlgFdRecordSet::slotFliterSet);
    connect(p->pushButton_baudCal, &QPushButton::clicked, this, &QUserDlgFdRecordSet::slotBaudCal);
    connect(p->pushButton_diskFormat, &QPushButton::clicked, this, &QUserDlgFdRecordSet::slotsDiskFormat);
    connect(p->pushButton_diskCap, &QPushButton::clicked, this, &QUserDlgFdRecordSet::slotsDiskCapGet);
    connect(p->pushButton_devInfo, &QPushButton::clicked, this, &QUserDlgFdRecordSet::slotsDevInfoGet);
    connect(p->pushButton_diskWRTest, &QPushButton::clicked, this, &QUserDlgFdRecordSet::slotsDiskWRTest);
}

void QUserDlgFdRecordSet::pagesRemove()
{
    if (m_pages.isEmpty())
        return;
    QUserRecordChPage *p = m_pages.takeLast();
    const int at = ui->tabWidget->indexOf(p);
    if (at >= 0)
        ui->tabWidget->removeTab(at);
    delete p;
}

void QUserDlgFdRecordSet::pagesClear()
{
    while (!m_pages.isEmpty())
        pagesRemove();
    if (ui)
        ui->tabWidget->clear();
}

QUserRecordChPage *QUserDlgFdRecordSet::currentPage() const
{
    const int i = ui->tabWidget->currentIndex();
    return i >= 0 ? qobject_cast<QUserRecordChPage *>(ui->tabWidget->widget(i)) : nullptr;
}

QUserRecordChPage *QUserDlgFdRecordSet::senderPage() const
{
    const QObject *s = sender();
    for (QUserRecordChPage *p : m_pages)
        if (s && p->isAncestorOf(qobject_cast<const QWidget *>(s)))
            return p;
    return currentPage();
}

void QUserDlgFdRecordSet::logInfo(const QString &text)
{
    if (QUserRecordChPage *p = currentPage())
        p->logAppend(text, false);
}

void QUserDlgFdRecordSet::logError(const QString &text)
{
    if (QUserRecordChPage *p = currentPage())
        p->logAppend(text, true);
}

// ---- open and close ----------------------------------------------------------

bool QUserDlgFdRecordSet::devOpen()
{
    const auto open = KCAN_FN(KCAN_OpenDevice);
    if (!open)
        return false;
    if (m_open)
        return true;
    m_devType = recordModel(ui->comboBox_devType->currentIndex()).devType;
    if (open(uint32_t(m_devType), uint32_t(m_devIndex)) != 0) {
        logInfo(tr("设备打开成功!"));
        return true;
    }
    logError(tr("设备打开失败!"));
    QUserMessageBox::msgWarning(this, tr("错误"), tr("设备打开失败!"));
    return false;
}

void QUserDlgFdRecordSet::devClose(bool quiet)
{
    if (quiet && !m_open)
        return;
    const auto close = KCAN_FN(KCAN_CloseDevice);
    if (close && m_open) {
        m_open = false;
        close(uint32_t(m_devType), uint32_t(m_devIndex));
    }
    if (!quiet)
        logInfo(tr("设备已关闭!"));
}

void QUserDlgFdRecordSet::slotsComboxDevOpen()
{
    m_open = devOpen();
    uiRefresh();
}

void QUserDlgFdRecordSet::slotsComboxDevClose()
{
    devClose(false);
    uiRefresh();
}

// ---- refresh -----------------------------------------------------------------

void QUserDlgFdRecordSet::uiRefresh()
{
    ui->pushButton_open->setEnabled(!m_open);
    ui->pushButton_close->setEnabled(m_open);
    ui->pushButton_read->setEnabled(m_open);
    ui->pushButton_write->setEnabled(m_open);
    ui->comboBox_devType->setEnabled(!m_open);
    const bool canOnly = !recordModel(ui->comboBox_devType->currentIndex()).canFd;

    for (QUserRecordChPage *p : m_pages) {
        QUserRecordChCfg &c = p->cfg;
        int brp = 0, sjw = 0, t1 = 0, t2 = 0;
        unpackFdBaudTiming(c.arbWord, brp, sjw, t1, t2);
        p->lineEdit_aBrp->setText(QString::number(brp));
        p->lineEdit_aSjw->setText(QString::number(sjw));
        p->lineEdit_aBs1->setText(QString::number(t1));
        p->lineEdit_aBs2->setText(QString::number(t2));
        unpackFdBaudTiming(c.dataWord, brp, sjw, t1, t2);
        p->lineEdit_dBrp->setText(QString::number(brp));
        p->lineEdit_dSjw->setText(QString::number(sjw));
        p->lineEdit_dBs1->setText(QString::number(t1));
        p->lineEdit_dBs2->setText(QString::number(t2));

        p->comboBox_clkA->clear();
        p->comboBox_clkA->addItem(QString::number(c.clockA));
        p->comboBox_clkA->setCurrentIndex(0);
        p->comboBox_clkB->clear();
        p->comboBox_clkB->addItem(QString::number(c.clockB));
        p->comboBox_clkB->setCurrentIndex(0);

        // Custom timing read back that no field range allows is no rate.
        if (c.customTiming && (recordTimingWordInvalid(c.arbWord) >= 0
                               || (c.fd && recordTimingWordInvalid(c.dataWord) >= 0)))
            c.baudText = tr("自定义波特率参数超出范围!");
        else
            calcBaudText(int(c.clockA), c.arbWord, c.dataWord, c.baudText);
        p->lineEdit_baudText->setText(c.baudText);
        p->lineEdit_baudText->setFixedWidth(p->lineEdit_baudText->fontMetrics().horizontalAdvance(c.baudText) + 16);

        p->lineEdit_fliterNum->setText(tr("当前过滤器规则数量:") +
                                       QString::number(p->checkBox_fliterEn->isChecked() ? p->cfg.rules.size() : 0));

        // The one-channel model records classic CAN only; its list is held
        // before the protocol decides what is shown.
        if (canOnly)
            p->comboBox_workPro->setCurrentIndex(0);
        const bool fd = p->comboBox_workPro->currentIndex() == 1;
        p->label_iso->setVisible(fd);
        p->comboBox_iso->setVisible(fd);
        p->label_dBaud->setVisible(fd);
        p->comboBox_dBaud->setVisible(fd);
        p->widget_dLine->setVisible(fd);
        p->label_aBaud->setText(fd ? tr("仲裁域波特率:") : tr("波特率:"));
        p->label_clkA->setText(fd ? tr("仲裁域-> 时钟:") : tr("时钟:"));

        const bool self = p->checkBox_selfBaud->isChecked();
        p->groupBox_selfBaud->setEnabled(self);
        p->comboBox_aBaud->setEnabled(!self);
        p->comboBox_dBaud->setEnabled(!self);
        if (self) {
            p->comboBox_aBaud->setCurrentIndex(p->comboBox_aBaud->count() - 1);
            p->comboBox_dBaud->setCurrentIndex(p->comboBox_dBaud->count() - 1);
        }

        p->pushButton_fliterSet->setEnabled(p->checkBox_fliterEn->isChecked());
        p->lineEdit_fliterNum->setEnabled(false);
        p->comboBox_iso->setEnabled(true);
        p->comboBox_workPro->setEnabled(!canOnly);
        p->groupBox_devMgr->setEnabled(m_open);
    }
}

// ---- page and widget handlers ------------------------------------------------

void QUserDlgFdRecordSet::slotsComboxDevTypeChanged(int index)
{
    pagesClear();
    modelSet(index);
    pagesSync();
    for (QUserRecordChPage *p : m_pages)
        p->cfg.modelDefaultsSet(recordModel(index));
    recordCfgToUi();
    uiRefresh();
}

void QUserDlgFdRecordSet::slotsTabPageChanged(int)
{
    uiRefresh();
}

void QUserDlgFdRecordSet::slotsComboxWorkProChanged(int)
{
    uiRefresh();
}

void QUserDlgFdRecordSet::slotsComboxAbaudChanged(int index)
{
    if (QUserRecordChPage *p = senderPage())
        if (index == p->comboBox_aBaud->count() - 1)
            p->checkBox_selfBaud->setChecked(true);
    uiToRecordCfg();
    uiRefresh();
}

void QUserDlgFdRecordSet::slotsComboxDbaudChanged(int index)
{
    if (QUserRecordChPage *p = senderPage())
        if (index == p->comboBox_dBaud->count() - 1)
            p->checkBox_selfBaud->setChecked(true);
    uiToRecordCfg();
    uiRefresh();
}

void QUserDlgFdRecordSet::slotsCheckboxSelfBaudStateChange(int)
{
    uiRefresh();
}

void QUserDlgFdRecordSet::slotsCheckboxFliterEnStateChange(int)
{
    uiToRecordCfg();
    uiRefresh();
}

void QUserDlgFdRecordSet::slotFliterSet()
{
    QUserRecordChPage *p = currentPage();
    if (!p)
        return;
    QUserDlgFliterSet editor;
    editor.dlgInit(tr("滤波设置"));
    editor.fliterRulesSet(p->cfg.rules);
    if (editor.dialogExec() == 1) {
        editor.fliterRulesGet(p->cfg.rules);
        uiRefresh();
    }
}

void QUserDlgFdRecordSet::slotBaudCal()
{
    QUserRecordChPage *p = currentPage();
    if (!p)
        return;
    QUserDlgFdBaudCalculator cal;
    cal.devTypeSet(ui->comboBox_devType->currentText());
    if (cal.dialogExec() == 1) {
        int clock = 0;
        uint32_t arb = 0, data = 0;
        cal.resultGet(clock, arb, data);
        p->cfg.clockA = uint32_t(clock);
        p->cfg.clockB = p->cfg.clockA;
        p->cfg.arbWord = arb;
        p->cfg.dataWord = data;
        uiRefresh();
    }
}

// ---- settings ----------------------------------------------------------------

void QUserDlgFdRecordSet::uiToRecordCfg()
{
    if (m_filling)
        return;
    const QVector<uint32_t> &arb = recordArbWords(m_presetRow);
    const QVector<uint32_t> &data = recordDataWords(m_presetRow);
    for (QUserRecordChPage *p : m_pages) {
        QUserRecordChCfg &c = p->cfg;
        c.fd = p->comboBox_workPro->currentIndex() != 0;
        c.iso = p->comboBox_iso->currentIndex() != 0;
        c.listenOnly = p->comboBox_workMode->currentIndex() != 0;
        c.customTiming = p->checkBox_selfBaud->isChecked();
        c.channelOn = p->checkBox_chEnable->isChecked();
        c.fliterEnable = p->checkBox_fliterEn->isChecked();
        c.fileFormat = uint8_t(p->comboBox_fileFormat->currentIndex());
        const QString interval = p->lineEdit_fileInterval->text().trimmed();
        c.fileInterval = interval.isEmpty() ? 10 : uint8_t(interval.toInt() & 0xFF);
        c.diskPolicy = uint8_t(p->comboBox_diskPolicy->currentIndex());

        const int a = p->comboBox_aBaud->currentIndex();
        if (a >= 0 && a == p->comboBox_aBaud->count() - 1)
            packFdBaudTiming(fieldValue(p->lineEdit_aBrp), fieldValue(p->lineEdit_aSjw),
                             fieldValue(p->lineEdit_aBs1), fieldValue(p->lineEdit_aBs2), c.arbWord);
        else if (a >= 0 && a < arb.size())
            c.arbWord = arb.at(a);
        const int d = p->comboBox_dBaud->currentIndex();
        if (d >= 0 && d == p->comboBox_dBaud->count() - 1)
            packFdBaudTiming(fieldValue(p->lineEdit_dBrp), fieldValue(p->lineEdit_dSjw),
                             fieldValue(p->lineEdit_dBs1), fieldValue(p->lineEdit_dBs2), c.dataWord);
        else if (d >= 0 && d < data.size())
            c.dataWord = data.at(d);
    }
}

void QUserDlgFdRecordSet::recordCfgToUi()
{
    m_filling = true;
    const QVector<uint32_t> &arb = recordArbWords(m_presetRow);
    const QVector<uint32_t> &data = recordDataWords(m_presetRow);
    for (QUserRecordChPage *p : m_pages) {
        const QUserRecordChCfg &c = p->cfg;
        p->comboBox_workPro->setCurrentIndex(c.fd ? 1 : 0);
        p->comboBox_iso->setCurrentIndex(c.iso ? 1 : 0);
        p->comboBox_workMode->setCurrentIndex(c.listenOnly ? 1 : 0);
        p->checkBox_selfBaud->setChecked(c.customTiming != 0);
        p->checkBox_chEnable->setChecked(c.channelOn != 0);
        if (!c.customTiming) {
            const int a = arb.indexOf(c.arbWord);
            if (a >= 0)
                p->comboBox_aBaud->setCurrentIndex(a);
            const int d = data.indexOf(c.dataWord);
            if (d >= 0 && d < p->comboBox_dBaud->count())
                p->comboBox_dBaud->setCurrentIndex(d);
        }
        p->comboBox_clkA->clear();
        p->comboBox_clkA->addItem(QString::number(c.clockA));
        p->comboBox_clkB->clear();
        p->comboBox_clkB->addItem(QString::number(c.clockB));
        p->checkBox_fliterEn->setChecked(c.fliterEnable != 0);
        if (c.fileFormat < p->comboBox_fileFormat->count())
            p->comboBox_fileFormat->setCurrentIndex(c.fileFormat);
        if (c.diskPolicy < p->comboBox_diskPolicy->count())
            p->comboBox_diskPolicy->setCurrentIndex(c.diskPolicy);
        p->lineEdit_fileInterval->setText(QString::number(c.fileInterval));
    }
    m_filling = false;
}

bool QUserDlgFdRecordSet::intervalsCheck()
{
    for (QUserRecordChPage *p : m_pages) {
        const QString text = p->lineEdit_fileInterval->text().trimmed();
        if (text.isEmpty())
            continue; // stands for the default of 10 minutes
        bool ok = false;
        const int v = text.toInt(&ok);
        if (!ok || v < 1 || v > 255) {
            QUserMessageBox::msgWarning(this, tr("错误"), tr("文件创建间隔") + tr("有效范围:1-255"));
            return false;
        }
    }
    return true;
}

bool QUserDlgFdRecordSet::timingFieldsCheck()
{
    const QString names[4] = {tr("预分频"), QStringLiteral("SJW"), QStringLiteral("BS1"), QStringLiteral("BS2")};
    for (int ch = 0; ch < m_pages.size(); ++ch) {
        QUserRecordChPage *p = m_pages.at(ch);
        struct Phase {
            QComboBox *list;
            QLineEdit *fields[4];
            QString name;
        } const phases[2] = {
            {p->comboBox_aBaud, {p->lineEdit_aBrp, p->lineEdit_aSjw, p->lineEdit_aBs1, p->lineEdit_aBs2}, tr("仲裁域")},
            {p->comboBox_dBaud, {p->lineEdit_dBrp, p->lineEdit_dSjw, p->lineEdit_dBs1, p->lineEdit_dBs2}, tr("数据域")},
        };
        for (const Phase &ph : phases) {
            // The fields are packed only when the list stands on "自定义".
            if (ph.list->count() == 0 || ph.list->currentIndex() != ph.list->count() - 1)
                continue;
            int v[4];
            for (int i = 0; i < 4; ++i) {
                bool ok = false;
                v[i] = ph.fields[i]->text().trimmed().toInt(&ok);
                if (!ok)
                    v[i] = 0; // empty or not a number: outside every range
            }
            int lo = 0, hi = 0;
            const int bad = recordTimingFieldInvalid(v, &lo, &hi);
            if (bad < 0)
                continue;
            QUserMessageBox::msgWarning(this, tr("错误"),
                                        QStringLiteral("CAN%1 ").arg(ch) + ph.name + names[bad] + tr("有效范围:") +
                                            QStringLiteral("%1-%2").arg(lo).arg(hi));
            return false;
        }
    }
    return true;
}

void QUserDlgFdRecordSet::slotsComboxDevWrite()
{
    // An interval outside 1-255 would reach the adapter cut to 8 bits, and a
    // timing field outside its range would corrupt the timing word.
    if (!intervalsCheck() || !timingFieldsCheck()) {
        logError(tr("写入失败!"));
        return;
    }
    uiToRecordCfg();
    if (recordCfgWrite())
        logInfo(tr("写入成功!"));
    else
        logError(tr("写入失败!"));
}

void QUserDlgFdRecordSet::slotsComboxDevRead()
{
    if (recordCfgRead())
        logInfo(tr("读取成功!"));
    else
        logError(tr("读取失败!"));
}

int QUserDlgFdRecordSet::recordCfgWrite()
{
    const uint32_t type = uint32_t(m_devType), index = uint32_t(m_devIndex);
    const auto fail = [this](const char *debug, int ch, const QString &box) {
        debugLine(QLatin1String(debug));
        QUserMessageBox::msgWarning(this, tr("错误"), QStringLiteral("CAN") + QString::number(ch) + box);
        return 0;
    };
    for (int ch = 0; ch < m_pages.size(); ++ch) {
        QUserRecordChCfg &c = m_pages.at(ch)->cfg;
        RecordSetting rec = recordSettingFrom(c);
        const auto set = KCAN_FN(KCAN_RecordSettingSet);
        if (!set || !set(type, index, uint32_t(ch), &rec))
            return fail("ERROR:FD Record Dev Write Fail...", ch, tr("配置失败!"));
        const auto ctrl = c.fliterEnable ? KCAN_FN(KCAN_RecordFliterEnable) : KCAN_FN(KCAN_RecordFliterDisable);
        if (!ctrl || !ctrl(type, index, uint32_t(ch)))
            return fail("ERROR:FD Record Dev Fliter Ctrl Fail...", ch, tr("过滤器配置失败!"));
        const auto clr = KCAN_FN(KCAN_RecordFliterClr);
        if (!clr || !clr(type, index, uint32_t(ch)))
            return fail("ERROR:FD Record Dev Fliter Clr Fail...", ch, tr("过滤器清空失败!"));
        for (const QUserFliterRule &r : c.rules) {
            RecordFliterRule rule = recordRuleFrom(r);
            const auto add = KCAN_FN(KCAN_RecordFliterAdd);
            if (!add || !add(type, index, uint32_t(ch), &rule))
                return fail("ERROR:FD Record Dev Fliter Add Fail...", ch, tr("过滤器新增失败!"));
        }
    }
    if (devTimeSync() != 0) {
        debugLine(QStringLiteral("ERROR:FD Record Dev Time Sync Fail..."));
        logError(tr("设备时间同步失败!"));
        QUserMessageBox::msgWarning(this, tr("错误"), tr("设备时间同步失败!"));
        return 0;
    }
    logInfo(tr("设备时间同步成功!"));
    return 1;
}

int QUserDlgFdRecordSet::recordCfgRead()
{
    const uint32_t type = uint32_t(m_devType), index = uint32_t(m_devIndex);
    const auto fail = [this](const char *debug, int ch, const QString &box) {
        debugLine(QLatin1String(debug));
        QUserMessageBox::msgWarning(this, tr("错误"), QStringLiteral("CAN") + QString::number(ch) + box);
        return 0;
    };
    for (int ch = 0; ch < m_pages.size(); ++ch) {
        RecordSetting rec;
        const auto get = KCAN_FN(KCAN_RecordSettingGet);
        if (!get || !get(type, index, uint32_t(ch), &rec))
            return fail("ERROR:FD Record Dev Read Fail...", ch, tr("读取失败!"));
        recordSettingTo(rec, &m_pages.at(ch)->cfg);
    }
    for (int ch = 0; ch < m_pages.size(); ++ch) {
        QUserRecordChCfg &c = m_pages.at(ch)->cfg;
        RecordFliterInfo info;
        const auto infoGet = KCAN_FN(KCAN_RecordFliterInfoGet);
        if (!infoGet || !infoGet(type, index, uint32_t(ch), &info))
            return fail("ERROR:FD Record Dev Fliter Info Read Fail...", ch, tr("FLiter读取失败!"));
        c.fliterEnable = info.enable != 0;
        c.rules.clear();
        for (uint32_t i = 0; i < info.count; ++i) {
            RecordFliterRule rule;
            const auto ruleGet = KCAN_FN(KCAN_RecordFliterSettingGet);
            if (!ruleGet || !ruleGet(type, index, uint32_t(ch), uint16_t(i), &rule))
                return fail("ERROR:FD Record Dev Fliter Set Read Fail...", ch, tr("FLiter读取失败!"));
            c.rules.append(recordRuleTo(rule));
        }
    }
    recordCfgValidate();
    recordCfgToUi();
    uiRefresh();
    return 1;
}

void QUserDlgFdRecordSet::recordCfgValidate()
{
    const QUserRecordModel &m = recordModel(ui->comboBox_devType->currentIndex());
    bool valid = true;
    for (QUserRecordChPage *p : m_pages) {
        bool intervalZero = false;
        if (!recordCfgCheck(&p->cfg, m, &intervalZero))
            valid = false;
        if (intervalZero)
            QUserMessageBox::msgWarning(this, tr("错误"), tr("文件创建间隔") + tr("有效范围:1-255"));
    }
    if (!valid)
        QUserMessageBox::msgWarning(this, tr("错误"), tr("设备参数无效,请重新写入配置!"));
}

// ---- device information ------------------------------------------------------

void QUserDlgFdRecordSet::slotsDevInfoGet()
{
    BoardInfo info;
    const auto get = KCAN_FN(KCAN_BoardInfoGet);
    if (!get || !get(uint32_t(m_devType), uint32_t(m_devIndex), &info)) {
        logError(QStringLiteral("操作失败!"));
        return;
    }
    logInfo(tr("硬件版本:") + recordVersionText(info.hwVersion) + " " + tr("固件版本:") +
            recordVersionText(info.fwVersion) + " " + tr("DLL:") + recordVersionText(info.libVersion));
    QString time;
    if (devTimeGet(time) == 0)
        logInfo(tr("设备时间:") + time);
    else
        logError(QStringLiteral("设备时间获取失败!"));
}

// ---- adapter commands --------------------------------------------------------

int QUserDlgFdRecordSet::devCmdSend(uint8_t command, const uint8_t *payload, int payloadLen, uint8_t *reply,
                                    int capacity)
{
    return QUserRecordCmd::exchange(KCAN_FN(KCAN_DataDirectTransfer), uint32_t(m_devType), uint32_t(m_devIndex),
                                    command, payload, payloadLen, reply, capacity);
}

int QUserDlgFdRecordSet::devStatusQuery(uint8_t sub, uint8_t *reply, int *capacity)
{
    const int n = devCmdSend(QUserRecordCmd::CmdQuery, &sub, 1, reply, *capacity);
    if (n < QUserRecordCmd::MinPollReply)
        return QUserRecordCmd::StatusRunning;
    *capacity = n;
    return reply[2];
}

int QUserDlgFdRecordSet::diskCapGet()
{
    const uint8_t sub = QUserRecordCmd::SubCapacity;
    uint8_t reply[QUserRecordCmd::ShortReplyCap] = {};
    const int n = devCmdSend(QUserRecordCmd::CmdSet, &sub, 1, reply, QUserRecordCmd::ShortReplyCap);
    QUserRecordCmd::Capacity cap;
    if (!QUserRecordCmd::parseCapacity(reply, n, &cap)) {
        logError(tr("容量查询失败!"));
        return -1;
    }
    if (cap.status == QUserRecordCmd::StatusDone)
        logInfo(tr("总空间: ") + QString::number(cap.totalMb) + "MB" + tr(" 剩余空间: ") +
                QString::number(cap.freeMb) + "MB");
    else if (cap.status == QUserRecordCmd::StatusNoStorage)
        logError(tr("未发现存储设备!"));
    return 2;
}

int QUserDlgFdRecordSet::devTimeSync()
{
    uint8_t payload[8];
    QUserRecordCmd::timeSyncPayload(m_now ? m_now() : QDateTime::currentDateTime(), payload);
    uint8_t reply[QUserRecordCmd::ShortReplyCap] = {};
    const int n = devCmdSend(QUserRecordCmd::CmdSet, payload, 8, reply, QUserRecordCmd::ShortReplyCap);
    return n >= QUserRecordCmd::MinTimeSyncReply ? 0 : -1;
}

int QUserDlgFdRecordSet::devTimeGet(QString &text)
{
    const uint8_t sub = QUserRecordCmd::SubTimeGet;
    uint8_t reply[QUserRecordCmd::ShortReplyCap] = {};
    const int n = devCmdSend(QUserRecordCmd::CmdSet, &sub, 1, reply, QUserRecordCmd::ShortReplyCap);
    return QUserRecordCmd::parseClock(reply, n, &text) ? 0 : -1;
}

// ---- disk operations ---------------------------------------------------------

void QUserDlgFdRecordSet::diskSpeedSet(uint32_t readMBs, uint32_t writeMBs)
{
    m_readSpeed = readMBs;
    m_writeSpeed = writeMBs;
}

void QUserDlgFdRecordSet::diskTaskExit(int code)
{
    emit diskFormatThreadTaskExit(code);
}

int QUserDlgFdRecordSet::diskOpRun(uint8_t sub)
{
    QUserLoadingDialog loading(this);
    int code = QUserRecordCmd::StatusStartFailed;
    uint8_t reply[QUserRecordCmd::LongReplyCap] = {};
    const int n = devCmdSend(QUserRecordCmd::CmdSet, &sub, 1, reply, QUserRecordCmd::LongReplyCap);
    if (n >= QUserRecordCmd::MinStartReply) {
        QUserWaitResultTask task(sub, this, m_waitClock);
        // Connected before the task runs: a final status it reports at
        // once must reach the waiting dialog.
        connect(this, SIGNAL(diskFormatThreadTaskExit(int)), &loading, SLOT(userExitReq(int)));
        task.start(QThread::InheritPriority);
        if (m_taskStartHook)
            m_taskStartHook(&task);
        loading.setTipsText(sub == QUserRecordCmd::SubFormat ? tr("操作中,请等待...") : tr("测试中,请等待..."));
        loading.setCancelBtnShow(false);
        // The command runs until the task reports: a card closed before that
        // would leave the window waiting with nothing shown.
        loading.setClosable(false);
        loading.setModal(true);
        loading.moveToCenter(window());
        QUserPrompt::instance()->exec(&loading);
        task.wait();
        // A waiting dialog left before the report arrived (Esc) still takes
        // it: the outcome shown is the adapter's, not a guess.
        QCoreApplication::sendPostedEvents(&loading, QEvent::MetaCall);
        code = loading.userExitCode();
        disconnect(this, SIGNAL(diskFormatThreadTaskExit(int)), &loading, SLOT(userExitReq(int)));
    }

    switch (code) {
    case QUserRecordCmd::StatusDone:
        if (sub == QUserRecordCmd::SubFormat) {
            logInfo(tr("操作成功!"));
            QUserMessageBox::msgCheck(this, tr("提示"), tr("操作成功!"));
        } else {
            logInfo(tr("读速度:") + QString::number(m_readSpeed) + tr("MB/秒") + " " + tr("写速度:") +
                    QString::number(m_writeSpeed) + tr("MB/秒"));
        }
        break;
    case QUserRecordCmd::StatusNoStorage:
        logError(tr("未发现存储设备!"));
        QUserMessageBox::msgWarning(this, tr("错误"), tr("未发现存储设备!"));
        break;
    case QUserRecordCmd::StatusTimeOut:
        logError(tr("操作超时!"));
        QUserMessageBox::msgWarning(this, tr("错误"), tr("操作超时!"));
        break;
    default:
        logError(tr("操作失败!"));
        QUserMessageBox::msgWarning(this, tr("错误"), tr("操作失败!"));
        break;
    }
    return code;
}

int QUserDlgFdRecordSet::diskFormatRun()
{
    return diskOpRun(QUserRecordCmd::SubFormat);
}

int QUserDlgFdRecordSet::diskWRTestRun()
{
    return diskOpRun(QUserRecordCmd::SubWRTest);
}

void QUserDlgFdRecordSet::slotsDiskFormat()
{
    if (QUserMessageBox::msgQuestionEx(this, tr("警告"), tr("格式化将清空所有记录文件,") + "\n" + tr("确定继续?"), 0) == 1)
        diskFormatRun();
}

void QUserDlgFdRecordSet::slotsDiskCapGet()
{
    diskCapGet();
}

void QUserDlgFdRecordSet::slotsDiskWRTest()
{
    diskWRTestRun();
}
