// "Create/Print Report" as the user meets it: the preview it opens, and the report as
// printed, saved from that preview as a PDF file and read back; the same report from the
// command line; and what a failing step leaves behind.
#include "tests/main/MainWindowFixture.h"

#include "data/Ledger.h"
#include "output/ReportPreview.h"
#include "platform/Settings.h"
#include "shell/Ghost.h"
#include "shell/MousePointer.h"
#include "tests/support/PdfText.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QRegularExpression>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

using namespace mainwindow;

namespace {

const QStringList kHeading{"Date Deposit Withdrawal Account Description"};

QStringList lines(const QString& page)
{
    return testing_support::pageLines(page);
}

class Report : public HouseholdTest {
protected:
    // Clicks "Create/Print Report", saves the preview as a PDF file and closes it;
    // answers the file's pages. `act`, when given, does more in the preview first.
    QStringList print(std::function<void(output::ReportPreview&)> act = {})
    {
        const QString path = env.root() + QStringLiteral("/report-%1.pdf").arg(++m_prints);
        whenModal([this, path, act](QWidget* modal) {
            auto* preview = qobject_cast<output::ReportPreview*>(modal);
            ASSERT_NE(preview, nullptr);
            title = preview->windowTitle();
            owner = preview->parentWidget();
            pageCount = preview->document().pageCount();
            if (act)
                act(*preview);
            dialogs.answerSaveFile(path);
            preview->saveAsPdf();
            preview->reject();
        });
        form.PushButton5_Click();
        return modalSeen() ? testing_support::pdfPages(path) : QStringList();
    }
    // Rows for every day of March 2021 and on, deposits 1 to count.
    void addMany(int count)
    {
        env.sqlite(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                                  "insert into Transactions (TransactionDate,TransactionDescription,AccountID,"
                                  "WithdrawalAmount,DepositAmount,Taxable) "
                                  "select date('2021-03-01', '+' || (i - 1) || ' days'), 'Row ' || i, %2, 0, i, 0 "
                                  "from n")
                       .arg(count)
                       .arg(account));
    }

    QString title;
    QWidget* owner = nullptr;
    int pageCount = 0;

private:
    int m_prints = 0;
};

} // namespace

TEST_F(Report, AnEmptyLedgerPrintsTheHeadingTheCaptionsAndAZeroBalanceInAModalPreview)
{
    start();
    const QStringList pages = print();
    EXPECT_EQ(title, "DataReport1");
    EXPECT_EQ(owner, &form);
    EXPECT_EQ(pageCount, 1);
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(lines(pages[0]), (kHeading + QStringList{"Total IN Total OUT Balance", "$0.00 $0.00 $0.00"}));
    EXPECT_TRUE(dialogs.reports().isEmpty());
    EXPECT_EQ(shell::mousePointer(&form), shell::vbDefault);
}

