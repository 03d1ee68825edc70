#pragma once
// Base of every long frame / record table: the subclass keeps the whole list
// (the cache) and fills only a window of windowSize rows starting at
// windowStart into the item rows. QUserTableView drives the window.

#include <QStandardItemModel>

class QUserTableModel : public QStandardItemModel
{
    Q_OBJECT

public:
    explicit QUserTableModel(QObject *parent = nullptr);

    virtual int cacheCount() = 0;

    bool setScrollState(bool on);
    bool scrollState() const { return m_scrollState; }
    void setPause(bool paused);
    bool pause() const { return m_pause; }
    int windowStart() const { return m_windowStart; }
    int windowSize() const { return m_windowSize; }
    void windowFollow(int rowsAdded);
    // After a move of the user's: the window follows new rows again only
    // when the last cache row is in view (as a terminal does).
    void followCheck();
    bool following() const { return m_follow; }
    void rowCountNotify();
    void setWindowSize(int rows);
    void scrollTo(bool top, int row);

public slots:
    virtual void windowUpdate() = 0;

signals:
    void userRowChangeEvent(int total);

protected:
    // Rows the window should hold now: min(windowSize, cacheCount - windowStart), never negative.
    int windowRowsWanted();

    bool m_scrollState = true;
    bool m_pause = false;
    bool m_follow = true;
    int m_windowStart = 0;
    int m_windowSize = 20;
};
