// The DBC window on simulated adapters: DBC files written by python3-
// canmatrix (standard, extended and J1939 messages, Intel and Motorola,
// signed, multiplexed, value descriptions, CAN FD, Chinese names) are
// loaded, every signal is listened, frames go out on one channel of a
// TRNA702 and arrive on the other, and every listened signal's raw and
// physical value in the window (its list and the table's cells) must equal
// canmatrix's decode of the same frames.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

#include "tests/dbc/DbcWindowSupport.h"

using namespace dbcwin;

namespace {

class WindowSimDecode : public DbcWindowTest
{
};

// Channels 0 and 1 of a TRNA702 in CAN FD mode: what 0 sends arrives on 1.
bool openTwoChannels(QUserDeviceAdapter &reg)
{
    sim::environment(nullptr);
    QKemLib::setPathOverride(QString());
    QUserPromptScript prompts;
    for (int ch : {0, 1}) {
        ChannelPick pick;
        pick.channel = ch;
        pick.fdProtocol = 1;
        prompts.answerExec(pickChannel(pick));
        QStringList ids;
        if (reg.devOpen(QStringLiteral("TRNA702"), ids) != 0)
            return false;
    }
    return reg.hasChannel("TRNA702-0-0") && reg.hasChannel("TRNA702-0-1");
}

QUserCanMsg toMsg(const QJsonObject &f)
{
    QUserCanMsg m;
    const QByteArray data = QByteArray::fromHex(f.value("data").toString().toLatin1());
    m.idText = QString::asprintf("%08X", uint32_t(f.value("id").toDouble()));
    m.extended = f.value("ext").toBool() ? 1 : 0;
    m.protocol = f.value("fd").toBool() ? 1 : 0;
    m.remote = 0;
    m.lenText = QString::number(data.size());
    m.dataText = QString::fromLatin1(data.toHex().toUpper());
    m.sendType = 0;
    m.status = MsgTagDbcSend;
    return m;
}

int rowOf(QUserMainWindowDBC *w, const QString &msg, const QString &sig)
{
    const auto &list = w->listenSignalList();
    for (int i = 0; i < list.size(); ++i)
        if (list[i].msgName == msg && list[i].strName == sig)
            return i;
    return -1;
}

bool close(double a, double b)
{
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::max(std::fabs(a), std::fabs(b)));
}

struct Tally {
    int frames = 0, raw = 0, phys = 0, rounds = 0;
};

