#include "history/HistoryChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "link/ParameterTable.h"
#include "link/SerialLink.h"

namespace tervo {

bool HistoryViewRules::zoomIn() {
    if (m_zoom < 2) {
        return false;
    }
    --m_zoom;
    return true;
}

void HistoryViewRules::zoomOut() {
    if (m_zoom < 1'000'000'000) {
        ++m_zoom;
    }
}

bool HistoryViewRules::toggleFullScreen() {
    if (m_mode != HistoryMode::Curve) {
        return false;
    }
    m_fullScreen = !m_fullScreen;
    return true;
}

bool HistoryViewRules::releaseArrow() {
    if (m_arrow == 0) {
        return false;
    }
    const int64_t step = 190 * static_cast<int64_t>(m_zoom);
    if (m_arrow == 1) {
        m_offset += step;
    } else {
        m_offset = m_offset > step ? m_offset - step : 0;
    }
    m_arrow = 0;
    return true;
}

std::string HistoryViewRules::rulerText(size_t rows, int32_t period) const {
    const int64_t seconds = m_fullScreen
                                ? static_cast<int64_t>(rows) * period * m_ruler / 950
                                : (m_offset + static_cast<int64_t>(m_zoom) * m_ruler) * period;
    return relativeLabelText(seconds);
}

int rulerLabelX(int position) {
    return std::clamp(position, 90, 920) - 6;
}

int HeightScale::operator()(double value) {
    if (isNoValue(value)) {
        return m_last;
    }
    m_last = valueHeight(value, m_lo, m_hi);
    return m_last;
}

namespace {

double plotted(const PathInput& in, size_t row) {
    const double v = in.recording->value(row, in.channel);
    const ChannelInfo& channel = in.recording->definition.channels[in.channel];
    if (isNoValue(v)) {
        return v;
    }
    return v * channel.displayCoefficient + channel.offsetCoefficient;
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
    path.push_back({0, 519 - h, false});
    path.push_back({0, 520 - h, true});
    for (int x = 1; x <= 950; ++x) {
        row += z;
        if (row >= rows) {
            break;
        }
        h = height(in.recording->value(row, in.channel));
        path.push_back({x, 520 - h, true});
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
    path.push_back({0, 519 - height(plotted(in, 0)), false});
    if (rows > 950) {
        const double step = static_cast<double>(rows) / 950.0;
        double position = 0.0;
        for (int x = 0; x <= 950 && position < static_cast<double>(rows); ++x) {
            const size_t row = static_cast<size_t>(position);
            path.push_back({x, 520 - height(plotted(in, row)), true});
            position += step;
        }
    } else {
        const double step = rows > 1 ? 950.0 / static_cast<double>(rows - 1) : 0.0;
        double position = 0.0;
        for (size_t row = 0; row < rows; ++row) {
            path.push_back({static_cast<int>(position), 520 - height(plotted(in, row)), true});
            position += step;
        }
    }
    return path;
}

Path periodChartPath(const PathInput& in) {
    Path path;
    path.reserve(std::min<size_t>(in.recording->rowCount(), 1u << 24) + 2);
    const size_t rows = in.recording->rowCount();
    if (rows == 0) {
        return path;
    }
    HeightScale height(in.lo, in.hi);
    const int h0 = height(plotted(in, 0));
    path.push_back({static_cast<int>(std::trunc(h0 / 2.0 + 475.0)), 260, false});
    // The angle of row r = qT + k is (q + k / T) turns of 6.2832: one table of the T angles
    // within a turn and one cosine and sine per turn spare a cosine and sine per row.
    const uint32_t turn = in.period;
    const bool table = turn > 0 && turn <= (1u << 20) && rows > turn;
    std::vector<double> cosK;
    std::vector<double> sinK;
    if (table) {
        cosK.resize(turn);
        sinK.resize(turn);
        for (uint32_t k = 0; k < turn; ++k) {
            const double a = static_cast<double>(k) / turn * 2.0 * 3.1416;
            cosK[k] = std::cos(a);
            sinK[k] = std::sin(a);
        }
    }
    double cosQ = 1.0;
    double sinQ = 0.0;
    for (size_t row = 0; row < rows; ++row) {
        const int h = height(plotted(in, row));
        double c = 1.0;
        double s = 0.0;
        if (table) {
            const size_t k = row % turn;
            if (k == 0) {
                const double a = static_cast<double>(row / turn) * 2.0 * 3.1416;
                cosQ = std::cos(a);
                sinQ = std::sin(a);
            }
            c = cosQ * cosK[k] - sinQ * sinK[k];
            s = sinQ * cosK[k] + cosQ * sinK[k];
        } else if (turn > 0) {
            const double a = static_cast<double>(row) / turn * 2.0 * 3.1416;
            c = std::cos(a);
            s = std::sin(a);
        }
        const int x = static_cast<int>(std::trunc(h * c / 2.0 + 475.0));
        const int y = static_cast<int>(std::trunc(h * s / 2.0 + 260.0));
        const PathStep& last = path.back();
        if (path.size() > 1 && last.x == x && last.y == y) {
            continue;
        }
        path.push_back({x, y, true});
    }
    return path;
}

Path periodCurvePath(const PathInput& in, int32_t samplingPeriod) {
    Path path;
    path.reserve(std::min<size_t>(in.recording->rowCount(), 1u << 24) + 2);
    const size_t rows = in.recording->rowCount();
    if (rows == 0) {
        return path;
    }
    HeightScale height(in.lo, in.hi);
    path.push_back({0, 520 - height(plotted(in, 0)), false});
    int64_t first = samplingPeriod > 0 ? in.offset / samplingPeriod : 0;
    if (first < 0) {
        first = 0;
    }
    const size_t z = static_cast<size_t>(std::max(1, in.zoom));
    int64_t x = 0;
    for (size_t row = static_cast<size_t>(first); row < rows && x <= 950; row += z) {
        const int h = height(plotted(in, row));
        const PathStep step{static_cast<int>(x), 520 - h, true};
        const PathStep& last = path.back();
        if (!(last.line && last.x == step.x && last.y == step.y)) {
            path.push_back(step);
        }
        ++x;
        if (x > static_cast<int64_t>(in.period)) {
            x = 1;
            path.push_back({1, 520 - h, false});
        }
    }
    return path;
}

std::string parameterText(int32_t code) {
    const uint32_t value = static_cast<uint32_t>(code);
    if (value < 256) {
        return isTableIndex(value) ? parameterDescriptionGbk(static_cast<int>(value))
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
