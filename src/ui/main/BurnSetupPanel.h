#pragma once

#include "platform/disc/DiscDrive.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <functional>
#include <memory>
#include <vector>

// The burn set-up of the DVD command: where the DVD goes, a recorder of this machine or a disc image file
// (written through the disc library's pseudo-drive). A recorder is accepted only with a medium that
// DVDCommand::deviceContainsSuitableMedia takes; otherwise the panel shows its prompt and Burn stays off.
// The recorder being looked at is held open, and handed over when the panel is accepted. "Test burn" (off
// by default) makes the burn a rehearsal that writes nothing; the drive handed over carries the choice.
class BurnSetupPanel : public QDialog {
    Q_OBJECT
public:
    struct Inspection {
        std::shared_ptr<platform::disc::DiscDrive> drive; // open; null when it could not be opened
        platform::disc::MediaInfo media;
        QString error;
    };
    // How the panel finds recorders and looks at their media; tests give scripted ones.
    struct Drives {
        std::function<std::vector<platform::disc::DriveInfo>(QString* error)> list;
        std::function<Inspection(const QString& address)> inspect;
    };
    static Drives systemDrives();

    BurnSetupPanel(Drives drives, const QString& imagePath, QWidget* parent = nullptr);
    ~BurnSetupPanel() override;

    // The target chosen (recorders first, the disc image file last).
    QComboBox* targets() const { return targetPopup; }
    QLineEdit* imagePathField() const { return imagePath; }
    QCheckBox* testBurnCheckbox() const { return testBurnBox; }
    QString promptText() const;
    bool canBurn() const;
    // Once accepted: the open drive to burn on, set for a test burn when one was chosen; null otherwise (or
    // when the image file cannot be written). A disc image file is replaced only by a burn that completes.
    std::shared_ptr<platform::disc::DiscDrive> takeChosenDrive(QString* error = nullptr);

private:
    void targetChanged(int index);
    void chooseImageFile();
    void setPrompt(const QString& text, bool ready);
    bool imageChosen() const;

    Drives drives;
    Inspection current;
    QPointer<QComboBox> targetPopup;
    QPointer<QLineEdit> imagePath;
    QPointer<QPushButton> chooseButton, burnButton;
    QPointer<QCheckBox> testBurnBox;
    QPointer<QLabel> prompt;
    bool ready = false;
};
