#include "shell/ErrorTrap.h"

#include "data/sqlite/Database.h"
#include "shell/Dialogs.h"
#include "shell/Maker.h"

namespace shell {

QString errorReportText(const QString& description, const QString& window, const QString& procedure, int line,
                        const QString& suffix)
{
    return description + QStringLiteral("\r\n") + QStringLiteral("in Tallyfold2021/08/31.") + window + u'.'
        + procedure + u' ' + QStringLiteral("at line ") + QString::number(line) + QStringLiteral("\r\r")
        + QStringLiteral("Please email screenshot of this message to ") + kSupportEmail + suffix;
}

void ErrorTrap::report(const std::exception& e)
{
    if (const auto* refusal = dynamic_cast<const platform::FileRefusal*>(&e)) {
        if (!refusal->quiet() && !std::exchange(m_refusalShown, true))
            platform::Dialogs::current().MsgBox(refusal->description(), platform::vbExclamation, platform::appTitle());
        return;
    }
    show(QString::fromUtf8(e.what()));
}

void ErrorTrap::reportUnknown()
{
    show(QStringLiteral("Unexpected error"));
}

void ErrorTrap::show(const QString& description)
{
    const QString suffix = m_suffix ? m_suffix() : QString();
    platform::Dialogs::current().MsgBox(errorReportText(description, m_window, m_procedure, m_line, suffix),
                                        platform::vbExclamation, QStringLiteral("Application Error"));
}

} // namespace shell
