// No C++ exception leaves an exported function: a transport that throws
// std::bad_alloc (as an allocation inside it failing would) makes each
// KCAN_, VCI_, KVCI_ and OCAN_ function and the property record's functions
// return their failure value, a close still completes, device threads live
// on, and the adapters work again afterwards.

#include "kemusb/include/kcan_api.h"
#include "kemusb/include/vci_api.h"
#include "kemusb/src/sim/KemSimKvaser.h"
#include "tests/kemusb/KemSimFixture.h"
#include "tests/kemusb/KemTestUtil.h"
#include "tests/support/GiveUp.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

extern "C" {
void *OCAN_OpenDevice(uint32_t type, uint32_t index, uint32_t reserved);
uint32_t OCAN_CloseDevice(void *dev);
void *OCAN_InitCAN(void *dev, uint32_t channel, const OCAN_INIT_CONFIG *init);
uint32_t OCAN_StartCAN(void *ch);
uint32_t OCAN_SetValue(void *dev, const char *path, const char *value);
uint32_t OCAN_ReadChannelErrInfo(void *ch, OCAN_ERR_INFO *info);
uint32_t OCAN_ReadChannelStatus(void *ch, OCAN_CAN_STATUS *status);
uint32_t OCAN_TransmitFD(void *ch, const OCAN_CANFD_TX *frames, uint32_t count);
uint32_t OCAN_DevDataTransfer(void *dev, uint8_t *buf, int32_t len);
struct OCAN_DEV_PROPERTY {
    uint32_t (*SetValue)(const char *path, const char *value);
    const void *(*GetValue)(const char *path);
    const void *(*GetPropertys)();
};
OCAN_DEV_PROPERTY *GetDevProperty(void *dev);
uint32_t ReleaseDevProperty(OCAN_DEV_PROPERTY *p);
}

using kemtest::kTrna701;
using kemtest::kTrnd701;
using kemtest::kUsbCan2;

namespace {

// The simulated back end with throws on demand: the next n enumerations,
// or writes or reads of one endpoint, throw std::bad_alloc.
class ThrowingBackend final : public plat::UsbBackend
{
public:
    explicit ThrowingBackend(std::shared_ptr<plat::UsbBackend> inner) : inner_(std::move(inner))
    {
        for (auto &c : writes_)
            c = 0;
        for (auto &c : reads_)
            c = 0;
    }
    const char *name() const override { return "throwing"; }
    bool carriesModels() const override { return inner_->carriesModels(); }
    std::vector<std::string> devicePaths() override
    {
        take(enumerations_);
        return inner_->devicePaths();
    }
    std::unique_ptr<plat::UsbDevice> open(const std::string &path) override
    {
        auto d = inner_->open(path);
        return d ? std::make_unique<Device>(*this, std::move(d)) : nullptr;
    }

    void throwOnEnumeration(int n) { enumerations_ = n; }
    void throwOnWrite(uint8_t ep, int n) { writes_[ep] = n; }
    void throwOnRead(uint8_t ep, int n) { reads_[ep] = n; }
    uint64_t thrown() const { return thrown_; }

private:
    class Device final : public plat::UsbDevice
    {
    public:
        Device(ThrowingBackend &b, std::unique_ptr<plat::UsbDevice> d) : b_(b), d_(std::move(d)) {}
        std::vector<plat::UsbPipeInfo> queryPipes() override { return d_->queryPipes(); }
        bool setPipeTimeout(uint8_t pipeId, uint32_t ms) override { return d_->setPipeTimeout(pipeId, ms); }
        plat::UsbStatus writePipe(uint8_t pipeId, const uint8_t *buf, uint32_t len, uint32_t *written) override
        {
            b_.take(b_.writes_[pipeId]);
            return d_->writePipe(pipeId, buf, len, written);
        }
        plat::UsbStatus readPipe(uint8_t pipeId, uint8_t *buf, uint32_t len, uint32_t *read) override
        {
            b_.take(b_.reads_[pipeId]);
            return d_->readPipe(pipeId, buf, len, read);
        }

