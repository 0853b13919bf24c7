#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <fstream>
#include <iomanip>
#include <optional>
#include <thread>

#include "core/link/PosixSerialDevice.h"
#include "core/link/SerialLink.h"
#include "core/link/UucpLock.h"
#include "support/RawPty.h"

using namespace tervo;
using tervo::testing::RawPty;
using tervo::testing::TempDir;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace {

SerialTimeouts linkTimeouts() {
    SerialTimeouts t;
    t.readInterval = 20;
    t.readTotalMultiplier = 1;
    t.readTotalConstant = 50;
    t.writeTotalMultiplier = 1;
    t.writeTotalConstant = 50;
    return t;
}

std::unique_ptr<SerialDevice> openConfigured(const std::string& path, LineSettings line = {}) {
    auto device = PosixSerialOpener::openPath(path);
    if (device) {
        SerialTimeouts t;
        EXPECT_TRUE(device->getTimeouts(t));
        device->setTimeouts(linkTimeouts());
        LineSettings current;
        EXPECT_TRUE(device->getLineSettings(current));
        EXPECT_TRUE(device->setLineSettings(line));
    }
    return device;
}

using Ms = std::chrono::milliseconds;

// A second process on the same port, holding it the way `Hold` says until it is let go or
// `holdMs` have passed.
class OtherProcess {
public:
    enum Hold {
        Plain,             // open, nothing more
        ExclusiveProgram,  // another program's exclusive mode (TIOCEXCL), kept when it ends
        FlockProgram,      // another program's flock
        LockingProgram,    // another program's exclusive mode and UUCP lock file
        AnotherTervo,      // a Tervo exchange: flock, exclusive mode and lock file, given back
        BusyTervo,         // Tervo exchanges of 60 ms each, back to back
    };

    OtherProcess(const std::string& path, Hold hold, int holdMs) {
        EXPECT_EQ(pipe(m_ready), 0);
        EXPECT_EQ(pipe(m_release), 0);
        m_pid = fork();
        if (m_pid == 0) {
            std::unique_ptr<SerialDevice> tervo;
            int fd = -1;
            if (hold == BusyTervo) {
                (void)!::write(m_ready[1], "r", 1);
                const auto until = std::chrono::steady_clock::now() + Ms(holdMs);
                while (std::chrono::steady_clock::now() < until) {
                    if (auto exchange = PosixSerialOpener::openPath(path)) {
                        pollfd p{m_release[0], POLLIN, 0};
                        if (poll(&p, 1, 60) > 0) {
                            break;
                        }
                    }
                }
                _exit(0);
            }
            if (hold == AnotherTervo) {
                tervo = PosixSerialOpener::openPath(path);
            } else {
                fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
            }
            if (hold == FlockProgram) {
                flock(fd, LOCK_EX);
            }
            if (hold == ExclusiveProgram || hold == LockingProgram) {
                ioctl(fd, TIOCEXCL);
            }
            const char* locks = getenv("TERVO_LOCK_DIR");
            const std::string lock =
                std::string(locks != nullptr ? locks : "") + "/" + UucpLock::fileName(path);
            if (hold == LockingProgram) {
                std::ofstream(lock) << std::setw(10) << getpid() << "\n";
            }
            (void)!::write(m_ready[1], "r", 1);
            pollfd p{m_release[0], POLLIN, 0};
            poll(&p, 1, holdMs);
            tervo.reset();
            if (hold == LockingProgram) {
                ::unlink(lock.c_str());
            }
            _exit(0);
        }
        char c;
        EXPECT_EQ(::read(m_ready[0], &c, 1), 1);
    }
    ~OtherProcess() { letGo(); }

    pid_t pid() const { return m_pid; }
    void letGo() {
        if (m_pid > 0) {
            (void)!::write(m_release[1], "x", 1);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
            for (int fd : {m_ready[0], m_ready[1], m_release[0], m_release[1]}) {
                ::close(fd);
            }
        }
    }

private:
    pid_t m_pid = -1;
    int m_ready[2] = {-1, -1};
    int m_release[2] = {-1, -1};
};

bool exclusiveMode(const RawPty& pty) {
    int exclusive = 0;
    ioctl(pty.slave(), TIOCGEXCL, &exclusive);
    return exclusive != 0;
}

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

Ms since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start);
}

