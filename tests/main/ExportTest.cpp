// "Save Database To Excel": the workbook the export writes, read back with a real
// reader: headings, the ticked rows in the order shown, the summary four rows below the
// list, typed cells that show the list's texts, and what the user sees when there is no
// spreadsheet program, no place for the file or no program to open it.
#include "tests/main/MainWindowFixture.h"

#include "currency/CurrencyChoice.h"
#include "main/FindBar.h"
#include "main/PendingEvents.h"
#include "platform/Settings.h"
#include "shell/MousePointer.h"
#include "tests/support/ScriptedDesktop.h"
#include "tests/support/SheetReader.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTest>

using namespace mainwindow;
using testing_support::Sheet;

namespace {

enum { Id, Date, Account, Description, Withdrawal, Deposit, Taxable };

const QString kNotInstalled =
    QStringLiteral("Excel is not installed on this computer. You need to have it installed to use this software without error.");
const QString kNotInstalledFeature =
    QStringLiteral("Excel is not installed on this computer. You need to have it installed to use this feature.");
const QStringList kHeadings = {"ID", "Date", "Account", "Description", " Withdrawal Amount", "Deposit Amount", "Taxable"};

class Export : public HouseholdTest {
protected:
    // Ticks rows by their position in the list as shown, as the user clicks their boxes.
    void tick(std::initializer_list<int> rows)
    {
        TransactionListModel& list = form.ListView1->items();
        for (const int row : rows)
            ASSERT_TRUE(list.setData(list.index(row, 0), Qt::Checked, Qt::CheckStateRole));
    }

    // Exports with a spreadsheet program present and reads back the workbook it opened;
    // notes the window's pointer while the workbook was being opened.
    Sheet exportAndRead(const QLocale& reader = QLocale())
    {
        desktop.answerCanOpen(true);
        desktop.answerOpen(true);
        desktop.whenOpening([this](const QUrl&) { pointerWhileOpening = shell::mousePointer(&form); });
        form.PushButton6_Click();
        if (desktop.opened().size() != ++m_exports) {
            ADD_FAILURE() << "the export opened no file";
            return {};
        }
        return testing_support::readSheet(desktop.opened().back().toLocalFile(), reader);
    }

    // The list's texts of one row as shown.
    QStringList listRow(int row) const
    {
        QStringList out;
        for (int c = 0; c < 7; ++c)
            out << form.ListView1->items().text(row, c);
        return out;
    }

    QStringList exports() const { return QDir(env.documents()).entryList(QDir::Files); }

