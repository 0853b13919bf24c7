#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>

#include "core/history/HistoryChart.h"
#include "core/history/HistoryCsv.h"
#include "core/history/HistoryRules.h"
#include "core/history/HistoryViewRules.h"
#include "core/text/Gbk.h"
#include "core/text/TimeText.h"
#include "support/RawPty.h"

using namespace tervo;

namespace {

Recording makeRecording(size_t rows, size_t channels, const std::vector<double>& values = {}) {
    Recording rec;
    for (size_t c = 0; c < channels; ++c) {
        ChannelInfo info;
        info.setNameGbk(utf8ToGbk("通道" + std::to_string(c + 1)));
        rec.definition.channels.push_back(info);
    }
    for (size_t r = 0; r < rows; ++r) {
        rec.times.push_back(static_cast<int32_t>(1'000'000'000 + r));
        for (size_t c = 0; c < channels; ++c) {
            rec.values.push_back(values.empty() ? static_cast<double>(r * 10 + c)
                                                : values[r * channels + c]);
        }
    }
    return rec;
}

DataRange loadAll(const Recording& rec, int* ticks = nullptr) {
    HistoryLoader loader(rec);
    int n = 0;
    while (!loader.addBatch()) {
        ++n;
    }
    if (ticks != nullptr) {
        *ticks = n + 1;
    }
    return roundedRange(loader.range());
}

}  // namespace

class HistoryRulesTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("TZ", "UTC", 1), tzset(); }
};

TEST_F(HistoryRulesTest, FloatingRangeRoundsAndSkipsTheMarker) {
    DataRange r = loadAll(makeRecording(2, 1, {10.3, 23.7}));
    EXPECT_EQ(r.minimum, 9.0);
    EXPECT_EQ(r.maximum, 24.0);
    r = loadAll(makeRecording(3, 1, {10.3, kNoValue, 27.0}));
    EXPECT_EQ(r.minimum, 9.0);
    EXPECT_EQ(r.maximum, 24.0);  // the top lies below the largest sample
    // A negative minimum truncates toward zero.
    r = loadAll(makeRecording(2, 1, {-3.5, 7.0}));
    EXPECT_EQ(r.minimum, -4.0);
    EXPECT_EQ(r.maximum, 6.0);
    // No valid value: the range is inverted, and the heights have no span to divide by.
    r = loadAll(makeRecording(2, 2, {kNoValue, kNoValue, kNoValue, kNoValue}));
    EXPECT_LT(r.maximum, r.minimum);
    HeightScale scale(r.minimum, r.maximum);
    EXPECT_EQ(scale(5.0), 0);
    // Longer runs: the extremes and the marker in every position of a group of four, a
    // tail after the last whole group; a NaN (a damaged file) never enters.
    for (size_t at = 0; at < 7; ++at) {
        std::vector<double> v(7, 15.0);
        v[at] = 40.5;
        v[(at + 3) % 7] = -12.5;
        v[(at + 1) % 7] = kNoValue;
        v[(at + 5) % 7] = std::nan("");
        DataRange raw;
        widenRange(raw, v.data(), v.size());
        EXPECT_EQ(raw.minimum, -12.5) << at;
        EXPECT_EQ(raw.maximum, 40.5) << at;
    }
    // A flat range: hi == lo.
    HeightScale flat(9.0, 9.0);
    EXPECT_EQ(flat(9.0), 0);
}

TEST_F(HistoryRulesTest, LoaderBatchesAndProgress) {
    // S = 0: the first tick ends the loading.
    Recording empty = makeRecording(0, 3);
    HistoryLoader none(empty);
    EXPECT_EQ(none.progressMaximum(), 0);
    EXPECT_TRUE(none.addBatch());
    EXPECT_EQ(none.progress(), 1);
    // S < 100: range 0..0, one tick lists every row.
    Recording small = makeRecording(99, 2);
    HistoryLoader few(small);
    EXPECT_EQ(few.progressMaximum(), 0);
    EXPECT_TRUE(few.addBatch());
    EXPECT_EQ(few.rowsDone(), 99u);
    // 250 rows: progress range 0..2, three batches of 100, 100 and 50.
    Recording more = makeRecording(250, 1);
    HistoryLoader batches(more);
    EXPECT_EQ(batches.progressMaximum(), 2);
    EXPECT_FALSE(batches.addBatch());
    EXPECT_EQ(batches.rowsDone(), 100u);
    EXPECT_FALSE(batches.addBatch());
    EXPECT_TRUE(batches.addBatch());
    EXPECT_EQ(batches.rowsDone(), 250u);
    EXPECT_EQ(batches.progress(), 3);
    EXPECT_EQ(batches.range().maximum, 2490.0);
}

