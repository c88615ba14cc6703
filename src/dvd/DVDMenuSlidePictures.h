#pragma once

#include "dvd/DVDStepError.h"
#include "model/SlideItem.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class SlideshowProject;

// A frame of the DVD menu made into a slide of the menu's pass, with the three pictures the photo import
// gives a photo's slide: its fitted copy, the blurred backdrop that the framed themes draw around the
// picture, and the timeline thumbnail. The pictures go into the project's "Contents" under fixed names
// after the frame's number ("menu_psd_3.jpg", "menu_psd_bk_3.jpg", "menu_thumb_3.jpg"), so that every DVD
// command replaces those of the one before instead of adding to them.
namespace DVDMenuSlidePictures {

QString pictureName(int frameNumber);
QString backgroundName(int frameNumber);
QString thumbnailName(int frameNumber);

// The slide of the menu frame `picture` (frame `frameNumber`, from 1) for the open project: its pictures
// written, the project's photo and transition durations, and the menu's look from the theme manager.
// The frame is read from the file open at frameFile when given (the frame's own file, whatever is at the
// name since), else from picture; only a regular file is read. Each picture is a new file (never written
// into one already at its name), and the slide keeps its picture and backdrop open
// (SlideItem::setOpenPictureFiles): the menu is drawn from them, whatever another program puts at their
// names meanwhile. Null, with the step that failed, when the frame cannot be read or a picture cannot be
// written. Any thread: it touches no model object but the new slide, so that a menu's frames are made side
// by side.
SlideItemRef makeSlide(const QString& picture, int frameNumber, const SlideshowProject& project,
                       DVDStepError* error = nullptr, std::optional<int> frameFile = std::nullopt);

} // namespace DVDMenuSlidePictures
