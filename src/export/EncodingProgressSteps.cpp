#include "export/EncodingProgressSteps.h"

#include "platform/foundation/StringTable.h"

namespace EncodingProgressSteps {
namespace {

QVariantMap makeStage(double start, double step, const QString& desc) {
    return {{"start", start}, {"step", step}, {"desc", desc}};
}

QVariantMap backgroundMusicStage() {
    return makeStage(0.0, 0.1, tr_("Creating background music ..."));
}

} // namespace

QVariantMap dvdMPEGIIStages() {
    return {{kBackgroundMusic(), backgroundMusicStage()},
            {kDVDMPEGII(), makeStage(0.1, 0.9, tr_("Creating DVD MPEG-2 video file ..."))}};
}

QVariantMap ffmpegMP4Stages() {
    return {{kBackgroundMusic(), backgroundMusicStage()},
            {kFFmpegMP4(), makeStage(0.1, 0.9, tr_("Encoding slideshow to video now, please waiting..."))}};
}

QVariantMap stage(const QVariantMap& stages, const QString& key) {
    return stages.value(key).toMap();
}

double value(const QVariantMap& stage, double progress) {
    return stage.value("start").toDouble() + stage.value("step").toDouble() * progress;
}

QString progressText(double value) {
    // The table's text is a printf format; it is filled in by hand so that a translated text can never
    // be read as a format with other arguments.
    QString text = tr_("Encoding slideshow to video now, please waiting...\n\n%.2f%%");
    text.replace(QStringLiteral("%.2f"), QString::number(value * 100.0, 'f', 2));
    text.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return text;
}

} // namespace EncodingProgressSteps
