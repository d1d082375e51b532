#pragma once
// The report's preview window: the pages one under another on a grey desk, with zoom,
// page navigation and the page count, and the two ways out, printing through the
// system's print dialog and saving as a PDF file. Only the pages in sight are drawn, so
// a report of thousands of pages opens as fast as one of a single page.

#include "output/ReportDocument.h"
#include "output/ReportOutput.h"

#include <QAbstractScrollArea>
#include <QDialog>

class QComboBox;
class QLabel;
class QSpinBox;

namespace output {

// The pages of a document, drawn on demand as they scroll into sight.
class ReportPageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum class Fit { None, Width, Page };

    explicit ReportPageView(const ReportDocument& document, QWidget* parent = nullptr);

    // A fixed zoom in percent of the paper's real size, or a fit to the window.
    void setZoom(double percent);
    void setFit(Fit fit);

    // The page in sight (0-based), and scrolling a page to the top.
    int currentPage() const;
    void showPage(int page);
    // How many pages the last repaint drew.
    int pagesDrawn() const { return m_pagesDrawn; }

signals:
    void currentPageChanged(int page);
    // A repaint drew at least one page.
    void pagesPainted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    double pageStride() const;   // pixels from one page's top to the next
    void updateScale();
    void notePage();

    const ReportDocument& m_document;
    Fit m_fit = Fit::Width;
    double m_percent = 100;
    double m_scale = 0;   // pixels per twip
    int m_current = -1;
    int m_pagesDrawn = 0;
};

class ReportPreview : public QDialog {
    Q_OBJECT
public:
    // definition and rows must outlive the window. The paper is the user's country's.
    ReportPreview(const ReportDefinition& definition, const ReportRows& rows, QWidget* owner);

    const ReportDocument& document() const { return m_document; }
    ReportPageView* view() const { return m_view; }
    // "Page 3 of 2,703" as the navigation shows it.
    QString pagePosition() const;

    // The toolbar's commands.
    void printPages();
    void saveAsPdf();
    void goToPage(int page);   // 0-based, clamped to the pages there are

private:
    // Runs output with a cancellable progress window once it takes half a second.
    bool withProgress(const QString& text, const std::function<bool(const PageProgress&)>& output);
    void setZoomChoice(int index);

    const ReportDefinition& m_definition;
    const ReportRows& m_rows;
    ReportDocument m_document;
    ReportPageView* m_view;
    QSpinBox* m_page;
    QLabel* m_pageCount;
    QComboBox* m_zoom;
};

} // namespace output
