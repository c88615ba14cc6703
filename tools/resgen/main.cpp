// Draws the binary resources of the application into the folder given as the only argument.
// Everything is made from code with fixed seeds, so every build makes the same files; README.md beside
// this file lists what is made and where each name is used.
#include "Resgen.h"

#include <QGuiApplication>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    // The generator only draws into images; it must run on build machines without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vistrelle_resgen <resource folder>\n");
        return 2;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(".")) {
        std::fprintf(stderr, "resgen: cannot create %s\n", argv[1]);
        return 1;
    }
    using Maker = bool (*)(const QDir&);
    const std::vector<Maker> makers = {
        resgen::makeMasks,                  // transition masks "01" ... "50"
        resgen::makeMaskIcons,              // their picker icons "icon48-01" ... "icon48-50"
        resgen::makeTransitionIcons,        // icons of the other transitions and the Random die
        resgen::makeThemeIcons,             // theme list icons
        resgen::makeFramePatterns,          // wood, paper and cloth frame patterns
        resgen::makeBackdrops,              // stage backdrops and the blank slide's background
        resgen::makeStockPictures,          // "vector_001" ... "vector_028"
        resgen::makeTimelinePictures,       // timeline cells, markers, waveforms, Stop button
        resgen::makeSounds,                 // "silence1s" and "default"
        resgen::makeDvdMenus,               // "DVDMenu/<Folder>/" pictures of the DVD-menu templates
        resgen::makeWelcomePictures,        // the preview's welcome picture and the Play button's image
        resgen::makeShareBadges,            // the share targets' badges
        resgen::makeCircularSliderPictures, // the circular slider's dials and knobs
    };
    for (Maker make : makers)
        if (!make(out))
            return 1;
    return 0;
}
