#pragma once
// Helpers of the playback tests: a TRNA702 opened through the device
// registry on kemusb's simulated back end (its eight channels share one bus,
// so what channel 0 sends arrives on channel 1), small traces and caches,
// the frame rule of the python-can peer files, and a worker on a thread.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QThread>

#include <functional>

#include "tests/support/RigContext.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/PeerCheck.h"
#include "core/QFClassUserCanMsg.h"
#include "devices/QKemLib.h"
#include "devices/QUserDevice.h"
#include "devices/QUserDeviceAdapter.h"
#include "devices/QUserDeviceUSBCANFD2.h"
#include "tests/devices/DialogAnswers.h"
#include "tests/devices/SimHarness.h"
#include "traffic/windows/QPlayBackWork.h"
#include "traffic/QUserTraceFile.h"
#include "tests/support/QUserPromptScript.h"

namespace playtest {

// Waits, running events, until pred holds or ms pass.
using testsupport::waitUntil;

inline bool kemusbBuilt()
{
    return QFileInfo::exists(QString::fromStdString(peer::binDir()) + "/libkemusb.so");
}

// A classic data frame of the small traces: identifier 0x100 + i (every
// third one extended), i % 9 bytes.
inline QUserCanMsg classicFrame(int i)
{
    QUserCanMsg m;
    const bool ext = i % 3 == 2;
    m.extended = ext ? 1 : 0;
    m.idText = QString::asprintf("%08X ", ext ? 0x1234500 + i : 0x100 + i);
    const int n = i % 9;
    m.lenText = QString::number(n);
    QString data;
    for (int k = 0; k < n; ++k)
        data += QString::asprintf("%02X", (i * 11 + k) & 0xFF);
    m.dataText = data;
    m.hostTime = 1700000000000 + i;
    return m;
}

inline bool writeTrace(const QString &path, int count)
{
    QUserTraceFile f;
    if (!f.fileCreate(path))
        return false;
    for (int i = 0; i < count; ++i) {
        if (!f.write(classicFrame(i)))
            return false;
    }
    return f.close();
}

// A cache of `count` classic frames written directly.
inline bool writeCache(const QString &path, int count)
{
    QFClassUserCanMsg c;
    if (!c.open(false, path))
        return false;
    for (int i = 0; i < count; ++i) {
        if (!c.appendMsg(classicFrame(i)))
            return false;
    }
    c.close();
    return true;
}

// Spoils record `index` of a cache so that it no longer parses.
inline bool spoilRecord(const QString &path, int index)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    if (!f.seek(qint64(QFClassUserCanMsg::recordOffset(uint32_t(index)))))
        return false;
    const QByteArray junk(QFClassUserCanMsg::RecordTextWidth, 'x');
    return f.write(junk) == junk.size();
}

// The frame the peer script writes as frame i (tests/peers/traffic_playback.py).
struct PeerFrame {
    uint32_t id = 0;
    bool ext = false;
    bool remote = false;
    bool fd = false;
    bool brs = false;
    QByteArray data;
};

inline PeerFrame peerFrame(int i)
{
    static const int fdLengths[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64};
    PeerFrame f;
    f.fd = i % 10 == 9;
    f.ext = i % 3 == 1;
    f.remote = !f.fd && i % 50 == 17;
    f.id = f.ext ? ((0x1000000u + uint32_t(i) * 13u) & 0x1FFFFFFFu) : ((uint32_t(i) * 7u) & 0x7FFu);
    const int n = f.fd ? fdLengths[(i / 10) % 16] : i % 9;
    f.brs = f.fd && (i / 10) % 2 == 1;
    if (!f.remote) {
        for (int k = 0; k < n; ++k)
            f.data.append(char((i + k * 31) & 0xFF));
    }
    return f;
}

inline PeerFrame fromMsg(const QUserCanMsg &m)
{
    PeerFrame f;
    f.id = uint32_t(m.getId());
    f.ext = m.extended != 0;
    f.remote = m.remote != 0;
    f.fd = m.protocol != 0;
    f.brs = m.protocol == 2;
    if (!f.remote)
        f.data = QByteArray::fromHex(QString(m.dataText).remove(' ').toLatin1());
    return f;
}

