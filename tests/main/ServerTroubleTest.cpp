// The main window on a server ledger when the server is not all it could be: away for a
// moment or a while, letting the user only read, reached over TLS (or refusing to be,
// with a certificate nobody vouches for); and the report printed from the command line.
#include "tests/main/ServerDesktopFixture.h"

#include "tests/support/OtherCopy.h"
#include "tests/support/PdfText.h"
#include "tests/support/TestCertificates.h"

#include <QFile>
#include <QtTest/QTest>

using namespace mainwindow;

namespace {
enum { Id, Date, Account, Description, Withdrawal };
const QString kAwayNote = QStringLiteral(" - server not reachable");
const QString kAway = QStringLiteral("The ledger's server cannot be reached");
const QString kBack = QStringLiteral("The ledger's server can be reached again");
// A server refused at the opening is not tried again: the words say what to check instead.
const QString kNotOpened = QStringLiteral("could not be opened: its server cannot be reached or refused the connection");
constexpr int kPatienceMs = 30000;
} // namespace

TEST_F(ServerDesktopTest, WhileTheServerIsAwayTheListStaysAndAWriteIsRefusedOnceThenItReconnectsByItself)
{
    seed(3);
    start();
    form.show();
    const QString caption = form.windowTitle();
    EXPECT_TRUE(caption.endsWith(QStringLiteral(" - %1 on this computer as postgres").arg(database))) << qPrintable(caption);

    dialogs.answerMessage(platform::vbOK);   // the server is away
    ASSERT_EQ(testing_support::sharedPgServer().pause(), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.windowTitle().contains(kAwayNote); }, kPatienceMs))
        << qPrintable(form.windowTitle());
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages().first().startsWith(kAway)) << qPrintable(dialogs.messages().first());

    // A delete is refused with one message, and the list still shows what was read.
    dialogs.answerMessage(platform::vbOK);
    form.ListView1->setCurrentRow(form.ListView1->items().viewRowOfId(2));
    form.PushButton3_Click();
    ASSERT_EQ(dialogs.messages().size(), 2);
    EXPECT_TRUE(dialogs.messages().at(1).startsWith(kAway)) << qPrintable(dialogs.messages().at(1));
    EXPECT_EQ(column(Description), (QStringList{"row 001", "row 002", "row 003"}));
    EXPECT_EQ(summary().value(0), "Widrawal: $6.00");

    // Back: connected again, the list read anew, the user told; a write goes through.
    const int before = form.reloads();
    dialogs.answerMessage(platform::vbOK);
    ASSERT_EQ(testing_support::sharedPgServer().resume(), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.messages().size() == 3 && form.reloads() > before; }, kPatienceMs));
    EXPECT_TRUE(dialogs.messages().at(2).startsWith(kBack)) << qPrintable(dialogs.messages().at(2));
    EXPECT_EQ(form.windowTitle(), caption);
    form.ListView1->setCurrentRow(form.ListView1->items().viewRowOfId(2));
    form.PushButton3_Click();
    EXPECT_EQ(server(QStringLiteral("select transactionnumber from transactions order by 1")), "1; 3");
    EXPECT_EQ(column(Description), (QStringList{"row 001", "row 003"}));
    EXPECT_EQ(dialogs.messages().size(), 3);
}

TEST_F(ServerDesktopTest, ARestartOfTheServerInTheMiddleOfASessionIsToldAndTheWindowGoesOnByItself)
{
    seed(3);
    start();
    form.show();
    const QString caption = form.windowTitle();

    const int before = form.reloads();
    dialogs.answerMessage(platform::vbOK);   // away
    dialogs.answerMessage(platform::vbOK);   // back
    ASSERT_EQ(testing_support::sharedPgServer().restart(), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.messages().size() == 2 && form.reloads() > before; }, kPatienceMs))
        << dialogs.messages().join(u'\n').toStdString();
    EXPECT_TRUE(dialogs.messages().at(0).startsWith(kAway)) << qPrintable(dialogs.messages().at(0));
    EXPECT_TRUE(dialogs.messages().at(1).startsWith(kBack)) << qPrintable(dialogs.messages().at(1));
    EXPECT_EQ(form.windowTitle(), caption);

    form.ListView1->setCurrentRow(form.ListView1->items().viewRowOfId(1));
    form.PushButton3_Click();
    form.mnuUndo_Click();
    form.mnuRedo_Click();
    EXPECT_EQ(server(QStringLiteral("select transactionnumber from transactions order by 1")), "2; 3");
    EXPECT_EQ(column(Description), (QStringList{"row 002", "row 003"}));
    EXPECT_EQ(dialogs.messages().size(), 2);

    // Restarted again, and this time a write finds out first: refused with one message,
    // the list as it was; then back by itself as before.
    dialogs.clear();
    dialogs.answerMessage(platform::vbOK);   // the write refused
    dialogs.answerMessage(platform::vbOK);   // back
    ASSERT_EQ(testing_support::sharedPgServer().restart(), QString());
    form.ListView1->setCurrentRow(form.ListView1->items().viewRowOfId(2));
    const int beforeWrite = form.reloads();
    form.PushButton3_Click();
    ASSERT_EQ(dialogs.messages().size(), 1) << dialogs.messages().join(u'\n').toStdString();
    EXPECT_TRUE(dialogs.messages().at(0).startsWith(kAway)) << qPrintable(dialogs.messages().at(0));
    EXPECT_EQ(column(Description), (QStringList{"row 002", "row 003"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.messages().size() == 2 && form.reloads() > beforeWrite; },
                                kPatienceMs));
    EXPECT_TRUE(dialogs.messages().at(1).startsWith(kBack)) << qPrintable(dialogs.messages().at(1));
    EXPECT_EQ(server(QStringLiteral("select transactionnumber from transactions order by 1")), "2; 3");
    form.PushButton3_Click();
    EXPECT_EQ(server(QStringLiteral("select transactionnumber from transactions order by 1")), "3");
    EXPECT_EQ(dialogs.messages().size(), 2);
}

