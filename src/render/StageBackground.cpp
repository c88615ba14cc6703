#include "render/StageBackground.h"

#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "model/SlideshowThemeManager.h"
#include "platform/foundation/StandardPaths.h"
#include "platform/foundation/ThreadJoin.h"
#include "platform/gl/DriverLock.h"
#include "platform/image/ImageFilters.h"
#include "render/QuadDrawing.h"
#include "render/SharedShaderPrograms.h"

#include <QFileInfo>

#include <algorithm>
#include <functional>

namespace {

constexpr std::size_t kCacheAhead = 3;

QString fixedPictureName(int backgroundID) {
    switch (backgroundID) {
    case 3:
        return QStringLiteral("bk_cloth");
    case 4:
        return QStringLiteral("bk_clouds");
    case 5:
        return QStringLiteral("table");
    default:
        return QString();
    }
}

bool isFixed(int backgroundID) {
    return backgroundID >= 3 && backgroundID <= 5;
}

// The frustum at depth -3 through which every backdrop is seen; `turnOver` turns the backdrop upside down
// about the x axis first.
void backdropMatrices(Matrix4& modelView, Matrix4& projection, Matrix4& mvp, bool turnOver = false) {
    matrixLoadIdentity(modelView);
    matrixTranslate(modelView, 0.0f, 0.0f, -3.0f);
    if (turnOver)
        matrixRotate(modelView, 180.0f, 1.0f, 0.0f, 0.0f);
    projection = quad::slideProjection();
    mvp = quad::modelViewProjection(modelView, projection);
}

// Runs draw once for each band of the viewport around `hidden`, scissored to it; once unscissored when
// nothing is hidden. The caller's scissor state is kept.
void drawAround(const QRect& hidden, const std::function<void()>& draw) {
    GLint box[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, box);
    const QRect view(box[0], box[1], box[2], box[3]);
    if (hidden.isEmpty() || !view.intersects(hidden)) {
        draw();
        return;
    }
    const QRect middle = view & hidden;
    // GL's y grows upwards: QRect's top is the lowest row here.
    const QRect bands[4] = {
        QRect(QPoint(view.left(), view.top()), QPoint(view.right(), middle.top() - 1)),
        QRect(QPoint(view.left(), middle.bottom() + 1), QPoint(view.right(), view.bottom())),
        QRect(QPoint(view.left(), middle.top()), QPoint(middle.left() - 1, middle.bottom())),
        QRect(QPoint(middle.right() + 1, middle.top()), QPoint(view.right(), middle.bottom())),
    };
    const GLboolean scissoring = glIsEnabled(GL_SCISSOR_TEST);
    glGetIntegerv(GL_SCISSOR_BOX, box);
    glEnable(GL_SCISSOR_TEST);
    for (const QRect& band : bands) {
        if (band.isEmpty())
            continue;
        glScissor(band.x(), band.y(), band.width(), band.height());
        draw();
    }
    glScissor(box[0], box[1], box[2], box[3]);
    if (!scissoring)
        glDisable(GL_SCISSOR_TEST);
}

void positionsOfSize(float half, float positions[12]) {
    const float corners[12] = {-half, half, 0, -half, -half, 0, half, -half, 0, half, half, 0};
    std::copy(corners, corners + 12, positions);
}

} // namespace

StageBackground::StageBackground() = default;

StageBackground::~StageBackground() {
    stopLoader();
}

void StageBackground::setMainContext(std::shared_ptr<platform::gl::Context> main) {
    const std::lock_guard lock(contextMutex);
    context = std::move(main);
}

std::shared_ptr<platform::gl::Context> StageBackground::mainContext() const {
    const std::lock_guard lock(contextMutex);
    return context;
}

void StageBackground::setTheme(const QVariantMap& theme) {
    const int id = theme.value(QStringLiteral("backgroundID")).toInt();
    themeBackgroundID = id;
    userPictureStale = true;
    if (isFixed(id))
        fixedPictureStale = true;
}

