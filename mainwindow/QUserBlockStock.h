#pragma once
// A small stock of zero-filled memory blocks whose pages a thread of its own
// has already touched, for the data tabs' frame stores.
//
// A tab's store grows by one block at a time while frames arrive. The first
// write to a fresh page makes the system map it, and on some machines
// (virtual ones above all) that costs tens of microseconds a page: a block
// of a few hundred kilobytes then holds the GUI thread up for milliseconds,
// again and again while eight busy channels fill their tabs. Blocks taken
// from here were mapped on the stock's own thread instead.
//
// take() hands out a ready block of the size asked for when one is in stock
// (else it allocates one on the spot) and asks the thread to make the next;
// give() frees a block, keeping a few as spares. At most kSpares blocks of
// each size wait in stock. Thread-safe.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

class QUserBlockStock
{
public:
    static constexpr int kSpares = 8;

    static QUserBlockStock &instance();

    // A zero-filled block of the given size (never null).
    void *take(size_t bytes);
    // Gives a block of take() back.
    void give(void *block, size_t bytes);

    // Blocks of a size ready in stock now (tests and reports).
    int ready(size_t bytes);

    QUserBlockStock();
    ~QUserBlockStock();
    QUserBlockStock(const QUserBlockStock &) = delete;
    QUserBlockStock &operator=(const QUserBlockStock &) = delete;

private:
    void run();
    static void *allocate(size_t bytes);

    std::mutex mutex;
    std::condition_variable wake;
    // Ready blocks by size, and the sizes asked for (the thread keeps them
    // stocked).
    std::map<size_t, std::deque<void *>> stock;
    bool stopping = false;
    std::thread worker;
};
