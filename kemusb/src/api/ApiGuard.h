#pragma once
// The boundary of every exported function: no C++ exception may reach a C
// caller (it would unwind through frames that know nothing of it, or end the
// process). An exception thrown below (an allocation that failed, a thread
// that could not be started) becomes the function's failure value.

#include <cstdint>

namespace kemusb::api {

// f() as the function's result; `failure` when f throws.
template<class R, class F>
R guarded(R failure, F &&f) noexcept
{
    try {
        return f();
    } catch (...) {
        return failure;
    }
}

// For the functions whose failure value is 0.
template<class F>
uint32_t guarded0(F &&f) noexcept
{
    return guarded<uint32_t>(0, static_cast<F &&>(f));
}

} // namespace kemusb::api
