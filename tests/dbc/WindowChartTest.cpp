// The DBC window's chart (points, refresh, restart, Y range, series kinds),
// its settings in the system configuration (kept over a close and reopen)
// and every dialog of the window run offscreen through the prompt seam.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTableWidget>

#include <cmath>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QSplineSeries>
#include <QtCharts/QValueAxis>

#include "tests/dbc/DbcWindowSupport.h"
#include "dbc/QUserChartView.h"
#include "dbc/QUserMainWindowDBCForm.h"
#include "widgets/Dialog.h"
#include "widgets/QUserTreeWidget.h"

using namespace dbcwin;
using namespace QtCharts;

namespace {

class WindowChart : public DbcWindowTest
{
protected:
    void SetUp() override
    {
        DbcWindowTest::SetUp();
        ASSERT_TRUE(writeDbc(dbcPath(), smallDbc()));
    }
    std::unique_ptr<QUserMainWindowDBC> openLoaded()
    {
        std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
        EXPECT_EQ(loadDbc(w.get(), dbcPath()), 1);
        return w;
    }
};

QValueAxis *axis(QUserMainWindowDBC *w, Qt::Orientation o)
{
    const auto axes = w->chartState().chart->axes(o);
    return axes.isEmpty() ? nullptr : qobject_cast<QValueAxis *>(axes.first());
}

QString tipText(QUserMainWindowDBC *w)
{
    QLabel *l = w->messageBox().tipLabelWidget();
    return l ? l->text() : QString();
}

// The rows of the table inside a dialog frame, as texts (cell widgets: the
// check box's or line edit's text, the combo's current text).
QList<QStringList> tableRows(QDialog *d)
{
    QList<QStringList> out;
    QTableWidget *t = d->findChild<QTableWidget *>();
    if (!t)
        return out;
    for (int r = 0; r < t->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < t->columnCount(); ++c) {
            QString text = t->item(r, c) ? t->item(r, c)->text() : QString();
            if (QWidget *cw = t->cellWidget(r, c)) {
                if (auto *cb = qobject_cast<QCheckBox *>(cw))
                    text = cb->text() + (cb->isChecked() ? "[x]" : "[ ]");
                else if (auto *le = qobject_cast<QLineEdit *>(cw))
                    text = le->text();
                else if (auto *co = qobject_cast<QComboBox *>(cw))
                    text = co->currentText() + "{" + QString::number(co->currentIndex()) + "/" +
                           QString::number(co->count()) + "}";
            }
            row << text;
        }
        out << row;
    }
    return out;
}

template <typename W>
W *cellWidget(QDialog *d, int row)
{
    QTableWidget *t = d->findChild<QTableWidget *>();
    return t ? qobject_cast<W *>(t->cellWidget(row, 1)) : nullptr;
}

bool clickOk(QDialog *d)
{
    auto *ok = d->findChild<QPushButton *>("btnOk");
    if (!ok)
        return false;
    ok->click();
    return true;
}

QString iconOf(QDialog *d)
{
    auto *f = qobject_cast<Dialog *>(d);
    return f ? f->tipIconPath() : QString();
}

} // namespace

TEST_F(WindowChart, ChartIsBuiltOnce)
{
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    QChart *c = w->chartState().chart;
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(w->chartView()->chart(), c);
    EXPECT_EQ(c->title(), "当前监听信号图");
    EXPECT_EQ(c->animationOptions(), QChart::NoAnimation);
    QValueAxis *x = axis(w.get(), Qt::Horizontal);
    QValueAxis *y = axis(w.get(), Qt::Vertical);
    ASSERT_TRUE(x && y);
    EXPECT_EQ(x->titleText(), "时间:ms");
    EXPECT_EQ(x->tickCount(), 11);
    EXPECT_EQ(x->labelFormat(), "%d");
    EXPECT_EQ(x->min(), 0);
    EXPECT_EQ(x->max(), 60000);
    EXPECT_EQ(y->titleText(), "信号值");
    EXPECT_DOUBLE_EQ(y->min(), -70) << "-50 .. 50 with the view's margins";
    EXPECT_DOUBLE_EQ(y->max(), 70);
    EXPECT_EQ(w->chartView()->axisXMax(), 60000);
}

