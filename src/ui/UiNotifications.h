#pragma once

#include <QString>

// The notifications the windows and controls post to one another on the default centre. The main window
// controller observes most of them; the lower layers' own notifications are in render/RenderNotifications.h,
// export/ExportNotifications.h and dvd/DVDNotifications.h.

// ---- the timeline and its pop-overs
// A cell was clicked: object, the slide's index; user info {"MouseEvent", "MouseLocation"} from the strip.
inline const QString kNotifyTimelineCellClicked = QStringLiteral("NOTIFY_TIMELINE_CELL_CLICKED");
// A cell's duration or transition icon was clicked: object, the slide's index; no user info.
inline const QString kNotifyTimelineCellDurationClicked =
    QStringLiteral("NOTIFY_TIMELINE_CELL_DURATION_CLICKED");
inline const QString kNotifyTimelineCellTransitionClicked =
    QStringLiteral("NOTIFY_TIMELINE_CELL_TRANSITION_CLICKED");
// A cell's duration button: no object; user info {"ClickedSlideItem": the slide}.
inline const QString kNotifySetDurationButtonClicked = QStringLiteral("NOTIFY_SET_DURATION_BUTTON_CLICKED");
// The duration pop-over changed a duration (object: the slide, when it says which) or was closed by OK.
inline const QString kNotifyUpdateSlideItemDuration = QStringLiteral("NOTIFY_UPDATE_SLIDEITEM_DURATION");
inline const QString kNotifyCloseSlideItemDurationPanel =
    QStringLiteral("NOTIFY_CLOSE_SLIDEITEM_DURATION_PANEL");
// The clip inspector's close: no object, no user info.
inline const QString kNotifyCloseVideoItemPropertyPanel =
    QStringLiteral("NOTIFY_CLOSE_VIDEOITEM_PROPERTY_PANEL");
// Close the clip copy's window, stopping its copy: no object, no user info.
inline const QString kNotifyCloseCopyFileProgressWindow =
    QStringLiteral("NOTIFY_CLOSE_COPY_FILE_PROGRESS_WINDOW");
// A transition was picked: object, the transition-choice dictionary.
inline const QString kNotifyTransitionItemSelected = QStringLiteral("NOTIFY_TRANSITION_ITEM_SELECTED");
// Redraw the strip keeping its visible part: no object, no user info.
inline const QString kNotifyRefreshTimelineUI = QStringLiteral("NOTIFY_REFRESH_TIMELINE_UI");

// ---- the editing panels
// A tool was picked in the toolbox: object, "Rotate", "PanZoom", "Text" or "ColorAdjust".
inline const QString kNotifyToolboxButtonClicked = QStringLiteral("NOTIFY_TOOLBOX_BUTTON_CLICKED");
// Show the toolbox, or close it when shown: no object, no user info.
inline const QString kNotifyShowToolbarIconClick = QStringLiteral("NOTIFY_SHOW_TOOLBAR_ICON_CLICK");
// The colour panel's values: object, the colour dictionary; user info {"Action": "OK"} on OK.
inline const QString kNotifyColorAdjustChanged = QStringLiteral("NSNOTIFY_COLORADJUST_CHANGED");
// The text panel's edit: object, the text dictionary.
inline const QString kNotifyFontInfoChanged = QStringLiteral("NOTIFY_FONT_INFO_CHANGED");
// A theme, or none (no object), was chosen: object, the theme dictionary.
inline const QString kNotifyThemeItemSelected = QStringLiteral("NOTIFY_THEME_ITEM_SELECTED");
// A stock background picture to insert as a slide: object, its path.
inline const QString kNotifyInsertBlankImage = QStringLiteral("NOTIFY_INSERT_BLANK_IMAGE");
// A recorded or chosen sound for the current slide: object, the file's full path; empty, its sound taken off.
inline const QString kNotifyUpdateSlideItemSoundFile = QStringLiteral("NOTIFY_UPDATE_SLIDEITEM_SOUND_FILE");

