// The "Import Statement" window over the real readers, planner and writer and a real
// ledger file: what it shows before anything is written, Cancel, Import as one undo
// step, the remembered account, and the ways in (menu, Ctrl+I, a dropped file).
#include "main/CommandLine.h"
#include "main/ImportWindow.h"
#include "tests/main/MainWindowFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QUrl>

using mainwindow::ImportWindow;

namespace {

enum { Id, Date, Account, Description, Withdrawal, Deposit, Taxable };

// Every row the ledger keeps, the import keys included: what Cancel and an undo must
// leave as they were.
const QString kLedgerState = QStringLiteral(
    "select 'A', AccountID, quote(AccountName) from Accounts "
    "union all select 'T', TransactionNumber, quote(TransactionDate) || quote(TransactionDescription) || "
    "quote(AccountID) || quote(WithdrawalAmount) || quote(DepositAmount) from Transactions "
    "union all select 'K', ImportKeyID, quote(ImportKey) || quote(AccountID) from ImportKeys "
    "union all select 'S', name, seq from sqlite_sequence order by 1, 2");

// The "Columns:" label of the CSV mapping.
QLabel* columnsLabel(const ImportWindow& window)
{
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->text() == "Columns:")
            return label;
    }
    ADD_FAILURE() << "no Columns: label";
    return new QLabel;
}

const QByteArray kPlainCsv = "Date,Description,Amount\n"
                             "2024-03-06,Salary,1000.00\n"
                             "2024-03-08,Bookshop,-12.00\n";

} // namespace

class ImportWindowTest : public HouseholdTest {
protected:
    std::string state() const { return env.rows(kLedgerState); }

    QString write(const QString& name, const QByteArray& bytes) { return env.writeFile(name, bytes); }

    // Opens the window on `file` as the main window does and lets `act` work in it; the
    // window is cancelled afterwards unless `act` closed it.
    void inWindow(const std::function<void()>& open, const std::function<void(ImportWindow&)>& act)
    {
        whenModal([act](QWidget* w) {
            auto* window = dynamic_cast<ImportWindow*>(w);
            ASSERT_NE(window, nullptr);
            EXPECT_EQ(window->windowTitle(), "Import Statement");
            act(*window);
            if (window->isVisible())
                window->cancelButton()->click();
        });
        open();
        ASSERT_TRUE(modalSeen());
    }
    void inWindow(const QString& file, const std::function<void(ImportWindow&)>& act)
    {
        inWindow([&] { form.importStatement(file); }, act);
    }
};

TEST_F(ImportWindowTest, ShowsEachRowsStatusAndCancelWritesNothing)
{
    useLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    add("coffee shop", "3.5", "0", "0", "'2024-03-05'");
    start();
    const std::string before = state();
    const QString file = write(QStringLiteral("household.csv"), "Date,Description,Amount\n"
                                                          "2024-03-06,Coffee,-3.50\n"
                                                          "2024-03-06,Salary,1000.00\n"
                                                          "2024-03-07,Books,12x\n");
    inWindow(file, [](ImportWindow& window) {
        const QStringList statuses = window.statuses();
        ASSERT_EQ(statuses.size(), 3);
        // The row typed by hand it matched, as the list shows it.
        EXPECT_EQ(statuses[0], "possible match: 3/5/2024, coffee shop, withdrawal $3.50");
        EXPECT_EQ(window.rows()->item(0, 5)->toolTip(),
                  "It matches the row typed by hand on 3/5/2024, coffee shop, withdrawal $3.50. Tick to add it as a new row; "
                  "else it is taken as that row.");
        EXPECT_EQ(statuses[1], "new");
        // The reason with its line, the line said once.
        EXPECT_TRUE(statuses[2].startsWith("not readable")) << statuses[2].toStdString();
        EXPECT_EQ(statuses[2].count("4"), 1) << statuses[2].toStdString();
        EXPECT_TRUE(statuses[2].contains("12x")) << statuses[2].toStdString();
        // The list's own forms: its short date and its currency format.
        EXPECT_EQ(window.rows()->item(0, 0)->text(), "3/6/2024");
        EXPECT_EQ(window.rows()->item(0, 1)->text(), "Household");
        EXPECT_EQ(window.rows()->item(0, 3)->text(), "$3.50");       // withdrawal
        EXPECT_EQ(window.rows()->item(1, 4)->text(), "$1,000.00");   // deposit
        EXPECT_TRUE(window.summary()->text().startsWith(
            "1 new, 0 already in the ledger, 1 possible matches, 1 not readable."));
        EXPECT_TRUE(window.importButton()->isEnabled());
    });
    EXPECT_EQ(state(), before);
    EXPECT_EQ(column(Description), QStringList{"coffee shop"});
}

