#pragma once
// The device tools against kemusb's simulated adapters: the environment that
// selects the simulated back end, the test build of kemusb with its
// controls (libdevtools_simkemusb.so), and small helpers to wait for queued
// results.

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLibrary>
#include <QString>
#include <QThread>
#include <QVector>

#include <cstdint>
#include <functional>

#include "tests/support/PeerCheck.h"
#include "tests/support/WaitUntil.h"
#include "devices/QKemLib.h"

namespace devsim {

inline QString controlLibPath()
{
    return QString::fromStdString(peer::binDir()) + "/libdevtools_simkemusb.so";
}

struct Controls
{
    QLibrary lib;
    int (*configure)(const char *) = nullptr;
    int (*start)(const char *, int, uint32_t) = nullptr;
    int (*send)(const char *, int, uint32_t, int) = nullptr;
    int (*outCount)(const char *, int) = nullptr;
    int (*outGet)(const char *, int, int, uint8_t *, int) = nullptr;
    int (*outClear)(const char *) = nullptr;
    int (*relay)(const char *, int *, int *) = nullptr;
    int (*firmFaults)(const char *, int, int, int, uint32_t, int, int, int) = nullptr;
    int (*firmSetup)(const char *, uint16_t, uint16_t, uint32_t) = nullptr;
    int64_t (*firmImage)(const char *, uint8_t *, int64_t, uint32_t *) = nullptr;
    int (*firmState)(const char *, uint64_t *, uint8_t *) = nullptr;
    int (*firmInject)(const char *, const uint8_t *, int) = nullptr;
    int (*inDelay)(const char *, int, uint32_t) = nullptr;
    int (*inClear)(const char *, int) = nullptr;
    int (*isOpen)(const char *) = nullptr;

    // Selects the simulated back end and points the device layer at the
    // test build of kemusb; the topology is set with configure().
    Controls()
    {
        qputenv("KEMUSB_BACKEND", "sim");
        qunsetenv("KEMUSB_SIM_CONFIG");
        lib.setFileName(controlLibPath());
        if (!lib.load())
            return;
        auto get = [this](auto &fn, const char *name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(lib.resolve(name));
        };
        get(configure, "devtools_sim_configure");
        get(start, "devtools_sim_start");
        get(send, "devtools_sim_send");
        get(outCount, "devtools_sim_out_count");
        get(outGet, "devtools_sim_out_get");
        get(outClear, "devtools_sim_out_clear");
        get(relay, "devtools_sim_relay");
        get(firmFaults, "devtools_sim_firm_faults");
        get(firmSetup, "devtools_sim_firm_setup");
        get(firmImage, "devtools_sim_firm_image");
        get(firmState, "devtools_sim_firm_state");
        get(firmInject, "devtools_sim_firm_inject");
        get(inDelay, "devtools_sim_in_delay");
        get(inClear, "devtools_sim_in_clear");
        get(isOpen, "devtools_sim_is_open");
        QKemLib::setPathOverride(controlLibPath());
    }
    ~Controls() { QKemLib::setPathOverride(QString()); }
    bool ok() const
    {
        return configure && start && send && outCount && outGet && outClear && relay && firmFaults && firmSetup &&
               firmImage && firmState && firmInject && inDelay && inClear && isOpen;
    }

    // Every OUT write of an adapter on one endpoint.
    QVector<QByteArray> outs(const char *alias, int ep)
    {
        QVector<QByteArray> v;
        const int n = outCount(alias, ep);
        for (int i = 0; i < n; ++i) {
            uint8_t buf[8192];
            const int k = outGet(alias, ep, i, buf, int(sizeof buf));
            if (k >= 0)
                v.append(QByteArray(reinterpret_cast<const char *>(buf), k < int(sizeof buf) ? k : int(sizeof buf)));
        }
        return v;
    }

    QByteArray firmImageBytes(const char *alias, uint32_t *announced = nullptr)
    {
        const int64_t n = firmImage(alias, nullptr, 0, announced);
        QByteArray b(int(n > 0 ? n : 0), '\0');
        if (n > 0)
            firmImage(alias, reinterpret_cast<uint8_t *>(b.data()), n, nullptr);
        return b;
    }

    struct FirmState {
        uint64_t updateMode = 0, frames = 0, badSums = 0, starts = 0, packets = 0, repeats = 0, refused = 0,
                 resets = 0;
        QByteArray config;
    };
    FirmState firmStateOf(const char *alias)
    {
        uint64_t v[8] = {};
        uint8_t cfg[16] = {};
        FirmState s;
        if (firmState(alias, v, cfg) != 1)
            return s;
        s.updateMode = v[0];
        s.frames = v[1];
        s.badSums = v[2];
        s.starts = v[3];
        s.packets = v[4];
        s.repeats = v[5];
        s.refused = v[6];
        s.resets = v[7];
        s.config = QByteArray(reinterpret_cast<const char *>(cfg), 16);
        return s;
    }
};

// Processes events until cond holds or ms pass; true when it held.
inline bool pumpUntil(const std::function<bool()> &cond, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

} // namespace devsim
