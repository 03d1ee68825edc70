#include "dbc/QUserTableModelDBC.h"

#include "core/QUserCanMsg.h"

#include <QBrush>
#include <QDateTime>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kRefreshMs = 100;

} // namespace

QUserTableModelDBC::QUserTableModelDBC() : QUserTableModel(nullptr)
{
    lastRefresh = getCurrentMs();
    refreshTimer = new QTimer;
    refreshTimer->setSingleShot(true);
    connect(refreshTimer, &QTimer::timeout, this, &QUserTableModelDBC::windowUpdate);
}

QUserTableModelDBC::~QUserTableModelDBC()
{
    refreshTimer->stop();
    delete refreshTimer;
    refreshTimer = nullptr;
    qDeleteAll(rows);
    rows.clear();
}

int QUserTableModelDBC::cacheCount()
{
    return rows.size();
}

const QUserDbcSignal *QUserTableModelDBC::signalAt(int row) const
{
    return rowValid(row) ? rows.at(row) : nullptr;
}

bool QUserTableModelDBC::refreshPending() const
{
    return refreshTimer && refreshTimer->isActive();
}

bool QUserTableModelDBC::inWindow(int row) const
{
    return row >= m_windowStart && row <= m_windowStart + m_windowSize;
}

void QUserTableModelDBC::refreshIfShown(int row)
{
    if (inWindow(row) || inWindow(row + 1))
        windowUpdate();
}

int QUserTableModelDBC::signalAppend(const QUserDbcSignal &sig)
{
    rows.append(new QUserDbcSignal(sig));
    windowFollow(1);
    const int n = rows.size();
    if (inWindow(n - 1) || inWindow(n))
        windowUpdate();
    if (m_scrollState) {
        windowUpdate();
        emit userRowChangeEvent(n);
    }
    return 1;
}

int QUserTableModelDBC::signalSet(int row, const QUserDbcSignal &sig)
{
    if (!rowValid(row))
        return -1;
    *rows[row] = sig;
    refreshIfShown(row);
    return 0;
}

int QUserTableModelDBC::signalRemove(int row)
{
    if (!rowValid(row))
        return -1;
    delete rows.at(row);
    rows.remove(row);
    refreshIfShown(row);
    emit userRowChangeEvent(rows.size());
    return 0;
}

int QUserTableModelDBC::signalSwap(int rowA, int rowB)
{
    if (!rowValid(rowA) || !rowValid(rowB))
        return -1;
    std::swap(rows[rowA], rows[rowB]);
    refreshIfShown(rowA);
    refreshIfShown(rowB);
    return 0;
}

int QUserTableModelDBC::chartEnableSet(int row, bool on)
{
    if (!rowValid(row))
        return -1;
    rows[row]->chartEnable = on ? 1 : 0;
    return 0;
}

int QUserTableModelDBC::timeSet(int row, qint64 ms)
{
    if (!rowValid(row))
        return -1;
    rows[row]->nChartTime = ms;
    windowUpdate();
    return 0;
}

int QUserTableModelDBC::rawValueSet(int row, qint64 raw)
{
    if (!rowValid(row))
        return -1;
    rows[row]->nRawValue = raw;
    windowUpdate();
    return 0;
}

int QUserTableModelDBC::physicalValueSet(int row, double value)
{
    if (!rowValid(row))
        return -1;
    rows[row]->nPhysicalValue = value;
    windowUpdate();
    return 0;
}

int QUserTableModelDBC::valuesSet(int row, qint64 ms, qint64 raw, double value)
{
    if (!rowValid(row))
        return -1;
    QUserDbcSignal *s = rows[row];
    s->nChartTime = ms;
    s->nRawValue = raw;
    s->nPhysicalValue = value;
    // While the refresh timer runs a refresh is already on its way and will
    // show this value: the clock need not be read for every value.
    if (!refreshTimer->isActive())
        windowUpdate();
    return 0;
}

int QUserTableModelDBC::clearAll()
{
    const int n = rows.size();
    qDeleteAll(rows);
    rows.clear();
    m_windowStart = 0;
    windowUpdate();
    return n;
}

int QUserTableModelDBC::clear()
{
    clearAll();
    emit userRowChangeEvent(0);
    windowUpdate();
    return 1;
}

QStandardItem *QUserTableModelDBC::cell(int tableRow, int column)
{
    QStandardItem *it = item(tableRow, column);
    if (!it) {
        it = new QStandardItem;
        if (column == ColChart)
            it->setCheckable(true);
        setItem(tableRow, column, it);
    }
    return it;
}

void QUserTableModelDBC::rowFill(int tableRow, int cacheRow)
{
    const QUserDbcSignal &s = *rows.at(cacheRow);
    cell(tableRow, ColIndex)->setText(QString::number(cacheRow));
    cell(tableRow, ColName)->setText(s.strName);
    if (s.color.split(QLatin1Char(',')).size() > 1) {
        QStandardItem *c = cell(tableRow, ColColor);
        c->setText(s.color);
        c->setTextAlignment(Qt::AlignCenter);
    }
    cell(tableRow, ColChart)->setCheckState(s.chartEnable ? Qt::Checked : Qt::Unchecked);
    const QBrush ink(s.isValid() ? Qt::black : Qt::red);
    QStandardItem *raw = cell(tableRow, ColRaw);
    raw->setText(s.rawHexText());
    raw->setForeground(ink);
    QString phys = QString::number(s.nPhysicalValue, 'g', 16);
    if (!s.unit.isEmpty())
        phys += QLatin1Char(' ') + s.unit;
    QStandardItem *p = cell(tableRow, ColPhysical);
    p->setText(phys);
    p->setForeground(ink);
    cell(tableRow, ColMin)->setText(QString::number(s.nMin, 'g', 16));
    cell(tableRow, ColMax)->setText(QString::number(s.nMax, 'g', 16));
    cell(tableRow, ColTime)->setText(QDateTime::fromMSecsSinceEpoch(s.nChartTime).toString(QStringLiteral("hh:mm:ss:zzz")));
    cell(tableRow, ColFrame)->setText(tr("双击查看报文"));
}

void QUserTableModelDBC::windowUpdate()
{
    const qint64 now = getCurrentMs();
    const qint64 since = now - lastRefresh;
    if (since >= 0 && since < kRefreshMs) {
        if (!refreshTimer->isActive())
            refreshTimer->start(kRefreshMs);
        return;
    }
    lastRefresh = now;
    if (refreshTimer->isActive())
        refreshTimer->stop();
    ++refreshes;
    const int count = rows.size();
    if (m_windowStart > count)
        m_windowStart = std::max(0, count - m_windowSize);
    const int shown = std::max(0, std::min(m_windowSize, count - m_windowStart));
    setRowCount(shown);
    for (int i = m_windowStart; i < m_windowStart + m_windowSize && i < count; ++i)
        rowFill(i - m_windowStart, i);
}
