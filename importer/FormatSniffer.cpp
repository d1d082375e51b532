#include "importer/FormatSniffer.h"

#include "importer/TextDecoding.h"

namespace importer {

namespace {

const QString kNotAStatement = QStringLiteral("The file is not a statement: it is not text in any of the formats "
                                              "read here (OFX, QFX, QIF, CSV, CAMT.053).");

// Control characters other than tab, line breaks and form feed mark a binary file; so do
// the byte sequences that start archives, documents and pictures.
bool looksBinary(const QByteArray& head)
{
    if (head.startsWith("%PDF") || head.startsWith("PK\x03\x04") || head.startsWith("\xD0\xCF\x11\xE0")
        || head.startsWith("\x89PNG") || head.startsWith("\xFF\xD8\xFF") || head.startsWith("\x1F\x8B"))
        return true;
    qsizetype control = 0;
    for (const char c : head) {
        const auto u = static_cast<unsigned char>(c);
        if (u == 0)
            return true;
        if (u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f' && u != 0x1A)
            ++control;
    }
    return control * 100 > head.size();
}

} // namespace

Sniffed sniffFormat(const QByteArray& head, const QString& fileName)
{
    if (head.isEmpty())
        return {Format::Unknown, QStringLiteral("The file is empty.")};
    QByteArray text = head;
    // UTF-16 text: look at it as the ASCII it mostly is.
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF"))
        text = decodeText(head).text.toUtf8();
    else if (looksBinary(head))
        return {Format::Unknown, kNotAStatement};
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    const QByteArray trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {Format::Unknown, QStringLiteral("The file is empty.")};
    const QByteArray upper = trimmed.left(4096).toUpper();
    if (upper.startsWith("OFXHEADER") || upper.contains("<OFX>") || upper.contains("<?OFX"))
        return {Format::Ofx, {}};
    if (upper.startsWith("<?XML") || upper.startsWith("<DOCUMENT")) {
        if (trimmed.left(4096).contains("camt.05"))
            return {Format::Camt, {}};
        return {Format::Unknown, QStringLiteral("The file is XML, but neither OFX nor an ISO 20022 account "
                                                "statement (camt.053).")};
    }
    if (upper.startsWith("!TYPE") || upper.startsWith("!ACCOUNT") || upper.startsWith("!OPTION")
        || upper.startsWith("!CLEAR"))
        return {Format::Qif, {}};
    const QString suffix = fileName.section(u'.', -1).toLower();
    if (suffix == u"ofx" || suffix == u"qfx")
        return {Format::Ofx, {}};   // the reader says what is wrong with it
    if (suffix == u"qif")
        return {Format::Qif, {}};
    if (suffix == u"xml")
        return {Format::Camt, {}};
    return {Format::Csv, {}};
}

} // namespace importer
