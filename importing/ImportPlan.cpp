#include "importing/ImportPlan.h"

#include "data/Ledger.h"
#include "data/SqlLiteral.h"
#include "importing/ImportKeys.h"
#include "platform/LedgerDays.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace importing {

namespace {

// An amount as stored (REAL, or Null) in hundredths.
qint64 centsOf(const QVariant& stored)
{
    return stored.isValid() ? std::llround(stored.toDouble() * 100) : 0;
}

struct Stored {
    QDate date;
    qint64 cents;
};

// The account's keys whose transactions are still in the ledger.
QHash<QString, QList<Stored>> storedKeys(qint64 accountId)
{
    QHash<QString, QList<Stored>> keys;
    data::Recordset rs;
    rs.Open(QStringLiteral("select k.ImportKey, k.KeyDate, k.KeyCents from ImportKeys k inner join Transactions t "
                           "on t.TransactionNumber = k.TransactionNumber where k.AccountID = %1")
                .arg(accountId),
            data::connection());
    for (; !rs.eof(); rs.MoveNext()) {
        keys[rs.Fields(u"ImportKey").Value().toString()].append(
            {QDate::fromString(rs.Fields(u"KeyDate").Value().toString(), Qt::ISODate),
             rs.Fields(u"KeyCents").Value().toLongLong()});
    }
    return keys;
}

// Whether one of the keys stored under the row's key names it: a bank id names the row
// only together with its date and amount; a digest holds both already.
bool isStored(const QList<Stored>& same, const PlannedRow& planned)
{
    return std::any_of(same.begin(), same.end(), [&](const Stored& s) {
        return !isBankId(planned.key) || (s.date == planned.row.date && s.cents == planned.row.cents);
    });
}

struct HandTyped {
    qint64 number;
    QDate date;
    QString description;
    bool taken = false;
};

// The rows typed by hand into the account between the two days, by amount.
QHash<qint64, QList<HandTyped>> handTyped(qint64 accountId, const QDate& from, const QDate& to)
{
    QHash<qint64, QList<HandTyped>> rows;
    data::Recordset rs;
    QString sql = QStringLiteral("select TransactionNumber, TransactionDate, TransactionDescription, "
                                 "WithdrawalAmount, DepositAmount from "
                                 "Transactions where AccountID = %1 and TransactionDate >= #%2# and not exists "
                                 "(select 1 from ImportKeys k where k.TransactionNumber = Transactions.TransactionNumber)")
                      .arg(accountId)
                      .arg(data::sql::jetDate(std::max(from, platform::stored::kFirstLedgerDay)));
    // No date literal names the day after the ledger's last: a window reaching it has no end.
    if (to < platform::stored::kLastLedgerDay)
        sql += QStringLiteral(" and TransactionDate < #%1#").arg(data::sql::jetDate(to.addDays(1)));
    rs.Open(sql, data::connection());
    for (; !rs.eof(); rs.MoveNext()) {
        const qint64 cents = centsOf(rs.Fields(u"DepositAmount").Value()) - centsOf(rs.Fields(u"WithdrawalAmount").Value());
        rows[cents].append({rs.Fields(u"TransactionNumber").Value().toLongLong(),
                            rs.Fields(u"TransactionDate").Value().toDate(),
                            rs.Fields(u"TransactionDescription").Value().toString()});
    }
    return rows;
}

// The account's balance at the end of `day` (every row when the day is not known).
qint64 balance(qint64 accountId, const QDate& day)
{
    data::Recordset rs;
    QString sql = QStringLiteral("select sum(DepositAmount) as D, sum(WithdrawalAmount) as W from Transactions "
                                 "where AccountID = %1").arg(accountId);
    if (day.isValid() && day < platform::stored::kLastLedgerDay)
        sql += QStringLiteral(" and TransactionDate < #%1#").arg(data::sql::jetDate(day.addDays(1)));
    rs.Open(sql, data::connection());
    return rs.eof() ? 0 : centsOf(rs.Fields(u"D").Value()) - centsOf(rs.Fields(u"W").Value());
}

} // namespace

int ImportPlan::count(RowStatus status) const
{
    return int(std::count_if(rows.begin(), rows.end(), [&](const PlannedRow& r) { return r.status == status; }));
}

ImportPlan planImport(const importer::Statement& statement, qint64 accountId, const QString& fileName)
{
    ImportPlan plan;
    plan.fileName = fileName;
    plan.accountId = accountId;
    plan.closing = statement.closing;
    const QStringList keys = importKeys(statement);
    QHash<QString, QList<Stored>> known = storedKeys(accountId);
    known.reserve(known.size() + statement.rows.size());   // the statement's own keys join them

    QDate first, last;
    plan.rows.reserve(statement.rows.size());
    for (qsizetype i = 0; i < statement.rows.size(); ++i) {
        PlannedRow planned{.row = statement.rows[i], .status = RowStatus::New, .key = keys[i], .matchedTransaction = 0,
                           .matchedDate = {}, .matchedDescription = {}};
        const importer::Row& row = planned.row;
        if (!row.readable()) {
            planned.status = RowStatus::NotReadable;
        } else {
            // A key met twice in one file (an overlapping download) is the same row again.
            QList<Stored>& same = known[planned.key];
            if (isStored(same, planned)) {
                planned.status = RowStatus::InLedger;
            } else {
                same.append({row.date, row.cents});
                first = first.isValid() ? std::min(first, row.date) : row.date;
                last = last.isValid() ? std::max(last, row.date) : row.date;
            }
        }
        plan.rows.append(planned);
    }

    if (first.isValid()) {
        QHash<qint64, QList<HandTyped>> typed = handTyped(accountId, first.addDays(-kMatchDays), last.addDays(kMatchDays));
        for (PlannedRow& planned : plan.rows) {
            if (planned.status != RowStatus::New)
                continue;
            auto candidates = typed.find(planned.row.cents);
            if (candidates == typed.end())
                continue;
            HandTyped* best = nullptr;
            for (HandTyped& c : *candidates) {
                const qint64 apart = std::llabs(c.date.daysTo(planned.row.date));
                if (!c.taken && apart <= kMatchDays
                    && (!best || apart < std::llabs(best->date.daysTo(planned.row.date))))
                    best = &c;
            }
            if (best) {
                best->taken = true;
                planned.status = RowStatus::PossibleMatch;
                planned.matchedTransaction = best->number;
                planned.matchedDate = best->date;
                planned.matchedDescription = best->description;
            }
        }
    }

    if (statement.closing) {
        const QDate day = statement.closing->date;
        qint64 after = balance(accountId, day);
        for (const PlannedRow& planned : plan.rows) {
            if (planned.status == RowStatus::New && (!day.isValid() || planned.row.date <= day))
                after += planned.row.cents;
        }
        plan.closingDifference = statement.closing->cents - after;
    }
    return plan;
}

int markRowsStoredSince(ImportPlan& plan)
{
    const QHash<QString, QList<Stored>> known = storedKeys(plan.accountId);
    int marked = 0;
    for (PlannedRow& planned : plan.rows) {
        if (planned.status != RowStatus::New && planned.status != RowStatus::PossibleMatch)
            continue;
        const auto same = known.constFind(planned.key);
        if (same != known.cend() && isStored(*same, planned)) {
            planned.status = RowStatus::InLedger;
            planned.matchedTransaction = 0;
            ++marked;
        }
    }
    return marked;
}

} // namespace importing
