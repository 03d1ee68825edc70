#include "traffic/windows/QUserTableModelCANWatch.h"

#include "core/QFClassUserCanMsg.h"
#include "core/QUserCanMsg.h"
#include "core/QUserSysCfg.h"
#include "resources/OrvaneResources.h"

#include <QDateTime>
#include <QIcon>
#include <QStandardItem>
#include <QTimer>

#include <climits>

namespace {

const QIcon &protocolIcon(int protocol)
{
    static const QIcon none;
    static const QIcon fd(QStringLiteral(":/res/fd.png"));
    static const QIcon brs(QStringLiteral(":/res/brs.png"));
    if (protocol == 1)
        return fd;
    if (protocol == 2)
        return brs;
    return none;
}

// "hh:mm:ss:zzz" of a host time in local time. The zone's offset is looked
// up once per window of rows (a lookup reads the zone data each time); a row
// more than an hour away from the row it was looked up for (a daylight
// saving change may lie between) looks it up itself.
class LocalClock
{
public:
    QString text(int64_t ms)
    {
        if (!known_ || ms < at_ - kHour || ms > at_ + kHour) {
            const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
            if (!known_) {
                known_ = true;
                at_ = ms;
                offsetMs_ = int64_t(local.offsetFromUtc()) * 1000;
            } else {
                return local.toString(QStringLiteral("hh:mm:ss:zzz"));
            }
        }
        int64_t day = (ms + offsetMs_) % kDay;
        if (day < 0)
            day += kDay;
        const int h = int(day / 3600000);
        const int m = int(day / 60000 % 60);
        const int sec = int(day / 1000 % 60);
        const int milli = int(day % 1000);
        const QChar t[12] = {QChar('0' + h / 10), QChar('0' + h % 10), QChar(':'), QChar('0' + m / 10),
                             QChar('0' + m % 10), QChar(':'), QChar('0' + sec / 10), QChar('0' + sec % 10),
                             QChar(':'), QChar('0' + milli / 100), QChar('0' + milli / 10 % 10), QChar('0' + milli % 10)};
        return QString(t, 12);
    }

private:
    static constexpr int64_t kHour = 3600000;
    static constexpr int64_t kDay = 86400000;
    bool known_ = false;
    int64_t at_ = 0;
    int64_t offsetMs_ = 0;
};

void setCell(QStandardItemModel *model, int row, int column, const QString &text)
{
    if (QStandardItem *it = model->item(row, column)) {
        if (it->text() != text)
            it->setText(text);
    } else {
        model->setItem(row, column, new QStandardItem(text));
    }
}

} // namespace

QUserTableModelCANWatch::QUserTableModelCANWatch(QObject *parent) : QUserTableModel(parent)
{
    orvaneResourcesInit();
    m_windowSize = 20;
    m_windowStart = 0;
    loadSettings();
    timer = new QTimer;
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, &QUserTableModelCANWatch::windowUpdate);
    m_scrollState = true;
    m_pause = false;
    lastRefresh = getCurrentMs();
}

QUserTableModelCANWatch::~QUserTableModelCANWatch()
{
    timer->stop();
    delete timer;
    timer = nullptr;
    if (cache)
        cache->close();
}

void QUserTableModelCANWatch::loadSettings()
{
    QUserSysCfg *cfg = QUserSysCfg::instance();
    lang = cfg->getString(QStringLiteral("language")) == QLatin1String("ZH") ? 0 : 1;
    idFmt = cfg->getInt(QStringLiteral("cw_msgIdFormat"));
    dataFmt = cfg->getInt(QStringLiteral("cw_msgDataFormat"));
}

bool QUserTableModelCANWatch::isCacheOpen() const { return cache && cache->isOpened(); }

int QUserTableModelCANWatch::cacheCount()
{
    if (!cache)
        return 0;
    const uint64_t n = cache->getMsgCount();
    return n > uint64_t(INT_MAX) ? INT_MAX : int(n);
}

int QUserTableModelCANWatch::windowStartMax()
{
    return qMax(0, cacheCount() - m_windowSize);
}

void QUserTableModelCANWatch::scrollRangeReport()
{
    const int maximum = windowStartMax();
    if (maximum == rangeReported)
        return;
    rangeReported = maximum;
    emit scrollRangeChange(maximum);
}

bool QUserTableModelCANWatch::cacheFileOpen(const QString &path)
{
    if (!cache)
        cache = std::make_unique<QFClassUserCanMsg>();
    cache->open(true, path);
    windowUpdate();
    emit userRowChangeEvent(cacheCount());
    // After the count: a view sets its bar to the count when it hears it.
    rangeReported = -1;
    scrollRangeReport();
    return true;
}

