#include "kemusb/src/protocol/KemRecordProtocol.h"

#include "platform/PlatBytes.h"

namespace kemusb::record {

namespace {

inline uint8_t filterChannel(int channel) { return channel ? 1 : 0; }

void putPhase(Bytes &b, uint32_t word)
{
    const uint16_t pre = uint16_t((word >> 22) & 0x3FF);
    const uint16_t seg1 = uint16_t(word & 0xFF);
    const uint16_t seg2 = uint16_t((word >> 8) & 0x7F);
    plat::appendLe16(b, pre);
    b.push_back(uint8_t((word >> 15) & 0x7F));
    plat::appendLe16(b, seg1);
    plat::appendLe16(b, seg2);
}

uint32_t getPhase(const uint8_t *p)
{
    const uint32_t pre = plat::le16(p);
    const uint32_t sjw = p[2];
    const uint32_t seg1 = plat::le16(p + 3);
    const uint32_t seg2 = plat::le16(p + 5);
    return pre << 22 | sjw << 15 | seg2 << 8 | seg1;
}


} // namespace

bool parseVersionReply(const Bytes &request, const uint8_t *reply, size_t n, uint16_t *version)
{
    if (n < 6 || !replyMatches(request, reply, n))
        return false;
    *version = plat::le16(reply + 4);
    return true;
}

Bytes cmdSettingSet(int channel, const RecordSetting &s)
{
    Bytes b{0x55, 0x03, uint8_t(channel), uint8_t(s.enabled ? 1 : 0), s.standard, s.mode, s.arbClock, 0};
    putPhase(b, s.arbTiming);
    b.push_back(s.dataClock);
    b.push_back(0);
    putPhase(b, s.dataTiming);
    b.push_back(uint8_t((s.optA ? 0x01 : 0) | (s.optD ? 0x02 : 0)));
    b.push_back(s.optB);
    b.push_back(s.optC);
    b.push_back(s.optE);
    return b;
}

bool settingSetReplyOk(const uint8_t *reply, size_t n) { return n > 4 && reply[3] == 0; }

Bytes cmdSettingGet(int channel) { return {0x55, 0xA4, uint8_t(channel)}; }

bool parseSettingGetReply(const uint8_t *r, size_t n, RecordSetting *s)
{
    // Everything up to option value B is needed; option values C and E are
    // taken when the reply carries them (some firmware ends it earlier).
    if (n < kSettingReplyMin)
        return false;
    s->enabled = r[3] & 1;
    s->standard = r[4] & 1;
    s->mode = r[5] & 1;
    s->arbClock = r[6];
    s->arbTiming = getPhase(r + 8);
    s->dataClock = r[15];
    s->dataTiming = getPhase(r + 17);
    s->optA = r[24] & 0x01;
    s->optD = (r[24] >> 1) & 0x01;
    s->optB = r[25];
    if (n > 26)
        s->optC = r[26];
    if (n > 27)
        s->optE = r[27];
    return true;
}

Bytes cmdFilter(uint32_t command, int channel, const RecordFilter *f)
{
    Bytes b{0x55, 0x04, uint8_t(command), filterChannel(channel)};
    if (command == 1 && f) {
        b.push_back(f->kind);
        plat::appendLe32(b, f->first);
        plat::appendLe32(b, f->last);
    } else {
        b.resize(13, 0);
    }
    return b;
}

bool filterReplyOk(const uint8_t *reply, size_t n) { return n >= 4 && reply[3] == 0; }

Bytes cmdFilterInfo(int channel) { return {0x55, 0x05, 0x00, filterChannel(channel), 0x00, 0x00}; }

bool parseFilterInfoReply(const uint8_t *r, size_t n, RecordFilterInfo *info)
{
    if (n < 7 || r[3] != 0)
        return false;
    info->value0 = plat::le16(r + 4);
    info->value2 = r[6];
    return true;
}

Bytes cmdFilterEntry(int channel, uint16_t index)
{
    return {0x55, 0x05, 0x01, filterChannel(channel), uint8_t(index), uint8_t(index >> 8)};
}

bool parseFilterEntryReply(const uint8_t *r, size_t n, RecordFilter *f)
{
    if (n < 13 || r[3] != 0)
        return false;
    f->kind = r[4];
    f->first = plat::le32(r + 5);
    f->last = plat::le32(r + 9);
    return true;
}

} // namespace kemusb::record
