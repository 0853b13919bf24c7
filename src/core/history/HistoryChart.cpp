#include "core/history/HistoryChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/link/ParameterTable.h"
#include "core/link/SerialLink.h"
#include "core/text/Gbk.h"
#include "core/text/Translation.h"

namespace tervo {

namespace {

double plotted(const PathInput& in, size_t row) {
    const ChannelInfo& channel = in.recording->definition.channels[in.channel];
    return detail::plottedValue(in.recording->value(row, in.channel), channel.displayCoefficient,
                                channel.offsetCoefficient);
}

}  // namespace

Path scrollingCurvePath(const PathInput& in) {
    Path path;
    path.reserve(std::min<size_t>(in.recording->rowCount(), 1u << 24) + 2);
    const size_t rows = in.recording->rowCount();
    if (in.offset < 0 || static_cast<uint64_t>(in.offset) >= rows) {
        return path;
    }
    HeightScale height(in.lo, in.hi);
    const size_t z = static_cast<size_t>(std::max(1, in.zoom));
    size_t row = static_cast<size_t>(in.offset);
    int h = height(in.recording->value(row, in.channel));
    path.push_back({0, kChartLastY - 1 - h, false});
    path.push_back({0, kChartLastY - h, true});
    for (int x = 1; x <= kChartLastX; ++x) {
        row += z;
        if (row >= rows) {
            break;
        }
        h = height(in.recording->value(row, in.channel));
        path.push_back({x, kChartLastY - h, true});
    }
    return path;
}

Path fullScreenCurvePath(const PathInput& in) {
    Path path;
    path.reserve(std::min<size_t>(in.recording->rowCount(), 1u << 24) + 2);
    const size_t rows = in.recording->rowCount();
    if (rows == 0) {
        return path;
    }
    HeightScale height(in.lo, in.hi);
    path.push_back({0, kChartLastY - 1 - height(plotted(in, 0)), false});
    if (rows > kChartLastX) {
        const double step = static_cast<double>(rows) / kChartLastX;
        double position = 0.0;
        for (int x = 0; x <= kChartLastX && position < static_cast<double>(rows); ++x) {
            const size_t row = static_cast<size_t>(position);
            path.push_back({x, kChartLastY - height(plotted(in, row)), true});
            position += step;
        }
    } else {
        const double step = rows > 1 ? kChartLastX / static_cast<double>(rows - 1) : 0.0;
        double position = 0.0;
        for (size_t row = 0; row < rows; ++row) {
            path.push_back(
                {static_cast<int>(position), kChartLastY - height(plotted(in, row)), true});
            position += step;
        }
    }
    return path;
}

namespace {

PeriodWalk oneChannel(const PathInput& in, int32_t samplingPeriod) {
    PeriodWalk walk;
    walk.recording = in.recording;
    walk.channels = {in.channel};
    walk.lo = in.lo;
    walk.hi = in.hi;
    walk.period = in.period;
    walk.zoom = in.zoom;
    walk.offset = in.offset;
    walk.samplingPeriod = samplingPeriod;
    return walk;
}

// The steps of one channel's path.
auto pathSink(Path& path) {
    return StepSink([&path](size_t, const PathStep& step) { path.push_back(step); });
}

}  // namespace

Path periodChartPath(const PathInput& in) {
    Path path;
    auto sink = pathSink(path);
    walkPeriodChart(oneChannel(in, 0), sink);
    return path;
}

Path periodCurvePath(const PathInput& in, int32_t samplingPeriod) {
    Path path;
    auto sink = pathSink(path);
    walkPeriodCurve(oneChannel(in, samplingPeriod), sink);
    return path;
}

size_t periodCurveSteps(const PeriodWalk& walk) {
    return detail::CurveSteps(walk, walk.recording->rowCount()).count();
}

std::string parameterText(int32_t code) {
    const uint32_t value = static_cast<uint32_t>(code);
    if (value < 256) {
        return isTableIndex(value)
                   ? utf8ToGbk(translated(
                         "core", std::string(parameterLabelUtf8(static_cast<int>(value))).c_str()))
                   : std::string();
    }
    std::string text;
    text += static_cast<char>(value & 0xFF);
    text += static_cast<char>((value >> 8) & 0xFF);
    return text;
}

std::string portText(uint8_t port) {
    return "COMM" + std::to_string(port % 6 + 1);
}

std::string baudIndexText(uint8_t baud) {
    return baudText(baud % kBaudCount);
}

std::string addressText(uint8_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "%d%d", address / 10 % 10, address % 10);
    return text;
}

}  // namespace tervo
