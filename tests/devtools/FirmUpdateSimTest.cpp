// The firmware update worker against the simulated CAN FD adapter's update
// target: the bytes on the wire, a whole update of a 200 KiB image (the
// image the target holds byte-equal to the package's), progress, every
// injected fault ending with the right result and the adapter usable
// afterwards, stopping, and tearing the worker down in the middle.

#include "devtools/QFirmUpdateSrv.h"

#include "tests/devtools/DevtoolsSim.h"
#include "tests/support/TempWorkDir.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMutex>
#include <QMutexLocker>

#include <atomic>
#include <memory>
#include <thread>

namespace {

const char *kTopology = "adapter TRNA701 name=FW\n";
const char *kAlias = "FW";

struct Result {
    int type, value;
    QString tip;
};

// Every updateResult as it is emitted (from the worker's thread).
class ResultLog
{
public:
    explicit ResultLog(QFirmUpdateSrv *w)
    {
        QObject::connect(
            w, &QFirmUpdateSrv::updateResult, w,
            [this](int t, int v, QString tip) {
                QMutexLocker l(&m);
                all.append({t, v, tip});
            },
            Qt::DirectConnection);
    }
    // A copy of its own (no storage shared with the list the worker appends to).
    QVector<Result> results()
    {
        QMutexLocker l(&m);
        QVector<Result> copy;
        copy.reserve(all.size());
        for (const Result &r : qAsConst(all))
            copy.append(r);
        return copy;
    }
    // The (2, x) that ended the run, waiting up to ms for it.
    bool waitEnd(int ms, Result *end)
    {
        const bool ok = devsim::pumpUntil(
            [&] {
                for (const Result &r : results())
                    if (r.type == 2)
                        return true;
                return false;
            },
            ms);
        for (const Result &r : results())
            if (r.type == 2) {
                *end = r;
                break;
            }
        return ok;
    }
    QVector<int> progress()
    {
        QVector<int> p;
        for (const Result &r : results())
            if (r.type == 1)
                p.append(r.value);
        return p;
    }
    void clear()
    {
        QMutexLocker l(&m);
        all.clear();
    }

private:
    QMutex m;
    QVector<Result> all;
};

QByteArray pattern(int n, int seed)
{
    QByteArray b(n, '\0');
    uint32_t x = 0x9E3779B9u * uint32_t(seed + 1);
    for (int i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b[i] = char(x >> 24);
    }
    return b;
}

// A package file of a segment and an image; returns the whole content.
QByteArray writePackage(const QString &path, int imageSize, int seed = 1)
{
    const QByteArray all = pattern(1024 + imageSize, seed);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(all);
    return all;
}

class FirmUpdateSim : public WorkDirTest
{
protected:
    void SetUp() override
    {
        if (!ctl.ok())
            GTEST_SKIP() << "test build of kemusb missing";
        ASSERT_EQ(ctl.configure(kTopology), 1);
        ASSERT_EQ(ctl.firmSetup(kAlias, 0x0102, 0x0305, 4096), 1);
    }
    // A connected worker: link open, update mode on, versions read. Its
    // reply times are long enough that an answer of the target always
    // comes in time, however loaded the machine: a test of a time-out sets
    // the one it runs out.
    std::unique_ptr<QFirmUpdateSrv> connected()
    {
        auto w = std::make_unique<QFirmUpdateSrv>("TRNA701", 0, 0);
        w->setWaits(kLongWaitMs, kLongWaitMs, kLongWaitMs);
        EXPECT_EQ(w->linkOpen(), 0);
        EXPECT_EQ(w->versionGet(1), 0);
        return w;
    }
    // Runs one update and returns its end.
    Result runToEnd(QFirmUpdateSrv *w, ResultLog &log, const QString &path, int ms = 3 * testsupport::kGiveUpMs)
    {
        log.clear();
        w->updateBegin(path);
        Result end{-1, 0, QString()};
        EXPECT_TRUE(log.waitEnd(ms, &end)) << "no end of the run";
        w->wait(testsupport::kGiveUpMs);
        return end;
    }

    static constexpr int kLongWaitMs = 10000;

