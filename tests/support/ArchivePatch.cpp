#include "support/ArchivePatch.h"

#include "platform/foundation/FileUtils.h"
#include "platform/foundation/PropertyList.h"

#include <QFile>

#include <cstdlib>

namespace test_support {

int replaceArchivedStrings(const QString& path, const QString& from, const QString& to) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    QString error;
    const platform::PlistPtr root = platform::parsePropertyList(file.readAll(), &error);
    plist_t objects = root ? plist_dict_get_item(root.get(), "$objects") : nullptr;
    if (!objects || plist_get_node_type(objects) != PLIST_ARRAY)
        return -1;
    const QByteArray wanted = from.toUtf8(), replacement = to.toUtf8();
    int replaced = 0;
    for (uint32_t i = 0; i < plist_array_get_size(objects); ++i) {
        plist_t item = plist_array_get_item(objects, i);
        if (plist_get_node_type(item) != PLIST_STRING)
            continue;
        char* text = nullptr;
        plist_get_string_val(item, &text);
        const bool match = text && wanted == text;
        std::free(text);
        if (match) {
            plist_set_string_val(item, replacement.constData());
            ++replaced;
        }
    }
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root.get(), &bytes, &length);
    const QByteArray data(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    return !data.isEmpty() && platform::writeFileAtomically(path, data) ? replaced : -1;
}

} // namespace test_support
