#pragma once
// The SQL the transaction editor sends, built from plain values so the rules for
// each literal can be checked without a window: dates as #mm/dd/yyyy#, texts in
// single quotes with quotes doubled, amounts as plain SQL numbers.

#include <QDate>
#include <QLocale>
#include <QString>

namespace editor {

// One transaction as the editor writes it. The amounts are the texts the user typed.
struct TransactionValues {
    QDate date;
    QString description;
    qint32 accountId = 0;
    QString withdrawal;
    QString deposit;
    int taxable = 0;
};

// What an amount box holds once the user leaves it: the text as typed when it is a
// number in the user's locale, otherwise "0".
QString amountOnLeaving(const QString& text, const QLocale& locale = QLocale());

// An amount box's text as it goes into a statement. A text that already is a plain
// SQL number is kept character for character ("12.50"); a number written the
// locale's way ("1,234.50", "12,5") is rewritten as an exact plain one; anything else
// is 0. Typed text never reaches the SQL unchecked.
QString amountLiteral(const QString& text, const QLocale& locale = QLocale());

// Amounts are smaller than this in size: a ledger of a million of them still sums
// exactly to the cent, and no amount is infinite.
inline constexpr double kAmountLimit = 1e15;
// Why an amount box's text cannot be saved, "" when it can: a number of kAmountLimit
// or more in size, or one that is infinite or not a number ("1e400", "inf", "nan").
// Text that names no number at all is not refused: it counts as 0.
QString amountRefusal(const QString& text, const QLocale& locale = QLocale());

// An amount as the editor shows it: the shortest text that saves back as exactly the
// stored number, with the locale's decimal separator; Null as "0".
QString amountText(const QVariant& stored, const QLocale& locale = QLocale());

QString insertTransaction(const TransactionValues& values, const QLocale& locale = QLocale());
// transactionNumber is the list's text for the row, written unquoted.
QString updateTransaction(const TransactionValues& values, const QString& transactionNumber,
                          const QLocale& locale = QLocale());
// The transaction joined with its account, for filling the editor.
QString selectTransaction(const QString& transactionNumber);

QString selectAccounts();
// The account of that number, if it is there.
QString selectAccount(qint32 accountId);
QString insertAccount(const QString& name);
QString deleteAccount(qint32 accountId);
QString deleteAccountTransactions(qint32 accountId);
// How many transactions the account has, as the field "CountID".
QString countAccountTransactions(qint32 accountId);

} // namespace editor
