// The movie-settings window laid out for each service, and what its OK and Cancel leave in the share options.
#include "support/MainWindowFixture.h"
#include "support/Screenshot.h"

#include "ui/UiNotifications.h"
#include "ui/editing/MovieSettingsWndController.h"
#include "ui/editing/ShareOptionsViewController.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

class MovieSettingsTest : public MainWindowTest {
protected:
    static QStringList items(const QComboBox& popup) {
        QStringList titles;
        for (int i = 0; i < popup.count(); ++i)
            titles << popup.itemText(i);
        return titles;
    }
};

TEST_F(MovieSettingsTest, EachServiceGetsItsIconPrivacyListAndPreselectedSize) {
    struct Case {
        QString service;
        QStringList privacy;
        int size;
    };
    const Case cases[] = {
        {"PhotoLibrary", {}, 3},
        {"VideoSite", {"Public", "Unlisted", "Private"}, 2},
        {"SocialSite", {"Everyone", "Friends of Friends", "Only Friends", "Only Me"}, 2},
        {"SomethingElse", {}, 2},
    };
    for (const Case& step : cases) {
        project->setShareOption("ServiceName", step.service);
        MovieSettingsWndController window(projectSource());
        EXPECT_EQ(items(*window.videoSizePopup()),
                  QStringList({"Medium - 360p", "Large - 540p", "HD - 720p", "HD - 1080p"}));
        EXPECT_EQ(window.videoSizePopup()->currentIndex(), step.size) << qPrintable(step.service);
        EXPECT_EQ(items(*window.privacyPopup()), step.privacy) << qPrintable(step.service);
        EXPECT_EQ(window.privacyPopup()->isHidden(), step.privacy.isEmpty()) << qPrintable(step.service);
        EXPECT_EQ(window.labelPrivacy()->isHidden(), step.privacy.isEmpty()) << qPrintable(step.service);
        EXPECT_FALSE(window.serviceIcon()->pixmap().isNull()) << qPrintable(step.service);
        EXPECT_TRUE(window.titleTextField()->text().isEmpty());
        if (step.service == "PhotoLibrary")
            screenshot::save(window, "movie-settings-movie-file");
    }
}

TEST_F(MovieSettingsTest, OKStoresTheChoicesButAnEmptyFieldKeepsAnEarlierValueAndCancelStoresNothing) {
    project->setShareOptionsDict(
        {{"ServiceName", "VideoSite"}, {"Title", "Summer"}, {"Description", "Lake"}});
    {
        MovieSettingsWndController window(projectSource());
        window.descriptionTextField()->setPlainText("By the sea");
        window.videoSizePopup()->setCurrentIndex(0);
        window.privacyPopup()->setCurrentIndex(2);
        window.OKButtonClicked();
        EXPECT_EQ(window.result(), QDialog::Accepted);
    }
    const QVariantMap stored = project->shareOptionsDict();
    EXPECT_EQ(stored.value("Title").toString(), "Summer") << "an empty title keeps the earlier one";
    EXPECT_EQ(stored.value("Description").toString(), "By the sea");
    EXPECT_EQ(stored.value("VideoSize").toInt(), 0);
    EXPECT_EQ(stored.value("Privacy").toInt(), 2);

    project->setShareOption("ServiceName", "PhotoLibrary");
    MovieSettingsWndController window(projectSource());
    window.titleTextField()->setText("Winter");
    window.CancelButtonClicked();
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_EQ(project->shareOptionsDict().value("Title").toString(), "Summer");

    MovieSettingsWndController noPrivacy(projectSource());
    noPrivacy.OKButtonClicked();
    EXPECT_EQ(project->shareOptionsDict().value("Privacy").toInt(), 0) << "a service without a list";
    EXPECT_EQ(project->shareOptionsDict().value("VideoSize").toInt(), 3);
}

TEST_F(MovieSettingsTest, EachShareButtonPostsItsChoice) {
    std::vector<int> choices;
    auto& center = platform::NotificationCenter::defaultCenter();
    platform::ObserverHandle handle{
        center, center.addObserver(kNotifyShareOptionButtonClick,
                                   [&](const auto& n) { choices.push_back(n.object.toInt()); })};
    ShareOptionsViewController view;
    for (int choice : {3, 0, 2, 1})
        view.button(choice)->click();
    EXPECT_EQ(choices, std::vector<int>({3, 0, 2, 1}));
}
