// The DBC window's listen list: every operation keeps the list, its index,
// the listened messages, the analysis handle, the table model and the chart
// in step; frames decode into the rows; a delete re-syncs the handle so a
// second message of the same key keeps decoding; drops, the chart check box,
// the colour chooser and project files.
#include <gtest/gtest.h>

#include <QColorDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QTableWidget>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QSplineSeries>
#include <QtTest/QTest>

#include "tests/dbc/DbcWindowSupport.h"
#include "dbc/DbcPrjFile.h"
#include "dbc/QUserChartView.h"
#include "widgets/QUserTableView.h"
#include "widgets/QUserTreeWidget.h"

using namespace dbcwin;

namespace {

QString listenDbc()
{
    return QString::fromUtf8("BO_ 256 EngineData: 8 ECU\n"
                             " SG_ EngSpeed : 0|16@1+ (0.25,0) [0|16383.75] \"rpm\" ECU\n"
                             " SG_ EngTemp : 23|8@0- (1,-40) [-168|87] \"degC\" ECU\n"
                             " SG_ Gear : 32|4@1+ (1,0) [0|15] \"\" ECU\n"
                             "BO_ 512 Body: 8 ECU\n"
                             " SG_ Door : 0|1@1+ (1,0) [0|1] \"\" ECU\n"
                             " SG_ Light : 1|1@1+ (1,0) [0|1] \"\" ECU\n"
                             "BO_ 291 StdA: 8 ECU\n"
                             " SG_ SA : 0|8@1+ (1,0) [0|255] \"\" ECU\n"
                             "BO_ 2566844672 EEC1_A: 8 ECU\n"
                             " SG_ RpmA : 24|16@1+ (0.125,0) [0|8031.875] \"rpm\" ECU\n"
                             "BO_ 2566844706 EEC1_B: 8 ECU\n"
                             " SG_ RpmB : 24|16@1+ (0.125,0) [0|8031.875] \"rpm\" ECU\n"
                             "BO_ 1024 Empty: 0 ECU\n");
}

QUserCanMsg frame(uint32_t id, bool ext, const QByteArray &data, int direction = 0)
{
    QUserCanMsg m;
    m.idText = QString::asprintf("%08X ", id);
    m.extended = ext ? 1 : 0;
    m.lenText = QString::number(data.size());
    m.dataText = QString::fromLatin1(data.toHex().toUpper());
    m.protocol = 0;
    m.direction = uint8_t(direction);
    // A frame this program sent carries its sender's tag.
    m.status = direction ? MsgTagDbcSend : 0;
    m.hostTime = getCurrentMs();
    return m;
}

// A received frame, as the registry's receiveMsg hands it over.
void receive(QUserMainWindowDBC *w, const QUserCanMsg &m)
{
    w->soltCanMsgRec(QStringLiteral("TRNA702-0-1"), QVector<QUserCanMsg>{m});
}

QStringList listenNames(QUserMainWindowDBC *w)
{
    QStringList out;
    for (const QUserDbcSignal &s : w->listenSignalList())
        out << s.msgName + "." + s.strName;
    return out;
}

QStringList chartNames(QUserMainWindowDBC *w)
{
    QStringList out;
    for (const DbcChartSeries *e : w->chartState().entries)
        out << e->signal->msgName + "." + e->signal->strName;
    return out;
}

// The list, the model, the index, the listened messages, the handle and the
// chart agree.
void expectInStep(QUserMainWindowDBC *w, const QStringList &listen, const QStringList &charted)
{
    EXPECT_EQ(listenNames(w), listen);
    QStringList model;
    QUserTableModelDBC *m = w->listenModel();
    for (int i = 0; i < m->count(); ++i) {
        model << m->signalAt(i)->msgName + "." + m->signalAt(i)->strName;
        EXPECT_EQ(m->signalAt(i)->chartEnable, w->listenSignalList().at(i).chartEnable) << i;
        EXPECT_EQ(m->signalAt(i)->color, w->listenSignalList().at(i).color) << i;
    }
    EXPECT_EQ(model, listen);
    int indexed = 0;
    for (auto it = w->listenIndex().constBegin(); it != w->listenIndex().constEnd(); ++it) {
        for (int row : it.value()) {
            ++indexed;
            ASSERT_LT(row, w->listenSignalList().size());
            EXPECT_EQ(w->listenSignalList().at(row).msgName, it.key());
        }
    }
    EXPECT_EQ(indexed, listen.size());
    QSet<QString> msgs;
    for (const QString &n : listen)
        msgs.insert(n.section('.', 0, 0));
    const QList<QString> keys = w->listenMessages().keys();
    EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()), msgs);
    EXPECT_EQ(handleNames(w), msgs);
    QStringList c = chartNames(w);
    QStringList want = charted;
    c.sort();
    want.sort();
    EXPECT_EQ(c, want);
    EXPECT_EQ(w->chartState().chart->series().size(), charted.size());
}

