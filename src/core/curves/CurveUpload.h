#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/Clock.h"
#include "core/curves/TickGrid.h"
#include "core/curves/TrackingCurve.h"
#include "core/link/LinkRequest.h"

namespace tervo {

// A controller holds segments 1 to 8; the count asked for an upload must lie there.
constexpr bool isUploadSegmentCount(int count) {
    return count >= 1 && count <= TrackingCurve::kControllerSegments;
}

// The read of one tick: the progress to show and the parameter to read.
struct UploadStep {
    int progress = 0;
    LinkRequest read;
};

// One tick of the upload: its read (none when the last read is still under way, so this tick
// is skipped) and when the timer is due again.
struct UploadTick {
    std::optional<UploadStep> step;
    int nextMs = 0;
};

struct UploadOutcome {
    bool failed = false;   // show "通信错误！！！" and end cancelled
    std::string listLine;  // a segment is complete: its line for the list (UTF-8)
    bool done = false;     // every segment read: end with OK
};

// The upload of a controller's program: r, l, t of segments 1..N read one parameter per tick
// of a 200 ms timer. The ticks lie on a 200 ms grid from the start, taken from `clock`, so the
// reads go out 200 ms apart however long each takes; a tick that comes while a read is still
// under way is skipped.
class CurveUpload {
public:
    static constexpr int kIntervalMs = 200;

    // `count` must satisfy isUploadSegmentCount.
    CurveUpload(int count, uint8_t port, uint8_t baud, uint8_t address,
                Clock& clock = systemClock());

    int progressMaximum() const { return 3 * m_count; }
    // The upload begins: returns the milliseconds until the first tick.
    int start();
    UploadTick tick();
    UploadOutcome finishTick(const LinkResult& result);
    // The segments read so far; after `done`, the whole uploaded curve.
    const TrackingCurve& curve() const { return m_curve; }

    // "第%d条曲线  斜率：%6.2f     设定值：%6.2f     平台运行时间：%6.2f"
    static std::string listLine(int number, const CurveSegment& segment);

private:
    int m_count;
    uint8_t m_port;
    uint8_t m_baud;
    uint8_t m_address;
    TickGrid m_grid;
    bool m_reading = false;
    int m_segment = 0;
    int m_field = 0;
    double m_fields[3] = {0.0, 0.0, 0.0};
    TrackingCurve m_curve;
};

}  // namespace tervo
