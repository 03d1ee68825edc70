// Frame builders and the SDO answer parsers of QUserCANopenFrame.
#include "canopen/QUserCANopenFrame.h"

#include "canopen/QUserCANopenBytes.h"
#include "canopen/QUserDictObj.h"

#include <QCoreApplication>
#include <QDebug>

namespace {

void logLine(const QString &text)
{
    qDebug() << ">" << text;
}

// The fields every builder writes.
void stamp(QUserCanMsg &msg, const QString &id, bool remote, bool touchExtended, const QString &len,
           const QString &data)
{
    msg.idText = id;
    msg.remote = remote ? 1 : 0;
    if (touchExtended)
        msg.extended = 0;
    msg.sendType = 0;
    msg.direction = 1;
    msg.status = MsgTagCanOpen;
    msg.lenText = len;
    msg.dataText = data;
}

QString hex2(unsigned v)
{
    return QString::asprintf("%02x", v & 0xFFu);
}

bool isHexText(const QString &text)
{
    for (QChar c : text)
        if (canopen::hexDigit(c) < 0)
            return false;
    return true;
}

const uint32_t kPdoBase[8] = {0x180, 0x200, 0x280, 0x300, 0x380, 0x400, 0x480, 0x500};

} // namespace

bool QUserCANopenFrame::nodeIdValid(int node, bool allowAll)
{
    if ((node >= 1 && node <= 127) || (allowAll && node == 0))
        return true;
    logLine(QStringLiteral("CANopen Frame Warning:node id <%1> out of range %2-127, frame refused...")
                .arg(node)
                .arg(allowAll ? 0 : 1));
    return false;
}

bool QUserCANopenFrame::nmtMsgCreat(QUserCanMsg &msg, int node, int command) const
{
    static const unsigned commands[] = {0x01, 0x02, 0x80, 0x81, 0x82};
    if (command < 0 || command > 4 || !nodeIdValid(node, true))
        return false;
    stamp(msg, QStringLiteral("0"), false, true, QStringLiteral("2"), hex2(commands[command]) + hex2(unsigned(node)));
    return true;
}

bool QUserCANopenFrame::nmtGuardStatusGetMsgCreat(QUserCanMsg &msg, int node) const
{
    if (!nodeIdValid(node))
        return false;
    stamp(msg, QString::asprintf("%08x", 0x700u + unsigned(node)), true, true, QStringLiteral("0"), QString());
    return true;
}

bool QUserCANopenFrame::nmtGuardStatusAckMsgCreat(QUserCanMsg &msg, int node, int state, bool toggle) const
{
    static const unsigned states[] = {0x00, 0x04, 0x05, 0x7F};
    if (state < 0 || state > 3 || !nodeIdValid(node))
        return false;
    stamp(msg, QString::asprintf("%08x", 0x700u + unsigned(node)), false, false, QStringLiteral("1"),
          hex2(states[state] | (toggle ? 0x80u : 0u)));
    return true;
}

bool QUserCANopenFrame::syncMsgCreat(QUserCanMsg &msg) const
{
    stamp(msg, QStringLiteral("80"), false, false, QStringLiteral("0"), QString());
    return true;
}

bool QUserCANopenFrame::emergMsgCreat(QUserCanMsg &msg, int node, const QString &errCode,
                                      const QString &errRegister, const QString &manufacturer) const
{
    const QString code = canopen::removeBlanks(errCode);
    const QString reg = canopen::removeBlanks(errRegister);
    const QString user = canopen::removeBlanks(manufacturer);
    if (code.size() < 4 || reg.size() < 2 || user.size() < 10)
        return false;
    if (!isHexText(code) || !isHexText(reg) || !isHexText(user)) {
        logLine(QStringLiteral("CANopen Frame Warning:EMCY data <%1|%2|%3> is not hex digits, frame refused...")
                    .arg(errCode, errRegister, manufacturer));
        return false;
    }
    if (!nodeIdValid(node))
        return false;
    stamp(msg, hex2(0x80u + unsigned(node)), false, true, QStringLiteral("8"), errCode + errRegister + manufacturer);
    return true;
}

