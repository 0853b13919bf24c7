#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "core/link/ParameterTable.h"
#include "core/link/SerialLink.h"
#include "emu/PtyBus.h"
#include "support/RawPty.h"

using namespace tervo;
using namespace tervo::emu;
using tervo::testing::TempDir;
using namespace std::chrono_literals;

namespace {

// Controllers on an emulated bus linked as COM1.
class Bus : public ::testing::Test {
protected:
    void startBus(std::vector<int> addresses, uint32_t baud = 9600) {
        BusOptions options;
        options.linkPath = m_dir / "com1";
        options.addresses = std::move(addresses);
        options.baud = baud;
        m_bus = std::make_unique<PtyBus>(options);
        std::string error;
        ASSERT_TRUE(m_bus->start(&error)) << error;
        setenv("TERVO_COM1", options.linkPath.c_str(), 1);
    }
    void TearDown() override { unsetenv("TERVO_COM1"); }

    int read(uint8_t address, uint32_t code, double& value, uint8_t baud = kDefaultBaudIndex) {
        const std::optional<double> read = SerialLink(0).readParam({code, 0, baud, address});
        if (read) {
            value = *read;
        }
        return read ? 0 : 1;
    }
    uint8_t write(uint8_t address, uint32_t code, const std::string& text) {
        SerialLink link(0);
        return link.writeParam(0, kDefaultBaudIndex, address, code, text);
    }

    TempDir m_dir;
    std::unique_ptr<PtyBus> m_bus;
};

}  // namespace

TEST_F(Bus, ReadWriteRoundTripOnSeveralAddresses) {
    startBus({0, 7});
    double value = 0.0;
    ASSERT_EQ(read(0, kSL, value), 0);
    EXPECT_EQ(value, 25.0);
    EXPECT_EQ(write(7, kSL, "100.0     "), kACK);
    ASSERT_EQ(read(7, kSL, value), 0);
    EXPECT_EQ(value, 100.0);
    ASSERT_EQ(read(0, kSL, value), 0);
    EXPECT_EQ(value, 25.0) << "only the addressed controller took the write";
    EXPECT_EQ(m_bus->value(7, kSL), 100.0);
    EXPECT_EQ(write(7, literalCode('r', '1'), "-5.000000 "), kACK) << "typed mnemonic";
    EXPECT_EQ(m_bus->value(7, segmentRampIndex(1)), -5.0);
    ASSERT_EQ(read(0, kPV, value), 0);
    EXPECT_GT(value, 15.0);
    EXPECT_EQ(m_bus->framesHeard(0), 3u);
    EXPECT_EQ(m_bus->framesHeard(7), 3u);
}

TEST_F(Bus, RefusalsAndUnknownParameters) {
    startBus({0});
    EXPECT_EQ(write(0, kPV, "1.0       "), kNAK);
    EXPECT_EQ(write(0, kSL, "abcde     "), kNAK);
    EXPECT_EQ(write(0, literalCode('z', 'z'), "1.0       "), kNAK);
    EXPECT_EQ(m_bus->framesHeard(0), 3u) << "a refusal is not retried";

    double value = 3.0;
    EXPECT_EQ(read(0, literalCode('z', 'z'), value), 1) << "a lone EOT is no reply";
    EXPECT_EQ(value, 3.0);
    EXPECT_EQ(m_bus->framesHeard(0), 8u);

    SerialLink link(0);
    const ExchangeResult poll = link.pollParam(0, kDefaultBaudIndex, 0, kSL);
    EXPECT_EQ(poll.status, LinkStatus::Ok);
    ASSERT_EQ(poll.reply.size(), 10u);
    EXPECT_EQ(std::string(poll.reply.begin() + 3, poll.reply.begin() + 8), " 25.0");
}

