// The CANopen window under load.
//
// Frame log: a log already holding 1,000,000 entries (so every append also
// drops the oldest), fed on the GUI thread
//   - BM_FrameLogModelAppend: ready texts into the log model behind its view;
//   - BM_FrameLogWindowAppend: received frames through the window's logging
//     (decode, line text, model), one at a time;
//   - BM_FrameLogReceiveBatch: batches of 256 received frames through the
//     window's receive slot, as the registry delivers them;
//   - BM_FrameLogMemory: the memory one entry costs in a full log.
// SDO under bus load: BM_SdoUnderBusLoad runs write-then-read transfers
// against a simulated node while ten other nodes put 10,000 frames per
// second on the same bus; every read must give back what was written.
//
//   bench_canopen [--benchmark_filter=...]
#include "canopen/windows/QUserCANopenThread.h"
#include "canopen/windows/QUserMainWindowCANopen.h"
#include "canopen/windows/QUserTableModelCANopen.h"
#include "core/QUserSysCfg.h"
#include "devices/QKemLib.h"
#include "devices/QUserDeviceAdapter.h"
#include "tests/devices/DialogAnswers.h"
#include "tests/support/QUserPromptScript.h"
#include "widgets/QUserTableView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QLibrary>
#include <QLineEdit>
#include <QMutex>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <malloc.h>

