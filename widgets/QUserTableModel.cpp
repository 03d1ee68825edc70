#include "widgets/QUserTableModel.h"

#include <algorithm>

QUserTableModel::QUserTableModel(QObject *parent) : QStandardItemModel(parent) {}

bool QUserTableModel::setScrollState(bool on)
{
    m_scrollState = on;
    return true;
}

void QUserTableModel::setPause(bool paused)
{
    m_pause = paused;
}

void QUserTableModel::windowFollow(int rowsAdded)
{
    Q_UNUSED(rowsAdded);
    const int count = cacheCount();
    // Everything fits (an emptied table too): the end is in view.
    if (count <= m_windowSize)
        m_follow = true;
    if (!m_scrollState || m_pause || !m_follow)
        return;
    m_windowStart = count > m_windowSize ? count - m_windowSize : 0;
}

void QUserTableModel::followCheck()
{
    m_follow = m_windowStart + m_windowSize >= cacheCount();
}

void QUserTableModel::rowCountNotify()
{
    emit userRowChangeEvent(cacheCount());
    windowUpdate();
}

void QUserTableModel::setWindowSize(int rows)
{
    m_windowSize = std::max(0, rows);
    windowUpdate();
}

void QUserTableModel::scrollTo(bool top, int row)
{
    const int count = cacheCount();
    if (top) {
        if (row >= count)
            row = count - 1;
        m_windowStart = row < 0 ? 0 : row;
    } else {
        if (row < m_windowSize)
            m_windowStart = 0;
        else
            m_windowStart = row - m_windowSize + 1;
    }
    windowUpdate();
}

int QUserTableModel::windowRowsWanted()
{
    const int rest = cacheCount() - m_windowStart;
    return std::max(0, std::min(m_windowSize, rest));
}