QTreeWidgetItem *treeItem(QUserMainWindowDBC *w, const QString &msg, const QString &sig = QString())
{
    for (int i = 0; i < w->msgTree()->topLevelItemCount(); ++i) {
        QTreeWidgetItem *top = w->msgTree()->topLevelItem(i);
        if (top->text(0).section(' ', 0, 0) != msg)
            continue;
        if (sig.isEmpty())
            return top;
        for (int k = 0; k < top->childCount(); ++k)
            if (top->child(k)->text(0) == sig)
                return top->child(k);
    }
    return nullptr;
}

class WindowListen : public DbcWindowTest
{
protected:
    void SetUp() override
    {
        DbcWindowTest::SetUp();
        ASSERT_TRUE(writeDbc(dbcPath("listen.dbc"), listenDbc()));
    }
    std::unique_ptr<QUserMainWindowDBC> openLoaded()
    {
        std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
        EXPECT_EQ(loadDbc(w.get(), dbcPath("listen.dbc")), 1);
        return w;
    }
    // The raw and physical cells of a listen row after the refresh.
    static QPair<QString, QString> values(QUserMainWindowDBC *w, int row)
    {
        modelRefresh(w);
        return {cellText(w, row, 4), cellText(w, row, 5)};
    }
};

} // namespace

