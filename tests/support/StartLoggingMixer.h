#pragma once

#include "model/ProjectCollaborators.h"

#include <QString>
#include <QStringList>

// A mixer for MusicDirector's factory that writes down where each start of the music plays from.
class StartLoggingMixer : public PlayableAudioMixer {
public:
    explicit StartLoggingMixer(QStringList& log) : log(log) {}
    void seekToBegin() override {}
    void mixProjectAudioForPlaying() override {}
    bool PlayMixedAudioFrom(double seconds) override {
        log << QString::number(seconds, 'g', 17);
        return true;
    }
    void StopPlayingMixedAudio() override {}

private:
    QStringList& log;
};
