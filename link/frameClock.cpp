#include "frameClock.h"

#include <chrono>

namespace frameClock {

namespace {

struct Anchor {
    // Taken together, at full resolution, so that the clock starts where the wall clock stands.
    const std::chrono::system_clock::time_point wall = std::chrono::system_clock::now();
    const std::chrono::steady_clock::time_point steady = std::chrono::steady_clock::now();
};

}  // namespace

qint64 nowMs()
{
    static const Anchor anchor;  // made once, thread-safe
    const auto since1970 = anchor.wall.time_since_epoch() + (std::chrono::steady_clock::now() - anchor.steady);
    return std::chrono::duration_cast<std::chrono::milliseconds>(since1970).count();
}

}  // namespace frameClock
