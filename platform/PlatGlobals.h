#pragma once
// Process-wide state of the platform layer (tick source, transport back end,
// simulated world) lives on the heap and is never destroyed by static
// destructors: device threads may still run while those execute at process
// exit. A library that can be unloaded calls releaseGlobals() from its unload
// hook, once every device thread has been joined, so nothing is left behind.

namespace plat {

// Registers a function that frees one module's state (called once each,
// latest first, by releaseGlobals).
void atRelease(void (*fn)());
void releaseGlobals();

} // namespace plat
