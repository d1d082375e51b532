// CSV statements written for the test, read through the real reader: each sign model,
// encodings, preambles, date orders, the mapping and its stored form, bad rows.
#include "importer/CsvReader.h"
#include "importer/StatementReader.h"

#include <gtest/gtest.h>

using namespace importer;

namespace {

QList<qint64> amounts(const Statement& s)
{
    QList<qint64> out;
    for (const Row& r : s.rows)
        out.append(r.cents);
    return out;
}

QStringList problems(const Statement& s)
{
    QStringList out;
    for (const Row& r : s.rows)
        if (!r.readable())
            out.append(r.problem);
    return out;
}

struct SignCase {
    const char* name;
    const char* file;
    bool invert;
    QList<qint64> expected;
};

TEST(CsvReader, eachSignModelGivesSignedCents)
{
    const SignCase cases[] = {
        {"one signed column", "Date,Description,Amount\n2024-03-01,Coffee,-3.50\n2024-03-02,Salary,\"1,200.00\"\n",
         false, {-350, 120000}},
        {"withdrawal and deposit columns",
         "Date,Payee,Withdrawal,Deposit\n2024-03-01,Coffee,3.50,\n2024-03-02,Salary,,1200.00\n", false,
         {-350, 120000}},
        {"German Soll and Haben, the Soll written negative",
         "Buchungstag;Empfänger;Soll;Haben\n01.03.2024;Bäcker;-3,50;\n02.03.2024;Gehalt;;1.200,00\n", false,
         {-350, 120000}},
        {"amount with an S/H column",
         "Buchungstag;Verwendungszweck;Betrag;S/H\n01.03.2024;Bäcker;3,50;S\n02.03.2024;Gehalt;1.200,00;H\n",
         false, {-350, 120000}},
        {"amount with DBIT/CRDT found by its values",
         "Date,Text,Amount,Kind\n2024-03-01,Coffee,3.50,DBIT\n2024-03-02,Salary,1200.00,CRDT\n", false,
         {-350, 120000}},
        {"amount with a +/- column",
         "Date|Memo|Amount|Sign\n2024-03-01|Coffee|3.50|-\n2024-03-02|Salary|1200.00|+\n", false, {-350, 120000}},
        {"a card's inverted signs",
         "Date,Merchant,Amount\n2024-03-01,Coffee,3.50\n2024-03-02,Refund,-10.00\n", true, {-350, 1000}},
        {"French Montant with a tab",
         "Date\tLibellé\tMontant\n01/03/2024\tCafé\t-3,50\n25/03/2024\tSalaire\t1 200,00\n", false, {-350, 120000}},
    };
    for (const SignCase& c : cases) {
        SCOPED_TRACE(c.name);
        ReadOptions options;
        options.invertSigns = c.invert;
        const Statement s = readCsv(QByteArray(c.file), options);
        ASSERT_TRUE(s.refusal.isEmpty()) << s.refusal.toStdString();
        EXPECT_EQ(problems(s), QStringList());
        EXPECT_EQ(amounts(s), c.expected);
        EXPECT_EQ(s.rows.at(0).date, QDate(2024, 3, 1));
    }
}

TEST(CsvReader, aWindows1252FileWithAPreambleAndUmlautsReads)
{
    const QByteArray file = "Kontonummer:;DE12 3456;\r\n"
                            "Zeitraum:;01.03.2024 - 31.03.2024;\r\n"
                            "\r\n"
                            "Buchungstag;Valuta;Auftraggeber/Empf\xE4nger;Verwendungszweck;Betrag (EUR)\r\n"
                            "01.03.2024;01.03.2024;M\xFC" "ller B\xE4" "ckerei;Br\xF6tchen;-3,50\r\n"
                            "15.03.2024;15.03.2024;Arbeitgeber GmbH;Geh\xE4lt M\xE4rz;2.500,00\r\n";
    const Statement s = readStatement(file, QStringLiteral("umsaetze.csv"));
    ASSERT_TRUE(s.refusal.isEmpty()) << s.refusal.toStdString();
    EXPECT_EQ(s.format, Format::Csv);
    EXPECT_EQ(s.encoding, u"windows-1252");
    ASSERT_EQ(s.rows.size(), 2);
    EXPECT_EQ(s.rows.at(0).description, QString::fromUtf8("Müller Bäckerei - Brötchen"));
    EXPECT_EQ(s.rows.at(0).line, 5);
    EXPECT_EQ(amounts(s), (QList<qint64>{-350, 250000}));
    EXPECT_EQ(s.rows.at(1).date, QDate(2024, 3, 15));
    EXPECT_EQ(s.csvProfile.headerLine, 4);
    EXPECT_EQ(s.csvProfile.dateColumn, 0);   // the booking day, not the value date
    EXPECT_EQ(s.notes.size(), 1);
}

TEST(CsvReader, aByteOrderMarkDoesNotBreakTheFirstColumnName)
{
    for (const QByteArray& bom : {QByteArray("\xEF\xBB\xBF"), QByteArray()}) {
        const Statement s = readCsv(bom + "Datum;Betrag;Name\n05.03.2024;-1,00;K\xC3\xA4se\n");
        ASSERT_TRUE(s.refusal.isEmpty()) << s.refusal.toStdString();
        EXPECT_EQ(s.csvHeader.first(), u"Datum");
        EXPECT_EQ(s.rows.at(0).description, QString::fromUtf8("Käse"));
        EXPECT_EQ(s.encoding, u"UTF-8");
    }
    QByteArray utf16("\xFF\xFE", 2);
    for (const QChar c : QStringLiteral("Date,Amount\n2024-03-05,-1.00\n"))
        utf16.append(char(c.unicode())).append('\0');
    const Statement s = readCsv(utf16);
    ASSERT_TRUE(s.refusal.isEmpty()) << s.refusal.toStdString();
    EXPECT_EQ(amounts(s), QList<qint64>{-100});
}

TEST(CsvReader, quotedFieldsHoldDelimitersLineBreaksAndQuotes)
{
    const QByteArray file = "Date,Description,Amount\n"
                            "2024-03-01,\"Shop, \"\"The\"\" one\nsecond line\",-1.00\n"
                            "2024-03-02,Plain,-2.00\n";
    const Statement s = readCsv(file);
    ASSERT_EQ(s.rows.size(), 2);
    EXPECT_EQ(s.rows.at(0).description, u"Shop, \"The\" one second line");
    EXPECT_EQ(s.rows.at(1).line, 4);   // the row after a field with a line break
    const Statement open = readCsv("Date,Description,Amount\n2024-03-01,\"never closed,-1.00\n");
    EXPECT_TRUE(open.refusal.startsWith(u"Line 2:")) << open.refusal.toStdString();
}

TEST(CsvReader, theDateOrderComesFromAllRowsAndAmbiguityIsReported)
{
    const QByteArray ambiguous = "Date,Amount\n01/02/2024,1.00\n03/04/2024,2.00\n";
    Statement s = readCsv(ambiguous);
    EXPECT_TRUE(s.dateOrderAmbiguous());
    EXPECT_EQ(s.dateOrderCandidates, (QList<DateOrder>{DateOrder::DayMonthYear, DateOrder::MonthDayYear}));
    ReadOptions answer;
    answer.dateOrder = DateOrder::MonthDayYear;
    s = readCsv(ambiguous, answer);
    EXPECT_FALSE(s.dateOrderAmbiguous());
    EXPECT_EQ(s.rows.at(0).date, QDate(2024, 1, 2));

    EXPECT_EQ(s.csvProfile.dateOrder, DateOrder::MonthDayYear);   // the answer goes into the profile

    // A stored profile answers the next ambiguous file, and gives way to a file that is not.
    ReadOptions stored;
    stored.csvProfile = s.csvProfile;
    s = readCsv("Date,Amount\n05/06/2024,1.00\n", stored);
    EXPECT_FALSE(s.dateOrderAmbiguous());
    EXPECT_EQ(s.rows.at(0).date, QDate(2024, 5, 6));
    s = readCsv("Date,Amount\n25/06/2024,1.00\n", stored);
    EXPECT_EQ(s.dateOrder, DateOrder::DayMonthYear);
    EXPECT_TRUE(s.rows.at(0).readable());
    // An unanswered question is not stored as an answer.
    EXPECT_FALSE(readCsv(ambiguous).csvProfile.dateOrder.has_value());

    // The one day past the 12th in the last row decides for the first rows too.
    s = readCsv("Date,Amount\n01/02/2024,1.00\n03/04/2024,2.00\n12/25/2024,3.00\n");
    EXPECT_FALSE(s.dateOrderAmbiguous());
    EXPECT_EQ(s.dateOrder, DateOrder::MonthDayYear);
    EXPECT_EQ(s.rows.at(0).date, QDate(2024, 1, 2));
}

TEST(CsvReader, badRowsAreNotReadableWithTheirLineAndTheRestReads)
{
    const QByteArray file = "Date;Description;Amount\n"
                            "01.03.2024;Coffee;-3,50\n"
                            "31.02.2024;No such day;-1,00\n"
                            "02.03.2024;Letters;-1,0x\n"
                            "03.03.2024;Too;many;fields\n"
                            "04.03.2024;Coffee;-3,50\n"
                            "04.03.2024;Coffee;-3,50\n";
    const Statement s = readCsv(file);
    ASSERT_TRUE(s.refusal.isEmpty()) << s.refusal.toStdString();
    ASSERT_EQ(s.rows.size(), 6);
    const QStringList p = problems(s);
    ASSERT_EQ(p.size(), 3);
    EXPECT_TRUE(p.at(0).startsWith(u"Line 3:") && p.at(0).contains(u"not a day of the calendar")) << p.at(0).toStdString();
    EXPECT_TRUE(p.at(1).startsWith(u"Line 4:") && p.at(1).contains(u"-1,0x")) << p.at(1).toStdString();
    EXPECT_TRUE(p.at(2).startsWith(u"Line 5:") && p.at(2).contains(u"4 fields")) << p.at(2).toStdString();
    // Two identical coffees on one day are two rows.
    EXPECT_EQ(s.rows.at(4).description, u"Coffee");
    EXPECT_EQ(s.rows.at(5).description, u"Coffee");
    EXPECT_EQ(s.rows.at(4).cents, s.rows.at(5).cents);
    EXPECT_EQ(s.readableCount(), 3);
}

TEST(CsvReader, columnsThatChangeHalfWayRefuseTheFileNamingTheLine)
{
    const QByteArray file = "Date,Description,Amount\n"
                            "2024-03-01,Coffee,-3.50\n"
                            "2024-03-02,Tea,-2.00\n"
                            "2024-03-03;Tea;-2.00;x;y\n"
                            "2024-03-04;Tea;-2.00;x;y\n"
                            "2024-03-05;Tea;-2.00;x;y\n";
    ReadOptions comma;
    CsvProfile p;
    p.delimiter = u',';
    p.dateColumn = 0;
    p.amountColumn = 2;
    comma.csvProfile = p;
    const Statement s = readCsv(file, comma);
    EXPECT_TRUE(s.rows.isEmpty());
    EXPECT_TRUE(s.refusal.startsWith(u"Line 4:")) << s.refusal.toStdString();
}

TEST(CsvReader, anUnknownHeaderAsksForTheMappingAndAMappingReadsIt)
{
    const QByteArray file = "Tag,Wer,Wieviel\n2024-03-01,Coffee,-3.50\n";
    const Statement asked = readCsv(file);
    EXPECT_TRUE(asked.csvNeedsMapping);
    EXPECT_TRUE(asked.rows.isEmpty());
    EXPECT_EQ(asked.csvHeader, (QStringList{"Tag", "Wer", "Wieviel"}));
    CsvProfile mapping = asked.csvProfile;
    mapping.dateColumn = 0;
    mapping.amountColumn = 2;
    mapping.descriptionColumns = {1};
    ReadOptions options;
    options.csvProfile = mapping;
    const Statement s = readCsv(file, options);
    ASSERT_TRUE(s.refusal.isEmpty()) << s.refusal.toStdString();
    EXPECT_EQ(amounts(s), QList<qint64>{-350});
    EXPECT_EQ(s.rows.at(0).description, u"Coffee");
    // A mapping naming a column the file does not have is refused, not read past the end.
    mapping.amountColumn = 7;
    options.csvProfile = mapping;
    EXPECT_TRUE(readCsv(file, options).refusal.contains(u"column 8"));
}

TEST(CsvReader, aProfileRoundTripsThroughTextAndRereadsTheSameRows)
{
    const QByteArray file = "Buchungstag;Betrag;S/H;Name;Verwendungszweck\n01.03.2024;3,50;S;Bäcker;Brot\n";
    const Statement first = readCsv(file);
    ASSERT_TRUE(first.refusal.isEmpty());
    const QString stored = first.csvProfile.toString();
    const std::optional<CsvProfile> back = CsvProfile::fromString(stored);
    ASSERT_TRUE(back.has_value()) << stored.toStdString();
    EXPECT_EQ(*back, first.csvProfile);
    ReadOptions options;
    options.csvProfile = back;
    const Statement second = readCsv(file, options);
    EXPECT_EQ(amounts(second), amounts(first));
    EXPECT_EQ(second.rows.at(0).description, first.rows.at(0).description);
    for (const char* broken : {"", "{}", "{\"v\":1,\"date\":\"x\"}", "{\"v\":2}", "{\"v\":1,\"date\":-5}", "[1]"})
        EXPECT_FALSE(CsvProfile::fromString(QString::fromUtf8(broken)).has_value()) << broken;
}

TEST(CsvReader, theFingerprintKeysTheHeaderNotItsSpelling)
{
    EXPECT_EQ(headerFingerprint({"Datum", "Betrag (EUR)"}), headerFingerprint({" datum", "BETRAG"}));
    EXPECT_NE(headerFingerprint({"Datum", "Betrag"}), headerFingerprint({"Betrag", "Datum"}));
    EXPECT_NE(headerFingerprint({"Datum", "Betrag"}), headerFingerprint({"Datum", "Betrag", ""}));
    EXPECT_EQ(readCsv("Datum;Betrag\n01.01.2024;1\n").csvFingerprint, headerFingerprint({"Datum", "Betrag"}));
}

TEST(CsvReader, headerNamesInThreeLanguagesMapToTheirColumns)
{
    struct Case {
        QStringList header;
        int date, amount, withdrawal, deposit, indicator;
        QList<int> description;
    };
    const Case cases[] = {
        {{"Date", "Payee", "Memo", "Amount"}, 0, 3, -1, -1, -1, {1, 2}},
        {{"Valuta", "Buchungstag", "Betrag", "Soll/Haben", "Empfänger"}, 1, 2, -1, -1, 3, {4}},
        {{"Date de l'opération", "Libellé", "Débit", "Crédit"}, 0, -1, 2, 3, -1, {1}},
        {{"Transaction Date", "Description", "Debit", "Credit"}, 0, -1, 2, 3, -1, {1}},
        {{"Wertstellung", "Betrag in EUR", "Verwendungszweck"}, 0, 1, -1, -1, -1, {2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header.join(u'|').toStdString());
        const CsvProfile p = mappingFromHeader(c.header);
        EXPECT_EQ(p.dateColumn, c.date);
        EXPECT_EQ(p.amountColumn, c.amount);
        EXPECT_EQ(p.withdrawalColumn, c.withdrawal);
        EXPECT_EQ(p.depositColumn, c.deposit);
        EXPECT_EQ(p.indicatorColumn, c.indicator);
        EXPECT_EQ(p.descriptionColumns, c.description);
    }
}

} // namespace

namespace {

TEST(CsvReader, anAmountRowThatCannotBeSignedIsNotReadable)
{
    const Statement indicator = readCsv("Buchungstag;Betrag;S/H\n01.03.2024;3,50;S\n02.03.2024;1,00;X\n");
    ASSERT_EQ(indicator.rows.size(), 2);
    EXPECT_TRUE(indicator.rows.at(1).problem.contains(u"\"X\" says neither debit nor credit"))
        << indicator.rows.at(1).problem.toStdString();
    const Statement columns = readCsv("Date,Withdrawal,Deposit\n2024-03-01,,\n2024-03-02,1.00,x\n2024-03-03,2.00,1.00\n");
    ASSERT_EQ(columns.rows.size(), 3);
    EXPECT_TRUE(columns.rows.at(0).problem.contains(u"no amount"));
    EXPECT_TRUE(columns.rows.at(1).problem.contains(u"\"x\""));
    EXPECT_EQ(columns.rows.at(2).cents, -100);   // both written: the difference
}

} // namespace
