#include "dvd/DVDMenuItem.h"

#include "dvd/DVDFiles.h"
#include "platform/foundation/ChildProcess.h"
#include "platform/foundation/FileUtils.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/ToolLocator.h"
#include "platform/image/PictureReading.h"
#include "render/DropShadow.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QRegularExpression>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kStepMenuImages = QStringLiteral("menu images");

// The picture as a PNG file's bytes, empty when it cannot be encoded.
// The menu's frames are made while the window waits for the run to begin: they are packed with the
// fastest compression, which takes a fraction of the default's time for a somewhat larger file.
QByteArray pngBytes(const QImage& picture) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setCompression(1);
    return writer.write(picture) ? png : QByteArray();
}
const QString kStepPngquant = QStringLiteral("pngquant");

// Template numbers may be stored as integers, reals or strings; all are read as truncated integers.
int intValue(const QVariant& value) {
    const double number = value.toDouble();
    return std::isfinite(number) ? int(std::trunc(number)) : 0;
}

int intValue(const QVariantMap& map, const char* key) {
    return intValue(map.value(QLatin1String(key)));
}

QVariantMap subMap(const QVariantMap& map, const char* key) {
    return map.value(QLatin1String(key)).toMap();
}

QImage imageAt(const QString& path) {
    return path.isEmpty()
               ? QImage()
               : platform::image::readPicture(path, platform::image::PictureRequest::asStored()).image;
}

QImage transparentFrame(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// The shadow the menu's texts cast, which stays on for the play button drawn after them.
DropShadow textShadow() {
    return DropShadow(QPoint(0, 0), 2.0, QColor::fromRgbF(104 / 255.0, 248 / 255.0, 0, 0.7));
}

const char* const kStateImageNames[] = {"spumux_normal", "spumux_highligh", "spumux_Selected"};
const char* const kStateKeys[] = {"normal_image", "highlighted_image", "selected_image"};

bool validState(int state) {
    return state >= DVDMenuItem::Normal && state <= DVDMenuItem::Selected;
}

} // namespace

DVDMenuItem::DVDMenuItem(const QVariantMap& menuDictionary)
    : dictionary(menuDictionary), style(menuDictionary.value(QStringLiteral("Style")).toString()),
      name(menuDictionary.value(QStringLiteral("Name")).toString()),
      folderName(menuDictionary.value(QStringLiteral("Folder")).toString()) {
    thumbnail = picture(menuDictionary.value(QStringLiteral("thumbnail")).toString());
}

QList<QRect> DVDMenuItem::stateButtonRectArray() const {
    std::lock_guard lock(mutex);
    return buttonRects;
}

QStringList DVDMenuItem::imagesArray() const {
    std::lock_guard lock(mutex);
    return frames;
}

int DVDMenuItem::menuFrameCount(qsizetype slideCount) {
    if (slideCount >= 8)
        return 8;
    return slideCount >= 5 ? 5 : 3;
}

QString DVDMenuItem::resourcePath(const QString& pictureName) const {
    if (pictureName.isEmpty() || folderName.isEmpty())
        return {};
    return platform::paths::pathForResource(pictureName, QString(), QStringLiteral("DVDMenu/") + folderName);
}

QImage DVDMenuItem::picture(const QString& pictureName) const {
    return imageAt(resourcePath(pictureName));
}

QString DVDMenuItem::getStateImagePath(int state) const {
    if (!validState(state))
        return {};
    return resourcePath(
        subMap(dictionary, "PlayButtonState").value(QLatin1String(kStateKeys[state])).toString());
}

QString DVDMenuItem::getMaskImagePath() const {
    return resourcePath(dictionary.value(QStringLiteral("background_image")).toString());
}

QColor DVDMenuItem::colorFromHexRGB(const QString& text) {
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1Char('#')))
        digits.remove(0, 1);
    if (digits.size() < 6)
        return QColor(Qt::black);
    auto channel = [&](int position) { return digits.mid(position, 2).toInt(nullptr, 16); };
    return QColor(channel(0), channel(2), channel(4));
}

