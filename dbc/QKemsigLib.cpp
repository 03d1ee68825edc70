#include "dbc/QKemsigLib.h"

#include "core/QUserLibPath.h"


namespace {

template <typename Fn>
void bind(QLibrary &lib, const char *name, Fn &out)
{
    out = reinterpret_cast<Fn>(lib.resolve(name));
}

} // namespace

QString QKemsigLib::resolvePath(const QString &fileName)
{
    return QUserLibPath::find(QUserLibPath::platformName(fileName));
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
    bind(lib, "KDBC_GetLoadReport", getLoadReport);
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
    getLoadReport = nullptr;
}
