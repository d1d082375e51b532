#include "data/postgres/Reconnector.h"

#include <QThread>

namespace data::postgres {

namespace {
constexpr int kFirstTryMs = 200;
constexpr int kRetryMs = 1000;
} // namespace

Reconnector::Reconnector(QString conninfo, std::function<void(PgConnection)> connected)
    : m_conninfo(std::move(conninfo))
    , m_connected(std::move(connected))
{
    m_next.setSingleShot(true);
    QObject::connect(&m_next, &QTimer::timeout, [this] { attempt(); });
    m_next.start(kFirstTryMs);
}

Reconnector::~Reconnector()
{
    *m_alive = false;
}

void Reconnector::attempt()
{
    // The try owns what it makes until the event loop hands it over: a reconnector gone
    // meanwhile leaves the connection to be closed with the thread.
    auto made = std::make_shared<PgConnection>();
    QThread* worker = QThread::create([conninfo = m_conninfo, made] {
        try {
            *made = connectTo(conninfo);
        } catch (const platform::DbError&) {
            // tried again
        }
    });
    // Heard on the event loop, by the thread's own object (the reconnector may go in
    // `connected`; the thread's object goes once this has returned).
    QObject::connect(worker, &QThread::finished, worker, [this, made, alive = m_alive] {
        if (!*alive)
            return;
        if (*made)
            m_connected(std::move(*made));
        else
            m_next.start(kRetryMs);
    });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

} // namespace data::postgres
