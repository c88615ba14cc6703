// The clip inspector and the clip player with a scripted media player (and once with the real one).
#include "support/ClipMaker.h"
#include "support/MainWindowFixture.h"
#include "support/MarkContrast.h"
#include "support/PostedNotifications.h"
#include "support/TestEnvironment.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/SoundDevices.h"
#include "ui/UiNotifications.h"
#include "ui/controls/DoubleSlider.h"
#include "ui/editing/VideoItemPropertyViewController.h"
#include "ui/editing/VideoPlaybackViewController.h"

#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QVideoFrame>
#include <QVideoSink>

namespace {

// Plays forwards only, as the real one does; rate 0 while paused.
class ScriptedPlayer : public ClipMediaPlayer {
public:
    void setSource(const QString&) override {}
    void setVideoSink(QVideoSink*) override {}
    Status status() const override { return state; }
    bool hasVideo() const override { return video; }
    void play() override { playing = true; }
    void pause() override { playing = false; }
    double rate() const override { return playing ? speed : 0.0; }
    bool setRate(double rate) override {
        if (rate <= 0.0)
            return false;
        speed = rate;
        playing = true;
        return true;
    }
    double position() const override { return at; }
    void setPosition(double seconds) override { at = seconds; }
    double duration() const override { return 10.0; }
    void setVolume(float level) override { volume = level; }
    void load(Status status, bool withVideo) {
        state = status;
        video = withVideo;
        emit statusChanged();
    }

    Status state = Status::Loading;
    bool video = true, playing = false;
    double speed = 1.0, at = 0.0;
    float volume = -1.0f;
};

} // namespace

class ClipInspectorAndPlayerTest : public MainWindowTest {
protected:
    std::shared_ptr<VideoSlideItem> clip() {
        auto slide = platform::makeMainThreadShared<VideoSlideItem>();
        slide->setFSecTransitionDuration(1.0f);
        slide->setFltOutputVolume(0.5f);
        return slide;
    }
};

// The clip's length is shown, never edited: on the application's look its slider, the slider's handle too, is
// drawn dimmer than once it can move, and its figures dimmer than the transition's, which can be edited.
TEST_F(ClipInspectorAndPlayerTest, TheClipLengthsRowIsDrawnDisabled) {
    makeController(true);
    const auto slide = clip();
    slide->setFSecPhotoDuration(29.0f);
    VideoItemPropertyViewController inspector(slide, projectSource());
    DoubleSlider& length = *inspector.sliderPhotoDuration();
    ASSERT_FALSE(length.isEnabled());
    // The whole slider, and how far its handle's pixels stand from the surface it is drawn on.
    const auto slider = [&length] { return test_support::markContrast(length.grab().toImage()); };
    const auto handle = [&length] {
        QStyleOptionSlider option;
        option.initFrom(&length);
        option.orientation = length.orientation();
        option.minimum = length.minimum();
        option.maximum = length.maximum();
        option.sliderPosition = option.sliderValue = length.value();
        const QRect place =
            length.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &length);
        return test_support::markContrast(length.grab().toImage().copy(place),
                                          length.palette().color(QPalette::Window).rgb());
    };
    const auto figures = [](QLabel* label) { return test_support::markContrast(label->grab().toImage()); };
    struct Part {
        const char* name;
        double shown, editable;
    };
    std::vector<Part> parts = {
        {"slider", slider(), 0.0},
        {"handle", handle(), 0.0},
        {"figures", figures(inspector.photoDurationText()), figures(inspector.transitionDurationText())}};
    length.setEnabled(true);
    parts[0].editable = slider();
    parts[1].editable = handle();
    for (const Part& part : parts)
        EXPECT_LT(part.shown, 0.6 * part.editable)
            << part.name << ": shown " << part.shown << ", editable " << part.editable;
}

