// The charts' numbers against sums the test works out on its own from the same ledger,
// and the pictures written and read back.
#include "charts/ChartData.h"
#include "charts/ChartFigures.h"
#include "charts/ChartPicture.h"

#include <QCategoryAxis>
#include <QChart>
#include <QFontMetricsF>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <memory>

using namespace charts;

namespace {

// A ledger of many rows over three years and fifteen accounts, with rows that have no
// date and rows with no amounts among them, the same every run.
Ledger randomLedger(int rows)
{
    Ledger ledger;
    for (int a = 0; a < 15; ++a)
        ledger.accountNames.push_back(QStringLiteral("Account %1").arg(a));
    ledger.accountNames.push_back(QStringLiteral("3/5/2024"));   // a date text, never an account
    QRandomGenerator random(42);
    const qint64 first = QDate(2022, 1, 1).toJulianDay();
    for (int i = 0; i < rows; ++i) {
        Entry e;
        e.day = random.bounded(50) == 0 ? Entry::kNoDay : first + random.bounded(3 * 365);
        e.noAmount = random.bounded(40) == 0;
        if (!e.noAmount) {
            e.withdrawal = random.bounded(2) ? random.bounded(100000) / 100.0 : 0;
            e.deposit = random.bounded(3) == 0 ? random.bounded(300000) / 100.0 : 0;
        }
        // Accounts used unevenly, so the largest ten are not all alike.
        e.account = qint32(random.bounded(15) * random.bounded(15) / 15);
        ledger.entries.push_back(e);
    }
    return ledger;
}

Ledger cashLedger(std::vector<Entry> entries)
{
    Ledger ledger;
    ledger.accountNames = {QStringLiteral("Cash")};
    ledger.entries = std::move(entries);
    return ledger;
}

struct Expected {
    QMap<QPair<int, int>, QPair<double, double>> months;   // (year, month) -> (withdrawal, deposit)
    QMap<QString, double> accounts;
    double before = 0;
    int leftOut = 0;
};

Expected expectedFor(const Ledger& ledger, const Period& period)
{
    Expected out;
    for (const Entry& e : ledger.entries) {
        const bool placed = e.day != Entry::kNoDay && !e.noAmount;
        if (!placed) {
            if (e.day == Entry::kNoDay || (e.day >= period.firstDay && e.day <= period.lastDay))
                ++out.leftOut;
            continue;
        }
        if (e.day < period.firstDay) {
            out.before += e.deposit - e.withdrawal;
            continue;
        }
        if (e.day > period.lastDay)
            continue;
        const QDate date = QDate::fromJulianDay(e.day);
        auto& month = out.months[{date.year(), date.month()}];
        month.first += e.withdrawal;
        month.second += e.deposit;
        out.accounts[ledger.accountNames[size_t(e.account)]] += e.withdrawal;
    }
    return out;
}

void expectNumbersMatch(const Ledger& ledger, const Period& period)
{
    const ChartNumbers numbers = computeNumbers(ledger, period);
    const Expected expected = expectedFor(ledger, period);
    EXPECT_EQ(numbers.leftOut, expected.leftOut);

    // Every month from the first with rows to the last, none missing, none twice.
    ASSERT_FALSE(numbers.months.empty());
    const QPair<int, int> firstMonth = expected.months.firstKey(), lastMonth = expected.months.lastKey();
    EXPECT_EQ(numbers.months.front().first, QDate(firstMonth.first, firstMonth.second, 1));
    EXPECT_EQ(numbers.months.back().first, QDate(lastMonth.first, lastMonth.second, 1));
    double balance = expected.before;
    for (size_t i = 0; i < numbers.months.size(); ++i) {
        const Month& m = numbers.months[i];
        if (i > 0) {
            EXPECT_EQ(m.first, numbers.months[i - 1].first.addMonths(1));
        }
        const auto sums = expected.months.value({m.first.year(), m.first.month()});
        EXPECT_NEAR(m.withdrawal, sums.first, 1e-6) << m.first.toString().toStdString();
        EXPECT_NEAR(m.deposit, sums.second, 1e-6) << m.first.toString().toStdString();
        balance += sums.second - sums.first;
        EXPECT_NEAR(m.balance, balance, 1e-6) << m.first.toString().toStdString();
    }

    // The ten largest by name, then the rest together; all of it adds up to the whole.
    QList<QPair<double, QString>> ranked;
    double whole = 0;
    for (auto it = expected.accounts.constBegin(); it != expected.accounts.constEnd(); ++it) {
        if (it.value() != 0)
            ranked.append({-it.value(), it.key()});
        whole += it.value();
    }
    std::sort(ranked.begin(), ranked.end());
    ASSERT_EQ(numbers.accounts.size(), size_t(std::min<qsizetype>(ranked.size(), 11)));
    double drawn = 0;
    for (size_t i = 0; i < numbers.accounts.size(); ++i) {
        drawn += numbers.accounts[i].withdrawal;
        if (i < 10) {
            EXPECT_EQ(numbers.accounts[i].account, ranked[qsizetype(i)].second);
            EXPECT_NEAR(numbers.accounts[i].withdrawal, -ranked[qsizetype(i)].first, 1e-6);
        }
    }
    if (ranked.size() > 10) {
        EXPECT_EQ(numbers.accounts.back().account, kTheRest);
    }
    EXPECT_NEAR(drawn, whole, 1e-6);
}

} // namespace

