// A port that goes away during a recording and comes back: a USB adapter unplugged, a
// controller bus whose pseudo-terminal closes. Each exchange opens the port anew, so the
// link must neither hang nor keep anything of the old device, and readings must resume on
// their own.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <thread>

#include "core/link/ParameterTable.h"
#include "core/link/PosixSerialDevice.h"
#include "core/link/SerialLink.h"
#include "core/work/SamplingEngine.h"
#include "core/work/WorkFiles.h"
#include "support/InstantBus.h"
#include "support/RawPty.h"

using namespace tervo;
using tervo::testing::FakeClock;
using tervo::testing::InstantBus;
using tervo::testing::RawPty;
using tervo::testing::TempDir;
using namespace std::chrono_literals;

namespace {

// The emulated controllers behind a port that can be pulled: absent (the device node is
// gone, opening fails) or hung up (it opened, then the line went: nothing goes out, nothing
// comes back).
class PullablePort : public SerialOpener {
public:
    enum State { Present, Absent, HungUp };
    State state = Present;
    int opens = 0;

    explicit PullablePort(InstantBus& bus) : m_bus(bus) {}

    std::unique_ptr<SerialDevice> open(const std::string& portName) override {
        ++opens;
        if (state == Absent) {
            return nullptr;
        }
        auto device = m_bus.open(portName);
        return state == HungUp ? std::make_unique<HungUpDevice>(std::move(device))
                               : std::move(device);
    }

private:
    class HungUpDevice : public SerialDevice {
    public:
        explicit HungUpDevice(std::unique_ptr<SerialDevice> inner) : m_inner(std::move(inner)) {}
        bool getTimeouts(SerialTimeouts& out) override { return m_inner->getTimeouts(out); }
        bool setTimeouts(const SerialTimeouts& t) override { return m_inner->setTimeouts(t); }
        bool getLineSettings(LineSettings& out) override { return m_inner->getLineSettings(out); }
        bool setLineSettings(const LineSettings& s) override { return m_inner->setLineSettings(s); }
        size_t write(const uint8_t*, size_t) override { return 0; }
        size_t read(uint8_t*, size_t) override { return 0; }

    private:
        std::unique_ptr<SerialDevice> m_inner;
    };

    InstantBus& m_bus;
};

ChannelInfo readChannel(int32_t code, uint8_t address) {
    ChannelInfo c;
    c.parameterCode = code;
    c.address = address;
    return c;
}

}  // namespace

TEST(PortLoss, CyclesWhileThePortIsGoneHoldTheMarkerAndReadingsResumeOnTheirOwn) {
    TempDir dir;
    InstantBus bus;
    bus.addPort("COM1", {0, 1});
    bus.port("COM1").controller(1)->setValue(kSL, 40.0);
    PullablePort port(bus);
    WorkDefinition work;
    work.timing.samplingPeriod = 1;
    work.channels = {readChannel(kSL, 0), readChannel(kSL, 1)};
    FakeClock clock;
    clock.seconds = 1'000'000'000;
    SamplingEngine engine(work, clock, port);
    ASSERT_TRUE(engine.startSampling().running);
    ASSERT_TRUE(engine.startRecording((dir / "r.alt").string()).messages.empty());

    int interval = SamplingEngine::kFirstIntervalMs;
    auto runRows = [&](size_t rows) {
        const size_t until = engine.rows().rows() + rows;
        for (int guard = 0; engine.rows().rows() < until && guard < 1000; ++guard) {
            clock.advance(static_cast<uint32_t>(interval));
            const TickOutcome out = engine.tick();
            EXPECT_TRUE(out.messages.empty());
            interval = out.nextIntervalMs;
        }
    };
    runRows(3);
    port.state = PullablePort::Absent;
    const int opensBefore = port.opens;
    runRows(3);
    EXPECT_EQ(port.opens - opensBefore, 3 * 2 * 5) << "every attempt tries the port again";
    port.state = PullablePort::HungUp;
    runRows(2);
    port.state = PullablePort::Present;
    runRows(3);
    EXPECT_EQ(interval, SamplingEngine::kIntervalMs) << "still sampling";
    engine.stopRecording(true, true);

    Recording file;
    ASSERT_EQ(readRecording((dir / "r.alt").string(), file), FileStatus::Ok);
    ASSERT_EQ(file.rowCount(), 11u);
    for (size_t r = 0; r < file.rowCount(); ++r) {
        // The cycle under way when the port went may hold a reading from before; none after.
        const bool gone = r >= 3 && r < 8;
        EXPECT_EQ(isNoValue(file.value(r, 0)), gone) << "row " << r;
        EXPECT_EQ(isNoValue(file.value(r, 1)), gone) << "row " << r;
        if (!gone) {
            EXPECT_EQ(file.value(r, 0), 25.0);
            EXPECT_EQ(file.value(r, 1), 40.0);
        }
        if (r > 0) {
            EXPECT_GE(file.times[r], file.times[r - 1]);
        }
    }
}

