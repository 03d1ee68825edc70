// The GUI thread during a tab save: a data tab holding 1,000,000 frames is
// saved through the tool bar's save action (the file chooser answered at
// once), ASC and BLF, classic 8-byte and 64-byte CAN FD frames, the list
// and the merged view (1,000,000 identifiers). A 1 ms timer runs on the GUI
// thread the whole time; the longest gap between two of its ticks is the
// longest the save held the GUI thread at one stretch ("gui_block_max_ms",
// the figure that must stay under 100 ms), beside the save's wall time.
//
//   cmake --build build -j3 --target bench_mainwindow
//   QT_QPA_PLATFORM=offscreen ./build/bin/bench_mainwindow --benchmark_filter=SaveTabGuiBlock

#include <benchmark/benchmark.h>

#include "core/QUserDevId.h"
#include "core/QUserSysCfg.h"
#include "devices/QUserDevice.h"
#include "devices/QUserDeviceAdapter.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MainWindowForm.h"
#include "mainwindow/QUserMainWindowLayout.h"
#include "mainwindow/QUserTableModelCan.h"
#include "mainwindow/QUserWindowSrv.h"
#include "widgets/QUserPrompt.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

namespace {

const char *kChannel = "USBCANFD2-0-0";
constexpr int kFrames = 1000000;

class OneChannelDevice : public QUserDevice
{
public:
    int open(QStringList &devIds) override
    {
        devIds << QString::fromLatin1(kChannel);
        return 0;
    }
    int close(const QString &) override { return 0; }
    int sendMsg(const QString &, QUserCanMsg &) override { return 1; }
    int sendMsgList(const QString &, QVector<QUserCanMsg> msgs) override { return msgs.size(); }
    int devInfoGet(const QString &, QUserDevChState *) override { return 0; }
};

// The save chooser answers with one name; boxes close at once.
class NamePrompt : public QUserPrompt
{
public:
    explicit NamePrompt(const QString &name) : name_(name) { previous_ = QUserPrompt::setInstance(this); }
    ~NamePrompt() override { QUserPrompt::setInstance(previous_); }
    int exec(QDialog *) override { return 0; }
    QString getSaveFileName(QWidget *, const QString &, const QString &, const QString &filter,
                            QString *selected) override
    {
        if (selected)
            *selected = filter.section(QStringLiteral(";;"), 0, 0);
        return name_;
    }

private:
    QString name_;
    QUserPrompt *previous_ = nullptr;
};

QUserCanMsg frameOf(int seq, int len, bool manyIds)
{
    QUserCanMsg m;
    const uint32_t id = manyIds ? uint32_t(seq) : uint32_t(0x100 + seq % 64);
    m.idText = idToText(id);
    m.extended = id > 0x7FF ? 1 : 0;
    uint8_t data[64];
    for (int k = 0; k < len; ++k)
        data[k] = uint8_t(uint32_t(seq) * 31 + uint32_t(k));
    m.dataText = bytesToHex(data, len);
    m.lenText = QString::number(len);
    m.protocol = len > 8 ? 2 : 0;
    m.fdFlags = len > 8 ? 0x18 : 0;
    m.devTime = uint64_t(seq) * 100;
    m.hostTime = 1700000000000 + seq / 10;
    return m;
}

void BM_SaveTabGuiBlock(benchmark::State &state)
{
    const bool blf = state.range(0) != 0;
    const int len = int(state.range(1));
    const bool merged = state.range(2) != 0;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    QDir().mkpath("setting");
    QDir().mkpath("cache");
    QUserSysCfg::instance()->reload();
    QUserSysCfg::instance()->setInt("msgCacheSize", kFrames);
    QUserSysCfg::instance()->setString("idMergEnable", merged ? "ON" : "OFF");
    QUserSysCfg::instance()->setString("language", "ZH");

    MainWindow w;
    w.devAdapterGet()->deviceReplace("USBCANFD2", new OneChannelDevice);
    if (!w.devOpen("USBCANFD2")) {
        state.SkipWithError("open failed");
        return;
    }
    QTabWidget *tabs = w.layoutGet()->tabDataShow;
    for (int i = 0; i < tabs->count(); ++i)
        if (tabs->tabText(i) == getDevIdTextEx(w.languageCodeGet(), QString::fromLatin1(kChannel)))
            tabs->setCurrentIndex(i);
    if (w.curTabDevGet() != QLatin1String(kChannel)) {
        state.SkipWithError("channel tab not current");
        return;
    }
    QUserTableModelCan *model = w.tabSrvGet().find(QString::fromLatin1(kChannel))->model;
    model->appendBegin();
    for (int i = 0; i < kFrames; ++i)
        model->msgAppend(frameOf(i, len, merged));
    model->appendEnd();
    QApplication::processEvents();
    if ((merged ? model->mergeCount() : model->listCount()) != kFrames) {
        state.SkipWithError("tab not full");
        return;
    }

    const QString name = QDir::current().absoluteFilePath(blf ? QStringLiteral("tab.blf") : QStringLiteral("tab.asc"));
    NamePrompt prompt(name);
    double worstMs = 0;
    double worstAt = 0;
    double wallMs = 0;
    int runs = 0;
    for (auto _ : state) {
        QFile::remove(name);
        QElapsedTimer tickClock;
        double maxGap = 0;
        qint64 lastTick = -1;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        double maxGapAt = 0;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = tickClock.nsecsElapsed();
            if (lastTick >= 0 && double(now - lastTick) / 1e6 > maxGap) {
                maxGap = double(now - lastTick) / 1e6;
                maxGapAt = double(lastTick) / 1e6;
            }
            lastTick = now;
        });
        QEventLoop outer;
        QElapsedTimer wall;
        QTimer::singleShot(20, [&] {
            wall.start();
            w.formGet()->actSave->trigger();
            wallMs += double(wall.nsecsElapsed()) / 1e6;
            QTimer::singleShot(20, &outer, &QEventLoop::quit);
        });
        tickClock.start();
        tick.start();
        outer.exec();
        tick.stop();
        if (maxGap > worstMs) {
            worstMs = maxGap;
            worstAt = maxGapAt;
        }
        ++runs;
        if (QFile(name).size() == 0) {
            state.SkipWithError("nothing saved");
            return;
        }
    }
    state.counters["gui_block_max_ms"] = worstMs;
    // Where the longest stretch began, in ms from the click (20 ms after
    // the ticks start).
    state.counters["gui_block_at_ms"] = worstAt - 20;
    // The frames taken from the tab alone, as the save takes them.
    QElapsedTimer take;
    take.start();
    QUserCanFrameSnapshot snap;
    model->frameSnapshot(snap);
    state.counters["take_ms"] = double(take.nsecsElapsed()) / 1e6;
    state.counters["save_wall_ms"] = runs ? wallMs / runs : 0;
    state.counters["file_MB"] = double(QFile(name).size()) / 1e6;
}
BENCHMARK(BM_SaveTabGuiBlock)
    ->ArgNames({"blf", "len", "merged"})
    ->Args({0, 8, 0})
    ->Args({1, 8, 0})
    ->Args({0, 64, 0})
    ->Args({1, 64, 0})
    ->Args({1, 8, 1})
    ->Args({1, 64, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

} // namespace