// A table of operations, each followed by the check that list, model,
// index, listened messages, handle and chart agree.
TEST_F(WindowListen, OperationsKeepEverythingInStep)
{
    auto w = openLoaded();
    QUserMainWindowDBC *win = w.get();
    QUserPromptScript prompts;
    auto menuAdd = [win](const char *msg, const char *sig) {
        return [win, msg, sig] {
            win->msgTree()->setCurrentItem(treeItem(win, msg, sig ? QString(sig) : QString()));
            win->soltTreeWidgetPopMenueActAdd();
        };
    };
    auto menuAt = [win](int row, void (QUserMainWindowDBC::*slot)()) {
        return [win, row, slot] {
            modelRefresh(win);
            win->setListenMenuIndex(win->listenModel()->index(row, 1));
            (win->*slot)();
        };
    };
    struct Op {
        const char *what;
        std::function<void()> run;
        int answer; // a question box to answer (-1: none expected)
        const char *box;
        QStringList listen;
        QStringList charted;
    };
    const QStringList eng = {"EngineData.EngSpeed", "EngineData.EngTemp", "EngineData.Gear"};
    const Op ops[] = {
        {"add a signal by menu", menuAdd("EngineData", "EngSpeed"), -1, nullptr, {"EngineData.EngSpeed"}, {}},
        {"the same signal by drop", [win] { win->slotTabViewDropEvent("EngineData 256", "EngSpeed"); }, -1,
         "信号已存在!!!", {"EngineData.EngSpeed"}, {}},
        {"a partly listened message by menu", menuAdd("EngineData", nullptr), -1, nullptr, eng, {}},
        {"the same message again", menuAdd("EngineData", nullptr), -1, "信号已存在!!!", eng, {}},
        {"a message by drop", [win] { win->slotTabViewDropEvent("", "Body 512"); }, -1, nullptr,
         eng + QStringList{"Body.Door", "Body.Light"}, {}},
        {"an unknown signal by drop", [win] { win->slotTabViewDropEvent("Body 512", "Nope"); }, -1, "信号不存在!!!",
         eng + QStringList{"Body.Door", "Body.Light"}, {}},
        {"a message without signals", menuAdd("Empty", nullptr), -1, "信号不存在!!!",
         eng + QStringList{"Body.Door", "Body.Light"}, {}},
        {"chart on for EngTemp", [win] { win->listenSignalChartEnable(1, true); }, -1, nullptr,
         eng + QStringList{"Body.Door", "Body.Light"}, {"EngineData.EngTemp"}},
        {"chart on for Door", [win] { win->listenSignalChartEnable(3, true); }, -1, nullptr,
         eng + QStringList{"Body.Door", "Body.Light"}, {"EngineData.EngTemp", "Body.Door"}},
        {"chart on twice", [win] { win->listenSignalChartEnable(3, true); }, -1, nullptr,
         eng + QStringList{"Body.Door", "Body.Light"}, {"EngineData.EngTemp", "Body.Door"}},
        {"row 1 up", menuAt(1, &QUserMainWindowDBC::soltListenSigListPopMenueActUp), -1, nullptr,
         {"EngineData.EngTemp", "EngineData.EngSpeed", "EngineData.Gear", "Body.Door", "Body.Light"},
         {"EngineData.EngTemp", "Body.Door"}},
        {"first row up", menuAt(0, &QUserMainWindowDBC::soltListenSigListPopMenueActUp), -1, nullptr,
         {"EngineData.EngTemp", "EngineData.EngSpeed", "EngineData.Gear", "Body.Door", "Body.Light"},
         {"EngineData.EngTemp", "Body.Door"}},
        {"last row down", menuAt(4, &QUserMainWindowDBC::soltListenSigListPopMenueActDown), -1, nullptr,
         {"EngineData.EngTemp", "EngineData.EngSpeed", "EngineData.Gear", "Body.Door", "Body.Light"},
         {"EngineData.EngTemp", "Body.Door"}},
        {"row 2 down", menuAt(2, &QUserMainWindowDBC::soltListenSigListPopMenueActDown), -1, nullptr,
         {"EngineData.EngTemp", "EngineData.EngSpeed", "Body.Door", "EngineData.Gear", "Body.Light"},
         {"EngineData.EngTemp", "Body.Door"}},
        {"delete declined", menuAt(0, &QUserMainWindowDBC::soltListenSigListPopMenueActDel), 0, nullptr,
         {"EngineData.EngTemp", "EngineData.EngSpeed", "Body.Door", "EngineData.Gear", "Body.Light"},
         {"EngineData.EngTemp", "Body.Door"}},
        {"delete a charted signal", menuAt(0, &QUserMainWindowDBC::soltListenSigListPopMenueActDel), 1, nullptr,
         {"EngineData.EngSpeed", "Body.Door", "EngineData.Gear", "Body.Light"}, {"Body.Door"}},
        {"delete one of two Body signals", menuAt(1, &QUserMainWindowDBC::soltListenSigListPopMenueActDel), 1,
         nullptr, {"EngineData.EngSpeed", "EngineData.Gear", "Body.Light"}, {}},
        {"delete the last Body signal", [win] { win->listenSignalDelete(2); }, -1, nullptr,
         {"EngineData.EngSpeed", "EngineData.Gear"}, {}},
        {"delete a row past the end", [win] { win->listenSignalDelete(7); }, -1, nullptr,
         {"EngineData.EngSpeed", "EngineData.Gear"}, {}},
        {"chart on for a row past the end", [win] { EXPECT_FALSE(win->listenSignalChartEnable(9, true)); }, -1,
         nullptr, {"EngineData.EngSpeed", "EngineData.Gear"}, {}},
        {"chart on for Gear", [win] { win->listenSignalChartEnable(1, true); }, -1, nullptr,
         {"EngineData.EngSpeed", "EngineData.Gear"}, {"EngineData.Gear"}},
        {"clear declined", [win] { win->soltListenSigListPopMenueActClr(); }, 0, nullptr,
         {"EngineData.EngSpeed", "EngineData.Gear"}, {"EngineData.Gear"}},
        {"clear", [win] { win->soltListenSigListPopMenueActClr(); }, 1, nullptr, {}, {}},
    };
    for (const Op &op : ops) {
        SCOPED_TRACE(op.what);
        const int before = prompts.records().size();
        if (op.answer >= 0)
            prompts.answerExec(op.answer);
        else if (op.box)
            prompts.answerExec(1);
        op.run();
        EXPECT_EQ(prompts.pending(), 0);
        const auto all = boxes(prompts);
        if (op.box) {
            ASSERT_EQ(prompts.records().size(), before + 1);
            EXPECT_EQ(all.last().first, "提示");
            EXPECT_TRUE(all.last().second.contains(QString::fromUtf8(op.box)));
        } else if (op.answer >= 0) {
            ASSERT_EQ(prompts.records().size(), before + 1);
            EXPECT_EQ(all.last().first, "警告");
        } else {
            EXPECT_EQ(prompts.records().size(), before) << "no box";
        }
        expectInStep(win, op.listen, op.charted);
    }

    // "添加所有信号到监听列表": asks, adds every signal of every message.
    prompts.answerExec(1);
    win->soltTreeWidgetPopMenueActAddAll();
    EXPECT_EQ(listenNames(win).size(), 8);
    EXPECT_EQ(win->messageBox().tipLabelWidget()->text(), "操作完成!");
    // Each new signal got a colour of three components 0..255.
    for (const QUserDbcSignal &s : win->listenSignalList()) {
        const QStringList parts = s.color.split(',');
        ASSERT_EQ(parts.size(), 3) << qPrintable(s.color);
        for (const QString &p : parts) {
            bool ok = false;
            const int v = p.toInt(&ok);
            EXPECT_TRUE(ok && v >= 0 && v <= 255) << qPrintable(s.color);
        }
    }
    EXPECT_EQ(prompts.unanswered(), 0);
}

