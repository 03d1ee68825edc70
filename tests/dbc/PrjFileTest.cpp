// The ".prj" project file: what is written, what is read back, how Python's
// json module sees our files, hand-made files, and files that are broken or
// cannot be written.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <csignal>
#include <limits>
#include <sys/resource.h>

#include "tests/support/PeerCheck.h"
#include "tests/support/TempWorkDir.h"
#include "dbc/DbcNumberText.h"
#include "dbc/DbcPrjFile.h"

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Two doubles agree to the precision they are stored with.
void expectSameStored(double a, double b, const char *what)
{
    EXPECT_EQ(DbcNumberText::g16(a), DbcNumberText::g16(b)) << what;
    if (std::isfinite(a) && a != 0) {
        EXPECT_LE(std::fabs(a - b), std::fabs(a) * 1e-15) << what;
    }
}

void expectSameSignal(const QUserDbcSignal &a, const QUserDbcSignal &b)
{
    EXPECT_EQ(a.msgId, b.msgId);
    EXPECT_EQ(a.msgName, b.msgName);
    EXPECT_EQ(a.color, b.color);
    EXPECT_EQ(a.chartEnable, b.chartEnable);
    EXPECT_EQ(a.nStartBit, b.nStartBit);
    EXPECT_EQ(a.nLen, b.nLen);
    expectSameStored(a.nFactor, b.nFactor, "nFactor");
    expectSameStored(a.nOffset, b.nOffset, "nOffset");
    expectSameStored(a.nMin, b.nMin, "nMin");
    expectSameStored(a.nMax, b.nMax, "nMax");
    EXPECT_EQ(a.nRawValue, b.nRawValue);
    expectSameStored(a.nPhysicalValue, b.nPhysicalValue, "nPhysicalValue");
    EXPECT_EQ(a.isSigned, b.isSigned);
    EXPECT_EQ(a.isMotorola, b.isMotorola);
    EXPECT_EQ(a.multiplexerType, b.multiplexerType);
    EXPECT_EQ(a.valType, b.valType);
    EXPECT_EQ(a.multiplexerValue, b.multiplexerValue);
    EXPECT_EQ(a.unit, b.unit);
    EXPECT_EQ(a.strName, b.strName);
    EXPECT_EQ(a.strComment, b.strComment);
    ASSERT_EQ(a.valDesPair.size(), b.valDesPair.size());
    auto ia = a.valDesPair.constBegin();
    auto ib = b.valDesPair.constBegin();
    for (; ia != a.valDesPair.constEnd(); ++ia, ++ib) {
        EXPECT_EQ(DbcNumberText::f16(ia.key()), DbcNumberText::f16(ib.key()));
        EXPECT_EQ(ia.value(), ib.value());
    }
}

void expectSameMessage(const QUserDbcMsg &a, const QUserDbcMsg &b)
{
    EXPECT_EQ(a.nID, b.nID);
    EXPECT_EQ(a.nSize, b.nSize);
    expectSameStored(a.nCycleTime, b.nCycleTime, "nCycleTime");
    EXPECT_EQ(a.nExtend, b.nExtend);
    EXPECT_EQ(a.strName, b.strName);
    EXPECT_EQ(a.strComment, b.strComment);
    ASSERT_EQ(a.vSignals.size(), b.vSignals.size());
    for (int i = 0; i < a.vSignals.size(); ++i)
        expectSameSignal(a.vSignals[i], b.vSignals[i]);
}

QUserDbcSignal makeSignal(int i)
{
    QUserDbcSignal s;
    s.msgId = 0x98FF0001u + quint32(i);
    s.msgName = QString::fromUtf8("发动机状态");
    s.color = QString("%1,%2,%3").arg(i * 40 % 256).arg(200).arg(17);
    s.chartEnable = quint8(i % 2);
    s.nChartTime = 1700000000000LL + i;
    s.nStartBit = 8 * i;
    s.nLen = quint32(1 + i * 7);
    s.nFactor = 0.1 * (i + 1);
    s.nOffset = -1.0 / 3.0;
    s.nMin = -1e-5;
    s.nMax = 1e300;
    s.nRawValue = (qint64(1) << 40) - i;
    s.nPhysicalValue = 100.0 / (i + 7);
    s.isSigned = quint8(i % 2);
    s.isMotorola = quint8((i / 2) % 2);
    s.multiplexerType = quint8(i % 3);
    s.valType = quint8(i);
    s.multiplexerValue = quint32(0xFFFFFFF0u + quint32(i));
    s.unit = i ? QString::fromUtf8("摄氏度") : QString();
    s.strName = QString::fromUtf8("信号\"%1\"\\").arg(i);
    s.strComment = QString::fromUtf8("第 %1 行\r\n第二行\t").arg(i);
    s.valDesPair.insert(3, QString::fromUtf8("三"));
    s.valDesPair.insert(-0.5, "minus half");
    s.valDesPair.insert(i, QString("own %1").arg(i));
    return s;
}

