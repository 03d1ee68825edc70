#include "devtools/QUserRecordChPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTextBlock>
#include <QVBoxLayout>

namespace {

template <class T> T *named(T *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

QHBoxLayout *line(const char *name, std::initializer_list<QWidget *> ws)
{
    auto *h = new QHBoxLayout;
    h->setObjectName(QLatin1String(name));
    for (QWidget *w : ws)
        h->addWidget(w);
    h->addStretch();
    return h;
}

const QColor kErrorColor(255, 0, 0);

} // namespace

QUserRecordChPage::QUserRecordChPage(QWidget *parent) : QWidget(parent)
{
    pageUiBuild();
}

void QUserRecordChPage::pageUiBuild()
{
    setObjectName(QStringLiteral("QUserRecordChPage"));
    auto *root = new QVBoxLayout(this);
    root->setObjectName(QStringLiteral("verticalLayout_page"));

    // Row 1: protocol, standard, mode, channel switch; rates and custom switch.
    groupBox_baud = named(new QGroupBox(tr("波特率"), this), "groupBox_baud");
    label_workPro = named(new QLabel(tr("工作协议:"), groupBox_baud), "label_workPro");
    comboBox_workPro = named(new QComboBox(groupBox_baud), "comboBox_workPro");
    comboBox_workPro->addItems({"CAN", "CANFD"});
    label_iso = named(new QLabel(tr("CANFD标准:"), groupBox_baud), "label_iso");
    comboBox_iso = named(new QComboBox(groupBox_baud), "comboBox_iso");
    comboBox_iso->addItems({"NON-ISO", "CANFD-ISO"});
    comboBox_iso->setMinimumWidth(100);
    label_workMode = named(new QLabel(tr("工作模式:"), groupBox_baud), "label_workMode");
    comboBox_workMode = named(new QComboBox(groupBox_baud), "comboBox_workMode");
    comboBox_workMode->addItems({tr("正常模式"), tr("只听模式")});
    comboBox_workMode->setMinimumWidth(100);
    checkBox_chEnable = named(new QCheckBox(tr("通道开启"), groupBox_baud), "checkBox_chEnable");
    label_aBaud = named(new QLabel(tr("仲裁域波特率:"), groupBox_baud), "label_aBaud");
    comboBox_aBaud = named(new QComboBox(groupBox_baud), "comboBox_aBaud");
    comboBox_aBaud->addItems(recordArbTexts());
    comboBox_aBaud->setMinimumWidth(150);
    label_dBaud = named(new QLabel(tr("数据域波特率:"), groupBox_baud), "label_dBaud");
    comboBox_dBaud = named(new QComboBox(groupBox_baud), "comboBox_dBaud");
    comboBox_dBaud->addItems(recordDataTexts());
    comboBox_dBaud->setMinimumWidth(150);
    checkBox_selfBaud = named(new QCheckBox(tr("自定义波特率(可选)"), groupBox_baud), "checkBox_selfBaud");
    auto *baudBox = new QVBoxLayout(groupBox_baud);
    baudBox->addLayout(line("horizontalLayout_baud1", {label_workPro, comboBox_workPro, label_iso, comboBox_iso,
                                                       label_workMode, comboBox_workMode, checkBox_chEnable}));
    baudBox->addLayout(
        line("horizontalLayout_baud2", {label_aBaud, comboBox_aBaud, label_dBaud, comboBox_dBaud, checkBox_selfBaud}));
    root->addWidget(groupBox_baud);

    // Row 2: the custom timing fields of both phases and the bit-rate text.
    groupBox_selfBaud = named(new QGroupBox(tr("自定义波特率参数"), this), "groupBox_selfBaud");
    const auto phaseLine = [this](QWidget *host, const char *prefix, QLabel **clkLabel, QComboBox **clk,
                                  QLineEdit **brp, QLineEdit **sjw, QLineEdit **bs1, QLineEdit **bs2) {
        const QString p = QLatin1String(prefix);
        *clkLabel = new QLabel(host);
        (*clkLabel)->setObjectName("label_clk" + p.toUpper());
        *clk = new QComboBox(host);
        (*clk)->setObjectName("comboBox_clk" + p.toUpper());
        (*clk)->setEnabled(false);
        auto *mhz = new QLabel(QStringLiteral("MHz"), host);
        mhz->setObjectName("label_mhz" + p.toUpper());
        QList<QWidget *> ws{*clkLabel, *clk, mhz};
        const char *names[] = {"Brp", "Sjw", "Bs1", "Bs2"};
        const QString texts[] = {tr("预分频:"), tr("SJW:"), tr("BS1:"), tr("BS2:")};
        QLineEdit **fields[] = {brp, sjw, bs1, bs2};
        for (int i = 0; i < 4; ++i) {
            auto *l = new QLabel(texts[i], host);
            l->setObjectName("label_" + p + names[i]);
            *fields[i] = new QLineEdit(host);
            (*fields[i])->setObjectName("lineEdit_" + p + names[i]);
            (*fields[i])->setMaximumWidth(60);
            ws << l << *fields[i];
        }
        auto *h = new QHBoxLayout;
        h->setContentsMargins(0, 0, 0, 0);
        for (QWidget *w : ws)
            h->addWidget(w);
        h->addStretch();
        return h;
    };
    auto *selfBox = new QVBoxLayout(groupBox_selfBaud);
    QHBoxLayout *aLine = phaseLine(groupBox_selfBaud, "a", &label_clkA, &comboBox_clkA, &lineEdit_aBrp,
                                   &lineEdit_aSjw, &lineEdit_aBs1, &lineEdit_aBs2);
    aLine->setObjectName(QStringLiteral("horizontalLayout_self1"));
    selfBox->addLayout(aLine);
    widget_dLine = named(new QWidget(groupBox_selfBaud), "widget_dLine");
    QHBoxLayout *dLine = phaseLine(widget_dLine, "d", &label_clkB, &comboBox_clkB, &lineEdit_dBrp, &lineEdit_dSjw,
                                   &lineEdit_dBs1, &lineEdit_dBs2);
    dLine->setObjectName(QStringLiteral("horizontalLayout_self2"));
    widget_dLine->setLayout(dLine);
    selfBox->addWidget(widget_dLine);
    label_clkA->setText(tr("仲裁域-> 时钟:"));
    label_clkB->setText(tr("数据域-> 时钟:"));
    lineEdit_baudText = named(new QLineEdit(groupBox_selfBaud), "lineEdit_baudText");
    lineEdit_baudText->setReadOnly(true);
    pushButton_baudCal = named(new QPushButton(tr("波特率计算器"), groupBox_selfBaud), "pushButton_baudCal");
    selfBox->addLayout(line("horizontalLayout_self3", {lineEdit_baudText, pushButton_baudCal}));
    root->addWidget(groupBox_selfBaud);

    // Rows 3 and 4: record filters.
    checkBox_fliterEn = named(new QCheckBox(tr("滤波开启(可选)"), this), "checkBox_fliterEn");
    root->addWidget(checkBox_fliterEn);
    lineEdit_fliterNum = named(new QLineEdit(this), "lineEdit_fliterNum");
    lineEdit_fliterNum->setEnabled(false);
    lineEdit_fliterNum->setMinimumWidth(220);
    pushButton_fliterSet = named(new QPushButton(tr("滤波配置"), this), "pushButton_fliterSet");
    root->addLayout(line("horizontalLayout_fliter", {lineEdit_fliterNum, pushButton_fliterSet}));

    // Row 5: record files.
    groupBox_file = named(new QGroupBox(tr("文件"), this), "groupBox_file");
    auto *label_fmt = named(new QLabel(tr("文件存储格式:"), groupBox_file), "label_fileFormat");
    comboBox_fileFormat = named(new QComboBox(groupBox_file), "comboBox_fileFormat");
    comboBox_fileFormat->addItems({"ASC", "TXT", "CAN", "CSV"});
    comboBox_fileFormat->setMinimumWidth(30);
    auto *label_interval = named(new QLabel(tr("文件创建间隔:"), groupBox_file), "label_fileInterval");
    lineEdit_fileInterval = named(new QLineEdit(groupBox_file), "lineEdit_fileInterval");
    lineEdit_fileInterval->setPlaceholderText(QStringLiteral("1-255"));
    lineEdit_fileInterval->setText(QStringLiteral("10"));
    lineEdit_fileInterval->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{3}")), lineEdit_fileInterval));
    lineEdit_fileInterval->setMaximumWidth(60);
    auto *label_minutes = named(new QLabel(tr("分钟(1-255)"), groupBox_file), "label_minutes");
    auto *label_policy = named(new QLabel(tr("磁盘已满策略:"), groupBox_file), "label_diskPolicy");
    comboBox_diskPolicy = named(new QComboBox(groupBox_file), "comboBox_diskPolicy");
    comboBox_diskPolicy->addItems({tr("删除旧记录继续任务"), tr("停止任务")});
    comboBox_diskPolicy->setMinimumWidth(300);
    auto *fileBox = new QVBoxLayout(groupBox_file);
    fileBox->addLayout(
        line("horizontalLayout_file1", {label_fmt, comboBox_fileFormat, label_interval, lineEdit_fileInterval,
                                        label_minutes}));
    fileBox->addLayout(line("horizontalLayout_file2", {label_policy, comboBox_diskPolicy}));
    root->addWidget(groupBox_file);

    // Row 6: storage management and the log pane.
    groupBox_devMgr = named(new QGroupBox(tr("设备管理"), this), "groupBox_devMgr");
    pushButton_diskFormat = named(new QPushButton(tr("存储卡格式化"), groupBox_devMgr), "pushButton_diskFormat");
    pushButton_diskCap = named(new QPushButton(tr("容量查询"), groupBox_devMgr), "pushButton_diskCap");
    pushButton_devInfo = named(new QPushButton(tr("设备信息"), groupBox_devMgr), "pushButton_devInfo");
    pushButton_diskWRTest = named(new QPushButton(tr("读写测试"), groupBox_devMgr), "pushButton_diskWRTest");
    plainTextEdit_log = named(new QPlainTextEdit(groupBox_devMgr), "plainTextEdit_log");
    plainTextEdit_log->setReadOnly(true);
    plainTextEdit_log->setMaximumBlockCount(3);
    plainTextEdit_log->setMaximumHeight(plainTextEdit_log->fontMetrics().lineSpacing() * 5);
    auto *mgrBox = new QVBoxLayout(groupBox_devMgr);
    mgrBox->addLayout(line("horizontalLayout_mgr1",
                           {pushButton_diskFormat, pushButton_diskCap, pushButton_devInfo, pushButton_diskWRTest}));
    mgrBox->addWidget(plainTextEdit_log);
    root->addWidget(groupBox_devMgr);
}

void QUserRecordChPage::logAppend(const QString &text, bool error)
{
    const QString line =
        QDateTime::currentDateTime().toString(QStringLiteral("[yyyy-MM-dd HH:mm:ss] ")) + text;
    const QString color = error ? kErrorColor.name() : QStringLiteral("#000000");
    plainTextEdit_log->appendHtml(QStringLiteral("<span style=\"color:%1\">%2</span>")
                                      .arg(color, line.toHtmlEscaped()));
}

QStringList QUserRecordChPage::logLines() const
{
    QStringList out;
    for (QTextBlock b = plainTextEdit_log->document()->begin(); b.isValid(); b = b.next())
        if (!b.text().isEmpty())
            out << b.text();
    return out;
}

QList<bool> QUserRecordChPage::logErrors() const
{
    QList<bool> out;
    for (QTextBlock b = plainTextEdit_log->document()->begin(); b.isValid(); b = b.next()) {
        if (b.text().isEmpty())
            continue;
        const QTextBlock::iterator it = b.begin();
        const QColor c = it.atEnd() ? QColor() : it.fragment().charFormat().foreground().color();
        out << (c == kErrorColor);
    }
    return out;
}
