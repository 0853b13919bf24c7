// tervo-cli record publishing to a real mosquitto broker and serving its metrics page, checked
// against the record file it writes (read here from the byte layout alone).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "core/work/RecordWriter.h"
#include "guisupport/SilentBroker.h"
#include "net/MetricsServer.h"
#include "net/MqttPublisher.h"
#include "net/RecordServices.h"
#include "net/WebConfig.h"
#include "support/FileBytes.h"
#include "support/FreePort.h"
#include "support/Loopback.h"
#include "support/Process.h"
#include "support/RawPty.h"

using tervo::testing::Child;
using tervo::testing::run;
using tervo::testing::TempDir;
using tervo::testing::waitForPath;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace {

using tervo::testing::freePort;
using tervo::testing::httpGet;
using tervo::testing::listening;

constexpr const char* kBroker = "/usr/sbin/mosquitto";
constexpr const char* kSub = "/usr/bin/mosquitto_sub";
constexpr const char* kPromtool = "/usr/bin/promtool";
constexpr uint64_t kMarkerBits = 0xC16312CFE0000000ull;

using tervo::testing::ByteWriter;
using tervo::testing::gbk;
using tervo::testing::writeWorkHead;

const char* const kChannels[] = {"炉温", "设定", "无应答"};

// A one-second work on COM1: PV of 0, SL of 1, SL of the silent 3; one event "超温", SL of 1
// above 20 (the emulator's SL is 25, so it fires every cycle).
Bytes workTemplate() {
    ByteWriter o;
    writeWorkHead(o);
    writeStylesAndCounts(o, 3, 1);
    const int codes[] = {0, 3, 3};
    const int addresses[] = {0, 1, 3};
    for (int i = 0; i < 3; ++i) {
        writeComOneChannel(o, kChannels[i], codes[i], addresses[i]);
    }
    o.text(gbk("超温"), 16);
    o.i32(0);
    o.i32(0);
    o.i32(1);
    o.i32(255);
    o.f64(20.0);
    o.i32(0);
    o.raw("\0\0\0\0", 4);
    o.f64(0.0);
    return o.b;
}

struct Record {
    bool ok = false;
    std::vector<int32_t> times;
    std::vector<std::vector<uint64_t>> bits;
    std::vector<std::pair<int32_t, int32_t>> occurrences;
};

// The recording as Tervo's readers see it: while it records, its last cycles may still be in
// the journal beside the file alone.
Record readRecord(const std::filesystem::path& path) {
    Bytes b;
    Record r;
    if (!tervo::readRecordImage(path, b)) {
        return r;
    }
    auto le = [&](size_t at, int bytes) {
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            v |= uint64_t{b.at(at + static_cast<size_t>(i))} << (8 * i);
        }
        return v;
    };
    if (b.size() < 236) {
        return r;
    }
    const uint64_t n = le(220, 4), e = le(224, 4), s = le(228, 4), k = le(232, 4);
    if (b.size() != 236 + 96 * n + 56 * e + s * (4 + 8 * n) + 8 * k) {
        return r;
    }
    size_t at = 236 + 96 * n + 56 * e;
    for (uint64_t row = 0; row < s; ++row, at += 4 + 8 * n) {
        r.times.push_back(static_cast<int32_t>(le(at, 4)));
        r.bits.emplace_back();
        for (uint64_t c = 0; c < n; ++c) {
            r.bits.back().push_back(le(at + 4 + 8 * c, 8));
        }
    }
    for (uint64_t i = 0; i < k; ++i, at += 8) {
        r.occurrences.emplace_back(static_cast<int32_t>(le(at, 4)),
                                   static_cast<int32_t>(le(at + 4, 4)));
    }
    r.ok = true;
    return r;
}