QUserDbcMsg makeMessage(int i)
{
    QUserDbcMsg m;
    m.nID = i ? 0x80000000u | quint32(0x18FF0000 + i) : 0x7FFu;
    m.nSize = quint32(8 * (i + 1));
    m.nCycleTime = i ? 12.345678901234567 : 100;
    m.nExtend = i ? 1 : 0;
    m.strName = QString::fromUtf8("报文%1").arg(i);
    m.strComment = i ? QString("comment %1").arg(i) : QString();
    // Not stored:
    m.strData = "0102";
    m.strFrameId = "123";
    m.nFrameTime = 99;
    for (int k = 0; k < i + 1; ++k)
        m.vSignals.append(makeSignal(k + i));
    return m;
}

// A project already holding something, to see that failed loads keep it.
DbcPrjFile loadedProject()
{
    DbcPrjFile p;
    p.setDbcFilePath("old.dbc");
    p.addMessageList({makeMessage(0)});
    p.addSignalList({makeSignal(1), makeSignal(2)});
    return p;
}

void expectUnchanged(const DbcPrjFile &p)
{
    QString path;
    p.getDbcFilePath(path);
    EXPECT_EQ(path, "old.dbc");
    ASSERT_EQ(p.messageList().size(), 1);
    expectSameMessage(p.messageList()[0], makeMessage(0));
    ASSERT_EQ(p.signalList().size(), 2);
    expectSameSignal(p.signalList()[1], makeSignal(2));
}

} // namespace

using DbcPrjFileTest = WorkDirTest;

TEST_F(DbcPrjFileTest, EmptyProjectIsPathAndTwoEmptyArrays)
{
    DbcPrjFile p;
    p.setPrjFilePath("empty.prj");
    p.setDbcFilePath(QString::fromUtf8("D:/数据/车辆.dbc"));
    ASSERT_EQ(p.save(), 0);
    const QJsonDocument doc = QJsonDocument::fromJson(readAll("empty.prj"));
    ASSERT_TRUE(doc.isObject());
    const QJsonObject o = doc.object();
    EXPECT_EQ(o.size(), 3);
    EXPECT_EQ(o.value("dbcFilePath").toString(), QString::fromUtf8("D:/数据/车辆.dbc"));
    EXPECT_EQ(o.value("msgList").toArray().size(), 0);
    EXPECT_TRUE(o.value("msgList").isArray());
    EXPECT_TRUE(o.value("sigList").isArray());

    DbcPrjFile q;
    ASSERT_EQ(q.load("empty.prj"), 0);
    QString path;
    q.getDbcFilePath(path);
    EXPECT_EQ(path, QString::fromUtf8("D:/数据/车辆.dbc"));
    EXPECT_TRUE(q.messageList().isEmpty());
    EXPECT_TRUE(q.signalList().isEmpty());
}

