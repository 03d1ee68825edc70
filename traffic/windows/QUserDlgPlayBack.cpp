#include "traffic/windows/QUserDlgPlayBack.h"

#include "widgets/QUserMessageBox.h"
#include "widgets/QUserProgressDlg.h"
#include "widgets/QUserPrompt.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QThread>
#include <QVBoxLayout>

namespace {

constexpr int kStepMax = 32;

void logLine(const QString &text) { qDebug().noquote() << "QUserDlgPlayBack" << ">" << text; }

QString withoutSpaces(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (!c.isSpace())
            out.append(c);
    }
    return out;
}

} // namespace

// ---- form -----------------------------------------------------------------------

void Ui_QUserDlgPlayBack::setupUi(QWidget *w)
{
    if (w->objectName().isEmpty())
        w->setObjectName(QStringLiteral("QUserDlgPlayBack"));
    w->resize(513, 221);
    verticalLayout = new QVBoxLayout(w);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));

    horizontalLayout_2 = new QHBoxLayout;
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    label = new QLabel(w);
    label->setObjectName(QStringLiteral("label"));
    horizontalLayout_2->addWidget(label);
    lineEdit_path = new QLineEdit(w);
    lineEdit_path->setObjectName(QStringLiteral("lineEdit_path"));
    horizontalLayout_2->addWidget(lineEdit_path);
    pushButton_load = new QPushButton(w);
    pushButton_load->setObjectName(QStringLiteral("pushButton_load"));
    horizontalLayout_2->addWidget(pushButton_load);
    verticalLayout->addLayout(horizontalLayout_2);

    horizontalLayout_3 = new QHBoxLayout;
    horizontalLayout_3->setObjectName(QStringLiteral("horizontalLayout_3"));
    label_msg = new QLabel(w);
    label_msg->setObjectName(QStringLiteral("label_msg"));
    horizontalLayout_3->addWidget(label_msg);
    verticalLayout->addLayout(horizontalLayout_3);

    horizontalLayout_5 = new QHBoxLayout;
    horizontalLayout_5->setObjectName(QStringLiteral("horizontalLayout_5"));
    label_2 = new QLabel(w);
    label_2->setObjectName(QStringLiteral("label_2"));
    horizontalLayout_5->addWidget(label_2);
    lineEdit_time = new QLineEdit(w);
    lineEdit_time->setObjectName(QStringLiteral("lineEdit_time"));
    horizontalLayout_5->addWidget(lineEdit_time);
    label_4 = new QLabel(w);
    label_4->setObjectName(QStringLiteral("label_4"));
    horizontalLayout_5->addWidget(label_4);
    horizontalSpacer = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    horizontalLayout_5->addItem(horizontalSpacer);
    verticalLayout->addLayout(horizontalLayout_5);

    horizontalLayout_6 = new QHBoxLayout;
    horizontalLayout_6->setObjectName(QStringLiteral("horizontalLayout_6"));
    label_5 = new QLabel(w);
    label_5->setObjectName(QStringLiteral("label_5"));
    horizontalLayout_6->addWidget(label_5);
    lineEdit_step = new QLineEdit(w);
    lineEdit_step->setObjectName(QStringLiteral("lineEdit_step"));
    horizontalLayout_6->addWidget(lineEdit_step);
    label_6 = new QLabel(w);
    label_6->setObjectName(QStringLiteral("label_6"));
    horizontalLayout_6->addWidget(label_6);
    horizontalSpacer_2 = new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    horizontalLayout_6->addItem(horizontalSpacer_2);
    verticalLayout->addLayout(horizontalLayout_6);

    horizontalLayout_4 = new QHBoxLayout;
    horizontalLayout_4->setObjectName(QStringLiteral("horizontalLayout_4"));
    label_3 = new QLabel(w);
    label_3->setObjectName(QStringLiteral("label_3"));
    horizontalLayout_4->addWidget(label_3);
    progressBar = new QProgressBar(w);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setValue(24);
    horizontalLayout_4->addWidget(progressBar);
    verticalLayout->addLayout(horizontalLayout_4);

    horizontalLayout_7 = new QHBoxLayout;
    horizontalLayout_7->setObjectName(QStringLiteral("horizontalLayout_7"));
    checkBox_autoStop = new QCheckBox(w);
    checkBox_autoStop->setObjectName(QStringLiteral("checkBox_autoStop"));
    horizontalLayout_7->addWidget(checkBox_autoStop);
    checkBox_cycle = new QCheckBox(w);
    checkBox_cycle->setObjectName(QStringLiteral("checkBox_cycle"));
    horizontalLayout_7->addWidget(checkBox_cycle);
    verticalLayout->addLayout(horizontalLayout_7);

    line = new QFrame(w);
    line->setObjectName(QStringLiteral("line"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    verticalLayout->addWidget(line);

    horizontalLayout = new QHBoxLayout;
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    pushButton_start = new QPushButton(w);
    pushButton_start->setObjectName(QStringLiteral("pushButton_start"));
    horizontalLayout->addWidget(pushButton_start);
    pushButton_stop = new QPushButton(w);
    pushButton_stop->setObjectName(QStringLiteral("pushButton_stop"));
    horizontalLayout->addWidget(pushButton_stop);
    pushButton_cancel = new QPushButton(w);
    pushButton_cancel->setObjectName(QStringLiteral("pushButton_cancel"));
    horizontalLayout->addWidget(pushButton_cancel);
    verticalLayout->addLayout(horizontalLayout);

    verticalSpacer = new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding);
    verticalLayout->addItem(verticalSpacer);

    retranslateUi(w);
    QMetaObject::connectSlotsByName(w);
}

