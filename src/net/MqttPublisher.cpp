#include "net/MqttPublisher.h"

#include <mosquitto.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <map>
#include <vector>

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

std::string errorText(int rc) {
    return rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc);
}

// Publishers let go of and still stopping, each on a thread of its own, and for each client
// id the end of the last one's stop.
class StoppingPublishers {
public:
    ~StoppingPublishers() { finishAll(); }

    void add(std::unique_ptr<MqttPublisher> publisher, const std::string& clientId) {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_jobs, [](Job& job) {
            if (job.done.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
                return false;
            }
            job.thread.join();
            return true;
        });
        // Done only when the one before it (which it may not have waited for) is done too.
        const std::shared_future<void> before = m_last[clientId];
        auto promise = std::make_shared<std::promise<void>>();
        std::shared_future<void> done = promise->get_future().share();
        m_last[clientId] = done;
        m_jobs.push_back(
            {std::thread([publisher = std::move(publisher), before, promise]() mutable {
                 publisher.reset();
                 if (before.valid()) {
                     before.wait();
                 }
                 promise->set_value();
             }),
             done});
    }

    std::shared_future<void> pending(const std::string& clientId) {
        std::lock_guard lock(m_mutex);
        const auto found = m_last.find(clientId);
        return found == m_last.end() ? std::shared_future<void>() : found->second;
    }

    // Joined without the lock: a publisher being stopped may still be starting up.
    void finishAll() {
        for (;;) {
            std::vector<Job> jobs;
            {
                std::lock_guard lock(m_mutex);
                jobs.swap(m_jobs);
            }
            if (jobs.empty()) {
                return;
            }
            for (Job& job : jobs) {
                job.thread.join();
            }
        }
    }

private:
    struct Job {
        std::thread thread;
        std::shared_future<void> done;
    };
    std::mutex m_mutex;
    std::map<std::string, std::shared_future<void>> m_last;
    std::vector<Job> m_jobs;
};

StoppingPublishers& stoppingPublishers() {
    static StoppingPublishers stopping;
    return stopping;
}

}  // namespace

std::shared_ptr<MqttPublisher> sharedPublisher(const MqttPublisher::Options& options) {
    static std::mutex mutex;
    static std::map<std::string, std::weak_ptr<MqttPublisher>> publishers;
    const MqttTarget& t = options.target;
    const std::string key = options.clientId + '\n' + (t.tls ? "mqtts" : "mqtt") + '\n' + t.user +
                            '\n' + (t.hasPassword ? "+" + t.password : "") + '\n' + t.host + '\n' +
                            std::to_string(t.port) + '\n' + options.statusTopic;
    std::lock_guard lock(mutex);
    std::weak_ptr<MqttPublisher>& slot = publishers[key];
    if (std::shared_ptr<MqttPublisher> running = slot.lock()) {
        return running;
    }
    std::shared_ptr<MqttPublisher> made(
        new MqttPublisher(options), [clientId = options.clientId](MqttPublisher* publisher) {
            stoppingPublishers().add(std::unique_ptr<MqttPublisher>(publisher), clientId);
        });
    slot = made;
    return made;
}

void finishStoppedPublishers() {
    stoppingPublishers().finishAll();
}

MqttPublisher::MqttPublisher(Options options)
    : m_options(std::move(options)),
      m_predecessor(stoppingPublishers().pending(m_options.clientId)) {
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

std::string MqttPublisher::lastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

void MqttPublisher::onConnect(mosquitto* client, void* self, int rc) {
    auto* p = static_cast<MqttPublisher*>(self);
    if (rc != 0) {
        p->m_attemptError = mosquitto_connack_string(rc);
        return;
    }
    p->m_attemptConnected = true;
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

// The library's own account of a failure (an OpenSSL verification error, say) says more than
// its return code.
void MqttPublisher::onLog(mosquitto*, void* self, int level, const char* text) {
    if (level == MOSQ_LOG_ERR && text != nullptr) {
        static_cast<MqttPublisher*>(self)->m_attemptError = text;
    }
}

void MqttPublisher::noteFailure(std::string reason) {
    if (!m_attemptError.empty()) {
        reason = m_attemptError;
    }
    {
        std::lock_guard lock(m_mutex);
        m_lastError = std::move(reason);
    }
    ++m_connectFailures;
}

bool MqttPublisher::waitBackOff(std::chrono::milliseconds delay) {
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, delay, [this] { return m_stopping; });
}

bool MqttPublisher::waitForPredecessor() {
    if (!m_predecessor.valid()) {
        return true;
    }
    while (m_predecessor.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            return false;
        }
    }
    return true;
}

bool MqttPublisher::connect(mosquitto* client, bool first) {
    const MqttTarget& t = m_options.target;
    m_attemptConnected = false;
    m_attemptError.clear();
    // Without waiting for the TCP handshake: a broker host that drops packets must not hold
    // the thread (and so the stop) for the system's connect timeout.
    const int rc = first
                       ? mosquitto_connect_async(client, t.host.c_str(), t.port, kKeepAliveSeconds)
                       : mosquitto_reconnect_async(client);
    if (rc != MOSQ_ERR_SUCCESS) {
        noteFailure(errorText(rc));
        return false;
    }
    return true;
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
    if (waitForPredecessor()) {
        if (mosquitto* client = mosquitto_new(m_options.clientId.c_str(), true, this)) {
            session(client);
            mosquitto_destroy(client);
        }
    }
    std::lock_guard lock(m_mutex);
    m_dropped += m_queue.size() + m_inFlight;
    m_queue.clear();
}

void MqttPublisher::session(mosquitto* client) {
    const MqttTarget& t = m_options.target;
    if (!t.user.empty()) {
        mosquitto_username_pw_set(client, t.user.c_str(),
                                  t.hasPassword ? t.password.c_str() : nullptr);
    }
    if (t.tls) {
        mosquitto_int_option(client, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    }
    mosquitto_will_set(client, m_options.statusTopic.c_str(),
                       static_cast<int>(std::strlen(kOfflinePayload)), kOfflinePayload, 1, true);
    mosquitto_connect_callback_set(client, onConnect);
    mosquitto_disconnect_callback_set(client, onDisconnect);
    mosquitto_publish_callback_set(client, onPublish);
    mosquitto_log_callback_set(client, onLog);

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
        if (const int rc = mosquitto_loop(client, 100, 1); rc != MOSQ_ERR_SUCCESS) {
            if (!m_attemptConnected) {
                noteFailure(errorText(rc));
            }
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
}

}  // namespace tervo::net
