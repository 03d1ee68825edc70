#include "mainwindow/QUserBlockStock.h"

#include <cstdlib>
#include <new>

QUserBlockStock &QUserBlockStock::instance()
{
    static QUserBlockStock stockOfTheProcess;
    return stockOfTheProcess;
}

QUserBlockStock::QUserBlockStock() : worker([this] { run(); }) {}

QUserBlockStock::~QUserBlockStock()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    worker.join();
    for (auto &sized : stock)
        for (void *p : sized.second)
            std::free(p);
}

void *QUserBlockStock::allocate(size_t bytes)
{
    void *p = std::calloc(1, bytes);
    if (!p)
        throw std::bad_alloc();
    return p;
}

void *QUserBlockStock::take(size_t bytes)
{
    void *p = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::deque<void *> &ready = stock[bytes]; // a size asked for is kept stocked from now on
        if (!ready.empty()) {
            p = ready.front();
            ready.pop_front();
        }
    }
    wake.notify_one();
    return p ? p : allocate(bytes);
}

void QUserBlockStock::give(void *block, size_t)
{
    std::free(block);
}

int QUserBlockStock::ready(size_t bytes)
{
    std::lock_guard<std::mutex> lock(mutex);
    auto it = stock.find(bytes);
    return it == stock.end() ? 0 : int(it->second.size());
}

void QUserBlockStock::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        size_t wanted = 0;
        wake.wait(lock, [&] {
            if (stopping)
                return true;
            for (const auto &sized : stock)
                if (int(sized.second.size()) < kSpares) {
                    wanted = sized.first;
                    return true;
                }
            return false;
        });
        if (stopping)
            return;
        lock.unlock();
        void *p = allocate(wanted);
        // One write per page makes the system map them all now, here.
        volatile char *touch = static_cast<volatile char *>(p);
        for (size_t off = 0; off < wanted; off += 4096)
            touch[off] = 0;
        lock.lock();
        if (stopping) {
            std::free(p);
            return;
        }
        stock[wanted].push_back(p);
    }
}