void Ui_QUserDlgPlayBack::retranslateUi(QWidget *w)
{
    const char *ctx = "QUserDlgPlayBack";
    w->setWindowTitle(QCoreApplication::translate(ctx, "Form"));
    label->setText(QCoreApplication::translate(ctx, "数据文件:"));
    pushButton_load->setText(QCoreApplication::translate(ctx, "加载"));
    label_msg->setText(QCoreApplication::translate(ctx, "帧总数量:0"));
    label_2->setText(QCoreApplication::translate(ctx, "发送间隔:"));
    lineEdit_time->setText(QCoreApplication::translate(ctx, "1"));
    label_4->setText(QCoreApplication::translate(ctx, "(单位:毫秒)"));
    label_5->setText(QCoreApplication::translate(ctx, "发送步长:"));
    lineEdit_step->setText(QCoreApplication::translate(ctx, "1"));
    label_6->setText(QCoreApplication::translate(ctx, "(有效值:1-32)"));
    label_3->setText(QCoreApplication::translate(ctx, "发送进度:"));
    checkBox_autoStop->setText(QCoreApplication::translate(ctx, "发送失败自动停止"));
    checkBox_cycle->setText(QCoreApplication::translate(ctx, "循环发送"));
    pushButton_start->setText(QCoreApplication::translate(ctx, "启动发送"));
    pushButton_stop->setText(QCoreApplication::translate(ctx, "停止发送"));
    pushButton_cancel->setText(QCoreApplication::translate(ctx, "退出"));
}

// ---- dialog ---------------------------------------------------------------------

QUserDlgPlayBack::QUserDlgPlayBack(QWidget *parent) : QWidget(parent)
{
    ui = new Ui_QUserDlgPlayBack;
    work = std::make_unique<QPlayBackWork>();
    job.cachePath = QPlayBackWork::newCachePath();
    ui->setupUi(this);
    ui->lineEdit_path->setEnabled(false);
    ui->progressBar->setRange(0, 100);
    ui->progressBar->setValue(0);
    workThread.setWork(work.get());
    workThread.start();
    frame.reset(new Dialog(QStringLiteral(":/res/play.png"), QString(), tr("数据回放"), 19));

    connect(ui->checkBox_autoStop, &QCheckBox::stateChanged, this, &QUserDlgPlayBack::slotChkBoxStateChanged);
    connect(ui->checkBox_cycle, &QCheckBox::stateChanged, this, &QUserDlgPlayBack::slotChkBoxStateChanged);
    connect(ui->pushButton_load, &QPushButton::clicked, this, &QUserDlgPlayBack::slotFileLoadGet);
    connect(ui->pushButton_start, &QPushButton::clicked, this, &QUserDlgPlayBack::slotFileSendStart);
    connect(ui->pushButton_stop, &QPushButton::clicked, this, &QUserDlgPlayBack::slotFileSendStop);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &QUserDlgPlayBack::slotCancelExit);
    connect(work.get(), &QUserWork::progressValue, ui->progressBar, &QProgressBar::setValue);
    connect(work.get(), &QUserWork::notice, this, &QUserDlgPlayBack::slotPlayBackWorkNoticeHandle);
    connect(frame.get(), &Dialog::userCloseEvent, this, &QUserDlgPlayBack::slotDlgClose);
    buttonRefresh();
}

