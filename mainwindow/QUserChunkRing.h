#pragma once
// A first-in first-out ring of plain records kept in fixed blocks: append at
// the end, drop the oldest, and reach any record by its position (0 = the
// oldest) in constant time. Memory is taken one block at a time as records
// arrive, never the whole bound up front, and growing never moves more than
// one block of records (no copy of the whole ring, so no long stall and no
// moment with two copies in memory). Blocks come from QUserBlockStock,
// mapped in advance off the caller's thread.
//
// T must be trivially copyable. Not thread-safe.

#include "mainwindow/QUserBlockStock.h"

#include <cstdint>
#include <cstring>
#include <memory>
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

    T &at(int64_t i) { return slot(physical(i)); }
    const T &at(int64_t i) const { return slot(physical(i)); }
    T &front() { return slot(head); }
    T &back() { return at(count - 1); }

    // A new record at the end (contents unspecified); takes one more block
    // when every slot is used.
    T &pushBack()
    {
        if (count == capacity())
            grow();
        T &r = slot(physical(count));
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
    T &slot(int64_t p) { return blocks[size_t(p >> Shift)][size_t(p & (kBlock - 1))]; }
    const T &slot(int64_t p) const { return blocks[size_t(p >> Shift)][size_t(p & (kBlock - 1))]; }

    void grow()
    {
        Block fresh(static_cast<T *>(QUserBlockStock::instance().take(size_t(kBlock) * sizeof(T))));
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

    struct BlockGive
    {
        void operator()(T *p) const { QUserBlockStock::instance().give(p, size_t(kBlock) * sizeof(T)); }
    };
    using Block = std::unique_ptr<T[], BlockGive>;

    std::vector<Block> blocks;
    int64_t head = 0;
    int64_t count = 0;
};
