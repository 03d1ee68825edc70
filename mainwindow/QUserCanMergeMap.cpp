#include "mainwindow/QUserCanMergeMap.h"

#include <algorithm>

namespace {

void giveBlock(QUserCanMsgMerge *p)
{
    delete[] p;
}

} // namespace

QUserCanMergeMap::QUserCanMergeMap()
{
    std::fill(pageCount, pageCount + kPages, 0);
}

QUserCanMergeMap::~QUserCanMergeMap() = default;

const QUserCanMergeMap::Item *QUserCanMergeMap::itemFind(const Bucket &b, uint32_t id) const
{
    const Item *first = b.items.data() + b.begin;
    const Item *last = b.items.data() + b.items.size();
    const Item *it = std::lower_bound(first, last, id, [](const Item &a, uint32_t v) { return a.id < v; });
    return (it != last && it->id == id) ? it : nullptr;
}

QUserCanMsgMerge *QUserCanMergeMap::find(uint32_t id)
{
    const Page *page = pages[id >> kPageShift].get();
    if (!page)
        return nullptr;
    const Item *it = itemFind(page->buckets[(id >> kBucketShift) & (kBuckets - 1)], id);
    return it ? &slotWrite(it->slot) : nullptr;
}

uint32_t QUserCanMergeMap::slotTake()
{
    if (!freeSlots.empty()) {
        const uint32_t s = freeSlots.back();
        freeSlots.pop_back();
        return s;
    }
    if ((slotsMade >> kSlotShift) >= slotBlocks.size())
        slotBlocks.emplace_back(new QUserCanMsgMerge[size_t(1) << kSlotShift], &giveBlock);
    return slotsMade++;
}

QUserCanMsgMerge &QUserCanMergeMap::insert(uint32_t id)
{
    const int p = int(id >> kPageShift);
    if (!pages[p])
        pages[p].reset(new Page);
    Bucket &b = pages[p]->buckets[(id >> kBucketShift) & (kBuckets - 1)];
    const uint32_t slot = slotTake();
    const Item item{id, slot};
    auto first = b.items.begin() + b.begin;
    auto at = std::lower_bound(first, b.items.end(), id, [](const Item &a, uint32_t v) { return a.id < v; });
    if (at == first && b.begin > 0) {
        // In front of the smallest: the room the drops left is used again.
        --b.begin;
        b.items[b.begin] = item;
    } else {
        b.items.insert(at, item);
    }
    ++pageCount[p];
    ++total;
    firstHint = std::min(firstHint, int(id >> kBucketShift));
    QUserCanMsgMerge &e = slotWrite(slot);
    e = QUserCanMsgMerge();
    return e;
}

bool QUserCanMergeMap::removeFirst()
{
    int k = firstHint % kBuckets;
    for (int p = firstHint / kBuckets; p < kPages; ++p, k = 0) {
        if (pageCount[p] == 0)
            continue;
        Page *page = pages[p].get();
        for (; k < kBuckets; ++k) {
            Bucket &b = page->buckets[k];
            if (b.size() == 0)
                continue;
            firstHint = p * kBuckets + k;
            freeSlots.push_back(b.items[b.begin].slot);
            ++b.begin;
            if (b.begin == b.items.size()) {
                b.items.clear();
                b.begin = 0;
            } else if (b.begin >= 64 && b.begin * 2 >= b.items.size()) {
                // Most of the vector is dropped room: give it back.
                b.items.erase(b.items.begin(), b.items.begin() + b.begin);
                b.begin = 0;
            }
            --pageCount[p];
            --total;
            if (pageCount[p] == 0)
                pages[p].reset();
            return true;
        }
    }
    return false;
}

void QUserCanMergeMap::clear()
{
    for (int p = 0; p < kPages; ++p) {
        pages[p].reset();
        pageCount[p] = 0;
    }
    total = 0;
    firstHint = 0;
    slotBlocks.clear();
    slotBlocks.shrink_to_fit();
    slotsMade = 0;
    freeSlots.clear();
    freeSlots.shrink_to_fit();
}

