#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/history/HistoryRules.h"
#include "core/io/FileIo.h"
#include "core/work/RecordWriter.h"
#include "core/work/RecordWriterThread.h"
#include "core/work/WorkFiles.h"
#include "support/ProcStatus.h"
#include "support/RawPty.h"
#include "support/TestDisk.h"

using namespace tervo;
using tervo::testing::TempDir;
using tervo::testing::TestDisk;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes fileBytes(const std::string& path) {
    Bytes b;
    EXPECT_TRUE(readWholeFile(path, b)) << path;
    return b;
}

Bytes imageOf(const Recording& r) {
    return recordFileBytes(r.definition, r.times.data(), r.values.data(), r.rowCount(),
                           r.occurrences.data(), r.occurrences.size());
}

// Reads the file as a history window opens it, then replays what its journal holds as the
// window does afterwards: the read writes nothing, and sees the image the replay makes.
void readThenRecover(const std::string& path, const Bytes& expected) {
    const Bytes onDisk = fileBytes(path);
    Recording read;
    ASSERT_EQ(readRecording(path, read), FileStatus::Ok);
    EXPECT_EQ(imageOf(read), expected);
    EXPECT_TRUE(read.journalLeft);
    EXPECT_EQ(fileBytes(path), onDisk) << "the read writes nothing";
    EXPECT_TRUE(recoverRecordFile(path));
    EXPECT_EQ(fileBytes(path), expected) << "recovered on disk";
    EXPECT_FALSE(std::filesystem::exists(recordJournalPath(path)));
}

// A recording growing cycle by cycle, as the sampling engine holds it.
struct Growing {
    WorkDefinition work;
    std::vector<int32_t> times;
    std::vector<double> values;
    std::vector<EventOccurrence> occurrences;

    bool everyCycle = false;  // event 1 fires every cycle

    explicit Growing(size_t events = 2, size_t channels = 3) {
        work.channels.resize(channels);
        work.events.resize(events);
    }
    // One cycle; every third cycle fires event 1, every fifth also event 0.
    void cycle() {
        const size_t channels = work.channels.size();
        const int32_t t = 1'700'000'000 + 5 * static_cast<int32_t>(times.size());
        times.push_back(t);
        for (size_t c = 0; c < channels; ++c) {
            values.push_back(20.0 + static_cast<double>(times.size()) / 10.0 +
                             static_cast<double>(c));
        }
        if (work.events.empty()) {
            return;
        }
        if (times.size() % 5 == 0) {
            occurrences.push_back({t, 0});
        }
        if (everyCycle || times.size() % 3 == 0) {
            occurrences.push_back({t, 1});
        }
    }
    Bytes image() const {
        return recordFileBytes(work, times.data(), values.data(), times.size(), occurrences.data(),
                               occurrences.size());
    }
    FileStatus writeWith(RecordWriter& writer) const {
        return writer.write(work, times.data(), values.data(), times.size(), occurrences.data(),
                            occurrences.size());
    }
    // Records the cycles so far into `path`, then one more whose writer dies with that cycle in
    // its journal only, as a crash leaves it.
    void crashWithLastCycleInJournal(const std::string& path) {
        RecordWriter writer(path);
        ASSERT_EQ(writeWith(writer), FileStatus::Ok);
        cycle();
        writer.stopAfterStep(2);
        EXPECT_EQ(writeWith(writer), FileStatus::CannotWrite);
    }
};

}  // namespace

// Readers see every cycle's whole image. Without occurrences every cycle goes into the file
// in place; once the occurrence block is large, cycles are kept in the journal and the file
// holds an earlier whole image until the block is moved, and at every checkpoint (an emptied
// journal) and when the writer ends the file is the image itself.
TEST(RecordWriter, EachCycleTouchesOnlyWhatChangedAndLeavesTheWholeImage) {
    for (const int events : {0, 2}) {
        SCOPED_TRACE(events);
        TempDir dir;
        const std::string path = dir / "r.alt";
        Growing rec(static_cast<size_t>(events));
        rec.everyCycle = true;
        {
            RecordWriter writer(path);
            writer.setCheckpointEvery(8);
            ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
            EXPECT_EQ(writer.lastMethod(), RecordWriter::Method::Whole) << "the start is whole";
            EXPECT_EQ(fileBytes(path), rec.image());
            int kept = 0;
            for (int i = 0; i < 200; ++i) {
                rec.cycle();
                if (i == 150) {
                    rec.cycle();  // two cycles at once (a write that failed in between)
                }
                ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok) << i;
                Bytes seen;
                ASSERT_TRUE(readRecordImage(path, seen));
                ASSERT_EQ(seen, rec.image()) << "cycle " << i;
                const auto method = writer.lastMethod();
                ASSERT_NE(method, RecordWriter::Method::Whole) << i;
                kept += method == RecordWriter::Method::Journal;
                if (method == RecordWriter::Method::InPlace) {
                    ASSERT_EQ(fileBytes(path), rec.image()) << "cycle " << i;
                }
                if (std::filesystem::file_size(recordJournalPath(path)) == 40u) {
                    ASSERT_EQ(fileBytes(path), rec.image()) << "checkpoint at cycle " << i;
                }
            }
            EXPECT_EQ(kept > 0, events > 0) << "only a block is worth keeping back";
        }
        EXPECT_FALSE(std::filesystem::exists(recordJournalPath(path)));
        EXPECT_EQ(fileBytes(path), rec.image()) << "the writer's end puts every cycle in";
    }
}

