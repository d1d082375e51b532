#include "editor/EditConflict.h"

#include "data/Connection.h"
#include "data/SqlLiteral.h"
#include "platform/Conversions.h"

#include <QStringList>
#include <algorithm>

namespace editor {

namespace {
// A stored value as the comparison in a where clause: Null matches only Null.
QString matching(const char* column, const QVariant& value)
{
    const QString name = QString::fromLatin1(column);
    if (!value.isValid() || value.isNull())
        return name + QStringLiteral(" is null");
    return name + u'=' + data::sql::valueLiteral(value);
}

} // namespace

StoredTransaction storedTransaction(const data::Recordset& rs)
{
    return {rs.Fields(u"TransactionDate").Value(),  rs.Fields(u"TransactionDescription").Value(),
            rs.Fields(u"AccountID").Value(),        rs.Fields(u"AccountName").Value(),
            rs.Fields(u"WithdrawalAmount").Value(), rs.Fields(u"DepositAmount").Value(),
            rs.Fields(u"Taxable").Value()};
}

QString updateTransactionIfUnchanged(const TransactionValues& values, const QString& transactionNumber,
                                     const StoredTransaction& read, const QLocale& locale)
{
    // A yes/no read as false may be stored Null: both mean No to the editor.
    const QString taxable = read.taxable.isValid() && read.taxable.toBool()
        ? QStringLiteral("Taxable=True")
        : QStringLiteral("(Taxable=False or Taxable is null)");
    return updateTransaction(values, transactionNumber, locale) + QStringLiteral(" and ")
        + QStringList{matching("TransactionDate", read.date), matching("TransactionDescription", read.description),
                      matching("AccountID", read.accountId), matching("WithdrawalAmount", read.withdrawal),
                      matching("DepositAmount", read.deposit), taxable}
              .join(QStringLiteral(" and "));
}

namespace {

QDate dateOf(const QVariant& stored)
{
    if (stored.typeId() == QMetaType::QDateTime)
        return stored.toDateTime().date();
    return stored.typeId() == QMetaType::QDate ? stored.toDate() : QDate();
}

QString textOf(const QVariant& stored)
{
    return stored.isValid() && !stored.isNull() ? platform::valueText(stored) : QString();
}

// An amount as a save stores it: what the box's text is written as, Null as 0.
double amountOf(const QString& typed, const QLocale& locale)
{
    return amountLiteral(typed, locale).toDouble();
}

double amountOf(const QVariant& stored)
{
    return stored.isValid() && !stored.isNull() ? platform::toDouble(stored) : 0.0;
}

bool taxableOf(const QVariant& stored)
{
    return stored.isValid() && stored.toBool();
}

// Whether the editor's values hold the stored row's value of `field`, as a save would
// write it.
bool holds(Field field, const TransactionValues& v, const StoredTransaction& row, const QLocale& locale)
{
    switch (field) {
    case Field::Date: return dateOf(row.date).isValid() && v.date == dateOf(row.date);
    case Field::Account: return row.accountId.isValid() && v.accountId == row.accountId.toLongLong();
    case Field::Description: return v.description == textOf(row.description);
    case Field::Withdrawal: return amountOf(v.withdrawal, locale) == amountOf(row.withdrawal);
    case Field::Deposit: return amountOf(v.deposit, locale) == amountOf(row.deposit);
    case Field::Taxable: return (v.taxable != 0) == taxableOf(row.taxable);
    }
    return false;
}

QVariant storedValue(Field field, const StoredTransaction& row)
{
    switch (field) {
    case Field::Date: return row.date;
    case Field::Account: return row.accountId;
    case Field::Description: return row.description;
    case Field::Withdrawal: return row.withdrawal;
    case Field::Deposit: return row.deposit;
    case Field::Taxable: return row.taxable;
    }
    return {};
}

constexpr Field kFields[] = {Field::Date,       Field::Account, Field::Description,
                             Field::Withdrawal, Field::Deposit, Field::Taxable};

void take(Field field, TransactionValues& into, const TransactionValues& from)
{
    switch (field) {
    case Field::Date: into.date = from.date; break;
    case Field::Account: into.accountId = from.accountId; break;
    case Field::Description: into.description = from.description; break;
    case Field::Withdrawal: into.withdrawal = from.withdrawal; break;
    case Field::Deposit: into.deposit = from.deposit; break;
    case Field::Taxable: into.taxable = from.taxable; break;
    }
}

} // namespace

EditMerge mergeEdit(const StoredTransaction& read, const StoredTransaction& theirs, const TransactionValues& yours,
                    const QLocale& locale)
{
    EditMerge merge;
    merge.yours = yours;
    // Their row as the editor would write it; a date that is no date stays the user's.
    const QDate theirDate = dateOf(theirs.date);
    merge.theirs = TransactionValues{theirDate.isValid() ? theirDate : yours.date,
                                     textOf(theirs.description),
                                     theirs.accountId.isValid() ? qint32(theirs.accountId.toLongLong()) : yours.accountId,
                                     amountText(theirs.withdrawal, locale),
                                     amountText(theirs.deposit, locale),
                                     taxableOf(theirs.taxable) ? 1 : 0};
    for (const Field field : kFields) {
        const bool yoursChanged = !holds(field, yours, read, locale);
        const bool theirsChanged = storedValue(field, theirs) != storedValue(field, read);
        if (yoursChanged)
            merge.mine.push_back(field);
        if (yoursChanged && theirsChanged && !holds(field, yours, theirs, locale))
            merge.conflicts.push_back(field);
    }
    return merge;
}

TransactionValues EditMerge::merged(bool yoursOnConflict) const
{
    TransactionValues out = theirs;
    for (const Field field : mine) {
        const bool conflict = std::find(conflicts.begin(), conflicts.end(), field) != conflicts.end();
        if (!conflict || yoursOnConflict)
            take(field, out, yours);
    }
    return out;
}

QString conflictMessage(const EditMerge& merge, const QString& theirAccount, const QString& yourAccount,
                        const QLocale& locale)
{
    QStringList lines;
    const auto line = [&](const QString& what, const QString& their, const QString& your) {
        lines << QStringLiteral("%1: theirs \"%2\", yours \"%3\"").arg(what, their, your);
    };
    const auto yesNo = [](int taxable) { return taxable ? QStringLiteral("Yes") : QStringLiteral("No"); };
    const TransactionValues& t = merge.theirs;
    const TransactionValues& y = merge.yours;
    for (const Field field : merge.conflicts) {
        switch (field) {
        case Field::Date:
            line(QStringLiteral("Date"), locale.toString(t.date, QLocale::ShortFormat),
                 locale.toString(y.date, QLocale::ShortFormat));
            break;
        case Field::Account: line(QStringLiteral("Account"), theirAccount, yourAccount); break;
        case Field::Description: line(QStringLiteral("Description"), t.description, y.description); break;
        case Field::Withdrawal: line(QStringLiteral("Withdrawal"), t.withdrawal, y.withdrawal); break;
        case Field::Deposit: line(QStringLiteral("Deposit"), t.deposit, y.deposit); break;
        case Field::Taxable: line(QStringLiteral("Taxable"), yesNo(t.taxable), yesNo(y.taxable)); break;
        }
    }
    return QStringLiteral("Someone else changed this transaction after you opened it, and changed %1 you changed "
                          "too:\r\n\r\n")
               .arg(merge.conflicts.size() == 1 ? QStringLiteral("a field") : QStringLiteral("fields"))
        + lines.join(QStringLiteral("\r\n"))
        + QStringLiteral("\r\n\r\nKeep yours there? Yes saves yours; No saves theirs. Either way your other changes "
                         "and theirs are saved together.");
}

QString accountGoneMessage(const QString& name)
{
    return QStringLiteral("The account \"%1\" no longer exists: someone else has deleted it. Nothing was saved; "
                          "choose another account.").arg(name);
}

QString changedElsewhereNotice(bool deleted)
{
    return deleted ? QStringLiteral("Someone else has deleted this transaction since you opened it.")
                   : QStringLiteral("Someone else has changed this transaction since you opened it. Saving keeps "
                                    "their changes and yours, and asks about a field you both changed.");
}

} // namespace editor
