#pragma once
// BLF trace files through the binlog library (binlog.dll; libbinlog.so here),
// loaded at run time by file name from next to the program. Each frame is
// written as an application trigger followed by a CAN or CAN FD message
// object; reading returns the frames of the CAN message objects (types 1 and
// 86) and CAN FD message objects (types 100 and 101) and skips everything
// else, error frames among it. Frames read carry the CAN FD flag byte of a
// frame to send (bit 0 bit-rate switch, bit 1 error-state indicator).

#include "core/QUserCanMsg.h"
#include "core/QUserCanMsgRaw.h"
#include "traffic/QUserTraceClock.h"

#include <QList>
#include <QString>

#include <cstdint>

class QLibrary;

#pragma pack(push, 1)
struct BlfObjectHeader {
    char signature[4];      // "LOBJ"
    uint16_t headerSize;    // 32
    uint16_t headerVersion; // 1
    uint32_t objectSize;
    uint32_t objectType;
    uint32_t objectFlags;   // 1: time in 10 us, 2: time in ns
    uint16_t clientIndex;
    uint16_t objectVersion;
    uint64_t timeStamp;
};

struct BlfAppTrigger {
    BlfObjectHeader header;
    uint64_t preTriggerTime;
    uint64_t postTriggerTime;
    uint16_t channel;
    uint16_t flags;
    uint32_t appSpecific;
};

struct BlfCanMessage {
    BlfObjectHeader header;
    uint16_t channel;
    uint8_t flags; // bit 7 remote, low four bits direction (1 sent)
    uint8_t dlc;
    uint32_t id;   // bit 31 extended
    uint8_t data[8];
};

struct BlfCanFdMessage {
    BlfObjectHeader header;
    uint16_t channel;
    uint8_t flags;
    uint8_t dlc;
    uint32_t id;
    uint32_t frameLength;
    uint8_t arbBitCount;
    uint8_t canFdFlags; // bit 0 EDL, bit 1 BRS, bit 2 ESI
    uint8_t validDataBytes;
    uint8_t reserved1;
    uint32_t reserved2;
    uint8_t data[64];
    uint32_t fill;
};

// Read only: the objects current tools record classic and CAN FD frames in.
// CAN message with frame length and bit count (type 86).
struct BlfCanMessage2 {
    BlfObjectHeader header;
    uint16_t channel;
    uint8_t flags; // as in BlfCanMessage
    uint8_t dlc;
    uint32_t id;   // bit 31 extended
    uint8_t data[8];
    uint32_t frameLength; // ns
    uint8_t bitCount;
    uint8_t reserved1;
    uint16_t reserved2;
};

// CAN FD message with up to 64 data bytes (type 101). Writers may store only
// the valid data bytes, and extended frame data may follow them.
struct BlfCanFdMessage64 {
    BlfObjectHeader header;
    uint8_t channel;
    uint8_t dlc;            // DLC code 0-15
    uint8_t validDataBytes;
    uint8_t txCount;
    uint32_t id;            // bit 31 extended
    uint32_t frameLength;   // ns
    uint32_t flags;         // bit 4 remote, bit 12 EDL, bit 13 BRS, bit 14 ESI
    uint32_t btrCfgArb;
    uint32_t btrCfgData;
    uint32_t timeOffsetBrsNs;
    uint32_t timeOffsetCrcDelNs;
    uint16_t bitCount;
    uint8_t dir;            // 0 Rx, 1 Tx, 2 Tx request
    uint8_t extDataOffset;
    uint32_t crc;
    uint8_t data[64];
};
#pragma pack(pop)

static_assert(sizeof(BlfObjectHeader) == 32, "object header layout");
static_assert(sizeof(BlfAppTrigger) == 56, "application trigger layout");
static_assert(sizeof(BlfCanMessage) == 48, "CAN message layout");
static_assert(sizeof(BlfCanFdMessage) == 120, "CAN FD message layout");
static_assert(sizeof(BlfCanMessage2) == 56, "CAN message 2 layout");
static_assert(sizeof(BlfCanFdMessage64) == 136, "CAN FD message 64 layout");

class QUserBlfFile
{
public:
    QUserBlfFile();
    ~QUserBlfFile();
    QUserBlfFile(const QUserBlfFile &) = delete;
    QUserBlfFile &operator=(const QUserBlfFile &) = delete;

    bool fileCreate(const QString &name);
    // False when no file is open for writing, when the object is refused, or
    // when the flush after every 100th frame fails.
    bool write(const QUserCanMsg &msg);
    // True when nothing is open; false when the library could not write.
    bool flush();
    // True when nothing is open; false when the last data could not be written.
    bool close();
    int fileReadPart(const QString &name, QList<QUserCanMsg> &frames, int maxCount);
    // fileReadPart without the texts: the same frames as binary records.
    int fileReadPartRaw(const QString &name, QUserCanMsgRaw *frames, int maxCount);
    int fileRead(const QString &name, QList<QUserCanMsg> &frames);

    bool isLoaded() const;
    bool isOpen() const { return m_handle != invalidHandle(); }
    // The file last opened for reading is shorter than its header says:
    // frames are missing from its end. That is a copy cut short, and every
    // recording of ours that was not closed: binlog's header claims the
    // file's size only once a close has completed, so a recording killed at
    // any moment, or stopped by a failed write, claims more. Kept after
    // close.
    bool endedEarly() const { return m_endedEarly; }
    // The file last opened for reading holds damaged data that reading
    // passed over (containers that do not inflate, objects that do not
    // parse): the places and their bytes, as the library counts them (0
    // with a library that does not). Kept after close.
    quint32 damagedPlaces() const { return m_damagedPlaces; }
    quint64 damagedBytes() const { return m_damagedBytes; }

    // The library's file name, "binlog.dll" by default, mapped to this
    // platform's shared-library name. Tests point it elsewhere to see how
    // the program copes without it.
    static void setLibraryName(const QString &name);
    static QString libraryPath();

private:
    static void *invalidHandle() { return reinterpret_cast<void *>(~uintptr_t(0)); }
    bool openForRead(const QString &name);
    int readObjects(QList<QUserCanMsg> &frames, int maxCount);
    int readRawObjects(QUserCanMsgRaw *frames, int maxCount);

    bool m_created = false;
    bool m_endedEarly = false;
    quint32 m_damagedPlaces = 0;
    quint64 m_damagedBytes = 0;
    quint64 m_sinceFlush = 0;
    QUserTraceClock m_clock;
    QLibrary *m_lib = nullptr;
    void *m_handle;
    BlfAppTrigger m_trigger;
    BlfCanMessage m_canMsg;
    BlfCanFdMessage m_fdMsg;

    struct Api;
    Api *m_api;
};
