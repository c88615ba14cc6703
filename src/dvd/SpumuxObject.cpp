#include "dvd/SpumuxObject.h"

#include "dvd/DVDFiles.h"
#include "dvd/DVDMenuItem.h"
#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/ToolLocator.h"
#include "platform/image/ImageAdditions.h"

#include <QFileInfo>
#include <QPainter>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

const QString kStep = QStringLiteral("spumux");

} // namespace

SpumuxObject::SpumuxObject(const DVDProjectSettings& settings)
    : project(settings), temporary(settings.resolvedTemporaryFolder()),
      pngquantPath(platform::locateTool(QStringLiteral("pngquant"))) {
    const QStringList paths = temporaryPaths(settings);
    if (!paths.isEmpty()) {
        xmlPath = paths[0];
        outputPath = paths[1];
    }
}

QStringList SpumuxObject::temporaryPaths(const DVDProjectSettings& settings) {
    const QString small = settings.resolvedTemporaryFolder();
    const QString large = settings.resolvedLargeTemporaryFolder();
    if (small.isEmpty() || large.isEmpty())
        return {};
    return {pathIn(small, QStringLiteral("spumux.xml")), pathIn(large, QStringLiteral("dvdmenu_out.mpg"))};
}

QString SpumuxObject::buttonRows(const QList<QRect>& rects) {
    QString rows;
    const qsizetype count = rects.size();
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype k = i + 1;
        const QRect& r = rects[i];
        rows += QStringLiteral(
                    "<button name=\"%1\" x0=\"%2\" y0=\"%3\" x1=\"%4\" y1=\"%5\" up=\"%6\" down=\"%7\" "
                    "left=\"%8\" right=\"%9\" />\n")
                    .arg(k)
                    .arg(r.x())
                    .arg(r.y())
                    .arg(r.x() + r.width())
                    .arg(r.y() + r.height())
                    .arg(k == 1 ? 1 : k - 1)
                    .arg(k == count ? 1 : k + 1)
                    .arg(k == 1 ? 1 : k - 1)
                    .arg(k == count ? 1 : k + 1);
    }
    return rows;
}

QString SpumuxObject::menuCode(qsizetype buttonCount, const QString& muxedMenuPath) {
    QString code;
    for (qsizetype k = 1; k <= buttonCount; ++k)
        code += QStringLiteral("<button> jump title %1; </button>\n").arg(k);
    code += QStringLiteral("<vob file=\"%1\" pause=\"0\"/>\n<post>jump cell 1;</post>")
                .arg(xmlEscaped(muxedMenuPath));
    return code;
}

bool SpumuxObject::image_spumux(const QList<QRect>& stateButtonRectArray, DVDStepError* error) {
    buttons = stateButtonRectArray;
    if (!createXMLFile(error) || !run_spumuxCommand(error))
        return false;
    createMenuCode();
    return true;
}

bool SpumuxObject::createXMLFile(DVDStepError* error) {
    if (temporary.isEmpty())
        return failStep(error, kStep, platform::paths::temporaryFolderProblem());
    QString text, message;
    if (!readTextResource(QStringLiteral("spumux_template"), QStringLiteral("xml"), &text, &message))
        return failStep(error, kStep, message);
    auto picture = [this](int state) {
        const QString path = DVDMenuItem::reducedStateImagePath(temporary, state);
        if (std::size_t(state) < statePictures.size() && statePictures[std::size_t(state)])
            return xmlEscaped(platform::pathReaching(statePictures[std::size_t(state)].get(), path));
        return xmlEscaped(path);
    };
    text = substitutePlaceholders(
        text, {{QStringLiteral("NORMAL_IMAGE_PATH"), picture(DVDMenuItem::Normal)},
               {QStringLiteral("HIGHLIGHT_IMAGE_PATH"), picture(DVDMenuItem::Highlighted)},
               {QStringLiteral("SELECTED_IMAGE_PATH"), picture(DVDMenuItem::Selected)},
               {QStringLiteral("BUTTON_ARRAY"), buttonRows(buttons)}});
    xmlFile = writeNewOwnFile(xmlPath, text.toUtf8(), &message);
    if (!xmlFile)
        return failStep(error, kStep, message);
    return true;
}

