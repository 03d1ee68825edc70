#include "kemusb/src/protocol/KemFdProtocol.h"

#include "platform/PlatBytes.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kemusb::fd {

namespace {

struct RateWord {
    uint32_t rate;
    uint32_t word;
};
const RateWord kArbTable[] = {
    {1000000, 0x00018B2E}, {800000, 0x00018E3A}, {500000, 0x0001975E}, {250000, 0x0001AFBE},
    {125000, 0x0041AFBE},  {100000, 0x0041BBEE}, {50000, 0x00C1BBEE},
};
const RateWord kDataTable[] = {
    {5000000, 0x00010207}, {4000000, 0x0001020A}, {2000000, 0x0041020A}, {1000000, 0x0081830E},
    {800000, 0x00018E3A},  {500000, 0x0001975E},  {250000, 0x0001AFBE},  {125000, 0x0041AFBE},
    {100000, 0x0041BBEE},  {50000, 0x00C1BBEE},
};

uint8_t chByte(int channel) { return uint8_t((channel & 0x0F) << 4); }

Bytes filterCmd(uint8_t sub, int channel, uint32_t start, uint32_t end)
{
    Bytes b{0x55, 0x04, 0x0A, sub, chByte(channel)};
    plat::appendLe32(b, start);
    plat::appendLe32(b, end);
    return b;
}

// Works out a timing word for `rate` at `clockHz` from the 60 MHz word:
// the smallest prescaler whose time-quantum count fits the fields, with the
// phase-2 share (sample point) of the table word kept.
bool retime(uint32_t word60, uint32_t rate, uint32_t clockHz, uint32_t *out)
{
    const Timing t = decodeTiming(word60);
    const uint32_t n60 = 1 + t.tseg1 + t.tseg2;
    for (uint32_t p = 1; p <= 1024; ++p) {
        const uint64_t per = uint64_t(rate) * p;
        if (clockHz % per)
            continue;
        const uint32_t n = uint32_t(clockHz / per);
        if (n < 4 || n > 1 + 256 + 128)
            continue;
        uint32_t tseg2 = uint32_t((uint64_t(n) * t.tseg2 + n60 / 2) / n60);
        if (tseg2 < 1)
            tseg2 = 1;
        if (tseg2 > 128)
            tseg2 = 128;
        const uint32_t tseg1 = n - 1 - tseg2;
        if (tseg1 < 1 || tseg1 > 256)
            continue;
        Timing r{p, t.sjw < tseg2 ? t.sjw : tseg2, tseg1, tseg2};
        *out = encodeTiming(r);
        return true;
    }
    return false;
}

bool lookup(const RateWord *table, size_t n, uint32_t rate, uint32_t clockMHz, uint32_t *word)
{
    for (size_t i = 0; i < n; ++i) {
        if (table[i].rate != rate)
            continue;
        if (clockMHz == 60) {
            *word = table[i].word;
            return true;
        }
        return retime(table[i].word, rate, clockMHz * 1000000u, word);
    }
    return false;
}

void putPhase(Bytes &b, uint8_t clockMHz, uint32_t word)
{
    const Timing t = decodeTiming(word);
    plat::appendLe16(b, clockMHz);
    plat::appendLe16(b, uint16_t(t.prescaler - 1));
    b.push_back(uint8_t(t.sjw - 1));
    plat::appendLe16(b, uint16_t(t.tseg1 - 1));
    plat::appendLe16(b, uint16_t(t.tseg2 - 1));
}

std::string stripped(const char *text)
{
    std::string s;
    if (!text)
        return s;
    for (const char *p = text; *p; ++p)
        if (!std::isspace(static_cast<unsigned char>(*p)))
            s += *p;
    return s;
}

bool parseUnsigned(const std::string &s, int base, uint32_t *out)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (!(base == 16 ? std::isxdigit(static_cast<unsigned char>(c)) : std::isdigit(static_cast<unsigned char>(c))))
            return false;
    errno = 0;
    const unsigned long long v = std::strtoull(s.c_str(), nullptr, base);
    if (errno || v > 0xFFFFFFFFull)
        return false;
    *out = uint32_t(v);
    return true;
}

