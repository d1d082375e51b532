#include "editor/Form2.h"
#include "tests/editor/EditorFixture.h"

#include "platform/Dialogs.h"

#include <QComboBox>
#include <QLineEdit>

using editor::Form2;
using platform::vbNo;
using platform::vbOK;
using platform::vbYes;

namespace {

QStringList entries(const QComboBox* combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

const QString kDeleteQuestion = QStringLiteral(
    "Note: Deleting account will also delete transaction data that is linked to this account.\r\n"
    "Do you wish to continue?");

} // namespace

TEST_F(EditorTest, AddingAnAccountStoresTheNameAsTypedAndClearsTheSelection)
{
    addAccount(QStringLiteral("Bank"));
    Form2 f;
    f.Form_Load();
    f.Combo1->setCurrentIndex(0);

    dialogs.answerInput(QString()); // Cancel
    f.PushButton5_Click();
    EXPECT_EQ(count(QStringLiteral("Accounts")), 1);
    EXPECT_EQ(f.Combo1->currentIndex(), 0);
    ASSERT_EQ(dialogs.prompts().size(), 1u);
    EXPECT_EQ(dialogs.prompts()[0].kind, testing_support::Prompt::Input);
    EXPECT_EQ(dialogs.prompts()[0].text, QStringLiteral("Enter new From (Payor): "));
    EXPECT_EQ(dialogs.prompts()[0].title, QStringLiteral("Input From"));

    dialogs.answerInput(QStringLiteral("Joe's 'Diner'"));
    f.PushButton5_Click();
    dialogs.answerInput(QStringLiteral("Bank"));
    f.PushButton5_Click();

    EXPECT_EQ(entries(f.Combo1),
              (QStringList{QStringLiteral("Bank"), QStringLiteral("Bank"), QStringLiteral("Joe's 'Diner'")}));
    EXPECT_EQ(f.Combo1->currentIndex(), -1);
    EXPECT_EQ(query(QStringLiteral("select AccountName from Accounts order by AccountID")),
              (QList<QStringList>{{QStringLiteral("Bank")}, {QStringLiteral("Joe's 'Diner'")},
                                  {QStringLiteral("Bank")}}));
    // Entry i is always the account AccountIDs[i] names.
    for (int i = 0; i < f.Combo1->count(); ++i) {
        EXPECT_EQ(scalar(QStringLiteral("select AccountName from Accounts where AccountID=%1")
                             .arg(f.AccountIDs[size_t(i)])),
                  f.Combo1->itemText(i));
    }
    EXPECT_TRUE(dialogs.reports().isEmpty());

    // With the selection gone, saving asks for an account first.
    dialogs.answerMessage(vbOK);
    f.PushButton2_Click();
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("You forgot to input Reason.")});
}

TEST_F(EditorTest, DeletingNeedsASelectionAndAYes)
{
    const qint64 bank = addAccount(QStringLiteral("Bank"));
    addTransaction(QStringLiteral("'2021-01-01','Rent',%1,500,0,0").arg(bank));
    Form2 f;
    f.Form_Load();

    f.PushButton6_Click(); // nothing selected: not even a question
    EXPECT_TRUE(dialogs.prompts().empty());

    f.Combo1->setCurrentIndex(0);
    dialogs.answerMessage(vbNo);
    f.PushButton6_Click();
    ASSERT_EQ(dialogs.prompts().size(), 1u);
    EXPECT_EQ(dialogs.prompts()[0].text, kDeleteQuestion);
    EXPECT_EQ(dialogs.prompts()[0].style, platform::vbYesNo);
    EXPECT_EQ(dialogs.prompts()[0].title, QStringLiteral("Tallyfold"));
    EXPECT_EQ(f.Combo1->currentIndex(), 0);
    EXPECT_EQ(count(QStringLiteral("Accounts")), 1);
    EXPECT_EQ(count(QStringLiteral("Transactions")), 1);
}

