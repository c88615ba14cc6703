#include "ui/editing/ToolboxWindowController.h"

#include "platform/foundation/StringTable.h"
#include "ui/UiNotifications.h"
#include "ui/editing/EditingPanelSupport.h"

#include <QVBoxLayout>

ToolboxWindowController::ToolboxWindowController(QWidget* parent) : QWidget(parent) {
    editing_panel::makeToolWindow(*this, QStringLiteral("ToolboxWindowController"), tr_("Tools"));
    auto* column = new QVBoxLayout(this); // the window owns its layout
    column->setContentsMargins(10, 10, 10, 10);
    const struct {
        const char* tool;
        QString title, tip;
        void (ToolboxWindowController::*action)();
    } tools[] = {
        {"Rotate", tr_("Rotate"), tr_("Turn the slide a quarter turn clockwise"),
         &ToolboxWindowController::rotateButtonClicked},
        {"Text", tr_("Text"), QString(), &ToolboxWindowController::textButtonClicked},
        {"PanZoom", tr_("Pan and Zoom"), QString(), &ToolboxWindowController::panZoomButtonClicked},
        {"ColorAdjust", tr_("Adjust Colour"), QString(), &ToolboxWindowController::colorAdjustButtonClicked}};
    for (const auto& tool : tools) {
        auto* button = new QPushButton(tool.title, this);
        button->setObjectName(QString::fromLatin1(tool.tool));
        button->setToolTip(tool.tip);
        button->setFocusPolicy(Qt::NoFocus);
        button->setMinimumWidth(130);
        connect(button, &QPushButton::clicked, this, tool.action);
        column->addWidget(button);
    }
    adjustSize();
}

void ToolboxWindowController::postTool(const QString& tool) {
    platform::NotificationCenter::defaultCenter().post(kNotifyToolboxButtonClicked, tool);
}

QPushButton* ToolboxWindowController::button(const QString& tool) const {
    return findChild<QPushButton*>(tool);
}

ToolboxObject::ToolboxObject(QWidget* parentWindow)
    : window(new ToolboxWindowController(parentWindow)) { // goes with this object, or with its window
    auto& center = platform::NotificationCenter::defaultCenter();
    showObserver = platform::ObserverHandle(
        center, center.addObserver(kNotifyShowToolbarIconClick,
                                   [this](const platform::Notification&) { ShowToolbarPanel(); }));
}

ToolboxObject::~ToolboxObject() {
    delete window.data(); // a window whose parent window has gone is null here
}

void ToolboxObject::ShowToolbarPanel() {
    if (!window)
        return;
    if (window->isVisible())
        window->close();
    else
        editing_panel::present(*window);
}