// Frames decode into the rows of their listened signals, in batch order;
// a frame of an unlisted message changes nothing; frames sent by the program
// count only with "解析发送帧" on.
TEST_F(WindowListen, FramesDecodeIntoTheRows)
{
    auto w = openLoaded();
    ASSERT_EQ(w->listenSignalAdd("EngineData", "EngSpeed"), 0);
    ASSERT_EQ(w->listenSignalAdd("EngineData", "EngTemp"), 0);
    ASSERT_EQ(w->listenSignalAdd("Body", "Door"), 0);

    // EngSpeed 0x1F40 * 0.25 = 2000 rpm; EngTemp byte 2 = 0xF6 = -10 - 40.
    QVector<QUserCanMsg> batch;
    batch << frame(0x100, false, QByteArray::fromHex("401F00000000000000").left(8));
    batch << frame(0x100, false, QByteArray::fromHex("401FF60000000000"));
    batch << frame(0x7FF, false, QByteArray::fromHex("FFFFFFFFFFFFFFFF")); // not listened
    w->soltCanMsgRec("TRNA702-0-1", batch);
    EXPECT_EQ(values(w.get(), 0), qMakePair(QString("1F40"), QString("2000 rpm")));
    EXPECT_EQ(values(w.get(), 1), qMakePair(QString("F6"), QString("-50 degC"))) << "the signal's own 8 bits";
    EXPECT_EQ(w->listenSignalList().at(1).nRawValue, -10);
    EXPECT_EQ(values(w.get(), 2), qMakePair(QString("0"), QString("0")));
    QUserDbcMsg eng;
    ASSERT_TRUE(w->listenMsgFind("EngineData", eng));
    EXPECT_EQ(eng.strData, "401FF60000000000") << "the listened message keeps its last frame";
    EXPECT_EQ(eng.strFrameId, "00000100 ");

    // Sent by this program: ignored until the analysis of sent frames is on.
    w->soltCanMsgRec("TRNA702-0-0", frame(0x200, false, QByteArray::fromHex("01"), 1));
    EXPECT_EQ(values(w.get(), 2).first, "0");
    QUserSysCfg::instance()->setString("sendDataAnalysisEnable", "TRUE");
    auto w2 = openLoaded();
    ASSERT_EQ(w2->listenSignalAdd("Body", "Door"), 0);
    w2->soltCanMsgRec("TRNA702-0-0", frame(0x200, false, QByteArray::fromHex("01"), 1));
    EXPECT_EQ(values(w2.get(), 0).first, "1");

    // Deleting the last signal of a message takes it out of the handle: its
    // frames no longer decode. Deleting one of two keeps it.
    w->listenSignalDelete(0);
    receive(w.get(), frame(0x100, false, QByteArray::fromHex("0000010000000000")));
    EXPECT_EQ(values(w.get(), 0).second, "-39 degC");
    w->listenSignalDelete(1); // Door
    EXPECT_FALSE(handleNames(w.get()).contains("Body"));
    EXPECT_TRUE(handleNames(w.get()).contains("EngineData"));
}