void StageBackground::initForNewProject() {
    textureNo1.reset();
    textureNo2.reset();
    siTextureNo1.reset();
    shownIndex.reset();
    const auto project = SlideshowProject::currentMainProject();
    if (project && project->themeManger())
        setTheme(project->themeManger()->currentThemeDict());
}

QString StageBackground::userPicturePath() const {
    const auto project = SlideshowProject::currentMainProject();
    return project ? project->themeBackgroundPicture() : QString();
}

// A picture the project names stands behind the show also while it cannot be found: it shows black and an
// export fails, rather than the theme's own backdrop in its place.
StageBackground::Kind StageBackground::kind() const {
    const auto project = SlideshowProject::currentMainProject();
    if (project && !project->themeBackgroundPictureName().isEmpty())
        return Kind::UserPicture;
    const int id = themeBackgroundID;
    if (SlideshowThemeManager::isMovingBackdrop(id))
        return Kind::Moving;
    return id == 2 ? Kind::Black : Kind::FixedPicture;
}

std::size_t StageBackground::cacheCount() const {
    const std::lock_guard lock(textCacheLock);
    return textCacheArray.size();
}

void StageBackground::stop() {
    {
        const std::lock_guard lock(textCacheLock);
        bStopped = true;
    }
    cacheChanged.notify_all();
}

void StageBackground::stopLoader() {
    stop();
    const platform::gl::DriverLock::Released forTheLoader;
    platform::joinUnlessSelf(loader, "the backdrop loader");
}

void StageBackground::willBacktoProjectManagerView() {
    stopLoader();
    slideshowArray.clear();
}

void StageBackground::SetProjectSlideshowArray(const std::vector<std::shared_ptr<SlideItem>>& slides,
                                               quint64 startFrame, bool loop) {
    // A loader of the previous run must be gone before this run's cache starts filling.
    stopLoader();
    textureNo1.reset();
    textureNo2.reset();
    siTextureNo1.reset();
    shownIndex.reset();
    blendFactor = 0.0f;
    frameInSlide = 0;
    playedFrame = 0;
    runLoops = loop;
    slideshowArray = slides;
    // The user's picture is read once a run, by its first drawing.
    userPictureStale = true;
    userPictureLost = false;
    std::map<std::size_t, CacheEntry> dropped; // destroyed with the cache's lock let go
    {
        const std::lock_guard lock(textCacheLock);
        dropped.swap(textCacheArray);
        const auto start = placeAt(startFrame, slideshowArray);
        wantedIndex = start ? start->slideIndex : 0;
        bStopped = false;
        firstUnreadable.reset();
    }
    const auto main = mainContext();
    if (kind() != Kind::Moving || slideshowArray.empty() || !main)
        return;
    std::shared_ptr<platform::gl::Context> shared = platform::gl::Context::createShared(*main);
    loaderRunning = true;
    loader = std::thread(&StageBackground::threadLoadBackgroundTexture, this, std::move(shared),
                         themeBackgroundID.load());
}

void StageBackground::initParam() {
    playedFrame = 0;
}

std::optional<StageBackground::Place>
StageBackground::placeAt(quint64 frame, const std::vector<std::shared_ptr<SlideItem>>& slides) {
    if (slides.empty())
        return std::nullopt;
    const auto project = SlideshowProject::currentMainProject();
    quint64 start = 0;
    for (std::size_t i = 0; i < slides.size(); ++i) {
        quint64 period = slides[i]->nPhotoDuration() + slides[i]->nTransitionDuration();
        if (i == 0 && project)
            period += project->nFrameSlideshowFadeIn();
        // The fade-out may outlast the last period: its backdrop stays where that period ended.
        if (frame - start < period || i + 1 == slides.size())
            return Place{i, period == 0 ? 0 : std::min(frame - start, period - 1), period};
        start += period;
    }
    return std::nullopt;
}