struct OpenTry {
    bool opened = false;
    Ms took{0};
};

// One open of `path`, timed: in this process, or `unprivileged` in a child that has given up
// root (a user without CAP_SYS_ADMIN cannot open past another holder's exclusive mode: the
// open fails with EBUSY). Nothing when root cannot be given up here.
std::optional<OpenTry> timedOpen(const std::string& path, bool unprivileged) {
    const auto attempt = [&path] {
        const auto start = std::chrono::steady_clock::now();
        const bool opened = PosixSerialOpener::openPath(path) != nullptr;
        return OpenTry{opened, since(start)};
    };
    if (!unprivileged || geteuid() != 0) {
        return attempt();
    }
    int result[2];
    EXPECT_EQ(pipe(result), 0);
    const pid_t child = fork();
    if (child == 0) {
        const uid_t nobody = 65534;
        int answer[3] = {0, 0, 0};
        if (setgroups(0, nullptr) == 0 && setgid(nobody) == 0 && setuid(nobody) == 0) {
            const OpenTry t = attempt();
            answer[0] = 1;
            answer[1] = t.opened;
            answer[2] = static_cast<int>(t.took.count());
        }
        (void)!::write(result[1], answer, sizeof answer);
        _exit(0);
    }
    int answer[3] = {0, 0, 0};
    EXPECT_EQ(::read(result[0], answer, sizeof answer), ssize_t{sizeof answer});
    waitpid(child, nullptr, 0);
    ::close(result[0]);
    ::close(result[1]);
    if (answer[0] == 0) {
        return std::nullopt;
    }
    return OpenTry{answer[1] != 0, Ms(answer[2])};
}

}  // namespace

TEST(PosixSerial, ReadEndsAtTheCharacterGapOrTheTotalTimeout) {
    RawPty pty;
    auto device = openConfigured(pty.path());
    ASSERT_TRUE(device);

    // Nothing comes: the read gives up with nothing.
    uint8_t buffer[20];
    EXPECT_EQ(device->read(buffer, 20), 0u);

    // Three bytes, then a gap longer than the 20 ms character gap but inside the 70 ms total.
    std::thread peer([&] {
        std::this_thread::sleep_for(5ms);
        pty.send({'a', 'b', 'c'});
        std::this_thread::sleep_for(45ms);
        pty.send({'d'});
    });
    EXPECT_EQ(device->read(buffer, 20), 3u);
    peer.join();

    // Twenty bytes end the read at once, a longer burst leaves the rest behind.
    pty.send(Bytes(25, 'x'));
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(device->read(buffer, 20), 20u);
}

TEST(PosixSerial, BinaryLineWithoutTranslationOrEcho) {
    RawPty pty;
    // Start from a cooked terminal as a freshly plugged device might report it.
    termios cooked{};
    tcgetattr(pty.slave(), &cooked);
    cooked.c_iflag |= ICRNL | ISTRIP;
    cooked.c_oflag |= OPOST | ONLCR;
    cooked.c_lflag |= ECHO | ICANON | ISIG;
    tcsetattr(pty.slave(), TCSANOW, &cooked);

    auto device = openConfigured(pty.path());
    ASSERT_TRUE(device);
    const Bytes binary{0x0D, 0x0A, 0x03, 0x1A, 0xFF, 0x00, 0x7F};
    pty.send(binary);
    std::this_thread::sleep_for(10ms);
    uint8_t buffer[20];
    ASSERT_EQ(device->read(buffer, 20), binary.size());
    EXPECT_EQ(Bytes(buffer, buffer + binary.size()), binary);

    EXPECT_EQ(device->write(binary.data(), binary.size()), binary.size());
    EXPECT_EQ(pty.receive(20ms), binary) << "no echo and no output translation";
}

