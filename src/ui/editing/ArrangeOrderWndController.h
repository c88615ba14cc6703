#pragma once

#include "ui/editing/ImageBrowserView.h"
#include "ui/editing/ProjectSource.h"

#include <QDialog>
#include <QPointer>
#include <QPushButton>

class SlideshowMainObject;

// Every slide of the project as a thumbnail: dragging reorders the slides and Delete removes them, both
// carried out by the main window controller.
class ArrangeOrderWndController : public QDialog, public ImageBrowserDataSource {
    Q_OBJECT
public:
    explicit ArrangeOrderWndController(ProjectSource project, QWidget* parent = nullptr);

    SlideshowMainObject* mainObject() const { return main; }
    void setMainObject(SlideshowMainObject* controller);
    ImageBrowserView* imageBrowser() const { return browser; }
    void CloseWindowClicked() { close(); }

    // ImageBrowserDataSource
    int numberOfItemsInImageBrowser() const override;
    QString imageBrowserItemPath(int index) const override;
    QString imageBrowserItemTitle(int index) const override;
    void imageBrowserRemoveItemsAtIndexes(const IndexSet& indexes) override;
    bool imageBrowserMoveItemsAtIndexes(const IndexSet& indexes, std::size_t destination) override;
    void imageBrowserSelectionDidChange(const IndexSet&) override {}

private:
    SlideItemRef slideAt(int index) const;

    ProjectSource projectSource;
    QPointer<SlideshowMainObject> main;
    ImageBrowserView* browser;
};
