// A stand-in for the adapter library with the KCAN_ entry points the device
// layer binds, whose behaviour the tests set through fake_ controls. Every
// adapter is (type, index); frames pushed into a channel's receive queues
// come out of KCAN_Receive / KCAN_ReceiveFD; transmitted records are logged.

#include <chrono>
#include <cstdint>
#include <thread>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "kemusb/include/kcan_records.h"

#define FAKE_API extern "C" __attribute__((visibility("default")))

namespace {

struct TxRecord {
    bool fd = false;
    KCAN_CANFD_OBJ obj{};
};

struct Channel {
    std::deque<KCAN_CAN_OBJ> rx;
    std::deque<KCAN_CANFD_OBJ> rxFd;
    std::vector<TxRecord> tx;
    std::vector<int> txCalls; // count of every transmit call
    int txLimit = -1;         // frames taken per call, -1 all
    KCAN_INIT_CONFIG init{};
    KCAN_INITFD_CONFIG initFd{};
    std::vector<KCAN_FLITER_CONFIG> filters;
    bool started = false;
    uint8_t errorByte = 0;
};

struct Adapter {
    bool opened = false;
    uint32_t openResult = 1;
    uint32_t initResult = 1;
    uint32_t startResult = 1;
    uint8_t relayA = 0, relayB = 0;
    uint32_t relayResult = 1;
    bool gone = false; // pulled out: KCAN_DevIsGone says so while it is open
    std::map<int, Channel> channels;
};

std::mutex mu;
std::map<std::pair<uint32_t, uint32_t>, Adapter> adapters;
std::map<std::string, int> calls;
// Baud detection: frames "arrive" on a channel initialised with one of these pairs.
std::vector<std::pair<int, int>> detectPairs;
bool detectOn = false;
// Late frames: the channel was re-initialised away from a matching timing
// while frames heard under it were still on their way up. They land after
// any clear, for this many receive-count calls; meanwhile the channel state
// shows the error byte of a timing that misses the bus.
int detectLatePolls = 0;
int lateLeft = 0;
// State queries that go unanswered after every channel init (a reply lost
// on a loaded machine).
int stateLostCalls = 0;
int stateLostLeft = 0;
int receiveDelayUs = 0;

bool detectMatches(const KCAN_INIT_CONFIG &init)
{
    for (const auto &p : detectPairs)
        if (init.Timing0 == p.first && init.Timing1 == p.second)
            return true;
    return false;
}

Adapter &adapter(uint32_t t, uint32_t i) { return adapters[{t, i}]; }
void count(const char *name) { calls[name] += 1; }

} // namespace

// ---- controls ------------------------------------------------------------------

