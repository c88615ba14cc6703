#pragma once

#include <QString>

// Names of the notifications of DVD authoring, used exactly as other parts of the program know them.
inline const QString kNotifyDVDAuthorProgress = QStringLiteral("NSNOTIFY_DVDAUTHOR_PROGRESS");
inline const QString kNotifyDVDAuthorFinishedOK = QStringLiteral("NSNOTIFY_DVDAUTHOR_FINISHED_OK");
inline const QString kNotifyDVDAuthorCancelled = QStringLiteral("NSNOTIFY_DVDAUTHOR_CANCELLED");
inline const QString kNotifyCancelEncodingVideo = QStringLiteral("NOTIFY_CANCEL_ENCODING_VIDEO");