TEST_F(Report, TheLedgerPrintsAsStoredAndTheSameOnASecondRun)
{
    const qint64 obrien = env.addAccount(QStringLiteral("O''Brien''s"));
    add("Rent 'March'", "null", "1250.75", "1", "'2021-03-05'");
    env.addTransaction(transactionValues("Gift", obrien, "20", "null", "0", "'2021-12-25'"));
    env.addTransaction(transactionValues("Of an account long gone", 999, "5", "5"));
    start();
    const QStringList expected = kHeading + QStringList{"05 Mar 2021 $1,250.75 $0.00 Household Rent 'March'",
                                                        "25 Dec 2021 $0.00 $20.00 O'Brien's Gift",
                                                        "Total IN Total OUT Balance",
                                                        "$1,250.75 $20.00 $1,230.75"};
    const QStringList first = print();
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(lines(first[0]), expected);
    const std::string table = env.rows(QStringLiteral("select * from tblReport"));
    EXPECT_EQ(print(), first);
    EXPECT_EQ(env.rows(QStringLiteral("select * from tblReport")), table);
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(Report, ASymbolAfterTheNumberFollowsEveryAmountButNotTheDate)
{
    platform::settings::save(QStringLiteral("Option1"), QStringLiteral("False"));
    platform::settings::save(QStringLiteral("Option2"), QStringLiteral("True"));
    add("Salary", "0", "1234.5", "0", "'2021-03-05'");
    add("Fee", "2000", "0", "0", "'2021-03-06'");
    start();
    const QStringList pages = print();
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(lines(pages[0]), (kHeading + QStringList{"05 Mar 2021 1,234.50$ 0.00$ Household Salary",
                                                      "06 Mar 2021 0.00$ 2,000.00$ Household Fee",
                                                      "Total IN Total OUT Balance",
                                                      "1,234.50$ 2,000.00$ -765.50$"}));
}

TEST_F(Report, TwoHundredTransactionsRepeatTheHeadingOnEveryPageAndTotalOnlyOnTheLast)
{
    addMany(200);
    start();
    const QStringList pages = print([](output::ReportPreview& preview) {
        EXPECT_EQ(preview.pagePosition(), "Page 1 of 6");
        preview.goToPage(5);
        EXPECT_EQ(preview.pagePosition(), "Page 6 of 6");
        preview.goToPage(99);
        EXPECT_EQ(preview.view()->currentPage(), 5);
        // Only the pages in sight are drawn, at whatever zoom.
        auto* zoom = preview.findChild<QComboBox*>(QStringLiteral("zoom"));
        ASSERT_NE(zoom, nullptr);
        for (int choice = 0; choice < zoom->count(); ++choice) {
            zoom->setCurrentIndex(choice);
            preview.view()->viewport()->grab();
            EXPECT_GE(preview.view()->pagesDrawn(), 1) << zoom->currentText().toStdString();
            EXPECT_LE(preview.view()->pagesDrawn(), 3) << zoom->currentText().toStdString();
        }
    });
    ASSERT_EQ(pages.size(), 6);
    int details = 0;
    for (int p = 0; p < pages.size(); ++p) {
        const QStringList page = lines(pages[p]);
        EXPECT_EQ(page.first(), kHeading.first()) << "page " << p + 1;
        EXPECT_EQ(pages[p].contains(QStringLiteral("Total IN")), p == 5) << "page " << p + 1;
        details += int(page.filter(QStringLiteral(" Household Row ")).size());
    }
    EXPECT_EQ(details, 200);
    EXPECT_EQ(lines(pages[5]).last(), "$20,100.00 $0.00 $20,100.00");
}

TEST_F(Report, DatesAndTheBalanceAreTheLedgersOwnUnderEveryLocale)
{
    add("Spring", "0", "1234.5", "0", "'2021-03-05'");
    add("Winter", "0.25", "0", "0", "'2021-12-10'");
    start();
    struct Case { QLocale locale; const char* spring; const char* winter; const char* totals; };
    const Case cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), "05 Mar 2021 $1,234.50 $0.00", "10 Dec 2021 $0.00 $0.25",
         "$1,234.50 $0.25 $1,234.25"},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), "05 Mar 2021 $1,234.50 $0.00",
         "10 Dec 2021 $0.00 $0.25", "$1,234.50 $0.25 $1,234.25"},
        {QLocale(QLocale::German, QLocale::Germany), "05 Mar 2021 $1.234,50 $0,00", "10 Dec 2021 $0,00 $0,25",
         "$1.234,50 $0,25 $1.234,25"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        useLocale(c.locale);
        form.ListData();   // the plain balance in the locale's own digits: "1234,25" in German
        const QStringList pages = print();
        ASSERT_FALSE(pages.isEmpty());
        const QStringList page = lines(pages.last());
        EXPECT_TRUE(page.contains(QString::fromUtf8(c.spring) + QStringLiteral(" Household Spring")));
        EXPECT_TRUE(page.contains(QString::fromUtf8(c.winter) + QStringLiteral(" Household Winter")));
        EXPECT_EQ(page.last(), QString::fromUtf8(c.totals));
        EXPECT_EQ(env.rows(QStringLiteral("select Date from tblReport")), "2021-03-05; 2021-12-10");
    }
    EXPECT_TRUE(dialogs.reports().isEmpty());
}

TEST_F(Report, ABalanceCaptionThatIsNoNumberIsReportedAndPrintsAsZero)
{
    add("Salary", "0", "100", "0");
    start();
    form.Label33->setText(QStringLiteral("Balance: n/a"));
    dialogs.expectReport("Form1.PushButton5_Click 108");
    const QStringList pages = print();
    EXPECT_EQ(dialogs.reportLines(), QStringList{"Form1.PushButton5_Click 108"});
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(lines(pages[0]).last(), "$100.00 $0.00 $0.00");
}

TEST_F(Report, AFailingInsertIsReportedAndTheOtherTransactionsStillPrint)
{
    add("first", "1", "0", "0", "'2021-03-05'");
    add("refused", "2", "0", "0", "'2021-03-06'");
    add("third", "3", "0", "0", "'2021-03-07'");
    env.sqlite(QStringLiteral("create trigger refuse before insert on tblReport when new.Description = 'refused' "
                              "begin select raise(abort, 'row refused'); end"));
    start();
    dialogs.expectReport("Form1.PushButton5_Click 122");
    const QStringList pages = print();
    EXPECT_EQ(dialogs.reportLines(), QStringList{"Form1.PushButton5_Click 122"});
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(lines(pages[0]), (kHeading + QStringList{"05 Mar 2021 $0.00 $1.00 Household first",
                                                      "07 Mar 2021 $0.00 $3.00 Household third",
                                                      "Total IN Total OUT Balance", "$0.00 $4.00 -$6.00"}));
}

