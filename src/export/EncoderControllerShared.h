#pragma once

// What the encoder's source files share: the size of the sound's chunks and the failures they tell.

#include <QString>
#include <QVariantMap>

#include <optional>

namespace encoder_controller {

// Sound frames read and written at a time.
inline constexpr int kAudioChunkFrames = 1024;

// A failure as dictEncodeResult() tells it, with the system's error number when it had one.
QVariantMap failureResult(const QString& desc, std::optional<int> error = std::nullopt);
QString pipeOpenFailure();

} // namespace encoder_controller
