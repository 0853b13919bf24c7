#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/io/ByteIo.h"
#include "core/io/FileIo.h"
#include "core/link/ParameterTable.h"
#include "core/text/Gbk.h"
#include "core/work/WorkFiles.h"
#include "support/ProcStatus.h"
#include "support/RawPty.h"

using namespace tervo;
using tervo::testing::TempDir;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes fileBytes(const std::string& path) {
    Bytes b;
    EXPECT_TRUE(readWholeFile(path, b));
    return b;
}

void putFile(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

uint32_t u32At(const Bytes& b, size_t at) {
    ByteReader r(b.data() + at, 4);
    return r.u32();
}

uint64_t u64At(const Bytes& b, size_t at) {
    uint64_t v = 0;
    std::memcpy(&v, b.data() + at, 8);
    return v;
}

ChannelInfo channel(const char* nameUtf8, int32_t code, uint8_t port, uint8_t address) {
    ChannelInfo c;
    c.setNameGbk(utf8ToGbk(nameUtf8));
    c.parameterCode = code;
    c.port = port;
    c.address = address;
    return c;
}

// A work with every field away from its default, reserved bytes included.
WorkDefinition richWork() {
    WorkDefinition w;
    w.valueMin = -50.5;
    w.valueMax = 1250.25;
    w.timing = {7, 600};
    w.backgroundColour = 0x112233;
    w.styles[19] = {0xABCDEF, 2};
    for (int i = 0; i < 3; ++i) {
        ChannelInfo c = channel("炉温", i, static_cast<uint8_t>(i), static_cast<uint8_t>(10 + i));
        c.reserved1 = {1, 2, 3, 4, static_cast<uint8_t>(i)};
        c.reserved2 = {9, 8, 7, 6, 5};
        c.displayCoefficient = 0.1 * (i + 1);
        c.offsetCoefficient = -3.0;
        w.channels.push_back(c);
    }
    w.channels[2].downloadFlag = 1;
    w.channels[2].setCurvePath("/data/curves/ramp.lin");
    w.channels[1].parameterCode = static_cast<int32_t>(literalCode('p', 'v'));
    EventInfo e;
    e.setNameGbk(utf8ToGbk("超温"));
    e.type = 4;
    e.compare = 1;
    e.data1 = 2;
    e.data2 = 1;
    e.data2Constant = 3.5;
    e.data3 = 255;
    e.data3Constant = 150.0;
    e.reserved = {0xDE, 0xAD, 0xBE, 0xEF};
    w.events.push_back(e);
    return w;
}

}  // namespace

TEST(WorkTemplate, NewWorkDefaultsAndTheEmptyTemplate) {
    TempDir dir;
    const WorkDefinition fresh;
    EXPECT_EQ(fresh.valueMin, 0.0);
    EXPECT_EQ(fresh.valueMax, 100.0);
    EXPECT_EQ(fresh.timing.samplingPeriod, 5);
    EXPECT_EQ(fresh.timing.displayPeriod, 360);
    EXPECT_EQ(fresh.styles[6].colour, 0x00FF00u) << "position 6 repeats position 1's green";
    EXPECT_EQ(fresh.styles[2].colour, 0u);
    EXPECT_EQ(fresh.styles[19].colour, 0x3F3F3Fu);

    ASSERT_EQ(saveWorkTemplate(dir / "empty.awt", fresh), FileStatus::Ok);
    const Bytes b = fileBytes(dir / "empty.awt");
    ASSERT_EQ(b.size(), 228u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 16), utf8ToGbk("Quorvex5工作模板"));
    EXPECT_EQ(u64At(b, 24), std::bit_cast<uint64_t>(100.0));
    EXPECT_EQ(u32At(b, 32), 5u) << "sampling period before display period";
    EXPECT_EQ(u32At(b, 36), 360u);
    EXPECT_EQ(u32At(b, 40), 0xFFFFD1u);
    EXPECT_EQ(u32At(b, 56), 0xFF9C9Fu) << "value ruler colour last";
    EXPECT_EQ(u32At(b, 60), 0x0000FFu);
    EXPECT_EQ(u32At(b, 64), 0u) << "pen width after each colour";
    EXPECT_EQ(u32At(b, 220), 0u);
    EXPECT_EQ(u32At(b, 224), 0u);

    WorkDefinition loaded = richWork();
    ASSERT_EQ(loadWorkTemplate(dir / "empty.awt", loaded), FileStatus::Ok);
    EXPECT_TRUE(loaded.channels.empty());
    EXPECT_TRUE(loaded.events.empty());
}

