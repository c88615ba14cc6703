#pragma once

#include "ui/controls/RLListViewCell.h"

#include <QLabel>

// The row of the transition picker: an icon and a name on a rounded white plate, pale blue when selected.
// Assistive tools see it as a button named by its title.
class MyListViewCell : public RLListViewCell {
    Q_OBJECT
public:
    static constexpr int kIconSide = 48;

    explicit MyListViewCell(const QString& reusableIdentifier, QWidget* parent = nullptr);

    QLabel* titleLabel() const { return title; }
    QLabel* iconView() const { return icon; }
    // Empties the title; the icon stays until it is set again.
    void prepareForReuse() override;
    void layoutSubviews() override;
    QAccessible::Role accessibleRole() const override { return QAccessible::Button; }
    QString accessibleTitle() const override { return title->text(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* title;
    QLabel* icon;
};

// The row of the theme list: the theme's icon, its name and its description in the lines the row holds.
class ThemeListViewCell : public MyListViewCell {
    Q_OBJECT
public:
    static constexpr QSize kIconSize{96, 72};

    explicit ThemeListViewCell(const QString& reusableIdentifier, QWidget* parent = nullptr);

    QLabel* detailedText() const { return description; }
    void layoutSubviews() override;

private:
    QLabel* description;
};
