#include "ui/editing/TransitionSelectViewController.h"

#include "model/SlideshowProject.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/StringTable.h"
#include "render/transitions/TransitionManager.h"
#include "ui/UiNotifications.h"
#include "ui/controls/ButtonTextColor.h"
#include "ui/editing/MyListViewCell.h"
#include "ui/editing/ResourceImage.h"

namespace {

constexpr QSize kListSize{280, 372};

} // namespace

TransitionSelectViewController::TransitionSelectViewController(ProjectSource project, QWidget* parent)
    : ChoiceListViewController(kListSize, parent), projectSource(std::move(project)),
      applyToAll(new QCheckBox(this)), set(new QPushButton(tr_("Set"), this)) {
    setObjectName("TransitionSelectViewController");
    applyToAll->setObjectName("buttonApplyToAll");
    set->setObjectName("setButton");
    buttonRow()->addWidget(applyToAll, 1);
    buttonRow()->addWidget(set);
    connect(set, &QPushButton::clicked, this, &TransitionSelectViewController::setButtonClicked);
    connect(applyToAll, &QCheckBox::clicked, this, &TransitionSelectViewController::ApplyToAllButtonClicked);
    awakeFromNib();
    adjustSize();
}

void TransitionSelectViewController::awakeFromNib() {
    createTransitionArray();
    reloadChoices();
    const auto project = projectSource();
    applyToAll->setChecked(project && project->bApplyTransitionToAll());
    applyToAll->setText(tr_("Apply to All Photos"));
    button_text_color::setTextColor(*applyToAll, Qt::white);
    QPalette indicator = applyToAll->palette(); // the box stands out on the dark call-out
    indicator.setColor(QPalette::Base, QColor(96, 96, 102));
    applyToAll->setPalette(indicator);
}

void TransitionSelectViewController::createTransitionArray() {
    transitions3D = TransitionManager::transitionChoices(QStringLiteral("3D"));
    blends = TransitionManager::transitionChoices(QStringLiteral("Blend"));
    slices = TransitionManager::transitionChoices(QStringLiteral("Slices"));
    masks = TransitionManager::transitionChoices(QStringLiteral("Mask"));
    random = TransitionManager::transitionChoices(QStringLiteral("Random"));
    rows = transitions3D + blends + masks + random;
}

std::size_t TransitionSelectViewController::numberOfRowsInListView(RLListView&) {
    return std::size_t(rows.size());
}

RLListViewCell* TransitionSelectViewController::cellForRow(RLListView& listView, std::size_t row) {
    auto* cell = choiceCell<MyListViewCell>(listView, row);
    const QVariantMap& choice = rows[qsizetype(row)];
    cell->titleLabel()->setText(choice.value(QStringLiteral("name")).toString());
    cell->iconView()->setPixmap(
        QPixmap::fromImage(resourceImage(choice.value(QStringLiteral("image_name")).toString())));
    return cell;
}

void TransitionSelectViewController::post(std::size_t row) const {
    if (row >= std::size_t(rows.size()))
        return;
    platform::NotificationCenter::defaultCenter().post(kNotifyTransitionItemSelected, rows[qsizetype(row)]);
}

void TransitionSelectViewController::rowDoubleClicked(RLListView&, std::size_t row) {
    post(row);
}

void TransitionSelectViewController::setButtonClicked() {
    post(listView()->selectedRow());
}

void TransitionSelectViewController::ApplyToAllButtonClicked() {
    if (const auto project = projectSource())
        project->setBApplyTransitionToAll(applyToAll->isChecked());
}
