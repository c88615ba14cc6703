#pragma once

#include <QString>
#include <QVariantMap>

// The stages of an export's progress: each maps a stage key to {"start", "step", "desc"}, and a stage at
// progress p (0 to 1) shows start + step x p of the whole export. The sound is mixed in the first tenth,
// the frames fill the rest.
namespace EncodingProgressSteps {

inline QString kBackgroundMusic() {
    return QStringLiteral("tempbackgroundmusic");
}
inline QString kDVDMPEGII() {
    return QStringLiteral("ffmmpegiidvd");
}
inline QString kFFmpegMP4() {
    return QStringLiteral("ffmmp4");
}

// The MPEG-2 creator's table ("tempbackgroundmusic", "ffmmpegiidvd"), which the movie encoder and the
// live movie pump use as well.
QVariantMap dvdMPEGIIStages();
// The ffmpeg MP4 creator's table ("tempbackgroundmusic", "ffmmp4").
QVariantMap ffmpegMP4Stages();
QVariantMap stage(const QVariantMap& stages, const QString& key);

// start + step x progress of a stage dictionary.
double value(const QVariantMap& stage, double progress);
// The text shown with a progress value (a fraction of 1).
QString progressText(double value);

} // namespace EncodingProgressSteps
