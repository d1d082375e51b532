#pragma once
// The main window: the transaction list with its summary and the commands around it.
// Loading it brings the program up (Form_Load), closing it ends the program
// (Form_QueryUnload, Form_Unload). Every command ends by rebuilding the list with
// ListData.

#include "main/TransactionList.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace shell { class ErrorTrap; class Ghost; }
namespace charts { class ChartWindow; }
namespace data { struct HistoryMove; }

namespace output {
class DataReport;
}

namespace mainwindow {

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: data folder, connection, columns, list, window state. Run before the
    // window is shown; show() then brings it up in the restored state. False when the
    // user chose to stop the program during start-up: the window is then never shown
    // and the program ends at once, saving nothing.
    bool Form_Load();
    // Close: saves the column widths and window state and closes the connection.
    void Form_QueryUnload();
    void Form_Unload();

    // Start-up steps: the optional skin, and the maker's home page on one start in a hundred.
    void ApplySkin();
    void OpenHomePageNow();
    // Where OpenHomePageNow draws its numbers: a fraction in [0, 1). Tests fix it;
    // nullptr restores the real random source.
    static void setRandomSource(std::function<double()> fraction);

    void ListData();
    // Checks that the data-access library can serve the program and offers its repair
    // when it cannot; the user may stop the program from here.
    void IsADOInstalled();
    // Marks the window while the ledger file has a problem (damaged, not opened): a
    // note in the caption, the message as the summary's tooltip.
    void showLedgerProblem();
    // Someone else changed the ledger: the list reloads where the user is.
    void othersChanged();
    // Which row a reload makes current, beyond keeping the user's place (the sort,
    // ticks, find filter and scroll): the one current before (None: left where it
    // scrolled to; Current: shown), or the newest row when the change made one (an add,
    // a duplicate, an import).
    enum class Changed { None, Current, Newest };
    // `stepRow`: a row an undo or redo changed, made current where the list shows it.
    void reloadInPlace(Changed changed, std::optional<qint64> stepRow = std::nullopt);
    // How many times the list has been filled so far.
    int reloads() const { return m_reloads; }
    void ListView1_ColumnClick(int index);
    void Form_Resize();

    void PushButton1_Click();   // Edit Selected
    void PushButton2_Click();   // Add New
    void PushButton3_Click();   // Delete Selected
    void PushButton4_Click();   // Duplicate Selected
    void PushButton5_Click();   // Create/Print Report
    void PushButton6_Click();   // Save Database To Excel
    void PushButton7_Click();   // Load Sample/Example Data
    void PushButton8_Click();   // Help
    void PushButton9_Click();   // Currency Options

    // The list's context menu (right-click, the Menu key): undo and redo, naming their
    // steps, the four transaction commands, and restoring a backup.
    void ListView1_ContextMenu(const QPoint& position);
    // Names the undo and redo steps in the menu as the history stands now.
    void updateListMenu();
    void mnuUndo_Click();      // also Ctrl+Z
    void mnuRedo_Click();      // also Ctrl+Shift+Z and Ctrl+Y
    void mnuRestore_Click();   // Restore a Backup…

    // Whether the desktop has a spreadsheet program to open the export with; tells the
    // user when it has none.
    bool SaveResultsAsExcelFileIsExcelInstalled();

    // Find as you type and the charts (Form1Find.cpp), from the list's context menu and
    // their keys. The find bar lies over the list's bottom edge while in use; closing it
    // shows the list as it was before (sort, current row, ticks, scroll).
    void mnuFind_Click();      // also Ctrl+F
    void mnuCharts_Click();    // also Ctrl+G
    void closeFind();
    class FindBar* findBar() const { return m_findBar; }
    charts::ChartWindow* chartWindow() const { return m_charts; }

    // Importing a statement (Form1Import.cpp): "Import Statement…" in the list's context
    // menu and Ctrl+I ask for the file; files dropped on the list, and those named on the
    // command line, go straight to the window. Reloads the list and tells what was done.
    void mnuImport_Click();
    void importStatement(const QString& file);
    // The chosen chart ("balance", "months", "accounts") of the whole ledger written to a
    // PNG or SVG file; false with the reason in *error when it cannot be.
    bool ChartToFile(const QString& kind, const QString& file, QString* error);

