// Passive reassembly of J1939 transport-protocol transfers (connection
// management announcements and data-transfer packets).
#pragma once

#include <cstddef>
#include <cstdint>

#include "kemsig/include/kemsig.h"

namespace kemsig {

struct J1939Session {
    uint16_t key;          // destination address * 256 + source address
    uint16_t totalSize;    // announced message size in bytes
    uint8_t nextSequence;  // sequence number expected next
    uint16_t received;     // bytes stored so far
    uint8_t packetCount;   // announced packets
    uint32_t pgn;          // announced parameter group (24 bits)
    uint32_t stamp;        // tick of the last announcement or packet
    uint8_t inUse;
    uint8_t data[KDBC_J1939_MAX_BYTES];
};
static_assert(sizeof(J1939Session) == 1816, "J1939Session size");

// Millisecond tick source; wraps at 2^32 like a tick counter.
using TickSource = uint32_t (*)(void *context);

class J1939Reassembler
{
public:
    enum { SessionCount = 256, ExpiryMs = 10000 };
    enum StoreResult { Complete = 0, NoSession = -1, WrongSequence = -2, Incomplete = -3 };

    J1939Reassembler();
    ~J1939Reassembler();
    J1939Reassembler(const J1939Reassembler &) = delete;
    J1939Reassembler &operator=(const J1939Reassembler &) = delete;

    bool valid() const { return sessions_ != nullptr; }

    // Replaces the clock (tests); null restores the monotonic clock.
    void setTickSource(TickSource source, void *context);
    uint32_t now() const;

    // Frees every session whose last traffic is ExpiryMs or more ago.
    void expire();
    void openSession(uint16_t key, uint16_t totalSize, uint8_t packetCount, uint32_t pgn);
    int storePacket(uint16_t key, uint8_t sequence, const uint8_t *bytes, uint32_t count,
                    const J1939Session **session);

    const J1939Session *sessions() const { return sessions_; }

private:
    J1939Session *find(uint16_t key);

    J1939Session *sessions_;
    TickSource tick_ = nullptr;
    void *tickContext_ = nullptr;
};

} // namespace kemsig
