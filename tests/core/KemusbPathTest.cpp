// Where the adapter library is looked for under either name the program
// gives it.

#include "core/QUserKemusbPath.h"

#include <gtest/gtest.h>

TEST(KemusbPath, BothNamesStandForTheOneLibrary)
{
    struct Case {
        const char *name;
        const char *file;
    };
    for (const Case &c : {Case{"kemusb.dll", "libkemusb.so"}, Case{"KemControl.dll", "libkemusb.so"},
                          Case{"KEMCONTROL.DLL", "libkemusb.so"}, Case{"KemControl", "libkemusb.so"},
                          Case{"binlog.dll", "libbinlog.so"}})
        EXPECT_EQ(QUserKemusbPath::platformName(c.name), QString(c.file)) << c.name;

    const QString a = QUserKemusbPath::resolve("KemControl.dll");
    EXPECT_EQ(a, QUserKemusbPath::resolve("kemusb.dll"));
    EXPECT_TRUE(a.endsWith("libkemusb.so")) << a.toStdString();

    QUserKemusbPath::setPathOverride("/elsewhere/libx.so");
    EXPECT_EQ(QUserKemusbPath::resolve("KemControl.dll"), QString("/elsewhere/libx.so"));
    QUserKemusbPath::setPathOverride(QString());
    EXPECT_EQ(QUserKemusbPath::resolve("KemControl.dll"), a);
}