    // The report of "Create/Print Report", written to a PDF file instead of previewed,
    // for the command line.
    void ReportToPdf(const QString& file);
    // For work without windows: the load shows no window (the help window stays hidden).
    void setWindowless() { m_windowless = true; }

    // The window state as stored: 0 normal, 1 minimised, 2 maximised.
    int windowStateNumber() const;
    void setWindowStateNumber(int state);

    TransactionList* ListView1;
    QPushButton* PushButton1;
    QPushButton* PushButton2;
    QPushButton* PushButton3;
    QPushButton* PushButton4;
    QPushButton* PushButton5;
    QPushButton* PushButton6;
    QPushButton* PushButton7;
    QPushButton* PushButton8;
    QPushButton* PushButton9;
    QGroupBox* Frame1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label11;
    QLabel* Label22;
    QLabel* Label33;

    QMenu* mnuList;
    QAction* mnuUndo;
    QAction* mnuRedo;
    QAction* mnuEdit;
    QAction* mnuAdd;
    QAction* mnuDelete;
    QAction* mnuDuplicate;
    QAction* mnuRestore;
    QAction* mnuFind = nullptr;
    QAction* mnuCharts = nullptr;
    QAction* mnuImport = nullptr;

    bool WasMaximized = false;
    // Whether a restore from maximised is still settling: a move by the window manager
    // in these moments is undone. For tests, which wait for it to end.
    bool settlingAfterRestore() const { return m_centring; }

    // The help window, once start-up has shown it.
    shell::Ghost* helpWindow() const { return m_ghost.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;


signals:
    // After a reload for someone else's change (an editor open meanwhile hears of it).
    void ledgerChangedElsewhere();

private:
    // The error report of Form1's procedure `procedure`.
    static shell::ErrorTrap trapFor(const char* procedure);
    QPushButton* makeButton(const char* name, const QString& caption, double left, double top, double width);
    // The list's menu and the keys, none of which moves the layout.
    void makeListMenu();
    // Undoes or redoes a step (`step`: data::undo or data::redo) under `procedure`'s
    // error report, tells a refusal, reloads the list when the ledger changed.
    void moveThroughHistory(const char* procedure, data::HistoryMove (*step)());
    void setCaption(QLabel* label, const QString& text);
    QSize designSize() const;
    void fitBorderToState();
    QPoint screenCentre() const;
    void centreOnScreen();
    // The summary's totals of the whole ledger, as ListData shows them, and ListData's
    // totals alone, for work without a window, which needs no list.
    void showTotals(shell::ErrorTrap& trap, double totalWithdrawal, double totalDeposit, const QString& pattern);
    void ListTotals();
    // The report command's steps, with show as its step 144.
    void createReport(const std::function<void()>& tick, const std::function<void(output::DataReport&)>& show);

    // Find and charts (Form1Find.cpp).
    void makeFindAndCharts();
    void findTextChanged(const QString& text);
    // Called at the end of every reload: the filter's summary and the charts follow it.
    void afterListData();
    void showFindSummary();
    // Import (Form1Import.cpp).
    void makeImport();

    std::unique_ptr<shell::Ghost> m_ghost;
    class FindBar* m_findBar = nullptr;
    charts::ChartWindow* m_charts = nullptr;   // a window of its own, owned by this one
    // The list and summary as they were when the find bar opened.
    struct BeforeFind {
        int added = -1;
        QString id;
        int scroll = 0;
        int reloads = 0;
        QStringList summary;   // Frame1's title, then Label1..3 and Label11..33
    };
    std::optional<BeforeFind> m_beforeFind;
    int m_reloads = 0;
    // A reload under way, and another's change heard meanwhile (a message box of the
    // reload runs the event loop): that one reloads once this one is done.
    bool m_listing = false;
    bool m_othersPending = false;
    bool m_closing = false;
    bool m_programEnded = false;
    bool m_windowless = false;
    bool m_centring = false;   // just restored: the window manager may still move it
    bool m_checkStarted = false;
};

} // namespace mainwindow
