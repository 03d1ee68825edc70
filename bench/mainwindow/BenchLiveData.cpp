// Live-data figures of the main window:
//  - the receive road on the GUI thread: frames per second from registry
//    batches (as the driver threads deliver them) through MainWindow's
//    receive slot into a tab's frame model that is full to its bound of
//    1,000,000 frames, so every frame also evicts the oldest; list and
//    merged view, classic 8-byte and 64-byte CAN FD frames, recording off;
//  - memory: resident bytes per cached frame with 1,000,000 frames in one
//    tab, classic and CAN FD, beside the same frames kept as whole records;
//  - one rebuild of the rows on screen with the window at the end of
//    1,000,000 merged entries (and of a 1,000,000-frame list);
//  - the event loop's latency while 8 simulated CAN FD channels run at the
//    bus limit into 8 data tabs (and, for comparison, into the registry
//    alone);
//  - one full repaint of the main window showing a data tab.
//
//   cmake --build build -j3 --target bench_mainwindow
//   QT_QPA_PLATFORM=offscreen ./build/bin/bench_mainwindow

#include <benchmark/benchmark.h>

#include "bench/mainwindow/BenchBusLimit.h"
#include "core/QUserSysCfg.h"
#include "devices/QUserDevice.h"
#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/QUserTableModelCan.h"
#include "mainwindow/QUserWindowSrv.h"
#include "widgets/QUserTableView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <chrono>
#include <malloc.h>
#include <memory>
#include <mutex>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

#ifdef ORVANE_HAVE_SIMKEMUSB
#include "tests/devices/SimHarness.h"
#endif

