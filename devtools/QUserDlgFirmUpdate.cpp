#include "devtools/QUserDlgFirmUpdate.h"
#include "devtools/QUserDlgParts.h"

#include "devtools/QFirmUpdateSrv.h"
#include "widgets/QUserMessageBox.h"
#include "widgets/QUserPrompt.h"

#include <QComboBox>
#include <QDebug>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

class Ui_QUserDlgFirmUpdate
{
public:
    QVBoxLayout *verticalLayout;
    QHBoxLayout *horizontalLayout, *horizontalLayout_2, *horizontalLayout_3, *horizontalLayout_4,
        *horizontalLayout_5, *horizontalLayout_6;
    QLabel *label, *label_2, *label_3, *label_6, *label_devInfo, *label_fileInfo;
    QComboBox *comboBox_devType, *comboBox_devIndex;
    QPushButton *pushButton_devCon, *pushButton_file, *pushButton_start, *pushButton_cancel;
    QFrame *line, *line_2, *line_3;
    QLineEdit *lineEdit_filePath;
    QProgressBar *progressBar_update;

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
    static QHBoxLayout *row(const char *name)
    {
        auto *h = new QHBoxLayout;
        h->setObjectName(QString::fromLatin1(name));
        return h;
    }

    void setupUi(QWidget *w)
    {
        w->setObjectName(QStringLiteral("QUserDlgFirmUpdate"));
        w->resize(414, 210);
        w->setWindowTitle(QStringLiteral("Form"));
        verticalLayout = new QVBoxLayout(w);
        verticalLayout->setObjectName(QStringLiteral("verticalLayout"));

        horizontalLayout = row("horizontalLayout");
        label = named(new QLabel(QObject::tr("设备类型:"), w), "label");
        comboBox_devType = named(new QComboBox(w), "comboBox_devType");
        comboBox_devType->setMinimumWidth(120);
        label_2 = named(new QLabel(QObject::tr("设备索引:"), w), "label_2");
        comboBox_devIndex = named(new QComboBox(w), "comboBox_devIndex");
        comboBox_devIndex->setMinimumWidth(120);
        pushButton_devCon = named(new QPushButton(QObject::tr("①连接设备"), w), "pushButton_devCon");
        horizontalLayout->addWidget(label);
        horizontalLayout->addWidget(comboBox_devType);
        horizontalLayout->addWidget(label_2);
        horizontalLayout->addWidget(comboBox_devIndex);
        horizontalLayout->addWidget(pushButton_devCon);
        verticalLayout->addLayout(horizontalLayout);
        verticalLayout->addWidget(line = hline(w, "line"));

        horizontalLayout_5 = row("horizontalLayout_5");
        label_devInfo = named(new QLabel(w), "label_devInfo");
        horizontalLayout_5->addWidget(label_devInfo);
        verticalLayout->addLayout(horizontalLayout_5);
        verticalLayout->addWidget(line_2 = hline(w, "line_2"));

        horizontalLayout_2 = row("horizontalLayout_2");
        label_3 = named(new QLabel(QObject::tr("升级文件:"), w), "label_3");
        lineEdit_filePath = named(new QLineEdit(w), "lineEdit_filePath");
        pushButton_file = named(new QPushButton(QObject::tr("②选择升级包"), w), "pushButton_file");
        horizontalLayout_2->addWidget(label_3);
        horizontalLayout_2->addWidget(lineEdit_filePath, 1);
        horizontalLayout_2->addWidget(pushButton_file);
        verticalLayout->addLayout(horizontalLayout_2);

        horizontalLayout_3 = row("horizontalLayout_3");
        label_fileInfo = named(new QLabel(w), "label_fileInfo");
        horizontalLayout_3->addWidget(label_fileInfo);
        verticalLayout->addLayout(horizontalLayout_3);

        horizontalLayout_6 = row("horizontalLayout_6");
        label_6 = named(new QLabel(QObject::tr("升级进度:"), w), "label_6");
        progressBar_update = named(new QProgressBar(w), "progressBar_update");
        horizontalLayout_6->addWidget(label_6);
        horizontalLayout_6->addWidget(progressBar_update, 1);
        verticalLayout->addLayout(horizontalLayout_6);
        verticalLayout->addWidget(line_3 = hline(w, "line_3"));

        horizontalLayout_4 = row("horizontalLayout_4");
        pushButton_start = named(new QPushButton(QObject::tr("③开始"), w), "pushButton_start");
        pushButton_cancel = named(new QPushButton(QObject::tr("退出"), w), "pushButton_cancel");
        horizontalLayout_4->addStretch();
        horizontalLayout_4->addWidget(pushButton_start);
        horizontalLayout_4->addWidget(pushButton_cancel);
        verticalLayout->addLayout(horizontalLayout_4);
    }
};