// Mend: kemsig keeps one message per key, and deleting a message removes
// whatever is stored under its key. A second listened message with the same
// key must keep decoding after the other is deleted: J1939 groups of two
// sources (one DBC), and a standard and an extended frame of one number (a
// DBC cannot hold both under one key, a project can).
TEST_F(WindowListen, DeleteKeepsAMessageOfTheSameKeyDecoding)
{
    // J1939: both groups load (the load keys by identifier); the analysis
    // handle keys them by PGN.
    QUserSysCfg::instance()->setInt("dbcProcotolType", 1);
    {
        auto w = openLoaded();
        ASSERT_EQ(w->listenSignalAdd("EEC1_A", "RpmA"), 0);
        ASSERT_EQ(w->listenSignalAdd("EEC1_B", "RpmB"), 0);
        EXPECT_EQ(handleNames(w.get()), QSet<QString>({"EEC1_B"})) << "one message per PGN";
        w->listenSignalDelete(1);
        EXPECT_EQ(handleNames(w.get()), QSet<QString>({"EEC1_A"}));
        // 0x2EE0 * 0.125 = 1500 rpm, from any source address.
        receive(w.get(), frame(0x18FEF133, true, QByteArray::fromHex("000000E02E000000")));
        EXPECT_EQ(values(w.get(), 0), qMakePair(QString("2EE0"), QString("1500 rpm")));
    }

    // Plain CAN: standard 0x123 and extended 0x123 from a project.
    QUserSysCfg::instance()->setInt("dbcProcotolType", 0);
    auto w = openLoaded();
    QUserDbcMsg std123, ext123;
    ASSERT_TRUE(w->msgFindByName("StdA", std123));
    ext123 = std123;
    ext123.strName = "ExtA";
    ext123.nID = 0x80000123u;
    ext123.nExtend = 1;
    ext123.vSignals[0].strName = "EA";
    ext123.vSignals[0].nStartBit = 8;
    QUserDbcSignal sa = std123.vSignals[0], ea = ext123.vSignals[0];
    sa.msgName = "StdA";
    ea.msgName = "ExtA";
    DbcPrjFile prj;
    const QString prjPath = QDir::current().absoluteFilePath("both.prj");
    prj.setPrjFilePath(prjPath);
    prj.setDbcFilePath(dbcPath("listen.dbc"));
    prj.addMessageList({std123, ext123});
    prj.addSignalList({ea, sa});
    ASSERT_EQ(prj.save(), 0);
    QUserPromptScript prompts;
    prompts.answerFile(prjPath);
    answerLoadRun(prompts, w.get());
    w->slotDbcPrjLoad();
    ASSERT_EQ(listenNames(w.get()), QStringList({"ExtA.EA", "StdA.SA"}));
    // Inserted in name order: the standard message is the one kemsig holds.
    EXPECT_EQ(handleNames(w.get()), QSet<QString>({"StdA"}));
    w->listenSignalDelete(1);
    EXPECT_EQ(handleNames(w.get()), QSet<QString>({"ExtA"}));
    receive(w.get(), frame(0x123, true, QByteArray::fromHex("0042")));
    EXPECT_EQ(values(w.get(), 0).first, "42");
}

