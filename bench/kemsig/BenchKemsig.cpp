// kemsig figures: KDBC_Decode per frame (hits with 8 and 64 signals, a miss)
// and loading a DBC file of 2,000 messages with 20 signals each.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <malloc.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "kemusb/include/kcan_records.h"
#include "kemsig/include/kemsig.h"

namespace {

struct DbDeleter {
    void operator()(DbcDatabase *db) const { KDBC_Release(db); }
};
using Db = std::unique_ptr<DbcDatabase, DbDeleter>;

std::unique_ptr<DbcMessage> zeroed()
{
    auto m = std::make_unique<DbcMessage>();
    std::memset(m.get(), 0, sizeof(DbcMessage));
    return m;
}

// A table of 500 messages, among them 0x123 (8 signals, 8 bytes) and 0x456
// (64 signals, 64 bytes), both with a mix of byte orders and signedness.
Db makeTable()
{
    Db db(KDBC_Init());
    auto m = zeroed();
    for (uint32_t id = 0x100; id < 0x100 + 500; ++id) {
        std::memset(m.get(), 0, sizeof(DbcMessage));
        m->nID = id;
        m->nSize = 8;
        std::snprintf(m->strName, sizeof m->strName, "Msg%u", id);
        uint32_t n = 4;
        if (id == 0x123)
            n = 8;
        if (id == 0x200) {
            n = 64;
            m->nSize = 64;
        }
        const uint32_t bits = m->nSize * 8 / n;
        for (uint32_t i = 0; i < n; ++i) {
            DbcSignal &s = m->sSignals[i];
            s.nLen = int32_t(bits);
            s.isMotorola = i % 2;
            s.isSigned = i % 3 == 0;
            s.nStartBit = int32_t(s.isMotorola ? i * bits + 7 : i * bits);
            s.nFactor = 0.125;
            s.nOffset = -40;
            std::snprintf(s.strName, sizeof s.strName, "Sig%u", i);
        }
        m->nSignalCount = n;
        KDBC_InsertMessage(db.get(), m.get());
    }
    return db;
}

void BM_DecodeHit8Signals(benchmark::State &state)
{
    Db db = makeTable();
    auto out = zeroed();
    KCAN_CAN_OBJ f;
    std::memset(&f, 0, sizeof f);
    f.ID = 0x123;
    f.DataLen = 8;
    for (int i = 0; i < 8; ++i)
        f.Data[i] = uint8_t(0x11 * (i + 1));
    double sum = 0;
    for (auto _ : state) {
        f.Data[0]++;
        if (KDBC_Decode(db.get(), &f, 0, out.get()) != 0)
            state.SkipWithError("miss");
        for (uint32_t i = 0; i < out->nSignalCount; ++i)
            sum += KDBC_CalcPhysicalValue(&out->sSignals[i], out->sSignals[i].nRawValue);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("decode + 8 physical values");
}
BENCHMARK(BM_DecodeHit8Signals);

void BM_DecodeHit64SignalsFd(benchmark::State &state)
{
    Db db = makeTable();
    auto out = zeroed();
    KCAN_CANFD_OBJ f;
    std::memset(&f, 0, sizeof f);
    f.ID = 0x200;
    f.DataLen = 64;
    for (int i = 0; i < 64; ++i)
        f.Data[i] = uint8_t(i * 37);
    double sum = 0;
    for (auto _ : state) {
        f.Data[0]++;
        if (KDBC_Decode(db.get(), &f, 1, out.get()) != 0)
            state.SkipWithError("miss");
        for (uint32_t i = 0; i < out->nSignalCount; ++i)
            sum += KDBC_CalcPhysicalValue(&out->sSignals[i], out->sSignals[i].nRawValue);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("decode + 64 physical values");
}
BENCHMARK(BM_DecodeHit64SignalsFd);

void BM_DecodeMiss(benchmark::State &state)
{
    Db db = makeTable();
    auto out = zeroed();
    KCAN_CAN_OBJ f;
    std::memset(&f, 0, sizeof f);
    f.ID = 0x7FF;
    f.DataLen = 8;
    for (auto _ : state)
        benchmark::DoNotOptimize(KDBC_Decode(db.get(), &f, 0, out.get()));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeMiss);

// 2,000 messages of 20 signals each, with comments and value tables as a
// real database has them (message comments in code page 936).
const std::string &bigDbcPath()
{
    static std::string path;
    if (!path.empty())
        return path;
    char templ[] = "/tmp/kemsig-bench-XXXXXX";
    int fd = mkstemp(templ);
    close(fd);
    path = templ;
    std::mt19937 rng(2000);
    std::string text = "VERSION \"\"\n\nNS_ :\n\nBS_:\n\nBU_: ECU GW\n\n";
    std::string cms, vals;
    char line[256];
    for (uint32_t m = 0; m < 2000; ++m) {
        const uint32_t id = m < 1000 ? m : (0x80000000u | (0x18F00000u + m));
        std::snprintf(line, sizeof line, "BO_ %u Message_%u: 8 ECU\n", id, m);
        text += line;
        for (uint32_t s = 0; s < 20; ++s) {
            const uint32_t start = uint32_t(rng() % 56);
            const bool moto = rng() & 1;
            std::snprintf(line, sizeof line,
                          " SG_ Signal_%u_%u : %u|%u@%d%c (0.125,-40) [-40|215.875] \"degC\" GW\n", m, s,
                          unsigned(moto ? start + 7 : start), unsigned(1 + rng() % 8), moto ? 0 : 1, (rng() & 1) ? '+' : '-');
            text += line;
            if (s == 0) {
                std::snprintf(line, sizeof line, "CM_ SG_ %u Signal_%u_%u \"first signal of %u\";\n", id, m, s, m);
                cms += line;
                std::snprintf(line, sizeof line, "VAL_ %u Signal_%u_%u 0 \"Off\" 1 \"On\" 2 \"Error\" 3 \"N/A\" ;\n",
                              id, m, s);
                vals += line;
            }
        }
        text += "\n";
        std::snprintf(line, sizeof line, "CM_ BO_ %u \"message %u \xB1\xA8\xCE\xC4\";\n", id, m);
        cms += line;
    }
    text += cms + "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;\n" + vals;
    FILE *f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return path;
}

long fileSize(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? long(st.st_size) : 0;
}

long statusKb(const char *key)
{
    FILE *f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long v = -1;
    const size_t n = std::strlen(key);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, key, n) == 0)
            v = std::atol(line + n);
    std::fclose(f);
    return v;
}

// Peak resident memory added by one load, measured in a child process whose
// high-water mark is reset first: returns megabytes, or -1.
double peakLoadMb(const std::string &path)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        // Hand freed heap pages back first, so that a load reusing them
        // still shows as growth.
        malloc_trim(0);
        FILE *c = std::fopen("/proc/self/clear_refs", "w");
        if (c) {
            std::fputs("5", c);
            std::fclose(c);
        }
        const long before = statusKb("VmHWM:");
        long grown = -1;
        {
            Db db(KDBC_Init());
            if (KDBC_LoadFile(db.get(), path.c_str()) == 1)
                grown = statusKb("VmHWM:") - before;
        }
        ssize_t w = write(fds[1], &grown, sizeof grown);
        (void)w;
        _exit(0);
    }
    close(fds[1]);
    long grown = -1;
    if (read(fds[0], &grown, sizeof grown) != ssize_t(sizeof grown))
        grown = -1;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return grown < 0 ? -1 : double(grown) / 1024.0;
}

void BM_LoadFile2000x20(benchmark::State &state)
{
    const std::string &path = bigDbcPath();
    const double peak = peakLoadMb(path);
    for (auto _ : state) {
        Db db(KDBC_Init());
        if (KDBC_LoadFile(db.get(), path.c_str()) != 1 || KDBC_GetMessageCount(db.get()) != 2000)
            state.SkipWithError("load failed");
    }
    state.counters["peak_MB"] = peak;
    state.counters["file_MB"] = double(fileSize(path)) / (1024.0 * 1024.0);
}
BENCHMARK(BM_LoadFile2000x20)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
