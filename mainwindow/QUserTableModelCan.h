#pragma once
// The frame table of one device channel's data tab. Every frame the channel
// receives, and every frame this program sends on it, is appended; the
// model keeps the traffic twice, as a list in arrival order and merged by
// identifier (one entry per identifier with its count and its period, the
// time between its last two frames in µs),
// and shows one of the two as the setting "idMergEnable" says. Both stay up
// to date, so switching shows the traffic seen so far at once.
//
// Only the rows on screen exist as items (QUserTableModel's window); they
// are rebuilt at most once every 100 ms however fast frames arrive, and not
// at all while the display is stopped (scroll state off). The row count
// (userRowChangeEvent, the view's scroll bar) is reported with the rebuilds
// when it changed, and at once on clear and reload.
//
// Settings read from the system configuration ("sys.ini"):
//   "msgCacheSize"   frames in the list, and entries in the merged view,
//                    at most. Absent: 1000000, written back. Values above
//                    kCacheSizeMax (10000000) are used as 10000000: the
//                    store is taken as frames arrive, about 40 bytes per
//                    classic frame and 96 per 64-byte CAN FD frame, so ten
//                    million frames of eight tabs already need gigabytes.
//                    A value below 1 keeps one frame.
//   "idMergEnable"   "ON": the merged view is shown, else the list.
//   "msgIdFormat"    1: identifiers in decimal, else "0x" and hexadecimal.
//   "msgDataFormat"  1: data bytes in decimal ("%d " each), else hex pairs.
//   "msgHardWareTimeEn" "TRUE": the period between two received frames is
//                    measured with the adapter's time stamps (µs), else
//                    with host time (ms). Both times of the last two frames
//                    are kept, so a change of the setting never mixes them.
//   "language"       "ZH": Chinese texts, else English.
//
// Frames are stored compactly (QUserCanFrameRec.h): identifiers as numbers,
// so a merged entry is one per identifier value, and identifiers show as
// eight hexadecimal digits whatever form the sender wrote them in.
//
// GUI thread only.

#include "mainwindow/QUserCanFrameRec.h"
#include "mainwindow/QUserCanFrameSnapshot.h"
#include "mainwindow/QUserCanMergeMap.h"
#include "mainwindow/QUserChunkRing.h"
#include "widgets/QUserTableModel.h"

#include <QBrush>
#include <QIcon>
#include <QString>
#include <QVector>

#include <cstdint>
#include <vector>

class QTimer;

class QUserTableModelCan : public QUserTableModel
{
    Q_OBJECT

public:
    static constexpr int kCacheSizeDefault = 1000000;
    static constexpr int kCacheSizeMax = 10000000;
    // Least time between two rebuilds of the rows on screen.
    static constexpr int kRefreshMs = 100;
    static constexpr int kListColumns = 10;
    static constexpr int kMergeColumns = 11;

    QUserTableModelCan();
    ~QUserTableModelCan() override;

    // Entries of the view in force: merged entries, or frames in the list.
    int cacheCount() override;

    // Adds a frame to the list and to the merged view (always true).
    bool msgAppend(const QUserCanMsg &msg);
    // Between appendBegin and appendEnd, appends only store their frames;
    // appendEnd then moves the window, asks for a rebuild and reports the
    // row count once, as if after the last of them. Nests.
    void appendBegin();
    void appendEnd();

    // Empties both views and frees their memory, puts the window at the
    // start, rebuilds, reports 0 rows and reads the settings again.
    bool msgClear();
    // Reads the settings again and reports the row count of the view now in
    // force. A bound lowered below what is held drops the oldest frames
    // (and the smallest identifiers) down to it.
    void loadSettings();
    // Appends the view in force: the latest frame of every identifier in
    // identifier order, or every frame in arrival order.
    void msgListGet(QVector<QUserCanMsg> &list) const;
    // The same frames in the same order, in their compact form: the
    // blocks of the view in force shared (copied on the tab's next write
    // into them), cheap enough for the GUI thread at a million frames. A
    // save takes this and makes the frame records on its own thread.
    void frameSnapshot(QUserCanFrameSnapshot &out) const;

