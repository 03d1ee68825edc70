#include "core/QUserCanMsg.h"
#include "core/QUserCanMsgRaw.h"
#include "core/QUserHostClock.h"

#include <QDateTime>
#include <QMetaType>

#include <array>
#include <cstring>
#include <mutex>

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

struct HexTable {
    int8_t value[128];
    constexpr HexTable() : value()
    {
        for (int i = 0; i < 128; ++i)
            value[i] = -1;
        for (int i = 0; i < 10; ++i)
            value['0' + i] = int8_t(i);
        for (int i = 0; i < 6; ++i) {
            value['a' + i] = int8_t(10 + i);
            value['A' + i] = int8_t(10 + i);
        }
    }
};
constexpr HexTable kHexTable;

inline int hexValue(ushort c)
{
    return c < 128 ? kHexTable.value[c] : -1;
}

inline int digitValue(ushort c, int base)
{
    int v = hexValue(c);
    return (v >= 0 && v < base) ? v : -1;
}

inline bool isBlank(ushort c)
{
    return c == ' ' || (c >= '\t' && c <= '\r') || (c > 0x7F && QChar(c).isSpace());
}

// Decimal texts of 0..255, shared so that the receive path allocates nothing
// for the length text.
const std::array<QString, 256> &lengthTexts()
{
    static const std::array<QString, 256> texts = [] {
        std::array<QString, 256> t;
        for (int i = 0; i < 256; ++i)
            t[i] = QString::number(i);
        return t;
    }();
    return texts;
}

const QString &defaultIdText()
{
    static const QString s = QStringLiteral("00000000");
    return s;
}
const QString &defaultLenText()
{
    static const QString s = QStringLiteral("8");
    return s;
}
const QString &defaultDataText()
{
    static const QString s = QStringLiteral("00 01 02 03 04 05 06 07");
    return s;
}

QString removeBlanks(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!isBlank(c.unicode()))
            out.append(c);
    return out;
}

// Whole text as an integer in `base` (16 also takes a 0x prefix), surrounding
// white space allowed, with an optional sign; the result must fit [lo, hi].
bool parseInteger(const QString &text, int base, int64_t lo, int64_t hi, int64_t &value)
{
    const ushort *p = text.utf16();
    const ushort *end = p + text.size();
    while (p < end && isBlank(*p))
        ++p;
    while (end > p && isBlank(end[-1]))
        --end;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (base == 16 && end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        p += 2;
    if (p == end)
        return false;
    uint64_t acc = 0;
    const uint64_t limit = uint64_t(1) << 40; // far beyond 32 bits: stop early
    for (; p < end; ++p) {
        int d = digitValue(*p, base);
        if (d < 0)
            return false;
        acc = acc * uint64_t(base) + uint64_t(d);
        if (acc > limit)
            return false;
    }
    int64_t v = negative ? -int64_t(acc) : int64_t(acc);
    if (v < lo || v > hi)
        return false;
    value = v;
    return true;
}

int32_t parseIdValue(const QString &text, bool *ok)
{
    return parseInt32(text, 16, ok);
}

} // namespace

// ---------------------------------------------------------------------------

QUserCanMsg::QUserCanMsg()
    : idText(defaultIdText()), lenText(defaultLenText()), dataText(defaultDataText())
{
}

QUserCanMsg::QUserCanMsg(const QString &id, bool remote_, bool extended_, const QString &len, const QString &data)
    : idText(id), remote(remote_ ? 1 : 0), extended(extended_ ? 1 : 0), lenText(len), dataText(data)
{
}

int32_t QUserCanMsg::getId() const
{
    return parseIdValue(idText, nullptr);
}

uint32_t QUserCanMsg::getLen() const
{
    int64_t v = 0;
    if (!parseInteger(lenText, 10, 0, 0xFFFFFFFFLL, v))
        return 0;
    return uint32_t(v);
}

void registerCanMsgMetaTypes()
{
    static std::once_flag once;
    std::call_once(once, [] {
        qRegisterMetaType<QUserCanMsg>("QUserCanMsg");
        qRegisterMetaType<QUserCanMsg *>("QUserCanMsg*");
        qRegisterMetaType<QVector<QUserCanMsg>>("QVector<QUserCanMsg>");
    });
}

int32_t parseInt32(const QString &text, int base, bool *ok)
{
    int64_t v = 0;
    bool good = parseInteger(text, base, INT32_MIN, INT32_MAX, v);
    if (ok)
        *ok = good;
    return good ? int32_t(v) : 0;
}

// ---- value-to-text ---------------------------------------------------------

QString getDirText(int lang, bool sent)
{
    if (lang == 0)
        return sent ? QStringLiteral("发送") : QStringLiteral("接收");
    if (lang == 1)
        return sent ? QStringLiteral("Send") : QStringLiteral("Receive");
    return QString();
}

