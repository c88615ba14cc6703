#pragma once

#include "platform/foundation/FileIdentity.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "webservice/BaseClasses/DSServiceTicketBase.h"
#include "webservice/BaseClasses/DSUploadBody.h"

#include <QComboBox>
#include <QObject>
#include <QPointer>
#include <QProgressBar>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AppDialogs;
class DSServiceProviderVideoSite;
class ExportProgressWindowController;
class NetHTTPFetcher;
class NetOAuth2Authentication;
class NetOAuth2WindowController;
class QWidget;

// Carries the video-service share choice from the share panel to a finished upload: signs the user in (the
// kept sign-in, else the sign-in window over the main window), tells the main window controller the target
// is ready, and once the movie is exported inserts it with its title, description, keywords, category and
// privacy into the service's upload feed, showing progress and the outcome in the borrowed export progress
// window. Reached only through notifications; one for the whole run. Main thread only.
class VideoSiteUploaderObject : public QObject {
    Q_OBJECT
public:
    // The stand-in identity of the application at the provider and the service.
    static constexpr char kKeychainItemName[] = "Corvanta";
    static constexpr char kClientID[] = "508314729066.desktop-clients.id.invalid";
    static constexpr char kClientSecret[] = "Rt7vQm2LpW9xZc4NbH6sJd3F";
    static constexpr char kDeveloperKey[] =
        "Zp4Kq9Wd2Lm7Xr5Tn8Vb3Hc6Jf1Gs0Ya_Ue4Io7Pq2Rw9Sx5Ty8Uz3Va6Wb1Xc0Yd_"
        "Ze4Af7Bg2Ch9Di5Ej8Fk3Gl6Hm1In0Jo";
    static constexpr char kCategoryTerm[] = "Entertainment";
    static constexpr char kKeywords[] = "Vistrelle, photo slideshow, slideshow movie";

    // Asked as the video site is chosen, before the sign-in: true, having told the user why, while the show
    // cannot be shared yet (the window's controller answers).
    using ShareRefusal = std::function<bool()>;

    // Alerts go through `dialogs`; the sign-in window is modal on `mainWindow`.
    VideoSiteUploaderObject(AppDialogs& dialogs, QWidget* mainWindow, ShareRefusal refusesToShare,
                            QObject* parent = nullptr);
    // Stops an upload under way (its descriptor closed) and a sign-in that is still open.
    ~VideoSiteUploaderObject() override;

    // Registers the four observers.
    void awakeFromNib();

    // ---- the share choice and the sign-in
    void NotifyShareButtonClicked(const platform::Notification& notification);
    void UploadVideoSite();
    void signinVideoSite();
    void windowController(NetOAuth2WindowController& controller,
                          const std::shared_ptr<NetOAuth2Authentication>& auth,
                          const platform::OptionalError& error);
    void VideoSiteSigninSuccess();
    void SignoutVideoSite(const platform::Notification& notification);
    // The signed-in account's address, or empty; whether there is one.
    QString signedInUsername() const;
    bool isSignedIn() const;

    // ---- the upload
    // The one service of the run, made on first use, its developer key and loop modes set on every call.
    std::shared_ptr<DSServiceProviderVideoSite> videoSiteService();
    void StartVideoSiteVideoUploader(const platform::Notification& notification);
    // Inserts the movie at `moviePath` with the project's share options, when it is the file `written` says
    // the export left.
    void uploadVideoFile(const QString& moviePath, const std::optional<platform::FileIdentity>& written);
    // Progress of the upload ticket.
    void ticket(const DSServiceTicketRef& ticket, quint64 delivered, quint64 total);
    // The outcome of the upload ticket.
    void uploadTicket(const DSServiceTicketRef& ticket, const DSObjectRef& entry,
                      const platform::OptionalError& error);
    void UploadCancelled(const platform::Notification& notification);
    // Goes on with the stopped upload at its last location; nothing without one.
    void restartUpload();

    // ---- the service's category list, for a pop-up that the interface may give (none by default)
    // `categoriesURL` empty: the service's own category document.
    void fetchStandardCategories(const QUrl& categoriesURL = QUrl());
    void categoryFetcher(NetHTTPFetcher& fetcher, const QByteArray& data,
                         const platform::OptionalError& error);
    QComboBox* categoryPopup() const { return mCategoryPopup; }
    void setCategoryPopup(QComboBox* popup) { mCategoryPopup = popup; }

    // An alert on the main window; the text is shown as it stands.
    void displayAlert(const QString& title, const QString& text);

    // The progress window's texts.
    static QString uploadProgressText(quint64 delivered, quint64 total);
    static QString uploadErrorText(const platform::Error& error);
    // Why an upload failed whose movie another program changed while it was being sent.
    static QString movieChangedText(const QString& moviePath);

    const DSServiceTicketRef& uploadTicket() const { return mUploadTicket; }
    void setUploadTicket(DSServiceTicketRef ticket) { mUploadTicket = std::move(ticket); }
    const QUrl& uploadLocationURL() const { return mUploadLocationURL; }
    void setUploadLocationURL(const QUrl& url) { mUploadLocationURL = url; }
    ExportProgressWindowController* progressWnd() const;
    void setProgressWnd(ExportProgressWindowController* window);
    bool isUploadingInProgress() const { return bUploadingInProgress; }

private:
    void observe(const QString& name,
                 void (VideoSiteUploaderObject::*handler)(const platform::Notification&));
    void useAuthorizer(const std::shared_ptr<NetOAuth2Authentication>& auth);
    // The movie for reading, when it is as `written` says the export left it; else an error text (nothing is
    // sent then).
    DSUploadFileHandle openMovie(const QString& moviePath,
                                 const std::optional<platform::FileIdentity>& written, QString* reason) const;
    std::shared_ptr<DSEntryBase> makeUploadEntry(const DSUploadFileHandle& movie,
                                                 const QString& moviePath) const;
    DSServiceTicketRef insertEntry(const std::shared_ptr<DSEntryBase>& entry, const QUrl& feedURL);
    void keepTicket(const DSServiceTicketRef& started);
    void watchLocation(const DSServiceTicketRef& ticket);
    void endUpload();
    void uploadFailed(const QString& reason);
    // Whether the error refused the kept sign-in for good, which is then forgotten.
    bool forgetRefusedSignIn(const platform::Error& error) const;

    AppDialogs& dialogs;
    QPointer<QWidget> mainWindow;
    ShareRefusal refusesToShare;
    std::vector<platform::ObserverHandle> observers;
    platform::MainThreadGate gate; // observers hop to the main thread through it

    DSServiceTicketRef mUploadTicket;
    QUrl mUploadLocationURL;
    QPointer<QComboBox> mCategoryPopup;
    QPointer<QProgressBar> mUploadProgressIndicator; // an outlet nothing uses
    QPointer<ExportProgressWindowController> progressWnd_;
    bool bUploadingInProgress = false;

    std::shared_ptr<DSServiceProviderVideoSite> service;
    DSUploadFileHandle mUploadFile; // the movie's descriptor, closed after the outcome or the cancel
    QString mUploadFilePath;        // what a restart opens again
    std::optional<platform::FileIdentity> mUploadWritten; // and must find as the export left it
    std::shared_ptr<NetOAuth2WindowController> signIn;    // the sign-in window while it is open
    std::shared_ptr<NetHTTPFetcher> categoryFetch;
};
