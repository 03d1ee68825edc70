// The converters against kemsig's records, through the shared library as the
// program binds it (libkemsig.so found next to the test program, every
// function resolved by its exported name).
#include <gtest/gtest.h>

#include <QDateTime>
#include <QTextCodec>

#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "tests/support/TempWorkDir.h"
#include "dbc/DbcLibText.h"
#include "dbc/DbcRecord.h"
#include "dbc/QKemsigLib.h"
#include "kemusb/include/kcan_records.h"

namespace {

// A DbcMessage is 100 KB: kept off the stack, zeroed.
std::unique_ptr<DbcMessage> newMessage(unsigned char fill = 0)
{
    auto m = std::make_unique<DbcMessage>();
    std::memset(m.get(), fill, sizeof(DbcMessage));
    return m;
}

DbcSignal libSignal(int32_t start, int32_t len, bool motorola, bool isSigned, double factor, double offset,
                    const char *name)
{
    DbcSignal s;
    std::memset(&s, 0, sizeof s);
    s.nStartBit = start;
    s.nLen = len;
    s.isMotorola = motorola;
    s.isSigned = isSigned;
    s.nFactor = factor;
    s.nOffset = offset;
    std::strncpy(s.strName, name, sizeof s.strName - 1);
    return s;
}

KCAN_CAN_OBJ canFrame(uint32_t id, bool extended, std::vector<uint8_t> data)
{
    KCAN_CAN_OBJ f;
    std::memset(&f, 0, sizeof f);
    f.ID = id;
    f.ExternFlag = extended;
    f.DataLen = uint8_t(data.size());
    std::memcpy(f.Data, data.data(), std::min<size_t>(data.size(), 8));
    return f;
}

class KemsigBound : public WorkDirTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lib.isLoaded()) << lib.errorString().toStdString();
        ASSERT_TRUE(lib.isComplete());
        db = lib.init();
        ASSERT_NE(db, nullptr);
        lib.setProtocol(db, KDBC_PROTOCOL_CAN);
    }
    void TearDown() override
    {
        if (db)
            lib.release(db);
    }

    // Inserts the message and reads it back by index, both through the
    // library.
    std::unique_ptr<DbcMessage> throughLibrary(const DbcMessage &in)
    {
        lib.clrMessage(db);
        EXPECT_EQ(lib.insertMessage(db, &in), 1);
        auto out = newMessage();
        EXPECT_EQ(lib.getMessageByIndex(db, 0, out.get()), 1);
        return out;
    }

    QKemsigLib lib;
    DbcDatabase *db = nullptr;
};

// Every carried field of two signals is equal.
void expectSameSignal(const QUserDbcSignal &a, const QUserDbcSignal &b)
{
    EXPECT_EQ(a.nStartBit, b.nStartBit);
    EXPECT_EQ(a.nLen, b.nLen);
    EXPECT_EQ(a.nFactor, b.nFactor);
    EXPECT_EQ(a.nOffset, b.nOffset);
    EXPECT_EQ(a.nMin, b.nMin);
    EXPECT_EQ(a.nMax, b.nMax);
    EXPECT_EQ(a.nRawValue, b.nRawValue);
    EXPECT_EQ(a.isSigned, b.isSigned);
    EXPECT_EQ(a.isMotorola, b.isMotorola);
    EXPECT_EQ(a.multiplexerType, b.multiplexerType);
    EXPECT_EQ(a.valType, b.valType);
    EXPECT_EQ(a.multiplexerValue, b.multiplexerValue);
    EXPECT_EQ(a.unit, b.unit);
    EXPECT_EQ(a.strName, b.strName);
    EXPECT_EQ(a.strComment, b.strComment);
}

} // namespace

