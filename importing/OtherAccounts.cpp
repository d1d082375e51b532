#include "importing/OtherAccounts.h"

#include "data/Ledger.h"
#include "data/SqlLiteral.h"
#include "importing/AccountChoice.h"
#include "importing/ImportKeys.h"

#include <QHash>
#include <QSet>
#include <QStringList>

namespace importing {

namespace {
// Enough rows to tell "most" of a long statement, few enough for one short query.
constexpr qsizetype kSample = 200;
} // namespace

QString accountHoldingMost(const ImportPlan& plan)
{
    const int readable = int(plan.rows.size()) - plan.count(RowStatus::NotReadable);
    QList<const PlannedRow*> adding;
    for (const PlannedRow& row : plan.rows) {
        if (row.status == RowStatus::New || row.status == RowStatus::PossibleMatch)
            adding.append(&row);
    }
    if (readable == 0 || adding.size() * 2 <= readable)
        return {};
    const qsizetype step = (adding.size() + kSample - 1) / kSample;
    QHash<QString, const PlannedRow*> sample;
    QStringList keys;
    for (qsizetype i = 0; i < adding.size(); i += step) {
        sample.insert(adding[i]->key, adding[i]);
        keys << u'\'' + data::sql::quoted(adding[i]->key) + u'\'';
    }
    data::Recordset rs;
    rs.Open(QStringLiteral("select k.AccountID, k.ImportKey, k.KeyDate, k.KeyCents from ImportKeys k inner join "
                           "Transactions t on t.TransactionNumber = k.TransactionNumber where k.AccountID <> %1 and "
                           "k.ImportKey in (%2)")
                .arg(plan.accountId)
                .arg(keys.join(u',')),
            data::connection());
    QHash<qint64, QSet<QString>> held;   // account -> the sampled keys it holds
    for (; !rs.eof(); rs.MoveNext()) {
        const QString key = rs.Fields(u"ImportKey").Value().toString();
        const PlannedRow* row = sample.value(key);
        // A bank's id names the row only with its date and amount, as in the plan.
        if (!row || (isBankId(key)
                     && (rs.Fields(u"KeyDate").Value().toString() != row->row.date.toString(Qt::ISODate)
                         || rs.Fields(u"KeyCents").Value().toLongLong() != row->row.cents)))
            continue;
        const qint64 account = rs.Fields(u"AccountID").Value().toLongLong();
        held[account].insert(key);
    }
    qint64 best = 0;
    for (auto it = held.cbegin(); it != held.cend(); ++it) {
        if (best == 0 || it->size() > held.value(best).size())
            best = it.key();
    }
    // Scaled from the sample to the rows being added, against all readable rows.
    const double share = best == 0 ? 0 : double(held.value(best).size()) / double(sample.size());
    if (share * double(adding.size()) * 2 <= double(readable))
        return {};
    for (const LedgerAccount& account : ledgerAccounts()) {
        if (account.id == best)
            return account.name;
    }
    return {};
}

QString heldElsewhereText(const QString& otherAccount, const QString& account)
{
    return QStringLiteral("Most of these rows are already in the ledger in the account \"%1\": imported into \"%2\" "
                          "as well, they would be there twice.")
        .arg(otherAccount, account);
}

} // namespace importing
