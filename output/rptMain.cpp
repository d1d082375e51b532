#include "output/rptMain.h"

namespace output {

namespace {

// The design-time amount format: the dollar sign, then the number. Every run puts the
// user's own pattern in its place.
const QString kDesignAmountFormat = QStringLiteral("$#,##0.00");
constexpr ReportFont kRegular{8.25, false};
constexpr ReportFont kBold{8.25, true};
constexpr ReportFont kTotal{9, true};

ReportControl label(const char* name, int left, int top, int width, const char* caption, ReportFont font)
{
    ReportControl c;
    c.name = QString::fromLatin1(name);
    c.kind = ControlKind::Label;
    c.left = left;
    c.top = top;
    c.width = width;
    c.Caption = QString::fromLatin1(caption);
    c.font = font;
    return c;
}

ReportControl bound(ControlKind kind, const char* name, int left, int top, int width, const char* field,
                    const QString& format, ReportFont font)
{
    ReportControl c = label(name, left, top, width, "", font);
    c.kind = kind;
    c.DataField = QString::fromLatin1(field);
    c.DataFormat.Format = format;
    return c;
}

} // namespace

ReportDefinition rptMainDefinition()
{
    ReportDefinition report;
    report.title = QStringLiteral("DataReport1");
    report.reportWidth = 8505;
    report.leftMargin = report.topMargin = report.rightMargin = report.bottomMargin = 1440;

    report.reportHeader = {QStringLiteral("Section4"), 0, {}};   // holds nothing

    report.pageHeader = {QStringLiteral("Section2"), 360, {
        label("Label2", 0, 0, 567, "Date", kBold),
        label("Label3", 1134, 0, 1134, "Deposit", kBold),
        label("Label4", 2835, 0, 1341, "Withdrawal", kBold),
        label("Label6", 4535, 0, 1081, "Account", kBold),
        label("Label7", 5669, 0, 2683, "Description", kBold),
    }};

    report.detail = {QStringLiteral("Section1"), 330, {
        bound(ControlKind::TextBox, "Text1", 0, 0, 1134, "Date", QStringLiteral("dd MMM yyyy"), kRegular),
        bound(ControlKind::TextBox, "Text2", 1134, 0, 1140, "ValueIN", kDesignAmountFormat, kRegular),
        bound(ControlKind::TextBox, "Text7", 2835, 0, 1440, "ValueOUT", kDesignAmountFormat, kRegular),
        bound(ControlKind::TextBox, "Text4", 4535, 0, 1140, "Account", QString(), kRegular),
        bound(ControlKind::TextBox, "Text5", 5669, 0, 2683, "Description", QString(), kRegular),
    }};

    report.pageFooter = {QStringLiteral("Section3"), 360, {}};

    ReportControl line1 = label("Line1", 0, 60, 8505, "", kRegular);
    line1.kind = ControlKind::Line;
    line1.height = 0;
    report.reportFooter = {QStringLiteral("Section5"), 780, {
        line1,
        label("Label8", 1134, 120, 1125, "Total IN", kBold),
        label("Label9", 2835, 120, 1140, "Total OUT", kBold),
        label("Label10", 4535, 120, 1701, "Balance", kBold),
        bound(ControlKind::Function, "Function1", 1134, 420, 1125, "ValueIN", kDesignAmountFormat, kTotal),
        bound(ControlKind::Function, "Function2", 2835, 420, 1140, "ValueOUT", kDesignAmountFormat, kTotal),
        label("lblBalance", 4535, 420, 1707, "", kTotal),
    }};
    return report;
}

} // namespace output
