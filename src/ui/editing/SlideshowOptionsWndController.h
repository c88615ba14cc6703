#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "ui/editing/ProjectSource.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

class ControllerDialogs;

// The application's options window: the open project's default durations and repeat, the output folder and
// movie format of every export, and the sign-outs of the two web services. Each change is stored at once
// (and marks the project dirty where it is the project's).
class SlideshowOptionsWndController : public QDialog {
    Q_OBJECT
public:
    SlideshowOptionsWndController(ControllerDialogs* dialogs, ProjectSource project,
                                  QWidget* parent = nullptr);

    void SliderShowTimeChanged();
    void SliderTransitionTimeChanged();
    void buttonRepeatClicked();
    void buttonBrowseClicked();
    void mp4ButtonCellClicked();
    void movButtonCellClicked();
    void buttonSignoutVideoSiteClicked();
    void buttonSignoutSocialSiteClicked();
    void CloseWnd() { close(); }

    QSlider* sliderSlideshowTime() const { return photoSlider; }
    QSlider* sliderTransitionTime() const { return transitionSlider; }
    QLabel* slideshowTextField() const { return photoText; }
    QLabel* transitionTime() const { return transitionText; }
    QCheckBox* btnRepeat() const { return repeat; }
    QPushButton* btnSignoutVideoSite() const { return signOutVideoSite; }
    QPushButton* btnSignoutSocialSite() const { return signOutSocialSite; }
    QLineEdit* outputVideoPathTextField() const { return outputFolder; }
    QRadioButton* mp4ButtonCell() const { return mp4; }
    QRadioButton* movButtonCell() const { return mov; }
    QPushButton* btnBrowserOutputPath() const { return browse; }

private:
    void windowDidLoad();
    void showDurationsAndRepeat();

    ControllerDialogs* dialogs;
    ProjectSource projectSource;
    QPointer<QSlider> photoSlider, transitionSlider;
    QPointer<QLabel> photoText, transitionText;
    QPointer<QCheckBox> repeat;
    QPointer<QPushButton> signOutVideoSite, signOutSocialSite, browse;
    QPointer<QLineEdit> outputFolder;
    QPointer<QRadioButton> mp4, mov;
    platform::ObserverHandle optionsObserver; // on the main thread, where both homes of the options post
};
