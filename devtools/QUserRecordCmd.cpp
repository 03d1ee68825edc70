#include "devtools/QUserRecordCmd.h"

#include "core/QUserProtocolFrame.h"

#include <QDebug>

#include <cstring>

namespace {

uint16_t le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

int QUserRecordCmd::exchange(TransferFn transfer, uint32_t devType, uint32_t devIndex, uint8_t command,
                             const uint8_t *payload, int payloadLen, uint8_t *reply, int capacity)
{
    if (!transfer) {
        qDebug() << ">" << QStringLiteral("ERROR:KCAN_DataDirectTransfer Resolve Fail...");
        return -1;
    }
    // A new framer for every command: its sequence byte is 0.
    QUserProtocolFrame frame;
    uint8_t buf[FrameBufSize];
    const int len = frame.framePack(buf, FrameBufSize, command, true, payload, payloadLen);
    if (len <= 0)
        return 0;
    const uint32_t n = transfer(devType, devIndex, buf, len);
    if (n == 0) {
        qDebug() << ">" << QStringLiteral("ERROR:FD Record Cmd Fail,Usb Err...");
        return -1;
    }
    // The library writes at most its 62-byte reply into the buffer.
    const int got = n > uint32_t(FrameBufSize) ? int(FrameBufSize) : int(n);
    return frame.frameUnpack(buf, got, reply, capacity);
}

void QUserRecordCmd::timeSyncPayload(const QDateTime &t, uint8_t out[8])
{
    const QDate d = t.date();
    const QTime c = t.time();
    out[0] = SubTimeSync;
    out[1] = uint8_t(d.year() & 0xFF);
    out[2] = uint8_t((d.year() >> 8) & 0xFF);
    out[3] = uint8_t(d.month());
    out[4] = uint8_t(d.day());
    out[5] = uint8_t(c.hour());
    out[6] = uint8_t(c.minute());
    out[7] = uint8_t(c.second());
}

bool QUserRecordCmd::parseCapacity(const uint8_t *reply, int count, Capacity *out)
{
    if (!reply || count < MinCapacityReply)
        return false;
    out->status = reply[1];
    out->totalMb = le32(reply + 2);
    out->freeMb = le32(reply + 6);
    return true;
}

bool QUserRecordCmd::parseClock(const uint8_t *reply, int count, QString *text)
{
    if (!reply || count < MinClockReply)
        return false;
    const auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    *text = QString::number(le16(reply + 2)) + "-" + two(reply[4]) + "-" + two(reply[5]) + " " + two(reply[6]) +
            ":" + two(reply[7]) + ":" + two(reply[8]);
    return true;
}

QUserRecordCmd::Poll QUserRecordCmd::parsePoll(int kind, const uint8_t *reply, int count, int *status,
                                               uint32_t *readMBs, uint32_t *writeMBs)
{
    if (!reply || count < MinPollReply)
        return Poll::Incomplete;
    const int st = reply[2];
    if (st == StatusRunning) {
        *status = st;
        return Poll::Running;
    }
    if (kind == SubWRTest && st == StatusDone) {
        // A "done" without its speeds is not a whole answer.
        if (count < MinSpeedReply)
            return Poll::Incomplete;
        *readMBs = le16(reply + 3);
        *writeMBs = le16(reply + 5);
    }
    *status = st;
    return Poll::Final;
}
