#pragma once
// Buses of the simulated world: the channels (an adapter's CAN controllers)
// that attach to them, and the scripted nodes that take part.

#include "platform/sim/Model.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat::sim {

class Adapter;
class Bus;
class World;

class Channel
{
public:
    int index() const { return index_; }
    Adapter &adapter() { return *adapter_; }
    std::string busName();
    void setBitRate(uint32_t nominal, uint32_t data = 0); // data 0: classic only
    uint32_t nominalRate();
    uint32_t dataRate();
    void setListenOnly(bool on);
    bool listenOnly();
    void start();
    void stop();
    bool started();
    bool errorState();
    void clearError();
    // Puts a frame on the bus; false when it cannot (stopped, listen-only,
    // rate not the bus's). The sender does not receive its own frame.
    bool transmit(const CanFrame &frame);
    uint64_t rxCount();
    uint64_t txCount();

private:
    friend class Adapter;
    friend class Bus;
    friend class World;
    Adapter *adapter_ = nullptr;
    int index_ = 0;
    std::string bus_;
    uint32_t nominal_ = 0;
    uint32_t data_ = 0;
    bool listenOnly_ = false;
    bool started_ = false;
    bool error_ = false;
    uint64_t rx_ = 0;
    uint64_t tx_ = 0;
};
// A scripted participant of a bus.
class BusNode
{
public:
    virtual ~BusNode() = default;
    virtual void onFrame(Bus &bus, const CanFrame &frame) {}
    virtual uint64_t nextDueMs() { return UINT64_MAX; }
    virtual void tick(Bus &bus, uint64_t nowMs) {}
};

// What changes in a periodic frame from one send to the next.
struct FrameChanges
{
    int counter = -1;  // this data byte carries the number of frames sent before (wraps at 256)
    int varyFrom = -1; // the data bytes varyFrom..varyTo take new values every send
    int varyTo = -1;
};

// Sends one frame every period (count 0: without end), the first one
// period after it joins.
class PeriodicNode final : public BusNode
{
public:
    PeriodicNode(const CanFrame &frame, uint32_t periodMs, uint64_t count = 0, const FrameChanges &changes = {});
    uint64_t nextDueMs() override { return next_; }
    void tick(Bus &bus, uint64_t nowMs) override;
    uint64_t sent() const { return sent_; }

private:
    CanFrame frame_;
    uint32_t period_;
    uint64_t count_;
    uint64_t sent_ = 0;
    uint64_t next_;
    FrameChanges changes_;
    uint32_t noise_; // the varying bytes' generator (xorshift), seeded by the identifier
};

// Answers every frame with the request's identifier (and format) by a reply.
class AnswerNode final : public BusNode
{
public:
    AnswerNode(uint32_t requestId, bool requestExt, const CanFrame &reply);
    void onFrame(Bus &bus, const CanFrame &frame) override;
    uint64_t answered() const { return answered_; }

private:
    uint32_t reqId_;
    bool reqExt_;
    CanFrame reply_;
    uint64_t answered_ = 0;
};

class Bus
{
public:
    const std::string &name() const { return name_; }
    uint32_t nominalRate() const { return nominal_; } // 0: follows the sender
    uint32_t dataRate() const { return data_; }
    void setRates(uint32_t nominal, uint32_t data = 0);
    BusNode *addNode(std::unique_ptr<BusNode> node);
    // A frame from a node (always at the bus's rate).
    void inject(const CanFrame &frame);
    std::vector<Channel *> members();
    uint64_t frames() const { return frames_; }
    // The scripted nodes in the order they joined (take World::lock() while
    // threads run).
    size_t nodeCount();
    BusNode *node(size_t i);

private:
    friend class World;
    friend class Channel;
    Bus(World &w, std::string name) : world_(w), name_(std::move(name)) {}
    bool carry(Channel *from, const CanFrame &frame);
    void deliver(Channel *from, uint32_t nominal, uint32_t data, const CanFrame &frame);

    World &world_;
    std::string name_;
    uint32_t nominal_ = 0;
    uint32_t data_ = 0;
    std::vector<std::unique_ptr<BusNode>> nodes_;
    uint64_t frames_ = 0;
    int depth_ = 0; // answer chains are cut off after a few levels
};

} // namespace plat::sim