TEST_F(EditorTest, DeletingAnAccountTakesItsTransactionsAccountFirst)
{
    const qint64 bank = addAccount(QStringLiteral("Bank"));
    const qint64 cash = addAccount(QStringLiteral("Cash"));
    addTransaction(QStringLiteral("'2021-01-01','Rent',%1,500,0,0").arg(bank));
    addTransaction(QStringLiteral("'2021-01-02','Coffee',%1,3,0,0").arg(cash));
    addTransaction(QStringLiteral("'2021-01-03','Fee',%1,1,0,0").arg(bank));
    env.sqlite(QStringLiteral(
        "create table DeleteLog (n integer primary key autoincrement, what text);"
        "create trigger LogAccount after delete on Accounts begin insert into DeleteLog (what) values ('account'); end;"
        "create trigger LogTransaction after delete on Transactions "
        "begin insert into DeleteLog (what) values ('transaction ' || old.TransactionDescription); end;"));

    Form2 f;
    f.Form_Load();
    f.Combo1->setCurrentIndex(f.Combo1->findText(QStringLiteral("Bank")));
    dialogs.answerMessage(vbYes);
    f.PushButton6_Click();

    EXPECT_EQ(query(QStringLiteral("select what from DeleteLog order by n")),
              (QList<QStringList>{{QStringLiteral("account")}, {QStringLiteral("transaction Rent")},
                                  {QStringLiteral("transaction Fee")}}));
    EXPECT_EQ(query(QStringLiteral("select TransactionDescription from Transactions")),
              QList<QStringList>{{QStringLiteral("Coffee")}});
    EXPECT_EQ(entries(f.Combo1), QStringList{QStringLiteral("Cash")});
    EXPECT_EQ(f.Combo1->currentIndex(), -1);
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(EditorTest, AFailedAccountDeleteIsReportedAndItsTransactionsStillGo)
{
    const qint64 bank = addAccount(QStringLiteral("Bank"));
    addTransaction(QStringLiteral("'2021-01-01','Rent',%1,500,0,0").arg(bank));
    env.sqlite(QStringLiteral("create trigger KeepAccounts before delete on Accounts "
                              "begin select raise(abort, 'accounts are kept'); end"));
    Form2 f;
    f.Form_Load();
    f.Combo1->setCurrentIndex(0);
    dialogs.answerMessage(vbYes);
    f.PushButton6_Click();
    EXPECT_EQ(dialogs.reportLines(), QStringList{QStringLiteral("Form2.PushButton6_Click 104")});
    EXPECT_EQ(count(QStringLiteral("Accounts")), 1);
    EXPECT_EQ(count(QStringLiteral("Transactions")), 0);
    EXPECT_EQ(f.Combo1->count(), 1); // reloaded all the same
    EXPECT_EQ(f.Combo1->currentIndex(), -1);
}

TEST_F(EditorTest, DeletingTheAccountOfTheTransactionBeingEditedLeavesNothingToSave)
{
    const qint64 bank = addAccount(QStringLiteral("Bank"));
    addAccount(QStringLiteral("Cash"));
    const qint64 id = addTransaction(QStringLiteral("'2021-01-01','Rent',%1,500,0,0").arg(bank));
    Form2 f;
    f.m_ID = QString::number(id);
    f.Form_Load();
    ASSERT_EQ(f.Combo1->currentText(), QStringLiteral("Bank"));

    dialogs.answerMessage(vbYes);
    f.PushButton6_Click();
    EXPECT_EQ(count(QStringLiteral("Transactions")), 0);

    f.Combo1->setCurrentIndex(f.Combo1->findText(QStringLiteral("Cash")));
    f.Text1->setText(QStringLiteral("Rent, moved to cash"));
    dialogs.answerMessage(vbOK);
    f.PushButton2_Click();
    EXPECT_EQ(dialogs.messages(),
              (QStringList{kDeleteQuestion, QStringLiteral("This transaction no longer exists, so nothing was saved.")}));
    EXPECT_FALSE(f.isUnloaded());
    EXPECT_EQ(f.Text1->text(), QStringLiteral("Rent, moved to cash"));
    EXPECT_EQ(count(QStringLiteral("Transactions")), 0);
}
