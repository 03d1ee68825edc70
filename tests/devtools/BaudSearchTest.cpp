// The two bit-timing searches: held against an enumerator written here from
// the bit-timing formula, against the worked figures, and against
// python-can's BitTiming for rate and sample point.

#include "devtools/QUserBtrBaudSearch.h"
#include "devtools/QUserFd2Settings.h"
#include "devtools/QUserFdBaudSearch.h"

#include "tests/support/PeerCheck.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>
#include <sstream>
#include <tuple>
#include <vector>

namespace {

struct Timing {
    long brp, tseg1, tseg2; // segment values (not register values)
    bool operator==(const Timing &o) const
    {
        return brp == o.brp && tseg1 == o.tseg1 && tseg2 == o.tseg2;
    }
};

std::ostream &operator<<(std::ostream &os, const Timing &t)
{
    return os << "{brp " << t.brp << ", tseg1 " << t.tseg1 << ", tseg2 " << t.tseg2 << "}";
}

// Every split whose bit time is a whole number of clock periods per quantum,
// whose truncated rate is within maxErr percent of the target and whose
// sample point is at least minSample percent; exact integer comparisons.
std::vector<Timing> enumerate(long long clockHz, long long quantumClocks, long brpMax, long t1Max,
                              long t2Max, long long target, long long maxErr, long long minSample)
{
    std::vector<Timing> out;
    for (long brp = 1; brp <= brpMax; ++brp) {
        const long long div = brp * quantumClocks;
        if (clockHz % div != 0)
            continue;
        for (long t1 = 1; t1 <= t1Max; ++t1)
            for (long t2 = 1; t2 <= t2Max; ++t2) {
                const long long n = 1 + t1 + t2;
                const long long rate = clockHz / div / n;
                const long long diff = rate > target ? rate - target : target - rate;
                if (diff * 100 > maxErr * target)
                    continue;
                if (100 * (t1 + 1) < minSample * n)
                    continue;
                out.push_back({brp, t1, t2});
            }
    }
    return out;
}

std::vector<Timing> fdTimings(const QVector<FdBaudParam> &v)
{
    std::vector<Timing> out;
    for (const auto &p : v)
        out.push_back({p.brp + 1, p.tseg1 + 1, p.tseg2 + 1});
    return out;
}

uint32_t packed(long brp, long sjwField, long t1, long t2)
{
    return uint32_t(brp - 1) << 22 | uint32_t(sjwField) << 15 | uint32_t(t2 - 1) << 8 | uint32_t(t1 - 1);
}

} // namespace

TEST(FdBaudSearch, MatchesEnumeratorAcrossClocksRatesAndBounds)
{
    struct Case { int phase, clockMHz, targetKbps, maxErr, minSample; };
    const Case cases[] = {
        {0, 60, 1000, 1, 70}, {1, 60, 5000, 1, 70},  {0, 80, 500, 2, 80},   {1, 80, 2000, 1, 60},
        {0, 60, 10, 1, 50},   {1, 60, 4000, 3, 75},  {0, 200, 250, 1, 87},  {1, 200, 8000, 5, 70},
        {0, 80, 333, 10, 50}, {1, 60, 1, 10, 50},    {0, 60, 1, 10, 50},    {1, 80, 12345, 4, 90},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "phase " << c.phase << " clock " << c.clockMHz << " rate "
                                        << c.targetKbps << " err " << c.maxErr << " sp " << c.minSample);
        QVector<FdBaudParam> got;
        const int n = calcFdBaudParam(c.phase, c.clockMHz * 1000, c.targetKbps * 1000, 0, c.maxErr,
                                      c.minSample, got);
        const bool arb = c.phase == 0;
        const auto want = enumerate(c.clockMHz * 1000000LL, 1, 1023, arb ? 15 : 127, arb ? 7 : 31,
                                    c.targetKbps * 1000LL, c.maxErr, c.minSample);
        EXPECT_EQ(n, int(want.size()));
        EXPECT_EQ(fdTimings(got), want);
        for (const auto &p : got) {
            const long nTq = 1 + (p.tseg1 + 1) + (p.tseg2 + 1);
            const long long rate = c.clockMHz * 1000000LL / (p.brp + 1) / nTq;
            EXPECT_EQ(p.baud, float(rate));
            EXPECT_FLOAT_EQ(p.samplePoint, float(100.0 * (p.tseg1 + 2) / nTq));
            EXPECT_EQ(p.word, packed(p.brp + 1, 0, p.tseg1 + 1, p.tseg2 + 1));
        }
    }
}

