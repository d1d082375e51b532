#pragma once
// Reading amounts as banks write them, exactly, into cents: "1,234.56", "1.234,56",
// "-12,00", "12,00-", "(12.00)", "+5", "EUR 3.50", "3,50 €", "1 234,56", "1'234.56".
// The decimal separator is decided once for a whole file (decimalSeparatorOf), because a
// single "1,234" could be either.

#include <QChar>
#include <QString>
#include <QStringList>

#include <optional>

namespace importer {

struct AmountResult {
    std::optional<qint64> cents;   // set when the text is an amount
    QString problem;               // why not, when it is not
};

// The amount in `text` with `decimal` ('.' or ',') as the decimal separator; the other of
// the two, spaces, apostrophes and thin spaces group thousands. Currency signs and codes
// beside the number are ignored; any other letter makes the text not an amount. An empty
// text is not an amount either ("no amount").
AmountResult parseAmount(const QString& text, QChar decimal);

// The decimal separator that reads every one of `samples`: ',' or '.'. A text whose only
// separator is followed by exactly three digits ("1,234") decides nothing; when nothing
// decides, `fallback`.
QChar decimalSeparatorOf(const QStringList& samples, QChar fallback = u'.');

// Why the ledger cannot keep `cents` exactly, "" when it can. The ledger stores an amount
// as a double, written as the shortest text that reads back as it, and under 10^15: an
// amount is kept when the double nearest to it writes as the same decimal, which every
// amount of up to 15 digits does and larger ones only some of the time
// (99999999999999.97 is kept, 99999999999999.99 would come back as 99999999999999.98).
QString amountKeepingProblem(qint64 cents);

} // namespace importer
