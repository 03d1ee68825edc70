#pragma once
// Simulated adapters behind the same transport calls as real ones.
//
// How a device model plugs in
// ---------------------------
// A model is one adapter family's firmware, written against this framework:
//
//   class MyModel : public plat::sim::DeviceModel {
//   public:
//       MyModel() {
//           handleOut(0x01, [this](const Bytes &req) {            // command pipe
//               adapter().push(0x81, reply(req));                  // answer on 0x81
//           });
//           handleOut(0x02, [this](const Bytes &pkt) {            // transmit pipe
//               plat::sim::CanFrame f = decode(pkt);
//               adapter().channel(f.channel).transmit(f);          // onto its bus
//           });
//       }
//       void onBusFrame(int ch, const plat::sim::CanFrame &f) override {
//           adapter().push(0x83, encode(ch, f, adapter().stampUs(32))); // receive stream
//       }
//   };
//
//   plat::sim::registerModel({"TRNA701", 0x0471, 0x7A41, 4,
//       {{0x01, UsbdPipeTypeBulk, 64}, {0x81, UsbdPipeTypeBulk, 64}, ...},
//       [] { return std::make_unique<MyModel>(); }});
//
// - registerModel() declares a model per VID:PID: its name, channel count,
//   endpoints with their maximum packet sizes, and a factory. Every simulated
//   adapter of that VID:PID gets its own model object.
// - OUT writes reach the model's handler for that endpoint (handleOut), or
//   onOut() when the model overrides it; every write is also logged for
//   byte-exact tests (Adapter::outLog).
// - push() queues IN data as one device-side transfer; reads follow WinUSB
//   (a short packet ends a read, surplus stays for the next read, a time-out
//   returns what arrived). Faults set on the adapter (InFaults, failWrites,
//   unplug, busy, openFails) apply to everything the model pushes or gets.
// - editLastUnread() lets a model add to the newest transfer of an IN
//   endpoint while the host has not begun to read it (firmware filling its
//   packet until the host comes for it); never while faults are set there.
// - Channels are the model's CAN controllers: the model sets their bit rate,
//   listen-only mode and start/stop from its own commands, and transmits
//   through them. A channel attaches to a named Bus; a started channel's
//   frame reaches every other started channel on that bus whose rate matches
//   the bus (or, on a bus without a fixed rate, the sender's); a channel at
//   another rate gets nothing and shows an error state. Received frames come
//   to the model in onBusFrame(); stampUs(bits) gives the microsecond stamp
//   cut to the record's width.
// - Scripted nodes (PeriodicNode, AnswerNode, or any BusNode) join a bus to
//   send periodic frames or answer requests.
// - onTick()/nextTickMs() let a model do timed work of its own (scheduled by
//   the tick source, so it follows an injected clock); onTick() must move
//   nextTickMs() past the current tick, or waiting reads keep waking.
//
// The topology (adapters, buses, attachments, nodes) comes from the file that
// KEMUSB_SIM_CONFIG names, or by default one adapter of each registered
// model with all its channels on one bus of its own. World::loadConfig()
// documents the file. Everything runs under one world lock: model code is
// called with it held and may push, transmit and look at other adapters.

#include "PlatUsb.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

namespace plat::sim {

using Bytes = std::vector<uint8_t>;

struct CanFrame
{
    uint32_t id = 0;
    bool ext = false;
    bool rtr = false;
    bool fd = false;
    bool brs = false;
    bool esi = false;
    uint8_t len = 0;     // bytes, 0-64
    uint8_t data[64] = {};
    int channel = 0;     // free for models to carry a channel index
};

struct EndpointSpec
{
    uint8_t address;     // bit 0x80 = IN
    uint8_t type;        // UsbPipeType
    uint16_t maxPacket;
};

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

class Adapter;
class Bus;
class World;
struct SimAccess;

class DeviceModel
{
public:
    using OutHandler = std::function<void(const Bytes &)>;
    virtual ~DeviceModel() = default;
    virtual void onOpen() {}
    virtual void onClose() {}
    // An OUT write; the default hands it to the endpoint's handler.
    virtual void onOut(uint8_t ep, const Bytes &data);
    // A frame from the bus for one of this adapter's channels.
    virtual void onBusFrame(int channel, const CanFrame &frame) {}
    // Timed work: nextTickMs() tells when onTick() wants to run.
    virtual uint64_t nextTickMs() { return UINT64_MAX; }
    virtual void onTick(uint64_t nowMs) {}

