#include "output/ReportDocument.h"

#include "currency/AmountFormat.h"
#include "platform/Conversions.h"

#include <QDateTime>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace output {

namespace {

constexpr double kTwipsPerPoint = 20;
constexpr double kLineWidth = 15;   // one pixel on a 96-dpi screen

} // namespace

QPageSize localePageSize(const QLocale& locale)
{
    return QPageSize(locale.measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4);
}

QString reportText(const QVariant& value, const QString& format)
{
    if (!value.isValid())
        return {};
    switch (value.typeId()) {
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        if (format.isEmpty())
            return platform::dateText(value);
        // Month names in English whatever the user's language: the C locale's.
        return value.typeId() == QMetaType::QDate ? QLocale::c().toString(value.toDate(), format)
                                                  : QLocale::c().toString(value.toDateTime(), format);
    case QMetaType::QString:
        // A number-format pattern formats a text that reads as a number, like any number.
        return format.isEmpty() ? value.toString() : currency::formatAmount(value, format);
    default:
        return format.isEmpty() ? platform::valueText(value) : currency::formatAmount(value, format);
    }
}

QFont reportFont(const ReportFont& spec)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(qRound(spec.points * kTwipsPerPoint));
    font.setBold(spec.bold);
    // Widths as designed at every size: what is measured here is what the screen and
    // the printer draw.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

FittedText fitText(const QString& text, bool whole, const QFont& font, double boxWidth, double freeWidth)
{
    const QFontMetricsF metrics(font);
    const double width = metrics.horizontalAdvance(text);
    if (width <= boxWidth)
        return {text, font, boxWidth};
    if (!whole) {
        // Cut at the box's edge, or short of the next control where the boxes overlap.
        const double limit = std::max(boxWidth / 2, std::min(boxWidth, freeWidth - kGutter));
        return {metrics.elidedText(text, Qt::ElideRight, limit), font, limit};
    }
    const double room = std::max(boxWidth, freeWidth - kGutter);
    if (width <= room)
        return {text, font, room};
    QFont smaller = font;
    int size = int(std::floor(font.pixelSize() * room / width));
    for (; size > 1; --size) {
        smaller.setPixelSize(size);
        if (QFontMetricsF(smaller).horizontalAdvance(text) <= room)
            break;
    }
    smaller.setPixelSize(std::max(size, 1));
    return {text, smaller, room};
}

ReportDocument::ReportDocument(const ReportDefinition& definition, const ReportRows& rows, const QPageSize& pageSize)
    : m_definition(definition), m_rows(rows), m_pageSize(pageSize),
      m_paper(pageSize.sizePoints() * kTwipsPerPoint)
{
    m_reportHeader = place(definition.reportHeader);
    m_pageHeader = place(definition.pageHeader);
    m_detail = place(definition.detail);
    m_pageFooter = place(definition.pageFooter);
    m_reportFooter = place(definition.reportFooter);

    const double top = definition.topMargin;
    const double footer = m_paper.height() - definition.bottomMargin - definition.pageFooter.height;
    const double detailTop = top + definition.pageHeader.height;
    const double firstDetailTop = detailTop + definition.reportHeader.height;
    const int detail = std::max(1, definition.detail.height);
    // At least one row a page, however small the paper: the rows must all print.
    m_firstRows = std::max<qsizetype>(1, qsizetype(std::floor((footer - firstDetailTop) / detail)));
    m_rowsPerPage = std::max<qsizetype>(1, qsizetype(std::floor((footer - detailTop) / detail)));

    const qsizetype n = rows.count();
    qsizetype onLast = n;
    double lastTop = firstDetailTop;
    m_pageCount = 1;
    if (n > m_firstRows) {
        const qsizetype rest = n - m_firstRows;
        const qsizetype later = (rest + m_rowsPerPage - 1) / m_rowsPerPage;
        m_pageCount = int(1 + later);
        onLast = rest - (later - 1) * m_rowsPerPage;
        lastTop = detailTop;
    }
    m_footerTop = lastTop + double(onLast) * definition.detail.height;
    if (m_footerTop + definition.reportFooter.height > footer && onLast > 0) {
        ++m_pageCount;
        m_footerTop = detailTop;
    }
}

