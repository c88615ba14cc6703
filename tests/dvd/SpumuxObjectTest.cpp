#include "DVDTestSupport.h"

#include "dvd/DVDMenuItem.h"
#include "dvd/SpumuxObject.h"
#include "platform/foundation/ToolLocator.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

using namespace dvd_test;
using test_support::readBytes;

namespace {

// The attribute values of every element named `element` in the XML text, in document order.
QStringList attributeValues(const QString& xml, const QString& element, const QString& attribute) {
    QXmlStreamReader reader(xml);
    QStringList values;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == element)
            values << reader.attributes().value(attribute).toString();
    }
    EXPECT_FALSE(reader.hasError()) << qPrintable(reader.errorString());
    return values;
}

class SpumuxObjectTest : public ::testing::Test {
protected:
    // A project whose temporary folder has XML's special characters in its name.
    DVDProjectSettings awkwardProject(bool pal) {
        DVDProjectSettings project = testProject(dir.path(), 3, pal);
        project.temporaryFolder = dir.file("tmp & <more> \"quoted\" 'too'");
        EXPECT_TRUE(QDir().mkpath(project.temporaryFolder));
        return project;
    }

    // A menu stream for spumux to read.
    QString menuInput(const QByteArray& bytes) {
        EXPECT_TRUE(test_support::writeBytes(dir.file("in.mpg"), bytes));
        return dir.file("in.mpg");
    }

    TempDir dir;
};

} // namespace

TEST_F(SpumuxObjectTest, ButtonRowsWrapAroundAtBothEnds) {
    const QList<QRect> three{QRect(10, 20, 30, 40), QRect(100, 20, 30, 40), QRect(200, 20, 30, 40)};
    EXPECT_EQ(SpumuxObject::buttonRows(three), "<button name=\"1\" x0=\"10\" y0=\"20\" x1=\"40\" y1=\"60\" "
                                               "up=\"1\" down=\"2\" left=\"1\" right=\"2\" />\n"
                                               "<button name=\"2\" x0=\"100\" y0=\"20\" x1=\"130\" y1=\"60\" "
                                               "up=\"1\" down=\"3\" left=\"1\" right=\"3\" />\n"
                                               "<button name=\"3\" x0=\"200\" y0=\"20\" x1=\"230\" y1=\"60\" "
                                               "up=\"2\" down=\"1\" left=\"2\" right=\"1\" "
                                               "/>\n");
    EXPECT_EQ(SpumuxObject::buttonRows({QRect(360, 240, 150, 88)}),
              "<button name=\"1\" x0=\"360\" y0=\"240\" x1=\"510\" y1=\"328\" up=\"1\" down=\"1\" left=\"1\" "
              "right=\"1\" "
              "/>\n");
    EXPECT_EQ(SpumuxObject::buttonRows({}), "");
}

TEST_F(SpumuxObjectTest, MenuCodeJumpsToATitlePerButtonAndLoops) {
    EXPECT_EQ(SpumuxObject::menuCode(2, "/tmp/x/dvdmenu_out.mpg"),
              "<button> jump title 1; </button>\n<button> jump title 2; </button>\n"
              "<vob file=\"/tmp/x/dvdmenu_out.mpg\" pause=\"0\"/>\n<post>jump cell 1;</post>");
    EXPECT_EQ(SpumuxObject::menuCode(0, "/a&b/o.mpg"),
              "<vob file=\"/a&amp;b/o.mpg\" pause=\"0\"/>\n<post>jump cell 1;</post>");
}