TEST(FdBaudSearch, WorkedFiguresAt60MHz)
{
    QVector<FdBaudParam> a;
    EXPECT_EQ(calcFdBaudParam(0, 60000, 1000000, 0, 1, 70, a), 16);
    const uint32_t firstArb[] = {0x0080050C, 0x0080040D, 0x0080030E};
    const float firstSp[] = {70.0f, 75.0f, 80.0f};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(a[i].word, firstArb[i]);
        EXPECT_EQ(a[i].brp, 2);
        EXPECT_EQ(a[i].tseg1, 12 + i);
        EXPECT_FLOAT_EQ(a[i].samplePoint, firstSp[i]);
        EXPECT_EQ(a[i].err, 0.0f);
        EXPECT_EQ(a[i].baud, 1000000.0f);
    }

    QVector<FdBaudParam> d;
    EXPECT_EQ(calcFdBaudParam(1, 60000, 5000000, 0, 1, 70, d), 5);
    const uint32_t words[] = {0x00000207, 0x00000108, 0x00000009, 0x00400003, 0x00800001};
    const float sps[] = {75.0f, 83.3f, 91.7f, 83.3f, 75.0f};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(d[i].word, words[i]) << i;
        EXPECT_NEAR(d[i].samplePoint, sps[i], 0.05f) << i;
    }
}

TEST(FdBaudSearch, BoundsSjwFieldAndListHandling)
{
    // Both bounds are inclusive: a 70.0 % split passes a 70 % bound, and
    // 60 MHz / 3 / 20 = 1 000 000 bit/s is exactly 25 % above 800 000.
    QVector<FdBaudParam> v;
    calcFdBaudParam(0, 60000, 1000000, 0, 1, 70, v);
    EXPECT_FLOAT_EQ(v.first().samplePoint, 70.0f);

    QVector<FdBaudParam> edge;
    calcFdBaudParam(1, 60000, 800000, 0, 25, 50, edge);
    bool sawExact = false;
    for (const auto &p : edge)
        if (p.baud == 1000000.0f) {
            sawExact = true;
            EXPECT_EQ(p.err, 25.0f);
        }
    EXPECT_TRUE(sawExact);

    QVector<FdBaudParam> s;
    calcFdBaudParam(0, 60000, 1000000, 3, 1, 70, s);
    ASSERT_EQ(s.size(), 16);
    for (const auto &p : s) {
        EXPECT_EQ(p.sjw, 3);
        EXPECT_EQ((p.word >> 15) & 0x7F, 3u);
        EXPECT_EQ(p.word & ~(0x7Fu << 15), packed(p.brp + 1, 0, p.tseg1 + 1, p.tseg2 + 1));
    }

    QVector<FdBaudParam> pre(4);
    EXPECT_EQ(calcFdBaudParam(0, 60000, 1000000, 0, 1, 70, pre), 20);

    QVector<FdBaudParam> none;
    EXPECT_EQ(calcFdBaudParam(0, 60000, 0, 0, 10, 50, none), 0);
    EXPECT_EQ(calcFdBaudParam(1, 60000, 0, 0, 10, 50, none), 0);
    EXPECT_EQ(calcFdBaudParam(0, 60000, 1000, 0, 1, 50, none), 0); // 1 kbit/s: too slow for 60 MHz
}

TEST(FdBaudSearch, LargePrescalerWordsKeepTheirTopBits)
{
    QVector<FdBaudParam> v;
    ASSERT_GT(calcFdBaudParam(0, 60000, 10000, 0, 1, 70, v), 0);
    bool sawWord = false;
    for (const auto &p : v)
        if (p.word == 0x95C00205u)
            sawWord = true;
    EXPECT_TRUE(sawWord);
    EXPECT_GE(v.last().word, 0x80000000u);
}

