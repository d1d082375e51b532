#pragma once
// Connects to the server again after it went away, off the event loop: each try is
// libpq's own connect on a thread of its own (every host of a list given its
// connect_timeout, the next tried when one does not answer), so a server or network that
// does not answer never holds the window up. Tries again a second after each failure
// until it gets through.

#include "data/postgres/PgSession.h"

#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

namespace data::postgres {

class Reconnector {
public:
    // `connected` gets the new connection, set up as connectTo's, on the event loop; it
    // may destroy the reconnector.
    Reconnector(QString conninfo, std::function<void(PgConnection)> connected);
    ~Reconnector();
    Reconnector(const Reconnector&) = delete;
    Reconnector& operator=(const Reconnector&) = delete;

    // Tries again a second from now (the connection given was of no use after all).
    void retry() { m_next.start(1000); }

private:
    void attempt();

    QString m_conninfo;
    std::function<void(PgConnection)> m_connected;
    QTimer m_next;   // the next try
    // Whether the reconnector is still there when a try that outlived it ends.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace data::postgres
