// Two editors on one transaction: this window, and another desktop (another copy of the
// program in a process of its own, on the same file or the same server ledger) that
// saved first. Each side's changes to different fields are both kept without a word;
// only a field both changed is asked about, and the user's other changes stay whichever
// way it is answered. The save still writes only over the row as read, in one statement.
#include "editor/Form2.h"

#include "data/Ledger.h"
#include "tests/support/LedgerEnvironment.h"
#include "tests/support/ModalWindow.h"
#include "tests/support/OtherCopy.h"
#include "tests/support/PgEnvironment.h"
#include "tests/support/ScriptedDialogs.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>

using editor::Form2;
using platform::vbNo;
using platform::vbOK;
using platform::vbYes;

namespace {

enum class Kind { File, Server };

// One case: what the other desktop saved, what the user typed meanwhile, and what the
// row holds after the user's OK.
struct MergeCase {
    const char* name;
    const char* theirs;                  // the SET list of their update
    std::optional<QString> description;  // the user's, when typed
    std::optional<QString> withdrawal;
    std::optional<bool> taxable;
    std::optional<QString> account;
    std::optional<int> answer;           // the answer to the question, when one is to come
    QStringList asked;                   // lines the question holds
    QStringList notAsked;                // lines it must not hold
    const char* row;                     // date|description|account|withdrawal|deposit|taxable
};

const MergeCase kCases[] = {
    {"DifferentFieldsAreBothKeptWithoutAQuestion", "TransactionDescription = 'Rent March'", std::nullopt,
     QStringLiteral("725"), std::nullopt, std::nullopt, std::nullopt, {}, {}, "2024-03-05|Rent March|Bank|725|0|0"},
    {"TheSameValueOnBothSidesIsNoConflict", "TransactionDescription = 'Rent March', Taxable = True",
     QStringLiteral("Rent March"), QStringLiteral("725"), std::nullopt, std::nullopt, std::nullopt, {}, {},
     "2024-03-05|Rent March|Bank|725|0|1"},
    {"AnAmountRetypedAsTheSameNumberIsNoChange", "WithdrawalAmount = 725", std::nullopt, QStringLiteral("700.00"),
     std::nullopt, std::nullopt, std::nullopt, {}, {}, "2024-03-05|Rent|Bank|725|0|0"},
    {"TheirDateAndYourDescriptionAreBothKept", "TransactionDate = #04/01/2024#", QStringLiteral("Rent April"),
     std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}, {}, "2024-04-01|Rent April|Bank|700|0|0"},
    {"TheirAccountAndYourTaxableAreBothKept", "AccountID = 2", std::nullopt, std::nullopt, true, std::nullopt,
     std::nullopt, {}, {}, "2024-03-05|Rent|Cash|700|0|1"},
    {"AFieldBothChangedKeepsYoursOnYesWithYourOtherChanges",
     "TransactionDescription = 'Rent March', Taxable = True", QStringLiteral("Rent (March)"), QStringLiteral("725"),
     std::nullopt, std::nullopt, vbYes, {QStringLiteral("Description: theirs \"Rent March\", yours \"Rent (March)\"")},
     {QStringLiteral("Withdrawal:"), QStringLiteral("Taxable:")}, "2024-03-05|Rent (March)|Bank|725|0|1"},
    {"AFieldBothChangedTakesTheirsOnNoAndKeepsYourOtherChanges",
     "TransactionDescription = 'Rent March', Taxable = True", QStringLiteral("Rent (March)"), QStringLiteral("725"),
     std::nullopt, std::nullopt, vbNo, {QStringLiteral("Description: theirs \"Rent March\", yours \"Rent (March)\"")},
     {QStringLiteral("Withdrawal:")}, "2024-03-05|Rent March|Bank|725|0|1"},
    {"EveryFieldBothChangedIsShownTheirsBesideYours", "WithdrawalAmount = 710, AccountID = 2", std::nullopt,
     QStringLiteral("725"), std::nullopt, QStringLiteral("Food"), vbNo,
     {QStringLiteral("Withdrawal: theirs \"710\", yours \"725\""), QStringLiteral("Account: theirs \"Cash\", yours \"Food\"")},
     {QStringLiteral("Description:")}, "2024-03-05|Rent|Cash|710|0|0"},
};

// Names in the test's listing, rather than the bytes of the values.
void PrintTo(Kind kind, std::ostream* os) { *os << (kind == Kind::File ? "file" : "server"); }
void PrintTo(const MergeCase& c, std::ostream* os) { *os << c.name; }

