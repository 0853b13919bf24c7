#include "core/curves/CurveUpload.h"

#include "core/text/Translation.h"
#include "core/text/ValueText.h"

namespace tervo {

CurveUpload::CurveUpload(int count, uint8_t port, uint8_t baud, uint8_t address, Clock& clock)
    : m_count(isUploadSegmentCount(count) ? count : 0),
      m_port(port),
      m_baud(baud),
      m_address(address),
      m_grid(clock) {}

int CurveUpload::start() {
    return m_grid.start(kIntervalMs);
}

UploadTick CurveUpload::tick() {
    UploadTick t;
    m_grid.advance();
    t.nextMs = m_grid.untilNext();
    if (!m_reading && m_segment < m_count) {
        m_reading = true;
        const uint32_t code = static_cast<uint32_t>(25 + 3 * m_segment + m_field);
        t.step = UploadStep{3 * m_segment + m_field,
                            LinkRequest::read(ReadRequest{code, m_port, m_baud, m_address})};
    }
    return t;
}

UploadOutcome CurveUpload::finishTick(const LinkResult& result) {
    UploadOutcome outcome;
    m_reading = false;
    if (m_segment >= m_count) {
        outcome.done = true;
        return outcome;
    }
    if (!result.value) {
        outcome.failed = true;
        return outcome;
    }
    m_fields[m_field] = *result.value;
    if (++m_field == 3) {
        m_curve.addSegment();
        m_curve.setSegment(m_segment, m_fields[0], m_fields[1], m_fields[2]);
        outcome.listLine = listLine(m_segment + 1, m_curve.segments().back());
        m_field = 0;
        ++m_segment;
    }
    outcome.done = m_segment >= m_count;
    return outcome;
}

std::string CurveUpload::listLine(int number, const CurveSegment& segment) {
    return TERVO_TR("core", "第") + std::to_string(number) + TERVO_TR("core", "条曲线  斜率：") +
           formatDouble("%6.2f", segment.rate) + TERVO_TR("core", "     设定值：") +
           formatDouble("%6.2f", segment.level) + TERVO_TR("core", "     平台运行时间：") +
           formatDouble("%6.2f", segment.dwell);
}

}  // namespace tervo
