// Backups from the main window: one at start-up when the ledger has changed, a read-only
// data folder told once while the program works on, and "Restore a Backup…" choosing,
// asking, restoring and saying what it did.
#include "tests/main/MainWindowFixture.h"

#include "data/Backups.h"
#include "data/Ledger.h"
#include "main/RestoreDialog.h"
#include "data/sqlite/Database.h"
#include "shell/Dialogs.h"
#include "tests/support/MountedFolder.h"
#include "tests/support/OtherCopy.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTreeWidget>
#include <sys/fsuid.h>
#include <sys/stat.h>

using platform::vbNo;
using platform::vbOK;
using platform::vbYes;

namespace {
QStringList backupFiles(const QString& ledger)
{
    return QDir(data::backupFolder(ledger)).entryList({QStringLiteral("dbData-*.mdb")}, QDir::Files, QDir::Name);
}
} // namespace

class Backups : public HouseholdTest {
protected:
    Backups()
    {
        data::setBackupClock([this] { return clock; });
    }
    ~Backups() override { data::setBackupClock(nullptr); }
    // Starts the program anew, as a user would the next time.
    void restart()
    {
        closeWindow(*current);
        current = std::make_unique<mainwindow::Form1>();
        current->Form_Load();
        clock = clock.addDays(1);
    }

    QDateTime clock = QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53));
    std::unique_ptr<mainwindow::Form1> current;
};

TEST_F(Backups, StartUpBacksTheLedgerUpOnlyWhenItChanged)
{
    add("rent", "500");
    current = std::make_unique<mainwindow::Form1>();
    current->Form_Load();
    EXPECT_EQ(backupFiles(env.workingDatabase()), QStringList{"dbData-2026-03-14-092653.mdb"});
    clock = clock.addDays(1);
    restart();   // nothing changed in between
    EXPECT_EQ(backupFiles(env.workingDatabase()).size(), 1);
    current->PushButton4_Click();
    restart();
    EXPECT_EQ(backupFiles(env.workingDatabase()),
              (QStringList{"dbData-2026-03-14-092653.mdb", "dbData-2026-03-16-092653.mdb"}));
    EXPECT_TRUE(dialogs.prompts().empty());
    closeWindow(*current);
}

TEST_F(Backups, AReadOnlyDataFolderIsToldOnceAndTheProgramWorksOn)
{
    add("rent", "500");
    {
        // The files as the program leaves them, the ledger alone: the test's own read
        // left the write-ahead log's files beside it.
        platform::Connection tidy;
        tidy.Open(env.connectionString());
    }
    ASSERT_FALSE(QFileInfo::exists(env.workingDatabase() + QStringLiteral("-shm")));
    // As a user without root's power to write anywhere.
    const QString folder = QFileInfo(env.workingDatabase()).absolutePath();
    for (const QString& dir : {env.root(), env.dataHome(), env.dataHome() + QStringLiteral("/Marlowick")})
        chmod(dir.toUtf8().constData(), 0755);
    chmod((env.root() + QStringLiteral("/config")).toUtf8().constData(), 0777);
    chmod(folder.toUtf8().constData(), 0555);
    chmod(env.workingDatabase().toUtf8().constData(), 0644);
    const int was = setfsuid(65534);
    dialogs.answerMessage(vbOK);
    start();
    // One message, for the ledger that can only be read, which says no backup is made.
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].startsWith(QStringLiteral("The ledger can only be read where it is")));
    EXPECT_TRUE(dialogs.reports().isEmpty()) << dialogs.reports().join(u'\n').toStdString();
    EXPECT_EQ(column(3), QStringList{"rent"});
    form.ListView1_ColumnClick(4);
    EXPECT_EQ(dialogs.prompts().size(), 1u);
    closeWindow(form);
    setfsuid(was);
    chmod(folder.toUtf8().constData(), 0755);
    EXPECT_FALSE(QFileInfo::exists(data::backupFolder(env.workingDatabase())));
}

