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
