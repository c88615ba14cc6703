#include "render/BuiltInComposition.h"

#include "platform/foundation/PropertyListValues.h"
#include "platform/gl/GlApi.h"

#include <algorithm>
#include <cmath>
#include <optional>

const QString BuiltInComposition::kFileType = QStringLiteral("vcomp");
const QString BuiltInComposition::kFormatName = QStringLiteral("VistrelleComposition");

namespace {

constexpr int kMaxLayers = 256;
constexpr int kMaxColours = 256;

bool refuse(QString* error, const QString& message) {
    if (error)
        *error = message;
    return false;
}

bool isNumber(const QVariant& value) {
    const int type = value.typeId();
    return type == QMetaType::Double || type == QMetaType::LongLong || type == QMetaType::Int ||
           type == QMetaType::Float || type == QMetaType::ULongLong;
}

// `count` finite numbers, or nothing.
std::optional<std::vector<double>> numbers(const QVariant& value, int count) {
    const QVariantList list = value.toList();
    if (value.typeId() != QMetaType::QVariantList || list.size() != count)
        return std::nullopt;
    std::vector<double> out;
    for (const QVariant& item : list) {
        if (!isNumber(item) || !std::isfinite(item.toDouble()))
            return std::nullopt;
        out.push_back(item.toDouble());
    }
    return out;
}

std::optional<std::array<float, 3>> colourOf(const QVariant& value) {
    const auto rgb = numbers(value, 3);
    if (!rgb)
        return std::nullopt;
    return std::array<float, 3>{float(std::clamp((*rgb)[0], 0.0, 1.0)),
                                float(std::clamp((*rgb)[1], 0.0, 1.0)),
                                float(std::clamp((*rgb)[2], 0.0, 1.0))};
}

} // namespace

std::unique_ptr<BuiltInComposition> BuiltInComposition::read(const QString& path, QString* error) {
    QString why;
    const QVariant description = platform::readPropertyListFile(path, &why);
    if (description.typeId() != QMetaType::QVariantMap) {
        refuse(error, why.isEmpty() ? QStringLiteral("\"%1\" is not a composition").arg(path) : why);
        return nullptr;
    }
    return fromDescription(description.toMap(), error);
}

std::unique_ptr<BuiltInComposition> BuiltInComposition::fromDescription(const QVariantMap& description,
                                                                        QString* error) {
    if (description.value(QStringLiteral("Format")).toString() != kFormatName ||
        description.value(QStringLiteral("Version")).toInt() != 1) {
        refuse(error, QStringLiteral("Not a composition of format %1, version 1").arg(kFormatName));
        return nullptr;
    }
    auto composition = std::unique_ptr<BuiltInComposition>(new BuiltInComposition());
    const QVariant inputs = description.value(QStringLiteral("Inputs"));
    if (inputs.isValid() && inputs.typeId() != QMetaType::QVariantList) {
        refuse(error, QStringLiteral("\"Inputs\" is not a list of keys"));
        return nullptr;
    }
    for (const QVariant& key : inputs.toList()) {
        if (key.typeId() != QMetaType::QString) {
            refuse(error, QStringLiteral("\"Inputs\" is not a list of keys"));
            return nullptr;
        }
        composition->inputs.append(key.toString());
    }
    const QVariant layers = description.value(QStringLiteral("Layers"));
    const QVariantList list = layers.toList();
    if (layers.typeId() != QMetaType::QVariantList || list.isEmpty() || list.size() > kMaxLayers) {
        refuse(error, QStringLiteral("A composition has 1 to %1 layers").arg(kMaxLayers));
        return nullptr;
    }
    for (const QVariant& item : list) {
        Layer layer;
        if (item.typeId() != QMetaType::QVariantMap) {
            refuse(error, QStringLiteral("A layer is not a dictionary"));
            return nullptr;
        }
        if (!readLayer(item.toMap(), layer, error))
            return nullptr;
        composition->layers.push_back(std::move(layer));
    }
    return composition;
}

