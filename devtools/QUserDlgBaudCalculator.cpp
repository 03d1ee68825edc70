#include "devtools/QUserDlgBaudCalculator.h"

#include "devtools/QUserBtrBaudSearch.h"
#include "devtools/QUserDlgParts.h"
#include "widgets/QUserMessageBox.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

class Ui_QUserDlgBaudCalculator
{
public:
    QTabWidget *tabInfo;
    QLineEdit *lineEdit_clock, *lineEdit_baud;
    QComboBox *comboBox_err, *comboBox_sample;
    QLabel *label_7;
    QPushButton *pushButton_cal, *pushButton_exit;

    template <class T> static T *named(T *w, const char *name)
    {
        w->setObjectName(name);
        return w;
    }

    void setupUi(QWidget *w)
    {
        w->setObjectName("QUserDlgBaudCalculator");
        w->resize(560, 420);
        w->setWindowTitle("Form");
        auto *v = new QVBoxLayout(w);
        tabInfo = named(new QTabWidget(w), "tabInfo");
        tabInfo->addTab(new QWidget, "Tab 1");
        tabInfo->addTab(new QWidget, "Tab 2");
        tabInfo->setCurrentIndex(1);
        v->addWidget(tabInfo, 1);

        auto *r1 = new QHBoxLayout;
        lineEdit_clock = named(new QLineEdit("16000", w), "lineEdit_clock");
        lineEdit_baud = named(new QLineEdit("250", w), "lineEdit_baud");
        // The fixed clock and a four-digit rate show whole however the row
        // is squeezed.
        lineEdit_clock->setMinimumWidth(lineEdit_clock->fontMetrics().horizontalAdvance(lineEdit_clock->text()) + 16);
        lineEdit_baud->setMinimumWidth(lineEdit_baud->fontMetrics().horizontalAdvance(QStringLiteral("1000")) + 16);
        comboBox_err = named(new QComboBox(w), "comboBox_err");
        comboBox_sample = named(new QComboBox(w), "comboBox_sample");
        r1->addWidget(new QLabel(QObject::tr("时钟:"), w));
        r1->addWidget(lineEdit_clock);
        r1->addWidget(new QLabel(QObject::tr("KHz"), w));
        r1->addWidget(new QLabel(QObject::tr("波特率:"), w));
        r1->addWidget(lineEdit_baud);
        r1->addWidget(new QLabel(QObject::tr("Kbps"), w));
        r1->addWidget(new QLabel(QObject::tr("误差:"), w));
        r1->addWidget(comboBox_err);
        r1->addWidget(new QLabel(QObject::tr("采样点:"), w));
        r1->addWidget(comboBox_sample);
        v->addLayout(r1);

        auto *r2 = new QHBoxLayout;
        label_7 = named(new QLabel(QObject::tr("控制器时钟固定为16MHz,每行为一组可用的定时器参数"), w), "label_7");
        pushButton_cal = named(new QPushButton(QObject::tr("计算"), w), "pushButton_cal");
        pushButton_exit = named(new QPushButton(QObject::tr("退出"), w), "pushButton_exit");
        r2->addWidget(label_7);
        r2->addStretch();
        r2->addWidget(pushButton_cal);
        r2->addWidget(pushButton_exit);
        v->addLayout(r2);
    }
};

static QTableWidget *resultTable(const QStringList &headers, const QList<int> &widths, const char *name)
{
    auto *t = new QTableWidget;
    t->setObjectName(name);
    dlgparts::resultTableSetup(t, headers, widths);
    return t;
}

QUserDlgBaudCalculator::QUserDlgBaudCalculator(QWidget *parent)
    : QWidget(parent), ui(new Ui_QUserDlgBaudCalculator)
{
    ui->setupUi(this);
    m_frame.make(":/res/cal.png", tr("波特率计算器"),
                 Dialog::FlagTip | Dialog::FlagTitle | Dialog::FlagMin | Dialog::FlagMax | Dialog::FlagClose);
    uiInit();
}

QUserDlgBaudCalculator::~QUserDlgBaudCalculator()
{
    m_frame.release();
    delete ui;
}

