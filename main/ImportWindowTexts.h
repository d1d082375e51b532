#pragma once
// What the "Import Statement" window says of a planned import, in the list's own forms
// (its short date, the currency format): a row's status, what a possible match matched,
// the summary. Plain text, so it is tested without the window.

#include "importing/ImportPlan.h"

#include <QDate>
#include <QString>

namespace mainwindow::importtexts {

// A date and an amount in cents as the list shows them ("1/3/2025", "$42.17").
QString dateText(const QDate& date);
QString amountText(qint64 cents, const QString& pattern);

// The Status cell: "new", "already in the ledger", "possible match: 3/5/2024, coffee
// shop, withdrawal $3.50", "not readable (line 4): ...".
QString statusText(const importing::PlannedRow& row, const QString& pattern);
// A possible match's tooltip: the row it matched and what ticking it does.
QString matchToolTip(const importing::PlannedRow& row, const QString& pattern);

// "N new, M already in the ledger, K possible matches, L not readable." with what else
// the plan tells (matches not added unless ticked, a closing balance that differs).
QString summaryText(const importing::ImportPlan& plan, const QString& pattern);

} // namespace mainwindow::importtexts
