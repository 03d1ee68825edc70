#include "platform/sim/Backend.h"

#include "platform/sim/World.h"

#include <map>
#include <mutex>

namespace plat::sim {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

class SimDevice final : public UsbDevice
{
public:
    SimDevice(Adapter *a, uint64_t gen) : a_(a), gen_(gen) {}

    ~SimDevice() override
    {
        World &w = World::instance();
        Guard g(w.lock());
        if (a_->isPlugged() && a_->isOpen() && !closedByGen())
            closeAdapter();
        dropHandle();
    }

    std::vector<UsbPipeInfo> queryPipes() override
    {
        std::vector<UsbPipeInfo> out;
        for (const EndpointSpec &e : a_->endpoints()) {
            UsbPipeInfo p;
            p.pipeType = e.type;
            p.pipeId = e.address;
            p.maximumPacketSize = e.maxPacket;
            out.push_back(p);
        }
        return out;
    }

    bool setPipeTimeout(uint8_t pipeId, uint32_t ms) override
    {
        for (const EndpointSpec &e : a_->endpoints())
            if (e.address == pipeId) {
                std::lock_guard<std::mutex> g(m_);
                timeouts_[pipeId] = ms;
                return true;
            }
        return false;
    }

    UsbStatus writePipe(uint8_t pipeId, const uint8_t *buf, uint32_t len, uint32_t *written) override
    {
        return a_->write(pipeId, buf, len, written, gen_);
    }

    UsbStatus readPipe(uint8_t pipeId, uint8_t *buf, uint32_t len, uint32_t *read) override
    {
        uint32_t t = 0;
        {
            std::lock_guard<std::mutex> g(m_);
            auto it = timeouts_.find(pipeId);
            if (it != timeouts_.end())
                t = it->second;
        }
        return a_->read(pipeId, buf, len, t, read, gen_);
    }

    bool gone() const override;

private:
    bool closedByGen();
    void closeAdapter();
    void dropHandle();

    Adapter *a_;
    uint64_t gen_;
    std::mutex m_;
    std::map<uint8_t, uint32_t> timeouts_;
};

class SimBackend final : public UsbBackend
{
public:
    const char *name() const override { return "sim"; }
    bool carriesModels() const override { return true; }

    std::vector<std::string> devicePaths() override
    {
        World &w = World::instance();
        Guard g(w.lock());
        w.ensureConfigured();
        w.controlPoll(true); // an enumeration sees every line written before it
        std::vector<std::string> out;
        for (Adapter *a : w.adapters())
            if (a->isPlugged())
                out.push_back(a->path());
        return out;
    }

    std::unique_ptr<UsbDevice> open(const std::string &path) override;
};

} // namespace

// Friends of Adapter reach its open state through these two.
struct SimAccess
{
    static bool tryOpen(Adapter *a, uint64_t *gen)
    {
        if (!a->plugged_ || a->busy_ || a->openFails_ || a->open_)
            return false;
        a->open_ = true;
        ++a->handles_;
        *gen = a->gen_;
        a->model_->onOpen();
        return true;
    }
    static bool stale(Adapter *a, uint64_t gen) { return a->gen_ != gen; }
    static void drop(Adapter *a) { --a->handles_; }
    static void close(Adapter *a)
    {
        a->open_ = false;
        a->model_->onClose();
    }
};

bool SimDevice::closedByGen() { return SimAccess::stale(a_, gen_); }

// Unplugged (or its topology replaced) since this handle opened it: a replug
// does not bring the handle back.
bool SimDevice::gone() const
{
    Guard g(World::instance().lock());
    return SimAccess::stale(a_, gen_) || !a_->isPlugged();
}
void SimDevice::closeAdapter() { SimAccess::close(a_); }
void SimDevice::dropHandle() { SimAccess::drop(a_); }

std::unique_ptr<UsbDevice> SimBackend::open(const std::string &path)
{
    World &w = World::instance();
    Guard g(w.lock());
    w.ensureConfigured();
    w.controlPoll(true);
    for (Adapter *a : w.adapters()) {
        if (a->path() != path)
            continue;
        uint64_t gen = 0;
        if (!SimAccess::tryOpen(a, &gen))
            return nullptr;
        return std::unique_ptr<UsbDevice>(new SimDevice(a, gen));
    }
    return nullptr;
}

std::shared_ptr<UsbBackend> makeSimBackend() { return std::make_shared<SimBackend>(); }

} // namespace plat::sim
