#include "kemsig/src/TextCodec.h"

#include <cerrno>
#include <iconv.h>

namespace kemsig {

namespace {
const char kReplacement[] = "\xEF\xBF\xBD";

bool isAscii(std::string_view s)
{
    for (unsigned char c : s)
        if (c & 0x80)
            return false;
    return true;
}
} // namespace

bool isUtf8(std::string_view text)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text.data());
    const unsigned char *end = p + text.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int trail;
        unsigned char lo = 0x80, hi = 0xBF; // range of the first trail byte
        if (c >= 0xC2 && c <= 0xDF) {
            trail = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            trail = 2;
            if (c == 0xE0)
                lo = 0xA0; // overlong below U+0800
            else if (c == 0xED)
                hi = 0x9F; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            trail = 3;
            if (c == 0xF0)
                lo = 0x90; // overlong below U+10000
            else if (c == 0xF4)
                hi = 0x8F; // above U+10FFFF
        } else {
            return false;
        }
        if (end - p <= trail)
            return false;
        if (p[1] < lo || p[1] > hi)
            return false;
        for (int i = 2; i <= trail; ++i)
            if ((p[i] & 0xC0) != 0x80)
                return false;
        p += trail + 1;
    }
    return true;
}

Cp936ToUtf8::Cp936ToUtf8() : cd_(nullptr) {}

Cp936ToUtf8::~Cp936ToUtf8()
{
    if (cd_ && cd_ != reinterpret_cast<void *>(-1))
        iconv_close(iconv_t(cd_));
}

void Cp936ToUtf8::convert(std::string_view in, std::string &out)
{
    out.clear();
    // Code page 936 keeps ASCII as it is; most DBC lines are plain ASCII.
    if (isAscii(in)) {
        out.assign(in.data(), in.size());
        return;
    }
    if (!cd_) {
        // Opened on the first line that needs it: a plain ASCII file never
        // pays for the converter.
        iconv_t cd = iconv_open("UTF-8", "CP936");
        if (cd == iconv_t(-1))
            cd = iconv_open("UTF-8", "GBK");
        cd_ = reinterpret_cast<void *>(cd);
    }
    if (cd_ == reinterpret_cast<void *>(-1)) {
        // No converter: keep ASCII, replace every other byte.
        for (unsigned char c : in) {
            if (c & 0x80)
                out += kReplacement;
            else
                out += char(c);
        }
        return;
    }
    iconv_t cd = iconv_t(cd_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out.resize(in.size() * 3 + 16);
    char *src = const_cast<char *>(in.data());
    size_t srcLeft = in.size();
    size_t used = 0;
    while (srcLeft > 0) {
        char *dst = &out[used];
        size_t dstLeft = out.size() - used;
        const size_t before = dstLeft;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        used += before - dstLeft;
        if (r != size_t(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ (a sequence that does not convert) or EINVAL (cut short at
        // the end): replace one byte and go on with the next.
        if (out.size() - used < sizeof(kReplacement))
            out.resize(out.size() * 2 + sizeof(kReplacement));
        out.replace(used, 3, kReplacement, 3);
        used += 3;
        ++src;
        --srcLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
}

} // namespace kemsig
