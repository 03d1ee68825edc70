#include "kemusb/src/sim/KemSimFirmware.h"

#include "platform/PlatBytes.h"

#include <cstring>

namespace kemusb::sim {

namespace {

// A frame longer than this is not one the host would send (a data packet of
// 4096 bytes is 4117); its header is taken for noise.
constexpr size_t kLongestFrame = 8192;

enum : uint8_t {
    kVersion = 1,
    kStart = 10,
    kPacket = 11,
    kReplyCommand = 0xFF,
};

enum : uint8_t {
    kOk = 0,
    kRefused = 1,
    kNotStarted = 2,
    kTooLong = 3,
    kOutOfOrder = 4,
};

// The entries of a tag list that lie whole inside [p, p + n).
struct TagEntry {
    uint8_t tag;
    const uint8_t *value;
    size_t len;
};

std::vector<TagEntry> tagEntries(const uint8_t *p, size_t n)
{
    std::vector<TagEntry> out;
    if (n == 0)
        return out;
    size_t off = 1;
    for (unsigned k = 0; k < p[0]; ++k) {
        if (off + 3 > n)
            break;
        const size_t len = plat::le16(p + off + 1);
        if (off + 3 + len > n)
            break;
        out.push_back({p[off], p + off + 3, len});
        off += 3 + len;
    }
    return out;
}

void appendEntry(std::vector<uint8_t> &out, uint8_t tag, const uint8_t *value, size_t len)
{
    out.push_back(tag);
    out.push_back(uint8_t(len));
    out.push_back(uint8_t(len >> 8));
    out.insert(out.end(), value, value + len);
}

} // namespace

void SimFirmTarget::requestMode(bool on)
{
    updateMode_ = on;
    acc_.clear();
    if (!on)
        started_ = false;
}

void SimFirmTarget::reset()
{
    updateMode_ = false;
    started_ = false;
    image_.clear();
    imageSize_ = 0;
    next_ = 0;
    acc_.clear();
    ++stats_.resets;
}

void SimFirmTarget::receive(const uint8_t *data, size_t len, std::vector<Reply> &out)
{
    acc_.insert(acc_.end(), data, data + len);
    size_t pos = 0;
    while (pos < acc_.size()) {
        if (acc_[pos] != 0xFA) {
            ++pos;
            continue;
        }
        const size_t have = acc_.size() - pos;
        if (have >= 2 && acc_[pos + 1] != 0xD6) {
            ++pos;
            continue;
        }
        if (have >= 3 && acc_[pos + 2] != 0x5A) {
            ++pos;
            continue;
        }
        if (have < 8)
            break;
        const size_t payload = plat::le16(&acc_[pos + 6]);
        const size_t total = payload + 10;
        if (total > kLongestFrame) {
            ++pos;
            continue;
        }
        if (have < total)
            break;
        unsigned sum = 0;
        for (size_t i = pos + 3; i < pos + 8 + payload; ++i)
            sum += acc_[i];
        if (uint16_t(sum) != plat::le16(&acc_[pos + 8 + payload])) {
            ++stats_.badSums;
            ++pos;
            continue;
        }
        ++stats_.frames;
        // Handling may reset the target, which empties acc_: work on a copy.
        const std::vector<uint8_t> frame(acc_.begin() + long(pos), acc_.begin() + long(pos + total));
        pos += total;
        const size_t before = stats_.resets;
        handle(frame.data(), frame.size(), out);
        if (stats_.resets != before)
            return;
    }
    acc_.erase(acc_.begin(), acc_.begin() + long(pos));
}

void SimFirmTarget::answer(uint16_t seq, uint8_t cmd, uint8_t status, const std::vector<uint8_t> &data,
                           std::vector<Reply> &out)
{
    const bool faulty = faults_.after <= 0;
    if (!faulty)
        --faults_.after;
    if (faulty && faults_.silent > 0) {
        --faults_.silent;
        return;
    }
    Reply r;
    std::vector<uint8_t> &f = r.frame;
    const size_t payload = data.size() + 2;
    f = {0xFA, 0xD6, 0x5A, uint8_t(seq), uint8_t(seq >> 8), kReplyCommand, uint8_t(payload), uint8_t(payload >> 8),
         cmd, status};
    f.insert(f.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (size_t i = 3; i < f.size(); ++i)
        sum += f[i];
    if (faulty && faults_.badSum > 0) {
        --faults_.badSum;
        ++sum;
    }
    f.push_back(uint8_t(sum));
    f.push_back(uint8_t(sum >> 8));
    if (faulty && faults_.late > 0) {
        --faults_.late;
        r.delayMs = faults_.lateMs;
    }
    out.push_back(std::move(r));
}

void SimFirmTarget::handle(const uint8_t *f, size_t total, std::vector<Reply> &out)
{
    const uint16_t seq = plat::le16(f + 3);
    const uint8_t cmd = f[5];
    const uint8_t *payload = f + 8;
    const size_t len = total - 10;
    const std::vector<TagEntry> entries = tagEntries(payload, len);
    switch (cmd) {
    case kVersion: {
        uint8_t v[4] = {uint8_t(hw_), uint8_t(hw_ >> 8), uint8_t(fw_), uint8_t(fw_ >> 8)};
        std::vector<uint8_t> data{1};
        appendEntry(data, 0, v, 4);
        answer(seq, cmd, kOk, data, out);
        return;
    }
    case kStart: {
        bool sized = false;
        uint32_t size = 0;
        uint8_t config[sizeof config_] = {};
        for (const TagEntry &e : entries) {
            if (e.tag == 0 && e.len == 4) {
                size = plat::le32(e.value);
                sized = true;
            } else if (e.tag == 1) {
                std::memset(config, 0, sizeof config);
                std::memcpy(config, e.value, e.len < sizeof config ? e.len : sizeof config);
            }
        }
        if (!sized) {
            answer(seq, cmd, kRefused, {}, out);
            return;
        }
        std::memcpy(config_, config, sizeof config_);
        started_ = true;
        imageSize_ = size;
        image_.clear();
        next_ = 0;
        ++stats_.starts;
        uint8_t ps[4] = {uint8_t(packetSize_), uint8_t(packetSize_ >> 8), uint8_t(packetSize_ >> 16),
                         uint8_t(packetSize_ >> 24)};
        std::vector<uint8_t> data{1};
        appendEntry(data, 0, ps, 4);
        answer(seq, cmd, kOk, data, out);
        return;
    }
    case kPacket: {
        if (!started_) {
            answer(seq, cmd, kNotStarted, {}, out);
            return;
        }
        const TagEntry *index = nullptr;
        const TagEntry *bytes = nullptr;
        for (const TagEntry &e : entries) {
            if (e.tag == 0 && e.len == 4)
                index = &e;
            else if (e.tag == 1)
                bytes = &e;
        }
        if (!index || !bytes) {
            answer(seq, cmd, kRefused, {}, out);
            return;
        }
        if (faults_.refuse > 0) {
            --faults_.refuse;
            ++stats_.refused;
            answer(seq, cmd, kRefused, {}, out);
            return;
        }
        const uint32_t i = plat::le32(index->value);
        if (next_ > 0 && i == next_ - 1) {
            // The host did not hear our answer and sends it again.
            ++stats_.repeats;
            answer(seq, cmd, kOk, {}, out);
            return;
        }
        if (i != next_) {
            answer(seq, cmd, kOutOfOrder, {}, out);
            return;
        }
        if (bytes->len > packetSize_ || image_.size() + bytes->len > imageSize_) {
            answer(seq, cmd, kTooLong, {}, out);
            return;
        }
        image_.insert(image_.end(), bytes->value, bytes->value + bytes->len);
        ++next_;
        ++stats_.packets;
        if (faults_.resetAfter > 0 && --faults_.resetAfter == 0) {
            faults_.resetAfter = -1;
            reset();
            return;
        }
        answer(seq, cmd, kOk, {}, out);
        return;
    }
    default:
        answer(seq, cmd, kRefused, {}, out);
        return;
    }
}

} // namespace kemusb::sim