ReportDocument::Band ReportDocument::place(const ReportSection& section) const
{
    Band band;
    for (const ReportControl& control : section.controls) {
        // Free space to the right: up to the nearest control that starts further right
        // on the same lines of the band.
        double edge = m_definition.reportWidth;
        for (const ReportControl& other : section.controls) {
            const bool sameLines = other.top < control.top + control.height && control.top < other.top + other.height;
            if (&other != &control && other.kind != ControlKind::Line && sameLines && other.left > control.left)
                edge = std::min<double>(edge, other.left);
        }
        const int field = control.DataField.isEmpty() ? -1 : m_rows.fieldIndex(control.DataField);
        band.push_back({&control, reportFont(control.font), std::max(0.0, edge - control.left), field});
    }
    return band;
}

std::pair<qsizetype, qsizetype> ReportDocument::rowsOn(int page) const
{
    const qsizetype n = m_rows.count();
    if (page <= 0)
        return {0, std::min(n, m_firstRows)};
    const qsizetype first = std::min(n, m_firstRows + qsizetype(page - 1) * m_rowsPerPage);
    return {first, std::min(n, first + m_rowsPerPage)};
}

ReportDocument::Shown ReportDocument::shown(const Placed& placed, qsizetype row) const
{
    const ReportControl& control = *placed.control;
    switch (control.kind) {
    case ControlKind::Label:
        return {control.Caption, true};
    case ControlKind::TextBox: {
        if (placed.field < 0 || row < 0)
            return {};
        const QVariant value = m_rows.value(row, placed.field);
        return {reportText(value, control.DataFormat.Format), value.typeId() != QMetaType::QString};
    }
    case ControlKind::Function:
        if (placed.field < 0)
            return {};
        return {reportText(m_rows.sum(placed.field), control.DataFormat.Format), true};
    case ControlKind::Line:
        break;
    }
    return {};
}

void ReportDocument::paintBand(QPainter& painter, const Band& band, double top, qsizetype row) const
{
    const double left = m_definition.leftMargin;
    for (const Placed& placed : band) {
        const ReportControl& control = *placed.control;
        const double x = left + control.left;
        const double y = top + control.top;
        if (control.kind == ControlKind::Line) {
            painter.setPen(QPen(Qt::black, kLineWidth));
            painter.drawLine(QPointF(x, y), QPointF(x + control.width, y));
            continue;
        }
        const Shown value = shown(placed, row);
        if (value.text.isEmpty())
            continue;
        const FittedText fitted = fitText(value.text, value.whole, placed.font, control.width, placed.freeWidth);
        painter.setFont(fitted.font);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(x, y + QFontMetricsF(fitted.font).ascent()), fitted.text);
    }
}

void ReportDocument::paintPage(QPainter& painter, int page) const
{
    if (page < 0 || page >= m_pageCount)
        return;
    painter.save();
    const ReportDefinition& d = m_definition;
    double y = d.topMargin;
    if (page == 0) {
        paintBand(painter, m_reportHeader, y, -1);
        y += d.reportHeader.height;
    }
    paintBand(painter, m_pageHeader, y, -1);
    y += d.pageHeader.height;
    const auto [first, end] = rowsOn(page);
    for (qsizetype row = first; row < end; ++row, y += d.detail.height)
        paintBand(painter, m_detail, y, row);
    if (page == reportFooterPage())
        paintBand(painter, m_reportFooter, m_footerTop, -1);
    paintBand(painter, m_pageFooter, m_paper.height() - d.bottomMargin - d.pageFooter.height, -1);
    painter.restore();
}

} // namespace output