// Shanghai time (set up by the fixture), always +08:00.
std::string iso(int32_t t) {
    const time_t tt = t;
    std::tm tm{};
    localtime_r(&tt, &tm);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d+08:00", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

// A value as it goes out: the file's double to 6 significant digits, written shortest ("20.15"
// for the 20.150000000000002 the controller's digits add up to).
std::string number(uint64_t bits) {
    if (bits == kMarkerBits) {
        return "null";
    }
    char rounded[32];
    const auto r = std::to_chars(rounded, rounded + sizeof rounded, std::bit_cast<double>(bits),
                                 std::chars_format::general, 6);
    double value = 0;
    std::from_chars(rounded, r.ptr, value);
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return std::string(text, end);
}

std::string host() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// What the caller may wait for something that should be at once; the sanitized build runs
// several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr auto kPrompt = 1000ms;
#else
constexpr auto kPrompt = 200ms;
#endif

class Publishing : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kBroker) || !std::filesystem::exists(kSub)) {
            GTEST_SKIP() << "mosquitto and mosquitto_sub are not installed (scripts/bootstrap "
                            "installs them): the broker tests do not run";
        }
        startEmulator();
        setenv("TZ", "Asia/Shanghai", 1);
        tzset();
        const Bytes work = workTemplate();
        std::ofstream(m_dir / "w.awt", std::ios::binary)
            .write(reinterpret_cast<const char*>(work.data()),
                   static_cast<std::streamsize>(work.size()));
        m_port = freePort();
        std::ofstream(m_dir / "broker.conf")
            << "listener " << m_port << " 127.0.0.1\nallow_anonymous true\npersistence true\n"
            << "persistence_location " << (m_dir / "").string() << "\n";
        startBroker();
    }
    void TearDown() override { unsetenv("TERVO_COM1"); }

    void startEmulator() {
        m_emu = std::make_unique<Child>(
            std::vector<std::string>{QT570_EMU, "--link", m_dir / "com1", "--addresses", "0-3",
                                     "--fault", "3:silent"},
            m_dir.path());
        ASSERT_TRUE(waitForPath(m_dir / "com1"));
        setenv("TERVO_COM1", (m_dir / "com1").c_str(), 1);
    }

    void startBroker() {
        m_broker = std::make_unique<Child>(
            std::vector<std::string>{kBroker, "-c", m_dir / "broker.conf"}, m_dir.path());
        ASSERT_TRUE(waitFor([&] { return listening(m_port); }, 10s)) << m_broker->err();
    }

    // A subscriber to everything under tervo/ with a session the broker keeps across its
    // restart, so nothing published while it reconnects is lost to it. `tls` are the
    // mosquitto_sub options of a TLS listener.
    std::unique_ptr<Child> subscribe(int port = 0, const std::vector<std::string>& tls = {}) {
        const std::string p = std::to_string(port != 0 ? port : m_port);
        std::vector<std::string> argv{
            kSub, "-h", "127.0.0.1",     "-p", p, "-t", "tervo/#", "-v", "-q", "1",
            "-c", "-i", "tervo-test-sub"};
        argv.insert(argv.end(), tls.begin(), tls.end());
        auto sub = std::make_unique<Child>(argv, m_dir.path());
        // Connected once the retained-free broker has its subscription: wait for a probe.
        std::vector<std::string> probe{"/usr/bin/mosquitto_pub",
                                       "-h",
                                       "127.0.0.1",
                                       "-p",
                                       p,
                                       "-t",
                                       "tervo/probe",
                                       "-m",
                                       "probe"};
        probe.insert(probe.end(), tls.begin(), tls.end());
        EXPECT_TRUE(waitFor(
            [&] {
                run(probe, m_dir.path());
                return sub->out().find("tervo/probe probe") != std::string::npos;
            },
            10s))
            << sub->err();
        return sub;
    }

    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(m_port); }

    // What the record file says must have been published, one line per message as
    // mosquitto_sub -v prints them.
    std::multiset<std::string> expectedLines(const Record& r) const {
        const std::string base = "tervo/" + host() + "/w/";
        std::multiset<std::string> lines;
        for (size_t row = 0; row < r.times.size(); ++row) {
            for (size_t c = 0; c < 3; ++c) {
                lines.insert(base + kChannels[c] + " {\"time\":\"" + iso(r.times[row]) +
                             "\",\"channel\":" + std::to_string(c) + ",\"name\":\"" + kChannels[c] +
                             "\",\"value\":" + number(r.bits[row][c]) + "}");
            }
        }
        for (const auto& [time, event] : r.occurrences) {
            lines.insert(base + "events {\"time\":\"" + iso(time) +
                         "\",\"event\":" + std::to_string(event) + ",\"name\":\"超温\"}");
        }
        return lines;
    }

    static std::multiset<std::string> dataLines(const std::string& out) {
        std::multiset<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) {
            if (line.find("/status ") == std::string::npos && !line.starts_with("tervo/probe")) {
                lines.insert(line);
            }
        }
        return lines;
    }

    static std::vector<std::string> statusLines(const std::string& out) {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) {
            if (line.find("/status ") != std::string::npos) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    TempDir m_dir;
    int m_port = 0;
    std::unique_ptr<Child> m_emu;
    std::unique_ptr<Child> m_broker;
};

}  // namespace

