// The DVD command's menu: each menu frame made into a menu slide, what the menu shows once another program
// has put pictures of its own at the names of the run's, and the menu under a framed theme.
#include "DVDCommandTestFixture.h"
#include "DVDTestSupport.h"
#include "support/WithoutProc.h"

#include "dvd/DVDMPEGIICreateObject.h"
#include "dvd/DVDMenuItem.h"
#include "model/SlideshowThemeManager.h"
#include "render/SlideshowDirector.h"

#include <QImage>

#include <algorithm>
#include <cstdio>

using namespace dvd_command_test;
using test_support::readBytes;

TEST_F(DVDCommandTest, EachMenuImageBecomesAMenuSlideInOrderAndEachCommandStartsAfresh) {
    dvd_test::FakeTools tools;
    tools.add("ffmpeg", "exit 1"); // the encode is not what this test is about
    useSlides(5);
    ASSERT_TRUE(command->EncodeDVDMenu()) << qPrintable(dialogs.alertText());
    ASSERT_TRUE(commandEnds());
    expectStepAlert("ffmpeg");
    EXPECT_EQ(project->shareOptionsDict().value("ServiceName").toString(), "PhotoLibrary");
    const std::vector<SlideItemRef> slides = manager->dvdMenuSlideArray();
    const QStringList images = command->currentDVDMenuItem()->imagesArray();
    ASSERT_EQ(slides.size(), 5u);
    ASSERT_EQ(images.size(), 5);
    for (std::size_t i = 0; i < slides.size(); ++i) {
        EXPECT_EQ(slides[i]->strOriginalFileName(), images[int(i)]);
        EXPECT_EQ(QFileInfo(images[int(i)]).fileName(), QStringLiteral("menu_bk_%1.png").arg(i + 1));
        // The three pictures of a photo's slide: the fitted copy, the backdrop and the thumbnail.
        const QImage menu(images[int(i)]);
        const QImage picture(slides[i]->fileName());
        EXPECT_EQ(picture.size(), menu.size());
        EXPECT_EQ(QSize(slides[i]->width(), slides[i]->height()), menu.size());
        EXPECT_EQ(QImage(slides[i]->backgroudImageFileName()).size(), QSize(640, 360));
        EXPECT_EQ(QImage(slides[i]->strThumbFileName()).size(), QSize(80, 70));
        for (const QString& path :
             {slides[i]->fileName(), slides[i]->backgroudImageFileName(), slides[i]->strThumbFileName()})
            EXPECT_EQ(QFileInfo(path).path(), contents()) << qPrintable(path);
        EXPECT_TRUE(slides[i]->iSItemReady());
        EXPECT_FLOAT_EQ(slides[i]->fSecPhotoDuration(), project->fltPhotoDuration());
        EXPECT_FLOAT_EQ(slides[i]->fSecTransitionDuration(), project->fltTransitionDuration());
        EXPECT_DOUBLE_EQ(slides[i]->zoomStart(), 1.0);
        EXPECT_EQ(slides[i]->panStartPoint(), QPointF(0, 0));
        EXPECT_EQ(slides[i]->transitionInfo().value("name").toString(), "Alpha Blend");
    }

    useSlides(3);
    dialogs.alerts.clear();
    ASSERT_TRUE(command->EncodeDVDMenu());
    ASSERT_TRUE(commandEnds());
    EXPECT_EQ(manager->dvdMenuSlideArray().size(), 3u);
    // Each command writes its menu slides' pictures over those of the one before.
    EXPECT_EQ(QDir(contents()).entryList({"menu_psd_*.jpg", "menu_thumb_*.jpg"}, QDir::Files).size(), 15);
}

