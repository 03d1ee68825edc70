// The recording adapter's command replies and the wait task of its disk
// operations, without an adapter: replies are given as bytes, the wait
// task's owner and clock are fakes.

#include "devtools/QUserRecordCmd.h"
#include "devtools/QUserWaitResultTask.h"

#include "tests/devtools/RecordSim.h"

#include <gtest/gtest.h>

#include <QMutex>
#include <QMutexLocker>

#include <cstring>
#include <functional>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A reply buffer as a transfer leaves it: the received bytes, then stale
// bytes that a reader must not take for data.
struct Reply {
    uint8_t buf[64];
    explicit Reply(const Bytes &b)
    {
        std::memset(buf, 0xEE, sizeof buf);
        std::memcpy(buf, b.data(), b.size());
    }
};

} // namespace

// Reply counts at the edges of what each reader needs. The clock needs its
// second at byte 8, so 8 bytes are refused.
TEST(RecordCmdReplies, ReadersCheckTheCountBeforeReading)
{
    const Bytes cap = {5, 1, 0x9C, 0x1D, 0, 0, 0x64, 0x1B, 0, 0, 0, 0};
    QUserRecordCmd::Capacity c;
    EXPECT_FALSE(QUserRecordCmd::parseCapacity(Reply(cap).buf, 9, &c));
    ASSERT_TRUE(QUserRecordCmd::parseCapacity(Reply(cap).buf, 10, &c));
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.totalMb, 7580u);
    EXPECT_EQ(c.freeMb, 7012u);
    EXPECT_FALSE(QUserRecordCmd::parseCapacity(Reply(cap).buf, -1, &c));

    const Bytes clock = {5, 1, 0xE8, 0x07, 5, 7, 9, 3, 1};
    struct Case {
        int count;
        bool ok;
    };
    for (const Case &k : {Case{-1, false}, Case{0, false}, Case{6, false}, Case{7, false}, Case{8, false},
                          Case{9, true}, Case{12, true}}) {
        SCOPED_TRACE(k.count);
        QString text = "untouched";
        EXPECT_EQ(QUserRecordCmd::parseClock(Reply(clock).buf, k.count, &text), k.ok);
        EXPECT_EQ(text, k.ok ? QString("2024-05-07 09:03:01") : QString("untouched"));
    }
}

// Poll replies: fewer than 3 bytes say nothing; a finished read/write test
// needs its speeds at bytes 3-6, so a shorter "done" is asked again, while a
// finished format or a failed test ends on 3 bytes.
TEST(RecordCmdReplies, PollRepliesByKindAndCount)
{
    using P = QUserRecordCmd::Poll;
    struct Case {
        int kind;
        Bytes reply;
        int count;
        P want;
        int status;
        uint32_t rd, wr;
    };
    const Case cases[] = {
        {2, {0xFF, 2, 2}, 2, P::Incomplete, -1, 0, 0},
        {2, {0xFF, 2, 2}, 3, P::Running, 2, 0, 0},
        {2, {0xFF, 2, 1}, 3, P::Incomplete, -1, 0, 0},
        {2, {0xFF, 2, 1, 0x2C, 0x01}, 6, P::Incomplete, -1, 0, 0},
        {2, {0xFF, 2, 1, 0x2C, 0x01, 0x50, 0}, 7, P::Final, 1, 300, 80},
        {2, {0xFF, 2, 7}, 3, P::Final, 7, 0, 0},
        {2, {0xFF, 2, 3}, 3, P::Final, 3, 0, 0},
        {0, {0xFF, 0, 1}, 3, P::Final, 1, 0, 0},
        {0, {0xFF, 0, 0}, 3, P::Final, 0, 0, 0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << k.kind << " count " << k.count << " status byte "
                                        << int(k.reply[2]));
        int status = -1;
        uint32_t rd = 0, wr = 0;
        EXPECT_EQ(QUserRecordCmd::parsePoll(k.kind, Reply(k.reply).buf, k.count, &status, &rd, &wr), k.want);
        EXPECT_EQ(status, k.status);
        EXPECT_EQ(rd, k.rd);
        EXPECT_EQ(wr, k.wr);
    }
}

