#include "devtools/QUserDlgFdBaudCalculator.h"

#include "core/QUserAdapterModels.h"
#include "devtools/QUserDlgParts.h"
#include "devtools/QUserFdBaudSearch.h"
#include "widgets/QUserMessageBox.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

class Ui_QUserDlgFdBaudCalculator
{
public:
    QLabel *label;
    QComboBox *comboBox_devType;
    QPushButton *pushButton_cal;
    QPushButton *pushButton_help;
    QLabel *label_4;
    QLineEdit *lineEdit_result;
    QPushButton *pushButton_cpy;
    QLabel *label_2, *label_3;
    QComboBox *comboBox_mainClk;
    QGroupBox *gbox_aBaud;
    QLineEdit *lineEdit_aBaud;
    QComboBox *comboBox_aError, *comboBox_aSample, *comboBox_aSjw;
    QTableWidget *tableWidget_a;
    QGroupBox *gBox_dBaud;
    QLineEdit *lineEdit_dBaud;
    QComboBox *comboBox_dError, *comboBox_dSample, *comboBox_dSjw;
    QTableWidget *tableWidget_d;
    QLabel *label_17;
    QPushButton *pushButton_ok;
    QPushButton *pushButton_cancel;

    template <class T> static T *named(T *w, const char *name)
    {
        w->setObjectName(name);
        return w;
    }

    QGroupBox *phaseBox(QWidget *parent, const QString &title, const char *boxName, const char *prefix,
                        QLineEdit **rate, QComboBox **err, QComboBox **sample, QComboBox **sjw,
                        QTableWidget **table)
    {
        auto *box = named(new QGroupBox(title, parent), boxName);
        auto *v = new QVBoxLayout(box);
        auto *row = new QHBoxLayout;
        const QString p = prefix;
        *rate = named(new QLineEdit(box), qPrintable("lineEdit_" + p + "Baud"));
        *err = named(new QComboBox(box), qPrintable("comboBox_" + p + "Error"));
        *sample = named(new QComboBox(box), qPrintable("comboBox_" + p + "Sample"));
        *sjw = named(new QComboBox(box), qPrintable("comboBox_" + p + "Sjw"));
        row->addWidget(new QLabel(QObject::tr("波特率:"), box));
        row->addWidget(*rate);
        row->addWidget(new QLabel(QObject::tr("kbps"), box));
        row->addWidget(new QLabel(QObject::tr("允许误差:"), box));
        row->addWidget(*err);
        row->addWidget(new QLabel(QObject::tr("采样点:"), box));
        row->addWidget(*sample);
        row->addWidget(new QLabel(QObject::tr("同步跳转宽度:"), box));
        row->addWidget(*sjw);
        row->addWidget(new QLabel(QObject::tr("+1"), box));
        row->addStretch();
        v->addLayout(row);
        *table = named(new QTableWidget(box), qPrintable("tableWidget_" + p));
        v->addWidget(*table);
        return box;
    }

    void setupUi(QWidget *w)
    {
        w->setObjectName("QUserDlgFdBaudCalculator");
        w->resize(860, 640);
        w->setWindowTitle("Form");
        auto *v = new QVBoxLayout(w);

        auto *top = new QHBoxLayout;
        label = new QLabel(QObject::tr("设备类型:"), w);
        comboBox_devType = named(new QComboBox(w), "comboBox_devType");
        comboBox_devType->addItems({"VARIRORO-DADI", "VURIVUVU1", "USBCANFD2"});
        label_2 = new QLabel(QObject::tr("设备时钟:"), w);
        comboBox_mainClk = named(new QComboBox(w), "comboBox_mainClk");
        comboBox_mainClk->addItem("60");
        label_3 = new QLabel(QObject::tr("MHz"), w);
        pushButton_cal = named(new QPushButton(QObject::tr("计算"), w), "pushButton_cal");
        pushButton_help = named(new QPushButton(QObject::tr("查看计算要点"), w), "pushButton_help");
        top->addWidget(label);
        top->addWidget(comboBox_devType);
        top->addWidget(label_2);
        top->addWidget(comboBox_mainClk);
        top->addWidget(label_3);
        top->addStretch();
        top->addWidget(pushButton_cal);
        top->addWidget(pushButton_help);
        v->addLayout(top);

        auto *res = new QHBoxLayout;
        label_4 = new QLabel(QObject::tr("输出结果:"), w);
        lineEdit_result = named(new QLineEdit(w), "lineEdit_result");
        pushButton_cpy = named(new QPushButton(QObject::tr("复制"), w), "pushButton_cpy");
        res->addWidget(label_4);
        res->addWidget(lineEdit_result, 1);
        res->addWidget(pushButton_cpy);
        v->addLayout(res);

        gbox_aBaud = phaseBox(w, QObject::tr("仲裁域/CAN2.0"), "gbox_aBaud", "a", &lineEdit_aBaud,
                              &comboBox_aError, &comboBox_aSample, &comboBox_aSjw, &tableWidget_a);
        gBox_dBaud = phaseBox(w, QObject::tr("数据域"), "gBox_dBaud", "d", &lineEdit_dBaud,
                              &comboBox_dError, &comboBox_dSample, &comboBox_dSjw, &tableWidget_d);
        v->addWidget(gbox_aBaud, 1);
        v->addWidget(gBox_dBaud, 1);

        auto *bottom = new QHBoxLayout;
        label_17 = new QLabel(
            QObject::tr("步骤:填写期望波特率->点击[计算]->表格(仲裁域和数据域)里选择结果->点击[保存并退出]"), w);
        pushButton_ok = named(new QPushButton(QObject::tr("保存并退出"), w), "pushButton_ok");
        pushButton_cancel = named(new QPushButton(QObject::tr("取消"), w), "pushButton_cancel");
        bottom->addWidget(label_17);
        bottom->addStretch();
        bottom->addWidget(pushButton_ok);
        bottom->addWidget(pushButton_cancel);
        v->addLayout(bottom);
    }
};

