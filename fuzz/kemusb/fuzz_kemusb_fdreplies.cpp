// The reply parsers of the CAN FD and recording adapters, the settings keys
// and values, and the direct-transfer frame reader of the simulated
// adapters, on arbitrary bytes. The input buffer has exactly its size, so
// any read past what a parser checked is caught.
#include "kemusb/src/protocol/KemFdProtocol.h"
#include "kemusb/src/protocol/KemRecordProtocol.h"
#include "kemusb/src/sim/KemSimAdapters.h"
#include "kemusb/src/sim/KemSimFrames.h"

#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    uint16_t v16;
    uint8_t v8;
    uint32_t v32;
    kemusb::fd::parseVersionReply(kemusb::fd::cmdHardwareVersion(), data, size, &v16);
    kemusb::fd::parseChannelCountReply(kemusb::fd::cmdChannelCount(), data, size, &v8);
    kemusb::fd::startReplyOk(data, size);
    kemusb::fd::filterReplyOk(data, size);
    kemusb::fd::initReplyOk(data, size);
    kemusb::fd::parseStatusReply(data, size, &v32);
    kemusb::fd::txAckOk(data, size);
    kemusb::fd::replyMatches(kemusb::fd::cmdFirmwareVersion(), data, size);

    kemusb::record::parseVersionReply(kemusb::record::cmdFirmwareVersion(), data, size, &v16);
    kemusb::record::parseChannelCountReply(kemusb::record::cmdChannelCount(), data, size, &v8);
    kemusb::record::settingSetReplyOk(data, size);
    kemusb::record::RecordSetting s{};
    kemusb::record::parseSettingGetReply(data, size, &s);
    kemusb::record::filterReplyOk(data, size);
    kemusb::record::RecordFilterInfo info{};
    kemusb::record::parseFilterInfoReply(data, size, &info);
    kemusb::record::RecordFilter f{};
    kemusb::record::parseFilterEntryReply(data, size, &f);
    // What a reply fills in goes out again unchanged in form.
    if (kemusb::record::parseSettingGetReply(data, size, &s) && kemusb::record::cmdSettingSet(1, s).size() != 28)
        __builtin_trap();

    // Text: settings paths and values.
    const std::string text(reinterpret_cast<const char *>(data), size);
    const char *t = text.c_str();
    const kemusb::fd::SettingPath p = kemusb::fd::parseSettingPath(t, 8);
    if (p.key != kemusb::fd::SettingKey::None && (p.channel < 0 || p.channel > 7))
        __builtin_trap();
    kemusb::fd::parseDecimal(t);
    kemusb::fd::parseHex0x(t);
    uint32_t a, b;
    kemusb::fd::parseCustomTiming(t, &a, &b);

    // Direct-transfer frames as the simulated adapters read them.
    kemusb::sim::DirectFrame df;
    if (kemusb::sim::unpackDirectFrame(data, size, &df)) {
        const auto again = kemusb::sim::packDirectFrame(df);
        if (again.empty())
            __builtin_trap();
    }
    const auto answer = kemusb::sim::answerDirectFrame(data, size);
    if (answer.size() > 62)
        __builtin_trap();
    return 0;
}
