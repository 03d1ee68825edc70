#include "platform/sim/SimCanopenNode.h"

#include "platform/PlatTicks.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace plat::sim {

namespace {

// ---- SDO abort codes (CiA 301) ----
constexpr uint32_t kAbortToggle = 0x05030000;       // toggle bit not alternated
constexpr uint32_t kAbortCommand = 0x05040001;      // command specifier not valid or unknown
constexpr uint32_t kAbortUnsupported = 0x06010000;  // unsupported access to an object
constexpr uint32_t kAbortWriteOnly = 0x06010001;    // attempt to read a write-only object
constexpr uint32_t kAbortReadOnly = 0x06010002;     // attempt to write a read-only object
constexpr uint32_t kAbortNoObject = 0x06020000;     // object does not exist
constexpr uint32_t kAbortNotMappable = 0x06040041;  // object cannot be mapped to the PDO
constexpr uint32_t kAbortPdoLength = 0x06040042;    // mapped objects would exceed the PDO length
constexpr uint32_t kAbortIncompatible = 0x06040043; // general parameter incompatibility
constexpr uint32_t kAbortTypeLength = 0x06070010;   // data type does not match, length does not match
constexpr uint32_t kAbortTooLong = 0x06070012;      // length of service parameter too high
constexpr uint32_t kAbortTooShort = 0x06070013;     // length of service parameter too low
constexpr uint32_t kAbortNoSub = 0x06090011;        // sub-index does not exist
constexpr uint32_t kAbortBadValue = 0x06090030;     // invalid value for parameter
constexpr uint32_t kAbortValueHigh = 0x06090031;    // value of parameter written too high
constexpr uint32_t kAbortValueLow = 0x06090032;     // value of parameter written too low
constexpr uint32_t kAbortDeviceState = 0x08000022;  // not possible in the present device state

constexpr uint64_t kMotionPeriodMs = 10;

std::string trim(const std::string &s)
{
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return s.substr(a, b - a);
}

std::string lower(std::string s)
{
    for (char &c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool parseHexDigits(const std::string &s, uint64_t &out)
{
    if (s.empty() || s.size() > 16)
        return false;
    uint64_t v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = (v << 4) | uint64_t(d);
    }
    out = v;
    return true;
}

// One term of a CiA 306 number: "$NODEID", "0x..." or a decimal number.
bool parseTerm(const std::string &term, uint8_t nodeId, int64_t &out)
{
    const std::string t = trim(term);
    if (lower(t) == "$nodeid") {
        out = nodeId;
        return true;
    }
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        uint64_t v = 0;
        if (!parseHexDigits(t.substr(2), v))
            return false;
        out = int64_t(v);
        return true;
    }
    size_t i = 0;
    bool neg = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) {
        neg = t[i] == '-';
        ++i;
    }
    if (i >= t.size())
        return false;
    int64_t v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9')
            return false;
        v = v * 10 + (t[i] - '0');
        if (v > (int64_t(1) << 62))
            return false;
    }
    out = neg ? -v : v;
    return true;
}

// A number as CiA 306 writes it, with "$NODEID" terms joined by "+".
bool parseNumber(const std::string &text, uint8_t nodeId, int64_t &out)
{
    const std::string t = trim(text);
    if (t.empty())
        return false;
    int64_t sum = 0;
    size_t start = 0;
    // A leading sign belongs to the first term, not to a "+" split.
    for (size_t i = 1; i <= t.size(); ++i) {
        if (i == t.size() || t[i] == '+') {
            int64_t v = 0;
            if (!parseTerm(t.substr(start, i - start), nodeId, v))
                return false;
            sum += v;
            start = i + 1;
        }
    }
    out = sum;
    return true;
}

uint64_t maskBits(uint64_t v, int bytes)
{
    return bytes >= 8 ? v : (v & ((uint64_t(1) << (8 * bytes)) - 1));
}

int64_t signExtend(uint64_t v, int bytes)
{
    if (bytes >= 8)
        return int64_t(v);
    const int bits = 8 * bytes;
    const uint64_t sign = uint64_t(1) << (bits - 1);
    v = maskBits(v, bytes);
    return (v & sign) ? int64_t(v) - (int64_t(1) << bits) : int64_t(v);
}

void putBits(std::vector<uint8_t> &data, int offset, int bits, uint64_t value)
{
    for (int i = 0; i < bits; ++i) {
        const int bit = offset + i;
        if ((value >> i) & 1u)
            data[size_t(bit / 8)] |= uint8_t(1u << (bit % 8));
    }
}

uint64_t getBits(const std::vector<uint8_t> &data, int offset, int bits)
{
    uint64_t v = 0;
    for (int i = 0; i < bits; ++i) {
        const int bit = offset + i;
        if ((data[size_t(bit / 8)] >> (bit % 8)) & 1u)
            v |= uint64_t(1) << i;
    }
    return v;
}

// CAN identifiers CiA 301 keeps for other services (11-bit).
bool restrictedCobId(uint32_t id)
{
    return id <= 0x7F || (id >= 0x101 && id <= 0x180) || (id >= 0x581 && id <= 0x5FF)
        || (id >= 0x601 && id <= 0x67F) || (id >= 0x6E0 && id <= 0x6FF) || id >= 0x701;
}

struct Section
{
    std::string name;
    std::map<std::string, std::string> keys; // lower-case keys
};

std::vector<Section> readSections(const std::string &text)
{
    std::vector<Section> out;
    std::map<std::string, size_t> byName;
    Section *current = nullptr;
    std::string line;
    for (size_t pos = 0; pos <= text.size();) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        line = trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';')
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string name = trim(line.substr(1, line.size() - 2));
            const std::string k = lower(name);
            auto it = byName.find(k);
            if (it == byName.end()) {
                byName[k] = out.size();
                out.push_back(Section{name, {}});
                current = &out.back();
            } else {
                current = &out[it->second];
            }
            continue;
        }
        const size_t eq = line.find('=');
        if (!current || eq == std::string::npos)
            continue;
        current->keys[lower(trim(line.substr(0, eq)))] = trim(line.substr(eq + 1));
    }
    return out;
}

} // namespace

// ---------------------------------------------------------------------------
// Data types

