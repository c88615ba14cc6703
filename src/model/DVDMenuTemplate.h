#pragma once

#include "platform/foundation/Guarded.h"

#include <QImage>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <memory>
#include <vector>

// One DVD-menu template as the project manager loads it from the "dvdmenu" resource: the template
// dictionary, its style, name and picture folder, its thumbnail and the path of its overlay picture.
// The DVD layer draws the menu from its dictionary.
class DVDMenuTemplate {
public:
    // The template dictionaries of the "dvdmenu" resource, in order; anything in it that is not a
    // dictionary is left out. Without the resource (or with one that does not read) the list holds
    // only the no-menu entry, with a message in *error for one that does not read.
    static QVariantList templateDictionaries(QString* error = nullptr);
    // The entry that stands for a DVD without menu: "Style" "nomenu".
    static QVariantMap noMenuDictionary();
    // A template made from one dictionary, its pictures found in the resources' "DVDMenu/<Folder>".
    static std::shared_ptr<DVDMenuTemplate> fromDictionary(const QVariantMap& dictionary);

    QVariantMap menuDictionary() const;
    void setMenuDictionary(const QVariantMap& dictionary);
    QString menuStyle() const;
    void setMenuStyle(const QString& style);
    QString menuName() const;
    void setMenuName(const QString& name);
    QString folder() const;
    void setFolder(const QString& folder);
    QImage menuThumbnail() const;
    void setMenuThumbnail(const QImage& image);
    QString menuBackgroundImagePath() const;
    void setMenuBackgroundImagePath(const QString& path);

private:
    // Threads: read by the DVD thread while the main thread may set them; every field is guarded, together,
    // in `fields`.
    struct Fields {
        QVariantMap dictionary;
        QString style, name, pictureFolder, backgroundPath;
        QImage thumbnail;
    };
    platform::Guarded<Fields> fields;
};

using DVDMenuTemplateRef = std::shared_ptr<DVDMenuTemplate>;