namespace {

const int kBound = 1000000;

uint64_t steadyNs()
{
    return uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

double threadCpuNow()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Resident set size of the process, bytes.
int64_t rssBytes()
{
    QFile f("/proc/self/statm");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> v = f.readAll().split(' ');
    return v.size() > 1 ? v.at(1).toLongLong() * int64_t(sysconf(_SC_PAGESIZE)) : 0;
}

// A fresh working folder with its own settings, the bound at 1,000,000.
struct Home
{
    QTemporaryDir dir;
    Home()
    {
        QDir::setCurrent(dir.path());
        QDir().mkpath("setting");
        QUserSysCfg::instance()->reload();
        QUserSysCfg::instance()->setInt("msgCacheSize", kBound);
        QUserSysCfg::instance()->setString("language", "ZH");
    }
};

void mergeSet(bool on)
{
    QUserSysCfg::instance()->setString("idMergEnable", on ? "ON" : "OFF");
}

// Batches as the driver threads hand them over: classic frames 256 to a
// batch, CAN FD frames 32, identifiers from a bus of `ids` identifiers,
// data texts that change from frame to frame.
std::vector<QVector<QUserCanMsg>> driverBatches(bool fd, int ids, int count)
{
    const int perBatch = fd ? 32 : 256;
    const int len = fd ? 64 : 8;
    std::vector<QVector<QUserCanMsg>> out;
    uint32_t seq = 0;
    for (int b = 0; b < count; ++b) {
        QVector<QUserCanMsg> batch;
        batch.reserve(perBatch);
        for (int i = 0; i < perBatch; ++i, ++seq) {
            QUserCanMsg m;
            m.idText = idToText(0x100 + seq % uint32_t(ids));
            uint8_t data[64];
            for (int k = 0; k < len; ++k)
                data[k] = uint8_t(seq * 31 + uint32_t(k));
            m.dataText = bytesToHex(data, len);
            m.lenText = QString::number(len);
            m.protocol = fd ? 2 : 0;
            m.fdFlags = fd ? 0x18 : 0;
            m.devTime = uint64_t(seq) * 100;
            m.hostTime = getCurrentMs();
            batch.append(m);
        }
        out.push_back(batch);
    }
    return out;
}

// A device that opens one channel without an adapter.
class BenchChannelDevice : public QUserDevice
{
    Q_OBJECT
public:
    int open(QStringList &devIds) override
    {
        devIds << QStringLiteral("USBCANFD2-0-0");
        return 0;
    }
    int close(const QString &) override { return 0; }
    int sendMsg(const QString &, QUserCanMsg &) override { return 1; }
    int sendMsgList(const QString &, QVector<QUserCanMsg> msgs) override { return msgs.size(); }
    int devInfoGet(const QString &, QUserDevChState *) override { return 0; }
signals:
    void receiveMsg(QString devId, QVector<QUserCanMsg> msgList);
    void sendResultNotify(QString devId, QUserCanMsg msg);
};

// The receive road: MainWindow::soltDevRec with one open channel whose tab
// model is full. Events run every 20 batches, so the throttled rebuilds of
// the rows on screen and the view's repaints are in the figure.
void BM_ReceiveRoad(benchmark::State &state)
{
    const bool merge = state.range(0) != 0;
    const bool fd = state.range(1) != 0;
    Home home;
    mergeSet(merge);
    MainWindow w;
    w.devAdapterGet()->deviceReplace("USBCANFD2", new BenchChannelDevice);
    if (!w.devOpen("USBCANFD2")) {
        state.SkipWithError("open failed");
        return;
    }
    const QString id = QStringLiteral("USBCANFD2-0-0");
    QUserWindowTabData *tab = w.tabSrvGet().find(id);
    const std::vector<QVector<QUserCanMsg>> batches = driverBatches(fd, 64, 64);
    size_t k = 0;
    while (tab->model->listCount() < kBound)
        w.soltDevRec(id, batches[k++ % batches.size()]);
    QApplication::processEvents();
    int64_t frames = 0;
    int n = 0;
    const double cpu0 = threadCpuNow();
    for (auto _ : state) {
        const QVector<QUserCanMsg> &b = batches[k++ % batches.size()];
        w.soltDevRec(id, b);
        frames += b.size();
        if (++n % 20 == 0)
            QApplication::processEvents();
    }
    state.SetItemsProcessed(frames);
    state.counters["cpu_ns_per_frame"] = frames ? (threadCpuNow() - cpu0) * 1e9 / double(frames) : 0;
    state.counters["cached"] = tab->model->listCount();
    state.counters["rebuilds"] = double(tab->model->rebuildCount());
}
BENCHMARK(BM_ReceiveRoad)
    ->ArgNames({"merge", "fd"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(2.0);

// The merged view at its bound too: every frame a new identifier, so every
// frame drops the smallest one (a scan of extended identifiers).
void BM_ReceiveRoadMergeEveryFrameNew(benchmark::State &state)
{
    Home home;
    mergeSet(true);
    MainWindow w;
    w.devAdapterGet()->deviceReplace("USBCANFD2", new BenchChannelDevice);
    if (!w.devOpen("USBCANFD2")) {
        state.SkipWithError("open failed");
        return;
    }
    const QString id = QStringLiteral("USBCANFD2-0-0");
    QUserWindowTabData *tab = w.tabSrvGet().find(id);
    QVector<QUserCanMsg> batch = driverBatches(false, 1, 1).front();
    uint32_t next = 0;
    auto renumber = [&] {
        // Spread over the whole 29-bit space, all different.
        for (QUserCanMsg &m : batch)
            m.idText = idToText((next++ * 2654435761u) & 0x1FFFFFFFu);
    };
    while (tab->model->mergeCount() < kBound) {
        renumber();
        w.soltDevRec(id, batch);
    }
    int64_t frames = 0;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        renumber();
        state.ResumeTiming();
        w.soltDevRec(id, batch);
        frames += batch.size();
        if (++n % 20 == 0)
            QApplication::processEvents();
    }
    state.SetItemsProcessed(frames);
    state.counters["entries"] = tab->model->mergeCount();
}
BENCHMARK(BM_ReceiveRoadMergeEveryFrameNew)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// Resident bytes per cached frame: one tab's model filled with 1,000,000
// frames as the receive road appends them.
void BM_MemoryPerCachedFrame(benchmark::State &state)
{
    const bool fd = state.range(0) != 0;
    Home home;
    mergeSet(true);
    const std::vector<QVector<QUserCanMsg>> batches = driverBatches(fd, 64, 64);
    for (auto _ : state) {
        // What earlier figures freed goes back to the system first, so the
        // difference is this model's alone.
        malloc_trim(0);
        const int64_t rss0 = rssBytes();
        std::unique_ptr<QUserTableModelCan> m(new QUserTableModelCan);
        size_t k = 0;
        while (m->listCount() < kBound) {
            m->appendBegin();
            for (const QUserCanMsg &msg : batches[k++ % batches.size()])
                m->msgAppend(msg);
            m->appendEnd();
        }
        const int64_t rss1 = rssBytes();
        state.counters["rss_bytes_per_frame"] = double(rss1 - rss0) / kBound;
        state.counters["held_bytes_per_frame"] = double(m->bytesHeld()) / kBound;
        state.counters["rss_mib"] = double(rss1 - rss0) / (1024.0 * 1024.0);
    }
}
BENCHMARK(BM_MemoryPerCachedFrame)->ArgName("fd")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// For comparison: the same frames kept as whole frame records.
void BM_MemoryPerWholeRecord(benchmark::State &state)
{
    const bool fd = state.range(0) != 0;
    const int perBatch = fd ? 32 : 256;
    for (auto _ : state) {
        malloc_trim(0);
        const int64_t rss0 = rssBytes();
        QVector<QUserCanMsg> kept;
        kept.reserve(kBound);
        for (int b = 0; b * perBatch < kBound; ++b) {
            // Fresh texts for every frame, as the driver makes them.
            const std::vector<QVector<QUserCanMsg>> one = driverBatches(fd, 64, 1);
            for (const QUserCanMsg &m : one.front())
                kept.append(m);
        }
        const int64_t rss1 = rssBytes();
        state.counters["rss_bytes_per_frame"] = double(rss1 - rss0) / double(kept.size());
    }
}
BENCHMARK(BM_MemoryPerWholeRecord)->ArgName("fd")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// One rebuild of the rows on screen, the window at the end of 1,000,000
// entries, shown in a view of about 40 rows; the window moves by one row
// between rebuilds so every cell changes.
void BM_RebuildAtTheEnd(benchmark::State &state)
{
    const bool merge = state.range(0) != 0;
    Home home;
    mergeSet(merge);
    QUserTableModelCan model;
    model.setColumnCount(merge ? QUserTableModelCan::kMergeColumns : QUserTableModelCan::kListColumns);
    QVector<QUserCanMsg> batch = driverBatches(false, 1, 1).front();
    uint32_t next = 0;
    while (model.listCount() < kBound) {
        model.appendBegin();
        for (QUserCanMsg &m : batch) {
            m.idText = idToText((next++ * 2654435761u) & 0x1FFFFFFFu);
            model.msgAppend(m);
        }
        model.appendEnd();
    }
    QWidget host;
    QHBoxLayout *box = new QHBoxLayout(&host);
    QUserTableView *view = new QUserTableView(&host);
    box->addWidget(view);
    box->addWidget(view->vScrollBar);
    host.resize(1400, 900);
    view->setUserModel(&model);
    host.show();
    QApplication::processEvents();
    const int rows = model.windowSize();
    const int last = model.cacheCount() - rows;
    int flip = 0;
    for (auto _ : state) {
        state.PauseTiming();
        model.scrollTo(true, last - (flip++ & 1));
        state.ResumeTiming();
        model.windowRebuild();
    }
    state.counters["rows"] = model.rowCount();
    state.counters["entries"] = model.cacheCount();
    QApplication::processEvents();
}
BENCHMARK(BM_RebuildAtTheEnd)->ArgName("merge")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

#ifdef ORVANE_HAVE_SIMKEMUSB
// Eight CAN FD channels each at about 21,000 frames/s (16-byte frames, the
// whole adapter near 170,000 frames/s) flow into eight data tabs for three
// seconds. A probe thread posts an event every 2 ms; the time until the GUI
// thread runs it is the event loop's latency. full=0: the tabs start empty
// and take memory as the frames come (on a virtual machine first touches of
// memory can cost tens of microseconds a page); full=1: every tab is at its
// bound of 1,000,000 frames before the run.
void BM_EventLoopLatency8ChBusLimit(benchmark::State &state)
{
    const int perMsPerChannel = int(state.range(0));
    Home home;
    mergeSet(state.range(1) != 0);
    sim::environment(sim::kTopology);
    sim::Controls ctl;
    if (!ctl.ok()) {
        state.SkipWithError("simulated adapters not available (configure the tests)");
        return;
    }
    // window=0: the registry alone with a queued consumer that only counts,
    // the same road up to the main window's slot, for comparison.
    const bool window = state.range(2) != 0;
    std::unique_ptr<MainWindow> w;
    QObject owner;
    std::unique_ptr<QUserDeviceAdapter> bare;
    std::atomic<uint64_t> counted{0};
    if (window) {
        w.reset(new MainWindow);
        w->devAdapterGet()->deviceReplace("TRNB702", new bench::BenchFdDevice("TRNB702"));
        if (!w->devOpen("TRNB702") || w->tabSrvGet().count() != 9) {
            state.SkipWithError("open failed");
            return;
        }
        if (state.range(3) != 0) {
            // Every tab full to its bound before the run: the steady state,
            // each frame evicting the oldest, no memory taken any more.
            std::vector<QVector<QUserCanMsg>> fill = driverBatches(true, 21, 1);
            for (QUserCanMsg &m : fill.front()) {
                m.lenText = "16";
                m.dataText.truncate(32);
            }
            for (int c = 0; c < 8; ++c) {
                const QString id = QStringLiteral("TRNB702-0-%1").arg(c);
                QUserWindowTabData *d = w->tabSrvGet().find(id);
                while (d->model->listCount() < kBound)
                    w->soltDevRec(id, fill.front());
                d->cntClr();
            }
            QApplication::processEvents();
        }
    } else {
        bare.reset(new QUserDeviceAdapter(&owner));
        bare->deviceReplace("TRNB702", new bench::BenchFdDevice("TRNB702"));
        QStringList ids;
        if (bare->devOpen("TRNB702", ids) != 0 || ids.size() != 8) {
            state.SkipWithError("open failed");
            return;
        }
        QObject::connect(bare.get(), &QUserDeviceAdapter::receiveMsg, &owner,
                         [&](QString, QVector<QUserCanMsg> l) { counted += uint64_t(l.size()); },
                         Qt::QueuedConnection);
    }
    auto shownNow = [&]() -> uint64_t {
        if (!window)
            return counted;
        uint64_t n = 0;
        for (int c = 0; c < 8; ++c)
            if (QUserWindowTabData *d = w->tabSrvGet().find(QStringLiteral("TRNB702-0-%1").arg(c)))
                n += d->rxCntGet();
        return n;
    };
    for (int c = 0; c < 8; ++c)
        ctl.peer("FAR", c, "DUT", c);
    // The window settles first (shown, faded in, fonts loaded, first
    // paints): one-time costs are not the event loop's latency under load.
    {
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 1500)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    const int ms = qEnvironmentVariableIsSet("ORVANE_BENCH_RUN_MS") ? qEnvironmentVariableIntValue("ORVANE_BENCH_RUN_MS") : 3000;
    for (auto _ : state) {
        std::vector<uint64_t> lat;
        lat.reserve(size_t(ms));
        std::mutex latMutex;
        std::atomic<bool> done{false};
        std::atomic<uint64_t> sent{0};
        QObject probeTarget;
        const double cpu0 = threadCpuNow();
        const auto start = std::chrono::steady_clock::now();
        std::thread injector([&] { bench::busLimitInject(ctl.send, perMsPerChannel, ms, start, sent, done); });
        std::thread prober([&] {
            while (!done) {
                const uint64_t t = steadyNs();
                QMetaObject::invokeMethod(
                    &probeTarget,
                    [&, t] {
                        std::lock_guard<std::mutex> l(latMutex);
                        lat.push_back(steadyNs() - t);
                    },
                    Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done)
                loop.quit();
        });
        poll.start(10);
        loop.exec();
        injector.join();
        prober.join();
        const double wall = double(std::chrono::duration_cast<std::chrono::microseconds>(
                                       std::chrono::steady_clock::now() - start)
                                       .count()) /
                            1e6;
        const double cpu = threadCpuNow() - cpu0;
        // The frames still on their way.
        QElapsedTimer tail;
        tail.start();
        uint64_t shown = 0;
        while (tail.elapsed() < 1000) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            shown = shownNow();
            if (shown >= sent)
                break;
        }
        std::lock_guard<std::mutex> l(latMutex);
        std::sort(lat.begin(), lat.end());
        if (!lat.empty()) {
            state.counters["p50_ms"] = double(lat[lat.size() / 2]) / 1e6;
            state.counters["p99_ms"] = double(lat[lat.size() * 99 / 100]) / 1e6;
            state.counters["max_ms"] = double(lat.back()) / 1e6;
        }
        state.counters["frames_per_s"] = double(sent) / wall;
        state.counters["shown"] = double(shown);
        state.counters["lost"] = double(sent - std::min(sent.load(), shown));
        state.counters["gui_cpu_pct"] = 100.0 * cpu / wall;
    }
}
BENCHMARK(BM_EventLoopLatency8ChBusLimit)
    ->ArgNames({"per_ms_per_ch", "merge", "window", "full"})
    ->Args({21, 1, 1, 0})
    ->Args({21, 0, 1, 0})
    ->Args({21, 1, 1, 1})
    ->Args({21, 0, 1, 1})
    ->Args({21, 1, 0, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
#endif

// One full repaint of the main window (960 x 540) showing a data tab in the
// merged view, with the window's fade-in effect kept (effect=1, as the
// window has it) or taken away, the view's word wrap on or off, classic or
// 64-byte CAN FD data.
void BM_PaintMainWindow(benchmark::State &state)
{
    Home home;
    mergeSet(true);
    MainWindow w;
    if (state.range(0) == 0)
        w.setGraphicsEffect(nullptr);
    w.resize(960, 540);
    w.devAdapterGet()->deviceReplace("USBCANFD2", new BenchChannelDevice);
    w.devOpen("USBCANFD2");
    const QString id = QStringLiteral("USBCANFD2-0-0");
    QUserWindowTabData *tab = w.tabSrvGet().find(id);
    if (state.range(1) == 0)
        tab->view->setWordWrap(false);
    for (const QVector<QUserCanMsg> &b : driverBatches(state.range(2) != 0, 64, 4))
        w.soltDevRec(id, b);
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 700)
        QApplication::processEvents();
    int flip = 0;
    for (auto _ : state) {
        state.PauseTiming();
        tab->model->scrollTo(true, (flip++ & 1));
        tab->model->windowRebuild();
        state.ResumeTiming();
        w.repaint();
    }
    state.counters["rows"] = tab->model->rowCount();
}
BENCHMARK(BM_PaintMainWindow)
    ->ArgNames({"effect", "wrap", "fd"})
    ->Args({1, 1, 0})
    ->Args({0, 1, 0})
    ->Args({1, 0, 0})
    ->Args({1, 1, 1})
    ->Unit(benchmark::kMillisecond);

// ORVANE_BENCH_SLOW_EVENTS=1: every event the GUI thread took longer than
// 10 ms over is named on stderr (receiver class, object name, event type,
// wall and CPU time), and at exit the totals per event type and per painted
// widget: what holds the event loop up. ORVANE_BENCH_RUN_MS sets the length
// of the latency run (3000 ms), for profiling.
class TimingApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        // Only the GUI thread's events are counted and timed.
        if (QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        if (depth == 0)
            bench::guiEventsDelivered().fetch_add(1, std::memory_order_relaxed);
        if (!watch) {
            ++depth;
            const bool r = QApplication::notify(receiver, event);
            --depth;
            return r;
        }
        const uint64_t t0 = steadyNs();
        const double c0 = threadCpuNow();
        const int type = event->type();
        const char *cls = receiver ? receiver->metaObject()->className() : "?";
        const QString name = receiver ? receiver->objectName() : QString();
        ++depth;
        const bool r = QApplication::notify(receiver, event);
        --depth;
        const uint64_t d = steadyNs() - t0;
        if (d > 10000000)
            fprintf(stderr, "%*sslow event: %.1f ms (cpu %.1f ms), %s %s, type %d\n", depth * 2, "", double(d) / 1e6,
                    (threadCpuNow() - c0) * 1e3, cls, qPrintable(name), type);
        if (depth == 0) {
            typeMs[QByteArray::number(type) + " " + cls] += double(d) / 1e6;
            typeCount[QByteArray::number(type) + " " + cls] += 1;
        }
        if (type == QEvent::Paint) {
            paintMs[QByteArray(cls) + " " + name.toLatin1()] += double(d) / 1e6;
            paintCount[QByteArray(cls) + " " + name.toLatin1()] += 1;
        }
        return r;
    }
    ~TimingApplication() override
    {
        for (auto it = typeMs.cbegin(); it != typeMs.cend(); ++it)
            if (it.value() > 20)
                fprintf(stderr, "events total %.1f ms in %d: type %s\n", it.value(), typeCount.value(it.key()),
                        it.key().constData());
        for (auto it = paintMs.cbegin(); it != paintMs.cend(); ++it)
            if (it.value() > 5)
                fprintf(stderr, "paint total %.1f ms in %d paints: %s\n", it.value(), paintCount.value(it.key()),
                        it.key().constData());
    }
    QHash<QByteArray, double> typeMs;
    QHash<QByteArray, int> typeCount;
    QHash<QByteArray, double> paintMs;
    QHash<QByteArray, int> paintCount;
    bool watch = qEnvironmentVariableIsSet("ORVANE_BENCH_SLOW_EVENTS");
    int depth = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimingApplication app(argc, argv);
    // The window's log lines (tabs made, tips, filter files) and the
    // platform's notes would only clutter the table.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            fprintf(stderr, "%s\n", qPrintable(text));
    });
    registerCanMsgMetaTypes();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#include "BenchLiveData.moc"
