// The upload controller: the share choice, the sign-in, the upload with its progress and outcome, the
// cancel and sign-out. The category list and the restart, which nothing in the window reaches, are in
// VideoSiteUploaderObjectExtras.cpp.
#include "ui/upload/VideoSiteUploaderObject.h"

#include "dvd/DVDNotifications.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "ui/UiNotifications.h"
#include "ui/editing/ExportProgressWindowController.h"
#include "ui/main/AppDialogs.h"
#include "webservice/BaseClasses/DSUtilities.h"
#include "webservice/DSEntryVideoSiteUpload.h"
#include "webservice/DSServiceProviderVideoSite.h"
#include "webservice/DSVideoSiteConstants.h"
#include "webservice/HTTPFetcher/NetHTTPUploadFetcher.h"
#include "webservice/ServiceErrorText.h"
#include "webservice/oauth2/NetOAuth2WindowController.h"

#include <QFile>
#include <QFileInfo>
#include <QPixmap>

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>

using platform::Notification;

static_assert(sizeof(VideoSiteUploaderObject::kDeveloperKey) == 98 + 1);

namespace {

const QString kVideoSite = QStringLiteral("VideoSite");
// The fetcher carries loop modes along (Qt has one loop); these say the upload goes on under a modal window.
const QStringList kRunLoopModes = {QStringLiteral("DefaultRunLoopMode"),
                                   QStringLiteral("ModalPanelRunLoopMode")};

// Fills the progress format's "%.2f", "%@" and "%%" in one pass, so that nothing filled in is read as a
// format again.
QString fillProgressFormat(const QString& format, double percent, const QString& size) {
    QString text;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QStringView rest = QStringView(format).mid(i);
        if (rest.startsWith(u"%.2f")) {
            text += QString::number(percent, 'f', 2);
            i += 3;
        } else if (rest.startsWith(u"%@")) {
            text += size;
            ++i;
        } else if (rest.startsWith(u"%%")) {
            text += u'%';
            ++i;
        } else {
            text += format[i];
        }
    }
    return text;
}

QString twoPlaces(double value) {
    return QString::number(value, 'f', 2);
}

} // namespace

VideoSiteUploaderObject::VideoSiteUploaderObject(AppDialogs& dialogs, QWidget* mainWindow,
                                                 ShareRefusal refusesToShare, QObject* parent)
    : QObject(parent), dialogs(dialogs), mainWindow(mainWindow), refusesToShare(std::move(refusesToShare)) {
    setObjectName("VideoSiteUploaderObject");
}

VideoSiteUploaderObject::~VideoSiteUploaderObject() {
    gate.close();
    observers.clear();
    if (mUploadTicket)
        mUploadTicket->cancelTicket();
    endUpload();
    if (signIn)
        signIn->cancelSigningIn();
    if (categoryFetch)
        categoryFetch->stopFetching();
}

void VideoSiteUploaderObject::observe(const QString& name,
                                      void (VideoSiteUploaderObject::*handler)(const Notification&)) {
    auto& center = platform::NotificationCenter::defaultCenter();
    observers.emplace_back(center,
                           center.addObserver(name, [this, handler](const Notification& notification) {
                               gate.post([this, handler, notification] { (this->*handler)(notification); });
                           }));
}

void VideoSiteUploaderObject::awakeFromNib() {
    observers.clear();
    observe(kNotifyContinueUploadVideo, &VideoSiteUploaderObject::StartVideoSiteVideoUploader);
    observe(kNotifySignoutVideoSite, &VideoSiteUploaderObject::SignoutVideoSite);
    observe(kNotifyShareOptionButtonClick, &VideoSiteUploaderObject::NotifyShareButtonClicked);
    observe(kNotifyCancelEncodingVideo, &VideoSiteUploaderObject::UploadCancelled);
}

// ---- the share choice and the sign-in

