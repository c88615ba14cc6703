// The upload controller against the sign-in provider and the video service on a loopback server: the kept
// sign-in, the entry built from the share options, the movie handed over, the outcomes, cancel, sign-out and
// the choices that are not its own. The road from the share button through a real export is in
// VideoSiteUploadEndToEndTest.
#include "support/FilesBeingMade.h"
#include "support/VideoSiteUploadFixture.h"

#include "dvd/DVDNotifications.h"
#include "platform/foundation/UserDefaults.h"
#include "support/DSServiceDocuments.h"
#include "support/TestEnvironment.h"
#include "ui/UiNotifications.h"
#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/DSVideoSiteConstants.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <sys/stat.h>

using test_support::descriptorsOpenOn;

namespace {

const QString kSuccess = "Video file has been successfully uploaded to VideoSite.";

} // namespace

TEST_F(VideoSiteUploadTest, ProgressReadsInKilobytesUpToOneMebibyteAndInMegabytesAfter) {
    struct Case {
        quint64 delivered, total;
        const char* text;
        double bar;
    };
    const Case cases[] = {
        {1048576, 52428800, "2.00%\n1024.00 KB / 50.00 MB", 2.0},
        {1048577, 52428800, "2.00%\n1.00 MB / 50.00 MB", 2.0},
        {39321600, 52428800, "75.00%\n37.50 MB / 50.00 MB", 75.0},
        {0, 0, "0.00%\n0.00 KB / 0.00 MB", 0.0},
    };
    ExportProgressWindowController& shown = newProgressWindow();
    uploader->setProgressWnd(&shown);
    for (const Case& step : cases) {
        uploader->ticket(nullptr, step.delivered, step.total);
        EXPECT_EQ(shown.infoText(),
                  QString("Uploading video file to VideoSite now.please wait...\n") + step.text + "\n\n")
            << step.delivered;
        EXPECT_DOUBLE_EQ(shown.progressValue(), step.bar) << step.delivered;
    }
}

// A kept sign-in: no window, one refresh of the token, then the entry as the share options say.
TEST_F(VideoSiteUploadTest, AKeptSignInUploadsAtOnceAndTheEntryFollowsTheShareOptions) {
    storeSignIn();
    chooseVideoSite();
    EXPECT_EQ(signIns, 1);
    EXPECT_FALSE(signInWindow());
    EXPECT_TRUE(oauth.browser->opened.empty());
    EXPECT_EQ(project->strShareServceType(), "VideoSite");

    struct Case {
        QVariantMap options;
        QString title, description;
        QString listing;
        bool isPrivate;
    };
    const QString madeWith = "Video created with Vistrelle";
    const Case cases[] = {
        {{{"Title", "T"}, {"Description", "%s%n"}, {"Privacy", 0}}, "T", "%s%n", "allowed", false},
        {{{"Title", "T"}, {"Privacy", 1}}, "T", madeWith, "denied", false},
        {{{"Description", "D"}, {"Privacy", 2}}, madeWith, "D", "denied", true},
        {{}, madeWith, madeWith, "allowed", false},
    };
    const QString movie = writeMovie(120000);
    for (const Case& step : cases) {
        project->setShareOptionsDict(step.options);
        project->setShareOption("ServiceName", "VideoSite");
        fake->uploads().reset();
        ExportProgressWindowController& shown = newProgressWindow();
        continueUpload(shown, movie);
        EXPECT_EQ(shown.windowTitle(), "Uploading to VideoSite");
        EXPECT_TRUE(shown.progressBanner()->isVisible()) << "the banner is a generated resource";
        ASSERT_TRUE(waitForOutcome(shown));
        ASSERT_EQ(shown.infoText(), kSuccess) << qPrintable(step.title);
        EXPECT_EQ(shown.buttonTitle(), "OK");
        EXPECT_EQ(fake->uploads().received(), contents(movie));

        const auto entry = sentEntry();
        ASSERT_TRUE(entry && entry->mediaGroup());
        const auto group = entry->mediaGroup();
        EXPECT_EQ(group->mediaTitle()->stringValue(), step.title);
        EXPECT_EQ(group->mediaDescription()->stringValue(), step.description);
        EXPECT_EQ(group->isPrivate(), step.isPrivate) << qPrintable(step.listing);
        ASSERT_EQ(entry->accessControls().size(), 1);
        EXPECT_EQ(entry->accessControls()[0]->action(), "list");
        EXPECT_EQ(entry->accessControls()[0]->permission(), step.listing);
        ASSERT_EQ(group->mediaCategories().size(), 1);
        EXPECT_EQ(group->mediaCategories()[0]->stringValue(), "Entertainment");
        EXPECT_EQ(group->mediaCategories()[0]->scheme(),
                  DSVideoSiteConstants::categoryScheme("categories.cat"));
        EXPECT_EQ(group->mediaKeywords()->keywords().size(), 3);
    }
    const auto tokenRequests = server.requestsTo("/o/oauth2/token");
    ASSERT_EQ(tokenRequests.size(), 1u);
    EXPECT_TRUE(tokenRequests[0].body.contains("grant_type=refresh_token"));
    EXPECT_TRUE(dialogs.alerts.empty()) << qPrintable(dialogs.alertText());
}

