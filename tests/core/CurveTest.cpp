#include <gtest/gtest.h>

#include <fstream>

#include "core/curves/TrackingCurve.h"
#include "core/io/ByteIo.h"
#include "core/io/FileIo.h"
#include "core/work/WorkDefinition.h"
#include "support/RawPty.h"

using namespace tervo;
using tervo::testing::TempDir;
using Bytes = std::vector<uint8_t>;

namespace {

TrackingCurve curveOf(std::initializer_list<CurveSegment> segments) {
    TrackingCurve c;
    for (const CurveSegment& s : segments) {
        c.addSegment();
        c.setSegment(c.count() - 1, s.rate, s.level, s.dwell);
    }
    return c;
}

void put(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

}  // namespace

TEST(TrackingCurve, ValueAtExamples) {
    const TrackingCurve empty;
    EXPECT_EQ(empty.valueAt(42.0, 0), 42.0);
    EXPECT_EQ(empty.valueAt(42.0, 100000), 42.0);

    const TrackingCurve one = curveOf({{2, 30, 10}});
    EXPECT_DOUBLE_EQ(one.valueAt(20, 0), 20.0);
    EXPECT_DOUBLE_EQ(one.valueAt(20, 150), 25.0);
    EXPECT_DOUBLE_EQ(one.valueAt(20, 300), 30.0);
    EXPECT_DOUBLE_EQ(one.valueAt(20, 600), 30.0);
    EXPECT_DOUBLE_EQ(one.valueAt(20, 901), 30.0);

    EXPECT_DOUBLE_EQ(curveOf({{5, 30, 0}}).valueAt(50, 120), 40.0) << "ramping down";
    EXPECT_DOUBLE_EQ(curveOf({{0, 80, 5}}).valueAt(20, 0), 80.0) << "a zero rate jumps";

    const TrackingCurve ended = curveOf({{-1, 80, 5}, {1, 90, 1}});
    EXPECT_EQ(ended.valueAt(20, 500), 20.0);
    EXPECT_EQ(ended.totalMinutes(20), 0.0);
    EXPECT_EQ(ended.points(20), (std::vector<std::pair<double, double>>{{0, 20}}));

    // Fractions of a ramp are dropped from the time consumed: 10 / 7 minutes is 85.7 s, of
    // which 85 count, so the next ramp starts at 85 + 60 s.
    const TrackingCurve fraction = curveOf({{7, 10, 1}, {1, 11, 0}});
    EXPECT_DOUBLE_EQ(fraction.valueAt(0, 145), 10.0);
    EXPECT_NEAR(fraction.valueAt(0, 175), 10.5, 1e-12);
}

TEST(TrackingCurve, SkippingEvaluationPassesOverNonPositiveRates) {
    const TrackingCurve c = curveOf({{0, 80, 5}, {-3, 10, 5}, {2, 30, 10}});
    EXPECT_EQ(c.valueAtSkipping(20, 0), 20.0) << "the zero-rate step is passed over";
    EXPECT_EQ(c.valueAtSkipping(20, 60), 20.0 + 2.0);
    EXPECT_EQ(c.valueAt(20, 0), 80.0) << "while the PC run jumps";
}

TEST(TrackingCurve, DurationAndPoints) {
    const TrackingCurve c = curveOf({{1, 10, 2.9}, {2, 0, 0}});
    EXPECT_DOUBLE_EQ(c.totalMinutes(0), 17.0);
    const auto points = c.points(0);
    ASSERT_EQ(points.size(), 5u);
    EXPECT_DOUBLE_EQ(points.back().first, 17.9);
    EXPECT_EQ(points[1], std::make_pair(10.0, 10.0));
    EXPECT_EQ(c.valueRange(0), std::make_pair(0.0, 10.0));
    const TrackingCurve step = curveOf({{0, 50, 1}, {1, 60, -2}});
    EXPECT_EQ(step.points(20)[1], std::make_pair(0.0, 50.0)) << "a step lies above its start";
    EXPECT_EQ(step.points(20).back().first, 11.0) << "a negative dwell is no dwell";
    EXPECT_EQ(step.valueRange(70), std::make_pair(50.0, 70.0));
    const TrackingCurve ended = curveOf({{1, 40, 1}, {-1, 200, 1}, {1, -100, 1}});
    EXPECT_EQ(ended.valueRange(20), std::make_pair(20.0, 40.0))
        << "the segments after the end marker are not part of the program";
}

TEST(TrackingCurve, EditingLimits) {
    TrackingCurve c;
    c.deleteSegment(0);
    c.deleteSegment(-1);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(c.addSegment(), CurveStatus::Ok);
    }
    EXPECT_EQ(c.addSegment(), CurveStatus::Full);
    EXPECT_EQ(c.count(), 100);
    EXPECT_EQ(c.segments()[0].rate, 1.0);
    c.setSegment(1, 7, 8, 9);
    c.deleteSegment(0);
    EXPECT_EQ(c.segments()[0].level, 8.0);
    EXPECT_EQ(c.setSegment(99, 1, 1, 1), CurveStatus::BadIndex);
    c.deleteSegment(-1);
    EXPECT_EQ(c.count(), 99);
}

