#include "ui/editing/ArrangeOrderWndController.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/StringTable.h"
#include "ui/main/SlideshowMainObject.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

ArrangeOrderWndController::ArrangeOrderWndController(ProjectSource project, QWidget* parent)
    : QDialog(parent), projectSource(std::move(project)), browser(new ImageBrowserView(*this, this)) {
    setObjectName("ArrangeOrderWndController");
    setWindowTitle(tr_("Arrange Slides"));
    auto* hint =
        new QLabel(tr_("Drag the slides into their order. Delete removes the selected slides."), this);
    auto* close = new QPushButton(tr_("Close"), this);
    close->setObjectName("closeButton");
    auto* column = new QVBoxLayout(this);
    column->addWidget(hint);
    column->addWidget(browser, 1);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(close);
    column->addLayout(row);
    resize(800, 560);
    connect(close, &QPushButton::clicked, this, &ArrangeOrderWndController::CloseWindowClicked);
    browser->setAllowsReordering(true);
    browser->reloadData();
}

void ArrangeOrderWndController::setMainObject(SlideshowMainObject* controller) {
    main = controller;
    browser->reloadData();
}

int ArrangeOrderWndController::numberOfItemsInImageBrowser() const {
    const auto project = projectSource();
    return project ? int(project->slideCount()) : 0;
}

// The timeline's thumbnail when there is one: the slide's full picture may still be being prepared.
QString ArrangeOrderWndController::imageBrowserItemPath(int index) const {
    const SlideItemRef slide = slideAt(index);
    if (!slide)
        return QString();
    const QString thumbnail = slide->strThumbFileName();
    if (!thumbnail.isEmpty() && QFileInfo(thumbnail).size() > 0)
        return thumbnail;
    return slide->imageRepresentation();
}

QString ArrangeOrderWndController::imageBrowserItemTitle(int index) const {
    const SlideItemRef slide = slideAt(index);
    if (!slide)
        return QString();
    // A clip goes by its clip's name: its picture is one made from the clip, under a name of the project's.
    if (slide->itemType() == SlideItem::kItemTypeVideo)
        return slide->mediaFileName();
    const QString original = slide->strOriginalFileName();
    return original.isEmpty() ? slide->imageTitle() : QFileInfo(original).fileName();
}

void ArrangeOrderWndController::imageBrowserRemoveItemsAtIndexes(const IndexSet& indexes) {
    if (main)
        main->removeItemsAtIndexes(indexes);
    browser->reloadData();
}

bool ArrangeOrderWndController::imageBrowserMoveItemsAtIndexes(const IndexSet& indexes,
                                                               std::size_t destination) {
    if (main)
        main->moveItemsAtIndexes(indexes, destination);
    browser->reloadData();
    return true;
}

SlideItemRef ArrangeOrderWndController::slideAt(int index) const {
    const auto project = projectSource();
    if (!project || index < 0)
        return nullptr;
    return project->slideItemAtIndex(std::size_t(index));
}