    testing_support::ScriptedDesktop desktop;
    int pointerWhileOpening = -1;

private:
    size_t m_exports = 0;
};

TEST_F(Export, AnEmptyListExportsNothingAndSaysNothing)
{
    start();
    desktop.answerCanOpen(true);
    form.PushButton6_Click();
    EXPECT_TRUE(desktop.opened().empty());
    EXPECT_TRUE(dialogs.prompts().empty());
    EXPECT_TRUE(exports().isEmpty());
}

TEST_F(Export, HeadingsEveryListRowAndTheSummaryFourRowsBelowTheList)
{
    add("first", "12.5", "0");
    add("second", "0", "30");
    add("third", "1", "2");
    start();
    const Sheet sheet = exportAndRead();   // no row ticked

    EXPECT_EQ(sheet.row(1), kHeadings);
    for (int column = 1; column <= 7; ++column)
        EXPECT_EQ(sheet.at(1, column)->type, "text");
    for (int row = 2; row <= 6; ++row)
        EXPECT_EQ(sheet.row(row, 9), QStringList(9, QString())) << row;
    EXPECT_EQ(sheet.row(7, 9), (QStringList{"", "", "Widrawal: $13.50", "", "", "Deposit: $32.00", "", "",
                                            "Balance: $18.50"}));
    EXPECT_EQ(sheet.at(7, 9)->type, "text");
    EXPECT_EQ(sheet.lastRow(), 7);
    EXPECT_EQ(sheet.formulas, 0);

    // A new file in Documents, opened while the busy pointer shows; the pointer is back after.
    ASSERT_EQ(exports().size(), 1);
    EXPECT_EQ(desktop.opened().front().toLocalFile(), env.documents() + u'/' + exports().value(0));
    EXPECT_TRUE(exports().value(0).startsWith("Tallyfold export "));
    EXPECT_EQ(pointerWhileOpening, shell::vbHourglass);
    EXPECT_EQ(shell::mousePointer(&form), shell::vbDefault);
    EXPECT_TRUE(dialogs.prompts().empty());

    // Every export is a new file: the first one stays as it was.
    const QByteArray first = testing_support::fileHash(env.documents() + u'/' + exports().value(0));
    exportAndRead();
    EXPECT_EQ(exports().size(), 2);
    EXPECT_EQ(testing_support::fileHash(desktop.opened().front().toLocalFile()), first);
}

TEST_F(Export, UnderAFindFilterTheListAsShownAndItsSummaryAreExported)
{
    add("plumber", "4", "0");
    add("groceries", "2", "0");
    add("plumbing refund", "0", "3");
    start();
    tick({1});   // groceries, ticked before the filter hides it
    form.mnuFind_Click();
    form.findBar()->field()->setText(QStringLiteral("plumb"));
    tick({0, 1});
    const Sheet sheet = exportAndRead();

    EXPECT_EQ(sheet.row(2), listRow(0));
    EXPECT_EQ(sheet.shown(2, 4), "plumber");
    EXPECT_EQ(sheet.shown(3, 4), "plumbing refund");
    // Four rows below the two shown, the summary of those two.
    EXPECT_EQ(sheet.row(6, 9), (QStringList{"", "", "Widrawal: $4.00", "", "", "Deposit: $3.00", "", "",
                                            "Balance: -$1.00"}));
    EXPECT_EQ(sheet.lastRow(), 6);
}

TEST_F(Export, TickedRowsFillTheirOwnSheetRowsInTheOrderShown)
{
    add("d", "4", "0");
    add("b", "2", "0");
    add("c", "3", "0");
    add("a", "1", "0");
    start();
    form.ListView1_ColumnClick(Description + 1);   // a, b, c, d
    tick({1, 3});                                   // b and d
    const Sheet sheet = exportAndRead();

    EXPECT_EQ(sheet.row(2), QStringList(7, QString()));
    EXPECT_EQ(sheet.row(3), listRow(1));
    EXPECT_EQ(sheet.row(4), QStringList(7, QString()));
    EXPECT_EQ(sheet.row(5), listRow(3));
    EXPECT_EQ(sheet.shown(3, 4), "b");
    EXPECT_EQ(sheet.shown(5, 4), "d");
    EXPECT_EQ(sheet.shown(8, 3), "Widrawal: $10.00");
    EXPECT_EQ(sheet.lastRow(), 8);
}

TEST_F(Export, EqualsSignsLeaveEveryColumnButTheFirstAndNoCellIsAFormula)
{
    add("=1+2 is a=b", "0", "5");
    start();
    // A first column that starts a formula, as no ledger number could: it stays text.
    TransactionListModel& list = form.ListView1->items();
    list.add(QStringLiteral("=HYPERLINK(\"x\")"));
    list.setDate(QStringLiteral("=today"));
    list.setAccount(QVariant(), [] { return QStringLiteral("=cash"); });
    list.setDescription(QStringLiteral("==x"));
    list.setWithdrawal(QVariant());
    list.setDeposit(QVariant());
    list.setTaxable(QVariant());
    form.ListView1->publish();
    tick({0, 1});
    const Sheet sheet = exportAndRead();

    EXPECT_EQ(sheet.shown(2, 4), "1+2 is ab");
    EXPECT_EQ(sheet.row(3), (QStringList{"=HYPERLINK(\"x\")", "today", "cash", "x", "", "", "No"}));
    EXPECT_EQ(sheet.at(3, 1)->type, "text");
    EXPECT_EQ(sheet.formulas, 0);
}

TEST_F(Export, TypedCellsShowTheListsTextsUnderEachLocaleAndSymbolPlace)
{
    const struct {
        QLocale locale;
        bool symbolAfter;
    } cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), false},
        {QLocale(QLocale::German, QLocale::Germany), false},
        {QLocale(QLocale::German, QLocale::Germany), true},
        {QLocale(QLocale::English, QLocale::UnitedStates), true},
    };
    add("plain", "1234.5", "0", "1", "'2024-03-05'");
    add("negative", "-5", "1000000.125", "0", "'1999-12-31'");
    add("with time", "0.07", "0", "0", "'2024-03-05 14:30:15'");
    start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString() + (c.symbolAfter ? " symbol after" : " symbol before"));
        useLocale(c.locale);
        platform::settings::save(QStringLiteral("Currency"), QStringLiteral("3"));   // €
        platform::settings::save(QStringLiteral("Option1"), c.symbolAfter ? QStringLiteral("False") : QStringLiteral("True"));
        platform::settings::save(QStringLiteral("Option2"), c.symbolAfter ? QStringLiteral("True") : QStringLiteral("False"));
        currency::CurrencyChoice::instance().unload();
        form.ListData();
        tick({0, 1, 2});
        const Sheet sheet = exportAndRead(c.locale);
        const TransactionListModel& list = form.ListView1->items();
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < 7; ++column)
                EXPECT_EQ(sheet.shown(row + 2, column + 1), list.text(row, column)) << row << "," << column;
            EXPECT_EQ(sheet.at(row + 2, Id + 1)->type, "number");
            EXPECT_EQ(sheet.at(row + 2, Withdrawal + 1)->type, "number");
            EXPECT_EQ(sheet.at(row + 2, Description + 1)->type, "text");
        }
        EXPECT_EQ(sheet.at(2, Date + 1)->type, "date");
        EXPECT_EQ(sheet.at(3, Deposit + 1)->value.toDouble(), 1000000.13);
        EXPECT_EQ(sheet.at(4, Date + 1)->type, "text");   // a time of day with its zone's name
        EXPECT_EQ(sheet.row(7, 9).mid(2),
                  (QStringList{form.Label1->text(), "", "", form.Label2->text(), "", "", form.Label3->text()}));
        EXPECT_TRUE(form.Label1->text().contains(u'€'));
    }
    EXPECT_TRUE(dialogs.prompts().empty());
}

