// The one clock of the trace writers: the ASC and the BLF writer give the
// same frames the same times, and every new file starts its times again at
// its own first frame.

#include "tests/support/TempWorkDir.h"
#include "tests/traffic/TraceSupport.h"
#include "traffic/QUserAscFile.h"
#include "traffic/QUserBlfFile.h"
#include "traffic/QUserTraceClock.h"

#include <gtest/gtest.h>

using tracetest::frame;

namespace {

// Host times of the frames of one file as its reader gives them back.
QList<qint64> timesOf(QList<QUserCanMsg> frames)
{
    QList<qint64> t;
    for (const QUserCanMsg &m : frames)
        t.append(m.hostTime);
    return t;
}

} // namespace

class TraceClock : public WorkDirTest {};

TEST_F(TraceClock, AscAndBlfGiveTheSameFramesTheSameTimes)
{
    // Frames of two threads, some carrying a host time before the last one.
    const qint64 t0 = 7000000;
    const qint64 hostTimes[] = {t0, t0 + 3, t0 + 1, t0 - 40, t0 + 250, t0 + 249, t0 + 100000};
    for (int file = 0; file < 2; ++file) {
        SCOPED_TRACE(file);
        QUserAscFile asc;
        QUserBlfFile blf;
        ASSERT_TRUE(asc.fileCreate("t.asc"));
        ASSERT_TRUE(blf.fileCreate("t.blf"));
        // The second files start an hour later: their times start again at 0.
        for (qint64 t : hostTimes) {
            const QUserCanMsg m = frame("123", false, false, 0, "1", "5A", 0, 0, t + file * 3600000);
            ASSERT_TRUE(asc.write(m));
            ASSERT_TRUE(blf.write(m));
        }
        ASSERT_TRUE(asc.close());
        blf.close();

        QList<QUserCanMsg> fromAsc, fromBlf;
        QUserAscFile ascIn;
        QUserBlfFile blfIn;
        ascIn.fileRead("t.asc", fromAsc);
        blfIn.fileRead("t.blf", fromBlf);
        ASSERT_EQ(fromAsc.size(), int(std::size(hostTimes)));
        EXPECT_EQ(timesOf(fromAsc), timesOf(fromBlf));
        EXPECT_EQ(fromAsc.first().hostTime, 0);
        EXPECT_EQ(fromAsc.last().hostTime, 100000);
    }
}

TEST_F(TraceClock, RestartMakesTheNextFrameTheFirst)
{
    QUserTraceClock c;
    EXPECT_EQ(c.traceTimeMs(5000), 0);
    EXPECT_EQ(c.traceTimeMs(5250), 250);
    c.restart();
    EXPECT_EQ(c.traceTimeMs(100), 0);
    EXPECT_EQ(c.traceTimeMs(160), 60);
    // A fresh clock and a restarted one agree, whatever came before.
    QUserTraceClock fresh;
    c.restart();
    for (int64_t t : {int64_t(-5), int64_t(0), int64_t(1000), int64_t(999), int64_t(1 << 30)})
        EXPECT_EQ(c.traceTimeMs(t), fresh.traceTimeMs(t)) << t;
}
