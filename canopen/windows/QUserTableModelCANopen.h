#pragma once
// The CANopen window's frame log: one entry (frame text, CANopen
// description) per frame the window accepted, oldest first, bounded by the
// system setting "msgCacheSize". Only the visible window of rows has table
// items; refreshes run at most once per 100 ms. GUI thread only.

#include "widgets/QUserTableModel.h"

#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>
#include <deque>

class QTimer;

class QUserTableModelCANopen : public QUserTableModel
{
    Q_OBJECT
public:
    using Entry = QPair<QString, QString>;

    static constexpr int kDefaultCacheSize = 1000000;
    // The largest limit used; a larger "msgCacheSize" counts as this.
    static constexpr int kCacheSizeMax = 10000000;
    static constexpr int kRefreshMs = 100;

    explicit QUserTableModelCANopen(QObject *parent = nullptr);
    ~QUserTableModelCANopen() override;

    // Reads "msgCacheSize" (absent: 1000000, written back) into the limit,
    // at most kCacheSizeMax; a value that is no whole number or is negative
    // takes 1000000 with a log line.
    void settingLoad();
    int cacheCount() override { return int(ring.size()); }
    int cacheLimit() const { return limit; }
    // Appends one entry, dropping the oldest when the log is full; always 1.
    int logAppend(const QString &messageText, const QString &description);
    int logAppend(QString &&messageText, QString &&description);
    // Empties the log and reads the limit again; always 1.
    int clear();
    // Copies every entry, oldest first; the number copied.
    int logExport(QList<Entry> &out) const;
    // Entry i counted from the oldest still cached (null outside the log).
    const Entry *entryAt(int i) const;

    void rowsFill();
    // Refreshes done so far (tests count the throttle's work).
    int refreshCount() const { return refreshes; }
    bool refreshPending() const;

public slots:
    void windowUpdate() override;

private:
    void ringReset();
    void appended();

    std::deque<Entry> ring; // oldest first
    int limit = kDefaultCacheSize;
    int64_t lastRefreshMs = 0;
    QTimer *timer = nullptr;
    int refreshes = 0;
};
