#include <QApplication>
#include <gtest/gtest.h>
#include <cstdlib>

// The framework keeps a few process-wide allocations until exit; leak reports
// of widget tests under AddressSanitizer are noise.
extern "C" const char *__asan_default_options()
{
    return "detect_leaks=0";
}

int main(int argc, char **argv)
{
    // Widget tests never open a real window.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
