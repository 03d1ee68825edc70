// Playback figures:
//  - loading a trace file of 1,000,000 frames (half classic with 8 bytes,
//    half CAN FD with 64 bytes and bit-rate switch) into the playback cache,
//    ASC and BLF, in frames per second;
//  - the replay rate reached at interval 1 ms and step 32 onto a simulated
//    TRNA702 channel, against the 32,000 frames/s that step x 1000 /
//    interval asks for, with the frames that arrived on the far channel.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>

#include "core/QFClassUserCanMsg.h"
#include "devices/QKemLib.h"
#include "devices/QUserDeviceAdapter.h"
#include "tests/devices/DialogAnswers.h"
#include "traffic/windows/QPlayBackWork.h"
#include "traffic/QUserTraceFile.h"
#include "widgets/QUserPrompt.h"

namespace {

constexpr int kLoadFrames = 1000000;

QTemporaryDir &workDir()
{
    static QTemporaryDir dir;
    return dir;
}

QString pathOf(const QString &name) { return QDir(workDir().path()).filePath(name); }

QUserCanMsg benchFrame(int i)
{
    QUserCanMsg m;
    const bool fd = i % 2;
    m.idText = QString::asprintf("%08X ", fd ? 0x18DA0000 + i % 1000 : 0x100 + i % 1000);
    m.extended = fd ? 1 : 0;
    m.protocol = fd ? 2 : 0;
    m.lenText = fd ? QStringLiteral("64") : QStringLiteral("8");
    QString data;
    for (int k = 0; k < (fd ? 64 : 8); ++k)
        data += QString::asprintf("%02X", (i * 7 + k) & 0xFF);
    m.dataText = data;
    m.direction = uint8_t(i % 3 == 0);
    m.channel = uint8_t(i % 2);
    m.hostTime = 1700000000000 + i / 10;
    return m;
}

// The trace file, written once per run by our own writer.
bool ensureTrace(const QString &path, int frames)
{
    if (QFileInfo::exists(path))
        return true;
    std::vector<QUserCanMsg> t;
    for (int i = 0; i < 1000; ++i)
        t.push_back(benchFrame(i));
    QUserTraceFile f;
    if (!f.fileCreate(path))
        return false;
    for (int i = 0; i < frames; ++i) {
        QUserCanMsg &m = t[size_t(i % 1000)];
        m.hostTime = 1700000000000 + i / 10;
        if (!f.write(m))
            return false;
    }
    return f.close();
}

void loadIntoCache(benchmark::State &state, const char *name)
{
    const QString trace = pathOf(QString::fromLatin1(name));
    if (!ensureTrace(trace, kLoadFrames)) {
        state.SkipWithError("trace file not written");
        return;
    }
    QPlayBackWork work;
    QUserPlayBackParam p;
    p.filePath = trace;
    p.cachePath = pathOf(QStringLiteral("cache/bench-load.dat"));
    int64_t total = 0;
    for (auto _ : state) {
        work.fileToCache(&p);
        if (p.recordCount != kLoadFrames) {
            state.SkipWithError("record count differs");
            return;
        }
        total += p.recordCount;
    }
    QFile::remove(p.cachePath);
    state.SetItemsProcessed(total);
    state.counters["frames_per_s"] = benchmark::Counter(double(total), benchmark::Counter::kIsRate);
}

void BM_PlaybackLoadAsc(benchmark::State &state) { loadIntoCache(state, "load.asc"); }
void BM_PlaybackLoadBlf(benchmark::State &state) { loadIntoCache(state, "load.blf"); }

// Answers the TRNA702's channel dialog: device 0, all channels, OK.
class ChannelPrompt : public QUserPrompt
{
public:
    int exec(QDialog *dlg) override
    {
        ChannelPick pick;
        pick.all = true;
        return pickChannel(pick)(dlg);
    }
};

// A TRNA702 on kemusb's simulated back end, all channels on one bus.
struct SimRig
{
    QObject owner;
    QUserDeviceAdapter *reg = nullptr;
    std::atomic<int64_t> received{0};
    bool ok = false;

    SimRig()
    {
        qputenv("KEMUSB_BACKEND", "sim");
        qunsetenv("KEMUSB_SIM_CONFIG");
        reg = new QUserDeviceAdapter(&owner);
        ChannelPrompt prompt;
        QUserPrompt *previous = QUserPrompt::setInstance(&prompt);
        QStringList ids;
        ok = reg->devOpen(QStringLiteral("TRNA702"), ids) == 0 && ids.size() == 8;
        QUserPrompt::setInstance(previous);
        QObject::connect(reg, &QUserDeviceAdapter::receiveMsg, reg, [this](QString id, QVector<QUserCanMsg> l) {
            if (id == QLatin1String("TRNA702-0-1"))
                received += l.size();
        });
    }
    ~SimRig() { delete reg; }
};

// Replays a cache of `frames` records at interval 1 ms and step 32 from the
// worker's thread, as the dialog does; the GUI thread drains the registry.
void BM_PlaybackReplayRate(benchmark::State &state)
{
    const int frames = int(state.range(0));
    QDir(workDir().path()).mkpath(QStringLiteral("cache"));
    const QString cache = pathOf(QStringLiteral("cache/bench-replay.dat"));
    {
        QFClassUserCanMsg c;
        if (!c.open(false, cache)) {
            state.SkipWithError("cache not written");
            return;
        }
        for (int i = 0; i < frames; ++i) {
            QUserCanMsg m = benchFrame(i);
            m.protocol = 0; // classic frames: the channel is opened for CAN
            m.extended = 0;
            m.idText = QString::asprintf("%08X ", 0x100 + i % 0x600);
            m.lenText = QStringLiteral("8");
            m.dataText = m.dataText.left(16);
            c.appendMsg(m);
        }
    }
    SimRig rig;
    if (!rig.ok) {
        state.SkipWithError("simulated TRNA702 did not open");
        return;
    }
    QThread thread;
    QPlayBackWork work;
    work.moveToThread(&thread);
    thread.start();
    std::atomic<int> ends{0};
    QObject::connect(&work, &QUserWork::notice, &rig.owner, [&](void *, int phase, int) {
        if (phase == 1)
            ++ends;
    });
    QUserPlayBackParam p;
    p.cachePath = cache;
    p.recordCount = frames;
    p.interval = 1;
    p.step = 32;
    p.devId = QStringLiteral("TRNA702-0-0");
    p.devAdapter = rig.reg;

    double seconds = 0;
    int64_t sent = 0;
    for (auto _ : state) {
        rig.received = 0;
        const int before = ends;
        QElapsedTimer t;
        t.start();
        work.reqRun(QUserPlayBackParam::ReqSend, &p);
        while (ends == before)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        seconds += double(getElapsedMs(p.startTime)) / 1000.0;
        sent += p.nextIndex;
        QElapsedTimer drain;
        drain.start();
        while (rig.received < frames && drain.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (p.result != QUserPlayBackParam::ResultDone)
            state.SkipWithError("replay did not complete");
    }
    thread.quit();
    thread.wait();
    const double rate = seconds > 0 ? double(sent) / seconds : 0;
    const double target = double(p.step) * 1000.0 / double(p.interval);
    state.counters["frames_per_s"] = rate;
    state.counters["target_frames_per_s"] = target;
    state.counters["rate_of_target"] = rate / target;
    state.counters["arrived_of_sent"] = double(rig.received) / double(frames);
    QFile::remove(cache);
}

} // namespace

BENCHMARK(BM_PlaybackLoadAsc)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlaybackLoadBlf)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlaybackReplayRate)->Arg(96000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
