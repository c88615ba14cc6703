#pragma once

// Ground of the upload controller's tests: the main window controller and its window, the uploader made
// after it as the application makes it, the sign-in provider and the video service on one loopback server
// over TLS, the keychain in a private folder, a browser that only records, and the real sign-in window.

#include "support/FakeOAuth2Provider.h"
#include "support/FakeVideoService.h"
#include "support/MainWindowFixture.h"
#include "support/NetTestEnvironment.h"
#include "support/OAuth2TestFakes.h"

#include "platform/foundation/FileIdentity.h"

#include "ui/UiNotifications.h"
#include "ui/editing/ExportProgressWindowController.h"
#include "ui/upload/NetOAuth2SignInWindow.h"
#include "ui/upload/VideoSiteUploaderObject.h"
#include "webservice/DSEntryVideoSiteUpload.h"
#include "webservice/DSServiceProviderVideoSite.h"
#include "webservice/oauth2/NetOAuth2SignIn.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

class VideoSiteUploadTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        makeController(true);
        // After the model's own defaults: the service addresses are read from the provider's file.
        provider = std::make_unique<test_support::FakeOAuth2Provider>(server);
        fake = std::make_unique<test_support::FakeVideoService>(server, provider->defaultsPath());
        NetOAuth2SignInWindow::install();
        window->resize(900, 600);
        makeUploader();
        auto& center = platform::NotificationCenter::defaultCenter();
        signInSuccess = {center, center.addObserver(kNotifyUploadSigninSuccess,
                                                    [this](const platform::Notification&) { ++signIns; })};
    }
    void TearDown() override {
        signInSuccess.reset();
        uploader.reset();
        progress.reset();
        fake.reset();
        provider.reset();
        MainWindowTest::TearDown();
    }

    // A new uploader, as at the next start of the application.
    void makeUploader() {
        uploader.reset();
        uploader = makeWindowUploader();
    }
    // A kept sign-in with this refresh token, as "Stay signed in" leaves it.
    void storeSignIn(const QString& refreshToken = test_support::FakeOAuth2Provider::kRefreshToken) {
        const auto auth = NetOAuth2SignIn::standardProviderAuthenticationForScope(
            DSServiceProviderVideoSite::create()->authorizationScope(), VideoSiteUploaderObject::kClientID,
            VideoSiteUploaderObject::kClientSecret);
        auth->setRefreshToken(refreshToken);
        ASSERT_TRUE(NetOAuth2WindowController::saveAuthToKeychainForName("Corvanta", *auth));
    }
    // Signed in, chunks of 100,000 bytes, and the second chunk held by the service until the test lets it go
    // with a 503.
    void signedInWithSecondChunkHeld() {
        storeSignIn();
        chooseVideoSite();
        uploader->videoSiteService()->setServiceUploadChunkSize(100000);
        fake->uploads().setOverride([](const test_support::ServerRequest&, const auto& step) {
            using Kind = test_support::ResumableUploadRoutes::Kind;
            using test_support::ServerResponse;
            return step.kind == Kind::Chunk && step.index == 1
                       ? std::optional(ServerResponse::hold(ServerResponse::text(503, "")))
                       : std::nullopt;
        });
    }
    static void post(const QString& name, const QVariant& object = QVariant(), const QVariantMap& info = {}) {
        platform::NotificationCenter::defaultCenter().post(name, object, info);
    }
    // The video site chosen in the share call-out.
    void chooseVideoSite() { post(kNotifyShareOptionButtonClick, 1); }
    // The sign-in window over the main window, when it is open.
    QDialog* signInWindow() const {
        auto* found = window->findChild<QDialog*>("NetOAuth2Window");
        return found && found->isVisible() ? found : nullptr;
    }
    // A movie of `size` bytes that differ from their neighbours, last written long ago (so that a write now
    // tells from it whatever the clock's grain).
    QString writeMovie(qint64 size, const QString& name = "movie.mp4") const {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            bytes[i] = char((i * 37 + i / 251) & 0xFF);
        const QString path = dir.file(name);
        model_test::writeFile(path, bytes);
        QFile written(path);
        EXPECT_TRUE(written.open(QIODevice::ReadWrite) &&
                    written.setFileTime(QDateTime(QDate(2020, 1, 1), QTime(12, 0)),
                                        QFileDevice::FileModificationTime));
        return path;
    }
    // A new progress window, as the share hub makes one for each export, shown without a modal session.
    ExportProgressWindowController& newProgressWindow() {
        progress = std::make_unique<ExportProgressWindowController>(projectSource(), window.get());
        progress->show();
        return *progress;
    }
    // The hand-off after an export, as the share hub posts it: the export left the movie as `written` says,
    // else as the file to be sent is now.
    void continueUpload(ExportProgressWindowController& to, const QString& moviePath,
                        std::optional<platform::FileIdentity> written = std::nullopt) {
        const QVariant object = QVariant::fromValue<QObject*>(&to);
        QVariantMap info{{"ExportProgressWindowController", object},
                         {"SlideshowMainObject", QVariant::fromValue<QObject*>(controller.get())}};
        if (!moviePath.isNull())
            info.insert("strSourceVideoFilePath", moviePath);
        if (!written)
            written = platform::FileIdentity::ofPath(
                moviePath.isNull() ? project->strEncodingVideoFilePath(SlideshowProject::sizeVideoOutput())
                                   : moviePath);
        if (written)
            info.insert(kWrittenMovieKey, QVariant::fromValue(*written));
        post(kNotifyContinueUploadVideo, object, info);
    }
    // Until the window tells the outcome (its button no longer cancels).
    static bool waitForOutcome(const ExportProgressWindowController& shown, int ms = 30000) {
        return test_support::spinUntil([&] { return shown.buttonTitle() != "Cancel"; }, ms);
    }
    // The entry the service received, as the service reads it.
    std::shared_ptr<DSEntryVideoSiteUpload> sentEntry() const {
        return DSInstanceCast<DSEntryVideoSiteUpload>(
            DSObject::objectWithXMLData(fake->uploads().metadata(), &DSEntryVideoSiteUpload::staticClass()));
    }
    static QByteArray contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    test_support::NetTestEnvironment environment;
    test_support::LoopbackServer server;
    test_support::OAuth2TestScope oauth; // the browser, the network watch and the keychain
    std::unique_ptr<test_support::FakeOAuth2Provider> provider;
    std::unique_ptr<test_support::FakeVideoService> fake;
    std::unique_ptr<VideoSiteUploaderObject> uploader;
    std::unique_ptr<ExportProgressWindowController> progress;
    platform::ObserverHandle signInSuccess;
    int signIns = 0;
};