QColor DVDMenuItem::colorWithHexColorString(const QString& text) {
    static const QRegularExpression hexNumber(QStringLiteral("^(?:#|0[xX])?([0-9A-Fa-f]+)$"));
    const QRegularExpressionMatch match = hexNumber.match(text.trimmed());
    if (!match.hasMatch())
        return QColor();
    QString digits = match.captured(1);
    while (digits.size() > 6 && digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    if (digits.size() > 6)
        return QColor();
    const uint value = digits.toUInt(nullptr, 16);
    return QColor(int((value >> 16) & 0xff), int((value >> 8) & 0xff), int(value & 0xff));
}

Qt::Alignment DVDMenuItem::textAlignment(const QVariant& alignment) {
    if (!alignment.isValid())
        return Qt::AlignHCenter;
    const QString value = alignment.toString();
    if (value == QLatin1String("left"))
        return Qt::AlignLeft;
    if (value == QLatin1String("right"))
        return Qt::AlignRight;
    if (value == QLatin1String("center"))
        return Qt::AlignHCenter;
    return Qt::AlignLeading; // the natural alignment of the writing direction
}

// --- frames ---

bool DVDMenuItem::prepareFolders(const DVDProjectSettings& project, QString* temporary, DVDStepError* error) {
    *temporary = project.resolvedTemporaryFolder();
    if (temporary->isEmpty())
        return failStep(error, kStepMenuImages, platform::paths::temporaryFolderProblem());
    if (project.contentsFolder.isEmpty() || !QDir().mkpath(project.contentsFolder))
        return failStep(error, kStepMenuImages,
                        QStringLiteral("Cannot use the folder \"%1\" for the menu pictures.")
                            .arg(project.contentsFolder));
    return true;
}

bool DVDMenuItem::buildMenuImages(const DVDProjectSettings& project, DVDStepError* error) {
    {
        std::lock_guard lock(mutex);
        frames.clear();
        frameFiles.clear();
        reducedStates.clear();
    }
    const qsizetype slides = project.slidePicturePaths.size();
    if (slides < 3)
        return failStep(
            error, kStepMenuImages,
            QStringLiteral("A DVD menu needs at least 3 slides; the project has %1.").arg(slides));
    QString temporary;
    if (!prepareFolders(project, &temporary, error) || !buildFrames(menuFrameCount(slides), project, error))
        return false;
    for (int state = Normal; state <= Selected; ++state)
        if (!createStateImage(state, project, error))
            return false;
    createButtonRectArray(project.bTVSystemPAL, project.bDVDVideoAspect16_9);
    return true;
}

bool DVDMenuItem::buildMenuImagesForPreview(const DVDProjectSettings& project, DVDStepError* error) {
    {
        std::lock_guard lock(mutex);
        frames.clear();
        frameFiles.clear();
    }
    if (project.slidePicturePaths.isEmpty())
        return failStep(error, kStepMenuImages, QStringLiteral("The project has no slides."));
    QString temporary;
    return prepareFolders(project, &temporary, error) && buildFrames(1, project, error);
}

// The frames are drawn here one after another, and each is packed and written on a thread of its own as
// the next is drawn: the packing takes most of the time the window waits for the menu.
bool DVDMenuItem::buildFrames(int count, const DVDProjectSettings& project, DVDStepError* error) {
    if (count > project.slidePicturePaths.size())
        return failStep(error, kStepMenuImages,
                        QStringLiteral("There is no slide %1.").arg(project.slidePicturePaths.size() + 1));
    std::vector<QString> paths(std::size_t(std::max(count, 0)));
    std::vector<platform::UniqueFd> files(paths.size());
    std::vector<DVDStepError> errors(paths.size());
    const QImage overlay = imageAt(getMaskImagePath());
    {
        std::vector<std::jthread> packers; // joined as they go out of scope
        for (std::size_t i = 0; i < paths.size(); ++i) {
            paths[i] = pathIn(project.contentsFolder, QStringLiteral("menu_bk_%1.png").arg(i + 1));
            packers.emplace_back([&, i, drawn = renderFrame(int(i), project, overlay)] {
                files[i] = writeFrameFile(drawn, paths[i], &errors[i]);
            });
        }
    }
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!files[i]) {
            if (error)
                *error = errors[i];
            return false;
        }
        std::lock_guard lock(mutex);
        frames.append(paths[i]);
        frameFiles.push_back(std::move(files[i]));
    }
    return true;
}

