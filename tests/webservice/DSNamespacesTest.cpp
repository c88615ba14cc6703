#include "platform/foundation/UserDefaults.h"
#include "support/TempDir.h"
#include "webservice/DSEntryVideoSiteVideo.h"
#include "webservice/DSVideoSiteFeeds.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace {

// Writes a video feed with an entry to standard error; exits 0 when it carries the namespaces of the settings
// and reads back into the classes of its kinds.
[[noreturn]] void writeDocumentsWithNamespacesFrom(const QString& settings) {
    platform::UserDefaults::setStorePathForTesting(settings);
    auto feed = DSFeedVideoSiteVideo::videoFeed();
    feed->addNamespaces(DSEntryBase::batchNamespaces());
    feed->addNamespaces({{QStringLiteral("openSearch"), DSNamespaceOpenSearch()}});
    feed->setTotalResults(1);
    auto video = DSEntryVideoSiteVideo::videoEntry();
    video->setIsEmbeddable(false);
    video->setBatchIDWithString(QStringLiteral("b1"));
    feed->addEntry(video);
    const QByteArray xml = feed->XMLDocument()->XMLData();
    std::fputs(xml.constData(), stderr);
    bool carried = true;
    for (const char* expected :
         {"xmlns:ds=\"urn:test:ds\"", "xmlns:vs=\"urn:test:vs\"", "xmlns:batch=\"urn:test:batch\"",
          "xmlns:openSearch=\"urn:test:opensearch\"",
          "scheme=\"urn:test:ds#kind\" term=\"urn:test:vs#video\"", "<vs:noembed/>",
          "<batch:id>b1</batch:id>", "<openSearch:totalResults>1</openSearch:totalResults>"})
        carried = carried && xml.contains(expected);
    const auto reread = DSInstanceCast<DSFeedBase>(DSObject::objectWithXMLData(xml));
    const bool found = reread && &reread->dsClass() == &DSFeedVideoSiteVideo::staticClass() &&
                       reread->firstEntry() &&
                       &reread->firstEntry()->dsClass() == &DSEntryVideoSiteVideo::staticClass();
    std::fflush(stderr);
    std::_Exit(carried && found ? 0 : 1);
}

} // namespace

// The namespaces are read once per process, so the check runs in a fresh one that reads them from its
// settings.
TEST(DSNamespaces, TheOnesSetInTheUserDefaultsAreWhatDocumentsCarry) {
    TempDir dir;
    const QString settings = dir.file(QStringLiteral("Vistrelle.conf"));
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[ServiceAddresses]\n"
               "DSNamespace=urn:test:ds\n"
               "VideoServiceNamespace=urn:test:vs\n"
               "BatchNamespace=urn:test:batch\n"
               "OpenSearchNamespace=urn:test:opensearch\n");
    file.close();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(writeDocumentsWithNamespacesFrom(settings), ::testing::ExitedWithCode(0),
                "urn:test:vs#video");
}
