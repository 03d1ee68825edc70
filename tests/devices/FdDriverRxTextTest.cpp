// The CAN FD driver thread's received frames carry exactly the texts and
// fields of the shared record conversions, whatever the identifiers (the
// driver reuses identifier texts from frame to frame) and lengths.

#include <gtest/gtest.h>

#include <QMutex>
#include <QCoreApplication>
#include <QMap>
#include <QMutexLocker>

#include <chrono>
#include <thread>
#include <vector>

#include "tests/devices/FakeKcan.h"
#include "tests/support/RigContext.h"
#include "tests/devices/PrintQt.h"
#include "tests/devices/SignalLog.h"
#include "devices/QKemFdDev.h"
#include "devtools/QUserFd2Cfg.h"

namespace {
const uint32_t kType = 67; // TRNB702

QUserFd2Cfg rxCfg()
{
    QUserFd2Cfg c;
    c.fdEnable = 1;
    c.isoStandard = 1;
    c.arbTimingWord = 0x01400106;
    c.dataTimingWord = 0x00800001;
    c.clock = 60;
    return c;
}

struct Collected {
    QMutex mutex;
    QMap<QString, QVector<QUserCanMsg>> byId;
    QVector<int> sizes;
    int count()
    {
        QMutexLocker l(&mutex);
        int n = 0;
        for (const auto &v : byId)
            n += v.size();
        return n;
    }
};

// Every field the receive path fills, plus the ones it must leave at their
// default-constructed values.
void expectSameFrame(const QUserCanMsg &got, const QUserCanMsg &want, int channel, int index)
{
    SCOPED_TRACE(testing::Message() << "channel " << channel << " frame " << index);
    EXPECT_EQ(got.idText, want.idText);
    EXPECT_EQ(got.lenText, want.lenText);
    EXPECT_EQ(got.dataText, want.dataText);
    EXPECT_EQ(got.remote, want.remote);
    EXPECT_EQ(got.extended, want.extended);
    EXPECT_EQ(got.protocol, want.protocol);
    EXPECT_EQ(got.fdFlags, want.fdFlags);
    EXPECT_EQ(got.devTime, want.devTime);
    EXPECT_EQ(got.auxText1, want.auxText1);
    EXPECT_EQ(got.auxText2, want.auxText2);
    EXPECT_EQ(got.sendType, want.sendType);
    EXPECT_EQ(got.sendTick, want.sendTick);
    EXPECT_EQ(got.auxCount, want.auxCount);
    EXPECT_EQ(got.status, want.status);
    EXPECT_EQ(got.sendFailed, want.sendFailed);
    EXPECT_EQ(got.rowEnable, want.rowEnable);
    EXPECT_EQ(got.direction, 0);
    EXPECT_EQ(got.channel, channel);
    EXPECT_GT(got.hostTime, 0);
}
} // namespace

