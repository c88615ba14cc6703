#include "dvd/DVDImageCreatorObject.h"

#include "dvd/DVDFiles.h"
#include "dvd/StreamedChildProcess.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/ToolLocator.h"

#include <QFileInfo>

#include <cctype>

namespace {

const QString kStep = QStringLiteral("mkisofs");
constexpr std::int64_t kBlockSize = 2048;

platform::ChildProcess::Options mkisofsOptions(const QStringList& arguments) {
    platform::ChildProcess::Options options;
    options.program = platform::locateTool(QStringLiteral("mkisofs"));
    options.arguments = arguments;
    // genisoimage falls back to the C locale where this one is not generated, harmlessly.
    options.environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    return options;
}

} // namespace

DVDImageCreatorObject::DVDImageCreatorObject(QString temporaryFolder)
    : temporary(temporaryFolder.isEmpty() ? platform::paths::temporaryFolder() : std::move(temporaryFolder)) {
}

DVDImageCreatorObject::~DVDImageCreatorObject() {
    cleanup();
}

// Links inside the folder are never followed: one that another program put there would bring a file of
// its choosing onto the disc.
QStringList DVDImageCreatorObject::sizeRunArguments(const QString& label, const QString& folder) {
    return {QStringLiteral("-print-size"), QStringLiteral("-V"), label, QStringLiteral("-dvd-video"),
            folderArgument(folder)};
}

QStringList DVDImageCreatorObject::streamRunArguments(const QString& label, const QString& folder) {
    return {QStringLiteral("-V"), label, QStringLiteral("-dvd-video"), folderArgument(folder)};
}

std::int64_t DVDImageCreatorObject::parseBlockCount(const QByteArray& output) {
    qsizetype i = 0;
    while (i < output.size() && std::isspace(static_cast<unsigned char>(output[i])))
        ++i;
    std::int64_t count = 0;
    for (; i < output.size() && std::isdigit(static_cast<unsigned char>(output[i])); ++i) {
        if (count > (std::int64_t(1) << 40))
            return 0; // no image is that large; the number is nonsense
        count = count * 10 + (output[i] - '0');
    }
    return count;
}

std::int64_t DVDImageCreatorObject::getTrackForFolder(const QString& folder, const QString& name,
                                                      DVDStepError* stepError) {
    folderPath = folder;
    discName = name;
    blocks = imageSize(stepError);
    return blocks;
}

std::int64_t DVDImageCreatorObject::imageSize(DVDStepError* stepError) {
    auto refuse = [stepError](const QString& detail) {
        failStep(stepError, kStep, detail);
        return std::int64_t(0);
    };
    const platform::ChildProcess::Options options = mkisofsOptions(sizeRunArguments(discName, folderPath));
    if (options.program.isEmpty())
        return refuse(QStringLiteral("The program \"mkisofs\" is not installed."));
    QByteArray output;
    QString message;
    if (!platform::ChildProcess::run(options, &output, &message))
        return refuse(message);
    const std::int64_t count = parseBlockCount(output);
    if (count <= 0)
        return refuse(QStringLiteral("mkisofs gave no size for \"%1\" (it said \"%2\").")
                          .arg(folderPath, QString::fromUtf8(output.trimmed().left(200))));
    return count;
}

bool DVDImageCreatorObject::prepare() {
    return createImage();
}

bool DVDImageCreatorObject::createImage() {
    std::lock_guard lock(mutex);
    error = {};
    produced = 0;
    if (cancelled)
        return false;
    platform::ChildProcess::Options options = mkisofsOptions(streamRunArguments(discName, folderPath));
    if (options.program.isEmpty()) {
        error = {kStep, QStringLiteral("The program \"mkisofs\" is not installed.")};
        return false;
    }
    trackCreator = std::make_unique<StreamedChildProcess>(options, temporary);
    QString message;
    if (!trackCreator->start(&message)) {
        error = {kStep, message};
        trackCreator.reset();
        return false;
    }
    return true;
}

std::size_t DVDImageCreatorObject::produce(std::uint8_t* buffer, std::size_t size) {
    // The burn makes no other call while this one runs, and cleanup() comes after the last, so the
    // stream stays valid here; cancel() only signals the child, which ends the read.
    StreamedChildProcess* stream = trackCreator.get();
    if (!stream || cancelled)
        return 0;
    const qint64 got = stream->read(reinterpret_cast<char*>(buffer), qint64(size));
    if (got <= 0)
        return 0;
    produced += got;
    return std::size_t(got);
}

void DVDImageCreatorObject::cancel() {
    cancelled = true;
    std::lock_guard lock(mutex);
    if (trackCreator)
        trackCreator->kill(); // the image is of no use any more; its read ends at once
}

void DVDImageCreatorObject::cleanup() {
    std::lock_guard lock(mutex);
    if (!trackCreator)
        return;
    finishStream();
    trackCreator.reset();
}

// Called under the lock once the burn is done with the stream.
void DVDImageCreatorObject::finishStream() {
    const std::int64_t expected = blocks * kBlockSize;
    if (cancelled || produced < expected) {
        // The burn stopped early; the disc layer reports why. mkisofs must not block on a full pipe.
        trackCreator->kill();
        trackCreator->waitForExit();
        return;
    }
    // Whatever mkisofs still writes would be missing from the disc.
    std::int64_t extra = 0;
    char scratch[64 * 1024];
    qint64 got;
    while ((got = trackCreator->read(scratch, sizeof scratch)) > 0)
        extra += got;
    trackCreator->waitForExit();
    if (extra > 0)
        error = {kStep,
                 QStringLiteral("The image was %1 bytes larger than measured, so the disc lacks its end.")
                     .arg(extra)};
    else if (!trackCreator->exitedNormally())
        error = {kStep, trackCreator->exitDescription()};
}

// ---- the original photos

namespace {

QString pathListEscaped(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('='), QStringLiteral("\\="));
    return text;
}

bool breaksLines(const QString& text) {
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

} // namespace

QString DVDImageCreatorObject::originalFileListText(const QStringList& originalFileNames) {
    QString text;
    for (const QString& original : originalFileNames) {
        if (original.isEmpty() || breaksLines(original))
            continue;
        text += QStringLiteral("Photos/%1=%2\n")
                    .arg(pathListEscaped(QFileInfo(original).fileName()), pathListEscaped(original));
    }
    return text;
}

QString DVDImageCreatorObject::createOriginalFileList(DVDStepError* stepError) {
    QStringList originals;
    if (const auto project = SlideshowProject::currentMainProject())
        for (const SlideItemRef& slide : project->slideshowArray())
            originals << slide->strOriginalFileName();
    const QString path = pathIn(temporary, QStringLiteral("orginal.lst"));
    QString message;
    if (temporary.isEmpty() ||
        !platform::writeFileAtomically(path, originalFileListText(originals).toUtf8(), &message)) {
        failStep(stepError, QStringLiteral("original photos"),
                 temporary.isEmpty() ? platform::paths::temporaryFolderProblem() : message);
        return QString();
    }
    std::lock_guard lock(mutex);
    originalFileList = path;
    return path;
}

QString DVDImageCreatorObject::strOriginalFileList() const {
    std::lock_guard lock(mutex);
    return originalFileList;
}

DVDStepError DVDImageCreatorObject::streamError() const {
    std::lock_guard lock(mutex);
    return error;
}
