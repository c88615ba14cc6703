#include "ui/editing/BKMusicOptionsController.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "platform/media/AudioPlayer.h"
#include "platform/media/MediaAsset.h"
#include "ui/UiNotifications.h"
#include "ui/editing/MusicTimelineViewController.h"
#include "ui/editing/PopOverParts.h"
#include "ui/editing/ResourceImage.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>

using platform::media::AudioPlayer;
using platform::media::MediaTime;
using pop_over::whiteLabel;

namespace {

const QString kPlayImage = QStringLiteral("playback_play_icon&32.png");
const QString kPauseImage = QStringLiteral("playback_pause_icon&32.png");

std::vector<MusicItemRef> songsOf(const SlideshowProject* project) {
    return project ? project->musicArray() : std::vector<MusicItemRef>();
}

QString levelText(float level) {
    return QString::asprintf("%.2f", double(level));
}

// A player of the whole file, once through; null when it holds no sound.
std::unique_ptr<AudioPlayer> playerForFile(const QString& path) {
    const auto asset = platform::media::MediaAsset::open(path, false);
    if (!asset.isValid() || !asset.hasAudio())
        return nullptr;
    platform::media::Composition composition;
    if (!composition.addTrack().insertTimeRange(asset.audioTimeRange(), asset, MediaTime::zero()))
        return nullptr;
    return std::make_unique<AudioPlayer>(std::move(composition), platform::media::AudioMix());
}

QPushButton* commandButton(const QString& name, const QString& title, QWidget* parent) {
    auto* button = new QPushButton(title, parent); // the pop-over owns its parts
    button->setObjectName(name);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

// ---- the table's model

MusicListTableModel::MusicListTableModel(ProjectSource project, QStringList columnIdentifiers,
                                         QObject* parent)
    : QAbstractTableModel(parent), projectSource(std::move(project)),
      identifiers(std::move(columnIdentifiers)) {}

QVariant MusicListTableModel::objectValue(const SlideshowProject* project, const QString& identifier,
                                          int row) {
    const std::vector<MusicItemRef> songs = songsOf(project);
    if (row < 0 || std::size_t(row) >= songs.size())
        return QVariant();
    MusicItem& song = *songs[std::size_t(row)];
    if (identifier == QLatin1String("index"))
        return row + 1;
    if (identifier == QLatin1String("time"))
        return SlideshowProject::timeToString(float(song.duration()), false, true);
    if (identifier == QLatin1String("strTitle"))
        return song.strTitle();
    return song.dictFileMediaItem().value(identifier);
}

void MusicListTableModel::reloadData() {
    beginResetModel();
    endResetModel();
}

int MusicListTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(songsOf(projectSource().get()).size());
}

int MusicListTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(identifiers.size());
}

QVariant MusicListTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() >= identifiers.size())
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return identifiers[index.column()] == QLatin1String("strTitle")
                   ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    return objectValue(projectSource().get(), identifiers[index.column()], index.row());
}

QVariant MusicListTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section >= identifiers.size())
        return QVariant();
    const QString& identifier = identifiers[section];
    if (identifier == QLatin1String("index"))
        return QStringLiteral("#");
    if (identifier == QLatin1String("time"))
        return tr_("Time");
    if (identifier == QLatin1String("strTitle"))
        return tr_("Title");
    return identifier;
}

// ---- the pop-over

BKMusicOptionsController::BKMusicOptionsController(ProjectSource project, QWidget* parent)
    : QWidget(parent), projectSource(std::move(project)), enteredSongs(projectSongs()),
      model(new MusicListTableModel(
          projectSource, {QStringLiteral("index"), QStringLiteral("time"), QStringLiteral("strTitle")},
          this)),
      table(new QTableView(this)), play(commandButton("buttonPlay", QString(), this)),
      remove(commandButton("buttonRemove", tr_("Remove"), this)),
      up(commandButton("buttonUp", tr_("Up"), this)), down(commandButton("buttonDown", tr_("Down"), this)),
      add(commandButton("buttonAdd", tr_("Add..."), this)),
      close(commandButton("buttonClose", tr_("Close"), this)),
      photosSlider(new QSlider(Qt::Horizontal, this)), videosSlider(new QSlider(Qt::Horizontal, this)),
      photosLabel(whiteLabel(QString(), this)), videosLabel(whiteLabel(QString(), this)) {
    setObjectName("BKMusicOptionsController");
    table->setObjectName("musicListTableView");
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setMinimumSize(380, 150);
    play->setIconSize(QSize(20, 20));
    play->setToolTip(tr_("Play the selected song"));

    auto* buttons = new QHBoxLayout; // the column below takes it
    for (QPushButton* button : {play, remove, up, down, add})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* column = new QVBoxLayout(this); // the view owns its layout
    column->setContentsMargins(12, 10, 12, 10);
    column->addWidget(whiteLabel(tr_("Background Music"), this));
    column->addWidget(table);
    column->addLayout(buttons);
    column->addWidget(makeLevels());

    connect(play, &QPushButton::clicked, this, &BKMusicOptionsController::playButtonClicked);
    connect(remove, &QPushButton::clicked, this, &BKMusicOptionsController::removeButtonClicked);
    connect(up, &QPushButton::clicked, this, &BKMusicOptionsController::upButtonPressed);
    connect(down, &QPushButton::clicked, this, &BKMusicOptionsController::downButtonPressed);
    connect(add, &QPushButton::clicked, this, &BKMusicOptionsController::addMusicButtonClicked);
    connect(close, &QPushButton::clicked, this, &BKMusicOptionsController::closeButtonPressed);
    connect(photosSlider, &QSlider::valueChanged, this,
            &BKMusicOptionsController::SliderBackgroundVolumeWhenPhotosChanged);
    connect(videosSlider, &QSlider::valueChanged, this,
            &BKMusicOptionsController::SliderBackgroundVolumeWhenVideosChanged);
    awakeFromNib();
    adjustSize();
}

