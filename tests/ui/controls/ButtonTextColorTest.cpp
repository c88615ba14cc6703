#include "ui/controls/ButtonTextColor.h"

#include <QPushButton>

#include <gtest/gtest.h>

using namespace button_text_color;

TEST(ButtonTextColor, ASetColourReadsBackAndOnlyATitleWithoutColourAnswersNone) {
    QPushButton titled("Play");
    EXPECT_FALSE(textColor(titled).has_value()) << "a title that carries no colour";
    const QFont font = titled.font();
    setTextColor(titled, Qt::white);
    ASSERT_TRUE(textColor(titled).has_value());
    EXPECT_EQ(*textColor(titled), QColor(Qt::white));
    EXPECT_EQ(titled.palette().color(QPalette::Active, QPalette::ButtonText), QColor(Qt::white));
    EXPECT_EQ(titled.font(), font);
    QPushButton untitled;
    EXPECT_TRUE(textColor(untitled).has_value()) << "no title: the control text colour";
}
