// The slide's picture files: quarter turns, colour, the text layer and the texture's image.
#include "ModelTestEnvironment.h"

#include "platform/foundation/MainThread.h"
#include "platform/media/MediaAsset.h"
#include "support/ClipMaker.h"
#include "support/ColourNear.h"

#include <QColor>
#include <QImage>

#include <atomic>
#include <cmath>
#include <thread>

using model_test::bytesOf;
using model_test::ModelTest;
using model_test::writeFile;

namespace {

bool near(const QColor& a, const QColor& b, int tolerance = 24) {
    return test_support::coloursNear(a, b, tolerance);
}

// The bounding box of the pixels close to a colour; empty when there are none.
QRect pixelsNear(const QImage& image, const QColor& colour, int tolerance = 60) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (near(image.pixelColor(x, y), colour, tolerance))
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

class SlidePictureTest : public ModelTest {
protected:
    SlideshowProjectRef project;
    QString contents;
    void SetUp() override {
        ModelTest::SetUp();
        project = openNewProject("Pictures");
        ASSERT_TRUE(project);
        contents = project->strMacProjectBundleContentsPath();
    }

    SlideItemRef slideWith(const QImage& picture, const QString& name = "photo.jpg") {
        auto slide = platform::makeMainThreadShared<SlideItem>();
        slide->setFileName(name);
        EXPECT_TRUE(picture.save(contents + "/" + name, "JPEG", 95));
        return slide;
    }

    static QImage plain(const QColor& colour, const QSize& size = QSize(400, 300)) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        return image;
    }

    static void setText(SlideItem& slide, const QVariantMap& entries) {
        QVariantMap text = slide.textInfo();
        text.insert(entries);
        slide.setTextInfo(text);
    }

    // 60 x 20, blue with a red left end.
    static QImage redLeftEnd() {
        QImage picture(60, 20, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                picture.setPixelColor(x, y, Qt::red);
        return picture;
    }
    static void expectRedEndOnTop(const QString& path) {
        const QImage turned(path);
        ASSERT_EQ(turned.size(), QSize(20, 60)) << path.toStdString();
        EXPECT_TRUE(near(turned.pixelColor(10, 5), Qt::red)) << "the left end is now on top";
        EXPECT_TRUE(near(turned.pixelColor(10, 55), Qt::blue));
        EXPECT_EQ(bytesOf(path).left(2), QByteArray("\xFF\xD8", 2)) << "written as JPEG";
    }
};

TEST_F(SlidePictureTest, AQuarterTurnTurnsEachSetFileClockwise) {
    const QImage picture = redLeftEnd();
    auto slide = slideWith(picture);
    slide->setStrThumbFileName("thumb.jpg");
    picture.save(contents + "/thumb.jpg", "JPEG", 95);
    EXPECT_TRUE(slide->rotateSlideItem(90)) << "the background is not set and is passed by";

    for (const QString& path : {slide->fileName(), slide->strThumbFileName()})
        expectRedEndOnTop(path);
    slide->rotateSlideItem(90);
    slide->rotateSlideItem(90);
    slide->rotateSlideItem(90);
    const QImage fullCircle(slide->fileName());
    ASSERT_EQ(fullCircle.size(), QSize(60, 20));
    EXPECT_TRUE(near(fullCircle.pixelColor(5, 10), Qt::red)) << "four turns come round";
}

// The earlier form turns the picture file alone, and only by a quarter.
TEST_F(SlidePictureTest, TheEarlierQuarterTurnRedrawsThePictureAlone) {
    auto slide = slideWith(redLeftEnd());
    slide->setStrThumbFileName("thumb.jpg");
    redLeftEnd().save(contents + "/thumb.jpg", "JPEG", 95);
    const QByteArray before = bytesOf(slide->fileName());
    for (const int degrees : {0, 45, 180, -90, 270})
        EXPECT_FALSE(slide->rotateSlideItem_1(degrees)) << degrees;
    EXPECT_EQ(bytesOf(slide->fileName()), before) << "other angles leave the picture as it was";

    EXPECT_TRUE(slide->rotateSlideItem_1(90));
    expectRedEndOnTop(slide->fileName());
    EXPECT_EQ(QImage(slide->strThumbFileName()).size(), QSize(60, 20)) << "the thumbnail is not turned";

    slide->setFileName("absent.jpg");
    EXPECT_FALSE(slide->rotateSlideItem_1(90));
    EXPECT_FALSE(QFileInfo::exists(contents + "/absent.jpg"));
}

TEST_F(SlidePictureTest, AFileThatCannotBeTurnedIsLeftAsItWas) {
    auto slide = slideWith(plain(Qt::white, QSize(8, 4)));
    slide->setBackgroudImageFileName("background.jpg");
    writeFile(contents + "/background.jpg", "not a picture");
    EXPECT_FALSE(slide->rotateSlideItem(90));
    EXPECT_EQ(bytesOf(contents + "/background.jpg"), QByteArray("not a picture"));
    EXPECT_EQ(QImage(slide->fileName()).size(), QSize(4, 8)) << "the readable picture is still turned";
    EXPECT_FALSE(SlideItem::rotateImage(contents + "/absent.jpg"));
    EXPECT_FALSE(QFileInfo::exists(contents + "/absent.jpg"));
    const QStringList leftovers = QDir(contents).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : leftovers)
        EXPECT_FALSE(name.contains("tmp", Qt::CaseInsensitive)) << name.toStdString();
}

