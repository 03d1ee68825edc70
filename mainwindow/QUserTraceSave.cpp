#include "mainwindow/QUserTraceSave.h"

#include "traffic/QUserTraceFile.h"
#include "widgets/QUserPrompt.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>
#include <thread>

const char *QUserTraceSave::kFilter = "ASC File(*.asc);;BLF File(*.blf)";

QString QUserTraceSave::fileNameAsk(QWidget *parent)
{
    QString selected;
    const QString name = QUserPrompt::instance()->getSaveFileName(
        parent, QCoreApplication::translate("MainWindow", "另存为"), QStringLiteral("../"),
        QString::fromLatin1(kFilter), &selected);
    if (name.isEmpty())
        return name;
    return suffixApply(name, selected);
}

QString QUserTraceSave::suffixApply(const QString &name, const QString &selectedFilter)
{
    if (name.isEmpty() || !QFileInfo(name).suffix().isEmpty())
        return name;
    // A name ending in a dot ("trace.") has no suffix either: no second dot.
    QString suffix = QStringLiteral(".asc");
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    const QRegularExpressionMatch m = pattern.match(selectedFilter);
    if (m.hasMatch())
        suffix = QLatin1Char('.') + m.captured(1);
    if (name.endsWith(QLatin1Char('.')))
        return name + suffix.mid(1);
    return name + suffix;
}

QUserTraceSave::Result QUserTraceSave::save(const QString &name, const QVector<QUserCanMsg> &frames)
{
    return run(name, frames.size(), [&frames](int i) { return frames.at(i); }, [] {}, [] {});
}

QUserTraceSave::Result QUserTraceSave::save(const QString &name, QUserCanFrameSnapshot &&frames)
{
    // Taken over here, so that its memory can go on the worker.
    QUserCanFrameSnapshot snap(std::move(frames));
    const int count = int(std::min<int64_t>(snap.size(), INT_MAX));
    // A trace's times count from its first frame: the merged view's entries,
    // held in identifier order, go out in the order of their times, or every
    // entry older than the first one written would be stamped with its time.
    return run(name, count, [&snap](int i) { return snap.msgAt(i); }, [&snap] { snap.timeOrder(); },
               [&snap] { snap.clear(); });
}

QUserTraceSave::Result QUserTraceSave::run(const QString &name, int count,
                                           const std::function<QUserCanMsg(int)> &frameAt,
                                           const std::function<void()> &prepare,
                                           const std::function<void()> &release)
{
    written = 0;
    shown = false;
    auto trace = std::make_unique<QUserTraceFile>();
    if (!trace->fileCreate(name))
        return CreateFailed;

    std::atomic<int> done{0};
    std::atomic<bool> ok{true};
    QEventLoop loop;
    QUserTraceFile *file = trace.get();
    std::thread worker([&] {
        // The count is published every so many frames: often enough for the
        // progress bar, rarely enough to stay out of the writer's way.
        constexpr int kPublishEvery = 4096;
        prepare();
        int n = 0;
        for (int i = 0; i < count; ++i) {
            if (!file->write(frameAt(i))) {
                ok = false;
                break;
            }
            if (++n % kPublishEvery == 0)
                done.store(n, std::memory_order_relaxed);
        }
        done.store(n, std::memory_order_relaxed);
        if (!file->close())
            ok = false;
        release();
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });

    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProgressDialog> progress;
    QTimer tick;
    tick.setInterval(50);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!progress && clock.elapsed() >= kProgressDelayMs) {
            progress = std::make_unique<QProgressDialog>(parent);
            progress->setWindowTitle(QCoreApplication::translate("MainWindow", "数据保存"));
            progress->setLabelText(QCoreApplication::translate("MainWindow", "数据保存中,请稍候..."));
            progress->setCancelButton(nullptr);
            progress->setRange(0, count);
            progress->setMinimumDuration(0);
            progress->setAutoClose(false);
            progress->setAutoReset(false);
            progress->setWindowModality(Qt::WindowModal);
            progress->show();
            shown = true;
        }
        if (progress)
            progress->setValue(done.load(std::memory_order_relaxed));
    });
    tick.start();
    // Batches of received frames and repaints go on; clicks and keys wait
    // until the file is complete.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    tick.stop();
    progress.reset();

    written = done.load();
    if (!ok) {
        qDebug().noquote() << QStringLiteral("File<%1> Write Fail, %2 Frames Written...").arg(name).arg(written);
        return WriteFailed;
    }
    return Saved;
}
