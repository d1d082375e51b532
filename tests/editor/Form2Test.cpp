#include "editor/Form2.h"
#include "tests/editor/EditorFixture.h"

#include "platform/Dialogs.h"
#include "shell/Twips.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using editor::Form2;
using platform::vbOK;

namespace {

// Closes the editor from inside its modal loop, the way a user would, once it is up.
void whenModal(std::function<void(Form2&)> act)
{
    QTimer::singleShot(0, [act] {
        auto* form = qobject_cast<Form2*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        act(*form);
    });
}

} // namespace

TEST_F(EditorTest, WindowIsBuiltAsDesignedAndReadableByAssistiveTools)
{
    Form2 f;
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Add New"));
    EXPECT_NEAR(shell::widthTwips(&f), 8040, 15);
    EXPECT_NEAR(shell::heightTwips(&f), 4935, 15);
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    EXPECT_FALSE(f.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    // Each caption names the control below it, and none is cut off.
    const std::pair<QLabel*, QWidget*> captions[] = {
        {f.Label1(0), f.DateTimePicker1}, {f.lblDetails(4), f.Combo1}, {f.Label1(2), f.Text1},
        {f.Label1(1), f.Text2}, {f.lblDetails(5), f.Text3}};
    const char* texts[] = {"Date", "Account", "Description", "Widrawal Amount", "Deposit Amount"};
    for (size_t i = 0; i < std::size(captions); ++i) {
        QLabel* label = captions[i].first;
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QString::fromLatin1(texts[i]));
        EXPECT_EQ(label->buddy(), captions[i].second) << texts[i];
        EXPECT_GE(label->width(), label->sizeHint().width()) << texts[i];
    }
    EXPECT_EQ(f.Label1(1)->property("index").toInt(), 1);
    EXPECT_EQ(f.lblDetails(5)->objectName(), QStringLiteral("lblDetails"));
    for (QRadioButton* option : {f.Option1, f.Option2})
        EXPECT_LE(option->sizeHint().width(), option->width()) << option->text().toStdString();

    // Tab walks the controls in their designed order, stopping once at the two options.
    showActive(f);
    f.DateTimePicker1->setFocus(Qt::TabFocusReason);
    QStringList walked;
    for (int i = 0; i < 11; ++i) {
        QWidget* at = QApplication::focusWidget();
        while (at && at->parentWidget() != &f && at->parentWidget() != f.Frame1)
            at = at->parentWidget(); // the date picker's own editor counts as the picker
        walked << (at ? at->objectName() : QStringLiteral("?"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(walked.join(u' ').toStdString(), "DateTimePicker1 Combo1 PushButton5 PushButton6 Text1 Text2 "
                                               "Text3 Option1 PushButton2 PushButton1 DateTimePicker1");
    f.Option2->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f.Option2, Qt::Key_Left); // the arrows choose between the options
    EXPECT_TRUE(f.Option1->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), f.Option1);

    EXPECT_EQ(f.findChild<QPushButton*>(QStringLiteral("PushButton6"))->accessibleName(), QStringLiteral("-"));
    EXPECT_EQ(f.PushButton5->font().pointSizeF(), 11.25);
    EXPECT_TRUE(f.Text1->font().bold());
}

TEST_F(EditorTest, NewTransactionStartsTodayAsNotTaxableWithZeroAmounts)
{
    addAccount(QStringLiteral("Bank"));
    Form2 f;
    f.Form_Load();
    EXPECT_EQ(f.DateTimePicker1->date(), QDate::currentDate());
    EXPECT_EQ(f.DateTimePicker1->minimumDate(), QDate(1601, 1, 1));
    EXPECT_EQ(f.DateTimePicker1->maximumDate(), QDate(9999, 12, 31));
    EXPECT_EQ(f.Combo1->count(), 1);
    EXPECT_EQ(f.Combo1->currentIndex(), -1);
    EXPECT_EQ(f.Text1->text(), QString());
    EXPECT_EQ(f.Text2->text(), QStringLiteral("0"));
    EXPECT_EQ(f.Text3->text(), QStringLiteral("0"));
    EXPECT_TRUE(f.Option2->isChecked());
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(EditorTest, SavingWithoutAnAccountAsksForOneAndKeepsTheWindowOpen)
{
    Form2 f;
    showActive(f);
    f.Form_Load();
    f.Text1->setText(QStringLiteral("Lunch"));
    dialogs.answerMessage(vbOK);
    f.PushButton2_Click();

    ASSERT_EQ(dialogs.prompts().size(), 1u);
    EXPECT_EQ(dialogs.prompts()[0].text, QStringLiteral("You forgot to input Reason."));
    EXPECT_EQ(dialogs.prompts()[0].style, platform::vbOKOnly);
    EXPECT_EQ(dialogs.prompts()[0].title, QStringLiteral("Tallyfold"));
    EXPECT_FALSE(f.isUnloaded());
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), f.Combo1);
    EXPECT_EQ(f.Text1->text(), QStringLiteral("Lunch"));
    EXPECT_EQ(count(QStringLiteral("Transactions")), 0);
}

