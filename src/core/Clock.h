#pragma once

#include <cstdint>
#include <ctime>

namespace tervo {

// Time as the system reads it: the millisecond tick count (wraps like a 32-bit counter), the
// calendar time in seconds since 1970 and its local breakdown. Everything that runs on time
// or writes a time takes it from here, so tests can run hours in milliseconds.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t tickMs() = 0;
    virtual int64_t calendarSeconds() = 0;
    virtual std::tm localTime(int64_t seconds);
};

class SystemClock : public Clock {
public:
    uint32_t tickMs() override;
    int64_t calendarSeconds() override;
};

SystemClock& systemClock();

}  // namespace tervo
