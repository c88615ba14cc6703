// The document window worked from the keyboard, as a person without a mouse works it: the menus by their
// access keys and F10.
#include "support/MainWindowFixture.h"
#include "support/WidgetClick.h"

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
