// The currency options window as the user works it: real widgets on the offscreen
// platform, the settings file of a throw-away environment, scripted input and message
// boxes.
#include "currency/Form3.h"
#include "currency/AmountFormat.h"
#include "currency/CurrencyChoice.h"
#include "platform/AppPaths.h"
#include "platform/Settings.h"
#include "shell/MousePointer.h"
#include "tests/support/LedgerEnvironment.h"
#include "tests/support/ModalWindow.h"
#include "tests/support/PermissionsApply.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/StoredSettings.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

using currency::CurrencyChoice;
using currency::Form3;
using currency::OwnCurrencyFormat;
using testing_support::ScriptedDialogs;
using testing_support::LedgerEnvironment;
using testing_support::stored;

namespace {

QStringList entries(const QComboBox* combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

const QStringList kDefaults{QStringLiteral("$"), QStringLiteral("\u00A3"), QStringLiteral("\u00A5"),
                            QStringLiteral("\u20AC")};

class CurrencyOptions : public ::testing::Test {
protected:
    LedgerEnvironment env;
    ScriptedDialogs dialogs;
};

TEST_F(CurrencyOptions, WithoutSettingsOffersTheFourSymbolsWithDollarBefore)
{
    Form3 form;
    form.Form_Load();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Currency Options"));
    EXPECT_EQ(form.Combo2->accessibleName(), QStringLiteral("Currency Option"));
    EXPECT_FALSE(form.Combo2->isEditable());
    EXPECT_EQ(entries(form.Combo2), kDefaults);
    EXPECT_TRUE(form.Option1->isChecked());
    EXPECT_EQ(currency::formatAmount(1234.5, OwnCurrencyFormat()), QStringLiteral("$1,234.50"));
    EXPECT_EQ(currency::formatAmount(-5.0, OwnCurrencyFormat()), QStringLiteral("-$5.00"));
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(CurrencyOptions, AfterNumberThenCloseTakesEffectAtOnce)
{
    EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("$#,##0.00"));   // the list's hidden load
    Form3 form;
    form.Form_Load();
    form.Option2->click();
    EXPECT_EQ(stored("Option1"), QStringLiteral("False"));
    EXPECT_EQ(stored("Option2"), QStringLiteral("True"));
    form.PushButton2_Click();
    EXPECT_FALSE(CurrencyChoice::instance().isLoaded());
    EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("#,##0.00$"));
    form.Option1->click();   // the user's own button click saves too
    EXPECT_EQ(stored("Option1"), QStringLiteral("True"));
}

TEST_F(CurrencyOptions, AddedSymbolIsAppendedWithoutChangingTheChoice)
{
    Form3 form;
    form.Form_Load();
    form.Combo2->setCurrentIndex(2);
    // A cancelled or empty answer changes nothing.
    dialogs.answerInput(QString());
    form.PushButton3_Click();
    EXPECT_EQ(stored("CurrList"), QStringLiteral("<absent>"));
    dialogs.clear();
    dialogs.answerInput(QStringLiteral("CHF "));
    form.PushButton3->click();

    ASSERT_EQ(dialogs.prompts().size(), 1u);
    EXPECT_EQ(dialogs.prompts()[0].text, QStringLiteral("Add Currency"));
    EXPECT_EQ(entries(form.Combo2), kDefaults + QStringList{QStringLiteral("CHF ")});
    EXPECT_EQ(form.Combo2->currentIndex(), 2);
    EXPECT_EQ(stored("Currency"), QStringLiteral("2"));
    EXPECT_EQ(stored("CurrList"), QStringLiteral("$;;;\u00A3;;;\u00A5;;;\u20AC;;;CHF "));

    form.Combo2->setCurrentIndex(4);
    EXPECT_EQ(stored("Currency"), QStringLiteral("4"));
    form.PushButton2_Click();
    EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("CHF #,##0.00"));
}

