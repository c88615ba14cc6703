#pragma once

#include <QString>

// Names of the files a project keeps in its "Contents" folder. Copies and pictures are named after the
// time they were made, to a hundredth of a second; two made within that time would share a name, so a
// name that is taken gets "-1", "-2", ... before its extension and nothing is ever overwritten.
class ContentsFolder {
public:
    // Seconds since 1 January 2001 (UTC) on the project's clock.
    static double secondsSinceReferenceDate();
    // "<stem><seconds, two decimals>" with ".<extension>" when there is one, e.g. ("thumb_", "jpg").
    static QString timeStampedName(const QString& stem, const QString& extension);
    // The first of name, "<base>-1.<ext>", ... that is free in folder (the name alone, not the path).
    static QString freeName(const QString& folder, const QString& name);
    // Claims the first free of name, "<base>-1.<ext>", ... by making it as an empty file, so that
    // pictures made at once on several threads never share a name; the writer then replaces it. The
    // name claimed, or empty with a message in *error when none could be made.
    static QString reserveName(const QString& folder, const QString& name, QString* error = nullptr);
    // Copies source into folder under name, or the next free name when that is taken; the name used,
    // or empty with a message in *error when the copy failed.
    static QString copyUnderFreeName(const QString& source, const QString& folder, const QString& name,
                                     QString* error = nullptr);
    // The "Contents" folder of the open project; empty when none is open.
    static QString ofOpenProject();
    // The one rule for every path a project's files name. Projects come from elsewhere, so a stored path, a
    // link out of the project or a "Contents" folder that is itself a link never makes another file of the
    // user part of it; and only regular files count, so that nothing read ever blocks on a pipe or a device.
    //
    // The project's own file: path when it names a regular file that lies inside the folder of the project
    // whose "Contents" folder is given, every link resolved; else empty.
    static QString fileInProject(const QString& path, const QString& contentsFolder);
    // One of our own resources: path when it names a regular file inside the resource folder, every link
    // resolved; else empty. For what only the application itself provides (the stock song and pictures).
    static QString resourceFile(const QString& path);
    // path when it is the project's own file or one of our resources; else empty.
    static QString projectOrResourceFile(const QString& path, const QString& contentsFolder);
    // "<contents>/<name>" as the project may read or write it: when nothing stands there yet (a file about
    // to be made) or when it is the project's own file; else empty, as for a name that is no plain name
    // and for anything at all while "Contents" leads out of the project.
    static QString nameInContents(const QString& name, const QString& contentsFolder);
    // A clip of the project: the stored path when it is the project's own file, else a file of the same
    // name in its "videos" folder (a project copied or moved elsewhere keeps its clips there); else empty.
    static QString clipInProject(const QString& path, const QString& contentsFolder);
    // A song's copy: "%@-%.2f.%@" of the source's name without extension, the time and its extension.
    static QString songCopyName(const QString& source);
    // The name of the file such a copy was made of, as the user knows it: "voice.m4a" for
    // "voice-818646438.63.m4a" or "voice-818646438.63-1.m4a"; any other name as it is.
    static QString sourceNameOfCopy(const QString& name);
    // The name of a recording the sound recorder makes in the user's Documents folder.
    static QString recordingName(double secondsSinceReferenceDate);
    // A slide's own sound as it may be played or mixed: a file of the project, or a recording the sound
    // recorder made in Documents (slides keep their recordings there); else empty, so that a stored path or
    // a link in a project from elsewhere never plays another file of the user.
    static QString slideSoundFile(const QString& path, const QString& contentsFolder);
};
