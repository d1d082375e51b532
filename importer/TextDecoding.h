#pragma once
// Turning a text statement's bytes into text: a byte-order mark decides (UTF-8, UTF-16),
// else bytes that are valid UTF-8 are UTF-8, else the file is windows-1252, which is what
// banks' "ANSI" exports are (ISO-8859-15 differs from it only in rarely used signs, and
// can be asked for by name).

#include <QByteArray>
#include <QString>

namespace importer {

struct DecodedText {
    QString text;
    QString encoding;   // "UTF-8", "UTF-16LE", "UTF-16BE", "windows-1252", "ISO-8859-15"
};

// `encoding` "" finds the encoding from the bytes; a name above reads them in it.
DecodedText decodeText(const QByteArray& bytes, const QString& encoding = {});

// Whether `bytes` is well-formed UTF-8 (no overlong forms, no surrogates).
bool isUtf8(const QByteArray& bytes);

} // namespace importer