TEST_F(Bus, SilentAddressesCostFiveAttempts) {
    startBus({0, 1});
    m_bus->setFaults(1, Faults{.silent = true});
    double value = 0.0;
    EXPECT_EQ(read(1, kPV, value), 1);
    EXPECT_EQ(m_bus->framesHeard(1), 5u);
    EXPECT_EQ(write(1, kSL, "30.0      "), 0);
    EXPECT_EQ(m_bus->framesHeard(1), 10u);
    EXPECT_EQ(read(2, kPV, value), 1) << "nobody at address 2";
    EXPECT_EQ(read(0, kPV, value), 0) << "the others are unaffected";
    m_bus->setFaults(1, Faults{});
    EXPECT_EQ(read(1, kPV, value), 0) << "faults switch at run time";
}

TEST_F(Bus, EachFaultAsTheLinkSeesIt) {
    startBus({0});
    double value = 0.0;
    for (const char* kind : {"bcc", "short", "long", "delay=150", "garbage"}) {
        Faults faults;
        ASSERT_TRUE(applyFaultKind(kind, faults));
        m_bus->setFaults(0, faults);
        const uint64_t before = m_bus->framesHeard(0);
        EXPECT_EQ(read(0, kSL, value), 1) << kind;
        // On a busy machine the last attempt may give up before the bus has even taken its
        // request off the line: give the bus a moment to hear it, then count.
        for (int wait = 0; m_bus->framesHeard(0) - before < 5 && wait < 100; ++wait) {
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(m_bus->framesHeard(0) - before, 5u) << kind;
    }
    m_bus->setFaults(0, Faults{.nakWrites = true});
    EXPECT_EQ(write(0, kSL, "30.0      "), kNAK);
    EXPECT_EQ(read(0, kSL, value), 0) << "reads still answer";
    EXPECT_EQ(value, 25.0);
    m_bus->setFaults(0, Faults{.extraDelayMs = 15});
    EXPECT_EQ(read(0, kSL, value), 0) << "a short delay still fits the timeouts";
    m_bus->setFaults(0, Faults{.corruptBcc = true});
    EXPECT_EQ(write(0, kSL, "30.0      "), kACK) << "writes answer with one byte";
}

TEST_F(Bus, HeldPortGivesStatusFour) {
    startBus({0});
    const int holder = ::open(m_bus->options().linkPath.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    SerialLink link(0);
    EXPECT_EQ(link.pollParam(0, kDefaultBaudIndex, 0, kPV).status, LinkStatus::OpenFailed);
    double value = 0.0;
    EXPECT_EQ(read(0, kPV, value), 1);
    EXPECT_EQ(m_bus->framesHeard(0), 0u);
    ::close(holder);
    EXPECT_EQ(read(0, kPV, value), 0);
}

TEST_F(Bus, UnpluggedAdapterWorksAgainWhenItReturns) {
    startBus({0});
    const std::string link = m_bus->options().linkPath;
    double value = 0.0;
    ASSERT_EQ(read(0, kSL, value), 0);
    std::filesystem::remove(link);
    SerialLink gone(0);
    EXPECT_EQ(gone.pollParam(0, kDefaultBaudIndex, 0, kSL).status, LinkStatus::OpenFailed);
    EXPECT_EQ(read(0, kSL, value), 1);
    std::filesystem::create_symlink(m_bus->devicePath(), link);
    EXPECT_EQ(read(0, kSL, value), 0);
    EXPECT_EQ(value, 25.0);
}

TEST_F(Bus, HearsOnlyItsOwnBaudRate) {
    startBus({5}, 19200);
    double value = 0.0;
    EXPECT_EQ(read(5, kSL, value, 5), 1) << "9600 on a 19200 bus is noise";
    EXPECT_EQ(m_bus->framesHeard(5), 0u);
    EXPECT_EQ(read(5, kSL, value, 6), 0);
}

TEST_F(Bus, StoppingRemovesTheLink) {
    startBus({0});
    const std::string link = m_bus->options().linkPath;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    m_bus->stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    double value = 0.0;
    EXPECT_EQ(read(0, kSL, value), 1);
}

TEST(BusStart, WillNotReplaceAFile) {
    TempDir dir;
    { std::ofstream(dir / "com1") << "precious"; }
    BusOptions options;
    options.linkPath = dir / "com1";
    options.addresses = {0};
    PtyBus bus(options);
    std::string error;
    EXPECT_FALSE(bus.start(&error));
    EXPECT_NE(error.find("will not replace"), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "com1"));
}
