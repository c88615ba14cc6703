#pragma once

#include <QWidget>

class QPushButton;

// The share call-out's content: the four share targets as buttons. Each posts
// "NOTIFY_SHARE_OPTION_BUTTON_CLICK" with its choice as the object: 0 movie file, 1 video site,
// 2 social site, 3 DVD.
class ShareOptionsViewController : public QWidget {
    Q_OBJECT
public:
    explicit ShareOptionsViewController(QWidget* parent = nullptr);

    void ExportToVideoClickced() { post(0); }
    void VideoSiteButtonClickced() { post(1); }
    void SocialSiteButtonClickced() { post(2); }
    void BurnDVDButtonClickced() { post(3); }

    QPushButton* button(int choice) const;

private:
    static void post(int choice);
    QPushButton* buttons[4] = {};
};
