#include "editor/TransactionStatements.h"

#include "data/SqlLiteral.h"
#include "platform/Conversions.h"

#include <cmath>
#include <cstdlib>

namespace editor {

QString amountOnLeaving(const QString& text, const QLocale& locale)
{
    return platform::isNumeric(text, locale) ? text : QStringLiteral("0");
}

QString amountLiteral(const QString& text, const QLocale& locale)
{
    const auto value = platform::parseNumber(text, locale);
    if (!value)
        return QStringLiteral("0");
    // parseNumber also refuses numbers too large to store, so a plain text kept
    // here is always one the database reads as a finite number.
    if (platform::isPlainNumber(text))
        return text;
    return data::sql::numberLiteral(*value);
}

QString amountRefusal(const QString& text, const QLocale& locale)
{
    const QString trimmed = text.trimmed();
    bool outOfRange = false;
    if (const auto value = platform::parseNumber(trimmed, locale)) {
        outOfRange = std::fabs(*value) >= kAmountLimit;
    } else if (platform::isPlainNumber(trimmed)) {
        outOfRange = std::isinf(std::strtod(trimmed.toLatin1().constData(), nullptr));   // "1e400"
    } else {
        // The words the locale reads as an infinity or as not-a-number.
        bool ok = false;
        const double spelt = locale.toDouble(trimmed, &ok);
        outOfRange = ok && !std::isfinite(spelt);
    }
    if (!outOfRange)
        return {};
    return QStringLiteral("The amount \"%1\" cannot be saved: an amount must be a number smaller than "
                          "1,000,000,000,000,000 (a million billion) in size.").arg(trimmed);
}

QString amountText(const QVariant& stored, const QLocale& locale)
{
    if (!stored.isValid())
        return QStringLiteral("0");
    const double value = platform::toDouble(stored);
    QString text = data::sql::numberLiteral(value);
    if (!platform::isPlainNumber(text))   // a product, for a number near 1e-300: show it plainly
        text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    return text.replace(u'.', locale.decimalPoint());
}

QString insertTransaction(const TransactionValues& v, const QLocale& locale)
{
    return data::sql::kInsertTransaction + u'#' + data::sql::jetDate(v.date) + QStringLiteral("#,'") + data::sql::quoted(v.description)
        + QStringLiteral("',") + QString::number(v.accountId) + u',' + amountLiteral(v.withdrawal, locale) + u','
        + amountLiteral(v.deposit, locale) + u',' + QString::number(v.taxable) + u')';
}

QString updateTransaction(const TransactionValues& v, const QString& transactionNumber, const QLocale& locale)
{
    return QStringLiteral("update Transactions set TransactionDate=#") + data::sql::jetDate(v.date)
        + QStringLiteral("#,TransactionDescription='") + data::sql::quoted(v.description)
        + QStringLiteral("',AccountID=") + QString::number(v.accountId) + QStringLiteral(",WithdrawalAmount=")
        + amountLiteral(v.withdrawal, locale) + QStringLiteral(",DepositAmount=") + amountLiteral(v.deposit, locale)
        + QStringLiteral(",Taxable=") + QString::number(v.taxable) + QStringLiteral(" where TransactionNumber=")
        + transactionNumber;
}

QString selectTransaction(const QString& transactionNumber)
{
    return QStringLiteral("select * from Transactions a inner join Accounts b on b.AccountID=a.AccountID "
                          "where TransactionNumber=")
        + transactionNumber;
}

QString selectAccounts()
{
    return QStringLiteral("select * from Accounts order by AccountName");
}

QString selectAccount(qint32 accountId)
{
    return QStringLiteral("select AccountID from Accounts where AccountID=") + QString::number(accountId);
}

QString insertAccount(const QString& name)
{
    return QStringLiteral("insert into Accounts (AccountName) values ('") + data::sql::quoted(name)
        + QStringLiteral("')");
}

QString deleteAccount(qint32 accountId)
{
    return QStringLiteral("delete from Accounts where AccountID=") + QString::number(accountId);
}

QString deleteAccountTransactions(qint32 accountId)
{
    return QStringLiteral("delete from Transactions where AccountID=") + QString::number(accountId);
}

QString countAccountTransactions(qint32 accountId)
{
    return QStringLiteral("select Count(*) AS [CountID] from Transactions where AccountID=") + QString::number(accountId);
}

} // namespace editor
