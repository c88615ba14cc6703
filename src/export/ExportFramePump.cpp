#include "export/ExportFramePump.h"

#include "export/EncodingProgressSteps.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/StringTable.h"

namespace ExportFramePump {

void run(const RendererFactory& factory, FramePump::Options options, const QVariantMap& stage,
         const std::function<void(double value)>& report, const std::function<void(const QString&)>& failed,
         const std::function<void(quint64 frames)>& wrote) {
    if (const SlideshowProjectRef project = SlideshowProject::currentMainProject())
        options.slides = project->slideshowArray();
    options.progress = [report, stage](double fraction) {
        report(EncodingProgressSteps::value(stage, fraction));
    };
    options.beforeClose = [failed, wrote](const FramePump::Outcome& outcome) {
        if (wrote)
            wrote(outcome.framesWritten);
        if (outcome.end == FramePump::Outcome::End::Failed)
            failed(outcome.error);
    };
    std::unique_ptr<FrameRenderer> renderer = factory ? factory() : nullptr;
    if (renderer) {
        FramePump::run(*renderer, options);
    } else {
        failed(tr_("The slideshow could not be drawn."));
        report(1.0);
    }
}

} // namespace ExportFramePump
