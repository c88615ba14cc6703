#include "support/DSServiceDocuments.h"
#include "support/TestEnvironment.h"
#include "webservice/DSClasses.h"
#include "webservice/DSEntryVideoSiteUpload.h"
#include "webservice/DSQueryVideoSite.h"
#include "webservice/DSServiceProviderVideoSite.h"
#include "webservice/DSVideoSiteEntries.h"
#include "webservice/DSVideoSiteFeeds.h"

#include <gtest/gtest.h>

using Service = DSServiceProviderVideoSite;
using DSVideoSiteConstants::schemaFragment;

namespace {

QString xmlOf(const DSObject& object) {
    return object.XMLElement()->XMLString();
}

template <class T> std::shared_ptr<T> parsed(const QString& xml) {
    return DSInstanceCast<T>(DSObject::objectWithXMLData(xml.toUtf8(), &T::staticClass()));
}

} // namespace

TEST(DSVideoSiteService, URLsEscapeUserIDsButNotFeedIDs) {
    const QString root = Service::videoSiteRootURLString();
    const QString uploadRoot = Service::serviceUploadRootURLString();
    EXPECT_TRUE(root.endsWith(QLatin1String("/feeds/")) &&
                uploadRoot.endsWith(QLatin1String("/resumable/feeds/")));
    const struct {
        QUrl url;
        QString expected;
    } cases[] = {
        {Service::videoSiteUploadURLForUserID(QStringLiteral("default")),
         uploadRoot + "api/users/default/uploads"},
        {Service::videoSiteUploadURLForUserID(QStringLiteral("a b/c")),
         uploadRoot + "api/users/a%20b%2Fc/uploads"},
        {Service::videoSiteURLForUserID(QStringLiteral("a b"), QStringLiteral("favorites")),
         root + "api/users/a%20b/favorites"},
        {Service::videoSiteURLForUserID(QStringLiteral("x/y"), QString()), root + "api/users/x%2Fy"},
        {Service::videoSiteActivityFeedURLForUserID(QStringLiteral("a b")), root + "api/events?author=a+b"},
        {Service::videoSiteURLForFeedID(QStringLiteral("top_rated")), root + "api/standardfeeds/top_rated"},
        {Service::videoSiteURLForFeedID(QString()), root + "api/videos"},
        {Service::videoSiteURLForChannelStandardFeedID(QStringLiteral("a/b")),
         root + "api/channelstandardfeeds/a/b"},
        {Service::videoSiteURLForChannelsFeeds(), root + "api/channels"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QString::fromUtf8(c.url.toEncoded()), c.expected);
}

TEST(DSVideoSiteService, RequestsCarryVersionTwoAndTheDeveloperKeyWhenThereIsOne) {
    auto service = Service::create();
    const QUrl url = Service::videoSiteURLForFeedID(QString());
    EXPECT_EQ(service->requestForURL(url, QString(), QString()).value("DS-Version"), "2.0");
    EXPECT_EQ(service->serviceUploadChunkSize(), 26214400u);
    EXPECT_EQ(service->authorizationScope(), Service::videoSiteRootURLString());
    service->setVideoSiteDeveloperKey(QStringLiteral("K1"));
    EXPECT_EQ(service->requestForURL(url, QString(), QString()).value("X-DS-Key"), "key=K1");
    service->setVideoSiteDeveloperKey(QString(""));
    EXPECT_FALSE(service->requestForURL(url, QString(), QString()).headers.contains("X-DS-Key"));

    DSStringMap namespaces = DSVideoSiteConstants::videoSiteNamespaces();
    EXPECT_EQ(namespaces.keys(), (QStringList{"", "app", "ds", "geo", "georss", "gml", "media", "vs"}));
    EXPECT_EQ(namespaces.value(QStringLiteral("vs")), DSNamespaceVideoSite());
    namespaces.clear();
    EXPECT_EQ(DSVideoSiteConstants::videoSiteNamespaces().size(), 8);

    auto query = DSQueryVideoSite::videoSiteQueryWithFeedURL(url);
    query->setVideoQuery(QStringLiteral("beach dog"));
    query->setHasCaptions(true);
    query->setShouldInline(false);
    query->setLocationRadius(QStringLiteral("5km"));
    EXPECT_EQ(query->URLString(),
              url.toString() + QStringLiteral("?caption=true&location-radius=5km&q=beach+dog"));
}

TEST(DSVideoSiteClasses, EveryEntryAndFeedClassMakesAndFindsItsKind) {
    registerDsClasses();
    const struct {
        const DSClass& cls;
        const char* kind;
    } cases[] = {
        {DSEntryVideoSiteVideo::staticClass(), "video"},
        {DSEntryVideoSiteVideoMessage::staticClass(), "videoMessage"},
        {DSEntryVideoSiteFavorite::staticClass(), "favorite"},
        {DSEntryVideoSitePlaylist::staticClass(), "playlist"},
        {DSEntryVideoSiteUserProfile::staticClass(), "userProfile"},
        {DSEntryVideoSiteUserEvent::staticClass(), "userEvent"},
        {DSEntryVideoSiteSubscription::staticClass(), "subscription"},
        {DSEntryVideoSitePlaylistLink::staticClass(), "playlistLink"},
        {DSEntryVideoSiteChannel::staticClass(), "channel"},
        {DSEntryVideoSiteFriend::staticClass(), "friend"},
        {DSEntryVideoSiteComplaint::staticClass(), "complaint"},
        {DSEntryVideoSiteComment::staticClass(), "comment"},
        {DSEntryVideoSiteRating::staticClass(), "rating"},
        {DSEntryVideoSiteCaptionTrack::staticClass(), "captionTrack"},
        {DSFeedVideoSiteVideo::staticClass(), "video"},
        {DSFeedVideoSiteVideoMessage::staticClass(), "videoMessage"},
        {DSFeedVideoSiteFavorite::staticClass(), "favorite"},
        {DSFeedVideoSiteUserProfile::staticClass(), "userProfile"},
        {DSFeedVideoSiteUserEvent::staticClass(), "userEvent"},
        {DSFeedVideoSiteSubscription::staticClass(), "subscription"},
        {DSFeedVideoSiteChannel::staticClass(), "channel"},
        {DSFeedVideoSiteFriend::staticClass(), "friend"},
        {DSFeedVideoSiteComplaint::staticClass(), "complaint"},
        {DSFeedVideoSiteComment::staticClass(), "comment"},
        {DSFeedVideoSiteRating::staticClass(), "rating"},
        {DSFeedVideoSitePlaylist::staticClass(), "playlist"},
        {DSFeedVideoSitePlaylistLink::staticClass(), "playlistLink"},
        {DSFeedVideoSiteCaptionTrack::staticClass(), "captionTrack"},
        {DSEntryVideoSiteUpload::staticClass(), nullptr},
        {DSEntryVideoSiteFeedLinkBase::staticClass(), nullptr},
    };
    for (const auto& c : cases) {
        const auto made = DSInstanceCast<DSObject>(c.cls.make());
        made->init();
        const bool isFeed = c.cls.isSubclassOf(DSFeedBase::staticClass());
        const auto category = isFeed ? std::static_pointer_cast<DSFeedBase>(made)->kindCategory()
                                     : std::static_pointer_cast<DSEntryBase>(made)->kindCategory();
        EXPECT_EQ(category ? category->term() : QString(), c.kind ? schemaFragment(c.kind) : QString())
            << c.cls.name().toStdString();
        EXPECT_EQ(c.cls.defaultServiceVersion(), QStringLiteral("2.0")) << c.cls.name().toStdString();
        if (!c.kind)
            continue;
        const QString root = isFeed ? QStringLiteral("feed") : QStringLiteral("entry");
        const QString document =
            QStringLiteral("<%1 xmlns='%2'><category scheme='%3' term='%4'/></%1>")
                .arg(root, QLatin1String(kDSNamespaceAtom), DSCategoryKindScheme(), schemaFragment(c.kind));
        EXPECT_EQ(&DSObject::objectWithXMLData(document.toUtf8())->dsClass(), &c.cls)
            << c.cls.name().toStdString();
    }
}

TEST(DSVideoSiteClasses, TheServicesVideoEntryReadsWhole) {
    const auto video = parsed<DSEntryVideoSiteVideo>(QString::fromUtf8(
        ds_documents::videoEntry(QStringLiteral("https://h"), QStringLiteral("vid9"), "Sea")));
    ASSERT_TRUE(video);
    const auto group = video->mediaGroup();
    ASSERT_TRUE(group);
    EXPECT_EQ(group->videoID(), QStringLiteral("vid9"));
    EXPECT_EQ(group->duration(), 95);
    ASSERT_TRUE(group->mediaContentWithFormatNumber(5));
    EXPECT_FALSE(group->mediaContentWithFormatNumber(0));
    EXPECT_EQ(videoSiteCreditType(*group->mediaCredits().value(0)), QStringLiteral("partner"));
    EXPECT_FALSE(group->highQualityThumbnail()); // its only thumbnail has a time
    EXPECT_EQ(video->publicationState()->name(), QStringLiteral("processing"));
    EXPECT_TRUE(video->isEmbeddable());
    EXPECT_EQ(video->statistics()->viewCount(), 0);
    EXPECT_EQ(video->rating()->numberOfLikes(), 0);
    EXPECT_DOUBLE_EQ(video->geoLocation()->latitude(), 45.256);
    EXPECT_EQ(video->videoResponsesLink()->href(),
              QStringLiteral("https://h/feeds/api/videos/vid9/responses"));
    EXPECT_TRUE(video->comment()->feedLink());
}

TEST(DSVideoSiteClasses, ElementsAreWrittenAsTheServiceReadsThem) {
    auto statistics = DSVideoSiteStatistics::videoSiteStatistics();
    statistics->setViewCount(0);
    statistics->setFavoriteCount(1);
    EXPECT_EQ(xmlOf(*statistics).contains(QLatin1String("viewCount")), false);
    EXPECT_TRUE(xmlOf(*statistics).contains(QLatin1String("favoriteCount=\"1\"")));

    const auto control =
        DSVideoSiteAccessControl::accessControlWithAction(QStringLiteral("list"), QStringLiteral("denied"));
    const auto reread = parsed<DSVideoSiteAccessControl>(xmlOf(*control));
    EXPECT_EQ(reread->attributes()->keys(), (QStringList{"action", "permission"}));
    EXPECT_TRUE(reread->value().isEmpty());

    auto group = DSVideoSiteMediaGroup::mediaGroup();
    group->setDuration(95);
    group->setIsPrivate(true);
    const QString groupXML = xmlOf(*group);
    EXPECT_TRUE(groupXML.contains(QLatin1String("<vs:duration seconds=\"95\"/>"))) << groupXML.toStdString();
    EXPECT_TRUE(groupXML.contains(QLatin1String("<vs:private/>")));

    auto video = DSEntryVideoSiteVideo::videoEntry();
    EXPECT_FALSE(video->atomPubControl());
    video->setDSVideoSitePublicationState(nullptr);
    EXPECT_FALSE(video->atomPubControl());
    video->setIsEmbeddable(false);
    video->setIsIncomplete(true);
    const QString videoXML = xmlOf(*video);
    EXPECT_TRUE(videoXML.contains(QLatin1String("<vs:noembed/>")));
    EXPECT_TRUE(videoXML.contains(QLatin1String("<vs:incomplete/></app:control>"))) << videoXML.toStdString();

    // The upload entry: no kind, and "incomplete" directly under it.
    auto upload =
        DSEntryVideoSiteUpload::uploadEntryWithMediaGroup(group, QByteArray("m"), "video/mp4", "a.mp4");
    upload->setIsIncomplete(true);
    EXPECT_FALSE(upload->uploadFileHandle());
    const QString uploadXML = xmlOf(*upload);
    EXPECT_FALSE(uploadXML.contains(QLatin1String("category")));
    EXPECT_FALSE(uploadXML.contains(QLatin1String("app:control")));
    EXPECT_TRUE(uploadXML.contains(QLatin1String("<vs:incomplete/>")));

    auto event = DSEntryVideoSiteUserEvent::userEventEntry();
    event->setUserEventType(QStringLiteral("video_rated"));
    event->setUserEventType(QStringLiteral("video_shared"));
    EXPECT_EQ(event->categoriesWithScheme(DSVideoSiteConstants::categoryScheme("userevents.cat")).size(), 1);
    EXPECT_EQ(event->userEventType(), QStringLiteral("video_shared"));
    event->setUserEventType(QString());
    EXPECT_TRUE(event->userEventType().isNull());
}

TEST(DSVideoSiteClasses, AVideosLinkCarriesTheServicesToken) {
    const QString entry =
        QStringLiteral("<entry xmlns='%1' xmlns:vs='%2'><category scheme='%3' term='%4'/>"
                       "<link rel='edit-media' href='https://h/e'><vs:token>t0k</vs:token></link>"
                       "<link rel='alternate' href='https://h/w'/></entry>")
            .arg(QLatin1String(kDSNamespaceAtom), DSNamespaceVideoSite(), DSCategoryKindScheme(),
                 schemaFragment("video"));
    const auto video = parsed<DSEntryVideoSiteVideo>(entry);
    ASSERT_TRUE(video);
    const auto links = video->links();
    ASSERT_EQ(links.size(), 2);
    ASSERT_TRUE(links[0]->videoSiteToken());
    EXPECT_EQ(links[0]->videoSiteToken()->stringValue(), QStringLiteral("t0k"));
    EXPECT_FALSE(links[1]->videoSiteToken());

    links[1]->setVideoSiteToken(DSVideoSiteToken::valueWithString(QStringLiteral("n3w")));
    links[0]->setVideoSiteToken(nullptr);
    const auto reread = parsed<DSEntryVideoSiteVideo>(xmlOf(*video));
    ASSERT_TRUE(reread);
    EXPECT_FALSE(reread->links()[0]->videoSiteToken());
    EXPECT_EQ(reread->links()[1]->videoSiteToken()->stringValue(), QStringLiteral("n3w"));
    EXPECT_TRUE(xmlOf(*links[1]).contains(QLatin1String("<vs:token>n3w</vs:token>")))
        << xmlOf(*links[1]).toStdString();
}

TEST(DSVideoSiteClasses, AFeedMakesEachEntryOfTheClassItsOwnKindNames) {
    const auto category = [](const char* kind) {
        return QStringLiteral("<category scheme='%1' term='%2'/>")
            .arg(DSCategoryKindScheme(), schemaFragment(kind));
    };
    const QString entry = QStringLiteral("<entry>%1</entry>").arg(category("comment"));
    const QString document = QStringLiteral("<feed xmlns='%1'>%2%3%3</feed>")
                                 .arg(QLatin1String(kDSNamespaceAtom), category("video"), entry);
    const auto feed = DSInstanceCast<DSFeedVideoSiteVideo>(DSObject::objectWithXMLData(document.toUtf8()));
    ASSERT_TRUE(feed);
    ASSERT_EQ(feed->entries()->size(), 2);
    for (const auto& parsedEntry : *feed)
        EXPECT_EQ(&parsedEntry->dsClass(), &DSEntryVideoSiteComment::staticClass());
}
