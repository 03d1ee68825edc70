#pragma once
// What a simulated adapter model is: its firmware as a DeviceModel, and the
// ModelInfo that declares it (name, USB id, channels, endpoints, factory).
// platform/PlatSim.h tells how a model plugs in.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
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

class Adapter;

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

} // namespace plat::sim