TEST_F(EditorTest, AddNewThroughTheModalWindowStoresExactlyWhatWasTyped)
{
    const qint64 food = addAccount(QStringLiteral("Food"));
    addAccount(QStringLiteral("Bank"));
    Form2 f;
    f.m_ID = QString();
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
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Record Successfully Saved")});
    const auto rows = query(QStringLiteral("select TransactionDate,TransactionDescription,AccountID,"
                                           "WithdrawalAmount,DepositAmount,Taxable from Transactions"));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0], (QStringList{QStringLiteral("2021-03-05"), QStringLiteral("O'Brien's 'big' trip"),
                                    QString::number(food), QStringLiteral("12.5"), QStringLiteral("0.0"),
                                    QStringLiteral("1")}));
}

TEST_F(EditorTest, EditShowsTheStoredTransactionWithNullsAsZeroAndNo)
{
    const qint64 bank = addAccount(QStringLiteral("Bank"));
    const qint64 id = addTransaction(QStringLiteral("'2020-12-31','Fee',%1,NULL,NULL,NULL").arg(bank));
    const qint64 second = addTransaction(QStringLiteral("'2020-01-02','Pay',%1,1234.5,0.25,1").arg(bank));

    Form2 f;
    f.m_ID = QString::number(id);
    f.Form_Load();
    EXPECT_EQ(f.DateTimePicker1->date(), QDate(2020, 12, 31));
    EXPECT_EQ(f.Combo1->currentText(), QStringLiteral("Bank"));
    EXPECT_EQ(f.Text1->text(), QStringLiteral("Fee"));
    EXPECT_EQ(f.Text2->text(), QStringLiteral("0"));
    EXPECT_EQ(f.Text3->text(), QStringLiteral("0"));
    EXPECT_TRUE(f.Option2->isChecked());

    Form2 g;
    g.m_ID = QString::number(second);
    g.Form_Load();
    EXPECT_EQ(g.Text2->text(), QStringLiteral("1234.5")); // plain: no grouping, no fixed decimals
    EXPECT_EQ(g.Text3->text(), QStringLiteral("0.25"));
    EXPECT_TRUE(g.Option1->isChecked());
    EXPECT_TRUE(dialogs.prompts().empty());

    // Saving the Null amounts unchanged writes explicit zeros, to the same row.
    dialogs.answerMessage(vbOK);
    f.PushButton2_Click();
    EXPECT_EQ(query(QStringLiteral("select WithdrawalAmount,DepositAmount,Taxable from Transactions "
                                   "where TransactionNumber=%1").arg(id)),
              (QList<QStringList>{{QStringLiteral("0.0"), QStringLiteral("0.0"), QStringLiteral("0")}}));
    EXPECT_EQ(count(QStringLiteral("Transactions")), 2);
    EXPECT_TRUE(f.isUnloaded());
}

TEST_F(EditorTest, EditingATransactionOfTheSecondOfTwoSameNamedAccountsPicksTheFirst)
{
    const qint64 first = addAccount(QStringLiteral("Cash"));
    const qint64 second = addAccount(QStringLiteral("Cash"));
    const qint64 id = addTransaction(QStringLiteral("'2021-01-01','x',%1,1,0,0").arg(second));
    Form2 f;
    f.m_ID = QString::number(id);
    f.Form_Load();
    EXPECT_EQ(f.Combo1->currentIndex(), 0);
    dialogs.answerMessage(vbOK);
    f.PushButton2_Click();
    EXPECT_EQ(scalar(QStringLiteral("select AccountID from Transactions")), QString::number(first));
}

