// The import's window and its command on a ledger file and on a server ledger alike:
// the account found from the statement or chosen (never guessed), made from the window
// or by --create-account; a file of several accounts' statements imported as one step;
// a statement already in another account told (and refused unless --force); a read of
// the ledger that fails while the window is open told in the window.
#include "data/Connection.h"
#include "data/Ledger.h"
#include "main/ImportWindow.h"
#include "tests/main/MainWindowFixture.h"
#include "tests/support/PgEnvironment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using mainwindow::ImportWindow;
using Outcome = testing_support::TestEnvironment::Run;

namespace {

enum class Kind { File, Server };

QByteArray ofxOf(const QList<QByteArray>& statements)
{
    QByteArray ofx = "OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\n\r\n<OFX><BANKMSGSRSV1>\r\n";
    for (const QByteArray& statement : statements)
        ofx += statement;
    return ofx + "</BANKMSGSRSV1></OFX>\r\n";
}

// One account's statement: its rows "FITID,YYYYMMDD,amount,name;..."
QByteArray statementOf(const char* account, const char* type, const QByteArray& rows)
{
    QByteArray text = QByteArray("<STMTTRNRS><TRNUID>1\r\n<STMTRS><CURDEF>USD\r\n<BANKACCTFROM><BANKID>1<ACCTID>")
        + account + "<ACCTTYPE>" + type + "</BANKACCTFROM>\r\n<BANKTRANLIST>\r\n";
    for (const QByteArray& row : rows.split(';')) {
        if (row.isEmpty())
            continue;
        const QList<QByteArray> f = row.split(',');
        text += "<STMTTRN><TRNTYPE>OTHER<DTPOSTED>" + f[1] + "<TRNAMT>" + f[2] + "<FITID>" + f[0] + "<NAME>" + f[3]
            + "</STMTTRN>\r\n";
    }
    return text + "</BANKTRANLIST></STMTRS></STMTTRNRS>\r\n";
}

const QByteArray kGroceries = "Date,Description,Amount\n"
                              "2025-01-03,Market,-42.17\n"
                              "2025-01-04,Bakery,-3.20\n"
                              "2025-01-05,Refund,5.00\n";

class ImportBothWays : public MainWindowTest, public ::testing::WithParamInterface<Kind> {
protected:
    void SetUp() override
    {
        if (GetParam() == Kind::File) {
            prepareLedger();
            env.addAccount(QStringLiteral("Household"));
            return;
        }
        database = testing_support::freshPgDatabase();
        conninfo = testing_support::sharedPgServer().conninfo(database);
        ledgerVariable.set(conninfo.toUtf8().constData());
        data::Connection ledger;
        ledger.setOwner({.createLedger = [](const QString&) { return true; }});
        ledger.Open(data::serverConnectionString(conninfo));
        ASSERT_EQ(ledger.problem(), platform::FileProblem::None) << ledger.problemMessage().toStdString();
        ledger.Execute(QStringLiteral("insert into Accounts (AccountName) values ('Household')"));
        ledger.Close();
    }

    // The rows of `sql` on whichever ledger it is ("a|b; c|d").
    std::string rows(const QString& sql) const
    {
        if (GetParam() == Kind::File)
            return env.rows(sql);
        const auto result = testing_support::sharedPgServer().run(sql, database);
        EXPECT_TRUE(result.ok()) << result.error.toStdString();
        return result.rows.toStdString();
    }
    void execute(const QString& sql) const
    {
        if (GetParam() == Kind::File)
            env.sqlite(sql);
        else
            EXPECT_TRUE(testing_support::sharedPgServer().run(sql, database).ok());
    }
    void addAccounts(const QStringList& names) const
    {
        for (const QString& name : names)
            execute(QStringLiteral("insert into Accounts (AccountName) values ('%1')").arg(name));
    }
    std::string descriptionsIn(const QString& account) const
    {
        return rows(QStringLiteral("select t.TransactionDescription from Transactions t inner join Accounts a on "
                                   "a.AccountID = t.AccountID where a.AccountName = '%1' order by t.TransactionNumber")
                        .arg(account));
    }

    // The program run as a script runs it, on this test's ledger.
    Outcome command(const QStringList& arguments) const
    {
        const QString runtime = env.root() + QStringLiteral("/runtime");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return env.runWithoutScreen(QStringLiteral(TALLYFOLD_PROGRAM), arguments,
                                    {QStringLiteral("LC_ALL=C.UTF-8"), QStringLiteral("XDG_RUNTIME_DIR=") + runtime});
    }

