// The currency choice as the list sees it: read from the settings once per load, with
// bad stored values reported and falling back to the bare pattern, and symbols that
// survive the settings file unchanged.
#include "currency/CurrencyChoice.h"
#include "currency/AmountFormat.h"
#include "platform/AppPaths.h"
#include "tests/support/LedgerEnvironment.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/StoredSettings.h"

#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

using currency::CurrencyChoice;
using currency::OwnCurrencyFormat;
using testing_support::ScriptedDialogs;
using testing_support::LedgerEnvironment;
using testing_support::store;
using testing_support::stored;

namespace {

const QString kLoad116 = QStringLiteral("Form3.Form_Load 116");

TEST(CurrencyChoice, APositionNamingNoEntryIsReportedOncePerLoadAndLeavesTheBarePattern)
{
    for (const char* bad : {"4", "abc"}) {
        SCOPED_TRACE(bad);
        LedgerEnvironment env;
        ScriptedDialogs dialogs;
        store("Currency", QString::fromLatin1(bad));
        dialogs.expectReport(kLoad116);
        EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("#,##0.00"));
        EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("#,##0.00"));
        EXPECT_EQ(stored("Currency"), QString::fromLatin1(bad)) << "a bad value is not overwritten";
        // The next load reads the settings again, and reports again.
        dialogs.expectReport(kLoad116);
        CurrencyChoice::instance().unload();
        OwnCurrencyFormat();
    }
}

TEST(CurrencyChoice, PlacementFollowsTheTwoStoredOptions)
{
    struct Case {
        const char* option1;
        const char* option2;
        const char* pattern;
        QStringList reports;
    };
    const Case cases[] = {
        {"False", "True", "#,##0.00\u20AC", {}},
        {"false", "-1", "#,##0.00\u20AC", {}},
        {"TRUE", "0", "\u20AC#,##0.00", {}},
        // Choosing "Before number" saves "Option2" as False before it is read, so
        // both stored as True come out before the number.
        {"True", "True", "\u20AC#,##0.00", {}},
        // Neither chosen: the symbol goes after the number.
        {"maybe", "False", "#,##0.00\u20AC", {QStringLiteral("Form3.Form_Load 118")}},
        {"False", "yes", "#,##0.00\u20AC", {QStringLiteral("Form3.Form_Load 120")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.option1) + "/" + c.option2);
        LedgerEnvironment env;
        ScriptedDialogs dialogs;
        store("Currency", QStringLiteral("3"));
        store("Option1", QString::fromUtf8(c.option1));
        store("Option2", QString::fromUtf8(c.option2));
        dialogs.expectReports(c.reports);
        EXPECT_EQ(OwnCurrencyFormat(), QString::fromUtf8(c.pattern));
    }
}

TEST(CurrencyChoice, StoredEntriesAreKeptUntrimmedWithEmptiesAndDuplicates)
{
    LedgerEnvironment env;
    ScriptedDialogs dialogs;
    // "-1" chooses nothing, and is no fault to report.
    store("CurrList", QStringLiteral(" $ ;;;;;;$;;;$"));
    store("Currency", QStringLiteral("-1"));
    EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("#,##0.00"));
    EXPECT_EQ(CurrencyChoice::instance().symbols(),
              (QStringList{QStringLiteral(" $ "), QString(), QStringLiteral("$"), QStringLiteral("$")}));
    EXPECT_TRUE(dialogs.prompts().empty());

    // An empty stored list holds no entries at all, so the first position names none.
    store("CurrList", QString());
    store("Currency", QStringLiteral("0"));
    CurrencyChoice::instance().unload();
    dialogs.expectReport(kLoad116);
    EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("#,##0.00"));
    EXPECT_TRUE(CurrencyChoice::instance().symbols().isEmpty());
}

TEST(CurrencyChoice, SymbolsSurviveTheSettingsFileUnchanged)
{
    const QStringList symbols{QStringLiteral("Fr.,-\"q\" \u20B9"), QStringLiteral("\U0001F4B0 back\\slash"),
                              QStringLiteral("=;#\u00A0")};
    for (const QString& symbol : symbols) {
        SCOPED_TRACE(symbol.toStdString());
        LedgerEnvironment env;
        ScriptedDialogs dialogs;
        const QString list = currency::kDefaultCurrList + currency::kListSeparator + symbol;
        CurrencyChoice::saveList(list);
        EXPECT_EQ(CurrencyChoice::storedList(), list);
        // Read the file on disk afresh, past any cache of the one just written.
        const QString copy = env.root() + QStringLiteral("/copy.conf");
        ASSERT_TRUE(QFile::copy(platform::settingsFilePath(), copy));
        const QSettings reread(copy, QSettings::IniFormat);
        EXPECT_EQ(reread.value(QStringLiteral("Tallyfold/CurrList")).toString(), list);

        store("Currency", QString::number(currency::splitList(list).size() - 1));
        store("Option1", QStringLiteral("False"));
        const QString last = currency::splitList(list).last();
        EXPECT_EQ(OwnCurrencyFormat(), QStringLiteral("#,##0.00") + last);
    }
}

} // namespace
