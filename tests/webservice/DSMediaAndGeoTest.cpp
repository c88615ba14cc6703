#include "support/DSTestClasses.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ds_test;

namespace {

std::shared_ptr<DSGeoRSSPoint> point(const QString& text) {
    return parsed<DSGeoRSSPoint>(
        QStringLiteral("<georss:point xmlns:georss='%1'>%2</georss:point>").arg(kDSNamespaceGeoRSS, text));
}

} // namespace

TEST(DSNormalPlayTime, ReadsClockTimesAndNowAndWritesThemBack) {
    const struct {
        const char* text;
        qint64 ms;
        const char* hhmmss;
        const char* seconds;
    } cases[] = {
        {"1:02:03.5", 3723500, "1:02:03.500", "3723.500"},
        {"90", 90000, "0:01:30", "90"},
        {"0.050", 50, "0:00:00.050", "0.050"},
        {"12:34.123456", 754123, "0:12:34.123", "754.123"},
        {"abc", 0, "0:00:00", "0"},
        {" NOW ", -1, "now", "now"},
        // Numbers beyond 32 bits are no numbers: the reading ends before them.
        {"99999999999", 0, "0:00:00", "0"},
        {"596523:14:07", 2147483647000, "596523:14:07", "2147483647"},
        // Hours, minutes and seconds add up in 64 bits (whole seconds are written as 32 bits only).
        {"2147483647:59:59", 7730941132799000, "2147483647:59:59", nullptr},
        {"5:99999999999", 5000, "0:00:05", "5"},
    };
    for (const auto& c : cases) {
        const DSNormalPlayTime time = DSNormalPlayTime::normalPlayTimeWithString(QString::fromUtf8(c.text));
        EXPECT_EQ(time.timeOffsetInMilliseconds(), c.ms) << c.text;
        EXPECT_EQ(time.HHMMSSString(), QString::fromUtf8(c.hhmmss)) << c.text;
        if (c.seconds) {
            EXPECT_EQ(time.secondsString(), QString::fromUtf8(c.seconds)) << c.text;
        }
        EXPECT_EQ(DSNormalPlayTime::normalPlayTimeWithString(time.HHMMSSString()), time) << c.text;
    }
    DSNormalPlayTime time;
    time.setTimeOffsetInMilliseconds(-1);
    EXPECT_TRUE(time.isNow());
    EXPECT_FALSE(DSNormalPlayTime::normalPlayTimeWithString(QStringLiteral("now")) ==
                 DSNormalPlayTime::normalPlayTimeWithString(QStringLiteral("0")));

    const auto thumbnail = DSMediaThumbnail::mediaContentWithURL(QStringLiteral("t.jpg"));
    thumbnail->setStringValueForAttribute(QString(""), QStringLiteral("time"));
    EXPECT_FALSE(thumbnail->time());
    thumbnail->setTime(DSNormalPlayTime::normalPlayTimeWithString(QStringLiteral("47.5")));
    EXPECT_EQ(thumbnail->stringValueForAttribute(QStringLiteral("time")), QStringLiteral("0:00:47.500"));
}

TEST(DSMediaKeywords, AreSplitTrimmedJoinedAndAddedOnce) {
    EXPECT_EQ(DSMediaKeywords::keywordsWithString(QStringLiteral("a ,b,,\n c "))->stringValue(),
              QStringLiteral("a, b, c"));
    const auto keywords = DSMediaKeywords::keywordsWithString(QStringLiteral(" , ,"));
    EXPECT_TRUE(keywords->keywords().isEmpty());
    EXPECT_TRUE(keywords->stringValue().isNull());
    const struct {
        const char* added;
        const char* text;
    } steps[] = {{" beach ", "beach"},
                 {"beach", "beach"},
                 {"  ", "beach"},
                 {"Beach", "beach, Beach"},
                 {"sun", "beach, Beach, sun"}};
    for (const auto& step : steps) {
        keywords->addKeyword(QString::fromUtf8(step.added));
        EXPECT_EQ(keywords->stringValue(), QString::fromUtf8(step.text)) << step.added;
    }
}

TEST(DSMediaContent, NumbersReadAndWriteWhateverTheirSize) {
    const auto content = parsed<DSMediaContent>(
        QStringLiteral("<media:content xmlns:media='%1' url='u' fileSize='8589934592' bitrate='1500.5' "
                       "duration='99999999999' width='12abc' isDefault='TRUE'/>")
            .arg(kDSNamespaceMedia));
    EXPECT_EQ(content->fileSize(), qint64(8589934592));
    EXPECT_EQ(content->bitrate(), 1500.5);
    EXPECT_EQ(content->duration(), std::numeric_limits<int>::max());
    EXPECT_EQ(content->width(), 12);
    EXPECT_TRUE(content->isDefault());
    content->setFramerate(29.97);
    content->setIsDefault(false);
    EXPECT_EQ(content->stringValueForAttribute(QStringLiteral("framerate")), QStringLiteral("29.97"));
    EXPECT_FALSE(content->attributes()->contains(QStringLiteral("isDefault")));
}

