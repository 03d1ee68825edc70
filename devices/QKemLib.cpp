#include "devices/QKemLib.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

namespace {
QMutex overrideMutex;
QString overridePath;

QString platformName(const QString &fileName)
{
    QString base = fileName;
    if (base.endsWith(QStringLiteral(".dll"), Qt::CaseInsensitive))
        base.chop(4);
#if defined(Q_OS_WIN)
    return base + QStringLiteral(".dll");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("lib") + base + QStringLiteral(".dylib");
#else
    return QStringLiteral("lib") + base + QStringLiteral(".so");
#endif
}
} // namespace

QString QKemLib::resolvePath(const QString &fileName)
{
    const QString over = pathOverride();
    if (!over.isEmpty())
        return over;
    const QString name = platformName(fileName);
    QStringList dirs;
    if (QCoreApplication::instance())
        dirs << QCoreApplication::applicationDirPath();
    const QByteArray bin = qgetenv("ORVANE_BINARY_DIR");
    if (!bin.isEmpty())
        dirs << QString::fromLocal8Bit(bin) + QStringLiteral("/bin");
#ifdef ORVANE_BUILD_BIN_DIR
    dirs << QStringLiteral(ORVANE_BUILD_BIN_DIR);
#endif
    for (const QString &d : dirs) {
        const QString p = d + QLatin1Char('/') + name;
        if (QFileInfo::exists(p))
            return p;
    }
    return name; // the loader's own search
}

void QKemLib::setPathOverride(const QString &path)
{
    QMutexLocker lock(&overrideMutex);
    overridePath = path;
}

QString QKemLib::pathOverride()
{
    QMutexLocker lock(&overrideMutex);
    return overridePath;
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
}
