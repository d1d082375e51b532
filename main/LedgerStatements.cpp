#include "main/LedgerStatements.h"

#include "data/SqlLiteral.h"
#include "platform/Conversions.h"
#include "data/sqlite/JetSql.h"

#include <QDateTime>

namespace mainwindow::statements {

QString deleteTransaction(const QString& number)
{
    return QStringLiteral("delete from [Transactions] where TransactionNumber=") + number;
}

QString selectTransaction(const QString& number)
{
    return QStringLiteral("select * from Transactions where TransactionNumber=") + number;
}

QString duplicateInsert(const data::Recordset& rs)
{
    const QVariant taxable = rs.Fields(u"Taxable").Value();
    return data::sql::kInsertTransaction + u'#' + data::sql::jetDate(rs.Fields(u"TransactionDate").Value())
        + QStringLiteral("#,'") + data::sql::quoted(platform::valueText(rs.Fields(u"TransactionDescription").Value()))
        + QStringLiteral("',") + platform::valueText(rs.Fields(u"AccountID").Value()) + u','
        + data::sql::amount(rs.Fields(u"WithdrawalAmount").Value()) + u','
        + data::sql::amount(rs.Fields(u"DepositAmount").Value()) + u','
        + (taxable.isValid() && taxable.toBool() ? u'1' : u'0') + u')';
}

QString countAccounts()
{
    return QStringLiteral("SELECT Count(Accounts.AccountID) AS [CountID] From Accounts");
}

QString sampleAccountId(const char* aggregate)
{
    return QStringLiteral("SELECT %1(Accounts.AccountID) AS [MaxID] FROM Accounts").arg(QLatin1String(aggregate));
}

QString insertSampleAccount(const char* name)
{
    return QStringLiteral("insert into [Accounts] (AccountName) values ('") + QString::fromLatin1(name)
        + QStringLiteral("')");
}

QString sampleInsert(const QString& dateText, const QString& description, qint32 account, int withdrawal,
                     int deposit)
{
    return data::sql::kInsertTransaction + QStringLiteral("cdate(\"") + dateText + QStringLiteral("\"),'") + description
        + QStringLiteral("',") + QString::number(account) + u',' + QString::number(withdrawal) + u','
        + QString::number(deposit) + u',' + u'0' + u')';
}

QString sampleDateText(const QDate& today)
{
    const QString text = platform::dateText(today);
    // cdate("...") reads its text in the user's date format first, as the database would.
    const auto read = platform::jet::parseLocaleDate(text);
    if (read && read->typeId() == QMetaType::QDate && read->toDate() == today)
        return text;
    return today.toString(Qt::ISODate);
}

} // namespace mainwindow::statements