    devsim::Controls ctl;
};

// The 19-byte classic records of the CAN FD adapter's transmit packets.
struct Piece {
    uint32_t id;
    bool ext;
    int len;
    QByteArray data;
};
QVector<Piece> piecesSent(devsim::Controls &ctl)
{
    QVector<Piece> out;
    for (const QByteArray &p : ctl.outs(kAlias, 0x02)) {
        const auto *b = reinterpret_cast<const uint8_t *>(p.constData());
        if (p.size() < 7 || b[0] != 0x55 || b[1] != 0xF2)
            continue;
        int at = 7;
        for (int i = 0; i < b[6] && at + 19 <= p.size(); ++i, at += 19) {
            const uint8_t *r = b + at;
            out.append({uint32_t(r[6] | r[7] << 8 | r[8] << 16 | uint32_t(r[9]) << 24), (r[1] & 0x04) != 0, r[10],
                        QByteArray(reinterpret_cast<const char *>(r + 11), 8)});
        }
    }
    return out;
}

} // namespace

TEST_F(FirmUpdateSim, VersionQueryOnTheWireAndVersionsRead)
{
    auto w = connected();
    EXPECT_EQ(w->hwVersion(), 0x0102);
    EXPECT_EQ(w->fwVersion(), 0x0305);
    EXPECT_EQ(ctl.firmStateOf(kAlias).updateMode, 1u) << "the direct-transfer request put the target in update mode";
    const QVector<Piece> p = piecesSent(ctl);
    ASSERT_EQ(p.size(), 2) << "a 10-byte frame travels as two CAN frames";
    for (const Piece &x : p) {
        EXPECT_EQ(x.id, QFirmUpdateSrv::kLinkId);
        EXPECT_TRUE(x.ext);
        EXPECT_EQ(x.len, 8);
    }
    EXPECT_EQ(p[0].data, QByteArray::fromHex("FAD65A0100010000"));
    EXPECT_EQ(p[1].data, QByteArray::fromHex("0200000000000000"));
    w->updateReqOff();
    EXPECT_EQ(ctl.firmStateOf(kAlias).updateMode, 0u);
}

TEST_F(FirmUpdateSim, UpdatesA200KiBImageEndToEnd)
{
    auto w = connected();
    ResultLog log(w.get());
    const QString path = "fw.v1.2.3.6.dat";
    const QByteArray pkg = writePackage(path, 200 * 1024, 7);
    const Result end = runToEnd(w.get(), log, path);
    EXPECT_EQ(end.type, 2);
    EXPECT_EQ(end.value, 1);
    const QVector<Result> all = log.results();
    ASSERT_FALSE(all.isEmpty());
    EXPECT_EQ(all.first().type, 0);
    const QVector<int> p = log.progress();
    ASSERT_FALSE(p.isEmpty());
    EXPECT_EQ(p.last(), 100);
    for (int i = 1; i < p.size(); ++i)
        EXPECT_GT(p[i], p[i - 1]);
    uint32_t announced = 0;
    const QByteArray held = ctl.firmImageBytes(kAlias, &announced);
    EXPECT_EQ(announced, 200u * 1024u);
    EXPECT_TRUE(held == pkg.mid(1024)) << "the image the target holds differs from the package's";
    const auto st = ctl.firmStateOf(kAlias);
    EXPECT_EQ(st.config, pkg.left(16));
    EXPECT_EQ(st.starts, 1u);
    EXPECT_EQ(st.packets, 50u);
    EXPECT_EQ(st.badSums, 0u);
    EXPECT_FALSE(w->isBusy());
}

TEST_F(FirmUpdateSim, ProgressOfDifferentSplits)
{
    struct Case {
        int image;
        uint32_t packet;
        QVector<int> progress; // empty: only checked to start at 10 and rise
    };
    const Case cases[] = {
        {5000, 4096, {81, 100}},
        {1, 4096, {100}},
        {300, 100, {33, 66, 100}},
        {100, 3, {}},
    };
    auto w = connected();
    ResultLog log(w.get());
    for (const Case &k : cases) {
        ASSERT_EQ(ctl.firmSetup(kAlias, 0x0102, 0x0305, k.packet), 1);
        const QString path = QString("fw.v1.2.3.%1.dat").arg(k.image);
        const QByteArray pkg = writePackage(path, k.image, k.image);
        const Result end = runToEnd(w.get(), log, path);
        EXPECT_EQ(end.value, 1) << k.image;
        const QVector<int> p = log.progress();
        if (!k.progress.isEmpty()) {
            EXPECT_EQ(p, k.progress) << k.image << "/" << k.packet;
        } else {
            ASSERT_FALSE(p.isEmpty());
            EXPECT_EQ(p.first(), 10) << "progress never reports below 10";
            for (int i = 1; i < p.size(); ++i)
                EXPECT_GT(p[i], p[i - 1]);
            EXPECT_EQ(p.last(), 100);
        }
        EXPECT_TRUE(ctl.firmImageBytes(kAlias) == pkg.mid(1024)) << k.image;
    }
}

