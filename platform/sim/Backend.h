#pragma once
// The "sim" transport back end: the simulated world's adapters behind the
// same enumeration, open and pipe calls as real ones.

#include "platform/PlatUsb.h"

#include <memory>

namespace plat::sim {

std::shared_ptr<UsbBackend> makeSimBackend();

} // namespace plat::sim
