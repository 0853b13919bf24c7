#include <gtest/gtest.h>
#include <sys/file.h>
#include <termios.h>

#include <fstream>
#include <thread>

#include "link/PosixSerialDevice.h"
#include "link/SerialLink.h"
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

TEST(PosixSerial, LinkStatusesFromRealDevices) {
    TempDir dir;
    setenv("TERVO_COM4", (dir / "absent").c_str(), 1);
    SerialLink link(0);
    const std::vector<uint8_t> one{1};
    EXPECT_EQ(link.exchange(3, LineFormat{}, one).status, LinkStatus::OpenFailed);

    std::ofstream(dir / "plain") << "not a serial port";
    setenv("TERVO_COM4", (dir / "plain").c_str(), 1);
    EXPECT_EQ(link.exchange(3, LineFormat{}, one).status, LinkStatus::GetTimeoutsFailed);

    RawPty pty;
    setenv("TERVO_COM4", pty.path().c_str(), 1);
    EXPECT_EQ(link.exchange(3, LineFormat{}, one).status, LinkStatus::NoReply);
    EXPECT_EQ(link.exchange(3, LineFormat{kDefaultBaudIndex, 4}, one).status,
              LinkStatus::SetStateFailed);
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
