#include "DVDTestSupport.h"

#include "platform/foundation/StandardPaths.h"

#include <QFile>
#include <QImage>
#include <QSet>

#include <gtest/gtest.h>

using namespace dvd_test;

namespace {

QString menuPicture(const QVariantMap& menu, const QString& name) {
    return platform::paths::pathForResource(name, QString(), "DVDMenu/" + menu.value("Folder").toString());
}

QString textResource(const QString& name) {
    QFile file(platform::paths::pathForResource(name, "xml"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(DVDMenuResources, ListStartsWithNoMenuThenTheDefault) {
    const QVariantList menus = menuTemplates();
    ASSERT_GE(menus.size(), 3);
    const QVariantMap none = menus[0].toMap();
    EXPECT_EQ(none.value("Style").toString(), "nomenu");
    EXPECT_FALSE(menuPicture(none, none.value("thumbnail").toString()).isEmpty());
    EXPECT_NE(menus[1].toMap().value("Style").toString(), "nomenu");
    QSet<QString> folders;
    for (const QVariant& entry : menus)
        folders.insert(entry.toMap().value("Folder").toString());
    EXPECT_EQ(folders.size(), menus.size());
}

TEST(DVDMenuResources, EveryRealTemplateHasOnePlayButtonAndItsPictures) {
    const QVariantList menus = menuTemplates();
    for (qsizetype i = 1; i < menus.size(); ++i) {
        const QVariantMap menu = menus[i].toMap();
        SCOPED_TRACE(menu.value("Name").toString().toStdString());
        EXPECT_EQ(menu.value("ButtonRectArray").toList().size(), 1);
        const QVariantMap play = menu.value("PlayButton").toMap();
        const QVariantMap state = menu.value("PlayButtonState").toMap();
        for (const QString& name :
             {menu.value("thumbnail").toString(), menu.value("background_image").toString(),
              play.value("image_file").toString(), state.value("normal_image").toString(),
              state.value("highlighted_image").toString(), state.value("selected_image").toString()})
            EXPECT_FALSE(QImage(menuPicture(menu, name)).isNull()) << qPrintable(name);
        for (const char* key : {"normal_image", "highlighted_image", "selected_image"}) {
            const QImage picture(menuPicture(menu, state.value(key).toString()));
            // The state picture is placed by its own height, which the template repeats.
            EXPECT_EQ(picture.height(), state.value("height").toInt());
            // Clear or opaque pixels of at most three colours, so four palette entries keep them exactly.
            EXPECT_LE(distinctColours(picture), 4);
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x) {
                    const int alpha = qAlpha(picture.pixel(x, y));
                    ASSERT_TRUE(alpha == 0 || alpha == 255) << key;
                }
        }
        const QVariantMap rect = menu.value("ButtonRectArray").toList().value(0).toMap();
        EXPECT_EQ(rect.value("xPos"), state.value("xPos"));
        EXPECT_EQ(rect.value("yPos"), state.value("yPos"));
        EXPECT_LE(rect.value("yPos").toInt() + rect.value("height").toInt(), 540);
    }
}

TEST(DVDMenuResources, OverlayIsClearExactlyInsideThePhotoBox) {
    const QVariantList menus = menuTemplates();
    for (qsizetype i = 1; i < menus.size(); ++i) {
        const QVariantMap menu = menus[i].toMap();
        const QImage overlay(menuPicture(menu, menu.value("background_image").toString()));
        ASSERT_EQ(overlay.size(), QSize(960, 540));
        const QVariantMap box = menu.value("AlbumPhoto").toMap();
        const QRect photo(box.value("xPos").toInt(), box.value("yPos").toInt(), box.value("width").toInt(),
                          box.value("height").toInt());
        int clearOutside = 0, opaqueInside = 0;
        for (int y = 0; y < 540; ++y)
            for (int x = 0; x < 960; ++x) {
                const int alpha = qAlpha(overlay.pixel(x, y));
                if (photo.contains(x, y))
                    opaqueInside += alpha != 0;
                else
                    clearOutside += alpha == 0;
            }
        EXPECT_EQ(opaqueInside, 0) << i;
        EXPECT_EQ(clearOutside, 0) << i;
    }
}

TEST(DVDMenuResources, AuthoringTemplatesCarryTheirPlaceholders) {
    const QString spumux = textResource("spumux_template");
    for (const char* placeholder :
         {"NORMAL_IMAGE_PATH", "HIGHLIGHT_IMAGE_PATH", "SELECTED_IMAGE_PATH", "BUTTON_ARRAY"})
        EXPECT_EQ(spumux.count(placeholder), 1) << placeholder;
    const QString menu = textResource("dvdAuthorTemplate");
    EXPECT_EQ(menu.count("VOB_FILE_LIST"), 1);
    EXPECT_EQ(menu.count("MENU_SECTION_DATA"), 1);
    const QString plain = textResource("dvdAuthorTemplate_no_menu");
    EXPECT_EQ(plain.count("VOB_FILE_LIST"), 1);
    EXPECT_EQ(plain.count("MENU_SECTION_DATA"), 0);
}
