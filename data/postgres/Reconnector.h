#pragma once
// Connects to the server again after it went away, on the event loop: each try waits
// on its socket with a notifier, so a server or network that does not answer never
// holds the window up. Tries again a second after each failure until it gets through.

#include "data/postgres/PgSession.h"

#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace data::postgres {

class Reconnector {
public:
    // `connected` gets the new connection, set up as connectTo's; it may destroy the
    // reconnector.
    Reconnector(QString conninfo, std::function<void(PgConnection)> connected);
    ~Reconnector();
    Reconnector(const Reconnector&) = delete;
    Reconnector& operator=(const Reconnector&) = delete;

    // Tries again a second from now (the connection given was of no use after all).
    void retry() { m_next.start(1000); }

private:
    void attempt();
    void watch(int state);
    void advance();
    void failed();
    void dropNotifier();

    QString m_conninfo;
    std::function<void(PgConnection)> m_connected;
    PgConnection m_pending;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_next;      // the next try
    QTimer m_timeout;   // the try under way has had its time
};

} // namespace data::postgres
