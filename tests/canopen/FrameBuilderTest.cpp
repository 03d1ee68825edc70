#include "canopen/QUserCANopenFrame.h"
#include "canopen/QUserDictObj.h"

#include "tests/canopen/CanopenTestUtil.h"

#include <functional>

#include <gtest/gtest.h>

namespace {

// A record with every field the builders must leave alone set to a marker.
QUserCanMsg marked()
{
    QUserCanMsg m;
    m.auxText1 = "a1";
    m.auxText2 = "a2";
    m.protocol = 1;
    m.fdFlags = 3;
    m.channel = 2;
    m.devTime = 11;
    m.hostTime = 22;
    m.sendTick = 33;
    m.auxCount = 44;
    m.sendFailed = 1;
    m.rowEnable = 1;
    m.extended = 1;
    m.sendType = 7;
    m.direction = 0;
    m.status = 5;
    m.remote = 1;
    return m;
}

void expectUntouchedExtras(const QUserCanMsg &m)
{
    EXPECT_EQ(m.auxText1, "a1");
    EXPECT_EQ(m.auxText2, "a2");
    EXPECT_EQ(m.protocol, 1);
    EXPECT_EQ(m.fdFlags, 3);
    EXPECT_EQ(m.channel, 2);
    EXPECT_EQ(m.devTime, 11u);
    EXPECT_EQ(m.hostTime, 22);
    EXPECT_EQ(m.sendTick, 33u);
    EXPECT_EQ(m.auxCount, 44u);
    EXPECT_EQ(m.sendFailed, 1);
    EXPECT_EQ(m.rowEnable, 1);
}

bool sameRecord(const QUserCanMsg &a, const QUserCanMsg &b)
{
    return a.idText == b.idText && a.lenText == b.lenText && a.dataText == b.dataText && a.remote == b.remote
        && a.extended == b.extended && a.sendType == b.sendType && a.direction == b.direction && a.status == b.status;
}

struct BuildCase
{
    const char *what;
    std::function<bool(const QUserCANopenFrame &, QUserCanMsg &)> build;
    bool ok;
    const char *id;
    bool remote;
    int extended; // 0 written as false, 1 left untouched (marker is 1)
    const char *len;
    const char *data;
};

} // namespace