void VideoSiteUploaderObject::NotifyShareButtonClicked(const Notification& notification) {
    bool isNumber = false;
    if (notification.object.toInt(&isNumber) != 1 || !isNumber)
        return;
    if (const auto project = SlideshowProject::mainProject())
        project->setShareOption("ServiceName", kVideoSite);
    // A show that cannot be exported yet is refused before the user signs in for nothing.
    if (refusesToShare && refusesToShare())
        return;
    UploadVideoSite();
}

void VideoSiteUploaderObject::UploadVideoSite() {
    const auto auth = NetOAuth2WindowController::authForProviderFromKeychainForName(kKeychainItemName,
                                                                                    kClientID, kClientSecret);
    if (auth->canAuthorize()) {
        useAuthorizer(auth);
        VideoSiteSigninSuccess();
        return;
    }
    signinVideoSite();
}

void VideoSiteUploaderObject::signinVideoSite() {
    if (signIn)
        return; // its window is open already
    signIn = NetOAuth2WindowController::controllerWithScope(videoSiteService()->authorizationScope(),
                                                            kClientID, kClientSecret, kKeychainItemName);
    const QPointer<VideoSiteUploaderObject> guard(this);
    signIn->signInSheetModalForWindow(mainWindow.data(), nullptr,
                                      [guard](NetOAuth2WindowController& controller,
                                              const std::shared_ptr<NetOAuth2Authentication>& auth,
                                              const platform::OptionalError& error) {
                                          if (guard)
                                              guard->windowController(controller, auth, error);
                                      });
}

void VideoSiteUploaderObject::windowController(NetOAuth2WindowController&,
                                               const std::shared_ptr<NetOAuth2Authentication>& auth,
                                               const platform::OptionalError& error) {
    signIn.reset();
    if (error) {
        displayAlert(tr_("Sign In Failed"), uploadErrorText(*error));
        return;
    }
    useAuthorizer(auth);
    // From the loop, not from inside the sign-in's last fetch: the movie settings and the export that follow
    // run modal sessions of their own.
    QMetaObject::invokeMethod(this, &VideoSiteUploaderObject::VideoSiteSigninSuccess, Qt::QueuedConnection);
}

void VideoSiteUploaderObject::useAuthorizer(const std::shared_ptr<NetOAuth2Authentication>& auth) {
    videoSiteService()->setAuthorizer(auth);
}

void VideoSiteUploaderObject::VideoSiteSigninSuccess() {
    platform::NotificationCenter::defaultCenter().post(kNotifyUploadSigninSuccess);
}

// The service keeps its authorizer until the next sign-in replaces it; the next share finds no kept sign-in
// and opens the sign-in window.
void VideoSiteUploaderObject::SignoutVideoSite(const Notification&) {
    NetOAuth2WindowController::removeAuthFromKeychainForName(kKeychainItemName);
}

QString VideoSiteUploaderObject::signedInUsername() const {
    const auto auth =
        std::dynamic_pointer_cast<NetOAuth2Authentication>(service ? service->authorizer() : nullptr);
    return auth && auth->canAuthorize() ? auth->userEmail() : QString();
}

bool VideoSiteUploaderObject::isSignedIn() const {
    return !signedInUsername().isNull();
}

// A refused refresh token stays refused: kept, it would skip the sign-in and fail every later upload after
// a whole export.
bool VideoSiteUploaderObject::forgetRefusedSignIn(const platform::Error& error) const {
    if (!ServiceErrorText::isExpiredSignIn(error))
        return false;
    NetOAuth2WindowController::removeAuthFromKeychainForName(kKeychainItemName);
    return true;
}

// ---- the upload

std::shared_ptr<DSServiceProviderVideoSite> VideoSiteUploaderObject::videoSiteService() {
    if (!service) {
        service = DSServiceProviderVideoSite::create();
        service->setShouldCacheResponseData(true);
        service->setServiceShouldFollowNextLinks(true);
        service->setIsServiceRetryEnabled(true);
    }
    service->setVideoSiteDeveloperKey(QString::fromLatin1(kDeveloperKey));
    service->setRunLoopModes(kRunLoopModes);
    return service;
}

