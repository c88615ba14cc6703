#pragma once

#include "ui/editing/ChoiceListViewController.h"
#include "ui/editing/ProjectSource.h"

#include <QCheckBox>
#include <QList>
#include <QPushButton>
#include <QVariantMap>

// The transition picker: every transition a slide can lead out with, an icon and a name a row, and the
// check box "Apply to All Photos". Picking a row (a double click, or Set) posts
// "NOTIFY_TRANSITION_ITEM_SELECTED" with the transition choice; the main window stores it.
class TransitionSelectViewController : public ChoiceListViewController {
    Q_OBJECT
public:
    static constexpr double kRowHeight = 60.0;

    explicit TransitionSelectViewController(ProjectSource project, QWidget* parent = nullptr);

    // The rows by category, and the list's rows: 3D, Blend, the masks, Random. The slices are built but
    // not offered.
    const QList<QVariantMap>& array3D() const { return transitions3D; }
    const QList<QVariantMap>& arrayColorBlend() const { return blends; }
    const QList<QVariantMap>& arraySlicesBox() const { return slices; }
    const QList<QVariantMap>& arrayMasks() const { return masks; }
    const QList<QVariantMap>& arrayRandom() const { return random; }
    const QList<QVariantMap>& allTransition() const { return rows; }

    QCheckBox* buttonApplyToAll() const { return applyToAll; }
    QPushButton* setButton() const { return set; }

    // RLListViewDelegate
    std::size_t numberOfRowsInListView(RLListView& list) override;
    double heightOfRow(RLListView&, std::size_t) override { return kRowHeight; }
    RLListViewCell* cellForRow(RLListView& list, std::size_t row) override;
    void rowDoubleClicked(RLListView& list, std::size_t row) override;

    void setButtonClicked();
    void ApplyToAllButtonClicked();

private:
    void createTransitionArray();
    void awakeFromNib();
    void post(std::size_t row) const;

    QList<QVariantMap> transitions3D, blends, slices, masks, random, rows;
    ProjectSource projectSource;
    QCheckBox* applyToAll;
    QPushButton* set;
};
