// The settings file: what its lines mean, that every value is read as the text it is
// (never as a serialized object or a list), that files QSettings wrote still read the
// same, and that a damaged, huge or unwritable file costs little and reports a failed
// save instead of losing it quietly.
#include "platform/AppError.h"
#include "platform/AppPaths.h"
#include "platform/IniText.h"
#include "platform/Settings.h"
#include "tests/support/PermissionsApply.h"
#include "tests/support/StoredSettings.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

using testing_support::fileHash;
using testing_support::store;
using testing_support::stored;
using testing_support::TestEnvironment;

namespace {

const QString kNul(QChar(0));

// The value of Tallyfold/Key in an INI text, or "<absent>".
QString readValue(const QByteArray& text)
{
    const auto entries = platform::ini::parse(text);
    const platform::ini::Entry* e = platform::ini::find(entries, QStringLiteral("Tallyfold"), QStringLiteral("Key"));
    return e ? e->value : QStringLiteral("<absent>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The description of the error a call raises, or "" when it raised none.
template <class F>
QString errorOf(F&& call)
{
    try {
        call();
    } catch (const platform::AppError& e) {
        return e.description();
    }
    return {};
}

} // namespace

TEST(SettingsText, EveryValueIsTheTextItSays)
{
    const struct {
        const char* line;
        QString value;
    } cases[] = {
        {"Key=1800", "1800"},
        {"Key=  spaced out  ", "spaced out"},
        {"Key=\" kept \"", " kept "},
        {"Key=\"$;;;\xC2\xA3;;;\xC2\xA5;;;\xE2\x82\xAC\"", "$;;;\u00A3;;;\u00A5;;;\u20AC"},
        // Escapes as QSettings writes them, older versions' \x form for the euro included.
        {"Key=\\x20ac \\t\\\\\\\"\\n", "\u20AC \t\\\"\n"},
        {"Key=a\\0\\x62", QStringLiteral("a") + kNul + QStringLiteral("b")},
        {"Key=\\x1F4B0", "\U0001F4B0"},
        {"Key=\\x110000", "\uFFFD"},
        // Commas are text, not a list.
        {"Key=1800, 1800", "1800, 1800"},
        {"Key=\"Fr.,-\\\"q\\\" \"", "Fr.,-\"q\" "},
        // An unquoted ";" starts a comment.
        {"Key=400 ; the first column", "400"},
        // Serialized objects stay the text they are; "@@" is how "@" is written.
        {"Key=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)", QStringLiteral("@Variant(") + kNul + kNul + kNul
                                                              + QStringLiteral("\t\x7f\u00FF\u00FF\u00FF)")},
        {"Key=@ByteArray(400)", "@ByteArray(400)"},
        {"Key=@Invalid()", "@Invalid()"},
        {"Key=@@Variant(x)", "@Variant(x)"},
        {"Key=@String(a\\0)", QStringLiteral("a") + kNul},
        {"Key=", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(readValue(QByteArray("[Tallyfold]\n") + c.line + "\n"), c.value);
    }
}

TEST(SettingsText, SectionsDuplicatesAndJunkLines)
{
    const struct {
        const char* text;
        const char* value;
    } cases[] = {
        {"\xEF\xBB\xBF[Tallyfold]\r\nKey=a\r\n", "a"},
        {"Key=general\n[Other]\nKey=other\n", "<absent>"},
        {"[Tallyfold]\nKey=first\n[Other]\nKey=x\n[Tallyfold]\nKey=last\n", "last"},
        {"[Tallyfold]\n\x01\xff\xfe garbage\nKey=a\n=b\n%4Bey=c\nKe y=d\n", "a"},
        {"[Tallyfold]\n\"Key=a\nKey=b\n", "b"},   // a stray quote does not swallow lines
        {"[Tallyfold\nKey=a\n", "<absent>"},
        {"[Tally\xfe" "fold]\nKey=a\n", "<absent>"},
        {"; [Tallyfold]\n[Tallyfold]\n  ; Key=a\n", "<absent>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(readValue(c.text), QString::fromUtf8(c.value));
    }
    // Written back, the junk is gone, each key appears once, and a second write is the same.
    const auto entries = platform::ini::parse("[Tallyfold]\n\x01\xff junk\nKey=1\n[Other]\nA=x\n[Tallyfold]\nKey=2\n");
    EXPECT_EQ(platform::ini::write(entries), QByteArray("[Tallyfold]\nKey=2\n\n[Other]\nA=x\n"));
    EXPECT_EQ(platform::ini::write(platform::ini::parse(platform::ini::write(entries))), platform::ini::write(entries));
}

TEST(SettingsText, ValuesRoundTripHereAndThroughQSettings)
{
    TestEnvironment env;
    const QString values[] = {
        QString(), QStringLiteral("1234.5"), QStringLiteral("$;;;\u00A3;;;\u00A5;;;\u20AC;;;CHF "),
        QStringLiteral(" Fr.,-\"q\" \u20B9 "), QStringLiteral("\U0001F4B0 back\\slash"), QStringLiteral("=;#\u00A0"),
        QStringLiteral("@Variant(x)"), QStringLiteral("@@"), QStringLiteral("tab\there\nline\r\x01" "1f\x7f"),
        QStringLiteral("a") + kNul + QStringLiteral("12"), QString(QChar(0xD800)) + QStringLiteral("x"),
    };
    const QString file = env.root() + QStringLiteral("/round.conf");
    for (const QString& value : values) {
        SCOPED_TRACE(value.toStdString());
        const QByteArray text = platform::ini::write({{QStringLiteral("Tallyfold"), QStringLiteral("Key"), value}});
        EXPECT_EQ(readValue(text), value);
        writeFile(file, text);
        EXPECT_EQ(QSettings(file, QSettings::IniFormat).value(QStringLiteral("Tallyfold/Key")).toString(), value);
        if (value.contains(QChar(0xD800)))
            continue;   // QSettings itself writes half a pair as a stand-in character
        QFile::remove(file);
        QSettings(file, QSettings::IniFormat).setValue(QStringLiteral("Tallyfold/Key"), value);
        QFile written(file);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(readValue(written.readAll()), value);
    }
}

TEST(SettingsText, AByteOrderMarkStartingAValueIsPartOfIt)
{
    const QString bom(QChar(0xFEFF));
    for (const QString& value : {bom, bom + QStringLiteral("$"), bom + QStringLiteral(" x;y "), QStringLiteral("a") + bom}) {
        SCOPED_TRACE(value.toStdString());
        EXPECT_EQ(readValue(platform::ini::write({{QStringLiteral("Tallyfold"), QStringLiteral("Key"), value}})), value);
    }
    // The mark that starts the file is the file's, not the first value's.
    EXPECT_EQ(readValue("\xEF\xBB\xBF[Tallyfold]\nKey=\xEF\xBB\xBF\xE2\x82\xAC\n"), bom + QStringLiteral("\u20AC"));
    TestEnvironment env;
    platform::settings::save(QStringLiteral("CurrList"), bom + QStringLiteral("kr"));
    EXPECT_EQ(platform::settings::get(QStringLiteral("CurrList"), QString()), bom + QStringLiteral("kr"));
}

TEST(SettingsFile, AHugeOrOddFileIsReadOnlyAsFarAsTheBoundAndLongValuesAreRefused)
{
    TestEnvironment env;
    const QString path = platform::settingsFilePath();
    QByteArray text = "[Tallyfold]\nEarly=1\nLong=" + QByteArray(platform::settings::kMaxValueLength + 1, '7') + '\n';
    while (text.size() < 4 * platform::settings::kMaxFileBytes)
        text += "Filler=" + QByteArray(100, 'x') + '\n';
    text += "Late=2\n";
    writeFile(path, text);
    EXPECT_EQ(stored("Early"), QStringLiteral("1"));
    EXPECT_EQ(stored("Late"), QStringLiteral("<absent>"));
    EXPECT_TRUE(errorOf([] { stored("Long"); }).contains(path));
    EXPECT_FALSE(errorOf([] { store("Long", QString(platform::settings::kMaxValueLength + 1, u'7')); }).isEmpty());

    // Saving rewrites what was read, within the bound; the value too long to read is
    // kept for a hand to mend, and still refused.
    store("Early", "3");
    EXPECT_LE(QFileInfo(path).size(), platform::settings::kMaxFileBytes);
    EXPECT_EQ(stored("Early"), QStringLiteral("3"));
    EXPECT_TRUE(errorOf([] { stored("Long"); }).contains(path));

    // A file whose lines grow once rewritten (each unquoted comma gains quotes) is cut
    // to the bound, keeping the value just saved.
    QByteArray commas = "[Tallyfold]\n";
    for (int i = 0; commas.size() < platform::settings::kMaxFileBytes - 16; ++i)
        commas += "K" + QByteArray::number(i) + "=,\n";
    writeFile(path, commas);
    store("Saved", "1");
    const qint64 cut = QFileInfo(path).size();
    EXPECT_LE(cut, platform::settings::kMaxFileBytes);
    EXPECT_EQ(stored("Saved"), QStringLiteral("1"));
    EXPECT_EQ(stored("K0"), QStringLiteral(","));
    store("Saved", "2");
    EXPECT_EQ(QFileInfo(path).size(), cut);

    // A pipe in the file's place is never waited on, and a folder never read.
    QFile::remove(path);
    ASSERT_EQ(mkfifo(path.toUtf8().constData(), 0600), 0);
    EXPECT_EQ(stored("Early"), QStringLiteral("<absent>"));
    QFile::remove(path);
    QDir().mkpath(path);
    EXPECT_EQ(stored("Early"), QStringLiteral("<absent>"));
}

TEST(SettingsFile, BinaryJunkDoesNotMakeTheFileGrowAtEverySave)
{
    TestEnvironment env;
    const QString path = platform::settingsFilePath();
    QByteArray junk;
    QRandomGenerator random(9);
    for (int i = 0; i < 20000; ++i)
        junk += char(random.bounded(256));
    writeFile(path, "[Tallyfold]\n" + junk + "\nWindowState=2\n" + junk.left(5000) + "\n[Other]\n" + junk.right(5000));
    store("ColumnHeaders1", "500");
    const qint64 first = QFileInfo(path).size();
    for (int i = 0; i < 5; ++i)
        store("ColumnHeaders1", "600");
    EXPECT_EQ(QFileInfo(path).size(), first);
    EXPECT_EQ(stored("WindowState"), QStringLiteral("2"));
    EXPECT_EQ(stored("ColumnHeaders1"), QStringLiteral("600"));
}

TEST(SettingsFile, ASaveThatCannotBeWrittenFailsNamingTheFileAndChangesNothing)
{
    TestEnvironment env;
    const QString path = platform::settingsFilePath();
    const QString folder = QFileInfo(path).absolutePath();
    store("WindowState", "2");
    const QByteArray before = fileHash(path);
    chmod(folder.toUtf8().constData(), 0555);
    {
        testing_support::PermissionsApply permissions;
        const QString error = errorOf([] { store("WindowState", "0"); });
        EXPECT_TRUE(error.startsWith(QStringLiteral("Path/File access error: cannot save the settings to '") + path))
            << error.toStdString();
        EXPECT_EQ(fileHash(path), before);
        EXPECT_EQ(stored("WindowState"), QStringLiteral("2"));
        // Saving what is stored already writes nothing, so it cannot fail.
        EXPECT_EQ(errorOf([] { store("WindowState", "2"); }), QString());
    }
    chmod(folder.toUtf8().constData(), 0755);

    // A plain file where the folder should be.
    QDir(folder).removeRecursively();
    writeFile(folder, "not a folder");
    EXPECT_TRUE(errorOf([] { store("WindowState", "0"); }).contains(path));
}

TEST(SettingsFile, OnlyItsOwnerMayReadItWhateverItWasBefore)
{
    TestEnvironment env;
    const QString path = platform::settingsFilePath();
    const mode_t before = umask(0);   // the widest the process could make it
    struct Case {
        const char* name;
        std::optional<mode_t> existing;   // the file's mode before the save
    };
    for (const Case& c : {Case{"a new file", std::nullopt}, Case{"one anybody could read", 0644},
                          Case{"one anybody could write", 0666}}) {
        QFile::remove(path);
        if (c.existing) {
            writeFile(path, "[Tallyfold]\nWindowState=1\n");
            chmod(path.toUtf8().constData(), *c.existing);
        }
        store("Ledger", "host=books.example dbname=household");
        struct stat info {};
        ASSERT_EQ(stat(path.toUtf8().constData(), &info), 0) << c.name;
        EXPECT_EQ(info.st_mode & 0777, 0600u) << c.name;
        EXPECT_EQ(stored("Ledger"), QStringLiteral("host=books.example dbname=household")) << c.name;
    }
    umask(before);
}