    // Opens the window as the main window does and lets `act` work in it; cancelled
    // afterwards unless `act` closed it.
    void inWindow(const QString& file, const std::function<void(ImportWindow&)>& act)
    {
        whenModal([act](QWidget* w) {
            auto* window = dynamic_cast<ImportWindow*>(w);
            ASSERT_NE(window, nullptr);
            act(*window);
            if (window->isVisible())
                window->cancelButton()->click();
        });
        form.importStatement(file);
        ASSERT_TRUE(modalSeen());
    }

    testing_support::ScopedVariable ledgerVariable{"TALLYFOLD_LEDGER"};
    QString database;
    QString conninfo;
};

} // namespace

TEST_P(ImportBothWays, NoAccountIsGuessedTheStatementsOwnIsFoundOrMadeAndThenRemembered)
{
    addAccounts({QStringLiteral("Groceries"), QStringLiteral("Savings")});
    start();
    const QString january = env.writeFile(QStringLiteral("download.ofx"),
                                          ofxOf({statementOf("0012346789", "CHECKING", "C1,20250103,-42.17,Market")}));
    dialogs.answerInput(QStringLiteral("Everyday"));   // a name that tells nothing of the statement
    dialogs.answerMessage(platform::vbOK);
    inWindow(january, [](ImportWindow& window) {
        ASSERT_EQ(window.statementCount(), 1);
        EXPECT_EQ(window.accountBox()->currentText(), "(choose an account)");   // not "Groceries"
        EXPECT_EQ(window.accountBox()->accessibleName(), "Import into");
        EXPECT_EQ(window.rows()->accessibleName(), "Statement rows");
        EXPECT_FALSE(window.importButton()->isEnabled());
        EXPECT_TRUE(window.summary()->text().startsWith("Choose the account to import into"))
            << window.summary()->text().toStdString();
        window.newAccountButton()->click();
        EXPECT_EQ(window.accountBox()->currentText(), "Everyday");
        EXPECT_EQ(window.rows()->item(0, 1)->text(), "Everyday");
        ASSERT_TRUE(window.importButton()->isEnabled());
        window.importButton()->click();
    });
    const std::vector<testing_support::Prompt>& prompts = dialogs.prompts();
    ASSERT_GE(prompts.size(), 1u);
    EXPECT_EQ(prompts.front().kind, testing_support::Prompt::Input);
    EXPECT_EQ(prompts.front().title, "New Account");
    EXPECT_EQ(descriptionsIn(QStringLiteral("Everyday")), "Market");
    form.mnuUndo_Click();   // the import
    form.mnuUndo_Click();   // and the account, a step of its own
    EXPECT_EQ(rows(QStringLiteral("select count(*) from Accounts where AccountName = 'Everyday'")), "0");
    form.mnuRedo_Click();
    form.mnuRedo_Click();

    // The next statement of that account goes to it unasked (remembered by its number);
    // one of an account whose type names one does too.
    inWindow(env.writeFile(QStringLiteral("february.ofx"),
                           ofxOf({statementOf("0012346789", "CHECKING", "C2,20250203,-1.00,Kiosk")})),
             [](ImportWindow& window) {
                 EXPECT_EQ(window.accountBox()->currentText(), "Everyday");
                 EXPECT_TRUE(window.importButton()->isEnabled());
             });
    inWindow(env.writeFile(QStringLiteral("other.ofx"), ofxOf({statementOf("555", "SAVINGS", "S1,20250203,9.00,Interest")})),
             [](ImportWindow& window) { EXPECT_EQ(window.accountBox()->currentText(), "Savings"); });
}

