#pragma once

// The inner state of a clip slide, shared by its source files.

#include "model/VideoSlideItem.h"
#include "platform/image/ImageAdditions.h"
#include "platform/media/AudioPlayer.h"
#include "platform/media/VideoReader.h"

// Everything of the clip's reading pass, guarded by the slide's readerMutex.
struct VideoSlideItem::Reading {
    std::optional<platform::media::MediaAsset> asset;
    std::unique_ptr<platform::media::VideoReader> assetReader;
    bool hasVideoOutput = false; // the reader decodes the clip's pictures
    QImage firstImage;           // decoded ahead with the reader: the pass's first frame, until it is read
    platform::media::MediaTime firstTime;
    ReaderStatus status = ReaderStatus::Unknown;
    bool frameRead = false;  // the pass has read a frame
    bool endedShort = false; // the pass ended on damage to the clip, short of its last frame
    QSize videoDimensions;
    quint32 videoType = 0;
    QSizeF videoSize;
    int videoOrientation = kNoVideoOrientation;
    platform::media::MediaTime previousTimeStamp{0, 1};
    double startTime = 0.0;
    double previousSystemTimeStamp = 0.0;
    bool bAudio = false;
    std::shared_ptr<platform::Clock> clock;
};

// The clip's sound for the preview. The composition and its parameters are guarded by the mutex; the
// player is touched only on the main thread.
struct VideoSlideItem::Sound {
    std::mutex mutex;
    bool made = false;
    platform::media::Composition composition;
    std::vector<platform::media::MixInputParameters> allAudioParams;
    std::unique_ptr<platform::media::AudioPlayer> player;
    quint64 showingsEnded = 0; // a sound start queued in an earlier showing makes no player
};