void QUserDlgBaudCalculator::uiInit()
{
    while (ui->tabInfo->count() > 0) {
        QWidget *page = ui->tabInfo->widget(0);
        ui->tabInfo->removeTab(0);
        delete page;
    }
    tableUsbcan = resultTable({tr("序号"), tr("定时器0"), tr("定时器1"), tr("采样点"), tr("实际波特率"), tr("误差")},
                              {50, 60, 60, 86, 100, 50}, "tableUsbcan");
    tablePeak = resultTable({tr("序号"), tr("总线时序寄存器"), tr("采样点"), tr("实际波特率"), tr("误差")},
                            {50, 120, 70, 100, 50}, "tablePeak");
    ui->tabInfo->addTab(tableUsbcan, "RAVIRO1/2");
    ui->tabInfo->addTab(tablePeak, "PEAK");
    dlgparts::headersFit(tableUsbcan);
    dlgparts::headersFit(tablePeak);
    ui->tabInfo->setCurrentIndex(0);

    for (int i = 1; i <= 10; ++i)
        ui->comboBox_err->addItem(QString("<=%1%").arg(i));
    for (int i = 50; i <= 90; i += 10)
        ui->comboBox_sample->addItem(QString(">=%1%").arg(i));
    ui->comboBox_err->setCurrentIndex(0);
    ui->comboBox_sample->setCurrentIndex(0);
    ui->lineEdit_clock->setEnabled(false);

    connect(ui->tabInfo, &QTabWidget::currentChanged, this, &QUserDlgBaudCalculator::slotTabSelSwitch);
    connect(ui->pushButton_exit, &QPushButton::clicked, this, &QUserDlgBaudCalculator::slotCancelExit);
    connect(ui->pushButton_cal, &QPushButton::clicked, this, &QUserDlgBaudCalculator::slotCalculate);
}

int QUserDlgBaudCalculator::dialogExec()
{
    return m_frame.exec();
}

void QUserDlgBaudCalculator::slotOkExit()
{
    m_frame.done(1);
}

void QUserDlgBaudCalculator::slotCancelExit()
{
    m_frame.done(0);
}

static int32_t kiloText(const QString &text)
{
    QString s = text;
    s.remove(QRegularExpression("\\s"));
    return s.toInt() * 1000;
}

void QUserDlgBaudCalculator::slotCalculate()
{
    target = kiloText(ui->lineEdit_baud->text());
    clock = kiloText(ui->lineEdit_clock->text());
    maxErr = ui->comboBox_err->currentIndex() + 1;
    minSample = 50 + 10 * ui->comboBox_sample->currentIndex();
    int hits = 0;
    switch (ui->tabInfo->currentIndex()) {
    case 0: hits = calcUsbcanBtr(clock, target, maxErr, minSample); break;
    case 1: hits = calcPeakBtr(clock, target, maxErr, minSample); break;
    default: break;
    }
    if (hits > 0)
        QUserMessageBox::msgCheck(this, tr("提示"), tr("计算完毕!"));
}

void QUserDlgBaudCalculator::slotTabSelSwitch(int index)
{
    if (index == 0 || index == 1)
        ui->lineEdit_clock->setText("16000");
}

int32_t QUserDlgBaudCalculator::calcUsbcanBtr(int32_t clk, int32_t tgt, int32_t err, int32_t sp)
{
    return search(false, clk, tgt, err, sp);
}

int32_t QUserDlgBaudCalculator::calcPeakBtr(int32_t clk, int32_t tgt, int32_t err, int32_t sp)
{
    return search(true, clk, tgt, err, sp);
}

int32_t QUserDlgBaudCalculator::search(bool peak, int32_t clk, int32_t tgt, int32_t err, int32_t sp)
{
    QVector<BtrBaudParam> hits;
    calcBtrBaudParam(clk, tgt, err, sp, hits);
    QTableWidget *t = peak ? tablePeak : tableUsbcan;
    t->clearContents();
    t->setRowCount(0);
    if (hits.isEmpty()) {
        QUserMessageBox::msgWarning(this, tr("警告"), tr("计算结果空,请检查参数!"));
        return 0;
    }
    for (int i = 0; i < hits.size(); ++i) {
        const BtrBaudParam &p = hits[i];
        QStringList cells{QString::number(i)};
        if (peak)
            cells << QString::asprintf("0x%02X%02X", p.btr0, p.btr1);
        else
            cells << QString::asprintf("0x%02X", p.btr0) << QString::asprintf("0x%02X", p.btr1);
        cells << QString::asprintf("%.1f%%", double(p.samplePoint))
              << QString::asprintf("%.3fKHz", double(p.baud) / 1000.0)
              << QString::asprintf("%.2f%%", double(p.err));
        t->insertRow(i);
        for (int c = 0; c < cells.size(); ++c)
            t->setItem(i, c, new QTableWidgetItem(cells[c]));
    }
    return hits.size();
}
