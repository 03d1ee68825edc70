// Firmware update end to end against the simulated CAN FD adapter's update
// target (the worker, the driver, kemusb, the simulated adapter): image
// bytes per second, and how much CPU the run takes per second of wall time
// (the reply wait polls the driver without sleeping). Then the reply wait
// alone on a quiet link, and the generation of the baud detection's
// candidate file.
//
// Needs the test build of kemusb (libdevtools_simkemusb.so, made with the
// tests) next to the program.

#include "devtools/QFirmUpdateSrv.h"
#include "devices/QKemLib.h"
#include "devices/QUserBaudChk.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QTemporaryDir>
#include <QThread>

#include <ctime>
#include <memory>
#include <sys/resource.h>

namespace {

double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double wallSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The simulated back end through the test build of kemusb, one TRNA701.
struct SimLink
{
    QLibrary lib;
    int (*configure)(const char *) = nullptr;
    int (*firmSetup)(const char *, uint16_t, uint16_t, uint32_t) = nullptr;
    int64_t (*firmImage)(const char *, uint8_t *, int64_t, uint32_t *) = nullptr;

    SimLink()
    {
        static int argc = 1;
        static char name[] = "bench_devtools";
        static char *argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
        qputenv("KEMUSB_BACKEND", "sim");
        const QString path = QCoreApplication::applicationDirPath() + "/libdevtools_simkemusb.so";
        lib.setFileName(path);
        if (!lib.load())
            return;
        configure = reinterpret_cast<decltype(configure)>(lib.resolve("devtools_sim_configure"));
        firmSetup = reinterpret_cast<decltype(firmSetup)>(lib.resolve("devtools_sim_firm_setup"));
        firmImage = reinterpret_cast<decltype(firmImage)>(lib.resolve("devtools_sim_firm_image"));
        QKemLib::setPathOverride(path);
    }
    ~SimLink() { QKemLib::setPathOverride(QString()); }
    bool ok() const { return configure && firmSetup && firmImage; }
};

} // namespace

// args: image KiB, packet size the target asks for
static void BM_FirmwareTransfer(benchmark::State &state)
{
    SimLink sim;
    if (!sim.ok()) {
        state.SkipWithError("libdevtools_simkemusb.so not built (build the tests)");
        return;
    }
    sim.configure("adapter TRNA701 name=FW\n");
    sim.firmSetup("FW", 0x0102, 0x0210, uint32_t(state.range(1)));
    QTemporaryDir dir;
    const QString path = dir.filePath("fw.v1.2.2.17.dat");
    const int image = int(state.range(0)) * 1024;
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        QByteArray b(1024 + image, '\0');
        for (int i = 0; i < b.size(); ++i)
            b[i] = char(i * 31 + (i >> 9));
        f.write(b);
    }
    auto w = std::make_unique<QFirmUpdateSrv>("TRNA701", 0, 0);
    if (w->linkOpen() != 0 || w->versionGet(1) != 0) {
        state.SkipWithError("no simulated TRNA701");
        return;
    }
    int ends = 0, good = 0;
    QObject::connect(
        w.get(), &QFirmUpdateSrv::updateResult, w.get(),
        [&](int t, int v, QString) {
            if (t == 2) {
                ++ends;
                good += v == 1;
            }
        },
        Qt::DirectConnection);
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double c0 = processCpuSeconds(), w0 = wallSeconds();
        w->updateBegin(path);
        w->wait();
        cpu += processCpuSeconds() - c0;
        wall += wallSeconds() - w0;
    }
    if (good != ends || sim.firmImage("FW", nullptr, 0, nullptr) != image)
        state.SkipWithError("an update did not go through");
    state.SetBytesProcessed(int64_t(state.iterations()) * image);
    state.counters["cpu_per_wall"] = wall > 0 ? cpu / wall : 0;
    state.counters["packets"] = double((image + state.range(1) - 1) / state.range(1));
    w->updateReqOff();
    w->linkClose();
}
BENCHMARK(BM_FirmwareTransfer)
    ->Args({200, 4096})
    ->Args({200, 1024})
    ->Args({200, 256})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// The reply wait on a link where nothing comes: the CPU of the waiting
// thread per second of waiting, and how often it asks the driver.
static void BM_ReplyWaitIdle(benchmark::State &state)
{
    SimLink sim;
    if (!sim.ok()) {
        state.SkipWithError("libdevtools_simkemusb.so not built (build the tests)");
        return;
    }
    sim.configure("adapter TRNA701 name=FW\n");
    QFirmUpdateSrv w("TRNA701", 0, 0);
    if (w.linkOpen() != 0) {
        state.SkipWithError("no simulated TRNA701");
        return;
    }
    const int ms = int(state.range(0));
    double cpu = 0, wall = 0;
    const uint64_t polls0 = w.replyPolls();
    for (auto _ : state) {
        const double c0 = threadCpuSeconds(), w0 = wallSeconds();
        benchmark::DoNotOptimize(w.replyWait(ms));
        cpu += threadCpuSeconds() - c0;
        wall += wallSeconds() - w0;
    }
    state.counters["cpu_per_wall"] = wall > 0 ? cpu / wall : 0;
    state.counters["polls_per_s"] = wall > 0 ? double(w.replyPolls() - polls0) / wall : 0;
    w.linkClose();
}
BENCHMARK(BM_ReplyWaitIdle)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The candidate file of the baud detection, made on its first use: the
// table (every rate from 5 kbit/s to 1 Mbit/s searched) and the file.
static void BM_BaudListGenerate(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("setting/baudlist.txt");
    QVector<QUserBaudEntry> table;
    int written = 0;
    for (auto _ : state) {
        baudlist::generate(table, [] { return true; }, [](int) {});
        if (state.range(0))
            written = baudlist::save(file, table);
    }
    state.counters["entries"] = double(table.size());
    state.counters["lines"] = double(written);
}
BENCHMARK(BM_BaudListGenerate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
