#pragma once
// Hears of other desktops' commits to a server ledger: a connection of its own
// listening on the ledger's channel, its socket watched by the event loop, so nothing
// waits for a change that may never come.

#include "data/postgres/PgSession.h"

#include <QString>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace data::postgres {

class Listener {
public:
    // Listens on `connection` (throws DbError when it cannot). `changed` runs on the
    // event loop once for every turn in which other writers than `ownPid` committed;
    // `lost` once when the connection is gone, with libpq's reason.
    Listener(PgConnection connection, int ownPid, std::function<void()> changed,
             std::function<void(const QString& reason)> lost);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // The writer whose commits are the desktop's own (a new one after reconnecting).
    void setOwnPid(int pid) { m_ownPid = QByteArray::number(pid); }

private:
    void readable();

    PgConnection m_connection;
    QByteArray m_ownPid;
    std::function<void()> m_changed;
    std::function<void(const QString&)> m_lost;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_scheduled = false;
};

} // namespace data::postgres
