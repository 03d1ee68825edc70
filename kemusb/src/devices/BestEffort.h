#pragma once
// A step whose failure changes nothing, such as the channel resets of a
// close: whatever it throws is dropped, so that a close (which destructors
// and the library's teardown make) always completes.

namespace kemusb {

template<class F>
void bestEffort(F &&f) noexcept
{
    try {
        f();
    } catch (...) {
    }
}

} // namespace kemusb
