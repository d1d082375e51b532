#include "platform/AppPaths.h"

#include "platform/StoredNames.h"

#include <QCoreApplication>
#include <QDir>

namespace platform {

namespace {
QString& programFolderOverride()
{
    static QString folder;
    return folder;
}
} // namespace

QString programFolder()
{
    if (!programFolderOverride().isEmpty())
        return programFolderOverride();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString& folder)
{
    programFolderOverride() = folder;
}

QString settingsFilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + u'/' + stored::kMakerFolder + u'/' + stored::kSettingsFileName;
}

} // namespace platform
