// The application's look read as a person reads it: each kind of control drawn enabled and disabled on the
// application's palette, whose disabled form must stand out less from its background than its enabled one.
#include "ui/main/ApplicationLook.h"

#include "support/MarkContrast.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using test_support::markContrast;

class ApplicationLookTest : public ::testing::Test {
protected:
    ApplicationLookTest() {
        if (auto* application = qobject_cast<QApplication*>(QCoreApplication::instance()))
            application_look::apply(*application);
    }
    static QImage drawn(QWidget& control, bool enabled) {
        control.setEnabled(enabled);
        control.resize(control.sizeHint().expandedTo(QSize(160, 24)));
        return control.grab().toImage();
    }
};

TEST_F(ApplicationLookTest, EveryDisabledControlReadsDimmerThanItsEnabledForm) {
    const std::pair<const char*, std::function<std::unique_ptr<QWidget>()>> controls[] = {
        {"button", [] { return std::make_unique<QPushButton>("Add Photos"); }},
        {"check box", [] { return std::make_unique<QCheckBox>("Stay signed in"); }},
        {"ticked check box",
         [] {
             auto box = std::make_unique<QCheckBox>("Stay signed in");
             box->setChecked(true);
             return box;
         }},
        {"slider",
         [] {
             auto slider = std::make_unique<QSlider>(Qt::Horizontal);
             slider->setRange(0, 100);
             slider->setValue(60);
             return slider;
         }},
        {"line edit", [] { return std::make_unique<QLineEdit>("Holiday 2024"); }},
        {"list",
         [] {
             auto list = std::make_unique<QListWidget>();
             list->addItems({"Classic", "Polaroid", "Film strip"});
             list->setFixedSize(160, 80);
             return list;
         }},
    };
    for (const auto& [name, make] : controls) {
        const auto control = make();
        const double enabled = markContrast(drawn(*control, true));
        const double disabled = markContrast(drawn(*control, false));
        EXPECT_LT(disabled, 0.75 * enabled) << name << ": enabled " << enabled << ", disabled " << disabled;
    }
}

// An unticked box, with no title beside it, on the window's grey and on the near-black of a call-out: the
// box itself must show where a click would tick it (a box edged in a shade of the surface stands out by
// about 10), and show less when disabled.
TEST_F(ApplicationLookTest, AnUntickedBoxStandsOutFromTheSurfaceItIsOn) {
    const std::pair<const char*, std::function<QAbstractButton*(QWidget*)>> boxes[] = {
        {"check box", [](QWidget* surface) { return new QCheckBox(surface); }},
        {"radio button", [](QWidget* surface) { return new QRadioButton(surface); }},
    };
    for (const QColor colour : {application_look::kWindowGrey, QColor(25, 25, 25)})
        for (const auto& [name, make] : boxes) {
            QWidget surface;
            QPalette palette = surface.palette();
            palette.setColor(QPalette::Window, colour);
            surface.setPalette(palette);
            surface.setAutoFillBackground(true);
            QAbstractButton* box = make(&surface); // the surface owns it
            box->resize(box->sizeHint());
            surface.resize(box->size());
            const auto drawnWith = [&](bool enabled) {
                box->setEnabled(enabled);
                return surface.grab().toImage();
            };
            const double enabled = markContrast(drawnWith(true));
            const double disabled = markContrast(drawnWith(false));
            EXPECT_GE(enabled, 20.0) << name << " on " << qPrintable(colour.name());
            EXPECT_LT(disabled, 0.75 * enabled) << name << " on " << qPrintable(colour.name());
            EXPECT_GT(disabled, 10.0) << name << " on " << qPrintable(colour.name());
        }
}

// The items of one menu, one enabled and one not, as the menu draws them side by side.
TEST_F(ApplicationLookTest, ADisabledMenuItemReadsDimmerThanAnEnabledOne) {
    QMenu menu;
    QAction* enabled = menu.addAction("Delete Slide");
    QAction* disabled = menu.addAction("Delete Slide");
    disabled->setEnabled(false);
    menu.resize(menu.sizeHint());
    const QImage picture = menu.grab().toImage();
    const double live = markContrast(picture.copy(menu.actionGeometry(enabled)));
    const double dim = markContrast(picture.copy(menu.actionGeometry(disabled)));
    EXPECT_LT(dim, 0.75 * live) << "enabled " << live << ", disabled " << dim;
}

} // namespace