TEST_F(Export, ADepositOnlyRowBelowAWithdrawalOnlyRowKeepsItsTextsUnderTheirHeadings)
{
    add("withdrawal only", "10", "0");
    add("deposit only", "0", "20", "1");
    start();
    tick({0, 1});
    const Sheet sheet = exportAndRead();
    EXPECT_EQ(sheet.row(2).mid(Description), (QStringList{"withdrawal only", "$10.00", "", "No"}));
    EXPECT_EQ(sheet.row(3).mid(Description), (QStringList{"deposit only", "", "$20.00", "Yes"}));
}

TEST_F(Export, WithoutASpreadsheetProgramBothMessagesComeInTurnAndNothingIsWritten)
{
    add("row");
    start();
    tick({0});
    desktop.answerCanOpen(false);
    dialogs.answerMessage(platform::vbOK);
    dialogs.answerMessage(platform::vbOK);
    form.PushButton6_Click();
    EXPECT_EQ(dialogs.messages(), (QStringList{kNotInstalled, kNotInstalledFeature}));
    EXPECT_EQ(dialogs.prompts().back().title, "Tallyfold");
    EXPECT_EQ(dialogs.prompts().back().style, platform::vbOKOnly);
    EXPECT_TRUE(dialogs.reports().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(env.documents()));
    EXPECT_TRUE(desktop.opened().empty());
}

TEST_F(Export, AWorkbookWithNoPlaceToGoIsReportedOnceAndTheWindowLeftAsItWas)
{
    add("row");
    start();
    tick({0});
    QFile blocker(env.documents());   // Documents cannot be a folder
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    desktop.answerCanOpen(true);
    dialogs.expectReport("Form1.PushButton6_Click 110");
    form.PushButton6_Click();
    EXPECT_TRUE(dialogs.reports().value(0).startsWith("Path not found: "));
    EXPECT_EQ(shell::mousePointer(&form), shell::vbDefault);
    EXPECT_TRUE(desktop.opened().empty());
}

TEST_F(Export, AWorkbookNoProgramOpensIsKeptAndAMessageNoErrorReportSaysWhere)
{
    add("row");
    start();
    tick({0});
    desktop.answerCanOpen(true);
    desktop.answerOpen(false);
    desktop.answerOpenWith(QString());
    dialogs.answerMessage(platform::vbOK);
    form.PushButton6_Click();
    ASSERT_EQ(exports().size(), 1);
    const QString file = env.documents() + u'/' + exports().value(0);
    EXPECT_TRUE(dialogs.reports().isEmpty());
    EXPECT_EQ(dialogs.messages(),
              QStringList{QStringLiteral("The workbook was saved as %1, but no program could open it.").arg(file)});
    EXPECT_EQ(dialogs.prompts().back().style, platform::vbInformation);
    EXPECT_EQ(testing_support::readSheet(file).shown(2, 4), "row");
    EXPECT_EQ(shell::mousePointer(&form), shell::vbDefault);
}

