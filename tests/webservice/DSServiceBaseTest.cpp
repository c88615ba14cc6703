#include "ServiceTestSupport.h"

#include "platform/foundation/NotificationCenter.h"
#include "support/DSServiceDocuments.h"
#include "webservice/BaseClasses/DSNamespaces.h"
#include "webservice/BaseClasses/DSServerErrorGroup.h"

#include <QRegularExpression>

#include <fcntl.h>

using namespace service_test;

namespace {

QByteArray header(const DSServiceBase::Request& request, const char* name) {
    return request.value(name);
}

// A surrogate video entry whose parse waits until the test lets it go.
class HeldVideo : public DSEntryClassOf<HeldVideo, DSEntryBase> {
public:
    static DSClassInfo classInfo() { return {.name = "HeldVideo"}; }
    static inline std::atomic<bool> entered = false;
    static inline std::atomic<bool> released = false;
    void initWithXMLElement(const DSXMLElementRef& element, const DSObjectRef& parent) override {
        entered = true;
        for (int waited = 0; !released && waited < 5000; ++waited)
            QThread::msleep(1);
        DSEntryBase::initWithXMLElement(element, parent);
    }
    using DSObject::initWithXMLElement;
};

} // namespace

TEST(DSServiceRequest, VersionAndETagHeadersFollowTheURLAndTheMethod) {
    auto service = DSServiceBase::create();
    service->setServiceVersion(QStringLiteral("2.0"));
    const struct {
        const char* url;
        const char* method;
        const char* ETag;
        QByteArray version, ifNoneMatch, ifMatch;
    } cases[] = {
        {"https://h/feeds", "", "\"e\"", "2.0", "\"e\"", {}},
        {"https://h/feeds?v=2", "GET", "W/\"w\"", {}, "W/\"w\"", {}},
        {"https://h/feeds?a=1&v=", "PUT", "W/\"w\"", {}, {}, {}},
        {"https://h/feeds?av=1", "PUT", "\"s\"", "2.0", {}, "\"s\""},
        {"https://h/feeds", "delete", "\"s\"", "2.0", {}, "\"s\""},
        {"https://h/feeds", "PATCH", "\"s\"", "2.0", {}, "\"s\""},
        {"https://h/feeds", "POST", "\"s\"", "2.0", {}, {}},
    };
    for (const auto& c : cases) {
        const auto request = service->requestForURL(QUrl(QLatin1String(c.url)), QLatin1String(c.ETag),
                                                    QLatin1String(c.method));
        EXPECT_EQ(header(request, "DS-Version"), c.version) << c.url << " " << c.method;
        EXPECT_EQ(header(request, "If-None-Match"), c.ifNoneMatch) << c.url << " " << c.method;
        EXPECT_EQ(header(request, "If-Match"), c.ifMatch) << c.url << " " << c.method;
    }
    // A posted entry's own ETag never goes with a POST; an update with a field selection is plain XML.
    auto entry = DSEntryBase::entry();
    entry->setETag(QStringLiteral("\"s\""));
    const QUrl url(QStringLiteral("https://h/feeds"));
    const auto posted = service->objectRequestForURL(url, entry, QString(), QStringLiteral("POST"), nullptr);
    EXPECT_FALSE(posted.headers.contains("If-Match"));
    EXPECT_EQ(header(posted, "Content-Type"), "application/atom+xml; charset=utf-8");
    EXPECT_EQ(header(posted, "Cache-Control"), "no-cache");
    EXPECT_EQ(header(service->objectRequestForURL(url, entry, QString(), QStringLiteral("PUT"), nullptr),
                     "If-Match"),
              "\"s\"");
    EXPECT_EQ(header(service->objectRequestForURL(url, entry, QString(), QStringLiteral("PATCH"), nullptr),
                     "Content-Type"),
              "application/xml; charset=utf-8");
}

