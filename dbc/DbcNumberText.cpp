#include "dbc/DbcNumberText.h"

#include <QByteArray>

#include <charconv>
#include <limits>

namespace DbcNumberText {

namespace {
// std::to_chars writes exactly what printf writes in the C locale ("%.16g",
// "%.16f"), whatever the process locale is.
QString format(double v, std::chars_format fmt)
{
    char buf[400]; // the longest fixed form: 309 digits, point, 16 decimals, sign
    const auto r = std::to_chars(buf, buf + sizeof buf, v, fmt, 16);
    if (r.ec != std::errc())
        return QString();
    return QString::fromLatin1(buf, int(r.ptr - buf));
}
} // namespace

QString g16(double v)
{
    return format(v, std::chars_format::general);
}

QString f16(double v)
{
    return format(v, std::chars_format::fixed);
}

namespace {
void setOk(bool *ok, bool v)
{
    if (ok)
        *ok = v;
}
} // namespace

double toDouble(const QString &text, bool *ok)
{
    // std::from_chars reads the C notation whatever the locale, keeps the
    // sign of -0 and reads "inf" and "nan".
    QByteArray t = text.trimmed().toLatin1();
    if (t.startsWith('+') && !t.startsWith("+-"))
        t.remove(0, 1);
    const char *first = t.constData();
    const char *last = first + t.size();
    double v = 0.0;
    auto r = std::from_chars(first, last, v);
    if (r.ec == std::errc::result_out_of_range && r.ptr == last) {
        // Beyond the range of double: a 16-digit text of the largest double
        // rounds up past it, and one of the smallest may round below it.
        // Such a text stands for the nearest double.
        long double wide = 0.0L;
        r = std::from_chars(first, last, wide);
        if (r.ec == std::errc() && r.ptr == last) {
            const long double max = std::numeric_limits<double>::max();
            v = wide > max ? std::numeric_limits<double>::max()
                : wide < -max ? -std::numeric_limits<double>::max()
                              : double(wide);
        }
    }
    const bool good = !t.isEmpty() && r.ec == std::errc() && r.ptr == last;
    setOk(ok, good);
    return good ? v : 0.0;
}

quint32 toUInt32(const QString &text, bool *ok)
{
    bool good = false;
    const quint32 v = text.trimmed().toUInt(&good, 10);
    setOk(ok, good);
    return good ? v : 0;
}

qint64 toInt64(const QString &text, bool *ok)
{
    const QString t = text.trimmed();
    bool good = false;
    qint64 v = t.toLongLong(&good, 10);
    if (!good) {
        const quint64 u = t.toULongLong(&good, 10);
        v = good ? qint64(u) : 0;
    }
    setOk(ok, good);
    return v;
}

qint32 toInt32(const QString &text, bool *ok)
{
    const QString t = text.trimmed();
    bool good = false;
    qint32 v = t.toInt(&good, 10);
    if (!good) {
        const quint32 u = t.toUInt(&good, 10);
        v = good ? qint32(u) : 0;
    }
    setOk(ok, good);
    return v;
}

} // namespace DbcNumberText