TEST_F(Report, RowsWithANullDateOrTextPrintAndTheTotalsAgreeWithTheBalance)
{
    add("Pay", "0", "12.75", "0", "'2021-03-05'");
    add("Fee", "3.75", "0", "0", "'2021-03-06'");
    add("Undated", "700", "0", "0", "null");
    add("no text", "0", "0", "0", "'2021-03-07'");
    env.sqlite(QStringLiteral("update Transactions set TransactionDescription = null where TransactionDescription = 'no text'"));
    dialogs.expectReports({"Form1.ListData 114", "Form1.ListData 118"});   // the list's own reports of the Null cells
    start();
    dialogs.clear();
    const QStringList pages = print();
    EXPECT_TRUE(dialogs.reports().isEmpty());
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(lines(pages[0]), (kHeading + QStringList{"05 Mar 2021 $12.75 $0.00 Household Pay",
                                                      "06 Mar 2021 $0.00 $3.75 Household Fee",
                                                      "$0.00 $700.00 Household Undated",
                                                      "07 Mar 2021 $0.00 $0.00 Household",
                                                      "Total IN Total OUT Balance", "$12.75 $703.75 -$691.00"}));
}

TEST_F(Report, ACopyTheDiskCannotHoldIsReportedOnceAndShowsNoStaleReport)
{
    add("kept", "1", "0");
    start();
    ASSERT_EQ(print().size(), 1);
    const std::string whole = env.rows(QStringLiteral("select * from tblReport"));
    addMany(400);
    env.sqlite(QStringLiteral("update Transactions set TransactionDescription = printf('%.300c', 'x')"));
    form.ListData();
    const std::string pages = env.rows(QStringLiteral("pragma page_count"));
    data::connection().Execute(QStringLiteral("PRAGMA max_page_count = %1").arg(QString::fromStdString(pages)));
    dialogs.expectReport("Form1.PushButton5_Click 122");
    EXPECT_TRUE(print().isEmpty());
    EXPECT_FALSE(modalSeen());
    EXPECT_EQ(dialogs.reportLines(), QStringList{"Form1.PushButton5_Click 122"});
    EXPECT_EQ(env.rows(QStringLiteral("select * from tblReport")), whole);
    EXPECT_EQ(shell::mousePointer(&form), shell::vbDefault);
}

TEST_F(Report, TheCommandLineWritesTheSameReportWithoutAWindow)
{
    add("Rent", "0", "1250.75", "0", "'2021-03-05'");
    addMany(40);
    start();
    const QStringList previewed = print();
    ASSERT_EQ(previewed.size(), 2);
    data::releaseConnection();

    auto run = [this](const QString& file, QString* errors) {
        const auto outcome = env.runWithoutScreen(QStringLiteral(TALLYFOLD_PROGRAM), {QStringLiteral("--report-pdf"), file});
        *errors = outcome.errors;
        return outcome.status;
    };
    QString errors;
    const QString file = env.root() + QStringLiteral("/scheduled.pdf");
    EXPECT_EQ(run(file, &errors), 0) << errors.toStdString();
    EXPECT_EQ(testing_support::pdfPages(file), previewed);

    const QString nowhere = env.root() + QStringLiteral("/no such folder/report.pdf");
    EXPECT_NE(run(nowhere, &errors), 0);
    EXPECT_TRUE(errors.contains(QStringLiteral("in Tallyfold2021/08/31.Form1.PushButton5_Click at line 144")))
        << errors.toStdString();
    EXPECT_TRUE(errors.contains(nowhere)) << errors.toStdString();
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST_F(Report, ThePreviewIsADialogOfTheMainWindowThatCanBeMaximisedAndNamesEveryControl)
{
    add("a");
    start();
    form.helpWindow()->hide();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    Qt::WindowType type = Qt::Widget;
    Qt::WindowFlags flags;
    const QWindow* transientParent = nullptr;
    QStringList unnamed, buttons;
    print([&](output::ReportPreview& preview) {
        type = preview.windowType();
        flags = preview.windowFlags();
        transientParent = preview.windowHandle()->transientParent();
        // What a screen reader announces: every control by a name made of words,
        // the toolbar's overflow button included, which shows only when the window is narrow.
        for (QWidget* w : preview.findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QToolBar*>(w)
                || qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w) || w == preview.view();
            if (!control || !(w->isVisibleTo(&preview) || w->objectName() == "qt_toolbar_ext_button"))
                continue;
            const QString name = w->accessibleName();
            if (!name.contains(QRegularExpression(QStringLiteral("\\p{L}{2}"))))
                unnamed << QStringLiteral("%1 '%2'").arg(QString::fromLatin1(w->metaObject()->className()), name);
            if (qobject_cast<QToolButton*>(w) && w->isVisibleTo(&preview))
                buttons << name;
        }
    });
    EXPECT_EQ(type, Qt::Dialog);
    EXPECT_TRUE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(transientParent, form.windowHandle());   // the window manager keeps it above its owner
    EXPECT_EQ(unnamed, QStringList());
    EXPECT_EQ(buttons, (QStringList{"Print…", "Save as PDF…", "First page", "Previous page", "Next page",
                                    "Last page", "Close"}));
}
