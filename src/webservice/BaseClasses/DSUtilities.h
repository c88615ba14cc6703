#pragma once

#include "webservice/BaseClasses/DSClass.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

#include <optional>

// The library's version: 1.12.0.
void getDSLibraryVersion(unsigned* major, unsigned* minor, unsigned* release);
QString DSLibraryVersionString();

// Text cleaning, percent-encodings, copies, searches, reply bodies, versions and MIME types for the service
// client. Every function may be called from any thread.
namespace DSUtilities {

// Drops control and format characters (tab, line feed, carriage return and next line stay): XML cannot carry
// them.
QString stringWithControlsFilteredForString(const QString& text);
// Blanks become "_"; white space and the separators of HTTP tokens go.
QString userAgentStringForString(const QString& text);
// The leading number of the text; "INF" and "-INF" in any case give the infinities; none for empty or none.
std::optional<double> doubleNumberOrInfForString(const QString& text);

// Only what a URL cannot hold at all.
QString stringByURLEncodingString(const QString& text);
// Everything but letters, digits and "-._~".
QString stringByURLEncodingForURI(const QString& text);
// As for a URI, blanks as "+".
QString stringByURLEncodingStringParameter(const QString& text);
// "%" and every byte outside printable ASCII as "%XX" of the UTF-8 form.
QString stringByPercentEncodingUTF8ForString(const QString& text);

QList<DSInstanceRef> arrayWithCopiesOfObjectsInArray(const QList<DSInstanceRef>& objects);
QMap<QString, DSInstanceRef>
dictionaryWithCopiesOfObjectsInDictionary(const QMap<QString, DSInstanceRef>& objects);
QMap<QString, QList<DSInstanceRef>>
dictionaryWithCopiesOfArraysInDictionary(const QMap<QString, QList<DSInstanceRef>>& arrays);

// The items whose value at the key path is the wanted one (a null value finds the items that have none).
template <class T, class KeyPath>
QList<T> objectsFromArray(const QList<T>& items, const QVariant& value, KeyPath keyPath) {
    QList<T> found;
    for (const T& item : items) {
        const QVariant itemValue = keyPath(item);
        if (itemValue.isNull() ? value.isNull() : (!value.isNull() && itemValue == value))
            found.append(item);
    }
    return found;
}
template <class T, class KeyPath>
std::optional<T> firstObjectFromArray(const QList<T>& items, const QVariant& value, KeyPath keyPath) {
    const QList<T> found = objectsFromArray(items, value, keyPath);
    return found.isEmpty() ? std::nullopt : std::optional<T>(found.first());
}

// The key=value lines of a reply; a line without "=" or without a value is skipped; none for none.
std::optional<QMap<QString, QString>> dictionaryWithResponseString(const QString& text);
std::optional<QMap<QString, QString>> dictionaryWithResponseData(const QByteArray& data);

// -1, 0 or 1 by the first four dotted numbers: 1.12 and 1.12.0 are the same, 2 is above 1.9.
int compareVersion(const QString& a, const QString& b);

// By the file's name; the default when the file is missing or its type unknown.
QString MIMETypeForFileAtPath(const QString& path, const QString& defaultMIMEType);

} // namespace DSUtilities
