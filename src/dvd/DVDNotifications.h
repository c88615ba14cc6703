#pragma once

#include <QString>

// The notifications of the DVD chain, posted on the command's notification center. Where they run: the
// burn set-up's choice on the main thread, authoring's on the authoring thread.

// The burn set-up has its drive and the encode starts: no object, no user info.
inline const QString kNotifyVideoInfoEditDone = QStringLiteral("NOTIFY_VIDEO_INFO_EDIT_DONE");
// A line of dvdauthor's progress: object, the percentage (double, 0 to 100); no user info.
inline const QString kNotifyDVDAuthorProgress = QStringLiteral("NSNOTIFY_DVDAUTHOR_PROGRESS");
// dvdauthor has authored the folder and nobody cancelled; the burn starts on it: no object, no user info.
inline const QString kNotifyDVDAuthorFinishedOK = QStringLiteral("NSNOTIFY_DVDAUTHOR_FINISHED_OK");
inline const QString kNotifyDVDAuthorCancelled = QStringLiteral("NSNOTIFY_DVDAUTHOR_CANCELLED");
// The progress window's Cancel, observed by the command and by authoring: no object, no user info.
inline const QString kNotifyCancelEncodingVideo = QStringLiteral("NOTIFY_CANCEL_ENCODING_VIDEO");
// The DVD-menu page's choice: a menu to show in the preview (object: the paths of its pictures, the first
// shown), or no menu at all (no object).
inline const QString kNotifyShowDVDMenu = QStringLiteral("NSNOTIFY_SHOW_DVD_MENU");
inline const QString kNotifyNoDVDMenu = QStringLiteral("NSNOTIFY_NO_DVD_MENU");