// The point rules of one curve: restart past the X range, one refresh per
// 100 ms with the points in between waiting, one point per millisecond.
TEST_F(WindowChart, PointsRefreshAndRestart)
{
    auto w = openLoaded();
    ASSERT_EQ(w->listenSignalAdd("EngineData", "EngSpeed"), 0);
    ASSERT_EQ(w->listenSignalAdd("EngineData", "Gear"), 0);
    ASSERT_TRUE(w->listenSignalChartEnable(0, true));
    ASSERT_TRUE(w->listenSignalChartEnable(1, true));
    const DbcChartState &cs = w->chartState();
    ASSERT_EQ(cs.entries.size(), 2);
    DbcChartSeries *speed = cs.entries[0];
    DbcChartSeries *gear = cs.entries[1];
    EXPECT_NE(qobject_cast<QSplineSeries *>(speed->series), nullptr);
    const qint64 t0 = cs.startTime;
    // The curves refresh together: the chart's last refresh is the clock.
    const qint64 r0 = cs.lastRefresh;
    EXPECT_EQ(cs.refreshInterval, 100);

    LogCapture log;
    // Within 100 ms of the last refresh: buffered, not drawn.
    EXPECT_FALSE(w->chartSeriesUpdate("EngineData", "EngSpeed", r0 + 50, 1.0));
    EXPECT_TRUE(log.contains("容量调整..."));
    // Grown with the points in bounded steps, never reserved for the whole
    // X range at once.
    EXPECT_GE(speed->points.capacity(), 1);
    EXPECT_LE(speed->points.capacity(), 65536);
    EXPECT_EQ(speed->points.size(), 1);
    EXPECT_EQ(speed->series->count(), 0);
    // 100 ms after the last refresh: the series takes every waiting point.
    EXPECT_TRUE(w->chartSeriesUpdate("EngineData", "EngSpeed", r0 + 100, 2.0));
    EXPECT_EQ(speed->series->count(), 2);
    EXPECT_EQ(speed->series->at(1), QPointF(double(r0 + 100 - t0), 2.0));
    // A second value in the same millisecond replaces the first.
    EXPECT_FALSE(w->chartSeriesUpdate("EngineData", "EngSpeed", r0 + 150, 3.0));
    EXPECT_FALSE(w->chartSeriesUpdate("EngineData", "EngSpeed", r0 + 150, 4.0));
    EXPECT_EQ(speed->points.size(), 3);
    EXPECT_EQ(speed->points.last().y(), 4.0);
    EXPECT_EQ(speed->signal->nPhysicalValue, 4.0);
    EXPECT_FALSE(w->chartSeriesUpdate("EngineData", "Nope", r0, 1.0));

    // No further value: the waiting points are drawn when the refresh is
    // due, 100 ms after the last one (here: at once, the clock has passed).
    EXPECT_TRUE(w->chartFlushPending());
    ASSERT_TRUE(waitUntil([&] { return speed->series->count() == 3; }));
    EXPECT_EQ(speed->series->at(2).y(), 4.0);
    EXPECT_FALSE(speed->dirty);

    // 60001 ms after the start: every curve is emptied and the point lands
    // at x = 0.
    EXPECT_FALSE(w->chartSeriesUpdate("EngineData", "Gear", t0 + 30, 7.0));
    ASSERT_EQ(gear->points.size(), 1);
    EXPECT_TRUE(w->chartSeriesUpdate("EngineData", "Gear", t0 + 60001, 9.0));
    EXPECT_GE(w->chartState().startTime, t0 + 0);
    EXPECT_TRUE(speed->points.isEmpty());
    EXPECT_EQ(speed->series->count(), 0);
    ASSERT_EQ(gear->points.size(), 1);
    EXPECT_EQ(gear->points[0], QPointF(0, 9.0));
    EXPECT_EQ(gear->series->count(), 1);
    EXPECT_TRUE(log.contains("Chart Signal Data Clr..."));

    // "停止显示": values still reach the signal copy, no point is added.
    w->form()->actDataStop->setChecked(true);
    w->slotDbcSigChartDataStop();
    EXPECT_EQ(tipText(w.get()), "数据更新已关闭!");
    EXPECT_FALSE(w->chartSeriesUpdate("EngineData", "Gear", getCurrentMs() + 500, 11.0));
    EXPECT_EQ(gear->points.size(), 1);
    EXPECT_EQ(gear->signal->nPhysicalValue, 11.0);
    w->form()->actDataStop->setChecked(false);
    w->slotDbcSigChartDataStop();
    EXPECT_EQ(tipText(w.get()), "数据更新已开启!");
    EXPECT_TRUE(log.contains("数据已停止更新!"));

    // "数据清空" empties every curve and restarts the time.
    const qint64 before = getCurrentMs();
    const int room = gear->points.capacity();
    w->slotDbcSigChartDataClr();
    EXPECT_TRUE(gear->points.isEmpty());
    EXPECT_EQ(gear->points.capacity(), room) << "the buffer keeps its room";
    EXPECT_GE(w->chartState().startTime, before);
}

