#pragma once
// A fresh ledger with the shared connection open and scripted dialogs, for the
// transaction editor's tests, plus an independent look at what the file really holds.

#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnvironment.h"

#include <QString>
#include <gtest/gtest.h>

namespace editor { class Form2; }

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override { env.openLedger(); }

    // Adds a row straight to the file and gives its key. `values` is the SQL list of
    // TransactionDate, TransactionDescription, AccountID, WithdrawalAmount, DepositAmount, Taxable.
    qint64 addAccount(const QString& name) { return env.addAccount(name); }
    qint64 addTransaction(const QString& values) { return env.addTransaction(values); }
    // The rows of a query on the working file: values joined by "|", rows by "; ", Null as "NULL".
    std::string rows(const QString& sql) const { return env.rows(sql); }

    // Shows the editor as the active window, so focus moves as it does for a user.
    static void showActive(editor::Form2& form);

    testing_support::TestEnvironment env;
    testing_support::ScriptedDialogs dialogs;
};
