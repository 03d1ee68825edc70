#pragma once
// One simulated adapter: its endpoints (the IN queues the model pushes to,
// the OUT writes that reach the model), the faults a test can set on them,
// its channels, and the open state the back end sees.

#include "platform/PlatUsb.h"
#include "platform/sim/Bus.h"
#include "platform/sim/Model.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace plat::sim {

class World;
struct SimAccess;

// Faults of one IN endpoint, applied to what the model pushes.
struct InFaults
{
    int dropNext = 0;            // the next N pushes vanish (no reply)
    uint32_t delayMs = 0;        // pushes arrive this much later (late reply)
    int truncateNextTo = -1;     // the next push is cut to N bytes (short reply)
    std::vector<size_t> split;   // pushes arrive in pieces of these sizes, cycling
    Bytes garbage;               // bytes put in front of every push
    int failReads = 0;           // the next N reads fail at once
};

struct OutRecord
{
    uint8_t ep;
    Bytes data;
    uint64_t ms;
};
class Adapter
{
public:
    uint16_t vid() const { return info_.vid; }
    uint16_t pid() const { return info_.pid; }
    int index() const { return index_; }          // n-th adapter of its VID:PID
    const std::string &modelName() const { return info_.name; }
    const std::string &alias() const { return alias_; }
    std::string path() const;

    // IN data as one device transfer; terminate = a zero-length packet ends
    // it when its length is a whole number of packets.
    void push(uint8_t ep, const Bytes &data, bool terminate = true);
    void push(uint8_t ep, const uint8_t *data, size_t len, bool terminate = true);
    // Lets edit(Bytes &data) rewrite the newest transfer queued on IN
    // endpoint ep, as firmware adds to a packet the host has not fetched yet.
    // Offered only while the host has read none of that transfer, no fault
    // is set on the endpoint and the transfer is shorter than maxSize; edit
    // must leave it at most maxSize bytes and returns whether it changed it.
    // False: nothing was offered or edit declined; push a new transfer then.
    template<class Edit>
    bool editLastUnread(uint8_t ep, size_t maxSize, Edit &&edit)
    {
        using E = std::remove_reference_t<Edit>;
        return editLastUnreadWith(
            ep, maxSize, [](void *ctx, Bytes &data) { return bool((*static_cast<E *>(ctx))(data)); },
            const_cast<void *>(static_cast<const void *>(&edit)));
    }
    size_t pendingBytes(uint8_t ep);
    // Transfers queued on ep that the host has not read out completely.
    size_t pendingTransfers(uint8_t ep);
    void clearIn(uint8_t ep);

    int channelCount() const { return int(channels_.size()); }
    Channel &channel(int i);

    InFaults &inFaults(uint8_t ep); // change under World::lock() while threads run
    void failWrites(int n);
    void setBusy(bool busy);        // held by another program: open fails
    void setOpenFails(bool fail);
    // Every read and write fails at once, open handles are gone for good
    // (UsbDevice::gone), the adapter leaves the enumeration and, as one
    // without power, its channels stop. replug brings it back to be opened
    // afresh, its channels stopped until the host starts them.
    void unplug();
    void replug();
    bool isOpen();
    bool isPlugged();

    std::vector<OutRecord> outLog();
    void clearOutLog();

    uint32_t stampUs(int bits);     // microsecond counter cut to bits
    DeviceModel *model() { return model_.get(); }
    template<class T>
    T *modelAs() { return dynamic_cast<T *>(model_.get()); }

    // Transport side (used by the back end).
    UsbStatus read(uint8_t ep, uint8_t *buf, uint32_t len, uint32_t timeoutMs, uint32_t *got, uint64_t gen);
    UsbStatus write(uint8_t ep, const uint8_t *buf, uint32_t len, uint32_t *written, uint64_t gen);
    const std::vector<EndpointSpec> &endpoints() const { return info_.endpoints; }

private:
    friend class World;
    friend class Channel;
    friend class Bus;
    friend struct SimAccess;
    struct Transfer
    {
        Bytes data;
        size_t off = 0;
        bool endsRead = true;
        bool terminate = true; // as pushed: a zero-length packet may end it
        bool delayed = false; // queued with a delay: due only at dueUs
        uint64_t dueUs = 0;
    };
    struct InQueue
    {
        uint16_t maxPacket = 64;
        std::deque<Transfer> q;
        InFaults faults;
        size_t splitTurn = 0;
        std::vector<Bytes> spare; // buffers of transfers read out, reused by push
        size_t spareBytes = 0;    // their capacity together
        size_t delayedQueued = 0; // transfers in q queued with a delay
    };

    Adapter(World &w, const ModelInfo &info, int index, int uid, std::string alias);
    void enqueue(InQueue &iq, Bytes &&data, bool terminate);
    bool editLastUnreadWith(uint8_t ep, size_t maxSize, bool (*fn)(void *, Bytes &), void *ctx);
    bool dead(uint64_t gen) const;

    World &world_;
    ModelInfo info_;
    int index_;
    int uid_;
    std::string alias_;
    std::unique_ptr<DeviceModel> model_;
    std::vector<std::unique_ptr<Channel>> channels_;
    std::map<uint8_t, InQueue> in_;
    std::vector<OutRecord> log_;
    int failWrites_ = 0;
    bool busy_ = false;
    bool openFails_ = false;
    bool plugged_ = true;
    bool open_ = false;
    int handles_ = 0;  // transport handles that point here
    uint64_t gen_ = 1; // a handle is valid while the generation it opened stays
};

} // namespace plat::sim
