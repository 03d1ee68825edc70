#pragma once
// Trace files as measurement tools other than ours write them: small ASC
// fixtures kept as files under tests/traffic/fixtures/, and BLF fixtures built
// byte by byte here, each with the frames it holds.
//
// Frames read from a trace carry the CAN FD flag byte with bit 0 for the
// bit-rate switch and bit 1 for the error-state indicator.

#include "tests/binlog/BlfCraft.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace othertools {

struct Want {
    const char *id;
    int ext, remote, protocol, fdFlags;
    const char *len;
    const char *data;
    int dir, channel;
    qint64 ms;
    // python-can reads the direction of this frame otherwise (see where set).
    bool peerDirectionDiffers = false;
    // python-can (4.1) takes every frame of an ASC CANFD line for a CAN FD
    // frame, also the classic remote frames a CAN FD channel saw; it keeps
    // their DLC.
    bool peerTakesFdLineAsFd = false;
};

struct Fixture {
    std::string name; // file name, .asc or .blf
    std::vector<Want> frames;
    std::vector<craft::Bytes> objects; // the objects of a BLF fixture; ASC fixtures are files
    size_t chunk = 128 * 1024;         // object data per container

    bool isBlf() const { return !objects.empty(); }
    craft::Bytes blf(bool compress) const { return craft::file(objects, compress, chunk); }
};

// ---- BLF objects, laid out as the published BLF object descriptions give them ----

// CAN_MESSAGE (type 1), 16-byte body: u16 channel (1-based), u8 flags (bit 7
// remote, low nibble direction: 0 Rx, 1 Tx, 2 Tx request), u8 DLC, u32
// identifier (bit 31 extended), 8 data bytes.
inline craft::Bytes canMessage(uint64_t ns, uint16_t channel, uint8_t flags, uint8_t dlc, uint32_t id, const craft::Bytes &data)
{
    craft::Bytes b(16, 0);
    craft::put16(b, 0, channel);
    b[2] = flags;
    b[3] = dlc;
    craft::put32(b, 4, id);
    for (size_t i = 0; i < data.size() && i < 8; ++i)
        b[8 + i] = data[i];
    return craft::object(1, ns, b);
}

// CAN_MESSAGE2 (type 86), 24-byte body: the CAN_MESSAGE body, then u32 frame
// length in ns, u8 bit count, u8 and u16 reserved.
inline craft::Bytes canMessage2(uint64_t ns, uint16_t channel, uint8_t flags, uint8_t dlc, uint32_t id, const craft::Bytes &data,
                                int headerVersion = 1)
{
    craft::Bytes b(24, 0);
    craft::put16(b, 0, channel);
    b[2] = flags;
    b[3] = dlc;
    craft::put32(b, 4, id);
    for (size_t i = 0; i < data.size() && i < 8; ++i)
        b[8 + i] = data[i];
    craft::put32(b, 16, 111000 + dlc * 8000); // frame length, ns
    b[20] = uint8_t(47 + dlc * 8);           // bit count
    return craft::object(86, ns, b, headerVersion);
}

// CAN_FD_MESSAGE (type 100), 88-byte body: u16 channel, u8 flags (as type 1),
// u8 DLC, u32 identifier, u32 frame length, u8 arbitration bit count, u8 CAN
// FD flags (bit 0 EDL, bit 1 BRS, bit 2 ESI), u8 valid data bytes, u8 and u32
// reserved, 64 data bytes, u32 reserved.
inline craft::Bytes canFdMessage(uint64_t ns, uint16_t channel, uint8_t flags, uint8_t dlc, uint32_t id, uint8_t fdFlags,
                                 uint8_t valid, const craft::Bytes &data)
{
    craft::Bytes b(88, 0);
    craft::put16(b, 0, channel);
    b[2] = flags;
    b[3] = dlc;
    craft::put32(b, 4, id);
    b[13] = fdFlags;
    b[14] = valid;
    for (size_t i = 0; i < data.size() && i < 64; ++i)
        b[20 + i] = data[i];
    return craft::object(100, ns, b);
}