// Bytes per CiA 301 for every builder, and the refusals.
TEST(FrameBuilderTest, BuilderTable)
{
    QString t;
    const BuildCase cases[] = {
        {"NMT start node 5", [](auto &f, auto &m) { return f.nmtMsgCreat(m, 5, 0); }, true, "0", false, 0, "2", "0105"},
        {"NMT stop", [](auto &f, auto &m) { return f.nmtMsgCreat(m, 5, 1); }, true, "0", false, 0, "2", "0205"},
        {"NMT pre-op", [](auto &f, auto &m) { return f.nmtMsgCreat(m, 5, 2); }, true, "0", false, 0, "2", "8005"},
        {"NMT reset node", [](auto &f, auto &m) { return f.nmtMsgCreat(m, 5, 3); }, true, "0", false, 0, "2", "8105"},
        {"NMT reset comm", [](auto &f, auto &m) { return f.nmtMsgCreat(m, 127, 4); }, true, "0", false, 0, "2", "827f"},
        {"NMT all nodes", [](auto &f, auto &m) { return f.nmtMsgCreat(m, 0, 0); }, true, "0", false, 0, "2", "0100"},
        {"NMT command 5", [](auto &f, auto &m) { return f.nmtMsgCreat(m, 5, 5); }, false, "", false, 0, "", ""},
        {"NMT command -1", [](auto &f, auto &m) { return f.nmtMsgCreat(m, 5, -1); }, false, "", false, 0, "", ""},
        {"NMT node 128", [](auto &f, auto &m) { return f.nmtMsgCreat(m, 128, 0); }, false, "", false, 0, "", ""},
        {"guard request", [](auto &f, auto &m) { return f.nmtGuardStatusGetMsgCreat(m, 0x7F); }, true, "0000077f", true, 0, "0", ""},
        {"guard answer boot-up", [](auto &f, auto &m) { return f.nmtGuardStatusAckMsgCreat(m, 3, 0); }, true, "00000703", false, 1, "1", "00"},
        {"guard answer stopped", [](auto &f, auto &m) { return f.nmtGuardStatusAckMsgCreat(m, 3, 1); }, true, "00000703", false, 1, "1", "04"},
        {"guard answer operational", [](auto &f, auto &m) { return f.nmtGuardStatusAckMsgCreat(m, 3, 2); }, true, "00000703", false, 1, "1", "05"},
        {"guard answer pre-op", [](auto &f, auto &m) { return f.nmtGuardStatusAckMsgCreat(m, 3, 3); }, true, "00000703", false, 1, "1", "7f"},
        {"guard answer toggle", [](auto &f, auto &m) { return f.nmtGuardStatusAckMsgCreat(m, 3, 2, true); }, true, "00000703", false, 1, "1", "85"},
        {"guard answer state 4", [](auto &f, auto &m) { return f.nmtGuardStatusAckMsgCreat(m, 3, 4); }, false, "", false, 0, "", ""},
        {"SYNC", [](auto &f, auto &m) { return f.syncMsgCreat(m); }, true, "80", false, 1, "0", ""},
        {"EMCY", [](auto &f, auto &m) { return f.emergMsgCreat(m, 5, "10 81", "11", "AA BB CC DD EE"); }, true, "85", false, 0, "8", "10 8111AA BB CC DD EE"},
        {"EMCY 9-digit field", [](auto &f, auto &m) { return f.emergMsgCreat(m, 5, "1081", "11", "AABBCCDDE"); }, false, "", false, 0, "", ""},
        {"EMCY short code", [](auto &f, auto &m) { return f.emergMsgCreat(m, 5, "108", "11", "AABBCCDDEE"); }, false, "", false, 0, "", ""},
        {"EMCY short register", [](auto &f, auto &m) { return f.emergMsgCreat(m, 5, "1081", "1", "AABBCCDDEE"); }, false, "", false, 0, "", ""},
        // Typed values that are not hexadecimal digits are not bytes.
        {"EMCY code 0x", [](auto &f, auto &m) { return f.emergMsgCreat(m, 5, "0x10", "11", "AABBCCDDEE"); }, false, "", false, 0, "", ""},
        {"EMCY register not hex", [](auto &f, auto &m) { return f.emergMsgCreat(m, 5, "1081", "1g", "AABBCCDDEE"); }, false, "", false, 0, "", ""},
        {"EMCY field not hex", [](auto &f, auto &m) { return f.emergMsgCreat(m, 5, "1081", "11", "AA-BB-CC-DD-EE"); }, false, "", false, 0, "", ""},
        {"TPDO1 two bytes", [&t](auto &f, auto &m) { t = "11 22"; return f.pdoMsgCreat(m, 5, 0, t); }, true, "185", false, 0, "2", "1122"},
        {"RPDO1", [&t](auto &f, auto &m) { t = "AB"; return f.pdoMsgCreat(m, 5, 1, t); }, true, "205", false, 0, "1", "AB"},
        {"TPDO2", [&t](auto &f, auto &m) { t = "01"; return f.pdoMsgCreat(m, 5, 2, t); }, true, "285", false, 0, "1", "01"},
        {"RPDO2", [&t](auto &f, auto &m) { t = "01"; return f.pdoMsgCreat(m, 5, 3, t); }, true, "305", false, 0, "1", "01"},
        {"TPDO3", [&t](auto &f, auto &m) { t = "01"; return f.pdoMsgCreat(m, 5, 4, t); }, true, "385", false, 0, "1", "01"},
        {"RPDO3", [&t](auto &f, auto &m) { t = "01"; return f.pdoMsgCreat(m, 5, 5, t); }, true, "405", false, 0, "1", "01"},
        {"TPDO4", [&t](auto &f, auto &m) { t = "01"; return f.pdoMsgCreat(m, 5, 6, t); }, true, "485", false, 0, "1", "01"},
        {"RPDO4 eight bytes", [&t](auto &f, auto &m) { t = "0011223344556677"; return f.pdoMsgCreat(m, 127, 7, t); }, true, "57f", false, 0, "8", "0011223344556677"},
        {"PDO nine bytes", [&t](auto &f, auto &m) { t = "001122334455667788"; return f.pdoMsgCreat(m, 5, 0, t); }, false, "", false, 0, "", ""},
        {"PDO odd digits", [&t](auto &f, auto &m) { t = "123"; return f.pdoMsgCreat(m, 5, 0, t); }, false, "", false, 0, "", ""},
        {"PDO not hex", [&t](auto &f, auto &m) { t = "zz"; return f.pdoMsgCreat(m, 5, 0, t); }, false, "", false, 0, "", ""},
        {"PDO empty", [&t](auto &f, auto &m) { t = ""; return f.pdoMsgCreat(m, 5, 0, t); }, false, "", false, 0, "", ""},
        {"PDO blanks", [&t](auto &f, auto &m) { t = "  "; return f.pdoMsgCreat(m, 5, 0, t); }, false, "", false, 0, "", ""},
        {"PDO index 8", [&t](auto &f, auto &m) { t = "01"; return f.pdoMsgCreat(m, 5, 8, t); }, false, "", false, 0, "", ""},
        {"remote TPDO2", [](auto &f, auto &m) { return f.remotePdoMsgCreat(m, 1, 2); }, true, "281", true, 0, "8", "00 00 00 00 00 00 00 00"},
        {"SDO write 2 bytes", [&t](auto &f, auto &m) { t = "0f00"; return f.sdoFastWriteMsgCreat(m, 5, 0x6040, 0, 2, t); }, true, "605", false, 0, "8", "2b4060000f000000"},
        {"SDO write 1 byte", [&t](auto &f, auto &m) { t = "03000000"; return f.sdoFastWriteMsgCreat(m, 5, 0x6060, 0, 1, t); }, true, "605", false, 0, "8", "2f60600003000000"},
        {"SDO write 3 bytes", [&t](auto &f, auto &m) { t = "010203"; return f.sdoFastWriteMsgCreat(m, 5, 0x2000, 1, 3, t); }, true, "605", false, 0, "8", "2700200101020300"},
        {"SDO write 4 bytes", [&t](auto &f, auto &m) { t = "18 fc ff ff"; return f.sdoFastWriteMsgCreat(m, 2, 0x60FF, 0, 4, t); }, true, "602", false, 0, "8", "23ff600018fcffff"},
        {"SDO write size 5", [&t](auto &f, auto &m) { t = "03"; return f.sdoFastWriteMsgCreat(m, 5, 0x6060, 0, 5, t); }, true, "605", false, 0, "8", "2f60600003000000"},
        {"SDO write size 0", [&t](auto &f, auto &m) { t = "03"; return f.sdoFastWriteMsgCreat(m, 5, 0x6060, 0, 0, t); }, true, "605", false, 0, "8", "2f60600003000000"},
        {"SDO write odd digits", [&t](auto &f, auto &m) { t = "123"; return f.sdoFastWriteMsgCreat(m, 5, 0x6060, 0, 1, t); }, true, "605", false, 0, "8", "2f60600012000000"},
        {"SDO write long text", [&t](auto &f, auto &m) { t = "1122334455"; return f.sdoFastWriteMsgCreat(m, 5, 0x2002, 0, 4, t); }, true, "605", false, 0, "8", "2302200011223344"},
        {"SDO write empty", [&t](auto &f, auto &m) { t = ""; return f.sdoFastWriteMsgCreat(m, 5, 0x6060, 0, 1, t); }, false, "", false, 0, "", ""},
        {"SDO write 0x10", [&t](auto &f, auto &m) { t = "0x10"; return f.sdoFastWriteMsgCreat(m, 5, 0x6060, 0, 1, t); }, false, "", false, 0, "", ""},
        {"SDO write -1", [&t](auto &f, auto &m) { t = "-1"; return f.sdoFastWriteMsgCreat(m, 5, 0x2002, 0, 4, t); }, false, "", false, 0, "", ""},
        {"SDO write decimal word", [&t](auto &f, auto &m) { t = "ten"; return f.sdoFastWriteMsgCreat(m, 5, 0x2002, 0, 4, t); }, false, "", false, 0, "", ""},
        {"SDO write sub 0x100", [&t](auto &f, auto &m) { t = "01"; return f.sdoFastWriteMsgCreat(m, 5, 0x6060, 0x100, 1, t); }, false, "", false, 0, "", ""},
        {"SDO read", [](auto &f, auto &m) { return f.sdoFastReadMsgCreat(m, 5, 0x1018, 1); }, true, "605", false, 0, "8", "4018100100000000"},
        {"SDO read node 127", [](auto &f, auto &m) { return f.sdoFastReadMsgCreat(m, 127, 0xFFFF, 0xFF); }, true, "67f", false, 0, "8", "40ffffff00000000"},
        {"SDO read sub 0x100", [](auto &f, auto &m) { return f.sdoFastReadMsgCreat(m, 5, 0x1018, 0x100); }, false, "", false, 0, "", ""},
        {"TIME 2024-01-01 00:00:01", [](auto &f, auto &m) { return f.timeSyncMsgCreat(m, 2024, 1, 1, 0, 0, 1); }, true, "00000100", false, 0, "6", "e80300001239"},
        {"TIME epoch", [](auto &f, auto &m) { return f.timeSyncMsgCreat(m, 1984, 1, 1, 0, 0, 0); }, true, "00000100", false, 0, "6", "000000000000"},
        {"TIME 1984-03-01 (leap)", [](auto &f, auto &m) { return f.timeSyncMsgCreat(m, 1984, 3, 1, 0, 0, 0); }, true, "00000100", false, 0, "6", "000000003c00"},
        {"TIME noon", [](auto &f, auto &m) { return f.timeSyncMsgCreat(m, 1984, 1, 1, 12, 0, 0); }, true, "00000100", false, 0, "6", "002e9302" "0000"},
        {"TIME last day", [](auto &f, auto &m) { return f.timeSyncMsgCreat(m, 2163, 6, 6, 23, 59, 59); }, true, "00000100", false, 0, "6", "18582605ffff"},
        {"TIME after the last day", [](auto &f, auto &m) { return f.timeSyncMsgCreat(m, 2163, 6, 7, 0, 0, 0); }, false, "", false, 0, "", ""},
        {"TIME 1983", [](auto &f, auto &m) { return f.timeSyncMsgCreat(m, 1983, 12, 31, 0, 0, 0); }, false, "", false, 0, "", ""},
        {"TIME 2120 (past 32-bit seconds)", [](auto &f, auto &m) { return f.timeSyncMsgCreat(m, 2120, 1, 1, 0, 0, 0); }, true, "00000100", false, 0, "6", "00000000" "09c2"},
    };
    QUserCANopenFrame f;
    for (const BuildCase &c : cases) {
        SCOPED_TRACE(c.what);
        QUserCanMsg m = marked();
        const QUserCanMsg before = m;
        ASSERT_EQ(c.build(f, m), c.ok);
        expectUntouchedExtras(m);
        if (!c.ok) {
            EXPECT_TRUE(sameRecord(m, before)) << "a refused frame leaves the record alone";
            continue;
        }
        EXPECT_EQ(m.idText, c.id);
        EXPECT_EQ(m.remote, c.remote ? 1 : 0);
        EXPECT_EQ(m.extended, c.extended);
        EXPECT_EQ(m.lenText, c.len);
        EXPECT_EQ(m.dataText, c.data);
        EXPECT_EQ(m.sendType, 0);
        EXPECT_EQ(m.direction, 1);
        EXPECT_EQ(m.status, 104);
    }
}

