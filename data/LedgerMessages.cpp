#include "data/LedgerMessages.h"

#include "platform/StoredFormat.h"

#include <QDir>

namespace data {

QString problemMessage(platform::FileProblem problem, const QString& file, const QString& detail)
{
    using platform::FileProblem;
    const QString where = QDir::toNativeSeparators(file);
    switch (problem) {
    case FileProblem::Damaged:
        return QStringLiteral("The ledger file is damaged:\r\n%1\r\n\r\nTallyfold will not write anything more to it. "
                              "The list shows what can still be read, which may not be everything, and every "
                              "change is refused. Keep a copy of the file and restore your latest backup.\r\n\r\n"
                              "(%2)")
            .arg(where, detail);
    case FileProblem::NotALedger:
        return QStringLiteral("This file is not a Tallyfold ledger:\r\n%1\r\n\r\nIt holds no accounts and "
                              "transactions. Tallyfold has left it unchanged and will not write to it.")
            .arg(where);
    case FileProblem::NewerVersion:
        return QStringLiteral("The ledger file was saved by a newer version of Tallyfold:\r\n%1\r\n\r\n"
                              "Its stored format is %2; this version reads formats up to %3. Tallyfold has left "
                              "the file unchanged; open it with the newer version.")
            .arg(where, detail, QString::number(platform::stored::kLedgerVersion));
    case FileProblem::CannotUpgrade:
        return QStringLiteral("The ledger file could not be brought up to date:\r\n%1\r\n\r\nTallyfold has left "
                              "it unchanged and will not write to it.\r\n\r\n(%2)")
            .arg(where, detail);
    case FileProblem::None:
        break;
    }
    return {};
}

QString problemNote(platform::FileProblem problem)
{
    using platform::FileProblem;
    switch (problem) {
    case FileProblem::Damaged:
        return QStringLiteral(" - ledger file damaged: read-only, the list may be incomplete");
    case FileProblem::NotALedger:
    case FileProblem::NewerVersion:
    case FileProblem::CannotUpgrade:
        return QStringLiteral(" - ledger file not opened: the list is empty");
    case FileProblem::None:
        break;
    }
    return {};
}

} // namespace data
