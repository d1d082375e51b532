// The transaction commands: the editor opened for a new or the selected transaction,
// deleting and duplicating the selected row without a question, and the reload that
// ends every command, including after a cancel.
#include "tests/main/MainWindowFixture.h"

#include "currency/Form3.h"
#include "editor/Form2.h"
#include "platform/Dialogs.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QRadioButton>

using namespace mainwindow;

namespace {
enum { Id, Date, Account, Description, Withdrawal, Deposit, Taxable };
const QString kSentinel = QStringLiteral("changed by hand");
} // namespace

class Commands : public MainWindowTest {
protected:
    void SetUp() override
    {
        prepareLedger();
        account = addAccount(QStringLiteral("Household"));
    }
    qint64 add(const QString& description, const QString& withdrawal = QStringLiteral("1"),
               const QString& deposit = QStringLiteral("0"), const QString& taxable = QStringLiteral("0"))
    {
        return addTransaction(transactionValues(description, account, withdrawal, deposit, taxable));
    }
    // Opens the next editor, notes what it was handed, and cancels it.
    void cancelEditor()
    {
        whenModal([this](QWidget* w) {
            auto* editor = qobject_cast<editor::Form2*>(w);
            ASSERT_NE(editor, nullptr);
            editorCaption = editor->windowTitle();
            editorId = editor->m_ID;
            editorDescription = editor->Text1->text();
            editor->reject();
        });
    }
    qint64 account = 0;
    QString editorCaption, editorId, editorDescription;
};

TEST_F(Commands, WithAnEmptyListSelectionCommandsDoNothing)
{
    start();
    form.Label1->setText(kSentinel);
    cancelEditor();
    form.PushButton1_Click();
    form.PushButton3_Click();
    form.PushButton4_Click();
    EXPECT_FALSE(modalSeen());
    EXPECT_EQ(form.Label1->text(), kSentinel);   // no reload either
    EXPECT_TRUE(dialogs.prompts().empty());
    EXPECT_EQ(rows(QStringLiteral("select count(*) from Transactions")), "0");
}

TEST_F(Commands, AddNewOpensAnEmptyEditorAndReloadsAfterCancel)
{
    start();   // an empty list: Add New is still available
    form.Label1->setText(kSentinel);
    add(QStringLiteral("written meanwhile"));
    cancelEditor();
    form.PushButton2_Click();
    EXPECT_TRUE(modalSeen());
    EXPECT_EQ(editorCaption, QStringLiteral("Add New"));
    EXPECT_TRUE(editorId.isEmpty());
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Widrawal: $1.00"));
    EXPECT_EQ(column(Description), QStringList{"written meanwhile"});
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Commands, AddNewSavedInTheEditorShowsInTheListInSortedPlace)
{
    add(QStringLiteral("banana"));
    add(QStringLiteral("cherry"));
    start();
    form.ListView1_ColumnClick(4);
    whenModal([](QWidget* w) {
        auto* editor = qobject_cast<editor::Form2*>(w);
        ASSERT_NE(editor, nullptr);
        editor->DateTimePicker1->setDate(QDate(2024, 6, 1));
        editor->Combo1->setCurrentIndex(0);
        editor->Text1->setText(QStringLiteral("apple's"));
        editor->Text2->setText(QStringLiteral("12.5"));
        editor->PushButton2_Click();
    });
    dialogs.answerMessage(platform::vbOK);   // "Record Successfully Saved"
    form.PushButton2_Click();
    EXPECT_EQ(column(Description), (QStringList{"apple's", "banana", "cherry"}));
    EXPECT_EQ(column(Withdrawal).first(), QStringLiteral("$12.50"));
    EXPECT_EQ(form.Label11->text(), QStringLiteral("Widrawal: 14.5"));
}

TEST_F(Commands, EditSelectedHandsTheRowToTheEditorAndReloadsAfterCancel)
{
    add(QStringLiteral("first"));
    const qint64 second = add(QStringLiteral("second"));
    start();
    form.ListView1->setCurrentRow(1);
    form.Label1->setText(kSentinel);
    cancelEditor();
    form.PushButton1_Click();
    EXPECT_EQ(editorCaption, QStringLiteral("Edit Data"));
    EXPECT_EQ(editorId, QString::number(second));
    EXPECT_EQ(editorDescription, QStringLiteral("second"));   // the editor loaded that row
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Widrawal: $2.00"));
    EXPECT_EQ(form.ListView1->currentRow(), 0);   // the reload made the first row current
}

TEST_F(Commands, EditSelectedSavedInTheEditorChangesThatRowOnly)
{
    add(QStringLiteral("first"));
    const qint64 second = add(QStringLiteral("second"));
    start();
    form.ListView1->setCurrentRow(1);
    whenModal([](QWidget* w) {
        auto* editor = qobject_cast<editor::Form2*>(w);
        ASSERT_NE(editor, nullptr);
        editor->Text3->setText(QStringLiteral("40"));
        editor->PushButton2_Click();
    });
    dialogs.answerMessage(platform::vbOK);
    form.PushButton1_Click();
    EXPECT_EQ(rows(QStringLiteral("select TransactionNumber, TransactionDescription, DepositAmount from Transactions")),
              "1|first|0.0; " + std::to_string(second) + "|second|40.0");
    EXPECT_EQ(column(Deposit), (QStringList{"", "$40.00"}));
}