TEST_F(Publishing, PublishesExactlyTheRowsAndOccurrencesOnFileWithRetainedStatus) {
    auto sub = subscribe();
    const auto r = run({TERVO_CLI, "record", m_dir / "w.awt", "--out", m_dir / "r.alt", "--cycles",
                        "3", "--mqtt", url()},
                       m_dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const Record file = readRecord(m_dir / "r.alt");
    ASSERT_TRUE(file.ok);
    ASSERT_EQ(file.times.size(), 3u);
    ASSERT_EQ(file.occurrences.size(), 3u);
    ASSERT_EQ(file.bits[0][2], kMarkerBits) << "the silent controller";
    const auto expected = expectedLines(file);
    EXPECT_TRUE(waitFor([&] { return dataLines(sub->out()) == expected; }, 10s)) << "received:\n"
                                                                                 << sub->out();
    EXPECT_NE(sub->out().find("/无应答 {\"time\""), std::string::npos);
    EXPECT_NE(sub->out().find("\"value\":null}"), std::string::npos);
    const std::string status = "tervo/" + host() + "/status ";
    EXPECT_EQ(statusLines(sub->out()),
              (std::vector<std::string>{status + "online", status + "offline"}));

    // The status is retained: a subscriber coming later reads "offline" at once.
    const auto later = run({kSub, "-h", "127.0.0.1", "-p", std::to_string(m_port), "-t",
                            "tervo/+/status", "-v", "-C", "1", "-W", "5"},
                           m_dir.path());
    EXPECT_EQ(later.out, status + "offline\n");
}

TEST_F(Publishing, BrokerAwayForFiveSecondsLosesNoRowAndNeverStallsTheRecorder) {
    // The record file in memory where there is some: a disk busy with other writers can hold
    // the recorder's flush after each cycle for seconds, which is not what this test is about.
    const TempDir memory(std::filesystem::is_directory("/dev/shm")
                             ? "/dev/shm"
                             : std::filesystem::temp_directory_path());
    const auto record = memory / "r.alt";
    auto sub = subscribe();
    Child recorder({TERVO_CLI, "record", m_dir / "w.awt", "--out", record, "--mqtt", url()},
                   m_dir.path());
    ASSERT_TRUE(waitFor([&] { return readRecord(record).times.size() >= 2; }, 20s));
    m_broker->signal(SIGTERM);
    m_broker->wait();
    const size_t rowsAtStop = readRecord(record).times.size();
    std::this_thread::sleep_for(5s);
    const size_t rowsAfterOutage = readRecord(record).times.size();
    startBroker();
    ASSERT_TRUE(
        waitFor([&] { return readRecord(record).times.size() >= rowsAfterOutage + 3; }, 20s));
    recorder.signal(SIGINT);
    ASSERT_EQ(recorder.wait(), 0) << recorder.err();

    const Record file = readRecord(record);
    ASSERT_TRUE(file.ok);
    EXPECT_GE(rowsAfterOutage, rowsAtStop + 4) << "recording went on while the broker was away";
    for (size_t row = 1; row < file.times.size(); ++row) {
        EXPECT_LE(file.times[row] - file.times[row - 1], 2) << "row " << row << " stalled";
    }
    // At-least-once delivery: a message under way when the broker went may come twice.
    const auto expected = expectedLines(file);
    const std::set<std::string> wanted(expected.begin(), expected.end());
    std::set<std::string> got;
    EXPECT_TRUE(waitFor(
        [&] {
            const auto lines = dataLines(sub->out());
            got = std::set<std::string>(lines.begin(), lines.end());
            return got == wanted;
        },
        15s))
        << "wanted " << wanted.size() << " distinct messages, got " << got.size() << ":\n"
        << sub->out();
}

TEST_F(Publishing, LastWillAnnouncesOfflineWhenTheRecorderIsKilled) {
    auto sub = subscribe();
    Child recorder(
        {TERVO_CLI, "record", m_dir / "w.awt", "--out", m_dir / "r.alt", "--mqtt", url()},
        m_dir.path());
    const std::string status = "tervo/" + host() + "/status ";
    ASSERT_TRUE(
        waitFor([&] { return sub->out().find(status + "online") != std::string::npos; }, 10s));
    // "online" is retained: a subscriber joining while the recorder runs reads it at once.
    const auto joining = run({kSub, "-h", "127.0.0.1", "-p", std::to_string(m_port), "-t",
                              "tervo/+/status", "-v", "-C", "1", "-W", "5"},
                             m_dir.path());
    EXPECT_EQ(joining.out, status + "online\n");
    recorder.signal(SIGKILL);
    recorder.wait();
    EXPECT_TRUE(waitFor([&] { return statusLines(sub->out()).size() == 2; }, 10s));
    EXPECT_EQ(statusLines(sub->out()),
              (std::vector<std::string>{status + "online", status + "offline"}));
}

TEST_F(Publishing, MetricsPageIsValidAndItsCountersFollowTheLine) {
    const int port = freePort();
    Child recorder({TERVO_CLI, "record", m_dir / "w.awt", "--out", m_dir / "r.alt", "--metrics",
                    "127.0.0.1:" + std::to_string(port), "--mqtt", url()},
                   m_dir.path());
    std::string page;
    ASSERT_TRUE(waitFor(
        [&] {
            page = httpGet(port, "/metrics");
            return page.find("tervo_rows_recorded_total{work=\"w\"} 2\n") != std::string::npos;
        },
        20s))
        << page;
    EXPECT_TRUE(page.starts_with("HTTP/1.1 200 OK\r\n")) << page;
    EXPECT_NE(page.find("Content-Type: text/plain; version=0.0.4"), std::string::npos);
    EXPECT_NE(page.find("tervo_channel_value{work=\"w\",channel=\"设定\",index=\"1\"} 25\n"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("tervo_channel_value{work=\"w\",channel=\"无应答\",index=\"2\"} NaN\n"),
              std::string::npos);
    EXPECT_NE(page.find("tervo_port_failures_total{port=\"COM1\",status=\"no_value\"} 2\n"),
              std::string::npos)
        << "the silent controller, once per cycle";
    EXPECT_NE(page.find("tervo_mqtt_messages_dropped_total 0\n"), std::string::npos);
    EXPECT_TRUE(httpGet(port, "/").starts_with("HTTP/1.1 404 Not Found\r\n"));

    if (std::filesystem::exists(kPromtool)) {
        const std::string body = page.substr(page.find("\r\n\r\n") + 4);
        std::ofstream(m_dir / "page.txt") << body;
        const auto check =
            run({"/bin/sh", "-c",
                 std::string(kPromtool) + " check metrics < " + (m_dir / "page.txt").string()},
                m_dir.path());
        EXPECT_EQ(check.status, 0) << check.out << check.err;
    } else {
        std::cerr << "promtool is not installed (Debian's prometheus package): the page's "
                     "format was not checked by it\n";
    }

    // The emulator goes away: every exchange fails and the last good readings stand still.
    m_emu->signal(SIGTERM);
    m_emu->wait();
    auto valueIn = [](const std::string& text, const std::string& prefix) {
        const size_t at = text.find(prefix);
        long value = -1;
        if (at != std::string::npos) {
            std::from_chars(text.data() + at + prefix.size(), text.data() + text.size(), value);
        }
        return value;
    };
    std::string last;
    auto count = [&](const std::string& prefix) {
        last = httpGet(port, "/metrics");
        return valueIn(last, prefix);
    };
    const std::string good = "tervo_port_failures_total{port=\"COM1\",status=\"no_value\"} ";
    const long failuresBefore = count(good);
    EXPECT_TRUE(waitFor([&] { return count(good) >= failuresBefore + 6; }, 20s)) << last;
    const std::string lastGood =
        "\ntervo_channel_last_good_reading_timestamp_seconds{work=\"w\",channel=\"炉温\",index="
        "\"0\"}"
        " ";
    const long stale = count(lastGood);
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(count(lastGood), stale);

    // It comes back: readings are good again, the failures stop climbing.
    startEmulator();
    EXPECT_TRUE(waitFor([&] { return count(lastGood) > stale; }, 20s)) << last;
    const std::string rowsTotal = "\ntervo_rows_recorded_total{work=\"w\"} ";
    const std::string before = httpGet(port, "/metrics");
    ASSERT_TRUE(waitFor([&] { return count(rowsTotal) >= valueIn(before, rowsTotal) + 2; }, 20s));
    EXPECT_EQ(valueIn(last, good) - valueIn(before, good),
              valueIn(last, rowsTotal) - valueIn(before, rowsTotal))
        << "only the silent controller fails again, once per cycle";
    EXPECT_GT(count("\ntervo_mqtt_messages_sent_total "), 0);
    recorder.signal(SIGINT);
    EXPECT_EQ(recorder.wait(), 0);
}

// What scrapers send besides a plain GET: HEAD for the headers alone, a query after the path.
TEST(MetricsServer, HeadAndQueries) {
    tervo::net::MetricsServer server;
    ASSERT_EQ(server.start({"127.0.0.1", freePort()}), "");
    const std::string page = "tervo_rows_recorded_total{work=\"w\"} 3\n";
    server.update(page);

    const int fd = tervo::testing::connectLoopback(server.port());
    ASSERT_GE(fd, 0);
    const std::string request = "HEAD /metrics HTTP/1.1\r\nHost: x\r\n\r\n";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string head;
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        head.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    EXPECT_TRUE(head.starts_with("HTTP/1.1 200 OK\r\n")) << head;
    EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(page.size()) + "\r\n"),
              std::string::npos)
        << "the length of the page a GET gets: " << head;
    EXPECT_TRUE(head.ends_with("\r\n\r\n")) << "and no page: " << head;

    const std::string query = httpGet(server.port(), "/metrics?name[]=tervo_rows_recorded_total");
    EXPECT_TRUE(query.starts_with("HTTP/1.1 200 OK\r\n")) << query;
    EXPECT_TRUE(query.ends_with("\r\n\r\n" + page)) << query;
    EXPECT_TRUE(httpGet(server.port(), "/metricsx").starts_with("HTTP/1.1 404 Not Found\r\n"));
}

