// The basic send panel: one frame and its repetition for the channel of the
// current data tab. The panel keeps nothing of its own: it shows the
// channel's basic sender's task at every refresh and writes it back at
// start.

#include "mainwindow/MainWindow.h"

#include "core/QUserBaudFunc.h"
#include "devices/QUserDeviceAdapter.h"
#include "devices/QUserDeviceSendMachine.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "traffic/QUserBasicSend.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QFrame>
#include <QRegularExpression>
#include <QScrollArea>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

constexpr int kPerSendMax = 32;

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

// A label and its editor side by side, 1 : 1.
QHBoxLayout *labelled(QWidget *parent, const QString &text, QWidget *editor)
{
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(text, parent), 1);
    row->addWidget(editor, 1);
    return row;
}

// The data edit's text fitted to the selected length, blank-separated.
QString fittedData(const QTextEdit *data, const QComboBox *len)
{
    QString text = noBlanks(data->toPlainText());
    fitDataText(true, len->currentText().toInt(), text);
    return text;
}

// Selects the length text in the list; a length the list lacks selects the
// nearest valid one below it, or the last when it is beyond the list.
void lenSelect(QComboBox *combo, const QString &lenText)
{
    const int at = combo->findText(lenText.trimmed());
    if (at >= 0) {
        combo->setCurrentIndex(at);
        return;
    }
    const int len = lenText.trimmed().toInt();
    const int last = combo->itemText(combo->count() - 1).toInt();
    if (len > last)
        combo->setCurrentIndex(combo->count() - 1);
    else
        combo->setCurrentIndex(qMax(0, combo->findText(QString::number(getValidLen(combo->count() > 9, len)))));
}

} // namespace

bool MainWindow::uiTabBasicSendInit()
{
    if (!layout || !layout->tabSend)
        return false;
    QUserMainWindowLayout::BasicSend &b = layout->basic;
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("tabBasicSend"));
    auto *columns = new QHBoxLayout(page);

    // Three rows of two fields each: with the pacing column beside it the
    // whole panel stands in four rows, so a window of half a common screen
    // shows it whole over the data tabs.
    auto *col1 = new QGridLayout;
    b.sendType = new QComboBox(page);
    b.sendType->setObjectName(QStringLiteral("basicSendType"));
    b.sendType->addItems({tr("正常发送"), tr("单次发送"), tr("自发自收")});
    b.protocol = new QComboBox(page);
    b.protocol->setObjectName(QStringLiteral("basicProtocol"));
    b.protocol->addItems({tr("CAN"), tr("CANFD"), tr("CANFD加速")});
    b.frameType = new QComboBox(page);
    b.frameType->setObjectName(QStringLiteral("basicFrameType"));
    b.frameType->addItems({tr("标准帧"), tr("扩展帧")});
    b.frameFormat = new QComboBox(page);
    b.frameFormat->setObjectName(QStringLiteral("basicFrameFormat"));
    b.frameFormat->addItems({tr("数据帧"), tr("远程帧")});
    b.id = new QLineEdit(QStringLiteral("00000000"), page);
    b.id->setObjectName(QStringLiteral("basicId"));
    b.id->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[A-Fa-f0-9]{8}")), b.id));
    b.len = new QComboBox(page);
    b.len->setObjectName(QStringLiteral("basicLen"));
    QStringList lens;
    getLenList(false, lens);
    b.len->addItems(lens);
    b.len->setCurrentText(QStringLiteral("8"));
    const struct {
        QString label;
        QWidget *editor;
    } fields[] = {
        {tr("发送方式:"), b.sendType}, {tr("帧协议:"), b.protocol},   {tr("帧类型:"), b.frameType},
        {tr("帧格式:"), b.frameFormat}, {tr("帧ID(16进制):"), b.id}, {tr("数据长度:"), b.len},
    };
    for (int i = 0; i < 6; ++i) {
        const int r = i % 3;
        const int c = (i / 3) * 2;
        col1->addWidget(new QLabel(fields[i].label, page), r, c);
        col1->addWidget(fields[i].editor, r, c + 1);
    }
    col1->setColumnStretch(1, 1);
    col1->setColumnStretch(3, 1);
    col1->setRowStretch(3, 1);

    auto *col2 = new QVBoxLayout;
    b.data = new QTextEdit(page);
    b.data->setObjectName(QStringLiteral("basicData"));
    b.data->setAcceptRichText(false);
    b.data->setMinimumHeight(0);
    // It takes the height the rows beside it give (its own wish of about
    // ten lines would make the panel twice as tall as its rows).
    b.data->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    b.data->setPlainText(QStringLiteral("00 11 22 33 44 55 66 77"));
    col2->addWidget(new QLabel(tr("数据(16进制):"), page));
    col2->addWidget(b.data, 1);
    col2->addStretch();

    auto *col3 = new QVBoxLayout;
    const QRegularExpression digits(QStringLiteral("[0-9]{8}"));
    b.idInc = new QCheckBox(tr("ID递增"), page);
    b.idInc->setObjectName(QStringLiteral("basicIdInc"));
    b.perSendCnt = new QLineEdit(QStringLiteral("1"), page);
    b.perSendCnt->setObjectName(QStringLiteral("basicPerSendCnt"));
    b.perSendCnt->setValidator(new QRegularExpressionValidator(digits, b.perSendCnt));
    b.sendCnt = new QLineEdit(QStringLiteral("1"), page);
    b.sendCnt->setObjectName(QStringLiteral("basicSendCnt"));
    b.sendCnt->setValidator(new QRegularExpressionValidator(digits, b.sendCnt));
    b.sendCnt->setMaxLength(9);
    b.period = new QLineEdit(QStringLiteral("10"), page);
    b.period->setObjectName(QStringLiteral("basicPeriod"));
    b.period->setValidator(new QRegularExpressionValidator(digits, b.period));
    b.start = new QPushButton(tr("开始"), page);
    b.start->setObjectName(QStringLiteral("basicStart"));
    b.stop = new QPushButton(tr("停止"), page);
    b.stop->setObjectName(QStringLiteral("basicStop"));
    col3->addLayout(labelled(page, tr("每次发送帧数:"), b.perSendCnt));
    col3->addLayout(labelled(page, tr("发送次数:"), b.sendCnt));
    col3->addLayout(labelled(page, tr("发送间隔(毫秒):"), b.period));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(b.idInc);
    buttons->addWidget(b.start, 1);
    buttons->addWidget(b.stop, 1);
    col3->addLayout(buttons);
    col3->addStretch();

    columns->addLayout(col1, 4);
    columns->addLayout(col2, 3);
    columns->addLayout(col3, 3);
    // The splitter gives the send panels a small share: the page scrolls
    // rather than pushing the data tabs aside.
    auto *scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(page);
    layout->tabSend->addTab(scroll, tr("基础发送"));

    connect(b.start, &QPushButton::clicked, this, &MainWindow::soltTabBasicSendStart);
    connect(b.stop, &QPushButton::clicked, this, &MainWindow::soltTabBasicSendStop);
    connect(b.protocol, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::soltTabBasicProcotolChange);
    connect(b.len, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::soltTabBasicDataLenChange);
    uiTabBasicSendUpdate();
    return true;
}

