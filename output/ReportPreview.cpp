#include "output/ReportPreview.h"

#include "output/ExportFile.h"
#include "platform/AppError.h"
#include "shell/Dialogs.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace output {

namespace {

constexpr int kGap = 16;   // pixels around and between pages
constexpr int kTwipsPerInch = 1440;

struct ZoomChoice {
    const char* text;
    ReportPageView::Fit fit;
    double percent;
};
constexpr ZoomChoice kZoomChoices[] = {
    {"Fit width", ReportPageView::Fit::Width, 0}, {"Whole page", ReportPageView::Fit::Page, 0},
    {"50%", ReportPageView::Fit::None, 50},       {"75%", ReportPageView::Fit::None, 75},
    {"100%", ReportPageView::Fit::None, 100},     {"150%", ReportPageView::Fit::None, 150},
    {"200%", ReportPageView::Fit::None, 200},     {"400%", ReportPageView::Fit::None, 400},
};

} // namespace

// ---- ReportPageView ----

ReportPageView::ReportPageView(const ReportDocument& document, QWidget* parent)
    : QAbstractScrollArea(parent), m_document(document)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);   // fitting the width must not flicker it on and off
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setSingleStep(40);
}

void ReportPageView::setZoom(double percent)
{
    m_fit = Fit::None;
    m_percent = percent;
    updateScale();
}

void ReportPageView::setFit(Fit fit)
{
    m_fit = fit;
    updateScale();
}

double ReportPageView::pageStride() const
{
    return m_document.paperTwips().height() * m_scale + kGap;
}

void ReportPageView::updateScale()
{
    // Keep the page in sight where it was, at the same place within it.
    const double stride = pageStride();
    const double at = m_scale > 0 ? (verticalScrollBar()->value() / stride) : 0;

    const QSizeF paper = m_document.paperTwips();
    const double width = std::max(1, viewport()->width() - 2 * kGap);
    const double height = std::max(1, viewport()->height() - 2 * kGap);
    switch (m_fit) {
    case Fit::Width: m_scale = width / paper.width(); break;
    case Fit::Page: m_scale = std::min(width / paper.width(), height / paper.height()); break;
    case Fit::None: m_scale = logicalDpiY() * m_percent / 100.0 / kTwipsPerInch; break;
    }
    const int contentWidth = int(std::ceil(paper.width() * m_scale)) + 2 * kGap;
    const double contentHeight = m_document.pageCount() * pageStride() + kGap;
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    verticalScrollBar()->setRange(0, int(std::max(0.0, std::ceil(contentHeight) - viewport()->height())));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setValue(int(std::lround(at * pageStride())));
    viewport()->update();
    notePage();
}

int ReportPageView::currentPage() const
{
    // The page at the upper third of the view, or, when pages are small, the one whose
    // middle is nearest the top.
    const double y = verticalScrollBar()->value() + std::min(viewport()->height() / 3.0, pageStride() / 2);
    const int page = int(std::floor(y / pageStride()));
    return std::clamp(page, 0, m_document.pageCount() - 1);
}

void ReportPageView::showPage(int page)
{
    page = std::clamp(page, 0, m_document.pageCount() - 1);
    verticalScrollBar()->setValue(int(std::lround(page * pageStride())));
    notePage();
}

void ReportPageView::notePage()
{
    const int page = currentPage();
    if (page != m_current) {
        m_current = page;
        emit currentPageChanged(page);
    }
}

void ReportPageView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QSizeF paper = m_document.paperTwips() * m_scale;
    const double left = std::max<double>(kGap, (viewport()->width() - paper.width()) / 2.0)
        - horizontalScrollBar()->value();
    const double top = verticalScrollBar()->value();
    const int first = std::max(0, int(std::floor((top - kGap) / pageStride())));
    m_pagesDrawn = 0;
    for (int page = first; page < m_document.pageCount(); ++page) {
        const double y = kGap + page * pageStride() - top;
        if (y >= viewport()->height())
            break;
        const QRectF sheet(left, y, paper.width(), paper.height());
        painter.fillRect(sheet.translated(3, 3), palette().shadow());
        painter.fillRect(sheet, Qt::white);
        painter.save();
        painter.setClipRect(sheet);
        painter.translate(sheet.topLeft());
        painter.scale(m_scale, m_scale);
        m_document.paintPage(painter, page);
        painter.restore();
        ++m_pagesDrawn;
    }
    if (m_pagesDrawn > 0)
        emit pagesPainted();
}

void ReportPageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScale();
}

void ReportPageView::scrollContentsBy(int, int)
{
    viewport()->update();
    notePage();
}

void ReportPageView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Home: showPage(0); return;
    case Qt::Key_End: showPage(m_document.pageCount() - 1); return;
    default: QAbstractScrollArea::keyPressEvent(event);
    }
}

void ReportPageView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const double percent = m_scale * kTwipsPerInch * 100.0 / logicalDpiY();
        setZoom(std::clamp(percent * (event->angleDelta().y() > 0 ? 1.25 : 0.8), 10.0, 800.0));
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

// ---- ReportPreview ----