// No client holds the page: beside one that trickles its request a byte at a time and others
// that connect and say nothing, a scrape is answered, and the server lets the slow ones go
// once their time is up (2 s; checked here with a generous 10 s).
TEST(MetricsServer, AScrapeIsAnsweredBesideTricklingAndIdleClients) {
    tervo::net::MetricsServer server;
    ASSERT_EQ(server.start({"127.0.0.1", freePort()}), "");
    const std::string page = "tervo_rows_recorded_total{work=\"w\"} 3\n";
    server.update(page);
    // Whether the server closed `fd` within `limit`, reading what it sends meanwhile.
    auto closedWithin = [](int fd, std::chrono::milliseconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        char buffer[256];
        while (std::chrono::steady_clock::now() < until) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) > 0 && recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) <= 0) {
                return true;
            }
        }
        return false;
    };

    std::vector<int> idle;
    for (int i = 0; i < 20; ++i) {
        idle.push_back(tervo::testing::connectLoopback(server.port()));
        ASSERT_GE(idle.back(), 0);
    }
    const int trickler = tervo::testing::connectLoopback(server.port());
    ASSERT_GE(trickler, 0);
    std::atomic<bool> trickling{true};
    std::atomic<bool> cutOff{false};
    std::thread slow([&] {
        const std::string start = "GET /metrics HTTP/1.1\r\nX-Slow: ";
        send(trickler, start.data(), start.size(), MSG_NOSIGNAL);
        for (int i = 0; i < 50 && trickling; ++i) {
            if (send(trickler, "a", 1, MSG_NOSIGNAL) != 1 ||
                closedWithin(trickler, std::chrono::milliseconds(300))) {
                cutOff = true;
                return;
            }
        }
    });
    std::this_thread::sleep_for(500ms);

    const int scraper = tervo::testing::connectLoopback(server.port());
    ASSERT_GE(scraper, 0);
    const timeval limit{10, 0};
    setsockopt(scraper, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    const std::string request = "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n";
    send(scraper, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char buffer[4096];
    for (ssize_t n; (n = recv(scraper, buffer, sizeof buffer, 0)) > 0;) {
        answer.append(buffer, static_cast<size_t>(n));
    }
    close(scraper);
    EXPECT_TRUE(answer.starts_with("HTTP/1.1 200 OK\r\n")) << answer;
    EXPECT_TRUE(answer.ends_with("\r\n\r\n" + page)) << answer;

    for (int fd : idle) {
        EXPECT_TRUE(closedWithin(fd, 10s)) << "an idle client is let go";
        close(fd);
    }
    slow.join();
    trickling = false;
    EXPECT_TRUE(cutOff) << "the trickling client is let go before its 15 s are up";
    close(trickler);
}

TEST(SleepInhibitor, HeldWhileRecordingAndReleasedAfter) {
    TempDir dir;
    Child emu({QT570_EMU, "--link", dir / "com1", "--addresses", "0-3", "--fault", "3:silent"},
              dir.path());
    ASSERT_TRUE(waitForPath(dir / "com1"));
    setenv("TERVO_COM1", (dir / "com1").c_str(), 1);
    const Bytes work = workTemplate();
    std::ofstream(dir / "w.awt", std::ios::binary)
        .write(reinterpret_cast<const char*>(work.data()),
               static_cast<std::streamsize>(work.size()));
    auto inhibitors = [&] {
        return run({"/bin/sh", "-c", "systemd-inhibit --list --no-pager 2>&1"}, dir.path());
    };
    const bool logind = std::filesystem::exists("/run/systemd/system") && inhibitors().status == 0;

    Child recorder({TERVO_CLI, "record", dir / "w.awt", "--out", dir / "r.alt"}, dir.path());
    ASSERT_TRUE(waitFor([&] { return readRecord(dir / "r.alt").times.size() >= 1; }, 20s));
    std::string during;
    if (logind) {
        during = inhibitors().out;
    }
    recorder.signal(SIGINT);
    EXPECT_EQ(recorder.wait(), 0);
    // Without logind the recording goes on and nothing is said about it.
    EXPECT_EQ(recorder.err().find("inhibit"), std::string::npos) << recorder.err();
    EXPECT_EQ(recorder.err().find("D-Bus"), std::string::npos) << recorder.err();
    unsetenv("TERVO_COM1");
    if (!logind) {
        GTEST_SKIP() << "no systemd-logind here (no /run/systemd/system, or systemd-inhibit "
                        "--list fails: systemd is not the init of this machine or container), so "
                        "taking and releasing the inhibitor could not be seen; checked only that "
                        "recording goes on silently without it";
    }
    EXPECT_NE(during.find("Tervo is recording"), std::string::npos) << during;
    EXPECT_NE(during.find("sleep"), std::string::npos) << during;
    EXPECT_EQ(inhibitors().out.find("Tervo is recording"), std::string::npos);
}

TEST(RecordOptions, RefusesABadBrokerUrlOrAddressAndABusyMetricsPort) {
    TempDir dir;
    const Bytes work = workTemplate();
    std::ofstream(dir / "w.awt", std::ios::binary)
        .write(reinterpret_cast<const char*>(work.data()),
               static_cast<std::streamsize>(work.size()));
    auto bad =
        run({TERVO_CLI, "record", dir / "w.awt", "--out", dir / "r.alt", "--mqtt", "http://broker"},
            dir.path());
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("bad broker URL"), std::string::npos) << bad.err;
    bad = run({TERVO_CLI, "record", dir / "w.awt", "--out", dir / "r.alt", "--metrics", "9570x"},
              dir.path());
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("bad metrics address (HOST:PORT): 9570x"), std::string::npos) << bad.err;
    std::ofstream(dir / "web.yml") << "tls_server_config:\n  cert_file: /x\n";
    bad = run({TERVO_CLI, "record", dir / "w.awt", "--out", dir / "r.alt", "--metrics", "9570",
               "--web-config", dir / "web.yml"},
              dir.path());
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("bad web configuration: "), std::string::npos) << bad.err;

    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(fd, 1), 0);
    socklen_t length = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    const std::string where = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    const auto busy =
        run({TERVO_CLI, "record", dir / "w.awt", "--out", dir / "r.alt", "--metrics", where},
            dir.path());
    close(fd);
    EXPECT_EQ(busy.status, 1);
    EXPECT_EQ(busy.err, "无法监听 " + where + "：Address already in use\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "r.alt")) << "nothing recorded";
}

