#include "kemsig/src/J1939Reassembler.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace kemsig {

namespace {
uint32_t monotonicMs(void *)
{
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
} // namespace

J1939Reassembler::J1939Reassembler()
    : sessions_(static_cast<J1939Session *>(std::calloc(SessionCount, sizeof(J1939Session))))
{
}

J1939Reassembler::~J1939Reassembler() { std::free(sessions_); }

void J1939Reassembler::setTickSource(TickSource source, void *context)
{
    tick_ = source;
    tickContext_ = context;
}

uint32_t J1939Reassembler::now() const { return tick_ ? tick_(tickContext_) : monotonicMs(nullptr); }

void J1939Reassembler::expire()
{
    const uint32_t t = now();
    for (int i = 0; i < SessionCount; ++i) {
        J1939Session &s = sessions_[i];
        if (s.inUse && uint32_t(t - s.stamp) >= uint32_t(ExpiryMs))
            s.inUse = 0;
    }
}

J1939Session *J1939Reassembler::find(uint16_t key)
{
    for (int i = 0; i < SessionCount; ++i)
        if (sessions_[i].inUse && sessions_[i].key == key)
            return &sessions_[i];
    return nullptr;
}

void J1939Reassembler::openSession(uint16_t key, uint16_t totalSize, uint8_t packetCount, uint32_t pgn)
{
    J1939Session *s = find(key);
    if (!s) {
        for (int i = 0; i < SessionCount && !s; ++i)
            if (!sessions_[i].inUse)
                s = &sessions_[i];
        if (!s)
            return; // table full: the announcement is ignored
    }
    s->key = key;
    s->totalSize = totalSize;
    s->packetCount = packetCount;
    s->pgn = pgn;
    s->nextSequence = 1;
    s->received = 0;
    s->inUse = 1;
    s->stamp = now();
}

int J1939Reassembler::storePacket(uint16_t key, uint8_t sequence, const uint8_t *bytes, uint32_t count,
                                  const J1939Session **session)
{
    J1939Session *s = find(key);
    if (!s)
        return NoSession;
    if (sequence != s->nextSequence)
        return WrongSequence;
    // Bounded by the session's buffer: a sender announcing more packets than
    // the largest message holds would otherwise write past it.
    uint32_t room = KDBC_J1939_MAX_BYTES - s->received;
    uint32_t n = count < room ? count : room;
    if (n)
        std::memcpy(s->data + s->received, bytes, n);
    s->received = uint16_t(s->received + n);
    s->stamp = now();
    s->nextSequence = uint8_t(s->nextSequence + 1);
    if (sequence == s->packetCount) {
        if (session)
            *session = s;
        return Complete;
    }
    return Incomplete;
}

} // namespace kemsig