// Loads `dbc`, listens to everything, sends each round and compares.
void runRounds(const QString &dbc, const QJsonArray &rounds, int protocol, Tally &tally)
{
    QUserSysCfg::instance()->setInt("dbcProcotolType", protocol);
    QObject owner;
    QUserDeviceAdapter reg(&owner);
    ASSERT_TRUE(openTwoChannels(reg)) << "simulated TRNA702 did not open";
    int received = 0;
    QObject::connect(&reg, &QUserDeviceAdapter::receiveMsg, &owner, [&](QString id, QVector<QUserCanMsg> l) {
        if (id == SimRig::rx())
            received += l.size();
    });

    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC(&reg, SimRig::rx()));
    EXPECT_EQ(w->devId(), SimRig::rx());
    EXPECT_EQ(w->devAdapter(), &reg);
    ASSERT_EQ(loadDbc(w.get(), dbc), 1);
    ASSERT_EQ(w->loadJob().result, 0);
    {
        QUserPromptScript prompts;
        prompts.answerExec(1);
        w->soltTreeWidgetPopMenueActAddAll();
    }
    const int signalCount = w->listenSignalList().size();
    ASSERT_GT(signalCount, 0);
    // Model and chart on: the first rows are charted, the whole list shown.
    for (int i = 0; i < std::min(8, signalCount); ++i)
        w->listenSignalChartEnable(i, true);
    w->listenModel()->setWindowSize(signalCount + 5);
    w->listenModel()->scrollTo(true, 0);

    for (int r = 0; r < rounds.size(); ++r) {
        SCOPED_TRACE(testing::Message() << "round " << r);
        const QJsonObject round = rounds[r].toObject();
        QVector<QUserCanMsg> out;
        for (const QJsonValue &f : round.value("frames").toArray())
            out.append(toMsg(f.toObject()));
        const int before = received;
        ASSERT_EQ(reg.devSendMsgList(SimRig::tx(), out), out.size());
        ASSERT_TRUE(waitUntil([&] { return received >= before + out.size(); }))
            << "received " << received - before << " of " << out.size();
        settle(20);
        tally.frames += out.size();
        modelRefresh(w.get());

        const QJsonObject expect = round.value("expect").toObject();
        for (auto m = expect.constBegin(); m != expect.constEnd(); ++m) {
            const QJsonObject sigs = m.value().toObject();
            for (auto s = sigs.constBegin(); s != sigs.constEnd(); ++s) {
                SCOPED_TRACE(qPrintable(m.key() + "." + s.key()));
                const int row = rowOf(w.get(), m.key(), s.key());
                ASSERT_GE(row, 0) << "listened";
                const QUserDbcSignal &ls = w->listenSignalList().at(row);
                const QJsonObject v = s.value().toObject();
                bool ok = false;
                const qint64 raw = v.value("raw").toString().toLongLong(&ok);
                const quint64 rawBits = ok ? quint64(raw) : v.value("raw").toString().toULongLong(&ok);
                ASSERT_TRUE(ok);
                const double phys = v.value("phys").toDouble();
                // The list holds the raw value as a number (signed ones
                // sign-extended), the table shows the signal's bit field
                // in hex.
                EXPECT_EQ(quint64(ls.nRawValue), rawBits);
                const quint64 field = ls.nLen >= 64 ? rawBits : rawBits & ((quint64(1) << ls.nLen) - 1);
                EXPECT_EQ(cellText(w.get(), row, 4), QString::number(field, 16).toUpper());
                ++tally.raw;
                EXPECT_TRUE(close(ls.nPhysicalValue, phys)) << ls.nPhysicalValue << " vs " << phys;
                const QString shown = cellText(w.get(), row, 5).section(' ', 0, 0);
                EXPECT_TRUE(close(shown.toDouble(), phys)) << qPrintable(shown) << " vs " << phys;
                ++tally.phys;
            }
        }
        ++tally.rounds;
    }
    // The charted signals collected points.
    for (const DbcChartSeries *e : w->chartState().entries)
        EXPECT_FALSE(e->points.isEmpty()) << qPrintable(e->signal->strName);
}

} // namespace

TEST_F(WindowSimDecode, ListenedValuesEqualCanmatrixDecode)
{
    REQUIRE_PEER_MODULES("canmatrix");
    if (!kemusbBuilt())
        GTEST_SKIP() << "libkemusb.so not built";
    const std::string dir = workDir.path().string();
    const peer::Result r = peer::run(peer::script("dbc_window_decode.py"), {"export", dir, "26"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    QFile f(QString::fromStdString(dir) + "/rounds.json");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QJsonObject all = QJsonDocument::fromJson(f.readAll()).object();

    Tally plain, j1939;
    runRounds(QString::fromStdString(dir) + "/plain.dbc", all.value("plain").toArray(), 0, plain);
    runRounds(QString::fromStdString(dir) + "/j1939.dbc", all.value("j1939").toArray(), 1, j1939);
    EXPECT_GE(plain.raw, 200);
    EXPECT_GE(j1939.raw, 30);
    std::printf("canmatrix comparison, plain CAN: %d rounds, %d frames, %d raw and %d physical values equal\n",
                plain.rounds, plain.frames, plain.raw, plain.phys);
    std::printf("canmatrix comparison, J1939: %d rounds, %d frames, %d raw and %d physical values equal\n",
                j1939.rounds, j1939.frames, j1939.raw, j1939.phys);
}
