// Frames built by the builders, then described by the decoders and parsed
// by the SDO answer parser: what goes in comes out.
#include "canopen/QUserCANopenFrame.h"
#include "canopen/QUserCia402.h"

#include "tests/canopen/CanopenTestUtil.h"

#include <functional>

#include <gtest/gtest.h>

namespace {
QString describe(const QUserCanMsg &m, int format = 0)
{
    QUserCANopenFrame f;
    f.nodeIdFormatSet(format);
    QString text;
    EXPECT_TRUE(f.msgAnalysis(m, text)) << m.idText.toStdString();
    return text;
}
} // namespace

TEST(RoundTripTest, EveryBuilderDecodesToWhatWentIn)
{
    QUserCANopenFrame f;
    const char *commands[] = {"启动节点", "停止节点", "进入预操作状态", "复位节点应用层", "复位节点通讯"};
    for (int c = 0; c < 5; ++c) {
        for (int node : {0, 1, 64, 127}) {
            QUserCanMsg m;
            ASSERT_TRUE(f.nmtMsgCreat(m, node, c));
            EXPECT_EQ(describe(m, 1), QString::fromUtf8("NMT状态切换请求->节点ID:%1 命令:").arg(node) + QString::fromUtf8(commands[c]));
        }
    }
    const char *states[] = {"启动", "停止", "操作", "预操作"};
    for (int s = 0; s < 4; ++s) {
        for (bool toggle : {false, true}) {
            QUserCanMsg m;
            ASSERT_TRUE(f.nmtGuardStatusAckMsgCreat(m, 9, s, toggle));
            EXPECT_EQ(describe(m), QString::fromUtf8("心跳报文->节点ID:0x09 状态:") + QString::fromUtf8(states[s]));
            QUserCANopenFrame tracker;
            tracker.isNmtClassMsg(m);
            EXPECT_EQ(tracker.nodeState, s);
        }
    }
    QUserCanMsg m;
    ASSERT_TRUE(f.nmtGuardStatusGetMsgCreat(m, 9));
    EXPECT_EQ(describe(m), QString::fromUtf8("状态请求->节点ID:0x09 "));
    ASSERT_TRUE(f.syncMsgCreat(m));
    EXPECT_EQ(describe(m), QString::fromUtf8("SYNC同步报文"));
    ASSERT_TRUE(f.emergMsgCreat(m, 0x22, "1081", "01", "0102030405"));
    EXPECT_EQ(describe(m), QString::fromUtf8("紧急报文->节点ID:0x22  错误代码:0x8110 错误寄存器:0x01 自定义错误代码:[01 02 03 04 05 ]"));

    const char *pdoNames[] = {"TPDO1", "RPDO1", "TPDO2", "RPDO2", "TPDO3", "RPDO3", "TPDO4", "RPDO4"};
    for (int p = 0; p < 8; ++p) {
        QString data = "a1b2c3";
        ASSERT_TRUE(f.pdoMsgCreat(m, 0x33, p, data));
        EXPECT_EQ(describe(m), QString::fromLatin1(pdoNames[p]) + QString::fromUtf8("->节点ID:0x33 数据:[a1 b2 c3]"));
        ASSERT_TRUE(f.remotePdoMsgCreat(m, 0x33, p));
        EXPECT_EQ(describe(m), QString::fromUtf8("远程") + pdoNames[p] + QString::fromUtf8("请求->节点ID:0x33 "));
    }

    for (int size = 1; size <= 4; ++size) {
        QString value = "11223344";
        ASSERT_TRUE(f.sdoFastWriteMsgCreat(m, 0x7F, 0x2002, 3, size, value));
        QStringList bytes = QStringList({"11", "22", "33", "44"}).mid(0, size);
        EXPECT_EQ(describe(m), QString::fromUtf8("SDO请求->节点ID:7F 索引:0x2002 子索引:0x03 操作:写%1字节[%2]")
                                   .arg(size)
                                   .arg(bytes.join(' ')));
    }
    ASSERT_TRUE(f.sdoFastReadMsgCreat(m, 0x7F, 0x1018, 4));
    EXPECT_EQ(describe(m), QString::fromUtf8("SDO请求->节点ID:7F 索引:0x1018 子索引:0x04 操作:读取"));

    ASSERT_TRUE(f.timeSyncMsgCreat(m, 2024, 2, 29, 13, 14, 15));
    EXPECT_EQ(describe(m), QString::fromUtf8("时间同步->2024-02-29  13:14:15.0"));
}

