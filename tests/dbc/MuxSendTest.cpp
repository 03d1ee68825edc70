// The send window on multiplexed messages and IEEE float signals: a frame
// carries the switch, the plain signals and the page the switch selects;
// editing a signal of another page moves the switch there; the bytes are
// held against python3-canmatrix's encode for every page of Intel and
// Motorola switches, a switch that is not at bit 0, and single and double
// signals. Also: the physical value shown after an edit is the one of the
// raw value sent, [0|0] is no range, and a message of no data bytes is sent.

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStatusBar>

#include <cmath>
#include <cstring>
#include <random>

#include "tests/dbc/MuxFixture.h"
#include "tests/dbc/SendSupport.h"
#include "tests/support/TempWorkDir.h"
#include "core/QUserSysCfg.h"

using namespace sendtest;
using Win = QUserMainWindowDBCSend;

namespace {

class MuxSend : public WorkDirTest
{
protected:
    void SetUp() override
    {
        QUserSysCfg *cfg = QUserSysCfg::instance();
        cfg->setInt("dbcProcotolType", 0);
        cfg->setString("dbcMsgSrcAddr", "FF");
        cfg->setString("dbcMsgDstAddr", "FF");
        cfg->setInt("dbcFdSendProcotol", 2);
    }
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QString muxDbc()
    {
        const QString path = QDir::current().absoluteFilePath("mux.dbc");
        EXPECT_TRUE(writeText(path, muxfixture::kMuxDbc));
        return path;
    }
    // Adds the message to the send list and makes it the current row.
    static int addAndSelect(Win &w, const QString &name)
    {
        EXPECT_EQ(w.sendListMsgAdd(name), Win::AddOk);
        const int row = w.sendMessages().size() - 1;
        selectRow(w, row);
        EXPECT_EQ(w.currentMsgRow(), row);
        return row;
    }
    static const QUserDbcSignal &sig(Win &w, int row, const QString &name)
    {
        for (const QUserDbcSignal &s : w.sendMessages().at(row).vSignals)
            if (s.strName == name)
                return s;
        static QUserDbcSignal none;
        ADD_FAILURE() << "no signal " << name.toStdString();
        return none;
    }
    static QByteArray encoded(Win &w, int row)
    {
        QUserDbcMsg m = w.sendMessages().at(row);
        EXPECT_TRUE(w.dbcMsgEncode(m));
        return QByteArray::fromHex(m.strData.toLatin1());
    }
};

bool requirePeer(std::string *why)
{
    return peer::haveModules({"canmatrix"}, why);
}

} // namespace

// The example of the fault: switch 0 and page 0's values set; the pages
// after it (raw values 0) used to overwrite their bits with zeros.
TEST_F(MuxSend, FrameCarriesThePageTheSwitchSelects)
{
    Win w;
    ASSERT_EQ(loadDbc(w, muxDbc()), 0);
    const int row = addAndSelect(w, "MuxIntel");
    editCell(w, sigRow(w, "A0"), Win::SigColPhysical, "100");   // raw 200
    editCell(w, sigRow(w, "B0"), Win::SigColPhysical, "-50");   // raw 50
    editCell(w, sigRow(w, "C0"), Win::SigColRaw, "ABCDEF");
    EXPECT_EQ(sig(w, row, "Mode").nRawValue, 0);
    EXPECT_EQ(encoded(w, row).toHex().toUpper(), QByteArray("00C8003200EFCDAB"));

    // Page 2 shares bits 8..63: only its signal goes out once the switch
    // selects it.
    editCell(w, sigRow(w, "A2"), Win::SigColRaw, "11223344556677");
    EXPECT_EQ(encoded(w, row).toHex().toUpper(), QByteArray("0277665544332211"));
}

// Editing a signal of another page moves the switch to that page (the
// window's choice: the frame then carries what was just typed); the
// switch's cells show it at once.
TEST_F(MuxSend, SwitchFollowsTheEditedSignal)
{
    Win w;
    ASSERT_EQ(loadDbc(w, muxDbc()), 0);
    const int row = addAndSelect(w, "MuxMoto");
    editCell(w, sigRow(w, "P1b"), Win::SigColPhysical, "25"); // raw 10, page 1
    EXPECT_EQ(sig(w, row, "Page").nRawValue, 1);
    EXPECT_EQ(cellText(w, sigRow(w, "Page"), Win::SigColRaw), "1");
    EXPECT_EQ(cellText(w, sigRow(w, "Page"), Win::SigColPhysical), "1");
    // Switch bits 15..12 of byte 1; P1b is byte 4.
    QByteArray data = encoded(w, row);
    EXPECT_EQ(quint8(data[1]) >> 4, 1);
    EXPECT_EQ(quint8(data[4]), 10);

    editCell(w, sigRow(w, "P3a"), Win::SigColRaw, "1");
    EXPECT_EQ(sig(w, row, "Page").nRawValue, 3);
    data = encoded(w, row);
    EXPECT_EQ(quint8(data[1]), 0x30);
    EXPECT_EQ(quint8(data[4]), 0x00) << "page 1's P1b is not in a page 3 frame";
    EXPECT_EQ(quint8(data[5]), 0x01);

    // A plain signal or the switch itself moves nothing.
    editCell(w, sigRow(w, "Head"), Win::SigColRaw, "5");
    EXPECT_EQ(sig(w, row, "Page").nRawValue, 3);
    editCell(w, sigRow(w, "Page"), Win::SigColRaw, "0");
    EXPECT_EQ(sig(w, row, "Page").nRawValue, 0);
    EXPECT_EQ(sig(w, row, "P3a").nRawValue, 1) << "a page's values stay for when it is selected again";
}

