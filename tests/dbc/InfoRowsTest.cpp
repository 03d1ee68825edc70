// The property rows of messages, last frames and signals.
#include <gtest/gtest.h>

#include <QDateTime>

#include "dbc/QUserDbcMsg.h"
#include "dbc/QUserDbcSignal.h"

namespace {

QList<QStringList> rowsOf(const QUserDbcMsg &m)
{
    QList<QStringList> rows;
    EXPECT_EQ(m.infoRows(rows), 1);
    return rows;
}

QList<QStringList> frameRowsOf(const QUserDbcMsg &m)
{
    QList<QStringList> rows;
    EXPECT_EQ(m.frameInfoRows(rows), 1);
    return rows;
}

QList<QStringList> rowsOf(const QUserDbcSignal &s)
{
    QList<QStringList> rows;
    EXPECT_EQ(s.infoRows(rows), 1);
    return rows;
}

QStringList labels(const QList<QStringList> &rows)
{
    QStringList l;
    for (const QStringList &r : rows) {
        EXPECT_EQ(r.size(), 2);
        l.append(r.value(0));
    }
    return l;
}

QString valueOf(const QList<QStringList> &rows, const QString &label)
{
    for (const QStringList &r : rows)
        if (r.value(0) == label)
            return r.value(1);
    return QStringLiteral("<none>");
}

QString u(const char *s)
{
    return QString::fromUtf8(s);
}

} // namespace

TEST(DbcInfoRows, MessageRows)
{
    QUserDbcMsg m;
    m.strName = u("发动机状态");
    m.nID = 0x98FF0001u;
    m.nSize = 8;
    m.nExtend = 1;
    m.strComment = "state";
    m.vSignals.resize(3);
    const auto rows = rowsOf(m);
    EXPECT_EQ(labels(rows), (QStringList{u("消息名称:"), u("消息ID:"), u("消息长度:"), u("包含信号数量:"),
                                         u("帧类型:"), u("消息注释:")}));
    EXPECT_EQ(rows[0][1], u("发动机状态"));
    EXPECT_EQ(rows[1][1], u("2566848513 十六进制:0x18FF0001"));
    EXPECT_EQ(rows[2][1], u("8 字节"));
    EXPECT_EQ(rows[3][1], u("3 个"));
    EXPECT_EQ(rows[4][1], u("扩展帧"));
    EXPECT_EQ(rows[5][1], "state");

    m.nID = 0x123;
    m.nExtend = 0;
    const auto std = rowsOf(m);
    EXPECT_EQ(std[1][1], u("291 十六进制:0x123"));
    EXPECT_EQ(std[4][1], u("标准帧"));
}

TEST(DbcInfoRows, FrameRows)
{
    QUserDbcMsg m;
    m.strName = "EEC1";
    // No frame yet: pending identifier, the epoch in local time.
    auto rows = frameRowsOf(m);
    EXPECT_EQ(labels(rows), (QStringList{u("消息名称:"), u("帧时间:"), u("帧ID:"), u("帧类型:"), u("数据长度:"),
                                         u("数据内容:")}));
    EXPECT_EQ(rows[1][1], QDateTime::fromMSecsSinceEpoch(0).toString("hh:mm:ss:zzz"));
    EXPECT_EQ(rows[2][1], u("待定 <实际传输计算所得ID>"));
    EXPECT_EQ(rows[4][1], u("0 字节"));
    EXPECT_EQ(rows[5][1], "");

    const qint64 t = QDateTime(QDate(2024, 3, 5), QTime(13, 4, 5, 67)).toMSecsSinceEpoch();
    m.setFrame(t, "18ff0001", true, "0102030405060708");
    rows = frameRowsOf(m);
    EXPECT_EQ(rows[1][1], "13:04:05:067");
    EXPECT_EQ(rows[2][1], u("0x18FF0001 <实际传输计算所得ID>"));
    EXPECT_EQ(rows[3][1], u("扩展帧"));
    EXPECT_EQ(rows[4][1], u("8 字节"));
    EXPECT_EQ(rows[5][1], "01 02 03 04 05 06 07 08");

    // An odd number of digits: the last single digit is no byte.
    m.setFrame(t, "123", false, "01020");
    rows = frameRowsOf(m);
    EXPECT_EQ(rows[3][1], u("标准帧"));
    EXPECT_EQ(rows[4][1], u("2 字节"));
    EXPECT_EQ(rows[5][1], "0 10 20");
}