TEST(DSServiceRequest, UserAgentsNameTheApplicationTheLibraryAndTheSystem) {
    auto service = DSServiceBase::create();
    const QString suffix =
        QStringLiteral(" DS-Client/1.12 ") + DSServiceBase::systemVersionString() + QStringLiteral(" (gzip)");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Linux/\\d+\\.\\d+\\.\\d+$"))
                    .match(DSServiceBase::systemVersionString())
                    .hasMatch());
    EXPECT_EQ(service->requestUserAgent(), DSServiceBase::defaultApplicationIdentifier() + suffix);
    EXPECT_TRUE(
        DSServiceBase::defaultApplicationIdentifier().startsWith(QLatin1String("org.vistrelle.Vistrelle-")));
    service->setUserAgent(QStringLiteral("MyCompany-Sample 1.0"));
    EXPECT_EQ(service->requestUserAgent(), DSServiceBase::defaultApplicationIdentifier() + suffix);
    service->setUserAgent(QStringLiteral("Our Shows 2"));
    EXPECT_EQ(service->requestUserAgent(), QStringLiteral("Our_Shows_2") + suffix);
    service->setExactUserAgent(QStringLiteral("Theirs ds-client/9"));
    EXPECT_EQ(service->requestUserAgent(), QStringLiteral("Theirs ds-client/9"));

    service->setServiceUploadChunkSize(DSServiceBase::kStandardUploadChunkSize);
    EXPECT_EQ(service->serviceUploadChunkSize(), 26214400u);
    service->setUserCredentialsWithUsername(QStringLiteral("u"), QStringLiteral("pässword"));
    EXPECT_EQ(service->password(), QStringLiteral("pässword"));
}

class DSServiceBaseTest : public ServiceTest {
protected:
    std::shared_ptr<DSServiceBase> service = DSServiceBase::create();

    Delivery fetch(const QString& path, int deadlineMs = 10000) {
        Delivery delivery;
        service->fetchPublicFeedWithURL(server.secureUrl(path), nullptr, recordInto(delivery));
        EXPECT_TRUE(waitFor(delivery, deadlineMs)) << path.toStdString();
        return delivery;
    }
};

TEST_F(DSServiceBaseTest, ErrorRepliesCarryTheServersWordsAndItsErrorDocument) {
    ServerResponse lowerCase(ServerResponse::text(400, ds_documents::errorDocument()));
    lowerCase.headers.clear();
    lowerCase.headers.set("content-type", ds_documents::kErrorDocumentContentType);
    const QByteArray noNamespace = "<errors><error><domain>D</domain><code>C</code></error></errors>";
    const struct {
        ServerResponse reply;
        int serverErrors;
        QString text;
    } cases[] = {
        {lowerCase, 2, QStringLiteral("VideoSite error invalid_value: \"Title is too long\"")},
        {ServerResponse::text(403, noNamespace, ds_documents::kErrorDocumentContentType), 0,
         QString::fromLatin1(noNamespace)},
        {ServerResponse::text(500, "Try later %@ %1", ds_documents::kErrorDocumentContentType), 0,
         QStringLiteral("Try later %@ %1")},
    };
    for (const auto& c : cases) {
        server.route(QStringLiteral("/refused"), [&](const ServerRequest&) { return c.reply; });
        const Delivery delivery = fetch(QStringLiteral("/refused"));
        ASSERT_TRUE(delivery.error);
        EXPECT_EQ(delivery.error->domain, QLatin1String(kNetHTTPFetcherStatusDomain));
        EXPECT_EQ(delivery.error->code, c.reply.status);
        EXPECT_EQ(delivery.errorText(), c.text);
        EXPECT_EQ(
            delivery.error->userInfo.value(QLatin1String(platform::kLocalizedFailureReasonKey)).toString(),
            QLatin1Char('(') + c.text + QLatin1Char(')'));
        const auto group = delivery.error->userInfo.value(QLatin1String(kDSServiceErrorServerErrorsKey))
                               .value<DSServerErrorGroup>();
        ASSERT_EQ(group.errors().size(), c.serverErrors);
        if (c.serverErrors) {
            EXPECT_EQ(group.errors().at(1).summary(), QStringLiteral("VideoSite error required"));
        }
        EXPECT_EQ(delivery.ticket->fetchError(), delivery.error);
    }
}

TEST_F(DSServiceBaseTest, AnErrorReplyWhoseEntitiesWouldMultiplyItIsReadAsPlainText) {
    // 35 KB that would read as 50 MB; the same shape at 350 KB read as gigabytes.
    const QByteArray document = "<?xml version='1.0'?><!DOCTYPE errors [<!ENTITY x '" +
                                QByteArray(10000, 'x') + "'>]><errors xmlns='" + DSNamespaceDS().toUtf8() +
                                "'><error><domain>D</domain><code>C</code><internalReason>" +
                                QByteArray("&x;").repeated(5000) + "</internalReason></error></errors>";
    server.route(QStringLiteral("/bomb"), [&](const ServerRequest&) {
        return ServerResponse::text(400, document, ds_documents::kErrorDocumentContentType);
    });
    const Delivery delivery = fetch(QStringLiteral("/bomb"));
    ASSERT_TRUE(delivery.error);
    EXPECT_EQ(delivery.error->code, 400);
    EXPECT_FALSE(delivery.error->userInfo.contains(QLatin1String(kDSServiceErrorServerErrorsKey)));
    EXPECT_EQ(delivery.errorText(), QString::fromUtf8(document));
}

