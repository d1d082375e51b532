#pragma once
// How a CSV statement's columns are read: which column holds the date, the amount (one
// signed column, withdrawal and deposit columns, or an amount with a debit/credit
// indicator), the description; and how the file is written (delimiter, encoding, decimal
// separator, header line, date order). A reading fills in whatever the file shows; the
// user may change any of it, and the caller stores it as text under the header's
// fingerprint so the next file from the same bank reads with one click.

#include "importer/DateOrder.h"

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace importer {

enum class AmountModel { None, Signed, WithdrawalDeposit, Indicator };

struct CsvProfile {
    // How the file is written; a null character, "" or 0 means "find it from the file".
    QChar delimiter;
    QString encoding;
    QChar decimal;
    int headerLine = 0;                    // 1-based line of the column names
    std::optional<DateOrder> dateOrder;

    // Which column (0-based) holds what; -1 for none.
    int dateColumn = -1;
    int amountColumn = -1;                 // signed, or the size when indicatorColumn is set
    int withdrawalColumn = -1;
    int depositColumn = -1;
    int indicatorColumn = -1;              // D/C, S/H, DBIT/CRDT, +/-, Debit/Credit, Soll/Haben
    QList<int> descriptionColumns;         // joined in this order, payee first
    int currencyColumn = -1;
    bool invertSigns = false;              // cards that write a purchase as a positive number

    AmountModel amountModel() const;
    bool complete() const { return dateColumn >= 0 && amountModel() != AmountModel::None; }

    // A one-line text of every setting, and back. fromString gives nullopt for a text it
    // cannot read entirely (a settings file edited by hand), never half a profile.
    QString toString() const;
    static std::optional<CsvProfile> fromString(const QString& text);

    bool operator==(const CsvProfile&) const = default;
};

// A header cell reduced to what identifies it: lower case, accents and umlauts dropped,
// parenthesised notes ("Betrag (EUR)") and everything but letters and digits removed.
QString normalisedHeaderName(const QString& name);

// A stable digest of a header's normalised names: the key a profile is stored under.
QString headerFingerprint(const QStringList& header);

// The mapping the header's names suggest (English, German, French names), with only the
// column fields set.
CsvProfile mappingFromHeader(const QStringList& header);

// +1 for a credit word (C, CR, CRDT, H, Haben, Credit, +), -1 for a debit word, 0 else.
int indicatorSign(const QString& value);

} // namespace importer
