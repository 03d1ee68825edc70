#pragma once
// A fresh, empty working directory for one test. The program keeps
// "setting/", "cache/" and "log" relative to the working directory, so every
// test that touches them runs inside one of these.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <cstdlib>
#include <unistd.h>

class TempWorkDir
{
public:
    TempWorkDir()
    {
        namespace fs = std::filesystem;
        previous_ = fs::current_path();
        std::string templ = (fs::temp_directory_path() / "orvane-test-XXXXXX").string();
        char *made = mkdtemp(templ.data());
        if (!made)
            throw std::runtime_error("mkdtemp failed");
        path_ = made;
        fs::current_path(path_);
    }
    ~TempWorkDir()
    {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempWorkDir(const TempWorkDir &) = delete;
    TempWorkDir &operator=(const TempWorkDir &) = delete;

    const std::filesystem::path &path() const { return path_; }
    std::string file(const std::string &relative) const { return (path_ / relative).string(); }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

// Fixture form: every TEST_F runs in its own fresh working directory.
class WorkDirTest : public ::testing::Test
{
protected:
    TempWorkDir workDir;
};
