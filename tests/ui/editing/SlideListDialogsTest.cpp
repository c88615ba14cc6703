// The blank-image and arrange-order windows and the sound recorder, with pictures of them for people to
// look at.
#include "support/DropDelivery.h"
#include "support/MainWindowFixture.h"
#include "support/PostedNotifications.h"
#include "support/ProjectSongs.h"
#include "support/Screenshot.h"
#include "support/ToneMaker.h"
#include "support/WidgetClick.h"

#include "model/SlideshowProject.h"
#include "ui/UiNotifications.h"
#include "ui/editing/ArrangeOrderWndController.h"
#include "ui/editing/SoundRecorderWndController.h"
#include "ui/editing/TimelineContentView.h"
#include "ui/editing/blankImageWndController.h"
#include "ui/main/SlideshowMenus.h"

#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QRandomGenerator>
#include <QTest>

#include <functional>

using Posts = test_support::PostedNotifications;

namespace {

// Sound the test hands in, in place of a device.
class FakeCapture : public SoundCapture {
public:
    explicit FakeCapture(Frames* sink) : sink(sink) {}
    bool start(Frames deliver) override {
        *sink = std::move(deliver);
        return true;
    }
    void stop() override { *sink = nullptr; }

private:
    Frames* sink;
};

} // namespace

class SlideListDialogsTest : public MainWindowTest {
protected:
    void TearDown() override {
        SoundCapture::setFactory(nullptr);
        MainWindowTest::TearDown();
    }
    void useFakeCapture() {
        SoundCapture::setFactory([this] { return std::make_unique<FakeCapture>(&microphone); });
    }
    void speak(float amplitude, double seconds = 0.05) {
        ASSERT_TRUE(microphone) << "recording";
        const std::vector<int16_t> samples = ToneMaker::toInt16(ToneMaker::sine(440.0, seconds, amplitude));
        microphone(samples.data(), int(samples.size() / 2));
    }
    // A file of random bytes under a sound's name: it holds no sound.
    QString writeNoise(const QString& name) const {
        QByteArray noise(64 * 1024, '\0');
        QRandomGenerator random(20260);
        for (char& byte : noise)
            byte = char(random.bounded(256));
        const QString path = dir.file(name);
        model_test::writeFile(path, noise);
        return path;
    }
    // The Slide Sound window, opened from its menu item.
    SoundRecorderWndController* openSlideSound() {
        SlideshowMenus(*window, *controller).action("recordSoundMenuItem")->trigger();
        return window->findChild<SoundRecorderWndController*>();
    }
    SoundCapture::Frames microphone;
};

TEST_F(SlideListDialogsTest, TheBlankImageWindowAddsTheChosenStockPicture) {
    blankImageWndController window(false, projectSource());
    EXPECT_EQ(window.windowTitle(), "Add a Blank Image");
    EXPECT_EQ(window.m_buttonOK()->text(), "Add");
    ASSERT_EQ(window.images().size(), 28u);
    EXPECT_EQ(window.images()[27].imageTitle(), "vector_028.jpg");
    window.resize(900, 620);
    window.show();
    const QImage shot = screenshot::save(window, "blank-image-window");
    EXPECT_FALSE(shot.isNull());

    Posts inserted(kNotifyInsertBlankImage);
    window.m_buttonOK()->click();
    EXPECT_TRUE(inserted.list.empty()) << "nothing chosen: the window only closes";
    EXPECT_FALSE(window.isVisible());
    window.show();
    window.imageBrowser()->setSelectionIndexes({2});
    window.imageBrowser()->setSelectionIndexes({}); // an empty selection keeps the choice
    window.m_buttonOK()->click();
    ASSERT_EQ(inserted.list.size(), 1u);
    EXPECT_TRUE(inserted.list[0].object.toString().endsWith("/vector_003.jpg"));

    window.imageBrowserMoveItemsAtIndexes({0, 1}, 4);
    QStringList firstFive;
    for (std::size_t i = 0; i < 5; ++i)
        firstFive << window.images()[i].imageTitle().left(10);
    EXPECT_EQ(firstFive, QStringList({"vector_003", "vector_004", "vector_001", "vector_002", "vector_005"}));
}

