#include "canopen/windows/QUserTableModelCANopen.h"

#include "core/QUserCanMsg.h"
#include "core/QUserSysCfg.h"

#include <QStandardItem>
#include <QTimer>

#include <algorithm>

namespace {
const char kCacheKey[] = "msgCacheSize";
}

QUserTableModelCANopen::QUserTableModelCANopen(QObject *parent) : QUserTableModel(parent)
{
    m_windowStart = 0;
    m_windowSize = 20;
    m_scrollState = true;
    m_pause = false;
    lastRefreshMs = getCurrentMs();
    settingLoad();
    ringReset();
    timer = new QTimer;
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &QUserTableModelCANopen::windowUpdate);
}

QUserTableModelCANopen::~QUserTableModelCANopen()
{
    timer->stop();
    delete timer;
    timer = nullptr;
}

void QUserTableModelCANopen::settingLoad()
{
    QUserSysCfg *cfg = QUserSysCfg::instance();
    int n = cfg->getInt(QLatin1String(kCacheKey));
    if (n == -1) {
        n = kDefaultCacheSize;
        cfg->setInt(QLatin1String(kCacheKey), n);
    }
    limit = n;
}

// The ring holds room for the whole limit at once, so that appends never
// grow it. A limit below 1 still keeps the newest entry.
void QUserTableModelCANopen::ringReset()
{
    std::vector<Entry>().swap(ring);
    ring.resize(size_t(std::max(limit, 1)));
    head = 0;
    count = 0;
}

int QUserTableModelCANopen::logAppend(const QString &messageText, const QString &description)
{
    return logAppend(QString(messageText), QString(description));
}

int QUserTableModelCANopen::logAppend(QString &&messageText, QString &&description)
{
    const size_t cap = ring.size();
    if (count >= size_t(std::max(limit, 0)) && count >= 1) {
        // Full: the oldest entry goes (its texts are released by the
        // assignment below when the ring is exactly full).
        ring[head] = Entry();
        head = (head + 1) % cap;
        --count;
    }
    Entry &slot = ring[(head + count) % cap];
    slot.first = std::move(messageText);
    slot.second = std::move(description);
    ++count;
    appended();
    return 1;
}

void QUserTableModelCANopen::appended()
{
    windowFollow(1);
    if (m_scrollState) {
        windowUpdate();
        emit userRowChangeEvent(int(count));
    }
}

int QUserTableModelCANopen::clear()
{
    for (Entry &e : ring)
        e = Entry();
    head = 0;
    count = 0;
    m_windowStart = 0;
    windowUpdate();
    emit userRowChangeEvent(0);
    const int before = limit;
    settingLoad();
    if (limit != before)
        ringReset();
    return 1;
}

int QUserTableModelCANopen::logExport(QList<Entry> &out) const
{
    out.clear();
    out.reserve(int(count));
    for (size_t i = 0; i < count; ++i)
        out.append(ring[(head + i) % ring.size()]);
    return int(count);
}

const QUserTableModelCANopen::Entry *QUserTableModelCANopen::entryAt(int i) const
{
    if (i < 0 || size_t(i) >= count)
        return nullptr;
    return &ring[(head + size_t(i)) % ring.size()];
}

bool QUserTableModelCANopen::refreshPending() const
{
    return timer && timer->isActive();
}

void QUserTableModelCANopen::windowUpdate()
{
    if (getElapsedMs(lastRefreshMs) < kRefreshMs) {
        if (!timer->isActive())
            timer->start(kRefreshMs);
        return;
    }
    lastRefreshMs = getCurrentMs();
    if (timer->isActive())
        timer->stop();
    rowsFill();
}

void QUserTableModelCANopen::rowsFill()
{
    ++refreshes;
    const int rows = windowRowsWanted();
    if (rowCount() != rows)
        setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        const int i = m_windowStart + r;
        const Entry *e = entryAt(i);
        if (!e)
            break;
        const QString cells[3] = {QString::number(i), e->first, e->second};
        for (int c = 0; c < 3; ++c) {
            QStandardItem *it = item(r, c);
            if (!it) {
                it = new QStandardItem(cells[c]);
                it->setEditable(false);
                setItem(r, c, it);
            } else if (it->text() != cells[c]) {
                it->setText(cells[c]);
            }
        }
    }
}
