// The charts window through the real main window: it shows the ledger's numbers,
// follows every reload and the find filter, saves its picture; and the command line
// draws a chart into a file with no window at all.
#include "tests/main/MainWindowFixture.h"

#include "charts/ChartWindow.h"
#include "main/FindBar.h"

#include <QAbstractBarSeries>
#include <QAccessible>
#include <QApplication>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolTip>
#include <QXmlStreamReader>

using namespace mainwindow;

namespace {

double withdrawals(const charts::ChartNumbers& numbers)
{
    double sum = 0;
    for (const charts::Month& m : numbers.months)
        sum += m.withdrawal;
    return sum;
}

// The labels of a chart's axis on one side, as drawn.
QStringList axisLabels(QChart* chart, Qt::Orientation side)
{
    auto* axis = qobject_cast<QCategoryAxis*>(chart->axes(side).value(0));
    return axis ? axis->categoriesLabels() : QStringList{};
}

} // namespace

class Charts : public HouseholdTest {
protected:
    charts::ChartWindow* openCharts()
    {
        form.show();
        form.mnuCharts_Click();
        charts::ChartWindow* window = form.chartWindow();
        EXPECT_TRUE(window && QTest::qWaitForWindowExposed(window));
        return window;
    }
    // Moves the mouse, as the windowing system reports it, to `value` of a chart's series.
    // Then the mouse rests there, and Qt asks the view for its own tooltip.
    static void pointAt(charts::ChartWindow* window, charts::Kind kind, QAbstractSeries* series, QPointF value)
    {
        QChartView* view = window->chartView(kind);
        const QPointF inChart = view->chart()->mapToPosition(value, series);
        const QPoint inView = view->mapFromScene(view->chart()->mapToScene(inChart));
        QTest::mouseMove(window->windowHandle(), QPoint(2, 2));
        QTest::mouseMove(window->windowHandle(), view->viewport()->mapTo(window, inView));
        QHelpEvent rest(QEvent::ToolTip, inView, view->viewport()->mapToGlobal(inView));
        QApplication::sendEvent(view->viewport(), &rest);
        QTest::qWait(400);   // a tooltip asked to go fades out within this
    }
    static QString tipShown() { return QToolTip::isVisible() ? QToolTip::text() : QStringLiteral("(none)"); }
};