TEST_F(DbcPrjFileTest, SaveThenLoadGivesEqualRecords)
{
    const QVector<QUserDbcMsg> msgs{makeMessage(0), makeMessage(1), makeMessage(2)};
    QVector<QUserDbcSignal> sigs{makeSignal(0), makeSignal(3), makeSignal(4)};
    // Awkward values: extremes, negative zero, infinities, NaN.
    sigs[1].nRawValue = std::numeric_limits<qint64>::min();
    sigs[1].nStartBit = -3;
    sigs[1].nFactor = -0.0;
    sigs[1].nOffset = std::numeric_limits<double>::infinity();
    sigs[1].nMin = -std::numeric_limits<double>::infinity();
    sigs[1].nPhysicalValue = std::nan("");
    sigs[2].nRawValue = std::numeric_limits<qint64>::max();
    sigs[2].nMax = std::numeric_limits<double>::denorm_min();
    sigs[2].nMin = -std::numeric_limits<double>::max();
    sigs[2].valDesPair.insert(1e20, "big");
    sigs[2].valDesPair.insert(1.0 / 3.0, "third");

    DbcPrjFile p;
    p.setPrjFilePath("p.prj");
    p.setDbcFilePath("a.dbc");
    p.addMessageList(msgs);
    p.addSignalList(sigs);
    ASSERT_EQ(p.save(), 0);

    DbcPrjFile q;
    ASSERT_EQ(q.load("p.prj"), 0);
    QVector<QUserDbcMsg> gotMsgs;
    QVector<QUserDbcSignal> gotSigs;
    q.getMessageList(gotMsgs);
    q.getSignalList(gotSigs);
    ASSERT_EQ(gotMsgs.size(), 3);
    ASSERT_EQ(gotSigs.size(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        expectSameMessage(gotMsgs[i], msgs[i]);
        expectSameSignal(gotSigs[i], sigs[i]);
        // What is not stored starts from its construction value.
        EXPECT_TRUE(gotMsgs[i].strData.isEmpty());
        EXPECT_TRUE(gotMsgs[i].strFrameId.isEmpty());
        EXPECT_EQ(gotMsgs[i].nFrameTime, 0);
        EXPECT_EQ(gotSigs[i].nChartTime, 0);
    }
    EXPECT_TRUE(std::signbit(gotSigs[1].nFactor));
    EXPECT_TRUE(std::isnan(gotSigs[1].nPhysicalValue));
    // Saving what was loaded writes the same bytes.
    q.setPrjFilePath("q.prj");
    q.setDbcFilePath("a.dbc");
    q.addMessageList(gotMsgs);
    q.addSignalList(gotSigs);
    ASSERT_EQ(q.save(), 0);
    EXPECT_EQ(readAll("q.prj"), readAll("p.prj"));
}

TEST_F(DbcPrjFileTest, PythonJsonReadsOurFileAndEveryNumberIsText)
{
    REQUIRE_PEER_MODULES("json");
    QUserDbcSignal big = makeSignal(0);
    big.nRawValue = qint64(1) << 40;
    big.nFactor = 0.1;
    big.nOffset = 100;
    big.nMin = 1e-5;
    big.valDesPair.clear();
    big.valDesPair.insert(3, "three");
    QUserDbcSignal neg = makeSignal(1);
    neg.nRawValue = -5;
    neg.nStartBit = -1;

    DbcPrjFile p;
    p.setPrjFilePath("peer.prj");
    p.setDbcFilePath(QString::fromUtf8("车辆.dbc"));
    p.addMessageList({makeMessage(1)});
    p.addSignalList({big, neg});
    ASSERT_EQ(p.save(), 0);

    const auto r = peer::run(peer::script("dbc_prj_check.py"), {workDir.file("peer.prj")});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const QJsonObject seen = QJsonDocument::fromJson(QByteArray::fromStdString(r.output)).object();
    ASSERT_FALSE(seen.isEmpty()) << r.output;
    EXPECT_EQ(seen.value("dbcFilePath").toString(), QString::fromUtf8("车辆.dbc"));
    const QJsonObject s0 = seen.value("sigList").toArray().at(0).toObject();
    EXPECT_EQ(s0.value("nRawValue").toDouble(), 1099511627776.0); // 13 digits
    EXPECT_EQ(s0.value("nFactor").toString(), "0.1");
    EXPECT_EQ(s0.value("nOffset").toString(), "100");
    EXPECT_EQ(s0.value("nMin").toString(), "1e-05");
    EXPECT_EQ(s0.value("valDesPair").toArray().at(0).toArray().at(0).toString(), "3.0000000000000000");
    EXPECT_EQ(s0.value("strName").toString(), makeSignal(0).strName);
    const QJsonObject s1 = seen.value("sigList").toArray().at(1).toObject();
    EXPECT_EQ(s1.value("nRawValue").toDouble(), -5.0);
    EXPECT_EQ(s1.value("nStartBit").toDouble(), -1.0);
    const QJsonObject m0 = seen.value("msgList").toArray().at(0).toObject();
    EXPECT_EQ(m0.value("nID").toDouble(), double(0x98FF0001u));
    EXPECT_EQ(m0.value("nCycleTime").toString(), "12.34567890123457");
    EXPECT_EQ(m0.value("strName").toString(), QString::fromUtf8("报文1"));
    EXPECT_EQ(m0.value("vSignals").toArray().size(), 2);

    // The raw text in the file, too: numbers in quotes, 13-digit raw value.
    const QByteArray text = readAll("peer.prj");
    EXPECT_TRUE(text.contains("\"nRawValue\": \"1099511627776\"")) << text.constData();
    EXPECT_TRUE(text.contains("\"value\": \"3.0000000000000000\""));
    EXPECT_TRUE(text.contains("\n    ")) << "indented";
}

// A file written by hand after the format: keys in another order, extra
// keys, CR LF line ends, a message without some keys.
TEST_F(DbcPrjFileTest, HandMadeFileLoads)
{
    const QByteArray text =
        "{\r\n"
        "  \"sigList\": [\r\n"
        "    {\"strName\": \"EngSpeed\", \"msgName\": \"EEC1\", \"msgId\": \"2364540158\",\r\n"
        "     \"nLen\": \"16\", \"nStartBit\": \"24\", \"nFactor\": \"0.125\", \"nOffset\": \"0\",\r\n"
        "     \"nMin\": \"0\", \"nMax\": \"8031.875\", \"nRawValue\": \"1099511627776\",\r\n"
        "     \"nPhysicalValue\": \"1e-05\", \"isSigned\": \"0\", \"isMotorola\": \"0\",\r\n"
        "     \"multiplexerType\": \"0\", \"valType\": \"0\", \"multiplexerValue\": \"0\",\r\n"
        "     \"unit\": \"rpm\", \"strComment\": \"\", \"color\": \"255,0,0\", \"chartEnable\": \"1\",\r\n"
        "     \"valDesPair\": [{\"desc\": \"Off\", \"value\": \"0.0000000000000000\"},\r\n"
        "                      {\"value\": \"3.0000000000000000\", \"desc\": \"On\", \"note\": \"x\"}],\r\n"
        "     \"future\": \"ignored\"}\r\n"
        "  ],\r\n"
        "  \"version\": \"2\",\r\n"
        "  \"msgList\": [\r\n"
        "    {\"strName\": \"EEC1\", \"nID\": \"2364540158\", \"nExtend\": \"1\", \"nSize\": \"8\",\r\n"
        "     \"nCycleTime\": \"100\", \"strComment\": \"Electronic Engine Controller 1\",\r\n"
        "     \"vSignals\": [{\"strName\": \"EngSpeed\", \"nLen\": \"16\", \"nStartBit\": \"24\"},\r\n"
        "                   {\"strName\": \"EngTorque\", \"nLen\": \"8\", \"nStartBit\": \"16\"}]},\r\n"
        "    {\"strName\": \"Bare\"}\r\n"
        "  ],\r\n"
        "  \"dbcFilePath\": \"C:/dbc/j1939.dbc\"\r\n"
        "}\r\n";
    writeAll("hand.prj", text);
    DbcPrjFile p;
    ASSERT_EQ(p.load("hand.prj"), 0);
    QString path;
    p.getDbcFilePath(path);
    EXPECT_EQ(path, "C:/dbc/j1939.dbc");
    ASSERT_EQ(p.messageList().size(), 2);
    const QUserDbcMsg &m = p.messageList()[0];
    EXPECT_EQ(m.strName, "EEC1");
    EXPECT_EQ(m.nID, 2364540158u);
    EXPECT_EQ(m.nExtend, 1);
    EXPECT_EQ(m.nSize, 8u);
    EXPECT_EQ(m.nCycleTime, 100.0);
    ASSERT_EQ(m.vSignals.size(), 2);
    EXPECT_EQ(m.vSignals[1].strName, "EngTorque");
    EXPECT_EQ(m.vSignals[1].nStartBit, 16);
    EXPECT_EQ(m.vSignals[1].nFactor, 1.0); // construction value: key absent
    const QUserDbcMsg &bare = p.messageList()[1];
    EXPECT_EQ(bare.strName, "Bare");
    EXPECT_EQ(bare.nID, 0u);
    EXPECT_TRUE(bare.vSignals.isEmpty());

    ASSERT_EQ(p.signalList().size(), 1);
    const QUserDbcSignal &s = p.signalList()[0];
    EXPECT_EQ(s.strName, "EngSpeed");
    EXPECT_EQ(s.msgId, 2364540158u);
    EXPECT_EQ(s.nFactor, 0.125);
    EXPECT_EQ(s.nMax, 8031.875);
    EXPECT_EQ(s.nRawValue, qint64(1) << 40);
    EXPECT_EQ(s.nPhysicalValue, 1e-5);
    EXPECT_EQ(s.color, "255,0,0");
    EXPECT_EQ(s.chartEnable, 1);
    EXPECT_EQ(s.unit, "rpm");
    ASSERT_EQ(s.valDesPair.size(), 2);
    EXPECT_EQ(s.valDesPair.value(0), "Off");
    EXPECT_EQ(s.valDesPair.value(3), "On");
}

TEST_F(DbcPrjFileTest, LenientFieldReading)
{
    // Numbers that are not JSON strings read as 0, texts that are not
    // strings as empty; elements that are not objects are skipped; flags
    // take any non-zero value as 1, 8-bit fields keep their low bits.
    const QByteArray text = R"({
      "dbcFilePath": "x.dbc",
      "msgList": [ 5, "m", null,
        {"nID": 291, "nSize": "8", "strName": 7, "nExtend": "257",
         "vSignals": [ [], {"strName": "A", "nLen": 8, "nStartBit": "abc", "nFactor": "2.5x"} ] } ],
      "sigList": [ true,
        {"strName": "B", "chartEnable": "5", "isSigned": "2", "isMotorola": "300",
         "multiplexerType": "258", "valType": "511", "nRawValue": "18446744073709551615",
         "multiplexerValue": "4294967295", "nLen": "-1", "msgId": "4294967296",
         "valDesPair": [ {"value": "1", "desc": "first"}, {"value": "1.0", "desc": "second"},
                         {"desc": "no value"}, {"value": "zz", "desc": "bad value"},
                         {"value": "nan", "desc": "not a number"}, 9, {"value": 2, "desc": "number"} ] }
      ]
    })";
    writeAll("lenient.prj", text);
    DbcPrjFile p;
    ASSERT_EQ(p.load("lenient.prj"), 0);
    ASSERT_EQ(p.messageList().size(), 1);
    const QUserDbcMsg &m = p.messageList()[0];
    EXPECT_EQ(m.nID, 0u);
    EXPECT_EQ(m.nSize, 8u);
    EXPECT_EQ(m.strName, "");
    EXPECT_EQ(m.nExtend, 1);
    ASSERT_EQ(m.vSignals.size(), 1);
    EXPECT_EQ(m.vSignals[0].nLen, 0u);
    EXPECT_EQ(m.vSignals[0].nStartBit, 0);
    EXPECT_EQ(m.vSignals[0].nFactor, 0.0);

    ASSERT_EQ(p.signalList().size(), 1);
    const QUserDbcSignal &s = p.signalList()[0];
    EXPECT_EQ(s.chartEnable, 1);
    EXPECT_EQ(s.isSigned, 1);
    EXPECT_EQ(s.isMotorola, 1);
    EXPECT_EQ(s.multiplexerType, 2);
    EXPECT_EQ(s.valType, 255);
    EXPECT_EQ(s.nRawValue, -1); // the same 64 bits
    EXPECT_EQ(s.multiplexerValue, 4294967295u);
    EXPECT_EQ(s.nLen, 0u);
    EXPECT_EQ(s.msgId, 0u); // beyond 32 bits: does not read
    // Equal values replace earlier texts; a missing or unreadable value, and
    // a JSON number, go under 0; NaN is left out.
    ASSERT_EQ(s.valDesPair.size(), 2);
    EXPECT_EQ(s.valDesPair.value(1), "second");
    EXPECT_EQ(s.valDesPair.value(0), "number");
}

