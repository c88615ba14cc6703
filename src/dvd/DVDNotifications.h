#pragma once

#include <QString>

// Names of the notifications of DVD authoring, used exactly as other parts of the program know them.
inline const QString kNotifyDVDAuthorProgress = QStringLiteral("NSNOTIFY_DVDAUTHOR_PROGRESS");
inline const QString kNotifyDVDAuthorFinishedOK = QStringLiteral("NSNOTIFY_DVDAUTHOR_FINISHED_OK");
inline const QString kNotifyDVDAuthorCancelled = QStringLiteral("NSNOTIFY_DVDAUTHOR_CANCELLED");
inline const QString kNotifyCancelEncodingVideo = QStringLiteral("NOTIFY_CANCEL_ENCODING_VIDEO");
// The DVD-menu page's choice: a menu to show in the preview (object: the paths of its pictures, the first
// shown), or no menu at all (no object).
inline const QString kNotifyShowDVDMenu = QStringLiteral("NSNOTIFY_SHOW_DVD_MENU");
inline const QString kNotifyNoDVDMenu = QStringLiteral("NSNOTIFY_NO_DVD_MENU");