TEST(ChartNumbers, MonthsBalanceAndAccountsAddUpToTheLedgersOwnSums)
{
    const Ledger ledger = randomLedger(20000);
    expectNumbersMatch(ledger, Period::all());
    expectNumbersMatch(ledger, Period::year(2023));   // with the balance brought forward
    expectNumbersMatch(ledger, Period::last12Months(QDate(2024, 6, 15)));
}

TEST(ChartNumbers, RowsThatCannotBePlacedAreCountedNeverDrawnAtZero)
{
    Ledger ledger;
    ledger.accountNames = {QStringLiteral("Cash")};
    const qint64 day = QDate(2025, 3, 10).toJulianDay();
    ledger.entries = {
        {Entry::kNoDay, 500, 0, false, 0},                      // no date
        {day, 0, 0, true, 0},                                    // both amounts Null
        {day, 10, 0, false, 0},
        {QDate(2025, 5, 1).toJulianDay(), 0, 4, false, 0},
        {day, std::numeric_limits<double>::infinity(), 0, false, 0},   // counts as nothing
    };
    const ChartNumbers numbers = computeNumbers(ledger, Period::all());
    EXPECT_EQ(numbers.leftOut, 2);
    ASSERT_EQ(numbers.months.size(), 3u);   // March, an empty April, May
    EXPECT_EQ(numbers.months[0].first, QDate(2025, 3, 1));
    EXPECT_EQ(numbers.months[0].withdrawal, 10);
    EXPECT_EQ(numbers.months[1].withdrawal, 0);
    EXPECT_EQ(numbers.months[1].balance, -10);
    EXPECT_EQ(numbers.months[2].balance, -6);
    EXPECT_EQ(leftOutNote(numbers.leftOut), "2 transactions without a date or amounts are left out.");
    EXPECT_EQ(leftOutNote(1), "1 transaction without a date or amounts is left out.");
    EXPECT_EQ(leftOutNote(0), "");

    // Nothing to place at all: no months, no accounts, nothing drawn.
    const ChartNumbers none = computeNumbers(cashLedger({ledger.entries[0]}), Period::all());
    EXPECT_TRUE(none.months.empty());
    EXPECT_TRUE(none.accounts.empty());
    EXPECT_EQ(none.leftOut, 1);
}

TEST(ChartNumbers, PeriodsCoverWholeMonthsAndYears)
{
    const Period year = Period::year(2024);
    EXPECT_EQ(year.firstDay, QDate(2024, 1, 1).toJulianDay());
    EXPECT_EQ(year.lastDay, QDate(2024, 12, 31).toJulianDay());
    const Period months = Period::last12Months(QDate(2024, 3, 15));
    EXPECT_EQ(months.firstDay, QDate(2023, 4, 1).toJulianDay());
    EXPECT_EQ(months.lastDay, QDate(2024, 3, 31).toJulianDay());
    const Period december = Period::last12Months(QDate(2026, 12, 8));   // ends with the current month
    EXPECT_EQ(december.firstDay, QDate(2026, 1, 1).toJulianDay());
    EXPECT_EQ(december.lastDay, QDate(2026, 12, 31).toJulianDay());
}

