// The slide's picture files: quarter turns, colour adjustment, the text layer drawn into the
// picture and the image its texture is made from.
#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/FileUtils.h"
#include "platform/image/ImageAdditions.h"
#include "platform/image/ImageFilters.h"
#include "platform/image/PictureReading.h"
#include "platform/image/SlidePictures.h"
#include "platform/media/MediaAsset.h"

#include <QBuffer>
#include <QColor>
#include <QFileInfo>
#include <QFont>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kJpegQuality = 90;
constexpr int kMinimumLayoutHeight = 200;
constexpr double kShadowBlur = 10.0;
constexpr double kFrameLineWidth = 6.0;
constexpr int kEditingTextStatus = 2;

// A slide's picture, backdrop or thumbnail as it is worked on: at most the largest the player draws, however
// large a received project's file is. `whole`, when asked, tells whether the bytes decoded are whole.
QImage readPicture(const QString& path, bool* whole = nullptr) {
    if (whole)
        *whole = false;
    if (path.isEmpty())
        return QImage();
    const platform::image::Picture picture = platform::image::readPicture(
        path, platform::image::PictureRequest::within(platform::image::slide_pictures::kLargestSide));
    if (whole)
        *whole = picture.whole;
    return picture.image;
}

bool writeJpegAtomically(const QImage& image, const QString& path) {
    if (image.isNull() || path.isEmpty())
        return false;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.convertToFormat(QImage::Format_RGB32).save(&buffer, "JPEG", kJpegQuality))
        return false;
    return platform::writeFileAtomically(path, bytes);
}

// Font names are PostScript-style ("Georgia-Bold"): the family before the dash, the style after.
QFont fontNamed(const QString& name, int pixelSize) {
    const QString family = name.section('-', 0, 0);
    const QString style = name.section('-', 1).toLower();
    QFont font(family);
    font.setPixelSize(std::max(1, pixelSize));
    if (style.contains("bold") || style.contains("black") || style.contains("heavy"))
        font.setBold(true);
    if (style.contains("italic") || style.contains("oblique"))
        font.setItalic(true);
    return font;
}

// A soft copy of a layer's shape in one colour, for shadows and glows.
QImage blurredSilhouette(const QImage& layer, const QColor& colour, double blur) {
    QImage shape = layer.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&shape);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(shape.rect(), colour);
    painter.end();
    // A blur radius of the drawing system is about two standard deviations.
    return platform::image::gaussianBlur(shape, float(blur / 2.0));
}

// Draws a layer with a soft silhouette of itself offset below it; only `area` of the layer holds
// anything, so only that is blurred.
void drawWithShadow(QPainter& painter, const QImage& layer, const QRect& area, const QPoint& offset,
                    const QColor& colour, double blur) {
    if (area.isEmpty())
        return;
    const int margin = int(std::ceil(blur * 2));
    const QRect region = area.adjusted(-margin, -margin, margin, margin);
    painter.drawImage(region.topLeft() + offset, blurredSilhouette(layer.copy(region), colour, blur));
    painter.drawImage(0, 0, layer);
}

struct TextStyle {
    QString text;
    QFont font;
    QColor colour;
    int size = 0, offsetX = 0, offsetY = 0, angle = 0;
};

TextStyle textStyleOf(const QVariantMap& info) {
    TextStyle style;
    style.text = info.value("Text").toString();
    style.size = info.value("FontSize").toInt();
    style.font = fontNamed(info.value("FontName").toString(), style.size);
    const QVariant colour = info.value("FontColor");
    style.colour = colour.canConvert<QColor>() && colour.value<QColor>().isValid() ? colour.value<QColor>()
                                                                                   : QColor(Qt::green);
    style.offsetX = info.value("FontPositionOffsetX").toInt();
    style.offsetY = info.value("FontPositionOffsetY").toInt();
    style.angle = info.value("FontAngle").toInt();
    return style;
}

struct TextLayoutResult {
    int lineCount = 0; // the lines that fit the layout rectangle
    QRectF drawnRect;  // what those lines cover, y axis down from the rectangle's top
    QSizeF frameSize;
    std::vector<QPointF> origins; // y axis up, from the bottom of the layout rectangle
    double leftMost = 50000.0;
};