bool BuiltInComposition::readLayer(const QVariantMap& description, Layer& layer, QString* error) {
    const QString type = description.value(QStringLiteral("Type")).toString();
    if (type == QLatin1String("Fill")) {
        layer.kind = Layer::Kind::Fill;
        const QVariantList colours = description.value(QStringLiteral("Colors")).toList();
        if (colours.isEmpty() || colours.size() > kMaxColours)
            return refuse(error, QStringLiteral("A fill runs through 1 to %1 colours").arg(kMaxColours));
        for (const QVariant& colour : colours) {
            const auto rgb = colourOf(colour);
            if (!rgb)
                return refuse(error, QStringLiteral("A colour is three numbers"));
            layer.colours.push_back(*rgb);
        }
        const QVariant period = description.value(QStringLiteral("Period"), 1.0);
        if (!isNumber(period) || !(period.toDouble() > 0.0) || !std::isfinite(period.toDouble()))
            return refuse(error, QStringLiteral("A fill's period is a number of seconds above 0"));
        layer.period = period.toDouble();
        return true;
    }
    if (type != QLatin1String("Rect") && type != QLatin1String("Progress"))
        return refuse(error, QStringLiteral("Unknown layer type \"%1\"").arg(type));
    layer.kind = type == QLatin1String("Rect") ? Layer::Kind::Rect : Layer::Kind::Progress;
    const auto rect = numbers(description.value(QStringLiteral("Rect")), 4);
    const auto colour = colourOf(description.value(QStringLiteral("Color")));
    if (!rect || !colour)
        return refuse(error,
                      QStringLiteral("A %1 layer has a \"Rect\" of four numbers and a \"Color\"").arg(type));
    layer.rect = QRectF((*rect)[0], (*rect)[1], (*rect)[2], (*rect)[3]).intersected(QRectF(0, 0, 1, 1));
    layer.colours = {*colour};
    layer.input = description.value(QStringLiteral("Input"), QStringLiteral("percentDone")).toString();
    return true;
}

bool BuiltInComposition::setValueForInputKey(const QString& key, const QVariant& value) {
    if (!inputs.contains(key))
        return false;
    values.insert(key, value);
    return true;
}

BuiltInComposition::Colour BuiltInComposition::fillColour(const Layer& layer, double seconds) const {
    const std::size_t count = layer.colours.size();
    double position = std::fmod(std::max(seconds, 0.0) / layer.period, 1.0) * double(count);
    if (!std::isfinite(position))
        position = 0.0;
    const std::size_t from = std::min(std::size_t(position), count - 1);
    const std::size_t to = (from + 1) % count;
    const float part = float(position - double(from));
    Colour colour;
    for (int i = 0; i < 3; ++i)
        colour[std::size_t(i)] =
            layer.colours[from][std::size_t(i)] * (1.0f - part) + layer.colours[to][std::size_t(i)] * part;
    return colour;
}

void BuiltInComposition::fill(const QRectF& part, const Colour& colour, const int viewport[4]) const {
    const int width = viewport[2], height = viewport[3];
    // Parts of the frame with y from the top, to pixels of GL's frame buffer with y from the bottom.
    const int x0 = int(std::lround(part.left() * width));
    const int x1 = int(std::lround(part.right() * width));
    const int top = int(std::lround(part.top() * height));
    const int bottom = int(std::lround(part.bottom() * height));
    if (x1 <= x0 || bottom <= top)
        return;
    glScissor(viewport[0] + x0, viewport[1] + height - bottom, x1 - x0, bottom - top);
    glClearColor(colour[0], colour[1], colour[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

bool BuiltInComposition::renderAtTime(double seconds) {
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] <= 0 || viewport[3] <= 0)
        return false;
    glEnable(GL_SCISSOR_TEST);
    for (const Layer& layer : layers) {
        QRectF part = layer.rect;
        if (layer.kind == Layer::Kind::Progress) {
            const double done = values.value(layer.input).toDouble();
            part.setWidth(part.width() * (std::isfinite(done) ? std::clamp(done, 0.0, 1.0) : 0.0));
        }
        fill(part, layer.kind == Layer::Kind::Fill ? fillColour(layer, seconds) : layer.colours[0], viewport);
    }
    glDisable(GL_SCISSOR_TEST);
    return true;
}
