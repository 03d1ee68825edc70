#pragma once
// The CANopen window against simulated CANopen nodes: a TRNA702 opened
// through the device registry on kemusb's simulated back end (a build of
// kemusb with node controls, libcanopen_simkemusb.so), the window bound to
// one of its channels, and every prompt answered through the prompt seam.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLibrary>
#include <QTextEdit>
#include <QThread>

#include <functional>
#include <memory>

#include "tests/support/WaitUntil.h"
#include "tests/canopen/CanopenTestUtil.h"
#include "tests/support/PeerCheck.h"
#include "tests/support/TempWorkDir.h"
#include "canopen/windows/QUserMainWindowCANopen.h"
#include "canopen/windows/QUserCANopenThread.h"
#include "canopen/QUserCANopenUiSetting.h"
#include "canopen/QUserEdsParser.h"
#include "canopen/windows/QUserTableModelCANopen.h"
#include "canopen/windows/QUserTableModelEDS.h"
#include "core/QUserSysCfg.h"
#include "devices/QKemLib.h"
#include "devices/QUserDeviceAdapter.h"
#include "tests/devices/DialogAnswers.h"
#include "tests/devices/FakeDevice.h"
#include "tests/support/QUserPromptScript.h"

namespace cowin {

using testsupport::waitUntil;

// Runs events for ms milliseconds.
inline void settle(int ms)
{
    waitUntil([] { return false; }, ms);
}

// One frame a simulated bus carried (layout of the control library).
struct BusFrame
{
    uint32_t id;
    uint8_t ext;
    uint8_t rtr;
    uint8_t len;
    uint8_t pad;
    uint8_t data[8];
    uint64_t ms;

    QByteArray bytes() const { return QByteArray(reinterpret_cast<const char *>(data), len); }
};

// The controls of libcanopen_simkemusb.so.
struct CoSim
{
    QLibrary lib;
    int (*configure)(const char *, const char *) = nullptr;
    int (*nmt)(const char *, int) = nullptr;
    int (*drive)(const char *, int) = nullptr;
    int (*read)(const char *, int, int, int, uint64_t *) = nullptr;
    int (*write)(const char *, int, int, int, uint64_t) = nullptr;
    int (*counters)(const char *, int, uint64_t *) = nullptr;
    int (*emcy)(const char *, int, int, int, const uint8_t *) = nullptr;
    int (*recordTake)(const char *, void *, int) = nullptr;
    int (*sdoSized)(const char *, int, int) = nullptr;

    static QString path() { return QString::fromStdString(peer::binDir()) + "/libcanopen_simkemusb.so"; }
    static bool built() { return QFileInfo::exists(path()); }

    bool load()
    {
        lib.setFileName(path());
        if (!lib.load())
            return false;
        configure = reinterpret_cast<decltype(configure)>(lib.resolve("cosim_configure"));
        nmt = reinterpret_cast<decltype(nmt)>(lib.resolve("cosim_node_nmt"));
        drive = reinterpret_cast<decltype(drive)>(lib.resolve("cosim_node_drive"));
        read = reinterpret_cast<decltype(read)>(lib.resolve("cosim_node_read"));
        write = reinterpret_cast<decltype(write)>(lib.resolve("cosim_node_write"));
        counters = reinterpret_cast<decltype(counters)>(lib.resolve("cosim_node_counters"));
        emcy = reinterpret_cast<decltype(emcy)>(lib.resolve("cosim_node_emcy"));
        recordTake = reinterpret_cast<decltype(recordTake)>(lib.resolve("cosim_record_take"));
        sdoSized = reinterpret_cast<decltype(sdoSized)>(lib.resolve("cosim_node_sdo_sized"));
        return configure && nmt && drive && read && write && counters && emcy && recordTake && sdoSized;
    }

    uint64_t value(const char *bus, int node, int index, int sub)
    {
        uint64_t v = 0;
        read(bus, node, index, sub, &v);
        return v;
    }
    uint64_t counter(const char *bus, int node, int which)
    {
        uint64_t c[12] = {};
        counters(bus, node, c);
        return c[which];
    }
    // Every frame recorded on the bus since the last call.
    QVector<BusFrame> take(const char *bus)
    {
        QVector<BusFrame> out;
        BusFrame buf[256];
        for (;;) {
            const int n = recordTake(bus, buf, 256);
            for (int i = 0; i < n; ++i)
                out.append(buf[i]);
            if (n < 256)
                return out;
        }
    }
};

enum Counter {
    SdoRequests = 0,
    SdoAborts,
    TpdosSent,
    RpdosApplied,
    Heartbeats,
    Emcys,
    LastAbortCode,
    PowerStageOffs,
    ClientAborts,
    LastClientAbortCode,
    SegmentedUploads,
    SegmentedUploadOpen,
};

// Node 5 on bus "co" behind channels 0 and 1; another node 5 (same
// dictionary) on bus "other" behind channel 2.
inline QString defaultTopology()
{
    const QString eds = cotest::edsPath("drive.eds");
    return QStringLiteral("adapter TRNA702 name=A\n"
                          "bus co\nbus other\n"
                          "attach A 0 co\nattach A 1 co\nattach A 2 other\n"
                          "canopen co node=5 eds=%1\n"
                          "canopen other node=5 eds=%1\n")
        .arg(eds);
}

class WindowRig
{
public:
    static QString ch0() { return QStringLiteral("TRNA702-0-0"); }
    static QString ch1() { return QStringLiteral("TRNA702-0-1"); }
    static QString ch2() { return QStringLiteral("TRNA702-0-2"); }

