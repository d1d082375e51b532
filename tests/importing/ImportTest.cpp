// Statements written for the test, read through the real readers and imported into a
// real ledger file: nothing twice, nothing lost, one undo step that puts back every
// table exactly, nothing at all when a row fails half-way, and the closing balance.
#include "data/Ledger.h"
#include "data/Undo.h"
#include "importer/StatementReader.h"
#include "importing/ImportPlan.h"
#include "importing/ImportWriter.h"
#include "tests/support/LedgerEnvironment.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace importing;
using testing_support::LedgerEnvironment;

namespace {

QByteArray ofx(const QByteArray& transactions, const QByteArray& closing = {})
{
    return "OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\nSECURITY:NONE\r\nENCODING:USASCII\r\nCHARSET:1252\r\n"
           "COMPRESSION:NONE\r\nOLDFILEUID:NONE\r\nNEWFILEUID:NONE\r\n\r\n"
           "<OFX><BANKMSGSRSV1><STMTTRNRS><TRNUID>1<STMTRS><CURDEF>EUR\r\n"
           "<BANKACCTFROM><BANKID>1<ACCTID>2<ACCTTYPE>CHECKING</BANKACCTFROM>\r\n<BANKTRANLIST>\r\n"
        + transactions + "</BANKTRANLIST>\r\n" + closing + "</STMTRS></STMTTRNRS></BANKMSGSRSV1></OFX>\r\n";
}

QByteArray ofxRow(const char* fitid, const char* date, const char* amount, const char* name)
{
    return QByteArray("<STMTTRN><TRNTYPE>OTHER<DTPOSTED>") + date + "<TRNAMT>" + amount + "<FITID>" + fitid
        + "<NAME>" + name + "</STMTTRN>\r\n";
}

// Every row of every table an import writes, each value with its type, and the
// auto-number counters: what an undo must put back exactly.
const QString kEverything = QStringLiteral(
    "select 'A', AccountID, quote(AccountName) from Accounts "
    "union all select 'T', TransactionNumber, quote(TransactionDate) || quote(TransactionDescription) || "
    "quote(AccountID) || quote(WithdrawalAmount) || quote(DepositAmount) || quote(Taxable) from Transactions "
    "union all select 'K', ImportKeyID, quote(AccountID) || quote(ImportKey) || quote(KeyDate) || quote(KeyCents) || "
    "quote(TransactionNumber) from ImportKeys "
    "union all select 'S', name, seq from sqlite_sequence order by 1, 2");

class Import : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.openLedger();
        bank = env.addAccount(QStringLiteral("Bank"));
        card = env.addAccount(QStringLiteral("Card"));
    }

    // Reads `bytes` as the file `name` and plans its import into `account`.
    ImportPlan plan(const QByteArray& bytes, const QString& name, qint64 account)
    {
        const QString path = env.root() + u'/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        const importer::Statement statement = importer::readStatementFile(path);
        EXPECT_EQ(statement.refusal, QString());
        return planImport(statement, account, name);
    }
    // Imports it; answers how many rows were added.
    int import(const QByteArray& bytes, const QString& name, qint64 account, Matches matches = Matches::Skip)
    {
        ImportPlan planned = plan(bytes, name, account);
        return writeImport(planned, matches);
    }
    std::string everything() const { return env.rows(kEverything); }

    LedgerEnvironment env;
    qint64 bank = 0, card = 0;
};

const QByteArray kCoffees = "Date,Description,Amount\n"
                            "2024-03-05,Coffee,-3.50\n"
                            "2024-03-05,Coffee,-3.50\n"
                            "2024-03-06,Rent,-700.00\n";

} // namespace

