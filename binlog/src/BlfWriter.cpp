#include "BlfWriter.h"

#include "BlfBytes.h"

#include <algorithm>
#include <cstring>

namespace binlog {

BlfWriter::BlfWriter() : containerSize_(kDefaultContainerSize) {}

BlfWriter::~BlfWriter()
{
    if (file_)
        close();
    if (zInit_)
        deflateEnd(&zs_);
}

bool BlfWriter::open(const char *path)
{
    file_ = std::fopen(path, "wb");
    if (!file_)
        return false;
    // Room for the header; it is written for real on every flush and at close.
    // A failure to write it shows at the first flush.
    fileSize_ = kFileHeaderSize;
    uncompressedSize_ = kFileHeaderSize;
    const uint8_t zeros[kFileHeaderSize] = {};
    put(zeros, sizeof zeros);
    return true;
}

void BlfWriter::setApplication(uint8_t appId, uint8_t major, uint8_t minor, uint8_t build)
{
    app_[0] = appId;
    app_[1] = major;
    app_[2] = minor;
    app_[3] = build;
}

bool BlfWriter::setOptions(uint32_t level, uint32_t containerSize)
{
    level_ = int(std::min<uint32_t>(level, 9));
    if (containerSize != 0)
        containerSize_ = std::max<uint32_t>(containerSize, 64);
    return true;
}

void BlfWriter::setStartTime(const uint16_t systemTime[8])
{
    std::memcpy(startTime_, systemTime, sizeof startTime_);
}

bool BlfWriter::put(const void *data, size_t len)
{
    if (len && std::fwrite(data, 1, len, file_) != len) {
        ioError_ = true;
        return false;
    }
    return true;
}

bool BlfWriter::writeObject(const uint8_t *object)
{
    if (!file_ || !object || !isObjSignature(object))
        return false;
    const uint16_t headerSize = rd16(object + 4);
    const uint32_t size = rd32(object + 8);
    if (headerSize < kBaseHeaderSize || size < headerSize || size > kMaxObjectSize)
        return false;
    if (headerSize >= kObjHeaderV1Size) {
        const uint32_t flags = rd32(object + 16);
        const uint64_t ts = rd64(object + 24);
        lastTimeNs_ = (flags & 1) ? ts * 10000 : ts;
    }
    pending_.insert(pending_.end(), object, object + size);
    // Objects are followed by (size % 4) bytes of padding, the layout other
    // readers expect.
    pending_.insert(pending_.end(), size % 4, 0);
    ++objectCount_;

    if (pending_.size() >= containerSize_) {
        size_t done = 0;
        while (pending_.size() - done >= containerSize_) {
            if (!emitContainer(pending_.data() + done, containerSize_))
                return false;
            done += containerSize_;
        }
        pending_.erase(pending_.begin(), pending_.begin() + done);
    }
    return !ioError_;
}

bool BlfWriter::emitContainer(const uint8_t *data, size_t len)
{
    uint16_t method = kCompressionNone;
    const uint8_t *payload = data;
    size_t payloadLen = len;
    if (level_ > 0) {
        if (!zInit_) {
            if (deflateInit(&zs_, level_) != Z_OK)
                return false;
            zInit_ = true;
        } else {
            deflateReset(&zs_);
        }
        packed_.resize(deflateBound(&zs_, uLong(len)));
        zs_.next_in = const_cast<Bytef *>(data);
        zs_.avail_in = uInt(len);
        zs_.next_out = packed_.data();
        zs_.avail_out = uInt(packed_.size());
        if (deflate(&zs_, Z_FINISH) != Z_STREAM_END)
            return false;
        method = kCompressionZlib;
        payload = packed_.data();
        payloadLen = zs_.total_out;
    }
    uint8_t head[kContainerHeaderSize] = {};
    const uint32_t objSize = uint32_t(kContainerHeaderSize + payloadLen);
    std::memcpy(head, "LOBJ", 4);
    wr16(head + 4, kBaseHeaderSize);
    wr16(head + 6, 1);
    wr32(head + 8, objSize);
    wr32(head + 12, kTypeLogContainer);
    wr16(head + 16, method);
    wr32(head + 24, uint32_t(len));
    static const uint8_t zeros[4] = {0, 0, 0, 0};
    if (!put(head, sizeof head) || !put(payload, payloadLen) || !put(zeros, objSize % 4))
        return false;
    fileSize_ += objSize + objSize % 4;
    uncompressedSize_ += kContainerHeaderSize + len;
    return true;
}

bool BlfWriter::writeHeader()
{
    uint8_t h[kFileHeaderSize] = {};
    std::memcpy(h, "LOGG", 4);
    wr32(h + 4, kFileHeaderSize);
    std::memcpy(h + 8, app_, 4);
    h[12] = 4; // version of this library's format writer
    h[13] = 7;
    h[14] = 1;
    h[15] = 0;
    wr64(h + 16, fileSize_);
    wr64(h + 24, uncompressedSize_);
    wr32(h + 32, objectCount_);
    wr32(h + 36, 0);
    for (int i = 0; i < 8; ++i)
        wr16(h + 40 + 2 * i, startTime_[i]);
    uint16_t last[8] = {};
    const int64_t startMs = systemTimeToMs(startTime_);
    if (startMs != 0 || startTime_[0] != 0)
        msToSystemTime(startMs + int64_t(lastTimeNs_ / 1000000), last);
    for (int i = 0; i < 8; ++i)
        wr16(h + 56 + 2 * i, last[i]);

    if (std::fseek(file_, 0, SEEK_SET) != 0) {
        ioError_ = true;
        return false;
    }
    if (!put(h, sizeof h))
        return false;
    if (std::fseek(file_, 0, SEEK_END) != 0) {
        ioError_ = true;
        return false;
    }
    return true;
}

bool BlfWriter::flush()
{
    if (!file_)
        return false;
    if (!pending_.empty()) {
        if (!emitContainer(pending_.data(), pending_.size()))
            return false;
        pending_.clear();
    }
    writeHeader();
    if (std::fflush(file_) != 0 || std::ferror(file_))
        ioError_ = true;
    return !ioError_;
}

bool BlfWriter::close()
{
    if (!file_)
        return false;
    bool ok = flush();
    if (std::fclose(file_) != 0)
        ok = false;
    file_ = nullptr;
    return ok && !ioError_;
}

} // namespace binlog
