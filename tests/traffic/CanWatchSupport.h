#pragma once
// Helpers of the trace viewer tests: the frame rule of the python-can peer
// files (tests/peers/traffic_watch.py), reading those files back through
// python-can, caches written and read directly, and a viewer worker on a
// thread of its own.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QVector>

#include <functional>
#include <ostream>

#include "tests/support/RigContext.h"
#include "tests/support/PeerCheck.h"
#include "core/QFClassUserCanMsg.h"
#include "tests/support/GiveUp.h"
#include "traffic/windows/QUserCanWatchWork.h"

namespace watchtest {

// Waits until pred holds; ms is a bound to give up at (GiveUp.h).
inline bool waitUntil(const std::function<bool()> &pred, int ms = testsupport::kGiveUpMs)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

// One frame as both sides see it.
struct WatchFrame {
    uint32_t id = 0;
    bool ext = false;
    bool rtr = false;
    bool fd = false;
    bool brs = false;
    QByteArray data;
    int ch = 0;
    bool tx = false;
};

inline bool operator==(const WatchFrame &a, const WatchFrame &b)
{
    return a.id == b.id && a.ext == b.ext && a.rtr == b.rtr && a.fd == b.fd && a.brs == b.brs && a.data == b.data
           && a.ch == b.ch && a.tx == b.tx;
}

inline std::ostream &operator<<(std::ostream &os, const WatchFrame &f)
{
    return os << std::hex << "id=" << f.id << std::dec << " ext=" << f.ext << " rtr=" << f.rtr << " fd=" << f.fd
              << " brs=" << f.brs << " ch=" << f.ch << " tx=" << f.tx << " data=" << f.data.toHex().toStdString();
}

// Frame i of the peer script's rule (traffic_watch.py, frame()).
inline WatchFrame watchFrame(int i)
{
    static const int fdLengths[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64};
    WatchFrame f;
    f.fd = i % 5 == 4;
    f.ext = i % 3 == 1;
    f.rtr = !f.fd && i % 7 == 3;
    f.id = f.ext ? ((0x1000000u + uint32_t(i) * 13u) & 0x1FFFFFFFu) : ((uint32_t(i) * 7u) & 0x7FFu);
    int n = i % 9;
    if (f.fd)
        n = (i / 5) % 2 == 0 ? 64 : fdLengths[(i / 10) % 16];
    if (!f.rtr) {
        for (int k = 0; k < n; ++k)
            f.data.append(char((i + k * 31) & 0xFF));
    }
    f.brs = f.fd && i % 2 == 0;
    f.ch = i % 3;
    f.tx = i % 4 == 2;
    return f;
}

inline WatchFrame fromMsg(const QUserCanMsg &m)
{
    WatchFrame f;
    f.id = uint32_t(m.getId());
    f.ext = m.extended != 0;
    f.rtr = m.remote != 0;
    f.fd = m.protocol != 0;
    f.brs = m.protocol == 2;
    if (!f.rtr)
        f.data = QByteArray::fromHex(QString(m.dataText).remove(' ').toLatin1());
    f.ch = m.channel;
    f.tx = m.direction != 0;
    return f;
}

inline QUserCanMsg toMsg(const WatchFrame &f, int64_t hostTime = 0)
{
    QUserCanMsg m;
    m.idText = QString::asprintf("%08X ", f.id);
    m.extended = f.ext;
    m.remote = f.rtr;
    m.protocol = uint8_t(f.fd ? (f.brs ? 2 : 1) : 0);
    m.lenText = QString::number(f.data.size());
    m.dataText = QString::fromLatin1(f.data.toHex().toUpper());
    m.channel = uint8_t(f.ch);
    m.direction = f.tx;
    m.hostTime = hostTime;
    return m;
}

// python-can writes `count` frames of the rule to path; false when it failed.
inline bool writePeerTrace(const QString &path, int count, std::string *output = nullptr)
{
    const peer::Result r =
        peer::run(peer::script("traffic_watch.py"), {"write", path.toStdString(), std::to_string(count)});
    if (output)
        *output = r.output;
    return r.exitCode == 0;
}

// python-can reads a trace file back.
inline bool readPeerTrace(const QString &path, QVector<WatchFrame> *out, std::string *output = nullptr)
{
    const peer::Result r = peer::run(peer::script("traffic_watch.py"), {"read", path.toStdString()});
    if (output)
        *output = r.output;
    if (r.exitCode != 0)
        return false;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.output));
    if (!doc.isArray())
        return false;
    out->clear();
    for (const QJsonValue &v : doc.array()) {
        const QJsonObject o = v.toObject();
        WatchFrame f;
        f.id = uint32_t(o.value("id").toDouble());
        f.ext = o.value("ext").toBool();
        f.rtr = o.value("rtr").toBool();
        f.fd = o.value("fd").toBool();
        f.brs = o.value("brs").toBool();
        f.data = QByteArray::fromHex(o.value("data").toString().toLatin1());
        f.ch = o.value("ch").toInt();
        f.tx = !o.value("rx").toBool();
        out->append(f);
    }
    return true;
}

