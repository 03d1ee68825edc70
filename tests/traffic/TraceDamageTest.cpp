// Damaged trace files and files that are no trace files through the
// trace-file front end: damaged BLF containers and ASC lines are passed
// over, the rest reads, and the front end tells how many places were
// damaged; a file of no trace format gives no frames and says so.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <zlib.h>

#include "tests/support/TempWorkDir.h"
#include "tests/traffic/DamageSupport.h"
#include "tests/traffic/OtherToolsFixtures.h"
#include "tests/traffic/PlaybackSupport.h"
#include "tests/traffic/TraceSupport.h"
#include "traffic/QUserTraceFile.h"

namespace {

class TraceDamage : public WorkDirTest
{
};

QString here(const QString &name) { return QDir::current().absoluteFilePath(name); }

struct FrontEndRead {
    QList<QUserCanMsg> frames;
    qint64 damaged = 0;
    bool notTrace = false;
    bool endedEarly = false;
};

// Reads a file the way playback and the viewer do: batches of 16 until a
// short one; BLF also as binary frames, which must give the same.
FrontEndRead frontEndRead(const QString &path)
{
    FrontEndRead r;
    QUserTraceFile t;
    for (;;) {
        const int n = t.fileReadPart(path, r.frames, 16);
        if (n < 16)
            break;
    }
    r.damaged = t.damagedCount();
    r.notTrace = t.notTraceFile();
    r.endedEarly = t.endedEarly();
    t.close();
    if (QUserTraceFile::rawReadable(path)) {
        QUserTraceFile raw;
        QUserCanMsgRaw batch[16];
        int total = 0;
        for (;;) {
            const int n = raw.fileReadPartRaw(path, batch, 16);
            if (n > 0)
                total += n;
            if (n < 16)
                break;
        }
        EXPECT_EQ(total, r.frames.size()) << "binary read";
        EXPECT_EQ(raw.damagedCount(), r.damaged) << "binary read";
        EXPECT_EQ(raw.notTraceFile(), r.notTrace) << "binary read";
        raw.close();
    }
    return r;
}

uint32_t idOf(const QUserCanMsg &m) { return m.idText.trimmed().toUInt(nullptr, 16); }

} // namespace

TEST_F(TraceDamage, FilesThatAreNoTraceFileGiveNoFramesAndSaySo)
{
    for (const damage::NotTrace &f : damage::notTraceFiles()) {
        SCOPED_TRACE(f.name.toStdString());
        const QString path = here(f.name);
        ASSERT_TRUE(craft::writeFile(path.toStdString(), f.bytes));
        const FrontEndRead r = frontEndRead(path);
        EXPECT_TRUE(r.frames.isEmpty());
        EXPECT_TRUE(r.notTrace);
    }
    // A missing file, too.
    EXPECT_TRUE(frontEndRead(here("missing.blf")).notTrace);
    EXPECT_TRUE(frontEndRead(here("missing.asc")).notTrace);

    // Trace files that hold no frame are trace files all the same.
    ASSERT_TRUE(playtest::writeTrace(here("empty.blf"), 0));
    ASSERT_TRUE(tracetest::writeAll(here("empty.asc"), "date Tue Mar 5 10:20:00.000 am 2024\r\nbase hex  timestamps "
                                                       "absolute\r\nEnd TriggerBlock\r\n"));
    for (const char *name : {"empty.blf", "empty.asc"}) {
        SCOPED_TRACE(name);
        const FrontEndRead r = frontEndRead(here(name));
        EXPECT_TRUE(r.frames.isEmpty());
        EXPECT_FALSE(r.notTrace);
        EXPECT_EQ(r.damaged, 0);
    }
    // A file that read as no trace file does not make the next one one.
    QUserTraceFile t;
    QList<QUserCanMsg> frames;
    EXPECT_LT(t.fileReadPart(here("zero.blf"), frames, 16), 0);
    EXPECT_TRUE(t.notTraceFile());
    t.close();
    ASSERT_TRUE(playtest::writeTrace(here("five.blf"), 5));
    EXPECT_EQ(t.fileReadPart(here("five.blf"), frames, 16), 5);
    EXPECT_FALSE(t.notTraceFile());
    t.close();
}

