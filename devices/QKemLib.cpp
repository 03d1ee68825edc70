#include "devices/QKemLib.h"

#include "core/QUserKemusbPath.h"

QString QKemLib::resolvePath(const QString &fileName)
{
    return QUserKemusbPath::resolve(fileName);
}

void QKemLib::setPathOverride(const QString &path)
{
    QUserKemusbPath::setPathOverride(path);
}

QString QKemLib::pathOverride()
{
    return QUserKemusbPath::pathOverride();
}

QKemLib::QKemLib(const QString &fileName)
{
    lib.setFileName(resolvePath(fileName));
    loaded = lib.load();
    if (loaded)
        resolveAll();
}

QKemLib::~QKemLib()
{
    unload();
}

void QKemLib::unload()
{
    clearAll();
    if (loaded) {
        lib.unload();
        loaded = false;
    }
}

void QKemLib::clearAll()
{
    openDevice = nullptr;
    closeDevice = nullptr;
    initCan = nullptr;
    initCanFd = nullptr;
    setFliter = nullptr;
    start = nullptr;
    stop = nullptr;
    clearBuffer = nullptr;
    getReceiveNum = nullptr;
    receive = nullptr;
    receiveFd = nullptr;
    transmit = nullptr;
    transmitFd = nullptr;
    dataDirectTransfer = nullptr;
    devChStateGet = nullptr;
    devRelayStatusSet = nullptr;
    devRelayStatusGet = nullptr;
    devBaudParaGet = nullptr;
    devIsGone = nullptr;
}

template <typename Fn>
static void bind(QLibrary &lib, const char *name, Fn &out)
{
    out = reinterpret_cast<Fn>(lib.resolve(name));
}

void QKemLib::resolveAll()
{
    bind(lib, "KCAN_OpenDevice", openDevice);
    bind(lib, "KCAN_CloseDevice", closeDevice);
    bind(lib, "KCAN_InitCAN", initCan);
    bind(lib, "KCAN_InitCANFD", initCanFd);
    bind(lib, "KCAN_SetFliter", setFliter);
    bind(lib, "KCAN_Start", start);
    bind(lib, "KCAN_Stop", stop);
    bind(lib, "KCAN_ClearBuffer", clearBuffer);
    bind(lib, "KCAN_GetReceiveNum", getReceiveNum);
    bind(lib, "KCAN_Receive", receive);
    bind(lib, "KCAN_ReceiveFD", receiveFd);
    bind(lib, "KCAN_Transmit", transmit);
    bind(lib, "KCAN_TransmitFD", transmitFd);
    bind(lib, "KCAN_DataDirectTransfer", dataDirectTransfer);
    bind(lib, "KCAN_DevChStateGet", devChStateGet);
    bind(lib, "KCAN_DevRelayStatusSet", devRelayStatusSet);
    bind(lib, "KCAN_DevRelayStatusGet", devRelayStatusGet);
    bind(lib, "KCAN_DevBaudParaGet", devBaudParaGet);
    bind(lib, "KCAN_DevIsGone", devIsGone);
}
