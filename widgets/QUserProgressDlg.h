#pragma once
// A frameless progress dialog that can be dragged by any part of it. It
// paints its own background and a thin border, since no window frame does.

#include <QPoint>
#include <QProgressDialog>

class QUserProgressDlg : public QProgressDialog
{
public:
    QUserProgressDlg();

    bool draggingState() const { return dragging; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QPoint dragOffset;
    bool dragging = false;
};