// The path handed over is the movie; worked out again only when none is handed. A movie that cannot be
// read ends at once, and nothing reaches the service.
TEST_F(VideoSiteUploadTest, TheMovieHandedOverIsUploadedAndOneThatCannotBeReadEndsAtOnce) {
    storeSignIn();
    chooseVideoSite();
    const QString encoded = project->strEncodingVideoFilePath(SlideshowProject::sizeVideoOutput());
    const QString empty = dir.file("empty.mp4");
    model_test::writeFile(empty, QByteArray());
    const QString pipe = dir.file("pipe.mp4");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    struct Case {
        QString handed;
        QString outcome; // the start of the window's last text
    };
    const Case cases[] = {
        {dir.file("missing.mp4"), "The movie " + dir.file("missing.mp4") + " could not be opened"},
        {empty, "The movie " + empty + " is empty."},
        {pipe, "The movie " + pipe + " is not a file."},
        {QString(), kSuccess},
    };
    const QString movie = writeMovie(50000);
    ASSERT_TRUE(QFile::copy(movie, encoded)) << qPrintable(encoded);
    for (const Case& step : cases) {
        server.clearLog();
        ExportProgressWindowController& shown = newProgressWindow();
        continueUpload(shown, step.handed);
        const QString opened = step.handed.isNull() ? encoded : step.handed;
        ASSERT_TRUE(waitForOutcome(shown));
        EXPECT_TRUE(shown.infoText().startsWith(step.outcome)) << qPrintable(shown.infoText());
        const bool uploaded = step.outcome == kSuccess;
        EXPECT_EQ(shown.buttonTitle(), uploaded ? "OK" : "Close");
        EXPECT_EQ(server.requestsTo(fake->uploadURL().path()).size(), uploaded ? 1u : 0u);
        EXPECT_EQ(descriptorsOpenOn(opened), 0) << qPrintable(opened);
    }
    EXPECT_EQ(fake->uploads().received(), contents(movie));
}

// The movie is sent only as the export left it: written into since by another program, or put in its place
// by one, it is not sent, and the window says why.
TEST_F(VideoSiteUploadTest, AMovieAnotherProgramChangedOrReplacedIsNotSent) {
    storeSignIn();
    chooseVideoSite();
    const struct {
        const char* what;
        std::function<void(const QString& movie)> meddle;
    } cases[] = {
        {"written into", [](const QString& movie) { EXPECT_TRUE(test_support::writeIntoInPlace(movie)); }},
        {"replaced", [this](const QString& movie) {
             EXPECT_TRUE(QFile::remove(movie));
             writeMovie(40000, QFileInfo(movie).fileName());
         }}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString movie = writeMovie(50000);
        const std::optional<platform::FileIdentity> left = platform::FileIdentity::ofPath(movie);
        c.meddle(movie);
        ExportProgressWindowController& shown = newProgressWindow();
        continueUpload(shown, movie, left);
        ASSERT_TRUE(waitForOutcome(shown));
        EXPECT_EQ(shown.infoText(),
                  "The movie " + movie +
                      " was not sent: it is no longer the movie this export wrote, as another "
                      "program has replaced or changed it. Export the movie again.");
        EXPECT_EQ(shown.buttonTitle(), "Close");
        EXPECT_EQ(server.requestsTo(fake->uploadURL().path()).size(), 0u);
    }
}

