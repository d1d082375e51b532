// A transaction changed by someone else while the editor has it open: here another
// program writing the same ledger file, which is what a second desktop is to a server
// ledger (EditMergeTest has both, with another copy in a process of its own).
#include "editor/Form2.h"

#include "tests/editor/EditorFixture.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using editor::Form2;
using platform::vbOK;
using platform::vbYes;

namespace {
class EditConflictTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        bank = env.addAccount(QStringLiteral("Bank"));
        id = env.addTransaction(QStringLiteral("'2024-03-05','Rent',%1,700,NULL,0").arg(bank));
        form.m_ID = QString::number(id);
        form.Form_Load();
    }
    std::string row() const
    {
        return env.rows(QStringLiteral("select TransactionDescription, WithdrawalAmount, Taxable from Transactions"));
    }

    qint64 bank = 0, id = 0;
    Form2 form;
};
} // namespace

TEST_F(EditConflictTest, ASaveOverTheirChangeAsksOnlyAboutTheFieldBothChangedAndKeepsTheRest)
{
    env.sqlite(QStringLiteral("update Transactions set WithdrawalAmount = 725, TransactionDescription = 'Rent March'"));
    form.Text1->setText(QStringLiteral("Rent (March)"));
    form.Option1->setChecked(true);
    dialogs.answerMessage(vbYes);   // yours where both changed
    dialogs.answerMessage(vbOK);
    form.PushButton2->click();
    ASSERT_EQ(dialogs.messages().size(), 2);
    const QString asked = dialogs.messages().first();
    EXPECT_TRUE(asked.contains(QStringLiteral("Description: theirs \"Rent March\", yours \"Rent (March)\""))) << qPrintable(asked);
    EXPECT_FALSE(asked.contains(QStringLiteral("Withdrawal:")));   // only theirs changed it
    EXPECT_FALSE(asked.contains(QStringLiteral("Taxable:")));      // only yours
    EXPECT_EQ(dialogs.prompts().front().style, platform::vbYesNo | platform::vbQuestion);
    EXPECT_EQ(row(), "Rent (March)|725.0|1");
    EXPECT_TRUE(form.isUnloaded());
    // One step, the user's edit, undoes to the row as they left it.
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from UndoSteps")), "1");
}

TEST_F(EditConflictTest, TheirChangeToAnotherFieldIsKeptSilentlyAndADeletedRowIsNeverWrittenBack)
{
    env.sqlite(QStringLiteral("update Transactions set Taxable = 1"));
    form.Text2->setText(QStringLiteral("1"));
    dialogs.answerMessage(vbOK);
    form.PushButton2->click();
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Record Successfully Saved")});
    EXPECT_EQ(row(), "Rent|1.0|1");

    Form2 again;
    again.m_ID = form.m_ID;
    again.Form_Load();
    env.sqlite(QStringLiteral("delete from Transactions"));
    again.othersChanged();
    ASSERT_TRUE(again.changedNotice() && again.changedNotice()->isVisibleTo(&again));
    EXPECT_TRUE(again.changedNotice()->text().contains(QStringLiteral("deleted")));
    QTest::mouseClick(again.changedNotice(), Qt::LeftButton);   // put away, as it covers the date
    EXPECT_FALSE(again.changedNotice()->isVisibleTo(&again));
    dialogs.answerMessage(vbOK);
    again.PushButton2->click();
    EXPECT_EQ(dialogs.messages().value(1), QStringLiteral("This transaction no longer exists, so nothing was saved."));
    EXPECT_FALSE(again.isUnloaded());
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "0");
}

TEST_F(EditConflictTest, AnUnchangedRowSavesAtOnceAndShowsNoNotice)
{
    // Another row changing is no news to this editor.
    env.addTransaction(QStringLiteral("'2024-03-06','Food',%1,5,NULL,0").arg(bank));
    form.othersChanged();
    EXPECT_TRUE(!form.changedNotice() || !form.changedNotice()->isVisibleTo(&form));
    form.Text1->setText(QStringLiteral("Rent, paid"));
    dialogs.answerMessage(vbOK);
    form.PushButton2->click();
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Record Successfully Saved")});
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionDescription from Transactions where TransactionNumber = 1")),
              "Rent, paid");
}

TEST_F(EditConflictTest, ANewTransactionForAnAccountSomeoneDeletedIsRefusedAndNothingIsWritten)
{
    env.addAccount(QStringLiteral("Cash"));
    Form2 added;
    added.Form_Load();
    added.Combo1->setCurrentIndex(added.Combo1->findText(QStringLiteral("Bank")));
    added.Text1->setText(QStringLiteral("Salary"));
    added.Text3->setText(QStringLiteral("1000"));
    env.sqlite(QStringLiteral("delete from Accounts where AccountName = 'Bank'"));
    dialogs.answerMessage(vbOK);
    added.PushButton2->click();
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral(
        "The account \"Bank\" no longer exists: someone else has deleted it. Nothing was saved; choose another account.")});
    EXPECT_FALSE(added.isUnloaded());
    EXPECT_EQ(added.Text1->text(), QStringLiteral("Salary"));
    EXPECT_EQ(added.Combo1->count(), 1);   // the accounts as they are now, none chosen
    EXPECT_EQ(added.Combo1->currentIndex(), -1);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "1");
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from UndoSteps")), "0");
}