bool DVDMenuItem::BuildImage(int frameIndex, const QString& path, const DVDProjectSettings& project,
                             DVDStepError* error) {
    if (frameIndex < 0 || frameIndex >= project.slidePicturePaths.size())
        return failStep(error, kStepMenuImages, QStringLiteral("There is no slide %1.").arg(frameIndex + 1));
    return writeFrameFile(renderFrame(frameIndex, project), path, error).isValid();
}

// The frame's file is made anew and kept open: the menu's slides are made from this file, whatever another
// program puts at its name afterwards.
platform::UniqueFd DVDMenuItem::writeFrameFile(const QImage& frame, const QString& path,
                                               DVDStepError* error) {
    QString message;
    platform::UniqueFd file;
    if (const QByteArray png = pngBytes(frame); !png.isEmpty())
        file = writeNewOwnFile(path, png, &message);
    if (!file)
        failStep(error, kStepMenuImages,
                 QStringLiteral("Cannot write \"%1\".").arg(path) +
                     (message.isEmpty() ? QString() : QLatin1Char('\n') + message));
    return file;
}

QImage DVDMenuItem::photoOfSlide(int frameIndex, const DVDProjectSettings& project) const {
    const QVariantMap box = subMap(dictionary, "AlbumPhoto");
    const QSize size(intValue(box, "width"), intValue(box, "height"));
    if (size.isEmpty() || frameIndex < 0 || frameIndex >= project.slidePicturePaths.size())
        return {};
    // The whole photo is stretched into the box, so it is decoded at no more than covers it.
    platform::image::PictureRequest covering{size, Qt::KeepAspectRatioByExpanding};
    QImage photo = platform::image::readPicture(project.slidePicturePaths.at(frameIndex), covering).image;
    if (!photo.isNull() && photo.size() != size)
        photo = photo.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return photo;
}

QImage DVDMenuItem::renderFrame(int frameIndex, const DVDProjectSettings& project) const {
    return renderFrame(frameIndex, project, imageAt(getMaskImagePath()));
}

QImage DVDMenuItem::renderFrame(int frameIndex, const DVDProjectSettings& project,
                                const QImage& overlay) const {
    QImage frame = transparentFrame({kMenuWidth, kMenuHeight});
    QPainter painter(&frame);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    const QImage photo = photoOfSlide(frameIndex, project);
    if (!photo.isNull()) {
        const QVariantMap box = subMap(dictionary, "AlbumPhoto");
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPoint(intValue(box, "xPos"), intValue(box, "yPos")), photo);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    if (!overlay.isNull()) {
        const QRect whole(0, 0, kMenuWidth, kMenuHeight);
        painter.drawImage(whole, overlay, whole);
    }
    const DropShadow shadow = textShadow();
    const bool titled = drawDVDTitle(painter, project, shadow);
    const bool subtitled = drawDVDSubtitle(painter, project, shadow);
    drawPlayButton(painter, titled || subtitled ? &shadow : nullptr);
    return frame;
}

// Lines of the box's width from its top, as many as fit whole: a line cut by the box's edge would show a
// sliver of letters, so it is dropped, as the slides' captions drop theirs.
void DVDMenuItem::drawWholeLines(QPainter& painter, const QRect& box, const QString& text, const QFont& font,
                                 Qt::Alignment alignment) {
    QString lines = text;
    lines.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(lines, font, painter.device());
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    qreal y = 0;
    int fitting = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(box.width());
        if (y + line.height() > box.height())
            break;
        line.setPosition(QPointF(0, y));
        y += line.height();
        ++fitting;
    }
    layout.endLayout();
    for (int i = 0; i < fitting; ++i)
        layout.lineAt(i).draw(&painter, box.topLeft());
}

bool DVDMenuItem::drawText(QPainter& painter, const QString& key, const QString& text,
                           const DropShadow& shadow) const {
    if (!dictionary.contains(key) || text.isEmpty())
        return false;
    const QVariantMap box = dictionary.value(key).toMap();
    const QRect rect(intValue(box, "xPos"), intValue(box, "yPos"), intValue(box, "width"),
                     intValue(box, "height"));
    QFont font(box.value(QStringLiteral("fontName")).toString());
    font.setPixelSize(std::max(1, intValue(box, "size"))); // points are pixels in a 960 x 540 frame
    QImage layer = transparentFrame({kMenuWidth, kMenuHeight});
    {
        QPainter textPainter(&layer);
        textPainter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        textPainter.setPen(colorFromHexRGB(box.value(QStringLiteral("fontColor")).toString()));
        drawWholeLines(textPainter, rect, text, font, textAlignment(box.value(QStringLiteral("alignment"))));
    }
    // Whatever is drawn from now on in this frame casts the shadow, so every text does.
    shadow.drawLayer(painter, layer);
    return true;
}