QString getFrameFormatText(int lang, bool remote)
{
    if (lang == 0)
        return remote ? QStringLiteral("远程帧") : QStringLiteral("数据帧");
    if (lang == 1)
        return remote ? QStringLiteral("Remote") : QStringLiteral("Data");
    return QString();
}

QString getFrameTypeText(int lang, bool extended)
{
    if (lang == 0)
        return extended ? QStringLiteral("扩展帧") : QStringLiteral("标准帧");
    if (lang == 1)
        return extended ? QStringLiteral("Extend") : QStringLiteral("Standard");
    return QString();
}

QString getProtocolText(int lang, int protocol)
{
    if (lang == 0) {
        switch (protocol) {
        case 0: return QStringLiteral("CAN");
        case 1: return QStringLiteral("CANFD");
        case 2: return QStringLiteral("CANFD加速");
        default: return QString();
        }
    }
    if (lang == 1) {
        switch (protocol) {
        case 0: return QStringLiteral("CAN");
        case 1: return QStringLiteral("FD");
        case 2: return QStringLiteral("FDBRS");
        default: return QString();
        }
    }
    return QString();
}

// ---- text-to-value ---------------------------------------------------------

bool isSendText(const QString &text)
{
    return !(text.contains(QStringLiteral("接收")) || text.contains(QStringLiteral("Receive")));
}

bool isRemoteText(const QString &text)
{
    return !(text.contains(QStringLiteral("数据帧")) || text.contains(QStringLiteral("Data")));
}

bool isExtendText(const QString &text)
{
    return !(text.contains(QStringLiteral("标准帧")) || text.contains(QStringLiteral("Standard")));
}

int getProtocolFromText(const QString &text)
{
    if (text == QLatin1String("CAN"))
        return 0;
    if (text == QLatin1String("CANFD") || text == QLatin1String("FD"))
        return 1;
    if (text == QStringLiteral("CANFD加速") || text == QLatin1String("FDBRS"))
        return 2;
    return 0;
}

// ---- identifiers -----------------------------------------------------------

bool isCanIdValid(bool extended, QString idText)
{
    const QString digits = removeBlanks(idText);
    bool ok = false;
    const int32_t v = parseIdValue(digits, &ok);
    // Without the ok test an empty or unparsable text ("", "xyz") reads as
    // 0 and passes; without v < 0 one out of 32 bits ("FFFFFFFF") does.
    if (!ok || v < 0)
        return false;
    const uint32_t mask = extended ? 0x1FFFFFFFu : 0x7FFu;
    return (uint32_t(v) & ~mask) == 0;
}

bool formatCanIdText(bool extended, QString &idText)
{
    const int32_t v = parseIdValue(removeBlanks(idText), nullptr);
    const uint32_t mask = extended ? 0x1FFFFFFFu : 0x7FFu;
    idText = idToText(uint32_t(v) & mask);
    return true;
}

// ---- host time -------------------------------------------------------------

int64_t getCurrentMs()
{
    if (QUserHostClock *c = QUserHostClock::installed())
        return c->nowMs();
    return QDateTime::currentMSecsSinceEpoch();
}

int64_t getElapsedMs(int64_t startMs)
{
    const int64_t now = getCurrentMs();
    if (startMs <= now)
        return now - startMs;
    return int64_t(uint64_t(now) + (~uint64_t(0) - uint64_t(startMs)));
}

// ---- data texts ------------------------------------------------------------

bool insertSeparator(QString &text, const QString &separator, int n)
{
    if (n < 1)
        return true;
    // Positions len-n, len-2n, ... (> 0) of the original text; inserting from
    // the highest leaves the lower positions where they were.
    for (int pos = text.size() - n; pos > 0; pos -= n)
        text.insert(pos, separator);
    return true;
}

bool fitDataText(bool spaced, int byteCount, QString &text)
{
    if (byteCount < 0 || text.isNull())
        return false;
    const int want = 2 * byteCount;
    if (text.size() < want)
        text.append(QString(want - text.size(), QLatin1Char('0')));
    else if (text.size() > want)
        text.truncate(want);
    if (spaced)
        insertSeparator(text, QStringLiteral(" "), 2);
    return true;
}

// ---- fast text helpers -----------------------------------------------------

QString idToText(uint32_t id)
{
    QString s(9, Qt::Uninitialized);
    QChar *d = s.data();
    for (int i = 7; i >= 0; --i) {
        d[i] = QLatin1Char(kHexDigits[id & 0xF]);
        id >>= 4;
    }
    d[8] = QLatin1Char(' ');
    return s;
}

QString bytesToHex(const uint8_t *data, int count)
{
    if (count <= 0)
        return QString(QLatin1String(""));
    QString s(2 * count, Qt::Uninitialized);
    QChar *d = s.data();
    for (int i = 0; i < count; ++i) {
        d[2 * i] = QLatin1Char(kHexDigits[data[i] >> 4]);
        d[2 * i + 1] = QLatin1Char(kHexDigits[data[i] & 0xF]);
    }
    return s;
}

