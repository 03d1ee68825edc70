#include "dbc/QKemsigLib.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

namespace {

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

template <typename Fn>
void bind(QLibrary &lib, const char *name, Fn &out)
{
    out = reinterpret_cast<Fn>(lib.resolve(name));
}

} // namespace

QString QKemsigLib::resolvePath(const QString &fileName)
{
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

QKemsigLib::QKemsigLib(const QString &fileName)
{
    lib.setFileName(resolvePath(fileName));
    loaded = lib.load();
    if (loaded)
        resolveAll();
}

QKemsigLib::~QKemsigLib()
{
    unload();
}

void QKemsigLib::unload()
{
    clearAll();
    if (loaded) {
        lib.unload();
        loaded = false;
    }
}

bool QKemsigLib::isComplete() const
{
    return init && release && loadFile && setProtocol && getProtocol && getMessageCount && getMessageByIndex
        && getValDescPairCount && getValDescPair && decode && encode && clrMessage && insertMessage
        && deleteMessage && calcPhysicalValue && calcRawValue;
}

void QKemsigLib::resolveAll()
{
    bind(lib, "KDBC_Init", init);
    bind(lib, "KDBC_Release", release);
    bind(lib, "KDBC_LoadFile", loadFile);
    bind(lib, "KDBC_SetProtocol", setProtocol);
    bind(lib, "KDBC_GetProtocol", getProtocol);
    bind(lib, "KDBC_GetMessageCount", getMessageCount);
    bind(lib, "KDBC_GetMessageByIndex", getMessageByIndex);
    bind(lib, "KDBC_GetValDescPairCount", getValDescPairCount);
    bind(lib, "KDBC_GetValDescPair", getValDescPair);
    bind(lib, "KDBC_Decode", decode);
    bind(lib, "KDBC_Encode", encode);
    bind(lib, "KDBC_ClrMessage", clrMessage);
    bind(lib, "KDBC_InsertMessage", insertMessage);
    bind(lib, "KDBC_DeleteMessage", deleteMessage);
    bind(lib, "KDBC_CalcPhysicalValue", calcPhysicalValue);
    bind(lib, "KDBC_CalcRawValue", calcRawValue);
}

void QKemsigLib::clearAll()
{
    init = nullptr;
    release = nullptr;
    loadFile = nullptr;
    setProtocol = nullptr;
    getProtocol = nullptr;
    getMessageCount = nullptr;
    getMessageByIndex = nullptr;
    getValDescPairCount = nullptr;
    getValDescPair = nullptr;
    decode = nullptr;
    encode = nullptr;
    clrMessage = nullptr;
    insertMessage = nullptr;
    deleteMessage = nullptr;
    calcPhysicalValue = nullptr;
    calcRawValue = nullptr;
}
