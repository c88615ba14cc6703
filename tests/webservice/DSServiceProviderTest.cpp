#include "ServiceTestSupport.h"

#include "support/DSServiceDocuments.h"

using namespace service_test;

namespace {

class DSServiceProviderTest : public ServiceTest {
protected:
    std::shared_ptr<DSServiceProvider> service = DSServiceBase::create<DSServiceProvider>();

    std::shared_ptr<DSEntryBase> servedEntry(const QString& videoID) {
        fake.serveVideo(videoID, QStringLiteral("Served"));
        return DSInstanceCast<DSEntryBase>(DSObject::objectWithXMLData(
            ds_documents::videoEntry(fake.baseURL(), videoID, QStringLiteral("Served")),
            &DSEntryBase::staticClass()));
    }
    ServerRequest lastRequestTo(const QString& videoID) {
        const auto received = server.requestsTo(fake.entryURL(videoID).path());
        return received.empty() ? ServerRequest() : received.back();
    }
};

} // namespace

TEST_F(DSServiceProviderTest, InsertUpdateAndDeleteUseTheirMethodsTypesAndETags) {
    using Operation = std::function<DSServiceTicketRef(const std::shared_ptr<DSEntryBase>&,
                                                       DSServiceBase::CompletionHandler)>;
    const struct {
        const char* name;
        Operation operation;
        QByteArray method, override, contentType, ifMatch;
    } cases[] = {
        {"insert",
         [&](const auto& entry, auto handler) {
             return service->fetchEntryByInsertingEntry(entry, fake.entryURL(QStringLiteral("v1")), handler);
         },
         "POST",
         {},
         "application/atom+xml; charset=utf-8",
         {}},
        {"update",
         [&](const auto& entry, auto handler) { return service->fetchEntryByUpdatingEntry(entry, handler); },
         "PUT",
         {},
         "application/atom+xml; charset=utf-8",
         "\"s1\""},
        {"update some fields",
         [&](const auto& entry, auto handler) {
             entry->setFieldSelection(QStringLiteral("title"));
             return service->fetchEntryByUpdatingEntry(entry, handler);
         },
         "PATCH",
         {},
         "application/xml; charset=utf-8",
         "\"s1\""},
        {"delete",
         [&](const auto& entry, auto handler) { return service->deleteEntry(entry, handler); },
         "DELETE",
         {},
         "application/atom+xml; charset=utf-8",
         "\"s1\""},
        {"update through an override",
         [&](const auto& entry, auto handler) {
             service->setShouldUseMethodOverrideHeader(true);
             return service->fetchEntryByUpdatingEntry(entry, handler);
         },
         "POST", "PUT", "application/atom+xml; charset=utf-8", "\"s1\""},
    };
    for (const auto& c : cases) {
        const auto entry = servedEntry(QStringLiteral("v1"));
        entry->setETag(QStringLiteral("\"s1\""));
        Delivery delivery;
        ASSERT_TRUE(c.operation(entry, recordInto(delivery))) << c.name;
        ASSERT_TRUE(waitFor(delivery)) << c.name;
        EXPECT_FALSE(delivery.error) << c.name;
        EXPECT_EQ(delivery.object != nullptr, c.method != "DELETE") << c.name;
        const ServerRequest request = lastRequestTo(QStringLiteral("v1"));
        EXPECT_EQ(request.method, c.method) << c.name;
        EXPECT_EQ(request.header("X-HTTP-Method-Override"), c.override) << c.name;
        EXPECT_EQ(request.header("Content-Type"), c.contentType) << c.name;
        EXPECT_EQ(request.header("If-Match"), c.ifMatch) << c.name;
        EXPECT_FALSE(request.headers.contains("Authorization")) << c.name;
    }
}

TEST_F(DSServiceProviderTest, RequestsMadeDuringALoginShareItAndCarryItsToken) {
    service->setServiceID(QStringLiteral("videosite"));
    service->setUserAgent(QStringLiteral("Test App"));
    service->setSignInDomain(fake.signInDomain());
    service->setUserCredentialsWithUsername(QStringLiteral("user@example.invalid"),
                                            QStringLiteral("p&ss wörd"));
    Delivery first;
    Delivery second;
    ASSERT_TRUE(service->fetchFeedWithURL(fake.uploadsFeedURL(), recordInto(first)));
    ASSERT_TRUE(service->fetchFeedWithURL(fake.uploadsFeedURL(), recordInto(second)));
    ASSERT_TRUE(waitFor(first) && waitFor(second));
    EXPECT_TRUE(first.object && second.object);
    EXPECT_EQ(fake.loginCount(), 1);
    const auto logins = server.requestsTo(QStringLiteral("/accounts/AccountLogin"));
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_FALSE(logins.front().secure);
    EXPECT_EQ(logins.front().body, "Email=user%40example.invalid&Passwd=p%26ss%20w%C3%B6rd&source=Test_App"
                                   "&service=videosite&accountType=HOSTED_OR_PROVIDER");
    for (const ServerRequest& request : server.requestsTo(ds_documents::uploadsFeedPath()))
        EXPECT_EQ(request.header("Authorization"), "ProviderLogin auth=T1");
    EXPECT_EQ(service->authToken(), QStringLiteral("T1"));
}

TEST_F(DSServiceProviderTest, ARefusedLoginFailsEveryWaitingRequestWithAnAbsoluteCaptchaURL) {
    service->setServiceID(QStringLiteral("videosite"));
    service->setSignInDomain(fake.signInDomain());
    service->setUserCredentialsWithUsername(QStringLiteral("user"), QStringLiteral("secret"));
    fake.setLoginReply(403, "Error=CaptchaRequired\nCaptchaToken=ct1\nCaptchaUrl=Captcha?ctoken=ct1\n");
    Delivery delivery;
    ASSERT_TRUE(service->fetchFeedWithURL(fake.uploadsFeedURL(), recordInto(delivery)));
    ASSERT_TRUE(waitFor(delivery));
    ASSERT_TRUE(delivery.error);
    EXPECT_EQ(delivery.error->domain, QLatin1String(kDSServiceErrorDomain));
    EXPECT_EQ(delivery.error->code, 403);
    EXPECT_EQ(delivery.errorText(), QStringLiteral("CaptchaRequired"));
    EXPECT_EQ(DSServiceProviderAdditions::captchaToken(delivery.error->userInfo), QStringLiteral("ct1"));
    EXPECT_EQ(DSServiceProviderAdditions::captchaURL(delivery.error->userInfo),
              QUrl(QStringLiteral("https://%1/accounts/Captcha?ctoken=ct1").arg(fake.signInDomain())));
    EXPECT_TRUE(server.requestsTo(ds_documents::uploadsFeedPath()).empty());
    EXPECT_FALSE(service->pendingAuthFetcher());

    // Without a password there is no login to wait for.
    service->setUserCredentialsWithUsername(QStringLiteral("user"), QString());
    Delivery refused;
    EXPECT_FALSE(service->fetchFeedWithURL(fake.uploadsFeedURL(), recordInto(refused)));
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->code, kDSServiceErrorEmptyCredentials);
}