TEST_F(Import, TheSameFileTwiceAddsNothingWhileTwoIdenticalRowsBothArrive)
{
    EXPECT_EQ(import(kCoffees, QStringLiteral("march.csv"), bank), 3);
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionDescription, count(*) from Transactions group by 1 order by 1")),
              "Coffee|2; Rent|1");
    const std::string once = everything();
    ImportPlan again = plan(kCoffees, QStringLiteral("march.csv"), bank);
    EXPECT_EQ(again.count(RowStatus::InLedger), 3);
    EXPECT_EQ(writeImport(again), 0);
    EXPECT_EQ(everything(), once);

    // A later download overlapping the first: a third coffee that day is new; the case
    // and spacing of the description do not make a row new.
    const QByteArray later = "Date,Description,Amount\n"
                             "2024-03-05,COFFEE ,-3.50\n"
                             "2024-03-05,coffee,-3.50\n"
                             "2024-03-05,Coffee,-3.50\n"
                             "2024-03-06,Rent,-700.00\n"
                             "2024-03-07,Bus,-2.80\n";
    ImportPlan overlap = plan(later, QStringLiteral("march-later.csv"), bank);
    EXPECT_EQ(overlap.count(RowStatus::InLedger), 3);
    EXPECT_EQ(writeImport(overlap), 2);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions where TransactionDescription like 'coffee%'")),
              "3");

    // Keys belong to their account: the same file into the card is all new.
    EXPECT_EQ(import(kCoffees, QStringLiteral("march.csv"), card), 3);

    // A QIF is keyed like a CSV: its coffees are those from the CSV.
    const QByteArray qif = "!Type:Bank\nD03/05/2024\nT-3.50\nPCoffee\n^\nD03/05/2024\nT-3.50\nPCoffee\n^\n"
                           "D03/25/2024\nT-1.00\nPPark\n^\n";
    EXPECT_EQ(import(qif, QStringLiteral("march.qif"), bank), 1);
}

TEST_F(Import, ABankIdMatchesOnlyWithTheSameDateAndAmount)
{
    const QByteArray first = ofx(ofxRow("F1", "20240305", "-3.50", "Coffee") + ofxRow("F2", "20240306", "-9.00", "Books"));
    EXPECT_EQ(import(first, QStringLiteral("a.ofx"), bank), 2);
    // The bank reuses F1 for another payment, and F2 for the same one; an id the file
    // lists twice is the same row twice.
    const QByteArray second = ofx(ofxRow("F1", "20240401", "-3.50", "Coffee") + ofxRow("F1", "20240305", "-4.00", "Tea")
                                  + ofxRow("F2", "20240306", "-9.00", "Books") + ofxRow("F3", "20240402", "1.00", "Refund")
                                  + ofxRow("F3", "20240402", "1.00", "Refund"));
    ImportPlan plan2 = plan(second, QStringLiteral("b.ofx"), bank);
    QList<RowStatus> statuses;
    for (const PlannedRow& row : plan2.rows)
        statuses << row.status;
    EXPECT_EQ(statuses, (QList<RowStatus>{RowStatus::New, RowStatus::New, RowStatus::InLedger, RowStatus::New,
                                          RowStatus::InLedger}));
    EXPECT_EQ(writeImport(plan2), 3);
    EXPECT_EQ(import(second, QStringLiteral("b.ofx"), bank), 0);

    // A transaction deleted since no longer counts: importing again brings it back.
    env.sqlite(QStringLiteral("delete from Transactions where TransactionDescription = 'Tea'"));
    EXPECT_EQ(import(second, QStringLiteral("b.ofx"), bank), 1);
}

TEST_F(Import, RowsAreStoredAsTheEditorStoresThemInOneNamedStep)
{
    const QByteArray file = ofx(ofxRow("F1", "20240305", "-3.50", "O'Brien &amp; Sons") + ofxRow("F2", "20240306", "1200", "Pay"));
    EXPECT_EQ(import(file, QStringLiteral("statement.ofx"), bank), 2);
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionDate, TransactionDescription, AccountID, quote(WithdrawalAmount), "
                                      "quote(DepositAmount), Taxable from Transactions order by TransactionNumber")),
              "2024-03-05|O'Brien & Sons|1|3.5|0.0|0; 2024-03-06|Pay|1|0.0|1200.0|0");
    EXPECT_EQ(env.rows(QStringLiteral("select ImportKey, KeyDate, KeyCents, TransactionNumber from ImportKeys order by 1")),
              "fitid:F1|2024-03-05|-350|1; fitid:F2|2024-03-06|120000|2");
    EXPECT_EQ(data::undoLabel(), QStringLiteral("Import 2 transactions from statement.ofx"));
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from UndoSteps")), "1") << "one step for the whole import";
}

TEST_F(Import, UndoPutsEveryTableBackExactlyAndRedoBringsTheImportBack)
{
    env.addTransaction(QStringLiteral("'2024-01-01', 'typed', %1, 1, 0, 1").arg(bank));
    EXPECT_EQ(import(kCoffees, QStringLiteral("old.csv"), bank), 3);   // keys and counters there before
    data::connection().Execute(QStringLiteral("delete from Transactions where TransactionDescription = 'Rent'"));
    const std::string before = everything();
    const QByteArray file = ofx(ofxRow("F1", "20240305", "-3.50", "Coffee") + ofxRow("F2", "20240306", "-9.00", "Books"));
    EXPECT_EQ(import(file, QStringLiteral("statement.ofx"), bank), 2);
    const std::string after = everything();
    ASSERT_NE(after, before);

    ASSERT_TRUE(data::undo().moved);
    EXPECT_EQ(everything(), before);
    EXPECT_EQ(data::redoLabel(), QStringLiteral("Import 2 transactions from statement.ofx"));
    ASSERT_TRUE(data::redo().moved);
    EXPECT_EQ(everything(), after);
    ASSERT_TRUE(data::undo().moved);
    // Once undone, the statement's rows are new again.
    EXPECT_EQ(plan(file, QStringLiteral("statement.ofx"), bank).count(RowStatus::New), 2);
}