// The bytes a cycle hands to the disk (journal and file, counted at the disk), amortised over
// the recording, stay within twice those of a cycle without occurrences, however long the
// recording and however many occurrences the block holds. (Writing the whole block every
// cycle would cost 2 x 8 bytes per occurrence held: 32 kB a cycle here by the end.)
TEST(RecordWriter, BytesPerCycleStayBoundedWithAnOccurrenceEveryCycle) {
    const auto bytesPerCycle = [](bool events, size_t cycles) {
        TempDir dir;
        TestDisk disk;
        Growing rec(events ? 2 : 0, 20);
        rec.everyCycle = true;
        RecordWriter writer(dir / "r.alt", disk);
        EXPECT_EQ(rec.writeWith(writer), FileStatus::Ok);
        const uint64_t start = disk.bytes;
        for (size_t i = 0; i < cycles; ++i) {
            rec.cycle();
            EXPECT_EQ(rec.writeWith(writer), FileStatus::Ok);
        }
        return static_cast<double>(disk.bytes - start) / static_cast<double>(cycles);
    };
    const double plain = bytesPerCycle(false, 2000);
    std::printf("no occurrences: %.1f bytes per cycle\n", plain);
    EXPECT_LT(plain, 2 * (4 + 8 * 20) + 100) << "a cycle without events: its row twice";
    for (const size_t cycles : {500u, 2000u, 4000u}) {
        const double each = bytesPerCycle(true, cycles);
        std::printf("%zu cycles, an occurrence each: %.1f bytes per cycle\n", cycles, each);
        EXPECT_LE(each, 2 * plain) << cycles << " cycles";
    }
}

// On its own thread the writer is handed only each cycle's new rows and occurrences, and its
// file is the recording's image all the same, whatever the disk's pace; a disk that fails is
// never taken for written.
TEST(RecordWriter, OnItsOwnThreadEveryCycleLandsInOrderAndAFailingDiskIsNeverSuccess) {
    TempDir dir;
    TestDisk disk;
    disk.delayMs = 1;
    Growing rec;
    const auto handOver = [&rec](RecordWriterThread& thread, size_t rows, size_t occurrences) {
        const size_t n = rec.work.channels.size();
        thread.submit(rec.work, rec.times.data() + rows, rec.values.data() + rows * n,
                      rec.times.size() - rows, rec.occurrences.data() + occurrences,
                      rec.occurrences.size() - occurrences);
    };
    const std::string path = dir / "r.alt";
    auto writer = std::make_unique<RecordWriter>(path, disk);
    ASSERT_TRUE(writer->claim());
    RecordWriterThread thread(std::move(writer));
    handOver(thread, 0, 0);
    for (int i = 0; i < 60; ++i) {
        const size_t rows = rec.times.size();
        const size_t occurrences = rec.occurrences.size();
        rec.cycle();
        if (i == 30) {
            rec.work.backgroundColour ^= 0xFF;  // the chart's colours changed while recording
        }
        handOver(thread, rows, occurrences);
    }
    thread.finish();
    const std::vector<FileStatus> results = thread.takeResults();
    EXPECT_FALSE(results.empty());
    EXPECT_EQ(std::count(results.begin(), results.end(), FileStatus::Ok), results.size());
    EXPECT_EQ(fileBytes(path), rec.image());
    EXPECT_FALSE(std::filesystem::exists(recordJournalPath(path)));

    disk.failing = true;
    auto failing = std::make_unique<RecordWriter>(dir / "f.alt", disk);
    ASSERT_TRUE(failing->claim());
    RecordWriterThread failed(std::move(failing));
    handOver(failed, 0, 0);
    failed.finish();
    EXPECT_EQ(failed.takeResults(), std::vector<FileStatus>{FileStatus::CannotWrite});
}

TEST(RecordWriter, AnythingUnexpectedMakesTheCycleAWholeReplace) {
    TempDir dir;
    const std::string path = dir / "r.alt";
    Growing rec;
    RecordWriter writer(path);
    rec.cycle();
    ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);

    // Another program appended to the file.
    std::ofstream(path, std::ios::binary | std::ios::app) << 'x';
    rec.cycle();
    ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
    EXPECT_EQ(writer.lastMethod(), RecordWriter::Method::Whole);
    EXPECT_EQ(fileBytes(path), rec.image());

    // The chart colours changed while recording: the definition ahead of the rows differs.
    rec.work.backgroundColour ^= 0xFF;
    rec.cycle();
    ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
    EXPECT_EQ(writer.lastMethod(), RecordWriter::Method::Whole);
    EXPECT_EQ(fileBytes(path), rec.image());

    // The file was replaced by another one of the same length.
    Bytes now = fileBytes(path);
    now[20] ^= 0x01;
    std::filesystem::remove(path);
    ASSERT_TRUE(writeFileAtomically(path, now));
    rec.cycle();
    ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
    EXPECT_EQ(writer.lastMethod(), RecordWriter::Method::Whole);
    EXPECT_EQ(fileBytes(path), rec.image());

    rec.cycle();
    ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
    EXPECT_EQ(writer.lastMethod(), RecordWriter::Method::InPlace) << "and then in place again";
    EXPECT_EQ(fileBytes(path), rec.image());
}