ReportPreview::ReportPreview(const ReportDefinition& definition, const ReportRows& rows, QWidget* owner)
    : QDialog(owner), m_definition(definition), m_rows(rows), m_document(definition, rows, localePageSize())
{
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(definition.title);
    // A dialog of its owner, so the window manager keeps it above the window it blocks,
    // and still one that can be maximised to read a page at full size.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setModal(true);

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("toolbar"));
    bar->setAccessibleName(QStringLiteral("Report preview commands"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // Each button is named for a screen reader as it is for the eye, the page buttons
    // by what they do rather than by their arrows.
    const auto command = [this, bar](const QString& text, const QString& name, auto&& handler) {
        QAction* action = bar->addAction(text);
        connect(action, &QAction::triggered, this, handler);
        action->setToolTip(name);
        bar->widgetForAction(action)->setAccessibleName(name);
        return action;
    };
    QAction* print = command(QStringLiteral("&Print…"), QStringLiteral("Print…"), [this] { printPages(); });
    print->setShortcut(QKeySequence::Print);
    QAction* save = command(QStringLiteral("&Save as PDF…"), QStringLiteral("Save as PDF…"), [this] { saveAsPdf(); });
    save->setShortcut(QKeySequence::Save);
    bar->addSeparator();
    command(QStringLiteral("|<"), QStringLiteral("First page"), [this] { goToPage(0); });
    command(QStringLiteral("<"), QStringLiteral("Previous page"), [this] { goToPage(m_view->currentPage() - 1); });
    m_page = new QSpinBox(bar);
    m_page->setObjectName(QStringLiteral("page"));
    m_page->setAccessibleName(QStringLiteral("Page"));
    m_page->setRange(1, m_document.pageCount());
    m_page->setAccelerated(true);
    m_page->setKeyboardTracking(false);
    bar->addWidget(m_page);
    m_pageCount = new QLabel(QStringLiteral(" of %1 ").arg(QLocale().toString(m_document.pageCount())), bar);
    bar->addWidget(m_pageCount);
    command(QStringLiteral(">"), QStringLiteral("Next page"), [this] { goToPage(m_view->currentPage() + 1); });
    command(QStringLiteral(">|"), QStringLiteral("Last page"), [this] { goToPage(m_document.pageCount() - 1); });
    bar->addSeparator();
    m_zoom = new QComboBox(bar);
    m_zoom->setObjectName(QStringLiteral("zoom"));
    m_zoom->setAccessibleName(QStringLiteral("Zoom"));
    for (const ZoomChoice& choice : kZoomChoices)
        m_zoom->addItem(QString::fromLatin1(choice.text));
    bar->addWidget(m_zoom);
    auto* spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    command(QStringLiteral("Close"), QStringLiteral("Close"), [this] { reject(); });
    // The button a narrow window shows for the commands that no longer fit.
    if (auto* more = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("More commands"));

    m_view = new ReportPageView(m_document, this);
    m_view->setAccessibleName(QStringLiteral("Report pages"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_view);

    connect(m_page, &QSpinBox::valueChanged, this, [this](int page) {
        if (page - 1 != m_view->currentPage())
            m_view->showPage(page - 1);
    });
    connect(m_view, &ReportPageView::currentPageChanged, this, [this](int page) { m_page->setValue(page + 1); });
    connect(m_zoom, &QComboBox::currentIndexChanged, this, &ReportPreview::setZoomChoice);

    // Most of the owner's screen, a page's width across.
    const QScreen* screen = owner ? owner->screen() : this->screen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    resize(std::min(room.width() * 9 / 10, 900), room.height() * 9 / 10);
    m_view->setFocus();
}

QString ReportPreview::pagePosition() const
{
    return QStringLiteral("Page %1 of %2").arg(m_page->value()).arg(QLocale().toString(m_document.pageCount()));
}

void ReportPreview::goToPage(int page)
{
    m_view->showPage(page);
}

void ReportPreview::setZoomChoice(int index)
{
    if (index < 0 || index >= int(std::size(kZoomChoices)))
        return;
    const ZoomChoice& choice = kZoomChoices[index];
    if (choice.fit == ReportPageView::Fit::None)
        m_view->setZoom(choice.percent);
    else
        m_view->setFit(choice.fit);
}

bool ReportPreview::withProgress(const QString& text, const std::function<bool(const PageProgress&)>& output)
{
    QProgressDialog progress(text, QStringLiteral("Cancel"), 0, m_document.pageCount(), this);
    progress.setWindowTitle(windowTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    return output([&](int done, int count) {
        progress.setMaximum(count);
        progress.setValue(done);
        return !progress.wasCanceled();
    });
}

void ReportPreview::printPages()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(m_document.pageSize());
    printer.setDocName(windowTitle());
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, m_document.pageCount());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    if (dialog.exec() != QDialog::Accepted)
        return;
    try {
        withProgress(QStringLiteral("Printing the report…"),
                     [&](const PageProgress& progress) { return printReport(m_definition, m_rows, printer, progress); });
    } catch (const platform::AppError& e) {
        platform::Dialogs::current().MsgBox(QStringLiteral("The report could not be printed.\r\n") + e.description(),
                                            platform::vbExclamation);
    }
}

void ReportPreview::saveAsPdf()
{
    // Offered in Documents, where the spreadsheet export goes too.
    QString folder = QDir::homePath();
    try {
        folder = exportFolder();
    } catch (const platform::AppError&) {
    }
    QString path = platform::Dialogs::current().SaveFileName(
        QStringLiteral("Save the report as PDF"), QDir(folder).filePath(QStringLiteral("Tallyfold report.pdf")),
        QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    try {
        withProgress(QStringLiteral("Saving the report…"), [&](const PageProgress& progress) {
            return writePdf(m_document, path, windowTitle(), progress);
        });
    } catch (const platform::AppError& e) {
        platform::Dialogs::current().MsgBox(
            QStringLiteral("The report could not be saved as %1.\r\n").arg(QDir::toNativeSeparators(path))
                + e.description(),
            platform::vbExclamation);
    }
}

} // namespace output