float StageBackground::crossFadeAt(quint64 frameInPeriod, quint64 period) {
    const quint64 start = quint64(0.6f * float(period));
    if (period == 0 || frameInPeriod < start)
        return 0.0f;
    return std::min(1.0f, float(frameInPeriod - start + 1) / (0.4f * float(period)));
}

StageBackground::CacheEntry StageBackground::loadBackdrop(const std::shared_ptr<SlideItem>& slide,
                                                          int themeID) const {
    CacheEntry entry{slide, nullptr};
    const bool grey = themeID == 1;
    if (!grey && slide->itemType() != SlideItem::kItemTypePhoto)
        return entry; // it draws no backdrop of its own
    // Read as the slide reads it: a DVD menu's through the file it keeps open.
    const auto backdrop = slide->readPictureFile(SlideItem::PictureFile::Backdrop, {QSize(2048, 2048)});
    entry.texture = std::make_shared<TextureObject>();
    if (grey) {
        const QImage picture = backdrop ? backdrop->image : QImage();
        entry.texture->LoadCIImage(picture.isNull() ? picture
                                                    : platform::image::colorControls(picture, 0.0f));
    } else if (backdrop) {
        entry.texture->LoadPicture(*backdrop);
    }
    const bool whole = backdrop && backdrop->whole;
    // One that decoded in part is drawn, and counts as unreadable all the same.
    entry.unreadable =
        slide->drawsBackdropUnder(themeID) && (!entry.texture || entry.texture->textureID() == 0 || !whole);
    return entry;
}

std::optional<std::size_t> StageBackground::unreadableBackdrop() const {
    const std::lock_guard lock(textCacheLock);
    return firstUnreadable;
}

bool StageBackground::isWanted(std::size_t index) const {
    const std::size_t count = slideshowArray.size();
    return index < count && (index + count - wantedIndex) % count < std::min(kCacheAhead, count);
}

std::optional<std::size_t> StageBackground::firstMissing() const {
    const std::size_t count = slideshowArray.size();
    for (std::size_t ahead = 0; ahead < std::min(kCacheAhead, count); ++ahead)
        if (const std::size_t index = (wantedIndex + ahead) % count; !textCacheArray.contains(index))
            return index;
    return std::nullopt;
}

void StageBackground::threadLoadBackgroundTexture(std::shared_ptr<platform::gl::Context> own, int themeID) {
    {
        const platform::gl::Context::Scope scope(*own);
        const std::vector<std::shared_ptr<SlideItem>> slides = slideshowArray;
        while (true) {
            std::size_t next = 0;
            std::vector<CacheEntry> behind; // destroyed with the cache's lock let go
            {
                std::unique_lock lock(textCacheLock);
                cacheChanged.wait(lock, [&] { return bStopped || firstMissing().has_value(); });
                if (bStopped)
                    break;
                for (auto it = textCacheArray.begin(); it != textCacheArray.end();) {
                    if (isWanted(it->first)) {
                        ++it;
                        continue;
                    }
                    behind.push_back(std::move(it->second));
                    it = textCacheArray.erase(it);
                }
                next = *firstMissing();
            }
            behind.clear();
            CacheEntry entry = loadBackdrop(slides[next], themeID);
            {
                const std::lock_guard lock(textCacheLock);
                if (isWanted(next))
                    std::swap(textCacheArray[next], entry);
            }
            cacheChanged.notify_all();
        }
        // The backdrops go with the run: deleted here, on a context of their group, with the lock let go.
        std::map<std::size_t, CacheEntry> dropped;
        const std::lock_guard lock(textCacheLock);
        dropped.swap(textCacheArray);
    }
    own.reset();
    loaderRunning = false;
    cacheChanged.notify_all();
}