QUserDlgFdBaudCalculator::QUserDlgFdBaudCalculator(QWidget *parent)
    : QWidget(parent), ui(new Ui_QUserDlgFdBaudCalculator)
{
    ui->setupUi(this);
    // Every CAN FD and recording model with its clock; a model outside the
    // table keeps the clock the list shows (devTypeRefresh).
    for (const QUserAdapterModel &m : QUserAdapterModels::kModels) {
        if (m.family == QUserAdapterFamily::CanFd || m.family == QUserAdapterFamily::Recorder)
            clockMap.insert(QString::fromLatin1(m.name), QString::number(m.clockMHz));
    }
    uiInit();
    devTypeRefresh();
    m_frame.make(":/res/cal.png", tr("FD波特率计算器"));
}

QUserDlgFdBaudCalculator::~QUserDlgFdBaudCalculator()
{
    m_frame.release();
    delete ui;
}

void QUserDlgFdBaudCalculator::uiInit()
{
    ui->lineEdit_result->setReadOnly(true);
    ui->comboBox_devType->clear();
    ui->comboBox_devType->addItems({"VARIRORODadi", "VURIVUVU1", "USBCANFD2", "TRND701", "TRNA701", "TRNB701"});
    ui->comboBox_devType->setCurrentIndex(0);
    ui->comboBox_devType->setMinimumWidth(120);
    ui->comboBox_mainClk->setMinimumWidth(50);
    ui->lineEdit_aBaud->setText("1000");
    ui->lineEdit_dBaud->setText("5000");
    tableInit(ui->tableWidget_a);
    tableInit(ui->tableWidget_d);

    QStringList errs, samples, aSjw, dSjw;
    for (int i = 1; i <= 10; ++i)
        errs << QString("<=%1%").arg(i);
    for (int i = 50; i <= 90; i += 10)
        samples << QString(">=%1%").arg(i);
    for (int i = 0; i < 128; ++i)
        aSjw << QString::number(i);
    for (int i = 0; i < 16; ++i)
        dSjw << QString::number(i);
    for (QComboBox *c : {ui->comboBox_aError, ui->comboBox_dError}) {
        c->addItems(errs);
        c->setCurrentIndex(0);
    }
    for (QComboBox *c : {ui->comboBox_aSample, ui->comboBox_dSample}) {
        c->addItems(samples);
        c->setCurrentIndex(2);
    }
    ui->comboBox_aSjw->addItems(aSjw);
    ui->comboBox_dSjw->addItems(dSjw);

    connect(ui->comboBox_devType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &QUserDlgFdBaudCalculator::slotsComboxDevTypeChanged);
    connect(ui->pushButton_ok, &QPushButton::clicked, this, &QUserDlgFdBaudCalculator::slotOkExit);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &QUserDlgFdBaudCalculator::slotCancelExit);
    connect(ui->pushButton_cal, &QPushButton::clicked, this, &QUserDlgFdBaudCalculator::slotBaudCal);
    connect(ui->pushButton_help, &QPushButton::clicked, this, &QUserDlgFdBaudCalculator::slotHelp);
    connect(ui->pushButton_cpy, &QPushButton::clicked, this, &QUserDlgFdBaudCalculator::slotResultCopy2Clipboard);
    connect(ui->tableWidget_a, &QTableWidget::itemClicked, this,
            &QUserDlgFdBaudCalculator::slotATableWidgetClickHandle);
    connect(ui->tableWidget_d, &QTableWidget::itemClicked, this,
            &QUserDlgFdBaudCalculator::slotDTableWidgetClickHandle);
    for (QLineEdit *e : {ui->lineEdit_aBaud, ui->lineEdit_dBaud})
        connect(e, &QLineEdit::textChanged, this, &QUserDlgFdBaudCalculator::slotCalParaChanged);
    for (QComboBox *c : {ui->comboBox_aSjw, ui->comboBox_aError, ui->comboBox_aSample, ui->comboBox_dSjw,
                         ui->comboBox_dError, ui->comboBox_dSample})
        connect(c, &QComboBox::currentTextChanged, this, &QUserDlgFdBaudCalculator::slotCalParaChanged);
}

