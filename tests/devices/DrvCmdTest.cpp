// The command port between posters and a driver thread, including what a
// stopping or absent driver does to posters.

#include <gtest/gtest.h>

#include <QSemaphore>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

#include "devices/QUserDrvCmd.h"

TEST(DrvCmdPort, ClosedPortFailsAtOnce)
{
    QUserDrvCmdPort port;
    EXPECT_FALSE(port.isOpen());
    QUserCanMsg m;
    int done = 7;
    EXPECT_EQ(port.postWait(QUserDrvCmd::SendOne, 0, &m, nullptr, nullptr, &done), -1);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(port.size(), 0);
}

TEST(DrvCmdPort, ExecutesInOrderAndWakesEachPoster)
{
    QUserDrvCmdPort port;
    port.open();
    std::atomic<bool> stop{false};
    std::vector<int> order;
    std::thread driver([&] {
        while (!stop) {
            QUserDrvCmd *cmd = port.pop();
            if (!cmd) {
                QThread::usleep(100);
                continue;
            }
            order.push_back(cmd->cmdArg() ? cmd->cmdArg()->channel : -1);
            if (cmd->cmdArg())
                cmd->cmdArg()->done = 1;
            cmd->result = cmd->type == 7 ? 0 : 5;
            QUserDrvCmdPort::finish(cmd);
        }
    });
    for (int ch = 0; ch < 20; ++ch) {
        int done = 0;
        EXPECT_EQ(port.postWait(QUserDrvCmd::SendOne, ch, nullptr, nullptr, nullptr, &done), 5);
        EXPECT_EQ(done, 1);
    }
    // A command without a semaphore is executed and nobody waits.
    QUserDrvCmd quiet;
    quiet.type = 7;
    EXPECT_TRUE(port.post(&quiet));
    while (port.size() > 0)
        QThread::usleep(100);
    stop = true;
    driver.join();
    ASSERT_EQ(order.size(), 21u);
    for (int ch = 0; ch < 20; ++ch)
        EXPECT_EQ(order[ch], ch);
}

// Posters waiting on a driver that stops are answered with -1 and released.
TEST(DrvCmdPort, ClosingAnswersQueuedPosters)
{
    QUserDrvCmdPort port;
    port.open();
    std::atomic<int> finished{0};
    std::vector<int> results(8, 0);
    std::vector<std::thread> posters;
    for (int i = 0; i < 8; ++i)
        posters.emplace_back([&, i] {
            results[i] = port.postWait(QUserDrvCmd::ChStart, i, nullptr, nullptr, nullptr);
            ++finished;
        });
    while (port.size() < 8)
        QThread::usleep(100);
    EXPECT_EQ(finished.load(), 0);
    port.close();
    for (auto &t : posters)
        t.join();
    for (int r : results)
        EXPECT_EQ(r, -1);
    EXPECT_EQ(port.postWait(QUserDrvCmd::ChStart, 0, nullptr, nullptr, nullptr), -1);
}
