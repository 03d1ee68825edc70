#include "mainwindow/QUserTableModelCan.h"

#include "core/QUserSysCfg.h"
#include "resources/OrvaneResources.h"

#include <QDateTime>
#include <QDebug>
#include <QList>
#include <QMetaType>
#include <QPersistentModelIndex>
#include <QStandardItem>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <cstring>

namespace {

QUserSysCfg *cfg()
{
    return QUserSysCfg::instance();
}

const char kHex[] = "0123456789ABCDEF";

// Two digits, or three for the milliseconds.
inline void putDigits(QChar *&d, int v, int n)
{
    for (int i = n - 1; i >= 0; --i) {
        d[i] = QLatin1Char(char('0' + v % 10));
        v /= 10;
    }
    d += n;
}

} // namespace

QUserTableModelCan::QUserTableModelCan() : QUserTableModel(nullptr)
{
    qRegisterMetaType<QList<QStringList>>("QList<QStringList>");
    qRegisterMetaType<QVector<int>>("QVector<int>");
    qRegisterMetaType<QList<QPersistentModelIndex>>("QList<QPersistentModelIndex>");
    orvaneResourcesInit();
    m_windowSize = 20;
    m_windowStart = 0;
    loadSettings();
    // No room is taken for the bound here: the list takes its blocks as
    // frames arrive.
    refreshTimer = new QTimer;
    refreshTimer->setSingleShot(true);
    // A coarse timer may fire a little early and find the last rebuild
    // not yet 100 ms old, which would put the frames off by another 100 ms.
    refreshTimer->setTimerType(Qt::PreciseTimer);
    connect(refreshTimer, &QTimer::timeout, this, &QUserTableModelCan::windowUpdate);
    m_scrollState = true;
    m_pause = false;
    lastRefresh = getCurrentMs();
    protoIcon[1] = QIcon(QStringLiteral(":/res/fd.png"));
    protoIcon[2] = QIcon(QStringLiteral(":/res/brs.png"));
}

QUserTableModelCan::~QUserTableModelCan()
{
    refreshTimer->stop();
    delete refreshTimer;
    refreshTimer = nullptr;
}

int QUserTableModelCan::cacheSizeClamp(int configured)
{
    return std::min(configured, int(kCacheSizeMax));
}

int QUserTableModelCan::cacheCount()
{
    return merge ? merged.size() : int(list.size());
}

// ---- settings --------------------------------------------------------------

void QUserTableModelCan::loadSettings()
{
    const QString cacheKey = QStringLiteral("msgCacheSize");
    if (cfg()->getInt(cacheKey) == -1)
        cfg()->setInt(cacheKey, kCacheSizeDefault);
    // Text that is no whole number is no bound: the default. A bound below
    // one still keeps one frame; above the maximum the clamp below speaks.
    const int configured = cfg()->getIntBounded(cacheKey, std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max(), kCacheSizeDefault);
    limit = cacheSizeClamp(configured);
    if (limit != configured)
        qDebug().noquote() << "QUserTableModelCan >"
                           << QStringLiteral("msgCacheSize %1 above the maximum, %2 used").arg(configured).arg(limit);
    lang = cfg()->getString(QStringLiteral("language")) == QLatin1String("ZH") ? 0 : 1;
    const bool wasMerge = merge;
    merge = cfg()->getString(QStringLiteral("idMergEnable")) == QLatin1String("ON");
    trimToLimit();
    reported = cacheCount();
    emit userRowChangeEvent(reported);
    idFmt = cfg()->getInt(QStringLiteral("msgIdFormat"));
    dataFmt = cfg()->getInt(QStringLiteral("msgDataFormat"));
    hwTime = cfg()->getString(QStringLiteral("msgHardWareTimeEn")) == QLatin1String("TRUE");

    for (int i = 0; i < 2; ++i) {
        dirText[i] = getDirText(lang, i == 1);
        formatText[i] = getFrameFormatText(lang, i == 1);
        typeText[i] = getFrameTypeText(lang, i == 1);
    }
    stateText[0] = stateCellText(false);
    stateText[1] = stateCellText(true);
    stateBrush[0] = QBrush(QColor(0, 0, 0));
    stateBrush[1] = QBrush(QColor(255, 0, 0));
    if (merge != wasMerge)
        emit mergeModeChanged(merge);
}

