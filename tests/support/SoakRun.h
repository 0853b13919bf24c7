#pragma once

#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/link/ParameterTable.h"
#include "core/work/SamplingEngine.h"
#include "emu/ControllerBus.h"
#include "support/InstantBus.h"

namespace tervo::testing {

// A live recording driven for days on the fake clock: 20 channels at a sampling period of
// 1 s on controllers that answer at once, ticks fired as the view fires them.
//
// Rewriting the whole record file after each of a month's million cycles would take years, so
// the record path runs through a folder link that normally names nothing: the engine tries
// each write, fails at once and keeps the rows in memory, exactly its path for an unwritable
// file. `writeNextCycle` points the link at a real folder for one cycle, so that write (and the
// memory it needs) is the real one at that size; the file then holds the whole recording.
class SoakRun {
public:
    static constexpr size_t kChannels = 20;

    explicit SoakRun(const std::filesystem::path& folder)
        : m_link(folder / "out"), m_real(folder / "real"), m_engine(m_work, m_clock, m_opener) {
        std::filesystem::create_directories(m_real);
        pointLinkAt(folder / "absent");
        m_clock.seconds = 1'700'000'000;
        std::vector<int> addresses;
        for (size_t i = 0; i < kChannels; ++i) {
            ChannelInfo channel;
            channel.parameterCode = kPV;
            channel.address = static_cast<uint8_t>(i);
            m_work.channels.push_back(channel);
            addresses.push_back(static_cast<int>(i));
        }
        // Evaluated every cycle, never firing: the occurrences stay empty, so the rows are the
        // only thing a recording may grow by.
        m_work.events.resize(2);
        m_work.events[0].data2Constant = 1000.0;  // PV of channel 1 above 1000
        m_work.events[1].compare = 1;
        m_work.events[1].data2Constant = -1000.0;  // or below -1000
        m_work.timing.samplingPeriod = 1;
        m_bus = std::make_unique<emu::ControllerBus>(addresses);
        m_opener.bus = m_bus.get();

        m_interval = m_engine.startSampling().startTimerMs;
        messages = m_engine.startRecording(recordPath()).messages;
    }

    std::string recordPath() const { return (m_link / "soak.alt").string(); }
    std::string writtenPath() const { return (m_real / "soak.alt").string(); }
    const SamplingEngine& engine() const { return m_engine; }
    double simulatedDays() const { return (m_clock.tick - m_startTick) / 86'400'000.0; }

    // Fires ticks until `seconds` of engine time have passed.
    void run(double seconds) {
        const uint64_t until = m_clock.tick + static_cast<uint64_t>(seconds * 1000.0);
        while (m_clock.tick + static_cast<uint64_t>(m_interval) <= until) {
            tick();
        }
    }

    // Runs up to the end of the next cycle with the record file writable; the seconds that
    // cycle's tick took, which is almost all the rewrite of the file.
    double writeNextCycle() {
        pointLinkAt(m_real);
        double seconds = 0.0;
        for (bool completed = false; !completed;) {
            const auto began = std::chrono::steady_clock::now();
            completed = tick();
            seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        }
        pointLinkAt(m_link.parent_path() / "absent");
        return seconds;
    }

    // The bytes the row store holds for its capacity (time stamp and N values per row).
    size_t rowStoreBytes() const {
        return m_engine.rows().capacity() * (sizeof(int32_t) + kChannels * sizeof(double));
    }

    // Everything the C library's heap hands out right now (small blocks and mapped ones).
    static size_t heapBytes() {
        const struct mallinfo2 info = mallinfo2();
        return info.uordblks + info.hblkhd;
    }
    static size_t residentBytes() {
        long pages = 0;
        long resident = 0;
        if (FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
                resident = 0;
            }
            std::fclose(f);
        }
        return static_cast<size_t>(resident) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
    }

    std::vector<std::string> messages;  // every message the engine gave, in order

private:
    // The controllers of InstantBus without its log of every frame, which would grow.
    struct Opener : SerialOpener {
        emu::ControllerBus* bus = nullptr;
        std::unique_ptr<SerialDevice> open(const std::string& portName) override {
            return portName == "COM1" ? std::make_unique<Device>(*bus) : nullptr;
        }
        struct Device : AcceptingDevice {
            explicit Device(emu::ControllerBus& b) : bus(b) {}
            size_t write(const uint8_t* data, size_t length) override {
                const auto answer = bus.answer(std::vector<uint8_t>(data, data + length));
                reply = answer ? answer->bytes : std::vector<uint8_t>{};
                return length;
            }
            size_t read(uint8_t* data, size_t length) override {
                const size_t n = std::min(length, reply.size());
                std::copy_n(reply.begin(), n, data);
                return n;
            }
            emu::ControllerBus& bus;
            std::vector<uint8_t> reply;
        };
    };

    void pointLinkAt(const std::filesystem::path& target) {
        std::error_code ignored;
        std::filesystem::remove(m_link, ignored);
        std::filesystem::create_directory_symlink(target, m_link);
    }

    bool tick() {
        m_clock.advance(static_cast<uint32_t>(m_interval));
        TickOutcome outcome = m_engine.tick();
        m_interval = outcome.nextIntervalMs;
        for (std::string& m : outcome.messages) {
            if (messages.size() < 100) {  // a flood of messages is itself a finding
                messages.push_back(std::move(m));
            }
        }
        return outcome.cycleCompleted;
    }

    std::filesystem::path m_link;
    std::filesystem::path m_real;
    WorkDefinition m_work;
    FakeClock m_clock;
    Opener m_opener;
    std::unique_ptr<emu::ControllerBus> m_bus;
    SamplingEngine m_engine;
    int m_interval = 0;
    uint32_t m_startTick = 0;
};

}  // namespace tervo::testing
