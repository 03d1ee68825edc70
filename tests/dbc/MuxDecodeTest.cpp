// The analysis window on multiplexed messages and IEEE float signals: a
// frame updates the plain signals, the switch and the page its switch value
// selects; the rows of other pages keep their last value and time, as does
// a signal whose bit field runs past the frame's data. Every page of Intel
// and Motorola switches, a switch that is not at bit 0, and single and
// double signals are held against python3-canmatrix's decode.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <random>

#include "tests/dbc/DbcWindowSupport.h"
#include "tests/dbc/MuxFixture.h"

using namespace dbcwin;

namespace {

QUserCanMsg frame(uint32_t id, bool ext, const QByteArray &data)
{
    QUserCanMsg m;
    m.idText = QString::asprintf("%08X ", id);
    m.extended = ext ? 1 : 0;
    m.lenText = QString::number(data.size());
    m.dataText = QString::fromLatin1(data.toHex().toUpper());
    m.protocol = data.size() > 8 ? 1 : 0;
    m.direction = 0;
    m.status = 0;
    m.hostTime = getCurrentMs();
    return m;
}

struct Seen {
    qint64 raw;
    double phys;
    qint64 time;
};

class MuxDecode : public DbcWindowTest
{
protected:
    void SetUp() override
    {
        DbcWindowTest::SetUp();
        ASSERT_TRUE(writeDbc(dbcPath("mux.dbc"), QString::fromLatin1(muxfixture::kMuxDbc)));
    }
    std::unique_ptr<QUserMainWindowDBC> openListening(const QStringList &messages)
    {
        std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
        EXPECT_EQ(loadDbc(w.get(), dbcPath("mux.dbc")), 1);
        for (const QUserDbcMsg &m : w->dbcMessages()) {
            if (!messages.contains(m.strName))
                continue;
            for (const QUserDbcSignal &s : m.vSignals)
                EXPECT_EQ(w->listenSignalAdd(m.strName, s.strName), 0) << s.strName.toStdString();
        }
        return w;
    }
    static QHash<QString, Seen> seen(QUserMainWindowDBC *w)
    {
        QHash<QString, Seen> out;
        for (const QUserDbcSignal &s : w->listenSignalList())
            out.insert(s.msgName + "." + s.strName, {s.nRawValue, s.nPhysicalValue, s.nChartTime});
        return out;
    }
    // Feeds one frame a millisecond after the last change, and gives the
    // rows whose time stamp it renewed.
    static QStringList feed(QUserMainWindowDBC *w, const QUserCanMsg &f, QHash<QString, Seen> *before = nullptr)
    {
        const QHash<QString, Seen> was = seen(w);
        QThread::msleep(2);
        QUserCanMsg m = f;
        m.hostTime = getCurrentMs();
        w->soltCanMsgRec(QStringLiteral("TRNA702-0-1"), QVector<QUserCanMsg>{m});
        QStringList updated;
        const QHash<QString, Seen> now = seen(w);
        for (auto it = now.constBegin(); it != now.constEnd(); ++it) {
            if (it.value().time != was.value(it.key()).time)
                updated << it.key();
        }
        updated.sort();
        if (before)
            *before = was;
        return updated;
    }
};

} // namespace

