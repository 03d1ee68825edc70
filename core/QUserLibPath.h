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
    // Keeps the library of this path loaded for the rest of the process
    // once it has loaded (true), so that objects that load and unload it on
    // several threads with no user that outlives them all (the BLF front
    // ends of recorders, playback, viewer and saves) never unload it from
    // under each other: Qt 5's
    // unload of the last user clears the shared handle while another
    // thread's load takes it as loaded, and that thread's next resolve
    // reads a closed handle. Called before an object's own load; a path
    // that does not load is tried again at the next call.
    static bool keepLoaded(const QString &path);
};