TEST_F(DSServiceBaseTest, AReplyWithAnElementOfTooManyAttributesIsRefusedWithoutBeingRead) {
    const QByteArray document = ds_documents::errorDocumentWithAttributes(200000);
    for (const int status : {200, 400}) {
        server.route(QStringLiteral("/attributes"), [&](const ServerRequest&) {
            return ServerResponse::text(status, document, ds_documents::kErrorDocumentContentType);
        });
        const Delivery delivery = fetch(QStringLiteral("/attributes"));
        ASSERT_TRUE(delivery.error) << status;
        EXPECT_FALSE(delivery.object);
        EXPECT_FALSE(delivery.error->userInfo.contains(QLatin1String(kDSServiceErrorServerErrorsKey)));
        if (status == 200) {
            EXPECT_EQ(delivery.error->domain, QLatin1String(kDSXMLErrorDomain));
            EXPECT_EQ(delivery.error->code, -1);
            EXPECT_TRUE(delivery.error->userInfo.value(QLatin1String(kDSXMLErrorDetailKey))
                            .toString()
                            .contains(QLatin1String("more than 64 attributes")));
        } else {
            EXPECT_EQ(delivery.error->code, 400);
            EXPECT_EQ(delivery.errorText(), QString::fromUtf8(document));
        }
    }
}

TEST_F(DSServiceBaseTest, RepliesThatHoldNoObject) {
    ServerResponse versioned = ServerResponse::text(200, ds_documents::videoFeedPage(fake.baseURL(), 1, 1));
    versioned.headers.set("ds-version", "2.1");
    const struct {
        ServerResponse reply;
        const char* errorDomain;
        qint64 code;
    } cases[] = {
        {ServerResponse::text(200, QByteArray()), nullptr, 0},
        {ServerResponse::text(200, "garbage"), kDSXMLErrorDomain, -1},
        {ServerResponse::text(200, "<html><body/></html>"), kDSServiceErrorDomain, kDSServiceErrorNoObject},
        {versioned, nullptr, 0},
    };
    for (const auto& c : cases) {
        server.route(QStringLiteral("/reply"), [&](const ServerRequest&) { return c.reply; });
        const Delivery delivery = fetch(QStringLiteral("/reply"));
        EXPECT_EQ(delivery.calls, 1);
        EXPECT_EQ(delivery.error ? delivery.error->domain : QString(), QLatin1String(c.errorDomain));
        EXPECT_EQ(delivery.error ? delivery.error->code : 0, c.code);
        EXPECT_EQ(delivery.object != nullptr, &c == &cases[3]);
        EXPECT_TRUE(delivery.ticket->hasCalledCallback());
    }
    // The reply's version, read whatever the case of its header's name.
    EXPECT_EQ(fetch(QStringLiteral("/reply")).object->serviceVersion(), QStringLiteral("2.1"));
}

