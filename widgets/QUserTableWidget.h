#pragma once
// Table widget that hands drops, keys and wheel turns to its window as signals.

#include <QTableWidget>

class QUserTableWidget : public QTableWidget
{
    Q_OBJECT

public:
    QUserTableWidget();

signals:
    void userDropEvent(QString text, QString html);
    void userKeyPressEvent(QKeyEvent *event);
    void userWheelEvent(QWheelEvent *event);

protected:
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dropEvent(QDropEvent *event) override;
};
