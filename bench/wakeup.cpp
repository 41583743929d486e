// How late this machine wakes a thread that sleeps a millisecond at a time, as the bus worker's
// tick does between its polls. Nothing of the program runs: what this finds late is the machine's
// own (a virtual machine's host, power saving), and it holds the worker up just as long.
//
//     wakeup_bench [--seconds S]      (default 60)

#include "benchSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int kDefaultSeconds = 60;
constexpr double kLateMs[] = {2, 5, 10, 50};

}  // namespace

int main(int argc, char** argv)
{
    using Clock = std::chrono::steady_clock;
    const int seconds = std::max(1, bench::intOption(argc, argv, "--seconds", kDefaultSeconds));
    std::printf("wake-up bench: a thread sleeping until the next millisecond, %d s\n", seconds);
    std::vector<double> late;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    auto next = Clock::now();
    while (next < end) {
        next += std::chrono::milliseconds(1);
        std::this_thread::sleep_until(next);
        const auto now = Clock::now();
        late.push_back(std::chrono::duration<double, std::milli>(now - next).count());
        if (now > next + std::chrono::milliseconds(1))
            next = now;  // a late wake-up starts the schedule afresh, as the tick does
    }
    for (double limit : kLateMs)
        std::printf("  woken more than %2.0f ms late: %lld times\n", limit,
                    static_cast<long long>(std::count_if(late.begin(), late.end(), [limit](double l) { return l > limit; })));
    std::sort(late.begin(), late.end());
    std::printf("  lateness: median %.3f ms, 99.9th percentile %.3f ms, worst %.1f ms (%zu wake-ups)\n",
                late[late.size() / 2], late[late.size() * 999 / 1000], late.back(), late.size());
    return 0;
}
