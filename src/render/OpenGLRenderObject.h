#pragma once

#include "platform/gl/Context.h"
#include "platform/gl/GlApi.h"
#include "render/SharedShaderPrograms.h"

#include <QRect>
#include <QSize>

#include <atomic>
#include <memory>

class PreviewController;
class SlideshowDirector;
class TextureObject;

// Where the render object draws a preview frame and how the frame is shown when it is done: the view's
// off-screen target.
class PreviewDrawable {
public:
    virtual ~PreviewDrawable() = default;
    // Binds the target for drawing; called with the main context current and locked.
    virtual GLuint bindDrawable() = 0;
    // Shows what was drawn (the buffer swap of a window); called before the lock is released.
    virtual void flushBuffer() = 0;
};

// The preview's render object: sets the frame rate to 30, builds the shared programs, makes the player,
// keeps the preview's picture at 16:9 inside the view and draws one frame per display refresh under the
// main context's lock.
class OpenGLRenderObject {
public:
    // With the main context current: the frame rate, the shared programs, depth test, culling, a black
    // clear of the default target, GL errors drained.
    explicit OpenGLRenderObject(GLuint defaultFBO = 0);

    void loadShaders();
    // Makes the player (with the main context) and leaves it stopped.
    void createTestProject();
    // The view's size in pixels: the 16:9 viewport inside it, the drawing aspect ratio and the project's
    // screen and view fields. Called with the main context current and locked.
    void resizeWithWidth(unsigned width, unsigned height);
    // One preview frame: nothing while an export renders, while not playing, with the player stopped, or
    // when the frame gave way to another thread that wanted the player. Answers whether a frame was drawn.
    bool render();
    void refreshUI() {}
    // Draws one picture keeping its ratio inside the bound target (the welcome and still pictures).
    void showImageInOpenGLWithMove_One_Texture(const TextureObject& texture);
    // A test drawing of the bound target: dark blue, and a rectangle a third of the view high and half of it
    // wide whose corners are yellow (bottom left), cyan, magenta and black (top left), bobbing up and down
    // as drawColorRectTranslate() grows by 0.075 each call.
    void drawColorRect();
    static float drawColorRectTranslate();

    std::shared_ptr<SlideshowDirector> director() const { return player; }
    void setDirector(std::shared_ptr<SlideshowDirector> director) { player = std::move(director); }
    PreviewController* mainObj() const { return controller; }
    void setMainObj(PreviewController* object) { controller = object; }
    std::shared_ptr<platform::gl::Context> mainContext() const { return context; }
    void setMainContext(std::shared_ptr<platform::gl::Context> main) { context = std::move(main); }
    void setDrawable(PreviewDrawable* target) { drawable = target; }
    std::shared_ptr<SharedShaderPrograms> shaders() const { return programs; }

    QSize viewSize() const { return QSize(int(viewWidth), int(viewHeight)); }
    // The 16:9 picture inside the view, in GL coordinates (origin bottom left).
    QRect viewport() const { return QRect(viewportX, viewportY, viewportWidth, viewportHeight); }
    // The 16:9 viewport of a view of the given size.
    static QRect viewportForSize(unsigned width, unsigned height);

private:
    GLuint defaultFBOName;
    unsigned viewWidth = 100, viewHeight = 100;
    int viewportX = 0, viewportY = 0, viewportWidth = 100, viewportHeight = 100;
    std::shared_ptr<SlideshowDirector> player;
    PreviewController* controller = nullptr;
    std::shared_ptr<platform::gl::Context> context;
    PreviewDrawable* drawable = nullptr;
    std::shared_ptr<SharedShaderPrograms> programs;
};
