#pragma once
// A fresh ledger with the shared connection open and scripted dialogs, for the
// transaction editor's tests; `env` also gives an independent look at what the file holds.

#include "tests/support/ModalWindow.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/LedgerEnvironment.h"

#include <QString>
#include <functional>
#include <gtest/gtest.h>

namespace editor { class Form2; }

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override { env.openLedger(); }

    // Shows the editor as the active window, so focus moves as it does for a user.
    static void showActive(editor::Form2& form);
    // Acts on the editor from inside its modal loop, as a user would.
    void whenModal(std::function<void(editor::Form2&)> act);

    testing_support::LedgerEnvironment env;
    testing_support::ScriptedDialogs dialogs;
    testing_support::ModalWindow modal;
};
