#include "ReqTestSupport.h"

#include "support/TempDir.h"

#include <QFile>

using namespace req_test;

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class ReqDownloadTest : public ReqRequestTest {};

TEST_F(ReqDownloadTest, AResumeAppendsOnlyWhatContinuesThePartialFile) {
    const QByteArray whole = QByteArray(100, 'a') + QByteArray(100, 'b');
    struct Case {
        const char* name;
        ServerResponse reply;
        QByteArray file;
        qint64 sizeTakenBack;
    } cases[] = {
        {"206 from byte 100",
         ServerResponse::text(206, whole.mid(100)).withHeader("Content-Range", "bytes 100-199/200"), whole,
         0},
        {"206 from elsewhere",
         ServerResponse::text(206, whole.mid(50)).withHeader("Content-Range", "bytes 50-199/200"),
         whole.mid(50), -100},
        {"whole again", ServerResponse::text(200, whole), whole, -100},
        {"416", ServerResponse::text(416, "no such range").withHeader("Content-Range", "bytes */100"),
         "no such range", -100},
    };
    TempDir dir;
    for (const Case& c : cases) {
        server.clearLog();
        server.route("/file", [&](const ServerRequest&) { return c.reply; });
        write(dir.file("partial"), whole.left(100));
        const auto request = ReqHTTPRequest::requestWithURL(server.url("/file"));
        request->setAllowResumeForFileDownloads(true);
        request->setTemporaryFileDownloadPath(dir.file("partial"));
        request->setDownloadDestinationPath(dir.file("done"));
        qint64 taken = 0;
        request->setDownloadSizeIncrementedBlock([&](qint64 amount) { taken += amount < 0 ? amount : 0; });
        request->startSynchronous();
        test_support::spinFor(20);
        EXPECT_FALSE(request->error()) << c.name;
        EXPECT_EQ(server.requests().at(0).header("Range"), "bytes=100-") << c.name;
        EXPECT_EQ(contents(dir.file("done")), c.file) << c.name;
        EXPECT_EQ(taken, c.sizeTakenBack) << c.name;
        EXPECT_FALSE(QFile::exists(dir.file("partial"))) << c.name;
    }
}

TEST_F(ReqDownloadTest, ADownloadReplacesItsDestinationWholeAndKeepsNothingBehind) {
    server.route("/empty", [](const ServerRequest&) { return ServerResponse::text(200, ""); });
    server.route("/body", [](const ServerRequest&) { return ServerResponse::text(200, "new contents"); });
    TempDir dir;
    for (const char* path : {"/empty", "/body", "/body"}) {
        write(dir.file("destination"), "old contents");
        const auto request = ReqHTTPRequest::requestWithURL(server.url(path));
        request->setDownloadDestinationPath(dir.file("destination"));
        request->startSynchronous();
        EXPECT_FALSE(request->error()) << path;
        EXPECT_EQ(contents(dir.file("destination")), path == QLatin1String("/body") ? "new contents" : "")
            << path;
        EXPECT_TRUE(request->temporaryFileDownloadPath().isEmpty());
        EXPECT_EQ(QFile::permissions(dir.file("destination")) & (QFile::ReadOther | QFile::WriteOther), 0);
    }
}

} // namespace