BKMusicOptionsController::~BKMusicOptionsController() {
    stop();
    postCloseMessages();
}

QWidget* BKMusicOptionsController::makeLevels() {
    auto* levels = new QWidget(this); // the pop-over owns its parts
    auto* grid = new QGridLayout(levels);
    grid->setContentsMargins(0, 6, 0, 0);
    photosSlider->setObjectName("sliderBackgroundVolumeWhenPhotos");
    videosSlider->setObjectName("sliderBackgroundvolumeWhenVideos");
    photosLabel->setObjectName("textfieldBackgroundVolumeWhenPhotos");
    videosLabel->setObjectName("textfieldBackgroundVolumeWhenVideos");
    grid->addWidget(whiteLabel(tr_("Music level with photos:"), levels), 0, 0);
    grid->addWidget(photosSlider, 0, 1);
    grid->addWidget(photosLabel, 0, 2);
    grid->addWidget(whiteLabel(tr_("Music level with video clips:"), levels), 1, 0);
    grid->addWidget(videosSlider, 1, 1);
    grid->addWidget(videosLabel, 1, 2);
    grid->setColumnStretch(1, 1);
    return levels;
}

// Filling the controls is no edit: the project is written only when the user moves a slider.
void BKMusicOptionsController::awakeFromNib() {
    showPlayImage(false);
    const auto project = projectSource();
    const float photos = project ? project->fltBackgroundMusicVolumeWhenPhotos() : 0.0f;
    const float videos = project ? project->fltBackgroundMusicVolumeWhenVideos() : 0.0f;
    for (auto [slider, label, level] :
         {std::tuple{photosSlider, photosLabel, photos}, std::tuple{videosSlider, videosLabel, videos}}) {
        const QSignalBlocker quiet(slider);
        slider->setRange(0, kLevelSteps);
        slider->setValue(int(std::lround(level * kLevelSteps)));
        label->setText(levelText(level));
    }
}

void BKMusicOptionsController::showPlayImage(bool playing) {
    const QImage picture = resourceImage(playing ? kPauseImage : kPlayImage);
    play->setIcon(picture.isNull() ? QIcon() : QIcon(QPixmap::fromImage(picture)));
    play->setText(picture.isNull() ? (playing ? tr_("Pause") : tr_("Play")) : QString());
}

// ---- selection

int BKMusicOptionsController::selectedRow() const {
    const QModelIndexList rows = table->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return -1;
    int first = rows.first().row();
    for (const QModelIndex& index : rows)
        first = std::min(first, index.row());
    return first;
}

void BKMusicOptionsController::selectRow(int row) {
    table->clearSelection();
    if (row < 0 || row >= model->rowCount())
        return;
    table->selectRow(row);
    table->scrollTo(model->index(row, 0));
}

// ---- listening

void BKMusicOptionsController::playButtonClicked() {
    if (!isPlaying() && !projectSongs().empty() && selectedRow() >= 0)
        playSelectedMusicFile();
    else
        stop();
}

