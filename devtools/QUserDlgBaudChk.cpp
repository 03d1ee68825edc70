#include "devtools/QUserDlgBaudChk.h"
#include "devtools/QUserDlgParts.h"

#include "widgets/QUserDlgProgress.h"
#include "widgets/QUserMessageBox.h"
#include "devices/QKemDev.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDebug>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

class Ui_QUserDlgBaudChk
{
public:
    QVBoxLayout *verticalLayout;
    QLabel *label, *label_2, *label_3, *label_5, *label_6, *label_7, *label_8, *label_9, *label_12;
    QComboBox *comboBox_devType, *comboBox_devIndex, *comboBox_chIndex;
    QPushButton *pushButton_devOpen, *pushButton_devClose, *pushButton_start, *pushButton_stop, *pushButton_cancel;
    QFrame *line, *line_2;
    QLineEdit *lineEdit_startFreq, *lineEdit_stopFreq;
    QCheckBox *checkBox_chkFast;
    QTableWidget *tableWidget;

    template <class T> static T *named(T *w, const char *name)
    {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    }
    static QFrame *hline(QWidget *w, const char *name)
    {
        auto *f = named(new QFrame(w), name);
        f->setFrameShape(QFrame::HLine);
        f->setFrameShadow(QFrame::Sunken);
        return f;
    }

    void setupUi(QWidget *w)
    {
        w->setObjectName(QStringLiteral("QUserDlgBaudChk"));
        w->resize(594, 360);
        w->setWindowTitle(QStringLiteral("Form"));
        verticalLayout = new QVBoxLayout(w);
        verticalLayout->setSpacing(4);

        auto *devRow = new QHBoxLayout;
        label = named(new QLabel(QObject::tr("设备类型:"), w), "label");
        comboBox_devType = named(new QComboBox(w), "comboBox_devType");
        label_2 = named(new QLabel(QObject::tr("设备索引:"), w), "label_2");
        comboBox_devIndex = named(new QComboBox(w), "comboBox_devIndex");
        label_3 = named(new QLabel(QObject::tr("通道索引:"), w), "label_3");
        comboBox_chIndex = named(new QComboBox(w), "comboBox_chIndex");
        for (QComboBox *c : {comboBox_devType, comboBox_devIndex, comboBox_chIndex})
            c->setMinimumWidth(90);
        devRow->addWidget(label);
        devRow->addWidget(comboBox_devType);
        devRow->addStretch();
        devRow->addWidget(label_2);
        devRow->addWidget(comboBox_devIndex);
        devRow->addStretch();
        devRow->addWidget(label_3);
        devRow->addWidget(comboBox_chIndex);
        verticalLayout->addLayout(devRow);

        auto *openRow = new QHBoxLayout;
        pushButton_devOpen = named(new QPushButton(QObject::tr("打开设备"), w), "pushButton_devOpen");
        pushButton_devClose = named(new QPushButton(QObject::tr("关闭设备"), w), "pushButton_devClose");
        openRow->addStretch();
        openRow->addWidget(pushButton_devOpen);
        openRow->addWidget(pushButton_devClose);
        verticalLayout->addLayout(openRow);
        verticalLayout->addWidget(line = hline(w, "line"));

        label_5 = named(new QLabel(QObject::tr("侦测参数:"), w), "label_5");
        verticalLayout->addWidget(label_5);
        auto *freq = new QGridLayout;
        label_6 = named(new QLabel(QObject::tr("开始频率:"), w), "label_6");
        lineEdit_startFreq = named(new QLineEdit(QStringLiteral("5000"), w), "lineEdit_startFreq");
        label_7 = named(new QLabel(QStringLiteral("Hz"), w), "label_7");
        checkBox_chkFast = named(new QCheckBox(QObject::tr("快速检测"), w), "checkBox_chkFast");
        label_8 = named(new QLabel(QObject::tr("结束频率:"), w), "label_8");
        lineEdit_stopFreq = named(new QLineEdit(QStringLiteral("1000000"), w), "lineEdit_stopFreq");
        label_9 = named(new QLabel(QStringLiteral("Hz"), w), "label_9");
        pushButton_start = named(new QPushButton(QObject::tr("开始"), w), "pushButton_start");
        pushButton_stop = named(new QPushButton(QObject::tr("停止"), w), "pushButton_stop");
        freq->addWidget(label_6, 0, 0);
        freq->addWidget(lineEdit_startFreq, 0, 1);
        freq->addWidget(label_7, 0, 2);
        freq->addWidget(checkBox_chkFast, 0, 3);
        freq->addWidget(label_8, 1, 0);
        freq->addWidget(lineEdit_stopFreq, 1, 1);
        freq->addWidget(label_9, 1, 2);
        freq->setColumnStretch(4, 1);
        freq->addWidget(pushButton_start, 0, 5);
        freq->addWidget(pushButton_stop, 1, 5);
        verticalLayout->addLayout(freq);
        verticalLayout->addWidget(line_2 = hline(w, "line_2"));

        label_12 = named(new QLabel(QObject::tr("检测信息:"), w), "label_12");
        verticalLayout->addWidget(label_12);
        tableWidget = named(new QTableWidget(w), "tableWidget");
        verticalLayout->addWidget(tableWidget, 1);

        auto *exitRow = new QHBoxLayout;
        pushButton_cancel = named(new QPushButton(QObject::tr("退出"), w), "pushButton_cancel");
        exitRow->addStretch();
        exitRow->addWidget(pushButton_cancel);
        verticalLayout->addLayout(exitRow);
    }
};