TEST(RecordWriter, ACrashAtAnyStepRecoversTheLastCompleteImage) {
    // Step 0 tears the journal entry itself; from step 1 on the entry is whole, and from then
    // on the update belongs to the last complete image. Steps 3 to 6 are reached by a patch
    // only (with an event every cycle, the cycle that moves the block after cycles kept in
    // the journal). Without events there is no occurrence block: an update starts at the
    // file's very end.
    struct Case {
        size_t events;
        bool everyCycle;
    };
    for (const Case c : {Case{2, false}, Case{0, false}, Case{2, true}}) {
        for (int step = 0; step <= 6; ++step) {
            SCOPED_TRACE("stopped after step " + std::to_string(step) + ", events " +
                         std::to_string(c.events) + (c.everyCycle ? " every cycle" : ""));
            TempDir dir;
            const std::string path = dir / "r.alt";
            Growing rec(c.events);
            rec.everyCycle = c.everyCycle;
            for (int i = 0; i < 7; ++i) {
                rec.cycle();
            }
            Bytes before;
            Bytes after;
            const Bytes& expected = step == 0 ? before : after;
            {
                RecordWriter writer(path);
                writer.setCheckpointEvery(2);
                ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
                for (int i = 0; i < 30; ++i) {  // the block grows large enough to keep back
                    rec.cycle();
                    ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
                    ASSERT_NE(writer.lastMethod(), RecordWriter::Method::Whole);
                }
                writer.stopAfterStep(step);
                FileStatus status = FileStatus::Ok;
                for (int i = 0; i < 500 && status == FileStatus::Ok; ++i) {
                    before = rec.image();
                    rec.cycle();
                    rec.cycle();  // two rows and new occurrences in this update
                    after = rec.image();
                    status = rec.writeWith(writer);
                }
                ASSERT_EQ(status, FileStatus::CannotWrite) << "the step was reached";

                // The writer still holds its journal: others read the last complete image and
                // leave the file alone.
                Bytes seen;
                ASSERT_TRUE(readRecordImage(path, seen));
                EXPECT_EQ(seen, expected);
                const Bytes onDisk = fileBytes(path);
                EXPECT_TRUE(recoverRecordFile(path));
                EXPECT_EQ(fileBytes(path), onDisk) << "a live writer's file is not touched";
            }  // the process dies here: the journal stays behind

            Bytes seen;
            ASSERT_TRUE(readRecordImage(path, seen));
            EXPECT_EQ(seen, expected) << "read in memory, before any recovery";
            readThenRecover(path, expected);
        }
    }
}

// A disk that fails a write half way, at any write of a recording with an occurrence every
// cycle: that cycle is reported and never taken for written, readers see a whole image all
// along, and the recording goes on to a file that is its image.
TEST(RecordWriter, AWriteFailingAnywhereLeavesAWholeImage) {
    for (int failing = 2; failing < 60; failing += 3) {
        SCOPED_TRACE(failing);
        TempDir dir;
        TestDisk disk;
        disk.failWrite = failing;
        const std::string path = dir / "r.alt";
        Growing rec;
        rec.everyCycle = true;
        std::vector<Bytes> images;
        {
            RecordWriter writer(path, disk);
            writer.setCheckpointEvery(4);
            ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
            images.push_back(rec.image());
            for (int i = 0; i < 40; ++i) {
                rec.cycle();
                const FileStatus status = rec.writeWith(writer);
                images.push_back(rec.image());
                Bytes seen;
                ASSERT_TRUE(readRecordImage(path, seen));
                if (status == FileStatus::Ok) {
                    ASSERT_EQ(seen, images.back()) << i;
                } else {
                    ASSERT_TRUE(std::find(images.begin(), images.end(), seen) != images.end())
                        << "a whole image of some cycle, cycle " << i;
                }
            }
        }
        EXPECT_EQ(fileBytes(path), rec.image());
        EXPECT_FALSE(std::filesystem::exists(recordJournalPath(path)));
    }
}

TEST(RecordWriter, AJournalLeftBehindIsRecoveredAtTheNextWriteAndIgnoredWhenForeign) {
    TempDir dir;
    const std::string path = dir / "r.alt";
    Growing rec;
    rec.cycle();
    rec.crashWithLastCycleInJournal(path);
    ASSERT_TRUE(std::filesystem::exists(recordJournalPath(path)));
    // The next recording into the same file starts from a clean slate.
    Growing next;
    RecordWriter writer(path);
    ASSERT_EQ(next.writeWith(writer), FileStatus::Ok);
    EXPECT_EQ(fileBytes(path), next.image());
    next.cycle();
    ASSERT_EQ(next.writeWith(writer), FileStatus::Ok);
    EXPECT_EQ(fileBytes(path), next.image());

    // A torn journal (cut while it was written) says nothing and is removed.
    const std::string other = dir / "o.alt";
    ASSERT_TRUE(writeFileAtomically(other, rec.image()));
    Bytes garbage(50, 0x54);
    std::ofstream(recordJournalPath(other), std::ios::binary)
        .write(reinterpret_cast<const char*>(garbage.data()), 50);
    readThenRecover(other, rec.image());
}

// The end of a recording whose last cycles are kept in the journal replays them into the file;
// a write of that replay failing half way (as a crash would cut it) leaves file and journal
// that the next open replays to the whole image all the same: the block, which the file holds
// where the rows now go, is kept in the journal before the file is touched.
TEST(RecordWriter, AReplayCutShortIsReplayedAgain) {
    for (int failing = 1; failing <= 5; ++failing) {  // each write the replay makes
        SCOPED_TRACE(failing);
        TempDir dir;
        TestDisk disk;
        const std::string path = dir / "r.alt";
        Growing rec;
        rec.everyCycle = true;
        for (int i = 0; i < 100; ++i) {
            rec.cycle();
        }
        {
            RecordWriter writer(path, disk);
            ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
            do {
                rec.cycle();
                ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
            } while (writer.lastMethod() != RecordWriter::Method::Journal);
            disk.failWrite = disk.writes + failing;
        }
        ASSERT_TRUE(std::filesystem::exists(recordJournalPath(path))) << "the replay failed";
        Bytes seen;
        ASSERT_TRUE(readRecordImage(path, seen));
        EXPECT_EQ(seen, rec.image());
        EXPECT_TRUE(recoverRecordFile(path));
        EXPECT_EQ(fileBytes(path), rec.image());
    }
}