TEST_F(Import, AFailureHalfWayImportsNothing)
{
    env.sqlite(QStringLiteral("create trigger Refuse before insert on Transactions when new.TransactionDescription = 'Bad' "
                              "begin select raise(abort, 'the row is refused'); end"));
    const std::string before = everything();
    const QByteArray file = ofx(ofxRow("F1", "20240305", "-3.50", "Coffee") + ofxRow("F2", "20240306", "-1.00", "Bad")
                                + ofxRow("F3", "20240307", "-2.00", "Bus"));
    ImportPlan planned = plan(file, QStringLiteral("statement.ofx"), bank);
    try {
        writeImport(planned);
        ADD_FAILURE() << "the import went through";
    } catch (const platform::DbError& error) {
        EXPECT_TRUE(error.description().contains(QStringLiteral("the row is refused"))) << error.what();
    }
    EXPECT_FALSE(data::connection().InTransaction());
    EXPECT_EQ(everything(), before);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from UndoSteps")), "0");
    EXPECT_EQ(data::undoLabel(), QString());
    // The connection goes on as before.
    env.sqlite(QStringLiteral("drop trigger Refuse"));
    EXPECT_EQ(writeImport(planned), 3);
}

TEST_F(Import, ARowTypedByHandWithinAFewDaysIsAPossibleMatch)
{
    const qint64 typed = env.addTransaction(QStringLiteral("'2024-03-03', 'coffee shop', %1, 3.5, 0, 0").arg(bank));
    env.addTransaction(QStringLiteral("'2024-03-01', 'too early', %1, 9, 0, 0").arg(bank));
    env.addTransaction(QStringLiteral("'2024-03-06', 'other account', %1, 2.8, 0, 0").arg(card));
    const QByteArray file = "Date,Description,Amount\n"
                            "2024-03-05,Coffee,-3.50\n"   // two days after the typed coffee
                            "2024-03-05,Coffee,-3.50\n"   // the typed coffee is taken
                            "2024-03-05,Books,-9.00\n"    // four days after: too far
                            "2024-03-06,Bus,-2.80\n";     // typed into another account
    ImportPlan planned = plan(file, QStringLiteral("march.csv"), bank);
    ASSERT_EQ(planned.rows.size(), 4);
    EXPECT_EQ(planned.rows[0].status, RowStatus::PossibleMatch);
    EXPECT_EQ(planned.rows[0].matchedTransaction, typed);
    EXPECT_EQ(planned.rows[1].status, RowStatus::New);
    EXPECT_EQ(planned.rows[2].status, RowStatus::New);
    EXPECT_EQ(planned.rows[3].status, RowStatus::New);
    EXPECT_EQ(writeImport(planned), 3);
    // An imported row (Books) is no row typed by hand: nothing to match.
    const QByteArray next = "Date,Description,Amount\n2024-03-06,Cake,-9.00\n";
    EXPECT_EQ(plan(next, QStringLiteral("next.csv"), bank).rows[0].status, RowStatus::New);
    // Added on request, the match goes in like a new row.
    EXPECT_EQ(import(file, QStringLiteral("march.csv"), bank, Matches::Add), 1);
}