TEST_F(SpumuxObjectTest, ControlFileNamesTheReducedPicturesEscaped) {
    const DVDProjectSettings project = awkwardProject(false);
    SpumuxObject spumux(project);
    spumux.image_spumux({QRect(360, 240, 150, 88)}); // spumux itself fails here: no menu stream
    ASSERT_TRUE(QFileInfo::exists(spumux.xmlFilePath()));
    EXPECT_EQ(QFileInfo(spumux.xmlFilePath()).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
    const QString xml = QString::fromUtf8(readBytes(spumux.xmlFilePath()));
    EXPECT_EQ(attributeValues(xml, "spu", "image"),
              QStringList(DVDMenuItem::reducedStateImagePath(project.temporaryFolder, 0)));
    EXPECT_EQ(attributeValues(xml, "spu", "highlight"),
              QStringList(DVDMenuItem::reducedStateImagePath(project.temporaryFolder, 1)));
    EXPECT_EQ(attributeValues(xml, "spu", "select"),
              QStringList(DVDMenuItem::reducedStateImagePath(project.temporaryFolder, 2)));
    EXPECT_EQ(attributeValues(xml, "button", "y1"), QStringList("328"));
}

TEST_F(SpumuxObjectTest, RealSpumuxAddsTheButtonsToTheMenuStream) {
    for (bool pal : {false, true}) {
        SCOPED_TRACE(pal ? "PAL" : "NTSC");
        DVDProjectSettings project = awkwardProject(pal);
        project.dvdTitle = "Menu";
        DVDMenuItem menu(menuTemplate(1));
        ASSERT_TRUE(menu.buildMenuImages(project));
        const QString menuStream = project.temporaryFolder + "/menu.mpg";
        ASSERT_TRUE(makeMenuStream(menuStream, menu.imagesArray(), pal, true));
        SpumuxObject spumux(project);
        spumux.setInputMpegFilePath(menuStream);
        DVDStepError error;
        ASSERT_TRUE(spumux.image_spumux(menu.stateButtonRectArray(), &error)) << qPrintable(error.message());
        EXPECT_EQ(spumux.outputMpegFilePath(), project.temporaryFolder + "/dvdmenu_out.mpg");
        EXPECT_GT(QFileInfo(spumux.outputMpegFilePath()).size(), QFileInfo(menuStream).size());
        QByteArray probe;
        ASSERT_TRUE(runProgram("ffprobe",
                               {"-v", "error", "-show_entries", "stream=codec_name", "-of", "csv=p=0",
                                spumux.outputMpegFilePath()},
                               &probe));
        EXPECT_TRUE(probe.contains("dvd_subtitle")) << probe.constData();
        EXPECT_TRUE(probe.contains("mpeg2video")) << probe.constData();
        const QString muxed =
            attributeValues("<menu>" + spumux.strMenuSectionCode() + "</menu>", "vob", "file").value(0);
        EXPECT_EQ(spumux.strMenuSectionCode(), SpumuxObject::menuCode(1, muxed));
        EXPECT_EQ(QFileInfo(muxed).canonicalFilePath(),
                  QFileInfo(spumux.outputMpegFilePath()).canonicalFilePath())
            << "the section names the muxed menu through the file spumux wrote";
    }
}

TEST_F(SpumuxObjectTest, SpumuxIsToldTheProjectsTVSystem) {
    FakeTools tools;
    tools.add("spumux", "echo \"$VIDEO_FORMAT\" > \"" + QFile::encodeName(dir.file("format")) + "\"\ncat");
    const test_support::EnvOverride format("VIDEO_FORMAT", QStringLiteral("SECAM"));
    for (bool pal : {true, false}) {
        SpumuxObject spumux(testProject(dir.path(), 3, pal));
        spumux.setInputMpegFilePath(menuInput("menu stream bytes"));
        ASSERT_TRUE(spumux.image_spumux({}));
        EXPECT_EQ(readBytes(dir.file("format")).trimmed(), pal ? "PAL" : "NTSC");
        // Standard input is the menu stream and standard output the muxed file.
        EXPECT_EQ(readBytes(spumux.outputMpegFilePath()), "menu stream bytes");
    }
}

// Another program puts links to files of its own at the control file's and the muxed menu's names once they
// are made and before spumux starts: spumux reads the control file made for it and writes only into the file
// made for the muxed menu, which the menu section names; the links' targets keep their bytes.
TEST_F(SpumuxObjectTest, LinksPutAtItsFilesNamesAreNeverReadNorWrittenThrough) {
    TempDir elsewhere;
    const QString victimXml = elsewhere.file("other.xml");
    const QString victimMenu = elsewhere.file("other.mpg");
    ASSERT_TRUE(test_support::writeBytes(victimXml, "<other/>"));
    ASSERT_TRUE(test_support::writeBytes(victimMenu, "keep"));
    FakeTools tools;
    tools.add("spumux", "cat \"$1\" > " + quoted(dir.file("control read")) + "\ncat");
    SpumuxObject spumux(testProject(dir.path(), 3));
    spumux.setInputMpegFilePath(menuInput("menu stream bytes"));
    const auto plant = [](const QString& target, const QString& name) {
        ASSERT_TRUE(QFile::link(target, name + ".link"));
        ASSERT_EQ(
            ::rename(QFile::encodeName(name + ".link").constData(), QFile::encodeName(name).constData()), 0);
    };
    spumux.setBeforeLaunch([&] {
        plant(victimXml, spumux.xmlFilePath());
        plant(victimMenu, spumux.outputMpegFilePath());
    });
    DVDStepError error;
    ASSERT_TRUE(spumux.image_spumux({QRect(0, 0, 10, 10)}, &error)) << qPrintable(error.message());
    EXPECT_TRUE(readBytes(dir.file("control read")).contains("<button name=\"1\""))
        << readBytes(dir.file("control read")).constData();
    EXPECT_EQ(readBytes(victimXml), "<other/>");
    EXPECT_EQ(readBytes(victimMenu), "keep");
    const QStringList muxed =
        attributeValues("<menu>" + spumux.strMenuSectionCode() + "</menu>", "vob", "file");
    ASSERT_EQ(muxed.size(), 1);
    EXPECT_EQ(readBytes(muxed[0]), "menu stream bytes") << "the menu section names the file spumux wrote";
}

// Another program puts files of its own at the four-colour state pictures' names before spumux starts: the
// control file names the pictures the menu made, through their descriptors, and spumux reads those.
TEST_F(SpumuxObjectTest, StatePicturesPutAtTheirNamesMeanwhileAreNeverRead) {
    const DVDProjectSettings project = testProject(dir.path(), 3);
    std::vector<platform::UniqueFd> made;
    for (const char* picture : {"normal picture", "highlighted picture", "selected picture"}) {
        const QString path = dir.file(QString(picture) + ".png");
        ASSERT_TRUE(test_support::writeBytes(path, picture));
        made.emplace_back(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    }
    FakeTools tools;
    tools.add("spumux", "for a in image highlight select; do\n"
                        "  f=$(sed -n \"s/^ *$a=\\\"\\([^\\\"]*\\)\\\".*/\\1/p\" \"$1\")\n"
                        "  cat \"$f\" >> " +
                            quoted(dir.file("pictures read")) + "\n  echo >> " +
                            quoted(dir.file("pictures read")) + "\ndone\ncat");
    SpumuxObject spumux(project);
    spumux.setInputMpegFilePath(menuInput("menu stream bytes"));
    spumux.setStatePictureFiles(std::move(made));
    spumux.setBeforeLaunch([&] {
        for (int state = 0; state <= 2; ++state)
            ASSERT_TRUE(test_support::writeBytes(
                DVDMenuItem::reducedStateImagePath(project.resolvedTemporaryFolder(), state),
                "other program's"));
    });
    DVDStepError error;
    ASSERT_TRUE(spumux.image_spumux({QRect(0, 0, 10, 10)}, &error)) << qPrintable(error.message());
    EXPECT_EQ(readBytes(dir.file("pictures read")),
              "normal picture\nhighlighted picture\nselected picture\n");
}

TEST_F(SpumuxObjectTest, FailuresStopTheStep) {
    const DVDProjectSettings project = testProject(dir.path(), 3);
    const QString input = menuInput("menu");
    FakeTools tools;
    const QByteArray marker = QFile::encodeName(dir.file("ran"));
    struct Case {
        const char* script;
        QString input;
        const char* expected;
    } cases[] = {
        {"echo 'ERR: bad button' >&2\nexit 2", input, "bad button"},
        {"exit 0", input, "wrote nothing"},
        {"kill -9 $$", input, "signal 9"},
        {"cat", dir.file("missing.mpg"), "missing or empty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        QFile::remove(dir.file("ran"));
        tools.add("spumux", "touch \"" + marker + "\"\n" + c.script);
        SpumuxObject spumux(project);
        spumux.setInputMpegFilePath(c.input);
        DVDStepError error;
        EXPECT_FALSE(spumux.image_spumux({QRect(0, 0, 10, 10)}, &error));
        EXPECT_EQ(error.step, "spumux");
        EXPECT_TRUE(error.detail.contains(c.expected)) << qPrintable(error.detail);
        EXPECT_TRUE(spumux.strMenuSectionCode().isEmpty());
        EXPECT_EQ(QFileInfo::exists(dir.file("ran")), c.input == input);
    }
}

TEST_F(SpumuxObjectTest, CancelStopsARunningSpumuxAndPreventsALaterOne) {
    const DVDProjectSettings project = testProject(dir.path(), 3);
    const QString input = menuInput("menu");
    FakeTools tools;
    tools.add("spumux", "touch \"" + QFile::encodeName(dir.file("started")) + "\"\nexec sleep 30");
    SpumuxObject spumux(project);
    spumux.setInputMpegFilePath(input);
    std::thread canceller([&] {
        if (waitForFile(dir.file("started")))
            spumux.cancel();
    });
    const auto start = std::chrono::steady_clock::now();
    DVDStepError error;
    EXPECT_FALSE(spumux.image_spumux({}, &error));
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_TRUE(spumux.wasCancelled());
    EXPECT_EQ(error.step, "spumux");

    QFile::remove(dir.file("started"));
    SpumuxObject later(project);
    later.setInputMpegFilePath(input);
    later.cancel();
    EXPECT_FALSE(later.image_spumux({}));
    EXPECT_FALSE(QFileInfo::exists(dir.file("started")));
}

// ---- the earlier button pictures and the small file chores beside them

TEST_F(SpumuxObjectTest, TheEarlierButtonPictureHighlightsEveryButtonRectangleWhereItIs) {
    SpumuxObject spumux(testProject(dir.path(), 3));
    EXPECT_EQ(spumux.outputSize(), QSizeF(720, 480));
    const QList<QRect> buttons{QRect(60, 40, 150, 88), QRect(500, 300, 112, 112)};
    spumux.setButtonRectArray(buttons);
    for (const QSize size : {QSize(720, 480), QSize(720, 576)}) {
        SCOPED_TRACE(size.height());
        spumux.setOutputSize(size);
        const QString path = dir.file(QStringLiteral("buttons%1.png").arg(size.height()));
        ASSERT_TRUE(spumux.image_spumux(path));
        const QImage picture = QImage(path).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(picture.size(), size);
        EXPECT_LE(distinctColours(picture), 2) << "clear and the highlight, nothing a subpicture cannot hold";
        std::vector<QRect> seen(buttons.size());
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                if (qAlpha(picture.pixel(x, y)) == 0)
                    continue;
                const auto inside = std::find_if(buttons.begin(), buttons.end(),
                                                 [&](const QRect& r) { return r.contains(x, y); });
                ASSERT_NE(inside, buttons.end()) << "highlight outside every button at " << x << "," << y;
                QRect& box = seen[std::size_t(inside - buttons.begin())];
                box = box.united(QRect(x, y, 1, 1));
            }
        // The highlight fills its rectangle but for the picture's own clear margin.
        for (std::size_t i = 0; i < seen.size(); ++i)
            EXPECT_TRUE(seen[i].marginsAdded(QMargins(10, 10, 10, 10)).contains(buttons[int(i)])) << i;
    }
    EXPECT_FALSE(spumux.image_spumux(dir.file("no such folder/buttons.png")));
}

TEST_F(SpumuxObjectTest, ReducesAPictureWithItsOwnPngquantAsTheMenuDoes) {
    const QString picture = dir.file("buttons.png");
    {
        SpumuxObject spumux(testProject(dir.path(), 3));
        EXPECT_EQ(spumux.pathToPngquant(), platform::locateTool("pngquant"));
        spumux.setButtonRectArray({QRect(60, 40, 150, 88)});
        ASSERT_TRUE(spumux.image_spumux(picture));
        DVDStepError error;
        ASSERT_TRUE(spumux.run_pngquant(picture, &error)) << qPrintable(error.message());
        const QImage reduced(dir.file("buttons-fs8.png"));
        EXPECT_EQ(reduced.size(), QSize(720, 480));
        EXPECT_LE(distinctColours(reduced), 4);
    }
    FakeTools tools;
    tools.add("pngquant", "echo \"$*\" > " + QFile::encodeName(dir.file("asked")) + "\nexit 3");
    SpumuxObject spumux(testProject(dir.path(), 3)); // finds its program when made
    EXPECT_EQ(spumux.pathToPngquant(), tools.file("pngquant"));
    DVDStepError error;
    EXPECT_FALSE(spumux.run_pngquant(picture, &error));
    EXPECT_EQ(error.step, "pngquant");
    EXPECT_EQ(QString::fromUtf8(readBytes(dir.file("asked"))), "-f 4 -\n")
        << "the picture comes on its input";
    EXPECT_FALSE(QFileInfo::exists(dir.file("buttons-fs8.png")))
        << "the copy of before passed for this run's";
}

TEST_F(SpumuxObjectTest, CreatesAnEmptyFileOnlyWhereNothingIs) {
    ASSERT_TRUE(test_support::writeBytes(dir.file("kept.txt"), "kept"));
    ASSERT_TRUE(QFile::link(dir.file("nowhere"), dir.file("dangling.txt")));
    const QString folderName = QFileInfo(dir.path()).fileName();
    using P = QFileDevice;
    struct Case {
        const char* name;
        QString path;
        QFileDevice::Permissions attributes;
        QString error; // empty: made
    };
    const Case cases[] = {
        {"owner only", dir.file("new.txt"), P::ReadOwner | P::WriteOwner, {}},
        {"readable by all",
         dir.file("shared.txt"),
         P::ReadOwner | P::WriteOwner | P::ReadGroup | P::ReadOther,
         {}},
        {"a file there", dir.file("kept.txt"), P::ReadOwner | P::WriteOwner,
         QStringLiteral("Can't overwrite 'kept.txt' in '%1'").arg(folderName)},
        {"a link there", dir.file("dangling.txt"), P::ReadOwner | P::WriteOwner,
         QStringLiteral("Can't overwrite 'dangling.txt' in '%1'").arg(folderName)},
        {"no folder", dir.file("missing/new.txt"), P::ReadOwner | P::WriteOwner,
         QStringLiteral("Can't create 'new.txt' in 'missing'")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_EQ(SpumuxObject::createFileAtPath(c.path, c.attributes, &error), c.error.isEmpty());
        EXPECT_EQ(error, c.error);
        if (c.error.isEmpty()) {
            const QFileInfo made(c.path);
            EXPECT_TRUE(made.isFile());
            EXPECT_EQ(made.size(), 0);
            EXPECT_EQ(made.permissions() & ~(P::ReadUser | P::WriteUser | P::ExeUser), c.attributes);
        }
    }
    EXPECT_EQ(readBytes(dir.file("kept.txt")), "kept");
    EXPECT_FALSE(QFileInfo::exists(dir.file("nowhere")));
}
