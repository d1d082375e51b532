#pragma once
// Formatting amounts with the number-format pattern "#,##0.00", which may carry a
// currency symbol before or after it ("$#,##0.00", "#,##0.00€").

#include <QLocale>
#include <QString>
#include <QVariant>

namespace currency {

inline const QString kAmountPattern = QStringLiteral("#,##0.00");

// A pattern's literal text around its number part: the currency symbol before or after.
struct AmountAffixes {
    QString prefix;
    QString suffix;
};
// The symbol is literal text even when it happens to hold the number part itself: a
// pattern ending in the number part has the symbol before it.
AmountAffixes amountAffixes(const QString& pattern);

// Formats value with pattern: the user's grouping and decimal separators, at least one
// integer digit, exactly two decimals, a half in the third decimal rounded away from
// zero (decided on the value's 15 significant digits, so a typed 1.005 gives 1.01),
// the minus sign before everything and the rest of the pattern as literal text.
// A Null or empty-text value formats to the empty text.
QString formatAmount(const QVariant& value, const QString& pattern, const QLocale& locale = QLocale());
QString formatAmount(double value, const QString& pattern, const QLocale& locale = QLocale());

} // namespace currency
