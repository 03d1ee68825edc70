#include "canopen/QUserCANopenFrame.h"

#include "tests/canopen/CanopenTestUtil.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTranslator>

#include <gtest/gtest.h>

namespace {

QUserCanMsg frame(const char *id, const char *len, const char *data, bool remote = false, bool ext = false)
{
    return QUserCanMsg(QString::fromLatin1(id), remote, ext, QString::fromLatin1(len), QString::fromLatin1(data));
}

QString decode(const QUserCANopenFrame &f, const QUserCanMsg &m, bool *ok = nullptr)
{
    QString text = QStringLiteral("<unchanged>");
    const bool r = f.msgAnalysis(m, text);
    if (ok)
        *ok = r;
    return text;
}

} // namespace

// Decode texts for every service, and the frames that are not recognised.
TEST(DecodeTest, ServiceTexts)
{
    struct Case {
        const char *id;
        bool remote;
        bool ext;
        const char *len;
        const char *data;
        int format;
        const char *text; // nullptr: not recognised
    } cases[] = {
        // NMT
        {"000", false, false, "2", "01 05", 0, "NMT状态切换请求->节点ID:0x05 命令:启动节点"},
        {"000", false, false, "2", "01 05", 1, "NMT状态切换请求->节点ID:5 命令:启动节点"},
        {"0", false, false, "2", "0205", 0, "NMT状态切换请求->节点ID:0x05 命令:停止节点"},
        {"0", false, false, "2", "8005", 0, "NMT状态切换请求->节点ID:0x05 命令:进入预操作状态"},
        {"0", false, false, "2", "81 00", 0, "NMT状态切换请求->节点ID:0x00 命令:复位节点应用层"},
        {"0", false, false, "2", "8205", 0, "NMT状态切换请求->节点ID:0x05 命令:复位节点通讯"},
        {"0", false, false, "2", "03 05", 0, "NMT状态切换请求->节点ID:0x05 命令:未知命令"},
        {"0", false, false, "1", "01", 0, nullptr},
        {"not hex", false, false, "2", "0105", 0, "NMT状态切换请求->节点ID:0x05 命令:启动节点"},
        // SYNC
        {"80", false, false, "0", "", 0, "SYNC同步报文"},
        {"080", false, false, "1", "07", 0, "SYNC同步报文"},
        // EMCY
        {"85", false, false, "8", "10 81 11 AA BB CC DD EE", 0,
         "紧急报文->节点ID:0x05  错误代码:0x8110 错误寄存器:0x11 自定义错误代码:[AA BB CC DD EE ]"},
        {"81", false, false, "8", "0000000000000000", 1,
         "紧急报文->节点ID:1  错误代码:0x0000 错误寄存器:0x00 自定义错误代码:[00 00 00 00 00 ]"},
        {"81", false, false, "6", "000000000000", 0, nullptr},
        // TIME
        {"100", false, false, "6", "00 00 00 00 00 00", 0, "时间同步->1984-01-01  00:00:00.0"},
        {"100", false, false, "6", "05 00 00 00 00 00", 0, "时间同步->1984-01-01  00:00:00.5"},
        {"100", false, false, "6", "f4 01 00 00 00 00", 0, "时间同步->1984-01-01  00:00:00.500"},
        {"100", false, false, "6", "00 00 00 00 1e 00", 0, "时间同步->1984-01-31  00:00:00.0"},
        {"100", false, false, "6", "00 00 00 00 1f 00", 0, "时间同步->1984-02-01  00:00:00.0"},
        {"100", false, false, "6", "00 00 00 00 6d 01", 0, "时间同步->1984-12-31  00:00:00.0"},
        {"100", false, false, "6", "00 00 00 00 6e 01", 0, "时间同步->1985-01-01  00:00:00.0"},
        {"100", false, false, "6", "18 58 26 05 ff ff", 0, "时间同步->2163-06-06  23:59:59.0"},
        // milliseconds of a whole day carry into the date; the top 4 bits are not time
        {"100", false, false, "6", "00 5c 26 05 00 00", 0, "时间同步->1984-01-02  00:00:00.0"},
        {"100", false, false, "6", "00 00 00 f0 00 00", 0, "时间同步->1984-01-01  00:00:00.0"},
        {"100", false, false, "8", "e8 03 00 00 12 39 00 00", 0, "时间同步->2024-01-01  00:00:01.0"},
        {"100", false, false, "0", "", 0, "时间同步->1984-01-01  00:00:00.0"},
        {"101", false, false, "6", "000000000000", 0, nullptr},
        {"17F", false, false, "6", "000000000000", 0, nullptr},
        // PDO
        {"185", false, false, "8", "1122334455667788", 0, "TPDO1->节点ID:0x05 数据:[11 22 33 44 55 66 77 88]"},
        {"205", false, false, "1", "aa", 0, "RPDO1->节点ID:0x05 数据:[aa]"},
        {"4FF", false, false, "3", "AABBCC", 0, "TPDO4->节点ID:0x7F 数据:[AA BB CC]"},
        {"57F", false, false, "0", "", 1, "RPDO4->节点ID:127 数据:[]"},
        {"281", true, false, "0", "", 0, "远程TPDO2请求->节点ID:0x01 "},
        {"281", true, false, "0", "", 1, "远程TPDO2请求->节点ID:1 "},
        {"305", false, false, "2", "11 22", 0, "RPDO2->节点ID:0x05 数据:[11 22]"},
        // SDO
        {"605", false, false, "8", "2B 40 60 00 0F 00 00 00", 0, "SDO请求->节点ID:05 索引:0x6040 子索引:0x00 操作:写2字节[0f 00]"},
        {"605", false, false, "8", "2F 60 60 00 03 00 00 00", 0, "SDO请求->节点ID:05 索引:0x6060 子索引:0x00 操作:写1字节[03]"},
        {"605", false, false, "8", "27 00 20 01 01 02 03 00", 0, "SDO请求->节点ID:05 索引:0x2000 子索引:0x01 操作:写3字节[01 02 03]"},
        {"605", false, false, "8", "23 FF 60 00 18 FC FF FF", 0, "SDO请求->节点ID:05 索引:0x60ff 子索引:0x00 操作:写4字节[18 fc ff ff]"},
        {"601", false, false, "8", "40 18 10 01 00 00 00 00", 0, "SDO请求->节点ID:01 索引:0x1018 子索引:0x01 操作:读取"},
        {"623", false, false, "8", "40 18 10 01 00 00 00 00", 1, "SDO请求->节点ID:35 索引:0x1018 子索引:0x01 操作:读取"},
        {"581", false, false, "8", "43 18 10 01 78 56 34 12", 0, "SDO响应->节点ID:01 索引:0x1018 子索引:0x01 操作:读响应4字节[78 56 34 12]"},
        {"581", false, false, "8", "47 18 10 01 78 56 34 12", 0, "SDO响应->节点ID:01 索引:0x1018 子索引:0x01 操作:读响应3字节[78 56 34]"},
        {"581", false, false, "8", "4B 41 60 00 37 02 00 00", 0, "SDO响应->节点ID:01 索引:0x6041 子索引:0x00 操作:读响应2字节[37 02]"},
        {"581", false, false, "8", "4F 61 60 00 03 00 00 00", 0, "SDO响应->节点ID:01 索引:0x6061 子索引:0x00 操作:读响应1字节[03]"},
        {"581", false, false, "8", "42 41 60 00 37 02 00 00", 0, "SDO响应->节点ID:01 索引:0x6041 子索引:0x00 操作:读响应4字节[37 02 00 00]"},
        {"585", false, false, "8", "60 40 60 00 00 00 00 00", 0, "SDO响应->节点ID:05 索引:0x6040 子索引:0x00 操作:写成功"},
        {"585", false, false, "8", "80 00 20 00 00 00 02 06", 0,
         "SDO响应->节点ID:05 索引:0x2000 子索引:0x00 操作:异常错误<0x06020000>对象字典中不存在该对象"},
        {"605", false, false, "8", "80 00 20 00 00 00 04 05", 0,
         "SDO请求->节点ID:05 索引:0x2000 子索引:0x00 操作:异常错误<0x05040000>SDO协议超时"},
        {"585", false, false, "4", "80 00 20 00", 0, "SDO响应->节点ID:05 索引:0x2000 子索引:0x00 操作:异常错误"},
        {"605", false, false, "8", "21 00 20 00 08 00 00 00", 0, "SDO请求->节点ID:05 索引:0x2000 子索引:0x00 操作:未知<0x21>"},
        {"585", false, false, "8", "41 00 20 00 08 00 00 00", 0, "SDO响应->节点ID:05 索引:0x2000 子索引:0x00 操作:未知<0x41>"},
        {"605", false, false, "8", "60 00 20 00 00 00 00 00", 0, "SDO请求->节点ID:05 索引:0x2000 子索引:0x00 操作:未知<0x60>"},
        // a short expedited answer lists the bytes it has, not invented ones
        {"581", false, false, "5", "43 18 10 01 78", 0, "SDO响应->节点ID:01 索引:0x1018 子索引:0x01 操作:读响应4字节[78]"},
        {"5A3", false, true, "8", "60 40 60 00 00 00 00 00", 0, "SDO响应->节点ID:23 索引:0x6040 子索引:0x00 操作:写成功"},
        // heartbeat and node guarding
        {"712", false, false, "1", "05", 0, "心跳报文->节点ID:0x12 状态:操作"},
        {"712", false, false, "1", "85", 0, "心跳报文->节点ID:0x12 状态:操作"},
        {"712", false, false, "1", "7F", 0, "心跳报文->节点ID:0x12 状态:预操作"},
        {"712", false, false, "1", "04", 1, "心跳报文->节点ID:18 状态:停止"},
        {"712", false, false, "1", "00", 0, "心跳报文->节点ID:0x12 状态:启动"},
        {"712", false, false, "0", "", 0, "心跳报文->节点ID:0x12 状态:启动"},
        {"712", false, false, "1", "82", 0, "心跳报文->节点ID:0x12 状态:未知状态->0x82"},
        {"705", true, false, "0", "", 0, "状态请求->节点ID:0x05 "},
        // LSS
        {"7E5", false, false, "8", "0000000000000000", 0, "LSS报文"},
        {"7FF", false, false, "0", "", 0, "LSS报文"},
        // not recognised
        {"6A0", false, false, "8", "0000000000000000", 0, nullptr},
        {"680", false, false, "8", "0000000000000000", 0, nullptr},
        {"800", false, true, "8", "0000000000000000", 0, nullptr},
        {"18FF0001", false, true, "8", "0000000000000000", 0, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.id) + " [" + c.data + "]");
        QUserCANopenFrame f;
        f.nodeIdFormatSet(c.format);
        bool ok = false;
        const QString text = decode(f, frame(c.id, c.len, c.data, c.remote, c.ext), &ok);
        if (!c.text) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(text, "<unchanged>");
        } else {
            EXPECT_TRUE(ok);
            EXPECT_EQ(text, QString::fromUtf8(c.text));
        }
    }
}

