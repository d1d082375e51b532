#pragma once
// The three charts as Qt Charts draw them, from ChartNumbers, and a chart written to a
// PNG or SVG file. Shared by the charts window and the command line, so a saved picture
// is what the window shows.

#include "charts/ChartData.h"

#include <QSize>
#include <QString>
#include <functional>

QT_BEGIN_NAMESPACE
class QChart;
QT_END_NAMESPACE

namespace charts {

enum class Kind { Balance, Months, Accounts };

// "balance", "months", "accounts" as the command line names them; false for others.
bool kindFromName(const QString& name, Kind* kind);
QString title(Kind kind);

// How amounts read on an axis ("$2,000"): the ledger's currency format, in whole units
// as the axis' steps are. Without one, the locale's grouping alone.
using AxisMoney = std::function<QString(double)>;

// A new chart of the numbers, its labels thinned to fit a chart `width` wide; the
// caller owns it. The title names the chart, then `what` it shows (period, filter).
QChart* makeChart(Kind kind, const ChartNumbers& numbers, const AxisMoney& money = {}, qreal width = 960,
                  const QString& what = {});

// Thins the month labels of a chart from makeChart again, for a new width: one label
// every month, or every 2, 3, 4, 6 or 12 months, whichever is the first to fit.
void fitToWidth(QChart& chart, Kind kind, const ChartNumbers& numbers, qreal width);

// The steps between labels of `months` months that fit in `room` pixels, labels
// `labelWidth` wide each: 1, 2, 3, 4, 6, 12, or whole years past that.
int monthLabelStep(int months, qreal room, qreal labelWidth);

// Draws chart at size into file, PNG or SVG by the file's extension. False with the
// reason in *error when the name has another extension or the file cannot be written.
bool savePicture(QChart& chart, const QString& file, QSize size, QString* error);

} // namespace charts
