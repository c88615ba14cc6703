// The installed applications as the desktop lists them, by their desktop entries: an application's
// identifier is its entry's path under an "applications" folder with "/" turned into "-" and without
// ".desktop"; its name is the entry's "Name".
#include "model/SlideshowProject.h"

#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>

#include <set>

namespace {

struct DesktopEntry {
    QString name;
    bool hidden = false;
};

// The keys of the "[Desktop Entry]" group that matter here; a file of another kind gives nothing.
DesktopEntry readDesktopEntry(const QString& path) {
    DesktopEntry entry;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text) || file.size() > 1 << 20)
        return entry;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("Name") && entry.name.isEmpty())
            entry.name = value;
        else if (key == QLatin1String("Hidden"))
            entry.hidden = value == QLatin1String("true");
    }
    return entry;
}

} // namespace

QString SlideshowProject::bundleIdentifierForApplicationName(const QString& name) {
    if (name.isEmpty())
        return QString();
    // An entry of the user's own hides one of the same identifier installed for everyone.
    std::set<QString> seen;
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        QDirIterator found(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        QStringList paths;
        while (found.hasNext())
            paths << found.next();
        paths.sort();
        for (const QString& path : paths) {
            QString identifier = path.mid(folder.size() + 1);
            identifier.chop(int(qstrlen(".desktop")));
            identifier.replace('/', '-');
            if (!seen.insert(identifier).second)
                continue;
            const DesktopEntry entry = readDesktopEntry(path);
            if (!entry.hidden && entry.name == name)
                return identifier;
        }
    }
    return QString();
}
