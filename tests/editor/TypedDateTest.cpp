// Dates typed into the editor: taken exactly in the locale's short form, with one or
// two digits for the month and the day; anything else refused on the field itself and
// at OK, never replaced by some other date. And the order Tab walks the window in.
#include "editor/Form2.h"
#include "editor/TypedDate.h"

#include "tests/editor/EditorFixture.h"

#include <QAccessible>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

using editor::Form2;
using platform::vbOK;

namespace {

struct TypedCase {
    QLocale::Language language;
    QLocale::Country country;
    const char* typed;
    QDate stored;   // invalid: refused, and the row keeps its date
};

const QLocale::Language en = QLocale::English, de = QLocale::German;
const QLocale::Country us = QLocale::UnitedStates, gb = QLocale::UnitedKingdom, germany = QLocale::Germany;

const TypedCase kTyped[] = {
    {en, us, "11/15/2026", QDate(2026, 11, 15)},
    {en, us, "1/15/2026", QDate(2026, 1, 15)},
    {en, us, "01/05/2026", QDate(2026, 1, 5)},
    {en, us, " 2/29/2024 ", QDate(2024, 2, 29)},
    {en, us, "12/31/9999", QDate(9999, 12, 31)},
    {en, us, "15/11/2026", {}},   // day first is no date here
    {en, us, "2/29/2026", {}},
    {en, us, "1/15/26", {}},      // a year is typed whole
    {en, us, "1/15", {}},
    {en, us, "tomorrow", {}},
    {en, us, "", {}},
    {en, us, "1/1/1600", {}},
    {en, gb, "15/11/2026", QDate(2026, 11, 15)},
    {en, gb, "5/1/2026", QDate(2026, 1, 5)},
    {en, gb, "11/15/2026", {}},
    {de, germany, "15.11.2026", QDate(2026, 11, 15)},
    {de, germany, "5.1.2026", QDate(2026, 1, 5)},
    {de, germany, "05.01.2026", QDate(2026, 1, 5)},
    {de, germany, "11/15/2026", {}},
};

class TypedDate : public EditorTest {
protected:
    void TearDown() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

} // namespace

TEST_F(TypedDate, ADateTypedInTheShortFormIsTakenExactlyAndAnythingElseIsRefusedOnTheField)
{
    const qint64 bank = env.addAccount(QStringLiteral("Bank"));
    const qint64 id = env.addTransaction(QStringLiteral("'2024-03-05','Rent',%1,700,0,0").arg(bank));
    for (const TypedCase& c : kTyped) {
        const QLocale locale(c.language, c.country);
        SCOPED_TRACE(locale.name().toStdString() + " \"" + c.typed + '"');
        QLocale::setDefault(locale);
        dialogs.clear();
        env.sqlite(QStringLiteral("update Transactions set TransactionDate = '2024-03-05'"));
        Form2 form;
        form.m_ID = QString::number(id);
        form.Form_Load();
        showActive(form);
        form.DateTimePicker1->setFocus(Qt::TabFocusReason);
        QTest::keyClick(form.DateTimePicker1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(form.DateTimePicker1, Qt::Key_Delete);
        QTest::keyClicks(form.DateTimePicker1, QString::fromLatin1(c.typed));
        QTest::keyClick(form.DateTimePicker1, Qt::Key_Tab);   // left: checked there and then
        const QRect before = form.DateTimePicker1->geometry();
        EXPECT_EQ(form.DateTimePicker1->refusalNote()->isVisibleTo(&form), !c.stored.isValid());

        dialogs.answerMessage(vbOK);
        form.PushButton2->click();
        const std::string date = env.rows(QStringLiteral("select TransactionDate from Transactions"));
        EXPECT_EQ(form.DateTimePicker1->geometry(), before);   // nothing moves
        if (c.stored.isValid()) {
            EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Record Successfully Saved")});
            EXPECT_EQ(date, c.stored.toString(Qt::ISODate).toStdString());
            continue;
        }
        // Refused: OK says why, saves nothing, and the typed text stays to be corrected.
        EXPECT_EQ(dialogs.messages(), QStringList{editor::dateRefusal(QString::fromLatin1(c.typed))});
        EXPECT_FALSE(form.isUnloaded());
        EXPECT_EQ(date, "2024-03-05");
        EXPECT_EQ(form.DateTimePicker1->text(), QString::fromLatin1(c.typed));
        EXPECT_EQ(QApplication::focusWidget(), form.DateTimePicker1);
        EXPECT_EQ(form.DateTimePicker1->toolTip(), dialogs.messages().value(0));
        EXPECT_EQ(form.DateTimePicker1->accessibleDescription(), dialogs.messages().value(0));
    }
}

TEST_F(TypedDate, CorrectingARefusedDateClearsTheRefusalAsItIsTyped)
{
    Form2 form;
    form.Form_Load();
    showActive(form);
    form.DateTimePicker1->setFocus(Qt::TabFocusReason);
    form.DateTimePicker1->selectAll();
    QTest::keyClicks(form.DateTimePicker1, QStringLiteral("3/5/20"));
    EXPECT_FALSE(form.DateTimePicker1->refusalNote()->isVisibleTo(&form));   // not while it is being typed
    form.Text1->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(form.DateTimePicker1->refusalNote()->isVisibleTo(&form));
    QTest::keyClicks(form.DateTimePicker1, QStringLiteral("24"));
    EXPECT_FALSE(form.DateTimePicker1->refusalNote()->isVisibleTo(&form));
    EXPECT_TRUE(form.DateTimePicker1->toolTip().isEmpty());
    EXPECT_EQ(form.DateTimePicker1->date(), QDate(2024, 3, 5));
}

TEST_F(TypedDate, ADateTypedAsTheEditorOpensTakesTheShownDatesPlace)
{
    Form2 form;
    form.Form_Load();
    showActive(form);
    form.DateTimePicker1->setFocus(Qt::ActiveWindowFocusReason);
    QTest::keyClicks(form.DateTimePicker1, QStringLiteral("1/15/2026"));
    EXPECT_EQ(form.DateTimePicker1->date(), QDate(2026, 1, 15)) << form.DateTimePicker1->text().toStdString();
}

TEST_F(TypedDate, TabWalksTheTransactionsFieldsInOrderAndTheAccountButtonsStayForTheMouse)
{
    Form2 form;
    form.Form_Load();
    showActive(form);
    form.DateTimePicker1->setFocus(Qt::TabFocusReason);
    const QWidget* expected[] = {form.DateTimePicker1, form.Combo1, form.Text1, form.Text2, form.Text3,
                                 form.Option2, form.PushButton2, form.PushButton1, form.DateTimePicker1};
    for (const QWidget* control : expected) {
        EXPECT_EQ(QApplication::focusWidget(), control) << QApplication::focusWidget()->objectName().toStdString()
                                                        << " instead of " << control->objectName().toStdString();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // The other answer is an arrow key away, and then it is Tab's stop.
    form.Option2->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form.Option2, Qt::Key_Left);
    EXPECT_TRUE(form.Option1->isChecked());
    form.Text3->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form.Text3, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form.Option1);
    for (QPushButton* button : {form.PushButton5, form.PushButton6}) {
        EXPECT_TRUE(button->isEnabled());
        EXPECT_FALSE(button->accessibleName().isEmpty());
    }
    dialogs.answerInput(QString());   // "+" still answers a click
    QTest::mouseClick(form.PushButton5, Qt::LeftButton);
    EXPECT_EQ(dialogs.prompts().size(), 1);
}

TEST_F(TypedDate, TheCalendarPutsThePickedDateInTheField)
{
    Form2 form;
    form.Form_Load();
    showActive(form);
    form.DateTimePicker1->setDate(QDate(2026, 11, 15));
    // Its button, inside the field's own frame, is named for a screen reader.
    const auto buttons = form.DateTimePicker1->findChildren<QToolButton*>();
    ASSERT_EQ(buttons.size(), 1);
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(buttons.first());
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(QAccessible::Name), QStringLiteral("Choose from a calendar"));
    form.DateTimePicker1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form.DateTimePicker1, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(form.DateTimePicker1->calendar() && form.DateTimePicker1->calendar()->isVisible());
    EXPECT_EQ(form.DateTimePicker1->calendar()->selectedDate(), QDate(2026, 11, 15));
    emit form.DateTimePicker1->calendar()->clicked(QDate(2026, 11, 8));
    EXPECT_FALSE(form.DateTimePicker1->calendar()->isVisible());
    EXPECT_EQ(form.DateTimePicker1->text(), QStringLiteral("11/8/2026"));
}