TEST(DbcInfoRows, SignalRows)
{
    QUserDbcSignal s;
    s.msgName = "EEC1";
    s.msgId = 0x8CF00400u;
    s.strName = "Mode";
    s.nStartBit = 24;
    s.nLen = 4;
    s.nFactor = 0.1;
    s.nOffset = -40;
    s.nMin = 1e-5;
    s.nMax = 12345678901234567.0;
    s.unit = "rpm";
    s.isMotorola = 1;
    s.multiplexerType = 1;
    s.multiplexerValue = 3;
    s.strComment = "c";
    s.valDesPair.insert(1, "On");
    s.valDesPair.insert(0, "Off");
    auto rows = rowsOf(s);
    EXPECT_EQ(labels(rows), (QStringList{u("所属消息:"), u("消息ID:"), u("信号名称:"), u("起始位:"), u("位长度:"),
                                         u("转换因子:"), u("转换偏移:"), u("最小值:"), u("最大值:"), u("值描述:"),
                                         u("单位:"), u("字节顺序:"), u("信号类型:"), u("复用器开关值:"),
                                         u("信号注释:")}));
    EXPECT_EQ(valueOf(rows, u("消息ID:")), u("2364539904 十六进制:0xCF00400"));
    EXPECT_EQ(valueOf(rows, u("起始位:")), "24");
    EXPECT_EQ(valueOf(rows, u("位长度:")), "4");
    EXPECT_EQ(valueOf(rows, u("转换因子:")), "0.1");
    EXPECT_EQ(valueOf(rows, u("转换偏移:")), "-40");
    EXPECT_EQ(valueOf(rows, u("最小值:")), "1e-05");
    EXPECT_EQ(valueOf(rows, u("最大值:")), "1.234567890123457e+16");
    EXPECT_EQ(valueOf(rows, u("值描述:")), "0:Off\r\n1:On");
    EXPECT_EQ(valueOf(rows, u("单位:")), "rpm");
    EXPECT_EQ(valueOf(rows, u("字节顺序:")), "Motorola");
    EXPECT_EQ(valueOf(rows, u("信号类型:")), u("复用信号"));
    EXPECT_EQ(valueOf(rows, u("复用器开关值:")), "3");

    // Optional rows left out; the other signal types.
    struct Case {
        int type;
        const char *word;
    } types[] = {{0, "普通信号"}, {2, "复用器开关"}, {3, "未知"}, {255, "未知"}};
    for (const Case &c : types) {
        QUserDbcSignal t = s;
        t.unit.clear();
        t.valDesPair.clear();
        t.isMotorola = 0;
        t.multiplexerType = quint8(c.type);
        const auto r = rowsOf(t);
        EXPECT_EQ(valueOf(r, u("单位:")), "<none>");
        EXPECT_EQ(valueOf(r, u("值描述:")), "<none>");
        EXPECT_EQ(valueOf(r, u("复用器开关值:")), "<none>");
        EXPECT_EQ(valueOf(r, u("信号类型:")), u(c.word));
        EXPECT_EQ(valueOf(r, u("字节顺序:")), "Intel");
        EXPECT_EQ(r.size(), 12);
    }
}

TEST(DbcInfoRows, RowsAppendToTheCallersList)
{
    QUserDbcMsg m;
    m.strName = "M";
    QUserDbcSignal s;
    s.strName = "S";
    QList<QStringList> rows{{"first", "row"}};
    m.infoRows(rows);
    s.infoRows(rows);
    ASSERT_EQ(rows.size(), 1 + 6 + 12);
    EXPECT_EQ(rows[0][0], "first");
    EXPECT_EQ(rows[1][1], "M");
    EXPECT_EQ(rows[7][0], u("所属消息:"));
    EXPECT_EQ(rows[9][1], "S");
}
