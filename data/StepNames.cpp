#include "data/StepNames.h"

#include <QLocale>

namespace data::steps {

namespace {
constexpr int kLongestName = 40;
} // namespace

QString addTransaction()
{
    return QStringLiteral("Add transaction");
}

QString editTransaction(const QString& number)
{
    return QStringLiteral("Edit transaction ") + number;
}

QString deleteTransaction(const QString& number)
{
    return QStringLiteral("Delete transaction ") + number;
}

QString duplicateTransaction(const QString& number)
{
    return QStringLiteral("Duplicate transaction ") + number;
}

QString addAccount(const QString& name)
{
    return QStringLiteral("Add account ") + shortName(name);
}

QString deleteAccount(const QString& name, long long transactions)
{
    const QString account = QStringLiteral("Delete account ") + shortName(name);
    if (transactions < 0)
        return account + QStringLiteral(" and its transactions");
    if (transactions == 0)
        return account;
    return account + QStringLiteral(" and ") + QLocale().toString(transactions)
        + (transactions == 1 ? QStringLiteral(" transaction") : QStringLiteral(" transactions"));
}

QString exampleData()
{
    return QStringLiteral("Load example data");
}

QString importStatement(long long transactions, const QString& fileName)
{
    return QStringLiteral("Import ") + QLocale().toString(transactions)
        + (transactions == 1 ? QStringLiteral(" transaction from ") : QStringLiteral(" transactions from "))
        + shortName(fileName);
}

QString shortName(const QString& name)
{
    QString shown = name.simplified();
    if (shown.size() > kLongestName) {
        shown.truncate(kLongestName - 1);
        // Never half a character: a cut surrogate pair loses both halves.
        if (!shown.isEmpty() && shown.back().isHighSurrogate())
            shown.chop(1);
        shown = shown.trimmed() + QChar(0x2026);
    }
    return shown;
}

} // namespace data::steps
