// The command framer's unpack on arbitrary replies: no byte outside the
// reply or the output is touched (the sanitizer watches exact-size heap
// copies), and a packed frame of the same payload always unpacks to it.
#include "core/QUserProtocolFrame.h"

#include <QtGlobal>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

static void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int outSize = data[0];
    std::vector<uint8_t> reply(data + 1, data + size);
    std::vector<uint8_t> out(static_cast<size_t>(outSize));
    QUserProtocolFrame p;
    const int n = p.frameUnpack(reply.empty() ? nullptr : reply.data(), int(reply.size()),
                                out.empty() ? nullptr : out.data(), outSize);
    if (n < 0 || n > outSize || n > int(reply.size()))
        abort();

    // Round trip of the input as a payload.
    const int payloadLen = int(size - 1 > 600 ? 600 : size - 1);
    const bool enc = data[0] & 1;
    std::vector<uint8_t> frame(size_t(payloadLen) + 32);
    const int len = p.framePack(frame.data(), int(frame.size()), data[0], enc, data + 1, payloadLen);
    if (len <= 0)
        abort();
    frame.resize(size_t(len));
    std::vector<uint8_t> got(static_cast<size_t>(len));
    const int k = p.frameUnpack(frame.data(), len, got.data(), int(got.size()));
    if (k != len - 8 || got[0] != data[0] || std::memcmp(got.data() + 1, data + 1, size_t(payloadLen)) != 0)
        abort();
    return 0;
}