TEST_F(DbcPrjFileTest, EachSignalKeepsItsOwnValueDescriptions)
{
    QUserDbcMsg m;
    m.strName = "M";
    QUserDbcSignal a;
    a.strName = "A";
    a.valDesPair.insert(0, "Off");
    a.valDesPair.insert(1, "On");
    QUserDbcSignal b;
    b.strName = "B";
    b.valDesPair.insert(7, "Seven");
    m.vSignals = {a, b};
    DbcPrjFile p;
    p.setPrjFilePath("vd.prj");
    p.addMessageList({m});
    ASSERT_EQ(p.save(), 0);
    DbcPrjFile q;
    ASSERT_EQ(q.load("vd.prj"), 0);
    ASSERT_EQ(q.messageList().size(), 1);
    const auto &sigs = q.messageList()[0].vSignals;
    ASSERT_EQ(sigs.size(), 2);
    EXPECT_EQ(sigs[0].valDesPair, a.valDesPair);
    EXPECT_EQ(sigs[1].valDesPair, b.valDesPair);
}

TEST_F(DbcPrjFileTest, ListsAndMaps)
{
    DbcPrjFile p;
    QUserDbcMsg x = makeMessage(0);
    x.strName = "Zeta";
    QUserDbcMsg y = makeMessage(1);
    y.strName = "Alpha";
    QMap<QString, QUserDbcMsg> map{{x.strName, x}, {y.strName, y}};
    p.addMessageMap(map);
    ASSERT_EQ(p.messageList().size(), 2);
    EXPECT_EQ(p.messageList()[0].strName, "Alpha");
    EXPECT_EQ(p.messageList()[1].strName, "Zeta");

    // Appends, and gets append to the caller's lists.
    QUserDbcMsg y2 = y;
    y2.nID = 77;
    p.addMessageList({y2});
    QVector<QUserDbcMsg> list{makeMessage(2)};
    p.getMessageList(list);
    EXPECT_EQ(list.size(), 4);
    QMap<QString, QUserDbcMsg> got{{"Other", makeMessage(2)}};
    p.getMessageMap(got);
    EXPECT_EQ(got.size(), 3);
    EXPECT_EQ(got.value("Alpha").nID, 77u); // the later one of the same name

    p.addSignalList({makeSignal(0)});
    QVector<QUserDbcSignal> sigs{makeSignal(1)};
    p.getSignalList(sigs);
    EXPECT_EQ(sigs.size(), 2);

    p.setPrjFilePath("new.prj");
    EXPECT_EQ(p.prjFilePath(), "new.prj");
    EXPECT_TRUE(p.messageList().isEmpty());
    EXPECT_TRUE(p.signalList().isEmpty());
}