namespace {
void logLine(const QString &text)
{
    qDebug() << ">" << text;
}
} // namespace

QUserDlgFirmUpdate::QUserDlgFirmUpdate(QWidget *parent) : QWidget(parent), ui(new Ui_QUserDlgFirmUpdate)
{
    ui->setupUi(this);
    m_pkgOk = 0;
    m_connected = 0;
    m_updating = 0;
    uiInit();
    uiRefresh();
    m_frame.reset(new Dialog(QStringLiteral(":/res/download.png"), QString(), tr("设备升级"), 19));
}

QUserDlgFirmUpdate::~QUserDlgFirmUpdate()
{
    workerRelease();
    m_frame.release();
    delete ui;
}

void QUserDlgFirmUpdate::setWorkerWaits(int versionMs, int startMs, int packetMs)
{
    m_waits[0] = versionMs;
    m_waits[1] = startMs;
    m_waits[2] = packetMs;
}

int QUserDlgFirmUpdate::dialogExec()
{
    auto *layout = new QHBoxLayout;
    layout->addWidget(this);
    m_frame->setContentLayout(layout, width(), height());
    return m_frame->dlgExec();
}

void QUserDlgFirmUpdate::uiInit()
{
    ui->comboBox_devType->clear();
    ui->comboBox_devType->addItems({QStringLiteral("VARIRORODadi"), QStringLiteral("VURIVUVU1"),
                                    QStringLiteral("USBCANFD2"), QStringLiteral("TRNA701"), QStringLiteral("TRNB701"),
                                    QStringLiteral("TRNA702"), QStringLiteral("TRNB702")});
    ui->comboBox_devType->setCurrentIndex(0);
    dlgparts::comboFitEntries(ui->comboBox_devType);
    ui->comboBox_devIndex->clear();
    for (int i = 0; i < 32; ++i)
        ui->comboBox_devIndex->addItem(QString::number(i));
    ui->comboBox_devIndex->setCurrentIndex(0);
    ui->lineEdit_filePath->setEnabled(false);
    ui->progressBar_update->setRange(0, 100);
    ui->progressBar_update->setValue(0);
    connect(ui->pushButton_start, &QPushButton::clicked, this, &QUserDlgFirmUpdate::slotStartUpdate);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &QUserDlgFirmUpdate::slotCancelExit);
    connect(ui->pushButton_devCon, &QPushButton::clicked, this, &QUserDlgFirmUpdate::slotConnect);
    connect(ui->pushButton_file, &QPushButton::clicked, this, &QUserDlgFirmUpdate::slotFileSelect);
}

void QUserDlgFirmUpdate::uiRefresh()
{
    if (m_connected) {
        ui->label_devInfo->setText(tr("设备信息:") + tr(" 硬件版本:") + QFirmPackage::versionText(m_devHw) +
                                   tr(" 固件版本:") + QFirmPackage::versionText(m_devFw));
        ui->pushButton_devCon->setText(tr("①断开连接"));
    } else {
        ui->label_devInfo->setText(tr("设备信息:") + tr("未知"));
        ui->pushButton_devCon->setText(tr("①连接设备"));
    }
    ui->comboBox_devType->setEnabled(!m_connected);
    ui->comboBox_devIndex->setEnabled(!m_connected);
    if (m_connected && m_pkgOk) {
        ui->pushButton_start->setEnabled(true);
        ui->pushButton_start->setText(m_updating ? tr("③停止") : tr("③开始"));
    } else {
        ui->pushButton_start->setEnabled(false);
    }
    ui->label_fileInfo->setText(m_pkgOk ? m_pkg.infoText() : tr("文件信息:") + tr("未知"));
}

void QUserDlgFirmUpdate::deviceLetGo()
{
    if (!m_worker)
        return;
    if (m_worker->isBusy())
        m_worker->updateStop();
    m_worker->linkOpen();
    if (m_worker->isLinkOpen()) {
        m_worker->updateReqOff();
        m_worker->linkClose();
    }
}