TEST_F(Backups, RestoreChoosesAsksRestoresReloadsAndSaysWhatItDid)
{
    add("rent", "500");
    start();   // backs the one row up
    form.PushButton4_Click();
    form.PushButton4_Click();
    ASSERT_EQ(form.ListView1->count(), 3);
    clock = clock.addSecs(3600);

    // The window lists the backup and its facts; Cancel there, or No to the question,
    // restores nothing.
    QStringList listed;
    whenModal([&](QWidget* w) {
        auto* window = qobject_cast<mainwindow::RestoreDialog*>(w);
        ASSERT_NE(window, nullptr);
        for (int column = 0; column < 3; ++column)
            listed << window->List1->topLevelItem(0)->text(column);
        window->cmdCancel->click();
    });
    form.mnuRestore_Click();
    EXPECT_EQ(listed.value(0), "3/14/2026 9:26:53 AM");
    EXPECT_EQ(listed.value(1), "1");
    EXPECT_TRUE(listed.value(2).endsWith(QStringLiteral("KiB")));
    EXPECT_TRUE(dialogs.prompts().empty());

    whenModal([](QWidget* w) { qobject_cast<mainwindow::RestoreDialog*>(w)->cmdRestore->click(); });
    dialogs.answerMessage(vbNo);
    form.mnuRestore_Click();
    ASSERT_EQ(dialogs.prompts().size(), 1u);
    EXPECT_EQ(dialogs.prompts()[0].text, "Restore the backup of 3/14/2026 9:26:53 AM (1 transaction)?\r\n\r\n"
                                         "It takes the place of the ledger as it is now, which is backed up first.");
    EXPECT_EQ(dialogs.prompts()[0].style, platform::vbYesNo | platform::vbQuestion);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "3");

    dialogs.clear();
    whenModal([](QWidget* w) { qobject_cast<mainwindow::RestoreDialog*>(w)->cmdRestore->click(); });
    dialogs.answerMessage(vbYes);
    dialogs.answerMessage(vbOK);
    form.mnuRestore_Click();
    EXPECT_EQ(form.ListView1->count(), 1);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "1");
    ASSERT_EQ(dialogs.prompts().size(), 2u);
    EXPECT_EQ(dialogs.prompts()[1].text, "The ledger has been restored from the backup of 3/14/2026 9:26:53 AM "
                                         "(1 transaction).\r\n\r\nThe ledger as it was before is kept in the backup "
                                         "of 3/14/2026 10:26:53 AM.");
    EXPECT_EQ(dialogs.prompts()[1].style, platform::vbInformation);
    EXPECT_TRUE(dialogs.reports().isEmpty());
    // The ledger restored carries on: its own history, and new changes.
    form.PushButton4_Click();
    EXPECT_EQ(form.ListView1->count(), 2);
}

TEST_F(Backups, WithoutABackupRestoreSaysSo)
{
    start();
    QDir(data::backupFolder(env.workingDatabase())).removeRecursively();
    dialogs.answerMessage(vbOK);
    form.mnuRestore_Click();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages()[0].startsWith(QStringLiteral("There is no backup of the ledger yet")));
}

TEST_F(Backups, ADataFolderOnAReadOnlyFileSystemOrAFullDiskShowsEveryRowWithOneMessage)
{
    for (const auto kind : {testing_support::MountedFolder::ReadOnly, testing_support::MountedFolder::Full}) {
        SCOPED_TRACE(kind == testing_support::MountedFolder::ReadOnly ? "read-only file system" : "full disk");
        dialogs.clear();
        add("rent", "500");
        add("power", "60");
        {
            platform::Connection tidy;   // the ledger alone, as the program leaves it
            tidy.Open(env.connectionString());
        }
        const QByteArray before = testing_support::fileHash(env.workingDatabase());
        {   // the folder mounted for the program's run alone
            const testing_support::MountedFolder mounted(QFileInfo(env.workingDatabase()).absolutePath(), kind);
            if (!mounted.available())
                GTEST_SKIP() << mounted.problem().toStdString();
            mainwindow::Form1 window;
            dialogs.answerMessage(vbOK);
            window.Form_Load();
            ASSERT_EQ(dialogs.messages().size(), 1) << dialogs.messages().join(u'\n').toStdString();
            EXPECT_TRUE(dialogs.reports().isEmpty()) << dialogs.reports().join(u'\n').toStdString();
            EXPECT_EQ(window.ListView1->count(), 2);
            // A change is refused with the message that says why.
            dialogs.answerMessage(vbOK);
            window.PushButton4_Click();
            ASSERT_EQ(dialogs.messages().size(), 2);
            EXPECT_EQ(window.ListView1->count(), 2);
            EXPECT_TRUE(dialogs.messages()[0].startsWith(QStringLiteral("The ledger can only be read where it is")))
                << dialogs.messages()[0].toStdString();
            EXPECT_EQ(dialogs.messages()[1], dialogs.messages()[0]);
            EXPECT_TRUE(dialogs.reports().isEmpty());
            closeWindow(window);
        }
        EXPECT_EQ(testing_support::fileHash(env.workingDatabase()), before);
        env.sqlite(QStringLiteral("delete from Transactions"));
    }
}

TEST_F(Backups, RestoreWhileAnotherCopyHasTheLedgerOpenIsRefusedAndSaysWhy)
{
    add("rent", "500");
    start();   // backs the one row up
    form.PushButton4_Click();
    clock = clock.addSecs(3600);
    testing_support::OtherCopy copy;
    ASSERT_EQ(copy.send(QStringLiteral("open")), "opened");

    whenModal([](QWidget* w) { qobject_cast<mainwindow::RestoreDialog*>(w)->cmdRestore->click(); });
    dialogs.answerMessage(vbYes);
    dialogs.answerMessage(vbOK);
    form.mnuRestore_Click();
    ASSERT_EQ(dialogs.prompts().size(), 2u);
    EXPECT_EQ(dialogs.prompts()[1].text, "Nothing was restored: Another copy of Tallyfold, or another program, has "
                                         "the ledger open. Close it, then restore again.\r\n\r\nThe ledger is as it was.");
    EXPECT_EQ(dialogs.prompts()[1].style, platform::vbExclamation);
    EXPECT_TRUE(dialogs.reports().isEmpty());
    // Both copies carry on with the ledger they have.
    EXPECT_EQ(copy.send(QStringLiteral("add from the other copy")), "added");
    form.PushButton4_Click();
    form.ListData();
    EXPECT_EQ(form.ListView1->count(), 4);
    EXPECT_EQ(env.rows(QStringLiteral("select count(*) from Transactions")), "4");
}