bool DVDMenuItem::drawDVDTitle(QPainter& painter, const DVDProjectSettings& project,
                               const DropShadow& shadow) const {
    return drawText(painter, QStringLiteral("Title"), project.dvdTitle, shadow);
}

bool DVDMenuItem::drawDVDSubtitle(QPainter& painter, const DVDProjectSettings& project,
                                  const DropShadow& shadow) const {
    return drawText(painter, QStringLiteral("Subtitle"), project.dvdSubtitle, shadow);
}

void DVDMenuItem::drawPlayButton(QPainter& painter, const DropShadow* shadow) const {
    const QVariantMap button = subMap(dictionary, "PlayButton");
    const QImage image = picture(button.value(QStringLiteral("image_file")).toString());
    if (image.isNull())
        return;
    const QPoint at(intValue(button, "xPos"), intValue(button, "yPos"));
    if (shadow)
        shadow->drawLayer(painter, image.convertToFormat(QImage::Format_ARGB32_Premultiplied), at);
    else
        painter.drawImage(at, image);
}

// --- the button subpicture ---

QString DVDMenuItem::stateImagePath(const QString& temporaryFolder, int state) {
    return validState(state)
               ? pathIn(temporaryFolder, QLatin1String(kStateImageNames[state]) + QLatin1String(".png"))
               : QString();
}

QString DVDMenuItem::reducedStateImagePath(const QString& temporaryFolder, int state) {
    return validState(state)
               ? pathIn(temporaryFolder, QLatin1String(kStateImageNames[state]) + QLatin1String("-fs8.png"))
               : QString();
}

QImage DVDMenuItem::renderStateImage(int state, bool pal, bool wide16_9) const {
    const int height = pal ? 576 : 480;
    QImage image = transparentFrame({kDVDWidth, height});
    const QImage statePicture = imageAt(getStateImagePath(state));
    if (statePicture.isNull())
        return image;
    const QVariantMap place = subMap(dictionary, "PlayButtonState");
    // The template's frame maps onto the DVD picture as the menu video does. Drawn at the DVD size
    // directly and without smoothing, so no colour or partial alpha appears that the four-colour
    // reduction would have to merge.
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRect area = DVDProjectSettings::frameAreaInDVDPicture(pal, wide16_9);
    painter.translate(area.topLeft());
    painter.scale(double(area.width()) / kMenuWidth, double(area.height()) / kMenuHeight);
    const int top = intValue(place, "yPos") + intValue(place, "height") - statePicture.height();
    painter.drawImage(QPoint(intValue(place, "xPos"), top), statePicture);
    return image;
}

bool DVDMenuItem::createStateImage(int state, const DVDProjectSettings& project, DVDStepError* error) {
    const QString temporary = project.resolvedTemporaryFolder();
    if (!validState(state) || temporary.isEmpty())
        return failStep(error, kStepMenuImages, platform::paths::temporaryFolderProblem());
    const QString path = stateImagePath(temporary, state);
    const QByteArray png =
        pngBytes(renderStateImage(state, project.bTVSystemPAL, project.bDVDVideoAspect16_9));
    if (png.isEmpty())
        return failStep(error, kStepMenuImages, QStringLiteral("Cannot write \"%1\".").arg(path));
    // pngquant reads the picture made here through its descriptor, whatever takes its name meanwhile.
    QString message;
    const platform::UniqueFd picture = writeNewOwnFile(path, png, &message);
    if (!picture)
        return failStep(error, kStepMenuImages, message);
    if (beforeReducing)
        beforeReducing(path);
    platform::UniqueFd reduced;
    if (!run_pngquant(picture.get(), path, platform::locateTool(QStringLiteral("pngquant")), error, &reduced))
        return false;
    std::lock_guard lock(mutex);
    reducedStates.resize(std::size_t(Selected) + 1);
    reducedStates[std::size_t(state)] = std::move(reduced);
    return true;
}