    private:
        ThrowingBackend &b_;
        std::unique_ptr<plat::UsbDevice> d_;
    };

    void take(std::atomic<int> &armed)
    {
        int n = armed.load();
        while (n > 0 && !armed.compare_exchange_weak(n, n - 1)) {
        }
        if (n > 0) {
            ++thrown_;
            throw std::bad_alloc();
        }
    }

    std::shared_ptr<plat::UsbBackend> inner_;
    std::atomic<int> enumerations_{0};
    std::array<std::atomic<int>, 256> writes_;
    std::array<std::atomic<int>, 256> reads_;
    std::atomic<uint64_t> thrown_{0};
};

// One exported call made while one throw is armed, and what it must return.
struct Case {
    std::string name;
    enum { Enumerate, Write, Read } where;
    uint8_t ep;
    uint32_t failure;
    std::function<uint32_t()> call;
};

class KemApiBoundary : public kemtest::KemSimTest
{
protected:
    std::shared_ptr<plat::UsbBackend> makeBackend() override
    {
        backend_ = std::make_shared<ThrowingBackend>(plat::sim::makeSimBackend());
        return backend_;
    }

    // Each call meets one throw below it, returns its failure value, and
    // the throw did happen (the case reached the transport).
    void runCases(const std::vector<Case> &cases)
    {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.name);
            const uint64_t before = backend_->thrown();
            if (c.where == Case::Enumerate)
                backend_->throwOnEnumeration(1);
            else if (c.where == Case::Write)
                backend_->throwOnWrite(c.ep, 1);
            else
                backend_->throwOnRead(c.ep, 1);
            uint32_t r = 0xDEADBEEF;
            EXPECT_NO_THROW(r = c.call());
            EXPECT_EQ(r, c.failure);
            EXPECT_EQ(backend_->thrown(), before + 1) << "the call never met the throw";
            backend_->throwOnEnumeration(0);
            backend_->throwOnWrite(c.ep, 0);
            backend_->throwOnRead(c.ep, 0);
        }
    }

    std::shared_ptr<ThrowingBackend> backend_;
};

KCAN_CANFD_OBJ fdFrame(uint32_t id)
{
    KCAN_CANFD_OBJ f;
    std::memset(&f, 0, sizeof f);
    f.ID = id;
    f.DataLen = 16;
    return f;
}

} // namespace

