// The "快捷操作" page of the CANopen window: user-defined one-line frames,
// each with a comment and a button that sends it once on the channel.
#include "canopen/windows/QUserMainWindowCANopen.h"

#include "canopen/QUserCANopenFastOpt.h"
#include "canopen/QUserCANopenUiSetting.h"
#include "devices/QUserDeviceAdapter.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalMapper>
#include <QTabWidget>
#include <QVBoxLayout>

QWidget *QUserMainWindowCANopen::fastOptPageCreat()
{
    if (!fastOptMapper) {
        fastOptMapper = new QSignalMapper(this);
        connect(fastOptMapper, &QSignalMapper::mappedInt, this, &QUserMainWindowCANopen::slotFastOptSend);
    }
    QScrollArea *area = new QScrollArea;
    area->setObjectName(QStringLiteral("scrollAreaFastOpt"));
    area->setAlignment(Qt::AlignRight);
    area->setWidgetResizable(true);
    QWidget *page = new QWidget;
    QPalette pal = page->palette();
    pal.setBrush(QPalette::Window, Qt::white);
    page->setPalette(pal);
    page->setAutoFillBackground(true);
    QVBoxLayout *layout = new QVBoxLayout(page);

    QHBoxLayout *header = new QHBoxLayout;
    QLabel *no = new QLabel(tr("序号"));
    no->setFixedWidth(32);
    header->addWidget(no);
    QLabel *msg = new QLabel(tr("CAN报文"));
    msg->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    header->addWidget(msg, 3);
    header->addWidget(new QLabel(tr("说明")), 2);
    QPushButton *help = new QPushButton(tr("帮助?"));
    help->setObjectName(QStringLiteral("pushButtonFastOptHelp"));
    connect(help, &QPushButton::clicked, this, &QUserMainWindowCANopen::slotFastOptHelp);
    header->addWidget(help);
    header->addStretch();
    layout->addLayout(header);

    QList<QUserCANopenFastOpt> &rows = uiSetting->fastOptList;
    for (int i = 0; i < rows.size(); ++i) {
        QUserCANopenFastOpt &row = rows[i];
        QHBoxLayout *line = new QHBoxLayout;
        QLabel *number = new QLabel(QString::asprintf("%02d", i));
        number->setFixedWidth(32);
        line->addWidget(number);
        row.msgEdit = new QLineEdit(row.msgText);
        row.msgEdit->setObjectName(QStringLiteral("lineEditFastOptMsg%1").arg(i));
        row.descEdit = new QLineEdit(row.descText);
        row.descEdit->setObjectName(QStringLiteral("lineEditFastOptDesc%1").arg(i));
        row.sendButton = new QPushButton(tr("发送"));
        row.sendButton->setObjectName(QStringLiteral("pushButtonFastOptSend%1").arg(i));
        line->addWidget(row.msgEdit, 3);
        line->addWidget(row.descEdit, 2);
        line->addWidget(row.sendButton);
        connect(row.sendButton, &QPushButton::clicked, fastOptMapper, qOverload<>(&QSignalMapper::map));
        fastOptMapper->setMapping(row.sendButton, i);
        layout->addLayout(line);
    }
    layout->addStretch();
    area->setWidget(page);
    return area;
}

// A changed row count rebuilds this page only; the other pages and their
// state (logs, dictionary, listen list) stay as they are.
void QUserMainWindowCANopen::fastOptPageRebuild()
{
    if (!rightTab || !fastOptPage)
        return;
    const int current = rightTab->currentIndex();
    const bool blocked = rightTab->blockSignals(true);
    QWidget *old = fastOptPage;
    for (QUserCANopenFastOpt &row : uiSetting->fastOptList) {
        if (row.sendButton)
            fastOptMapper->removeMappings(row.sendButton);
        row.msgEdit = nullptr;
        row.descEdit = nullptr;
        row.sendButton = nullptr;
    }
    const int at = rightTab->indexOf(old);
    rightTab->removeTab(at);
    delete old;
    fastOptPage = fastOptPageCreat();
    rightTab->insertTab(at < 0 ? 0 : at, fastOptPage, tr("快捷操作"));
    rightTab->setCurrentIndex(current);
    rightTab->blockSignals(blocked);
}

bool QUserMainWindowCANopen::fastOptMsgCheck(const QString &text) const
{
    return QUserCANopenFastOpt::msgCheck(text);
}

bool QUserMainWindowCANopen::fastOptMsgParse(int row, QUserCanMsg &frame) const
{
    const QList<QUserCANopenFastOpt> &rows = uiSetting->fastOptList;
    if (row < 0 || row >= rows.size())
        return false;
    return QUserCANopenFastOpt::msgParse(rows[row].msgText, frame);
}

void QUserMainWindowCANopen::slotFastOptSend(int row)
{
    uiSetting->fastOptSave();
    QUserCanMsg frame;
    frame.sendType = 0;
    frame.status = MsgTagCanOpen;
    if (!fastOptMsgParse(row, frame))
        return;
    if (!sendOne(frame))
        qDebug() << "ERROR:DBC Msg Send Fail,CanMsg Send Fail ...";
}
