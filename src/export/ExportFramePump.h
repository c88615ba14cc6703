#pragma once

#include "render/FramePump.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

// The frame pump of the exports that render the open project into a pipe.
namespace ExportFramePump {

using RendererFactory = std::function<std::unique_ptr<FrameRenderer>()>;

// Pumps the open project's slides with the pipe, stop checks and first-frame rule already in options,
// reporting each fraction as a value of the stage. A pump that fails tells failed before the pipe closes;
// with no renderer it tells failed and reports the end, so that the reader side is not left waiting.
// `wrote`, when given, learns how many frames went into the pipe, before it closes.
void run(const RendererFactory& factory, FramePump::Options options, const QVariantMap& stage,
         const std::function<void(double value)>& report, const std::function<void(const QString&)>& failed,
         const std::function<void(quint64 frames)>& wrote = {});

} // namespace ExportFramePump