TEST_F(KemApiBoundary, CanFdAndRecordingFunctionsReturnTheirFailureValue)
{
    ASSERT_EQ(KCAN_OpenDevice(kTrna701, 0), 1u);
    const KCAN_INITFD_CONFIG cfg = kemtest::fdConfig(500000, 2000000);
    ASSERT_EQ(KCAN_InitCANFD(kTrna701, 0, 0, &cfg), 1u);
    ASSERT_EQ(KCAN_InitCANFD(kTrna701, 0, 1, &cfg), 1u);
    void *dev = OCAN_OpenDevice(kTrna701, 0, 0);
    ASSERT_NE(dev, nullptr);
    OCAN_INIT_CONFIG init;
    std::memset(&init, 0, sizeof init);
    init.CanType = 1;
    ASSERT_EQ(OCAN_SetValue(dev, "2/canfd_abit_baud_rate", "500000"), 1u);
    ASSERT_EQ(OCAN_SetValue(dev, "2/canfd_dbit_baud_rate", "2000000"), 1u);
    void *ch2 = OCAN_InitCAN(dev, 2, &init);
    ASSERT_NE(ch2, nullptr);
    OCAN_DEV_PROPERTY *prop = GetDevProperty(dev);
    ASSERT_NE(prop, nullptr);
    ASSERT_EQ(KCAN_OpenDevice(kTrnd701, 0), 1u);

    const KCAN_CANFD_OBJ fd = fdFrame(0x123);
    const KCAN_CAN_OBJ classic = kemtest::kcanFrame(0x124, false, false, 8, kemtest::seq(1, 8));
    KCAN_FLITER_CONFIG clear;
    std::memset(&clear, 0, sizeof clear);
    clear.Kind = KCAN_FLITER_CLEAR;
    uint8_t buf[62] = {1, 2, 3};
    uint8_t setting[21] = {0, 1, 1, 0, 60, 60};
    uint8_t filter[14] = {0, 0, 1};
    uint8_t board[16] = {};
    runCases({
        {"KCAN_OpenDevice", Case::Enumerate, 0, 0, [] { return KCAN_OpenDevice(kemtest::kTrnb701, 0); }},
        {"OCAN_OpenDevice", Case::Enumerate, 0, 0,
         [] { return OCAN_OpenDevice(kemtest::kTrna702, 0, 0) ? 1u : 0u; }},
        {"KCAN_InitCANFD", Case::Write, 0x01, 0, [&] { return KCAN_InitCANFD(kTrna701, 0, 3, &cfg); }},
        {"KCAN_SetFliter", Case::Write, 0x01, 0, [&] { return KCAN_SetFliter(kTrna701, 0, 0, &clear); }},
        {"KCAN_Start", Case::Write, 0x01, 0, [] { return KCAN_Start(kTrna701, 0, 0); }},
        {"KCAN_TransmitFD", Case::Write, 0x02, 0, [&] { return KCAN_TransmitFD(kTrna701, 0, 0, &fd, 1); }},
        {"KCAN_Transmit", Case::Write, 0x02, 0, [&] { return KCAN_Transmit(kTrna701, 0, 0, &classic, 1); }},
        {"KCAN_DataDirectTransfer", Case::Write, 0x01, 0,
         [&] { return KCAN_DataDirectTransfer(kTrna701, 0, buf, 3); }},
        {"OCAN_InitCAN", Case::Write, 0x01, 0, [&] { return OCAN_InitCAN(dev, 3, &init) ? 1u : 0u; }},
        {"OCAN_StartCAN", Case::Write, 0x01, 0, [&] { return OCAN_StartCAN(ch2); }},
        {"OCAN_SetValue", Case::Write, 0x01, 0, [&] { return OCAN_SetValue(dev, "2/filter_ack", "0"); }},
        {"OCAN_ReadChannelErrInfo", Case::Read, 0x81, 0,
         [&] {
             OCAN_ERR_INFO e;
             return OCAN_ReadChannelErrInfo(ch2, &e);
         }},
        {"OCAN_ReadChannelStatus", Case::Write, 0x01, 0,
         [&] {
             OCAN_CAN_STATUS s;
             return OCAN_ReadChannelStatus(ch2, &s);
         }},
        {"OCAN_TransmitFD", Case::Write, 0x02, 0,
         [&] {
             OCAN_CANFD_TX f;
             std::memset(&f, 0, sizeof f);
             return OCAN_TransmitFD(ch2, &f, 1);
         }},
        {"OCAN_DevDataTransfer", Case::Read, 0x81, 0, [&] { return OCAN_DevDataTransfer(dev, buf, 3); }},
        {"property SetValue", Case::Write, 0x01, 0, [&] { return prop->SetValue("2/filter_clear", "0"); }},
        {"KCAN_RecordSettingSet", Case::Write, 0x01, 0,
         [&] { return KCAN_RecordSettingSet(kTrnd701, 0, 0, setting); }},
        {"KCAN_RecordSettingGet", Case::Read, 0x81, 0,
         [&] { return KCAN_RecordSettingGet(kTrnd701, 0, 0, setting); }},
        {"KCAN_RecordFliterAdd", Case::Write, 0x01, 0, [&] { return KCAN_RecordFliterAdd(kTrnd701, 0, 0, filter); }},
        {"KCAN_RecordFliterSettingGet", Case::Write, 0x01, 0,
         [&] { return KCAN_RecordFliterSettingGet(kTrnd701, 0, 0, 0, filter); }},
        {"KCAN_RecordCmdExecute", Case::Write, 0x01, 0,
         [] { return KCAN_RecordCmdExecute(kTrnd701, 0, 1, 2, 0, nullptr); }},
        {"KCAN_BoardInfoGet", Case::Read, 0x81, 0, [&] { return KCAN_BoardInfoGet(kTrnd701, 0, board); }},
        {"KCAN_DataDirectTransfer (recording)", Case::Write, 0x01, 0,
         [&] { return KCAN_DataDirectTransfer(kTrnd701, 0, buf, 3); }},
    });
    EXPECT_EQ(ReleaseDevProperty(prop), 1u);

    // The device thread of the CAN FD adapter lives through throws of its
    // own reads, and frames still go from channel 0 to channel 1.
    backend_->throwOnRead(0x83, 3);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(testsupport::kGiveUpMs);
    while (backend_->thrown() < 24 + 3 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    KCAN_CANFD_OBJ tx = fdFrame(0x456);
    ASSERT_EQ(KCAN_TransmitFD(kTrna701, 0, 0, &tx, 1), 1u);
    KCAN_CANFD_OBJ rx;
    ASSERT_EQ(KCAN_ReceiveFD(kTrna701, 0, 1, &rx, 1, testsupport::kGiveUpMs), 1u);
    EXPECT_EQ(rx.ID, 0x456u);

    // A close whose channel resets throw still closes the adapter.
    backend_->throwOnWrite(0x01, 100);
    EXPECT_EQ(KCAN_CloseDevice(kTrna701, 0), 1u);
    backend_->throwOnWrite(0x01, 0);
    EXPECT_FALSE(adapter(kTrna701)->isOpen());
}

TEST_F(KemApiBoundary, ClassicAndKvaserFunctionsReturnTheirFailureValue)
{
    ASSERT_EQ(KCAN_OpenDevice(kUsbCan2, 0), 1u);
    KCAN_INIT_CONFIG ic;
    std::memset(&ic, 0, sizeof ic);
    ic.AccMask = 0xFFFFFFFF;
    ic.Timing1 = 0x1C;
    ASSERT_EQ(KCAN_InitCAN(kUsbCan2, 0, 0, &ic), 1u);
    ASSERT_EQ(KCAN_InitCAN(kUsbCan2, 0, 1, &ic), 1u);
    ASSERT_EQ(KCAN_OpenDevice(69, 0), 1u);
    KCAN_INITFD_CONFIG kv;
    std::memset(&kv, 0, sizeof kv);
    kv.KvArbBaud = 500000;
    kv.KvArbTseg1 = 13;
    kv.KvArbTseg2 = 2;
    kv.KvArbSjw = 1;
    kv.KvSamplePoints = 1;
    ASSERT_EQ(KCAN_InitCANFD(69, 0, 0, &kv), 1u);
    ASSERT_EQ(KCAN_InitCANFD(69, 0, 1, &kv), 1u);

    const KCAN_CAN_OBJ f = kemtest::kcanFrame(0x321, false, false, 8, kemtest::seq(1, 8));
    VCI_CAN_OBJ vf;
    std::memset(&vf, 0, sizeof vf);
    vf.ID = 0x322;
    vf.DataLen = 2;
    uint8_t a = 0, b = 0, c = 0, buf[62] = {1};
    OCAN_DEVICE_INFO info;
    runCases({
        {"KCAN_OpenDevice (classic)", Case::Enumerate, 0, 0xFFFFFFFFu, [] { return KCAN_OpenDevice(4, 0); }},
        {"VCI_OpenDevice", Case::Enumerate, 0, 0xFFFFFFFFu, [] { return VCI_OpenDevice(4, 0, 0); }},
        {"KCAN_OpenDevice (Kvaser)", Case::Enumerate, 0, 0xFFFFFFFFu, [] { return KCAN_OpenDevice(63, 0); }},
        {"KCAN_InitCAN", Case::Write, 0x01, 0, [&] { return KCAN_InitCAN(kUsbCan2, 0, 1, &ic); }},
        {"VCI_InitCAN", Case::Write, 0x01, 0, [&] { return VCI_InitCAN(kUsbCan2, 0, 1, &ic); }},
        {"KCAN_Transmit (classic)", Case::Write, 0x02, 0, [&] { return KCAN_Transmit(kUsbCan2, 0, 0, &f, 1); }},
        {"VCI_Transmit", Case::Write, 0x02, 0, [&] { return VCI_Transmit(kUsbCan2, 0, 0, &vf, 1); }},
        {"VCI_ReadBoardInfo", Case::Write, 0x01, 0, [&] { return VCI_ReadBoardInfo(kUsbCan2, 0, &info); }},
        {"KCAN_DevRelayStatusSet", Case::Write, 0x01, 0, [] { return KCAN_DevRelayStatusSet(kUsbCan2, 0, 1, 0); }},
        {"VCI_DevRelayStatusGet", Case::Write, 0x01, 0, [&] { return VCI_DevRelayStatusGet(kUsbCan2, 0, &a, &b); }},
        {"KCAN_DevBaudParaGet", Case::Write, 0x01, 0, [&] { return KCAN_DevBaudParaGet(kUsbCan2, 0, 0, &a, &b); }},
        {"KCAN_DevChStateGet", Case::Write, 0x01, 0, [&] { return KCAN_DevChStateGet(kUsbCan2, 0, 0, &a, &b, &c); }},
        {"VCI_DevDataTransfer", Case::Write, 0x01, 0, [&] { return VCI_DevDataTransfer(kUsbCan2, 0, buf, 1); }},
        {"KVCI_InitCAN", Case::Write, 0x02, 0, [&] { return KVCI_InitCAN(69, 0, 1, &kv); }},
        {"KVCI_Transmit", Case::Write, 0x02, 0, [&] { return KVCI_Transmit(69, 0, 0, &f, 1); }},
        {"KCAN_Transmit (Kvaser)", Case::Write, 0x02, 0, [&] { return KCAN_Transmit(69, 0, 0, &f, 1); }},
        {"VCI_ResetCAN (Kvaser)", Case::Write, 0x02, 0, [] { return VCI_ResetCAN(69, 0, 0); }},
        {"VCI_StartCAN (Kvaser)", Case::Write, 0x02, 0, [] { return VCI_StartCAN(69, 0, 2); }},
    });

    // The classic adapter's reply thread lives through throws of its reads,
    // and both adapters still work.
    const uint64_t before = backend_->thrown();
    backend_->throwOnRead(0x81, 3);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(testsupport::kGiveUpMs);
    while (backend_->thrown() < before + 3 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(KCAN_DevRelayStatusSet(kUsbCan2, 0, 1, 0), 1u);
    EXPECT_EQ(KCAN_Transmit(kUsbCan2, 0, 0, &f, 1), 1u);
    KCAN_CAN_OBJ rx;
    EXPECT_EQ(KCAN_Receive(kUsbCan2, 0, 1, &rx, 1, 2000), 1u);
    EXPECT_EQ(VCI_StartCAN(69, 0, 0), 1u);
    EXPECT_EQ(KVCI_Transmit(69, 0, 0, &f, 1), 1u);

    // Closes whose channel resets throw still close both adapters.
    backend_->throwOnWrite(0x01, 100);
    backend_->throwOnWrite(0x02, 100);
    EXPECT_EQ(KCAN_CloseDevice(kUsbCan2, 0), 1u);
    EXPECT_EQ(KCAN_CloseDevice(69, 0), 1u);
    backend_->throwOnWrite(0x01, 0);
    backend_->throwOnWrite(0x02, 0);
    EXPECT_FALSE(adapter(kUsbCan2)->isOpen());
    EXPECT_FALSE(adapter(69)->isOpen());
}
