// The exported KDBC_ functions. A handle is a DbcDatabase; every record
// belongs to the caller. Nothing here changes the process's locale: the
// explicit code-page conversion of the parser gives the library its code
// page, and numbers are read in the classic notation.
#include <new>

#include "kemsig/src/DbcDatabase.h"
#include "kemsig/src/SignalCodec.h"
#include "kemsig/include/kemsig.h"

extern "C" {

KEMSIG_API DbcDatabase *KDBC_Init(void)
{
    DbcDatabase *db = new (std::nothrow) DbcDatabase();
    if (db && !db->valid()) {
        delete db;
        return nullptr;
    }
    return db;
}

KEMSIG_API uint8_t KDBC_LoadFile(DbcDatabase *db, const char *path)
{
    return db ? db->loadFile(path) : 0;
}

KEMSIG_API uint8_t KDBC_SetProtocol(DbcDatabase *db, int32_t protocol)
{
    if (db)
        db->setProtocol(protocol);
    return 1;
}

KEMSIG_API uint8_t KDBC_GetProtocol(DbcDatabase *db)
{
    return db ? uint8_t(db->protocol()) : 0;
}

KEMSIG_API uint32_t KDBC_GetMessageCount(DbcDatabase *db)
{
    return db ? db->messageCount() : 0;
}

KEMSIG_API uint8_t KDBC_GetMessageByIndex(DbcDatabase *db, uint32_t index, DbcMessage *out)
{
    return db && db->messageByIndex(index, out) ? 1 : 0;
}

KEMSIG_API uint32_t KDBC_GetValDescPairCount(DbcDatabase *db, uint32_t msgId, const char *signalName)
{
    return db ? db->valDescPairCount(msgId, signalName) : 0;
}

KEMSIG_API uint32_t KDBC_GetValDescPair(DbcDatabase *db, uint32_t msgId, const char *signalName,
                                        DbcValDescPair *out, uint32_t maxCount)
{
    return db ? db->valDescPairs(msgId, signalName, out, maxCount) : 0;
}

KEMSIG_API int32_t KDBC_Decode(DbcDatabase *db, const void *frame, int32_t fdFlag, DbcMessage *out)
{
    return db ? db->decode(frame, fdFlag, out) : -1;
}

KEMSIG_API uint32_t KDBC_Encode(DbcDatabase *, uint8_t *data, uint32_t dataLen, const DbcMessage *msg)
{
    return msg ? DbcDatabase::encode(data, dataLen, *msg) : 0;
}

KEMSIG_API uint8_t KDBC_ClrMessage(DbcDatabase *db)
{
    if (db)
        db->clear();
    return 1;
}

KEMSIG_API uint8_t KDBC_InsertMessage(DbcDatabase *db, const DbcMessage *msg)
{
    if (!db || !msg)
        return 0;
    db->insertMessage(*msg);
    return 1;
}

KEMSIG_API uint8_t KDBC_DeleteMessage(DbcDatabase *db, uint32_t id)
{
    if (db)
        db->deleteMessage(id);
    return 1;
}

KEMSIG_API double KDBC_CalcPhysicalValue(const DbcSignal *sig, uint64_t raw)
{
    return sig ? kemsig::physicalValue(*sig, raw) : 0.0;
}

KEMSIG_API int64_t KDBC_CalcRawValue(const DbcSignal *sig, double physical)
{
    return sig ? kemsig::rawValue(*sig, physical) : -1;
}

KEMSIG_API void KDBC_Release(DbcDatabase *db)
{
    delete db;
}

} // extern "C"