TEST(WorkTemplate, RoundTripIsByteForByte) {
    TempDir dir;
    const WorkDefinition work = richWork();
    ASSERT_EQ(saveWorkTemplate(dir / "a.awt", work), FileStatus::Ok);
    const Bytes first = fileBytes(dir / "a.awt");
    ASSERT_EQ(first.size(), 228u + 3 * 96 + 56);
    // Channel 2's curve path at 41, its NUL at 90, reserved bytes kept.
    const size_t ch2 = 228 + 2 * 96;
    EXPECT_EQ(first[ch2 + 40], 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&first[ch2 + 41])),
              "/data/curves/ramp.lin");
    EXPECT_EQ(first[ch2 + 90], 0);
    EXPECT_EQ(first[ch2 + 91], 9);
    EXPECT_EQ(first[228 + 3 * 96 + 44], 0xDE);

    WorkDefinition loaded;
    ASSERT_EQ(loadWorkTemplate(dir / "a.awt", loaded), FileStatus::Ok);
    ASSERT_EQ(loaded.channels.size(), 3u);
    EXPECT_EQ(gbkToUtf8(loaded.channels[0].nameGbk()), "炉温");
    EXPECT_EQ(loaded.channels[1].parameterCode, static_cast<int32_t>(literalCode('p', 'v')));
    EXPECT_EQ(loaded.events[0].data1, 2) << "events keep naming the same channels";
    ASSERT_EQ(saveWorkTemplate(dir / "b.awt", loaded), FileStatus::Ok);
    EXPECT_EQ(fileBytes(dir / "b.awt"), first);
}

TEST(WorkTemplate, RefusedFiles) {
    TempDir dir;
    const Bytes good = workTemplateBytes(richWork());
    WorkDefinition out;
    const auto refused = [&](const Bytes& b) {
        putFile(dir / "x.awt", b);
        WorkDefinition before = out;
        const FileStatus s = loadWorkTemplate(dir / "x.awt", out);
        EXPECT_EQ(out.channels.size(), before.channels.size()) << "untouched on failure";
        return s == FileStatus::Bad;
    };
    for (size_t i = 0; i < 16; ++i) {
        Bytes b = good;
        b[i] ^= 0x01;
        EXPECT_TRUE(refused(b)) << "header byte " << i;
    }
    Bytes many = good;
    many[220] = 21;
    EXPECT_TRUE(refused(many)) << "21 channels";
    Bytes huge = good;
    huge[224] = huge[225] = huge[226] = huge[227] = 0xFF;
    EXPECT_TRUE(refused(huge)) << "counts compare unsigned";
    EXPECT_TRUE(refused(Bytes(good.begin(), good.end() - 1))) << "short event block";
    Bytes noEvents = good;
    noEvents[224] = 0;
    noEvents.resize(228 + 2 * 96 + 50);
    EXPECT_TRUE(refused(noEvents)) << "short channel block";
    EXPECT_TRUE(refused(Bytes(good.begin(), good.begin() + 100)));
    Bytes trailing = good;
    trailing.push_back(0);
    putFile(dir / "t.awt", trailing);
    EXPECT_EQ(loadWorkTemplate(dir / "t.awt", out), FileStatus::Ok) << "nothing else is checked";
    EXPECT_EQ(loadWorkTemplate(dir / "missing.awt", out), FileStatus::CannotOpen);
}