TEST_F(ServerDesktopTest, ALoginRoleThatMayOnlyReadOpensTheLedgerReadOnlyWithOneMessageAndEveryChangeIsRefused)
{
    seed(2);
    ASSERT_EQ(testing_support::sharedPgServer().createRole(QStringLiteral("reader"), {}, database), QString());
    useLedger(testing_support::sharedPgServer().conninfo(database, QStringLiteral("reader")));

    dialogs.answerMessage(platform::vbOK);
    start();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages().first().contains(QStringLiteral("can only be read"))) << qPrintable(dialogs.messages().first());
    EXPECT_TRUE(form.windowTitle().contains(QStringLiteral("read-only"))) << qPrintable(form.windowTitle());
    EXPECT_EQ(column(Description), (QStringList{"row 001", "row 002"}));

    const std::string before = server(QStringLiteral("select * from transactions order by 1"));
    form.ListView1->setCurrentRow(form.ListView1->items().viewRowOfId(1));
    for (const auto command : {&Form1::PushButton3_Click, &Form1::PushButton4_Click, &Form1::PushButton7_Click}) {
        dialogs.clear();
        dialogs.answerMessage(platform::vbOK);
        (form.*command)();
        ASSERT_EQ(dialogs.messages().size(), 1);
        EXPECT_TRUE(dialogs.messages().first().contains(QStringLiteral("can only be read"))) << qPrintable(dialogs.messages().first());
    }
    EXPECT_EQ(server(QStringLiteral("select * from transactions order by 1")), before);
    EXPECT_EQ(column(Description), (QStringList{"row 001", "row 002"}));
}

TEST_F(ServerDesktopTest, TheWindowOpensALedgerOverTlsCheckingTheServersCertificate)
{
    auto& pg = testing_support::sharedPgServer();
    ASSERT_EQ(pg.enableTls(), QString());
    seed(2);
    useLedger(pg.tlsConninfo(database));
    start();
    EXPECT_TRUE(form.windowTitle().endsWith(QStringLiteral(" - %1 on localhost as postgres").arg(database)))
        << qPrintable(form.windowTitle());
    EXPECT_EQ(column(Description), (QStringList{"row 001", "row 002"}));
    EXPECT_EQ(server(QStringLiteral("select count(*) > 0, bool_and(s.ssl) from pg_stat_ssl s join pg_stat_activity a "
                                    "using (pid) where a.datname = current_database() and a.pid <> pg_backend_pid()")),
              "t|t");
    form.ListView1->setCurrentRow(form.ListView1->items().viewRowOfId(1));
    form.PushButton3_Click();
    EXPECT_EQ(server(QStringLiteral("select transactionnumber from transactions")), "2");
}

