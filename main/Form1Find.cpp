// The main window's find as you type and its charts: the find bar over the list's
// bottom edge, the summary of the rows it shows, and the charts window that follows
// every reload. None of it moves the window's layout.
#include "main/Form1.h"

#include "charts/ChartFigures.h"
#include "charts/ChartWindow.h"
#include "currency/AmountFormat.h"
#include "currency/CurrencyChoice.h"
#include "main/FindBar.h"
#include "platform/Conversions.h"

#include <QChart>
#include <QFileInfo>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <algorithm>
#include <cfloat>
#include <cmath>

namespace mainwindow {

namespace {

const QString kSummary = QStringLiteral("Summary");
const QString kShownSummary = QStringLiteral("Summary (shown rows)");

double shown(double total)
{
    return std::isnan(total) ? 0 : std::clamp(total, -DBL_MAX, DBL_MAX);
}

std::vector<charts::Entry> entriesOf(const TransactionListModel& list, bool shownOnly)
{
    std::vector<charts::Entry> entries;
    entries.reserve(size_t(shownOnly ? list.rowCount() : list.totalCount()));
    list.visitRows(shownOnly, [&](const TransactionListModel::Facts& f) {
        entries.push_back({f.day, f.withdrawal, f.deposit, f.noAmount, f.account});
    });
    return entries;
}

// The rows Find shows are charted with the whole ledger beside them, so their balance
// starts where the ledger stood.
charts::Ledger ledgerOf(const TransactionListModel& list, bool shownOnly)
{
    charts::Ledger ledger;
    ledger.accountNames = list.accountNames();
    ledger.entries = entriesOf(list, shownOnly && list.filtering());
    if (shownOnly && list.filtering()) {
        ledger.selection = true;
        ledger.whole = entriesOf(list, false);
    }
    return ledger;
}

QString money(double amount)
{
    return currency::formatAmount(amount, currency::OwnCurrencyFormat());
}

// An axis' steps are whole amounts: "$2,000" rather than "$2,000.00".
QString axisMoney(double amount)
{
    QString text = money(amount);
    const QString cents = QLocale().decimalPoint() + QStringLiteral("00");
    if (const qsizetype at = text.lastIndexOf(cents); at >= 0 && amount == std::round(amount))
        text.remove(at, cents.size());
    return text;
}

} // namespace

void Form1::makeFindAndCharts()
{
    m_findBar = new FindBar(ListView1);
    connect(m_findBar, &FindBar::textChanged, this, &Form1::findTextChanged);
    connect(m_findBar, &FindBar::closeRequested, this, &Form1::closeFind);
    mnuList->addSeparator();
    mnuFind = mnuList->addAction(QStringLiteral("Find") + QChar(0x2026) + QStringLiteral("\tCtrl+F"), this,
                                 &Form1::mnuFind_Click);
    mnuCharts = mnuList->addAction(QStringLiteral("Charts") + QChar(0x2026) + QStringLiteral("\tCtrl+G"), this,
                                   &Form1::mnuCharts_Click);
    connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+F")), this), &QShortcut::activated, this,
            &Form1::mnuFind_Click);
    connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+G")), this), &QShortcut::activated, this,
            &Form1::mnuCharts_Click);
    // Esc in the list closes the find bar too, as it does in the bar.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), ListView1, nullptr, nullptr, Qt::WidgetShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        if (m_findBar->isVisible())
            closeFind();
    });
}

void Form1::mnuFind_Click()
{
    if (!m_beforeFind) {
        BeforeFind before;
        const int row = ListView1->currentRow();
        before.added = row >= 0 ? ListView1->items().addedIndex(row) : -1;
        before.id = ListView1->selectedText();
        before.scroll = ListView1->verticalScrollBar()->value();
        before.reloads = m_reloads;
        before.summary = QStringList{Frame1->title()};
        for (QLabel* label : {Label1, Label2, Label3, Label11, Label22, Label33})
            before.summary << label->text();
        m_beforeFind = before;
        m_findBar->setCount(ListView1->count(), ListView1->items().totalCount());
    }
    m_findBar->open();
}

void Form1::findTextChanged(const QString& text)
{
    TransactionListModel& list = ListView1->items();
    const FindQuery query = FindQuery::parse(text);
    if (query.isEmpty())
        list.clearFilter();
    else
        list.setFilter(query);
    showFindSummary();
    if (m_charts)
        m_charts->refresh();
}

