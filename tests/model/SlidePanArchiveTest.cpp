// A project's slides keep their look through a save and a reopen: customised pans exactly, the rest as
// the theme deals them; archives with and without the pan keys; readers that know only the older keys.
#include "ArchiveTestSupport.h"
#include "ModelTestEnvironment.h"

#include "platform/foundation/MainThread.h"
#include "support/ColourNear.h"
#include "support/ToneMaker.h"

#include <QColor>
#include <QImage>

using model_test::ModelTest;
using model_test::record;
using model_test::ScriptedRandom;

namespace {

// With every random value 6: a new slide has effect 2 and the look of case 6, (0, 0) -> (0.1, 0) zooming
// 1.2 -> 0.8; the "Dynamic" theme (PX = PY = 0.1, zooms 0.8 and 1.5) deals V(2), (0, 0) -> (0, 0.1), and
// an even zoom draw, 1.5 -> 0.8.
void everyDrawIsSix() {
    platform::RandomSource::setShared(std::make_shared<ScriptedRandom>(std::vector<std::uint32_t>(500, 6)));
}

const QPointF kInitPanEnd(0.1, 0.0);
const QPointF kDealtPanEnd(0.0, double(0.1f));

void expectDealtByDynamic(const SlideItem& slide, const char* what) {
    EXPECT_EQ(slide.panStartPoint(), QPointF(0, 0)) << what;
    EXPECT_EQ(slide.panEndPoint(), kDealtPanEnd) << what;
    EXPECT_DOUBLE_EQ(slide.zoomStart(), double(1.5f)) << what;
    EXPECT_DOUBLE_EQ(slide.zoomEnd(), double(0.8f)) << what;
}

QImage halves(const QColor& left, const QColor& right, const QSize& size = QSize(64, 32)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(left);
    for (int y = 0; y < size.height(); ++y)
        for (int x = size.width() / 2; x < size.width(); ++x)
            image.setPixelColor(x, y, right);
    return image;
}

bool near(const QColor& a, const QColor& b, int tolerance = 24) {
    return test_support::coloursNear(a, b, tolerance);
}

SlideItemRef pictureSlide(const SlideshowProjectRef& project, const QString& name, const QImage& picture) {
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->setFileName(name);
    EXPECT_TRUE(picture.save(project->strMacProjectBundleContentsPath() + "/" + name, "JPEG", 95));
    return slide;
}

SlideshowProjectRef loadArchived(const QString& folder, const platform::ArchivableRef& root) {
    QDir().mkpath(folder + "/Contents");
    EXPECT_TRUE(platform::KeyedArchiver::archiveRootObject(root, folder + "/SlideshowProject.dat"));
    QString error;
    auto project = SlideshowProject::loadBundleProject(folder, &error);
    EXPECT_TRUE(project) << error.toStdString();
    return project;
}

// A project archive with one slide record filled by `fill`, under the "Dynamic" theme.
SlideshowProjectRef loadOneSlide(const QString& folder,
                                 const std::function<void(model_test::RawRecord&)>& fill) {
    auto slide = record("SlideItem");
    fill(*slide);
    auto theme = record("SlideshowThemeManager");
    theme->int32("nThemeID", 3);
    auto root = record("SlideshowProject");
    root->child("themeManger", theme);
    root->object("slideshowArray", QVariantList{QVariant::fromValue(platform::ArchivableRef(slide))});
    auto project = loadArchived(folder, root);
    return project && project->slideCount() == 1 ? project : nullptr;
}

} // namespace

class SlidePanArchiveTest : public ModelTest {};

