#pragma once
// A fresh ledger with the shared connection open and scripted dialogs, for the
// transaction editor's tests; `env` also gives an independent look at what the file holds.

#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestEnvironment.h"

#include <QString>
#include <gtest/gtest.h>

namespace editor { class Form2; }

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override { env.openLedger(); }

    // Shows the editor as the active window, so focus moves as it does for a user.
    static void showActive(editor::Form2& form);

    testing_support::TestEnvironment env;
    testing_support::ScriptedDialogs dialogs;
};
