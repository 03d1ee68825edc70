#pragma once
// A block of records shared by a container and its frozen copies, for the
// container's copy on write: shared() tells whether another holder still
// has the block. A copy may be read and dropped on another thread; the
// count of holders is read with acquire, so a write the container makes
// into a block nobody else holds comes after every read the last other
// holder made of it (its drop, the count's decrement, releases). A
// std::shared_ptr gives no such read (use_count() is relaxed, and the
// thread sanitizer does not see a fence after it).

#include <atomic>
#include <utility>

template <typename T>
class QUserSharedBlock
{
public:
    // Gives the records back when the last holder drops the block.
    using Give = void (*)(T *);

    QUserSharedBlock() = default;
    QUserSharedBlock(T *data, Give give) : c(data ? new Control{{1}, data, give} : nullptr) {}
    QUserSharedBlock(const QUserSharedBlock &o) noexcept : c(o.c)
    {
        if (c)
            c->holders.fetch_add(1, std::memory_order_relaxed);
    }
    QUserSharedBlock(QUserSharedBlock &&o) noexcept : c(o.c) { o.c = nullptr; }
    QUserSharedBlock &operator=(const QUserSharedBlock &o) noexcept
    {
        QUserSharedBlock(o).swap(*this);
        return *this;
    }
    QUserSharedBlock &operator=(QUserSharedBlock &&o) noexcept
    {
        QUserSharedBlock(std::move(o)).swap(*this);
        return *this;
    }
    ~QUserSharedBlock()
    {
        if (c && c->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            c->give(c->data);
            delete c;
        }
    }

    void swap(QUserSharedBlock &o) noexcept { std::swap(c, o.c); }
    T *get() const { return c ? c->data : nullptr; }
    // Another holder has the block (the caller being one).
    bool shared() const { return c && c->holders.load(std::memory_order_acquire) > 1; }

private:
    struct Control {
        std::atomic<long> holders;
        T *data;
        Give give;
    };
    Control *c = nullptr;
};