int hexTextToBytes(const QString &text, uint8_t *out, int capacity)
{
    const ushort *p = text.utf16();
    const int size = text.size();
    if (capacity <= 0)
        return 0;
    // Quick path for digit pairs without separators, the form received
    // frames carry: the general rule below gives the same bytes for it.
    if ((size & 1) == 0) {
        const int bytes = size / 2 < capacity ? size / 2 : capacity;
        int i = 0;
        for (; i < bytes; ++i) {
            const int hi = hexValue(p[2 * i]);
            const int lo = hexValue(p[2 * i + 1]);
            if ((hi | lo) < 0)
                break;
            out[i] = uint8_t(hi << 4 | lo);
        }
        if (i == bytes) {
            int k = 2 * bytes;
            while (k < size && hexValue(p[k]) >= 0)
                ++k;
            if (k == size)
                return bytes;
        }
    }
    int digits = 0;
    for (int i = 0; i < size; ++i)
        if (hexValue(p[i]) >= 0)
            ++digits;
    if (digits == 0)
        return 0;
    int written = 0;
    // Pairs are taken from the end, so an odd count leaves the first digit a
    // byte of its own.
    bool high = (digits % 2) == 0;
    int cur = 0;
    for (int i = 0; i < size && written < capacity; ++i) {
        int v = hexValue(p[i]);
        if (v < 0)
            continue;
        if (high) {
            cur = v << 4;
            high = false;
        } else {
            out[written++] = uint8_t(cur | v);
            cur = 0;
            high = true;
        }
    }
    return written;
}

// ---- conversions -----------------------------------------------------------

int msgToCanObj(const QUserCanMsg &msg, KCAN_CAN_OBJ &obj)
{
    if (msg.protocol != 0)
        return 0;
    std::memset(&obj, 0, sizeof obj);
    obj.SendType = msg.sendType;
    obj.RemoteFlag = msg.remote ? 1 : 0;
    obj.ExternFlag = msg.extended ? 1 : 0;
    obj.ID = uint32_t(parseIdValue(msg.idText, nullptr));
    obj.DataLen = uint8_t(parseInt32(msg.lenText, 10, nullptr));
    hexTextToBytes(msg.dataText, obj.Data, int(sizeof obj.Data));
    return 1;
}

int msgToCanFdObj(const QUserCanMsg &msg, KCAN_CANFD_OBJ &obj)
{
    if (msg.protocol == 0)
        return 0;
    std::memset(&obj, 0, sizeof obj);
    obj.SendType = msg.sendType;
    obj.RemoteFlag = msg.remote == 1 ? 1 : 0;
    obj.ExternFlag = msg.extended == 1 ? 1 : 0;
    obj.ID = uint32_t(parseIdValue(msg.idText, nullptr)) & 0x1FFFFFFFu;
    obj.DataLen = uint8_t(parseInt32(msg.lenText, 10, nullptr));
    obj.FdFlag = msg.fdFlags;
    hexTextToBytes(msg.dataText, obj.Data, int(sizeof obj.Data));
    return 1;
}

namespace {
template <typename Obj>
void fillFromObj(const Obj &obj, int maxData, QUserCanMsg &msg)
{
    msg.idText = idToText(obj.ID & 0x1FFFFFFFu);
    msg.remote = obj.RemoteFlag ? 1 : 0;
    msg.extended = obj.ExternFlag ? 1 : 0;
    if (msg.remote) {
        msg.lenText = lengthTexts()[0];
        msg.dataText = QString(QLatin1String(""));
    } else {
        msg.lenText = lengthTexts()[obj.DataLen];
        msg.dataText = bytesToHex(obj.Data, obj.DataLen < maxData ? obj.DataLen : maxData);
    }
    msg.devTime = obj.TimeStamp;
}
} // namespace

void canObjToMsg(const KCAN_CAN_OBJ &obj, QUserCanMsg &msg)
{
    fillFromObj(obj, 8, msg);
    msg.protocol = 0;
}

void canFdObjToMsg(const KCAN_CANFD_OBJ &obj, QUserCanMsg &msg)
{
    fillFromObj(obj, 64, msg);
    msg.fdFlags = obj.FdFlag;
    msg.protocol = (obj.FdFlag & KCAN_FD_FLAG_BRS) ? 2 : 1;
}

// ---- binary frames -----------------------------------------------------------

void rawToMsg(const QUserCanMsgRaw &raw, QUserCanMsg &msg)
{
    msg.idText = idToText(raw.id);
    msg.protocol = raw.protocol;
    msg.remote = raw.remote;
    msg.extended = raw.extended;
    msg.fdFlags = raw.fdFlags;
    msg.lenText = lengthTexts()[raw.len];
    const int n = raw.dataLen > 64 ? 64 : raw.dataLen;
    if (raw.remote)
        msg.dataText.clear();
    else
        msg.dataText = bytesToHex(raw.data, n);
    msg.direction = raw.direction;
    msg.channel = raw.channel;
    msg.devTime = raw.devTime;
    msg.hostTime = raw.hostTime;
}
