#pragma once
// Test access to the stand-in adapter library: points the device layer's
// library loader at it and resolves its fake_ controls.

#include <QLibrary>
#include <QString>

#include "tests/support/PeerCheck.h"
#include "devices/QKemLib.h"
#include "kemusb/include/kcan_records.h"

struct FakeKcan
{
    QLibrary lib;

    void (*reset)() = nullptr;
    void (*setOpenResult)(uint32_t, uint32_t, uint32_t) = nullptr;
    void (*setInitResult)(uint32_t, uint32_t, uint32_t) = nullptr;
    void (*setStartResult)(uint32_t, uint32_t, uint32_t) = nullptr;
    void (*setRelay)(uint32_t, uint32_t, uint8_t, uint8_t, uint32_t) = nullptr;
    void (*setTxLimit)(uint32_t, uint32_t, int, int) = nullptr;
    void (*pushRx)(uint32_t, uint32_t, int, const KCAN_CAN_OBJ *, int) = nullptr;
    void (*pushRxFd)(uint32_t, uint32_t, int, const KCAN_CANFD_OBJ *, int) = nullptr;
    int (*txCount)(uint32_t, uint32_t, int) = nullptr;
    int (*txGet)(uint32_t, uint32_t, int, int, KCAN_CANFD_OBJ *) = nullptr;
    int (*txCalls)(uint32_t, uint32_t, int, int *, int) = nullptr;
    int (*calls)(const char *) = nullptr;
    int (*isOpen)(uint32_t, uint32_t) = nullptr;
    int (*isStarted)(uint32_t, uint32_t, int) = nullptr;
    void (*lastInitFd)(uint32_t, uint32_t, int, KCAN_INITFD_CONFIG *) = nullptr;
    void (*lastInit)(uint32_t, uint32_t, int, KCAN_INIT_CONFIG *) = nullptr;
    int (*filters)(uint32_t, uint32_t, int, KCAN_FLITER_CONFIG *, int) = nullptr;
    void (*setDetect)(const int *, int) = nullptr;
    void (*setDetectLate)(int) = nullptr;
    void (*setStateLost)(int) = nullptr;
    void (*setReceiveDelayUs)(int) = nullptr;
    void (*setGone)(uint32_t, uint32_t, int) = nullptr;

    static QString path() { return QString::fromStdString(peer::binDir()) + "/libdevices_fakekcan.so"; }

    FakeKcan()
    {
        lib.setFileName(path());
        if (!lib.load())
            return;
        bind("fake_reset", reset);
        bind("fake_setOpenResult", setOpenResult);
        bind("fake_setInitResult", setInitResult);
        bind("fake_setStartResult", setStartResult);
        bind("fake_setRelay", setRelay);
        bind("fake_setTxLimit", setTxLimit);
        bind("fake_pushRx", pushRx);
        bind("fake_pushRxFd", pushRxFd);
        bind("fake_txCount", txCount);
        bind("fake_txGet", txGet);
        bind("fake_txCalls", txCalls);
        bind("fake_calls", calls);
        bind("fake_isOpen", isOpen);
        bind("fake_isStarted", isStarted);
        bind("fake_lastInitFd", lastInitFd);
        bind("fake_lastInit", lastInit);
        bind("fake_filters", filters);
        bind("fake_setDetect", setDetect);
        bind("fake_setDetectLate", setDetectLate);
        bind("fake_setStateLost", setStateLost);
        bind("fake_setReceiveDelayUs", setReceiveDelayUs);
        bind("fake_setGone", setGone);
        reset();
        QKemLib::setPathOverride(path());
    }
    ~FakeKcan() { QKemLib::setPathOverride(QString()); }
    bool ok() const { return reset != nullptr; }

    template <typename Fn>
    void bind(const char *name, Fn &fn)
    {
        fn = reinterpret_cast<Fn>(lib.resolve(name));
    }
};

inline KCAN_CAN_OBJ canObj(uint32_t id, std::initializer_list<uint8_t> data, bool remote = false, bool ext = false)
{
    KCAN_CAN_OBJ o{};
    o.ID = id;
    o.RemoteFlag = remote;
    o.ExternFlag = ext;
    o.DataLen = uint8_t(data.size());
    int i = 0;
    for (uint8_t b : data)
        o.Data[i++] = b;
    return o;
}

inline KCAN_CANFD_OBJ canFdObj(uint32_t id, int len, uint8_t flags)
{
    KCAN_CANFD_OBJ o{};
    o.ID = id;
    o.DataLen = uint8_t(len);
    o.FdFlag = flags;
    for (int i = 0; i < len && i < 64; ++i)
        o.Data[i] = uint8_t(i);
    return o;
}
