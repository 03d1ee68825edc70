#include "core/QUserBaudFunc.h"

#include <cstdio>
#include <iterator>

namespace {

const int kFdLens[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64};
const int kClassicCount = 9;

template <typename T>
void put(T *p, T v)
{
    if (p)
        *p = v;
}

} // namespace

int unpackFdBaudTiming(uint32_t word, int &brp, int &sjw, int &tseg1, int &tseg2)
{
    tseg1 = int(word & 0xFF) + 1;
    tseg2 = int((word >> 8) & 0x7F) + 1;
    sjw = int((word >> 15) & 0x7F) + 1;
    brp = int((word >> 22) & 0x3FF) + 1;
    return 0;
}

int unpackFdBaudTiming(uint32_t word, int *brp, int *sjw, int *tseg1, int *tseg2)
{
    int b, s, t1, t2;
    unpackFdBaudTiming(word, b, s, t1, t2);
    put(brp, b);
    put(sjw, s);
    put(tseg1, t1);
    put(tseg2, t2);
    return 0;
}

int packFdBaudTiming(int brp, int sjw, int tseg1, int tseg2, uint32_t &word)
{
    word = uint32_t(tseg1 - 1) | uint32_t(tseg2 - 1) << 8 | uint32_t(sjw - 1) << 15 | uint32_t(brp - 1) << 22;
    return 0;
}

int packFdBaudTiming(int brp, int sjw, int tseg1, int tseg2, uint32_t *word)
{
    uint32_t w;
    packFdBaudTiming(brp, sjw, tseg1, tseg2, w);
    put(word, w);
    return 0;
}

int unpackBtr(uint8_t btr0, uint8_t btr1, int &brp, int &sjw, int &tseg1, int &tseg2)
{
    brp = (btr0 & 0x3F) * 2 + 2;
    sjw = btr0 & 0xC0;
    tseg1 = (btr1 & 0x0F) + 1;
    tseg2 = ((btr1 >> 4) & 0x07) + 1;
    return 0;
}

int unpackBtr(uint8_t btr0, uint8_t btr1, int *brp, int *sjw, int *tseg1, int *tseg2)
{
    int b, s, t1, t2;
    unpackBtr(btr0, btr1, b, s, t1, t2);
    put(brp, b);
    put(sjw, s);
    put(tseg1, t1);
    put(tseg2, t2);
    return 0;
}

static QString phaseText(int clockMHz, uint32_t word)
{
    int brp, sjw, tseg1, tseg2;
    unpackFdBaudTiming(word, brp, sjw, tseg1, tseg2);
    const uint32_t total = uint32_t(1 + tseg1 + tseg2);
    const uint32_t rate = uint32_t(clockMHz) * 1000000u / uint32_t(brp) / total;
    // The C library's formatting (exact halves round to even, 81.25 -> 81.2),
    // the form the adapter tools print.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3fKbps(%.1f%%)", rate / 1000.0, (1 + tseg1) * 100.0 / total);
    return QString::fromLatin1(buf);
}

int calcBaudText(int clockMHz, uint32_t arbWord, uint32_t dataWord, QString &text)
{
    text = phaseText(clockMHz, arbWord) + "," + phaseText(clockMHz, dataWord) + ","
           + QString::asprintf("(%d,%08X,%08X)", clockMHz, arbWord, dataWord);
    return 0;
}

bool getLenList(bool fd, QStringList &list)
{
    const int count = fd ? int(std::size(kFdLens)) : kClassicCount;
    for (int i = 0; i < count; ++i)
        list.append(QString::number(kFdLens[i]));
    return true;
}

int lenToDlc(int len)
{
    for (int i = 0; i < int(std::size(kFdLens)); ++i)
        if (kFdLens[i] == len)
            return i;
    return 0;
}

int getValidLen(bool fd, int len)
{
    const int count = fd ? int(std::size(kFdLens)) : kClassicCount;
    for (int i = 0; i + 1 < count; ++i) {
        const int cur = kFdLens[i];
        const int next = kFdLens[i + 1];
        if (cur <= len && len < next)
            return cur;
        if (next == len)
            return next;
    }
    return 0;
}

QString colorToText(const QColor &color)
{
    return QStringLiteral("%1,%2,%3").arg(color.red()).arg(color.green()).arg(color.blue());
}

QColor textToColor(const QString &text)
{
    const QStringList parts = text.split(',', Qt::SkipEmptyParts);
    if (parts.size() < 3)
        return QColor();
    auto num = [](const QString &s) {
        bool ok = false;
        const int v = s.trimmed().toInt(&ok, 10);
        return ok ? v : 0;
    };
    const int r = num(parts[0]), g = num(parts[1]), b = num(parts[2]);
    if (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255)
        return QColor();
    return QColor(r, g, b, 255);
}
