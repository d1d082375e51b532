#include "charts/ChartWindow.h"

#include "charts/ChartFigures.h"
#include "shell/Dialogs.h"

#include <QAbstractBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>
#include <cmath>

namespace charts {

namespace {

constexpr Kind kKinds[] = {Kind::Balance, Kind::Months, Kind::Accounts};

QString tabName(Kind kind)
{
    switch (kind) {
    case Kind::Balance: return QStringLiteral("Balance");
    case Kind::Months: return QStringLiteral("Per Month");
    case Kind::Accounts: return QStringLiteral("By Account");
    }
    return {};
}

const QString kChoices[] = {QStringLiteral("This Year"), QStringLiteral("Last 12 Months"), QStringLiteral("All"),
                            QStringLiteral("Shown Rows (Find)")};

} // namespace

ChartWindow::ChartWindow(Sources sources, QWidget* parent) : QWidget(parent, Qt::Window), m_sources(std::move(sources))
{
    setObjectName(QStringLiteral("ChartWindow"));
    setWindowTitle(QStringLiteral("Charts"));
    resize(860, 540);
    auto* column = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* periodCaption = new QLabel(QStringLiteral("&Period:"), this);
    m_period = new QComboBox(this);
    m_period->setObjectName(QStringLiteral("cboPeriod"));
    m_period->setAccessibleName(QStringLiteral("Period"));
    for (const QString& choice : kChoices)
        m_period->addItem(choice);
    m_period->setCurrentIndex(AllRows);
    periodCaption->setBuddy(m_period);
    m_figures = new QPushButton(QStringLiteral("&Figures"), this);
    m_figures->setObjectName(QStringLiteral("cmdFigures"));
    m_figures->setAccessibleName(QStringLiteral("Figures"));
    m_figures->setToolTip(QStringLiteral("Show the chart's figures as a table"));
    m_figures->setCheckable(true);
    m_save = new QPushButton(QStringLiteral("Save Picture") + QChar(0x2026), this);
    m_save->setObjectName(QStringLiteral("cmdSave"));
    m_save->setToolTip(QStringLiteral("Save the chart shown as PNG or SVG, or its figures as CSV"));
    top->addWidget(periodCaption);
    top->addWidget(m_period);
    top->addWidget(m_figures);
    top->addStretch(1);
    top->addWidget(m_save);
    column->addLayout(top);
    m_tabs = new QTabWidget(this);
    for (const Kind kind : kKinds) {
        const int k = int(kind);
        m_pages[k] = new QStackedWidget(this);
        m_views[k] = new QChartView(this);
        m_views[k]->setRenderHint(QPainter::Antialiasing);
        m_views[k]->setAccessibleName(title(kind));
        m_views[k]->installEventFilter(this);
        m_views[k]->viewport()->installEventFilter(this);
        m_tables[k] = new QTableView(this);
        m_tables[k]->setObjectName(QStringLiteral("tblFigures%1").arg(k));
        m_tables[k]->setAccessibleName(QStringLiteral("Figures: ") + title(kind));
        m_tables[k]->setModel(new QStandardItemModel(m_tables[k]));
        m_tables[k]->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_tables[k]->verticalHeader()->hide();
        m_tables[k]->horizontalHeader()->setStretchLastSection(false);
        m_pages[k]->addWidget(m_views[k]);
        m_pages[k]->addWidget(m_tables[k]);
        m_tabs->addTab(m_pages[k], tabName(kind));
    }
    column->addWidget(m_tabs, 1);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("lblNote"));
    column->addWidget(m_note);
    connect(m_period, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(m_figures, &QPushButton::toggled, this, &ChartWindow::showFigures);
    connect(m_save, &QPushButton::clicked, this, &ChartWindow::cmdSave_Click);
}

ChartWindow::Choice ChartWindow::choice() const
{
    return Choice(m_period->currentIndex());
}

void ChartWindow::setChoice(Choice choice)
{
    m_period->setCurrentIndex(choice);
}

Kind ChartWindow::shownKind() const
{
    return kKinds[m_tabs->currentIndex()];
}

void ChartWindow::showKind(Kind kind)
{
    m_tabs->setCurrentIndex(int(kind));
}

QString ChartWindow::noteText() const
{
    return m_note->text();
}

QChart* ChartWindow::chart(Kind kind) const
{
    return m_views[int(kind)]->chart();
}

QChartView* ChartWindow::chartView(Kind kind) const
{
    return m_views[int(kind)];
}

QTableView* ChartWindow::figuresView(Kind kind) const
{
    return m_tables[int(kind)];
}

void ChartWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

bool ChartWindow::eventFilter(QObject* watched, QEvent* event)
{
    // When the mouse rests, a chart's scene answers Qt's tooltip request with "none"
    // (none of its items has one) and so hides the figure the hover just showed.
    if (event->type() == QEvent::ToolTip) {
        for (const QChartView* view : m_views) {
            if (watched == view->viewport())
                return true;
        }
    }
    // A wider chart has room for more month labels, a narrower one for fewer.
    if (event->type() == QEvent::Resize) {
        for (const Kind kind : kKinds) {
            if (watched == m_views[int(kind)])
                fitToWidth(*chart(kind), kind, m_numbers, m_views[int(kind)]->width());
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ChartWindow::showFigures(bool figures)
{
    for (QStackedWidget* page : m_pages)
        page->setCurrentIndex(figures ? 1 : 0);
    // A screen reader starts reading the figures at once, as a keyboard user starts on them.
    if (figures)
        m_tables[int(shownKind())]->setFocus(Qt::OtherFocusReason);
}

void ChartWindow::refresh()
{
    if (!isVisible())
        return;
    // The filter's rows can be chosen only while there is a filter.
    const bool filtering = !m_sources.filter().isEmpty();
    if (auto* items = qobject_cast<QStandardItemModel*>(m_period->model()))
        items->item(ShownRows)->setEnabled(filtering);
    if (!filtering && choice() == ShownRows) {
        const QSignalBlocker quiet(m_period);
        m_period->setCurrentIndex(AllRows);
    }
    Period period;
    switch (choice()) {
    case ThisYear: period = Period::year(QDate::currentDate().year(), QDate::currentDate()); break;
    case Last12Months: period = Period::last12Months(QDate::currentDate()); break;
    case AllRows:
    case ShownRows: period = Period::all(); break;
    }
    m_numbers = computeNumbers(m_sources.ledger(choice() == ShownRows), period);
    redraw();
}

QString ChartWindow::whatIsShown() const
{
    const QString months = monthsText(m_numbers);
    QString what = choice() == ShownRows
        ? QStringLiteral("Rows Find shows (%1)").arg(m_sources.filter())
        : kChoices[choice()];
    return months.isEmpty() ? what : what + QStringLiteral(": ") + months;
}

QString ChartWindow::suggestedName() const
{
    QString name = tabName(shownKind()) + QStringLiteral(" - ")
        + (choice() == ShownRows ? QStringLiteral("Shown Rows") : kChoices[choice()]);
    if (!m_numbers.months.empty()) {
        name += QStringLiteral(" - ") + m_numbers.months.front().first.toString(QStringLiteral("yyyy-MM"));
        if (m_numbers.months.size() > 1)
            name += QStringLiteral(" to ") + m_numbers.months.back().first.toString(QStringLiteral("yyyy-MM"));
    }
    return name;
}

void ChartWindow::redraw()
{
    const QString what = whatIsShown();
    for (const Kind kind : kKinds) {
        QChartView* view = m_views[int(kind)];
        // A picture says nothing to a screen reader: it says what is drawn and where the numbers are.
        view->setAccessibleDescription(what + QStringLiteral(". Figures (Alt+F) shows its numbers as a table."));
        QChart* chart = makeChart(kind, m_numbers, m_sources.axisMoney, view->width(), what);
        connectTooltips(chart, kind);
        QChart* old = view->chart();
        view->setChart(chart);   // the view owns the new chart
        delete old;
        fillFigures(kind);
    }
    m_note->setText(leftOutNote(m_numbers.leftOut));
    m_note->setVisible(!m_note->text().isEmpty());   // no empty strip under the chart
}

void ChartWindow::fillFigures(Kind kind)
{
    const Figures figures = figuresOf(kind, m_numbers);
    auto* model = static_cast<QStandardItemModel*>(m_tables[int(kind)]->model());
    model->clear();
    model->setHorizontalHeaderLabels(figures.headings);
    const QLocale locale;
    for (const Figures::Row& row : figures.rows) {
        QList<QStandardItem*> cells{
            new QStandardItem(row.month.isValid() ? locale.toString(row.month, QStringLiteral("MMMM yyyy")) : row.label)};
        for (const double amount : row.amounts) {
            auto* cell = new QStandardItem(m_sources.money(amount));
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            cells << cell;
        }
        model->appendRow(cells);
    }
    m_tables[int(kind)]->resizeColumnsToContents();
}

void ChartWindow::connectTooltips(QChart* chart, Kind kind)
{
    for (QAbstractSeries* series : chart->series()) {
        if (auto* line = qobject_cast<QLineSeries*>(series)) {
            connect(line, &QLineSeries::hovered, this, [this](const QPointF& point, bool state) {
                if (!state)
                    return QToolTip::hideText();
                // The line passes between the months' points: the figure is the nearest
                // month's balance, never a value read off the line in between.
                const qint64 index = std::llround(point.x());
                if (index < 0 || size_t(index) >= m_numbers.months.size())
                    return;
                const Month& month = m_numbers.months[size_t(index)];
                QToolTip::showText(QCursor::pos(), QLocale().toString(month.first, QStringLiteral("MMMM yyyy"))
                                                       + QStringLiteral(": ") + m_sources.money(month.balance));
            });
        } else if (auto* bars = qobject_cast<QAbstractBarSeries*>(series)) {
            for (QBarSet* set : bars->barSets()) {
                connect(set, &QBarSet::hovered, this, [this, set, kind](bool state, int index) {
                    if (!state)
                        return QToolTip::hideText();
                    QString label;
                    if (kind == Kind::Accounts)
                        label = m_numbers.accounts[m_numbers.accounts.size() - 1 - size_t(index)].account;
                    else
                        label = QLocale().toString(m_numbers.months[size_t(index)].first, QStringLiteral("MMMM yyyy"))
                            + u' ' + set->label();
                    QToolTip::showText(QCursor::pos(), label + QStringLiteral(": ") + m_sources.money(set->at(index)));
                });
            }
        }
    }
}

void ChartWindow::cmdSave_Click()
{
    // A new home may have no Pictures folder yet, and a file dialog pointed at a
    // missing folder opens wherever the program was started.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        folder = QDir::homePath();
    const QString suggested = QDir(folder).filePath(suggestedName() + QStringLiteral(".png"));
    QString file = platform::Dialogs::current().SaveFileName(
        QStringLiteral("Save Picture"), suggested,
        QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg);;The figures as CSV (*.csv)"));
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".png");
    QString error;
    if (!savePicture(file, &error))
        platform::Dialogs::current().MsgBox(error, platform::vbExclamation);
}

bool ChartWindow::savePicture(const QString& file, QString* error)
{
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == u"csv")
        return saveFigures(figuresOf(shownKind(), m_numbers), file, error);
    if (suffix != u"png" && suffix != u"svg") {
        *error = QStringLiteral("A chart is saved as a .png or .svg picture, or its figures as .csv, not as \"%1\".")
                     .arg(QFileInfo(file).fileName());
        return false;
    }
    QChartView* view = m_views[int(shownKind())];
    const QSize size = view->isVisible() ? view->size() : QSize(760, 460);
    return charts::savePicture(*view->chart(), file, size, error);
}

} // namespace charts
