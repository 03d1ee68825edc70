#pragma once
// The merged view of a data tab's traffic: one entry per identifier, kept in
// identifier order, holding the latest frame with that identifier, how many
// were seen and the times of the one before it (the period shown is the
// time between the two).
//
// Sized for a million entries and more: finding an identifier's entry,
// adding a new identifier and dropping the smallest one cost a short search
// inside one small bucket; reaching the entry at a given position in
// identifier order (to fill the rows on screen) walks at most 256 page
// counts and 256 bucket counts. The identifier space (29 bits) is cut into
// 256 pages of 256 buckets of 8192 identifiers; pages are made only for the
// identifiers that occur, so a bus of a few hundred identifiers costs a few
// kilobytes. Entries live in blocks of their own and are reused after a drop.

#include "mainwindow/QUserCanFrameRec.h"
#include "mainwindow/QUserSharedBlock.h"

#include <cstdint>
#include <memory>
#include <vector>

// One entry of the merged view.
struct QUserCanMsgMerge
{
    QUserCanFrameFull frame;   // the latest frame with this identifier
    int32_t count = 0;         // frames seen, 1 for the first
    // The frame before the latest (valid from the second frame on): its
    // host time, its adapter stamp and whether this program sent it. Both
    // times are kept, so the period can be taken in either time base
    // whatever the setting was when the frames came.
    bool prevSent = false;
    int64_t prevHostTime = 0;  // ms since the epoch
    uint64_t prevDevTime = 0;  // adapter time stamp, µs
};

class QUserCanMergeMap
{
public:
    static constexpr int kPages = 256;
    static constexpr int kBuckets = 256;
    static constexpr int kPageShift = 21;
    static constexpr int kBucketShift = 13;

    // A position in identifier order, for walking the entries.
    struct Cursor
    {
        int page = 0;
        int bucket = 0;
        uint32_t pos = 0;
    };

    QUserCanMergeMap();
    ~QUserCanMergeMap();
    QUserCanMergeMap(const QUserCanMergeMap &) = delete;
    QUserCanMergeMap &operator=(const QUserCanMergeMap &) = delete;

    int size() const { return total; }
    bool isEmpty() const { return total == 0; }

    // The entry of an identifier, or null.
    QUserCanMsgMerge *find(uint32_t id);
    // A new, cleared entry for an identifier that has none.
    QUserCanMsgMerge &insert(uint32_t id);
    // Drops the entry with the smallest identifier; false when empty.
    bool removeFirst();
    void clear();

    // The cursor at position k in identifier order; false when k is not
    // below size().
    bool seek(int k, Cursor &c) const;
    // Moves to the next entry; false past the last.
    bool next(Cursor &c) const;
    const QUserCanMsgMerge &entryAt(const Cursor &c) const;

    // Memory held by the entries and the index (an estimate for reports).
    int64_t bytesHeld() const;

    // The entries as they stand now, in identifier order, sharing the
    // map's entry blocks: taking it copies four bytes per entry (the
    // order), and the map copies a block of entries only when it writes
    // into one that a frozen copy still holds. A frozen copy may be read,
    // and dropped, on another thread while the map goes on.
    class Frozen
    {
    public:
        int64_t size() const { return int64_t(order_.size()); }
        const QUserCanMsgMerge &at(int64_t k) const
        {
            const uint32_t s = order_[size_t(k)];
            return blocks_[s >> kSlotShift].get()[s & ((1u << kSlotShift) - 1)];
        }
        // Puts the entries in the order of their latest frames' host times;
        // entries of the same time keep their identifier order.
        void timeOrder();
        void clear()
        {
            blocks_.clear();
            blocks_.shrink_to_fit();
            order_.clear();
            order_.shrink_to_fit();
        }

    private:
        friend class QUserCanMergeMap;
        std::vector<QUserSharedBlock<QUserCanMsgMerge>> blocks_;
        std::vector<uint32_t> order_;
    };
    Frozen freeze() const;

private:
    struct Item
    {
        uint32_t id;
        uint32_t slot;
    };
    // Items sorted by identifier in items[begin ..]; dropping the smallest
    // only moves begin.
    struct Bucket
    {
        std::vector<Item> items;
        uint32_t begin = 0;
        uint32_t size() const { return uint32_t(items.size()) - begin; }
    };
    struct Page
    {
        Bucket buckets[kBuckets];
    };
    static constexpr int kSlotShift = 10;

    const QUserCanMsgMerge &slotRef(uint32_t slot) const
    {
        return slotBlocks[slot >> kSlotShift].get()[slot & ((1u << kSlotShift) - 1)];
    }
    // The entry for writing: a block that a frozen copy shares is copied
    // first (a block the copies have let go of is written after their last
    // reads of it).
    QUserCanMsgMerge &slotWrite(uint32_t slot);
    uint32_t slotTake();
    const Item *itemFind(const Bucket &b, uint32_t id) const;

    std::unique_ptr<Page> pages[kPages];
    int32_t pageCount[kPages];
    int total = 0;
    // No bucket before this one (page * kBuckets + bucket) holds an entry:
    // dropping the smallest starts its search here.
    int firstHint = 0;
    std::vector<QUserSharedBlock<QUserCanMsgMerge>> slotBlocks;
    uint32_t slotsMade = 0;
    std::vector<uint32_t> freeSlots;
};