TEST_F(KemsigBound, LibraryRecordRoundTripsEveryField)
{
    auto in = newMessage();
    in->nID = 0x98FF0001u;
    in->nSize = 12;
    in->nCycleTime = 12.5;
    in->nExtend = 1;
    std::strcpy(in->strName, "Engine");
    std::strcpy(in->strComment, "engine state");
    in->sSignals[0] = libSignal(7, 12, true, true, 0.25, -40, "Temp");
    in->sSignals[0].nMin = -40;
    in->sSignals[0].nMax = 983.75;
    in->sSignals[0].nRawValue = 0xFFF; // a signed field with every bit set: -1
    in->sSignals[0].valType = 3;
    std::strcpy(in->sSignals[0].unit, "degC");
    std::strcpy(in->sSignals[0].strComment, "coolant");
    in->sSignals[1] = libSignal(16, 4, false, false, 1, 0, "Mode");
    in->sSignals[1].multiplexerType = KDBC_MUX_SWITCH;
    in->sSignals[1].nRawValue = 9;
    in->sSignals[2] = libSignal(24, 64, false, false, 1e-3, 0.5, "Wide");
    in->sSignals[2].multiplexerType = KDBC_MUX_MULTIPLEXED;
    in->sSignals[2].multiplexerValue = 7;
    in->sSignals[2].nRawValue = 0xFEDCBA9876543210ull;
    in->nSignalCount = 3;
    const auto lib1 = throughLibrary(*in);

    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    const QUserDbcMsg m = DbcMessageRecord::fromLib(*lib1);
    EXPECT_EQ(m.nID, 0x98FF0001u);
    EXPECT_EQ(m.nSize, 12u);
    EXPECT_EQ(m.nCycleTime, 12.5);
    EXPECT_EQ(m.nExtend, 1);
    EXPECT_EQ(m.strName, "Engine");
    EXPECT_EQ(m.strComment, "engine state");
    EXPECT_EQ(m.nFrameTime, 0);
    EXPECT_TRUE(m.strFrameId.isEmpty());
    EXPECT_TRUE(m.strData.isEmpty());
    ASSERT_EQ(m.vSignals.size(), 3);
    for (const QUserDbcSignal &s : m.vSignals) {
        EXPECT_EQ(s.msgName, "Engine");
        EXPECT_EQ(s.msgId, 0x98FF0001u);
        EXPECT_EQ(s.chartEnable, 0);
        EXPECT_EQ(s.nPhysicalValue, 0.0);
        EXPECT_TRUE(s.color.isEmpty());
        EXPECT_TRUE(s.valDesPair.isEmpty());
        EXPECT_GE(s.nChartTime, before - 1000);
        EXPECT_LE(s.nChartTime, QDateTime::currentMSecsSinceEpoch() + 1000);
    }
    const QUserDbcSignal &t = m.vSignals[0];
    EXPECT_EQ(t.nStartBit, 7);
    EXPECT_EQ(t.nLen, 12u);
    EXPECT_EQ(t.nFactor, 0.25);
    EXPECT_EQ(t.nOffset, -40.0);
    EXPECT_EQ(t.nMin, -40.0);
    EXPECT_EQ(t.nMax, 983.75);
    EXPECT_EQ(t.nRawValue, -1);
    EXPECT_EQ(t.isSigned, 1);
    EXPECT_EQ(t.isMotorola, 1);
    EXPECT_EQ(t.valType, 3);
    EXPECT_EQ(t.unit, "degC");
    EXPECT_EQ(t.strName, "Temp");
    EXPECT_EQ(t.strComment, "coolant");
    EXPECT_EQ(m.vSignals[1].multiplexerType, 2);
    EXPECT_EQ(m.vSignals[1].nRawValue, 9);
    EXPECT_EQ(m.vSignals[2].multiplexerType, 1);
    EXPECT_EQ(m.vSignals[2].multiplexerValue, 7u);
    EXPECT_EQ(m.vSignals[2].nRawValue, qint64(0xFEDCBA9876543210ull));

    // Back into a zeroed record: byte for byte what the library gave.
    auto back = newMessage();
    ASSERT_TRUE(DbcMessageRecord::toLib(m, back.get()));
    EXPECT_EQ(std::memcmp(back.get(), lib1.get(), sizeof(DbcMessage)), 0);
    // And through the library once more, unchanged.
    const auto lib2 = throughLibrary(*back);
    EXPECT_EQ(std::memcmp(lib2.get(), lib1.get(), sizeof(DbcMessage)), 0);
}

