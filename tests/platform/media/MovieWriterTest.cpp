#include "platform/media/MediaAsset.h"
#include "platform/media/MovieWriter.h"
#include "platform/media/VideoReader.h"
#include "support/ClipMaker.h"
#include "support/ColourBars.h"
#include "support/MediaProbe.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace platform::media;

TEST(MovieWriterSmoke, Writes) {
    TempDir dir;
    ClipMaker::Options options;
    options.size = QSize(640, 360);
    options.frames = 60;
    options.audio = true;
    options.title = "T";
    QString error;
    ASSERT_TRUE(ClipMaker::make(dir.file("a.mp4"), options, &error)) << error.toStdString();
    MediaProbe probe = MediaProbe::probe(dir.file("a.mp4"));
    for (auto& s : probe.streams)
        printf("%s %s %dx%d packets %d dur %f first %f keys %zu\n", qPrintable(s.type), qPrintable(s.codec), s.width, s.height, s.packets, s.durationSeconds, s.firstPtsSeconds, s.keyFrames.size());
    printf("dur %f tags %s\n", probe.durationSeconds, qPrintable(probe.tags.keys().join(",")));
    VideoReader reader;
    ASSERT_TRUE(reader.open(dir.file("a.mp4")));
    VideoFrame f;
    int n = 0;
    while (reader.readFrame(f)) { if (n < 3 || n > 57) printf("frame %d t=%f\n", n, f.time.seconds()); ++n; }
    printf("frames %d\n", n);
}
