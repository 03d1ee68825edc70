#pragma once
// The adapter library kemusb, bound by file name. The program names it
// "kemusb.dll"; on this platform that is libkemusb.so next to the program
// (falling back to the build's bin folder, for tests run from elsewhere).
// Every KCAN_ function is resolved once, when the library is loaded, and the
// pointer kept; a name that does not resolve stays null and every caller
// treats a null pointer as a failed call.

#include <QLibrary>
#include <QString>

#include <cstdint>

#include "kemusb/include/kcan_records.h"

class QKemLib
{
public:
    using OpenDeviceFn = uint32_t (*)(uint32_t, uint32_t);
    using CloseDeviceFn = uint32_t (*)(uint32_t, uint32_t);
    using InitCanFn = uint32_t (*)(uint32_t, uint32_t, uint32_t, KCAN_INIT_CONFIG *);
    using InitCanFdFn = uint32_t (*)(uint32_t, uint32_t, uint32_t, KCAN_INITFD_CONFIG *);
    using SetFliterFn = uint32_t (*)(uint32_t, uint32_t, uint32_t, KCAN_FLITER_CONFIG *);
    using ChannelFn = uint32_t (*)(uint32_t, uint32_t, uint32_t);
    using GetReceiveNumFn = uint32_t (*)(uint32_t, uint32_t, uint32_t, uint8_t);
    using ReceiveFn = uint32_t (*)(uint32_t, uint32_t, uint32_t, KCAN_CAN_OBJ *, uint32_t, int32_t);
    using ReceiveFdFn = uint32_t (*)(uint32_t, uint32_t, uint32_t, KCAN_CANFD_OBJ *, uint32_t, int32_t);
    using TransmitFn = uint32_t (*)(uint32_t, uint32_t, uint32_t, const KCAN_CAN_OBJ *, uint32_t);
    using TransmitFdFn = uint32_t (*)(uint32_t, uint32_t, uint32_t, const KCAN_CANFD_OBJ *, uint32_t);
    using DataDirectTransferFn = uint32_t (*)(uint32_t, uint32_t, uint8_t *, int32_t);
    using DevChStateGetFn = uint32_t (*)(uint32_t, uint32_t, uint32_t, uint8_t *, uint8_t *, uint8_t *);
    using DevRelayStatusSetFn = uint32_t (*)(uint32_t, uint32_t, uint8_t, uint8_t);
    using DevRelayStatusGetFn = uint32_t (*)(uint32_t, uint32_t, uint8_t *, uint8_t *);
    using DevBaudParaGetFn = uint32_t (*)(uint32_t, uint32_t, uint32_t, uint8_t *, uint8_t *);
    using DevIsGoneFn = uint32_t (*)(uint32_t, uint32_t);

    // Loads the library at once; isLoaded() tells the outcome.
    explicit QKemLib(const QString &fileName = QStringLiteral("kemusb.dll"));
    ~QKemLib();
    QKemLib(const QKemLib &) = delete;
    QKemLib &operator=(const QKemLib &) = delete;

    bool isLoaded() const { return loaded; }
    void unload();

    // The file that "kemusb.dll" stands for on this platform, searched next to
    // the program, then in the build's bin folder (QUserKemusbPath).
    static QString resolvePath(const QString &fileName);
    // Tests point every library object made afterwards at another file
    // (an empty text restores the normal search); the recording adapter's
    // settings dialog, which loads kemusb itself, follows it too.
    static void setPathOverride(const QString &path);
    static QString pathOverride();

    OpenDeviceFn openDevice = nullptr;
    CloseDeviceFn closeDevice = nullptr;
    InitCanFn initCan = nullptr;
    InitCanFdFn initCanFd = nullptr;
    SetFliterFn setFliter = nullptr;
    ChannelFn start = nullptr;
    ChannelFn stop = nullptr;
    ChannelFn clearBuffer = nullptr;
    GetReceiveNumFn getReceiveNum = nullptr;
    ReceiveFn receive = nullptr;
    ReceiveFdFn receiveFd = nullptr;
    TransmitFn transmit = nullptr;
    TransmitFdFn transmitFd = nullptr;
    DataDirectTransferFn dataDirectTransfer = nullptr;
    DevChStateGetFn devChStateGet = nullptr;
    DevRelayStatusSetFn devRelayStatusSet = nullptr;
    DevRelayStatusGetFn devRelayStatusGet = nullptr;
    DevBaudParaGetFn devBaudParaGet = nullptr;
    // Absent from older builds of the library: an adapter is then never
    // taken as gone.
    DevIsGoneFn devIsGone = nullptr;

private:
    void resolveAll();
    void clearAll();

    QLibrary lib;
    bool loaded = false;
};