TEST(WorkTemplate, TwentyChannelsAndTwentyEventsAreTheLimitNotBeyond) {
    TempDir dir;
    WorkDefinition full;
    for (int i = 0; i < 20; ++i) {
        full.channels.push_back(channel("通道", i, 0, static_cast<uint8_t>(i)));
        EventInfo e;
        e.data1 = i;
        full.events.push_back(e);
    }
    ASSERT_EQ(saveWorkTemplate(dir / "full.awt", full), FileStatus::Ok);
    WorkDefinition loaded;
    ASSERT_EQ(loadWorkTemplate(dir / "full.awt", loaded), FileStatus::Ok);
    EXPECT_EQ(loaded.channels.size(), 20u);
    EXPECT_EQ(loaded.events.size(), 20u);
    EXPECT_EQ(loaded.channels[19].address, 19);
    EXPECT_EQ(loaded.events[19].data1, 19);

    // One more of either, with its record in the file, is refused.
    for (size_t countAt : {size_t{220}, size_t{224}}) {
        Bytes over = workTemplateBytes(full);
        over[countAt] = 21;
        const size_t extra = countAt == 220 ? ChannelInfo::kSize : EventInfo::kSize;
        over.insert(over.end(), extra, 0);
        putFile(dir / "over.awt", over);
        EXPECT_EQ(loadWorkTemplate(dir / "over.awt", loaded), FileStatus::Bad) << countAt;
    }
}

TEST(WorkTemplate, NamesKeepTheirFirstTenBytes) {
    ChannelInfo c;
    // Six characters of GBK are twelve bytes: the sixth is cut off whole.
    c.setNameGbk(utf8ToGbk("一二三四五六"));
    EXPECT_EQ(c.nameGbk(), utf8ToGbk("一二三四五"));
    // "A" then five characters: the tenth byte is the first half of the fifth character.
    c.setNameGbk(utf8ToGbk("A一二三四五"));
    ASSERT_EQ(c.nameGbk().size(), 10u);
    EXPECT_EQ(c.nameGbk().substr(0, 9), utf8ToGbk("A一二三四"));
    EXPECT_EQ(static_cast<uint8_t>(c.nameGbk()[9]), static_cast<uint8_t>(utf8ToGbk("五")[0]));
    EXPECT_EQ(c.name[10], 0);
    EventInfo e;
    e.setNameGbk("0123456789abcdef");
    EXPECT_EQ(e.nameGbk(), "0123456789");
    c.setCurvePath(std::string(60, 'p'));
    EXPECT_EQ(c.curvePathText().size(), 48u);
}

TEST(RecordFile, LayoutOfARecording) {
    TempDir dir;
    WorkDefinition work = richWork();
    ASSERT_EQ(writeRecordFile(dir / "r.alt", work, nullptr, nullptr, 0, nullptr, 0),
              FileStatus::Ok);
    Bytes b = fileBytes(dir / "r.alt");
    EXPECT_EQ(b.size(), 580u) << "3 channels and 1 event, no rows yet";
    EXPECT_EQ(std::string(b.begin(), b.begin() + 16), utf8ToGbk("Quorvex5控制软件"));
    EXPECT_EQ(u64At(b, 16), std::bit_cast<uint64_t>(-50.5)) << "the minimum right after the header";
    EXPECT_EQ(u32At(b, 228), 0u);
    EXPECT_EQ(u32At(b, 232), 0u);

    const std::vector<int32_t> times{1078414200, 1078414205};
    const std::vector<double> values{1.5, 2.5, kNoValue, 4.0, 5.0, 6.0};
    const std::vector<EventOccurrence> occurrences{{1078414205, 0}, {1078414206, 1}};
    ASSERT_EQ(
        writeRecordFile(dir / "r.alt", work, times.data(), values.data(), 2, occurrences.data(), 2),
        FileStatus::Ok);
    b = fileBytes(dir / "r.alt");
    ASSERT_EQ(b.size(), 580u + 2 * (4 + 24) + 16);
    const size_t row0 = 580;
    EXPECT_EQ(u32At(b, row0), 1078414200u);
    EXPECT_EQ(u64At(b, row0 + 4 + 16), 0xC16312CFE0000000ull) << "third value of the row";
    EXPECT_EQ(u32At(b, b.size() - 4), 1u) << "the last occurrence's event index";

    Recording rec;
    ASSERT_EQ(readRecording(dir / "r.alt", rec), FileStatus::Ok);
    EXPECT_EQ(rec.rowCount(), 2u);
    EXPECT_TRUE(isNoValue(rec.value(0, 2)));
    EXPECT_EQ(rec.value(1, 2), 6.0);
    EXPECT_EQ(rec.occurrences[1].event, 1);
    ASSERT_EQ(writeRecording(dir / "again.alt", rec), FileStatus::Ok);
    EXPECT_EQ(fileBytes(dir / "again.alt"), b);

    WorkDefinition noEvents = work;
    noEvents.events.clear();
    writeRecordFile(dir / "n.alt", noEvents, times.data(), values.data(), 2, nullptr, 0);
    EXPECT_EQ(fileBytes(dir / "n.alt").size(), 236u + 96 * 3 + 2 * (4 + 8 * 3))
        << "ends with the last row";
}

