// The CANopen window's receive path, frame log and operation log.
#include "tests/canopen/WindowRig.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTextDocument>
#include <QTextBlock>
#include <QToolButton>

#include <atomic>

using namespace cowin;

namespace {

class WindowLog : public FakeWindowTest
{
protected:
    QString lastLine() const
    {
        const auto *e = w->logModel()->entryAt(w->logModel()->cacheCount() - 1);
        return e ? e->first : QString();
    }
    QString lastDescription() const
    {
        const auto *e = w->logModel()->entryAt(w->logModel()->cacheCount() - 1);
        return e ? e->second : QString();
    }
    // Counts the received-frame requests the window posts to its thread.
    void countPosts()
    {
        QObject::connect(
            w->requestThread(), &QUserCANopenThread::progressNotice, &ctx,
            [this](void *p, int phase, int) {
                if (phase == 0 && p && static_cast<QUserCANopenReqPara *>(p)->kind == QUserCANopenThread::ReqCanMsgRec)
                    ++posted;
            },
            Qt::DirectConnection);
    }
    QObject ctx;
    std::atomic<int> posted{0};
};

// A window built after the filter settings were stored.
class WindowLogSettings : public WindowLog
{
protected:
    void SetUp() override {}
    void start(const QList<QPair<const char *, int>> &settings)
    {
        WindowTest::SetUp();
        for (const auto &s : settings)
            QUserSysCfg::instance()->setInt(QLatin1String(s.first), s.second);
        dev = new FakeDevice;
        reg.deviceReplace(QStringLiteral("TRNA702"), dev);
        w = newWindow();
    }
};

} // namespace

TEST_F(WindowLog, LineFormat)
{
    QUserCanMsg nmt;
    ASSERT_TRUE(w->frameDecoder().nmtMsgCreat(nmt, 5, 0));
    QUserCanMsg odd = rx(0x285, QByteArray());
    odd.lenText = "2";
    odd.dataText = "abc";
    struct Case {
        QUserCanMsg frame;
        QString line;
    };
    const Case cases[] = {
        {rx(0x181, QByteArray::fromHex("0A0B")), "[Rx,S,D,00000181,2,0A 0B] "},
        {rx(0x181, QByteArray(), true), "[Rx,S,R,00000181,0,] "},
        {rx(0x18FF0001, QByteArray::fromHex("0102030405060708"), false, true),
         "[Rx,E,D,18FF0001,8,01 02 03 04 05 06 07 08] "},
        {nmt, "[Tx,S,D,0,2,01 05] "},
        {odd, "[Rx,S,D,00000285,2,A BC] "},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(w->canopenLogAppend(c.frame));
        EXPECT_EQ(lastLine(), c.line);
    }
}

TEST_F(WindowLog, DescriptionsComeFromTheDecoder)
{
    feed(rx(0x705, QByteArray::fromHex("05")));
    EXPECT_TRUE(lastDescription().contains(QStringLiteral("操作"))) << qPrintable(lastDescription());
    feed(rx(0x085, QByteArray::fromHex("1081110000000000")));
    EXPECT_TRUE(lastDescription().startsWith(QStringLiteral("紧急报文"))) << qPrintable(lastDescription());
    feed(rx(0x6A0, QByteArray::fromHex("00")));
    EXPECT_EQ(lastDescription(), QStringLiteral("未知报文"));
}

// Received and transmitted frames (tag 104) are logged; a sender's state
// notice is not; only received frames go to the request thread.
TEST_F(WindowLog, ReceivePathLogsFramesAndPostsReceivedOnes)
{
    countPosts();
    QUserCanMsg sent;
    ASSERT_TRUE(w->frameDecoder().syncMsgCreat(sent));
    QUserCanMsg notice;
    notice.direction = 1;
    notice.status = 0;
    w->slotCanMsgRec(kDev, QVector<QUserCanMsg>{rx(0x181, QByteArray::fromHex("01")), sent, notice});
    w->slotCanMsgRec(kDev, notice);
    EXPECT_EQ(w->logModel()->cacheCount(), 2);
    ASSERT_TRUE(idle());
    EXPECT_EQ(posted.load(), 1);
}