// A photo whose import failed keeps an empty file name: nothing of it turns, and the turn is not reported
// done.
TEST_F(SlidePictureTest, ASlideWithoutAPictureIsNotTurned) {
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->setFileName("");
    slide->setStrThumbFileName("thumb.jpg");
    redLeftEnd().save(contents + "/thumb.jpg", "JPEG", 95);
    const QByteArray before = bytesOf(slide->strThumbFileName());
    EXPECT_FALSE(slide->rotateSlideItem(-90));
    EXPECT_EQ(bytesOf(slide->strThumbFileName()), before) << "the thumbnail stays as the picture is";
}

TEST_F(SlidePictureTest, ColourControlsOnKnownPixels) {
    auto slide = slideWith(plain(QColor(200, 50, 50)));
    const QImage same = slide->adjustColor({});
    EXPECT_TRUE(near(same.pixelColor(10, 10), QColor(200, 50, 50), 6)) << "the defaults change nothing";
    // Luma 0.2125 * 200 + 0.7154 * 50 + 0.0721 * 50 = 81.9.
    const QImage grey = slide->adjustColor({{"Saturation", 0.0}});
    EXPECT_TRUE(near(grey.pixelColor(10, 10), QColor(82, 82, 82), 6));
    const QImage brighter = slide->adjustColor({{"Brightness", 0.2}});
    EXPECT_TRUE(near(brighter.pixelColor(10, 10), QColor(251, 101, 101), 6));
    const QImage flat = slide->adjustColor({{"Contrast", 0.0}});
    EXPECT_TRUE(near(flat.pixelColor(10, 10), QColor(128, 128, 128), 3)) << "no contrast is middle grey";

    ASSERT_TRUE(slide->ApplyAdjustColor({{"Saturation", 0.0}}));
    const QColor written = QImage(slide->fileName()).pixelColor(10, 10);
    EXPECT_TRUE(near(written, QColor(82, 82, 82), 6));
    EXPECT_EQ(bytesOf(slide->fileName()).left(2), QByteArray("\xFF\xD8", 2));

    SlideItem missing;
    missing.setFileName("nothing.jpg");
    EXPECT_TRUE(missing.adjustColor({}).isNull());
    EXPECT_FALSE(missing.ApplyAdjustColor({}));
    EXPECT_FALSE(QFileInfo::exists(contents + "/nothing.jpg"));
}

