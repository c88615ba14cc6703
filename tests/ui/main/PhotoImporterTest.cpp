#include "ui/main/PhotoImporter.h"
#include "model/ModelTestEnvironment.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Scheduler.h"
#include "support/RecordingDialogs.h"
#include "ui/UiNotifications.h"
#include "ui/main/PhotoResizeWorker.h"
#include "ui/main/SlideshowMainObject.h"

#include <QImage>

using platform::NotificationCenter;

namespace {

QStringList baseNames(const QStringList& paths) {
    QStringList names;
    for (const QString& path : paths)
        names << QFileInfo(path).completeBaseName();
    return names;
}

QStringList originals(const std::vector<SlideItemRef>& slides) {
    QStringList paths;
    for (const auto& slide : slides)
        paths << slide->strOriginalFileName();
    return baseNames(paths);
}

QStringList queued(const PhotoResizeWorker& worker) {
    QStringList paths;
    for (const PhotoWorkItem& item : worker.queueSnapshot())
        paths << item.path;
    return baseNames(paths);
}

} // namespace

// The importer works on the project its source gives, with no project open: the window is a bare hub.
class PhotoImporterTest : public model_test::ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        handed = SlideshowProject::createNewBundleProject(QStringLiteral("Handed"));
        ASSERT_TRUE(handed);
        ASSERT_FALSE(SlideshowProject::currentMainProject());
        hub = std::make_unique<SlideshowMainObject>(dialogs, scheduler);
        importer = std::make_unique<PhotoImporter>(*hub, *scheduler, hub->outlets(),
                                                   [project = handed] { return project; });
    }
    void TearDown() override {
        importer.reset();
        hub.reset();
        handed.reset();
        ModelTest::TearDown();
    }

    QString writePhoto(const QString& name) const {
        QImage picture(QSize(48, 36), QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QString path = dir.file(name);
        EXPECT_TRUE(picture.save(path, "JPEG"));
        return path;
    }
    QString writeBrokenPhoto(const QString& name) const {
        const QString path = dir.file(name);
        model_test::writeFile(path, "not a picture at all");
        return path;
    }
    bool waitForRequests() {
        return test_support::spinUntil([&] { return importer->isIdle(); });
    }

    RecordingDialogs dialogs;
    std::shared_ptr<platform::ManualScheduler> scheduler = std::make_shared<platform::ManualScheduler>();
    SlideshowProjectRef handed;
    std::unique_ptr<SlideshowMainObject> hub;
    std::unique_ptr<PhotoImporter> importer;
};

TEST_F(PhotoImporterTest, SlidesEnterTheHandedProjectInOrderAndQueueForTheWorker) {
    importer->resizeWorker().stop(); // the worker's queue stands still
    importer->appendImages({writePhoto("a.jpg"), writePhoto("b.jpg")}, 0);
    ASSERT_TRUE(waitForRequests());
    EXPECT_EQ(originals(handed->slideshowArray()), (QStringList{"a", "b"}));
    EXPECT_TRUE(handed->bIsDirty());
    EXPECT_EQ(hub->nCurrentSlideshowItemIndex(), 0) << "the first new slide is current";
    EXPECT_EQ(queued(importer->resizeWorker()), (QStringList{"a", "b"}));

    importer->addImage(writePhoto("c.jpg"), 1);
    EXPECT_EQ(originals(handed->slideshowArray()), (QStringList{"a", "c", "b"})) << "at once";
    EXPECT_EQ(queued(importer->resizeWorker()), (QStringList{"c", "a", "b"})) << "an inserted photo first";

    importer->addImages({writePhoto("d.jpg"), writePhoto("e.jpg")}, 1);
    ASSERT_TRUE(waitForRequests());
    EXPECT_EQ(originals(handed->slideshowArray()), (QStringList{"a", "d", "e", "c", "b"}));
    EXPECT_EQ(hub->nCurrentSlideshowItemIndex(), 1);
    importer->addImages({writePhoto("f.jpg")}, 99);
    ASSERT_TRUE(waitForRequests());
    EXPECT_EQ(originals(handed->slideshowArray()).last(), "f") << "a slot past the end is the end";
}

TEST_F(PhotoImporterTest, PhotosTheWorkerCannotReadLeaveTheHandedProjectAndAreReported) {
    std::vector<platform::Notification> reports;
    auto& center = NotificationCenter::defaultCenter();
    platform::ObserverHandle observer(
        center, center.addObserver(kNotifyAddPhotoFailed,
                                   [&](const platform::Notification& n) { reports.push_back(n); }));
    importer->appendImages({writeBrokenPhoto("x.jpg"), writeBrokenPhoto("y.jpg")}, 0);
    ASSERT_TRUE(waitForRequests());
    // Each failure and the worker's running dry are posted to the main thread; the report waits 1.2 s.
    ASSERT_TRUE(test_support::spinUntil([&] {
        scheduler->advance(0.2);
        return !reports.empty();
    }));
    EXPECT_EQ(handed->slideCount(), 0u);
    ASSERT_EQ(reports.size(), 1u);
    QStringList reported;
    for (const QVariant& entry : reports[0].object.toList())
        reported << entry.toMap().value("SLIDE_IMAGE_FILENAME").toString();
    EXPECT_EQ(baseNames(reported), (QStringList{"x", "y"}));
}