// Page by page: only the switch, the plain signals and the selected page
// move; the others keep value and time.
TEST_F(MuxDecode, FrameUpdatesOnlyThePageItsSwitchSelects)
{
    auto w = openListening({"MuxIntel", "MuxMoto"});
    QHash<QString, Seen> before;
    QStringList got = feed(w.get(), frame(0x200, false, QByteArray::fromHex("00C8003200EFCDAB")), &before);
    EXPECT_EQ(got, QStringList({"MuxIntel.A0", "MuxIntel.B0", "MuxIntel.C0", "MuxIntel.Mode"}));
    const QHash<QString, Seen> page0 = seen(w.get());
    EXPECT_EQ(page0["MuxIntel.A0"].phys, 100.0);
    EXPECT_EQ(page0["MuxIntel.C0"].raw, 0xABCDEF);

    got = feed(w.get(), frame(0x200, false, QByteArray::fromHex("0177665544332211")));
    EXPECT_EQ(got, QStringList({"MuxIntel.A1", "MuxIntel.B1", "MuxIntel.C1", "MuxIntel.Mode"}));
    const QHash<QString, Seen> page1 = seen(w.get());
    for (const char *name : {"MuxIntel.A0", "MuxIntel.B0", "MuxIntel.C0", "MuxIntel.A2"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(page1[name].raw, page0[name].raw);
        EXPECT_EQ(page1[name].phys, page0[name].phys);
        EXPECT_EQ(page1[name].time, page0[name].time);
    }
    EXPECT_EQ(page1["MuxIntel.A1"].raw, 0x77);

    // A page without signals: only the switch.
    got = feed(w.get(), frame(0x200, false, QByteArray::fromHex("0700000000000000")));
    EXPECT_EQ(got, QStringList({"MuxIntel.Mode"}));

    // Motorola switch in byte 1's high nibble, plain signals around it.
    got = feed(w.get(), frame(0x300, true, QByteArray::fromHex("AA3F000000000102")));
    EXPECT_EQ(got, QStringList({"MuxMoto.Head", "MuxMoto.P3a", "MuxMoto.Page", "MuxMoto.Tail"}));
    EXPECT_EQ(seen(w.get())["MuxMoto.Page"].raw, 3);
    EXPECT_EQ(seen(w.get())["MuxMoto.P3a"].raw, qint64(0xF00000000ll));
}

// A signal whose bit field runs past the frame's data is not in the frame:
// its row keeps value and time; a switch cut off leaves every page alone.
TEST_F(MuxDecode, FieldPastTheFrameKeepsItsLastValue)
{
    auto w = openListening({"MuxIntel", "MuxFloat"});
    feed(w.get(), frame(0x200, false, QByteArray::fromHex("00C8003200EFCDAB")));
    const QHash<QString, Seen> full = seen(w.get());
    const QStringList got = feed(w.get(), frame(0x200, false, QByteArray::fromHex("00640000")));
    EXPECT_EQ(got, QStringList({"MuxIntel.A0", "MuxIntel.Mode"})) << "B0 needs byte 4, C0 bytes 5 to 7";
    const QHash<QString, Seen> cut = seen(w.get());
    EXPECT_EQ(cut["MuxIntel.A0"].phys, 50.0);
    EXPECT_EQ(cut["MuxIntel.B0"].raw, full["MuxIntel.B0"].raw);
    EXPECT_EQ(cut["MuxIntel.B0"].phys, full["MuxIntel.B0"].phys);
    EXPECT_EQ(cut["MuxIntel.B0"].time, full["MuxIntel.B0"].time);
    EXPECT_EQ(cut["MuxIntel.C0"].raw, 0xABCDEF);

    // MuxFloat's switch is at bit 60: a frame of 4 bytes carries no page.
    feed(w.get(), frame(0x402, false, QByteArray::fromHex("0000484100000000")));
    EXPECT_EQ(seen(w.get())["MuxFloat.F0"].phys, 12.5);
    EXPECT_EQ(feed(w.get(), frame(0x402, false, QByteArray::fromHex("00002041"))), QStringList());
    EXPECT_EQ(seen(w.get())["MuxFloat.F0"].phys, 12.5);
}

// Random frames on every page of every message, each frame's updated rows
// and values against canmatrix's decode of the same bytes.
TEST_F(MuxDecode, EveryPageDecodesAsCanmatrixDoes)
{
    REQUIRE_PEER_MODULES("canmatrix");
    auto w = openListening({"MuxIntel", "MuxMoto", "MuxFloat", "Doubles"});
    std::mt19937 rng(3232);
    QJsonArray results;
    int frames = 0, values = 0;
    for (const muxfixture::MuxMessage &mm : muxfixture::muxMessages()) {
        QVector<int> pages = mm.pages;
        if (mm.switchName)
            pages << 15; // a switch value no page has
        for (int page : pages) {
            for (int k = 0; k < 12; ++k) {
                QByteArray data(mm.size, '\0');
                for (char &c : data)
                    c = char(rng());
                if (QByteArray(mm.name) == "MuxIntel")
                    data[0] = char(page);
                else if (QByteArray(mm.name) == "MuxMoto")
                    data[1] = char((quint8(data[1]) & 0x0F) | (page << 4));
                else if (QByteArray(mm.name) == "MuxFloat")
                    data[7] = char((quint8(data[7]) & 0x0F) | (page << 4));
                const QStringList updated = feed(w.get(), frame(mm.id, mm.extended, data));
                const QHash<QString, Seen> now = seen(w.get());
                // What the fixture says the frame carries.
                QStringList want;
                for (const QUserDbcSignal &s : w->listenSignalList()) {
                    if (s.msgName == mm.name && (s.multiplexerType != 1 || int(s.multiplexerValue) == page))
                        want << s.msgName + "." + s.strName;
                }
                want.sort();
                EXPECT_EQ(updated, want) << mm.name << " page " << page;
                QJsonObject sigs;
                for (const QString &key : updated) {
                    const Seen &v = now.value(key);
                    sigs.insert(key.section('.', 1),
                                QJsonObject{{"raw", QString::number(v.raw)},
                                            {"phys", std::isnan(v.phys) ? QJsonValue(QStringLiteral("nan"))
                                                                        : QJsonValue(QString::number(v.phys, 'g', 17))}});
                    ++values;
                }
                results.append(QJsonObject{{"msg", mm.name}, {"data", QString::fromLatin1(data.toHex().toUpper())},
                                           {"signals", sigs}});
                ++frames;
            }
        }
    }
    const QString path = QDir::current().absoluteFilePath("mux_decode.json");
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QJsonDocument(QJsonObject{{"decode", results}}).toJson());
    out.close();
    const peer::Result r = peer::run(peer::script("dbc_mux_peer.py"), {"check", dbcPath("mux.dbc").toStdString(), path.toStdString()});
    std::cout << r.output;
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("differences 0"), std::string::npos);
    std::cout << "analysis window: frames " << frames << ", values " << values << "\n";
}

