#pragma once
// Byte-level protocol of the recording adapters TRND701 (type 61) and
// TRND702 (type 62): board information, channel settings, the adapter's own
// acceptance filter list. Builders and reply parsers only; every parser
// reads no byte it has not checked to be there.

#include "kemusb/src/protocol/AdapterModels.h"
#include "kemusb/src/protocol/CommandChannel.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kemusb::record {

using Bytes = std::vector<uint8_t>;

constexpr int kChannels = familyChannels(AdapterFamily::Recording);
constexpr uint8_t kEpCmdOut = 0x01;
constexpr uint8_t kEpCmdIn = 0x81;
constexpr uint32_t kBoardReplyMs = 1000;
constexpr uint32_t kSettingSetMs = 5000;
constexpr uint32_t kSettingGetMs = 1000;
constexpr uint32_t kFilterMs = 5000;
constexpr uint32_t kFilterReadMs = 1000;
constexpr uint32_t kDirectReplyMs = 5000;

#pragma pack(push, 1)
// Channel settings as the caller passes them (21 bytes used).
struct RecordSetting {
    uint8_t unused0;
    uint8_t enabled;
    uint8_t standard;
    uint8_t mode;
    uint8_t arbClock;
    uint8_t dataClock;
    uint8_t unused6[2];
    uint32_t arbTiming;
    uint32_t dataTiming;
    uint8_t optA;
    uint8_t optB;
    uint8_t optC;
    uint8_t optD;
    uint8_t optE;
};
// One entry of the adapter's filter list.
struct RecordFilter {
    uint8_t unused0[2];
    uint8_t kind;
    uint8_t unused3;
    uint32_t first;
    uint32_t last;
    uint16_t index;
};
// Filter list information.
struct RecordFilterInfo {
    uint16_t value0;
    uint8_t value2;
};
// Board information as the recording adapter fills it.
struct BoardInfo {
    uint16_t hwVersion;
    uint16_t fwVersion;
    uint16_t unused4;
    uint16_t ifVersion;
    uint16_t unused8;
    uint8_t channels;
};
#pragma pack(pop)
static_assert(sizeof(RecordSetting) == 21, "RecordSetting");
static_assert(sizeof(RecordFilter) == 14, "RecordFilter");
static_assert(sizeof(BoardInfo) == 11, "BoardInfo");

using kemusb::cmdChannelCount;
using kemusb::cmdFirmwareVersion;
using kemusb::cmdHardwareVersion;
using kemusb::parseChannelCountReply;
// Versions are little-endian at reply[4]; 6 bytes needed, and the reply
// must answer its request (hardware or firmware query).
bool parseVersionReply(const Bytes &request, const uint8_t *reply, size_t n, uint16_t *version);

Bytes cmdSettingSet(int channel, const RecordSetting &s); // 28 bytes
bool settingSetReplyOk(const uint8_t *reply, size_t n);
Bytes cmdSettingGet(int channel);
// The shortest setting reply taken: it reaches option value B (reply[25]).
constexpr size_t kSettingReplyMin = 26;
// Fills s from a reply of at least kSettingReplyMin bytes: every field the
// reply's bytes carry, the ones past its end (option values C at reply[26]
// and E at reply[27]) stay as they were. A shorter reply: false, s untouched.
bool parseSettingGetReply(const uint8_t *reply, size_t n, RecordSetting *s);

// Filter commands 0-3 (clear, add, enable, disable); f is read for add only.
Bytes cmdFilter(uint32_t command, int channel, const RecordFilter *f);
bool filterReplyOk(const uint8_t *reply, size_t n);
Bytes cmdFilterInfo(int channel);
bool parseFilterInfoReply(const uint8_t *reply, size_t n, RecordFilterInfo *info);
Bytes cmdFilterEntry(int channel, uint16_t index);
bool parseFilterEntryReply(const uint8_t *reply, size_t n, RecordFilter *f);

} // namespace kemusb::record
