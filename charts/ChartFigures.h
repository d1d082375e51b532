#pragma once
// The figures a chart draws, as a table: what a screen reader reads in place of the
// picture, and what "Save Picture…" writes as CSV for a spreadsheet.

#include "charts/ChartData.h"
#include "charts/ChartPicture.h"

#include <QStringList>
#include <vector>

namespace charts {

struct Figures {
    QStringList headings;            // "Month", "Balance"; "Account", "Withdrawals"...
    struct Row {
        QDate month;                 // valid for a row of a month
        QString label;               // the account, for a row of an account
        std::vector<double> amounts; // one a heading after the first
    };
    std::vector<Row> rows;
};

// The figures of the chart of `kind`: a row a month, oldest first, or a row an account,
// largest first, as the chart draws them.
Figures figuresOf(Kind kind, const ChartNumbers& numbers);

// The figures as CSV: a heading line, months as "2026-01", amounts as plain numbers
// with a point, lines ending in CRLF.
QByteArray figuresCsv(const Figures& figures);

// figuresCsv into file, whole or not at all. False with the reason in *error.
bool saveFigures(const Figures& figures, const QString& file, QString* error);

} // namespace charts