TEST_F(SlideListDialogsTest, InThemeModeSetAndDefaultChangeTheThemeBackground) {
    blankImageWndController window(true, projectSource());
    EXPECT_EQ(window.windowTitle(), "Set Theme Background Image");
    EXPECT_EQ(window.m_buttonOK()->text(), "Set");
    window.show();
    EXPECT_TRUE(window.m_buttonDefault()->isVisible());
    Posts themes(kNotifyThemeItemSelected);
    window.m_buttonDefault()->click();
    EXPECT_EQ(themes.list.size(), 1u) << "posted even without a background";
    window.imageBrowser()->setSelectionIndexes({5});
    window.m_buttonOK()->click();
    EXPECT_TRUE(project->strThemeBackground().endsWith("/vector_006.jpg"));
    window.m_buttonDefault()->click();
    EXPECT_TRUE(project->strThemeBackground().isEmpty());
    EXPECT_EQ(themes.list.size(), 3u);
}

TEST_F(SlideListDialogsTest, TheArrangeWindowMovesAndRemovesSlidesThroughTheController) {
    makeController(true);
    const auto slides = useColourSlides({Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan});
    controller->ArrangeSlideOrder();
    ArrangeOrderWndController* window = controller->arrangeOrderWC();
    ASSERT_NE(window, nullptr);
    window->resize(820, 420);
    EXPECT_FALSE(screenshot::save(*window, "arrange-order-window").isNull());
    ImageBrowserView* browser = window->imageBrowser();
    ASSERT_EQ(browser->model()->rowCount(), 5);
    // Dropped on the right half of the fourth slide: the gap after it, destination 4.
    const QRect fourth = browser->visualRect(browser->model()->index(3, 0));
    EXPECT_TRUE(browser->dropItems({0}, fourth.center() + QPoint(fourth.width() / 4, 0)));
    EXPECT_EQ(project->slideshowArray(),
              (std::vector<SlideItemRef>{slides[1], slides[2], slides[3], slides[0], slides[4]}));
    browser->setSelectionIndexes({0});
    QKeyEvent remove(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(browser, &remove);
    EXPECT_EQ(project->slideCount(), 4u);
    EXPECT_EQ(browser->model()->rowCount(), 4);
}

// A clip is listed by its clip's name, as a photo is by its file's, not by the picture made from the clip.
TEST_F(SlideListDialogsTest, TheArrangeWindowNamesAClipAfterItsFile) {
    makeController(true);
    std::vector<SlideItemRef> slides = useColourSlides({Qt::red});
    slides.push_back(makeClipSlide("Harbour at dusk.mp4"));
    project->setSlideshowArray(slides);
    controller->ArrangeSlideOrder();
    ImageBrowserView* browser = controller->arrangeOrderWC()->imageBrowser();
    ASSERT_EQ(browser->model()->rowCount(), 2);
    EXPECT_EQ(browser->model()->index(1, 0).data(Qt::DisplayRole).toString(), "Harbour at dusk.mp4");
}

// A thumbnail pressed and dragged with the pointer, its drag delivered as the platform delivers it: moved
// over the right half of the fourth and dropped there. The project and the timeline take the new order.
TEST_F(SlideListDialogsTest, AThumbnailDraggedInTheArrangeWindowReordersTheProjectAndTheTimeline) {
    makeController(true);
    const auto slides = useColourSlides({Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan});
    controller->ArrangeSlideOrder();
    ArrangeOrderWndController* arrange = controller->arrangeOrderWC();
    ASSERT_NE(arrange, nullptr);
    arrange->resize(820, 420);
    test_support::spinFor(50);
    ImageBrowserView* browser = arrange->imageBrowser();
    QWidget* viewport = browser->viewport();
    const QRect first = browser->visualRect(browser->model()->index(0, 0));
    const QRect fourth = browser->visualRect(browser->model()->index(3, 0));
    const QPoint from = first.center(), to = fourth.center() + QPoint(fourth.width() / 4, 0);
    bool dropped = false;
    browser->setDragRunner([&](QDrag& drag) {
        std::vector<QPoint> path;
        for (int step = 1; step <= 10; ++step)
            path.push_back(viewport->mapTo(arrange, from + (to - from) * step / 10));
        dropped = test_support::dragThrough(*arrange, *drag.mimeData(), path);
    });
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), viewport->mapToGlobal(QPointF(at)), Qt::LeftButton, held,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (int step = 1; step <= 3; ++step)
        send(QEvent::MouseMove, from + QPoint(8 * step, 0), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, from + QPoint(24, 0), Qt::NoButton);
    EXPECT_TRUE(dropped) << "the window took the drop";
    EXPECT_EQ(project->slideshowArray(),
              (std::vector<SlideItemRef>{slides[1], slides[2], slides[3], slides[0], slides[4]}));
    EXPECT_EQ(browser->model()->data(browser->model()->index(3, 0), Qt::DisplayRole).toString(),
              "colour0.png")
        << "the window shows the new order";
    QWidget* strip = controller->outlets().scrollContentView;
    QImage drawn(strip->size(), QImage::Format_ARGB32_Premultiplied);
    strip->render(&drawn);
    const QColor fourthCell = drawn.pixelColor(3 * 170 + 50, TimelineContentView::kHeight - 120);
    EXPECT_TRUE(fourthCell.red() > 200 && fourthCell.green() < 60 && fourthCell.blue() < 60)
        << "the timeline shows the red slide fourth: " << fourthCell.name().toStdString();

    // A drag from elsewhere carrying the same type moves nothing.
    QMimeData foreign;
    foreign.setData(ImageBrowserView::dragMimeType(),
                    QByteArray::fromHex("00000000000000000000000000000001"));
    EXPECT_FALSE(test_support::dragThrough(*arrange, foreign, {viewport->mapTo(arrange, from)}));
    EXPECT_EQ(project->slideshowArray()[3], slides[0]);
}