// A journal built here byte by byte (the format a crashed recorder of this or the earlier
// release left: version 1, every entry checked byte-wise; version 2, word-wise) is laid over
// the file and replayed.
TEST(RecordWriter, JournalsOfBothVersionsAreReplayed) {
    for (const char version : {'1', '2'}) {
        SCOPED_TRACE(version);
        TempDir dir;
        const std::string path = dir / "r.alt";
        Growing rec;
        rec.everyCycle = true;
        for (int i = 0; i < 6; ++i) {
            rec.cycle();
        }
        ASSERT_TRUE(writeFileAtomically(path, rec.image()));
        const size_t rowsEnd = rec.image().size() - 8 * rec.occurrences.size();
        rec.cycle();
        const Bytes after = rec.image();
        struct stat fs {};
        ASSERT_EQ(stat(path.c_str(), &fs), 0);
        const auto u64 = [](Bytes& out, uint64_t v) {
            for (int i = 0; i < 8; ++i) {
                out.push_back(static_cast<uint8_t>(v >> (8 * i)));
            }
        };
        // FNV-1a over bytes, or over little-endian 64-bit words and then the bytes left.
        const auto fnv = [](const Bytes& b, bool words) {
            uint64_t h = 14695981039346656037ull;
            size_t i = 0;
            for (; words && i + 8 <= b.size(); i += 8) {
                uint64_t word = 0;
                for (size_t k = 0; k < 8; ++k) {
                    word |= uint64_t{b[i + k]} << (8 * k);
                }
                h = (h ^ word) * 1099511628211ull;
            }
            for (; i < b.size(); ++i) {
                h = (h ^ b[i]) * 1099511628211ull;
            }
            return h;
        };
        Bytes journal = {'T', 'V', 'R', 'W', 'A', 'L', '0', static_cast<uint8_t>(version)};
        u64(journal, fs.st_dev);
        u64(journal, fs.st_ino);
        u64(journal, 0);
        u64(journal, fnv(journal, false));
        Bytes entry;
        u64(entry, 40 + (after.size() - rowsEnd) + 8);
        u64(entry, 1);
        u64(entry, rec.times.size() | uint64_t{rec.occurrences.size()} << 32);
        u64(entry, rowsEnd);
        u64(entry, after.size());
        entry.insert(entry.end(), after.begin() + static_cast<long>(rowsEnd), after.end());
        u64(entry, fnv(entry, version == '2'));
        journal.insert(journal.end(), entry.begin(), entry.end());
        ASSERT_TRUE(writeFileAtomically(recordJournalPath(path), journal));

        Bytes seen;
        ASSERT_TRUE(readRecordImage(path, seen));
        EXPECT_EQ(seen, after) << "laid over";
        EXPECT_TRUE(recoverRecordFile(path));
        EXPECT_EQ(fileBytes(path), after) << "replayed";
        EXPECT_FALSE(std::filesystem::exists(recordJournalPath(path)));
    }
}

TEST(RecordWriter, StoppingTheRecordingRemovesTheJournal) {
    TempDir dir;
    const std::string path = dir / "r.alt";
    Growing rec;
    {
        RecordWriter writer(path);
        rec.writeWith(writer);
        rec.cycle();
        rec.writeWith(writer);
        EXPECT_TRUE(std::filesystem::exists(recordJournalPath(path)));
    }
    EXPECT_FALSE(std::filesystem::exists(recordJournalPath(path)));
    EXPECT_EQ(fileBytes(path), rec.image());
}

// The reader lays the journal's entries over the file piece by piece: an update whose rows
// straddle two of the reader's pieces (a megabyte each) reads back whole, both while its writer
// lives and after it died before the rows reached the file.
TEST(RecordWriter, AnUpdateAcrossTheReadersPiecesReadsBackWhole) {
    TempDir dir;
    const std::string path = dir / "r.alt";
    Growing rec;
    const size_t rowsPerPiece = (1 << 20) / (4 + 8 * 3);
    while (rec.times.size() < rowsPerPiece - 2) {
        rec.cycle();
    }
    const auto readsAs = [&](const Growing& expected) {
        Recording read;
        ASSERT_EQ(readRecording(path, read), FileStatus::Ok);
        EXPECT_EQ(read.times, expected.times);
        EXPECT_EQ(read.values, expected.values);
        ASSERT_EQ(read.occurrences.size(), expected.occurrences.size());
        for (size_t k = 0; k < read.occurrences.size(); ++k) {
            ASSERT_EQ(read.occurrences[k].time, expected.occurrences[k].time) << k;
            ASSERT_EQ(read.occurrences[k].event, expected.occurrences[k].event) << k;
        }
    };
    {
        RecordWriter writer(path);
        ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
        rec.cycle();
        ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
        ASSERT_NE(writer.lastMethod(), RecordWriter::Method::Whole);
        rec.cycle();
        rec.cycle();  // rows rowsPerPiece - 1 and rowsPerPiece: one on each side of the seam
        writer.stopAfterStep(2);
        EXPECT_EQ(rec.writeWith(writer), FileStatus::CannotWrite);
        ASSERT_LT(fileBytes(path).size(), rec.image().size()) << "the rows are in the journal only";
        readsAs(rec);
    }
    readsAs(rec);
    EXPECT_TRUE(recoverRecordFile(path));
    EXPECT_EQ(fileBytes(path), rec.image()) << "recovered on disk";
    EXPECT_FALSE(std::filesystem::exists(recordJournalPath(path)));
}