TEST_F(KemsigBound, ProgramRecordRoundTripsThroughTheLibrary)
{
    QUserDbcMsg m;
    m.nID = 0x123;
    m.nSize = 8;
    m.nCycleTime = 100;
    m.nExtend = 0;
    m.strName = QString::fromUtf8("车速报文");
    m.strComment = QString::fromUtf8("整车控制器发出");
    for (int i = 0; i < 4; ++i) {
        QUserDbcSignal s;
        s.nStartBit = i * 16;
        s.nLen = 16;
        s.nFactor = 0.1 * (i + 1);
        s.nOffset = -i;
        s.nMin = -100;
        s.nMax = 100;
        s.isSigned = i % 2;
        s.isMotorola = i / 2;
        s.multiplexerType = quint8(i % 3);
        s.multiplexerValue = quint32(i);
        s.valType = quint8(i);
        s.nRawValue = i % 2 ? -300 - i : 300 + i;
        s.unit = i ? QString::fromUtf8("千米/时") : QString("km/h");
        s.strName = QString::fromUtf8("信号%1").arg(i);
        s.strComment = QString::fromUtf8("注释 %1").arg(i);
        // Not carried to the library:
        s.msgName = "x";
        s.color = "1,2,3";
        s.chartEnable = 1;
        s.nPhysicalValue = 42;
        s.valDesPair.insert(1, "one");
        m.vSignals.append(s);
    }
    auto rec = newMessage();
    ASSERT_TRUE(DbcMessageRecord::toLib(m, rec.get()));
    EXPECT_EQ(rec->nSignalCount, 4u);
    const auto viaLib = throughLibrary(*rec);
    const QUserDbcMsg back = DbcMessageRecord::fromLib(*viaLib);
    EXPECT_EQ(back.nID, m.nID);
    EXPECT_EQ(back.nSize, m.nSize);
    EXPECT_EQ(back.nCycleTime, m.nCycleTime);
    EXPECT_EQ(back.nExtend, m.nExtend);
    EXPECT_EQ(back.strName, m.strName);
    EXPECT_EQ(back.strComment, m.strComment);
    ASSERT_EQ(back.vSignals.size(), 4);
    for (int i = 0; i < 4; ++i) {
        expectSameSignal(back.vSignals[i], m.vSignals[i]);
        EXPECT_EQ(back.vSignals[i].msgName, m.strName);
        EXPECT_EQ(back.vSignals[i].msgId, 0x123u);
        EXPECT_EQ(back.vSignals[i].chartEnable, 0);
        EXPECT_TRUE(back.vSignals[i].valDesPair.isEmpty());
    }
    // The signed signal went in as its 16 bits.
    EXPECT_EQ(rec->sSignals[1].nRawValue, 0x10000u - 301);
}