// Lays the text out centred in lines of the layout rectangle's width, keeping only lines that fit its
// height, as a frame of the drawing system does.
TextLayoutResult layOutText(QTextLayout& layout, const QString& text, const QFont& font, double width,
                            double layoutHeight, double frameHeightLimit) {
    QString lines = text;
    lines.replace('\n', QChar::LineSeparator);
    layout.setText(lines);
    layout.setFont(font);
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    TextLayoutResult result;
    double y = 0.0, widest = 0.0, suggestedHeight = 0.0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (y + line.height() > layoutHeight)
            break;
        line.setPosition(QPointF(0, y));
        ++result.lineCount;
        result.drawnRect |= line.naturalTextRect();
        const double x = line.naturalTextRect().x();
        result.origins.push_back(QPointF(x, layoutHeight - (y + line.ascent())));
        result.leftMost = std::min(result.leftMost, x);
        if (y + line.height() <= frameHeightLimit) {
            widest = std::max(widest, line.naturalTextWidth());
            suggestedHeight = y + line.height();
        }
        y += line.height();
    }
    layout.endLayout();
    result.frameSize = QSizeF(std::ceil(widest), std::ceil(suggestedHeight));
    return result;
}

// The dashed frame round the text block while the text is edited: 16 on, 6 off, 6 wide, white.
QImage editingFrame(const QSize& size, const QRectF& block, const QTransform& turn) {
    QImage frame(size, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::transparent);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(turn);
    QPen pen(QBrush(Qt::white), kFrameLineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setDashPattern({16.0 / kFrameLineWidth, 6.0 / kFrameLineWidth});
    painter.setPen(pen);
    painter.drawRect(block);
    return frame;
}

} // namespace

// ---- quarter turns and colour

bool SlideItem::rotateImage(const QString& path) {
    const QImage picture = readPicture(path);
    if (picture.isNull())
        return false;
    return writeJpegAtomically(platform::image::rotatedQuarterTurnClockwise(picture), path);
}

bool SlideItem::rotateSlideItem(int /*degrees*/) {
    // A thumbnail turned without its picture would show the slide in a way it never plays.
    if (fileName().isEmpty())
        return false;
    bool turned = true;
    for (const QString& path : {fileName(), strThumbFileName(), backgroudImageFileName()})
        if (!path.isEmpty())
            turned = rotateImage(path) && turned;
    return turned;
}

bool SlideItem::rotateSlideItem_1(int degrees) {
    if (degrees != 90)
        return false;
    const QString path = fileName();
    const QImage picture = readPicture(path);
    if (picture.isNull())
        return false;
    QImage turned(picture.height(), picture.width(), QImage::Format_RGB32);
    QPainter painter(&turned);
    painter.translate(turned.width(), 0);
    painter.rotate(90.0);
    painter.drawImage(0, 0, picture);
    painter.end();
    return writeJpegAtomically(turned, path);
}

namespace {

QImage adjustedPicture(const QString& path, const QVariantMap& adjustment) {
    const QImage picture = readPicture(path);
    if (picture.isNull())
        return QImage();
    return platform::image::colorControls(picture, adjustment.value("Saturation", 1.0).toFloat(),
                                          adjustment.value("Brightness", 0.0).toFloat(),
                                          adjustment.value("Contrast", 1.0).toFloat());
}

} // namespace

QImage SlideItem::adjustColor(const QVariantMap& adjustment) const {
    return adjustedPicture(fileName(), adjustment);
}

// The blurred backdrop and the strip's thumbnail are made from the picture: they follow it, else the
// movie shows the adjusted photo over a backdrop of the old colours. The controls act on each pixel alone,
// so adjusting the blurred picture gives the blur of the adjusted one.
bool SlideItem::ApplyAdjustColor(const QVariantMap& adjustment) {
    if (!writeJpegAtomically(adjustColor(adjustment), fileName()))
        return false;
    for (const QString& path : {backgroudImageFileName(), strThumbFileName()})
        if (!path.isEmpty() && QFileInfo::exists(path))
            writeJpegAtomically(adjustedPicture(path, adjustment), path);
    return true;
}

// ---- the text layer

QRectF SlideItem::textLayoutRect(const QSizeF& picture, int offsetX, int offsetY) {
    const int height = std::max(int(picture.height()), kMinimumLayoutHeight);
    return QRectF(offsetX, offsetY, picture.width(), height);
}

QImage SlideItem::slideImageAfterTextInfo() const {
    return pictureWithTextLayer(readPicture(fileName()));
}

