#include "binlog/src/BlfReader.h"

#include "binlog/src/BlfBytes.h"

#include <algorithm>
#include <cstring>

namespace binlog {

BlfReader::BlfReader() = default;

BlfReader::~BlfReader()
{
    if (file_)
        std::fclose(file_);
    if (zInit_)
        inflateEnd(&zs_);
}

bool BlfReader::open(const char *path)
{
    FILE *f = std::fopen(path, "rb");
    return f && open(f);
}

bool BlfReader::open(FILE *stream)
{
    file_ = stream;
    if (std::fseek(file_, 0, SEEK_END) != 0)
        return false;
    const long end = std::ftell(file_);
    if (end < 0 || std::fseek(file_, 0, SEEK_SET) != 0)
        return false;
    fileSize_ = uint64_t(end);
    streamPos_ = 0;
    uint8_t h[40];
    if (fileSize_ < sizeof h || !readAt(0, h, sizeof h) || std::memcmp(h, "LOGG", 4) != 0)
        return false;
    const uint32_t headerSize = rd32(h + 4);
    if (headerSize < sizeof h || headerSize > fileSize_ || headerSize > 0x100000)
        return false;
    headerObjectCount_ = rd32(h + 32);
    filePos_ = headerSize;
    return true;
}

bool BlfReader::fail()
{
    damaged_ = true;
    ended_ = true;
    haveCur_ = false;
    return false;
}

bool BlfReader::readAt(uint64_t offset, void *dst, size_t len)
{
    if (offset + len > fileSize_)
        return false;
    if (offset != streamPos_) {
        if (std::fseek(file_, long(offset), SEEK_SET) != 0)
            return false;
        streamPos_ = offset;
    }
    if (len && std::fread(dst, 1, len, file_) != len) {
        streamPos_ = ~uint64_t(0);
        return false;
    }
    streamPos_ += len;
    return true;
}

// Appends the data of the next top-level object to the stream buffer.
bool BlfReader::loadNext()
{
    if (ended_)
        return false;
    // Drop what has been consumed.
    if (pos_) {
        buf_.erase(buf_.begin(), buf_.begin() + pos_);
        pos_ = 0;
    }
    if (filePos_ + kBaseHeaderSize > fileSize_) {
        ended_ = true;
        return false;
    }
    // Find the signature, allowing for padding after the previous object.
    uint8_t win[kBaseHeaderSize + kMaxPadding];
    const size_t winLen = size_t(std::min<uint64_t>(sizeof win, fileSize_ - filePos_));
    if (!readAt(filePos_, win, winLen))
        return fail();
    size_t skip = 0;
    while (skip + kBaseHeaderSize <= winLen && !isObjSignature(win + skip))
        ++skip;
    if (skip + kBaseHeaderSize > winLen) {
        // Only padding or trailing bytes that hold no object: the end, unless
        // there is more file behind them.
        if (fileSize_ - filePos_ <= kMaxPadding + 3) {
            ended_ = true;
            return false;
        }
        return fail();
    }
    filePos_ += skip;
    const uint8_t *b = win + skip;
    const uint16_t headerSize = rd16(b + 4);
    const uint32_t size = rd32(b + 8);
    const uint32_t type = rd32(b + 12);
    // Sizes come from the file: a header below the base header, or an object
    // past the end of the file, would have the reads below run past the data.
    if (headerSize < kBaseHeaderSize || size < headerSize || size > fileSize_ - filePos_)
        return fail();

    if (type == kTypeLogContainer) {
        if (size < kContainerHeaderSize || size - kContainerHeaderSize > kMaxContainerData)
            return fail();
        uint8_t head[kContainerHeaderSize];
        if (!readAt(filePos_, head, sizeof head))
            return fail();
        const uint16_t method = rd16(head + 16);
        const uint32_t declared = rd32(head + 24);
        const size_t dataLen = size - kContainerHeaderSize;
        if (method == kCompressionNone) {
            const size_t at = buf_.size();
            buf_.resize(at + dataLen);
            if (!readAt(filePos_ + kContainerHeaderSize, buf_.data() + at, dataLen))
                return fail();
        } else if (method == kCompressionZlib) {
            // zlib cannot expand by more than about 1032:1; a larger claim is
            // a lie that would only cost memory.
            if (declared > kMaxContainerData || uint64_t(declared) > uint64_t(dataLen) * 1100 + 64)
                return fail();
            scratch_.resize(dataLen);
            if (!readAt(filePos_ + kContainerHeaderSize, scratch_.data(), dataLen))
                return fail();
            if (!zInit_) {
                if (inflateInit(&zs_) != Z_OK)
                    return fail();
                zInit_ = true;
            } else {
                inflateReset(&zs_);
            }
            const size_t at = buf_.size();
            buf_.resize(at + declared);
            zs_.next_in = scratch_.data();
            zs_.avail_in = uInt(dataLen);
            zs_.next_out = buf_.data() + at;
            zs_.avail_out = uInt(declared);
            const int rc = inflate(&zs_, Z_FINISH);
            if (rc != Z_STREAM_END) {
                buf_.resize(at);
                return fail();
            }
            buf_.resize(at + zs_.total_out);
        } else {
            return fail();
        }
    } else {
        if (size > kMaxObjectSize)
            return fail();
        const size_t at = buf_.size();
        buf_.resize(at + size);
        if (!readAt(filePos_, buf_.data() + at, size))
            return fail();
    }
    filePos_ += size;
    return true;
}

bool BlfReader::ensure(size_t n)
{
    while (buf_.size() - pos_ < n) {
        if (!loadNext())
            return false;
    }
    return true;
}

bool BlfReader::locate()
{
    if (damaged_)
        return false;
    if (haveCur_)
        return true;
    if (!ensure(kBaseHeaderSize))
        return false;
    if (!isObjSignature(buf_.data() + pos_)) {
        // Padding between objects: look a few bytes further.
        size_t skip = 1;
        for (; skip <= kMaxPadding; ++skip) {
            if (!ensure(skip + kBaseHeaderSize))
                return false; // nothing but padding left, or damaged data
            if (isObjSignature(buf_.data() + pos_ + skip))
                break;
        }
        if (skip > kMaxPadding)
            return fail();
        pos_ += skip;
    }
    const uint8_t *b = buf_.data() + pos_;
    curHeaderSize_ = rd16(b + 4);
    curSize_ = rd32(b + 8);
    curType_ = rd32(b + 12);
    if (curHeaderSize_ < kBaseHeaderSize || curSize_ < curHeaderSize_ || curSize_ > kMaxObjectSize)
        return fail();
    haveCur_ = true;
    return true;
}

bool BlfReader::peek(uint8_t base[16])
{
    if (!locate())
        return false;
    std::memcpy(base, buf_.data() + pos_, kBaseHeaderSize);
    return true;
}

bool BlfReader::read(uint8_t *out, size_t outSize)
{
    if (!out || outSize < kObjHeaderV1Size || !locate())
        return false;
    if (rd32(out + 12) != curType_)
        return false;
    if (!ensure(curSize_))
        return fail(); // the object is cut off: the file ends inside it
    const uint8_t *src = buf_.data() + pos_;
    const size_t headLen = std::min<size_t>(curHeaderSize_, kObjHeaderV1Size);
    std::memcpy(out, src, headLen);
    std::memset(out + headLen, 0, outSize - headLen);
    if (curHeaderSize_ != kObjHeaderV1Size && headLen == kObjHeaderV1Size) {
        // Version 2 keeps flags, object version and time stamp where version 1
        // has them; bytes 20 and 21 are its time stamp status, not a client.
        out[20] = out[21] = 0;
    }
    const size_t bodyLen = curSize_ - curHeaderSize_;
    // No more than the caller's buffer holds, whatever the object claims.
    const size_t copy = std::min(bodyLen, outSize - kObjHeaderV1Size);
    std::memcpy(out + kObjHeaderV1Size, src + curHeaderSize_, copy);
    wr16(out + 4, kObjHeaderV1Size);
    wr16(out + 6, 1);
    wr32(out + 8, uint32_t(kObjHeaderV1Size + bodyLen));
    pos_ += curSize_;
    haveCur_ = false;
    return true;
}

bool BlfReader::skip()
{
    if (!locate())
        return false;
    if (!ensure(curSize_))
        return fail();
    pos_ += curSize_;
    haveCur_ = false;
    return true;
}

} // namespace binlog