int CanopenNode::typeBytes(uint16_t t)
{
    switch (t) {
    case 0x01: case 0x02: case 0x05: return 1;
    case 0x03: case 0x06: return 2;
    case 0x10: case 0x16: return 3;
    case 0x04: case 0x07: case 0x08: return 4;
    case 0x11: case 0x15: case 0x1B: return 8;
    default: return 0;
    }
}

bool CanopenNode::typeSigned(uint16_t t)
{
    return t == 0x02 || t == 0x03 || t == 0x04 || t == 0x10 || t == 0x15;
}

bool CanopenNode::typeString(uint16_t t)
{
    return t == 0x09 || t == 0x0A || t == 0x0B;
}

// ---------------------------------------------------------------------------
// Dictionary

CanopenNode::CanopenNode(uint8_t nodeId) : id_(nodeId) {}

bool CanopenNode::loadEds(const std::string &path, std::string *error)
{
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        if (error)
            *error = "cannot read " + path;
        return false;
    }
    std::stringstream ss;
    ss << f.rdbuf();
    return loadEdsText(ss.str(), error);
}

bool CanopenNode::loadEdsText(const std::string &text, std::string *error)
{
    std::map<uint32_t, Entry> od;
    for (const Section &s : readSections(text)) {
        const std::string name = lower(s.name);
        uint64_t index = 0, sub = 0;
        bool isSub = false;
        if (name.size() == 4 && parseHexDigits(name, index)) {
            auto ot = s.keys.find("objecttype");
            int64_t objectType = 7;
            if (ot != s.keys.end() && !parseNumber(ot->second, id_, objectType))
                objectType = 7;
            if (objectType == 8 || objectType == 9)
                continue; // the entries come from the sub-index sections
        } else if (name.size() > 7 && name.compare(4, 3, "sub") == 0 && parseHexDigits(name.substr(0, 4), index)
                   && parseHexDigits(name.substr(7), sub) && sub <= 0xFF) {
            isSub = true;
        } else {
            continue; // file and device information, object lists, comments
        }
        Entry e;
        e.index = uint16_t(index);
        e.sub = isSub ? uint8_t(sub) : 0;
        int64_t n = 0;
        auto get = [&s](const char *k) -> const std::string * {
            auto it = s.keys.find(k);
            return it == s.keys.end() ? nullptr : &it->second;
        };
        if (const std::string *v = get("datatype"))
            e.dataType = parseNumber(*v, id_, n) ? uint16_t(n) : 7;
        if (const std::string *v = get("accesstype")) {
            const std::string a = lower(*v);
            e.readable = a.find('r') != std::string::npos || a == "const";
            e.writable = a.find('w') != std::string::npos;
        }
        if (const std::string *v = get("pdomapping"))
            e.mappable = (parseNumber(*v, id_, n) && n != 0) || lower(*v) == "true";
        if (const std::string *v = get("lowlimit"))
            e.hasLow = parseNumber(*v, id_, e.low);
        if (const std::string *v = get("highlimit"))
            e.hasHigh = parseNumber(*v, id_, e.high);
        if (const std::string *v = get("defaultvalue")) {
            if (typeString(e.dataType))
                e.defaultText = *v;
            else if (parseNumber(*v, id_, n))
                e.defaultValue = maskBits(uint64_t(n), std::max(1, typeBytes(e.dataType)));
        }
        e.value = e.defaultValue;
        e.text = e.defaultText;
        od[key(e.index, e.sub)] = e;
    }
    if (od.empty()) {
        if (error)
            *error = "no object in the EDS";
        return false;
    }
    od_ = std::move(od);
    rpdos_.clear();
    tpdos_.clear();
    for (int n = 0; n < 512; ++n) {
        if (objectExists(commIndex(true, n)))
            rpdos_.push_back(n);
        if (objectExists(commIndex(false, n)))
            tpdos_.push_back(n);
    }
    resetApplication();
    resetCommunication();
    nmt_ = Nmt::Initialising;
    bootPending_ = true;
    return true;
}

CanopenNode::Entry *CanopenNode::entry(uint16_t index, uint8_t sub)
{
    auto it = od_.find(key(index, sub));
    return it == od_.end() ? nullptr : &it->second;
}

const CanopenNode::Entry *CanopenNode::entry(uint16_t index, uint8_t sub) const
{
    auto it = od_.find(key(index, sub));
    return it == od_.end() ? nullptr : &it->second;
}

bool CanopenNode::objectExists(uint16_t index) const
{
    auto it = od_.lower_bound(key(index, 0));
    return it != od_.end() && it->second.index == index;
}

bool CanopenNode::has(uint16_t index, uint8_t sub) const
{
    return entry(index, sub) != nullptr;
}

bool CanopenNode::read(uint16_t index, uint8_t sub, uint64_t &value) const
{
    const Entry *e = entry(index, sub);
    if (!e)
        return false;
    value = e->value;
    return true;
}

uint64_t CanopenNode::value(uint16_t index, uint8_t sub) const
{
    const Entry *e = entry(index, sub);
    return e ? e->value : 0;
}

bool CanopenNode::write(uint16_t index, uint8_t sub, uint64_t value)
{
    Entry *e = entry(index, sub);
    if (!e)
        return false;
    setValue(*e, value, GetTickCount64());
    return true;
}

// ---------------------------------------------------------------------------
// Frames and NMT

void CanopenNode::send(Bus &bus, uint32_t id, const std::vector<uint8_t> &data, bool rtr, bool ext)
{
    CanFrame f;
    f.id = id & (ext ? 0x1FFFFFFFu : 0x7FFu);
    f.ext = ext;
    f.rtr = rtr;
    f.len = uint8_t(std::min<size_t>(data.size(), 8));
    std::copy(data.begin(), data.begin() + f.len, f.data);
    sending_ = true;
    bus.inject(f);
    sending_ = false;
}

void CanopenNode::resetApplication()
{
    for (auto &kv : od_) {
        if (kv.second.index >= 0x2000) {
            kv.second.value = kv.second.defaultValue;
            kv.second.text = kv.second.defaultText;
        }
    }
    drive_ = Drive::NotReadyToSwitchOn;
    lastControlword_ = 0;
    setPointActive_ = false;
    position_ = double(signExtend(value(0x6064, 0), 4));
    positionTarget_ = position_;
    velocity_ = 0;
    torque_ = 0;
    // Self-test done: the drive waits for its master (automatic transition).
    setDrive(Drive::SwitchOnDisabled);
}

