#pragma once
// Where the adapter library lies on this platform. The program names kemusb
// by its Windows file names: "kemusb.dll" for the device layer and
// "KemControl.dll" for the recording adapter's settings; both stand for the
// one library libkemusb.so next to the program (falling back to the build's
// bin folder, for tests run from elsewhere).

#include <QString>

class QUserKemusbPath
{
public:
    // The platform's file name of a library name: "kemusb.dll" and
    // "KemControl.dll" give "libkemusb.so"; any other "x.dll" gives "libx.so".
    static QString platformName(const QString &fileName);
    // The path to load: the override when one is set, else the platform file
    // next to the program, then in the build's bin folder, else the bare
    // file name for the loader's own search.
    static QString resolve(const QString &fileName);
    // Tests point every later load of the adapter library at another file
    // (an empty text restores the normal search).
    static void setPathOverride(const QString &path);
    static QString pathOverride();
};