// The real device: a pseudo-terminal that hangs up while the link has it open, and a new one
// linked at the same path a moment later, as an emulator restarting or an adapter coming back.
TEST(PortLoss, AHangUpEndsTheExchangeAndTheNextOneOpensTheNewDevice) {
    TempDir dir;
    TempDir locks;
    setenv("TERVO_LOCK_DIR", locks.path().c_str(), 1);
    const std::string link = dir / "com1";
    setenv("TERVO_COM1", link.c_str(), 1);

    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    char name[PATH_MAX];
    ASSERT_EQ(ptsname_r(master, name, sizeof name), 0);
    std::filesystem::create_symlink(name, link);

    auto device = PosixSerialOpener::openPath(link);
    ASSERT_TRUE(device);
    SerialTimeouts timeouts{20, 1, 50, 1, 50};
    device->setTimeouts(timeouts);
    LineSettings line;
    ASSERT_TRUE(device->getLineSettings(line));
    ASSERT_TRUE(device->setLineSettings(line));
    const std::string lockFile = locks / ("LCK..pts_" + std::string(name + 9));
    EXPECT_TRUE(std::filesystem::exists(lockFile));

    // The far end goes while a read waits: the read ends with nothing, well before a hang.
    std::thread hangUp([&] {
        std::this_thread::sleep_for(10ms);
        ::close(master);
        std::filesystem::remove(link);
    });
    uint8_t buffer[20];
    EXPECT_EQ(device->read(buffer, 20), 0u);
    hangUp.join();
    const uint8_t poll[8] = {kEOT, '0', '0', '0', '0', 'S', 'L', kENQ};
    EXPECT_EQ(device->write(poll, 8), 0u) << "nothing goes out on a line that hung up";
    EXPECT_EQ(device->read(buffer, 20), 0u);
    device.reset();
    EXPECT_FALSE(std::filesystem::exists(lockFile)) << "the lock goes with the dead device";

    SerialLink gone(0);
    EXPECT_EQ(gone.pollParam(0, kDefaultBaudIndex, 0, kSL).status, LinkStatus::OpenFailed);

    // Back at the same path, on a new device: the next exchange of the same link object gets
    // through, and takes the new device's lock.
    RawPty back;
    std::filesystem::create_symlink(back.path(), link);
    std::thread peer([&] {
        std::vector<uint8_t> request;
        const auto until = std::chrono::steady_clock::now() + 5s;
        while (request.size() < 8 && std::chrono::steady_clock::now() < until) {
            const std::vector<uint8_t> more = back.receive(5ms);
            request.insert(request.end(), more.begin(), more.end());
        }
        if (request.size() == 8) {
            back.send({kSTX, 'S', 'L', ' ', '2', '5', '.', '0', kETX,
                       static_cast<uint8_t>('S' ^ 'L' ^ ' ' ^ '2' ^ '5' ^ '.' ^ '0' ^ kETX)});
        }
    });
    const std::optional<double> value = gone.readParam({kSL, 0, kDefaultBaudIndex, 0});
    peer.join();
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, 25.0);
    EXPECT_TRUE(std::filesystem::is_empty(locks.path())) << "every lock given back";
    int exclusive = 1;
    ASSERT_EQ(ioctl(back.slave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "nor is the new device left exclusive";
    unsetenv("TERVO_COM1");
    unsetenv("TERVO_LOCK_DIR");
}