TEST(PosixSerial, LineFormatsTheLinkCanAskFor) {
    RawPty pty;
    auto device = PosixSerialOpener::openPath(pty.path());
    ASSERT_TRUE(device);
    LineSettings current;
    ASSERT_TRUE(device->getLineSettings(current));
    for (uint8_t bits = 5; bits <= 8; ++bits) {
        for (uint8_t parity = 0; parity <= 4; ++parity) {
            for (uint8_t stop = 0; stop <= 2; ++stop) {
                EXPECT_TRUE(device->setLineSettings({9600, bits, parity, stop}));
            }
        }
    }
    EXPECT_FALSE(device->setLineSettings({9600, 4, 2, 0})) << "no four-bit characters here";
    EXPECT_FALSE(device->setLineSettings({9600, 7, 5, 0}));
    EXPECT_FALSE(device->setLineSettings({9600, 7, 2, 3}));
    EXPECT_FALSE(device->setLineSettings({12345, 7, 2, 0}));
    for (uint32_t baud : {300u, 600u, 1200u, 2400u, 4800u, 9600u, 19200u}) {
        EXPECT_TRUE(device->setLineSettings({baud, 7, 2, 0}));
        LineSettings applied;
        ASSERT_TRUE(device->getLineSettings(applied));
        EXPECT_EQ(applied.baud, baud);
    }
}

// Pseudo-terminals force eight bits without parity, so only the conversion itself shows the
// character format a real adapter gets.
TEST(LineSettingsToTermios, EachFormatAndEverythingElseKept) {
    termios start{};
    start.c_cflag = CS8 | PARODD | CSTOPB | CRTSCTS | HUPCL;
    start.c_iflag = IXON | IXOFF | ICRNL | ISTRIP;
    start.c_oflag = OPOST | ONLCR;
    start.c_lflag = ECHO | ICANON | ISIG;
    start.c_cc[VMIN] = 1;
    start.c_cc[VTIME] = 5;
    const auto converted = [&](LineSettings line) {
        termios t = start;
        EXPECT_TRUE(applyLineSettings(t, line));
        return t;
    };
    const auto format = [](const termios& t) {
        return t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    };

    const termios e71 = converted({9600, 7, 2, 0});
    EXPECT_EQ(format(e71), tcflag_t{CS7 | PARENB}) << "7E1: even parity is PARENB without PARODD";
    EXPECT_EQ(cfgetospeed(&e71), speed_t{B9600});
    EXPECT_EQ(cfgetispeed(&e71), speed_t{B9600});
    EXPECT_EQ(e71.c_cflag & (CRTSCTS | HUPCL), tcflag_t{CRTSCTS | HUPCL}) << "flow control kept";
    EXPECT_EQ(e71.c_iflag, tcflag_t{IXON | IXOFF}) << "software flow control kept, no translation";
    EXPECT_EQ(e71.c_oflag & OPOST, 0u);
    EXPECT_EQ(e71.c_lflag & (ECHO | ICANON | ISIG), 0u);
    EXPECT_EQ(e71.c_cflag & (CREAD | CLOCAL), tcflag_t{CREAD | CLOCAL});
    EXPECT_EQ(e71.c_cc[VMIN], 0);
    EXPECT_EQ(e71.c_cc[VTIME], 0);

    EXPECT_EQ(format(converted({9600, 8, 0, 0})), tcflag_t{CS8});
    EXPECT_EQ(format(converted({9600, 7, 1, 0})), tcflag_t{CS7 | PARENB | PARODD});
    EXPECT_EQ(format(converted({9600, 8, 3, 0})), tcflag_t{CS8 | PARENB | CMSPAR | PARODD})
        << "mark";
    EXPECT_EQ(format(converted({9600, 8, 4, 0})), tcflag_t{CS8 | PARENB | CMSPAR}) << "space";
    EXPECT_EQ(format(converted({9600, 5, 0, 2})), tcflag_t{CS5 | CSTOPB});
    EXPECT_EQ(format(converted({9600, 6, 0, 1})), tcflag_t{CS6 | CSTOPB}) << "1.5 goes out as 2";
    const std::pair<uint32_t, speed_t> bauds[] = {{300, B300},   {600, B600},   {1200, B1200},
                                                  {2400, B2400}, {4800, B4800}, {19200, B19200}};
    for (const auto& [baud, speed] : bauds) {
        const termios t = converted({baud, 7, 2, 0});
        EXPECT_EQ(cfgetospeed(&t), speed) << baud;
    }
    for (LineSettings bad : {LineSettings{9600, 4, 2, 0}, LineSettings{9600, 7, 5, 0},
                             LineSettings{9600, 7, 2, 3}, LineSettings{12345, 7, 2, 0}}) {
        termios t = start;
        EXPECT_FALSE(applyLineSettings(t, bad));
    }
}