// Each fault of the target ends the run with its result; afterwards the same
// adapter takes a clean update (connecting again where the target reset).
TEST_F(FirmUpdateSim, InjectedFaultsEndWithTheRightResultAndTheAdapterStaysUsable)
{
    struct Case {
        const char *what;
        int after, silent, late;
        uint32_t lateMs;
        int badSum, refuse, resetAfter;
        uint32_t packet;
        int value;       // (2, value)
        bool reconnect;  // the target left update mode
        int packetMs = 500; // the reply time of a data packet, each try
    };
    // Replies: the first is the start command's; the data packets' follow.
    // A reply that comes at all comes well inside its reply time, however
    // loaded the machine; a run that has tries to spare survives one that
    // does not. A late reply comes after the last try it could answer has
    // given up.
    constexpr int kStartMs = 2000;
    const Case cases[] = {
        {"no answer to one try", 1, 1, 0, 0, 0, 0, -1, 4096, 1, false},
        {"no answer to five tries", 1, 5, 0, 0, 0, 0, -1, 4096, -1, false},
        // The fifth try has no try to spare: its reply time is the program's own.
        {"late for four tries, in time on the fifth", 1, 0, 4, 5000, 0, 0, -1, 4096, 1, false, 1000},
        {"late beyond the fifth try", 1, 0, 5, 4000, 0, 0, -1, 4096, -1, false},
        {"bad sum twice", 1, 0, 0, 0, 2, 0, -1, 4096, 1, false},
        {"bad sum five times", 1, 0, 0, 0, 5, 0, -1, 4096, -1, false},
        {"packet refused twice", 0, 0, 0, 0, 0, 2, -1, 4096, 1, false},
        {"packet refused five times", 0, 0, 0, 0, 0, 5, -1, 4096, -1, false},
        {"reset in the middle", 0, 0, 0, 0, 0, 0, 3, 4096, -1, true},
        {"no answer to the start", 0, 1, 0, 0, 0, 0, -1, 4096, -6, false},
        {"bad sum on the start", 0, 0, 0, 0, 1, 0, -1, 4096, -6, false},
        {"start asks for packets of 0 bytes", 0, 0, 0, 0, 0, 0, -1, 0, -6, false},
        {"start asks for packets of 4097 bytes", 0, 0, 0, 0, 0, 0, -1, 4097, -6, false},
    };
    const QString path = "fw.v1.2.3.6.dat";
    const QByteArray pkg = writePackage(path, 5 * 4096 + 100, 3);
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        ASSERT_EQ(ctl.configure(kTopology), 1);
        ASSERT_EQ(ctl.firmSetup(kAlias, 0x0102, 0x0305, k.packet), 1);
        auto w = connected();
        w->setWaits(kLongWaitMs, kStartMs, k.packetMs);
        ResultLog log(w.get());
        ASSERT_EQ(ctl.firmFaults(kAlias, k.after, k.silent, k.late, k.lateMs, k.badSum, k.refuse, k.resetAfter), 1);
        const Result end = runToEnd(w.get(), log, path);
        EXPECT_EQ(end.type, 2);
        EXPECT_EQ(end.value, k.value);
        if (k.value == -1) {
            EXPECT_FALSE(end.tip.isEmpty()) << "the dialog shows why the run ended";
        }
        EXPECT_FALSE(w->isBusy());
        if (k.value == 1) {
            EXPECT_TRUE(ctl.firmImageBytes(kAlias) == pkg.mid(1024));
        }
        EXPECT_EQ(ctl.firmStateOf(kAlias).updateMode, k.reconnect ? 0u : 1u);

        // Usable afterwards: a clean run (after connecting again when the
        // target reset) takes the whole image.
        ASSERT_EQ(ctl.firmFaults(kAlias, 0, 0, 0, 0, 0, 0, -1), 1);
        ASSERT_EQ(ctl.firmSetup(kAlias, 0x0102, 0x0305, 4096), 1);
        // Late replies of the run, still on their way after its end, are
        // taken out of the way, as they would be taken for answers to the
        // next commands.
        w->setWaits(kLongWaitMs, kLongWaitMs, kLongWaitMs);
        ASSERT_EQ(ctl.inClear(kAlias, 0x83), 1); // the receive stream
        while (w->replyWait(100)) {
        }
        if (k.reconnect) {
            ASSERT_EQ(w->versionGet(1), 0);
        }
        const Result again = runToEnd(w.get(), log, path);
        EXPECT_EQ(again.value, 1);
        EXPECT_TRUE(ctl.firmImageBytes(kAlias) == pkg.mid(1024));
    }
}