// CAN_FD_MESSAGE_64 (type 101), 40-byte fixed body then the data: u8 channel
// (1-based), u8 DLC (code 0-15), u8 valid data bytes, u8 transmit count, u32
// identifier (bit 31 extended), u32 frame length ns, u32 flags (bit 4 remote,
// bit 12 EDL, bit 13 BRS, bit 14 ESI), u32 arbitration and u32 data bit
// timing, u32 BRS and u32 CRC-delimiter time offsets, u16 bit count, u8
// direction (0 Rx, 1 Tx, 2 Tx request), u8 offset of extended frame data, u32
// CRC; then `valid` data bytes (writers store only those, or all 64).
struct Fd64 {
    uint8_t channel = 1;
    uint8_t dlc = 0;
    uint8_t valid = 0;
    uint32_t id = 0;
    uint32_t flags = 0x1000;
    uint8_t dir = 0;
    craft::Bytes data;
    bool full64 = false;     // store all 64 data bytes
    craft::Bytes extData;    // extended frame data after the data bytes
};

inline craft::Bytes canFdMessage64(uint64_t ns, const Fd64 &f, uint32_t timeFlags = 2)
{
    craft::Bytes b(40, 0);
    b[0] = f.channel;
    b[1] = f.dlc;
    b[2] = f.valid;
    craft::put32(b, 4, f.id);
    craft::put32(b, 8, 150000);
    craft::put32(b, 12, f.flags);
    craft::put32(b, 16, 0x46500250);
    craft::put32(b, 20, 0x4b140250);
    craft::put16(b, 32, 130);
    b[34] = f.dir;
    craft::put32(b, 36, 0x1fa4b);
    craft::Bytes d = f.data;
    d.resize(f.full64 ? 64 : f.valid, 0);
    b.insert(b.end(), d.begin(), d.end());
    if (!f.extData.empty()) {
        b[35] = uint8_t(32 + b.size()); // from the start of the object
        b.insert(b.end(), f.extData.begin(), f.extData.end());
    }
    return craft::object(101, ns, b, 1, timeFlags);
}

// APP_TRIGGER (type 5), as tools put one at the start of a measurement.
inline craft::Bytes appTrigger(uint64_t ns) { return craft::object(5, ns, craft::Bytes(24, 0)); }

// Error objects: CAN_ERROR (type 2: u16 channel, u16 length), CAN_ERROR_EXT
// (type 73: u16 channel, u16 length, u32 flags, u8 ECC, u8 position, u8 DLC,
// u8 reserved, u32 frame length, u32 identifier, u16 extended flags, u16
// reserved, 8 data bytes) and CAN_FD_ERROR_64 (type 104, 88-byte body here).
inline craft::Bytes canError(uint64_t ns, uint16_t channel)
{
    craft::Bytes b(4, 0);
    craft::put16(b, 0, channel);
    return craft::object(2, ns, b);
}

inline craft::Bytes canErrorExt(uint64_t ns, uint16_t channel, uint32_t id)
{
    craft::Bytes b(32, 0);
    craft::put16(b, 0, channel);
    craft::put32(b, 4, 0x2);
    b[8] = 0xA2;
    b[9] = 5;
    b[10] = 8;
    craft::put32(b, 12, 11300);
    craft::put32(b, 16, id);
    return craft::object(73, ns, b);
}

inline craft::Bytes canFdError64(uint64_t ns, uint8_t channel, uint32_t id)
{
    craft::Bytes b(88, 0);
    b[0] = channel;
    b[1] = 9;
    b[2] = 12;
    craft::put32(b, 12, id);
    return craft::object(104, ns, b);
}

inline craft::Bytes seq(uint8_t first, int n)
{
    craft::Bytes b;
    for (int i = 0; i < n; ++i)
        b.push_back(uint8_t(first + i));
    return b;
}

inline constexpr uint64_t ms(uint64_t v) { return v * 1000000u; }

// A BLF file of `frames` classic frames (identifiers 0x100 up, 1 ms apart)
// in uncompressed containers of 10 objects, cut in the middle of the
// container after the first `keepContainers`: its header still gives the
// size it had, as a copy broken off or a file cut by a crash leaves it.
inline craft::Bytes cutShortBlf(int frames, int keepContainers)
{
    std::vector<craft::Bytes> objects;
    for (int i = 0; i < frames; ++i)
        objects.push_back(canMessage(ms(uint64_t(i + 1)), 1, 0, 1, uint32_t(0x100 + i), {uint8_t(i)}));
    const size_t chunk = 10 * objects.front().size();
    craft::Bytes f = craft::file(objects, false, chunk);
    const size_t containers = size_t(frames + 9) / 10;
    const size_t each = (f.size() - 144) / containers;
    f.resize(144 + size_t(keepContainers) * each + each / 2);
    return f;
}