FAKE_API void fake_reset()
{
    std::lock_guard<std::mutex> l(mu);
    adapters.clear();
    calls.clear();
    detectPairs.clear();
    detectOn = false;
    detectLatePolls = 0;
    lateLeft = 0;
    stateLostCalls = 0;
    stateLostLeft = 0;
    receiveDelayUs = 0;
}
FAKE_API void fake_setOpenResult(uint32_t t, uint32_t i, uint32_t r)
{
    std::lock_guard<std::mutex> l(mu);
    adapter(t, i).openResult = r;
}
FAKE_API void fake_setInitResult(uint32_t t, uint32_t i, uint32_t r)
{
    std::lock_guard<std::mutex> l(mu);
    adapter(t, i).initResult = r;
}
FAKE_API void fake_setStartResult(uint32_t t, uint32_t i, uint32_t r)
{
    std::lock_guard<std::mutex> l(mu);
    adapter(t, i).startResult = r;
}
FAKE_API void fake_setRelay(uint32_t t, uint32_t i, uint8_t a, uint8_t b, uint32_t r)
{
    std::lock_guard<std::mutex> l(mu);
    Adapter &ad = adapter(t, i);
    ad.relayA = a;
    ad.relayB = b;
    ad.relayResult = r;
}
FAKE_API void fake_setTxLimit(uint32_t t, uint32_t i, int ch, int limit)
{
    std::lock_guard<std::mutex> l(mu);
    adapter(t, i).channels[ch].txLimit = limit;
}
FAKE_API void fake_pushRx(uint32_t t, uint32_t i, int ch, const KCAN_CAN_OBJ *objs, int n)
{
    std::lock_guard<std::mutex> l(mu);
    for (int k = 0; k < n; ++k)
        adapter(t, i).channels[ch].rx.push_back(objs[k]);
}
FAKE_API void fake_pushRxFd(uint32_t t, uint32_t i, int ch, const KCAN_CANFD_OBJ *objs, int n)
{
    std::lock_guard<std::mutex> l(mu);
    for (int k = 0; k < n; ++k)
        adapter(t, i).channels[ch].rxFd.push_back(objs[k]);
}
FAKE_API int fake_txCount(uint32_t t, uint32_t i, int ch)
{
    std::lock_guard<std::mutex> l(mu);
    return int(adapter(t, i).channels[ch].tx.size());
}
// Copies transmitted record k; returns 1 for a CAN FD record, 0 classic, -1 none.
FAKE_API int fake_txGet(uint32_t t, uint32_t i, int ch, int k, KCAN_CANFD_OBJ *out)
{
    std::lock_guard<std::mutex> l(mu);
    auto &tx = adapter(t, i).channels[ch].tx;
    if (k < 0 || k >= int(tx.size()))
        return -1;
    *out = tx[k].obj;
    return tx[k].fd ? 1 : 0;
}
// Sizes of the transmit calls made on a channel, in order.
FAKE_API int fake_txCalls(uint32_t t, uint32_t i, int ch, int *out, int cap)
{
    std::lock_guard<std::mutex> l(mu);
    auto &c = adapter(t, i).channels[ch].txCalls;
    int n = 0;
    for (; n < int(c.size()) && n < cap; ++n)
        out[n] = c[n];
    return int(c.size());
}
FAKE_API int fake_calls(const char *name)
{
    std::lock_guard<std::mutex> l(mu);
    auto it = calls.find(name);
    return it == calls.end() ? 0 : it->second;
}
FAKE_API int fake_isOpen(uint32_t t, uint32_t i)
{
    std::lock_guard<std::mutex> l(mu);
    return adapter(t, i).opened ? 1 : 0;
}
FAKE_API int fake_isStarted(uint32_t t, uint32_t i, int ch)
{
    std::lock_guard<std::mutex> l(mu);
    return adapter(t, i).channels[ch].started ? 1 : 0;
}
FAKE_API void fake_lastInitFd(uint32_t t, uint32_t i, int ch, KCAN_INITFD_CONFIG *out)
{
    std::lock_guard<std::mutex> l(mu);
    *out = adapter(t, i).channels[ch].initFd;
}
FAKE_API void fake_lastInit(uint32_t t, uint32_t i, int ch, KCAN_INIT_CONFIG *out)
{
    std::lock_guard<std::mutex> l(mu);
    *out = adapter(t, i).channels[ch].init;
}
FAKE_API int fake_filters(uint32_t t, uint32_t i, int ch, KCAN_FLITER_CONFIG *out, int cap)
{
    std::lock_guard<std::mutex> l(mu);
    auto &f = adapter(t, i).channels[ch].filters;
    for (int k = 0; k < int(f.size()) && k < cap; ++k)
        out[k] = f[k];
    return int(f.size());
}
FAKE_API void fake_setDetect(const int *pairs, int n)
{
    std::lock_guard<std::mutex> l(mu);
    detectPairs.clear();
    for (int k = 0; k < n; ++k)
        detectPairs.push_back({pairs[2 * k], pairs[2 * k + 1]});
    detectOn = true;
}
FAKE_API void fake_setDetectLate(int polls)
{
    std::lock_guard<std::mutex> l(mu);
    detectLatePolls = polls;
    lateLeft = 0;
}
FAKE_API void fake_setStateLost(int calls)
{
    std::lock_guard<std::mutex> l(mu);
    stateLostCalls = calls;
    stateLostLeft = 0;
}
// The adapter leaves the host (or comes back): KCAN_DevIsGone answers 1
// while it is open, and its queues give nothing more.
FAKE_API void fake_setGone(uint32_t t, uint32_t i, int gone)
{
    std::lock_guard<std::mutex> l(mu);
    adapter(t, i).gone = gone != 0;
}
// Every classic receive call sleeps this long (a slow driver turn).
FAKE_API void fake_setReceiveDelayUs(int us)
{
    std::lock_guard<std::mutex> l(mu);
    receiveDelayUs = us;
}