// A journal is read no further than its whole entries: after them, a tail of sparse zeros or
// one that claims to be an entry of hundreds of megabytes costs no memory, and the update in
// the journal still reads back and is recovered.
TEST(RecordWriter, AJournalsForeignTailIsNotTakenIntoMemory) {
    for (const bool claimsAnEntry : {false, true}) {
        TempDir dir;
        const std::string path = dir / "r.alt";
        Growing rec;
        for (int i = 0; i < 20; ++i) {
            rec.cycle();
        }
        rec.crashWithLastCycleInJournal(path);
        const std::string journal = recordJournalPath(path);
        const auto whole = std::filesystem::file_size(journal);
        if (claimsAnEntry) {
            std::ofstream(journal, std::ios::binary | std::ios::app)
                << std::string("\x00\x00\x00\x20\x00\x00\x00\x00", 8);  // 512 MB
        }
        ASSERT_EQ(truncate(journal.c_str(), static_cast<off_t>(whole + (off_t{1} << 29))), 0);
        const bool peakReset =
            static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5" << std::flush);
        const long before = tervo::testing::statusKb("VmRSS:");
        Recording read;
        ASSERT_EQ(readRecording(path, read), FileStatus::Ok);
        EXPECT_EQ(read.times, rec.times) << "the update from the journal is there";
        EXPECT_EQ(read.values, rec.values);
        EXPECT_TRUE(recoverRecordFile(path));
        EXPECT_EQ(fileBytes(path), rec.image()) << "recovered on disk";
        if (peakReset && before > 0) {
            EXPECT_LT(tervo::testing::statusKb("VmHWM:") - before, 50 * 1024) << "kB";
        }
    }
}

// Replay takes the entries in the order they were made: a journal whose whole, checksummed
// entries skip or repeat a sequence number is replayed up to the entry before that.
TEST(RecordWriter, ReplayStopsWhereTheSequenceBreaks) {
    struct Case {
        std::vector<size_t> entries;  // which of the three updates' entries, in this order
        size_t image;                 // the image the replay ends at
    };
    for (const Case& c : {Case{{0, 2}, 1}, Case{{0, 1, 2, 1}, 3}}) {
        TempDir dir;
        const std::string path = dir / "r.alt";
        Growing rec;
        std::vector<Bytes> images;
        {
            RecordWriter writer(path);
            ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
            images.push_back(rec.image());
            for (int update = 0; update < 3; ++update) {
                rec.cycle();
                images.push_back(rec.image());
                if (update == 2) {
                    writer.stopAfterStep(2);
                }
                rec.writeWith(writer);
            }
        }
        const std::string journal = recordJournalPath(path);
        const Bytes whole = fileBytes(journal);
        std::vector<Bytes> entries;
        for (size_t at = 40; at < whole.size();) {
            size_t size = 0;
            for (int i = 7; i >= 0; --i) {
                size = size << 8 | whole[at + static_cast<size_t>(i)];
            }
            entries.emplace_back(whole.begin() + static_cast<long>(at),
                                 whole.begin() + static_cast<long>(at + size));
            at += size;
        }
        ASSERT_EQ(entries.size(), 3u);
        Bytes rearranged(whole.begin(), whole.begin() + 40);
        for (size_t e : c.entries) {
            rearranged.insert(rearranged.end(), entries[e].begin(), entries[e].end());
        }
        ASSERT_TRUE(writeFileAtomically(journal, rearranged));
        Bytes seen;
        ASSERT_TRUE(readRecordImage(path, seen));
        EXPECT_EQ(seen, images[c.image]) << "entries " << ::testing::PrintToString(c.entries);
        EXPECT_TRUE(recoverRecordFile(path));
        EXPECT_EQ(fileBytes(path), images[c.image]);
    }
}

// A journal that cannot be replayed now (the file is another user's, or read-only) stays, and
// the file is read with the journal laid over it; its owner later gets every cycle.
TEST(RecordWriter, AJournalTheReaderCannotApplyStaysAndIsLaidOver) {
    TempDir dir;
    const std::string path = dir / "r.alt";
    Growing rec;
    rec.cycle();
    rec.crashWithLastCycleInJournal(path);
    const std::string journal = recordJournalPath(path);
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    ASSERT_EQ(chmod(journal.c_str(), 0666), 0);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    // Read by a process that may not write the file (root gives up its rights for it).
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(3);
        }
        Recording read;
        const bool whole = readRecording(path, read) == FileStatus::Ok && read.rowCount() == 2;
        const bool replayed = recoverRecordFile(path);
        _exit(!whole ? 1 : !replayed && std::filesystem::exists(journal) ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 1) << "the reader sees the last cycle";
    EXPECT_NE(WEXITSTATUS(status), 2) << "the journal stays";
    EXPECT_NE(WEXITSTATUS(status), 3) << "could not give up root";

    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    readThenRecover(path, rec.image());  // its owner's open replays it
}

