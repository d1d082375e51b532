// Tallyfold: loading the main window brings the program up, closing it ends it. The
// user may also stop it while it loads; then the window never shows. A few
// command-line options do their work without a window instead.
#include "data/Ledger.h"
#include "main/CommandLine.h"
#include "main/Form1.h"

#include <QApplication>
#include <QMetaObject>

int main(int argc, char** argv)
{
    if (const auto status = mainwindow::answerHelpOrVersion(argc, argv))
        return *status;
    if (mainwindow::runsWithoutWindows(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");   // no screen needed, none used
        mainwindow::keepQtQuiet();
        data::setRunsWithoutEventLoop(true);
    }
    QApplication app(argc, argv);
    mainwindow::describeApplication();
    // Ties the windows to the installed desktop entry (its icon, its menu place).
    QApplication::setDesktopFileName(QStringLiteral("com.marlowick.Tallyfold"));
    if (const auto status = mainwindow::runCommandLine(app))
        return *status;
    mainwindow::Form1 form1;
    if (!form1.Form_Load())
        return 0;
    form1.show();
    // After the window has appeared, so each import window opens over it.
    const QStringList statements = mainwindow::statementFilesToOpen(QCoreApplication::arguments());
    if (!statements.isEmpty()) {
        QMetaObject::invokeMethod(&form1, [&form1, statements] {
            for (const QString& file : statements)
                form1.importStatement(file);
        }, Qt::QueuedConnection);
    }
    return app.exec();
}