void CanopenNode::resetCommunication()
{
    for (auto &kv : od_) {
        if (kv.second.index >= 0x1000 && kv.second.index < 0x2000) {
            kv.second.value = kv.second.defaultValue;
            kv.second.text = kv.second.defaultText;
        }
    }
    tpdoRun_.clear();
    rpdoRun_.clear();
    guardToggle_ = false;
    guarded_ = false;
    lifeGuardFired_ = false;
    nextHeartbeatMs_ = UINT64_MAX;
}

void CanopenNode::bootUp(Bus &bus, uint64_t now)
{
    bootPending_ = false;
    send(bus, 0x700u + id_, {0x00});
    enterState(Nmt::PreOperational, now);
    const uint64_t period = value(0x1017, 0);
    nextHeartbeatMs_ = period ? now + period : UINT64_MAX;
}

void CanopenNode::enterState(Nmt s, uint64_t now)
{
    if (s == Nmt::Operational && nmt_ != Nmt::Operational) {
        // PDOs start afresh: SYNC counts from the next SYNC, event-driven
        // TPDOs send their data once.
        tpdoRun_.clear();
        rpdoRun_.clear();
    }
    nmt_ = s;
    (void)now;
}

void CanopenNode::handleNmt(Bus &bus, const CanFrame &f, uint64_t now)
{
    if (f.len < 2 || (f.data[1] != 0 && f.data[1] != id_))
        return;
    switch (f.data[0]) {
    case 0x01: enterState(Nmt::Operational, now); break;
    case 0x02: enterState(Nmt::Stopped, now); break;
    case 0x80: enterState(Nmt::PreOperational, now); break;
    case 0x81:
        resetApplication();
        resetCommunication();
        bootUp(bus, now);
        break;
    case 0x82:
        resetCommunication();
        bootUp(bus, now);
        break;
    default: break;
    }
}

void CanopenNode::handleGuard(Bus &bus, uint64_t now)
{
    const uint8_t state = uint8_t(nmt_) | (guardToggle_ ? 0x80 : 0x00);
    guardToggle_ = !guardToggle_;
    guarded_ = true;
    lifeGuardFired_ = false;
    lastGuardMs_ = now;
    send(bus, 0x700u + id_, {state});
}

bool CanopenNode::emcy(Bus &bus, uint16_t code, uint8_t reg, const uint8_t msef[5])
{
    if (nmt_ != Nmt::PreOperational && nmt_ != Nmt::Operational)
        return false;
    uint32_t cob = 0x80u + id_;
    bool ext = false;
    if (const Entry *e = entry(0x1014, 0)) {
        if (e->value & 0x80000000u)
            return false;
        cob = uint32_t(e->value & 0x1FFFFFFFu);
        ext = (e->value & 0x20000000u) != 0;
    }
    if (Entry *er = entry(0x1001, 0))
        er->value = reg;
    send(bus, cob, {uint8_t(code), uint8_t(code >> 8), reg, msef[0], msef[1], msef[2], msef[3], msef[4]}, false, ext);
    ++counters_.emcys;
    return true;
}

void CanopenNode::emcyRequest(uint16_t code, uint8_t reg, const uint8_t msef[5])
{
    PendingEmcy p{code, reg, {msef[0], msef[1], msef[2], msef[3], msef[4]}};
    emcyQueue_.push_back(p);
}

void CanopenNode::driveFaultRequest(uint16_t code)
{
    setDrive(Drive::FaultReactionActive);
    velocity_ = 0;
    torque_ = 0;
    setPointActive_ = false;
    setDrive(Drive::Fault);
    if (Entry *e = entry(0x603F, 0))
        e->value = code;
    const uint8_t none[5] = {0, 0, 0, 0, 0};
    emcyRequest(code, 0x01, none);
}

// ---------------------------------------------------------------------------
// Bus node

void CanopenNode::onFrame(Bus &bus, const CanFrame &f)
{
    if (sending_ || od_.empty() || f.fd)
        return;
    const uint64_t now = GetTickCount64();
    if (bootPending_)
        bootUp(bus, now);

    if (!f.ext) {
        if (f.id == 0 && !f.rtr) {
            handleNmt(bus, f, now);
            return;
        }
        if (f.id == 0x700u + id_) {
            if (f.rtr && nmt_ != Nmt::Initialising)
                handleGuard(bus, now);
            return;
        }
        if (f.id == 0x600u + id_ && !f.rtr) {
            handleSdo(bus, f, now);
            checkEventTpdos(bus, now);
            return;
        }
    }
    uint32_t syncId = 0x80;
    bool syncExt = false;
    if (const Entry *e = entry(0x1005, 0)) {
        syncExt = (e->value & 0x20000000u) != 0;
        syncId = uint32_t(e->value & (syncExt ? 0x1FFFFFFFu : 0x7FFu));
    }
    if (f.id == syncId && f.ext == syncExt && !f.rtr) {
        handleSync(bus, f, now);
        return;
    }
    if (nmt_ != Nmt::Operational)
        return;
    auto matches = [&f](uint32_t cob) {
        const bool ext = (cob & 0x20000000u) != 0;
        return f.ext == ext && f.id == (cob & (ext ? 0x1FFFFFFFu : 0x7FFu));
    };
    for (int n : rpdos_) {
        if (!pdoValid(true, n) || !matches(pdoCobId(true, n)) || f.rtr)
            continue;
        std::vector<uint8_t> data(f.data, f.data + f.len);
        if (pdoType(true, n) <= 240) {
            rpdoRun_[n].pending = true;
            rpdoRun_[n].data = data;
        } else {
            applyRpdo(bus, n, data, now);
        }
    }
    for (int n : tpdos_) {
        if (!f.rtr || !pdoValid(false, n) || !matches(pdoCobId(false, n)))
            continue;
        if (pdoCobId(false, n) & 0x40000000u)
            continue; // no remote requests for this PDO
        const uint8_t type = pdoType(false, n);
        TpdoRun &run = tpdoRun_[n];
        if (type == 252 && run.haveSample)
            sendTpdo(bus, n, run.sampled, now);
        else if (type >= 252)
            sendTpdo(bus, n, tpdoData(n), now);
    }
    checkEventTpdos(bus, now);
}