TEST(MqttPublisher, BrokerAbsentTheQueueIsBoundedDropsAreCountedAndStoppingIsPrompt) {
    const int port = freePort();  // nothing listens there
    auto target = tervo::parseMqttUrl("mqtt://127.0.0.1:" + std::to_string(port));
    ASSERT_TRUE(target);
    const auto begin = std::chrono::steady_clock::now();
    {
        tervo::net::MqttPublisher publisher({*target, "tervo/h/status", "tervo-test", 5});
        for (int i = 0; i < 8; ++i) {
            const bool queued = publisher.publish({"tervo/h/w/c", std::to_string(i)});
            EXPECT_EQ(queued, i < 5) << i;
        }
        EXPECT_EQ(publisher.dropped(), 3u);
        EXPECT_EQ(publisher.sent(), 0u);
        EXPECT_FALSE(publisher.connected());
        std::this_thread::sleep_for(1500ms);  // at least one failed attempt and a back-off
    }
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 4s) << "the back-off never holds a stop";
}

namespace {

// A throw-away certificate authority with a broker certificate for 127.0.0.1 and localhost,
// and a second authority that vouches for nothing here, made in `dir` by openssl.
constexpr const char* kMakeCertificates = R"(set -e
cd "$1"
key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
openssl req -x509 $key -keyout ca.key -out ca.pem -days 2 -subj "/CN=Tervo test CA"
openssl req -x509 $key -keyout other.key -out other.pem -days 2 -subj "/CN=Tervo other CA"
openssl req $key -keyout server.key -out server.csr -subj "/CN=127.0.0.1"
printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' >san.ext
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
  -extfile san.ext -out server.pem
mkdir nocerts
)";

