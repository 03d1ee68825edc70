#include "kemsig/src/FileEncoding.h"

namespace kemsig {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";

// Points of one character or byte run. A reading's score is their sum.
constexpr long kUndecodable = -5; // a byte the reading cannot decode

// Length of the well-formed UTF-8 sequence at p (1 to 4) and its code point
// in cp; 0 when the bytes there are no such sequence.
int utf8Sequence(const unsigned char *p, const unsigned char *end, uint32_t &cp)
{
    const unsigned char c = *p;
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    int trail;
    unsigned char lo = 0x80, hi = 0xBF; // range of the first trail byte
    if (c >= 0xC2 && c <= 0xDF) {
        trail = 1;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        trail = 2;
        cp = c & 0x0F;
        if (c == 0xE0)
            lo = 0xA0; // overlong below U+0800
        else if (c == 0xED)
            hi = 0x9F; // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        trail = 3;
        cp = c & 0x07;
        if (c == 0xF0)
            lo = 0x90; // overlong below U+10000
        else if (c == 0xF4)
            hi = 0x8F; // above U+10FFFF
    } else {
        return 0;
    }
    if (end - p <= trail)
        return 0;
    if (p[1] < lo || p[1] > hi)
        return 0;
    for (int i = 1; i <= trail; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    return trail + 1;
}

// What a character read as UTF-8 says for the reading.
long utf8Points(uint32_t cp)
{
    if (cp < 0xA0)
        return -3; // C1 control codes: never text
    if (cp < 0x100)
        return 2;  // Latin-1 letters and symbols: "°C", "µs", "für"
    if (cp < 0x180)
        return 1;  // Latin Extended-A (Central European letters)
    if (cp < 0x250)
        return -1; // Latin Extended-B
    if (cp < 0x300)
        return -2; // IPA and spacing modifier letters ("ʽ")
    if (cp < 0x370)
        return -3; // combining marks ("̬")
    if (cp < 0x500)
        return 2;  // Greek ("μs", "Ω") and Cyrillic
    if (cp < 0x800)
        return -2; // Armenian, Hebrew ("״"), Arabic, Syriac, Thaana, NKo
    if (cp >= 0xE000 && cp < 0xF900)
        return -2; // private use
    if (cp == 0xFEFF)
        return 0;
    if (cp == 0xFFFD)
        return -1;
    if (cp < 0x10000)
        return 2;  // a well-formed 3-byte sequence is rarely an accident: CJK, symbols, "℃"
    return 1;
}

// What a two-byte GBK character says for the GBK reading.
long gbkPoints(unsigned char lead, unsigned char trail)
{
    if (trail >= 0xA1) { // the GB2312 part
        if (lead == 0xA1 || lead == 0xA3)
            return 2;  // punctuation, "°", "℃", full-width forms
        if (lead <= 0xA9)
            return 1;  // numbers, kana, Greek, Cyrillic, pinyin, box drawing
        if (lead <= 0xAF)
            return -3; // user-defined
        if (lead <= 0xD7)
            return lead == 0xD7 && trail >= 0xFA ? -1 : 2; // level 1: the common hanzi
        if (lead <= 0xF7)
            return 1;  // level 2
        return -3;     // user-defined
    }
    // The GBK extension: rare and traditional hanzi, a few symbols.
    if (lead >= 0xA1 && lead <= 0xA7)
        return -3; // user-defined
    if (lead == 0xA8 || lead == 0xA9)
        return -1;
    return -2;
}

bool cp1252Undefined(unsigned char c) { return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D; }

bool asciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Lower-case Latin-1 letters ("ö", "ß", "é"), the ones that meet in pairs
// inside words ("Größe").
bool latin1Lower(unsigned char c) { return c >= 0xDF && c != 0xF7; }

// Unicode of the code page 1252 bytes 0x80 to 0x9F; 0 where it defines none.
const uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void appendUtf8(std::string &out, uint32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

bool isAscii(std::string_view s)
{
    for (unsigned char c : s)
        if (c & 0x80)
            return false;
    return true;
}

} // namespace

size_t byteOrderMarkLength(std::string_view text)
{
    return text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
}

EncodingScores scoreEncodings(std::string_view text)
{
    EncodingScores s;
    const unsigned char *b = reinterpret_cast<const unsigned char *>(text.data());
    const size_t n = text.size();

    // UTF-8.
    s.highBytes = false;
    for (size_t i = 0; i < n;) {
        if (b[i] < 0x80) {
            ++i;
            continue;
        }
        s.highBytes = true;
        uint32_t cp = 0;
        const int len = utf8Sequence(b + i, b + n, cp);
        if (len == 0) {
            s.utf8Valid = false;
            s.utf8 += kUndecodable;
            ++i;
            continue;
        }
        s.utf8 += utf8Points(cp);
        i += size_t(len);
    }
    if (!s.highBytes)
        return s;

    // GBK: a lead byte 81-FE and a trail byte 40-7E or 80-FE.
    for (size_t i = 0; i < n;) {
        const unsigned char c = b[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c == 0x80 || c == 0xFF || i + 1 >= n) {
            s.gbk += kUndecodable;
            ++i;
            continue;
        }
        const unsigned char t = b[i + 1];
        if (t < 0x40 || t == 0x7F || t == 0xFF) {
            s.gbk += kUndecodable;
            ++i;
            continue;
        }
        s.gbk += gbkPoints(c, t);
        i += 2;
    }

    // Code page 1252, by runs of high bytes: a Latin text has its accented
    // letters and symbols alone between ASCII ("für", "°C"), seldom two
    // together ("Größe"), never long runs, which is what GBK or UTF-8 bytes
    // read as Latin-1 look like ("×´Ì¬").
    for (size_t i = 0; i < n;) {
        if (b[i] < 0x80) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < n && b[j] >= 0x80) {
            if (cp1252Undefined(b[j])) {
                s.cp1252Defined = false;
                s.cp1252 += kUndecodable;
            }
            ++j;
        }
        const size_t run = j - i;
        if (run == 1) {
            s.cp1252 += 2;
        } else if (run == 2) {
            const bool inWord = i > 0 && asciiLetter(b[i - 1]) && j < n && asciiLetter(b[j]);
            if (inWord && latin1Lower(b[i]) && latin1Lower(b[i + 1]))
                s.cp1252 += 3;
        } else {
            s.cp1252 -= 2 * long(run);
        }
        i = j;
    }
    return s;
}

FileEncoding detectEncoding(std::string_view text)
{
    if (byteOrderMarkLength(text))
        return FileEncoding::Utf8Bom;
    const EncodingScores s = scoreEncodings(text);
    if (!s.highBytes)
        return FileEncoding::Ascii;
    // Well-formed UTF-8 stays UTF-8 unless GBK reads the bytes strictly
    // better (short GBK words that happen to be valid UTF-8).
    if (s.utf8Valid && s.utf8 >= s.gbk)
        return FileEncoding::Utf8;
    // Otherwise the best reading; GBK, the long-standing reading of files
    // that are not UTF-8, before UTF-8 with faults before code page 1252,
    // which must fit strictly better than both and decode every byte.
    FileEncoding best = FileEncoding::Gbk;
    long bestScore = s.gbk;
    if (s.utf8 > bestScore) {
        best = FileEncoding::Utf8;
        bestScore = s.utf8;
    }
    if (s.cp1252Defined && s.cp1252 > bestScore)
        best = FileEncoding::Cp1252;
    return best;
}

std::string_view LineDecoder::decode(std::string_view in, std::string &out)
{
    if (isAscii(in))
        return in;
    switch (encoding_) {
    case FileEncoding::Gbk:
        gbk_.convert(in, out);
        return out;
    case FileEncoding::Cp1252: {
        out.clear();
        out.reserve(in.size() * 2);
        for (unsigned char c : in) {
            if (c < 0x80)
                out += char(c);
            else if (c >= 0xA0)
                appendUtf8(out, c);
            else if (const uint16_t u = kCp1252High[c - 0x80])
                appendUtf8(out, u);
            else
                out += kReplacement;
        }
        return out;
    }
    case FileEncoding::Ascii:
    case FileEncoding::Utf8:
    case FileEncoding::Utf8Bom:
        break;
    }
    // UTF-8: well-formed lines pass; a byte that starts no sequence becomes
    // U+FFFD, so that every field the records receive is UTF-8.
    if (isUtf8(in))
        return in;
    out.clear();
    out.reserve(in.size() + 16);
    const unsigned char *p = reinterpret_cast<const unsigned char *>(in.data());
    const unsigned char *end = p + in.size();
    while (p < end) {
        uint32_t cp = 0;
        const int len = utf8Sequence(p, end, cp);
        if (len == 0) {
            out += kReplacement;
            ++p;
            continue;
        }
        out.append(reinterpret_cast<const char *>(p), size_t(len));
        p += len;
    }
    return out;
}

} // namespace kemsig
