// The main of a fuzz target built without libFuzzer: it runs the target's
// entry point over a few built-in inputs and then over every file named on
// the command line (a folder stands for the files in it, in name order), so
// that a target which stops compiling, or crashes on one of its seeds, fails
// the tests of every build. Each input is handed over in a heap block of its
// exact size, as libFuzzer does, so a sanitizer build sees a read past it.
//
//   fuzz_core_framer                      built-in inputs only
//   fuzz_core_framer fuzz/seeds/<target>  built-in inputs, then the seeds
//
// Exit 0 when every input ran; 2 when a named file or folder cannot be read.
// A crash or an abort() of the target ends the program as it would end the
// fuzzer.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
// Optional in a target; the replay calls it first, as libFuzzer does.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) __attribute__((weak));

namespace {

using Input = std::vector<uint8_t>;

Input bytesOf(const std::string &s)
{
    return Input(s.begin(), s.end());
}

// Inputs every target gets: the empty input, single bytes at the edges,
// short texts of the kinds the targets read, and pseudo-random blocks of a
// fixed seed up to libFuzzer's default length limit.
std::vector<Input> builtInInputs()
{
    std::vector<Input> in;
    in.push_back({});
    for (uint8_t b : {0x00, 0x01, 0x0A, 0x30, 0x7F, 0x80, 0xFF})
        in.push_back({b});
    for (const char *t : {"0", "-1", "FFFFFFFF", "7FF", "1FFFFFFF", "0,0,0", "\r\n", ",,,,,,,,,,,,",
                          "BO_ 100 M: 8 Vector__XXX\n SG_ S : 0|8@1+ (1,0) [0|255] \"\" Vector__XXX\n",
                          "date Mon Jan 1 00:00:00 2024\nbase hex  timestamps absolute\n"
                          "   0.000100 1  123             Rx   d 8 00 11 22 33 44 55 66 77\n"})
        in.push_back(bytesOf(t));
    uint32_t x = 0x2545F491u;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    for (size_t len : {2u, 3u, 7u, 8u, 16u, 19u, 20u, 24u, 32u, 64u, 76u, 80u, 256u, 320u, 512u, 1024u, 4096u}) {
        Input b(len);
        for (auto &c : b)
            c = uint8_t(next());
        in.push_back(std::move(b));
    }
    for (size_t len : {8u, 64u, 4096u}) {
        in.push_back(Input(len, 0x00));
        in.push_back(Input(len, 0xFF));
    }
    return in;
}

bool readFile(const std::filesystem::path &p, Input *out)
{
    std::ifstream f(p, std::ios::binary);
    if (!f)
        return false;
    out->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return !f.bad();
}

// The files a command-line argument stands for; false when it names nothing
// readable (a seed folder that moved must fail the test, not pass empty).
bool collect(const std::string &arg, std::vector<Input> *out)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path p(arg);
    if (fs::is_directory(p, ec)) {
        std::vector<fs::path> files;
        for (const auto &e : fs::directory_iterator(p, ec))
            if (e.is_regular_file())
                files.push_back(e.path());
        if (ec)
            return false;
        std::sort(files.begin(), files.end());
        for (const auto &f : files) {
            Input in;
            if (!readFile(f, &in))
                return false;
            out->push_back(std::move(in));
        }
        return true;
    }
    Input in;
    if (!fs::is_regular_file(p, ec) || !readFile(p, &in))
        return false;
    out->push_back(std::move(in));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // Everything is read before the target's set-up, which may change the
    // working directory.
    std::vector<Input> inputs = builtInInputs();
    const size_t builtIn = inputs.size();
    for (int i = 1; i < argc; ++i) {
        if (!collect(argv[i], &inputs)) {
            std::fprintf(stderr, "fuzz replay: cannot read %s\n", argv[i]);
            return 2;
        }
    }
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    for (const Input &in : inputs) {
        std::unique_ptr<uint8_t[]> block(new uint8_t[in.empty() ? 1 : in.size()]);
        if (!in.empty())
            std::memcpy(block.get(), in.data(), in.size());
        LLVMFuzzerTestOneInput(block.get(), in.size());
    }
    std::printf("fuzz replay: %zu built-in inputs, %zu seeds\n", builtIn, inputs.size() - builtIn);
    return 0;
}
