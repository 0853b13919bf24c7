#include "gui/app/LinkThreads.h"

#include <QThread>

#include "core/link/PortMap.h"
#include "gui/widgets/LinkOpener.h"

namespace tervo::gui {

LinkThreads::LinkThreads(QObject* parent) : QObject(parent) {}

LinkThreads::~LinkThreads() {
    m_closing = true;
    for (QThread* thread : m_threads) {
        if (thread != nullptr) {
            thread->quit();
        }
    }
    for (size_t i = 0; i < m_threads.size(); ++i) {
        if (m_threads[i] != nullptr) {
            m_threads[i]->wait();
            // The thread has ended, so its worker handles nothing any more.
            delete m_workers[i];
            delete m_threads[i];
        }
    }
}

int LinkThreads::startedThreads() const {
    int started = 0;
    for (QThread* thread : m_threads) {
        started += thread != nullptr ? 1 : 0;
    }
    return started;
}

quint64 LinkThreads::post(LinkClient* client, const LinkRequest& request) {
    const quint64 ticket = ++m_nextTicket;
    m_waiting.insert(ticket, client);
    auto deliverLater = [this, ticket](const LinkResult& result) {
        QMetaObject::invokeMethod(
            this, [this, ticket, result] { deliver(ticket, result); }, Qt::QueuedConnection);
    };
    if (request.port >= kPortCount) {
        // The link refuses a port it does not have before it opens anything, so this waits on
        // nothing; the result still comes back like any other.
        deliverLater(perform(request, linkOpener()));
        return ticket;
    }
    const size_t port = request.port;
    if (m_threads[port] == nullptr) {
        m_threads[port] = new QThread;
        m_threads[port]->setObjectName(QString::fromStdString(portName(request.port)) +
                                       QStringLiteral(" link"));
        m_workers[port] = new QObject;
        m_workers[port]->moveToThread(m_threads[port]);
        m_threads[port]->start();
    }
    QMetaObject::invokeMethod(
        m_workers[port],
        [this, request, deliverLater, alive = client->m_alive] {
            // Requests still queued when the application closes are dropped.
            if (m_closing) {
                return;
            }
            if (!*alive) {
                // Its window has closed: nothing goes out, and the ticket is let go.
                deliverLater(LinkResult{});
                return;
            }
            deliverLater(perform(request, linkOpener()));
        },
        Qt::QueuedConnection);
    return ticket;
}

void LinkThreads::deliver(quint64 ticket, const LinkResult& result) {
    emit performed(result);
    const QPointer<LinkClient> client = m_waiting.take(ticket);
    if (client) {
        client->deliver(ticket, result);
    }
}

LinkClient::LinkClient(LinkThreads& threads, QObject* parent)
    : QObject(parent), m_threads(threads) {}

LinkClient::~LinkClient() {
    *m_alive = false;
}

void LinkClient::post(const LinkRequest& request) {
    post(request, Done());
}

void LinkClient::post(const LinkRequest& request, Done done) {
    ++m_pending;
    const quint64 ticket = m_threads.post(this, request);
    if (done) {
        m_done.insert(ticket, std::move(done));
    }
}

void LinkClient::deliver(quint64 ticket, const LinkResult& result) {
    --m_pending;
    if (const Done done = m_done.take(ticket)) {
        const QPointer<LinkClient> self(this);
        done(result);
        if (!self) {
            return;
        }
    }
    emit finished(result);
}

}  // namespace tervo::gui
