#pragma once
// The settings file's text: INI lines as QSettings writes them, read and written here
// without QSettings, so that no value is ever taken for a serialized object
// ("@Variant(...)", "@ByteArray(...)") or split into a list at its commas. A value is
// one text; QSettings' text escapes are kept both ways:
//   [Tallyfold]                      a section; keys before any section, or under
//                                    [General], belong to none
//   Key=text                         spaces around the text are dropped...
//   Key=" text, with ; and = "       ...unless it is quoted; ;, = and edge spaces are
//   Key=\t \n \\ \" \x20ac \0        escapes; a value starting with @ is written @@
//   ; comment                        an unquoted ; ends the line
// Section names and keys are plain names (letters, digits, _ - .). Lines end at every
// line break; a line that is no section and no Key=value, or that lies in a section
// whose name is no plain name, is junk and is dropped, so a rewrite never carries junk
// along.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <vector>

namespace platform::ini {

// One value of the file; section "" is the General section.
struct Entry {
    QString section;
    QString key;
    QString value;
    bool operator==(const Entry&) const = default;
};

// The entries of an INI text in file order; a key given twice in a section keeps its
// first place and its last value.
std::vector<Entry> parse(QByteArrayView text);
// The text of the entries, sections in order of first appearance, each key once.
QByteArray write(const std::vector<Entry>& entries);

// Sets section/key to value, keeping the entry's place, or adds it at the end. Both
// names must be plain.
void set(std::vector<Entry>& entries, const QString& section, const QString& key, const QString& value);
// The entry for section/key, or nullptr.
const Entry* find(const std::vector<Entry>& entries, const QString& section, const QString& key);

} // namespace platform::ini
