#include "widgets/QUserTreeWidget.h"

#include <QDrag>
#include <QDropEvent>
#include <QFontMetrics>
#include <QMimeData>
#include <QPainter>
#include <QStyle>
#include <QWindow>
#include <cmath>

namespace {
// Lets dragItemPixmap reach the protected item options of any view.
class ViewAccess : public QAbstractItemView
{
public:
    using QAbstractItemView::viewOptions;
};
} // namespace

QUserTreeWidget::QUserTreeWidget(QWidget *parent) : QTreeWidget(parent) {}

int QUserTreeWidget::topLevelTextWidth(const QString &text, const QFont &font) const
{
    const int textMargin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    return (rootIsDecorated() ? indentation() : 0) + QFontMetrics(font).horizontalAdvance(text) + 2 * textMargin +
           2 * frameWidth() + 2;
}

void QUserTreeWidget::dropEvent(QDropEvent *event)
{
    emit userDropEvent(event);
}

QMimeData *QUserTreeWidget::dragMimeData() const
{
    const QModelIndexList indexes = selectedIndexes();
    if (indexes.isEmpty())
        return nullptr;
    QMimeData *mime = model()->mimeData(indexes);
    if (!mime)
        return nullptr;
    QTreeWidgetItem *item = currentItem();
    if (!item) {
        delete mime;
        return nullptr;
    }
    if (item->parent())
        mime->setText(item->parent()->text(0));
    else
        mime->setText(QString());
    mime->setHtml(item->text(0));
    return mime;
}

void QUserTreeWidget::startDrag(Qt::DropActions supportedActions)
{
    const QModelIndexList indexes = selectedIndexes();
    if (indexes.isEmpty())
        return;
    QMimeData *mime = dragMimeData();
    if (!mime)
        return;
    QPixmap pixmap = dragItemPixmap(this, indexes.first());
    QDrag *drag = new QDrag(this);
    drag->setPixmap(pixmap);
    drag->setMimeData(mime);
    drag->setHotSpot(QPoint(pixmap.width() / 2, pixmap.height() / 2));
    drag->exec(supportedActions | Qt::CopyAction | Qt::MoveAction);
}

QPixmap dragItemPixmap(QAbstractItemView *view, const QModelIndex &index)
{
    if (!view || !index.isValid())
        return QPixmap();
    const QRect viewportRect(0, 0, view->viewport()->width(), view->viewport()->height());
    QRect visual = view->visualRect(index);
    QRect rect = visual.intersects(viewportRect) ? visual : QRect();
    rect = rect.intersected(viewportRect);

    qreal scale = 1.0;
    if (QWidget *top = view->window())
        if (QWindow *handle = top->windowHandle())
            scale = handle->devicePixelRatio();

    const int w = int(std::floor(rect.width() * scale + 0.5));
    const int h = int(std::floor(rect.height() * scale + 0.5));
    QPixmap pixmap(w, h);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    if (w <= 0 || h <= 0)
        return pixmap;

    // The options are protected; reach them through a member pointer taken
    // via the access class (no cast of the view itself).
    QStyleOptionViewItem (QAbstractItemView::*options)() const = &ViewAccess::viewOptions;
    QStyleOptionViewItem option = (view->*options)();
    option.rect = visual.translated(-rect.topLeft());
    option.state |= QStyle::State_Selected;
    QPainter painter(&pixmap);
    view->itemDelegate(index)->paint(&painter, option, index);
    return pixmap;
}