namespace {

void logLine(const QString &text)
{
    qDebug() << ">" << text;
}

enum Column { ColRate = 0, ColResult = 1, ColTime0 = 2, ColTime1 = 3 };

} // namespace

QUserDlgBaudChk::QUserDlgBaudChk(QWidget *parent) : QWidget(parent), ui(new Ui_QUserDlgBaudChk)
{
    ui->setupUi(this);
    m_frame.reset(new Dialog(QStringLiteral(":/res/search.png"), QString(), tr("波特率侦测"), 31));

    ui->comboBox_devType->addItems({QStringLiteral("USBCAN1"), QStringLiteral("USBCAN2")});
    ui->comboBox_devType->setCurrentIndex(0);
    dlgparts::comboFitEntries(ui->comboBox_devType);
    for (int i = 0; i < 32; ++i)
        ui->comboBox_devIndex->addItem(QString::number(i));
    ui->comboBox_devIndex->setCurrentIndex(0);
    slotsComboxDevTypeChanged(ui->comboBox_devType->currentText());

    QTableWidget *t = ui->tableWidget;
    t->setColumnCount(4);
    t->setHorizontalHeaderLabels({tr("波特率(Hz)"), tr("检测结果"), QStringLiteral("TIME0"), QStringLiteral("TIME1")});
    const int widths[] = {120, 200, 100, 100};
    for (int i = 0; i < 4; ++i)
        t->setColumnWidth(i, widths[i]);
    t->horizontalHeader()->setStretchLastSection(true);
    t->horizontalHeader()->setVisible(true);
    t->verticalHeader()->setVisible(false);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setAlternatingRowColors(true);
    t->setSortingEnabled(false);
    t->verticalHeader()->setDefaultSectionSize(22); // more candidates in view

    connect(ui->pushButton_devOpen, &QPushButton::clicked, this, &QUserDlgBaudChk::slotsDeviceOpen);
    connect(ui->pushButton_devClose, &QPushButton::clicked, this, &QUserDlgBaudChk::slotsDeviceClose);
    connect(ui->pushButton_start, &QPushButton::clicked, this, &QUserDlgBaudChk::slotsBaudStart);
    connect(ui->pushButton_stop, &QPushButton::clicked, this, &QUserDlgBaudChk::slotsBaudStop);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &QUserDlgBaudChk::slotCancelExit);
    connect(ui->comboBox_devType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int i) { slotsComboxDevTypeChanged(ui->comboBox_devType->itemText(i)); });
    enablingApply();
}

QUserDlgBaudChk::~QUserDlgBaudChk()
{
    if (m_drv) {
        driverHalt();
        m_drv->disconnect(this);
        delete m_drv; // closes the adapter
        m_drv = nullptr;
    }
    delete m_prep;
    m_prep = nullptr;
    m_frame.release();
    delete ui;
}

