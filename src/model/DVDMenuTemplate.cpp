#include "model/DVDMenuTemplate.h"

#include "platform/foundation/PropertyListValues.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"

namespace {

QString pictureIn(const QString& folder, const QVariant& name) {
    const QString file = name.toString();
    if (file.isEmpty() || folder.isEmpty())
        return QString();
    return platform::paths::pathForResource(file, QString(), "DVDMenu/" + folder);
}

} // namespace

QVariantMap DVDMenuTemplate::noMenuDictionary() {
    return {{"Name", tr_("No Menu")}, {"Style", "nomenu"}, {"Folder", QString()}};
}

QVariantList DVDMenuTemplate::templateDictionaries(QString* error) {
    const QString path = platform::paths::pathForResource("dvdmenu", "plist");
    if (path.isEmpty())
        return {noMenuDictionary()};
    QString problem;
    const QVariant root = platform::readPropertyListFile(path, &problem);
    if (root.typeId() != QMetaType::QVariantList) {
        if (error)
            *error = problem.isEmpty() ? tr_("The DVD-menu templates are not a list.") : problem;
        return {noMenuDictionary()};
    }
    QVariantList templates;
    for (const QVariant& entry : root.toList())
        if (entry.typeId() == QMetaType::QVariantMap)
            templates.append(entry);
    return templates;
}

std::shared_ptr<DVDMenuTemplate> DVDMenuTemplate::fromDictionary(const QVariantMap& dictionary) {
    auto menu = std::make_shared<DVDMenuTemplate>();
    const QString folder = dictionary.value("Folder").toString();
    menu->setMenuDictionary(dictionary);
    menu->setMenuStyle(dictionary.value("Style").toString());
    menu->setMenuName(dictionary.value("Name").toString());
    menu->setFolder(folder);
    const QString thumbnail = pictureIn(folder, dictionary.value("thumbnail"));
    menu->setMenuThumbnail(thumbnail.isEmpty() ? QImage() : QImage(thumbnail));
    menu->setMenuBackgroundImagePath(pictureIn(folder, dictionary.value("background_image")));
    return menu;
}

QVariantMap DVDMenuTemplate::menuDictionary() const {
    return fields.get(&Fields::dictionary);
}
void DVDMenuTemplate::setMenuDictionary(const QVariantMap& value) {
    fields.set(&Fields::dictionary, value);
}
QString DVDMenuTemplate::menuStyle() const {
    return fields.get(&Fields::style);
}
void DVDMenuTemplate::setMenuStyle(const QString& value) {
    fields.set(&Fields::style, value);
}
QString DVDMenuTemplate::menuName() const {
    return fields.get(&Fields::name);
}
void DVDMenuTemplate::setMenuName(const QString& value) {
    fields.set(&Fields::name, value);
}
QString DVDMenuTemplate::folder() const {
    return fields.get(&Fields::pictureFolder);
}
void DVDMenuTemplate::setFolder(const QString& value) {
    fields.set(&Fields::pictureFolder, value);
}
QImage DVDMenuTemplate::menuThumbnail() const {
    return fields.get(&Fields::thumbnail);
}
void DVDMenuTemplate::setMenuThumbnail(const QImage& image) {
    fields.set(&Fields::thumbnail, image);
}
QString DVDMenuTemplate::menuBackgroundImagePath() const {
    return fields.get(&Fields::backgroundPath);
}
void DVDMenuTemplate::setMenuBackgroundImagePath(const QString& path) {
    fields.set(&Fields::backgroundPath, path);
}