// Another program puts a picture of its own at a menu picture's name once the run has written it: at a menu
// frame's name once the frames are drawn (here as the four-colour pictures are made), or at the menu slides'
// pictures and backdrops, all three, once they are written and before the menu is drawn. Neither is what the
// menu's slide is made of nor what the menu shows, under a theme that draws the backdrop too, also where no
// path leads to the run's own files (without /proc).
TEST_F(DVDCommandTest, APictureReplacedOnceWrittenIsNeverWhatTheMenuShows) {
    constexpr int kWidth = 960, kHeight = 540;
    constexpr qint64 kFrameBytes = qint64(kWidth) * kHeight * 4;
    constexpr int kKept = 8; // a frame well inside the first menu slide
    QImage other(kWidth, kHeight, QImage::Format_RGB32);
    other.fill(QColor(0, 255, 0));
    ASSERT_TRUE(other.save(folder.file("other.png")));
    ASSERT_TRUE(other.save(folder.file("other.jpg")));
    // The other program's green, and the share of a picture's pixels that are of it.
    const auto isGreen = [](const QColor& c) { return c.green() > 200 && c.red() < 60 && c.blue() < 60; };
    const auto greenShare = [&isGreen](const QImage& picture) {
        int green = 0, all = 0;
        for (int y = 0; y < picture.height(); y += 4)
            for (int x = 0; x < picture.width(); x += 4, ++all)
                green += isGreen(picture.pixelColor(x, y));
        return double(green) / std::max(all, 1);
    };
    const QByteArray frame = QFile::encodeName(contents() + "/menu_bk_1.png");
    enum class Replaced { MenuFrame, SlidePictures };
    const struct {
        Replaced what;
        bool withoutProc;
    } cases[] = {{Replaced::MenuFrame, false},
                 {Replaced::MenuFrame, true},
                 {Replaced::SlidePictures, false},
                 {Replaced::SlidePictures, true}};
    const QString captured = folder.file("frame.bgra");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what == Replaced::MenuFrame ? "a menu frame" : "the menu slides' pictures");
        SCOPED_TRACE(c.withoutProc ? "without /proc" : "with /proc");
        dialogs.alerts.clear();
        QFile::remove(captured);
        dvd_test::FakeTools tools;
        // Keeps one frame of the pipe and reads the rest.
        tools.add("ffmpeg", kFFmpegInputs + "{ head -c " + QByteArray::number(kFrameBytes * kKept) +
                                " > /dev/null; head -c " + QByteArray::number(kFrameBytes) + " > " +
                                QFile::encodeName(captured) +
                                "; cat > /dev/null; } < \"$video\"\nprintf x > \"$a\"");
        if (c.what == Replaced::MenuFrame)
            tools.add("pngquant", "cp \"" + QFile::encodeName(folder.file("other.png")) + "\" \"" + frame +
                                      ".new\" && mv -f \"" + frame + ".new\" \"" + frame +
                                      "\"\nexec pngquant \"$@\"");
        // Once the menu's slides are made, before the menu's stream is drawn.
        command->setCreatorSetup([&](DVDMPEGIICreateObject& creator) {
            creator.setCancelPolling(std::chrono::milliseconds(20), 5);
            if (c.what != Replaced::SlidePictures)
                return;
            for (int n = 1; n <= 3; ++n)
                for (const QString& name :
                     {QStringLiteral("menu_psd_%1.jpg"), QStringLiteral("menu_psd_bk_%1.jpg")}) {
                    const QString path = contents() + "/" + name.arg(n);
                    EXPECT_TRUE(QFile::copy(folder.file("other.jpg"), path + ".new"));
                    EXPECT_EQ(::rename(QFile::encodeName(path + ".new").constData(),
                                       QFile::encodeName(path).constData()),
                              0);
                }
        });
        useSlides(3);
        project->themeManger()->setCurrentThemeID(7); // "White Border with Blur": its backdrop shows
        director->initForNewProject();
        manager->setFltDVDMenuFadeIn(0.0f);
        {
            const test_support::WithoutProc procAbsent(c.withoutProc);
            ASSERT_TRUE(command->EncodeDVDMenu()) << qPrintable(dialogs.alertText());
            ASSERT_TRUE(commandEnds());
        }
        EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
        const std::vector<SlideItemRef> slides = manager->dvdMenuSlideArray();
        ASSERT_EQ(slides.size(), 3u) << qPrintable(dialogs.alertText());
        const QString replaced =
            c.what == Replaced::MenuFrame ? QFile::decodeName(frame) : slides[0]->fileName();
        EXPECT_GT(greenShare(QImage(replaced)), 0.9) << "nothing was put there";
        if (c.what == Replaced::MenuFrame) {
            EXPECT_LT(greenShare(QImage(slides[0]->fileName())), 1.0 / 4)
                << "the other program's picture became the slide";
        }
        const QByteArray bytes = readBytes(captured);
        ASSERT_EQ(bytes.size(), kFrameBytes);
        const QImage shown =
            QImage(reinterpret_cast<const uchar*>(bytes.constData()), kWidth, kHeight, QImage::Format_ARGB32);
        EXPECT_LT(greenShare(shown), 1.0 / 16) << "the other program's picture is on the menu";
        for (const QPoint corner : {QPoint(1, 1), QPoint(958, 1), QPoint(1, 538), QPoint(958, 538)})
            EXPECT_FALSE(isGreen(shown.pixelColor(corner))) << "the other program's backdrop is on the menu";
    }
}

