#include "mainwindow/QUserCanFrameSnapshot.h"

#include <algorithm>
#include <cstring>

void QUserCanFrameSnapshot::takeList(const ListRing &records, const ExtRing &tails, uint32_t firstExtSeq)
{
    clear();
    listRecs = records.freeze();
    listExt = tails.freeze();
    extBase = firstExtSeq;
    count = listRecs.size();
}

void QUserCanFrameSnapshot::takeMerged(const QUserCanMergeMap &map)
{
    clear();
    merged = true;
    mergedEntries = map.freeze();
    count = mergedEntries.size();
}

void QUserCanFrameSnapshot::timeOrder()
{
    if (merged)
        mergedEntries.timeOrder();
}

void QUserCanFrameSnapshot::clear()
{
    merged = false;
    listRecs.clear();
    listExt.clear();
    extBase = 0;
    mergedEntries.clear();
    count = 0;
}

void QUserCanFrameSnapshot::frameAt(int64_t i, QUserCanFrameFull &f) const
{
    if (merged) {
        f = mergedEntries.at(i).frame;
        return;
    }
    const QUserCanFrameRec &r = listRecs.at(i);
    f.hostTime = r.hostTime;
    f.devTime = r.devTime;
    f.id = r.id;
    f.dataLen = r.dataLen;
    f.len = r.len;
    f.flags = r.flags;
    f.fdFlags = r.fdFlags;
    f.channel = r.channel;
    std::memcpy(f.data, r.data, std::min<size_t>(r.dataLen, sizeof r.data));
    if (r.dataLen > sizeof r.data) {
        const QUserCanFrameExt &e = listExt.at(int64_t(uint32_t(r.extSeq - extBase)));
        std::memcpy(f.data + sizeof r.data, e.bytes, size_t(r.dataLen) - sizeof r.data);
    }
}

QUserCanMsg QUserCanFrameSnapshot::msgAt(int64_t i) const
{
    QUserCanFrameFull f;
    frameAt(i, f);
    return canFrameToMsg(f);
}