TEST_F(SlidePanArchiveTest, APhotoProjectWithASongAndAThemeReopensWithEverySlideIntact) {
    auto project = openNewProject("Holiday");
    ASSERT_TRUE(project);
    const QString contents = project->strMacProjectBundleContentsPath();
    project->themeManger()->setCurrentThemeID(3);

    auto custom = pictureSlide(project, "custom.jpg", halves(Qt::red, Qt::blue));
    custom->setBPanZoomCustomized(true);
    custom->setPanStartPoint(QPointF(0.25, -0.125));
    custom->setPanEndPoint(QPointF(-0.3333333333333333, 0.0625));
    custom->setZoomStart(1.75);
    custom->setZoomEnd(0.5);
    custom->setTransitionInfo(
        {{"category", "Blend"}, {"index", 1}, {"name", "Alpha Blend"}, {"image_name", "alpha_blend.png"}});
    QVariantMap text = custom->textInfo();
    text.insert("Text", "Lake");
    text.insert("FontColor", QColor(250, 200, 0));
    text.insert("FontAngle", 30);
    text.insert("FontPositionOffsetX", -20);
    custom->setTextInfo(text);

    auto turned = pictureSlide(project, "turned.jpg", halves(Qt::red, Qt::blue));
    turned->setRz(90);
    turned->setRotateAngle(SlideItem::kRotateZEnd, 45.0);
    ASSERT_TRUE(turned->rotateSlideItem(90));

    auto grey = pictureSlide(project, "grey.jpg", halves(QColor(200, 40, 40), QColor(40, 200, 40)));
    ASSERT_TRUE(grey->ApplyAdjustColor({{"Saturation", 0.0}}));
    grey->setTransitionInfo(
        {{"category", "Wipe"}, {"index", 7}, {"name", "Clock"}, {"image_name", "clock.png"}});
    project->setSlideshowArray({custom, turned, grey});

    const QString songFile = home + "/Music/tune.m4a";
    QDir().mkpath(home + "/Music");
    ASSERT_TRUE(ToneMaker::writeEncoded(songFile, "ipod", "aac", 440, 1.5, 0.5f, {{"title", "Tune"}}));
    auto song = platform::makeMainThreadShared<MusicItem>();
    song->addEntriesFromDictionary(SlideshowProjectManager::getMusicInfoDict(songFile));
    project->setMusicArray({song});
    ASSERT_TRUE(project->saveProjectToFile());

    everyDrawIsSix();
    QString error;
    auto loaded = SlideshowProject::loadBundleProject(project->strMacProjectBundleFullPath(), &error);
    ASSERT_TRUE(loaded) << error.toStdString();
    SlideshowProject::retainProject(loaded);
    ASSERT_EQ(loaded->slideCount(), 3u);
    EXPECT_EQ(loaded->themeManger()->currentThemeID(), 3);

    const auto again = loaded->slideItemAtIndex(0);
    EXPECT_TRUE(again->bPanZoomCustomized());
    EXPECT_EQ(again->panStartPoint(), QPointF(0.25, -0.125)) << "the customised pan is kept exactly";
    EXPECT_EQ(again->panEndPoint(), QPointF(-0.3333333333333333, 0.0625));
    EXPECT_DOUBLE_EQ(again->zoomStart(), 1.75);
    EXPECT_DOUBLE_EQ(again->zoomEnd(), 0.5);
    EXPECT_EQ(again->transitionInfo().value("name").toString(), "Alpha Blend");
    EXPECT_EQ(again->transitionInfo().value("index").toInt(), 1);
    EXPECT_EQ(again->textInfo().value("Text").toString(), "Lake");
    EXPECT_EQ(again->textInfo().value("FontColor").value<QColor>().name(), QColor(250, 200, 0).name());
    EXPECT_EQ(again->textInfo().value("FontAngle").toInt(), 30);
    EXPECT_EQ(again->textInfo().value("FontPositionOffsetX").toInt(), -20);

    const auto turnedAgain = loaded->slideItemAtIndex(1);
    expectDealtByDynamic(*turnedAgain, "a slide that is not customised is dealt by the theme");
    EXPECT_DOUBLE_EQ(turnedAgain->rz(), 90.0);
    EXPECT_DOUBLE_EQ(turnedAgain->rotateAngle(SlideItem::kRotateZEnd), 45.0);
    const QImage turnedPicture(turnedAgain->fileName());
    ASSERT_EQ(turnedPicture.size(), QSize(32, 64)) << "the picture file stays turned";
    EXPECT_TRUE(near(turnedPicture.pixelColor(16, 8), Qt::red)) << "the left half is on top";
    EXPECT_TRUE(near(turnedPicture.pixelColor(16, 56), Qt::blue));

    const auto greyAgain = loaded->slideItemAtIndex(2);
    expectDealtByDynamic(*greyAgain, "a second slide is dealt too");
    const QColor left = QImage(greyAgain->fileName()).pixelColor(8, 16);
    EXPECT_LE(std::abs(left.red() - left.green()) + std::abs(left.green() - left.blue()), 6) << "still grey";
    EXPECT_EQ(greyAgain->transitionInfo().value("name").toString(), "Clock");

    ASSERT_EQ(loaded->musicArray().size(), 1u);
    const auto songAgain = loaded->musicArray()[0];
    EXPECT_EQ(songAgain->strTitle(), "Tune");
    EXPECT_NEAR(songAgain->duration(), 1.5, 0.05);
    EXPECT_TRUE(QFileInfo(songAgain->strFilePath()).isFile());
    EXPECT_TRUE(songAgain->strFilePath().startsWith(contents + "/tune-"));
}