// A file that is not JSON, not an object, or whose members have the wrong
// types is refused with its own error, and the project keeps what it had.
TEST_F(DbcPrjFileTest, BrokenFilesGiveAnErrorAndChangeNothing)
{
    {
        DbcPrjFile full;
        full.setPrjFilePath("full.prj");
        full.addMessageList({makeMessage(0), makeMessage(2)});
        full.addSignalList({makeSignal(1), makeSignal(2)});
        full.addSignalList({makeSignal(3)});
        full.setDbcFilePath("full.dbc");
        ASSERT_EQ(full.save(), 0);
    }
    const QByteArray full = readAll("full.prj");
    ASSERT_GT(full.size(), 1000);

    struct Case {
        const char *what;
        QByteArray bytes;
        int result;
    };
    std::vector<Case> cases = {
        {"empty file", "", DbcPrjFile::NotJson},
        {"text", "hello", DbcPrjFile::NotJson},
        {"binary", QByteArray("\x00\xFF\x10\x80", 4), DbcPrjFile::NotJson},
        {"trailing garbage", "{} x", DbcPrjFile::NotJson},
        {"unclosed string", "{\"dbcFilePath\": \"a", DbcPrjFile::NotJson},
        {"top-level array", "[{\"dbcFilePath\": \"a.dbc\"}]", DbcPrjFile::NotObject},
        {"top-level empty array", "[]", DbcPrjFile::NotObject},
        {"path a number", "{\"dbcFilePath\": 5}", DbcPrjFile::BadMemberType},
        {"path null", "{\"dbcFilePath\": null, \"msgList\": []}", DbcPrjFile::BadMemberType},
        {"msgList an object", "{\"dbcFilePath\": \"a\", \"msgList\": {}}", DbcPrjFile::BadMemberType},
        {"sigList a string", "{\"sigList\": \"x\", \"msgList\": []}", DbcPrjFile::BadMemberType},
    };
    // The saved file cut short at several places.
    for (int cut : {1, 2, 10, full.size() / 3, full.size() / 2, full.size() - 3, full.size() - 2})
        cases.push_back({"truncated", full.left(cut), DbcPrjFile::NotJson});

    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.what) + " (" + std::to_string(c.bytes.size()) + " bytes)");
        writeAll("broken.prj", c.bytes);
        DbcPrjFile p = loadedProject();
        EXPECT_EQ(p.load("broken.prj"), c.result);
        EXPECT_NE(c.result, 0);
        expectUnchanged(p);
    }

    // A file that cannot be opened, likewise.
    DbcPrjFile p = loadedProject();
    EXPECT_EQ(p.load("missing.prj"), DbcPrjFile::OpenFailed);
    expectUnchanged(p);
    EXPECT_EQ(p.load("."), DbcPrjFile::OpenFailed);
    expectUnchanged(p);

    // The whole file still loads, with or without a byte order mark.
    for (const QByteArray &bytes : {full, QByteArray("\xEF\xBB\xBF") + full}) {
        writeAll("ok.prj", bytes);
        DbcPrjFile ok = loadedProject();
        ASSERT_EQ(ok.load("ok.prj"), 0);
        QString path;
        ok.getDbcFilePath(path);
        EXPECT_EQ(path, "full.dbc");
        EXPECT_EQ(ok.messageList().size(), 2);
        EXPECT_EQ(ok.signalList().size(), 3);
    }
}