// Node ids outside 1..127 would land on other services' identifiers (node
// 0x80 of an SDO request is 0x680, of a TPDO1 0x200 = RPDO1 of node 0).
TEST(FrameBuilderTest, NodeIdsOutsideTheRangeAreRefused)
{
    QUserCANopenFrame f;
    for (int node : {0, 128, 255, 256, 300, -1}) {
        SCOPED_TRACE(node);
        QUserCanMsg m = marked();
        const QUserCanMsg before = m;
        QString data = "01";
        QString value = "01";
        EXPECT_FALSE(f.nmtGuardStatusGetMsgCreat(m, node));
        EXPECT_FALSE(f.nmtGuardStatusAckMsgCreat(m, node, 0));
        EXPECT_FALSE(f.emergMsgCreat(m, node, "0000", "00", "0000000000"));
        EXPECT_FALSE(f.pdoMsgCreat(m, node, 0, data));
        EXPECT_FALSE(f.remotePdoMsgCreat(m, node, 0));
        EXPECT_FALSE(f.sdoFastWriteMsgCreat(m, node, 0x6040, 0, 2, value));
        EXPECT_FALSE(f.sdoFastReadMsgCreat(m, node, 0x6040, 0));
        EXPECT_EQ(f.nmtMsgCreat(m, node, 0), node == 0);
        if (node != 0) {
            EXPECT_TRUE(sameRecord(m, before));
        }
    }
    EXPECT_TRUE(QUserCANopenFrame::nodeIdValid(1));
    EXPECT_TRUE(QUserCANopenFrame::nodeIdValid(127));
    EXPECT_FALSE(QUserCANopenFrame::nodeIdValid(0));
    EXPECT_TRUE(QUserCANopenFrame::nodeIdValid(0, true));
}