uint64_t CanopenNode::nextDueMs()
{
    if (od_.empty())
        return UINT64_MAX;
    if (bootPending_ || !emcyQueue_.empty())
        return 0;
    uint64_t due = nextHeartbeatMs_;
    const uint64_t life = value(0x100C, 0) * value(0x100D, 0);
    if (guarded_ && !lifeGuardFired_ && life)
        due = std::min(due, lastGuardMs_ + life + 1);
    if (driveMoving())
        due = std::min(due, lastMotionMs_ + kMotionPeriodMs);
    if (nmt_ == Nmt::Operational) {
        for (int n : tpdos_) {
            const uint8_t type = pdoType(false, n);
            if (!pdoValid(false, n) || type < 254)
                continue;
            auto it = tpdoRun_.find(n);
            if (it == tpdoRun_.end() || !it->second.haveSent)
                return 0;
            const uint64_t eventMs = value(commIndex(false, n), 5);
            if (eventMs)
                due = std::min(due, it->second.lastSentMs + eventMs);
            // A change held back by the inhibit time goes out when it ends.
            if (tpdoData(n) != it->second.lastData) {
                const uint64_t inhibitMs = (value(commIndex(false, n), 3) + 9) / 10;
                due = std::min(due, it->second.lastSentMs + inhibitMs);
            }
        }
    }
    return due;
}

void CanopenNode::tick(Bus &bus, uint64_t now)
{
    if (od_.empty())
        return;
    if (bootPending_)
        bootUp(bus, now);
    if (!emcyQueue_.empty()) {
        std::vector<PendingEmcy> q;
        q.swap(emcyQueue_);
        for (const PendingEmcy &p : q)
            emcy(bus, p.code, p.reg, p.msef);
    }
    if (now >= nextHeartbeatMs_) {
        send(bus, 0x700u + id_, {uint8_t(nmt_)});
        ++counters_.heartbeats;
        const uint64_t period = value(0x1017, 0);
        nextHeartbeatMs_ = period ? std::max(nextHeartbeatMs_ + period, now + 1) : UINT64_MAX;
    }
    const uint64_t life = value(0x100C, 0) * value(0x100D, 0);
    if (guarded_ && !lifeGuardFired_ && life && now > lastGuardMs_ + life) {
        lifeGuardFired_ = true;
        const uint8_t none[5] = {0, 0, 0, 0, 0};
        emcy(bus, 0x8130, 0x11, none);
    }
    if (driveMoving() && now >= lastMotionMs_ + kMotionPeriodMs)
        motion(now);
    checkEventTpdos(bus, now);
}

// ---------------------------------------------------------------------------
// SDO server

void CanopenNode::sdoAbort(Bus &bus, uint16_t index, uint8_t sub, uint32_t code)
{
    ++counters_.sdoAborts;
    counters_.lastAbortCode = code;
    send(bus, 0x580u + id_,
         {0x80, uint8_t(index), uint8_t(index >> 8), sub, uint8_t(code), uint8_t(code >> 8), uint8_t(code >> 16),
          uint8_t(code >> 24)});
}

void CanopenNode::handleSdo(Bus &bus, const CanFrame &f, uint64_t now)
{
    if (nmt_ != Nmt::PreOperational && nmt_ != Nmt::Operational)
        return;
    ++counters_.sdoRequests;
    uint8_t b[8] = {};
    std::copy(f.data, f.data + std::min<int>(f.len, 8), b);
    const uint8_t ccs = b[0] >> 5;
    const uint16_t index = uint16_t(b[1] | (b[2] << 8));
    const uint8_t sub = b[3];
    if (ccs == 4) {
        // The client aborts: the transfer open on this SDO ends, unanswered.
        ++counters_.clientAborts;
        counters_.lastClientAbortCode =
            uint32_t(b[4]) | (uint32_t(b[5]) << 8) | (uint32_t(b[6]) << 16) | (uint32_t(b[7]) << 24);
        segUpload_ = SegmentedUpload();
        return;
    }
    if (ccs == 3) {
        handleUploadSegment(bus, b);
        return;
    }
    if (ccs != 1 && ccs != 2) {
        sdoAbort(bus, index, sub, kAbortCommand);
        return;
    }
    // A new transfer replaces one left open.
    segUpload_ = SegmentedUpload();
    Entry *e = entry(index, sub);
    if (!e) {
        sdoAbort(bus, index, sub, objectExists(index) ? kAbortNoSub : kAbortNoObject);
        return;
    }

    if (ccs == 2) { // initiate upload
        if (!e->readable) {
            sdoAbort(bus, index, sub, kAbortWriteOnly);
            return;
        }
        std::vector<uint8_t> bytes;
        if (typeString(e->dataType)) {
            bytes.assign(e->text.begin(), e->text.end());
        } else {
            const int size = typeBytes(e->dataType);
            for (int i = 0; i < size; ++i)
                bytes.push_back(uint8_t(e->value >> (8 * i)));
        }
        if (bytes.empty()) {
            sdoAbort(bus, index, sub, kAbortUnsupported);
            return;
        }
        if (bytes.size() > 4) {
            // Segmented: the initiate answer gives the size (e=0, s=1), the
            // client asks for the segments.
            segUpload_.open = true;
            segUpload_.index = index;
            segUpload_.sub = sub;
            segUpload_.data = bytes;
            ++counters_.segmentedUploads;
            const uint32_t n = uint32_t(bytes.size());
            send(bus, 0x580u + id_,
                 {0x41, uint8_t(index), uint8_t(index >> 8), sub, uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16),
                  uint8_t(n >> 24)});
            return;
        }
        // Without size indication (e=1, s=0) four bytes go out and the
        // client takes the size from its dictionary; the bytes beyond the
        // value are what the buffer held.
        const uint8_t cmd = uploadSizeIndicated_ ? uint8_t(0x43 | ((4 - bytes.size()) << 2)) : uint8_t(0x42);
        const uint8_t pad = uploadSizeIndicated_ ? 0 : kUploadPadding;
        std::vector<uint8_t> r = {cmd, uint8_t(index), uint8_t(index >> 8), sub, pad, pad, pad, pad};
        std::copy(bytes.begin(), bytes.end(), r.begin() + 4);
        send(bus, 0x580u + id_, r);
        return;
    }

    // initiate download
    if (!(b[0] & 0x02)) {
        sdoAbort(bus, index, sub, kAbortCommand); // segmented download is not offered
        return;
    }
    if (!e->writable) {
        sdoAbort(bus, index, sub, kAbortReadOnly);
        return;
    }
    const int indicated = (b[0] & 0x01) ? 4 - ((b[0] >> 2) & 3) : 0;
    if (typeString(e->dataType)) {
        e->text.assign(reinterpret_cast<const char *>(b + 4), size_t(indicated ? indicated : 4));
    } else {
        const int size = typeBytes(e->dataType);
        if (size == 0 || size > 4) {
            sdoAbort(bus, index, sub, kAbortTypeLength);
            return;
        }
        if (indicated && indicated > size) {
            sdoAbort(bus, index, sub, kAbortTooLong);
            return;
        }
        if (indicated && indicated < size) {
            sdoAbort(bus, index, sub, kAbortTooShort);
            return;
        }
        uint64_t v = 0;
        for (int i = 0; i < size; ++i)
            v |= uint64_t(b[4 + i]) << (8 * i);
        if (const uint32_t code = sdoDownloadCheck(index, sub, v, size)) {
            sdoAbort(bus, index, sub, code);
            return;
        }
        setValue(*e, v, now);
    }
    if (typeString(e->dataType))
        applied(index, sub, now);
    send(bus, 0x580u + id_, {0x60, uint8_t(index), uint8_t(index >> 8), sub, 0, 0, 0, 0});
}