// ---- the fixtures ----

inline std::vector<Fixture> ascFixtures()
{
    return {
        {"asc_fd_symbolic_names.asc",
         {
             {"000001a3", 0, 0, 2, 1, "12", "000102030405060708090a0b", 0, 0, 12},
             {"000001a4", 0, 0, 2, 1, "12", "101112131415161718191a1b", 0, 0, 13},
             {"18daf110", 1, 0, 1, 2, "8", "0210035555555555", 1, 1, 20},
             {"000007e8", 0, 0, 2, 3, "32", "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", 0, 0, 31},
             {"00000100", 0, 0, 1, 0, "0", "", 0, 2, 40},
             {"00000101", 0, 0, 1, 0, "3", "aabbcc", 1, 0, 51},
             {"00000123", 0, 0, 0, 0, "2", "0102", 0, 0, 60},
         },
         {}},
        {"asc_hex_dlc.asc",
         {
             {"00000100", 0, 0, 0, 0, "8", "0001020304050607", 0, 0, 1},
             {"00000101", 0, 0, 0, 0, "8", "1011121314151617", 0, 0, 2},
             {"18fef100", 1, 0, 0, 0, "8", "2021222324252627", 1, 1, 3},
             {"00000102", 0, 0, 0, 0, "8", "3031323334353637", 0, 0, 4},
             {"00000103", 0, 0, 0, 0, "8", "4041424344454647", 0, 0, 5},
             {"00000104", 0, 0, 0, 0, "8", "5051525354555657", 0, 0, 6},
             {"00000105", 0, 0, 0, 0, "8", "6061626364656667", 0, 0, 7},
             {"00000106", 0, 0, 0, 0, "3", "707172", 0, 0, 8},
             {"00000107", 0, 0, 0, 0, "0", "", 0, 0, 9},
         },
         {}},
        {"asc_error_frames.asc",
         {
             {"00000200", 0, 0, 0, 0, "1", "01", 0, 0, 10},
             {"00000201", 0, 0, 2, 1, "2", "0203", 0, 0, 16},
             {"00000202", 0, 0, 0, 0, "2", "0405", 1, 1, 19},
         },
         {}},
        {"asc_base_dec.asc",
         {
             {"00000123", 0, 0, 0, 0, "8", "01020304050607FF", 0, 0, 1},
             {"18ff0001", 1, 0, 0, 0, "2", "1020", 1, 1, 2},
             {"00000064", 0, 1, 0, 0, "0", "", 0, 0, 3},
             {"000001a3", 0, 0, 2, 1, "12", "000102030405060708090A0B", 0, 0, 4},
             {"1fffffff", 1, 0, 1, 2, "8", "C8C9CACBCCCDCECF", 1, 1, 5},
             {"000007ff", 0, 0, 0, 0, "0", "", 0, 0, 6},
         },
         {}},
        {"asc_fd_channel_remote.asc",
         {
             {"00000100", 0, 1, 0, 0, "8", "", 0, 0, 10, false, true},
             {"00000101", 0, 1, 0, 0, "3", "", 1, 0, 11, false, true},
             {"1abcdef0", 1, 1, 0, 0, "8", "", 0, 1, 12, false, true}, // DLC F: 8 bytes asked for
             {"00000102", 0, 0, 1, 0, "0", "", 0, 0, 13},               // EDL: a CAN FD frame of length 0
             {"00000103", 0, 0, 2, 1, "2", "aabb", 0, 0, 14},
         },
         {}},
        {"asc_classic_long_dlc.asc",
         {
             {"00000200", 0, 0, 0, 0, "8", "0001020304050607", 0, 0, 1},
             {"00000201", 0, 0, 0, 0, "8", "1011121314151617", 0, 0, 2},
             {"18fef200", 1, 0, 0, 0, "8", "2021222324252627", 1, 1, 3},
             {"00000202", 0, 0, 0, 0, "8", "3031323334353637", 0, 0, 4},
         },
         {}},
        {"asc_remote_no_dlc.asc",
         {
             {"00000300", 0, 1, 0, 0, "0", "", 0, 0, 100},
             {"1abcdef0", 1, 1, 0, 0, "0", "", 1, 1, 110},
             {"00000301", 0, 1, 0, 0, "0", "", 0, 0, 120},
             {"00000302", 0, 0, 0, 0, "1", "99", 0, 0, 130},
             {"00000303", 0, 1, 0, 0, "0", "", 0, 0, 140},
             {"00000304", 0, 1, 0, 0, "0", "", 1, 2, 150},
         },
         {}},
    };
}

