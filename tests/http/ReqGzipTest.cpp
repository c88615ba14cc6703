#include "http/ReqDataCompressor.h"
#include "http/ReqDataDecompressor.h"
#include "http/ReqHTTPRequestErrors.h"
#include "support/LoopbackServer.h"
#include "support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QByteArray pattern(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7919) % 251);
    return bytes;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(ReqGzipTest, BuffersRoundTripAndEmptyInputGivesNothing) {
    for (const QByteArray& data : {QByteArray("x"), QByteArray("hello world"), pattern(300000)}) {
        platform::OptionalError error;
        const QByteArray compressed = ReqDataCompressor::compressData(data, &error);
        ASSERT_FALSE(error);
        EXPECT_TRUE(compressed.startsWith("\x1f\x8b"));
        EXPECT_EQ(ReqDataDecompressor::uncompressData(compressed, &error), data);
        EXPECT_FALSE(error);
    }
    platform::OptionalError error;
    EXPECT_TRUE(ReqDataCompressor::compressData(QByteArray(), &error).isNull());
    EXPECT_TRUE(ReqDataDecompressor::uncompressData(QByteArray(), &error).isNull());
    EXPECT_FALSE(error);
}

TEST(ReqGzipTest, InflatingStopsAtTheMemberAndRefusesWhatIsNotWhole) {
    const QByteArray member = test_support::gzip("hello world");
    struct Case {
        const char* name;
        QByteArray input;
        QByteArray inflated;
        QString error;
    } cases[] = {
        {"junk after the member", member + "junk", "hello world", ""},
        {"two members", member + test_support::gzip("second"), "hello world", ""},
        {"cut before the trailer", member.chopped(4), "", "Decompression of data failed with code -5"},
        {"not gzip", "hello world, plainly", "", "Decompression of data failed with code -3"},
    };
    for (const Case& c : cases) {
        platform::OptionalError error;
        EXPECT_EQ(ReqDataDecompressor::uncompressData(c.input, &error), c.inflated) << c.name;
        EXPECT_EQ(error ? error->localizedDescription() : QString(), c.error) << c.name;
        if (error) {
            EXPECT_TRUE(error->is(kReqHTTPRequestErrorDomain, ReqCompressionError));
        }
    }
}

TEST(ReqGzipTest, FilesRoundTripInPiecesAndTruncatedFilesFail) {
    TempDir dir;
    for (const qsizetype size :
         {qsizetype(0), ReqDataCompressor::kFileChunkSize, ReqDataCompressor::kFileChunkSize * 2 + 5}) {
        const QByteArray data = pattern(size);
        writeFile(dir.file("plain"), data);
        platform::OptionalError error;
        ASSERT_TRUE(ReqDataCompressor::compressDataFromFile(dir.file("plain"), dir.file("packed"), &error))
            << size;
        EXPECT_EQ(readFile(dir.file("packed")).isEmpty(), size == 0);
        ASSERT_TRUE(ReqDataDecompressor::uncompressDataFromFile(dir.file("packed"), dir.file("back"), &error))
            << size;
        EXPECT_EQ(readFile(dir.file("back")), data) << size;
    }
    writeFile(dir.file("cut"), test_support::gzip(pattern(1000)).chopped(3));
    platform::OptionalError error;
    EXPECT_FALSE(ReqDataDecompressor::uncompressDataFromFile(dir.file("cut"), dir.file("out"), &error));
    EXPECT_EQ(error->code, ReqCompressionError);
    EXPECT_FALSE(ReqDataCompressor::compressDataFromFile(dir.file("missing"), dir.file("out"), &error));
    EXPECT_EQ(error->localizedDescription(),
              "Compression of " + dir.file("missing") + " failed the file does not exist");
}

} // namespace
