// The encoding of a DBC file, decided from the whole file, and the decoding
// of its lines into UTF-8.
//
// DBC files come in UTF-8 (with or without a byte-order mark), in code page
// 936 (GBK, from Chinese tools) and in Western code page 1252 (European
// tools). Validity alone cannot tell them apart: short GBK words can form
// valid UTF-8 ("状态" is D7 B4 CC AC, two 2-byte UTF-8 sequences), and
// "°C" written in code page 1252 (B0 43) is a valid GBK character. So each
// reading is weighed by what it would make of the file: a reading earns
// points for characters a DBC file holds (CJK ideographs of the common GBK
// level, Latin-1 letters and unit symbols, Greek and Cyrillic letters) and
// loses them for characters that would be mere accidents of the bytes
// (Hebrew, combining marks, rare ideographs of the GBK extension, user
// areas, runs of accented capitals) and for bytes the reading cannot decode.
// The best reading wins; a file that is well-formed UTF-8 is read as UTF-8
// unless GBK reads it strictly better, and code page 1252 only wins where
// neither of the others fits as well.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "kemsig/src/TextCodec.h"

namespace kemsig {

// The values are those of the KDBC_ENCODING_* constants of kemsig.h.
enum class FileEncoding : uint32_t { Ascii = 0, Utf8 = 1, Utf8Bom = 2, Gbk = 3, Cp1252 = 4 };

// The points each reading of `text` earns (the byte-order mark excluded);
// what detectEncoding weighs.
struct EncodingScores {
    bool utf8Valid = true;
    long utf8 = 0;
    long gbk = 0;
    bool cp1252Defined = true; // no byte that code page 1252 leaves undefined
    long cp1252 = 0;
    bool highBytes = false;    // any byte at or above 0x80
};
EncodingScores scoreEncodings(std::string_view text);

// The encoding of a whole file. A UTF-8 byte-order mark decides at once.
FileEncoding detectEncoding(std::string_view text);

// The length of the byte-order mark `text` starts with (3), or 0.
size_t byteOrderMarkLength(std::string_view text);

// Turns lines of a file in one encoding into UTF-8. A byte sequence the
// encoding cannot decode becomes U+FFFD and the rest of the line goes on.
// One decoder per load; not shared between threads.
class LineDecoder
{
public:
    explicit LineDecoder(FileEncoding encoding) : encoding_(encoding) {}

    // Writes the UTF-8 of `in` to `out` and returns a view of it; plain
    // ASCII and well-formed UTF-8 come back as `in` itself, uncopied.
    std::string_view decode(std::string_view in, std::string &out);

private:
    FileEncoding encoding_;
    Cp936ToUtf8 gbk_;
};

} // namespace kemsig
