#include "devtools/QUserDlgFliterSet.h"
#include "devtools/QUserDlgParts.h"

#include "devtools/QUserIdText.h"
#include "widgets/QUserMessageBox.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableWidget>
#include <QVBoxLayout>

class Ui_QUserDlgFliterSet
{
public:
    QVBoxLayout *verticalLayout;
    QTableWidget *tableWidget;
    QFrame *line;
    QLabel *label;
    QComboBox *comboBox_mode;
    QLabel *label_startId;
    QLineEdit *lineEdit_startId;
    QLabel *label_endId;
    QLineEdit *lineEdit_endId;
    QPushButton *pushButton_add;
    QPushButton *pushButton_del;
    QPushButton *pushButton_ok;
    QPushButton *pushButton_cancel;

    void setupUi(QWidget *w)
    {
        w->setObjectName("QUserDlgFliterSet");
        w->resize(694, 304);
        w->setWindowTitle("Form");
        verticalLayout = new QVBoxLayout(w);
        tableWidget = new QTableWidget(w);
        tableWidget->setObjectName("tableWidget");
        verticalLayout->addWidget(tableWidget, 1);
        line = new QFrame(w);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        verticalLayout->addWidget(line);

        auto *row1 = new QHBoxLayout;
        row1->addStretch();
        label = new QLabel(QObject::tr("模式:"), w);
        comboBox_mode = new QComboBox(w);
        comboBox_mode->setObjectName("comboBox_mode");
        comboBox_mode->setMinimumWidth(150);
        label_startId = new QLabel(QObject::tr("起始帧ID:0x"), w);
        label_startId->setObjectName("label_startId");
        lineEdit_startId = new QLineEdit(w);
        lineEdit_startId->setObjectName("lineEdit_startId");
        label_endId = new QLabel(QObject::tr("结束帧ID:0x"), w);
        label_endId->setObjectName("label_endId");
        lineEdit_endId = new QLineEdit(w);
        lineEdit_endId->setObjectName("lineEdit_endId");
        for (QWidget *x : {static_cast<QWidget *>(label), static_cast<QWidget *>(comboBox_mode),
                           static_cast<QWidget *>(label_startId), static_cast<QWidget *>(lineEdit_startId),
                           static_cast<QWidget *>(label_endId), static_cast<QWidget *>(lineEdit_endId)})
            row1->addWidget(x);
        row1->addStretch();
        verticalLayout->addLayout(row1);

        auto *row2 = new QHBoxLayout;
        row2->addStretch();
        pushButton_add = new QPushButton(QObject::tr("添加"), w);
        pushButton_add->setObjectName("pushButton_add");
        pushButton_del = new QPushButton(QObject::tr("删除"), w);
        pushButton_del->setObjectName("pushButton_del");
        pushButton_ok = new QPushButton(QObject::tr("确定"), w);
        pushButton_ok->setObjectName("pushButton_ok");
        pushButton_cancel = new QPushButton(QObject::tr("取消"), w);
        pushButton_cancel->setObjectName("pushButton_cancel");
        for (QPushButton *b : {pushButton_add, pushButton_del, pushButton_ok, pushButton_cancel})
            row2->addWidget(b);
        row2->addStretch();
        verticalLayout->addLayout(row2);
    }
};

static QString modeText(int i)
{
    switch (i) {
    case 0: return QObject::tr("标准帧明确ID");
    case 1: return QObject::tr("标准帧组ID");
    case 2: return QObject::tr("扩展帧明确ID");
    default: return QObject::tr("扩展帧组ID");
    }
}

QUserDlgFliterSet::QUserDlgFliterSet(QWidget *parent)
    : QWidget(parent), ui(new Ui_QUserDlgFliterSet)
{
    ui->setupUi(this);
    for (int i = 0; i < 4; ++i)
        ui->comboBox_mode->addItem(modeText(i));
    ui->comboBox_mode->setCurrentIndex(0);
    dlgparts::comboFitEntries(ui->comboBox_mode);

    QTableWidget *t = ui->tableWidget;
    t->setColumnCount(4);
    t->setHorizontalHeaderLabels({tr("序号"), tr("过滤格式"), tr("起始帧ID"), tr("结束帧ID")});
    const int widths[] = {50, 150, 200, 200};
    for (int i = 0; i < 4; ++i)
        t->setColumnWidth(i, widths[i]);
    t->horizontalHeader()->setStretchLastSection(true);
    t->horizontalHeader()->setVisible(true);
    t->verticalHeader()->setVisible(false);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setAlternatingRowColors(true);
    t->setSortingEnabled(false);

    const QRegularExpression hex("^[0-9a-fA-F ]+$");
    for (QLineEdit *e : {ui->lineEdit_startId, ui->lineEdit_endId}) {
        e->setValidator(new QRegularExpressionValidator(hex, e));
        e->setMaxLength(8);
    }
    ui->lineEdit_startId->setText("0");
    ui->label_endId->setEnabled(false);
    ui->lineEdit_endId->setEnabled(false);
    ui->lineEdit_endId->setText(tr("无需设置"));

    connect(ui->pushButton_add, &QPushButton::clicked, this, &QUserDlgFliterSet::slotFliterAdd);
    connect(ui->pushButton_del, &QPushButton::clicked, this, &QUserDlgFliterSet::slotFliterDel);
    connect(ui->pushButton_ok, &QPushButton::clicked, this, &QUserDlgFliterSet::slotOkExit);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &QUserDlgFliterSet::slotCancelExit);
    connect(ui->comboBox_mode, QOverload<int>::of(&QComboBox::activated), this,
            &QUserDlgFliterSet::slotsComboxModeChanged);
}