void QUserTableModelCan::trimToLimit()
{
    const int64_t keep = std::max(limit, 1);
    while (list.size() > keep)
        listPop();
    while (merged.size() > keep)
        merged.removeFirst();
}

// ---- the two views ---------------------------------------------------------

void QUserTableModelCan::listPush(const QUserCanFrameFull &f)
{
    QUserCanFrameRec &r = list.pushBack();
    r.hostTime = f.hostTime;
    r.devTime = f.devTime;
    r.id = f.id;
    r.dataLen = f.dataLen;
    r.len = f.len;
    r.flags = f.flags;
    r.fdFlags = f.fdFlags;
    r.channel = f.channel;
    std::memcpy(r.data, f.data, std::min<size_t>(f.dataLen, sizeof r.data));
    r.extSeq = 0;
    if (f.dataLen > sizeof r.data) {
        r.extSeq = extFirstSeq + uint32_t(listExt.size());
        QUserCanFrameExt &e = listExt.pushBack();
        std::memcpy(e.bytes, f.data + sizeof r.data, size_t(f.dataLen) - sizeof r.data);
    }
}

void QUserTableModelCan::listPop()
{
    if (list.isEmpty())
        return;
    // Read through the const ring: the writing accessor would copy a block
    // that a snapshot shares.
    if (qAsConst(list).front().dataLen > sizeof(QUserCanFrameRec::data)) {
        listExt.popFront();
        ++extFirstSeq;
    }
    list.popFront();
}

void QUserTableModelCan::listGet(int64_t index, QUserCanFrameFull &f) const
{
    const QUserCanFrameRec &r = list.at(index);
    f.hostTime = r.hostTime;
    f.devTime = r.devTime;
    f.id = r.id;
    f.dataLen = r.dataLen;
    f.len = r.len;
    f.flags = r.flags;
    f.fdFlags = r.fdFlags;
    f.channel = r.channel;
    std::memcpy(f.data, r.data, std::min<size_t>(r.dataLen, sizeof r.data));
    if (r.dataLen > sizeof r.data) {
        const QUserCanFrameExt &e = listExt.at(int64_t(uint32_t(r.extSeq - extFirstSeq)));
        std::memcpy(f.data + sizeof r.data, e.bytes, size_t(r.dataLen) - sizeof r.data);
    }
}

bool QUserTableModelCan::mergeAdd(const QUserCanFrameFull &f)
{
    if (QUserCanMsgMerge *e = merged.find(f.id)) {
        e->prevSent = e->frame.sent();
        e->prevHostTime = e->frame.hostTime;
        e->prevDevTime = e->frame.devTime;
        e->frame = f;
        e->count += 1;
        return false;
    }
    if (merged.size() >= limit && !merged.isEmpty())
        merged.removeFirst();
    QUserCanMsgMerge &e = merged.insert(f.id);
    e.frame = f;
    e.count = 1;
    return true;
}

int64_t QUserTableModelCan::stampSpan(uint64_t before, uint64_t now)
{
    if (now >= before)
        return int64_t(now - before);
    // The adapters count in 32 bits, the classic ones in 24: a stamp below
    // the one before is the counter wrapping at the width the older stamp
    // fits in.
    const uint64_t wrap = before < (uint64_t(1) << 24) ? (uint64_t(1) << 24)
                          : before < (uint64_t(1) << 32) ? (uint64_t(1) << 32)
                                                          : 0;
    return wrap ? int64_t(wrap - before + now) : 0;
}

int64_t QUserTableModelCan::periodUs(const QUserCanMsgMerge &e) const
{
    if (e.count < 2)
        return 0;
    // Two received frames with hardware time on: the adapter's stamps (when
    // the frames were on the bus). Otherwise the host times, in ms; a host
    // clock stepped back gives no time rather than a negative one.
    if (hwTime && !e.frame.sent() && !e.prevSent)
        return stampSpan(e.prevDevTime, e.frame.devTime);
    const int64_t ms = e.frame.hostTime - e.prevHostTime;
    return ms > 0 ? ms * 1000 : 0;
}

