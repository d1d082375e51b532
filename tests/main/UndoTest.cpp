// Undo and redo from the main window: each command the user gives is one step, put
// back exactly and brought back again by the keys and the list's menu, even after a
// restart; a step another program overtook, or a damaged ledger, is refused with a
// message and changes nothing.
#include "tests/main/MainWindowFixture.h"

#include "data/Ledger.h"
#include "editor/Form2.h"
#include "shell/Dialogs.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QTest>

using platform::vbOK;
using platform::vbYes;

namespace {

// Everything an undo must put back: the rows of both tables and the auto-number
// counters.
const QString kLedgerState = QStringLiteral(
    "select 'A', AccountID, quote(AccountName) from Accounts "
    "union all select 'T', TransactionNumber, quote(TransactionDate) || quote(TransactionDescription) || "
    "quote(AccountID) || quote(WithdrawalAmount) || quote(DepositAmount) || quote(Taxable) from Transactions "
    "union all select 'S', name, seq from sqlite_sequence order by 1, 2");

// A menu entry's text without the key shown beside it.
QString entry(const QAction* action)
{
    return action->text().section(u'\t', 0, 0);
}

} // namespace

class Undo : public HouseholdTest {
protected:
    std::string state() const { return env.rows(kLedgerState); }

    // Opens the editor with `command` and lets `act` work in it; the editor is then
    // closed as cancelled unless `act` closed it.
    void inEditor(void (mainwindow::Form1::*command)(), const std::function<void(editor::Form2&)>& act)
    {
        whenModal([act](QWidget* w) {
            auto* editor = qobject_cast<editor::Form2*>(w);
            ASSERT_NE(editor, nullptr);
            act(*editor);
            if (!editor->isUnloaded())
                editor->reject();
        });
        (form.*command)();
        ASSERT_TRUE(modalSeen());
    }
};

TEST_F(Undo, EachCommandIsOneStepUndoneAndRedoneWithTheFileAsItWas)
{
    add("rent", "500");
    add("coffee", "3");
    const qint64 travel = env.addAccount(QStringLiteral("Travel"));
    env.addTransaction(transactionValues(QStringLiteral("train"), travel, QStringLiteral("40"), QStringLiteral("0")));
    env.addTransaction(transactionValues(QStringLiteral("hotel"), travel, QStringLiteral("90"), QStringLiteral("0")));
    start();
    struct Command {
        const char* label;
        std::function<void()> give;
    };
    const Command commands[] = {
        {"Delete transaction 2", [&] {
             form.ListView1->setCurrentRow(1);
             form.PushButton3_Click();
         }},
        {"Duplicate transaction 1", [&] {
             form.ListView1->setCurrentRow(0);
             form.PushButton4_Click();
         }},
        {"Add transaction", [&] {
             dialogs.answerMessage(vbOK);   // "Record Successfully Saved"
             inEditor(&mainwindow::Form1::PushButton2_Click, [](editor::Form2& editor) {
                 editor.Combo1->setCurrentIndex(0);
                 editor.Text1->setText(QStringLiteral("new"));
                 editor.PushButton2_Click();
             });
         }},
        {"Edit transaction 1", [&] {
             form.ListView1->setCurrentRow(0);
             dialogs.answerMessage(vbOK);
             inEditor(&mainwindow::Form1::PushButton1_Click, [](editor::Form2& editor) {
                 editor.Text3->setText(QStringLiteral("7.25"));
                 editor.PushButton2_Click();
             });
         }},
        {"Add account Loans", [&] {
             dialogs.answerInput(QStringLiteral("Loans"));
             inEditor(&mainwindow::Form1::PushButton2_Click, [](editor::Form2& editor) { editor.PushButton5_Click(); });
         }},
        {"Delete account Travel and 2 transactions", [&] {
             dialogs.answerMessage(vbYes);
             inEditor(&mainwindow::Form1::PushButton2_Click, [](editor::Form2& editor) {
                 editor.Combo1->setCurrentIndex(editor.Combo1->findText(QStringLiteral("Travel")));
                 editor.PushButton6_Click();
             });
         }},
        {"Load example data", [&] { form.PushButton7_Click(); }},
    };
    for (const Command& command : commands) {
        SCOPED_TRACE(command.label);
        const std::string before = state();
        const int rows = form.ListView1->count();
        command.give();
        const std::string after = state();
        ASSERT_NE(after, before);
        const int rowsAfter = form.ListView1->count();
        form.updateListMenu();
        EXPECT_EQ(entry(form.mnuUndo), QStringLiteral("Undo ") + QLatin1String(command.label));

        form.mnuUndo_Click();
        EXPECT_EQ(state(), before);
        EXPECT_EQ(form.ListView1->count(), rows) << "the list is reloaded";
        form.updateListMenu();
        EXPECT_EQ(entry(form.mnuRedo), QStringLiteral("Redo ") + QLatin1String(command.label));
        form.mnuRedo_Click();
        EXPECT_EQ(state(), after);
        EXPECT_EQ(form.ListView1->count(), rowsAfter);
        form.mnuUndo_Click();   // the next command starts from the same ledger
    }
    EXPECT_TRUE(dialogs.reports().isEmpty()) << dialogs.reports().join(u'\n').toStdString();
}