TEST(RecordCmdReplies, TimeSyncPayloadCarriesTheLocalTime)
{
    uint8_t p[8];
    QUserRecordCmd::timeSyncPayload(QDateTime(QDate(2031, 12, 30), QTime(23, 59, 58)), p);
    EXPECT_EQ(Bytes(p, p + 8), (Bytes{3, 0xEF, 0x07, 12, 30, 23, 59, 58}));
}

// No transfer function, or a transfer that brings nothing: -1.
TEST(RecordCmdReplies, ExchangeWithoutTransferFails)
{
    uint8_t reply[32];
    const uint8_t sub = 1;
    EXPECT_EQ(QUserRecordCmd::exchange(nullptr, 62, 0, 5, &sub, 1, reply, 32), -1);
    const QUserRecordCmd::TransferFn silent = [](uint32_t, uint32_t, uint8_t *, int32_t) -> uint32_t { return 0; };
    EXPECT_EQ(QUserRecordCmd::exchange(silent, 62, 0, 5, &sub, 1, reply, 32), -1);
    // An answer that is no frame is refused by the framer: 0.
    const QUserRecordCmd::TransferFn junk = [](uint32_t, uint32_t, uint8_t *b, int32_t) -> uint32_t {
        std::memset(b, 0x11, 20);
        return 20;
    };
    EXPECT_EQ(QUserRecordCmd::exchange(junk, 62, 0, 5, &sub, 1, reply, 32), 0);
}

// ---- the wait task -------------------------------------------------------------

namespace {

// An owner whose polls are answered from a script: reply bytes per poll
// (empty: the transfer failed), copied up to the capacity asked for.
class ScriptOwner : public QUserRecordWaitOwner
{
public:
    explicit ScriptOwner(recsim::FakeClock *c) : clock(c) {}

    std::function<Bytes(int)> script;
    recsim::FakeClock *clock;

    int devStatusQuery(uint8_t sub, uint8_t *reply, int *capacity) override
    {
        QMutexLocker l(&mutex);
        subs.push_back(sub);
        capacities.push_back(*capacity);
        times.push_back(clock->nowMs());
        const Bytes r = script(int(times.size()) - 1);
        std::memset(reply, 0xEE, size_t(*capacity));
        const int count = r.empty() ? -1 : int(r.size()) < *capacity ? int(r.size()) : *capacity;
        if (count > 0)
            std::memcpy(reply, r.data(), size_t(count));
        if (count < 3)
            return 2;
        *capacity = count;
        return reply[2];
    }
    void diskSpeedSet(uint32_t r, uint32_t w) override
    {
        QMutexLocker l(&mutex);
        speeds.push_back({r, w});
    }
    void diskTaskExit(int code) override
    {
        QMutexLocker l(&mutex);
        exits.push_back(code);
    }

    QMutex mutex;
    std::vector<int> subs, capacities, exits;
    std::vector<int64_t> times;
    std::vector<std::pair<uint32_t, uint32_t>> speeds;
};

void runTask(int kind, QUserRecordWaitOwner *owner, QUserWaitClock *clock)
{
    QUserWaitResultTask task(kind, owner, clock);
    task.start();
    ASSERT_TRUE(task.wait(20000)) << "the task did not end";
}

} // namespace

// Status 2 for ever: the first poll goes out at once, later ones more than
// 1000 ms apart, and after 20 s the task reports 4.
TEST(RecordWaitTask, EndsWithTimeOutAfterTwentySeconds)
{
    recsim::FakeClock clock;
    const int64_t start = clock.nowMs();
    ScriptOwner owner(&clock);
    owner.script = [](int) { return Bytes{0xFF, 0, 2}; };
    runTask(0, &owner, &clock);
    ASSERT_EQ(owner.exits, std::vector<int>({4}));
    ASSERT_GE(owner.times.size(), 2u);
    EXPECT_EQ(owner.times.front(), start);
    for (size_t i = 1; i < owner.times.size(); ++i)
        EXPECT_GT(owner.times[i] - owner.times[i - 1], 1000) << "poll " << i;
    EXPECT_LE(owner.times.back() - start, 19999);
    EXPECT_EQ(owner.times.size(), 20u);
    EXPECT_GE(clock.nowMs() - start, 20000);
    EXPECT_TRUE(owner.speeds.empty());
    for (int s : owner.subs)
        EXPECT_EQ(s, 0);
}