void MainWindow::uiTabBasicSendUpdate()
{
    if (!layout || !layout->basic.start)
        return;
    QUserMainWindowLayout::BasicSend &b = layout->basic;
    b.refreshes += 1;
    const QString devId = curTabDevGet();
    if (devId.isEmpty()) {
        if (ui && ui->actRecord)
            ui->actRecord->setChecked(false);
        b.start->setEnabled(false);
        b.stop->setEnabled(false);
        return;
    }
    QUserSendTask task;
    if (!devAdapter || !devAdapter->basicSendParaGet(devId, task))
        return;
    // The panel's own rewrites must not come back as user changes.
    const QSignalBlocker protocolQuiet(b.protocol);
    const QSignalBlocker lenQuiet(b.len);
    const QUserCanMsg &m = task.msg;

    if (m.sendType <= 2)
        b.sendType->setCurrentIndex(m.sendType);
    const bool fd = task.fdEnable != 0;
    b.protocol->setEnabled(fd);
    b.protocol->setCurrentIndex(fd && m.protocol <= 2 ? m.protocol : 0);
    const int protocol = b.protocol->currentIndex();
    b.frameFormat->setEnabled(protocol == 0);
    b.frameFormat->setCurrentIndex(protocol == 0 && m.remote ? 1 : 0);
    b.frameType->setCurrentIndex(m.extended ? 1 : 0);
    b.id->setText(m.idText);

    QStringList lens;
    getLenList(fd && protocol != 0, lens);
    b.len->clear();
    b.len->addItems(lens);
    lenSelect(b.len, m.lenText);
    b.data->setPlainText(noBlanks(m.dataText));
    b.data->setPlainText(fittedData(b.data, b.len));
    b.idInc->setChecked(task.idIncEnable != 0);

    if (ui && ui->actFliter)
        ui->actFliter->setChecked(devAdapter->fliterEnableGet(devId));
    if (ui && ui->actRecord)
        ui->actRecord->setChecked(devAdapter->recordIsStart(devId));

    b.perSendCnt->setText(QString::number(task.perSendCnt));
    b.sendCnt->setText(QString::number(task.reqSendCnt));
    b.period->setText(QString::number(qlonglong(task.period)));
    b.start->setEnabled(!task.running);
    b.stop->setEnabled(task.running != 0);
}