QImage SlideItem::pictureWithTextLayer(const QImage& picture) const {
    if (picture.isNull())
        return QImage();
    QImage canvas(picture.size(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    painter.drawImage(QRectF(QPointF(0, 0), picture.size()), picture);
    const QVariantMap info = textInfo();
    if (!info.value("Text").toString().isEmpty())
        drawTextLayer(painter, picture.size(), info);
    painter.end();
    return canvas;
}

void SlideItem::drawTextLayer(QPainter& painter, const QSize& size, const QVariantMap& info) const {
    const TextStyle style = textStyleOf(info);
    const double h = size.height();
    const QRectF layoutRect = textLayoutRect(size, style.offsetX, style.offsetY);
    // The layout rectangle stands OY above the picture's bottom edge (y axis up); its top, seen from above.
    const QPointF origin(layoutRect.x(), h - (layoutRect.y() + layoutRect.height()));
    QTextLayout layout;
    const TextLayoutResult laid =
        layOutText(layout, style.text, style.font, size.width(), layoutRect.height(), h);
    textLayout.set({laid.frameSize, laid.origins, laid.leftMost, style.offsetX, origin.y()});
    const QRectF block = textBlockRect();
    const QPointF centre = block.center();
    QTransform turn;
    turn.translate(centre.x(), centre.y()).rotate(-style.angle).translate(-centre.x(), -centre.y());
    const QRect canvas(QPoint(0, 0), size);

    const auto project = SlideshowProject::currentMainProject();
    if (project && project->nCurrentStatus() == kEditingTextStatus) {
        const int reach = int(std::ceil(kFrameLineWidth));
        const QRect area = turn.mapRect(block).toAlignedRect().adjusted(-reach, -reach, reach, reach);
        drawWithShadow(painter, editingFrame(size, block, turn), area & canvas, QPoint(0, 0), Qt::white,
                       kShadowBlur);
    }

    QImage text(size, QImage::Format_ARGB32_Premultiplied);
    text.fill(Qt::transparent);
    QPainter textPainter(&text);
    textPainter.setRenderHint(QPainter::Antialiasing);
    textPainter.setRenderHint(QPainter::TextAntialiasing);
    textPainter.setTransform(turn);
    textPainter.setPen(style.colour);
    for (int i = 0; i < laid.lineCount; ++i)
        layout.lineAt(i).draw(&textPainter, origin);
    textPainter.end();
    const QRect area = turn.mapRect(laid.drawnRect.translated(origin)).toAlignedRect().adjusted(-2, -2, 2, 2);
    const int shadow = style.size / 20;
    drawWithShadow(painter, text, area & canvas, QPoint(shadow, shadow), Qt::black, kShadowBlur);
}

QImage SlideItem::slideImageFromFontInfo(const QVariantMap& info) {
    const TextStyle style = textStyleOf(info);
    if (style.text.isEmpty())
        return QImage();
    // Laid out without a width limit first, the text tells how wide its widest line is.
    constexpr double kUnbounded = 1e6;
    QTextLayout measuring;
    const QSizeF natural =
        layOutText(measuring, style.text, style.font, kUnbounded, kUnbounded, kUnbounded).frameSize;
    const QSize size(int(std::ceil(natural.width())), int(std::ceil(natural.height())));
    if (size.isEmpty())
        return QImage();
    QTextLayout layout;
    const TextLayoutResult laid =
        layOutText(layout, style.text, style.font, size.width(), size.height(), size.height());
    QImage text(size, QImage::Format_ARGB32_Premultiplied);
    text.fill(Qt::transparent);
    QPainter painter(&text);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(style.colour);
    for (int i = 0; i < laid.lineCount; ++i)
        layout.lineAt(i).draw(&painter, QPointF(0, 0));
    return text;
}

QImage SlideItem::slideImageForTexture(const QVariantMap& theme, bool* whole) const {
    const auto read = readPictureFile(
        PictureFile::Picture,
        platform::image::PictureRequest::within(platform::image::slide_pictures::kLargestSide));
    if (whole)
        *whole = read && read->whole;
    const QImage picture = read ? read->image : QImage();
    const QString text = textInfo().value("Text").toString();
    return platform::image::applyPhotoFilter(text.isEmpty() ? picture : pictureWithTextLayer(picture), theme);
}

QSizeF SlideItem::frameSize() const {
    return textLayout.get(&TextLayout::frameSize);
}

std::vector<QPointF> SlideItem::origins() const {
    return textLayout.get(&TextLayout::origins);
}

double SlideItem::leftMost() const {
    return textLayout.get(&TextLayout::leftMostX);
}

QRectF SlideItem::textBlockRect() const {
    const TextLayout laid = textLayout.get();
    return QRectF(QPointF(laid.offsetX + laid.leftMostX, laid.top), laid.frameSize);
}

// ---- movies

int SlideItem::orientationForTrack(const platform::media::MediaAsset& asset) {
    switch (asset.rotation()) {
    case 180:
        return 4;
    case 0:
        return 3;
    case 270:
        return 2;
    default:
        return 1;
    }
}

float SlideItem::getMovieDuration(const QString& path) {
    const auto asset = platform::media::MediaAsset::open(path, true);
    if (!asset.isValid() || !asset.hasVideo())
        return 0.0f;
    const QSize size = asset.videoSize();
    const int orientation = orientationForTrack(asset);
    const bool quarter = orientation == 1 || orientation == 2;
    setPixelSize(quarter ? size.transposed() : size);
    return float(asset.videoTimeRange().duration.seconds());
}