TEST(DecodeTest, DecodingLeavesTheCallersFrameAlone)
{
    QUserCANopenFrame f;
    const QUserCanMsg m = frame("585", "8", "4B 41 60 00 37 02 00 00");
    QString text;
    ASSERT_TRUE(f.msgAnalysis(m, text));
    EXPECT_EQ(m.dataText, "4B 41 60 00 37 02 00 00");
}

TEST(DecodeTest, RecognitionAndNodeState)
{
    QUserCANopenFrame f;
    EXPECT_EQ(f.nodeState, 3);
    EXPECT_EQ(f.nodeIdFormat, 0);
    struct Case {
        const char *id;
        bool remote;
        const char *data;
        bool recognised;
        int stateAfter;
    } cases[] = {
        {"712", false, "05", true, 2},
        {"712", false, "85", true, 2},
        {"705", true, "", true, 2},          // a guarding request changes nothing
        {"712", false, "02", true, 2},       // unknown state changes nothing
        {"712", false, "04", true, 1},
        {"712", false, "7F", true, 3},
        {"712", false, "", true, 0},         // no data byte reads as boot-up
        {"712", false, "FF", true, 3},
        {"000", false, "", true, 3},         // NMT of any length is "recognised" here
        {"100", false, "", true, 3},
        {"101", false, "", false, 3},
        {"17F", false, "", false, 3},
        {"6A0", false, "", false, 3},
        {"800", false, "", false, 3},
        {"185", false, "", true, 3},
        {"7E5", false, "", true, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.id) + " " + c.data);
        EXPECT_EQ(f.isNmtClassMsg(frame(c.id, "1", c.data, c.remote)), c.recognised);
        EXPECT_EQ(f.nodeState, c.stateAfter);
    }
    // msgAnalysis itself never changes the state.
    f.nodeState = 1;
    QString text;
    f.msgAnalysis(frame("712", "1", "05"), text);
    EXPECT_EQ(f.nodeState, 1);
}

