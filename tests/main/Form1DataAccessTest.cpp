// The data-access check at start-up as the user meets it: the questions in order with
// their texts and buttons, the repair package (a small script standing in for it) run
// from the program folder, and a stop that leaves nothing behind.
#include "tests/main/MainWindowFixture.h"

#include "data/DataAccessCheck.h"
#include "data/Ledger.h"
#include "platform/AppError.h"
#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>

using namespace mainwindow;
using testing_support::Prompt;
using testing_support::ScriptedDialogs;

namespace {

const QString kRepairQuestion = QStringLiteral(
    "Error #193: ADO is not properly installed on this computer. \r\nYou need to have it installed to use this "
    "software without error.\r\n\r\nWould you like to repair it now?");
const QString kRestartQuestion = QStringLiteral(
    "ADO is fixed on this computer. \r\nYou need to restart your computer and software.\r\n\r\nWould you like to "
    "stop software now?");
const QString kInstallationMessage = QStringLiteral(
    "Please check for MDAC installation.\r\n\r\nPlease check this: https://support.microsoft.com/kb/2640696 and look "
    "for 'How to obtain this update' section and download the appropriate update.\r\n\r\nPlease email "
    "support@marlowick.example with a screenshot of this message if you have any questions.");

// What a prompt looked like: its text, its title and its buttons and icon.
std::tuple<QString, QString, int> shown(const Prompt& p)
{
    return {p.text, p.title, p.style};
}
std::tuple<QString, QString, int> yesNo(const QString& text) { return {text, QStringLiteral("Tallyfold"), 4}; }

// Scripted answers that also note, at each prompt, what the stand-in package had
// written by then.
class WatchingDialogs : public ScriptedDialogs {
public:
    explicit WatchingDialogs(QString log) : m_log(std::move(log)) {}
    int MsgBox(const QString& prompt, int style, const QString& title) override
    {
        QFile file(m_log);
        logAtPrompt << (file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString());
        return ScriptedDialogs::MsgBox(prompt, style, title);
    }
    QStringList logAtPrompt;

private:
    QString m_log;
};

} // namespace

class DataAccessCheck : public MainWindowTest {
protected:
    void SetUp() override
    {
        probeSwitch.set("1");
        // Where the program lives may hold spaces and quotes.
        folder = env.root() + QStringLiteral("/Program \"Files\"/Tallyfold");
        QDir().mkpath(folder);
        QFile::copy(env.programFolder() + QStringLiteral("/dbBlank.mdb"), folder + QStringLiteral("/dbBlank.mdb"));
        platform::setProgramFolder(folder);
        data::setArchitectureSource([] { return QStringLiteral("x86_64"); });
    }
    void TearDown() override
    {
        data::setArchitectureSource(nullptr);
        MainWindowTest::TearDown();
    }

