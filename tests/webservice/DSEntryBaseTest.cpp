#include "HTTPFetcher/StreamTestSupport.h"
#include "support/DSTestClasses.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace ds_test;

namespace {

const QByteArray kMedia = QByteArray("\0\1movie\r\n--END_OF_PART", 22).repeated(300);

std::shared_ptr<DSEntryBase> uploadEntry(const QString& type, const QString& slug = QString()) {
    auto entry = DSEntryBase::entry();
    entry->setTitleWithString(QStringLiteral("Our holiday"));
    entry->setUploadData(kMedia);
    entry->setUploadMIMEType(type);
    entry->setUploadSlug(slug);
    return entry;
}

QByteArray readAll(const DSUploadBody& body) {
    EXPECT_TRUE(body.stream->open(QIODevice::ReadOnly));
    return stream_test::readInPieces(*body.stream, 4096);
}

DSUploadFileHandle openFile(const QString& path, int flags) {
    return std::make_shared<platform::UniqueFd>(::open(path.toLocal8Bit().constData(), flags | O_CLOEXEC));
}

} // namespace

TEST(DSEntryBase, ContentHeadersStopAtTheFirstAbsentValue) {
    const struct {
        const char* type;
        const char* slug;
        DSHTTPHeaders expected;
    } cases[] = {
        {nullptr, "m.mp4", {}},
        {"video/mp4", nullptr, {{"Content-Type", "video/mp4"}, {"MIME-Version", "1.0"}}},
        {"video/mp4", "m.mp4", {{"Content-Type", "video/mp4"}, {"MIME-Version", "1.0"}, {"Slug", "m.mp4"}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(uploadEntry(QString::fromUtf8(c.type), QString::fromUtf8(c.slug))->contentHeaders(),
                  c.expected)
            << c.type << " " << c.slug;
}

TEST(DSEntryBase, ADataOnlyBodyIsTheMediaAlone) {
    const auto entry = uploadEntry(QStringLiteral("video/mp4"));
    entry->setShouldUploadDataOnly(true);
    const DSUploadBody body = entry->generateContentInputStream();
    ASSERT_TRUE(body.hasBody());
    EXPECT_EQ(body.length, quint64(kMedia.size()));
    EXPECT_EQ(readAll(body), kMedia);
    EXPECT_EQ(body.headers, (DSHTTPHeaders{{"Content-Type", "video/mp4"}, {"MIME-Version", "1.0"}}));
}

TEST(DSEntryBase, AMultipartBodyIsTheEntryThenTheMediaByteForByteFromDataOrFile) {
    TempDir dir;
    QFile file(dir.file(QStringLiteral("movie.mp4")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(kMedia) == kMedia.size());
    file.close();
    const auto fromData = uploadEntry(QStringLiteral("video/mp4"), QStringLiteral("movie.mp4"));
    const auto fromFile = uploadEntry(QStringLiteral("video/mp4"), QStringLiteral("movie.mp4"));
    fromFile->setUploadData(QByteArray());
    fromFile->setUploadFileHandle(openFile(file.fileName(), O_RDONLY));

    const QByteArray xml = fromData->XMLElement()->XMLString().toUtf8();
    ASSERT_TRUE(xml.startsWith("<entry xmlns="));
    const QByteArray expected =
        "\r\n--BOUNDARY\r\nContent-Type: application/atom+xml; charset=UTF-8\r\n\r\n" + xml +
        "\r\n--BOUNDARY\r\nContent-Transfer-Encoding: binary\r\nContent-Type: "
        "video/mp4\r\n\r\n" +
        kMedia + "\r\n--BOUNDARY--\r\n";
    for (const auto& entry : {fromData, fromFile}) {
        const DSUploadBody body = entry->generateContentInputStream();
        ASSERT_TRUE(body.hasBody());
        // The media holds the plain boundary, so the document picked one of its numbered ones.
        const QString boundary =
            body.headers.value(QStringLiteral("Content-Type")).section(QLatin1Char('"'), 1, 1);
        ASSERT_TRUE(boundary.startsWith(QLatin1String("END_OF_PART_")));
        QByteArray bytes = readAll(body);
        EXPECT_EQ(body.length, quint64(bytes.size()));
        EXPECT_EQ(bytes.replace(boundary.toUtf8(), "BOUNDARY"), expected);
        EXPECT_EQ(body.headers,
                  (DSHTTPHeaders{{"Content-Type", "multipart/related; boundary=\"" + boundary + "\""},
                                 {"MIME-Version", "1.0"},
                                 {"Slug", "movie.mp4"}}));
    }
}

TEST(DSEntryBase, NoMimeTypeOrNoMediaGivesNoBody) {
    const auto withoutType = uploadEntry(QString());
    withoutType->setUploadData(QByteArray());
    withoutType->setUploadFileHandle(std::make_shared<platform::UniqueFd>());
    const auto withoutMedia = uploadEntry(QStringLiteral("video/mp4"));
    withoutMedia->setUploadData(QByteArray());
    for (const auto& entry : {uploadEntry(QString()), withoutType, withoutMedia}) {
        const DSUploadBody body = entry->generateContentInputStream();
        EXPECT_FALSE(body.hasBody());
        EXPECT_FALSE(body.error);
    }
}

TEST(DSEntryBase, AFileThatCannotBeReadWholeIsAnErrorAndNoBody) {
    TempDir dir;
    const QString path = dir.file(QStringLiteral("movie.mp4"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(kMedia) == kMedia.size());
    file.close();
    const DSUploadFileHandle handles[] = {openFile(path, O_WRONLY), openFile(dir.path(), O_RDONLY),
                                          std::make_shared<platform::UniqueFd>()};
    for (const auto& handle : handles) {
        const auto entry = uploadEntry(QStringLiteral("video/mp4"));
        entry->setUploadData(QByteArray());
        entry->setUploadFileHandle(handle);
        for (const bool dataOnly : {false, true}) {
            entry->setShouldUploadDataOnly(dataOnly);
            const DSUploadBody body = entry->generateContentInputStream();
            EXPECT_FALSE(body.hasBody());
            ASSERT_TRUE(body.error) << handle->get();
            EXPECT_EQ(body.error->domain, QLatin1String(kNetPOSIXErrorDomain));
            EXPECT_NE(body.error->code, 0);
        }
    }
}

TEST(DSEntryBase, TheEntryNeitherClosesNorMovesTheDescriptorItWasGiven) {
    TempDir dir;
    QFile file(dir.file(QStringLiteral("movie.mp4")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(kMedia) == kMedia.size());
    file.close();
    const DSUploadFileHandle handle = openFile(file.fileName(), O_RDONLY);
    ASSERT_EQ(::lseek(handle->get(), 5, SEEK_SET), 5);
    {
        auto entry = uploadEntry(QStringLiteral("video/mp4"));
        entry->setUploadData(QByteArray());
        entry->setUploadFileHandle(handle);
        const auto copy = std::static_pointer_cast<DSEntryBase>(entry->copy());
        EXPECT_EQ(copy->uploadFileHandle(), handle);
        EXPECT_TRUE(copy->generateContentInputStream().hasBody());
    }
    EXPECT_NE(::fcntl(handle->get(), F_GETFD), -1);
    EXPECT_EQ(::lseek(handle->get(), 0, SEEK_CUR), 5);
}

TEST(DSEntryBase, ASlugIsKeptPercentEncodedAndCopiesCompareEqual) {
    const auto entry = uploadEntry(QStringLiteral("video/mp4"), QStringLiteral("Fête 100%.mp4"));
    EXPECT_EQ(entry->uploadSlug(), QStringLiteral("F%C3%AAte 100%25.mp4"));
    const auto copy = std::static_pointer_cast<DSEntryBase>(entry->copy());
    EXPECT_EQ(copy->uploadSlug(), entry->uploadSlug());
    EXPECT_TRUE(copy->isEqual(entry.get()));
    copy->setUploadMIMEType(QStringLiteral("video/quicktime"));
    EXPECT_FALSE(copy->isEqual(entry.get()));
}

TEST(DSEntryBase, DeletionMarkerKindAndEditLink) {
    const auto entry = Entry::entry();
    EXPECT_EQ(entry->kindCategory()->term(), QStringLiteral("test-entry-a"));
    EXPECT_EQ(entry->namespaces()->value(QStringLiteral("")), QLatin1String(kDSNamespaceAtom));
    entry->setIsDeleted(true);
    EXPECT_TRUE(entry->isDeleted());
    EXPECT_TRUE(entry->XMLElement()->XMLString().contains(QStringLiteral("<ds:deleted/>")));
    entry->setIsDeleted(false);
    EXPECT_FALSE(entry->isDeleted());
    EXPECT_FALSE(entry->XMLElement()->XMLString().contains(QStringLiteral("deleted")));

    EXPECT_FALSE(entry->canEdit());
    entry->addLink(DSLink::linkWithRel(QStringLiteral("edit-media"), QString(), QStringLiteral("m")));
    EXPECT_FALSE(entry->canEdit());
    entry->addLink(DSLink::linkWithRel(QStringLiteral("edit"), QString(), QStringLiteral("e")));
    EXPECT_TRUE(entry->canEdit());
    EXPECT_EQ(entry->editMediaLink()->href(), QStringLiteral("m"));
}
