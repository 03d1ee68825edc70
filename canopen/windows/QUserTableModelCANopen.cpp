#include "canopen/windows/QUserTableModelCANopen.h"

#include "core/QUserCanMsg.h"
#include "core/QUserSysCfg.h"

#include <QDebug>
#include <QStandardItem>
#include <QTimer>

#include <algorithm>
#include <limits>

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
    const QString key = QLatin1String(kCacheKey);
    if (cfg->getString(key).isNull())
        cfg->setInt(key, kDefaultCacheSize);
    // A text that is no whole number, or a negative one, is no bound: the
    // default, with a log line (the data tab reads the key the same way).
    // 0 still keeps the newest entry.
    const int n = cfg->getIntBounded(key, 0, std::numeric_limits<int>::max(), kDefaultCacheSize);
    limit = std::min(n, int(kCacheSizeMax));
    if (limit != n)
        qDebug().noquote() << "QUserTableModelCANopen >"
                           << QStringLiteral("msgCacheSize %1 above the maximum, %2 used").arg(n).arg(limit);
}

// Memory is taken as entries arrive, never for the whole limit at once: the
// limit may be ten million entries.
void QUserTableModelCANopen::ringReset()
{
    std::deque<Entry>().swap(ring);
}

int QUserTableModelCANopen::logAppend(const QString &messageText, const QString &description)
{
    return logAppend(QString(messageText), QString(description));
}

int QUserTableModelCANopen::logAppend(QString &&messageText, QString &&description)
{
    // A limit below 1 still keeps the newest entry.
    const size_t cap = size_t(std::max(limit, 1));
    while (ring.size() >= cap)
        ring.pop_front();
    ring.emplace_back(std::move(messageText), std::move(description));
    appended();
    return 1;
}

void QUserTableModelCANopen::appended()
{
    windowFollow(1);
    if (m_scrollState) {
        windowUpdate();
        emit userRowChangeEvent(int(ring.size()));
    }
}

int QUserTableModelCANopen::clear()
{
    ringReset();
    m_windowStart = 0;
    windowUpdate();
    emit userRowChangeEvent(0);
    settingLoad();
    return 1;
}

int QUserTableModelCANopen::logExport(QList<Entry> &out) const
{
    out.clear();
    out.reserve(int(ring.size()));
    for (const Entry &e : ring)
        out.append(e);
    return int(ring.size());
}

const QUserTableModelCANopen::Entry *QUserTableModelCANopen::entryAt(int i) const
{
    if (i < 0 || size_t(i) >= ring.size())
        return nullptr;
    return &ring[size_t(i)];
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
