// The main window's start-up check of the data-access library, and the repair it offers
// when the library cannot serve the program.
#include "main/Form1.h"

#include "data/DataAccessCheck.h"
#include "shell/Dialogs.h"
#include "platform/FileFunctions.h"
#include "shell/Maker.h"
#include "shell/Shell32.h"

namespace mainwindow {

namespace {

const QString kSupportArticle = QStringLiteral("https://support.microsoft.com/kb/2640696");

QString repairQuestion()
{
    return QStringLiteral("Error #193: ADO is not properly installed on this computer. \r\n"
                          "You need to have it installed to use this software without error.\r\n\r\n"
                          "Would you like to repair it now?");
}

QString restartQuestion()
{
    return QStringLiteral("ADO is fixed on this computer. \r\n"
                          "You need to restart your computer and software.\r\n\r\n"
                          "Would you like to stop software now?");
}

QString installationMessage()
{
    return QStringLiteral("Please check for MDAC installation.\r\n\r\nPlease check this: ") + kSupportArticle
        + QStringLiteral(" and look for 'How to obtain this update' section and download the appropriate update."
                         "\r\n\r\nPlease email ")
        + shell::kSupportEmail + QStringLiteral(" with a screenshot of this message if you have any questions.");
}

} // namespace

void Form1::IsADOInstalled()
{
    // Silent throughout: this check reports through its own questions only, never the
    // error report.
    std::unique_ptr<platform::Connection> probeConnection;
    std::unique_ptr<platform::Recordset> probeRecordset;
    bool failed = false;
    try {
        probeConnection = data::createProbeConnection();
    } catch (...) {
        failed = true;
    }
    try {
        probeRecordset = data::createProbeRecordset();
    } catch (...) {
        failed = true;
    }
    if (!failed && probeConnection && probeRecordset)
        return;

    try {
        platform::Dialogs& dialogs = platform::Dialogs::current();
        if (dialogs.MsgBox(repairQuestion(), platform::vbYesNo) != platform::vbYes) {
            dialogs.MsgBox(installationMessage(), platform::vbOKOnly);
            return;
        }
        const QString package = data::repairPackagePath();
        if (!platform::FileExists(package))
            return;
        // Whatever the package's run gave, the restart question comes.
        shell::RunAndWait(shell::quoteArgument(package), 0);
        if (dialogs.MsgBox(restartQuestion(), platform::vbYesNo) == platform::vbYes)
            m_programEnded = true;
    } catch (...) {
    }
}

} // namespace mainwindow
