// The transaction commands: the editor opened for a new or the selected transaction,
// deleting and duplicating the selected row without a question, and the reload that
// ends every command, including after a cancel.
#include "tests/main/MainWindowFixture.h"

#include "currency/Form3.h"
#include "editor/Form2.h"
#include "shell/Dialogs.h"
#include "shell/Ghost.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyleOptionViewItem>
#include <QTest>

using namespace mainwindow;

namespace {
enum { Id, Date, Account, Description, Withdrawal, Deposit, Taxable };
const QString kSentinel = QStringLiteral("changed by hand");
} // namespace

class Commands : public HouseholdTest {
protected:
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
    // Opens the next editor, lets `fill` type into it, and saves.
    void saveEditor(std::function<void(editor::Form2&)> fill)
    {
        whenModal([fill](QWidget* w) {
            auto* editor = qobject_cast<editor::Form2*>(w);
            ASSERT_NE(editor, nullptr);
            fill(*editor);
            editor->PushButton2_Click();
        });
        dialogs.answerMessage(platform::vbOK);   // "Record Successfully Saved"
    }
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
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "0");
}

TEST_F(Commands, AddAndEditOpenTheEditorAndReloadEvenAfterCancel)
{
    start();   // an empty list: Add New is still available
    form.Label1->setText(kSentinel);
    add("first");
    cancelEditor();
    form.PushButton2_Click();
    EXPECT_EQ(editorCaption, "Add New");
    EXPECT_TRUE(editorId.isEmpty());
    EXPECT_EQ(form.Label1->text(), "Widrawal: $1.00");

    const qint64 second = add("second");
    form.ListData();
    form.ListView1->setCurrentRow(1);
    form.Label1->setText(kSentinel);
    cancelEditor();
    form.PushButton1_Click();
    EXPECT_EQ(editorCaption, "Edit Data");
    EXPECT_EQ(editorId, QString::number(second));
    EXPECT_EQ(editorDescription, "second");   // the editor loaded that row
    EXPECT_EQ(form.Label1->text(), "Widrawal: $2.00");
    EXPECT_EQ(form.ListView1->currentRow(), 1);   // the reload kept the edited row current
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Commands, WhatTheEditorSavesShowsInTheListInSortedPlace)
{
    add("banana");
    const qint64 cherry = add("cherry");
    start();
    form.ListView1_ColumnClick(4);
    saveEditor([](editor::Form2& editor) {
        editor.Combo1->setCurrentIndex(0);
        editor.Text1->setText("apple's");
        editor.Text2->setText("12.5");
    });
    form.PushButton2_Click();
    EXPECT_EQ(column(Description), (QStringList{"apple's", "banana", "cherry"}));
    EXPECT_EQ(column(Withdrawal).first(), "$12.50");

    form.ListView1->setCurrentRow(2);
    saveEditor([](editor::Form2& editor) { editor.Text3->setText("40"); });
    form.PushButton1_Click();
    EXPECT_EQ(env.rows("select TransactionDescription, DepositAmount from Transactions where TransactionNumber="
                   + QString::number(cherry)),
              "cherry|40.0");
    EXPECT_EQ(column(Deposit), (QStringList{"", "", "$40.00"}));
    EXPECT_EQ(form.Label11->text(), "Widrawal: 14.5");
}

TEST_F(Commands, DuplicateCopiesEveryColumnWithNullAmountsAsZero)
{
    add("O'Brien's trip", "null", "12.5", "1");
    start();
    form.PushButton4_Click();
    EXPECT_TRUE(dialogs.prompts().empty());
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionNumber, TransactionDate, TransactionDescription, AccountID, "
                                  "WithdrawalAmount, DepositAmount, Taxable from Transactions")),
              "1|2024-03-05|O'Brien's trip|1|NULL|12.5|1; 2|2024-03-05|O'Brien's trip|1|0.0|12.5|1");
    EXPECT_EQ(column(Withdrawal), (QStringList{"", ""}));
    EXPECT_EQ(form.Label22->text(), QStringLiteral("Deposit: 25"));
}

TEST_F(Commands, DuplicateCopiesAmountsExactlyEvenTheLargestNumber)
{
    add("big", "12345678901234.56", "1.7976931348623157e308");
    start();
    form.PushButton4_Click();
    EXPECT_TRUE(dialogs.prompts().empty());
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions where WithdrawalAmount = 12345678901234.56 "
                                      "and DepositAmount = 1.7976931348623157e308")), "2");
}

TEST_F(Commands, DuplicateCopiesATextHoldingANulExactly)
{
    add("row");
    env.sqlite(QStringLiteral("update Transactions set TransactionDescription = 'it''s' || char(0) || '' || char(0) "
                              "|| 'after'"));
    start();
    form.PushButton4_Click();
    EXPECT_TRUE(dialogs.prompts().empty());
    EXPECT_EQ(env.rows(QStringLiteral("select hex(TransactionDescription) from Transactions")),
              "6974277300006166746572; 6974277300006166746572");
    EXPECT_EQ(form.ListView1->count(), 2);
}

