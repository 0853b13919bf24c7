#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "core/curves/TrackingCurve.h"
#include "core/io/ByteIo.h"
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

namespace {

// A record file read field by field, straight through its layout: the rows one value at a
// time. What the reader must agree with.
struct FieldByField {
    FileStatus status = FileStatus::Bad;
    std::vector<int32_t> times;
    std::vector<double> values;
    std::vector<EventOccurrence> occurrences;
};

FieldByField readFieldByField(const std::vector<uint8_t>& b) {
    FieldByField out;
    ByteReader r(b);
    std::vector<uint8_t> skipped(220);
    r.bytes(skipped.data(), skipped.size());
    const uint32_t n = r.u32();
    const uint32_t e = r.u32();
    const uint32_t s = r.u32();
    const uint32_t k = r.u32();
    if (!r.ok() || n > 20 || e > 0x10000000 || s > 0x10000000) {
        return out;
    }
    std::vector<uint8_t> records(size_t{n} * 96 + size_t{e} * 56);
    if (!r.bytes(records.data(), records.size())) {
        return out;
    }
    for (uint32_t row = 0; row < s; ++row) {
        out.times.push_back(r.i32());
        for (uint32_t c = 0; c < n; ++c) {
            out.values.push_back(r.f64());
        }
        if (!r.ok()) {
            return out;
        }
    }
    for (uint32_t i = 0; i < k && r.remaining() >= 8; ++i) {
        const int32_t time = r.i32();
        out.occurrences.push_back({time, r.i32()});
    }
    if (out.occurrences.size() == k && r.remaining() > 0) {
        return out;  // bytes after the occurrences (a block cut short may end in a part of one)
    }
    out.status = FileStatus::Ok;
    return out;
}

}  // namespace

// The record reader copies rows out in large batches; on every file of the corpora, and on a
// long recording cut at every length around its batch seams and its end, it refuses what a
// reading field by field refuses and reads the same values.
TEST(CorruptFiles, TheRecordReaderAgreesWithAReadingFieldByField) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    const std::filesystem::path data(TERVO_TEST_DATA);
    for (const auto& folder : {data / "corrupt", data / "fuzz" / "record_file"}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (folder.filename() == "corrupt" && entry.path().extension() != ".alt") {
                continue;
            }
            std::vector<uint8_t> bytes;
            ASSERT_TRUE(readWholeFile(entry.path().string(), bytes));
            files.emplace_back(entry.path().filename().string(), bytes);
        }
    }
    // About 1.6 MB of rows: the reader's batches end inside it.
    WorkDefinition work;
    work.channels.resize(20);
    work.events.resize(2);
    constexpr size_t kRows = 10'000;
    std::vector<int32_t> times(kRows);
    std::vector<double> values(kRows * 20);
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = i % 97 == 0 ? kNoValue : static_cast<double>(i) / 7.0;
    }
    for (size_t r = 0; r < kRows; ++r) {
        times[r] = static_cast<int32_t>(1'000'000'000 + r);
    }
    const std::vector<EventOccurrence> occurrences{{5, 0}, {6, 1}, {7, 9}};
    const std::vector<uint8_t> whole =
        recordFileBytes(work, times.data(), values.data(), kRows, occurrences.data(), 3);
    const size_t rowsAt = 236 + 20 * 96 + 2 * 56;
    const size_t seam = rowsAt + ((1 << 20) / 164) * 164;  // the end of the first batch
    for (const size_t cut :
         {whole.size(), whole.size() - 1, whole.size() - 8, whole.size() - 24, whole.size() - 25,
          seam + 165, seam + 164, seam + 1, seam, seam - 1, rowsAt + 4, rowsAt}) {
        files.emplace_back("long recording cut to " + std::to_string(cut),
                           std::vector<uint8_t>(whole.begin(), whole.begin() + cut));
    }
    std::vector<uint8_t> longer = whole;
    longer.push_back(0);
    files.emplace_back("long recording with a byte after it", longer);

    TempDir dir;
    int read = 0;
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const std::string path = dir / "r.alt";
        ASSERT_TRUE(writeFileAtomically(path, bytes));
        Recording rec;
        const FileStatus status = readRecording(path, rec);
        const FieldByField expected = readFieldByField(bytes);
        ASSERT_EQ(status, expected.status);
        if (status != FileStatus::Ok) {
            continue;
        }
        ++read;
        EXPECT_EQ(rec.times, expected.times);
        // Bit for bit: the no-value marker and any NaN a damaged file holds included.
        ASSERT_EQ(rec.values.size(), expected.values.size());
        if (!rec.values.empty()) {  // an empty vector may hold no pointer to compare from
            EXPECT_EQ(std::memcmp(rec.values.data(), expected.values.data(),
                                  rec.values.size() * sizeof(double)),
                      0);
        }
        ASSERT_EQ(rec.occurrences.size(), expected.occurrences.size());
        for (size_t i = 0; i < rec.occurrences.size(); ++i) {
            EXPECT_EQ(rec.occurrences[i].time, expected.occurrences[i].time);
            EXPECT_EQ(rec.occurrences[i].event, expected.occurrences[i].event);
        }
    }
    EXPECT_GE(read, 8) << "good files among them";
}
