#pragma once

#include "model/SlideItem.h"

// The slide of a video clip (item type 3): its clip file and two sound levels of its own. Reading
// the clip's frames and sound belongs to the clip player, which builds on these fields.
class VideoSlideItem : public SlideItem {
public:
    VideoSlideItem();

    static std::shared_ptr<VideoSlideItem> initWithCoder(platform::KeyedUnarchiver& coder);
    QStringList archiveClassNames() const override {
        return {QStringLiteral("VideoSlideItem"), QStringLiteral("SlideItem")};
    }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    std::shared_ptr<SlideItem> copy() const override;

    // Takes the clip at path as this slide's clip. Opening the clip (its length, frames and sound)
    // is the clip player's work.
    virtual void PrepareVideoItem(const QString& path);
    // Brings the clip back to its start when the player rewinds; the clip player adds its reading
    // state here.
    virtual void resetVideoItem() {}

    bool iSItemReady() const override { return true; }
    void deleteFilesForDeletingItem() override;

    QString strVideoFilePath() const;
    void setStrVideoFilePath(const QString& path);
    // The clip's own level: the stored value within 0..1, else 0.8.
    float fltOutputVolume() const;
    void setFltOutputVolume(float level) { outputVolume = level; }
    // The background-music level during the clip: its own, else the open project's.
    float fltBKMusicVolume() const;
    bool isCustomizedBKMusicVolume() const;
    void customizeBKMusicVolume(float level);
    void resetCustomizedBKMusicVolumeFlag() { bkMusicVolume = -1.0f; }

protected:
    void decodeFields(platform::KeyedUnarchiver& coder) override;

private:
    void applyClipSettings();

    mutable std::mutex pathMutex;
    QString videoFilePath;
    std::atomic<float> outputVolume{1.0f};
    std::atomic<float> bkMusicVolume{-1.0f};
};