void CanopenNode::handleUploadSegment(Bus &bus, const uint8_t b[8])
{
    if (!segUpload_.open) {
        sdoAbort(bus, uint16_t(b[1] | (b[2] << 8)), b[3], kAbortCommand);
        return;
    }
    const bool toggle = (b[0] & 0x10) != 0;
    if (toggle != segUpload_.toggle) {
        const SegmentedUpload failed = segUpload_;
        segUpload_ = SegmentedUpload();
        sdoAbort(bus, failed.index, failed.sub, kAbortToggle);
        return;
    }
    const size_t left = segUpload_.data.size() - segUpload_.sent;
    const size_t n = std::min<size_t>(7, left);
    const bool last = n == left;
    std::vector<uint8_t> r(8, 0);
    r[0] = uint8_t((toggle ? 0x10 : 0x00) | ((7 - n) << 1) | (last ? 0x01 : 0x00));
    std::copy(segUpload_.data.begin() + long(segUpload_.sent), segUpload_.data.begin() + long(segUpload_.sent + n),
              r.begin() + 1);
    segUpload_.sent += n;
    segUpload_.toggle = !segUpload_.toggle;
    if (last)
        segUpload_ = SegmentedUpload();
    send(bus, 0x580u + id_, r);
}

uint32_t CanopenNode::sdoDownloadCheck(uint16_t index, uint8_t sub, uint64_t v, int size)
{
    const Entry *e = entry(index, sub);
    if (typeSigned(e->dataType)) {
        const int64_t s = signExtend(v, size);
        if (e->hasLow && s < e->low)
            return kAbortValueLow;
        if (e->hasHigh && s > e->high)
            return kAbortValueHigh;
    } else {
        if (e->hasLow && e->low > 0 && v < uint64_t(e->low))
            return kAbortValueLow;
        if (e->hasHigh && e->high >= 0 && v > uint64_t(e->high))
            return kAbortValueHigh;
    }

    const bool rxComm = index >= 0x1400 && index <= 0x15FF;
    const bool txComm = index >= 0x1800 && index <= 0x19FF;
    const bool rxMap = index >= 0x1600 && index <= 0x17FF;
    const bool txMap = index >= 0x1A00 && index <= 0x1BFF;
    if (rxComm || txComm) {
        const bool rx = rxComm;
        const int n = index - (rx ? 0x1400 : 0x1800);
        const bool valid = pdoValid(rx, n);
        switch (sub) {
        case 1: {
            const bool willBeValid = (v & 0x80000000u) == 0;
            const uint64_t old = value(index, 1);
            // The identifier of an existing PDO stays as it is.
            if (valid && willBeValid && (v & 0x7FFFFFFFu) != (old & 0x7FFFFFFFu))
                return kAbortBadValue;
            if (willBeValid) {
                const bool ext = (v & 0x20000000u) != 0;
                const uint32_t id = uint32_t(v & 0x1FFFFFFFu);
                if (id == 0 || (!ext && (id > 0x7FF || restrictedCobId(id))))
                    return kAbortBadValue;
            }
            return 0;
        }
        case 2:
            if (v <= 240 || v >= 254 || (!rx && v >= 252))
                return 0;
            return kAbortBadValue;
        case 3:
        case 6:
            return valid ? kAbortDeviceState : 0;
        default:
            return 0;
        }
    }
    if (rxMap || txMap) {
        const bool rx = rxMap;
        const int n = index - (rx ? 0x1600 : 0x1A00);
        if (pdoValid(rx, n))
            return kAbortDeviceState;
        if (sub == 0)
            return mappingCountCheck(rx, n, v);
        if (value(index, 0) != 0)
            return kAbortDeviceState;
        return v ? mappingEntryCheck(rx, uint32_t(v)) : 0;
    }
    if (index == 0x6060 && sub == 0) {
        const int64_t mode = signExtend(v, 1);
        if (mode != 1 && mode != 3 && mode != 4)
            return kAbortBadValue;
    }
    return 0;
}

