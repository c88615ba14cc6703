#pragma once

// Keyed archives written object by object in XML, for shapes our archiver never writes: containers
// shared by many references, records of unexpected classes, very many records.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace test_support {

class HandArchive {
public:
    static QString ref(int uid) {
        return QString("<dict><key>CF$UID</key><integer>%1</integer></dict>").arg(uid);
    }

    // An object of "$objects" as XML; its UID.
    int add(const QString& xml) {
        objects << xml;
        return int(objects.size());
    }
    int string(const QString& text) { return add(QString("<string>%1</string>").arg(text.toHtmlEscaped())); }
    // A record of className with its keys, each an XML value (ref() for a reference).
    int record(const QString& className, const QList<std::pair<QString, QString>>& keys = {}) {
        QString body = "<key>$class</key>" + ref(classRecord(className));
        for (const auto& [key, value] : keys)
            body += QString("<key>%1</key>%2").arg(key.toHtmlEscaped(), value);
        return add("<dict>" + body + "</dict>");
    }
    int array(const QList<int>& items) { return record("NSArray", {{"NS.objects", refs(items)}}); }
    int dictionary(const QList<std::pair<QString, int>>& entries) {
        QList<int> keys, values;
        for (const auto& [key, value] : entries) {
            keys << string(key);
            values << value;
        }
        return record("NSDictionary", {{"NS.keys", refs(keys)}, {"NS.objects", refs(values)}});
    }
    // The archive with `root` as its "$top" "root".
    QByteArray xml(int root) const {
        return QString("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                       "<key>$archiver</key><string>NSKeyedArchiver</string>"
                       "<key>$version</key><integer>100000</integer>"
                       "<key>$top</key><dict><key>root</key>%1</dict>"
                       "<key>$objects</key><array><string>$null</string>\n%2</array></dict></plist>\n")
            .arg(ref(root), objects.join('\n'))
            .toUtf8();
    }

private:
    static QString refs(const QList<int>& uids) {
        QString list;
        for (int uid : uids)
            list += ref(uid);
        return "<array>" + list + "</array>";
    }
    int classRecord(const QString& name) {
        if (!classes.contains(name))
            classes.insert(name,
                           add(QString("<dict><key>$classname</key><string>%1</string><key>$classes</key>"
                                       "<array><string>%1</string><string>NSObject</string></array></dict>")
                                   .arg(name)));
        return classes.value(name);
    }

    QStringList objects;
    QHash<QString, int> classes;
};

} // namespace test_support
