// The upload road from the share choice to the finished upload: the sign-in window, the movie settings, the
// real export of a 3-slide project, and the upload in the export's own progress window while it runs
// modally; then a large movie in three chunks, one of them refused once.
#include "support/VideoSiteUploadFixture.h"

#include "support/Screenshot.h"
#include "ui/controls/AWAttachedWindow.h"
#include "ui/editing/MovieSettingsWndController.h"
#include "ui/editing/ShareOptionsViewController.h"
#include "webservice/DSVideoSiteConstants.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QUrlQuery>

class VideoSiteUploadEndToEndTest : public VideoSiteUploadTest {
protected:
    // Answers the movie settings: title "T", description "D", the smallest size, private.
    void answerSettings() {
        dialogs.modalWindowScript = [](QDialog& shown) {
            auto* settings = qobject_cast<MovieSettingsWndController*>(&shown);
            if (!settings)
                return;
            shown.findChild<QLineEdit*>("titleTextField")->setText("T");
            shown.findChild<QPlainTextEdit*>("descriptionTextField")->setPlainText("D");
            settings->videoSizePopup()->setCurrentIndex(0);
            shown.findChild<QComboBox*>("privacyPopup")->setCurrentIndex(2);
            settings->OKButtonClicked();
        };
    }
    // Runs the window modally, as the share hub does, until the user presses its button after the outcome.
    int runUntilOutcome(ExportProgressWindowController& shown, const QString& screenshotName) {
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (shown.buttonTitle() == "Cancel")
                return;
            poll.stop();
            screenshot::save(shown, screenshotName);
            shown.findChild<QPushButton*>("buttonCancel")->click();
        });
        poll.start();
        QTimer::singleShot(120000, &shown, [&] { shown.cancelButtonClicked(); }); // a stuck upload fails
        return shown.runModal();
    }
};

