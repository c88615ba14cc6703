#include "model/DVDMenuTemplate.h"

#include "platform/foundation/PropertyList.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"

#include <QFile>

#include <cstdlib>

namespace {

std::mutex factoryMutex;
DVDMenuTemplate::Factory& factorySlot() {
    static DVDMenuTemplate::Factory factory;
    return factory;
}

QString plistString(plist_t node) {
    char* text = nullptr;
    plist_get_string_val(node, &text);
    const QString value = text ? QString::fromUtf8(text) : QString();
    std::free(text);
    return value;
}

// A checked property list as Qt values; its depth was bounded by the check.
QVariant variantOf(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return qint64(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_STRING:
        return plistString(node);
    case PLIST_ARRAY: {
        QVariantList list;
        for (uint32_t i = 0; i < plist_array_get_size(node); ++i)
            list.append(variantOf(plist_array_get_item(node, i)));
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!key)
                break;
            map.insert(QString::fromUtf8(key), variantOf(value));
            std::free(key);
        }
        std::free(it);
        return map;
    }
    default:
        return QVariant();
    }
}

QString pictureIn(const QString& folder, const QVariant& name) {
    const QString file = name.toString();
    if (file.isEmpty() || folder.isEmpty())
        return QString();
    return platform::paths::pathForResource(file, QString(), "DVDMenu/" + folder);
}

} // namespace

void DVDMenuTemplate::setFactory(Factory factory) {
    std::lock_guard lock(factoryMutex);
    factorySlot() = std::move(factory);
}

std::shared_ptr<DVDMenuTemplate> DVDMenuTemplate::make() {
    Factory factory;
    {
        std::lock_guard lock(factoryMutex);
        factory = factorySlot();
    }
    auto made = factory ? factory() : nullptr;
    return made ? made : std::make_shared<DVDMenuTemplate>();
}

QVariantMap DVDMenuTemplate::noMenuDictionary() {
    return {{"Name", tr_("No Menu")}, {"Style", "nomenu"}, {"Folder", QString()}};
}

QVariantList DVDMenuTemplate::templateDictionaries(QString* error) {
    const QString path = platform::paths::pathForResource("dvdmenu", "plist");
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {noMenuDictionary()};
    QString problem;
    const platform::PlistPtr root = platform::parsePropertyList(file.readAll(), &problem);
    if (!root || plist_get_node_type(root.get()) != PLIST_ARRAY) {
        if (error)
            *error = problem.isEmpty() ? tr_("The DVD-menu templates are not a list.") : problem;
        return {noMenuDictionary()};
    }
    QVariantList templates;
    for (const QVariant& entry : variantOf(root.get()).toList())
        if (entry.typeId() == QMetaType::QVariantMap)
            templates.append(entry);
    return templates;
}

std::shared_ptr<DVDMenuTemplate> DVDMenuTemplate::fromDictionary(const QVariantMap& dictionary) {
    auto menu = make();
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
    std::lock_guard lock(mutex);
    return dictionary;
}
void DVDMenuTemplate::setMenuDictionary(const QVariantMap& value) {
    std::lock_guard lock(mutex);
    dictionary = value;
}
QString DVDMenuTemplate::menuStyle() const {
    std::lock_guard lock(mutex);
    return style;
}
void DVDMenuTemplate::setMenuStyle(const QString& value) {
    std::lock_guard lock(mutex);
    style = value;
}
QString DVDMenuTemplate::menuName() const {
    std::lock_guard lock(mutex);
    return name;
}
void DVDMenuTemplate::setMenuName(const QString& value) {
    std::lock_guard lock(mutex);
    name = value;
}
QString DVDMenuTemplate::folder() const {
    std::lock_guard lock(mutex);
    return pictureFolder;
}
void DVDMenuTemplate::setFolder(const QString& value) {
    std::lock_guard lock(mutex);
    pictureFolder = value;
}
QImage DVDMenuTemplate::menuThumbnail() const {
    std::lock_guard lock(mutex);
    return thumbnail;
}
void DVDMenuTemplate::setMenuThumbnail(const QImage& image) {
    std::lock_guard lock(mutex);
    thumbnail = image;
}
QString DVDMenuTemplate::menuBackgroundImagePath() const {
    std::lock_guard lock(mutex);
    return backgroundPath;
}
void DVDMenuTemplate::setMenuBackgroundImagePath(const QString& path) {
    std::lock_guard lock(mutex);
    backgroundPath = path;
}