std::vector<std::string> linesWithout(const std::string& out, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with(prefix)) {
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace

TEST_F(Publishing, MqttsVerifiesTheBrokerThroughTheSystemStoreAndRefusesOneItDoesNotTrust) {
    if (!std::filesystem::exists("/usr/bin/openssl")) {
        GTEST_SKIP() << "openssl is not installed (Debian's openssl package; scripts/bootstrap "
                        "installs it): mqtts:// is not checked";
    }
    const auto made = run({"/bin/sh", "-c", kMakeCertificates, "sh", m_dir.path()}, m_dir.path());
    ASSERT_EQ(made.status, 0) << made.err;
    const int tlsPort = freePort();
    // Run as root, mosquitto would read the key as its own user, which cannot enter the
    // scratch folder.
    std::ofstream(m_dir / "tls.conf")
        << "user root\nlistener " << tlsPort << " 127.0.0.1\nallow_anonymous true\ncafile "
        << (m_dir / "ca.pem").string() << "\ncertfile " << (m_dir / "server.pem").string()
        << "\nkeyfile " << (m_dir / "server.key").string() << "\n";
    Child tlsBroker({kBroker, "-c", m_dir / "tls.conf"}, m_dir.path());
    ASSERT_TRUE(waitFor([&] { return listening(tlsPort); }, 10s)) << tlsBroker.err();
    auto sub = subscribe(tlsPort, {"--cafile", m_dir / "ca.pem"});
    const std::string tlsUrl = "mqtts://127.0.0.1:" + std::to_string(tlsPort);
    // The system's store as OpenSSL finds it, pointed at one authority.
    auto trusting = [&](const std::string& authority, std::vector<std::string> argv) {
        argv.insert(argv.begin(), {"/usr/bin/env", "SSL_CERT_FILE=" + (m_dir / authority).string(),
                                   "SSL_CERT_DIR=" + (m_dir / "nocerts").string()});
        return argv;
    };

    const auto r = run(trusting("ca.pem", {TERVO_CLI, "record", m_dir / "w.awt", "--out",
                                           m_dir / "r.alt", "--cycles", "3", "--mqtt", tlsUrl}),
                       m_dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("MQTT"), std::string::npos) << r.err;
    const Record file = readRecord(m_dir / "r.alt");
    ASSERT_TRUE(file.ok);
    ASSERT_EQ(file.times.size(), 3u);
    const auto expected = expectedLines(file);
    EXPECT_TRUE(waitFor([&] { return dataLines(sub->out()) == expected; }, 10s)) << sub->out();
    const std::string status = "tervo/" + host() + "/status ";
    EXPECT_TRUE(waitFor([&] { return statusLines(sub->out()).size() == 2; }, 10s));
    EXPECT_EQ(statusLines(sub->out()),
              (std::vector<std::string>{status + "online", status + "offline"}));

    // The store does not vouch for the broker: nothing reaches it, the recording goes on and
    // says why, and the metrics page counts the attempts.
    const size_t heard = sub->out().size();
    const int metricsPort = freePort();
    Child recorder(trusting("other.pem", {TERVO_CLI, "record", m_dir / "w.awt", "--out",
                                          m_dir / "u.alt", "--mqtt", tlsUrl, "--metrics",
                                          "127.0.0.1:" + std::to_string(metricsPort)}),
                   m_dir.path());
    std::string page;
    ASSERT_TRUE(waitFor(
        [&] {
            page = httpGet(metricsPort, "/metrics");
            return readRecord(m_dir / "u.alt").times.size() >= 3 &&
                   page.find("\ntervo_mqtt_connect_failures_total 0\n") == std::string::npos &&
                   page.find("\ntervo_mqtt_connect_failures_total ") != std::string::npos;
        },
        20s))
        << page;
    EXPECT_NE(page.find("\ntervo_mqtt_connected 0\n"), std::string::npos) << page;
    EXPECT_NE(page.find("\ntervo_mqtt_messages_sent_total 0\n"), std::string::npos) << page;
    recorder.signal(SIGINT);
    EXPECT_EQ(recorder.wait(), 0) << recorder.err();
    EXPECT_NE(recorder.err().find("MQTT 无法连接 " + tlsUrl + "："), std::string::npos)
        << recorder.err();
    EXPECT_NE(recorder.err().find("certificate verify failed"), std::string::npos)
        << recorder.err();
    const Record untrusted = readRecord(m_dir / "u.alt");
    ASSERT_TRUE(untrusted.ok);
    for (size_t row = 1; row < untrusted.times.size(); ++row) {
        EXPECT_LE(untrusted.times[row] - untrusted.times[row - 1], 2) << "row " << row;
    }
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(sub->out().substr(heard), "");
}

// Beyond loopback the page can ask for TLS and a sign-in, as a Prometheus exporter's web
// configuration file says; a file that says something else is refused with the line.
TEST(MetricsServer, AWebConfigurationGivesTlsAndBasicAuthentication) {
    if (!std::filesystem::exists("/usr/bin/openssl") || !std::filesystem::exists("/usr/bin/curl")) {
        GTEST_SKIP() << "openssl and curl are needed (Debian's openssl and curl packages): TLS "
                        "and sign-in of the metrics page are not checked";
    }
    TempDir dir;
    const auto made = run({"/bin/sh", "-c", kMakeCertificates, "sh", dir.path()}, dir.path());
    ASSERT_EQ(made.status, 0) << made.err;
    // bcrypt of "scrape-pw".
    const std::string hash = "$2b$05$TervoTestSaltForBcrype2nAxIQ/m5NJibRMHHw7CBDzv3xcrV2y";
    std::ofstream(dir / "web.yml")
        << "# the metrics page\ntls_server_config:\n  cert_file: " << (dir / "server.pem").string()
        << "\n  key_file: \"" << (dir / "server.key").string()
        << "\"\n\nbasic_auth_users:\n  prometheus: '" << hash << "'\n";
    std::string error;
    const auto web = tervo::net::loadWebConfig(dir / "web.yml", error);
    ASSERT_TRUE(web) << error;
    tervo::net::MetricsServer server;
    ASSERT_EQ(server.start({"127.0.0.1", freePort()}, *web), "");
    const std::string page = "tervo_rows_recorded_total{work=\"w\"} 3\n";
    server.update(page);
    const std::string https = "https://127.0.0.1:" + std::to_string(server.port()) + "/metrics";
    auto curl = [&](std::vector<std::string> options) {
        options.insert(options.begin(), {"/usr/bin/curl", "-s", "-m", "10", "-w", "\n%{http_code}",
                                         "--cacert", dir / "ca.pem"});
        return run(options, dir.path()).out;
    };
    EXPECT_EQ(curl({"-u", "prometheus:scrape-pw", https}), page + "\n200");
    EXPECT_EQ(curl({"-u", "prometheus:scrape-pw", https}), page + "\n200") << "signed in again";
    EXPECT_EQ(curl({"-u", "prometheus:wrong", https}), "Unauthorized\n\n401");
    EXPECT_EQ(curl({"-u", "nobody:scrape-pw", https}), "Unauthorized\n\n401");
    EXPECT_EQ(curl({https}), "Unauthorized\n\n401");
    EXPECT_NE(curl({"-u", "prometheus:scrape-pw",
                    "http://127.0.0.1:" + std::to_string(server.port()) + "/metrics"}),
              page + "\n200")
        << "no plain HTTP";

    struct Bad {
        const char* text;
        const char* said;
    };
    for (const Bad& bad :
         {Bad{"tls_server_config:\n  cert_file: /x\n", "needs both cert_file and key_file"},
          Bad{"web:\n  a: b\n", ":1: unknown section web"},
          Bad{"basic_auth_users:\n  prometheus\n", ":2: expected KEY: VALUE"},
          Bad{"tls_server_config:\n  cert_file: /none\n  key_file: /none\n",
              "cannot read /none"}}) {
        std::ofstream(dir / "bad.yml") << bad.text;
        EXPECT_FALSE(tervo::net::loadWebConfig(dir / "bad.yml", error)) << bad.text;
        EXPECT_NE(error.find(bad.said), std::string::npos) << error;
    }
    EXPECT_FALSE(tervo::net::passwordMatches("scrape-pw", "scrape-pw"))
        << "a plain password in the file signs no one in";
}

// The broker password reaches the broker from a file, the environment or a systemd
// credential, and never shows in the recorder's command line; in the URL it is refused.
TEST_F(Publishing, ThePasswordComesFromAFileTheEnvironmentOrACredentialNeverTheCommandLine) {
    const std::string secret = "s3cret-Pw";
    const auto made = run(
        {"/usr/bin/mosquitto_passwd", "-b", "-c", m_dir / "passwords", "op", secret}, m_dir.path());
    ASSERT_EQ(made.status, 0) << made.err;
    const int port = freePort();
    std::ofstream(m_dir / "auth.conf")
        << "user root\nlistener " << port << " 127.0.0.1\nallow_anonymous false\npassword_file "
        << (m_dir / "passwords").string() << "\n";
    Child broker({kBroker, "-c", m_dir / "auth.conf"}, m_dir.path());
    ASSERT_TRUE(waitFor([&] { return listening(port); }, 10s)) << broker.err();
    auto sub = subscribe(port, {"-u", "op", "-P", secret});
    const std::string userUrl = "mqtt://op@127.0.0.1:" + std::to_string(port);
    std::filesystem::create_directory(m_dir / "credentials");
    std::ofstream(m_dir / "password") << secret << "\n";
    std::ofstream(m_dir / "credentials" / "mqtt-password") << secret;

    const std::vector<std::string> record{TERVO_CLI,       "record",  m_dir / "w.awt", "--out",
                                          m_dir / "r.alt", "--force", "--mqtt",        userUrl};
    struct Way {
        const char* name;
        std::vector<std::string> before;  // put ahead of the command
        std::vector<std::string> after;   // options added to it
    };
    for (const Way& way :
         {Way{"--mqtt-password-file", {}, {"--mqtt-password-file", m_dir / "password"}},
          Way{"TERVO_MQTT_PASSWORD", {"/usr/bin/env", "TERVO_MQTT_PASSWORD=" + secret}, {}},
          Way{"systemd credential",
              {"/usr/bin/env", "CREDENTIALS_DIRECTORY=" + (m_dir / "credentials").string()},
              {}}}) {
        SCOPED_TRACE(way.name);
        std::vector<std::string> argv = way.before;
        argv.insert(argv.end(), record.begin(), record.end());
        argv.insert(argv.end(), way.after.begin(), way.after.end());
        const size_t heard = sub->out().size();
        Child recorder(argv, m_dir.path());
        ASSERT_TRUE(
            waitFor([&] { return sub->out().find("/炉温 {", heard) != std::string::npos; }, 20s))
            << recorder.err();
        // What ps shows of the recorder, found by its output file.
        std::string commandLine;
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            std::ifstream in(entry.path() / "cmdline", std::ios::binary);
            const std::string text{std::istreambuf_iterator<char>(in), {}};
            if (text.find((m_dir / "r.alt").string()) != std::string::npos) {
                commandLine += text + "\n";
            }
        }
        EXPECT_NE(commandLine.find("record"), std::string::npos) << "the recorder is found";
        EXPECT_EQ(commandLine.find(secret), std::string::npos) << commandLine;
        recorder.signal(SIGINT);
        EXPECT_EQ(recorder.wait(), 0) << recorder.err();
        EXPECT_EQ(recorder.err().find("MQTT"), std::string::npos) << recorder.err();
    }

    const auto refused =
        run({TERVO_CLI, "record", m_dir / "w.awt", "--out", m_dir / "x.alt", "--mqtt",
             "mqtt://op:" + secret + "@127.0.0.1:" + std::to_string(port)},
            m_dir.path());
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--mqtt-password-file FILE"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(m_dir / "x.alt"));
}