// The song plays once. Its end leaves the player paused at the end and the button as it was: a click
// then stops it.
bool BKMusicOptionsController::playSelectedMusicFile() {
    const int row = selectedRow();
    if (row < 0)
        return false;
    const std::vector<MusicItemRef> songs = projectSongs();
    if (std::size_t(row) >= songs.size())
        return true;
    stop();
    const QString path = songs[std::size_t(row)]->strFilePath();
    if (!QFileInfo(path).isFile())
        return true;
    std::unique_ptr<AudioPlayer> player = playerForFile(path);
    if (!player)
        return true;
    AudioPlayer* raw = player.get();
    player->setEndHandler([this, raw] {
        QMetaObject::invokeMethod(
            this,
            [this, raw] {
                if (audioPlayer.get() == raw)
                    raw->pause();
            },
            Qt::QueuedConnection);
    });
    player->seek(MediaTime::zero());
    if (!player->play())
        return true;
    audioPlayer = std::move(player);
    showPlayImage(true);
    return true;
}

void BKMusicOptionsController::stop() {
    if (!audioPlayer)
        return;
    showPlayImage(false);
    audioPlayer->pause();
    audioPlayer->stop();
    audioPlayer.reset();
}

// ---- the list's commands

// The song's copy goes once nothing of the project names it (the DVD menu may play the same copy); the stock
// song plays from the program's own resource, which always stays.
void BKMusicOptionsController::removeButtonClicked() {
    stop();
    std::vector<MusicItemRef> songs = projectSongs();
    const int row = selectedRow();
    if (songs.empty() || row < 0 || std::size_t(row) >= songs.size())
        return;
    const MusicItemRef removed = songs[std::size_t(row)];
    songs.erase(songs.begin() + row);
    const int next = std::min(row, int(songs.size()) - 1);
    setProjectSongs(std::move(songs));
    if (const auto project = projectSource())
        project->removeCopyNamedByNothing(removed->strCopyPathIn(project->strMacProjectBundleContentsPath()));
    songListChanged(next);
}

void BKMusicOptionsController::upButtonPressed() {
    stop();
    const int row = selectedRow();
    if (row > 0 && std::size_t(row) < projectSongs().size())
        moveSong(row, row - 1);
}

void BKMusicOptionsController::downButtonPressed() {
    stop();
    const int row = selectedRow();
    if (row >= 0 && std::size_t(row) + 1 < projectSongs().size())
        moveSong(row, row + 1);
}

void BKMusicOptionsController::moveSong(int from, int to) {
    std::vector<MusicItemRef> songs = projectSongs();
    const MusicItemRef song = songs[std::size_t(from)];
    songs.erase(songs.begin() + from);
    songs.insert(songs.begin() + to, song);
    setProjectSongs(std::move(songs));
    songListChanged(to);
}

void BKMusicOptionsController::songListChanged(int rowToSelect) {
    model->reloadData();
    if (relayStrip)
        relayStrip();
    else if (musicTLVC)
        musicTLVC->respondMusicArrayChanged();
    selectRow(rowToSelect);
}

void BKMusicOptionsController::addMusicButtonClicked() {
    platform::NotificationCenter::defaultCenter().post(kNotifyMusicOptionsAddMusicClicked);
}

void BKMusicOptionsController::closeButtonPressed() {
    stop();
    postCloseMessages();
}

std::vector<MusicItemRef> BKMusicOptionsController::projectSongs() const {
    return songsOf(projectSource().get());
}

void BKMusicOptionsController::setProjectSongs(std::vector<MusicItemRef> songs) {
    if (const auto project = projectSource()) {
        project->setMusicArray(std::move(songs));
        project->setBIsDirty(true);
    }
}

// ---- levels

void BKMusicOptionsController::SliderBackgroundVolumeWhenPhotosChanged() {
    const auto project = projectSource();
    if (!project)
        return;
    project->setFltBackgroundMusicVolumeWhenPhotos(float(photosSlider->value()) / kLevelSteps);
    photosLabel->setText(levelText(project->fltBackgroundMusicVolumeWhenPhotos()));
    project->setBIsDirty(true);
    platform::NotificationCenter::defaultCenter().post(kNotifyBKMusicVolumeChange);
}

void BKMusicOptionsController::SliderBackgroundVolumeWhenVideosChanged() {
    const auto project = projectSource();
    if (!project)
        return;
    project->setFltBackgroundMusicVolumeWhenVideos(float(videosSlider->value()) / kLevelSteps);
    videosLabel->setText(levelText(project->fltBackgroundMusicVolumeWhenVideos()));
    project->setBIsDirty(true);
    platform::NotificationCenter::defaultCenter().post(kNotifyBKMusicVolumeChange);
}

// ---- closing

// The strip is laid out again only when the songs are not the same objects in the same order.
void BKMusicOptionsController::postCloseMessages() {
    if (closePosted)
        return;
    closePosted = true;
    const bool needLayout = projectSongs() != enteredSongs;
    platform::NotificationCenter::defaultCenter().post(
        kNotifyMusicOptionsCloseClicked, QVariant(),
        {{QStringLiteral("bNeedLayoutMusicTimeLine"), needLayout}});
}
