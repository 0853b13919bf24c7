// Days of recording on the fake clock: the heap holds the row store plus a constant, and the
// file written at the end holds every cycle.
#include <gtest/gtest.h>

#include "core/work/WorkFiles.h"
#include "support/RawPty.h"
#include "support/SoakRun.h"

using tervo::testing::SoakRun;

TEST(Soak, DaysOfRecordingGrowOnlyTheRowStore) {
    tervo::testing::TempDir dir;
    SoakRun soak(dir.path());
    soak.run(2 * 3600.0);
    soak.writeNextCycle();
    [[maybe_unused]] const size_t heapBesideRowsEarly = SoakRun::heapBytes() - soak.rowStoreBytes();
    const size_t rowsEarly = soak.engine().rows().rows();

    soak.run(5 * 86'400.0);
    soak.writeNextCycle();
    const size_t rows = soak.engine().rows().rows();
    [[maybe_unused]] const size_t heapBesideRows = SoakRun::heapBytes() - soak.rowStoreBytes();
    // 20 channels at one per 125 ms tick: a cycle every 2.5 s.
    EXPECT_NEAR(static_cast<double>(rows - rowsEarly), 5 * 86'400 / 2.5, 2.0);
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's allocator keeps no C library heap figures
    EXPECT_LT(heapBesideRows, heapBesideRowsEarly + 16 * 1024)
        << "something besides the row store grew";
#endif

    tervo::Recording recording;
    ASSERT_EQ(tervo::readRecording(soak.writtenPath(), recording), tervo::FileStatus::Ok);
    EXPECT_EQ(recording.rowCount(), rows);
    EXPECT_EQ(recording.occurrences.size(), 0u);
    for (size_t r = 1; r < rows; ++r) {
        ASSERT_GE(recording.times[r], recording.times[r - 1]);
    }
    EXPECT_GT(recording.value(rows - 1, 19), 0.0) << "the last row holds readings";
    // The engine said once that the file could not be written and once that it could again,
    // for each of the two real writes; nothing else.
    EXPECT_EQ(soak.messages.size(), 4u);
}
