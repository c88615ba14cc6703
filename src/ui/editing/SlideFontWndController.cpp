#include "ui/editing/SlideFontWndController.h"

#include "platform/foundation/MainThread.h"
#include "platform/foundation/StringTable.h"
#include "platform/foundation/UserDefaults.h"
#include "render/RenderNotifications.h"
#include "ui/UiNotifications.h"
#include "ui/controls/CSCircularSlider.h"
#include "ui/editing/EditingPanelSupport.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kFamilyPointSize = 12;

QIcon swatch(const QColor& colour) {
    QPixmap picture(36, 18);
    picture.fill(colour);
    return QIcon(picture);
}

} // namespace

SlideFontWndController::SlideFontWndController(ProjectSource project, QWidget* parent)
    : QWidget(parent), projectSource(std::move(project)), text(new QLineEdit(this)),
      fontPopup(new QComboBox(this)), colourWell(new QPushButton(this)),
      sizeSlider(new QSlider(Qt::Horizontal, this)), dial(new CSCircularSlider(this)),
      done(new QPushButton(tr_("Done"), this)), fonts(new QPushButton(tr_("Fonts..."), this)) {
    editing_panel::makeToolWindow(*this, QStringLiteral("FontPanelWindow"), tr_("Text"));
    editing_panel::closeOnEscapeInParentWindow(*this);
    text->setObjectName("textField");
    fontPopup->setObjectName("mFontPopup");
    colourWell->setObjectName("fontColorWell");
    sizeSlider->setObjectName("fontSizeSlider");
    sizeSlider->setRange(kSizeRange[0], kSizeRange[1]);
    dial->setObjectName("m_angleCircleSlider");
    dial->setFixedSize(80, 80);
    fonts->setObjectName("fontButton");
    done->setObjectName("doneButton");
    layOut();
    windowDidLoad();
    connect(text, &QLineEdit::textEdited, this, &SlideFontWndController::SetFontInfo);
    connect(fontPopup, &QComboBox::activated, this, &SlideFontWndController::SetFontInfo);
    connect(sizeSlider, &QSlider::valueChanged, this, &SlideFontWndController::SetFontInfo);
    connect(colourWell, &QPushButton::clicked, this, &SlideFontWndController::chooseColour);
    connect(done, &QPushButton::clicked, this, &SlideFontWndController::EditFontDone);
    connect(fonts, &QPushButton::clicked, this, &SlideFontWndController::fontButtonClicked);
}

SlideFontWndController::~SlideFontWndController() = default;

void SlideFontWndController::layOut() {
    auto* grid = new QGridLayout(this); // the window owns its layout
    grid->setContentsMargins(14, 12, 14, 12);
    grid->addWidget(new QLabel(tr_("Text:"), this), 0, 0);
    grid->addWidget(text, 0, 1, 1, 2);
    grid->addWidget(new QLabel(tr_("Font:"), this), 1, 0);
    grid->addWidget(fontPopup, 1, 1);
    grid->addWidget(colourWell, 1, 2);
    grid->addWidget(new QLabel(tr_("Size:"), this), 2, 0);
    grid->addWidget(sizeSlider, 2, 1, 1, 2);
    grid->addWidget(new QLabel(tr_("Angle:"), this), 3, 0);
    grid->addWidget(dial, 3, 1, Qt::AlignLeft);
    grid->addWidget(fonts, 4, 1, Qt::AlignLeft);
    grid->addWidget(done, 4, 2, Qt::AlignRight);
    text->setMinimumWidth(260);
}

void SlideFontWndController::windowDidLoad() {
    dial->setAngleUnits(CSCircularSlider::Degrees);
    dial->setAllowsCenterPoint(true);
    dial->setAllowsNonEdgePositions(true);
    dial->setAppearance(CSCircularSlider::Blue);
    dial->setAction([this](CSCircularSlider&) { SetFontInfo(); });
    dial->setAngle(0.0f, kDialDistance);
    dragX = 0;
    dragY = 0;
    auto& center = platform::NotificationCenter::defaultCenter();
    // The preview posts on the thread that handles its mouse; the window is the main thread's.
    positionObserver = platform::ObserverHandle(
        center,
        center.addObserver(kNotifyTextPositionChanged,
                           [this, poster = gate.poster()](const platform::Notification& notification) {
                               poster.post([this, notification] { TextPositionChanged(notification); });
                           }));
    const QVariant stored = platform::UserDefaults::standard().value(QStringLiteral("FontTextColor"));
    if (stored.isValid())
        showColour(stored.value<QColor>());
    else
        showColour(colour);
    fillFontPopup();
}

