#include "devices/QUserBaudChk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

namespace baudlist {

QString filePath()
{
    return QStringLiteral("setting/") + QStringLiteral("baudlist.txt");
}

const QVector<int> &standardRates()
{
    static const QVector<int> rates = {5000, 10000, 20000, 25000, 50000, 100000,
                                       125000, 250000, 500000, 800000, 1000000};
    return rates;
}

int pairsFor(int rate, QUserBaudEntry out[2])
{
    const int64_t clock = 8000000;
    int found = 0;
    for (int brp = 1; brp <= 64 && found < 2; ++brp) {
        if (clock % brp != 0)
            continue;
        const int64_t f = clock / brp;
        // floor(f / n) == rate only for n in (f / (rate + 1), f / rate].
        const int64_t nLow = f / (int64_t(rate) + 1) + 1;
        const int64_t nHigh = f / rate;
        if (nHigh < 3 || nLow > 25)
            continue;
        for (int t1 = 0; t1 <= 15 && found < 2; ++t1) {
            for (int t2 = 0; t2 <= 7 && found < 2; ++t2) {
                const int n = t1 + t2 + 3;
                if (f / n != rate)
                    continue;
                if (100 * (t1 + 2) < 65 * n)
                    continue;
                out[found].rate = rate;
                out[found].timing0 = brp - 1;
                out[found].timing1 = t2 * 16 + t1;
                ++found;
            }
        }
    }
    return found;
}

bool generate(QVector<QUserBaudEntry> &table, const std::function<bool()> &keepGoing,
              const std::function<void(int)> &progress, const std::function<void(const QUserBaudEntry &)> &found)
{
    table.clear();
    const int first = 5000;
    const int last = 1000000;
    int lastPercent = 0;
    for (int r = first; r <= last; ++r) {
        QUserBaudEntry pairs[2];
        const int n = pairsFor(r, pairs);
        for (int i = 0; i < n; ++i) {
            if (found)
                found(pairs[i]);
            table.append(pairs[i]);
        }
        if (keepGoing && !keepGoing())
            return false;
        if (r != last) {
            const int done = r - first + 1;
            const int p = int((100LL * done) / 995000LL);
            if (p != lastPercent) {
                lastPercent = p;
                if (progress)
                    progress(p);
            }
        }
    }
    return !table.isEmpty();
}

QString lineOf(const QUserBaudEntry &e)
{
    return QString::asprintf("%d,%02X,%02X\n", e.rate, e.timing0 & 0xFF, e.timing1 & 0xFF);
}

bool parseLine(const QString &line, QUserBaudEntry &e)
{
    const QStringList parts = line.split(QLatin1Char(','), Qt::KeepEmptyParts);
    if (parts.size() != 3)
        return false;
    e.rate = parts.at(0).trimmed().toInt(nullptr, 10);
    e.timing0 = parts.at(1).trimmed().toInt(nullptr, 16);
    e.timing1 = parts.at(2).trimmed().toInt(nullptr, 16);
    return true;
}

bool load(const QString &path, QVector<QUserBaudEntry> &table)
{
    table.clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!f.atEnd()) {
        QString line = QString::fromUtf8(f.readLine());
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        QUserBaudEntry e;
        if (parseLine(line, e))
            table.append(e);
    }
    return true;
}

int save(const QString &path, const QVector<QUserBaudEntry> &table)
{
    const QFileInfo info(path);
    QDir().mkpath(info.absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    QByteArray all;
    for (const QUserBaudEntry &e : table)
        all += lineOf(e).toUtf8();
    if (f.write(all) != all.size())
        return 0;
    return table.size();
}

} // namespace baudlist
