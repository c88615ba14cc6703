#pragma once

// The DVD command's tests' ground: a command on the test's project and player, a disc image as its drive,
// and dialogs that record what they were asked.

#include "DVDCommandTestSupport.h"

#include "dvd/DVDCommand.h"
#include "dvd/MyBurnObject.h"
#include "platform/disc/DiscDrive.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <memory>

namespace dvd_command_test {

// The start of a stand-in ffmpeg: `$video` is the first input it is given (the frames' pipe), and `$a`, once
// the loop is done, the last argument (where it writes).
inline const QByteArray kFFmpegInputs =
    "for a; do if [ \"$prev\" = -i ] && [ -z \"$video\" ]; then video=$a; fi; prev=$a; done\n";

} // namespace dvd_command_test

class DVDCommandTest : public DVDRenderTest {
protected:
    void SetUp() override {
        DVDRenderTest::SetUp();
        if (HasFatalFailure())
            return;
        project->setBPlayLoop(true);
        QString error;
        drive =
            platform::disc::DiscDrive::open(platform::disc::DiscDrive::pseudoDriveAddress(image()), &error);
        ASSERT_TRUE(drive) << qPrintable(error);
        command = std::make_unique<DVDCommand>(director, dialogs, center);
        command->setCreatorSetup([](DVDMPEGIICreateObject& creator) {
            creator.setCancelPolling(std::chrono::milliseconds(20), 5);
        });
    }
    void TearDown() override {
        command.reset();
        drive.reset();
        DVDRenderTest::TearDown();
    }

    QString image() const { return folder.file("disc.img"); }
    QString marker() const { return folder.file("started"); }
    QByteArray touchMarker() const { return "touch \"" + QFile::encodeName(marker()) + "\"\n"; }

    bool commandEnds() {
        return dvd_command_test::spinUntil([&] { return command->stage() == DVDCommand::Stage::Idle; });
    }

    QStringList menuFrames() const {
        return QDir(contents()).entryList({"menu_bk_*.png"}, QDir::Files, QDir::Name);
    }

    // Nothing reached the disc, and the project is as it was before the command.
    void expectNothingBurntAndProjectRestored() {
        EXPECT_TRUE(command->myburnObj() == nullptr || command->myburnObj()->trackBlocks() == 0);
        EXPECT_EQ(QFileInfo(image()).size(), 0) << "something was written to the disc";
        EXPECT_TRUE(project->bPlayLoop());
        EXPECT_EQ(SlideshowProject::ulFrameRate(), 30u);
    }

    // The one alert, titled "ERROR", names the outside program that failed.
    void expectStepAlert(const QString& step) {
        ASSERT_EQ(dialogs.alerts.size(), 1u) << qPrintable(dialogs.alertText());
        EXPECT_EQ(dialogs.alerts[0].title, "ERROR");
        EXPECT_TRUE(dialogs.alerts[0].message.contains("\"" + step + "\""))
            << qPrintable(dialogs.alertText());
    }

    RecordingDialogs dialogs;
    std::shared_ptr<platform::disc::DiscDrive> drive;
    std::unique_ptr<DVDCommand> command;
};