TEST_F(Publishing, AStoppedPublisherSaysOfflineBeforeTheNextOfItsClientIdConnects) {
    auto sub = subscribe();
    const auto target = tervo::parseMqttUrl(url());
    ASSERT_TRUE(target);
    const tervo::net::MqttPublisher::Options options{*target, "tervo/h/status", "tervo-same-id"};
    auto first = tervo::net::sharedPublisher(options);
    EXPECT_EQ(tervo::net::sharedPublisher(options), first)
        << "the recordings of a process share one connection";
    first->publish({"tervo/h/w/c", "1"});
    ASSERT_TRUE(waitFor([&] { return first->sent() == 1; }, 10s));
    first->publish({"tervo/h/w/c", "2"});  // most likely still under way when let go
    const auto begin = std::chrono::steady_clock::now();
    first.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, kPrompt);

    auto second = tervo::net::sharedPublisher(options);
    second->publish({"tervo/h/w/c", "3"});
    ASSERT_TRUE(waitFor([&] { return second->sent() == 1; }, 10s));
    second.reset();
    tervo::net::finishStoppedPublishers();
    const std::vector<std::string> wanted{
        "tervo/h/status online", "tervo/h/w/c 1", "tervo/h/w/c 2",         "tervo/h/status offline",
        "tervo/h/status online", "tervo/h/w/c 3", "tervo/h/status offline"};
    EXPECT_TRUE(waitFor(
        [&] { return linesWithout(sub->out(), "tervo/probe").size() >= wanted.size(); }, 10s));
    EXPECT_EQ(linesWithout(sub->out(), "tervo/probe"), wanted) << sub->out();
}

