// The channel state record: bit-rate texts and the display text.

#include <gtest/gtest.h>

#include "tests/devices/PrintQt.h"
#include "devices/QUserDevChState.h"

TEST(DevChState, BitRateTexts)
{
    struct Case {
        uint32_t clock, brp, ts1, ts2;
        const char *text;
    };
    const Case cases[] = {
        {40, 1, 63, 16, "500Kbps"}, {40, 1, 31, 8, "1Mbps"},   {40, 1, 11, 4, "2.5Mbps"},
        {16, 2, 13, 2, "500Kbps"},  {40, 3, 11, 4, "833Kbps"}, // 833.33
        {40, 1, 20, 9, "1.3Mbps"},                              // 1333.3
        {40, 1, 5, 2, "5Mbps"},                                 // exactly 5000
    };
    for (const Case &c : cases) {
        QUserDevChState s("TRNB702-0-0", 1);
        EXPECT_EQ(s.baudSet(0, c.clock, c.brp, 1, c.ts1, c.ts2), 1);
        EXPECT_EQ(s.arbBaudText, QString::fromLatin1(c.text)) << c.clock << "/" << c.brp << "/" << c.ts1;
    }
}

TEST(DevChState, DataPhaseUsesNominalClockAndBadInputsChangeNothing)
{
    QUserDevChState s("TRNB702-0-0", 1);
    s.baudSet(0, 40, 1, 1, 63, 16);
    s.baudSet(1, 99, 1, 1, 15, 4); // the data clock is ignored: 40 MHz / 20 = 2 Mbit/s
    EXPECT_EQ(s.dataBaudText, "2Mbps");
    EXPECT_EQ(s.dataTiming[0], 99u);
    EXPECT_EQ(s.baudSet(2, 40, 1, 1, 1, 1), 0);
    EXPECT_EQ(s.baudSet(0, 40, 0, 1, 63, 16), 1); // prescaler 0: timing stored, text kept
    EXPECT_EQ(s.arbTiming[1], 0u);
    EXPECT_EQ(s.arbBaudText, "500Kbps");
}

TEST(DevChState, DisplayTexts)
{
    QUserDevChState fd("TRNB702-0-0", 1);
    fd.fdEnableSet(1);
    fd.baudSet(0, 40, 1, 1, 63, 16);
    fd.baudSet(1, 40, 1, 1, 15, 4);
    fd.languageSet(1);
    EXPECT_EQ(fd.devStateText(), "[FD][NORMAL][500Kbps,2Mbps]");
    EXPECT_EQ(fd.stateText, "[FD][NORMAL][500Kbps,2Mbps]");
    fd.fdEnableSet(0);
    EXPECT_EQ(fd.devStateText(), "[CAN][NORMAL][500Kbps]");

    QUserDevChState classic("USBCAN2-0-1", 0);
    classic.fdEnableSet(1);
    EXPECT_EQ(classic.fdEnableGet(), 0);
    classic.baudSet(0, 16, 2, 0, 13, 2);
    classic.relayShowSet();
    EXPECT_EQ(classic.devStateText(), QString::fromUtf8("[CAN]中继状态->[关闭][正常模式][500Kbps]"));
    classic.relayStateSet(1);
    classic.workModeSet(1);
    EXPECT_TRUE(classic.isListenMode());
    EXPECT_EQ(classic.devStateText(), QString::fromUtf8("[CAN]中继状态->[开启][只听模式][500Kbps]"));
    classic.languageSet(2);
    classic.workModeSet(2);
    EXPECT_EQ(classic.devStateText(), "[CAN]RelayState->[OPEN][UNKOWN][500Kbps]");
    classic.relayShowClear();
    EXPECT_EQ(classic.devStateText(), "[CAN][UNKOWN][500Kbps]");
    int mode = -1;
    classic.workModeGet(mode);
    EXPECT_EQ(mode, 2);
}

// A channel whose adapter left the host says so first, in either language,
// until it is marked otherwise; a copy carries the mark.
TEST(DevChState, LostChannelText)
{
    QUserDevChState fd("TRNB702-0-0", 1);
    fd.fdEnableSet(1);
    fd.baudSet(0, 40, 1, 1, 63, 16);
    fd.baudSet(1, 40, 1, 1, 15, 4);
    EXPECT_EQ(fd.chLostGet(), 0);
    fd.chLostSet(1);
    EXPECT_EQ(fd.devStateText(), QString::fromUtf8("[已断开][FD][正常模式][500Kbps,2Mbps]"));
    fd.languageSet(1);
    EXPECT_EQ(fd.devStateText(), "[DISCONNECTED][FD][NORMAL][500Kbps,2Mbps]");
    QUserDevChState copy = fd;
    EXPECT_EQ(copy.chLostGet(), 1);
    fd.chLostSet(0);
    EXPECT_EQ(fd.devStateText(), "[FD][NORMAL][500Kbps,2Mbps]");

    QUserDevChState classic("USBCAN2-0-1", 0);
    classic.baudSet(0, 16, 2, 0, 13, 2);
    classic.relayShowSet();
    classic.chLostSet(1);
    EXPECT_EQ(classic.devStateText(), QString::fromUtf8("[已断开][CAN]中继状态->[关闭][正常模式][500Kbps]"));
}

// Timings read from settings files can be nonsense; the text stays defined.
TEST(DevChState, AbsurdTimingsGiveABoundedText)
{
    QUserDevChState s("TRNB702-0-0", 1);
    EXPECT_EQ(s.baudSet(0, 0xFFFFFFFFu, 1, 1, 0, 0), 1);
    EXPECT_TRUE(s.arbBaudText.endsWith("Mbps"));
    EXPECT_EQ(s.baudSet(1, 0, 0xFFFFFFFFu, 1, 0xFFFFFFFFu, 0xFFFFFFFFu), 1);
    EXPECT_EQ(s.dataBaudText, "0Kbps");
}