// A transmit packet: 55 F2 00 00, the u16 LE payload length, the record
// count, then per frame a record of Size bytes: [0] channel << 4 | send
// type, [1] flags (the kind's own, 02 remote, 04 extended), [2..5] 0,
// [6..9] identifier LE, [10] length (0 for a remote frame), then the data.
template<size_t Size, class Tx, class KindFlags>
Bytes txPacketOf(int channel, const Tx *frames, int count, KindFlags kindFlags)
{
    constexpr size_t kData = Size - 11;
    Bytes b;
    b.reserve(kPacketHeader + Size * size_t(count));
    b.insert(b.end(), {0x55, 0xF2, 0x00, 0x00});
    plat::appendLe16(b, uint16_t(Size * size_t(count)));
    b.push_back(uint8_t(count));
    for (int i = 0; i < count; ++i) {
        const Tx &f = frames[i];
        const bool remote = f.IdWord & OCAN_ID_REMOTE;
        uint8_t rec[Size] = {};
        rec[0] = uint8_t(chByte(channel) | (f.SendType & 0x0F));
        rec[1] = uint8_t(kindFlags(f) | (remote ? 0x02 : 0) | ((f.IdWord & OCAN_ID_EXTENDED) ? 0x04 : 0));
        plat::putLe32(rec + 6, f.IdWord & 0x1FFFFFFF);
        const uint8_t len = remote ? 0 : f.Len;
        rec[10] = len;
        std::memcpy(rec + 11, f.Data, len < kData ? len : kData);
        b.insert(b.end(), rec, rec + Size);
    }
    return b;
}

} // namespace

Timing decodeTiming(uint32_t word)
{
    return Timing{((word >> 22) & 0x3FF) + 1, ((word >> 15) & 0x7F) + 1, (word & 0xFF) + 1, ((word >> 8) & 0x7F) + 1};
}

uint32_t encodeTiming(const Timing &t)
{
    return ((t.prescaler - 1) & 0x3FF) << 22 | ((t.sjw - 1) & 0x7F) << 15 | ((t.tseg2 - 1) & 0x7F) << 8 |
           ((t.tseg1 - 1) & 0xFF);
}

uint32_t bitRateOf(uint32_t word, uint32_t clockHz)
{
    const Timing t = decodeTiming(word);
    const uint64_t per = uint64_t(t.prescaler) * (1 + t.tseg1 + t.tseg2);
    return per ? uint32_t(clockHz / per) : 0;
}

bool arbTimingFor(uint32_t rate, uint32_t clockMHz, uint32_t *word)
{
    return lookup(kArbTable, sizeof kArbTable / sizeof kArbTable[0], rate, clockMHz, word);
}

bool dataTimingFor(uint32_t rate, uint32_t clockMHz, uint32_t *word)
{
    return lookup(kDataTable, sizeof kDataTable / sizeof kDataTable[0], rate, clockMHz, word);
}

Bytes cmdStartChannel(int channel) { return {0x55, 0x0E, 0x02, 0x00, chByte(channel)}; }
Bytes cmdResetChannel(int channel) { return {0x55, 0x0F, 0x02, 0x00, chByte(channel)}; }
Bytes cmdFilterClear(int channel) { return filterCmd(0x01, channel, 0, 0); }
Bytes cmdFilterMode2(int channel) { return filterCmd(0x05, channel, 0, 0); }
Bytes cmdFilterAck(int channel) { return filterCmd(0x04, channel, 0, 0); }

Bytes cmdFilterRange(int channel, int mode, uint32_t start, uint32_t end)
{
    if (mode == 0)
        return filterCmd(0x02, channel, start & 0x7FF, end & 0x7FF);
    if (mode == 1)
        return filterCmd(0x03, channel, start & 0x1FFFFFFF, end & 0x1FFFFFFF);
    return filterCmd(0x05, channel, start, end);
}

Bytes cmdChannelStatus(int channel) { return {0x55, 0x16, uint8_t(channel * 16 + 1), 0x00}; }

Bytes cmdInitChannel(int channel, uint8_t standard, uint8_t mode, uint8_t clockMHz, uint32_t arbWord,
                     uint32_t dataWord)
{
    Bytes b{0x55, 0x03, uint8_t(channel), 0x01, standard, mode};
    putPhase(b, clockMHz, arbWord);
    putPhase(b, clockMHz, dataWord);
    return b;
}

bool parseVersionReply(const Bytes &request, const uint8_t *reply, size_t n, uint16_t *version)
{
    if (n < 6 || !replyMatches(request, reply, n))
        return false;
    *version = uint16_t(reply[4] << 8 | reply[5]);
    return true;
}

bool startReplyOk(const uint8_t *reply, size_t n) { return n > 2 && reply[1] == 0x0E; }
bool filterReplyOk(const uint8_t *reply, size_t n) { return n >= 4 && reply[3] == 0; }
bool initReplyOk(const uint8_t *reply, size_t n) { return n > 4 && reply[3] == 0; }

bool parseStatusReply(const uint8_t *reply, size_t n, uint32_t *status)
{
    if (n <= 10)
        return false;
    *status = plat::le32(reply + 3);
    return true;
}