// The 1984 calendar and the TIME frame against Python's datetime over the
// whole 16-bit day range: daysToDate, the TIME decoder, and the TIME builder
// (whose day count must come back as the same number).
TEST(DecodeTest, CalendarAgainstPythonOverTheWholeDayRange)
{
    REQUIRE_PEER_MODULES("datetime");
    auto r = peer::run(peer::script("canopen_calendar.py"));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const QStringList lines = QString::fromStdString(r.output).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 65536);
    QUserCANopenFrame f;
    int mismatches = 0;
    for (const QString &line : lines) {
        const uint32_t days = line.section(' ', 0, 0).toUInt();
        const QString date = line.section(' ', 1, 1);
        const int y = date.left(4).toInt(), mo = date.mid(5, 2).toInt(), d = date.mid(8, 2).toInt();

        CANopenDateTime dt;
        QUserCANopenFrame::daysToDate(uint16_t(days), dt);
        if (1984 + dt.yearOffset != y || dt.month != mo || dt.day != d || dt.reserved != 0) {
            if (++mismatches < 5)
                ADD_FAILURE() << "daysToDate " << days << " gave " << 1984 + dt.yearOffset << "-" << int(dt.month)
                              << "-" << int(dt.day) << ", python " << date.toStdString();
            continue;
        }

        // A time of day that walks through the day as the days go by.
        const uint32_t secs = (days * 7919u) % 86400u;
        const int h = int(secs / 3600), mi = int(secs / 60 % 60), s = int(secs % 60);
        QUserCanMsg m;
        ASSERT_TRUE(f.timeSyncMsgCreat(m, y, mo, d, h, mi, s)) << date.toStdString();
        const QByteArray bytes = QByteArray::fromHex(m.dataText.toLatin1());
        ASSERT_EQ(bytes.size(), 6);
        const uint32_t gotDays = uint8_t(bytes[4]) | (uint8_t(bytes[5]) << 8);
        const uint32_t gotMs = uint8_t(bytes[0]) | (uint8_t(bytes[1]) << 8) | (uint8_t(bytes[2]) << 16)
            | (uint32_t(uint8_t(bytes[3])) << 24);
        if (gotDays != days || gotMs != secs * 1000u) {
            if (++mismatches < 5)
                ADD_FAILURE() << "TIME build of " << date.toStdString() << " gave days " << gotDays;
            continue;
        }
        QString text;
        ASSERT_TRUE(f.msgAnalysis(m, text));
        const QString expected = QString::fromUtf8("时间同步->") + date + "  "
            + QString::asprintf("%02d:%02d:%02d.0", h, mi, s);
        if (text != expected && ++mismatches < 5)
            ADD_FAILURE() << text.toStdString() << " != " << expected.toStdString();
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(DecodeTest, SecondsConversionsRoundTrip)
{
    // Every day the 32-bit seconds count holds, at a time that moves through
    // the day: seconds -> date and time -> seconds.
    for (uint32_t day = 0; day < 0xFFFFFFFFu / 86400u; ++day) {
        const uint32_t seconds = day * 86400u + (day * 4099u) % 86400u;
        CANopenDateTime dt;
        QUserCANopenFrame::secondsToDateTime(seconds, dt);
        ASSERT_EQ(QUserCANopenFrame::dateTimeToSeconds(dt), seconds) << day;
        ASSERT_EQ(QUserCANopenFrame::secondsToDays(seconds), day);
    }
    CANopenDateTime leap;
    leap.yearOffset = 0;
    leap.month = 3;
    leap.day = 1;
    EXPECT_EQ(QUserCANopenFrame::dateTimeToSeconds(leap), 60u * 86400u);
    EXPECT_TRUE(QUserCANopenFrame::isLeapYear(2000));
    EXPECT_FALSE(QUserCANopenFrame::isLeapYear(2100));
    EXPECT_TRUE(QUserCANopenFrame::isLeapYear(1984));
    EXPECT_FALSE(QUserCANopenFrame::isLeapYear(1985));
}

namespace {
// A catalogue that has a text for every lookup.
class EverythingTranslated : public QTranslator
{
public:
    QString translate(const char *, const char *source, const char *, int) const override
    {
        return QStringLiteral("<") + QString::fromUtf8(source) + QStringLiteral(">");
    }
    bool isEmpty() const override { return false; }
};

QByteArray sourceFile(const char *relative)
{
    return cotest::readAll(QString::fromStdString(peer::sourceDir() + "/" + relative));
}
} // namespace

// "SDO请求" and "SDO响应" name the frame kind in every language: they are
// not looked up, and the translation files do not carry them.
TEST(DecodeTest, SdoLeadingWordsAreNotTranslated)
{
    EverythingTranslated tr;
    QCoreApplication::installTranslator(&tr);
    QUserCANopenFrame f;
    const QString request = decode(f, frame("605", "8", "40 18 10 01 00 00 00 00"));
    const QString response = decode(f, frame("585", "8", "60 40 60 00 00 00 00 00"));
    QCoreApplication::removeTranslator(&tr);
    EXPECT_TRUE(request.startsWith(QString::fromUtf8("SDO请求-><节点ID:>"))) << request.toStdString();
    EXPECT_TRUE(response.startsWith(QString::fromUtf8("SDO响应-><节点ID:>"))) << response.toStdString();
    for (const char *ts : {"mainwindow/translations/lanague_cn.ts", "mainwindow/translations/lanague_en.ts",
                           "mainwindow/translations/WrappedTexts.h"}) {
        SCOPED_TRACE(ts);
        const QString text = QString::fromUtf8(sourceFile(ts));
        ASSERT_FALSE(text.isEmpty());
        EXPECT_FALSE(text.contains(QString::fromUtf8(">SDO请求<")) || text.contains(QString::fromUtf8("\"SDO请求\"")));
        EXPECT_FALSE(text.contains(QString::fromUtf8(">SDO响应<")) || text.contains(QString::fromUtf8("\"SDO响应\"")));
    }
}