TEST(RecordFile, RefusedFilesAndAnyHeader) {
    TempDir dir;
    WorkDefinition work = richWork();
    const std::vector<int32_t> times{1, 2};
    const std::vector<double> values(6, 1.0);
    const std::vector<EventOccurrence> occurrences{{3, 0}};
    const Bytes good = recordFileBytes(work, times.data(), values.data(), 2, occurrences.data(), 1);
    Recording out;
    const auto status = [&](const Bytes& b) {
        Recording r;
        return parseRecording(b, r);
    };
    Bytes header = good;
    std::memcpy(header.data(), "anything at all.", 16);
    EXPECT_EQ(status(header), FileStatus::Ok);

    const auto withCount = [&](size_t at, uint32_t v) {
        Bytes b = good;
        b[at] = static_cast<uint8_t>(v);
        b[at + 1] = static_cast<uint8_t>(v >> 8);
        b[at + 2] = static_cast<uint8_t>(v >> 16);
        b[at + 3] = static_cast<uint8_t>(v >> 24);
        return b;
    };
    EXPECT_EQ(status(withCount(220, 21)), FileStatus::Bad) << "more channels than a work holds";
    EXPECT_EQ(status(withCount(228, 0x10000001)), FileStatus::Bad);
    EXPECT_EQ(status(withCount(224, 0x10000001)), FileStatus::Bad);
    EXPECT_EQ(status(withCount(228, 0x10000000)), FileStatus::Bad) << "rows the file lacks";
    EXPECT_EQ(status(Bytes(good.begin(), good.end() - 9)), FileStatus::Bad) << "a short row";
    Bytes trailing = good;
    trailing.push_back(0);
    EXPECT_EQ(status(trailing), FileStatus::Bad) << "bytes after the occurrences";
    EXPECT_EQ(status(Bytes(good.begin(), good.begin() + 200)), FileStatus::Bad);
    EXPECT_EQ(readRecording(dir / "missing.alt", out), FileStatus::CannotOpen);
}

// An occurrence block shorter than its count costs only what was cut: the rows and every
// whole occurrence before the cut are read, and the reading says the block was cut short.
TEST(RecordFile, AnOccurrenceBlockCutShortKeepsTheRowsAndTheWholeOccurrences) {
    const WorkDefinition work = richWork();
    const std::vector<int32_t> times{1, 2};
    const std::vector<double> values(6, 1.0);
    const std::vector<EventOccurrence> occurrences{{3, 0}, {4, 0}, {5, 0}};
    const Bytes good = recordFileBytes(work, times.data(), values.data(), 2, occurrences.data(), 3);
    Bytes countsMore = good;
    countsMore[232 + 3] = 0x7F;  // K far beyond what the file holds
    struct Case {
        Bytes bytes;
        size_t occurrences;
        bool cutShort;
    };
    for (const Case& c :
         {Case{good, 3, false}, Case{Bytes(good.begin(), good.end() - 1), 2, true},
          Case{Bytes(good.begin(), good.end() - 8), 2, true},
          Case{Bytes(good.begin(), good.end() - 24), 0, true}, Case{countsMore, 3, true}}) {
        SCOPED_TRACE(std::to_string(c.bytes.size()) + " bytes");
        Recording rec;
        ASSERT_EQ(parseRecording(c.bytes, rec), FileStatus::Ok);
        EXPECT_EQ(rec.times, times);
        EXPECT_EQ(rec.values, values);
        ASSERT_EQ(rec.occurrences.size(), c.occurrences);
        EXPECT_EQ(rec.occurrencesCutShort, c.cutShort);
        for (size_t k = 0; k < c.occurrences; ++k) {
            EXPECT_EQ(rec.occurrences[k].time, occurrences[k].time);
        }
    }
}