TEST(FdDriverRxText, FramesMatchTheSharedConversionsAcrossManyIdentifiers)
{
    FakeKcan fake;
    ASSERT_TRUE(fake.ok()) << "stand-in library missing: " << FakeKcan::path().toStdString();

    // More distinct identifiers than any small cache has room for, standard
    // and extended, each seen twice (the second pass in the other order), with
    // lengths beyond each kind's data, remote frames and every FD flag mix.
    std::vector<KCAN_CAN_OBJ> classic;
    std::vector<KCAN_CANFD_OBJ> fd;
    const int kIds = 700;
    for (int pass = 0; pass < 2; ++pass) {
        for (int k = 0; k < kIds; ++k) {
            const int i = pass == 0 ? k : kIds - 1 - k;
            const bool ext = i % 3 == 0;
            const uint32_t id = ext ? 0x10000000u + uint32_t(i) * 0x10101u : uint32_t(i * 37) & 0x7FF;
            KCAN_CAN_OBJ c = canObj(id | (i % 5 == 0 ? 0xE0000000u : 0), {}, i % 11 == 0, ext);
            c.DataLen = uint8_t(i % 13); // 9..12 carry eight bytes of data
            for (int b = 0; b < 8; ++b)
                c.Data[b] = uint8_t(i * 7 + b);
            c.TimeStamp = 0xFFFFFF00u + uint32_t(i);
            classic.push_back(c);
            const int lens[] = {0, 1, 8, 12, 16, 20, 24, 32, 48, 64, 70, 255};
            const uint8_t flags[] = {0x00, 0x08, 0x10, 0x18};
            KCAN_CANFD_OBJ f = canFdObj(id, lens[i % 12], flags[i % 4]);
            f.RemoteFlag = i % 17 == 0;
            f.ExternFlag = ext;
            f.TimeStamp = uint32_t(i) * 1000u;
            fd.push_back(f);
        }
    }

    QKemFdDev drv("TRNB702", int(kType), 0);
    Collected rx;
    QObject::connect(&drv, &QKemFdDev::receiveMsg, &drv,
                     [&rx](QString id, QVector<QUserCanMsg> l) {
                         QMutexLocker lock(&rx.mutex);
                         rx.byId[id] += l;
                         rx.sizes.append(l.size());
                     },
                     Qt::DirectConnection);
    drv.threadStart();
    QUserFd2Cfg cfg = rxCfg();
    ASSERT_EQ(drv.canStart(2, &cfg), 0);
    ASSERT_EQ(drv.canStart(5, &cfg), 0);
    fake.pushRx(kType, 0, 2, classic.data(), int(classic.size()));
    fake.pushRxFd(kType, 0, 5, fd.data(), int(fd.size()));
    const int want = int(classic.size() + fd.size());
    ASSERT_TRUE(waitFor([&] { return rx.count() >= want; })) << rx.count() << " of " << want;
    drv.canClose(2);
    drv.canClose(5);

    QMutexLocker lock(&rx.mutex);
    for (int n : rx.sizes) {
        EXPECT_GE(n, 1);
        EXPECT_LE(n, 32);
    }
    const QVector<QUserCanMsg> a = rx.byId.value("TRNB702-0-2");
    const QVector<QUserCanMsg> b = rx.byId.value("TRNB702-0-5");
    ASSERT_EQ(a.size(), int(classic.size()));
    ASSERT_EQ(b.size(), int(fd.size()));
    for (int i = 0; i < a.size(); ++i) {
        QUserCanMsg expect;
        canObjToMsg(classic[size_t(i)], expect);
        expectSameFrame(a[i], expect, 2, i);
        if (HasFailure())
            return;
    }
    for (int i = 0; i < b.size(); ++i) {
        QUserCanMsg expect;
        canFdObjToMsg(fd[size_t(i)], expect);
        expectSameFrame(b[i], expect, 5, i);
        if (HasFailure())
            return;
    }
}

