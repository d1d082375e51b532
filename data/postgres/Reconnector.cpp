#include "data/postgres/Reconnector.h"

#include <QSocketNotifier>
#include <libpq-fe.h>

namespace data::postgres {

namespace {
constexpr int kFirstTryMs = 200;
constexpr int kRetryMs = 1000;
constexpr int kTryLimitSeconds = 10;
} // namespace

Reconnector::Reconnector(QString conninfo, std::function<void(PgConnection)> connected)
    : m_conninfo(std::move(conninfo))
    , m_connected(std::move(connected))
{
    m_next.setSingleShot(true);
    m_timeout.setSingleShot(true);
    QObject::connect(&m_next, &QTimer::timeout, [this] { attempt(); });
    QObject::connect(&m_timeout, &QTimer::timeout, [this] { failed(); });
    m_next.start(kFirstTryMs);
}

Reconnector::~Reconnector() = default;

void Reconnector::attempt()
{
    try {
        m_pending = startConnecting(m_conninfo, kTryLimitSeconds);
    } catch (const platform::DbError&) {
        failed();
        return;
    }
    m_timeout.start(kTryLimitSeconds * 1000);
    watch(PGRES_POLLING_WRITING);
}

void Reconnector::watch(int state)
{
    // The socket may change between steps (another address, another host). A notifier
    // done with goes once its own signal has returned.
    dropNotifier();
    m_notifier = std::make_unique<QSocketNotifier>(
        PQsocket(m_pending.get()), state == PGRES_POLLING_READING ? QSocketNotifier::Read : QSocketNotifier::Write);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
        m_notifier->setEnabled(false);
        advance();
    });
}

void Reconnector::advance()
{
    const PostgresPollingStatusType state = PQconnectPoll(m_pending.get());
    if (state == PGRES_POLLING_FAILED || PQstatus(m_pending.get()) == CONNECTION_BAD) {
        failed();
        return;
    }
    if (state != PGRES_POLLING_OK) {
        watch(state);
        return;
    }
    m_timeout.stop();
    dropNotifier();
    try {
        prepareConnection(m_pending.get());
    } catch (const platform::DbError&) {
        failed();
        return;
    }
    m_connected(std::move(m_pending));
}

void Reconnector::dropNotifier()
{
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier.release()->deleteLater();
    }
}

void Reconnector::failed()
{
    m_timeout.stop();
    dropNotifier();
    m_pending.reset();
    m_next.start(kRetryMs);
}

} // namespace data::postgres