// Frames of another channel are shown, but never reach the request thread:
// an SDO answer there cannot complete this window's transfer.
TEST_F(WindowLog, FramesOfAnotherChannelAreLoggedButNotPosted)
{
    countPosts();
    feed(rx(0x585, QByteArray::fromHex("4B01200034120000")), QStringLiteral("TRNA702-0-1"));
    EXPECT_EQ(w->logModel()->cacheCount(), 1);
    ASSERT_TRUE(idle());
    EXPECT_EQ(posted.load(), 0);
}

TEST_F(WindowLog, AnswerOnAnotherChannelDoesNotCompleteTheTransfer)
{
    child<QLineEdit>("lineEditCia301NodeId")->setText("5");
    QUserDictObj o;
    o.index = 0x2001;
    o.ParameterName = "Manufacturer word";
    o.DataType = 6;
    QUserTableModelEDS *listen = w->listenModel();
    listen->dictObjAdd(o);
    auto answerWhenAsked = [&](const QString &devId) {
        const int before = dev->sentCount();
        ASSERT_TRUE(w->reqSdoTransferPost({o}));
        ASSERT_TRUE(waitUntil([&] { return dev->sentCount() > before; }));
        settle(20);
        feed(rx(0x585, QByteArray::fromHex("4B01200034120000")), devId);
    };
    answerWhenAsked(QStringLiteral("TRNA702-0-1"));
    ASSERT_TRUE(idle(3000));
    EXPECT_TRUE(opLog().contains(QStringLiteral("SDO操作[2001,00]失败..."))) << qPrintable(opLog());
    EXPECT_EQ(listen->dictObjAt(0)->curValue, 0u);

    answerWhenAsked(kDev);
    ASSERT_TRUE(idle(3000));
    EXPECT_TRUE(opLog().endsWith(QStringLiteral("SDO操作完成..."))) << qPrintable(opLog());
    EXPECT_EQ(listen->dictObjAt(0)->curValue, 0x1234u);
}

// The CiA 402 indicator shows the state of the node its panel names, not
// that of whichever node sent the last heartbeat; a node not heard from
// (no heartbeat configured, the drive may well be running) is shown as of
// unknown state, never as not operational.
TEST_F(WindowLog, Cia402IndicatorFollowsItsOwnNode)
{
    auto *state = child<QToolButton>("toolButtonCia402State");
    EXPECT_EQ(state->text(), QStringLiteral("状态未知")) << "nothing heard yet";
    child<QLineEdit>("lineEditCia402NodeId")->setText("5");
    // The drive's PDOs run, no heartbeat: the state is not known.
    feed(rx(0x185, QByteArray::fromHex("3700")));
    feed(rx(0x181, QByteArray::fromHex("00")));
    EXPECT_EQ(state->text(), QStringLiteral("状态未知"));
    EXPECT_FALSE(state->toolTip().isEmpty());
    feed(rx(0x705, QByteArray::fromHex("05")));
    EXPECT_EQ(state->text(), QStringLiteral("操作状态"));
    EXPECT_TRUE(state->toolTip().isEmpty());
    feed(rx(0x707, QByteArray::fromHex("7F"))); // another node
    EXPECT_EQ(state->text(), QStringLiteral("操作状态"));
    EXPECT_EQ(w->cia402ShownState(), 2);
    child<QLineEdit>("lineEditCia402NodeId")->setText("7");
    EXPECT_EQ(state->text(), QStringLiteral("非操作状态")) << "node 7 said pre-operational";
    child<QLineEdit>("lineEditCia402NodeId")->setText("9");
    EXPECT_EQ(state->text(), QStringLiteral("状态未知")) << "node 9 never spoke";
    child<QLineEdit>("lineEditCia402NodeId")->setText("5");
    feed(rx(0x705, QByteArray::fromHex("7F")));
    EXPECT_EQ(state->text(), QStringLiteral("非操作状态"));
    // What the node itself says: boot-up, stopped, a node-guarding answer
    // with its toggle bit.
    const struct {
        const char *data;
        const char *shown;
    } said[] = {{"00", "非操作状态"}, {"04", "非操作状态"}, {"85", "操作状态"}, {"FF", "非操作状态"}};
    for (const auto &c : said) {
        SCOPED_TRACE(c.data);
        feed(rx(0x705, QByteArray::fromHex(c.data)));
        EXPECT_EQ(state->text(), QString::fromUtf8(c.shown));
    }
    // The button holds the longest of its texts.
    for (const QString &t : {QStringLiteral("操作状态"), QStringLiteral("非操作状态"), QStringLiteral("状态未知")})
        EXPECT_LE(state->fontMetrics().horizontalAdvance(t), state->width() - 8) << t.toStdString();
}