TEST(FrameBuilderTest, BuildersTakeWhiteSpaceOutOfTheCallersText)
{
    QUserCANopenFrame f;
    QUserCanMsg m;
    QString data = " 11\t22 ";
    ASSERT_TRUE(f.pdoMsgCreat(m, 1, 0, data));
    EXPECT_EQ(data, "1122");
    QString value = "0f 00";
    ASSERT_TRUE(f.sdoFastWriteMsgCreat(m, 1, 0x6040, 0, 2, value));
    EXPECT_EQ(value, "0f00");
}

// A transfer-list item becomes its SDO request; writes of types that no
// expedited transfer carries are refused instead of sending one wrong byte.
TEST(FrameBuilderTest, TransferItemRequests)
{
    struct Case {
        bool isRead;
        uint16_t type;
        uint32_t value;
        bool ok;
        const char *data;
    } cases[] = {
        {true, 9, 0, true, "4000200100000000"},
        {false, 1, 0x01, true, "2f00200101000000"},
        {false, 2, 0xFFFFFFFE, true, "2f002001fe000000"},
        {false, 3, 0x1234, true, "2b00200134120000"},
        {false, 6, 0xABCD, true, "2b002001cdab0000"},
        {false, 7, 0x11223344, true, "2300200144332211"},
        {false, 8, 0x3F800000, true, "230020010000803f"},
        {false, 0, 5, false, ""},
        {false, 9, 5, false, ""},
        {false, 10, 5, false, ""},
        {false, 13, 5, false, ""},
    };
    QUserCANopenFrame f;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        QUserDictObj o;
        o.index = 0x2000;
        o.subIndex = 1;
        o.isRead = c.isRead;
        o.DataType = c.type;
        o.curValue = c.value;
        QUserCanMsg m;
        ASSERT_EQ(f.sdoDictObjMsgCreat(m, 3, o), c.ok);
        if (c.ok) {
            EXPECT_EQ(m.idText, "603");
            EXPECT_EQ(m.dataText.toLower(), c.data);
        }
    }
}

