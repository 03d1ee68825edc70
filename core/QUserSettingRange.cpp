#include "core/QUserSettingRange.h"

#include "core/QUserLogLine.h"

#include <QMutex>
#include <QMutexLocker>

#include <atomic>

namespace settingrange {

namespace {

QMutex watchMutex;
ReadWatch watcher;
std::atomic<bool> watching{false};

} // namespace

void refusedLog(const QString &source, const QString &key, const QString &text, const QString &range,
                const QString &taken)
{
    logLine(QStringLiteral("警告:配置<%1>的<%2>值<%3>不在%4之内,使用%5...").arg(source, key, text, range, taken));
}

int64_t bounded(const QString &source, const QString &key, const QString &text, int64_t lo, int64_t hi,
                int64_t def)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (ok && v >= lo && v <= hi)
        return v;
    refusedLog(source, key, text, QStringLiteral("[%1,%2]").arg(lo).arg(hi), QStringLiteral("默认值%1").arg(def));
    return def;
}

int boundedInt(const QString &source, const QString &key, const QString &text, int lo, int hi, int def)
{
    return int(bounded(source, key, text, lo, hi, def));
}

QByteArray splitterState(const QString &source, const QString &key, const QByteArray &state)
{
    // Marker 0xff, version, then the size list: a count and one 32-bit
    // integer per section, all big-endian. A state of another form the
    // framework refuses before it reads the list.
    if (state.size() < 12)
        return state;
    const auto word = [&state](int at) {
        const auto *b = reinterpret_cast<const uchar *>(state.constData() + at);
        return (quint32(b[0]) << 24) | (quint32(b[1]) << 16) | (quint32(b[2]) << 8) | quint32(b[3]);
    };
    if (word(0) != 0xffu)
        return state;
    const quint64 count = word(8);
    if (12 + 4 * count <= quint64(state.size()))
        return state;
    refusedLog(source, key, QStringLiteral("%1个分段").arg(count),
               QStringLiteral("[0,%1]个分段").arg((state.size() - 12) / 4), QStringLiteral("默认布局"));
    return QByteArray();
}

void readWatchSet(const ReadWatch &watch)
{
    QMutexLocker lock(&watchMutex);
    watcher = watch;
    watching = bool(watch);
}

void readNote(const QString &source, const QString &key)
{
    if (!watching.load(std::memory_order_relaxed))
        return;
    QMutexLocker lock(&watchMutex);
    if (watcher)
        watcher(source, key);
}

} // namespace settingrange
