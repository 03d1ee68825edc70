#include "widgets/uiStatusBar.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace {
QFrame *vline(QWidget *parent, const char *name)
{
    QFrame *f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setFrameShape(QFrame::VLine);
    f->setFrameShadow(QFrame::Sunken);
    return f;
}

QString tx(const char *text)
{
    return QApplication::translate("uiStatusBar", text);
}
} // namespace

void Ui_uiStatusBar::setupUi(QWidget *w)
{
    if (w->objectName().isEmpty())
        w->setObjectName(QStringLiteral("uiStatusBar"));
    w->resize(954, 25);
    verticalLayout = new QVBoxLayout(w);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(0);
    verticalLayout->setContentsMargins(0, 0, 0, 0);
    horizontalLayout = new QHBoxLayout;
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    int l, t, r, b;
    horizontalLayout->getContentsMargins(&l, &t, &r, &b);
    horizontalLayout->setContentsMargins(0, t, r, b);

    const Qt::Alignment left = Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter;
    line = vline(w, "line");
    horizontalLayout->addWidget(line);
    label_devInfo = new QLabel(w);
    label_devInfo->setObjectName(QStringLiteral("label_devInfo"));
    horizontalLayout->addWidget(label_devInfo);
    horizontalLayout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    line_2 = vline(w, "line_2");
    horizontalLayout->addWidget(line_2);
    label_txRate = new QLabel(w);
    label_txRate->setObjectName(QStringLiteral("label_txRate"));
    label_txRate->setAlignment(left);
    horizontalLayout->addWidget(label_txRate);
    horizontalLayout->addItem(new QSpacerItem(10, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    label_rxRate = new QLabel(w);
    label_rxRate->setObjectName(QStringLiteral("label_rxRate"));
    label_rxRate->setAlignment(left);
    horizontalLayout->addWidget(label_rxRate);
    horizontalLayout->addItem(new QSpacerItem(10, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    line_3 = vline(w, "line_3");
    horizontalLayout->addWidget(line_3);
    label_txCnt = new QLabel(w);
    label_txCnt->setObjectName(QStringLiteral("label_txCnt"));
    label_txCnt->setAlignment(left);
    horizontalLayout->addWidget(label_txCnt);
    horizontalLayout->addItem(new QSpacerItem(10, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    label_rxCnt = new QLabel(w);
    label_rxCnt->setObjectName(QStringLiteral("label_rxCnt"));
    label_rxCnt->setAlignment(left);
    horizontalLayout->addWidget(label_rxCnt);
    horizontalLayout->addItem(new QSpacerItem(10, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    line_5 = vline(w, "line_5");
    horizontalLayout->addWidget(line_5);
    pushButton_clr = new QPushButton(w);
    pushButton_clr->setObjectName(QStringLiteral("pushButton_clr"));
    pushButton_clr->setMaximumHeight(20);
    horizontalLayout->addWidget(pushButton_clr);
    horizontalLayout->addItem(new QSpacerItem(5, 20, QSizePolicy::Fixed, QSizePolicy::Minimum));
    verticalLayout->addLayout(horizontalLayout);

    retranslateUi(w);
    QMetaObject::connectSlotsByName(w);
}

void Ui_uiStatusBar::retranslateUi(QWidget *w)
{
    w->setWindowTitle(tx("Form"));
    label_devInfo->setText(tx("设备信息"));
    label_txRate->setText(tx("发送速率:0帧/秒"));
    label_rxRate->setText(tx("接收速率:0帧/秒"));
    label_txCnt->setText(tx("发送帧数:0帧"));
    label_rxCnt->setText(tx("接收帧数:0帧"));
    pushButton_clr->setText(tx("清空计数"));
}

uiStatusBar::uiStatusBar(QWidget *parent) : QWidget(parent)
{
    ui = new Ui_uiStatusBar;
    ui->setupUi(this);
    connect(ui->pushButton_clr, &QPushButton::clicked, this, &uiStatusBar::btnClrClick);
}

uiStatusBar::~uiStatusBar()
{
    delete ui;
}

void uiStatusBar::statusUpdate(const uiStatusBarInfo &info)
{
    if (info.txRate == shown.txRate && info.rxRate == shown.rxRate && info.txCount == shown.txCount
        && info.rxCount == shown.rxCount && info.devInfo == shown.devInfo && info.devAlarm == shown.devAlarm)
        return;
    if (info.devInfo != shown.devInfo) {
        shown.devInfo = info.devInfo;
        ui->label_devInfo->setText(info.devInfo);
    }
    if (info.devAlarm != shown.devAlarm) {
        shown.devAlarm = info.devAlarm;
        ui->label_devInfo->setStyleSheet(info.devAlarm ? QStringLiteral("color: rgb(200, 0, 0);") : QString());
    }
    if (info.txRate != shown.txRate) {
        shown.txRate = info.txRate;
        ui->label_txRate->setText(tx("发送帧率:") + QString::number(info.txRate) + tx("帧/秒"));
    }
    if (info.rxRate != shown.rxRate) {
        shown.rxRate = info.rxRate;
        ui->label_rxRate->setText(tx("接收帧率:") + QString::number(info.rxRate) + tx("帧/秒"));
    }
    if (info.txCount != shown.txCount) {
        shown.txCount = info.txCount;
        ui->label_txCnt->setText(tx("发送帧数:") + QString::number(info.txCount));
    }
    if (info.rxCount != shown.rxCount) {
        shown.rxCount = info.rxCount;
        ui->label_rxCnt->setText(tx("接收帧数:") + QString::number(info.rxCount));
    }
}
