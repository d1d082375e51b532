#pragma once
// The three charts as Qt Charts draw them, from ChartNumbers, and a chart written to a
// PNG or SVG file. Shared by the charts window and the command line, so a saved picture
// is what the window shows.

#include "charts/ChartData.h"

#include <QSize>
#include <QString>

QT_BEGIN_NAMESPACE
class QChart;
QT_END_NAMESPACE

namespace charts {

enum class Kind { Balance, Months, Accounts };

// "balance", "months", "accounts" as the command line names them; false for others.
bool kindFromName(const QString& name, Kind* kind);
QString title(Kind kind);

// A new chart of the numbers; the caller owns it.
QChart* makeChart(Kind kind, const ChartNumbers& numbers);

// Draws chart at size into file, PNG or SVG by the file's extension. False with the
// reason in *error when the name has another extension or the file cannot be written.
bool savePicture(QChart& chart, const QString& file, QSize size, QString* error);

} // namespace charts