TEST_F(Charts, TheWindowShowsTheLedgerAndFollowsEveryChangeAndTheFilter)
{
    add("rent", "500", "0", "0", "'2024-01-05'");
    add("salary", "0", "2000", "0", "'2024-03-01'");
    add("plumber", "80", "0", "0", "'2024-03-20'");
    add("unknown", "null", "null", "0", "'2024-02-10'");   // nothing to draw
    start();
    form.show();
    form.mnuCharts_Click();
    charts::ChartWindow* window = form.chartWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->choice(), charts::ChartWindow::AllRows);
    const charts::ChartNumbers& numbers = window->numbers();
    ASSERT_EQ(numbers.months.size(), 3u);   // January to March
    EXPECT_EQ(numbers.months.back().balance, 1420);
    EXPECT_EQ(window->noteText(), "1 transaction without a date or amounts is left out.");
    ASSERT_EQ(window->numbers().accounts.size(), 1u);
    EXPECT_EQ(window->numbers().accounts[0].withdrawal, 580);

    // Hovering a bar shows its figure in the ledger's currency format.
    const auto hover = [&](charts::Kind kind, int set, int index) {
        auto* bars = qobject_cast<QAbstractBarSeries*>(window->chart(kind)->series().front());
        emit bars->barSets().at(set)->hovered(true, index);
        return QToolTip::text();
    };
    EXPECT_EQ(hover(charts::Kind::Accounts, 0, 0), "Household: $580.00");
    EXPECT_EQ(hover(charts::Kind::Months, 1, 2), "March 2024 Deposits: $2,000.00");

    // A change and the reload every command ends with: the charts follow.
    add("groceries", "20", "0", "0", "'2024-04-02'");
    form.ListData();
    EXPECT_EQ(window->numbers().months.size(), 4u);
    EXPECT_EQ(window->numbers().months.back().balance, 1400);
    env.sqlite(QStringLiteral("delete from Transactions where TransactionDescription='rent'"));
    form.ListData();
    EXPECT_EQ(withdrawals(window->numbers()), 100);

    // The find filter's rows, chosen when a filter is on; back to all once it is off.
    form.mnuFind_Click();
    form.findBar()->field()->setText(QStringLiteral("plumber"));
    window->setChoice(charts::ChartWindow::ShownRows);
    EXPECT_EQ(withdrawals(window->numbers()), 80);
    form.findBar()->field()->setText(QStringLiteral("-plumber"));
    EXPECT_EQ(withdrawals(window->numbers()), 20);
    form.closeFind();
    EXPECT_EQ(window->choice(), charts::ChartWindow::AllRows);
    EXPECT_EQ(withdrawals(window->numbers()), 100);

    window->showKind(charts::Kind::Months);
    QString error;
    const QString file = env.root() + QStringLiteral("/months.png");
    ASSERT_TRUE(window->savePicture(file, &error)) << error.toStdString();
    QFile picture(file);
    ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
    EXPECT_EQ(picture.read(4), QByteArray("\x89PNG", 4));
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Charts, TheCommandLineWritesAChartWithoutAWindow)
{
    add("rent", "500", "0", "0", "'2024-01-05'");
    add("salary", "0", "2000", "0", "'2024-03-01'");
    const auto run = [this](const QStringList& arguments, QString* errors) {
        const auto outcome = env.runWithoutScreen(QStringLiteral(TALLYFOLD_PROGRAM), arguments);
        *errors = outcome.errors;
        return outcome.status;
    };
    QString errors;
    const QString png = env.root() + QStringLiteral("/balance.png");
    EXPECT_EQ(run({"--chart", "balance", "--chart-file", png}, &errors), 0) << errors.toStdString();
    QFile picture(png);
    ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
    EXPECT_EQ(picture.read(8), QByteArray("\x89PNG\r\n\x1a\n", 8));

    const QString svg = env.root() + QStringLiteral("/accounts.svg");
    EXPECT_EQ(run({"--chart=accounts", "--chart-file=" + svg}, &errors), 0) << errors.toStdString();
    QFile drawing(svg);
    ASSERT_TRUE(drawing.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&drawing);
    bool household = false;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::Characters && xml.text().contains(u"Household"))
            household = true;
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_TRUE(household) << "the account's name is drawn";

    const QString csv = env.root() + QStringLiteral("/months.csv");
    EXPECT_EQ(run({"--chart", "months", "--chart-file", csv}, &errors), 0) << errors.toStdString();
    QFile figures(csv);
    ASSERT_TRUE(figures.open(QIODevice::ReadOnly));
    EXPECT_EQ(figures.readAll(), QByteArray("Month,Withdrawals,Deposits\r\n2024-01,500,0\r\n2024-02,0,0\r\n2024-03,0,2000\r\n"));

    const QString pie = env.root() + QStringLiteral("/pie.png");
    EXPECT_EQ(run({"--chart", "pie", "--chart-file", pie}, &errors), 1);
    EXPECT_TRUE(errors.contains("There is no chart \"pie\"")) << errors.toStdString();
    EXPECT_FALSE(QFile::exists(pie));
    EXPECT_EQ(run({"--chart", "months"}, &errors), 1);
    EXPECT_TRUE(errors.contains("--chart-file")) << errors.toStdString();
    const QString jpeg = env.root() + QStringLiteral("/months.jpg");
    EXPECT_EQ(run({"--chart", "months", "--chart-file", jpeg}, &errors), 1);
    EXPECT_TRUE(errors.contains(".png or .svg")) << errors.toStdString();
    EXPECT_FALSE(QFile::exists(jpeg));
}

