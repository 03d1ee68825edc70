#include "core/QUserBaudFunc.h"

#include "tests/support/PeerCheck.h"

#include <QColor>

#include <sstream>

TEST(BaudFunc, FdTimingWordPackAndUnpack)
{
    uint32_t w = 123;
    packFdBaudTiming(1, 1, 1, 1, w);
    EXPECT_EQ(w, 0u);
    packFdBaudTiming(6, 4, 15, 4, w);
    EXPECT_EQ(w, 0x0141830Eu);
    struct Case {
        int brp, sjw, t1, t2;
    } cases[] = {{1, 1, 1, 1}, {6, 4, 15, 4}, {1024, 128, 256, 128}, {2, 7, 63, 16}, {513, 65, 129, 64}};
    for (const Case &c : cases) {
        uint32_t word = 0;
        EXPECT_EQ(packFdBaudTiming(c.brp, c.sjw, c.t1, c.t2, &word), 0);
        int b = 0, s = 0, t1 = 0, t2 = 0;
        EXPECT_EQ(unpackFdBaudTiming(word, b, s, t1, t2), 0);
        EXPECT_EQ(b, c.brp);
        EXPECT_EQ(s, c.sjw);
        EXPECT_EQ(t1, c.t1);
        EXPECT_EQ(t2, c.t2);
    }
    int b, s, t1, t2;
    unpackFdBaudTiming(0xFFFFFFFFu, &b, &s, &t1, &t2);
    EXPECT_EQ(b, 1024);
    EXPECT_EQ(s, 128);
    EXPECT_EQ(t1, 256);
    EXPECT_EQ(t2, 128);
}

TEST(BaudFunc, ClassicBtr)
{
    struct Case {
        uint8_t b0, b1;
        int brp, sjw, t1, t2;
    } cases[] = {{0x00, 0x1C, 2, 0, 13, 2}, {0xC1, 0x1C, 4, 0xC0, 13, 2}, {0x3F, 0xFF, 128, 0, 16, 8},
                 {0x41, 0x9A, 4, 0x40, 11, 2}};
    for (const Case &c : cases) {
        int b, s, t1, t2;
        EXPECT_EQ(unpackBtr(c.b0, c.b1, b, s, t1, t2), 0);
        EXPECT_EQ(b, c.brp);
        EXPECT_EQ(s, c.sjw);
        EXPECT_EQ(t1, c.t1);
        EXPECT_EQ(t2, c.t2);
    }
}

TEST(BaudFunc, CustomBaudText)
{
    QString t = "old";
    calcBaudText(60, 0x0141830E, 0x0141830E, t);
    EXPECT_EQ(t, "500.000Kbps(80.0%),500.000Kbps(80.0%),(60,0141830E,0141830E)");
    uint32_t arb, data;
    packFdBaudTiming(2, 8, 63, 16, arb);  // 80 MHz: 500 kbit/s, 80 %
    packFdBaudTiming(1, 4, 15, 4, data);  // 80 MHz: 4 Mbit/s, 80 %
    calcBaudText(80, arb, data, t);
    EXPECT_EQ(t, QString::asprintf("500.000Kbps(80.0%%),4000.000Kbps(80.0%%),(80,%08X,%08X)", arb, data));
    packFdBaudTiming(3, 1, 1, 1, arb);  // 80e6/3 = 26666666 then /3
    calcBaudText(80, arb, arb, t);
    EXPECT_TRUE(t.startsWith("8888.888Kbps(66.7%)")) << t.toStdString();
}

TEST(BaudFunc, LengthListsAndCodes)
{
    QStringList l{"x"};
    getLenList(false, l);
    EXPECT_EQ(l, (QStringList{"x", "0", "1", "2", "3", "4", "5", "6", "7", "8"}));
    QStringList fd;
    getLenList(true, fd);
    EXPECT_EQ(fd.join(' '), "0 1 2 3 4 5 6 7 8 12 16 20 24 32 48 64");

    struct Dlc {
        int len, dlc;
    } dlcs[] = {{0, 0}, {8, 8}, {12, 9}, {64, 15}, {10, 0}, {-1, 0}, {65, 0}};
    for (const auto &c : dlcs)
        EXPECT_EQ(lenToDlc(c.len), c.dlc) << c.len;

    struct Valid {
        bool fd;
        int len, want;
    } valids[] = {{true, 10, 8}, {true, 13, 12}, {true, 64, 64}, {true, 65, 0}, {true, 0, 0}, {true, 47, 32},
                  {false, 8, 8}, {false, 9, 0},  {false, -1, 0}, {true, -1, 0}, {false, 0, 0}, {false, 5, 5}};
    for (const auto &c : valids)
        EXPECT_EQ(getValidLen(c.fd, c.len), c.want) << c.fd << " " << c.len;
}

