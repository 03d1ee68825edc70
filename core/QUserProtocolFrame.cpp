#include "core/QUserProtocolFrame.h"

#include "core/QUserLogLine.h"

#include <QDebug>
#include <QString>

#include <cstring>

namespace {

uint8_t checkByte(const uint8_t *frame, int checkOffset)
{
    unsigned sum = 0;
    for (int i = 0; i < checkOffset; ++i)
        sum += frame[i];
    return uint8_t((sum & 0xFF) ^ frame[7]);
}

} // namespace

QUserProtocolFrame::QUserProtocolFrame() = default;

int QUserProtocolFrame::framePack(uint8_t *buf, int size, uint8_t command, bool encipher, const uint8_t *payload,
                                  int payloadLen)
{
    if (buf && size > 0)
        std::memset(buf, 0, size_t(size));
    const uint8_t seq = sequence++;

    if (!buf || size < 0 || payloadLen < 0 || (payloadLen > 0 && !payload))
        return 0;
    // Body: sequence, 01, 01, command, payload, check byte; whole blocks.
    const long long n = (static_cast<long long>(payloadLen) + 5 + 15) / 16 * 16;
    const long long total = n + HeaderSize;
    if (n + 3 >= size) {
        logLine(QString::asprintf("错误:协议报文缓冲大小不足...<%d,%lld>", size, total));
        return 0;
    }
    // The 12-bit length field cannot hold more: the frame would announce a
    // wrong length.
    if (total > MaxFrameSize) {
        logLine(QString::asprintf("错误:协议报文长度超出...<%lld>", total));
        return 0;
    }
    const int frameLen = int(total);
    const uint16_t word = uint16_t(frameLen | (encipher ? CipherFlag : 0));
    buf[0] = 0xFE;
    buf[1] = 0xEF;
    buf[2] = uint8_t(word & 0xFF);
    buf[3] = uint8_t(word >> 8);
    buf[4] = seq;
    buf[5] = 0x01;
    buf[6] = 0x01;
    buf[7] = command;
    if (payloadLen > 0)
        std::memcpy(buf + 8, payload, size_t(payloadLen));
    buf[frameLen - 1] = checkByte(buf, frameLen - 1);
    if (encipher)
        cipher.encrypt(buf + HeaderSize, size_t(frameLen - HeaderSize));
    return frameLen;
}

int QUserProtocolFrame::frameUnpack(uint8_t *frame, int length, uint8_t *out, int outSize)
{
    if (!frame || length <= 3) {
        logLine(QStringLiteral("错误:协议解析报文长度不足...<%1 byte>").arg(length));
        return 0;
    }
    if (frame[0] != 0xFE || frame[1] != 0xEF) {
        logLine(QStringLiteral("错误:协议报文帧头错误..."));
        return 0;
    }
    const int word = frame[2] | (frame[3] << 8);
    const int f = word & 0x0FFF;
    // A length field beyond what arrived would have the cipher and the check
    // byte read past the reply.
    if (length < f) {
        logLine(QString::asprintf("错误:协议报文长度不足...<%d,%d>", length, f));
        return 0;
    }
    // The length field must describe a whole frame: header plus whole blocks.
    // Anything else is refused before a byte is deciphered: a ragged tail
    // would be left enciphered, and a field below the header size would put
    // the check byte before the frame.
    if (f < MinFrameSize || (f - HeaderSize) % 16 != 0) {
        logLine(QStringLiteral("错误:协议报文长度字段无效...<%1>").arg(f));
        return 0;
    }
    if (word & CipherFlag)
        cipher.decrypt(frame + HeaderSize, size_t(f - HeaderSize));
    const uint8_t c = checkByte(frame, f - 1);
    if (c != frame[f - 1]) {
        logLine(QStringLiteral("错误:协议报文CRC错误...<%1,%2>").arg(c, 0, 16).arg(frame[f - 1], 0, 16));
        return 0;
    }
    int k = f - 8;
    if (outSize < k)
        k = outSize;
    if (!out || k <= 0)
        return 0;
    std::memcpy(out, frame + 7, size_t(k));
    return k;
}
