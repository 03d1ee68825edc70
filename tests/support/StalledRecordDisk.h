#pragma once
// A disk that stalls until the test lets it go, for the recording writers:
// while one of these lives, every writer launched holds before it writes
// each batch of frames (the file is created, nothing of the frames reaches
// it). release() lets every held writer go on; the destructor releases and
// takes the gate away. The gate's state is shared with the writers, so a
// writer that outlives the test still finds it.

#include "traffic/QUserRecordWriter.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

class StalledRecordDisk
{
public:
    StalledRecordDisk() : m_state(std::make_shared<State>())
    {
        std::shared_ptr<State> s = m_state;
        QUserRecordWriter::setGateForTest([s] {
            std::unique_lock<std::mutex> lock(s->mutex);
            ++s->held;
            s->changed.notify_all();
            s->changed.wait(lock, [&s] { return s->open; });
        });
    }
    ~StalledRecordDisk()
    {
        release();
        QUserRecordWriter::setGateForTest(nullptr);
    }
    StalledRecordDisk(const StalledRecordDisk &) = delete;
    StalledRecordDisk &operator=(const StalledRecordDisk &) = delete;

    void release()
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->open = true;
        m_state->changed.notify_all();
    }
    // True once n batches have come to the gate (within bound).
    bool waitHeld(int n, std::chrono::milliseconds bound = std::chrono::seconds(30))
    {
        std::unique_lock<std::mutex> lock(m_state->mutex);
        return m_state->changed.wait_for(lock, bound, [this, n] { return m_state->held >= n; });
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        int held = 0;
        bool open = false;
    };
    std::shared_ptr<State> m_state;
};
