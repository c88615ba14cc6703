#pragma once

// A renderer of a real export that lets a test act between two of its frames: the hook runs on the pump's
// thread once frame n (from 0) of the show has been drawn and before the next one is, so what it does to
// the files the play reads lands at a known frame however fast or loaded the machine is. `begun`, when
// given, runs once the renderer has begun (the play started) and, of the player's renderer, the export's
// look at its pictures has ended, before the first frame is drawn: what it spoils is found by the play.

#include "render/DirectorFrameRenderer.h"
#include "render/FramePump.h"

#include <functional>
#include <memory>
#include <utility>

namespace test_support {

class FrameHookRenderer : public FrameRenderer {
public:
    using Hook = std::function<void(quint64 drawn)>;
    FrameHookRenderer(std::unique_ptr<FrameRenderer> drawing, Hook hook, std::function<void()> begun = {})
        : renderer(std::move(drawing)), hook(std::move(hook)), begun(std::move(begun)) {}

    bool begin(const Play& play, QString* error) override {
        if (!renderer->begin(play, error))
            return false;
        if (auto* player = dynamic_cast<DirectorFrameRenderer*>(renderer.get()))
            player->waitForPictureLook();
        if (begun)
            begun();
        return true;
    }
    quint64 totalFrames() const override { return renderer->totalFrames(); }
    bool renderFrame() override {
        if (!renderer->renderFrame())
            return false;
        hook(drawn++);
        return true;
    }
    QString renderError() const override { return renderer->renderError(); }
    bool writeFrame(QString* error) override { return renderer->writeFrame(error); }
    qint64 frameBytes() const override { return renderer->frameBytes(); }
    bool readFrame(unsigned char* buffer, qint64 size, QString* error) override {
        return renderer->readFrame(buffer, size, error);
    }
    bool finishWriting(QString* error) override { return renderer->finishWriting(error); }
    void end() override { renderer->end(); }

private:
    std::unique_ptr<FrameRenderer> renderer;
    Hook hook;
    std::function<void()> begun;
    quint64 drawn = 0;
};

// The renderers `make` makes, each with the hooks.
inline std::function<std::unique_ptr<FrameRenderer>()>
withFrameHook(std::function<std::unique_ptr<FrameRenderer>()> make, FrameHookRenderer::Hook hook,
              std::function<void()> begun = {}) {
    return [make = std::move(make), hook = std::move(hook), begun = std::move(begun)] {
        return std::make_unique<FrameHookRenderer>(make(), hook, begun);
    };
}

} // namespace test_support
