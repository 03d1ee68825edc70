// Received-frame decoders and the TIME calendar of QUserCANopenFrame.
#include "canopen/QUserCANopenFrame.h"

#include "canopen/QUserCANopenBytes.h"

#include <QStringList>

using canopen::word;

namespace {

QByteArray frameBytes(const QUserCanMsg &msg)
{
    return canopen::dataBytes(canopen::removeBlanks(msg.dataText));
}

// Two hexadecimal digits of a byte, as "%02X" or "%02x" write them
// (decoding runs for every logged frame; this is much cheaper than a
// formatted print).
QString hex2(unsigned v, bool upper)
{
    static const char kUpper[] = "0123456789ABCDEF";
    static const char kLower[] = "0123456789abcdef";
    const char *digits = upper ? kUpper : kLower;
    const QChar c[2] = {QLatin1Char(digits[(v >> 4) & 0xF]), QLatin1Char(digits[v & 0xF])};
    return QString(c, 2);
}

// Byte i of the data, 0 when the frame is shorter.
uint8_t at(const QByteArray &b, int i)
{
    return i < b.size() ? uint8_t(b[i]) : 0;
}

const uint16_t kMonthDays[2][13] = {
    {365, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {366, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

} // namespace

QString QUserCANopenFrame::nodeText(uint32_t node) const
{
    if (nodeIdFormat == 1)
        return QString::number(int(node)) + QLatin1Char(' ');
    return node > 0xFF ? QString::asprintf("0x%02X ", node) : QLatin1String("0x") + hex2(node, true) + QLatin1Char(' ');
}

QString QUserCANopenFrame::sdoNodeText(uint32_t node) const
{
    if (nodeIdFormat == 1)
        return QString::number(int(node)) + QLatin1Char(' ');
    return node > 0xFF ? QString::asprintf("%02X ", node) : hex2(node, true) + QLatin1Char(' ');
}

bool QUserCANopenFrame::msgAnalysis(const QUserCanMsg &msg, QString &text) const
{
    const uint32_t cob = uint32_t(msg.getId());
    const uint32_t fc = cob >> 7;
    switch (fc) {
    case 0:
        return nmtMsgAnalysis(msg, text);
    case 1:
        if (cob == 0x80) {
            text = QStringLiteral("SYNC") + word("同步报文");
            return true;
        }
        return emergMsgAnalysis(msg, text);
    case 2:
        if (cob != 0x100)
            return false;
        return timeMsgAnalysis(msg, text);
    case 3: case 4: case 5: case 6: case 7: case 8: case 9: case 10:
        return pdoMsgAnalysis(msg, text);
    case 11:
        return sdoResponseMsgAnalysis(msg, text);
    case 12:
        return sdoRequestMsgAnalysis(msg, text);
    case 14:
        return heartBeatMsgAnalysis(msg, text);
    case 15:
        text = word("LSS报文");
        return true;
    default:
        return false;
    }
}

bool QUserCANopenFrame::isNmtClassMsg(const QUserCanMsg &msg, const QString &channel)
{
    const uint32_t cob = uint32_t(msg.getId());
    const uint32_t fc = cob >> 7;
    if (fc > 15 || fc == 13 || (fc == 2 && cob != 0x100))
        return false;
    if (fc == 14)
        heartBeatStateUpdate(msg, channel);
    return true;
}

bool QUserCANopenFrame::heartBeatStateUpdate(const QUserCanMsg &msg, const QString &channel)
{
    if (msg.remote)
        return true;
    int state = -1;
    switch (at(frameBytes(msg), 0) & 0x7F) {
    case 0: state = 0; break;
    case 4: state = 1; break;
    case 5: state = 2; break;
    case 127: state = 3; break;
    default: break;
    }
    if (state < 0)
        return true;
    nodeState = state;
    const uint32_t node = uint32_t(msg.getId()) & 0x7F;
    if (node != 0)
        nodeStates[channel].state[node] = int8_t(state);
    return true;
}

QUserCANopenFrame::NodeStates::NodeStates()
{
    for (int8_t &s : state)
        s = -1;
}

QUserCANopenFrame::QUserCANopenFrame() = default;

int QUserCANopenFrame::nodeStateOf(int node, const QString &channel) const
{
    if (node < 1 || node > 127)
        return -1;
    const auto it = nodeStates.constFind(channel);
    return it == nodeStates.constEnd() ? -1 : it->state[node];
}

bool QUserCANopenFrame::nmtMsgAnalysis(const QUserCanMsg &msg, QString &text) const
{
    if (msg.getLen() < 2)
        return false;
    const QByteArray b = frameBytes(msg);
    const char *command = "未知命令";
    switch (at(b, 0)) {
    case 0x01: command = "启动节点"; break;
    case 0x02: command = "停止节点"; break;
    case 0x80: command = "进入预操作状态"; break;
    case 0x81: command = "复位节点应用层"; break;
    case 0x82: command = "复位节点通讯"; break;
    default: break;
    }
    text = word("NMT状态切换请求") + QStringLiteral("->") + word("节点ID:") + nodeText(at(b, 1)) + word("命令:")
        + word(command);
    return true;
}

bool QUserCANopenFrame::emergMsgAnalysis(const QUserCanMsg &msg, QString &text) const
{
    if (msg.getLen() != 8)
        return false;
    const QByteArray b = frameBytes(msg);
    QString manufacturer;
    for (int i = 3; i <= 7; ++i)
        manufacturer += hex2(at(b, i), true) + QLatin1Char(' ');
    text = word("紧急报文") + QStringLiteral("->") + word("节点ID:") + nodeText(uint32_t(msg.getId()) & 0x7F)
        + QStringLiteral(" ") + word("错误代码:") + QLatin1String("0x") + hex2(at(b, 1), true) + hex2(at(b, 0), true) + QLatin1Char(' ')
        + word("错误寄存器:") + QLatin1String("0x") + hex2(at(b, 2), true) + QLatin1Char(' ') + word("自定义错误代码:")
        + QStringLiteral("[") + manufacturer + QStringLiteral("]");
    return true;
}

bool QUserCANopenFrame::timeMsgAnalysis(const QUserCanMsg &msg, QString &text)
{
    const QByteArray b = frameBytes(msg);
    const uint32_t ms = (uint32_t(at(b, 0)) | (uint32_t(at(b, 1)) << 8) | (uint32_t(at(b, 2)) << 16)
                         | (uint32_t(at(b, 3)) << 24))
        & 0x0FFFFFFFu;
    const uint32_t days = uint32_t(at(b, 4)) | (uint32_t(at(b, 5)) << 8);
    const uint32_t d = days + ms / 86400000u;
    const uint32_t rest = ms % 86400000u;
    int year = 0, month = 0, day = 0;
    daysToDate32(d, year, month, day);
    const uint32_t secs = rest / 1000u;
    text = word("时间同步") + QStringLiteral("->") + QString::asprintf("%d-%02d-%02d", year, month, day)
        + QStringLiteral("  ")
        + QString::asprintf("%02d:%02d:%02d.%d", int(secs / 3600), int(secs / 60 % 60), int(secs % 60),
                            int(rest % 1000u));
    return true;
}

bool QUserCANopenFrame::heartBeatMsgAnalysis(const QUserCanMsg &msg, QString &text) const
{
    const uint32_t node = uint32_t(msg.getId()) & 0x7F;
    if (msg.remote) {
        text = word("状态请求") + QStringLiteral("->") + word("节点ID:") + nodeText(node);
        return true;
    }
    const uint8_t state = at(frameBytes(msg), 0);
    QString stateText;
    switch (state & 0x7F) {
    case 0: stateText = word("启动"); break;
    case 4: stateText = word("停止"); break;
    case 5: stateText = word("操作"); break;
    case 127: stateText = word("预操作"); break;
    default: stateText = word("未知状态->") + QString::asprintf("0x%02x", state); break;
    }
    text = word("心跳报文") + QStringLiteral("->") + word("节点ID:") + nodeText(node) + word("状态:") + stateText;
    return true;
}

bool QUserCANopenFrame::pdoMsgAnalysis(const QUserCanMsg &msg, QString &text) const
{
    static const char *const names[8] = {"TPDO1", "RPDO1", "TPDO2", "RPDO2", "TPDO3", "RPDO3", "TPDO4", "RPDO4"};
    const uint32_t cob = uint32_t(msg.getId());
    const uint32_t fc = cob >> 7;
    if (fc < 3 || fc > 10)
        return false;
    const QString name = QString::fromLatin1(names[fc - 3]);
    const uint32_t node = cob & 0x7F;
    if (msg.remote) {
        text = word("远程") + name + word("请求") + QStringLiteral("->") + word("节点ID:") + nodeText(node);
        return true;
    }
    QString data = canopen::removeBlanks(msg.dataText);
    insertSeparator(data, QStringLiteral(" "), 2);
    text = name + QStringLiteral("->") + word("节点ID:") + nodeText(node) + word("数据:") + QStringLiteral("[") + data
        + QStringLiteral("]");
    return true;
}

bool QUserCANopenFrame::sdoAnalysis(const QUserCanMsg &msg, bool request, QString &text) const
{
    const uint32_t node = uint32_t(msg.getId()) & 0x7F;
    const QByteArray b = frameBytes(msg);
    const uint8_t cmd = at(b, 0);

    auto dataList = [&b](int n) -> QString {
        QStringList bytes;
        for (int i = 4; i < 4 + n && i < b.size(); ++i)
            bytes << hex2(uint8_t(b[i]), false);
        return QStringLiteral("[") + bytes.join(QLatin1Char(' ')) + QStringLiteral("]");
    };
    auto sized = [&](int n, bool response) -> QString {
        QString s = response ? word("读") + word("响应") : word("写");
        return s + QString::number(n) + word("字节") + dataList(n);
    };

    QString operation;
    if (cmd == 0x80) {
        operation = word("异常错误");
        if (b.size() >= 8) {
            const uint32_t code = uint32_t(uint8_t(b[4])) | (uint32_t(uint8_t(b[5])) << 8)
                | (uint32_t(uint8_t(b[6])) << 16) | (uint32_t(uint8_t(b[7])) << 24);
            operation += QString::asprintf("<0x%08x>", code) + sdoAbortText(code);
        }
    } else if (request) {
        switch (cmd) {
        case 0x2F: operation = sized(1, false); break;
        case 0x2B: operation = sized(2, false); break;
        case 0x27: operation = sized(3, false); break;
        case 0x23: operation = sized(4, false); break;
        case 0x40: operation = word("读取"); break;
        default: break;
        }
    } else {
        switch (cmd) {
        case 0x4F: operation = sized(1, true); break;
        case 0x4B: operation = sized(2, true); break;
        case 0x47: operation = sized(3, true); break;
        case 0x43: operation = sized(4, true); break;
        case 0x42: operation = sized(4, true); break; // size left to the object
        case 0x60: operation = word("写") + word("成功"); break;
        default: break;
        }
    }
    if (operation.isEmpty())
        operation = word("未知") + QString::asprintf("<0x%02x>", cmd);

    // The leading words stay as they are in every language (they name the
    // frame kind, as "SYNC" or the PDO names do).
    static const QString kRequest = QString::fromUtf8("SDO请求");
    static const QString kResponse = QString::fromUtf8("SDO响应");
    text = (request ? kRequest : kResponse) + QStringLiteral("->") + word("节点ID:")
        + sdoNodeText(node) + word("索引:0x") + hex2(at(b, 2), false) + hex2(at(b, 1), false) + QLatin1Char(' ')
        + word("子索引:0x") + hex2(at(b, 3), false) + QLatin1Char(' ') + word("操作:") + operation;
    return true;
}

bool QUserCANopenFrame::sdoResponseMsgAnalysis(const QUserCanMsg &msg, QString &text) const
{
    return sdoAnalysis(msg, false, text);
}

bool QUserCANopenFrame::sdoRequestMsgAnalysis(const QUserCanMsg &msg, QString &text) const
{
    return sdoAnalysis(msg, true, text);
}

// ---------------------------------------------------------------------------
// Calendar

bool QUserCANopenFrame::isLeapYear(int year)
{
    return (year % 400 == 0) || (year % 4 == 0 && year % 100 != 0);
}

uint32_t QUserCANopenFrame::dateTimeToSeconds(const CANopenDateTime &dt)
{
    uint32_t days = 0;
    const int year = 1984 + dt.yearOffset;
    for (int y = 1984; y < year; ++y)
        days += kMonthDays[isLeapYear(y)][0];
    const int leap = isLeapYear(year);
    for (int m = 1; m < dt.month && m <= 12; ++m)
        days += kMonthDays[leap][m];
    days += uint32_t(dt.day) - 1u;
    return days * 86400u + uint32_t(dt.hour) * 3600u + uint32_t(dt.minute) * 60u + dt.second;
}

uint32_t QUserCANopenFrame::secondsToDays(uint32_t seconds)
{
    return seconds / 86400u;
}

void QUserCANopenFrame::daysToDate32(uint32_t days, int &year, int &month, int &day)
{
    year = 1984;
    for (;;) {
        const uint32_t len = kMonthDays[isLeapYear(year)][0];
        if (days < len)
            break;
        days -= len;
        ++year;
    }
    const int leap = isLeapYear(year);
    month = 1;
    while (month < 12 && days >= kMonthDays[leap][month]) {
        days -= kMonthDays[leap][month];
        ++month;
    }
    day = int(days) + 1;
}

void QUserCANopenFrame::daysToDate(uint16_t days, CANopenDateTime &dt)
{
    int year = 0, month = 0, day = 0;
    daysToDate32(days, year, month, day);
    dt.yearOffset = uint8_t(year - 1984);
    dt.month = uint8_t(month);
    dt.reserved = 0;
    dt.day = uint8_t(day);
}

void QUserCANopenFrame::secondsToDateTime(uint32_t seconds, CANopenDateTime &dt)
{
    const uint32_t days = seconds / 86400u;
    int year = 0, month = 0, day = 0;
    daysToDate32(days, year, month, day);
    dt.yearOffset = uint8_t(year - 1984);
    dt.month = uint8_t(month);
    dt.reserved = 0;
    dt.day = uint8_t(day);
    const uint32_t rest = seconds % 86400u;
    dt.hour = uint8_t(rest / 3600u);
    dt.minute = uint8_t(rest / 60u % 60u);
    dt.second = uint8_t(rest % 60u);
}