Bytes txPacket(int channel, const OCAN_CAN_TX *frames, int count)
{
    return txPacketOf<kClassicRecordSize>(channel, frames, count, [](const OCAN_CAN_TX &) { return uint8_t(0); });
}

Bytes txPacketFd(int channel, const OCAN_CANFD_TX *frames, int count)
{
    return txPacketOf<kFdRecordSize>(channel, frames, count, [](const OCAN_CANFD_TX &f) {
        return uint8_t(0x01 | ((f.Flags & OCAN_FD_ESI) ? 0x08 : 0) | ((f.Flags & OCAN_FD_BRS) ? 0x10 : 0));
    });
}

bool txAckOk(const uint8_t *reply, size_t n) { return n >= 2 && reply[0] == 0x55 && reply[1] == 0xF2; }

SettingPath parseSettingPath(const char *path, int channels)
{
    SettingPath r;
    if (!path)
        return r;
    const char *slash = std::strchr(path, '/');
    if (!slash || slash == path || slash - path > 3)
        return r;
    int ch = 0;
    for (const char *p = path; p < slash; ++p) {
        if (*p < '0' || *p > '9')
            return r;
        ch = ch * 10 + (*p - '0');
    }
    if (ch >= channels)
        return r;
    static const struct {
        const char *name;
        SettingKey key;
    } keys[] = {
        {"/canfd_standard", SettingKey::Standard},     {"/canfd_abit_baud_rate", SettingKey::ArbRate},
        {"/canfd_dbit_baud_rate", SettingKey::DataRate}, {"/baud_rate_custom", SettingKey::CustomTiming},
        {"/filter_clear", SettingKey::FilterClear},    {"/filter_ack", SettingKey::FilterAck},
        {"/filter_mode", SettingKey::FilterMode},      {"/filter_start", SettingKey::FilterStart},
        {"/filter_end", SettingKey::FilterEnd},
    };
    for (const auto &k : keys) {
        if (std::strcmp(slash, k.name) == 0) {
            r.channel = ch;
            r.key = k.key;
            return r;
        }
    }
    return r;
}

uint32_t parseDecimal(const char *text)
{
    std::string s = stripped(text);
    bool neg = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        neg = s[0] == '-';
        s.erase(0, 1);
    }
    uint32_t v = 0;
    if (!parseUnsigned(s, 10, &v))
        return 0;
    return neg ? uint32_t(-int64_t(v)) : v;
}