int QUserDlgBaudChk::dialogExec()
{
    auto *layout = new QHBoxLayout;
    layout->addWidget(this);
    m_frame->setContentLayout(layout, width(), height());
    return m_frame->dlgExec();
}

bool QUserDlgBaudChk::isClassicType() const
{
    return m_typeName == QLatin1String("USBCAN1") || m_typeName == QLatin1String("USBCAN2");
}

void QUserDlgBaudChk::driverHalt()
{
    if (!m_drv)
        return;
    if (m_started || m_drv->isRunning()) {
        m_drv->baudChkStop();
        m_started = false;
    }
    // A stop that came after the candidate file was made leaves the thread
    // serving commands rather than ending: end it whatever it does.
    m_drv->threadStop();
}

void QUserDlgBaudChk::enablingApply()
{
    const bool idle = m_open && !m_detecting;
    const bool busy = m_open && m_detecting;
    ui->pushButton_devOpen->setEnabled(!m_open);
    ui->pushButton_devClose->setEnabled(idle);
    ui->comboBox_devType->setEnabled(!m_open);
    ui->comboBox_devIndex->setEnabled(!m_open);
    ui->pushButton_start->setEnabled(idle);
    ui->pushButton_stop->setEnabled(busy);
}

void QUserDlgBaudChk::slotsComboxDevTypeChanged(QString text)
{
    ui->comboBox_chIndex->clear();
    if (text == QLatin1String("USBCAN1"))
        ui->comboBox_chIndex->addItem(QStringLiteral("0"));
    else
        ui->comboBox_chIndex->addItems({QStringLiteral("0"), QStringLiteral("1")});
    ui->comboBox_chIndex->setCurrentIndex(0);
}

void QUserDlgBaudChk::slotsDeviceOpen()
{
    logLine(QStringLiteral("打开设备..."));
    m_devIndex = ui->comboBox_devIndex->currentText().toInt(nullptr, 10);
    m_typeName = ui->comboBox_devType->currentText();
    if (isClassicType()) {
        if (m_drv) {
            driverHalt();
            m_drv->disconnect();
            delete m_drv;
        }
        m_drv = new QKemDev(m_typeName, 4, m_devIndex);
        connect(m_drv, &QKemDev::baudChkResult, this, &QUserDlgBaudChk::slotsBaudChkResult);
        if (m_drv->devOpen() != 0) {
            m_open = false;
            QUserMessageBox::msgError(this, tr("错误"), tr("设备打开失败.."));
        } else {
            m_open = true;
        }
    }
    enablingApply();
}

void QUserDlgBaudChk::slotsDeviceClose()
{
    logLine(QStringLiteral("关闭设备..."));
    if (isClassicType() && m_drv) {
        driverHalt();
        m_drv->devClose();
    }
    m_open = false;
    // A detection that was stopped here has ended with its thread.
    m_detecting = false;
    enablingApply();
}

bool QUserDlgBaudChk::freqRead(bool start, int *value)
{
    QString text = (start ? ui->lineEdit_startFreq : ui->lineEdit_stopFreq)->text();
    text.remove(QRegExp(QStringLiteral("\\s")));
    if (text.isEmpty()) {
        QUserMessageBox::msgError(this, tr("错误"), start ? tr("开始频率不能为空..") : tr("结束频率不能为空.."));
        return false;
    }
    const int v = text.toInt(nullptr, 10);
    if (v < 5000 || v > 1000000) {
        QUserMessageBox::msgError(this, tr("错误"),
                                  start ? tr("开始频率必须属于5000-1000000Hz!") : tr("结束频率必须属于5000-1000000Hz!"));
        return false;
    }
    *value = v;
    return true;
}