TEST_F(ImportWindowTest, ImportIsOneUndoStepAndASecondImportAddsNothing)
{
    start();
    const std::string before = state();
    const QString file = write(QStringLiteral("household.csv"), kPlainCsv);
    dialogs.answerMessage(platform::vbOK);
    inWindow(file, [](ImportWindow& window) { window.importButton()->click(); });
    EXPECT_EQ(dialogs.messages().last(), "2 added, 0 already in the ledger, 0 not readable.");
    EXPECT_EQ(column(Description), (QStringList{"Salary", "Bookshop"}));
    EXPECT_EQ(env.rows("select count(*) from ImportKeys"), "2");

    inWindow(file, [](ImportWindow& window) {
        EXPECT_EQ(window.statuses(), (QStringList{"already in the ledger", "already in the ledger"}));
        EXPECT_FALSE(window.importButton()->isEnabled());
    });

    form.mnuUndo_Click();
    EXPECT_EQ(state(), before);
    EXPECT_TRUE(column(Description).isEmpty());
}

TEST_F(ImportWindowTest, PossibleMatchesAreAddedOnlyWhereTicked)
{
    add("coffee shop", "3.5", "0", "0", "'2024-03-05'");
    add("bakery", "2", "0", "0", "'2024-03-05'");
    start();
    const QString file = write(QStringLiteral("household.csv"), "Date,Description,Amount\n"
                                                          "2024-03-06,Coffee,-3.50\n"
                                                          "2024-03-06,Bread,-2.00\n");
    dialogs.answerMessage(platform::vbOK);
    inWindow(file, [](ImportWindow& window) {
        ASSERT_EQ(window.statuses().size(), 2);
        EXPECT_TRUE(window.statuses()[1].startsWith("possible match: ")) << window.statuses()[1].toStdString();
        EXPECT_TRUE(window.statuses()[1].endsWith(", bakery, withdrawal $2.00")) << window.statuses()[1].toStdString();
        EXPECT_EQ(window.rows()->item(0, 5)->checkState(), Qt::Unchecked);
        EXPECT_FALSE(window.importButton()->isEnabled());   // nothing to add unless ticked
        window.addMatchesBox()->setChecked(true);
        EXPECT_EQ(window.rows()->item(1, 5)->checkState(), Qt::Checked);
        window.addMatchesBox()->setChecked(false);
        window.rows()->item(1, 5)->setCheckState(Qt::Checked);
        EXPECT_TRUE(window.importButton()->isEnabled());
        window.importButton()->click();
    });
    EXPECT_EQ(dialogs.messages().last(), "1 added, 1 already in the ledger, 0 not readable.");
    EXPECT_EQ(column(Description), (QStringList{"coffee shop", "bakery", "Bread"}));
}

TEST_F(ImportWindowTest, AnAmbiguousDateOrderIsAskedNotGuessed)
{
    useLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    start();
    const QString file = write(QStringLiteral("household.csv"), "Date,Description,Amount\n"
                                                          "01/02/2024,Rent,-500.00\n"
                                                          "03/04/2024,Gas,-40.00\n");
    inWindow(file, [](ImportWindow& window) {
        QComboBox* order = window.dateOrderBox();
        ASSERT_FALSE(order->isHidden());
        EXPECT_EQ(order->currentIndex(), 0);
        EXPECT_EQ(window.rows()->rowCount(), 0);
        EXPECT_FALSE(window.importButton()->isEnabled());
        const int monthFirst = order->findText("month/day/year");
        ASSERT_GT(monthFirst, 0);
        order->setCurrentIndex(monthFirst);
        ASSERT_EQ(window.rows()->rowCount(), 2);
        EXPECT_EQ(window.rows()->item(0, 0)->text(), "1/2/2024");
        const int dayFirst = order->findText("day/month/year");
        order->setCurrentIndex(dayFirst);
        EXPECT_EQ(window.rows()->item(0, 0)->text(), "2/1/2024");
        EXPECT_TRUE(window.importButton()->isEnabled());
    });
    inWindow(write(QStringLiteral("plain.csv"), kPlainCsv),
             [](ImportWindow& window) { EXPECT_TRUE(window.dateOrderBox()->isHidden()); });
}

