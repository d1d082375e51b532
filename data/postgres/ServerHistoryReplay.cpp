// Undo and redo on the server: a step's rows set back to their images before it, or
// forward to those after it, once they are found as the step left them; set-wise over
// the step's log, a statement per table rather than per row (an import's step holds
// every row it added).
#include "data/postgres/ServerHistory.h"

#include "data/StoredFormat.h"

#include <QStringList>

namespace data::postgres {

using platform::DbError;
using stored::RecordedTable;
using stored::kRecordedTables;

namespace {

QByteArray number(qint64 n)
{
    return QByteArray::number(n);
}

// A recorded table as the server names it: the Jet names folded to lower case.
struct ServerTable {
    const RecordedTable& jet;
    QString name, key;
    QStringList columns;
};

std::vector<ServerTable> serverTables()
{
    std::vector<ServerTable> tables;
    for (const RecordedTable& t : kRecordedTables) {
        ServerTable table{t, QString::fromLatin1(t.name).toLower(), QString::fromLatin1(t.key).toLower(), {}};
        for (int c = 0; c < t.columnCount; ++c)
            table.columns << QString::fromLatin1(t.columns[c]).toLower();
        tables.push_back(std::move(table));
    }
    return tables;
}

// Where the step's log has a row's image now and the one it is to be given: each row
// once, its image before the step's first change of it (b) and after the last (a),
// and where in the step it comes (undo meets rows newest change first, redo oldest).
struct Direction {
    explicit Direction(bool back)
        : now(back ? "a" : "b"), target(back ? "b" : "a"), order(back ? "last desc" : "first")
    {
    }
    QString now, target, order;
};

// The step $1's rows of `table`, as Direction reads them.
QString entries(const ServerTable& table)
{
    return QStringLiteral("with e as (select rowkey, min(seq) as first, max(seq) as last, "
                          "(array_agg(before order by seq))[1] as b, (array_agg(after order by seq desc))[1] as a "
                          "from undolog where stepid = $1 and tablename = '%1' group by rowkey) ")
        .arg(table.name);
}

// A row's logged columns as jsonb, from the table's row `row` or from an image (NULL
// when the row is absent): what "as the step left it" compares.
QString logged(const ServerTable& table, const QString& row, bool image)
{
    QStringList pairs;
    for (const QString& column : table.columns)
        pairs << QStringLiteral("'%1', %2%3").arg(column, row, image ? QStringLiteral("->'%1'").arg(column) : u'.' + column);
    const QString present = image ? row + QStringLiteral(" is not null") : row + u'.' + table.key + QStringLiteral(" is not null");
    return QStringLiteral("case when %1 then jsonb_build_object(%2) end").arg(present, pairs.join(QStringLiteral(", ")));
}

// The first row of the table not as the step (or its undo) left it, and where it is in
// the step; no rows when all are.
QByteArray firstChanged(const ServerTable& table, const Direction& d)
{
    return (entries(table)
            + QStringLiteral("select e.rowkey, e.%1 from e left join %2 t on t.%3 = e.rowkey "
                             "where %4 is distinct from %5 order by e.%6 limit 1")
                  .arg(d.order.section(u' ', 0, 0), table.name, table.key, logged(table, QStringLiteral("t"), false),
                       logged(table, QStringLiteral("e.") + d.now, true), d.order))
        .toUtf8();
}

// Sets the rows that exist both now and after the move to their target images, and
// puts back those that come back, keys included.
QByteArray updateRows(const ServerTable& table, const Direction& d)
{
    QStringList assignments;
    for (const QString& column : table.columns)
        assignments << QStringLiteral("%1 = r.%1").arg(column);
    return (entries(table)
            + QStringLiteral(", r as (select e.rowkey, x.* from e cross join lateral jsonb_populate_record(null::%1, e.%2) x "
                             "where e.%2 is not null and e.%3 is not null) update %1 t set %4 from r where t.%5 = r.rowkey")
                  .arg(table.name, d.target, d.now, assignments.join(QStringLiteral(", ")), table.key))
        .toUtf8();
}

QByteArray insertRows(const ServerTable& table, const Direction& d)
{
    const QString columns = table.columns.join(QStringLiteral(", "));
    return (entries(table)
            + QStringLiteral("insert into %1 (%2, %3) overriding system value select e.rowkey, x.%4 from e cross join "
                             "lateral jsonb_populate_record(null::%1, e.%5) x where e.%5 is not null and e.%6 is null")
                  .arg(table.name, table.key, columns, table.columns.join(QStringLiteral(", x.")), d.target, d.now))
        .toUtf8();
}

QByteArray deleteRows(const ServerTable& table, const Direction& d)
{
    return (entries(table)
            + QStringLiteral("delete from %1 where %2 in (select rowkey from e where e.%3 is null and e.%4 is not null)")
                  .arg(table.name, table.key, d.target, d.now))
        .toUtf8();
}

// Undo: the table's counter back to where it was before the step, unless someone has
// numbered rows since (it no longer stands at the step's highest new row), and never
// below a number in use.
QByteArray restoreCounter(const ServerTable& table)
{
    return QStringLiteral("select tallyfold_set_sequence('%1', '%2', greatest(s.%3, (select coalesce(max(%2), 0) from %1))) "
                          "from undosteps s where s.stepid = $1 and (select max(rowkey) from undolog where stepid = $1 "
                          "and tablename = '%1' and before is null) = tallyfold_sequence_position('%1', '%2')")
        .arg(table.name, table.key, QString::fromLatin1(table.jet.sequenceColumn).toLower())
        .toUtf8();
}

// Rows that came back with their keys: the counter must not hand those out again.
QByteArray counterPastKeys(const ServerTable& table)
{
    return QStringLiteral("select tallyfold_set_sequence('%1', '%2', m) from (select max(%2) as m from %1) x "
                          "where m > tallyfold_sequence_position('%1', '%2')")
        .arg(table.name, table.key)
        .toUtf8();
}

} // namespace

std::optional<History::Step> ServerHistory::move(bool back)
{
    Q_ASSERT(!m_active);   // nothing is recorded while a step moves
    if (m_session.inTransaction())
        throw DbError(QStringLiteral("An undo or redo cannot run inside a pending transaction."));
    exec("begin");
    struct Rollback {
        ServerHistory& history;
        bool done = false;
        ~Rollback()
        {
            if (!done) {
                try {
                    history.exec("rollback");
                } catch (const DbError&) {
                    // the connection is gone: so is the transaction
                }
            }
        }
    } rollback{*this};
    const auto commit = [&] {
        exec("commit");
        rollback.done = true;
    };

    // The move's own changes are no step (a transaction names none until told to).
    const std::optional<Step> step = next(back, true);
    if (!step) {
        commit();
        return std::nullopt;
    }
    const std::vector<std::optional<QByteArray>> id{number(step->id)};
    const Result touched = exec("select distinct tablename from undolog where stepid = $1", id);
    std::vector<ServerTable> tables;
    for (ServerTable& table : serverTables()) {
        for (int r = 0; r < touched.rows(); ++r) {
            if (touched.text(r, 0) == table.name.toUtf8())
                tables.push_back(std::move(table));
        }
    }
    // The step's tables locked against every other writer, in one order for all: their
    // rows stay as checked, and nobody numbers a row while a counter is set.
    for (const ServerTable& table : tables)
        exec("lock table " + table.name.toUtf8() + " in share row exclusive mode");

    const Direction direction(back);
    struct Changed {
        const ServerTable* table = nullptr;
        qint64 key = 0, at = 0;
    } changed;
    for (const ServerTable& table : tables) {
        const Result found = exec(firstChanged(table, direction), id);
        if (found.rows() == 0)
            continue;
        const qint64 at = found.text(0, 1).toLongLong();
        if (!changed.table || (back ? at > changed.at : at < changed.at))
            changed = {&table, found.text(0, 0).toLongLong(), at};
    }
    if (changed.table) {
        // Whose step changed the row since, when one of another desktop's did.
        const Result by = exec("select s.desktop from undolog l join undosteps s on s.stepid = l.stepid "
                               "where l.tablename = $2 and l.rowkey = $3 and l.stepid > $1 and s.desktop <> $4 "
                               "order by l.seq desc limit 1",
                               {number(step->id), changed.table->name.toUtf8(), number(changed.key), m_desktop});
        const QString desktop = by.rows() > 0 ? QString::fromUtf8(by.text(0, 0)) : QString();
        // The step can never apply again: it leaves the history (those beyond reach
        // first, so that one step fewer brings none of them back).
        exec("select tallyfold_drop_unreachable($1)", {m_desktop});
        exec("select tallyfold_forget_steps(array[$1::bigint])", id);
        commit();
        throw UndoConflict(step->label, QString::fromLatin1(changed.table->jet.name), changed.key, !back,
                           desktop.isEmpty() ? UndoConflict::ChangedBy::AnotherProgram : UndoConflict::ChangedBy::Desktop,
                           desktop);
    }

    // Rows that stay or come back first, parents before children; rows that go last,
    // children first.
    for (const ServerTable& table : tables) {
        exec(updateRows(table, direction), id);
        exec(insertRows(table, direction), id);
    }
    for (auto table = tables.rbegin(); table != tables.rend(); ++table)
        exec(deleteRows(*table, direction), id);
    for (const ServerTable& table : tables) {
        if (back)
            exec(restoreCounter(table), id);
        exec(counterPastKeys(table));
    }
    exec("update undosteps set undone = $2 where stepid = $1", {number(step->id), back ? "t" : "f"});
    commit();
    return step;
}

} // namespace data::postgres
