#pragma once

#include "ui/editing/ClipMediaPlayer.h"

// A clip player that loads nothing and plays silently, for tests that look at the clip player's window or at
// what stands in its place, not at the clip's frames.
class SilentClipPlayer : public ClipMediaPlayer {
public:
    void setSource(const QString&) override {}
    void setVideoSink(QVideoSink*) override {}
    Status status() const override { return Status::Loading; }
    bool hasVideo() const override { return true; }
    void play() override {}
    void pause() override {}
    double rate() const override { return 0.0; }
    bool setRate(double) override { return false; }
    double position() const override { return 0.0; }
    void setPosition(double) override {}
    double duration() const override { return 0.5; }
    void setVolume(float) override {}
};