namespace {

QStringList capturedLog;

void captureLog(QtMsgType, const QMessageLogContext &, const QString &msg)
{
    capturedLog.append(msg);
}

// Limits the size of files this process may write, for one scope; writing
// past it fails (EFBIG) instead of raising SIGXFSZ.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit r = old_;
        r.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

} // namespace

// A save whose write fails reports it and leaves the previous project file
// as it was (no half-written file in its place, nothing left beside it).
TEST_F(DbcPrjFileTest, FailedSaveKeepsThePreviousFile)
{
    DbcPrjFile first;
    first.setPrjFilePath("keep.prj");
    first.setDbcFilePath("first.dbc");
    ASSERT_EQ(first.save(), 0);
    const QByteArray before = readAll("keep.prj");
    ASSERT_FALSE(before.isEmpty());

    DbcPrjFile second;
    second.setPrjFilePath("keep.prj");
    second.setDbcFilePath("second.dbc");
    for (int i = 0; i < 20; ++i)
        second.addMessageList({makeMessage(i % 3)});
    ASSERT_GT(second.toJsonBytes().size(), 4096);

    capturedLog.clear();
    QtMessageHandler previous = qInstallMessageHandler(captureLog);
    int result;
    {
        FileSizeLimit limit(1024);
        result = second.save();
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(result, DbcPrjFile::SaveFailed);
    EXPECT_EQ(readAll("keep.prj"), before);
    EXPECT_EQ(QDir(".").entryList(QDir::Files), QStringList{"keep.prj"});
    EXPECT_TRUE(capturedLog.contains("DBC Prj File keep.prj Save Fail...")) << capturedLog.join("|").toStdString();

    // Without the limit the same save goes through and replaces the file.
    ASSERT_EQ(second.save(), 0);
    DbcPrjFile back;
    ASSERT_EQ(back.load("keep.prj"), 0);
    QString path;
    back.getDbcFilePath(path);
    EXPECT_EQ(path, "second.dbc");
    EXPECT_EQ(back.messageList().size(), 20);

    // A path that cannot be created fails the same way.
    DbcPrjFile nowhere;
    nowhere.setPrjFilePath("no/such/dir/x.prj");
    EXPECT_EQ(nowhere.save(), DbcPrjFile::SaveFailed);
    DbcPrjFile unnamed;
    EXPECT_EQ(unnamed.save(), DbcPrjFile::SaveFailed);
}