QUserDlgPlayBack::~QUserDlgPlayBack()
{
    // A job may be running on the worker's thread with the record and the
    // cache in hand. Ask it to stop, end the thread and wait for it; only
    // then do the worker, the record and the cache file go.
    if (work) {
        disconnect(work.get(), nullptr, this, nullptr);
        work->reqStop();
    }
    if (workThread.thread) {
        workThread.thread->quit();
        workThread.thread->wait();
        delete workThread.thread;
        workThread.thread = nullptr;
    }
    workThread.work = nullptr;
    work.reset();
    if (!job.cachePath.isEmpty())
        QFile::remove(job.cachePath);
    delete ui;
    ui = nullptr;
    frame.release();
}

bool QUserDlgPlayBack::devSet(const QString &devId, QUserDeviceAdapter *adapter)
{
    job.devId = devId;
    job.devAdapter = adapter;
    return true;
}

int QUserDlgPlayBack::dialogShow()
{
    if (!frame)
        return 0;
    if (QScreen *screen = QGuiApplication::primaryScreen())
        resize(screen->geometry().width() / 4, height());
    QHBoxLayout *layout = new QHBoxLayout;
    layout->addWidget(this);
    frame->setContentLayout(layout, width(), height());
    frame->dlgShow();
    return 0;
}

void QUserDlgPlayBack::buttonRefresh()
{
    // A send or a load in flight owns the record and the cache: neither a
    // new send nor a new load may start until its end notice has come.
    const bool busy = job.running || loading;
    ui->pushButton_start->setEnabled(!busy);
    ui->pushButton_stop->setEnabled(job.running);
    ui->pushButton_load->setEnabled(!busy);
    ui->progressBar->setValue(progressValue);
}

void QUserDlgPlayBack::slotFileLoadGet()
{
    if (jobPending())
        return;
    logLine(QStringLiteral("加载发送文件..."));
    const QString path = QUserPrompt::instance()->getOpenFileName(this, tr("加载文件"), QStringLiteral("../"),
                                                                  QStringLiteral("Record File(*.blf *asc)"));
    if (path.isEmpty())
        return;
    ui->lineEdit_path->setText(path);
    job.filePath = path;
    job.reqType = QUserPlayBackParam::ReqLoad;
    workRun();
}

void QUserDlgPlayBack::slotFileSendStart()
{
    if (jobPending())
        return;
    if (!sendParamCheck())
        return;
    job.reqType = QUserPlayBackParam::ReqSend;
    job.running = true;
    progressValue = 0;
    buttonRefresh();
    workRun();
}

void QUserDlgPlayBack::slotFileSendStop() { work->reqStop(); }

void QUserDlgPlayBack::slotChkBoxStateChanged(int)
{
    job.autoStop = ui->checkBox_autoStop->isChecked();
    job.cycle = ui->checkBox_cycle->isChecked();
}

int QUserDlgPlayBack::workRun()
{
    if (!job.progressDlg) {
        job.progressDlg = new QUserProgressDlg;
        // A progress dialog arms a timer at construction that shows it after
        // a few seconds; a send never shows it.
        job.progressDlg->reset();
    }
    QUserProgressDlg *pd = job.progressDlg;
    if (job.reqType == QUserPlayBackParam::ReqSend) {
        disconnect(work.get(), QOverload<>::of(&QUserWork::stop), pd, &QProgressDialog::cancel);
        disconnect(work.get(), &QUserWork::progressValue, pd, &QProgressDialog::setValue);
        work->reqRun(job.reqType, &job);
        return 0;
    }

    pd->reset(); // clears the cancel state of an earlier load
    pd->setWindowModality(Qt::ApplicationModal);
    pd->setRange(0, 100);
    pd->setValue(0);
    pd->setWindowTitle(tr("加载中..."));
    pd->setLabelText(tr("加载中..."));
    connect(work.get(), QOverload<>::of(&QUserWork::stop), pd, &QProgressDialog::cancel, Qt::UniqueConnection);
    connect(work.get(), &QUserWork::progressValue, pd, &QProgressDialog::setValue, Qt::UniqueConnection);
    if (frame) {
        const QRect f = frame->geometry();
        pd->move(f.left() + f.width() / 2 - pd->width() / 2, f.top() + f.height() / 2 - pd->height() / 2);
    }
    loading = true;
    loadEnded = false;
    buttonRefresh();
    work->reqRun(job.reqType, &job);
    const QPointer<QUserDlgPlayBack> self(this);
    QUserPrompt::instance()->exec(pd);
    if (!self)
        return 0; // closed from within the modal run
    // Closed before the load reported its end: the user cancelled.
    if (!loadEnded)
        work->reqStop();
    return 0;
}