TEST(PosixSerial, LinkStatusesAndReasonsFromRealDevices) {
    TempDir dir;
    setenv("TERVO_COM4", (dir / "absent").c_str(), 1);
    SerialLink link(0);
    const std::vector<uint8_t> one{1};
    EXPECT_EQ(link.exchange(3, LineFormat{}, one).status, LinkStatus::OpenFailed);
    EXPECT_EQ(link.reason(), LinkReason::NoDevice);

    std::ofstream(dir / "plain") << "not a serial port";
    setenv("TERVO_COM4", (dir / "plain").c_str(), 1);
    EXPECT_EQ(link.exchange(3, LineFormat{}, one).status, LinkStatus::GetTimeoutsFailed);
    EXPECT_EQ(link.reason(), LinkReason::NotSerial);

    RawPty pty;
    setenv("TERVO_COM4", pty.path().c_str(), 1);
    EXPECT_EQ(link.exchange(3, LineFormat{}, one).status, LinkStatus::NoReply);
    EXPECT_EQ(link.reason(), LinkReason::NoReply);
    EXPECT_EQ(link.exchange(3, LineFormat{kDefaultBaudIndex, 4}, one).status,
              LinkStatus::SetStateFailed);
    EXPECT_EQ(link.reason(), LinkReason::LineSettingsRefused);
    unsetenv("TERVO_COM4");
}

TEST(PosixSerial, AHeldPortCannotBeOpened) {
    RawPty pty;
    int holder = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(PosixSerialOpener::openPath(pty.path())) << "held by another Tervo";
    flock(holder, LOCK_UN);
    {
        auto device = PosixSerialOpener::openPath(pty.path());
        EXPECT_TRUE(device);
        EXPECT_FALSE(PosixSerialOpener::openPath(pty.path())) << "exclusive while we hold it";
    }
    EXPECT_TRUE(PosixSerialOpener::openPath(pty.path())) << "released on close";
    ::close(holder);
}

