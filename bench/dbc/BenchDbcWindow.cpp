// The DBC analysis window under load, on the GUI thread:
//  - frames per second through its receive slot with every signal listened,
//    the table model and the chart on (every signal charted, as splines and
//    as straight lines), the window shown (offscreen unless a platform is
//    set) and events processed after each batch as the GUI's event loop
//    would: 20 signals in 8-byte frames (batches of 256, as a classic
//    adapter's driver hands them) and 64 signals in 64-byte CAN FD frames
//    (batches of 32);
//  - loading a DBC of 2,000 messages x 20 signals: seconds until the tree
//    is usable, and the process's peak memory (run it alone for that).
//   bench_dbc [--benchmark_filter=...]

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

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
    }
    state.counters["seconds_to_tree"] = seconds;
    state.counters["tree_messages"] = items;
    state.counters["dbc_file_MiB"] = fileMiB;
    state.counters["rss_growth_MiB"] = rssAfter - rssBefore;
    state.counters["peak_rss_MiB"] = procMiB("VmHWM:");
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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