bool QUserDlgPlayBack::sendParamCheck()
{
    const QString timeText = ui->lineEdit_time->text();
    if (timeText.isEmpty()) {
        QUserMessageBox::msgError(this, tr("错误"), tr("间隔时间参数不能为空!"));
        return false;
    }
    job.interval = withoutSpaces(timeText).toInt(nullptr, 10);
    if (job.interval == 0) {
        QUserMessageBox::msgError(this, tr("错误"), tr("间隔时间不能等于0!"));
        return false;
    }
    const QString stepText = withoutSpaces(ui->lineEdit_step->text());
    bool ok = false;
    const int step = stepText.toInt(&ok, 10);
    if (!ok || step < 1 || step > kStepMax) {
        QUserMessageBox::msgError(this, tr("错误"),
                                  QObject::tr("[发送步长]:有效范围:") + QStringLiteral("1-%1").arg(kStepMax));
        return false;
    }
    job.step = step;
    if (job.recordCount == 0) {
        QUserMessageBox::msgWarning(this, tr("警告"), tr("无可发送数据!"));
        return false;
    }
    job.autoStop = ui->checkBox_autoStop->isChecked();
    job.cycle = ui->checkBox_cycle->isChecked();
    return true;
}

void QUserDlgPlayBack::slotPlayBackWorkNoticeHandle(void *param, int phase, int)
{
    if (param != &job)
        return;
    if (phase == 0) {
        if (job.reqType == QUserPlayBackParam::ReqSend) {
            job.running = true;
            progressValue = 0;
        }
        buttonRefresh();
    } else if (phase == 1) {
        if (job.reqType == QUserPlayBackParam::ReqLoad)
            loadEndShow();
        else
            sendEndShow();
    }
}

void QUserDlgPlayBack::loadEndShow()
{
    if (job.progressDlg)
        job.progressDlg->hide();
    loading = false;
    loadEnded = true;
    if (frame)
        frame->titleShow(QFileInfo(job.filePath).fileName());
    ui->label_msg->setText(tr("帧总数量:") + QString::number(job.recordCount));
    progressValue = 0;
    buttonRefresh();
    // A file cut short and damaged says both.
    if (job.notTrace)
        QUserMessageBox::msgError(this, tr("错误"),
                                  tr("文件%1不是可读取的记录文件(ASC/BLF)!").arg(QFileInfo(job.filePath).fileName()));
    else if (job.damagedCount > 0 && job.endedEarly)
        QUserMessageBox::msgWarning(this, tr("警告"),
                                    tr("文件已损坏且提前结束(文件不完整),跳过了%1处损坏的数据,已加载%2条数据。")
                                        .arg(job.damagedCount)
                                        .arg(job.recordCount));
    else if (job.damagedCount > 0)
        QUserMessageBox::msgWarning(this, tr("警告"),
                                    tr("文件已损坏,跳过了%1处损坏的数据,已加载%2条数据。")
                                        .arg(job.damagedCount)
                                        .arg(job.recordCount));
    else if (job.endedEarly)
        QUserMessageBox::msgWarning(this, tr("警告"),
                                    tr("文件提前结束(文件不完整),已加载%1条数据。").arg(job.recordCount));
    else
        QUserMessageBox::msgCheck(this, tr("提示"), tr("成功加载%1条数据。").arg(job.recordCount));
}

void QUserDlgPlayBack::sendEndShow()
{
    // The bar keeps where the send left it.
    progressValue = ui->progressBar->value();
    job.running = false;
    buttonRefresh();
    QString text;
    bool failed = false;
    switch (job.result) {
    case QUserPlayBackParam::ResultDone:
        text = tr("发送完成!");
        break;
    case QUserPlayBackParam::ResultStopped:
        text = tr("发送已停止!");
        break;
    default:
        text = tr("发送失败!");
        failed = true;
        break;
    }
    if (job.skippedCount > 0)
        text += tr("跳过%1条无法读取的数据。").arg(job.skippedCount);
    if (failed)
        QUserMessageBox::msgError(this, tr("提示"), text);
    else
        QUserMessageBox::msgCheck(this, tr("提示"), text);
}

void QUserDlgPlayBack::slotDlgClose()
{
    work->reqStop();
    if (frame)
        frame->dlgDone(0);
}

void QUserDlgPlayBack::slotCancelExit() { slotDlgClose(); }

void QUserDlgPlayBack::slotOkExit()
{
    if (frame)
        frame->dlgDone(1);
}
