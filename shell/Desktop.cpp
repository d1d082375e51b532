#include "shell/Desktop.h"

#include <QDesktopServices>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QMimeDatabase>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>

namespace platform {

namespace {

Desktop* g_current = nullptr;

// A desktop-entry style file ("[Desktop Entry]", "[Added Associations]"...): its groups,
// each as key to value.
QHash<QString, QHash<QString, QString>> readGroups(const QString& path)
{
    QHash<QString, QHash<QString, QString>> groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return groups;
    QString group;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            group = line.mid(1, line.size() - 2);
        } else if (!group.isEmpty()) {
            const qsizetype equals = line.indexOf(u'=');
            if (equals > 0)
                groups[group].insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
        }
    }
    return groups;
}

QStringList listValue(const QString& value)
{
    return value.split(u';', Qt::SkipEmptyParts);
}

// Whether an installed application says it opens files of one of these types, or the
// user's or the system's mimeapps.list files give it them, and none takes them away.
bool hasApplicationFor(const QStringList& types)
{
    // Installed applications by desktop id ("org.gnome.Foo.desktop"; "kde/foo.desktop" is
    // "kde-foo.desktop"); the first folder holding an id wins.
    QHash<QString, QString> installed;
    const QStringList applicationFolders = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    for (const QString& folder : applicationFolders) {
        QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString id = path.mid(folder.size() + 1).replace(u'/', u'-');
            if (!installed.contains(id))
                installed.insert(id, path);
        }
    }
    QSet<QString> candidates, removed;
    QStringList mimeappsFiles;
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        mimeappsFiles << folder + QStringLiteral("/mimeapps.list");
    for (const QString& folder : applicationFolders)
        mimeappsFiles << folder + QStringLiteral("/mimeapps.list");
    for (const QString& file : mimeappsFiles) {
        const auto groups = readGroups(file);
        for (const QString& type : types) {
            for (const char* given : {"Default Applications", "Added Associations"}) {
                for (const QString& id : listValue(groups.value(QString::fromLatin1(given)).value(type)))
                    candidates.insert(id);
            }
            for (const QString& id : listValue(groups.value(QStringLiteral("Removed Associations")).value(type)))
                removed.insert(id);
        }
    }
    for (auto it = installed.constBegin(); it != installed.constEnd(); ++it) {
        const auto entry = readGroups(it.value()).value(QStringLiteral("Desktop Entry"));
        if (entry.value(QStringLiteral("Hidden")) == u"true")
            continue;
        for (const QString& type : listValue(entry.value(QStringLiteral("MimeType")))) {
            if (types.contains(type))
                candidates.insert(it.key());
        }
    }
    for (const QString& id : candidates) {
        if (!removed.contains(id) && installed.contains(id))
            return true;
    }
    return false;
}

} // namespace

Desktop& Desktop::current()
{
    static QtDesktop real;
    return g_current ? *g_current : real;
}

void Desktop::setCurrent(Desktop* desktop)
{
    g_current = desktop;
}

bool QtDesktop::open(const QUrl& target)
{
    return QDesktopServices::openUrl(target);
}

QString QtDesktop::openWith(const QStringList& programs, const QString& file)
{
    for (const QString& program : programs) {
        const QString found = QStandardPaths::findExecutable(program);
        if (!found.isEmpty())
            return QProcess::startDetached(found, {file}) ? program : QString();
    }
    return {};
}

bool QtDesktop::canOpen(const QString& mimeType, const QStringList& programs)
{
    for (const QString& program : programs) {
        if (!QStandardPaths::findExecutable(program).isEmpty())
            return true;
    }
    // The desktop's own associations, as xdg-open follows them; a type may go by other names.
    QStringList types{mimeType};
    types << QMimeDatabase().mimeTypeForName(mimeType).aliases();
    return hasApplicationFor(types);
}

} // namespace platform
