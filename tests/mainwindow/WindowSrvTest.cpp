// The data-tab registry: its entries, properties and traffic counters.

#include "tests/mainwindow/MainWindowTestEnv.h"

#include "mainwindow/QUserTableModelCan.h"
#include "mainwindow/QUserWindowSrv.h"
#include "widgets/QUserTableView.h"

#include <QPointer>

#include <QTimer>

TEST(WindowSrv, GlobalEntryAndEntryRules)
{
    QUserWindowSrv srv;
    ASSERT_NE(srv.find("GLOBAL"), nullptr);
    EXPECT_EQ(srv.count(), 1);

    mwtest::LogCapture log;
    EXPECT_FALSE(srv.tabCreat(QString()));
    EXPECT_TRUE(log.contains("ERROR:QUserWindowSrv Function tabCreat fail, para err..."));

    EXPECT_TRUE(srv.tabCreat("USBCAN2-0-1"));
    QUserWindowTabData *first = srv.find("USBCAN2-0-1");
    ASSERT_NE(first, nullptr);
    first->intSet("k", 5);
    EXPECT_TRUE(srv.tabCreat("USBCAN2-0-1")); // exists: kept as it is
    EXPECT_TRUE(log.contains("WARNING:QUserWindowSrv tabCreat, tab already exist..."));
    EXPECT_EQ(srv.find("USBCAN2-0-1"), first);
    EXPECT_EQ(srv.tabIntGet("USBCAN2-0-1", "k"), 5);

    EXPECT_FALSE(srv.tabDelete("USBCAN2-0-9"));
    EXPECT_TRUE(log.contains("ERROR:QUserWindowSrv tabDelete fail, tab not exist..."));
    EXPECT_TRUE(srv.tabDelete("USBCAN2-0-1"));
    EXPECT_EQ(srv.find("USBCAN2-0-1"), nullptr);
    EXPECT_EQ(srv.count(), 1);

    srv.clear();
    EXPECT_EQ(srv.count(), 0);
}

TEST(WindowSrv, PropertiesOfPresentAndAbsentEntries)
{
    QUserWindowSrv srv;
    srv.tabCreat("TRNB702-0-3");
    struct Case {
        const char *tab;
        bool present;
    } const cases[] = {{"TRNB702-0-3", true}, {"GLOBAL", true}, {"TRNB702-0-4", false}, {"", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tab);
        EXPECT_EQ(srv.tabIntGet(c.tab, "absent"), 0);
        EXPECT_TRUE(srv.tabStrGet(c.tab, "absent").isNull());
        EXPECT_EQ(srv.tabIntSet(c.tab, "i", 42), c.present);
        EXPECT_EQ(srv.tabStrSet(c.tab, "scrollState", "bottom"), c.present);
        EXPECT_EQ(srv.tabIntGet(c.tab, "i"), c.present ? 42 : 0);
        EXPECT_EQ(srv.tabStrGet(c.tab, "scrollState"), c.present ? QString("bottom") : QString());
    }
}

TEST(WindowTabData, RatesAreTheCountsOfTheLastSecond)
{
    QUserWindowTabData data;
    ASSERT_NE(data.rateTimerGet(), nullptr);
    EXPECT_TRUE(data.rateTimerGet()->isActive());
    EXPECT_EQ(data.rateTimerGet()->interval(), 1000);

    data.rxCntAdd(250);
    data.msgRateTimeTask();
    EXPECT_EQ(data.rxRateGet(), 250u);
    data.msgRateTimeTask();
    EXPECT_EQ(data.rxRateGet(), 0u);
    EXPECT_EQ(data.rxCntGet(), 250u);

    // A counter wrapping between two ticks still gives the right rate.
    data.txCntAdd(4294967295u);
    data.msgRateTimeTask();
    data.txCntAdd(1);
    EXPECT_EQ(data.txCntGet(), 0u);
    data.msgRateTimeTask();
    EXPECT_EQ(data.txRateGet(), 1u);

    data.cntClr();
    EXPECT_EQ(data.txCntGet(), 0u);
    EXPECT_EQ(data.rxCntGet(), 0u);
    EXPECT_EQ(data.txRateGet(), 0u);
    EXPECT_EQ(data.rxRateGet(), 0u);
    data.rxCntAdd(3);
    data.msgRateTimeTask();
    EXPECT_EQ(data.rxRateGet(), 3u);
}

// A frame model is the largest thing a tab owns; "GLOBAL" is never shown,
// so it gets none (nor a view).
TEST(WindowSrv, ChannelTabsGetViewAndFrameModelGlobalNeither)
{
    QUserWindowSrv srv;
    QUserWindowTabData *global = srv.find("GLOBAL");
    ASSERT_NE(global, nullptr);
    EXPECT_EQ(global->model, nullptr);
    EXPECT_EQ(global->view, nullptr);

    QUserTableView *view = nullptr;
    QUserTableModelCan *model = nullptr;
    EXPECT_FALSE(srv.tabCreat(QString(), view, model));
    EXPECT_TRUE(srv.tabCreat("TRNB702-0-0", view, model));
    ASSERT_NE(view, nullptr);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(view->parent(), nullptr);
    EXPECT_EQ(model->parent(), nullptr);
    QUserWindowTabData *data = srv.find("TRNB702-0-0");
    EXPECT_EQ(data->view, view);
    EXPECT_EQ(data->model, model);
    // Present already: nothing made, the out values untouched.
    QUserTableView *view2 = nullptr;
    QUserTableModelCan *model2 = nullptr;
    EXPECT_TRUE(srv.tabCreat("TRNB702-0-0", view2, model2));
    EXPECT_EQ(view2, nullptr);
    EXPECT_EQ(model2, nullptr);
    EXPECT_EQ(srv.find("TRNB702-0-0"), data);
    // The registry takes the view down with the entry at clear().
    QPointer<QUserTableView> guard(view);
    srv.clear();
    EXPECT_TRUE(guard.isNull());
}
