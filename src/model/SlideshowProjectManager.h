#pragma once

#include "platform/foundation/KeyedArchive.h"

#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <mutex>

// The second singleton beside the open project: the DVD-menu settings of the project, stored as
// "SlideshowProjectManager.dat" in the open project's folder and replaced whenever a project is
// opened or made. This holds the stored settings; the menu templates, menu songs and the records of
// earlier encodings are added by the DVD-menu work.
class SlideshowProjectManager : public platform::Archivable {
public:
    static constexpr int kProjectVersion = 120;

    SlideshowProjectManager();

    static std::shared_ptr<SlideshowProjectManager> defaultSlideshowProjectManager();
    static void creatNewDefaultSlideshowProjectManager();
    static QString shortFileName() { return QStringLiteral("SlideshowProjectManager.dat"); }
    // "<open project's folder>/SlideshowProjectManager.dat"; empty when the open project has none.
    static QString strSlideshowProjectManagerFileFullPath();

    // Archives the singleton atomically. False, with a message, when it could not be written.
    bool saveToFile(QString* error = nullptr);
    bool saveToFile(const QString& path, QString* error = nullptr);
    // Makes the archive at path the singleton. A missing file gives a manager with the defaults
    // (true); an unreadable one gives the defaults too, but answers false with a message.
    bool loadFromFile(QString* error = nullptr);
    bool loadFromFile(const QString& path, QString* error = nullptr);

    static std::shared_ptr<SlideshowProjectManager> initWithCoder(platform::KeyedUnarchiver& coder);
    QStringList archiveClassNames() const override { return {QStringLiteral("SlideshowProjectManager")}; }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override;

    // Class-level settings, shared with SlideshowProject.
    static QSizeF sizeVideoOutput();
    static void setSizeVideoOutput(const QSizeF& size);
    static unsigned long ulFrameRate();
    static void setULFrameRate(unsigned long rate);
    static bool bRepeatPlayFlagBak();
    static void setBRepeatPlayFlagBak(bool value);
    static int nMonitorIndex();
    static void setNMonitorIndex(int index);
    static QStringList monitorDesc();

    QString strFileVersion() const { return fileVersion; }
    int nNextProjectID() const { return nextProjectID; }
    int nCurrItemIndex() const { return currItemIndex; }
    int nCurrentDVDMenuSelected() const { return currentMenu; }
    void setNCurrentDVDMenuSelected(int index) { currentMenu = index; }
    bool bUseDVDMenu() const { return useMenu; }
    void setBUseDVDMenu(bool value) { useMenu = value; }
    QString dvdTitle() const { return title; }
    void setDvdTitle(const QString& value) { title = value; }
    QString dvdSubtitle() const { return subtitle; }
    void setDvdSubtitle(const QString& value) { subtitle = value; }
    QString dvdBackgroundMusicPath() const { return musicPath; }
    void setDvdBackgroundMusicPath(const QString& value) { musicPath = value; }
    float fltDVDMenuFadeIn() const { return fadeIn; }
    void setFltDVDMenuFadeIn(float seconds) { fadeIn = seconds; }
    float fltDVDMenuFadeOut() const { return fadeOut; }
    void setFltDVDMenuFadeOut(float seconds) { fadeOut = seconds; }
    // Share parameters such as "title" and "description" for the exported movie's tags; held for the
    // run only, not archived.
    QVariantMap dictShareMovieParam() const { return shareMovieParam; }
    void setDictShareMovieParam(const QVariantMap& value) { shareMovieParam = value; }

private:
    QString fileVersion = QStringLiteral("1.0.0");
    int nextProjectID = 1;
    int currItemIndex = -1;
    int currentMenu = 1;
    bool useMenu = true;
    QString title, subtitle, musicPath;
    float fadeIn = 0.0f;
    float fadeOut = 0.0f;
    QVariantMap shareMovieParam;
};