TEST(FrameBuilderTest, SdoResponseParse)
{
    struct Case {
        const char *id;
        const char *data;
        bool ok;
        bool isWrite;
        uint16_t index;
        uint16_t sub;
        uint32_t len;
        uint32_t value;
    } cases[] = {
        {"585", "4B 41 60 00 37 02 00 00", true, false, 0x6041, 0, 2, 0x0237},
        {"00000585 ", "4b41600037020000", true, false, 0x6041, 0, 2, 0x0237},
        {"581", "43181001 78563412", true, false, 0x1018, 1, 4, 0x12345678},
        {"581", "47181001 785634ff", true, false, 0x1018, 1, 3, 0x345678},
        {"581", "4F181001 78563412", true, false, 0x1018, 1, 1, 0x78},
        {"585", "60 40 60 00 00 00 00 00", true, true, 0x6040, 0, 99, 99},
        {"5FF", "60406000", true, true, 0x6040, 0, 99, 99},
        {"585", "80 40 60 00 00 00 02 06", false, false, 0, 0, 0, 0},
        {"605", "4B 41 60 00 37 02 00 00", false, false, 0, 0, 0, 0},
        {"580", "4B 41 60 00 37 02", true, false, 0x6041, 0, 2, 0x0237},
        {"585", "4B416000", false, false, 0, 0, 0, 0},
        {"585", "43 18 10 01 78 56", false, false, 0, 0, 0, 0},
        {"585", "60 40 60", false, false, 0, 0, 0, 0},
        {"585", "", false, false, 0, 0, 0, 0},
        {"585", "41 18 10 01 08 00 00 00", false, false, 0, 0, 0, 0},
        // Expedited without size indication (e=1, s=0): four bytes; the n
        // bits mean nothing then.
        {"585", "42 41 60 00 37 02 00 00", true, false, 0x6041, 0, 4, 0x0237},
        {"585", "4A 41 60 00 37 02 AA BB", true, false, 0x6041, 0, 4, 0xBBAA0237},
        {"585", "42 41 60 00 37 02", false, false, 0, 0, 0, 0},
        {"585", "62 41 60 00 37 02 00 00", false, false, 0, 0, 0, 0},
        {"xyz", "4B 41 60 00 37 02 00 00", false, false, 0, 0, 0, 0},
    };
    QUserCANopenFrame f;
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.id) + " " + c.data);
        QUserCanMsg m(c.id, false, false, "8", c.data);
        uint8_t node = 0;
        bool isWrite = false;
        uint16_t index = 0, sub = 0;
        uint32_t len = 99, value = 99;
        bool sized = false;
        ASSERT_EQ(f.sdoResponseParse(m, node, isWrite, index, sub, len, value, &sized), c.ok);
        if (!c.ok)
            continue;
        if (!c.isWrite) {
            EXPECT_EQ(sized, (uint8_t(m.dataText.left(2).toUInt(nullptr, 16)) & 0x01) != 0);
        }
        EXPECT_FALSE(m.dataText.contains(' '));
        EXPECT_EQ(node, uint32_t(m.getId()) & 0x7F);
        EXPECT_EQ(isWrite, c.isWrite);
        EXPECT_EQ(index, c.index);
        EXPECT_EQ(sub, c.sub);
        EXPECT_EQ(len, c.len);
        EXPECT_EQ(value, c.value);
    }
}

