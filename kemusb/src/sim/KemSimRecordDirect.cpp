#include "kemusb/src/sim/KemSimRecordDirect.h"

#include "kemusb/src/sim/KemSimAes.h"
#include "kemusb/src/sim/KemSimFrames.h"
#include "platform/PlatBytes.h"
#include "platform/PlatTicks.h"

namespace kemusb::sim {

namespace {

constexpr uint8_t kCmdSet = 5;
constexpr uint8_t kCmdQuery = 0xFF;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int *y, int *m, int *d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    *d = int(doy - (153 * mp + 2) / 5 + 1);
    *m = int(mp < 10 ? mp + 3 : mp - 9);
    *y = int(yoe + era * 400 + (*m <= 2));
}

int daysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

std::vector<uint8_t> wire(const std::vector<uint8_t> &frame)
{
    std::vector<uint8_t> r(frame.size() + 2);
    r[0] = 0x12;
    r[1] = 0xA7;
    for (size_t i = 0; i < frame.size(); ++i)
        r[i + 2] = frame[i];
    return r;
}

} // namespace

SimRecordDirect::SimRecordDirect()
{
    setCard(1, 7580, 7012);
    setClock(2024, 5, 7, 9, 3, 1);
}

void SimRecordDirect::injectFault(SimDirectFault fault, int count, int command, int sub)
{
    fault_ = fault;
    faultLeft_ = count;
    faultCommand_ = command;
    faultSub_ = sub;
}

void SimRecordDirect::setDiskRun(int runningPolls, uint8_t finalStatus, uint16_t readMBs, uint16_t writeMBs)
{
    runningPolls_ = runningPolls < 0 ? 0 : runningPolls;
    finalStatus_ = finalStatus;
    readMBs_ = readMBs;
    writeMBs_ = writeMBs;
}

void SimRecordDirect::setCard(uint8_t status, uint32_t totalMb, uint32_t freeMb)
{
    cardStatus_ = status;
    totalMb_ = totalMb;
    freeMb_ = freeMb;
}

bool SimRecordDirect::setClock(int year, int month, int day, int hour, int minute, int second)
{
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    clockBase_ = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    clockSetMs_ = plat::GetTickCount64();
    return true;
}

SimRecordDirect::Op *SimRecordDirect::op(uint8_t sub)
{
    return sub == 0 ? &ops_[0] : sub == 2 ? &ops_[1] : nullptr;
}

SimDirectFault SimRecordDirect::takeFault(uint8_t command, const std::vector<uint8_t> &payload)
{
    if (fault_ == SimDirectFault::None || faultLeft_ == 0)
        return SimDirectFault::None;
    if (faultCommand_ >= 0 && faultCommand_ != command)
        return SimDirectFault::None;
    if (faultSub_ >= 0 && (payload.empty() || payload[0] != faultSub_))
        return SimDirectFault::None;
    const SimDirectFault f = fault_;
    if (faultLeft_ > 0 && --faultLeft_ == 0)
        fault_ = SimDirectFault::None;
    return f;
}

std::vector<uint8_t> SimRecordDirect::answer(const uint8_t *req, size_t len)
{
    DirectFrame in;
    if (len < 2 || !unpackDirectFrame(req + 2, len - 2, &in))
        return directTransferReply(req, len);
    const SimDirectFault fault = takeFault(in.command, in.payload);

    // Unknown commands keep the channel's plain echo.
    if (in.command != kCmdSet && in.command != kCmdQuery) {
        if (fault == SimDirectFault::NoAnswer)
            return {};
        std::vector<uint8_t> r = directTransferReply(req, len);
        if (fault == SimDirectFault::ShortAnswer)
            r.resize(2 + (r.size() - 2) / 2);
        return r;
    }
    if (fault == SimDirectFault::NoAnswer) {
        reply(in.command, in.payload); // the adapter still acts on it
        return {};
    }
    DirectFrame out;
    out.sequence = in.sequence;
    out.command = in.command;
    out.enciphered = in.enciphered;
    out.payload = reply(in.command, in.payload);
    if (fault == SimDirectFault::BadCheck) {
        out.enciphered = false;
        std::vector<uint8_t> f = packDirectFrame(out, 62);
        f[f.size() - 1] ^= 0x5A;
        if (in.enciphered) {
            const uint16_t word = uint16_t(plat::le16(&f[2]) | 0x1000);
            plat::putLe16(&f[2], word);
            SimAes(SimAes::adapterKey()).encrypt(f.data() + 4, f.size() - 4);
        }
        return wire(f);
    }
    std::vector<uint8_t> f = packDirectFrame(out, 62);
    if (fault == SimDirectFault::ShortAnswer)
        f.resize(f.size() / 2);
    return wire(f);
}

std::vector<uint8_t> SimRecordDirect::reply(uint8_t command, const std::vector<uint8_t> &payload)
{
    return command == kCmdSet ? setCommand(payload) : queryCommand(payload);
}

std::vector<uint8_t> SimRecordDirect::setCommand(const std::vector<uint8_t> &p)
{
    const uint8_t sub = p.empty() ? 0xFF : p[0];
    switch (sub) {
    case 0:
    case 2: {
        Op *o = op(sub);
        ++o->started;
        o->ran = true;
        o->pollsLeft = runningPolls_;
        return {1};
    }
    case 1: {
        std::vector<uint8_t> r{cardStatus_};
        plat::appendLe32(r, totalMb_);
        plat::appendLe32(r, freeMb_);
        return r;
    }
    case 3: {
        if (p.size() < 8)
            return {0};
        const bool ok = setClock(plat::le16(&p[1]), p[3], p[4], p[5], p[6], p[7]);
        return {uint8_t(ok ? 1 : 0)};
    }
    case 4: {
        const int64_t now = clockBase_ + int64_t((plat::GetTickCount64() - clockSetMs_) / 1000);
        int64_t days = now / 86400;
        int64_t secs = now % 86400;
        if (secs < 0) {
            secs += 86400;
            --days;
        }
        int y = 0, m = 0, d = 0;
        civilFromDays(days, &y, &m, &d);
        std::vector<uint8_t> r{1};
        plat::appendLe16(r, uint16_t(y));
        r.insert(r.end(), {uint8_t(m), uint8_t(d), uint8_t(secs / 3600), uint8_t(secs / 60 % 60), uint8_t(secs % 60)});
        return r;
    }
    default:
        return {0};
    }
}

std::vector<uint8_t> SimRecordDirect::queryCommand(const std::vector<uint8_t> &p)
{
    ++polls_;
    const uint8_t sub = p.empty() ? 0xFF : p[0];
    std::vector<uint8_t> r{sub, 0, 0, 0, 0, 0};
    Op *o = op(sub);
    if (!o || !o->ran)
        return r;
    if (o->pollsLeft > 0) {
        --o->pollsLeft;
        r[1] = 2;
        return r;
    }
    r[1] = cardStatus_ == 3 ? 3 : finalStatus_;
    if (sub == 2 && r[1] == 1) {
        plat::putLe16(&r[2], readMBs_);
        plat::putLe16(&r[4], writeMBs_);
    }
    if (sub == 0 && r[1] == 1)
        freeMb_ = totalMb_;
    return r;
}

} // namespace kemusb::sim