TEST_F(SlideListDialogsTest, TheMetersShowPeaksWhileRecording) {
    const std::pair<float, float> table[] = {
        {0.0f, 20.0f}, {-100.0f, 0.0f}, {-40.0f, 12.0f}, {-160.0f, 0.0f}};
    for (const auto& [decibels, shown] : table)
        EXPECT_FLOAT_EQ(SoundRecorderWndController::meterValueForPeak(decibels), shown) << decibels;

    useFakeCapture();
    SoundRecorderWndController recorder(dialogs, scheduler, projectSource());
    recorder.startRecord();
    speak(1.0f);
    scheduler->advance(0.1);
    EXPECT_NEAR(recorder.leftLevel(), 20.0f, 0.01f);
    speak(0.01f);
    scheduler->advance(0.1);
    EXPECT_NEAR(recorder.rightLevel(), 12.0f, 0.05f);
    scheduler->advance(0.1); // nothing heard since
    EXPECT_FLOAT_EQ(recorder.leftLevel(), 0.0f);
    speak(0.5f);
    scheduler->advance(0.1);
    recorder.show();
    EXPECT_FALSE(screenshot::save(recorder, "sound-recorder").isNull());
    recorder.stopRecord();
    EXPECT_FALSE(recorder.isMeterTimerRunning());
}

TEST_F(SlideListDialogsTest, EveryRecordingGetsAFileOfItsOwn) {
    useFakeCapture();
    SoundRecorderWndController recorder(dialogs, scheduler, projectSource());
    Posts sounds(kNotifyUpdateSlideItemSoundFile);
    recorder.stopRecord();
    EXPECT_TRUE(sounds.list.empty()) << "Stop without Start";
    for (int take = 0; take < 2; ++take) {
        recorder.startRecord();
        speak(0.3f, 0.5);
        recorder.stopRecord();
    }
    ASSERT_EQ(sounds.list.size(), 2u);
    const QString first = sounds.list[0].object.toString(), second = sounds.list[1].object.toString();
    EXPECT_NE(first, second);
    for (const QString& path : {first, second}) {
        EXPECT_TRUE(QFileInfo(path).fileName().startsWith("sound_")) << path.toStdString();
        EXPECT_TRUE(path.endsWith(".caf"));
        EXPECT_GT(QFileInfo(path).size(), 44100 * 4 / 2) << "half a second of 16-bit stereo";
    }
}

