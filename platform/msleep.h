#pragma once
// The millisecond sleep the bridge code waits with between a request and its answer.

#include <cstdint>

namespace platform {

void msleep(uint32_t ms);

}  // namespace platform
