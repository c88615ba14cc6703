#include "ui/editing/DVDMenuViewController.h"

#include "dvd/DVDCommandDialogs.h"
#include "dvd/DVDMenuItem.h"
#include "dvd/DVDNotifications.h"
#include "dvd/DVDProjectSettings.h"
#include "model/MusicItem.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowProjectManager.h"
#include "platform/foundation/ErrorText.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "ui/main/ControllerDialogs.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QSize kThumbnailSize(160, 90);

std::shared_ptr<SlideshowProjectManager> manager() {
    return SlideshowProjectManager::defaultSlideshowProjectManager();
}

QLabel* valueLabel(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

DVDMenuViewController::DVDMenuViewController(ControllerDialogs& userDialogs, platform::Scheduler& timers,
                                             ProjectSource project, QWidget* parent)
    : QWidget(parent), dialogs(userDialogs), scheduler(timers), projectSource(std::move(project)) {
    setObjectName("DVDMenuViewController");
    templates = new QStandardItemModel(this);
    gallery = new QListView(this);
    gallery->setObjectName("menuCollectionView");
    gallery->setViewMode(QListView::IconMode);
    gallery->setIconSize(kThumbnailSize);
    gallery->setGridSize(kThumbnailSize + QSize(24, 40));
    gallery->setResizeMode(QListView::Adjust);
    gallery->setMovement(QListView::Static);
    gallery->setWordWrap(true);
    gallery->setSelectionMode(QAbstractItemView::SingleSelection);
    gallery->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gallery->setMinimumSize(3 * (kThumbnailSize.width() + 24) + 24, kThumbnailSize.height() + 64);
    gallery->setModel(templates);
    connect(gallery->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DVDMenuViewController::templateSelectionChanged);

    titleField = new QLineEdit(this);
    titleField->setObjectName("dvdTitleText");
    subtitleField = new QLineEdit(this);
    subtitleField->setObjectName("dvdSubTitleText");
    // Edited, not changed: filling the fields from the settings does not mark the project dirty.
    connect(titleField, &QLineEdit::textEdited, this, [this](const QString& text) {
        manager()->setDvdTitle(text);
        markProjectDirty();
    });
    connect(subtitleField, &QLineEdit::textEdited, this, [this](const QString& text) {
        manager()->setDvdSubtitle(text);
        markProjectDirty();
    });

    songTitle = valueLabel("musicTitle", this);
    songArtist = valueLabel("musicArtist", this);
    songDuration = valueLabel("musicDuration", this);
    chooseSong = new QPushButton(tr_("Choose Song..."), this);
    chooseSong->setObjectName("selectMusicButton");
    connect(chooseSong, &QPushButton::clicked, this, &DVDMenuViewController::SelectMusic);
    preview = new QPushButton(tr_("Preview"), this);
    preview->setObjectName("buttonPreview");
    connect(preview, &QPushButton::clicked, this, &DVDMenuViewController::PreviewButtonClicked);

    auto* texts = new QFormLayout;
    texts->addRow(tr_("Title:"), titleField);
    texts->addRow(tr_("Subtitle:"), subtitleField);
    auto* song = new QGroupBox(tr_("Menu song"), this);
    auto* songForm = new QFormLayout(song);
    songForm->addRow(tr_("Title:"), songTitle);
    songForm->addRow(tr_("Artist:"), songArtist);
    songForm->addRow(tr_("Duration:"), songDuration);
    songForm->addRow(QString(), chooseSong);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(preview);
    auto* column = new QVBoxLayout(this);
    column->addWidget(gallery, 1);
    column->addLayout(texts);
    column->addWidget(song);
    column->addLayout(buttons);

    fillGallery();
    loadDVDMmenu();
}

void DVDMenuViewController::fillGallery() {
    const auto settings = manager();
    if (settings->dvdMenuTemplateArray().empty())
        settings->loadDVDMenuTemplate();
    templates->clear();
    for (const DVDMenuTemplateRef& menu : settings->dvdMenuTemplateArray()) {
        auto* item = new QStandardItem(menu->menuName()); // the model takes it
        const QImage thumbnail = menu->menuThumbnail();
        if (!thumbnail.isNull())
            item->setIcon(QPixmap::fromImage(
                thumbnail.scaled(kThumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        templates->appendRow(item);
    }
}

void DVDMenuViewController::loadDVDMmenu() {
    const auto settings = manager();
    loading = true;
    if (!settings->dvdTitle().isEmpty())
        titleField->setText(settings->dvdTitle());
    if (!settings->dvdSubtitle().isEmpty())
        subtitleField->setText(settings->dvdSubtitle());
    songTitle->clear();
    songArtist->clear();
    songDuration->clear();
    selectTemplate(settings->nCurrentDVDMenuSelected());
    const DVDMenuTemplateRef current = settings->currentDVDMenuTemplate();
    preview->setEnabled(current && current->menuStyle() != QLatin1String("nomenu"));
    loading = false;
    loadDVDBackgroundMusic();
}

// The song item is made again from the stored path, reusing its copy in the project.
void DVDMenuViewController::loadDVDBackgroundMusic() {
    const auto settings = manager();
    const QString path = settings->dvdBackgroundMusicPath();
    if (path.isEmpty())
        return;
    settings->setDvdMenuBackgroundMusicArray({});
    settings->readMenuSong(path);
    const auto songs = settings->dvdMenuBackgroundMusicArray();
    if (!songs.empty())
        showMusicInfo(songs.front()->dictFileMediaItem());
}

void DVDMenuViewController::selectTemplate(int index) {
    if (index >= 0 && index < templates->rowCount())
        gallery->setCurrentIndex(templates->index(index, 0));
    else
        gallery->clearSelection();
}

int DVDMenuViewController::selectedTemplate() const {
    const QModelIndexList chosen = gallery->selectionModel()->selectedIndexes();
    return chosen.isEmpty() ? -1 : chosen.first().row();
}

void DVDMenuViewController::templateSelectionChanged() {
    if (loading)
        return;
    const auto project = projectSource();
    if (!project || project->slideCount() < 3)
        return; // the menu is drawn from the first three slides
    const int index = selectedTemplate();
    if (index >= 0)
        showMenuOfTemplate(index);
    else if (const int fallback = fallbackTemplateIndex(templates->rowCount()); fallback >= 0)
        selectTemplate(fallback); // the choice comes back through here
}

// The second template (the first is the one without menu), the only one when there is one, none of none.
int DVDMenuViewController::fallbackTemplateIndex(int templateCount) {
    return templateCount > 1 ? 1 : templateCount - 1;
}

void DVDMenuViewController::showMenuOfTemplate(int index) {
    const auto settings = manager();
    const auto all = settings->dvdMenuTemplateArray();
    settings->setNCurrentDVDMenuSelected(index);
    if (index >= int(all.size()))
        return;
    const DVDMenuTemplateRef chosen = all[std::size_t(index)];
    markProjectDirty();
    settings->setCurrentDVDMenuTemplate(chosen);
    auto& center = platform::NotificationCenter::defaultCenter();
    if (chosen->menuStyle() == QLatin1String("nomenu")) {
        settings->setBUseDVDMenu(false);
        center.post(kNotifyNoDVDMenu);
        queuedAlert = scheduler.scheduleOnce(0.0, [this] { showNoDVDAlert(); });
        preview->setEnabled(false);
        return;
    }
    settings->setBUseDVDMenu(true);
    preview->setEnabled(true);
    PreviewButtonClicked();
}

void DVDMenuViewController::PreviewButtonClicked() {
    const auto settings = manager();
    const auto project = projectSource();
    const DVDMenuTemplateRef current = settings->currentDVDMenuTemplate();
    if (!current || !project)
        return;
    DVDMenuItem menu(current->menuDictionary());
    DVDStepError error;
    if (!menu.buildMenuImagesForPreview(DVDProjectSettings::fromProject(*project, *settings), &error)) {
        if (error.isSet())
            dialogs.exportDialogs().showAlertSheet(DVDStepError::alertTitle(), error.message(), tr_("OK"));
        return;
    }
    platform::NotificationCenter::defaultCenter().post(kNotifyShowDVDMenu, menu.imagesArray());
}

void DVDMenuViewController::showChosenMenu() {
    const auto project = projectSource();
    const DVDMenuTemplateRef current = manager()->currentDVDMenuTemplate();
    if (!project || project->slideCount() < 3 || !current || current->menuStyle() == QLatin1String("nomenu"))
        return;
    PreviewButtonClicked();
}

void DVDMenuViewController::showNoDVDAlert() {
    dialogs.runModalAlert(QStringLiteral("Vistrelle"),
                          QStringLiteral("No Menu will be used for the output DVD-Video Disc."));
}

void DVDMenuViewController::SelectMusic() {
    const QStringList chosen = dialogs.runMediaOpenPanel(ControllerDialogs::MediaKind::Songs,
                                                         QStringLiteral("DVD Menu Background Music"));
    if (!chosen.isEmpty())
        AddDVDMenuBackgroundMusic(chosen.mid(0, 1));
}

// One copy of a song in the project however often it is chosen; a copy that fails is reported and stores
// nothing.
void DVDMenuViewController::AddDVDMenuBackgroundMusic(const QStringList& paths) {
    const auto settings = manager();
    for (const QString& path : paths) {
        if (!QFileInfo(path).isFile())
            continue;
        QString error;
        const QVariantMap song = SlideshowProjectManager::menuSongDictionaryForStoredPath(path, &error);
        if (song.isEmpty()) {
            dialogs.exportDialogs().showAlertSheet(
                QStringLiteral("ERROR"),
                platform::errorSentence(error, tr_("The song could not be copied into the project.")),
                tr_("OK"));
            return;
        }
        markProjectDirty();
        auto item = platform::makeMainThreadShared<MusicItem>();
        item->addEntriesFromDictionary(song);
        settings->setDvdBackgroundMusicPath(path);
        settings->setDvdMenuBackgroundMusicArray({item});
        showMusicInfo(song);
        return;
    }
}

void DVDMenuViewController::showMusicInfo(const QVariantMap& song) {
    songTitle->setText(song.value(QStringLiteral("strTitle")).toString());
    const QStringList authors = song.value(QStringLiteral("arrayAuthors")).toStringList();
    if (!authors.isEmpty())
        songArtist->setText(authors.first());
    songDuration->setText(durationText(song.value(QStringLiteral("numberDuration")).toDouble()));
}

QString DVDMenuViewController::durationText(double seconds) {
    const long long whole = std::llround(std::floor(std::max(seconds, 0.0)));
    return QString::asprintf("%02lld:%02lld", whole / 60, whole % 60);
}

void DVDMenuViewController::markProjectDirty() const {
    if (const auto project = projectSource())
        project->setBIsDirty(true);
}
