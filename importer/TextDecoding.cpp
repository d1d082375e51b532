#include "importer/TextDecoding.h"

#include <QStringDecoder>

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

QString decodeWith(QStringDecoder::Encoding encoding, const QByteArray& bytes)
{
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

} // namespace

bool isUtf8(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int more = 0;
        unsigned min = 0, code = 0;
        if ((c & 0xE0) == 0xC0) more = 1, min = 0x80, code = c & 0x1F;
        else if ((c & 0xF0) == 0xE0) more = 2, min = 0x800, code = c & 0x0F;
        else if ((c & 0xF8) == 0xF0) more = 3, min = 0x10000, code = c & 0x07;
        else return false;
        if (end - p <= more)
            return false;
        for (int i = 1; i <= more; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        p += more + 1;
    }
    return true;
}

DecodedText decodeText(const QByteArray& bytes, const QString& encoding)
{
    if (encoding.isEmpty()) {
        if (bytes.startsWith("\xEF\xBB\xBF"))
            return {QString::fromUtf8(bytes.mid(3)), QStringLiteral("UTF-8")};
        if (bytes.startsWith("\xFF\xFE"))
            return {decodeWith(QStringDecoder::Utf16LE, bytes.mid(2)), QStringLiteral("UTF-16LE")};
        if (bytes.startsWith("\xFE\xFF"))
            return {decodeWith(QStringDecoder::Utf16BE, bytes.mid(2)), QStringLiteral("UTF-16BE")};
        if (isUtf8(bytes))
            return {QString::fromUtf8(bytes), QStringLiteral("UTF-8")};
        return {fromWindows1252(bytes), QStringLiteral("windows-1252")};
    }
    if (encoding.compare(u"windows-1252", Qt::CaseInsensitive) == 0)
        return {fromWindows1252(bytes), QStringLiteral("windows-1252")};
    if (encoding.compare(u"ISO-8859-15", Qt::CaseInsensitive) == 0)
        return {fromIso885915(bytes), QStringLiteral("ISO-8859-15")};
    if (encoding.startsWith(u"UTF-16", Qt::CaseInsensitive)) {
        const bool little = !encoding.endsWith(u"BE", Qt::CaseInsensitive);
        QByteArray body = bytes;
        if (body.startsWith("\xFF\xFE") || body.startsWith("\xFE\xFF"))
            body.remove(0, 2);
        return {decodeWith(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE, body),
                little ? QStringLiteral("UTF-16LE") : QStringLiteral("UTF-16BE")};
    }
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    return {QString::fromUtf8(body), QStringLiteral("UTF-8")};
}

} // namespace importer
