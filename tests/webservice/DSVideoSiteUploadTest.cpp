#include "ServiceTestSupport.h"

#include "support/FakeOAuth2Provider.h"
#include "webservice/DSEntryVideoSiteUpload.h"
#include "webservice/DSServiceProviderVideoSite.h"
#include "webservice/oauth2/NetOAuth2SignIn.h"

#include <QFile>

#include <fcntl.h>

using namespace service_test;

namespace {

// The reply's video entry, noting the thread it was parsed on.
class ThreadNotingVideo : public DSEntryClassOf<ThreadNotingVideo, DSEntryVideoSiteVideo> {
public:
    static DSClassInfo classInfo() { return {.name = "ThreadNotingVideo"}; }
    void initWithXMLElement(const DSXMLElementRef& element, const DSObjectRef& parent) override {
        parsedOn = QThread::currentThread();
        DSEntryVideoSiteVideo::initWithXMLElement(element, parent);
    }
    using DSObject::initWithXMLElement;
    QThread* parsedOn = nullptr;
};

QByteArray movieBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 37 + i / 251) & 0xFF);
    return bytes;
}

std::shared_ptr<DSEntryVideoSiteUpload> uploadEntry(const DSUploadFileHandle& movie) {
    auto group = DSVideoSiteMediaGroup::mediaGroup();
    group->setMediaTitle(DSMediaTitle::textConstructWithString(QStringLiteral("Our holiday")));
    group->setMediaDescription(
        DSMediaDescription::textConstructWithString(QStringLiteral("Made with Vistrelle")));
    auto category = DSMediaCategory::mediaCategoryWithString(QStringLiteral("Entertainment"));
    category->setScheme(DSVideoSiteConstants::categoryScheme("categories.cat"));
    group->addMediaCategory(category);
    group->setMediaKeywords(DSMediaKeywords::keywordsWithString(QStringLiteral("holiday, beach")));
    group->setIsPrivate(true);
    auto entry = DSEntryVideoSiteUpload::uploadEntryWithMediaGroup(group, movie, QStringLiteral("video/mp4"),
                                                                   QStringLiteral("holiday.mp4"));
    entry->addAccessControl(
        DSVideoSiteAccessControl::accessControlWithAction(QStringLiteral("list"), QStringLiteral("denied")));
    return entry;
}

} // namespace

// The video service and the sign-in provider on one loopback server.
class DSVideoSiteUploadTest : public ::testing::Test {
protected:
    test_support::NetTestEnvironment environment;
    LoopbackServer server;
    test_support::FakeOAuth2Provider provider{server};
    test_support::FakeVideoService fake{server, provider.defaultsPath()};
    std::shared_ptr<DSServiceProviderVideoSite> service = DSServiceProviderVideoSite::create();
    TempDir dir;
    const QByteArray movie = movieBytes(120000);
    std::shared_ptr<DSEntryVideoSiteUpload> entry;

    // Inserts the upload entry of a 120,000-byte movie, in chunks of 50,000, signed by the authorizer.
    Delivery insert(const std::shared_ptr<NetFetcherAuthorizationProtocol>& authorizer) {
        QFile file(dir.file(QStringLiteral("holiday.mp4")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(movie) == movie.size());
        file.close();
        entry = uploadEntry(std::make_shared<platform::UniqueFd>(
            ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY)));
        service->setVideoSiteDeveloperKey(QStringLiteral("K1"));
        service->setAuthorizer(authorizer);
        service->setServiceUploadChunkSize(50000);
        Delivery delivery;
        const DSServiceTicketRef ticket = service->fetchEntryByInsertingEntry(
            entry, DSServiceProviderVideoSite::videoSiteUploadURLForUserID(QStringLiteral("default")),
            recordInto(delivery));
        EXPECT_TRUE(ticket);
        if (ticket)
            ticket->objectFetcher()->setMinRetryInterval(0.05);
        EXPECT_TRUE(waitFor(delivery));
        return delivery;
    }
    ServerRequest firstRequest() const {
        const auto first = server.requestsTo(fake.uploadURL().path());
        EXPECT_EQ(first.size(), 1u);
        return first.empty() ? ServerRequest() : first.front();
    }
    // The chunks carry neither the authorization nor the key.
    void expectBareChunks() {
        const auto chunks = server.requestsTo(fake.uploads().sessionUrl(true).path());
        EXPECT_GE(chunks.size(), 3u);
        for (const ServerRequest& chunk : chunks) {
            EXPECT_FALSE(chunk.headers.contains("Authorization"));
            EXPECT_FALSE(chunk.headers.contains("X-DS-Key"));
        }
    }
};