TEST(DSGeo, CoordinatesAreReadInPairs) {
    const struct {
        const char* text;
        QList<double> values;
        bool isPoint;
    } cases[] = {
        {"45.256 -71.92", {45.256, -71.92}, true},
        {"  45.256\n-71.92  ", {45.256, -71.92}, true},
        {"1 2 3", {1, 2}, true},
        {"1 2 3 4", {1, 2, 3, 4}, false},
        {"45.256", {}, false},
        {"45.256 x", {}, false},
        {"1e999 2", {}, false},
        {"1 2 3e999 4", {1, 2}, true},
        {"45.2-", {}, false},
    };
    for (const auto& c : cases) {
        const auto geo = point(QString::fromUtf8(c.text));
        EXPECT_EQ(geo->values().value_or(QList<double>()), c.values) << c.text;
        EXPECT_EQ(geo->isPoint(), c.isPoint) << c.text;
        if (!c.isPoint) {
            EXPECT_TRUE(std::isnan(geo->latitude())) << c.text;
            EXPECT_EQ(geo->XMLElement()->childCount(), 0) << c.text;
        }
    }
    const auto written = point(QStringLiteral("45.256 -71.92"))->XMLElement()->XMLString();
    EXPECT_EQ(written, QStringLiteral("<georss:point xmlns:georss=\"%1\">45.256 -71.92</georss:point>")
                           .arg(kDSNamespaceGeoRSS));
}

TEST(DSGeo, EachFormReadsAndWritesItsOwnShape) {
    const auto where = parsed<DSGeoRSSWhere>(
        QStringLiteral("<georss:where xmlns:georss='%1' xmlns:gml='%2'><gml:Point><gml:pos>1.5 2.5</gml:pos>"
                       "</gml:Point></georss:where>")
            .arg(kDSNamespaceGeoRSS, kDSNamespaceGML));
    EXPECT_EQ(where->latitude(), 1.5);
    EXPECT_TRUE(where->unknownChildren().isEmpty());
    EXPECT_TRUE(parsed<DSGeoRSSWhere>(where->XMLElement()->XMLString())->isEqual(where.get()));

    const QString w3c = QStringLiteral("<geo:Point xmlns:geo='%1'>%2</geo:Point>").arg(kDSNamespaceGeoW3C);
    const auto both =
        parsed<DSGeoW3CPoint>(w3c.arg(QStringLiteral("<geo:lat>3</geo:lat><geo:long>-4.5</geo:long>")));
    EXPECT_EQ(both->values(), (QList<double>{3, -4.5}));
    EXPECT_FALSE(parsed<DSGeoW3CPoint>(w3c.arg(QStringLiteral("<geo:lat>3</geo:lat>")))->values());
    EXPECT_FALSE(
        parsed<DSGeoW3CPoint>(w3c.arg(QStringLiteral("<geo:lat>INF</geo:lat><geo:long>1</geo:long>")))
            ->values());
    EXPECT_EQ(DSGeoW3CPoint::geoWithLatitude(3, -4.5)->XMLElement()->XMLString(),
              QStringLiteral("<geo:Point><geo:lat>3</geo:lat><geo:long>-4.5</geo:long></geo:Point>"));
}

TEST(DSGeo, AnObjectsPositionPrefersWhereOverW3CAndIsReplacedWhole) {
    auto entry = VideoEntry::entry();
    entry->setObject(DSGeoW3CPoint::geoWithLatitude(1, 2), DSGeoW3CPoint::staticClass());
    entry->setObject(DSGeoRSSWhere::geoWithLatitude(3, 4), DSGeoRSSWhere::staticClass());
    EXPECT_EQ(&DSGeo::geoLocationForObject(*entry)->dsClass(), &DSGeoRSSWhere::staticClass());
    DSGeo::setGeoLocation(nullptr, *entry);
    EXPECT_EQ(&DSGeo::geoLocationForObject(*entry)->dsClass(), &DSGeoW3CPoint::staticClass());
    DSGeo::setGeoLocation(DSGeoRSSPoint::geoWithLatitude(5, 6), *entry);
    EXPECT_EQ(DSGeo::geoLocationForObject(*entry)->coordinateString(), QStringLiteral("5 6"));
    EXPECT_FALSE(entry->objectForExtensionClass(DSGeoW3CPoint::staticClass()));
    DSGeo::setGeoLocation(DSGeo::geoWithLatitude(7, 8), *entry);
    EXPECT_FALSE(DSGeo::geoLocationForObject(*entry));
}