    // Loads the controls, configures the topology and opens all channels.
    bool open(const QString &topology = defaultTopology(), const char *recordBuses = "co,other")
    {
        if (!sim.load())
            return false;
        qputenv("KEMUSB_BACKEND", "sim");
        QKemLib::setPathOverride(CoSim::path());
        if (!sim.configure(topology.toUtf8().constData(), recordBuses))
            return false;
        reg = std::make_unique<QUserDeviceAdapter>(&owner);
        QUserPromptScript prompts;
        ChannelPick pick;
        pick.all = true;
        prompts.answerExec(pickChannel(pick));
        QStringList ids;
        if (reg->devOpen(QStringLiteral("TRNA702"), ids) != 0 || ids.size() != 8)
            return false;
        return true;
    }

    // A window bound to a channel (owned by the rig until closed).
    QUserMainWindowCANopen *window(const QString &devId = ch0())
    {
        auto *w = new QUserMainWindowCANopen;
        w->setDevAdapter(reg.get(), devId);
        windows.append(w);
        return w;
    }

    void closeWindow(QUserMainWindowCANopen *w)
    {
        windows.removeAll(w);
        delete w;
    }

    ~WindowRig()
    {
        for (QUserMainWindowCANopen *w : qAsConst(windows))
            delete w;
        windows.clear();
        reg.reset();
        QCoreApplication::sendPostedEvents();
        QKemLib::setPathOverride(QString());
    }

    CoSim sim;
    QObject owner;
    std::unique_ptr<QUserDeviceAdapter> reg;
    QList<QUserMainWindowCANopen *> windows;
};

// The fixture of the window tests: a fresh working directory and system
// configuration, every prompt scripted.
class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override { QUserSysCfg::instance()->reload(); }
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    TempWorkDir workDir;
    QUserPromptScript prompts;
};

// A window bound to a channel of a registry whose device only records what
// it is handed: the frames the window sends, without a bus.
class FakeWindowTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        dev = new FakeDevice;
        reg.deviceReplace(QStringLiteral("TRNA702"), dev);
        w = newWindow();
    }
    void TearDown() override
    {
        delete w;
        w = nullptr;
        WindowTest::TearDown();
    }
    QUserMainWindowCANopen *newWindow()
    {
        auto *win = new QUserMainWindowCANopen;
        win->setDevAdapter(&reg, kDev);
        return win;
    }
    // Runs events until the window has no request open.
    bool idle(int ms = testsupport::kGiveUpMs)
    {
        return waitUntil([this] { return w->requestsOpen() == 0; }, ms);
    }
    // A frame as the driver hands it over: "%08X " identifier, unseparated
    // upper-case data, received.
    static QUserCanMsg rx(uint32_t id, const QByteArray &data, bool remote = false, bool ext = false)
    {
        QUserCanMsg m(QString::asprintf("%08X ", id), remote, ext, QString::number(data.size()),
                      QString::fromLatin1(data.toHex().toUpper()));
        m.direction = 0;
        return m;
    }
    void feed(const QUserCanMsg &m, const QString &devId = kDev)
    {
        w->slotCanMsgRec(devId, QVector<QUserCanMsg>{m});
    }
    QVector<QUserCanMsg> sentFrames() { QVector<QUserCanMsg> out; for (const auto &s : dev->sentCopy()) out.append(s.msg); return out; }
    QString opLog() const { return w->operationLog()->toPlainText(); }
    template<class T>
    T *child(const char *name) const
    {
        T *c = w->findChild<T *>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }

    static inline const QString kDev = QStringLiteral("TRNA702-0-0");
    QObject owner;
    QUserDeviceAdapter reg{&owner};
    FakeDevice *dev = nullptr;
    QUserMainWindowCANopen *w = nullptr;
};

// The bytes of a frame's data text.
inline QByteArray dataOf(const QUserCanMsg &m)
{
    return QByteArray::fromHex(QString(m.dataText).remove(' ').toLatin1());
}

#define REQUIRE_COSIM(rig)                                                                   \
    do {                                                                                     \
        if (!cowin::CoSim::built())                                                          \
            GTEST_SKIP() << "libcanopen_simkemusb.so not built";                              \
        ASSERT_TRUE((rig).open()) << "simulated TRNA702 with CANopen nodes did not open";    \
    } while (0)

} // namespace cowin
