#include "output/ExportFile.h"

#include "platform/AppError.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace output {

namespace {
// Far more exports in one second than anyone makes; past it something else is wrong.
constexpr int kMaxSameSecond = 1000;
} // namespace

QString exportFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    if (!QDir().mkpath(folder))
        throw platform::AppError(QStringLiteral("Path not found: ") + QDir::toNativeSeparators(folder));
    return folder;
}

QString reserveExportFile(const QString& folder, const QDateTime& now)
{
    // No colons in the time: the file may travel to systems that refuse them.
    const QString stem = QStringLiteral("Tallyfold export ") + now.toString(QStringLiteral("yyyy-MM-dd HH.mm.ss"));
    for (int n = 1; n <= kMaxSameSecond; ++n) {
        const QString name = n == 1 ? stem : stem + QStringLiteral(" (%1)").arg(n);
        QFile file(QDir(folder).filePath(name + QStringLiteral(".xlsx")));
        // Made here, exclusively, so no earlier file is ever written over.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return file.fileName();
        if (!file.exists())
            throw platform::AppError(QStringLiteral("Path/File access error: ") + QDir::toNativeSeparators(file.fileName())
                                     + QStringLiteral(" (") + file.errorString() + u')');
    }
    throw platform::AppError(QStringLiteral("File already exists: ") + QDir::toNativeSeparators(QDir(folder).filePath(stem)));
}

} // namespace output
