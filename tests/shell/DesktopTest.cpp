// The desktop's answer to whether it can open a type of file: a known program on the
// PATH, or an application the desktop has registered for the type and the user has not
// taken away from it; and the program a file is handed to when the desktop has no opener.
#include "shell/Desktop.h"

#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileSystemWatcher>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <gtest/gtest.h>

namespace {

const QString kSheet = QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");

// Points the PATH and the desktop's folders into a temporary folder for one test.
class FakeDesktop {
public:
    FakeDesktop()
    {
        for (const char* name : {"PATH", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"}) {
            const QString folder = m_dir.filePath(QString::fromLatin1(name));
            QDir().mkpath(folder);
            m_variables.emplace_back(name).set(QFile::encodeName(folder).constData());
        }
    }
    void write(const QString& relative, const QByteArray& text, bool executable = false) const
    {
        const QString path = m_dir.filePath(relative);
        QDir().mkpath(path.left(path.lastIndexOf(u'/')));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        if (executable)
            file.setPermissions(file.permissions() | QFile::ExeOwner);
    }

private:
    QTemporaryDir m_dir;
    std::deque<testing_support::ScopedVariable> m_variables;
};

TEST(DesktopQuestion, AProgramOnThePathOrARegisteredApplicationCanOpenTheType)
{
    FakeDesktop fake;
    platform::QtDesktop desktop;
    EXPECT_FALSE(desktop.canOpen(kSheet, {QStringLiteral("gnumeric")}));

    fake.write(QStringLiteral("PATH/gnumeric"), "#!/bin/sh\n", true);
    EXPECT_TRUE(desktop.canOpen(kSheet, {QStringLiteral("localc"), QStringLiteral("gnumeric")}));
    EXPECT_FALSE(desktop.canOpen(kSheet, {QStringLiteral("localc")}));

    // An application registered for other types, or only named in mimeapps.list, is not enough.
    fake.write(QStringLiteral("XDG_DATA_DIRS/applications/office/calc.desktop"),
               "[Desktop Entry]\nType=Application\nName=Calc\nExec=calc %U\nMimeType=text/csv;\n");
    fake.write(QStringLiteral("XDG_CONFIG_HOME/mimeapps.list"),
               "[Added Associations]\n" + kSheet.toUtf8() + "=missing.desktop;\n");
    EXPECT_FALSE(desktop.canOpen(kSheet, {}));

    fake.write(QStringLiteral("XDG_DATA_DIRS/applications/office/calc.desktop"),
               "[Desktop Entry]\nType=Application\nName=Calc\nExec=calc %U\nMimeType=text/csv;" + kSheet.toUtf8()
                   + ";\n");
    EXPECT_TRUE(desktop.canOpen(kSheet, {}));

    // The user took the type away from it...
    fake.write(QStringLiteral("XDG_CONFIG_HOME/mimeapps.list"),
               "[Removed Associations]\n" + kSheet.toUtf8() + "=office-calc.desktop;\n");
    EXPECT_FALSE(desktop.canOpen(kSheet, {}));
    // ...and gave it to another application of theirs.
    fake.write(QStringLiteral("XDG_DATA_HOME/applications/sheets.desktop"),
               "[Desktop Entry]\nType=Application\nName=Sheets\nExec=sheets %f\n");
    fake.write(QStringLiteral("XDG_CONFIG_HOME/mimeapps.list"),
               "[Removed Associations]\n" + kSheet.toUtf8() + "=office-calc.desktop;\n[Default Applications]\n"
                   + kSheet.toUtf8() + "=sheets.desktop\n");
    EXPECT_TRUE(desktop.canOpen(kSheet, {}));
}

} // namespace

TEST(DesktopOpenWith, TheFirstNamedProgramOnThePathIsStartedWithTheFile)
{
    FakeDesktop fake;
    platform::QtDesktop desktop;
    QTemporaryDir out;
    const QString file = out.filePath(QStringLiteral("Tallyfold export.xlsx"));
    EXPECT_EQ(desktop.openWith({QStringLiteral("localc"), QStringLiteral("gnumeric")}, file), QString());

    // The program notes the argument it was given, whole, then is gone.
    const QString note = out.filePath(QStringLiteral("argument"));
    fake.write(QStringLiteral("PATH/gnumeric"),
               "#!/bin/sh\nprintf '%s' \"$1\" > '" + QFile::encodeName(note) + ".part' && /bin/mv '"
                   + QFile::encodeName(note) + ".part' '" + QFile::encodeName(note) + "'\n",
               true);
    QFileSystemWatcher watcher({out.path()});
    QEventLoop loop;
    QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &loop, [&] {
        if (QFile::exists(note))
            loop.quit();
    });
    QTimer::singleShot(std::chrono::seconds(20), &loop, &QEventLoop::quit);   // a bound, should it never start
    EXPECT_EQ(desktop.openWith({QStringLiteral("localc"), QStringLiteral("gnumeric")}, file), "gnumeric");
    if (!QFile::exists(note))
        loop.exec();
    QFile written(note);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(written.readAll()), file);
}
