#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tervo {

// One ramp/soak step: ramp rate (degrees per minute), level, dwell time (minutes).
struct CurveSegment {
    double rate = 1.0;
    double level = 1.0;
    double dwell = 1.0;
};

enum class CurveStatus {
    Ok,
    CannotOpen,
    BadCount,  // a segment count outside 0..100
    Short,     // fewer bytes than the counted segments need
    Trailing,  // 4 or more bytes after the last counted segment (refused by the acquisition only)
    Full,      // a 101st segment
    BadIndex,
    CannotWrite,
};

// A ramp/soak program of at most 100 segments. The start value is not part of it: it is
// chosen each time a program starts.
class TrackingCurve {
public:
    static constexpr int kMaxSegments = 100;
    static constexpr int kControllerSegments = 8;

    const std::vector<CurveSegment>& segments() const { return m_segments; }
    int count() const { return static_cast<int>(m_segments.size()); }

    // Appends (1, 1, 1); Full when the curve already holds 100 segments.
    CurveStatus addSegment();
    // Removes one segment; nothing happens for a negative index or an empty curve.
    void deleteSegment(int index);
    CurveStatus setSegment(int index, double rate, double level, double dwell);

    // The curve settings reader: any header, a count of 0..100, bytes after the last segment
    // ignored. A file ending inside its counted segments is refused (Short). `strict` reads
    // as the acquisition does: four or more bytes after the last segment are refused too.
    CurveStatus load(const std::string& path, bool strict = false);
    CurveStatus save(const std::string& path) const;
    std::vector<uint8_t> bytes() const;
    CurveStatus parse(const std::vector<uint8_t>& bytes, bool strict);

    // The program value after `seconds` whole seconds, when the PC runs it: a negative rate
    // ends the program, a zero rate jumps to the level.
    double valueAt(double start, int64_t seconds) const;
    // The acquisition's evaluation: segments with a rate of 0 or below are passed over.
    double valueAtSkipping(double start, int64_t seconds) const;
    // The duration for a drawing's time scale, dwell minutes truncated.
    double totalMinutes(double start) const;
    // The program as (minutes, value) points, dwell minutes as stored.
    std::vector<std::pair<double, double>> points(double start) const;
    // The least and greatest of the start value and the levels of the program's segments.
    std::pair<double, double> valueRange(double start) const;

private:
    // The segments before the first negative rate.
    size_t programLength() const;

    std::vector<CurveSegment> m_segments;
};

// The acquisition's reading of a curve file, fresh at every evaluation: the value at `seconds`
// from `start`, or the no-value marker for a count outside 0..100 or a file that cannot be
// opened (`status` tells which), or `start` for a file that is short or has 4 or more bytes
// after its last segment (1 to 3 are ignored).
double curveFileValueForAcquisition(const std::string& path, double start, int64_t seconds,
                                    CurveStatus& status);

}  // namespace tervo