// Failed and short polls do not end the wait; the final status does, and a
// test that ends with 1 hands its speeds over first.
TEST(RecordWaitTask, IgnoresFailedPollsUntilTheFinalStatus)
{
    recsim::FakeClock clock;
    ScriptOwner owner(&clock);
    owner.script = [](int i) -> Bytes {
        switch (i) {
        case 0: return {};
        case 1: return {0xFF, 2};
        case 2: return {0xFF, 2, 2};
        default: return {0xFF, 2, 1, 0x90, 0x01, 0xC8, 0x00};
        }
    };
    runTask(2, &owner, &clock);
    EXPECT_EQ(owner.exits, std::vector<int>({1}));
    ASSERT_EQ(owner.speeds.size(), 1u);
    EXPECT_EQ(owner.speeds[0], std::make_pair(400u, 200u));
    EXPECT_EQ(owner.times.size(), 4u);
    for (int s : owner.subs)
        EXPECT_EQ(s, 2);

    // A failure status ends the wait without speeds.
    ScriptOwner failing(&clock);
    failing.script = [](int) { return Bytes{0xFF, 2, 9, 1, 1, 1, 1}; };
    runTask(2, &failing, &clock);
    EXPECT_EQ(failing.exits, std::vector<int>({9}));
    EXPECT_TRUE(failing.speeds.empty());
}

// Every poll may take a whole reply of 64 bytes, whatever the one before
// held: a short "still running" answer must not shrink the next poll, or a
// final answer with speeds would be cut.
TEST(RecordWaitTask, EveryPollKeepsTheFullReplyCapacity)
{
    recsim::FakeClock clock;
    ScriptOwner owner(&clock);
    owner.script = [](int i) -> Bytes {
        if (i < 2)
            return {0xFF, 2, 2};
        return {0xFF, 2, 1, 0x2C, 0x01, 0x50, 0x00, 0, 0, 0, 0, 0};
    };
    runTask(2, &owner, &clock);
    EXPECT_EQ(owner.capacities, std::vector<int>({64, 64, 64}));
    EXPECT_EQ(owner.exits, std::vector<int>({1}));
    ASSERT_EQ(owner.speeds.size(), 1u);
    EXPECT_EQ(owner.speeds[0], std::make_pair(300u, 80u));
}

// A "done" of a read/write test that does not hold its speeds is not read
// past its end: the task asks again and takes the speeds of a whole answer.
TEST(RecordWaitTask, ShortFinishedReplyIsAskedAgain)
{
    recsim::FakeClock clock;
    ScriptOwner owner(&clock);
    owner.script = [](int i) -> Bytes {
        if (i == 0)
            return {0xFF, 2, 1}; // done, without speeds
        return {0xFF, 2, 1, 0x10, 0x00, 0x20, 0x00};
    };
    runTask(2, &owner, &clock);
    EXPECT_EQ(owner.times.size(), 2u);
    EXPECT_EQ(owner.exits, std::vector<int>({1}));
    ASSERT_EQ(owner.speeds.size(), 1u);
    EXPECT_EQ(owner.speeds[0], std::make_pair(16u, 32u));
}

// Kinds other than format (0) and read/write test (2), or no owner: the
// task ends at once without a poll or a report.
TEST(RecordWaitTask, OtherKindsEndAtOnce)
{
    recsim::FakeClock clock;
    for (int kind : {1, 3, 4, -1}) {
        ScriptOwner owner(&clock);
        owner.script = [](int) { return Bytes{0xFF, 0, 1}; };
        runTask(kind, &owner, &clock);
        EXPECT_TRUE(owner.times.empty()) << kind;
        EXPECT_TRUE(owner.exits.empty()) << kind;
    }
    runTask(0, nullptr, &clock);
}