TEST(ChartNumbers, ShownRowsStartFromTheLedgersBalanceBeforeTheFirstShownRow)
{
    const Ledger whole = randomLedger(5000);
    // What a filter might show: one account's rows from the second year on.
    Ledger shown;
    shown.accountNames = whole.accountNames;
    shown.selection = true;
    shown.whole = whole.entries;
    for (const Entry& e : whole.entries) {
        if (e.account == 3 && e.day != Entry::kNoDay && e.day >= QDate(2023, 2, 1).toJulianDay())
            shown.entries.push_back(e);
    }
    qint64 firstShown = std::numeric_limits<qint64>::max();
    for (const Entry& e : shown.entries) {
        if (!e.noAmount)
            firstShown = std::min(firstShown, e.day);
    }
    double before = 0;   // every row of the ledger dated earlier, shown or not
    for (const Entry& e : whole.entries) {
        if (e.day != Entry::kNoDay && !e.noAmount && e.day < firstShown)
            before += e.deposit - e.withdrawal;
    }
    ASSERT_NE(before, 0);
    const ChartNumbers numbers = computeNumbers(shown, Period::all());
    ASSERT_FALSE(numbers.months.empty());
    EXPECT_EQ(numbers.months.front().first, QDate::fromJulianDay(firstShown).addDays(1 - QDate::fromJulianDay(firstShown).day()));
    double balance = before;
    for (const Month& m : numbers.months) {
        double change = 0, withdrawn = 0;
        for (const Entry& e : shown.entries) {
            const QDate date = QDate::fromJulianDay(e.day);
            if (!e.noAmount && date.year() == m.first.year() && date.month() == m.first.month())
                change += e.deposit - e.withdrawal, withdrawn += e.withdrawal;
        }
        balance += change;
        EXPECT_NEAR(m.withdrawal, withdrawn, 1e-6) << m.first.toString().toStdString();
        EXPECT_NEAR(m.balance, balance, 1e-6) << m.first.toString().toStdString();
    }
    // The whole ledger as a selection of itself draws what the ledger does.
    Ledger all = whole;
    all.selection = true;
    all.whole = whole.entries;
    const ChartNumbers same = computeNumbers(all, Period::all()), plain = computeNumbers(whole, Period::all());
    ASSERT_EQ(same.months.size(), plain.months.size());
    EXPECT_NEAR(same.months.back().balance, plain.months.back().balance, 1e-6);
}

TEST(ChartNumbers, ANamedPeriodDrawsEachOfItsMonthsEvenWithoutRows)
{
    Ledger ledger;
    ledger.accountNames = {QStringLiteral("Cash")};
    ledger.entries = {
        {QDate(2025, 11, 30).toJulianDay(), 0, 1000, false, 0},   // before: the opening balance
        {QDate(2026, 12, 3).toJulianDay(), 45.10, 0, false, 0},
        {QDate(2027, 1, 2).toJulianDay(), 135, 0, false, 0},       // after: not in the period
    };
    const QDate today(2026, 12, 8);
    const ChartNumbers last12 = computeNumbers(ledger, Period::last12Months(today));
    ASSERT_EQ(last12.months.size(), 12u);
    EXPECT_EQ(last12.months.front().first, QDate(2026, 1, 1));
    EXPECT_EQ(last12.months.back().first, QDate(2026, 12, 1));
    EXPECT_EQ(last12.months.front().balance, 1000);
    EXPECT_NEAR(last12.months.back().balance, 954.90, 1e-9);
    EXPECT_EQ(monthsText(last12), QLocale().toString(QDate(2026, 1, 1), "MMM yyyy") + QString::fromUtf16(u" \u2013 ")
                                      + QLocale().toString(QDate(2026, 12, 1), "MMM yyyy"));

    // This year: from January to this month; a past year whole.
    const ChartNumbers thisYear = computeNumbers(ledger, Period::year(2026, QDate(2026, 3, 8)));
    ASSERT_EQ(thisYear.months.size(), 12u) << "a row in December still shows";
    const ChartNumbers early = computeNumbers(cashLedger({ledger.entries[0]}),
                                              Period::year(2026, QDate(2026, 3, 8)));
    ASSERT_EQ(early.months.size(), 3u);
    EXPECT_EQ(early.months.back().first, QDate(2026, 3, 1));
    EXPECT_EQ(computeNumbers(ledger, Period::year(2025, QDate(2026, 3, 8))).months.size(), 12u);
    EXPECT_EQ(monthsText(computeNumbers(Ledger{}, Period::all())), "");
}

