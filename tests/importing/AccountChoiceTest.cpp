// Which account a statement goes to unasked, the name proposed for a new one, and a file
// of several accounts' statements parted into one statement per account, read back
// through the real readers with every row on its own line of the real file.
#include "importer/StatementReader.h"
#include "importing/AccountChoice.h"
#include "importing/AccountSplit.h"

#include <gtest/gtest.h>

using namespace importing;

namespace {

const QList<LedgerAccount> kAccounts{{1, QStringLiteral("Groceries")},   {2, QStringLiteral("Joint Checking")},
                                     {3, QStringLiteral("Savings …4321")}, {4, QStringLiteral("Visa")},
                                     {5, QStringLiteral("Rent")},          {6, QStringLiteral("Checking")}};

} // namespace

TEST(AccountChoice, RememberedThenAccountIdThenTypeThenFileNameElseNone)
{
    struct Case {
        const char* what;
        qint64 remembered;
        StatementAccount statement;
        qint64 chosen;
    };
    const Case cases[] = {
        {"the remembered account first", 5, {"987654321", "SAVINGS", "savings.ofx"}, 5},
        {"a remembered account since deleted is passed over", 99, {"", "", "visa.csv"}, 4},
        {"the id's last four digits in a name", 0, {"987654321", "CHECKING", "x.ofx"}, 3},
        {"an IBAN written in groups", 0, {"DE89 3704", "", "x.xml"}, 0},
        {"the type's word, when one account has it", 0, {"1", "SAVINGS", "x.ofx"}, 3},
        {"a type two accounts have is no answer; the file's name decides", 0, {"1", "CHECKING", "rent-2024.ofx"}, 5},
        {"a CAMT code for a current account", 0, {"", "SVGS", "export.xml"}, 3},
        {"the file's name holding an account's name as a word", 0, {"", "", "Visa_2024-03.csv"}, 4},
        {"part of a word is not the name", 0, {"", "", "rental.csv"}, 0},
        {"nothing known: none, not the first by name", 0, {"", "", "statement.qif"}, 0},
        {"a card statement", 0, {"5555", "CREDITCARD", "download.ofx"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(suggestedAccount(kAccounts, c.remembered, c.statement), c.chosen);
    }
    const QList<LedgerAccount> withIban{{7, QStringLiteral("DE893704")}, {8, QStringLiteral("Cash")}};
    EXPECT_EQ(suggestedAccount(withIban, 0, {QStringLiteral("DE89 3704"), {}, {}}), 7);
    EXPECT_EQ(suggestedAccount({}, 0, {QStringLiteral("1"), QStringLiteral("CHECKING"), QStringLiteral("a.ofx")}), 0);
}

TEST(AccountChoice, ANewAccountsNameComesFromTheStatement)
{
    EXPECT_EQ(proposedAccountName({QStringLiteral("0012346789"), QStringLiteral("CHECKING"), QStringLiteral("a.ofx")}),
              "Checking 6789");
    EXPECT_EQ(proposedAccountName({QStringLiteral("4111"), QStringLiteral("CREDITCARD"), {}}), "Credit Card 4111");
    EXPECT_EQ(proposedAccountName({QStringLiteral("998877"), {}, QStringLiteral("a.ofx")}), "Account 8877");
    EXPECT_EQ(proposedAccountName({{}, {}, QStringLiteral("/tmp/Household March.2024.csv")}), "Household March.2024");
}

TEST(AccountChoice, AnAccountIsNamedExactlyElseByCaseAlone)
{
    const QList<LedgerAccount> accounts{{1, QStringLiteral("Bank")}, {2, QStringLiteral("bank")}, {3, QStringLiteral("Card")}};
    EXPECT_EQ(accountNamed(accounts, QStringLiteral("bank")), 2);
    EXPECT_EQ(accountNamed(accounts, QStringLiteral("CARD")), 3);
    EXPECT_EQ(accountNamed(accounts, QStringLiteral("BANK")), -1);
    EXPECT_EQ(accountNamed(accounts, QStringLiteral("Savings")), 0);
}

namespace {

QByteArray ofxStatement(const char* tag, const char* from, const char* id, const char* type, const char* fitid)
{
    return QByteArray("<STMTTRNRS><TRNUID>1\r\n<") + tag + "><CURDEF>USD\r\n<" + from + "><BANKID>1<ACCTID>" + id
        + (type[0] ? QByteArray("<ACCTTYPE>") + type : QByteArray()) + "</" + from + ">\r\n<BANKTRANLIST>\r\n"
        + "<STMTTRN><TRNTYPE>OTHER<DTPOSTED>20250103<TRNAMT>-42.17<FITID>" + fitid
        + "<NAME>Shop<BANKACCTTO><ACCTID>777</BANKACCTTO></STMTTRN>\r\n"
        + "</BANKTRANLIST></" + tag + "></STMTTRNRS>\r\n";
}

} // namespace

// Checking (twice), savings and a card, as banks send them in one download.
QByteArray threeAccounts()
{
    const QByteArray head = "OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\n\r\n<OFX>\r\n<BANKMSGSRSV1>\r\n";
    return head + ofxStatement("STMTRS", "BANKACCTFROM", "1111", "CHECKING", "C1")
        + ofxStatement("STMTRS", "BANKACCTFROM", "2222", "SAVINGS", "S1")
        + ofxStatement("STMTRS", "BANKACCTFROM", "1111", "CHECKING", "C2") + "</BANKMSGSRSV1>\r\n<CREDITCARDMSGSRSV1>\r\n"
        + ofxStatement("CCSTMTRS", "CCACCTFROM", "4444", "", "V1") + "</CREDITCARDMSGSRSV1></OFX>\r\n";
}

TEST(AccountSplit, AnOfxOfSeveralAccountsReadsAsOneStatementEach)
{
    const QByteArray file = threeAccounts();
    EXPECT_FALSE(importer::readStatement(file, QStringLiteral("a.ofx")).refusal.isEmpty());

    const QList<AccountPart> parts = accountParts(file, importer::Format::Ofx);
    ASSERT_EQ(parts.size(), 3);
    struct Expected { const char* id; const char* type; QStringList fitids; QList<int> lines; };
    const Expected expected[] = {{"1111", "CHECKING", {"C1", "C2"}, {11, 23}},
                                 {"2222", "SAVINGS", {"S1"}, {17}},
                                 {"4444", "CREDITCARD", {"V1"}, {31}}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].id);
        EXPECT_EQ(parts[i].id, expected[i].id);
        EXPECT_EQ(parts[i].type, expected[i].type);
        const importer::Statement statement = importer::readStatement(parts[i].bytes, QStringLiteral("a.ofx"));
        ASSERT_EQ(statement.refusal, QString());
        EXPECT_EQ(statement.account, expected[i].id);
        QStringList fitids;
        QList<int> lines;
        for (const importer::Row& row : statement.rows) {
            fitids << row.reference;
            lines << row.line;
            EXPECT_EQ(row.cents, -4217);
        }
        EXPECT_EQ(fitids, expected[i].fitids);
        EXPECT_EQ(lines, expected[i].lines);   // the lines of the file itself
    }
}