TEST_F(EditorTest, CancelAndTheCloseBoxWriteNothing)
{
    const qint64 bank = addAccount(QStringLiteral("Bank"));
    const qint64 id = addTransaction(QStringLiteral("'2021-01-01','Rent',%1,500,0,0").arg(bank));
    const auto before = query(QStringLiteral("select * from Transactions"));

    Form2 cancelled;
    cancelled.m_ID = QString::number(id);
    cancelled.Form_Load();
    cancelled.Text1->setText(QStringLiteral("changed"));
    cancelled.PushButton1->click();
    EXPECT_TRUE(cancelled.isUnloaded());

    for (bool escape : {false, true}) {
        Form2 closed;
        closed.m_ID = escape ? QString() : QString::number(id);
        whenModal([escape](Form2& form) {
            form.Combo1->setCurrentIndex(0);
            form.Text1->setText(QStringLiteral("changed"));
            if (escape)
                QTest::keyClick(&form, Qt::Key_Escape);
            else
                form.close();
        });
        closed.showModal();
        EXPECT_TRUE(closed.isUnloaded());
    }
    EXPECT_EQ(query(QStringLiteral("select * from Transactions")), before);
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(EditorTest, AmountBoxesSelectOnEntryAndTurnNonNumbersIntoZeroOnLeaving)
{
    Form2 f;
    f.Form_Load();
    showActive(f);

    f.Text2->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(f.Text2, QStringLiteral("abc")); // typing replaces the selected "0"
    EXPECT_EQ(f.Text2->text(), QStringLiteral("abc"));
    QTest::keyClick(f.Text2, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), f.Text3);
    EXPECT_EQ(f.Text2->text(), QStringLiteral("0"));
    EXPECT_EQ(f.Text3->selectedText(), QStringLiteral("0"));

    f.Text3->clear();
    f.Text1->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(f.Text3->text(), QStringLiteral("0"));

    f.Text2->setText(QStringLiteral("1,234.50"));
    f.Text2->setFocus(Qt::MouseFocusReason);
    f.Text2->deselect();
    QTest::qWait(1); // a click's caret lands first; the whole text is selected again after it
    EXPECT_EQ(f.Text2->selectedText(), QStringLiteral("1,234.50"));
    f.Text1->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(f.Text2->text(), QStringLiteral("1,234.50")); // numbers are never reformatted
}

TEST_F(EditorTest, AmountsWrittenTheLocaleWayAreStoredAsTheirValue)
{
    const qint64 bank = addAccount(QStringLiteral("Bank"));
    const QLocale previous;
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
        EXPECT_TRUE(f.isUnloaded()) << withdrawal;
    }
    QLocale::setDefault(previous);
    EXPECT_TRUE(dialogs.reports().isEmpty()) << dialogs.reports().join(u'\n').toStdString();
    EXPECT_EQ(query(QStringLiteral("select WithdrawalAmount,DepositAmount,AccountID from Transactions "
                                   "order by TransactionNumber")),
              (QList<QStringList>{{QStringLiteral("1234.5"), QStringLiteral("12.5"), QString::number(bank)},
                                  {QStringLiteral("12.5"), QStringLiteral("0.0"), QString::number(bank)}}));
}

TEST_F(EditorTest, AFailingSaveReportsTheStatementAndKeepsEverythingTyped)
{
    const qint64 bank = addAccount(QStringLiteral("Bank"));
    Form2 f;
    f.Form_Load();
    f.Combo1->setCurrentIndex(0);
    f.Text1->setText(QStringLiteral("Groceries"));
    f.Text2->setText(QStringLiteral("12.50"));
    env.sqlite(QStringLiteral("drop table Transactions"));

    f.PushButton2_Click();
    EXPECT_EQ(dialogs.reportLines(), QStringList{QStringLiteral("Form2.PushButton2_Click 118")});
    ASSERT_EQ(dialogs.reports().size(), 1);
    EXPECT_TRUE(dialogs.reports()[0].contains(QStringLiteral("sql: insert into Transactions (")));
    // The amount goes in character for character, trailing zero included.
    EXPECT_TRUE(dialogs.reports()[0].endsWith(QStringLiteral(",'Groceries',%1,12.50,0,0)").arg(bank)));
    EXPECT_TRUE(dialogs.messages().isEmpty()); // no claim of success
    EXPECT_FALSE(f.isUnloaded());
    EXPECT_EQ(f.Text1->text(), QStringLiteral("Groceries"));
    EXPECT_EQ(f.Text2->text(), QStringLiteral("12.50"));
    EXPECT_EQ(f.Combo1->currentIndex(), 0);
}

