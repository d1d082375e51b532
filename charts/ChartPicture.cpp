#include "charts/ChartPicture.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QHorizontalBarSeries>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QTextDocumentFragment>
#include <algorithm>
#include <cmath>

namespace charts {

namespace {

// Room the value axis' labels and the margins take from a chart's width.
constexpr qreal kSideRoom = 130;

QString wholeUnits(double amount)
{
    return QLocale().toString(amount, 'f', 0);
}

// Steps of 1, 2, 2.5 or 5 times a power of ten, zero among them, in whole units of
// the currency: at most six intervals over low..high.
struct Scale {
    double low, high, step;
};

Scale niceScale(double low, double high)
{
    // Sums of amounts another program stored may overflow; the axis then shows what a
    // ledger can hold, and the figures say the rest.
    constexpr double kFar = 1e15;
    low = std::clamp(std::isnan(low) ? 0.0 : low, -kFar, 0.0);
    high = std::clamp(std::isnan(high) ? 0.0 : high, 0.0, kFar);
    const double raw = std::max(1.0, (high - low) / 5);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = magnitude;
    for (const double factor : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        step = factor * magnitude;
        if (step >= raw)
            break;
    }
    step = std::max(1.0, step);
    return {std::floor(low / step) * step, std::max(std::ceil(high / step), std::floor(low / step) + 1) * step, step};
}

// A value axis whose labels stand on its steps in the ledger's currency format: a
// plain value axis knows only printf formats, without symbols or grouping.
QCategoryAxis* amountAxis(double low, double high, const AxisMoney& money)
{
    const Scale scale = niceScale(low, high);
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setStartValue(scale.low - scale.step);
    axis->setRange(scale.low, scale.high);
    const qint64 steps = qint64(std::llround((scale.high - scale.low) / scale.step));
    for (qint64 i = 0; i <= steps; ++i) {
        double value = scale.low + double(i) * scale.step;
        if (std::abs(value) < scale.step / 2)
            value = 0;   // never "-$0"
        axis->append(money ? money(value) : wholeUnits(value), value);
    }
    return axis;
}

qreal labelWidth(const QFont& font, const QString& sample)
{
    return QFontMetricsF(font).horizontalAdvance(sample) + 10;
}

int monthIndex(const QDate& month)
{
    return month.year() * 12 + month.month() - 1;
}

// The months' axis of a chart: its points or bars stand at 0, 1, 2...; a label under
// every step-th month, on months a calendar counts in (January, April...) when thinned.
void labelMonths(QCategoryAxis& axis, const ChartNumbers& numbers, qreal width)
{
    for (const QString& label : axis.categoriesLabels())
        axis.remove(label);
    const int count = int(numbers.months.size());
    const QLocale locale;
    const qreal room = std::max(qreal(100), width - kSideRoom);
    const QString widest = locale.toString(QDate(2000, 5, 1), QStringLiteral("MMM yy"));
    int step = monthLabelStep(count, room, labelWidth(axis.labelsFont(), widest));
    // Past a year between labels, a label names only the year and needs less room.
    if (step >= 12)
        step = std::max(12, monthLabelStep(count, room, labelWidth(axis.labelsFont(), QStringLiteral("2000"))));
    axis.setStartValue(-1);
    axis.setRange(-0.5, std::max(0, count - 1) + 0.5);
    for (int i = 0; i < count; ++i) {
        const QDate month = numbers.months[size_t(i)].first;
        if (step > 1 && monthIndex(month) % step != 0)
            continue;
        axis.append(locale.toString(month, step >= 12 ? QStringLiteral("yyyy") : QStringLiteral("MMM yy")), i);
    }
}

// The months' axis under a chart whose points or bars stand at 0, 1, 2... a month.
QCategoryAxis* monthsAxis()
{
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    return axis;
}

QChart* balanceChart(const ChartNumbers& numbers, const AxisMoney& money)
{
    auto* chart = new QChart;
    auto* line = new QLineSeries;
    line->setName(QStringLiteral("Balance at the end of the month"));
    line->setPointsVisible(numbers.months.size() <= 60);
    double low = 0, high = 0;
    for (size_t i = 0; i < numbers.months.size(); ++i) {
        const double balance = numbers.months[i].balance;
        line->append(double(i), balance);
        low = std::min(low, balance);
        high = std::max(high, balance);
    }
    chart->addSeries(line);
    QCategoryAxis* months = monthsAxis();
    chart->addAxis(months, Qt::AlignBottom);
    chart->addAxis(amountAxis(low, high, money), Qt::AlignLeft);
    line->attachAxis(months);
    line->attachAxis(chart->axes(Qt::Vertical).front());
    return chart;
}

QChart* monthsChart(const ChartNumbers& numbers, const AxisMoney& money)
{
    auto* chart = new QChart;
    auto* withdrawals = new QBarSet(QStringLiteral("Withdrawals"));
    auto* deposits = new QBarSet(QStringLiteral("Deposits"));
    double high = 0;
    for (const Month& m : numbers.months) {
        *withdrawals << m.withdrawal;
        *deposits << m.deposit;
        high = std::max({high, m.withdrawal, m.deposit});
    }
    auto* bars = new QBarSeries;
    bars->append(withdrawals);
    bars->append(deposits);
    // Many months leave little room: bars fill more of it, so they stay visible.
    bars->setBarWidth(numbers.months.size() > 24 ? 0.9 : 0.7);
    chart->addSeries(bars);
    QCategoryAxis* axis = monthsAxis();
    axis->setGridLineVisible(false);
    chart->addAxis(axis, Qt::AlignBottom);
    chart->addAxis(amountAxis(0, high, money), Qt::AlignLeft);
    bars->attachAxis(axis);
    bars->attachAxis(chart->axes(Qt::Vertical).front());
    return chart;
}

QChart* accountsChart(const ChartNumbers& numbers, const AxisMoney& money)
{
    auto* chart = new QChart;
    auto* set = new QBarSet(QStringLiteral("Withdrawals"));
    QStringList accounts;
    double low = 0, high = 0;
    // Largest at the top: horizontal bars run bottom up.
    for (auto it = numbers.accounts.rbegin(); it != numbers.accounts.rend(); ++it) {
        *set << it->withdrawal;
        accounts << it->account;
        low = std::min(low, it->withdrawal);
        high = std::max(high, it->withdrawal);
    }
    auto* bars = new QHorizontalBarSeries;
    bars->append(set);
    chart->addSeries(bars);
    auto* axis = new QBarCategoryAxis;
    axis->append(accounts);
    chart->addAxis(axis, Qt::AlignLeft);
    chart->addAxis(amountAxis(low, high, money), Qt::AlignBottom);
    bars->attachAxis(axis);
    bars->attachAxis(chart->axes(Qt::Horizontal).front());
    chart->legend()->hide();
    return chart;
}

} // namespace

int monthLabelStep(int months, qreal room, qreal labelWidth)
{
    // One label always shows, even where it does not fit.
    const auto fits = [&](int step) {
        const int labels = (months + step - 1) / step;
        return labels <= 1 || labels * labelWidth <= room;
    };
    for (const int step : {1, 2, 3, 4, 6, 12}) {
        if (fits(step))
            return step;
    }
    int years = 2;
    while (!fits(12 * years))
        ++years;
    return 12 * years;
}

void fitToWidth(QChart& chart, Kind kind, const ChartNumbers& numbers, qreal width)
{
    if (kind == Kind::Accounts)
        return;
    for (QAbstractAxis* axis : chart.axes(Qt::Horizontal)) {
        if (auto* months = qobject_cast<QCategoryAxis*>(axis))
            labelMonths(*months, numbers, width);
    }
}

bool kindFromName(const QString& name, Kind* kind)
{
    if (name == u"balance")
        *kind = Kind::Balance;
    else if (name == u"months")
        *kind = Kind::Months;
    else if (name == u"accounts")
        *kind = Kind::Accounts;
    else
        return false;
    return true;
}

QString title(Kind kind)
{
    switch (kind) {
    case Kind::Balance: return QStringLiteral("Balance over Time");
    case Kind::Months: return QStringLiteral("Withdrawals and Deposits per Month");
    case Kind::Accounts: return QStringLiteral("Withdrawals by Account");
    }
    return {};
}

QChart* makeChart(Kind kind, const ChartNumbers& numbers, const AxisMoney& money, qreal width, const QString& what)
{
    QChart* chart = nullptr;
    switch (kind) {
    case Kind::Balance: chart = balanceChart(numbers, money); break;
    case Kind::Months: chart = monthsChart(numbers, money); break;
    case Kind::Accounts: chart = accountsChart(numbers, money); break;
    }
    fitToWidth(*chart, kind, numbers, width);
    chart->setTitle(what.isEmpty() ? title(kind)
                                   : title(kind) + QStringLiteral("<br><small>") + what.toHtmlEscaped()
                                         + QStringLiteral("</small>"));
    chart->setAnimationOptions(QChart::NoAnimation);   // a million rows redraw at once, not in steps
    return chart;
}

bool savePicture(QChart& chart, const QString& file, QSize size, QString* error)
{
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix != u"png" && suffix != u"svg") {
        *error = QStringLiteral("A picture is saved as .png or .svg, not as \"%1\".").arg(QFileInfo(file).fileName());
        return false;
    }
    // Drawn on a scene of its own, so a chart shown in a window is drawn as it is.
    QGraphicsScene scene;
    QGraphicsScene* previous = chart.scene();
    if (previous)
        previous->removeItem(&chart);
    const QRectF oldGeometry = chart.geometry();
    scene.addItem(&chart);
    chart.setGeometry(QRectF(QPointF(0, 0), size));
    const auto restore = [&] {
        scene.removeItem(&chart);
        chart.setGeometry(oldGeometry);
        if (previous)
            previous->addItem(&chart);
    };
    const QRectF area(QPointF(0, 0), size);
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        restore();
        *error = QStringLiteral("%1 could not be written: %2").arg(file, out.errorString());
        return false;
    }
    if (suffix == u"png") {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            scene.render(&painter, area, area);
        }
        if (!image.save(&out, "PNG")) {
            restore();
            out.cancelWriting();
            *error = QStringLiteral("%1 could not be written.").arg(file);
            return false;
        }
    } else {
        QSvgGenerator svg;
        svg.setOutputDevice(&out);
        svg.setSize(size);
        svg.setViewBox(area);
        svg.setTitle(QTextDocumentFragment::fromHtml(chart.title()).toPlainText());   // the title is rich text
        QPainter painter(&svg);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(area, Qt::white);
        scene.render(&painter, area, area);
        painter.end();
    }
    restore();
    if (!out.commit()) {
        *error = QStringLiteral("%1 could not be written: %2").arg(file, out.errorString());
        return false;
    }
    return true;
}

} // namespace charts
