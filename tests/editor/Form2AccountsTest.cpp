#include "editor/Form2.h"
#include "tests/editor/EditorFixture.h"

#include <QComboBox>
#include <QLineEdit>

using editor::Form2;
using platform::vbNo;
using platform::vbOK;
using platform::vbYes;

TEST_F(EditorTest, AddingAnAccountStoresTheNameAsTypedEvenTwice)
{
    env.addAccount(QStringLiteral("Bank"));
    Form2 f;
    f.Form_Load();
    f.Combo1->setCurrentIndex(0);
    dialogs.answerInput(QString()); // Cancel
    f.PushButton5_Click();
    EXPECT_EQ(f.Combo1->currentIndex(), 0);
    EXPECT_EQ(dialogs.prompts().at(0).text, QStringLiteral("Enter new From (Payor): "));
    EXPECT_EQ(dialogs.prompts().at(0).title, QStringLiteral("Input From"));

    dialogs.answerInput(QStringLiteral("Joe's 'Diner'"));
    f.PushButton5_Click();
    dialogs.answerInput(QStringLiteral("Bank"));
    f.PushButton5_Click();
    EXPECT_EQ(env.rows(QStringLiteral("select AccountName from Accounts order by AccountID")),
              "Bank; Joe's 'Diner'; Bank");
    EXPECT_EQ(f.Combo1->count(), 3);
    EXPECT_EQ(f.Combo1->currentIndex(), -1);
}

TEST_F(EditorTest, DeletingAnAccountNeedsASelectionAndAYesThenTakesItsTransactions)
{
    const qint64 bank = env.addAccount(QStringLiteral("Bank"));
    const qint64 cash = env.addAccount(QStringLiteral("Cash"));
    env.addTransaction(QStringLiteral("'2021-01-01','Rent',%1,500,0,0").arg(bank));
    env.addTransaction(QStringLiteral("'2021-01-02','Coffee',%1,3,0,0").arg(cash));
    env.sqlite(QStringLiteral(
        "create table Log (n integer primary key, what text);"
        "create trigger A after delete on Accounts begin insert into Log (what) values ('account'); end;"
        "create trigger T after delete on Transactions begin insert into Log (what) values ('transaction'); end;"));
    Form2 f;
    f.Form_Load();
    f.PushButton6_Click(); // nothing selected: not even a question
    EXPECT_TRUE(dialogs.prompts().empty());

    f.Combo1->setCurrentIndex(0);
    dialogs.answerMessage(vbNo);
    f.PushButton6_Click();
    EXPECT_EQ(dialogs.prompts().at(0).text,
              QStringLiteral("Note: Deleting account will also delete transaction data that is linked to this "
                             "account.\r\nDo you wish to continue?"));
    EXPECT_EQ(dialogs.prompts().at(0).style, platform::vbYesNo);
    EXPECT_EQ(f.Combo1->currentIndex(), 0);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Log")), "0");

    dialogs.answerMessage(vbYes);
    f.PushButton6_Click();
    EXPECT_EQ(env.rows(QStringLiteral("select what from Log order by n")), "account; transaction");
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionDescription from Transactions")), "Coffee");
    EXPECT_EQ(f.Combo1->count(), 1);
    EXPECT_EQ(f.Combo1->currentIndex(), -1);
}

TEST_F(EditorTest, SavingATransactionWhoseAccountWasJustDeletedSavesNothingAndSaysSo)
{
    const qint64 bank = env.addAccount(QStringLiteral("Bank"));
    env.addAccount(QStringLiteral("Cash"));
    Form2 f;
    f.m_ID = QString::number(env.addTransaction(QStringLiteral("'2021-01-01','Rent',%1,500,0,0").arg(bank)));
    f.Form_Load();
    dialogs.answerMessage(vbYes);
    f.PushButton6_Click(); // "Bank" is selected: it goes, and the transaction with it

    f.Combo1->setCurrentIndex(0);
    f.Text1->setText(QStringLiteral("Rent, moved to cash"));
    dialogs.answerMessage(vbOK);
    f.PushButton2_Click();
    EXPECT_EQ(dialogs.messages().value(1),
              QStringLiteral("This transaction no longer exists, so nothing was saved."));
    EXPECT_EQ(dialogs.messages().size(), 2);
    EXPECT_FALSE(f.isUnloaded());
    EXPECT_EQ(f.Text1->text(), QStringLiteral("Rent, moved to cash"));
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "0");
}

TEST_F(EditorTest, AccountsAreListedAsJetOrdersTextIgnoringCaseAndAccents)
{
    for (const char* name : {"Zed", "Cash", "apple", "Édith", "bank"})
        env.addAccount(QString::fromUtf8(name));
    editor::Form2 f;
    f.Form_Load();
    QStringList names;
    for (int i = 0; i < f.Combo1->count(); ++i)
        names << f.Combo1->itemText(i);
    EXPECT_EQ(names.join(QStringLiteral(", ")), QString::fromUtf8("apple, bank, Cash, Édith, Zed"));
    EXPECT_EQ(f.AccountIDs, (std::vector<qint32>{3, 5, 2, 4, 1}));
}