TEST_F(Commands, DeleteRemovesTheCurrentRowWithoutAQuestion)
{
    const qint64 a = add(QStringLiteral("a"), QStringLiteral("1"));
    add(QStringLiteral("b"), QStringLiteral("2"));
    const qint64 c = add(QStringLiteral("c"), QStringLiteral("4"));
    start();
    form.ListView1->setCurrentRow(1);
    form.PushButton3_Click();
    EXPECT_TRUE(dialogs.prompts().empty());
    EXPECT_EQ(rows(QStringLiteral("select TransactionNumber from Transactions")),
              std::to_string(a) + "; " + std::to_string(c));
    EXPECT_EQ(column(Id), (QStringList{QString::number(a), QString::number(c)}));
    EXPECT_EQ(form.Label11->text(), QStringLiteral("Widrawal: 5"));
}

TEST_F(Commands, DuplicateCopiesEveryColumnWithNullAmountsAsZero)
{
    add(QStringLiteral("O'Brien's trip"), QStringLiteral("null"), QStringLiteral("12.5"), QStringLiteral("1"));
    start();
    form.PushButton4_Click();
    EXPECT_TRUE(dialogs.prompts().empty());
    EXPECT_EQ(rows(QStringLiteral("select TransactionNumber, TransactionDate, TransactionDescription, AccountID, "
                                  "WithdrawalAmount, DepositAmount, Taxable from Transactions")),
              "1|2024-03-05|O'Brien's trip|1|NULL|12.5|1; 2|2024-03-05|O'Brien's trip|1|0.0|12.5|1");
    EXPECT_EQ(column(Description), (QStringList{"O'Brien's trip", "O'Brien's trip"}));
    EXPECT_EQ(column(Withdrawal), (QStringList{"", ""}));
    EXPECT_EQ(form.Label22->text(), QStringLiteral("Deposit: 25"));
}

TEST_F(Commands, DuplicateOfAnUnwritableRowReportsOnceAndChangesNothing)
{
    addTransaction(QStringLiteral("'2024-03-05',null,%1,1,0,0").arg(account));
    start();
    dialogs.clear();   // the list's own report of the Null description
    form.Label1->setText(kSentinel);
    form.PushButton4_Click();
    EXPECT_EQ(dialogs.reportLines(), (QStringList{"Form1.PushButton4_Click 108", "Form1.ListData 118"}));
    EXPECT_EQ(rows(QStringLiteral("select count(*) from Transactions")), "1");
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Widrawal: $1.00"));   // reloaded all the same
}

TEST_F(Commands, DuplicateOfARowDeletedMeanwhileSendsNothingAndReloads)
{
    const qint64 gone = add(QStringLiteral("gone"));
    start();
    env.sqlite(QStringLiteral("delete from Transactions where TransactionNumber=%1").arg(gone));
    form.PushButton4_Click();
    EXPECT_TRUE(dialogs.prompts().empty());
    EXPECT_EQ(rows(QStringLiteral("select count(*) from Transactions")), "0");
    EXPECT_EQ(form.ListView1->count(), 0);
}

TEST_F(Commands, UnderASortCommandsActOnTheSelectedRow)
{
    add(QStringLiteral("c"), QStringLiteral("1"));
    add(QStringLiteral("a"), QStringLiteral("2"));
    const qint64 b = add(QStringLiteral("b"), QStringLiteral("4"));
    start();
    form.ListView1_ColumnClick(4);   // a, b, c
    form.ListView1->setCurrentRow(0);
    form.PushButton4_Click();        // duplicates "a"
    EXPECT_EQ(column(Description), (QStringList{"a", "a", "b", "c"}));

    const int rowOfB = int(column(Description).indexOf(QStringLiteral("b")));
    form.ListView1->setCurrentRow(rowOfB);
    ASSERT_EQ(form.ListView1->selectedText(), QString::number(b));
    form.PushButton3_Click();
    EXPECT_EQ(column(Description), (QStringList{"a", "a", "c"}));
    EXPECT_EQ(rows(QStringLiteral("select group_concat(TransactionDescription, '') from "
                                  "(select TransactionDescription from Transactions order by 1)")),
              "aac");
}

TEST_F(Commands, CurrencyWindowReloadsTheListOnCloseWithAnyChangeShownAtOnce)
{
    add(QStringLiteral("a"), QStringLiteral("1234.5"));
    start();
    form.Label2->setText(kSentinel);
    whenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    form.PushButton9_Click();
    EXPECT_EQ(form.Label2->text(), QStringLiteral("Deposit: $0.00"));

    whenModal([](QWidget* w) {
        auto* options = qobject_cast<currency::Form3*>(w);
        ASSERT_NE(options, nullptr);
        options->Option2->setChecked(true);
        options->PushButton2_Click();
    });
    form.PushButton9_Click();
    EXPECT_TRUE(modalSeen());
    EXPECT_EQ(column(Withdrawal), QStringList{"1,234.50$"});
    EXPECT_EQ(form.Label3->text(), QStringLiteral("Balance: -1,234.50$"));
    EXPECT_TRUE(dialogs.prompts().empty());
}
