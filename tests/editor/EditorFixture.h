#pragma once
// A fresh ledger with the shared connection open and scripted dialogs, for the
// transaction editor's tests, plus a second, independent view of the file to check
// what was really stored.

#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnvironment.h"

#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace editor { class Form2; }

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Adds an account straight to the file; gives its AccountID.
    qint64 addAccount(const QString& name);
    // Adds a transaction straight to the file; `values` lists TransactionDate,
    // TransactionDescription, AccountID, WithdrawalAmount, DepositAmount, Taxable as SQL.
    qint64 addTransaction(const QString& values);
    // Rows of a query on the working file, every value as text and Null as "NULL".
    QList<QStringList> query(const QString& sql) const;
    QString scalar(const QString& sql) const;
    int count(const QString& table) const;

    // Shows the editor and makes it the active window, so focus moves as for a user.
    static void showActive(editor::Form2& form);

    testing_support::TestEnvironment env;
    testing_support::ScriptedDialogs dialogs;
};
