#include "output/ReportFill.h"

#include "data/Ledger.h"
#include "data/SqlLiteral.h"
#include "platform/Conversions.h"
#include "shell/ErrorTrap.h"

#include <cmath>

namespace output {

namespace {

// An amount as the copy takes it: Null as 0.
double amountOf(const QVariant& stored)
{
    return stored.isValid() ? platform::toDouble(stored) : 0;
}

void rollBack(data::Connection& db)
{
    // The failure that got here has been reported; the database may already have
    // ended the transaction itself.
    try {
        db.RollbackTrans();
    } catch (const std::exception&) {
    }
}

} // namespace

QString reportInsert(const QVariant& date, double deposit, double withdrawal, const QVariant& account,
                     const QVariant& description)
{
    static const QString start =
        QStringLiteral("insert into tblReport ([Date],ValueIn,ValueOut,Account,Description) values (");
    if (!std::isfinite(deposit) || !std::isfinite(withdrawal))
        throw platform::AppError(QStringLiteral("Overflow"));
    // Appended into one buffer: this runs once a row.
    QString sql;
    sql.reserve(start.size() + 64);
    sql += start;
    sql += data::sql::dateLiteral(date, true);
    sql += u',';
    sql += data::sql::amount(deposit);
    sql += u',';
    sql += data::sql::amount(withdrawal);
    sql += u',';
    sql += data::sql::textLiteral(account);
    sql += u',';
    sql += data::sql::textLiteral(description);
    sql += u')';
    return sql;
}

bool fillReportTable(shell::ErrorTrap& trap, const std::function<void()>& tick)
{
    data::Connection* db = nullptr;
    bool begun = false;
    const bool emptied = trap.run(110, [&] {
        db = &data::connection();
        db->BeginTrans();
        begun = true;
        db->Execute(QStringLiteral("delete from tblReport"));
    });
    if (!emptied) {
        if (begun)
            rollBack(*db);
        return false;
    }

    data::Recordset rs;                                                       // 112
    const bool opened = trap.run(114, [&] { rs.Open(data::kLedgerQuery, *db, 3, 1); });
    bool atEnd = false;
    bool readFailed = false;
    bool refused = false;
    while (opened && !refused && trap.loop(116, [&] { return !(atEnd = rs.eof()); })) {
        // Fresh for every row: an amount that cannot be read is copied as 0, never as
        // the row before's.
        double withdrawal = 0;
        double deposit = 0;
        trap.run(118, [&] { withdrawal = amountOf(rs.Fields(u"WithdrawalAmount").Value()); });
        trap.run(120, [&] { deposit = amountOf(rs.Fields(u"DepositAmount").Value()); });
        trap.run(122, [&] {
            const QString insert = reportInsert(
                rs.Fields(u"TransactionDate").Value(), deposit, withdrawal, rs.Fields(u"AccountName").Value(),
                rs.Fields(u"TransactionDescription").Value());
            // Built: a refused row undoes only itself, but a failure that ended the
            // transaction (a full disk) ends the copy.
            try {
                db->Execute(insert);
            } catch (...) {
                refused = !db->InTransaction();
                throw;
            }
        });
        readFailed = !trap.run(124, [&] { rs.MoveNext(); }) || readFailed;
        if (tick)
            tick();
    }
    if (opened)
        trap.run(126, [&] { rs.Close(); });
    if (!opened || !atEnd || readFailed || refused) {
        rollBack(*db);
        return false;
    }
    if (!trap.run(126, [&] { db->CommitTrans(); })) {
        rollBack(*db);
        return false;
    }
    return true;
}

} // namespace output