TEST_F(SlideListDialogsTest, WithoutAnInputOnlyAFileCanBeChosenAndItIsCopied) {
    SoundCapture::setFactory([] { return std::unique_ptr<SoundCapture>(); });
    makeController();
    const auto slides = useColourSlides({Qt::red});
    controller->setNCurrentSlideshowItemIndex(0);
    SoundRecorderWndController recorder(dialogs, scheduler, projectSource());
    Posts sounds(kNotifyUpdateSlideItemSoundFile);
    EXPECT_FALSE(recorder.canRecord());
    recorder.startRecord();
    recorder.stopRecord();
    EXPECT_TRUE(sounds.list.empty());

    const QString mine = dir.file("greeting.wav");
    ASSERT_TRUE(ToneMaker::writeWav(mine, 440.0, 0.2, 0.3f));
    dialogs.mediaOpenAnswers = {{}, {mine}};
    recorder.selectSoundFile(); // cancelled
    recorder.selectSoundFile();
    ASSERT_EQ(sounds.list.size(), 1u);
    const QString copy = sounds.list[0].object.toString();
    EXPECT_EQ(QFileInfo(copy).absolutePath(), project->strMacProjectBundleContentsPath());
    EXPECT_EQ(slides[0]->strSoundFileName(), copy);
    EXPECT_TRUE(recorder.statusText().contains("greeting.wav"))
        << "the window says which sound the slide has";
    controller->DeleteCurrentPhoto();
    EXPECT_FALSE(QFile::exists(copy));
    EXPECT_TRUE(QFile::exists(mine)) << "the user's own file stays";
}

// Slide > Record Slide Sound..., Choose File...: a file of random bytes holds no sound, and is refused for
// the reason Add Music gives; the slide keeps the sound it had and the project takes no copy of the file.
TEST_F(SlideListDialogsTest, TheSlideSoundWindowRefusesAFileWithoutSoundAndTheSlideKeepsItsSound) {
    makeController(true);
    const auto slides = useColourSlides({Qt::red});
    controller->setNCurrentSlideshowItemIndex(0);
    const QString mine = dir.file("greeting.wav"), bad = writeNoise("bad.mp3");
    ASSERT_TRUE(ToneMaker::writeWav(mine, 440.0, 0.2, 0.3f));
    SoundRecorderWndController* recorder = openSlideSound();
    ASSERT_TRUE(recorder && recorder->isVisible());
    auto* choose = recorder->findChild<QPushButton*>("chooseButton");
    dialogs.mediaOpenAnswers = {{mine}, {bad}};
    QTest::mouseClick(choose, Qt::LeftButton);
    const QString sound = slides[0]->strSoundFileName();
    ASSERT_TRUE(sound.startsWith(project->strMacProjectBundleContentsPath())) << sound.toStdString();
    const QStringList files = QDir(project->strMacProjectBundleContentsPath()).entryList(QDir::Files);
    project->setBIsDirty(false);

    QTest::mouseClick(choose, Qt::LeftButton);
    ASSERT_EQ(dialogs.alerts.size(), 1u) << dialogs.alertText().toStdString();
    EXPECT_EQ(dialogs.alerts[0].title,
              "\"bad.mp3\" is not a song: it holds no sound whose length can be measured.");
    EXPECT_EQ(slides[0]->strSoundFileName(), sound);
    EXPECT_FALSE(project->bIsDirty());
    EXPECT_EQ(QDir(project->strMacProjectBundleContentsPath()).entryList(QDir::Files), files);
    EXPECT_TRUE(recorder->statusText().contains("greeting.wav")) << recorder->statusText().toStdString();
}