TEST_F(SlidePanArchiveTest, AnArchiveWithoutPanKeysLoadsAsBefore) {
    everyDrawIsSix();
    auto plain = loadOneSlide(home + "/plain.VistrelleProject",
                              [](auto& r) { r.real("zoomStart", 2.0f).real("zoomEnd", 1.0f); });
    ASSERT_TRUE(plain);
    expectDealtByDynamic(*plain->slideItemAtIndex(0), "dealt by the theme, stored zooms replaced");

    everyDrawIsSix();
    auto custom = loadOneSlide(home + "/custom.VistrelleProject", [](auto& r) {
        r.real("zoomStart", 2.0f)
            .real("zoomEnd", 1.0f)
            .boolean("bPanZoomCustomized", true)
            .int32("nSlideEffect", 1);
    });
    ASSERT_TRUE(custom);
    const auto slide = custom->slideItemAtIndex(0);
    EXPECT_EQ(slide->panStartPoint(), QPointF(0, 0)) << "the pan of init";
    EXPECT_EQ(slide->panEndPoint(), kInitPanEnd);
    EXPECT_DOUBLE_EQ(slide->zoomStart(), 2.0) << "with the stored zooms and effect";
    EXPECT_DOUBLE_EQ(slide->zoomEnd(), 1.0);
    EXPECT_EQ(slide->nSlideEffect(), 1);
}

TEST_F(SlidePanArchiveTest, ACustomisedSlideWithoutUsableZoomsShowsItsPictureWhole) {
    everyDrawIsSix();
    auto project = loadOneSlide(home + "/zoomless.VistrelleProject", [](auto& r) {
        r.boolean("bPanZoomCustomized", true).real("zoomEnd", -0.5f);
    });
    ASSERT_TRUE(project);
    EXPECT_DOUBLE_EQ(project->slideItemAtIndex(0)->zoomStart(), 1.0) << "missing";
    EXPECT_DOUBLE_EQ(project->slideItemAtIndex(0)->zoomEnd(), 1.0) << "not positive";
}