TEST(ChartPicture, MonthLabelsThinToWhatFitsOnCalendarSteps)
{
    struct Case {
        int months;
        qreal room, label;
        int step;
    } cases[] = {
        {12, 600, 50, 1}, {12, 500, 50, 2}, {12, 200, 50, 3}, {12, 150, 50, 4}, {12, 100, 50, 6},
        {120, 600, 50, 12}, {120, 2000, 50, 3}, {120, 250, 50, 24}, {1, 10, 50, 1}, {0, 100, 50, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(monthLabelStep(c.months, c.room, c.label), c.step) << c.months << " months in " << c.room;

    // Ten years per month, drawn at two widths: labels on whole years or quarters, never
    // more than the axis holds side by side, and amounts in the money format given.
    Ledger ledger;
    ledger.accountNames = {QStringLiteral("Cash")};
    for (int m = 0; m < 120; ++m)
        ledger.entries.push_back({QDate(2017, 1, 1).addMonths(m).toJulianDay(), 1234.5 * (m % 7), 0, false, 0});
    const ChartNumbers numbers = computeNumbers(ledger, Period::all());
    const auto money = [](double v) { return QStringLiteral("$") + QLocale(QLocale::English).toString(v, 'f', 0); };
    for (const qreal width : {700.0, 3000.0}) {
        std::unique_ptr<QChart> chart(makeChart(Kind::Months, numbers, money, width));
        auto* months = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Horizontal).front());
        ASSERT_NE(months, nullptr);
        const QStringList labels = months->categoriesLabels();
        ASSERT_GE(labels.size(), 10);
        qreal used = 0;
        for (const QString& label : labels) {
            used += QFontMetricsF(months->labelsFont()).horizontalAdvance(label);
            const QDate month = QDate(2017, 1, 1).addMonths(int(months->endValue(label)));
            EXPECT_EQ((month.month() - 1) % 3, 0) << label.toStdString();
        }
        EXPECT_LT(used, width - 100);
        auto* amounts = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Vertical).front());
        ASSERT_NE(amounts, nullptr);
        EXPECT_EQ(amounts->categoriesLabels().front(), "$0");
        EXPECT_TRUE(amounts->categoriesLabels().contains("$8,000")) << amounts->categoriesLabels().join(' ').toStdString();
    }
}

TEST(ChartPicture, SumsPastWhatADoubleHoldsStillDrawAScale)
{
    const qint64 day = QDate(2025, 3, 10).toJulianDay();
    const ChartNumbers numbers = computeNumbers(cashLedger({{day, 1e308, 0, false, 0}, {day, 1e308, 0, false, 0},
                                                            {day + 40, 0, 5, false, 0}}),
                                                Period::all());
    QTemporaryDir folder;
    for (const Kind kind : {Kind::Balance, Kind::Months, Kind::Accounts}) {
        std::unique_ptr<QChart> chart(makeChart(kind, numbers));
        const QStringList amounts = qobject_cast<QCategoryAxis*>(chart->axes(kind == Kind::Accounts ? Qt::Horizontal
                                                                                                     : Qt::Vertical)
                                                                     .front())
                                        ->categoriesLabels();
        EXPECT_GE(amounts.size(), 2);
        EXPECT_LE(amounts.size(), 12);
        QString error;
        EXPECT_TRUE(savePicture(*chart, folder.filePath("huge.png"), QSize(320, 200), &error)) << error.toStdString();
    }
}