    // A stand-in repair package that notes its name and the window style it was given in
    // the log; `executable` false leaves it a plain file the system will not run.
    void package(const char* name, const QByteArray& exitCode = "0", bool executable = true)
    {
        QFile file(folder + u'/' + QString::fromLatin1(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nsleep 0.2\necho \"" + QByteArray(name) + " $TALLYFOLD_WINDOW_STYLE\" >> '"
                   + log().toUtf8() + "'\nexit " + exitCode + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | (executable ? QFile::ExeOwner : QFile::Permissions()));
    }
    QString log() const { return env.root() + QStringLiteral("/package.log"); }
    QString logged() const
    {
        QFile file(log());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    }
    // Start-up went on past the check: the shared connection opened and the list has
    // its columns.
    bool startUpWentOn() const
    {
        return data::hasConnection() && data::connection().State() == 1 && form.ListView1->columnCountTwips() == 7;
    }

    testing_support::ScopedVariable probeSwitch{"TALLYFOLD_FAIL_DATA_ACCESS_PROBE"};
    QString folder;
};

TEST_F(DataAccessCheck, WorkingComponentsAskNothingAndStartUpGoesOn)
{
    package("ADOFix64.msu");
    for (const char* value : {static_cast<const char*>(nullptr), "0"}) {
        SCOPED_TRACE(value ? value : "unset");
        probeSwitch.set(value);
        Form1 window;
        EXPECT_TRUE(window.Form_Load());
        EXPECT_EQ(window.ListView1->columnCountTwips(), 7);
        EXPECT_TRUE(data::hasConnection());
        data::releaseConnection();
    }
    EXPECT_TRUE(dialogs.prompts().empty());
    EXPECT_EQ(logged(), QString());
}

TEST_F(DataAccessCheck, DecliningTheRepairPointsToTheSupportArticleAndStartUpGoesOn)
{
    package("ADOFix64.msu");
    dialogs.answerMessage(platform::vbNo);
    dialogs.answerMessage(platform::vbOK);
    EXPECT_TRUE(form.Form_Load());

    ASSERT_EQ(dialogs.prompts().size(), 2u);
    EXPECT_EQ(shown(dialogs.prompts()[0]), yesNo(kRepairQuestion));
    EXPECT_EQ(shown(dialogs.prompts()[1]), std::make_tuple(kInstallationMessage, QStringLiteral("Tallyfold"), 0));
    EXPECT_EQ(logged(), QString());
    EXPECT_TRUE(startUpWentOn());
}

TEST_F(DataAccessCheck, AcceptingWithNoPackageBesideTheProgramEndsTheRepairQuietly)
{
    dialogs.answerMessage(platform::vbYes);
    EXPECT_TRUE(form.Form_Load());

    ASSERT_EQ(dialogs.prompts().size(), 1u);
    EXPECT_EQ(shown(dialogs.prompts()[0]), yesNo(kRepairQuestion));
    EXPECT_TRUE(startUpWentOn());
}

TEST_F(DataAccessCheck, AnAcceptedRepairRunsThePackageHiddenToItsEndThenAsksToStop)
{
    // The question comes after the package has ended, whatever its run gave.
    const struct {
        const char* exitCode;
        bool executable;
        const char* logAtQuestion;
    } cases[] = {
        {"0", true, "ADOFix64.msu 0"},
        {"1", true, "ADOFix64.msu 0"},
        {"0", false, ""},   // there, but the system will not run it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.exitCode << (c.executable ? " runnable" : " not runnable"));
        QFile::remove(log());
        package("ADOFix64.msu", c.exitCode, c.executable);
        WatchingDialogs watching(log());
        watching.answerMessage(platform::vbYes);
        watching.answerMessage(platform::vbNo);
        Form1 window;
        EXPECT_TRUE(window.Form_Load());

        ASSERT_EQ(watching.prompts().size(), 2u);
        EXPECT_EQ(shown(watching.prompts()[0]), yesNo(kRepairQuestion));
        EXPECT_EQ(shown(watching.prompts()[1]), yesNo(kRestartQuestion));
        EXPECT_EQ(watching.logAtPrompt, (QStringList{QString(), QString::fromLatin1(c.logAtQuestion)}));
        EXPECT_EQ(window.ListView1->columnCountTwips(), 7);
        EXPECT_TRUE(data::hasConnection());
        data::releaseConnection();
    }
}

TEST_F(DataAccessCheck, StoppingAfterTheRepairEndsStartUpAtOnceSavingNothing)
{
    package("ADOFix64.msu");
    dialogs.answerMessage(platform::vbYes);
    dialogs.answerMessage(platform::vbYes);
    {
        Form1 window;
        EXPECT_FALSE(window.Form_Load());
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(window.ListView1->columnCountTwips(), 0);
        EXPECT_FALSE(data::hasConnection());
    }
    EXPECT_EQ(dialogs.prompts().size(), 2u);
    EXPECT_EQ(logged(), QStringLiteral("ADOFix64.msu 0"));
    EXPECT_FALSE(QFile::exists(platform::settingsFilePath()));
}

TEST_F(DataAccessCheck, TheSystemsWidthPicksThePackage)
{
    package("ADOFix64.msu");
    package("ADOFix86.msu");
    const struct {
        std::function<QString()> architecture;
        const char* ran;
    } cases[] = {
        {[] { return QStringLiteral("x86_64"); }, "ADOFix64.msu 0"},
        {[] { return QStringLiteral("i386"); }, "ADOFix86.msu 0"},
        {[]() -> QString { throw platform::AppError(QStringLiteral("no answer")); }, "ADOFix86.msu 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ran);
        QFile::remove(log());
        data::setArchitectureSource(c.architecture);
        dialogs.answerMessage(platform::vbYes);
        dialogs.answerMessage(platform::vbNo);
        Form1 window;
        window.Form_Load();
        EXPECT_EQ(logged(), QString::fromLatin1(c.ran));
        data::releaseConnection();
    }
}
