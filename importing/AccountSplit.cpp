#include "importing/AccountSplit.h"

#include <QHash>

namespace importing {

namespace {

// One markup tag: where it lies and its name without any namespace prefix.
struct Tag {
    qsizetype start = 0;
    qsizetype end = 0;   // after its '>'
    QByteArray name;
    bool closing = false;
};

// Walks the tags of SGML or XML text, stepping over comments and CDATA, whose contents
// are text and never a statement's edge.
class Tags {
public:
    Tags(const QByteArray& bytes, bool foldCase) : m_bytes(bytes), m_fold(foldCase) {}

    bool next(Tag& tag)
    {
        for (;;) {
            const qsizetype open = m_bytes.indexOf('<', m_at);
            if (open < 0)
                return false;
            if (skip(open, "<!--", "-->") || skip(open, "<![CDATA[", "]]>"))
                continue;
            const qsizetype close = m_bytes.indexOf('>', open);
            if (close < 0)
                return false;
            m_at = close + 1;
            qsizetype from = open + 1;
            tag.closing = from < close && m_bytes.at(from) == '/';
            from += tag.closing;
            qsizetype to = from;
            while (to < close && !QChar::isSpace(uchar(m_bytes.at(to))) && m_bytes.at(to) != '/')
                ++to;
            QByteArray name = m_bytes.mid(from, to - from);
            if (const qsizetype colon = name.indexOf(':'); colon >= 0)
                name = name.mid(colon + 1);
            tag.name = m_fold ? name.toUpper() : name;
            tag.start = open;
            tag.end = close + 1;
            return true;
        }
    }

    // The text after the last tag, up to the next one.
    QString value() const
    {
        const qsizetype next = m_bytes.indexOf('<', m_at);
        return QString::fromUtf8(m_bytes.mid(m_at, (next < 0 ? m_bytes.size() : next) - m_at)).simplified();
    }

private:
    bool skip(qsizetype open, const char* start, const char* stop)
    {
        if (!m_bytes.mid(open, qsizetype(qstrlen(start))).startsWith(start))
            return false;
        const qsizetype end = m_bytes.indexOf(stop, open);
        m_at = end < 0 ? m_bytes.size() : end + qsizetype(qstrlen(stop));
        return true;
    }

    const QByteArray& m_bytes;
    bool m_fold;
    qsizetype m_at = 0;
};

struct Block {
    qsizetype start = 0;
    qsizetype end = 0;
    QString id;
    QString type;
};

QList<Block> ofxBlocks(const QByteArray& bytes)
{
    QList<Block> blocks;
    Tags tags(bytes, true);
    Tag tag;
    Block* open = nullptr;
    while (tags.next(tag)) {
        const bool statement = tag.name == "STMTRS" || tag.name == "CCSTMTRS";
        if (statement && !tag.closing) {
            if (open)
                open->end = tag.start;   // one left unclosed ends where the next begins
            blocks.append({tag.start, bytes.size(), {}, tag.name == "CCSTMTRS" ? QStringLiteral("CREDITCARD") : QString()});
            open = &blocks.last();
        } else if (statement && open) {
            open->end = tag.end;
            open = nullptr;
        } else if (open && !tag.closing && tag.name == "ACCTID" && open->id.isEmpty()) {
            open->id = tags.value();   // the first is the statement's own; a transfer's comes later
        } else if (open && !tag.closing && tag.name == "ACCTTYPE" && open->type.isEmpty()) {
            open->type = tags.value();
        }
    }
    return blocks;
}

QList<Block> camtBlocks(const QByteArray& bytes)
{
    QList<Block> blocks;
    Tags tags(bytes, false);
    Tag tag;
    Block* open = nullptr;
    int inAccount = 0;
    bool inOther = false;
    QString code, name;
    while (tags.next(tag)) {
        if (tag.name == "Stmt") {
            if (!tag.closing) {
                if (open)
                    open->end = tag.start;
                blocks.append({tag.start, bytes.size(), {}, {}});
                open = &blocks.last();
                code.clear();
                name.clear();
            } else if (open) {
                open->end = tag.end;
                open->type = code.isEmpty() ? name : code;
                open = nullptr;
            }
        } else if (open && tag.name == "Acct") {
            inAccount += tag.closing ? -1 : 1;
        } else if (open && inAccount > 0 && !tag.closing) {
            if (tag.name == "IBAN" && open->id.isEmpty())
                open->id = tags.value();
            else if (tag.name == "Id" && inOther && open->id.isEmpty())
                open->id = tags.value();
            else if (tag.name == "Cd" && code.isEmpty())
                code = tags.value();
            else if (tag.name == "Nm" && name.isEmpty())
                name = tags.value();
        }
        if (open && inAccount > 0 && tag.name == "Othr")
            inOther = !tag.closing;
    }
    return blocks;
}

// The file with the blocks of other accounts reduced to their line breaks.
QByteArray keeping(const QByteArray& bytes, const QList<Block>& blocks, const QString& id)
{
    QByteArray out;
    out.reserve(bytes.size());
    qsizetype at = 0;
    for (const Block& block : blocks) {
        if (block.id == id)
            continue;
        out.append(QByteArrayView(bytes).sliced(at, block.start - at));
        out += QByteArray(bytes.mid(block.start, block.end - block.start).count('\n'), '\n');
        at = block.end;
    }
    out.append(QByteArrayView(bytes).sliced(at));
    return out;
}

} // namespace

QList<AccountPart> accountParts(const QByteArray& bytes, importer::Format format)
{
    QList<Block> blocks;
    if (format == importer::Format::Ofx)
        blocks = ofxBlocks(bytes);
    else if (format == importer::Format::Camt)
        blocks = camtBlocks(bytes);
    QList<AccountPart> parts;
    QHash<QString, qsizetype> partOf;
    for (const Block& block : std::as_const(blocks)) {
        if (partOf.contains(block.id))
            continue;
        partOf.insert(block.id, parts.size());
        parts.append({block.id, block.type, {}});
    }
    if (parts.size() <= 1 || partOf.contains(QString()))
        return {{parts.value(0).id, parts.value(0).type, bytes}};
    for (AccountPart& part : parts)
        part.bytes = keeping(bytes, blocks, part.id);
    return parts;
}

} // namespace importing