// Anyone who may write the folder can leave a journal with right checksums beside another
// user's file. Only the file owner's journal (or root's) is replayed or laid over what is read;
// another one stays untouched until it is shown to name a replaced file, and a recorder into
// the file never writes in it.
TEST(RecordWriter, OnlyTheOwnersJournalIsReplayed) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give the journal another owner";
    }
    constexpr uid_t kOther = 4242;
    struct Case {
        const char* name;
        uid_t fileOwner;
        uid_t journalOwner;
        bool replayed;
    };
    for (const Case& c : {Case{"another user's journal", 0, kOther, false},
                          Case{"the owner's own", kOther, kOther, true},
                          Case{"root's, beside a user's file", kOther, 0, true},
                          Case{"the owner's, beside root's file", 0, 0, true}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir / "r.alt";
        Growing rec;
        rec.cycle();
        const Bytes before = rec.image();
        rec.crashWithLastCycleInJournal(path);
        const std::string journal = recordJournalPath(path);
        ASSERT_EQ(chown(path.c_str(), c.fileOwner, 0), 0);
        ASSERT_EQ(chown(journal.c_str(), c.journalOwner, 0), 0);
        const Bytes planted = fileBytes(journal);

        Recording read;
        ASSERT_EQ(readRecording(path, read), FileStatus::Ok);
        EXPECT_EQ(read.rowCount(), c.replayed ? 2u : 1u);
        EXPECT_EQ(read.foreignJournal, !c.replayed);
        EXPECT_EQ(recoverRecordFile(path), c.replayed);
        EXPECT_EQ(fileBytes(path), c.replayed ? rec.image() : before);
        EXPECT_EQ(std::filesystem::exists(journal), !c.replayed);
        if (c.replayed) {
            continue;
        }
        EXPECT_EQ(fileBytes(journal), planted) << "left as it was";

        // A recorder into the file writes it whole, leaves the journal alone, and once the
        // file is replaced the journal names nothing here and goes.
        RecordWriter writer(path);
        ASSERT_TRUE(writer.claim());
        ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
        EXPECT_EQ(fileBytes(journal), planted);
        for (int i = 0; i < 3; ++i) {
            rec.cycle();
            ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
            EXPECT_EQ(fileBytes(path), rec.image());
        }
        EXPECT_EQ(writer.lastMethod(), RecordWriter::Method::InPlace);
        struct stat js {};
        ASSERT_EQ(stat(journal.c_str(), &js), 0);
        EXPECT_EQ(js.st_uid, 0u) << "the recorder's own journal";
    }
}

// One recorder at a time: a second is refused from the first one's claim on, before its
// first write and after, while readers open the file being recorded and the first goes on.
TEST(RecordWriter, ASecondRecorderIsRefusedWhileReadersGoOn) {
    TempDir dir;
    const std::string path = dir / "r.alt";
    Growing rec;
    {
        RecordWriter first(path);
        ASSERT_TRUE(first.claim());
        EXPECT_FALSE(RecordWriter(path).claim()) << "before the first write";
        ASSERT_EQ(rec.writeWith(first), FileStatus::Ok);
        for (int i = 0; i < 3; ++i) {
            rec.cycle();
            ASSERT_EQ(rec.writeWith(first), FileStatus::Ok);
            EXPECT_EQ(first.lastMethod(), RecordWriter::Method::InPlace);
            EXPECT_FALSE(RecordWriter(dir / "." / "r.alt").claim()) << "by any name";
            Recording read;
            ASSERT_EQ(readRecording(path, read), FileStatus::Ok);
            EXPECT_EQ(read.rowCount(), rec.times.size());
        }
    }
    RecordWriter next(path);
    EXPECT_TRUE(next.claim()) << "free once the first has stopped";
    EXPECT_EQ(fileBytes(path), rec.image());
    {
        RecordWriter idle(dir / "idle.alt");
        ASSERT_TRUE(idle.claim());
    }
    EXPECT_FALSE(std::filesystem::exists(recordJournalPath(dir / "idle.alt")))
        << "a claim that wrote nothing leaves nothing";
}

namespace {

// A disk that makes each write in two halves and hands it to `during` in between (with its
// number, from 0): what a reader sees while the write is under way.
class SteppingDisk : public RecordDisk {
public:
    std::function<void(int)> during;
    int writes = 0;
    bool write(int fd, const uint8_t* data, size_t size, off_t offset) override {
        const size_t half = size / 2;
        if (!RecordDisk::write(fd, data, half, offset)) {
            return false;
        }
        during(writes++);
        return RecordDisk::write(fd, data + half, size - half, offset + static_cast<off_t>(half));
    }
};

// A reader that opens the image, reads its first half, and later (once the file may have
// changed) the rest: a read that takes long beside a writer or a replay.
struct SlowRead {
    RecordImage image;
    Bytes bytes;
    bool start(const std::string& path) {
        if (!image.open(path)) {
            return false;
        }
        bytes.resize(image.size());
        return image.read(0, bytes.data(), bytes.size() / 2);
    }
    // The bytes read, or nothing when the image says they may have changed under it.
    std::optional<Bytes> finish() {
        const size_t half = bytes.size() / 2;
        const bool read = image.read(half, bytes.data() + half, bytes.size() - half);
        if (image.changedSinceOpen()) {
            return std::nullopt;
        }
        return read ? bytes : Bytes{};  // a read failing unchanged is never an image
    }
};

// The ways a recorder's crash leaves a journal that a replay must apply, with the image it
// holds. `moves`: the replay must move the occurrence block, which the file holds where rows
// now go.
struct Crash {
    const char* name;
    size_t events;
    bool everyCycle;
    int stopAfter;
    bool moves;
};
constexpr Crash kCrashes[] = {
    {"cycles kept in the journal, block to move", 2, true, 2, true},
    {"the block's move cut short in the file", 2, true, 3, false},
    {"rows patched in place, counts not written", 0, false, 3, false},
};

Bytes crashLeavingJournal(const std::string& path, const Crash& c, Growing& rec) {
    rec.everyCycle = c.everyCycle;
    rec.work.events.resize(c.events);
    for (int i = 0; i < 60; ++i) {
        rec.cycle();
    }
    RecordWriter writer(path);
    EXPECT_EQ(rec.writeWith(writer), FileStatus::Ok);
    for (int i = 0; i < 3 || (c.moves && writer.lastMethod() != RecordWriter::Method::Journal);
         ++i) {
        rec.cycle();
        EXPECT_EQ(rec.writeWith(writer), FileStatus::Ok);
    }
    writer.stopAfterStep(c.stopAfter);
    FileStatus status = FileStatus::Ok;
    for (int i = 0; i < 500 && status == FileStatus::Ok; ++i) {
        rec.cycle();
        status = rec.writeWith(writer);
    }
    EXPECT_EQ(status, FileStatus::CannotWrite) << "the step was reached";
    return rec.image();
}

}  // namespace

