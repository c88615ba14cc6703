#include "ui/main/BurnSetupPanel.h"

#include "dvd/DVDCommand.h"
#include "platform/foundation/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using platform::disc::DiscDrive;

namespace {

constexpr int kImageTarget = -1; // the item data of the disc image entry

} // namespace

BurnSetupPanel::Drives BurnSetupPanel::systemDrives() {
    Drives system;
    system.list = [](QString* error) {
        std::vector<platform::disc::DriveInfo> found;
        const auto library = platform::disc::DiscLibrary::acquire(error);
        if (library)
            library->listDrives(&found, error);
        return found;
    };
    system.inspect = [](const QString& address) {
        Inspection seen;
        seen.drive = DiscDrive::open(address, &seen.error);
        if (seen.drive)
            seen.media = seen.drive->mediaInfo();
        return seen;
    };
    return system;
}

BurnSetupPanel::BurnSetupPanel(Drives source, const QString& image, QWidget* parent)
    : QDialog(parent), drives(std::move(source)) {
    setObjectName("BurnSetupPanel");
    setWindowTitle(tr_("Burn DVD"));
    targetPopup = new QComboBox(this);
    targetPopup->setObjectName("targetPopup");
    QString listError;
    const auto found = drives.list ? drives.list(&listError) : std::vector<platform::disc::DriveInfo>();
    for (std::size_t i = 0; i < found.size(); ++i) {
        const auto& drive = found[i];
        const QString name = QStringLiteral("%1 %2 (%3)").arg(drive.vendor, drive.product, drive.address);
        targetPopup->addItem(name.simplified(), drive.address);
    }
    targetPopup->addItem(tr_("Disc image file"), kImageTarget);
    imagePath = new QLineEdit(image, this);
    imagePath->setObjectName("imagePath");
    chooseButton = new QPushButton(tr_("Choose..."), this);
    connect(chooseButton, &QPushButton::clicked, this, &BurnSetupPanel::chooseImageFile);
    connect(imagePath, &QLineEdit::textChanged, this, [this] { targetChanged(targetPopup->currentIndex()); });
    testBurnBox = new QCheckBox(tr_("Test burn"), this);
    testBurnBox->setObjectName("testBurnCheckbox");
    testBurnBox->setToolTip(tr_("Goes through the whole burn without writing anything."));
    prompt = new QLabel(this);
    prompt->setObjectName("promptString");
    prompt->setWordWrap(true);
    prompt->setMinimumHeight(prompt->fontMetrics().lineSpacing() * 2);

    auto* imageRow = new QHBoxLayout;
    imageRow->addWidget(imagePath, 1);
    imageRow->addWidget(chooseButton);
    auto* form = new QFormLayout;
    form->addRow(tr_("Write the DVD to:"), targetPopup);
    form->addRow(tr_("Image file:"), imageRow);
    form->addRow(QString(), testBurnBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    burnButton = buttons->addButton(tr_("Burn"), QDialogButtonBox::AcceptRole);
    burnButton->setObjectName("burnButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(prompt);
    column->addWidget(buttons);
    setMinimumWidth(480);

    connect(targetPopup, &QComboBox::currentIndexChanged, this, &BurnSetupPanel::targetChanged);
    connect(testBurnBox, &QCheckBox::toggled, this, [this] {
        if (imageChosen())
            targetChanged(targetPopup->currentIndex());
    });
    if (!listError.isEmpty() && found.empty())
        setPrompt(listError, false);
    targetChanged(targetPopup->currentIndex());
}

BurnSetupPanel::~BurnSetupPanel() = default;

bool BurnSetupPanel::imageChosen() const {
    return targetPopup->currentData().toInt() == kImageTarget &&
           targetPopup->currentData().typeId() == QMetaType::Int;
}

void BurnSetupPanel::targetChanged(int) {
    const bool image = imageChosen();
    imagePath->setEnabled(image);
    chooseButton->setEnabled(image);
    if (image) {
        current = {};
        const QFileInfo file(imagePath->text());
        if (imagePath->text().isEmpty() || !QFileInfo(file.absolutePath()).isDir() || file.isDir())
            setPrompt(tr_("Choose where the disc image file goes."), false);
        else if (testBurnBox->isChecked())
            setPrompt(tr_("A test burn writes nothing into the disc image file."), true);
        else if (file.exists())
            setPrompt(tr_("The disc image file %1 will be replaced.").arg(file.fileName()), true);
        else
            setPrompt(tr_("The DVD will be written into the disc image file."), true);
        return;
    }
    const QString address = targetPopup->currentData().toString();
    current = {}; // lets the drive looked at before go first: one process holds a drive at a time
    current = drives.inspect ? drives.inspect(address) : Inspection{};
    if (!current.error.isEmpty()) {
        setPrompt(current.error, false);
        return;
    }
    QString why;
    if (!DVDCommand::deviceCouldBeTarget(current.drive ? current.drive->info()
                                                       : platform::disc::DriveInfo{}) ||
        !DVDCommand::deviceContainsSuitableMedia(current.media, &why)) {
        setPrompt(why, false);
        return;
    }
    setPrompt(tr_("Ready to burn on %1.").arg(platform::disc::mediaProfileName(current.media.profile)), true);
}

void BurnSetupPanel::setPrompt(const QString& text, bool canGo) {
    prompt->setText(text);
    ready = canGo;
    burnButton->setEnabled(canGo);
}

QString BurnSetupPanel::promptText() const {
    return prompt->text();
}

bool BurnSetupPanel::canBurn() const {
    return ready;
}

void BurnSetupPanel::chooseImageFile() {
    const QString chosen = QFileDialog::getSaveFileName(this, tr_("Disc Image File"), imagePath->text(),
                                                        tr_("Disc images (*.iso)"));
    if (!chosen.isEmpty())
        imagePath->setText(chosen);
}

std::shared_ptr<DiscDrive> BurnSetupPanel::takeChosenDrive(QString* error) {
    if (result() != QDialog::Accepted || !ready)
        return nullptr;
    const bool test = testBurnBox->isChecked();
    std::shared_ptr<DiscDrive> chosen;
    if (imageChosen()) {
        // The image is written beside its name and put there only once it is whole: an image that is there
        // stays as it is until then, and after a test burn, a failure or a cancel.
        chosen = DiscDrive::openImageFile(QFileInfo(imagePath->text()).absoluteFilePath(), error);
    } else {
        chosen = std::exchange(current.drive, nullptr);
    }
    if (chosen)
        chosen->setTestBurn(test);
    return chosen;
}