TEST_F(Charts, HoveringWithTheMouseShowsTheFigureUnderIt)
{
    add("rent", "500", "0", "0", "'2024-01-05'");
    add("salary", "0", "2000", "0", "'2024-03-01'");
    start();
    charts::ChartWindow* window = openCharts();
    ASSERT_NE(window, nullptr);

    window->showKind(charts::Kind::Months);
    QApplication::processEvents();
    auto* bars = qobject_cast<QAbstractBarSeries*>(window->chart(charts::Kind::Months)->series().front());
    ASSERT_NE(bars, nullptr);
    // Withdrawals stand left of each month's middle, deposits right.
    pointAt(window, charts::Kind::Months, bars, QPointF(2 + 0.15, 1000));
    EXPECT_EQ(tipShown(), "March 2024 Deposits: $2,000.00");
    pointAt(window, charts::Kind::Months, bars, QPointF(0 - 0.15, 250));
    EXPECT_EQ(tipShown(), "January 2024 Withdrawals: $500.00");

    window->showKind(charts::Kind::Balance);
    QApplication::processEvents();
    QAbstractSeries* line = window->chart(charts::Kind::Balance)->series().front();
    pointAt(window, charts::Kind::Balance, line, QPointF(2, 1500));   // the end of March
    EXPECT_EQ(tipShown(), "March 2024: $1,500.00");
    // Between two months' points the line's nearer month, never a value in between.
    pointAt(window, charts::Kind::Balance, line, QPointF(1.2, -500 + 0.2 * 2000));
    EXPECT_EQ(tipShown(), "February 2024: -$500.00");
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Charts, ShownRowsStartFromTheLedgersBalanceAndTheTitleSaysWhatIsShown)
{
    add("salary", "0", "3000", "0", "'2023-12-01'");
    add("rent", "500", "0", "0", "'2024-01-05'");
    add("plumber", "80", "0", "0", "'2024-01-20'");
    add("groceries", "40", "0", "0", "'2024-02-11'");
    add("plumber", "120", "0", "0", "'2024-03-02'");
    start();
    form.show();
    form.mnuFind_Click();
    form.findBar()->field()->setText(QStringLiteral("plumber"));
    charts::ChartWindow* window = openCharts();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->choice(), charts::ChartWindow::ShownRows);

    // What the ledger held before the first plumber, shown or not, then the plumbers.
    const double before = 3000 - 500;
    const auto& months = window->numbers().months;
    ASSERT_EQ(months.size(), 3u);
    EXPECT_EQ(months[0].balance, before - 80);
    EXPECT_EQ(months[1].balance, before - 80);
    EXPECT_EQ(months[2].balance, before - 80 - 120);
    const QString span = QLocale().toString(QDate(2024, 1, 1), "MMM yyyy") + QString::fromUtf16(u" \u2013 ")
        + QLocale().toString(QDate(2024, 3, 1), "MMM yyyy");
    EXPECT_EQ(window->whatIsShown(), "Rows Find shows (plumber): " + span);
    EXPECT_TRUE(window->chart(charts::Kind::Balance)->title().contains("Rows Find shows (plumber)"));
    // The amounts' axis in the ledger's currency format, thousands grouped.
    EXPECT_TRUE(axisLabels(window->chart(charts::Kind::Balance), Qt::Vertical).contains("$2,500"))
        << axisLabels(window->chart(charts::Kind::Balance), Qt::Vertical).join(' ').toStdString();

    window->setChoice(charts::ChartWindow::AllRows);
    EXPECT_EQ(window->numbers().months.front().balance, 3000);
    EXPECT_TRUE(window->whatIsShown().startsWith("All: "));
    window->setChoice(charts::ChartWindow::Last12Months);
    ASSERT_EQ(window->numbers().months.size(), 12u);
    const QDate today = QDate::currentDate();
    EXPECT_EQ(window->numbers().months.back().first, QDate(today.year(), today.month(), 1));
    EXPECT_TRUE(window->whatIsShown().startsWith("Last 12 Months: "));
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Charts, TheFiguresReadAsATableAndSaveAsCsvFromThePicturesFolder)
{
    add("rent", "500", "0", "0", "'2024-01-05'");
    add("salary", "0", "2000", "0", "'2024-03-01'");
    add("plumber", "1234.5", "0", "0", "'2024-03-20'");
    start();
    charts::ChartWindow* window = openCharts();
    ASSERT_NE(window, nullptr);
    window->showKind(charts::Kind::Months);
    EXPECT_TRUE(window->chartView(charts::Kind::Months)->accessibleDescription().contains("Figures (Alt+F)"));
    QTest::mouseClick(window->figuresButton(), Qt::LeftButton);
    QTableView* table = window->figuresView(charts::Kind::Months);
    ASSERT_TRUE(table->isVisible());
    EXPECT_EQ(window->focusWidget(), table);
    const auto cell = [&](int row, int column) { return table->model()->index(row, column).data().toString(); };
    ASSERT_EQ(table->model()->rowCount(), 3);
    EXPECT_EQ(cell(0, 0), QLocale().toString(QDate(2024, 1, 1), "MMMM yyyy"));
    EXPECT_EQ(cell(0, 1), "$500.00");
    EXPECT_EQ(cell(1, 1), "$0.00");
    EXPECT_EQ(cell(2, 1), "$1,234.50");
    EXPECT_EQ(cell(2, 2), "$2,000.00");

    // A screen reader finds the table from the window by its name.
    QAccessibleInterface* figures = QAccessible::queryAccessibleInterface(table);
    ASSERT_NE(figures, nullptr);
    EXPECT_EQ(figures->text(QAccessible::Name), "Figures: Withdrawals and Deposits per Month");
    bool reachable = false;
    for (QAccessibleInterface* up = figures->parent(); up && !reachable; up = up->parent())
        reachable = up->object() == window;
    EXPECT_TRUE(reachable);
    QAccessibleInterface* first = figures->tableInterface() ? figures->tableInterface()->cellAt(0, 1) : nullptr;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->text(QAccessible::Name), "$500.00");

    // Saved by the file's type, offered in Pictures under the chart's and period's name.
    const QString csv = env.root() + QStringLiteral("/figures.csv");
    dialogs.answerSaveFile(csv);
    window->cmdSave_Click();
    ASSERT_EQ(dialogs.prompts().size(), 1u);
    EXPECT_EQ(dialogs.prompts()[0].text,
              QDir(env.root()).filePath("Pictures/Per Month - All - 2024-01 to 2024-03.png"));
    EXPECT_TRUE(QDir(env.root() + QStringLiteral("/Pictures")).exists());
    QFile written(csv);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("Month,Withdrawals,Deposits\r\n2024-01,500,0\r\n2024-02,0,0\r\n"
                                            "2024-03,1234.5,2000\r\n"));

    dialogs.clear();
    dialogs.answerSaveFile(env.root() + QStringLiteral("/chart.jpg"));
    dialogs.answerMessage(platform::vbOK);
    window->cmdSave_Click();
    ASSERT_EQ(dialogs.prompts().size(), 2u);
    EXPECT_TRUE(dialogs.prompts()[1].text.contains(".png or .svg picture, or its figures as .csv"));
    EXPECT_FALSE(QFile::exists(env.root() + QStringLiteral("/chart.jpg")));

    QTest::mouseClick(window->figuresButton(), Qt::LeftButton);
    EXPECT_TRUE(window->chartView(charts::Kind::Months)->isVisible());
}

