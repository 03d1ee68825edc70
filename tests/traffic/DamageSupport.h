#pragma once
// Damaged trace files and files that are no trace files, for the tests of
// the front end, playback and the viewer.

#include "tests/binlog/BlfCraft.h"
#include "tests/traffic/OtherToolsFixtures.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QTranslator>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace damage {

// The top-level containers of a BLF file: (place, size).
inline std::vector<std::pair<size_t, size_t>> containersOf(const craft::Bytes &f)
{
    std::vector<std::pair<size_t, size_t>> out;
    size_t p = craft::get32(f.data() + 4);
    while (p + 32 <= f.size() && std::memcmp(f.data() + p, "LOBJ", 4) == 0) {
        const uint32_t size = craft::get32(f.data() + p + 8);
        if (craft::get32(f.data() + p + 12) != 10 || size > f.size() - p)
            break;
        out.push_back({p, size});
        p += size + size % 4;
    }
    return out;
}

// A BLF file of `frames` CAN messages (identifier 0x100 + i, one data byte
// i, i + 1 ms), `perContainer` of them to each deflated container, and the
// compressed data of container `damaged` spoilt: it reads as the frames of
// the other containers.
struct DamagedBlf {
    craft::Bytes bytes;
    std::vector<int> kept; // the frame numbers that read back
};

inline DamagedBlf damagedBlf(int frames, int perContainer, std::vector<int> damaged)
{
    std::vector<craft::Bytes> objects;
    for (int i = 0; i < frames; ++i)
        objects.push_back(othertools::canMessage(othertools::ms(uint64_t(i + 1)), 1, 0, 1, uint32_t(0x100 + i), {uint8_t(i)}));
    DamagedBlf d;
    d.bytes = craft::file(objects, true, size_t(perContainer) * objects.front().size());
    const auto c = containersOf(d.bytes);
    for (int k : damaged)
        d.bytes[c[size_t(k)].first + 32 + (c[size_t(k)].second - 32) / 2] ^= 0x5A;
    for (int i = 0; i < frames; ++i) {
        if (std::find(damaged.begin(), damaged.end(), i / perContainer) == damaged.end())
            d.kept.push_back(i);
    }
    return d;
}

// An ASC file of good frame lines with damaged ones among them, and other
// tools' lines that are no damage; `goodLines` frames read back, `badLines`
// lines are damaged.
struct DamagedAsc {
    QByteArray text;
    int goodLines = 0;
    int badLines = 0;
};

inline DamagedAsc damagedAsc()
{
    DamagedAsc a;
    QByteArray &t = a.text;
    t += "date Tue Mar 5 10:20:00.000 am 2024\r\nbase hex  timestamps absolute\r\ninternal events logged\r\n";
    t += "// version 13.0.0\r\nBegin Triggerblock Tue Mar 5 10:20:00.000 am 2024\r\n   0.000000 Start of measurement\r\n";
    for (int i = 0; i < 30; ++i) {
        t += QByteArray("   ") + QByteArray::number(i / 1000.0, 'f', 6) + " 1  " + QByteArray::number(0x100 + i, 16)
             + "             Rx   d 2 " + QByteArray::number(0x10 + i, 16) + " 00\r\n";
        ++a.goodLines;
        switch (i) {
        case 3: // data bytes missing
            t += "   0.003500 1  200             Rx   d 8 01 02 03\r\n";
            ++a.badLines;
            break;
        case 7: // an identifier that is no number
            t += "   0.007500 1  2g0             Rx   d 1 01\r\n";
            ++a.badLines;
            break;
        case 11: // a CAN FD line cut inside
            t += "   0.011500 CANFD   1 Rx        201                                   1 0 9 12 00 01\r\n";
            ++a.badLines;
            break;
        case 15: // bytes no text holds
            t += QByteArray("   0.015500 1  2") + QByteArray("\x01\x02\x00\x7f\xff", 5) + " garbage\r\n";
            ++a.badLines;
            break;
        case 19: // the frame type letter lost
            t += "   0.019500 1  202             Tx   8 01 02 03 04 05 06 07 08\r\n";
            ++a.badLines;
            break;
        case 23: // other tools' events and comments: no damage
            t += "   0.023100 1  ErrorFrame\r\n   0.023200 1  Statistic: D 1 R 0 XD 0 XR 0 E 3 O 0 B 0.12%\r\n";
            t += "   0.023300 CANFD   1 Rx ErrorFrame Stuff 0 0 0 0 0 0 1 0 8 8 01 02 03 04 05 06 07 08 0 0 3000 0 0 0 0 0\r\n";
            t += "   0.023400 1  SV: 1 0 1 ::ECU::Sig = 3\r\n// a comment\r\n\r\n   0.023500 CAN 1 Status:chip status error active\r\n";
            break;
        default:
            break;
        }
    }
    t += "End TriggerBlock\r\n";
    // A last line without its line end, as a recording cut short leaves
    // it: no damage either.
    t += "   0.031000 1  300             Rx   d 8 01 02";
    return a;
}

