#pragma once
// A first-in first-out ring of plain records kept in fixed blocks: append at
// the end, drop the oldest, and reach any record by its position (0 = the
// oldest) in constant time. Memory is taken one block at a time as records
// arrive, never the whole bound up front, and growing never moves more than
// one block of records (no copy of the whole ring, so no long stall and no
// moment with two copies in memory). Blocks come from QUserBlockStock,
// mapped in advance off the caller's thread.
//
// A frozen copy (freeze) shares the blocks instead of copying the records:
// it costs a pointer per block, and the ring copies a block only when it
// writes into one that a frozen copy still holds (copy on write), so the
// copy keeps the records as they stood. A frozen copy may be read, and
// dropped, on another thread while the ring goes on.
//
// T must be trivially copyable. Not thread-safe (beyond frozen copies).

#include "mainwindow/QUserBlockStock.h"
#include "mainwindow/QUserSharedBlock.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

template <typename T, int Shift = 13>
class QUserChunkRing
{
    static_assert(std::is_trivially_copyable<T>::value, "plain records only");

public:
    static constexpr int64_t kBlock = int64_t(1) << Shift;

    QUserChunkRing() = default;
    QUserChunkRing(const QUserChunkRing &) = delete;
    QUserChunkRing &operator=(const QUserChunkRing &) = delete;

    int64_t size() const { return count; }
    bool isEmpty() const { return count == 0; }
    // Records the blocks now held can take.
    int64_t capacity() const { return int64_t(blocks.size()) << Shift; }
    int64_t bytesHeld() const { return capacity() * int64_t(sizeof(T)); }

    T &at(int64_t i) { return writable(physical(i)); }
    const T &at(int64_t i) const { return slot(physical(i)); }
    // The non-const accessors are for writing: they copy a shared block.
    T &front() { return writable(head); }
    T &back() { return at(count - 1); }
    const T &front() const { return slot(head); }
    const T &back() const { return at(count - 1); }

    // A new record at the end (contents unspecified); takes one more block
    // when every slot is used.
    T &pushBack()
    {
        if (count == capacity())
            grow();
        T &r = writable(physical(count));
        ++count;
        return r;
    }

    void popFront()
    {
        if (count == 0)
            return;
        ++head;
        if (head == capacity())
            head = 0;
        --count;
    }

    // The records as they stand now, sharing the ring's blocks.
    class Frozen
    {
    public:
        int64_t size() const { return count_; }
        const T &at(int64_t i) const
        {
            int64_t p = head_ + i;
            if (p >= cap_)
                p -= cap_;
            return blocks_[size_t(p >> Shift)].get()[size_t(p & (kBlock - 1))];
        }
        // Drops the blocks (those the ring no longer holds go back).
        void clear()
        {
            blocks_.clear();
            blocks_.shrink_to_fit();
            head_ = cap_ = count_ = 0;
        }

    private:
        friend class QUserChunkRing;
        std::vector<QUserSharedBlock<T>> blocks_;
        int64_t head_ = 0;
        int64_t cap_ = 0;
        int64_t count_ = 0;
    };

    Frozen freeze() const
    {
        Frozen f;
        f.blocks_ = blocks;
        f.head_ = head;
        f.cap_ = capacity();
        f.count_ = count;
        return f;
    }

    // Empties the ring and gives every block back.
    void clear()
    {
        blocks.clear();
        blocks.shrink_to_fit();
        head = 0;
        count = 0;
    }

private:
    int64_t physical(int64_t i) const
    {
        int64_t p = head + i;
        const int64_t cap = capacity();
        if (p >= cap)
            p -= cap;
        return p;
    }
    const T &slot(int64_t p) const { return blocks[size_t(p >> Shift)].get()[size_t(p & (kBlock - 1))]; }
    // The slot for writing: a block that a frozen copy shares is copied
    // first, so the copy never sees the write. A block the copies have let
    // go of (on whatever thread) is written after their last reads of it.
    T &writable(int64_t p)
    {
        Block &b = blocks[size_t(p >> Shift)];
        if (b.shared()) {
            Block own = newBlock();
            std::memcpy(static_cast<void *>(own.get()), b.get(), size_t(kBlock) * sizeof(T));
            b = std::move(own);
        }
        return b.get()[size_t(p & (kBlock - 1))];
    }

    static void blockGive(T *p) { QUserBlockStock::instance().give(p, size_t(kBlock) * sizeof(T)); }
    using Block = QUserSharedBlock<T>;
    static Block newBlock()
    {
        return Block(static_cast<T *>(QUserBlockStock::instance().take(size_t(kBlock) * sizeof(T))), &blockGive);
    }

    void grow()
    {
        Block fresh = newBlock();
        if (head == 0) {
            blocks.push_back(std::move(fresh));
            return;
        }
        // Full and wrapped: the newest records sit in front of the head
        // inside the head's block. The new block goes in before that block
        // and takes those records, so the free slots follow the newest.
        const size_t h = size_t(head >> Shift);
        const int64_t o = head & (kBlock - 1);
        if (o > 0)
            std::memcpy(static_cast<void *>(fresh.get()), blocks[h].get(), size_t(o) * sizeof(T));
        blocks.insert(blocks.begin() + std::ptrdiff_t(h), std::move(fresh));
        head += kBlock;
    }

    std::vector<Block> blocks;
    int64_t head = 0;
    int64_t count = 0;
};