TEST_F(CurrencyOptions, AddingToAnEmptyListShowsNothingChosenUntilTheUserChooses)
{
    testing_support::store("CurrList", QString());
    testing_support::store("Currency", "-1");
    Form3 form;
    form.Form_Load();
    dialogs.answerInput(QStringLiteral("CHF"));
    form.PushButton3_Click();
    EXPECT_EQ(entries(form.Combo2), QStringList{"CHF"});
    // What the list shows chosen is what amounts use: nothing yet.
    EXPECT_EQ(form.Combo2->currentIndex(), -1);
    EXPECT_EQ(form.Combo2->currentText(), QString());
    EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("#,##0.00"));
    EXPECT_EQ(stored("Currency"), QStringLiteral("-1"));
    // The stored list holds the one entry the window shows, at the same position.
    EXPECT_EQ(stored("CurrList"), QStringLiteral("CHF"));

    form.Combo2->setCurrentIndex(0);
    form.PushButton2_Click();
    EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("CHF#,##0.00"));
}

TEST_F(CurrencyOptions, AddingToAnEmptyListWhoseStoredPositionNamesTheNewSymbolShowsItChosen)
{
    // The first position is stored (the default), but an empty list has no entry there.
    testing_support::store("CurrList", QString());
    dialogs.expectReport("Form3.Form_Load 116");
    Form3 form;
    form.Form_Load();
    EXPECT_EQ(form.Combo2->currentIndex(), -1);
    dialogs.answerInput(QStringLiteral("CHF"));
    form.PushButton3_Click();
    // The next load takes the stored position, which now names CHF: it is the choice
    // in force, shown as such and used at once.
    EXPECT_EQ(form.Combo2->currentIndex(), 0);
    EXPECT_EQ(form.Combo2->currentText(), QStringLiteral("CHF"));
    EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("CHF#,##0.00"));
    form.PushButton2_Click();
    EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("CHF#,##0.00"));

    // A stored position past the end of a list of four names the fifth entry added.
    testing_support::store("CurrList", QStringLiteral("$;;;\u00A3;;;\u00A5;;;\u20AC"));
    testing_support::store("Currency", "4");
    CurrencyChoice::instance().unload();   // as at the next start
    dialogs.expectReport("Form3.Form_Load 116");
    Form3 again;
    again.Form_Load();
    dialogs.answerInput(QStringLiteral("kr"));
    again.PushButton3_Click();
    EXPECT_EQ(again.Combo2->currentText(), QStringLiteral("kr"));
    again.PushButton2_Click();
    EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("kr#,##0.00"));
    EXPECT_TRUE(dialogs.awaitedReports().isEmpty());
}

TEST_F(CurrencyOptions, AddedSymbolLosesControlCharactersAndABrokenOneIsRefused)
{
    Form3 form;
    form.Form_Load();
    dialogs.answerInput(QStringLiteral("kr") + QChar(0) + QStringLiteral("\n"));
    form.PushButton3_Click();
    dialogs.answerInput(QStringLiteral("\r\n"));   // nothing left: as if cancelled
    form.PushButton3_Click();
    dialogs.answerInput(QString(QChar(0xDC00)));
    dialogs.expectReport("Form3.PushButton3_Click 100");
    form.PushButton3_Click();
    EXPECT_EQ(entries(form.Combo2), kDefaults + QStringList{"kr"});
    EXPECT_EQ(stored("CurrList"), currency::kDefaultCurrList + QStringLiteral(";;;kr"));
}

TEST_F(CurrencyOptions, AChoiceThatCannotBeSavedStaysInForceAndTheUserIsTold)
{
    testing_support::store("Currency", "0");
    const QString folder = env.configHome() + QStringLiteral("/Marlowick");
    Form3 form;
    form.Form_Load();
    chmod(folder.toUtf8().constData(), 0555);
    {
        testing_support::PermissionsApply permissions;
        dialogs.answerMessage(platform::vbOK);
        form.Option2->click();
        dialogs.answerMessage(platform::vbOK);
        form.Combo2->setCurrentIndex(3);
        dialogs.answerInput(QStringLiteral("CHF"));
        dialogs.expectReport("Form3.PushButton3_Click 110");
        form.PushButton3_Click();
    }
    chmod(folder.toUtf8().constData(), 0755);
    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_TRUE(dialogs.messages()[0].startsWith("Your choice is in use, but it could not be kept for the next start:"));
    EXPECT_TRUE(dialogs.messages()[1].contains(platform::settingsFilePath()));
    EXPECT_TRUE(dialogs.reports().value(0).contains(platform::settingsFilePath()));
    EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("#,##0.00\u20AC"));   // in force while the window is open
    form.PushButton2_Click();
    EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("$#,##0.00"));        // not kept
}