TEST_F(SlidePictureTest, AColourAdjustmentReachesTheBackdropAndTheThumbnailMadeFromThePicture) {
    const QColor orange(230, 120, 20);
    auto slide = slideWith(plain(orange));
    ASSERT_TRUE(plain(orange, QSize(64, 36)).save(contents + "/backdrop.jpg", "JPEG", 95));
    ASSERT_TRUE(plain(orange, QSize(80, 70)).save(contents + "/thumb.jpg", "JPEG", 95));
    slide->setBackgroudImageFileName("backdrop.jpg");
    slide->setStrThumbFileName("thumb.jpg");
    ASSERT_TRUE(slide->ApplyAdjustColor({{"Saturation", 0.0}}));
    // Luma 0.2125 * 230 + 0.7154 * 120 + 0.0721 * 20 = 136.1.
    for (const QString& path :
         {slide->fileName(), slide->backgroudImageFileName(), slide->strThumbFileName()})
        EXPECT_TRUE(near(QImage(path).pixelColor(5, 5), QColor(136, 136, 136), 6))
            << path.toStdString() << " " << QImage(path).pixelColor(5, 5).name().toStdString();
    EXPECT_EQ(QImage(slide->backgroudImageFileName()).size(), QSize(64, 36)) << "each file keeps its size";

    slide->setBackgroudImageFileName("gone.jpg"); // a missing companion is no failure and is not made
    EXPECT_TRUE(slide->ApplyAdjustColor({{"Brightness", 0.1}}));
    EXPECT_FALSE(QFileInfo::exists(contents + "/gone.jpg"));
}

TEST_F(SlidePictureTest, TheThemesPhotoFilterTurnsTheTextureGreyOrSepia) {
    auto slide = slideWith(plain(QColor(200, 50, 50)));
    EXPECT_TRUE(near(slide->slideImageForTexture({}).pixelColor(5, 5), QColor(200, 50, 50), 6));
    const QImage grey = slide->slideImageForTexture(SlideshowThemeManager::themeNo(11));
    EXPECT_TRUE(near(grey.pixelColor(5, 5), QColor(82, 82, 82), 6));
    // Sepia of (0.784, 0.196, 0.196): 0.393r + 0.769g + 0.189b and so on, clamped.
    const QImage sepia = slide->slideImageForTexture({{"PhotoFilter", "CISepiaTone"}});
    EXPECT_TRUE(near(sepia.pixelColor(5, 5), QColor(126, 112, 87), 6));
    EXPECT_TRUE(near(slide->slideImageForTexture({{"PhotoFilter", "Unknown"}}).pixelColor(5, 5),
                     QColor(200, 50, 50), 6));
}

TEST_F(SlidePictureTest, WithoutTextThePictureIsShownAsItIs) {
    auto slide = slideWith(plain(QColor(40, 90, 160)));
    const QImage original = slide->slideImageAfterTextInfo();
    ASSERT_EQ(original.size(), QSize(400, 300));
    EXPECT_TRUE(near(original.pixelColor(200, 150), QColor(40, 90, 160), 6));
    setText(*slide, {{"Text", ""}});
    const QImage empty = slide->slideImageAfterTextInfo();
    EXPECT_EQ(empty, original);
    EXPECT_EQ(slide->slideImageForTexture({}).pixelColor(0, 0), QImage(slide->fileName()).pixelColor(0, 0));
}

TEST_F(SlidePictureTest, TheTextIsDrawnCentredAtTheTopInItsColour) {
    auto slide = slideWith(plain(QColor(40, 40, 40)));
    setText(*slide, {{"Text", "HH"}, {"FontColor", QColor(Qt::red)}, {"FontSize", 60}});
    const QImage drawn = slide->slideImageAfterTextInfo();
    const QRect red = pixelsNear(drawn, Qt::red);
    ASSERT_FALSE(red.isEmpty());
    EXPECT_LT(red.bottom(), 100) << "the first line stands at the top";
    EXPECT_NEAR(red.center().x(), 200, 8) << "centred across the picture";
    const QSizeF frame = slide->frameSize();
    EXPECT_GT(frame.width(), 30);
    EXPECT_GE(frame.height(), 60);
    EXPECT_NEAR(slide->leftMost(), (400 - frame.width()) / 2, 2);
    ASSERT_EQ(slide->origins().size(), 1u);
    EXPECT_TRUE(near(drawn.pixelColor(5, 295), QColor(40, 40, 40), 6)) << "far from the text the picture";
    EXPECT_TRUE(pixelsNear(drawn, Qt::white).isEmpty()) << "no frame while the text is not edited";
}