TEST_F(WindowLogSettings, HiddenHeartbeatsStillUpdateTheNodeState)
{
    start({{"openHeartBeatShow", 0}});
    EXPECT_FALSE(child<QCheckBox>("checkBoxLogHeartBeat")->isChecked());
    EXPECT_FALSE(w->canopenLogAppend(rx(0x705, QByteArray::fromHex("05"))));
    EXPECT_EQ(w->logModel()->cacheCount(), 0);
    EXPECT_EQ(w->frameDecoder().nodeStateOf(5), 2);
    EXPECT_TRUE(w->canopenLogAppend(rx(0x185, QByteArray::fromHex("05"))));
    // Ticking the box stores the state and shows heartbeats again.
    child<QCheckBox>("checkBoxLogHeartBeat")->setChecked(true);
    EXPECT_EQ(QUserSysCfg::instance()->getInt("openHeartBeatShow"), 2);
    EXPECT_TRUE(w->canopenLogAppend(rx(0x705, QByteArray::fromHex("05"))));
}

TEST_F(WindowLogSettings, NodeFilter)
{
    start({{"openFliterNodeEn", 1}, {"openFliterBeginNode", 10}, {"openFliterEndNode", 20}});
    QUserCanMsg junk = rx(0x185, QByteArray());
    junk.idText = "xyz";
    struct Case {
        QUserCanMsg frame;
        bool logged;
    };
    const Case cases[] = {
        {rx(0x185, QByteArray()), false}, {rx(0x18A, QByteArray()), true}, {rx(0x594, QByteArray()), true},
        {rx(0x595, QByteArray()), false}, {rx(0x000, QByteArray::fromHex("0100")), true},
        {rx(0x080, QByteArray()), true},  {junk, true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(w->canopenLogAppend(c.frame), c.logged) << qPrintable(c.frame.idText);
}

// Stored filter nodes outside 1-127 (the settings dialog stores nothing
// else) take the defaults 1 and 127: a range of 200-300 no longer hides
// every node.
TEST_F(WindowLogSettings, NodeFilterOutsideTheNodeRangeTakesTheDefaults)
{
    start({{"openFliterNodeEn", 1}, {"openFliterBeginNode", 200}, {"openFliterEndNode", 300}});
    EXPECT_TRUE(w->canopenLogAppend(rx(0x185, QByteArray())));
    EXPECT_TRUE(w->canopenLogAppend(rx(0x1FF, QByteArray())));
}

// A stored filter whose begin is above its end would hide every node: it
// takes the defaults 1 and 127, with a log line naming both values.
TEST_F(WindowLogSettings, NodeFilterThatEndsBeforeItBeginsTakesTheDefaults)
{
    cotest::LogCapture log;
    start({{"openFliterNodeEn", 1}, {"openFliterBeginNode", 100}, {"openFliterEndNode", 5}});
    for (uint32_t id : {0x181u, 0x185u, 0x1C0u, 0x1FFu})
        EXPECT_TRUE(w->canopenLogAppend(rx(id, QByteArray()))) << std::hex << id;
    const QStringList lines = log.lines().filter(QStringLiteral("openFliterBeginNode"));
    ASSERT_EQ(lines.size(), 1) << qPrintable(log.lines().join('\n'));
    EXPECT_TRUE(lines[0].contains(QStringLiteral("值<100,5>"))) << qPrintable(lines[0]);
    // The stored values stay as the user left them.
    EXPECT_EQ(QUserSysCfg::instance()->getInt("openFliterBeginNode"), 100);
    // A filter that begins where it ends is a filter of one node.
    delete w;
    w = nullptr;
    start({{"openFliterNodeEn", 1}, {"openFliterBeginNode", 7}, {"openFliterEndNode", 7}});
    EXPECT_TRUE(w->canopenLogAppend(rx(0x187, QByteArray())));
    EXPECT_FALSE(w->canopenLogAppend(rx(0x188, QByteArray())));
}

TEST_F(WindowLog, PauseKeepsFramesUntilTheNextOneAfterUnpausing)
{
    auto *pause = child<QCheckBox>("checkBoxLogPause");
    settle(120);
    pause->setChecked(true);
    for (int i = 0; i < 5; ++i)
        feed(rx(0x181, QByteArray(1, char(i))));
    EXPECT_EQ(w->logModel()->cacheCount(), 5);
    EXPECT_EQ(w->logModel()->rowCount(), 0);
    pause->setChecked(false);
    EXPECT_EQ(w->logModel()->rowCount(), 0);
    feed(rx(0x181, QByteArray(1, char(9))));
    ASSERT_TRUE(waitUntil([&] { return w->logModel()->rowCount() == 6; }));
}

TEST_F(WindowLog, SaveWritesOneLinePerEntry)
{
    const QString path = QDir::current().absoluteFilePath("log.txt");
    prompts.answerFile(path);
    prompts.answerExec(1);
    w->slotCANopenLogSave();
    EXPECT_EQ(cotest::readAll(path), QByteArray());
    EXPECT_TRUE(prompts.records().last().text.contains(QStringLiteral("保存成功!")));

    feed(rx(0x181, QByteArray::fromHex("0A0B")));
    feed(rx(0x6A0, QByteArray::fromHex("00")));
    prompts.answerFile(path);
    prompts.answerExec(1);
    w->slotCANopenLogSave();
    const QString text = QString::fromUtf8(cotest::readAll(path));
    const QStringList lines = text.split("\r\n");
    ASSERT_EQ(lines.size(), 3) << qPrintable(text);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("序号:0 报文:[Rx,S,D,00000181,2,0A 0B] 解析:"))) << qPrintable(lines[0]);
    EXPECT_EQ(lines[1], QStringLiteral("序号:1 报文:[Rx,S,D,000006A0,1,00] 解析:未知报文"));
    EXPECT_EQ(lines[2], QString());

    // A file that cannot be made: a warning, nothing else.
    prompts.answerFile(QDir::current().absoluteFilePath("no/such/dir/log.txt"));
    prompts.answerExec(1);
    w->slotCANopenLogSave();
    EXPECT_EQ(prompts.records().last().title, QStringLiteral("错误"));
    EXPECT_TRUE(prompts.records().last().text.contains(QStringLiteral("保存失败!")));

    // Cancelled chooser: nothing at all.
    const int before = prompts.records().size();
    prompts.answerFile(QString());
    w->slotCANopenLogSave();
    EXPECT_EQ(prompts.records().size(), before + 1);
}

TEST_F(WindowLog, ClearEmptiesTheLog)
{
    feed(rx(0x181, QByteArray::fromHex("01")));
    child<QPushButton>("pushButtonLogClear")->click();
    EXPECT_EQ(w->logModel()->cacheCount(), 0);
}

TEST_F(WindowLog, OperationLogColoursItsLevels)
{
    w->slotEdsLogClr();
    w->edsLogAppend(0, "black line");
    w->edsLogAppend(1, "blue line");
    w->edsLogAppend(2, "red line");
    QTextDocument *doc = w->operationLog()->document();
    ASSERT_EQ(doc->blockCount(), 3);
    const QColor expected[3] = {Qt::black, Qt::blue, Qt::red};
    for (int i = 0; i < 3; ++i) {
        const QTextBlock b = doc->findBlockByNumber(i);
        EXPECT_TRUE(b.text().startsWith('['));
        EXPECT_EQ(b.text().mid(20, 2), QStringLiteral("] "));
        EXPECT_EQ(b.begin().fragment().charFormat().foreground().color(), expected[i]) << i;
    }
}