TEST_F(ClipInspectorAndPlayerTest, TheMusicLevelIsTheClipsOwnOnlyOnceItsSliderMoves) {
    const auto slide = clip();
    project->setBIsDirty(false);
    VideoItemPropertyViewController inspector(slide, projectSource());
    EXPECT_FALSE(inspector.sliderBKMusicVolume()->isEnabled());
    EXPECT_EQ(inspector.textFieldVideoClipVolume()->text(), "0.50");
    EXPECT_FALSE(project->bIsDirty()) << "filling is no edit";

    inspector.checkboxEnableChangeBKMusicVolume()->click();
    EXPECT_TRUE(inspector.sliderBKMusicVolume()->isEnabled());
    EXPECT_FALSE(slide->isCustomizedBKMusicVolume()) << "the box alone changes nothing";
    inspector.sliderBKMusicVolume()->setDoubleValue(0.3);
    EXPECT_FLOAT_EQ(slide->fltBKMusicVolume(), 0.3f);
    inspector.checkboxEnableChangeBKMusicVolume()->click();
    EXPECT_FALSE(slide->isCustomizedBKMusicVolume());
    EXPECT_EQ(inspector.textFieldBKMusicVolume()->text(), "0.10") << "the project's level shows again";
    EXPECT_DOUBLE_EQ(inspector.sliderBKMusicVolume()->doubleValue(), 0.1);
}

TEST_F(ClipInspectorAndPlayerTest, TheTransitionIsWrittenOnceAndOnlyWhenItChanged) {
    const auto slide = clip();
    {
        slide->setBCustomDurationFlag(false);
        VideoItemPropertyViewController inspector(slide, projectSource());
        inspector.sliderTransitionDuration()->setDoubleValue(2.0);
        inspector.sliderTransitionDuration()->setDoubleValue(1.0);
        inspector.applyAtClose();
        EXPECT_FALSE(slide->bCustomDurationFlag()) << "moved back to its value: no change";
    }
    auto inspector = std::make_unique<VideoItemPropertyViewController>(slide, projectSource());
    inspector->sliderTransitionDuration()->setDoubleValue(2.5);
    EXPECT_EQ(inspector->transitionDurationText()->text(), "2.5s");
    EXPECT_FLOAT_EQ(slide->fSecTransitionDuration(), 1.0f) << "not before it closes";
    project->setBIsDirty(false);
    inspector->applyAtClose();
    EXPECT_FLOAT_EQ(slide->fSecTransitionDuration(), 2.5f);
    EXPECT_TRUE(slide->bCustomDurationFlag());
    EXPECT_TRUE(project->bIsDirty());
    slide->setFSecTransitionDuration(4.0f);
    inspector.reset();
    EXPECT_FLOAT_EQ(slide->fSecTransitionDuration(), 4.0f) << "applied once, not again when it goes";

    test_support::PostedNotifications closes(kNotifyCloseVideoItemPropertyPanel);
    VideoItemPropertyViewController(slide, projectSource()).okButton()->click();
    EXPECT_EQ(closes.list.size(), 1u);
}

TEST_F(ClipInspectorAndPlayerTest, TheButtonsStepTheRateAndTheTitleReadsPauseOnlyAtNormalSpeed) {
    ScriptedPlayer* player = nullptr;
    VideoPlaybackViewController view(scheduler, [&] {
        auto made = std::make_unique<ScriptedPlayer>();
        player = made.get();
        return made;
    });
    view.loadVideoFromURL(dir.file("clip.mp4"), clip());
    ASSERT_TRUE(player);
    EXPECT_FLOAT_EQ(player->volume, 0.5f) << "the clip's own level";
    EXPECT_FALSE(view.playPauseButton()->isEnabled());
    player->load(ClipMediaPlayer::Status::Ready, true);
    EXPECT_TRUE(view.playPauseButton()->isEnabled());

    view.playPauseToggle();
    EXPECT_EQ(view.playPauseButton()->text(), "Pause");
    std::vector<double> rates;
    QStringList titles;
    for (int i = 0; i < 3; ++i) {
        view.fastForward();
        rates.push_back(view.rate());
        titles << view.playPauseButton()->text();
    }
    view.playPauseToggle();
    player->at = 5.0;
    for (int i = 0; i < 2; ++i) {
        view.rewind();
        rates.push_back(view.rate());
        titles << view.playPauseButton()->text();
    }
    EXPECT_EQ(rates, (std::vector<double>{2, 4, 6, -2, -4}));
    EXPECT_EQ(titles, QStringList(5, "Play"));
    scheduler->advance(1.0);
    EXPECT_NEAR(player->at, 1.0, 1e-9) << "backwards at 4 by steps of a tenth of a second";
    EXPECT_EQ(view.timeSlider()->value(), 10) << "the slider follows every tenth of a second";
    scheduler->advance(1.0);
    EXPECT_EQ(player->at, 0.0);
    EXPECT_EQ(view.rate(), 0.0) << "it stops at the start";

    player->at = 10.0;
    view.playPauseToggle();
    EXPECT_EQ(player->at, 0.0) << "Play at the end starts again";
    EXPECT_EQ(view.rate(), 1.0);
    view.stopPlaying();
    EXPECT_EQ(view.player(), nullptr);
    const int shown = view.timeSlider()->value();
    scheduler->advance(1.0);
    EXPECT_EQ(view.timeSlider()->value(), shown) << "nothing ticks after the player stopped";
}

