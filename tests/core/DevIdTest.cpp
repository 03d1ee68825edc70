#include "core/QUserDevId.h"

#include <gtest/gtest.h>

TEST(DevId, MakeAndParse)
{
    EXPECT_EQ(makeDevId("VARIRORODadi", 1, 0), "VARIRORODadi-1-0");
    EXPECT_EQ(makeDevId("TRNA702", 0, 7), "TRNA702-0-7");

    QString type = "untouched";
    int index = -9, channel = -9;
    EXPECT_TRUE(parseDevId("USBCAN2-0-1", type, &index, &channel));
    EXPECT_EQ(type, "USBCAN2");
    EXPECT_EQ(index, 0);
    EXPECT_EQ(channel, 1);

    struct Bad { const char *id; } bad[] = {{""}, {"USBCAN2-0"}, {"A-B-C-D"}, {"USBCAN2"}};
    for (const auto &b : bad) {
        type = "untouched";
        index = channel = -9;
        EXPECT_FALSE(parseDevId(b.id, type, &index, &channel)) << b.id;
        EXPECT_EQ(type, "untouched");
        EXPECT_EQ(index, -9);
    }

    EXPECT_TRUE(parseDevId("USBCAN2--1", type, &index, &channel));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(channel, 1);
    EXPECT_TRUE(parseDevId("X-a-b", type, &index, &channel));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(channel, 0);
    EXPECT_TRUE(parseDevId("TRNB702-3-5", type)); // number outputs may be omitted
    EXPECT_EQ(type, "TRNB702");
}

TEST(DevId, DisplayTextRoundTrip)
{
    EXPECT_EQ(getDevIdTextEx(1, "USBCAN2-0-1"), "USBCAN2 DEV:0 CH:1 ");
    EXPECT_EQ(getDevIdTextEx(7, "USBCAN2-0-1"), "USBCAN2 DEV:0 CH:1 ");
    EXPECT_EQ(getDevIdTextEx(0, "USBCAN2-0-1"), QStringLiteral("USBCAN2 设备:0 通道:1 "));
    EXPECT_EQ(getDevIdText("USBCAN2-0-1"), getDevIdTextEx(0, "USBCAN2-0-1"));
    EXPECT_EQ(getDevIdTextEx(0, "garbage"), QStringLiteral(" 设备:0 通道:0 "));

    const char *ids[] = {"USBCAN2-0-1", "TRNA702-12-7", "VARIRORODadi-1-0"};
    for (const char *id : ids)
        for (int lang : {0, 1})
            EXPECT_EQ(parseDevIdText(getDevIdTextEx(lang, id)), id) << id << " " << lang;

    EXPECT_EQ(parseDevIdText(QStringLiteral("USBCAN2 设备:0 通道:1 ")), "USBCAN2-0-1");
    // Texts not made by the display formatter do not crash.
    EXPECT_EQ(parseDevIdText("plain"), "plain-0-0");
    EXPECT_EQ(parseDevIdText(""), "-0-0");
    EXPECT_EQ(parseDevIdText("A B:3"), "A-3-0");
}