TEST_F(CurrencyOptions, AStoredListTooLongToReadIsNeverWrittenOver)
{
    const QString longList = currency::kDefaultCurrList + QString(5000, u'x');
    testing_support::store("CurrList", longList.left(platform::settings::kMaxValueLength));
    QFile file(platform::settingsFilePath());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("CurrList=\"" + longList.toUtf8() + "\"\n");   // as a hand edit might leave it
    file.close();

    Form3 form;
    dialogs.expectReports({"Form3.Form_Load 108", "Form3.Form_Load 116"});
    form.Form_Load();
    const QByteArray before = testing_support::fileHash(platform::settingsFilePath());
    dialogs.answerInput(QStringLiteral("CHF"));
    dialogs.expectReport("Form3.PushButton3_Click 106");
    form.PushButton3_Click();
    EXPECT_EQ(entries(form.Combo2), QStringList{"CHF"});
    EXPECT_EQ(testing_support::fileHash(platform::settingsFilePath()), before);
}

TEST_F(CurrencyOptions, HintNamesThePlusButton)
{
    Form3 form;
    dialogs.answerMessage(platform::vbOK);
    form.PushButton4->click();
    EXPECT_EQ(dialogs.messages(),
              QStringList{"You use a currency already in the list or add your own using the '+' button."});
}

TEST_F(CurrencyOptions, BadPositionIsReportedOnceThenMendedByChoosing)
{
    testing_support::store("Currency", "7");
    dialogs.expectReport("Form3.Form_Load 116");
    EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("#,##0.00"));
    EXPECT_TRUE(dialogs.awaitedReports().isEmpty());

    // The window shows the choice the list already loaded; nothing is read or reported again.
    Form3 form;
    form.Form_Load();
    EXPECT_EQ(form.Combo2->currentIndex(), -1);

    form.Combo2->setCurrentIndex(1);
    form.PushButton2_Click();
    EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("\u00A3#,##0.00"));
}

TEST_F(CurrencyOptions, ClosingTheModalWindowAnyWayDropsTheCachedChoice)
{
    EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("$#,##0.00"));
    QWidget owner;
    Form3 form(&owner);
    bool sawForm = false;
    testing_support::ModalWindow modal;
    modal.whenShown([&](QWidget* window) {
        sawForm = window == &form;
        window->close();   // the title bar's close box
    });
    form.showModal();
    EXPECT_TRUE(sawForm);
    EXPECT_EQ(form.Combo2->count(), 4);
    EXPECT_FALSE(CurrencyChoice::instance().isLoaded());
}

TEST_F(CurrencyOptions, HandStaysOverTheBareBackgroundUntilTheMouseCrossesAFrame)
{
    env.addSideFile(QStringLiteral("HAND-M.CUR"));
    Form3 form;
    form.Form_Load();
    for (const QWidget* w : {static_cast<const QWidget*>(&form), static_cast<const QWidget*>(form.Frame2),
                             static_cast<const QWidget*>(form.Frame3), static_cast<const QWidget*>(form.Option2)}) {
        EXPECT_EQ(w->palette().color(w->backgroundRole()), QApplication::palette().color(QPalette::Button))
            << w->objectName().toStdString();
    }
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto pointerAfterMoving = [&form](QWidget* w, QPoint at = {3, 3}) {
        QTest::mouseMove(w, at);
        return shell::mousePointer(&form);
    };
    EXPECT_EQ(pointerAfterMoving(form.PushButton3), 99);   // inside Frame2
    EXPECT_EQ(pointerAfterMoving(form.Frame2), 0);
    EXPECT_EQ(pointerAfterMoving(form.PushButton2), 99);
    EXPECT_EQ(pointerAfterMoving(&form, {2, form.height() - 2}), 99);
    EXPECT_EQ(pointerAfterMoving(form.Frame3, {form.Frame3->width() - 3, 3}), 0);
    EXPECT_EQ(pointerAfterMoving(form.PushButton4), 99);
    form.done(QDialog::Accepted);
}

} // namespace