// Take Sound Off, in the Slide Sound window, takes off the sound of the slide that is current, once it went
// missing too: the slide keeps its picture, text and timing and goes without a sound, the project is changed,
// the window says so and the button can no longer be clicked, and the export no longer refuses. The button
// follows the slide that is current.
TEST_F(SlideListDialogsTest, TakeSoundOffLeavesTheSlideWithoutASoundAndTheExportNoLongerRefuses) {
    makeController(true);
    const auto slides = useColourSlides({Qt::red, Qt::green, Qt::blue});
    slides[1]->setStrPhotoDescription("A day out");
    slides[1]->customSetDurations(4.0f, 1.5f);
    controller->setNCurrentSlideshowItemIndex(1);
    const QString mine = dir.file("greeting.wav");
    ASSERT_TRUE(ToneMaker::writeWav(mine, 440.0, 0.2, 0.3f));
    SoundRecorderWndController* recorder = openSlideSound();
    ASSERT_TRUE(recorder);
    auto* takeOff = recorder->findChild<QPushButton*>("takeOffButton");
    ASSERT_TRUE(takeOff);
    EXPECT_FALSE(takeOff->isEnabled()) << "the slide has no sound yet";
    dialogs.mediaOpenAnswers = {{mine}};
    QTest::mouseClick(recorder->findChild<QPushButton*>("chooseButton"), Qt::LeftButton);
    const QString copy = slides[1]->strSoundFileName();
    ASSERT_FALSE(copy.isEmpty());
    EXPECT_TRUE(takeOff->isEnabled());
    controller->setNCurrentSlideshowItemIndex(0);
    EXPECT_FALSE(takeOff->isEnabled()) << "the first slide has no sound";
    controller->setNCurrentSlideshowItemIndex(1);
    ASSERT_TRUE(takeOff->isEnabled());
    ASSERT_TRUE(QFile::remove(copy));
    ASSERT_FALSE(project->missingSlideFilesMessage().isEmpty());
    const QString picture = slides[1]->fileName();
    project->setBIsDirty(false);

    QTest::mouseClick(takeOff, Qt::LeftButton);
    EXPECT_TRUE(slides[1]->strSoundFileName().isEmpty());
    EXPECT_TRUE(project->bIsDirty());
    EXPECT_FALSE(takeOff->isEnabled());
    EXPECT_EQ(recorder->statusText(), "The slide has no sound now.");
    EXPECT_EQ(project->missingSlideFilesMessage(), QString());
    EXPECT_EQ(project->slideshowArray(), slides);
    EXPECT_EQ(slides[1]->fileName(), picture);
    EXPECT_EQ(slides[1]->strPhotoDescription(), "A day out");
    EXPECT_FLOAT_EQ(slides[1]->fSecPhotoDuration(), 4.0f);
    EXPECT_FLOAT_EQ(slides[1]->fSecTransitionDuration(), 1.5f);
    EXPECT_TRUE(QFile::exists(mine)) << "the user's own file stays";
}

