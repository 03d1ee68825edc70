// Peer checks: python-can reads the ASC and BLF files we write, and we read
// the files python-can writes, frame for frame.

#include "tests/support/PeerCheck.h"
#include "traffic/QUserTraceFile.h"
#include "tests/support/TempWorkDir.h"
#include "tests/traffic/TraceSupport.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using tracetest::frame;

namespace {

const int kFdLengths[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64};

QString bytesText(int n, int seed)
{
    QString s;
    for (int k = 0; k < n; ++k)
        s += QString::asprintf("%02X", (seed + 5 * k) & 0xFF);
    return s;
}

QList<QUserCanMsg> ourFrames()
{
    QList<QUserCanMsg> out;
    qint64 t = 1700000000000;
    int i = 0;
    for (int len = 0; len <= 8; ++len) {
        for (bool ext : {false, true}) {
            out.append(frame(QString::asprintf("%08X ", ext ? 0x1F000000 + i : 0x700 + i), ext, false, 0, QString::number(len),
                             bytesText(len, i), i % 2, i % 3, t));
            t += 3 + i % 5;
            ++i;
        }
    }
    out.append(frame("00000123 ", false, true, 0, "0", "", 0, 1, t++));
    out.append(frame("01234567 ", true, true, 0, "0", "", 1, 0, t++));
    for (int len : kFdLengths) {
        for (int proto : {1, 2}) {
            out.append(frame(QString::asprintf("%08X ", 0x300 + i), i % 3 == 0, false, proto, QString::number(len),
                             bytesText(len, i), proto == 2, 2, t));
            t += 1 + i % 4;
            ++i;
        }
    }
    return out;
}

QJsonArray runPeer(const std::vector<std::string> &args, std::string *output)
{
    const peer::Result r = peer::run(peer::script("traffic_peer.py"), args);
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

// One frame of ours against one of python-can's.
void expectSame(const QUserCanMsg &ours, const QJsonObject &p, qint64 ourTime)
{
    bool ok = false;
    EXPECT_EQ(ours.idText.trimmed().toUInt(&ok, 16), uint(p["id"].toDouble()));
    EXPECT_EQ(bool(ours.extended), p["ext"].toBool());
    // python-can's ASC reader takes a CAN FD line of length 0 as a remote
    // frame (it does so with its own files too); CAN FD has no remote frames.
    if (!(ours.protocol != 0 && ours.lenText == "0")) {
        EXPECT_EQ(bool(ours.remote), p["rtr"].toBool());
    }
    EXPECT_EQ(ours.protocol != 0, p["fd"].toBool());
    EXPECT_EQ(ours.protocol == 2, p["brs"].toBool());
    if (!ours.remote) {
        EXPECT_EQ(ours.lenText.toInt(), p["len"].toInt());
        EXPECT_EQ(ours.dataText.toUpper(), p["data"].toString());
    }
    EXPECT_EQ(int(ours.channel), p["ch"].toInt());
    EXPECT_EQ(ours.direction == 0, p["rx"].toBool());
    EXPECT_NEAR(double(ourTime), p["t"].toDouble(), 1.0);
}

} // namespace

class TracePeer : public WorkDirTest
{
};

TEST_F(TracePeer, PythonCanReadsOurFiles)
{
    REQUIRE_PEER_MODULES("can");
    const QList<QUserCanMsg> frames = ourFrames();
    for (const QString name : {"ours.asc", "ours.blf"}) {
        SCOPED_TRACE(name.toStdString());
        {
            QUserTraceFile w;
            ASSERT_TRUE(w.fileCreate(name));
            for (const auto &m : frames)
                ASSERT_TRUE(w.write(m));
            ASSERT_TRUE(w.close());
        }
        std::string output;
        const QJsonArray read = runPeer({"read", workDir.file(name.toStdString())}, &output);
        ASSERT_EQ(read.size(), frames.size()) << output.substr(0, 2000);
        for (int i = 0; i < frames.size(); ++i) {
            SCOPED_TRACE(i);
            expectSame(frames[i], read[i].toObject(), frames[i].hostTime - frames[0].hostTime);
        }
    }
}

TEST_F(TracePeer, WeReadPythonCanFiles)
{
    REQUIRE_PEER_MODULES("can");
    struct Case {
        std::string name;
        std::vector<std::string> options; // compression, container size
    } cases[] = {
        {"py.asc", {}},
        {"py.blf", {"6"}},
        {"py.blf", {"0"}},
        {"py.blf", {"6", "300"}}, // objects span containers
        {"py.blf", {"0", "1000"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name + (c.options.empty() ? "" : " " + c.options[0]) + (c.options.size() > 1 ? " " + c.options[1] : ""));
        std::vector<std::string> args = {"write", workDir.file(c.name)};
        args.insert(args.end(), c.options.begin(), c.options.end());
        std::string output;
        const QJsonArray written = runPeer(args, &output);
        ASSERT_FALSE(written.isEmpty()) << output.substr(0, 2000);

        QUserTraceFile r;
        QList<QUserCanMsg> frames;
        int n;
        do {
            n = r.fileReadPart(QString::fromStdString(c.name), frames, 16);
        } while (n >= 16);
        r.close();
        ASSERT_EQ(frames.size(), written.size());
        for (int i = 0; i < frames.size(); ++i) {
            SCOPED_TRACE(i);
            expectSame(frames[i], written[i].toObject(), frames[i].hostTime - frames[0].hostTime);
        }
    }
}
