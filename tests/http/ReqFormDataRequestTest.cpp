#include "ReqTestSupport.h"

#include "http/ReqBandwidthThrottle.h"
#include "http/ReqFormDataRequest.h"
#include "http/ReqInputStream.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QRegularExpression>

using namespace req_test;

namespace {

class ReqFormDataRequestTest : public ReqRequestTest {
protected:
    void SetUp() override {
        server.route("/form", [](const ServerRequest&) { return ServerResponse::text(200, "posted"); });
    }
    ServerRequest send(const std::shared_ptr<ReqFormDataRequest>& form) {
        form->startSynchronous();
        EXPECT_FALSE(form->error());
        return server.requests().at(0);
    }
    std::shared_ptr<ReqFormDataRequest> form() {
        return ReqFormDataRequest::requestWithURL(server.url("/form"));
    }
};

TEST_F(ReqFormDataRequestTest, ValuesGoUrlEncoded) {
    const auto request = form();
    request->addPostValue("a b", "first");
    request->addPostValue("&=-_.", "xy");
    const ServerRequest received = send(request);
    EXPECT_EQ(received.method, "POST");
    EXPECT_EQ(received.body, "first=a%20b&xy=%26%3D-_.");
    EXPECT_EQ(received.header("Content-Length"), "24");
    EXPECT_EQ(received.header("Content-Type"), "application/x-www-form-urlencoded; charset=utf-8");
}

TEST_F(ReqFormDataRequestTest, AFormWithAFileGoesAsMultipartParts) {
    const auto request = form();
    for (const char* value : {"x", "y", "z"})
        request->addPostValue(value, "a");
    request->setPostValue(1, "a");
    request->addPostValue(2, "b");
    request->addData("xyz", "f");
    EXPECT_EQ(request->postData().size(), 2);
    EXPECT_EQ(request->postData().first().value("value"), "1");
    const ServerRequest received = send(request);
    const QRegularExpressionMatch type =
        QRegularExpression(
            "^multipart/form-data; charset=utf-8; boundary=(0xKhTmLbOuNdArY-[0-9A-F]{8}-[0-9A-F]{4}-"
            "[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12})$")
            .match(QString::fromLatin1(received.header("Content-Type")));
    ASSERT_TRUE(type.hasMatch()) << received.header("Content-Type").toStdString();
    const QByteArray b = type.captured(1).toLatin1();
    EXPECT_EQ(received.body, "--" + b + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--" + b +
                                 "\r\nContent-Disposition: form-data; name=\"b\"\r\n\r\n2\r\n--" + b +
                                 "\r\nContent-Disposition: form-data; name=\"f\"; filename=\"file\"\r\n"
                                 "Content-Type: application/octet-stream\r\n\r\nxyz\r\n--" +
                                 b + "--\r\n");
    EXPECT_EQ(request->postFormat(), ReqFormDataRequest::kMultipartFormDataPostFormat);
    EXPECT_TRUE(request->postBodyFilePath().isEmpty()); // the temporary body file is gone
}

// A file's own name comes from the disk: a quote or a line break in it must not forge a part's head.
TEST_F(ReqFormDataRequestTest, NamesAreEscapedAndMissingFilesFailAtOnce) {
    TempDir folder;
    const QString path = folder.file("we\"ird\r\nX-Forged: 1.txt");
    ASSERT_TRUE(test_support::writeBytes(path, "contents"));
    const auto request = form();
    request->addFile(path, "k\"ey");
    const ServerRequest received = send(request);
    EXPECT_TRUE(received.body.contains("name=\"k%22ey\"; filename=\"we%22ird%0D%0AX-Forged: 1.txt\"\r\n"
                                       "Content-Type: text/plain\r\n\r\ncontents"));
    EXPECT_FALSE(received.body.contains("\r\nX-Forged"));

    const int connections = server.connectionCount();
    const auto missing = form();
    missing->addFile(folder.file("absent.txt"), "f");
    missing->startSynchronous();
    EXPECT_EQ(errorCode(missing), ReqInternalErrorWhileBuildingRequestType);
    EXPECT_EQ(missing->error()->localizedDescription(), "No file exists at " + folder.file("absent.txt"));
    EXPECT_TRUE(missing->isFinished());
    EXPECT_EQ(server.connectionCount(), connections);
}

TEST_F(ReqFormDataRequestTest, AThrottledBodyReadTakesAtLeastOneByte) {
    ReqBandwidthThrottle::resetForTesting();
    ReqHTTPRequest::setMaxBandwidthPerSecond(1000);
    ReqBandwidthThrottle::measureBandwidthUsage();
    ReqHTTPRequest::incrementBandwidthUsedInLastSecond(1000);
    const auto body = ReqInputStream::inputStreamWithData(QByteArray(100, 'b'), nullptr);
    ASSERT_TRUE(body->open(QIODevice::ReadOnly));
    char buffer[100];
    EXPECT_EQ(body->read(buffer, 100), 1);
    ReqBandwidthThrottle::resetForTesting();
    EXPECT_EQ(body->read(buffer, 100), 99);
}

} // namespace
