#include "ui/editing/blankImageWndController.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/StringTable.h"
#include "ui/UiNotifications.h"
#include "ui/editing/MoveItemsAtIndexes.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QVBoxLayout>

QString MyImageObject::imageTitle() const {
    return QFileInfo(filePath).fileName();
}

blankImageWndController::blankImageWndController(bool themeBackgroundMode, ProjectSource project,
                                                 QWidget* parent)
    : QDialog(parent), themeBackground(themeBackgroundMode), projectSource(std::move(project)),
      browser(new ImageBrowserView(*this, this)), okButton(new QPushButton(this)),
      defaultButton(new QPushButton(tr_("Default"), this)),
      cancelButton(new QPushButton(tr_("Cancel"), this)) {
    setObjectName("blankImageView");
    okButton->setObjectName("m_buttonOK");
    defaultButton->setObjectName("m_buttonDefault");
    okButton->setDefault(true);
    auto* column = new QVBoxLayout(this);
    column->addWidget(browser, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(defaultButton);
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    buttons->addWidget(okButton);
    column->addLayout(buttons);
    resize(760, 520);
    connect(okButton, &QPushButton::clicked, this, &blankImageWndController::addButtonClicked);
    connect(defaultButton, &QPushButton::clicked, this, &blankImageWndController::setDefaultButtonClicked);
    connect(cancelButton, &QPushButton::clicked, this, &blankImageWndController::cancelButtonClicked);
    connect(browser, &QAbstractItemView::doubleClicked, this, &blankImageWndController::addButtonClicked);
    windowDidLoad();
}

void blankImageWndController::windowDidLoad() {
    setupBrowsing();
    currentSelected = -1;
    okButton->setText(themeBackground ? tr_("Set") : tr_("Add"));
    setWindowTitle(themeBackground ? tr_("Set Theme Background Image") : tr_("Add a Blank Image"));
    defaultButton->setVisible(themeBackground);
}

void blankImageWndController::setupBrowsing() {
    imageList.clear();
    for (int number = 1; number <= kStockPictureCount; ++number) {
        const QString path = platform::paths::pathForResource(
            QStringLiteral("vector_%1").arg(number, 3, 10, QLatin1Char('0')), QStringLiteral("jpg"));
        if (!path.isEmpty())
            addImageWithPath(path);
    }
    browser->reloadData();
}

void blankImageWndController::addImageWithPath(const QString& path) {
    if (QFileInfo(path).fileName().startsWith(QLatin1Char('.')))
        return;
    imageList.emplace_back(path);
}

void blankImageWndController::addButtonClicked() {
    close();
    if (currentSelected < 0 || std::size_t(currentSelected) >= imageList.size())
        return;
    const QString path = imageList[std::size_t(currentSelected)].path();
    auto& center = platform::NotificationCenter::defaultCenter();
    if (!themeBackground) {
        center.post(kNotifyInsertBlankImage, path);
        return;
    }
    if (const auto project = projectSource()) {
        project->setStrThemeBackground(path);
        project->setBIsDirty(true);
    }
    center.post(kNotifyThemeItemSelected);
}

void blankImageWndController::setDefaultButtonClicked() {
    close();
    const auto project = projectSource();
    if (project && !project->strThemeBackground().isEmpty()) {
        project->setStrThemeBackground(QString());
        project->setBIsDirty(true);
    }
    platform::NotificationCenter::defaultCenter().post(kNotifyThemeItemSelected);
}

void blankImageWndController::cancelButtonClicked() {
    close();
}

// ---- the browser's data source

QString blankImageWndController::imageBrowserItemPath(int index) const {
    return index >= 0 && std::size_t(index) < imageList.size() ? imageList[std::size_t(index)].path()
                                                               : QString();
}

QString blankImageWndController::imageBrowserItemTitle(int index) const {
    return index >= 0 && std::size_t(index) < imageList.size() ? imageList[std::size_t(index)].imageTitle()
                                                               : QString();
}

void blankImageWndController::imageBrowserRemoveItemsAtIndexes(const IndexSet& indexes) {
    imageList = itemsWithoutIndexes(imageList, indexes);
    browser->reloadData();
}

bool blankImageWndController::imageBrowserMoveItemsAtIndexes(const IndexSet& indexes,
                                                             std::size_t destination) {
    moveItemsAtIndexes(imageList, indexes, destination);
    browser->reloadData();
    return true;
}

// An empty selection keeps the last choice.
void blankImageWndController::imageBrowserSelectionDidChange(const IndexSet& selection) {
    if (!selection.empty())
        currentSelected = int(*selection.begin());
}