void Form1::showFindSummary()
{
    TransactionListModel& list = ListView1->items();
    m_findBar->setCount(list.rowCount(), list.totalCount());
    if (!list.filtering()) {
        if (m_beforeFind && m_beforeFind->summary.size() == 7) {
            Frame1->setTitle(m_beforeFind->summary[0]);
            QLabel* labels[] = {Label1, Label2, Label3, Label11, Label22, Label33};
            for (int i = 0; i < 6; ++i)
                setCaption(labels[i], m_beforeFind->summary[i + 1]);
        }
        return;
    }
    // The same captions as the whole ledger's, with the title saying whose totals they are.
    const TransactionListModel::Totals totals = list.shownTotals();
    const double withdrawal = shown(totals.withdrawal), deposit = shown(totals.deposit);
    const double balance = shown(deposit - withdrawal);
    const QString pattern = currency::OwnCurrencyFormat();
    Frame1->setTitle(kShownSummary);
    setCaption(Label1, QStringLiteral("Widrawal: ") + currency::formatAmount(withdrawal, pattern));
    setCaption(Label2, QStringLiteral("Deposit: ") + currency::formatAmount(deposit, pattern));
    setCaption(Label3, QStringLiteral("Balance: ") + currency::formatAmount(balance, pattern));
    setCaption(Label11, QStringLiteral("Widrawal: ") + platform::numberText(withdrawal));
    setCaption(Label22, QStringLiteral("Deposit: ") + platform::numberText(deposit));
    setCaption(Label33, QStringLiteral("Balance: ") + platform::numberText(balance));
}

void Form1::afterListData()
{
    ++m_reloads;
    if (m_beforeFind) {
        // The whole ledger's captions were just set: they are what closing the bar shows.
        m_beforeFind->summary = QStringList{kSummary};
        for (QLabel* label : {Label1, Label2, Label3, Label11, Label22, Label33})
            m_beforeFind->summary << label->text();
        showFindSummary();
    }
    if (m_charts)
        m_charts->refresh();
}

void Form1::closeFind()
{
    m_findBar->hide();
    if (!m_beforeFind)
        return;
    const BeforeFind before = *m_beforeFind;
    TransactionListModel& list = ListView1->items();
    list.clearFilter();
    showFindSummary();
    m_beforeFind.reset();
    // The row that was current, by position when the list was not reloaded since,
    // else by its transaction number.
    int row = -1;
    if (before.reloads == m_reloads && before.added >= 0) {
        row = list.viewRowOf(before.added);
    } else if (!before.id.isEmpty()) {
        for (int r = 0, n = list.rowCount(); r < n && row < 0; ++r) {
            if (list.text(r, TransactionListModel::IdColumn) == before.id)
                row = r;
        }
    }
    ListView1->setCurrentRow(row);
    ListView1->verticalScrollBar()->setValue(before.scroll);
    ListView1->setFocus();
    if (m_charts)
        m_charts->refresh();
}

void Form1::mnuCharts_Click()
{
    if (!m_charts) {
        charts::ChartWindow::Sources sources;
        sources.ledger = [this](bool shownOnly) { return ledgerOf(ListView1->items(), shownOnly); };
        sources.filter = [this] {
            return ListView1->items().filtering() ? m_findBar->field()->text().trimmed() : QString();
        };
        sources.money = money;
        sources.axisMoney = axisMoney;
        m_charts = new charts::ChartWindow(std::move(sources), this);
        m_charts->setWindowIcon(windowIcon());
        // First shown over the main window, wholly on its screen.
        if (QScreen* screen = this->screen()) {
            const QRect room = screen->availableGeometry();
            QRect place(QPoint(), m_charts->size());
            place.moveCenter(frameGeometry().center());
            place.moveLeft(std::clamp(place.left(), room.left(), std::max(room.left(), room.right() - place.width())));
            place.moveTop(std::clamp(place.top(), room.top(), std::max(room.top(), room.bottom() - place.height() - 40)));
            m_charts->move(place.topLeft());
        }
    }
    if (ListView1->items().filtering())
        m_charts->setChoice(charts::ChartWindow::ShownRows);
    m_charts->show();
    m_charts->raise();
    m_charts->activateWindow();
}

bool Form1::ChartToFile(const QString& kind, const QString& file, QString* error)
{
    charts::Kind chosen;
    if (!charts::kindFromName(kind, &chosen)) {
        *error = QStringLiteral("There is no chart \"%1\": choose balance, months or accounts.").arg(kind);
        return false;
    }
    const charts::ChartNumbers numbers = charts::computeNumbers(ledgerOf(ListView1->items(), false), charts::Period::all());
    // The figures alone, for a spreadsheet, by the file's type as in the window.
    if (QFileInfo(file).suffix().compare(QStringLiteral("csv"), Qt::CaseInsensitive) == 0)
        return charts::saveFigures(charts::figuresOf(chosen, numbers), file, error);
    const QSize size(960, 600);
    const QString months = charts::monthsText(numbers);
    std::unique_ptr<QChart> chart(charts::makeChart(chosen, numbers, axisMoney, size.width(),
                                                    months.isEmpty() ? QStringLiteral("All") : QStringLiteral("All: ") + months));
    if (const QString note = charts::leftOutNote(numbers.leftOut); !note.isEmpty())
        chart->setTitle(chart->title() + QStringLiteral("<br><small>") + note + QStringLiteral("</small>"));
    return charts::savePicture(*chart, file, size, error);
}

} // namespace mainwindow