// A replay (the one a history window starts once the file is read) writes into the file that
// readers are reading: half way through every write it makes, a reader that opens reads the
// last complete image, and one whose read spans a write either reads it too or is told to
// read again.
TEST(RecordRecovery, ReadersDuringTheReplayReadTheLastCompleteImage) {
    for (const Crash& c : kCrashes) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir / "r.alt";
        Growing rec;
        const Bytes expected = crashLeavingJournal(path, c, rec);
        const Bytes onDisk = fileBytes(path);
        ASSERT_NE(onDisk, expected);

        SteppingDisk disk;
        std::unique_ptr<SlowRead> spanning;
        int settled = 0;
        const auto step = [&](int) {
            Recording read;
            ASSERT_EQ(readRecording(path, read), FileStatus::Ok);
            EXPECT_EQ(imageOf(read), expected);
            if (spanning) {
                if (const std::optional<Bytes> bytes = spanning->finish()) {
                    EXPECT_EQ(*bytes, expected) << "a read across a write taken as good";
                    ++settled;
                }
            }
            spanning = std::make_unique<SlowRead>();
            ASSERT_TRUE(spanning->start(path));
        };
        disk.during = step;
        EXPECT_TRUE(recoverRecordFile(path, disk));
        step(disk.writes);
        EXPECT_GT(settled, 0) << "reads that the replay did not touch are good at once";
        EXPECT_EQ(fileBytes(path), expected);
        EXPECT_FALSE(std::filesystem::exists(recordJournalPath(path)));
    }
}

// A replay that runs out of memory leaves the journal for later, as any replay that cannot
// finish; a read whose journal was replaced by another under its name (a new recorder's) is
// read again.
TEST(RecordRecovery, AReplayOutOfMemoryOrAJournalReplacedLeavesNothingWrong) {
    struct OutOfMemory : RecordDisk {
        bool write(int, const uint8_t*, size_t, off_t) override { throw std::bad_alloc(); }
    } outOfMemory;
    TempDir dir;
    const std::string path = dir / "r.alt";
    Growing rec;
    const Bytes expected = crashLeavingJournal(path, kCrashes[0], rec);
    EXPECT_FALSE(recoverRecordFile(path, outOfMemory));
    ASSERT_TRUE(std::filesystem::exists(recordJournalPath(path)));
    Recording read;
    ASSERT_EQ(readRecording(path, read), FileStatus::Ok);
    EXPECT_EQ(imageOf(read), expected);

    SlowRead spanning;
    ASSERT_TRUE(spanning.start(path));
    const std::string journal = recordJournalPath(path);
    std::filesystem::copy_file(journal, journal + ".new");
    std::filesystem::rename(journal + ".new", journal);
    EXPECT_FALSE(spanning.finish()) << "a read beside another journal taken as good";
}

// The history window replays on a thread of its own, and the process waits for it at exit.
TEST(RecordRecovery, TheProcesssReplaysRunOnTheirOwnThreads) {
    TempDir dir;
    std::vector<std::string> paths;
    std::vector<Bytes> images;
    for (const Crash& c : kCrashes) {
        paths.push_back(dir / (std::string("r") + std::to_string(paths.size()) + ".alt"));
        Growing rec;
        images.push_back(crashLeavingJournal(paths.back(), c, rec));
        recordRecovery().start(paths.back());
    }
    recordRecovery().start(paths[0]);  // a second open while the first replay may run
    recordRecovery().waitAll();
    for (size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(fileBytes(paths[i]), images[i]);
        EXPECT_FALSE(std::filesystem::exists(recordJournalPath(paths[i])));
    }
}

// A recording started into a file whose journal this process is replaying (its history was
// just opened) waits for that replay rather than being refused for the lock it holds.
TEST(RecordRecovery, ARecordingStartedDuringTheReplayWaitsForIt) {
    TempDir dir;
    const std::string path = dir / "r.alt";
    Growing rec;
    const Bytes expected = crashLeavingJournal(path, kCrashes[0], rec);
    TestDisk disk;
    disk.hold();  // the replay stops at its first sync, holding the journal's lock
    recordRecovery().start(path, disk);
    while (disk.calls == 0) {
        std::this_thread::yield();
    }
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));  // past the claim's wait
        disk.release();
    });
    RecordWriter writer(dir / "." / "r.alt");
    EXPECT_TRUE(writer.claim());
    release.join();
    recordRecovery().waitAll();
    EXPECT_FALSE(disk.gaveUp());
    EXPECT_EQ(fileBytes(path), expected) << "replayed before the recording took the file";
}