// Mend: the registry's sendResultNotify also carries the senders' state
// reports (records that are no frames: the advanced sender's are default
// records with identifier 0 and data 00 01 02 ...) and frames whose send
// failed. With the analysis of sent frames on, neither may decode; a frame
// that went out does.
TEST_F(WindowListen, SenderReportsAndFailedSendsDoNotDecode)
{
    QUserSysCfg::instance()->setString("sendDataAnalysisEnable", "TRUE");
    ASSERT_TRUE(writeDbc(dbcPath("zero.dbc"), "BO_ 0 Zero: 8 ECU\n SG_ Z : 8|8@1+ (1,0) [0|255] \"\" ECU\n"));
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    ASSERT_EQ(loadDbc(w.get(), dbcPath("zero.dbc")), 1);
    ASSERT_EQ(w->listenSignalAdd("Zero", "Z"), 0);

    QUserCanMsg advStart, advEnd; // as the advanced sender reports
    advStart.status = MsgStatusAdvStart;
    advEnd.status = MsgStatusAdvEnd;
    QUserCanMsg basicStart = frame(0, false, QByteArray::fromHex("0005"), 1);
    basicStart.status = MsgStatusBasicStart;
    QUserCanMsg basicEnd = basicStart;
    basicEnd.status = MsgStatusBasicEnd;
    QUserCanMsg failed = frame(0, false, QByteArray::fromHex("0009"), 1);
    failed.status = MsgTagAdvanceSend;
    failed.sendFailed = 1;
    for (const QUserCanMsg &m : {advStart, advEnd, basicStart, basicEnd, failed}) {
        SCOPED_TRACE(m.status);
        w->soltCanMsgRec(SimRig::tx(), m);
        EXPECT_EQ(w->listenSignalList().at(0).nRawValue, 0);
        EXPECT_TRUE(w->listenMessages().value("Zero").strData.isEmpty());
    }
    QUserCanMsg sent = frame(0, false, QByteArray::fromHex("0007"), 1);
    sent.status = MsgTagAdvanceSend;
    w->soltCanMsgRec(SimRig::tx(), sent);
    EXPECT_EQ(w->listenSignalList().at(0).nRawValue, 7);
}

// A tree item dragged onto the listen table: the drag is accepted and the
// drop adds through the window.
TEST_F(WindowListen, DragFromTheTreeOntoTheTable)
{
    auto w = openLoaded();
    w->resize(1000, 700);
    w->show();
    settle(50);
    struct Case {
        QString msg, sig;
        QStringList listen;
    };
    const Case cases[] = {
        {"Body", "Light", {"Body.Light"}},
        {"EngineData", "", {"Body.Light", "EngineData.EngSpeed", "EngineData.EngTemp", "EngineData.Gear"}},
    };
    QWidget *vp = w->listenTable()->viewport();
    for (const Case &c : cases) {
        SCOPED_TRACE(qPrintable(c.msg + "/" + c.sig));
        QTreeWidgetItem *item = treeItem(w.get(), c.msg, c.sig);
        ASSERT_NE(item, nullptr);
        w->msgTree()->setCurrentItem(item);
        item->setSelected(true);
        std::unique_ptr<QMimeData> mime(w->msgTree()->dragMimeData());
        ASSERT_NE(mime, nullptr);
        const QPoint at(vp->width() / 2, vp->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(vp, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(vp, &move);
        EXPECT_TRUE(move.isAccepted()) << "the table takes the drag";
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(vp, &drop);
        EXPECT_EQ(listenNames(w.get()), c.listen);
    }
}

// Clicking the chart cell's check box charts the signal; clicking again
// takes its curve away.
TEST_F(WindowListen, ChartCheckBoxClick)
{
    auto w = openLoaded();
    ASSERT_EQ(w->listenSignalAdd("EngineData", "EngSpeed"), 0);
    ASSERT_EQ(w->listenSignalAdd("EngineData", "Gear"), 0);
    w->resize(1200, 800);
    w->show();
    settle(150);
    w->listenModel()->windowUpdate();
    settle(150);
    QUserTableView *t = w->listenTable();
    const QRect cell = t->visualRect(w->listenModel()->index(1, 3));
    ASSERT_TRUE(cell.isValid());
    // The check box sits at the left of the cell.
    const QPoint box(cell.left() + 10, cell.center().y());
    QTest::mouseClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, box);
    EXPECT_EQ(w->listenSignalList().at(1).chartEnable, 1);
    EXPECT_EQ(chartNames(w.get()), QStringList({"EngineData.Gear"}));
    settle(150);
    QTest::mouseClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, box);
    EXPECT_EQ(w->listenSignalList().at(1).chartEnable, 0);
    EXPECT_TRUE(chartNames(w.get()).isEmpty());
    // Other columns do not touch the chart.
    w->soltTableViewSignalItemClick(w->listenModel()->index(0, 1));
    EXPECT_TRUE(chartNames(w.get()).isEmpty());
}