// A long buffer reaches a curve thinned to the plot's width (splines one
// point per two pixels, straight lines two per pixel), peaks kept; the
// buffer keeps every point. The refresh period follows the refresh's cost.
TEST_F(WindowChart, CurvesGetThinnedPointsAndTheBufferKeepsAll)
{
    for (int type : {0, 1}) {
        SCOPED_TRACE(type);
        QUserSysCfg::instance()->setInt("seriesType", type);
        auto w = openLoaded();
        ASSERT_EQ(w->listenSignalAdd("EngineData", "EngSpeed"), 0);
        ASSERT_TRUE(w->listenSignalChartEnable(0, true));
        DbcChartSeries *e = w->chartState().entries[0];
        const qint64 t0 = w->chartState().startTime;
        for (int i = 0; i < 20000; ++i)
            w->chartSeriesUpdate("EngineData", "EngSpeed", t0 + i, i == 12345 ? 5000.0 : std::sin(i * 0.01));
        EXPECT_TRUE(w->chartSeriesUpdate("EngineData", "EngSpeed", t0 + 25000, 0.0));
        EXPECT_EQ(e->points.size(), 20001);
        int plot = int(w->chartState().chart->plotArea().width());
        if (plot < 200)
            plot = 1000;
        const int cap = type == 0 ? plot / 2 : 2 * plot;
        EXPECT_EQ(e->series->count(), cap);
        double top = 0;
        for (const QPointF &p : e->series->points())
            top = std::max(top, p.y());
        EXPECT_EQ(top, 5000.0);
        // The period follows the pass's cost: five times it, 100 ms at least.
        EXPECT_GT(w->chartState().lastRefreshCostMs, 0.0);
        EXPECT_EQ(w->chartState().refreshInterval,
                  std::max<qint64>(100, qint64(5.0 * w->chartState().lastRefreshCostMs)));
    }
}

// The Y range spans the charted signals' limits; without curves it is
// -50 .. 50. Every range is shown with the view's 20 % margins.
TEST_F(WindowChart, YRangeFollowsTheChartedSignals)
{
    auto w = openLoaded();
    ASSERT_EQ(w->listenSignalAdd("EngineData", "EngTemp"), 0); // -168 .. 87
    ASSERT_EQ(w->listenSignalAdd("EngineData", "Gear"), 0);    // 0 .. 15
    struct Step {
        const char *what;
        std::function<void()> run;
        double lo, hi;
    };
    QUserMainWindowDBC *win = w.get();
    const Step steps[] = {
        {"Gear charted", [win] { win->listenSignalChartEnable(1, true); }, 0, 15},
        {"EngTemp too", [win] { win->listenSignalChartEnable(0, true); }, -168, 87},
        {"Gear off", [win] { win->listenSignalChartEnable(1, false); }, -168, 87},
        {"the last one off", [win] { win->listenSignalChartEnable(0, false); }, -50, 50},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.what);
        s.run();
        EXPECT_DOUBLE_EQ(w->chartView()->axisYLower(), s.lo);
        EXPECT_DOUBLE_EQ(w->chartView()->axisYUpper(), s.hi);
        const double m = 0.2 * (s.hi - s.lo);
        EXPECT_DOUBLE_EQ(axis(win, Qt::Vertical)->min(), s.lo - m);
        EXPECT_DOUBLE_EQ(axis(win, Qt::Vertical)->max(), s.hi + m);
    }
    // Auto fit restores the stored ranges after a zoom.
    axis(win, Qt::Horizontal)->setRange(100, 200);
    w->slotDbcSigChartAutoFit();
    EXPECT_EQ(axis(win, Qt::Horizontal)->min(), 0);
    EXPECT_EQ(axis(win, Qt::Horizontal)->max(), 60000);
}

