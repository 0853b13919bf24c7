#include "net/MqttPublisher.h"

#include <mosquitto.h>

#include <chrono>
#include <cstring>

namespace tervo::net {

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr size_t kMaxInFlight = 100;
constexpr auto kFlushLimit = std::chrono::seconds(2);
constexpr auto kFirstBackOff = std::chrono::milliseconds(1000);
constexpr auto kMaxBackOff = std::chrono::milliseconds(30000);

void initLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

int publishRaw(mosquitto* client, const std::string& topic, const std::string& payload, bool retain,
               int* mid = nullptr) {
    return mosquitto_publish(client, mid, topic.c_str(), static_cast<int>(payload.size()),
                             payload.data(), 1, retain);
}

}  // namespace

MqttPublisher::MqttPublisher(Options options) : m_options(std::move(options)) {
    initLibrary();
    m_thread = std::thread([this] { run(); });
}

MqttPublisher::~MqttPublisher() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

bool MqttPublisher::publish(PublishMessage message) {
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.size() >= m_options.queueLimit) {
            ++m_dropped;
            return false;
        }
        m_queue.push_back(std::move(message));
    }
    return true;
}

void MqttPublisher::onConnect(mosquitto* client, void* self, int rc) {
    auto* p = static_cast<MqttPublisher*>(self);
    if (rc != 0) {
        return;
    }
    publishRaw(client, p->m_options.statusTopic, kOnlinePayload, true, &p->m_statusMid);
    p->m_connected = true;
}

void MqttPublisher::onDisconnect(mosquitto*, void* self, int) {
    static_cast<MqttPublisher*>(self)->m_connected = false;
}

void MqttPublisher::onPublish(mosquitto*, void* self, int mid) {
    auto* p = static_cast<MqttPublisher*>(self);
    if (mid == p->m_statusMid) {
        p->m_statusAcked = true;
    } else if (p->m_inFlight > 0) {
        --p->m_inFlight;
        ++p->m_sent;
    }
}

bool MqttPublisher::waitBackOff(std::chrono::milliseconds delay) {
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, delay, [this] { return m_stopping; });
}

bool MqttPublisher::connect(mosquitto* client, bool first) {
    const MqttTarget& t = m_options.target;
    // Without waiting for the TCP handshake: a broker host that drops packets must not hold
    // the thread (and so the stop) for the system's connect timeout.
    const int rc = first
                       ? mosquitto_connect_async(client, t.host.c_str(), t.port, kKeepAliveSeconds)
                       : mosquitto_reconnect_async(client);
    return rc == MOSQ_ERR_SUCCESS;
}

// Moves queued messages to libmosquitto while the broker is there, at most kMaxInFlight
// unacknowledged, so its own queue never grows without bound.
void MqttPublisher::handOver(mosquitto* client) {
    while (m_connected && m_inFlight < kMaxInFlight) {
        PublishMessage message;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty()) {
                return;
            }
            message = std::move(m_queue.front());
            m_queue.pop_front();
        }
        // Counted before the call: the acknowledgement may come inside it.
        ++m_inFlight;
        if (publishRaw(client, message.topic, message.payload, message.retain) !=
            MOSQ_ERR_SUCCESS) {
            --m_inFlight;
            std::lock_guard lock(m_mutex);
            m_queue.push_front(std::move(message));
            return;
        }
    }
}

void MqttPublisher::run() {
    mosquitto* client = mosquitto_new(m_options.clientId.c_str(), true, this);
    if (client == nullptr) {
        return;
    }
    const MqttTarget& t = m_options.target;
    if (!t.user.empty()) {
        mosquitto_username_pw_set(client, t.user.c_str(),
                                  t.hasPassword ? t.password.c_str() : nullptr);
    }
    if (t.tls) {
        mosquitto_tls_set(client, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr);
    }
    mosquitto_will_set(client, m_options.statusTopic.c_str(),
                       static_cast<int>(std::strlen(kOfflinePayload)), kOfflinePayload, 1, true);
    mosquitto_connect_callback_set(client, onConnect);
    mosquitto_disconnect_callback_set(client, onDisconnect);
    mosquitto_publish_callback_set(client, onPublish);

    bool everConnected = false;
    bool socketUp = false;
    auto backOff = kFirstBackOff;
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping) {
                break;
            }
        }
        if (!socketUp) {
            socketUp = connect(client, !everConnected);
            everConnected = everConnected || socketUp;
            if (!socketUp) {
                if (!waitBackOff(backOff)) {
                    break;
                }
                backOff = std::min(backOff * 2, kMaxBackOff);
                continue;
            }
        }
        handOver(client);
        if (mosquitto_loop(client, 100, 1) != MOSQ_ERR_SUCCESS) {
            socketUp = false;
            m_connected = false;
            if (!waitBackOff(backOff)) {
                break;
            }
            backOff = std::min(backOff * 2, kMaxBackOff);
            continue;
        }
        if (m_connected) {
            backOff = kFirstBackOff;
        }
    }

    // Stopping: what is queued gets a short while to go out, then "offline" and a clean
    // disconnect (which sends no last will).
    if (socketUp && m_connected) {
        const auto until = std::chrono::steady_clock::now() + kFlushLimit;
        bool offlineSent = false;
        while (std::chrono::steady_clock::now() < until && m_connected) {
            handOver(client);
            bool queueEmpty;
            {
                std::lock_guard lock(m_mutex);
                queueEmpty = m_queue.empty();
            }
            if (queueEmpty && !offlineSent) {
                m_statusAcked = false;
                offlineSent = publishRaw(client, m_options.statusTopic, kOfflinePayload, true,
                                         &m_statusMid) == MOSQ_ERR_SUCCESS;
            }
            if (offlineSent && m_statusAcked && m_inFlight == 0) {
                break;
            }
            if (mosquitto_loop(client, 50, 1) != MOSQ_ERR_SUCCESS) {
                break;
            }
        }
        mosquitto_disconnect(client);
        mosquitto_loop(client, 50, 1);
    }
    {
        std::lock_guard lock(m_mutex);
        m_dropped += m_queue.size();
        m_queue.clear();
    }
    m_dropped += m_inFlight;
    mosquitto_destroy(client);
}

}  // namespace tervo::net
