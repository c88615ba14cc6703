#pragma once

#include "platform/foundation/Guarded.h"
#include "platform/foundation/KeyedArchive.h"
#include "platform/foundation/UniqueFd.h"
#include "platform/image/PictureReading.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QPainter;

namespace platform::media {
class MediaAsset;
}

// One slide of a project and the base of every kind of slide: its media file names (inside the
// project's "Contents" folder), durations in seconds and frames, pan-and-zoom, rotation, text layer,
// transition choice, recorded sound and timeline rectangles.
class SlideItem : public platform::Archivable {
public:
    enum ItemType : int { kItemTypePhoto = 1, kItemTypeQuartz = 2, kItemTypeVideo = 3 };
    // Frame counts that the project's duration pass has not computed yet.
    static constexpr quint64 kFramesNotComputed = quint64(std::numeric_limits<qint64>::max());

    SlideItem();
    ~SlideItem() override;
    SlideItem(const SlideItem&) = delete;
    SlideItem& operator=(const SlideItem&) = delete;

    // Decodes a slide (registered for "SlideItem"); subclasses extend decodeFields.
    static std::shared_ptr<SlideItem> initWithCoder(platform::KeyedUnarchiver& coder);
    QStringList archiveClassNames() const override { return {QStringLiteral("SlideItem")}; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;
    // copyWithZone: always a plain SlideItem carrying the look and the durations.
    virtual std::shared_ptr<SlideItem> copy() const;

    // File names: the getters answer "<Contents of the open project>/<name>", or null when unset, when no
    // project is open, or when what stands at that name is not the project's own file (a link out of the
    // project, a pipe, a "Contents" folder that leads elsewhere): such a file counts as missing. The
    // setters keep only the last path component.
    QString fileName() const { return pathInOpenProject(fields.get(&Fields::storedFileName)); }
    void setFileName(const QString& name);
    QString backgroudImageFileName() const {
        return pathInOpenProject(fields.get(&Fields::storedBackgroundFileName));
    }
    void setBackgroudImageFileName(const QString& name);
    QString textImageFileName() const {
        return pathInOpenProject(fields.get(&Fields::storedTextImageFileName));
    }
    void setTextImageFileName(const QString& name);
    QString strThumbFileName() const { return pathInOpenProject(fields.get(&Fields::storedThumbFileName)); }
    void setStrThumbFileName(const QString& name);
    // The picture's path in a project whose "Contents" folder is given, by the same rule; null when the
    // name is unset.
    QString fileNameIn(const QString& contentsFolder) const;
    QString shortFileName() const;

    // The picture file exists and is not empty: the import claims its name with an empty file before the
    // picture is written. A picture kept open (setOpenPictureFiles) is told by the open file.
    virtual bool iSItemReady() const;
    // The file the slide shows (the picture; a clip or a composition in the subclasses); null when unset.
    virtual QString mediaFilePath() const { return fileName(); }
    // The name of that file for messages, also when the slide has no path to it.
    virtual QString mediaFileName() const;
    // The name of the file the user added (its original's name), else that of the slide's own file: what a
    // message about the slide's file calls it.
    QString userFileName() const;
    // The name of the slide's own sound for messages: the file the user chose, not the project's copy of it,
    // or the recording.
    QString userSoundFileName() const;
    // Whether an export can read the file the slide shows: it is there, holds something and its start
    // decodes (a picture's header). Reads no more than that, so every slide of a show can be asked.
    virtual bool isMediaFileUsable() const;
    // Whether a picture file can be drawn: it is there, holds something, its header reads and it is no
    // JPEG cut short (told by its markers, no pixel read) or, `whole`, it decodes whole; the latter takes
    // some milliseconds a photo, too long for a show's worth on the window's thread.
    static bool isPictureUsable(const QString& path, bool whole);
    // Whether a moving backdrop of the theme's "backgroundID" draws the backdrop picture the slide names: a
    // photo's under every such backdrop, any slide's under the grey one (1), made of every slide.
    bool drawsBackdropUnder(int backgroundID) const;
    // Whether the caption picture the slide names is drawn: over a photo that has a description.
    bool drawsCaptionPicture() const;
    // Takes the paths a read slide stored (a clip, a composition) to the files of the project whose
    // "Contents" folder is given; a read slide opens none of them before. False when a file the slide
    // needs is missing from the project.
    virtual bool locateFilesInProject(const QString& /*contentsFolder*/) { return true; }
    // Whether what the slide shows is in the project whose "Contents" folder is given: its picture (a clip
    // slide's is made from its clip); a slide without it is dropped when the project opens.
    virtual bool isPresentIn(const QString& contentsFolder) const;
    // Whether a slide's file is there: a regular file or a link to one. Anything else (a device, a pipe,
    // a socket, a network address) counts as missing, so it is never opened.
    static bool isPresentFile(const QString& path);
    // Deletes the slide's files: each only when it lies inside the open project's folder, so a
    // sound or clip the user picked elsewhere is never removed, and only when `keep` (when given) does not
    // answer true for it. The slide is discarded from then on.
    void deleteFilesForDeletingItem(const std::function<bool(const QString&)>& keep = nullptr);
    // Its files went with it (a deleted slide, a photo that failed to import): a play that still holds the
    // slide gives up waiting for its picture.
    bool isDiscarded() const { return discarded.load(); }
    // Its picture is still being made (an import has claimed the file's name and not yet written it): a play
    // waits for it, where a picture that stays absent, empty or unreadable is given up after a few looks.
    bool isPictureBeingMade() const { return pictureBeingMade.load(); }
    void setPictureBeingMade(bool value) { pictureBeingMade = value; }
    static void deleteFile(const QString& path);
    // Removes path when it is a file (or link) whose folder lies inside the open project's folder;
    // true when it was removed.
    static bool deleteFileInsideOpenProject(const QString& path);

    // Pictures made for this slide alone and kept open since (a DVD menu's): the play reads them through
    // these descriptors, also without /proc, never whatever another program has put at their names since.
    // Null lets them go; the play then reads the files by name again.
    struct OpenPictureFiles {
        platform::UniqueFd picture, backdrop;
    };
    void setOpenPictureFiles(std::shared_ptr<const OpenPictureFiles> files);
    enum class PictureFile { Picture, Backdrop };
    // The picture or the backdrop as the play reads it: through the file the slide keeps open, else by its
    // name. None when the slide has no such file.
    std::optional<platform::image::Picture>
    readPictureFile(PictureFile which, const platform::image::PictureRequest& request) const;

    // ---- the picture (SlideItemPicture.cpp)
    // Turns the picture, thumbnail and background files a quarter turn clockwise (the angle is not
    // used: every call is one quarter turn). False when a set file could not be turned; each file
    // is replaced whole or left as it was. A slide without a picture file turns nothing and answers false.
    bool rotateSlideItem(int degrees);
    static bool rotateImage(const QString& path);
    // The earlier form: for 90 degrees, redraws the picture file alone a quarter turn clockwise into a
    // picture of the swapped size. Any other angle, or a picture that cannot be read or written, leaves the
    // file as it was and answers false.
    bool rotateSlideItem_1(int degrees);
    // The picture through colour controls: "Saturation" (1), "Brightness" (0), "Contrast" (1).
    QImage adjustColor(const QVariantMap& adjustment) const;
    // The same, written over the picture file atomically, then over its background picture and thumbnail
    // where they are; false when the picture was not written.
    bool ApplyAdjustColor(const QVariantMap& adjustment);
    // The picture with the text layer of textInfo drawn in (and, while the project's text is being
    // edited, a dashed frame round the text block). Null when the picture cannot be read.
    // Safe on any thread; the layout results below are those of the last call.
    QImage slideImageAfterTextInfo() const;
    // What the picture texture shows before the theme dresses it: the text layer when there is text,
    // then the theme's "PhotoFilter". The renderer applies the theme's frame and shadow when
    // SlideshowThemeManager::bNeedApplyTheme answers true. `whole`, when asked, tells whether the file's
    // bytes that made it decode whole: a damaged picture shows what decoded.
    QImage slideImageForTexture(const QVariantMap& theme, bool* whole = nullptr) const;
    // The text of a font dictionary ("Text", "FontSize", "FontName", "FontColor") laid out and drawn as
    // the text layer lays it out, on a transparent picture just large enough for it; null without text.
    static QImage slideImageFromFontInfo(const QVariantMap& fontInfo);
    // The layout rectangle of the text in a picture, with the y axis up: (OX, OY, W, max(H, 200)).
    static QRectF textLayoutRect(const QSizeF& picture, int offsetX, int offsetY);
    // Results of the last text layout.
    QSizeF frameSize() const;
    std::vector<QPointF> origins() const;
    double leftMost() const;
    // The text block of the last layout, y axis down: (OX + leftMost, -OY, frameSize). On a picture
    // less than 200 high the text stands higher than -OY (its layout rectangle is 200 high), and the
    // block follows it so that the editing frame and the turn stay on the text.
    QRectF textBlockRect() const;

    // Seconds of the first video track of a movie (0 without one); sets width and height from its
    // picture, swapped when the movie is turned a quarter.
    float getMovieDuration(const QString& path);
    // 4 half turn, 3 upright, 2 turned a quarter anticlockwise, 1 a quarter clockwise.
    static int orientationForTrack(const platform::media::MediaAsset& asset);

    // Answers for an image browser.
    QString imageUID() const { return fileName(); }
    QString imageRepresentation() const { return fileName(); }
    QString imageTitle() const { return shortFileName(); }

    // Durations in seconds. A change of 0.0001 s or less is ignored; otherwise, when the slide is in
    // the open project's slides, the project lays out its frames again.
    float fSecPhotoDuration() const { return photoSeconds.load(); }
    void setFSecPhotoDuration(float seconds);
    float fSecTransitionDuration() const { return transitionSeconds.load(); }
    virtual void setFSecTransitionDuration(float seconds);
    // The length a person reads on the slide's duration badge and in its inspector: the photo duration; a
    // clip's whole length.
    virtual float fSecShownDuration() const { return fSecPhotoDuration(); }
    // Frame counts, written only by the project's duration pass.
    quint64 nPhotoDuration() const { return photoFrames.load(); }
    quint64 nTransitionDuration() const { return transitionFrames.load(); }
    quint64 nItemStartFrameIndex() const { return startFrame.load(); }
    void customSetnPhotoDuration(quint64 frames) { photoFrames = frames; }
    void customSetnTransitionDuration(quint64 frames) { transitionFrames = frames; }
    void customSetnItemStartFrameIndex(quint64 frame) { startFrame = frame; }
    // Stores both durations without asking the project to lay out its frames again (the project's
    // own passes lay them out once at their end).
    void customSetDurations(float photo, float transition);
    bool framesComputed() const;

    void SetRandomPanzoom();

    int itemType() const { return type.load(); }
    void setItemType(int value) { type = value; }
    bool bCustomDurationFlag() const { return customDuration.load(); }
    void setBCustomDurationFlag(bool value) { customDuration = value; }
    bool bPanZoomCustomized() const { return panZoomCustomized.load(); }
    void setBPanZoomCustomized(bool value) { panZoomCustomized = value; }
    bool bSelectedState() const { return selected.load(); }
    void setBSelectedState(bool value) { selected = value; }
    int nSlideEffect() const { return slideEffect.load(); }
    void setNSlideEffect(int value) { slideEffect = value; }
    float fSecStartTimePosition() const { return startTimePosition.load(); }
    void setFSecStartTimePosition(float seconds) { startTimePosition = seconds; }
    // The picture's size in pixels; loader threads set it while the main thread reads it, so the pair is
    // read and written whole.
    int width() const { return pixelSize().width(); }
    void setWidth(int value);
    int height() const { return pixelSize().height(); }
    void setHeight(int value);
    QSize pixelSize() const;
    void setPixelSize(const QSize& size);

    // Pan, zoom and rotation.
    QPointF panStartPoint() const;
    void setPanStartPoint(const QPointF& point);
    QPointF panEndPoint() const;
    void setPanEndPoint(const QPointF& point);
    double zoomStart() const;
    void setZoomStart(double value);
    double zoomEnd() const;
    void setZoomEnd(double value);
    double rx() const { return rotation[0]; }
    double ry() const { return rotation[1]; }
    double rz() const { return rotation[2]; }
    void setRx(double value) { rotation[0] = value; }
    void setRy(double value) { rotation[1] = value; }
    void setRz(double value) { rotation[2] = value; }
    enum RotationAngle { kRotateXStart, kRotateXEnd, kRotateYStart, kRotateYEnd, kRotateZStart, kRotateZEnd };
    double rotateAngle(RotationAngle which) const { return rotateAngles[which]; }
    void setRotateAngle(RotationAngle which, double degrees) { rotateAngles[which] = degrees; }

    // Texts, dictionaries and sound.
    QString strPhotoDescription() const;
    void setStrPhotoDescription(const QString& text);
    QVariantMap transitionInfo() const; // empty: a random transition
    void setTransitionInfo(const QVariantMap& info);
    QVariantMap subtitleFontInfo() const;
    void setSubtitleFontInfo(const QVariantMap& info);
    QVariantMap textInfo() const;
    void setTextInfo(const QVariantMap& info);
    QString strSoundFileName() const;
    void setStrSoundFileName(const QString& name);
    QString strOriginalFileName() const;
    void setStrOriginalFileName(const QString& path);
    static QVariantMap defaultSubtitleFontInfo();
    static QVariantMap defaultTextInfo();

    // Where the timeline draws the slide.
    enum TimelineArea {
        kTimelineRect,
        kRectPhotoDuration,
        kRectTransitionDuration,
        kRectThumbnailIcon,
        kRectTransitionIcon
    };
    QRectF rect(TimelineArea which) const;
    void setRect(TimelineArea which, const QRectF& rect);
    QRectF timelineRect() const { return rect(kTimelineRect); }
    void setTimelineRect(const QRectF& value) { setRect(kTimelineRect, value); }
    void setRectPhotoDuration(const QRectF& value) { setRect(kRectPhotoDuration, value); }
    void setRectTransitionDuration(const QRectF& value) { setRect(kRectTransitionDuration, value); }
    void setRectTransitionIcon(const QRectF& value) { setRect(kRectTransitionIcon, value); }

protected:
    // The files deleting the slide removes: its pictures' entries in the open project's "Contents" (a link
    // there, never what it leads to) and its sound; the subclasses add what the slide shows.
    virtual QStringList filesForDeleting() const;
    // Reads this class's keys into a slide made by the constructor; subclasses read theirs after.
    virtual void decodeFields(platform::KeyedUnarchiver& coder);

private:
    static QString pathInOpenProject(const QString& name);
    // "<Contents of the open project>/<name>" whatever stands there, for removing it.
    static QString entryInOpenProject(const QString& name);
    void durationChanged();
    void drawTextLayer(QPainter& painter, const QSize& size, const QVariantMap& info) const;
    // The picture with the text layer drawn in, as slideImageAfterTextInfo makes it.
    QImage pictureWithTextLayer(const QImage& picture) const;
    static QPointF decodePoint(platform::KeyedUnarchiver& coder, const QString& key, const QPointF& fallback);
    static double decodeZoom(platform::KeyedUnarchiver& coder, const QString& key);

    // Threads: the main thread edits a slide while the player, the loader and the export threads read it.
    // The names, texts, dictionaries, pan and zoom and timeline rectangles are guarded together in
    // `fields`; the last text layout (recorded by drawing, on whichever thread draws) in `textLayout`; the
    // picture's size in `pictureSize`; every number and flag below them is atomic.
    struct Fields {
        QString storedFileName, storedBackgroundFileName, storedTextImageFileName, storedThumbFileName;
        QString photoDescription, soundFileName, originalFileName;
        QVariantMap transition, subtitleFont, text;
        QPointF panStart, panEnd;
        double zoomFrom = 1.0, zoomTo = 1.0;
        QRectF rects[5];
    };
    struct TextLayout {
        QSizeF frameSize;
        std::vector<QPointF> origins;
        double leftMostX = 0.0;
        int offsetX = 0;
        double top = 0.0;
    };
    platform::Guarded<Fields> fields;
    mutable platform::Guarded<TextLayout> textLayout;

    std::atomic<float> photoSeconds{4.0f};
    std::atomic<float> transitionSeconds{2.0f};
    std::atomic<quint64> photoFrames{kFramesNotComputed};
    std::atomic<quint64> transitionFrames{kFramesNotComputed};
    std::atomic<quint64> startFrame{0};
    std::atomic<float> startTimePosition{0.0f};
    std::atomic<int> type{kItemTypePhoto};
    std::atomic<int> slideEffect{0};
    std::atomic<bool> discarded{false};
    std::atomic<bool> pictureBeingMade{false};
    std::atomic<bool> customDuration{false};
    std::atomic<bool> panZoomCustomized{false};
    std::atomic<bool> selected{false};
    std::atomic<double> rotation[3] = {0.0, 0.0, 0.0};
    std::atomic<double> rotateAngles[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    platform::Guarded<QSize> pictureSize{QSize(0, 0)};
    platform::Guarded<std::shared_ptr<const OpenPictureFiles>> openPictureFiles;
};

using SlideItemRef = std::shared_ptr<SlideItem>;

// Seconds as stored in a slide or project: never negative and never NaN.
float sanitizedSeconds(float seconds);