class EditMerge : public ::testing::TestWithParam<std::tuple<Kind, MergeCase>> {
protected:
    void SetUp() override
    {
        if (std::get<Kind>(GetParam()) == Kind::File) {
            ledger.set(nullptr);   // the file in the data folder, for this copy and the other
            env.openLedger();
        } else {
            const QString database = testing_support::freshPgDatabase();
            ledger.set(testing_support::sharedPgServer().conninfo(database).toUtf8().constData());
            data::Connection made;
            made.setOwner({.createLedger = [](const QString&) { return true; }});
            made.Open(data::connectionString());
            ASSERT_EQ(made.problem(), platform::FileProblem::None) << made.problemMessage().toStdString();
            made.Close();
            data::createConnection();
            data::connection().Open(data::connectionString());
        }
        for (const char* name : {"Bank", "Cash", "Food"})
            data::connection().Execute(QStringLiteral("insert into Accounts (AccountName) values ('%1')").arg(name));
        data::connection().Execute(QStringLiteral(
            "insert into Transactions (TransactionDate,TransactionDescription,AccountID,WithdrawalAmount,"
            "DepositAmount,Taxable) values (#03/05/2024#,'Rent',1,700,0,False)"));
    }

    // The transaction as the ledger holds it now, its account by name.
    static std::string row()
    {
        data::Recordset rs;
        rs.Open(QStringLiteral("select * from Transactions a inner join Accounts b on b.AccountID=a.AccountID"),
                data::connection());
        if (rs.eof())
            return "(none)";
        const auto field = [&](const char16_t* name) { return rs.Fields(name).Value(); };
        return QStringLiteral("%1|%2|%3|%4|%5|%6")
            .arg(field(u"TransactionDate").toDate().toString(Qt::ISODate), field(u"TransactionDescription").toString(),
                 field(u"AccountName").toString())
            .arg(field(u"WithdrawalAmount").toDouble())
            .arg(field(u"DepositAmount").toDouble())
            .arg(field(u"Taxable").toBool() ? 1 : 0)
            .toStdString();
    }

    testing_support::ScopedVariable ledger{"TALLYFOLD_LEDGER"};
    testing_support::LedgerEnvironment env;
    testing_support::ScriptedDialogs dialogs;
};

} // namespace

TEST_P(EditMerge, EachSidesChangesAreKeptAndOnlyAFieldBothChangedIsAsked)
{
    const MergeCase& c = std::get<MergeCase>(GetParam());
    Form2 form;
    form.m_ID = QStringLiteral("1");
    form.Form_Load();

    testing_support::OtherCopy other;
    ASSERT_EQ(other.send(QStringLiteral("open")), "opened");
    ASSERT_EQ(other.send(QStringLiteral("exec update Transactions set %1 where TransactionNumber = 1")
                             .arg(QString::fromLatin1(c.theirs))),
              "done 1");

    if (c.description)
        form.Text1->setText(*c.description);
    if (c.withdrawal)
        form.Text2->setText(*c.withdrawal);
    if (c.taxable)
        (*c.taxable ? form.Option1 : form.Option2)->setChecked(true);
    if (c.account)
        form.Combo1->setCurrentIndex(form.Combo1->findText(*c.account));
    if (c.answer)
        dialogs.answerMessage(*c.answer);
    dialogs.answerMessage(vbOK);
    form.PushButton2->click();

    ASSERT_EQ(dialogs.messages().size(), c.answer ? 2 : 1) << dialogs.messages().join(u'\n').toStdString();
    for (const QString& line : c.asked)
        EXPECT_TRUE(dialogs.messages().first().contains(line)) << line.toStdString();
    for (const QString& line : c.notAsked)
        EXPECT_FALSE(dialogs.messages().first().contains(line)) << line.toStdString();
    EXPECT_EQ(dialogs.messages().last(), QStringLiteral("Record Successfully Saved"));
    EXPECT_TRUE(form.isUnloaded());
    EXPECT_EQ(row(), c.row);
}

INSTANTIATE_TEST_SUITE_P(BothLedgers, EditMerge,
                         ::testing::Combine(::testing::Values(Kind::File, Kind::Server), ::testing::ValuesIn(kCases)),
                         [](const auto& info) {
                             return std::string(std::get<Kind>(info.param) == Kind::File ? "File_" : "Server_")
                                 + std::get<MergeCase>(info.param).name;
                         });