bool MainWindow::tabBasicSendParaCheck(QUserSendTask *task)
{
    if (!task || !layout || !layout->basic.start)
        return false;
    QUserMainWindowLayout::BasicSend &b = layout->basic;
    QUserCanMsg &m = task->msg;
    m.sendType = uint8_t(b.sendType->currentIndex());
    m.protocol = uint8_t(qMax(0, b.protocol->currentIndex()));
    m.extended = b.frameType->currentIndex() == 1 ? 1 : 0;
    m.remote = b.frameFormat->currentIndex() == 1 ? 1 : 0;

    bool ok = false;
    const qulonglong id = noBlanks(b.id->text()).toULongLong(&ok, 16);
    const qulonglong value = ok ? id : 0;
    if (m.extended && value > 0x1FFFFFFFull) {
        QUserMessageBox::msgError(this, tr("错误"), tr("扩展帧ID错误,有效范围:0-1FFFFFFF"));
        return false;
    }
    if (!m.extended && value > 0x7FFull) {
        QUserMessageBox::msgError(this, tr("错误"), tr("标准帧ID错误,有效范围:0-7FF"));
        return false;
    }
    m.idText = idToText(uint32_t(value));
    b.id->setText(m.idText);

    m.lenText = b.len->currentText();
    const QString fitted = fittedData(b.data, b.len);
    b.data->setPlainText(fitted);
    m.dataText = noBlanks(fitted);
    m.fdFlags = task->fdEnable && m.protocol == 2 ? 1 : 0;
    task->idIncEnable = b.idInc->isChecked() ? 1 : 0;

    const QString per = b.perSendCnt->text().trimmed();
    const int perCnt = per.toInt(&ok);
    if (per.isEmpty() || !ok || perCnt < 1 || perCnt > kPerSendMax) {
        QUserMessageBox::msgError(this, tr("错误"),
                                  tr("[每次发送帧数]:有效范围:") + QStringLiteral("1-%1").arg(kPerSendMax));
        return false;
    }
    task->perSendCnt = uint32_t(perCnt);
    task->reqSendCnt = b.sendCnt->text().trimmed().toUInt();
    task->period = int64_t(uint32_t(b.period->text().trimmed().toULongLong()));
    return true;
}

void MainWindow::soltTabBasicSendStart()
{
    const QString devId = curTabDevGet();
    if (devId.isEmpty() || !devAdapter) {
        logMw(QStringLiteral("Send Start Fail, devId Get fail..."));
        return;
    }
    QUserSendTask task;
    devAdapter->basicSendParaGet(devId, task);
    if (!tabBasicSendParaCheck(&task)) {
        logMw(QStringLiteral("Send Start Fail, Send Info Get fail..."));
        return;
    }
    devAdapter->basicSendParaSet(devId, task);
    devAdapter->basicSendStart(devId, task);
}

void MainWindow::soltTabBasicSendStop()
{
    const QString devId = curTabDevGet();
    if (devId.isEmpty() || !devAdapter) {
        logMw(QStringLiteral("Send Stop Fail, devId Get fail..."));
        return;
    }
    devAdapter->basicSendStop(devId);
}

void MainWindow::soltTabBasicProcotolChange(int)
{
    if (!layout || !layout->basic.protocol)
        return;
    QComboBox *combo = layout->basic.protocol;
    disconnect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
               &MainWindow::soltTabBasicProcotolChange);
    tabBasicProcotolApply();
    connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::soltTabBasicProcotolChange);
}

void MainWindow::tabBasicProcotolApply()
{
    const QString devId = curTabDevGet();
    if (devId.isEmpty() || !devAdapter || !layout)
        return;
    QUserDeviceSendMachine *machine = devAdapter->sendMachine(devId);
    if (!machine || !machine->basicSender())
        return;
    // The sender may be running: the write goes through its task lock.
    machine->basicSender()->protocolSet(uint8_t(qBound(0, layout->basic.protocol->currentIndex(), 2)));
    uiTabBasicSendUpdate();
}

void MainWindow::soltTabBasicDataLenChange(int)
{
    if (!layout || !layout->basic.len)
        return;
    // The data follows a new length at once (padded with 00 or cut).
    layout->basic.data->setPlainText(fittedData(layout->basic.data, layout->basic.len));
}
