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
