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

} // namespace importer