// ---- the library -----------------------------------------------------------------

FAKE_API uint32_t KCAN_DevIsGone(uint32_t t, uint32_t i)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_DevIsGone");
    const Adapter &a = adapter(t, i);
    return a.opened && a.gone ? 1 : 0;
}

FAKE_API uint32_t KCAN_OpenDevice(uint32_t t, uint32_t i)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_OpenDevice");
    Adapter &a = adapter(t, i);
    if (a.openResult == 1)
        a.opened = true;
    return a.openResult;
}
FAKE_API uint32_t KCAN_CloseDevice(uint32_t t, uint32_t i)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_CloseDevice");
    Adapter &a = adapter(t, i);
    a.opened = false;
    for (auto &c : a.channels)
        c.second.started = false;
    return 1;
}
FAKE_API uint32_t KCAN_InitCAN(uint32_t t, uint32_t i, uint32_t ch, KCAN_INIT_CONFIG *cfg)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_InitCAN");
    Adapter &a = adapter(t, i);
    if (detectOn && detectLatePolls > 0)
        lateLeft = detectMatches(a.channels[int(ch)].init) && !detectMatches(*cfg) ? detectLatePolls : 0;
    a.channels[int(ch)].init = *cfg;
    stateLostLeft = stateLostCalls;
    return a.initResult;
}
FAKE_API uint32_t KCAN_InitCANFD(uint32_t t, uint32_t i, uint32_t ch, KCAN_INITFD_CONFIG *cfg)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_InitCANFD");
    Adapter &a = adapter(t, i);
    a.channels[int(ch)].initFd = *cfg;
    return a.opened ? a.initResult : 0;
}
FAKE_API uint32_t KCAN_SetFliter(uint32_t t, uint32_t i, uint32_t ch, KCAN_FLITER_CONFIG *cfg)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_SetFliter");
    adapter(t, i).channels[int(ch)].filters.push_back(*cfg);
    return 1;
}
FAKE_API uint32_t KCAN_Start(uint32_t t, uint32_t i, uint32_t ch)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_Start");
    Adapter &a = adapter(t, i);
    if (a.startResult)
        a.channels[int(ch)].started = true;
    return a.startResult;
}
FAKE_API uint32_t KCAN_Stop(uint32_t t, uint32_t i, uint32_t ch)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_Stop");
    adapter(t, i).channels[int(ch)].started = false;
    return 1;
}
FAKE_API uint32_t KCAN_ClearBuffer(uint32_t t, uint32_t i, uint32_t ch)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_ClearBuffer");
    Channel &c = adapter(t, i).channels[int(ch)];
    c.rx.clear();
    c.rxFd.clear();
    return 1;
}
FAKE_API uint32_t KCAN_GetReceiveNum(uint32_t t, uint32_t i, uint32_t ch, uint8_t kind)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_GetReceiveNum");
    Channel &c = adapter(t, i).channels[int(ch)];
    if (detectOn) {
        if (detectMatches(c.init))
            return 3;
        if (lateLeft > 0) {
            --lateLeft;
            return 1;
        }
        return 0;
    }
    return uint32_t(kind == 0 ? c.rx.size() : kind == 1 ? c.rxFd.size() : c.rx.size() + c.rxFd.size());
}
FAKE_API uint32_t KCAN_Receive(uint32_t t, uint32_t i, uint32_t ch, KCAN_CAN_OBJ *buf, uint32_t n, int32_t)
{
    int delay;
    {
        std::lock_guard<std::mutex> l(mu);
        delay = receiveDelayUs;
    }
    if (delay > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(delay));
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_Receive");
    Channel &c = adapter(t, i).channels[int(ch)];
    uint32_t k = 0;
    while (k < n && !c.rx.empty()) {
        buf[k++] = c.rx.front();
        c.rx.pop_front();
    }
    return k;
}
FAKE_API uint32_t KCAN_ReceiveFD(uint32_t t, uint32_t i, uint32_t ch, KCAN_CANFD_OBJ *buf, uint32_t n, int32_t)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_ReceiveFD");
    Channel &c = adapter(t, i).channels[int(ch)];
    uint32_t k = 0;
    while (k < n && !c.rxFd.empty()) {
        buf[k++] = c.rxFd.front();
        c.rxFd.pop_front();
    }
    return k;
}
FAKE_API uint32_t KCAN_Transmit(uint32_t t, uint32_t i, uint32_t ch, const KCAN_CAN_OBJ *objs, uint32_t n)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_Transmit");
    Channel &c = adapter(t, i).channels[int(ch)];
    c.txCalls.push_back(int(n));
    uint32_t take = (c.txLimit >= 0 && uint32_t(c.txLimit) < n) ? uint32_t(c.txLimit) : n;
    for (uint32_t k = 0; k < take; ++k) {
        TxRecord r;
        r.fd = false;
        std::memcpy(&r.obj, &objs[k], sizeof(KCAN_CAN_OBJ));
        c.tx.push_back(r);
    }
    return take;
}
FAKE_API uint32_t KCAN_TransmitFD(uint32_t t, uint32_t i, uint32_t ch, const KCAN_CANFD_OBJ *objs, uint32_t n)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_TransmitFD");
    Channel &c = adapter(t, i).channels[int(ch)];
    c.txCalls.push_back(-int(n)); // negative: a CAN FD call
    uint32_t take = (c.txLimit >= 0 && uint32_t(c.txLimit) < n) ? uint32_t(c.txLimit) : n;
    for (uint32_t k = 0; k < take; ++k) {
        TxRecord r;
        r.fd = true;
        r.obj = objs[k];
        c.tx.push_back(r);
    }
    return take;
}
FAKE_API uint32_t KCAN_DataDirectTransfer(uint32_t, uint32_t, uint8_t *, int32_t)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_DataDirectTransfer");
    return 0;
}
FAKE_API uint32_t KCAN_DevChStateGet(uint32_t t, uint32_t i, uint32_t ch, uint8_t *a, uint8_t *b, uint8_t *c)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_DevChStateGet");
    if (stateLostLeft > 0) {
        --stateLostLeft;
        return 0;
    }
    *a = 0;
    *b = 0;
    const Channel &chan = adapter(t, i).channels[int(ch)];
    *c = chan.errorByte;
    if (detectOn && detectLatePolls > 0 && !detectMatches(chan.init))
        *c = 1;
    return 1;
}
FAKE_API uint32_t KCAN_DevRelayStatusSet(uint32_t t, uint32_t i, uint8_t a, uint8_t b)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_DevRelayStatusSet");
    Adapter &ad = adapter(t, i);
    ad.relayA = a;
    ad.relayB = b;
    return 1;
}
FAKE_API uint32_t KCAN_DevRelayStatusGet(uint32_t t, uint32_t i, uint8_t *a, uint8_t *b)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_DevRelayStatusGet");
    Adapter &ad = adapter(t, i);
    *a = ad.relayA;
    *b = ad.relayB;
    return ad.relayResult;
}
FAKE_API uint32_t KCAN_DevBaudParaGet(uint32_t, uint32_t, uint32_t, uint8_t *t0, uint8_t *t1)
{
    std::lock_guard<std::mutex> l(mu);
    count("KCAN_DevBaudParaGet");
    *t0 = 0x00;
    *t1 = 0x1C;
    return 1;
}