TEST(CurveFile, LayoutAndReaders) {
    TempDir dir;
    EXPECT_EQ(TrackingCurve().save(dir / "e.lin"), CurveStatus::Ok);
    Bytes b;
    readWholeFile(dir / "e.lin", b);
    EXPECT_EQ(b.size(), 16u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 8), "Quorvex5");

    const TrackingCurve three = curveOf({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    three.save(dir / "c.lin");
    readWholeFile(dir / "c.lin", b);
    ASSERT_EQ(b.size(), 88u);
    ByteReader at48(b.data() + 48, 8);
    EXPECT_EQ(at48.f64(), 5.0) << "the second segment's level";

    Bytes other = b;
    other[0] = 'X';  // the header is never checked
    TrackingCurve loaded;
    EXPECT_EQ(loaded.parse(other, true), CurveStatus::Ok);
    EXPECT_EQ(loaded.count(), 3);

    Bytes trailing = b;
    trailing.push_back(1);
    EXPECT_EQ(loaded.parse(trailing, false), CurveStatus::Ok) << "the settings reader ignores it";
    EXPECT_EQ(loaded.parse(trailing, true), CurveStatus::Ok) << "less than a value to read";
    trailing.insert(trailing.end(), {2, 3, 4});
    EXPECT_EQ(loaded.parse(trailing, false), CurveStatus::Ok);
    EXPECT_EQ(loaded.parse(trailing, true), CurveStatus::Trailing);
    EXPECT_EQ(loaded.parse(Bytes(b.begin(), b.end() - 1), false), CurveStatus::Short);
    Bytes count = b;
    count[12] = 101;
    EXPECT_EQ(loaded.parse(count, false), CurveStatus::BadCount);
    count[12] = count[13] = count[14] = count[15] = 0xFF;
    EXPECT_EQ(loaded.parse(count, false), CurveStatus::BadCount);
    EXPECT_EQ(loaded.count(), 3) << "untouched by a refused file";
    EXPECT_EQ(loaded.load(dir / "none.lin"), CurveStatus::CannotOpen);
}

TEST(CurveFile, AHundredSegmentsAreTheLimitNotBeyond) {
    TempDir dir;
    TrackingCurve full;
    for (int i = 0; i < 100; ++i) {
        full.addSegment();
        full.setSegment(i, 60.0, i + 1.0, 0.0);  // a degree a second to each level
    }
    ASSERT_EQ(full.save(dir / "full.lin"), CurveStatus::Ok);
    TrackingCurve loaded;
    ASSERT_EQ(loaded.load(dir / "full.lin"), CurveStatus::Ok);
    EXPECT_EQ(loaded.count(), 100);
    EXPECT_EQ(loaded.segments()[99].level, 100.0);
    CurveStatus status;
    EXPECT_EQ(curveFileValueForAcquisition(dir / "full.lin", 0, 1000, status), 100.0);
    EXPECT_EQ(status, CurveStatus::Ok);

    Bytes over = full.bytes();
    over[12] = 101;
    over.insert(over.end(), 24, 0);
    put(dir / "over.lin", over);
    EXPECT_EQ(loaded.load(dir / "over.lin"), CurveStatus::BadCount);
    EXPECT_TRUE(isNoValue(curveFileValueForAcquisition(dir / "over.lin", 0, 1000, status)));
}

TEST(CurveFile, AcquisitionReading) {
    TempDir dir;
    curveOf({{2, 30, 10}}).save(dir / "one.lin");
    CurveStatus status;
    EXPECT_DOUBLE_EQ(curveFileValueForAcquisition(dir / "one.lin", 20, 150, status), 25.0);
    EXPECT_EQ(status, CurveStatus::Ok);

    Bytes b;
    ASSERT_TRUE(readWholeFile(dir / "one.lin", b));
    // One to three stray bytes are ignored; a fourth makes the file malformed.
    for (int extra = 1; extra <= 4; ++extra) {
        b.push_back(0);
        put(dir / "long.lin", b);
        EXPECT_DOUBLE_EQ(curveFileValueForAcquisition(dir / "long.lin", 20, 150, status),
                         extra < 4 ? 25.0 : 20.0)
            << extra << " bytes after the last segment";
    }
    b.erase(b.end() - 4, b.end());
    b[12] = 101;
    put(dir / "many.lin", b);
    EXPECT_TRUE(isNoValue(curveFileValueForAcquisition(dir / "many.lin", 20, 150, status)));
    EXPECT_TRUE(isNoValue(curveFileValueForAcquisition(dir / "gone.lin", 20, 150, status)));
    EXPECT_EQ(status, CurveStatus::CannotOpen);
}
