// Running a program and waiting for it: real scripts in a temporary folder, real
// exit codes, and a real window that must keep repainting while the wait lasts.
#include "shell/Shell32.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <vector>

using shell::kObjectError;
using shell::RunAndWait;

namespace {

class Scripts : public ::testing::Test {
protected:
    // Writes an sh script at name (folders made as needed) and gives its full path.
    QString script(const QString& name, const QByteArray& body, bool executable = true)
    {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
        if (executable)
            permissions |= QFile::ExeOwner;
        file.setPermissions(permissions);
        return path;
    }
    QString read(const QString& name) const
    {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QStringLiteral("<none>");
    }

    QTemporaryDir dir;
};

// Records RunAndWait's rounds while it lives: for each, whether the program was still
// running when it began.
class Rounds {
public:
    Rounds()
    {
        shell::setRoundObserver([this](bool running) { seen.push_back(running); });
    }
    ~Rounds() { shell::setRoundObserver(nullptr); }
    std::vector<bool> seen;
};

class PaintCounter : public QWidget {
public:
    int paints = 0;
protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

} // namespace

using RunAndWaitTest = Scripts;

TEST_F(RunAndWaitTest, GivesBackTheExitCodeAfterAtLeastOneRound)
{
    const struct {
        const char* body;
        std::int32_t code;
        bool stillRunning = false;   // certainly running when the wait began
    } cases[] = {
        {"exit 0", 0},
        {"sleep 0.3; exit 3", 3, true},
        {"exit 255", 255},
        {"kill -TERM $$", 128 + 15},   // killed by a signal, as a shell reports it
        {"read answer; exit 4", 4},     // a question on standard input finds it empty
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        const QString path = script(QStringLiteral("run.sh"), c.body);
        Rounds rounds;
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(RunAndWait(path, 1), c.code);
        ASSERT_GE(rounds.seen.size(), 1u);
        // Each round sleeps out its 100 ms; a loaded machine only makes rounds longer.
        EXPECT_GE(clock.elapsed(), 100 * qint64(rounds.seen.size()));
        // Only a program still running makes it go round again.
        for (size_t r = 0; r + 1 < rounds.seen.size(); ++r)
            EXPECT_TRUE(rounds.seen[r]) << "round " << r;
        if (c.stillRunning) {
            EXPECT_TRUE(rounds.seen.front()) << "the wait began after the program had ended";
        }
    }
}

TEST_F(RunAndWaitTest, SplitsTheCommandLineAtUnquotedSpacesAndPassesTheStyleNormalised)
{
    const QString out = dir.filePath(QStringLiteral("out"));
    const QString path = script(QStringLiteral("with space/\"show\" args.sh"),
                                "for a in \"$@\"; do printf '%s|' \"$a\"; done > '" + out.toUtf8()
                                    + "'\necho \"$TALLYFOLD_WINDOW_STYLE\" >> '" + out.toUtf8() + "'");
    const QString args = QStringLiteral("  \"two words\" plain \"\"\"quoted\"\"\" ") + shell::quoteArgument(path);
    EXPECT_EQ(RunAndWait(shell::quoteArgument(path) + args), 0);
    EXPECT_EQ(read(QStringLiteral("out")), QStringLiteral("two words|plain|\"quoted\"|%1|6").arg(path));

    const struct {
        int given, passed;
    } styles[] = {{0, 0}, {1, 1}, {3, 3}, {6, 6}, {-1, 6}, {7, 6}, {5, 5}};
    for (const auto& s : styles) {
        SCOPED_TRACE(s.given);
        EXPECT_EQ(RunAndWait(shell::quoteArgument(path), s.given), 0);
        EXPECT_EQ(read(QStringLiteral("out")), QStringLiteral("%1").arg(s.passed));
    }
}

TEST_F(RunAndWaitTest, AProgramThatCannotStartGivesAnErrorNumberAtOnce)
{
    QDir().mkpath(dir.filePath(QStringLiteral("folder")));
    QFile garbage(dir.filePath(QStringLiteral("garbage")));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(64, '\x01'));
    garbage.close();
    garbage.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const struct {
        QString commandLine;
        std::int32_t error;
    } cases[] = {
        {dir.filePath(QStringLiteral("missing.msu")), 53},
        {QStringLiteral("tallyfold-no-such-program-anywhere"), 53},
        {shell::quoteArgument(script(QStringLiteral("plain file.sh"), "exit 0", false)), 70},
        {dir.filePath(QStringLiteral("folder")), 70},
        {dir.filePath(QStringLiteral("garbage")), 5},
        {QStringLiteral("   "), 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine.toStdString());
        Rounds rounds;
        std::int32_t result = 0;
        EXPECT_NO_THROW(result = RunAndWait(c.commandLine, 0));
        EXPECT_EQ(result, kObjectError + c.error);
        EXPECT_TRUE(rounds.seen.empty()) << "waited for a program that never started";
    }
    EXPECT_EQ(kObjectError + 53, -2147221451);
}

TEST_F(RunAndWaitTest, TheCallersWindowKeepsRepaintingDuringTheWait)
{
    PaintCounter window;
    window.resize(200, 100);
    window.show();
    QTimer ticker;
    int ticks = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        window.update();
    });
    ticker.start(50);
    const int paintsBefore = window.paints;

    EXPECT_EQ(RunAndWait(script(QStringLiteral("slow.sh"), "sleep 2"), 0), 0);

    // Events ran about every 100 ms: far more than once, and each tick's repaint came.
    EXPECT_GE(ticks, 8);
    EXPECT_GE(window.paints - paintsBefore, 8);
}