std::optional<StageBackground::CacheEntry> StageBackground::backdropOf(std::size_t index) {
    std::unique_lock lock(textCacheLock);
    if (index >= slideshowArray.size())
        return std::nullopt;
    if (!isWanted(index)) {
        wantedIndex = index;
        cacheChanged.notify_all();
    }
    const auto ready = [&] { return bStopped || !loaderRunning || textCacheArray.contains(index); };
    while (!ready())
        platform::gl::waitOutsideGl(lock, [&](auto& held) { cacheChanged.wait(held, ready); });
    const auto found = textCacheArray.find(index);
    if (bStopped || found == textCacheArray.end())
        return std::nullopt;
    return found->second;
}

void StageBackground::setPlayedFrame(quint64 frame) {
    if (kind() != Kind::Moving)
        return;
    const auto place = placeAt(frame, slideshowArray);
    if (!place)
        return;
    frameInSlide = int(place->frameInPeriod);
    blendFactor = crossFadeAt(place->frameInPeriod, place->period);
    if (shownIndex == place->slideIndex)
        return;
    {
        const std::lock_guard lock(textCacheLock);
        wantedIndex = place->slideIndex; // the loader lets go of the slides behind
    }
    cacheChanged.notify_all();
    // The last slide's backdrop fades into black.
    const auto first = backdropOf(place->slideIndex);
    const auto second = backdropOf(place->slideIndex + 1);
    textureNo1 = first ? first->texture : nullptr;
    siTextureNo1 = first ? first->slide : nullptr;
    textureNo2 = second ? second->texture : nullptr;
    if (const bool firstLost = first && first->unreadable; firstLost || (second && second->unreadable)) {
        const std::lock_guard lock(textCacheLock);
        if (!firstUnreadable)
            firstUnreadable = place->slideIndex + (firstLost ? 0 : 1);
    }
    if (first)
        shownIndex = place->slideIndex;
}

void StageBackground::ensureFixedTextures() {
    if (!textureBlackColor) {
        textureBlackColor = std::make_unique<TextureObject>();
        textureBlackColor->LoadImage(
            platform::paths::pathForResource(QStringLiteral("black"), QStringLiteral("png")));
    }
    if (fixedPictureStale.exchange(false)) {
        text1 = std::make_unique<TextureObject>();
        // A missing resource leaves the texture empty, which draws as black.
        const QString path = platform::paths::pathForResource(fixedPictureName(themeBackgroundID), "jpg");
        if (!path.isEmpty())
            text1->LoadImage(path);
    }
    if (userPictureStale.exchange(false)) {
        textureBackground.reset();
        userPictureLost = false;
    }
}

void StageBackground::loadUserPicture() {
    textureBackground = std::make_unique<TextureObject>();
    const QString path = userPicturePath();
    // Gone, out of the project's reach, unreadable or decoded only in part: what loaded is drawn, and told.
    userPictureLost = path.isEmpty() || !textureBackground->LoadImage(path) || !textureBackground->isWhole();
}

const TextureObject* StageBackground::textureOrBlack(const std::shared_ptr<TextureObject>& texture) {
    if (texture && texture->textureID() != 0)
        return texture.get();
    return textureBlackColor.get();
}

void StageBackground::DrawOneFrame(bool flip, const QRect& hidden) {
    ensureFixedTextures();
    switch (kind()) {
    case Kind::UserPicture:
        if (!textureBackground)
            loadUserPicture();
        DrawOneFrameStaticBackground(textureBackground.get(), flip, hidden);
        return;
    case Kind::FixedPicture:
        DrawOneFrameStaticBackground(text1.get(), flip, hidden);
        return;
    case Kind::Black:
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        return;
    case Kind::Moving:
        drawMoving(flip, hidden);
        return;
    }
}

