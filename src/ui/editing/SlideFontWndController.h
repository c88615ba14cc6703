#pragma once

#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "ui/editing/ProjectSource.h"

#include <QColor>
#include <QComboBox>
#include <QFontDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QVariantMap>
#include <QWidget>

class CSCircularSlider;
class QColorDialog;

// The text window of the current slide: its text, font family, size, colour, angle and position offset.
// It keeps the slide's text dictionary, rewrites it on every edit and posts it as
// "NOTIFY_FONT_INFO_CHANGED"; a drag on the preview in text mode ("NOTIFY_TEXT_POSITION_CHANGED") moves the
// text from the slide's own stored offset. Filling it from a slide edits nothing.
class SlideFontWndController : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSizeRange[2] = {8, 300};
    static constexpr float kDialDistance = 40.0f;
    static constexpr int kFontPanelPointSize = 150;

    // The edit mode is set on the project.
    explicit SlideFontWndController(ProjectSource project, QWidget* parent = nullptr);
    ~SlideFontWndController() override;

    QVariantMap fontDict() const { return dict; }
    // Shows a slide's text: its own text, colour, size, angle, family and offsets.
    void setFontDict(const QVariantMap& info);

    void SetFontInfo();
    void SetFontInfoWithoutStatus();
    void TextPositionChanged(const platform::Notification& notification);
    void EditFontDone();
    // The system font panel at 150-point Helvetica; what is chosen there changes nothing of the text.
    void fontButtonClicked();
    QFontDialog* fontPanel() const { return systemFontPanel; }
    QPushButton* fontButton() const { return fonts; }
    void setFontColor(const QColor& colour);
    // Sorted case-insensitively, as the pop-up lists them.
    static QStringList fontFamilies();

    QLineEdit* textField() const { return text; }
    QComboBox* mFontPopup() const { return fontPopup; }
    QPushButton* fontColorWell() const { return colourWell; }
    QColor fontColor() const { return colour; }
    QSlider* fontSizeSlider() const { return sizeSlider; }
    CSCircularSlider* m_angleCircleSlider() const { return dial; }
    int offsetX() const { return qRound(dragX); }
    int offsetY() const { return qRound(dragY); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void windowDidLoad();
    void layOut();
    void fillFontPopup();
    void selectFamily(const QString& family);
    void showColour(const QColor& value);
    void chooseColour();

    ProjectSource projectSource;
    QVariantMap dict;
    QLineEdit* text;
    QComboBox* fontPopup;
    QPushButton* colourWell;
    QColor colour = Qt::white;
    QSlider* sizeSlider;
    CSCircularSlider* dial;
    QPushButton* done;
    QPushButton* fonts;
    QPointer<QColorDialog> colourPanel;
    QPointer<QFontDialog> systemFontPanel;
    // Kept unrounded, so that many small moves add up to the whole drag.
    double dragX = 0.0;
    double dragY = 0.0;
    platform::ObserverHandle positionObserver;
    platform::MainThreadGate gate; // last, so closed first: the observer posts to the main thread through it
};
