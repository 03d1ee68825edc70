#pragma once
// Libraries the program loads by their Windows file names ("kemusb.dll",
// "kemsig.dll", "binlog.dll") and where their files lie on this platform.

#include <QString>

class QUserLibPath
{
public:
    // The platform's file name for a library name: "x.dll" (any case of the
    // suffix) and the bare "x" give "libx.so" here, "x.dll" on Windows.
    static QString platformName(const QString &fileName);
    // The file to load for a platform file name: next to the program, then
    // in $ORVANE_BINARY_DIR/bin, then in the build's bin folder (tests run
    // from elsewhere); else the bare name for the loader's own search.
    static QString find(const QString &platformFile);
};
