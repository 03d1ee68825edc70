// The exported KDBC_ functions. A handle is a DbcDatabase; every record
// belongs to the caller. Nothing here changes the process's locale: the
// explicit code-page conversion of the parser gives the library its code
// page, and numbers are read in the classic notation.
//
// Every function catches at this boundary: an exception (memory running out
// while a file is read or a message stored) must not unwind into a C caller,
// which would end the process. It becomes the function's failure value.
#include <new>

#include "kemsig/src/DbcDatabase.h"
#include "kemsig/src/SignalCodec.h"
#include "kemsig/include/kemsig.h"

namespace {

template <class R, class F>
R guarded(R failure, F &&body) noexcept
{
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

} // namespace

extern "C" {

KEMSIG_API DbcDatabase *KDBC_Init(void)
{
    return guarded<DbcDatabase *>(nullptr, []() -> DbcDatabase * {
        DbcDatabase *db = new (std::nothrow) DbcDatabase();
        if (db && !db->valid()) {
            delete db;
            return nullptr;
        }
        return db;
    });
}

KEMSIG_API uint8_t KDBC_LoadFile(DbcDatabase *db, const char *path)
{
    return guarded<uint8_t>(0, [&] { return db ? db->loadFile(path) : uint8_t(0); });
}

KEMSIG_API uint8_t KDBC_SetProtocol(DbcDatabase *db, int32_t protocol)
{
    return guarded<uint8_t>(0, [&] {
        if (db)
            db->setProtocol(protocol);
        return uint8_t(1);
    });
}

KEMSIG_API uint8_t KDBC_GetProtocol(DbcDatabase *db)
{
    return guarded<uint8_t>(0, [&] { return db ? uint8_t(db->protocol()) : uint8_t(0); });
}

KEMSIG_API uint32_t KDBC_GetMessageCount(DbcDatabase *db)
{
    return guarded<uint32_t>(0, [&] { return db ? db->messageCount() : 0u; });
}

KEMSIG_API uint8_t KDBC_GetMessageByIndex(DbcDatabase *db, uint32_t index, DbcMessage *out)
{
    return guarded<uint8_t>(0, [&] { return uint8_t(db && db->messageByIndex(index, out) ? 1 : 0); });
}

KEMSIG_API uint32_t KDBC_GetValDescPairCount(DbcDatabase *db, uint32_t msgId, const char *signalName)
{
    return guarded<uint32_t>(0, [&] { return db ? db->valDescPairCount(msgId, signalName) : 0u; });
}

KEMSIG_API uint32_t KDBC_GetValDescPair(DbcDatabase *db, uint32_t msgId, const char *signalName,
                                        DbcValDescPair *out, uint32_t maxCount)
{
    return guarded<uint32_t>(0, [&] { return db ? db->valDescPairs(msgId, signalName, out, maxCount) : 0u; });
}

KEMSIG_API int32_t KDBC_Decode(DbcDatabase *db, const void *frame, int32_t fdFlag, DbcMessage *out)
{
    return guarded<int32_t>(-1, [&] { return db ? db->decode(frame, fdFlag, out) : -1; });
}

KEMSIG_API uint32_t KDBC_Encode(DbcDatabase *, uint8_t *data, uint32_t dataLen, const DbcMessage *msg)
{
    return guarded<uint32_t>(0, [&] { return msg ? DbcDatabase::encode(data, dataLen, *msg) : 0u; });
}

KEMSIG_API uint8_t KDBC_ClrMessage(DbcDatabase *db)
{
    return guarded<uint8_t>(0, [&] {
        if (db)
            db->clear();
        return uint8_t(1);
    });
}

KEMSIG_API uint8_t KDBC_InsertMessage(DbcDatabase *db, const DbcMessage *msg)
{
    return guarded<uint8_t>(0, [&] {
        if (!db || !msg)
            return uint8_t(0);
        db->insertMessage(*msg);
        return uint8_t(1);
    });
}

KEMSIG_API uint8_t KDBC_DeleteMessage(DbcDatabase *db, uint32_t id)
{
    return guarded<uint8_t>(0, [&] {
        if (db)
            db->deleteMessage(id);
        return uint8_t(1);
    });
}

KEMSIG_API double KDBC_CalcPhysicalValue(const DbcSignal *sig, uint64_t raw)
{
    return guarded<double>(0.0, [&] { return sig ? kemsig::physicalValue(*sig, raw) : 0.0; });
}

KEMSIG_API int64_t KDBC_CalcRawValue(const DbcSignal *sig, double physical)
{
    return guarded<int64_t>(-1, [&] { return sig ? kemsig::rawValue(*sig, physical) : int64_t(-1); });
}

KEMSIG_API void KDBC_Release(DbcDatabase *db)
{
    guarded<int>(0, [&] {
        delete db;
        return 0;
    });
}

KEMSIG_API uint8_t KDBC_GetLoadReport(DbcDatabase *db, DbcLoadReport *out)
{
    return guarded<uint8_t>(0, [&] {
        if (!db || !out)
            return uint8_t(0);
        *out = db->loadReport();
        return uint8_t(1);
    });
}

} // extern "C"