// A J1939 group that arrives by the transport protocol is decoded from all
// of its bytes, not from the 8 of the frame that completed it: a signal
// beyond byte 8 is in the group.
TEST_F(MuxDecode, TransportGroupIsMeasuredByItsOwnLength)
{
    QUserSysCfg::instance()->setInt("dbcProcotolType", 1);
    ASSERT_TRUE(writeDbc(dbcPath("tp.dbc"), QString::fromLatin1("BO_ 2566834688 Big: 12 ECU\n"
                                                                 " SG_ First : 0|8@1+ (1,0) [0|0] \"\" GW\n"
                                                                 " SG_ Last : 80|16@1+ (1,0) [0|0] \"\" GW\n"
                                                                 " SG_ Past : 96|8@1+ (1,0) [0|0] \"\" GW\n")));
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    ASSERT_EQ(loadDbc(w.get(), dbcPath("tp.dbc")), 1);
    for (const char *s : {"First", "Last", "Past"})
        ASSERT_EQ(w->listenSignalAdd("Big", s), 0);
    // Broadcast announce of 12 bytes in 2 packets of PGN 0xFECA, then the
    // packets from source 0x21.
    EXPECT_EQ(feed(w.get(), frame(0x18ECFF21, true, QByteArray::fromHex("200C0002FFCAFE00"))), QStringList());
    EXPECT_EQ(feed(w.get(), frame(0x18EBFF21, true, QByteArray::fromHex("01AA000000000000"))), QStringList());
    EXPECT_EQ(feed(w.get(), frame(0x18EBFF21, true, QByteArray::fromHex("020000003412FFFF"))),
              QStringList({"Big.First", "Big.Last"}))
        << "Past lies beyond the group's 12 bytes";
    EXPECT_EQ(seen(w.get())["Big.First"].raw, 0xAA);
    EXPECT_EQ(seen(w.get())["Big.Last"].raw, 0x1234);
}

// A remote frame asks for data and carries none: its length code (8) is
// no data, and the rows keep what the last data frame gave them, the switch
// too (a fresh raw 0 would select page 0).
TEST_F(MuxDecode, RemoteFrameLeavesEveryRowAsItWas)
{
    auto w = openListening({"MuxIntel", "MuxMoto"});
    feed(w.get(), frame(0x200, false, QByteArray::fromHex("0177665544332211")));
    const QHash<QString, Seen> page1 = seen(w.get());
    ASSERT_EQ(page1["MuxIntel.Mode"].raw, 1);
    for (bool ext : {false, true}) {
        QUserCanMsg remote = frame(ext ? 0x300 : 0x200, ext, QByteArray());
        remote.remote = 1;
        remote.lenText = "8";
        EXPECT_EQ(feed(w.get(), remote), QStringList()) << (ext ? "MuxMoto" : "MuxIntel");
    }
    const QHash<QString, Seen> after = seen(w.get());
    for (auto it = page1.constBegin(); it != page1.constEnd(); ++it) {
        SCOPED_TRACE(qPrintable(it.key()));
        EXPECT_EQ(after[it.key()].raw, it.value().raw);
        EXPECT_EQ(after[it.key()].time, it.value().time);
    }
    EXPECT_EQ(after["MuxIntel.Mode"].raw, 1) << "the switch did not drop to 0";
}

