#include "net/MetricsServer.h"

#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/text/Translation.h"

namespace tervo::net {

namespace {

constexpr const char* kPageType = "text/plain; version=0.0.4; charset=utf-8";
constexpr size_t kRequestMemory = 16 * 1024;  // the request line and headers must fit

MHD_Result reply(MHD_Connection* connection, unsigned status, const std::string& body,
                 const char* type) {
    MHD_Response* response = MHD_create_response_from_buffer(
        body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr) {
        return MHD_NO;
    }
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    if (status == MHD_HTTP_METHOD_NOT_ALLOWED) {
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
    }
    const MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

}  // namespace

struct MetricsServer::Callbacks {
    static MHD_Result answer(void* cls, MHD_Connection* connection, const char* url,
                             const char* method, const char* /*version*/, const char* /*upload*/,
                             size_t* uploadSize, void** /*state*/) {
        auto* server = static_cast<MetricsServer*>(cls);
        *uploadSize = 0;
        if (!server->m_web.users.empty() && !signedIn(*server, connection)) {
            MHD_Response* response = MHD_create_response_from_buffer(
                13, const_cast<char*>("Unauthorized\n"), MHD_RESPMEM_PERSISTENT);
            if (response == nullptr) {
                return MHD_NO;
            }
            MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
            const MHD_Result queued =
                MHD_queue_basic_auth_fail_response(connection, "Tervo", response);
            MHD_destroy_response(response);
            return queued;
        }
        // HEAD is answered with a GET's headers, the length of its page included.
        if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 &&
            std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0) {
            return reply(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "GET /metrics\n",
                         "text/plain; charset=utf-8");
        }
        // The query after the path ("?name[]=...") is not part of `url`.
        if (std::strcmp(url, "/metrics") != 0) {
            return reply(connection, MHD_HTTP_NOT_FOUND, "Tervo serves /metrics\n",
                         "text/plain; charset=utf-8");
        }
        std::string page;
        {
            std::lock_guard lock(server->m_mutex);
            page = server->m_text;
        }
        return reply(connection, MHD_HTTP_OK, page, kPageType);
    }

    static bool signedIn(MetricsServer& server, MHD_Connection* connection) {
        char* password = nullptr;
        char* user = MHD_basic_auth_get_username_password(connection, &password);
        bool in = false;
        if (user != nullptr && password != nullptr) {
            const std::string given = std::string(user) + '\n' + password;
            const auto hash = server.m_web.users.find(user);
            // A bcrypt check takes tens of milliseconds on this one thread: a scraper that
            // signed in before is let in by comparison alone.
            in = hash != server.m_web.users.end() &&
                 (given == server.m_signedIn || passwordMatches(password, hash->second));
            if (in) {
                server.m_signedIn = given;
            }
        }
        MHD_free(user);
        MHD_free(password);
        return in;
    }

    static void notify(void* cls, MHD_Connection* connection, void** /*socketContext*/,
                       MHD_ConnectionNotificationCode code) {
        auto* server = static_cast<MetricsServer*>(cls);
        std::lock_guard lock(server->m_openMutex);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            const MHD_ConnectionInfo* info =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
            if (info != nullptr) {
                server->m_open[connection] = {info->connect_fd, std::chrono::steady_clock::now()};
            }
        } else {
            server->m_open.erase(connection);
        }
    }
};

MetricsServer::~MetricsServer() {
    if (m_reaper.joinable()) {
        {
            std::lock_guard lock(m_openMutex);
            m_stopping = true;
        }
        m_stopReaper.notify_all();
        m_reaper.join();
    }
    if (m_daemon != nullptr) {
        // Closes every connection and the listening socket, so the port is free for the next
        // recording as soon as this one stops.
        MHD_stop_daemon(m_daemon);
    }
}

std::string MetricsServer::start(const ListenAddress& address, const WebConfig& web) {
    const std::string where =
        (address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host) +
        ":" + std::to_string(address.port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(address.port);
    if (const int rc = getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        return TERVO_TR("core", "无法监听 ") + where + TERVO_TR("core", "：") + gai_strerror(rc);
    }
    int listening = -1;
    int error = 0;
    for (addrinfo* a = found; a != nullptr && listening < 0; a = a->ai_next) {
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            error = errno;
            continue;
        }
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (bind(fd, a->ai_addr, a->ai_addrlen) == 0 && listen(fd, 128) == 0) {
            listening = fd;
            sockaddr_storage bound{};
            socklen_t length = sizeof bound;
            getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
            m_port = ntohs(bound.ss_family == AF_INET6
                               ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                               : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
        } else {
            error = errno;
            close(fd);
        }
    }
    freeaddrinfo(found);
    if (listening < 0) {
        return TERVO_TR("core", "无法监听 ") + where + TERVO_TR("core", "：") +
               std::strerror(error);
    }
    m_web = web;
    const bool tls = !m_web.certificatePem.empty();
    if (tls && MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES) {
        close(listening);
        return TERVO_TR("core", "无法监听 ") + where + TERVO_TR("core", "：") +
               "this libmicrohttpd has no TLS";
    }
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ITC;
    if (tls) {
        flags |= MHD_USE_TLS;
    }
    // The key and certificate options are read only with MHD_USE_TLS; a plain server ends
    // its options before them.
    m_daemon = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &Callbacks::answer, this, MHD_OPTION_LISTEN_SOCKET, listening,
        MHD_OPTION_CONNECTION_LIMIT, kMaxConnections, MHD_OPTION_CONNECTION_TIMEOUT,
        static_cast<unsigned>(std::chrono::duration_cast<std::chrono::seconds>(kDeadline).count()),
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, kRequestMemory, MHD_OPTION_NOTIFY_CONNECTION,
        &Callbacks::notify, this, tls ? MHD_OPTION_HTTPS_MEM_KEY : MHD_OPTION_END,
        m_web.keyPem.c_str(), MHD_OPTION_HTTPS_MEM_CERT, m_web.certificatePem.c_str(),
        MHD_OPTION_END);
    if (m_daemon == nullptr) {
        close(listening);
        return TERVO_TR("core", "无法监听 ") + where + TERVO_TR("core", "：") +
               (tls ? "the TLS certificate or key was refused" : "the HTTP server did not start");
    }
    m_reaper = std::thread([this] { reap(); });
    return {};
}

void MetricsServer::update(std::string text) {
    std::lock_guard lock(m_mutex);
    m_text = std::move(text);
}

// Ends every connection whose request has gone on past the deadline: a client trickling its
// request a byte at a time is never idle long enough for the idle timeout. Shutting the socket
// down makes the event loop see it closed and let it go.
void MetricsServer::reap() {
    std::unique_lock lock(m_openMutex);
    while (!m_stopping) {
        m_stopReaper.wait_for(lock, std::chrono::milliseconds(100));
        const auto overdue = std::chrono::steady_clock::now() - kDeadline;
        for (auto& [connection, open] : m_open) {
            if (open.second < overdue) {
                shutdown(open.first, SHUT_RDWR);
                open.second = std::chrono::steady_clock::time_point::max();
            }
        }
    }
}

}  // namespace tervo::net