TEST_F(Undo, TheKeysAndTheListsMenuWorkTheHistoryOnScreen)
{
    add("rent", "500");
    add("coffee", "3");
    start();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    QApplication::setActiveWindow(&form);
    form.ListView1->setFocus();

    // Nothing done yet: nothing offered, and the keys do nothing.
    form.updateListMenu();
    EXPECT_EQ(entry(form.mnuUndo), "Undo");
    EXPECT_FALSE(form.mnuUndo->isEnabled());
    EXPECT_FALSE(form.mnuRedo->isEnabled());
    form.Label1->setText(QStringLiteral("not reloaded"));
    QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form.Label1->text(), "not reloaded");

    // The menu's transaction commands are the buttons' own.
    form.ListView1->setCurrentRow(1);
    form.mnuDelete->trigger();
    EXPECT_EQ(column(3), QStringList{"rent"});
    form.mnuDuplicate->trigger();
    EXPECT_EQ(column(3), (QStringList{"rent", "rent"}));
    form.updateListMenu();
    EXPECT_EQ(form.mnuUndo->text(), "Undo Duplicate transaction 1\tCtrl+Z");
    EXPECT_TRUE(form.mnuUndo->isEnabled());
    EXPECT_EQ(entry(form.mnuEdit), "Edit Selected");
    EXPECT_EQ(entry(form.mnuAdd), "Add New");
    EXPECT_EQ(entry(form.mnuRestore), QStringLiteral("Restore a Backup") + QChar(0x2026));

    QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(column(3), (QStringList{"rent", "coffee"}));
    QTest::keyClick(&form, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(column(3), QStringList{"rent"});
    QTest::keyClick(&form, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(column(3), (QStringList{"rent", "rent"}));

    // A right-click and the Menu key (which the desktop turns into a context-menu
    // request from the keyboard) both open the menu, naming the steps.
    const QPoint onFirstRow = form.ListView1->viewport()->mapTo(&form, form.ListView1->visualRect(
        form.ListView1->items().index(0, 3)).center());
    QTest::mouseClick(form.windowHandle(), Qt::RightButton, {}, onFirstRow);
    EXPECT_TRUE(form.mnuList->isVisible());
    EXPECT_EQ(entry(form.mnuUndo), "Undo Duplicate transaction 1");
    EXPECT_EQ(entry(form.mnuRedo), "Redo");
    form.mnuList->hide();
    const QPoint corner(4, 4);
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, corner, form.ListView1->viewport()->mapToGlobal(corner));
    QApplication::sendEvent(form.ListView1->viewport(), &menuKey);
    EXPECT_TRUE(form.mnuList->isVisible());
    form.mnuList->hide();
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Undo, AStepIsUndoneAfterARestartAndANewChangeClearsTheRedo)
{
    add("rent", "500");
    const qint64 coffee = add("coffee", "3");
    start();
    const std::string before = state();
    form.ListView1->setCurrentRow(1);
    form.PushButton3_Click();
    form.PushButton4_Click();
    closeWindow(form);

    mainwindow::Form1 again;
    again.Form_Load();
    again.mnuUndo_Click();
    again.updateListMenu();
    EXPECT_EQ(entry(again.mnuUndo), QStringLiteral("Undo Delete transaction %1").arg(coffee));
    again.mnuUndo_Click();
    EXPECT_EQ(state(), before);
    EXPECT_EQ(again.ListView1->count(), 2);
    again.updateListMenu();
    EXPECT_EQ(entry(again.mnuRedo), QStringLiteral("Redo Delete transaction %1").arg(coffee));
    again.PushButton4_Click();
    again.updateListMenu();
    EXPECT_FALSE(again.mnuRedo->isEnabled());
    again.mnuRedo_Click();
    EXPECT_EQ(again.ListView1->count(), 3);
    EXPECT_TRUE(dialogs.prompts().empty());
    closeWindow(again);
}

