#include "devtools/usbFrame.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr uint8_t kHead0 = 0xFA;
constexpr uint8_t kHead1 = 0xD6;
constexpr uint8_t kHead2 = 0x5A;

void putLe16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

uint16_t le16(const uint8_t *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

// Header, command, length and sum around a payload at offset 8; the
// sequence bytes are taken as they stand.
int finish(uint8_t *buf, uint8_t cmd, uint16_t len)
{
    buf[0] = kHead0;
    buf[1] = kHead1;
    buf[2] = kHead2;
    buf[5] = cmd;
    putLe16(buf + 6, len);
    uint32_t sum = 0;
    for (size_t i = 3; i < size_t(len) + 8; ++i)
        sum += buf[i];
    putLe16(buf + 8 + len, uint16_t(sum));
    return int(len) + usbFrame::kOverhead;
}

} // namespace

usbFrame::usbFrame()
{
    std::memset(rx, 0, sizeof rx);
}

usbFrame::~usbFrame() = default;

uint32_t usbFrame::checkSum(const uint8_t *bytes, uint16_t n)
{
    uint32_t sum = 0;
    for (uint16_t i = 0; i < n; ++i)
        sum += bytes[i];
    return sum;
}

int usbFrame::frameBuild(uint8_t *out, uint8_t cmd, const uint8_t *payload, uint16_t len)
{
    seq = uint16_t(seq + 1);
    putLe16(out + 3, seq);
    if (len && payload)
        std::memmove(out + 8, payload, len);
    else if (len)
        std::memset(out + 8, 0, len);
    return finish(out, cmd, len);
}

int usbFrame::frameFinish(uint8_t *buf, uint8_t cmd, uint16_t len)
{
    return finish(buf, cmd, len);
}

int usbFrame::replyBuild(uint8_t *buf, uint16_t s, uint8_t cmd, uint8_t status, const uint8_t *data, uint16_t n)
{
    putLe16(buf + 3, s);
    buf[8] = cmd;
    buf[9] = status;
    if (n && data)
        std::memmove(buf + 10, data, n);
    else if (n)
        std::memset(buf + 10, 0, n);
    return finish(buf, kReplyCmd, uint16_t(n + 2));
}

int usbFrame::replyShortBuild(uint8_t *buf, uint16_t s, uint8_t cmd, uint8_t status)
{
    return replyBuild(buf, s, cmd, status, nullptr, 0);
}

const uint8_t *usbFrame::frameParse(const uint8_t *in, uint16_t n, uint16_t *frameLen, uint16_t *remain)
{
    if (remain)
        *remain = 0;
    for (uint16_t i = 0; i < n; ++i) {
        const uint8_t b = in[i];
        switch (state) {
        case 0:
            if (b == kHead0) {
                rx[0] = b;
                state = 1;
            }
            continue;
        case 1:
            // A byte that breaks the header is dropped, not looked at again
            // as the start of another frame.
            if (b == kHead1) {
                rx[1] = b;
                state = 2;
            } else {
                state = 0;
            }
            continue;
        case 2:
            if (b == kHead2) {
                rx[2] = b;
                state = 3;
            } else {
                state = 0;
            }
            continue;
        default:
            break;
        }
        rx[state] = b;
        if (state < 8) {
            ++state;
            continue;
        }
        const uint32_t count = uint32_t(state) + 1;
        const uint32_t len = le16(rx + 6);
        if (count >= len + kOverhead) {
            state = 0;
            const uint16_t sum = uint16_t(checkSum(rx + 3, uint16_t(len + 5)));
            if (sum != le16(rx + 8 + len))
                continue;
            if (frameLen)
                *frameLen = uint16_t(len + kOverhead);
            if (remain)
                *remain = uint16_t(n - i - 1);
            return rx;
        }
        if (count > uint32_t(kBufferSize - 1)) {
            state = 0;
            continue;
        }
        state = uint16_t(count);
    }
    return nullptr;
}

uint16_t usbFrame::payloadLenInBuffer() const
{
    const uint16_t len = le16(rx + 6);
    return len > kBufferSize - kOverhead ? uint16_t(kBufferSize - kOverhead) : len;
}

const uint8_t *usbFrame::frameGet(uint16_t *len) const
{
    if (len)
        *len = uint16_t(payloadLenInBuffer() + kOverhead);
    return rx;
}

uint8_t usbFrame::cmdGet() const
{
    return rx[5];
}

const uint8_t *usbFrame::payloadGet(uint16_t *len) const
{
    if (len)
        *len = payloadLenInBuffer();
    return rx + 8;
}

uint16_t usbFrame::seqGet() const
{
    return le16(rx + 3);
}

namespace usbTagList {

int walk(const uint8_t *data, int n, const std::function<void(const Entry &)> &fn)
{
    if (!data || n < 1)
        return 0;
    const int count = data[0];
    int at = 1;
    int read = 0;
    for (int k = 0; k < count; ++k) {
        if (n - at < 3)
            break;
        Entry e;
        e.tag = data[at];
        e.len = le16(data + at + 1);
        if (n - at - 3 < int(e.len))
            break;
        e.value = data + at + 3;
        at += 3 + int(e.len);
        if (fn)
            fn(e);
        ++read;
    }
    return read;
}

int put(uint8_t *out, uint8_t tag, const uint8_t *value, uint16_t len)
{
    out[0] = tag;
    putLe16(out + 1, len);
    if (len && value)
        std::memmove(out + 3, value, len);
    return 3 + int(len);
}

} // namespace usbTagList