TEST_F(SlidePictureTest, AFontDictionaryGivesAPictureOfItsTextLaidOutAsTheTextLayerIs) {
    auto slide = slideWith(plain(QColor(40, 40, 40), QSize(800, 600)));
    setText(*slide, {{"Text", "HH\nH"}, {"FontColor", QColor(Qt::green)}, {"FontSize", 60}});
    const QVariantMap info = slide->textInfo();
    static_cast<void>(slide->slideImageAfterTextInfo());
    const QImage text = SlideItem::slideImageFromFontInfo(info);
    ASSERT_FALSE(text.isNull());
    EXPECT_EQ(QSizeF(text.size()), slide->frameSize()) << "the size of the slide's own text block";
    EXPECT_GE(text.height(), 120) << "two lines";
    const QRect green = pixelsNear(text, Qt::green);
    EXPECT_GT(green.width(), text.width() * 3 / 4) << "the text fills its picture, in its colour";
    EXPECT_EQ(text.pixelColor(0, text.height() - 1).alpha(), 0) << "transparent beside the short line";
    EXPECT_TRUE(SlideItem::slideImageFromFontInfo({{"Text", ""}, {"FontSize", 60}}).isNull());
}

TEST_F(SlidePictureTest, OffsetsMoveTheTextRightAndUp) {
    auto slide = slideWith(plain(QColor(40, 40, 40)));
    setText(*slide, {{"Text", "HH"},
                     {"FontColor", QColor(Qt::red)},
                     {"FontSize", 60},
                     {"FontPositionOffsetX", 100},
                     {"FontPositionOffsetY", -180}});
    const QRect red = pixelsNear(slide->slideImageAfterTextInfo(), Qt::red);
    ASSERT_FALSE(red.isEmpty());
    EXPECT_NEAR(red.center().x(), 300, 8);
    EXPECT_GT(red.top(), 180) << "a negative offset moves the text down the picture";
    EXPECT_EQ(slide->textBlockRect().topLeft(), QPointF(100 + slide->leftMost(), 180));
}

TEST_F(SlidePictureTest, AnAngleTurnsTheTextAboutTheCentreOfItsBlock) {
    auto slide = slideWith(plain(QColor(40, 40, 40)));
    setText(*slide, {{"Text", "HHHHHH"},
                     {"FontColor", QColor(Qt::red)},
                     {"FontSize", 40},
                     {"FontPositionOffsetY", -100}});
    const QRect level = pixelsNear(slide->slideImageAfterTextInfo(), Qt::red);
    const QPointF centre = slide->textBlockRect().center();
    setText(*slide, {{"FontAngle", 90}});
    const QRect upright = pixelsNear(slide->slideImageAfterTextInfo(), Qt::red);
    ASSERT_FALSE(level.isEmpty());
    ASSERT_FALSE(upright.isEmpty());
    EXPECT_GT(level.width(), 2 * level.height());
    EXPECT_GT(upright.height(), 2 * upright.width()) << "a quarter turn stands the line up";
    // Turned counter-clockwise as seen: what lay (dx, dy) from the centre lies at (dy, -dx).
    const QPointF from = QRectF(level).center() - centre;
    EXPECT_NEAR(QRectF(upright).center().x(), centre.x() + from.y(), 3);
    EXPECT_NEAR(QRectF(upright).center().y(), centre.y() - from.x(), 3);
    EXPECT_NEAR(upright.height(), level.width(), 6);
}

TEST_F(SlidePictureTest, WhileTheTextIsEditedADashedFrameSurroundsIt) {
    auto slide = slideWith(plain(QColor(40, 40, 40)));
    setText(
        *slide,
        {{"Text", "HH"}, {"FontColor", QColor(Qt::red)}, {"FontSize", 60}, {"FontPositionOffsetY", -100}});
    project->setNCurrentStatus(2);
    const QImage drawn = slide->slideImageAfterTextInfo();
    const QRect white = pixelsNear(drawn, Qt::white, 30);
    ASSERT_FALSE(white.isEmpty());
    const QRectF block = slide->textBlockRect();
    EXPECT_NEAR(white.left(), block.left() - 3, 3);
    EXPECT_NEAR(white.right(), block.right() + 3, 3);
    // Dashes: along the top edge of the frame some pixels are white and some are not.
    int whiteRun = 0, gaps = 0;
    const int y = int(block.top());
    for (int x = int(block.left()) + 4; x < int(block.right()) - 4; ++x)
        (near(drawn.pixelColor(x, y), Qt::white, 30) ? whiteRun : gaps)++;
    EXPECT_GT(whiteRun, 0);
    EXPECT_GT(gaps, 0);
    project->setNCurrentStatus(0);
    EXPECT_TRUE(pixelsNear(slide->slideImageAfterTextInfo(), Qt::white, 30).isEmpty());
}