// Escape, pressed where the window system sends keys, closes the Slide Sound window as its close box does:
// the window opens in front and takes the keyboard, the recording under way is kept as the slide's sound, and
// the window goes.
TEST_F(SlideListDialogsTest, EscapeClosesTheSlideSoundWindowAsItsCloseBoxDoes) {
    useFakeCapture();
    makeController(true);
    const auto slides = useColourSlides({Qt::red});
    controller->setNCurrentSlideshowItemIndex(0);
    SlideshowMenus menus(*window, *controller);
    const std::pair<const char*, std::function<void(QWidget&)>> closings[] = {
        {"the close box", [](QWidget& shown) { shown.close(); }},
        {"Escape", [](QWidget&) { EXPECT_TRUE(test_support::pressKey(Qt::Key_Escape)); }}};
    for (const auto& [closing, close] : closings) {
        SCOPED_TRACE(closing);
        const QString before = slides[0]->strSoundFileName();
        menus.action("recordSoundMenuItem")->trigger();
        QPointer<SoundRecorderWndController> recorder = window->findChild<SoundRecorderWndController*>();
        ASSERT_TRUE(recorder && recorder->isVisible());
        test_support::spinUntil([&] { return recorder->isActiveWindow(); }, 3000); // a window system's answer
        QTest::mouseClick(recorder->findChild<QPushButton*>("startButton"), Qt::LeftButton);
        speak(0.3f, 0.2);
        close(*recorder);
        EXPECT_FALSE(recorder && recorder->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(recorder) << "the window is gone";
        const QString sound = slides[0]->strSoundFileName();
        EXPECT_TRUE(sound.endsWith(".caf") && sound != before) << sound.toStdString();
    }
}

// Choosing the slide's sound again removes the copy the earlier choice put in the project's folder, unless
// another slide or a song still refers to it.
TEST_F(SlideListDialogsTest, ChoosingTheSlideSoundAgainRemovesTheEarlierCopyThatNothingElseRefersTo) {
    makeController(true);
    const auto slides = useColourSlides({Qt::red, Qt::green});
    controller->setNCurrentSlideshowItemIndex(0);
    const QString first = dir.file("first.wav"), second = dir.file("second.wav");
    ASSERT_TRUE(ToneMaker::writeWav(first, 440.0, 0.2, 0.3f));
    ASSERT_TRUE(ToneMaker::writeWav(second, 660.0, 0.2, 0.3f));
    SoundRecorderWndController* recorder = openSlideSound();
    ASSERT_TRUE(recorder);
    QPushButton* choose = recorder->findChild<QPushButton*>("chooseButton");
    const QString contents = project->strMacProjectBundleContentsPath();
    const std::pair<const char*, std::function<void(const QString&)>> sharers[] = {
        {"nothing else", nullptr},
        {"the other slide", [&](const QString& copy) { slides[1]->setStrSoundFileName(copy); }},
        {"a song", [&](const QString& copy) {
             project->setMusicArray({test_support::songNamed(QFileInfo(copy).fileName())});
         }}};
    for (const auto& [sharer, share] : sharers) {
        SCOPED_TRACE(sharer);
        slides[1]->setStrSoundFileName(QString());
        project->setMusicArray({});
        dialogs.mediaOpenAnswers = {{first}, {second}};
        QTest::mouseClick(choose, Qt::LeftButton);
        const QString earlier = slides[0]->strSoundFileName();
        ASSERT_EQ(QFileInfo(earlier).absolutePath(), contents);
        if (share)
            share(earlier);
        QTest::mouseClick(choose, Qt::LeftButton);
        const QString now = slides[0]->strSoundFileName();
        ASSERT_NE(now, earlier);
        EXPECT_TRUE(QFile::exists(now));
        EXPECT_EQ(QFile::exists(earlier), share != nullptr) << earlier.toStdString();
    }
    EXPECT_TRUE(QFile::exists(first) && QFile::exists(second)) << "the user's own files stay";
}

// Choose File... shows the file panel over the main window, and an alert when the file holds no sound; when
// they go, the Slide Sound window has the keyboard again, whether the file was taken or refused, and Escape
// pressed where the window system sends keys closes it.
TEST_F(SlideListDialogsTest, TheSlideSoundWindowHasTheKeyboardAgainAfterItsFilePanelAndAlert) {
    makeController(true);
    useColourSlides({Qt::red});
    controller->setNCurrentSlideshowItemIndex(0);
    window->show();
    dialogs.modalWindowsOver = window.get();
    const QString mine = dir.file("greeting.wav");
    ASSERT_TRUE(ToneMaker::writeWav(mine, 440.0, 0.2, 0.3f));
    const std::pair<const char*, QString> choices[] = {{"taken", mine}, {"refused", writeNoise("bad.mp3")}};
    const auto activeName = [] {
        return QApplication::activeWindow() ? QApplication::activeWindow()->objectName().toStdString()
                                            : std::string("none");
    };
    for (const auto& [choice, file] : choices) {
        SCOPED_TRACE(choice);
        const std::size_t alertsBefore = dialogs.alerts.size();
        QPointer<SoundRecorderWndController> recorder = openSlideSound();
        ASSERT_TRUE(recorder);
        ASSERT_TRUE(test_support::spinUntil([&] { return recorder->isActiveWindow(); }, 3000))
            << activeName();
        dialogs.mediaOpenAnswers = {{file}};
        QTest::mouseClick(recorder->findChild<QPushButton*>("chooseButton"), Qt::LeftButton);
        EXPECT_EQ(dialogs.alerts.size() - alertsBefore, file == mine ? 0u : 1u)
            << dialogs.alertText().toStdString();
        EXPECT_TRUE(test_support::spinUntil([&] { return recorder->isActiveWindow(); }, 3000))
            << "the keyboard is with " << activeName();
        EXPECT_TRUE(test_support::pressKey(Qt::Key_Escape));
        EXPECT_FALSE(recorder && recorder->isVisible()) << "Escape closed the window";
        if (recorder)
            recorder->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