bool QUserCanMergeMap::seek(int k, Cursor &c) const
{
    if (k < 0 || k >= total)
        return false;
    for (int p = 0; p < kPages; ++p) {
        if (k >= pageCount[p]) {
            k -= pageCount[p];
            continue;
        }
        const Page *page = pages[p].get();
        for (int b = 0; b < kBuckets; ++b) {
            const uint32_t n = page->buckets[b].size();
            if (uint32_t(k) >= n) {
                k -= int(n);
                continue;
            }
            c.page = p;
            c.bucket = b;
            c.pos = page->buckets[b].begin + uint32_t(k);
            return true;
        }
    }
    return false;
}

bool QUserCanMergeMap::next(Cursor &c) const
{
    const Bucket &cur = pages[c.page]->buckets[c.bucket];
    if (c.pos + 1 < cur.items.size()) {
        ++c.pos;
        return true;
    }
    int p = c.page;
    int b = c.bucket + 1;
    for (; p < kPages; ++p, b = 0) {
        if (pageCount[p] == 0)
            continue;
        const Page *page = pages[p].get();
        for (; b < kBuckets; ++b) {
            if (page->buckets[b].size() != 0) {
                c.page = p;
                c.bucket = b;
                c.pos = page->buckets[b].begin;
                return true;
            }
        }
    }
    return false;
}

QUserCanMsgMerge &QUserCanMergeMap::slotWrite(uint32_t slot)
{
    QUserSharedBlock<QUserCanMsgMerge> &b = slotBlocks[slot >> kSlotShift];
    if (b.shared()) {
        const size_t n = size_t(1) << kSlotShift;
        QUserSharedBlock<QUserCanMsgMerge> own(new QUserCanMsgMerge[n], &giveBlock);
        std::copy(b.get(), b.get() + n, own.get());
        b = std::move(own);
    }
    return b.get()[slot & ((1u << kSlotShift) - 1)];
}

QUserCanMergeMap::Frozen QUserCanMergeMap::freeze() const
{
    Frozen f;
    f.blocks_ = slotBlocks;
    f.order_.reserve(size_t(total));
    for (int p = 0; p < kPages; ++p) {
        if (pageCount[p] == 0)
            continue;
        for (const Bucket &b : pages[p]->buckets)
            for (size_t i = b.begin; i < b.items.size(); ++i)
                f.order_.push_back(b.items[i].slot);
    }
    return f;
}

void QUserCanMergeMap::Frozen::timeOrder()
{
    // Sorted as (time, position) pairs: a plain sort over packed keys, with
    // the position keeping the identifier order among equal times.
    struct Key
    {
        int64_t time;
        uint32_t pos;
        uint32_t slot;
    };
    std::vector<Key> keys;
    keys.reserve(order_.size());
    for (size_t k = 0; k < order_.size(); ++k)
        keys.push_back({at(int64_t(k)).frame.hostTime, uint32_t(k), order_[k]});
    std::sort(keys.begin(), keys.end(),
              [](const Key &a, const Key &b) { return a.time != b.time ? a.time < b.time : a.pos < b.pos; });
    for (size_t k = 0; k < keys.size(); ++k)
        order_[k] = keys[k].slot;
}

const QUserCanMsgMerge &QUserCanMergeMap::entryAt(const Cursor &c) const
{
    return slotRef(pages[c.page]->buckets[c.bucket].items[c.pos].slot);
}

int64_t QUserCanMergeMap::bytesHeld() const
{
    int64_t bytes = int64_t(slotBlocks.size()) * (int64_t(1) << kSlotShift) * int64_t(sizeof(QUserCanMsgMerge));
    for (int p = 0; p < kPages; ++p) {
        if (!pages[p])
            continue;
        bytes += int64_t(sizeof(Page));
        for (const Bucket &b : pages[p]->buckets)
            bytes += int64_t(b.items.capacity() * sizeof(Item));
    }
    return bytes + int64_t(freeSlots.capacity() * sizeof(uint32_t));
}
