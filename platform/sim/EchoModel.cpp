#include "platform/sim/EchoModel.h"

#include "platform/PlatBytes.h"
#include "platform/sim/Adapter.h"
#include "platform/sim/Model.h"

#include <algorithm>
#include <cstring>

namespace plat::sim {

namespace {

class EchoModel final : public DeviceModel
{
public:
    EchoModel()
    {
        handleOut(0x01, [this](const Bytes &b) { command(b); });
        handleOut(0x02, [this](const Bytes &b) { transmit(b); });
    }

    void onBusFrame(int ch, const CanFrame &f) override
    {
        Bytes r(20, 0);
        r[0] = uint8_t(ch);
        r[1] = uint8_t((f.ext ? 1 : 0) | (f.rtr ? 2 : 0));
        r[2] = f.len;
        plat::putLe32(&r[4], f.id);
        plat::putLe32(&r[8], adapter().stampUs(32));
        std::memcpy(&r[12], f.data, std::min<size_t>(f.len, 8));
        adapter().push(0x83, r);
    }

private:
    void command(const Bytes &b)
    {
        adapter().push(0x81, b);
        if (b.size() < 3 || b[0] != 0xEC || b[2] >= adapter().channelCount())
            return;
        Channel &c = adapter().channel(b[2]);
        switch (b[1]) {
        case 1:
            if (b.size() >= 7)
                c.setBitRate(plat::le32(&b[3]), b.size() >= 11 ? plat::le32(&b[7]) : 0);
            break;
        case 2:
            c.start();
            break;
        case 3:
            c.stop();
            break;
        case 4:
            c.setListenOnly(b.size() >= 4 && b[3]);
            break;
        default:
            break;
        }
    }

    void transmit(const Bytes &b)
    {
        int n = 0;
        for (size_t off = 0; off + 16 <= b.size(); off += 16) {
            const uint8_t *r = &b[off];
            if (r[0] >= adapter().channelCount())
                continue;
            CanFrame f;
            f.ext = r[1] & 1;
            f.rtr = r[1] & 2;
            f.len = std::min<uint8_t>(r[2], 8);
            f.id = plat::le32(r + 4);
            std::memcpy(f.data, r + 8, 8);
            if (adapter().channel(r[0]).transmit(f))
                ++n;
        }
        adapter().push(0x82, Bytes{0xAC, uint8_t(n)});
    }
};

} // namespace

void registerEchoModel()
{
    ModelInfo m;
    m.name = "ECHO";
    m.vid = kEchoVid;
    m.pid = kEchoPid;
    m.channels = 2;
    m.endpoints = {{0x01, UsbdPipeTypeBulk, 64},  {0x81, UsbdPipeTypeBulk, 64}, {0x02, UsbdPipeTypeBulk, 512},
                   {0x82, UsbdPipeTypeBulk, 64},  {0x83, UsbdPipeTypeBulk, 512}};
    m.create = [] { return std::unique_ptr<DeviceModel>(new EchoModel); };
    registerModel(m);
}

} // namespace plat::sim
