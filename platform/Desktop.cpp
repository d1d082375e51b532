#include "platform/Desktop.h"

#include <QDesktopServices>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QMimeDatabase>
#include <QSet>
#include <QStandardPaths>

namespace platform {

namespace {

Desktop* g_current = nullptr;

// The entries of one group of a desktop-entry style file ("[Desktop Entry]",
// "[Added Associations]"...), as key to value.
QHash<QString, QString> readGroup(const QString& path, QStringView group)
{
    QHash<QString, QString> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entries;
    bool inGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inGroup = line == u'[' + group.toString() + u']';
        } else if (inGroup) {
            const qsizetype equals = line.indexOf(u'=');
            if (equals > 0)
                entries.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
        }
    }
    return entries;
}

QStringList listValue(const QString& value)
{
    return value.split(u';', Qt::SkipEmptyParts);
}

// The desktop's applications that say they open files of one of these types, or that the
// user's and the system's mimeapps.list files add for them, less those they remove.
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
        const auto defaults = readGroup(file, u"Default Applications");
        const auto added = readGroup(file, u"Added Associations");
        const auto removes = readGroup(file, u"Removed Associations");
        for (const QString& type : types) {
            for (const QString& id : listValue(defaults.value(type)) + listValue(added.value(type)))
                candidates.insert(id);
            for (const QString& id : listValue(removes.value(type)))
                removed.insert(id);
        }
    }
    for (auto it = installed.constBegin(); it != installed.constEnd(); ++it) {
        const auto entry = readGroup(it.value(), u"Desktop Entry");
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