TEST(BtrBaudSearch, MatchesEnumeratorAndWorkedFigures)
{
    for (int kbps : {1000, 800, 500, 250, 125, 100, 50, 20, 10, 5, 33, 83}) {
        for (int maxErr : {1, 3}) {
            for (int minSample : {50, 70, 80}) {
                SCOPED_TRACE(testing::Message() << kbps << " kbit/s err " << maxErr << " sp " << minSample);
                QVector<BtrBaudParam> got;
                const int n = calcBtrBaudParam(16000000, kbps * 1000, maxErr, minSample, got);
                auto want = enumerate(16000000, 2, 64, 16, 8, kbps * 1000LL, maxErr, 0);
                // whole-percent sample point, truncated
                want.erase(std::remove_if(want.begin(), want.end(),
                                          [&](const Timing &t) {
                                              return 100 * (t.tseg1 + 1) / (1 + t.tseg1 + t.tseg2) < minSample;
                                          }),
                           want.end());
                ASSERT_EQ(n, int(want.size()));
                for (int i = 0; i < n; ++i) {
                    EXPECT_EQ(got[i].btr0, want[i].brp - 1);
                    EXPECT_EQ(got[i].btr1, (want[i].tseg2 - 1) << 4 | (want[i].tseg1 - 1));
                    EXPECT_EQ(got[i].samplePoint,
                              float(100 * (want[i].tseg1 + 1) / (1 + want[i].tseg1 + want[i].tseg2)));
                }
            }
        }
    }

    QVector<BtrBaudParam> r;
    ASSERT_EQ(calcBtrBaudParam(16000000, 1000000, 1, 50, r), 6);
    const int rows[][3] = {{0x00, 0x32, 50}, {0x00, 0x23, 62}, {0x00, 0x14, 75},
                           {0x00, 0x05, 87}, {0x01, 0x10, 50}, {0x01, 0x01, 75}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(r[i].btr0, rows[i][0]);
        EXPECT_EQ(r[i].btr1, rows[i][1]);
        EXPECT_EQ(r[i].samplePoint, float(rows[i][2]));
        EXPECT_EQ(r[i].baud, 1000000.0f);
        EXPECT_EQ(r[i].err, 0.0f);
    }

    struct Firsts { int kbps, count, btr0, btr1; };
    for (const Firsts &f : {Firsts{500, 14, 0x00, 0x76}, Firsts{250, 14, 0x01, 0x76}}) {
        QVector<BtrBaudParam> v;
        EXPECT_EQ(calcBtrBaudParam(16000000, f.kbps * 1000, 1, 50, v), f.count) << f.kbps;
        ASSERT_FALSE(v.isEmpty());
        EXPECT_EQ(v[0].btr0, f.btr0);
        EXPECT_EQ(v[0].btr1, f.btr1);
        EXPECT_EQ(v[0].samplePoint, 50.0f);
    }

    QVector<BtrBaudParam> eighty, ninety, zero;
    ASSERT_EQ(calcBtrBaudParam(16000000, 1000000, 1, 80, eighty), 1);
    EXPECT_EQ(eighty[0].btr1, 0x05);
    EXPECT_EQ(eighty[0].samplePoint, 87.0f);
    EXPECT_EQ(calcBtrBaudParam(16000000, 1000000, 1, 90, ninety), 0);
    EXPECT_EQ(calcBtrBaudParam(16000000, 0, 10, 50, zero), 0);
}

// The preset words say what their list texts say.
TEST(FdPresets, WordsGiveTheirNamedRatesAndSamplePoints)
{
    const double arbKbps[] = {1000, 800, 500, 250, 125, 100, 50};
    const double dataKbps[] = {5000, 4000, 2000, 1000, 800, 500, 250, 125, 100, 50};
    for (int clock : {60, 80}) {
        const auto a = QUserFd2Settings::arbWords(clock);
        const auto d = QUserFd2Settings::dataWords(clock);
        ASSERT_EQ(a.size(), 7);
        ASSERT_EQ(d.size(), 10);
        EXPECT_EQ(QUserFd2Settings::arbListTexts().size(), 8);
        EXPECT_EQ(QUserFd2Settings::dataListTexts(clock).size(), 10);
        auto rate = [&](uint32_t w) {
            const int brp = (w >> 22) + 1, t1 = (w & 0xFF) + 1, t2 = ((w >> 8) & 0x7F) + 1;
            return clock * 1000.0 / brp / (1 + t1 + t2);
        };
        for (int i = 0; i < 7; ++i)
            EXPECT_DOUBLE_EQ(rate(a[i]), arbKbps[i]) << clock << " arb " << i;
        for (int i = 0; i < 10; ++i)
            EXPECT_DOUBLE_EQ(rate(d[i]), dataKbps[i]) << clock << " data " << i;
        for (uint32_t w : {QUserFd2Settings::defaultSelfArbWord(clock), QUserFd2Settings::defaultSelfDataWord(clock)})
            EXPECT_TRUE(rate(w) == 1000 || rate(w) == 5000) << std::hex << w;
    }
    EXPECT_EQ(QUserFd2Settings::dataListTexts(80)[0], "5Mbps 87%");
    EXPECT_EQ(QUserFd2Settings::dataListTexts(60)[0], "5Mbps 75%");
}