void QUserDlgBaudChk::slotsBaudStart()
{
    logLine(QStringLiteral("波特率侦测开始..."));
    if (!m_open) {
        QUserMessageBox::msgError(this, tr("错误"), tr("请先打开设备.."));
        return;
    }
    m_channel = ui->comboBox_chIndex->currentText().toInt(nullptr, 10);
    int startFreq = 0, stopFreq = 0;
    if (!freqRead(true, &startFreq) || !freqRead(false, &stopFreq))
        return;
    const bool fast = ui->checkBox_chkFast->isChecked();
    ui->tableWidget->clearContents();
    ui->tableWidget->setRowCount(0);
    if (!isClassicType() || !m_drv)
        return;
    logLine(QStringLiteral("开始频率:%1Hz 结束频率:%2Hz...").arg(startFreq).arg(stopFreq));
    m_drv->baudChkStart(m_channel, startFreq, stopFreq, fast ? 1 : 0, 300);
    m_started = true;
    if (m_prep)
        return;
    m_prep = new QUserDlgProgress(nullptr);
    m_prep->setTitle(tr("准备中"));
    m_prep->setTip(tr("首次使用,准备中..."));
    connect(this, &QUserDlgBaudChk::initProgressSignal, m_prep, &QUserDlgProgress::slotProgressValueChange);
    QUserDlgProgress *prep = m_prep;
    const int r = prep->dlgExec();
    if (r == 1 || m_prep != prep)
        return;
    // Closed by the user before the candidate file was ready: the detection
    // stops, and its thread is not left behind.
    driverHalt();
    enablingApply();
    m_prep = nullptr;
    delete prep;
}

void QUserDlgBaudChk::slotsBaudStop()
{
    logLine(QStringLiteral("波特率侦测停止..."));
    if (isClassicType() && m_drv) {
        m_drv->baudChkStop();
        m_started = false;
    }
}

void QUserDlgBaudChk::rowWrite(const QUserBaudChkMsg &msg)
{
    QTableWidget *t = ui->tableWidget;
    const QString t0 = QString::asprintf("%02X", msg.timing0);
    const QString t1 = QString::asprintf("%02X", msg.timing1);
    int row = -1;
    for (int r = 0; r < t->rowCount() && row < 0; ++r) {
        const QTableWidgetItem *a = t->item(r, ColTime0);
        const QTableWidgetItem *b = t->item(r, ColTime1);
        if (a && b && a->text().contains(t0) && b->text().contains(t1))
            row = r;
    }
    if (row < 0) {
        row = t->rowCount();
        t->insertRow(row);
    }
    auto cell = [t, row](int col, const QString &text) {
        QTableWidgetItem *it = t->item(row, col);
        if (!it) {
            it = new QTableWidgetItem;
            t->setItem(row, col, it);
        }
        it->setText(text);
        return it;
    };
    cell(ColRate, QString::number(msg.rate));
    QTableWidgetItem *result = nullptr;
    if (msg.code == QUserBaudChkMsg::TryBegin) {
        result = cell(ColResult, tr("开始侦测..."));
        result->setForeground(QColor(0, 0, 0));
    } else if (!msg.failed) {
        result = cell(ColResult, tr("侦测成功..."));
        result->setForeground(QColor(0, 255, 0));
    } else {
        result = cell(ColResult, tr("侦测失败..."));
        result->setForeground(QColor(255, 0, 0));
    }
    cell(ColTime0, t0);
    cell(ColTime1, t1);
    t->setCurrentCell(row, ColTime0);
}

void QUserDlgBaudChk::slotsBaudChkResult(QString, QUserBaudChkMsg msg)
{
    switch (msg.code) {
    case QUserBaudChkMsg::Begin:
        m_detecting = true;
        enablingApply();
        break;
    case QUserBaudChkMsg::TryBegin:
    case QUserBaudChkMsg::TryEnd:
        rowWrite(msg);
        break;
    case QUserBaudChkMsg::End:
        m_detecting = false;
        if (m_prep)
            emit initProgressSignal(QUserDlgProgress::CodeFinished, msg.progress);
        QUserMessageBox::msgWarning(this, tr("提示"), tr("扫描结束.."));
        enablingApply();
        break;
    case 204:
    case QUserBaudChkMsg::Progress:
        if (m_prep)
            emit initProgressSignal(QUserDlgProgress::CodeValue, msg.progress);
        break;
    case QUserBaudChkMsg::TableReady:
        if (m_prep)
            emit initProgressSignal(QUserDlgProgress::CodeFinished, msg.progress);
        break;
    default:
        break;
    }
}

void QUserDlgBaudChk::slotCancelExit()
{
    if (m_frame)
        m_frame->dlgDone(0);
    slotsDeviceClose();
}

void QUserDlgBaudChk::slotOkExit()
{
    if (m_frame)
        m_frame->dlgDone(1);
    slotsDeviceClose();
}