void VideoSiteUploaderObject::StartVideoSiteVideoUploader(const Notification& notification) {
    const auto project = SlideshowProject::mainProject();
    if (!project || project->strShareServceType() != kVideoSite)
        return;
    if (mUploadTicket) { // one upload at a time: the window it reported to has been handed on
        mUploadTicket->cancelTicket();
        endUpload();
    }
    setProgressWnd(qobject_cast<ExportProgressWindowController*>(notification.object.value<QObject*>()));
    if (ExportProgressWindowController* window = progressWnd()) {
        window->setTitle(QStringLiteral("Uploading to VideoSite"));
        window->updateProgress(0.0);
        window->setProgressBanner(QPixmap(platform::paths::pathForResource("progress_videosite", "png")));
        window->setInfoText(QStringLiteral("Uploading to VideoSite now, please waiting..."));
    }
    // The movie the export made; worked out again only when the hand-off names none.
    QString moviePath = notification.userInfo.value(QStringLiteral("strSourceVideoFilePath")).toString();
    if (moviePath.isEmpty())
        moviePath = project->strEncodingVideoFilePath(SlideshowProject::sizeVideoOutput());
    const QVariant written = notification.userInfo.value(kWrittenMovieKey);
    uploadVideoFile(moviePath, written.canConvert<platform::FileIdentity>()
                                   ? std::optional(written.value<platform::FileIdentity>())
                                   : std::nullopt);
}

void VideoSiteUploaderObject::uploadVideoFile(const QString& moviePath,
                                              const std::optional<platform::FileIdentity>& written) {
    videoSiteService();
    const QUrl uploadURL = DSServiceProviderVideoSite::videoSiteUploadURLForUserID(
        QString::fromLatin1(DSVideoSiteConstants::kUserIDDefault));
    QString reason;
    const DSUploadFileHandle movie = openMovie(moviePath, written, &reason);
    if (!movie) {
        // Without its movie the entry would go alone, and the service might answer it as an upload.
        uploadFailed(reason);
        return;
    }
    mUploadFile = movie;
    mUploadFilePath = moviePath;
    mUploadWritten = written;
    const std::shared_ptr<DSEntryBase> entry = makeUploadEntry(movie, moviePath);
    bUploadingInProgress = true;
    keepTicket(insertEntry(entry, uploadURL));
}

// An outcome told already (an insert that could not begin may tell it at once) has closed the movie.
void VideoSiteUploaderObject::keepTicket(const DSServiceTicketRef& started) {
    if (!mUploadFile)
        return;
    if (!started) {
        uploadTicket(nullptr, nullptr,
                     platform::Error(
                         QString::fromLatin1(kNetHTTPFetcherErrorDomain), kNetHTTPFetcherErrorDownloadFailed,
                         {{QLatin1String(platform::kLocalizedDescriptionKey),
                           tr_("The upload could not begin: the service's address is not set.")}}));
        return;
    }
    mUploadTicket = started;
    watchLocation(started);
}