bool QUserCANopenFrame::pdoMsgCreat(QUserCanMsg &msg, int node, int pdoIndex, QString &dataText) const
{
    dataText = canopen::removeBlanks(dataText);
    if (pdoIndex < 0 || pdoIndex > 7 || dataText.isEmpty())
        return false;
    if (dataText.size() % 2 != 0 || dataText.size() > 16 || !isHexText(dataText)) {
        logLine(QStringLiteral("CANopen Frame Warning:PDO data <%1> is not 1-8 whole hex bytes, frame refused...")
                    .arg(dataText));
        return false;
    }
    if (!nodeIdValid(node))
        return false;
    stamp(msg, QString::asprintf("%02x", kPdoBase[pdoIndex] + unsigned(node)), false, true,
          QString::number(dataText.size() / 2), dataText);
    return true;
}

bool QUserCANopenFrame::remotePdoMsgCreat(QUserCanMsg &msg, int node, int pdoIndex) const
{
    if (pdoIndex < 0 || pdoIndex > 7 || !nodeIdValid(node))
        return false;
    stamp(msg, QString::asprintf("%02x", kPdoBase[pdoIndex] + unsigned(node)), true, true, QStringLiteral("8"),
          QStringLiteral("00 00 00 00 00 00 00 00"));
    return true;
}

bool QUserCANopenFrame::sdoFastWriteMsgCreat(QUserCanMsg &msg, int node, uint16_t index, uint32_t subIndex,
                                             int size, QString &valueText) const
{
    valueText = canopen::removeBlanks(valueText);
    if (valueText.isEmpty() || subIndex > 0xFF || !nodeIdValid(node))
        return false;
    if (!isHexText(valueText)) {
        logLine(QStringLiteral("CANopen Frame Warning:SDO write data <%1> is not hex digits, frame refused...")
                    .arg(valueText));
        return false;
    }
    unsigned command = 0x2F;
    if (size == 2)
        command = 0x2B;
    else if (size == 3)
        command = 0x27;
    else if (size == 4)
        command = 0x23;
    QString value = valueText.left(valueText.size() & ~1);
    value = value.leftJustified(16, QLatin1Char('0')).left(8);
    stamp(msg, QString::asprintf("%02x", 0x600u + unsigned(node)), false, true, QStringLiteral("8"),
          hex2(command) + hex2(index) + hex2(unsigned(index) >> 8) + hex2(subIndex) + value);
    return true;
}

bool QUserCANopenFrame::sdoFastReadMsgCreat(QUserCanMsg &msg, int node, uint16_t index, uint32_t subIndex) const
{
    if (subIndex > 0xFF || !nodeIdValid(node))
        return false;
    stamp(msg, QString::asprintf("%02x", 0x600u + unsigned(node)), false, true, QStringLiteral("8"),
          QStringLiteral("40") + hex2(index) + hex2(unsigned(index) >> 8) + hex2(subIndex)
              + QStringLiteral("00000000"));
    return true;
}

bool QUserCANopenFrame::sdoAbortMsgCreat(QUserCanMsg &msg, int node, uint16_t index, uint32_t subIndex,
                                         uint32_t abortCode) const
{
    if (subIndex > 0xFF || !nodeIdValid(node))
        return false;
    QString code;
    for (int i = 0; i < 4; ++i)
        code += hex2(abortCode >> (8 * i));
    stamp(msg, QString::asprintf("%02x", 0x600u + unsigned(node)), false, true, QStringLiteral("8"),
          QStringLiteral("80") + hex2(index) + hex2(unsigned(index) >> 8) + hex2(subIndex) + code);
    return true;
}

bool QUserCANopenFrame::sdoDictObjMsgCreat(QUserCanMsg &msg, int node, const QUserDictObj &obj) const
{
    if (obj.index > 0xFFFF)
        return false;
    if (obj.isRead)
        return sdoFastReadMsgCreat(msg, node, uint16_t(obj.index), obj.subIndex);
    const int size = obj.dataTypeSize();
    if (size < 1 || size > 4) {
        logLine(QStringLiteral("SDO Write Err:object<0x%1,0x%2> of data type %3 is not 1-4 bytes, not written...")
                    .arg(QString::asprintf("%04X", obj.index))
                    .arg(QString::asprintf("%02X", obj.subIndex))
                    .arg(obj.DataType));
        return false;
    }
    QString value;
    for (int i = 0; i < size; ++i)
        value += QString::asprintf("%02X", (obj.curValue >> (8 * i)) & 0xFFu);
    return sdoFastWriteMsgCreat(msg, node, uint16_t(obj.index), obj.subIndex, size, value);
}

