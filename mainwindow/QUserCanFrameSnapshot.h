#pragma once
// The frames of a data tab as they stood at one moment, kept in the tab's
// compact form (QUserCanFrameRec.h) rather than as frame records, so that
// the GUI thread can take a million frames without stalling; turning them
// into frame records, several string allocations per frame, is left to
// whoever reads them (a save does that on its worker thread).
//
// Both views are taken as frozen copies of their blocks (the list's block
// rings, the merged view's entry blocks and its order): no frame is
// copied, the tab copies a block only when it writes into one that the
// snapshot still holds.
//
// Filled by QUserTableModelCan::frameSnapshot; read-only afterwards, so it
// may be read, and cleared, on another thread once handed over.

#include "mainwindow/QUserCanFrameRec.h"
#include "mainwindow/QUserCanMergeMap.h"
#include "mainwindow/QUserChunkRing.h"

#include <cstdint>
#include <memory>

class QUserCanFrameSnapshot
{
public:
    using ListRing = QUserChunkRing<QUserCanFrameRec>;
    using ExtRing = QUserChunkRing<QUserCanFrameExt, 12>;

    QUserCanFrameSnapshot() = default;
    QUserCanFrameSnapshot(QUserCanFrameSnapshot &&) = default;
    QUserCanFrameSnapshot &operator=(QUserCanFrameSnapshot &&) = default;
    QUserCanFrameSnapshot(const QUserCanFrameSnapshot &) = delete;
    QUserCanFrameSnapshot &operator=(const QUserCanFrameSnapshot &) = delete;

    int64_t size() const { return count; }
    bool isEmpty() const { return count == 0; }
    // Frame i (0 <= i < size()) with all its data bytes.
    void frameAt(int64_t i, QUserCanFrameFull &f) const;
    // Frame i as a frame record (texts in the device layer's forms).
    QUserCanMsg msgAt(int64_t i) const;
    // Gives the memory back; the snapshot is empty afterwards.
    void clear();

    // The frame list: records whose payload tails carry in extSeq their
    // number counted from firstExtSeq, the number of the ring's first tail.
    void takeList(const ListRing &records, const ExtRing &tails, uint32_t firstExtSeq);
    // The merged view: the latest frame of each identifier, in order.
    void takeMerged(const QUserCanMergeMap &merged);
    // A merged view's entries put in the order of their frames' host times
    // (equal times keep identifier order), as a trace file wants them: its
    // times count from its first frame. The frame list is already in
    // arrival order and stays as it is. Costs a sort of the entries: meant
    // for the thread that reads the snapshot.
    void timeOrder();

private:

    bool merged = false;
    ListRing::Frozen listRecs;
    ExtRing::Frozen listExt;
    uint32_t extBase = 0;
    QUserCanMergeMap::Frozen mergedEntries;
    int64_t count = 0;
};
