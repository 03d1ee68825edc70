#pragma once
// Lifetime of the library: every device object and every running device
// thread is known here, so that tearing the library down (unload, process
// exit) closes each device and joins each thread before the code goes away.

#include <functional>

namespace kemusb {

class QDevice;
class DeviceThread;

void trackDevice(QDevice *dev);
void untrackDevice(QDevice *dev);
void trackThread(DeviceThread *t);
void untrackThread(DeviceThread *t);

// Runs first at teardown, latest added first: the registries close and
// delete the devices they own.
void addShutdownHook(std::function<void()> hook);

// Runs the hooks, then calls Close() on every device still alive, then stops
// every device thread still running. Safe to call more than once.
void shutdownLibrary();

// Frees the bookkeeping itself; for the unload hook, after shutdownLibrary().
void releaseLibraryState();

int liveDeviceCount();
int runningThreadCount();

} // namespace kemusb