TEST_F(ImportWindowTest, TheAccountChosenIsRememberedForTheSource)
{
    env.addAccount(QStringLiteral("Card"));
    start();
    dialogs.answerMessage(platform::vbOK);
    inWindow(write(QStringLiteral("march.csv"), kPlainCsv), [](ImportWindow& window) {
        // Nothing tells the account: none is guessed (the first by name would be "Card").
        EXPECT_EQ(window.accountBox()->currentText(), "(choose an account)");
        EXPECT_FALSE(window.importButton()->isEnabled());
        window.accountBox()->setCurrentIndex(window.accountBox()->findText("Household"));
        EXPECT_EQ(window.rows()->item(0, 1)->text(), "Household");
        window.importButton()->click();
    });
    EXPECT_EQ(env.rows("select count(*) from Transactions where AccountID=" + QString::number(account)), "2");
    // The next month's file from the same bank (the same header) goes to the same account.
    inWindow(write(QStringLiteral("april.csv"), "Date,Description,Amount\n2024-04-06,Salary,1000.00\n"),
             [](ImportWindow& window) { EXPECT_EQ(window.accountBox()->currentText(), "Household"); });
    // Another bank's layout is not taken for it.
    inWindow(write(QStringLiteral("other.csv"), "Buchungstag;Verwendungszweck;Betrag\n06.03.2024;Miete;-500,00\n"),
             [](ImportWindow& window) { EXPECT_EQ(window.accountBox()->currentText(), "(choose an account)"); });
}

TEST_F(ImportWindowTest, OpensFromTheMenuCtrlIAndADroppedFile)
{
    start();
    form.show();
    const QString file = write(QStringLiteral("household.csv"), kPlainCsv);
    ASSERT_NE(form.mnuImport, nullptr);
    EXPECT_EQ(form.mnuImport->text(), QStringLiteral("Import Statement") + QChar(0x2026) + "\tCtrl+I");
    EXPECT_TRUE(form.mnuList->actions().contains(form.mnuImport));

    dialogs.answerOpenFile(file);
    inWindow([&] { form.mnuImport->trigger(); },
             [](ImportWindow& window) { EXPECT_EQ(window.rows()->rowCount(), 2); });

    // A cancelled file dialog opens nothing.
    dialogs.answerOpenFile(QString());
    form.mnuImport_Click();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    form.activateWindow();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    dialogs.answerOpenFile(file);
    inWindow([&] { QTest::keyClick(&form, Qt::Key_I, Qt::ControlModifier); },
             [](ImportWindow& window) { EXPECT_EQ(window.rows()->rowCount(), 2); });

    // Files dropped on the list open the window, one after the other.
    QWidget* target = form.ListView1->viewport();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file)});
    const QPointF at(10, 10);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &drop);
    EXPECT_TRUE(drop.isAccepted());
    int rows = -1;
    inWindow([] { QCoreApplication::processEvents(); },
             [&rows](ImportWindow& window) { rows = window.rows()->rowCount(); });
    EXPECT_EQ(rows, 2);

}

TEST(StatementFilesToOpen, TheFilesNamedWithoutAnOptionAsAbsolutePaths)
{
    // In the current folder, whichever it is ("/" too).
    EXPECT_EQ(mainwindow::statementFilesToOpen({"tallyfold", "march.ofx", "/tmp/april.csv"}),
              (QStringList{QDir::current().absoluteFilePath(QStringLiteral("march.ofx")), "/tmp/april.csv"}));
    EXPECT_TRUE(mainwindow::statementFilesToOpen({"tallyfold"}).isEmpty());
    // An option's value is not a file to open.
    EXPECT_TRUE(mainwindow::statementFilesToOpen({"tallyfold", "--report-pdf", "out.pdf"}).isEmpty());
}

