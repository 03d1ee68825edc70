#pragma once
// Small helpers of the widget tests: synthetic mouse events with explicit
// global positions (the offscreen platform has no real cursor) and event
// processing.

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QtTest/QTest>

namespace wt {

inline void mouse(QWidget *w, QEvent::Type type, QPoint local, QPoint global, Qt::MouseButton button,
                  Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(local), QPointF(local), QPointF(global), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

inline void press(QWidget *w, QPoint local, QPoint global, Qt::MouseButton b = Qt::LeftButton)
{
    mouse(w, QEvent::MouseButtonPress, local, global, b, b);
}

inline void move(QWidget *w, QPoint local, QPoint global, Qt::MouseButtons held = Qt::LeftButton)
{
    mouse(w, QEvent::MouseMove, local, global, Qt::NoButton, held);
}

inline void release(QWidget *w, QPoint local, QPoint global, Qt::MouseButton b = Qt::LeftButton)
{
    mouse(w, QEvent::MouseButtonRelease, local, global, b, Qt::NoButton);
}

inline void doubleClick(QWidget *w, QPoint local, QPoint global)
{
    mouse(w, QEvent::MouseButtonDblClick, local, global, Qt::LeftButton, Qt::LeftButton);
}

// Runs posted events, deferred deletes included.
inline void flush()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace wt