bool QUserTableModelCan::msgAppend(const QUserCanMsg &msg)
{
    QUserCanFrameFull f;
    canFrameFromMsg(msg, f);
    if (list.size() >= limit && !list.isEmpty())
        listPop();
    listPush(f);
    const bool newEntry = mergeAdd(f);
    if (batchDepth > 0) {
        batchAppended = true;
        batchNew = batchNew || newEntry;
        return true;
    }
    appendTail(newEntry);
    return true;
}

void QUserTableModelCan::appendBegin()
{
    ++batchDepth;
}

void QUserTableModelCan::appendEnd()
{
    if (batchDepth == 0 || --batchDepth > 0)
        return;
    if (!batchAppended)
        return;
    const bool newEntry = batchNew;
    batchAppended = false;
    batchNew = false;
    appendTail(newEntry);
}

void QUserTableModelCan::appendTail(bool newEntry)
{
    windowFollow(merge ? (newEntry ? 1 : 0) : 1);
    // Display stopped: the frames are kept, nothing on screen moves.
    if (!m_scrollState)
        return;
    // The row count goes out with the rebuild it belongs to (below), so the
    // scroll bar changes at most as often as the rows: reported with every
    // batch it made the whole window repaint hundreds of times a second.
    windowUpdate();
}

bool QUserTableModelCan::msgClear()
{
    list.clear();
    listExt.clear();
    extFirstSeq = 0;
    merged.clear();
    m_windowStart = 0;
    windowUpdate();
    reported = 0;
    emit userRowChangeEvent(0);
    loadSettings();
    return true;
}

void QUserTableModelCan::msgListGet(QVector<QUserCanMsg> &out) const
{
    QUserCanFrameFull f;
    if (merge) {
        out.reserve(out.size() + merged.size());
        QUserCanMergeMap::Cursor c;
        if (!merged.seek(0, c))
            return;
        do {
            out.append(canFrameToMsg(merged.entryAt(c).frame));
        } while (merged.next(c));
        return;
    }
    out.reserve(out.size() + int(list.size()));
    for (int64_t i = 0; i < list.size(); ++i) {
        listGet(i, f);
        out.append(canFrameToMsg(f));
    }
}

void QUserTableModelCan::frameSnapshot(QUserCanFrameSnapshot &out) const
{
    if (merge)
        out.takeMerged(merged);
    else
        out.takeList(list, listExt, extFirstSeq);
}

QUserCanMsg QUserTableModelCan::listAt(int index) const
{
    if (index < 0 || index >= list.size())
        return QUserCanMsg();
    QUserCanFrameFull f;
    listGet(index, f);
    return canFrameToMsg(f);
}

bool QUserTableModelCan::mergeAt(int position, QUserCanMsgMerge &entry) const
{
    QUserCanMergeMap::Cursor c;
    if (!merged.seek(position, c))
        return false;
    entry = merged.entryAt(c);
    return true;
}

qint64 QUserTableModelCan::bytesHeld() const
{
    return list.bytesHeld() + listExt.bytesHeld() + merged.bytesHeld();
}

// ---- the rows on screen ----------------------------------------------------

void QUserTableModelCan::windowUpdate()
{
    if (getElapsedMs(lastRefresh) < kRefreshMs) {
        if (!refreshTimer->isActive())
            refreshTimer->start(kRefreshMs);
        return;
    }
    lastRefresh = getCurrentMs();
    refreshTimer->stop();
    windowRebuild();
}

void QUserTableModelCan::windowRebuild()
{
    ++rebuilds;
    // While the display is stopped the scroll bar stands still too (the
    // user may still scroll, which rebuilds).
    const int count = cacheCount();
    if (m_scrollState && count != reported) {
        reported = count;
        emit userRowChangeEvent(count);
    }
    const int rows = windowRowsWanted();
    if (rowCount() != rows) {
        setRowCount(rows);
        rowProto.assign(size_t(rows), -1);
        rowFailed.assign(size_t(rows), -1);
    }
    if (rows == 0)
        return;
    QUserCanFrameFull f;
    if (merge) {
        QUserCanMergeMap::Cursor c;
        if (!merged.seek(m_windowStart, c))
            return;
        for (int r = 0; r < rows; ++r) {
            const QUserCanMsgMerge &e = merged.entryAt(c);
            rowWrite(r, m_windowStart + r, e.frame, &e);
            if (!merged.next(c))
                break;
        }
        return;
    }
    for (int r = 0; r < rows; ++r) {
        listGet(m_windowStart + r, f);
        rowWrite(r, m_windowStart + r, f, nullptr);
    }
}

