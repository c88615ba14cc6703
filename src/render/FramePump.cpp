#include "render/FramePump.h"

#include "platform/foundation/StringTable.h"

FramePump::Outcome FramePump::run(FrameRenderer& renderer, const Options& options) {
    Outcome outcome;
    QString error;
    const FrameRenderer::Play play{options.slides, options.pipePath,
                                   [&options] {
                                       return (options.stopBeforeRender && options.stopBeforeRender()) ||
                                              (options.stopBeforeWrite && options.stopBeforeWrite());
                                   },
                                   options.yuvFrames};
    if (renderer.begin(play, &error)) {
        outcome.totalFrames = renderer.totalFrames();
        pumpFrames(renderer, options, outcome);
    } else {
        outcome.error = error.isEmpty() ? tr_("The slideshow could not be drawn.") : error;
    }
    if (options.beforeClose)
        options.beforeClose(outcome);
    renderer.end();
    if (options.progress)
        options.progress(1.0);
    return outcome;
}

void FramePump::pumpFrames(FrameRenderer& renderer, const Options& options, Outcome& outcome) {
    const quint64 total = outcome.totalFrames;
    for (quint64 i = 0; i < total; ++i) {
        if (options.stopBeforeRender && options.stopBeforeRender()) {
            outcome.end = Outcome::End::Stopped;
            return;
        }
        if (!renderer.renderFrame()) {
            const QString why = renderer.renderError();
            outcome.error = why.isEmpty() ? tr_("The slideshow could not be drawn.") : why;
            return; // a show ends after its last frame, never before
        }
        ++outcome.framesRendered;
        if (i == 0 && options.skipFirstFrame)
            continue;
        if (options.stopBeforeWrite && options.stopBeforeWrite()) {
            outcome.end = Outcome::End::Stopped;
            return;
        }
        QString error;
        if (!renderer.writeFrame(&error)) {
            outcome.error = error.isEmpty() ? tr_("A frame of the slideshow could not be written.") : error;
            return;
        }
        ++outcome.framesWritten;
        if (options.progress)
            options.progress(double(i) / double(total));
    }
    QString error;
    if (!renderer.finishWriting(&error)) {
        outcome.error = error.isEmpty() ? tr_("A frame of the slideshow could not be written.") : error;
        return;
    }
    outcome.end = Outcome::End::Completed;
}
