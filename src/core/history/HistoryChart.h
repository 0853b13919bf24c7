#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "work/LiveViewRules.h"
#include "work/WorkFiles.h"

namespace tervo {

enum class HistoryMode : int {
    Curve = 0,        // 曲线图
    PeriodChart = 1,  // 周期图
    PeriodCurve = 2,  // 周期曲线图
    Table = 3,        // 表格
    EventTable = 4,   // 事件表
    ChannelInfo = 5,  // channel information page
};

// The history view's state: mode, zoom z, scroll offset o, ruler position u, full screen and
// the held arrow. The widget forwards the operator's actions and draws.
class HistoryViewRules {
public:
    HistoryMode mode() const { return m_mode; }
    int zoom() const { return m_zoom; }
    int64_t offset() const { return m_offset; }
    int ruler() const { return m_ruler; }
    bool fullScreen() const { return m_fullScreen; }
    int arrow() const { return m_arrow; }  // 0 none, 1 left held, 2 right held

    void setMode(HistoryMode mode) { m_mode = mode; }
    bool zoomEnabled() const {
        return m_mode == HistoryMode::Curve || m_mode == HistoryMode::PeriodCurve;
    }
    // False at zoom 1 (refused silently).
    bool zoomIn();
    void zoomOut();
    // False outside the curve mode: "“曲线图”方式才可使用！！！".
    bool toggleFullScreen();
    void setRuler(int position) { m_ruler = position; }
    void pressArrow(int arrow) { m_arrow = arrow; }
    // The left arrow goes 190 columns further into the recording (no end), the right one back
    // to the start at most. False when no arrow was held.
    bool releaseArrow();

    // The ruler label: ruler form of trunc(S p u / 950) in full screen, else (o + z u) p.
    std::string rulerText(size_t rows, int32_t period) const;

private:
    HistoryMode m_mode = HistoryMode::Curve;
    int m_zoom = 1;
    int64_t m_offset = 0;
    int m_ruler = 300;
    bool m_fullScreen = false;
    int m_arrow = 0;
};

// The ruler label's x: the position held within 90..920, less 6.
int rulerLabelX(int position);

// One step of a channel's path in picture coordinates (951 x 521): a move or a line to (x, y).
struct PathStep {
    int x = 0;
    int y = 0;
    bool line = true;
};
using Path = std::vector<PathStep>;

// The height of a plotted value: the last height for the no-value marker, else the value held
// within lo..hi as a share of 520; a range with no span gives 0.
class HeightScale {
public:
    HeightScale(double lo, double hi) : m_lo(lo), m_hi(hi) {}
    int operator()(double value);

private:
    double m_lo;
    double m_hi;
    int m_last = 0;
};

// The inputs every path reads: the recording, the channel, the range and the view state.
struct PathInput {
    const Recording* recording = nullptr;
    size_t channel = 0;
    double lo = 0.0;
    double hi = 100.0;
    int zoom = 1;
    int64_t offset = 0;
    uint32_t period = 360;  // T
};
// The scrolling curve: stored values, one row every z from o, at most 951 columns.
Path scrollingCurvePath(const PathInput& in);
// The full-screen curve: the whole recording in 951 columns (plotted values).
Path fullScreenCurvePath(const PathInput& in);
// The polar period chart: every row, at angle r / T of a turn (T = 0: every row on the first
// spoke); consecutive points on the same pixel are drawn once.
Path periodChartPath(const PathInput& in);
// The folded period curve from row o / p (row 0 when p is 0), folding after column T.
Path periodCurvePath(const PathInput& in, int32_t samplingPeriod);

// The channel information texts (GBK): the sampled parameter (the table's description below
// 256, else the two characters packed in the code, low byte first), "COMM1".."COMM6" by port
// modulo 6, the baud text by index modulo 7, and the address as two digits.
std::string parameterText(int32_t code);
std::string portText(uint8_t port);
std::string baudIndexText(uint8_t baud);
std::string addressText(uint8_t address);

}  // namespace tervo
