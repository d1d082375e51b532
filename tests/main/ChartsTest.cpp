// The charts window through the real main window: it shows the ledger's numbers,
// follows every reload and the find filter, saves its picture; and the command line
// draws a chart into a file with no window at all.
#include "tests/main/MainWindowFixture.h"

#include "charts/ChartWindow.h"
#include "main/FindBar.h"

#include <QAbstractBarSeries>
#include <QBarSet>
#include <QChart>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
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

} // namespace

using Charts = HouseholdTest;

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
