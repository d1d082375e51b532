#include "editor/Form2.h"
#include "shell/MousePointer.h"
#include "tests/editor/EditorFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using editor::Form2;
using platform::vbOK;

namespace {

std::string text(const QLineEdit* box) { return box->text().toStdString(); }

} // namespace

TEST_F(EditorTest, EveryBoxIsAnnouncedByItsUncutCaption)
{
    Form2 f;
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    const std::pair<QLabel*, QWidget*> captions[] = {{f.Label1(0), f.DateTimePicker1}, {f.lblDetails(4), f.Combo1},
        {f.Label1(2), f.Text1}, {f.Label1(1), f.Text2}, {f.lblDetails(5), f.Text3}};
    for (const auto& [label, control] : captions) {
        EXPECT_EQ(label->buddy(), control) << label->text().toStdString();
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
}

TEST_F(EditorTest, SavingWithoutAnAccountAsksForOneAndKeepsTheWindowOpen)
{
    Form2 f;
    showActive(f);
    f.Form_Load();
    EXPECT_EQ(f.DateTimePicker1->date(), QDate::currentDate());
    f.Text1->setText(QStringLiteral("Lunch"));
    dialogs.answerMessage(vbOK);
    f.PushButton2_Click();

    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("You forgot to input Reason.")});
    EXPECT_FALSE(f.isUnloaded());
    EXPECT_EQ(QApplication::focusWidget(), f.Combo1);
    EXPECT_EQ(text(f.Text1), "Lunch");
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "0");
}

TEST_F(EditorTest, AddNewStoresExactlyWhatWasTyped)
{
    const qint64 food = env.addAccount(QStringLiteral("Food"));
    env.addAccount(QStringLiteral("Bank"));
    Form2 f;
    f.setWindowTitle(QStringLiteral("Add New"));
    whenModal([](Form2& form) {
        form.DateTimePicker1->setDate(QDate(2021, 3, 5));
        form.Combo1->setCurrentIndex(form.Combo1->findText(QStringLiteral("Food")));
        form.Text1->setText(QStringLiteral("O'Brien's 'big' trip"));
        form.Text2->setText(QStringLiteral("12.50"));
        form.Option1->setChecked(true);
        form.PushButton2->click();
    });
    dialogs.answerMessage(vbOK);
    f.showModal();

    EXPECT_TRUE(f.isUnloaded());
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Record Successfully Saved")});
    EXPECT_EQ(env.rows(QStringLiteral("select * from Transactions")),
              "1|2021-03-05|O'Brien's 'big' trip|" + std::to_string(food) + "|12.5|0.0|1");
}

TEST_F(EditorTest, EditShowsNullAmountsAsZeroAndNullTaxableAsNo)
{
    const qint64 bank = env.addAccount(QStringLiteral("Bank"));
    const qint64 id = env.addTransaction(QStringLiteral("'2020-12-31','Fee',%1,NULL,NULL,NULL").arg(bank));
    Form2 f;
    f.m_ID = QString::number(id);
    f.Form_Load();
    EXPECT_EQ(f.DateTimePicker1->date(), QDate(2020, 12, 31));
    EXPECT_EQ(f.Combo1->currentText(), QStringLiteral("Bank"));
    EXPECT_EQ(text(f.Text1) + text(f.Text2) + text(f.Text3), "Fee00");
    EXPECT_TRUE(f.Option2->isChecked());

    dialogs.answerMessage(vbOK);
    f.PushButton2_Click(); // the Nulls are written back as zeros, to the same row
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionNumber,WithdrawalAmount,DepositAmount,Taxable "
                                  "from Transactions")),
              std::to_string(id) + "|0.0|0.0|0");
}