// A tag entry whose value would reach past the reply is not read: here the
// bytes past the reply (its sum) would complete a packet size of 512.
TEST_F(FirmUpdateSim, TagEntriesAreReadOnlyInsideTheReply)
{
    auto w = connected();
    ASSERT_EQ(ctl.firmFaults(kAlias, 0, 1, 0, 0, 0, 0, -1), 1); // the target's own answer is lost
    // FA D6 5A | seq 00E7 | FF | L 9 | 0A 00 | 01 00 04 00 | 00 02 00 | sum 0200
    const QByteArray reply = QByteArray::fromHex("FAD65AE700FF09000A0001000400000200" "0002");
    ASSERT_EQ(ctl.firmInject(kAlias, reinterpret_cast<const uint8_t *>(reply.constData()), reply.size()), 1);
    const uint8_t segment[16] = {};
    EXPECT_EQ(w->updateStart(1000, segment), -1);
    EXPECT_EQ(w->packetSizeGet(), 0u);
}

// Of the packet sizes a start reply names, only one of 1..4096 is taken: a
// later size out of range is logged, not used.
TEST_F(FirmUpdateSim, OnlyAValidPacketSizeIsTaken)
{
    auto w = connected();
    ASSERT_EQ(ctl.firmFaults(kAlias, 0, 1, 0, 0, 0, 0, -1), 1);
    QByteArray reply = QByteArray::fromHex("FAD65A0900FF1100" "0A00" "02" "000400" "00020000" "000400" "88130000");
    unsigned sum = 0;
    for (int i = 3; i < reply.size(); ++i)
        sum += uint8_t(reply[i]);
    reply.append(char(sum & 0xFF)).append(char(sum >> 8));
    ASSERT_EQ(ctl.firmInject(kAlias, reinterpret_cast<const uint8_t *>(reply.constData()), reply.size()), 1);
    const uint8_t segment[16] = {};
    EXPECT_EQ(w->updateStart(1000, segment), 0);
    EXPECT_EQ(w->packetSizeGet(), 512u);
}

// The target leaves packet 101 of 800 unanswered, so the run is certainly
// still under way (waiting for that answer) when the stop comes; the packet
// is not tried again.
TEST_F(FirmUpdateSim, StopWhilePacketsFlowEndsBeforeTheNextPacket)
{
    auto w = connected();
    w->setWaits(kLongWaitMs, kLongWaitMs, 1000);
    ASSERT_EQ(ctl.firmSetup(kAlias, 0x0102, 0x0305, 256), 1);
    ASSERT_EQ(ctl.firmFaults(kAlias, 1 + 100, 1, 0, 0, 0, 0, -1), 1);
    ResultLog log(w.get());
    const QString path = "fw.v1.2.3.6.dat";
    writePackage(path, 200 * 1024, 5);
    w->updateBegin(path);
    ASSERT_TRUE(devsim::pumpUntil([&] { return ctl.firmStateOf(kAlias).packets == 101; }, testsupport::kGiveUpMs));
    EXPECT_GE(log.progress().size(), 3) << "progress was reported meanwhile";
    w->updateStop();
    EXPECT_FALSE(w->stopPending());
    Result end{};
    ASSERT_TRUE(log.waitEnd(testsupport::kGiveUpMs, &end));
    EXPECT_EQ(end.value, -7);
    EXPECT_EQ(end.tip, QString::fromUtf8("升级失败，升级取消!!!"));
    w->wait(testsupport::kGiveUpMs);
    const uint64_t taken = ctl.firmStateOf(kAlias).packets;
    EXPECT_EQ(taken, 101u) << "the unanswered packet was the last one sent";
    QThread::msleep(100);
    EXPECT_EQ(ctl.firmStateOf(kAlias).packets, taken) << "no packet after the stop";
}

// A stop asked for right after the start is not lost while the thread gets
// going.
TEST_F(FirmUpdateSim, StopRightAfterTheStartIsHonoured)
{
    auto w = connected();
    ResultLog log(w.get());
    const QString path = "fw.v1.2.3.6.dat";
    writePackage(path, 200 * 1024, 5);
    w->updateBegin(path);
    w->updateStop();
    Result end{};
    ASSERT_TRUE(log.waitEnd(testsupport::kGiveUpMs, &end));
    EXPECT_EQ(end.value, -7);
    EXPECT_EQ(ctl.firmStateOf(kAlias).packets, 0u);
}