TEST(AccountSplit, ACamtOfSeveralAccountsReadsAsOneStatementEach)
{
    const auto statement = [](const char* account, const char* code, const char* reference) {
        return QByteArray("<Stmt><Id>1</Id><Acct><Id><Othr><Id>") + account + "</Id></Othr></Id><Tp><Cd>" + code
            + "</Cd></Tp><Ownr><Id><OrgId><Othr><Id>X</Id></Othr></OrgId></Id></Ownr></Acct>\n"
            + "<Ntry><Amt Ccy=\"EUR\">5.00</Amt><CdtDbtInd>DBIT</CdtDbtInd><Sts>BOOK</Sts><BookgDt><Dt>2025-01-03</Dt>"
            + "</BookgDt><AcctSvcrRef>" + reference + "</AcctSvcrRef></Ntry>\n</Stmt>\n";
    };
    const QByteArray file = "<?xml version=\"1.0\"?>\n<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.02\">"
                            "<BkToCstmrStmt>\n"
        + statement("AT1", "CACC", "R1") + statement("AT2", "SVGS", "R2") + "</BkToCstmrStmt></Document>\n";
    const QList<AccountPart> parts = accountParts(file, importer::Format::Camt);
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(parts[1].id, "AT2");
    EXPECT_EQ(parts[1].type, "SVGS");
    const importer::Statement second = importer::readStatement(parts[1].bytes, QStringLiteral("a.xml"));
    ASSERT_EQ(second.refusal, QString());
    EXPECT_EQ(second.account, "AT2");
    ASSERT_EQ(second.rows.size(), 1);
    EXPECT_EQ(second.rows[0].reference, "R2");
    EXPECT_EQ(second.rows[0].line, 7);
}

TEST(AccountSplit, AFileOfOneAccountOrWithoutAccountsStaysWhole)
{
    const QByteArray csv = "Date,Amount\n2025-01-03,1.00\n";
    const QList<AccountPart> parts = accountParts(csv, importer::Format::Csv);
    ASSERT_EQ(parts.size(), 1);
    EXPECT_EQ(parts[0].bytes, csv);
    // A statement cut off ends where the next begins; one naming no account leaves
    // nothing to part.
    for (const QByteArray& ofx : {QByteArray("<OFX><STMTRS><BANKACCTFROM><ACCTID>1</BANKACCTFROM><STMTRS><ACCTID>2"),
                                  QByteArray("<OFX><STMTRS></STMTRS><STMTRS><ACCTID>2</STMTRS></OFX>")}) {
        const QList<AccountPart> whole = accountParts(ofx, importer::Format::Ofx);
        ASSERT_EQ(whole.size(), ofx.contains("<ACCTID>1") ? 2 : 1);
        if (whole.size() == 1) {
            EXPECT_EQ(whole[0].bytes, ofx);
        }
    }
}

TEST(AccountSplit, EveryCutOfTheFileIsPartedKeepingItsLines)
{
    // A download cut off anywhere: no part reaches past the file, every part keeps every
    // line break (so the reader's lines stay the file's), and each part reads without fault.
    const QByteArray file = threeAccounts();
    for (qsizetype size = 0; size <= file.size(); ++size) {
        const QByteArray cut = file.left(size);
        const QList<AccountPart> parts = accountParts(cut, importer::Format::Ofx);
        ASSERT_FALSE(parts.isEmpty()) << size;
        for (const AccountPart& part : parts) {
            ASSERT_LE(part.bytes.size(), cut.size()) << size;
            ASSERT_EQ(part.bytes.count('\n'), cut.count('\n')) << size;
            importer::readStatement(part.bytes, QStringLiteral("a.ofx"));
        }
    }
}
