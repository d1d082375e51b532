#include "importing/StatementFile.h"

#include "importer/StatementReader.h"
#include "importing/AccountSplit.h"

#include <QFile>
#include <QFileInfo>

namespace importing {

QList<AccountStatement> readAccountStatements(const QString& path, const importer::ReadOptions& options)
{
    const QString fileName = QFileInfo(path).fileName();
    importer::Statement whole = importer::readStatementFile(path, options);
    const bool accounts = whole.format == importer::Format::Ofx || whole.format == importer::Format::Camt;
    QByteArray bytes;
    if (accounts) {
        // The reader has read it already, so it is a regular file of a size it takes.
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
    }
    const QList<AccountPart> parts = accountParts(bytes, whole.format);
    if (parts.size() <= 1) {
        const AccountPart only = parts.value(0);
        return {{whole, {whole.account.isEmpty() ? only.id : whole.account, only.type, fileName}}};
    }
    QList<AccountStatement> statements;
    for (const AccountPart& part : parts)
        statements.append({importer::readStatement(part.bytes, fileName, options), {part.id, part.type, fileName}});
    return statements;
}

} // namespace importing