TEST(RecordFile, TwentyChannelsAreTheLimitNotBeyond) {
    WorkDefinition work;
    work.channels.resize(20);
    const std::vector<int32_t> times{1, 2};
    std::vector<double> values(40);
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<double>(i);
    }
    const Bytes full = recordFileBytes(work, times.data(), values.data(), 2, nullptr, 0);
    Recording rec;
    ASSERT_EQ(parseRecording(full, rec), FileStatus::Ok);
    EXPECT_EQ(rec.channelCount(), 20u);
    EXPECT_EQ(rec.value(1, 19), 39.0);

    work.channels.resize(21);
    values.resize(42);
    EXPECT_EQ(
        parseRecording(recordFileBytes(work, times.data(), values.data(), 2, nullptr, 0), rec),
        FileStatus::Bad);
}

TEST(RecordFile, NoChannelsWithRowsReadsBack) {
    TempDir dir;
    const WorkDefinition empty;
    const std::vector<int32_t> times{10, 20, 30};
    ASSERT_EQ(writeRecordFile(dir / "e.alt", empty, times.data(), nullptr, 3, nullptr, 0),
              FileStatus::Ok);
    EXPECT_EQ(fileBytes(dir / "e.alt").size(), 236u + 3 * 4) << "each row is its time stamp";
    Recording rec;
    ASSERT_EQ(readRecording(dir / "e.alt", rec), FileStatus::Ok);
    EXPECT_EQ(rec.times, times);
    EXPECT_TRUE(rec.values.empty());
}

