#include "render/CompositionRegistry.h"

#include "render/BuiltInComposition.h"

#include <QFileInfo>
#include <QMap>

#include <mutex>

namespace {

std::mutex registryMutex;

QMap<QString, CompositionRegistry::Reader>& readers() {
    static QMap<QString, CompositionRegistry::Reader> byType{
        {BuiltInComposition::kFileType,
         [](const QString& path, QString* error) -> std::unique_ptr<Composition> {
             return BuiltInComposition::read(path, error);
         }}};
    return byType;
}

} // namespace

void CompositionRegistry::registerFormat(const QString& fileType, Reader reader) {
    const std::lock_guard lock(registryMutex);
    if (reader)
        readers().insert(fileType.toLower(), std::move(reader));
    else
        readers().remove(fileType.toLower());
}

QStringList CompositionRegistry::fileTypes() {
    const std::lock_guard lock(registryMutex);
    return readers().keys();
}

std::unique_ptr<Composition> CompositionRegistry::load(const QString& path, QString* error) {
    const QString type = QFileInfo(path).suffix().toLower();
    Reader reader;
    {
        const std::lock_guard lock(registryMutex);
        reader = readers().value(type);
    }
    if (!reader) {
        if (error)
            *error = QStringLiteral("No format reads the composition \"%1\"").arg(path);
        return nullptr;
    }
    QString why;
    auto composition = reader(path, &why);
    if (!composition && error)
        *error = why.isEmpty() ? QStringLiteral("The composition \"%1\" cannot be read").arg(path) : why;
    return composition;
}
