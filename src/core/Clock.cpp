#include "core/Clock.h"

#include <chrono>

namespace tervo {

std::tm Clock::localTime(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

uint32_t SystemClock::tickMs() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

int64_t SystemClock::calendarSeconds() {
    return static_cast<int64_t>(std::time(nullptr));
}

SystemClock& systemClock() {
    static SystemClock clock;
    return clock;
}

}  // namespace tervo