TEST_F(ServerDesktopTest, ACertificateNoTrustedAuthoritySignedIsRefusedPlainly)
{
    auto& pg = testing_support::sharedPgServer();
    ASSERT_EQ(pg.enableTls(), QString());
    const QString stranger = env.root() + QStringLiteral("/stranger");
    ASSERT_EQ(testing_support::makeCertificateAuthority(stranger), QString());
    useLedger(pg.tlsConninfo(database).replace(pg.caCertificate(), stranger + QStringLiteral("/ca.crt")));

    dialogs.answerMessage(platform::vbOK);
    start();
    ASSERT_EQ(dialogs.messages().size(), 1) << dialogs.messages().join(u'\n').toStdString();
    const QString told = dialogs.messages().first();
    EXPECT_TRUE(told.contains(kNotOpened)) << qPrintable(told);
    EXPECT_TRUE(told.contains(QStringLiteral("certificate"))) << qPrintable(told);
    EXPECT_TRUE(dialogs.reports().isEmpty());
    EXPECT_EQ(form.ListView1->count(), 0);

    // The report from the command line alike: said on its error output, no file written.
    const QString pdf = env.root() + QStringLiteral("/report.pdf");
    const auto run = env.runWithoutScreen(QStringLiteral(TALLYFOLD_PROGRAM), {QStringLiteral("--report-pdf"), pdf});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.status, -1);   // no crash
    EXPECT_TRUE(run.errors.contains(kNotOpened)) << run.errors.toStdString();
    EXPECT_FALSE(run.errors.contains(QStringLiteral(" at line "))) << run.errors.toStdString();   // no error report
    EXPECT_TRUE(run.errors.contains(QStringLiteral("certificate"))) << run.errors.toStdString();
    EXPECT_FALSE(QFile::exists(pdf));

    // Another desktop refused alike: a change asked of it afterwards is refused with
    // the same words, not reported as an error of the program.
    testing_support::OtherCopy other;
    EXPECT_TRUE(other.send(QStringLiteral("open")).contains(kNotOpened));
    EXPECT_TRUE(other.send(QStringLiteral("add x")).contains(kNotOpened));
}

TEST_F(ServerDesktopTest, ADatabaseHoldingSomethingElseIsRefusedWithOneMessageAndAnEmptyList)
{
    const QString other = testing_support::freshPgDatabase();
    ASSERT_TRUE(testing_support::sharedPgServer().run(QStringLiteral("create table notes (body text)"), other).ok());
    ledgerVariable.set(testing_support::sharedPgServer().conninfo(other).toUtf8().constData());

    dialogs.answerMessage(platform::vbOK);
    start();
    ASSERT_EQ(dialogs.messages().size(), 1) << dialogs.messages().join(u'\n').toStdString();
    EXPECT_TRUE(dialogs.messages().first().contains(QStringLiteral("is not a Tallyfold ledger")));
    EXPECT_TRUE(form.windowTitle().contains(QStringLiteral("not opened"))) << qPrintable(form.windowTitle());
    EXPECT_EQ(form.ListView1->count(), 0);
    // Reading it again (a click on a column) tells nothing more.
    form.ListView1_ColumnClick(Description + 1);
    EXPECT_EQ(dialogs.messages().size(), 1);
}

TEST_F(ServerDesktopTest, TheReportIsPrintedToPdfFromTheCommandLineOnAServerLedger)
{
    seed(3);
    const QString file = env.root() + QStringLiteral("/report.pdf");
    const auto run = env.runWithoutScreen(QStringLiteral(TALLYFOLD_PROGRAM), {QStringLiteral("--report-pdf"), file});
    ASSERT_EQ(run.status, 0) << run.errors.toStdString();
    const QString text = testing_support::pdfPages(file).join(u'\n');
    for (const char* row : {"row 001", "row 002", "row 003", "Household"})
        EXPECT_TRUE(text.contains(QLatin1String(row))) << row << "\n" << text.toStdString();
    // The report's table was this run's own: nothing of it stays on the server.
    EXPECT_EQ(server(QStringLiteral("select count(*) from pg_tables where tablename = 'tblreport'")), "0");
}

TEST_F(ServerDesktopTest, AReadThatFindsTheServerGoneFirstLeavesTheListAsItWas)
{
    seed(3);
    start();
    form.show();
    dialogs.answerMessage(platform::vbOK);   // the server is away
    ASSERT_EQ(testing_support::sharedPgServer().pause(), QString());
    form.ListData();   // a reload (as after any command) before anything else heard of it
    ASSERT_EQ(dialogs.messages().size(), 1) << dialogs.messages().join(u'\n').toStdString();
    EXPECT_TRUE(dialogs.messages().first().startsWith(kAway)) << qPrintable(dialogs.messages().first());
    EXPECT_TRUE(form.windowTitle().contains(kAwayNote)) << qPrintable(form.windowTitle());
    EXPECT_EQ(column(Description), (QStringList{"row 001", "row 002", "row 003"}));
    EXPECT_EQ(summary().value(0), "Widrawal: $6.00");
    ASSERT_EQ(testing_support::sharedPgServer().resume(), QString());
    dialogs.answerMessage(platform::vbOK);   // back
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.messages().size() == 2; }, kPatienceMs));
}