// Double-clicking the colour cell opens the colour chooser on the row's
// colour; the chosen colour reaches the list, the model and the curve.
TEST_F(WindowListen, ColourChooserRecoloursRowAndCurve)
{
    auto w = openLoaded();
    ASSERT_EQ(w->listenSignalAdd("EngineData", "EngSpeed"), 0);
    w->listenSignalColorSet(0, "1,2,3");
    ASSERT_TRUE(w->listenSignalChartEnable(0, true));
    QUserPromptScript prompts;
    QColor offered;
    prompts.answerExec([&](QDialog *d) {
        auto *cd = qobject_cast<QColorDialog *>(d);
        if (!cd)
            return 0;
        offered = cd->currentColor();
        cd->setCurrentColor(QColor(200, 100, 50));
        return int(QDialog::Accepted);
    });
    prompts.answerExec(0); // a second chooser, cancelled
    modelRefresh(w.get());
    w->soltTableViewSignalItemDoubleClick(w->listenModel()->index(0, 2));
    ASSERT_EQ(prompts.records().size(), 1);
    EXPECT_EQ(prompts.records().at(0).title, "颜色选择对话框");
    EXPECT_EQ(offered, QColor(1, 2, 3));
    EXPECT_EQ(w->listenSignalList().at(0).color, "200,100,50");
    EXPECT_EQ(w->listenModel()->signalAt(0)->color, "200,100,50");
    ASSERT_EQ(w->chartState().entries.size(), 1);
    EXPECT_EQ(w->chartState().entries[0]->series->color(), QColor(200, 100, 50));
    EXPECT_EQ(w->chartState().entries[0]->series->pointLabelsColor(), QColor(200, 100, 50));
    w->soltTableViewSignalItemDoubleClick(w->listenModel()->index(0, 2));
    EXPECT_EQ(w->listenSignalList().at(0).color, "200,100,50");
    // A colour text of fewer than three parts leaves the curve's colour.
    w->listenSignalColorSet(0, "9,9");
    EXPECT_EQ(w->chartState().entries[0]->series->color(), QColor(200, 100, 50));
    w->listenSignalColorSet(5, "1,1,1"); // no such row: nothing
    EXPECT_EQ(w->listenSignalList().size(), 1);
}

// A project file keeps the DBC path, the listened messages and the listen
// list; opening it in another window rebuilds handle, model and chart.
// Opening replaces the curves of the list it replaces (mend: old curves
// stayed); a broken file or a cancelled chooser change nothing.
TEST_F(WindowListen, ProjectSaveAndOpen)
{
    const QString prjPath = QDir::current().absoluteFilePath("a.prj");
    {
        auto w = openLoaded();
        ASSERT_EQ(w->listenSignalAdd("EngineData", "EngSpeed"), 0);
        ASSERT_EQ(w->listenSignalAdd("Body", "Light"), 0);
        ASSERT_TRUE(w->listenSignalChartEnable(1, true));
        QUserPromptScript prompts;
        prompts.answerFile(prjPath);
        w->slotDbcPrjSave();
        ASSERT_EQ(prompts.records().size(), 1);
        EXPECT_EQ(prompts.records()[0].title, "保存");
        EXPECT_EQ(prompts.records()[0].dir, "../");
        EXPECT_EQ(prompts.records()[0].text, "PRJ File(*.prj);");
        EXPECT_EQ(w->windowTitle(), "DBC解析 - a.prj");
        EXPECT_EQ(w->messageBox().tipLabelWidget()->text(), "保存成功!");
        prompts.answerFile(""); // cancelled: nothing written
        w->slotDbcPrjSave();
    }
    DbcPrjFile prj;
    ASSERT_EQ(prj.load(prjPath), 0);
    EXPECT_EQ(prj.dbcFilePath(), dbcPath("listen.dbc"));
    EXPECT_EQ(prj.messageList().size(), 2);
    EXPECT_EQ(prj.signalList().size(), 2);

    auto w = openLoaded();
    ASSERT_EQ(w->listenSignalAdd("StdA", "SA"), 0);
    ASSERT_TRUE(w->listenSignalChartEnable(0, true));
    ASSERT_EQ(chartNames(w.get()), QStringList({"StdA.SA"}));

    // Cancelled chooser; a file that is not a project.
    QUserPromptScript prompts;
    prompts.answerFile("");
    w->slotDbcPrjLoad();
    ASSERT_TRUE(writeDbc(dbcPath("bad.prj"), "not json"));
    prompts.answerFile(dbcPath("bad.prj"));
    prompts.answerExec(1);
    w->slotDbcPrjLoad();
    ASSERT_EQ(boxes(prompts).size(), 1);
    EXPECT_EQ(boxes(prompts)[0].first, "打开工程");
    EXPECT_TRUE(boxes(prompts)[0].second.contains("打开失败,文件解析错误!"));
    expectInStep(w.get(), {"StdA.SA"}, {"StdA.SA"});

    prompts.answerFile(prjPath);
    answerLoadRun(prompts, w.get());
    w->slotDbcPrjLoad();
    EXPECT_EQ(prompts.unanswered(), 0);
    expectInStep(w.get(), {"EngineData.EngSpeed", "Body.Light"}, {"Body.Light"});
    EXPECT_EQ(w->windowTitle(), "DBC解析 - a.prj");
    EXPECT_EQ(w->messageBox().tipLabelWidget()->text(), "打开成功!");
    EXPECT_EQ(w->dbcMessages().size(), 6);
    EXPECT_EQ(w->msgTree()->topLevelItemCount(), 6);
    // And it decodes.
    receive(w.get(), frame(0x200, false, QByteArray::fromHex("02")));
    EXPECT_EQ(values(w.get(), 1).first, "1");
}