namespace {

// Each file open anew (sharing nothing with the original descriptors but the file); none when one is missing.
std::vector<platform::UniqueFd> duplicates(const std::vector<platform::UniqueFd>& made) {
    std::vector<platform::UniqueFd> files;
    for (const platform::UniqueFd& file : made) {
        if (!file)
            return {};
        files.emplace_back(::fcntl(file.get(), F_DUPFD_CLOEXEC, 0));
    }
    return files;
}

} // namespace

std::vector<platform::UniqueFd> DVDMenuItem::reducedStatePictureFiles() const {
    std::lock_guard lock(mutex);
    return duplicates(reducedStates);
}

void DVDMenuItem::releaseFiles(bool statePicturesToo) {
    std::lock_guard lock(mutex);
    frameFiles.clear();
    if (statePicturesToo)
        reducedStates.clear();
}

std::vector<platform::UniqueFd> DVDMenuItem::menuFrameFiles() const {
    std::lock_guard lock(mutex);
    return duplicates(frameFiles);
}

bool DVDMenuItem::run_pngquant(const QString& path, DVDStepError* error) {
    return run_pngquant(path, platform::locateTool(QStringLiteral("pngquant")), error);
}

bool DVDMenuItem::run_pngquant(const QString& path, const QString& pngquant, DVDStepError* error) {
    // A link, a pipe or a folder at the name is not a picture to reduce.
    QString message;
    const platform::UniqueFd picture = platform::openWrittenFile(path, std::nullopt, &message);
    if (!picture)
        return failStep(error, kStepPngquant, message);
    return run_pngquant(picture.get(), path, pngquant, error);
}

bool DVDMenuItem::run_pngquant(int picture, const QString& path, const QString& pngquant, DVDStepError* error,
                               platform::UniqueFd* kept) {
    QString reduced = path;
    reduced.replace(QRegularExpression(QStringLiteral("\\.png$")), QStringLiteral("-fs8.png"));
    if (pngquant.isEmpty())
        return failStep(error, kStepPngquant, QStringLiteral("The program \"pngquant\" is not installed."));
    // A copy left by an earlier run must not pass for this run's: a fresh file of ours takes its place, and
    // pngquant writes it through our descriptor (from its standard output), never through a link put there.
    QString message;
    platform::UniqueFd out = platform::openFreshFile(reduced, &message);
    if (!out)
        return failStep(error, kStepPngquant, message);
    platform::ChildProcess::Options options;
    options.program = pngquant;
    options.arguments = {QStringLiteral("-f"), QStringLiteral("4"), QStringLiteral("-")};
    options.stdinFile = platform::pathReaching(picture, path);
    options.stdoutFile = platform::pathReaching(out.get(), reduced);
    const bool ran = platform::ChildProcess::run(options, nullptr, &message);
    if (ran && sizeOfOpenFile(out.get()) > 0) {
        if (kept)
            *kept = std::move(out);
        return true;
    }
    platform::removePartialFile(out.get(), reduced);
    if (!ran)
        return failStep(error, kStepPngquant, message);
    return failStep(error, kStepPngquant, QStringLiteral("\"%1\" was not written.").arg(reduced));
}

QList<QRect> DVDMenuItem::buttonRectsFor(const QVariantList& rects, bool pal, bool wide16_9) {
    const QRect area = DVDProjectSettings::frameAreaInDVDPicture(pal, wide16_9);
    QList<QRect> result;
    for (const QVariant& entry : rects) {
        const QVariantMap rect = entry.toMap();
        const int x = area.x() + intValue(rect, "xPos") * area.width() / kMenuWidth;
        const int width = intValue(rect, "width") * area.width() / kMenuWidth;
        // Subpicture rows come in field pairs, so the vertical values are made even.
        const int y = 2 * ((area.y() + intValue(rect, "yPos") * area.height() / kMenuHeight) / 2);
        const int h = 2 * (intValue(rect, "height") * area.height() / kMenuHeight / 2);
        result.append(QRect(x, y, width, h));
    }
    return result;
}

void DVDMenuItem::createButtonRectArray(bool pal, bool wide16_9) {
    QList<QRect> rects =
        buttonRectsFor(dictionary.value(QStringLiteral("ButtonRectArray")).toList(), pal, wide16_9);
    std::lock_guard lock(mutex);
    buttonRects = std::move(rects);
}
