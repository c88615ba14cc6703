// A developer's window onto the render engine: plays a slideshow of the pictures given on the command line
// (or of pictures it draws itself) in the preview view, with a Play/Stop button.
//
//     vistrelle_preview [--theme-background N] [--screenshot FILE --after SECONDS] [pictures...]
#include "model/ModelClasses.h"
#include "model/SlideItem.h"
#include "model/SlideshowProject.h"
#include "platform/foundation/MainThread.h"
#include "render/NSGLView.h"
#include "render/PreviewController.h"
#include "render/SlideshowDirector.h"
#include "render/StageBackground.h"
#include "ui/main/PreviewWidget.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <atomic>
#include <cstdio>

namespace {

class PreviewPlayer : public PreviewController {
public:
    bool m_bPlaying() const override { return playing; }
    void setDirector(std::shared_ptr<SlideshowDirector> player) override { director = std::move(player); }

    void play() {
        const auto project = SlideshowProject::currentMainProject();
        director->setSlideshowArray(project->slideshowArray());
        playing = true;
    }
    void stop() {
        playing = false;
        director->stop();
        SlideshowProject::currentMainProject()->resetPlayerToBegin();
    }

    std::atomic<bool> playing{false};
    std::shared_ptr<SlideshowDirector> director;
};

// A picture of our own: a colour field with a few shapes, so that motion and turns can be seen.
QImage drawnPicture(int index) {
    QImage image(1600, 1200, QImage::Format_RGB32);
    QPainter painter(&image);
    const QColor base = QColor::fromHsv((index * 67) % 360, 160, 220);
    QLinearGradient gradient(0, 0, 1600, 1200);
    gradient.setColorAt(0, base);
    gradient.setColorAt(1, base.darker(250));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QPen(Qt::white, 24));
    painter.drawEllipse(QPoint(800, 600), 400, 400);
    painter.setFont(QFont("Sans", 220, QFont::Bold));
    painter.drawText(image.rect(), Qt::AlignCenter, QString::number(index + 1));
    return image;
}

std::vector<SlideItemRef> makeSlides(const QString& contents, const QStringList& pictures) {
    std::vector<SlideItemRef> slides;
    const int count = pictures.isEmpty() ? 4 : int(pictures.size());
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("slide_%1.jpg").arg(i);
        const QImage picture = pictures.isEmpty() ? drawnPicture(i) : QImage(pictures[i]);
        if (picture.isNull()) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(pictures[i]));
            continue;
        }
        picture.save(contents + "/" + name, "JPEG", 90);
        // The slide's own backdrop for the moving stage: the picture, darkened.
        QImage backdrop = picture.scaled(320, 240);
        QPainter(&backdrop).fillRect(backdrop.rect(), QColor(0, 0, 0, 140));
        backdrop.save(contents + "/bk_" + name, "JPEG", 85);
        auto slide = platform::makeMainThreadShared<SlideItem>();
        slide->setFileName(name);
        slide->setBackgroudImageFileName("bk_" + name);
        slide->setFSecPhotoDuration(3.0f);
        slide->setFSecTransitionDuration(1.0f);
        slides.push_back(slide);
    }
    return slides;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"theme-background",
                      "Stage background id (0 moving, 1 grey moving, 2 black, 3-5 pictures).", "id", "0"});
    parser.addOption({"screenshot", "Save a picture of the window to this file and quit.", "file"});
    parser.addOption({"after", "Seconds to play before the screenshot.", "seconds", "3"});
    parser.addOption({"restart-at", "Stop at this second and play again half a second later.", "seconds"});
    parser.addPositionalArgument("pictures", "Pictures to show (default: drawn ones).");
    parser.process(app);

    QTemporaryDir folder;
    const QString contents = folder.path() + "/Preview.VistrelleProject/Contents";
    QDir().mkpath(contents);
    registerModelClasses();
    auto project = platform::makeMainThreadShared<SlideshowProject>();
    project->setStrMacProjectBundleFullPath(folder.path() + "/Preview.VistrelleProject");
    project->setStrMacProjectBundleContentsPath(contents);
    project->setFltSlideshowFadeIn(1.0f);
    project->setFltSlideshowFadeOut(1.0f);
    SlideshowProject::retainProject(project);
    project->setSlideshowArray(makeSlides(contents, parser.positionalArguments()));
    project->calcSlideItemsPhotoTransitionDuration();

    PreviewPlayer player;
    NSGLView view(&player);
    try {
        view.prepareOpenGL();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "No OpenGL: %s\n", error.what());
        return 1;
    }
    player.director->backgroundRender()->setTheme(
        {{"backgroundID", parser.value("theme-background").toInt()}});

    QWidget window;
    window.setWindowTitle("Vistrelle preview");
    auto* layout = new QVBoxLayout(&window);
    auto* preview = new PreviewWidget(&view);
    layout->addWidget(preview, 1);
    auto* buttons = new QHBoxLayout;
    auto* playButton = new QPushButton("Stop");
    buttons->addStretch();
    buttons->addWidget(playButton);
    layout->addLayout(buttons);
    QObject::connect(playButton, &QPushButton::clicked, [&] {
        if (player.playing) {
            player.stop();
            playButton->setText("Play");
        } else {
            player.play();
            playButton->setText("Stop");
        }
    });
    window.resize(800, 520);
    window.show();
    player.play();

    QElapsedTimer clock;
    clock.start();
    if (parser.isSet("restart-at")) {
        const int at = int(parser.value("restart-at").toDouble() * 1000);
        QTimer::singleShot(at, [&] { playButton->click(); });
        QTimer::singleShot(at + 500, [&] {
            playButton->click();
            clock.restart();
        });
    }
    if (parser.isSet("screenshot")) {
        const int after = int(parser.value("after").toDouble() * 1000);
        QTimer::singleShot(after, [&] {
            window.grab().save(parser.value("screenshot"));
            std::printf("frame %llu after %.2f s of play\n",
                        (unsigned long long)player.director->nCurrentFrame(),
                        double(clock.elapsed()) / 1000.0);
            app.quit();
        });
    }
    const int status = app.exec();
    player.stop();
    // The project goes with this function's own hold, before main returns.
    SlideshowProject::retainProject(nullptr);
    return status;
}