TEST_F(ImportWindowTest, AChangedCsvMappingReadsAgainAndIsKeptForTheHeader)
{
    start();
    using Role = ImportWindow::Role;
    const QByteArray header = "Date,Payee,Memo,Amount\n";
    const QString march = write(QStringLiteral("march.csv"), header + "2024-03-06,Northwind,March pay,1000.00\n");
    dialogs.answerMessage(platform::vbOK);
    inWindow(march, [](ImportWindow& window) {
        window.accountBox()->setCurrentIndex(window.accountBox()->findText("Household"));
        ASSERT_TRUE(window.invertSignsBox()->isVisibleTo(&window));
        EXPECT_TRUE(columnsLabel(window)->isVisibleTo(&window));
        EXPECT_EQ(window.columnBox(Role::Date)->currentText(), "Date");
        EXPECT_EQ(window.columnBox(Role::Amount)->currentText(), "Amount");
        EXPECT_EQ(window.rows()->item(0, 4)->text(), "$1,000.00");
        window.columnBox(Role::Description)->setCurrentIndex(window.columnBox(Role::Description)->findText("Memo"));
        EXPECT_EQ(window.rows()->item(0, 2)->text(), "March pay");
        window.invertSignsBox()->setChecked(true);
        EXPECT_EQ(window.rows()->item(0, 3)->text(), "$1,000.00");   // now a withdrawal
        EXPECT_EQ(window.rows()->item(0, 4)->text(), "");
        window.importButton()->click();
    });
    EXPECT_EQ(env.rows("select TransactionDescription, WithdrawalAmount from Transactions"), "March pay|1000.0");
    // The next file with the same header reads with the mapping as it was imported.
    const QString april = write(QStringLiteral("april.csv"), header + "2024-04-06,Northwind,April pay,1000.00\n");
    inWindow(april, [](ImportWindow& window) {
        EXPECT_EQ(window.columnBox(Role::Description)->currentText(), "Memo");
        EXPECT_TRUE(window.invertSignsBox()->isChecked());
        EXPECT_EQ(window.rows()->item(0, 2)->text(), "April pay");
        EXPECT_EQ(window.rows()->item(0, 3)->text(), "$1,000.00");
    });
    // Other formats have no columns to map.
    const QString ofx = write(QStringLiteral("bank.ofx"),
                              "OFXHEADER:100\r\nDATA:OFXSGML\r\nVERSION:102\r\nSECURITY:NONE\r\nENCODING:USASCII\r\n"
                              "CHARSET:1252\r\nCOMPRESSION:NONE\r\nOLDFILEUID:NONE\r\nNEWFILEUID:NONE\r\n\r\n"
                              "<OFX><BANKMSGSRSV1><STMTTRNRS><TRNUID>1<STMTRS><CURDEF>EUR<BANKACCTFROM><BANKID>1"
                              "<ACCTID>2<ACCTTYPE>CHECKING</BANKACCTFROM><BANKTRANLIST>"
                              "<STMTTRN><TRNTYPE>OTHER<DTPOSTED>20240306<TRNAMT>-5.00<FITID>A1<NAME>Kiosk</STMTTRN>"
                              "</BANKTRANLIST><LEDGERBAL><BALAMT>100.00<DTASOF>20240307</LEDGERBAL></STMTRS>"
                              "</STMTTRNRS></BANKMSGSRSV1></OFX>\r\n");
    inWindow(ofx, [](ImportWindow& window) {
        window.accountBox()->setCurrentIndex(window.accountBox()->findText("Household"));
        EXPECT_FALSE(window.invertSignsBox()->isVisibleTo(&window));
        EXPECT_FALSE(columnsLabel(window)->isVisibleTo(&window));   // no label left empty
        EXPECT_EQ(window.statuses(), QStringList{"new"});
        // The statement's closing balance against the account's, shown not hidden.
        EXPECT_TRUE(window.summary()->text().contains("closing balance, $100.00")) << window.summary()->text().toStdString();
    });
}