// Every record of a cache file; nullopt-like: false when it cannot be opened
// or a record does not read.
inline bool cacheFrames(const QString &path, QVector<QUserCanMsg> *out)
{
    QFClassUserCanMsg c;
    if (!c.open(true, path))
        return false;
    out->clear();
    const uint64_t n = c.getMsgCount();
    for (uint64_t i = 0; i < n; ++i) {
        QUserCanMsg m;
        if (!c.readMsg(i, &m))
            return false;
        out->append(m);
    }
    return true;
}

inline bool writeCache(const QString &path, const QVector<QUserCanMsg> &frames)
{
    QFClassUserCanMsg c;
    if (!c.open(false, path))
        return false;
    for (const QUserCanMsg &m : frames) {
        if (!c.appendMsg(m))
            return false;
    }
    c.close();
    return true;
}

// Spoils record `index` of a cache so that it no longer parses.
inline bool spoilRecord(const QString &path, uint64_t index)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    if (!f.seek(qint64(QFClassUserCanMsg::recordOffset(index))))
        return false;
    const QByteArray junk(QFClassUserCanMsg::RecordTextWidth, 'x');
    return f.write(junk) == junk.size();
}

// A viewer worker on a thread of its own with a request record of its own
// caches; run() issues a request and waits for its stop().
class WatchRig
{
public:
    WatchRig()
    {
        QUserCanWatchWork::newCachePaths(&req.srcCachePath, &req.cachePath);
        QDir().mkpath(QFileInfo(req.cachePath).absolutePath());
        work.moveToThread(&thread);
        thread.start();
        QObject::connect(&work, QOverload<>::of(&QUserWork::stop), &ctx, [this]() { ++ends; });
        QObject::connect(&work, &QUserWork::progressValue, &ctx, [this](int v) { progress.append(v); });
    }
    ~WatchRig()
    {
        work.reqStop();
        thread.quit();
        thread.wait();
        QFile::remove(req.srcCachePath);
        QFile::remove(req.cachePath);
    }
    bool run(int reqType, int ms = 120000)
    {
        const int before = ends;
        progress.clear();
        req.reqType = reqType;
        work.reqRun(reqType, &req);
        return waitUntil([&] { return ends > before; }, ms);
    }
    bool load(const QString &path)
    {
        req.path = path;
        return run(QUserCanWatchReq::ReqLoad);
    }
    bool fliter(bool showTx, bool showRemote, bool range = false, uint32_t start = 0, uint32_t stop = 0)
    {
        req.showTx = showTx;
        req.showRemote = showRemote;
        req.idRangeEnable = range;
        req.startId = start;
        req.stopId = stop;
        return run(QUserCanWatchReq::ReqFliter);
    }
    bool save(const QString &path)
    {
        req.path = path;
        return run(QUserCanWatchReq::ReqSave);
    }

    QThread thread;
    QUserCanWatchWork work;
    QUserCanWatchReq req;
    RigContext ctx;
    int ends = 0;
    QVector<int> progress;
};

} // namespace watchtest
