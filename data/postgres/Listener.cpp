#include "data/postgres/Listener.h"

#include <QSocketNotifier>
#include <QTimer>
#include <libpq-fe.h>

namespace data::postgres {

Listener::Listener(PgConnection connection, int ownPid, std::function<void()> changed,
                   std::function<void(const QString& reason)> lost)
    : m_connection(std::move(connection))
    , m_ownPid(QByteArray::number(ownPid))
    , m_changed(std::move(changed))
    , m_lost(std::move(lost))
{
    Result listening(PQexec(m_connection.get(), "listen tallyfold_ledger"));
    if (PQresultStatus(listening.get()) != PGRES_COMMAND_OK)
        throw platform::DbError(errorOf(m_connection.get(), listening.get()));
    m_notifier = std::make_unique<QSocketNotifier>(PQsocket(m_connection.get()), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { readable(); });
}

Listener::~Listener() = default;

void Listener::readable()
{
    pg_conn* c = m_connection.get();
    if (!PQconsumeInput(c) || PQstatus(c) == CONNECTION_BAD) {
        m_notifier->setEnabled(false);
        if (m_lost)
            m_lost(errorOf(c));
        return;
    }
    bool others = false;
    while (PGnotify* notice = PQnotifies(c)) {
        others = others || m_ownPid != notice->extra;
        PQfreemem(notice);
    }
    // A burst of commits read in one turn makes one reload, not one each.
    if (others && !m_scheduled) {
        m_scheduled = true;
        QTimer::singleShot(0, m_notifier.get(), [this] {
            m_scheduled = false;
            if (m_changed)
                m_changed();
        });
    }
}

} // namespace data::postgres