void QUserDlgFdBaudCalculator::tableInit(QTableWidget *t)
{
    dlgparts::resultTableSetup(
        t, {tr("序号"), tr("配置字"), "BRP", "TSEG1", "TSEG2", tr("采样点"), tr("实际波特率"), tr("误差")},
        {50, 100, 60, 60, 60, 100, 100, 50});
}

void QUserDlgFdBaudCalculator::tableRowAdd(QTableWidget *t, const FdBaudParam &p)
{
    const int row = t->rowCount();
    t->insertRow(row);
    const QString cells[] = {
        QString::number(row),
        QString::asprintf("%08X", unsigned(p.word)),
        QString::asprintf("%d", p.brp),
        QString::asprintf("%d", p.tseg1),
        QString::asprintf("%d", p.tseg2),
        QString::asprintf("%.1f%%", double(p.samplePoint)),
        QString::asprintf("%.3fKbps", double(p.baud) / 1000.0),
        QString::asprintf("%.2f%%", double(p.err)),
    };
    for (int c = 0; c < 8; ++c)
        t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

bool QUserDlgFdBaudCalculator::devTypeSet(const QString &model)
{
    ui->comboBox_devType->blockSignals(true);
    ui->comboBox_devType->clear();
    ui->comboBox_devType->addItem(model);
    ui->comboBox_devType->setCurrentIndex(0);
    ui->comboBox_devType->blockSignals(false);
    dataPhaseEnabled = model != QLatin1String("TRNA701");
    devTypeRefresh();
    return true;
}

int QUserDlgFdBaudCalculator::dialogExec()
{
    return m_frame.exec();
}

bool QUserDlgFdBaudCalculator::resultGet(int &clock, uint32_t &arbWord, uint32_t &dataWord) const
{
    clock = clockText.toInt();
    arbWord = arbWordText.toUInt(nullptr, 16);
    dataWord = dataWordText.toUInt(nullptr, 16);
    return true;
}

void QUserDlgFdBaudCalculator::slotOkExit()
{
    m_frame.done(1);
}

void QUserDlgFdBaudCalculator::slotCancelExit()
{
    m_frame.done(0);
}

void QUserDlgFdBaudCalculator::calParaReset()
{
    ui->lineEdit_result->setText(tr("Click") + "[" + tr("计算") + "]" + tr("按钮计算波特率!"));
    ui->pushButton_ok->setEnabled(false);
    for (QTableWidget *t : {ui->tableWidget_a, ui->tableWidget_d}) {
        t->clearContents();
        t->setRowCount(0);
    }
}

void QUserDlgFdBaudCalculator::devTypeRefresh()
{
    if (paraChanged)
        calParaReset();
    else
        ui->pushButton_ok->setEnabled(true);
    const auto it = clockMap.constFind(ui->comboBox_devType->currentText());
    if (it != clockMap.constEnd()) {
        ui->comboBox_mainClk->clear();
        ui->comboBox_mainClk->addItem(it.value());
        ui->comboBox_mainClk->setCurrentIndex(0);
        ui->gBox_dBaud->setEnabled(dataPhaseEnabled);
    }
}

// One phase: read its inputs, search, fill its table; false when its rate
// field is empty (the error box has been shown).
bool QUserDlgFdBaudCalculator::phaseSearch(int phase)
{
    const bool arb = phase == 0;
    QLineEdit *rateEdit = arb ? ui->lineEdit_aBaud : ui->lineEdit_dBaud;
    QComboBox *err = arb ? ui->comboBox_aError : ui->comboBox_dError;
    QComboBox *sample = arb ? ui->comboBox_aSample : ui->comboBox_dSample;
    QComboBox *sjw = arb ? ui->comboBox_aSjw : ui->comboBox_dSjw;
    QTableWidget *table = arb ? ui->tableWidget_a : ui->tableWidget_d;

    const int clock = ui->comboBox_mainClk->currentText().toInt();
    const int sjwField = sjw->currentText().toInt();
    const QString rate = rateEdit->text().trimmed();
    if (rate.isEmpty()) {
        QUserMessageBox::msgError(this, tr("错误"), arb ? tr("仲裁域波特率不能为空") : tr("数据域波特率不能为空"));
        return false;
    }
    const int target = rate.toInt() * 1000;
    const int maxErr = err->currentIndex() + 1;
    const int minSample = 50 + 10 * sample->currentIndex();
    QVector<FdBaudParam> list;
    if (calcFdBaudParam(phase, clock * 1000, target, sjwField, maxErr, minSample, list) > 0) {
        table->clearContents();
        table->setRowCount(0);
        for (const FdBaudParam &p : list)
            tableRowAdd(table, p);
    }
    table->setCurrentCell(0, 2);
    return true;
}

void QUserDlgFdBaudCalculator::slotBaudCal()
{
    calParaReset();
    if (!phaseSearch(0))
        return;
    if (dataPhaseEnabled && !phaseSearch(1))
        return;
    resultShow();
}

void QUserDlgFdBaudCalculator::resultShow()
{
    QTableWidget *ta = ui->tableWidget_a;
    QTableWidgetItem *a = ta->currentItem();
    if (!a || ta->rowCount() == 0) {
        QUserMessageBox::msgError(this, tr("错误"), tr("仲裁域参数计算失败,请调整参数再尝试!!!"));
        return;
    }
    QTableWidget *td = ta;
    QTableWidgetItem *d = a;
    if (dataPhaseEnabled) {
        td = ui->tableWidget_d;
        d = td->currentItem();
        if (!d || td->rowCount() == 0) {
            QUserMessageBox::msgError(this, tr("错误"), tr("数据域参数计算失败,请调整参数再尝试!!!"));
            return;
        }
    }
    const int ra = a->row(), rd = d->row();
    auto cell = [](QTableWidget *t, int r, int c) {
        QTableWidgetItem *i = t->item(r, c);
        return i ? i->text() : QString();
    };
    clockText = ui->comboBox_mainClk->currentText();
    arbWordText = cell(ta, ra, 1);
    dataWordText = cell(td, rd, 1);
    resultText = cell(ta, ra, 6) + "(" + cell(ta, ra, 5) + ")," + cell(td, rd, 6) + "(" + cell(td, rd, 5) + "),"
                 + "(" + clockText + "," + arbWordText + "," + dataWordText + ")";
    ui->lineEdit_result->setText(resultText);
    paraChanged = false;
    devTypeRefresh();
}

void QUserDlgFdBaudCalculator::slotHelp()
{
    const QStringList lines = {
        tr("1.BRP应该尽量小."),
        tr("2.仲裁域波特率<=数据域波特率."),
        tr("3.采样点推荐范围：75~87.5%."),
        tr("  波特率>800kbps推荐采样点:75%."),
        tr("  波特率>500kbps推荐采样点:80%."),
        tr("  波特率<=500kbps推荐采样点:87.5%."),
        tr("4.仲裁域波特率和数据域波特率之比应该大于1/8."),
        tr("5.因尽量保证CAN总线上节点采样点一致."),
        tr("6.TSEG2>=同步跳转宽度(SJW)."),
    };
    QUserMessageBox::msgCheck(this, tr("计算要点"), lines.join("\r\n"));
}

void QUserDlgFdBaudCalculator::slotResultCopy2Clipboard()
{
    QApplication::clipboard()->setText(resultText);
}

void QUserDlgFdBaudCalculator::slotATableWidgetClickHandle(QTableWidgetItem *)
{
    resultShow();
}

void QUserDlgFdBaudCalculator::slotDTableWidgetClickHandle(QTableWidgetItem *)
{
    resultShow();
}

void QUserDlgFdBaudCalculator::slotCalParaChanged(const QString &)
{
    paraChanged = true;
    devTypeRefresh();
}

void QUserDlgFdBaudCalculator::slotsComboxDevTypeChanged(int)
{
    devTypeRefresh();
}
