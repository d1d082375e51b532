#include "platform/AppError.h"
#include "shell/ErrorTrap.h"
#include "tests/support/ScriptedDialogs.h"

#include <gtest/gtest.h>

using shell::ErrorTrap;
using testing_support::ScriptedDialogs;

namespace {
void fail(const char* what) { throw platform::AppError(QString::fromUtf8(what)); }
} // namespace

TEST(ErrorReport, TextIsExactToTheByte)
{
    EXPECT_EQ(shell::errorReportText(QStringLiteral("Type mismatch"), QStringLiteral("Form1"),
                                     QStringLiteral("Form_Load"), 162),
              QStringLiteral("Type mismatch\r\nin Tallyfold2021/08/31.Form1.Form_Load at line 162\r\r"
                             "Please email screenshot of this message to support@marlowick.example"));
}

TEST(ErrorReport, ShownAsExclamationTitledApplicationError)
{
    ScriptedDialogs dialogs;
    ErrorTrap trap(QStringLiteral("Form2"), QStringLiteral("PushButton2_Click"));
    QString sql = QStringLiteral("insert into x");
    trap.setSuffix([&] { return QStringLiteral("sql: ") + sql; });
    trap.run(118, [] { fail("no such table: x"); });
    ASSERT_EQ(dialogs.prompts().size(), 1u);
    const auto& p = dialogs.prompts().front();
    EXPECT_EQ(p.title, QStringLiteral("Application Error"));
    EXPECT_EQ(p.style, 48);
    EXPECT_TRUE(p.text.startsWith(QStringLiteral("no such table: x\r\nin Tallyfold2021/08/31.Form2.PushButton2_Click at line 118\r\r")));
    EXPECT_TRUE(p.text.endsWith(QStringLiteral("support@marlowick.examplesql: insert into x")));
}

TEST(ErrorTrap, FailingStatementReportsAndTheNextOneRuns)
{
    ScriptedDialogs dialogs;
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListData"));
    std::vector<int> ran;
    EXPECT_FALSE(trap.run(100, [&] { fail("boom"); }));
    EXPECT_TRUE(trap.run(102, [&] { ran.push_back(102); }));
    EXPECT_EQ(ran, std::vector<int>{102});
    EXPECT_EQ(dialogs.reportLines(), QStringList{QStringLiteral("Form1.ListData 100")});
}

TEST(ErrorTrap, FailingConditionalTestEntersTheBranch)
{
    ScriptedDialogs dialogs;
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton1_Click"));
    EXPECT_TRUE(trap.test(100, []() -> bool { fail("Object required"); return false; }));
    EXPECT_FALSE(trap.test(102, [] { return false; }));
    EXPECT_EQ(dialogs.reportLines(), QStringList{QStringLiteral("Form1.PushButton1_Click 100")});
}

TEST(ErrorTrap, FailingLoopTestStopsReadingAfterOneReport)
{
    ScriptedDialogs dialogs;
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("ListData"));
    int rounds = 0;
    while (trap.loop(110, [&]() -> bool { if (rounds == 2) fail("closed"); return true; }))
        ++rounds;
    EXPECT_EQ(rounds, 2);
    EXPECT_EQ(dialogs.reportLines(), QStringList{QStringLiteral("Form1.ListData 110")});
}