// ---- music
// A click on the music strip: user info {"mouseLocation", "locationInWindow"}, points with y up.
inline const QString kNotifyMusicTimelineClicked = QStringLiteral("NOTIFY_MUSIC_TIMELINE_CLICKED");
// The music call-out closed: user info {"bNeedLayoutMusicTimeLine": whether the song list changed}.
inline const QString kNotifyMusicOptionsCloseClicked = QStringLiteral("NOTIFY_MUSIC_OPTIONS_CLOSE_CLICKED");
inline const QString kNotifyMusicOptionsAddMusicClicked =
    QStringLiteral("NOTIFY_MUSIC_OPTIONS_ADD_MUSIC_CLICKED");
// The background music's volume changed: no object, no user info.
inline const QString kNotifyBKMusicVolumeChange = QStringLiteral("NOTIFY_BK_MUSIC_VOLUME_CHANGE");
// The photo-music sync call-out is done: no object, no user info.
inline const QString kNotifyMusicSyncButtonClicked = QStringLiteral("NOTIFY_MUSIC_SYNC_BUTTON_CLICKED");
// The project's default photo or transition duration, or its repeat, changed in the options pane or the
// options window, each of which shows them: no object, no user info.
inline const QString kNotifySlideshowOptionsChanged = QStringLiteral("NOTIFY_SLIDESHOW_OPTIONS_CHANGED");
// The slideshow type (fit to music or not) changed: no object, no user info.
inline const QString kNotifySlideshowTypeChanged = QStringLiteral("NOTIFY_SLIDESHOW_TYPE_CHANGED");
// A waveform asks for the music list, and every waveform stops its player: no object, no user info.
inline const QString kNotifyShowMusicList = QStringLiteral("NSNOTIFY_SHOW_MUSIC_LIST");
inline const QString kNotifyStopPlayingMusic = QStringLiteral("NSNOTIFY_STOP_PLAYING_MUSIC");

// ---- share and upload
// The share choice: object, 0 movie file, 1 video site, 2 social site, 3 DVD.
inline const QString kNotifyShareOptionButtonClick = QStringLiteral("NOTIFY_SHARE_OPTION_BUTTON_CLICK");
// The uploader signed in: no object, no user info.
inline const QString kNotifyUploadSigninSuccess = QStringLiteral("NOTIFY_UPLOAD_SIGNIN_SUCCESS");
// The movie to upload is written: object, the progress window; user info {"ExportProgressWindowController",
// "SlideshowMainObject", "strSourceVideoFilePath", kWrittenMovieKey}.
inline const QString kNotifyContinueUploadVideo = QStringLiteral("NOTIFY_CONTINUE_UPLOAD_VIDEO");
// The movie as the export left it (a platform::FileIdentity), absent when it left none.
inline const QString kWrittenMovieKey = QStringLiteral("writtenMovie");
// Forget the stored sign-in of a service: no object, no user info.
inline const QString kNotifySignoutVideoSite = QStringLiteral("NOTIFY_SIGNOUT_VIDEOSITE");
inline const QString kNotifySignoutSocialSite = QStringLiteral("NOTIFY_SIGNOUT_SOCIALSITE");

// ---- the document window
// The full-screen view's buttons: user info {"button": "first", "previous", "next", "last" or "play"}.
inline const QString kNotifyFullScreenOperBtnClicked = QStringLiteral("NOTIFY_FULL_SCREEN_OPER_BTN_CLICKED");
// The document window changed size: no object, no user info.
inline const QString kNotifyWindowSizeChanged = QStringLiteral("NOTIFY_WINDOW_SIZE_CHANGED");
// A window is closing, under the windowing platform's own name: object, the window.
inline const QString kNotifyWindowWillClose = QStringLiteral("NSWindowWillCloseNotification");
// Photos of an import could not be added, observed by the application delegate: object, a list of
// dictionaries each with "SLIDE_IMAGE_FILENAME", the photo's full path.
inline const QString kNotifyAddPhotoFailed = QStringLiteral("NOTIFY_ADD_PHOTO_FAILED");
