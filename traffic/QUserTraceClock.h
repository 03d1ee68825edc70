#pragma once
// The clock of a trace file being written, shared by the ASC and the BLF
// writer so that their traces of the same frames carry the same times: a
// frame's trace time is its host time less the host time of the file's first
// frame, in milliseconds. Receive and transmit frames come from different
// threads, so frames may reach the file out of order: each keeps its own
// time (rewriting it to the last one written would lose the order they
// really had on the bus). Only a time before the first frame's is clamped to
// 0, since trace times cannot be negative (BLF stamps are unsigned).

#include <cstdint>

class QUserTraceClock
{
public:
    // A new file: the next frame is its first.
    void restart() { m_started = false; }

    // The trace time in ms of the next frame written, from its host time.
    int64_t traceTimeMs(int64_t hostTimeMs)
    {
        if (!m_started) {
            m_started = true;
            m_startMs = hostTimeMs;
        }
        const int64_t t = hostTimeMs - m_startMs;
        return t < 0 ? 0 : t;
    }

private:
    bool m_started = false;
    int64_t m_startMs = 0;
};
