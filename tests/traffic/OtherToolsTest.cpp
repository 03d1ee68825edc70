// Trace files written by other measurement tools: every fixture read through
// the trace front end (whole and in the batches of 16 that playback and the
// viewer use) gives the frames it holds, and python-can reads the same frames
// from the same files.

#include "tests/traffic/OtherToolsFixtures.h"
#include "tests/support/PeerCheck.h"
#include "traffic/QUserTraceFile.h"
#include "tests/support/TempWorkDir.h"
#include "tests/traffic/TraceSupport.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using othertools::Fixture;
using othertools::Want;

namespace {

std::string ascPath(const std::string &name) { return peer::sourceDir() + "/tests/traffic/fixtures/" + name; }

// The fixture as a file: ASC from the source tree, BLF written here.
std::string placeFixture(const Fixture &f, const TempWorkDir &dir, bool compress = true)
{
    if (!f.isBlf())
        return ascPath(f.name);
    const std::string path = dir.file(f.name);
    EXPECT_TRUE(craft::writeFile(path, f.blf(compress)));
    return path;
}

std::vector<Fixture> allFixtures()
{
    std::vector<Fixture> all = othertools::ascFixtures();
    for (Fixture &f : othertools::blfFixtures())
        all.push_back(std::move(f));
    return all;
}

QList<QUserCanMsg> readBatched(const QString &path, QList<int> *counts = nullptr)
{
    QUserTraceFile t;
    QList<QUserCanMsg> frames;
    int n;
    do {
        n = t.fileReadPart(path, frames, 16);
        if (counts)
            counts->append(n);
    } while (n >= 16);
    t.close();
    return frames;
}

void expectFrames(const QList<QUserCanMsg> &got, const std::vector<Want> &want)
{
    ASSERT_EQ(size_t(got.size()), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        const QUserCanMsg &m = got[int(i)];
        const Want &w = want[i];
        EXPECT_EQ(m.idText, QString(w.id));
        EXPECT_EQ(m.extended, w.ext);
        EXPECT_EQ(m.remote, w.remote);
        EXPECT_EQ(m.protocol, w.protocol);
        EXPECT_EQ(m.fdFlags, w.fdFlags);
        EXPECT_EQ(m.lenText, QString(w.len));
        EXPECT_EQ(m.dataText, QString(w.data));
        EXPECT_EQ(m.direction, w.dir);
        EXPECT_EQ(m.channel, w.channel);
        EXPECT_EQ(m.hostTime, w.ms);
    }
}

QJsonArray pythonCanRead(const std::string &path, std::string *output)
{
    const peer::Result r = peer::run(peer::script("traffic_peer.py"), {"read", path});
    *output = r.output;
    if (r.exitCode != 0)
        return {};
    const QList<QByteArray> lines = QByteArray::fromStdString(r.output).split('\n');
    for (int i = lines.size() - 1; i >= 0; --i) {
        if (lines[i].startsWith('['))
            return QJsonDocument::fromJson(lines[i]).array();
    }
    return {};
}

} // namespace

class OtherToolTraces : public WorkDirTest
{
};

TEST_F(OtherToolTraces, FixturesReadThroughTheFrontEnd)
{
    for (const Fixture &f : allFixtures()) {
        for (bool compress : {true, false}) {
            if (!compress && !f.isBlf())
                continue;
            SCOPED_TRACE(f.name + (compress ? "" : " (stored containers)"));
            const QString path = QString::fromStdString(placeFixture(f, workDir, compress));
            {
                SCOPED_TRACE("whole");
                QUserTraceFile t;
                QList<QUserCanMsg> frames;
                EXPECT_EQ(t.fileRead(path, frames), 0);
                t.close();
                expectFrames(frames, f.frames);
            }
            {
                SCOPED_TRACE("batches of 16");
                expectFrames(readBatched(path), f.frames);
            }
        }
    }
}