// Files that are no trace file of the format their name gives.
struct NotTrace {
    QString name;
    craft::Bytes bytes;
};

inline std::vector<NotTrace> notTraceFiles()
{
    std::vector<NotTrace> out;
    std::mt19937 rng(41);
    craft::Bytes random(4096);
    for (uint8_t &b : random)
        b = uint8_t(rng());
    const craft::Bytes good = damagedBlf(30, 10, {}).bytes;
    craft::Bytes brokenSignature = good;
    brokenSignature[3] = 'X';
    craft::Bytes brokenSize = good;
    craft::put32(brokenSize, 4, 0x7FFFFFF0);
    const std::string text = "date Tue Mar 5 10:20:00.000 am 2024\r\nbase hex  timestamps absolute\r\n"
                             "   0.001000 1  100             Rx   d 1 01\r\nEnd TriggerBlock\r\n";
    const std::string words = "These are some words.\nThey are no trace of any bus.\n";
    out.push_back({"zero.blf", {}});
    out.push_back({"zero.asc", {}});
    out.push_back({"seven.blf", craft::Bytes{'L', 'O', 'G', 'G', 1, 2, 3}});
    out.push_back({"seven.asc", craft::Bytes{0, 1, 2, 3, 4, 5, 6}});
    out.push_back({"random.blf", random});
    out.push_back({"random.asc", random});
    out.push_back({"broken-signature.blf", brokenSignature});
    out.push_back({"broken-size.blf", brokenSize});
    out.push_back({"blf-named.asc", good});
    out.push_back({"asc-named.blf", craft::Bytes(text.begin(), text.end())});
    out.push_back({"words.asc", craft::Bytes(words.begin(), words.end())});
    out.push_back({"no-suffix.txt", craft::Bytes(text.begin(), text.end())});
    return out;
}

// The English texts while it lives (the translation the build compiles next
// to the test program).
class EnglishTexts
{
public:
    EnglishTexts()
    {
        loaded_ = translator_.load(QCoreApplication::applicationDirPath() + QStringLiteral("/lanague_en.qm"));
        if (loaded_)
            QCoreApplication::installTranslator(&translator_);
    }
    ~EnglishTexts()
    {
        if (loaded_)
            QCoreApplication::removeTranslator(&translator_);
    }
    EnglishTexts(const EnglishTexts &) = delete;
    EnglishTexts &operator=(const EnglishTexts &) = delete;
    bool loaded() const { return loaded_; }

private:
    QTranslator translator_;
    bool loaded_ = false;
};

// A damaged file of each kind with the frames that read from it.
struct DamagedFile {
    QString name;
    QByteArray bytes;
    int frames = 0;
    int places = 0;
    bool cut = false;
};

inline std::vector<DamagedFile> damagedFiles()
{
    std::vector<DamagedFile> out;
    auto bytesOf = [](const craft::Bytes &b) { return QByteArray(reinterpret_cast<const char *>(b.data()), int(b.size())); };
    const DamagedBlf one = damagedBlf(100, 10, {3});
    out.push_back({QStringLiteral("damaged.blf"), bytesOf(one.bytes), int(one.kept.size()), 1, false});
    DamagedBlf cut = damagedBlf(100, 10, {2});
    const auto c = containersOf(cut.bytes);
    cut.bytes.resize(c[8].first + c[8].second / 2);
    out.push_back({QStringLiteral("damaged-cut.blf"), bytesOf(cut.bytes), 70, 1, true});
    const DamagedAsc a = damagedAsc();
    out.push_back({QStringLiteral("damaged.asc"), a.text, a.goodLines, a.badLines, false});
    return out;
}

} // namespace damage