TEST_F(DSVideoSiteUploadTest, AnInsertTakesTheResumableRoadAndAnswersTheVideo) {
    service->setIsServiceRetryEnabled(true);
    service->setServiceSurrogates(
        DSSurrogates{{&DSEntryVideoSiteVideo::staticClass(), &ThreadNotingVideo::staticClass()}});
    fake.failChunkWith503(1);
    quint64 delivered = 0;
    quint64 total = 0;
    service->setServiceUploadProgressHandler([&](const DSServiceTicketRef&, quint64 sent, quint64 expected) {
        delivered = std::max(delivered, sent);
        total = expected;
    });
    const Delivery delivery = insert(std::make_shared<BearerAuthorizer>());
    ASSERT_FALSE(delivery.error) << delivery.error->localizedDescription().toStdString();

    // The reply: a video entry parsed on the service's worker, delivered here.
    const auto video = std::dynamic_pointer_cast<ThreadNotingVideo>(delivery.object);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->mediaGroup()->videoID(), QStringLiteral("vid1"));
    EXPECT_NE(video->parsedOn, QThread::currentThread());
    EXPECT_EQ(delivery.thread, QThread::currentThread());
    EXPECT_EQ(fake.uploads().received(), movie);

    // The first request: the entry's XML with every header the service expects.
    const ServerRequest request = firstRequest();
    EXPECT_EQ(request.method, "POST");
    const std::pair<const char*, QByteArray> expected[] = {
        {"Authorization", "Bearer A1"},
        {"DS-Version", "2.0"},
        {"X-DS-Key", "key=K1"},
        {"Content-Type", "application/atom+xml; charset=utf-8"},
        {"Accept", "application/atom+xml, text/xml"},
        {"Cache-Control", "no-cache"},
        {"Slug", "holiday.mp4"},
        {"Content-Length", QByteArray::number(request.body.size())},
        {"X-Upload-Content-Length", "120000"},
        {"X-Upload-Content-Type", "video/mp4"},
        {"User-Agent", service->requestUserAgent().toUtf8()},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(request.headers.values(name), QList<QByteArray>{value}) << name;
    const auto sent = DSInstanceCast<DSEntryVideoSiteUpload>(
        DSObject::objectWithXMLData(request.body, &DSEntryVideoSiteUpload::staticClass()));
    ASSERT_TRUE(sent);
    // What the entry reads back as, in the order parsing gives its children.
    const DSObjectRef reread =
        DSObject::objectWithXMLData(entry->XMLDocument()->XMLData(), &DSEntryVideoSiteUpload::staticClass());
    EXPECT_EQ(sent->XMLElement()->XMLString(), reread->XMLElement()->XMLString());
    EXPECT_EQ(sent->namespaces()->size(), 8);
    EXPECT_TRUE(sent->mediaGroup()->isPrivate());
    EXPECT_EQ(sent->accessControls().value(0)->permission(), QStringLiteral("denied"));
    EXPECT_FALSE(sent->kindCategory());

    // The refused chunk was asked about and sent again; progress covered the entry and the whole movie.
    expectBareChunks();
    EXPECT_EQ(fake.uploads().contentRanges(),
              (QList<QByteArray>{"bytes 0-49999/120000", "bytes 50000-99999/120000", "bytes */120000",
                                 "bytes 50000-99999/120000", "bytes 100000-119999/120000"}));
    EXPECT_EQ(total, 120000u + quint64(request.body.size()));
    EXPECT_EQ(delivered, total);
}

TEST_F(DSVideoSiteUploadTest, AnInsertSignedInWithOAuth2CarriesTheProvidersToken) {
    auto authentication = NetOAuth2SignIn::standardProviderAuthenticationForScope(
        service->authorizationScope(), QStringLiteral("client.id.invalid"), QStringLiteral("secret"));
    authentication->setRefreshToken(QString::fromLatin1(test_support::FakeOAuth2Provider::kRefreshToken));
    const Delivery delivery = insert(authentication);
    ASSERT_FALSE(delivery.error) << delivery.error->localizedDescription().toStdString();
    EXPECT_TRUE(DSInstanceCast<DSEntryVideoSiteVideo>(delivery.object));
    ASSERT_EQ(provider.issuedTokens().size(), 1);
    EXPECT_EQ(firstRequest().header("Authorization"), "Bearer " + provider.issuedTokens().first().toUtf8());
    expectBareChunks();
    EXPECT_EQ(fake.uploads().received(), movie);
}
