// The reply parsers of the CAN FD and recording adapters, the settings keys
// and values, and the direct-transfer frame reader of the simulated
// adapters, on arbitrary bytes. The input buffer has exactly its size, so
// any read past what a parser checked is caught.
#include "KemFdProtocol.h"
#include "KemRecordProtocol.h"
#include "KemSimAdapters.h"
#include "KemSimFrames.h"

#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    uint16_t v16;
    uint8_t v8;
    uint32_t v32;
    kemfd::parseVersionReply(data, size, &v16);
    kemfd::parseChannelCountReply(data, size, &v8);
    kemfd::startReplyOk(data, size);
    kemfd::filterReplyOk(data, size);
    kemfd::initReplyOk(data, size);
    kemfd::parseStatusReply(data, size, &v32);
    kemfd::txAckOk(data, size);
    kemfd::replyMatches(kemfd::cmdFirmwareVersion(), data, size);

    kemrec::parseVersionReply(data, size, &v16);
    kemrec::parseChannelCountReply(data, size, &v8);
    kemrec::settingSetReplyOk(data, size);
    kemrec::RecordSetting s{};
    kemrec::parseSettingGetReply(data, size, &s);
    kemrec::filterReplyOk(data, size);
    kemrec::RecordFilterInfo info{};
    kemrec::parseFilterInfoReply(data, size, &info);
    kemrec::RecordFilter f{};
    kemrec::parseFilterEntryReply(data, size, &f);
    // What a reply fills in goes out again unchanged in form.
    if (kemrec::parseSettingGetReply(data, size, &s) && kemrec::cmdSettingSet(1, s).size() != 28)
        __builtin_trap();

    // Text: settings paths and values.
    const std::string text(reinterpret_cast<const char *>(data), size);
    const char *t = text.c_str();
    const kemfd::SettingPath p = kemfd::parseSettingPath(t, 8);
    if (p.key != kemfd::SettingKey::None && (p.channel < 0 || p.channel > 7))
        __builtin_trap();
    kemfd::parseDecimal(t);
    kemfd::parseHex0x(t);
    uint32_t a, b;
    kemfd::parseCustomTiming(t, &a, &b);

    // Direct-transfer frames as the simulated adapters read them.
    kemsim::DirectFrame df;
    if (kemsim::unpackDirectFrame(data, size, &df)) {
        const auto again = kemsim::packDirectFrame(df);
        if (again.empty())
            __builtin_trap();
    }
    const auto answer = kemsim::answerDirectFrame(data, size);
    if (answer.size() > 62)
        __builtin_trap();
    return 0;
}