TEST_F(Export, WithoutTheDesktopsOpenerTheSpreadsheetProgramFoundOpensTheWorkbook)
{
    add("row");
    start();
    tick({0});
    desktop.answerCanOpen(true);   // gnumeric on the PATH...
    desktop.answerOpen(false);     // ...but no xdg-open
    desktop.answerOpenWith(QStringLiteral("gnumeric"));
    form.PushButton6_Click();
    ASSERT_EQ(exports().size(), 1);
    const QString file = env.documents() + u'/' + exports().value(0);
    EXPECT_EQ(desktop.openedWith(), std::vector<QString>{file});
    EXPECT_TRUE(dialogs.prompts().empty());
    EXPECT_EQ(testing_support::readSheet(file).shown(2, 4), "row");
}

TEST_F(Export, TextsAWorkbookCannotHoldAreKeptVisiblyAndLongOnesCutWithOneMessage)
{
    add("nul");
    add("forbidden");
    add("long");
    add("longer");
    add("fits");
    env.sqlite(QStringLiteral("update Transactions set TransactionDescription = 'a' || char(0) || 'b' "
                              "where TransactionDescription = 'nul'"));
    env.sqlite(QStringLiteral("update Transactions set TransactionDescription = 'x' || char(65534) || char(65535) "
                              "where TransactionDescription = 'forbidden'"));
    env.sqlite(QStringLiteral("update Transactions set TransactionDescription = printf('%.32768c', 'y') "
                              "where TransactionDescription = 'long'"));
    env.sqlite(QStringLiteral("update Transactions set TransactionDescription = printf('%.40000c', 'z') "
                              "where TransactionDescription = 'longer'"));
    env.sqlite(QStringLiteral("update Transactions set TransactionDescription = printf('%.32767c', 'w') "
                              "where TransactionDescription = 'fits'"));
    start();
    tick({0, 1, 2, 3, 4});
    dialogs.answerMessage(platform::vbOK);
    const Sheet sheet = exportAndRead();
    EXPECT_TRUE(dialogs.reports().isEmpty());
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral(
                                      "2 texts were longer than the 32,767 characters a spreadsheet cell holds; the "
                                      "workbook has them cut to end in \u201C\u2026\u201D.")});
    const QString replacement{QChar(QChar::ReplacementCharacter)};
    EXPECT_EQ(sheet.shown(2, Description + 1), QStringLiteral("a") + replacement + QStringLiteral("b"));
    EXPECT_EQ(sheet.shown(3, Description + 1), QStringLiteral("x") + replacement + replacement);
    EXPECT_EQ(sheet.shown(4, Description + 1), QString(32766, u'y') + QChar(0x2026));
    EXPECT_EQ(sheet.shown(5, Description + 1), QString(32766, u'z') + QChar(0x2026));
    EXPECT_EQ(sheet.shown(6, Description + 1), QString(32767, u'w'));
}

TEST_F(Export, PastAMomentAWindowModalProgressKeepsClicksOffTheList)
{
    add("b");
    add("a");
    start();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QHeaderView* header = form.ListView1->header();
    const QPoint at = header->mapTo(&form, QPoint(header->sectionViewportPosition(Description) + 5, 5));
    {
        PendingEvents pending(&form, QStringLiteral("Writing"), 2, std::chrono::milliseconds(0));
        pending.run(1);
        QProgressDialog* dialog = pending.dialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
        EXPECT_EQ(dialog->parentWidget(), &form);
        EXPECT_EQ(dialog->value(), 1);
        EXPECT_EQ(dialog->maximum(), 2);
        // Nor can the user send it away before the command ends.
        dialog->close();
        QTest::keyClick(dialog, Qt::Key_Escape);
        EXPECT_TRUE(dialog->isVisible());

        // A click on the "Description" header while the dialog is up sorts nothing.
        QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, at);
        pending.run(2);
        EXPECT_FALSE(form.ListView1->sorted());
    }
    EXPECT_TRUE(form.findChildren<QProgressDialog*>().isEmpty());
    QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, at);   // now it does
    EXPECT_TRUE(form.ListView1->sorted());
    closeWindow(form);
}

} // namespace
