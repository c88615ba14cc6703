#include "model/SlideshowProjectManager.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/FileTree.h"
#include "platform/foundation/StringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <set>

namespace {

bool somethingAt(const QString& path) {
    const QFileInfo found(path);
    return found.exists() || found.isSymLink();
}

// The first of ".SlideshowProject%05d", ".SlideshowProject%05d-1", ... that nothing in the folder holds.
QString freeEntryFolderName(const QString& documents, int number) {
    const QString base = QStringLiteral(".SlideshowProject%1").arg(number, 5, 10, QLatin1Char('0'));
    QString name = base;
    for (int suffix = 1; somethingAt(documents + "/" + name); ++suffix)
        name = QStringLiteral("%1-%2").arg(base).arg(suffix);
    return name;
}

void removeEntry(SlideshowProjectManager& manager, const SlideshowProjectManagerItemRef& entry) {
    auto entries = manager.slideshowProjectArray();
    std::erase(entries, entry);
    manager.setSlideshowProjectArray(std::move(entries));
    if (manager.currentSlideshowProjectManagerItem() == entry)
        manager.setCurrentSlideshowProjectManagerItem(nullptr);
    manager.syncCurrItemAndIndex();
}

} // namespace

QString SlideshowProjectManager::defaultProjectTitle() {
    return tr_("My Project");
}

bool SlideshowProjectManager::isEntryFolderName(const QString& name) {
    static const QRegularExpression entryFolder(QStringLiteral("^\\.SlideshowProject\\d{5,}(-\\d+)?$"));
    return entryFolder.match(name).hasMatch();
}

SlideshowProjectManagerItemRef SlideshowProjectManager::createNewItem() {
    const QString documents = homeDirectory();
    QDir().mkpath(documents);
    auto entries = slideshowProjectArray();
    const int count = int(entries.size()) + 1;
    auto entry = std::make_shared<SlideshowProjectManagerItem>();
    entry->setStrProjectTitle(count == 1 ? defaultProjectTitle()
                                         : QStringLiteral("%1 %2").arg(defaultProjectTitle()).arg(count));
    const QString folder = freeEntryFolderName(documents, count);
    entry->setStrProjectShortFolderName(folder);
    QDir(documents).mkdir(folder);
    entries.insert(entries.begin(), entry);
    setSlideshowProjectArray(std::move(entries));
    syncCurrItemAndIndex();
    return entry;
}

SlideshowProjectManagerItemRef SlideshowProjectManager::createNewProject() {
    auto entry = createNewItem();
    setCurrentSlideshowProjectManagerItem(entry);
    syncCurrItemAndIndex();
    return entry;
}

bool SlideshowProjectManager::deleteProject(int index) {
    const auto entries = slideshowProjectArray();
    if (index < 0 || std::size_t(index) >= entries.size())
        return false;
    const auto entry = entries[std::size_t(index)];
    // A folder that stays, holding a project, keeps that project's movies too.
    if (entry->deleteProjectFolder())
        entry->deleteOutputVideoFile();
    removeEntry(*this, entry);
    saveToFile();
    return true;
}

void SlideshowProjectManager::deleteEmptyProjectAndFolder() {
    for (const auto& entry : slideshowProjectArray()) {
        if (entry->hasProjectArchive())
            continue;
        entry->deleteProjectFolder();
        removeEntry(*this, entry);
    }
}

void SlideshowProjectManager::deleteIsolationFolder() {
    std::set<QString> named;
    for (const auto& entry : defaultSlideshowProjectManager()->slideshowProjectArray())
        named.insert(entry->strProjectShortFolderName());
    const QString documents = homeDirectory();
    const QStringList folders =
        QDir(documents).entryList(QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    // A folder that holds a project is a project of the user's, listed or not: the manager of the open
    // project lists no entries at all, so that every earlier project would go with the leftovers.
    for (const QString& name : folders)
        if (isEntryFolderName(name) && !named.contains(name) &&
            !QFileInfo::exists(documents + "/" + name + "/" + SlideshowProject::shortFileName()))
            platform::filetree::removeTree(QFile::encodeName(documents + "/" + name), false, nullptr);
}

void SlideshowProjectManager::syncSaveFile(bool force, bool deleteEmptyProjectFolder) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    const auto manager = defaultSlideshowProjectManager();
    if (project->slideCount() > 0) {
        // A failed save leaves the project dirty, so that the next tick tries again.
        if (force || project->bIsDirty()) {
            project->saveProjectToFile();
            manager->saveToFile();
        }
        return;
    }
    const auto current = manager->currentSlideshowProjectManagerItem();
    if (!deleteEmptyProjectFolder || !current)
        return;
    auto entries = manager->slideshowProjectArray();
    const auto at = std::find(entries.begin(), entries.end(), current);
    const std::size_t index = std::size_t(at - entries.begin());
    current->deleteProjectFolder();
    removeEntry(*manager, current);
    entries = manager->slideshowProjectArray();
    if (!entries.empty())
        manager->setCurrentSlideshowProjectManagerItem(index < entries.size() ? entries[index]
                                                                              : entries.front());
    manager->syncCurrItemAndIndex();
}

bool SlideshowProjectManager::needDisplaySlideshowProjectManagerWindow() const {
    return !QFileInfo(defaultFileFullPath()).isFile();
}

QString SlideshowProjectManager::defaultFileFullPath() {
    return homeDirectory() + QStringLiteral("/.slideshowProjectManager.dat");
}

QString SlideshowProjectManager::defaultFileFullPath_Ver230() {
    return homeDirectory() + QStringLiteral("/slideshowProjectManager.dat");
}