// Another program writes into the movie while it is being sent: found as the upload resumes after a cut
// connection, or once the service has answered the last chunk, the upload fails saying that it is not the
// exported movie, and the window never tells of a success.
TEST_F(VideoSiteUploadTest, AMovieChangedWhileItIsSentFailsTheUpload) {
    using Kind = test_support::ResumableUploadRoutes::Kind;
    const struct {
        const char* when;
        int chunk;     // the chunk during which the movie is written into
        bool cutThere; // its connection is cut, so that the upload resumes
    } cases[] = {{"before a resume", 1, true}, {"after the last chunk", 2, false}};
    storeSignIn();
    chooseVideoSite();
    uploader->videoSiteService()->setServiceUploadChunkSize(100000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.when);
        fake->uploads().reset();
        const QString movie = writeMovie(250000);
        const int chunk = c.chunk;
        const bool cut = c.cutThere;
        fake->uploads().setOverride(
            [movie, chunk, cut](const test_support::ServerRequest&,
                                const auto& step) -> std::optional<test_support::ServerResponse> {
                if (step.kind != Kind::Chunk || step.index != chunk)
                    return std::nullopt;
                EXPECT_TRUE(test_support::writeIntoInPlace(movie));
                return cut ? std::optional(test_support::ServerResponse::closeAfterRequest()) : std::nullopt;
            });
        ExportProgressWindowController& shown = newProgressWindow();
        continueUpload(shown, movie);
        ASSERT_TRUE(uploader->uploadTicket());
        uploader->uploadTicket()->objectFetcher()->setMinRetryInterval(0.05);
        ASSERT_TRUE(waitForOutcome(shown));
        EXPECT_EQ(shown.infoText(), VideoSiteUploaderObject::movieChangedText(movie));
        EXPECT_EQ(shown.buttonTitle(), "Close");
    }
}

// The server's words are shown as they stand (no format, no markup), whether it refused the upload's first
// request or one of its chunks.
TEST_F(VideoSiteUploadTest, AnErrorDocumentEndsWithItsSummaryShownAsItStands) {
    storeSignIn();
    chooseVideoSite();
    const QString hostile = QString(R"(<?xml version='1.0' encoding='UTF-8'?>
<errors xmlns='%1'><error><domain>VideoSite</domain><code>x</code>
<internalReason>%s%n &lt;b&gt;1&lt;/b&gt;</internalReason></error></errors>)")
                                .arg(DSNamespaceDS());
    const QString summary = R"(VideoSite error invalid_value: "Title is too long")";
    struct Case {
        QByteArray document;
        QString outcome;
        bool onChunk;
    };
    const Case cases[] = {
        {ds_documents::errorDocument(), summary, true},
        {ds_documents::errorDocument(), summary, false},
        {hostile.toUtf8(), R"(VideoSite error x: "%s%n <b>1</b>")", false},
    };
    const QString movie = writeMovie(20000);
    for (const Case& c : cases) {
        const auto refusal =
            test_support::ServerResponse::text(400, c.document, ds_documents::kErrorDocumentContentType);
        if (c.onChunk)
            fake->uploads().setOverride([refusal](const test_support::ServerRequest&, const auto& step) {
                return step.kind == test_support::ResumableUploadRoutes::Kind::Chunk ? std::optional(refusal)
                                                                                     : std::nullopt;
            });
        else
            server.route(fake->uploadURL().path(),
                         [refusal](const test_support::ServerRequest&) { return refusal; });
        ExportProgressWindowController& shown = newProgressWindow();
        continueUpload(shown, movie);
        ASSERT_TRUE(waitForOutcome(shown));
        EXPECT_EQ(shown.infoText(), c.outcome) << c.onChunk;
        EXPECT_EQ(shown.buttonTitle(), "Close");
        EXPECT_EQ(shown.findChild<QLabel*>("myField1")->textFormat(), Qt::PlainText);
        EXPECT_FALSE(shown.isProgressBarShown());
    }
}

// Cancel stops the upload at once and tells nothing; the same notification after an outcome changes nothing.
TEST_F(VideoSiteUploadTest, CancelDuringTheSecondChunkStopsAtOnceAndAfterTheOutcomeDoesNothing) {
    signedInWithSecondChunkHeld();
    const QString movie = writeMovie(250000);
    ExportProgressWindowController& shown = newProgressWindow();
    continueUpload(shown, movie);
    ASSERT_TRUE(uploader->uploadTicket());
    uploader->uploadTicket()->objectFetcher()->setMinRetryInterval(0.05);
    ASSERT_TRUE(test_support::spinUntil([&] { return server.heldCount() == 1; }));
    ASSERT_TRUE(test_support::spinUntil([&] { return shown.infoText().contains("KB / "); }));
    const QString during = shown.infoText();
    EXPECT_EQ(descriptorsOpenOn(movie), 1);
    const int heldConnection = server.requestsTo(fake->uploads().sessionUrl(true).path()).back().connection;
    shown.findChild<QPushButton*>("buttonCancel")->click();
    EXPECT_FALSE(uploader->uploadTicket());
    EXPECT_EQ(descriptorsOpenOn(movie), 0);
    server.releaseHeld();
    EXPECT_TRUE(test_support::spinUntil([&] { return server.closedByClient(heldConnection); }));
    test_support::spinFor(300); // past a retry's delay
    EXPECT_EQ(shown.infoText(), during);
    EXPECT_EQ(fake->uploads().contentRanges(),
              (QList<QByteArray>{"bytes 0-99999/250000", "bytes 100000-199999/250000"}));

    fake->uploads().reset();
    ExportProgressWindowController& next = newProgressWindow();
    continueUpload(next, movie);
    ASSERT_TRUE(waitForOutcome(next));
    ASSERT_EQ(next.infoText(), kSuccess);
    post(kNotifyCancelEncodingVideo);
    EXPECT_EQ(next.infoText(), kSuccess);
    EXPECT_EQ(next.buttonTitle(), "OK");
}