TEST(PortExclusivity, AnotherProgramsExclusiveModeIsRefusedAndLeftAlone) {
    RawPty pty;
    {
        OtherProcess other(pty.path(), OtherProcess::ExclusiveProgram, 10'000);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(PosixSerialOpener::openPath(pty.path()));
        if (geteuid() == 0) {
            EXPECT_LT(since(start), Ms(150)) << "another program's hold is no exchange to wait for";
        }
        EXPECT_TRUE(exclusiveMode(pty)) << "not ours to clear";

        setenv("TERVO_COM5", pty.path().c_str(), 1);
        const std::vector<uint8_t> frame{0x04, '0', '0', '0', '0', 'P', 'V', 0x05};
        EXPECT_EQ(SerialLink(0).exchange(4, LineFormat{}, frame).status, LinkStatus::OpenFailed);
        unsetenv("TERVO_COM5");
        EXPECT_TRUE(pty.receive(20ms).empty()) << "nothing went out on the line";
        EXPECT_TRUE(exclusiveMode(pty));
    }
    // The program has ended; the line is still exclusive because the test keeps it open.
    ioctl(pty.slave(), TIOCNXCL);
    {
        auto device = PosixSerialOpener::openPath(pty.path());
        ASSERT_TRUE(device);
        EXPECT_TRUE(exclusiveMode(pty)) << "ours while we have it";
    }
    EXPECT_FALSE(exclusiveMode(pty)) << "and cleared again";
}

TEST(PortExclusivity, UucpLockFilesAreHonouredAndTaken) {
    TempDir locks;
    setenv("TERVO_LOCK_DIR", locks.path().c_str(), 1);
    RawPty pty;
    ASSERT_EQ(pty.path().rfind("/dev/pts/", 0), 0u);
    const std::string lockFile = locks / ("LCK..pts_" + pty.path().substr(9));
    char ours[32];
    std::snprintf(ours, sizeof ours, "%10d\ntervo\n", static_cast<int>(getpid()));
    {
        OtherProcess other(pty.path(), OtherProcess::Plain, 10'000);
        char theirs[16];
        std::snprintf(theirs, sizeof theirs, "%10d\n", static_cast<int>(other.pid()));
        std::ofstream(lockFile) << theirs;
        SerialOpener::Refusal why;
        EXPECT_FALSE(PosixSerialOpener::openPath(pty.path(), &why)) << "a live program's lock";
        EXPECT_EQ(why.reason, LinkReason::PortHeld);
        // The holder, a fork of this test, goes by the test's program name.
        std::string program = fileText("/proc/self/comm");
        program.pop_back();
        EXPECT_EQ(why.holder, program + " " + std::to_string(other.pid())) << "named by its lock";
        EXPECT_EQ(fileText(lockFile), theirs) << "left as it was";
        std::ofstream(lockFile) << other.pid() << "\n";
        EXPECT_FALSE(PosixSerialOpener::openPath(pty.path())) << "without the padding too";
        other.letGo();
        // Its process has ended: the lock is stale and goes.
        auto device = PosixSerialOpener::openPath(pty.path());
        ASSERT_TRUE(device);
        EXPECT_EQ(fileText(lockFile), ours) << "ours while we have the port";
    }
    EXPECT_FALSE(std::filesystem::exists(lockFile)) << "removed when the port is closed";
    {
        std::filesystem::create_symlink(pty.path(), locks / "by-id");
        auto device = PosixSerialOpener::openPath(locks / "by-id");
        ASSERT_TRUE(device);
        EXPECT_EQ(fileText(lockFile), ours) << "named for the device a link leads to";
    }

    // Another program that made its lock while we had the port keeps it.
    {
        auto device = PosixSerialOpener::openPath(pty.path());
        ASSERT_TRUE(device);
        std::ofstream(lockFile) << "         1\n";
    }
    EXPECT_EQ(fileText(lockFile), "         1\n");
    EXPECT_FALSE(PosixSerialOpener::openPath(pty.path())) << "process 1 always runs";

    // A lock that names no process may be one being written just now; once older, it is stale.
    for (const char* text : {"", "garbage\n", "    \n"}) {
        std::ofstream(lockFile) << text;
        EXPECT_FALSE(PosixSerialOpener::openPath(pty.path())) << "just made: '" << text << "'";
        std::filesystem::last_write_time(lockFile, std::filesystem::file_time_type::clock::now() -
                                                       Ms(UucpLock::kWritingGraceMs + 1000));
        EXPECT_TRUE(PosixSerialOpener::openPath(pty.path())) << "left long ago: '" << text << "'";
    }
    EXPECT_FALSE(std::filesystem::exists(lockFile));

    // A device outside /dev is named by its last component.
    std::ofstream(locks / "com1") << "";
    EXPECT_EQ(UucpLock::fileName(locks / "com1"), "LCK..com1");
    EXPECT_EQ(UucpLock::fileName("/nowhere/ttyX"), "LCK..ttyX");
    unsetenv("TERVO_LOCK_DIR");
}

// A busy port is waited for only while a Tervo exchange holds it, as its lock file says; any
// other holder is refused at once, by root (who opens past exclusive mode and finds it set) and
// by a user (whose open the exclusive mode refuses) alike.
TEST(PortExclusivity, OnlyAnotherTervoExchangeIsWaitedFor) {
    TempDir locks;
    std::filesystem::permissions(locks.path(),
                                 std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    setenv("TERVO_LOCK_DIR", locks.path().c_str(), 1);
    RawPty pty;
    ASSERT_EQ(chmod(pty.path().c_str(), 0666), 0) << "a user's to open";
    const struct {
        OtherProcess::Hold hold;
        int holdMs;
        bool opened;
    } cases[] = {
        {OtherProcess::ExclusiveProgram, 5000, false}, {OtherProcess::FlockProgram, 5000, false},
        {OtherProcess::LockingProgram, 5000, false},   {OtherProcess::AnotherTervo, 100, true},
        {OtherProcess::AnotherTervo, 5000, false},
    };
    for (bool unprivileged : {false, true}) {
        for (const auto& c : cases) {
            const std::string what = "hold " + std::to_string(c.hold) + " for " +
                                     std::to_string(c.holdMs) + " ms, " +
                                     (unprivileged ? "a user" : "this process");
            std::optional<OpenTry> t;
            {
                OtherProcess other(pty.path(), c.hold, c.holdMs);
                t = timedOpen(pty.path(), unprivileged);
            }
            ioctl(pty.slave(), TIOCNXCL);  // the exclusive program's mode outlives it
            if (!t) {
                ADD_FAILURE() << "root could not be given up: " << what;
                continue;
            }
            EXPECT_EQ(t->opened, c.opened) << what << ", took " << t->took.count() << " ms";
            // Only lower bounds on a wait are exact; a loaded machine may stretch any open.
            // Opening while the other Tervo held the port shows the wait by itself.
            if (c.hold != OtherProcess::AnotherTervo) {
                EXPECT_LT(t->took, Ms(PosixSerialOpener::kBusyWaitMs - 10))
                    << "no exchange to wait for: " << what;
            } else if (!c.opened) {
                EXPECT_GE(t->took, Ms(PosixSerialOpener::kBusyWaitMs - 10)) << what;
                EXPECT_LT(t->took, Ms(10000)) << "the wait is bounded: " << what;
            }
        }
    }
    EXPECT_FALSE(exclusiveMode(pty));
    EXPECT_TRUE(std::filesystem::is_empty(locks.path())) << "every lock given back";
    unsetenv("TERVO_LOCK_DIR");
}

// A Tervo process whose exchanges follow each other without a pause still lets another one
// that waits for the port have it between two of them: the waiter asks through the lock file,
// the holder leaves the port free for a moment after that exchange. (Without the ask, the
// holder takes the port back at once and the waiter gives up at its limit.)
TEST(PortExclusivity, AWaitingTervoGetsItsTurnBetweenBackToBackExchanges) {
    TempDir locks;
    setenv("TERVO_LOCK_DIR", locks.path().c_str(), 1);
    RawPty pty;
    for (int round = 0; round < 3; ++round) {
        OtherProcess busy(pty.path(), OtherProcess::BusyTervo, 5000);
        std::this_thread::sleep_for(Ms(20));  // well into its exchanges
        const std::optional<OpenTry> t = timedOpen(pty.path(), false);
        ASSERT_TRUE(t);
        EXPECT_TRUE(t->opened) << "round " << round << ", after " << t->took.count() << " ms";
    }
    unsetenv("TERVO_LOCK_DIR");
}