// A long recording goes from the file into its arrays piece by piece: every row, event and
// occurrence comes back across the pieces' seams, and reading takes little more memory than
// the recording itself (a copy of the whole file on the way would double it).
TEST(RecordFile, ALongRecordingReadsWholeWithoutACopyOfTheFile) {
    TempDir dir;
    const std::string path = dir / "long.alt";
    constexpr size_t kRows = 100'003;
    constexpr size_t kChannels = 20;
    constexpr size_t kOccurrences = 300'001;  // 2.4 MB: they cross seams too
    {
        WorkDefinition work = richWork();
        work.channels.resize(kChannels, work.channels[0]);
        std::vector<int32_t> times(kRows);
        std::vector<double> values(kRows * kChannels);
        std::vector<EventOccurrence> occurrences(kOccurrences);
        for (size_t r = 0; r < kRows; ++r) {
            times[r] = static_cast<int32_t>(1'700'000'000 + r);
            for (size_t c = 0; c < kChannels; ++c) {
                values[r * kChannels + c] = static_cast<double>(r) + static_cast<double>(c) / 100;
            }
        }
        for (size_t k = 0; k < kOccurrences; ++k) {
            occurrences[k] = {static_cast<int32_t>(k), static_cast<int32_t>(k % 7)};
        }
        ASSERT_EQ(writeRecordFile(path, work, times.data(), values.data(), kRows,
                                  occurrences.data(), kOccurrences),
                  FileStatus::Ok);
    }
    const double fileKb = static_cast<double>(std::filesystem::file_size(path)) / 1024;
    // The peak from here on; without it the test only reads the time the file was written.
    const bool peakReset =
        static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5" << std::flush);
    const long before = tervo::testing::statusKb("VmRSS:");

    Recording rec;
    ASSERT_EQ(readRecording(path, rec), FileStatus::Ok);
    const long peak = tervo::testing::statusKb("VmHWM:");
    ASSERT_EQ(rec.rowCount(), kRows);
    ASSERT_EQ(rec.channelCount(), kChannels);
    ASSERT_EQ(rec.occurrences.size(), kOccurrences);
    EXPECT_EQ(gbkToUtf8(rec.definition.events[0].nameGbk()), "超温");
    size_t wrong = 0;
    for (size_t r = 0; r < kRows; ++r) {
        wrong += rec.times[r] != static_cast<int32_t>(1'700'000'000 + r);
        for (size_t c = 0; c < kChannels; ++c) {
            wrong += rec.value(r, c) != static_cast<double>(r) + static_cast<double>(c) / 100;
        }
    }
    for (size_t k = 0; k < kOccurrences; ++k) {
        wrong += rec.occurrences[k].time != static_cast<int32_t>(k) ||
                 rec.occurrences[k].event != static_cast<int32_t>(k % 7);
    }
    EXPECT_EQ(wrong, 0u);
    double allowed = 1.3 * fileKb;
#ifdef __SANITIZE_ADDRESS__
    allowed += fileKb / 8;  // the address sanitizer's shadow of the arrays
#endif
    if (peakReset && before > 0 && peak > 0) {
        EXPECT_LT(static_cast<double>(peak - before), allowed)
            << "peak +" << peak - before << " kB reading a " << fileKb << " kB file";
    }
}

// A record file cut short on disk while it is read: the reading either ends before the cut
// and holds the whole recording, or is refused, leaving what the caller held untouched;
// never a recording with rows the file no longer backs (read as zeros, say), never a crash.
TEST(RecordFile, AFileCutWhileItIsReadIsReadWholeOrRefused) {
    TempDir dir;
    const std::string path = dir / "cut.alt";
    constexpr size_t kRows = 60'000;
    WorkDefinition work;
    work.channels.resize(20);
    std::vector<int32_t> times(kRows);
    std::vector<double> values(kRows * 20);
    for (size_t i = 0; i < values.size(); ++i) {
        values[i] = 1.0 + static_cast<double>(i);
    }
    for (size_t r = 0; r < kRows; ++r) {
        times[r] = static_cast<int32_t>(r);
    }
    const Bytes whole = recordFileBytes(work, times.data(), values.data(), kRows, nullptr, 0);
    int refused = 0;
    int read = 0;
    for (int attempt = 0; attempt < 24; ++attempt) {
        putFile(path, whole);
        Recording rec;
        rec.times = {-1};
        std::thread cutter([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(500 * attempt));
            std::filesystem::resize_file(path, whole.size() / 2 + 4096 * attempt);
        });
        const FileStatus status = readRecording(path, rec);
        cutter.join();
        if (status == FileStatus::Bad) {
            ++refused;
            EXPECT_EQ(rec.times, std::vector<int32_t>{-1}) << "untouched";
        } else {
            ASSERT_EQ(status, FileStatus::Ok);
            ++read;
            EXPECT_EQ(rec.times, times);
            EXPECT_TRUE(rec.values == values) << "every value as written";
        }
    }
    EXPECT_EQ(refused + read, 24);
    EXPECT_GT(refused, 0) << "the cut came before the reading ended at least once";

    // A source whose bytes give out in the middle of the rows: refused the same way.
    struct GivesOut : RecordSource {
        const Bytes& bytes;
        mutable int reads = 0;
        explicit GivesOut(const Bytes& b) : bytes(b) {}
        uint64_t size() const override { return bytes.size(); }
        bool read(uint64_t offset, uint8_t* out, size_t size) const override {
            if (++reads > 4 || offset + size > bytes.size()) {
                return false;
            }
            std::memcpy(out, bytes.data() + offset, size);
            return true;
        }
    };
    Recording rec;
    rec.times = {-1};
    EXPECT_EQ(parseRecording(GivesOut(whole), rec), FileStatus::Bad);
    EXPECT_EQ(rec.times, std::vector<int32_t>{-1});
}