namespace {

// Runs the peer over the lines and returns one (rate, sample point) per line.
std::vector<std::pair<double, double>> peerTimings(const std::vector<std::string> &lines)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("timings.txt");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    for (const auto &l : lines)
        f.write((l + "\n").c_str());
    f.close();
    const auto r = peer::run(peer::script("devtools_bittiming.py"), {path.toStdString()});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::pair<double, double>> out;
    std::istringstream in(r.output);
    double a, b;
    while (in >> a >> b)
        out.emplace_back(a, b);
    EXPECT_EQ(out.size(), lines.size()) << r.output;
    return out;
}

} // namespace

TEST(BaudSearchPeer, FdWordsAgreeWithPythonCan)
{
    REQUIRE_PEER_MODULES("can");
    struct Search { int phase, clockMHz, kbps; };
    std::vector<std::string> lines;
    std::vector<std::tuple<double, double, int>> ours; // rate, sample point, clock
    auto add = [&](uint32_t w, int clock, double rate, double sp) {
        const int brp = (w >> 22) + 1, t1 = (w & 0xFF) + 1, t2 = ((w >> 8) & 0x7F) + 1;
        lines.push_back("fd " + std::to_string(clock * 1000000LL) + " " + std::to_string(brp) + " " +
                        std::to_string(t1) + " " + std::to_string(t2));
        ours.emplace_back(rate, sp, clock);
    };
    for (const Search &s : {Search{0, 60, 1000}, Search{1, 60, 5000}, Search{0, 80, 500},
                            Search{1, 80, 2000}, Search{0, 200, 250}, Search{1, 200, 4000}}) {
        QVector<FdBaudParam> v;
        calcFdBaudParam(s.phase, s.clockMHz * 1000, s.kbps * 1000, 0, 2, 60, v);
        ASSERT_FALSE(v.isEmpty());
        for (const auto &p : v)
            add(p.word, s.clockMHz, p.baud, p.samplePoint);
    }
    for (int clock : {60, 80})
        for (auto words : {QUserFd2Settings::arbWords(clock), QUserFd2Settings::dataWords(clock)})
            for (uint32_t w : words) {
                const int brp = (w >> 22) + 1, t1 = (w & 0xFF) + 1, t2 = ((w >> 8) & 0x7F) + 1;
                add(w, clock, double(clock * 1000000LL / brp / (1 + t1 + t2)), 100.0 * (t1 + 1) / (1 + t1 + t2));
            }
    const auto peers = peerTimings(lines);
    ASSERT_EQ(peers.size(), ours.size());
    for (size_t i = 0; i < peers.size(); ++i) {
        EXPECT_EQ(std::floor(peers[i].first), std::get<0>(ours[i])) << lines[i];
        EXPECT_NEAR(peers[i].second, std::get<1>(ours[i]), 0.05) << lines[i];
    }
}

TEST(BaudSearchPeer, BtrPairsAgreeWithPythonCan)
{
    REQUIRE_PEER_MODULES("can");
    std::vector<std::string> lines;
    std::vector<BtrBaudParam> ours;
    for (int kbps : {1000, 800, 500, 250, 125, 100, 50, 20, 10}) {
        QVector<BtrBaudParam> v;
        calcBtrBaudParam(16000000, kbps * 1000, 2, 50, v);
        ASSERT_FALSE(v.isEmpty()) << kbps;
        for (const auto &p : v) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "btr %02X %02X", p.btr0, p.btr1);
            lines.push_back(buf);
            ours.push_back(p);
        }
    }
    const auto peers = peerTimings(lines);
    ASSERT_EQ(peers.size(), ours.size());
    for (size_t i = 0; i < peers.size(); ++i) {
        EXPECT_EQ(std::floor(peers[i].first), ours[i].baud) << lines[i];
        EXPECT_EQ(std::floor(peers[i].second + 1e-9), ours[i].samplePoint) << lines[i];
    }
}
