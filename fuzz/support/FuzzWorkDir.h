#pragma once
// A working folder of its own for a fuzz target whose code under test writes
// files relative to the working directory: made in the temporary folder,
// entered, and removed again when the program exits normally (a crash leaves
// it for a look). Call once, from LLVMFuzzerInitialize.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

inline void fuzzWorkDirEnter(const char *tag)
{
    static std::string dir;
    std::string templ = (std::filesystem::temp_directory_path() / (std::string("orvane-fuzz-") + tag + "-XXXXXX")).string();
    if (!mkdtemp(templ.data()) || chdir(templ.c_str()) != 0)
        abort();
    dir = templ;
    std::atexit([] {
        std::error_code ec;
        std::filesystem::current_path(std::filesystem::temp_directory_path(), ec);
        std::filesystem::remove_all(dir, ec);
    });
}