// The connection dies under the second chunk after the service took part of it: the upload asks how much the
// service holds and sends only the rest, so the movie is stored exactly once.
TEST_F(VideoSiteUploadTest, AChunkCutWithItsConnectionResumesAndTheMovieIsStoredOnce) {
    storeSignIn();
    chooseVideoSite();
    uploader->videoSiteService()->setServiceUploadChunkSize(100000);
    fake->cutChunk(1, 40000);
    const QString movie = writeMovie(250000);
    ExportProgressWindowController& shown = newProgressWindow();
    continueUpload(shown, movie);
    ASSERT_TRUE(uploader->uploadTicket());
    uploader->uploadTicket()->objectFetcher()->setMinRetryInterval(0.05);
    ASSERT_TRUE(waitForOutcome(shown));
    EXPECT_EQ(shown.infoText(), kSuccess);
    EXPECT_EQ(fake->uploads().received(), contents(movie));
    EXPECT_EQ(fake->uploads().contentRanges(),
              (QList<QByteArray>{"bytes 0-99999/250000", "bytes 100000-199999/250000", "bytes */250000",
                                 "bytes 140000-239999/250000", "bytes 240000-249999/250000"}));
}

// A stopped upload goes on at the location the service named, after asking how much it holds.
TEST_F(VideoSiteUploadTest, AStoppedUploadRestartsAtItsLastLocation) {
    signedInWithSecondChunkHeld();
    const QString movie = writeMovie(250000);
    ExportProgressWindowController& shown = newProgressWindow();
    uploader->restartUpload(); // nothing stopped yet: nothing happens
    EXPECT_FALSE(uploader->uploadTicket());
    continueUpload(shown, movie);
    ASSERT_TRUE(test_support::spinUntil([&] { return server.heldCount() == 1; }));
    post(kNotifyCancelEncodingVideo);
    EXPECT_EQ(uploader->uploadLocationURL(), fake->uploads().sessionUrl(true));
    fake->uploads().setOverride(nullptr);
    server.releaseHeld();

    uploader->restartUpload();
    ASSERT_TRUE(waitForOutcome(shown));
    EXPECT_EQ(shown.infoText(), kSuccess);
    EXPECT_EQ(fake->uploads().received(), contents(movie));
    EXPECT_EQ(fake->uploads().contentRanges().value(2), "bytes */250000");
}

// A refresh token the provider refuses is forgotten: the next share signs in again.
TEST_F(VideoSiteUploadTest, ARefusedTokenEndsTheUploadAndIsForgotten) {
    storeSignIn("1/refused");
    chooseVideoSite();
    ASSERT_EQ(signIns, 1);
    ExportProgressWindowController& shown = newProgressWindow();
    continueUpload(shown, writeMovie(20000));
    ASSERT_TRUE(waitForOutcome(shown));
    EXPECT_EQ(
        shown.infoText(),
        "The sign-in has expired or was withdrawn (invalid_grant). The next upload will ask you to sign "
        "in again.");
    EXPECT_TRUE(server.requestsTo(fake->uploadURL().path()).empty());
    QByteArray kept;
    EXPECT_EQ(oauth.keychain->findGenericPassword("Corvanta", "OAuth", &kept),
              platform::keychain::Status::ItemNotFound);

    chooseVideoSite();
    EXPECT_TRUE(signInWindow());
    EXPECT_EQ(signIns, 1);
}