uint32_t CanopenNode::mappingEntryCheck(bool rx, uint32_t v) const
{
    const uint16_t index = uint16_t(v >> 16);
    const uint8_t sub = uint8_t(v >> 8);
    const int bits = int(v & 0xFF);
    if (bits == 0 || bits > 64)
        return kAbortIncompatible;
    if (index >= 1 && index <= 7) {
        // Dummy entries fill gaps of receive PDOs.
        if (!rx)
            return kAbortNotMappable;
        return bits <= 8 * typeBytes(index) ? 0 : kAbortIncompatible;
    }
    const Entry *e = entry(index, sub);
    if (!e)
        return objectExists(index) ? kAbortNoSub : kAbortNoObject;
    if (!e->mappable || (rx && !e->writable) || (!rx && !e->readable) || typeString(e->dataType))
        return kAbortNotMappable;
    if (bits > 8 * typeBytes(e->dataType))
        return kAbortIncompatible;
    return 0;
}

uint32_t CanopenNode::mappingCountCheck(bool rx, int n, uint64_t count) const
{
    if (count > 64)
        return kAbortValueHigh;
    for (uint64_t k = 1; k <= count; ++k)
        if (!entry(mapIndex(rx, n), uint8_t(k)))
            return kAbortValueHigh;
    int bits = 0;
    for (uint64_t k = 1; k <= count; ++k) {
        const Entry *e = entry(mapIndex(rx, n), uint8_t(k));
        if (e->value == 0)
            return kAbortIncompatible;
        if (const uint32_t code = mappingEntryCheck(rx, uint32_t(e->value)))
            return code;
        bits += int(e->value & 0xFF);
    }
    return bits > 64 ? kAbortPdoLength : 0;
}

// ---------------------------------------------------------------------------
// PDOs

bool CanopenNode::pdoValid(bool rx, int n) const
{
    const Entry *e = entry(commIndex(rx, n), 1);
    return e && !(e->value & 0x80000000u);
}

uint32_t CanopenNode::pdoCobId(bool rx, int n) const
{
    return uint32_t(value(commIndex(rx, n), 1));
}

uint8_t CanopenNode::pdoType(bool rx, int n) const
{
    const Entry *e = entry(commIndex(rx, n), 2);
    return e ? uint8_t(e->value) : 255;
}

