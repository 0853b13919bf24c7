#include <gtest/gtest.h>

#include <filesystem>

#include "curves/TrackingCurve.h"
#include "sim/SimTemplate.h"
#include "support/Process.h"
#include "support/RawPty.h"
#include "work/WorkDefinition.h"
#include "work/WorkFiles.h"

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
