// The analysis window's bounds: the stored chart X range is read back only
// inside the range the chart can hold (a bad value is replaced and logged),
// the point buffers grow with the points instead of being reserved for the
// whole range at once, a project that cannot be saved says so, and the
// send window's protocol settings are read back only among their choices.
#include <gtest/gtest.h>

#include <QDir>

#include "tests/dbc/DbcWindowSupport.h"
#include "dbc/QUserMainWindowDBCSend.h"

using namespace dbcwin;

namespace {

class WindowBounds : public DbcWindowTest
{
protected:
    void SetUp() override
    {
        DbcWindowTest::SetUp();
        ASSERT_TRUE(writeDbc(dbcPath(), smallDbc()));
    }
};

QUserCanMsg frame(uint32_t id, const QByteArray &data)
{
    QUserCanMsg m;
    m.idText = QString::asprintf("%08X ", id);
    m.lenText = QString::number(data.size());
    m.dataText = QString::fromLatin1(data.toHex().toUpper());
    m.hostTime = getCurrentMs();
    return m;
}

} // namespace

// 2,000,000,000 in sys.ini reserved that many points per charted signal on
// the first charted value and aborted every later window.
TEST_F(WindowBounds, StoredXRangeOutsideTheChartIsReplacedAndLogged)
{
    for (int stored : {2000000000, 0, 99}) {
        SCOPED_TRACE(stored);
        QUserSysCfg::instance()->setInt("axisXMaxValue", stored);
        LogCapture log;
        std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
        EXPECT_EQ(w->chartState().axisXMaxValue, 60000.0);
        EXPECT_EQ(QUserSysCfg::instance()->getInt("axisXMaxValue"), 60000);
        EXPECT_TRUE(log.contains(QString("WARNING:axisXMaxValue %1 Out Of Range[100,3600000], 60000 Used...").arg(stored)))
            << log.all().join("\n").toStdString();
    }
}

// The largest range the chart takes: the first charted value reserves a
// step of points, not the whole hour's 3,600,001.
TEST_F(WindowBounds, PointBufferGrowsInBoundedSteps)
{
    QUserSysCfg::instance()->setInt("axisXMaxValue", 3600000);
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    ASSERT_EQ(loadDbc(w.get(), dbcPath()), 1);
    ASSERT_EQ(w->listenSignalAdd("EngineData", "EngSpeed"), 0);
    ASSERT_TRUE(w->listenSignalChartEnable(0, true));
    w->soltCanMsgRec(QStringLiteral("TRNA702-0-1"), QVector<QUserCanMsg>{frame(0x100, QByteArray::fromHex("401F000000000000"))});
    ASSERT_EQ(w->chartState().entries.size(), 1);
    const DbcChartSeries *e = w->chartState().entries[0];
    EXPECT_EQ(e->points.size(), 1);
    EXPECT_GE(e->points.capacity(), 1);
    EXPECT_LE(e->points.capacity(), 65536);
}

// The send window shows "保存失败!" when a project cannot be written; the
// analysis window said nothing.
TEST_F(WindowBounds, FailedProjectSaveShowsTheBox)
{
    std::unique_ptr<QUserMainWindowDBC> w(new QUserMainWindowDBC);
    ASSERT_EQ(loadDbc(w.get(), dbcPath()), 1);
    ASSERT_EQ(w->listenSignalAdd("EngineData", "EngSpeed"), 0);
    const QString title = w->windowTitle();
    QUserPromptScript prompts;
    prompts.answerFile(QDir::current().absoluteFilePath("no/such/folder/a.prj"));
    prompts.answerExec(1);
    w->slotDbcPrjSave();
    EXPECT_EQ(prompts.unanswered(), 0);
    ASSERT_EQ(boxes(prompts).size(), 1);
    EXPECT_EQ(boxes(prompts)[0].first, "错误");
    EXPECT_TRUE(boxes(prompts)[0].second.contains("保存失败!"));
    EXPECT_EQ(w->windowTitle(), title);
}

// A send-window protocol outside its choices in sys.ini (edited by hand, or
// by another version) is replaced by the default, logged and written back:
// an unknown FD protocol code reached the device with every frame, and the
// settings dialog showed no choice. (The analysis window reads any protocol
// other than 1 as plain CAN, and shows it so.)
TEST_F(WindowBounds, StoredProtocolsOutsideTheirChoicesAreReplaced)
{
    QUserSysCfg *cfg = QUserSysCfg::instance();
    for (int stored : {2, 7, -3}) {
        SCOPED_TRACE(stored);
        cfg->setInt("dbcProcotolType", stored);
        cfg->setInt("dbcFdSendProcotol", stored + 1);
        LogCapture log;
        QUserMainWindowDBCSend send;
        EXPECT_EQ(send.protocolType(), 0);
        EXPECT_EQ(cfg->getInt("dbcProcotolType"), 0);
        EXPECT_TRUE(log.contains(QString("WARNING:dbcProcotolType %1 Out Of Range[0,1], 0 Used...").arg(stored)));
        EXPECT_EQ(send.fdSendProtocol(), 2);
        EXPECT_EQ(cfg->getInt("dbcFdSendProcotol"), 2);
        EXPECT_TRUE(log.contains(QString("WARNING:dbcFdSendProcotol %1 Out Of Range[0,2], 2 Used...").arg(stored + 1)));
    }
    // The choices themselves stay.
    cfg->setInt("dbcProcotolType", 1);
    cfg->setInt("dbcFdSendProcotol", 0);
    QUserMainWindowDBCSend send;
    EXPECT_EQ(send.protocolType(), 1);
    EXPECT_EQ(send.fdSendProtocol(), 0);
    cfg->setInt("dbcFdSendProcotol", 2);
}
