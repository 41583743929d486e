#include "msleep.h"

#include <chrono>
#include <thread>

namespace platform {

void msleep(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace platform