bool QUserCANopenFrame::timeSyncMsgCreat(QUserCanMsg &msg, int year, int month, int day, int hour, int minute,
                                         int second) const
{
    static const int before[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
    if (year < 1984 || year > 2163) {
        logLine(QStringLiteral("CANopen Frame Warning:TIME year <%1> outside 1984-2163, frame refused...").arg(year));
        return false;
    }
    int64_t days = 0;
    for (int y = 1984; y < year; ++y)
        days += isLeapYear(y) ? 366 : 365;
    int m = month < 1 ? 0 : (month > 12 ? 12 : month - 1);
    days += before[m];
    if (month >= 3 && isLeapYear(year))
        days += 1;
    const int64_t t = int64_t(second) + 60 * int64_t(minute) + 3600 * int64_t(hour) + 86400 * (days + day - 1);
    if (t < 0 || t / 86400 > 0xFFFF) {
        logLine(QStringLiteral("CANopen Frame Warning:TIME date outside the 16-bit day count, frame refused..."));
        return false;
    }
    const uint32_t d = uint32_t(t / 86400);
    const uint32_t ms = uint32_t(t % 86400) * 1000u;
    QString data;
    for (int i = 0; i < 4; ++i)
        data += hex2(ms >> (8 * i));
    data += hex2(d) + hex2(d >> 8);
    stamp(msg, QStringLiteral("00000100"), false, true, QStringLiteral("6"), data);
    return true;
}

// ---------------------------------------------------------------------------
// SDO answers

bool QUserCANopenFrame::sdoResponseParse(QUserCanMsg &msg, uint8_t &node, bool &isWrite, uint16_t &index,
                                         uint16_t &subIndex, uint32_t &len, uint32_t &value) const
{
    return sdoResponseParse(msg, node, isWrite, index, subIndex, len, value, nullptr);
}

bool QUserCANopenFrame::sdoResponseParse(QUserCanMsg &msg, uint8_t &node, bool &isWrite, uint16_t &index,
                                         uint16_t &subIndex, uint32_t &len, uint32_t &value,
                                         bool *sizeIndicated) const
{
    const uint32_t cob = uint32_t(msg.getId());
    if ((cob >> 7) != 11)
        return false;
    msg.dataText = canopen::removeBlanks(msg.dataText);
    const QByteArray b = canopen::dataBytes(msg.dataText);
    if (b.size() < 4)
        return false;
    const uint8_t cmd = uint8_t(b[0]);
    int count = 0;
    bool sized = true;
    switch (cmd) {
    case 0x43: count = 4; break;
    case 0x47: count = 3; break;
    case 0x4B: count = 2; break;
    case 0x4F: count = 1; break;
    case 0x60: break;
    default:
        // Expedited without size indication (e=1, s=0; the n bits mean
        // nothing then): four data bytes, the size is the object's.
        if ((cmd & 0xE3) != 0x42)
            return false;
        count = 4;
        sized = false;
        break;
    }
    if (b.size() < 4 + count)
        return false;
    node = uint8_t(cob & 0x7F);
    index = uint16_t(uint8_t(b[1]) | (uint8_t(b[2]) << 8));
    subIndex = uint8_t(b[3]);
    if (cmd == 0x60) {
        isWrite = true;
        return true;
    }
    uint32_t v = 0;
    for (int i = 0; i < count; ++i)
        v |= uint32_t(uint8_t(b[4 + i])) << (8 * i);
    isWrite = false;
    len = uint32_t(count);
    value = v;
    if (sizeIndicated)
        *sizeIndicated = sized;
    return true;
}

bool QUserCANopenFrame::sdoSegmentedUploadParse(const QUserCanMsg &msg, uint8_t &node, uint16_t &index,
                                                uint16_t &subIndex, uint32_t *size) const
{
    const uint32_t cob = uint32_t(msg.getId());
    if ((cob >> 7) != 11)
        return false;
    const QByteArray b = canopen::dataBytes(canopen::removeBlanks(msg.dataText));
    if (b.size() < 4)
        return false;
    // scs 010 in bits 7-5, e (bit 1) clear; bit 0 tells whether bytes 4-7
    // hold the size.
    const uint8_t cmd = uint8_t(b[0]);
    if ((cmd & 0xE2) != 0x40)
        return false;
    node = uint8_t(cob & 0x7F);
    index = uint16_t(uint8_t(b[1]) | (uint8_t(b[2]) << 8));
    subIndex = uint8_t(b[3]);
    if (size) {
        *size = 0;
        if ((cmd & 0x01) && b.size() >= 8)
            *size = uint32_t(uint8_t(b[4])) | (uint32_t(uint8_t(b[5])) << 8) | (uint32_t(uint8_t(b[6])) << 16)
                | (uint32_t(uint8_t(b[7])) << 24);
    }
    return true;
}

bool QUserCANopenFrame::sdoAbortParse(const QUserCanMsg &msg, uint8_t &node, uint16_t &index, uint16_t &subIndex,
                                      uint32_t &abortCode) const
{
    const uint32_t cob = uint32_t(msg.getId());
    if ((cob >> 7) != 11)
        return false;
    const QByteArray b = canopen::dataBytes(canopen::removeBlanks(msg.dataText));
    if (b.size() < 8 || uint8_t(b[0]) != 0x80)
        return false;
    node = uint8_t(cob & 0x7F);
    index = uint16_t(uint8_t(b[1]) | (uint8_t(b[2]) << 8));
    subIndex = uint8_t(b[3]);
    abortCode = uint32_t(uint8_t(b[4])) | (uint32_t(uint8_t(b[5])) << 8) | (uint32_t(uint8_t(b[6])) << 16)
        | (uint32_t(uint8_t(b[7])) << 24);
    return true;
}

QString QUserCANopenFrame::sdoAbortText(uint32_t code)
{
    struct Entry {
        uint32_t code;
        const char *text;
    };
    static const Entry entries[] = {
        {0x05030000, "触发位未交替"},
        {0x05040000, "SDO协议超时"},
        {0x05040001, "命令字无效或未知"},
        {0x05040002, "无效的块大小"},
        {0x05040003, "无效的序号"},
        {0x05040004, "CRC错误"},
        {0x05040005, "内存溢出"},
        {0x06010000, "不支持访问该对象"},
        {0x06010001, "试图读只写对象"},
        {0x06010002, "试图写只读对象"},
        {0x06020000, "对象字典中不存在该对象"},
        {0x06040041, "对象不能映射到PDO"},
        {0x06040042, "映射对象的数量和长度超出PDO长度"},
        {0x06040043, "一般性参数不兼容"},
        {0x06040047, "设备内部一般性不兼容"},
        {0x06060000, "硬件错误导致访问失败"},
        {0x06070010, "数据类型不匹配,服务参数长度不匹配"},
        {0x06070012, "数据类型不匹配,服务参数长度太大"},
        {0x06070013, "数据类型不匹配,服务参数长度太小"},
        {0x06090011, "子索引不存在"},
        {0x06090030, "参数值无效"},
        {0x06090031, "写入的参数值太大"},
        {0x06090032, "写入的参数值太小"},
        {0x06090036, "最大值小于最小值"},
        {0x060A0023, "SDO连接资源不可用"},
        {0x08000000, "一般性错误"},
        {0x08000020, "数据不能传送或保存到应用"},
        {0x08000021, "因本地控制,数据不能传送或保存到应用"},
        {0x08000022, "因当前设备状态,数据不能传送或保存到应用"},
        {0x08000023, "对象字典动态生成失败或对象字典不存在"},
        {0x08000024, "无可用数据"},
    };
    for (const Entry &e : entries)
        if (e.code == code)
            return QCoreApplication::translate("QObject", e.text);
    return QCoreApplication::translate("QObject", "未知错误");
}