TEST_F(VideoSiteUploadTest, ARefusedSignInAlertsAndNeverOpensTheMovieSettings) {
    chooseVideoSite();
    QDialog* signIn = signInWindow();
    ASSERT_TRUE(signIn);
    signIn->findChild<QLineEdit*>("codeField")->setText("error=access_denied");
    signIn->findChild<QPushButton*>("signInButton")->click();
    ASSERT_TRUE(test_support::spinUntil([&] { return !dialogs.alerts.empty(); }));
    EXPECT_EQ(dialogs.alerts[0].title, "Sign In Failed");
    EXPECT_EQ(dialogs.alerts[0].message, "Access was not granted at the sign-in (access_denied).");
    test_support::spinFor(100);
    EXPECT_EQ(signIns, 0);
    EXPECT_FALSE(dialogs.modalWindows.contains("MovieSettingsWnd"));
}

TEST_F(VideoSiteUploadTest, SignOutForgetsTheKeptSignInAndTheNextShareOpensTheWindow) {
    storeSignIn();
    const QString preference = NetOAuth2WindowController::prefsKeyForName("Corvanta");
    ASSERT_TRUE(platform::UserDefaults::standard().boolean(preference));
    post(kNotifySignoutVideoSite);
    QByteArray kept;
    EXPECT_EQ(oauth.keychain->findGenericPassword("Corvanta", "OAuth", &kept),
              platform::keychain::Status::ItemNotFound);
    EXPECT_FALSE(platform::UserDefaults::standard().contains(preference));
    chooseVideoSite();
    EXPECT_TRUE(signInWindow());
    EXPECT_EQ(oauth.browser->opened.size(), 1u);
    EXPECT_EQ(signIns, 0);
}

TEST_F(VideoSiteUploadTest, OtherChoicesAndOtherServicesLeaveTheUploaderAlone) {
    storeSignIn();
    for (int choice : {0, 2, 3})
        post(kNotifyShareOptionButtonClick, choice);
    EXPECT_EQ(oauth.keychain->finds, 0);
    EXPECT_FALSE(signInWindow());

    for (const char* service : {"SocialSite", "PhotoLibrary"}) {
        project->setShareOption("ServiceName", service);
        ExportProgressWindowController& shown = newProgressWindow();
        shown.setTitle("Export Movie");
        continueUpload(shown, writeMovie(1000));
        test_support::spinFor(50);
        EXPECT_EQ(shown.windowTitle(), "Export Movie") << service;
        EXPECT_FALSE(uploader->uploadTicket()) << service;
    }
    EXPECT_TRUE(server.requests().empty());
}

// The service's category list, which nothing in the window asks for yet, fills a pop-up given to it; a
// failed fetch or a document that does not parse leaves it as it was.
TEST_F(VideoSiteUploadTest, TheCategoryListFillsThePopUpWithAssignableCategoriesOnly) {
    const QByteArray document = QString(R"(<?xml version='1.0' encoding='UTF-8'?>
<app:categories xmlns:app='http://www.w3.org/2007/app' xmlns:atom='http://www.w3.org/2005/Atom'
    xmlns:vs='%1'>
  <atom:category term='Film' label='Film &amp; Animation'><vs:assignable/></atom:category>
  <atom:category term='Music'><vs:assignable/></atom:category>
  <atom:category term='Movies' label='Movies'><vs:deprecated/></atom:category>
</app:categories>)")
                                    .arg(DSNamespaceVideoSite())
                                    .toUtf8();
    for (const auto& [path, body] : {std::pair<QString, QByteArray>{"/cat/broken.cat", "<app:categories"},
                                     std::pair<QString, QByteArray>{"/cat/categories.cat", document}})
        server.route(path, [body](const test_support::ServerRequest&) {
            return test_support::ServerResponse::text(200, body, "application/atomcat+xml");
        });
    auto& center = platform::NotificationCenter::defaultCenter();
    int stopped = 0;
    const platform::ObserverHandle stops{
        center, center.addObserver(kNetHTTPFetcherStoppedNotification, [&](const auto&) { ++stopped; })};
    QComboBox popup;
    popup.addItem("Entertainment", "Entertainment");
    uploader->setCategoryPopup(&popup);
    for (const auto& [path, count] : {std::pair{"/cat/missing.cat", 1}, std::pair{"/cat/broken.cat", 1},
                                      std::pair{"/cat/categories.cat", 2}}) {
        const int before = stopped;
        uploader->fetchStandardCategories(server.secureUrl(path));
        ASSERT_TRUE(test_support::spinUntil([&] { return stopped > before; })) << path;
        ASSERT_EQ(popup.count(), count) << path;
    }
    EXPECT_EQ(popup.itemText(0), "Film & Animation");
    EXPECT_EQ(popup.itemData(0).toString(), "Film");
    EXPECT_EQ(popup.itemText(1), "Music");
}