// Stored values the settings load reads specially.
TEST_F(WindowChart, SettingsLoadRules)
{
    struct Case {
        const char *what;
        std::function<void(QUserSysCfg *)> set;
        std::function<void(QUserMainWindowDBC *, QUserSysCfg *)> check;
    };
    const Case cases[] = {
        {"lower-case true reads as off",
         [](QUserSysCfg *c) { c->setString("pointsVisible", "true"); },
         [](QUserMainWindowDBC *w, QUserSysCfg *) { EXPECT_FALSE(w->chartState().pointsVisible); }},
        {"exact TRUE reads as on",
         [](QUserSysCfg *c) { c->setString("pointsLabelVisible", "TRUE"); },
         [](QUserMainWindowDBC *w, QUserSysCfg *) { EXPECT_TRUE(w->chartState().pointsLabelVisible); }},
        {"a negative X range becomes 60000, written back",
         [](QUserSysCfg *c) { c->setInt("axisXMaxValue", -5); },
         [](QUserMainWindowDBC *w, QUserSysCfg *c) {
             EXPECT_EQ(w->chartState().axisXMaxValue, 60000.0);
             EXPECT_EQ(c->getInt("axisXMaxValue"), 60000);
         }},
        {"an X range of 0 becomes 60000, written back",
         [](QUserSysCfg *c) { c->setInt("axisXMaxValue", 0); },
         [](QUserMainWindowDBC *w, QUserSysCfg *c) {
             EXPECT_EQ(w->chartState().axisXMaxValue, 60000.0);
             EXPECT_EQ(c->getInt("axisXMaxValue"), 60000);
         }},
        {"an X range the chart cannot hold becomes 60000, written back",
         [](QUserSysCfg *c) { c->setInt("axisXMaxValue", 2000000000); },
         [](QUserMainWindowDBC *w, QUserSysCfg *c) {
             EXPECT_EQ(w->chartState().axisXMaxValue, 60000.0);
             EXPECT_EQ(c->getInt("axisXMaxValue"), 60000);
             EXPECT_EQ(w->chartView()->axisXMax(), 60000);
         }},
        {"an X range just past the end becomes 60000",
         [](QUserSysCfg *c) { c->setInt("axisXMaxValue", 3600001); },
         [](QUserMainWindowDBC *w, QUserSysCfg *) { EXPECT_EQ(w->chartState().axisXMaxValue, 60000.0); }},
        {"the ends of the range are kept",
         [](QUserSysCfg *c) { c->setInt("axisXMaxValue", 3600000); },
         [](QUserMainWindowDBC *w, QUserSysCfg *) { EXPECT_EQ(w->chartState().axisXMaxValue, 3600000.0); }},
        {"any non-zero series type is a line",
         [](QUserSysCfg *c) { c->setInt("seriesType", 7); },
         [](QUserMainWindowDBC *w, QUserSysCfg *) { EXPECT_EQ(w->chartState().seriesType, 1); }},
        {"X range of 3000",
         [](QUserSysCfg *c) { c->setInt("axisXMaxValue", 3000); },
         [](QUserMainWindowDBC *w, QUserSysCfg *) {
             EXPECT_EQ(w->chartView()->axisXMax(), 3000);
             EXPECT_EQ(axis(w, Qt::Horizontal)->max(), 3000);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        settingsReset();
        QUserSysCfg *cfg = QUserSysCfg::instance();
        c.set(cfg);
        std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
        c.check(w.get(), cfg);
    }
}

// The chart settings dialog: its rows; OK without a change leaves the
// curves; a new series kind rebuilds every curve; the settings are saved and
// a window opened later starts with them, as does the splitter layout.
TEST_F(WindowChart, ChartSettingsSurviveACloseAndReopen)
{
    QByteArray rootState;
    {
        auto w = openLoaded();
        ASSERT_EQ(w->listenSignalAdd("EngineData", "EngSpeed"), 0);
        ASSERT_EQ(w->listenSignalAdd("EngineData", "Gear"), 0);
        ASSERT_TRUE(w->listenSignalChartEnable(0, true));
        ASSERT_TRUE(w->listenSignalChartEnable(1, true));
        QXYSeries *before = w->chartState().entries[0]->series;

        QUserPromptScript prompts;
        QList<QStringList> shown;
        prompts.answerExec([&](QDialog *d) {
            shown = tableRows(d);
            return clickOk(d) ? d->result() : 0;
        });
        w->slotDbcSigChartSetting();
        ASSERT_EQ(prompts.records().size(), 1);
        EXPECT_EQ(prompts.records()[0].title, "图表参数设置");
        EXPECT_EQ(shown, QList<QStringList>({
                             {"数据点可视:", "使能[ ]", "曲线(折线无效)上样本处用点标记"},
                             {"数据点坐标可视:", "使能[ ]", "曲线(折线无效)上显示样本坐标(折线无效)"},
                             {"图表类型:", "曲线{0/2}", "曲线(CPU使用率高) 折线(CPU使用率低)"},
                             {"X轴最大时刻:", "60000", "X轴的最长记录时间 单位:毫秒"},
                         }));
        EXPECT_EQ(w->chartState().entries[0]->series, before) << "no change: the curves stay";

        // Cancel changes nothing.
        prompts.answerExec([&](QDialog *d) {
            cellWidget<QComboBox>(d, 2)->setCurrentIndex(1);
            return 0;
        });
        w->slotDbcSigChartSetting();
        EXPECT_EQ(w->chartState().seriesType, 0);

        prompts.answerExec([&](QDialog *d) {
            cellWidget<QCheckBox>(d, 0)->setChecked(true);
            cellWidget<QComboBox>(d, 2)->setCurrentIndex(1);
            cellWidget<QLineEdit>(d, 3)->setText("5000");
            return clickOk(d) ? d->result() : 0;
        });
        w->slotDbcSigChartSetting();
        EXPECT_EQ(prompts.unanswered(), 0);
        ASSERT_EQ(w->chartState().entries.size(), 2);
        for (DbcChartSeries *e : w->chartState().entries) {
            EXPECT_NE(qobject_cast<QLineSeries *>(e->series), nullptr);
            EXPECT_EQ(qobject_cast<QSplineSeries *>(e->series), nullptr);
            EXPECT_TRUE(e->series->pointsVisible());
            EXPECT_EQ(e->seriesType, 1);
        }
        EXPECT_EQ(w->chartView()->axisXMax(), 5000);
        w->rootSplitter()->setSizes({100, 700});
        rootState = w->rootSplitter()->saveState();
    }
    // Closed: the file holds the settings.
    QSettings file(QUserSysCfg::instance()->filePath(), QSettings::IniFormat);
    EXPECT_EQ(file.value("seriesType").toString(), "1");
    EXPECT_EQ(file.value("pointsVisible").toString(), "TRUE");
    EXPECT_EQ(file.value("pointsLabelVisible").toString(), "FALSE");
    EXPECT_EQ(file.value("axisXMaxValue").toString(), "5000");
    EXPECT_EQ(file.value("dbcSpliteRootRate").toByteArray(), rootState);
    EXPECT_FALSE(file.value("dbcSpliteRightRate").toByteArray().isEmpty());

    std::unique_ptr<QUserMainWindowDBC> again(new QUserMainWindowDBC);
    EXPECT_EQ(again->chartState().seriesType, 1);
    EXPECT_TRUE(again->chartState().pointsVisible);
    EXPECT_EQ(again->chartState().axisXMaxValue, 5000.0);
    EXPECT_EQ(again->chartView()->axisXMax(), 5000);
    EXPECT_EQ(again->rootSplitter()->saveState(), rootState);

    // An X range typed as something else than a number, or outside the
    // range the chart can hold, is refused with a box naming the range; the
    // axis keeps its range, and every other setting typed with it is taken
    // and stored.
    for (const char *typed : {"abc", "0", "-5", "99", "3600001", "2000000000", "1e300"}) {
        SCOPED_TRACE(typed);
        const bool points = !again->chartState().pointsVisible;
        QUserPromptScript prompts;
        prompts.answerExec([&](QDialog *d) {
            cellWidget<QCheckBox>(d, 0)->setChecked(points);
            cellWidget<QLineEdit>(d, 3)->setText(typed);
            return clickOk(d) ? d->result() : 0;
        });
        prompts.answerExec(1);
        again->slotDbcSigChartSetting();
        EXPECT_EQ(prompts.unanswered(), 0);
        ASSERT_EQ(boxes(prompts).size(), 2) << "the settings dialog, then the box";
        EXPECT_EQ(boxes(prompts)[1].first, "提示");
        EXPECT_TRUE(boxes(prompts)[1].second.contains("X轴最大时刻须在100到3600000毫秒之间!"))
            << boxes(prompts)[1].second.toStdString();
        EXPECT_EQ(again->chartState().axisXMaxValue, 5000.0);
        EXPECT_EQ(again->chartState().pointsVisible, points);
        EXPECT_EQ(QUserSysCfg::instance()->getInt("axisXMaxValue"), 5000);
        EXPECT_EQ(QUserSysCfg::instance()->getString("pointsVisible"), points ? "TRUE" : "FALSE");
    }
    // The ends of the range are taken.
    for (const char *typed : {"100", "3600000"}) {
        QUserPromptScript prompts;
        prompts.answerExec([&](QDialog *d) {
            cellWidget<QLineEdit>(d, 3)->setText(typed);
            return clickOk(d) ? d->result() : 0;
        });
        again->slotDbcSigChartSetting();
        EXPECT_EQ(boxes(prompts).size(), 1) << "the settings dialog alone";
        EXPECT_EQ(again->chartState().axisXMaxValue, QString(typed).toDouble());
    }
}

// An X range the dialog refuses leaves the axis as it was and only that:
// the point marks, the point labels and the series kind typed with it are
// taken, stored and drawn, and the box names the range the X axis needs.
TEST_F(WindowChart, RefusedXRangeKeepsTheOtherSettingsTypedWithIt)
{
    auto w = openLoaded();
    ASSERT_EQ(w->listenSignalAdd("EngineData", "EngSpeed"), 0);
    ASSERT_TRUE(w->listenSignalChartEnable(0, true));
    QUserPromptScript prompts;
    prompts.answerExec([&](QDialog *d) {
        cellWidget<QCheckBox>(d, 0)->setChecked(true);
        cellWidget<QCheckBox>(d, 1)->setChecked(true);
        cellWidget<QComboBox>(d, 2)->setCurrentIndex(1);
        cellWidget<QLineEdit>(d, 3)->setText("50");
        return clickOk(d) ? d->result() : 0;
    });
    prompts.answerExec(1);
    w->slotDbcSigChartSetting();
    ASSERT_EQ(boxes(prompts).size(), 2);
    EXPECT_TRUE(boxes(prompts)[1].second.contains("X轴最大时刻须在100到3600000毫秒之间!"));
    EXPECT_TRUE(w->chartState().pointsVisible);
    EXPECT_TRUE(w->chartState().pointsLabelVisible);
    EXPECT_EQ(w->chartState().seriesType, 1);
    EXPECT_EQ(w->chartState().axisXMaxValue, 60000.0) << "the refused field keeps its value";
    QUserSysCfg *cfg = QUserSysCfg::instance();
    EXPECT_EQ(cfg->getString("pointsVisible"), "TRUE");
    EXPECT_EQ(cfg->getString("pointsLabelVisible"), "TRUE");
    EXPECT_EQ(cfg->getInt("seriesType"), 1);
    EXPECT_EQ(cfg->getInt("axisXMaxValue"), 60000);
    ASSERT_EQ(w->chartState().entries.size(), 1);
    EXPECT_NE(qobject_cast<QLineSeries *>(w->chartState().entries[0]->series), nullptr) << "the curve is redrawn";
    EXPECT_TRUE(w->chartState().entries[0]->series->pointsVisible());
    EXPECT_EQ(w->chartView()->axisXMax(), 60000);

    // The dialog comes up again with what was taken, the X field with the
    // range the axis kept; a valid range typed there is taken.
    QList<QStringList> shown;
    prompts.answerExec([&](QDialog *d) {
        shown = tableRows(d);
        cellWidget<QLineEdit>(d, 3)->setText("5000");
        return clickOk(d) ? d->result() : 0;
    });
    w->slotDbcSigChartSetting();
    ASSERT_EQ(shown.size(), 4);
    EXPECT_EQ(shown[0][1], "使能[x]");
    EXPECT_EQ(shown[2][1], "折线{1/2}");
    EXPECT_EQ(shown[3][1], "60000");
    EXPECT_EQ(w->chartState().axisXMaxValue, 5000.0);
    EXPECT_EQ(w->chartView()->axisXMax(), 5000);
}

// The analysis settings: protocol and the decoding of sent frames, stored
// on OK when changed; the open window's handle keeps its protocol.
TEST_F(WindowChart, AnalysisSettings)
{
    auto w = openLoaded();
    ASSERT_EQ(w->listenSignalAdd("EngineData", "Gear"), 0);
    QUserPromptScript prompts;
    QList<QStringList> shown;
    QString icon;
    prompts.answerExec([&](QDialog *d) {
        shown = tableRows(d);
        icon = iconOf(d);
        cellWidget<QComboBox>(d, 0)->setCurrentIndex(1);
        cellWidget<QCheckBox>(d, 1)->setChecked(true);
        return clickOk(d) ? d->result() : 0;
    });
    w->slotDbcSigAnalysisSetting();
    ASSERT_EQ(prompts.records().size(), 1);
    EXPECT_EQ(prompts.records()[0].title, "解析参数设置");
    EXPECT_EQ(icon, ":/res/gear.png");
    EXPECT_EQ(shown, QList<QStringList>({
                         {"DBC协议类型:", "CAN普通{0/2}", "根据实际协议选择"},
                         {"解析发送帧:", "开启 [ ]", "发送方向的数据是否参与解析"},
                     }));
    EXPECT_EQ(w->protocolType(), 1);
    EXPECT_TRUE(w->chartState().sendDataAnalysisEnable);
    EXPECT_EQ(QUserSysCfg::instance()->getInt("dbcProcotolType"), 1);
    EXPECT_EQ(QUserSysCfg::instance()->getString("sendDataAnalysisEnable"), "TRUE");
    // The handle keeps plain CAN: a standard frame still decodes, and a
    // frame sent by the program now counts.
    QUserCanMsg f;
    f.idText = "00000100 ";
    f.lenText = "8";
    f.dataText = "0000000003000000";
    f.direction = 1;
    f.status = MsgTagDbcSend;
    w->soltCanMsgRec("X", f);
    EXPECT_EQ(w->listenSignalList().at(0).nRawValue, 3);
}

TEST_F(WindowChart, HelpAndAttributeBoxes)
{
    auto w = openLoaded();
    struct Box {
        QString title, icon;
        QList<QStringList> rows;
    };
    QList<Box> seen;
    QUserPromptScript prompts;
    auto capture = [&](QDialog *d) {
        seen.append({d->windowTitle(), iconOf(d), tableRows(d)});
        return 1;
    };
    for (int i = 0; i < 8; ++i)
        prompts.answerExec(capture);

    w->slotDbcHelp();
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].title, "DBC解析帮助");
    EXPECT_EQ(seen[0].icon, ":/res/msg_icon_info.png");
    QStringList topics;
    for (const QStringList &r : seen[0].rows)
        topics << r.value(0);
    EXPECT_EQ(topics, QStringList({"操作步骤:", "解析范围:", "加载DBC:", "选择消息:", "选择方法:", "图表显示:",
                                   "波形X轴缩放:", "波形X轴范围:", "波形Y轴缩放:", "波形Y轴范围:", "颜色修改:",
                                   "保存工程:", "打开工程:", "属性查看:"}));
    EXPECT_EQ(seen[0].rows[0].value(1), "<加载DBC><添加信号>");
    EXPECT_EQ(seen[0].rows[6].value(1), "利用鼠标滚轮进行缩放");
    EXPECT_EQ(seen[0].rows[7].value(1), "<设置><图表设置><X轴最大时刻>");
    EXPECT_EQ(seen[0].rows[8].value(1), "利用Ctrl键+鼠标滚轮进行缩放");
    for (const QStringList &r : seen[0].rows)
        EXPECT_FALSE(r.value(1).isEmpty()) << qPrintable(r.value(0));

    // Tree: the attributes of a signal and of a message.
    QUserTreeWidget *tree = w->msgTree();
    QTreeWidgetItem *eng = tree->topLevelItem(0);
    tree->setCurrentItem(eng->child(0));
    w->soltTreeWidgetPopMenueActAttribute();
    tree->setCurrentItem(eng);
    w->soltTreeWidgetPopMenueActAttribute();
    tree->setCurrentItem(tree->topLevelItem(1)); // a message without signals
    w->soltTreeWidgetPopMenueActAttribute();
    ASSERT_EQ(seen.size(), 4);
    EXPECT_EQ(seen[1].title, "EngSpeed 属性");
    EXPECT_EQ(seen[1].icon, ":/res/msg_icon_info.png");
    EXPECT_EQ(seen[1].rows.value(0).value(0), "所属消息:");
    EXPECT_EQ(seen[1].rows.value(2).value(1), "EngSpeed");
    EXPECT_EQ(seen[2].title, "EngineData 属性");
    EXPECT_EQ(seen[2].rows.value(0), QStringList({"消息名称:", "EngineData"}));
    EXPECT_EQ(seen[3].title, "Empty 属性");

    // Double-click in the tree: only signal items in column 0 open a box
    // (the default icon); the rest is logged.
    LogCapture log;
    w->soltTreeWidgetItemDoubleClick(eng->child(1), 0);
    w->soltTreeWidgetItemDoubleClick(eng, 0);
    w->soltTreeWidgetItemDoubleClick(eng->child(1), 1);
    w->soltTreeWidgetItemDoubleClick(nullptr, 0);
    ASSERT_EQ(seen.size(), 5);
    EXPECT_EQ(seen[4].title, "EngTemp");
    EXPECT_EQ(seen[4].icon, ":/res/chart.png");
    EXPECT_TRUE(log.contains("Warning:Only Ack Signal..."));
    EXPECT_TRUE(log.contains("Warning:Only Ack column 0..."));
    EXPECT_TRUE(log.contains("ERROR:Msg List Not Ready..."));

    // The listen table: the signal's attributes and its message's last frame.
    ASSERT_EQ(w->listenSignalAdd("EngineData", "Gear"), 0);
    QUserCanMsg f;
    f.idText = "00000100 ";
    f.lenText = "8";
    f.dataText = "1122334405667788";
    w->soltCanMsgRec("X", QVector<QUserCanMsg>{f});
    modelRefresh(w.get());
    w->soltTableViewSignalItemDoubleClick(w->listenModel()->index(0, 1));
    w->soltTableViewSignalItemDoubleClick(w->listenModel()->index(0, 9));
    w->soltTableViewSignalItemDoubleClick(w->listenModel()->index(0, 5)); // nothing
    ASSERT_EQ(seen.size(), 7);
    EXPECT_EQ(seen[5].title, "Gear 属性");
    EXPECT_EQ(seen[6].title, "Gear 数据信息");
    EXPECT_EQ(seen[6].icon, ":/res/chart.png");
    EXPECT_EQ(seen[6].rows.value(0), QStringList({"消息名称:", "EngineData"}));
    bool dataShown = false;
    for (const QStringList &r : seen[6].rows)
        dataShown |= r.value(1).remove(' ').contains("1122334405667788");
    EXPECT_TRUE(dataShown);
}

// The listen table's message cell when the row's message is not listened
// (a project may say so) or the row does not exist: warning boxes.
TEST_F(WindowChart, FrameBoxFailures)
{
    auto w = openLoaded();
    ASSERT_EQ(w->listenSignalAdd("EngineData", "Gear"), 0);
    w->listenMsgClear();
    QStandardItemModel other(10, 10);
    QUserPromptScript prompts;
    prompts.answerExec(1);
    prompts.answerExec(1);
    LogCapture log;
    modelRefresh(w.get());
    w->soltTableViewSignalItemDoubleClick(w->listenModel()->index(0, 9));
    w->soltTableViewSignalItemDoubleClick(other.index(5, 9));
    w->soltTableViewSignalItemDoubleClick(other.index(5, 1));
    const auto b = boxes(prompts);
    ASSERT_EQ(b.size(), 2);
    EXPECT_EQ(b[0].first, "提示");
    EXPECT_TRUE(b[0].second.contains("消息信息获取失败!!!"));
    EXPECT_TRUE(b[1].second.contains("信号信息获取失败!!!"));
    EXPECT_EQ(log.count("错误:信号信息获取失败..."), 2);
}
