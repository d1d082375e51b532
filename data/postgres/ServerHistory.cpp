// The server's undo history: steps named for the server's triggers to record, and the
// steps a desktop can undo and redo next.
#include "data/postgres/ServerHistory.h"

#include "data/UndoHistory.h"

namespace data::postgres {

static_assert(ServerHistory::kStepsKept == UndoHistory::kStepsKept, "a desktop keeps as many steps as a file");

namespace {

QByteArray number(qint64 n)
{
    return QByteArray::number(n);
}

} // namespace

ServerHistory::ServerHistory(Session& session, QString desktop) : m_session(session), m_desktop(desktop.toUtf8())
{
}

Result ServerHistory::exec(const QByteArray& sql, const std::vector<std::optional<QByteArray>>& parameters)
{
    return m_session.exec(sql, parameters);
}

void ServerHistory::begin(const QString& label)
{
    if (m_depth++ > 0)
        return;
    // The step gets its number with its first write.
    m_active = true;
    m_label = label.toUtf8();
    m_step = 0;
    m_entered = false;
}

void ServerHistory::end()
{
    if (m_depth > 0 && --m_depth == 0) {
        m_active = false;
        m_entered = false;
        m_step = 0;
        m_label.clear();
    }
}

void ServerHistory::enter()
{
    Q_ASSERT(m_session.inTransaction());
    if (!m_active) {
        // A step ended inside a transaction still pending: what follows is no part of it.
        if (std::exchange(m_named, false))
            exec("select set_config('tallyfold.step', '', true)");
        return;
    }
    if (m_entered)
        return;
    const Result named = exec("select stepid, made from tallyfold_enter_step($1::bigint, $2, $3)",
                              {m_step ? std::optional(number(m_step)) : std::nullopt, m_desktop, m_label});
    m_step = named.text(0, 0).toLongLong();
    m_made = named.text(0, 1) == "t";
    m_entered = m_named = true;
}

void ServerHistory::left(bool committed)
{
    // A step whose row went with the rolled-back transaction starts afresh, with the
    // counters as they will be then.
    if (!committed && m_entered && !m_made)
        m_step = 0;
    m_entered = m_named = false;
}

std::optional<History::Step> ServerHistory::next(bool back, bool lock)
{
    // Undo reaches no further than the desktop's newest kStepsKept steps; those beyond
    // wait to be dropped. (Undone steps are always among the newest.)
    const QByteArray sql = back ? QByteArray("select stepid, label from undosteps where desktop = $1 and not undone and "
                                             "stepid >= coalesce((select stepid from undosteps where desktop = $1 order by "
                                             "stepid desc offset ")
                                      + number(kStepsKept - 1) + " limit 1), 0) order by stepid desc limit 1"
                                : QByteArray("select stepid, label from undosteps where desktop = $1 and undone "
                                             "order by stepid limit 1");
    const Result step = exec(lock ? sql + " for update" : sql, {m_desktop});
    if (step.rows() == 0)
        return std::nullopt;
    return Step{step.text(0, 0).toLongLong(), QString::fromUtf8(step.text(0, 1))};
}

} // namespace data::postgres