void QUserDlgFirmUpdate::workerRelease()
{
    if (!m_worker)
        return;
    deviceLetGo();
    m_worker->disconnect(this);
    delete m_worker; // waits for its thread
    m_worker = nullptr;
}

void QUserDlgFirmUpdate::slotConnect()
{
    if (!m_connected) {
        devConnect();
        return;
    }
    deviceLetGo();
    m_connected = 0;
    m_updating = 0;
    uiRefresh();
}

void QUserDlgFirmUpdate::devConnect()
{
    if (m_worker) {
        m_worker->disconnect(this);
        delete m_worker;
        m_worker = nullptr;
    }
    m_worker = new QFirmUpdateSrv(ui->comboBox_devType->currentText(), 0, ui->comboBox_devIndex->currentIndex());
    m_worker->setWaits(m_waits[0], m_waits[1], m_waits[2]);
    connect(m_worker, &QFirmUpdateSrv::updateResult, this, &QUserDlgFirmUpdate::slotUpdateResult);
    if (m_worker->linkOpen() != 0) {
        QUserMessageBox::msgError(this, tr("错误"), tr("设备打开失败"));
        return;
    }
    if (m_worker->versionGet(1) != 0) {
        m_worker->linkClose();
        QUserMessageBox::msgError(this, tr("错误"), tr("升级请求失败"));
        return;
    }
    m_devHw = m_worker->hwVersion();
    m_devFw = m_worker->fwVersion();
    m_connected = 1;
    uiRefresh();
}

void QUserDlgFirmUpdate::slotFileSelect()
{
    const QString path =
        QUserPrompt::instance()->getOpenFileName(this, tr("选择升级包"), QString(), QStringLiteral("(*.dat)"));
    if (path.isEmpty()) {
        QUserMessageBox::msgWarning(this, tr("警告"), QFirmPackage::checkText(QFirmPackage::NoFile));
        return;
    }
    ui->lineEdit_filePath->setText(path);
    QFirmPackage pkg;
    const QFirmPackage::Check c = QFirmPackage::inspect(path, &pkg);
    if (c != QFirmPackage::Accepted) {
        QUserMessageBox::msgWarning(this, tr("警告"), QFirmPackage::checkText(c));
        return;
    }
    m_pkg = pkg;
    m_pkgOk = 1;
    uiRefresh();
}

void QUserDlgFirmUpdate::slotStartUpdate()
{
    if (!m_worker)
        return;
    if (m_updating) {
        m_worker->updateStop();
        m_updating = 0;
        uiRefresh();
        return;
    }
    if (!m_connected || !m_pkgOk)
        return;
    if (m_devHw != m_pkg.hwVersion) {
        QUserMessageBox::msgWarning(this, tr("警告"), tr("升级失败，硬件版本不匹配!!!"));
        return;
    }
    // The package may have changed since it was chosen: one without a whole
    // segment and at least one image byte is refused before anything is sent.
    if (QFileInfo(m_pkg.path).size() < QFirmPackage::kMinSize) {
        QUserMessageBox::msgWarning(this, tr("警告"), QFirmPackage::checkText(QFirmPackage::SizeError));
        return;
    }
    m_worker->updateBegin(m_pkg.path);
    m_updating = 1;
    uiRefresh();
}

void QUserDlgFirmUpdate::slotUpdateResult(int msgType, int value, QString tipStr)
{
    switch (msgType) {
    case 0:
        logLine(QStringLiteral("Firm Update Result:Start..."));
        break;
    case 1:
        ui->progressBar_update->setValue(value);
        break;
    case 2:
        m_updating = 0;
        if (value == 1) {
            logLine(QStringLiteral("Firm Update Success..."));
            QUserMessageBox::msgCheck(this, tr("升级完成"), tr("恭喜您升级成功!\r\n请重启设备!!!"));
        } else {
            logLine(QStringLiteral("Firm Update Fail..."));
            QUserMessageBox::msgError(this, tr("错误"), tipStr);
        }
        uiRefresh();
        break;
    default:
        break;
    }
}

void QUserDlgFirmUpdate::slotCancelExit()
{
    workerRelease();
    if (m_frame)
        m_frame->dlgDone(0);
}