TEST_F(VideoSiteUploadEndToEndTest, TheFirstShareSignsInExportsAndUploadsAndTheNextStartNeedsNoSignIn) {
    if (const QString why = useRealPlayer(); !why.isEmpty())
        GTEST_SKIP() << qPrintable(why);
    for (const SlideItemRef& slide :
         useColourSlides({QColor(220, 40, 40), QColor(40, 200, 60), QColor(50, 70, 230)}))
        slide->customSetDurations(0.3f, 0.2f);
    project->calcSlideItemsPhotoTransitionDuration();
    answerSettings();
    window->show();

    // No kept sign-in: the video site chosen in the share call-out opens the sign-in window over the main
    // window and the provider's page in the browser.
    controller->shareButtonClicked();
    ASSERT_TRUE(controller->attachedWindow());
    qobject_cast<ShareOptionsViewController*>(controller->attachedWindow()->view())->button(1)->click();
    QDialog* signIn = signInWindow();
    ASSERT_TRUE(signIn);
    EXPECT_EQ(signIn->parentWidget(), window.get());
    screenshot::saveWithChildWindows(*window, "upload-sign-in-over-main-window");
    ASSERT_EQ(oauth.browser->opened.size(), 1u);
    const QUrl page = oauth.browser->opened[0];
    const QUrlQuery query(page);
    EXPECT_EQ(page.path(), "/o/oauth2/auth");
    EXPECT_EQ(query.queryItemValue("client_id"), VideoSiteUploaderObject::kClientID);
    EXPECT_TRUE(
        query.queryItemValue("scope", QUrl::FullyDecoded).split(' ').contains(fake->baseURL() + "/feeds/"))
        << qPrintable(page.toString());
    EXPECT_EQ(query.queryItemValue("redirect_uri", QUrl::FullyDecoded), "urn:ietf:wg:oauth:2.0:oob");
    EXPECT_EQ(query.queryItemValue("response_type"), "code");

    // The code pasted, "Stay signed in" left on: kept, then the movie settings and the export.
    ASSERT_TRUE(signIn->findChild<QCheckBox*>("keychainCheckbox_")->isChecked());
    signIn->findChild<QLineEdit*>("codeField")->setText(test_support::FakeOAuth2Provider::kCode);
    signIn->findChild<QPushButton*>("signInButton")->click();
    ASSERT_TRUE(test_support::spinUntil([&] { return dialogs.modalWindows.contains("MovieSettingsWnd"); }))
        << qPrintable(dialogs.alertText());
    QByteArray kept;
    ASSERT_EQ(oauth.keychain->findGenericPassword("Corvanta", "OAuth", &kept),
              platform::keychain::Status::Success);
    EXPECT_TRUE(kept.contains("refresh_token=1%2Fxyz")) << kept.constData();
    scheduler->advance(0.0);
    ASSERT_TRUE(test_support::spinUntil([&] { return !controller->isExportRunning(); }, 120000));
    scheduler->advance(0.0); // the hand-off to the upload
    ExportProgressWindowController* shown = controller->exportProgressWC();
    ASSERT_TRUE(shown);
    ASSERT_EQ(shown->windowTitle(), "Uploading to VideoSite") << qPrintable(dialogs.alertText());

    // The upload goes on and ends while the window runs modally.
    EXPECT_EQ(runUntilOutcome(*shown, "upload-finished"), QDialog::Accepted);
    EXPECT_EQ(shown->infoText(), "Video file has been successfully uploaded to VideoSite.");
    EXPECT_EQ(shown->buttonTitle(), "OK");
    const QString movie = project->strEncodingVideoFilePath(SlideshowProject::sizeVideoOutput());
    EXPECT_GT(contents(movie).size(), 1000);
    EXPECT_EQ(fake->uploads().received(), contents(movie));
    const auto entry = sentEntry();
    ASSERT_TRUE(entry && entry->mediaGroup());
    EXPECT_EQ(entry->mediaGroup()->mediaTitle()->stringValue(), "T");
    EXPECT_EQ(entry->mediaGroup()->mediaDescription()->stringValue(), "D");
    EXPECT_TRUE(entry->mediaGroup()->isPrivate());
    ASSERT_EQ(entry->accessControls().size(), 1);
    EXPECT_EQ(entry->accessControls()[0]->permission(), "denied");
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());

    // The next start: the kept sign-in, one refresh, no window.
    makeUploader();
    server.clearLog();
    fake->uploads().reset();
    const int signInsBefore = signIns;
    dialogs.modalWindowScript = nullptr;
    chooseVideoSite();
    EXPECT_EQ(signIns, signInsBefore + 1);
    EXPECT_FALSE(signInWindow());
    ExportProgressWindowController& next = newProgressWindow();
    continueUpload(next, movie);
    ASSERT_TRUE(waitForOutcome(next));
    EXPECT_EQ(next.infoText(), "Video file has been successfully uploaded to VideoSite.");
    const auto tokens = server.requestsTo("/o/oauth2/token");
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_TRUE(tokens[0].body.contains("grant_type=refresh_token"));
}

// 60,000,000 bytes go in chunks of 26,214,400; the second is refused once, and the upload asks the service
// how much it holds and sends it again.
TEST_F(VideoSiteUploadEndToEndTest, ALargeMovieGoesInThreeChunksAndResumesAfterARefusedOne) {
    storeSignIn();
    chooseVideoSite();
    fake->failChunkWith503(1);
    const QString movie = writeMovie(60000000);
    ExportProgressWindowController& shown = newProgressWindow();
    continueUpload(shown, movie);
    ASSERT_TRUE(uploader->uploadTicket());
    uploader->uploadTicket()->objectFetcher()->setMinRetryInterval(0.05);
    ASSERT_TRUE(test_support::spinUntil([&] { return shown.infoText().contains(" MB / "); }, 60000));
    screenshot::save(shown, "upload-progress");
    ASSERT_TRUE(waitForOutcome(shown, 120000));
    EXPECT_EQ(shown.infoText(), "Video file has been successfully uploaded to VideoSite.");
    EXPECT_EQ(fake->uploads().contentRanges(),
              (QList<QByteArray>{"bytes 0-26214399/60000000", "bytes 26214400-52428799/60000000",
                                 "bytes */60000000", "bytes 26214400-52428799/60000000",
                                 "bytes 52428800-59999999/60000000"}));
    EXPECT_TRUE(fake->uploads().received() == contents(movie));
}
