#pragma once
// Turning a text statement's bytes into text: a byte-order mark decides (UTF-8, UTF-16),
// else bytes that are valid UTF-8 are UTF-8, else the file is windows-1252, which is what
// banks' "ANSI" exports are (ISO-8859-15 differs from it only in rarely used signs, and
// can be asked for by name). A UTF-8 file with a few stray bytes (an export cut and
// joined, one line pasted from elsewhere) is still UTF-8: it is the stray bytes, not the
// whole file, that read wrong, so they become U+FFFD and the lines holding them are named.

#include <QByteArray>
#include <QList>
#include <QString>

namespace importer {

struct DecodedText {
    QString text;
    QString encoding;   // "UTF-8", "UTF-16LE", "UTF-16BE", "windows-1252", "ISO-8859-15"
    // UTF-8 only: the lines (1-based, the first few) holding bytes that are not UTF-8,
    // each of which became U+FFFD, and how many lines hold such bytes in all.
    QList<int> replacedLines;
    qsizetype replacedLineCount = 0;
    // A note for the user naming those lines; "" when every byte was read.
    QString replacementNote() const;
};

// `encoding` "" finds the encoding from the bytes; a name above reads them in it.
DecodedText decodeText(const QByteArray& bytes, const QString& encoding = {});

// Whether `bytes` is well-formed UTF-8 (no overlong forms, no surrogates).
bool isUtf8(const QByteArray& bytes);

} // namespace importer