void QUserTableModelCan::cellText(int row, int column, const QString &text)
{
    if (QStandardItem *it = item(row, column)) {
        if (it->data(Qt::DisplayRole).toString() != text)
            it->setData(text, Qt::DisplayRole);
        return;
    }
    setItem(row, column, new QStandardItem(text));
}

void QUserTableModelCan::rowWrite(int row, int index, const QUserCanFrameFull &f, const QUserCanMsgMerge *m)
{
    const int failed = f.failed() ? 1 : 0;
    const int proto = std::min(f.protocol(), 2);
    cellText(row, 0, QString::number(index));
    cellText(row, 1, dirText[f.sent() ? 1 : 0]);
    if (rowProto[size_t(row)] != proto) {
        item(row, 1)->setData(protoIcon[proto], Qt::DecorationRole);
        rowProto[size_t(row)] = proto;
    }
    cellText(row, 2, stateText[failed]);
    if (rowFailed[size_t(row)] != failed) {
        item(row, 2)->setData(stateBrush[failed], Qt::ForegroundRole);
        rowFailed[size_t(row)] = failed;
    }
    cellText(row, 3, timeCellText(f.hostTime));
    int c = 4;
    if (m) {
        cellText(row, c++, QString::number(periodUs(*m)));
        cellText(row, c++, QString::number(m->count));
    } else {
        cellText(row, c++, QString::number(f.devTime));
    }
    cellText(row, c++, idCellText(f.id));
    cellText(row, c++, formatText[f.remote() ? 1 : 0]);
    cellText(row, c++, typeText[f.extended() ? 1 : 0]);
    cellText(row, c++, QString::number(f.len));
    cellText(row, c, dataCellText(f.data, f.dataLen));
}

QString QUserTableModelCan::idCellText(uint32_t id) const
{
    if (idFmt == 1)
        return QString::number(id);
    // "0x", eight digits and the blank the device layer writes after them.
    QString s(11, Qt::Uninitialized);
    QChar *d = s.data();
    d[0] = QLatin1Char('0');
    d[1] = QLatin1Char('x');
    for (int i = 9; i >= 2; --i) {
        d[i] = QLatin1Char(kHex[id & 0xF]);
        id >>= 4;
    }
    d[10] = QLatin1Char(' ');
    return s;
}

QString QUserTableModelCan::dataCellText(const uint8_t *data, int count) const
{
    if (count <= 0)
        return QString(QLatin1String(""));
    if (dataFmt == 1) {
        QString s;
        s.reserve(count * 4);
        for (int i = 0; i < count; ++i) {
            s += QString::number(data[i]);
            s += QLatin1Char(' ');
        }
        return s;
    }
    QString s(count * 3 - 1, Qt::Uninitialized);
    QChar *d = s.data();
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            *d++ = QLatin1Char(' ');
        *d++ = QLatin1Char(kHex[data[i] >> 4]);
        *d++ = QLatin1Char(kHex[data[i] & 0xF]);
    }
    return s;
}

QString QUserTableModelCan::stateCellText(bool failed)
{
    return failed ? tr("发送失败") : tr("正常");
}

QString QUserTableModelCan::timeCellText(int64_t hostMs)
{
    const QTime t = QDateTime::fromMSecsSinceEpoch(hostMs).time();
    QString s(12, Qt::Uninitialized);
    QChar *d = s.data();
    putDigits(d, t.hour(), 2);
    *d++ = QLatin1Char(':');
    putDigits(d, t.minute(), 2);
    *d++ = QLatin1Char(':');
    putDigits(d, t.second(), 2);
    *d++ = QLatin1Char(':');
    putDigits(d, t.msec(), 3);
    return s;
}
