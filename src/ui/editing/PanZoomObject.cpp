#include "ui/editing/PanZoomObject.h"

#include "platform/foundation/StringTable.h"
#include "render/RenderNotifications.h"
#include "ui/UiNotifications.h"
#include "ui/controls/CSCircularSlider.h"
#include "ui/editing/EditingPanelSupport.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>

PanZoomObject::PanZoomObject(ProjectSource project, QWidget* window)
    : projectSource(std::move(project)), parentWindow(window) {
    auto& center = platform::NotificationCenter::defaultCenter();
    toolboxObserver = platform::ObserverHandle(
        center,
        center.addObserver(kNotifyToolboxButtonClicked, [this](const platform::Notification& notification) {
            ToolboxButtonPanZoomClicked(notification);
        }));
}

PanZoomObject::~PanZoomObject() {
    delete panel.data(); // a window whose parent window has gone is null here
}

void PanZoomObject::makePanel() {
    if (panel)
        return;
    panel = new QWidget(parentWindow); // goes with this object, or with its window
    editing_panel::makeToolWindow(*panel, QStringLiteral("panzoomPanel"), tr_("Pan and Zoom"));
    scale = new QSlider(Qt::Horizontal, panel);
    scale->setObjectName("scaleSlider");
    scale->setRange(kScaleRange[0], kScaleRange[1]);
    scale->setValue(kScaleRange[0]);
    dial = new CSCircularSlider(panel);
    dial->setObjectName("m_scaleSlider");
    dial->setFixedSize(80, 80);
    dial->setAngleUnits(CSCircularSlider::Radians);
    dial->setAllowsCenterPoint(true);
    dial->setAllowsNonEdgePositions(true);
    dial->setAppearance(CSCircularSlider::Blue);
    dial->setAction([this](CSCircularSlider&) { sliderChanged(); });
    dial->setAngle(0.0f, 40.0f);
    auto* start = new QPushButton(tr_("Set as Start"), panel);
    start->setObjectName("setStartFrameButton");
    auto* end = new QPushButton(tr_("Set as End"), panel);
    end->setObjectName("setEndFrameButton");
    auto* grid = new QGridLayout(panel); // the panel owns its layout
    grid->setContentsMargins(14, 12, 14, 12);
    grid->addWidget(new QLabel(tr_("Zoom"), panel), 0, 0);
    grid->addWidget(scale, 0, 1);
    grid->addWidget(new QLabel(tr_("Rotation"), panel), 1, 0);
    grid->addWidget(dial, 1, 1, Qt::AlignCenter);
    grid->addWidget(start, 2, 0);
    grid->addWidget(end, 2, 1, Qt::AlignRight);
    connect(scale, &QSlider::valueChanged, this, &PanZoomObject::sliderScaleChanged);
    connect(start, &QPushButton::clicked, this, &PanZoomObject::SetStartFrameButtonClicked);
    connect(end, &QPushButton::clicked, this, &PanZoomObject::SetEndFrameButtonClicked);
    panel->installEventFilter(this); // after the Escape filter, which closes the panel
    panel->adjustSize();
    editing_panel::closeOnEscapeInParentWindow(*panel);
}

// The close box and Escape both close the panel. What it showed and was not set as start or end is not the
// slide's, and a drag on the preview pans nothing any more.
bool PanZoomObject::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panel && event->type() == QEvent::Close && panel->isVisible()) {
        const SlideshowProjectRef project = projectSource();
        if (project && project->nCurrentStatus() == 3)
            editing_panel::setCurrentStatus(project, 0);
        post(QStringLiteral("CLOSE"), 0.0);
    }
    return QObject::eventFilter(watched, event);
}

void PanZoomObject::PanzoomButtonClicked() {
    editing_panel::setCurrentStatus(projectSource(), 3);
    makePanel();
    editing_panel::present(*panel);
}

void PanZoomObject::ToolboxButtonPanZoomClicked(const platform::Notification& notification) {
    if (notification.object.toString() == QLatin1String("PanZoom"))
        PanzoomButtonClicked();
}

void PanZoomObject::post(const QString& name, double value) const {
    platform::NotificationCenter::defaultCenter().post(kNotifyPanZoomChanged,
                                                       QVariantMap{{"NAME", name}, {"VALUE", value}});
}

void PanZoomObject::sliderScaleChanged() {
    editing_panel::setCurrentStatus(projectSource(), 3);
    const double value = scale->value();
    if (value == lastScale)
        return;
    lastScale = value;
    post(QStringLiteral("SCALE"), value);
}

void PanZoomObject::rotateTo(double value) {
    editing_panel::setCurrentStatus(projectSource(), 3);
    if (value == lastRotation)
        return;
    lastRotation = value;
    post(QStringLiteral("ROTATE"), value);
}

void PanZoomObject::sliderChanged() {
    float angle = 0.0f;
    dial->getAngle(&angle, nullptr);
    rotateTo(-double(angle));
}

void PanZoomObject::sliderRotateChanged(double value) {
    rotateTo(value);
}

void PanZoomObject::SetStartFrameButtonClicked() {
    post(QStringLiteral("START"), 0.0);
}

void PanZoomObject::SetEndFrameButtonClicked() {
    post(QStringLiteral("END"), 0.0);
}