namespace {

constexpr int kFull = 1000000;

// Heap bytes in use (the allocator's own count, so that memory freed
// earlier and taken again counts as well).
int64_t heapBytes()
{
    const struct mallinfo2 mi = mallinfo2();
    return int64_t(mi.uordblks + mi.hblkhd);
}

bool waitUntil(const std::function<bool()> &pred, int ms)
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

QUserCanMsg received(uint32_t id, const char *hex)
{
    const QByteArray data = QByteArray::fromHex(hex);
    QUserCanMsg m(QString::asprintf("%08X ", id), false, false, QString::number(data.size()),
                  QString::fromLatin1(data.toHex().toUpper()));
    m.direction = 0;
    return m;
}

// A mix of what a CANopen bus carries.
QVector<QUserCanMsg> frameMix()
{
    return {
        received(0x185, "3412D4C3B2A10000"), received(0x205, "78563412"),
        received(0x585, "4B01200034120000"), received(0x605, "4001200000000000"),
        received(0x705, "05"),               received(0x080, ""),
        received(0x085, "3081110102030405"), received(0x000, "0105"),
    };
}

// Every benchmark runs in a working directory of its own (settings files).
struct WorkDir
{
    WorkDir()
    {
        previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QUserSysCfg::instance()->reload();
    }
    ~WorkDir() { QDir::setCurrent(previous); }
    QTemporaryDir dir;
    QString previous;
};

// The log model behind a shown view, as the window places it.
struct LogHost
{
    LogHost()
    {
        host = std::make_unique<QWidget>();
        QHBoxLayout *layout = new QHBoxLayout(host.get());
        view = new QUserTableView(host.get());
        model = new QUserTableModelCANopen(host.get());
        layout->addWidget(view);
        layout->addWidget(view->vScrollBar);
        host->resize(900, 600);
        host->show();
        view->setUserModel(model);
        model->setColumnCount(3);
        QApplication::processEvents();
    }
    std::unique_ptr<QWidget> host;
    QUserTableView *view = nullptr;
    QUserTableModelCANopen *model = nullptr;
};

void BM_FrameLogModelAppend(benchmark::State &state)
{
    WorkDir wd;
    LogHost h;
    const QString text = QStringLiteral("[Rx,S,D,00000185,8,34 12 D4 C3 B2 A1 00 00] ");
    const QString desc = QStringLiteral("TPDO1->节点ID:0x05 数据:[34 12 D4 C3 B2 A1 00 00]");
    for (int i = 0; i < kFull; ++i)
        h.model->logAppend(text, desc);
    for (auto _ : state)
        h.model->logAppend(text, desc);
    state.SetItemsProcessed(state.iterations());
    state.counters["entries"] = h.model->cacheCount();
}
BENCHMARK(BM_FrameLogModelAppend)->Unit(benchmark::kNanosecond);

struct WindowHost
{
    WindowHost()
    {
        w = std::make_unique<QUserMainWindowCANopen>();
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->resize(1200, 800);
        w->show();
        QApplication::processEvents();
    }
    void fill()
    {
        const QVector<QUserCanMsg> mix = frameMix();
        for (int i = 0; i < kFull; ++i)
            w->canopenLogAppend(mix[i % mix.size()]);
    }
    QUserPromptScript prompts;
    std::unique_ptr<QUserMainWindowCANopen> w;
};

void BM_FrameLogWindowAppend(benchmark::State &state)
{
    WorkDir wd;
    WindowHost h;
    h.fill();
    const QVector<QUserCanMsg> mix = frameMix();
    int i = 0;
    for (auto _ : state)
        h.w->canopenLogAppend(mix[i++ & 7]);
    state.SetItemsProcessed(state.iterations());
    state.counters["entries"] = h.w->logModel()->cacheCount();
}
BENCHMARK(BM_FrameLogWindowAppend)->Unit(benchmark::kNanosecond);

void BM_FrameLogReceiveBatch(benchmark::State &state)
{
    WorkDir wd;
    WindowHost h;
    h.fill();
    const QVector<QUserCanMsg> mix = frameMix();
    QVector<QUserCanMsg> batch;
    for (int i = 0; i < 256; ++i)
        batch.append(mix[i % mix.size()]);
    // Frames of a channel the window is not bound to: logged, not posted.
    const QString channel = QStringLiteral("TRNA702-0-3");
    for (auto _ : state)
        h.w->slotCanMsgRec(channel, batch);
    state.SetItemsProcessed(state.iterations() * batch.size());
}
BENCHMARK(BM_FrameLogReceiveBatch)->Unit(benchmark::kMicrosecond);

void BM_FrameLogMemory(benchmark::State &state)
{
    WorkDir wd;
    for (auto _ : state) {
        WindowHost h;
        const int64_t before = heapBytes();
        h.fill();
        const int64_t after = heapBytes();
        // The log takes its slots as entries arrive: the growth holds them
        // as well as the texts.
        const double slotBytes = double(sizeof(QUserTableModelCANopen::Entry));
        state.counters["text_bytes_per_entry"] = double(after - before) / kFull - slotBytes;
        state.counters["bytes_per_entry"] = double(after - before) / kFull;
        state.counters["log_MiB"] = double(after - before) / (1024.0 * 1024.0);
        state.counters["entries"] = h.w->logModel()->cacheCount();
    }
}
BENCHMARK(BM_FrameLogMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- SDO under bus load ----------------------------------------------------------------

struct SimControls
{
    QLibrary lib;
    int (*configure)(const char *, const char *) = nullptr;
    int (*nodeRead)(const char *, int, int, int, uint64_t *) = nullptr;

    bool load()
    {
        lib.setFileName(QCoreApplication::applicationDirPath() + "/libcanopen_simkemusb.so");
        if (!lib.load())
            return false;
        configure = reinterpret_cast<decltype(configure)>(lib.resolve("cosim_configure"));
        nodeRead = reinterpret_cast<decltype(nodeRead)>(lib.resolve("cosim_node_read"));
        return configure && nodeRead;
    }
};

void BM_SdoUnderBusLoad(benchmark::State &state)
{
    const int transfers = int(state.range(0));
    WorkDir wd;
    SimControls sim;
    if (!sim.load()) {
        state.SkipWithError("libcanopen_simkemusb.so not built (cmake --build <build> --target canopen_simkemusb)");
        return;
    }
    QFile eds(wd.dir.filePath("drive.eds"));
    QFile src(QStringLiteral(ORVANE_SOURCE_DIR "/tests/canopen/eds/drive.eds"));
    if (!src.open(QIODevice::ReadOnly) || !eds.open(QIODevice::WriteOnly)) {
        state.SkipWithError("drive.eds not found");
        return;
    }
    eds.write(src.readAll());
    eds.close();
    // Ten nodes each sending a frame every millisecond beside node 5.
    QString topology = QStringLiteral("adapter TRNA702 name=A\nbus co\nattach A 0 co\ncanopen co node=5 eds=%1\n")
                           .arg(eds.fileName());
    for (int i = 0; i < 10; ++i)
        topology += QStringLiteral("periodic co id=%1 period=1 data=0011223344556677 counter=0\n")
                        .arg(0x190 + i, 0, 16);
    qputenv("KEMUSB_BACKEND", "sim");
    QKemLib::setPathOverride(sim.lib.fileName());
    if (!sim.configure(topology.toUtf8().constData(), "")) {
        state.SkipWithError("topology refused");
        return;
    }

    QObject owner;
    auto reg = std::make_unique<QUserDeviceAdapter>(&owner);
    QUserPromptScript prompts;
    ChannelPick pick;
    pick.all = true;
    prompts.answerExec(pickChannel(pick));
    QStringList ids;
    if (reg->devOpen(QStringLiteral("TRNA702"), ids) != 0) {
        state.SkipWithError("simulated adapter did not open");
        return;
    }
    auto *w = new QUserMainWindowCANopen;
    w->setDevAdapter(reg.get(), QStringLiteral("TRNA702-0-0"));
    w->findChild<QLineEdit *>(QStringLiteral("lineEditCia301NodeId"))->setText(QStringLiteral("5"));

    // Outcomes, taken in the request thread when a transfer finishes.
    struct Outcome {
        int result;
        uint32_t written;
        uint32_t read;
    };
    QMutex mutex;
    QVector<Outcome> outcomes;
    QObject ctx;
    QObject::connect(
        w->requestThread(), &QUserCANopenThread::progressNotice, &ctx,
        [&](void *param, int phase, int) {
            auto *p = static_cast<QUserCANopenReqPara *>(param);
            if (phase != 1 || !p || p->kind != QUserCANopenThread::ReqSdoTransfer || !p->sdoList)
                return;
            QMutexLocker lock(&mutex);
            outcomes.append({p->result, p->sdoList->at(0).curValue, p->sdoList->at(1).curValue});
        },
        Qt::DirectConnection);

    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const int logged0 = w->logModel()->cacheCount();
        for (int i = 0; i < transfers; ++i) {
            QUserDictObj write;
            write.index = 0x2002;
            write.DataType = 7;
            write.isRead = false;
            write.curValue = 0x10000000u + uint32_t(i) * 2654435761u % 0x0FFFFFFFu;
            QUserDictObj read = write;
            read.isRead = true;
            read.curValue = 0;
            w->reqSdoTransferPost({write, read});
            // One transfer in flight at a time, as the window's wait dialog
            // has it.
            waitUntil(
                [&] {
                    QMutexLocker lock(&mutex);
                    return outcomes.size() > i;
                },
                5000);
        }
        const double seconds = t.elapsed() / 1000.0;
        int ok = 0, failed = 0, mismatched = 0;
        for (const Outcome &o : outcomes) {
            if (o.result != 0)
                ++failed;
            else if (o.read != o.written)
                ++mismatched;
            else
                ++ok;
        }
        state.counters["transfers"] = transfers;
        state.counters["completed"] = ok;
        state.counters["failed"] = failed + (transfers - outcomes.size());
        state.counters["mismatched"] = mismatched;
        state.counters["transfers_per_s"] = transfers / seconds;
        state.counters["bus_frames_per_s"] = (w->logModel()->cacheCount() - logged0) / seconds;
    }
    delete w;
    reg.reset();
    QKemLib::setPathOverride(QString());
}
BENCHMARK(BM_SdoUnderBusLoad)->Arg(500)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
