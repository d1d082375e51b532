#pragma once
// The report engine: a definition and its rows laid out on pages of one paper size, and
// any one page drawn on demand. Every band has a fixed height, so where a row falls is
// arithmetic: paging a million rows costs nothing, and showing page 2,000 draws only
// page 2,000.
//
// A page holds, from the top margin down: the report header (first page only), the
// page header, as many detail bands as fit above the page footer, and the page footer
// at the bottom margin. The report footer follows the last detail band, on a page of
// its own (with its page header and footer) when it does not fit below it.
//
// Text is set in the controls' fonts, Arial or its metric twin. A value that is a
// number or a date, a sum and a label is never cut: when it is wider than its box it
// runs on into the free space to the right of the box (up to the next control on the
// band, or the report's right edge), and only when that is not enough is its font made
// smaller until it fits. Other text cut at its box's edge ends in "…".

#include "output/ReportData.h"
#include "output/ReportDefinition.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageSize>
#include <QRectF>

class QPainter;

namespace output {

// The paper of the user's country: Letter where the US measurement system is in use,
// A4 everywhere else.
QPageSize localePageSize(const QLocale& locale = QLocale());

// A value as a report control shows it with format: dates in the format's pattern with
// English month names whatever the user's language ("05 Mar 2021"), numbers with the
// number-format pattern in the user's separators, and without a format the plain value.
QString reportText(const QVariant& value, const QString& format);

// The font a control is drawn in, sized in twips for a painter that draws in twips.
QFont reportFont(const ReportFont& font);

// Text fitted into a box as the engine draws it (see above). freeWidth is the distance
// from the box's left to the next control on its lines; text that runs on or is cut
// keeps a gutter of kGutter twips before it.
constexpr double kGutter = 60;
struct FittedText {
    QString text;
    QFont font;
    double width = 0;   // of the space the text may take, in twips
};
FittedText fitText(const QString& text, bool whole, const QFont& font, double boxWidth, double freeWidth);

class ReportDocument {
public:
    // definition and rows must outlive the document.
    ReportDocument(const ReportDefinition& definition, const ReportRows& rows, const QPageSize& pageSize);

    int pageCount() const { return m_pageCount; }
    const QPageSize& pageSize() const { return m_pageSize; }
    QSizeF paperTwips() const { return m_paper; }

    // Draws page (0-based) with painter, whose unit must be one twip and whose origin
    // the paper's top-left corner.
    void paintPage(QPainter& painter, int page) const;

    // The rows page holds, as [first, end); the page the report footer is on.
    std::pair<qsizetype, qsizetype> rowsOn(int page) const;
    int reportFooterPage() const { return m_pageCount - 1; }

private:
    struct Placed {
        const ReportControl* control;
        QFont font;
        double freeWidth;   // from the control's left to the next control or the report's edge
        int field;          // in the rows, for text boxes and functions; -1 otherwise
    };
    using Band = std::vector<Placed>;
    Band place(const ReportSection& section) const;
    void paintBand(QPainter& painter, const Band& band, double top, qsizetype row) const;
    // What a control shows for a row, and whether it is a value never to be cut.
    struct Shown {
        QString text;
        bool whole = true;
    };
    Shown shown(const Placed& placed, qsizetype row) const;

    const ReportDefinition& m_definition;
    const ReportRows& m_rows;
    QPageSize m_pageSize;
    QSizeF m_paper;
    Band m_reportHeader, m_pageHeader, m_detail, m_pageFooter, m_reportFooter;
    // Paging.
    qsizetype m_firstRows = 0;   // detail rows on the first page
    qsizetype m_rowsPerPage = 0; // on each later page
    int m_pageCount = 1;
    double m_footerTop = 0;      // where the report footer starts on its page
};

} // namespace output
