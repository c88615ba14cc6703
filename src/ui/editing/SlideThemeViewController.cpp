#include "ui/editing/SlideThemeViewController.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "ui/UiNotifications.h"
#include "ui/editing/MyListViewCell.h"
#include "ui/editing/ResourceImage.h"
#include "ui/main/ControllerDialogs.h"

namespace {

constexpr QSize kListSize{440, 360};

} // namespace

QVariantList SlideThemeViewController::themes() const {
    const auto project = projectSource();
    return project && project->themeManger() ? project->themeManger()->themeArray() : QVariantList();
}

SlideThemeViewController::SlideThemeViewController(ProjectSource project, QWidget* parent)
    : ChoiceListViewController(kListSize, parent), projectSource(std::move(project)),
      set(new QPushButton(tr_("Set"), this)), customize(new QPushButton(tr_("Customize"), this)) {
    setObjectName("SlideThemeViewController");
    buttonRow()->addWidget(customize);
    buttonRow()->addStretch();
    buttonRow()->addWidget(set);
    connect(set, &QPushButton::clicked, this, &SlideThemeViewController::SetThemeButtonClicked);
    connect(customize, &QPushButton::clicked, this, &SlideThemeViewController::CustomizeThemeButtonClicked);
    awakeFromNib();
    adjustSize();
}

void SlideThemeViewController::awakeFromNib() {
    reloadChoices();
    selectCurrentTheme();
}

// The last row whose theme is the current one is selected.
void SlideThemeViewController::selectCurrentTheme() {
    const auto project = projectSource();
    const auto manager = project ? project->themeManger() : nullptr;
    const std::optional<int> current = manager ? manager->currentThemeID() : std::nullopt;
    listView()->deselectAll();
    if (!current)
        return;
    const QVariantList all = themes();
    for (qsizetype row = 0; row < all.size(); ++row)
        if (all[row].toMap().value(QStringLiteral("ThemeID")).toInt() == *current)
            listView()->setSelectedRow(std::size_t(row));
}

std::size_t SlideThemeViewController::numberOfRowsInListView(RLListView&) {
    return std::size_t(themes().size());
}

RLListViewCell* SlideThemeViewController::cellForRow(RLListView& listView, std::size_t row) {
    auto* cell = choiceCell<ThemeListViewCell>(listView, row);
    const QVariantMap theme = themes().value(qsizetype(row)).toMap();
    const QString name = theme.value(QStringLiteral("ThemeName")).toString();
    cell->titleLabel()->setText(name);
    const QString description = theme.value(QStringLiteral("ThemeDescription")).toString();
    cell->detailedText()->setText(description);
    // A narrow pane cuts a long name or description short: the whole of both on hover.
    cell->setToolTip(name + QLatin1Char('\n') + description);
    cell->iconView()->setPixmap(
        QPixmap::fromImage(resourceImage(theme.value(QStringLiteral("ThemeIcon")).toString())));
    return cell;
}

void SlideThemeViewController::post(std::size_t row) const {
    const QVariantList all = themes();
    if (row >= std::size_t(all.size()))
        return;
    platform::NotificationCenter::defaultCenter().post(kNotifyThemeItemSelected, all[qsizetype(row)].toMap());
}

void SlideThemeViewController::rowDoubleClicked(RLListView&, std::size_t row) {
    post(row);
}

void SlideThemeViewController::SetThemeButtonClicked() {
    post(listView()->selectedRow());
}

// The theme is set first; the main window lets this list go meanwhile, but not before the modal window
// has ended (no deferred delete runs inside it).
void SlideThemeViewController::CustomizeThemeButtonClicked() {
    SetThemeButtonClicked();
    if (blankWindow) {
        blankWindow->close();
        blankWindow.reset();
    }
    if (makeBlankWindow)
        blankWindow = makeBlankWindow();
    if (blankWindow && dialogs)
        dialogs->runModalWindow(*blankWindow);
}
