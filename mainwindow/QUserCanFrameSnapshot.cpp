#include "mainwindow/QUserCanFrameSnapshot.h"

#include <algorithm>
#include <cstring>

void QUserCanFrameSnapshot::takeList(const ListRing &records, const ExtRing &tails, uint32_t firstExtSeq)
{
    clear();
    frozen = true;
    listRecs = records.freeze();
    listExt = tails.freeze();
    extBase = firstExtSeq;
    count = listRecs.size();
}

void QUserCanFrameSnapshot::reserveCopies(int64_t n)
{
    clear();
    // new[] of a plain record leaves it uninitialised: no page is touched
    // before the copy writes it.
    recs.reset(n > 0 ? new QUserCanFrameRec[size_t(n)] : nullptr);
    ext.reset(n > 0 ? new QUserCanFrameExt[size_t(n)] : nullptr);
}

void QUserCanFrameSnapshot::clear()
{
    frozen = false;
    listRecs.clear();
    listExt.clear();
    extBase = 0;
    recs.reset();
    ext.reset();
    count = 0;
}

const QUserCanFrameRec &QUserCanFrameSnapshot::recordAt(int64_t i) const
{
    return frozen ? listRecs.at(i) : recs[size_t(i)];
}

const QUserCanFrameExt &QUserCanFrameSnapshot::tailOf(const QUserCanFrameRec &r) const
{
    const uint32_t k = uint32_t(r.extSeq - extBase);
    return frozen ? listExt.at(int64_t(k)) : ext[size_t(k)];
}

void QUserCanFrameSnapshot::frameAt(int64_t i, QUserCanFrameFull &f) const
{
    const QUserCanFrameRec &r = recordAt(i);
    f.hostTime = r.hostTime;
    f.devTime = r.devTime;
    f.id = r.id;
    f.dataLen = r.dataLen;
    f.len = r.len;
    f.flags = r.flags;
    f.fdFlags = r.fdFlags;
    f.channel = r.channel;
    std::memcpy(f.data, r.data, std::min<size_t>(r.dataLen, sizeof r.data));
    if (r.dataLen > sizeof r.data)
        std::memcpy(f.data + sizeof r.data, tailOf(r).bytes, size_t(r.dataLen) - sizeof r.data);
}

QUserCanMsg QUserCanFrameSnapshot::msgAt(int64_t i) const
{
    QUserCanFrameFull f;
    frameAt(i, f);
    return canFrameToMsg(f);
}
