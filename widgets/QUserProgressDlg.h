#pragma once
// A frameless progress dialog that can be dragged by any part of it.

#include <QPoint>
#include <QProgressDialog>

class QUserProgressDlg : public QProgressDialog
{
public:
    QUserProgressDlg();

    bool draggingState() const { return dragging; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QPoint dragOffset;
    bool dragging = false;
};
