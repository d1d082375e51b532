#include "platform/IniText.h"

#include <QHash>
#include <QStringDecoder>

namespace platform::ini {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t'; }

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isSpace(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isSpace(text.back()))
        text.chop(1);
    return text;
}

// Section names and keys are plain names: letters, digits, "_", "-" and ".".
bool isPlainName(QByteArrayView name)
{
    if (name.isEmpty())
        return false;
    for (const char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'
              || c == '.'))
            return false;
    }
    return true;
}

void appendCode(QString& out, char32_t code)
{
    if (code <= 0xFFFF)
        out += QChar(char16_t(code));   // lone surrogates too: they round-trip as escapes
    else if (code <= 0x10FFFF)
        out += QString::fromUcs4(&code, 1);
    else
        out += QChar::ReplacementCharacter;
}

// A value's text: quotes group, backslash escapes, an unquoted ";" ends it, and
// unquoted spaces at its ends go.
QString unescapedValue(QByteArrayView raw)
{
    static const struct { char code; char16_t value; } kEscapes[] = {
        {'a', u'\a'}, {'b', u'\b'}, {'f', u'\f'}, {'n', u'\n'}, {'r', u'\r'}, {'t', u'\t'},
        {'v', u'\v'}, {'"', u'"'}, {'?', u'?'}, {'\'', u'\''}, {'\\', u'\\'},
    };
    // A byte order mark at the start of a value is a character of the value; the one
    // at the start of the file is dropped before the lines are read.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString out;
    qsizetype i = 0;
    const qsizetype n = raw.size();
    while (i < n && isSpace(raw[i]))
        ++i;
    bool inQuotes = false;
    bool quoted = false;
    qsizetype keep = 0;   // characters from escapes are never trimmed
    while (i < n) {
        const char c = raw[i];
        if (c == '\\') {
            if (++i >= n)
                break;
            const char e = raw[i++];
            bool known = false;
            for (const auto& escape : kEscapes) {
                if (e == escape.code) {
                    out += QChar(escape.value);
                    known = true;
                    break;
                }
            }
            if (!known && e == 'x' && i < n && hexValue(raw[i]) >= 0) {
                char32_t code = 0;
                for (; i < n && hexValue(raw[i]) >= 0; ++i)
                    code = code > 0x10FFFF ? code : code * 16 + char32_t(hexValue(raw[i]));
                appendCode(out, code);
            } else if (!known && e >= '0' && e <= '7') {
                char32_t code = char32_t(e - '0');
                for (; i < n && raw[i] >= '0' && raw[i] <= '7'; ++i)
                    code = code > 0x10FFFF ? code : code * 8 + char32_t(raw[i] - '0');
                appendCode(out, code);
            }
            // Any other escaped character is dropped with its backslash.
            keep = out.size();
        } else if (c == '"') {
            inQuotes = !inQuotes;
            quoted = true;
            ++i;
            if (!inQuotes) {
                while (i < n && isSpace(raw[i]))
                    ++i;
            }
        } else if (c == ';' && !inQuotes) {
            break;
        } else {
            qsizetype j = i + 1;
            while (j < n && raw[j] != '\\' && raw[j] != '"' && (inQuotes || raw[j] != ';'))
                ++j;
            out += utf8(raw.sliced(i, j - i));
            i = j;
        }
    }
    if (!quoted) {
        qsizetype end = out.size();
        while (end > keep && (out[end - 1] == u' ' || out[end - 1] == u'\t'))
            --end;
        out.truncate(end);
    }
    // "@@" is how a text starting with "@" is written, "@String(...)" how one holding
    // a NUL is; every other "@" form is taken as the text it is.
    if (out.startsWith(QStringLiteral("@@")))
        return out.mid(1);
    if (out.startsWith(QStringLiteral("@String(")) && out.endsWith(u')'))
        return out.mid(8, out.size() - 9);
    return out;
}