// The themes that frame the picture on a moving backdrop of its own blur frame the menu the same way: where
// the backdrop shows (the corners, about the frame), it is the blurred menu picture, in grey under the grey
// theme and in colour under the blur theme, never black.
TEST_F(DVDCommandTest, AMenuPassUnderAFramedThemeDrawsTheMenuOnItsOwnBlurredBackdrop) {
    constexpr int kWidth = 960, kHeight = 540;
    constexpr qint64 kFrameBytes = qint64(kWidth) * kHeight * 4;
    constexpr int kKept = 8; // a frame well inside the first menu slide
    struct Case {
        int themeID;
        bool grey;
    };
    const Case cases[] = {{7, false}, {8, true}}; // "White Border with Blur / with Gray Background"
    for (const Case& c : cases) {
        SCOPED_TRACE(c.themeID);
        const QString captured = folder.file(QStringLiteral("frame%1.bgra").arg(c.themeID));
        dvd_test::FakeTools tools;
        // Keeps one frame of the pipe and reads the rest.
        tools.add("ffmpeg", kFFmpegInputs + "{ head -c " + QByteArray::number(kFrameBytes * kKept) +
                                " > /dev/null; head -c " + QByteArray::number(kFrameBytes) + " > " +
                                QFile::encodeName(captured) +
                                "; cat > /dev/null; } < \"$video\"\nprintf x > \"$a\"");
        useSlides(3);
        project->themeManger()->setCurrentThemeID(c.themeID);
        director->initForNewProject(); // the player takes the project's theme
        manager->setFltDVDMenuFadeIn(0.0f);
        ASSERT_TRUE(command->EncodeDVDMenu()) << qPrintable(dialogs.alertText());
        ASSERT_TRUE(commandEnds());
        EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
        const QByteArray bytes = readBytes(captured);
        ASSERT_EQ(bytes.size(), kFrameBytes);
        const QImage frame =
            QImage(reinterpret_cast<const uchar*>(bytes.constData()), kWidth, kHeight, QImage::Format_ARGB32);
        for (const QPoint corner : {QPoint(1, 1), QPoint(958, 1), QPoint(1, 538), QPoint(958, 538)}) {
            const QColor seen = frame.pixelColor(corner);
            const int high = std::max({seen.red(), seen.green(), seen.blue()});
            const int low = std::min({seen.red(), seen.green(), seen.blue()});
            EXPECT_GE(high, 25) << "black at " << corner.x() << "," << corner.y();
            if (c.grey)
                EXPECT_LE(high - low, 3) << "not grey at " << corner.x() << "," << corner.y();
            else
                EXPECT_GE(high - low, 20) << "no colour at " << corner.x() << "," << corner.y();
        }
    }
}