TEST_F(SlidePictureTest, TheTextCastsAShadowDownAndRight) {
    auto slide = slideWith(plain(QColor(160, 160, 160)));
    setText(*slide,
            {{"Text", "I"}, {"FontColor", QColor(Qt::red)}, {"FontSize", 100}, {"FontPositionOffsetY", -80}});
    const QImage drawn = slide->slideImageAfterTextInfo();
    const QRect red = pixelsNear(drawn, Qt::red);
    ASSERT_FALSE(red.isEmpty());
    const QColor right = drawn.pixelColor(red.right() + 5, red.center().y());
    const QColor left = drawn.pixelColor(red.left() - 5, red.center().y());
    EXPECT_LT(right.red(), left.red() - 10) << "darker on the side the shadow falls";
}

TEST_F(SlidePictureTest, ThePreloaderAndTheMainThreadDrawTheSameSlideAtOnce) {
    auto slide = slideWith(plain(QColor(40, 40, 40), QSize(240, 200)));
    setText(*slide,
            {{"Text", "HH"}, {"FontColor", QColor(Qt::red)}, {"FontSize", 30}, {"FontPositionOffsetY", -60}});
    std::atomic<int> withoutText{0};
    std::vector<std::thread> drawers;
    for (int t = 0; t < 3; ++t)
        drawers.emplace_back([&] {
            for (int i = 0; i < 5; ++i)
                if (pixelsNear(slide->slideImageAfterTextInfo(), Qt::red).isEmpty())
                    ++withoutText;
        });
    for (int i = 0; i < 20; ++i)
        setText(*slide, {{"FontAngle", i * 10}, {"FontPositionOffsetX", i}});
    for (auto& drawer : drawers)
        drawer.join();
    EXPECT_EQ(withoutText.load(), 0);
    EXPECT_GT(slide->frameSize().width(), 0);
}

TEST_F(SlidePictureTest, TheLayoutRectangleIsAtLeast200High) {
    EXPECT_EQ(SlideItem::textLayoutRect(QSizeF(300, 100), 5, 7), QRectF(5, 7, 300, 200));
    EXPECT_EQ(SlideItem::textLayoutRect(QSizeF(300, 480.7), 0, 0), QRectF(0, 0, 300, 480));
    auto slide = slideWith(plain(QColor(40, 40, 40), QSize(300, 100)));
    setText(*slide, {{"Text", "H"}, {"FontSize", 30}, {"FontPositionOffsetY", -100}});
    setText(*slide, {{"FontColor", QColor(Qt::red)}});
    const QImage drawn = slide->slideImageAfterTextInfo();
    ASSERT_FALSE(drawn.isNull());
    // The 200-high rectangle runs from 100 below the picture up to its top edge, where the line stands.
    EXPECT_EQ(slide->textBlockRect().top(), 0);
    const QRect red = pixelsNear(drawn, Qt::red);
    ASSERT_FALSE(red.isEmpty());
    EXPECT_LT(red.top(), 15);
    EXPECT_TRUE(slide->textBlockRect().contains(QRectF(red).center()));
}

TEST_F(SlidePictureTest, AMoviesLengthAndTurnedSize) {
    const QString clip = home + "/clip.mov";
    ClipMaker::Options options;
    options.size = QSize(160, 96);
    options.frames = 15;
    options.rotation = 90;
    ASSERT_TRUE(ClipMaker::make(clip, options));
    SlideItem slide;
    EXPECT_NEAR(slide.getMovieDuration(clip), 0.5, 0.04);
    EXPECT_EQ(slide.width(), 96) << "a quarter turn swaps the sides";
    EXPECT_EQ(slide.height(), 160);
    const auto asset = platform::media::MediaAsset::open(clip);
    EXPECT_EQ(SlideItem::orientationForTrack(asset), 1);
    writeFile(home + "/words.mov", "no movie");
    EXPECT_FLOAT_EQ(slide.getMovieDuration(home + "/words.mov"), 0.0f);
}