TEST_F(Charts, MonthLabelsFitTheWindowAsItIsResized)
{
    // Ten years, a row a month.
    for (int m = 0; m < 120; ++m)
        add(QStringLiteral("row %1").arg(m), "10", "0", "0",
            QDate(2015, 1, 1).addMonths(m).toString("''yyyy-MM-dd''"));
    start();
    charts::ChartWindow* window = openCharts();
    ASSERT_NE(window, nullptr);
    window->showKind(charts::Kind::Months);
    const auto fits = [&] {
        QChart* chart = window->chart(charts::Kind::Months);
        auto* axis = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Horizontal).front());
        qreal used = 0;
        for (const QString& label : axis->categoriesLabels())
            used += QFontMetricsF(axis->labelsFont()).horizontalAdvance(label);
        return used < chart->plotArea().width();
    };
    window->resize(640, 420);
    QApplication::processEvents();
    const qsizetype narrow = axisLabels(window->chart(charts::Kind::Months), Qt::Horizontal).size();
    EXPECT_GE(narrow, 5);
    EXPECT_TRUE(fits());
    window->resize(1600, 700);
    QApplication::processEvents();
    EXPECT_EQ(window->chartView(charts::Kind::Months)->width() > 1400, true) << "the chart grows with the window";
    const qsizetype wide = axisLabels(window->chart(charts::Kind::Months), Qt::Horizontal).size();
    EXPECT_GT(wide, narrow);
    EXPECT_TRUE(fits());

    // A year at the size the window opens at: every month named.
    env.sqlite(QStringLiteral("delete from Transactions where TransactionDate < '2024-01-01'"));
    form.ListData();
    window->resize(860, 540);
    QApplication::processEvents();
    EXPECT_EQ(axisLabels(window->chart(charts::Kind::Months), Qt::Horizontal).size(), 12);
    EXPECT_TRUE(fits());
}
