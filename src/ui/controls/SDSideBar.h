#pragma once

#include "platform/foundation/Scheduler.h"

#include <QButtonGroup>
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QAbstractButton;
class SDSideBar;

// Told which button of a side bar was chosen (when that button has no target of its own).
class SDSideBarDelegate {
public:
    virtual ~SDSideBarDelegate() = default;
    virtual void sideBarDidSelectButton(SDSideBar& bar, unsigned index) = 0;
};

// A dark vertical bar of picture buttons, one per row, exactly one of them selected, with a selection
// picture that slides (optionally animated) beside the selected button and a faint noise over the
// background. A click goes to the button's own target when it has one, else to the delegate.
class SDSideBar : public QWidget {
    Q_OBJECT
public:
    enum LayoutMode : unsigned { Top = 0, Centred = 1, Bottom = 2 };
    // Makes the bar's buttons (BCSideBarButtonCell by default).
    using CellFactory = std::function<QAbstractButton*(QWidget* parent)>;

    explicit SDSideBar(QWidget* parent = nullptr);
    ~SDSideBar() override;

    QAbstractButton* addButtonWithTitle(const QString& title, const QIcon& image = QIcon(),
                                        const QIcon& alternateImage = QIcon());
    // The button at that row answers its clicks with target's invokable method `action(SDSideBar*)`.
    void setTarget(QObject* target, const QByteArray& action, int index);
    // A row past the last selects row 0.
    void selectButtonAtRow(int row);
    void selectNext();
    // Does nothing from row 1 or 0.
    void selectPrev();
    int selectedIndex() const;
    // Null for a negative row or one past the last.
    QAbstractButton* cellForItem(int index) const;
    int buttonCount() const;

    unsigned layoutMode() const { return mode; }
    void setLayoutMode(unsigned value);
    double buttonsHeight() const { return buttonHeight; }
    void setButtonsHeight(double height);
    void setSelectionImage(const QImage& image);
    QLabel* selectorImageView() const { return selector; }
    void setCellClass(CellFactory factory) { makeCell = std::move(factory); }
    QColor backgroundColor() const { return background; }
    void setBackgroundColor(const QColor& colour);
    SDSideBarDelegate* sidebarDelegate() const { return delegate; }
    void setSidebarDelegate(SDSideBarDelegate* value) { delegate = value; }
    bool animateSelection() const { return animate; }
    void setAnimateSelection(bool value) { animate = value; }
    double animationDuration() const { return duration; }
    void setAnimationDuration(double seconds) { duration = seconds; }
    double noiseAlpha() const { return noise; }
    void setNoiseAlpha(double alpha);
    // The selection picture's moves are timed on it.
    void setScheduler(std::shared_ptr<platform::Scheduler> value) { scheduler = std::move(value); }
    QWidget* matrix() const { return buttons; }

    // The matrix's y measured upwards from the bar's bottom edge, for a mode: H - h at the top, (H - h) / 2
    // centred, 0 at the bottom; other modes keep `current`.
    static double matrixOriginY(unsigned mode, double barHeight, double matrixHeight, double current);
    // The shared noise picture: seeded monochrome random grey.
    static const QImage& noiseImage();
    // Every button in sight: a layout never makes the bar lower than its buttons.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void resizeMatrix();
    void layoutButtons();
    void moveSelectionImage();
    void buttonClicked();

    unsigned mode = Centred;
    QColor background = QColor(60, 60, 60);
    double buttonHeight = 60.0;
    SDSideBarDelegate* delegate = nullptr;
    QWidget* buttons;
    QButtonGroup group;
    QLabel* selector = nullptr;
    bool animate = false;
    double duration = 0.15;
    double noise = 0.0;
    CellFactory makeCell;
    std::shared_ptr<platform::Scheduler> scheduler = platform::Scheduler::mainThreadScheduler();
    platform::Scheduler::Handle slide;
};
