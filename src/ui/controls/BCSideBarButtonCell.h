#pragma once

#include <QAbstractButton>
#include <QByteArray>
#include <QColor>
#include <QIcon>
#include <QPointer>

// A side bar's button: a dark cell with its picture above a small title, lighter while off. A cell may carry
// its own target (an object and the name of one of its invokable methods taking the bar), which then
// answers its clicks instead of the bar's delegate.
class BCSideBarButtonCell : public QAbstractButton {
    Q_OBJECT
public:
    explicit BCSideBarButtonCell(QWidget* parent = nullptr);

    QColor textColor() const { return titleColour; }
    void setTextColor(const QColor& colour);
    // Shown while the button is off; the normal picture when none.
    QIcon alternateImage() const { return alternate; }
    void setAlternateImage(const QIcon& image) { alternate = image; }

    QObject* realTarget() const { return target; }
    QByteArray realAction() const { return action; }
    void setRealTarget(QObject* object) { target = object; }
    // The method's name only ("switchToOptionsView"); it is called with the bar as argument.
    void setRealAction(const QByteArray& method) { action = method; }

    QSize sizeHint() const override { return {72, 60}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawBezel(class QPainter& painter, const QRectF& frame) const;

    QColor titleColour = Qt::white;
    QIcon alternate;
    QPointer<QObject> target;
    QByteArray action;
};

// A black picture button of the same family: the picture glows while it is pressed.
class BlackCell : public QAbstractButton {
    Q_OBJECT
public:
    explicit BlackCell(QWidget* parent = nullptr);
    QIcon alternateImage() const { return alternate; }
    void setAlternateImage(const QIcon& image) { alternate = image; }
    QSize sizeHint() const override { return {60, 60}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QIcon alternate;
};
