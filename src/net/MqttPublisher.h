#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/publish/Publish.h"

struct mosquitto;

namespace tervo::net {

// Publishes to an MQTT broker through libmosquitto on a thread of its own, so the caller never
// waits on the network. Messages go into a bounded queue; while the broker is away they wait
// there, and beyond the bound they are dropped and counted. The thread connects with a last
// will ("offline", retained, on the status topic), announces "online" (retained), reconnects
// with a back-off of 1 s doubling to 30 s, and on destruction sends what is queued (for up to
// two seconds), "offline" and a clean disconnect. Data messages go out with QoS 1. mqtts://
// verifies the broker against the system's CA store (OpenSSL's default paths, so SSL_CERT_FILE
// and SSL_CERT_DIR apply) and the host name or address the URL names.
//
// A publisher does not connect while an earlier one of the same client id is still stopping
// (see sharedPublisher): a broker gives a client id to its newest connection and would cut the
// earlier one off before its last messages and its "offline".
class MqttPublisher {
public:
    struct Options {
        MqttTarget target;
        std::string statusTopic;
        std::string clientId;
        size_t queueLimit = 10000;
    };

    explicit MqttPublisher(Options options);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Never blocks on the network; false when the message was dropped (queue full).
    bool publish(PublishMessage message);

    uint64_t sent() const { return m_sent; }        // acknowledged by the broker
    uint64_t dropped() const { return m_dropped; }  // never sent: the queue was full
    bool connected() const { return m_connected; }
    // Attempts that did not end in a connection (name not found, refused, TLS verification
    // failed, broker said no), and why the last one failed.
    uint64_t connectFailures() const { return m_connectFailures; }
    std::string lastError() const;

private:
    void run();
    void session(mosquitto* client);
    bool connect(mosquitto* client, bool first);
    void handOver(mosquitto* client);
    bool waitBackOff(std::chrono::milliseconds delay);
    bool waitForPredecessor();
    void noteFailure(std::string reason);

    static void onConnect(mosquitto* client, void* self, int rc);
    static void onDisconnect(mosquitto* client, void* self, int rc);
    static void onPublish(mosquitto* client, void* self, int mid);
    static void onLog(mosquitto* client, void* self, int level, const char* text);

    Options m_options;
    std::shared_future<void> m_predecessor;  // the stop of the last one of our client id
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<PublishMessage> m_queue;
    bool m_stopping = false;
    std::atomic<uint64_t> m_sent{0};
    std::atomic<uint64_t> m_dropped{0};
    std::atomic<bool> m_connected{false};
    std::atomic<uint64_t> m_connectFailures{0};
    std::string m_lastError;  // under m_mutex
    // The publishing thread's own: data messages handed to libmosquitto and not yet
    // acknowledged, and the id of the last status message.
    size_t m_inFlight = 0;
    int m_statusMid = -1;
    bool m_statusAcked = false;
    bool m_attemptConnected = false;  // the current attempt got the broker's acknowledgement
    std::string m_attemptError;       // what the library or the broker said about it
    std::thread m_thread;
};

// The process's publishers, one per broker and client id, shared by the recordings that
// publish there (they share the status topic). When the last holder lets go, the publisher is
// stopped on a thread of its own, so the holder never waits on the broker; "offline" still
// goes out. A publisher asked for meanwhile connects once the stopped one has left.
std::shared_ptr<MqttPublisher> sharedPublisher(const MqttPublisher::Options& options);
// Waits until every publisher let go of has finished. A program calls it before main returns:
// OpenSSL, loaded by libmosquitto at the first mqtts:// connection, registers its own exit
// handler after ours and so would tear down before a stopping publisher is done with it. A
// static's destructor calls it too, as the last resort.
void finishStoppedPublishers();

}  // namespace tervo::net
