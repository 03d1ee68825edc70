#pragma once
// End-to-end harness over simulated adapters: the environment that selects
// kemusb's simulated back end, a topology file, the controls of the test
// build of kemusb, and collectors for the registry's two signals.

#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QMutex>
#include <QObject>
#include <QVector>

#include "tests/support/PeerCheck.h"
#include "devices/QKemLib.h"
#include "devices/QUserDeviceAdapter.h"

namespace sim {

// A classic adapter whose channel 0 sits on a 500 kbit/s bus, and a second
// one ("F") as the far end that the test drives.
inline const char *kClassicBus =
    "adapter USBCAN2 name=C\n"
    "adapter USBCAN2 name=F\n"
    "bus cb nominal=500000\n"
    "attach C 0 cb\n"
    "attach F 0 cb\n";

// Two CAN FD adapters facing each other channel by channel ("DUT" is
// TRNB702 index 0, "FAR" index 1) and an eight-channel TRNA702 whose
// channels share one bus.
inline const char *kTopology =
    "adapter TRNB702 name=DUT\n"
    "adapter TRNB702 name=FAR\n"
    "adapter TRNA702 name=A\n"
    "attach DUT 0 b0\nattach FAR 0 b0\n"
    "attach DUT 1 b1\nattach FAR 1 b1\n"
    "attach DUT 2 b2\nattach FAR 2 b2\n"
    "attach DUT 3 b3\nattach FAR 3 b3\n"
    "attach DUT 4 b4\nattach FAR 4 b4\n"
    "attach DUT 5 b5\nattach FAR 5 b5\n"
    "attach DUT 6 b6\nattach FAR 6 b6\n"
    "attach DUT 7 b7\nattach FAR 7 b7\n";

inline QString controlLibPath() { return QString::fromStdString(peer::binDir()) + "/libdevices_simkemusb.so"; }

// Selects the simulated back end; a non-empty topology is written to a file
// that KEMUSB_SIM_CONFIG names (in the current working directory).
inline void environment(const char *topology)
{
    qputenv("KEMUSB_BACKEND", "sim");
    if (topology && *topology) {
        QFile f("sim-topology.txt");
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(topology);
        qputenv("KEMUSB_SIM_CONFIG", QFile::encodeName(QFileInfo(f).absoluteFilePath()));
    } else {
        qunsetenv("KEMUSB_SIM_CONFIG");
    }
}

struct Controls
{
    QLibrary lib;
    int (*unplug)(const char *) = nullptr;
    int (*replug)(const char *) = nullptr;
    int (*peer)(const char *, int, const char *, int) = nullptr;
    int (*send)(const char *, int, int, int, int, uint32_t, uint32_t) = nullptr;
    int (*configure)(const char *) = nullptr;
    int (*startAt)(const char *, int, uint32_t) = nullptr;

    // Points the device layer at the test build of kemusb.
    Controls()
    {
        lib.setFileName(controlLibPath());
        if (!lib.load())
            return;
        unplug = reinterpret_cast<decltype(unplug)>(lib.resolve("devices_sim_unplug"));
        replug = reinterpret_cast<decltype(replug)>(lib.resolve("devices_sim_replug"));
        peer = reinterpret_cast<decltype(peer)>(lib.resolve("devices_sim_peer"));
        send = reinterpret_cast<decltype(send)>(lib.resolve("devices_sim_send"));
        configure = reinterpret_cast<decltype(configure)>(lib.resolve("devices_sim_configure"));
        startAt = reinterpret_cast<decltype(startAt)>(lib.resolve("devices_sim_start"));
        QKemLib::setPathOverride(controlLibPath());
    }
    ~Controls() { QKemLib::setPathOverride(QString()); }
    bool ok() const { return unplug && replug && peer && send && configure && startAt; }
};

// Everything the registry relays, as the main window would see it.
struct Collector
{
    struct Batch {
        QString devId;
        QVector<QUserCanMsg> msgs;
    };
    QVector<Batch> batches;
    QVector<QPair<QString, QUserCanMsg>> results;
    QHash<QString, int> received;

    void attach(QUserDeviceAdapter *reg)
    {
        QObject::connect(reg, &QUserDeviceAdapter::receiveMsg, reg, [this](QString id, QVector<QUserCanMsg> l) {
            batches.append({id, l});
            received[id] += l.size();
        });
        QObject::connect(reg, &QUserDeviceAdapter::sendResultNotify, reg,
                         [this](QString id, QUserCanMsg m) { results.append({id, m}); });
    }
    int resultsWith(const QString &id, int status, int failed = -1) const
    {
        int n = 0;
        for (const auto &r : results)
            n += r.first == id && r.second.status == status && (failed < 0 || r.second.sendFailed == failed);
        return n;
    }
};

} // namespace sim