std::vector<CanopenNode::MapEntry> CanopenNode::pdoMapping(bool rx, int n) const
{
    std::vector<MapEntry> out;
    const uint64_t count = value(mapIndex(rx, n), 0);
    for (uint64_t k = 1; k <= count && k <= 64; ++k) {
        const uint64_t v = value(mapIndex(rx, n), uint8_t(k));
        if (v)
            out.push_back({uint16_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
    }
    return out;
}

std::vector<uint8_t> CanopenNode::tpdoData(int n) const
{
    const std::vector<MapEntry> map = pdoMapping(false, n);
    int bits = 0;
    for (const MapEntry &m : map)
        bits += m.bits;
    std::vector<uint8_t> data(size_t(std::min(bits, 64) + 7) / 8, 0);
    int offset = 0;
    for (const MapEntry &m : map) {
        if (offset + m.bits > 64)
            break;
        putBits(data, offset, m.bits, value(m.index, m.sub));
        offset += m.bits;
    }
    return data;
}

void CanopenNode::sendTpdo(Bus &bus, int n, const std::vector<uint8_t> &data, uint64_t now)
{
    const uint32_t cob = pdoCobId(false, n);
    send(bus, cob, data, false, (cob & 0x20000000u) != 0);
    TpdoRun &run = tpdoRun_[n];
    run.haveSent = true;
    run.lastSentMs = now;
    run.lastData = tpdoData(n);
    run.changed = false;
    ++counters_.tpdosSent;
}

void CanopenNode::applyRpdo(Bus &bus, int n, const std::vector<uint8_t> &data, uint64_t now)
{
    const std::vector<MapEntry> map = pdoMapping(true, n);
    int bits = 0;
    for (const MapEntry &m : map)
        bits += m.bits;
    if (int(data.size()) * 8 < bits) {
        const uint8_t none[5] = {0, 0, 0, 0, 0};
        emcy(bus, 0x8210, 0x11, none); // PDO not processed: length error
        return;
    }
    int offset = 0;
    for (const MapEntry &m : map) {
        const uint64_t v = getBits(data, offset, m.bits);
        offset += m.bits;
        if (m.index >= 1 && m.index <= 7)
            continue;
        if (Entry *e = entry(m.index, m.sub))
            setValue(*e, v, now);
    }
    ++counters_.rpdosApplied;
}

void CanopenNode::handleSync(Bus &bus, const CanFrame &f, uint64_t now)
{
    if (nmt_ != Nmt::Operational)
        return;
    // Synchronous RPDOs take effect, then synchronous TPDOs sample.
    for (int n : rpdos_) {
        RpdoRun &run = rpdoRun_[n];
        if (run.pending && pdoValid(true, n)) {
            run.pending = false;
            applyRpdo(bus, n, run.data, now);
        }
    }
    const bool haveCounter = f.len >= 1;
    const uint8_t counter = haveCounter ? f.data[0] : 0;
    for (int n : tpdos_) {
        if (!pdoValid(false, n))
            continue;
        const uint8_t type = pdoType(false, n);
        TpdoRun &run = tpdoRun_[n];
        if (type == 0) {
            const std::vector<uint8_t> data = tpdoData(n);
            if (!run.haveSent || data != run.lastData)
                sendTpdo(bus, n, data, now);
        } else if (type <= 240) {
            const uint64_t start = value(commIndex(false, n), 6);
            if (!run.syncStarted) {
                if (start && haveCounter && counter != start)
                    continue;
                run.syncStarted = true;
                run.syncCount = 0;
            }
            if (++run.syncCount >= type) {
                run.syncCount = 0;
                sendTpdo(bus, n, tpdoData(n), now);
            }
        } else if (type == 252) {
            run.sampled = tpdoData(n);
            run.haveSample = true;
        }
    }
    checkEventTpdos(bus, now);
}

void CanopenNode::checkEventTpdos(Bus &bus, uint64_t now)
{
    if (nmt_ != Nmt::Operational)
        return;
    for (int n : tpdos_) {
        if (!pdoValid(false, n) || pdoType(false, n) < 254)
            continue;
        TpdoRun &run = tpdoRun_[n];
        const std::vector<uint8_t> data = tpdoData(n);
        const uint64_t eventMs = value(commIndex(false, n), 5);
        const uint64_t inhibitMs = (value(commIndex(false, n), 3) + 9) / 10;
        const bool timer = run.haveSent && eventMs && now >= run.lastSentMs + eventMs;
        const bool change = !run.haveSent || data != run.lastData;
        if (!timer && !change)
            continue;
        if (run.haveSent && inhibitMs && now < run.lastSentMs + inhibitMs)
            continue;
        sendTpdo(bus, n, data, now);
    }
}

// ---------------------------------------------------------------------------
// Application

void CanopenNode::setValue(Entry &e, uint64_t v, uint64_t now)
{
    // The drive has moved up to now under the old values.
    if (e.index >= 0x6000) {
        if (driveMoving())
            motion(now);
        else
            lastMotionMs_ = now;
    }
    e.value = maskBits(v, std::max(1, typeBytes(e.dataType)));
    applied(e.index, e.sub, now);
}

void CanopenNode::applied(uint16_t index, uint8_t sub, uint64_t now)
{
    if (index == 0x1017 && sub == 0) {
        const uint64_t period = value(0x1017, 0);
        nextHeartbeatMs_ = (period && !bootPending_) ? now + period : UINT64_MAX;
    } else if (index >= 0x1800 && index <= 0x19FF && sub == 1) {
        tpdoRun_.erase(index - 0x1800);
    } else if (index >= 0x1400 && index <= 0x15FF && sub == 1) {
        rpdoRun_.erase(index - 0x1400);
    } else if (index == 0x6040 && sub == 0) {
        controlword(uint16_t(value(0x6040, 0)), now);
    } else if (index == 0x6060 && sub == 0) {
        if (Entry *e = entry(0x6061, 0))
            e->value = value(0x6060, 0);
        setPointActive_ = false;
        updateStatusword();
    }
}

// ---------------------------------------------------------------------------
// CiA 402 drive

void CanopenNode::setDrive(Drive d)
{
    const bool torque = d == Drive::OperationEnabled || d == Drive::QuickStopActive;
    if (drive_ == Drive::OperationEnabled && !torque)
        ++counters_.powerStageOffs;
    if (d == Drive::OperationEnabled && drive_ != Drive::OperationEnabled) {
        lastMotionMs_ = GetTickCount64();
        positionTarget_ = position_;
        setPointActive_ = false;
    }
    // Braking after Shutdown ends where the drive gets torque again or
    // loses its voltage.
    if (torque || (d != Drive::ReadyToSwitchOn && d != Drive::SwitchedOn))
        shutdownRamp_ = false;
    if (!torque) {
        if (!shutdownRamp_)
            velocity_ = 0;
        torque_ = 0;
        setPointActive_ = false;
    }
    drive_ = d;
    updateStatusword();
}

void CanopenNode::controlword(uint16_t cw, uint64_t now)
{
    (void)now;
    const bool faultReset = (cw & 0x80) && !(lastControlword_ & 0x80);
    const bool newSetPoint = (cw & 0x10) && !(lastControlword_ & 0x10);
    lastControlword_ = cw;
    if (drive_ == Drive::Fault) {
        if (faultReset) {
            if (Entry *e = entry(0x603F, 0))
                e->value = 0;
            setDrive(Drive::SwitchOnDisabled);
        }
        return;
    }
    if (cw & 0x80)
        return; // fault reset outside Fault: no state command
    const bool shutdown = (cw & 0x07) == 0x06;
    const bool switchOn = (cw & 0x0F) == 0x07;
    const bool enable = (cw & 0x0F) == 0x0F;
    const bool disableVoltage = (cw & 0x02) == 0;
    const bool quickStop = (cw & 0x06) == 0x02;

    switch (drive_) {
    case Drive::SwitchOnDisabled:
        if (shutdown)
            setDrive(Drive::ReadyToSwitchOn);
        break;
    case Drive::ReadyToSwitchOn:
        if (switchOn)
            setDrive(Drive::SwitchedOn);
        else if (enable) {
            setDrive(Drive::SwitchedOn);
            setDrive(Drive::OperationEnabled);
        } else if (disableVoltage || quickStop)
            setDrive(Drive::SwitchOnDisabled);
        break;
    case Drive::SwitchedOn:
        if (enable)
            setDrive(Drive::OperationEnabled);
        else if (shutdown)
            setDrive(Drive::ReadyToSwitchOn);
        else if (disableVoltage || quickStop)
            setDrive(Drive::SwitchOnDisabled);
        break;
    case Drive::OperationEnabled:
        if (switchOn) {
            setDrive(Drive::SwitchedOn);
        } else if (shutdown) {
            // Shutdown option code (CiA 402, INTEGER16): 0 disables the drive
            // function at once, 1 slows down with the slow-down ramp first.
            const Entry *option = entry(0x605B, 0);
            if (option && signExtend(option->value, 2) == 1 && velocity_ != 0)
                shutdownRamp_ = true;
            setDrive(Drive::ReadyToSwitchOn);
        } else if (disableVoltage) {
            setDrive(Drive::SwitchOnDisabled);
        } else if (quickStop) {
            setDrive(Drive::QuickStopActive);
        }
        break;
    case Drive::QuickStopActive:
        if (enable)
            setDrive(Drive::OperationEnabled);
        else if (disableVoltage)
            setDrive(Drive::SwitchOnDisabled);
        break;
    default:
        break;
    }

    // Profile position: a rising new-set-point bit takes the target.
    if (drive_ == Drive::OperationEnabled && signExtend(value(0x6061, 0), 1) == 1 && newSetPoint) {
        const double target = double(signExtend(value(0x607A, 0), 4));
        const double base = setPointActive_ ? positionTarget_ : position_;
        positionTarget_ = (cw & 0x40) ? base + target : target;
        setPointActive_ = true;
    }
    updateStatusword();
}

bool CanopenNode::driveMoving() const
{
    if (drive_ == Drive::QuickStopActive || shutdownRamp_)
        return true;
    if (drive_ != Drive::OperationEnabled)
        return false;
    const bool halt = (lastControlword_ & 0x100) != 0;
    switch (signExtend(value(0x6061, 0), 1)) {
    case 1:
        return setPointActive_ || velocity_ != 0;
    case 3:
        return velocity_ != 0 || velocity_ != (halt ? 0.0 : double(signExtend(value(0x60FF, 0), 4)));
    case 4:
        return torque_ != (halt ? 0.0 : double(signExtend(value(0x6071, 0), 2)));
    default:
        return false;
    }
}

namespace {
// Moves v toward target by at most rate * dt.
double approach(double v, double target, double rate, double dt)
{
    const double step = rate * dt;
    if (std::fabs(target - v) <= step)
        return target;
    return v + (target > v ? step : -step);
}
} // namespace

void CanopenNode::motion(uint64_t now)
{
    const double dt = now > lastMotionMs_ ? double(now - lastMotionMs_) / 1000.0 : 0.0;
    lastMotionMs_ = now;
    if (dt <= 0)
        return;
    if (shutdownRamp_ && drive_ != Drive::OperationEnabled) {
        // Power stage still on for the slow-down ramp, no set-point.
        const double dec = std::max<double>(1, double(value(0x6084, 0)));
        const double v0 = velocity_;
        velocity_ = approach(velocity_, 0.0, dec, dt);
        position_ += (v0 + velocity_) / 2 * dt;
        if (velocity_ == 0)
            shutdownRamp_ = false;
        updateStatusword();
        return;
    }
    const bool quickStop = drive_ == Drive::QuickStopActive;
    if (drive_ != Drive::OperationEnabled && !quickStop)
        return;
    const bool halt = quickStop || (lastControlword_ & 0x100) != 0;
    const double acc = std::max<double>(1, double(value(0x6083, 0)));
    const double dec = std::max<double>(1, double(value(0x6084, 0)));
    // Speeding up uses the acceleration, slowing down the deceleration.
    auto ramp = [&](double v, double target) {
        const bool slower = std::fabs(target) < std::fabs(v) || (target * v < 0);
        return approach(v, target, slower ? dec : acc, dt);
    };

    switch (signExtend(value(0x6061, 0), 1)) {
    case 3: { // profile velocity
        const double target = halt ? 0.0 : double(signExtend(value(0x60FF, 0), 4));
        const double v0 = velocity_;
        velocity_ = ramp(velocity_, target);
        position_ += (v0 + velocity_) / 2 * dt;
        break;
    }
    case 1: { // profile position
        const double v0 = velocity_;
        if (!setPointActive_ || halt) {
            velocity_ = ramp(velocity_, 0.0);
        } else {
            const double remaining = positionTarget_ - position_;
            const double dir = remaining >= 0 ? 1.0 : -1.0;
            const double vmax = std::max<double>(1, double(value(0x6081, 0)));
            const double stopping = std::sqrt(2 * dec * std::fabs(remaining));
            velocity_ = ramp(velocity_, dir * std::min(vmax, std::max(stopping, 1.0)));
        }
        const double before = positionTarget_ - position_;
        position_ += (v0 + velocity_) / 2 * dt;
        if (setPointActive_ && !halt) {
            const double after = positionTarget_ - position_;
            if (std::fabs(after) < 0.5 || (after > 0) != (before > 0)) {
                position_ = positionTarget_;
                velocity_ = 0;
                setPointActive_ = false;
            }
        }
        break;
    }
    case 4: { // profile torque
        const double target = halt ? 0.0 : double(signExtend(value(0x6071, 0), 2));
        const double slope = std::max<double>(1, double(value(0x6087, 0)));
        torque_ = approach(torque_, target, slope, dt);
        break;
    }
    default:
        velocity_ = ramp(velocity_, 0.0);
        break;
    }
    if (quickStop && velocity_ == 0)
        setDrive(Drive::SwitchOnDisabled);
    updateStatusword();
}

void CanopenNode::publishMotion()
{
    if (Entry *e = entry(0x6064, 0))
        e->value = maskBits(uint64_t(int64_t(std::llround(position_))), 4);
    if (Entry *e = entry(0x606C, 0))
        e->value = maskBits(uint64_t(int64_t(std::llround(velocity_))), 4);
    if (Entry *e = entry(0x6077, 0))
        e->value = maskBits(uint64_t(int64_t(std::llround(torque_))), 2);
}

void CanopenNode::updateStatusword()
{
    publishMotion();
    uint16_t sw = 0;
    switch (drive_) {
    case Drive::NotReadyToSwitchOn: sw = 0x0000; break;
    case Drive::SwitchOnDisabled: sw = 0x0040; break;
    case Drive::ReadyToSwitchOn: sw = 0x0031; break;
    case Drive::SwitchedOn: sw = 0x0033; break;
    case Drive::OperationEnabled: sw = 0x0037; break;
    case Drive::QuickStopActive: sw = 0x0017; break;
    case Drive::FaultReactionActive: sw = 0x001F; break;
    case Drive::Fault: sw = 0x0008; break;
    }
    sw |= 0x0200; // remote: the controlword is obeyed
    if (drive_ == Drive::OperationEnabled) {
        const bool halt = (lastControlword_ & 0x100) != 0;
        bool reached = false;
        switch (signExtend(value(0x6061, 0), 1)) {
        case 1:
            reached = halt ? velocity_ == 0 : !setPointActive_;
            if (lastControlword_ & 0x10)
                sw |= 0x1000; // set-point acknowledged
            break;
        case 3:
            reached = velocity_ == (halt ? 0.0 : double(signExtend(value(0x60FF, 0), 4)));
            break;
        case 4:
            reached = torque_ == (halt ? 0.0 : double(signExtend(value(0x6071, 0), 2)));
            break;
        default:
            break;
        }
        if (reached)
            sw |= 0x0400;
    }
    if (Entry *e = entry(0x6041, 0))
        e->value = sw;
}

CanopenNode *findCanopenNode(World &world, const std::string &busName, uint8_t nodeId)
{
    std::lock_guard<std::recursive_mutex> g(world.lock());
    Bus &bus = world.bus(busName);
    for (size_t i = 0; i < bus.nodeCount(); ++i) {
        auto *node = dynamic_cast<CanopenNode *>(bus.node(i));
        if (node && node->nodeId() == nodeId)
            return node;
    }
    return nullptr;
}

} // namespace plat::sim