bool SpumuxObject::run_spumuxCommand(DVDStepError* error) {
    if (!isNonEmptyFile(inputPath))
        return failStep(error, kStep,
                        QStringLiteral("The menu stream \"%1\" is missing or empty.").arg(inputPath));
    if (!xmlFile)
        return failStep(error, kStep, QStringLiteral("There is no control file for spumux."));
    QString message;
    // Made anew and exclusively, so that spumux writes into a file of ours and nothing older survives; the
    // tools reach it (and the control file) through our descriptors, whatever has since taken the names.
    outputFile = platform::openFreshFile(outputPath, &message);
    if (!outputFile)
        return failStep(error, kStep, message);
    platform::ChildProcess::Options options;
    options.program = platform::locateTool(QStringLiteral("spumux"));
    if (options.program.isEmpty())
        return failStep(error, kStep, QStringLiteral("The program \"spumux\" is not installed."));
    options.arguments = {platform::pathReaching(xmlFile.get(), xmlPath)};
    options.stdinFile = inputPath;
    options.stdoutFile = platform::pathReaching(outputFile.get(), outputPath);
    options.environment.insert(QStringLiteral("VIDEO_FORMAT"), project.videoFormat());
    platform::ChildProcess child(options);
    if (beforeLaunch)
        beforeLaunch();
    if (!startAndWait(child, error))
        return false;
    if (sizeOfOpenFile(outputFile.get()) == 0)
        return failStep(error, kStep, QStringLiteral("spumux wrote nothing into \"%1\".").arg(outputPath));
    return true;
}

bool SpumuxObject::startAndWait(platform::ChildProcess& child, DVDStepError* error) {
    QString message;
    {
        std::lock_guard lock(mutex);
        if (cancelled)
            return failStep(error, kStep, QStringLiteral("Cancelled."));
        if (!child.start(&message))
            return failStep(error, kStep, message);
        running = &child;
    }
    child.waitForExit();
    {
        std::lock_guard lock(mutex);
        running = nullptr;
        if (cancelled)
            return failStep(error, kStep, QStringLiteral("Cancelled."));
    }
    if (child.exitedNormally())
        return true;
    message = child.terminatingSignal() != 0
                  ? QStringLiteral("spumux was stopped by signal %1").arg(child.terminatingSignal())
                  : QStringLiteral("spumux exited with status %1").arg(child.exitStatus());
    const QByteArray complaint = child.readAllStderr().trimmed().right(1000);
    if (!complaint.isEmpty())
        message += QStringLiteral(": ") + QString::fromUtf8(complaint);
    return failStep(error, kStep, message);
}

void SpumuxObject::createMenuCode() {
    menuSectionCode = menuCode(
        buttons.size(), outputFile ? platform::pathReaching(outputFile.get(), outputPath) : outputPath);
}

void SpumuxObject::cancel() {
    std::lock_guard lock(mutex);
    cancelled = true;
    if (running)
        running->terminate();
}

void SpumuxObject::releaseFiles() {
    xmlFile.reset();
    outputFile.reset();
    statePictures.clear();
}

bool SpumuxObject::wasCancelled() const {
    std::lock_guard lock(mutex);
    return cancelled;
}

// ---- the earlier button pictures

QImage SpumuxObject::renderButtonPicture() const {
    QImage picture(pictureSize.toSize(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    const QImage selected(
        platform::paths::pathForResource(QStringLiteral("selected"), QStringLiteral("png")));
    if (selected.isNull())
        return picture;
    // The rectangles are measured from the top, as the picture's rows are: each highlight lands on its
    // button.
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false); // no colours the subpicture cannot hold
    for (const QRect& button : buttons)
        painter.drawImage(button, selected);
    return picture;
}

bool SpumuxObject::image_spumux(const QString& filePath, DVDStepError* error) const {
    if (!saveToPNGFile(renderButtonPicture(), filePath))
        return failStep(error, kStep, QStringLiteral("Cannot write \"%1\".").arg(filePath));
    return true;
}

bool SpumuxObject::run_pngquant(const QString& path, DVDStepError* error) const {
    return DVDMenuItem::run_pngquant(path, pngquantPath, error);
}

bool SpumuxObject::createFileAtPath(const QString& path, QFileDevice::Permissions attributes,
                                    QString* errorString) {
    const QFileInfo file(path);
    const auto refuse = [&](const char* format) {
        if (errorString)
            *errorString = QString::fromUtf8(format).arg(file.fileName(), QFileInfo(file.path()).fileName());
        return false;
    };
    if (file.exists() || file.isSymLink())
        return refuse("Can't overwrite '%1' in '%2'");
    mode_t mode = 0;
    for (const auto& [permission, bit] : {std::pair{QFileDevice::ReadOwner, S_IRUSR},
                                          {QFileDevice::WriteOwner, S_IWUSR},
                                          {QFileDevice::ExeOwner, S_IXUSR},
                                          {QFileDevice::ReadGroup, S_IRGRP},
                                          {QFileDevice::WriteGroup, S_IWGRP},
                                          {QFileDevice::ExeGroup, S_IXGRP},
                                          {QFileDevice::ReadOther, S_IROTH},
                                          {QFileDevice::WriteOther, S_IWOTH},
                                          {QFileDevice::ExeOther, S_IXOTH}})
        if (attributes.testFlag(permission))
            mode |= bit;
    // Made exclusively, so a file that appears meanwhile is not overwritten either.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return refuse(errno == EEXIST ? "Can't overwrite '%1' in '%2'" : "Can't create '%1' in '%2'");
    ::fchmod(fd, mode); // exactly the attributes asked for, whatever the process's file mode mask
    ::close(fd);
    return true;
}
