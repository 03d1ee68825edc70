// The DBC analysis window under load, on the GUI thread:
//  - frames per second through its receive slot with every signal listened,
//    the table model and the chart on (every signal charted, as splines and
//    as straight lines), the window shown (offscreen unless a platform is
//    set) and events processed after each batch as the GUI's event loop
//    would: 20 signals in 8-byte frames (batches of 256, as a classic
//    adapter's driver hands them) and 64 signals in 64-byte CAN FD frames
//    (batches of 32);
//  - loading a DBC of 2,000 messages x 20 signals: seconds until the tree
//    is usable, and the process's peak memory (run it alone for that); the
//    loads of one long-running process (warm: the library bound before, the
//    file in the page cache, the allocator and Qt's first-use costs paid),
//    and beside them a process's first load, what a user waits for: a fresh
//    process of this program opens the window (binding kemsig, the library
//    file read from disk) and loads the file once, then a second time in a
//    new window; with cold=1 the page cache is dropped before each fresh
//    process (sync and /proc/sys/vm/drop_caches as root, else the DBC file
//    and libkemsig.so advised out with posix_fadvise, with a note).
//   bench_dbc [--benchmark_filter=...]

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "bench/support/BenchColdRuns.h"
#include "core/QUserCanMsg.h"
#include "core/QUserSysCfg.h"
#include "dbc/QUserMainWindowDBC.h"
#include "dbc/QUserTableModelDBC.h"
#include "tests/support/QUserPromptScript.h"
#include "widgets/QUserTreeWidget.h"

