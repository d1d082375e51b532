#include "editor/EditConflict.h"

#include "data/Connection.h"
#include "data/SqlLiteral.h"
#include "platform/Conversions.h"

#include <QStringList>

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

QString shownDate(const QVariant& value, const QLocale& locale)
{
    if (value.typeId() == QMetaType::QDate)
        return locale.toString(value.toDate(), QLocale::ShortFormat);
    if (value.typeId() == QMetaType::QDateTime)
        return locale.toString(value.toDateTime(), QLocale::ShortFormat);
    return platform::valueText(value);
}

QString shownTaxable(const QVariant& value)
{
    return value.isValid() && value.toBool() ? QStringLiteral("Yes") : QStringLiteral("No");
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

QString conflictMessage(const StoredTransaction& read, const StoredTransaction& theirs, const TransactionValues& yours,
                        const QString& yourAccount, const QLocale& locale)
{
    QStringList lines;
    const auto line = [&](const QString& what, const QString& their, const QString& your) {
        lines << QStringLiteral("%1: theirs \"%2\", yours \"%3\"").arg(what, their, your);
    };
    if (theirs.date != read.date)
        line(QStringLiteral("Date"), shownDate(theirs.date, locale), locale.toString(yours.date, QLocale::ShortFormat));
    if (theirs.accountId != read.accountId || theirs.accountName != read.accountName)
        line(QStringLiteral("Account"), platform::valueText(theirs.accountName), yourAccount);
    if (theirs.description != read.description)
        line(QStringLiteral("Description"), platform::valueText(theirs.description), yours.description);
    if (theirs.withdrawal != read.withdrawal)
        line(QStringLiteral("Withdrawal"), amountText(theirs.withdrawal, locale), yours.withdrawal);
    if (theirs.deposit != read.deposit)
        line(QStringLiteral("Deposit"), amountText(theirs.deposit, locale), yours.deposit);
    if (theirs.taxable != read.taxable)
        line(QStringLiteral("Taxable"), shownTaxable(theirs.taxable), yours.taxable ? QStringLiteral("Yes") : QStringLiteral("No"));
    return QStringLiteral("Someone else changed this transaction after you opened it, so your changes were not "
                          "saved.\r\n\r\n")
        + lines.join(QStringLiteral("\r\n"))
        + QStringLiteral("\r\n\r\nTake their values? Yes shows their transaction in the window; No keeps your values "
                         "for you to save over theirs.");
}

QString accountGoneMessage(const QString& name)
{
    return QStringLiteral("The account \"%1\" no longer exists: someone else has deleted it. Nothing was saved; "
                          "choose another account.").arg(name);
}

QString changedElsewhereNotice(bool deleted)
{
    return deleted ? QStringLiteral("Someone else has deleted this transaction since you opened it.")
                   : QStringLiteral("Someone else has changed this transaction since you opened it. Saving shows "
                                    "their values beside yours.");
}

} // namespace editor
