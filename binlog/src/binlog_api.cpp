// The exported C interface over the reader and the writer.

#include "binlog/include/binlog.h"

#include "binlog/src/BlfReader.h"
#include "binlog/src/BlfWriter.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr uint32_t kHandleMagic = 0x424c4846; // "BLHF"

struct Handle {
    uint32_t magic = kHandleMagic;
    std::unique_ptr<binlog::BlfWriter> writer;
    std::unique_ptr<binlog::BlfReader> reader;
};

Handle *handleOf(void *h)
{
    if (!h || h == BL_INVALID_HANDLE)
        return nullptr;
    Handle *p = static_cast<Handle *>(h);
    return p->magic == kHandleMagic ? p : nullptr;
}

binlog::BlfWriter *writerOf(void *h)
{
    Handle *p = handleOf(h);
    return p ? p->writer.get() : nullptr;
}

binlog::BlfReader *readerOf(void *h)
{
    Handle *p = handleOf(h);
    return p ? p->reader.get() : nullptr;
}

} // namespace

extern "C" {

BINLOG_API void *BLCreateFile(const char *name, uint32_t access)
{
    if (!name || !*name)
        return BL_INVALID_HANDLE;
    std::unique_ptr<Handle> h(new (std::nothrow) Handle);
    if (!h)
        return BL_INVALID_HANDLE;
    if (access & BL_ACCESS_WRITE) {
        h->writer.reset(new binlog::BlfWriter);
        if (!h->writer->open(name))
            return BL_INVALID_HANDLE;
    } else if (access & BL_ACCESS_READ) {
        h->reader.reset(new binlog::BlfReader);
        if (!h->reader->open(name))
            return BL_INVALID_HANDLE;
    } else {
        return BL_INVALID_HANDLE;
    }
    return h.release();
}

BINLOG_API int32_t BLSetApplication(void *h, uint8_t appId, uint8_t major, uint8_t minor, uint8_t build)
{
    binlog::BlfWriter *w = writerOf(h);
    if (!w)
        return 0;
    w->setApplication(appId, major, minor, build);
    return 1;
}

BINLOG_API int32_t BLSetWriteOptions(void *h, uint32_t compression, uint32_t reserved)
{
    binlog::BlfWriter *w = writerOf(h);
    return w && w->setOptions(compression, reserved) ? 1 : 0;
}

BINLOG_API int32_t BLSetMeasurementStartTime(void *h, const uint16_t systemTime[8])
{
    binlog::BlfWriter *w = writerOf(h);
    if (!w || !systemTime)
        return 0;
    w->setStartTime(systemTime);
    return 1;
}

BINLOG_API int32_t BLWriteObject(void *h, const void *object)
{
    binlog::BlfWriter *w = writerOf(h);
    return w && w->writeObject(static_cast<const uint8_t *>(object)) ? 1 : 0;
}

BINLOG_API int32_t BLFlushFileBuffers(void *h, uint32_t flags)
{
    binlog::BlfWriter *w = writerOf(h);
    return w && w->flush() ? 1 : 0;
}

BINLOG_API int32_t BLCloseHandle(void *h)
{
    Handle *p = handleOf(h);
    if (!p)
        return 0;
    bool ok = true;
    if (p->writer)
        ok = p->writer->close();
    p->magic = 0;
    delete p;
    return ok ? 1 : 0;
}

BINLOG_API int32_t BLPeekObject(void *h, void *baseHeader)
{
    binlog::BlfReader *r = readerOf(h);
    return r && baseHeader && r->peek(static_cast<uint8_t *>(baseHeader)) ? 1 : 0;
}

BINLOG_API int32_t BLReadObjectSecure(void *h, void *object, size_t bufferSize)
{
    binlog::BlfReader *r = readerOf(h);
    return r && r->read(static_cast<uint8_t *>(object), bufferSize) ? 1 : 0;
}

BINLOG_API int32_t BLFreeObject(void *h, void *object)
{
    return handleOf(h) && object ? 1 : 0;
}

BINLOG_API int32_t BLSkipObject(void *h, void *baseHeader)
{
    binlog::BlfReader *r = readerOf(h);
    return r && r->skip() ? 1 : 0;
}

} // extern "C"