// The raw value of a typed physical value is rounded to the signal's step:
// the cell shows the physical value of that raw value. [0|0] says the
// signal has no range: no value of it is red.
TEST_F(MuxSend, PhysicalCellShowsTheValueSentAndNoRangeIsNotRed)
{
    Win w;
    ASSERT_EQ(loadDbc(w, muxDbc()), 0);
    const int row = addAndSelect(w, "MuxIntel");
    const int a0 = sigRow(w, "A0"); // factor 0.5, [0|32767.5]
    editCell(w, a0, Win::SigColPhysical, "100.3");
    EXPECT_EQ(sig(w, row, "A0").nRawValue, 201);
    EXPECT_EQ(cellText(w, a0, Win::SigColPhysical), "100.5");
    EXPECT_EQ(sig(w, row, "A0").nPhysicalValue, 100.5);
    EXPECT_EQ(cellColor(w, a0, Win::SigColPhysical), QColor(0, 0, 0));

    const int b0 = sigRow(w, "B0"); // offset -100, [0|0]
    editCell(w, b0, Win::SigColPhysical, "-250");
    EXPECT_EQ(cellText(w, b0, Win::SigColPhysical), "-250");
    EXPECT_EQ(cellColor(w, b0, Win::SigColPhysical), QColor(0, 0, 0));
    EXPECT_EQ(cellColor(w, b0, Win::SigColRaw), QColor(0, 0, 0));
    // A raw value that does not fit is still red, and keeps the typed text.
    editCell(w, b0, Win::SigColPhysical, "1000000");
    EXPECT_EQ(cellColor(w, b0, Win::SigColRaw), QColor(255, 0, 0));
    EXPECT_EQ(cellText(w, b0, Win::SigColPhysical), "1000000");
    // A real range still colours.
    editCell(w, a0, Win::SigColPhysical, "-1");
    EXPECT_EQ(cellColor(w, a0, Win::SigColPhysical), QColor(255, 0, 0));
}

// IEEE signals: the typed physical value goes out as the float's bits, in
// the signal's byte order, and shows as a number.
TEST_F(MuxSend, FloatAndDoubleSignalsGoOutAsIeeeBits)
{
    Win w;
    ASSERT_EQ(loadDbc(w, muxDbc()), 0);
    int row = addAndSelect(w, "MuxFloat");
    editCell(w, sigRow(w, "F0"), Win::SigColPhysical, "12.5");
    EXPECT_EQ(cellText(w, sigRow(w, "F0"), Win::SigColPhysical), "12.5");
    EXPECT_EQ(cellColor(w, sigRow(w, "F0"), Win::SigColRaw), QColor(0, 0, 0));
    EXPECT_EQ(encoded(w, row).toHex().toUpper(), QByteArray("0000484100000000"));
    editCell(w, sigRow(w, "F1"), Win::SigColPhysical, "-0.25"); // (-0.25 - 1) / 0.5 = -2.5
    EXPECT_EQ(sig(w, row, "Sel").nRawValue, 1);
    EXPECT_EQ(encoded(w, row).toHex().toUpper(), QByteArray("C020000000000010"));

    row = addAndSelect(w, "Doubles");
    editCell(w, sigRow(w, "D"), Win::SigColPhysical, "3.25");
    editCell(w, sigRow(w, "DM"), Win::SigColPhysical, "-3"); // -1.5 * 2
    EXPECT_EQ(encoded(w, row).toHex().toUpper(), QByteArray("0000000000000A40BFF8000000000000"));
    EXPECT_EQ(cellText(w, sigRow(w, "DM"), Win::SigColPhysical), "-3");
}

