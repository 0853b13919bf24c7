#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tervo {

class Clock;

// One mark of the time axis: where it stands, its label, and the date under it where the day
// changes (at the first mark too), else empty.
struct TimeTick {
    double time = 0.0;  // seconds since 1970
    std::string label;
    std::string date;  // "2026/12/08"
};

// The step between two marks of the time axis.
struct TimeStep {
    enum class Unit { Second, Minute, Hour, Day, Month, Year };
    Unit unit = Unit::Second;
    int count = 1;
    // The step's length in seconds (a month counted as 30 days, a year as 365).
    double seconds() const;
};

// The shortest of the steps 1, 2, 5, 10, 15, 30 s; 1, 2, 5, 10, 15, 30 min; 1, 2, 3, 6, 12 h;
// 1, 2, 7, 14 days; 1, 2, 3, 6 months; 1, 2, 5, 10... years whose marks over `span` seconds
// number at most `maxTicks`.
TimeStep chooseTimeStep(double span, int maxTicks);

// The marks of [first, last] at `step`, on whole steps of local time (midnight, the first of
// the month...), from `clock`'s local breakdown. Labels: "hh:mm:ss" for steps under a minute,
// "hh:mm" under a day, "MM/DD" for days, "YYYY/MM" for months, "YYYY" for years.
std::vector<TimeTick> timeTicks(double first, double last, TimeStep step, Clock& clock);

// The marks of a value axis over [low, high]: at most `maxTicks` multiples of 1, 2 or 5 x 10^k.
struct ValueTicks {
    double step = 1.0;
    std::vector<double> values;
    int decimals = 0;  // the digits after the point the labels need
};
ValueTicks valueTicks(double low, double high, int maxTicks);

// The value range shown for the lowest and highest value found: widened by 5 % on each side,
// a single value (or none) given a span of its own.
void paddedRange(double& low, double& high);

}  // namespace tervo
