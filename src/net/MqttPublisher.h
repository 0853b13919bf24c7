#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "publish/Publish.h"

struct mosquitto;

namespace tervo::net {

// Publishes to an MQTT broker through libmosquitto on a thread of its own, so the caller never
// waits on the network. Messages go into a bounded queue; while the broker is away they wait
// there, and beyond the bound they are dropped and counted. The thread connects with a last
// will ("offline", retained, on the status topic), announces "online" (retained), reconnects
// with a back-off of 1 s doubling to 30 s, and on destruction sends what is queued (for up to
// two seconds), "offline" and a clean disconnect. Data messages go out with QoS 1.
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

private:
    void run();
    bool connect(mosquitto* client, bool first);
    void handOver(mosquitto* client);
    bool waitBackOff(std::chrono::milliseconds delay);

    static void onConnect(mosquitto* client, void* self, int rc);
    static void onDisconnect(mosquitto* client, void* self, int rc);
    static void onPublish(mosquitto* client, void* self, int mid);

    Options m_options;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<PublishMessage> m_queue;
    bool m_stopping = false;
    std::atomic<uint64_t> m_sent{0};
    std::atomic<uint64_t> m_dropped{0};
    std::atomic<bool> m_connected{false};
    // The publishing thread's own: data messages handed to libmosquitto and not yet
    // acknowledged, and the id of the last status message.
    size_t m_inFlight = 0;
    int m_statusMid = -1;
    bool m_statusAcked = false;
    std::thread m_thread;
};

}  // namespace tervo::net
