#include "model/MusicDirector.h"

#include "model/ProjectCollaborators.h"
#include "model/SlideshowProject.h"
#include "platform/media/AudioPlayer.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cmath>
#include <mutex>

namespace {

// A list shorter than this a round is not gone round: its songs would end, and the next start, about a
// hundred times a second for as long as the director lives.
constexpr double kShortestRound = 0.1;

std::mutex factoryMutex;
MusicDirector::MixerFactory& factorySlot() {
    static MusicDirector::MixerFactory factory;
    return factory;
}

} // namespace

void MusicDirector::setAudioMixerFactory(MixerFactory factory) {
    std::lock_guard lock(factoryMutex);
    factorySlot() = std::move(factory);
}

MusicDirector::MusicDirector() : self(std::make_shared<MusicDirector*>(this)) {}

MusicDirector::~MusicDirector() {
    player.reset(); // no end of a song is heard after this
}

std::vector<MusicItemRef> MusicDirector::musicArray() const {
    const auto project = SlideshowProject::currentMainProject();
    return project ? project->musicArray() : std::vector<MusicItemRef>();
}

double MusicDirector::totalDurationFromArray(const std::vector<MusicItemRef>& songs) {
    double total = 0.0;
    for (const auto& song : songs)
        total += MusicItem::musicItemDuration(song.get());
    return total;
}

bool MusicDirector::playFromLocation(double seconds) {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return true;
    if (project->audioMixer())
        project->setAudioMixer(nullptr);
    MixerFactory factory;
    {
        std::lock_guard lock(factoryMutex);
        factory = factorySlot();
    }
    std::shared_ptr<PlayableAudioMixer> mixer = factory ? factory() : nullptr;
    if (!mixer)
        return true;
    project->setAudioMixer(mixer);
    mixer->mixProjectAudioForPlaying();
    mixer->PlayMixedAudioFrom(seconds);
    return true;
}

void MusicDirector::stop() {
    const auto project = SlideshowProject::currentMainProject();
    if (!project)
        return;
    if (const auto mixer = project->audioMixer())
        mixer->StopPlayingMixedAudio();
}

// ---- the per-song player

bool MusicDirector::findSongLocation(double seconds, int& index, double& offset) const {
    index = 0;
    offset = 0.3;
    const auto songs = musicArray();
    if (songs.empty() || !std::isfinite(seconds))
        return false;
    std::vector<double> lengths;
    double round = 0.0;
    for (const auto& song : songs) {
        lengths.push_back(MusicItem::musicItemDuration(song.get()));
        round += lengths.back();
    }
    if (!(round >= kShortestRound))
        return false;
    // Whole rounds are skipped at once: a time far into the repeated list must not take a walk per round.
    const double within = seconds >= round ? std::fmod(seconds, round) : seconds;
    double before = 0.0;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        if (before + lengths[i] > within) {
            index = int(i);
            offset = within - before;
            return true;
        }
        before += lengths[i];
    }
    return false;
}

bool MusicDirector::playFromLocation_old(double seconds) {
    if (musicArray().empty())
        return false;
    currentSong.reset();
    int index = 0;
    double offset = 0.0;
    return findSongLocation(seconds, index, offset) && playFromSongIndex(index, offset);
}

bool MusicDirector::playFromSongIndex(int index, double startLoc) {
    const auto songs = musicArray();
    if (songs.empty())
        return false;
    const std::uint64_t generation = releasePlayer();
    const int count = int(songs.size());
    currentSongIndex = (index % count + count) % count;
    currentSong = songs[std::size_t(currentSongIndex)];
    const QString path = currentSong->strFilePath();
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    auto sound = MusicItem::songComposition(path);
    if (!sound)
        return false;
    auto opened =
        std::make_unique<platform::media::AudioPlayer>(std::move(*sound), platform::media::AudioMix());
    opened->seek(platform::media::MediaTime::fromSeconds(std::max(0.0, startLoc)));
    // The end is heard inside the player's own pull, where it may not be replaced: the next song starts
    // later on the main thread, and only when this player is still the one playing.
    opened->setEndHandler([weak = std::weak_ptr<MusicDirector*>(self), generation] {
        if (QCoreApplication* application = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                application,
                [weak, generation] {
                    if (const auto alive = weak.lock(); alive && (*alive)->playerGeneration == generation)
                        (*alive)->audioPlayerDidFinishPlaying(true);
                },
                Qt::QueuedConnection);
    });
    if (!opened->play())
        return false;
    player = std::move(opened);
    return true;
}

void MusicDirector::next() {
    const auto songs = musicArray();
    if (songs.empty())
        return;
    if (!(totalDurationFromArray(songs) >= kShortestRound)) {
        releasePlayer();
        return;
    }
    playFromSongIndex((currentSongIndex + 1) % int(songs.size()), 0.0);
}

void MusicDirector::audioPlayerDidFinishPlaying(bool /*successfully*/) {
    next();
}

void MusicDirector::audioPlayerDecodeErrorDidOccur(const QString& /*error*/) {}

void MusicDirector::stop_old() {
    currentSongTime = 0.0;
    totalSongTime = 0.0;
    currentSongIndex = 0;
    cmdPlayRequest = false;
    startPlayingForRequest = false;
    releasePlayer();
}

std::uint64_t MusicDirector::releasePlayer() {
    if (player)
        player->stop();
    player.reset();
    return ++playerGeneration; // an end the player has already posted is not heard
}

void MusicDirector::setAudioPlayer(std::unique_ptr<platform::media::AudioPlayer> audioPlayer) {
    player = std::move(audioPlayer);
    ++playerGeneration;
}