TEST_P(ImportBothWays, AFileOfSeveralAccountsImportsEachIntoItsOwnAsOneStep)
{
    addAccounts({QStringLiteral("Checking"), QStringLiteral("Savings")});
    start();
    const QString file = env.writeFile(
        QStringLiteral("both.ofx"), ofxOf({statementOf("1111", "CHECKING", "C1,20250103,-42.17,Market;C2,20250104,-3.20,Bakery"),
                                           statementOf("2222", "SAVINGS", "S1,20250131,1.25,Interest")}));
    dialogs.answerMessage(platform::vbOK);
    inWindow(file, [](ImportWindow& window) {
        ASSERT_EQ(window.statementCount(), 2);
        EXPECT_EQ(window.accountBox(0)->accessibleName(), "Import 1111 (CHECKING) into");
        EXPECT_EQ(window.accountBox(0)->currentText(), "Checking");
        EXPECT_EQ(window.accountBox(1)->currentText(), "Savings");
        EXPECT_EQ(window.statuses(), (QStringList{"new", "new", "new"}));
        EXPECT_EQ(window.rows()->item(2, 1)->text(), "Savings");
        // Each statement waits for its own account.
        window.accountBox(1)->setCurrentIndex(0);
        EXPECT_EQ(window.rows()->item(2, 1)->text(), "");
        EXPECT_FALSE(window.importButton()->isEnabled());
        window.accountBox(1)->setCurrentIndex(window.accountBox(1)->findText("Savings"));
        ASSERT_TRUE(window.importButton()->isEnabled());
        window.importButton()->click();
    });
    EXPECT_EQ(dialogs.messages().last(), "3 added, 0 already in the ledger, 0 not readable.");
    EXPECT_EQ(descriptionsIn(QStringLiteral("Checking")), "Market; Bakery");
    EXPECT_EQ(descriptionsIn(QStringLiteral("Savings")), "Interest");
    form.mnuUndo_Click();   // one step takes back both accounts' rows
    EXPECT_EQ(rows(QStringLiteral("select count(*) from Transactions")), "0");
    EXPECT_EQ(rows(QStringLiteral("select count(*) from ImportKeys")), "0");
    form.mnuRedo_Click();
    EXPECT_EQ(rows(QStringLiteral("select count(*) from Transactions")), "3");
    closeWindow(form);
    data::releaseConnection();

    // On the command line, an account for each account id, or nothing at all.
    const QString march = env.writeFile(
        QStringLiteral("march.ofx"), ofxOf({statementOf("1111", "CHECKING", "C3,20250303,-7.00,Cafe"),
                                            statementOf("2222", "SAVINGS", "S2,20250331,1.30,Interest")}));
    const Outcome half = command({"--import", march, "--account", "1111=Checking"});
    EXPECT_EQ(half.status, 1);
    EXPECT_EQ(half.errors, "tallyfold: nothing was imported from march.ofx: the file holds statements of 2 accounts "
                           "(1111, 2222); name the account to import each into with --account ID=NAME, once per "
                           "account.\n");
    const Outcome both = command({"--import", march, "--account", "1111=Checking", "--account", "2222=Savings"});
    EXPECT_EQ(both.status, 0) << both.errors.toStdString();
    EXPECT_EQ(both.out, "2 added, 0 already in the ledger, 0 not readable\n");
    EXPECT_EQ(descriptionsIn(QStringLiteral("Savings")), "Interest; Interest");

    // An account with nothing this period needs no account named.
    const QString april = env.writeFile(QStringLiteral("april.ofx"),
                                        ofxOf({statementOf("1111", "CHECKING", "C4,20250403,-2.00,Bus"),
                                               statementOf("3333", "SAVINGS", "")}));
    const Outcome quiet = command({"--import", april, "--account", "1111=Checking"});
    EXPECT_EQ(quiet.status, 0) << quiet.errors.toStdString();
    EXPECT_EQ(quiet.out, "1 added, 0 already in the ledger, 0 not readable\n");
}

TEST_P(ImportBothWays, AStatementAlreadyInAnotherAccountIsToldAndRefusedUnlessForced)
{
    addAccounts({QStringLiteral("Card")});
    const QString file = env.writeFile(QStringLiteral("groceries.csv"), kGroceries);
    const Outcome first = command({"--import", file, "--account", "Household"});
    ASSERT_EQ(first.status, 0) << first.errors.toStdString();

    const Outcome again = command({"--import", file, "--account", "Card"});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.errors, "tallyfold: nothing was imported from groceries.csv: Most of these rows are already in the "
                            "ledger in the account \"Household\": imported into \"Card\" as well, they would be there "
                            "twice. Give --force to import them all the same.\n");
    EXPECT_EQ(descriptionsIn(QStringLiteral("Card")), "");

    start();
    inWindow(file, [](ImportWindow& window) {
        window.accountBox()->setCurrentIndex(window.accountBox()->findText("Card"));
        EXPECT_TRUE(window.summary()->text().contains("Most of these rows are already in the ledger in the account "
                                                      "\"Household\""))
            << window.summary()->text().toStdString();
        window.accountBox()->setCurrentIndex(window.accountBox()->findText("Household"));
        EXPECT_FALSE(window.summary()->text().contains("Most of these rows")) << window.summary()->text().toStdString();
    });
    closeWindow(form);
    data::releaseConnection();

    const Outcome forced = command({"--import", file, "--account", "Card", "--force"});
    EXPECT_EQ(forced.status, 0) << forced.errors.toStdString();
    EXPECT_EQ(descriptionsIn(QStringLiteral("Card")), "Market; Bakery; Refund");
}