void StageBackground::DrawOneFrame_new(bool flip) {
    ensureFixedTextures();
    switch (kind()) {
    case Kind::UserPicture:
        DrawOneFrameStaticBackground(textureBackground.get(), flip);
        return;
    case Kind::FixedPicture:
        DrawOneFrameStaticBackground(text1.get(), flip);
        return;
    case Kind::Black:
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        return;
    case Kind::Moving:
        break;
    }
    if (!bStopped && playedFrame >= slideShowTotalFrame) {
        if (runLoops)
            playedFrame = 0;
        else
            stop();
    }
    if (!bStopped)
        setPlayedFrame(playedFrame++);
    drawMoving(flip, QRect(), true);
}

void StageBackground::drawMoving(bool flip, const QRect& hidden, bool turnOver) {
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    if (bStopped)
        return;
    const auto shaders = SharedShaderPrograms::current();
    if (!shaders)
        return;
    // Turned over, the backdrop shows its back: culling would drop it.
    const bool turned = turnOver && !flip;
    const GLboolean culling = glIsEnabled(GL_CULL_FACE);
    if (turned)
        glDisable(GL_CULL_FACE);
    backdropMatrices(modelView, projection, mvp, turned);
    const TextureObject* first = textureOrBlack(textureNo1);
    const TextureObject* second = textureOrBlack(textureNo2);
    float positions[12];
    positionsOfSize(5.0f, positions);
    const float* texCoords = flip || turned ? quad::kUprightTexCoords : quad::kMirroredTexCoords;
    // A mix of two opaque pictures is opaque: blending it would change no pixel, only the cost.
    const bool opaque = (!first || first->isOpaque()) && (!second || second->isOpaque());
    if (opaque)
        glDisable(GL_BLEND);
    // Outside the cross-fade the mix is exactly one picture: sampling one is cheaper and gives the same
    // pixels.
    const float mixed = std::clamp(blendFactor, 0.0f, 1.0f);
    if (mixed == 0.0f || mixed == 1.0f) {
        const TextureObject* shown = mixed == 0.0f ? first : second;
        const ShaderProgramObject& program = shaders->Shader_one_texture;
        program.useMe();
        quad::setMvp(program, mvp);
        quad::bindTexture(6, shown ? shown->textureID() : 0);
        glUniform1i(program.uniformValue(QStringLiteral("texture")), 6);
        drawAround(hidden, [&] { quad::drawFan(program, positions, texCoords); });
    } else {
        const ShaderProgramObject& program = shaders->Shader_two_texture;
        program.useMe();
        quad::setMvp(program, mvp);
        glUniform1f(program.uniformValue(QStringLiteral("blendRato")), mixed);
        quad::bindTexture(6, first ? first->textureID() : 0);
        glUniform1i(program.uniformValue(QStringLiteral("texture")), 6);
        quad::bindTexture(5, second ? second->textureID() : 0);
        glUniform1i(program.uniformValue(QStringLiteral("texture1")), 5);
        drawAround(hidden, [&] { quad::drawFan(program, positions, texCoords, texCoords); });
    }
    glEnable(GL_BLEND);
    if (turned && culling)
        glEnable(GL_CULL_FACE);
    glActiveTexture(GL_TEXTURE0);
}

void StageBackground::DrawOneFrameStaticBackground(const TextureObject* texture, bool flip,
                                                   const QRect& hidden) {
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const auto shaders = SharedShaderPrograms::current();
    if (!shaders || !texture || texture->textureID() == 0)
        return;
    backdropMatrices(modelView, projection, mvp);
    const ShaderProgramObject& program = shaders->Shader_one_texture;
    program.useMe();
    quad::setMvp(program, mvp);
    quad::bindTexture(6, texture->textureID());
    glUniform1i(program.uniformValue(QStringLiteral("texture")), 6);
    float positions[12];
    positionsOfSize(3.0f, positions);
    drawAround(hidden, [&] {
        quad::drawFan(program, positions, flip ? quad::kUprightTexCoords : quad::kMirroredTexCoords);
    });
    glActiveTexture(GL_TEXTURE0);
}
