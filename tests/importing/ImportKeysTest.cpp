// The keys imported rows are known by: a bank's id where there is one, else a digest
// counted within its day, the same whatever case and spacing the bank writes.
#include "importing/ImportKeys.h"

#include <gtest/gtest.h>

using namespace importing;

namespace {
importer::Row row(const char* date, qint64 cents, const char* description, const char* reference = "")
{
    importer::Row r;
    r.date = QDate::fromString(QString::fromLatin1(date), Qt::ISODate);
    r.cents = cents;
    r.description = QString::fromUtf8(description);
    r.reference = QString::fromLatin1(reference);
    return r;
}
} // namespace

TEST(ImportKeys, IdenticalRowsAreCountedWithinTheirDayAndBankIdsAreKeptAsGiven)
{
    importer::Statement csv;
    csv.format = importer::Format::Csv;
    csv.rows = {row("2024-03-05", -350, "Coffee"), row("2024-03-05", -350, "  COFFEE "), row("2024-03-06", -350, "Coffee"),
                row("2024-03-05", -351, "Coffee"), row("2024-03-05", -350, "Coffee shop")};
    csv.rows.append(row("2024-03-05", -350, "Coffee"));
    csv.rows.back().problem = QStringLiteral("no amount");
    const QStringList keys = importKeys(csv);
    ASSERT_EQ(keys.size(), 6);
    EXPECT_TRUE(keys[0].startsWith(QStringLiteral("row:")) && keys[0].endsWith(QStringLiteral("#1"))) << keys[0].toStdString();
    EXPECT_EQ(keys[1], keys[0].chopped(1) + u'2') << "case and spacing do not matter";
    EXPECT_EQ(keys[2].right(2), QStringLiteral("#1")) << "another day counts afresh";
    EXPECT_NE(keys[2].chopped(2), keys[0].chopped(2));
    EXPECT_NE(keys[3].chopped(2), keys[0].chopped(2)) << "another amount";
    EXPECT_NE(keys[4].chopped(2), keys[0].chopped(2)) << "another description";
    EXPECT_EQ(keys[5], QString()) << "an unreadable row has none";
    EXPECT_FALSE(isBankId(keys[0]));

    importer::Statement ofx;
    ofx.format = importer::Format::Ofx;
    ofx.rows = {row("2024-03-05", -350, "Coffee", "F 1"), row("2024-03-05", -350, "Coffee")};
    const QStringList ofxKeys = importKeys(ofx);
    EXPECT_EQ(ofxKeys[0], QStringLiteral("fitid:F 1"));
    EXPECT_TRUE(isBankId(ofxKeys[0]));
    EXPECT_EQ(ofxKeys[1], keys[0]) << "a row without an id is keyed by its digest";

    importer::Statement camt;
    camt.format = importer::Format::Camt;
    camt.rows = {row("2024-03-05", -350, "Coffee", "R1")};
    EXPECT_EQ(importKeys(camt), QStringList{QStringLiteral("ref:R1")});
}

TEST(ImportKeys, DigestsStayThoseStoredLedgersHold)
{
    // Keys written by earlier versions, which every later import must find again: plain
    // and accented text, every kind of white space, a year below 1000, large amounts.
    importer::Statement csv;
    csv.format = importer::Format::Csv;
    csv.rows = {row("2024-03-05", -350, "Coffee"),
                row("2024-03-05", 120000, " Pay\tday \n SALARY "),
                row("0005-01-02", 0, "Zürich HOTEL\xc2\xa0"),
                row("2024-12-31", -99999999999, "STRASSE Straße \xc4\xb0stanbul \xe2\x80\x83 \xce\xa3\xce\x91"),
                row("2024-03-05", 1, ""),
                row("2024-03-05", -350, "COFFEE"),
                row("2024-03-05", 5, "A\x0b\x0c B\x1f" "C")};
    EXPECT_EQ(importKeys(csv), (QStringList{QStringLiteral("row:474788495414192749e619f9c8ae5391#1"),
                                            QStringLiteral("row:9b4de466fbeeeae790b5519001e7d35f#1"),
                                            QStringLiteral("row:4c98da907a751bc85b421c82d3394612#1"),
                                            QStringLiteral("row:19109113e7ea909af998fa49873179b5#1"),
                                            QStringLiteral("row:5082b42e89b70c5233e2bfedf789ef6e#1"),
                                            QStringLiteral("row:474788495414192749e619f9c8ae5391#2"),
                                            QStringLiteral("row:ff124fc61f33c087eee53845eb2cd828#1")}));
}