TEST_P(ImportBothWays, AMissingAccountIsMadeOnlyWhenAsked)
{
    const QString file = env.writeFile(QStringLiteral("groceries.csv"), kGroceries);
    const Outcome unknown = command({"--import", file, "--account", "Groceries"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.errors, "tallyfold: nothing was imported from groceries.csv: there is no account named "
                              "\"Groceries\". The accounts are: \"Household\".\n");
    const Outcome made = command({"--import", file, "--account", "Groceries", "--create-account"});
    EXPECT_EQ(made.status, 0) << made.errors.toStdString();
    EXPECT_EQ(made.out, "3 added, 0 already in the ledger, 0 not readable\n");
    EXPECT_EQ(rows(QStringLiteral("select AccountName from Accounts order by AccountID")), "Household; Groceries");
    EXPECT_EQ(descriptionsIn(QStringLiteral("Groceries")), "Market; Bakery; Refund");
    // Made once: the next run finds it.
    const Outcome again = command({"--import", file, "--account", "Groceries", "--create-account"});
    EXPECT_EQ(again.out, "0 added, 3 already in the ledger, 0 not readable\n");
    EXPECT_EQ(rows(QStringLiteral("select count(*) from Accounts")), "2");
}

TEST_P(ImportBothWays, AReadThatFailsWhileTheWindowIsOpenIsToldInIt)
{
    addAccounts({QStringLiteral("Card")});
    start();
    const QString file = env.writeFile(QStringLiteral("household.csv"), kGroceries);
    inWindow(file, [this](ImportWindow& window) {
        ASSERT_EQ(window.accountBox()->currentText(), "Household");
        ASSERT_TRUE(window.importButton()->isEnabled());
        if (GetParam() == Kind::File) {
            env.sqlite(QStringLiteral("alter table ImportKeys rename to ImportKeysGone"));
        } else {
            dialogs.answerMessage(platform::vbOK);   // the main window's word that the server is away
            ASSERT_EQ(testing_support::sharedPgServer().pause(), QString());
        }
        window.accountBox()->setCurrentIndex(window.accountBox()->findText("Card"));   // reads the ledger again
        const QString said = window.summary()->text();
        EXPECT_TRUE(said.startsWith("The ledger could not be read, so nothing can be shown or imported now (")) << said.toStdString();
        EXPECT_FALSE(said.contains("select", Qt::CaseInsensitive));
        // What happened, in a line, not the driver's account of it.
        EXPECT_TRUE(said.contains(GetParam() == Kind::File ? "(no such table: ImportKeys)"
                                                           : "(The ledger's server cannot be reached: "))
            << said.toStdString();
        EXPECT_FALSE(said.contains("terminated abnormally")) << said.toStdString();
        EXPECT_EQ(window.rows()->rowCount(), 0);
        EXPECT_FALSE(window.importButton()->isEnabled());
        if (GetParam() == Kind::Server) {
            ASSERT_EQ(testing_support::sharedPgServer().resume(), QString());
        }
    });
    if (GetParam() == Kind::Server) {
        ASSERT_EQ(dialogs.messages().size(), 1);
        EXPECT_TRUE(dialogs.messages().first().startsWith("The ledger's server cannot be reached"));
        dialogs.answerMessage(platform::vbOK);   // and that it is back
        EXPECT_TRUE(QTest::qWaitFor([&] { return dialogs.messages().size() == 2; }, 30000));
    }
}

INSTANTIATE_TEST_SUITE_P(BothLedgers, ImportBothWays, ::testing::Values(Kind::File, Kind::Server),
                         [](const auto& info) { return info.param == Kind::File ? "File" : "Server"; });
