#pragma once
// The frames of a data tab as they stood at one moment, kept in the tab's
// compact form (QUserCanFrameRec.h) rather than as frame records, so that
// the GUI thread can take a million frames without stalling; turning them
// into frame records, several string allocations per frame, is left to
// whoever reads them (a save does that on its worker thread).
//
// The frame list is taken as a frozen copy of its block rings: no record is
// copied, the tab copies a block only when it writes into one the snapshot
// still holds. The merged view is copied entry by entry into arrays.
//
// Filled by QUserTableModelCan::frameSnapshot; read-only afterwards, so it
// may be read, and cleared, on another thread once handed over.

#include "mainwindow/QUserCanFrameRec.h"
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
    // Room for n copied records and as many tails; the memory is not
    // touched here. Then records are written and counted with setCopied.
    void reserveCopies(int64_t n);
    QUserCanFrameRec *copyData() { return recs.get(); }
    QUserCanFrameExt *copyExtData() { return ext.get(); }
    void setCopied(int64_t n) { count = n; }

private:
    const QUserCanFrameRec &recordAt(int64_t i) const;
    const QUserCanFrameExt &tailOf(const QUserCanFrameRec &r) const;

    bool frozen = false;
    ListRing::Frozen listRecs;
    ExtRing::Frozen listExt;
    uint32_t extBase = 0;
    // Copied records (the merged view); extSeq counts from 0.
    std::unique_ptr<QUserCanFrameRec[]> recs;
    std::unique_ptr<QUserCanFrameExt[]> ext;
    int64_t count = 0;
};
