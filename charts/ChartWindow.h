#pragma once
// The charts window: the balance over time, withdrawals and deposits per month, and
// withdrawals by account, for a chosen period, with each figure in the ledger's
// currency format on hover, the same figures as a table ("Figures") for whoever cannot
// see the picture, and "Save Picture…" to PNG, SVG or the figures as CSV. It only shows
// what ChartData works out; the main window tells it when the ledger changed.

#include "charts/ChartData.h"
#include "charts/ChartPicture.h"

#include <QWidget>
#include <functional>

QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTableView;
QT_END_NAMESPACE

namespace charts {

class ChartWindow : public QWidget {
    Q_OBJECT
public:
    // The period choices, in the order the list offers them.
    enum Choice { ThisYear, Last12Months, AllRows, ShownRows };

    // How the window gets what it shows: the ledger's rows (or a selection of those
    // the find filter shows, with the whole ledger beside), the filter typed ("" while
    // none is on), and amounts in the ledger's format, exact and on an axis.
    struct Sources {
        std::function<Ledger(bool shownOnly)> ledger;
        std::function<QString()> filter;
        std::function<QString(double)> money;
        AxisMoney axisMoney;
    };

    explicit ChartWindow(Sources sources, QWidget* parent = nullptr);

    // Works the numbers out again and redraws; called after every change to the ledger
    // or the filter. Does nothing while the window is hidden: showing it refreshes.
    void refresh();

    Choice choice() const;
    void setChoice(Choice choice);
    const ChartNumbers& numbers() const { return m_numbers; }
    Kind shownKind() const;
    void showKind(Kind kind);
    QString noteText() const;
    QChart* chart(Kind kind) const;
    QChartView* chartView(Kind kind) const;
    QTableView* figuresView(Kind kind) const;
    QPushButton* figuresButton() const { return m_figures; }
    // What the charts show: the period's name and months, and the filter.
    QString whatIsShown() const;
    // The name "Save Picture…" offers: the chart, the period and its months.
    QString suggestedName() const;

    // "Save Picture…": asks for a file in the Pictures folder, then saves the chart shown.
    void cmdSave_Click();
    // The chart shown, at its size in the window, into file: a picture (.png, .svg) or
    // its figures (.csv), by the file's type.
    bool savePicture(const QString& file, QString* error);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void redraw();
    void fillFigures(Kind kind);
    void connectTooltips(QChart* chart, Kind kind);
    void showFigures(bool figures);

    Sources m_sources;
    QComboBox* m_period;
    QPushButton* m_figures;
    QPushButton* m_save;
    QTabWidget* m_tabs;
    QStackedWidget* m_pages[3];
    QChartView* m_views[3];
    QTableView* m_tables[3];
    QLabel* m_note;
    ChartNumbers m_numbers;
};

} // namespace charts