TEST_F(DSServiceBaseTest, AnEntryWhoseFileCannotBeReadEndsItsTicketAndSendsNothing) {
    TempDir dir;
    const QByteArray path = QFile::encodeName(dir.file(QStringLiteral("movie.mp4")));
    auto writeOnly = std::make_shared<platform::UniqueFd>(::open(path.constData(), O_WRONLY | O_CREAT, 0600));
    for (const quint64 chunkSize : {quint64(0), DSServiceBase::kStandardUploadChunkSize}) {
        service->setServiceUploadChunkSize(chunkSize);
        auto entry = DSEntryBase::entry();
        entry->setUploadFileHandle(writeOnly);
        entry->setUploadMIMEType(QStringLiteral("video/mp4"));
        Delivery delivery;
        EXPECT_FALSE(service->fetchObjectWithURL(fake.uploadURL(), nullptr, entry, QString(),
                                                 QStringLiteral("POST"), nullptr, nullptr,
                                                 recordInto(delivery), nullptr, nullptr));
        EXPECT_EQ(delivery.calls, 1);
        ASSERT_TRUE(delivery.error);
        EXPECT_EQ(delivery.error->domain, QLatin1String(kNetPOSIXErrorDomain));
        EXPECT_EQ(delivery.error->code, EBADF);
    }
    test_support::spinFor(50);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(DSServiceBaseTest, AFeedPagedByNextLinksStopsAfter26FurtherPages) {
    fake.setFeedPageCount(28);
    service->setServiceShouldFollowNextLinks(true);
    // 27 pages fetched over TLS and parsed in one delivery: a loaded machine takes seconds over them.
    const Delivery delivery = fetch(ds_documents::uploadsFeedPath(), 120000);
    const auto feed = DSInstanceCast<DSFeedBase>(delivery.object);
    ASSERT_TRUE(feed) << (delivery.error ? delivery.error->localizedDescription().toStdString() : "");
    EXPECT_EQ(server.requestsTo(ds_documents::uploadsFeedPath()).size(), 27u);
    EXPECT_EQ(feed->entries()->size(), 54);
    EXPECT_EQ(feed->entryAtIndex(53)->identifier(),
              QStringLiteral("tag:videosite.invalid,2008:video:video54"));
    EXPECT_FALSE(feed->nextLink());
    EXPECT_EQ(delivery.ticket->nextLinksFollowedCounter(), 26u);
}

TEST_F(DSServiceBaseTest, ACancelBetweenReplyAndParseEndDeliversNothing) {
    fake.serveVideo(QStringLiteral("v1"), QStringLiteral("Held"));
    service->setServiceSurrogates(DSSurrogates{{&DSEntryBase::staticClass(), &HeldVideo::staticClass()}});
    int stopped = 0;
    platform::ObserverHandle observer(platform::NotificationCenter::defaultCenter(),
                                      platform::NotificationCenter::defaultCenter().addObserver(
                                          QString::fromLatin1(kDSServiceTicketParsingStoppedNotification),
                                          [&](const platform::Notification&) { ++stopped; }));
    Delivery delivery;
    const DSServiceTicketRef ticket = service->fetchPublicEntryWithURL(
        fake.entryURL(QStringLiteral("v1")), &DSEntryBase::staticClass(), recordInto(delivery));
    ASSERT_TRUE(ticket);
    ASSERT_TRUE(test_support::spinUntil([] { return HeldVideo::entered.load(); }));
    ticket->cancelTicket();
    ticket->cancelTicket();
    HeldVideo::released = true;
    test_support::spinFor(200);
    EXPECT_EQ(delivery.calls, 0);
    EXPECT_EQ(stopped, 0);
    EXPECT_FALSE(ticket->service());
}

TEST_F(DSServiceBaseTest, ProgressAskedForAfterTheFetchBeganStillArrives) {
    fake.serveVideo(QStringLiteral("v2"), QStringLiteral("Progress"));
    auto entry = DSEntryBase::entry();
    entry->setUploadData(QByteArray(300000, 'm'));
    entry->setUploadMIMEType(QStringLiteral("video/mp4"));
    Delivery delivery;
    const DSServiceTicketRef ticket = service->fetchObjectWithURL(
        fake.entryURL(QStringLiteral("v2")), nullptr, entry, QString(), QStringLiteral("PUT"), nullptr,
        nullptr, recordInto(delivery), nullptr, nullptr);
    ASSERT_TRUE(ticket);
    quint64 delivered = 0;
    quint64 total = 0;
    ticket->setUploadProgressHandler([&](const DSServiceTicketRef&, quint64 sent, quint64 expected) {
        delivered = sent;
        total = expected;
    });
    ticket->pauseUpload(); // a plain fetch has nothing to pause
    EXPECT_FALSE(ticket->isUploadPaused());
    ASSERT_TRUE(waitFor(delivery));
    EXPECT_FALSE(delivery.error);
    const auto received = server.requestsTo(fake.entryURL(QStringLiteral("v2")).path());
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(total, quint64(received.front().body.size()));
    EXPECT_EQ(delivered, total);
    EXPECT_TRUE(received.front().header("Content-Type").startsWith("multipart/related"));
}

TEST_F(DSServiceBaseTest, ASmallChunkSizeIsRaisedTo50000) {
    service->setServiceUploadChunkSize(10);
    auto entry = DSEntryBase::entry();
    entry->setUploadData(QByteArray(120000, 'c'));
    entry->setUploadMIMEType(QStringLiteral("video/mp4"));
    Delivery delivery;
    service->fetchObjectWithURL(fake.uploadURL(), nullptr, entry, QString(), QStringLiteral("POST"), nullptr,
                                nullptr, recordInto(delivery), nullptr, nullptr);
    ASSERT_TRUE(waitFor(delivery));
    EXPECT_FALSE(delivery.error);
    EXPECT_EQ(fake.uploads().contentRanges(),
              (QList<QByteArray>{"bytes 0-49999/120000", "bytes 50000-99999/120000",
                                 "bytes 100000-119999/120000"}));
}
