#include "platform/AppError.h"
#include "shell/ErrorTrap.h"
#include "tests/support/ScriptedDialogs.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using shell::ErrorTrap;
using testing_support::ScriptedDialogs;

namespace {
void fail(const char* what) { throw platform::AppError(QString::fromUtf8(what)); }
} // namespace

TEST(ErrorReport, ShownToTheByteAsAnExclamationTitledApplicationError)
{
    ScriptedDialogs dialogs;
    dialogs.expectReport("Form2.PushButton2_Click 118");
    ErrorTrap trap(QStringLiteral("Form2"), QStringLiteral("PushButton2_Click"));
    trap.setSuffix([] { return QStringLiteral("sql: insert into x"); });
    trap.run(118, [] { fail("no such table: x"); });
    ASSERT_EQ(dialogs.prompts().size(), 1u);
    const auto& p = dialogs.prompts().front();
    EXPECT_EQ(p.title, QStringLiteral("Application Error"));
    EXPECT_EQ(p.style, 48);
    EXPECT_EQ(p.text, QStringLiteral("no such table: x\r\nin Tallyfold2021/08/31.Form2.PushButton2_Click at line 118\r\r"
                                     "Please email screenshot of this message to support@marlowick.examplesql: insert into x"));
}

TEST(ErrorTrap, AFailureReportsOnceAndTheProcedureGoesOn)
{
    ScriptedDialogs dialogs;
    dialogs.expectReports({"Form1.ListData 100", "Form1.ListData 104", "Form1.ListData 110"});
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListData"));
    // A failing statement: the next one still runs.
    EXPECT_FALSE(trap.run(100, [] { fail("boom"); }));
    bool ran = false;
    EXPECT_TRUE(trap.run(102, [&] { ran = true; }));
    EXPECT_TRUE(ran);
    // A failing conditional test goes into the conditional.
    EXPECT_TRUE(trap.test(104, []() -> bool { fail("Object required"); return false; }));
    EXPECT_FALSE(trap.test(106, [] { return false; }));
    // A failing loop test reports once and stops reading.
    int rounds = 0;
    while (trap.loop(110, [&]() -> bool { if (rounds == 2) fail("closed"); return true; }))
        ++rounds;
    EXPECT_EQ(rounds, 2);
}

TEST(ScriptedReports, AReportNobodyExpectedOneThatNeverCameOrAnAnswerNobodyTookFailsTheTest)
{
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            ErrorTrap(QStringLiteral("Form1"), QStringLiteral("ListData")).run(104, [] { fail("closed"); });
        },
        "unexpected report Form1.ListData 104");
    // Another report before the one expected is no stand-in for it.
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            dialogs.expectReport("Form1.ListData 104");
            ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListData"));
            trap.run(100, [] { fail("first"); });
            trap.run(104, [] { fail("second"); });
        },
        "unexpected report Form1.ListData 100 (expected Form1.ListData 104)");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            dialogs.expectReport("Form1.ListData 104");
        },
        "expected report never came: Form1.ListData 104");
    // An answer meant for a report is one nobody asks for.
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedDialogs dialogs;
            dialogs.answerMessage(platform::vbOK);
            dialogs.expectReport("Form1.ListData 104");
            ErrorTrap(QStringLiteral("Form1"), QStringLiteral("ListData")).run(104, [] { fail("closed"); });
        },
        "answers scripted for prompts that never came: 1 message");
}
