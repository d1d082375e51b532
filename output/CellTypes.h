#pragma once
// Reading the list's texts back into the values they show, so the spreadsheet export can
// write numbers and dates the user can sum and sort, each with a number format that
// shows the very text the list showed. A text is read only when formatting the value
// again gives exactly that text and a spreadsheet can hold it; everything else stays text.

#include <QHash>
#include <QLocale>
#include <QString>
#include <optional>

namespace output {

// What the texts of a sheet column are.
enum class CellKind { Text, Number, Date, Amount };

class CellTypes {
public:
    // Texts as the list shows them: numbers and dates under locale, amounts with the
    // currency pattern.
    CellTypes(const QString& amountPattern, const QLocale& locale = QLocale());

    // The value a text of that kind stands for; nullopt when it has to stay text.
    std::optional<double> value(CellKind kind, const QString& text);
    // The spreadsheet number format that shows values of that kind as the list does;
    // empty when texts of that kind always stay text.
    QString formatCode(CellKind kind) const;

private:
    std::optional<double> number(const QString& text) const;
    std::optional<double> amount(const QString& text) const;
    std::optional<double> date(const QString& text);

    QString m_pattern;
    QLocale m_locale;
    QString m_prefix, m_suffix;      // the currency symbol around an amount
    QString m_group, m_decimal;
    QString m_dateFormat;
    QString m_dateCode, m_amountCode;
    QHash<QString, std::optional<double>> m_dates;   // a ledger repeats its dates
};

// A date format of the list ("M/d/yyyy", "dd.MM.yyyy") as a spreadsheet format code
// with every separator literal ("m\/d\/yyyy"); empty when a spreadsheet would show it
// differently (names of days or months, times).
QString dateFormatCode(const QString& format);
// Text as a literal part of a spreadsheet format code.
QString literalCode(const QString& text);

} // namespace output
