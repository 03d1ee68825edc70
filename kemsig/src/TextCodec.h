// Conversion of DBC lines from code page 936 (GBK) to UTF-8, and the test
// that tells a UTF-8 file from a code page 936 one.
#pragma once

#include <string>
#include <string_view>

namespace kemsig {

// True when `text` is well-formed UTF-8: no overlong forms, no surrogates,
// nothing above U+10FFFF. Plain ASCII is UTF-8.
bool isUtf8(std::string_view text);

// One converter per load; not shared between threads.
class Cp936ToUtf8
{
public:
    Cp936ToUtf8();
    ~Cp936ToUtf8();
    Cp936ToUtf8(const Cp936ToUtf8 &) = delete;
    Cp936ToUtf8 &operator=(const Cp936ToUtf8 &) = delete;

    // Converts `in` into `out` (replacing its contents). A byte sequence
    // that does not convert becomes U+FFFD and the rest of the line goes on.
    void convert(std::string_view in, std::string &out);

private:
    void *cd_; // iconv_t; null until first needed, (void*)-1 when the code page is missing
};

} // namespace kemsig
