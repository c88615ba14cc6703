#pragma once

#include "ui/editing/ProjectSource.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStringList>

// The movie settings asked before an export or upload: title, description, video size and, for the two web
// services, privacy, laid out for the open project's "ServiceName". OK stores them in the project's share
// options and accepts; Cancel and the close box reject and store nothing. Whoever runs the window starts
// the export once it has returned accepted.
class MovieSettingsWndController : public QDialog {
    Q_OBJECT
public:
    explicit MovieSettingsWndController(ProjectSource project, QWidget* parent = nullptr);

    // The size titles in "VideoSize" order, and the privacy titles of a service (empty for none).
    static QStringList videoSizeTitles();
    static QStringList privacyTitles(const QString& serviceName);

    void addVideoSizeOptions(const QStringList& titles);
    void addPrivacyOptions(const QStringList& titles);
    void OKButtonClicked();
    void CancelButtonClicked() { reject(); }

    QLabel* serviceIcon() const { return icon; }
    QLineEdit* titleTextField() const { return title; }
    QPlainTextEdit* descriptionTextField() const { return description; }
    QComboBox* videoSizePopup() const { return videoSize; }
    QComboBox* privacyPopup() const { return privacy; }
    QLabel* labelPrivacy() const { return privacyLabel; }

private:
    void windowDidLoad();

    ProjectSource projectSource;
    QString service;
    QPointer<QLabel> icon, privacyLabel;
    QPointer<QLineEdit> title;
    QPointer<QPlainTextEdit> description;
    QPointer<QComboBox> videoSize, privacy;
};
