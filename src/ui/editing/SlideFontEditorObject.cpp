#include "ui/editing/SlideFontEditorObject.h"

#include "ui/UiNotifications.h"
#include "ui/editing/EditingPanelSupport.h"
#include "ui/editing/SlideFontWndController.h"

SlideFontEditorObject::SlideFontEditorObject(ProjectSource project, QWidget* parentWindow)
    : projectSource(std::move(project)),
      window(new SlideFontWndController(projectSource,
                                        parentWindow)) { // goes with this object, or with its window
    auto& center = platform::NotificationCenter::defaultCenter();
    toolboxObserver = platform::ObserverHandle(
        center,
        center.addObserver(kNotifyToolboxButtonClicked, [this](const platform::Notification& notification) {
            ToolboxButtonTextClicked(notification);
        }));
}

SlideFontEditorObject::~SlideFontEditorObject() {
    delete window.data(); // a window whose parent window has gone is null here
}

SlideFontWndController* SlideFontEditorObject::panelWndController() const {
    return window;
}

// Typing goes to the text each time: the window would otherwise give the keyboard back to the control that
// had it, Done above all, where letters go nowhere and a space plays the show (the main window's shortcuts
// reach through a tool window).
void SlideFontEditorObject::textButtonClicked() {
    editing_panel::setCurrentStatus(projectSource(), 2);
    if (!window)
        return;
    editing_panel::present(*window);
    window->textField()->setFocus(Qt::OtherFocusReason);
}

void SlideFontEditorObject::ToolboxButtonTextClicked(const platform::Notification& notification) {
    if (notification.object.toString() == QLatin1String("Text"))
        textButtonClicked();
}

void SlideFontEditorObject::setTextInfoDict(const QVariantMap& info) {
    for (auto it = info.begin(); it != info.end(); ++it)
        textInfo.insert(it.key(), it.value());
    if (window)
        window->setFontDict(info);
}
