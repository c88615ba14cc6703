#pragma once

#include <QString>

// The notifications of the movie exports and the encoders beneath them (the DVD's MPEG-2 creator posts the
// first and the third as well).

// A movie is written: no object, no user info. The live encoder and the MP4 path post it on the main
// thread, the MPEG-2 creator on its driver's thread.
inline const QString kNotifyEncodeMovieFinished = QStringLiteral("NOTIFY_ENCODE_MOVIE_FINISHED");
// An export failed after it started, on the main thread: no object; user info the result dictionary
// ({"result": false, "desc": why, ...}).
inline const QString kNotifyEncodeMovieFailed = QStringLiteral("NOTIFY_ENCODE_MOVIE_FAILED");
// How far the sound mix of an export is, on the mixing thread: object, the poster's choice (the MPEG-2
// creator passes itself); user info {"progress": 0 to 1, "baseinfo": the stage's dictionary}.
inline const QString kNotifyEncodeMPEGIIProgress = QStringLiteral("NOTIFY_ENCODE_MPEGII_PROGRESS");
// A movie export has ended and its threads with it, on the main thread: no object, no user info.
inline const QString kNotifyCreateVideoFileEnd = QStringLiteral("NOTIFY_CREATE_VIDEO_FILE_END");
