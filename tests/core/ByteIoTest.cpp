// Built with the undefined-behaviour sanitizer, which aborts the test on any fault.
#include <gtest/gtest.h>

#include <vector>

#include "core/io/ByteIo.h"

using namespace tervo;
using Bytes = std::vector<uint8_t>;

// A record of no channels reads and writes its rows as empty runs of values into and out of
// empty arrays, whose data pointer is null.
TEST(ByteIo, EmptyRunsToAndFromEmptyArrays) {
    const Bytes file{1, 0, 0, 0, 2, 0, 0, 0};
    ByteReader r(file);
    std::vector<double> values;
    EXPECT_EQ(r.i32(), 1);
    EXPECT_TRUE(r.f64s(values.data(), 0));
    EXPECT_TRUE(r.bytes(values.data(), 0));
    EXPECT_EQ(r.i32(), 2);
    EXPECT_TRUE(r.ok());
    EXPECT_FALSE(r.f64s(values.data(), 1)) << "past the end";
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(r.bytes(values.data(), 0)) << "a failed reader stays failed";

    Bytes out;
    ByteWriter w(out);
    w.i32(7);
    w.f64s(values.data(), 0);
    w.bytes(nullptr, 0);
    EXPECT_EQ(out, (Bytes{7, 0, 0, 0}));
}

TEST(ByteIo, LittleEndianFieldsAndShortReads) {
    Bytes out;
    ByteWriter w(out);
    w.u32(0x11223344);
    w.f64(-9999999.0);
    w.u8(0xAB);
    EXPECT_EQ(out[0], 0x44);
    EXPECT_EQ(out[11], 0xC1) << "the marker's high byte last";
    ByteReader r(out);
    EXPECT_EQ(r.u32(), 0x11223344u);
    EXPECT_EQ(r.f64(), -9999999.0);
    uint8_t two[2] = {9, 9};
    EXPECT_FALSE(r.bytes(two, 2));
    EXPECT_EQ(two[0], 0) << "a short read leaves zeros, not stale bytes";
    EXPECT_EQ(r.u8(), 0);
}