inline bool operator==(const PeerFrame &a, const PeerFrame &b)
{
    return a.id == b.id && a.ext == b.ext && a.remote == b.remote && a.fd == b.fd && a.brs == b.brs &&
           a.data == b.data;
}

inline std::ostream &operator<<(std::ostream &os, const PeerFrame &f)
{
    return os << std::hex << "id=" << f.id << std::dec << " ext=" << f.ext << " rtr=" << f.remote
              << " fd=" << f.fd << " brs=" << f.brs << " data=" << f.data.toHex().toStdString();
}

// Everything the device object reports as transmitted, stamped when it is
// reported (on the sending thread).
struct SentLog
{
    struct Entry {
        QString devId;
        QUserCanMsg msg;
        int64_t atMs = 0;
    };
    QMutex mutex;
    QVector<Entry> entries;

    void attach(QUserDevice *device)
    {
        auto *dev = qobject_cast<QUserDeviceUSBCANFD2 *>(device);
        if (!dev)
            return;
        QObject::connect(
            dev, &QUserDeviceUSBCANFD2::sendResultNotify, dev,
            [this](QString id, QUserCanMsg m) {
                QMutexLocker lock(&mutex);
                entries.append({id, m, getCurrentMs()});
            },
            Qt::DirectConnection);
    }
    QVector<Entry> copy()
    {
        QMutexLocker lock(&mutex);
        return entries;
    }
    int size()
    {
        QMutexLocker lock(&mutex);
        return entries.size();
    }
};

// A TRNA702 with all eight channels open through the registry, its
// settings dialog answered through the prompt seam.
class SimRig
{
public:
    bool open(bool fd = false)
    {
        if (!kemusbBuilt())
            return false;
        sim::environment(nullptr);
        QKemLib::setPathOverride(QString());
        collector.attach(&reg);
        QUserPromptScript prompts;
        ChannelPick pick;
        pick.all = true;
        if (fd)
            pick.fdProtocol = 1;
        prompts.answerExec(pickChannel(pick));
        QStringList ids;
        if (reg.devOpen(QStringLiteral("TRNA702"), ids) != 0 || ids.size() != 8)
            return false;
        sent.attach(reg.device(QStringLiteral("TRNA702")));
        return true;
    }
    ~SimRig()
    {
        QCoreApplication::sendPostedEvents();
    }
    // Frames received on a channel, in arrival order.
    QVector<QUserCanMsg> received(const QString &devId) const
    {
        QVector<QUserCanMsg> out;
        for (const auto &b : collector.batches) {
            if (b.devId == devId)
                out += b.msgs;
        }
        return out;
    }

    static QString tx() { return QStringLiteral("TRNA702-0-0"); }
    static QString rx() { return QStringLiteral("TRNA702-0-1"); }

    QObject owner;
    QUserDeviceAdapter reg{&owner};
    sim::Collector collector;
    SentLog sent;
};

// A playback worker on a thread of its own, with its job record.
class WorkerRig
{
public:
    WorkerRig()
    {
        work.moveToThread(&thread);
        thread.start();
        QObject::connect(&work, &QUserWork::notice, &ctx, [this](void *, int phase, int value) {
            if (phase == 1) {
                ++ends;
                lastValue = value;
            }
        });
        QObject::connect(&work, &QUserWork::progressValue, &ctx, [this](int v) { progress.append(v); });
    }
    ~WorkerRig()
    {
        work.reqStop();
        thread.quit();
        thread.wait();
    }
    // Issues a request and waits for its end notice.
    bool run(int reqType, int ms = 30000)
    {
        const int before = ends;
        work.reqRun(reqType, &p);
        return waitUntil([&] { return ends > before; }, ms);
    }
    void start(int reqType) { work.reqRun(reqType, &p); }

    QThread thread;
    QPlayBackWork work;
    QUserPlayBackParam p;
    RigContext ctx;
    int ends = 0;
    int lastValue = 0;
    QVector<int> progress;
};

} // namespace playtest