// All fixtures of a format joined into one file of more than 16 frames: the
// batches continue across the lines and objects that are not frames.
TEST_F(OtherToolTraces, BatchesContinueAcrossSkippedEntries)
{
    std::vector<Want> ascWant, blfWant;
    QByteArray ascBytes;
    Fixture joined;
    joined.chunk = 300;
    for (const Fixture &f : allFixtures()) {
        if (f.isBlf()) {
            joined.objects.insert(joined.objects.end(), f.objects.begin(), f.objects.end());
            blfWant.insert(blfWant.end(), f.frames.begin(), f.frames.end());
        } else {
            QFile in(QString::fromStdString(ascPath(f.name)));
            ASSERT_TRUE(in.open(QIODevice::ReadOnly));
            ascBytes += in.readAll();
            ascWant.insert(ascWant.end(), f.frames.begin(), f.frames.end());
        }
    }
    ASSERT_TRUE(tracetest::writeAll("all.asc", ascBytes));
    ASSERT_TRUE(craft::writeFile(workDir.file("all.blf"), joined.blf(true)));
    struct Case {
        const char *name;
        const std::vector<Want> &want;
        QList<int> counts;
    } cases[] = {
        {"all.asc", ascWant, {16, 16, 8}},
        {"all.blf", blfWant, {16, 7}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QList<int> counts;
        const QList<QUserCanMsg> frames = readBatched(c.name, &counts);
        EXPECT_EQ(counts, c.counts);
        // The fixtures' times start again in each part; only the frames count.
        ASSERT_EQ(size_t(frames.size()), c.want.size());
        for (size_t i = 0; i < c.want.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(frames[int(i)].idText, QString(c.want[i].id));
            EXPECT_EQ(frames[int(i)].dataText, QString(c.want[i].data));
            EXPECT_EQ(frames[int(i)].lenText, QString(c.want[i].len));
        }
    }
}

TEST_F(OtherToolTraces, PythonCanReadsTheSameFrames)
{
    REQUIRE_PEER_MODULES("can");
    for (const Fixture &f : allFixtures()) {
        SCOPED_TRACE(f.name);
        const std::string path = placeFixture(f, workDir);
        const bool asc = !f.isBlf();
        std::string output;
        const QJsonArray theirs = pythonCanRead(path, &output);
        const QList<QUserCanMsg> ours = readBatched(QString::fromStdString(path));
        ASSERT_EQ(theirs.size(), ours.size()) << output.substr(0, 2000);
        ASSERT_EQ(size_t(ours.size()), f.frames.size());
        for (int i = 0; i < ours.size(); ++i) {
            SCOPED_TRACE(i);
            const QUserCanMsg &m = ours[i];
            const QJsonObject p = theirs[i].toObject();
            bool ok = false;
            EXPECT_EQ(m.idText.trimmed().toUInt(&ok, 16), uint(p["id"].toDouble()));
            EXPECT_TRUE(ok);
            EXPECT_EQ(bool(m.extended), p["ext"].toBool());
            // python-can's ASC reader takes a CAN FD line of length 0 for a
            // remote frame; CAN FD has no remote frames.
            if (!(asc && m.protocol != 0 && m.lenText == "0")) {
                EXPECT_EQ(bool(m.remote), p["rtr"].toBool());
            }
            const Want &want = f.frames[size_t(i)];
            if (!want.peerTakesFdLineAsFd) {
                EXPECT_EQ(m.protocol != 0, p["fd"].toBool());
            }
            EXPECT_EQ(m.protocol == 2, p["brs"].toBool());
            EXPECT_EQ((m.fdFlags & 0x02) != 0, p["esi"].toBool());
            EXPECT_EQ(m.dataText.toUpper(), p["data"].toString());
            if (!m.remote) {
                EXPECT_EQ(m.lenText.toInt(), p["len"].toInt());
            } else if (want.peerTakesFdLineAsFd) {
                // A remote frame of a CANFD line keeps its DLC, up to 8.
                EXPECT_EQ(m.lenText.toInt(), std::min(p["dlc"].toInt(), 8));
            } else if (!asc) {
                // A remote frame keeps its DLC in BLF; an ASC remote line is
                // read with length 0 whatever DLC it names.
                EXPECT_EQ(m.lenText.toInt(), p["dlc"].toInt());
            }
            EXPECT_EQ(int(m.channel), p["ch"].toInt());
            if (!f.frames[size_t(i)].peerDirectionDiffers) {
                EXPECT_EQ(m.direction == 0, p["rx"].toBool());
            }
            EXPECT_NEAR(double(m.hostTime - ours[0].hostTime), p["t"].toDouble(), 0.5);
        }
    }
}

// A BLF file cut short: the frames read are the first of those python-can
// reads from it (python-can says nothing of the cut; the front end does).
// python-can also takes the whole objects of the container the cut goes
// through; the binlog reader stops at the last whole container.
TEST_F(OtherToolTraces, CutShortBlfGivesTheFirstFramesPythonCanReads)
{
    REQUIRE_PEER_MODULES("can");
    const std::string path = workDir.file("cut.blf");
    ASSERT_TRUE(craft::writeFile(path, othertools::cutShortBlf(40, 2)));
    std::string output;
    const QJsonArray theirs = pythonCanRead(path, &output);
    QUserTraceFile t;
    QList<QUserCanMsg> ours;
    int n;
    do {
        n = t.fileReadPart(QString::fromStdString(path), ours, 16);
    } while (n >= 16);
    EXPECT_TRUE(t.endedEarly());
    t.close();
    ASSERT_GE(theirs.size(), ours.size()) << output.substr(0, 2000);
    EXPECT_LT(theirs.size(), 30) << "python-can stops within the cut container";
    EXPECT_EQ(ours.size(), 20) << "the two whole containers";
    for (int i = 0; i < ours.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ours[i].idText.trimmed().toUInt(nullptr, 16), uint(theirs[i].toObject()["id"].toDouble()));
        EXPECT_EQ(ours[i].dataText.toUpper(), theirs[i].toObject()["data"].toString());
    }
}

