#include <gtest/gtest.h>

#include <filesystem>

#include "core/curves/TrackingCurve.h"
#include "core/io/FileIo.h"
#include "core/sim/SimTemplate.h"
#include "core/text/Gbk.h"
#include "core/work/WorkDefinition.h"
#include "core/work/WorkFiles.h"
#include "support/Process.h"
#include "support/RawPty.h"

using namespace tervo;
using tervo::testing::run;
using tervo::testing::TempDir;

// Every damaged file of the corpus is refused by its reader, and by tervo-cli dump with the
// system's "文件错误！！！", without a crash.
TEST(CorruptFiles, EveryReaderRefusesThemCleanly) {
    TempDir scratch;
    int seen = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(TERVO_TEST_DATA) / "corrupt")) {
        const std::string path = entry.path().string();
        const std::string ext = entry.path().extension().string();
        if (ext == ".awt") {
            WorkDefinition work;
            EXPECT_EQ(loadWorkTemplate(path, work), FileStatus::Bad) << path;
        } else if (ext == ".alt") {
            Recording rec;
            EXPECT_EQ(readRecording(path, rec), FileStatus::Bad) << path;
        } else if (ext == ".lin") {
            TrackingCurve curve;
            EXPECT_NE(curve.load(path), CurveStatus::Ok) << path;
            CurveStatus status;
            const double v = curveFileValueForAcquisition(path, 20.0, 60, status);
            EXPECT_TRUE(isNoValue(v) || v == 20.0) << path;
        } else if (ext == ".sim") {
            SimTemplate simTemplate;
            EXPECT_EQ(simTemplate.load(path), SimStatus::Bad) << path;
        } else {
            continue;
        }
        ++seen;
        const auto r = run({TERVO_CLI, "dump", path}, scratch.path());
        EXPECT_EQ(r.status, 1) << path;
        EXPECT_EQ(r.err, "文件错误！！！\n") << path;
    }
    EXPECT_GE(seen, 31);
}

// A file whose occurrence block was cut short is no corrupt file: dump and export show its
// rows and whole occurrences and say once that the block was cut. An occurrence naming no
// event reads as in the history window's event list.
TEST(CorruptFiles, AnOccurrenceBlockCutShortIsShownWithWhatItHolds) {
    TempDir dir;
    WorkDefinition work;
    work.channels.resize(1);
    work.events.resize(1);
    work.events[0].setNameGbk(utf8ToGbk("超温"));
    const std::vector<int32_t> times{1'078'414'200, 1'078'414'205};
    const std::vector<double> values{1.5, 2.5};
    const std::vector<EventOccurrence> occurrences{{1'078'414'200, 0}, {1'078'414'205, 7}, {0, 0}};
    std::vector<uint8_t> bytes =
        recordFileBytes(work, times.data(), values.data(), 2, occurrences.data(), 3);
    bytes.resize(bytes.size() - 3);
    const std::string path = dir / "cut.alt";
    ASSERT_TRUE(writeFileAtomically(path, bytes));
    const std::string notice = "事件记录被截断，已读入完整的部分！！！\n";

    setenv("TZ", "UTC", 1);
    auto r = run({TERVO_CLI, "dump", path}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, notice);
    EXPECT_NE(r.out.find("记录 2 行\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("事件发生 2 次\n  2004/03/04 15:30:00  超温\n"
                         "  2004/03/04 15:30:05  （未知事件 7）\n"),
              std::string::npos)
        << r.out;
    r = run({TERVO_CLI, "export", path, "--out", dir / "cut.csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, notice);
    std::vector<uint8_t> events;
    ASSERT_TRUE(readWholeFile(dir / "cut_events.csv", events));
    EXPECT_EQ(
        std::string(events.begin(), events.end()),
        "\xEF\xBB\xBF时间,事件\n2004/03/04 15:30:00,超温\n2004/03/04 15:30:05,（未知事件 7）\n");
    unsetenv("TZ");
}
