#include <QTest>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "gui/app/LinkThreads.h"
#include "gui/widgets/LinkOpener.h"
#include "guisupport/GuiTest.h"
#include "guisupport/LinkFakes.h"
#include "support/AcceptingDevice.h"

using namespace tervo;
using namespace tervo::gui;
using tervo::testing::LockedOpener;
using tervo::testing::waitFor;

namespace {

// Ports that echo every frame after a few milliseconds on the line, and remember how many
// devices were open at once: per port, and over all ports.
class EchoOpener : public SerialOpener {
public:
    EchoOpener() { setLinkOpener(this); }
    ~EchoOpener() override { setLinkOpener(nullptr); }

    std::unique_ptr<SerialDevice> open(const std::string& port) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_mostOnPort[port] = std::max(m_mostOnPort[port], ++m_openOnPort[port]);
        m_mostTogether = std::max(m_mostTogether, ++m_open);
        return std::make_unique<Device>(*this, port);
    }
    int mostOnPort(const std::string& port) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_mostOnPort[port];
    }
    int mostTogether() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_mostTogether;
    }

private:
    class Device : public testing::AcceptingDevice {
    public:
        Device(EchoOpener& owner, std::string port) : m_owner(owner), m_port(std::move(port)) {}
        ~Device() override {
            std::lock_guard<std::mutex> lock(m_owner.m_mutex);
            --m_owner.m_openOnPort[m_port];
            --m_owner.m_open;
        }
        size_t write(const uint8_t* data, size_t length) override {
            m_frame.assign(data, data + length);
            return length;
        }
        size_t read(uint8_t* data, size_t length) override {
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
            const size_t n = std::min(length, m_frame.size());
            std::copy_n(m_frame.begin(), n, data);
            return n;
        }

    private:
        EchoOpener& m_owner;
        std::string m_port;
        std::vector<uint8_t> m_frame;
    };

    std::mutex m_mutex;
    std::map<std::string, int> m_openOnPort;
    std::map<std::string, int> m_mostOnPort;
    int m_open = 0;
    int m_mostTogether = 0;
};

LinkRequest raw(uint8_t port, uint8_t byte) {
    return LinkRequest::raw(port, LineFormat{}, {byte});
}

// What a client got back: the first reply byte of each result, in order.
std::shared_ptr<std::vector<int>> collect(LinkClient& client) {
    auto got = std::make_shared<std::vector<int>>();
    QObject::connect(&client, &LinkClient::finished, &client, [got](const LinkResult& result) {
        got->push_back(result.exchange.reply.empty() ? -int(statusNumber(result.exchange.status))
                                                     : result.exchange.reply.front());
    });
    return got;
}

}  // namespace