namespace {

// Process memory in MiB from /proc/self/status ("VmHWM" peak, "VmRSS" now).
double procMiB(const char *key)
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(std::strlen(key)) + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

bool waitFor(const std::function<bool()> &pred, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

// A working directory of its own for the settings file and the DBC files.
QTemporaryDir &workDir()
{
    static QTemporaryDir dir;
    static bool entered = QDir::setCurrent(dir.path());
    (void)entered;
    return dir;
}

// One message of `count` signals over `bytes` bytes, the bits shared out
// evenly; every third signal Motorola, every fourth signed.
QString messageText(quint32 dbcId, const QString &name, int bytes, int count)
{
    QString t = QStringLiteral("BO_ %1 %2: %3 ECU\n").arg(dbcId).arg(name).arg(bytes);
    const int width = bytes * 8 / count;
    for (int i = 0; i < count; ++i) {
        const int lsb = i * width;
        const bool motorola = i % 3 == 2;
        const bool isSigned = i % 4 == 1;
        // A Motorola field is named by its most significant bit: the same
        // bits when the field lies within one byte, else from bit 7 of its
        // first byte on.
        int start = lsb;
        if (motorola) {
            const int byte = lsb / 8;
            const int bitInByte = lsb % 8;
            start = width + bitInByte <= 8 ? byte * 8 + bitInByte + width - 1 : byte * 8 + 7;
        }
        t += QStringLiteral(" SG_ %1_S%2 : %3|%4@%5%6 (0.5,-10) [-1000|1000] \"u\" ECU\n")
                 .arg(name)
                 .arg(i)
                 .arg(start)
                 .arg(width)
                 .arg(motorola ? 0 : 1)
                 .arg(isSigned ? '-' : '+');
    }
    return t;
}

bool writeText(const QString &path, const QString &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray b = text.toUtf8();
    return f.write(b) == b.size();
}

int loadThroughWindow(QUserMainWindowDBC *w, const QString &path)
{
    QUserPromptScript prompts;
    prompts.answerExec([w](QDialog *) {
        waitFor([w] { return !w->isLoadJobRunning(); }, 600000);
        return 0;
    });
    prompts.answerExec(1);
    return w->dbcFileLoad(path);
}

struct ReceiveRig {
    std::unique_ptr<QUserMainWindowDBC> w;
    QVector<QVector<QUserCanMsg>> batches;
    int frames = 0;
    bool ok = false;

    ReceiveRig(bool fd, int signalCount, int batchSize, int seriesType)
    {
        workDir();
        QUserSysCfg::instance()->setInt("dbcProcotolType", 0);
        QUserSysCfg::instance()->setInt("axisXMaxValue", 60000);
        QUserSysCfg::instance()->setInt("seriesType", seriesType);
        const int bytes = fd ? 64 : 8;
        const QString path = QDir::current().absoluteFilePath(fd ? "bench_fd.dbc" : "bench_classic.dbc");
        if (!writeText(path, messageText(fd ? 0x80012345u : 0x123u, fd ? "FdMsg" : "ClassicMsg", bytes, signalCount)))
            return;
        w.reset(new QUserMainWindowDBC);
        w->resize(1400, 900);
        w->show();
        if (loadThroughWindow(w.get(), path) != 1 || w->dbcMessages().size() != 1)
            return;
        w->listenMessageAdd(w->dbcMessages().first().strName);
        if (w->listenSignalList().size() != signalCount)
            return;
        for (int i = 0; i < signalCount; ++i)
            w->listenSignalChartEnable(i, true);
        std::mt19937 rng(26);
        const int distinct = 64;
        for (int b = 0; b < distinct; ++b) {
            QVector<QUserCanMsg> batch;
            for (int k = 0; k < batchSize; ++k) {
                QUserCanMsg m;
                m.idText = fd ? QStringLiteral("00012345 ") : QStringLiteral("00000123 ");
                m.extended = fd ? 1 : 0;
                m.protocol = fd ? 2 : 0;
                m.fdFlags = fd ? 0x08 : 0;
                m.lenText = QString::number(bytes);
                QByteArray data(bytes, 0);
                for (char &c : data)
                    c = char(rng() & 0xFF);
                m.dataText = QString::fromLatin1(data.toHex().toUpper());
                m.direction = 0;
                m.channel = 1;
                m.hostTime = getCurrentMs();
                batch.append(m);
            }
            batches.append(batch);
        }
        frames = batchSize;
        ok = true;
    }
};

void receiveRun(benchmark::State &state, bool fd, int signalCount, int batchSize)
{
    ReceiveRig rig(fd, signalCount, batchSize, int(state.range(0)));
    if (!rig.ok) {
        state.SkipWithError("window, DBC or listen list not ready");
        return;
    }
    const QString devId = QStringLiteral("TRNA702-0-1");
    int i = 0;
    const int refreshBefore = rig.w->listenModel()->refreshCount();
    for (auto _ : state) {
        rig.w->soltCanMsgRec(devId, rig.batches[i++ % rig.batches.size()]);
        QCoreApplication::processEvents();
    }
    const double total = double(state.iterations()) * rig.frames;
    state.SetItemsProcessed(int64_t(total));
    state.counters["frames_per_s"] = benchmark::Counter(total, benchmark::Counter::kIsRate);
    state.counters["signals"] = signalCount;
    state.counters["charted"] = rig.w->chartState().entries.size();
    state.counters["table_refreshes"] = rig.w->listenModel()->refreshCount() - refreshBefore;
    int points = 0;
    for (const DbcChartSeries *e : rig.w->chartState().entries)
        points += e->points.size();
    state.counters["chart_points"] = points;
    state.counters["chart_refresh_ms"] = double(rig.w->chartState().refreshInterval);
    state.counters["chart_pass_cost_ms"] = rig.w->chartState().lastRefreshCostMs;
}

void BM_ReceiveClassic20Signals(benchmark::State &state)
{
    receiveRun(state, false, 20, 256);
}

void BM_ReceiveFd64Signals(benchmark::State &state)
{
    receiveRun(state, true, 64, 32);
}

// 2,000 messages of 20 signals, every tenth signal with value descriptions.
bool writeBigDbc(const QString &path)
{
    QString text = QStringLiteral("VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: ECU\n\n");
    QString vals;
    for (int m = 0; m < 2000; ++m) {
        const quint32 id = 0x80000000u | quint32(0x100000 + m * 7);
        text += messageText(id, QStringLiteral("Msg%1").arg(m), 8, 20) + "\n";
        for (int s = 0; s < 20; s += 10)
            vals += QStringLiteral("VAL_ %1 Msg%2_S%3 0 \"off\" 1 \"on\" 2 \"error\" 3 \"n/a\" ;\n").arg(id).arg(m).arg(s);
    }
    text += vals;
    return writeText(path, text);
}

void BM_LoadDbc2000x20(benchmark::State &state)
{
    workDir();
    const QString path = QDir::current().absoluteFilePath("bench_2000x20.dbc");
    if (!writeBigDbc(path)) {
        state.SkipWithError("DBC not written");
        return;
    }
    const double fileMiB = double(QFile(path).size()) / (1024.0 * 1024.0);
    double seconds = 0;
    double rssBefore = 0, rssAfter = 0;
    int items = 0;
    std::vector<double> all;
    for (auto _ : state) {
        std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
        w->resize(1400, 900);
        w->show();
        QCoreApplication::processEvents();
        rssBefore = procMiB("VmRSS:");
        QElapsedTimer t;
        t.start();
        const int r = loadThroughWindow(w.get(), path);
        QCoreApplication::processEvents(); // the tree lays out and paints
        seconds = t.nsecsElapsed() / 1e9;
        rssAfter = procMiB("VmRSS:");
        items = w->msgTree()->topLevelItemCount();
        if (r != 1 || w->dbcMessages().size() != 2000 || items != 2000) {
            state.SkipWithError("load did not give 2000 messages in the tree");
            return;
        }
        state.SetIterationTime(seconds);
        all.push_back(seconds);
    }
    std::sort(all.begin(), all.end());
    state.counters["warm_s_median"] = all[all.size() / 2];
    state.counters["seconds_to_tree"] = seconds;
    state.counters["tree_messages"] = items;
    state.counters["dbc_file_MiB"] = fileMiB;
    state.counters["rss_growth_MiB"] = rssAfter - rssBefore;
    state.counters["peak_rss_MiB"] = procMiB("VmHWM:");
}

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The child's part of the first-load figure (this program started with
// "--first-load-child <dbc file>"): the window opened and settled, the file
// loaded until the tree is usable, then once more in a new window. One line
// on stdout: "first-load <open s> <first s> <first cpu s> <second s>
// <second cpu s> <messages>". The CPU times are the process's (the load job
// runs on a worker thread, the GUI thread waits in its loop).
int firstLoadChild(const QString &path)
{
    workDir();
    QElapsedTimer t;
    t.start();
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    w->resize(1400, 900);
    w->show();
    QCoreApplication::processEvents();
    const double openSeconds = t.nsecsElapsed() / 1e9;
    double seconds[2] = {0, 0};
    double cpu[2] = {0, 0};
    int messages = 0;
    for (int k = 0; k < 2; ++k) {
        if (k == 1) {
            w.reset(new QUserMainWindowDBC);
            w->resize(1400, 900);
            w->show();
            QCoreApplication::processEvents();
        }
        const double cpu0 = processCpuSeconds();
        t.restart();
        const int r = loadThroughWindow(w.get(), path);
        QCoreApplication::processEvents(); // the tree lays out and paints
        seconds[k] = t.nsecsElapsed() / 1e9;
        cpu[k] = processCpuSeconds() - cpu0;
        messages = r == 1 ? w->msgTree()->topLevelItemCount() : -1;
    }
    std::printf("first-load %.6f %.6f %.6f %.6f %.6f %d\n", openSeconds, seconds[0], cpu[0], seconds[1], cpu[1],
                messages);
    std::fflush(stdout);
    return messages == 2000 ? 0 : 1;
}

// A process's first load of the 2,000 x 20 file, five fresh processes per
// run (see the file's head): medians and spread of the first load, the
// window's opening before it, and the second load in the same process.
void BM_LoadDbc2000x20FirstInProcess(benchmark::State &state)
{
    const bool cold = state.range(0) != 0;
    workDir();
    const QString path = QDir::current().absoluteFilePath("bench_2000x20.dbc");
    if (!writeBigDbc(path)) {
        state.SkipWithError("DBC not written");
        return;
    }
    const QString lib = QCoreApplication::applicationDirPath() + QStringLiteral("/libkemsig.so");
    std::vector<double> open, first, firstCpu, second, secondCpu;
    bool dropped = true;
    for (auto _ : state) {
        if (cold)
            dropped = benchcold::pageCacheDrop(QStringList{path, lib}, "the DBC file and libkemsig.so are") && dropped;
        QProcess p;
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--first-load-child"), path});
        if (!p.waitForFinished(10 * 60 * 1000) || p.exitCode() != 0) {
            state.SkipWithError("child load failed");
            return;
        }
        double v[5] = {0, 0, 0, 0, 0};
        int messages = 0;
        bool found = false;
        const char *format = "first-load %lf %lf %lf %lf %lf %d";
        for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
            if (line.startsWith("first-load "))
                found = std::sscanf(line.constData(), format, &v[0], &v[1], &v[2], &v[3], &v[4], &messages) == 6;
        if (!found || messages != 2000) {
            state.SkipWithError("child gave no figures");
            return;
        }
        state.SetIterationTime(v[1]);
        open.push_back(v[0]);
        first.push_back(v[1]);
        firstCpu.push_back(v[2]);
        second.push_back(v[3]);
        secondCpu.push_back(v[4]);
    }
    using benchcold::median;
    using benchcold::spread;
    state.counters["processes"] = double(first.size());
    state.counters["page_cache_dropped"] = cold ? (dropped ? 1 : 0) : 0;
    state.counters["window_open_s_median"] = median(open);
    state.counters["first_load_s_median"] = median(first);
    state.counters["first_load_s_spread"] = spread(first);
    state.counters["first_load_cpu_s_median"] = median(firstCpu);
    state.counters["second_load_s_median"] = median(second);
    state.counters["second_load_cpu_s_median"] = median(secondCpu);
    state.counters["open_and_first_load_s_median"] = median(open) + median(first);
}

// "添加所有信号到监听列表" on the 2,000 x 20 file: 40,000 listened signals.
void BM_ListenAll2000x20(benchmark::State &state)
{
    workDir();
    const QString path = QDir::current().absoluteFilePath("bench_2000x20.dbc");
    if (!writeBigDbc(path)) {
        state.SkipWithError("DBC not written");
        return;
    }
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    if (loadThroughWindow(w.get(), path) != 1) {
        state.SkipWithError("not loaded");
        return;
    }
    double seconds = 0;
    for (auto _ : state) {
        w->listenSignalClear();
        QUserPromptScript prompts;
        prompts.answerExec(1);
        QElapsedTimer t;
        t.start();
        w->soltTreeWidgetPopMenueActAddAll();
        seconds = t.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
    }
    state.counters["listened_signals"] = w->listenSignalList().size();
    state.counters["seconds"] = seconds;
}

} // namespace

BENCHMARK(BM_ListenAll2000x20)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDbc2000x20)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
// Argument: cold=1 drops the page cache before each fresh process.
BENCHMARK(BM_LoadDbc2000x20FirstInProcess)
    ->ArgName("cold")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
// Argument: the kind of the curves, 0 splines (the default setting), 1
// straight lines.
BENCHMARK(BM_ReceiveClassic20Signals)->ArgName("seriesType")->Arg(0)->Arg(1)->MinTime(3.0)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReceiveFd64Signals)->ArgName("seriesType")->Arg(0)->Arg(1)->MinTime(3.0)->UseRealTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The window logs every step; the figures need a quiet process.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    if (argc == 3 && std::strcmp(argv[1], "--first-load-child") == 0)
        return firstLoadChild(QString::fromLocal8Bit(argv[2]));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
