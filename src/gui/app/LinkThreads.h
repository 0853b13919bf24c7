#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <array>
#include <atomic>
#include <functional>
#include <memory>

#include "core/link/LinkRequest.h"

class QThread;

namespace tervo::gui {

class LinkClient;

// The application's link threads: one per serial port "COM1".."COM6", each started when a
// window first asks for its port. Every exchange a window makes is carried out on the thread
// of the request's port with `perform(request, linkOpener())`, so exchanges on one port never
// overlap, whichever windows ask, and no window waits on the line. Results come back on the
// user-interface thread, in the order the requests were posted to each port. A request whose
// client is gone by the time its turn comes is skipped: it never reaches the line.
class LinkThreads : public QObject {
    Q_OBJECT
public:
    explicit LinkThreads(QObject* parent = nullptr);
    // Waits for the exchanges under way; requests still queued are dropped.
    ~LinkThreads() override;

    // The threads started so far (for tests).
    int startedThreads() const;

signals:
    // Every result as it comes back on the user-interface thread, whichever window asked and
    // whether it is still open: what the bus monitor and the status bar watch. Nothing is
    // exchanged for them.
    void performed(const tervo::LinkResult& result);

private:
    friend class LinkClient;
    quint64 post(LinkClient* client, const LinkRequest& request);
    void deliver(quint64 ticket, const LinkResult& result);

    std::array<QThread*, 6> m_threads{};
    std::array<QObject*, 6> m_workers{};  // living in the threads: the posted exchanges' context
    QHash<quint64, QPointer<LinkClient>> m_waiting;
    std::atomic<bool> m_closing{false};
    quint64 m_nextTicket = 0;
};

// A window's access to the link threads: post a request, and `finished` brings its result back
// on the user-interface thread. A window makes its clients once and parents them to its view.
// When a client is destroyed (its window closed), its requests still queued are skipped before
// they reach the line, and the result of the one under way is dropped.
class LinkClient : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const LinkResult&)>;

    LinkClient(LinkThreads& threads, QObject* parent);
    ~LinkClient() override;

    void post(const LinkRequest& request);
    // As above; the result goes to `done` first, then to `finished`, so a caller can tell its
    // requests apart.
    void post(const LinkRequest& request, Done done);
    // Requests posted whose results have not come back yet.
    int pending() const { return m_pending; }

signals:
    void finished(const tervo::LinkResult& result);

private:
    friend class LinkThreads;
    void deliver(quint64 ticket, const LinkResult& result);

    LinkThreads& m_threads;
    // Cleared when the client goes; the link threads look at it before each exchange.
    std::shared_ptr<std::atomic<bool>> m_alive = std::make_shared<std::atomic<bool>>(true);
    QHash<quint64, Done> m_done;
    int m_pending = 0;
};

}  // namespace tervo::gui
