#include "core/curves/TrackingCurve.h"

#include <algorithm>
#include <cmath>

#include "core/NoValue.h"
#include "core/io/ByteIo.h"
#include "core/io/FileIo.h"
#include "core/text/Gbk.h"

namespace tervo {

namespace {

constexpr size_t kHeaderBytes = 12;
constexpr size_t kSegmentBytes = 24;
// Both readers decide on at most this much: the count, a hundred segments and, for the
// acquisition's, one more value after them. A longer file reads the same from its first bytes.
constexpr size_t kMostBytesRead =
    kHeaderBytes + 4 + TrackingCurve::kMaxSegments * kSegmentBytes + 4;

const std::string& curveHeader() {
    static const std::string header = utf8ToGbk("Quorvex5曲线");
    return header;
}

// Whole seconds of a duration, the fraction dropped.
int64_t wholeSeconds(double seconds) {
    return static_cast<int64_t>(seconds);
}

double evaluate(const std::vector<CurveSegment>& segments, double start, int64_t seconds,
                bool skipNonPositive) {
    double v = start;
    int64_t consumed = 0;
    const double t = static_cast<double>(seconds);
    for (const CurveSegment& s : segments) {
        if (s.rate < 0 && !skipNonPositive) {
            return v;
        }
        if (s.rate <= 0 && skipNonPositive) {
            continue;
        }
        if (s.rate > 0 && v != s.level) {
            const double ramp = std::abs(s.level - v) / s.rate * 60.0;
            if (t > static_cast<double>(consumed) + ramp) {
                consumed += wholeSeconds(ramp);
            } else {
                return v + (s.level - v) * (t - static_cast<double>(consumed)) / ramp;
            }
        }
        v = s.level;
        if (s.dwell > 0) {
            const double dwell = s.dwell * 60.0;
            if (t > static_cast<double>(consumed) + dwell) {
                consumed += wholeSeconds(dwell);
            } else {
                return s.level;
            }
        }
    }
    return v;
}

}  // namespace

CurveStatus TrackingCurve::addSegment() {
    if (count() >= kMaxSegments) {
        return CurveStatus::Full;
    }
    m_segments.push_back(CurveSegment{});
    return CurveStatus::Ok;
}

void TrackingCurve::deleteSegment(int index) {
    if (index >= 0 && index < count()) {
        m_segments.erase(m_segments.begin() + index);
    }
}

CurveStatus TrackingCurve::setSegment(int index, double rate, double level, double dwell) {
    if (index < 0 || index >= count()) {
        return CurveStatus::BadIndex;
    }
    m_segments[static_cast<size_t>(index)] = CurveSegment{rate, level, dwell};
    return CurveStatus::Ok;
}

std::vector<uint8_t> TrackingCurve::bytes() const {
    std::vector<uint8_t> bytes;
    ByteWriter w(bytes);
    w.bytes(curveHeader().data(), kHeaderBytes);
    w.i32(count());
    for (const CurveSegment& s : m_segments) {
        w.f64(s.rate);
        w.f64(s.level);
        w.f64(s.dwell);
    }
    return bytes;
}

CurveStatus TrackingCurve::save(const std::string& path) const {
    return writeFileAtomically(path, bytes()) ? CurveStatus::Ok : CurveStatus::CannotWrite;
}

CurveStatus TrackingCurve::parse(const std::vector<uint8_t>& bytes, bool strict) {
    ByteReader r(bytes);
    uint8_t header[kHeaderBytes];
    r.bytes(header, kHeaderBytes);  // never checked
    const int32_t n = r.i32();
    if (!r.ok()) {
        return CurveStatus::Short;
    }
    if (n < 0 || n > kMaxSegments) {
        return CurveStatus::BadCount;
    }
    if (r.remaining() < static_cast<size_t>(n) * kSegmentBytes) {
        return CurveStatus::Short;
    }
    // The acquisition's reader calls a file malformed when another 4-byte value could be read
    // after the last segment; one to three stray bytes are below what it looks for.
    if (strict && r.remaining() >= static_cast<size_t>(n) * kSegmentBytes + 4) {
        return CurveStatus::Trailing;
    }
    std::vector<CurveSegment> segments(static_cast<size_t>(n));
    for (CurveSegment& s : segments) {
        s.rate = r.f64();
        s.level = r.f64();
        s.dwell = r.f64();
    }
    m_segments = std::move(segments);
    return CurveStatus::Ok;
}

CurveStatus TrackingCurve::load(const std::string& path, bool strict) {
    std::vector<uint8_t> bytes;
    if (!readFileHead(path, kMostBytesRead, bytes)) {
        return CurveStatus::CannotOpen;
    }
    return parse(bytes, strict);
}

double TrackingCurve::valueAt(double start, int64_t seconds) const {
    return evaluate(m_segments, start, seconds, false);
}

double TrackingCurve::valueAtSkipping(double start, int64_t seconds) const {
    return evaluate(m_segments, start, seconds, true);
}

size_t TrackingCurve::programLength() const {
    auto end = std::find_if(m_segments.begin(), m_segments.end(),
                            [](const CurveSegment& s) { return s.rate < 0; });
    return static_cast<size_t>(end - m_segments.begin());
}

double TrackingCurve::totalMinutes(double start) const {
    double previous = start;
    double total = 0.0;
    for (size_t i = 0; i < programLength(); ++i) {
        const CurveSegment& s = m_segments[i];
        if (s.rate != 0) {
            total += std::abs(s.level - previous) / s.rate;
        }
        if (s.dwell > 0) {
            total += std::trunc(s.dwell);
        }
        previous = s.level;
    }
    return total;
}

std::vector<std::pair<double, double>> TrackingCurve::points(double start) const {
    std::vector<std::pair<double, double>> points{{0.0, start}};
    double previous = start;
    double minutes = 0.0;
    for (size_t i = 0; i < programLength(); ++i) {
        const CurveSegment& s = m_segments[i];
        if (s.rate > 0) {
            minutes += std::abs(s.level - previous) / s.rate;
        }
        points.emplace_back(minutes, s.level);
        minutes += s.dwell > 0 ? s.dwell : 0.0;  // no dwell for t <= 0, not a step back
        points.emplace_back(minutes, s.level);
        previous = s.level;
    }
    return points;
}

std::pair<double, double> TrackingCurve::valueRange(double start) const {
    double low = start;
    double high = start;
    for (size_t i = 0; i < programLength(); ++i) {
        low = std::min(low, m_segments[i].level);
        high = std::max(high, m_segments[i].level);
    }
    return {low, high};
}

double curveFileValueForAcquisition(const std::string& path, double start, int64_t seconds,
                                    CurveStatus& status) {
    std::vector<uint8_t> bytes;
    if (!readFileHead(path, kMostBytesRead, bytes)) {
        status = CurveStatus::CannotOpen;
        return kNoValue;
    }
    TrackingCurve curve;
    status = curve.parse(bytes, true);
    switch (status) {
        case CurveStatus::Ok:
            return curve.valueAtSkipping(start, seconds);
        case CurveStatus::BadCount:
            return kNoValue;
        default:
            return start;  // short, or bytes after the last segment
    }
}

}  // namespace tervo
