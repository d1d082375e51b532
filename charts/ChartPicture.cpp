#include "charts/ChartPicture.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QHorizontalBarSeries>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QValueAxis>
#include <algorithm>

namespace charts {

namespace {

QString monthLabel(const QDate& month)
{
    return QLocale().toString(month, QStringLiteral("MMM yy"));
}

// A value axis that always shows zero and the amounts in whole numbers of the
// currency (the tooltips give the exact figures).
QValueAxis* amountAxis(double low, double high)
{
    auto* axis = new QValueAxis;
    low = std::min(0.0, low);
    high = std::max(0.0, high);
    if (high - low < 1)
        high = low + 1;   // an empty chart still has a scale
    axis->setRange(low, high);
    axis->applyNiceNumbers();
    axis->setLabelFormat(QStringLiteral("%.0f"));
    return axis;
}

QChart* balanceChart(const ChartNumbers& numbers)
{
    auto* chart = new QChart;
    auto* line = new QLineSeries;
    line->setName(QStringLiteral("Balance at the end of the month"));
    line->setPointsVisible(numbers.months.size() <= 60);
    double low = 0, high = 0;
    // Each point stands at its month's last day, where its balance is reached.
    const auto monthEnd = [](const Month& m) { return m.first.addMonths(1).addDays(-1).startOfDay(); };
    for (const Month& m : numbers.months) {
        const QDateTime end = monthEnd(m);
        line->append(double(end.toMSecsSinceEpoch()), m.balance);
        low = std::min(low, m.balance);
        high = std::max(high, m.balance);
    }
    chart->addSeries(line);
    auto* time = new QDateTimeAxis;
    time->setFormat(QStringLiteral("MMM yyyy"));
    time->setTickCount(std::clamp(int(numbers.months.size()), 2, 7));
    if (!numbers.months.empty())
        time->setRange(monthEnd(numbers.months.front()), monthEnd(numbers.months.back()));
    else
        time->setRange(QDate::currentDate().startOfDay(), QDate::currentDate().addMonths(1).startOfDay());
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(amountAxis(low, high), Qt::AlignLeft);
    line->attachAxis(time);
    line->attachAxis(chart->axes(Qt::Vertical).front());
    return chart;
}

QChart* monthsChart(const ChartNumbers& numbers)
{
    auto* chart = new QChart;
    auto* withdrawals = new QBarSet(QStringLiteral("Withdrawals"));
    auto* deposits = new QBarSet(QStringLiteral("Deposits"));
    QStringList months;
    double high = 0;
    for (const Month& m : numbers.months) {
        *withdrawals << m.withdrawal;
        *deposits << m.deposit;
        months << monthLabel(m.first);
        high = std::max({high, m.withdrawal, m.deposit});
    }
    auto* bars = new QBarSeries;
    bars->append(withdrawals);
    bars->append(deposits);
    chart->addSeries(bars);
    auto* axis = new QBarCategoryAxis;
    axis->append(months);
    // Past a year the labels stand on end to fit; past four years they would overlap
    // even so, and the tooltips name the months instead.
    if (months.size() > 12)
        axis->setLabelsAngle(-90);
    axis->setLabelsVisible(months.size() <= 48);
    chart->addAxis(axis, Qt::AlignBottom);
    chart->addAxis(amountAxis(0, high), Qt::AlignLeft);
    bars->attachAxis(axis);
    bars->attachAxis(chart->axes(Qt::Vertical).front());
    return chart;
}

QChart* accountsChart(const ChartNumbers& numbers)
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
    chart->addAxis(amountAxis(low, high), Qt::AlignBottom);
    bars->attachAxis(axis);
    bars->attachAxis(chart->axes(Qt::Horizontal).front());
    chart->legend()->hide();
    return chart;
}

} // namespace

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

QChart* makeChart(Kind kind, const ChartNumbers& numbers)
{
    QChart* chart = nullptr;
    switch (kind) {
    case Kind::Balance: chart = balanceChart(numbers); break;
    case Kind::Months: chart = monthsChart(numbers); break;
    case Kind::Accounts: chart = accountsChart(numbers); break;
    }
    chart->setTitle(title(kind));
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
        svg.setTitle(chart.title());
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
