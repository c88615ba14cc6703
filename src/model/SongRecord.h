#pragma once

#include "platform/foundation/Guarded.h"

#include <QString>

// A song as a music library lists it: name, title, duration text, album and artist. A plain record that
// any thread may read and write.
class SongRecord {
public:
    QString strName() const { return fields.get(&Fields::name); }
    void setStrName(const QString& value) { fields.set(&Fields::name, value); }
    QString strTitle() const { return fields.get(&Fields::title); }
    void setStrTitle(const QString& value) { fields.set(&Fields::title, value); }
    QString strDuration() const { return fields.get(&Fields::duration); }
    void setStrDuration(const QString& value) { fields.set(&Fields::duration, value); }
    QString strAlbum() const { return fields.get(&Fields::album); }
    void setStrAlbum(const QString& value) { fields.set(&Fields::album, value); }
    QString strArtist() const { return fields.get(&Fields::artist); }
    void setStrArtist(const QString& value) { fields.set(&Fields::artist, value); }

private:
    struct Fields {
        QString name, title, duration, album, artist;
    };
    platform::Guarded<Fields> fields;
};