// A J1939 group announced shorter than its DBC message carries only its
// own bytes: the signals past them keep what the last full group gave.
TEST_F(MuxDecode, TransportGroupShorterThanItsMessageLeavesTheRestAlone)
{
    QUserSysCfg::instance()->setInt("dbcProcotolType", 1);
    ASSERT_TRUE(writeDbc(dbcPath("tp.dbc"), QString::fromLatin1("BO_ 2566834688 Big: 12 ECU\n"
                                                                 " SG_ First : 0|8@1+ (1,0) [0|0] \"\" GW\n"
                                                                 " SG_ Mid : 64|8@1+ (1,0) [0|0] \"\" GW\n"
                                                                 " SG_ Last : 80|16@1+ (1,0) [0|0] \"\" GW\n")));
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    ASSERT_EQ(loadDbc(w.get(), dbcPath("tp.dbc")), 1);
    for (const char *s : {"First", "Mid", "Last"})
        ASSERT_EQ(w->listenSignalAdd("Big", s), 0);
    // The whole 12 bytes from source 0x21.
    feed(w.get(), frame(0x18ECFF21, true, QByteArray::fromHex("200C0002FFCAFE00")));
    feed(w.get(), frame(0x18EBFF21, true, QByteArray::fromHex("01AA000000000000")));
    EXPECT_EQ(feed(w.get(), frame(0x18EBFF21, true, QByteArray::fromHex("0200BB003412FFFF"))),
              QStringList({"Big.First", "Big.Last", "Big.Mid"}));
    const QHash<QString, Seen> full = seen(w.get());
    ASSERT_EQ(full["Big.Last"].raw, 0x1234);
    // Then 9 bytes from source 0x22 (whose session buffer is fresh).
    feed(w.get(), frame(0x18ECFF22, true, QByteArray::fromHex("20090002FFCAFE00")));
    feed(w.get(), frame(0x18EBFF22, true, QByteArray::fromHex("0111000000000000")));
    EXPECT_EQ(feed(w.get(), frame(0x18EBFF22, true, QByteArray::fromHex("0200CCFFFFFFFFFF"))),
              QStringList({"Big.First", "Big.Mid"}))
        << "Last lies past the group's 9 bytes";
    const QHash<QString, Seen> part = seen(w.get());
    EXPECT_EQ(part["Big.First"].raw, 0x11);
    EXPECT_EQ(part["Big.Mid"].raw, 0xCC);
    EXPECT_EQ(part["Big.Last"].raw, 0x1234);
    EXPECT_EQ(part["Big.Last"].time, full["Big.Last"].time);
}

// The raw value of a negative signal shows in the signal's own width, as
// the send window shows it: B0 (16 bits) holding -5 is FFFB, P1a (20 bits)
// holding -5 is FFFFB.
TEST_F(MuxDecode, NegativeRawValuesShowTheSignalsWidth)
{
    auto w = openListening({"MuxIntel", "MuxMoto"});
    feed(w.get(), frame(0x200, false, QByteArray::fromHex("000000FBFF000000")));
    feed(w.get(), frame(0x300, true, QByteArray::fromHex("001FFFFB00000000")));
    modelRefresh(w.get());
    QHash<QString, QString> shown;
    for (int r = 0; r < w->listenSignalList().size(); ++r) {
        const QUserDbcSignal &s = w->listenSignalList().at(r);
        shown.insert(s.msgName + "." + s.strName, cellText(w.get(), r, 4));
    }
    EXPECT_EQ(seen(w.get())["MuxIntel.B0"].raw, -5);
    EXPECT_EQ(shown["MuxIntel.B0"], "FFFB");
    EXPECT_EQ(seen(w.get())["MuxMoto.P1a"].raw, -5);
    EXPECT_EQ(shown["MuxMoto.P1a"], "FFFFB");
    EXPECT_EQ(shown["MuxMoto.Page"], "1");
}