QStringList SlideFontWndController::fontFamilies() {
    QStringList families = QFontDatabase::families();
    std::sort(families.begin(), families.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return families;
}

void SlideFontWndController::fillFontPopup() {
    const QSignalBlocker quiet(fontPopup);
    fontPopup->clear();
    for (const QString& family : fontFamilies()) {
        fontPopup->addItem(family);
        fontPopup->setItemData(fontPopup->count() - 1, QFont(family, kFamilyPointSize), Qt::FontRole);
    }
    selectFamily(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
}

// A family this machine lacks stays the slide's own: it is listed rather than replaced.
void SlideFontWndController::selectFamily(const QString& family) {
    if (family.isEmpty())
        return;
    const QSignalBlocker quiet(fontPopup);
    int index = fontPopup->findText(family);
    if (index < 0) {
        fontPopup->addItem(family);
        index = fontPopup->count() - 1;
    }
    fontPopup->setCurrentIndex(index);
}

void SlideFontWndController::showColour(const QColor& value) {
    colour = value;
    colourWell->setIcon(swatch(value));
    colourWell->setIconSize(QSize(36, 18));
}

void SlideFontWndController::chooseColour() {
    if (!colourPanel) {
        colourPanel = new QColorDialog(colour, this); // the window owns its colour panel
        colourPanel->setOption(QColorDialog::NoButtons);
        connect(colourPanel, &QColorDialog::currentColorChanged, this, &SlideFontWndController::setFontColor);
    }
    colourPanel->setCurrentColor(colour);
    editing_panel::present(*colourPanel);
}

// Nothing listens to the panel: the text keeps the family, size and colour of the window's own controls.
void SlideFontWndController::fontButtonClicked() {
    if (!systemFontPanel) {
        systemFontPanel = new QFontDialog(this); // the window owns its font panel
        systemFontPanel->setOption(QFontDialog::NoButtons);
        systemFontPanel->setOption(QFontDialog::DontUseNativeDialog);
    }
    systemFontPanel->setCurrentFont(QFont(QStringLiteral("Helvetica"), kFontPanelPointSize));
    editing_panel::present(*systemFontPanel);
}

void SlideFontWndController::setFontColor(const QColor& value) {
    showColour(value);
    SetFontInfo();
}

// The offsets start from the slide's own: the y offset is stored negated.
void SlideFontWndController::setFontDict(const QVariantMap& info) {
    for (auto it = info.begin(); it != info.end(); ++it)
        dict.insert(it.key(), it.value());
    const QSignalBlocker quietText(text);
    const QSignalBlocker quietSize(sizeSlider);
    text->setText(info.value(QStringLiteral("Text")).toString());
    if (info.contains(QStringLiteral("FontColor")))
        showColour(info.value(QStringLiteral("FontColor")).value<QColor>());
    sizeSlider->setValue(info.value(QStringLiteral("FontSize")).toInt());
    dial->setAngle(-float(info.value(QStringLiteral("FontAngle")).toDouble()), kDialDistance);
    selectFamily(info.value(QStringLiteral("FontName")).toString());
    dragX = info.value(QStringLiteral("FontPositionOffsetX")).toInt();
    dragY = -info.value(QStringLiteral("FontPositionOffsetY")).toInt();
}

void SlideFontWndController::SetFontInfo() {
    editing_panel::setCurrentStatus(projectSource(), 2);
    SetFontInfoWithoutStatus();
}

void SlideFontWndController::SetFontInfoWithoutStatus() {
    float degrees = 0.0f;
    dial->getAngle(&degrees, nullptr);
    dict.insert(QStringLiteral("Text"), text->text());
    dict.insert(QStringLiteral("FontSize"), sizeSlider->value());
    dict.insert(QStringLiteral("FontAngle"), int(std::trunc(-degrees)));
    dict.insert(QStringLiteral("FontName"), fontPopup->currentText());
    dict.insert(QStringLiteral("FontColor"), colour);
    platform::NotificationCenter::defaultCenter().post(kNotifyFontInfoChanged, dict);
}

void SlideFontWndController::TextPositionChanged(const platform::Notification& notification) {
    const QVariantMap delta = notification.object.toMap();
    dragX += delta.value(QStringLiteral("deltaX")).toDouble();
    dragY += delta.value(QStringLiteral("deltaY")).toDouble();
    dict.insert(QStringLiteral("FontPositionOffsetX"), offsetX());
    dict.insert(QStringLiteral("FontPositionOffsetY"), -offsetY());
    SetFontInfo();
}

void SlideFontWndController::EditFontDone() {
    close();
}

// The close box and Escape end the editing as Done does: the text stays as last shown, without the frame of
// its editing, and a drag on the preview no longer moves it. Another panel's mode is left alone.
void SlideFontWndController::closeEvent(QCloseEvent* event) {
    if (isVisible()) {
        const SlideshowProjectRef project = projectSource();
        if (project && project->nCurrentStatus() == 2)
            editing_panel::setCurrentStatus(project, 0);
        SetFontInfoWithoutStatus();
    }
    QWidget::closeEvent(event);
}
