#pragma once
// A banded report as data: its bands and their controls, placed in twips, as the report
// engine draws them. A report is one definition handed to the one engine; a second report
// would be a second definition.

#include <QString>
#include <vector>

namespace output {

enum class ControlKind {
    Label,      // fixed text: its Caption
    TextBox,    // the value of DataField in the current row
    Function,   // the sum of DataField over all rows
    Line,       // a horizontal rule
};

// The format a value is shown with: a date format ("dd MMM yyyy") for dates, a
// number-format pattern ("$#,##0.00") for numbers; empty shows the plain value.
struct ReportDataFormat {
    QString Format;
};

struct ReportFont {
    double points = 8.25;
    bool bold = false;
};

struct ReportControl {
    QString name;
    ControlKind kind = ControlKind::Label;
    int left = 0, top = 0, width = 0, height = 240;   // twips, within the band
    QString Caption;
    QString DataField;   // bound without regard to case
    ReportDataFormat DataFormat;
    ReportFont font;
};

struct ReportSection {
    QString name;
    int height = 0;   // twips
    std::vector<ReportControl> controls;

    // The control of that name (any case); throws the report's "not found" error.
    ReportControl& Controls(const QString& name);
    const ReportControl& Controls(const QString& name) const;
};

struct ReportDefinition {
    QString title;
    int reportWidth = 8505;   // twips
    int leftMargin = 1440, topMargin = 1440, rightMargin = 1440, bottomMargin = 1440;
    ReportSection reportHeader;   // once, at the top of the first page
    ReportSection pageHeader;     // at the top of every page
    ReportSection detail;         // once for every row
    ReportSection pageFooter;     // at the bottom of every page
    ReportSection reportFooter;   // once, after the last row

    // The band of that name (any case); throws the report's "not found" error.
    ReportSection& Sections(const QString& name);
    const ReportSection& Sections(const QString& name) const;

    // Every band in printing order.
    std::vector<const ReportSection*> sections() const;
    // The fields the text boxes and functions bind, each once, as first written.
    std::vector<QString> boundFields() const;
};

} // namespace output
