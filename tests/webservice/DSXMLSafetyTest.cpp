#include "support/TempDir.h"
#include "webservice/DSXMLDocument.h"

#include <gtest/gtest.h>

#include <QFile>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A socket listening on 127.0.0.1 that only tells whether anything tried to connect.
class LoopbackListener {
public:
    LoopbackListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(fd_, 4) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~LoopbackListener() { ::close(fd_); }
    int port() const { return port_; }
    bool wasContacted() const {
        pollfd polled{fd_, POLLIN, 0};
        return ::poll(&polled, 1, 100) > 0;
    }

private:
    int fd_ = -1;
    int port_ = 0;
};

QString rootText(const QString& document) {
    const DSXMLDocumentRef parsed = DSXMLDocument::documentWithXMLString(document);
    return parsed ? parsed->rootElement()->stringValue() + QString::fromUtf8(parsed->XMLData()) : QString();
}

} // namespace

TEST(DSXMLSafety, NetworkEntitiesAndDocumentTypesAreNeverFetched) {
    LoopbackListener listener;
    ASSERT_GT(listener.port(), 0);
    const QString url = QStringLiteral("http://127.0.0.1:%1/x").arg(listener.port());
    const QString documents[] = {
        QStringLiteral("<!DOCTYPE r [<!ENTITY e SYSTEM '%1'>]><r>&e;</r>").arg(url),
        QStringLiteral("<!DOCTYPE r SYSTEM '%1'><r>&e;</r>").arg(url),
        QStringLiteral("<!DOCTYPE r [<!ENTITY % p SYSTEM '%1'> %p;]><r/>").arg(url),
        QStringLiteral("<r xmlns:xi='http://www.w3.org/2001/XInclude'><xi:include href='%1'/></r>").arg(url),
    };
    for (const QString& document : documents)
        rootText(document);
    EXPECT_FALSE(listener.wasContacted());

    // The listener does notice a connection.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(listener.port()));
    ASSERT_EQ(::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_TRUE(listener.wasContacted());
    ::close(probe);
}

TEST(DSXMLSafety, LocalFilesNamedByEntitiesAreNotRead) {
    TempDir dir;
    QFile secret(dir.file(QStringLiteral("secret.txt")));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("do-not-read-me");
    secret.close();
    const QString document =
        QStringLiteral("<!DOCTYPE r [<!ENTITY e SYSTEM 'file://%1'>]><r>&e;</r>").arg(secret.fileName());
    EXPECT_FALSE(rootText(document).contains(QStringLiteral("do-not-read-me")));
}

TEST(DSXMLSafety, AnEntityBombIsAnError) {
    QString entities = QStringLiteral("<!ENTITY a0 'aaaaaaaaaaaaaaaa'>");
    for (int i = 1; i < 12; ++i)
        entities +=
            QStringLiteral("<!ENTITY a%1 '%2'>").arg(i).arg(QStringLiteral("&a%1;").arg(i - 1).repeated(10));
    DSXMLError error;
    const DSXMLDocumentRef parsed = DSXMLDocument::documentWithXMLString(
        QStringLiteral("<!DOCTYPE r [%1]><r>&a11;</r>").arg(entities), &error);
    EXPECT_FALSE(parsed);
    EXPECT_EQ(error.code, -1);
    EXPECT_FALSE(DSXMLElement::elementWithXMLString(QStringLiteral("<r><unclosed></r>")));
}
