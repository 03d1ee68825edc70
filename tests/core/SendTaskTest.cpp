#include "core/QUserSendTask.h"

#include <gtest/gtest.h>

TEST(SendTask, DefaultsMatchTheSendPanelsExpectations)
{
    const QUserSendTask t;
    const QUserCanMsg plain;
    EXPECT_TRUE(t.msgList.isEmpty());
    EXPECT_EQ(t.msg.idText, plain.idText);
    EXPECT_EQ(t.msg.dataText, plain.dataText);
    EXPECT_EQ(t.msg.lenText, plain.lenText);
    EXPECT_EQ(t.reqSendCnt, 1u);
    EXPECT_EQ(t.perSendCnt, 1u);
    EXPECT_EQ(t.period, 1000);
    EXPECT_EQ(t.frameInterval, 10);
    EXPECT_EQ(t.idIncEnable, 0);
    EXPECT_EQ(t.running, 0);
    EXPECT_EQ(t.fdCapable, 0);
    EXPECT_EQ(t.fdEnable, 0);
}

TEST(SendTask, CopiesAreIndependent)
{
    QUserSendTask a;
    QUserCanMsg m;
    m.idText = "00000123";
    a.msgList.append(m);
    a.msg.dataText = "11 22";
    a.errorMode = 1;
    a.running = 1;

    QUserSendTask b = a;
    EXPECT_EQ(b.errorMode, 1u);
    EXPECT_EQ(b.running, 1);
    ASSERT_EQ(b.msgList.size(), 1);
    b.msgList[0].idText = "00000456";
    b.msgList.append(m);
    b.msg.dataText = "33";

    ASSERT_EQ(a.msgList.size(), 1);
    EXPECT_EQ(a.msgList[0].idText, "00000123");
    EXPECT_EQ(a.msg.dataText, "11 22");

    QUserSendTask c;
    c = b;
    c.msgList.clear();
    EXPECT_EQ(b.msgList.size(), 2);
}
