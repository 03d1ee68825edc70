// Adapter replies worked out by the golden script from the adapters' byte
// tables (tests/peers/kemusb_golden.py replies), fed to the library through
// a silenced simulated adapter, and the records the exported functions fill
// from them compared byte for byte. Every field of a reply holds a value of
// its own, so that a field read for another shows.

#include "kemusb/include/kcan_api.h"
#include "tests/kemusb/GoldenBytes.h"
#include "tests/kemusb/KemSimFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

extern "C" {
void *OCAN_OpenDevice(uint32_t type, uint32_t index, uint32_t reserved);
void *OCAN_InitCAN(void *dev, uint32_t channel, const OCAN_INIT_CONFIG *init);
uint32_t OCAN_SetValue(void *dev, const char *path, const char *value);
uint32_t OCAN_ReadChannelErrInfo(void *ch, OCAN_ERR_INFO *info);
uint32_t OCAN_ReadChannelStatus(void *ch, OCAN_CAN_STATUS *status);
}

using kemtest::kTrna701;
using kemtest::kTrnd701;

namespace {

class KemGoldenReply : public kemtest::KemSimTest
{
protected:
    void SetUp() override
    {
        KemSimTest::SetUp();
        g_ = golden::vectors("kemusb_golden.py", {"replies"});
        ASSERT_FALSE(g_.empty());
    }
    // The golden bytes of a name; a failure when the script printed none.
    std::vector<uint8_t> at(const std::string &name)
    {
        auto it = g_.find(name);
        if (it == g_.end()) {
            ADD_FAILURE() << "no golden " << name;
            return {};
        }
        return golden::bytes(it->second);
    }
    bool has(const std::string &name) const { return g_.count(name) != 0; }

    std::map<std::string, std::string> g_;
};

std::string hexOf(const void *p, size_t n)
{
    const auto *b = static_cast<const uint8_t *>(p);
    return golden::hex(std::vector<uint8_t>(b, b + n));
}

} // namespace

// Setting replies of 28, 27 and 26 bytes fill every field their bytes carry
// (the enabled, standard and mode bits, both clocks, both timing words, the
// two option flags of one byte and the option values); fields past a short
// reply's end keep the caller's value; a 25-byte reply fills nothing.
TEST_F(KemGoldenReply, RecordingSettingRepliesFillTheirFields)
{
    ASSERT_EQ(KCAN_OpenDevice(kTrnd701, 0), 1u);
    silence(kTrnd701);
    int cases = 0;
    for (int k = 0; has("rec_get_reply_" + std::to_string(k)); ++k, ++cases) {
        const std::string n = std::to_string(k);
        SCOPED_TRACE("case " + n);
        const std::vector<uint8_t> reply = at("rec_get_reply_" + n);
        ASSERT_GE(reply.size(), 3u);
        pushIn(kTrnd701, 0x81, reply);
        uint8_t record[21];
        std::memset(record, 0xA5, sizeof record); // as the script's caller holds it
        const uint32_t ok = KCAN_RecordSettingGet(kTrnd701, 0, reply[2], record);
        EXPECT_EQ(ok, at("rec_get_ok_" + n).at(0)) << reply.size() << "-byte reply";
        EXPECT_EQ(hexOf(record, sizeof record), golden::hex(at("rec_get_record_" + n)));
        clearIn(kTrnd701, 0x81);
    }
    EXPECT_GE(cases, 5);
}

// Channel-status replies with one status bit at a time, and words whose
// two top bytes differ: the error record carries each bit's own code and
// flag byte, the status record bits 24-31 in byte 6 and 16-23 in byte 7.
TEST_F(KemGoldenReply, ChannelStatusRepliesFillTheErrorAndStatusRecords)
{
    void *dev = OCAN_OpenDevice(kTrna701, 0, 0);
    ASSERT_NE(dev, nullptr);
    ASSERT_EQ(OCAN_SetValue(dev, "1/canfd_abit_baud_rate", "500000"), 1u);
    ASSERT_EQ(OCAN_SetValue(dev, "1/canfd_dbit_baud_rate", "2000000"), 1u);
    OCAN_INIT_CONFIG init;
    std::memset(&init, 0, sizeof init);
    init.CanType = 1;
    void *ch1 = OCAN_InitCAN(dev, 1, &init);
    ASSERT_NE(ch1, nullptr);
    silence(kTrna701);
    int cases = 0, statusCases = 0;
    for (int k = 0; has("fd_status_reply_" + std::to_string(k)); ++k, ++cases) {
        const std::string n = std::to_string(k);
        SCOPED_TRACE("status word of case " + n);
        const std::vector<uint8_t> reply = at("fd_status_reply_" + n);
        pushIn(kTrna701, 0x81, reply);
        OCAN_ERR_INFO err;
        std::memset(&err, 0xFF, sizeof err);
        ASSERT_EQ(OCAN_ReadChannelErrInfo(ch1, &err), 1u);
        EXPECT_EQ(hexOf(&err, sizeof err), golden::hex(at("fd_errinfo_" + n)));
        if (has("fd_chstatus_" + n)) {
            ++statusCases;
            pushIn(kTrna701, 0x81, reply);
            OCAN_CAN_STATUS st;
            std::memset(&st, 0xFF, sizeof st);
            ASSERT_EQ(OCAN_ReadChannelStatus(ch1, &st), 1u);
            EXPECT_EQ(hexOf(&st, sizeof st), golden::hex(at("fd_chstatus_" + n)));
        }
        clearIn(kTrna701, 0x81);
    }
    EXPECT_GE(cases, 10);
    EXPECT_GE(statusCases, 5);
    silence(kTrna701, false); // the close resets channel 1
}
