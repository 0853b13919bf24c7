#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "core/curves/TrackingCurve.h"
#include "core/io/FileIo.h"
#include "core/sim/SimTemplate.h"
#include "core/work/WorkFiles.h"
#include "support/ProcStatus.h"
#include "support/RawPty.h"

using namespace tervo;
using tervo::testing::TempDir;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

namespace {

Bytes fileBytes(const std::string& path) {
    Bytes b;
    EXPECT_TRUE(readWholeFile(path, b)) << path;
    return b;
}

struct stat statOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st;
}

size_t entriesIn(const fs::path& dir) {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// Runs `work` in a child process that has given up root (when the test runs as root), so
// that file permissions apply to it; the child's answer comes back as its exit status.
bool asUnprivileged(const std::function<bool()>& work) {
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(2);
        }
        _exit(work() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "could not drop privileges";
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Calls `read` on a FIFO nobody writes to. A reader that blocks is set free by a writer
// opening and closing the FIFO after a while, and the test fails instead of hanging.
template <typename Read>
void expectNoWaitOnFifo(const std::string& fifo, Read read, const char* what) {
    auto result = std::async(std::launch::async, read);
    if (result.wait_for(2s) != std::future_status::ready) {
        ADD_FAILURE() << what << " waits on a FIFO";
        ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    }
    EXPECT_TRUE(result.get()) << what;
}

}  // namespace

TEST(AtomicWrite, ReplacesWholeAndLeavesNothingBehind) {
    TempDir dir;
    ASSERT_TRUE(writeFileAtomically(dir / "f", Bytes{1, 2, 3}));
    ASSERT_TRUE(writeFileAtomically(dir / "f", Bytes{4}));
    EXPECT_EQ(fileBytes(dir / "f"), Bytes{4});
    EXPECT_EQ(entriesIn(dir.path()), 1u) << "no temporary files left";
    EXPECT_FALSE(writeFileAtomically(dir / "f" / "inside", Bytes{1}));
    EXPECT_FALSE(writeFileAtomically(dir / "no-such-dir" / "x", Bytes{1}));
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(AtomicWrite, FollowsSymbolicLinksToTheFileTheyName) {
    TempDir dir;
    fs::create_directory(dir / "data");
    ASSERT_TRUE(writeFileAtomically(dir / "data" / "f", Bytes{1}));
    fs::create_symlink("data/f", dir / "relative");
    fs::create_symlink(dir / "relative", dir / "chain");
    ASSERT_TRUE(writeFileAtomically(dir / "chain", Bytes{5, 6}));
    EXPECT_TRUE(fs::is_symlink(dir / "chain")) << "the links still point there";
    EXPECT_TRUE(fs::is_symlink(dir / "relative"));
    EXPECT_EQ(fileBytes(dir / "data" / "f"), (Bytes{5, 6}));

    fs::create_symlink("data/later", dir / "dangling");
    ASSERT_TRUE(writeFileAtomically(dir / "dangling", Bytes{7}));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling")) << "a link to a file yet to come stays a link";
    EXPECT_EQ(fileBytes(dir / "data" / "later"), Bytes{7});
    EXPECT_EQ(entriesIn(dir / "data"), 2u);

    // A hard link is a second name, not a link to follow: the name written gets the new file.
    fs::create_hard_link(dir / "data" / "f", dir / "twin");
    ASSERT_TRUE(writeFileAtomically(dir / "data" / "f", Bytes{8}));
    EXPECT_EQ(fileBytes(dir / "twin"), (Bytes{5, 6}));
}

TEST(AtomicWrite, KeepsTheModeAndOwnerOfTheFileItReplaces) {
    TempDir dir;
    const mode_t oldMask = umask(022);
    ASSERT_TRUE(writeFileAtomically(dir / "new", Bytes{1}));
    EXPECT_EQ(statOf(dir / "new").st_mode & 07777, 0644u) << "a new file: 0666 less the umask";

    ASSERT_TRUE(writeFileAtomically(dir / "kept", Bytes{1}));
    chmod((dir / "kept").c_str(), 0640);
    ASSERT_TRUE(writeFileAtomically(dir / "kept", Bytes{2}));
    EXPECT_EQ(statOf(dir / "kept").st_mode & 07777, 0640u);
    chmod((dir / "kept").c_str(), 0604);
    ASSERT_TRUE(writeFileAtomically(dir / "kept", Bytes{3}));
    EXPECT_EQ(statOf(dir / "kept").st_mode & 07777, 0604u);
    umask(oldMask);

    if (geteuid() == 0) {
        ASSERT_EQ(chown((dir / "kept").c_str(), 1234, 2345), 0);
        ASSERT_TRUE(writeFileAtomically(dir / "kept", Bytes{4}));
        EXPECT_EQ(fileBytes(dir / "kept"), Bytes{4});
        EXPECT_EQ(statOf(dir / "kept").st_uid, 1234u);
        EXPECT_EQ(statOf(dir / "kept").st_gid, 2345u);
    }
}

TEST(AtomicWrite, RefusesATargetTruncationWouldRefuse) {
    TempDir dir;
    const std::string file = dir / "readonly";
    ASSERT_TRUE(writeFileAtomically(file, Bytes{1, 2}));
    chmod(dir.path().c_str(), 0777);  // the folder lets anyone create the temporary
    chmod(file.c_str(), 0444);
    chown(file.c_str(), 65534, 65534);
    EXPECT_FALSE(asUnprivileged([&] { return writeFileAtomically(file, Bytes{9}); }))
        << "a read-only file is not replaced";
    EXPECT_EQ(fileBytes(file), (Bytes{1, 2}));
    EXPECT_EQ(statOf(file).st_mode & 07777, 0444u);
    EXPECT_EQ(entriesIn(dir.path()), 1u);
    chmod(file.c_str(), 0644);
    EXPECT_TRUE(asUnprivileged([&] { return writeFileAtomically(file, Bytes{9}); }))
        << "the same file made writable is replaced";
    EXPECT_EQ(fileBytes(file), Bytes{9});
}

TEST(AtomicWrite, NeverReplacesWhatIsNotARegularFile) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
    fs::create_directory(dir / "folder");
    fs::create_symlink(dir / "fifo", dir / "to-fifo");
    std::vector<std::string> targets{dir / "fifo", dir / "folder", dir / "to-fifo"};
    // A device node of the null device in the scratch folder stands for /dev/full and the like.
    const bool haveDevice = mknod((dir / "device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    if (haveDevice) {
        targets.push_back(dir / "device");
    }
    for (const std::string& target : targets) {
        EXPECT_FALSE(writeFileAtomically(target, Bytes{1})) << target;
    }
    EXPECT_TRUE(S_ISFIFO(statOf(dir / "fifo").st_mode));
    EXPECT_TRUE(S_ISDIR(statOf(dir / "folder").st_mode));
    EXPECT_TRUE(S_ISLNK(statOf(dir / "to-fifo").st_mode));
    if (haveDevice) {
        EXPECT_TRUE(S_ISCHR(statOf(dir / "device").st_mode));
    }
    EXPECT_EQ(entriesIn(dir.path()), targets.size()) << "no temporaries left";

    TrackingCurve curve;
    EXPECT_EQ(curve.save(dir / "fifo"), CurveStatus::CannotWrite);
    EXPECT_EQ(saveWorkTemplate(dir / "fifo", WorkDefinition{}), FileStatus::CannotWrite);
    EXPECT_EQ(writeRecordFile(dir / "fifo", WorkDefinition{}, nullptr, nullptr, 0, nullptr, 0),
              FileStatus::CannotWrite);
    EXPECT_TRUE(S_ISFIFO(statOf(dir / "fifo").st_mode));
}

TEST(AtomicWrite, LeftoversOfAKilledWriteGoAtTheNextWrite) {
    TempDir dir;
    const std::string file = dir / "r.alt";
    ASSERT_TRUE(writeFileAtomically(file, Bytes{1}));
    for (const char* name : {"r.alt.tervo-Ab3dE9", "r.alt.tervo-zzzzzz", "r.alt.backup",
                             "r.alt.tervo-short", "x.alt.tervo-Ab3dE9"}) {
        std::ofstream(dir / name) << "x";
    }
    // A write under way in another process holds a lock on its temporary.
    const int live = ::open((dir / "r.alt.tervo-L1veW0").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_EQ(flock(live, LOCK_EX), 0);

    ASSERT_TRUE(writeFileAtomically(file, Bytes{2}));
    EXPECT_FALSE(fs::exists(dir / "r.alt.tervo-Ab3dE9"));
    EXPECT_FALSE(fs::exists(dir / "r.alt.tervo-zzzzzz"));
    EXPECT_TRUE(fs::exists(dir / "r.alt.backup")) << "not ours";
    EXPECT_TRUE(fs::exists(dir / "r.alt.tervo-short"));
    EXPECT_TRUE(fs::exists(dir / "x.alt.tervo-Ab3dE9")) << "another file's";
    EXPECT_TRUE(fs::exists(dir / "r.alt.tervo-L1veW0")) << "a live write";
    EXPECT_EQ(fileBytes(file), Bytes{2});
    ::close(live);
}

TEST(FileReaders, RefuseAFifoAtOnce) {
    TempDir dir;
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    expectNoWaitOnFifo(
        fifo,
        [&] {
            Bytes b;
            return !readWholeFile(fifo, b);
        },
        "readWholeFile");
    expectNoWaitOnFifo(
        fifo,
        [&] {
            WorkDefinition work;
            return loadWorkTemplate(fifo, work) == FileStatus::CannotOpen;
        },
        "loadWorkTemplate");
    expectNoWaitOnFifo(
        fifo,
        [&] {
            Recording rec;
            return readRecording(fifo, rec) == FileStatus::CannotOpen;
        },
        "readRecording");
    expectNoWaitOnFifo(
        fifo, [&] { return TrackingCurve().load(fifo) == CurveStatus::CannotOpen; },
        "TrackingCurve::load");
    expectNoWaitOnFifo(
        fifo,
        [&] {
            CurveStatus status;
            return isNoValue(curveFileValueForAcquisition(fifo, 20, 60, status)) &&
                   status == CurveStatus::CannotOpen;
        },
        "curveFileValueForAcquisition");
    Bytes b;
    EXPECT_FALSE(readWholeFile(dir.path(), b)) << "a folder";
}

// Each reader takes no more of a file than its counts call for: a sound file followed by two
// gigabytes (sparse) reads as its own first bytes say, at once and without the rest in memory.
TEST(FileReaders, TakeOnlyWhatTheirCountsNeed) {
    TempDir dir;
    const auto grow = [](const std::string& path) {
        ASSERT_EQ(truncate(path.c_str(), off_t{2} << 30), 0) << path;
    };
    const bool peakReset =
        static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5" << std::flush);
    const auto rss = tervo::testing::statusKb;
    const long before = rss("VmRSS:");

    WorkDefinition work;
    work.channels.resize(2);
    work.events.resize(1);
    const std::string awt = dir / "w.awt";
    ASSERT_EQ(saveWorkTemplate(awt, work), FileStatus::Ok);
    grow(awt);
    WorkDefinition loaded;
    EXPECT_EQ(loadWorkTemplate(awt, loaded), FileStatus::Ok) << "bytes after the events ignored";
    EXPECT_EQ(loaded.channels.size(), 2u);

    TrackingCurve curve;
    ASSERT_EQ(curve.addSegment(), CurveStatus::Ok);
    const std::string lin = dir / "c.lin";
    ASSERT_EQ(curve.save(lin), CurveStatus::Ok);
    grow(lin);
    TrackingCurve read;
    EXPECT_EQ(read.load(lin), CurveStatus::Ok) << "the curve view ignores what follows";
    EXPECT_EQ(read.count(), 1);
    EXPECT_EQ(read.load(lin, true), CurveStatus::Trailing) << "the recorder does not";

    Bytes oneRow = recordFileBytes(work, std::vector<int32_t>{7}.data(),
                                   std::vector<double>{1.0, 2.0}.data(), 1, nullptr, 0);
    const std::string alt = dir / "r.alt";
    ASSERT_TRUE(writeFileAtomically(alt, oneRow));
    grow(alt);
    Recording recording;
    EXPECT_EQ(readRecording(alt, recording), FileStatus::Bad) << "bytes after the occurrences";

    SimTemplate panels;
    panels.addInstrument(panels.nextLink());
    const std::string sim = dir / "p.sim";
    ASSERT_EQ(panels.save(sim), SimStatus::Ok);
    grow(sim);
    EXPECT_EQ(panels.load(sim), SimStatus::Bad) << "bytes after the counted panels";

    if (peakReset && before > 0) {
        EXPECT_LT(rss("VmHWM:") - before, 50 * 1024) << "kB";
    }
}