// Every page of every message, typed as a user does, against canmatrix.
TEST_F(MuxSend, EveryPageEncodesAsCanmatrixDoes)
{
    std::string missing;
    if (!requirePeer(&missing)) {
        if (peer::underCi())
            FAIL() << "python module missing: " << missing;
        GTEST_SKIP() << "python module missing: " << missing;
    }
    Win w;
    ASSERT_EQ(loadDbc(w, muxDbc()), 0);
    std::mt19937 rng(32);
    QJsonArray results;
    int frames = 0;
    for (const muxfixture::MuxMessage &mm : muxfixture::muxMessages()) {
        const int row = addAndSelect(w, mm.name);
        for (int page : mm.pages) {
            for (int round = 0; round < 4; ++round) {
                SCOPED_TRACE(testing::Message() << mm.name << " page " << page << " round " << round);
                const QVector<QUserDbcSignal> sigs = w.sendMessages().at(row).vSignals;
                bool typed = false;
                for (int i = 0; i < sigs.size(); ++i) {
                    const QUserDbcSignal &s = sigs.at(i);
                    if (s.multiplexerType == 2 || (s.multiplexerType == 1 && int(s.multiplexerValue) != page))
                        continue;
                    if (s.multiplexerType == 1)
                        typed = true;
                    QString text;
                    int column = Win::SigColPhysical;
                    if (s.valType == 1 || s.valType == 2) {
                        // Values a float carries exactly, and larger ones.
                        const double v = double(int(rng() % 20001) - 10000) / 8.0 *
                                         (s.valType == 2 ? 1e6 : 1.0);
                        text = QString::number(v * s.nFactor + s.nOffset, 'g', 17);
                    } else {
                        const int len = int(s.nLen);
                        const quint64 bits = (quint64(rng()) << 32 | rng()) & (len >= 64 ? ~0ull : ((1ull << len) - 1));
                        if ((i + round) % 2 == 0 || len > 40) {
                            column = Win::SigColRaw;
                            text = QString::number(bits, 16).toUpper();
                        } else {
                            qint64 raw = qint64(bits);
                            if (s.isSigned && (bits >> (len - 1)) & 1)
                                raw = qint64(bits | ~((1ull << len) - 1));
                            text = QString::number(double(raw) * s.nFactor + s.nOffset, 'g', 17);
                        }
                    }
                    editCell(w, sigRow(w, s.strName), column, text);
                }
                if (mm.switchName && !typed)
                    editCell(w, sigRow(w, mm.switchName), Win::SigColRaw, QString::number(page, 16));
                const QUserDbcMsg now = w.sendMessages().at(row);
                QJsonObject carried;
                for (const QUserDbcSignal &s : now.vSignals) {
                    if (s.multiplexerType == 2) {
                        EXPECT_EQ(s.nRawValue, page) << "the switch is on the page typed into";
                    }
                    if (s.multiplexerType == 1 && int(s.multiplexerValue) != page)
                        continue;
                    carried.insert(s.strName,
                                   QJsonObject{{"raw", QString::number(s.nRawValue)},
                                               {"phys", cellText(w, sigRow(w, s.strName), Win::SigColPhysical)}});
                }
                QUserDbcMsg m = now;
                ASSERT_TRUE(w.dbcMsgEncode(m));
                ASSERT_EQ(m.strData.size(), mm.size * 2);
                results.append(QJsonObject{{"msg", mm.name}, {"data", m.strData}, {"signals", carried}});
                ++frames;
            }
        }
    }
    const QString path = QDir::current().absoluteFilePath("mux_send.json");
    ASSERT_TRUE(writeText(path, QJsonDocument(QJsonObject{{"encode", results}}).toJson()));
    const auto checked = peer::run(peer::script("dbc_mux_peer.py"),
                                   {"check", QDir::current().absoluteFilePath("mux.dbc").toStdString(), path.toStdString()});
    std::cout << checked.output;
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_NE(checked.output.find("differences 0"), std::string::npos);
    EXPECT_EQ(frames, 4 * (4 + 4 + 3 + 1));
}