TEST_F(Import, TheClosingBalanceIsComparedWithTheAccountsOnItsDay)
{
    env.addTransaction(QStringLiteral("'2024-02-01', 'opening', %1, 0, 100, 0").arg(bank));
    env.addTransaction(QStringLiteral("'2024-04-02', 'after the statement', %1, 50, 0, 0").arg(bank));
    const QByteArray rows = ofxRow("F1", "20240305", "-3.50", "Coffee") + ofxRow("F2", "20240325", "20.00", "Refund");
    const ImportPlan agrees = plan(ofx(rows, "<LEDGERBAL><BALAMT>116.50<DTASOF>20240331</LEDGERBAL>\r\n"),
                                   QStringLiteral("a.ofx"), bank);
    EXPECT_EQ(agrees.closingDifference, std::optional<qint64>(0));
    const ImportPlan differs = plan(ofx(rows, "<LEDGERBAL><BALAMT>100.00<DTASOF>20240331</LEDGERBAL>\r\n"),
                                    QStringLiteral("a.ofx"), bank);
    EXPECT_EQ(differs.closingDifference, std::optional<qint64>(-1650));
    EXPECT_EQ(plan(ofx(rows), QStringLiteral("a.ofx"), bank).closingDifference, std::nullopt);

    // CAMT's closing balance, once the rows are in: nothing is counted twice.
    const QByteArray camt =
        "<?xml version=\"1.0\"?><Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.02\"><BkToCstmrStmt><Stmt>"
        "<Acct><Id><IBAN>DE02100100109307118603</IBAN></Id></Acct>"
        "<Bal><Tp><CdOrPrtry><Cd>CLBD</Cd></CdOrPrtry></Tp><Amt Ccy=\"EUR\">96.50</Amt><CdtDbtInd>CRDT</CdtDbtInd>"
        "<Dt><Dt>2024-03-31</Dt></Dt></Bal>"
        "<Ntry><Amt Ccy=\"EUR\">3.50</Amt><CdtDbtInd>DBIT</CdtDbtInd><Sts>BOOK</Sts><BookgDt><Dt>2024-03-05</Dt></BookgDt>"
        "<AcctSvcrRef>R1</AcctSvcrRef><AddtlNtryInf>Coffee</AddtlNtryInf></Ntry>"
        "</Stmt></BkToCstmrStmt></Document>";
    EXPECT_EQ(import(camt, QStringLiteral("march.xml"), bank), 1);
    ImportPlan again = plan(camt, QStringLiteral("march.xml"), bank);
    EXPECT_EQ(again.count(RowStatus::InLedger), 1);
    EXPECT_EQ(again.rows[0].key, QStringLiteral("ref:R1"));
    EXPECT_EQ(again.closingDifference, std::optional<qint64>(0));
}

TEST_F(Import, APlanReadBeforeAnotherImportWroteTheSameRowsAddsOnlyWhatIsStillNew)
{
    // The window's preview planned the file; meanwhile the command line imported the
    // first two rows of it.
    ImportPlan stale = plan(kCoffees, QStringLiteral("march.csv"), bank);
    ASSERT_EQ(stale.count(RowStatus::New), 3);
    EXPECT_EQ(import("Date,Description,Amount\n2024-03-05,Coffee,-3.50\n2024-03-05,Coffee,-3.50\n",
                     QStringLiteral("part.csv"), bank),
              2);
    EXPECT_EQ(writeImport(stale), 1);
    EXPECT_EQ(stale.count(RowStatus::InLedger), 2) << "what is told counts them as already in the ledger";
    EXPECT_EQ(stale.count(RowStatus::New), 1);
    EXPECT_EQ(env.rows(QStringLiteral("select TransactionDescription, count(*) from Transactions group by 1 order by 1")),
              "Coffee|2; Rent|1");
    EXPECT_EQ(data::undoLabel(), QStringLiteral("Import 1 transaction from march.csv"));
}

TEST(ImportValues, RowsAreWrittenAsJetLiteralsExactly)
{
    struct Case {
        const char* date;
        qint64 cents;
        QString description;
        const char* transaction;
        const char* key;
    };
    const Case cases[] = {
        {"2024-03-05", -350, QStringLiteral("Coffee"), "(7,#03/05/2024#,'Coffee',2,3.50,0.00,0)",
         "(2,'row:k','2024-03-05',-350,7)"},
        {"0987-12-01", 120005, QStringLiteral("O'Brien's"), "(7,#12/01/0987#,'O''Brien''s',2,0.00,1200.05,0)",
         "(2,'row:k','0987-12-01',120005,7)"},
        {"2024-01-31", -99999999999999, QStringLiteral("a") + QChar(0) + u'b',
         "(7,#01/31/2024#,'a'&Chr(0)&'b',2,999999999999.99,0.00,0)", "(2,'row:k','2024-01-31',-99999999999999,7)"},
        {"2024-01-31", 0, QString(), "(7,#01/31/2024#,'',2,0.00,0.00,0)", "(2,'row:k','2024-01-31',0,7)"},
    };
    for (const Case& c : cases) {
        importer::Row row;
        row.date = QDate::fromString(QString::fromLatin1(c.date), Qt::ISODate);
        row.cents = c.cents;
        row.description = c.description;
        EXPECT_EQ(transactionValues(7, 2, row).toStdString(), c.transaction);
        EXPECT_EQ(keyValues(2, QStringLiteral("row:k"), row, 7).toStdString(), c.key);
    }
}
