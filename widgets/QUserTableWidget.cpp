#include "widgets/QUserTableWidget.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QWheelEvent>

QUserTableWidget::QUserTableWidget() : QTableWidget(nullptr) {}

void QUserTableWidget::wheelEvent(QWheelEvent *event)
{
    emit userWheelEvent(event);
    QAbstractScrollArea::wheelEvent(event);
}

void QUserTableWidget::keyPressEvent(QKeyEvent *event)
{
    emit userKeyPressEvent(event);
    QAbstractItemView::keyPressEvent(event);
}

void QUserTableWidget::dropEvent(QDropEvent *event)
{
    const QMimeData *mime = event ? event->mimeData() : nullptr;
    if (!mime)
        return;
    emit userDropEvent(mime->text(), mime->html());
}