// A history saved (the file replaced whole) before, during or after the replay of the journal
// it was read through keeps what was saved; the journal, naming the replaced file, goes.
TEST(RecordRecovery, ASaveRacingTheReplayKeepsWhatWasSaved) {
    const Crash& c = kCrashes[0];
    for (int saveAt = -1; saveAt < 8; ++saveAt) {
        SCOPED_TRACE("saved half way through write " + std::to_string(saveAt));
        TempDir dir;
        const std::string path = dir / "r.alt";
        Growing rec;
        crashLeavingJournal(path, c, rec);
        Recording edited;
        ASSERT_EQ(readRecording(path, edited), FileStatus::Ok);
        ASSERT_TRUE(edited.journalLeft);
        ASSERT_EQ(deleteListRows(edited, {1, 2, 3}), 3u);  // three rows deleted in the window
        const auto save = [&] { ASSERT_EQ(writeRecording(path, edited), FileStatus::Ok); };
        if (saveAt < 0) {
            save();
        }
        SteppingDisk disk;
        bool saved = saveAt < 0;
        disk.during = [&](int write) {
            if (write == saveAt) {
                save();
                saved = true;
            }
        };
        recoverRecordFile(path, disk);
        if (!saved) {
            save();  // after the replay
        }
        recoverRecordFile(path);  // the next open's
        EXPECT_FALSE(std::filesystem::exists(recordJournalPath(path)));
        Recording back;
        ASSERT_EQ(readRecording(path, back), FileStatus::Ok);
        EXPECT_EQ(imageOf(back), imageOf(edited));
        EXPECT_FALSE(back.journalLeft);
    }
}

// A read that takes long beside a live recorder is taken as the file only when nothing it read
// was changed under it: cycles kept in the journal, and rows patched in past what was read, do
// not change it; a checkpoint (the journal started afresh) or the block moved over bytes read
// from the file does, and such a read is never handed on as good.
TEST(RecordRecovery, ASlowReadBesideALiveRecorderIsGoodOnlyWhenUntouched) {
    struct Case {
        const char* name;
        size_t events;
        bool everyCycle;
        int checkpointEvery;
        int cyclesPerRead;
        int minSettled;  // of 60 reads
        int maxSettled;
    };
    for (const Case& c : {Case{"cycles kept in the journal", 2, true, 64, 1, 55, 60},
                          Case{"rows patched in past what was read", 0, false, 16, 1, 50, 58},
                          Case{"a checkpoint every cycle", 0, false, 1, 1, 0, 0},
                          Case{"the journal started afresh and regrown", 0, false, 4, 4, 0, 0},
                          Case{"the block moved now and then", 2, false, 64, 1, 30, 59}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir / "r.alt";
        Growing rec(c.events);
        rec.everyCycle = c.everyCycle;
        for (int i = 0; i < 200; ++i) {
            rec.cycle();
        }
        RecordWriter writer(path);
        writer.setCheckpointEvery(c.checkpointEvery);
        ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
        rec.cycle();  // a cycle in the journal when the reads start
        ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
        int settled = 0;
        for (int i = 0; i < 60; ++i) {
            SlowRead slow;
            ASSERT_TRUE(slow.start(path));
            const Bytes atOpen = rec.image();
            for (int k = 0; k < c.cyclesPerRead; ++k) {
                rec.cycle();
                ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
            }
            if (const std::optional<Bytes> bytes = slow.finish()) {
                ASSERT_EQ(*bytes, atOpen) << "cycle " << i << ": a read mixing two images";
                ++settled;
            }
        }
        EXPECT_GE(settled, c.minSettled);
        EXPECT_LE(settled, c.maxSettled);
    }
}

// A recorder that changes what is read under every attempt: the read is never Ok.
TEST(RecordRecovery, AReadChangedUnderEveryAttemptIsNeverGood) {
    TempDir dir;
    const std::string path = dir / "r.alt";
    Growing rec(0);
    rec.cycle();
    RecordWriter writer(path);
    writer.setCheckpointEvery(1);
    ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
    int attempts = 0;
    const StableRead outcome = useStableRecordImage(path, [&](const RecordImage& image) {
        ++attempts;
        Bytes bytes(image.size());
        image.read(0, bytes.data(), bytes.size() / 2);
        rec.cycle();
        ASSERT_EQ(rec.writeWith(writer), FileStatus::Ok);
        image.read(bytes.size() / 2, bytes.data() + bytes.size() / 2,
                   bytes.size() - bytes.size() / 2);
    });
    EXPECT_EQ(outcome, StableRead::KeptChanging);
    EXPECT_EQ(attempts, 51);
}

// Readers racing a recorder on another thread, with checkpoints and block moves under them:
// every read taken as good is the image of some cycle.
TEST(RecordRecovery, ReadersRacingARecorderNeverGetAMixedImage) {
    TempDir dir;
    const std::string path = dir / "r.alt";
    Growing rec;
    rec.everyCycle = true;
    for (int i = 0; i < 100; ++i) {
        rec.cycle();
    }
    std::vector<Bytes> images;
    Growing grow = rec;
    for (int i = 0; i < 400; ++i) {
        images.push_back(grow.image());
        grow.cycle();
    }
    std::sort(images.begin(), images.end());
    std::atomic<bool> done{false};
    std::atomic<bool> readOnce{false};
    std::thread recorder([&] {
        RecordWriter writer(path);
        writer.setCheckpointEvery(5);
        for (int i = 0; i < 300; ++i) {
            EXPECT_EQ(rec.writeWith(writer), FileStatus::Ok);
            rec.cycle();
            while (i == 0 && !readOnce) {  // the reader is under way before the rest is written
                std::this_thread::yield();
            }
        }
        done = true;
    });
    while (!std::filesystem::exists(path)) {
        std::this_thread::yield();
    }
    int good = 0;
    bool mixed = false;
    FileStatus other = FileStatus::Ok;
    do {
        Recording read;
        const FileStatus status = readRecording(path, read);
        readOnce = true;
        if (status == FileStatus::Ok) {
            mixed = mixed || !std::binary_search(images.begin(), images.end(), imageOf(read));
            ++good;
        } else if (status != FileStatus::Busy) {
            other = status;
        }
    } while (!done);
    recorder.join();
    EXPECT_FALSE(mixed);
    EXPECT_EQ(other, FileStatus::Ok);
    EXPECT_GT(good, 0);
}