// An upload answer made the way a server makes it parses back to the value.
TEST(RoundTripTest, ServerAnswersParseBack)
{
    QUserCANopenFrame f;
    for (int count = 1; count <= 4; ++count) {
        const uint32_t value = 0xA1B2C3D4u & (count == 4 ? 0xFFFFFFFFu : ((1u << (8 * count)) - 1));
        const uint8_t cmd = uint8_t(0x43 | ((4 - count) << 2));
        QString data = QString::asprintf("%02X%02X%02X%02X", cmd, 0x41, 0x60, 0x00);
        for (int i = 0; i < 4; ++i)
            data += QString::asprintf("%02X", i < count ? (value >> (8 * i)) & 0xFF : 0);
        QUserCanMsg m("5A3", false, false, "8", data);
        uint8_t node = 0;
        bool isWrite = true;
        uint16_t index = 0, sub = 0;
        uint32_t len = 0, got = 0;
        ASSERT_TRUE(f.sdoResponseParse(m, node, isWrite, index, sub, len, got));
        EXPECT_EQ(node, 0x23);
        EXPECT_FALSE(isWrite);
        EXPECT_EQ(index, 0x6041);
        EXPECT_EQ(len, uint32_t(count));
        EXPECT_EQ(got, value);
    }
}

TEST(Cia402Test, Sequences)
{
    QUserCia402 d;
    // 10000 at 500, acceleration 1000, deceleration 2000.
    auto move = [](bool relative) {
        QUserCia402Move m;
        m.relative = relative;
        m.target = 10000;
        m.profileVelocity = 500;
        m.acceleration = 1000;
        m.deceleration = 2000;
        return m;
    };
    EXPECT_EQ(d.nodeState, 4);
    struct Case {
        const char *what;
        std::function<bool(QVector<QUserCanMsg> &)> run;
        bool result;
        const char *id;
        QStringList data;
    };
    const Case cases[] = {
        {"servoEnable position", [&](auto &l) { return d.servoEnable(1, 2, l); }, true, "601",
         {"2b40600006000000", "2b40600007000000", "2b4060000f010000", "2f60600001000000"}},
        {"servoEnable velocity", [&](auto &l) { return d.servoEnable(1, 0, l); }, true, "601",
         {"2b40600006000000", "2b40600007000000", "2b4060000f010000", "2f60600003000000"}},
        {"servoEnable torque", [&](auto &l) { return d.servoEnable(1, 1, l); }, true, "601",
         {"2b40600006000000", "2b40600007000000", "2b4060000f010000", "2f60600004000000"}},
        {"servoEnable mode 3", [&](auto &l) { return d.servoEnable(1, 3, l); }, false, "", {}},
        {"mode 3", [&](auto &l) { return d.modeOfOperationSet(1, 3, l); }, false, "", {}},
        {"mode -1", [&](auto &l) { return d.modeOfOperationSet(1, -1, l); }, false, "", {}},
        {"target velocity -1000", [&](auto &l) { return d.targetVelocitySet(2, -1000, l); }, true, "602", {"23ff600018fcffff"}},
        {"target torque 300", [&](auto &l) { return d.targetTorqueSet(2, 300, l); }, true, "602", {"2b7160002c010000"}},
        {"target torque -1", [&](auto &l) { return d.targetTorqueSet(2, -1, l); }, true, "602", {"2b716000ffffffff"}},
        {"profile acc", [&](auto &l) { return d.profileAccSet(2, 1000, l); }, true, "602", {"23836000e8030000"}},
        {"profile dec", [&](auto &l) { return d.profileDecSet(2, 1000, l); }, true, "602", {"23846000e8030000"}},
        {"profile velocity", [&](auto &l) { return d.profileVelocitySet(2, 500, l); }, true, "602", {"23816000f4010000"}},
        {"torque slope", [&](auto &l) { return d.torqueSlopeSet(2, 100, l); }, true, "602", {"2387600064000000"}},
        {"target position", [&](auto &l) { return d.targetPositionSet(2, 10000, l); }, true, "602", {"237a600010270000"}},
        {"vel start", [&](auto &l) { return d.velStart(2, l); }, true, "602", {"2b4060000f000000"}},
        {"vel stop", [&](auto &l) { return d.velStop(2, l); }, true, "602", {"2b4060000f010000"}},
        {"tor start", [&](auto &l) { return d.torStart(2, l); }, true, "602", {"2b4060000f000000"}},
        {"tor stop", [&](auto &l) { return d.torStop(2, l); }, true, "602", {"2b4060000f010000"}},
        {"abs move", [&](auto &l) { return d.posAbsMoveStart(3, 10000, l); }, true, "603", {"237a600010270000", "2b4060001f000000"}},
        {"rel move", [&](auto &l) { return d.posRelMoveStart(3, 10000, l); }, true, "603", {"237a600010270000", "2b4060005f000000"}},
        {"abs stop", [&](auto &l) { return d.posAbsMoveStop(3, l); }, true, "603", {"2b4060000f010000"}},
        {"rel stop", [&](auto &l) { return d.posRelMoveStop(3, l); }, true, "603", {"2b4060004f010000"}},
        // A whole move, by the drive's state (statusword, mode display): in
        // "Operation enabled" no Shutdown (0x0006) but new-set-point bit 4
        // low, then high with change set immediately (bit 5): 0x000F, 0x003F;
        // relative (bit 6): 0x004F, 0x007F. The mode is set unless 0x6061
        // shows profile position (1).
        {"move, drive enabled", [&](auto &l) { return d.posMoveStart(3, move(false), 0x0237, 1, l); }, true, "603",
         {"23816000f4010000", "23836000e8030000", "23846000d0070000", "237a600010270000", "2b4060000f000000",
          "2b4060003f000000"}},
        {"relative move, drive enabled in velocity mode",
         [&](auto &l) { return d.posMoveStart(3, move(true), 0x1637, 3, l); }, true, "603",
         {"2f60600001000000", "23816000f4010000", "23836000e8030000", "23846000d0070000", "237a600010270000",
          "2b4060004f000000", "2b4060007f000000"}},
        {"move, drive switched on", [&](auto &l) { return d.posMoveStart(3, move(false), 0x0233, 1, l); }, true, "603",
         {"2b40600006000000", "2b40600007000000", "2b4060000f010000", "2f60600001000000", "23816000f4010000",
          "23836000e8030000", "23846000d0070000", "237a600010270000", "2b4060001f000000"}},
        {"relative move, state unknown", [&](auto &l) { return d.posMoveStart(3, move(true), -1, -1, l); }, true,
         "603",
         {"2b40600006000000", "2b40600007000000", "2b4060000f010000", "2f60600001000000", "23816000f4010000",
          "23836000e8030000", "23846000d0070000", "237a600010270000", "2b4060005f000000"}},
        {"move, enabled but mode unknown", [&](auto &l) { return d.posMoveStart(3, move(false), 0x0237, -1, l); },
         true, "603",
         {"2f60600001000000", "23816000f4010000", "23836000e8030000", "23846000d0070000", "237a600010270000",
          "2b4060000f000000", "2b4060003f000000"}},
        {"move, node 0", [&](auto &l) { return d.posMoveStart(0, move(false), 0x0237, 1, l); }, false, "", {}},
        {"nmt start", [&](auto &l) { return d.nmtStart(4, l); }, true, "0", {"0104"}},
        {"nmt stop", [&](auto &l) { return d.nmtStop(4, l); }, true, "0", {"0204"}},
        {"node 0 refused", [&](auto &l) { return d.velStart(0, l); }, false, "", {}},
        {"node 128 refused", [&](auto &l) { return d.servoEnable(128, 2, l); }, false, "", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QVector<QUserCanMsg> list;
        EXPECT_EQ(c.run(list), c.result);
        ASSERT_EQ(list.size(), c.data.size());
        for (int i = 0; i < list.size(); ++i) {
            EXPECT_EQ(list[i].idText, c.id);
            EXPECT_EQ(list[i].dataText, c.data[i]);
            EXPECT_EQ(list[i].status, 104);
            EXPECT_EQ(list[i].direction, 1);
        }
    }
    // The states that are "Operation enabled" (bits 0-3, 5, 6: x01x 0111).
    for (uint16_t sw : {0x0027, 0x0037, 0x0237, 0x1637, 0xFFA7})
        EXPECT_TRUE(QUserCia402::operationEnabled(sw)) << std::hex << sw;
    for (uint16_t sw : {0x0000, 0x0040, 0x0021, 0x0023, 0x0007, 0x0017, 0x000F, 0x0008, 0x0067})
        EXPECT_FALSE(QUserCia402::operationEnabled(sw)) << std::hex << sw;
    // nmtRestart: the NMT start, then the fault reset controlword.
    QVector<QUserCanMsg> list;
    EXPECT_TRUE(d.nmtRestart(4, list));
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].idText, "0");
    EXPECT_EQ(list[0].dataText, "0104");
    EXPECT_EQ(list[1].dataText, "2b4060008f010000");
    // The list is never cleared: further steps append.
    d.velStart(4, list);
    EXPECT_EQ(list.size(), 3);
}
