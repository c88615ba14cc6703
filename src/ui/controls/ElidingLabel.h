#pragma once

#include <QLabel>

// A label that never shows a line cut off: a text too long for it ends, on the last line that fits whole,
// with an ellipsis. Without word wrap that is its one line; with word wrap, as many whole lines as its height
// holds (at least one). text() keeps the whole of it.
class ElidingLabel : public QLabel {
public:
    using QLabel::QLabel;

    // What the label draws: its lines, separated by '\n'.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