// Lists a receiver still holds are never written again, while those it let
// go of are refilled: every kept list, checked at the end, holds the frames it
// was emitted with, classic and CAN FD lists alternating on one channel.
TEST(FdDriverRxText, KeptBatchListsStayAsEmitted)
{
    FakeKcan fake;
    ASSERT_TRUE(fake.ok()) << "stand-in library missing: " << FakeKcan::path().toStdString();
    QKemFdDev drv("TRNB702", int(kType), 0);
    QMutex mutex;
    QVector<QVector<QUserCanMsg>> kept; // every third list, held whole
    QVector<QVector<QUserCanMsg>> seen; // a deep copy of every list as it came
    int lists = 0;
    QObject::connect(&drv, &QKemFdDev::receiveMsg, &drv,
                     [&](QString, QVector<QUserCanMsg> l) {
                         QMutexLocker lock(&mutex);
                         QVector<QUserCanMsg> deep;
                         for (const QUserCanMsg &m : l) {
                             QUserCanMsg c = m;
                             c.idText = QString(m.idText.constData(), m.idText.size());
                             c.dataText = QString(m.dataText.constData(), m.dataText.size());
                             deep.append(c);
                         }
                         seen.append(deep);
                         if (lists++ % 3 == 0)
                             kept.append(l);
                     },
                     Qt::DirectConnection);
    drv.threadStart();
    QUserFd2Cfg cfg = rxCfg();
    ASSERT_EQ(drv.canStart(3, &cfg), 0);
    int total = 0;
    for (int round = 0; round < 40; ++round) {
        std::vector<KCAN_CAN_OBJ> c;
        std::vector<KCAN_CANFD_OBJ> f;
        for (int i = 0; i < 20 + round; ++i) {
            c.push_back(canObj(uint32_t(round * 64 + i), {uint8_t(round), uint8_t(i)}));
            f.push_back(canFdObj(uint32_t(0x400 + round * 64 + i), 8 + i % 40, uint8_t(i % 2 ? 0x18 : 0x00)));
        }
        fake.pushRx(kType, 0, 3, c.data(), int(c.size()));
        fake.pushRxFd(kType, 0, 3, f.data(), int(f.size()));
        total += int(c.size() + f.size());
        ASSERT_TRUE(waitFor(
            [&] {
                QMutexLocker lock(&mutex);
                int n = 0;
                for (const auto &l : seen)
                    n += l.size();
                return n >= total;
            },
            testsupport::kGiveUpMs));
    }
    drv.canClose(3);
    QMutexLocker lock(&mutex);
    ASSERT_GT(kept.size(), 10);
    for (int k = 0; k < kept.size(); ++k) {
        const QVector<QUserCanMsg> &a = kept[k];
        const QVector<QUserCanMsg> &b = seen[k * 3];
        ASSERT_EQ(a.size(), b.size()) << "list " << k * 3;
        for (int i = 0; i < a.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "list " << k * 3 << " frame " << i);
            EXPECT_EQ(a[i].idText, b[i].idText);
            EXPECT_EQ(a[i].dataText, b[i].dataText);
            EXPECT_EQ(a[i].lenText, b[i].lenText);
            EXPECT_EQ(a[i].protocol, b[i].protocol);
            EXPECT_EQ(a[i].fdFlags, b[i].fdFlags);
            if (HasFailure())
                return;
        }
    }
    // Refilled lists carry no trace of what they held before.
    for (const auto &l : seen) {
        for (const QUserCanMsg &m : l) {
            if (m.protocol == 0) {
                ASSERT_EQ(m.fdFlags, 0);
            }
        }
    }
}

// The receivers usually live in another thread: they read each list as it
// comes through the queue and let go of it, and the driver refills a list
// only after the last read of every receiver (the thread sanitizer's build
// checks the order).
TEST(FdDriverRxText, ListsLetGoInTheGuiThreadAreRefilledAfterTheirLastRead)
{
    FakeKcan fake;
    ASSERT_TRUE(fake.ok()) << "stand-in library missing: " << FakeKcan::path().toStdString();
    QKemFdDev drv("TRNB702", int(kType), 0);
    RigContext receiver;
    int frames = 0;
    qint64 idSum = 0;
    QObject::connect(&drv, &QKemFdDev::receiveMsg, &receiver, [&](QString, QVector<QUserCanMsg> l) {
        for (const QUserCanMsg &m : l) {
            idSum += m.idText.trimmed().toLongLong(nullptr, 16);
            ++frames;
        }
    });
    drv.threadStart();
    QUserFd2Cfg cfg = rxCfg();
    ASSERT_EQ(drv.canStart(3, &cfg), 0);
    // The frames come from a thread of their own, as from the adapter: the
    // GUI thread and the driver meet only in the lists they share.
    const int rounds = 200;
    const int total = rounds * 32;
    qint64 expectSum = 0;
    for (int id = 0; id < total; ++id)
        expectSum += id;
    std::thread bus([&] {
        for (int round = 0; round < rounds; ++round) {
            std::vector<KCAN_CAN_OBJ> c;
            for (int i = 0; i < 32; ++i)
                c.push_back(canObj(uint32_t(round * 32 + i), {uint8_t(round), uint8_t(i)}));
            fake.pushRx(kType, 0, 3, c.data(), int(c.size()));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const bool all = waitFor([&] { return frames >= total; });
    bus.join();
    ASSERT_TRUE(all) << frames << " of " << total;
    drv.canClose(3);
    EXPECT_EQ(frames, total);
    EXPECT_EQ(idSum, expectSum);
}
