#pragma once
// The trace viewer's table model: the frames of a cache file (the viewer's
// filtered cache), of which only the visible window of rows is ever read,
// on demand, so that a table over tens of millions of frames costs a few
// record reads per scroll step. Rebuilds are throttled to one per 100 ms.
// Eight columns: number, direction (icon by protocol), time, identifier,
// format, type, length, data; identifier and data in hexadecimal or, by
// the settings "cw_msgIdFormat" and "cw_msgDataFormat", in decimal.

#include "widgets/QUserTableModel.h"

#include <QString>

#include <cstdint>
#include <memory>

class QFClassUserCanMsg;
class QTimer;
class QUserCanMsg;

class QUserTableModelCANWatch : public QUserTableModel
{
    Q_OBJECT
public:
    enum { ColumnCount = 8, RefreshMs = 100 };

    explicit QUserTableModelCANWatch(QObject *parent = nullptr);
    ~QUserTableModelCANWatch() override;

    // Records in the cache file (0 without one); a count beyond the int
    // range shows as the largest int.
    int cacheCount() override;

    // Reads "language", "cw_msgIdFormat" and "cw_msgDataFormat".
    void loadSettings();
    // Binds the model to the cache file at path (read only), rebuilds and
    // reports the record count. Always true; a file that does not open
    // shows no row.
    bool cacheFileOpen(const QString &path);
    // Unbinds the file; window start 0, no row, settings read again.
    bool cacheFileClose();
    // One record of the cache file; false without a file or when it does
    // not read.
    bool msgRead(int64_t index, QUserCanMsg *msg);
    // Every record into list[0 .. count-1] (the list holds at least that
    // many); returns the count, 0 without a file.
    int msgListGet(QUserCanMsg *list);

    bool isCacheOpen() const;
    int language() const { return lang; }
    int idFormat() const { return idFmt; }
    int dataFormat() const { return dataFmt; }
    QTimer *refreshTimer() const { return timer; }

    // The highest window start: the last page is always a full one, so a
    // table scrolled to its end shows as many rows as fit, the last record
    // at the bottom. 0 while every record fits.
    int windowStartMax();

    // The cell texts of a frame at cache index `index`, as the table shows
    // them with the model's language and formats.
    QString idCellText(const QUserCanMsg &msg) const;
    QString dataCellText(const QUserCanMsg &msg) const;

signals:
    // The scroll bar's range in window starts, 0 .. maximum: sent with
    // every change of the record count or of the window size.
    void scrollRangeChange(int maximum);

public slots:
    // Throttled rebuild: within 100 ms of the last one the timer is armed
    // instead.
    void windowUpdate() override;
    // The rebuild itself, at once.
    void windowRebuild();

private:
    void scrollRangeReport();

    int64_t lastRefresh = 0;
    int rangeReported = -1;
    QTimer *timer = nullptr;
    int lang = 1;
    int idFmt = 0;
    int dataFmt = 0;
    std::unique_ptr<QFClassUserCanMsg> cache;
};
