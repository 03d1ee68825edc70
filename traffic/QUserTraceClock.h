#pragma once
// The clock of a trace file being written, shared by the ASC and the BLF
// writer so that their traces of the same frames carry the same times: a
// frame's trace time is its host time less the host time of the file's first
// frame, in milliseconds, and never earlier than the time written last.
// Receive and transmit frames come from different threads, so a frame may
// carry a host time before the one written last.

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
            m_lastMs = 0;
        }
        int64_t t = hostTimeMs - m_startMs;
        if (t < m_lastMs)
            t = m_lastMs;
        m_lastMs = t;
        return t;
    }

private:
    bool m_started = false;
    int64_t m_startMs = 0;
    int64_t m_lastMs = 0;
};
