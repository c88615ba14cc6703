#include "ui/controls/ButtonTextColor.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <algorithm>
#include <memory>

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

namespace {

// Pixels of the red title when the button is drawn black on white, after `colour` was set (when valid).
int redTitlePixels(QAbstractButton& button, const QColor& colour) {
    QPalette white = button.palette();
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Button, QPalette::Base})
        white.setColor(role, Qt::white);
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        white.setColor(role, Qt::black);
    button.setPalette(white);
    if (colour.isValid())
        setTextColor(button, colour);
    button.resize(button.sizeHint() + QSize(20, 10));
    const QImage drawn = button.grab().toImage();
    int count = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const QColor pixel = drawn.pixelColor(x, y);
            if (pixel.red() > 200 && pixel.green() < 70 && pixel.blue() < 70)
                ++count;
        }
    return count;
}

template <class Button> std::unique_ptr<QAbstractButton> make() {
    auto button = std::make_unique<Button>();
    button->setText("Apply");
    return button;
}

// How strongly the red title shows: the mean excess of red over the other channels, across the reddish
// pixels.
double redTitleStrength(QAbstractButton& button) {
    const QImage drawn = button.grab().toImage();
    double sum = 0.0;
    int count = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const QColor pixel = drawn.pixelColor(x, y);
            if (const int excess = pixel.red() - std::max(pixel.green(), pixel.blue()); excess > 30) {
                sum += excess;
                ++count;
            }
        }
    return count ? sum / count : 0.0;
}

} // namespace

// Push buttons draw their title in one colour role, check boxes and radio buttons in another: each shows
// the colour set, and none shows it unasked.
TEST(ButtonTextColor, EveryKindOfButtonDrawsItsTitleInTheColourSet) {
    for (const auto maker : {&make<QPushButton>, &make<QCheckBox>, &make<QRadioButton>}) {
        const auto plain = maker();
        SCOPED_TRACE(plain->metaObject()->className());
        EXPECT_EQ(redTitlePixels(*plain, QColor()), 0) << "black on white: no red";
        const auto coloured = maker();
        EXPECT_GT(redTitlePixels(*coloured, Qt::red), 10);
        EXPECT_EQ(*textColor(*coloured), QColor(Qt::red));
    }
}

// A title given a colour still shows when its button is disabled: dimmer than while enabled, on every kind.
TEST(ButtonTextColor, ADisabledButtonDrawsItsColouredTitleDimmer) {
    for (const auto maker : {&make<QPushButton>, &make<QCheckBox>, &make<QRadioButton>, &make<QToolButton>}) {
        const auto button = maker();
        SCOPED_TRACE(button->metaObject()->className());
        ASSERT_GT(redTitlePixels(*button, Qt::red), 10);
        const double enabled = redTitleStrength(*button);
        button->setEnabled(false);
        const double disabled = redTitleStrength(*button);
        EXPECT_GT(disabled, 0.0) << "the title still shows";
        EXPECT_LT(disabled, 0.75 * enabled) << "enabled " << enabled << ", disabled " << disabled;
    }
}