inline std::vector<Fixture> blfFixtures()
{
    std::vector<Fixture> out;

    // CAN messages with frame length and bit count (type 86), the way current
    // tools record classic CAN.
    out.push_back({"blf_can_message2.blf",
                   {
                       {"00000123 ", 0, 0, 0, 0, "8", "0102030405060708", 0, 0, 1},
                       {"18FF0001 ", 1, 0, 0, 0, "3", "AABBCC", 1, 1, 2},
                       {"00000055 ", 0, 1, 0, 0, "4", "", 0, 0, 3},
                       {"1ABCDEF0 ", 1, 1, 0, 0, "0", "", 1, 2, 4},
                       {"00000124 ", 0, 0, 0, 0, "8", "1011121314151617", 0, 0, 5},
                       // A transmit request (direction 2) is a frame sent; python-can
                       // takes only bit 0 of the direction for "sent" and reads it
                       // as received.
                       {"00000125 ", 0, 0, 0, 0, "0", "", 1, 0, 6, true},
                       {"000007FF ", 0, 0, 0, 0, "2", "EEFF", 0, 3, 7},
                   },
                   {
                       appTrigger(0),
                       canMessage2(ms(1), 1, 0x00, 8, 0x123, seq(1, 8)),
                       canMessage2(ms(2), 2, 0x01, 3, 0x80000000u | 0x18FF0001u, {0xAA, 0xBB, 0xCC}),
                       canMessage2(ms(3), 1, 0x80, 4, 0x55, {}),
                       canMessage2(ms(4), 3, 0x81, 0, 0x80000000u | 0x1ABCDEF0u, {}),
                       canMessage2(ms(5), 1, 0x00, 15, 0x124, seq(0x10, 8)), // DLC 15: 8 bytes
                       canMessage2(ms(6), 1, 0x02, 0, 0x125, {}),            // Tx request
                       canMessage2(ms(7), 4, 0x00, 2, 0x7FF, {0xEE, 0xFF}, 2), // header version 2
                   }});

    // CAN FD messages with up to 64 bytes and their own flags (type 101).
    Fd64 brsStd;
    brsStd.dlc = 9;
    brsStd.valid = 12;
    brsStd.id = 0x1A3;
    brsStd.flags = 0x3000; // EDL, BRS
    brsStd.data = seq(0, 12);
    Fd64 esiExt;
    esiExt.channel = 2;
    esiExt.dlc = 15;
    esiExt.valid = 64;
    esiExt.id = 0x80000000u | 0x18DAF110u;
    esiExt.flags = 0x5000; // EDL, ESI
    esiExt.dir = 1;
    esiExt.data = seq(0x40, 64);
    Fd64 both;
    both.dlc = 13;
    both.valid = 32;
    both.id = 0x7E8;
    both.flags = 0x7000; // EDL, BRS, ESI
    both.data = seq(0x80, 32);
    both.full64 = true;
    Fd64 classic;
    classic.dlc = 5;
    classic.valid = 5;
    classic.id = 0x321;
    classic.flags = 0; // no EDL: a classic frame on a CAN FD channel
    classic.data = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
    Fd64 remote;
    remote.dlc = 8;
    remote.valid = 0;
    remote.id = 0x322;
    remote.flags = 0x0010; // remote, classic
    Fd64 txRequest;
    txRequest.channel = 3;
    txRequest.dlc = 0;
    txRequest.id = 0x80000000u | 0x100;
    txRequest.dir = 2;
    Fd64 withExt;
    withExt.dlc = 2;
    withExt.valid = 2;
    withExt.id = 0x200;
    withExt.flags = 0x1000;
    withExt.data = {0x5A, 0xA5};
    withExt.extData = craft::Bytes(12, 0xEE);
    Fd64 tenMicros;
    tenMicros.dlc = 1;
    tenMicros.valid = 1;
    tenMicros.id = 0x201;
    tenMicros.flags = 0x1000;
    tenMicros.data = {0x42};
    out.push_back({"blf_can_fd_message64.blf",
                   {
                       {"000001A3 ", 0, 0, 2, 1, "12", "000102030405060708090A0B", 0, 0, 10},
                       {"18DAF110 ", 1, 0, 1, 2, "64",
                        "404142434445464748494A4B4C4D4E4F505152535455565758595A5B5C5D5E5F"
                        "606162636465666768696A6B6C6D6E6F707172737475767778797A7B7C7D7E7F",
                        1, 1, 11},
                       {"000007E8 ", 0, 0, 2, 3, "32", "808182838485868788898A8B8C8D8E8F909192939495969798999A9B9C9D9E9F", 0, 0, 12},
                       {"00000321 ", 0, 0, 0, 0, "5", "A1A2A3A4A5", 0, 0, 13},
                       {"00000322 ", 0, 1, 0, 0, "8", "", 0, 0, 14},
                       {"00000100 ", 1, 0, 1, 0, "0", "", 1, 2, 15},
                       {"00000200 ", 0, 0, 1, 0, "2", "5AA5", 0, 0, 16},
                       {"00000201 ", 0, 0, 1, 0, "1", "42", 0, 0, 17},
                   },
                   {
                       appTrigger(0),
                       canFdMessage64(ms(10), brsStd),
                       canFdMessage64(ms(11), esiExt),
                       canFdMessage64(ms(12), both),
                       canFdMessage64(ms(13), classic),
                       canFdMessage64(ms(14), remote),
                       canFdMessage64(ms(15), txRequest),
                       canFdMessage64(ms(16), withExt),
                       canFdMessage64(1700, tenMicros, 1), // time in 10 us units: 17 ms
                   },
                   200}); // objects cut across containers

    // Identifiers with bits 29 and 30 set: not part of the identifier.
    Fd64 high101;
    high101.dlc = 1;
    high101.valid = 1;
    high101.id = 0xA0000ABCu;
    high101.flags = 0x1000;
    high101.data = {0x01};
    Fd64 widest101 = high101;
    widest101.id = 0xFFFFFFFFu;
    out.push_back({"blf_id_high_bits.blf",
                   {
                       {"00000123 ", 0, 0, 0, 0, "1", "01", 0, 0, 1},
                       {"00000456 ", 1, 0, 0, 0, "1", "02", 0, 0, 2},
                       {"00000789 ", 0, 0, 1, 0, "1", "03", 0, 0, 3},
                       {"00000ABC ", 1, 0, 1, 0, "1", "01", 0, 0, 4},
                       {"1FFFFFFF ", 1, 0, 1, 0, "1", "01", 0, 0, 5},
                   },
                   {
                       canMessage(ms(1), 1, 0, 1, 0x60000123u, {0x01}),
                       canMessage2(ms(2), 1, 0, 1, 0xE0000456u, {0x02}),
                       canFdMessage(ms(3), 1, 0, 1, 0x40000789u, 0x01, 1, {0x03}),
                       canFdMessage64(ms(4), high101),
                       canFdMessage64(ms(5), widest101),
                   }});

    // Error frames among the frames: skipped, the frames around them kept.
    Fd64 fdAfter;
    fdAfter.dlc = 2;
    fdAfter.valid = 2;
    fdAfter.id = 0x301;
    fdAfter.flags = 0x3000;
    fdAfter.data = {0x03, 0x04};
    out.push_back({"blf_error_objects.blf",
                   {
                       {"00000300 ", 0, 0, 0, 0, "2", "0102", 0, 0, 1},
                       {"00000301 ", 0, 0, 2, 1, "2", "0304", 0, 0, 5},
                       {"00000302 ", 0, 0, 0, 0, "1", "05", 1, 1, 7},
                   },
                   {
                       canMessage2(ms(1), 1, 0, 2, 0x300, {0x01, 0x02}),
                       canError(ms(2), 1),
                       canErrorExt(ms(3), 1, 0x300),
                       canFdError64(ms(4), 1, 0x301),
                       canFdMessage64(ms(5), fdAfter),
                       canErrorExt(ms(6), 2, 0x80000000u | 0x1234),
                       canMessage2(ms(7), 2, 0x01, 1, 0x302, {0x05}),
                   }});
    return out;
}

} // namespace othertools
