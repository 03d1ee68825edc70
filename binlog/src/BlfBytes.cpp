#include "binlog/src/BlfBytes.h"

namespace binlog {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t &y, unsigned &m, unsigned &d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

} // namespace

int64_t systemTimeToMs(const uint16_t st[8])
{
    if (st[0] == 0 || st[1] < 1 || st[1] > 12 || st[3] < 1 || st[3] > 31)
        return 0;
    const int64_t days = daysFromCivil(st[0], st[1], st[3]);
    return ((days * 24 + st[4]) * 60 + st[5]) * 60000 + int64_t(st[6]) * 1000 + st[7];
}

void msToSystemTime(int64_t ms, uint16_t st[8])
{
    int64_t days = ms / 86400000;
    int64_t rest = ms % 86400000;
    if (rest < 0) {
        rest += 86400000;
        --days;
    }
    int64_t y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    st[0] = uint16_t(y);
    st[1] = uint16_t(m);
    st[2] = uint16_t(((days % 7) + 11) % 7); // 1970-01-01 was a Thursday (4)
    st[3] = uint16_t(d);
    st[4] = uint16_t(rest / 3600000);
    st[5] = uint16_t(rest / 60000 % 60);
    st[6] = uint16_t(rest / 1000 % 60);
    st[7] = uint16_t(rest % 1000);
}

} // namespace binlog
