#pragma once

#include "ui/editing/ImageBrowserView.h"
#include "ui/editing/ProjectSource.h"

#include <QDialog>
#include <QPushButton>
#include <QString>

#include <vector>

// One picture of the blank-image window: its file.
class MyImageObject {
public:
    explicit MyImageObject(QString path) : filePath(std::move(path)) {}
    QString path() const { return filePath; }
    QString imageUID() const { return filePath; }
    QString imageRepresentation() const { return filePath; }
    QString imageTitle() const;

private:
    QString filePath;
};

// The 28 stock background pictures. In its normal mode Add posts "NOTIFY_INSERT_BLANK_IMAGE" with the chosen
// picture's path (the main window inserts it as a slide); in its theme-background mode Set makes the picture
// the project's theme background and Default removes it, each posting "NOTIFY_THEME_ITEM_SELECTED".
class blankImageWndController : public QDialog, public ImageBrowserDataSource {
    Q_OBJECT
public:
    static constexpr int kStockPictureCount = 28;

    // The theme-background mode sets or removes the background of the project.
    blankImageWndController(bool themeBackground, ProjectSource project, QWidget* parent = nullptr);

    bool m_bThemeBackground() const { return themeBackground; }
    int nCurrentSelected() const { return currentSelected; }
    const std::vector<MyImageObject>& images() const { return imageList; }
    ImageBrowserView* imageBrowser() const { return browser; }
    QPushButton* m_buttonOK() const { return okButton; }
    QPushButton* m_buttonDefault() const { return defaultButton; }

    // Fills the list with the stock pictures "vector_001" to "vector_028".
    void setupBrowsing();
    // Skips hidden files (a name starting with ".").
    void addImageWithPath(const QString& path);

    void addButtonClicked();
    void setDefaultButtonClicked();
    void cancelButtonClicked();

    // ImageBrowserDataSource
    int numberOfItemsInImageBrowser() const override { return int(imageList.size()); }
    QString imageBrowserItemPath(int index) const override;
    QString imageBrowserItemTitle(int index) const override;
    void imageBrowserRemoveItemsAtIndexes(const IndexSet& indexes) override;
    bool imageBrowserMoveItemsAtIndexes(const IndexSet& indexes, std::size_t destination) override;
    void imageBrowserSelectionDidChange(const IndexSet& selection) override;

private:
    void windowDidLoad();

    bool themeBackground;
    ProjectSource projectSource;
    int currentSelected = -1;
    std::vector<MyImageObject> imageList;
    ImageBrowserView* browser;
    QPushButton* okButton;
    QPushButton* defaultButton;
    QPushButton* cancelButton;
};
