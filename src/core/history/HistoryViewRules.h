#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/chart/ChartGeometry.h"

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
    // The left arrow goes 190 columns (times the zoom) further into the recording (no end), the
    // right one back to the start at most. False when no arrow was held.
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

// The ruler label's x: the position held within 90..920, less 6, as the live view's cursor label.
inline int rulerLabelX(int position) {
    return cursorLabelX(position);
}

}  // namespace tervo