TEST(ChartFigures, EachChartsFiguresAsATableAndAsCsv)
{
    Ledger ledger;
    ledger.accountNames = {QStringLiteral("Cash"), QStringLiteral("Car, \"old\"")};
    ledger.entries = {
        {QDate(2025, 12, 5).toJulianDay(), 0.1, 0, false, 1},
        {QDate(2025, 12, 6).toJulianDay(), 0.2, 0, false, 1},
        {QDate(2026, 2, 1).toJulianDay(), 1234.56, 2000, false, 0},
    };
    const ChartNumbers numbers = computeNumbers(ledger, Period::all());
    EXPECT_EQ(figuresCsv(figuresOf(Kind::Balance, numbers)),
              "Month,Balance\r\n2025-12,-0.3\r\n2026-01,-0.3\r\n2026-02,765.14\r\n");
    EXPECT_EQ(figuresCsv(figuresOf(Kind::Months, numbers)),
              "Month,Withdrawals,Deposits\r\n2025-12,0.3,0\r\n2026-01,0,0\r\n2026-02,1234.56,2000\r\n");
    EXPECT_EQ(figuresCsv(figuresOf(Kind::Accounts, numbers)),
              "Account,Withdrawals\r\nCash,1234.56\r\n\"Car, \"\"old\"\"\",0.3\r\n");

    QTemporaryDir folder;
    QString error;
    const QString file = folder.filePath("figures.csv");
    ASSERT_TRUE(saveFigures(figuresOf(Kind::Months, numbers), file, &error)) << error.toStdString();
    QFile back(file);
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), figuresCsv(figuresOf(Kind::Months, numbers)));
    EXPECT_FALSE(saveFigures(figuresOf(Kind::Months, numbers), folder.filePath("no such folder/f.csv"), &error));
    EXPECT_TRUE(error.contains("no such folder"));
}

TEST(ChartPicture, EachChartIsWrittenAsAReadablePngOrSvgAndOtherNamesAreRefused)
{
    QTemporaryDir folder;
    const ChartNumbers numbers = computeNumbers(randomLedger(500), Period::all());
    for (const char* name : {"balance", "months", "accounts"}) {
        Kind kind;
        ASSERT_TRUE(kindFromName(QString::fromLatin1(name), &kind));
        std::unique_ptr<QChart> chart(makeChart(kind, numbers));
        QString error;
        const QString png = folder.filePath(QString::fromLatin1(name) + ".png");
        ASSERT_TRUE(savePicture(*chart, png, QSize(640, 400), &error)) << error.toStdString();
        QFile file(png);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.read(8), QByteArray("\x89PNG\r\n\x1a\n", 8));

        const QString svg = folder.filePath(QString::fromLatin1(name) + ".SVG");
        ASSERT_TRUE(savePicture(*chart, svg, QSize(640, 400), &error)) << error.toStdString();
        QFile drawing(svg);
        ASSERT_TRUE(drawing.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&drawing);
        int elements = 0;
        QString root;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && elements++ == 0)
                root = xml.name().toString();
        }
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        EXPECT_EQ(root, "svg");
        EXPECT_GT(elements, 20);
    }
    Kind kind;
    EXPECT_FALSE(kindFromName("pie", &kind));

    std::unique_ptr<QChart> chart(makeChart(Kind::Balance, numbers));
    QString error;
    EXPECT_FALSE(savePicture(*chart, folder.filePath("balance.jpg"), QSize(100, 100), &error));
    EXPECT_TRUE(error.contains("balance.jpg"));
    EXPECT_FALSE(QFile::exists(folder.filePath("balance.jpg")));
    EXPECT_FALSE(savePicture(*chart, folder.filePath("no such folder/balance.png"), QSize(100, 100), &error));
    EXPECT_TRUE(error.contains("no such folder"));
}
