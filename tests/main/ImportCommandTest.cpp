// The command line's import, run as a script runs it: the built program started with
// --import in a throw-away data and settings folder, its output, its exit status and the
// ledger file read back.
#include "importing/CsvProfiles.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using testing_support::TestEnvironment;

namespace {

using Outcome = TestEnvironment::Run;

class ImportCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.placeLedger();
        env.addAccount(QStringLiteral("Bank"));
        env.addAccount(QStringLiteral("Card"));
    }

    QString write(const QString& name, const QByteArray& bytes) { return env.writeFile(name, bytes); }

    Outcome run(const QStringList& arguments)
    {
        return env.runWithoutScreen(QStringLiteral(TALLYFOLD_PROGRAM), arguments,
                                    {QStringLiteral("LC_ALL=C.UTF-8"), QStringLiteral("XDG_RUNTIME_DIR=") + runtime()});
    }
    Outcome import(const QString& file, const QString& account = QStringLiteral("Bank"), const QStringList& more = {})
    {
        return run(QStringList{QStringLiteral("--import"), file, QStringLiteral("--account"), account} + more);
    }
    // A runtime folder as the desktop session gives one, so that Qt has nothing to say.
    QString runtime() const
    {
        const QString folder = env.root() + QStringLiteral("/runtime");
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return folder;
    }
    std::string ledger() const
    {
        return env.rows(QStringLiteral("select TransactionDate, TransactionDescription, AccountID, WithdrawalAmount, "
                                       "DepositAmount from Transactions order by TransactionNumber"));
    }

    TestEnvironment env;
};

const QByteArray kCoffees = "Date,Description,Amount\n"
                            "2024-03-05,Coffee,-3.50\n"
                            "2024-03-05,Coffee,-3.50\n"
                            "2024-03-06,Salary,2500.00\n";

} // namespace

TEST_F(ImportCommand, ImportsOnceAndTellsWhatItDid)
{
    const QString file = write(QStringLiteral("march.csv"), kCoffees);
    Outcome first = import(file);
    EXPECT_EQ(first.status, 0) << first.errors.toStdString();
    EXPECT_EQ(first.out, QStringLiteral("3 added, 0 already in the ledger, 0 not readable\n"));
    EXPECT_EQ(first.errors, QString());
    EXPECT_EQ(ledger(), "2024-03-05|Coffee|1|3.5|0.0; 2024-03-05|Coffee|1|3.5|0.0; 2024-03-06|Salary|1|0.0|2500.0");

    Outcome again = import(file, QStringLiteral("bank"));   // the case of the name does not matter
    EXPECT_EQ(again.status, 0) << again.errors.toStdString();
    EXPECT_EQ(again.out, QStringLiteral("0 added, 3 already in the ledger, 0 not readable\n"));

    // A row typed by hand is matched, not doubled; rows that cannot be read are named.
    env.addTransaction(QStringLiteral("'2024-03-08', 'typed', 2, 12, 0, 0"));
    const QString card = write(QStringLiteral("card.csv"), "Date,Description,Amount\n"
                                                           "2024-03-09,Books,-12.00\n"
                                                           "2024-03-10,Cinema,-9.5x\n"
                                                           "2024-03-11,Bus,-2.80\n");
    Outcome matched = import(card, QStringLiteral("Card"));
    EXPECT_EQ(matched.status, 0) << matched.errors.toStdString();
    EXPECT_TRUE(matched.out.startsWith(QStringLiteral("1 added, 1 already in the ledger, 1 not readable\n"
                                                      "1 of those already in the ledger match a row typed by hand")))
        << matched.out.toStdString();
    EXPECT_TRUE(matched.errors.startsWith(QStringLiteral("tallyfold: card.csv, not imported: Line 3: ")))
        << matched.errors.toStdString();
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions where AccountID = 2")), "2");

    // The closing balance is compared with the account's.
    const QString ofx = write(QStringLiteral("april.ofx"),
        "OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\n\r\n<OFX><BANKMSGSRSV1><STMTTRNRS><STMTRS><CURDEF>EUR"
        "<BANKTRANLIST><STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20240402<TRNAMT>-10.00<FITID>A1<NAME>Gas</STMTTRN>"
        "</BANKTRANLIST><LEDGERBAL><BALAMT>2500.00<DTASOF>20240430</LEDGERBAL></STMTRS></STMTTRNRS></BANKMSGSRSV1></OFX>");
    Outcome balance = import(ofx);
    EXPECT_EQ(balance.status, 0) << balance.errors.toStdString();
    EXPECT_EQ(balance.out, QStringLiteral("1 added, 0 already in the ledger, 0 not readable\n"
                                          "The statement's closing balance on 2024-04-30, 2500.00, differs from the account's, 2483.00, "
                                          "by 17.00.\n"));
}