TEST_F(EditorTest, AFailingUpdateIsReportedAndNotCalledASuccess)
{
    const qint64 bank = addAccount(QStringLiteral("Bank"));
    const qint64 id = addTransaction(QStringLiteral("'2021-01-01','Rent',%1,500,0,0").arg(bank));
    Form2 f;
    f.m_ID = QString::number(id);
    f.Form_Load();
    f.Text1->setText(QStringLiteral("Rent, March"));
    env.sqlite(QStringLiteral("create trigger Frozen before update on Transactions "
                              "begin select raise(abort, 'ledger is frozen'); end"));
    f.PushButton2_Click();
    EXPECT_EQ(dialogs.reportLines(), QStringList{QStringLiteral("Form2.PushButton2_Click 114")});
    EXPECT_TRUE(dialogs.reports().value(0).startsWith(QStringLiteral("ledger is frozen\r\n")));
    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_FALSE(f.isUnloaded());
    EXPECT_EQ(scalar(QStringLiteral("select TransactionDescription from Transactions")), QStringLiteral("Rent"));
}

TEST_F(EditorTest, EditingATransactionThatIsGoneSavesNothingAndSaysSo)
{
    const qint64 bank = addAccount(QStringLiteral("Bank"));
    Form2 f;
    f.m_ID = QStringLiteral("99");
    f.Form_Load();
    EXPECT_EQ(f.Text2->text(), QStringLiteral("0")); // the load defaults stay
    f.Combo1->setCurrentIndex(0);
    f.Text1->setText(QStringLiteral("typed"));
    dialogs.answerMessage(vbOK);
    f.PushButton2_Click();
    EXPECT_EQ(dialogs.messages(),
              QStringList{QStringLiteral("This transaction no longer exists, so nothing was saved.")});
    EXPECT_FALSE(f.isUnloaded());
    EXPECT_EQ(f.Text1->text(), QStringLiteral("typed"));
    EXPECT_EQ(count(QStringLiteral("Transactions")), 0);
    Q_UNUSED(bank);
}

TEST_F(EditorTest, AccountQueryThatCannotBeOpenedIsReportedOnce)
{
    env.sqlite(QStringLiteral("drop table Accounts"));
    Form2 f;
    f.m_ID = QStringLiteral("1");
    f.Form_Load();
    EXPECT_EQ(dialogs.reportLines(),
              (QStringList{QStringLiteral("Form2.LoadAccounts 106"), QStringLiteral("Form2.LoadData 102")}));
    EXPECT_EQ(f.Combo1->count(), 0);
    EXPECT_TRUE(f.AccountIDs.empty());
}

TEST_F(EditorTest, AnAccountWithoutANameKeepsTheListInStepWithItsIds)
{
    env.sqlite(QStringLiteral("insert into Accounts (AccountName) values (NULL)"));
    const qint64 bank = addAccount(QStringLiteral("Bank"));
    Form2 f;
    f.Form_Load();
    EXPECT_EQ(dialogs.reportLines(), QStringList{QStringLiteral("Form2.LoadAccounts 112")});
    ASSERT_EQ(f.Combo1->count(), 2);
    ASSERT_EQ(f.AccountIDs.size(), 2u);
    f.Combo1->setCurrentIndex(f.Combo1->findText(QStringLiteral("Bank")));
    dialogs.answerMessage(vbOK);
    f.PushButton2_Click();
    EXPECT_EQ(scalar(QStringLiteral("select AccountID from Transactions")), QString::number(bank));
}