TEST(FrameBuilderTest, SdoAbortParseAndWords)
{
    QUserCANopenFrame f;
    uint8_t node = 0;
    uint16_t index = 0, sub = 0;
    uint32_t code = 0;
    QUserCanMsg m("5A3", false, true, "8", "80 18 10 02 11 00 09 06");
    ASSERT_TRUE(f.sdoAbortParse(m, node, index, sub, code));
    EXPECT_EQ(node, 0x23);
    EXPECT_EQ(index, 0x1018);
    EXPECT_EQ(sub, 2);
    EXPECT_EQ(code, 0x06090011u);
    EXPECT_EQ(m.dataText, "80 18 10 02 11 00 09 06") << "the caller's text is not changed";
    for (const char *data : {"4B 41 60 00 37 02 00 00", "80 18 10 02 11 00 09", ""}) {
        QUserCanMsg other("585", false, false, "8", data);
        EXPECT_FALSE(f.sdoAbortParse(other, node, index, sub, code)) << data;
    }
    QUserCanMsg request("605", false, false, "8", "80 18 10 02 11 00 09 06");
    EXPECT_FALSE(f.sdoAbortParse(request, node, index, sub, code));

    struct Word {
        uint32_t code;
        const char *text;
    } words[] = {
        {0x05040000, "SDO协议超时"},
        {0x06010001, "试图读只写对象"},
        {0x06010002, "试图写只读对象"},
        {0x06020000, "对象字典中不存在该对象"},
        {0x06040041, "对象不能映射到PDO"},
        {0x06040042, "映射对象的数量和长度超出PDO长度"},
        {0x06070010, "数据类型不匹配,服务参数长度不匹配"},
        {0x06090011, "子索引不存在"},
        {0x06090030, "参数值无效"},
        {0x08000000, "一般性错误"},
        {0x08000022, "因当前设备状态,数据不能传送或保存到应用"},
        {0x12345678, "未知错误"},
    };
    for (const Word &w : words)
        EXPECT_EQ(QUserCANopenFrame::sdoAbortText(w.code), QString::fromUtf8(w.text)) << std::hex << w.code;
}