// CAN allows a frame of no data bytes: the message goes out with none.
TEST_F(MuxSend, MessageOfNoDataBytesIsSent)
{
    if (!kemusbBuilt())
        GTEST_SKIP() << "libkemusb.so not built";
    SimRig rig;
    ASSERT_TRUE(rig.open(false));
    const QString path = QDir::current().absoluteFilePath("empty.dbc");
    ASSERT_TRUE(writeText(path, "BO_ 1024 Empty: 0 ECU\n\nBO_ 1025 One: 1 ECU\n SG_ B : 0|8@1+ (1,0) [0|0] \"\" ECU\n"));
    Win w;
    w.setDevAdapter(SimRig::tx(), &rig.reg);
    ASSERT_EQ(loadDbc(w, path), 0);
    ASSERT_EQ(w.sendListMsgAdd("Empty"), Win::AddOk);
    QUserDbcMsg m = w.sendMessages().at(0);
    ASSERT_TRUE(w.dbcMsgEncode(m));
    EXPECT_EQ(m.strData, "");
    EXPECT_EQ(m.strFrameId, "400");
    QUserPromptScript prompts;
    sendButton(w, 0)->click();
    EXPECT_EQ(prompts.records().size(), 0) << "no error box";
    EXPECT_EQ(w.statusBar()->currentMessage(), QStringLiteral("发送成功.."));
    ASSERT_TRUE(waitUntil([&] { return rig.received(SimRig::rx()).size() >= 1; }));
    const QUserCanMsg got = rig.received(SimRig::rx()).at(0);
    EXPECT_EQ(got.getId(), 0x400);
    EXPECT_EQ(got.lenText.trimmed(), "0");
    EXPECT_TRUE(QByteArray::fromHex(got.dataText.toLatin1()).isEmpty());
}

namespace {
const char kWideDbc[] = "BO_ 1028 Wide: 16 ECU\n"
                        " SG_ U64 : 0|64@1+ (1,0) [0|0] \"\" GW\n"
                        " SG_ S64 : 71|64@0- (1,0) [0|0] \"\" GW\n"
                        "BO_ 1029 Small: 3 ECU\n"
                        " SG_ S8 : 0|8@1- (1,0) [-128|127] \"\" GW\n"
                        " SG_ S12 : 8|12@1- (1,0) [-2048|2047] \"\" GW\n";
} // namespace

// A whole number typed for a 64-bit integer signal of factor 1 and offset
// 0 goes out exactly, also above 2^53 where a double holds only every
// second, fourth, ... integer.
TEST_F(MuxSend, SixtyFourBitValuesGoOutExactly)
{
    const QString path = QDir::current().absoluteFilePath("wide.dbc");
    ASSERT_TRUE(writeText(path, kWideDbc));
    Win w;
    ASSERT_EQ(loadDbc(w, path), 0);
    const int row = addAndSelect(w, "Wide");
    struct Case {
        const char *u64, *s64;
        const char *bytes; // U64 little-endian, then S64 big-endian
    } cases[] = {
        {"9007199254740993", "-9007199254740993", "0100000000002000FFDFFFFFFFFFFFFF"},
        {"18446744073709551615", "9223372036854775807", "FFFFFFFFFFFFFFFF7FFFFFFFFFFFFFFF"},
        {"18446744073709551614", "-9223372036854775807", "FEFFFFFFFFFFFFFF8000000000000001"},
        {"12345678901234567", "-1", "874B6B5D54DC2B00FFFFFFFFFFFFFFFF"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.u64);
        editCell(w, sigRow(w, "U64"), Win::SigColPhysical, c.u64);
        editCell(w, sigRow(w, "S64"), Win::SigColPhysical, c.s64);
        EXPECT_EQ(encoded(w, row).toHex().toUpper(), QByteArray(c.bytes));
        EXPECT_EQ(quint64(sig(w, row, "U64").nRawValue), QString(c.u64).toULongLong());
        EXPECT_EQ(sig(w, row, "S64").nRawValue, QString(c.s64).toLongLong());
        EXPECT_EQ(cellText(w, sigRow(w, "U64"), Win::SigColRaw), QString::number(QString(c.u64).toULongLong(), 16).toUpper());
    }
    // A number that is no whole number still goes through the conversion.
    editCell(w, sigRow(w, "U64"), Win::SigColPhysical, "1.5e3");
    EXPECT_EQ(sig(w, row, "U64").nRawValue, 1500);
}

// The raw value of a negative signal shows in the signal's own width.
TEST_F(MuxSend, NegativeRawValuesShowTheSignalsWidth)
{
    const QString path = QDir::current().absoluteFilePath("wide.dbc");
    ASSERT_TRUE(writeText(path, kWideDbc));
    Win w;
    ASSERT_EQ(loadDbc(w, path), 0);
    addAndSelect(w, "Small");
    editCell(w, sigRow(w, "S8"), Win::SigColPhysical, "-5");
    EXPECT_EQ(cellText(w, sigRow(w, "S8"), Win::SigColRaw), "FB");
    editCell(w, sigRow(w, "S12"), Win::SigColPhysical, "-5");
    EXPECT_EQ(cellText(w, sigRow(w, "S12"), Win::SigColRaw), "FFB");
    addAndSelect(w, "Wide");
    editCell(w, sigRow(w, "S64"), Win::SigColPhysical, "-5");
    EXPECT_EQ(cellText(w, sigRow(w, "S64"), Win::SigColRaw), "FFFFFFFFFFFFFFFB");
}
