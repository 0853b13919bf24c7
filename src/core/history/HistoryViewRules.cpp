#include "core/history/HistoryViewRules.h"

#include "core/work/LiveViewRules.h"

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
    const int64_t step = kScrollStep * static_cast<int64_t>(m_zoom);
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
                                ? static_cast<int64_t>(rows) * period * m_ruler / kChartLastX
                                : (m_offset + static_cast<int64_t>(m_zoom) * m_ruler) * period;
    return relativeLabelText(seconds);
}

}  // namespace tervo