// The classic remote frames of a CAN FD channel's CANFD lines are saved as
// remote frames, not as CAN FD data frames: into BLF with their DLC, into
// ASC as remote lines.
TEST_F(OtherToolTraces, RemoteFramesOfCanFdLinesAreSavedAsRemoteFrames)
{
    QList<QUserCanMsg> read;
    {
        QUserTraceFile t;
        ASSERT_EQ(t.fileRead(QString::fromStdString(ascPath("asc_fd_channel_remote.asc")), read), 0);
    }
    ASSERT_EQ(read.size(), 5);
    for (const char *name : {"saved.blf", "saved.asc"}) {
        SCOPED_TRACE(name);
        const QString path = QString::fromStdString(workDir.file(name));
        {
            QUserTraceFile t;
            ASSERT_TRUE(t.fileCreate(path));
            for (const QUserCanMsg &m : read)
                ASSERT_TRUE(t.write(m));
            ASSERT_TRUE(t.close());
        }
        QList<QUserCanMsg> back;
        QUserTraceFile t;
        ASSERT_EQ(t.fileRead(path, back), 0);
        ASSERT_EQ(back.size(), 5);
        const bool blf = QString::fromLatin1(name).endsWith(".blf");
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(back[i].remote, 1);
            EXPECT_EQ(back[i].protocol, 0);
            EXPECT_EQ(back[i].dataText, "");
            // BLF keeps the DLC; an ASC remote line of this program has none.
            EXPECT_EQ(back[i].lenText, blf ? read[i].lenText : QString("0"));
        }
        EXPECT_EQ(back[3].remote, 0);
        EXPECT_EQ(back[3].protocol, 1);
        EXPECT_EQ(back[4].protocol, 2);
    }
}
