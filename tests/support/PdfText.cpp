#include "tests/support/PdfText.h"

#include <QProcess>
#include <QRegularExpression>

namespace testing_support {

QStringList pdfPages(const QString& path)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                                  QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!pdftotext.waitForFinished(60000) || pdftotext.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(pdftotext.readAllStandardOutput()).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();   // the form feed after the last page
    return pages;
}

QStringList pageLines(const QString& page)
{
    static const QRegularExpression spaces(QStringLiteral(" {2,}"));
    QStringList lines;
    for (QString line : page.split(u'\n')) {
        line = line.trimmed().replace(spaces, QStringLiteral(" "));
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}

} // namespace testing_support
