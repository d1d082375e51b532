#pragma once
// What every statement reader hands back: the rows of one bank or card statement as the
// file gives them, each readable or with the reason it is not, and what the file says
// about the statement as a whole. No reader touches the ledger; deciding which rows are
// new, matching and writing them is the caller's work.
//
// Amounts are whole cents (hundredths) in a qint64: exact, so a re-import compares equal
// to the cent and sums never drift. centsText() gives the plain decimal text the ledger's
// statements take ("-12.5" style literals are never produced: always "-12.50").
// A positive amount is money in (a deposit), a negative one money out (a withdrawal).
// An amount with a non-zero fraction of a cent is not readable (currencies of three
// decimals are not imported).

#include "importer/CsvProfile.h"
#include "importer/DateOrder.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace importer {

enum class Format { Unknown, Ofx, Qif, Csv, Camt };

// "OFX", "QIF", "CSV", "CAMT.053"; "" for Unknown.
QString formatName(Format format);

// One row of the statement.
struct Row {
    int line = 0;            // the file's line (1-based) where the row begins; 0 when unknown
    QDate date;              // invalid when the row has no readable date
    qint64 cents = 0;        // signed; 0 when the amount is not readable
    QString description;     // payee and memo or remittance text, joined once, never repeated
    QString reference;       // the bank's own id: OFX FITID, CAMT AcctSvcrRef (else NtryRef); "" for CSV, QIF
    QString problem;         // why the row cannot be imported, "" when it can
    bool readable() const { return problem.isEmpty(); }
    // Ends the row's reading: `whyNot` ("" when readable) becomes its problem, on its
    // line, or else `amount` its cents, turned over for a statement read with its signs
    // inverted. A row the ledger could not keep as read (a day outside those it keeps,
    // an amount it would store otherwise) is not readable either, whatever the format.
    void settle(const QString& whyNot, qint64 amount, bool invertSigns);
};

// A balance the file states, for comparison with the account's own.
struct Balance {
    qint64 cents = 0;
    QDate date;              // the day it is taken at; invalid when the file gives none
};

struct Statement {
    Format format = Format::Unknown;
    // Non-empty: the file as a whole cannot be imported (not a statement, empty, too large,
    // cut off, malformed, ...). The text names the line where there is one; rows are then empty.
    QString refusal;
    QList<Row> rows;         // in the file's order; identical rows stay separate rows
    QString account;         // the account number or IBAN the file names, "" when none
    QString currency;        // ISO 4217 code where the file gives one
    std::optional<Balance> closing;   // OFX LEDGERBAL, CAMT CLBD
    QString encoding;        // how the text was read ("UTF-8", "windows-1252", ...), for the preview
    // Notes about parts of the file left out on purpose (a QIF investment section, a CSV's
    // preamble, pending CAMT entries): shown to the user, never an error by themselves.
    QStringList notes;
    // The date order used for the rows, and every order that fits all of the file's dates.
    // More than one candidate means the file does not tell: the caller asks the user (or a
    // script refuses) and reads again with ReadOptions::dateOrder set. Empty for formats whose
    // dates have one fixed form (OFX, CAMT).
    DateOrder dateOrder = DateOrder::DayMonthYear;
    QList<DateOrder> dateOrderCandidates;
    bool dateOrderAmbiguous() const { return dateOrderCandidates.size() > 1; }

    // CSV only: the header as the file writes it, its fingerprint (the key a saved profile
    // is stored under) and the profile the rows were read with, every setting filled in,
    // ready to be shown, changed, stored and passed back in ReadOptions (its date order stays
    // unset while the order is ambiguous, so an unanswered question is never stored).
    QStringList csvHeader;
    QString csvFingerprint;
    CsvProfile csvProfile;
    // CSV only: true when no column mapping could be found for the date or the amount; the
    // caller shows the header and asks for the mapping (a script refuses). Rows are empty
    // and refusal says which columns are missing.
    bool csvNeedsMapping = false;

    int readableCount() const;
};

// What the caller decided after a first reading, for the next one.
struct ReadOptions {
    std::optional<DateOrder> dateOrder;   // the user's answer to an ambiguous file
    bool invertSigns = false;             // a card statement that writes charges as positive
                                          // (for CSV, a profile's own choice applies as well)
    std::optional<CsvProfile> csvProfile; // a stored or changed CSV mapping (its settings win)
};

// The plain decimal text of an amount in cents: "1234.50", "-0.05".
QString centsText(qint64 cents);

// Files larger than this are refused before any of them is read, so memory stays bounded:
// even a busy business account's year of statements is a few megabytes.
inline constexpr qint64 kMaxStatementBytes = 64LL * 1024 * 1024;

// The most characters a statement's text may come to once the file's own abbreviations
// (XML entities) are written out: the same bound as the file's size, so that a small
// file cannot grow past what a large one may be.
inline constexpr qint64 kMaxStatementText = kMaxStatementBytes;

// A description or bank id longer than this is cut: no bank writes one, and a longer
// text would only make the list and the ledger slow. The user is told once.
inline constexpr qsizetype kMaxTextLength = 4096;

// Amounts of this size or more (in cents) are refused, as the editor refuses them.
inline constexpr qint64 kMaxCents = 100'000'000'000'000'000LL;   // 1e15 in currency units

} // namespace importer