TEST_F(Commands, DuplicateOfAnUnwritableOrVanishedRowWritesNothingAndReloads)
{
    env.addTransaction(QStringLiteral("'2024-03-05',null,%1,1,0,0").arg(account));
    dialogs.expectReport("Form1.ListData 118");   // the list cannot show the Null description
    start();
    form.Label1->setText(kSentinel);
    dialogs.expectReports({"Form1.PushButton4_Click 108", "Form1.ListData 118"});
    form.PushButton4_Click();
    EXPECT_EQ(env.rows("select count(*) from Transactions"), "1");
    EXPECT_EQ(form.Label1->text(), "Widrawal: $1.00");   // reloaded all the same

    env.sqlite("delete from Transactions");
    form.PushButton4_Click();
    EXPECT_EQ(env.rows("select count(*) from Transactions"), "0");
    EXPECT_EQ(form.ListView1->count(), 0);
}

TEST_F(Commands, DeleteAndDuplicateActWithoutAQuestionOnTheRowSelectedUnderASort)
{
    add("c", "1");
    add("a", "2");
    const qint64 b = add("b", "4");
    start();
    form.ListView1_ColumnClick(4);   // a, b, c
    form.ListView1->setCurrentRow(0);
    form.PushButton4_Click();        // duplicates "a"
    EXPECT_EQ(column(Description), (QStringList{"a", "a", "b", "c"}));

    form.ListView1->setCurrentRow(2);
    ASSERT_EQ(form.ListView1->selectedText(), QString::number(b));
    form.PushButton3_Click();
    EXPECT_EQ(column(Description), (QStringList{"a", "a", "c"}));
    EXPECT_EQ(env.rows("select group_concat(TransactionDescription, '') from "
                   "(select TransactionDescription from Transactions order by 1)"),
              "aac");
    EXPECT_EQ(form.Label11->text(), "Widrawal: 5");
    EXPECT_TRUE(dialogs.prompts().empty());
}
TEST_F(Commands, CurrencyWindowReloadsTheListOnCloseWithAnyChangeShownAtOnce)
{
    add("a", "1234.5");
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

TEST_F(Commands, KeysAndADoubleClickPressTheButtonsAndTheListsMenuNamesThem)
{
    add("rent", "500");
    const qint64 coffee = add("coffee", "3");
    start();
    form.helpWindow()->hide();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    // Shortcuts act in the active window; the desktop activates the window again once
    // a modal one has closed, which the offscreen platform leaves to the test.
    const auto activate = [this] {
        form.activateWindow();
        QApplication::setActiveWindow(&form);
        return QTest::qWaitForWindowActive(&form);
    };
    ASSERT_TRUE(activate());
    TransactionList* list = form.ListView1;
    list->setFocus();
    const auto cell = [list](int row, int column) { return list->visualRect(list->items().index(row, column)); };

    // Enter edits the current row; a double-click edits the row clicked, except on its
    // check box, where it only ticks.
    list->setCurrentRow(1);
    cancelEditor();
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(editorCaption, "Edit Data");
    EXPECT_EQ(editorId, QString::number(coffee));
    cancelEditor();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell(1, Description).center());
    EXPECT_EQ(editorDescription, "coffee");
    whenModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = cell(0, Id);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    const QPoint box = list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list).center();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, box);
    EXPECT_FALSE(modalSeen());

    // Delete deletes the selected row and Ctrl+D duplicates it, without a question.
    ASSERT_TRUE(activate());
    list->setFocus();
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(column(Description), QStringList{"rent"});
    QTest::keyClick(list, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(column(Description), (QStringList{"rent", "rent"}));

    // Ctrl+N adds, Ctrl+P makes the report, F1 is the Help button's.
    cancelEditor();
    QTest::keyClick(&form, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(editorCaption, "Add New");
    ASSERT_TRUE(activate());
    QString preview;
    whenModal([&preview](QWidget* w) {
        preview = w->objectName();
        static_cast<QDialog*>(w)->reject();
    });
    QTest::keyClick(&form, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(preview, "ReportPreview");
    ASSERT_TRUE(activate());
    dialogs.answerMessage(platform::vbOK);
    QTest::keyClick(&form, Qt::Key_F1);
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages().front().startsWith("Questions? Please contact Team Marlowick at "));

    // A key does nothing while its button is disabled, and Delete only acts from the list.
    ASSERT_TRUE(activate());
    list->setFocus();
    form.PushButton3->setEnabled(false);
    QTest::keyClick(list, Qt::Key_Delete);
    form.PushButton3->setEnabled(true);
    form.PushButton8->setFocus();
    QTest::keyClick(form.PushButton8, Qt::Key_Delete);
    EXPECT_EQ(column(Description), (QStringList{"rent", "rent"}));
    form.PushButton2->setEnabled(false);
    whenModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    QTest::keyClick(&form, Qt::Key_N, Qt::ControlModifier);
    EXPECT_FALSE(modalSeen());

    form.updateListMenu();
    EXPECT_EQ(form.mnuEdit->text(), "Edit Selected\tEnter");
    EXPECT_EQ(form.mnuAdd->text(), "Add New\tCtrl+N");
    EXPECT_EQ(form.mnuDelete->text(), "Delete Selected\tDel");
    EXPECT_EQ(form.mnuDuplicate->text(), "Duplicate Selected\tCtrl+D");
    EXPECT_EQ(dialogs.messages().size(), 1);
}