class LinkThreadsTest : public QObject {
    Q_OBJECT

private slots:
    void oneThreadPerPortAndResultsInOrder() {
        EchoOpener opener;
        LinkThreads threads;
        LinkClient first(threads, nullptr);
        LinkClient second(threads, nullptr);
        const auto firstGot = collect(first);
        const auto secondGot = collect(second);
        // Two windows on COM1, one of them also on COM2, all posting at once.
        for (uint8_t i = 0; i < 10; ++i) {
            first.post(raw(0, i));
            second.post(raw(i % 2 == 0 ? 0 : 1, uint8_t(100 + i)));
        }
        QCOMPARE(first.pending(), 10);
        QVERIFY(waitFor([&] { return first.pending() == 0 && second.pending() == 0; }));
        QCOMPARE(*firstGot, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
        // Each port keeps its order; the two ports run side by side.
        std::vector<int> onCom1;
        std::vector<int> onCom2;
        for (int value : *secondGot) {
            (value % 2 == 0 ? onCom1 : onCom2).push_back(value);
        }
        QCOMPARE(onCom1, (std::vector<int>{100, 102, 104, 106, 108}));
        QCOMPARE(onCom2, (std::vector<int>{101, 103, 105, 107, 109}));
        QCOMPARE(opener.mostOnPort("COM1"), 1);
        QCOMPARE(opener.mostOnPort("COM2"), 1);
        QCOMPARE(opener.mostTogether(), 2);
        QCOMPARE(threads.startedThreads(), 2);
    }

    void aClientGoneBeforeItsResultGetsNothing() {
        LockedOpener opener;
        LinkThreads threads;
        auto* gone = new LinkClient(threads, nullptr);
        const auto goneGot = collect(*gone);
        LinkClient staying(threads, nullptr);
        const auto stayingGot = collect(staying);
        opener.hold(true);
        gone->post(raw(3, 1));
        QVERIFY(waitFor([&] { return opener.waiting() == 1; }));
        staying.post(raw(3, 2));
        delete gone;  // the window closed during its exchange
        opener.reply({0x41});
        opener.reply({0x42});
        opener.hold(false);
        QVERIFY(waitFor([&] { return staying.pending() == 0; }));
        QTest::qWait(20);
        QVERIFY(goneGot->empty());
        QCOMPARE(*stayingGot, std::vector<int>{0x42});
        QCOMPARE(opener.opens(), 2);
    }

    void aClosedWindowsQueuedExchangesNeverReachTheLine() {
        LockedOpener opener;
        LinkThreads threads;
        auto* closed = new LinkClient(threads, nullptr);
        LinkClient other(threads, nullptr);
        const auto otherGot = collect(other);
        int closedDone = 0;
        int otherDone = 0;
        opener.hold(true);
        closed->post(raw(0, 1));
        QVERIFY(waitFor([&] { return opener.waiting() == 1; }));
        // Behind the exchange on the line: the closing window's and another window's.
        closed->post(raw(0, 2), [&closedDone](const LinkResult&) { ++closedDone; });
        other.post(raw(0, 3));
        closed->post(raw(0, 4));
        other.post(raw(0, 5), [&otherDone](const LinkResult& result) {
            otherDone = result.exchange.reply.empty() ? -1 : result.exchange.reply.front();
        });
        delete closed;
        for (uint8_t reply : {0x41, 0x43, 0x45}) {
            opener.reply({reply});
        }
        opener.hold(false);
        QVERIFY(waitFor([&] { return other.pending() == 0; }));
        QTest::qWait(20);
        // The exchange under way finished; the window's queued frames never went out.
        QCOMPARE(opener.written(), (std::vector<std::vector<uint8_t>>{{1}, {3}, {5}}));
        QCOMPARE(*otherGot, (std::vector<int>{0x43, 0x45}));
        QCOMPARE(otherDone, 0x45);
        QCOMPARE(closedDone, 0);
    }

    void aPortTheLinkDoesNotHaveGivesBadPort() {
        LockedOpener opener;
        LinkThreads threads;
        LinkClient client(threads, nullptr);
        const auto got = collect(client);
        std::optional<double> value = 1.0;
        QObject::connect(&client, &LinkClient::finished, &client,
                         [&value](const LinkResult& result) { value = result.value; });
        client.post(raw(6, 1));
        client.post(LinkRequest::read(ReadRequest{0, 255, 5, 0}));
        // The results come back like any other: later, on the event loop.
        QCOMPARE(client.pending(), 2);
        QVERIFY(got->empty());
        QVERIFY(waitFor([&] { return client.pending() == 0; }));
        QCOMPARE(got->front(), -statusNumber(LinkStatus::BadPort));
        QCOMPARE(value, std::nullopt);
        QCOMPARE(opener.opens(), 0);
        QCOMPARE(threads.startedThreads(), 0);
    }

    void closingWaitsForTheExchangeUnderwayAndDropsTheRest() {
        LockedOpener opener;
        auto threads = std::make_unique<LinkThreads>();
        LinkClient client(*threads, nullptr);
        opener.hold(true);
        client.post(raw(0, 1));
        client.post(raw(0, 2));
        QVERIFY(waitFor([&] { return opener.waiting() == 1; }));
        std::thread release([&opener] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            opener.hold(false);
        });
        threads.reset();
        release.join();
        QCOMPARE(opener.opens(), 1);
        QTest::qWait(20);
        QCOMPARE(client.pending(), 2);  // nothing comes back after the threads are gone
    }
};

QTEST_MAIN(LinkThreadsTest)
#include "LinkThreadsTest.moc"
