#include "core/trend/TrendAxis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/Clock.h"

namespace tervo {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The local wall-clock reading of `seconds` counted as if it were UTC.
int64_t localSeconds(Clock& clock, int64_t seconds) {
    const std::tm t = clock.localTime(seconds);
    return daysFromCivil(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday) * 86400 + t.tm_hour * 3600 +
           t.tm_min * 60 + t.tm_sec;
}

// The calendar second at which the local clock reads `local` (the nearest one across a change
// of the clock's offset).
int64_t fromLocal(Clock& clock, int64_t local) {
    int64_t guess = local - (localSeconds(clock, local) - local);
    const int64_t offset = localSeconds(clock, guess) - guess;
    return local - offset;
}

std::string twoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string dateText(const std::tm& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    return text;
}

std::string labelText(const std::tm& t, TimeStep::Unit unit) {
    switch (unit) {
        case TimeStep::Unit::Second:
            return twoDigits(t.tm_hour) + ":" + twoDigits(t.tm_min) + ":" + twoDigits(t.tm_sec);
        case TimeStep::Unit::Minute:
        case TimeStep::Unit::Hour:
            return twoDigits(t.tm_hour) + ":" + twoDigits(t.tm_min);
        case TimeStep::Unit::Day:
            return twoDigits(t.tm_mon + 1) + "/" + twoDigits(t.tm_mday);
        case TimeStep::Unit::Month:
            return std::to_string(t.tm_year + 1900) + "/" + twoDigits(t.tm_mon + 1);
        case TimeStep::Unit::Year:
            return std::to_string(t.tm_year + 1900);
    }
    return {};
}

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

}  // namespace

double TimeStep::seconds() const {
    switch (unit) {
        case Unit::Second:
            return count;
        case Unit::Minute:
            return count * 60.0;
        case Unit::Hour:
            return count * 3600.0;
        case Unit::Day:
            return count * 86400.0;
        case Unit::Month:
            return count * 30.0 * 86400.0;
        case Unit::Year:
            return count * 365.0 * 86400.0;
    }
    return 1.0;
}

TimeStep chooseTimeStep(double span, int maxTicks) {
    using U = TimeStep::Unit;
    static const TimeStep steps[] = {
        {U::Second, 1},  {U::Second, 2},  {U::Second, 5}, {U::Second, 10}, {U::Second, 15},
        {U::Second, 30}, {U::Minute, 1},  {U::Minute, 2}, {U::Minute, 5},  {U::Minute, 10},
        {U::Minute, 15}, {U::Minute, 30}, {U::Hour, 1},   {U::Hour, 2},    {U::Hour, 3},
        {U::Hour, 6},    {U::Hour, 12},   {U::Day, 1},    {U::Day, 2},     {U::Day, 7},
        {U::Day, 14},    {U::Month, 1},   {U::Month, 2},  {U::Month, 3},   {U::Month, 6},
        {U::Year, 1},    {U::Year, 2},    {U::Year, 5},
    };
    maxTicks = std::max(maxTicks, 1);
    for (const TimeStep& step : steps) {
        if (span / step.seconds() <= maxTicks) {
            return step;
        }
    }
    // Spans of decades: years in steps of 1, 2 or 5 x 10^k.
    TimeStep years{U::Year, 10};
    for (int factor = 10;; factor *= 10) {
        for (int m : {1, 2, 5}) {
            years.count = m * factor;
            if (span / years.seconds() <= maxTicks || years.count >= 100000) {
                return years;
            }
        }
    }
}

std::vector<TimeTick> timeTicks(double first, double last, TimeStep step, Clock& clock) {
    std::vector<TimeTick> ticks;
    if (!(last >= first) || step.count <= 0) {
        return ticks;
    }
    const int64_t from = static_cast<int64_t>(std::floor(first));
    const int64_t localFirst = localSeconds(clock, from);
    std::vector<int64_t> locals;
    // Marks on whole steps of the local clock, from the step at or before the start; those
    // before `first` are dropped below. Bounded, whatever the step: the span was chosen for it.
    constexpr size_t kMostTicks = 1000;
    using U = TimeStep::Unit;
    if (step.unit == U::Month || step.unit == U::Year) {
        const std::tm t = clock.localTime(from);
        const int months = step.unit == U::Month ? step.count : 12 * step.count;
        int64_t index = static_cast<int64_t>(t.tm_year + 1900) * 12 + t.tm_mon;
        index = floorDiv(index, months) * months;
        for (size_t i = 0; i < kMostTicks; ++i, index += months) {
            const int64_t local =
                daysFromCivil(floorDiv(index, 12), index - floorDiv(index, 12) * 12 + 1, 1) * 86400;
            locals.push_back(local);
            if (static_cast<double>(fromLocal(clock, local)) > last) {
                break;
            }
        }
    } else {
        const int64_t size = static_cast<int64_t>(step.seconds());
        // Steps of 7 and 14 days start on a Monday (1970-01-05 was one).
        const int64_t origin = step.unit == U::Day && step.count >= 7 ? 4 * 86400 : 0;
        int64_t local = floorDiv(localFirst - origin, size) * size + origin;
        for (size_t i = 0; i < kMostTicks; ++i, local += size) {
            locals.push_back(local);
            if (static_cast<double>(fromLocal(clock, local)) > last) {
                break;
            }
        }
    }
    int lastDay = -1;
    int lastMonth = -1;
    int lastYear = -1;
    for (int64_t local : locals) {
        const int64_t at = fromLocal(clock, local);
        if (static_cast<double>(at) < first || static_cast<double>(at) > last) {
            continue;
        }
        const std::tm t = clock.localTime(at);
        TimeTick tick;
        tick.time = static_cast<double>(at);
        tick.label = labelText(t, step.unit);
        // Steps of a day or more name the day in the label: the full date stands under the
        // first mark only.
        const bool dayChanged =
            t.tm_mday != lastDay || t.tm_mon != lastMonth || t.tm_year != lastYear;
        if ((dayChanged && step.seconds() < 86400.0) || ticks.empty()) {
            tick.date = dateText(t);
        }
        lastDay = t.tm_mday;
        lastMonth = t.tm_mon;
        lastYear = t.tm_year;
        ticks.push_back(tick);
    }
    return ticks;
}

ValueTicks valueTicks(double low, double high, int maxTicks) {
    ValueTicks ticks;
    if (!(high > low) || !std::isfinite(low) || !std::isfinite(high)) {
        return ticks;
    }
    maxTicks = std::max(maxTicks, 2);
    const double rough = (high - low) / maxTicks;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        ticks.step = m * power;
        if ((high - low) / ticks.step <= maxTicks) {
            break;
        }
    }
    ticks.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(ticks.step) + 1e-9)));
    for (double k = std::ceil(low / ticks.step); k * ticks.step <= high + ticks.step * 1e-9; ++k) {
        ticks.values.push_back(k * ticks.step);
    }
    return ticks;
}

void paddedRange(double& low, double& high) {
    if (!(low <= high)) {
        low = 0.0;
        high = 100.0;
        return;
    }
    const double span = high - low;
    if (span <= 0.0) {
        const double half = std::max(1.0, std::abs(low) * 0.05);
        low -= half;
        high += half;
        return;
    }
    low -= span * 0.05;
    high += span * 0.05;
}

}  // namespace tervo