TEST_F(SlidePanArchiveTest, PanKeysAreReadAsIntegersOrRealsAndIgnoredOtherwise) {
    auto load = [&](const QString& name, const QVariant& start) {
        everyDrawIsSix();
        auto project = loadOneSlide(home + "/" + name + ".VistrelleProject", [&](auto& r) {
            r.boolean("bPanZoomCustomized", true)
                .object("panStartPoint", start)
                .object("panEndPoint", QVariantList{0.5, -0.5});
        });
        return project ? project->slideItemAtIndex(0)->panStartPoint() : QPointF(-99, -99);
    };
    EXPECT_EQ(load("integers", QVariantList{1, -2}), QPointF(1, -2));
    EXPECT_EQ(load("mixed", QVariantList{qint64(3), 0.75}), QPointF(3, 0.75));
    const QPointF init(0, 0);
    EXPECT_EQ(load("text", QVariantList{"0.5", "0.5"}), init);
    EXPECT_EQ(load("flags", QVariantList{true, false}), init);
    EXPECT_EQ(load("short", QVariantList{0.5}), init);
    EXPECT_EQ(load("long", QVariantList{0.5, 0.5, 0.5}), init);
    EXPECT_EQ(load("string", QString("{0.5, 0.5}")), init);
    EXPECT_EQ(load("dictionary", QVariantMap{{"x", 0.5}, {"y", 0.5}}), init);
    EXPECT_EQ(load("nested", QVariantList{QVariantList{0.5}, 0.5}), init);
    EXPECT_EQ(load("infinite", QVariantList{std::numeric_limits<double>::infinity(), 0.0}), init);
    const QVariant stranger = QVariant::fromValue(platform::ArchivableRef(record("Stranger")));
    EXPECT_EQ(load("stranger", QVariantList{stranger, 0.5}), init) << "an object of an unknown class";
    EXPECT_EQ(load("strangerAlone", stranger), init);

    everyDrawIsSix();
    auto project = loadOneSlide(home + "/end.VistrelleProject", [](auto& r) {
        r.boolean("bPanZoomCustomized", true).object("panEndPoint", QVariantList{0.5, -0.5});
    });
    ASSERT_TRUE(project);
    EXPECT_EQ(project->slideItemAtIndex(0)->panEndPoint(), QPointF(0.5, -0.5)) << "each key stands alone";
    EXPECT_EQ(project->slideItemAtIndex(0)->panStartPoint(), init);
}

TEST_F(SlidePanArchiveTest, AReaderOfTheOlderKeysReadsTheNewArchive) {
    auto slide = platform::makeMainThreadShared<SlideItem>();
    slide->setFileName("p.jpg");
    slide->setBPanZoomCustomized(true);
    slide->setPanStartPoint(QPointF(0.2, 0.3));
    slide->setZoomStart(1.25);
    slide->setNSlideEffect(2);
    slide->setTransitionInfo({{"name", "Cube"}});
    slide->customSetDurations(5.0f, 1.5f);
    auto root = platform::makeMainThreadShared<SlideshowProject>();
    root->setSlideshowArray({slide});
    const QByteArray data = platform::KeyedArchiver::archivedData(root);

    // The older reader asks only for its own keys, each with the type it expects.
    QVariantMap seen;
    platform::KeyedUnarchiver::registerClass("SlideItem", [&](platform::KeyedUnarchiver& coder) {
        seen.insert("fileName", coder.decodeString("fileName"));
        for (const char* key : {"zoomStart", "zoomEnd", "rx", "ry", "rz", "rotate_x_start", "rotate_z_end",
                                "fSecPhotoDuration", "fSecTransitionDuration"})
            seen.insert(key, coder.decodeFloat(key));
        seen.insert("nSlideEffect", coder.decodeInt32("nSlideEffect"));
        seen.insert("bPanZoomCustomized", coder.decodeBool("bPanZoomCustomized"));
        seen.insert("itemType", coder.decodeInt64("itemType"));
        seen.insert("transitionInfo", coder.decodeObject("transitionInfo"));
        seen.insert("textInfo", coder.decodeObject("textInfo"));
        return platform::ArchivableRef(platform::makeMainThreadShared<SlideItem>());
    });
    QString error;
    auto decoded = platform::KeyedUnarchiver::unarchiveObject(data, &error);
    model_test::restoreFactory("SlideItem");
    ASSERT_TRUE(decoded) << error.toStdString();
    EXPECT_EQ(seen.value("fileName").toString(), "p.jpg");
    EXPECT_FLOAT_EQ(seen.value("zoomStart").toFloat(), 1.25f);
    EXPECT_FLOAT_EQ(seen.value("fSecPhotoDuration").toFloat(), 5.0f);
    EXPECT_EQ(seen.value("nSlideEffect").toInt(), 2);
    EXPECT_TRUE(seen.value("bPanZoomCustomized").toBool());
    EXPECT_EQ(seen.value("itemType").toInt(), 1);
    EXPECT_EQ(seen.value("transitionInfo").toMap().value("name").toString(), "Cube");
    // The new keys hold plain arrays of numbers, which any reader of this archive format can decode.
    EXPECT_EQ(model_test::keysPresent(data, "SlideItem", {"panStartPoint", "panEndPoint"}),
              (QStringList{"panStartPoint", "panEndPoint"}));
}
