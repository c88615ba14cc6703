#include "ui/editing/PhotoMusicSyncViewController.h"

#include "model/MainWindowServices.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "ui/UiNotifications.h"
#include "ui/editing/PopOverParts.h"
#include "ui/main/ControllerDialogs.h"

#include <QVBoxLayout>

namespace {

QString lengthText(double seconds) {
    return SlideshowProject::timeToString(float(seconds), false, true);
}

} // namespace

PhotoMusicSyncViewController::PhotoMusicSyncViewController(ControllerDialogs& dialogs, ProjectSource project,
                                                           QWidget* parent)
    : QWidget(parent), dialogs(dialogs), projectSource(std::move(project)),
      musicInfo(pop_over::whiteLabel(QString(), this)), slideshowInfo(pop_over::whiteLabel(QString(), this)),
      musicVideo(pop_over::visibleCheckBox(tr_("Music video: fit the photos to the music"), this)),
      resetDurations(pop_over::visibleCheckBox(tr_("Reset the durations set for single slides"), this)),
      sync(new QPushButton(tr_("Sync"), this)) {
    setObjectName("PhotoMusicSyncViewController");
    musicInfo->setObjectName("musicInfoTextField");
    slideshowInfo->setObjectName("slideshowInfoTextField");
    musicVideo->setObjectName("musicSlideshowCheckBox");
    resetDurations->setObjectName("resetCustomizedDurationCheckBox");
    sync->setObjectName("syncButton");
    auto* column = new QVBoxLayout(this); // the view owns its layout
    column->setContentsMargins(14, 10, 14, 10);
    column->addWidget(musicInfo);
    column->addWidget(slideshowInfo);
    column->addSpacing(6);
    column->addWidget(musicVideo);
    column->addWidget(resetDurations);
    column->addWidget(sync, 0, Qt::AlignRight);
    connect(musicVideo, &QCheckBox::clicked, this, &PhotoMusicSyncViewController::musicVideoCheckBoxClicked);
    connect(sync, &QPushButton::clicked, this, &PhotoMusicSyncViewController::syncButtonClicked);
    awakeFromNib();
    adjustSize();
}

QString PhotoMusicSyncViewController::musicInfoText(const SlideshowProject* project) {
    const int songs = project ? int(project->musicArray().size()) : 0;
    return tr_("Songs: %1          Duration: %2")
        .arg(songs)
        .arg(lengthText(project ? project->musicTotalDuration() : 0.0));
}

QString PhotoMusicSyncViewController::slideshowInfoText(const SlideshowProject* project) {
    const int slides = project ? int(project->slideCount()) : 0;
    return tr_("Photos: %1         Duration: %2")
        .arg(slides)
        .arg(lengthText(project ? project->slideshowTotalDuration() : 0.0));
}

bool PhotoMusicSyncViewController::confirmSync(ControllerDialogs& dialogs) {
    return !dialogs.runQuestionAlert(
        tr_("Warning!"),
        tr_("Synchronization will change photo's duration and transition duration "
            "of current slideshow, Do you really want to perform it?"),
        tr_("NO"), tr_("YES"), ControllerDialogs::UnchangedBy::DefaultButton);
}

QVariantMap PhotoMusicSyncViewController::runSync(const SlideshowProjectRef& project,
                                                  bool resetCustomizedDurations) {
    if (MainWindowServices* main = MainWindowServices::current())
        main->stop();
    if (!project)
        return {};
    if (resetCustomizedDurations)
        project->resetAllSlidesCustimzedDurationFlag();
    return project->syncMusicAndSlideshowDuration();
}

void PhotoMusicSyncViewController::awakeFromNib() {
    const auto project = projectSource();
    musicVideo->setChecked(project && project->bIsMusicSideshow());
    musicInfo->setText(musicInfoText(project.get()));
    slideshowInfo->setText(slideshowInfoText(project.get()));
    resetDurations->setChecked(false);
}

// The flag is stored with the project: the change is marked, or the autosave would never keep it.
void PhotoMusicSyncViewController::musicVideoCheckBoxClicked() {
    if (const auto project = projectSource()) {
        project->setBIsMusicSideshow(musicVideo->isChecked());
        project->setBIsDirty(true);
    }
    platform::NotificationCenter::defaultCenter().post(kNotifySlideshowTypeChanged);
}

// The pop-over closes first; the question and the result come after it.
void PhotoMusicSyncViewController::syncButtonClicked() {
    const bool reset = resetDurations->isChecked();
    auto& center = platform::NotificationCenter::defaultCenter();
    center.post(kNotifyMusicSyncButtonClicked);
    if (!confirmSync(dialogs))
        return;
    const QVariantMap result = runSync(projectSource(), reset);
    if (result.value(QStringLiteral("failType")).toString() == QLatin1String("Success"))
        center.post(kNotifyRefreshTimelineUI);
    dialogs.runModalAlert(result.value(QStringLiteral("desc")).toString(), QString());
}