TEST_F(HistoryRulesTest, ListTexts) {
    Recording rec = makeRecording(1, 2, {12.345, kNoValue});
    EXPECT_EQ(gbkToUtf8(tableHeaderText(rec.definition)),
              "时间                    通道1        通道2        ");
    EXPECT_EQ(tableRowText(rec, 0), "2001/09/09 01:46:40     12.35        ERR_VAL      ");
    EXPECT_EQ(tableValueCell(-123456789012.5), "-123456789012");
    EventInfo alarm;
    alarm.setNameGbk(utf8ToGbk("超温"));
    rec.definition.events.push_back(alarm);
    rec.occurrences = {{1'000'000'001, 0}, {1'000'000'002, 7}, {1'000'000'003, -1}};
    EXPECT_EQ(gbkToUtf8(eventHeaderText()),
              "时间" + std::string(26, ' ') + "事件" + std::string(26, ' '));
    EXPECT_EQ(gbkToUtf8(eventRowText(rec, 0)),
              "2001/09/09 01:46:41" + std::string(11, ' ') + "超温" + std::string(26, ' '));
    const std::string unknown = eventRowText(rec, 1);
    EXPECT_EQ(unknown.size(), 60u);
    EXPECT_EQ(gbkToUtf8(unknown.substr(30)), "（未知事件 7）" + std::string(16, ' '));
    EXPECT_EQ(gbkToUtf8(eventRowText(rec, 2).substr(30)), "（未知事件 -1）" + std::string(15, ' '));
    // Padded text ends at the first zero byte.
    EXPECT_EQ(paddedText("ab\0cd", 5, 4), "ab  ");
}

TEST_F(HistoryRulesTest, DeletingRowsKeepsTheHeaderAndOccurrences) {
    Recording rec = makeRecording(5, 2);
    rec.occurrences = {{1, 0}};
    // List rows 2 and 3 are history rows 1 and 2; history row 3 moves to position 1.
    EXPECT_EQ(deleteListRows(rec, {2, 3}), 2u);
    ASSERT_EQ(rec.rowCount(), 3u);
    EXPECT_EQ(rec.times[1], 1'000'000'003);
    EXPECT_EQ(rec.value(1, 1), 31.0);
    EXPECT_EQ(rec.value(2, 0), 40.0);
    EXPECT_EQ(rec.occurrences.size(), 1u);
    // The header with other rows: only the others go.
    EXPECT_EQ(deleteListRows(rec, {0, 1}), 1u);
    EXPECT_EQ(rec.times[0], 1'000'000'003);
    EXPECT_EQ(deleteListRows(rec, {0}), 0u);
    EXPECT_EQ(deleteListRows(rec, {1, 2, 99}), 2u);
    EXPECT_EQ(rec.rowCount(), 0u);
    EXPECT_EQ(rec.values.size(), 0u);
}

// Runs of selected list rows remove what the same rows selected one by one remove: runs
// that overlap, hold the header, reach past the end or lie wholly beyond it; rows before
// the first removed one stay where they are; the save that follows reads back.
TEST_F(HistoryRulesTest, DeletingRunsOfRowsAsOneByOne) {
    tervo::testing::TempDir dir;
    const std::vector<std::vector<ListRowSpan>> cases{
        {{3, 5}},           {{0, 2}, {2, 4}}, {{7, 12}, {1, 1}}, {{10, 10}, {4, 6}, {5, 9}},
        {{0, 0}, {11, 99}}, {{12, 20}},       {{0, 11}},         {}};
    for (const auto& spans : cases) {
        std::string name;
        std::vector<int> oneByOne;
        for (const ListRowSpan& span : spans) {
            name += std::to_string(span.first) + "-" + std::to_string(span.last) + " ";
            for (int row = span.first; row <= span.last; ++row) {
                oneByOne.push_back(row);
            }
        }
        SCOPED_TRACE(name);
        Recording byRuns = makeRecording(11, 3);
        Recording byRows = byRuns;
        // The rows one by one, the slow way: each removed by moving the later ones down.
        std::vector<bool> doomed(byRows.rowCount(), false);
        for (int row : oneByOne) {
            if (row >= 1 && static_cast<size_t>(row) <= doomed.size()) {
                doomed[static_cast<size_t>(row - 1)] = true;
            }
        }
        Recording expected;
        expected.definition = byRows.definition;
        for (size_t r = 0; r < doomed.size(); ++r) {
            if (!doomed[r]) {
                expected.times.push_back(byRows.times[r]);
                for (size_t c = 0; c < 3; ++c) {
                    expected.values.push_back(byRows.value(r, c));
                }
            }
        }
        const size_t removed = deleteListRowSpans(byRuns, spans);
        EXPECT_EQ(removed, 11 - expected.rowCount());
        EXPECT_EQ(deleteListRows(byRows, oneByOne), removed);
        EXPECT_EQ(byRuns.times, expected.times);
        EXPECT_EQ(byRuns.values, expected.values);
        EXPECT_EQ(byRows.times, expected.times);
        EXPECT_EQ(byRows.values, expected.values);
        const std::string path = (dir / "saved.alt").string();
        ASSERT_EQ(writeRecording(path, byRuns), FileStatus::Ok);
        Recording back;
        ASSERT_EQ(readRecording(path, back), FileStatus::Ok);
        EXPECT_EQ(back.times, expected.times);
        EXPECT_EQ(back.values, expected.values);
    }
}

TEST_F(HistoryRulesTest, SaveAfterDeletionReadsBack) {
    tervo::testing::TempDir dir;
    Recording rec = makeRecording(4, 3);
    rec.definition.events.push_back(EventInfo{});
    rec.occurrences = {{5, 0}, {6, 0}};
    deleteListRows(rec, {2, 3});
    const std::string path = (dir / "saved.alt").string();
    ASSERT_EQ(writeRecording(path, rec), FileStatus::Ok);
    Recording back;
    ASSERT_EQ(readRecording(path, back), FileStatus::Ok);
    EXPECT_EQ(back.rowCount(), 2u);
    EXPECT_EQ(back.times, rec.times);
    EXPECT_EQ(back.values, rec.values);
    EXPECT_EQ(back.occurrences.size(), 2u);
}

namespace {

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The names in `folder`, sorted, separated by spaces.
std::string fileNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : " ") + name;
    }
    return text;
}

}  // namespace

TEST_F(HistoryRulesTest, CsvExportWritesBothFilesOrNeither) {
    tervo::testing::TempDir dir;
    Recording rec = makeRecording(2, 2, {12.5, kNoValue, 0.1, -3.0});
    rec.definition.channels[1].setNameGbk(utf8ToGbk("炉,温"));
    EventInfo hot;
    hot.setNameGbk(utf8ToGbk("超温"));
    rec.definition.events.push_back(hot);
    rec.occurrences = {{1'000'000'000, 0}, {1'000'000'001, 5}};
    const std::string csv = (dir / "out.csv").string();
    EXPECT_EQ(exportHistoryCsv(csv, rec).status, CsvExportStatus::Written);
    EXPECT_EQ(fileText(csv),
              "\xEF\xBB\xBF时间,通道1,\"炉,温\"\n"
              "2001/09/09 01:46:40,12.5,\n"
              "2001/09/09 01:46:41,0.1,-3\n");
    EXPECT_EQ(fileText(dir / "out_events.csv"),
              "\xEF\xBB\xBF时间,事件\n"
              "2001/09/09 01:46:40,超温\n"
              "2001/09/09 01:46:41,（未知事件 5）\n");

    // Streamed through a buffer much smaller than the file: the same bytes as in one piece.
    Recording big = makeRecording(20'000, 3);
    big.values[7] = kNoValue;
    std::ostringstream whole;
    whole << "\xEF\xBB\xBF";
    writeRowsCsv(whole, big);
    ASSERT_GT(whole.str().size(), 500'000u);
    EXPECT_EQ(exportHistoryCsv(csv, big).status, CsvExportStatus::Written);
    EXPECT_EQ(fileText(csv), whole.str());

    // The events file cannot be written: the rows file keeps its old content, nothing is left
    // beside them.
    std::filesystem::remove(dir / "out_events.csv");
    std::filesystem::create_directory(dir / "out_events.csv");
    const CsvExportOutcome failed = exportHistoryCsv(csv, rec);
    EXPECT_EQ(failed.status, CsvExportStatus::Failed);
    EXPECT_EQ(failed.failedPath, (dir / "out_events.csv").string());
    EXPECT_EQ(fileText(csv), whole.str());
    EXPECT_EQ(fileNames(dir.path()), "out.csv out_events.csv");
}

// The export writes each row's time stamp as the table does, in zones whose clocks move by
// an hour at an hour of UTC (Berlin), by half an hour (Lord Howe) or in the middle of an hour
// of UTC (St. John's), across those moves second by second and over a whole year; and each
// value as the shortest text that reads back as it, whatever the process's locale.
TEST_F(HistoryRulesTest, CsvExportTextsAsTheTableInEveryZone) {
    tervo::testing::TempDir dir;
    const std::vector<int64_t> moves{1'616'893'200, 1'615'699'800, 1'617'462'000};
    Recording rec = makeRecording(0, 2);
    for (int64_t move : moves) {
        for (int64_t t = move - 5400; t < move + 5400; t += 3) {
            rec.times.push_back(static_cast<int32_t>(t));
        }
    }
    for (int64_t t = 1'609'459'200; t < 1'609'459'200 + 366 * 86400; t += 599) {
        rec.times.push_back(static_cast<int32_t>(t));
    }
    for (size_t r = 0; r < rec.times.size(); ++r) {
        rec.values.push_back(r % 5 == 0 ? kNoValue : static_cast<double>(r) / 3.0 - 1000.0);
        rec.values.push_back(r % 7 == 0 ? 1e21 * static_cast<double>(r)
                                        : 0.1 * static_cast<double>(r));
    }
    for (const char* zone : {"Europe/Berlin", "Australia/Lord_Howe", "America/St_Johns", "UTC"}) {
        SCOPED_TRACE(zone);
        setenv("TZ", zone, 1);
        tzset();
        std::string expected = "\xEF\xBB\xBF时间,通道1,通道2\n";
        for (size_t r = 0; r < rec.rowCount(); ++r) {
            expected += timeStampText(rec.times[r]);
            for (size_t c = 0; c < 2; ++c) {
                expected += ',';
                if (!isNoValue(rec.value(r, c))) {
                    char text[32];
                    expected.append(text, std::to_chars(text, text + 32, rec.value(r, c)).ptr);
                }
            }
            expected += '\n';
        }
        const std::string csv = (dir / "zone.csv").string();
        ASSERT_EQ(exportHistoryCsv(csv, rec).status, CsvExportStatus::Written);
        const std::string written = fileText(csv);
        ASSERT_EQ(written.size(), expected.size());
        // The first row that differs, not two long texts.
        const auto [at, _] = std::mismatch(written.begin(), written.end(), expected.begin());
        EXPECT_EQ(at, written.end())
            << "from " << std::string(at, written.end()).substr(0, 60) << " where "
            << std::string(expected.begin() + (at - written.begin()), expected.end()).substr(0, 60);
    }
}

TEST_F(HistoryRulesTest, CsvValuesAreTheShortestTextsThatReadBack) {
    // Readings as the controller's value field gives them (whole digits, then d x 0.1, d x 0.01
    // ...), the edges of the short form, and doubles of any kind: each as std::to_chars
    // writes it.
    std::vector<double> values{0.0,
                               -0.0,
                               0.001,
                               -0.001,
                               0.0001,
                               0.005,
                               0.0125,
                               0.1,
                               0.3,
                               0.1 + 0.2,
                               1.0,
                               10.0,
                               100.0,
                               1000.0,
                               10000.0,
                               99999.999,
                               100000.0,
                               120000.0,
                               -99999.5,
                               23.45,
                               1e-300,
                               1e21,
                               -1e5 + 1e-3,
                               std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity()};
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        double reading = static_cast<double>(random() % 100000);
        double weight = 0.1;
        for (uint64_t d = random() % 5; d > 0; --d, weight /= 10) {
            reading += static_cast<double>(random() % 10) * weight;
        }
        values.push_back(i % 2 == 0 ? reading : -reading);
        const uint64_t bits = random();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        values.push_back(any);
    }
    const Recording rec = makeRecording(values.size(), 1, values);
    std::ostringstream csv;
    ASSERT_TRUE(writeRowsCsv(csv, rec));
    std::istringstream lines(csv.str());
    std::string line;
    std::getline(lines, line);  // the header
    for (double v : values) {
        ASSERT_TRUE(std::getline(lines, line));
        char text[32];
        const std::string expected(text, std::to_chars(text, text + 32, v).ptr);
        ASSERT_EQ(line.substr(line.find(',') + 1), expected) << "bits of " << v;
    }
}

TEST_F(HistoryRulesTest, CsvExportReportsProgressAndStopsWhenTold) {
    tervo::testing::TempDir dir;
    const std::string csv = (dir / "out.csv").string();
    Recording rec = makeRecording(10'000, 3);
    rec.definition.events.push_back({});
    rec.occurrences = {{1'000'000'000, 0}};

    // Told every 4096 rows and once more with all of them; the files are those of an export
    // that is told nothing.
    std::vector<size_t> told;
    const CsvExportOutcome done = exportHistoryCsv(csv, rec, [&](size_t rows) {
        told.push_back(rows);
        return true;
    });
    EXPECT_EQ(done.status, CsvExportStatus::Written);
    EXPECT_EQ(told, (std::vector<size_t>{4096, 8192, 10'000}));
    const std::string rows = fileText(csv);
    const std::string events = fileText(dir / "out_events.csv");
    ASSERT_EQ(exportHistoryCsv(csv, rec).status, CsvExportStatus::Written);
    EXPECT_EQ(fileText(csv), rows);
    EXPECT_EQ(fileText(dir / "out_events.csv"), events);

    // A stop half-way, or at the last word when both files are written: neither file is put
    // in place and no temporary is left, in an empty folder or over the files of before.
    for (const bool existing : {false, true}) {
        for (const size_t stopAt : {size_t{4096}, size_t{10'000}}) {
            SCOPED_TRACE("existing " + std::to_string(existing) + ", stop at " +
                         std::to_string(stopAt));
            if (existing) {
                ASSERT_EQ(exportHistoryCsv(csv, rec).status, CsvExportStatus::Written);
            } else {
                std::filesystem::remove(csv);
                std::filesystem::remove(dir / "out_events.csv");
            }
            told.clear();
            const CsvExportOutcome stopped = exportHistoryCsv(csv, rec, [&](size_t written) {
                told.push_back(written);
                return written < stopAt;
            });
            EXPECT_EQ(stopped.status, CsvExportStatus::Cancelled);
            EXPECT_EQ(stopped.failedPath, "");
            EXPECT_EQ(told.back(), stopAt);
            if (existing) {
                EXPECT_EQ(fileNames(dir.path()), "out.csv out_events.csv");
                EXPECT_EQ(fileText(csv), rows);
                EXPECT_EQ(fileText(dir / "out_events.csv"), events);
            } else {
                EXPECT_EQ(fileNames(dir.path()), "");
            }
        }
    }

    // A history without rows is told once, with none.
    told.clear();
    EXPECT_EQ(exportHistoryCsv(csv, makeRecording(0, 2),
                               [&](size_t written) {
                                   told.push_back(written);
                                   return false;
                               })
                  .status,
              CsvExportStatus::Cancelled);
    EXPECT_EQ(told, std::vector<size_t>{0});
}

TEST_F(HistoryRulesTest, ReportPaging) {
    EXPECT_EQ(reportPageCount(true, 61), 2);
    EXPECT_EQ(reportPageRows(1, 61).count, 60u);
    EXPECT_EQ(reportPageRows(2, 61).first, 60u);
    EXPECT_EQ(reportPageRows(2, 61).count, 1u);
    EXPECT_EQ(reportPageCount(true, 60), 1);
    EXPECT_EQ(reportPageCount(true, 0), 1);  // the header page alone
    EXPECT_EQ(reportPageRows(1, 0).count, 0u);
    EXPECT_EQ(reportPageCount(false, 5000), 1);
    EXPECT_EQ(reportEventCount(75), 60u);
    Recording none = makeRecording(0, 1);
    EXPECT_EQ(gbkToUtf8(reportRowTime(none, false)), "—");
    Recording two = makeRecording(2, 1);
    EXPECT_EQ(reportRowTime(two, true), "2001/09/09 01:46:41");
}

TEST_F(HistoryRulesTest, ViewStateZoomArrowsAndRuler) {
    HistoryViewRules v;
    EXPECT_FALSE(v.zoomIn());
    v.zoomOut();
    EXPECT_EQ(v.zoom(), 2);
    EXPECT_EQ(v.rulerText(1000, 5), "0000:50:00");  // (0 + 2 * 300) * 5
    v.pressArrow(2);
    EXPECT_TRUE(v.releaseArrow());
    EXPECT_EQ(v.offset(), 0);
    v.pressArrow(1);
    v.releaseArrow();
    v.pressArrow(1);
    v.releaseArrow();
    EXPECT_EQ(v.offset(), 760);
    v.pressArrow(2);
    v.releaseArrow();
    EXPECT_EQ(v.offset(), 380);
    EXPECT_FALSE(v.releaseArrow());
    EXPECT_TRUE(v.toggleFullScreen());
    EXPECT_EQ(v.rulerText(950, 2), "0000:10:00");  // 950 * 2 * 300 / 950
    v.setMode(HistoryMode::PeriodChart);
    EXPECT_FALSE(v.toggleFullScreen());
    EXPECT_TRUE(v.fullScreen());
    EXPECT_EQ(rulerLabelX(10), 84);
    EXPECT_EQ(rulerLabelX(950), 914);
}

TEST_F(HistoryRulesTest, HitTests) {
    EXPECT_EQ(legendBoxAt(820, 39 + 8, 2).channel, 0);
    EXPECT_EQ(legendBoxAt(820, 39 + 30 + 20, 2).channel, 1);
    EXPECT_FALSE(legendBoxAt(820, 39 + 60 + 10, 2).hit);
    EXPECT_FALSE(legendBoxAt(830, 39 + 10, 2).hit);
    EXPECT_EQ(legendColourAt(880, 39 + 30, 2).channel, 1);
    EXPECT_TRUE(inChartArea(30, 19));
    EXPECT_FALSE(inChartArea(30, 18));
}

TEST_F(HistoryRulesTest, Paths) {
    Recording rec = makeRecording(1, 1, {50.0});
    PathInput in;
    in.recording = &rec;
    // S = 1 full screen: a single dot at x = 0.
    Path full = fullScreenCurvePath(in);
    ASSERT_EQ(full.size(), 2u);
    EXPECT_EQ(full[0].x, 0);
    EXPECT_EQ(full[0].y, 519 - 260);
    EXPECT_EQ(full[1].x, 0);
    // A marker keeps the last height; as the first row it is height 0.
    Recording gaps = makeRecording(3, 1, {kNoValue, 50.0, kNoValue});
    in.recording = &gaps;
    Path scroll = scrollingCurvePath(in);
    ASSERT_EQ(scroll.size(), 4u);
    EXPECT_EQ(scroll[1].y, 520);
    EXPECT_EQ(scroll[2].y, 260);
    EXPECT_EQ(scroll[3].y, 260);
    in.offset = 3;
    EXPECT_TRUE(scrollingCurvePath(in).empty());
    in.offset = 0;
    // Under coefficients the marker still keeps the last height in every plotted picture,
    // never a scaled marker held at the bottom: 50 x 2 - 30 = 70, height 364.
    Recording scaled = makeRecording(3, 1, {50.0, kNoValue, kNoValue});
    scaled.definition.channels[0].displayCoefficient = 2.0;
    scaled.definition.channels[0].offsetCoefficient = -30.0;
    in.recording = &scaled;
    for (const Path& path : {fullScreenCurvePath(in), periodCurvePath(in, 5)}) {
        ASSERT_EQ(path.size(), 4u);
        for (const PathStep& s : path) {
            EXPECT_GE(s.y, 155);
            EXPECT_LE(s.y, 156);
        }
    }
    for (const PathStep& s : periodChartPath(in)) {
        EXPECT_NEAR(std::hypot(s.x - 475, s.y - 260), 182, 1);
    }
    // T = 950 folds after column 950; T = 951 stops at column 950; T = 0 stacks on column 1.
    Recording longer = makeRecording(2000, 1);
    in.recording = &longer;
    in.lo = 0;
    in.hi = 100000;
    in.period = 950;
    Path folded = periodCurvePath(in, 1);
    bool foldedBack = false;
    for (size_t i = 1; i < folded.size(); ++i) {
        if (!folded[i].line) {
            EXPECT_EQ(folded[i].x, 1);
            EXPECT_EQ(folded[i - 1].x, 950);
            foldedBack = true;
        }
    }
    EXPECT_TRUE(foldedBack);
    in.period = 951;
    Path straight = periodCurvePath(in, 1);
    EXPECT_EQ(straight.back().x, 950);
    EXPECT_EQ(straight.size(), 952u);
    in.period = 0;
    Path stacked = periodCurvePath(in, 0);  // p = 0 starts at row 0
    EXPECT_EQ(stacked[1].x, 0);
    for (size_t i = 2; i < stacked.size(); ++i) {
        EXPECT_EQ(stacked[i].x, 1);
    }
    // The polar chart with T = 0 keeps every row on the first spoke, without dividing by zero.
    Path polar = periodChartPath(in);
    for (const PathStep& s : polar) {
        EXPECT_EQ(s.y, 260);
    }
    // A million rows of one turn collapse to the pixels they land on.
    Recording big = makeRecording(1'000'000, 1, std::vector<double>(1'000'000, 100000.0));
    in.recording = &big;
    in.period = 1'000'000;
    const Path ring = periodChartPath(in);
    EXPECT_LT(ring.size(), 3000u);
    EXPECT_EQ(ring[1].x, 475 + 260);
}

TEST_F(HistoryRulesTest, OneWalkGivesEveryChannelItsOwnPath) {
    // Blocks of rows, folds inside them, failed readings and coefficients: walking three
    // channels at once hands each the steps its own path has.
    Recording rec = makeRecording(1000, 3);
    for (size_t i = 0; i < rec.values.size(); ++i) {
        rec.values[i] = i % 13 == 5 ? kNoValue : 50.0 + 40.0 * std::sin(double(i) / 29.0);
    }
    rec.definition.channels[1].displayCoefficient = 2.0;
    rec.definition.channels[1].offsetCoefficient = -30.0;
    PeriodWalk walk;
    walk.recording = &rec;
    walk.channels = {2, 0, 1};
    walk.period = 37;
    walk.zoom = 2;
    walk.offset = 15;
    walk.samplingPeriod = 5;
    std::vector<Path> chart(3);
    std::vector<Path> curve(3);
    auto into = [](std::vector<Path>& paths) {
        return [&paths](size_t slot, const PathStep& step) { paths[slot].push_back(step); };
    };
    StepSink chartSink(into(chart));
    StepSink curveSink(into(curve));
    walkPeriodChart(walk, chartSink);
    walkPeriodCurve(walk, curveSink);
    for (size_t slot = 0; slot < 3; ++slot) {
        PathInput one;
        one.recording = &rec;
        one.channel = walk.channels[slot];
        one.period = 37;
        one.zoom = 2;
        one.offset = 15;
        const Path ownChart = periodChartPath(one);
        const Path ownCurve = periodCurvePath(one, 5);
        ASSERT_EQ(chart[slot].size(), ownChart.size());
        ASSERT_EQ(curve[slot].size(), ownCurve.size());
        EXPECT_GT(ownChart.size(), 500u);
        EXPECT_GT(ownCurve.size(), 400u);
        for (size_t i = 0; i < ownChart.size(); ++i) {
            EXPECT_EQ(chart[slot][i].x, ownChart[i].x);
            EXPECT_EQ(chart[slot][i].y, ownChart[i].y);
            EXPECT_EQ(chart[slot][i].line, ownChart[i].line);
        }
        for (size_t i = 0; i < ownCurve.size(); ++i) {
            EXPECT_EQ(curve[slot][i].x, ownCurve[i].x);
            EXPECT_EQ(curve[slot][i].y, ownCurve[i].y);
            EXPECT_EQ(curve[slot][i].line, ownCurve[i].line);
        }
    }
}

TEST_F(HistoryRulesTest, WalksInPartsDrawTheLinesOfTheWhole) {
    // The pictures are drawn in parts on several processors: whatever row (step) a part starts
    // at, in a run of failed readings, at a fold or past the end, the parts' lines one after
    // the other are the whole walk's lines. Each line is recorded from where the pen stood.
    Recording rec = makeRecording(300, 2);
    for (size_t i = 0; i < rec.values.size(); ++i) {
        rec.values[i] = 50.0 + 45.0 * std::sin(double(i) / 7.0);
    }
    for (size_t r : {0u, 1u, 2u, 40u, 41u, 42u, 43u, 44u, 150u, 299u}) {
        rec.values[r * 2 + 1] = kNoValue;  // channel 1 fails at the start, in runs and last
    }
    rec.definition.channels[0].displayCoefficient = 1.5;
    rec.definition.channels[0].offsetCoefficient = -20.0;
    struct Line {
        size_t slot;
        int x0, y0, x1, y1;
        bool operator==(const Line&) const = default;
    };
    struct LineSink {
        std::vector<Line> drawn;
        std::array<int, kMaxChannels> x{};
        std::array<int, kMaxChannels> y{};
        void move(size_t slot, int toX, int toY) {
            x[slot] = toX;
            y[slot] = toY;
        }
        void lines(size_t slot, const int* xs, const int* ys, size_t n) {
            for (size_t i = 0; i < n; ++i) {
                drawn.push_back({slot, x[slot], y[slot], xs[i], ys[i]});
                move(slot, xs[i], ys[i]);
            }
        }
    };
    PeriodWalk walk;
    walk.recording = &rec;
    walk.channels = {1, 0};
    walk.samplingPeriod = 5;
    const struct {
        uint32_t period;
        int zoom;
        int64_t offset;
    } cases[] = {{37, 1, 0}, {37, 2, 15}, {0, 1, 0}, {1, 3, 0}, {2000, 1, 500}};
    for (const auto& k : cases) {
        walk.period = k.period;
        walk.zoom = k.zoom;
        walk.offset = k.offset;
        for (const bool chart : {true, false}) {
            auto walkInto = [&](LineSink& sink, size_t begin, size_t end) {
                if (chart) {
                    walkPeriodChart(walk, sink, begin, end);
                } else {
                    walkPeriodCurve(walk, sink, begin, end);
                }
            };
            LineSink whole;
            walkInto(whole, 0, SIZE_MAX);
            const size_t total = chart ? rec.rowCount() : periodCurveSteps(walk);
            ASSERT_EQ(whole.drawn.size(), 2 * total);
            for (size_t split = 1; split <= total + 1; ++split) {
                LineSink parts;
                walkInto(parts, 0, split);
                walkInto(parts, split, total + 5);
                // Each part's lines come block by block for both channels: compare per channel.
                for (size_t slot = 0; slot < 2; ++slot) {
                    std::vector<Line> a;
                    std::vector<Line> b;
                    std::copy_if(whole.drawn.begin(), whole.drawn.end(), std::back_inserter(a),
                                 [slot](const Line& l) { return l.slot == slot; });
                    std::copy_if(parts.drawn.begin(), parts.drawn.end(), std::back_inserter(b),
                                 [slot](const Line& l) { return l.slot == slot; });
                    ASSERT_TRUE(a == b)
                        << "period " << k.period << " zoom " << k.zoom
                        << (chart ? " chart" : " curve") << " split " << split << " slot " << slot;
                }
            }
        }
    }
}

TEST_F(HistoryRulesTest, ChannelInformationTexts) {
    EXPECT_EQ(portText(7), "COMM2");
    EXPECT_EQ(baudIndexText(12), "9600");
    EXPECT_EQ(addressText(7), "07");
    EXPECT_EQ(parameterText(static_cast<int32_t>('S' | ('V' << 8))), "SV");
    EXPECT_FALSE(parameterText(0).empty());
}