void appendEscapedValue(QByteArray& out, const QString& value)
{
    const qsizetype start = out.size();
    bool needsQuotes = false;
    bool escapeNextIfHex = false;
    const QString text = value.startsWith(u'@') ? u'@' + value : value;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u';' || c == u',' || c == u'=')
            needsQuotes = true;
        if (escapeNextIfHex && c < 128 && hexValue(char(c)) >= 0) {
            out += "\\x" + QByteArray::number(c, 16);
            continue;
        }
        escapeNextIfHex = false;
        switch (c) {
        case u'\0': out += "\\0"; escapeNextIfHex = true; break;
        case u'\a': out += "\\a"; break;
        case u'\b': out += "\\b"; break;
        case u'\f': out += "\\f"; break;
        case u'\n': out += "\\n"; break;
        case u'\r': out += "\\r"; break;
        case u'\t': out += "\\t"; break;
        case u'\v': out += "\\v"; break;
        case u'"': out += "\\\""; break;
        case u'\\': out += "\\\\"; break;
        default:
            if (c <= 0x1F) {
                out += "\\x" + QByteArray::number(c, 16);
                escapeNextIfHex = true;
            } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                out += QStringView(text).sliced(i, 2).toUtf8();
                ++i;
            } else if (QChar::isSurrogate(c)) {
                // UTF-8 cannot carry half a pair; the escape keeps it.
                out += "\\x" + QByteArray::number(c, 16);
                escapeNextIfHex = true;
            } else {
                out += QStringView(text).sliced(i, 1).toUtf8();
            }
        }
    }
    if (needsQuotes || (out.size() > start && (out[start] == ' ' || out.back() == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

} // namespace

std::vector<Entry> parse(QByteArrayView text)
{
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    std::vector<Entry> entries;
    // Where each section/key is, so a file of many lines reads in one pass.
    QHash<std::pair<QString, QString>, size_t> seen;
    QString section;
    bool inJunk = false;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        const QByteArrayView line = trimmed(text.sliced(pos, end - pos));
        pos = end + 1;
        if (line.isEmpty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            // A section header that is no plain name starts a section of junk.
            const QByteArrayView name = line.back() == ']' ? trimmed(line.sliced(1, line.size() - 2)) : QByteArrayView();
            inJunk = !isPlainName(name);
            section = name.compare("General", Qt::CaseInsensitive) == 0 ? QString() : QString::fromLatin1(name);
            continue;
        }
        if (inJunk)
            continue;
        // The key ends at the first "=" outside quotes.
        qsizetype equals = -1;
        bool inQuotes = false;
        for (qsizetype i = 0; i < line.size() && equals < 0; ++i) {
            if (line[i] == '\\')
                ++i;
            else if (line[i] == '"')
                inQuotes = !inQuotes;
            else if (line[i] == '=' && !inQuotes)
                equals = i;
            else if (line[i] == ';' && !inQuotes)
                break;
        }
        if (equals <= 0 || !isPlainName(trimmed(line.first(equals))))
            continue;
        QString key = QString::fromLatin1(trimmed(line.first(equals)));
        QString value = unescapedValue(line.sliced(equals + 1));
        const std::pair<QString, QString> name{section, key};
        if (const auto at = seen.constFind(name); at != seen.constEnd()) {
            entries[*at].value = std::move(value);
        } else {
            seen.insert(name, entries.size());
            entries.push_back({section, std::move(key), std::move(value)});
        }
    }
    return entries;
}

QByteArray write(const std::vector<Entry>& entries)
{
    // Sections in order of first appearance, each with its entries in order.
    QStringList sections;
    QHash<QString, std::vector<const Entry*>> bySection;
    for (const Entry& e : entries) {
        auto at = bySection.find(e.section);
        if (at == bySection.end()) {
            sections << e.section;
            at = bySection.insert(e.section, {});
        }
        at->push_back(&e);
    }
    QByteArray out;
    for (const QString& section : sections) {
        if (!out.isEmpty())
            out += '\n';
        out += '[' + (section.isEmpty() ? QByteArray("General") : section.toLatin1()) + "]\n";
        for (const Entry* e : bySection.value(section)) {
            out += e->key.toLatin1() + '=';
            appendEscapedValue(out, e->value);
            out += '\n';
        }
    }
    return out;
}

void set(std::vector<Entry>& entries, const QString& section, const QString& key, const QString& value)
{
    for (Entry& e : entries) {
        if (e.section == section && e.key == key) {
            e.value = value;
            return;
        }
    }
    entries.push_back({section, key, value});
}

const Entry* find(const std::vector<Entry>& entries, const QString& section, const QString& key)
{
    for (const Entry& e : entries) {
        if (e.section == section && e.key == key)
            return &e;
    }
    return nullptr;
}

} // namespace platform::ini