DSUploadFileHandle VideoSiteUploaderObject::openMovie(const QString& moviePath,
                                                      const std::optional<platform::FileIdentity>& written,
                                                      QString* reason) const {
    if (moviePath.isEmpty()) {
        *reason = tr_("There is no movie to upload.");
        return nullptr;
    }
    // Not blocking: a pipe at the movie's name would otherwise hold the window until a writer comes.
    auto movie = std::make_shared<platform::UniqueFd>(
        ::open(QFile::encodeName(moviePath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!movie->isValid()) {
        *reason = tr_("The movie %1 could not be opened: %2")
                      .arg(moviePath, QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    struct stat info {};
    if (::fstat(movie->get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        *reason = tr_("The movie %1 is not a file.").arg(moviePath);
        return nullptr;
    }
    if (info.st_size == 0) {
        *reason = tr_("The movie %1 is empty.").arg(moviePath);
        return nullptr;
    }
    // What is sent is the file opened here: it must be the movie as the export left it, or another
    // program's file, or the movie with another program's bytes in it, would go out as the user's.
    if (!written || platform::FileIdentity::ofDescriptor(movie->get()) != *written) {
        *reason = tr_("The movie %1 was not sent: it is no longer the movie this export wrote, as another "
                      "program has replaced or changed it. Export the movie again.")
                      .arg(moviePath);
        return nullptr;
    }
    ::fcntl(movie->get(), F_SETFL, ::fcntl(movie->get(), F_GETFL) & ~O_NONBLOCK);
    return movie;
}

std::shared_ptr<DSEntryBase> VideoSiteUploaderObject::makeUploadEntry(const DSUploadFileHandle& movie,
                                                                      const QString& moviePath) const {
    const auto project = SlideshowProject::mainProject();
    const QVariantMap options = project ? project->shareOptionsDict() : QVariantMap();
    // The fields store these keys only when they are filled in: presence decides, not emptiness.
    const QString madeWith =
        tr_("Video created with %@").replace(QLatin1String("%@"), QLatin1String("Vistrelle"));
    const QString title = options.contains("Title") ? options.value("Title").toString() : madeWith;
    const QString description =
        options.contains("Description") ? options.value("Description").toString() : madeWith;
    const int privacy = options.value("Privacy").toInt();

    const auto group = DSVideoSiteMediaGroup::mediaGroup();
    group->setMediaTitle(DSMediaTitle::textConstructWithString(title));
    group->setMediaDescription(DSMediaDescription::textConstructWithString(description));
    const auto category = DSMediaCategory::mediaCategoryWithString(QString::fromLatin1(kCategoryTerm));
    category->setScheme(DSVideoSiteConstants::categoryScheme("categories.cat"));
    group->addMediaCategory(category);
    group->setMediaKeywords(DSMediaKeywords::keywordsWithString(QString::fromLatin1(kKeywords)));
    group->setIsPrivate(privacy != 0 && privacy != 1);

    const QString mimeType = DSUtilities::MIMETypeForFileAtPath(moviePath, QStringLiteral("video/mp4"));
    const auto entry = DSEntryVideoSiteUpload::uploadEntryWithMediaGroup(group, movie, mimeType,
                                                                         QFileInfo(moviePath).fileName());
    entry->addAccessControl(DSVideoSiteAccessControl::accessControlWithAction(
        QStringLiteral("list"), privacy == 0 ? QStringLiteral("allowed") : QStringLiteral("denied")));
    return entry;
}

DSServiceTicketRef VideoSiteUploaderObject::insertEntry(const std::shared_ptr<DSEntryBase>& entry,
                                                        const QUrl& feedURL) {
    const auto videoService = videoSiteService();
    const QPointer<VideoSiteUploaderObject> guard(this);
    videoService->setServiceUploadProgressSelector(
        [guard](const DSServiceTicketRef& ticket, quint64 delivered, quint64 total) {
            if (guard)
                guard->ticket(ticket, delivered, total);
        });
    return videoService->fetchEntryByInsertingEntry(entry, feedURL, nullptr,
                                                    [guard](const DSServiceTicketRef& ticket,
                                                            const DSObjectRef& object,
                                                            const platform::OptionalError& error) {
                                                        if (guard)
                                                            guard->uploadTicket(ticket, object, error);
                                                    });
}

// The block holds only a guarded pointer: the fetcher may outlive this object.
void VideoSiteUploaderObject::watchLocation(const DSServiceTicketRef& ticket) {
    const auto upload = std::dynamic_pointer_cast<NetHTTPUploadFetcher>(ticket->objectFetcher());
    if (!upload)
        return;
    const QPointer<VideoSiteUploaderObject> guard(this);
    upload->setLocationChangeBlock([guard](const QUrl& location) {
        if (guard)
            guard->setUploadLocationURL(location);
    });
    // Another program may write into the movie while it is sent: looked at again before every chunk and every
    // resume, and once the service has answered the last chunk, it must still be the movie as exported.
    upload->setUploadFileCheck([movie = mUploadFile, written = mUploadWritten, path = mUploadFilePath] {
        if (movie && movie->isValid() && written &&
            platform::FileIdentity::ofDescriptor(movie->get()) == *written)
            return QString();
        return movieChangedText(path);
    });
}

QString VideoSiteUploaderObject::movieChangedText(const QString& moviePath) {
    return tr_("The upload of the movie %1 failed: another program changed the movie while it was being "
               "sent, so the upload is not the exported movie. Export the movie again.")
        .arg(moviePath);
}

void VideoSiteUploaderObject::ticket(const DSServiceTicketRef&, quint64 delivered, quint64 total) {
    ExportProgressWindowController* window = progressWnd();
    if (!window)
        return;
    window->setInfoText(uploadProgressText(delivered, total));
    window->updateProgress(total ? float(double(delivered) / double(total)) : 0.0f);
}

QString VideoSiteUploaderObject::uploadProgressText(quint64 delivered, quint64 total) {
    const float fraction = total ? float(double(delivered) / double(total)) : 0.0f;
    const double totalMB = double(total) / 1048576.0;
    const QString size =
        delivered < 0x100001
            ? twoPlaces(double(delivered) / 1024.0) + " KB / " + twoPlaces(totalMB) + " MB"
            : twoPlaces(double(delivered) / 1048576.0) + " MB / " + twoPlaces(totalMB) + " MB";
    return fillProgressFormat(tr_("Uploading video file to VideoSite now.please wait...\n%.2f%%\n%@\n\n"),
                              double(100.0f * fraction), size);
}

void VideoSiteUploaderObject::uploadTicket(const DSServiceTicketRef&, const DSObjectRef&,
                                           const platform::OptionalError& error) {
    const bool signInExpired = error && forgetRefusedSignIn(*error);
    if (error)
        uploadFailed(
            uploadErrorText(*error) +
            (signInExpired ? u' ' + tr_("The next upload will ask you to sign in again.") : QString()));
    else if (ExportProgressWindowController* window = progressWnd())
        window->finishedSuccess(QStringLiteral("Video file has been successfully uploaded to VideoSite."));
    endUpload();
}

// The reason alone, worded by the error formatter: the window is the upload's, and its Close button in
// place of Cancel tells that the upload ended.
void VideoSiteUploaderObject::uploadFailed(const QString& reason) {
    if (ExportProgressWindowController* window = progressWnd())
        window->finishedError(reason);
}

QString VideoSiteUploaderObject::uploadErrorText(const platform::Error& error) {
    return ServiceErrorText::sentence(error);
}

void VideoSiteUploaderObject::UploadCancelled(const Notification&) {
    if (!mUploadTicket)
        return;
    mUploadTicket->cancelTicket();
    endUpload();
}

// The entry never closes the movie's descriptor: the upload's end does, whatever the entry's copies hold.
void VideoSiteUploaderObject::endUpload() {
    mUploadTicket.reset();
    if (mUploadFile)
        mUploadFile->reset();
    mUploadFile.reset();
}

void VideoSiteUploaderObject::displayAlert(const QString& title, const QString& text) {
    dialogs.showAlertSheet(title, text, tr_("OK"));
}

ExportProgressWindowController* VideoSiteUploaderObject::progressWnd() const {
    return progressWnd_.data();
}

void VideoSiteUploaderObject::setProgressWnd(ExportProgressWindowController* window) {
    progressWnd_ = window;
}