QUserDlgFliterSet::~QUserDlgFliterSet()
{
    m_frame.release();
    delete ui;
}

void QUserDlgFliterSet::dlgInit(const QString &title)
{
    m_frame.make(":/res/fliter.png", title);
}

void QUserDlgFliterSet::fliterRulesSet(const QVector<QUserFliterRule> &rules)
{
    m_rules = rules;
    tableRebuild();
}

int QUserDlgFliterSet::dialogExec()
{
    if (!m_frame)
        dlgInit(tr("滤波设置"));
    return m_frame.exec();
}

void QUserDlgFliterSet::fliterRulesGet(QVector<QUserFliterRule> &rules) const
{
    rules = m_rules;
}

void QUserDlgFliterSet::slotOkExit()
{
    m_frame.done(1);
}

void QUserDlgFliterSet::slotCancelExit()
{
    m_frame.done(0);
}

void QUserDlgFliterSet::slotsComboxModeChanged(int)
{
    const QString t = ui->comboBox_mode->currentText();
    m_rangeMode = (t == modeText(1) || t == modeText(3)) ? 1 : 0;
    m_extMode = (t != modeText(0) && t != modeText(1)) ? 1 : 0;
    ui->label_endId->setEnabled(m_rangeMode);
    ui->lineEdit_endId->setEnabled(m_rangeMode);
    ui->lineEdit_endId->setText(m_rangeMode ? QStringLiteral("0") : tr("无需设置"));
}

bool QUserDlgFliterSet::idRead(bool end, uint32_t *value)
{
    const QString rangeText = m_extMode ? tr("取值范围:0-1FFFFFFF") : tr("取值范围:0-7FF");
    const QString text = (end ? ui->lineEdit_endId : ui->lineEdit_startId)->text().trimmed();
    if (text.isEmpty()) {
        QUserMessageBox::msgError(this, tr("错误"), end ? tr("结束ID不能为空!!!") : tr("起始ID不能为空!!!"));
        return false;
    }
    if (!devtext::canIdParse(m_extMode, text, value)) {
        QUserMessageBox::msgError(this, tr("错误"),
                                  (end ? tr("结束ID数值错误!!!") : tr("起始ID数值错误!!!")) + rangeText);
        return false;
    }
    return true;
}

void QUserDlgFliterSet::slotFliterAdd()
{
    uint32_t start = 0, end = 0;
    if (!idRead(false, &start))
        return;
    if (m_rangeMode) {
        if (!idRead(true, &end))
            return;
        // Every user of the rules takes a range as start..end: an inverted
        // one would match no identifier at all.
        if (start > end) {
            QUserMessageBox::msgError(this, tr("错误"), tr("起始ID不能大于结束ID!!!"));
            return;
        }
    } else {
        end = start;
    }
    QUserFliterRule r;
    r.extended = m_extMode;
    r.range = m_rangeMode;
    r.startId = start;
    r.endId = end;
    m_rules.append(r);
    tableRebuild();
}

void QUserDlgFliterSet::slotFliterDel()
{
    const int row = ui->tableWidget->currentRow();
    if (row < 0 || row >= m_rules.size()) {
        QUserMessageBox::msgError(this, tr("错误"), tr("先选中待删除的行!!!"));
        return;
    }
    m_rules.remove(row);
    tableRebuild();
}

void QUserDlgFliterSet::tableRebuild()
{
    QTableWidget *t = ui->tableWidget;
    t->clearContents();
    t->setRowCount(0);
    for (int i = 0; i < m_rules.size(); ++i) {
        const QUserFliterRule &r = m_rules[i];
        const bool single = r.startId == r.endId;
        const QString kind = modeText((r.extended ? 2 : 0) + (single ? 0 : 1));
        t->insertRow(i);
        t->setItem(i, 0, new QTableWidgetItem(QString::number(i)));
        t->setItem(i, 1, new QTableWidgetItem(kind));
        t->setItem(i, 2, new QTableWidgetItem(QString::asprintf("0x%08X", unsigned(r.startId))));
        t->setItem(i, 3, new QTableWidgetItem(QString::asprintf("0x%08X", unsigned(r.endId))));
        t->setCurrentCell(i, 2);
    }
}
