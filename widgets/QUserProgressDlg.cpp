#include "widgets/QUserProgressDlg.h"

#include "resources/OrvaneResources.h"

#include <QIcon>
#include <QMouseEvent>
#include <QPainter>

QUserProgressDlg::QUserProgressDlg() : QProgressDialog(nullptr, Qt::WindowFlags())
{
    orvaneResourcesInit();
    setWindowFlags(Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    // Without a frame, and with a see-through window, nothing paints behind
    // the dialog: it fills its own background (paintEvent), or its text
    // floats over the window beneath.
    setAutoFillBackground(true);
    setMinimumDuration(0);
    setWindowIcon(QIcon(QStringLiteral(":/res/msg_icon_info.png")));
    setRange(0, 100);
    setMinimumWidth(200);
    setCancelButtonText(QProgressDialog::tr("取消"));
    setAutoClose(false);
}

void QUserProgressDlg::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.end();
    QProgressDialog::paintEvent(event);
}

void QUserProgressDlg::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        dragging = true;
        dragOffset = event->globalPos() - pos();
        event->accept();
    }
}

void QUserProgressDlg::mouseMoveEvent(QMouseEvent *event)
{
    if (dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPos() - dragOffset);
        event->accept();
    }
}

void QUserProgressDlg::mouseReleaseEvent(QMouseEvent *event)
{
    Q_UNUSED(event);
    dragging = false;
}