// The stop handshake also ends when the run ends another way (here the start
// command goes unanswered): it does not wait for an acknowledgement that
// never comes.
TEST_F(FirmUpdateSim, StopHandshakeEndsWhenTheRunEndsOtherwise)
{
    auto w = connected();
    w->setWaits(kLongWaitMs, 400, kLongWaitMs);
    ASSERT_EQ(ctl.firmFaults(kAlias, 0, 1, 0, 0, 0, 0, -1), 1);
    ResultLog log(w.get());
    const QString path = "fw.v1.2.3.6.dat";
    writePackage(path, 5000, 5);
    w->updateBegin(path);
    // The start goes unanswered: the run ends after 400 ms whenever the
    // stop comes (the stop is acknowledged only in the data loop).
    auto done = std::make_shared<std::atomic<bool>>(false);
    QFirmUpdateSrv *raw = w.get();
    std::thread stopper([raw, done] {
        raw->updateStop();
        *done = true;
    });
    const bool ended = devsim::pumpUntil([&] { return done->load(); }, testsupport::kGiveUpMs);
    EXPECT_TRUE(ended) << "the stop handshake did not end with the run";
    if (!ended) {
        stopper.detach();
        (void)w.release(); // still in use by the stuck handshake
        return;
    }
    stopper.join();
    Result end{};
    ASSERT_TRUE(log.waitEnd(testsupport::kGiveUpMs, &end));
    EXPECT_EQ(end.value, -6);
}

// Deleting the worker in the middle of a run waits for its thread first.
TEST_F(FirmUpdateSim, DeletingTheWorkerMidRunWaitsForItsThread)
{
    auto w = connected();
    ASSERT_EQ(ctl.firmSetup(kAlias, 0x0102, 0x0305, 128), 1);
    ResultLog log(w.get());
    const QString path = "fw.v1.2.3.6.dat";
    writePackage(path, 200 * 1024, 9);
    w->updateBegin(path);
    ASSERT_TRUE(devsim::pumpUntil([&] { return !log.progress().isEmpty(); }, testsupport::kGiveUpMs));
    // A wait in progress gives up at once: well inside the reply time of
    // 10 s it would otherwise wait out.
    QElapsedTimer t;
    t.start();
    w.reset();
    EXPECT_LT(t.elapsed(), kLongWaitMs / 2);
    // The adapter is free again: a new worker connects and updates.
    auto again = connected();
    ResultLog log2(again.get());
    ASSERT_EQ(ctl.firmSetup(kAlias, 0x0102, 0x0305, 4096), 1);
    EXPECT_EQ(runToEnd(again.get(), log2, path).value, 1);
}

// A package without an image byte is refused before the target hears a
// thing (otherwise an empty image would be reported as a success).
TEST_F(FirmUpdateSim, PackageWithoutImageIsRefusedBeforeAnythingIsSent)
{
    auto w = connected();
    ResultLog log(w.get());
    const uint64_t framesBefore = ctl.firmStateOf(kAlias).frames;
    for (int size : {1024, 1000, 0}) {
        const QString path = "fw.v1.2.3.4.dat";
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(pattern(size, 2));
        f.close();
        const Result end = runToEnd(w.get(), log, path);
        EXPECT_EQ(end.type, 2) << size;
        EXPECT_EQ(end.value, -5) << size;
        EXPECT_EQ(end.tip, QString::fromUtf8("文件大小错误!")) << size;
    }
    EXPECT_EQ(ctl.firmStateOf(kAlias).frames, framesBefore);
    EXPECT_EQ(ctl.firmStateOf(kAlias).starts, 0u);
    EXPECT_FALSE(w->isBusy());
}

TEST_F(FirmUpdateSim, MissingPackageAndClosedLink)
{
    auto w = connected();
    ResultLog log(w.get());
    EXPECT_EQ(runToEnd(w.get(), log, "gone.v1.2.3.4.dat").value, -5) << "a vanished file measures 0 bytes";
    // Nothing goes out and nothing is waited for on a closed link.
    w->linkClose();
    const uint8_t frame[10] = {0xFA, 0xD6, 0x5A, 1, 0, 1, 0, 0, 2, 0};
    EXPECT_EQ(w->frameSend(frame, 10), 0);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(w->replyWait(kLongWaitMs), nullptr);
    EXPECT_LT(t.elapsed(), kLongWaitMs / 2);
    // No adapter at index 5.
    QFirmUpdateSrv none("TRNA701", 0, 5);
    EXPECT_EQ(none.linkOpen(), -1);
}

