// The baud-rate candidate table: generated against an independent Python
// generator byte for byte, its known lines, and the reading rules.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "tests/support/PeerCheck.h"
#include "tests/devices/PrintQt.h"
#include "tests/support/TempWorkDir.h"
#include "devices/QUserBaudChk.h"

class BaudTableTest : public WorkDirTest
{
};

TEST_F(BaudTableTest, GeneratedFileMatchesIndependentGeneratorByteForByte)
{
    QVector<QUserBaudEntry> table;
    QVector<int> progress;
    ASSERT_TRUE(baudlist::generate(table, {}, [&](int p) { progress.append(p); }));
    ASSERT_EQ(baudlist::save(baudlist::filePath(), table), 323);

    const std::string ref = workDir.file("reference.txt");
    const peer::Result r = peer::run(peer::script("devices_baudlist.py"), {ref});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    QFile ours(baudlist::filePath());
    QFile theirs(QString::fromStdString(ref));
    ASSERT_TRUE(ours.open(QIODevice::ReadOnly));
    ASSERT_TRUE(theirs.open(QIODevice::ReadOnly));
    const QByteArray a = ours.readAll();
    const QByteArray b = theirs.readAll();
    EXPECT_EQ(a.size(), b.size());
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a.startsWith("5000,3F,7F\n"));
    EXPECT_EQ(a.count('\n'), 323);

    // One progress message per whole percentage, 1 to 100.
    ASSERT_EQ(progress.size(), 100);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(progress[i], i + 1);
}

TEST_F(BaudTableTest, KnownLinesAndStandardCandidates)
{
    QVector<QUserBaudEntry> table;
    ASSERT_TRUE(baudlist::generate(table));
    QStringList lines;
    for (const QUserBaudEntry &e : table)
        lines << baudlist::lineOf(e).trimmed();
    for (const char *l : {"5000,3F,7F", "10000,1F,7F", "10000,27,6B", "50000,07,6B", "50000,07,5C", "125000,03,49",
                          "125000,03,3A", "250000,01,49", "250000,01,3A", "500000,00,49", "500000,00,3A",
                          "800000,00,25", "800000,00,16", "1000000,00,14", "1000000,00,05"})
        EXPECT_TRUE(lines.contains(QString::fromLatin1(l))) << l;
    int standard = 0;
    int last = 0;
    for (const QUserBaudEntry &e : table) {
        EXPECT_GE(e.rate, last);
        last = e.rate;
        standard += baudlist::standardRates().contains(e.rate);
    }
    EXPECT_EQ(standard, 21);
}

TEST_F(BaudTableTest, StopRequestEndsGenerationEarly)
{
    QVector<QUserBaudEntry> table;
    int asked = 0;
    EXPECT_FALSE(baudlist::generate(table, [&] { return ++asked < 1000; }));
    EXPECT_EQ(asked, 1000);
    EXPECT_FALSE(table.isEmpty()); // 5000 Hz was found before the stop
}

TEST_F(BaudTableTest, LoadKeepsOnlyThreePartLines)
{
    QDir().mkpath("setting");
    QFile f(baudlist::filePath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("500000,00,1C\n1,2\n1,2,3,4\n\nzz,0G,7f\r\n250000,01,1C\n");
    f.close();
    QVector<QUserBaudEntry> t;
    ASSERT_TRUE(baudlist::load(baudlist::filePath(), t));
    ASSERT_EQ(t.size(), 3);
    EXPECT_EQ(t[0].rate, 500000);
    EXPECT_EQ(t[0].timing1, 0x1C);
    EXPECT_EQ(t[1].rate, 0);     // not a number
    EXPECT_EQ(t[1].timing0, 0);
    EXPECT_EQ(t[1].timing1, 0x7F);
    EXPECT_EQ(t[2].timing0, 1);
    EXPECT_FALSE(baudlist::load("nothing.txt", t));
    EXPECT_TRUE(t.isEmpty());
}
