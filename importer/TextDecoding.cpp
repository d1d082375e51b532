#include "importer/TextDecoding.h"

#include <QStringDecoder>
#include <QStringList>

#include <array>

namespace importer {

namespace {

// windows-1252's 0x80..0x9F; the five bytes it leaves unassigned read as Latin-1 does.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        *out++ = (u >= 0x80 && u < 0xA0) ? QChar(kWindows1252High[u - 0x80]) : QChar(u);
    }
    return text;
}

QString fromIso885915(const QByteArray& bytes)
{
    QString text = QString::fromLatin1(bytes);
    for (QChar& c : text) {
        switch (c.unicode()) {
        case 0xA4: c = QChar(0x20AC); break;
        case 0xA6: c = QChar(0x0160); break;
        case 0xA8: c = QChar(0x0161); break;
        case 0xB4: c = QChar(0x017D); break;
        case 0xB8: c = QChar(0x017E); break;
        case 0xBC: c = QChar(0x0152); break;
        case 0xBD: c = QChar(0x0153); break;
        case 0xBE: c = QChar(0x0178); break;
        default: break;
        }
    }
    return text;
}

// What a look through bytes as UTF-8 finds: characters of more than one byte, and
// sequences that are not UTF-8 (no overlong forms, no surrogates) with their lines.
struct Utf8Scan {
    qsizetype multibyte = 0;
    qsizetype badSequences = 0;
    QList<int> badLines;        // the first kNamedLines
    qsizetype badLineCount = 0;
};

constexpr qsizetype kNamedLines = 5;

// The length of the well-formed UTF-8 character at p (1 to 4), or 0 when none starts there.
int utf8Length(const unsigned char* p, const unsigned char* end)
{
    const unsigned char c = *p;
    if (c < 0x80)
        return 1;
    int more = 0;
    unsigned min = 0, code = 0;
    if ((c & 0xE0) == 0xC0) more = 1, min = 0x80, code = c & 0x1F;
    else if ((c & 0xF0) == 0xE0) more = 2, min = 0x800, code = c & 0x0F;
    else if ((c & 0xF8) == 0xF0) more = 3, min = 0x10000, code = c & 0x07;
    else return 0;
    if (end - p <= more)
        return 0;
    for (int i = 1; i <= more; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return more + 1;
}

Utf8Scan scanUtf8(const QByteArray& bytes, bool stopAtFirstBad = false)
{
    Utf8Scan scan;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* end = p + bytes.size();
    int line = 1, lastBadLine = 0;
    while (p < end) {
        const int length = utf8Length(p, end);
        if (length == 0) {
            ++scan.badSequences;
            if (stopAtFirstBad)
                return scan;
            if (line != lastBadLine) {
                lastBadLine = line;
                if (scan.badLineCount++ < kNamedLines)
                    scan.badLines.append(line);
            }
            ++p;
            continue;
        }
        line += *p == '\n';
        scan.multibyte += length > 1;
        p += length;
    }
    return scan;
}

DecodedText textIn(const QString& text, const QString& encoding)
{
    DecodedText decoded;
    decoded.text = text;
    decoded.encoding = encoding;
    return decoded;
}

// UTF-8, each byte that is not part of a character read as U+FFFD, its lines kept.
DecodedText fromUtf8(const QByteArray& bytes, const Utf8Scan& scan)
{
    DecodedText decoded = textIn(QString::fromUtf8(bytes), QStringLiteral("UTF-8"));
    decoded.replacedLines = scan.badLines;
    decoded.replacedLineCount = scan.badLineCount;
    return decoded;
}

QString decodeWith(QStringDecoder::Encoding encoding, const QByteArray& bytes)
{
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

} // namespace

bool isUtf8(const QByteArray& bytes)
{
    return scanUtf8(bytes, true).badSequences == 0;
}

QString DecodedText::replacementNote() const
{
    if (replacedLines.isEmpty())
        return {};
    QStringList named;
    for (const int line : replacedLines)
        named.append(QString::number(line));
    const qsizetype more = replacedLineCount - replacedLines.size();
    QString lines;
    if (named.size() == 1)
        lines = QStringLiteral("Line ") + named.first() + QStringLiteral(" holds");
    else if (more > 0)
        lines = QStringLiteral("Lines %1 and %2 more hold").arg(named.join(QStringLiteral(", "))).arg(more);
    else
        lines = QStringLiteral("Lines %1 and %2 hold").arg(named.mid(0, named.size() - 1).join(QStringLiteral(", ")),
                                                          named.last());
    return lines + QStringLiteral(" bytes that are not UTF-8, in a file that otherwise is; they were read as "
                                  "\"\uFFFD\". Check those rows' descriptions.");
}

DecodedText decodeText(const QByteArray& bytes, const QString& encoding)
{
    if (encoding.isEmpty()) {
        if (bytes.startsWith("\xEF\xBB\xBF")) {
            const QByteArray body = bytes.mid(3);
            return fromUtf8(body, scanUtf8(body));
        }
        if (bytes.startsWith("\xFF\xFE"))
            return textIn(decodeWith(QStringDecoder::Utf16LE, bytes.mid(2)), QStringLiteral("UTF-16LE"));
        if (bytes.startsWith("\xFE\xFF"))
            return textIn(decodeWith(QStringDecoder::Utf16BE, bytes.mid(2)), QStringLiteral("UTF-16BE"));
        // A windows-1252 file's letters are single bytes that almost never happen to
        // form UTF-8 characters: a file with at least as many real UTF-8 characters as
        // stray bytes is UTF-8 with a few stray bytes, not the other way round.
        const Utf8Scan scan = scanUtf8(bytes);
        if (scan.badSequences == 0 || (scan.multibyte > 0 && scan.multibyte >= scan.badSequences))
            return fromUtf8(bytes, scan);
        return textIn(fromWindows1252(bytes), QStringLiteral("windows-1252"));
    }
    if (encoding.compare(u"windows-1252", Qt::CaseInsensitive) == 0)
        return textIn(fromWindows1252(bytes), QStringLiteral("windows-1252"));
    if (encoding.compare(u"ISO-8859-15", Qt::CaseInsensitive) == 0)
        return textIn(fromIso885915(bytes), QStringLiteral("ISO-8859-15"));
    if (encoding.startsWith(u"UTF-16", Qt::CaseInsensitive)) {
        const bool little = !encoding.endsWith(u"BE", Qt::CaseInsensitive);
        QByteArray body = bytes;
        if (body.startsWith("\xFF\xFE") || body.startsWith("\xFE\xFF"))
            body.remove(0, 2);
        return textIn(decodeWith(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE, body),
                      little ? QStringLiteral("UTF-16LE") : QStringLiteral("UTF-16BE"));
    }
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    return fromUtf8(body, scanUtf8(body));
}

} // namespace importer
