#include "data/postgres/ServerLedger.h"

#include "data/StoredFormat.h"
#include "generated/data/postgres/ServerSchema.h"

#include <QRegularExpression>

namespace data::postgres {

namespace {
// The ledger's advisory lock: any fixed number no other program on the database uses
// ("Tallyfld" in ASCII).
const QByteArray kLedgerLock = "6080260185075903588";

// The tables the making of a ledger creates, in its order.
QStringList ledgerTables()
{
    static const QRegularExpression made(QStringLiteral("\\bcreate\\s+table\\s+(?:if\\s+not\\s+exists\\s+)?"
                                                        "(?:public\\.)?([a-z_][a-z0-9_]*)"),
                                         QRegularExpression::CaseInsensitiveOption);
    QStringList tables;
    for (const char* script : {kLedgerSql, kHistorySql}) {
        for (const QRegularExpressionMatch& table : made.globalMatch(QString::fromUtf8(script)))
            tables << table.captured(1).toLower();
    }
    return tables;
}

} // namespace

LedgerFacts lockAndInspect(PgSession& session)
{
    session.exec("begin");
    session.exec("select pg_advisory_xact_lock(" + kLedgerLock + ")");
    LedgerFacts facts;
    // Found by the catalogue, which anyone may read: a role without the right to read the
    // ledger is told so, rather than that there is no ledger.
    const Result format = session.exec(
        "select coalesce(bool_or(c.relname = 'ledgerformat'), false), "
        "coalesce(bool_and(has_schema_privilege(n.oid, 'usage') and has_table_privilege(c.oid, 'select')), true) "
        "from pg_class c join pg_namespace n on n.oid = c.relnamespace "
        "where n.nspname = 'public' and c.relname in ('ledgerformat', 'transactions', 'accounts')");
    if (format.text(0, 0) == "t" && format.text(0, 1) != "t") {
        facts.kind = LedgerFacts::NoRights;
        return facts;
    }
    if (format.text(0, 0) == "t") {
        const Result version = session.exec("select max(version) from public.ledgerformat");
        facts.kind = LedgerFacts::Ledger;
        facts.version = version.isNull(0, 0) ? 0 : version.text(0, 0).toInt();
        const Result missing = session.exec("select string_agg(t, ',' order by n) from unnest(string_to_array($1, ',')) "
                                            "with ordinality as u(t, n) where to_regclass('public.' || t) is null",
                                            {ledgerTables().join(u',').toUtf8()});
        if (!missing.isNull(0, 0))
            facts.missing = QString::fromUtf8(missing.text(0, 0)).split(u',');
        return facts;
    }
    const Result tables = session.exec("select exists (select 1 from pg_class c join pg_namespace n on "
                                       "n.oid = c.relnamespace where n.nspname = 'public' and "
                                       "c.relkind in ('r', 'p', 'v', 'm', 'f'))");
    facts.kind = tables.text(0, 0) == "t" ? LedgerFacts::OtherTables : LedgerFacts::Empty;
    return facts;
}

void makeLedger(PgSession& session)
{
    for (const char* script : {kFunctionsSql, kLedgerSql, kHistorySql}) {
        if (!QByteArray(script).trimmed().isEmpty())
            session.execScript(script);
    }
    session.exec("insert into ledgerformat (version) values ($1)",
                 {QByteArray::number(data::stored::kLedgerVersion)});
}

void migrateLedger(PgSession&, int fromVersion)
{
    // Server ledgers began at the current format: none older exists yet. A migration
    // to a later format goes here, one step a version.
    throw platform::DbError(QStringLiteral("No way leads from format %1 to format %2.")
                                .arg(fromVersion)
                                .arg(data::stored::kLedgerVersion));
}

} // namespace data::postgres