TEST_F(ClipInspectorAndPlayerTest, ALoadedClipShowsItsFirstPictureBeforeItIsPlayed) {
    const QString path = dir.file("bars.mp4");
    ASSERT_TRUE(ClipMaker::make(path, {}));
    VideoPlaybackViewController view(scheduler, &ClipMediaPlayer::makeDefault);
    view.loadVideoFromURL(path, clip());
    QVideoSink* sink = view.playerView()->videoSink();
    ASSERT_TRUE(test_support::spinUntil([&] { return !view.playerView()->shownFrame().isNull(); }))
        << "the player stays black until Play";
    EXPECT_TRUE(sink->videoFrame().isValid());
    EXPECT_EQ(view.playPauseButton()->text(), "Play");
    EXPECT_EQ(view.rate(), 0.0);
    view.stopPlaying();
}

// Pressing Play on a clip with sound, where the machine has no sound output: the clip plays, silent.
TEST_F(ClipInspectorAndPlayerTest, AClipWithSoundPlaysSilentWhereThereIsNoSoundOutput) {
    const QString path = dir.file("tone.mp4");
    ClipMaker::Options options;
    options.frames = 90;
    options.audio = true;
    ASSERT_TRUE(ClipMaker::make(path, options));
    VideoPlaybackViewController view(scheduler, &ClipMediaPlayer::makeDefault);
    view.loadVideoFromURL(path, clip());
    ASSERT_TRUE(test_support::spinUntil([&] { return view.playPauseButton()->isEnabled(); }));
    EXPECT_EQ(view.player()->hasSoundOutput(), !platform::media::soundOutputDevice().isNull());
    QTest::mouseClick(view.playPauseButton(), Qt::LeftButton);
    EXPECT_TRUE(test_support::spinUntil([&] { return view.player()->position() > 0.5; }))
        << "at " << view.player()->position() << " s";
    EXPECT_EQ(view.rate(), 1.0);
    EXPECT_EQ(view.playPauseButton()->text(), "Pause");
    view.stopPlaying();
}

TEST_F(ClipInspectorAndPlayerTest, AClipWithoutPicturesOrThatCannotPlaySaysSo) {
    ScriptedPlayer* player = nullptr;
    VideoPlaybackViewController view(scheduler, [&] {
        auto made = std::make_unique<ScriptedPlayer>();
        player = made.get();
        return made;
    });
    view.loadVideoFromURL(dir.file("song.mp4"), clip());
    player->load(ClipMediaPlayer::Status::Ready, false);
    EXPECT_FALSE(view.noVideoLabel()->isHidden());
    EXPECT_TRUE(view.playPauseButton()->isEnabled()) << "its sound still plays";
    view.loadVideoFromURL(dir.file("broken.mp4"), clip());
    player->load(ClipMediaPlayer::Status::Unplayable, false);
    EXPECT_FALSE(view.unplayableLabel()->isHidden());
    EXPECT_FALSE(view.playPauseButton()->isEnabled());
    EXPECT_TRUE(view.loadingSpinner()->isHidden());
}

// The clip player is no document: asked for its data it gives none, and asked to read some it fails, each
// with the status domain's "not implemented".
TEST_F(ClipInspectorAndPlayerTest, ThePlayerNeitherGivesNorReadsADocument) {
    VideoPlaybackViewController view(scheduler, [] { return std::make_unique<ScriptedPlayer>(); });
    const platform::Error unimplemented(VideoPlaybackViewController::kOSStatusErrorDomain, -4);
    platform::Error error;
    EXPECT_TRUE(view.dataOfType("public.movie", &error).isEmpty());
    EXPECT_EQ(error, unimplemented);
    error = {};
    EXPECT_FALSE(view.readFromData("movie bytes", "public.movie", &error)) << "nothing was read";
    EXPECT_EQ(error, unimplemented);
    EXPECT_FALSE(view.readFromData("movie bytes", "public.movie", nullptr));
    EXPECT_TRUE(view.dataOfType("public.movie", nullptr).isEmpty());
}