bool QUserTableModelCANWatch::cacheFileClose()
{
    if (cache) {
        cache->close();
        cache.reset();
    }
    m_windowStart = 0;
    windowUpdate();
    emit userRowChangeEvent(0);
    rangeReported = -1;
    scrollRangeReport();
    loadSettings();
    return true;
}

bool QUserTableModelCANWatch::msgRead(int64_t index, QUserCanMsg *msg)
{
    if (!cache || index < 0 || !msg)
        return false;
    return cache->readMsg(uint64_t(index), msg);
}

int QUserTableModelCANWatch::msgListGet(QUserCanMsg *list)
{
    const int n = cacheCount();
    if (!list)
        return 0;
    for (int i = 0; i < n; ++i)
        cache->readMsg(uint64_t(i), &list[i]);
    return n;
}

void QUserTableModelCANWatch::windowUpdate()
{
    if (getElapsedMs(lastRefresh) < RefreshMs) {
        if (!timer->isActive())
            timer->start(RefreshMs);
        return;
    }
    windowRebuild();
}

QString QUserTableModelCANWatch::idCellText(const QUserCanMsg &msg) const
{
    if (idFmt == 1) {
        bool ok = false;
        const uint v = msg.idText.trimmed().toUInt(&ok, 16);
        return QString::number(ok ? v : 0u);
    }
    return QStringLiteral("0x") + msg.idText.toUpper();
}

QString QUserTableModelCANWatch::dataCellText(const QUserCanMsg &msg) const
{
    if (dataFmt == 1) {
        uint8_t bytes[64];
        const int n = hexTextToBytes(msg.dataText, bytes, 64);
        QString out;
        out.reserve(n * 4);
        for (int i = 0; i < n; ++i) {
            out += QString::number(bytes[i]);
            out += QLatin1Char(' ');
        }
        return out;
    }
    QString out = msg.dataText;
    insertSeparator(out, QStringLiteral(" "), 2);
    return out;
}

void QUserTableModelCANWatch::windowRebuild()
{
    lastRefresh = getCurrentMs();
    if (timer->isActive())
        timer->stop();
    const int64_t count = cacheCount();
    // A window started past the last full page (a jump to the last row, a
    // page down at the end) shows the last page: never one row above a
    // blank table.
    const bool moved = m_windowStart > windowStartMax() || m_windowStart < 0;
    if (m_windowStart > windowStartMax())
        m_windowStart = windowStartMax();
    if (m_windowStart < 0)
        m_windowStart = 0;
    int rows = int(qMin<int64_t>(m_windowSize, count - m_windowStart));
    if (rows < 0)
        rows = 0;
    if (rowCount() != rows)
        setRowCount(rows);
    if (columnCount() < ColumnCount)
        setColumnCount(ColumnCount);
    // The cells change quietly and the views hear of the whole window once:
    // a view that sizes its rows to their contents would otherwise lay out
    // every row again for every cell changed.
    QUserCanMsg msg;
    LocalClock clock;
    int filled = 0;
    const bool wasBlocked = blockSignals(true);
    for (int r = 0; r < rows; ++r) {
        const int64_t i = int64_t(m_windowStart) + r;
        // The first record that does not read ends the rebuild; the rows
        // after it keep what they showed.
        if (!cache || !cache->readMsg(uint64_t(i), &msg))
            break;
        filled = r + 1;
        setCell(this, r, 0, QString::number(i));
        setCell(this, r, 1, getDirText(lang, msg.direction == 1));
        const QIcon &icon = protocolIcon(msg.protocol);
        if (item(r, 1)->icon().cacheKey() != icon.cacheKey())
            item(r, 1)->setIcon(icon);
        setCell(this, r, 2, clock.text(msg.hostTime));
        setCell(this, r, 3, idCellText(msg));
        setCell(this, r, 4, getFrameFormatText(lang, msg.remote == 1));
        setCell(this, r, 5, getFrameTypeText(lang, msg.extended == 1));
        setCell(this, r, 6, msg.lenText);
        setCell(this, r, 7, dataCellText(msg));
    }
    blockSignals(wasBlocked);
    if (filled > 0 && !wasBlocked)
        emit dataChanged(index(0, 0), index(filled - 1, ColumnCount - 1));
    if (moved) {
        // The view marked its current row against the start it asked for:
        // the count makes it mark the row again where it now stands.
        emit userRowChangeEvent(int(count));
        rangeReported = -1;
    }
    scrollRangeReport();
}
