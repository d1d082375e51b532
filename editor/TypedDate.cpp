#include "editor/TypedDate.h"

#include "platform/Conversions.h"

#include <QRegularExpression>

namespace editor {

namespace {

// The shown form with single letters for the day and the month: Qt then reads one
// digit or two, and nothing else, for each.
QString readingFormat(const QLocale& locale)
{
    QString format = dateFormat(locale);
    static const QRegularExpression twoDays(QStringLiteral("(?<!d)dd(?!d)"));
    static const QRegularExpression twoMonths(QStringLiteral("(?<!M)MM(?!M)"));
    format.replace(twoDays, QStringLiteral("d"));
    format.replace(twoMonths, QStringLiteral("M"));
    return format;
}

} // namespace

QString dateFormat(const QLocale& locale)
{
    return platform::shortDateFormat(locale);
}

QString dateFormatHint(const QLocale& locale)
{
    QString hint = dateFormat(locale);
    for (const QChar letter : {u'd', u'y'})
        hint.replace(letter, letter.toUpper());
    return hint;
}

QDate typedDate(const QString& text, const QLocale& locale)
{
    const QDate date = locale.toDate(text.trimmed(), readingFormat(locale));
    return date.isValid() && date >= kFirstDate && date <= kLastDate ? date : QDate();
}

QString dateRefusal(const QString& text, const QLocale& locale)
{
    if (typedDate(text, locale).isValid())
        return {};
    const QString example = locale.toString(QDate(2026, 11, 15), dateFormat(locale));
    if (text.trimmed().isEmpty())
        return QStringLiteral("Type the date as %1, for example %2.").arg(dateFormatHint(locale), example);
    return QStringLiteral("\"%1\" is no date: type it as %2, for example %3, with the year in full.")
        .arg(text.trimmed(), dateFormatHint(locale), example);
}

} // namespace editor
