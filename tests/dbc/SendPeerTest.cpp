// The DBC send window against python3-canmatrix: a DBC written by
// canmatrix is loaded into the window, signal values (Intel, Motorola,
// signed, factor and offset, both ends of every range) are typed into the
// signal list as raw or physical texts, and the bytes the window encodes are
// held against canmatrix's encode of the same values; the frames that the
// send buttons put on a simulated TRNA702 arrive on its other channel with
// those bytes. J1939 identifiers built from the source and destination
// settings are checked with canmatrix's J1939 identifier helpers.

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStatusBar>

#include "tests/dbc/SendSupport.h"
#include "tests/support/TempWorkDir.h"
#include "core/QUserSysCfg.h"
#include "dbc/DbcNumberText.h"

using namespace sendtest;

namespace {

#define REQUIRE_PEER()                                                                             \
    do {                                                                                           \
        std::string missing;                                                                       \
        if (!peer::haveModules({"canmatrix"}, &missing)) {                                         \
            if (peer::underCi())                                                                   \
                FAIL() << "python module missing: " << missing;                                    \
            GTEST_SKIP() << "python module missing: " << missing;                                  \
        }                                                                                          \
    } while (0)

QJsonObject readJson(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(f.readAll()).object();
}

bool writeJson(const QString &path, const QJsonObject &o)
{
    return writeText(path, QJsonDocument(o).toJson());
}

void windowSettings(int protocolType, const QString &src, const QString &dst, int fdProtocol)
{
    QUserSysCfg *cfg = QUserSysCfg::instance();
    cfg->setInt("dbcProcotolType", protocolType);
    cfg->setString("dbcMsgSrcAddr", src);
    cfg->setString("dbcMsgDstAddr", dst);
    cfg->setInt("dbcFdSendProcotol", fdProtocol);
}

QByteArray bytesOf(const QString &hex) { return QByteArray::fromHex(QString(hex).remove(' ').toLatin1()); }

class SendPeer : public WorkDirTest
{
protected:
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

} // namespace

// Every case of the peer's table, typed into the window message by message,
// then encoded and sent on a CAN FD channel (protocol 2, so the 12- and
// 16-byte messages go out whole).
TEST_F(SendPeer, EncodedBytesEqualCanmatrixAndArriveOnTheFarChannel)
{
    REQUIRE_PEER();
    if (!kemusbBuilt())
        GTEST_SKIP() << "libkemusb.so not built";
    const QString dbc = QDir::current().absoluteFilePath("peer.dbc");
    const QString casesPath = QDir::current().absoluteFilePath("cases.json");
    const auto written =
        peer::run(peer::script("dbc_send_peer.py"), {"write", dbc.toStdString(), casesPath.toStdString()});
    ASSERT_EQ(written.exitCode, 0) << written.output;

    SimRig rig;
    ASSERT_TRUE(rig.open(true));
    windowSettings(0, "FF", "FF", 2);
    QUserMainWindowDBCSend w;
    w.setDevAdapter(SimRig::tx(), &rig.reg);
    ASSERT_TRUE(w.canFdAllowed());
    ASSERT_EQ(loadDbc(w, dbc), 0);

    const QJsonArray messages = readJson(casesPath).value("messages").toArray();
    ASSERT_EQ(messages.size(), 5);
    QJsonArray results;
    struct Sent {
        uint32_t id;
        bool ext;
        QByteArray data;
    };
    QVector<Sent> sent;
    for (const QJsonValue &mv : messages) {
        const QJsonObject m = mv.toObject();
        const QString name = m.value("name").toString();
        SCOPED_TRACE(name.toStdString());
        ASSERT_EQ(w.sendListMsgAdd(name), QUserMainWindowDBCSend::AddOk);
        const int row = w.sendMessages().size() - 1;
        selectRow(w, row);
        ASSERT_EQ(w.currentMsgRow(), row);
        for (const QJsonValue &cv : m.value("cases").toArray()) {
            const QJsonObject c = cv.toObject();
            const QString kind = c.value("kind").toString();
            SCOPED_TRACE(kind.toStdString());
            for (const QJsonValue &ev : c.value("edits").toArray()) {
                const QJsonArray e = ev.toArray();
                const int r = sigRow(w, e.at(0).toString());
                ASSERT_GE(r, 0) << e.at(0).toString().toStdString();
                editCell(w, r, e.at(1).toString() == "raw" ? QUserMainWindowDBCSend::SigColRaw
                                                           : QUserMainWindowDBCSend::SigColPhysical,
                         e.at(2).toString());
            }
            const QJsonObject want = c.value("raw").toObject();
            QJsonObject raw;
            QJsonObject phys;
            const QUserDbcMsg &held = w.sendMessages().at(row);
            for (int i = 0; i < held.vSignals.size(); ++i) {
                const QUserDbcSignal &s = held.vSignals.at(i);
                EXPECT_EQ(s.nRawValue, DbcNumberText::toInt64(want.value(s.strName).toString()))
                    << s.strName.toStdString() << " typed as " << kind.toStdString();
                raw.insert(s.strName, s.isSigned || s.nLen < 64 ? QString::number(s.nRawValue)
                                                                : QString::number(quint64(s.nRawValue)));
                phys.insert(s.strName, cellText(w, sigRow(w, s.strName), QUserMainWindowDBCSend::SigColPhysical));
            }
            QPushButton *btn = sendButton(w, row);
            ASSERT_NE(btn, nullptr);
            btn->click();
            EXPECT_EQ(w.statusBar()->currentMessage(), QStringLiteral("发送成功.."));
            const QUserDbcMsg &after = w.sendMessages().at(row);
            ASSERT_EQ(after.strData.size(), int(after.nSize) * 2);
            results.append(QJsonObject{{"msg", name}, {"case", kind}, {"data", after.strData}, {"raw", raw},
                                       {"phys", phys}});
            sent.append({uint32_t(m.value("id").toInt()), m.value("extended").toBool(), bytesOf(after.strData)});
        }
    }
    const QString resultsPath = QDir::current().absoluteFilePath("results.json");
    ASSERT_TRUE(writeJson(resultsPath, QJsonObject{{"results", results}}));
    const auto checked = peer::run(peer::script("dbc_send_peer.py"), {"check", dbc.toStdString(), resultsPath.toStdString()});
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    std::cout << checked.output;

    ASSERT_TRUE(waitUntil([&] { return rig.received(SimRig::rx()).size() >= sent.size(); }));
    const QVector<QUserCanMsg> got = rig.received(SimRig::rx());
    ASSERT_EQ(got.size(), sent.size());
    for (int i = 0; i < sent.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(uint32_t(got[i].getId()), sent[i].id);
        EXPECT_EQ(got[i].extended != 0, sent[i].ext);
        EXPECT_EQ(got[i].protocol, 2) << "CAN FD with bit-rate switch, the default of the setting";
        EXPECT_EQ(bytesOf(got[i].dataText), sent[i].data);
    }
    // Every frame is reported back as sent by this window.
    ASSERT_TRUE(waitUntil([&] { return rig.collector.resultsWith(SimRig::tx(), MsgTagDbcSend) == sent.size(); }));
    EXPECT_EQ(rig.collector.resultsWith(SimRig::tx(), MsgTagDbcSend, 1), 0);
}

// The J1939 identifiers of a table of groups (PDU1 and PDU2, data pages,
// priorities) and addresses, including texts a settings file might hold
// (a destination wider than a byte, one that is no number), against
// canmatrix; then two J1939 messages sent with source A5 and destination
// 3C arrive with those identifiers.
TEST_F(SendPeer, J1939IdentifiersAgreeWithCanmatrix)
{
    REQUIRE_PEER();
    const quint32 ids[] = {0x98EF1234, 0x98F01234, 0x8CEF0000, 0x99EF1234, 0x9BF0FFAA, 0x9CFEF100,
                           0x80000000, 0x9FFFFFFF, 0x98EAFF00, 0x98E8FFFE, 0x9DFFAB00, 0x94EF00FF};
    const char *srcs[] = {"FF", "00", "1", "a5", " 3C "};
    const char *dsts[] = {"00", "FF", "12", "1FF", "zz"};
    QJsonArray rows;
    for (quint32 id : ids) {
        for (const char *s : srcs) {
            for (const char *d : dsts) {
                const QString text = QUserMainWindowDBCSend::dbcMsgIdText(id, 1, s, d);
                rows.append(QJsonObject{{"nID", QString::number(id, 16)}, {"src", s}, {"dst", d}, {"id", text}});
            }
        }
    }
    const QString table = QDir::current().absoluteFilePath("j1939.json");
    ASSERT_TRUE(writeJson(table, QJsonObject{{"rows", rows}}));
    const auto checked = peer::run(peer::script("dbc_send_peer.py"), {"j1939", table.toStdString()});
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    std::cout << checked.output;

    if (!kemusbBuilt())
        GTEST_SKIP() << "libkemusb.so not built";
    SimRig rig;
    ASSERT_TRUE(rig.open(false));
    windowSettings(1, "A5", "3C", 2);
    QUserMainWindowDBCSend w;
    w.setDevAdapter(SimRig::tx(), &rig.reg);
    const QString dbc = QDir::current().absoluteFilePath("small.dbc");
    ASSERT_TRUE(writeText(dbc, kSmallDbc));
    ASSERT_EQ(loadDbc(w, dbc), 0);
    ASSERT_EQ(w.sendListMsgAdd("EEC1"), 0);
    ASSERT_EQ(w.sendListMsgAdd("PropB"), 0);
    sendButton(w, 0)->click();
    sendButton(w, 1)->click();
    ASSERT_TRUE(waitUntil([&] { return rig.received(SimRig::rx()).size() >= 2; }));
    const QVector<QUserCanMsg> got = rig.received(SimRig::rx());
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(uint32_t(got[0].getId()), 0x18EF3CA5u);
    EXPECT_EQ(uint32_t(got[1].getId()), 0x18F012A5u);
    EXPECT_EQ(got[0].extended, 1);
    EXPECT_EQ(got[1].extended, 1);
    EXPECT_EQ(got[0].protocol, 0);
}