TEST_F(Undo, AStepAnotherProgramOvertookIsRefusedAndTheOneBeforeStillUndoes)
{
    add("rent", "500");
    add("coffee", "3");
    start();
    form.PushButton4_Click();                       // duplicates rent as 3
    form.ListView1->setCurrentRow(1);
    form.PushButton3_Click();                       // deletes coffee
    env.sqlite(QStringLiteral("insert into Transactions (TransactionNumber,TransactionDate,TransactionDescription,"
                              "AccountID,WithdrawalAmount,DepositAmount,Taxable) values (2,%1)")
                   .arg(transactionValues(QStringLiteral("theirs"), account, QStringLiteral("1"), QStringLiteral("0"))));
    const std::string before = state();
    dialogs.answerMessage(vbOK);
    form.mnuUndo_Click();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages()[0],
              "\"Delete transaction 2\" cannot be undone: transaction 2 has been changed since by another copy of "
              "Tallyfold or another program."
              "\r\n\r\nNothing was changed. The step has been taken out of the undo history.");
    EXPECT_EQ(dialogs.prompts()[0].style, platform::vbExclamation);
    EXPECT_EQ(state(), before);
    form.updateListMenu();
    EXPECT_EQ(entry(form.mnuUndo), "Undo Duplicate transaction 1");
    form.mnuUndo_Click();
    EXPECT_EQ(column(3), (QStringList{"rent", "theirs"}));
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(Undo, ADamagedLedgerRefusesUndoWithTheMessageEveryChangeGets)
{
    // Rows enough to span many pages, one of which will be lost.
    env.sqlite(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < 3000) "
                              "insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                              "WithdrawalAmount,DepositAmount,Taxable) select '2024-01-01', 'row ' || i, %1, 1, 0, 0 "
                              "from n").arg(account));
    start();
    form.PushButton4_Click();   // a step to undo
    closeWindow(form);
    testing_support::zeroPage(env.workingDatabase(), std::stoi(env.rows(QStringLiteral(
        "select pageno from dbstat where name = 'Transactions' and pagetype = 'leaf' order by pageno limit 1 offset 10"))));
    mainwindow::Form1 again;
    dialogs.answerMessage(vbOK);   // the damage, told once at start-up
    again.Form_Load();
    ASSERT_EQ(data::ledgerProblem(), platform::FileProblem::Damaged);
    const QString notice = dialogs.messages().value(0);
    dialogs.clear();
    dialogs.answerMessage(vbOK);
    again.mnuUndo_Click();
    EXPECT_EQ(dialogs.messages(), QStringList{notice});
    dialogs.clear();
    dialogs.answerMessage(vbOK);
    again.mnuRedo_Click();
    EXPECT_EQ(dialogs.messages(), QStringList{notice});
    EXPECT_TRUE(dialogs.reports().isEmpty());
    closeWindow(again);
}
