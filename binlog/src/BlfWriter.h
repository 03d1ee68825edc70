#pragma once
// Writes a BLF file: the "LOGG" header, then the objects it is given packed
// into LOG_CONTAINER objects of a fixed data size (zlib-compressed or stored);
// an object that does not fit the rest of a container continues in the next.

#include <cstdint>
#include <cstdio>
#include <vector>

#include <zlib.h>

namespace binlog {

class BlfWriter
{
public:
    BlfWriter();
    ~BlfWriter();
    BlfWriter(const BlfWriter &) = delete;
    BlfWriter &operator=(const BlfWriter &) = delete;

    bool open(const char *path);
    void setApplication(uint8_t appId, uint8_t major, uint8_t minor, uint8_t build);
    // level 0 stores, 1..9 (higher values count as 9) compress; containerSize
    // 0 keeps the default.
    bool setOptions(uint32_t level, uint32_t containerSize);
    void setStartTime(const uint16_t systemTime[8]);
    // One complete object; false for a malformed object or a failed write.
    bool writeObject(const uint8_t *object);
    // Empties the pending data into a container and rewrites the header.
    bool flush();
    // Flush and close; false when anything since the last success failed.
    bool close();

    uint32_t objectCount() const { return objectCount_; }

private:
    bool emitContainer(const uint8_t *data, size_t len);
    bool writeHeader();
    bool put(const void *data, size_t len);

    FILE *file_ = nullptr;
    bool ioError_ = false;
    uint8_t app_[4] = {0, 0, 0, 0};
    uint16_t startTime_[8] = {};
    int level_ = 6;
    size_t containerSize_;
    std::vector<uint8_t> pending_;
    std::vector<uint8_t> packed_;
    z_stream zs_{};
    bool zInit_ = false;
    uint64_t fileSize_ = 0;
    uint64_t uncompressedSize_ = 0;
    uint32_t objectCount_ = 0;
    uint64_t lastTimeNs_ = 0;
};

} // namespace binlog