uint32_t parseHex0x(const char *text)
{
    std::string s = stripped(text);
    if (s.size() < 2 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X'))
        return 0;
    uint32_t v = 0;
    return parseUnsigned(s.substr(2), 16, &v) ? v : 0;
}

bool parseCustomTiming(const char *text, uint32_t *arbWord, uint32_t *dataWord)
{
    const std::string s = stripped(text);
    const size_t open = s.find(",(");
    if (open == std::string::npos)
        return false;
    const size_t close = s.find(')', open);
    if (close == std::string::npos)
        return false;
    const std::string inner = s.substr(open + 2, close - open - 2);
    const size_t c1 = inner.find(',');
    if (c1 == std::string::npos)
        return false;
    const size_t c2 = inner.find(',', c1 + 1);
    if (c2 == std::string::npos)
        return false;
    auto hex = [](std::string f) {
        if (f.size() > 2 && f[0] == '0' && (f[1] == 'x' || f[1] == 'X'))
            f = f.substr(2);
        uint32_t v = 0;
        return parseUnsigned(f, 16, &v) ? v : 0u;
    };
    *arbWord = hex(inner.substr(c1 + 1, c2 - c1 - 1));
    *dataWord = hex(inner.substr(c2 + 1));
    return true;
}

// ---- receive stream --------------------------------------------------------

void StreamParser::feed(const uint8_t *data, size_t len, StreamSink &sink)
{
    while (len > 0) {
        size_t take = kCapacity - m_fill;
        if (take > len)
            take = len;
        std::memcpy(m_buf + m_fill, data, take);
        m_fill += take;
        data += take;
        len -= take;
        parse(sink);
    }
}

void StreamParser::parse(StreamSink &sink)
{
    size_t pos = 0;
    const size_t fill = m_fill;
    const uint8_t *const buf = m_buf;
    while (pos < fill) {
        const uint8_t *p = buf + pos;
        if (p[0] != 0x55) {
            const void *next = std::memchr(p + 1, 0x55, fill - pos - 1);
            const size_t to = next ? size_t(static_cast<const uint8_t *>(next) - buf) : fill;
            m_skipped += to - pos;
            pos = to;
            continue;
        }
        if (fill - pos < kPacketHeader) {
            // A header may be starting: wait for the rest of it, unless the
            // bytes already here rule it out.
            if (fill - pos >= 2 && p[1] != 0xF2) {
                ++pos;
                ++m_skipped;
                continue;
            }
            break;
        }
        const size_t len = size_t(p[4]) | size_t(p[5]) << 8;
        if (p[1] != 0xF2 || len == 0 || kPacketHeader + len > kCapacity) {
            ++pos;
            ++m_skipped;
            continue;
        }
        // A packet carries at least one record, and its records must fit
        // within it; what follows the last one is padding. They are walked
        // as far as their flag bytes are here, so a false header is seen as
        // soon as its records cannot fit, without waiting for its whole
        // length. (A header without records would only ever be a false one,
        // and taking it would swallow the packets its length covers.)
        const size_t have = fill - pos - kPacketHeader < len ? fill - pos - kPacketHeader : len;
        const int count = p[6];
        if (count == 0) {
            ++pos;
            ++m_skipped;
            continue;
        }
        const uint8_t *rec = p + kPacketHeader;
        size_t off = 0;
        int n = 0;
        while (n < count && off + 1 < have) {
            off += (rec[off + 1] & 0x01) ? kFdRecordSize : kClassicRecordSize;
            ++n;
        }
        const size_t left = size_t(count - n);
        if (off > len || off + left * kClassicRecordSize > len) {
            ++pos;
            ++m_skipped;
            continue;
        }
        if (have < len)
            break; // the rest of the packet is still to come
        const uint8_t *r = p + kPacketHeader;
        for (int i = 0; i < count; ++i) {
            const uint8_t b0 = r[0];
            const int ch = b0 >= 0x80 ? 7 : b0 >> 4;
            const uint8_t fl = r[1];
            const uint32_t idWord = (plat::le32(r + 6) & 0x1FFFFFFF) | ((fl & 0x02) ? OCAN_ID_REMOTE : 0) |
                                    ((fl & 0x04) ? OCAN_ID_EXTENDED : 0);
            if (fl & 0x01) {
                OCAN_CANFD_RX f;
                f.IdWord = idWord;
                // The record carries 64 (or 8) data bytes: a longer length
                // byte would make readers copy past them.
                f.Len = r[10] < 64 ? r[10] : 64;
                f.Flags = uint8_t(((fl & 0x10) ? 0x01 : 0) | ((fl & 0x08) ? 0x02 : 0));
                f.Reserved[0] = f.Reserved[1] = 0;
                std::memcpy(f.Data, r + 11, 64);
                f.TimeStamp = plat::le32(r + 2);
                f.Reserved2 = 0;
                sink.fdFrame(ch, f);
                r += kFdRecordSize;
            } else {
                OCAN_CAN_RX f;
                f.IdWord = idWord;
                f.Len = r[10] < 8 ? r[10] : 8;
                f.Reserved[0] = f.Reserved[1] = f.Reserved[2] = 0;
                std::memcpy(f.Data, r + 11, 8);
                f.TimeStamp = plat::le32(r + 2);
                f.Reserved2 = 0;
                sink.classicFrame(ch, f);
                r += kClassicRecordSize;
            }
        }
        pos += kPacketHeader + len;
    }
    if (pos > 0) {
        m_fill = fill - pos;
        if (m_fill)
            std::memmove(m_buf, m_buf + pos, m_fill);
    }
}

Bytes streamPacket(const StreamFrame *frames, int count)
{
    Bytes b{0x55, 0xF2, 0x00, 0x00, 0x00, 0x00, uint8_t(count)};
    for (int i = 0; i < count; ++i) {
        const StreamFrame &f = frames[i];
        const size_t size = f.fd ? kFdRecordSize : kClassicRecordSize;
        uint8_t rec[kFdRecordSize] = {};
        rec[0] = f.channel >= 8 ? 0x80 : uint8_t(f.channel << 4);
        rec[1] = uint8_t((f.fd ? 0x01 : 0) | (f.remote ? 0x02 : 0) | (f.extended ? 0x04 : 0) | (f.esi ? 0x08 : 0) |
                         (f.brs ? 0x10 : 0));
        std::memcpy(rec + 2, &f.TimeStamp, 4);
        const uint32_t id = f.id & 0x1FFFFFFF;
        std::memcpy(rec + 6, &id, 4);
        rec[10] = f.Len;
        const size_t dl = size - 11;
        std::memcpy(rec + 11, f.Data, f.Len < dl ? f.Len : dl);
        b.insert(b.end(), rec, rec + size);
    }
    const size_t payload = b.size() - kPacketHeader;
    plat::putLe16(&b[4], uint16_t(payload));
    return b;
}

} // namespace kemusb::fd
