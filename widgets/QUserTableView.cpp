#include "widgets/QUserTableView.h"

#include "widgets/QUserTableModel.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

QUserTableView::QUserTableView(QWidget *parent) : QTableView(parent)
{
    vScrollBar = new QScrollBar(Qt::Vertical);
    vScrollBar->setFocusPolicy(Qt::WheelFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(vScrollBar, &QScrollBar::sliderMoved, this, &QUserTableView::slotTableVScrollBarMoved);
    connect(vScrollBar, &QScrollBar::sliderPressed, this, &QUserTableView::slotTableVScrollBarPressed);
    connect(vScrollBar, &QScrollBar::sliderReleased, this, &QUserTableView::slotTableVScrollBarReleased);
    // A host that deletes the bar itself (with its own layout widget) must
    // not leave the view a dangling pointer to delete again.
    connect(vScrollBar, &QObject::destroyed, this, [this]() { vScrollBar = nullptr; });
}

QUserTableView::~QUserTableView()
{
    if (vScrollBar)
        vScrollBar->disconnect(this);
    delete vScrollBar;
    vScrollBar = nullptr;
}

int QUserTableView::itemRows() const
{
    return userModel ? userModel->rowCount() : 0;
}

bool QUserTableView::hasRows() const
{
    return ready() && itemRows() != 0;
}

bool QUserTableView::currentIndexValid() const
{
    QModelIndex idx = currentIndex();
    return idx.isValid() && idx.row() >= 0 && idx.column() >= 0 && idx.model();
}

void QUserTableView::setUserModel(QUserTableModel *model)
{
    userModel = model;
    setModel(model);
    if (!model)
        return;
    model->setRowCount(2);
    rowHeightPx = rowHeight(0);
    if (rowHeightPx == 0)
        rowHeightPx = 1;
    model->setRowCount(0);
    connect(this, &QAbstractItemView::clicked, this, &QUserTableView::slotTableClicked);
    connect(model, &QUserTableModel::userRowChangeEvent, this, &QUserTableView::slotRowCountChange);
    const QSize s = size();
    resize(s.width() - 1, s.height() - 1);
    resize(s);
}

void QUserTableView::currentRowSync()
{
    if (!ready())
        return;
    const int rows = itemRows();
    if (rows == 0)
        curRow = 0;
    const int start = userModel->windowStart();
    if (start <= curRow && curRow < start + rows) {
        const int w = curRow - start;
        if (w == selWindowRow)
            return;
        selectRow(w);
        selWindowRow = w;
        rowMarked = true;
    } else if (rowMarked) {
        reset();
        rowMarked = false;
    }
}

void QUserTableView::scrollBarSync()
{
    if (vScrollBar)
        vScrollBar->setValue(curRow);
}

void QUserTableView::slotRowCountChange(int total)
{
    if (!vScrollBar)
        return;
    // A bar the host never placed has no parent: showing it would open a
    // window of its own.
    const bool placed = vScrollBar->parentWidget() != nullptr;
    if (total != 0) {
        vScrollBar->setRange(0, total);
        if (placed && vScrollBar->isHidden())
            vScrollBar->show();
    } else if (placed && !vScrollBar->isHidden()) {
        vScrollBar->hide();
    }
    if (!barHeld) {
        // The handle shows where the window is, also when the window
        // follows new rows on its own.
        if (userModel)
            vScrollBar->setValue(userModel->windowStart());
        currentRowSync();
    }
}

void QUserTableView::slotTableClicked(const QModelIndex &index)
{
    if (!index.isValid() || index.row() < 0 || index.column() < 0 || !index.model() || !ready())
        return;
    rowMarked = true;
    selWindowRow = -1;
    curRow = index.row() + userModel->windowStart();
}

void QUserTableView::slotTableVScrollBarMoved(int value)
{
    if (!hasRows() || value < 0)
        return;
    const int count = userModel->cacheCount();
    if (value >= count)
        value = count - 1;
    userModel->scrollTo(true, value);
    userModel->followCheck();
    currentRowSync();
}

void QUserTableView::rowScroll(int row)
{
    slotTableVScrollBarMoved(row);
}

void QUserTableView::slotTableVScrollBarPressed()
{
    barHeld = true;
    if (userModel)
        userModel->setPause(true);
}

void QUserTableView::slotTableVScrollBarReleased()
{
    barHeld = false;
    setFocus(Qt::OtherFocusReason);
    if (userModel) {
        userModel->followCheck();
        userModel->setPause(false);
    }
}

void QUserTableView::rowLocate(int row)
{
    if (!hasRows() || row < 0)
        return;
    const int count = userModel->cacheCount();
    if (row >= count)
        row = count - 1;
    userModel->scrollTo(true, row);
    selWindowRow = -1;
    curRow = row;
    userModel->followCheck();
    currentRowSync();
}

void QUserTableView::rowUp()
{
    if (!hasRows() || !currentIndexValid())
        return;
    if (curRow > 0)
        curRow -= 1;
    if (currentIndex().row() == 0) {
        userModel->scrollTo(true, curRow);
        vScrollBar->setValue(curRow);
    }
    userModel->followCheck();
    currentRowSync();
}

void QUserTableView::rowDown()
{
    if (!hasRows() || !currentIndexValid())
        return;
    if (curRow < userModel->cacheCount() - 1)
        curRow += 1;
    if (currentIndex().row() == itemRows() - 1) {
        userModel->scrollTo(false, curRow);
        vScrollBar->setValue(curRow);
    }
    userModel->followCheck();
    currentRowSync();
}

void QUserTableView::pageUp()
{
    if (!hasRows())
        return;
    curRow -= vScrollBar->pageStep();
    if (curRow < 0)
        curRow = 0;
    userModel->scrollTo(true, curRow);
    vScrollBar->setValue(curRow);
    userModel->followCheck();
    currentRowSync();
}

void QUserTableView::pageDown()
{
    if (!hasRows())
        return;
    const int count = userModel->cacheCount();
    curRow += vScrollBar->pageStep();
    if (curRow >= count)
        curRow = count - 1;
    userModel->scrollTo(true, curRow);
    vScrollBar->setValue(curRow);
    userModel->followCheck();
    currentRowSync();
}

void QUserTableView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        rowUp();
        break;
    case Qt::Key_Down:
        rowDown();
        break;
    case Qt::Key_Left:
    case Qt::Key_PageUp:
        pageUp();
        break;
    case Qt::Key_Right:
    case Qt::Key_PageDown:
        pageDown();
        break;
    default:
        break;
    }
    // Never handed on: Home, End, letters and the rest do nothing here.
    event->accept();
}

