// "Save Database To Excel": the list's headings, ticked rows and summary into a new
// spreadsheet workbook, which the desktop then opens in the user's spreadsheet program.
#include "main/Form1.h"

#include "currency/CurrencyChoice.h"
#include "main/PendingEvents.h"
#include "output/ExportFile.h"
#include "output/WorkbookWriter.h"
#include "platform/AppError.h"
#include "shell/Desktop.h"
#include "shell/Dialogs.h"
#include "shell/ErrorTrap.h"
#include "shell/MousePointer.h"

#include <QDateTime>
#include <QDir>
#include <optional>

namespace mainwindow {

namespace {

const QString kSpreadsheetType = QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
const QStringList kSpreadsheetPrograms = {QStringLiteral("libreoffice"), QStringLiteral("localc"),
                                          QStringLiteral("soffice"), QStringLiteral("gnumeric"),
                                          QStringLiteral("onlyoffice-desktopeditors")};

// What the texts of each list column are, for typed cells the user can sum and sort.
output::CellKind kindOf(int column)
{
    switch (column) {
    case TransactionListModel::IdColumn: return output::CellKind::Number;
    case TransactionListModel::DateColumn: return output::CellKind::Date;
    case TransactionListModel::WithdrawalColumn:
    case TransactionListModel::DepositColumn: return output::CellKind::Amount;
    default: return output::CellKind::Text;
    }
}

QString cutMessage(int cut)
{
    const QString limit = QLocale().toString(output::kMaxCellLength);
    if (cut == 1)
        return QStringLiteral("One text was longer than the %1 characters a spreadsheet cell holds; the workbook "
                              "has it cut to end in \u201C\u2026\u201D.").arg(limit);
    return QStringLiteral("%1 texts were longer than the %2 characters a spreadsheet cell holds; the workbook has "
                          "them cut to end in \u201C\u2026\u201D.").arg(QLocale().toString(cut), limit);
}

} // namespace

bool Form1::SaveResultsAsExcelFileIsExcelInstalled()
{
    // Asked with every failure passed over: the check never shows the error report.
    bool installed = true;
    try {
        installed = platform::Desktop::current().canOpen(kSpreadsheetType, kSpreadsheetPrograms);
    } catch (...) {
        installed = false;
    }
    if (!installed) {
        try {
            platform::Dialogs::current().MsgBox(QStringLiteral(
                "Excel is not installed on this computer. You need to have it installed to use this software without error."));
        } catch (...) {
        }
    }
    return installed;
}

void Form1::PushButton6_Click()
{
    shell::ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton6_Click"));
    if (trap.test(100, [this] { return !SaveResultsAsExcelFileIsExcelInstalled(); })) {
        trap.run(184, [] {
            platform::Dialogs::current().MsgBox(QStringLiteral(
                "Excel is not installed on this computer. You need to have it installed to use this feature."));
        });
        return;
    }
    const TransactionListModel& list = ListView1->items();
    if (trap.test(108, [&] { return list.rowCount() == 0; }))
        return;
    // A workbook that cannot be made is reported once: every cell would only fail again.
    QString path;
    if (!trap.run(110, [&] { path = output::reserveExportFile(output::exportFolder(), QDateTime::currentDateTime()); }))
        return;
    std::optional<output::WorkbookWriter> book;
    if (!trap.run(112, [&] {
            book.emplace(path, currency::OwnCurrencyFormat());
            for (int c = 0; c < list.columnCount(); ++c)
                book->setColumnKind(c + 1, kindOf(c));
        }))
        return;
    trap.run(114, [this] { shell::setMousePointer(this, shell::vbHourglass); });
    const int rows = list.rowCount();
    const int columns = list.columnCount();
    std::optional<PendingEvents> pending(std::in_place, this, QStringLiteral("Writing the workbook..."), rows);

    // Every list column keeps its own sheet column, so an empty cell never moves the
    // texts after it under another heading: each heading is written whatever the first
    // row holds, and i moves on after every cell, written or empty.
    int i = 0;
    trap.run(116, [&] { i = 1; });
    for (int c = 1; trap.loop(118, [&] { return c <= columns; }); ++c) {
        trap.run(120, [&] { pending->run(0); });
        const bool first = c == 1;
        trap.run(first ? 126 : 132, [&] { book->writeText(1, i, list.header(c - 1)); });
        trap.run(first ? 128 : 134, [&] { ++i; });
    }
    int j = 0;
    trap.run(138, [&] { j = 2; });
    for (int r = 1; trap.loop(140, [&] { return r <= rows; }); ++r) {
        trap.run(142, [&] { pending->run(r - 1); });
        if (trap.test(144, [&] { return list.isChecked(r - 1); })) {
            trap.run(146, [&] { i = 1; });
            for (int c = 1; trap.loop(148, [&] { return c <= columns; }); ++c) {
                trap.run(150, [&] { pending->run(r - 1); });
                const bool first = c == 1;
                QString text;
                trap.run(first ? 154 : 160, [&] { text = list.text(r - 1, c - 1); });
                // No text past the first column may start a formula.
                trap.run(first ? 156 : 162, [&] { book->write(j, i, first ? text : text.remove(u'=')); });
                trap.run(first ? 158 : 164, [&] { ++i; });
            }
        }
        trap.run(168, [&] { ++j; });
    }
    trap.run(172, [&] { book->writeText(j + 2, 3, Label1->text()); });
    trap.run(174, [&] { book->writeText(j + 2, 6, Label2->text()); });
    trap.run(176, [&] { book->writeText(j + 2, 9, Label3->text()); });
    trap.run(178, [&] { book->fitColumns(); });
    pending.reset();
    trap.run(180, [&] {
        book->close();
        // The desktop's opener first; where it is missing (no xdg-open outside a
        // desktop), the spreadsheet program the presence check found. A saved workbook
        // is no failure: that nothing opened it is said plainly, with where it is.
        platform::Desktop& desktop = platform::Desktop::current();
        if (!desktop.open(QUrl::fromLocalFile(path)) && desktop.openWith(kSpreadsheetPrograms, path).isEmpty())
            platform::Dialogs::current().MsgBox(QStringLiteral("The workbook was saved as %1, but no program could open it.")
                                                    .arg(QDir::toNativeSeparators(path)),
                                                platform::vbInformation);
        if (const int cut = book->cutTexts(); cut > 0)   // told once, however many
            platform::Dialogs::current().MsgBox(cutMessage(cut), platform::vbInformation);
    });
    trap.run(182, [this] { shell::setMousePointer(this, shell::vbDefault); });
}

} // namespace mainwindow