// What closing the window would lose: a listen list no project file holds.
// Picking, ordering, recolouring and chart switches are edits; decoded
// values are not; a project save or open leaves the window with nothing
// unsaved, and an empty list has nothing to lose.
TEST_F(WindowListen, UnsavedEditsFollowTheProject)
{
    const QString prjPath = QDir::current().absoluteFilePath("edits.prj");
    auto w = openLoaded();
    EXPECT_FALSE(w->editsUnsaved()) << "a loaded file alone";
    ASSERT_EQ(w->listenSignalAdd("EngineData", "EngSpeed"), 0);
    EXPECT_TRUE(w->editsUnsaved());
    ASSERT_EQ(w->listenSignalAdd("Body", "Door"), 0);
    QUserPromptScript prompts;
    prompts.answerFile(prjPath);
    w->slotDbcPrjSave();
    EXPECT_FALSE(w->editsUnsaved());

    // Traffic changes the values, not the list.
    receive(w.get(), frame(0x100, false, QByteArray::fromHex("401FF60000000000")));
    EXPECT_EQ(w->listenSignalList().at(0).nRawValue, 0x1F40);
    EXPECT_FALSE(w->editsUnsaved());

    struct Edit {
        const char *name;
        std::function<void(QUserMainWindowDBC *)> apply;
    } const edits[] = {
        {"chart switched on", [](QUserMainWindowDBC *x) { ASSERT_TRUE(x->listenSignalChartEnable(1, true)); }},
        {"recoloured", [](QUserMainWindowDBC *x) { x->listenSignalColorSet(0, "1,2,3"); }},
        {"signal added", [](QUserMainWindowDBC *x) { ASSERT_EQ(x->listenSignalAdd("EngineData", "EngTemp"), 0); }},
        {"signal deleted", [](QUserMainWindowDBC *x) { x->listenSignalDelete(0); }},
    };
    for (const Edit &e : edits) {
        SCOPED_TRACE(e.name);
        // Back to the project's list each time.
        prompts.answerFile(prjPath);
        answerLoadRun(prompts, w.get());
        w->slotDbcPrjLoad();
        ASSERT_EQ(prompts.unanswered(), 0);
        ASSERT_EQ(w->listenSignalList().size(), 2);
        EXPECT_FALSE(w->editsUnsaved()) << "just opened";
        e.apply(w.get());
        EXPECT_TRUE(w->editsUnsaved());
    }
    // Emptied: nothing left to lose.
    w->listenSignalClear();
    EXPECT_FALSE(w->editsUnsaved());
}