void QUserTableView::wheelEvent(QWheelEvent *event)
{
    if (!event)
        return;
    event->accept();
    if (!vScrollBar)
        return;
    const QPoint a = event->angleDelta();
    const int delta = a.y() != 0 ? a.y() : a.x();
    if (delta <= 0)
        vScrollBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    else
        vScrollBar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    if (!hasRows() || vScrollBar->value() < 0)
        return;
    int value = vScrollBar->value();
    const int count = userModel->cacheCount();
    if (value >= count)
        value = count - 1;
    userModel->scrollTo(true, value);
    userModel->followCheck();
    currentRowSync();
}

void QUserTableView::resizeEvent(QResizeEvent *event)
{
    QAbstractItemView::resizeEvent(event);
    if (!event || !ready())
        return;
    // The rows' height, or without rows the height new rows get (a host may
    // change it with the view's width).
    if (itemRows() > 0 && rowHeight(0) != 0)
        rowHeightPx = rowHeight(0);
    else if (verticalHeader()->defaultSectionSize() > 0)
        rowHeightPx = verticalHeader()->defaultSectionSize();
    windowRows = event->size().height() / rowHeightPx;
    userModel->setWindowSize(windowRows);
    vScrollBar->setSingleStep(1);
    vScrollBar->setPageStep(windowRows);
}

void QUserTableView::dropEvent(QDropEvent *event)
{
    const QMimeData *mime = event ? event->mimeData() : nullptr;
    if (!mime)
        return;
    emit userDropEvent(mime->text(), mime->html());
}

void QUserTableView::selectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    if (!selected.isEmpty())
        QTableView::selectionChanged(selected, deselected);
}
