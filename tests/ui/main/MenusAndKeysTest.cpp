// The document window worked from the keyboard, as a person without a mouse works it: the menus by their
// access keys and F10, the buttons by Tab and Space; and what Help > About tells.
#include "support/MainWindowFixture.h"
#include "support/WidgetClick.h"

#include "platform/foundation/ApplicationVersion.h"
#include "ui/main/SlideshowMenus.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <functional>
#include <map>
#include <memory>

class MenusAndKeysTest : public MainWindowTest {
protected:
    // The whole window with every menu, shown and taking the keyboard.
    void SetUp() override {
        MainWindowTest::SetUp();
        makeController(true);
        menus = std::make_unique<SlideshowMenus>(*window, *controller);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override {
        closeMenus();
        menus.reset();
        MainWindowTest::TearDown();
    }

    static QKeySequence accessKey(const QAction& item) { return QKeySequence::mnemonic(item.text()); }
    static void press(QKeyCombination key) {
        ASSERT_TRUE(test_support::pressKey(key)) << "no window takes the keyboard";
    }
    static void closeMenus() {
        while (QWidget* open = QApplication::activePopupWidget())
            open->close();
    }

    std::unique_ptr<SlideshowMenus> menus;
};

TEST_F(MenusAndKeysTest, EachMenuOfTheBarOpensWithItsAccessKeyAndF10OpensTheFirst) {
    const QList<QAction*> bar = window->menuBar()->actions();
    for (QAction* entry : bar) {
        SCOPED_TRACE(entry->text().toStdString());
        const QKeySequence key = accessKey(*entry);
        ASSERT_FALSE(key.isEmpty()) << "no access key";
        press(key[0]);
        EXPECT_EQ(QApplication::activePopupWidget(), entry->menu());
        closeMenus();
    }
    press(QKeyCombination(Qt::Key_F10));
    EXPECT_EQ(QApplication::activePopupWidget(), bar.first()->menu());
}

TEST_F(MenusAndKeysTest, EveryMenuGivesEachOfItsItemsAnAccessKeyOfItsOwn) {
    std::function<void(const QList<QAction*>&, const QString&)> check = [&](const QList<QAction*>& items,
                                                                            const QString& path) {
        std::map<QString, QString> taken; // access key -> item
        for (const QAction* item : items) {
            if (item->isSeparator())
                continue;
            const QString title = item->text();
            const QString key = accessKey(*item).toString();
            EXPECT_FALSE(key.isEmpty()) << qPrintable(path) << ": \"" << qPrintable(title) << "\" has none";
            if (!key.isEmpty()) {
                const auto [earlier, fresh] = taken.emplace(key, title);
                EXPECT_TRUE(fresh) << qPrintable(path) << ": \"" << qPrintable(title) << "\" and \""
                                   << qPrintable(earlier->second) << "\" share " << qPrintable(key);
            }
            if (item->menu())
                check(item->menu()->actions(), path + " > " + title);
        }
    };
    check(window->menuBar()->actions(), QStringLiteral("menu bar"));
}

TEST_F(MenusAndKeysTest, TabReachesTheWindowsButtonsInTheOrderOfTheirRowsAndSpacePressesTheOneReached) {
    int plays = 0;
    QObject::connect(controller->outlets().playMenuItem, &QAction::triggered, [&plays] { ++plays; });
    press(QKeyCombination(Qt::Key_Space));
    EXPECT_EQ(plays, 1) << "the window opens with a button taking Space from Play";
    EXPECT_TRUE(dialogs.openPanels.empty());

    QStringList reached;
    for (int step = 0; step < 40; ++step) {
        press(QKeyCombination(Qt::Key_Tab));
        if (auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget()))
            if (!reached.contains(button->objectName()))
                reached << button->objectName();
    }
    const QStringList rows = {
        "addPhotoButton",   "appendPhotoButton",    "addVideoButton", "addMusicButton",  "toolboxButton",
        "firstImageButton", "previousImageButton",  "m_btnPlayStop",  "nextImageButton", "lastImageButton",
        "themeButton",      "syncPhotoMusicButton", "m_btnShare1"};
    ASSERT_TRUE(reached.contains(rows.first())) << reached.join(", ").toStdString();
    while (reached.first() != rows.first())
        reached.move(0, reached.size() - 1);
    EXPECT_EQ(reached, rows);

    // Space is Play's key too: the button with the focus takes it.
    for (int step = 0; step < 40 && QApplication::focusWidget() != controller->outlets().addPhotoButton;
         ++step)
        press(QKeyCombination(Qt::Key_Tab));
    press(QKeyCombination(Qt::Key_Space));
    ASSERT_EQ(dialogs.openPanels.size(), 1u);
    EXPECT_EQ(dialogs.openPanels[0].kind, ControllerDialogs::MediaKind::Photos);
    EXPECT_FALSE(controller->m_bPlaying());
}

TEST_F(MenusAndKeysTest, AboutTellsTheVersion) {
    controller->outlets().aboutAppMenuItem->trigger();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(dialogs.alerts[0].message.contains(platform::applicationVersion()))
        << dialogs.alertText().toStdString();
}