TEST(BaudFunc, Colours)
{
    EXPECT_EQ(colorToText(QColor(43, 87, 154)), "43,87,154");
    EXPECT_EQ(textToColor("43,87,154"), QColor(43, 87, 154));
    EXPECT_FALSE(textToColor("43,87").isValid());
    EXPECT_FALSE(textToColor("").isValid());
    EXPECT_EQ(textToColor("1,,2,3"), QColor(1, 2, 3));
    EXPECT_EQ(textToColor("1,2,3,99"), QColor(1, 2, 3));
    EXPECT_EQ(textToColor("a,2,3"), QColor(0, 2, 3));
    EXPECT_FALSE(textToColor("256,0,0").isValid());
    EXPECT_FALSE(textToColor("-1,0,0").isValid());
    EXPECT_EQ(textToColor("1,2,3").alpha(), 255);
}

TEST(BaudFunc, PeerPythonCanBitTiming)
{
    REQUIRE_PEER_MODULES("can");
    // Classic registers: python-can counts the prescaler in periods of the
    // SJA1000's 8 MHz clock, ours in periods of the 16 MHz clock; its SJW is
    // the two register bits shifted down plus one.
    const int pairs[][2] = {{0x00, 0x1C}, {0xC1, 0x1C}, {0x03, 0x1C}, {0x41, 0x9A}, {0x80, 0x7F}, {0x3F, 0x23}};
    std::vector<std::string> args{"btr"};
    for (auto &p : pairs) {
        args.push_back(std::to_string(p[0]));
        args.push_back(std::to_string(p[1]));
    }
    auto r = peer::run(peer::script("core_timing.py"), args);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::istringstream in(r.output);
    for (auto &p : pairs) {
        int pb, ps, pt1, pt2;
        ASSERT_TRUE(in >> pb >> ps >> pt1 >> pt2) << r.output;
        int b, s, t1, t2;
        unpackBtr(uint8_t(p[0]), uint8_t(p[1]), b, s, t1, t2);
        EXPECT_EQ(b, pb * 2) << p[0];
        EXPECT_EQ((s >> 6) + 1, ps) << p[0];
        EXPECT_EQ(t1, pt1);
        EXPECT_EQ(t2, pt2);
    }

    // CAN FD words: rate and sample point of the text against python-can.
    struct Fd {
        int clock, brp, sjw, t1, t2;
    } fds[] = {{60, 6, 4, 15, 4}, {80, 2, 8, 63, 16}, {80, 1, 4, 15, 4}, {80, 4, 16, 31, 8}, {60, 3, 3, 15, 4},
               {80, 10, 2, 12, 3}, {40, 1, 1, 5, 2}};
    args = {"fd"};
    for (auto &f : fds)
        for (int v : {f.clock, f.brp, f.sjw, f.t1, f.t2})
            args.push_back(std::to_string(v));
    r = peer::run(peer::script("core_timing.py"), args);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::istringstream fin(r.output);
    for (auto &f : fds) {
        long long bitrate;
        std::string sample;
        ASSERT_TRUE(fin >> bitrate >> sample) << r.output;
        uint32_t w;
        packFdBaudTiming(f.brp, f.sjw, f.t1, f.t2, w);
        QString text;
        calcBaudText(f.clock, w, w, text);
        const QString phase = QString::asprintf("%.3fKbps(%s%%)", bitrate / 1000.0, sample.c_str());
        EXPECT_TRUE(text.startsWith(phase + "," + phase + ",")) << text.toStdString() << " vs " << phase.toStdString();
    }

    // Lengths and codes where both define them.
    r = peer::run(peer::script("core_timing.py"), {"dlc"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    std::istringstream din(r.output);
    QStringList fd;
    getLenList(true, fd);
    for (int dlc = 0; dlc < 16; ++dlc) {
        int len;
        ASSERT_TRUE(din >> len);
        EXPECT_EQ(fd[dlc].toInt(), len);
    }
    for (int dlc = 0; dlc < 16; ++dlc) {
        int code;
        ASSERT_TRUE(din >> code);
        EXPECT_EQ(lenToDlc(fd[dlc].toInt()), code);
    }
}