    // The settings in force.
    bool mergeMode() const { return merge; }
    int cacheLimit() const { return limit; }
    bool hardwareTime() const { return hwTime; }
    int idFormat() const { return idFmt; }
    int dataFormat() const { return dataFmt; }
    int language() const { return lang; }
    // The clamp applied to "msgCacheSize".
    static int cacheSizeClamp(int configured);

    // What is held, whatever the view in force.
    int listCount() const { return int(list.size()); }
    int mergeCount() const { return merged.size(); }
    QUserCanMsg listAt(int index) const;
    // The merged entry at a position in identifier order; false beyond.
    bool mergeAt(int position, QUserCanMsgMerge &entry) const;
    // Bytes taken by both views (an estimate: the blocks held).
    qint64 bytesHeld() const;

    // Rebuilds of the rows on screen so far, and the throttle's timer.
    qint64 rebuildCount() const { return rebuilds; }
    QTimer *refreshTimerGet() const { return refreshTimer; }

    // The period column of a merged entry: the time between its last two
    // frames in µs (0 until the second), in the time base in force.
    int64_t periodUs(const QUserCanMsgMerge &e) const;
    // µs from one adapter stamp to a later one, across a wrap of the
    // adapter's 32-bit (or, classic adapters, 24-bit) counter.
    static int64_t stampSpan(uint64_t before, uint64_t now);

    // The texts a cell shows (also used by the rebuild).
    QString idCellText(uint32_t id) const;
    QString dataCellText(const uint8_t *data, int count) const;
    static QString timeCellText(int64_t hostMs);
    // The state column's text: "正常", or "发送失败" for a failed send.
    static QString stateCellText(bool failed);

    // Rebuilds the rows on screen now, past the throttle (windowUpdate
    // decides when; benchmarks measure this).
    void windowRebuild();

signals:
    // A settings reload switched between the merged view and the list: the
    // columns the view shows change with it.
    void mergeModeChanged(bool merge);

public slots:
    // Throttled: rebuilds now when the last rebuild is 100 ms old or more,
    // else arms the single-shot timer that calls it again.
    void windowUpdate() override;

private:
    void rowWrite(int row, int index, const QUserCanFrameFull &f, const QUserCanMsgMerge *m);
    void cellText(int row, int column, const QString &text);
    void listPush(const QUserCanFrameFull &f);
    void listPop();
    void listGet(int64_t index, QUserCanFrameFull &f) const;
    // True when the identifier got a new entry.
    bool mergeAdd(const QUserCanFrameFull &f);
    void appendTail(bool newEntry);
    void trimToLimit();

    // Frame list: records in arrival order, CAN FD payload tails beside.
    QUserChunkRing<QUserCanFrameRec> list;
    QUserChunkRing<QUserCanFrameExt, 12> listExt;
    uint32_t extFirstSeq = 0;
    QUserCanMergeMap merged;

    bool merge = true;
    bool hwTime = false;
    int idFmt = -1;
    int dataFmt = -1;
    int64_t lastRefresh = 0;
    QTimer *refreshTimer = nullptr;
    int limit = kCacheSizeDefault;
    int lang = 1;

    int batchDepth = 0;
    bool batchAppended = false;
    bool batchNew = false;
    qint64 rebuilds = 0;
    // The row count last reported to the view.
    int reported = -1;

    // Texts and decorations the rows reuse.
    QString dirText[2];
    QString formatText[2];
    QString typeText[2];
    QString stateText[2];
    QBrush stateBrush[2];
    QIcon protoIcon[3];
    // What the rows on screen show now, to leave unchanged cells alone.
    std::vector<int> rowProto;
    std::vector<int> rowFailed;
};
