// Scroll steps of the windowed table view over a 1,000,000-row model: each
// step is one model window refill (the frame tables' seven columns).
#include "widgets/QUserTableModel.h"
#include "widgets/QUserTableView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStandardItem>
#include <QWheelEvent>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>

namespace {

const int kRows = 1000000;

class FrameModel : public QUserTableModel
{
public:
    FrameModel() { setColumnCount(7); }
    int cacheCount() override { return kRows; }
    void windowUpdate() override
    {
        const int rows = windowRowsWanted();
        if (rowCount() != rows)
            setRowCount(rows);
        for (int r = 0; r < rows; ++r) {
            const int i = windowStart() + r;
            const QString cells[7] = {
                QString::number(i),
                QStringLiteral("%1.%2").arg(i / 1000).arg(i % 1000, 3, 10, QLatin1Char('0')),
                (i % 3) ? QStringLiteral("Receive") : QStringLiteral("Send"),
                QStringLiteral("%1").arg(0x18FF0000 + (i % 97), 8, 16, QLatin1Char('0')),
                QStringLiteral("Data"),
                QStringLiteral("8"),
                QStringLiteral("%1 00 11 22 33 44 55 66").arg(i & 0xFF, 2, 16, QLatin1Char('0')),
            };
            for (int c = 0; c < 7; ++c) {
                if (QStandardItem *it = item(r, c))
                    it->setText(cells[c]);
                else
                    setItem(r, c, new QStandardItem(cells[c]));
            }
        }
    }
};

struct Host {
    Host()
    {
        host = std::make_unique<QWidget>();
        QHBoxLayout *layout = new QHBoxLayout(host.get());
        view = new QUserTableView(host.get());
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        layout->addWidget(view);
        layout->addWidget(view->vScrollBar);
        host->resize(1000, 700);
        host->show();
        QApplication::processEvents();
        view->setUserModel(&model);
        QApplication::processEvents();
        model.rowCountNotify();
    }
    FrameModel model;
    std::unique_ptr<QWidget> host;
    QUserTableView *view = nullptr;
};

void BM_ScrollBarStep(benchmark::State &state)
{
    Host h;
    int value = 0;
    for (auto _ : state) {
        value = (value + 7919) % kRows;
        h.view->rowScroll(value);
    }
    state.counters["window_rows"] = h.model.rowCount();
}
BENCHMARK(BM_ScrollBarStep)->Unit(benchmark::kMicrosecond);

void BM_ScrollBarStepPainted(benchmark::State &state)
{
    Host h;
    int value = 0;
    for (auto _ : state) {
        value = (value + 7919) % kRows;
        h.view->rowScroll(value);
        h.view->viewport()->repaint();
    }
    state.counters["window_rows"] = h.model.rowCount();
}
BENCHMARK(BM_ScrollBarStepPainted)->Unit(benchmark::kMicrosecond);

void BM_WheelStep(benchmark::State &state)
{
    Host h;
    h.view->vScrollBar->setValue(kRows / 2);
    bool down = true;
    int n = 0;
    for (auto _ : state) {
        QWheelEvent e(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, down ? -120 : 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(h.view->viewport(), &e);
        if (++n % 1000 == 0)
            down = !down;
    }
}
BENCHMARK(BM_WheelStep)->Unit(benchmark::kMicrosecond);

void BM_PageDownKey(benchmark::State &state)
{
    Host h;
    for (auto _ : state) {
        if (h.view->currentCacheRow() >= kRows - 1)
            h.view->rowLocate(0);
        QKeyEvent e(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(h.view, &e);
    }
}
BENCHMARK(BM_PageDownKey)->Unit(benchmark::kMicrosecond);

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