TEST_F(ImportCommand, WhatWouldNeedAnAnswerOrCannotBeReadIsRefusedAndNothingIsWritten)
{
    const std::string before = ledger();
    struct Case { const char* what; const char* name; QByteArray bytes; QStringList more; const char* says; };
    const Case cases[] = {
        {"an account that is not there", "a.csv", kCoffees, {QStringLiteral("--account"), QStringLiteral("Savings")},
         "there is no account named \"Savings\". The accounts are: \"Bank\", \"Card\"."},
        {"dates in either order", "b.csv", "Date,Amount\n01/02/2024,1.00\n03/04/2024,2.00\n", {},
         "every date fits day/month/year or month/day/year"},
        {"columns it cannot tell", "c.csv", "Tag,Wer,Wieviel\n2024-03-01,Coffee,-3.50\n", {},
         "which columns hold the date and the amount cannot be told from the header (Tag, Wer, Wieviel)"},
        {"a mapping that was never saved", "d.csv", kCoffees, {QStringLiteral("--profile"), QStringLiteral("Nope")},
         "there is no saved CSV mapping named \"Nope\"."},
        {"a binary file", "e.ofx", QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0", 16), {}, ""},
        {"an empty file", "f.csv", QByteArray(), {}, ""},
        {"a cut-off OFX", "g.ofx", "OFXHEADER:100\r\nDATA:OFXSGML\r\n\r\n<OFX><BANKMSGSRSV1><STMTTRNRS><STMTRS><BANKTRANLIST>"
                                   "<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>2024", {}, ""},
        {"malformed XML", "h.xml", "<?xml version=\"1.0\"?><Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.02\">"
                                   "<BkToCstmrStmt><Stmt><Ntry></Stmt>", {}, "Line 1"},
        {"a file that is not there", "missing.csv", QByteArray(), {}, "cannot be read"},
        {"a file far too large", "huge.csv", QByteArray(), {}, "The file is 3.00 GiB; statements larger than 64.00 MiB are not read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString name = QString::fromLatin1(c.name);
        const QString file = name == QStringLiteral("missing.csv") ? env.root() + QStringLiteral("/missing.csv")
                                                                  : write(name, c.bytes);
        if (name == QStringLiteral("huge.csv"))
            QFile::resize(file, 3LL * 1024 * 1024 * 1024);   // sparse: costs no disk
        QStringList arguments{QStringLiteral("--import"), file};
        if (!c.more.contains(QStringLiteral("--account")))
            arguments << QStringLiteral("--account") << QStringLiteral("Bank");
        const Outcome refused = run(arguments + c.more);
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.out, QString());
        EXPECT_TRUE(refused.errors.startsWith(QStringLiteral("tallyfold: nothing was imported from %1: ").arg(name)))
            << refused.errors.toStdString();
        EXPECT_TRUE(refused.errors.contains(QString::fromUtf8(c.says))) << refused.errors.toStdString();
        EXPECT_EQ(ledger(), before);
    }
    const Outcome noAccount = run({QStringLiteral("--import"), write(QStringLiteral("x.csv"), kCoffees)});
    EXPECT_EQ(noAccount.status, 1);
    EXPECT_TRUE(noAccount.errors.contains(QStringLiteral("--import needs --account NAME"))) << noAccount.errors.toStdString();
    EXPECT_EQ(ledger(), before);
}

TEST_F(ImportCommand, ASavedMappingReadsWhatTheHeaderDoesNotTell)
{
    importer::CsvProfile profile;
    profile.dateColumn = 0;
    profile.descriptionColumns = {1};
    profile.amountColumn = 2;
    importing::saveNamedProfile(QStringLiteral("Meine Bank"), profile);
    const QString file = write(QStringLiteral("konto.csv"), "Tag,Wer,Wieviel\n2024-03-01,Coffee,-3.50\n");
    const Outcome named = import(file, QStringLiteral("Bank"), {QStringLiteral("--profile"), QStringLiteral("Meine Bank")});
    EXPECT_EQ(named.status, 0) << named.errors.toStdString();
    EXPECT_EQ(named.out, QStringLiteral("1 added, 0 already in the ledger, 0 not readable\n"));
    EXPECT_EQ(ledger(), "2024-03-01|Coffee|1|3.5|0.0");

    // The mapping last used with a header reads the next file with that header unasked.
    importing::rememberProfileForHeader(importer::headerFingerprint({QStringLiteral("Tag"), QStringLiteral("Wer"),
                                                                     QStringLiteral("Wieviel")}),
                                        profile);
    const Outcome remembered = import(write(QStringLiteral("konto2.csv"), "Tag,Wer,Wieviel\n2024-03-02,Tea,-2.00\n"));
    EXPECT_EQ(remembered.status, 0) << remembered.errors.toStdString();
    EXPECT_EQ(remembered.out, QStringLiteral("1 added, 0 already in the ledger, 0 not readable\n"));
}
