// The names of undo steps as the list's menu shows them.
#include "data/StepNames.h"

#include <gtest/gtest.h>

namespace steps = data::steps;

TEST(StepNames, EachCommandNamesItsStepOnOneShortLine)
{
    struct Case { QString name; const char* expected; };
    const Case cases[] = {
        {steps::addTransaction(), "Add transaction"},
        {steps::editTransaction(QStringLiteral("42")), "Edit transaction 42"},
        {steps::deleteTransaction(QStringLiteral("42")), "Delete transaction 42"},
        {steps::duplicateTransaction(QStringLiteral("7")), "Duplicate transaction 7"},
        {steps::addAccount(QStringLiteral("Joe's Diner")), "Add account Joe's Diner"},
        {steps::deleteAccount(QStringLiteral("Loans"), 12), "Delete account Loans and 12 transactions"},
        {steps::deleteAccount(QStringLiteral("Loans"), 1), "Delete account Loans and 1 transaction"},
        {steps::deleteAccount(QStringLiteral("Loans"), 0), "Delete account Loans"},
        {steps::deleteAccount(QStringLiteral("Loans"), -1), "Delete account Loans and its transactions"},
        {steps::deleteAccount(QStringLiteral("Loans"), 1234567), "Delete account Loans and 1,234,567 transactions"},
        {steps::exampleData(), "Load example data"},
        {steps::importStatement(212, QStringLiteral("statement.ofx")), "Import 212 transactions from statement.ofx"},
        {steps::importStatement(1, QStringLiteral("a.csv")), "Import 1 transaction from a.csv"},
        {steps::importStatement(100000, QStringLiteral("Kontoauszug\n2024 mit einem sehr langen Namen f\u00fcr den Export.csv")),
         "Import 100,000 transactions from Kontoauszug 2024 mit einem sehr langen\u2026"},
        // Names typed over several lines, with spaces around, or too long for a menu.
        {steps::addAccount(QStringLiteral("  Car\r\n\tloan  ")), "Add account Car loan"},
        {steps::addAccount(QString(60, u'x')), "Add account xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\u2026"},
        // A character outside the basic plane is never cut in half.
        {steps::addAccount(QString(38, u'x') + QString::fromUtf8("\xF0\x9F\x92\xB0") + QStringLiteral("yyyy")),
         "Add account xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\u2026"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.name, QString::fromUtf8(c.expected));
}
