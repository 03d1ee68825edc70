#include "kemusb/src/devices/KemLibrary.h"
#include "kemusb/src/devices/QDevice.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kemusb;

namespace {

class BareDevice : public QDevice
{
public:
    uint32_t Open(uint32_t, uint32_t) override { return 1; }
    uint32_t Close() override { return 1; }
};

} // namespace

// Every operation a device class does not provide answers 0 or no handle.
TEST(QDevice, BaseAnswersZeroForEveryOptionalOperation)
{
    BareDevice d;
    OCAN_DEVICE_INFO info{};
    OCAN_INIT_CONFIG init{};
    init.CanType = 1;
    KCAN_CAN_OBJ kobj[2]{};
    KCAN_INITFD_CONFIG kcfg{};
    OCAN_CAN_TX tx[2]{};
    OCAN_CAN_RX rx[2]{};
    OCAN_CANFD_TX ftx[2]{};
    OCAN_CANFD_RX frx[2]{};
    OCAN_ERR_INFO err{};
    OCAN_CAN_STATUS status{};
    uint8_t buf[64] = {0x12, 0xA7};
    uint8_t rec[32] = {};

    struct Case
    {
        const char *op;
        std::function<uintptr_t()> call;
    } cases[] = {
        {"ReadBoardInfo", [&] { return d.ReadBoardInfo(0, &info); }},
        {"GetDeviceInf", [&] { return d.GetDeviceInf(&info); }},
        {"BoardInfoGet", [&] { return d.BoardInfoGet(rec); }},
        {"IsDeviceOnLine", [&] { return d.IsDeviceOnLine(); }},
        {"InitCAN", [&] { return reinterpret_cast<uintptr_t>(d.InitCAN(0, &init)); }},
        {"KvciTransmit", [&] { return d.KvciTransmit(0, kobj, 2); }},
        {"Transmit", [&] { return d.Transmit(0, tx, 2); }},
        {"TransmitFD", [&] { return d.TransmitFD(0, ftx, 2); }},
        {"ReceiveFD", [&] { return d.ReceiveFD(0, frx, 2, 0); }},
        {"KvciReceive", [&] { return d.KvciReceive(0, kobj, 2, 0); }},
        {"Receive", [&] { return d.Receive(0, rx, 2, -1); }},
        {"KvciInitCAN", [&] { return d.KvciInitCAN(0, &kcfg); }},
        {"StartCAN", [&] { return d.StartCAN(0); }},
        {"ResetCAN", [&] { return d.ResetCAN(0); }},
        {"ClearBuffer", [&] { return d.ClearBuffer(0); }},
        {"GetReceiveNum", [&] { return d.GetReceiveNum(0, 2); }},
        {"SetValue", [&] { return d.SetValue("0/canfd_standard", "1"); }},
        {"GetValue", [&] { return reinterpret_cast<uintptr_t>(d.GetValue("0/canfd_standard")); }},
        {"ReadChannelErrInfo", [&] { return d.ReadChannelErrInfo(0, &err); }},
        {"ReadChannelStatus", [&] { return d.ReadChannelStatus(0, &status); }},
        {"DevDataTransfer", [&] { return d.DevDataTransfer(buf, 4); }},
        {"RecordSettingSet", [&] { return d.RecordSettingSet(0, rec); }},
        {"RecordSettingGet", [&] { return d.RecordSettingGet(0, rec); }},
        {"RecordCmdExecute", [&] { return d.RecordCmdExecute(0, 0, 0, rec); }},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.call(), 0u) << c.op;
    EXPECT_EQ(d.Open(41, 0), 1u);
    EXPECT_EQ(d.Close(), 1u);
}

TEST(QDevice, EveryObjectIsKnownToTheLibraryWhileItLives)
{
    const int before = liveDeviceCount();
    {
        BareDevice a, b;
        EXPECT_EQ(liveDeviceCount(), before + 2);
    }
    EXPECT_EQ(liveDeviceCount(), before);
}