TEST_F(EditorTest, CancelEscapeAndTheCloseBoxWriteNothing)
{
    const qint64 id = env.addTransaction(QStringLiteral("'2021-01-01','Rent',%1,500,0,0").arg(env.addAccount("Bank")));
    const std::string before = env.rows(QStringLiteral("select * from Transactions"));
    for (int way = 0; way < 3; ++way) {
        Form2 f;
        f.m_ID = QString::number(id);
        whenModal([way](Form2& form) {
            form.Text1->setText(QStringLiteral("changed"));
            if (way == 0)
                form.PushButton1->click();
            else if (way == 1)
                QTest::keyClick(&form, Qt::Key_Escape);
            else
                form.close();
        });
        f.showModal();
        EXPECT_TRUE(f.isUnloaded()) << way;
    }
    EXPECT_EQ(env.rows(QStringLiteral("select * from Transactions")), before);
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(EditorTest, AmountBoxesSelectOnEntryAndTurnNonNumbersIntoZeroOnLeaving)
{
    Form2 f;
    f.Form_Load();
    showActive(f);
    f.Text2->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(f.Text2, QStringLiteral("abc")); // typing replaces the selected "0"
    QTest::keyClick(f.Text2, Qt::Key_Tab);
    EXPECT_EQ(text(f.Text2), "0");
    EXPECT_EQ(f.Text3->selectedText(), QStringLiteral("0"));

    f.Text3->clear();
    f.Text2->setText(QStringLiteral("1,234.50"));
    f.Text2->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(text(f.Text3), "0");
    f.Text2->deselect();
    QTest::qWait(1); // after a click has placed the caret, the whole text is selected again
    EXPECT_EQ(f.Text2->selectedText(), QStringLiteral("1,234.50"));
    f.Text1->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(text(f.Text2), "1,234.50"); // numbers are never reformatted
}

TEST_F(EditorTest, AmountsWrittenTheLocaleWayAreStoredAsTheirValue)
{
    env.addAccount(QStringLiteral("Bank"));
    for (const auto& [locale, withdrawal, deposit] :
         {std::tuple{QLocale(QLocale::English, QLocale::UnitedStates), "1,234.50", "12.50"},
          std::tuple{QLocale(QLocale::German, QLocale::Germany), "12,5", "abc"}}) {
        QLocale::setDefault(locale);
        Form2 f;
        f.Form_Load();
        f.Combo1->setCurrentIndex(0);
        f.Text2->setText(QString::fromUtf8(withdrawal));
        f.Text3->setText(QString::fromUtf8(deposit)); // never left the box: checked again on saving
        dialogs.answerMessage(vbOK);
        f.PushButton2_Click();
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(env.rows(QStringLiteral("select WithdrawalAmount,DepositAmount from Transactions order by 1")),
              "12.5|0.0; 1234.5|12.5");
}

TEST_F(EditorTest, AFailingSaveReportsItsStatementAndKeepsEverythingTyped)
{
    const qint64 bank = env.addAccount(QStringLiteral("Bank"));
    Form2 f;
    f.Form_Load();
    f.Combo1->setCurrentIndex(0);
    f.Text1->setText(QStringLiteral("Groceries"));
    f.Text2->setText(QStringLiteral("12.50"));
    env.sqlite(QStringLiteral("drop table Transactions"));
    dialogs.expectReport("Form2.PushButton2_Click 118");
    f.PushButton2_Click();

    EXPECT_TRUE(dialogs.reports().value(0).endsWith(QStringLiteral(",'Groceries',%1,12.50,0,0)").arg(bank)));
    EXPECT_TRUE(dialogs.messages().isEmpty()); // no claim of success
    EXPECT_FALSE(f.isUnloaded());
    EXPECT_EQ(text(f.Text1) + text(f.Text2), "Groceries12.50");
}

TEST_F(EditorTest, UnreadableAccountsAreReportedOnceAndNeverMisnumbered)
{
    env.sqlite(QStringLiteral("insert into Accounts (AccountName) values (NULL)"));
    const qint64 bank = env.addAccount(QStringLiteral("Bank"));
    Form2 f;
    dialogs.expectReport("Form2.LoadAccounts 112");
    f.Form_Load(); // the nameless account stays a blank entry, so entry i is still AccountIDs[i]
    f.Combo1->setCurrentIndex(f.Combo1->findText(QStringLiteral("Bank")));
    dialogs.answerMessage(vbOK);
    f.PushButton2_Click();
    EXPECT_EQ(env.rows(QStringLiteral("select AccountID from Transactions")), std::to_string(bank));

    env.sqlite(QStringLiteral("drop table Accounts"));
    dialogs.expectReport("Form2.LoadAccounts 106");
    f.LoadAccounts();
    EXPECT_EQ(f.Combo1->count(), 0);
}

TEST_F(EditorTest, ButtonFaceOnLabelsAndFrameHandOverTheButtonsArrowOverFrameAndBackground)
{
    env.addSideFile(QStringLiteral("HAND-M.CUR"));
    editor::Form2 form;
    form.Form_Load();
    const QColor face = QApplication::palette().color(QPalette::Button);
    for (const QWidget* w : {static_cast<const QWidget*>(&form), static_cast<const QWidget*>(form.Frame1),
                             static_cast<const QWidget*>(form.Option1), static_cast<const QWidget*>(form.Label1(0)),
                             static_cast<const QWidget*>(form.lblDetails(5))}) {
        EXPECT_EQ(w->palette().color(w->backgroundRole()), face) << w->objectName().toStdString();
    }
    EXPECT_FALSE(form.Text1->autoFillBackground());

    showActive(form);
    auto pointerAfterMoving = [&form](QWidget* w, QPoint at = {3, 3}) {
        QTest::mouseMove(w, at);
        return shell::mousePointer(&form);
    };
    for (QPushButton* button : {form.PushButton1, form.PushButton2, form.PushButton5, form.PushButton6}) {
        EXPECT_EQ(pointerAfterMoving(button), 99) << button->objectName().toStdString();
        EXPECT_EQ(form.cursor().shape(), Qt::BitmapCursor);
        EXPECT_EQ(pointerAfterMoving(form.Frame1, {form.Frame1->width() - 3, form.Frame1->height() - 3}), 0);
        pointerAfterMoving(button);
        EXPECT_EQ(pointerAfterMoving(&form, {2, form.height() - 2}), 0);
    }
    pointerAfterMoving(form.PushButton2);
    EXPECT_EQ(pointerAfterMoving(form.Text1), 99);   // a text box has no reset handler
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(EditorTest, AmountsRoundTripExactlyThroughAnEditThatTouchesNothing)
{
    const qint64 bank = env.addAccount(QStringLiteral("Bank"));
    const qint64 id = env.addTransaction(QStringLiteral("'2020-12-31','Fee',%1,12345678901234.56,0.1+0.2,0").arg(bank));
    Form2 f;
    f.m_ID = QString::number(id);
    f.Form_Load();
    EXPECT_EQ(text(f.Text2), "12345678901234.56");
    EXPECT_EQ(text(f.Text3), "0.30000000000000004");
    dialogs.answerMessage(vbOK);
    f.PushButton2_Click();
    EXPECT_TRUE(f.isUnloaded());
    EXPECT_EQ(env.rows(QStringLiteral("select WithdrawalAmount = 12345678901234.56, DepositAmount = 0.1 + 0.2 "
                                      "from Transactions")), "1|1");
}

TEST_F(EditorTest, AmountsOfAMillionBillionOrMoreOrNotFiniteAreRefusedOnEntryAndAtSave)
{
    env.addAccount(QStringLiteral("Bank"));
    Form2 f;
    f.Form_Load();
    for (const char* typed : {"1e308", "inf", "-1000000000000000", "1e400", "NaN"}) {
        SCOPED_TRACE(typed);
        f.Text2->setText(QString::fromLatin1(typed));
        dialogs.clear();
        dialogs.answerMessage(vbOK);
        f.Text2_LostFocus();
        ASSERT_EQ(dialogs.messages().size(), 1);
        EXPECT_TRUE(dialogs.messages()[0].contains(QStringLiteral("cannot be saved")));
        EXPECT_EQ(text(f.Text2), "0");
    }
    dialogs.clear();
    f.Text2->setText(QStringLiteral("999999999999999.9"));
    f.Text2_LostFocus();
    EXPECT_EQ(text(f.Text2), "999999999999999.9");
    EXPECT_TRUE(dialogs.prompts().empty());
    // A text that never left its box is checked at the save: nothing is written.
    showActive(f);
    f.Combo1->setCurrentIndex(0);
    f.Text3->setText(QStringLiteral("1e308"));
    dialogs.answerMessage(vbOK);
    f.PushButton2_Click();
    EXPECT_EQ(dialogs.messages().size(), 1);
    EXPECT_FALSE(f.isUnloaded());
    EXPECT_EQ(QApplication::focusWidget(), f.Text3);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "0");
}

TEST_F(EditorTest, ControlCharactersNeverReachTheFileAndABrokenCharacterIsRefused)
{
    const QString typed = QStringLiteral("Rent") + QChar(0) + QStringLiteral("\tMay\r\n\x01\x7f") + QChar(0x85)
        + QStringLiteral("!");
    const QString lone = QStringLiteral("Caf") + QChar(0xD83D) + QStringLiteral("e");
    Form2 f;
    f.Form_Load();
    // Typed or pasted, then also set as a whole: the box keeps the tab and drops the rest.
    f.Text1->insert(typed);
    EXPECT_EQ(f.Text1->text(), QStringLiteral("Rent\tMay!"));
    f.Text1->setText(typed);
    EXPECT_EQ(f.Text1->text(), QStringLiteral("Rent\tMay!"));

    // An account name answered with a NUL and a line break is stored without them.
    dialogs.answerInput(QStringLiteral("Joe's") + QChar(0) + QStringLiteral(" Diner\r\n"));
    f.PushButton5_Click();
    // A lone half of a surrogate pair cannot be stored: refused, and nothing is added.
    dialogs.answerInput(lone);
    dialogs.expectReport("Form2.PushButton5_Click 100");
    f.PushButton5_Click();
    EXPECT_TRUE(dialogs.reports().value(0).startsWith(
        QStringLiteral("The text holds a broken character (U+D83D) that cannot be stored")));
    EXPECT_EQ(env.rows(QStringLiteral("select AccountName from Accounts")), "Joe's Diner");

    f.Combo1->setCurrentIndex(0);
    dialogs.answerMessage(vbOK);
    f.PushButton2_Click();
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionDescription from Transactions")), "Rent\tMay!");

    // The same for a description: the save is refused, and the window keeps it all.
    Form2 g;
    g.Form_Load();
    g.Combo1->setCurrentIndex(0);
    g.Text1->setText(lone);
    dialogs.expectReport("Form2.PushButton2_Click 116");
    g.PushButton2_Click();
    EXPECT_FALSE(g.isUnloaded());
    EXPECT_EQ(g.Text1->text(), lone);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "1");
}

TEST_F(EditorTest, EnterIsOkFromAnyBoxOrPressesTheButtonMovedToAndEscapeIsCancel)
{
    env.addAccount(QStringLiteral("Food"));
    // Enter in a text box saves, as "OK" does, and closes the window.
    Form2 saved;
    whenModal([](Form2& form) {
        form.Combo1->setCurrentIndex(0);
        form.Text1->setFocus();
        QTest::keyClicks(form.Text1, QStringLiteral("Lunch"));
        QTest::keyClick(form.Text1, Qt::Key_Return);
        if (!form.isUnloaded())
            form.done(QDialog::Rejected);   // never left waiting
    });
    dialogs.answerMessage(vbOK);
    saved.showModal();
    EXPECT_TRUE(saved.isUnloaded());
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Record Successfully Saved")});
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionDescription from Transactions")), "Lunch");

    // The keypad's Enter in the date box runs "OK" too, refusal included; Escape then cancels.
    Form2 refused;
    bool openAfterEnter = false;
    whenModal([&openAfterEnter](Form2& form) {
        form.DateTimePicker1->setFocus();
        QTest::keyClick(form.DateTimePicker1, Qt::Key_Enter, Qt::KeypadModifier);
        openAfterEnter = !form.isUnloaded();
        QTest::keyClick(&form, Qt::Key_Escape);
    });
    dialogs.answerMessage(vbOK);
    refused.showModal();
    EXPECT_TRUE(openAfterEnter);
    EXPECT_TRUE(refused.isUnloaded());
    EXPECT_EQ(dialogs.messages().back(), QStringLiteral("You forgot to input Reason."));

    // On a button the user moved to, Enter presses that button: "Cancel" saves nothing.
    Form2 cancelled;
    whenModal([](Form2& form) {
        form.Combo1->setCurrentIndex(0);
        form.Text1->setText(QStringLiteral("not saved"));
        form.PushButton1->setFocus();
        QTest::keyClick(form.PushButton1, Qt::Key_Return);
        if (!form.isUnloaded())
            form.done(QDialog::Rejected);
    });
    cancelled.showModal();
    EXPECT_TRUE(cancelled.isUnloaded());
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "1");
    EXPECT_EQ(dialogs.messages().size(), 2);
}
