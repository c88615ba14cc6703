#pragma once

#include <QString>

// The notifications the player and the preview view post, each on the thread that posts it (the preview
// ticks on the main thread; an export's pump plays on its own thread).

// The play went back to its start: no object; user info {"playingItemIndex": the slide it stood at, int}.
inline const QString kNotifyPlaySlideIndexChanged = QStringLiteral("NOTIFY_PLAY_SLIDE_INDEX_CHANGED");
// The preview reached the frame it starts from, so the music starts: object, that frame (qulonglong); no
// user info. Not posted while the project exports.
inline const QString kNotifyStartMusic = QStringLiteral("NS_NOTIFY_START_MUSIC");
// A drag on the preview while the pan-and-zoom editor is up: object, {"NAME": "PAN", "VALUE": 0.0,
// "deltaX", "deltaY": the move on the drawn stage counted as 1920 x 1080, y down}; no user info.
inline const QString kNotifyPanZoomChanged = QStringLiteral("NOTIFY_PANZOOM_CHANGED");
// The same while the text editor is up: object, {"NAME": "PAN", "deltaX", "deltaY": the move in pixels of
// the current slide's picture as it is shown, y down}; no user info.
inline const QString kNotifyTextPositionChanged = QStringLiteral("NOTIFY_TEXT_POSITION_CHANGED");