    void handleOut(uint8_t ep, OutHandler h) { handlers_[ep] = std::move(h); }
    Adapter &adapter() { return *adapter_; }

private:
    friend class Adapter;
    Adapter *adapter_ = nullptr;
    std::map<uint8_t, OutHandler> handlers_;
};

struct ModelInfo
{
    std::string name;
    uint16_t vid = 0;
    uint16_t pid = 0;
    int channels = 0;
    std::vector<EndpointSpec> endpoints;
    std::function<std::unique_ptr<DeviceModel>()> create;
};

// Declares a model (replacing one of the same VID:PID).
void registerModel(const ModelInfo &info);
std::vector<ModelInfo> registeredModels();

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
    void unplug();                  // every read and write fails at once; gone from enumeration
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

class World
{
public:
    static World &instance();

    // Removes every adapter, bus and node (registered models stay) and marks
    // the world as configured.
    void reset();
    // One adapter of each registered model; its channels on one bus named
    // after the adapter (alias "<MODEL>.<index>").
    void loadDefault();
    // Configuration text, one statement a line ('#' starts a comment):
    //   bus NAME [nominal=BPS] [data=BPS]
    //   adapter MODEL|VVVV:PPPP [name=ALIAS] [busy=1] [openfail=1]
    //   attach ALIAS CHANNEL BUS
    //   periodic BUS id=HEX period=MS [ext=1] [rtr=1] [fd=1] [brs=1] [data=HEXBYTES] [count=N]
    //            [counter=BYTE] [vary=FROM-TO]   (byte indexes into data, counted from 0)
    //   answer BUS request=HEX [request_ext=1] id=HEX [ext=1] [fd=1] [brs=1] [data=HEXBYTES]
    //   canopen BUS node=ID eds=PATH   (a CANopen slave, sim/SimCanopenNode.h)
    // Adapters are numbered per VID:PID in the order of their lines; an
    // adapter without name= is called "<MODEL>.<index>". Channels not
    // attached go to a bus named after their adapter. false with *error set
    // (the world then stays empty) on a bad line.
    bool loadConfig(const std::string &text, std::string *error = nullptr);
    bool loadConfigFile(const std::string &path, std::string *error = nullptr);
    // The first use: KEMUSB_SIM_CONFIG, else the default.
    void ensureConfigured();
    // Forgets the topology and configures again as at the first use.
    void reconfigureFromEnvironment();

    Adapter *addAdapter(const std::string &model, const std::string &alias = {});
    Adapter *adapter(uint16_t vid, uint16_t pid, int index);
    Adapter *adapterByAlias(const std::string &alias);
    Adapter *adapterByUid(int uid);
    std::vector<Adapter *> adapters();
    Bus &bus(const std::string &name); // made on first use
    void attach(Adapter &a, int channel, const std::string &bus);

    std::recursive_mutex &lock() { return m_; }
    std::condition_variable_any &changed() { return cv_; }
    // Runs scheduled work that is due (nodes, model ticks, late data).
    void poll();
    uint64_t nextEventMs();

private:
    World();
    friend class Adapter;
    friend class Bus;
    friend class Channel;

    std::recursive_mutex m_;
    std::condition_variable_any cv_;
    std::vector<std::unique_ptr<Adapter>> adapters_;
    std::map<std::string, std::unique_ptr<Bus>> buses_;
    bool configured_ = false;
    int nextUid_ = 0;
    bool polling_ = false;
};

// The echo adapter: the framework's own test device (VID:PID FFFF:0E40,
// two channels).
//   OUT 0x01 (64): every write comes back unchanged on IN 0x81; a write
//     that starts with 0xEC is also a command: EC 01 ch rate(u32 LE) sets
//     the channel's rate, EC 02 ch starts it, EC 03 ch stops it, EC 04 ch on
//     sets listen-only.
//   OUT 0x02 (512): 16-byte frame records [0] ch [1] flags (1 ext, 2 rtr)
//     [2] len [3] 0 [4..7] id LE [8..15] data; each is transmitted; IN 0x82
//     answers AC n with the number the bus took.
//   IN 0x83 (512): received frames as 20-byte records [0] ch [1] flags
//     [2] len [3] 0 [4..7] id LE [8..11] time stamp (us, 32 bits) [12..19] data.
constexpr uint16_t kEchoVid = 0xFFFF;
constexpr uint16_t kEchoPid = 0x0E40;
void registerEchoModel();

std::shared_ptr<UsbBackend> makeSimBackend();

} // namespace plat::sim
