// The order in which a recording's bytes are made durable, seen in the calls the process
// makes: a cycle's journal entry is synced before the record file is touched, and a file
// replaced whole is synced before it is renamed over the old one. The calls are watched
// through definitions of them in this program, which take precedence over the C library's
// and hand each call on to it; hence a program of its own.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/work/RecordWriter.h"
#include "core/work/WorkFiles.h"
#include "support/RawPty.h"

namespace {

struct Call {
    std::string what;  // "write", "sync" or "rename"
    std::string path;  // the file written or synced, the file renamed
    std::string to;    // where it was renamed to
};

std::vector<Call>* g_calls = nullptr;  // watched while set

std::string pathOf(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t n = readlink(link, target, sizeof target);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

void note(const char* what, int fd) {
    if (g_calls != nullptr) {
        g_calls->push_back({what, pathOf(fd), {}});
    }
}

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* data, size_t size) {
    static const auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    note("write", fd);
    return real(fd, data, size);
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
    static const auto real = next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    note("write", fd);
    return real(fd, data, size, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t size, off64_t offset) {
    static const auto real = next<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64");
    note("write", fd);
    return real(fd, data, size, offset);
}

int fdatasync(int fd) {
    static const auto real = next<int (*)(int)>("fdatasync");
    note("sync", fd);
    return real(fd);
}

int fsync(int fd) {
    static const auto real = next<int (*)(int)>("fsync");
    note("sync", fd);
    return real(fd);
}

int rename(const char* from, const char* to) {
    static const auto real = next<int (*)(const char*, const char*)>("rename");
    if (g_calls != nullptr) {
        g_calls->push_back({"rename", from, to});
    }
    return real(from, to);
}

}  // extern "C"

using namespace tervo;

namespace {

// The index of the first call from `from` on that does `what` to `path`; calls.size() if none.
size_t find(const std::vector<Call>& calls, size_t from, const std::string& what,
            const std::string& path) {
    for (size_t i = from; i < calls.size(); ++i) {
        if (calls[i].what == what && calls[i].path == path) {
            return i;
        }
    }
    return calls.size();
}

std::string describe(const std::vector<Call>& calls) {
    std::string text;
    for (const Call& c : calls) {
        text += c.what + " " + c.path + (c.to.empty() ? "" : " -> " + c.to) + "\n";
    }
    return text;
}

}  // namespace

TEST(SyncOrder, JournalBeforeTheFileAndTheWholeFileBeforeItsRename) {
    tervo::testing::TempDir dir;
    const std::string path = std::filesystem::canonical(dir.path()) / "r.alt";
    WorkDefinition work;
    work.channels.resize(2);
    std::vector<int32_t> times;
    std::vector<double> values;
    RecordWriter writer(path);
    ASSERT_TRUE(writer.claim());
    const auto cycle = [&] {
        std::vector<Call> calls;
        g_calls = &calls;
        const FileStatus status =
            writer.write(work, times.data(), values.data(), times.size(), nullptr, 0);
        g_calls = nullptr;
        EXPECT_EQ(status, FileStatus::Ok);
        times.push_back(static_cast<int32_t>(times.size()));
        values.insert(values.end(), {1.0, 2.0});
        return calls;
    };

    // The start is written whole: the temporary is synced after its last write and before it
    // is renamed over the record file.
    std::vector<Call> calls = cycle();
    ASSERT_EQ(writer.lastMethod(), RecordWriter::Method::Whole);
    size_t rename = 0;
    while (rename < calls.size() && !(calls[rename].what == "rename" && calls[rename].to == path)) {
        ++rename;
    }
    ASSERT_LT(rename, calls.size()) << describe(calls);
    const std::string temporary = calls[rename].path;
    size_t lastWrite = 0;
    for (size_t i = 0; i < rename; ++i) {
        if (calls[i].what == "write" && calls[i].path == temporary) {
            lastWrite = i;
        }
    }
    EXPECT_LT(find(calls, lastWrite, "sync", temporary), rename) << describe(calls);

    // Each later cycle: its journal entry is written and synced before the file is touched.
    const std::string journal = recordJournalPath(path);
    for (int i = 0; i < 3; ++i) {
        calls = cycle();
        ASSERT_EQ(writer.lastMethod(), RecordWriter::Method::InPlace);
        const size_t entry = find(calls, 0, "write", journal);
        const size_t synced = find(calls, entry, "sync", journal);
        const size_t touched = find(calls, 0, "write", path);
        ASSERT_LT(touched, calls.size()) << describe(calls);
        EXPECT_LT(entry, synced) << describe(calls);
        EXPECT_LT(synced, touched) << describe(calls);
        EXPECT_EQ(find(calls, synced, "write", journal), calls.size())
            << "nothing of the entry is written after its sync\n"
            << describe(calls);
    }
}

// With an occurrence every cycle, cycles are kept in the journal and the occurrence block is
// moved now and then: whenever a cycle touches the record file, its entry is written and synced
// to the journal first. (The replay that moves the block at the writer's end is checked by
// cutting it short: RecordWriter.AReplayCutShortIsReplayedAgain.)
TEST(SyncOrder, TheBlockIsMovedOnlyAfterTheJournalHoldsIt) {
    tervo::testing::TempDir dir;
    const std::string path = std::filesystem::canonical(dir.path()) / "r.alt";
    const std::string journal = recordJournalPath(path);
    WorkDefinition work;
    work.channels.resize(2);
    work.events.resize(1);
    std::vector<int32_t> times;
    std::vector<double> values;
    std::vector<EventOccurrence> occurrences;
    RecordWriter writer(path);
    ASSERT_TRUE(writer.claim());
    int kept = 0;
    int moved = 0;
    for (int i = 0; i < 300; ++i) {
        std::vector<Call> calls;
        g_calls = &calls;
        const FileStatus status = writer.write(work, times.data(), values.data(), times.size(),
                                               occurrences.data(), occurrences.size());
        g_calls = nullptr;
        ASSERT_EQ(status, FileStatus::Ok);
        kept += writer.lastMethod() == RecordWriter::Method::Journal;
        const size_t touched = find(calls, 0, "write", path);
        if (i > 0 && touched < calls.size()) {
            ++moved;
            const size_t entry = find(calls, 0, "write", journal);
            const size_t synced = find(calls, entry, "sync", journal);
            EXPECT_LT(synced, touched) << "cycle " << i << "\n" << describe(calls);
        }
        times.push_back(i);
        values.insert(values.end(), {1.0, 2.0});
        occurrences.push_back({i, 0});
    }
    EXPECT_GT(kept, 0);
    EXPECT_GT(moved, 0);
}