// Names in Chinese, in a DBC file written in code page 936 as the library
// reads it: the names reach the program intact, a message handed back to the
// library decodes under the same names, and value descriptions are found by
// the signal's name.
TEST_F(KemsigBound, ChineseNamesSurviveLoadInsertAndDecode)
{
    const QString dbcText = QString::fromUtf8(
        "VERSION \"\"\n"
        "\n"
        "BU_: 整车\n"
        "\n"
        "BO_ 291 发动机状态: 8 整车\n"
        " SG_ 转速 : 0|16@1+ (0.25,0) [0|16383.75] \"转/分\" 整车\n"
        " SG_ 水温 : 16|8@1- (1,-40) [-168|87] \"摄氏度\" 整车\n"
        " SG_ 模式 : 24|4@1+ (1,0) [0|15] \"\" 整车\n"
        "\n"
        "BO_ 2566848513 变速箱: 8 整车\n"
        " SG_ 档位 : 0|8@1+ (1,0) [0|10] \"\" 整车\n"
        "\n"
        "CM_ BO_ 291 \"发动机的状态报文\";\n"
        "CM_ SG_ 291 转速 \"曲轴转速\";\n"
        "VAL_ 291 模式 0 \"关闭\" 1 \"运行\" 2 \"故障\" ;\n");
    QTextCodec *gbk = QTextCodec::codecForName("GBK");
    ASSERT_NE(gbk, nullptr);
    const QByteArray bytes = gbk->fromUnicode(dbcText);
    ASSERT_NE(bytes, dbcText.toUtf8()); // really another encoding
    {
        std::ofstream f(workDir.file("cn.dbc"), std::ios::binary);
        f.write(bytes.constData(), bytes.size());
    }
    ASSERT_EQ(lib.loadFile(db, workDir.file("cn.dbc").c_str()), 1);
    ASSERT_EQ(lib.getMessageCount(db), 2u);

    auto rec = newMessage();
    ASSERT_EQ(lib.getMessageByIndex(db, 0, rec.get()), 1); // key 0x123 first
    const QUserDbcMsg engine = DbcMessageRecord::fromLib(*rec);
    EXPECT_EQ(engine.strName, QString::fromUtf8("发动机状态"));
    EXPECT_EQ(engine.strComment, QString::fromUtf8("发动机的状态报文"));
    ASSERT_EQ(engine.vSignals.size(), 3);
    EXPECT_EQ(engine.vSignals[0].strName, QString::fromUtf8("转速"));
    EXPECT_EQ(engine.vSignals[0].unit, QString::fromUtf8("转/分"));
    EXPECT_EQ(engine.vSignals[0].strComment, QString::fromUtf8("曲轴转速"));
    EXPECT_EQ(engine.vSignals[1].strName, QString::fromUtf8("水温"));
    EXPECT_EQ(engine.vSignals[1].unit, QString::fromUtf8("摄氏度"));
    EXPECT_EQ(engine.vSignals[2].msgName, QString::fromUtf8("发动机状态"));

    // Value descriptions by the signal's name as the program holds it.
    const QByteArray key = DbcLibText::signalNameKey(engine.vSignals[2].strName);
    const uint32_t n = lib.getValDescPairCount(db, engine.nID, key.constData());
    ASSERT_EQ(n, 3u);
    DbcValDescPair pairs[16];
    ASSERT_EQ(lib.getValDescPair(db, engine.nID, key.constData(), pairs, 16), 3u);
    EXPECT_EQ(pairs[1].value, 1.0);
    EXPECT_EQ(DbcLibText::fromField(pairs[1].text), QString::fromUtf8("运行"));

    // The listened message goes into an analysis handle of its own and a
    // frame decodes under the same names.
    DbcDatabase *analysis = lib.init();
    ASSERT_NE(analysis, nullptr);
    lib.setProtocol(analysis, KDBC_PROTOCOL_CAN);
    auto listen = newMessage();
    ASSERT_TRUE(DbcMessageRecord::toLib(engine, listen.get()));
    ASSERT_EQ(lib.insertMessage(analysis, listen.get()), 1);
    const KCAN_CAN_OBJ frame = canFrame(0x123, false, {0x10, 0x27, 0xF6, 0x02, 0, 0, 0, 0});
    auto decoded = newMessage();
    ASSERT_EQ(lib.decode(analysis, &frame, 0, decoded.get()), 0);
    lib.release(analysis);

    const QUserDbcMsg got = DbcMessageRecord::fromLib(*decoded);
    EXPECT_EQ(got.strName, engine.strName);
    ASSERT_EQ(got.vSignals.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(got.vSignals[i].strName, engine.vSignals[i].strName) << i;
    EXPECT_EQ(got.vSignals[0].nRawValue, 10000);
    EXPECT_EQ(got.vSignals[1].nRawValue, -10); // 0xF6 in a signed byte
    EXPECT_EQ(got.vSignals[2].nRawValue, 2);

    // Physical values through the library from the converted signals.
    DbcSignal s;
    std::memset(&s, 0, sizeof s);
    ASSERT_TRUE(DbcSignalRecord::toLib(got.vSignals[0], &s));
    EXPECT_DOUBLE_EQ(lib.calcPhysicalValue(&s, DbcSignalRecord::rawToLib(false, 16, 10000)), 2500.0);
    ASSERT_TRUE(DbcSignalRecord::toLib(got.vSignals[1], &s));
    EXPECT_DOUBLE_EQ(lib.calcPhysicalValue(&s, s.nRawValue), -50.0);
    // An edited physical value back to raw: a signed result that passes the
    // signal's range check.
    QUserDbcSignal temp = got.vSignals[1];
    temp.nPhysicalValue = -41;
    temp.nRawValue = lib.calcRawValue(&s, temp.nPhysicalValue);
    EXPECT_EQ(temp.nRawValue, -1);
    EXPECT_TRUE(temp.isValid());
}

TEST_F(KemsigBound, TextsAreCutToTheRecordLimits)
{
    QUserDbcMsg m;
    m.nID = 1;
    m.strName = QString(200, QLatin1Char('n'));
    m.strComment = QString(300, QLatin1Char('c'));
    QUserDbcSignal s;
    s.nLen = 8;
    s.strName = QString::fromUtf8("名").repeated(50);  // 150 bytes
    s.unit = QString::fromUtf8("abcdefghijkl");          // 12 bytes
    s.strComment = QString::fromUtf8("注").repeated(70); // 210 bytes
    m.vSignals.append(s);
    QUserDbcSignal u;
    u.nLen = 8;
    u.unit = "km/h";
    u.strName = "U";
    m.vSignals.append(u);

    auto rec = newMessage(0xAA);
    ASSERT_TRUE(DbcMessageRecord::toLib(m, rec.get()));
    EXPECT_EQ(std::strlen(rec->strName), 127u);
    for (size_t i = 127; i < sizeof rec->strName; ++i)
        EXPECT_EQ(rec->strName[i], 0) << i;
    EXPECT_EQ(std::strlen(rec->strComment), 200u);
    EXPECT_EQ(rec->strComment[200], 0);
    // Bytes that a message record does not carry keep what they held.
    EXPECT_EQ(rec->reserved, 0xAAAAAAAAu);
    EXPECT_EQ(rec->padding0[0], 0xAA);
    EXPECT_EQ(rec->padding1[6], 0xAA);
    EXPECT_EQ(rec->sSignals[0].reserved[3], 0xAA);
    EXPECT_EQ(rec->sSignals[2].nLen, int32_t(0xAAAAAAAA)); // unused slot untouched

    const QUserDbcMsg back = DbcMessageRecord::fromLib(*throughLibrary(*rec));
    EXPECT_EQ(back.strName, m.strName.left(127));
    EXPECT_EQ(back.strComment, m.strComment.left(200));
    ASSERT_EQ(back.vSignals.size(), 2);
    EXPECT_EQ(back.vSignals[0].strName, QString::fromUtf8("名").repeated(42)); // 126 bytes
    EXPECT_EQ(back.vSignals[0].unit, "abcdefghij");
    EXPECT_EQ(back.vSignals[0].strComment, QString::fromUtf8("注").repeated(66)); // 198 bytes
    EXPECT_EQ(back.vSignals[1].unit, "km/h");
}

TEST_F(KemsigBound, MessageWithMoreSignalsThanSlotsHandsOverTheFirst256)
{
    QUserDbcMsg m;
    m.nID = 0x10;
    for (int i = 0; i < 300; ++i) {
        QUserDbcSignal s;
        s.nLen = 1;
        s.nStartBit = i;
        s.strName = QString("S%1").arg(i);
        m.vSignals.append(s);
    }
    auto rec = newMessage();
    ASSERT_TRUE(DbcMessageRecord::toLib(m, rec.get()));
    EXPECT_EQ(rec->nSignalCount, 256u);
    EXPECT_STREQ(rec->sSignals[255].strName, "S255");
    const QUserDbcMsg back = DbcMessageRecord::fromLib(*throughLibrary(*rec));
    EXPECT_EQ(back.vSignals.size(), 256);

    // A record claiming more slots than it has is read up to its 256.
    rec->nSignalCount = 100000;
    EXPECT_EQ(DbcMessageRecord::fromLib(*rec).vSignals.size(), 256);

    EXPECT_FALSE(DbcMessageRecord::toLib(m, nullptr));
    EXPECT_FALSE(DbcSignalRecord::toLib(m.vSignals[0], nullptr));
}
