// The exported C interface over the reader and the writer. Every function
// catches at this boundary: an exception (memory or threads running out)
// must not unwind into a C caller, which would end the process; it becomes
// the function's failure value.

#include "binlog/include/binlog.h"

#include "binlog/src/BlfReader.h"
#include "binlog/src/BlfWriter.h"

#include <cstring>
#include <memory>

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

BINLOG_API void *BLCreateFile(const char *name, uint32_t access)
{
    return guarded<void *>(BL_INVALID_HANDLE, [&]() -> void * {
        if (!name || !*name)
            return BL_INVALID_HANDLE;
        std::unique_ptr<Handle> h(new Handle);
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
    });
}

BINLOG_API int32_t BLSetApplication(void *h, uint8_t appId, uint8_t major, uint8_t minor, uint8_t build)
{
    return guarded<int32_t>(0, [&] {
        binlog::BlfWriter *w = writerOf(h);
        if (!w)
            return 0;
        w->setApplication(appId, major, minor, build);
        return 1;
    });
}

BINLOG_API int32_t BLSetWriteOptions(void *h, uint32_t compression, uint32_t reserved)
{
    return guarded<int32_t>(0, [&] {
        binlog::BlfWriter *w = writerOf(h);
        return w && w->setOptions(compression, reserved) ? 1 : 0;
    });
}

BINLOG_API int32_t BLSetMeasurementStartTime(void *h, const uint16_t systemTime[8])
{
    return guarded<int32_t>(0, [&] {
        binlog::BlfWriter *w = writerOf(h);
        if (!w || !systemTime)
            return 0;
        w->setStartTime(systemTime);
        return 1;
    });
}

BINLOG_API int32_t BLWriteObject(void *h, const void *object)
{
    return guarded<int32_t>(0, [&] {
        binlog::BlfWriter *w = writerOf(h);
        return w && w->writeObject(static_cast<const uint8_t *>(object)) ? 1 : 0;
    });
}

BINLOG_API int32_t BLFlushFileBuffers(void *h, uint32_t flags)
{
    return guarded<int32_t>(0, [&] {
        binlog::BlfWriter *w = writerOf(h);
        return w && w->flush() ? 1 : 0;
    });
}

BINLOG_API int32_t BLCloseHandle(void *h)
{
    return guarded<int32_t>(0, [&] {
        Handle *p = handleOf(h);
        if (!p)
            return 0;
        bool ok = true;
        if (p->writer) {
            // The handle is released whatever the close runs into.
            try {
                ok = p->writer->close();
            } catch (...) {
                ok = false;
            }
        }
        p->magic = 0;
        delete p;
        return ok ? 1 : 0;
    });
}

BINLOG_API int32_t BLPeekObject(void *h, void *baseHeader)
{
    return guarded<int32_t>(0, [&] {
        binlog::BlfReader *r = readerOf(h);
        return r && baseHeader && r->peek(static_cast<uint8_t *>(baseHeader)) ? 1 : 0;
    });
}

BINLOG_API int32_t BLReadObjectSecure(void *h, void *object, size_t bufferSize)
{
    return guarded<int32_t>(0, [&] {
        binlog::BlfReader *r = readerOf(h);
        return r && r->read(static_cast<uint8_t *>(object), bufferSize) ? 1 : 0;
    });
}

BINLOG_API int32_t BLFreeObject(void *h, void *object)
{
    return guarded<int32_t>(0, [&] { return handleOf(h) && object ? 1 : 0; });
}

BINLOG_API int32_t BLSkipObject(void *h, void *baseHeader)
{
    return guarded<int32_t>(0, [&] {
        binlog::BlfReader *r = readerOf(h);
        return r && r->skip() ? 1 : 0;
    });
}

BINLOG_API int32_t BLGetReadDamage(void *h, uint32_t *places, uint64_t *bytes)
{
    return guarded<int32_t>(0, [&] {
        binlog::BlfReader *r = readerOf(h);
        if (!r)
            return 0;
        if (places)
            *places = r->damagedPlaces();
        if (bytes)
            *bytes = r->damagedBytes();
        return 1;
    });
}

} // extern "C"