TEST(RecordServices, StoppingNeverWaitsOnTheBrokerAndFreesTheMetricsPortAtOnce) {
    tervo::testing::SilentBroker broker;
    tervo::net::PublishSettings settings;
    settings.mqtt = tervo::parseMqttUrl("mqtt://127.0.0.1:" + std::to_string(broker.port()));
    settings.metrics = tervo::ListenAddress{"127.0.0.1", freePort()};
    const tervo::WorkDefinition work;
    auto services = std::make_unique<tervo::net::RecordServices>(settings, "w", work);
    ASSERT_EQ(services->start(), "");
    {
        // The same publisher the recording holds: one per broker and client id.
        const auto publisher = tervo::net::sharedPublisher(
            {*settings.mqtt, tervo::statusTopic(tervo::net::hostName()),
             "tervo-" + tervo::net::hostName() + "-" + std::to_string(getpid())});
        ASSERT_TRUE(waitFor([&] { return publisher->connected(); }, 10s));
        publisher->publish({"tervo/h/w/c", "never acknowledged"});
    }
    const auto begin = std::chrono::steady_clock::now();
    services.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, kPrompt);

    // The next recording gets the metrics port straight away.
    tervo::net::PublishSettings metricsOnly;
    metricsOnly.metrics = settings.metrics;
    tervo::net::RecordServices next(metricsOnly, "w", work);
    EXPECT_EQ(next.start(), "");
    EXPECT_NE(httpGet(settings.metrics->port, "/metrics").find("tervo_rows_recorded_total"),
              std::string::npos);

    // The stopped publisher still waited for its acknowledgements, on its own thread.
    const auto finishing = std::chrono::steady_clock::now();
    tervo::net::finishStoppedPublishers();
    const auto took = std::chrono::steady_clock::now() - finishing;
    EXPECT_GT(took, 1s) << "the silent broker held the stop as intended";
    EXPECT_LT(took, 5s);
}