// Every frame of the intact containers reads, in order; the damaged places
// are counted, and a file cut short as well as damaged says both.
TEST_F(TraceDamage, DamagedBlfContainersArePassedOverAndCounted)
{
    struct Case {
        const char *what;
        std::vector<int> damaged;
        bool cut;
    } cases[] = {
        {"one container", {3}, false},
        {"the first", {0}, false},
        {"the last", {9}, false},
        {"two apart", {2, 6}, false},
        {"two in a row: one place", {4, 5}, false},
        {"damaged and cut short", {2}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        damage::DamagedBlf d = damage::damagedBlf(100, 10, c.damaged);
        if (c.cut) {
            // Cut inside the ninth container: the header still gives the
            // whole size.
            const auto containers = damage::containersOf(d.bytes);
            d.bytes.resize(containers[8].first + containers[8].second / 2);
            d.kept.erase(std::remove_if(d.kept.begin(), d.kept.end(), [](int i) { return i >= 80; }), d.kept.end());
        }
        const QString path = here("damaged.blf");
        ASSERT_TRUE(craft::writeFile(path.toStdString(), d.bytes));
        const FrontEndRead r = frontEndRead(path);
        ASSERT_EQ(r.frames.size(), int(d.kept.size()));
        for (int i = 0; i < r.frames.size(); ++i)
            ASSERT_EQ(idOf(r.frames[i]), uint32_t(0x100 + d.kept[size_t(i)])) << i;
        const bool adjacent = c.damaged.size() == 2 && c.damaged[1] == c.damaged[0] + 1;
        EXPECT_EQ(r.damaged, adjacent ? 1 : qint64(c.damaged.size()));
        EXPECT_FALSE(r.notTrace);
        EXPECT_EQ(r.endedEarly, c.cut);
    }
    // A whole file and one cut short are no damage.
    const QString path = here("whole.blf");
    damage::DamagedBlf whole = damage::damagedBlf(100, 10, {});
    ASSERT_TRUE(craft::writeFile(path.toStdString(), whole.bytes));
    EXPECT_EQ(frontEndRead(path).damaged, 0);
    ASSERT_TRUE(craft::writeFile(path.toStdString(), othertools::cutShortBlf(40, 2)));
    const FrontEndRead cut = frontEndRead(path);
    EXPECT_EQ(cut.damaged, 0);
    EXPECT_TRUE(cut.endedEarly);
}

TEST_F(TraceDamage, AscLinesThatDoNotParseAreCountedAndTheRestRead)
{
    const damage::DamagedAsc a = damage::damagedAsc();
    const QString path = here("damaged.asc");
    ASSERT_TRUE(tracetest::writeAll(path, a.text));
    const FrontEndRead r = frontEndRead(path);
    ASSERT_EQ(r.frames.size(), a.goodLines);
    for (int i = 0; i < r.frames.size(); ++i) {
        EXPECT_EQ(idOf(r.frames[i]), uint32_t(0x100 + i)) << i;
        EXPECT_EQ(r.frames[i].dataText, QString::asprintf("%02x00", 0x10 + i)) << i;
    }
    EXPECT_EQ(r.damaged, a.badLines);
    EXPECT_FALSE(r.notTrace);
    EXPECT_FALSE(r.endedEarly);

    // Other tools' files and ours hold no damaged line.
    for (const othertools::Fixture &f : othertools::ascFixtures()) {
        SCOPED_TRACE(f.name);
        const FrontEndRead fr = frontEndRead(QString::fromStdString(peer::sourceDir() + "/tests/traffic/fixtures/" + f.name));
        EXPECT_EQ(fr.frames.size(), int(f.frames.size()));
        EXPECT_EQ(fr.damaged, 0);
        EXPECT_FALSE(fr.notTrace);
    }
    ASSERT_TRUE(playtest::writeTrace(here("ours.asc"), 300));
    const FrontEndRead ours = frontEndRead(here("ours.asc"));
    EXPECT_EQ(ours.frames.size(), 300);
    EXPECT_EQ(ours.damaged, 0);
}

// The check of the whole recording: 1,000,000 frames recorded through the
// front end (about a hundred deflated containers), one byte flipped in the
// compressed data of the container in the middle. Every frame of the other
// containers reads back; only that container's are lost.
TEST_F(TraceDamage, AMillionFramesWithOneFlippedByte)
{
    constexpr int kFrames = 1000000;
    const QString path = here("million.blf");
    {
        QUserTraceFile w;
        ASSERT_TRUE(w.fileCreate(path));
        for (int i = 0; i < kFrames; ++i) {
            // Frame i carries i in its data.
            QUserCanMsg m = playtest::classicFrame(i);
            m.idText = QString::asprintf("%08X ", 0x100 + i % 0x600);
            m.extended = 0;
            m.lenText = QStringLiteral("4");
            m.dataText = QString::asprintf("%08X", i);
            m.hostTime = 1700000000000 + i / 4;
            ASSERT_TRUE(w.write(m));
        }
        ASSERT_TRUE(w.close());
    }
    craft::Bytes file = craft::readFile(path.toStdString());
    // The containers that hold data, and the frames (CAN messages) of the
    // one in the middle.
    std::vector<std::pair<size_t, size_t>> data;
    for (const auto &c : damage::containersOf(file))
        if (craft::get32(file.data() + c.first + 24) != 0)
            data.push_back(c);
    ASSERT_GE(data.size(), 20u);
    const auto victim = data[data.size() / 2];
    ASSERT_EQ(file[victim.first + 16], 2) << "a deflated container";
    uLongf len = craft::get32(file.data() + victim.first + 24);
    craft::Bytes inflated(len);
    uLong srcLen = uLong(victim.second - 32);
    ASSERT_EQ(uncompress2(inflated.data(), &len, file.data() + victim.first + 32, &srcLen), Z_OK);
    int lost = 0;
    for (size_t q = 0; q + 16 <= inflated.size();) {
        ASSERT_EQ(std::memcmp(inflated.data() + q, "LOBJ", 4), 0) << q;
        const uint32_t size = craft::get32(inflated.data() + q + 8);
        if (craft::get32(inflated.data() + q + 12) == 1)
            ++lost;
        q += size + size % 4;
    }
    ASSERT_GT(lost, 0);
    file[victim.first + 32 + (victim.second - 32) / 2] ^= 0x01;
    ASSERT_TRUE(craft::writeFile(path.toStdString(), file));

    QUserTraceFile r;
    QList<QUserCanMsg> frames;
    int read = 0;
    int64_t previous = -1;
    int gaps = 0;
    int64_t missing = 0;
    bool inOrder = true;
    for (;;) {
        frames.clear();
        const int n = r.fileReadPart(path, frames, 16);
        for (const QUserCanMsg &m : frames) {
            const int64_t i = m.dataText.toLongLong(nullptr, 16);
            if (i <= previous)
                inOrder = false;
            else if (i != previous + 1) {
                ++gaps;
                missing += i - previous - 1;
            }
            previous = i;
            ++read;
        }
        if (n < 16)
            break;
    }
    r.close();
    std::printf("1,000,000 frames, one byte flipped in container %zu of %zu (%d frames): %d frames read\n",
                data.size() / 2 + 1, data.size(), lost, read);
    EXPECT_EQ(read, kFrames - lost);
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(gaps, 1);
    EXPECT_EQ(missing, lost);
    EXPECT_EQ(previous, kFrames - 1);
}
